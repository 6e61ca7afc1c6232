// SPDX-License-Identifier: GPL-3.0-or-later
// The chance to pass: the exact computation over 800 questions (target under 1 ms), its
// gradient for the review run, and the whole refresh the main window does after a run on a
// journal of 20,000 answers (replay through the memory model, recall now, chance).
#include "exam/pass_chance.h"
#include "stats/answer_journal.h"
#include "stats/memory_model.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace bil;

namespace {

AnswerChances SomeLearner() {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> d(0.7, 1.0);
    AnswerChances p;
    for (double& x : p)
        x = d(random);
    return p;
}

void BM_PassChance(benchmark::State& state) {
    const AnswerChances p = SomeLearner();
    for (auto _ : state)
        benchmark::DoNotOptimize(PassChance(p));
}
BENCHMARK(BM_PassChance)->Unit(benchmark::kMicrosecond);

void BM_PassChanceGradient(benchmark::State& state) {
    const AnswerChances p = SomeLearner();
    for (auto _ : state)
        benchmark::DoNotOptimize(PassChanceGradient(p).data());
}
BENCHMARK(BM_PassChanceGradient)->Unit(benchmark::kMillisecond);

void BM_ForecastFromJournal(benchmark::State& state) {
    std::mt19937 random(9);
    std::vector<JournalEntry> entries;
    const Fingerprint set = 77;
    for (int i = 0; i < state.range(0); ++i) {
        JournalEntry e;
        e.Time = 1'760'000'000 + int64_t(i) * 600;
        e.Set = set;
        e.Question = 1 + int(random() % 800);
        e.Right = random() % 5 != 0;
        e.Flags = FirstInRun;
        entries.push_back(e);
    }
    const int64_t now = entries.back().Time + 3600;
    for (auto _ : state) {
        const MemoryStates states = ReplayJournal(entries, set);
        benchmark::DoNotOptimize(PassChance(RecallProbabilities(states, now)));
    }
}
BENCHMARK(BM_ForecastFromJournal)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
