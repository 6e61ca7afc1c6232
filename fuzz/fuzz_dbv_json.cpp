// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a ticket file of the JSON data set that `biletoria-dbv build` reads: the import
// either fails with a message or gives questions that the writer stores (or refuses with a
// message) and the reader reads back with the same answers.

#include "data/database.h"
#include "data/dbv_import.h"
#include "data/jpeg_encode.h"
#include "fuzz_common.h"

#include <QDir>

using namespace bil;

namespace {

// The data set root: questions/A_B/tickets/ for the input, images/ with one good picture.
const QString& Root() {
    static const QString root = [] {
        const QString r = fuzz::ScratchDir() + QStringLiteral("/dataset");
        QDir().mkpath(r + QStringLiteral("/questions/A_B/tickets"));
        QDir().mkpath(r + QStringLiteral("/images"));
        const Result<QByteArray> jpeg = EncodeJpeg(RgbImage(8, 6, 128, 128, 128), 80);
        QFile file(r + QStringLiteral("/images/a.jpg"));
        if (!jpeg || !file.open(QIODevice::WriteOnly) || file.write(*jpeg) != jpeg->size())
            std::abort();
        return r;
    }();
    return root;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    JsonImportOptions options;
    options.Root = Root(); // made before the input is written into it
    fuzz::WriteInput(QStringLiteral("dataset/questions/A_B/tickets/t.json"), data, size);
    options.Replace = size % 2 == 0; // both ways of meeting characters cp1251 lacks
    const Result<ImportedDatabase> imported = ImportJsonDataSet(options);
    if (!imported) {
        FUZZ_CHECK(!imported.error().isEmpty());
        return 0;
    }
    FUZZ_CHECK(imported->Questions.size() == size_t(QuestionCount));
    const QString out = fuzz::ScratchDir() + QStringLiteral("/imported.dbv");
    const Status written =
        WriteDatabase(out, imported->Title, imported->Questions, options.Replace);
    if (!written) { // e.g. a text over the size a record may hold: refused, named
        FUZZ_CHECK(!written.message().isEmpty());
        return 0;
    }
    Database db;
    FUZZ_CHECK(db.OpenDatabase(out).ok());
    for (int n = 1; n <= QuestionCount; ++n) {
        const Result<TQuestion> q = db.LoadQuestion(n);
        FUZZ_CHECK(q.ok());
        FUZZ_CHECK(q->AnswerCount == int(imported->Questions[size_t(n - 1)].Answers.size()));
        FUZZ_CHECK(q->Correct == imported->Questions[size_t(n - 1)].Correct);
    }
    return 0;
}
