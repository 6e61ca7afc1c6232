// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/readiness_commands.h"

#include "app/app_state.h"
#include "app/platform.h"
#include "app/settings_loader.h"
#include "exam/pass_chance.h"
#include "stats/answer_journal.h"
#include "stats/readiness.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>

namespace bil {

namespace {

const QString Percent = QStringLiteral("\u00a0%");

const QString HowCounted =
    QStringLiteral("по правилам экзамена из Ваших ответов на каждый вопрос и того, как давно они "
                   "даны; вопрос без ответа считается незнакомым.");

bool AnyReview(const MemoryStates& states) {
    return std::any_of(states.begin(), states.end(),
                       [](const MemoryState& s) { return s.Reviews > 0; });
}

QDate Today(const AppState& app) {
    return ClockOf(app.services).nowUtc().toLocalTime().date();
}

} // namespace

int64_t ExamDayTime(const QDate& day) {
    return QDateTime(day, QTime(12, 0), QTimeZone::utc()).toSecsSinceEpoch();
}

QString ChancePercent(double chance) {
    const double percent = std::round(std::clamp(chance, 0.0, 1.0) * 100.0);
    if (percent == 0.0 && chance > 0.0)
        return QStringLiteral("<1") + Percent;
    if (percent == 100.0 && chance < 1.0)
        return QStringLiteral(">99") + Percent;
    return QString::number(int(percent)) + Percent;
}

ChanceLine ChanceLineText(const MemoryStates& states, int64_t now, const QDate& today,
                          const QDate& examDay) {
    if (!AnyReview(states))
        return {QStringLiteral("Шанс сдать экзамен: пока нет ответов"),
                QStringLiteral("Шанс сдать экзамен появится после первых ответов: он считается ") +
                    HowCounted};
    const QString todayChance = ChancePercent(PassChance(RecallProbabilities(states, now)));
    if (!examDay.isValid() || examDay <= today)
        return {QStringLiteral("Шанс сдать экзамен сегодня: ") + todayChance,
                QStringLiteral("Вероятность сдать экзамен, если бы он был сегодня, посчитанная ") +
                    HowCounted};
    const QString date = examDay.toString(QStringLiteral("dd.MM.yyyy"));
    const QString examChance =
        ChancePercent(PassChance(RecallProbabilities(states, ExamDayTime(examDay))));
    return {QStringLiteral("Шанс сдать: сегодня ") + todayChance + QStringLiteral(", ") + date +
                QStringLiteral(" — ") + examChance,
            QStringLiteral("Вероятность сдать экзамен сегодня и в день экзамена ") + date +
                QStringLiteral(", если до него больше не заниматься, посчитанная ") + HowCounted};
}

MemoryStates CurrentMemoryStates(AppState& app) {
    if (!app.services.answers)
        return {};
    // Without readable questions there is no set to forecast: its answers would not be told
    // apart from those of another one.
    const Fingerprint set = app.Prints.setPrint(app.Db);
    if (set == 0)
        return {};
    return ReplayJournal(RecordedAnswers(app), set);
}

ChanceLine CurrentChanceLine(AppState& app) {
    const int64_t now = ClockOf(app.services).nowUtc().toSecsSinceEpoch();
    return ChanceLineText(CurrentMemoryStates(app), now, Today(app), app.Config.ExamDate);
}

QString ReviewRun(AppState& app, RunRequest& request) {
    const int64_t now = ClockOf(app.services).nowUtc().toSecsSinceEpoch();
    std::vector<int> questions = ReviewQuestions(CurrentMemoryStates(app), now,
                                                 std::clamp(app.Config.DailyGoal, 1, MaxDailyGoal));
    if (questions.empty())
        return QStringLiteral(
            "Сейчас повторять нечего: вопросов, которые Вы начали забывать, нет, а новые вопросы "
            "лучше сначала изучить по билетам или темам.");
    request = RunRequest::review(std::move(questions));
    return {};
}

bool ChooseExamDateCommand(AppState& app) {
    Prompter* prompter = app.services.prompter;
    if (!prompter || !app.services.store)
        return false;
    const QDate today = Today(app);
    const Prompter::DateChoice choice = prompter->chooseDate(
        QStringLiteral("Дата экзамена"),
        QStringLiteral("В какой день Вы сдаёте экзамен? Программа покажет, каким будет шанс "
                       "сдать его в этот день."),
        app.Config.ExamDate.isValid() && app.Config.ExamDate >= today ? app.Config.ExamDate
                                                                      : QDate(),
        today);
    if (!choice.Accepted)
        return false;
    if (Status s = SetExamDate(*app.services.store, app.Config, choice.Date); !s)
        prompter->warn(s.message());
    return true;
}

bool ChooseDailyGoalCommand(AppState& app) {
    Prompter* prompter = app.services.prompter;
    if (!prompter || !app.services.store)
        return false;
    const std::optional<int> goal = prompter->chooseNumber(
        QStringLiteral("Вопросов в день"),
        QStringLiteral("Сколько вопросов давать в «Повторении»? Сначала идут вопросы, которые "
                       "пора повторить, остальные — те, что больше всего поднимут шанс сдать "
                       "экзамен."),
        app.Config.DailyGoal, 1, MaxDailyGoal);
    if (!goal)
        return false;
    if (Status s = SetDailyGoal(*app.services.store, app.Config, *goal); !s)
        prompter->warn(s.message());
    return true;
}

} // namespace bil
