// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a question picture: the header reader and the decoder at every scale either
// fail with a message or give a bitmap of the size the header promised; fitting the picture
// into a question window either fails with a message or fills the target, and the vector
// and the portable resampler agree byte for byte.

#include "data/jpeg.h"
#include "data/picture.h"
#include "fuzz_common.h"

#include <cstring>

using namespace bil;

namespace {

// Fits the input into a target of the given size with both code paths and compares them.
void CheckFit(const uint8_t* data, size_t size, int w, int h) {
    static PictureFitter vector(true), portable(false);
    Bitmap a, b;
    a.reset(w, h, 3);
    b.reset(w, h, 3);
    std::memset(a.Pixels.data(), 0, a.Pixels.size());
    std::memset(b.Pixels.data(), 0, b.Pixels.size());
    const Status fa = vector.fitJpeg(data, size, a);
    const Status fb = portable.fitJpeg(data, size, b);
    FUZZ_CHECK(fa.ok() == fb.ok());
    if (!fa.ok()) {
        FUZZ_CHECK(!fa.message().isEmpty());
        return;
    }
    FUZZ_CHECK(a.Width == w && a.Height == h);
    for (int y = 0; y < h; ++y)
        FUZZ_CHECK(std::memcmp(a.row(y), b.row(y), size_t(w) * 3) == 0);
}

} // namespace

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
    // The question window's usual area, a sliver, and a size the input itself picks so the
    // fuzzer reaches odd ratios and every decode scale.
    if (pixels > 4'000'000)
        return 0;
    CheckFit(data, size, 420, 160);
    CheckFit(data, size, 3, 2);
    CheckFit(data, size, 1 + int(data[size / 2] % 251) * 3, 1 + int(data[size - 1] % 173));
    return 0;
}
