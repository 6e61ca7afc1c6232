// SPDX-License-Identifier: GPL-3.0-or-later
// The study engine's font table and the window's commands (list, pie, light, help);
// the other subjects of the engine have files of their own (see study_engine.h).

#include "study/study_engine.h"

#include "data/themes.h"
#include "help/help_topics.h"
#include "help/open_help.h"
#include "stats/save_guard.h"

namespace bil {

bool QuestionFontSizes(int w, QuestionFonts& f) {
    struct Row {
        int upTo, question, answers, comment;
    };
    static constexpr Row rows[] = {{800, 14, 12, 10},  {900, 16, 14, 12},  {1000, 18, 16, 14},
                                   {1100, 20, 18, 16}, {1200, 22, 20, 18}, {3000, 24, 22, 20}};
    for (const Row& r : rows)
        if (w <= r.upTo) {
            f = QuestionFonts{r.question, r.answers, r.comment};
            return true;
        }
    return false;
}

StudyEngine::StudyEngine(AppState& app, StudyIo io, StudyFrontEnd& front)
    : m_app(app), m_io(std::move(io)), m_front(front) {}

// --- Mouse and keyboard commands ---------------------------------------------------------------

void StudyEngine::switchIconSet() {
    m_iconSet = m_iconSet == IconsResults ? IconsHidden : IconsResults;
    m_front.marksChanged(-1);
}

void StudyEngine::showComment() {
    if (learningFamily() && m_number != 0)
        revealComment();
}

void StudyEngine::toggleCounter() {
    m_counterVisible = !m_counterVisible;
    m_front.statInformerChanged();
}

void StudyEngine::markByLight(int y) {
    if (m_number == 0 || !m_lightVisible)
        return;
    const int mark = y < 20 ? 1 : y <= 38 ? 0 : 2;
    m_currentMark = mark;
    m_app.Themes.mark(m_number) = uint8_t(mark);
    m_front.lightChanged();
    saveThemes();
}

void StudyEngine::saveThemes() {
    if (m_io.saveThemes)
        m_app.Saves.Themes.save(m_io.saveThemes, prompter());
}

void StudyEngine::moveToTheme() {
    if (!m_run.followsList() || m_runCount < 2 || m_number == 0)
        return;
    const int moveTicket = m_ticket, movePos = m_posNo;
    const QString prompt = QStringLiteral("Укажите в какую тему перенести вопрос №") +
                           QString::number(movePos) + QStringLiteral(" билета №") +
                           QString::number(moveTicket);
    const unsigned run = m_runId;
    // A theme run offers its own theme; the other lists start at the first.
    const int preselected = m_run.Type == RunType::ThemeLearning ? m_run.Theme : 1;
    const int theme = m_front.chooseTheme(prompt, preselected);
    if (theme < 0 || run != m_runId)
        return;
    if (theme >= 1 && theme <= ThemeCount) {
        m_app.Themes.theme(NumberOf(moveTicket, movePos)) = uint8_t(theme);
        saveThemes();
    }
    const int selected = m_runPos - 1;
    if (selected != m_runCount - 1)
        m_run.StartItem = selected;
    restart();
}

std::vector<QString> StudyEngine::helpLinkCaptions() {
    std::vector<QString> captions;
    if (m_number == 0)
        return captions;
    const auto& links = m_app.Themes.HelpLinks[m_number - 1];
    for (const HelpLink& link : links)
        captions.push_back(link.LinkCaption);
    return captions;
}

void StudyEngine::openHelpLink(int pair) {
    if (m_number == 0 || pair < 0 || pair >= MaxHelpLinks)
        return;
    const HelpLink& link = m_app.Themes.HelpLinks[m_number - 1][pair];
    if (link.LinkCaption.isEmpty())
        return;
    OpenHelp(m_app, HelpRequestPopup(link.LinkTopic));
}

void StudyEngine::openHelp() {
    OpenHelp(m_app, HelpRequestMain(HelpPageStudy));
}

} // namespace bil
