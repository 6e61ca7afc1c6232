// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/run_request.h"
#include "stats/memory_model.h"

#include <QDate>
#include <QString>

#include <cstdint>

namespace bil {

struct AppState;

// The main window's line on the chance to pass the exam.
struct ChanceLine {
    QString Text; // one line
    QString Tip;  // one sentence: what the numbers mean
};

// The moment of the exam day the forecasts take: noon UTC.
int64_t ExamDayTime(const QDate& day);

// A chance as the learner reads it: whole percent, "<1 %" and ">99 %" rather than a 0 or a 100
// that is not quite true.
QString ChancePercent(double chance);

// The line for the memory states at now (UTC seconds): the chance to pass today and, when the
// exam day is after today (both local dates), on the exam day.
ChanceLine ChanceLineText(const MemoryStates& states, int64_t now, const QDate& today,
                          const QDate& examDay);

// The open question set's memory states from the shared state's journal; every question unknown
// without one.
MemoryStates CurrentMemoryStates(AppState& app);

// The line for the shared state now: its clock, journal and exam day.
ChanceLine CurrentChanceLine(AppState& app);

// «Повторение» now: the questions being forgotten, then those the chance to pass needs most,
// up to the daily goal. Without a question worth asking, the message to show instead (and
// request is left as it was).
QString ReviewRun(AppState& app, RunRequest& request);

// «Дата экзамена…»: asks for the day (none before today; it can be cleared) and stores it.
// A failed write is told; the day is used all the same. True when the learner chose or cleared.
bool ChooseExamDateCommand(AppState& app);

// «Вопросов в день…»: asks for the daily goal and stores it. True when the learner chose one.
bool ChooseDailyGoalCommand(AppState& app);

} // namespace bil
