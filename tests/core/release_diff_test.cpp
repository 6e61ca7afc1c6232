// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dataset_import.h"
#include "data/prints_file.h"
#include "data/release_diff.h"

#include "test_dataset.h"
#include "test_db.h"
#include "test_jpeg.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

using namespace bil;
using namespace bil::test;

namespace {

QuestionPrints Distinct(Fingerprint base) {
    QuestionPrints prints{};
    for (int i = 0; i < QuestionCount; ++i)
        prints[i] = base + Fingerprint(i);
    return prints;
}

// Imports the files' two databases into folder through the program's import.
void ImportInto(const QString& folder, const DataSetFiles& files) {
    TempDir source;
    ASSERT_TRUE(WriteDataSetFolder(source.path(), files));
    const Status done = RunDataSetImport(source.path(), {DatabasesStep(folder)}, ImportContext{});
    ASSERT_TRUE(done.ok()) << done.message().toStdString();
}

} // namespace

TEST(PrintsFile, TakenOnlyForTheVeryFileItWasMadeForAndWhole) {
    TempDir dir;
    const QString path = WriteTestDatabase(dir.path(), MakeQuestions(MakeTestJpeg(16, 16)));
    Database db;
    ASSERT_TRUE(db.OpenDatabase(path).ok());
    const QuestionPrints computed = ComputeQuestionPrints(db).value();
    ASSERT_TRUE(PrintCache().prints(db).ok());
    ASSERT_EQ(ReadPrintsFile(db).value(), computed);

    // A file that claims other prints for this key is believed: that is what saves the time.
    const QuestionPrints planted = Distinct(77);
    ASSERT_TRUE(WritePrintsFile(db, planted).ok());
    EXPECT_EQ(PrintCache().prints(db).value(), planted);

    // Damaged, or made for another file: computed again (and the file written anew).
    QByteArray bytes = ReadAll(PrintsFilePath(path));
    bytes[100] = char(bytes[100] ^ 1);
    WriteBytes(PrintsFilePath(path), bytes);
    EXPECT_EQ(PrintCache().prints(db).value(), computed);
    ASSERT_TRUE(WritePrintsFile(db, planted).ok());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.setFileTime(file.fileTime(QFileDevice::FileModificationTime).addSecs(-5),
                     QFileDevice::FileModificationTime);
    file.close();
    EXPECT_EQ(PrintCache().prints(db).value(), computed);
    EXPECT_EQ(ReadPrintsFile(db).value(), computed);
    WriteBytes(PrintsFilePath(path), bytes.left(PrintsFileSize - 1));
    EXPECT_FALSE(ReadPrintsFile(db).ok());
}

TEST(ReleaseDiff, PairsBySameNumberThenByPrintElsewhere) {
    const QuestionPrints before = Distinct(1000);
    QuestionPrints after = before;
    std::swap(after[9], after[10]); // 10 and 11 swap places: both moved
    after[99] = 5;                  // same number, another print, the old one nowhere: changed
    after[199] = before[299];       // 300 -> 200; the old 200 is gone, the new 300 is new
    after[299] = 6;
    after[399] = before[400]; // a copy of 401, which stays: 400 changed, not moved
    const ReleaseDiff diff = PairReleases(before, after);
    const QStringList expected = {
        QStringLiteral("moved 11 -> 10"),
        QStringLiteral("moved 10 -> 11"),
        QStringLiteral("changed 100: "),
        QStringLiteral("moved 300 -> 200"),
        QStringLiteral("gone 200"),
        QStringLiteral("new 300"),
        QStringLiteral("changed 400: "),
        QStringLiteral("unchanged 794, moved 3, changed 2, new 1, gone 1")};
    EXPECT_EQ(diff.lines(), expected);
    EXPECT_EQ(diff.KeptFrom[9], 11);
    EXPECT_EQ(diff.KeptFrom[199], 300);
    EXPECT_EQ(diff.KeptFrom[0], 1);
    EXPECT_EQ(diff.freshNumbers(), (std::vector<int>{100, 300, 400}));
}

TEST(ReleaseDiff, EveryKindOfChangeBetweenTwoImportedReleases) {
    DataSetShape shape;
    shape.BigJpeg = false;
    TempDir first, second;
    ImportInto(first.path(), MakePublishedDataSet(shape));
    ImportInto(second.path(), MakeNextRelease(shape));
    const QString oldPath = QDir(first.path()).filePath(DatabaseFileAB);
    const QString newPath = QDir(second.path()).filePath(DatabaseFileAB);
    Database oldDb, newDb;
    ASSERT_TRUE(oldDb.OpenDatabase(oldPath).ok());
    ASSERT_TRUE(newDb.OpenDatabase(newPath).ok());
    PrintCache oldCache, newCache;
    auto diff =
        DiffReleases(oldDb, oldCache.prints(oldDb).value(), newDb, newCache.prints(newDb).value());
    ASSERT_TRUE(diff.ok()) << diff.error().toStdString();
    EXPECT_EQ(diff->lines(), NextReleaseDiffLines());

#ifdef BILETORIA_DBV_TOOL
    QProcess tool;
    tool.start(QStringLiteral(BILETORIA_DBV_TOOL), {QStringLiteral("diff"), oldPath, newPath});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput())
                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts),
              NextReleaseDiffLines());
    tool.start(QStringLiteral(BILETORIA_DBV_TOOL),
               {QStringLiteral("diff"), oldPath, first.file(QStringLiteral("none.dbv"))});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 1);
#endif
}
