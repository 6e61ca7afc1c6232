// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a question database: opening and reading all 800 questions and comments either
// succeeds with a question inside the format's limits or fails with a message.

#include "data/database.h"
#include "fuzz_common.h"

#include <set>
#include <tuple>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::WriteInput(QStringLiteral("data.dbv"), data, size);
    Database db;
    const Status opened = db.OpenDatabase(path);
    if (!opened) {
        FUZZ_CHECK(!opened.message().isEmpty());
        FUZZ_CHECK(!db.isOpen());
        return 0;
    }
    FUZZ_CHECK(db.DbTitle().size() <= Database::MaxTitle);
    // Questions with the same index entry read the same bytes; each entry is read once, so
    // an input costs one pass over its distinct blobs rather than 800.
    std::set<std::tuple<uint32_t, uint32_t, uint32_t, uint32_t>> seen;
    for (int n = 1; n <= QuestionCount; ++n) {
        const TQuestionEntry& e = db.DbIndex()[size_t(n - 1)];
        if (!seen.emplace(e.TextOffset, e.TextSize, e.PictureOffset, e.PictureSize).second)
            continue;
        const Result<QString> comment = db.LoadComment(n);
        FUZZ_CHECK(comment.ok() || !comment.error().isEmpty());
        const Result<TQuestion> q = db.LoadQuestion(n);
        if (!q) {
            FUZZ_CHECK(!q.error().isEmpty());
            continue;
        }
        FUZZ_CHECK(q->Number == n);
        FUZZ_CHECK(q->AnswerCount >= 2 && q->AnswerCount <= MaxAnswers);
        FUZZ_CHECK(q->Correct >= 1 && q->Correct <= q->AnswerCount);
        FUZZ_CHECK(q->HasPicture || q->Picture.isEmpty());
        FUZZ_CHECK(q->Picture.size() <= qsizetype(Database::MaxPictureBlob));
        for (int k = q->AnswerCount + 1; k <= MaxAnswers; ++k)
            FUZZ_CHECK(q->Answers[k - 1].isEmpty());
        // Both readers agree on the comment of a readable question.
        FUZZ_CHECK(comment.ok() && *comment == q->Comment);
    }
    return 0;
}
