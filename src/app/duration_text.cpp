// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/duration_text.h"

namespace bil {

QString FormatDuration(int seconds) {
    if (seconds < 0)
        seconds = 0;
    const int h = seconds / 3600 % 24, m = seconds / 60 % 60, s = seconds % 60;
    return QStringLiteral("%1:%2:%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(m, 2, 10, QLatin1Char('0'))
        .arg(s, 2, 10, QLatin1Char('0'));
}

} // namespace bil
