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

namespace avx2 {
__attribute__((target("avx2"), always_inline)) inline __m256i MulAdd(__m256i acc, __m256i a,
                                                                     __m256i b) {
    return _mm256_add_epi32(acc, _mm256_madd_epi16(a, b));
}
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
#define BIL_VECTOR_TARGET "avx2,avx512vnni,avx512vl"
#include "data/resample_vector_kernels.inc"
#undef BIL_VECTOR_TARGET
} // namespace vnni

bool CpuHasVnni() {
    __builtin_cpu_init();
    return CpuHasAvx2() && __builtin_cpu_supports("avx512vnni") &&
           __builtin_cpu_supports("avx512vl");
}

HorizontalKernel PickHorizontalKernel(int channels, int windows, int pairs, bool fused) {
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

#endif

} // namespace bil::pixel_kernels
