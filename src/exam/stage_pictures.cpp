// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/stage_pictures.h"

#include <atomic>
#include <thread>

namespace bil {

std::vector<Bitmap> DecodeStagePictures(const std::vector<const QByteArray*>& jpegs) {
    std::vector<Bitmap> out(jpegs.size());
    std::atomic<std::size_t> next{0};
    // Each worker takes the next undecoded picture; the entries never overlap.
    auto work = [&] {
        for (std::size_t i = next++; i < jpegs.size(); i = next++) {
            const QByteArray* jpeg = jpegs[i];
            if (jpeg == nullptr || jpeg->isEmpty())
                continue;
            Result<Bitmap> b = DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg->constData()),
                                          std::size_t(jpeg->size()));
            if (b)
                out[i] = std::move(b).value();
        }
    };
    int pictures = 0;
    for (const QByteArray* j : jpegs)
        if (j != nullptr)
            ++pictures;
    if (pictures < 2) {
        work();
        return out;
    }
    std::thread helper(work);
    work();
    helper.join();
    return out;
}

} // namespace bil
