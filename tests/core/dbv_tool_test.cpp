// SPDX-License-Identifier: GPL-3.0-or-later
// The maintainers' side of the question databases: JSON import, check, dump and the demo set.
#include "data/database.h"
#include "data/dbv_check.h"
#include "data/dbv_import.h"
#include "data/demo_database.h"
#include "data/fingerprint.h"
#include "data/jpeg.h"
#include "data/jpeg_encode.h"
#include "data/question_search.h"
#include "data/themes.h"
#include "stats/answer_journal.h"
#include "stats/readiness.h"
#include "test_db.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>
#include <webp/encode.h>

#include <functional>
#include <set>

namespace bil {
namespace {

std::string S(const QString& s) {
    return s.toStdString();
}

using test::ReadAll;

void WriteAll(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

RgbImage Gradient(int w, int h) {
    RgbImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = image.at(x, y);
            p[0] = uint8_t(x * 255 / w);
            p[1] = uint8_t(y * 255 / h);
            p[2] = 128;
        }
    return image;
}

// Noise compresses badly: a big picture of it is far over the size limit at full quality.
RgbImage Noise(int w, int h) {
    RgbImage image(w, h);
    uint32_t state = 12345;
    for (uint8_t& v : image.Pixels) {
        state = state * 1664525u + 1013904223u;
        v = uint8_t(state >> 24);
    }
    return image;
}

QByteArray WebpOf(const RgbImage& image) {
    uint8_t* out = nullptr;
    const std::size_t size =
        WebPEncodeRGB(image.Pixels.data(), image.Width, image.Height, image.Width * 3, 80, &out);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    WebPFree(out);
    return bytes;
}

// One question of the open data set layout, as the public data sets write it.
QJsonObject JsonQuestion(int ticket, int position) {
    const int n = NumberOf(ticket, position);
    const int count = 2 + n % 4;
    const int right = n % count;
    QJsonArray answers;
    for (int a = 0; a < count; ++a)
        answers.append(QJsonObject{{QStringLiteral("answer_text"),
                                    QStringLiteral("Ответ %1 к вопросу %2").arg(a + 1).arg(n)},
                                   {QStringLiteral("is_correct"), a == right}});
    return QJsonObject{
        {QStringLiteral("ticket_number"), QStringLiteral("Билет %1").arg(ticket)},
        {QStringLiteral("ticket_category"), QStringLiteral("A,B")},
        {QStringLiteral("title"), QStringLiteral("Вопрос %1").arg(position)},
        {QStringLiteral("question"), QStringLiteral("Текст вопроса %1\nво второй строке").arg(n)},
        {QStringLiteral("answers"), answers},
        {QStringLiteral("correct_answer"), QStringLiteral("Правильный ответ: %1").arg(right + 1)},
        {QStringLiteral("answer_tip"),
         QStringLiteral("Смотрите п. 8.1 и знак 2.4 ПДД (%1).").arg(n)},
        {QStringLiteral("image"), NoImagePlaceholder},
        {QStringLiteral("topic"), QJsonArray{QStringLiteral("Общие положения")}},
    };
}

// A complete data set in a temporary folder; edit() may change or drop (return false) questions.
class JsonDataSet {
public:
    using Edit = std::function<bool(int number, QJsonObject& question)>;

    explicit JsonDataSet(const Edit& edit = {}) {
        const QString tickets = m_dir.filePath(QStringLiteral("questions/A_B/tickets"));
        QDir().mkpath(tickets);
        for (int t = 1; t <= TicketCount; ++t) {
            QJsonArray items;
            for (int p = 1; p <= TicketSize; ++p) {
                QJsonObject q = JsonQuestion(t, p);
                if (!edit || edit(NumberOf(t, p), q))
                    items.append(q);
            }
            QFile f(tickets + QStringLiteral("/Билет %1.json").arg(t));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QJsonDocument(items).toJson());
        }
    }
    QString root() const { return m_dir.path(); }
    QString out() const { return m_dir.filePath(QStringLiteral("out/dataAB.dbv")); }
    void addFile(const QString& rel, const QByteArray& bytes) {
        WriteAll(m_dir.filePath(rel), bytes);
    }
    JsonImportOptions options(bool replace = false) const {
        JsonImportOptions o;
        o.Root = root();
        o.Set = CategorySet::AB;
        o.Replace = replace;
        return o;
    }

private:
    QTemporaryDir m_dir;
};

TEST(DbvImport, BuildsCheckAndDumpRoundTrip) {
    const RgbImage webpSource = Gradient(320, 120);
    JsonDataSet set([](int n, QJsonObject& q) {
        if (n == 1) // a WebP file under a .jpg name
            q[QStringLiteral("image")] = QStringLiteral("./images/A_B/webp_as.jpg");
        if (n == 2)
            q[QStringLiteral("image")] = QStringLiteral("./images/A_B/huge.jpg");
        if (n == 3 || n == 4) // two questions sharing a picture
            q[QStringLiteral("image")] = QStringLiteral("images/A_B/plain.jpg");
        if (n == 5)
            q[QStringLiteral("answer_tip")] = QStringLiteral("Строка 1\r\nстрока 2\rстрока 3");
        return true;
    });
    set.addFile(QStringLiteral("images/A_B/webp_as.jpg"), WebpOf(webpSource));
    const QByteArray huge = EncodeJpeg(Noise(900, 900), 100).value();
    ASSERT_GT(huge.size(), qsizetype(Database::MaxPictureBlob));
    set.addFile(QStringLiteral("images/A_B/huge.jpg"), huge);
    const QByteArray plain = EncodeJpeg(Gradient(200, 100), 90).value();
    set.addFile(QStringLiteral("images/A_B/plain.jpg"), plain);

    QStringList progress;
    JsonImportOptions options = set.options();
    options.Title = QStringLiteral("Проверочная база");
    options.Progress = [&](const QString& line) { progress << line; };
    const Status built = BuildDatabaseFromJson(options, set.out());
    ASSERT_TRUE(built) << S(built.message());
    EXPECT_GE(progress.size(), TicketCount);

    auto report = CheckDbvFile(set.out());
    ASSERT_TRUE(report) << S(report.error());
    EXPECT_TRUE(report->ok());
    EXPECT_EQ(report->Title, QStringLiteral("Проверочная база"));
    EXPECT_EQ(report->WithPicture, 4);
    EXPECT_LE(report->LargestPicture, Database::MaxPictureBlob);

    Database db;
    ASSERT_TRUE(db.OpenDatabase(set.out()));
    auto q1 = DumpQuestion(db, 1);
    ASSERT_TRUE(q1);
    // WebP content is stored as a baseline JPEG of the same size.
    EXPECT_TRUE(q1->value(QStringLiteral("has_picture")).toBool());
    EXPECT_EQ(q1->value(QStringLiteral("picture_width")).toInt(), 320);
    EXPECT_EQ(q1->value(QStringLiteral("picture_height")).toInt(), 120);
    EXPECT_FALSE(q1->value(QStringLiteral("picture_progressive")).toBool());
    EXPECT_EQ(q1->value(QStringLiteral("text")).toString(),
              QStringLiteral("Текст вопроса 1 во второй строке"));

    // The oversized picture shrank below the limit and still decodes.
    auto q2 = db.LoadQuestion(2);
    ASSERT_TRUE(q2);
    EXPECT_LE(q2->Picture.size(), qsizetype(Database::MaxPictureBlob));
    EXPECT_TRUE(DecodeJpeg(reinterpret_cast<const uint8_t*>(q2->Picture.constData()),
                           std::size_t(q2->Picture.size())));

    // A JPEG within the limit is kept byte for byte.
    EXPECT_EQ(db.LoadQuestion(3)->Picture, plain);
    EXPECT_EQ(db.LoadQuestion(4)->Picture, plain);
    EXPECT_FALSE(db.LoadQuestion(6)->HasPicture);

    auto q5 = DumpQuestion(db, 5);
    ASSERT_TRUE(q5);
    EXPECT_EQ(q5->value(QStringLiteral("comment")).toString(),
              QStringLiteral("Строка 1 строка 2 строка 3"));

    auto q245 = DumpQuestion(db, 245);
    ASSERT_TRUE(q245);
    const QJsonObject& d = q245.value();
    EXPECT_EQ(d.value(QStringLiteral("ticket")).toInt(), 13);
    EXPECT_EQ(d.value(QStringLiteral("position")).toInt(), 5);
    const int count = 2 + 245 % 4;
    ASSERT_EQ(d.value(QStringLiteral("answers")).toArray().size(), count);
    EXPECT_EQ(d.value(QStringLiteral("correct")).toInt(), 245 % count + 1);
    EXPECT_EQ(d.value(QStringLiteral("answers")).toArray().at(0).toString(),
              QStringLiteral("Ответ 1 к вопросу 245"));
    EXPECT_EQ(d.value(QStringLiteral("theme")).toInt(), DefaultThemeOf(245));
    const QJsonArray links = d.value(QStringLiteral("help_links")).toArray();
    ASSERT_EQ(links.size(), 2);
    EXPECT_EQ(links.at(0).toObject().value(QStringLiteral("caption")).toString(),
              QStringLiteral("Пункт 8.1"));
    EXPECT_EQ(links.at(1).toObject().value(QStringLiteral("topic")).toString(),
              QStringLiteral("zn2.html#z2.4"));

    // Same input, same bytes.
    const QByteArray first = ReadAll(set.out());
    ASSERT_TRUE(BuildDatabaseFromJson(set.options(), set.out() + QStringLiteral("2")));
    ASSERT_TRUE(BuildDatabaseFromJson(set.options(), set.out() + QStringLiteral("3")));
    EXPECT_EQ(ReadAll(set.out() + QStringLiteral("2")), ReadAll(set.out() + QStringLiteral("3")));
    EXPECT_NE(first, ReadAll(set.out() + QStringLiteral("2"))); // only the title differs
    Database plainTitle;
    ASSERT_TRUE(plainTitle.OpenDatabase(set.out() + QStringLiteral("2")));
    EXPECT_EQ(plainTitle.DbTitle(), DefaultImportTitle(CategorySet::AB));
}

// Each fault is an error that names the question, and nothing is written.
TEST(DbvImport, RefusesBrokenDataSets) {
    struct Case {
        const char* Name;
        JsonDataSet::Edit Edit;
        QString Expected;
    };
    const std::vector<Case> cases = {
        {"missing question", [](int n, QJsonObject&) { return n != 87; },
         QStringLiteral("билет 5, вопрос 7: вопроса нет")},
        {"two right answers",
         [](int n, QJsonObject& q) {
             if (n == 30) {
                 QJsonArray a = q[QStringLiteral("answers")].toArray();
                 for (qsizetype k = 0; k < a.size(); ++k) {
                     QJsonObject o = a[k].toObject();
                     o[QStringLiteral("is_correct")] = true;
                     a[k] = o;
                 }
                 q[QStringLiteral("answers")] = a;
             }
             return true;
         },
         QStringLiteral("билет 2, вопрос 10: правильных ответов")},
        {"one answer",
         [](int n, QJsonObject& q) {
             if (n == 800)
                 q[QStringLiteral("answers")] =
                     QJsonArray{QJsonObject{{QStringLiteral("answer_text"), QStringLiteral("Да")},
                                            {QStringLiteral("is_correct"), true}}};
             return true;
         },
         QStringLiteral("билет 40, вопрос 20: ответов 1")},
        {"repeated question",
         [](int n, QJsonObject& q) {
             if (n == 41)
                 q[QStringLiteral("title")] = QStringLiteral("Вопрос 2");
             return true;
         },
         QStringLiteral("билет 3, вопрос 2: вопрос встречается дважды")},
        {"missing picture",
         [](int n, QJsonObject& q) {
             if (n == 9)
                 q[QStringLiteral("image")] = QStringLiteral("./images/A_B/nowhere.jpg");
             return true;
         },
         QStringLiteral("билет 1, вопрос 9: нет файла картинки")},
        {"picture outside the data set",
         [](int n, QJsonObject& q) {
             if (n == 10)
                 q[QStringLiteral("image")] = QStringLiteral("../../etc/passwd");
             return true;
         },
         QStringLiteral("билет 1, вопрос 10: путь к картинке вне папки данных")},
        {"character cp1251 lacks",
         [](int n, QJsonObject& q) {
             if (n == 44)
                 q[QStringLiteral("question")] = QStringLiteral("Знак ✓ на рисунке");
             return true;
         },
         QStringLiteral("билет 3, вопрос 4: текст вопроса")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        JsonDataSet set(c.Edit);
        const Status built = BuildDatabaseFromJson(set.options(), set.out());
        ASSERT_FALSE(built);
        EXPECT_TRUE(built.message().contains(c.Expected)) << S(built.message());
        EXPECT_FALSE(QFile::exists(set.out()));
    }

    // With --replace the character becomes '?' and the build succeeds.
    JsonDataSet set(cases.back().Edit);
    const Status replaced = BuildDatabaseFromJson(set.options(true), set.out());
    ASSERT_TRUE(replaced) << S(replaced.message());
    Database db;
    ASSERT_TRUE(db.OpenDatabase(set.out()));
    EXPECT_EQ(db.LoadQuestion(44)->Text, QStringLiteral("Знак ? на рисунке"));

    // A folder without the data set at all.
    QTemporaryDir empty;
    JsonImportOptions none;
    none.Root = empty.path();
    EXPECT_TRUE(ImportJsonDataSet(none).error().contains(QStringLiteral("Нет папки")));
}

TEST(DbvImport, ReadsContentNotFileNames) {
    EXPECT_EQ(DetectImageFormat(EncodeJpeg(Gradient(8, 8), 80).value()), ImageFormat::Jpeg);
    EXPECT_EQ(DetectImageFormat(WebpOf(Gradient(8, 8))), ImageFormat::Webp);
    EXPECT_EQ(DetectImageFormat(QByteArray("\x89PNG\r\n\x1a\n....", 12)), ImageFormat::Png);
    EXPECT_EQ(DetectImageFormat(QByteArray("RIFF")), ImageFormat::Unknown);

    JsonDataSet set([](int n, QJsonObject& q) {
        if (n == 12)
            q[QStringLiteral("image")] = QStringLiteral("./images/A_B/really.jpg");
        return true;
    });
    set.addFile(QStringLiteral("images/A_B/really.jpg"), QByteArray("\x89PNG\r\n\x1a\n....", 12));
    const Status built = BuildDatabaseFromJson(set.options(), set.out());
    EXPECT_TRUE(built.message().contains(QStringLiteral("билет 1, вопрос 12: картинка")))
        << S(built.message());
    EXPECT_TRUE(built.message().contains(QStringLiteral("PNG")));
}

// The demo bytes with single patches: each kind of damage is reported for its question only.
class DbvCheckDamage : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        auto built = BuildDatabase(DemoTitle, DemoQuestions());
        ASSERT_TRUE(built) << S(built.error());
        // Texts the writer would refuse to build, stored as they are.
        test::DbvBytes bytes(built.value());
        bytes.replaceText(14, "1\nВопрос\nОдин ответ\n*\nКом x");
        bytes.replaceText(15, "1\nВ\n1\n2\n3\n4\n5\n6\n*\nКом x");
        bytes.replaceText(16, "4\nВ\n1\n2\n3\n*\nКом x");
        s_bytes = new QByteArray(bytes.bytes());
    }
    static void TearDownTestSuite() { delete s_bytes; }

    static uint32_t Field(const QByteArray& b, int number, int field) {
        const QByteArray bytes = b.mid(Database::IndexOffset + 16 * (number - 1) + 4 * field, 4);
        uint32_t value = 0;
        for (int i = 3; i >= 0; --i)
            value = (value << 8) | uint8_t(bytes[i]);
        return value;
    }
    static void SetField(QByteArray& b, int number, int field, uint32_t value) {
        qToLittleEndian<uint32_t>(value,
                                  b.data() + Database::IndexOffset + 16 * (number - 1) + 4 * field);
    }

    Result<DbvCheckReport> check(const QByteArray& bytes) {
        const QString path = m_dir.filePath(QStringLiteral("broken.dbv"));
        WriteAll(path, bytes);
        return CheckDbvFile(path);
    }

    static QByteArray* s_bytes;
    QTemporaryDir m_dir;
};
QByteArray* DbvCheckDamage::s_bytes = nullptr;

TEST_F(DbvCheckDamage, ReportsEveryDamagedQuestion) {
    QByteArray b = *s_bytes;
    const auto size = uint32_t(b.size());
    SetField(b, 5, 1, 40000);       // text over 30000 bytes
    SetField(b, 7, 3, 400000);      // picture over 300000 bytes
    SetField(b, 8, 0, size - 3);    // text runs past the end of the file
    SetField(b, 10, 2, size + 100); // picture starts past the end
    b[Field(b, 17, 0)] = 'x';       // right-answer digit missing
    b[Field(b, 18, 0)] = '5';       // right answer 5 of 4 answers
    // Question 20: nothing of the JPEG but its first marker.
    b.replace(qsizetype(Field(b, 20, 2)) + 2, qsizetype(Field(b, 20, 3)) - 2,
              QByteArray(qsizetype(Field(b, 20, 3)) - 2, '\0'));
    {
        // Question 4 (two answers): the "*" line turned into an answer.
        ASSERT_EQ(DemoQuestions()[3].Answers.size(), 2u);
        const uint32_t off = Field(b, 4, 0);
        const QByteArray text = b.mid(off, Field(b, 4, 1));
        const qsizetype star = text.indexOf("\n*\r\n");
        ASSERT_GT(star, 0);
        b[off + star + 1] = '+';
    }
    auto report = check(b);
    ASSERT_TRUE(report) << S(report.error());
    std::map<int, QString> found;
    for (const DbvProblem& p : report->Problems)
        found[p.Number] += p.Reason + QLatin1Char(';');
    std::set<int> numbers;
    for (const auto& [n, reason] : found)
        numbers.insert(n);
    ASSERT_EQ(DemoQuestions()[17].Answers.size(), 4u);
    const std::set<int> expected = {4, 5, 7, 8, 10, 14, 15, 16, 17, 18, 20};
    EXPECT_EQ(numbers, expected);
    EXPECT_TRUE(found[5].contains(QStringLiteral("30000"))) << S(found[5]);
    EXPECT_TRUE(found[7].contains(QStringLiteral("300000"))) << S(found[7]);
    EXPECT_TRUE(found[8].contains(QStringLiteral("вне файла"))) << S(found[8]);
    EXPECT_TRUE(found[10].contains(QStringLiteral("вне файла"))) << S(found[10]);
    EXPECT_TRUE(found[14].contains(QStringLiteral("двух"))) << S(found[14]);
    EXPECT_TRUE(found[15].contains(QStringLiteral("пяти"))) << S(found[15]);
    EXPECT_TRUE(found[16].contains(QStringLiteral("4"))) << S(found[16]);
    EXPECT_TRUE(found[17].contains(QStringLiteral("цифр"))) << S(found[17]);
    EXPECT_TRUE(found[18].contains(QStringLiteral("5"))) << S(found[18]);
    EXPECT_TRUE(found[20].contains(QStringLiteral("картинка"))) << S(found[20]);
    EXPECT_TRUE(found[4].contains(QStringLiteral("«*»"))) << S(found[4]);
    EXPECT_FALSE(report->ok());
    EXPECT_TRUE(report->summary().contains(QString::number(expected.size())));
}

TEST_F(DbvCheckDamage, FileLevelDamage) {
    QByteArray title = *s_bytes;
    title[0] = char(51);
    auto bad = check(title);
    ASSERT_FALSE(bad);
    EXPECT_TRUE(bad.error().contains(QStringLiteral("назван"))) << S(bad.error());

    // Cut inside the index: the missing entries read as zero and every question fails.
    auto cut = check(s_bytes->left(Database::IndexOffset + 16 * 10));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->Problems.front().Number, 0);
    EXPECT_EQ(cut->Problems.size(), std::size_t(QuestionCount + 1));

    EXPECT_FALSE(CheckDbvFile(m_dir.filePath(QStringLiteral("absent.dbv"))));
}

TEST(DemoDatabase, PassesCheckAndExercisesTheProgram) {
    const std::vector<QuestionSource> questions = DemoQuestions();
    ASSERT_EQ(questions.size(), std::size_t(QuestionCount));
    std::set<int> counts, rights;
    int withPicture = 0, withLinks = 0, overNine = 0, wide = 0, tall = 0, progressive = 0;
    for (std::size_t i = 0; i < questions.size(); ++i) {
        const QuestionSource& q = questions[i];
        counts.insert(int(q.Answers.size()));
        rights.insert(q.Correct);
        ASSERT_GE(q.Correct, 1);
        ASSERT_LE(q.Correct, int(q.Answers.size()));
        EXPECT_TRUE(q.Text.contains(QStringLiteral("Демонстрационный"))) << i;
        const auto links = BuildHelpLinks(q.Comment);
        withLinks += links.empty() ? 0 : 1;
        overNine += links.size() == std::size_t(MaxHelpLinks) ? 1 : 0;
        if (q.Jpeg.isEmpty())
            continue;
        ++withPicture;
        auto info = ReadJpegInfo(reinterpret_cast<const uint8_t*>(q.Jpeg.constData()),
                                 std::size_t(q.Jpeg.size()));
        ASSERT_TRUE(info);
        wide += info->Width >= 4 * info->Height ? 1 : 0;
        tall += info->Height > info->Width ? 1 : 0;
        progressive += info->Progressive ? 1 : 0;
    }
    EXPECT_EQ(counts, (std::set<int>{2, 3, 4, 5}));
    EXPECT_EQ(rights, (std::set<int>{1, 2, 3, 4, 5}));
    EXPECT_NEAR(withPicture, QuestionCount * 2 / 3, 20);
    EXPECT_GT(withLinks, QuestionCount * 9 / 10);
    EXPECT_LT(withLinks, QuestionCount); // a few comments cite nothing
    EXPECT_GT(overNine, 0);
    EXPECT_GT(wide, 0);
    EXPECT_GT(tall, 0);
    EXPECT_EQ(progressive, 1);

    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.dbv")),
                  b = dir.filePath(QStringLiteral("b.dbv"));
    ASSERT_TRUE(WriteDemoDatabase(a));
    ASSERT_TRUE(WriteDemoDatabase(b));
    EXPECT_EQ(ReadAll(a), ReadAll(b));
    auto report = CheckDbvFile(a);
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->ok()) << S(report->Problems.front().Reason);
    EXPECT_EQ(report->Title, DemoTitle);
    EXPECT_EQ(report->WithPicture, withPicture);

    // The large progressive picture decodes at every reduced scale the windows use.
    Database db;
    ASSERT_TRUE(db.OpenDatabase(a));
    auto big = db.LoadQuestion(2);
    ASSERT_TRUE(big);
    for (int scale : {1, 2, 4, 8}) {
        auto bitmap = DecodeJpeg(reinterpret_cast<const uint8_t*>(big->Picture.constData()),
                                 std::size_t(big->Picture.size()), scale);
        ASSERT_TRUE(bitmap) << scale;
        EXPECT_EQ(bitmap->Width, (3333 + scale - 1) / scale);
    }
}

TEST(JpegEncode, ShrinksUntilItFits) {
    const RgbImage noise = Noise(700, 500);
    auto jpeg = EncodeJpegWithin(noise, 60000);
    ASSERT_TRUE(jpeg);
    EXPECT_LE(jpeg->size(), 60000);
    auto info = ReadJpegInfo(reinterpret_cast<const uint8_t*>(jpeg->constData()),
                             std::size_t(jpeg->size()));
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->Progressive);
    EXPECT_LT(info->Width, 700); // quality alone was not enough

    // Colours survive the round trip through the encoder and the program's decoder.
    RgbImage red(16, 16, 200, 30, 35);
    auto back = DecodeJpegRgb(EncodeJpeg(red, 95).value());
    ASSERT_TRUE(back);
    EXPECT_NEAR(back->at(8, 8)[0], 200, 4);
    EXPECT_NEAR(back->at(8, 8)[1], 30, 4);
    EXPECT_NEAR(back->at(8, 8)[2], 35, 4);

    EXPECT_FALSE(EncodeJpeg(RgbImage(), 90));
    EXPECT_FALSE(DecodeWebp(QByteArray("RIFF\0\0\0\0WEBPjunk", 16)));
    // A lossless header claiming 7689×3844 points is refused before anything is decoded.
    const quint32 size = (7689 - 1) | (quint32(3844 - 1) << 14);
    QByteArray huge("RIFF\x1a\0\0\0WEBPVP8L\x0d\0\0\0\x2f", 21);
    for (int k = 0; k < 4; ++k)
        huge += char(size >> (8 * k));
    huge += QByteArray(8, '\0');
    EXPECT_EQ(DecodeWebp(huge).error(),
              QStringLiteral("Картинка WebP слишком велика (7689×3844 точек)"));
}

#ifdef BILETORIA_DBV_TOOL
// The installed command line: exit codes and output a maintainer relies on.
TEST(DbvToolBinary, DemoCheckDumpAndFailure) {
    QTemporaryDir dir;
    const QString tool = QStringLiteral(BILETORIA_DBV_TOOL);
    const QString db = dir.filePath(QStringLiteral("dataAB.dbv"));
    auto run = [&](const QStringList& args, QByteArray* out = nullptr, QByteArray* err = nullptr) {
        QProcess p;
        p.start(tool, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        if (out)
            *out = p.readAllStandardOutput();
        if (err)
            *err = p.readAllStandardError();
        return p.exitCode();
    };
    ASSERT_EQ(run({QStringLiteral("demo"), QStringLiteral("-o"), db}), 0);
    QByteArray out, err;
    EXPECT_EQ(run({QStringLiteral("check"), db}, &out), 0);
    EXPECT_TRUE(QString::fromUtf8(out).contains(DemoTitle));
    EXPECT_EQ(run({QStringLiteral("dump"), db, QStringLiteral("2")}, &out), 0);
    const QJsonObject q = QJsonDocument::fromJson(out).object();
    EXPECT_EQ(q.value(QStringLiteral("number")).toInt(), 2);
    EXPECT_EQ(q.value(QStringLiteral("picture_width")).toInt(), 3333);
    EXPECT_EQ(run({QStringLiteral("dump"), db}, &out), 0);
    EXPECT_EQ(QJsonDocument::fromJson(out).array().size(), QuestionCount);

    // The search prints the window's results in the window's order.
    Database opened;
    ASSERT_TRUE(opened.OpenDatabase(db));
    SearchIndex index;
    index.build(opened);
    const QString query = QStringLiteral("участник дорога");
    QStringList expected;
    for (const SearchHit& hit : index.find(query))
        expected << QString::number(hit.Number);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(run({QStringLiteral("search"), db, query}, &out), 0);
    EXPECT_EQ(QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);

    EXPECT_EQ(
        run({QStringLiteral("build"), QStringLiteral("--json"), dir.path(), QStringLiteral("--set"),
             QStringLiteral("AB"), QStringLiteral("-o"), dir.filePath(QStringLiteral("x.dbv"))},
            nullptr, &err),
        1);
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("Нет папки"))) << err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("x.dbv"))));
    EXPECT_NE(run({QStringLiteral("check"), dir.filePath(QStringLiteral("none.dbv"))}), 0);
}

// The chance to pass from answer chances and from a journal, to nine decimals.
TEST(DbvToolBinary, ForecastFromChancesAndFromAJournal) {
    QTemporaryDir dir;
    const QString tool = QStringLiteral(BILETORIA_DBV_TOOL);
    auto run = [&](const QStringList& args, QByteArray* out) {
        QProcess p;
        p.start(tool, QStringList{QStringLiteral("forecast")} + args);
        EXPECT_TRUE(p.waitForFinished(60000));
        *out = p.readAllStandardOutput() + p.readAllStandardError();
        return p.exitCode();
    };
    const QString chances = dir.filePath(QStringLiteral("p.txt"));
    QByteArray lines;
    for (int n = 1; n <= QuestionCount; ++n)
        lines += n == 5 ? "0,95\n" : "0.9\n";
    WriteAll(chances, lines);
    AnswerChances p;
    p.fill(0.9);
    p[4] = 0.95;
    QByteArray out;
    EXPECT_EQ(run({QStringLiteral("--probabilities"), chances}, &out), 0);
    EXPECT_EQ(out.trimmed(), QByteArray::number(PassChance(p), 'f', 9));
    WriteAll(chances, lines.replace("0,95", "1.5"));
    EXPECT_EQ(run({QStringLiteral("--probabilities"), chances}, &out), 1);
    EXPECT_TRUE(QString::fromUtf8(out).contains(QStringLiteral("Строка 5"))) << out.toStdString();

    const QString db = test::WriteTestDatabase(dir.path());
    Database opened;
    ASSERT_TRUE(opened.OpenDatabase(db));
    const Fingerprint set = SetFingerprint(ComputeQuestionPrints(opened).value());
    const int64_t day = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC).toSecsSinceEpoch();
    std::vector<JournalEntry> entries;
    for (int n = 1; n <= QuestionCount; ++n) {
        // Another set's answer leaves question 7 unknown.
        entries.push_back({.Time = day + n,
                           .Set = n == 7 ? set + 1 : set,
                           .Question = n,
                           .Right = n % 9 != 0,
                           .Flags = FirstInRun});
    }
    const QString journal = JournalFilePath(dir.path());
    WriteAll(journal, JournalBytes(entries));
    const int64_t examNoon = QDateTime(QDate(2026, 3, 4), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(run({QStringLiteral("--journal"), journal, QStringLiteral("--db"), db,
                   QStringLiteral("--at"), QStringLiteral("2026-03-04")},
                  &out),
              0)
        << out.toStdString();
    EXPECT_EQ(out.trimmed(), QByteArray::number(ChanceToPass(entries, set, examNoon), 'f', 9));
    const double unknown7 = ChanceToPass(entries, set, examNoon); // question 7 never answered
    entries[6].Set = set;
    WriteAll(journal, JournalBytes(entries));
    EXPECT_EQ(run({QStringLiteral("--journal"), journal, QStringLiteral("--db"), db,
                   QStringLiteral("--at"), QStringLiteral("2026-03-04")},
                  &out),
              0);
    EXPECT_EQ(out.trimmed(), QByteArray::number(ChanceToPass(entries, set, examNoon), 'f', 9));
    EXPECT_GT(ChanceToPass(entries, set, examNoon), unknown7);
}
#endif

} // namespace
} // namespace bil
