// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/jpeg.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

#include <QString>

namespace bil {

void Bitmap::reset(int width, int height, int channels) {
    Width = width > 0 ? width : 0;
    Height = height > 0 ? height : 0;
    Channels = channels;
    Stride = static_cast<std::ptrdiff_t>(Width) * channels;
    Origin = 0;
    External = nullptr;
    Pixels.resize(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(Height));
}

Bitmap Bitmap::view(uint8_t* first, int width, int height, int channels, std::ptrdiff_t stride) {
    Bitmap bmp;
    bmp.Width = width;
    bmp.Height = height;
    bmp.Channels = channels;
    bmp.Stride = stride;
    bmp.External = first;
    return bmp;
}

namespace {

// Error manager that returns control to the caller instead of ending the process.
struct JpegError {
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
    int Code;
    bool RefuseDamage; // warnings about damaged data end the decode
    bool RowsDone;     // every row is decoded; what may still fail is the data after them
    // A single-scan picture may lack its end marker; lost picture data shows up as
    // JWRN_HIT_MARKER instead. A progressive one that ends early has lost whole scans.
    bool EndMayBeMissing;
};

[[noreturn]] void ExitToCaller(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    err->Code = cinfo->err->msg_code;
    std::longjmp(err->Jump, 1);
}

// Warnings never stop a decode for the windows: the library goes on past them (grey where the
// data ends), and most of a picture beats an empty area. The tools treat the warnings that mean
// cut short or broken data as failures; harmless ones (stray bytes between markers and the
// like) are always ignored.
void OnMessage(j_common_ptr cinfo, int level) {
    if (level >= 0)
        return; // trace messages
    const auto* err = reinterpret_cast<JpegError*>(cinfo->err);
    if (!err->RefuseDamage)
        return;
    const int code = cinfo->err->msg_code;
    if (code == JWRN_JPEG_EOF && err->EndMayBeMissing)
        return;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC ||
        code == JWRN_BOGUS_PROGRESSION)
        ExitToCaller(cinfo);
}

void Quiet(j_common_ptr) {}

enum class Outcome { Ok, Damaged, TooLarge, BadScale };

// Everything between setjmp and the end lives in plain C structures, so a jump back
// skips no destructor. `out` belongs to the caller.
Outcome Run(const uint8_t* data, std::size_t size, int scaleDenom, JpegDamage damage,
            JpegInfo* info, Bitmap* out, JpegSink* sink = nullptr) {
    jpeg_decompress_struct cinfo;
    JpegError err;
    cinfo.err = jpeg_std_error(&err.Base);
    err.Base.error_exit = ExitToCaller;
    err.Base.emit_message = OnMessage;
    err.Base.output_message = Quiet;
    err.Code = 0;
    err.RefuseDamage = damage == JpegDamage::Refuse;
    err.RowsDone = false;
    err.EndMayBeMissing = false;
    if (setjmp(err.Jump)) {
        jpeg_destroy_decompress(&cinfo);
        // Junk after the last row spoils nothing the windows show.
        return err.RowsDone && !err.RefuseDamage ? Outcome::Ok : Outcome::Damaged;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);

    const long long pixels =
        static_cast<long long>(cinfo.image_width) * static_cast<long long>(cinfo.image_height);
    if (pixels > MaxJpegPixels) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::TooLarge;
    }
    if (info) {
        info->Width = static_cast<int>(cinfo.image_width);
        info->Height = static_cast<int>(cinfo.image_height);
        info->Progressive = jpeg_has_multiple_scans(&cinfo);
    }
    // With a sink the scale comes from it, after the header; 0 ends the decode here.
    int scale = scaleDenom;
    if (sink) {
        JpegInfo header;
        header.Width = static_cast<int>(cinfo.image_width);
        header.Height = static_cast<int>(cinfo.image_height);
        header.Progressive = jpeg_has_multiple_scans(&cinfo);
        scale = sink->scaleFor(header);
    }
    if (scale != 0 && scale != 1 && scale != 2 && scale != 4 && scale != 8) {
        jpeg_destroy_decompress(&cinfo);
        return Outcome::BadScale;
    }
    if (!out || scale == 0) {
        if (out)
            out->reset(0, 0, 3);
        jpeg_destroy_decompress(&cinfo);
        return Outcome::Ok;
    }

    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(scale);
    cinfo.dct_method = JDCT_ISLOW;
    cinfo.out_color_space = JCS_EXT_BGR;
    err.EndMayBeMissing = !jpeg_has_multiple_scans(&cinfo);
    jpeg_start_decompress(&cinfo);
    out->reset(static_cast<int>(cinfo.output_width), static_cast<int>(cinfo.output_height), 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[4];
        int n = 0;
        for (; n < 4 && cinfo.output_scanline + n < cinfo.output_height; ++n)
            rows[n] = out->row(static_cast<int>(cinfo.output_scanline) + n);
        jpeg_read_scanlines(&cinfo, rows, static_cast<JDIMENSION>(n));
    }
    err.RowsDone = true;
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return Outcome::Ok;
}

Status ToStatus(Outcome outcome) {
    switch (outcome) {
    case Outcome::Ok:
        return Status::Ok();
    case Outcome::TooLarge:
        return Status::Error(QStringLiteral("Рисунок слишком велик"));
    case Outcome::BadScale:
        return Status::Error(QStringLiteral("Недопустимый масштаб рисунка"));
    case Outcome::Damaged:
        break;
    }
    return Status::Error(QStringLiteral("Рисунок повреждён"));
}

} // namespace

Result<JpegInfo> ReadJpegInfo(const uint8_t* data, std::size_t size) {
    if (!data || size == 0)
        return ToStatus(Outcome::Damaged);
    JpegInfo info;
    // As lenient as the windows' decode, so a header that reads always decodes.
    Status status = ToStatus(Run(data, size, 1, JpegDamage::Show, &info, nullptr));
    if (!status)
        return status;
    return info;
}

Status DecodeJpegInto(const uint8_t* data, std::size_t size, int scaleDenom, Bitmap& out,
                      JpegDamage damage) {
    Outcome outcome = Outcome::Damaged;
    if (scaleDenom != 1 && scaleDenom != 2 && scaleDenom != 4 && scaleDenom != 8)
        outcome = Outcome::BadScale;
    else if (data && size > 0)
        outcome = Run(data, size, scaleDenom, damage, nullptr, &out);
    if (outcome != Outcome::Ok)
        out.reset(0, 0, 3);
    return ToStatus(outcome);
}

Status DecodeJpegInto(const uint8_t* data, std::size_t size, JpegSink& sink, Bitmap& out,
                      JpegDamage damage) {
    const Outcome outcome =
        data && size > 0 ? Run(data, size, 1, damage, nullptr, &out, &sink) : Outcome::Damaged;
    if (outcome != Outcome::Ok)
        out.reset(0, 0, 3);
    return ToStatus(outcome);
}

Result<Bitmap> DecodeJpeg(const uint8_t* data, std::size_t size, int scaleDenom,
                          JpegDamage damage) {
    Bitmap bitmap;
    Status status = DecodeJpegInto(data, size, scaleDenom, bitmap, damage);
    if (!status)
        return status;
    return bitmap;
}

} // namespace bil
