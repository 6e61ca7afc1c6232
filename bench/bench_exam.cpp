// SPDX-License-Identifier: GPL-3.0-or-later
// Start of an exam stage with 20 pictured questions: reading the questions, decoding their
// pictures once, and (in the window) building, laying out and painting the 20 tiles.
#include "app/app_state.h"
#include "app/random.h"
#include "data/database.h"
#include "data/dbv_writer.h"
#include "exam/exam_engine.h"
#include "exam/stage_pictures.h"
#include "exam/ui/exam_window.h"

#include "jpeg_samples.h"
#include "test_db.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bil;

namespace {

// A photograph-like picture of the size of a typical question picture, on every question.
const QString& BenchDatabase() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const std::vector<uint8_t> bytes = test::EncodeJpeg(test::PhotoLikeBitmap(600, 260, 3), 85);
        const QByteArray jpeg(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
        const QString file = dir.path() + QStringLiteral("/dataAB.dbv");
        if (!WriteDatabase(file, test::TestTitle, test::MakeQuestions(jpeg, 1)).ok())
            std::abort();
        return file;
    }();
    return path;
}

class SilentPrompter final : public Prompter {
public:
    bool askYesNo(const QString&, const QString&) override { return false; }
    void message(const QString&, const QString&, Icon) override {}
    QString chooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
};

class NoFront final : public ExamFrontEnd {
public:
    void stageStarted(bool) override {}
    void tilesChanged() override {}
    void clockChanged() override {}
    void timerChanged(bool) override {}
    void closeQuestion() override {}
    bool showVerdict(const ExamVerdict&) override { return false; }
    void showReview(const bil::RunRequest&) override {}
    void closeWindow() override {}
};

struct BenchApp {
    AppState app;
    SystemRandom random;
    SilentPrompter prompter;
    BenchApp() {
        if (!app.Db.OpenDatabase(BenchDatabase()).ok())
            std::abort();
        app.services.random = &random;
        app.services.prompter = &prompter;
        app.Config.ExamTime = 600;
    }
};

std::vector<Bitmap> DecodeOneByOne(const std::vector<const QByteArray*>& jpegs) {
    std::vector<Bitmap> out(jpegs.size());
    for (std::size_t i = 0; i < jpegs.size(); ++i)
        if (jpegs[i]) {
            auto b = DecodeJpeg(reinterpret_cast<const uint8_t*>(jpegs[i]->constData()),
                                std::size_t(jpegs[i]->size()));
            if (b)
                out[i] = std::move(b).value();
        }
    return out;
}

void StageStart(benchmark::State& state, ExamEngine::PictureDecoder decode) {
    BenchApp b;
    NoFront front;
    ExamEngine engine(
        b.app, front, [&](int n) { return b.app.Db.LoadQuestion(n); }, std::move(decode));
    for (auto _ : state) {
        b.app.Launch.ExamStage = 1;
        engine.formShow();
        if (engine.pictureRatio() == 0.0)
            state.SkipWithError("no picture decoded");
    }
}

// Questions read and pictures decoded on two threads, as the exam window does.
void BM_ExamStageStartCore(benchmark::State& state) {
    StageStart(state, DecodeStagePictures);
}
BENCHMARK(BM_ExamStageStartCore)->Unit(benchmark::kMillisecond);

// The same with the pictures decoded one after the other, for comparison.
void BM_ExamStageStartCoreOneThread(benchmark::State& state) {
    StageStart(state, DecodeOneByOne);
}
BENCHMARK(BM_ExamStageStartCoreOneThread)->Unit(benchmark::kMillisecond);

// The whole stage start in the window: tiles rebuilt, filled, laid out and painted once.
void BM_ExamStageStartWindow(benchmark::State& state) {
    BenchApp b;
    TForm91 w(b.app);
    w.resize(1280, 960);
    for (auto _ : state) {
        b.app.Launch.ExamStage = 1;
        w.FormShow();
        const QPixmap painted = w.grab();
        benchmark::DoNotOptimize(painted.cacheKey());
    }
}
BENCHMARK(BM_ExamStageStartWindow)->Unit(benchmark::kMillisecond);

} // namespace
