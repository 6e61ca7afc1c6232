// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/exam_engine.h"

#include "app/line_break.h"
#include "app/platform.h"
#include "stats/stat_file.h"

#include <cassert>
#include <utility>

namespace bil {

namespace {

bool ValidNumber(int n) {
    return n >= 1 && n <= QuestionCount;
}

} // namespace

int ExamEngine::ExtraTicketIndex(int groupTicket, int r) {
    // Past the last ticket the draw moves back by 39, not 40: index 39 + 1 gives 1, never 0.
    int x = groupTicket + r;
    if (x > TicketCount - 1)
        x -= TicketCount - 1;
    return x;
}

ExamEngine::ExamEngine(AppState& app, ExamFrontEnd& front, QuestionLoader load,
                       PictureDecoder decode, StatsSaver save)
    : m_app(app), m_front(front), m_load(std::move(load)), m_decode(std::move(decode)),
      m_save(std::move(save)) {}

void ExamEngine::endStage() {
    ++m_stageId;
    if (Prompter* prompter = m_app.services.prompter)
        prompter->closeQuestions();
}

void ExamEngine::saveStats() {
    // Every way an exam ends saves its answers and seconds, charges included: the learner may
    // close the program straight after it.
    if (m_save)
        m_save();
    FlushJournal(m_app);
}

QString ExamEngine::clockText() const {
    return FormatDuration(m_remaining);
}

void ExamEngine::setTimer(bool on) {
    m_front.timerChanged(on);
}

void ExamEngine::formShow() {
    const int stage = m_app.Launch.ExamStage;
    // An additional block only continues a running exam; anything else starts a new one.
    if ((stage == 2 || stage == 3) && timerOn())
        startAdditionalBlock();
    else
        startMainBlock();
}

void ExamEngine::startMainBlock() {
    ++m_stageId;
    m_app.Launch.ExamStage = 1;
    m_dbTitle = m_app.Db.DbTitle();
    RandomSource& random = *m_app.services.random;
    random.reseed();

    m_firstSlot = 1;
    m_lastSlot = MainSlots;
    m_currentTile = 0;
    m_openTile = -1;
    m_recorded = false;
    m_correctCount = m_errorCount = m_mainErrors = 0;
    m_firstErrorSlot = m_secondErrorSlot = 0;
    m_firstErrorGroup = m_secondErrorGroup = 0;
    m_examFailed = false;
    m_mainElapsed = 0;
    m_extraTicket = {};

    m_blockTitle = QStringLiteral("Основной блок вопросов");
    m_stageLimit = m_remaining = m_app.Config.ExamTime;
    m_phase = ExamPhase::MainBlock;
    m_front.clockChanged();
    setTimer(true);

    m_slots = {}; // nothing of the last exam survives

    for (int g = 0; g < 4; ++g)
        m_groupTicket[g] = random.below(TicketCount);
    for (int s = 1; s <= MainSlots; ++s)
        m_slots[s - 1].Question = m_groupTicket[GroupOf(s) - 1] * TicketSize + s;

    if (loadStage())
        m_front.stageStarted(true);
}

void ExamEngine::startAdditionalBlock() {
    ++m_stageId;
    const int stage = m_app.Launch.ExamStage;
    m_dbTitle = m_app.Db.DbTitle();
    RandomSource& random = *m_app.services.random;
    random.reseed();

    m_firstSlot = MainSlots + 1;
    m_lastSlot = stage == 2 ? 25 : 30;
    m_currentTile = MainSlots;

    m_blockTitle = QStringLiteral("Дополнительный блок вопросов");
    m_mainElapsed = m_stageLimit - m_remaining;
    m_stageLimit = m_remaining = stage == 2 ? ExtraBlockSeconds : 2 * ExtraBlockSeconds;
    m_phase = ExamPhase::AdditionalBlock;
    m_front.clockChanged();

    const int r1 = random.below(TicketCount - 1);
    m_extraTicket[0] = ExtraTicketIndex(m_groupTicket[m_firstErrorGroup - 1], r1);
    if (stage == 3) {
        const int r2 = random.below(TicketCount - 1);
        m_extraTicket[1] = ExtraTicketIndex(m_groupTicket[m_secondErrorGroup - 1], r2);
    }
    for (int s = 21; s <= 25; ++s)
        m_slots[s - 1].Question =
            m_extraTicket[0] * TicketSize + GroupSize * (m_firstErrorGroup - 1) + 1 + (s - 21);
    if (stage == 3)
        for (int s = 26; s <= 30; ++s)
            m_slots[s - 1].Question =
                m_extraTicket[1] * TicketSize + GroupSize * (m_secondErrorGroup - 1) + 1 + (s - 26);

    if (loadStage())
        m_front.stageStarted(false);
}

bool ExamEngine::loadStage() {
    std::vector<const QByteArray*> jpegs;
    for (int s = m_firstSlot; s <= m_lastSlot; ++s) {
        ExamSlot& slot = m_slots[s - 1];
        Result<TQuestion> q = m_load(slot.Question);
        if (!q) {
            // A question that cannot be read makes the exam impossible: stop without a verdict.
            m_phase = ExamPhase::Finished;
            setTimer(false);
            endStage();
            m_app.services.prompter->warn(q.error());
            m_front.closeWindow();
            saveStats();
            return false;
        }
        slot.Q = std::move(q).value();
        slot.AnswerList.clear();
        for (int k = 1; k <= slot.Q.AnswerCount && k <= MaxAnswers; ++k)
            slot.AnswerList +=
                QString::number(k) + QStringLiteral(". ") + slot.Q.Answers[k - 1] + LineBreak;
        slot.Answered = slot.AnsweredRight = slot.Chosen = slot.Seconds = 0;
        slot.Picture = Bitmap{};
        jpegs.push_back(slot.Q.HasPicture && !slot.Q.Picture.isEmpty() ? &slot.Q.Picture : nullptr);
    }

    std::vector<Bitmap> pictures = m_decode ? m_decode(jpegs) : std::vector<Bitmap>{};
    m_pictureRatio = 0.0;
    for (std::size_t i = 0; i < pictures.size() && i < jpegs.size(); ++i) {
        Bitmap& b = pictures[i];
        if (b.Width <= 0 || b.Height <= 0)
            continue;
        m_pictureRatio = double(b.Width - 5) / double(b.Height);
        m_slots[m_firstSlot - 1 + i].Picture = std::move(b);
    }
    return true;
}

void ExamEngine::hoverTile(int index) {
    if (!timerOn() || index < m_firstSlot - 1 || index > m_lastSlot - 1)
        return;
    if (m_slots[index].Answered != 0 || index == m_currentTile)
        return;
    m_currentTile = index;
    m_front.tilesChanged();
}

bool ExamEngine::openQuestion(int index) {
    if (!timerOn() || m_openTile >= 0 || index < m_firstSlot - 1 || index > m_lastSlot - 1)
        return false;
    if (m_slots[index].Answered != 0)
        return false;
    m_openTile = index;
    m_recorded = false;
    return true;
}

void ExamEngine::questionSecond() {
    if (m_openTile < 0)
        return;
    const int n = m_slots[m_openTile].Question;
    if (ValidNumber(n))
        AddSecond(m_app.Stats, n, ChannelExam);
    ++m_slots[m_openTile].Seconds;
}

void ExamEngine::journalAnswer(const ExamSlot& slot, bool right) {
    // A question the additional block brings back was already reviewed in this exam.
    bool first = true;
    for (int i = 0; i < m_lastSlot; ++i)
        if (&m_slots[i] != &slot && m_slots[i].Question == slot.Question && m_slots[i].Chosen != 0)
            first = false;
    JournalAnswer(m_app, slot.Question, ChannelExam,
                  m_app.Launch.ExamStage == 1 ? JournalExamMain : JournalExamExtra, slot.Chosen,
                  right, slot.Seconds, first ? FirstInRun : 0);
}

bool ExamEngine::chooseAnswer(int chosen) {
    const Settings& s = m_app.Config;
    Prompter* prompter = m_app.services.prompter;
    if (s.ConfirmChoice && !s.AlwaysShowComment && prompter) {
        const unsigned stage = m_stageId;
        const bool sure = prompter->confirm(QStringLiteral("Вы уверены?"));
        // The clock runs on while the box is open; a time-out there moved the exam on or ended
        // it and closed the question: the answer is for no question any more.
        if (!sure || stage != m_stageId)
            return false;
    }
    recordExamAnswer(chosen);
    return true;
}

void ExamEngine::recordExamAnswer(int chosen) {
    // The answer belongs to the tile that opened the window, even if another tile is current.
    if (!timerOn() || m_openTile < 0 || m_recorded)
        return;
    ExamSlot& slot = m_slots[m_openTile];
    const int n = slot.Question;
    m_recorded = true;
    if (chosen == slot.Q.Correct) {
        CountRight(m_app.Stats, n, ChannelExam);
        slot.Chosen = slot.Q.Correct;
        slot.AnsweredRight = 1;
        ++m_correctCount;
        journalAnswer(slot, true);
        return;
    }
    CountWrong(m_app.Stats, n, ChannelExam);
    ++m_errorCount;
    slot.Chosen = chosen;
    slot.AnsweredRight = 0;
    journalAnswer(slot, false);
    if (m_app.Launch.ExamStage == 1) {
        const int s = m_openTile + 1;
        if (m_errorCount == 1) {
            m_firstErrorSlot = s;
            m_firstErrorGroup = GroupOf(s);
        } else if (m_errorCount == 2) {
            m_secondErrorSlot = s;
            m_secondErrorGroup = GroupOf(s);
        } else {
            m_examFailed = true;
        }
        if (m_firstErrorGroup == m_secondErrorGroup)
            m_examFailed = true;
    } else {
        m_examFailed = true;
    }
}

void ExamEngine::questionClosed(bool accepted) {
    const int tile = m_openTile;
    m_openTile = -1;
    if (tile < 0)
        return;
    if (accepted && m_recorded) {
        m_slots[tile].Answered = 1;
        if (tile == m_currentTile) {
            // Next unanswered tile of the stage, wrapping from its last tile to its first.
            const int first = m_firstSlot - 1;
            const int count = m_lastSlot - m_firstSlot + 1;
            int i = tile;
            for (int step = 0; step < count - 1; ++step) {
                i = first + (i - first + 1) % count;
                if (m_slots[i].Answered == 0) {
                    m_currentTile = i;
                    break;
                }
            }
        }
        m_front.tilesChanged();
    }
    m_recorded = false;
    finishBlockIfComplete();
}

void ExamEngine::finishBlockIfComplete() {
    // After a verdict or a time-out failure a late return from the question window judges nothing.
    if (!timerOn())
        return;
    int answered = 0;
    for (int i = 0; i < m_lastSlot; ++i)
        if (m_slots[i].Answered != 0)
            ++answered;
    if (answered < m_lastSlot)
        return;

    if (m_errorCount == m_mainErrors && !m_examFailed) {
        giveVerdict(QStringLiteral("Поздравляем! Вы сдали экзамен!"),
                    QStringLiteral("Допущено ошибок: ") + QString::number(m_errorCount));
        return;
    }
    if (m_app.Launch.ExamStage == 1 && !m_examFailed) {
        moveToAdditionalStage();
        return;
    }
    giveVerdict(QStringLiteral("К сожалению экзамен НЕ СДАН!"), failedFirstLine());
}

void ExamEngine::moveToAdditionalStage() {
    m_app.Launch.ExamStage = m_errorCount == 1 ? 2 : 3;
    m_mainErrors = m_errorCount;
    formShow();
}

QString ExamEngine::failedFirstLine() const {
    if (m_app.Launch.ExamStage == 1)
        return QStringLiteral("В основном блоке вопросов") + LineBreak +
               QStringLiteral("допущено ошибок: ") + QString::number(m_errorCount);
    return QStringLiteral("В основном блоке ошибок: ") + QString::number(m_mainErrors) + LineBreak +
           QStringLiteral("В дополнительном блоке: ") +
           QString::number(m_errorCount - m_mainErrors);
}

QString ExamEngine::answerTimeLine() const {
    return QStringLiteral("Время ответа: ") +
           FormatDuration(m_stageLimit - m_remaining + m_mainElapsed);
}

void ExamEngine::giveVerdict(const QString& headline, const QString& firstLine) {
    m_phase = ExamPhase::Finished;
    setTimer(false);
    endStage();
    ExamVerdict v;
    v.Headline = headline;
    v.FirstLine = firstLine;
    v.TimeLine = answerTimeLine();
    if (m_front.showVerdict(v))
        showExamReview();
    m_front.closeWindow();
    saveStats();
}

void ExamEngine::tick() {
    if (!timerOn())
        return;
    --m_remaining;
    m_front.clockChanged();
    if (m_remaining > 0)
        return;

    if (m_app.Launch.ExamStage == 1 && m_correctCount >= 18 && !m_examFailed && m_errorCount < 2) {
        // At most two questions are missing: they count as errors and may still earn a block.
        for (int i = 0; i < MainSlots; ++i) {
            ExamSlot& slot = m_slots[i];
            if (slot.Answered != 0)
                continue;
            slot.Answered = 1;
            slot.AnsweredRight = 0;
            if (m_errorCount == 0) {
                m_firstErrorSlot = i + 1;
                m_errorCount = 1;
            } else {
                m_secondErrorSlot = i + 1;
                m_errorCount = 2;
            }
        }
        if (m_firstErrorSlot != 0)
            m_firstErrorGroup = GroupOf(m_firstErrorSlot);
        if (m_secondErrorSlot != 0)
            m_secondErrorGroup = GroupOf(m_secondErrorSlot);
        if (m_firstErrorGroup == m_secondErrorGroup)
            m_examFailed = true;
        if (!m_examFailed) {
            endStage();
            m_front.closeQuestion();
            m_openTile = -1;
            m_recorded = false;
            moveToAdditionalStage();
            return;
        }
    }
    failByTime();
}

void ExamEngine::failByTime() {
    m_phase = ExamPhase::Finished;
    setTimer(false);
    endStage();
    m_front.closeQuestion();
    m_openTile = -1;
    m_recorded = false;
    ExamVerdict v;
    v.Headline = QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!");
    v.FirstLine = failedFirstLine();
    v.SecondLine = QStringLiteral("Все ответы признаны ошибками.");
    v.TimeLine = QStringLiteral("Время закончилось: ") + FormatDuration(m_stageLimit - m_remaining);
    if (m_front.showVerdict(v)) {
        showExamReview();
        chargeErrors(ChargeReason::TimeOut);
        m_front.closeWindow();
    } else {
        m_front.closeWindow();
        chargeErrors(ChargeReason::TimeOut);
    }
    saveStats();
}

void ExamEngine::formClose() {
    if (!timerOn())
        return;
    m_phase = ExamPhase::Finished;
    setTimer(false);
    endStage();
    bool unanswered = false;
    for (int i = 0; i < m_lastSlot; ++i)
        if (m_slots[i].Answered == 0)
            unanswered = true;
    if (!unanswered) {
        saveStats();
        return;
    }
    ExamVerdict v;
    v.Headline = QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!");
    v.FirstLine = QStringLiteral("Допущено ошибок: ") + QString::number(m_lastSlot);
    v.SecondLine = QStringLiteral("Все ответы признаны ошибками.");
    v.TimeLine = answerTimeLine();
    if (m_front.showVerdict(v))
        showExamReview();
    chargeErrors(ChargeReason::EarlyClose);
    saveStats();
}

void ExamEngine::chargeErrors(ChargeReason reason) {
    for (int i = 0; i < m_lastSlot; ++i) {
        ExamSlot& slot = m_slots[i];
        if (ValidNumber(slot.Question)) {
            CountWrong(m_app.Stats, slot.Question, ChannelExam);
            JournalCharge(m_app, slot.Question, reason);
        }
        slot.AnsweredRight = 0;
    }
}

void ExamEngine::showExamReview() {
    std::vector<int> numbers;
    std::vector<ReviewedAnswer> answers;
    for (int i = 0; i < m_lastSlot; ++i) {
        const ExamSlot& slot = m_slots[i];
        numbers.push_back(NumberOf(slot.Q.Ticket, slot.Q.InTicket));
        answers.push_back({slot.AnsweredRight == 1, slot.Chosen});
    }
    m_front.showReview(RunRequest::examReview(std::move(numbers), std::move(answers)));
}

} // namespace bil
