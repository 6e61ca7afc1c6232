// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/demo_database.h"

#include "data/database.h"
#include "data/numbering.h"
#include "data/themes.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace bil {

namespace {

struct Colour {
    uint8_t R, G, B;
};

constexpr Colour White{255, 255, 255};
constexpr Colour Black{20, 20, 20};
constexpr Colour Red{200, 30, 35};
constexpr Colour Blue{20, 70, 170};
constexpr Colour Yellow{250, 205, 20};
constexpr Colour Sky{170, 205, 235};
constexpr Colour Grass{110, 160, 80};
constexpr Colour Asphalt{95, 95, 100};
constexpr Colour Post{130, 130, 135};

struct Point {
    double X, Y;
};

// A small rasteriser: every shape is filled by testing the pixel centres of its bounding box.
class Canvas {
public:
    explicit Canvas(RgbImage& image) : m_image(image) {}

    void rect(double x0, double y0, double x1, double y1, Colour c) {
        const int ix0 = clampX(x0), ix1 = clampX(x1), iy0 = clampY(y0), iy1 = clampY(y1);
        for (int y = iy0; y < iy1; ++y)
            for (int x = ix0; x < ix1; ++x)
                put(x, y, c);
    }

    void circle(double cx, double cy, double r, Colour c) {
        const int ix0 = clampX(cx - r), ix1 = clampX(cx + r + 1), iy0 = clampY(cy - r),
                  iy1 = clampY(cy + r + 1);
        const double r2 = r * r;
        for (int y = iy0; y < iy1; ++y) {
            const double dy = y + 0.5 - cy;
            for (int x = ix0; x < ix1; ++x) {
                const double dx = x + 0.5 - cx;
                if (dx * dx + dy * dy <= r2)
                    put(x, y, c);
            }
        }
    }

    // Convex polygon, points in either winding.
    void polygon(const std::vector<Point>& pts, Colour c) {
        double minX = pts[0].X, maxX = minX, minY = pts[0].Y, maxY = minY;
        for (const Point& p : pts) {
            minX = std::min(minX, p.X);
            maxX = std::max(maxX, p.X);
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
        const std::size_t n = pts.size();
        double area = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const Point& a = pts[i];
            const Point& b = pts[(i + 1) % n];
            area += a.X * b.Y - b.X * a.Y;
        }
        const double sign = area >= 0 ? 1.0 : -1.0;
        for (int y = clampY(minY); y < clampY(maxY + 1); ++y) {
            for (int x = clampX(minX); x < clampX(maxX + 1); ++x) {
                const double px = x + 0.5, py = y + 0.5;
                bool inside = true;
                for (std::size_t i = 0; i < n && inside; ++i) {
                    const Point& a = pts[i];
                    const Point& b = pts[(i + 1) % n];
                    inside = sign * ((b.X - a.X) * (py - a.Y) - (b.Y - a.Y) * (px - a.X)) >= 0;
                }
                if (inside)
                    put(x, y, c);
            }
        }
    }

    // Regular polygon around a centre; rotation in radians.
    void regular(double cx, double cy, double r, int sides, double rotation, Colour c) {
        std::vector<Point> pts;
        for (int i = 0; i < sides; ++i) {
            const double a = rotation + 2 * M_PI * i / sides;
            pts.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
        }
        polygon(pts, c);
    }

    // Digits and a few letters in a 5 x 7 cell font, each cell `cell` pixels.
    void text(const QString& s, double x, double y, double cell, Colour c) {
        for (QChar ch : s) {
            const auto* rows = glyph(ch);
            if (rows)
                for (int r = 0; r < 7; ++r)
                    for (int k = 0; k < 5; ++k)
                        if (rows[r] & (0x10 >> k))
                            rect(x + k * cell, y + r * cell, x + (k + 1) * cell, y + (r + 1) * cell,
                                 c);
            x += 6 * cell;
        }
    }

    static double textWidth(const QString& s, double cell) { return (6 * s.size() - 1) * cell; }

private:
    static const uint8_t* glyph(QChar ch) {
        static constexpr uint8_t Digits[10][7] = {
            {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
            {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
            {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
            {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
            {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}};
        static constexpr uint8_t LetterP[7] = {0x1E, 0x11, 0x11, 0x1E, 0x10, 0x10, 0x10};
        static constexpr uint8_t Bang[7] = {0x04, 0x04, 0x04, 0x04, 0x04, 0x00, 0x04};
        if (ch >= u'0' && ch <= u'9')
            return Digits[ch.unicode() - u'0'];
        if (ch == u'P')
            return LetterP;
        if (ch == u'!')
            return Bang;
        return nullptr;
    }

    int clampX(double v) const { return std::clamp(int(std::floor(v)), 0, m_image.Width); }
    int clampY(double v) const { return std::clamp(int(std::floor(v)), 0, m_image.Height); }
    void put(int x, int y, Colour c) {
        uint8_t* p = m_image.at(x, y);
        p[0] = c.R;
        p[1] = c.G;
        p[2] = c.B;
    }

    RgbImage& m_image;
};

// Sign kinds, drawn in a square of side 2r around (cx, cy).
void DrawSign(Canvas& canvas, int kind, double cx, double cy, double r, int number) {
    switch (kind % 7) {
    case 0: { // speed limit: red ring, white field, black number
        canvas.circle(cx, cy, r, Red);
        canvas.circle(cx, cy, r * 0.78, White);
        const QString speed = QString::number(20 + (number % 8) * 10);
        const double cell = r * 0.13;
        canvas.text(speed, cx - Canvas::textWidth(speed, cell) / 2, cy - 3.5 * cell, cell, Black);
        break;
    }
    case 1: // no entry: red disc, white bar
        canvas.circle(cx, cy, r, Red);
        canvas.rect(cx - r * 0.7, cy - r * 0.17, cx + r * 0.7, cy + r * 0.17, White);
        break;
    case 2: { // warning: red triangle, white field, exclamation mark
        const double h = r * 0.95;
        canvas.polygon({{cx, cy - h}, {cx + r, cy + h * 0.8}, {cx - r, cy + h * 0.8}}, Red);
        canvas.polygon(
            {{cx, cy - h * 0.62}, {cx + r * 0.68, cy + h * 0.6}, {cx - r * 0.68, cy + h * 0.6}},
            White);
        const double cell = r * 0.09;
        canvas.text(QStringLiteral("!"), cx - 2.5 * cell, cy - 2.5 * cell, cell, Black);
        break;
    }
    case 3: // mandatory: blue disc, white arrow up
        canvas.circle(cx, cy, r, Blue);
        canvas.rect(cx - r * 0.12, cy - r * 0.2, cx + r * 0.12, cy + r * 0.65, White);
        canvas.polygon(
            {{cx, cy - r * 0.7}, {cx + r * 0.42, cy - r * 0.18}, {cx - r * 0.42, cy - r * 0.18}},
            White);
        break;
    case 4: { // information: blue square with a white border and a letter
        canvas.rect(cx - r, cy - r, cx + r, cy + r, White);
        canvas.rect(cx - r * 0.88, cy - r * 0.88, cx + r * 0.88, cy + r * 0.88, Blue);
        const double cell = r * 0.2;
        canvas.text(QStringLiteral("P"), cx - 2.5 * cell, cy - 3.5 * cell, cell, White);
        break;
    }
    case 5: // priority road: yellow diamond in a white one with a dark edge
        canvas.regular(cx, cy, r, 4, 0, Black);
        canvas.regular(cx, cy, r * 0.93, 4, 0, White);
        canvas.regular(cx, cy, r * 0.6, 4, 0, Yellow);
        break;
    default: // stop: red octagon with a white edge and bar
        canvas.regular(cx, cy, r, 8, M_PI / 8, White);
        canvas.regular(cx, cy, r * 0.9, 8, M_PI / 8, Red);
        canvas.rect(cx - r * 0.6, cy - r * 0.12, cx + r * 0.6, cy + r * 0.12, White);
        break;
    }
}

// Rule items, signs, markings and plates the comments cite (two-digit chapters included).
const QStringList& RuleItems() {
    static const QStringList items = {
        QStringLiteral("1.2"),  QStringLiteral("1.3"),  QStringLiteral("2.1.1"),
        QStringLiteral("2.5"),  QStringLiteral("6.2"),  QStringLiteral("8.1"),
        QStringLiteral("8.2"),  QStringLiteral("8.5"),  QStringLiteral("9.1"),
        QStringLiteral("9.10"), QStringLiteral("10.1"), QStringLiteral("10.3"),
        QStringLiteral("11.4"), QStringLiteral("12.4"), QStringLiteral("13.9"),
        QStringLiteral("14.1"), QStringLiteral("18.2"), QStringLiteral("19.1"),
        QStringLiteral("22.9"), QStringLiteral("24.3")};
    return items;
}
const QStringList& Signs() {
    static const QStringList items = {
        QStringLiteral("1.1"),   QStringLiteral("1.22"),   QStringLiteral("2.1"),
        QStringLiteral("2.4"),   QStringLiteral("2.5"),    QStringLiteral("3.1"),
        QStringLiteral("3.20"),  QStringLiteral("3.24"),   QStringLiteral("3.27"),
        QStringLiteral("4.1.1"), QStringLiteral("5.19.1"), QStringLiteral("6.4")};
    return items;
}
const QStringList& Markings() {
    static const QStringList items = {QStringLiteral("1.1"),  QStringLiteral("1.3"),
                                      QStringLiteral("1.4"),  QStringLiteral("1.5"),
                                      QStringLiteral("1.11"), QStringLiteral("1.14.1")};
    return items;
}
const QStringList& Plates() {
    static const QStringList items = {QStringLiteral("8.1.1"), QStringLiteral("8.2.1"),
                                      QStringLiteral("8.3.1"), QStringLiteral("8.5.4")};
    return items;
}

QString Pick(const QStringList& list, int k) {
    return list.at(k % list.size());
}

QString DemoComment(int n, int correct) {
    const QString r1 = Pick(RuleItems(), n), r2 = Pick(RuleItems(), n * 3 + 1);
    const QString s1 = Pick(Signs(), n), s2 = Pick(Signs(), n * 5 + 2);
    const QString m1 = Pick(Markings(), n), p1 = Pick(Plates(), n);
    const QString lead = QStringLiteral("Правильный ответ — %1. ").arg(correct);
    if (n % 40 == 13)
        return lead + QStringLiteral("Демонстрационный комментарий без ссылок на правила.");
    switch (n % 8) {
    case 0:
        return lead + QStringLiteral("Смотрите п. %1 ПДД.").arg(r1);
    case 1:
        return lead +
               QStringLiteral("Пункт %1 ПДД прямо говорит об этом; см. также п. %2.").arg(r1, r2);
    case 2:
        return lead + QStringLiteral("Знак %1 действует до ближайшего перекрёстка (п. %2 ПДД).")
                          .arg(s1, r1);
    case 3:
        return lead + QStringLiteral("Разметку %1 пересекать запрещено, см. п. %2 и знак %3 ПДД.")
                          .arg(m1, r1, s1);
    case 4:
        return lead +
               QStringLiteral("Табличка %1 уточняет зону действия знака %2 ПДД.").arg(p1, s1);
    case 5:
        return lead + QStringLiteral("Линия разметки %1 и знаки %2, %3 — см. п.п. %4 и %5 ПДД.")
                          .arg(m1, s1, s2, r1, r2);
    case 6:
        return lead + QStringLiteral("Скорость 60 км/ч не превышать, 1.2 ПДД; главное — п. %1 ПДД.")
                          .arg(r2);
    default: // more references than the help menu holds
        return lead + QStringLiteral("См. п. 1.2, 2.1.1, 8.1, 8.2, 9.10, 10.1, знак 2.4, 3.1, "
                                     "разметка 1.1, 1.3 и 1.5 ПДД.");
    }
}

const QStringList& AnswerPool() {
    static const QStringList pool = {
        QStringLiteral("Разрешено."),
        QStringLiteral("Запрещено."),
        QStringLiteral("Разрешено только при отсутствии встречных транспортных средств."),
        QStringLiteral("Только направо."),
        QStringLiteral("Только прямо или налево."),
        QStringLiteral("Уступить дорогу всем участникам движения."),
        QStringLiteral("Продолжить движение, не снижая скорости."),
        QStringLiteral("Остановиться перед стоп-линией."),
        QStringLiteral("Включить аварийную сигнализацию."),
        QStringLiteral("Действовать по своему усмотрению."),
        QStringLiteral("Разрешено при скорости не более 20 км/ч."),
        QStringLiteral("Все перечисленные варианты верны (демонстрация)."),
    };
    return pool;
}

const QStringList& QuestionStems(bool picture) {
    static const QStringList withPicture = {
        QStringLiteral("Что означает знак на рисунке?"),
        QStringLiteral("Разрешено ли водителю продолжить движение в ситуации на рисунке?"),
        QStringLiteral("Как следует поступить водителю перед этим знаком?"),
        QStringLiteral("В каком направлении разрешено движение?"),
    };
    static const QStringList withoutPicture = {
        QStringLiteral("Как следует поступить водителю в описанной ситуации?"),
        QStringLiteral("Какое действие разрешено правилами?"),
        QStringLiteral("Что обязан сделать водитель?"),
    };
    return picture ? withPicture : withoutPicture;
}

// Sign kinds repeat every 7 numbers and speed figures every 8.
constexpr int PictureCycle = 56;

QByteArray EncodeDemoPicture(int number, const DemoPictureShape& shape) {
    const RgbImage image = DrawDemoPicture(number, shape);
    // Simple drawings compress far below the limit; lowering the quality is only a guard.
    for (int quality = 85; quality > 0; quality -= 10) {
        auto jpeg = EncodeJpeg(image, quality, shape.Progressive);
        if (jpeg && jpeg->size() <= qsizetype(Database::MaxPictureBlob))
            return jpeg.value();
    }
    return {};
}

} // namespace

DemoPictureShape DemoPictureShapeOf(int number) {
    if (number % 3 == 0)
        return {};
    if (number == 2)
        return {3333, 1250, true};
    if (number % 50 == 7)
        return {1200, 240, false}; // very wide
    if (number % 50 == 11)
        return {260, 560, false}; // tall
    return {600, 225, false};
}

RgbImage DrawDemoPicture(int number, const DemoPictureShape& shape) {
    RgbImage image(shape.Width, shape.Height, Sky.R, Sky.G, Sky.B);
    Canvas canvas(image);
    const double w = shape.Width, h = shape.Height;
    // A road running into the distance, grass at the sides, a dashed centre line.
    canvas.rect(0, h * 0.55, w, h, Grass);
    canvas.polygon({{w * 0.45, h * 0.55}, {w * 0.55, h * 0.55}, {w * 0.95, h}, {w * 0.05, h}},
                   Asphalt);
    for (int k = 0; k < 5; ++k) {
        const double y0 = h * (0.58 + k * 0.085), y1 = y0 + h * 0.045;
        const double half = w * 0.004 * (1 + k);
        canvas.rect(w / 2 - half, y0, w / 2 + half, y1, White);
    }
    // One sign on a post, or a stack of two on a tall picture.
    const bool tall = h > w;
    const double r = tall ? w * 0.3 : h * 0.3;
    const double cx = tall ? w * 0.5 : w * 0.78;
    canvas.rect(cx - r * 0.08, h * 0.3, cx + r * 0.08, h * 0.8, Post);
    if (tall) {
        DrawSign(canvas, number, cx, h * 0.2, r, number);
        DrawSign(canvas, number + 3, cx, h * 0.2 + 2.2 * r, r, number);
    } else {
        DrawSign(canvas, number, cx, h * 0.33, r, number);
        if (w > 2.5 * h)
            DrawSign(canvas, number + 1, w * 0.2, h * 0.33, r, number);
    }
    return image;
}

std::vector<QuestionSource> DemoQuestions() {
    std::vector<QuestionSource> questions;
    questions.reserve(QuestionCount);
    const QStringList& pool = AnswerPool();
    std::map<qint64, QByteArray> encoded;
    for (int n = 1; n <= QuestionCount; ++n) {
        QuestionSource q;
        const DemoPictureShape shape = DemoPictureShapeOf(n);
        const bool picture = shape.Width > 0;
        const int count = 2 + (n * 5 + n / 20) % 4; // 2..5
        q.Correct = (n * 7 + n / 40) % count + 1;
        const QStringList& stems = QuestionStems(picture);
        q.Text = QStringLiteral("Демонстрационный вопрос %1 (билет %2, вопрос %3, тема «%4»). %5")
                     .arg(n)
                     .arg(TicketOf(n))
                     .arg(PositionOf(n))
                     .arg(ThemeNames(DefaultThemeOf(n)), stems.at(n % stems.size()));
        if (n == 20) // a long text for the layout of the windows
            for (int k = 0; k < 6; ++k)
                q.Text += QStringLiteral(" Этот вопрос нарочно длинный, чтобы проверить перенос "
                                         "строк и выравнивание текста в окнах программы.");
        for (int a = 0; a < count; ++a)
            q.Answers.push_back(pool.at((n + a * 5) % pool.size()));
        if (n == 22) // five long answers under a picture
            for (QString& answer : q.Answers)
                answer += QStringLiteral(" Так следует поступить, если иное не предписано знаками, "
                                         "разметкой или регулировщиком.");
        q.Comment = DemoComment(n, q.Correct);
        if (n == 5) // a comment longer than the study window shows at its smallest
            for (int k = 0; k < 14; ++k)
                q.Comment += QStringLiteral(" Это пояснение нарочно длинное: оно проверяет, что "
                                            "окно прокручивает комментарий, а кнопки ответов "
                                            "остаются видны.");
        if (picture) {
            // A drawing depends on the number only through number % PictureCycle: encode once.
            const qint64 key =
                (qint64(shape.Width) * 10000 + shape.Height) * PictureCycle + n % PictureCycle;
            auto it = encoded.find(key);
            if (it == encoded.end())
                it = encoded.emplace(key, EncodeDemoPicture(n, shape)).first;
            q.Jpeg = it->second;
        }
        questions.push_back(std::move(q));
    }
    return questions;
}

Status WriteDemoDatabase(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return WriteDatabase(path, DemoTitle, DemoQuestions());
}

} // namespace bil
