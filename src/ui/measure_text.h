// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>

class QLabel;

namespace bil {

// The font family that stands in for a family of the original design on this system:
// "Arial" -> "Liberation Sans", "Times New Roman" -> "Liberation Serif".
QString LocalFamily(const QString& family);
// A font of the design: family (mapped), point size, bold.
QFont DesignFont(const QString& family, int pointSize, bool bold = false);
// The same with a character height in pixels, as most of the design's labels give it.
QFont PixelFont(const QString& family, int pixels, bool bold = false);

// Height in pixels that text takes in this font, alignment and wrapping at the given width.
int MeasureTextHeight(const QFont& font, int width, Qt::Alignment alignment, bool wordWrap,
                      const QString& text);
// The text as it fits into a width × height box (word wrap, centred lines): all of it when it
// fits, else the lines that fit with the last one cut short by "…". Line breaks are explicit
// in the result. Never empty for a non-empty text: at least the first line is kept.
QString FitTextLines(const QFont& font, int width, int height, const QString& text);

// The same for a label's own font, width, alignment, wrapping and text.
int MeasureTextHeight(const QLabel& label);
// The same for a label laid out at another width.
int MeasureTextHeight(const QLabel& label, int width);

} // namespace bil
