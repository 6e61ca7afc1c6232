// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/jpeg.h"

#include <cstdint>
#include <vector>

namespace bil::test {

// A photograph-like 24-bit BGR picture: gradients, shapes and noise, the same for one seed.
Bitmap PhotoLikeBitmap(int width, int height, uint32_t seed = 1);

// Encodes a 24-bit BGR bitmap (any stride) as a JPEG, baseline or progressive.
std::vector<uint8_t> EncodeJpeg(const Bitmap& picture, int quality = 85, bool progressive = false);

// A grey picture of the given size encoded as a JPEG.
std::vector<uint8_t> SampleJpeg(int width, int height, bool progressive = false);

} // namespace bil::test
