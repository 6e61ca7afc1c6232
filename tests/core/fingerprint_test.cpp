// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/fingerprint.h"

#include "test_db.h"
#include "test_jpeg.h"

#include <gtest/gtest.h>

using namespace bil;
using namespace bil::test;

namespace {

TQuestion Sample() {
    TQuestion q;
    q.Number = 7;
    q.Text = QStringLiteral("Разрешён ли  обгон\u00A0на перекрёстке?");
    q.AnswerCount = 3;
    q.Answers[0] = QStringLiteral("Разрешён.");
    q.Answers[1] = QStringLiteral("Запрещён.");
    q.Answers[2] = QStringLiteral("Разрешён только на равнозначном.");
    q.Correct = 2;
    q.Comment = QStringLiteral("Пункт 11.4");
    return q;
}

} // namespace

TEST(Fingerprint, BlanksAndCommentAndNumberDoNotCountButEveryOtherPartDoes) {
    const Fingerprint base = QuestionFingerprint(Sample());

    TQuestion same = Sample();
    same.Text = QStringLiteral(" Разрешён ли обгон на\tперекрёстке? ");
    same.Comment = QStringLiteral("Другое объяснение");
    same.Number = 300;
    EXPECT_EQ(QuestionFingerprint(same), base);

    TQuestion yo = Sample();
    yo.Text.replace(QStringLiteral("ё"), QStringLiteral("е"));
    TQuestion swapped = Sample();
    std::swap(swapped.Answers[0], swapped.Answers[1]);
    TQuestion right = Sample();
    right.Correct = 1;
    TQuestion picture = Sample();
    picture.HasPicture = true;
    picture.Picture = QByteArray("\xFF\xD8\xFF", 3);
    TQuestion moved = Sample(); // text moved from the question into an answer
    moved.Text.chop(1);
    moved.Answers[0].prepend(QLatin1Char('?'));
    for (const TQuestion& other : {yo, swapped, right, picture, moved})
        EXPECT_NE(QuestionFingerprint(other), base);
}

TEST(Fingerprint, DatabasePrintsFollowTheQuestionsAndAreCachedUntilTheFileChanges) {
    TempDir dir;
    std::vector<QuestionSource> questions = MakeQuestions(MakeTestJpeg(16, 16));
    Database db;
    ASSERT_TRUE(db.OpenDatabase(WriteTestDatabase(dir.path(), questions)).ok());
    PrintCache cache;
    Result<QuestionPrints> first = cache.prints(db);
    ASSERT_TRUE(first.ok());
    EXPECT_NE((*first)[0], (*first)[1]);
    const Fingerprint set = cache.setPrint(db);
    EXPECT_EQ(set, SetFingerprint(*first));

    std::swap(questions[0], questions[1]);
    Database other;
    ASSERT_TRUE(
        other.OpenDatabase(WriteTestDatabase(dir.path(), questions, QStringLiteral("b.dbv"))).ok());
    Result<QuestionPrints> second = cache.prints(other);
    ASSERT_TRUE(second.ok());
    EXPECT_EQ((*second)[0], (*first)[1]);
    EXPECT_EQ((*second)[1], (*first)[0]);
    EXPECT_NE(cache.setPrint(other), set);
    EXPECT_EQ(FingerprintText(set).size(), 16);
}
