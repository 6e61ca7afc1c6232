// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QSize>
#include <QWidget>

#include <functional>

class QPainter;

namespace bil {

// The pictures are drawn in code, so they stay sharp at any size and device pixel ratio.
constexpr int SpeedometerCount = 22; // needle at 0, 5, ..., 105
constexpr QSize SpeedometerSize(133, 209);
constexpr QSize HeaderSize(588, 209);
constexpr QSize CatalogueIconSize(16, 16);
constexpr QSize TrafficLightSize(23, 60);
constexpr QSize LogoSize(32, 32);

// The lit lamp of the traffic light that shows a difficulty mark.
enum class TrafficLight { Red, Yellow, Green, None };

// Speedometer index 0..21 (needle at 5 * index) into rect.
void PaintSpeedometer(QPainter& painter, const QRectF& rect, int index);
// The header with the product name; the name sits above the link area at (16, 56, 145, 29).
void PaintHeader(QPainter& painter, const QRectF& rect);
// Catalogue icon 0..6: statuses 0..4, then the ticket and theme tab icons.
void PaintCatalogueIcon(QPainter& painter, const QRectF& rect, int icon);
void PaintTrafficLight(QPainter& painter, const QRectF& rect, TrafficLight light);
void PaintLogo(QPainter& painter, const QRectF& rect);

// A picture area that draws itself through a paint function at its own size.
class PictureBox : public QWidget {
public:
    using PaintFn = std::function<void(QPainter&, const QRectF&)>;
    explicit PictureBox(QWidget* parent = nullptr) : QWidget(parent) {}
    void setPicture(PaintFn paint);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    PaintFn m_paint;
};

// The image holder: the pictures other windows borrow. Never shown.
class TForm3 {
public:
    explicit TForm3(qreal devicePixelRatio = 1.0) : m_dpr(devicePixelRatio) {}

    // Image1 .. Image22: speedometers with the needle at 0 .. 105.
    QPixmap Image(int number) const;
    QPixmap Ikr() const { return trafficLight(TrafficLight::Red); }
    QPixmap IZel() const { return trafficLight(TrafficLight::Yellow); }
    QPixmap ISel() const { return trafficLight(TrafficLight::Green); }
    QPixmap INet() const { return trafficLight(TrafficLight::None); }
    QPixmap trafficLight(TrafficLight light) const;
    QPixmap Header() const;
    QPixmap Logo() const;
    // ImageList1: icon 0..6, drawn at whatever size it is asked for.
    static QIcon Icon(int index);

private:
    QPixmap render(QSize size, const std::function<void(QPainter&, const QRectF&)>& paint) const;
    qreal m_dpr;
};

} // namespace bil
