// SPDX-License-Identifier: GPL-3.0-or-later
// Picture fitting against its floors: the JPEG decode alone at the chosen scale, and the
// window system's own smooth scaling of the same decoded picture.
#include "data/jpeg.h"
#include "data/picture.h"
#include "data/ui/picture_image.h"
#include "jpeg_samples.h"

#include <QImage>

#include <benchmark/benchmark.h>

namespace {

struct Sample {
    std::vector<uint8_t> Jpeg;
    int Width, Height;
};

const Sample& Typical() {
    static const Sample s{bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(604, 225, 3), 85), 604,
                          225};
    return s;
}

const Sample& Large() {
    static const Sample s{
        bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(3333, 1250, 4), 85, true), 3333, 1250};
    return s;
}

const Sample& Pick(int which) {
    return which == 0 ? Typical() : Large();
}

// args: picture (0 typical, 1 large progressive), target width, target height
void BM_FitJpeg(benchmark::State& state) {
    const Sample& s = Pick(static_cast<int>(state.range(0)));
    bil::PictureFitter fitter;
    bil::Bitmap target;
    target.reset(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)), 3);
    for (auto _ : state) {
        auto status = fitter.fitJpeg(s.Jpeg.data(), s.Jpeg.size(), target);
        benchmark::DoNotOptimize(target.Pixels.data());
        if (!status)
            state.SkipWithError("fit failed");
    }
}

// The floor: decoding alone at the scale FitJpeg chooses for that target.
void BM_DecodeAtChosenScale(benchmark::State& state) {
    const Sample& s = Pick(static_cast<int>(state.range(0)));
    const auto fit = bil::FittedSize(s.Width, s.Height, static_cast<int>(state.range(1)),
                                     static_cast<int>(state.range(2)));
    const int scale = bil::ChooseDecodeScale(fit.Width, s.Width);
    state.SetLabel("1/" + std::to_string(scale));
    bil::Bitmap bmp;
    for (auto _ : state) {
        auto status = bil::DecodeJpegInto(s.Jpeg.data(), s.Jpeg.size(), scale, bmp);
        benchmark::DoNotOptimize(bmp.Pixels.data());
        if (!status)
            state.SkipWithError("decode failed");
    }
}

bil::Bitmap DecodedFor(const Sample& s, int tw, int th, bil::FitGeometry& fit) {
    fit = bil::FittedSize(s.Width, s.Height, tw, th);
    const int scale = bil::ChooseDecodeScale(fit.Width, s.Width);
    return bil::DecodeJpeg(s.Jpeg.data(), s.Jpeg.size(), scale).value();
}

// The resampler alone on the decoded picture; range(3) 3 = vector code with the AVX-512
// permutes where the processor has them, 2 = with the fused multiply-add only, 1 = vector code
// without either, 0 = portable code.
void BM_Resample(benchmark::State& state) {
    bil::FitGeometry fit;
    const bil::Bitmap src =
        DecodedFor(Pick(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)), fit);
    bil::PictureFitter fitter(state.range(3) != 0, state.range(3) >= 2, state.range(3) == 3);
    state.SetLabel(fitter.usesWide()    ? "avx2+vnni+vbmi"
                   : fitter.usesFused() ? "avx2+vnni"
                   : fitter.usesSimd()  ? "avx2"
                                        : "portable");
    bil::Bitmap dst;
    for (auto _ : state) {
        auto status = fitter.resample(src, dst, fit.Width, fit.Height);
        benchmark::DoNotOptimize(dst.Pixels.data());
        if (!status)
            state.SkipWithError("resample failed");
    }
}

// Qt's smooth scaling of the same decoded picture to the same size, as RGB32 (what its own
// JPEG reader gives).
void BM_QtSmoothScale(benchmark::State& state) {
    bil::FitGeometry fit;
    const bil::Bitmap src =
        DecodedFor(Pick(static_cast<int>(state.range(0))), static_cast<int>(state.range(1)),
                   static_cast<int>(state.range(2)), fit);
    const QImage image = bil::ImageOf(src).convertToFormat(QImage::Format_RGB32);
    for (auto _ : state) {
        QImage scaled =
            image.scaled(fit.Width, fit.Height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        benchmark::DoNotOptimize(scaled.constBits());
    }
}

// The window's whole path: clear an RGB32 image and fit the JPEG into it.
void BM_FitJpegToImage(benchmark::State& state) {
    const Sample& s = Pick(static_cast<int>(state.range(0)));
    const QByteArray jpeg(reinterpret_cast<const char*>(s.Jpeg.data()),
                          static_cast<qsizetype>(s.Jpeg.size()));
    bil::PictureFitter fitter;
    QImage target(static_cast<int>(state.range(1)), static_cast<int>(state.range(2)),
                  QImage::Format_RGB32);
    for (auto _ : state) {
        auto status = bil::FitJpegToImage(fitter, jpeg, target, Qt::white);
        benchmark::DoNotOptimize(target.constBits());
        if (!status)
            state.SkipWithError("fit failed");
    }
}

// A set of pictures of the shapes question pictures come in: mostly wide road scenes around
// 600 × 230, some larger ones that decode at half size, a few portrait ones.
const std::vector<Sample>& PictureSet() {
    static const std::vector<Sample> set = [] {
        const int shapes[][2] = {{604, 225}, {600, 250}, {800, 300}, {1000, 370}, {604, 225},
                                 {640, 240}, {500, 190}, {604, 225}, {300, 400},  {720, 270}};
        std::vector<Sample> out;
        for (int i = 0; i < 30; ++i) {
            const int w = shapes[i % 10][0], h = shapes[i % 10][1];
            out.push_back(
                {bil::test::EncodeJpeg(bil::test::PhotoLikeBitmap(w, h, 100 + i), 85), w, h});
        }
        return out;
    }();
    return set;
}

// The whole set fitted into the window's 420 × 160 area, one after another.
void BM_FitJpegSet(benchmark::State& state) {
    bil::PictureFitter fitter;
    bil::Bitmap target;
    target.reset(420, 160, 3);
    for (auto _ : state)
        for (const Sample& s : PictureSet()) {
            if (!fitter.fitJpeg(s.Jpeg.data(), s.Jpeg.size(), target))
                state.SkipWithError("fit failed");
            benchmark::DoNotOptimize(target.Pixels.data());
        }
}

// The floor of the set: each picture decoded alone at the scale its fit chooses.
void BM_DecodeSet(benchmark::State& state) {
    bil::Bitmap bmp;
    for (auto _ : state)
        for (const Sample& s : PictureSet()) {
            const auto fit = bil::FittedSize(s.Width, s.Height, 420, 160);
            const int scale = bil::ChooseDecodeScale(fit.Width, s.Width);
            if (!bil::DecodeJpegInto(s.Jpeg.data(), s.Jpeg.size(), scale, bmp))
                state.SkipWithError("decode failed");
            benchmark::DoNotOptimize(bmp.Pixels.data());
        }
}

// Building the passes for a size the fitter does not keep: weights and the vector plan for a
// 604 × 2 source into (420 + k) × 2, k cycling through more sizes than it keeps.
void BM_PassesForNewSizes(benchmark::State& state) {
    bil::PictureFitter fitter;
    bil::Bitmap src, dst;
    src.reset(604, 2, 3);
    std::fill(src.Pixels.begin(), src.Pixels.end(), uint8_t{90});
    int k = 0;
    for (auto _ : state) {
        k = (k + 1) % 8;
        if (!fitter.resample(src, dst, 420 + k, 2))
            state.SkipWithError("resample failed");
        benchmark::DoNotOptimize(dst.Pixels.data());
    }
}

void Targets(benchmark::internal::Benchmark* b) {
    b->Args({0, 420, 160})->Args({0, 900, 340})->Args({1, 600, 225});
}

void ResampleTargets(benchmark::internal::Benchmark* b) {
    for (int simd : {3, 2, 1, 0})
        b->Args({0, 420, 160, simd})->Args({0, 900, 340, simd})->Args({1, 600, 225, simd});
}

BENCHMARK(BM_FitJpeg)->Apply(Targets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeAtChosenScale)->Apply(Targets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FitJpegSet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodeSet)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Resample)->Apply(ResampleTargets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PassesForNewSizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_QtSmoothScale)->Apply(Targets)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FitJpegToImage)->Apply(Targets)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
