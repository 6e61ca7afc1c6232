// SPDX-License-Identifier: GPL-3.0-or-later
// Comparing two releases of an 800-question database, as the import does before it asks and
// `biletoria-dbv diff` does: the prints are at hand (cached), texts and changed questions are
// read. Also the prints' cost at start: taken from the file beside the database, or computed.
#include "data/database.h"
#include "data/dbv_writer.h"
#include "data/prints_file.h"
#include "data/release_diff.h"

#include "test_db.h"
#include "test_jpeg.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bil;

namespace {

struct Releases {
    QTemporaryDir Dir;
    QString Old, New;
};

// Two releases with pictures on every second question; the second one changes 12 questions
// (texts, answers, pictures, comments) and swaps 3 pairs.
const Releases& BenchReleases() {
    static Releases* releases = [] {
        auto* r = new Releases;
        std::vector<QuestionSource> questions =
            test::MakeQuestions(test::MakeTestJpeg(320, 240), 2);
        r->Old = r->Dir.path() + QStringLiteral("/old.dbv");
        r->New = r->Dir.path() + QStringLiteral("/new.dbv");
        if (!WriteDatabase(r->Old, test::TestTitle, questions).ok())
            std::abort();
        for (int n : {5, 77, 150, 222})
            questions[std::size_t(n - 1)].Text += QStringLiteral(" (уточнено)");
        for (int n : {300, 333, 444})
            std::swap(questions[std::size_t(n - 1)].Answers[0],
                      questions[std::size_t(n - 1)].Answers[1]);
        for (int n : {500, 502, 600})
            questions[std::size_t(n - 1)].Jpeg = test::MakeTestJpeg(330, 240);
        for (int n : {700, 701})
            questions[std::size_t(n - 1)].Comment += QStringLiteral(" См. также п. 1.2.");
        for (int n : {10, 400, 790})
            std::swap(questions[std::size_t(n - 1)], questions[std::size_t(n)]);
        if (!WriteDatabase(r->New, test::TestTitle, questions).ok())
            std::abort();
        return r;
    }();
    return *releases;
}

void BM_DiffReleases(benchmark::State& state) {
    Database oldDb, newDb;
    if (!oldDb.OpenDatabase(BenchReleases().Old).ok() ||
        !newDb.OpenDatabase(BenchReleases().New).ok())
        std::abort();
    PrintCache oldCache, newCache;
    const QuestionPrints oldPrints = oldCache.prints(oldDb).value();
    const QuestionPrints newPrints = newCache.prints(newDb).value();
    for (auto _ : state) {
        auto diff = DiffReleases(oldDb, oldPrints, newDb, newPrints);
        if (!diff || diff->Changed != 10)
            std::abort();
        benchmark::DoNotOptimize(diff);
    }
}
BENCHMARK(BM_DiffReleases)->Unit(benchmark::kMillisecond);

// What a start that needs the prints pays when the prints file is there.
void BM_PrintsFromFile(benchmark::State& state) {
    Database db;
    if (!db.OpenDatabase(BenchReleases().Old).ok() || !PrintCache().prints(db))
        std::abort();
    for (auto _ : state) {
        PrintCache cache;
        benchmark::DoNotOptimize(cache.setPrint(db));
    }
}
BENCHMARK(BM_PrintsFromFile)->Unit(benchmark::kMicrosecond);

// And without it: every picture read and hashed.
void BM_PrintsComputed(benchmark::State& state) {
    Database db;
    if (!db.OpenDatabase(BenchReleases().Old).ok())
        std::abort();
    for (auto _ : state)
        benchmark::DoNotOptimize(ComputeQuestionPrints(db));
}
BENCHMARK(BM_PrintsComputed)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
