// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/ui/study_drawing.h"

#include "ui/measure_text.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace bil {

void StatPie::setCounts(int right, int wrong) {
    if (right == m_right && wrong == m_wrong)
        return;
    m_right = right;
    m_wrong = wrong;
    update();
}

void StatPie::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const int d = std::min(width(), height()) - 4;
    const QRectF disc((width() - d) / 2.0, (height() - d) / 2.0, d, d);
    p.setPen(QPen(Qt::black, 1));
    if (m_right == 0 && m_wrong == 0) {
        p.setBrush(QColor(128, 128, 0));
        p.drawEllipse(disc);
        return;
    }
    const double total = m_right + m_wrong;
    const int rightSpan = int(std::lround(5760.0 * m_right / total));
    p.setBrush(QColor(0, 128, 0));
    p.drawPie(disc, 90 * 16, rightSpan);
    p.setBrush(QColor(255, 0, 0));
    p.drawPie(disc, 90 * 16 + rightSpan, 5760 - rightSpan);
}

void StatPie::mousePressEvent(QMouseEvent*) {
    if (onClick)
        onClick();
}

// --- Question list icons ---------------------------------------------------------------------

QPixmap StarIcon(const QColor& fill) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 3.2 : 7.5;
        const double a = M_PI / 2 + i * M_PI / 5;
        const QPointF pt(8 + r * std::cos(a), 8.5 - r * std::sin(a));
        i ? star.lineTo(pt) : star.moveTo(pt);
    }
    star.closeSubpath();
    p.setPen(QPen(fill.darker(160), 1));
    p.setBrush(fill);
    p.drawPath(star);
    return pm;
}

QPixmap TextIcon(const QString& text, const QColor& fill, const QColor& ink) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(fill.darker(150), 1));
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setFont(PixelFont(QStringLiteral("Liberation Sans"), 11, true));
    p.setPen(ink);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, text);
    return pm;
}

} // namespace bil
