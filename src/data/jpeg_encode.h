// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace bil {

// A plain picture: tightly packed top-down rows of 8-bit R, G, B.
struct RgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // Width * Height * 3

    RgbImage() = default;
    RgbImage(int width, int height, uint8_t r = 255, uint8_t g = 255, uint8_t b = 255);
    uint8_t* at(int x, int y) { return Pixels.data() + (std::size_t(y) * Width + x) * 3; }
    const uint8_t* at(int x, int y) const {
        return Pixels.data() + (std::size_t(y) * Width + x) * 3;
    }
};

// What a picture file really holds, judged by its first bytes (names often lie).
enum class ImageFormat { Unknown, Jpeg, Webp, Png, Gif, Bmp };
ImageFormat DetectImageFormat(const QByteArray& bytes);
const char* ImageFormatName(ImageFormat format);

// Encodes with libjpeg-turbo; baseline unless progressive. Deterministic for equal input.
Result<QByteArray> EncodeJpeg(const RgbImage& image, int quality, bool progressive = false);

// Decodes a WebP file (lossy or lossless; alpha is dropped onto white).
// Larger WebP pictures are refused before they are decoded (4096×4096).
inline constexpr long long MaxWebpPixels = 4096LL * 4096;
Result<RgbImage> DecodeWebp(const QByteArray& bytes);

// Decodes a JPEG file with the program's decoder, as RGB.
Result<RgbImage> DecodeJpegRgb(const QByteArray& bytes);

// Halves both sides (each output pixel the mean of a 2x2 block); sides never drop below 1.
RgbImage HalveImage(const RgbImage& image);

// Baseline JPEG of at most maxBytes: lowers the quality step by step, then halves the picture
// and starts again. Fails only for pictures that cannot shrink further.
Result<QByteArray> EncodeJpegWithin(RgbImage image, int maxBytes);

} // namespace bil
