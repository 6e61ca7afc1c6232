// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace bil {

// A decoded picture: rows of 24-bit BGR (Channels 3) or 32-bit BGRA (Channels 4).
// Stride is the distance in bytes from one row to the next and may be negative (bottom-up);
// row(y) is always the y-th row from the top.
// The pixels live in Pixels, or, for a view of memory owned elsewhere (an image of the
// window system), at External; the owner keeps that memory alive while the view is used.
struct Bitmap {
    int Width = 0;
    int Height = 0;
    int Channels = 3;
    std::ptrdiff_t Stride = 0;
    std::vector<uint8_t> Pixels;
    std::ptrdiff_t Origin = 0; // byte offset of row 0 in Pixels (or from External)
    uint8_t* External = nullptr;

    uint8_t* base() { return External ? External : Pixels.data(); }
    const uint8_t* base() const { return External ? External : Pixels.data(); }
    uint8_t* row(int y) { return base() + Origin + y * Stride; }
    const uint8_t* row(int y) const { return base() + Origin + y * Stride; }
    // Makes an owning top-down bitmap of the given size and format (contents unspecified).
    // Keeps the buffer's capacity, so reusing one bitmap costs no new allocation.
    void reset(int width, int height, int channels);
    // A view of rows at `first` (row 0), `stride` bytes apart; nothing is copied.
    static Bitmap view(uint8_t* first, int width, int height, int channels, std::ptrdiff_t stride);
};

struct JpegInfo {
    int Width = 0;
    int Height = 0;
    bool Progressive = false;
};

// Largest picture the decoder accepts, in pixels of the full-size image.
inline constexpr long long MaxJpegPixels = 50'000'000;

// What a decode makes of damage the library can decode past (data cut short after the scan
// began, a corrupt stretch of it): the windows show what was decoded (the rest is grey), the
// database tools refuse the picture so that it gets repaired.
enum class JpegDamage { Show, Refuse };

// Reads the header only. Fails on damaged data and on pictures over 50 megapixels.
Result<JpegInfo> ReadJpegInfo(const uint8_t* data, std::size_t size);

// Decodes at 1/scaleDenom (1, 2, 4 or 8) in the accurate DCT mode into 24-bit BGR.
// Damage that stops decoding is an error value; the library is never allowed to end the process.
Result<Bitmap> DecodeJpeg(const uint8_t* data, std::size_t size, int scaleDenom = 1,
                          JpegDamage damage = JpegDamage::Show);

// DecodeJpeg into a bitmap the caller keeps between calls (its buffer is reused).
// On failure the bitmap is left empty (0 x 0).
Status DecodeJpegInto(const uint8_t* data, std::size_t size, int scaleDenom, Bitmap& out,
                      JpegDamage damage = JpegDamage::Show);

// Chooses the scale of one decode from its header, so that the header is read once.
class JpegSink {
public:
    virtual ~JpegSink() = default;
    // The scale denominator (1, 2, 4 or 8) for a picture with this header; 0 ends the decode
    // there, successfully, with the bitmap left empty.
    virtual int scaleFor(const JpegInfo& info) = 0;
};

// DecodeJpegInto with the scale chosen by the sink from the header.
Status DecodeJpegInto(const uint8_t* data, std::size_t size, JpegSink& sink, Bitmap& out,
                      JpegDamage damage = JpegDamage::Show);

} // namespace bil
