// SPDX-License-Identifier: GPL-3.0-or-later
// Writes the seed inputs of every fuzz target into <out>/<target>/: valid files built the way
// the tests build them, and the near misses the readers must refuse.

#include "app/settings_store.h"
#include "data/cp1251.h"
#include "data/database.h"
#include "data/demo_database.h"
#include "data/prints_file.h"
#include "data/themes.h"
#include "help_dataset.h"
#include "stats/answer_journal.h"
#include "stats/progress_file.h"
#include "stats/release_history.h"
#include "stats/stat_file.h"
#include "test_dataset.h"
#include "test_db.h"
#include "test_jpeg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtEndian>

#include <cstdio>
#include <vector>

#include <webp/encode.h>

using namespace bil;

namespace {

QString g_out;

void put(const char* target, const QString& name, const QByteArray& bytes) {
    const QString dir = g_out + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
}

QByteArray cp1251(const QString& text) {
    return EncodeCp1251(text, true).value();
}

// A small database: every index entry points into a handful of shared blobs, so the fuzzer
// mutates a 14 KB file instead of a megabyte one and still reaches all 800 questions.
QByteArray compactDatabase(const QByteArray& jpeg) {
    QByteArray bytes(Database::BlobAreaOffset, '\0');
    const QByteArray title = cp1251(test::TestTitle);
    bytes[0] = char(title.size());
    bytes.replace(1, title.size(), title);
    static const char nulInText[] = "1\nq\na\nb\n*\nKom\0tail"; // a NUL ends the text
    const QByteArray blobs[] = {
        cp1251(
            QStringLiteral("2\r\nВопрос?\r\nДа\r\nНет\r\n*\r\nКом п. 8.1, 8.2 и знак 2.4 ПДД\r\n")),
        cp1251(QStringLiteral("1\nТекст\nА\nБ\nВ\nГ\nД\n*\nКом  разметка 1.1\n")),
        cp1251(QStringLiteral("3 лишнее\rТекст\r**\r*а\rв\r*\rКом\r")),
        cp1251(QStringLiteral("2\nБез комментария\nА\nБ\n*\n")),
        QByteArray(nulInText, sizeof nulInText - 1),
    };
    std::vector<std::pair<uint32_t, uint32_t>> at;
    for (const QByteArray& blob : blobs) {
        at.emplace_back(uint32_t(bytes.size()), uint32_t(blob.size()));
        bytes.append(blob);
    }
    const uint32_t jpegAt = uint32_t(bytes.size());
    bytes.append(jpeg);
    for (int k = 0; k < QuestionCount; ++k) {
        const auto [offset, size] = at[size_t(k) % at.size()];
        const bool picture = k % 7 == 0;
        const uint32_t entry[4] = {offset, size, picture ? jpegAt : 0u,
                                   picture ? uint32_t(jpeg.size()) : 0u};
        for (int f = 0; f < 4; ++f)
            qToLittleEndian(entry[f], bytes.data() + Database::IndexOffset + 16 * k + 4 * f);
    }
    return bytes;
}

void databases() {
    const QByteArray jpeg = test::MakeTestJpeg(16, 12, 1);
    put("database", QStringLiteral("compact.dbv"), compactDatabase(jpeg));
    put("database", QStringLiteral("header_only.dbv"), compactDatabase(jpeg).first(200));
    // The demo database's texts; a few of its pictures go to the picture seeds, the rest
    // would only slow every run down.
    std::vector<QuestionSource> demo = DemoQuestions();
    int kept = 0;
    for (QuestionSource& q : demo) {
        if (!q.Jpeg.isEmpty() && kept < 4 && q.Jpeg.size() < 60000)
            put("jpeg", QStringLiteral("demo_%1.jpg").arg(kept++), q.Jpeg);
        q.Jpeg.clear();
    }
    put("database", QStringLiteral("demo_texts.dbv"), BuildDatabase(DemoTitle, demo).value());
    put("database", QStringLiteral("test_builder.dbv"),
        test::BuildTestDatabase(test::MakeQuestions(jpeg, 40)));
}

void comments() {
    for (int n = 0; n < 6; ++n)
        put("help_links", QStringLiteral("test_%1.txt").arg(n), cp1251(test::TestComment(n)));
    const QString edge[] = {
        QStringLiteral("п. 8.1, 8.2 и знак 2.4 ПДД"),
        QStringLiteral("п.п. 1.2 и 1.3 ПДД"),
        QStringLiteral("пп. 10.1-10.3, Знаки 3.20, 3.22 и Табличка 8.2.1"),
        QStringLiteral("скорость 60 км/ч, 1.2 ПДД"),
        QStringLiteral("Линия разметки 1.1 и линии 1.11, размет 1.2.1; знаков 5.19.1"),
        QStringLiteral("п. 1.1 п. 2.2 п. 3.3 п. 4.4 п. 5.5 п. 6.6 п. 7.7 п. 8.8 п. 9.9 п. 10.10 "
                       "п. 11.11"),
        QStringLiteral("п. 12345678901234567890.1"),
        QStringLiteral("п.1.2"),
    };
    int k = 0;
    for (const QString& text : edge)
        put("help_links", QStringLiteral("edge_%1.txt").arg(k++), cp1251(text));
}

void statFiles() {
    TStatRecord record{};
    put("stat_file", QStringLiteral("zero.dat"), SerializeStats(record));
    for (int n = 1; n <= QuestionCount; n += 7) {
        for (int c = 0; c < ChannelCount; ++c) {
            record.question(n).Right[c] = uint8_t(n + c);
            record.question(n).Wrong[c] = uint8_t(255 - c);
            record.question(n).Seconds[c] = n * 1000 + c;
        }
    }
    record.TicketStatus = {4, 1, 2, 0, 4};
    record.PrepPositions = 5;
    record.Reserved168 = -1;
    const QByteArray used = SerializeStats(record);
    put("stat_file", QStringLiteral("used.dat"), used);
    put("stat_file", QStringLiteral("with_tail.dat"), used + QByteArray("tail bytes"));
    put("stat_file", QStringLiteral("short.dat"), used.first(StatRecordSize - 1));
}

void themeFiles() {
    QByteArray bytes(2 * QuestionCount, '\0');
    for (int n = 1; n <= QuestionCount; ++n) {
        bytes[n - 1] = char(DefaultThemeOf(n));
        bytes[QuestionCount + n - 1] = char(n % 3);
    }
    put("theme_file", QStringLiteral("marks.dat"), bytes);
    put("theme_file", QStringLiteral("short.dat"), bytes.first(1000));
    bytes[5] = char(200);
    bytes[QuestionCount + 5] = char(7);
    put("theme_file", QStringLiteral("bad_values.dat"), bytes + QByteArray("extra"));
}

void pictures() {
    put("jpeg", QStringLiteral("baseline.jpg"), test::MakeTestJpeg(16, 12, 1));
    put("jpeg", QStringLiteral("progressive.jpg"), test::MakeTestJpeg(33, 17, 2, true));
    put("jpeg", QStringLiteral("odd.jpg"), test::MakeTestJpeg(7, 5, 3, false, 40));
    put("jpeg", QStringLiteral("wide.jpg"), test::MakeTestJpeg(300, 20, 4, false, 75));
    put("jpeg", QStringLiteral("truncated.jpg"), test::MakeTestJpeg(64, 48, 5).first(300));
}

// One ticket file holding all 800 questions, in the layout of the public data sets.
QByteArray jsonDataSet(const QString& image, int questions = QuestionCount) {
    QJsonArray items;
    for (int n = 1; n <= questions; ++n) {
        const int count = 2 + n % 4, right = n % count;
        QJsonArray answers;
        for (int a = 0; a < count; ++a)
            answers.append(
                QJsonObject{{QStringLiteral("answer_text"), QStringLiteral("О%1").arg(a)},
                            {QStringLiteral("is_correct"), a == right}});
        items.append(QJsonObject{
            {QStringLiteral("ticket_number"), QStringLiteral("Билет %1").arg(TicketOf(n))},
            {QStringLiteral("title"), QStringLiteral("Вопрос %1").arg(PositionOf(n))},
            {QStringLiteral("question"), QStringLiteral("В%1").arg(n)},
            {QStringLiteral("answers"), answers},
            {QStringLiteral("answer_tip"), QStringLiteral("п. 8.1")},
            {QStringLiteral("image"),
             n % 50 == 1 ? image : QStringLiteral("./images/no_image.jpg")},
        });
    }
    return QJsonDocument(items).toJson(QJsonDocument::Compact);
}

void jsonTickets() {
    put("dbv_json", QStringLiteral("complete.json"), jsonDataSet(QStringLiteral("images/a.jpg")));
    put("dbv_json", QStringLiteral("outside.json"), jsonDataSet(QStringLiteral("../../a.jpg")));
    put("dbv_json", QStringLiteral("missing.json"), jsonDataSet(QStringLiteral("images/b.jpg")));
    put("dbv_json", QStringLiteral("one_ticket.json"), jsonDataSet(QString(), 20));
}

// Archives of a small data set: zip with a top folder, tar.gz without, one with "../evil".
void archives() {
    using test::ArchiveFormat;
    test::DataSetFiles files = {
        {QStringLiteral("questions/A_B/tickets/Билет 1.json"), jsonDataSet(QString(), 20)},
        {QStringLiteral("images/A_B/a.jpg"), test::MakeTestJpeg()},
        {QStringLiteral("signs/signs.json"), "[]"},
    };
    put("archive", QStringLiteral("top.zip"),
        test::MakeArchive(ArchiveFormat::Zip, files, QStringLiteral("pdd_russia-master/")));
    put("archive", QStringLiteral("plain.tar.gz"), test::MakeArchive(ArchiveFormat::TarGz, files));
    put("archive", QStringLiteral("evil.zip"),
        test::MakeArchive(ArchiveFormat::Zip, files, QString(), {QStringLiteral("../evil")}));
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The help material of the test data set; the first byte picks the reader (fuzz_help_pack).
void helpMaterial() {
    QTemporaryDir dir;
    test::WriteHelpDataSet(dir.path());
    const std::pair<char, QString> files[] = {
        {0, QStringLiteral("signs/signs.json")},
        {0, QStringLiteral("markup/markup.json")},
        {1, QStringLiteral("penalties/penalties.json")},
        {2, QStringLiteral("questions/A_B/tickets/Билет 1.json")},
    };
    int k = 0;
    for (const auto& [reader, name] : files)
        put("help_pack", QStringLiteral("file_%1").arg(k++),
            QByteArray(1, reader) + fileBytes(dir.filePath(name)));
    put("help_pack", QStringLiteral("contents"),
        QByteArray(1, 3) +
            R"({"format": 1, "contents": [{"title": "Знаки", "topic": "zn3.html#z3.20",)"
            R"( "picture": "images/signs/a.svg", "children": [{"title": "x"}]}]})");
    put("help_pack", QStringLiteral("entry"),
        QByteArray(1, 3) + "<p>x</p><!--entry z3.20--><h3>3.20</h3><!--/entry-->");
    put("help_pack", QStringLiteral("rules"), QByteArray(1, 4) + test::RulesFixture());
    put("help_pack", QStringLiteral("rules_html"),
        QByteArray(1, 4) + "<html><body><h2>9. Раздел</h2><p>9.10.&nbsp;Текст &amp; ещё</p>"
                           "<script>1</script></body></html>");
    put("help_pack", QStringLiteral("description"),
        QByteArray(1, 5) +
            QStringLiteral("Запрещается:а) <b>это</b>;б) то.Наказание:КоАП РФ 12.16 ч. 1 - штраф.")
                .toUtf8());
}

// Progress files: a fresh one, one with a stat.dat tail, one naming its set with a journal, and
// one whose entry leaves the archive.
void progressFiles() {
    ProgressFile p;
    p.StatBytes = QByteArray(StatRecordSize, '\0');
    p.ThemeBytes = QByteArray(2 * QuestionCount, '\1');
    for (const QString& name : ProgressSettingNames())
        p.Settings.emplace_back(name, name == QStringLiteral("Tim") ? 4 : 1);
    p.ProgramVersion = QStringLiteral("1.0.0");
    p.DatabaseTitle = test::TestTitle;
    p.Saved = QDateTime::currentDateTimeUtc();
    put("progress_file", QStringLiteral("fresh.biletoria"), WriteProgressArchive(p).value());
    p.StatBytes += QByteArray("tail");
    put("progress_file", QStringLiteral("tail.biletoria"), WriteProgressArchive(p).value());
    QuestionPrints prints{};
    for (int i = 0; i < QuestionCount; ++i)
        prints[i] = Fingerprint(i) * 0x9E3779B97F4A7C15ull;
    p.Prints = prints;
    JournalEntry answer;
    answer.Question = 5;
    answer.Set = SetFingerprint(prints);
    p.Journal = JournalBytes({answer, answer});
    put("progress_file", QStringLiteral("set.biletoria"), WriteProgressArchive(p).value());
    put("progress_file", QStringLiteral("evil.zip"),
        test::MakeArchive(test::ArchiveFormat::Zip, {{QStringLiteral("manifest.txt"), "x"}},
                          QString(), {QStringLiteral("../stat.dat")}));

    PrintsKey key;
    key.FileSize = 123456;
    key.ModifiedMs = 1700000000000;
    key.Shape.fill(7);
    put("prints_file", QStringLiteral("whole.prints"), SerializePrints(key, prints));
}

// Replies of a server, led by the piece size and the seconds between pieces.
void httpReplies() {
    const auto reply = [](char step, char seconds, const QByteArray& bytes) {
        return QByteArray(1, step) + QByteArray(1, seconds) + bytes;
    };
    const QByteArray body(976, 'a');
    put("http_reply", QStringLiteral("ok"),
        reply(100, 1,
              "HTTP/1.1 200 OK\r\nContent-Length: 976\r\nContent-Type: application/zip\r\n\r\n" +
                  body));
    put("http_reply", QStringLiteral("no_length"), reply(7, 10, "HTTP/1.0 200 OK\r\n\r\n" + body));
    put("http_reply", QStringLiteral("chunked"),
        reply(3, 0,
              "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
              "10;x=y\r\n0123456789abcdef\r\n3\r\nxyz\r\n0\r\nT: 1\r\n\r\n"));
    put("http_reply", QStringLiteral("gzip"),
        reply(50, 0,
              "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 5\r\n\r\nabcde"));
    put("http_reply", QStringLiteral("error"),
        reply(9, 0, "HTTP/1.1 404 Not Found\r\n\r\n" + body));
    put("http_reply", QStringLiteral("redirect"),
        reply(120, 0, "HTTP/1.1 302 Found\r\nLocation: ftp://127.0.0.1/x.zip\r\n\r\n"));
    put("http_reply", QStringLiteral("slow"), reply(1, 31, "HTTP/1.1 200 OK\r\n\r\n" + body));
}

QByteArray webp(int w, int h, bool lossless) {
    std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = uint8_t(i * 7 % 251);
    uint8_t* out = nullptr;
    const std::size_t size = lossless ? WebPEncodeLosslessRGB(rgb.data(), w, h, w * 3, &out)
                                      : WebPEncodeRGB(rgb.data(), w, h, w * 3, 75, &out);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    WebPFree(out);
    return bytes;
}

void webpPictures() {
    put("webp", QStringLiteral("lossy.webp"), webp(16, 12, false));
    put("webp", QStringLiteral("lossless.webp"), webp(9, 7, true));
    put("webp", QStringLiteral("cut.webp"), webp(40, 30, false).first(60));
    const QByteArray jpeg = test::MakeTestJpeg(16, 12, 1);
    put("picture_path", QStringLiteral("tmp_path"), "./tmp/images/A_B/pic.jpg\n" + jpeg);
    put("picture_path", QStringLiteral("written"), "images/A_B/pic.jpg\n" + webp(8, 8, false));
    put("picture_path", QStringLiteral("other_set"), "./tmp/images/C_D/pic.webp\n" + jpeg);
    put("picture_path", QStringLiteral("outside"), "../outside.jpg\n<svg/>");
    put("picture_path", QStringLiteral("no_image"), "./images/no_image.jpg\nGIF89a");
}

void svgPictures() {
    put("svg_size", QStringLiteral("sign.svg"), test::SignSvg(QStringLiteral("#ff0000")));
    put("svg_size", QStringLiteral("sizes.svg"),
        "<?xml version=\"1.0\"?><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"300px\" "
        "height=\"100\"><rect width=\"1\" height=\"1\"/></svg>");
    put("svg_size", QStringLiteral("viewbox.svg"), "<svg viewBox=\"0, 0, 1e3 250.5\"></svg>");
    put("svg_size", QStringLiteral("html.svg"), "<html><body>нет</body></html>");
}

// Small data sets in plain tar archives: every question of both sets, a picture in each.
void dataSetArchives() {
    using test::ArchiveFormat;
    const QByteArray jpeg = test::MakeTestJpeg(16, 12, 1);
    const test::DataSetFiles files = {
        {QStringLiteral("questions/A_B/tickets/all.json"),
         jsonDataSet(QStringLiteral("./tmp/images/A_B/a.jpg"))},
        {QStringLiteral("questions/C_D/tickets/all.json"),
         jsonDataSet(QStringLiteral("./images/C_D/b.jpg"))},
        {QStringLiteral("images/A_B/a.jpg"), jpeg},
        {QStringLiteral("images/C_D/b.jpg"), webp(20, 10, false)},
    };
    put("dataset_import", QStringLiteral("whole.tar"),
        test::MakeArchive(ArchiveFormat::Tar, files));
    put("dataset_import", QStringLiteral("top.tar"),
        test::MakeArchive(ArchiveFormat::Tar, files, QStringLiteral("pdd_russia-master/")));
}

void settingsFiles() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VRK.ini"));
    {
        QSettingsStore store(path);
        (void)store.createKey();
        for (const char* name : {"Rnd", "Sta", "Err", "Kom", "Tre", "Otv", "Pov", "Mas"})
            (void)store.writeInt(QLatin1String(name), 1);
        (void)store.writeInt(QStringLiteral("Tim"), 3);
        (void)store.writeString(QStringLiteral("Bas"), QStringLiteral("/нет/dataAB.dbv"));
    }
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    const QByteArray whole = file.readAll();
    put("settings", QStringLiteral("whole.ini"), whole);
    put("settings", QStringLiteral("half.ini"), whole.left(whole.size() / 2));
    put("settings", QStringLiteral("odd.ini"), "[Software]\nVRK\\Tim=99\nVRK\\Rnd=abc\n");
}

// Answer journals: empty, a few records of every kind, and one with a torn tail.
void answerJournals() {
    std::vector<JournalEntry> entries;
    for (int i = 0; i < 6; ++i) {
        JournalEntry e;
        e.Kind = JournalKind(1 + i % 3);
        e.Time = 1760000000 + i;
        e.Set = 0x1234;
        e.Question = 1 + i * 100;
        e.Right = i % 2 == 0;
        e.Flags = FirstInRun;
        entries.push_back(e);
    }
    put("answer_journal", QStringLiteral("empty.log"), JournalBytes({}));
    const QByteArray some = JournalBytes(entries);
    put("answer_journal", QStringLiteral("some.log"), some);
    put("answer_journal", QStringLiteral("torn.log"), some.chopped(5));
}

// Release histories: none, two carry-overs (a question moved, one changed), one back to the
// first release, and the last one cut short.
void releaseHistories() {
    ReleaseStep first;
    first.Old = 0x1111;
    first.New = 0x2222;
    for (int n = 1; n <= QuestionCount; ++n)
        first.KeptFrom[size_t(n - 1)] = uint16_t(n == 20 ? 10 : n == 10 || n == 30 ? 0 : n);
    ReleaseStep back = first;
    std::swap(back.Old, back.New);
    back.KeptFrom[29] = 30;
    put("release_history", QStringLiteral("empty.dat"), ReleaseHistoryBytes({}));
    put("release_history", QStringLiteral("two.dat"), ReleaseHistoryBytes({first, back}));
    const QByteArray three = ReleaseHistoryBytes({first, back, first});
    put("release_history", QStringLiteral("three.dat"), three);
    put("release_history", QStringLiteral("cut.dat"), three.chopped(100));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    g_out = QString::fromLocal8Bit(argv[1]);
    databases();
    comments();
    statFiles();
    themeFiles();
    pictures();
    jsonTickets();
    archives();
    helpMaterial();
    progressFiles();
    httpReplies();
    webpPictures();
    svgPictures();
    dataSetArchives();
    settingsFiles();
    answerJournals();
    releaseHistories();
    return 0;
}
