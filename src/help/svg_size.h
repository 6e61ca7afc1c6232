// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The size a sign's SVG picture is shown at in the help pack, read from the picture itself.

#include <QByteArray>
#include <QSize>
#include <QSizeF>

#include <optional>

namespace bil {

// Display size of an SVG picture from its root element: width and height, else the view box;
// an empty size when it gives neither, nothing when the bytes are no SVG at all.
std::optional<QSizeF> SvgSize(const QByteArray& bytes);

// The picture's size fitted into 120 × 120 (plates wider than tall into 200 × 120), at least
// 1 × 1; empty for a size that is empty or not finite.
QSize FitSignPicture(QSizeF size);

} // namespace bil
