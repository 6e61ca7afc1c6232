// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as the compiled help file: opening it either refuses the file or gives a file whose
// pages read whole or not at all; the program itself never crashes or hangs on it, whatever the
// help library does with the damage (that happens in a child process first).

#include "fuzz_common.h"
#include "help/ui/chm_file.h"

using namespace bil;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = fuzz::WriteInput(QStringLiteral("biltor.chm"), data, size);
    const std::shared_ptr<ChmFile> file = ChmFile::open(path);
    if (!file)
        return 0;
    // The pages the help windows ask for, a picture, the library's own tables, and nonsense.
    for (const char* page :
         {"/index.html", "/pdd5.html", "/img/red.png", "/#SYSTEM", "/#TOPICS", "/#STRINGS",
          "::DataSpace/NameList", "/", "", "/../x", "/INDEX.HTML"}) {
        const std::optional<QByteArray> bytes = file->read(QString::fromLatin1(page));
        if (bytes)
            FUZZ_CHECK(bytes->size() <= 64 * 1024 * 1024);
    }
    return 0;
}
