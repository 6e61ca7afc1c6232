// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a sign's SVG picture: its size is read or refused, and the size it is shown at
// lies within the help page's box, whatever numbers the picture gives.

#include "fuzz_common.h"
#include "help/svg_size.h"

#include <cmath>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::optional<QSizeF> read = SvgSize(bytes);
    if (!read)
        return 0;
    const QSize shown = FitSignPicture(*read);
    if (shown.isEmpty())
        return 0;
    FUZZ_CHECK(shown.width() >= 1 && shown.width() <= 200);
    FUZZ_CHECK(shown.height() >= 1 && shown.height() <= 120);
    return 0;
}
