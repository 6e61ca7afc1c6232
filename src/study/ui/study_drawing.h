// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <functional>

namespace bil {

// What the study window draws itself: the statinformer pie and the question list's icons.

// The study pie: a two-slice pie of right and wrong answers, or a "?" disc when there are none.
class StatPie : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void setCounts(int right, int wrong);
    int right() const { return m_right; }
    int wrong() const { return m_wrong; }
    std::function<void()> onClick;

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    int m_right = 0;
    int m_wrong = 0;
};

// The question list's icons: a star of one colour, and a round one with a character on it.
QPixmap StarIcon(const QColor& fill);
QPixmap TextIcon(const QString& text, const QColor& fill, const QColor& ink);

} // namespace bil
