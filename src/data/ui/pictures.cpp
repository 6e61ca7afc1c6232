// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/ui/pictures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace bil {

namespace {

// Maps the picture's design coordinates (its natural size) onto rect.
void MapDesign(QPainter& p, const QRectF& rect, QSize design) {
    p.translate(rect.topLeft());
    p.scale(rect.width() / design.width(), rect.height() / design.height());
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
}

QFont PixelFont(const QString& family, qreal pixels, bool bold) {
    QFont f(family);
    f.setPixelSize(std::max(1, int(std::lround(pixels))));
    f.setBold(bold);
    return f;
}

// Text as a path, so that it scales with the picture instead of snapping to font sizes.
QPainterPath TextPath(const QString& text, const QFont& font, QPointF baseline) {
    QPainterPath path;
    path.addText(baseline, font, text);
    return path;
}

// Gauge scale: value 0..120 over 270 degrees, 0 at the lower left.
constexpr double GaugeMax = 120.0;
QPointF GaugePoint(QPointF centre, double radius, double value) {
    const double deg = 225.0 - value * 270.0 / GaugeMax;
    const double rad = deg * std::numbers::pi / 180.0;
    return centre + QPointF(radius * std::cos(rad), -radius * std::sin(rad));
}

void PaintCheck(QPainter& p, QColor colour) {
    QPen pen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(4.6, 8.2);
    path.lineTo(7.0, 10.8);
    path.lineTo(11.6, 5.2);
    p.drawPath(path);
}

void PaintDisc(QPainter& p, QColor colour) {
    QRadialGradient g(QPointF(6.5, 6.0), 8.0);
    g.setColorAt(0.0, colour.lighter(150));
    g.setColorAt(1.0, colour);
    p.setPen(QPen(colour.darker(160), 1.0));
    p.setBrush(g);
    p.drawEllipse(QPointF(8, 8), 6.8, 6.8);
}

class VectorIconEngine final : public QIconEngine {
public:
    explicit VectorIconEngine(int index) : m_index(index) {}
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        if (mode == QIcon::Disabled)
            painter->setOpacity(0.45);
        PaintCatalogueIcon(*painter, rect, m_index);
        painter->restore();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pm(size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        paint(&p, QRect(QPoint(0, 0), size), mode, state);
        return pm;
    }
    QIconEngine* clone() const override { return new VectorIconEngine(m_index); }

private:
    int m_index;
};

} // namespace

void PaintSpeedometer(QPainter& p, const QRectF& rect, int index) {
    index = std::clamp(index, 0, SpeedometerCount - 1);
    const double value = 5.0 * index;
    p.save();
    MapDesign(p, rect, SpeedometerSize);
    p.fillRect(QRectF(0, 0, 133, 209), Qt::black);

    // Panel.
    QLinearGradient panel(0, 0, 0, 209);
    panel.setColorAt(0, QColor(48, 48, 52));
    panel.setColorAt(1, QColor(10, 10, 12));
    p.setPen(QPen(QColor(90, 90, 96), 1.0));
    p.setBrush(panel);
    p.drawRoundedRect(QRectF(3.5, 3.5, 126, 202), 10, 10);

    // Dial.
    const QPointF c(66.5, 82);
    const double r = 58;
    QRadialGradient face(c, r);
    face.setColorAt(0, QColor(34, 34, 40));
    face.setColorAt(1, QColor(4, 4, 6));
    QLinearGradient rim(c.x(), c.y() - r, c.x(), c.y() + r);
    rim.setColorAt(0, QColor(220, 220, 225));
    rim.setColorAt(1, QColor(70, 70, 78));
    p.setPen(QPen(QBrush(rim), 3.0));
    p.setBrush(face);
    p.drawEllipse(c, r, r);

    // Coloured band: low speeds red, the goal green.
    auto band = [&](double from, double to, QColor colour) {
        const QRectF box(c.x() - 50, c.y() - 50, 100, 100);
        const double start = 225.0 - from * 270.0 / GaugeMax;
        const double span = -(to - from) * 270.0 / GaugeMax;
        p.setPen(QPen(colour, 5.0, Qt::SolidLine, Qt::FlatCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(box, int(start * 16), int(span * 16));
    };
    band(0, 50, QColor(200, 50, 40));
    band(50, 85, QColor(235, 190, 20));
    band(85, GaugeMax, QColor(40, 180, 80));

    // Ticks and numbers.
    for (int v = 0; v <= int(GaugeMax); v += 5) {
        const bool major = v % 20 == 0;
        p.setPen(QPen(Qt::white, major ? 1.8 : 0.9, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(GaugePoint(c, 47, v), GaugePoint(c, major ? 39 : 43, v));
    }
    const QFont digits = PixelFont(QStringLiteral("Liberation Sans"), 9, true);
    const QFontMetricsF fm(digits);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(235, 235, 235));
    for (int v = 0; v <= int(GaugeMax); v += 20) {
        const QString t = QString::number(v);
        const QPointF at = GaugePoint(c, 30, v);
        const QPointF base(at.x() - fm.horizontalAdvance(t) / 2, at.y() + fm.capHeight() / 2);
        p.drawPath(TextPath(t, digits, base));
    }
    {
        const QFont unit = PixelFont(QStringLiteral("Liberation Sans"), 8, false);
        const QString t = QStringLiteral("км/ч");
        p.setBrush(QColor(160, 160, 170));
        p.drawPath(TextPath(
            t, unit, QPointF(c.x() - QFontMetricsF(unit).horizontalAdvance(t) / 2, c.y() + 24)));
    }

    // Needle.
    const QPointF tip = GaugePoint(c, 49, value);
    const QPointF dir = (tip - c) / 49.0;
    const QPointF side(-dir.y(), dir.x());
    QPolygonF needle;
    needle << tip << c + side * 2.6 - dir * 10 << c - side * 2.6 - dir * 10;
    p.setPen(QPen(QColor(120, 0, 0), 0.6));
    p.setBrush(QColor(255, 48, 40));
    p.drawPolygon(needle);
    QRadialGradient hub(c - QPointF(1.5, 1.5), 7);
    hub.setColorAt(0, QColor(200, 200, 205));
    hub.setColorAt(1, QColor(40, 40, 45));
    p.setPen(QPen(QColor(20, 20, 20), 0.8));
    p.setBrush(hub);
    p.drawEllipse(c, 6, 6);

    // Readout.
    const QRectF box(26.5, 152.5, 80, 30);
    p.setPen(QPen(QColor(90, 90, 96), 1.0));
    p.setBrush(QColor(0, 0, 0));
    p.drawRoundedRect(box, 4, 4);
    const QFont big = PixelFont(QStringLiteral("Liberation Mono"), 20, true);
    const QString t = QString::number(int(value));
    const QFontMetricsF bm(big);
    p.setPen(Qt::NoPen);
    p.setBrush(value >= 100 ? QColor(60, 230, 90) : QColor(250, 200, 40));
    p.drawPath(TextPath(t, big,
                        QPointF(box.center().x() - bm.horizontalAdvance(t) / 2,
                                box.center().y() + bm.capHeight() / 2)));
    p.restore();
}

void PaintHeader(QPainter& p, const QRectF& rect) {
    p.save();
    MapDesign(p, rect, HeaderSize);
    const double w = HeaderSize.width(), h = HeaderSize.height();

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(10, 26, 64));
    sky.setColorAt(0.45, QColor(18, 44, 92));
    sky.setColorAt(0.46, QColor(8, 20, 16));
    sky.setColorAt(1, QColor(0, 0, 0));
    p.fillRect(QRectF(0, 0, w, h), sky);

    // Hills on the horizon.
    QPainterPath hills;
    hills.moveTo(250, 96);
    hills.cubicTo(300, 70, 360, 74, 410, 90);
    hills.cubicTo(460, 66, 530, 70, w, 86);
    hills.lineTo(w, 100);
    hills.lineTo(250, 100);
    hills.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(14, 46, 30));
    p.drawPath(hills);

    // Road in perspective towards the vanishing point.
    const QPointF vp(432, 95);
    QPolygonF road;
    road << QPointF(vp.x() - 6, vp.y()) << QPointF(vp.x() + 6, vp.y()) << QPointF(w + 40, h)
         << QPointF(268, h);
    QLinearGradient asphalt(0, vp.y(), 0, h);
    asphalt.setColorAt(0, QColor(60, 62, 68));
    asphalt.setColorAt(1, QColor(34, 34, 38));
    p.setBrush(asphalt);
    p.drawPolygon(road);
    p.setPen(QPen(QColor(235, 235, 235), 2.0));
    p.drawLine(QPointF(vp.x() - 6, vp.y()), QPointF(268, h));
    p.drawLine(QPointF(vp.x() + 6, vp.y()), QPointF(w + 40, h));
    // Dashed centre line, dashes growing towards the viewer.
    const QPointF bottom((268 + w + 40) / 2, h);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 250, 250));
    double t = 0.08;
    while (t < 1.0) {
        const double len = 0.05 + 0.07 * t;
        const double t2 = std::min(1.0, t + len);
        const QPointF a = vp + (bottom - vp) * t, b = vp + (bottom - vp) * t2;
        const double wa = 0.4 + 3.5 * t, wb = 0.4 + 3.5 * t2;
        QPolygonF dash;
        dash << a - QPointF(wa, 0) << a + QPointF(wa, 0) << b + QPointF(wb, 0)
             << b - QPointF(wb, 0);
        p.drawPolygon(dash);
        t = t2 + len * 0.9;
    }

    // Warning sign on a pole beside the road.
    p.setPen(QPen(QColor(150, 150, 155), 3.0));
    p.drawLine(QPointF(548, 70), QPointF(548, 150));
    QPolygonF sign;
    sign << QPointF(548, 30) << QPointF(574, 74) << QPointF(522, 74);
    p.setPen(QPen(QColor(210, 20, 20), 4.5, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
    p.setBrush(Qt::white);
    p.drawPolygon(sign);
    p.setPen(QPen(Qt::black, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(548, 46), QPointF(548, 61));
    p.drawPoint(QPointF(548, 67));

    // Product name over the link area.
    QFont name = PixelFont(QStringLiteral("Liberation Sans"), 32, true);
    const QString title = QStringLiteral("Билетория");
    const double width = QFontMetricsF(name).horizontalAdvance(title);
    name.setPixelSize(std::max(1, int(32 * 145 / width)));
    QPainterPath titlePath = TextPath(title, name, QPointF(16, 80));
    QLinearGradient gold(0, 52, 0, 82);
    gold.setColorAt(0, QColor(255, 236, 140));
    gold.setColorAt(1, QColor(232, 150, 20));
    p.setPen(QPen(QColor(60, 30, 0), 1.2));
    p.setBrush(gold);
    p.drawPath(titlePath);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(140, 190, 255));
    p.drawPath(TextPath(QStringLiteral("DER UZIRI 2023"),
                        PixelFont(QStringLiteral("Liberation Serif"), 17, true), QPointF(18, 112)));
    p.setBrush(QColor(220, 220, 225));
    const QFont small = PixelFont(QStringLiteral("Liberation Sans"), 13, false);
    p.drawPath(
        TextPath(QStringLiteral("Тренажёр теоретического экзамена"), small, QPointF(18, 140)));
    p.drawPath(TextPath(QStringLiteral("по правилам дорожного движения"), small, QPointF(18, 157)));
    p.setBrush(QColor(150, 150, 160));
    p.drawPath(TextPath(QStringLiteral("40 билетов · 800 вопросов · 26 тем"),
                        PixelFont(QStringLiteral("Liberation Sans"), 11, false), QPointF(18, 184)));
    p.restore();
}

void PaintCatalogueIcon(QPainter& p, const QRectF& rect, int icon) {
    p.save();
    MapDesign(p, rect, CatalogueIconSize);
    switch (icon) {
    case 0: // not done: an empty ring
        p.setPen(QPen(QColor(120, 120, 120), 1.4));
        p.setBrush(QColor(250, 250, 250));
        p.drawEllipse(QPointF(8, 8), 6.0, 6.0);
        break;
    case 1: // exam pass
        PaintDisc(p, QColor(34, 150, 52));
        PaintCheck(p, Qt::white);
        break;
    case 2: { // errors
        PaintDisc(p, QColor(214, 44, 36));
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(5.4, 5.4), QPointF(10.6, 10.6));
        p.drawLine(QPointF(10.6, 5.4), QPointF(5.4, 10.6));
        break;
    }
    case 3: // training pass
        PaintDisc(p, QColor(40, 100, 210));
        PaintCheck(p, Qt::white);
        break;
    case 4: { // learned: a star
        QPolygonF star;
        for (int k = 0; k < 10; ++k) {
            const double r = k % 2 == 0 ? 7.4 : 3.1;
            const double a = -std::numbers::pi / 2 + k * std::numbers::pi / 5;
            star << QPointF(8 + r * std::cos(a), 8.6 + r * std::sin(a));
        }
        p.setPen(QPen(QColor(150, 90, 0), 0.9, Qt::SolidLine, Qt::SquareCap, Qt::RoundJoin));
        p.setBrush(QColor(255, 196, 20));
        p.drawPolygon(star);
        break;
    }
    case 5: { // tickets: a ticket card
        p.setPen(QPen(QColor(70, 70, 80), 1.0));
        p.setBrush(QColor(255, 255, 250));
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 40, 40));
        p.drawRect(QRectF(2, 3, 3, 10));
        p.setPen(QPen(QColor(60, 90, 170), 1.0));
        for (double y : {5.5, 8.0, 10.5})
            p.drawLine(QPointF(6.5, y), QPointF(12.5, y));
        break;
    }
    case 6: { // themes: a folder
        p.setPen(QPen(QColor(150, 100, 10), 1.0));
        p.setBrush(QColor(245, 200, 70));
        QPainterPath folder;
        folder.moveTo(1.5, 3.5);
        folder.lineTo(6.0, 3.5);
        folder.lineTo(7.5, 5.0);
        folder.lineTo(14.5, 5.0);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
        p.setBrush(QColor(255, 222, 120));
        p.drawRect(QRectF(1.5, 6.5, 13, 7));
        break;
    }
    default:
        break;
    }
    p.restore();
}

void PaintTrafficLight(QPainter& p, const QRectF& rect, TrafficLight light) {
    p.save();
    MapDesign(p, rect, TrafficLightSize);
    QLinearGradient body(0, 0, 23, 0);
    body.setColorAt(0, QColor(70, 70, 74));
    body.setColorAt(0.5, QColor(38, 38, 42));
    body.setColorAt(1, QColor(20, 20, 22));
    p.setPen(QPen(Qt::black, 1.0));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1, 0.5, 21, 59), 4, 4);

    struct Lamp {
        double y;
        TrafficLight which;
        QColor on, off;
    };
    const Lamp lamps[] = {
        {10.5, TrafficLight::Red, QColor(255, 40, 30), QColor(70, 16, 14)},
        {30.0, TrafficLight::Yellow, QColor(255, 205, 20), QColor(70, 58, 10)},
        {49.5, TrafficLight::Green, QColor(40, 230, 70), QColor(12, 60, 20)},
    };
    for (const Lamp& lamp : lamps) {
        const QPointF c(11.5, lamp.y);
        const bool lit = light == lamp.which;
        QRadialGradient g(c - QPointF(2, 2), 8);
        g.setColorAt(0, lit ? QColor(255, 255, 230) : lamp.off.lighter(140));
        g.setColorAt(lit ? 0.35 : 0.5, lit ? lamp.on : lamp.off);
        g.setColorAt(1, lit ? lamp.on.darker(130) : lamp.off.darker(150));
        p.setPen(QPen(QColor(10, 10, 10), 0.8));
        p.setBrush(g);
        p.drawEllipse(c, 7.3, 7.3);
    }
    p.restore();
}

void PaintLogo(QPainter& p, const QRectF& rect) {
    p.save();
    MapDesign(p, rect, LogoSize);
    p.setPen(QPen(QColor(200, 16, 16), 3.6));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(16, 16), 13.8, 13.8);
    const QFont f = PixelFont(QStringLiteral("Liberation Sans"), 18, true);
    const QString t = QStringLiteral("Б");
    const QFontMetricsF fm(f);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::black);
    p.drawPath(TextPath(t, f, QPointF(16 - fm.horizontalAdvance(t) / 2, 16 + fm.capHeight() / 2)));
    p.restore();
}

void PictureBox::setPicture(PaintFn paint) {
    m_paint = std::move(paint);
    update();
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!m_paint)
        return;
    QPainter p(this);
    m_paint(p, QRectF(rect()));
}

QPixmap TForm3::render(QSize size,
                       const std::function<void(QPainter&, const QRectF&)>& paint) const {
    QPixmap pm(size * m_dpr);
    pm.setDevicePixelRatio(m_dpr);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return pm;
}

QPixmap TForm3::Image(int number) const {
    const int index = std::clamp(number, 1, SpeedometerCount) - 1;
    return render(SpeedometerSize,
                  [index](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, index); });
}

QPixmap TForm3::trafficLight(TrafficLight light) const {
    return render(TrafficLightSize,
                  [light](QPainter& p, const QRectF& r) { PaintTrafficLight(p, r, light); });
}

QPixmap TForm3::Header() const {
    return render(HeaderSize, PaintHeader);
}

QPixmap TForm3::Logo() const {
    return render(LogoSize, PaintLogo);
}

QIcon TForm3::Icon(int index) {
    return QIcon(new VectorIconEngine(index));
}

} // namespace bil
