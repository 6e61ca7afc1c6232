// Building a run: the questions a launch selects, the marks kept from the last run, captions.

#include "study/study_engine.h"

#include "app/catalogue.h"
#include "app/platform.h"
#include "data/themes.h"

#include <algorithm>
#include <array>
#include <bit>

namespace bil {

namespace {

const QString kAppCaption = QStringLiteral("Билетория DER UZIRI");

} // namespace

void StudyEngine::FormShow() {
    endRun(); // a restart replaces the run on screen
    RunLaunch& l = m_app.Launch;
    if (RandomSource* r = m_app.services.random)
        r->reseed();
    m_type = RunTypeOf(l);
    if (l.RebuildList == 1)
        m_marks.clear();
    buildList();

    // A training over an already shown window hides its results when asked to.
    m_iconSet = (m_type == RunType::Training && m_app.Config.TrainingMarksAtEnd) ? IconsHidden
                                                                                 : IconsResults;
    m_swapSlot.fill(0);
    m_enabled.fill(true);
    m_runRight = m_runWrong = m_threeErrorsWarned = m_rightItems = 0;
    if (l.RebuildList == 1 && m_type != RunType::ExamReview)
        std::fill(m_marks.begin(), m_marks.end(), MarkUnanswered);
    m_state = StudyState::Running;
    m_number = 0;
    m_front.listRebuilt();

    // A start item beyond a list that shrank (a question moved away) falls back to the last.
    if (m_runCount > 0) {
        const int start = std::clamp(l.StartItem, 0, m_runCount - 1);
        m_front.selectListItem(start);
        ListView1SelectItem(start);
    } else {
        showNoQuestion();
    }

    setCaptions();
    if (m_type == RunType::Training) {
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

void StudyEngine::buildList() {
    const RunLaunch& l = m_app.Launch;
    m_runList.clear();
    switch (m_type) {
    case RunType::ThemeLearning:
        for (int n = 1; n <= QuestionCount; ++n)
            if (m_app.Themes.theme(n) == l.ThemeNo)
                m_runList.push_back(n);
        break;
    case RunType::RepeatList: {
        for (int n : m_app.Sources.RepeatLists[l.RunMode - 3])
            if (n >= 1 && n <= QuestionCount)
                m_runList.push_back(n);
        break;
    }
    case RunType::SearchResults:
        for (int n : m_app.Sources.SearchList)
            if (n >= 1 && n <= QuestionCount)
                m_runList.push_back(n);
        break;
    case RunType::ExamReview: {
        const RunSources& s = m_app.Sources;
        const int slotCount = std::clamp(s.ExamLastSlot, 0, int(s.ExamSlotNumber.size()));
        m_marks.clear();
        for (int k = 0; k < slotCount; ++k) {
            m_runList.push_back(s.ExamSlotNumber[k]);
            m_marks.push_back(s.ExamSlotRight[k] == 1 ? MarkRight : MarkWrong);
        }
        break;
    }
    case RunType::Preparation: {
        // Every question at a ticked position once, in random order; no ticks means all of them,
        // read like the stored choice, since an empty run could not show anything.
        const uint32_t ticks = PrepChecksFromMask(int32_t(m_app.Sources.PrepChecks));
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
        break;
    }
    case RunType::TicketLearning:
    case RunType::Training:
        break;
    }
    const bool byTicket = m_type == RunType::TicketLearning || m_type == RunType::Training;
    m_runCount = byTicket ? TicketSize : int(m_runList.size());
    // Kept items keep their marks; a list of another length gets unanswered items at its end.
    m_marks.resize(m_runCount, MarkUnanswered);
}

void StudyEngine::setCaptions() {
    const RunLaunch& l = m_app.Launch;
    const Rgb green{0, 255, 0};
    m_windowCaption = kAppCaption;
    m_runCaption = QStringLiteral("Режим обучения");
    m_runCaptionColor = green;
    const QString scope = m_app.Sources.RepeatScope;
    switch (m_type) {
    case RunType::ThemeLearning:
        m_windowCaption =
            kAppCaption + QStringLiteral(" - Обучение по теме ") + ThemeNames(l.ThemeNo);
        break;
    case RunType::Preparation:
        m_runCaption = QStringLiteral("Режим подготовки");
        m_runCaptionColor = Rgb{198, 255, 0};
        break;
    case RunType::RepeatList: {
        static const QString prefixes[4] = {
            QStringLiteral("Билетория ПДД - Повторение сложных вопросов из "),
            QStringLiteral("Билетория ПДД - Обучение по вопросам неопределенной сложности из "),
            QStringLiteral("Билетория ПДД - Повторение легких вопросов из "),
            QStringLiteral("Билетория ПДД - Повторение трудных по статистике вопросов из "),
        };
        m_windowCaption = prefixes[l.RunMode - 3] + scope;
        break;
    }
    case RunType::SearchResults:
        m_windowCaption = kAppCaption + QStringLiteral(" - Поиск: ") + m_app.Sources.SearchQuery;
        break;
    case RunType::Training:
        m_runCaption = QStringLiteral("Режим тренировки");
        m_runCaptionColor = Rgb{255, 0, 0};
        break;
    case RunType::TicketLearning:
    case RunType::ExamReview:
        break;
    }
    m_front.captionsChanged();
}

} // namespace bil
