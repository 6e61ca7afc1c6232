// SPDX-License-Identifier: GPL-3.0-or-later
// Judging an answer: counting it, marking the item, the comment and the next question.

#include "study/study_engine.h"

#include "stats/answer_journal.h"
#include "stats/stat_file.h"

#include <algorithm>

namespace bil {

void StudyEngine::enableOnlyRightButton() {
    m_enabled.fill(false);
    if (m_rightButton >= 1 && m_rightButton <= MaxAnswers)
        m_enabled[m_rightButton - 1] = true;
}

int StudyEngine::firstEnabledButton() const {
    for (int b = 1; b <= MaxAnswers; ++b)
        if (buttonVisible(b) && buttonEnabled(b))
            return b;
    return 0;
}

void StudyEngine::revealComment() {
    m_commentVisible = true;
    m_front.answerStateChanged();
}

void StudyEngine::journalAnswer(int b, bool right) {
    const int n = m_number;
    if (n < 1 || n > QuestionCount)
        return;
    uint8_t flags = 0;
    if (!m_answeredInRun[size_t(n - 1)])
        flags |= FirstInRun;
    // The comment, or the right button left alone to press, gave the answer away.
    if (m_commentVisible || (m_question.AnswerCount > 1 && firstEnabledButton() == m_rightButton &&
                             std::count(m_enabled.begin(), m_enabled.end(), true) == 1))
        flags |= AfterReveal;
    m_answeredInRun[size_t(n - 1)] = true;
    // The button shows the stored answer it was swapped with, if any.
    const int s = m_swapSlot[size_t(m_runPos - 1)];
    const int correct = m_question.Correct;
    const int chosen = s == 0 ? b : b == s ? correct : b == correct ? s : b;
    JournalAnswer(m_app, n, m_run.channel(), int(m_run.Type), chosen, right, m_questionSeconds,
                  flags);
}

void StudyEngine::answer(int b) {
    if (m_state == StudyState::Hidden || m_number == 0 || b < 1 || b > MaxAnswers ||
        !buttonVisible(b) || !buttonEnabled(b))
        return;
    const bool family = learningFamily();
    const Settings& cfg = m_app.Config;
    if (cfg.ConfirmChoice && !(family && cfg.AlwaysShowComment)) {
        // The countdown runs on while the box is open: a time-out there voids the answer.
        const std::optional<bool> sure = askAboutRun(QStringLiteral("Вы уверены?"), true);
        if (!sure || !*sure)
            return;
    }

    const int index = m_runPos - 1;
    const int channel = m_run.channel();
    if (b == m_rightButton) {
        ++m_runRight;
        m_marks[index] = MarkRight;
        m_front.marksChanged(index);
        if (family && cfg.AlwaysShowComment && !m_commentVisible) {
            // This click only reveals the comment; the answer counts on the next one. The
            // journal takes it now, judged before the comment was seen.
            journalAnswer(b, true);
            m_revealJournaled = true;
            revealComment();
            return;
        }
        if (!m_revealJournaled)
            journalAnswer(b, true);
        m_revealJournaled = false;
        CountRight(m_app.Stats, m_number, channel);
    } else {
        journalAnswer(b, false);
        m_marks[index] = MarkWrong;
        m_front.marksChanged(index);
        ++m_runWrong;
        CountWrong(m_app.Stats, m_number, channel);
        if (family) {
            m_commentVisible = true;
            if (cfg.ShowAnswerOnError)
                enableOnlyRightButton();
            m_front.answerStateChanged();
            return;
        }
        if (cfg.TrainingCommentOnError) {
            m_commentVisible = true;
            m_enabled.fill(false);
            m_front.answerStateChanged();
            completionRules();
            return;
        }
    }
    moveOn();
    completionRules();
}

void StudyEngine::moveOn() {
    const int next = m_runPos < m_runCount ? m_runPos : 0;
    m_front.selectListItem(next);
    showQuestion(next);
}

} // namespace bil
