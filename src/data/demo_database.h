// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/dbv_writer.h"
#include "data/jpeg_encode.h"
#include "data/status.h"

#include <QString>

#include <vector>

namespace bil {

// Title of the demonstration database; every question text says it is a demonstration too.
inline const QString DemoTitle = QStringLiteral("Демонстрационная база вопросов");

// The demonstration picture sizes worth exercising: most pictures are of the usual wide
// shape, a few very wide, a few tall, and one large progressive picture.
struct DemoPictureShape {
    int Width = 0;
    int Height = 0;
    bool Progressive = false;
};

// Shape of question n's picture; Width 0 when the question has none (about a third).
DemoPictureShape DemoPictureShapeOf(int number);

// The road-sign-like picture of question n, drawn in code.
RgbImage DrawDemoPicture(int number, const DemoPictureShape& shape);

// The 800 demonstration questions: our own texts, 2..5 answers, varied right answers,
// comments citing rule items, signs, plates and markings. Same result on every call.
std::vector<QuestionSource> DemoQuestions();

// Writes the demonstration database to path (atomically).
Status WriteDemoDatabase(const QString& path);

} // namespace bil
