// SPDX-License-Identifier: GPL-3.0-or-later
// The chance to pass: the exact computation over 800 questions (target under 1 ms), its
// gradient for the review run, and the whole refresh the main window does after a run on a
// journal of 20,000 answers (replay through the memory model, recall now, chance), and the
// statistics window's readiness figures on the same journal.
#include "exam/pass_chance.h"
#include "stats/answer_journal.h"
#include "stats/memory_model.h"
#include "stats/readiness.h"

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

// Answers ten minutes apart (20,000 span 139 days), one in five wrong.
std::vector<JournalEntry> SomeJournal(int count, Fingerprint set) {
    std::mt19937 random(9);
    std::vector<JournalEntry> entries;
    for (int i = 0; i < count; ++i) {
        JournalEntry e;
        e.Time = 1'760'000'000 + int64_t(i) * 600;
        e.Set = set;
        e.Question = 1 + int(random() % 800);
        e.Right = random() % 5 != 0;
        e.Flags = FirstInRun;
        entries.push_back(e);
    }
    return entries;
}

void BM_ForecastFromJournal(benchmark::State& state) {
    const Fingerprint set = 77;
    const std::vector<JournalEntry> entries = SomeJournal(int(state.range(0)), set);
    const int64_t now = entries.back().Time + 3600;
    for (auto _ : state) {
        const MemoryStates states = ReplayJournal(entries, set);
        benchmark::DoNotOptimize(PassChance(RecallProbabilities(states, now)));
    }
}
BENCHMARK(BM_ForecastFromJournal)->Arg(20000)->Unit(benchmark::kMillisecond);

// What the page «Готовность» computes on each refresh: the chance at every day's end, the
// questions due in the next 14 days and the 20 worth most.
void BM_ReadinessFigures(benchmark::State& state) {
    const Fingerprint set = 77;
    const std::vector<JournalEntry> entries = SomeJournal(int(state.range(0)), set);
    const int64_t now = entries.back().Time + 3600;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ChanceByDay(entries, set, now, 3 * 3600).data());
        const MemoryStates states = ReplayJournal(entries, set);
        benchmark::DoNotOptimize(DueByDay(states, now, 3 * 3600, 14).data());
        benchmark::DoNotOptimize(
            MostValuableQuestions(RecallProbabilities(states, now), 20).data());
    }
}
BENCHMARK(BM_ReadinessFigures)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
