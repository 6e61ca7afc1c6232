// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/picture.h"

#include "data/resample_kernels.h"

#include <QString>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace bil {

int MulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    long long num = static_cast<long long>(a) * b;
    long long den = c;
    if (den < 0) {
        num = -num;
        den = -den;
    }
    // Halves go away from zero: add half the divisor toward the sign of the result.
    const long long half = den / 2;
    const long long q = num >= 0 ? (num + half) / den : (num - half) / den;
    if (q > INT_MAX || q < -INT_MAX)
        return -1;
    return static_cast<int>(q);
}

FitGeometry FittedSize(int sw, int sh, int tw, int th) {
    FitGeometry fit;
    if (th < MulDiv(sh, tw, sw)) {
        fit.Height = th;
        fit.Width = MulDiv(sw, th, sh);
    } else {
        fit.Width = tw;
        fit.Height = MulDiv(sh, tw, sw);
    }
    fit.Left = (tw - fit.Width) / 2;
    fit.Top = (th - fit.Height) / 2;
    return fit;
}

int ChooseDecodeScale(int fittedWidth, int imageWidth) {
    // w < 1.25 × W / d, in integers: 4 · d · w < 5 · W.
    const long long w = fittedWidth;
    long long width = imageWidth;
    if (8 * w >= 5 * width)
        return 1;
    width = (static_cast<long long>(imageWidth) + 1) / 2;
    if (16 * w >= 5 * width)
        return 2;
    width = (static_cast<long long>(imageWidth) + 3) / 4;
    if (32 * w >= 5 * width)
        return 4;
    return 8;
}

namespace {

const QString TooSmall = QStringLiteral("Source bitmap too small");

// Copies rows between bitmaps of any channel counts (3 <-> 4; alpha 255 when added).
void CopyPixels(const uint8_t* from, std::ptrdiff_t fromStride, int fromChannels, uint8_t* to,
                std::ptrdiff_t toStride, int toChannels, int width, int height) {
    for (int y = 0; y < height; ++y) {
        const uint8_t* s = from + y * fromStride;
        uint8_t* d = to + y * toStride;
        if (fromChannels == toChannels) {
            std::memcpy(d, s, static_cast<std::size_t>(width) * toChannels);
        } else if (toChannels == 4) {
            for (int x = 0; x < width; ++x, s += 3, d += 4) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
                d[3] = 255;
            }
        } else {
            for (int x = 0; x < width; ++x, s += 4, d += 3) {
                d[0] = s[0];
                d[1] = s[1];
                d[2] = s[2];
            }
        }
    }
}

// Brings the entry that matches into `current`, from the kept ones, and answers whether one did;
// otherwise `current` takes the place of the least recently used kept entry, to be rebuilt.
template <class Entry, std::size_t N, class Match>
bool Recall(Entry& current, std::array<Entry, N>& kept, unsigned use, Match matches) {
    if (!matches(current)) {
        Entry* slot = nullptr;
        for (Entry& e : kept)
            if (matches(e))
                slot = &e;
        if (!slot) {
            slot = &kept[0];
            for (Entry& e : kept)
                if (e.LastUse < slot->LastUse)
                    slot = &e;
        }
        std::swap(current, *slot);
    }
    current.LastUse = use;
    return matches(current);
}

} // namespace

PictureFitter::PictureFitter(bool useSimd, bool useFused, bool useWide)
    : m_simd(useSimd && pixel_kernels::CpuHasAvx2()),
      m_fused(m_simd && useFused && pixel_kernels::CpuHasVnni()),
      m_wide(m_fused && useWide && pixel_kernels::CpuHasBytePermute()) {}

void PictureFitter::prepareHorizontal(int n, int m, int channels) {
    if (Recall(m_h, m_keptH, ++m_uses, [&](const AcrossPlan& e) {
            return e.Key[0] == n && e.Key[1] == m && e.Key[2] == channels;
        }))
        return;
    BuildContributions(n, m, m_h.Lists, m_simd);
    m_h.Key[0] = n;
    m_h.Key[1] = m;
    m_h.Key[2] = channels;
    m_h.Blocks = 0;
    if (!m_simd)
        return;
    const int taps = m_h.Lists.Taps;
    const int perWindow = channels == 3 ? 5 : 4;
    const int windows = (taps + perWindow - 1) / perWindow;
    auto weightOf = [&](int i, int t) {
        return m_h.Lists.Weight[static_cast<std::size_t>(i) * taps + t];
    };
    int pairs = 1;
    for (int i = 0; i < m; ++i)
        for (int w = 0; w < windows; ++w) {
            int parts = 0;
            for (int t = w * perWindow; t < std::min(taps, (w + 1) * perWindow); ++t)
                parts += weightOf(i, t) > 32767 ? 2 : weightOf(i, t) > 0 ? 1 : 0;
            pairs = std::max(pairs, (parts + 1) / 2);
        }
    const int blocks = (m + 1) / 2;
    // An odd last pixel is paired with a copy of itself, written into the row padding.
    auto pixelOf = [&](int b, int lane) { return std::min(2 * b + lane, m - 1); };
    // The wide kernel reads both pixels' windows from the first one's: they must lie within
    // 32 bytes of it, as they do unless a reduction is far stronger than a fit ever asks for.
    bool wide = m_wide;
    for (int b = 0; b < blocks && wide; ++b) {
        const int apart = m_h.Lists.First[pixelOf(b, 1)] - m_h.Lists.First[pixelOf(b, 0)];
        wide = apart >= 0 && (apart + perWindow) * channels <= 32;
    }
    // Bytes a window's load reaches from the first pixel's window.
    const int reach = wide ? 32 : 16;
    // Pixels whose windows lie inside the source row read it directly; the others read
    // mirrored copies of the row ends.
    const int span = windows * perWindow + 1;
    auto inside = [&](int i) {
        const int f = m_h.Lists.First[i];
        return f >= 0 && f + taps <= n &&
               static_cast<long long>(f) * channels + (windows - 1) * perWindow * channels +
                       reach <=
                   static_cast<long long>(n) * channels;
    };
    int from = blocks, to = blocks;
    for (int b = 0; b < blocks; ++b)
        if (inside(pixelOf(b, 0)) && inside(pixelOf(b, 1))) {
            if (from == blocks)
                from = b;
            to = b + 1;
        }
    m_h.MiddleFrom = from;
    m_h.MiddleTo = to;
    m_h.LeftFirst = m_h.Lists.First[0];
    m_h.LeftPixels = from > 0 ? m_h.Lists.First[pixelOf(from - 1, 1)] + span - m_h.LeftFirst : 0;
    m_h.RightFirst = to < blocks ? m_h.Lists.First[pixelOf(to, 0)] : 0;
    m_h.RightPixels = to < blocks ? m_h.Lists.First[m - 1] + span - m_h.RightFirst : 0;

    m_h.Offsets.assign(static_cast<std::size_t>(2 * blocks), 0);
    m_h.Plan.assign(static_cast<std::size_t>(blocks) * windows * pairs * 64, 0);
    for (int b = 0; b < blocks; ++b) {
        for (int lane = 0; lane < 2; ++lane) {
            const int i = pixelOf(b, lane);
            const int f = m_h.Lists.First[i];
            const int origin = b < from ? m_h.LeftFirst : b >= to ? m_h.RightFirst : 0;
            m_h.Offsets[2 * b + lane] = (f - origin) * channels;
            // The wide kernel's second lane counts from the first pixel's window.
            const int base =
                wide && lane == 1 ? (f - m_h.Lists.First[pixelOf(b, 0)]) * channels : 0;
            for (int w = 0; w < windows; ++w) {
                uint8_t* step =
                    &m_h.Plan[((static_cast<std::size_t>(b) * windows + w) * pairs) * 64];
                for (int q = 0; q < pairs; ++q)
                    std::memset(step + q * 64 + lane * 16, 0x80, 16); // shuffle in zeros
                int slot = 0;
                auto put = [&](int pixel, int weight) {
                    uint8_t* mask = step + (slot / 2) * 64 + lane * 16;
                    auto* wts = reinterpret_cast<int16_t*>(step + (slot / 2) * 64 + 32) + lane * 8;
                    const int half = slot % 2;
                    for (int c = 0; c < channels; ++c) {
                        mask[2 * (2 * c + half)] =
                            static_cast<uint8_t>(base + pixel * channels + c);
                        wts[2 * c + half] = static_cast<int16_t>(weight);
                    }
                    ++slot;
                };
                for (int t = w * perWindow; t < std::min(taps, (w + 1) * perWindow); ++t) {
                    const int weight = weightOf(i, t);
                    if (weight > 32767) {
                        put(t - w * perWindow, weight / 2);
                        put(t - w * perWindow, weight - weight / 2);
                    } else if (weight > 0) {
                        put(t - w * perWindow, weight);
                    }
                }
            }
        }
    }
    m_h.Blocks = blocks;
    m_h.Windows = windows;
    m_h.Pairs = pairs;
    m_h.Wide = wide;
}

void PictureFitter::prepareMiddle(int w, int channels, int rows) {
    // Padding after each row takes the spare bytes of the vector code's four-byte stores.
    m_middleStride = static_cast<std::ptrdiff_t>(w) * channels + 16;
    // Only ever grown: pictures of other sizes come and go, and growing again would clear
    // the new part each time.
    const std::size_t bytes = static_cast<std::size_t>(m_middleStride) * rows;
    if (m_middle.size() < bytes)
        m_middle.resize(bytes);
}

void PictureFitter::horizontalRows(const Bitmap& src, int w, int yFrom, int yTo) {
    const int channels = src.Channels;
    const int n = src.Width;
#ifdef BIL_PICTURE_X86
    if (m_h.Blocks > 0) {
        const pixel_kernels::HorizontalKernel run = pixel_kernels::PickHorizontalKernel(
            channels, m_h.Windows, m_h.Pairs, m_fused, m_h.Wide);
        const std::size_t leftBytes = static_cast<std::size_t>(m_h.LeftPixels) * channels + 32;
        const std::size_t rightBytes = static_cast<std::size_t>(m_h.RightPixels) * channels + 32;
        m_leftEdge.resize(std::max(m_leftEdge.size(), leftBytes * BatchRows));
        m_rightEdge.resize(std::max(m_rightEdge.size(), rightBytes * BatchRows));
        // Pixel by pixel only where mirrored; the run inside the row in one copy (a copy per
        // pixel made a tenth of the resampling).
        auto fill = [&](uint8_t* edge, const uint8_t* s, int first, int pixels) {
            const int from = std::clamp(-first, 0, pixels);
            const int to = std::clamp(n - first, from, pixels);
            auto mirrored = [&](int k) {
                const uint8_t* p = s + pixel_kernels::MirrorIndex(first + k, n) * channels;
                if (channels == 3)
                    std::memcpy(edge + 3 * k, p, 3);
                else
                    std::memcpy(edge + 4 * k, p, 4);
            };
            for (int k = 0; k < from; ++k)
                mirrored(k);
            // In 16-byte pieces the compiler keeps inline; a library call per row cost more
            // than the copy.
            uint8_t* d = edge + static_cast<std::ptrdiff_t>(from) * channels;
            const uint8_t* p = s + static_cast<std::ptrdiff_t>(first + from) * channels;
            int bytes = (to - from) * channels;
            for (; bytes >= 16; bytes -= 16, d += 16, p += 16)
                std::memcpy(d, p, 16);
            for (; bytes > 0; --bytes)
                *d++ = *p++;
            for (int k = to; k < pixels; ++k)
                mirrored(k);
        };
        for (int y = yFrom; y < yTo; y += BatchRows) {
            const int rows = std::min(BatchRows, yTo - y);
            const uint8_t* sources[BatchRows];
            const uint8_t* lefts[BatchRows];
            const uint8_t* rights[BatchRows];
            uint8_t* outs[BatchRows];
            for (int r = 0; r < rows; ++r) {
                sources[r] = src.row(y + r);
                outs[r] = middleRow(y + r);
                uint8_t* left = m_leftEdge.data() + r * leftBytes;
                uint8_t* right = m_rightEdge.data() + r * rightBytes;
                fill(left, sources[r], m_h.LeftFirst, m_h.LeftPixels);
                fill(right, sources[r], m_h.RightFirst, m_h.RightPixels);
                lefts[r] = left;
                rights[r] = right;
            }
            run(lefts, outs, rows, m_h.Offsets.data(), m_h.Plan.data(), 0, m_h.MiddleFrom,
                m_h.Windows, m_h.Pairs);
            run(sources, outs, rows, m_h.Offsets.data(), m_h.Plan.data(), m_h.MiddleFrom,
                m_h.MiddleTo, m_h.Windows, m_h.Pairs);
            run(rights, outs, rows, m_h.Offsets.data(), m_h.Plan.data(), m_h.MiddleTo, m_h.Blocks,
                m_h.Windows, m_h.Pairs);
        }
        return;
    }
#endif
    for (int y = yFrom; y < yTo; ++y)
        pixel_kernels::HorizontalPixelsScalar(src.row(y), middleRow(y), channels, m_h.Lists, 0, w);
}

void PictureFitter::planRing(int n) {
    const Contributions& lists = m_v.Lists;
    const int m = static_cast<int>(lists.Count.size());
    m_v.Ready.resize(static_cast<std::size_t>(m));
    int done = 0, ring = 1;
    for (int y = 0; y < m; ++y) {
        const int* source = &lists.Source[static_cast<std::size_t>(y) * lists.Taps];
        int lo = n - 1, hi = 0;
        for (int t = 0; t < lists.Count[y]; ++t) {
            lo = std::min(lo, source[t]);
            hi = std::max(hi, source[t]);
        }
        while (done <= hi)
            done = std::min(n, done + BatchRows);
        m_v.Ready[y] = done;
        ring = std::max(ring, done - lo); // rows lo .. done - 1 are all kept at this point
    }
    m_v.Ring = std::min(n, ring);
    // Each row's entries for the kernels, their rows as places in the ring: worked out per row
    // and picture they cost a tenth of the vertical pass, a division per entry among it.
    const int taps = lists.Taps;
    const int width = 2 * taps + 2; // every entry twice (split weights) plus one for an odd count
    m_v.EntryWidth = width;
    m_v.Entries.assign(static_cast<std::size_t>(m), 0);
    m_v.Places.assign(static_cast<std::size_t>(m) * width, 0);
    m_v.Packed.assign(static_cast<std::size_t>(m) * width / 2, 0);
    for (int y = 0; y < m; ++y) {
        const int* source = &lists.Source[static_cast<std::size_t>(y) * taps];
        const int32_t* weight = &lists.Weight[static_cast<std::size_t>(y) * taps];
        int* places = &m_v.Places[static_cast<std::size_t>(y) * width];
        if (!m_simd) {
            for (int t = 0; t < lists.Count[y]; ++t)
                places[t] = source[t] % m_v.Ring;
            m_v.Entries[y] = lists.Count[y];
            continue;
        }
        int32_t* packed = &m_v.Packed[static_cast<std::size_t>(y) * width / 2];
        int entries = 0;
        auto put = [&](int t, int32_t wt) {
            places[entries] = source[t] % m_v.Ring;
            const uint32_t half = static_cast<uint16_t>(static_cast<int16_t>(wt));
            packed[entries / 2] = static_cast<int32_t>(static_cast<uint32_t>(packed[entries / 2]) |
                                                       half << (16 * (entries % 2)));
            ++entries;
        };
        for (int t = 0; t < lists.Count[y]; ++t) {
            if (weight[t] > 32767) {
                put(t, weight[t] / 2);
                put(t, weight[t] - weight[t] / 2);
            } else if (weight[t] > 0) {
                put(t, weight[t]);
            }
        }
        if (entries % 2 == 1)
            put(0, 0);
        m_v.Entries[y] = entries;
    }
}

void PictureFitter::verticalPass(const Bitmap& src, int w, int h, uint8_t* out,
                                 std::ptrdiff_t outStride) {
    const int bytes = w * src.Channels;
    m_rows.resize(static_cast<std::size_t>(m_v.EntryWidth));
    m_sums.resize(static_cast<std::size_t>(bytes));
#ifdef BIL_PICTURE_X86
    const pixel_kernels::VerticalKernel vertical = pixel_kernels::PickVerticalKernel(m_fused);
#endif
    int done = 0;
    for (int y = 0; y < h; ++y) {
        if (m_v.Ready[y] > done) {
            horizontalRows(src, w, done, m_v.Ready[y]);
            done = m_v.Ready[y];
        }
        const int entries = m_v.Entries[y];
        const int* places = &m_v.Places[static_cast<std::size_t>(y) * m_v.EntryWidth];
        for (int k = 0; k < entries; ++k)
            m_rows[k] = m_middle.data() + places[k] * m_middleStride;
        uint8_t* d = out + y * outStride;
#ifdef BIL_PICTURE_X86
        if (m_simd) {
            vertical(m_rows.data(), &m_v.Packed[static_cast<std::size_t>(y) * m_v.EntryWidth / 2],
                     entries / 2, d, bytes);
            continue;
        }
#endif
        pixel_kernels::VerticalRowScalar(
            m_rows.data(), &m_v.Lists.Weight[static_cast<std::size_t>(y) * m_v.Lists.Taps], entries,
            d, bytes, m_sums.data());
    }
}

void PictureFitter::resampleInto(const Bitmap& src, int w, int h, uint8_t* out,
                                 std::ptrdiff_t outStride) {
    prepareHorizontal(src.Width, w, src.Channels);
    if (!Recall(m_v, m_keptV, ++m_uses,
                [&](const DownLists& e) { return e.Key[0] == src.Height && e.Key[1] == h; })) {
        BuildContributions(src.Height, h, m_v.Lists, m_simd);
        planRing(src.Height);
        m_v.Key[0] = src.Height;
        m_v.Key[1] = h;
    }
    prepareMiddle(w, src.Channels, m_v.Ring);
    verticalPass(src, w, h, out, outStride);
}

Status PictureFitter::resample(const Bitmap& src, Bitmap& dst, int w, int h) {
    if (src.Width < 2 || src.Height < 2)
        return Status::Error(TooSmall);
    if (src.Channels != 3 && src.Channels != 4)
        return Status::Error(QStringLiteral("Unsupported pixel format"));
    if (w < 1 || h < 1) {
        dst.reset(0, 0, src.Channels);
        return Status::Ok();
    }
    if (&src == &dst && src.Width == w && src.Height == h)
        return Status::Ok();
    Bitmap& out = &src == &dst ? m_fitted : dst;
    out.reset(w, h, src.Channels);
    if (src.Width == w && src.Height == h)
        CopyPixels(src.row(0), src.Stride, src.Channels, out.row(0), out.Stride, out.Channels, w,
                   h);
    else
        resampleInto(src, w, h, out.row(0), out.Stride);
    if (&src == &dst)
        std::swap(dst, m_fitted);
    return Status::Ok();
}

Status PictureFitter::fitDecoded(const Bitmap& picture, const FitGeometry& fit, Bitmap& target) {
    if (picture.Width < 2 || picture.Height < 2)
        return Status::Error(TooSmall);
    if (picture.Channels != 3 && picture.Channels != 4)
        return Status::Error(QStringLiteral("Unsupported pixel format"));
    // Never draw outside the target, whatever the sizes.
    if (fit.Width < 1 || fit.Height < 1 || fit.Left < 0 || fit.Top < 0 ||
        fit.Left + fit.Width > target.Width || fit.Top + fit.Height > target.Height)
        return Status::Ok();
    uint8_t* at = target.row(fit.Top) + static_cast<std::ptrdiff_t>(fit.Left) * target.Channels;
    const bool same = picture.Width == fit.Width && picture.Height == fit.Height;
    if (picture.Channels == target.Channels) {
        if (same)
            CopyPixels(picture.row(0), picture.Stride, picture.Channels, at, target.Stride,
                       target.Channels, fit.Width, fit.Height);
        else
            resampleInto(picture, fit.Width, fit.Height, at, target.Stride);
        return Status::Ok();
    }
    const Bitmap* fitted = &picture;
    if (!same) {
        m_fitted.reset(fit.Width, fit.Height, picture.Channels);
        resampleInto(picture, fit.Width, fit.Height, m_fitted.row(0), m_fitted.Stride);
        fitted = &m_fitted;
    }
    CopyPixels(fitted->row(0), fitted->Stride, fitted->Channels, at, target.Stride, target.Channels,
               fit.Width, fit.Height);
    return Status::Ok();
}

Status PictureFitter::fitPicture(const Bitmap& picture, Bitmap& target) {
    return fitDecoded(
        picture, FittedSize(picture.Width, picture.Height, target.Width, target.Height), target);
}

// One decode for a fit: the header read once, the scale chosen from it. The resampling runs
// after the decode: interleaved with it, batch by batch, it cost more than it saved, the
// resampler's plan and rows and the decoder's tables pushing each other out of the cache.
class FitSink : public JpegSink {
public:
    explicit FitSink(const Bitmap& target) : m_target(target) {}

    int scaleFor(const JpegInfo& info) override {
        if (info.Width < 2 || info.Height < 2) {
            Failure = Status::Error(TooSmall);
            return 0;
        }
        Fit = FittedSize(info.Width, info.Height, m_target.Width, m_target.Height);
        if (Fit.Width < 1 || Fit.Height < 1)
            return 0;
        Decoding = true;
        int scale = ChooseDecodeScale(Fit.Width, info.Width);
        // A reduced decode must still leave the resampler two pixels each way.
        while (scale > 1 &&
               ((info.Width + scale - 1) / scale < 2 || (info.Height + scale - 1) / scale < 2))
            scale /= 2;
        return scale;
    }

    FitGeometry Fit;
    Status Failure = Status::Ok();
    bool Decoding = false; // the header asked for a decode

private:
    const Bitmap& m_target;
};

Status PictureFitter::fitJpeg(const uint8_t* data, std::size_t size, Bitmap& target) {
    FitSink sink(target);
    Status decoded = DecodeJpegInto(data, size, sink, m_decoded);
    if (!decoded)
        return decoded;
    if (!sink.Failure)
        return sink.Failure;
    if (!sink.Decoding)
        return Status::Ok();
    return fitDecoded(m_decoded, sink.Fit, target);
}

Status Resample(const Bitmap& src, Bitmap& dst, int w, int h) {
    PictureFitter fitter;
    return fitter.resample(src, dst, w, h);
}

Status FitJpeg(const uint8_t* data, std::size_t size, Bitmap& target) {
    PictureFitter fitter;
    return fitter.fitJpeg(data, size, target);
}

Status FitPicture(const Bitmap& picture, Bitmap& target) {
    PictureFitter fitter;
    return fitter.fitPicture(picture, target);
}

} // namespace bil
