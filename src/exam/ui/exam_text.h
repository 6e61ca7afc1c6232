#pragma once

#include <QString>

namespace bil::examui {

// Texts keep the LF CR pairs of their source; a label shows a pair as one line break.
inline QString DisplayText(QString text) {
    return text.remove(QLatin1Char('\r'));
}

} // namespace bil::examui
