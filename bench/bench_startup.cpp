// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up to the first shown main window on an 800-question database: settings, database,
// statistics file, theme table with the help links of all comments, the windows, the first
// refresh and the first paint.

#include "app/app_state.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "data/ui/pictures.h"
#include "help/ui/about_box.h"
#include "scripted_prompter.h"
#include "scripted_random.h"
#include "stats/ui/prep_dialog.h"
#include "test_db.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace bil;

struct Folders {
    QTemporaryDir program, appData, config;
    Folders() { test::WriteTestDatabase(program.path()); }
};

void BM_StartupToFirstShownMainWindow(benchmark::State& st) {
    Folders folders;
    QSettingsStore store(folders.config.filePath(QStringLiteral("VRK.ini")));
    test::ScriptedPrompter prompter;
    test::ScriptedRandom random; // every draw 0
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
        TForm7 about(state->Db, &form);
        TForm8 prep(*state, &form);
        form.setAboutBox(&about);
        form.setPrepDialog(&prep);
        form.show();
        form.repaint();
        QCoreApplication::processEvents();
        benchmark::DoNotOptimize(form.progressPicture());
        st.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    if (!prompter.shown().empty())
        st.SkipWithError("start-up showed a message");
}
BENCHMARK(BM_StartupToFirstShownMainWindow)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(20);

} // namespace
