// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/jpeg_encode.h"

#include "data/jpeg.h"

#include <webp/decode.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace bil {

RgbImage::RgbImage(int width, int height, uint8_t r, uint8_t g, uint8_t b)
    : Width(width), Height(height), Pixels(std::size_t(width) * height * 3) {
    for (std::size_t i = 0; i < Pixels.size(); i += 3) {
        Pixels[i] = r;
        Pixels[i + 1] = g;
        Pixels[i + 2] = b;
    }
}

ImageFormat DetectImageFormat(const QByteArray& bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    if (n >= 3 && p[0] == 0xFF && p[1] == 0xD8 && p[2] == 0xFF)
        return ImageFormat::Jpeg;
    if (n >= 12 && std::memcmp(p, "RIFF", 4) == 0 && std::memcmp(p + 8, "WEBP", 4) == 0)
        return ImageFormat::Webp;
    if (n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0)
        return ImageFormat::Png;
    if (n >= 6 && (std::memcmp(p, "GIF87a", 6) == 0 || std::memcmp(p, "GIF89a", 6) == 0))
        return ImageFormat::Gif;
    if (n >= 2 && p[0] == 'B' && p[1] == 'M')
        return ImageFormat::Bmp;
    return ImageFormat::Unknown;
}

const char* ImageFormatName(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpeg:
        return "JPEG";
    case ImageFormat::Webp:
        return "WebP";
    case ImageFormat::Png:
        return "PNG";
    case ImageFormat::Gif:
        return "GIF";
    case ImageFormat::Bmp:
        return "BMP";
    case ImageFormat::Unknown:
        break;
    }
    return "неизвестный";
}

namespace {

struct EncoderError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

void OnEncoderError(j_common_ptr info) {
    auto* err = reinterpret_cast<EncoderError*>(info->err);
    (*info->err->format_message)(info, err->Message);
    std::longjmp(err->Jump, 1);
}

void SilenceEncoder(j_common_ptr, int) {}

// Only plain C objects live in this frame, so the error jump skips no destructor.
bool EncodeRaw(const RgbImage& image, int quality, bool progressive, unsigned char** out,
               unsigned long* outSize, char* message) {
    jpeg_compress_struct info;
    EncoderError err;
    info.err = jpeg_std_error(&err.Manager);
    err.Manager.error_exit = OnEncoderError;
    err.Manager.emit_message = SilenceEncoder;
    err.Message[0] = 0;
    if (setjmp(err.Jump)) {
        std::strncpy(message, err.Message, JMSG_LENGTH_MAX);
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, out, outSize);
    info.image_width = JDIMENSION(image.Width);
    info.image_height = JDIMENSION(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    if (progressive)
        jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = std::size_t(image.Width) * 3;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(image.Pixels.data() + info.next_scanline * rowBytes);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

Result<QByteArray> EncodeJpeg(const RgbImage& image, int quality, bool progressive) {
    if (image.Width <= 0 || image.Height <= 0 || image.Width > 65500 || image.Height > 65500 ||
        image.Pixels.size() != std::size_t(image.Width) * image.Height * 3)
        return Status::Error(QStringLiteral("Неверный размер картинки для сжатия"));
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    char message[JMSG_LENGTH_MAX] = {};
    const bool ok = EncodeRaw(image, quality, progressive, &out, &outSize, message);
    QByteArray bytes;
    if (ok)
        bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    if (!ok)
        return Status::Error(
            QStringLiteral("Сбой сжатия JPEG: %1").arg(QString::fromLatin1(message)));
    return bytes;
}

Result<RgbImage> DecodeWebp(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    int width = 0;
    int height = 0;
    if (!WebPGetInfo(data, std::size_t(bytes.size()), &width, &height) || width <= 0 || height <= 0)
        return Status::Error(QStringLiteral("Повреждённая картинка WebP"));
    // A picture of the data set is well under a megapixel; a few bytes may claim thirty, and
    // decoding and re-encoding those would take seconds and hundreds of megabytes.
    if (qint64(width) * height > MaxWebpPixels)
        return Status::Error(
            QStringLiteral("Картинка WebP слишком велика (%1×%2 точек)").arg(width).arg(height));
    uint8_t* rgba = WebPDecodeRGBA(data, std::size_t(bytes.size()), &width, &height);
    if (!rgba)
        return Status::Error(QStringLiteral("Повреждённая картинка WebP"));
    RgbImage image(width, height);
    const std::size_t count = std::size_t(width) * height;
    for (std::size_t i = 0; i < count; ++i) {
        const uint8_t* s = rgba + i * 4;
        const unsigned a = s[3];
        for (int c = 0; c < 3; ++c)
            image.Pixels[i * 3 + c] = uint8_t((s[c] * a + 255 * (255 - a) + 127) / 255);
    }
    WebPFree(rgba);
    return image;
}

Result<RgbImage> DecodeJpegRgb(const QByteArray& bytes) {
    auto bitmap = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.constData()),
                             std::size_t(bytes.size()), 1, JpegDamage::Refuse);
    if (!bitmap)
        return bitmap.status();
    const Bitmap& b = bitmap.value();
    RgbImage image(b.Width, b.Height);
    for (int y = 0; y < b.Height; ++y) {
        const uint8_t* src = b.row(y);
        uint8_t* dst = image.at(0, y);
        for (int x = 0; x < b.Width; ++x) {
            dst[x * 3] = src[x * b.Channels + 2];
            dst[x * 3 + 1] = src[x * b.Channels + 1];
            dst[x * 3 + 2] = src[x * b.Channels];
        }
    }
    return image;
}

RgbImage HalveImage(const RgbImage& image) {
    const int w = std::max(1, image.Width / 2);
    const int h = std::max(1, image.Height / 2);
    RgbImage out(w, h);
    for (int y = 0; y < h; ++y) {
        const int y0 = std::min(image.Height - 1, y * 2);
        const int y1 = std::min(image.Height - 1, y * 2 + 1);
        for (int x = 0; x < w; ++x) {
            const int x0 = std::min(image.Width - 1, x * 2);
            const int x1 = std::min(image.Width - 1, x * 2 + 1);
            for (int c = 0; c < 3; ++c) {
                const int sum = image.at(x0, y0)[c] + image.at(x1, y0)[c] + image.at(x0, y1)[c] +
                                image.at(x1, y1)[c];
                out.at(x, y)[c] = uint8_t((sum + 2) / 4);
            }
        }
    }
    return out;
}

Result<QByteArray> EncodeJpegWithin(RgbImage image, int maxBytes) {
    static constexpr int Qualities[] = {90, 80, 70, 60, 50};
    for (;;) {
        for (int quality : Qualities) {
            auto jpeg = EncodeJpeg(image, quality);
            if (!jpeg)
                return jpeg;
            if (jpeg->size() <= maxBytes)
                return jpeg;
        }
        if (image.Width <= 1 && image.Height <= 1)
            return Status::Error(
                QStringLiteral("Картинку не удаётся сжать до %1 байт").arg(maxBytes));
        image = HalveImage(image);
    }
}

} // namespace bil
