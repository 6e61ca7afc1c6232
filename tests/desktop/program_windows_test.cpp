// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/random.h"
#include "app/ui/program_windows.h"
#include "app/ui/qt_prompter.h"
#include "help/ui/help_engine.h"
#include "help/ui/help_window.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

using namespace bil;

namespace {

// Another program on the same display: a window of its own that takes the keyboard focus.
class OtherProgram {
public:
    OtherProgram() : m_c(xcb_connect(nullptr, nullptr)) {}
    ~OtherProgram() { xcb_disconnect(m_c); }
    void takeFocus() {
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        if (!m_window) {
            m_window = xcb_generate_id(m_c);
            const uint32_t overrideRedirect = 1;
            xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 40, 40, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                              XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect);
            xcb_map_window(m_c, m_window);
        }
        xcb_set_input_focus(m_c, XCB_INPUT_FOCUS_POINTER_ROOT, m_window, XCB_CURRENT_TIME);
        xcb_flush(m_c);
    }

private:
    xcb_connection_t* m_c;
    xcb_window_t m_window = 0;
};

class ProgramWindowsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
        ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path())).ok());
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.services.random = &random;
        app.services.help = &help;
        app.Config.HideOnFocusLoss = true;
        app.Config.ExamTime = 600;
        study = std::make_unique<TForm1>(app);
        study->setRun(RunRequest::training(6)); // training: both clocks run
    }
    void TearDown() override {
        if (help.window())
            help.window()->hide();
        study->hide();
    }
    void showActive(QWidget* w) {
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    }
    // Switches to the other program and waits for this one to minimise. Under load a focus
    // request of ours still in flight can take the focus back, so the switch is repeated while
    // the program still counts as active.
    bool switchAwayMinimises() {
        other.takeFocus();
        return QTest::qWaitFor(
            [&] {
                if (study->isMinimized())
                    return true;
                if (QGuiApplication::applicationState() == Qt::ApplicationActive)
                    other.takeFocus();
                return false;
            },
            5000);
    }
    bool clocksRun() const { return study->SpTimer->isActive() && study->Timer1->isActive(); }
    // Lets the queued checks and the focus-loss delay pass.
    static void settle() { QTest::qWait(400); }

    test::TempDir dir;
    AppState app;
    test::ScriptedPrompter prompter;
    SystemRandom random;
    ChmHelpEngine help{[] { return QStringList(); }};
    std::unique_ptr<TForm1> study;
    OtherProgram other;
};

// Minimising the help window leaves the program on screen and its clocks running; minimising
// the study window takes the whole program down and pauses them; restoring any of its windows
// brings every one back, clocks included.
TEST_F(ProgramWindowsTest, OnlyTheWholeProgramMinimisesAndRestores) {
    app.Config.HideOnFocusLoss = false;
    showActive(study.get());
    study->SpeedButton1->click();
    HelpWindow* helpWindow = help.window();
    ASSERT_TRUE(helpWindow && helpWindow->isVisible());
    ASSERT_TRUE(clocksRun());

    helpWindow->showMinimized();
    settle();
    EXPECT_TRUE(clocksRun());
    EXPECT_FALSE(study->isMinimized());
    helpWindow->showNormal();
    settle();

    QWidget other(nullptr, Qt::Window); // stands for another window of the program
    other.show();
    study->showMinimized();
    settle();
    EXPECT_TRUE(other.isMinimized());
    EXPECT_TRUE(helpWindow->isMinimized());
    EXPECT_FALSE(clocksRun());

    other.showNormal();
    settle();
    EXPECT_FALSE(study->isMinimized());
    EXPECT_FALSE(helpWindow->isMinimized());
    EXPECT_TRUE(clocksRun());
}

// With "Скрывать программу" on, switching to another program minimises this one also while a
// modal window is open: a modal run, a message box.
TEST_F(ProgramWindowsTest, FocusLossMinimisesWhateverIsModal) {
    study->setRun(RunRequest::learnTicket(6)); // learning: closing gives no verdict
    bool minimizedDuringRun = false;
    QTimer::singleShot(0, [&] {
        study->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(study.get()));
        minimizedDuringRun = switchAwayMinimises();
        study->showNormal();
        study->close();
    });
    study->exec(); // a run started from the statistics window
    EXPECT_TRUE(minimizedDuringRun);

    showActive(study.get());
    QtPrompter messages(study.get());
    bool minimizedDuringMessage = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        box->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(box));
        EXPECT_TRUE(switchAwayMinimises());
        minimizedDuringMessage = study->isMinimized() && box->isMinimized();
        box->close();
    });
    messages.message(QStringLiteral("Внимание!"), QStringLiteral("Проверка"),
                     Prompter::Icon::Information);
    EXPECT_TRUE(minimizedDuringMessage);
}

// Help opened in the program's own window does not spare the learner's next switch to another
// program from minimising.
TEST_F(ProgramWindowsTest, HelpInsideTheProgramDoesNotEatTheNextSwitch) {
    showActive(study.get());
    study->SpeedButton1->click();
    HelpWindow* helpWindow = help.window();
    ASSERT_TRUE(helpWindow && helpWindow->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowActive(helpWindow));
    settle();
    EXPECT_FALSE(study->isMinimized()); // help itself is no switch
    EXPECT_TRUE(switchAwayMinimises());
    EXPECT_TRUE(helpWindow->isMinimized());
}

// --- With a window manager -------------------------------------------------------------------

// openbox on the test's display for the length of one test, as the learner's desktop has one.
class WindowManager {
public:
    WindowManager() : m_c(xcb_connect(nullptr, nullptr)) {
        m_process.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        m_running =
            m_process.waitForStarted(5000) && QTest::qWaitFor([this] { return managing(); }, 10000);
    }
    ~WindowManager() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        xcb_disconnect(m_c);
    }
    bool running() const { return m_running; }

    // What the window manager says of the window: 1 normal, 3 minimised, 0 not managed.
    uint32_t state(const QWidget& w) { return stateOf(xcb_window_t(w.winId())); }
    // The learner brings the window back from the task bar.
    void activate(const QWidget& w) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = xcb_window_t(w.winId());
        event.type = intern("_NET_ACTIVE_WINDOW");
        event.data.data32[0] = 2; // from a pager or task bar
        xcb_send_event(m_c, 0, root(),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(m_c);
    }

private:
    uint32_t stateOf(xcb_window_t window) {
        const xcb_atom_t atom = intern("WM_STATE");
        auto* reply = xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 0, window, atom, atom, 0, 2), nullptr);
        uint32_t value = 0;
        if (reply && xcb_get_property_value_length(reply) >= 4)
            value = *static_cast<const uint32_t*>(xcb_get_property_value(reply));
        free(reply);
        return value;
    }
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_c)).data->root; }
    xcb_atom_t intern(const char* name) {
        auto* reply = xcb_intern_atom_reply(
            m_c, xcb_intern_atom(m_c, 0, uint16_t(strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        free(reply);
        return atom;
    }
    // True once the window manager has taken a window of ours into its care.
    bool managing() {
        if (!m_probe) {
            xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
            m_probe = xcb_generate_id(m_c);
            xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_probe, screen->root, 0, 0, 10, 10, 0,
                              XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        }
        // Mapped again and again: a map before the manager watched the screen goes unseen.
        xcb_map_window(m_c, m_probe);
        xcb_flush(m_c);
        if (stateOf(m_probe) == 0)
            return false;
        xcb_destroy_window(m_c, m_probe);
        xcb_flush(m_c);
        return true;
    }

    xcb_connection_t* m_c;
    xcb_window_t m_probe = 0;
    QProcess m_process;
    bool m_running = false;
};

// After the program hid itself on a loss of focus and the learner brought it back, the main
// window that a run hid comes back normal, run after run, not minimised.
TEST(ProgramWindowsOnADesktop, TheMainWindowComesBackNormalAfterRunsThatFollowAnAutoHide) {
    WindowManager manager;
    ASSERT_TRUE(manager.running()) << "openbox did not start";
    const auto managed = [&](const QWidget& w) {
        uint32_t state = 0;
        (void)QTest::qWaitFor([&] { return (state = manager.state(w)) != 0; }, 10000);
        return state;
    };
    QWidget main;
    main.resize(320, 200);
    main.show();
    ASSERT_EQ(managed(main), 1u);
    ProgramWindows program({});
    program.minimizeAll(); // the auto-hide
    ASSERT_TRUE(QTest::qWaitFor([&] { return manager.state(main) == 3; }, 10000));
    // A busy display can drop the first request, as a learner's first click may go unseen: the
    // request is sent again each second until the window is back.
    QElapsedTimer sinceRequest;
    const bool back = QTest::qWaitFor(
        [&] {
            if (manager.state(main) == 1 && !main.isMinimized())
                return true;
            if (!sinceRequest.isValid() || sinceRequest.elapsed() > 1000) {
                manager.activate(main);
                sinceRequest.start();
            }
            return false;
        },
        10000);
    ASSERT_TRUE(back) << "state " << manager.state(main) << ", minimised " << main.isMinimized();
    for (int run = 1; run <= 2; ++run) {
        main.hide(); // the run starts
        ASSERT_TRUE(QTest::qWaitFor([&] { return manager.state(main) != 1; }, 10000));
        ShowRestored(main); // the run ended
        EXPECT_EQ(managed(main), 1u) << "run " << run;
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&main)) << "run " << run;
        EXPECT_FALSE(main.isMinimized()) << "run " << run;
    }
    main.hide();
}

} // namespace
