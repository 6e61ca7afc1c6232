// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_data.h"
#include "app/app_state.h"
#include "app/random.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "app/ui/program_windows.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/search_window.h"
#include "app/ui/translations.h"
#include "data/themes.h"
#include "data/ui/pictures.h"
#include "exam/ui/exam_window.h"
#include "help/ui/about_box.h"
#include "help/ui/help_engine.h"
#include "stats/answer_journal.h"
#include "stats/ui/prep_dialog.h"
#include "stats/ui/stats_window.h"
#include "study/ui/move_dialog.h"
#include "study/ui/study_window.h"
#ifdef BILETORIA_TOUR
#include "walkthrough.h"
#endif

#include <QApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Calls a function once, soon after the window's first paint.
class AfterFirstPaint final : public QObject {
public:
    AfterFirstPaint(QWidget* window, std::function<void()> call) : m_call(std::move(call)) {
        window->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            watched->removeEventFilter(this);
            QTimer::singleShot(0, this, m_call);
        }
        return false;
    }

private:
    std::function<void()> m_call;
};

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer clock;
    clock.start();
    QApplication app(argc, argv);
    // The name on the task bar; the window captions stay exactly as they are set.
    QApplication::setApplicationName(QStringLiteral("Билетория"));
    QApplication::setDesktopFileName(QStringLiteral("biletoria"));
    bil::InstallQtTranslations(app);

    bil::QtPrompter prompter;
#ifdef BILETORIA_TOUR
    // The screenshot tour's build of this entry: its message boxes never block.
    const QString tourDir = qEnvironmentVariable(bil::Walkthrough::EnvironmentVariable);
    if (tourDir.isEmpty()) {
        std::fprintf(stderr, "usage: %s=OUT_DIR biletoria-walkthrough\n",
                     bil::Walkthrough::EnvironmentVariable);
        return 2;
    }
    bil::TourPrompter tourPrompter;
#endif
    bil::SystemRandom random;
    bil::QSettingsStore store;
    bil::AppState state;
    state.ProgramDir = QCoreApplication::applicationDirPath();
    state.AppDataDir = bil::AppDataFolderFromEnvironment();
#ifdef BILETORIA_TOUR
    state.services.prompter = &tourPrompter;
#else
    state.services.prompter = &prompter;
#endif
    state.services.random = &random;
    state.services.store = &store;
    bil::ChmHelpEngine help(state);
    // A page that help hands to the browser takes the focus away: that loss does not minimise.
    help.setUrlOpener([&state](const QUrl& url) {
        state.Launch.SkipMinimize = 1;
        QDesktopServices::openUrl(url);
    });
    state.services.help = &help;

    // The windows, created once in this order; a failed start-up ends the program at once.
    bil::TForm2 form2(state);
    if (form2.FormCreate() != bil::StartupResult::Continue)
        return 1;
    bil::TForm1 form1(state); // the study window, with its result and move-to-theme dialogs
    const bil::TForm3 images(app.devicePixelRatio()); // the image holder builds the theme table
    if (bil::LoadThemesAtStartup(state) != bil::StartupResult::Continue)
        return 1;
    bil::AnswerJournal journal;
    if (bil::Status opened = bil::OpenAnswerJournal(state, journal); !opened)
        state.services.prompter->warn(opened.message());
    bil::TForm7 about(state.Db, &form2);
    bil::TForm8 prep(state, &form2);
    prompter.setParent(&form2);
    // Windows the first paint does not need are made when first asked for, so that start-up
    // costs only what the main window shows.
    std::unique_ptr<bil::TForm91> form91; // the exam window, with its question window
    std::unique_ptr<bil::TForm5> form5;   // the statistics window
    std::unique_ptr<bil::SearchWindow> search;

    // Only a run started from the main window hands control back to it; runs shown modally
    // from the statistics window or an exam review return to their caller.
    bool studyFromMain = false;
    form1.setClosedHandler([&form2, &studyFromMain] {
        if (std::exchange(studyFromMain, false))
            bil::ShowRestored(form2);
    });
    const auto studyModal = [&form1](const bil::RunRequest& request) {
        form1.setRun(request);
        form1.exec();
    };
    const auto exam = [&]() -> bil::TForm91& {
        if (!form91) {
            form91 = std::make_unique<bil::TForm91>(state);
            form91->setShowMainWindow([&form2] { bil::ShowRestored(form2); });
            form91->setShowStudyModal(studyModal);
        }
        return *form91;
    };
    const auto statistics = [&]() -> bil::TForm5& {
        if (!form5) {
            form5 = std::make_unique<bil::TForm5>(state, &form2);
            form5->setStudyLauncher(studyModal);
        }
        return *form5;
    };

    bil::WindowLinks links;
    links.showStudy = [&form1, &studyFromMain](const bil::RunRequest& request) {
        studyFromMain = true;
        form1.setRun(request);
        form1.show();
    };
    links.showExam = [&exam] { exam().startExam(); };
    links.showStatistics = [&statistics](int page, int ticketIndex) {
        statistics().showPage(page, ticketIndex);
    };
    links.statisticsFirstPage = [&form5] {
        if (form5) // a window not made yet opens on its first page anyway
            form5->firstPage();
    };
    links.refreshMoveThemeList = [&form1] {
        QStringList names;
        for (int k = 1; k <= bil::ThemeCount; ++k)
            names << bil::ThemeNames(k);
        form1.moveDialog().fillThemes(names);
    };
    links.showSearch = [&] {
        if (!search) {
            search = std::make_unique<bil::SearchWindow>(state, &form2);
            search->setStudyLauncher(studyModal);
        }
        search->exec();
    };
    links.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    form2.setLinks(std::move(links));
    form2.setAboutBox(&about);
    form2.setPrepDialog(&prep);

    form2.show();
    // The search index (word forms of every text) is read on a worker thread once the main
    // window has been painted; a search before it is ready waits for it.
    AfterFirstPaint startSearchIndex(&form2,
                                     [&state] { state.Search.buildInBackground(state.Db); });
    if (qEnvironmentVariableIsSet("BILETORIA_STARTUP_TIMING")) {
        QTimer::singleShot(0, &form2, [&clock] {
            std::fprintf(stderr, "start-up to first shown main window: %lld ms\n",
                         static_cast<long long>(clock.elapsed()));
            if (qEnvironmentVariableIsSet("BILETORIA_STARTUP_QUIT"))
                QCoreApplication::quit(); // for timing the whole process
        });
    }
#ifdef BILETORIA_TOUR
    bil::Walkthrough tour(
        bil::TourWindows{&state, &form2, &form1, &exam(), &about, &prep, &tourPrompter}, tourDir);
    tour.start();
#endif
    return app.exec();
}
