#include "study/ui/measure_text.h"

#include <QFontMetrics>
#include <QLabel>

namespace bil {

QString LocalFamily(const QString& family) {
    if (family == QLatin1String("Arial"))
        return QStringLiteral("Liberation Sans");
    if (family == QLatin1String("Times New Roman"))
        return QStringLiteral("Liberation Serif");
    return family;
}

QFont DesignFont(const QString& family, int pointSize, bool bold) {
    QFont f(LocalFamily(family));
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

int MeasureTextHeight(const QFont& font, int width, Qt::Alignment alignment, bool wordWrap,
                      const QString& text) {
    if (text.isEmpty())
        return 0;
    const QFontMetrics fm(font);
    int flags = int(alignment);
    if (wordWrap)
        flags |= Qt::TextWordWrap;
    // A very tall box: only the wrapped height is wanted.
    return fm.boundingRect(QRect(0, 0, std::max(width, 1), 1 << 20), flags, text).height();
}

int MeasureTextHeight(const QLabel& label) {
    return MeasureTextHeight(label, label.width());
}

int MeasureTextHeight(const QLabel& label, int width) {
    return MeasureTextHeight(label.font(), width, label.alignment(), label.wordWrap(),
                             label.text());
}

} // namespace bil
