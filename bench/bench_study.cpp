// SPDX-License-Identifier: GPL-3.0-or-later
// Time to switch the study window to the next question: read the question from the database,
// parse it, decode and fit its 604 x 225 picture and lay the window out, at 1024 x 700.
#include "app/app_state.h"
#include "app/random.h"
#include "jpeg_samples.h"
#include "study/ui/study_window.h"
#include "test_db.h"

#include <QLabel>
#include <QListWidget>

#include <benchmark/benchmark.h>

namespace {

void BM_NextQuestion(benchmark::State& state) {
    bil::test::TempDir dir;
    const std::vector<uint8_t> jpeg =
        bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(604, 225, 3), 85);
    const QString path = bil::test::WriteTestDatabase(
        dir.path(),
        bil::test::MakeQuestions(
            QByteArray(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size())), 1));

    bil::AppState app;
    bil::SystemRandom random;
    app.services.random = &random;
    app.AppDataDir = dir.path();
    app.Config.HideOnFocusLoss = false;
    if (!app.Db.OpenDatabase(path)) {
        state.SkipWithError("database");
        return;
    }
    bil::TForm1 window(app);
    window.setRun(bil::RunRequest::learnTicket(5));
    window.resize(1024, 700);
    window.show();
    int row = 0;
    for (auto _ : state) {
        row = (row + 1) % 20;
        window.ListView1->setCurrentRow(row);
        benchmark::DoNotOptimize(window.Image1->pixmap());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_NextQuestion)->Unit(benchmark::kMillisecond);

} // namespace
