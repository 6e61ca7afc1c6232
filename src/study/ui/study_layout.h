// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/numbering.h"

#include <QRect>
#include <QSize>

#include <array>
#include <functional>

namespace bil {

// The study window's layout from sizes alone: which rectangle each control takes. The window
// measures its texts and applies the rectangles; nothing here touches a widget.

constexpr int StudyListWidth = 116; // the narrowest question list
constexpr int StudyHeaderHeight = 34;
constexpr int StudyBottomRowHeight = 68;
constexpr int AnswerButtonWidth = 81;
constexpr int AnswerButtonHeight = 25;
constexpr int PictureLeft = 8; // the picture's corner in the white area
constexpr int PictureTop = 8;
constexpr int MinPictureHeight = 137;

// What the window's frame is laid out from.
struct StudyFrameSizes {
    QSize Client;                   // the window's inside
    int ListWidth = StudyListWidth; // widened to the run's longest caption
    std::array<int, MaxAnswers> ButtonWidths{AnswerButtonWidth, AnswerButtonWidth,
                                             AnswerButtonWidth, AnswerButtonWidth,
                                             AnswerButtonWidth};
};

// The frame's controls, named as in the window. The bottom row's controls are placed inside
// BottomRow, all others inside the window.
struct StudyFrame {
    QRect Label6;       // training time
    QRect Label1;       // heading
    QRect Label5;       // run caption
    QRect SpeedButton1; // help
    QRect ListView1;
    QRect BitBtn7; // "СТОП"
    QRect ScrollBox1;
    QRect BottomRow;
    std::array<QRect, MaxAnswers> BitBtn; // a widened button pushes the ones after it right
    QRect Image2;                         // traffic light
    QRect Chart1;                         // pie
    QRect Label7;                         // seconds, over the pie

    // The question's texts are fitted above the pie, as if the bottom row still lay inside the
    // white area.
    int pieTop() const { return ScrollBox1.height() + Chart1.y(); }
};

StudyFrame PlaceStudyFrame(const StudyFrameSizes& sizes);

// What the question inside the white area is laid out from.
struct QuestionSizes {
    int Width = 0;  // the white area's visible width (less a scroll bar when there is one)
    int PieTop = 0; // StudyFrame::pieTop()
    bool HasPicture = false;
    QSize Picture; // its own size; empty when its header cannot be read
};

// Heights of the texts as laid out at a width. Answers and comment are asked in their normal
// font and, when the picture would be too small, in one two points smaller.
struct QuestionTextHeights {
    std::function<int(int width)> Question;
    std::function<int(int width, bool smaller)> Answers;
    std::function<int(int width, bool smaller)> Comment;
};

struct QuestionLayout {
    QRect Image1;              // empty without a picture
    QRect Label2;              // question
    QRect Label3;              // answers
    QRect Label4;              // comment
    int TextWidth = 0;         // of the answers and the comment
    bool SmallerTexts = false; // answers and comment in the smaller font
};

// The picture top left, as high as the space above the answers allows (at least
// MinPictureHeight), the question beside it, answers and comment below; without a picture
// the three texts one under the other. The texts may run below the white area: it scrolls.
QuestionLayout LayoutQuestionArea(const QuestionSizes& sizes, const QuestionTextHeights& heights);

} // namespace bil
