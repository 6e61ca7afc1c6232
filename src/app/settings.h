// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>

namespace bil {

// The live settings: the check marks of the settings menu (the store is the persistent copy).
struct Settings {
    bool ShuffleAnswers = true;          // N6, value Rnd (1 = checked)
    bool ShowStatInformer = true;        // N5, value Sta
    bool ShowAnswerOnError = false;      // N13, value Err
    bool AlwaysShowComment = false;      // N16, value Kom
    bool TrainingCommentOnError = false; // N9, value Tre stored inverted (0 = checked)
    bool TrainingMarksAtEnd = false;     // N14, value Otv stored inverted (0 = checked)
    bool ConfirmChoice = false;          // N17, value Pov
    bool HideOnFocusLoss = true;         // N12, value Mas
    int ExamTimeItem = 0;                // Tim: 1..6 = N11 .. N201 checked; 0 none
    int ExamTime = 0;                    // exam duration of the main block, in seconds
    QDate ExamDate;     // Ekz, "yyyy-MM-dd": the learner's exam day; none when invalid
    int DailyGoal = 40; // Vop: questions of the daily review run
};

} // namespace bil
