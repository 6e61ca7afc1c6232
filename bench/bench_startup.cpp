// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to the first shown main window on an 800-question database: settings, database,
// statistics file, theme table with the help links of all comments, the answer journal (none,
// or 20,000 answers), the windows, the first refresh and the first paint, and the chance to
// pass that the main window computes right after it. Then the main window's refresh after a
// run alone, with the forecast on a journal of 20,000 answers.

#include "app/app_state.h"
#include "app/platform.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "data/ui/pictures.h"
#include "help/ui/about_box.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "scripted_random.h"
#include "stats/answer_journal.h"
#include "stats/ui/prep_dialog.h"
#include "test_db.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

namespace {

using namespace bil;

struct Folders {
    QTemporaryDir program, appData, config;
    Folders() { test::WriteTestDatabase(program.path()); }
};

// count first answers of learning runs over the last months, in file order, of the test
// database's question set.
std::vector<JournalEntry> SomeMonths(const QString& dbPath, int count) {
    Database db;
    PrintCache prints;
    const Fingerprint set = db.OpenDatabase(dbPath) ? prints.setPrint(db) : 0;
    std::mt19937 random(11);
    std::vector<JournalEntry> entries;
    const int64_t start = QDateTime::currentSecsSinceEpoch() - int64_t(count) * 600;
    for (int i = 0; i < count; ++i) {
        JournalEntry e;
        e.Time = start + int64_t(i) * 600;
        e.Set = set;
        e.Question = 1 + int(random() % QuestionCount);
        e.Chosen = 1;
        e.Right = random() % 5 != 0;
        e.Seconds = 15;
        e.Flags = FirstInRun;
        entries.push_back(e);
    }
    return entries;
}

void BM_StartupToFirstShownMainWindow(benchmark::State& st) {
    Folders folders;
    const int answers = int(st.range(0));
    if (answers > 0) {
        QFile log(JournalFilePath(folders.appData.path()));
        const QString db = QDir(folders.program.path()).filePath(QStringLiteral("dataAB.dbv"));
        if (!log.open(QIODevice::WriteOnly) ||
            log.write(JournalBytes(SomeMonths(db, answers))) < 0) {
            st.SkipWithError("journal not written");
            return;
        }
    }
    QSettingsStore store(folders.config.filePath(QStringLiteral("VRK.ini")));
    test::ScriptedPrompter prompter;
    test::ScriptedRandom random; // every draw 0
    double afterPaint = 0;       // ms from the first paint to the chance shown, summed
    for (auto _ : st) {
        QElapsedTimer clock; // the closing of the windows is no part of the start-up
        clock.start();
        auto state = std::make_unique<AppState>();
        state->ProgramDir = folders.program.path();
        state->AppDataDir = folders.appData.path();
        state->services = {&prompter, &random, nullptr, &store};
        TForm2 form(*state);
        if (form.FormCreate() != StartupResult::Continue) {
            st.SkipWithError("start-up failed");
            break;
        }
        const TForm3 images;
        if (LoadThemesAtStartup(*state) != StartupResult::Continue) {
            st.SkipWithError("theme table failed");
            break;
        }
        AnswerJournal journal;
        if (!OpenAnswerJournal(*state, journal) || int(journal.recorded().size()) < answers) {
            st.SkipWithError("journal not read");
            break;
        }
        TForm7 about(state->Db, &form);
        TForm8 prep(*state, &form);
        form.setAboutBox(&about);
        form.setPrepDialog(&prep);
        form.show();
        form.repaint();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(form.progressPicture());
        const qint64 firstPaint = clock.nsecsElapsed();
        st.SetIterationTime(double(firstPaint) / 1e9);
        // The chance to pass, which the paint asked for, comes right after it.
        QCoreApplication::processEvents();
        afterPaint += double(clock.nsecsElapsed() - firstPaint) / 1e6;
        if (answers > 0 && !form.Label10->text().contains(QLatin1Char('%'))) {
            st.SkipWithError("no chance shown after the first paint");
            break;
        }
        state->services.answers = nullptr;
    }
    st.counters["then_chance_ms"] = afterPaint / double(st.iterations());
    if (!prompter.shown().empty())
        st.SkipWithError("start-up showed a message");
}
BENCHMARK(BM_StartupToFirstShownMainWindow)
    ->ArgName("answers")
    ->Arg(0)
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);

// The main window's refresh after a run: catalogues, progress picture, and the chance to pass
// from a journal of 20,000 answers.
void BM_MainWindowRefreshWithForecast(benchmark::State& st) {
    Folders folders;
    QSettingsStore store(folders.config.filePath(QStringLiteral("VRK.ini")));
    test::ScriptedPrompter prompter;
    test::ScriptedRandom random; // every draw 0
    test::RecordingSink journal;
    AppState state;
    state.ProgramDir = folders.program.path();
    state.AppDataDir = folders.appData.path();
    state.services = {&prompter, &random, nullptr, &store};
    state.services.answers = &journal;
    TForm2 form(state);
    if (form.FormCreate() != StartupResult::Continue ||
        LoadThemesAtStartup(state) != StartupResult::Continue) {
        st.SkipWithError("start-up failed");
        return;
    }
    journal.entries = SomeMonths(state.Db.DbPath(), int(st.range(0)));
    for (auto _ : st) {
        form.FormShow();
        form.refreshChance();
    }
    if (!form.Label10->text().contains(QLatin1Char('%')))
        st.SkipWithError("no chance shown");
}
BENCHMARK(BM_MainWindowRefreshWithForecast)
    ->ArgName("answers")
    ->Arg(20000)
    ->Unit(benchmark::kMillisecond);

} // namespace
