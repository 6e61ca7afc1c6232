// SPDX-License-Identifier: GPL-3.0-or-later
// The data set as it is published, from a folder, an archive or an address, into the two
// databases: picture paths as the release writes them, archive safety, downloads that fail.
#include "data/database.h"
#include "data/dataset_import.h"
#include "data/dataset_source.h"
#include "data/dbv_check.h"
#include "data/dbv_import.h"
#include "data/download_gate.h"
#include "loopback_http.h"
#include "step_clock.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace bil {
namespace {

using test::ArchiveFormat;
using test::DataSetFiles;
using test::DataSetShape;
using test::TempDir;

std::string S(const QString& s) {
    return s.toStdString();
}

using test::ReadAll;

// Every file below a folder, relative, sorted.
QStringList FilesUnder(const QString& folder) {
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << QDir(folder).relativeFilePath(it.next());
    out.sort();
    return out;
}

const DataSetFiles& Published() {
    static const DataSetFiles files = test::MakePublishedDataSet();
    return files;
}

// The reference: both databases built from the data set in a plain folder.
struct Reference {
    QByteArray AB, CD;
};
const Reference& Built() {
    static const Reference ref = [] {
        TempDir dir;
        test::WriteDataSetFolder(dir.path(), Published());
        Reference r;
        for (CategorySet set : {CategorySet::AB, CategorySet::CD}) {
            JsonImportOptions o;
            o.Root = dir.path();
            o.Set = set;
            const QString out = dir.file(QStringLiteral("out.dbv"));
            const Status built = BuildDatabaseFromJson(o, out);
            EXPECT_TRUE(built) << S(built.message());
            (set == CategorySet::AB ? r.AB : r.CD) = ReadAll(out);
        }
        return r;
    }();
    return ref;
}

TEST(PublishedDataSet, EveryQuirkImportsWithTextsAnswersAndPictures) {
    TempDir dir;
    ASSERT_TRUE(test::WriteDataSetFolder(dir.path(), Published()));
    const DataSetShape shape;
    for (CategorySet set : {CategorySet::AB, CategorySet::CD}) {
        SCOPED_TRACE(S(CategoryFolder(set)));
        const QString path =
            test::WriteBytes(dir.file(CategoryFolder(set) + QStringLiteral(".dbv")),
                             set == CategorySet::AB ? Built().AB : Built().CD);
        auto report = CheckDbvFile(path);
        ASSERT_TRUE(report) << S(report.error());
        EXPECT_TRUE(report->ok());
        EXPECT_EQ(report->Title, DefaultImportTitle(set));
        EXPECT_LE(report->LargestPicture, Database::MaxPictureBlob);

        Database db;
        ASSERT_TRUE(db.OpenDatabase(path));
        int pictures = 0;
        for (int n = 1; n <= QuestionCount; ++n) {
            auto q = db.LoadQuestion(n);
            ASSERT_TRUE(q) << n;
            const QuestionSource want = test::ExpectedQuestion(set, n);
            ASSERT_EQ(q->Text, want.Text) << n;
            ASSERT_EQ(q->AnswerCount, int(want.Answers.size())) << n;
            for (int a = 0; a < q->AnswerCount; ++a)
                ASSERT_EQ(q->Answers[std::size_t(a)], want.Answers[std::size_t(a)]) << n;
            ASSERT_EQ(q->Correct, want.Correct) << n;
            ASSERT_EQ(q->Comment, want.Comment) << n;
            ASSERT_EQ(q->HasPicture, test::HasPicture(shape, set, n)) << n;
            pictures += q->HasPicture ? 1 : 0;
        }
        EXPECT_EQ(pictures, report->WithPicture);
        EXPECT_GE(pictures, shape.PicturesPerSet);
    }
    // The big JPEG of A,B, 3333 pixels wide, came in under the picture limit.
    Database ab;
    ASSERT_TRUE(ab.OpenDatabase(dir.file(QStringLiteral("A_B.dbv"))));
    EXPECT_LE(ab.LoadQuestion(2)->Picture.size(), qsizetype(Database::MaxPictureBlob));
}

TEST(PublishedDataSet, PictureFoundNowhereNamesTicketAndQuestion) {
    DataSetFiles files = Published();
    // Question 41 of C,D (ticket 3, question 1) has a picture: take its file away.
    const QString missing = [&] {
        for (auto it = files.begin(); it != files.end(); ++it)
            if (it->first.startsWith(QStringLiteral("images/C_D/"))) {
                const QString name = it->first;
                files.erase(it);
                return name;
            }
        return QString();
    }();
    ASSERT_FALSE(missing.isEmpty());
    TempDir dir;
    ASSERT_TRUE(test::WriteDataSetFolder(dir.path(), files));
    JsonImportOptions o;
    o.Root = dir.path();
    o.Set = CategorySet::CD;
    auto imported = ImportJsonDataSet(o);
    ASSERT_FALSE(imported);
    EXPECT_TRUE(imported.error().startsWith(QStringLiteral("билет 1, вопрос 1: нет файла картинки "
                                                           "./tmp/images/C_D/")))
        << S(imported.error());
    EXPECT_EQ(imported.error().count(QLatin1Char('\n')), 0) << S(imported.error());
    // The A,B half is whole and still builds.
    o.Set = CategorySet::AB;
    EXPECT_TRUE(ImportJsonDataSet(o));
}

// A question or answer without text would be a blank line or button, even the right one; a
// file far bigger than any of the data set is not read at all. Each names where it is.
TEST(PublishedDataSet, BlankTextsAndOversizedFilesAreRefusedNamingThem) {
    DataSetFiles files = Published();
    for (auto& [rel, bytes] : files) {
        if (rel == QStringLiteral("questions/A_B/tickets/Билет 3.json")) {
            QJsonArray ticket = QJsonDocument::fromJson(bytes).array();
            auto edit = [&](int position, auto change) {
                QJsonObject q = ticket.at(position - 1).toObject();
                change(q);
                ticket.replace(position - 1, q);
            };
            auto answer = [](QJsonObject& q, auto change) {
                QJsonArray answers = q.value(QStringLiteral("answers")).toArray();
                QJsonObject first = answers.at(0).toObject();
                change(first);
                answers.replace(0, first);
                q.insert(QStringLiteral("answers"), answers);
            };
            edit(2, [&](QJsonObject& q) {
                answer(q, [](QJsonObject& a) {
                    a.insert(QStringLiteral("answer_text"), QJsonValue());
                });
            });
            edit(3, [&](QJsonObject& q) {
                answer(q, [](QJsonObject& a) { a.remove(QStringLiteral("answer_text")); });
            });
            edit(4, [&](QJsonObject& q) {
                answer(q, [](QJsonObject& a) {
                    a.insert(QStringLiteral("answer_text"), QStringLiteral(" \n"));
                });
            });
            edit(5, [](QJsonObject& q) { q.insert(QStringLiteral("question"), QString()); });
            edit(6, [](QJsonObject& q) { q.insert(QStringLiteral("answer_tip"), QJsonValue()); });
            bytes = QJsonDocument(ticket).toJson();
        }
        if (rel == QStringLiteral("questions/A_B/tickets/Билет 5.json"))
            bytes = "[" + QByteArray(17 * 1024 * 1024, ' ') + "]";
    }
    TempDir dir;
    ASSERT_TRUE(test::WriteDataSetFolder(dir.path(), files));
    JsonImportOptions o;
    o.Root = dir.path();
    auto imported = ImportJsonDataSet(o);
    ASSERT_FALSE(imported);
    const QStringList errors = imported.error().split(QLatin1Char('\n'));
    EXPECT_TRUE(errors.contains(QStringLiteral("билет 3, вопрос 2: у ответа 1 нет текста")))
        << S(imported.error());
    EXPECT_TRUE(errors.contains(QStringLiteral("билет 3, вопрос 3: у ответа 1 нет текста")));
    EXPECT_TRUE(errors.contains(QStringLiteral("билет 3, вопрос 4: у ответа 1 нет текста")));
    EXPECT_TRUE(errors.contains(QStringLiteral("билет 3, вопрос 5: нет текста вопроса")));
    EXPECT_FALSE(imported.error().contains(QStringLiteral("билет 3, вопрос 6")));
    EXPECT_TRUE(errors.contains(QStringLiteral("Билет 5.json: файл больше 16 МБ, в наборе таких не "
                                               "бывает; не прочитан")));
}

class Sources : public ::testing::Test {
protected:
    // The databases an opened source gives, through the same step the program runs.
    void expectSameDatabases(const QString& source, const QString& temp = QString()) {
        TempDir out;
        DataSetSourceOptions options;
        options.TempParent = temp;
        const Status done =
            RunDataSetImport(source, {DatabasesStep(out.path())}, ImportContext{}, options);
        ASSERT_TRUE(done) << S(done.message());
        EXPECT_EQ(ReadAll(out.file(DatabaseFileAB)), Built().AB);
        EXPECT_EQ(ReadAll(out.file(DatabaseFileCD)), Built().CD);
        EXPECT_EQ(FilesUnder(out.path()), (QStringList{DatabaseFileAB, DatabaseFileCD}));
    }
    QString writeArchive(const QString& name, const QByteArray& bytes) {
        return test::WriteBytes(m_dir.file(name), bytes);
    }
    TempDir m_dir;
};

TEST_F(Sources, FolderZipWithTopFolderAndTarGzWithoutGiveTheSameDatabases) {
    TempDir plain, nested;
    ASSERT_TRUE(test::WriteDataSetFolder(plain.path(), Published()));
    ASSERT_TRUE(
        test::WriteDataSetFolder(nested.path(), Published(), QStringLiteral("pdd_russia-master")));
    expectSameDatabases(plain.path());
    expectSameDatabases(nested.path()); // the folder of an unpacked download

    TempDir temp;
    const QString zip = writeArchive(
        QStringLiteral("master.zip"),
        test::MakeArchive(ArchiveFormat::Zip, Published(), QStringLiteral("pdd_russia-master/")));
    expectSameDatabases(zip, temp.path());
    const QString tar = writeArchive(QStringLiteral("data.tar.gz"),
                                     test::MakeArchive(ArchiveFormat::TarGz, Published()));
    expectSameDatabases(tar, temp.path());
    // Nothing of the unpacked copies stays behind.
    EXPECT_TRUE(FilesUnder(temp.path()).isEmpty()) << S(FilesUnder(temp.path()).join(' '));
    EXPECT_TRUE(QDir(temp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());

    // The root lives as long as its object.
    DataSetSourceOptions options;
    options.TempParent = temp.path();
    QString unpackedAt;
    {
        auto root = OpenDataSetSource(zip, options);
        ASSERT_TRUE(root) << S(root.error());
        EXPECT_TRUE(root->unpacked());
        unpackedAt = root->path();
        EXPECT_TRUE(unpackedAt.endsWith(QStringLiteral("/pdd_russia-master")));
        EXPECT_TRUE(QFileInfo(unpackedAt + QStringLiteral("/signs/signs.json")).isFile());
        EXPECT_TRUE(QFileInfo(unpackedAt + QStringLiteral("/questions/A_B/tickets/Билет 40.json"))
                        .isFile());
    }
    EXPECT_FALSE(QFileInfo::exists(unpackedAt));
    auto inPlace = OpenDataSetSource(plain.path(), options);
    ASSERT_TRUE(inPlace);
    EXPECT_FALSE(inPlace->unpacked());
}

// Entries that would land outside the folder refuse the whole archive before anything lands.
TEST_F(Sources, EntriesLeavingTheArchiveAreRefused) {
    const DataSetFiles few = {{QStringLiteral("questions/A_B/tickets/Билет 1.json"), "[]"}};
    for (ArchiveFormat format : {ArchiveFormat::Zip, ArchiveFormat::TarGz})
        for (const QString& evil : {QStringLiteral("../evil"), QStringLiteral("a/../../evil"),
                                    QStringLiteral("/tmp/evil-absolute")}) {
            SCOPED_TRACE(S(evil));
            TempDir outer;
            const QString inner = outer.file(QStringLiteral("temp"));
            ASSERT_TRUE(QDir().mkpath(inner));
            const QString archive =
                test::WriteBytes(outer.file(QStringLiteral("a.arc")),
                                 test::MakeArchive(format, few, QString(), {evil}));
            DataSetSourceOptions options;
            options.TempParent = inner;
            auto root = OpenDataSetSource(archive, options);
            ASSERT_FALSE(root);
            EXPECT_TRUE(root.error().contains(QStringLiteral("путём вне архива")))
                << S(root.error());
            EXPECT_TRUE(root.error().contains(evil)) << S(root.error());
            EXPECT_EQ(FilesUnder(outer.path()), QStringList{QStringLiteral("a.arc")});
            EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/tmp/evil-absolute")));
        }
}

// A plain tar's members in order: where each header starts and the name it gives.
std::vector<std::pair<qsizetype, QByteArray>> TarMembers(const QByteArray& tar) {
    std::vector<std::pair<qsizetype, QByteArray>> out;
    for (qsizetype at = 0; at + 512 <= tar.size() && tar.at(at) != 0;) {
        out.emplace_back(at, QByteArray(tar.constData() + at).left(100));
        const qsizetype size = tar.mid(at + 124, 12).trimmed().toLongLong(nullptr, 8);
        at += 512 + (size + 511) / 512 * 512;
    }
    return out;
}

// What unpacking allows: a size declared past the limit is refused before a byte is written,
// entries past the count too; two entries of one name and a tar cut after a file refuse the
// archive, naming what is wrong.
TEST_F(Sources, ArchivesPastTheLimitsDuplicatedOrCutShortAreRefused) {
    DataSetSourceOptions options;
    options.TempParent = m_dir.path();
    auto refusal = [&](const QString& name, const QByteArray& bytes) {
        auto root = OpenDataSetSource(writeArchive(name, bytes), options);
        EXPECT_FALSE(root);
        // Nothing of the refused archive stays.
        EXPECT_EQ(FilesUnder(m_dir.path()), QStringList{name});
        QFile::remove(m_dir.file(name));
        return root ? QString() : root.error();
    };
    // A member declaring 600 MB with a few bytes behind it.
    QByteArray huge = test::MakeArchive(ArchiveFormat::Tar,
                                        {{QStringLiteral("questions/A_B/tickets/big.json"), "[]"}});
    const QByteArray declared = QByteArray::number(600LL * 1024 * 1024, 8).rightJustified(11, '0');
    huge.replace(124, 11, declared);
    unsigned sum = 0;
    huge.replace(148, 8, "        ");
    for (int k = 0; k < 512; ++k)
        sum += quint8(huge.at(k));
    huge.replace(148, 7, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    EXPECT_TRUE(
        refusal(QStringLiteral("huge.tar"), huge).contains(QStringLiteral("больше чем в 512 МБ")));

    DataSetFiles many;
    for (int k = 0; k <= 20000; ++k)
        many.emplace_back(QStringLiteral("./"), QByteArray()); // counted, nothing written
    EXPECT_TRUE(refusal(QStringLiteral("many.zip"), test::MakeArchive(ArchiveFormat::Zip, many))
                    .contains(QStringLiteral("больше 20000 файлов")));

    const QString twice = QStringLiteral("pdd/questions/A_B/tickets/Билет 1.json");
    const QString duplicated =
        refusal(QStringLiteral("twice.zip"), test::MakeArchive(ArchiveFormat::Zip, Published(),
                                                               QStringLiteral("pdd/"), {twice}));
    EXPECT_TRUE(duplicated.contains(QStringLiteral("«%1» встречается дважды").arg(twice)))
        << S(duplicated);

    const QByteArray tar = test::MakeArchive(ArchiveFormat::Tar, Published());
    ASSERT_TRUE(OpenDataSetSource(writeArchive(QStringLiteral("whole.tar"), tar), options));
    QFile::remove(m_dir.file(QStringLiteral("whole.tar")));
    qsizetype cut = -1;
    for (const auto& [at, name] : TarMembers(tar))
        if (name.startsWith("signs/") && cut < 0)
            cut = at;
    ASSERT_GT(cut, 0);
    const QString cutShort = refusal(QStringLiteral("cut.tar"), tar.left(cut));
    EXPECT_TRUE(cutShort.contains(QStringLiteral("оборван"))) << S(cutShort);
    EXPECT_TRUE(cutShort.contains(QStringLiteral("нет signs/, markup/"))) << S(cutShort);
}

// Bytes that another compressor's program would unpack are no archive of ours: libarchive must
// not go looking for that program.
TEST_F(Sources, OtherCompressionsAreRefusedWithoutRunningAProgram) {
    TempDir bin;
    const QString marker = bin.file(QStringLiteral("ran"));
    for (const char* program : {"lrzip", "lzop", "grzip", "lz4", "lzip", "compress", "uudecode"}) {
        const QString path = bin.file(QLatin1String(program));
        test::WriteBytes(path, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\ncat >/dev/null\n");
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);
    const QByteArray padding(4096, 'x');
    for (const QByteArray& magic :
         {QByteArray("LRZI\x00\x06", 6), QByteArray("\x89LZO\x00\r\n\x1a\n", 9),
          QByteArray("GRZipII\x00\x02\x04:)", 12), QByteArray("\x04\x22\x4d\x18", 4),
          QByteArray("LZIP\x01", 5), QByteArray("\x1f\x9d\x90", 3), QByteArray("begin 644 x\n")}) {
        SCOPED_TRACE(magic.toHex().toStdString());
        auto root =
            OpenDataSetSource(writeArchive(QStringLiteral("other.tar"), magic + padding), {});
        ASSERT_FALSE(root);
        EXPECT_TRUE(root.error().contains(QStringLiteral("не архив zip или tar.gz")) ||
                    root.error().contains(QStringLiteral("повреждён")))
            << S(root.error());
    }
    qputenv("PATH", path);
    EXPECT_FALSE(QFileInfo::exists(marker));
}

TEST_F(Sources, WhatIsNoDataSetSaysSo) {
    struct Case {
        const char* Name;
        QString Source;
        QString Expected;
    };
    TempDir empty, twoFolders;
    QDir(twoFolders.path()).mkpath(QStringLiteral("a/questions"));
    QDir(twoFolders.path()).mkpath(QStringLiteral("b/questions"));
    const std::vector<Case> cases = {
        {"empty source", QStringLiteral("  "), QStringLiteral("Не указан источник")},
        {"missing archive", m_dir.file(QStringLiteral("none.zip")), QStringLiteral("Нет файла")},
        {"missing folder", m_dir.file(QStringLiteral("none")), QStringLiteral("Нет папки")},
        {"folder without questions", empty.path(), QStringLiteral("Нет папки questions")},
        {"two top folders", twoFolders.path(), QStringLiteral("Нет папки questions")},
        {"not an archive", writeArchive(QStringLiteral("page.zip"), "<html>не архив</html>"),
         QStringLiteral("не архив zip или tar.gz")},
        {"archive of something else",
         writeArchive(QStringLiteral("other.zip"),
                      test::MakeArchive(ArchiveFormat::Zip, {{QStringLiteral("x/y.txt"), "y"}})),
         QStringLiteral("В архиве нет набора билетов")},
        {"truncated archive",
         writeArchive(QStringLiteral("cut.tar.gz"),
                      test::MakeArchive(ArchiveFormat::TarGz, Published()).left(30000)),
         QStringLiteral("повреждён")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        auto root = OpenDataSetSource(c.Source, {});
        ASSERT_FALSE(root);
        EXPECT_TRUE(root.error().contains(c.Expected)) << S(root.error());
    }
    // An archive with questions but a broken question: the step names it, nothing is written.
    DataSetFiles broken = Published();
    for (auto& [rel, bytes] : broken)
        if (rel == QStringLiteral("questions/C_D/tickets/Билет 7.json"))
            bytes.replace("\"is_correct\": false", "\"is_correct\": true");
    TempDir out;
    const Status done = RunDataSetImport(
        writeArchive(QStringLiteral("broken.zip"), test::MakeArchive(ArchiveFormat::Zip, broken)),
        {DatabasesStep(out.path())}, ImportContext{});
    ASSERT_FALSE(done);
    EXPECT_TRUE(
        done.message().startsWith(QStringLiteral("Билеты C,D не собраны:\nбилет 7, вопрос")))
        << S(done.message());
    EXPECT_TRUE(FilesUnder(out.path()).isEmpty());
}

// Downloads run an event loop, which needs the application object.
void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "core_tests";
        static char* argv[] = {name, nullptr};
        static QCoreApplication* app = new QCoreApplication(argc, argv);
        (void)app;
    }
}

// Downloads against a server of the test's own on 127.0.0.1.
class Downloads : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApplication(); }
    void SetUp() override {
        m_zip = test::MakeArchive(ArchiveFormat::Zip, Published(),
                                  QStringLiteral("pdd_russia-master/"));
        m_options.TempParent = m_temp.path();
        m_options.WindowClock = &m_clock; // time passes only when a test moves it
    }
    Status import(const QString& path, const TempDir& out) {
        return RunDataSetImport(m_http.url(path), {DatabasesStep(out.path())}, m_context,
                                m_options);
    }
    void expectFailure(const QString& path, const QString& expected) {
        SCOPED_TRACE(S(path));
        TempDir out;
        const Status done = import(path, out);
        ASSERT_FALSE(done);
        EXPECT_TRUE(done.message().contains(expected)) << S(done.message());
        EXPECT_TRUE(FilesUnder(out.path()).isEmpty());
        EXPECT_TRUE(FilesUnder(m_temp.path()).isEmpty());
    }

    // Moves the download's clock on by a second every few milliseconds once `bytes` arrived.
    std::unique_ptr<QTimer> runClock(qint64 bytes) {
        m_context.Progress = [this, bytes](const ImportProgress& p) {
            if (p.Phase == ImportProgress::Stage::Download && p.Done >= bytes)
                m_clockRuns = true;
        };
        auto timer = std::make_unique<QTimer>();
        QObject::connect(timer.get(), &QTimer::timeout, [this] {
            if (m_clockRuns)
                m_clock.advanceMs(1000);
        });
        timer->start(5);
        return timer;
    }
    bool m_clockRuns = false;
    // A cancel a few seconds on, so that a download that would never end fails the test
    // instead of hanging it.
    std::unique_ptr<QTimer> guard(CancelFlag& cancel) {
        m_context.Cancel = &cancel;
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        QObject::connect(timer.get(), &QTimer::timeout, [&cancel] { cancel = true; });
        timer->start(8000);
        return timer;
    }

    test::LoopbackHttp m_http;
    test::StepClock m_clock;
    QByteArray m_zip;
    TempDir m_temp;
    DataSetSourceOptions m_options;
    ImportContext m_context;
};

TEST_F(Downloads, GoodArchiveWithOrWithoutLengthAndThroughARedirect) {
    m_http.route(QStringLiteral("/master.zip"), {200, m_zip});
    test::HttpReply noLength{200, m_zip};
    noLength.SendLength = false;
    noLength.ChunkBytes = 256 * 1024;
    noLength.ChunkIntervalMs = 1;
    m_http.route(QStringLiteral("/generated.zip"), noLength);
    test::HttpReply redirect{302, "moved"};
    redirect.Location = m_http.url(QStringLiteral("/master.zip")).toUtf8();
    m_http.route(QStringLiteral("/refs/heads/master.zip"), redirect);
    for (const QString& path : {QStringLiteral("/master.zip"), QStringLiteral("/generated.zip"),
                                QStringLiteral("/refs/heads/master.zip")}) {
        SCOPED_TRACE(S(path));
        std::vector<ImportProgress> seen;
        m_context.Progress = [&](const ImportProgress& p) { seen.push_back(p); };
        TempDir out;
        const Status done = import(path, out);
        ASSERT_TRUE(done) << S(done.message());
        EXPECT_EQ(ReadAll(out.file(DatabaseFileAB)), Built().AB);
        EXPECT_EQ(ReadAll(out.file(DatabaseFileCD)), Built().CD);
        EXPECT_TRUE(FilesUnder(m_temp.path()).isEmpty());

        // Download bytes grow to the whole archive; the length is known only when sent.
        qint64 lastBytes = 0;
        bool lengthKnown = false;
        for (const ImportProgress& p : seen)
            if (p.Phase == ImportProgress::Stage::Download) {
                EXPECT_GE(p.Done, lastBytes);
                lastBytes = p.Done;
                lengthKnown |= p.Total == m_zip.size();
            }
        EXPECT_EQ(lastBytes, m_zip.size());
        EXPECT_EQ(lengthKnown, path != QStringLiteral("/generated.zip"));
        ASSERT_FALSE(seen.empty());
        EXPECT_EQ(seen.back().Phase, ImportProgress::Stage::Install);
        EXPECT_EQ(seen.back().Done, seen.back().Total);
        EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const ImportProgress& p) {
            return p.Phase == ImportProgress::Stage::Build && p.Done == 2 * QuestionCount &&
                   p.Total == p.Done;
        }));
    }
    EXPECT_EQ(m_http.requestCount(QStringLiteral("/refs/heads/master.zip")), 1);
}

TEST_F(Downloads, FailuresAreNamedAndLeaveNothing) {
    m_http.route(QStringLiteral("/missing.zip"), {404, "Not Found"});
    m_http.route(QStringLiteral("/error.zip"), {500, "oops"});
    test::HttpReply truncated{200, m_zip};
    truncated.CutAfter = m_zip.size() / 2;
    m_http.route(QStringLiteral("/truncated.zip"), truncated);
    m_http.route(QStringLiteral("/page.zip"), {200, "<html><body>Страница</body></html>"});
    test::HttpReply stall{200, m_zip};
    stall.StallAfter = 1000;
    m_http.route(QStringLiteral("/stall.zip"), stall);
    test::HttpReply huge{200, "x"};
    huge.ClaimedLength = 400LL * 1024 * 1024;
    huge.StallAfter = 0;
    m_http.route(QStringLiteral("/huge.zip"), huge);
    test::HttpReply growing{200, m_zip};
    growing.SendLength = false;
    m_http.route(QStringLiteral("/growing.zip"), growing);
    test::HttpReply loop{302, "again"};
    loop.Location = "/loop.zip";
    m_http.route(QStringLiteral("/loop.zip"), loop);

    expectFailure(QStringLiteral("/missing.zip"), QStringLiteral("Сервер ответил ошибкой 404"));
    expectFailure(QStringLiteral("/error.zip"), QStringLiteral("ошибкой 500"));
    expectFailure(QStringLiteral("/truncated.zip"), QStringLiteral("оборвалась"));
    expectFailure(QStringLiteral("/page.zip"), QStringLiteral("не архив zip или tar.gz"));
    {
        const auto clock = runClock(1000); // from the last byte the server sends
        expectFailure(QStringLiteral("/stall.zip"),
                      QStringLiteral("Сервер не присылает данных 30 с"));
    }
    expectFailure(QStringLiteral("/huge.zip"), QStringLiteral("Архив больше 300 МБ"));
    expectFailure(QStringLiteral("/loop.zip"), QStringLiteral("перенаправлений"));
    m_options.MaxDownloadBytes = m_zip.size() / 3; // no length sent: counted as it arrives
    expectFailure(QStringLiteral("/growing.zip"), QStringLiteral("Архив больше"));

    // Nobody listening on the port.
    quint16 closedPort = 0;
    {
        test::LoopbackHttp gone;
        closedPort = quint16(QUrl(gone.url(QStringLiteral("/"))).port());
    }
    TempDir out;
    const Status refused =
        RunDataSetImport(QStringLiteral("http://127.0.0.1:%1/x.zip").arg(closedPort),
                         {DatabasesStep(out.path())}, m_context, m_options);
    ASSERT_FALSE(refused);
    EXPECT_TRUE(refused.message().startsWith(QStringLiteral("Нет связи с сервером")))
        << S(refused.message());
    EXPECT_FALSE(RunDataSetImport(QStringLiteral("https://"), {}, m_context, m_options));
}

TEST_F(Downloads, CancelMidwayStopsAtOnce) {
    test::HttpReply slow{200, m_zip};
    slow.ChunkBytes = 4096;
    slow.ChunkIntervalMs = 20; // minutes for the whole archive
    m_http.route(QStringLiteral("/slow.zip"), slow);
    CancelFlag cancel{false};
    m_context.Cancel = &cancel;
    int piecesAfterCancel = 0; // pieces written after the cancel
    m_context.Progress = [&](const ImportProgress& p) {
        if (p.Phase != ImportProgress::Stage::Download)
            return;
        piecesAfterCancel += cancel;
        if (p.Done >= 3 * 4096)
            cancel = true;
    };
    expectFailure(QStringLiteral("/slow.zip"), DataSetCancelledMessage);
    EXPECT_TRUE(cancel);
    EXPECT_EQ(piecesAfterCancel, 0);

    // A cancel while the questions are read stops the build the same way.
    CancelFlag later{false};
    m_context.Cancel = &later;
    m_context.Progress = [&](const ImportProgress& p) {
        if (p.Phase == ImportProgress::Stage::Build && p.Done >= 100)
            later = true;
    };
    m_http.route(QStringLiteral("/master.zip"), {200, m_zip});
    expectFailure(QStringLiteral("/master.zip"), DataSetCancelledMessage);
}

// A reply with an error status stops at once, however long or slow its body.
TEST_F(Downloads, ErrorStatusStopsAtOnceWhateverTheBody) {
    test::HttpReply fast{500, QByteArray(1024 * 1024, 'e')};
    fast.SendLength = false;
    fast.ChunkBytes = 1024 * 1024;
    fast.Endless = true;
    m_http.route(QStringLiteral("/fast.zip"), fast);
    test::HttpReply slow{404, "not found "};
    slow.ChunkBytes = 1;
    slow.ChunkIntervalMs = 20;
    slow.Endless = true;
    m_http.route(QStringLiteral("/slow.zip"), slow);
    CancelFlag cancel{false};
    const auto bound = guard(cancel);
    expectFailure(QStringLiteral("/fast.zip"), QStringLiteral("Сервер ответил ошибкой 500: ") +
                                                   m_http.url(QStringLiteral("/fast.zip")));
    expectFailure(QStringLiteral("/slow.zip"), QStringLiteral("Сервер ответил ошибкой 404: ") +
                                                   m_http.url(QStringLiteral("/slow.zip")));
}

// A server faster than the file is written waits in its socket: the download holds no more than
// its read buffer, whatever the body's size, and the size limit counts what arrives.
TEST_F(Downloads, FastBodyWaitsInTheServerNotInMemory) {
    constexpr qint64 Total = 160LL * 1024 * 1024;
    test::FloodHttp flood(Total);
    m_options.MaxDownloadBytes = 100LL * 1024 * 1024;
    qint64 heldMost = 0;
    bool paused = false;
    m_context.Progress = [&](const ImportProgress& p) {
        if (p.Phase != ImportProgress::Stage::Download || p.Done == 0)
            return;
        if (!paused) {
            // A file that takes a while: the server may run ahead as far as anyone lets it.
            paused = true;
            flood.waitAllSent(1500);
        }
        heldMost = std::max(heldMost, flood.sent() - p.Done);
    };
    TempDir out;
    const Status done =
        RunDataSetImport(flood.url(), {DatabasesStep(out.path())}, m_context, m_options);
    ASSERT_FALSE(done);
    EXPECT_TRUE(done.message().startsWith(QStringLiteral("Архив больше 100 МБ")))
        << S(done.message());
    // The kernel's socket buffers on both ends (about 5 MB here) come on top of ours.
    EXPECT_LT(heldMost, 16LL * 1024 * 1024);
    EXPECT_LT(flood.sent(), Total);
    EXPECT_TRUE(FilesUnder(m_temp.path()).isEmpty());
}

// A body that trickles fails once a whole window brought too little; a cancel still stops it.
TEST_F(Downloads, TrickleFailsOnceAWindowBringsTooLittle) {
    test::HttpReply trickle{200, "x"};
    trickle.SendLength = false;
    trickle.ChunkBytes = 1;
    trickle.ChunkIntervalMs = 5;
    trickle.Endless = true;
    m_http.route(QStringLiteral("/trickle.zip"), trickle);
    CancelFlag cancel{false};
    const auto bound = guard(cancel);
    m_context.Progress = [&](const ImportProgress& p) {
        if (p.Phase == ImportProgress::Stage::Download && p.Done > 0)
            m_clock.advanceMs(1000); // a byte a second
    };
    expectFailure(QStringLiteral("/trickle.zip"),
                  QStringLiteral("Сервер присылает данные слишком медленно"));
    EXPECT_FALSE(cancel.load());

    CancelFlag now{false};
    m_context.Cancel = &now;
    m_context.Progress = [&](const ImportProgress& p) {
        if (p.Phase == ImportProgress::Stage::Download && p.Done >= 3)
            now = true;
    };
    expectFailure(QStringLiteral("/trickle.zip"), DataSetCancelledMessage);
}

// Whatever goes wrong is said in Russian and names the address, never a temporary file.
TEST_F(Downloads, RedirectsElsewhereBombsAndPagesNameTheAddress) {
    for (const QByteArray& target :
         {QByteArray("file:///etc/passwd"), QByteArray("ftp://127.0.0.1/x.zip")}) {
        test::HttpReply away{302, "moved"};
        away.Location = target;
        m_http.route(QStringLiteral("/away.zip"), away);
        expectFailure(QStringLiteral("/away.zip"),
                      QStringLiteral("не по протоколу http или https"));
    }
    test::HttpReply bomb{200, test::GzipOfZeros(400LL * 1024 * 1024)};
    bomb.Encoding = "gzip";
    m_http.route(QStringLiteral("/bomb.zip"), bomb);
    // Compressed although a plain body was asked for: refused before a byte is written.
    expectFailure(QStringLiteral("/bomb.zip"),
                  QStringLiteral("Сервер прислал сжатые данные (gzip), хотя программа просила "
                                 "несжатые: ") +
                      m_http.url(QStringLiteral("/bomb.zip")));
    m_http.route(QStringLiteral("/page.zip"), {200, "<html><body>Страница</body></html>"});
    for (const QString& path :
         {QStringLiteral("/away.zip"), QStringLiteral("/bomb.zip"), QStringLiteral("/page.zip")}) {
        SCOPED_TRACE(S(path));
        TempDir out;
        const Status done = import(path, out);
        ASSERT_FALSE(done);
        EXPECT_TRUE(done.message().contains(m_http.url(path))) << S(done.message());
        EXPECT_FALSE(done.message().contains(m_temp.path())) << S(done.message());
        EXPECT_FALSE(
            done.message().contains(QRegularExpression(QStringLiteral("[A-Za-z]{4,} [a-z]{3,}"))))
            << S(done.message());
    }
}

// The window of speed, step by step on a clock of the test's own.
TEST(DownloadGate, SpeedIsJudgedOverTheLastWindowOnly) {
    test::StepClock clock;
    QBuffer sink;
    sink.open(QIODevice::WriteOnly);
    DownloadLimits limits;
    DownloadGate gate(QStringLiteral("http://x/a.zip"), sink, clock, limits);
    ASSERT_TRUE(gate.head(200, {{"Content-Length", "1000000"}}));
    EXPECT_EQ(gate.expected(), 1000000);
    clock.advanceMs(29999);
    EXPECT_TRUE(gate.tick()); // nothing yet, but the first window is not over
    // 64 KB in one burst keeps it alive for one window, not longer.
    ASSERT_TRUE(gate.body(QByteArray(64 * 1024, 'a')));
    clock.advanceMs(29000);
    EXPECT_TRUE(gate.tick());
    ASSERT_TRUE(gate.body(QByteArray(100, 'b')));
    clock.advanceMs(1500);
    EXPECT_FALSE(gate.tick()); // the burst has left the window; 100 bytes are too few
    EXPECT_EQ(gate.stopped(), DownloadGate::Stop::Slow);
    EXPECT_FALSE(gate.body("more"));
    EXPECT_EQ(gate.received(), 64 * 1024 + 100);
    EXPECT_EQ(sink.data().size(), gate.received());
    EXPECT_TRUE(gate.finish(QNetworkReply::OperationCanceledError, QString())
                    .message()
                    .startsWith(QStringLiteral("Сервер присылает данные слишком медленно (меньше "
                                               "64 КБ за 30 с)")));

    // Nothing at all for a window is a stall; a cancel is seen at the next tick.
    test::StepClock second;
    DownloadGate silent(QStringLiteral("http://x/a.zip"), sink, second, limits);
    ASSERT_TRUE(silent.head(200, {}));
    second.advanceMs(30000);
    EXPECT_FALSE(silent.tick());
    EXPECT_EQ(silent.stopped(), DownloadGate::Stop::Stalled);
    CancelFlag cancel{true};
    DownloadGate cancelled(QStringLiteral("http://x/a.zip"), sink, second, limits, &cancel);
    EXPECT_FALSE(cancelled.tick());
    EXPECT_EQ(cancelled.finish(QNetworkReply::OperationCanceledError, QString()).message(),
              DataSetCancelledMessage);
}

// Replacing the databases of the data folder: the old ones stay whole until the new ones are
// checked, and a failure leaves them as they were.
TEST_F(Sources, DatabasesReplaceOldOnesOnlyWhenBothAreGood) {
    TempDir data, set;
    ASSERT_TRUE(test::WriteDataSetFolder(set.path(), Published()));
    test::WriteBytes(data.file(DatabaseFileAB), "old AB");
    test::WriteBytes(data.file(DatabaseFileCD), "old CD");
    test::WriteBytes(data.file(QStringLiteral("stat.dat")), "stats");

    // C,D fails after A,B was prepared: neither file changes, no temporary file stays.
    DataSetFiles noCd = Published();
    std::erase_if(noCd, [](const auto& f) {
        return f.first.contains(QStringLiteral("C_D/tickets/Билет 40"));
    });
    TempDir partial;
    ASSERT_TRUE(test::WriteDataSetFolder(partial.path(), noCd));
    const Status failed = RunDataSetImport(partial.path(), {DatabasesStep(data.path())}, {});
    ASSERT_FALSE(failed);
    EXPECT_TRUE(failed.message().contains(QStringLiteral("билет 40, вопрос 1: вопроса нет")))
        << S(failed.message());
    EXPECT_EQ(ReadAll(data.file(DatabaseFileAB)), "old AB");
    EXPECT_EQ(ReadAll(data.file(DatabaseFileCD)), "old CD");
    EXPECT_EQ(FilesUnder(data.path()).size(), 3);

    // A later step that fails to prepare keeps the first step's files from landing.
    ImportStep refuses{[](const DataSetRoot&, const ImportContext&) {
                           return Status::Error(QStringLiteral("нет"));
                       },
                       {}};
    EXPECT_FALSE(RunDataSetImport(set.path(), {DatabasesStep(data.path()), refuses}, {}));
    EXPECT_EQ(ReadAll(data.file(DatabaseFileAB)), "old AB");
    EXPECT_EQ(FilesUnder(data.path()).size(), 3);

    const Status done = RunDataSetImport(set.path(), {DatabasesStep(data.path())}, {});
    ASSERT_TRUE(done) << S(done.message());
    EXPECT_EQ(ReadAll(data.file(DatabaseFileAB)), Built().AB);
    EXPECT_EQ(ReadAll(data.file(DatabaseFileCD)), Built().CD);
    EXPECT_EQ(ReadAll(data.file(QStringLiteral("stat.dat"))), "stats");
    EXPECT_EQ(FilesUnder(data.path()).size(), 3);
}

#ifdef BILETORIA_DBV_TOOL
// The tool's forms with a source: both databases from one archive, one from an address.
TEST_F(Downloads, ToolBuildsFromArchiveAndAddress) {
    m_http.route(QStringLiteral("/master.zip"), {200, m_zip});
    // The tool runs while this thread serves its download.
    auto run = [&](const QStringList& args, QByteArray* err = nullptr) {
        QProcess p;
        QEventLoop loop;
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(120000, &loop, &QEventLoop::quit);
        p.start(QStringLiteral(BILETORIA_DBV_TOOL), args);
        loop.exec();
        EXPECT_EQ(p.state(), QProcess::NotRunning);
        if (err)
            *err = p.readAllStandardError();
        return p.exitCode();
    };
    TempDir out;
    const QString zip = test::WriteBytes(out.file(QStringLiteral("master.zip")), m_zip);
    const QString dir = out.file(QStringLiteral("both"));
    QByteArray err;
    ASSERT_EQ(run({QStringLiteral("build"), QStringLiteral("--json"), zip,
                   QStringLiteral("--out-dir"), dir},
                  &err),
              0)
        << err.toStdString();
    EXPECT_EQ(ReadAll(dir + QLatin1Char('/') + DatabaseFileAB), Built().AB);
    EXPECT_EQ(ReadAll(dir + QLatin1Char('/') + DatabaseFileCD), Built().CD);
    // Not a terminal: no progress lines, only the outcome.
    EXPECT_EQ(QString::fromUtf8(err).count(QLatin1Char('\n')), 1) << err.toStdString();

    const QString cd = out.file(QStringLiteral("cd.dbv"));
    ASSERT_EQ(run({QStringLiteral("build"), QStringLiteral("--json"),
                   m_http.url(QStringLiteral("/master.zip")), QStringLiteral("--set"),
                   QStringLiteral("CD"), QStringLiteral("-o"), cd},
                  &err),
              0)
        << err.toStdString();
    EXPECT_EQ(ReadAll(cd), Built().CD);

    const QString none = out.file(QStringLiteral("none.dbv"));
    EXPECT_EQ(run({QStringLiteral("build"), QStringLiteral("--json"),
                   m_http.url(QStringLiteral("/gone.zip")), QStringLiteral("--set"),
                   QStringLiteral("AB"), QStringLiteral("-o"), none},
                  &err),
              1);
    EXPECT_TRUE(QString::fromUtf8(err).contains(QStringLiteral("ошибкой 404")))
        << err.toStdString();
    EXPECT_FALSE(QFile::exists(none));
    // One form or the other, not a mix.
    EXPECT_EQ(run({QStringLiteral("build"), QStringLiteral("--json"), zip,
                   QStringLiteral("--out-dir"), dir, QStringLiteral("--set"), QStringLiteral("AB")},
                  &err),
              1);
    EXPECT_TRUE(err.startsWith("Использование")) << err.toStdString();
}
#endif

} // namespace
} // namespace bil
