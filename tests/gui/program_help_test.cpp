// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/random.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "expect_dialog.h"
#include "help/ui/help_engine.h"
#include "help/ui/help_window.h"
#include "scripted_prompter.h"
#include "stats/stat_file.h"
#include "study/ui/study_window.h"
#include "test_db.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <gtest/gtest.h>

using namespace bil;

namespace {

// A click as the window system delivers it, so that a window blocked by a modal one drops it.
void SystemClick(QWidget* widget) {
    QWidget* window = widget->window();
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, {},
                      widget->mapTo(window, widget->rect().center()));
}

// The help window opened from a modal run (as the statistics window and the exam review start
// them) takes clicks, like its home button, while the run is still open.
TEST(ProgramHelp, HelpWindowTakesClicksDuringAModalRun) {
    test::TempDir dir;
    AppState app;
    ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path())).ok());
    app.AppDataDir = dir.path();
    test::ScriptedPrompter prompter;
    SystemRandom random;
    ChmHelpEngine help([] { return QStringList(); });
    app.services.prompter = &prompter;
    app.services.random = &random;
    app.services.help = &help;
    app.Config.HideOnFocusLoss = false;
    TForm1 study(app);
    study.setRun(RunRequest::learnTicket(3));

    QUrl before, after;
    bool modal = false;
    test::ExpectDialog<TForm1> shown(QStringLiteral("Билетория DER UZIRI"), [&](TForm1&) {
        modal = QApplication::activeModalWidget() == &study;
        study.SpeedButton1->click();
        HelpWindow* window = help.window();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(window->isVisible());
        QCoreApplication::processEvents();
        before = window->browser()->source();
        QAction* home = window->findChild<QAction*>(QStringLiteral("Home"));
        ASSERT_NE(home, nullptr);
        QWidget* button = window->findChild<QToolBar*>()->widgetForAction(home);
        SystemClick(button);
        after = window->browser()->source();
        window->close();
        study.close();
    });
    study.exec();
    EXPECT_TRUE(modal);
    EXPECT_TRUE(before.isValid());
    EXPECT_NE(after, before); // the click reached the window
}

// Closing the main window ends the program even while the help window is open, and the
// counts of the session are on disk by then.
TEST(ProgramEnd, ClosingTheMainWindowEndsTheProgramWithHelpOpen) {
    test::TempDir program, appData, config;
    test::WriteTestDatabase(program.path());
    QSettingsStore store(config.file(QStringLiteral("VRK.ini")));
    test::ScriptedPrompter prompter;
    SystemRandom random;
    AppState state;
    state.ProgramDir = program.path();
    state.AppDataDir = appData.path();
    state.services.prompter = &prompter;
    state.services.random = &random;
    state.services.store = &store;
    ChmHelpEngine help([] { return QStringList(); });
    state.services.help = &help;
    TForm2 form2(state);
    ASSERT_EQ(form2.FormCreate(), StartupResult::Continue);
    form2.show();
    form2.SpeedButton3Click();
    ASSERT_TRUE(help.window() && help.window()->isVisible());
    state.Stats.question(7).Seconds[ChannelExam] = 42;

    QTimer::singleShot(0, &form2, [&] { form2.close(); });
    // The program kept running. The guard is owned by this test: it must not end the event
    // loop of a later test in the same process.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    guard.start(3000);
    EXPECT_EQ(qApp->exec(), 0);
    QFile saved(StatFilePath(state.AppDataDir));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(ParseStats(saved.readAll()).question(7).Seconds[ChannelExam], 42);
    help.window()->close();
}

} // namespace
