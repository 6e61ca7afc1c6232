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

// Two 16-byte windows, one per lane, and a shuffle within each lane.
#define BIL_LANE_WINDOWS(TARGET)                                                                   \
    __attribute__((target(TARGET), always_inline)) inline __m256i LoadWindows(const uint8_t* s0,   \
                                                                              const uint8_t* s1) { \
        return _mm256_inserti128_si256(                                                            \
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s0))),         \
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(s1)), 1);                             \
    }                                                                                              \
    __attribute__((target(TARGET), always_inline)) inline __m256i Gather(__m256i px,               \
                                                                         __m256i mask) {           \
        return _mm256_shuffle_epi8(px, mask);                                                      \
    }

namespace avx2 {
__attribute__((target("avx2"), always_inline)) inline __m256i MulAdd(__m256i acc, __m256i a,
                                                                     __m256i b) {
    return _mm256_add_epi32(acc, _mm256_madd_epi16(a, b));
}
BIL_LANE_WINDOWS("avx2")
#define BIL_VECTOR_TARGET "avx2"
#include "data/resample_vector_kernels.inc"
#undef BIL_VECTOR_TARGET
} // namespace avx2

// One instruction for the products and the sum: the inner loops are bound by the count of
// operations, and this takes a quarter to a third of them away.
namespace vnni {
__attribute__((target("avx2,avx512vnni,avx512vl"), always_inline)) inline __m256i
MulAdd(__m256i acc, __m256i a, __m256i b) {
    return _mm256_dpwssd_epi32(acc, a, b);
}
BIL_LANE_WINDOWS("avx2,avx512vnni,avx512vl")
#define BIL_VECTOR_TARGET "avx2,avx512vnni,avx512vl"
#include "data/resample_vector_kernels.inc"
#undef BIL_VECTOR_TARGET
} // namespace vnni

// One 32-byte load per pixel pair and a byte permute across both lanes: the second lane's
// insert was one of the few operations per step, all on the same busy units.
namespace wide {
#define BIL_WIDE_TARGET "avx2,avx512vnni,avx512vl,avx512bw,avx512vbmi"
__attribute__((target(BIL_WIDE_TARGET), always_inline)) inline __m256i
MulAdd(__m256i acc, __m256i a, __m256i b) {
    return _mm256_dpwssd_epi32(acc, a, b);
}
__attribute__((target(BIL_WIDE_TARGET), always_inline)) inline __m256i
LoadWindows(const uint8_t* s0, const uint8_t*) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s0));
}
// The odd bytes are the 16-bit pairs' zero high halves.
__attribute__((target(BIL_WIDE_TARGET), always_inline)) inline __m256i Gather(__m256i px,
                                                                              __m256i mask) {
    return _mm256_maskz_permutexvar_epi8(0x55555555u, mask, px);
}
#define BIL_VECTOR_TARGET BIL_WIDE_TARGET
#define BIL_VECTOR_ROWS 8
#include "data/resample_vector_kernels.inc"
#undef BIL_VECTOR_ROWS
#undef BIL_VECTOR_TARGET
#undef BIL_WIDE_TARGET
} // namespace wide
#undef BIL_LANE_WINDOWS

bool CpuHasVnni() {
    __builtin_cpu_init();
    return CpuHasAvx2() && __builtin_cpu_supports("avx512vnni") &&
           __builtin_cpu_supports("avx512vl");
}

bool CpuHasBytePermute() {
    __builtin_cpu_init();
    return CpuHasVnni() && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi");
}

// Four destination pixels per register of doubles, each lane doing what the portable code does
// for its pixel, in the same order: no fused multiply-add (not in this target), so every
// rounding is the same.
__attribute__((target("avx2"))) int BellRunsVector(int n, int m, double scale, double support,
                                                   int bound, int* first, int* count,
                                                   int32_t* weights) {
    constexpr int MaxSlots = 32;
    if (bound > MaxSlots)
        return 0; // reductions that strong are rare; the portable code takes them
    const __m256d vn = _mm256_set1_pd(n), vm = _mm256_set1_pd(m);
    const __m256d vscale = _mm256_set1_pd(scale), vsupport = _mm256_set1_pd(support);
    const __m256d half = _mm256_set1_pd(0.5), threeHalves = _mm256_set1_pd(1.5);
    const __m256d threeQuarters = _mm256_set1_pd(0.75), unit = _mm256_set1_pd(65536.0);
    const __m256d sign = _mm256_set1_pd(-0.0);
    const __m256d one = _mm256_set1_pd(1.0);
    // Twice the slots, the upper half 0: every pixel copies `bound` cells from its first
    // contributor on, a count known ahead, where a count that varies cost a mispredicted jump
    // per pixel (the cells after its run are 0, and the closing up drops them).
    alignas(32) int32_t cell[2 * MaxSlots][4] = {};
    int i = 0;
    for (; i + 4 <= m; i += 4) {
        const __m256d index = _mm256_setr_pd(i, i + 1, i + 2, i + 3);
        const __m256d centre = _mm256_div_pd(_mm256_mul_pd(index, vn), vm);
        const __m256d lo = _mm256_floor_pd(_mm256_sub_pd(centre, vsupport));
        unsigned inside[4] = {0, 0, 0, 0}; // per pixel, a bit for each contributing slot
        for (int t = 0; t < bound; ++t) {
            const __m256d j = _mm256_add_pd(lo, _mm256_set1_pd(t));
            const __m256d x =
                _mm256_mul_pd(_mm256_andnot_pd(sign, _mm256_sub_pd(centre, j)), vscale);
            const __m256d in = _mm256_cmp_pd(x, threeHalves, _CMP_LT_OQ);
            const __m256d near = _mm256_sub_pd(threeQuarters, _mm256_mul_pd(x, x));
            const __m256d off = _mm256_sub_pd(x, threeHalves);
            const __m256d far = _mm256_mul_pd(_mm256_mul_pd(half, off), off);
            const __m256d k = _mm256_blendv_pd(far, near, _mm256_cmp_pd(x, half, _CMP_LT_OQ));
            const __m256d v = _mm256_mul_pd(_mm256_mul_pd(k, vscale), unit);
            // Halves to even, as RoundHalfEven, all in doubles (whole numbers, exact).
            const __m256d r = _mm256_floor_pd(v);
            const __m256d d = _mm256_sub_pd(v, r);
            const __m256d halfR = _mm256_mul_pd(r, half);
            const __m256d odd = _mm256_cmp_pd(halfR, _mm256_floor_pd(halfR), _CMP_NEQ_OQ);
            const __m256d up = _mm256_or_pd(_mm256_cmp_pd(d, half, _CMP_GT_OQ),
                                            _mm256_and_pd(_mm256_cmp_pd(d, half, _CMP_EQ_OQ), odd));
            const __m256d w = _mm256_and_pd(_mm256_add_pd(r, _mm256_and_pd(up, one)), in);
            _mm_store_si128(reinterpret_cast<__m128i*>(cell[t]), _mm256_cvttpd_epi32(w));
            const unsigned bits = static_cast<unsigned>(_mm256_movemask_pd(in));
            for (int lane = 0; lane < 4; ++lane)
                inside[lane] |= (bits >> lane & 1u) << t;
        }
        alignas(16) int32_t los[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(los), _mm256_cvttpd_epi32(lo));
        for (int lane = 0; lane < 4; ++lane) {
            // The contributors are one run of slots (at least the nearest position).
            const int from = __builtin_ctz(inside[lane]);
            const int runs = 32 - __builtin_clz(inside[lane]) - from;
            int32_t* w = weights + static_cast<std::size_t>(i + lane) * bound;
            for (int t = 0; t < bound; ++t)
                w[t] = cell[from + t][lane];
            first[i + lane] = los[lane] + from;
            count[i + lane] = runs;
        }
    }
    return i;
}

HorizontalKernel PickHorizontalKernel(int channels, int windows, int pairs, bool fused,
                                      bool wideWindows) {
    if (wideWindows)
        return wide::PickHorizontal(channels, windows, pairs);
    return fused ? vnni::PickHorizontal(channels, windows, pairs)
                 : avx2::PickHorizontal(channels, windows, pairs);
}

VerticalKernel PickVerticalKernel(bool fused) {
    return fused ? vnni::VerticalRow : avx2::VerticalRow;
}

#else

bool CpuHasAvx2() {
    return false;
}

bool CpuHasVnni() {
    return false;
}

bool CpuHasBytePermute() {
    return false;
}

int BellRunsVector(int, int, double, double, int, int*, int*, int32_t*) {
    return 0;
}

#endif

} // namespace bil::pixel_kernels
