// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/cp1251.h"
#include "data/database.h"
#include "data/dbv_writer.h"

#include "test_db.h"
#include "test_jpeg.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

using namespace bil;
using namespace bil::test;

namespace {

// The valid test database, built once.
const QByteArray& ValidBytes() {
    static const QByteArray bytes = BuildTestDatabase();
    return bytes;
}

QString Damage(int number, const char* reason) {
    return QStringLiteral("База вопросов повреждена: вопрос %1, %2.")
        .arg(number)
        .arg(QString::fromUtf8(reason));
}

class DbTest : public ::testing::Test {
protected:
    // Opens the patched bytes as a fresh database file.
    void open(const DbvBytes& bytes) {
        const QString path = bytes.save(m_dir.file(QStringLiteral("test%1.dbv").arg(m_files++)));
        Status s = m_db.OpenDatabase(path);
        ASSERT_TRUE(s.ok()) << s.message().toStdString();
    }
    // Question 7 with the given text blob (cp1251 bytes).
    Result<TQuestion> loadText(const QByteArray& blob) {
        DbvBytes bytes(ValidBytes());
        bytes.replaceText(7, blob);
        open(bytes);
        return m_db.LoadQuestion(7);
    }
    static QByteArray cp(const char* utf8) { return *EncodeCp1251(QString::fromUtf8(utf8)); }

    TempDir m_dir;
    Database m_db;
    int m_files = 0;
};

} // namespace

TEST_F(DbTest, WrittenDatabaseReadsBackEveryQuestion) {
    const QByteArray jpeg = MakeTestJpeg(8, 8, 1);
    const QString path = WriteTestDatabase(m_dir.path(), MakeQuestions(jpeg, 3));
    ASSERT_TRUE(m_db.OpenDatabase(path).ok());
    EXPECT_TRUE(m_db.isOpen());
    EXPECT_EQ(m_db.DbTitle(), TestTitle);
    EXPECT_EQ(m_db.DbPath(), path);
    for (int n = 1; n <= QuestionCount; ++n) {
        Result<TQuestion> q = m_db.LoadQuestion(n);
        ASSERT_TRUE(q.ok()) << q.error().toStdString();
        EXPECT_EQ(q->Number, n);
        EXPECT_EQ(q->Ticket, TicketOf(n));
        EXPECT_EQ(q->InTicket, PositionOf(n));
        EXPECT_EQ(q->Text, TestQuestionText(n));
        ASSERT_EQ(q->AnswerCount, TestAnswerCount(n));
        for (int k = 1; k <= MaxAnswers; ++k)
            EXPECT_EQ(q->Answers[k - 1], k <= q->AnswerCount ? TestAnswerText(n, k) : QString());
        EXPECT_EQ(q->Correct, TestCorrect(n));
        EXPECT_EQ(q->Comment, TestComment(n));
        EXPECT_EQ(q->HasPicture, n % 3 == 0);
        EXPECT_EQ(q->Picture, n % 3 == 0 ? jpeg : QByteArray());
        Result<QString> comment = m_db.LoadComment(n);
        ASSERT_TRUE(comment.ok());
        EXPECT_EQ(*comment, TestComment(n));
    }
    Result<TQuestion> q = m_db.LoadQuestion(2);
    EXPECT_EQ(q->DisplayAnswer(2), QStringLiteral("2. ") + TestAnswerText(2, 2));
    EXPECT_FALSE(m_db.LoadQuestion(0).ok());
    EXPECT_FALSE(m_db.LoadQuestion(801).ok());
    m_db.CloseDatabase();
    EXPECT_FALSE(m_db.isOpen());
    EXPECT_FALSE(m_db.LoadComment(1).ok());
}

TEST_F(DbTest, LineBreaksCrLfAndCrLfAreOneBreakLfCrIsTwo) {
    const char* lines[] = {"2", "Вопрос?", "Да", "Нет", "*", "Ком Потому что"};
    for (const char* sep : {"\r\n", "\n", "\r"}) {
        QByteArray blob;
        for (const char* l : lines)
            blob += cp(l) + sep;
        Result<TQuestion> q = loadText(blob);
        ASSERT_TRUE(q.ok()) << q.error().toStdString();
        EXPECT_EQ(q->Text, QStringLiteral("Вопрос?"));
        EXPECT_EQ(q->AnswerCount, 2);
        EXPECT_EQ(q->Answers[1], QStringLiteral("Нет"));
        EXPECT_EQ(q->Correct, 2);
        EXPECT_EQ(q->Comment, QStringLiteral("Потому что"));
    }
    // LF CR leaves an empty line after every line: the question text is empty.
    QByteArray blob;
    for (const char* l : lines)
        blob += cp(l) + "\n\r";
    EXPECT_EQ(loadText(blob).error(), Damage(7, "пустой текст вопроса"));

    // A NUL ends the text; whatever follows it is not read.
    Result<TQuestion> q = loadText(cp("1\r\nQ\r\nA\r\nB\r\n*\r\nКом C") + '\0' + "\r\nmore");
    ASSERT_TRUE(q.ok());
    EXPECT_EQ(q->Comment, QStringLiteral("C"));
    EXPECT_EQ(loadText(QByteArray("1\r\nQ\r\nA\r\nB") + '\0' + "\r\n*\r\nxyz").error(),
              Damage(7, "нет строки «*» после ответов"));
}

TEST_F(DbTest, OnlyABareStarEndsTheAnswers) {
    Result<TQuestion> q = loadText("3 and more\r\nQ\r\n**\r\na*b\r\n *\r\n*\r\nxyzC\r\n*\r\nlast");
    ASSERT_TRUE(q.ok()) << q.error().toStdString();
    EXPECT_EQ(q->Correct, 3); // only the first character of line 0 counts
    ASSERT_EQ(q->AnswerCount, 3);
    EXPECT_EQ(q->Answers[0], QStringLiteral("**"));
    EXPECT_EQ(q->Answers[1], QStringLiteral("a*b"));
    EXPECT_EQ(q->Answers[2], QStringLiteral(" *"));
    EXPECT_EQ(q->Answers[3], QString());
    EXPECT_EQ(q->Comment, QStringLiteral("C")); // the line right after the first "*"
    EXPECT_EQ(m_db.LoadComment(7).value(), QStringLiteral("C"));
}

TEST_F(DbTest, CommentDropsThreeCharactersThenOneBlank) {
    const struct {
        const char* line;
        const char* comment;
    } cases[] = {
        {"Ком", ""},          {"Ком ", ""},      {"Ко", ""},
        {"Ком  два", " два"}, {"КомБез", "Без"}, {"abc п. 8.1", "п. 8.1"},
    };
    for (const auto& c : cases) {
        Result<TQuestion> q = loadText(cp("1\r\nQ\r\nA\r\nB\r\n*\r\n") + cp(c.line));
        ASSERT_TRUE(q.ok());
        EXPECT_EQ(q->Comment, QString::fromUtf8(c.comment)) << c.line;
        EXPECT_EQ(m_db.LoadComment(7).value(), QString::fromUtf8(c.comment)) << c.line;
    }
    // No line after "*": no comment.
    Result<TQuestion> q = loadText("1\r\nQ\r\nA\r\nB\r\n*\r\n");
    ASSERT_TRUE(q.ok());
    EXPECT_EQ(q->Comment, QString());
    EXPECT_EQ(m_db.LoadComment(7).value(), QString());
}

TEST_F(DbTest, AnswerCountsTwoAndFiveAndTheirLimits) {
    Result<TQuestion> two = loadText("2\r\nQ\r\nA\r\nB\r\n*\r\nKomX");
    ASSERT_TRUE(two.ok());
    EXPECT_EQ(two->AnswerCount, 2);
    EXPECT_EQ(two->Answers[2], QString());
    EXPECT_EQ(two->Answers[4], QString());
    Result<TQuestion> five = loadText("5\r\nQ\r\n1\r\n2\r\n3\r\n4\r\n5\r\n*\r\nKom");
    ASSERT_TRUE(five.ok());
    EXPECT_EQ(five->AnswerCount, 5);
    EXPECT_EQ(five->Answers[4], QStringLiteral("5"));
    EXPECT_EQ(five->DisplayAnswer(5), QStringLiteral("5. 5"));

    EXPECT_EQ(loadText("1\r\nQ\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n*\r\nKom").error(),
              Damage(7, "больше пяти ответов"));
    EXPECT_EQ(loadText("1\r\nQ\r\nA\r\n*\r\nKom").error(), Damage(7, "меньше двух ответов"));
    EXPECT_EQ(loadText("3\r\nQ\r\nA\r\nB\r\n*\r\nKom").error(),
              Damage(7, "верный ответ 3, а ответов 2"));
}

TEST_F(DbTest, DamagedTextBlobsAreErrorsForThatQuestionOnly) {
    const struct {
        QByteArray blob;
        const char* reason;
    } cases[] = {
        {"", "первая строка не начинается с цифры от 1 до 5"},
        {"\r\nQ\r\nA\r\nB\r\n*\r\nKom", "первая строка не начинается с цифры от 1 до 5"},
        {"0\r\nQ\r\nA\r\nB\r\n*\r\nKom", "первая строка не начинается с цифры от 1 до 5"},
        {"6\r\nQ\r\nA\r\nB\r\n*\r\nKom", "первая строка не начинается с цифры от 1 до 5"},
        {"x1\r\nQ\r\nA\r\nB\r\n*\r\nKom", "первая строка не начинается с цифры от 1 до 5"},
        {"1", "пустой текст вопроса"},
        {"1\r\n\r\nA\r\nB\r\n*\r\nKom", "пустой текст вопроса"},
        {"1\r\nQ\r\nA\r\nB\r\nKom", "нет строки «*» после ответов"},
        {"1\r\nQ\r\nA\r\nB\r\n* \r\nKom", "нет строки «*» после ответов"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(loadText(c.blob).error(), Damage(7, c.reason)) << c.blob.toStdString();
        // The neighbours are untouched.
        EXPECT_TRUE(m_db.LoadQuestion(6).ok());
        EXPECT_TRUE(m_db.LoadQuestion(8).ok());
    }
    // The comment reader only needs the "*" line.
    loadText("1\r\nQ\r\nA\r\nB\r\nKom");
    EXPECT_EQ(m_db.LoadComment(7).error(), Damage(7, "нет строки «*» после ответов"));
    loadText("1");
    EXPECT_EQ(m_db.LoadComment(7).error(), Damage(7, "нет строки «*» после ответов"));
}

TEST_F(DbTest, DamagedIndexEntriesAreErrorsAndNeverReadOutside) {
    DbvBytes bytes(ValidBytes());
    const qsizetype size = bytes.bytes().size();
    bytes.setEntry(1, {uint32_t(size), 10, 0, 0});               // past the end
    bytes.setEntry(2, {uint32_t(size - 5), 10, 0, 0});           // runs past the end
    bytes.setEntry(3, {0xFFFFFFF0u, 0x20, 0, 0});                // wraps in 32 bits
    bytes.setEntry(4, {100, 20, 0, 0});                          // inside the index
    bytes.setEntry(5, {bytes.entry(5).TextOffset, 30001, 0, 0}); // over the text limit
    bytes.setEntry(6, {bytes.entry(6).TextOffset, bytes.entry(6).TextSize, uint32_t(size), 4});
    bytes.setEntry(8, {bytes.entry(8).TextOffset, bytes.entry(8).TextSize, 13000, 300001});
    bytes.setEntry(9, {bytes.entry(9).TextOffset, bytes.entry(9).TextSize, 13000, 0});
    open(bytes);
    EXPECT_EQ(m_db.LoadQuestion(1).error(), Damage(1, "текст вне файла"));
    EXPECT_EQ(m_db.LoadQuestion(2).error(), Damage(2, "текст вне файла"));
    EXPECT_EQ(m_db.LoadQuestion(3).error(), Damage(3, "текст вне файла"));
    EXPECT_EQ(m_db.LoadQuestion(4).error(), Damage(4, "текст вне файла"));
    EXPECT_EQ(m_db.LoadComment(4).error(), Damage(4, "текст вне файла"));
    EXPECT_EQ(m_db.LoadQuestion(5).error(), Damage(5, "текст занимает 30001 байт, больше 30000"));
    EXPECT_EQ(m_db.LoadComment(5).error(), Damage(5, "текст занимает 30001 байт, больше 30000"));
    EXPECT_EQ(m_db.LoadQuestion(6).error(), Damage(6, "рисунок вне файла"));
    EXPECT_TRUE(m_db.LoadComment(6).ok()); // the comment reader never touches the picture
    EXPECT_EQ(m_db.LoadQuestion(8).error(),
              Damage(8, "рисунок занимает 300001 байт, больше 300000"));
    EXPECT_EQ(m_db.LoadQuestion(9).error(), Damage(9, "рисунок пустой"));
    EXPECT_TRUE(m_db.LoadQuestion(7).ok());
}

TEST_F(DbTest, BlobsAtTheirLimitsAreRead) {
    DbvBytes bytes(ValidBytes());
    const QByteArray head = "4\r\nQ\r\nA\r\nB\r\nC\r\nD\r\n*\r\nKom ";
    const QByteArray text = head + QByteArray(int(Database::MaxTextBlob) - head.size(), 'x');
    bytes.replaceText(10, text);
    const QByteArray picture(int(Database::MaxPictureBlob), '\x5a');
    bytes.replacePicture(10, picture);
    open(bytes);
    Result<TQuestion> q = m_db.LoadQuestion(10);
    ASSERT_TRUE(q.ok()) << q.error().toStdString();
    EXPECT_EQ(q->Comment.size(), qsizetype(Database::MaxTextBlob) - head.size());
    EXPECT_EQ(q->Picture, picture);
}

TEST_F(DbTest, PictureOffsetZeroMeansNoPictureWhateverTheSize) {
    DbvBytes bytes(BuildTestDatabase(MakeQuestions(MakeTestJpeg(), 1)));
    TQuestionEntry e = bytes.entry(12);
    e.PictureOffset = 0; // size stays non-zero
    bytes.setEntry(12, e);
    open(bytes);
    Result<TQuestion> q = m_db.LoadQuestion(12);
    ASSERT_TRUE(q.ok());
    EXPECT_FALSE(q->HasPicture);
    EXPECT_TRUE(q->Picture.isEmpty());
    EXPECT_TRUE(m_db.LoadQuestion(13)->HasPicture);
}

TEST_F(DbTest, TitleUsesOnlyItsLengthByte) {
    DbvBytes bytes(ValidBytes());
    bytes.setTitleLength(0); // the old title bytes stay behind it
    open(bytes);
    EXPECT_EQ(m_db.DbTitle(), QString());

    bytes.setTitleLength(5);
    open(bytes);
    EXPECT_EQ(m_db.DbTitle(), TestTitle.left(5));

    bytes.setTitleLength(50);
    open(bytes);
    EXPECT_EQ(m_db.DbTitle().size(), 50);

    // Over 50 is refused and the open database stays as it was.
    bytes.setTitleLength(51);
    const QString path = bytes.save(m_dir.file(QStringLiteral("long.dbv")));
    const QString before = m_db.DbPath();
    Status s = m_db.OpenDatabase(path);
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(s.message().startsWith(QStringLiteral("База вопросов повреждена")));
    EXPECT_TRUE(s.message().contains(QStringLiteral("51")));
    EXPECT_EQ(m_db.DbPath(), before);
    EXPECT_TRUE(m_db.LoadQuestion(1).ok());
}

TEST_F(DbTest, ShortFileOpensWithoutStaleDataFromThePreviousOne) {
    open(DbvBytes(ValidBytes()));
    ASSERT_TRUE(m_db.LoadQuestion(800).ok());

    // Cut inside the index: entries of questions past the cut read as zero.
    const qsizetype cut = Database::IndexOffset + 16 * 100 + 7;
    DbvBytes shortFile(ValidBytes().left(cut));
    shortFile.setTitleLength(3);
    open(shortFile);
    EXPECT_EQ(m_db.DbTitle(), TestTitle.left(3));
    for (int n = 102; n <= QuestionCount; ++n) {
        EXPECT_EQ(m_db.DbIndex()[n - 1].TextOffset, 0u);
        EXPECT_EQ(m_db.DbIndex()[n - 1].PictureSize, 0u);
        EXPECT_FALSE(m_db.LoadQuestion(n).ok());
    }
    for (int n = 1; n <= 100; ++n) // the blobs are gone with the cut
        EXPECT_EQ(m_db.LoadComment(n).error(), Damage(n, "текст вне файла"));

    // Cut inside the title: the missing title bytes are zero, not the previous title.
    DbvBytes tiny(QByteArray("\x05"
                             "ab",
                             3));
    open(tiny);
    EXPECT_EQ(m_db.DbTitle(), QStringLiteral("ab") + QString(3, QChar(0)));
    EXPECT_FALSE(m_db.LoadQuestion(1).ok());

    // An empty file opens too, with an empty title.
    open(DbvBytes(QByteArray()));
    EXPECT_EQ(m_db.DbTitle(), QString());
    EXPECT_EQ(m_db.LoadQuestion(1).error(), Damage(1, "текст вне файла"));
}

TEST_F(DbTest, FailedOpenAndSwitchKeepTheOldDatabaseUsable) {
    const QString first = WriteTestDatabase(m_dir.path());
    ASSERT_TRUE(m_db.OpenDatabase(first).ok());

    const QString missing = m_dir.file(QStringLiteral("missing.dbv"));
    Status s = SwitchDatabase(m_db, missing);
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(s.message().contains(QStringLiteral("missing.dbv")));
    EXPECT_FALSE(SwitchDatabase(m_db, m_dir.path()).ok()); // a folder is not readable
    DbvBytes badTitle(ValidBytes());
    badTitle.setTitleLength(200);
    EXPECT_FALSE(SwitchDatabase(m_db, badTitle.save(m_dir.file(QStringLiteral("bad.dbv")))).ok());
    EXPECT_EQ(m_db.DbPath(), first);
    EXPECT_EQ(m_db.DbTitle(), TestTitle);
    EXPECT_EQ(m_db.LoadQuestion(500)->Text, TestQuestionText(500));

    std::vector<QuestionSource> other = MakeQuestions();
    other[499].Text = QStringLiteral("Другая база");
    const QString second = WriteTestDatabase(m_dir.path(), other, QStringLiteral("dataCD.dbv"),
                                             QStringLiteral("C и D"));
    ASSERT_TRUE(SwitchDatabase(m_db, second).ok());
    EXPECT_EQ(m_db.DbPath(), second);
    EXPECT_EQ(m_db.DbTitle(), QStringLiteral("C и D"));
    EXPECT_EQ(m_db.LoadQuestion(500)->Text, QStringLiteral("Другая база"));

    // The file stays open: removing it does not stop the reads.
    ASSERT_TRUE(QFile::remove(second));
    EXPECT_EQ(m_db.LoadQuestion(500)->Text, QStringLiteral("Другая база"));
}

TEST_F(DbTest, FileShrunkAfterOpenIsAnErrorNotStaleBytes) {
    const QString path = WriteTestDatabase(m_dir.path());
    ASSERT_TRUE(m_db.OpenDatabase(path).ok());
    ASSERT_TRUE(QFile::resize(path, ValidBytes().size() - 10));
    EXPECT_EQ(m_db.LoadQuestion(800).error(), Damage(800, "файл обрезан"));
    EXPECT_TRUE(m_db.LoadQuestion(1).ok());
}

// Random damage of a valid file: every read either succeeds or reports an error, and a
// successful read always yields a question inside the format.
TEST_F(DbTest, RandomDamageNeverCrashes) {
    const QByteArray valid = BuildTestDatabase(MakeQuestions(MakeTestJpeg(), 7));
    std::mt19937 rng(20240601);
    for (int round = 0; round < 60; ++round) {
        DbvBytes bytes(valid);
        QByteArray& b = bytes.bytes();
        switch (round % 3) {
        case 0: // scattered byte changes, biased to header and index
            for (int i = 0; i < 200; ++i) {
                const qsizetype at = i % 2 ? rng() % Database::BlobAreaOffset : rng() % b.size();
                b[at] = char(rng());
            }
            break;
        case 1: // truncation
            b.truncate(qsizetype(rng() % b.size()));
            break;
        case 2: // line break and star bytes in the blobs
            for (int i = 0; i < 300; ++i) {
                const char pick[] = {'\r', '\n', '*', '\0', ' ', '9'};
                b[Database::BlobAreaOffset + rng() % (b.size() - Database::BlobAreaOffset)] =
                    pick[rng() % 6];
            }
            break;
        }
        const QString path = bytes.save(m_dir.file(QStringLiteral("fuzz.dbv")));
        Database db;
        if (!db.OpenDatabase(path).ok())
            continue;
        for (int n = 1; n <= QuestionCount; ++n) {
            Result<TQuestion> q = db.LoadQuestion(n);
            if (q.ok()) {
                EXPECT_GE(q->AnswerCount, 2);
                EXPECT_LE(q->AnswerCount, MaxAnswers);
                EXPECT_GE(q->Correct, 1);
                EXPECT_LE(q->Correct, q->AnswerCount);
                EXPECT_FALSE(q->Text.isEmpty());
                EXPECT_LE(q->Picture.size(), qsizetype(Database::MaxPictureBlob));
            } else {
                EXPECT_FALSE(q.error().isEmpty());
            }
            (void)db.LoadComment(n);
        }
    }
}

TEST(DbvWriter, TextBlobLayoutIsExactAndDeterministic) {
    std::vector<QuestionSource> questions = MakeQuestions(MakeTestJpeg(), 2);
    QuestionSource& q = questions[0];
    q.Text = QStringLiteral("Можно?");
    q.Answers = {QStringLiteral("Да"), QStringLiteral("Нет"), QStringLiteral("")};
    q.Correct = 2;
    q.Comment = QStringLiteral(" п. 8.1");
    const QByteArray bytes = BuildTestDatabase(questions, QStringLiteral("АБ"));
    EXPECT_EQ(bytes, BuildTestDatabase(questions, QStringLiteral("АБ")));

    DbvBytes raw(bytes);
    EXPECT_EQ(raw.bytes().left(3), QByteArray("\x02\xC0\xC1"));
    EXPECT_EQ(raw.bytes().mid(3, 48), QByteArray(48, '\0'));
    EXPECT_EQ(raw.entry(1).TextOffset, Database::BlobAreaOffset);
    EXPECT_EQ(raw.textBlob(1),
              *EncodeCp1251(QStringLiteral("2\r\nМожно?\r\nДа\r\nНет\r\n\r\n*\r\nКом  п. 8.1")));
    EXPECT_EQ(raw.entry(1).PictureOffset, 0u);
    EXPECT_EQ(raw.entry(2).PictureOffset, raw.entry(2).TextOffset + raw.entry(2).TextSize);
    EXPECT_EQ(raw.entry(3).TextOffset, raw.entry(2).PictureOffset + raw.entry(2).PictureSize);
    EXPECT_EQ(
        qsizetype(raw.entry(800).TextOffset + raw.entry(800).TextSize + raw.entry(800).PictureSize),
        bytes.size());

    // What it wrote reads back, the blank before the comment kept and the empty answer too.
    TempDir dir;
    Database db;
    ASSERT_TRUE(db.OpenDatabase(raw.save(dir.file(QStringLiteral("a.dbv")))).ok());
    Result<TQuestion> back = db.LoadQuestion(1);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back->AnswerCount, 3);
    EXPECT_EQ(back->Answers[2], QString());
    EXPECT_EQ(back->Comment, QStringLiteral(" п. 8.1"));
    EXPECT_EQ(db.DbTitle(), QStringLiteral("АБ"));
}

TEST(DbvWriter, RefusesInputOutsideTheFormatNamingTheQuestion) {
    const auto failsWith = [](std::vector<QuestionSource> questions, const QString& title,
                              const char* message, bool replace = false) {
        Result<QByteArray> r = BuildDatabase(title, questions, replace);
        EXPECT_FALSE(r.ok());
        EXPECT_EQ(r.error(), QString::fromUtf8(message));
    };
    const std::vector<QuestionSource> valid = MakeQuestions();
    std::vector<QuestionSource> q = valid;
    q[9].Answers.resize(1);
    failsWith(q, TestTitle, "Вопрос 10: ответов 1, а должно быть от 2 до 5");
    q = valid;
    q[9].Answers.resize(6);
    failsWith(q, TestTitle, "Вопрос 10: ответов 6, а должно быть от 2 до 5");
    q = valid;
    q[0].Correct = 0;
    failsWith(q, TestTitle, "Вопрос 1: верный ответ 0 вне ответов 1..2");
    q[0].Correct = 3;
    failsWith(q, TestTitle, "Вопрос 1: верный ответ 3 вне ответов 1..2");
    q = valid;
    q[20].Text.clear();
    failsWith(q, TestTitle, "Вопрос 21: пустой текст вопроса");
    q = valid;
    q[20].Answers[1] = QStringLiteral("*");
    failsWith(q, TestTitle, "Вопрос 21: ответ 2 равен «*»");
    q = valid;
    q[20].Comment = QStringLiteral("две\nстроки");
    failsWith(q, TestTitle, "Вопрос 21: комментарий содержит перевод строки");
    q = valid;
    q[799].Text = QStringLiteral("Знак ✓");
    failsWith(q, TestTitle,
              "Вопрос 800: текст вопроса: Символ «✓» (U+2713) нельзя записать в кодировке cp1251");
    q = valid;
    q[5] = QuestionSource{};
    q[5].Text = QString(29983, QLatin1Char('x'));
    q[5].Answers = {QStringLiteral("a"), QStringLiteral("b")};
    failsWith(q, TestTitle, "Вопрос 6: текст занимает 30001 байт, больше 30000");
    q[5].Text.chop(1);
    EXPECT_TRUE(BuildDatabase(TestTitle, q).ok());
    q = valid;
    q[5].Jpeg = QByteArray(300001, 'j');
    failsWith(q, TestTitle, "Вопрос 6: рисунок занимает 300001 байт, больше 300000");
    failsWith(valid, QString(51, QLatin1Char('T')), "Название базы длиннее 50 символов: 51");
    q = valid;
    q.pop_back();
    failsWith(q, TestTitle, "В базе должно быть 800 вопросов, а не 799");

    // With replace, characters cp1251 lacks become '?'.
    q = valid;
    q[799].Text = QStringLiteral("Знак ✓");
    Result<QByteArray> replaced = BuildDatabase(TestTitle, q, true);
    ASSERT_TRUE(replaced.ok());
    EXPECT_TRUE(
        DbvBytes(*replaced).textBlob(800).contains(*EncodeCp1251(QStringLiteral("Знак ?"))));

    // The file is only written when the bytes could be built.
    TempDir dir;
    const QString path = dir.file(QStringLiteral("x.dbv"));
    EXPECT_FALSE(WriteDatabase(path, QString(51, QLatin1Char('T')), valid).ok());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(WriteDatabase(path, TestTitle, valid).ok());
    EXPECT_EQ(QFile(path).size(), BuildTestDatabase(valid).size());
}
