// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_topics.h"

#include <gtest/gtest.h>

namespace bil {
namespace {

TEST(HelpTopics, TopicFromCodeTakesChapterAndPageByKind) {
    EXPECT_EQ(TopicFromCode("p5.1"), "pdd5.html#p5.1");
    EXPECT_EQ(TopicFromCode("p10.1"), "pdd10.html#p10.1");
    EXPECT_EQ(TopicFromCode("z3.20"), "zn3.html#z3.20");
    EXPECT_EQ(TopicFromCode("r1.14.1"), "raz1.html#r1.14.1");
    // "l" is another spelling of the marking kind.
    EXPECT_EQ(TopicFromCode("l1.1"), "raz1.html#r1.1");
    // A three-digit chapter is not recognised: the page has no chapter.
    EXPECT_EQ(TopicFromCode("p100.1"), "pdd.html#p100.1");
}

TEST(HelpTopics, TopicFromCodeRejectsUnknownKinds) {
    EXPECT_EQ(TopicFromCode(""), "");
    EXPECT_EQ(TopicFromCode("x1.1"), "");
    EXPECT_EQ(TopicFromCode("1.1"), "");
    EXPECT_EQ(TopicFromCode("P1.1"), "");
    // Short codes do not read past their end.
    EXPECT_EQ(TopicFromCode("p"), "pdd.html#p");
    EXPECT_EQ(TopicFromCode("z1"), "zn.html#z1");
}

TEST(HelpTopics, CodeFromCaptionStripsTheKindWord) {
    EXPECT_EQ(CodeFromCaption("Пункт 5.1"), "p5.1");
    EXPECT_EQ(CodeFromCaption("Знак 3.20"), "z3.20");
    EXPECT_EQ(CodeFromCaption("Разметка 1.1"), "l1.1");
    EXPECT_EQ(CodeFromCaption("p7.2"), "p7.2");
    EXPECT_EQ(CodeFromCaption(""), "");
    // Shorter than the kind word: nothing left of the number.
    EXPECT_EQ(CodeFromCaption("Пу"), "p");
}

TEST(HelpTopics, RequestStrings) {
    EXPECT_EQ(HelpRequestMain(HelpPageMain), "biltor.chm::/index.html>main");
    EXPECT_EQ(HelpRequestMain(HelpPageStudy), "biltor.chm::/h2.html>main");
    EXPECT_EQ(HelpRequestMain(HelpPageStats), "biltor.chm::/h8.html>main");
    EXPECT_EQ(HelpRequestPopup("pdd8.html#p8.1"), "biltor.chm::/pdd8.html#p8.1>popup");
}

TEST(HelpTopics, StatisticsListCaptionOpensItsPopup) {
    auto request = [](const QString& caption) {
        return HelpRequestPopup(TopicFromCode(CodeFromCaption(caption)));
    };
    EXPECT_EQ(request("Пункт 5.1"), "biltor.chm::/pdd5.html#p5.1>popup");
    EXPECT_EQ(request("Разметка 1.1"), "biltor.chm::/raz1.html#r1.1>popup");
    EXPECT_EQ(request("Знак 3.20"), "biltor.chm::/zn3.html#z3.20>popup");
    EXPECT_EQ(request("Пункт 100.1"), "biltor.chm::/pdd.html#p100.1>popup");
}

} // namespace
} // namespace bil
