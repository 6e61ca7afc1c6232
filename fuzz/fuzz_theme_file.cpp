// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as tema4.dat: every theme and mark read is one the windows can index with, and a
// save followed by a load gives the same table.

#include "data/themes.h"
#include "fuzz_common.h"

#include <memory>

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::WriteInput(QStringLiteral("tema4.dat"), data, size);
    auto table = std::make_unique<ThemeTable>();
    FUZZ_CHECK(LoadThemeFile(*table, fuzz::ScratchDir()).ok());
    for (int n = 1; n <= QuestionCount; ++n) {
        FUZZ_CHECK(table->theme(n) <= ThemeCount);
        FUZZ_CHECK(table->mark(n) <= 2);
        const size_t themeAt = size_t(n - 1), markAt = size_t(QuestionCount + n - 1);
        if (themeAt < size && data[themeAt] <= ThemeCount)
            FUZZ_CHECK(table->theme(n) == data[themeAt]);
        if (markAt < size && data[markAt] <= 2)
            FUZZ_CHECK(table->mark(n) == data[markAt]);
    }
    FUZZ_CHECK(SaveThemeFile(*table, fuzz::ScratchDir()).ok());
    auto again = std::make_unique<ThemeTable>();
    FUZZ_CHECK(LoadThemeFile(*again, fuzz::ScratchDir()).ok());
    FUZZ_CHECK(again->QuestionTheme == table->QuestionTheme);
    FUZZ_CHECK(again->DifficultyMark == table->DifficultyMark);
    return 0;
}
