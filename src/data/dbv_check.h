// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database.h"
#include "data/status.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

namespace bil {

// A question the program could not use, and why (number 0: the file as a whole).
struct DbvProblem {
    int Number = 0;
    QString Reason;
};

struct DbvCheckReport {
    QString Title;
    int WithPicture = 0;
    uint32_t LargestText = 0;
    int LargestTextNumber = 0;
    uint32_t LargestPicture = 0;
    int LargestPictureNumber = 0;
    std::vector<DbvProblem> Problems;

    bool ok() const { return Problems.empty(); }
    // One line: title, questions with pictures, largest blobs, problem count.
    QString summary() const;
};

// Reads header, index and all 800 questions through the program's reader and decodes every
// picture. Fails only when the file cannot be opened at all; damage is listed in the report.
Result<DbvCheckReport> CheckDbvFile(const QString& path);

// A question as the program sees it: texts, picture size, built-in theme and help links.
QJsonObject QuestionJson(const TQuestion& question);

// QuestionJson of one question of an open database.
Result<QJsonObject> DumpQuestion(const Database& db, int number);

} // namespace bil
