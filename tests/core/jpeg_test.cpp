// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/jpeg.h"
#include "data/picture.h"
#include "jpeg_samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using bil::Bitmap;
using bil::DecodeJpeg;
using bil::ReadJpegInfo;

namespace {

// Rewrites the frame size in the SOF marker, to fake a picture of any size.
void PatchFrameSize(std::vector<uint8_t>& jpeg, int width, int height) {
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<uint8_t>(height);
            jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<uint8_t>(width);
            return;
        }
    }
    FAIL() << "no frame header";
}

} // namespace

TEST(Jpeg, DecodesBaselineInBlueGreenRedOrder) {
    Bitmap flat;
    flat.reset(40, 24, 3);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 40; ++x) {
            flat.row(y)[3 * x] = 200; // blue
            flat.row(y)[3 * x + 1] = 100;
            flat.row(y)[3 * x + 2] = 50; // red
        }
    auto jpeg = bil::test::EncodeJpeg(flat, 95);
    auto info = ReadJpegInfo(jpeg.data(), jpeg.size());
    ASSERT_TRUE(info.ok()) << info.error().toStdString();
    EXPECT_EQ(info->Width, 40);
    EXPECT_EQ(info->Height, 24);
    EXPECT_FALSE(info->Progressive);

    auto bmp = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(bmp.ok()) << bmp.error().toStdString();
    EXPECT_EQ(bmp->Width, 40);
    EXPECT_EQ(bmp->Height, 24);
    EXPECT_EQ(bmp->Channels, 3);
    EXPECT_EQ(bmp->Stride, 120);
    const uint8_t* p = bmp->row(10) + 3 * 20;
    EXPECT_NEAR(p[0], 200, 3);
    EXPECT_NEAR(p[1], 100, 3);
    EXPECT_NEAR(p[2], 50, 3);
}

TEST(Jpeg, ReducedScalesRoundSizesUp) {
    auto jpeg = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(605, 227));
    const int widths[] = {605, 303, 152, 76};
    const int heights[] = {227, 114, 57, 29};
    const int denoms[] = {1, 2, 4, 8};
    for (int k = 0; k < 4; ++k) {
        auto bmp = DecodeJpeg(jpeg.data(), jpeg.size(), denoms[k]);
        ASSERT_TRUE(bmp.ok()) << denoms[k];
        EXPECT_EQ(bmp->Width, widths[k]) << denoms[k];
        EXPECT_EQ(bmp->Height, heights[k]) << denoms[k];
    }
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size(), 3).ok());
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size(), 0).ok());
}

TEST(Jpeg, DecodesLargeProgressivePicture) {
    auto source = bil::test::PhotoLikeBitmap(3333, 1250, 7);
    auto jpeg = bil::test::EncodeJpeg(source, 85, true);
    auto info = ReadJpegInfo(jpeg.data(), jpeg.size());
    ASSERT_TRUE(info.ok());
    EXPECT_TRUE(info->Progressive);
    EXPECT_EQ(info->Width, 3333);
    auto full = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(full.ok()) << full.error().toStdString();
    EXPECT_EQ(full->Width, 3333);
    EXPECT_EQ(full->Height, 1250);
    // Close to the original away from the noise: compare a patch average.
    long diff = 0;
    for (int y = 600; y < 610; ++y)
        for (int x = 0; x < 30; ++x)
            diff += std::abs(int(full->row(y)[x]) - int(source.row(y)[x]));
    EXPECT_LT(diff / 300, 12);
    auto eighth = DecodeJpeg(jpeg.data(), jpeg.size(), 8);
    ASSERT_TRUE(eighth.ok());
    EXPECT_EQ(eighth->Width, 417);
    EXPECT_EQ(eighth->Height, 157);
}

TEST(Jpeg, DamagedDataIsAnErrorNeverACrash) {
    auto jpeg = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(64, 48));
    EXPECT_FALSE(DecodeJpeg(nullptr, 0).ok());
    EXPECT_FALSE(ReadJpegInfo(jpeg.data(), 0).ok());
    const uint8_t garbage[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    EXPECT_FALSE(ReadJpegInfo(garbage, sizeof garbage).ok());
    EXPECT_FALSE(DecodeJpeg(garbage, sizeof garbage).ok());

    // Cut short, for the database tools: the header reads, the picture does not; the caller's
    // bitmap is left empty.
    const auto refuse = bil::JpegDamage::Refuse;
    std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() / 2);
    EXPECT_TRUE(ReadJpegInfo(cut.data(), cut.size()).ok());
    Bitmap kept;
    kept.reset(10, 10, 3);
    auto status = bil::DecodeJpegInto(cut.data(), cut.size(), 1, kept, refuse);
    EXPECT_FALSE(status.ok());
    EXPECT_FALSE(status.message().isEmpty());
    EXPECT_EQ(kept.Width, 0);
    EXPECT_EQ(kept.Height, 0);
    for (std::size_t len : {std::size_t(2), std::size_t(20), std::size_t(200), jpeg.size() - 20})
        EXPECT_FALSE(DecodeJpeg(jpeg.data(), len, 1, refuse).ok()) << len;
    auto progressive = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(64, 48), 85, true);
    for (const auto* whole : {&jpeg, &progressive})
        for (std::size_t len = 2; len + 2 < whole->size(); len += 11) {
            EXPECT_FALSE(DecodeJpeg(whole->data(), len, 1, refuse).ok()) << len;
            // For the windows: cut before the scan an error, else the whole picture's size.
            auto shown = DecodeJpeg(whole->data(), len);
            if (shown.ok())
                EXPECT_EQ(shown->Width, 64) << len;
            else
                EXPECT_FALSE(shown.error().isEmpty()) << len;
        }
    // Only the end marker missing: every line is there, so the picture is kept.
    EXPECT_TRUE(DecodeJpeg(jpeg.data(), jpeg.size() - 2, 1, refuse).ok());

    // Bytes overwritten anywhere: either a picture of the right size or an error.
    for (std::size_t pos = 0; pos < jpeg.size(); pos += 7) {
        auto bad = jpeg;
        bad[pos] ^= 0x5A;
        for (auto damage : {bil::JpegDamage::Show, refuse}) {
            auto bmp = DecodeJpeg(bad.data(), bad.size(), 2, damage);
            if (bmp.ok()) {
                EXPECT_GT(bmp->Width, 0);
                EXPECT_EQ(bmp->Pixels.size(), std::size_t(bmp->Width) * bmp->Height * 3);
            }
        }
    }
}

// A picture cut short after its scan began (a copy that stopped, a database written from such a
// file) shows the rows decoded before the cut, grey below, instead of an empty area.
TEST(Jpeg, PictureCutShortShowsWhatWasDecoded) {
    const Bitmap source = bil::test::PhotoLikeBitmap(320, 240, 3);
    const auto jpeg = bil::test::EncodeJpeg(source, 85);
    const auto whole = DecodeJpeg(jpeg.data(), jpeg.size());
    ASSERT_TRUE(whole.ok());
    const std::size_t len = jpeg.size() * 4 / 5;
    const auto shown = DecodeJpeg(jpeg.data(), len);
    ASSERT_TRUE(shown.ok()) << shown.error().toStdString();
    EXPECT_EQ(shown->Width, 320);
    EXPECT_EQ(shown->Height, 240);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(std::memcmp(shown->row(y), whole->row(y), 320 * 3), 0) << y;
    const uint8_t* last = shown->row(239);
    for (int x = 0; x < 320 * 3; ++x)
        EXPECT_NEAR(last[x], 128, 2) << x;
    for (int scale : {2, 4, 8})
        EXPECT_TRUE(DecodeJpeg(jpeg.data(), len, scale).ok()) << scale;
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), len, 1, bil::JpegDamage::Refuse).ok());

    const auto progressive = bil::test::EncodeJpeg(source, 85, true);
    const auto partial = DecodeJpeg(progressive.data(), progressive.size() * 4 / 5);
    ASSERT_TRUE(partial.ok()) << partial.error().toStdString();
    EXPECT_EQ(partial->Height, 240);

    // A corrupt stretch inside the scan, and restart markers where none belong: decoded past.
    auto garbled = jpeg;
    for (std::size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 40; ++i)
        garbled[i] = 0;
    EXPECT_TRUE(DecodeJpeg(garbled.data(), garbled.size()).ok());
    for (std::size_t i = jpeg.size() / 2; i < jpeg.size() / 2 + 40; ++i)
        garbled[i] = i % 2 ? 0xFF : 0xD3;
    EXPECT_TRUE(DecodeJpeg(garbled.data(), garbled.size()).ok());

    // Only damage that stops the decode leaves no picture: here, the header cut short.
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), 100).ok());

    // The question windows fit the cut picture into their area.
    Bitmap area;
    area.reset(160, 120, 3);
    EXPECT_TRUE(bil::FitJpeg(jpeg.data(), len, area).ok());
}

TEST(Jpeg, RefusesPicturesOverFiftyMegapixels) {
    auto jpeg = bil::test::SampleJpeg(16, 16);
    PatchFrameSize(jpeg, 10000, 5001); // 50.01 MP
    auto info = ReadJpegInfo(jpeg.data(), jpeg.size());
    EXPECT_FALSE(info.ok());
    EXPECT_FALSE(DecodeJpeg(jpeg.data(), jpeg.size(), 8).ok());
    auto progressive = bil::test::SampleJpeg(16, 16, true);
    PatchFrameSize(progressive, 65000, 65000);
    EXPECT_FALSE(ReadJpegInfo(progressive.data(), progressive.size()).ok());
    EXPECT_FALSE(DecodeJpeg(progressive.data(), progressive.size()).ok());

    // Exactly 50 MP is still accepted as far as the header goes.
    auto limit = bil::test::SampleJpeg(16, 16);
    PatchFrameSize(limit, 10000, 5000);
    auto ok = ReadJpegInfo(limit.data(), limit.size());
    ASSERT_TRUE(ok.ok());
    EXPECT_EQ(ok->Width, 10000);
    EXPECT_EQ(ok->Height, 5000);
}

TEST(Jpeg, ReusedBitmapTakesEachNewSize) {
    auto big = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(120, 80));
    auto small = bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(30, 20));
    Bitmap bmp;
    ASSERT_TRUE(bil::DecodeJpegInto(big.data(), big.size(), 1, bmp).ok());
    EXPECT_EQ(bmp.Width, 120);
    ASSERT_TRUE(bil::DecodeJpegInto(small.data(), small.size(), 1, bmp).ok());
    EXPECT_EQ(bmp.Width, 30);
    EXPECT_EQ(bmp.Height, 20);
    EXPECT_EQ(bmp.Stride, 90);
    auto fresh = DecodeJpeg(small.data(), small.size());
    ASSERT_TRUE(fresh.ok());
    EXPECT_EQ(std::vector<uint8_t>(bmp.Pixels.begin(), bmp.Pixels.begin() + 90 * 20),
              fresh->Pixels);
}
