// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/release_history.h"

#include "stats/answer_journal.h"

#include <gtest/gtest.h>

using namespace bil;

namespace {

// A step where question n keeps old question keep(n) (0: from zero).
template <class Keep> ReleaseStep Step(Fingerprint from, Fingerprint to, Keep keep) {
    ReleaseStep s;
    s.Old = from;
    s.New = to;
    for (int n = 1; n <= QuestionCount; ++n)
        s.KeptFrom[size_t(n - 1)] = uint16_t(keep(n));
    return s;
}

JournalEntry Answer(Fingerprint set, int question) {
    JournalEntry e;
    e.Set = set;
    e.Question = question;
    return e;
}

} // namespace

TEST(ReleaseHistory, EveryKindOfDamageIsNamed) {
    const ReleaseHistory history = {Step(1, 2, [](int n) { return n; }),
                                    Step(2, 3, [](int n) { return n == 5 ? 0 : n; })};
    const QByteArray good = ReleaseHistoryBytes(history);
    Result<ReleaseHistory> read = ParseReleaseHistory(good);
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(*read, history);

    QByteArray wrongMagic = good;
    wrongMagic[0] = 'X';
    QByteArray flipped = good;
    flipped[20] = char(flipped[20] ^ 1);
    QByteArray outOfRange = ReleaseHistoryBytes({Step(1, 2, [](int) { return 0; })});
    outOfRange[10 + 16] = char(0x21); // 0x0321 = 801
    outOfRange[10 + 17] = char(0x03);
    outOfRange = outOfRange.left(outOfRange.size() - 4);
    const uint32_t crc = Crc32c(outOfRange.constData(), std::size_t(outOfRange.size()));
    for (int i = 0; i < 4; ++i)
        outOfRange.append(char(crc >> (8 * i)));
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {wrongMagic, QStringLiteral("это не файл истории выпусков")},
        {good.left(10), QStringLiteral("файл обрезан")},
        {good.left(good.size() - 1), QStringLiteral("длина не отвечает числу выпусков (2)")},
        {flipped, QStringLiteral("контрольная сумма не сходится")},
        {outOfRange, QStringLiteral("номер вопроса 801 вне 1..800")},
    };
    for (const auto& [bytes, what] : cases) {
        Result<ReleaseHistory> damaged = ParseReleaseHistory(bytes);
        ASSERT_FALSE(damaged.ok()) << what.toStdString();
        EXPECT_EQ(damaged.error(), QStringLiteral("Файл releases.dat повреждён: %1.").arg(what));
    }
}

TEST(ReleaseHistory, AnswersFollowTheirQuestionAcrossSeveralReleasesAndBack) {
    // 1 -> 2: question 10 moves to 20, 30 changes; 2 -> 3: 20 moves to 40, 50 changes.
    const auto moved = [](int at, int from, int fresh) {
        return [=](int n) { return n == at ? from : n == from || n == fresh ? 0 : n; };
    };
    ReleaseHistory history = {Step(1, 2, moved(20, 10, 30)), Step(2, 3, moved(40, 20, 50))};
    const std::vector<JournalEntry> journal = {Answer(1, 10), Answer(1, 30), Answer(1, 50),
                                               Answer(2, 20), Answer(3, 7),  Answer(9, 10)};
    const std::vector<JournalEntry> now = InRelease(journal, 3, history);
    std::vector<std::pair<Fingerprint, int>> seen;
    for (const JournalEntry& e : now)
        seen.emplace_back(e.Set, e.Question);
    // 1:30 changed, 1:50 changed on the second step; set 9 is no release of this one.
    EXPECT_EQ(seen, (std::vector<std::pair<Fingerprint, int>>{{3, 40}, {3, 40}, {3, 7}, {9, 10}}));
    EXPECT_EQ(ChangedQuestions(history, 3), (std::vector<int>{20, 50}));
    EXPECT_TRUE(ChangedQuestions(history, 2).empty());

    // Back to release 1 (a learner who imported the old set again): the way runs backwards.
    history.push_back(Step(3, 1, [](int n) { return n == 10 ? 40 : n == 40 ? 0 : n; }));
    std::vector<int> at1;
    for (const JournalEntry& e : InRelease({Answer(3, 40), Answer(2, 20)}, 1, history))
        at1.push_back(e.Set == 1 ? e.Question : -1);
    EXPECT_EQ(at1, (std::vector<int>{10, 10}));
}
