// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/picture.h"
#include "jpeg_samples.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <random>

using bil::Bitmap;
using bil::PictureFitter;

namespace {

Bitmap Make(int w, int h, int channels, const std::function<int(int, int, int)>& value) {
    Bitmap bmp;
    bmp.reset(w, h, channels);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < channels; ++c)
                bmp.row(y)[x * channels + c] = static_cast<uint8_t>(value(x, y, c));
    return bmp;
}

Bitmap Noise(int w, int h, int channels, uint32_t seed) {
    std::mt19937 rng(seed);
    return Make(w, h, channels, [&](int, int, int) { return static_cast<int>(rng() & 0xFF); });
}

// The same pixels stored bottom-up (negative stride).
Bitmap BottomUp(const Bitmap& src) {
    Bitmap bmp;
    bmp.Width = src.Width;
    bmp.Height = src.Height;
    bmp.Channels = src.Channels;
    const std::ptrdiff_t line = static_cast<std::ptrdiff_t>(src.Width) * src.Channels + 5;
    bmp.Pixels.assign(static_cast<std::size_t>(line * src.Height), 0xEE);
    bmp.Stride = -line;
    bmp.Origin = line * (src.Height - 1);
    for (int y = 0; y < src.Height; ++y)
        std::memcpy(bmp.row(y), src.row(y), static_cast<std::size_t>(src.Width) * src.Channels);
    return bmp;
}

std::vector<uint8_t> Rows(const Bitmap& bmp) {
    std::vector<uint8_t> out;
    for (int y = 0; y < bmp.Height; ++y)
        out.insert(out.end(), bmp.row(y), bmp.row(y) + bmp.Width * bmp.Channels);
    return out;
}

// Runs the resampler with the portable code and, where the processor has them, each vector
// code (plain, with the fused multiply-add, and with the byte permute too), and insists all
// give the same bytes.
std::vector<uint8_t> ResampleBoth(const Bitmap& src, int w, int h) {
    PictureFitter portable(false);
    Bitmap a;
    EXPECT_TRUE(portable.resample(src, a, w, h).ok());
    EXPECT_EQ(a.Width, w);
    EXPECT_EQ(a.Height, h);
    for (int level : {0, 1, 2}) {
        PictureFitter vector(true, level >= 1, level >= 2);
        Bitmap b;
        EXPECT_TRUE(vector.resample(src, b, w, h).ok());
        EXPECT_EQ(Rows(a), Rows(b)) << src.Width << "x" << src.Height << " -> " << w << "x" << h
                                    << " ch" << src.Channels << " vector level " << level;
    }
    return Rows(a);
}

} // namespace

TEST(PictureMath, MulDivRoundsHalvesAwayFromZero) {
    EXPECT_EQ(bil::MulDiv(225, 420, 604), 156); // 156.46
    EXPECT_EQ(bil::MulDiv(3, 1, 2), 2);         // 1.5
    EXPECT_EQ(bil::MulDiv(5, 1, 2), 3);         // 2.5, not to even
    EXPECT_EQ(bil::MulDiv(-3, 1, 2), -2);
    EXPECT_EQ(bil::MulDiv(3, -1, 2), -2);
    EXPECT_EQ(bil::MulDiv(7, 2, -4), -4); // -3.5
    EXPECT_EQ(bil::MulDiv(-7, 2, -4), 4);
    EXPECT_EQ(bil::MulDiv(1, 1, 3), 0);
    EXPECT_EQ(bil::MulDiv(2, 1, 3), 1);
    EXPECT_EQ(bil::MulDiv(5, 7, 0), -1);
    EXPECT_EQ(bil::MulDiv(INT_MAX, 2, 1), -1);
    EXPECT_EQ(bil::MulDiv(INT_MAX, INT_MAX, INT_MAX), INT_MAX); // 64-bit product
    EXPECT_EQ(bil::MulDiv(INT_MIN, 1, 1), -1);
}

TEST(PictureMath, FittedSizeKeepsAspectAndCentres) {
    // Wide picture in a tall area: limited by the width, centred vertically.
    auto wide = bil::FittedSize(604, 225, 420, 400);
    EXPECT_EQ(wide.Width, 420);
    EXPECT_EQ(wide.Height, 156);
    EXPECT_EQ(wide.Left, 0);
    EXPECT_EQ(wide.Top, 122);
    // Tall picture in a wide area: limited by the height, centred horizontally.
    auto tall = bil::FittedSize(100, 300, 400, 150);
    EXPECT_EQ(tall.Width, 50);
    EXPECT_EQ(tall.Height, 150);
    EXPECT_EQ(tall.Left, 175);
    EXPECT_EQ(tall.Top, 0);
    // Odd leftovers: the extra pixel goes to the right / bottom.
    auto odd = bil::FittedSize(10, 10, 11, 5);
    EXPECT_EQ(odd.Width, 5);
    EXPECT_EQ(odd.Left, 3);
    // Exactly the area's aspect: the whole area.
    auto exact = bil::FittedSize(300, 100, 600, 200);
    EXPECT_EQ(exact.Width, 600);
    EXPECT_EQ(exact.Height, 200);
    EXPECT_EQ(exact.Left, 0);
    EXPECT_EQ(exact.Top, 0);
}

TEST(PictureMath, DecodeScaleTestsTheAlreadyReducedWidth) {
    // 604 wide: half below 1.25 × 604 / 2 = 377.5; then the width reported at half size,
    // 302, is divided: quarter below 1.25 × 302 / 4 = 94.375; then 151: eighth below
    // 1.25 × 151 / 8 = 23.6 (not 1.25 × 604 / 8 = 94.4).
    EXPECT_EQ(bil::ChooseDecodeScale(604, 604), 1);
    EXPECT_EQ(bil::ChooseDecodeScale(420, 604), 1);
    EXPECT_EQ(bil::ChooseDecodeScale(378, 604), 1);
    EXPECT_EQ(bil::ChooseDecodeScale(377, 604), 2);
    EXPECT_EQ(bil::ChooseDecodeScale(95, 604), 2);
    EXPECT_EQ(bil::ChooseDecodeScale(94, 604), 4);
    EXPECT_EQ(bil::ChooseDecodeScale(24, 604), 4);
    EXPECT_EQ(bil::ChooseDecodeScale(23, 604), 8);
    EXPECT_EQ(bil::ChooseDecodeScale(1, 604), 8);
    // Odd width: the decoder reports 1667 at half and 834 at quarter size (rounded up).
    EXPECT_EQ(bil::ChooseDecodeScale(2084, 3333), 1); // 2084 >= 4166.25 / 2
    EXPECT_EQ(bil::ChooseDecodeScale(2083, 3333), 2);
    EXPECT_EQ(bil::ChooseDecodeScale(600, 3333), 2);
    EXPECT_EQ(bil::ChooseDecodeScale(521, 3333), 2); // 521 >= 1.25 × 1667 / 4 = 520.9
    EXPECT_EQ(bil::ChooseDecodeScale(520, 3333), 4);
    EXPECT_EQ(bil::ChooseDecodeScale(131, 3333), 4); // 131 >= 1.25 × 834 / 8 = 130.3
    EXPECT_EQ(bil::ChooseDecodeScale(130, 3333), 8);
}

TEST(PictureWeights, HandComputedLists) {
    bil::Contributions list;
    // 4 -> 2: scale 0.5, support 3. Pixel 0, centre 0: |j| = 0, 1, 2 give x = 0, 0.5, 1 and
    // k = 0.75, 0.5, 0.125, weights k × 0.5 × 65536 = 24576, 16384, 4096; j = -1, -2 mirror
    // to 1, 2. Pixel 1, centre 2: j = 0..4, and j = 4 mirrors to 2n - j - 1 = 3.
    bil::BuildContributions(4, 2, list);
    EXPECT_EQ(list.Taps, 5);
    EXPECT_EQ(list.First, (std::vector<int>{-2, 0}));
    EXPECT_EQ(list.Source, (std::vector<int>{2, 1, 0, 1, 2, 0, 1, 2, 3, 3}));
    EXPECT_EQ(list.Weight, (std::vector<int32_t>{4096, 16384, 24576, 16384, 4096, 4096, 16384,
                                                 24576, 16384, 4096}));

    // 3 -> 2: scale 2/3, support 2.25; not normalised: 64322 and 66748 in all.
    // Pixel 0: x = 0 -> 0.75 × 2/3 = 32768; x = 2/3 -> 0.5 × (5/6)² × 2/3 × 65536 = 15170.4;
    // x = 4/3 -> 0.5 × (1/6)² × 2/3 × 65536 = 606.8. Pixel 1, centre 1.5: x = 1 -> 5461.3;
    // x = 1/3 -> (0.75 - 1/9) × 2/3 × 65536 = 27913.5 (27913); j = 3 mirrors to 2.
    bil::BuildContributions(3, 2, list);
    EXPECT_EQ(list.Count, (std::vector<int>{5, 4}));
    EXPECT_EQ(list.Weight,
              (std::vector<int32_t>{607, 15170, 32768, 15170, 607, 5461, 27913, 27913, 5461, 0}));
    EXPECT_EQ(list.Source, (std::vector<int>{2, 1, 0, 1, 2, 0, 1, 2, 2, 1}));

    // 3 -> 5, enlargement: scale 1, support 1.5, at most Trunc(2 × 1.5 + 1) = 4 slots.
    // Centres 0, 0.6, 1.2, 1.8, 2.4. Pixel 1: x = 0.6, 0.4, 1.4 -> k = 0.405, 0.59, 0.005.
    bil::BuildContributions(3, 5, list);
    EXPECT_LE(list.Taps, 4);
    for (int i = 0; i < 5; ++i) {
        int32_t sum = 0;
        for (int t = 0; t < list.Taps; ++t)
            sum += list.Weight[i * list.Taps + t];
        EXPECT_EQ(sum, 65536) << i; // the kernel sums to one at scale 1
    }
    EXPECT_EQ(list.Weight[1 * list.Taps + 0], 26542);
    EXPECT_EQ(list.Weight[1 * list.Taps + 1], 38666);
    EXPECT_EQ(list.Weight[1 * list.Taps + 2], 328);
    EXPECT_EQ(list.Source[0], 1); // pixel 0 reads position -1 mirrored
    EXPECT_EQ(list.Weight[0], 8192);
}

TEST(PictureWeights, WeightsRoundHalvesToEven) {
    // 127 -> 256 (scale 1). Pixel 1: centre 127/256, position -1 at x = 1.5 - 1/256, so
    // k = 0.5/65536 and the weight is exactly 0.5 -> 0. Pixel 3: centre 381/256, position 0 at
    // x = 1.5 - 3/256, k × 65536 = 4.5 -> 4.
    bil::Contributions list;
    bil::BuildContributions(127, 256, list);
    const int t = list.Taps;
    EXPECT_EQ(list.First[1], -1);
    EXPECT_EQ(list.Weight[1 * t + 0], 0);
    EXPECT_EQ(list.First[3], 0);
    EXPECT_EQ(list.Weight[3 * t + 0], 4);
    // The same halves with the vector code, which builds four pixels at a time.
    bil::Contributions vector;
    bil::BuildContributions(127, 256, vector, true);
    bil::BuildContributions(127, 256, list, false);
    EXPECT_EQ(vector.Weight, list.Weight);
}

TEST(PictureWeights, VectorCodeBuildsTheSameLists) {
    // Every pair of sizes up to 160, and the sizes pictures come in: enlargements, reductions
    // near the kept scales, strong ones past the vector code's slots.
    auto same = [](int n, int m) {
        bil::Contributions a, b;
        bil::BuildContributions(n, m, a, false);
        bil::BuildContributions(n, m, b, true);
        return a.Taps == b.Taps && a.First == b.First && a.Count == b.Count &&
               a.Source == b.Source && a.Weight == b.Weight;
    };
    for (int n = 1; n <= 160; ++n)
        for (int m = 1; m <= 160; ++m)
            ASSERT_TRUE(same(n, m)) << n << " -> " << m;
    const int sizes[][2] = {{604, 420},  {225, 156}, {1000, 420}, {3333, 600},
                            {420, 1280}, {5000, 37}, {7689, 4},   {999, 998}};
    for (const auto& s : sizes)
        EXPECT_TRUE(same(s[0], s[1])) << s[0] << " -> " << s[1];
}

TEST(PictureResample, GoldenReduction4x3To2x2) {
    // Blue 100 everywhere; green 0, 40, 80, 120 by column; red 255 everywhere.
    // Horizontal (4 -> 2, weights sum to 65536): blue 100, red 255;
    //   green pixel 0 = (2 × 40 × 16384 + 2 × 80 × 4096) / 65536 = 30,
    //   green pixel 1 = (40 × 16384 + 80 × 24576 + 120 × 20480) >> 16 = 5079040 >> 16 = 77.
    // Vertical (3 -> 2, every column constant, weight sums 64322 and 66748):
    //   row 0: 100 × 64322 >> 16 = 98, 30 -> 29, 77 -> 75, 255 × 64322 = 16402110 -> 250;
    //   row 1: 100 × 66748 >> 16 = 101, 30 -> 30, 77 -> 78, 255 × 66748 = 17020740
    //   >= 0xFF0001 -> 255 (saturates instead of wrapping).
    const int green[] = {0, 40, 80, 120};
    Bitmap src = Make(4, 3, 3, [&](int x, int, int c) {
        return c == 0 ? 100 : c == 1 ? green[x] : 255;
    });
    EXPECT_EQ(ResampleBoth(src, 2, 2),
              (std::vector<uint8_t>{98, 29, 250, 98, 75, 250, 101, 30, 255, 101, 78, 255}));
    EXPECT_EQ(ResampleBoth(BottomUp(src), 2, 2), ResampleBoth(src, 2, 2));
}

TEST(PictureResample, GoldenEnlargement3x3To5x5) {
    // Rows alike, so the vertical pass (weights summing to 65536) keeps every column.
    // Columns blue 0, 100, 200. Horizontal lists (see HandComputedLists):
    //   0: 0 × 49152 + 100 × 16384 (mirrored) = 1638400 -> 25
    //   1: 100 × 38666 + 200 × 328 = 3932200 -> 60
    //   2: 0 × 2949 + 100 × 46531 + 200 × 16056 = 7864300 -> 119 (120 would be 7864320)
    //   3: 100 × 16056 + 200 × (46531 + 2949) = 11501600 -> 175
    //   4: 100 × 328 + 200 × (38666 + 26542) = 13074400 -> 199
    // Green 200, 100, 0 likewise: 175; 200 × 26542 + 100 × 38666 = 9175000 -> 139 (just
    // under 140 × 65536); 80; 24; 0. Red 7 stays 7.
    Bitmap src = Make(3, 3, 3, [](int x, int, int c) {
        return c == 0 ? 100 * x : c == 1 ? 200 - 100 * x : 7;
    });
    auto out = ResampleBoth(src, 5, 5);
    const uint8_t row[] = {25, 175, 7, 60, 139, 7, 119, 80, 7, 175, 24, 7, 199, 0, 7};
    for (int y = 0; y < 5; ++y)
        EXPECT_EQ(std::vector<uint8_t>(out.begin() + y * 15, out.begin() + y * 15 + 15),
                  std::vector<uint8_t>(row, row + 15))
            << "row " << y;
}

TEST(PictureResample, SameSizeIsCopiedWithoutFiltering) {
    Bitmap src = Noise(7, 5, 3, 1);
    PictureFitter fitter;
    Bitmap dst;
    ASSERT_TRUE(fitter.resample(src, dst, 7, 5).ok());
    EXPECT_EQ(Rows(dst), Rows(src));
    ASSERT_TRUE(fitter.resample(BottomUp(src), dst, 7, 5).ok());
    EXPECT_EQ(Rows(dst), Rows(src));
    // Only the width unchanged still filters (scale 1 Bell across).
    ASSERT_TRUE(fitter.resample(src, dst, 7, 6).ok());
    EXPECT_NE(std::vector<uint8_t>(dst.row(0), dst.row(0) + 21),
              std::vector<uint8_t>(src.row(0), src.row(0) + 21));
}

TEST(PictureResample, RefusesSourcesBelowTwoByTwo) {
    PictureFitter fitter;
    Bitmap dst;
    for (auto [w, h] : {std::pair{1, 5}, std::pair{5, 1}, std::pair{1, 1}, std::pair{0, 0}}) {
        Bitmap src = Noise(w, h, 3, 2);
        auto status = fitter.resample(src, dst, 3, 3);
        EXPECT_FALSE(status.ok());
        EXPECT_EQ(status.message(), "Source bitmap too small");
    }
    // Nothing is drawn into the target either.
    Bitmap target = Make(10, 10, 3, [](int, int, int) { return 9; });
    EXPECT_FALSE(fitter.fitPicture(Noise(1, 8, 3, 3), target).ok());
    EXPECT_EQ(Rows(target), Rows(Make(10, 10, 3, [](int, int, int) { return 9; })));
}

TEST(PictureResample, BordersReadMirroredPixelsNoFringe) {
    // A flat picture keeps its value to the very edge in every direction of scaling.
    Bitmap flat = Make(37, 23, 4, [](int, int, int c) { return c == 3 ? 255 : 180; });
    for (auto [w, h] : {std::pair{20, 11}, std::pair{80, 50}, std::pair{5, 3}, std::pair{37, 60}}) {
        for (uint8_t v : ResampleBoth(flat, w, h)) {
            EXPECT_GE(v, 178);
        }
    }
}

TEST(PictureResample, StrongReductionsStayInsideTheSource) {
    // One or two destination pixels from a wide source reach beyond one mirror; they are
    // clamped to the edge pixels (run under ASan too).
    Bitmap wide = Noise(3000, 2, 3, 4);
    ResampleBoth(wide, 1, 2);
    ResampleBoth(wide, 2, 2);
    ResampleBoth(wide, 1, 1);
    Bitmap tall = Noise(2, 3000, 4, 5);
    ResampleBoth(tall, 2, 1);
    ResampleBoth(tall, 1, 2);
    // A flat source stays flat: the clamped taps read real pixels.
    Bitmap flat = Make(3000, 2, 3, [](int, int, int) { return 90; });
    for (uint8_t v : ResampleBoth(flat, 1, 2))
        EXPECT_NEAR(v, 90, 2);
    bil::Contributions list;
    bil::BuildContributions(3000, 1, list);
    for (int s : list.Source) {
        EXPECT_GE(s, 0);
        EXPECT_LT(s, 3000);
    }
}

TEST(PictureResample, VectorCodeMatchesPortableCode) {
    if (!PictureFitter(true).usesSimd())
        GTEST_SKIP() << "no vector code on this processor";
    std::mt19937 rng(11);
    for (int it = 0; it < 300; ++it) {
        const int sw = 2 + static_cast<int>(rng() % 90), sh = 2 + static_cast<int>(rng() % 40);
        const int w = 1 + static_cast<int>(rng() % 120), h = 1 + static_cast<int>(rng() % 60);
        const int channels = 3 + static_cast<int>(rng() % 2);
        ResampleBoth(Noise(sw, sh, channels, static_cast<uint32_t>(it)), w, h);
    }
    // Real sizes: the typical picture, a big one at half size, strong reductions.
    Bitmap photo = bil::test::PhotoLikeBitmap(604, 225, 9);
    ResampleBoth(photo, 420, 156);
    ResampleBoth(photo, 900, 335);
    ResampleBoth(photo, 60, 22);
    ResampleBoth(bil::test::PhotoLikeBitmap(1667, 625, 2), 600, 225);
}

TEST(PictureResample, BottomUpSourceGivesTheSameResult) {
    Bitmap src = Noise(50, 31, 3, 6);
    EXPECT_EQ(ResampleBoth(BottomUp(src), 33, 20), ResampleBoth(src, 33, 20));
    Bitmap four = Noise(20, 17, 4, 7);
    EXPECT_EQ(ResampleBoth(BottomUp(four), 41, 9), ResampleBoth(four, 41, 9));
}

TEST(PictureResample, SourceAndDestinationMayBeOneBitmap) {
    Bitmap src = Noise(40, 30, 3, 8);
    Bitmap expected;
    ASSERT_TRUE(bil::Resample(src, expected, 25, 18).ok());
    PictureFitter fitter;
    ASSERT_TRUE(fitter.resample(src, src, 25, 18).ok());
    EXPECT_EQ(src.Width, 25);
    EXPECT_EQ(Rows(src), Rows(expected));
    // Reused fitter, new sizes: the kept lists are rebuilt.
    ASSERT_TRUE(fitter.resample(src, src, 60, 9).ok());
    Bitmap again;
    ASSERT_TRUE(bil::Resample(expected, again, 60, 9).ok());
    EXPECT_EQ(Rows(src), Rows(again));
}

TEST(PictureResample, OneFitterThroughManySizesMatchesFreshFitters) {
    // More sizes than the fitter keeps passes for, twice over: kept passes come back and
    // evicted ones are rebuilt, for either channel count.
    const int sizes[][4] = {{60, 22, 42, 16}, {50, 25, 42, 16}, {60, 22, 30, 11},
                            {40, 30, 42, 31}, {33, 12, 42, 16}, {60, 22, 42, 16}};
    PictureFitter kept;
    for (int round = 0; round < 2; ++round)
        for (const auto& s : sizes)
            for (int channels : {3, 4}) {
                const Bitmap src = Noise(s[0], s[1], channels, static_cast<uint32_t>(s[0] + s[2]));
                Bitmap a, b;
                ASSERT_TRUE(kept.resample(src, a, s[2], s[3]).ok());
                ASSERT_TRUE(bil::Resample(src, b, s[2], s[3]).ok());
                ASSERT_EQ(Rows(a), Rows(b)) << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3];
            }
}

TEST(PictureFit, DrawsCentredAndLeavesTheRestAlone) {
    Bitmap picture = Noise(60, 20, 3, 9);
    Bitmap fitted;
    ASSERT_TRUE(bil::Resample(picture, fitted, 30, 10).ok());
    // Tall area: 30 × 10 centred vertically at top (31 - 10) / 2 = 10.
    Bitmap target = Make(30, 31, 4, [](int, int, int) { return 7; });
    PictureFitter fitter;
    ASSERT_TRUE(fitter.fitPicture(picture, target).ok());
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 30; ++x) {
            const uint8_t* p = target.row(y) + 4 * x;
            if (y >= 10 && y < 20) {
                const uint8_t* f = fitted.row(y - 10) + 3 * x;
                ASSERT_EQ(std::vector<uint8_t>(p, p + 4),
                          (std::vector<uint8_t>{f[0], f[1], f[2], 255}))
                    << x << "," << y;
            } else {
                ASSERT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{7, 7, 7, 7}));
            }
        }
    // Wide area into a bottom-up target of the same format: centred horizontally.
    Bitmap flatTarget = BottomUp(Make(100, 10, 3, [](int, int, int) { return 1; }));
    ASSERT_TRUE(fitter.fitPicture(picture, flatTarget).ok());
    EXPECT_EQ(flatTarget.row(0)[3 * 34], 1);
    EXPECT_EQ(std::vector<uint8_t>(flatTarget.row(0) + 3 * 35, flatTarget.row(0) + 3 * 65),
              std::vector<uint8_t>(fitted.row(0), fitted.row(0) + 90));
    EXPECT_EQ(flatTarget.row(9)[3 * 65], 1);
}

TEST(PictureFit, JpegIsDecodedAtTheChosenScale) {
    const Bitmap photo = bil::test::PhotoLikeBitmap(604, 225, 10);
    const auto jpeg = bil::test::EncodeJpeg(photo);
    // Targets giving decode scales 1, 2, 4 and 8.
    for (auto [tw, th, scale] : {std::tuple{420, 160, 1}, std::tuple{300, 300, 2},
                                 std::tuple{80, 80, 4}, std::tuple{20, 20, 8}}) {
        const auto fit = bil::FittedSize(604, 225, tw, th);
        ASSERT_EQ(bil::ChooseDecodeScale(fit.Width, 604), scale);
        auto decoded = bil::DecodeJpeg(jpeg.data(), jpeg.size(), scale);
        ASSERT_TRUE(decoded.ok());
        // Resampled from the reduced picture to the size fitted from the full one.
        Bitmap fitted;
        ASSERT_TRUE(bil::Resample(*decoded, fitted, fit.Width, fit.Height).ok());
        Bitmap expected = Make(tw, th, 3, [](int, int, int) { return 0; });
        for (int y = 0; y < fit.Height; ++y)
            std::memcpy(expected.row(fit.Top + y) + 3 * fit.Left, fitted.row(y), 3 * fit.Width);

        Bitmap target = Make(tw, th, 3, [](int, int, int) { return 0; });
        PictureFitter fitter;
        ASSERT_TRUE(fitter.fitJpeg(jpeg.data(), jpeg.size(), target).ok());
        EXPECT_EQ(Rows(target), Rows(expected)) << tw << "x" << th;
    }
}

TEST(PictureFit, JpegFailuresDrawNothing) {
    auto jpeg = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(64, 48));
    const Bitmap clear = Make(20, 20, 3, [](int, int, int) { return 5; });
    Bitmap target = clear;
    PictureFitter fitter;
    EXPECT_FALSE(fitter.fitJpeg(jpeg.data(), 100, target).ok()); // cut in the header
    EXPECT_FALSE(fitter.fitJpeg(nullptr, 0, target).ok());
    EXPECT_EQ(Rows(target), Rows(clear));
    // The fitter still works afterwards.
    EXPECT_TRUE(fitter.fitJpeg(jpeg.data(), jpeg.size(), target).ok());
    EXPECT_NE(Rows(target), Rows(clear));
}

TEST(PictureFit, ReducedDecodeNeverLeavesTooSmallAPicture) {
    // 100 × 2 shown 30 × 1 would be decoded at half size (30 < 1.25 × 100 / 2) to 50 × 1,
    // which the resampler refuses; the decode stays at full size instead.
    const auto jpeg = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(100, 2));
    Bitmap target = Make(30, 10, 3, [](int, int, int) { return 0; });
    PictureFitter fitter;
    EXPECT_TRUE(fitter.fitJpeg(jpeg.data(), jpeg.size(), target).ok());
    auto tiny = bil::test::SampleJpeg(1, 8);
    EXPECT_EQ(fitter.fitJpeg(tiny.data(), tiny.size(), target).message(),
              "Source bitmap too small");
}
