// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace bil {

// The program's texts break lines as LF CR (`LineBreak`, app/line_break.h), some as CR LF; a
// label or a message box would show the stray carriage return as a blank. Every pair, and a
// lone CR, becomes one LF.
inline QString DisplayLines(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool pair =
            i + 1 < text.size() && ((c == QLatin1Char('\n') && text[i + 1] == QLatin1Char('\r')) ||
                                    (c == QLatin1Char('\r') && text[i + 1] == QLatin1Char('\n')));
        if (pair)
            ++i;
        out += (pair || c == QLatin1Char('\r')) ? QChar(QLatin1Char('\n')) : c;
    }
    return out;
}

} // namespace bil
