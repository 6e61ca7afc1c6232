// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up cost of the question database: opening it and reading the comments of all 800
// questions, as the theme table does before the main window shows.
#include "data/database.h"
#include "data/dbv_writer.h"

#include "test_db.h"
#include "test_jpeg.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bil;

namespace {

// A comment of realistic length (about 200..600 characters) with rule references.
QString RealisticComment(int number) {
    static const QString sentences[] = {
        QStringLiteral("Согласно п. 8.1 перед началом движения, перестроением, поворотом "
                       "(разворотом) и остановкой водитель обязан подавать сигналы световыми "
                       "указателями поворота соответствующего направления."),
        QStringLiteral("Пункт 10.1 требует вести транспортное средство со скоростью, не "
                       "превышающей установленного ограничения, учитывая интенсивность движения."),
        QStringLiteral("Знак 2.4 «Уступите дорогу» обязывает уступить дорогу транспортным "
                       "средствам, движущимся по пересекаемой дороге."),
        QStringLiteral("Сплошную линию разметка 1.1 пересекать запрещается, см. п. 9.1.1."),
        QStringLiteral("Остановка запрещена ближе 5 м от пешеходного перехода (п. 12.4), а "
                       "знак 3.27 «Остановка запрещена» действует до ближайшего перекрёстка."),
        QStringLiteral("При повороте налево водитель безрельсового транспортного средства "
                       "обязан уступить дорогу встречным (Пункт 13.4)."),
    };
    QString comment;
    const int parts = 2 + number % 4; // 2..5 sentences
    for (int i = 0; i < parts; ++i) {
        if (!comment.isEmpty())
            comment += QLatin1Char(' ');
        comment += sentences[(number + i) % 6];
    }
    return comment.left(600);
}

// Writes the benchmark database once per process; returns its path.
const QString& BenchDatabase() {
    static QTemporaryDir dir;
    static const QString path = [] {
        std::vector<QuestionSource> questions =
            test::MakeQuestions(test::MakeTestJpeg(320, 240), 2);
        for (int n = 1; n <= QuestionCount; ++n)
            questions[std::size_t(n - 1)].Comment = RealisticComment(n);
        const QString file = dir.path() + QStringLiteral("/dataAB.dbv");
        if (!WriteDatabase(file, test::TestTitle, questions).ok())
            std::abort();
        return file;
    }();
    return path;
}

void BM_OpenDatabase(benchmark::State& state) {
    const QString& path = BenchDatabase();
    for (auto _ : state) {
        Database db;
        benchmark::DoNotOptimize(db.OpenDatabase(path).ok());
    }
}
BENCHMARK(BM_OpenDatabase);

void BM_OpenAndLoadAllComments(benchmark::State& state) {
    const QString& path = BenchDatabase();
    qsizetype chars = 0;
    for (auto _ : state) {
        Database db;
        if (!db.OpenDatabase(path).ok())
            std::abort();
        for (int n = 1; n <= QuestionCount; ++n) {
            Result<QString> comment = db.LoadComment(n);
            chars += comment.ok() ? comment->size() : 0;
        }
    }
    benchmark::DoNotOptimize(chars);
    state.SetItemsProcessed(state.iterations() * QuestionCount);
}
BENCHMARK(BM_OpenAndLoadAllComments)->Unit(benchmark::kMicrosecond);

void BM_LoadQuestionWithPicture(benchmark::State& state) {
    Database db;
    if (!db.OpenDatabase(BenchDatabase()).ok())
        std::abort();
    int n = 0;
    for (auto _ : state) {
        n = n % QuestionCount + 1;
        benchmark::DoNotOptimize(db.LoadQuestion(n).ok());
    }
}
BENCHMARK(BM_LoadQuestionWithPicture);

} // namespace

BENCHMARK_MAIN();
