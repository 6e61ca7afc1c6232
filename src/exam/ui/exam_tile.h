// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QWidget>

namespace bil {

class TForm91;

// One cell of the exam grid: the question's picture and text, the frame of the current tile
// and the navy mask of an answered one. Its question fields live in the engine's slot.
class TFrame2 : public QWidget {
    Q_OBJECT
public:
    static constexpr int DesignWidth = 122;
    static constexpr int DesignHeight = 155;
    static constexpr int DesignImageHeight = 73;

    TFrame2(TForm91& owner, int slotIndex, QWidget* parent);

    const int SlotIndex; // slot - 1, the tile's index in the exam window

    // The decoded picture of the question (null without one).
    void setPicture(QImage picture);
    const QImage& picture() const { return m_picture; }
    // The question text of the label.
    void setText(const QString& text);
    const QString& text() const { return m_text; }
    // The text as the label shows it: whole, or cut after the last line that fits.
    const QString& shownText() const { return m_shownText; }

    // Lays out the parts for the tile's size.
    void FrameResize();
    // Shows the tile's question in the exam question window.
    void OpenQuestion();

    // Geometry of the parts in tile coordinates, as FrameResize left them.
    QRect Shape1;
    QRect Image1;
    QRect Label1;
    Qt::Alignment Label1Alignment = Qt::AlignHCenter | Qt::AlignVCenter;
    QFont Label1Font;
    // Frame colour: 91 (dark red) or 255 (red) as a Windows colour value.
    int frameColour() const;
    bool answered() const;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    TForm91& m_owner;
    QImage m_picture;
    QImage m_scaled; // the picture fitted into Image1, rebuilt when Image1 changes size
    QString m_text;
    QString m_shownText;
};

} // namespace bil
