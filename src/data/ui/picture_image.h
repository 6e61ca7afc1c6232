// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/picture.h"

#include <QByteArray>
#include <QColor>
#include <QImage>

namespace bil {

// A view of the image's pixels, nothing copied: RGB32 and ARGB32 formats give four
// channels, BGR888 three. Other formats are converted in place first (one copy).
// The view is valid while the image is neither changed in format nor resized.
Bitmap BitmapViewOf(QImage& image);

// A view for reading only; an image of another format is converted into `holder`.
Bitmap ReadOnlyViewOf(const QImage& image, QImage& holder);

// A copy of the bitmap as an image (BGR888 for three channels, ARGB32 for four).
QImage ImageOf(const Bitmap& bitmap);

// Clears target to background and fits the JPEG into it, centred.
Status FitJpegToImage(PictureFitter& fitter, const QByteArray& jpeg, QImage& target,
                      const QColor& background);

// Clears target to background and fits the picture into it, centred.
Status FitPictureToImage(PictureFitter& fitter, const QImage& picture, QImage& target,
                         const QColor& background);

} // namespace bil
