// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_jpeg.h"

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

#include <vector>

namespace bil::test {

QByteArray MakeTestJpeg(int width, int height, uint8_t seed, bool progressive, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr); // valid input only: the library never errs here
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(std::size_t(width) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) {
            row[std::size_t(x) * 3] = uint8_t(seed + x * 255 / (width > 1 ? width - 1 : 1));
            row[std::size_t(x) * 3 + 1] =
                uint8_t(seed * 3 + y * 255 / (height > 1 ? height - 1 : 1));
            row[std::size_t(x) * 3 + 2] = uint8_t(seed * 7 + (x + y) * 8);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray jpeg(reinterpret_cast<const char*>(buffer), qsizetype(size));
    free(buffer);
    return jpeg;
}

} // namespace bil::test
