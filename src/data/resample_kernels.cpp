// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/resample_kernels.h"

#include <algorithm>
#include <cstring>

#ifdef BIL_PICTURE_X86
#include <immintrin.h>
#endif

namespace bil::pixel_kernels {

// Portable kernels: the reference the vector code must match byte for byte.
void HorizontalPixelsScalar(const uint8_t* src, uint8_t* dst, int channels,
                            const Contributions& lists, int from, int to) {
    const int taps = lists.Taps;
    for (int i = from; i < to; ++i) {
        const int* index = &lists.Source[static_cast<std::size_t>(i) * taps];
        const int32_t* weight = &lists.Weight[static_cast<std::size_t>(i) * taps];
        const int count = lists.Count[i];
        uint8_t* d = dst + static_cast<std::ptrdiff_t>(i) * channels;
        for (int c = 0; c < channels; ++c) {
            int32_t sum = 0;
            for (int t = 0; t < count; ++t)
                sum += weight[t] * src[index[t] * channels + c];
            d[c] = ClampChannel(sum);
        }
    }
}

void VerticalRowScalar(const uint8_t* const* rows, const int32_t* weight, int count, uint8_t* out,
                       int bytes, int32_t* sums) {
    std::fill(sums, sums + bytes, 0);
    for (int t = 0; t < count; ++t) {
        const uint8_t* r = rows[t];
        const int32_t w = weight[t];
        for (int x = 0; x < bytes; ++x)
            sums[x] += w * r[x];
    }
    for (int x = 0; x < bytes; ++x)
        out[x] = ClampChannel(sums[x]);
}

#ifdef BIL_PICTURE_X86

bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

namespace {

// Weighted sums of one pixel pair (one pixel per lane) over a window of its source run.
template <int Channels, int Pairs>
__attribute__((target("avx2"), always_inline)) inline __m256i
PairSums(const uint8_t* s0, const uint8_t* s1, const uint8_t* p, int windows, int pairs) {
    constexpr int WindowBytes = Channels == 3 ? 15 : 16;
    __m256i acc = _mm256_setzero_si256();
    const int steps = Pairs > 0 ? Pairs : pairs;
    for (int w = 0; w < (Pairs > 0 ? 1 : windows); ++w, s0 += WindowBytes, s1 += WindowBytes) {
        const __m256i px = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s0))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1)), 1);
        for (int q = 0; q < steps; ++q, p += 64) {
            const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            const __m256i wts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            acc = _mm256_add_epi32(acc, _mm256_madd_epi16(_mm256_shuffle_epi8(px, mask), wts));
        }
    }
    // sum >> 16 then saturation to 0..255 (below) is the same as ClampChannel.
    return _mm256_srai_epi32(acc, 16);
}

// PairSums for the same pixel pair in Rows rows, each shuffle and weight of the plan loaded
// once for all of them.
template <int Channels, int Pairs, int Rows>
__attribute__((target("avx2"), always_inline)) inline void
RowsPairSums(const uint8_t* const* bases, int32_t o0, int32_t o1, const uint8_t* p, int windows,
             int pairs, __m256i* sums) {
    constexpr int WindowBytes = Channels == 3 ? 15 : 16;
    __m256i acc[Rows];
    for (int r = 0; r < Rows; ++r)
        acc[r] = _mm256_setzero_si256();
    const int steps = Pairs > 0 ? Pairs : pairs;
    for (int w = 0; w < (Pairs > 0 ? 1 : windows); ++w, o0 += WindowBytes, o1 += WindowBytes) {
        __m256i px[Rows];
        for (int r = 0; r < Rows; ++r)
            px[r] = _mm256_inserti128_si256(
                _mm256_castsi128_si256(
                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(bases[r] + o0))),
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(bases[r] + o1)), 1);
        for (int q = 0; q < steps; ++q, p += 64) {
            __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
            __m256i wts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
            // Held in registers for all the rows: left to itself the compiler reads them from
            // memory at each use, and the loads, as many as the arithmetic, slow the pass.
            __asm__("" : "+x"(mask), "+x"(wts));
            for (int r = 0; r < Rows; ++r)
                acc[r] = _mm256_add_epi32(acc[r],
                                          _mm256_madd_epi16(_mm256_shuffle_epi8(px[r], mask), wts));
        }
    }
    for (int r = 0; r < Rows; ++r)
        sums[r] = _mm256_srai_epi32(acc[r], 16);
}

// Four destination pixels of rows r and r + 1 from their sums (a: pixels 0, 1; c: 2, 3): one
// pack to bytes and one reorder for the eight. For three channels each 16-byte store puts
// four spare bytes on the next pixels, written afterwards, or in the row padding.
template <int Channels>
__attribute__((target("avx2"), always_inline)) inline void
StoreTwoRows(uint8_t* const* dsts, std::ptrdiff_t at, int r, __m256i a0, __m256i c0, __m256i a1,
             __m256i c1) {
    const __m128i compact =
        Channels == 3 ? _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1)
                      : _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    // Pixels 0, 2 of both rows in lane 0 and pixels 1, 3 in lane 1, in order: row r, row r + 1.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    __m256i v = _mm256_packus_epi16(_mm256_packs_epi32(a0, c0), _mm256_packs_epi32(a1, c1));
    v = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, order),
                            _mm256_broadcastsi128_si256(compact));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dsts[r] + at), _mm256_castsi256_si128(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dsts[r + 1] + at), _mm256_extracti128_si256(v, 1));
}

// Two destination pixels per 256-bit register, one per 128-bit lane. Each lane loads a
// window of the pixel's source run and, per step, a byte shuffle lines up two contributors
// of every channel as 16-bit pairs, so that one multiply-add yields their weighted sum per
// channel. The plan holds, per pixel pair and step, the shuffle and the weights; weights
// over 16 signed bits are split in two halves on the same source pixel, and zero weights are
// left out, so every sum is exactly the portable code's 32-bit sum.
// The rows of a batch go through each stretch of the plan in turn, so that the plan, read
// once per row otherwise, is fetched from memory once per batch.
// Pairs > 0: one window of that many steps, known when compiled; 0: any.
template <int Channels, int Pairs>
__attribute__((target("avx2"))) void
HorizontalBlocksAvx2(const uint8_t* const* bases, uint8_t* const* dsts, int rows,
                     const int32_t* offsets, const uint8_t* plan, int blockFrom, int blockTo,
                     int windows, int pairs) {
    const std::size_t blockBytes = static_cast<std::size_t>(windows) * pairs * 64;
    const __m128i compact =
        Channels == 3 ? _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1)
                      : _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int b = blockFrom;
    // Four pixels at a time (see StoreTwoRows); a row left over packs them alone.
    for (; b + 2 <= blockTo; b += 2) {
        const uint8_t* p = plan + static_cast<std::size_t>(b) * blockBytes;
        const int32_t* o = offsets + 2 * b;
        const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(2 * b) * Channels;
        int r = 0;
        for (; r + 4 <= rows; r += 4) {
            __m256i a[4], c[4];
            RowsPairSums<Channels, Pairs, 4>(bases + r, o[0], o[1], p, windows, pairs, a);
            RowsPairSums<Channels, Pairs, 4>(bases + r, o[2], o[3], p + blockBytes, windows, pairs,
                                             c);
            StoreTwoRows<Channels>(dsts, at, r, a[0], c[0], a[1], c[1]);
            StoreTwoRows<Channels>(dsts, at, r + 2, a[2], c[2], a[3], c[3]);
        }
        for (; r + 2 <= rows; r += 2) {
            __m256i a[2], c[2];
            RowsPairSums<Channels, Pairs, 2>(bases + r, o[0], o[1], p, windows, pairs, a);
            RowsPairSums<Channels, Pairs, 2>(bases + r, o[2], o[3], p + blockBytes, windows, pairs,
                                             c);
            StoreTwoRows<Channels>(dsts, at, r, a[0], c[0], a[1], c[1]);
        }
        if (r < rows) {
            const uint8_t* base = bases[r];
            const __m256i a =
                PairSums<Channels, Pairs>(base + o[0], base + o[1], p, windows, pairs);
            const __m256i c =
                PairSums<Channels, Pairs>(base + o[2], base + o[3], p + blockBytes, windows, pairs);
            __m256i v = _mm256_packs_epi32(a, c); // lane 0: pixels 0, 2; lane 1: 1, 3
            v = _mm256_packus_epi16(v, v);
            __m128i out =
                _mm_unpacklo_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
            out = _mm_shuffle_epi8(out, compact);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dsts[r] + at), out);
        }
    }
    for (; b < blockTo; ++b)
        for (int r = 0; r < rows; ++r) {
            __m256i v = PairSums<Channels, Pairs>(
                bases[r] + offsets[2 * b], bases[r] + offsets[2 * b + 1],
                plan + static_cast<std::size_t>(b) * blockBytes, windows, pairs);
            v = _mm256_packs_epi32(v, v);
            v = _mm256_packus_epi16(v, v);
            const int32_t v0 = _mm_cvtsi128_si32(_mm256_castsi256_si128(v));
            const int32_t v1 = _mm_cvtsi128_si32(_mm256_extracti128_si256(v, 1));
            std::memcpy(dsts[r] + static_cast<std::ptrdiff_t>(2 * b) * Channels, &v0, 4);
            std::memcpy(dsts[r] + static_cast<std::ptrdiff_t>(2 * b + 1) * Channels, &v1, 4);
        }
}

__attribute__((target("avx2"), always_inline)) inline void
VerticalChunkAvx2(const uint8_t* const* rows, const int32_t* packed, int pairs, uint8_t* out,
                  int x) {
    const __m256i zero = _mm256_setzero_si256();
    __m256i a0 = zero, a1 = zero, a2 = zero, a3 = zero;
    for (int q = 0; q < pairs; ++q) {
        const __m256i w = _mm256_set1_epi32(packed[q]);
        const __m256i r0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * q] + x));
        const __m256i r1 =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2 * q + 1] + x));
        const __m256i lo = _mm256_unpacklo_epi8(r0, r1);
        const __m256i hi = _mm256_unpackhi_epi8(r0, r1);
        a0 = _mm256_add_epi32(a0, _mm256_madd_epi16(_mm256_unpacklo_epi8(lo, zero), w));
        a1 = _mm256_add_epi32(a1, _mm256_madd_epi16(_mm256_unpackhi_epi8(lo, zero), w));
        a2 = _mm256_add_epi32(a2, _mm256_madd_epi16(_mm256_unpacklo_epi8(hi, zero), w));
        a3 = _mm256_add_epi32(a3, _mm256_madd_epi16(_mm256_unpackhi_epi8(hi, zero), w));
    }
    // sum >> 16 then saturation to 0..255 is the same as ClampChannel; the lane-wise
    // packs undo the lane-wise unpacks, so the bytes come out in order.
    const __m256i p01 = _mm256_packs_epi32(_mm256_srai_epi32(a0, 16), _mm256_srai_epi32(a1, 16));
    const __m256i p23 = _mm256_packs_epi32(_mm256_srai_epi32(a2, 16), _mm256_srai_epi32(a3, 16));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x), _mm256_packus_epi16(p01, p23));
}

} // namespace

HorizontalKernel PickHorizontalKernel(int channels, int windows, int pairs) {
    const int c = channels == 3 ? 0 : 1;
    // One window of up to four steps has a kernel with its loop bounds known when compiled.
    static constexpr HorizontalKernel fixed[2][4] = {
        {HorizontalBlocksAvx2<3, 1>, HorizontalBlocksAvx2<3, 2>, HorizontalBlocksAvx2<3, 3>,
         HorizontalBlocksAvx2<3, 4>},
        {HorizontalBlocksAvx2<4, 1>, HorizontalBlocksAvx2<4, 2>, HorizontalBlocksAvx2<4, 3>,
         HorizontalBlocksAvx2<4, 4>}};
    if (windows == 1 && pairs >= 1 && pairs <= 4)
        return fixed[c][pairs - 1];
    return c == 0 ? HorizontalBlocksAvx2<3, 0> : HorizontalBlocksAvx2<4, 0>;
}

// One destination row from pairs of intermediate rows: bytes of the two rows are
// interleaved into 16-bit pairs and one multiply-add weighs both. Weights over 16 signed
// bits come as two entries on the same row, so the sums are the portable code's exactly.
__attribute__((target("avx2"))) void VerticalRowAvx2(const uint8_t* const* rows,
                                                     const int32_t* packed, int pairs, uint8_t* out,
                                                     int bytes) {
    int x = 0;
    for (; x + 32 <= bytes; x += 32)
        VerticalChunkAvx2(rows, packed, pairs, out, x);
    if (x < bytes) {
        if (bytes >= 32) {
            VerticalChunkAvx2(rows, packed, pairs, out,
                              bytes - 32); // overlaps bytes already written with the same values
        } else {
            for (; x < bytes; ++x) {
                int32_t sum = 0;
                for (int q = 0; q < pairs; ++q) {
                    sum += static_cast<int16_t>(packed[q] & 0xFFFF) * rows[2 * q][x];
                    sum += static_cast<int16_t>(packed[q] >> 16) * rows[2 * q + 1][x];
                }
                out[x] = ClampChannel(sum);
            }
        }
    }
}

#else

bool CpuHasAvx2() {
    return false;
}

#endif

} // namespace bil::pixel_kernels
