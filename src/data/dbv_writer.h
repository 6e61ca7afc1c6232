// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace bil {

// One question as the writer takes it; texts in memory, stored as cp1251.
struct QuestionSource {
    QString Text;
    std::vector<QString> Answers; // 2..5, stored order
    int Correct = 1;              // 1-based, stored order
    QString Comment;              // written after a three-character prefix and one blank
    QByteArray Jpeg;              // empty: no picture
};

// The three-character prefix the writer puts before every comment.
inline const QString CommentPrefix = QStringLiteral("Ком");

// Builds the bytes of a .dbv file: header, 800-entry index, then each question's text blob
// followed by its picture blob, in number order. Deterministic: same input, same bytes.
// Fails (naming the question) on a title over 50 characters, a question count other than 800,
// a text cp1251 cannot hold (unless replace), or a blob over the format's limits.
Result<QByteArray> BuildDatabase(const QString& title, const std::vector<QuestionSource>& questions,
                                 bool replace = false);

// BuildDatabase, then write the file atomically.
Status WriteDatabase(const QString& path, const QString& title,
                     const std::vector<QuestionSource>& questions, bool replace = false);

} // namespace bil
