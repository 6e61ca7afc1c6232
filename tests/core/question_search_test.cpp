// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/question_search.h"
#include "data/word_forms.h"
#include "test_db.h"

#include <QFile>

#include <gtest/gtest.h>

namespace bil {
namespace {

using test::TempDir;
using test::WriteTestDatabase;

std::vector<int> Numbers(const std::vector<SearchHit>& hits) {
    std::vector<int> out;
    for (const SearchHit& h : hits)
        out.push_back(h.Number);
    return out;
}

// The shown text of the highlighted ranges, for readable expectations.
QStringList Highlighted(SearchIndex& index, const SearchHit& hit) {
    QStringList out;
    for (const TextRange& r : hit.Highlights)
        out << index.questionText(hit.Number).mid(r.Start, r.Length);
    return out;
}

// The Russian dictionary the set-up script installs.
std::shared_ptr<const WordForms> Russian() {
    static const std::shared_ptr<const WordForms> forms = WordForms::OpenInstalled();
    return forms;
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

TEST(SearchFolding, AnySpaceAndPunctuationAroundSeparateWords) {
    EXPECT_EQ(
        SearchWords(QString::fromUtf16(
            u"  Знак, «Уступите»\tдорогу!\u00A0 2.4 по-прежнему\u2003(1.17.1.(Пункты 8.11) ")),
        (QStringList{QStringLiteral("знак"), QStringLiteral("уступите"), QStringLiteral("дорогу"),
                     QStringLiteral("2.4"), QStringLiteral("по-прежнему"), QStringLiteral("1.17.1"),
                     QStringLiteral("пункты"), QStringLiteral("8.11")}));
    EXPECT_TRUE(SearchWords(QStringLiteral(" , ... — ")).isEmpty());
    EXPECT_TRUE(SearchWords(QString()).isEmpty());
    const QString text = QStringLiteral("п.8.1, ТС-1");
    EXPECT_EQ(WordRanges(text), (std::vector<TextRange>{{0, 1}, {2, 3}, {7, 2}, {10, 1}}));
}

TEST(WordFormsTest, RussianDictionaryGivesDictionaryForms) {
    ASSERT_TRUE(Russian()) << "the Russian Hunspell dictionary (hunspell-ru) is not installed";
    EXPECT_TRUE(Russian()->forms(QStringLiteral("ремней")).contains(QStringLiteral("ремень")));
    EXPECT_TRUE(Russian()->forms(QStringLiteral("ремнями")).contains(QStringLiteral("ремень")));
    EXPECT_TRUE(
        Russian()->forms(QStringLiteral("перекрестка")).contains(QStringLiteral("перекресток")));
    EXPECT_TRUE(Russian()->forms(QStringLiteral("тягачъъ")).isEmpty());
    EXPECT_EQ(WordForms::Open(QStringLiteral("/nonexistent/ru.aff"),
                              QStringLiteral("/nonexistent/ru.dic")),
              nullptr);
}

TEST(WordFormsTest, DictionaryInItsOwnEncodingIsRecoded) {
    TempDir dir;
    const QString aff = dir.path() + QStringLiteral("/k.aff");
    const QString dic = dir.path() + QStringLiteral("/k.dic");
    // "пешеход" and its form with the ending "а", in KOI8-R.
    test::WriteBytes(aff, QByteArray("SET KOI8-R\nSFX A Y 1\nSFX A 0 \xc1 .\n"));
    test::WriteBytes(dic, QByteArray("1\n\xd0\xc5\xdb\xc5\xc8\xcf\xc4/A\n"));
    const auto forms = WordForms::Open(aff, dic);
    ASSERT_TRUE(forms);
    EXPECT_EQ(forms->forms(QStringLiteral("пешехода")), QStringList{QStringLiteral("пешеход")});
    EXPECT_TRUE(forms->forms(QStringLiteral("пешеходу")).isEmpty());
    EXPECT_TRUE(forms->forms(QStringLiteral("€")).isEmpty()); // not in KOI8-R
}

class SearchIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<QuestionSource> q = test::MakeQuestions();
        for (int n = 1; n <= QuestionCount; ++n) {
            q[n - 1].Text = QStringLiteral("Вопрос номер %1").arg(n);
            q[n - 1].Answers = {QStringLiteral("Да."), QStringLiteral("Нет.")};
            q[n - 1].Correct = 1;
            q[n - 1].Comment = QStringLiteral("Без комментария.");
        }
        set(q, 3, QStringLiteral("Обязаны ли Вы пристегнуться ремнями?"),
            QStringLiteral("Ремни безопасности обязательны"));
        set(q, 7, QStringLiteral("Кто обязан быть пристёгнут ремнём безопасности?"));
        set(q, 12, QStringLiteral("Разрешено ли ехать без ремней безопасности на ТС?"));
        set(q, 20, QStringLiteral("Уступите ли Вы дорогу пешеходу?"),
            QString::fromUtf16(u"Пешеходов\u00A0на\u00A0перекрестке пропускают"));
        set(q, 30, QStringLiteral("Пешеходы переходят дорогу у перекрестка. Пешехода видно?"));
        set(q, 40, QStringLiteral("Где начинается перекрёсток?"), QStringLiteral("Разметка 1.17"));
        test::DbvBytes bytes(test::BuildTestDatabase(q));
        bytes.replaceText(501, "9\r\nсломан ремень пешеход перекресток\r\n*\r\n"); // damaged
        path = bytes.save(dir.file(QStringLiteral("dataAB.dbv")));
        ASSERT_TRUE(db.OpenDatabase(path));
        ASSERT_TRUE(Russian());
        index.setWordForms(Russian());
        index.build(db);
    }
    static void set(std::vector<QuestionSource>& q, int n, const QString& text,
                    const QString& comment = QString()) {
        q[n - 1].Text = text;
        if (!comment.isEmpty())
            q[n - 1].Comment = comment;
    }

    TempDir dir;
    QString path;
    Database db;
    SearchIndex index;
};

TEST_F(SearchIndexTest, AnyFormOfEveryWordMostInTheQuestionTextFirst) {
    EXPECT_EQ(Numbers(index.find(QStringLiteral("ремень безопасности"))),
              (std::vector<int>{7, 12, 3})); // 3 holds "безопасности" in its comment only
    EXPECT_EQ(Numbers(index.find(QStringLiteral("пешеходы"))), (std::vector<int>{20, 30}));
    EXPECT_EQ(Numbers(index.find(QStringLiteral("ПЕРЕКРЁСТОК"))), (std::vector<int>{30, 40, 20}));
    EXPECT_EQ(Numbers(index.find(QStringLiteral("перекрестке пешеход"))),
              (std::vector<int>{30, 20}));                             // not the damaged 501
    EXPECT_TRUE(index.find(QStringLiteral("пешеход ремень")).empty()); // one word missing
    EXPECT_TRUE(index.find(QStringLiteral("перекрес")).empty());       // no part of a word
}

TEST_F(SearchIndexTest, MatchingWordsOfTheQuestionTextAreHighlighted) {
    auto hits = index.find(QStringLiteral("пешеход перекрёсток"));
    ASSERT_EQ(Numbers(hits), (std::vector<int>{30, 20}));
    EXPECT_EQ(Highlighted(index, hits[0]),
              (QStringList{QStringLiteral("Пешеходы"), QStringLiteral("перекрестка"),
                           QStringLiteral("Пешехода")}));
    EXPECT_EQ(hits[0].InText, 2);
    EXPECT_EQ(Highlighted(index, hits[1]), QStringList{QStringLiteral("пешеходу")});
    EXPECT_EQ(hits[1].InText, 1);
}

TEST_F(SearchIndexTest, WordsTheDictionaryDoesNotKnowMatchAsWritten) {
    EXPECT_EQ(Numbers(index.find(QStringLiteral("тс"))), std::vector<int>{12});
    EXPECT_EQ(Numbers(index.find(QStringLiteral("1.17"))), std::vector<int>{40});
    EXPECT_TRUE(index.find(QStringLiteral("1.1")).empty());
    EXPECT_TRUE(index.find(QStringLiteral("  ,;  ")).empty());
    EXPECT_TRUE(SearchIndex().find(QStringLiteral("ремень")).empty()); // never built
}

TEST_F(SearchIndexTest, WithoutADictionaryWordsMatchAsWrittenFolded) {
    index.setWordForms(nullptr);
    index.build(db);
    EXPECT_EQ(Numbers(index.find(QStringLiteral("ПЕШЕХОДЫ"))), std::vector<int>{30});
    EXPECT_EQ(Numbers(index.find(QStringLiteral("перекрёсток"))), std::vector<int>{40});
}

TEST_F(SearchIndexTest, BackgroundBuildIsUsedAndANewDatabaseIsNoticed) {
    SearchIndex background;
    background.setWordForms(Russian());
    background.buildInBackground(db);
    EXPECT_TRUE(background.upToDate(db));
    EXPECT_EQ(Numbers(background.find(QStringLiteral("ремнями"))), (std::vector<int>{3, 7, 12}));

    auto q = test::MakeQuestions();
    q[41].Text = QStringLiteral("Новый вопрос про тягачи");
    const QString other = WriteTestDatabase(dir.path(), q, QStringLiteral("dataCD.dbv"));
    ASSERT_TRUE(SwitchDatabase(db, other));
    EXPECT_FALSE(background.upToDate(db));
    background.ensureBuilt(db);
    EXPECT_EQ(Numbers(background.find(QStringLiteral("тягач"))), std::vector<int>{42});
    background.invalidate();
    EXPECT_FALSE(background.upToDate(db));
}

} // namespace
} // namespace bil
