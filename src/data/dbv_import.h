// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dbv_writer.h"
#include "data/status.h"

#include <QString>

class QJsonValue;

#include <atomic>
#include <functional>
#include <map>
#include <vector>

namespace bil {

// Which half of the open question data set to read: questions/A_B or questions/C_D.
enum class CategorySet { AB, CD };

// Characters of a data set that cp1251 lacks, each with the number of places it is in.
using UnencodableChars = std::map<char32_t, int>;

struct JsonImportOptions {
    QString Root; // the data set root: holds questions/ and images/
    CategorySet Set = CategorySet::AB;
    QString Title;        // empty: a default title naming the categories
    bool Replace = false; // characters cp1251 lacks become '?' instead of failing
    std::function<void(const QString&)> Progress; // optional progress lines
    std::function<void(int read)> QuestionRead;   // optional: questions read so far, of 800
    const std::atomic<bool>* Cancel = nullptr;    // optional: stops the import when set
    // Optional, without Replace: characters cp1251 lacks are counted here instead of refused,
    // for the caller to decide (the texts keep them).
    UnencodableChars* Unencodable = nullptr;
};

// 800 questions in number order and the title, ready for the writer.
struct ImportedDatabase {
    QString Title;
    std::vector<QuestionSource> Questions;
};

// The placeholder the data set names for a question without a picture; any path whose file
// is named no_image.* means the same.
inline const QString NoImagePlaceholder = QStringLiteral("./images/no_image.jpg");

// The message of an import stopped through JsonImportOptions::Cancel.
inline const QString ImportCancelledMessage = QStringLiteral("Загрузка отменена.");

// The number a data set field ends in ("Билет 12", "Вопрос 7", or a plain number); 0 when there
// is none or it does not fit an int.
int DataSetNumber(const QJsonValue& value);

// A data set text as one stored line: line breaks would split the record, a NUL would end it;
// they become blanks, and the ends are trimmed.
QString DataSetLine(QString text);

// A file of the data set bigger than this is refused before it is read: the real ones are well
// under a megabyte each, and one is read whole.
constexpr qint64 MaxDataSetFile = 16LL * 1024 * 1024;

// Reads a file of the data set whole; refuses one over MaxDataSetFile. Messages name the file
// as `shown`.
Result<QByteArray> ReadDataSetFile(const QString& path, const QString& shown);

// Data set folder of the category set: "A_B" or "C_D".
QString CategoryFolder(CategorySet set);

// The file an image path of the data set names: as written, relative to the root, else by its
// file name in images/<set>/ (the ticket files write ./tmp/images/A_B/x.jpg for
// images/A_B/x.jpg). Fails, naming the path, when it leaves the root or no file is there.
Result<QString> FindDataSetPicture(const QString& root, CategorySet set, const QString& imagePath);

// Reads questions/<set>/tickets/*.json under the root. A picture path is taken as written,
// relative to the root; when no file is there, by its file name in images/<set>/ (the ticket
// files write ./tmp/images/A_B/x.jpg for images/A_B/x.jpg). Fails, naming the question, on a
// missing or repeated question, a question or answer without text, answers outside 2..5, not
// exactly one right answer, a text cp1251 cannot hold (unless Replace), a file over
// MaxDataSetFile, or a picture that is missing or cannot be decoded.
// Pictures become JPEG of at most Database::MaxPictureBlob bytes. Deterministic.
Result<ImportedDatabase> ImportJsonDataSet(const JsonImportOptions& options);

// ImportJsonDataSet, then the writer; no file is written when anything fails.
Status BuildDatabaseFromJson(const JsonImportOptions& options, const QString& outPath);

// The title used when none is given.
QString DefaultImportTitle(CategorySet set);

} // namespace bil
