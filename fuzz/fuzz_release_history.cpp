// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as releases.dat: refused with a message naming the damage, or taken whole, every
// kept number a question, and written back to the same bytes; the file reads as the bytes do,
// and answers of the sets the history names are carried to a question or left out.

#include "fuzz_common.h"
#include "stats/answer_journal.h"
#include "stats/release_history.h"

#include <QtEndian>

using namespace bil;

namespace {

void Check(const QByteArray& bytes) {
    const Result<ReleaseHistory> parsed = ParseReleaseHistory(bytes);
    const QString path =
        fuzz::WriteInput(QStringLiteral("releases.dat"),
                         reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
    const Result<ReleaseHistory> read = ReadReleaseHistory(path);
    if (!parsed) {
        FUZZ_CHECK(parsed.error().startsWith(QStringLiteral("Файл releases.dat повреждён: ")));
        FUZZ_CHECK(!read && read.error() == parsed.error());
        return;
    }
    FUZZ_CHECK(read && *read == *parsed);
    FUZZ_CHECK(ReleaseHistoryBytes(*parsed) == bytes);
    const ReleaseHistory& history = *parsed;
    if (history.empty())
        return;
    for (const ReleaseStep& step : history)
        for (const uint16_t from : step.KeptFrom)
            FUZZ_CHECK(from <= QuestionCount);

    // Answers of every set the history names, carried to the newest set and to the oldest.
    std::vector<JournalEntry> answers;
    for (const ReleaseStep& step : history)
        for (const Fingerprint set : {step.Old, step.New})
            for (const int question : {1, 400, 800}) {
                JournalEntry e;
                e.Set = set;
                e.Question = question;
                answers.push_back(e);
            }
    for (const Fingerprint set : {history.back().New, history.front().Old}) {
        const std::vector<JournalEntry> carried = InRelease(answers, set, history);
        FUZZ_CHECK(carried.size() <= answers.size());
        for (const JournalEntry& e : carried)
            FUZZ_CHECK(e.Question >= 1 && e.Question <= QuestionCount);
        for (const int n : ChangedQuestions(history, set))
            FUZZ_CHECK(n >= 1 && n <= QuestionCount);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    Check(input);
    // The checksum keeps mutations out of the steps: the input is read again with its last four
    // bytes made the checksum of what comes before them.
    if (input.size() >= 4) {
        const qsizetype body = input.size() - 4;
        qToLittleEndian(Crc32c(input.constData(), std::size_t(body)), input.data() + body);
        Check(input);
    }
    return 0;
}
