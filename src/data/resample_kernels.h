// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The inner loops of the picture resampler: the portable kernels and their AVX2 twins, which
// give the same bytes. Only data/picture.cpp calls them.

#include "data/picture.h"

#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)
#define BIL_PICTURE_X86 1
#endif

namespace bil::pixel_kernels {

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

#ifdef BIL_PICTURE_X86

// Blocks blockFrom .. blockTo - 1 (two destination pixels each) of `rows` rows, each read from
// bases[r] and written to dsts[r], driven by the plan PictureFitter builds: source offsets per
// pixel and, per window step, shuffles and weights.
using HorizontalKernel = void (*)(const uint8_t* const* bases, uint8_t* const* dsts, int rows,
                                  const int32_t* offsets, const uint8_t* plan, int blockFrom,
                                  int blockTo, int windows, int pairs);
// The kernel for a plan of the given shape; `fused` for the twin with the fused multiply-add.
HorizontalKernel PickHorizontalKernel(int channels, int windows, int pairs, bool fused);

// One destination row of `bytes` bytes from pairs of rows weighed by packed 16-bit weight pairs.
using VerticalKernel = void (*)(const uint8_t* const* rows, const int32_t* packed, int pairs,
                                uint8_t* out, int bytes);
VerticalKernel PickVerticalKernel(bool fused);

#endif

} // namespace bil::pixel_kernels
