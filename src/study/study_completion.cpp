// SPDX-License-Identifier: GPL-3.0-or-later
// The end of a run: a learned ticket or theme, the three-errors warning, the close with its
// verdict, status and save.

#include "study/study_engine.h"

#include "app/line_break.h"
#include "app/platform.h"
#include "data/themes.h"
#include "stats/answer_journal.h"
#include "stats/save_guard.h"
#include "stats/stat_file.h"

#include <algorithm>

namespace bil {

namespace {

constexpr int kPassMark = 18;

} // namespace

void StudyEngine::completionRules() {
    if (learningFamily()) {
        if (m_rightItems >= m_runCount)
            return;
        m_rightItems = int(std::count(m_marks.begin(), m_marks.end(), MarkRight));
        if (m_rightItems != m_runCount)
            return;
        m_state = StudyState::Complete;
        setTimers(false, m_t1On); // the running flag stays
        if (m_iconSet != IconsResults) {
            m_iconSet = IconsResults;
            m_front.marksChanged(-1);
        }
        // Only a fresh ticket, theme or preparation offers the next one; a review or a list ends.
        const RunType type = m_run.Type;
        if (m_run.KeepMarks || (type != RunType::TicketLearning && type != RunType::ThemeLearning &&
                                type != RunType::Preparation))
            return;
        QString question;
        if (type == RunType::Preparation)
            question = QStringLiteral("Повторить подготовку?");
        else if (type == RunType::TicketLearning)
            question = QStringLiteral("Вы ответили на все вопросы билета,") + LineBreak +
                       QStringLiteral("перейти к следующему билету? ");
        else
            question = QStringLiteral("Вы ответили на все вопросы темы,") + LineBreak +
                       QStringLiteral("перейти к следующей? ");
        const std::optional<bool> next = askAboutRun(question, false);
        if (!next)
            return;
        if (*next) {
            if (type == RunType::TicketLearning)
                MarkTicketLearned(m_app.Stats, m_ticket);
            if (type == RunType::ThemeLearning)
                m_run.Theme = m_run.Theme % ThemeCount + 1;
            else
                m_run.Ticket = m_ticket % TicketCount + 1;
            restart();
        } else {
            stop();
        }
        return;
    }
    if (m_runRight + m_runWrong == m_runCount) {
        stop();
        return;
    }
    if (m_threeErrorsWarned == 0 && m_runWrong == 3 && m_iconSet == IconsResults) {
        m_threeErrorsWarned = 1;
        const std::optional<bool> goOn =
            askAboutRun(QStringLiteral("ТРИ ОШИБКИ!!!") + LineBreak +
                            QStringLiteral("Вы уже провалили экзамен, будете продолжать? "),
                        true);
        // A "Нет" that comes back after a time-out must not close the review that followed it.
        if (goOn && !*goOn)
            stop();
    }
}

void StudyEngine::endRun() {
    ++m_runId;
    if (prompter())
        prompter()->closeQuestions();
    m_front.runEnded();
}

std::optional<bool> StudyEngine::askAboutRun(const QString& question, bool withoutPrompter) {
    if (!prompter())
        return withoutPrompter;
    const unsigned run = m_runId;
    const bool yes = prompter()->confirm(question);
    if (run != m_runId)
        return std::nullopt;
    return yes;
}

void StudyEngine::stop() {
    m_front.closeWindow();
}

bool StudyEngine::close() {
    if (m_state == StudyState::Hidden)
        return true;
    setTimers(false, false);
    m_spFlag = m_t1Flag = false;
    endRun();

    // Learned means every question of the ticket answered right in this run: RunRight also
    // counts the click that only reveals the comment and every answer given again.
    const bool allRight = m_runCount == TicketSize &&
                          std::count(m_marks.begin(), m_marks.end(), MarkRight) == TicketSize;
    if (m_run.Type == RunType::TicketLearning && allRight)
        MarkTicketLearned(m_app.Stats, m_ticket);

    if (m_run.Type == RunType::Training) {
        const QString used = FormatDuration(m_app.Config.ExamTime - m_timeLeft);
        StudyVerdict v;
        v.Passed = m_runRight >= kPassMark;
        m_app.Stats.TicketStatus[m_ticket - 1] = v.Passed ? 1 : 2;
        if (m_iconSet != IconsResults) {
            m_iconSet = IconsResults;
            m_front.marksChanged(-1);
        }
        v.Headline = v.Passed ? QStringLiteral("Поздравляем вы сдали экзамен!")
                              : QStringLiteral("К сожалению экзамен не сдан!");
        v.First = QStringLiteral("Вы отвечали на билет №") + QString::number(m_ticket);
        v.Second = v.Passed ? QStringLiteral("Правильных ответов: ") + QString::number(m_runRight)
                            : QStringLiteral("Ошибок: ") + QString::number(TicketSize - m_runRight);
        v.Time = QStringLiteral("Время ответа: ") + used;
        if (m_front.showVerdict(v) == 2) {
            // The review of the ticket just trained: same window, stars kept, saved on its close.
            startRun(RunRequest::trainingReview(m_ticket, m_run.StartItem));
            return false;
        }
    }

    SaveAtStatsPoint(m_app.Saves, m_io.saveStats, m_io.saveThemes, prompter());
    FlushJournal(m_app);
    m_timeVisible = false;
    m_front.timeChanged();
    m_state = StudyState::Hidden;
    return true;
}

} // namespace bil
