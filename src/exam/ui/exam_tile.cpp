// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/ui/exam_tile.h"

#include "app/ui/line_breaks.h"
#include "exam/exam_engine.h"
#include "exam/ui/exam_window.h"
#include "ui/measure_text.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

namespace bil {

namespace {

QColor WindowsColour(int value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

constexpr int DarkRed = 91;
constexpr int Red = 255;
constexpr int Navy = 8388608;

} // namespace

TFrame2::TFrame2(TForm91& owner, int slotIndex, QWidget* parent)
    : QWidget(parent), SlotIndex(slotIndex), m_owner(owner) {
    setObjectName(QStringLiteral("TFrame2_%1").arg(slotIndex));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    Label1Font = PixelFont(QStringLiteral("MS Sans Serif"), 11);
    resize(DesignWidth, DesignHeight);
    Image1 = QRect(3, 3, DesignWidth - 6, DesignImageHeight);
    FrameResize();
}

void TFrame2::setPicture(QImage picture) {
    m_picture = std::move(picture);
    m_scaled = QImage();
    update();
}

void TFrame2::setText(const QString& text) {
    m_text = text;
    FrameResize();
    update();
}

bool TFrame2::answered() const {
    return m_owner.engine().slot(SlotIndex).Answered != 0;
}

int TFrame2::frameColour() const {
    return m_owner.engine().currentTile() == SlotIndex ? Red : DarkRed;
}

void TFrame2::FrameResize() {
    const int w = width();
    const int h = height();
    Shape1 = QRect(0, 0, w - 1, h - 1);

    int imageHeight = Image1.height();
    const double ratio = m_owner.engine().pictureRatio();
    if (ratio != 0.0)
        imageHeight = int(std::lround(w / ratio)) - 3;
    Image1 = QRect(3, 3, w - 6, imageHeight);

    int top = 3;
    int labelHeight = h - 6;
    if (m_owner.engine().slot(SlotIndex).Q.HasPicture) {
        const int t = (2 * h) / 3;
        top = t > Image1.height() ? Image1.height() + 3 : t;
        labelHeight = h - top - 3;
    }
    Label1 = QRect(3, top, w - 6, labelHeight);

    // Text that does not fit starts at the top so that its beginning stays readable; it ends
    // with "…" on the last whole line rather than in half a line, and the tooltip has all of it.
    const QString text = DisplayLines(m_text);
    m_shownText = FitTextLines(Label1Font, Label1.width(), Label1.height(), text);
    const bool fits = m_shownText == text;
    Label1Alignment = Qt::AlignHCenter | (fits ? Qt::AlignVCenter : Qt::AlignTop);
    setToolTip(fits ? QString() : text);
}

void TFrame2::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    FrameResize();
}

void TFrame2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);

    if (!m_picture.isNull() && Image1.width() > 0 && Image1.height() > 0) {
        // Shrunk to fit with its proportions kept, never enlarged.
        const QSize target = m_picture.size().boundedTo(Image1.size()) == m_picture.size()
                                 ? m_picture.size()
                                 : m_picture.size().scaled(Image1.size(), Qt::KeepAspectRatio);
        if (m_scaled.size() != target)
            m_scaled = target == m_picture.size() ? m_picture
                                                  : m_picture.scaled(target, Qt::IgnoreAspectRatio,
                                                                     Qt::SmoothTransformation);
        p.save();
        p.setClipRect(Image1);
        p.drawImage(Image1.topLeft(), m_scaled);
        p.restore();
    }

    p.fillRect(Label1, Qt::black);
    p.setFont(Label1Font);
    p.setPen(Qt::yellow);
    p.drawText(Label1, int(Label1Alignment) | Qt::TextWordWrap, m_shownText);

    if (answered()) {
        // Pen mode "mask": every pixel under the shape is ANDed with navy.
        p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        p.fillRect(Shape1.adjusted(0, 0, 1, 1), WindowsColour(Navy));
    }
    QPen pen(WindowsColour(frameColour()), 2);
    pen.setJoinStyle(Qt::MiterJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(Shape1).adjusted(1, 1, -0, -0));
}

void TFrame2::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    m_owner.engine().hoverTile(SlotIndex);
}

void TFrame2::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    if (!answered())
        OpenQuestion();
}

void TFrame2::OpenQuestion() {
    m_owner.openQuestion(SlotIndex);
}

} // namespace bil
