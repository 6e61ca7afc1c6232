// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

namespace bil {

// cp1251 bytes -> text (iconv). Every byte value decodes to some character.
QString DecodeCp1251(const char* data, qsizetype size);
inline QString DecodeCp1251(const QByteArray& bytes) {
    return DecodeCp1251(bytes.constData(), bytes.size());
}

// Text -> cp1251 bytes; a character cp1251 cannot hold is an error naming it,
// unless replace is set (it becomes '?').
Result<QByteArray> EncodeCp1251(const QString& text, bool replace = false);

} // namespace bil
