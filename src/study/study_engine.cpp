#include "study/study_engine.h"

#include "app/catalogue.h"
#include "app/line_break.h"
#include "app/platform.h"
#include "data/themes.h"
#include "help/help_topics.h"
#include "help/open_help.h"
#include "stats/save_guard.h"
#include "stats/stat_file.h"

#include <algorithm>
#include <bit>

namespace bil {

namespace {

const QString kAppCaption = QStringLiteral("Билетория DER UZIRI");
const QString kCommentPrefix = QStringLiteral("Комментарий к вопросу: ");
const QString kAttention = QStringLiteral("Внимание!");
constexpr int kPassMark = 18;

QString AnswerLine(const TQuestion& q, int shownAt, int storedSlot) {
    return QString::number(shownAt) + QStringLiteral(". ") + q.Answers[storedSlot - 1];
}

} // namespace

RunType RunTypeOf(const RunLaunch& l) {
    if (l.RunKind != 0)
        return RunType::Training;
    if (l.ThemeNo != 0) {
        if (l.RunMode <= 2)
            return RunType::ThemeLearning;
        if (l.RunMode <= 6)
            return RunType::RepeatList;
        if (l.RunMode == 7)
            return RunType::ExamReview;
        if (l.RunMode == SearchRunMode)
            return RunType::SearchResults;
        return RunType::TicketLearning;
    }
    return l.RunMode == 1 ? RunType::Preparation : RunType::TicketLearning;
}

void SetSearchLaunch(RunLaunch& launch, RunSources& sources, std::vector<int> numbers,
                     const QString& query, int startItem) {
    sources.SearchList = std::move(numbers);
    sources.SearchQuery = query;
    launch.RunKind = 0;
    launch.RunMode = SearchRunMode;
    launch.ThemeNo = 1;
    launch.RebuildList = 1;
    launch.StartItem = startItem;
}

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

// --- Building a run --------------------------------------------------------------------------

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

// --- Showing a question ----------------------------------------------------------------------

void StudyEngine::ListView1SelectItem(int index) {
    if (index < 0 || index >= m_runCount)
        return;
    showQuestion(index);
}

void StudyEngine::showQuestion(int index) {
    RunLaunch& l = m_app.Launch;
    const bool training = m_type == RunType::Training;
    m_runPos = index + 1;
    int q;
    if (m_type == RunType::TicketLearning || training) {
        m_posNo = m_runPos;
        q = NumberOf(l.TicketNo, m_posNo);
    } else {
        q = m_runList[m_runPos - 1];
        l.TicketNo = TicketOf(q);
        m_posNo = PositionOf(q);
    }
    m_number = q;
    m_heading = training ? QStringLiteral("Вопрос №") + QString::number(m_posNo)
                         : QStringLiteral("Билет №") + QString::number(l.TicketNo) +
                               QStringLiteral(" Вопрос №") + QString::number(m_posNo);

    Result<TQuestion> loaded =
        m_io.loadQuestion ? m_io.loadQuestion(q) : Result<TQuestion>(Status::Error({}));
    if (loaded) {
        m_question = std::move(loaded).value();
    } else {
        // An unreadable question shows no answers; the run goes on with the others.
        m_question = TQuestion{};
        m_question.Number = q;
        if (prompter() && !loaded.error().isEmpty())
            prompter()->warn(loaded.error());
    }

    m_captions.fill(QString());
    m_rightButton = m_question.Correct;
    QStringList lines;
    for (int k = 1; k <= m_question.AnswerCount; ++k)
        lines << AnswerLine(m_question, k, k);
    m_answers = lines.join(LineBreak);
    if (m_type != RunType::ExamReview && m_app.Config.ShuffleAnswers)
        swapAnswers();

    const uint8_t itemMark = m_marks[index];
    if (training) {
        m_enabled.fill(itemMark == MarkUnanswered);
    } else {
        m_enabled.fill(true);
        if (m_app.Config.ShowAnswerOnError && itemMark != MarkUnanswered)
            enableOnlyRightButton();
    }

    if (m_type == RunType::ExamReview) {
        const RunSources& s = m_app.Sources;
        const int chosen = s.ExamSlotChosen[index];
        if (s.ExamSlotRight[index] == 0 && chosen >= 1 && chosen <= MaxAnswers)
            m_captions[chosen - 1] =
                QStringLiteral("Ваш выбор ") + QString::number(chosen) + QStringLiteral("       ");
    }

    m_comment = kCommentPrefix + m_question.Comment;
    m_commentVisible = itemMark == MarkWrong && (!training || m_app.Config.TrainingCommentOnError);

    if (training) {
        m_statVisible = m_counterVisible = m_lightVisible = false;
    } else {
        m_currentMark = m_app.Themes.mark(q);
        m_lightVisible = true;
        m_statVisible = m_counterVisible = m_app.Config.ShowStatInformer;
        refreshStatInformer();
    }
    m_front.questionShown();
}

void StudyEngine::showNoQuestion() {
    // A theme whose questions all moved away: nothing of the previous run may stay answerable.
    m_question = TQuestion{};
    m_runPos = m_posNo = 0;
    m_heading.clear();
    m_answers.clear();
    m_comment.clear();
    m_commentVisible = false;
    m_captions.fill(QString());
    m_enabled.fill(false);
    m_rightButton = 0;
    m_statVisible = m_counterVisible = m_lightVisible = false;
    m_front.questionShown();
}

void StudyEngine::swapAnswers() {
    const int count = m_question.AnswerCount;
    const int correct = m_question.Correct;
    if (count < 1 || correct < 1 || correct > count)
        return;
    uint8_t& slot = m_swapSlot[m_runPos - 1];
    if (slot == 0)
        slot = uint8_t(m_app.services.random->below(count) + 1);
    const int s = slot;
    QStringList lines;
    for (int n = 1; n <= count; ++n) {
        const int stored = n == s ? correct : n == correct ? s : n;
        lines << AnswerLine(m_question, n, stored);
    }
    m_answers = lines.join(LineBreak);
    m_rightButton = s;
}

void StudyEngine::refreshStatInformer() {
    if (m_number == 0)
        return;
    const TQuestionStat& st = m_app.Stats.question(m_number);
    m_pieRight = m_pieWrong = m_seconds = 0;
    for (int c = 0; c < ChannelCount; ++c) {
        m_pieRight += st.Right[c];
        m_pieWrong += st.Wrong[c];
        m_seconds += st.Seconds[c];
    }
}

// --- Answering -------------------------------------------------------------------------------

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

void StudyEngine::BitBtn1Click(int b) {
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
    const int channel = m_app.Launch.RunKind;
    if (b == m_rightButton) {
        ++m_runRight;
        m_marks[index] = MarkRight;
        m_front.marksChanged(index);
        if (family && cfg.AlwaysShowComment && !m_commentVisible) {
            // This click only reveals the comment; the answer counts on the next one.
            revealComment();
            return;
        }
        CountRight(m_app.Stats, m_number, channel);
    } else {
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

void StudyEngine::completionRules() {
    RunLaunch& l = m_app.Launch;
    if (l.RunKind == 0) {
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
        if (l.RebuildList != 1 || l.RunMode >= 3)
            return;
        QString question;
        if (m_type == RunType::Preparation)
            question = QStringLiteral("Повторить подготовку?");
        else if (l.ThemeNo == 0)
            question = QStringLiteral("Вы ответили на все вопросы билета,") + LineBreak +
                       QStringLiteral("перейти к следующему билету? ");
        else
            question = QStringLiteral("Вы ответили на все вопросы темы,") + LineBreak +
                       QStringLiteral("перейти к следующей? ");
        const std::optional<bool> next = askAboutRun(question, false);
        if (!next)
            return;
        if (*next) {
            if (m_type == RunType::TicketLearning) {
                int32_t& status = m_app.Stats.TicketStatus[l.TicketNo - 1];
                if (status == 0)
                    status = 4;
            }
            if (l.ThemeNo == 0)
                l.TicketNo = l.TicketNo % TicketCount + 1;
            else
                l.ThemeNo = l.ThemeNo % ThemeCount + 1;
            FormShow();
        } else {
            BitBtn7Click();
        }
        return;
    }
    if (m_runRight + m_runWrong == m_runCount) {
        BitBtn7Click();
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
            BitBtn7Click();
    }
}

// --- Mouse and keyboard commands ------------------------------------------------------------

void StudyEngine::ListView1DblClick() {
    m_iconSet = m_iconSet == IconsResults ? IconsHidden : IconsResults;
    m_front.marksChanged(-1);
}

void StudyEngine::ScrollBox1DblClick() {
    if (learningFamily() && m_number != 0)
        revealComment();
}

void StudyEngine::Chart1Click() {
    m_counterVisible = !m_counterVisible;
    m_front.statInformerChanged();
}

void StudyEngine::Image2MouseDown(int y) {
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
    RunLaunch& l = m_app.Launch;
    if (l.ThemeNo == 0 || m_runCount < 2 || m_number == 0)
        return;
    const int moveTicket = l.TicketNo, movePos = m_posNo;
    const QString prompt = QStringLiteral("Укажите в какую тему перенести вопрос №") +
                           QString::number(movePos) + QStringLiteral(" билета №") +
                           QString::number(moveTicket);
    const unsigned run = m_runId;
    const int theme = m_front.chooseTheme(prompt, l.ThemeNo);
    if (theme < 0 || run != m_runId)
        return;
    if (theme >= 1 && theme <= ThemeCount) {
        m_app.Themes.theme(NumberOf(moveTicket, movePos)) = uint8_t(theme);
        saveThemes();
    }
    const int selected = m_runPos - 1;
    if (selected != m_runCount - 1)
        l.StartItem = selected;
    FormShow();
}

std::vector<QString> StudyEngine::Label4Click() {
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

void StudyEngine::SpeedButton1Click() {
    OpenHelp(m_app, HelpRequestMain(HelpPageStudy));
}

// --- Timers ----------------------------------------------------------------------------------

void StudyEngine::setTimers(bool sp, bool t1) {
    if (sp == m_spOn && t1 == m_t1On)
        return;
    m_spOn = sp;
    m_t1On = t1;
    m_front.timersChanged();
}

void StudyEngine::SpTimerTimer() {
    if (!m_spOn || m_number == 0)
        return;
    AddSecond(m_app.Stats, NumberOf(m_app.Launch.TicketNo, m_posNo), m_app.Launch.RunKind);
    if (learningFamily()) {
        refreshStatInformer();
        m_front.statInformerChanged();
    }
}

void StudyEngine::Timer1Timer() {
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
    BitBtn7Click();
}

void StudyEngine::AppMinimize() {
    // Only timers that are on now come back on restore.
    if (m_spOn)
        m_spFlag = true;
    if (m_t1On)
        m_t1Flag = true;
    setTimers(false, false);
}

void StudyEngine::AppActivate() {
    if (m_state == StudyState::Hidden)
        return;
    setTimers(m_spOn || (m_spFlag && m_state == StudyState::Running), m_t1On || m_t1Flag);
}

void StudyEngine::AppDeactivate() {
    RunLaunch& l = m_app.Launch;
    if (l.SkipMinimize == 1) {
        l.SkipMinimize = 0;
        return;
    }
    if (m_app.Config.HideOnFocusLoss)
        m_front.minimizeApplication();
}

// --- Closing ---------------------------------------------------------------------------------

void StudyEngine::endRun() {
    ++m_runId;
    if (prompter())
        prompter()->closeQuestions();
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

void StudyEngine::BitBtn7Click() {
    m_front.closeWindow();
}

bool StudyEngine::FormClose() {
    if (m_state == StudyState::Hidden)
        return true;
    RunLaunch& l = m_app.Launch;
    setTimers(false, false);
    m_spFlag = m_t1Flag = false;
    endRun();

    // Learned means every question of the ticket answered right in this run: RunRight also
    // counts the click that only reveals the comment and every answer given again.
    const bool allRight = m_runCount == TicketSize &&
                          std::count(m_marks.begin(), m_marks.end(), MarkRight) == TicketSize;
    if (l.RunKind == 0 && l.RunMode == 0 && l.ThemeNo == 0 && allRight) {
        int32_t& status = m_app.Stats.TicketStatus[l.TicketNo - 1];
        if (status == 0)
            status = 4;
    }

    if (m_type == RunType::Training) {
        const QString used = FormatDuration(m_app.Config.ExamTime - m_timeLeft);
        StudyVerdict v;
        v.Passed = m_runRight >= kPassMark;
        m_app.Stats.TicketStatus[l.TicketNo - 1] = v.Passed ? 1 : 2;
        if (m_iconSet != IconsResults) {
            m_iconSet = IconsResults;
            m_front.marksChanged(-1);
        }
        v.Headline = v.Passed ? QStringLiteral("Поздравляем вы сдали экзамен!")
                              : QStringLiteral("К сожалению экзамен не сдан!");
        v.First = QStringLiteral("Вы отвечали на билет №") + QString::number(l.TicketNo);
        v.Second = v.Passed ? QStringLiteral("Правильных ответов: ") + QString::number(m_runRight)
                            : QStringLiteral("Ошибок: ") + QString::number(TicketSize - m_runRight);
        v.Time = QStringLiteral("Время ответа: ") + used;
        if (m_front.showVerdict(v) == 2) {
            // The review of the ticket just trained: same window, stars kept, saved on its close.
            l.RunKind = 0;
            l.RunMode = 0;
            l.RebuildList = 0;
            FormShow();
            return false;
        }
    }

    SaveAtStatsPoint(m_app.Saves, m_io.saveStats, m_io.saveThemes, prompter());
    m_timeVisible = false;
    m_front.timeChanged();
    m_state = StudyState::Hidden;
    return true;
}

} // namespace bil
