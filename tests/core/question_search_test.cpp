#include "data/question_search.h"
#include "test_db.h"

#include <gtest/gtest.h>

namespace bil {
namespace {

using test::MakeQuestions;
using test::TempDir;
using test::WriteTestDatabase;

std::vector<int> Numbers(const std::vector<SearchHit>& hits) {
    std::vector<int> out;
    for (const SearchHit& h : hits)
        out.push_back(h.Number);
    return out;
}

// The shown text of a range, for readable expectations.
QStringList Highlighted(const SearchIndex& index, const SearchHit& hit) {
    QStringList out;
    for (const TextRange& r : hit.Highlights)
        out << index.questionText(hit.Number).mid(r.Start, r.Length);
    return out;
}

TEST(SearchFolding, CaseAndYoFoldWithoutMovingPositions) {
    const QString text = QStringLiteral("ЁЛКА, Ёж и ещё ПЕРЕКРЁСТОК; Road 2.4");
    const QString folded = FoldForSearch(text);
    EXPECT_EQ(folded, QStringLiteral("елка, еж и еще перекресток; road 2.4"));
    EXPECT_EQ(folded.size(), text.size());
    // A letter whose lower case takes two units keeps its place (and its case).
    const QString wide = QString::fromUtf16(u"A\U00010400b");
    EXPECT_EQ(FoldForSearch(wide).size(), wide.size());
}

TEST(SearchFolding, QueryWordsDropSurroundingPunctuationOnly) {
    EXPECT_EQ(
        SearchWords(QStringLiteral("  Знак, «Уступите»\tдорогу!  2.4 по-прежнему ")),
        (QStringList{QStringLiteral("знак"), QStringLiteral("уступите"), QStringLiteral("дорогу"),
                     QStringLiteral("2.4"), QStringLiteral("по-прежнему")}));
    EXPECT_TRUE(SearchWords(QStringLiteral(" , ... — ")).isEmpty());
    EXPECT_TRUE(SearchWords(QString()).isEmpty());
}

class SearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto q = MakeQuestions();
        q[0].Text = QStringLiteral("Разрешён ли Вам обгон на перекрёстке?");
        q[0].Answers = {QStringLiteral("Разрешён."), QStringLiteral("Запрещён.")};
        q[0].Comment = QStringLiteral("Обгон на нерегулируемом перекрестке запрещён, п. 11.4.");
        q[1].Text = QStringLiteral("Какой знак запрещает стоянку?");
        q[1].Answers = {QStringLiteral("Только А."), QStringLiteral("Только Б, «Ёлочка»."),
                        QStringLiteral("Оба.")};
        q[1].Comment = QStringLiteral("Знак 3.28 «Стоянка запрещена».");
        q[1].Correct = 1;
        q[799].Text = QStringLiteral("Обгон обгона: перекрёсток и обгонщик");
        q[500].RawText = QByteArray("9\r\nсломан обгон перекресток\r\n*\r\n"); // damaged
        path = WriteTestDatabase(dir.path(), q);
        ASSERT_TRUE(db.OpenDatabase(path));
        index.build(db);
    }

    TempDir dir;
    QString path;
    Database db;
    SearchIndex index;
};

TEST_F(SearchIndexTest, AllWordsInAnyOrderAnyCaseYoAsYe) {
    const auto hits = index.find(QStringLiteral("ПЕРЕКРЕСТ обгон"));
    EXPECT_EQ(Numbers(hits), (std::vector<int>{1, 800})); // not the damaged 501
    EXPECT_EQ(Highlighted(index, hits[0]),
              (QStringList{QStringLiteral("обгон"), QStringLiteral("перекрёст")}));
    EXPECT_EQ(Numbers(index.find(QStringLiteral("обгон перекрёст"))), Numbers(hits));
    EXPECT_EQ(Numbers(index.find(QStringLiteral("перекрестке"))), std::vector<int>{1});
    EXPECT_TRUE(index.find(QStringLiteral("обгон стоянку")).empty()); // one word missing
}

TEST_F(SearchIndexTest, AnswersAndCommentCountButOnlyTheQuestionIsHighlighted) {
    auto hits = index.find(QStringLiteral("елочка"));
    ASSERT_EQ(Numbers(hits), std::vector<int>{2});
    EXPECT_TRUE(hits[0].Highlights.empty());
    hits = index.find(QStringLiteral("3.28 знак"));
    ASSERT_EQ(Numbers(hits), std::vector<int>{2});
    EXPECT_EQ(Highlighted(index, hits[0]), QStringList{QStringLiteral("знак")});
    // Words may come from different parts of one question.
    EXPECT_EQ(Numbers(index.find(QStringLiteral("нерегулируемом Вам"))), std::vector<int>{1});
}

TEST_F(SearchIndexTest, EveryOccurrenceHighlightedOverlapsJoined) {
    const auto hits = index.find(QStringLiteral("обго обгон"));
    ASSERT_FALSE(hits.empty());
    ASSERT_EQ(hits.back().Number, 800);
    EXPECT_EQ(
        Highlighted(index, hits.back()),
        (QStringList{QStringLiteral("Обгон"), QStringLiteral("обгон"), QStringLiteral("обгон")}));
}

TEST_F(SearchIndexTest, EmptyOrPunctuationQueryFindsNothing) {
    EXPECT_TRUE(index.find(QString()).empty());
    EXPECT_TRUE(index.find(QStringLiteral("  ,;  ")).empty());
    EXPECT_TRUE(SearchIndex().find(QStringLiteral("обгон")).empty()); // never built
}

TEST_F(SearchIndexTest, ANewDatabaseIsNoticedAndReadAgain) {
    EXPECT_TRUE(index.upToDate(db));
    auto q = MakeQuestions();
    q[41].Text = QStringLiteral("Новый вопрос про тягач");
    const QString other = WriteTestDatabase(dir.path(), q, QStringLiteral("dataCD.dbv"));
    ASSERT_TRUE(SwitchDatabase(db, other));
    EXPECT_FALSE(index.upToDate(db));
    index.ensureBuilt(db);
    EXPECT_EQ(Numbers(index.find(QStringLiteral("тягач"))), std::vector<int>{42});
    index.invalidate();
    EXPECT_FALSE(index.upToDate(db));
}

} // namespace
} // namespace bil
