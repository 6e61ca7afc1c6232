// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a WebP picture of the data set: decoding either fails with a message or gives an
// image that is re-encoded as a JPEG within the database's picture limit that reads back.

#include "data/database.h"
#include "data/jpeg.h"
#include "data/jpeg_encode.h"
#include "fuzz_common.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    auto image = DecodeWebp(bytes);
    if (!image) {
        FUZZ_CHECK(!image.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(image->Width > 0 && image->Height > 0);
    FUZZ_CHECK(image->Pixels.size() == std::size_t(image->Width) * std::size_t(image->Height) * 3);
    auto jpeg = EncodeJpegWithin(std::move(image.value()), int(Database::MaxPictureBlob));
    if (!jpeg) {
        FUZZ_CHECK(!jpeg.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(jpeg->size() <= qsizetype(Database::MaxPictureBlob));
    FUZZ_CHECK(DetectImageFormat(*jpeg) == ImageFormat::Jpeg);
    FUZZ_CHECK(
        ReadJpegInfo(reinterpret_cast<const uint8_t*>(jpeg->constData()), std::size_t(jpeg->size()))
            .ok());
    return 0;
}
