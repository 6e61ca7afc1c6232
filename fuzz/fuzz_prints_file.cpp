// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a prints file: taken only when whole and made for the key; a file that is taken
// writes back to the same bytes.

#include "data/prints_file.h"
#include "fuzz_common.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    PrintsKey key;
    if (size >= 64) {
        // The key the input itself names, so that inputs can pass the key check.
        key.FileSize = 0;
        for (int i = 7; i >= 0; --i)
            key.FileSize = (key.FileSize << 8) | data[12 + i];
        uint64_t mtime = 0;
        for (int i = 7; i >= 0; --i)
            mtime = (mtime << 8) | data[20 + i];
        key.ModifiedMs = int64_t(mtime);
        std::copy(data + 28, data + 60, key.Shape.begin());
    }
    Result<QuestionPrints> prints = ParsePrints(input, key);
    if (!prints) {
        FUZZ_CHECK(!prints.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(size == size_t(PrintsFileSize));
    FUZZ_CHECK(SerializePrints(key, *prints) == input);
    return 0;
}
