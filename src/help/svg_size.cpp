// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/svg_size.h"

#include <QRegularExpression>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>

namespace bil {

std::optional<QSizeF> SvgSize(const QByteArray& bytes) {
    QXmlStreamReader xml(bytes);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() != QLatin1String("svg"))
            return std::nullopt;
        const auto attributes = xml.attributes();
        static const QRegularExpression length(
            QStringLiteral("^\\s*([0-9]*\\.?[0-9]+)\\s*(px)?\\s*$"));
        const auto w = length.match(attributes.value(QLatin1String("width")).toString());
        const auto h = length.match(attributes.value(QLatin1String("height")).toString());
        if (w.hasMatch() && h.hasMatch() && w.captured(1).toDouble() > 0 &&
            h.captured(1).toDouble() > 0)
            return QSizeF(w.captured(1).toDouble(), h.captured(1).toDouble());
        const QStringList box =
            attributes.value(QLatin1String("viewBox"))
                .toString()
                .split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        if (box.size() == 4 && box[2].toDouble() > 0 && box[3].toDouble() > 0)
            return QSizeF(box[2].toDouble(), box[3].toDouble());
        return QSizeF();
    }
    return std::nullopt;
}

QSize FitSignPicture(QSizeF size) {
    const double w = size.width();
    const double h = size.height();
    // A width of "1e999" reads as infinite; no scale makes that a size.
    if (!(w > 0) || !(h > 0) || !std::isfinite(w) || !std::isfinite(h))
        return QSize();
    const double boxWidth = w > h * 1.4 ? 200 : 120;
    const double scale = std::min(boxWidth / w, 120 / h);
    auto side = [&](double v) { return std::clamp(int(std::min(v * scale + 0.5, 1e6)), 1, 200); };
    return QSize(side(w), side(h));
}

} // namespace bil
