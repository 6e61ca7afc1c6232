// SPDX-License-Identifier: GPL-3.0-or-later
// Building a run: the questions a launch selects, the marks kept from the last run, captions.

#include "study/study_engine.h"

#include "app/catalogue.h"
#include "app/platform.h"
#include "data/themes.h"

#include <algorithm>
#include <array>
#include <bit>

namespace bil {

void StudyEngine::startRun(RunRequest request) {
    endRun(); // a restart replaces the run on screen
    if (RandomSource* r = m_app.services.random)
        r->reseed();
    m_run = std::move(request);
    m_answeredInRun.reset();
    if (m_run.byTicket())
        m_ticket = m_run.Ticket;
    const bool rebuild = !m_run.KeepMarks;
    if (rebuild)
        m_marks.clear();
    buildList();

    // A training over an already shown window hides its results when asked to.
    m_iconSet = (m_run.Type == RunType::Training && m_app.Config.TrainingMarksAtEnd) ? IconsHidden
                                                                                     : IconsResults;
    m_swapSlot.fill(0);
    m_enabled.fill(true);
    m_runRight = m_runWrong = m_threeErrorsWarned = m_rightItems = 0;
    if (rebuild && m_run.Type != RunType::ExamReview)
        std::fill(m_marks.begin(), m_marks.end(), MarkUnanswered);
    m_state = StudyState::Running;
    m_number = 0;
    m_front.listRebuilt();

    // A start item beyond a list that shrank (a question moved away) falls back to the last.
    if (m_runCount > 0) {
        const int start = std::clamp(m_run.StartItem, 0, m_runCount - 1);
        m_front.selectListItem(start);
        showItem(start);
    } else {
        showNoQuestion();
    }

    setCaptions();
    if (m_run.Type == RunType::Training) {
        m_timeLeft = m_app.Config.ExamTime;
        m_timeVisible = true;
        m_front.timeChanged();
        setTimers(true, true);
        m_t1Flag = true;
    } else {
        setTimers(true, false);
    }
    m_spFlag = true;
}

void StudyEngine::restart() {
    startRun(m_run);
}

void StudyEngine::buildList() {
    m_runList.clear();
    const RunType type = m_run.Type;
    if (type == RunType::ThemeLearning) {
        for (int n = 1; n <= QuestionCount; ++n)
            if (m_app.Themes.theme(n) == m_run.Theme)
                m_runList.push_back(n);
    } else if (type == RunType::ExamReview) {
        const int slotCount = int(std::min(m_run.Questions.size(), m_run.Answers.size()));
        m_marks.clear();
        for (int k = 0; k < slotCount; ++k) {
            m_runList.push_back(m_run.Questions[k]);
            m_marks.push_back(m_run.Answers[k].Right ? MarkRight : MarkWrong);
        }
    } else if (type == RunType::Preparation) {
        // Every question at a ticked position once, in random order; no ticks means all of them,
        // read like the stored choice, since an empty run could not show anything.
        const uint32_t ticks = PrepChecksFromMask(int32_t(m_run.Positions));
        const int wanted = TicketCount * std::popcount(ticks);
        std::array<bool, QuestionCount> taken{};
        RandomSource* random = m_app.services.random;
        while (int(m_runList.size()) < wanted) {
            const int q = random->below(QuestionCount) + 1;
            if ((ticks >> (PositionOf(q) - 1) & 1u) && !taken[q - 1]) {
                taken[q - 1] = true;
                m_runList.push_back(q);
            }
        }
    } else if (!m_run.byTicket()) {
        for (int n : m_run.Questions)
            if (n >= 1 && n <= QuestionCount)
                m_runList.push_back(n);
    }
    m_runCount = m_run.byTicket() ? TicketSize : int(m_runList.size());
    // Kept items keep their marks; a list of another length gets unanswered items at its end.
    m_marks.resize(m_runCount, MarkUnanswered);
}

void StudyEngine::setCaptions() {
    const Rgb green{0, 255, 0};
    m_windowCaption = m_run.Caption.isEmpty() ? StudyAppCaption : m_run.Caption;
    m_runCaption = QStringLiteral("Режим обучения");
    m_runCaptionColor = green;
    if (m_run.Type == RunType::ThemeLearning) {
        m_windowCaption =
            StudyAppCaption + QStringLiteral(" - Обучение по теме ") + ThemeNames(m_run.Theme);
    } else if (m_run.Type == RunType::Preparation) {
        m_runCaption = QStringLiteral("Режим подготовки");
        m_runCaptionColor = Rgb{198, 255, 0};
    } else if (m_run.Type == RunType::Training) {
        m_runCaption = QStringLiteral("Режим тренировки");
        m_runCaptionColor = Rgb{255, 0, 0};
    }
    m_front.captionsChanged();
}

} // namespace bil
