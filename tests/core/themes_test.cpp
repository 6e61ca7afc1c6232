// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/themes.h"

#include "test_db.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <numeric>

namespace bil {
namespace {

// --- Default themes and names -------------------------------------------------------------

TEST(DefaultThemes, CellsReadByHand) {
    EXPECT_EQ(DefaultQuestionTheme[0][0], 1);
    EXPECT_EQ(DefaultQuestionTheme[0][1], 3); // ticket 1, position 2: "Знаки"
    EXPECT_EQ(DefaultQuestionTheme[0][16], 22);
    EXPECT_EQ(DefaultQuestionTheme[5][14], 5);
    EXPECT_EQ(DefaultQuestionTheme[5][16], 24);
    EXPECT_EQ(DefaultQuestionTheme[5][19], 26);
    EXPECT_EQ(DefaultQuestionTheme[7][8], 3);
    EXPECT_EQ(DefaultQuestionTheme[8][16], 8);
    EXPECT_EQ(DefaultQuestionTheme[9][18], 19);
    EXPECT_EQ(DefaultQuestionTheme[11][13], 5);
    EXPECT_EQ(DefaultQuestionTheme[14][15], 8);
    EXPECT_EQ(DefaultQuestionTheme[22][8], 4);
    EXPECT_EQ(DefaultQuestionTheme[33][10], 9);
    EXPECT_EQ(DefaultQuestionTheme[37][15], 14);
    EXPECT_EQ(DefaultQuestionTheme[39][17], 26);
    EXPECT_EQ(DefaultQuestionTheme[39][19], 25);
    EXPECT_EQ(DefaultThemeOf(NumberOf(6, 20)), 26);
    EXPECT_EQ(DefaultThemeOf(800), 25);
}

TEST(DefaultThemes, QuestionsPerTheme) {
    // Counted from the table; 1+2, 3, 4, 7 and 12 also checked column by column.
    const std::array<int, ThemeCount> expected = {25, 15, 127, 41,  12, 44, 9,  106, 25,
                                                  19, 36, 40,  104, 4,  10, 11, 7,   5,
                                                  23, 8,  3,   6,   26, 59, 20, 15};
    std::array<int, ThemeCount> counts{};
    for (int n = 1; n <= QuestionCount; ++n) {
        const int theme = DefaultThemeOf(n);
        ASSERT_TRUE(theme >= 1 && theme <= ThemeCount) << "question " << n;
        ++counts[theme - 1];
    }
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(std::accumulate(expected.begin(), expected.end(), 0), QuestionCount);
}

TEST(ThemeNamesTest, OneBasedWithEmptyOutside) {
    EXPECT_EQ(ThemeNames(1), "Положения");
    EXPECT_EQ(ThemeNames(3), "Знаки");
    EXPECT_EQ(ThemeNames(15), "Ж/Д пути");
    EXPECT_EQ(ThemeNames(19), "Световые приборы");
    EXPECT_EQ(ThemeNames(26), "Ответственность");
    EXPECT_TRUE(ThemeNames(0).isEmpty());
    EXPECT_TRUE(ThemeNames(27).isEmpty());
    EXPECT_TRUE(ThemeNames(-1).isEmpty());
}

// --- Help links of one comment ------------------------------------------------------------

struct Link {
    QString caption;
    QString topic;
    bool operator==(const Link&) const = default;
};

void PrintTo(const Link& l, std::ostream* os) {
    *os << l.caption.toStdString() << " -> " << l.topic.toStdString();
}

std::vector<Link> Links(const QString& comment) {
    std::vector<Link> out;
    for (const HelpLink& l : BuildHelpLinks(comment))
        out.push_back({l.LinkCaption, l.LinkTopic});
    return out;
}

TEST(HelpLinks, MarkerCarriesOverFollowingReferences) {
    EXPECT_EQ(Links("п. 8.1, 8.2 и знак 2.4 ПДД"),
              (std::vector<Link>{{"Пункт 8.1", "pdd8.html#p8.1"},
                                 {"Пункт 8.2", "pdd8.html#p8.2"},
                                 {"Знак 2.4", "zn2.html#z2.4"}}));
    EXPECT_EQ(Links("п.п. 1.2 и 1.3 ПДД"), (std::vector<Link>{{"Пункт 1.2", "pdd1.html#p1.2"},
                                                              {"Пункт 1.3", "pdd1.html#p1.3"}}));
    EXPECT_EQ(
        Links("Согласно пп. 9.1-9.3 ПДД."),
        (std::vector<Link>{{"Пункт 9.1", "pdd9.html#p9.1"}, {"Пункт 9.3", "pdd9.html#p9.3"}}));
    // A sentence dot after a number is dropped; the next marker takes over.
    EXPECT_EQ(Links("п. 8.1. Знак 2.4 ПДД"),
              (std::vector<Link>{{"Пункт 8.1", "pdd8.html#p8.1"}, {"Знак 2.4", "zn2.html#z2.4"}}));
}

TEST(HelpLinks, NumbersWithoutMarkerGiveNothing) {
    EXPECT_TRUE(Links("скорость 60 км/ч, 1.2 ПДД").empty());
    EXPECT_TRUE(Links("").empty());
    EXPECT_TRUE(Links("Водитель обязан уступить дорогу.").empty());
    // Markers are case-sensitive.
    EXPECT_TRUE(Links("П. 1.2 и ЗНАК 3.1 ПДД").empty());
    // Only the references after the marker count.
    EXPECT_EQ(Links("1.1 и п. 2.1 ПДД"), (std::vector<Link>{{"Пункт 2.1", "pdd2.html#p2.1"}}));
    // A marker with no number after it adds nothing.
    EXPECT_TRUE(Links("см. знак").empty());
}

TEST(HelpLinks, ChapterOfOneOrTwoDigits) {
    EXPECT_EQ(Links("п. 10.1 ПДД"), (std::vector<Link>{{"Пункт 10.1", "pdd10.html#p10.1"}}));
    EXPECT_EQ(Links("знак 5.19.1 ПДД"), (std::vector<Link>{{"Знак 5.19.1", "zn5.html#z5.19.1"}}));
    // Three digits before the dot: the reference starts at the last two.
    EXPECT_EQ(Links("п. 123.4 ПДД"), (std::vector<Link>{{"Пункт 23.4", "pdd23.html#p23.4"}}));
}

TEST(HelpLinks, WordFormsOfSignsAndMarkings) {
    EXPECT_EQ(Links("Знаки 3.1 и 3.2"),
              (std::vector<Link>{{"Знак 3.1", "zn3.html#z3.1"}, {"Знак 3.2", "zn3.html#z3.2"}}));
    EXPECT_EQ(Links("действие знаков 3.20 ПДД"),
              (std::vector<Link>{{"Знак 3.20", "zn3.html#z3.20"}}));
    EXPECT_EQ(Links("Табличка 8.2.1 ПДД"), (std::vector<Link>{{"Знак 8.2.1", "zn8.html#z8.2.1"}}));
    EXPECT_EQ(Links("таблички 8.4.1 ПДД"), (std::vector<Link>{{"Знак 8.4.1", "zn8.html#z8.4.1"}}));
    EXPECT_EQ(Links("Линия 1.1 ПДД"), (std::vector<Link>{{"Разметка 1.1", "raz1.html#r1.1"}}));
    EXPECT_EQ(Links("пересекать линии 1.5 ПДД"),
              (std::vector<Link>{{"Разметка 1.5", "raz1.html#r1.5"}}));
    EXPECT_EQ(Links("разметка 1.1 ПДД"), (std::vector<Link>{{"Разметка 1.1", "raz1.html#r1.1"}}));
    EXPECT_EQ(Links("Разметкой 1.14.1 ПДД"),
              (std::vector<Link>{{"Разметка 1.14.1", "raz1.html#r1.14.1"}}));
}

TEST(HelpLinks, ReferenceEndingTheCommentKeepsItsLastDigit) {
    EXPECT_EQ(Links("п. 8.1"), (std::vector<Link>{{"Пункт 8.1", "pdd8.html#p8.1"}}));
    EXPECT_EQ(Links("см. знак 3.20"), (std::vector<Link>{{"Знак 3.20", "zn3.html#z3.20"}}));
    EXPECT_EQ(Links("п. 10.15"), (std::vector<Link>{{"Пункт 10.15", "pdd10.html#p10.15"}}));
}

TEST(HelpLinks, WrittenOutItemWordIsAMarker) {
    EXPECT_EQ(Links("Пункт 8.1 ПДД"), (std::vector<Link>{{"Пункт 8.1", "pdd8.html#p8.1"}}));
    EXPECT_EQ(Links("согласно пункта 9.10 ПДД"),
              (std::vector<Link>{{"Пункт 9.10", "pdd9.html#p9.10"}}));
    EXPECT_EQ(Links("Пункты 1.2 и 1.3 ПДД"), (std::vector<Link>{{"Пункт 1.2", "pdd1.html#p1.2"},
                                                                {"Пункт 1.3", "pdd1.html#p1.3"}}));
    EXPECT_EQ(
        Links("знак 2.4 и пункт 13.9 ПДД"),
        (std::vector<Link>{{"Знак 2.4", "zn2.html#z2.4"}, {"Пункт 13.9", "pdd13.html#p13.9"}}));
}

TEST(HelpLinks, BracketsEndAReference) {
    EXPECT_EQ(Links("Пункт 22.2(1) ПДД"), (std::vector<Link>{{"Пункт 22.2", "pdd22.html#p22.2"}}));
    // The marker after the bracket takes over; the number before it keeps its own.
    EXPECT_EQ(Links("Разметка 1.17.1.(Пункты 8.11 ПДД)"),
              (std::vector<Link>{{"Разметка 1.17.1", "raz1.html#r1.17.1"},
                                 {"Пункт 8.11", "pdd8.html#p8.11"}}));
}

TEST(HelpLinks, ArticlesOfOtherLawsGiveNoLinkUntilTheNextMarker) {
    EXPECT_TRUE(Links("ст. 11.1 ФЗ об ОСАГО").empty());
    EXPECT_TRUE(Links("согласно статьи 12.10 КоАП").empty());
    EXPECT_TRUE(Links("Статья 12.8 КоАП").empty());
    EXPECT_EQ(
        Links("п. 2.7 ПДД (ст. 12.8, 12.26 КоАП), п. 2.3.2"),
        (std::vector<Link>{{"Пункт 2.7", "pdd2.html#p2.7"}, {"Пункт 2.3.2", "pdd2.html#p2.3.2"}}));
    // Inside a word "ст." is no article: the item marker stays.
    EXPECT_EQ(Links("п. 10.1, мост. 10.2"),
              (std::vector<Link>{{"Пункт 10.1", "pdd10.html#p10.1"},
                                 {"Пункт 10.2", "pdd10.html#p10.2"}}));
}

TEST(HelpLinks, ChaptersTheRulesDoNotHaveGiveNoLink) {
    EXPECT_TRUE(Links("п. 31.2 и п. 26.1, п. 0.5").empty());
    EXPECT_TRUE(Links("знак 9.1, разметка 3.1").empty());
    EXPECT_EQ(Links("п. 24.1, 25.1, знак 8.1, 9.1, разметка 2.1"),
              (std::vector<Link>{{"Пункт 24.1", "pdd24.html#p24.1"},
                                 {"Знак 8.1", "zn8.html#z8.1"},
                                 {"Разметка 2.1", "raz2.html#r2.1"}}));
}

TEST(HelpLinks, AtMostNineLinksTheRestIgnored) {
    QString comment = QStringLiteral("п.");
    for (int k = 1; k <= 12; ++k)
        comment += QStringLiteral(" 1.%1,").arg(k);
    const auto links = Links(comment);
    ASSERT_EQ(links.size(), size_t(MaxHelpLinks));
    EXPECT_EQ(links.front().caption, "Пункт 1.1");
    EXPECT_EQ(links.back().caption, "Пункт 1.9");
}

TEST(HelpLinks, CaptionAndTopicCutToTwentyCharacters) {
    const auto links = Links("разметка 1.14.1.2.3.4 ПДД");
    ASSERT_EQ(links.size(), 1u);
    EXPECT_EQ(links[0].caption, "Разметка 1.14.1.2.3.");
    EXPECT_EQ(links[0].topic, "raz1.html#r1.14.1.2.");
    EXPECT_EQ(Links("п. 24.99999999999999999999")[0].topic.size(), 20);
}

TEST(HelpLinks, LongNoisyCommentStaysBounded) {
    // Markers and numbers glued together, dots and hyphens everywhere.
    QString comment;
    for (int k = 0; k < 500; ++k)
        comment += QStringLiteral("п.1.-.,знак1..2лини-9.9.9Таблич");
    const auto links = BuildHelpLinks(comment);
    EXPECT_LE(links.size(), size_t(MaxHelpLinks));
    for (const HelpLink& l : links) {
        EXPECT_LE(l.LinkCaption.size(), 20);
        EXPECT_LE(l.LinkTopic.size(), 20);
    }
}

// --- Help links of the whole table --------------------------------------------------------

TEST(ThemeTableLinks, DamagedCommentCostsOnlyItsQuestion) {
    auto table = std::make_unique<ThemeTable>();
    table->HelpLinks[4][0] = {"Пункт 1.1", "pdd1.html#p1.1"};
    table->HelpLinkCount[4] = 1;
    BuildAllHelpLinks(*table, [](int n) -> Result<QString> {
        if (n == 5)
            return Status::Error("damaged");
        if (n == 6)
            return QStringLiteral("п. 8.1, 8.2 и знак 2.4 ПДД");
        return QStringLiteral("Без ссылок.");
    });
    EXPECT_EQ(table->HelpLinkCount[4], 0);
    EXPECT_TRUE(table->HelpLinks[4][0].LinkCaption.isEmpty());
    EXPECT_EQ(table->HelpLinkCount[5], 3);
    EXPECT_EQ(table->HelpLinks[5][2].LinkTopic, "zn2.html#z2.4");
    EXPECT_TRUE(table->HelpLinks[5][3].LinkCaption.isEmpty());
    EXPECT_EQ(table->HelpLinkCount[6], 0);
}

// --- tema4.dat ----------------------------------------------------------------------------

class ThemeFile : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString dir() const { return m_dir.path(); }
    QString path() const { return ThemeFilePath(dir()); }
    QByteArray readFile() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeFile(const QByteArray& bytes) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<ThemeTable> m_table = std::make_unique<ThemeTable>();
};

TEST_F(ThemeFile, FirstStartWritesDefaultThemesAndZeroMarks) {
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(NumberOf(1, 2)), 3);
    for (int n = 1; n <= QuestionCount; ++n) {
        ASSERT_EQ(m_table->theme(n), DefaultThemeOf(n));
        ASSERT_EQ(m_table->mark(n), 0);
    }
    const QByteArray bytes = readFile();
    ASSERT_EQ(bytes.size(), 1600);
    EXPECT_EQ(bytes[NumberOf(1, 2) - 1], 3);
    EXPECT_EQ(bytes[799], 25);
    EXPECT_EQ(bytes.mid(800), QByteArray(800, '\0'));
}

TEST_F(ThemeFile, RoundTripKeepsMovedThemeAndMarks) {
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    m_table->theme(17) = 5;
    m_table->mark(17) = 1;
    m_table->mark(800) = 2;
    ASSERT_TRUE(SaveThemeFile(*m_table, dir()));

    auto reloaded = std::make_unique<ThemeTable>();
    ASSERT_TRUE(LoadThemeFile(*reloaded, dir()));
    EXPECT_EQ(reloaded->QuestionTheme, m_table->QuestionTheme);
    EXPECT_EQ(reloaded->DifficultyMark, m_table->DifficultyMark);
    EXPECT_EQ(reloaded->theme(17), 5);
    EXPECT_EQ(reloaded->mark(800), 2);
    EXPECT_EQ(readFile().size(), 1600);
}

TEST_F(ThemeFile, ShortFileFillsWhatItHolds) {
    QByteArray bytes(900, '\x07');
    writeFile(bytes);
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(1), 7);
    EXPECT_EQ(m_table->theme(800), 7);
    // Bytes 800..899 are marks, clamped to "undetermined" since 7 is no mark.
    EXPECT_EQ(m_table->mark(1), 0);

    writeFile(QByteArray("\x02\x03\x01", 3));
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(1), 2);
    EXPECT_EQ(m_table->theme(3), 1);
    EXPECT_EQ(m_table->theme(4), 0);
    EXPECT_EQ(m_table->theme(800), 0);
    EXPECT_EQ(readFile().size(), 3); // a short file is read, never rewritten at load

    writeFile(QByteArray());
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(1), 0);
}

TEST_F(ThemeFile, MarksInShortFileAndValuesNoReaderKnows) {
    QByteArray bytes(1601, '\0');
    bytes[0] = 26;
    bytes[1] = 27;
    bytes[2] = char(255);
    bytes[800] = 2;
    bytes[801] = 3;
    bytes[1600] = 9; // beyond the layout: ignored
    writeFile(bytes);
    ASSERT_TRUE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(1), 26);
    EXPECT_EQ(m_table->theme(2), 0);
    EXPECT_EQ(m_table->theme(3), 0);
    EXPECT_EQ(m_table->mark(1), 2);
    EXPECT_EQ(m_table->mark(2), 0);
}

TEST_F(ThemeFile, FailuresLeaveTheTableUnchanged) {
    m_table->theme(1) = 9;
    // Missing folder: the default file cannot be written.
    Status missing = LoadThemeFile(*m_table, QDir(dir()).filePath("no/such/folder"));
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.message().isEmpty());
    EXPECT_EQ(m_table->theme(1), 9);

    // The path is taken by a folder: it cannot be read.
    ASSERT_TRUE(QDir(dir()).mkdir("tema4.dat"));
    EXPECT_FALSE(LoadThemeFile(*m_table, dir()));
    EXPECT_EQ(m_table->theme(1), 9);
    EXPECT_FALSE(SaveThemeFile(*m_table, dir()));
}

// --- The start-up build from an open database ---------------------------------------------

class ThemeTableLoad : public ::testing::Test {
protected:
    void SetUp() override {
        m_questions = test::MakeQuestions();
        m_questions[0].Comment = QStringLiteral("п. 8.1, 8.2 и знак 2.4 ПДД");
        m_questions[1].Comment = QStringLiteral("Скорость 60 км/ч, 1.2 ПДД");
        m_questions[799].Comment = QStringLiteral("См. разметка 1.1");
    }
    void open(const test::DbvBytes& bytes) {
        const QString path = bytes.save(m_dir.file(QStringLiteral("dataAB.dbv")));
        ASSERT_TRUE(m_db.OpenDatabase(path)) << path.toStdString();
    }
    void open() { open(test::DbvBytes(test::BuildTestDatabase(m_questions))); }

    test::TempDir m_dir;
    std::vector<QuestionSource> m_questions;
    Database m_db;
    std::unique_ptr<ThemeTable> m_table = std::make_unique<ThemeTable>();
};

TEST_F(ThemeTableLoad, BuildsThemesMarksAndLinks) {
    open();
    ASSERT_TRUE(LoadThemeTable(*m_table, m_db, m_dir.path()));
    EXPECT_EQ(m_table->theme(2), 3);
    EXPECT_EQ(m_table->mark(2), 0);
    EXPECT_TRUE(QFile::exists(ThemeFilePath(m_dir.path())));

    ASSERT_EQ(m_table->HelpLinkCount[0], 3);
    EXPECT_EQ(m_table->HelpLinks[0][0].LinkCaption, "Пункт 8.1");
    EXPECT_EQ(m_table->HelpLinks[0][2].LinkTopic, "zn2.html#z2.4");
    EXPECT_EQ(m_table->HelpLinkCount[1], 0);
    ASSERT_EQ(m_table->HelpLinkCount[799], 1);
    EXPECT_EQ(m_table->HelpLinks[799][0].LinkTopic, "raz1.html#r1.1");
    // Every built comment of the test set yields the links BuildHelpLinks gives it alone.
    for (int n = 3; n < QuestionCount; ++n)
        ASSERT_EQ(m_table->HelpLinkCount[n - 1],
                  int(BuildHelpLinks(m_questions[n - 1].Comment).size()))
            << "question " << n;
}

TEST_F(ThemeTableLoad, DamagedTextBlobCostsOnlyItsLinks) {
    test::DbvBytes bytes(test::BuildTestDatabase(m_questions));
    bytes.replaceText(1, QByteArray("no comment marker here\r\n"));
    open(bytes);
    ASSERT_TRUE(LoadThemeTable(*m_table, m_db, m_dir.path()));
    EXPECT_EQ(m_table->HelpLinkCount[0], 0);
    EXPECT_TRUE(m_table->HelpLinks[0][0].LinkCaption.isEmpty());
    EXPECT_EQ(m_table->HelpLinkCount[799], 1);
}

TEST_F(ThemeTableLoad, MovedThemeSurvivesRestart) {
    open();
    ASSERT_TRUE(LoadThemeTable(*m_table, m_db, m_dir.path()));
    m_table->theme(17) = 5;
    m_table->mark(17) = 1;
    ASSERT_TRUE(SaveThemeFile(*m_table, m_dir.path()));

    auto restarted = std::make_unique<ThemeTable>();
    ASSERT_TRUE(LoadThemeTable(*restarted, m_db, m_dir.path()));
    EXPECT_EQ(restarted->theme(17), 5);
    EXPECT_EQ(restarted->mark(17), 1);
    EXPECT_EQ(restarted->HelpLinkCount[0], 3);
}

TEST_F(ThemeTableLoad, FailureKeepsThePreviousTable) {
    open();
    ASSERT_TRUE(LoadThemeTable(*m_table, m_db, m_dir.path()));
    const Status failed =
        LoadThemeTable(*m_table, m_db, QDir(m_dir.path()).filePath(QStringLiteral("no/such")));
    EXPECT_FALSE(failed);
    EXPECT_EQ(m_table->HelpLinkCount[0], 3);
    EXPECT_EQ(m_table->theme(2), 3);
}

} // namespace
} // namespace bil
