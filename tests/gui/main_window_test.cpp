#include "data/ui/pictures.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

using namespace bil;

namespace {

QImage Render(QSize size, const std::function<void(QPainter&, const QRectF&)>& paint,
              qreal scale = 1.0) {
    QImage img(size * scale, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size) * scale));
    return img;
}

bool IsReddish(QColor c) {
    return c.red() > 180 && c.green() < 120 && c.blue() < 120;
}

} // namespace

TEST(Pictures, SpeedometerNeedleMovesWithTheIndex) {
    TForm3 holder;
    QImage first = holder.Image(1).toImage();
    EXPECT_EQ(first.size(), SpeedometerSize);
    for (int i = 2; i <= SpeedometerCount; ++i) {
        QImage next = holder.Image(i).toImage();
        EXPECT_NE(next, first) << "picture " << i;
        first = next;
    }
    // Needle at 0 points to the lower left of the dial, at 105 to the right.
    const QImage zero =
        Render(SpeedometerSize, [](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, 0); });
    const QImage top =
        Render(SpeedometerSize, [](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, 21); });
    int leftRed = 0, rightRed = 0;
    for (int y = 60; y < 130; ++y) {
        for (int x = 20; x < 60; ++x)
            leftRed += IsReddish(zero.pixelColor(x, y)) ? 1 : 0;
        for (int x = 75; x < 115; ++x)
            rightRed += IsReddish(top.pixelColor(x, y)) ? 1 : 0;
    }
    EXPECT_GT(leftRed, 10);
    EXPECT_GT(rightRed, 10);
}

TEST(Pictures, TrafficLightLightsOneLampAndScalesSharp) {
    TForm3 holder(2.0);
    const QImage red = holder.Ikr().toImage();
    EXPECT_EQ(red.size(), TrafficLightSize * 2);
    const QImage none = holder.INet().toImage();
    const QImage green = holder.ISel().toImage();
    const QImage yellow = holder.IZel().toImage();
    const QColor topLit = red.pixelColor(23, 21);
    const QColor topOff = none.pixelColor(23, 21);
    EXPECT_GT(topLit.red(), 200);
    EXPECT_LT(topOff.red(), 150);
    EXPECT_GT(green.pixelColor(23, 99).green(), 180);
    EXPECT_LT(green.pixelColor(23, 21).red(), 150);
    EXPECT_GT(yellow.pixelColor(23, 60).green(), 150);
    EXPECT_GT(yellow.pixelColor(23, 60).red(), 200);
}

TEST(Pictures, SevenDistinctCatalogueIcons) {
    std::vector<QImage> icons;
    for (int i = 0; i < 7; ++i) {
        const QImage img = TForm3::Icon(i).pixmap(16, 16).toImage();
        ASSERT_FALSE(img.isNull());
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += img.pixelColor(x, y).alpha() > 0 ? 1 : 0;
        EXPECT_GT(opaque, 40) << "icon " << i;
        for (const QImage& other : icons)
            EXPECT_NE(img, other) << "icon " << i;
        icons.push_back(img);
    }
    EXPECT_FALSE(TForm3::Icon(3).pixmap(64, 64).isNull());
}
