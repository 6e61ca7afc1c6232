// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/jpeg.h"

#include <QByteArray>

#include <vector>

namespace bil {

// Decodes the pictures of one exam stage at full size, on two threads when there are several.
// Entry i is empty (0 x 0) when jpegs[i] is nullptr or its picture is damaged.
std::vector<Bitmap> DecodeStagePictures(const std::vector<const QByteArray*>& jpegs);

} // namespace bil
