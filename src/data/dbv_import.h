#pragma once

#include "data/dbv_writer.h"
#include "data/status.h"

#include <QString>

#include <functional>
#include <vector>

namespace bil {

// Which half of the open question data set to read: questions/A_B or questions/C_D.
enum class CategorySet { AB, CD };

struct JsonImportOptions {
    QString Root; // the data set root: holds questions/ and images/
    CategorySet Set = CategorySet::AB;
    QString Title;        // empty: a default title naming the categories
    bool Replace = false; // characters cp1251 lacks become '?' instead of failing
    std::function<void(const QString&)> Progress; // optional progress lines
};

// 800 questions in number order and the title, ready for the writer.
struct ImportedDatabase {
    QString Title;
    std::vector<QuestionSource> Questions;
};

// The placeholder the data set names for a question without a picture.
inline const QString NoImagePlaceholder = QStringLiteral("./images/no_image.jpg");

// Reads questions/<set>/tickets/*.json under the root. Fails, naming the question, on a
// missing or repeated question, answers outside 2..5, not exactly one right answer, a text
// cp1251 cannot hold (unless Replace), or a picture that is missing or cannot be decoded.
// Pictures become JPEG of at most Database::MaxPictureBlob bytes. Deterministic.
Result<ImportedDatabase> ImportJsonDataSet(const JsonImportOptions& options);

// ImportJsonDataSet, then the writer; no file is written when anything fails.
Status BuildDatabaseFromJson(const JsonImportOptions& options, const QString& outPath);

// The title used when none is given.
QString DefaultImportTitle(CategorySet set);

} // namespace bil
