// Any bytes as a question picture: the header reader and the decoder at every scale either
// fail with a message or give a bitmap of the size the header promised.

#include "data/jpeg.h"
#include "fuzz_common.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 300000) // the largest picture blob a database may hold
        return 0;
    const Result<JpegInfo> info = ReadJpegInfo(data, size);
    if (!info) {
        FUZZ_CHECK(!info.error().isEmpty());
        FUZZ_CHECK(!DecodeJpeg(data, size, 1).ok());
        return 0;
    }
    FUZZ_CHECK(info->Width > 0 && info->Height > 0);
    FUZZ_CHECK(static_cast<long long>(info->Width) * info->Height <= MaxJpegPixels);
    // Full size only for small pictures, so one input costs milliseconds, not seconds.
    const long long pixels = static_cast<long long>(info->Width) * info->Height;
    Bitmap reused;
    for (int scale : {8, 4, 2, 1}) {
        if (pixels / (scale * scale) > 4'000'000)
            continue;
        const Result<Bitmap> picture = DecodeJpeg(data, size, scale);
        if (!picture) {
            FUZZ_CHECK(!picture.error().isEmpty());
            continue;
        }
        FUZZ_CHECK(picture->Width == (info->Width + scale - 1) / scale);
        FUZZ_CHECK(picture->Height == (info->Height + scale - 1) / scale);
        FUZZ_CHECK(picture->Pixels.size() >=
                   size_t(picture->Height) * size_t(picture->Width) * size_t(picture->Channels));
        // Touch the first and the last row: a wrong stride shows up here under ASan.
        volatile uint8_t sink = picture->row(0)[0];
        sink = picture->row(picture->Height - 1)[picture->Width * picture->Channels - 1];
        (void)sink;
        const Status again = DecodeJpegInto(data, size, scale, reused);
        FUZZ_CHECK(again.ok() == picture.ok());
    }
    return 0;
}
