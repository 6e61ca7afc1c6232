// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/jpeg.h"
#include "data/status.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bil {

// a × b / c in 64 bits, rounded to the nearest integer with halves away from zero;
// -1 when c is 0 or the result does not fit in an int (the window system's rounding).
int MulDiv(int a, int b, int c);

// Where a picture lands in an area: its fitted size and its top-left corner.
struct FitGeometry {
    int Width = 0;
    int Height = 0;
    int Left = 0;
    int Top = 0;
};

// Fits a sw × sh picture into a tw × th area keeping its aspect ratio, centred.
FitGeometry FittedSize(int sw, int sh, int tw, int th);

// The JPEG scale denominator (1, 2, 4 or 8) for a picture of the given full width shown
// `fittedWidth` pixels wide. Each further halving is tested against the width the decoder
// reports at the scale already chosen.
int ChooseDecodeScale(int fittedWidth, int imageWidth);

// Weights of one resampling pass from n source pixels to m destination pixels.
// Destination pixel i takes source pixels Source[i * Taps + t] with weights
// Weight[i * Taps + t] (16.16 fixed point), t < Count[i]; unused slots weigh 0.
// First[i] is the unmirrored source position of slot 0; slots hold consecutive positions.
struct Contributions {
    int Taps = 0;
    std::vector<int> First;
    std::vector<int> Count;
    std::vector<int> Source; // mirrored at the edges and clamped into 0 .. n-1
    std::vector<int32_t> Weight;
};

// Computes the Bell-filter weights of a pass (n >= 1, m >= 1); useVector false keeps to the
// portable code (both give the same lists).
void BuildContributions(int n, int m, Contributions& out, bool useVector = true);

// One channel value from a weighted sum: 0 below zero, 255 from 0xFF0001 up, else sum >> 16.
inline uint8_t ClampChannel(int32_t sum) {
    return sum < 0 ? 0 : sum >= 0xFF0001 ? 255 : static_cast<uint8_t>(sum >> 16);
}

// Resamples and fits pictures, keeping its working buffers and weight lists between calls
// so that refitting on every resize allocates nothing. Not thread-safe; one per window.
class PictureFitter {
public:
    // useSimd false forces the portable code, useFused false the vector code without the fused
    // multiply-add, useWide false the one without the byte permute across a whole register (all
    // give the same bytes); otherwise the best this processor runs.
    explicit PictureFitter(bool useSimd = true, bool useFused = true, bool useWide = true);

    bool usesSimd() const { return m_simd; }
    bool usesFused() const { return m_fused; }
    bool usesWide() const { return m_wide; }

    // Two-pass Bell resampling of a 3- or 4-channel bitmap to w × h; dst may be src.
    // Fails with "Source bitmap too small" below 2 × 2.
    Status resample(const Bitmap& src, Bitmap& dst, int w, int h);

    // Decodes the JPEG at a reduced scale where the fitted width allows, resamples it to
    // the fitted size and draws it centred into target (cleared beforehand by the caller).
    Status fitJpeg(const uint8_t* data, std::size_t size, Bitmap& target);

    // The same for a picture already decoded.
    Status fitPicture(const Bitmap& picture, Bitmap& target);

private:
    // Rows the vector code's horizontal pass takes together, sharing one read of its plan.
    static constexpr int BatchRows = 8;

    // Resamples src to w × h into rows starting at `out`, `outStride` bytes apart, with the
    // channel count of src.
    void resampleInto(const Bitmap& src, int w, int h, uint8_t* out, std::ptrdiff_t outStride);
    Status fitDecoded(const Bitmap& picture, const FitGeometry& fit, Bitmap& target);
    void prepareMiddle(int w, int channels, int rows);
    // Horizontal pass of source rows yFrom .. yTo - 1 into their places in the ring.
    void horizontalRows(const Bitmap& src, int w, int yFrom, int yTo);
    // The vertical pass, running the horizontal one in batches just ahead of it.
    void verticalPass(const Bitmap& src, int w, int h, uint8_t* out, std::ptrdiff_t outStride);
    // Fills the ring and the kernels' entries of m_v for a source n rows high.
    void planRing(int n);
    uint8_t* middleRow(int y) { return m_middle.data() + (y % m_v.Ring) * m_middleStride; }
    void prepareHorizontal(int n, int m, int channels);

    // The horizontal pass of one size: its weights and the vector code's plan.
    struct AcrossPlan {
        int Key[3] = {0, 0, 0}; // n, m, channels
        unsigned LastUse = 0;
        Contributions Lists;
        std::vector<uint8_t> Plan; // see prepareHorizontal
        std::vector<int32_t> Offsets;
        int Blocks = 0, Windows = 0, Pairs = 0;
        bool Wide = false; // built for the kernel that reads one window per pixel pair
        int MiddleFrom = 0, MiddleTo = 0; // blocks that read the source row itself
        int LeftFirst = 0, LeftPixels = 0, RightFirst = 0, RightPixels = 0;
    };
    // The vertical pass of one size.
    struct DownLists {
        int Key[2] = {0, 0}; // n, m
        unsigned LastUse = 0;
        Contributions Lists;
        // The horizontal pass's rows are kept in a ring of Ring rows, filled in batches just
        // ahead of the vertical pass, so that a fitter holds a dozen rows rather than a whole
        // picture's. Ready[y]: source rows done before output row y.
        std::vector<int> Ready;
        int Ring = 0;
        // Per output row, EntryWidth slots: the entries' places in the ring (the vector code's
        // entries: weights over 16 signed bits twice, an odd count padded), and for the vector
        // code their weights packed in pairs.
        int EntryWidth = 0;
        std::vector<int> Entries;
        std::vector<int> Places;
        std::vector<int32_t> Packed;
    };

    bool m_simd;
    bool m_fused;
    bool m_wide;
    // The passes in use, and a few of other sizes: pictures come in a handful of sizes, and
    // building the passes for a new size costs about a quarter of the resampling.
    AcrossPlan m_h;
    DownLists m_v;
    std::array<AcrossPlan, 3> m_keptH;
    std::array<DownLists, 3> m_keptV;
    unsigned m_uses = 0;
    std::vector<uint8_t> m_leftEdge, m_rightEdge; // mirrored copies around the row ends
    std::vector<uint8_t> m_middle;                // the ring of rows after the horizontal pass
    std::ptrdiff_t m_middleStride = 0;
    std::vector<const uint8_t*> m_rows;
    std::vector<int32_t> m_sums;
    Bitmap m_decoded;
    Bitmap m_fitted;
};

// Resample with a fitter of its own (allocates; windows keep a PictureFitter instead).
Status Resample(const Bitmap& src, Bitmap& dst, int w, int h);

// FitJpeg/FitPicture with a fitter of their own.
Status FitJpeg(const uint8_t* data, std::size_t size, Bitmap& target);
Status FitPicture(const Bitmap& picture, Bitmap& target);

} // namespace bil
