// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/cp1251.h"
#include "help/help_request.h"
#include "test_db.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace bil {
namespace {

void Touch(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
}

TEST(HelpRequest, ParsesFilePageAnchorAndWindow) {
    HelpRequest r;
    ASSERT_TRUE(ParseHelpRequest("biltor.chm::/pdd5.html#p5.1>popup", r));
    EXPECT_EQ(r.file, "biltor.chm");
    EXPECT_EQ(r.page, "pdd5.html");
    EXPECT_EQ(r.anchor, "p5.1");
    EXPECT_EQ(r.window, HelpRequest::Window::Popup);

    ASSERT_TRUE(ParseHelpRequest("biltor.chm::/h2.html>main", r));
    EXPECT_EQ(r.page, "h2.html");
    EXPECT_EQ(r.anchor, "");
    EXPECT_EQ(r.window, HelpRequest::Window::Main);

    // Anchors with several dots and no window type at all.
    ASSERT_TRUE(ParseHelpRequest("biltor.chm::/raz1.html#r1.14.1", r));
    EXPECT_EQ(r.page, "raz1.html");
    EXPECT_EQ(r.anchor, "r1.14.1");
    EXPECT_EQ(r.window, HelpRequest::Window::Main);
}

TEST(HelpRequest, RejectsRequestsWithoutFileOrPage) {
    HelpRequest r;
    r.page = "kept";
    EXPECT_FALSE(ParseHelpRequest("", r));
    EXPECT_FALSE(ParseHelpRequest("index.html>main", r));
    EXPECT_FALSE(ParseHelpRequest("::/index.html>main", r));
    EXPECT_FALSE(ParseHelpRequest("biltor.chm::/>popup", r));
    // An unknown kind letter gives an empty topic: nothing to show.
    EXPECT_FALSE(ParseHelpRequest("biltor.chm::/#x1.1>popup", r));
    EXPECT_EQ(r.page, "kept");
}

TEST(HelpRequest, ReferenceFromAnchorNamesTheKind) {
    EXPECT_EQ(ReferenceFromAnchor("p10.1"), "Пункт 10.1");
    EXPECT_EQ(ReferenceFromAnchor("z3.20"), "Знак 3.20");
    EXPECT_EQ(ReferenceFromAnchor("r1.14.1"), "Разметка 1.14.1");
    EXPECT_EQ(ReferenceFromAnchor("l1.1"), "Разметка 1.1");
    EXPECT_EQ(ReferenceFromAnchor("x1"), "x1");
    EXPECT_EQ(ReferenceFromAnchor("p"), "p");
    EXPECT_EQ(ReferenceFromAnchor(""), "");
}

TEST(HelpRequest, HelpFileFoundByDatabaseThenProgramThenDataFolder) {
    test::TempDir root;
    QDir(root.path()).mkpath("db");
    QDir(root.path()).mkpath("prog");
    QDir(root.path()).mkpath("data");
    const QString db = root.file("db"), prog = root.file("prog"), data = root.file("data");
    const QStringList folders = HelpFolders(db + "/dataAB.dbv", prog, data);
    ASSERT_EQ(folders, QStringList({db, prog, data}));

    EXPECT_EQ(FindHelpFile(folders, "biltor.chm"), "");
    Touch(data + "/biltor.chm");
    EXPECT_EQ(FindHelpFile(folders, "biltor.chm"), data + "/biltor.chm");
    Touch(prog + "/biltor.chm");
    EXPECT_EQ(FindHelpFile(folders, "biltor.chm"), prog + "/biltor.chm");
    Touch(db + "/biltor.chm");
    EXPECT_EQ(FindHelpFile(folders, "biltor.chm"), db + "/biltor.chm");

    // A folder of that name is no help file.
    QDir(root.path()).mkpath("other/biltor.chm");
    EXPECT_EQ(FindHelpFile({root.file("other")}, "biltor.chm"), "");
}

TEST(HelpRequest, HelpFoldersDropEmptyAndRepeatedFolders) {
    EXPECT_EQ(HelpFolders("", "", ""), QStringList());
    EXPECT_EQ(HelpFolders("/a/b/dataAB.dbv", "/a/b/", "/c"), QStringList({"/a/b", "/c"}));
    EXPECT_EQ(HelpFolders("", "/p", "/p"), QStringList({"/p"}));
}

TEST(HelpRequest, DecodeHelpPageByBomCharsetOrContent) {
    const QString text = QStringLiteral("Пункт 10.1");
    const QByteArray cp = EncodeCp1251(text).value();
    EXPECT_EQ(DecodeHelpPage(cp), text);
    EXPECT_EQ(DecodeHelpPage(text.toUtf8()), text);
    EXPECT_EQ(DecodeHelpPage("\xEF\xBB\xBF" + text.toUtf8()), text);

    const QByteArray utf8Meta = "<meta charset=\"UTF-8\">";
    EXPECT_EQ(DecodeHelpPage(utf8Meta + text.toUtf8()), utf8Meta + text);
    // A declared cp1251 page is read as cp1251 even when its bytes happen to be valid UTF-8.
    const QByteArray cpMeta =
        "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">";
    const QByteArray ambiguous = "\xD0\xA0"; // "Р" in UTF-8, "Р " in cp1251
    EXPECT_EQ(DecodeHelpPage(cpMeta + ambiguous), cpMeta + DecodeCp1251(ambiguous));
    EXPECT_EQ(DecodeHelpPage(QByteArray()), "");
}

} // namespace
} // namespace bil
