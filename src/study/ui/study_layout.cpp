// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/ui/study_layout.h"

#include <algorithm>
#include <cmath>

namespace bil {

namespace {

int Round(double v) {
    return int(std::lround(v));
}

} // namespace

StudyFrame PlaceStudyFrame(const StudyFrameSizes& s) {
    const int w = s.Client.width(), h = s.Client.height();
    const int list = s.ListWidth;
    StudyFrame f;
    f.Label6 = QRect(4, 2, 160, 30);
    f.Label1 = QRect(list + 8, 4, std::max(w / 2 - 60, 200), 26);
    f.Label5 = QRect(w - 250, 4, 216, 26);
    f.SpeedButton1 = QRect(w - 28, 5, 24, 24);
    f.ListView1 = QRect(0, StudyHeaderHeight, list, h - StudyHeaderHeight - 34);
    f.BitBtn7 = QRect(4, h - 30, list - 8, AnswerButtonHeight);
    f.ScrollBox1 = QRect(list + 3, StudyHeaderHeight, w - list - 3,
                         std::max(h - StudyHeaderHeight - StudyBottomRowHeight, 0));
    f.BottomRow = QRect(list + 3, h - StudyBottomRowHeight, w - list - 3, StudyBottomRowHeight);

    // Answer buttons left, pie and traffic light right.
    const int sw = f.BottomRow.width(), sh = StudyBottomRowHeight;
    for (int b = 0, x = 8; b < MaxAnswers; ++b) {
        f.BitBtn[b] = QRect(x, sh - AnswerButtonHeight - 8, s.ButtonWidths[b], AnswerButtonHeight);
        x += s.ButtonWidths[b] + 6;
    }
    f.Image2 = QRect(sw - 23 - 8, sh - 60 - 4, 23, 60);
    f.Chart1 = QRect(sw - 23 - 8 - 65 - 8, sh - 58 - 5, 65, 58);
    f.Label7 = QRect(f.Chart1.x(), f.Chart1.y() + 18, 65, 22);
    return f;
}

QuestionLayout LayoutQuestionArea(const QuestionSizes& s, const QuestionTextHeights& heights) {
    QuestionLayout out;
    const int sw = s.Width;
    out.TextWidth = sw - 16;
    int l4h = heights.Comment(out.TextWidth, false);
    int l4top = s.PieTop - l4h - 20;
    int l3h = heights.Answers(out.TextWidth, false);
    int l3top = l4top - l3h - 20;

    int l2left = 8, l2width = sw - 18, l2h = 0;
    if (s.HasPicture) {
        int imgH;
        if (l3top - PictureTop >= MinPictureHeight) {
            imgH = l3top - PictureTop;
        } else {
            // Too little room above the answers: the picture keeps its least height and the
            // answers and comment give way.
            imgH = MinPictureHeight;
            out.SmallerTexts = true;
            l3h = heights.Answers(out.TextWidth, true);
            l4h = heights.Comment(out.TextWidth, true);
        }
        const int pw = s.Picture.width(), ph = s.Picture.height();
        const bool known = pw > 0 && ph > 0;
        if (known) {
            const int scaled = Round(double(imgH) * pw / ph);
            l2left = PictureLeft + scaled + 20;
            l2width = sw - l2left - 10;
            // The question keeps at least 30 % of the width; a long one narrows the picture.
            const int m = Round(0.3 * sw);
            if (l2width < m) {
                l2left -= m - l2width;
                l2width = m;
            }
            while (heights.Question(l2width) > imgH && l2left > 100) {
                l2left -= 10;
                l2width += 10;
            }
        }
        l2h = heights.Question(l2width);
        const int imgW = std::max(l2left - PictureLeft - 10, 1);
        if (known)
            imgH = Round(double(imgW) * ph / pw);
        out.Image1 = QRect(PictureLeft, PictureTop, imgW, std::max(imgH, 1));
        out.Label2 = QRect(l2left, PictureTop, l2width, l2h);
        l3top = std::max(out.Image1.bottom() + 1, PictureTop + l2h) + 10;
        l4top = l3top + l3h + 10;
    } else {
        l2h = heights.Question(l2width);
        out.Label2 = QRect(l2left, PictureTop, l2width, l2h);
        l3top = PictureTop + l2h;
        l4top = l3top + l3h + 10;
    }
    out.Label3 = QRect(8, l3top, out.TextWidth, l3h);
    out.Label4 = QRect(8, l4top, out.TextWidth, l4h);
    return out;
}

} // namespace bil
