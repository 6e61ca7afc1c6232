// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/ui/picture_image.h"

#include <cstring>

namespace bil {

namespace {

int ChannelsOf(QImage::Format format) {
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
        return 4; // 0xAARRGGBB words: blue, green, red, alpha in memory
    case QImage::Format_BGR888:
        return 3;
    default:
        return 0;
    }
}

Bitmap ViewOver(const QImage& image, uint8_t* first, int channels) {
    return Bitmap::view(first, image.width(), image.height(), channels, image.bytesPerLine());
}

} // namespace

Bitmap BitmapViewOf(QImage& image) {
    int channels = ChannelsOf(image.format());
    if (channels == 0 && !image.isNull()) {
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        channels = 4;
    }
    if (image.isNull())
        return Bitmap::view(nullptr, 0, 0, 3, 0);
    return ViewOver(image, image.bits(), channels);
}

Bitmap ReadOnlyViewOf(const QImage& image, QImage& holder) {
    const QImage* source = &image;
    int channels = ChannelsOf(image.format());
    if (channels == 0 && !image.isNull()) {
        holder = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                               : QImage::Format_RGB32);
        source = &holder;
        channels = 4;
    }
    if (source->isNull())
        return Bitmap::view(nullptr, 0, 0, 3, 0);
    // The fitter only reads a source; constBits() keeps the image shared.
    return ViewOver(*source, const_cast<uint8_t*>(source->constBits()), channels);
}

QImage ImageOf(const Bitmap& bitmap) {
    const bool four = bitmap.Channels == 4;
    QImage image(bitmap.Width, bitmap.Height, four ? QImage::Format_ARGB32 : QImage::Format_BGR888);
    const std::size_t bytes = static_cast<std::size_t>(bitmap.Width) * bitmap.Channels;
    for (int y = 0; y < bitmap.Height; ++y)
        std::memcpy(image.scanLine(y), bitmap.row(y), bytes);
    return image;
}

Status FitJpegToImage(PictureFitter& fitter, const QByteArray& jpeg, QImage& target,
                      const QColor& background) {
    Bitmap view = BitmapViewOf(target);
    target.fill(background);
    return fitter.fitJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()),
                          static_cast<std::size_t>(jpeg.size()), view);
}

Status FitPictureToImage(PictureFitter& fitter, const QImage& picture, QImage& target,
                         const QColor& background) {
    QImage holder;
    const Bitmap source = ReadOnlyViewOf(picture, holder);
    Bitmap view = BitmapViewOf(target);
    target.fill(background);
    return fitter.fitPicture(source, view);
}

} // namespace bil
