// SPDX-License-Identifier: GPL-3.0-or-later
// The clocks of a run: seconds per question, the training countdown, minimise and restore.

#include "study/study_engine.h"

#include "app/platform.h"
#include "stats/stat_file.h"

namespace bil {

namespace {

const QString kAttention = QStringLiteral("Внимание!");

} // namespace

void StudyEngine::setTimers(bool sp, bool t1) {
    if (sp == m_spOn && t1 == m_t1On)
        return;
    m_spOn = sp;
    m_t1On = t1;
    m_front.timersChanged();
}

void StudyEngine::questionSecond() {
    if (!m_spOn || m_number == 0)
        return;
    AddSecond(m_app.Stats, NumberOf(m_ticket, m_posNo), m_run.channel());
    ++m_questionSeconds;
    if (learningFamily()) {
        refreshStatInformer();
        m_front.statInformerChanged();
    }
}

void StudyEngine::countdownSecond() {
    if (!m_t1On)
        return;
    --m_timeLeft;
    m_front.timeChanged();
    if (m_timeLeft > 0)
        return;
    // Both timers stop before the message, so no second time-out can follow; a confirmation
    // still open on screen belongs to the run that has just ended.
    setTimers(false, false);
    m_spFlag = m_t1Flag = false;
    endRun();
    if (prompter())
        prompter()->message(kAttention, QStringLiteral("Время закончилось! "),
                            Prompter::Icon::Error);
    stop();
}

void StudyEngine::programMinimized() {
    // Only timers that are on now come back on restore.
    if (m_spOn)
        m_spFlag = true;
    if (m_t1On)
        m_t1Flag = true;
    setTimers(false, false);
}

void StudyEngine::programActivated() {
    if (m_state == StudyState::Hidden)
        return;
    setTimers(m_spOn || (m_spFlag && m_state == StudyState::Running), m_t1On || m_t1Flag);
}

void StudyEngine::programDeactivated() {
    RunLaunch& l = m_app.Launch;
    if (l.SkipMinimize == 1) {
        l.SkipMinimize = 0;
        return;
    }
    if (m_app.Config.HideOnFocusLoss)
        m_front.minimizeApplication();
}

} // namespace bil
