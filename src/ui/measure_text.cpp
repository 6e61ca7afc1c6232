// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/measure_text.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTextLayout>

#include <vector>

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

QFont PixelFont(const QString& family, int pixels, bool bold) {
    QFont f(LocalFamily(family));
    f.setPixelSize(pixels);
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

QString FitTextLines(const QFont& font, int width, int height, const QString& text) {
    constexpr Qt::Alignment Centred = Qt::AlignHCenter;
    width = std::max(width, 1);
    if (MeasureTextHeight(font, width, Centred, true, text) <= height)
        return text;
    // The lines as word wrap breaks them; paragraph breaks stay line breaks.
    QString flat = text;
    flat.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flat, font);
    QTextOption option(Centred);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    std::vector<std::pair<int, int>> lines; // start, length
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines.emplace_back(line.textStart(), line.textLength());
    }
    layout.endLayout();

    const QFontMetrics fm(font);
    const auto lineText = [&](size_t i) {
        QString part = flat.mid(lines[i].first, lines[i].second);
        part.remove(QChar::LineSeparator);
        return part.trimmed();
    };
    // Cutting the last line short never saves a line, so at least one whole line must go.
    QString shown;
    for (size_t keep = std::max<size_t>(lines.size(), 2) - 1; keep >= 1; --keep) {
        QStringList parts;
        for (size_t i = 0; i + 1 < keep; ++i)
            parts << lineText(i);
        // The rest of the text from the last kept line on, cut to one line with "…".
        QString rest = flat.mid(lines[keep - 1].first).simplified();
        rest.replace(QChar::LineSeparator, QLatin1Char(' '));
        // The ellipsis counts in the width, and ends the line even when the rest would fit.
        QString last = fm.elidedText(rest + QStringLiteral(" \u2026"), Qt::ElideRight, width);
        if (!last.endsWith(QChar(0x2026)))
            last += QChar(0x2026);
        parts << last;
        shown = parts.join(QLatin1Char('\n'));
        if (MeasureTextHeight(font, width, Centred, true, shown) <= height)
            break;
    }
    return shown;
}

int MeasureTextHeight(const QLabel& label) {
    return MeasureTextHeight(label, label.width());
}

int MeasureTextHeight(const QLabel& label, int width) {
    return MeasureTextHeight(label.font(), width, label.alignment(), label.wordWrap(),
                             label.text());
}

} // namespace bil
