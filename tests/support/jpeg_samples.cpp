// SPDX-License-Identifier: GPL-3.0-or-later
#include "jpeg_samples.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace bil::test {

Bitmap PhotoLikeBitmap(int width, int height, uint32_t seed) {
    Bitmap bmp;
    bmp.reset(width, height, 3);
    uint32_t state = seed * 2654435761u + 12345u;
    auto noise = [&state]() {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 24) & 31) - 16;
    };
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bmp.row(y);
        for (int x = 0; x < width; ++x) {
            int b = 255 * x / (width > 1 ? width - 1 : 1);
            int g = 255 * y / (height > 1 ? height - 1 : 1);
            int r = (x * 7 + y * 3) % 256;
            // A disc and a bar with hard edges, like a sign and a road marking.
            const int dx = x - width / 3, dy = y - height / 2;
            if (dx * dx + dy * dy < (height / 4) * (height / 4)) {
                r = 220;
                g = 30;
                b = 40;
            }
            if (x > width * 3 / 5 && x < width * 3 / 5 + width / 10) {
                r = g = b = 245;
            }
            auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
            p[3 * x] = clamp(b + noise());
            p[3 * x + 1] = clamp(g + noise());
            p[3 * x + 2] = clamp(r + noise());
        }
    }
    return bmp;
}

std::vector<uint8_t> EncodeJpeg(const Bitmap& picture, int quality, bool progressive) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(picture.Width);
    cinfo.image_height = static_cast<JDIMENSION>(picture.Height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.row(static_cast<int>(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

std::vector<uint8_t> SampleJpeg(int width, int height, bool progressive) {
    Bitmap bmp;
    bmp.reset(width, height, 3);
    for (auto& v : bmp.Pixels)
        v = 128;
    return EncodeJpeg(bmp, 85, progressive);
}

} // namespace bil::test
