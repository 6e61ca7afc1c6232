// SPDX-License-Identifier: GPL-3.0-or-later
// The Bell-filter weights of a resampling pass.
#include "data/picture.h"
#include "data/resample_kernels.h"

#include <algorithm>
#include <cmath>

namespace bil {

namespace {

// floor() for values well inside the int range, without the library call (the weights of a
// pass are rebuilt for every new picture size).
int FloorInt(double v) {
    const int i = static_cast<int>(v);
    return i - (v < i ? 1 : 0);
}

// Without branches: the fractions are as good as random, and mispredicted jumps made most of
// the cost of building the weights.
int32_t RoundHalfEven(double v) {
    const int r = FloorInt(v);
    const double d = v - r;
    return r + static_cast<int>((d > 0.5) | ((d == 0.5) & ((r & 1) != 0)));
}

// The weights of destination pixel i, its contributors moved to the start of w (bound slots).
void BellRun(int i, int n, int m, double scale, double support, int32_t* w, int& first,
             int& count) {
    const double centre = static_cast<double>(i) * n / m;
    const int lo = FloorInt(centre - support);
    const int hi = -FloorInt(-(centre + support));
    // Every candidate from lo is weighed into its slot; the contributors (x < 1.5, where
    // the kernel is never 0) are one run, moved to the start afterwards.
    int from = -1, last = -1;
    for (int t = 0; t <= hi - lo; ++t) {
        const double x = std::fabs(centre - (lo + t)) * scale;
        const bool in = x < 1.5;
        const double k = x < 0.5 ? 0.75 - x * x : 0.5 * (x - 1.5) * (x - 1.5);
        w[t] = in ? RoundHalfEven(k * scale * 65536.0) : 0;
        from = in && from < 0 ? t : from;
        last = in ? t : last;
    }
    count = last - from + 1;
    for (int t = 0; t < count; ++t) // a short run: a loop beats a library call
        w[t] = w[from + t];
    first = lo + from;
}

} // namespace

void BuildContributions(int n, int m, Contributions& out, bool useVector) {
    const double scale = m < n ? static_cast<double>(m) / n : 1.0;
    const double support = 1.5 / scale;
    // Slots enough for every candidate position of one destination pixel; the lists are
    // built that wide in place and then closed up to the widest count.
    const int bound = static_cast<int>(2.0 * support) + 3;
    out.First.assign(static_cast<std::size_t>(m), 0);
    out.Count.assign(static_cast<std::size_t>(m), 0);
    out.Weight.resize(static_cast<std::size_t>(m) * bound);
    int i = 0;
    if (useVector && pixel_kernels::CpuHasAvx2())
        i = pixel_kernels::BellRunsVector(n, m, scale, support, bound, out.First.data(),
                                          out.Count.data(), out.Weight.data());
    for (; i < m; ++i)
        BellRun(i, n, m, scale, support, &out.Weight[static_cast<std::size_t>(i) * bound],
                out.First[i], out.Count[i]);
    int taps = 1;
    for (int c : out.Count)
        taps = std::max(taps, c);
    out.Taps = taps;
    out.Source.resize(static_cast<std::size_t>(m) * taps);
    // Forward in place: row i moves from i * bound down to i * taps, never over unread rows.
    for (i = 0; i < m; ++i) {
        const int f = out.First[i];
        const int count = out.Count[i];
        int* source = &out.Source[static_cast<std::size_t>(i) * taps];
        int32_t* to = &out.Weight[static_cast<std::size_t>(i) * taps];
        const int32_t* from = &out.Weight[static_cast<std::size_t>(i) * bound];
        const bool inside = f >= 0 && f + taps <= n;
        for (int t = 0; t < taps; ++t) {
            source[t] = inside ? f + t : pixel_kernels::MirrorIndex(f + t, n);
            to[t] = t < count ? from[t] : 0;
        }
    }
    out.Weight.resize(static_cast<std::size_t>(m) * taps);
}

} // namespace bil
