// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The inner loops of the picture resampler: the portable kernels and their vector twins, which
// give the same bytes. Only the picture units (picture.cpp, picture_weights.cpp) call them.

#include "data/picture.h"

#include <algorithm>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define BIL_PICTURE_X86 1
#endif

namespace bil::pixel_kernels {

// Mirrors a position at the edges; a reduction to one or two pixels can reach further than
// one mirror, and those positions take the nearest edge pixel.
inline int MirrorIndex(int j, int n) {
    if (j < 0)
        j = -j;
    else if (j >= n)
        j = 2 * n - j - 1;
    return std::clamp(j, 0, n - 1);
}

// Portable kernels: the reference the vector code must match byte for byte.
// Destination pixels from .. to - 1 of one row from the source row src.
void HorizontalPixelsScalar(const uint8_t* src, uint8_t* dst, int channels,
                            const Contributions& lists, int from, int to);
// One destination row of `bytes` bytes from `count` weighted rows; sums holds `bytes` entries.
void VerticalRowScalar(const uint8_t* const* rows, const int32_t* weight, int count, uint8_t* out,
                       int bytes, int32_t* sums);

// Whether this processor runs the AVX2 kernels (never off x86).
bool CpuHasAvx2();
// Whether it also runs their twins with the fused multiply-add (AVX-512 VNNI and VL).
bool CpuHasVnni();
// Whether it also runs the byte permute across a whole register (AVX-512 VBMI and BW).
bool CpuHasBytePermute();

// The weights of destination pixels from 0 on, four at a time, as BuildContributions lays them
// out before closing them up (bound slots each, contributors first); answers how many pixels
// it did (a multiple of four; 0 off x86). Same doubles, same operations: the same lists.
int BellRunsVector(int n, int m, double scale, double support, int bound, int* first, int* count,
                   int32_t* weights);

#ifdef BIL_PICTURE_X86

// Blocks blockFrom .. blockTo - 1 (two destination pixels each) of `rows` rows, each read from
// bases[r] and written to dsts[r], driven by the plan PictureFitter builds: source offsets per
// pixel and, per window step, shuffles and weights.
using HorizontalKernel = void (*)(const uint8_t* const* bases, uint8_t* const* dsts, int rows,
                                  const int32_t* offsets, const uint8_t* plan, int blockFrom,
                                  int blockTo, int windows, int pairs);
// The kernel for a plan of the given shape; `fused` for the twin with the fused multiply-add,
// `wideWindows` for the one that reads one 32-byte window per pixel pair from the first
// pixel's offset (a plan built for it: the second lane's shuffle indices count from there).
HorizontalKernel PickHorizontalKernel(int channels, int windows, int pairs, bool fused,
                                      bool wideWindows);

// One destination row of `bytes` bytes from pairs of rows weighed by packed 16-bit weight pairs.
using VerticalKernel = void (*)(const uint8_t* const* rows, const int32_t* packed, int pairs,
                                uint8_t* out, int bytes);
VerticalKernel PickVerticalKernel(bool fused);

#endif

} // namespace bil::pixel_kernels
