// SPDX-License-Identifier: GPL-3.0-or-later
// The question on screen: its texts, shuffled answers, enabled buttons and statistics.

#include "study/study_engine.h"

#include "app/line_break.h"
#include "app/platform.h"
#include "data/themes.h"

namespace bil {

namespace {

const QString kCommentPrefix = QStringLiteral("Комментарий к вопросу: ");

QString AnswerLine(const TQuestion& q, int shownAt, int storedSlot) {
    return QString::number(shownAt) + QStringLiteral(". ") + q.Answers[storedSlot - 1];
}

} // namespace

void StudyEngine::showItem(int index) {
    if (index < 0 || index >= m_runCount)
        return;
    showQuestion(index);
}

void StudyEngine::showQuestion(int index) {
    const bool training = m_run.Type == RunType::Training;
    m_runPos = index + 1;
    m_questionSeconds = 0;
    m_revealJournaled = false;
    int q;
    if (m_run.byTicket()) {
        m_posNo = m_runPos;
        q = NumberOf(m_ticket, m_posNo);
    } else {
        q = m_runList[m_runPos - 1];
        m_ticket = TicketOf(q);
        m_posNo = PositionOf(q);
    }
    m_number = q;
    m_heading = training ? QStringLiteral("Вопрос №") + QString::number(m_posNo)
                         : QStringLiteral("Билет №") + QString::number(m_ticket) +
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
    if (m_run.Type != RunType::ExamReview && m_app.Config.ShuffleAnswers)
        swapAnswers();

    const uint8_t itemMark = m_marks[index];
    if (training) {
        m_enabled.fill(itemMark == MarkUnanswered);
    } else {
        m_enabled.fill(true);
        if (m_app.Config.ShowAnswerOnError && itemMark != MarkUnanswered)
            enableOnlyRightButton();
    }

    if (m_run.Type == RunType::ExamReview) {
        const ReviewedAnswer& answer = m_run.Answers[index];
        const int chosen = answer.Chosen;
        if (!answer.Right && chosen >= 1 && chosen <= MaxAnswers)
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

} // namespace bil
