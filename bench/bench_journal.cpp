// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the answer journal at start-up: 100,000 records from the file. Target: at most 50 ms.
#include "stats/answer_journal.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bil;

namespace {

void BM_ReadJournal(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = JournalFilePath(dir.path());
    std::vector<JournalEntry> entries;
    for (int i = 0; i < state.range(0); ++i) {
        JournalEntry e;
        e.Time = 1'760'000'000 + i * 40;
        e.Set = 0xABCDEF0123456789ull;
        e.Question = 1 + (i * 7) % 800;
        e.Channel = i % 3;
        e.Chosen = 1 + i % 3;
        e.Right = i % 5 != 0;
        e.Seconds = 5 + i % 50;
        e.Flags = FirstInRun;
        entries.push_back(e);
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(JournalBytes(entries)) < 0)
        std::abort();
    file.close();
    for (auto _ : state) {
        Result<JournalContents> read = ReadJournalFile(path);
        if (!read || read->Entries.size() != entries.size())
            std::abort();
        benchmark::DoNotOptimize(read->Entries.data());
    }
}
BENCHMARK(BM_ReadJournal)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
