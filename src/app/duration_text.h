// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace bil {

// Whole seconds as the clock face "hh:mm:ss" that every run and exam shows; negative counts
// show as zero and hours wrap at 24 like a time of day.
QString FormatDuration(int seconds);

} // namespace bil
