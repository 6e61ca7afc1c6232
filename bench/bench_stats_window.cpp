// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the statistics window on a full record (every question answered in every channel):
// the recomputation of all figures, charts and lists, and the first paint of the page shown.

#include "app/app_state.h"
#include "stats/ui/stats_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QRadioButton>
#include <QTabWidget>

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace bil;

std::unique_ptr<AppState> FullRecord() {
    auto app = std::make_unique<AppState>();
    for (int n = 1; n <= QuestionCount; ++n) {
        TQuestionStat& q = app->Stats.question(n);
        q.Right = {uint8_t(n % 7 + 1), uint8_t(n % 5 + 1), uint8_t(n % 3 + 1)};
        q.Wrong = {uint8_t(n % 4 + 1), uint8_t(n % 6 + 1), uint8_t(n % 2 + 1)};
        q.Seconds = {30 + n % 50, 20 + n % 40, 10 + n % 30};
        app->Themes.theme(n) = DefaultThemeOf(n);
        app->Themes.mark(n) = uint8_t(n % 3);
        app->Themes.HelpLinks[n - 1][0].LinkCaption =
            QStringLiteral("Пункт %1.%2").arg(n % 24).arg(n % 5);
        app->Themes.HelpLinks[n - 1][1].LinkCaption =
            QStringLiteral("Знак %1.%2").arg(n % 8).arg(n % 30);
    }
    return app;
}

// Hide and show again: the show recomputes everything; then the window is drawn.
void BM_OpenStatisticsWindow(benchmark::State& st, int page) {
    std::unique_ptr<AppState> app = FullRecord();
    TForm5 window(*app);
    window.RadioButton3->setChecked(true); // every question listed as difficult
    window.showPage(page, 0);
    QApplication::processEvents();
    for (auto _ : st) {
        window.hide();
        QElapsedTimer clock;
        clock.start();
        window.show();
        const QPixmap drawn = window.grab();
        st.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        benchmark::DoNotOptimize(drawn.cacheKey());
    }
}
BENCHMARK_CAPTURE(BM_OpenStatisticsWindow, rating, 0)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(30);
BENCHMARK_CAPTURE(BM_OpenStatisticsWindow, questions, 3)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(30);
BENCHMARK_CAPTURE(BM_OpenStatisticsWindow, analysis, 5)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(30);

// The recomputation alone, as a channel switch triggers it.
void BM_RecomputeOnly(benchmark::State& st) {
    std::unique_ptr<AppState> app = FullRecord();
    TForm5 window(*app);
    window.show();
    QApplication::processEvents();
    for (auto _ : st)
        window.FormShow();
}
BENCHMARK(BM_RecomputeOnly)->Unit(benchmark::kMillisecond)->Iterations(30);

} // namespace
