// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <cstdint>

namespace bil::test {

// A small baseline (or progressive) JPEG of the given size: a colour gradient seeded by seed,
// so different seeds give different pictures.
QByteArray MakeTestJpeg(int width = 16, int height = 12, uint8_t seed = 0, bool progressive = false,
                        int quality = 90);

} // namespace bil::test
