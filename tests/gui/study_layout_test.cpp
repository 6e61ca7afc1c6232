// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/ui/study_layout.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace bil;

namespace {

// Text that wraps like a real one: so many pixels of characters, in lines of 20 px.
int WrappedHeight(int textPixels, int width) {
    if (textPixels == 0)
        return 0;
    const int lines = (textPixels + std::max(width, 1) - 1) / std::max(width, 1);
    return lines * 20;
}

struct Texts {
    int question = 600;
    int answers = 1200;
    int comment = 0;
    int smallerBy = 2; // the smaller font takes this share less: pixels * (10 - n) / 10

    QuestionTextHeights heights() {
        return {
            [this](int width) { return WrappedHeight(question, width); },
            [this](int width, bool smaller) {
                return WrappedHeight(smaller ? answers * (10 - smallerBy) / 10 : answers, width);
            },
            [this](int width, bool smaller) {
                return WrappedHeight(smaller ? comment * (10 - smallerBy) / 10 : comment, width);
            }};
    }
};

StudyFrame Frame(QSize client, int widened = 0) {
    StudyFrameSizes sizes;
    sizes.Client = client;
    if (widened)
        sizes.ButtonWidths[0] = widened;
    return PlaceStudyFrame(sizes);
}

QuestionSizes Area(const StudyFrame& f, QSize picture) {
    QuestionSizes s;
    s.Width = f.ScrollBox1.width();
    s.PieTop = f.pieTop();
    s.HasPicture = picture.isValid();
    s.Picture = picture;
    return s;
}

} // namespace

// From the smallest window up, every control lies inside the window, the question area ends
// where the answer row begins, and the answer buttons (a widened review one too) never reach
// the pie and the light.
TEST(StudyLayout, FrameKeepsTheAnswerRowInReachAtEverySize) {
    for (const QSize client : {QSize(730, 548), QSize(1024, 740), QSize(1900, 1100)}) {
        for (const int widened : {0, 150}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 widened %3")
                             .arg(client.width())
                             .arg(client.height())
                             .arg(widened)
                             .toStdString());
            const StudyFrame f = Frame(client, widened);
            const QRect window(QPoint(0, 0), client);
            for (const QRect& r : {f.Label6, f.Label1, f.Label5, f.SpeedButton1, f.ListView1,
                                   f.BitBtn7, f.ScrollBox1, f.BottomRow})
                EXPECT_TRUE(window.contains(r)) << r.x() << "," << r.y();
            EXPECT_EQ(f.BottomRow.bottom(), window.bottom());
            EXPECT_EQ(f.ScrollBox1.bottom() + 1, f.BottomRow.top());
            EXPECT_EQ(f.ScrollBox1.left(), f.ListView1.right() + 4);
            EXPECT_EQ(f.BottomRow.width(), f.ScrollBox1.width());

            const QRect row(QPoint(0, 0), f.BottomRow.size());
            for (int b = 0; b < MaxAnswers; ++b) {
                EXPECT_TRUE(row.contains(f.BitBtn[b]));
                EXPECT_LT(f.BitBtn[b].right(), f.Chart1.left());
                if (b > 0) {
                    EXPECT_GT(f.BitBtn[b].left(), f.BitBtn[b - 1].right());
                }
            }
            EXPECT_EQ(f.BitBtn[0].width(), widened ? widened : AnswerButtonWidth);
            EXPECT_TRUE(row.contains(f.Chart1));
            EXPECT_TRUE(row.contains(f.Image2));
            EXPECT_LT(f.Chart1.right(), f.Image2.left());
            EXPECT_TRUE(f.Chart1.contains(f.Label7));
        }
    }
}

// With room above the answers the picture fills it at its own proportions, the question stands
// beside it, the answers under both and the comment under the answers.
TEST(StudyLayout, PictureBesideTheQuestionAboveTheAnswers) {
    const StudyFrame f = Frame({1024, 740});
    Texts texts;
    texts.comment = 900;
    const QuestionSizes area = Area(f, {600, 225});
    const QuestionLayout l = LayoutQuestionArea(area, texts.heights());
    EXPECT_FALSE(l.SmallerTexts);
    EXPECT_EQ(l.Image1.topLeft(), QPoint(PictureLeft, PictureTop));
    EXPECT_GE(l.Image1.height(), MinPictureHeight);
    EXPECT_NEAR(double(l.Image1.width()) / l.Image1.height(), 600.0 / 225, 0.02);
    EXPECT_GT(l.Label2.left(), l.Image1.right());
    EXPECT_EQ(l.Label2.top(), PictureTop);
    EXPECT_LE(l.Label2.right(), area.Width);
    EXPECT_EQ(l.Label2.height(), WrappedHeight(texts.question, l.Label2.width()));
    EXPECT_GT(l.Label3.top(), std::max(l.Image1.bottom(), l.Label2.bottom()));
    EXPECT_EQ(l.Label3.width(), area.Width - 16);
    EXPECT_EQ(l.Label4.top(), l.Label3.bottom() + 1 + 10);
    // Everything fits above the pie: nothing to scroll.
    EXPECT_LT(l.Label4.bottom(), f.ScrollBox1.height());
}

// A long question widens its column in 10 px steps, narrowing the picture, but the picture's
// left part stays (the column never starts left of 100 px); a short one keeps 30 % at least.
TEST(StudyLayout, QuestionColumnWidensForALongQuestion) {
    const StudyFrame f = Frame({730, 548});
    const QuestionSizes area = Area(f, {600, 225});
    Texts shortText;
    shortText.question = 100;
    shortText.answers = 300;
    const QuestionLayout wide = LayoutQuestionArea(area, shortText.heights());
    EXPECT_GE(wide.Label2.width(), int(0.3 * area.Width));

    Texts longText;
    longText.question = 40000;
    longText.answers = 300;
    const QuestionLayout narrowed = LayoutQuestionArea(area, longText.heights());
    EXPECT_LT(narrowed.Image1.width(), wide.Image1.width());
    EXPECT_GT(narrowed.Label2.width(), wide.Label2.width());
    EXPECT_LE(narrowed.Label2.left(), 100);
    EXPECT_GT(narrowed.Label2.left(), 90);
    EXPECT_EQ(narrowed.Image1.width(), narrowed.Label2.left() - PictureLeft - 10);
    // Answers start under whichever of picture and question ends lower.
    EXPECT_EQ(narrowed.Label3.top(),
              std::max(narrowed.Image1.bottom(), narrowed.Label2.bottom()) + 11);
}

// In the smallest window long answers leave less than the least picture height: the picture
// keeps it, the answers and comment are measured and shown in the smaller font, and a long
// comment runs below the white area, which then scrolls while the answer row stays put.
TEST(StudyLayout, SmallWindowShrinksTextsAndLongTextScrolls) {
    const StudyFrame f = Frame({730, 548});
    Texts texts;
    texts.answers = 12000;
    texts.comment = 30000;
    const QuestionLayout l = LayoutQuestionArea(Area(f, {600, 225}), texts.heights());
    EXPECT_TRUE(l.SmallerTexts);
    EXPECT_EQ(l.Label3.height(), WrappedHeight(texts.answers * 8 / 10, l.TextWidth));
    EXPECT_EQ(l.Label4.height(), WrappedHeight(texts.comment * 8 / 10, l.TextWidth));
    EXPECT_NEAR(l.Image1.height(), MinPictureHeight, 25); // proportions kept around the least
    EXPECT_GT(l.Label4.bottom(), f.ScrollBox1.height());
    EXPECT_EQ(Frame({730, 548}).BottomRow, f.BottomRow);
}

// Without a picture the texts stand one under the other at the full width; a picture whose
// size is unknown leaves the question the full width beside a one-pixel picture.
TEST(StudyLayout, NoPictureOrAnUnreadableOne) {
    const StudyFrame f = Frame({730, 548});
    Texts texts;
    texts.comment = 500;
    const QuestionSizes area = Area(f, {});
    const QuestionLayout l = LayoutQuestionArea(area, texts.heights());
    EXPECT_TRUE(l.Image1.isNull());
    EXPECT_FALSE(l.SmallerTexts);
    EXPECT_EQ(l.Label2, QRect(8, PictureTop, area.Width - 18, WrappedHeight(600, area.Width - 18)));
    EXPECT_EQ(l.Label3.top(), l.Label2.bottom() + 1);
    EXPECT_EQ(l.Label4.top(), l.Label3.bottom() + 11);

    QuestionSizes unreadable = area;
    unreadable.HasPicture = true;
    const QuestionLayout u = LayoutQuestionArea(unreadable, texts.heights());
    EXPECT_EQ(u.Image1.width(), 1);
    EXPECT_EQ(u.Label2.left(), 8);
    EXPECT_EQ(u.Label2.width(), area.Width - 18);
}
