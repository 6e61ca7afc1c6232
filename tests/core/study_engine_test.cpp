// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/platform.h"
#include "study/study_engine.h"

#include "recording_help.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "scripted_random.h"
#include "step_clock.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <utility>

using namespace bil;

namespace {

class FakeWindow : public StudyFrontEnd {
public:
    StudyEngine* engine = nullptr;
    int closes = 0;   // close events that closed the window
    int keptOpen = 0; // close events turned into a review
    std::deque<int> verdictAnswers;
    std::vector<StudyVerdict> verdicts;
    int themeAnswer = -1;
    QString themePrompt;
    int themePreselected = 0;
    int selected = -1;
    int minimized = 0;

    void closeWindow() override {
        if (engine->close())
            ++closes;
        else
            ++keptOpen;
    }
    int showVerdict(const StudyVerdict& v) override {
        verdicts.push_back(v);
        if (verdictAnswers.empty())
            return 1;
        const int a = verdictAnswers.front();
        verdictAnswers.pop_front();
        return a;
    }
    int chooseTheme(const QString& prompt, int preselected) override {
        themePrompt = prompt;
        themePreselected = preselected;
        return themeAnswer;
    }
    void selectListItem(int index) override { selected = index; }
    void minimizeApplication() override { ++minimized; }
};

// Question n: 2 + n % 4 answers, the right one at stored slot 1 + n % count.
TQuestion MakeQuestion(int n) {
    TQuestion q;
    q.Number = n;
    q.Ticket = TicketOf(n);
    q.InTicket = PositionOf(n);
    q.AnswerCount = 2 + n % 4;
    q.Correct = 1 + n % q.AnswerCount;
    q.Text = QStringLiteral("Вопрос %1").arg(n);
    for (int k = 1; k <= q.AnswerCount; ++k)
        q.Answers[k - 1] = QStringLiteral("ответ %1.%2").arg(n).arg(k);
    q.Comment = QStringLiteral("пояснение %1").arg(n);
    return q;
}

class StudyEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        prompter.answerWhenEmpty(true);
        app.services.prompter = &prompter;
        app.services.random = &random;
        app.services.help = &help;
        app.Config.ShuffleAnswers = false;
        app.Config.ExamTime = 600;
        for (int n = 1; n <= QuestionCount; ++n)
            app.Themes.theme(n) = uint8_t(1 + (n - 1) % ThemeCount);
        StudyIo io;
        io.loadQuestion = [this](int n) -> Result<TQuestion> {
            loads.push_back(n);
            return MakeQuestion(n);
        };
        io.saveStats = [this] {
            ++statSaves;
            return Status::Ok();
        };
        io.saveThemes = [this] {
            ++themeSaves;
            return Status::Ok();
        };
        engine = std::make_unique<StudyEngine>(app, io, window);
        window.engine = engine.get();
    }

    void start(RunRequest request) { engine->startRun(std::move(request)); }
    int right() const { return engine->rightButton(); }
    int wrong() const { return engine->rightButton() == 1 ? 2 : 1; }
    // Answers the question on screen right or wrong.
    void answer(bool isRight) { engine->answer(isRight ? right() : wrong()); }

    AppState app;
    test::ScriptedPrompter prompter;
    test::ScriptedRandom random{7}; // scripted draws, then a fixed seed
    test::RecordingHelp help;
    FakeWindow window;
    std::unique_ptr<StudyEngine> engine;
    std::vector<int> loads;
    int statSaves = 0;
    int themeSaves = 0;
};

} // namespace

// --- Building the runs ----------------------------------------------------------------------

TEST_F(StudyEngineTest, TicketRunListsTheTicketAndShowsTheStartItem) {
    start(RunRequest::learnTicket(5));
    EXPECT_EQ(engine->state(), StudyState::Running);
    EXPECT_EQ(engine->runCount(), 20);
    EXPECT_EQ(loads, std::vector<int>{81});
    EXPECT_EQ(engine->heading(), QStringLiteral("Билет №5 Вопрос №1"));
    EXPECT_EQ(engine->runCaption(), QStringLiteral("Режим обучения"));
    EXPECT_EQ(engine->runCaptionColor(), (Rgb{0, 255, 0}));
    EXPECT_EQ(engine->windowCaption(), QStringLiteral("Билетория DER UZIRI"));
    EXPECT_TRUE(engine->secondsTimerOn());
    EXPECT_FALSE(engine->countdownOn());
    EXPECT_FALSE(engine->timeVisible());
    EXPECT_EQ(random.reseeds, 1);

    start(RunRequest::learnTicket(7, 12)); // a statistics-window click on question 13 of ticket 7
    EXPECT_EQ(engine->currentNumber(), 133);
    EXPECT_EQ(window.selected, 12);
    EXPECT_EQ(engine->heading(), QStringLiteral("Билет №7 Вопрос №13"));
}

TEST_F(StudyEngineTest, ThemeRunListsItsQuestionsInNumberOrder) {
    app.Themes.theme(799) = 3;
    app.Themes.theme(2) = 3;
    start(RunRequest::learnTheme(3));
    std::vector<int> expected;
    for (int n = 1; n <= QuestionCount; ++n)
        if (app.Themes.theme(n) == 3)
            expected.push_back(n);
    ASSERT_EQ(engine->runCount(), int(expected.size()));
    for (int k = 1; k <= engine->runCount(); ++k)
        EXPECT_EQ(engine->runListAt(k), expected[k - 1]);
    EXPECT_EQ(engine->currentNumber(), 2);
    EXPECT_EQ(engine->ticket(), 1); // the ticket of the question on screen
    EXPECT_EQ(engine->windowCaption(),
              QStringLiteral("Билетория DER UZIRI - Обучение по теме ") + ThemeNames(3));
}

TEST_F(StudyEngineTest, PreparationCoversEveryTickedPositionOnceInAFreshOrder) {
    start(RunRequest::preparation((1u << 0) | (1u << 19))); // positions 1 and 20
    ASSERT_EQ(engine->runCount(), 80);
    std::set<int> seen;
    std::vector<int> first;
    for (int k = 1; k <= 80; ++k) {
        const int q = engine->runListAt(k);
        EXPECT_TRUE(PositionOf(q) == 1 || PositionOf(q) == 20) << q;
        seen.insert(q);
        first.push_back(q);
    }
    EXPECT_EQ(seen.size(), 80u);
    EXPECT_EQ(engine->runCaption(), QStringLiteral("Режим подготовки"));
    EXPECT_EQ(engine->runCaptionColor(), (Rgb{198, 255, 0}));
    EXPECT_EQ(engine->ticket(), TicketOf(first[0]));
    EXPECT_EQ(engine->posNo(), PositionOf(first[0]));

    start(engine->run());
    std::vector<int> second;
    for (int k = 1; k <= 80; ++k)
        second.push_back(engine->runListAt(k));
    EXPECT_NE(first, second);
    EXPECT_EQ(std::set<int>(second.begin(), second.end()), seen);
}

TEST_F(StudyEngineTest, NoTickedPositionPreparesEveryQuestion) {
    start(RunRequest::preparation(0));
    EXPECT_EQ(engine->runCount(), 800);
}

TEST_F(StudyEngineTest, RepetitionListsFollowTheStatisticsWindow) {
    start(RunRequest::statisticsList(0, {45, 3, 800}, QStringLiteral("темы Знаки")));
    ASSERT_EQ(engine->runCount(), 3);
    EXPECT_EQ(engine->runListAt(1), 45);
    EXPECT_EQ(engine->runListAt(3), 800);
    EXPECT_EQ(engine->heading(), QStringLiteral("Билет №3 Вопрос №5"));
    EXPECT_EQ(engine->windowCaption(),
              QStringLiteral("Билетория ПДД - Повторение сложных вопросов из темы Знаки"));
    const QString all = QStringLiteral("всех тем");
    start(RunRequest::statisticsList(3, {17}, all));
    EXPECT_EQ(engine->runCount(), 1);
    EXPECT_EQ(
        engine->windowCaption(),
        QStringLiteral("Билетория ПДД - Повторение трудных по статистике вопросов из всех тем"));
    start(RunRequest::statisticsList(1, {17}, all));
    EXPECT_EQ(engine->windowCaption(),
              QStringLiteral("Билетория ПДД - Обучение по вопросам неопределенной сложности из "
                             "всех тем"));
    start(RunRequest::statisticsList(2, {17}, all));
    EXPECT_EQ(engine->windowCaption(),
              QStringLiteral("Билетория ПДД - Повторение легких вопросов из всех тем"));
}

TEST_F(StudyEngineTest, ExamReviewTakesSlotsMarksAndChoicesWithoutShuffling) {
    app.Config.ShuffleAnswers = true;
    std::vector<int> numbers;
    std::vector<ReviewedAnswer> answers;
    for (int k = 0; k < 30; ++k) {
        numbers.push_back(1 + k * 13);
        answers.push_back({k % 2 == 1, 3});
    }
    start(RunRequest::examReview(numbers, answers));
    ASSERT_EQ(engine->runCount(), 30);
    for (int k = 0; k < 30; ++k)
        EXPECT_EQ(engine->mark(k), k % 2 ? MarkRight : MarkWrong);
    EXPECT_EQ(engine->swapSlot(1), 0); // never shuffled
    EXPECT_EQ(engine->rightButton(), MakeQuestion(1).Correct);
    EXPECT_EQ(engine->buttonCaption(3), QStringLiteral("Ваш выбор 3       "));
    EXPECT_TRUE(engine->buttonCaption(1).isEmpty());
    EXPECT_TRUE(engine->commentVisible()); // answered wrong in the exam
    engine->showItem(1);                   // a right slot: no "your choice"
    EXPECT_TRUE(engine->buttonCaption(3).isEmpty());
}

TEST_F(StudyEngineTest, IconSetsOfTrainingFollowTheSetting) {
    app.Config.TrainingMarksAtEnd = true;
    start(RunRequest::training(6));
    EXPECT_EQ(engine->iconSet(), IconsHidden);
    EXPECT_EQ(engine->heading(), QStringLiteral("Вопрос №1"));
    EXPECT_EQ(engine->runCaption(), QStringLiteral("Режим тренировки"));
    EXPECT_EQ(engine->runCaptionColor(), (Rgb{255, 0, 0}));
    EXPECT_FALSE(engine->lightVisible());
    EXPECT_FALSE(engine->statInformerVisible());
    engine->switchIconSet(); // peek
    EXPECT_EQ(engine->iconSet(), IconsResults);
    engine->switchIconSet();
    EXPECT_EQ(engine->iconSet(), IconsHidden);
    app.Config.TrainingMarksAtEnd = false;
    start(RunRequest::training(6));
    EXPECT_EQ(engine->iconSet(), IconsResults);
}

TEST_F(StudyEngineTest, TrainingAfterPreparationStillAsksItsTicket) {
    start(RunRequest::preparation(1u));
    start(RunRequest::training(6));
    EXPECT_EQ(engine->runCount(), 20);
    EXPECT_EQ(engine->currentNumber(), 101);
}

TEST_F(StudyEngineTest, StartItemBeyondTheListSelectsTheLast) {
    start(RunRequest::questionList(RunType::StatisticsList, {5, 6, 7}, {}, 9));
    EXPECT_EQ(window.selected, 2);
    EXPECT_EQ(engine->currentNumber(), 7);
}

// --- Showing and judging --------------------------------------------------------------------

TEST_F(StudyEngineTest, ShuffleKeepsItsSlotOnRevisitAndRefersToTheStoredOrder) {
    app.Config.ShuffleAnswers = true;
    random.values = {3}; // question 81: three answers, the right one stored first
    start(RunRequest::learnTicket(5));
    const TQuestion q = MakeQuestion(81);
    ASSERT_EQ(q.AnswerCount, 3);
    ASSERT_EQ(q.Correct, 1);
    // Drawn slot 1 is the stored right one: nothing moves.
    EXPECT_EQ(engine->swapSlot(1), 1);
    EXPECT_EQ(engine->rightButton(), 1);
    EXPECT_EQ(engine->answersText(),
              QStringLiteral("1. ответ 81.1\n\r2. ответ 81.2\n\r3. ответ 81.3"));

    random.values = {1}; // question 86: four answers, right stored at 3, drawn slot 2
    engine->showItem(5);
    const TQuestion q86 = MakeQuestion(86);
    ASSERT_EQ(q86.AnswerCount, 4);
    ASSERT_EQ(q86.Correct, 3);
    EXPECT_EQ(engine->rightButton(), 2);
    EXPECT_EQ(engine->answersText(), QStringLiteral("1. ответ 86.1\n\r2. ответ 86.3\n\r"
                                                    "3. ответ 86.2\n\r4. ответ 86.4"));
    random.values = {0, 0, 0};
    engine->showItem(0);
    engine->showItem(5); // revisit: same order, no draw
    EXPECT_EQ(engine->rightButton(), 2);
    EXPECT_EQ(random.values.size(), 3u);
    EXPECT_EQ(engine->currentQuestion().Correct, 3); // the stored order is untouched

    random.values = {0};
    start(RunRequest::learnTicket(5, 5)); // a new run draws again
    EXPECT_EQ(engine->rightButton(), 1);
    EXPECT_EQ(engine->answersText(), QStringLiteral("1. ответ 86.3\n\r2. ответ 86.2\n\r"
                                                    "3. ответ 86.1\n\r4. ответ 86.4"));
}

TEST_F(StudyEngineTest, ButtonsFollowTheAnswerCount) {
    start(RunRequest::learnTicket(5, 3)); // question 84: two answers
    EXPECT_TRUE(engine->buttonVisible(2));
    EXPECT_FALSE(engine->buttonVisible(3));
    engine->answer(3);
    engine->answer(5);
    EXPECT_EQ(engine->runRight() + engine->runWrong(), 0);
    EXPECT_EQ(engine->firstEnabledButton(), 1);
}

TEST_F(StudyEngineTest, RightAnswerCountsMarksAndMovesOnWrappingAtTheEnd) {
    start(RunRequest::learnTicket(5, 19));
    answer(true);
    EXPECT_EQ(app.Stats.question(100).Right[0], 1);
    EXPECT_EQ(engine->mark(19), MarkRight);
    EXPECT_EQ(window.selected, 0);
    EXPECT_EQ(engine->currentNumber(), 81);
}

TEST_F(StudyEngineTest, WrongAnswerInLearningStaysWithTheComment) {
    start(RunRequest::learnTicket(5));
    answer(false);
    EXPECT_EQ(engine->mark(0), MarkWrong);
    EXPECT_EQ(engine->runWrong(), 1);
    EXPECT_EQ(app.Stats.question(81).Wrong[0], 1);
    EXPECT_EQ(engine->currentNumber(), 81);
    EXPECT_TRUE(engine->commentVisible());
    EXPECT_EQ(engine->commentText(), QStringLiteral("Комментарий к вопросу: пояснение 81"));
    for (int b = 1; b <= 3; ++b)
        EXPECT_TRUE(engine->buttonEnabled(b)); // Err off: may answer again
    answer(true);
    EXPECT_EQ(engine->mark(0), MarkRight);
    EXPECT_EQ(engine->currentNumber(), 82);
}

TEST_F(StudyEngineTest, ErrLeavesOnlyTheRightButtonAlsoOnRevisit) {
    app.Config.ShowAnswerOnError = true;
    start(RunRequest::learnTicket(5));
    answer(false);
    const int rb = right();
    for (int b = 1; b <= 3; ++b)
        EXPECT_EQ(engine->buttonEnabled(b), b == rb);
    EXPECT_EQ(engine->firstEnabledButton(), rb);
    engine->showItem(1);
    engine->showItem(0);
    for (int b = 1; b <= 3; ++b)
        EXPECT_EQ(engine->buttonEnabled(b), b == rb);
    EXPECT_TRUE(engine->commentVisible());
}

TEST_F(StudyEngineTest, KomRevealsTheCommentBeforeCountingTheRightAnswer) {
    app.Config.AlwaysShowComment = true;
    app.Config.ConfirmChoice = true; // not asked with Kom in the learning family
    start(RunRequest::learnTicket(5));
    answer(true);
    EXPECT_TRUE(engine->commentVisible());
    EXPECT_EQ(app.Stats.question(81).Right[0], 0);
    EXPECT_EQ(engine->currentNumber(), 81);
    EXPECT_EQ(engine->mark(0), MarkRight);
    EXPECT_EQ(engine->runRight(), 1);
    answer(true);
    EXPECT_EQ(app.Stats.question(81).Right[0], 1);
    EXPECT_EQ(engine->currentNumber(), 82);
    EXPECT_TRUE(prompter.questions().isEmpty());
}

TEST_F(StudyEngineTest, KomRevealKeepsAFullCounter) {
    app.Config.AlwaysShowComment = true;
    app.Stats.question(81).Right[0] = 255;
    start(RunRequest::learnTicket(5));
    answer(true);
    EXPECT_EQ(app.Stats.question(81).Right[0], 255);
    answer(true);
    EXPECT_EQ(app.Stats.question(81).Right[0], 255);
}

TEST_F(StudyEngineTest, ConfirmationNoChangesNothing) {
    app.Config.ConfirmChoice = true;
    prompter.queueYesNo(false);
    start(RunRequest::training(5));
    answer(true);
    EXPECT_EQ(prompter.questions(), QStringList{QStringLiteral("Вы уверены?")});
    EXPECT_EQ(engine->runRight(), 0);
    EXPECT_EQ(engine->mark(0), MarkUnanswered);
    EXPECT_EQ(app.Stats.question(81).Right[2], 0);
    answer(true); // Yes
    EXPECT_EQ(app.Stats.question(81).Right[2], 1);
}

TEST_F(StudyEngineTest, TrainingWrongAnswerMovesOnOrHoldsWithTre) {
    start(RunRequest::training(5));
    answer(false);
    EXPECT_EQ(app.Stats.question(81).Wrong[2], 1);
    EXPECT_EQ(engine->currentNumber(), 82); // moved on, comment hidden
    EXPECT_FALSE(engine->commentVisible());
    engine->showItem(0); // answered for good
    EXPECT_EQ(engine->firstEnabledButton(), 0);
    EXPECT_FALSE(engine->commentVisible());

    app.Config.TrainingCommentOnError = true;
    start(RunRequest::training(5));
    answer(false);
    EXPECT_EQ(engine->currentNumber(), 81); // held with the comment, all buttons off
    EXPECT_TRUE(engine->commentVisible());
    EXPECT_EQ(engine->firstEnabledButton(), 0);
    engine->showItem(1);
    engine->showItem(0);
    EXPECT_TRUE(engine->commentVisible());
}

TEST_F(StudyEngineTest, ThreeErrorsAskedOnceAndNotWithHiddenResults) {
    start(RunRequest::training(5));
    for (int i = 0; i < 4; ++i)
        answer(false);
    EXPECT_EQ(prompter.questions(),
              QStringList{QStringLiteral(
                  "ТРИ ОШИБКИ!!!\n\rВы уже провалили экзамен, будете продолжать? ")});
    EXPECT_EQ(engine->threeErrorsWarned(), 1);
    EXPECT_EQ(window.closes, 0);

    prompter.clear();
    app.Config.TrainingMarksAtEnd = true;
    start(RunRequest::training(5));
    for (int i = 0; i < 3; ++i)
        answer(false);
    EXPECT_TRUE(prompter.questions().isEmpty());
    EXPECT_EQ(engine->threeErrorsWarned(), 0);

    app.Config.TrainingMarksAtEnd = false;
    prompter.queueYesNo(false);
    start(RunRequest::training(5));
    for (int i = 0; i < 3; ++i)
        answer(false);
    EXPECT_EQ(window.closes, 1);
    ASSERT_EQ(window.verdicts.size(), 1u);
    EXPECT_EQ(window.verdicts[0].Second, QStringLiteral("Ошибок: 20"));
}

TEST_F(StudyEngineTest, TrainingVerdictsPassAtEighteen) {
    app.Stats.TicketStatus[4] = 4;
    start(RunRequest::training(5));
    for (int i = 0; i < 20; ++i)
        answer(i >= 2);
    EXPECT_EQ(window.closes, 1);
    ASSERT_EQ(window.verdicts.size(), 1u);
    const StudyVerdict& pass = window.verdicts[0];
    EXPECT_TRUE(pass.Passed);
    EXPECT_EQ(pass.Headline, QStringLiteral("Поздравляем вы сдали экзамен!"));
    EXPECT_EQ(pass.First, QStringLiteral("Вы отвечали на билет №5"));
    EXPECT_EQ(pass.Second, QStringLiteral("Правильных ответов: 18"));
    EXPECT_EQ(pass.Time, QStringLiteral("Время ответа: 00:00:00"));
    EXPECT_EQ(app.Stats.TicketStatus[4], 1);
    EXPECT_EQ(statSaves, 1);
    EXPECT_EQ(engine->state(), StudyState::Hidden);
    EXPECT_FALSE(engine->secondsTimerOn());
    EXPECT_FALSE(engine->countdownOn());

    start(RunRequest::training(5));
    for (int i = 0; i < 20; ++i)
        answer(i >= 3);
    ASSERT_EQ(window.verdicts.size(), 2u);
    const StudyVerdict& fail = window.verdicts[1];
    EXPECT_FALSE(fail.Passed);
    EXPECT_EQ(fail.Headline, QStringLiteral("К сожалению экзамен не сдан!"));
    EXPECT_EQ(fail.Second, QStringLiteral("Ошибок: 3"));
    EXPECT_EQ(app.Stats.TicketStatus[4], 2);
}

TEST_F(StudyEngineTest, StoppedTrainingCountsUnansweredAsErrors) {
    start(RunRequest::training(8));
    for (int i = 0; i < 5; ++i)
        answer(true);
    engine->countdownSecond();
    engine->countdownSecond();
    engine->stop();
    ASSERT_EQ(window.verdicts.size(), 1u);
    EXPECT_EQ(window.verdicts[0].Second, QStringLiteral("Ошибок: 15"));
    EXPECT_EQ(window.verdicts[0].Time, QStringLiteral("Время ответа: 00:00:02"));
    EXPECT_EQ(app.Stats.TicketStatus[7], 2);
}

TEST_F(StudyEngineTest, CountdownTimesOutWithTheUsedTime) {
    app.Config.ExamTime = 60;
    start(RunRequest::training(5));
    EXPECT_TRUE(engine->timeVisible());
    EXPECT_EQ(engine->timeText(), QStringLiteral("00:01:00"));
    for (int i = 0; i < 59; ++i)
        engine->countdownSecond();
    EXPECT_EQ(engine->timeText(), QStringLiteral("00:00:01"));
    EXPECT_TRUE(prompter.messages().isEmpty());
    engine->countdownSecond();
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Время закончилось! ")});
    ASSERT_EQ(window.verdicts.size(), 1u);
    EXPECT_EQ(window.verdicts[0].Time, QStringLiteral("Время ответа: 00:01:00"));
    EXPECT_EQ(window.verdicts[0].Second, QStringLiteral("Ошибок: 20"));
    EXPECT_FALSE(engine->countdownOn());
    engine->countdownSecond(); // stopped: no second time-out
    EXPECT_EQ(prompter.messages().size(), 1);
    EXPECT_FALSE(engine->timeVisible());
}

TEST_F(StudyEngineTest, TrainingReviewKeepsStarsAndSavesOnItsOwnClose) {
    start(RunRequest::training(5));
    window.verdictAnswers = {2};
    answer(false);
    answer(true);
    engine->stop();
    EXPECT_EQ(window.keptOpen, 1);
    EXPECT_EQ(statSaves, 0);
    EXPECT_EQ(engine->state(), StudyState::Running);
    EXPECT_EQ(engine->runCaption(), QStringLiteral("Режим обучения"));
    EXPECT_EQ(engine->runType(), RunType::TicketLearning);
    EXPECT_TRUE(engine->run().KeepMarks);
    EXPECT_EQ(engine->mark(0), MarkWrong);
    EXPECT_EQ(engine->mark(1), MarkRight);
    EXPECT_EQ(engine->mark(2), MarkUnanswered);
    EXPECT_EQ(engine->iconSet(), IconsResults);
    EXPECT_EQ(engine->currentNumber(), 81);
    EXPECT_TRUE(engine->commentVisible());
    EXPECT_TRUE(engine->lightVisible());
    EXPECT_EQ(app.Stats.TicketStatus[4], 2);
    engine->stop();
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(statSaves, 1);
}

// Questions stay open while the countdown runs on. A time-out during "Вы уверены?" ends the run
// (verdict, save); the box is closed, and a "Да" that still comes back is not judged.
TEST_F(StudyEngineTest, AnswerConfirmedAfterTheTimeOutIsNotJudged) {
    app.Config.ConfirmChoice = true;
    app.Config.ExamTime = 60;
    start(RunRequest::training(5));
    const int q = engine->currentNumber();
    prompter.duringNextQuestion([this] {
        for (int i = 0; i < 60; ++i)
            engine->countdownSecond();
    });
    prompter.queueYesNo(true);
    answer(true);
    EXPECT_EQ(prompter.closedQuestions(), 1);
    EXPECT_EQ(prompter.messages(), QStringList{QStringLiteral("Время закончилось! ")});
    ASSERT_EQ(window.verdicts.size(), 1u);
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(statSaves, 1);
    EXPECT_EQ(app.Stats.question(q).Right[ChannelTraining], 0);
    EXPECT_EQ(engine->runRight(), 0);
    EXPECT_EQ(engine->mark(0), MarkUnanswered);
    EXPECT_EQ(app.Stats.TicketStatus[4], 2);
}

// The three-errors question is open when the time runs out and the learner asks for the
// review: the "Нет" that comes back afterwards must not close the review.
TEST_F(StudyEngineTest, LateNoToThreeErrorsLeavesTheReviewOpen) {
    app.Config.ExamTime = 60;
    start(RunRequest::training(5));
    answer(false);
    answer(false);
    window.verdictAnswers = {2};
    prompter.duringNextQuestion([this] {
        for (int i = 0; i < 60; ++i)
            engine->countdownSecond();
    });
    prompter.queueYesNo(false);
    answer(false);
    ASSERT_EQ(prompter.questions().size(), 1);
    EXPECT_TRUE(prompter.questions()[0].startsWith(QStringLiteral("ТРИ ОШИБКИ!!!")));
    EXPECT_EQ(prompter.closedQuestions(), 1);
    EXPECT_EQ(window.keptOpen, 1);
    EXPECT_EQ(window.closes, 0);
    EXPECT_EQ(engine->state(), StudyState::Running);
    EXPECT_EQ(engine->runType(), RunType::TicketLearning);
    EXPECT_EQ(engine->mark(2), MarkWrong); // the review shows the training's stars
}

TEST_F(StudyEngineTest, SecondsCountOnTheRunsChannel) {
    app.Stats.question(81).Seconds[1] = 10;
    start(RunRequest::learnTicket(5));
    engine->questionSecond();
    engine->questionSecond();
    EXPECT_EQ(app.Stats.question(81).Seconds[0], 2);
    EXPECT_EQ(engine->counterText(), QStringLiteral("12"));
    start(RunRequest::training(5));
    engine->questionSecond();
    EXPECT_EQ(app.Stats.question(81).Seconds[2], 1);
}

TEST_F(StudyEngineTest, StatInformerSumsTheChannels) {
    app.Config.ShowStatInformer = false;
    app.Stats.question(81).Right = {1, 2, 3};
    app.Stats.question(81).Wrong = {0, 4, 0};
    start(RunRequest::learnTicket(5));
    EXPECT_EQ(engine->pieRight(), 6);
    EXPECT_EQ(engine->pieWrong(), 4);
    EXPECT_FALSE(engine->statInformerVisible());
    EXPECT_TRUE(engine->lightVisible());
}

// --- Completion -------------------------------------------------------------------------------

TEST_F(StudyEngineTest, TicketCompletionOffersTheNextTicketAndWraps) {
    start(RunRequest::learnTicket(40));
    answer(false);
    for (int i = 0; i < 20; ++i)
        answer(true);
    EXPECT_EQ(prompter.questions(),
              QStringList{QStringLiteral(
                  "Вы ответили на все вопросы билета,\n\rперейти к следующему билету? ")});
    EXPECT_EQ(app.Stats.TicketStatus[39], 4);
    EXPECT_EQ(engine->ticket(), 1);
    EXPECT_EQ(engine->currentNumber(), 1);
    EXPECT_EQ(engine->mark(0), MarkUnanswered);
    EXPECT_EQ(engine->runRight(), 0);
    EXPECT_EQ(window.closes, 0);
}

TEST_F(StudyEngineTest, CompletionNoClosesAndLearnedStatusIsKeptForBetterOnes) {
    app.Stats.TicketStatus[4] = 1;
    prompter.queueYesNo(false);
    start(RunRequest::learnTicket(5));
    for (int i = 0; i < 20; ++i)
        answer(true);
    EXPECT_EQ(window.closes, 1);
    EXPECT_EQ(app.Stats.TicketStatus[4], 1);
    EXPECT_EQ(statSaves, 1);

    app.Stats.TicketStatus[5] = 0;
    prompter.queueYesNo(false);
    start(RunRequest::learnTicket(6));
    for (int i = 0; i < 20; ++i)
        answer(true);
    EXPECT_EQ(app.Stats.TicketStatus[5], 4); // learned on close with 20 right
}

// A ticket is learned when all 20 of its questions stand right, not after 20 right clicks.
TEST_F(StudyEngineTest, LearnedStatusNeedsEveryQuestionRightWhateverTheClicks) {
    app.Config.AlwaysShowComment = true; // every question takes a reveal click and a counted one
    start(RunRequest::learnTicket(1));
    for (int i = 0; i < 10; ++i) {
        answer(true);
        answer(true);
    }
    ASSERT_EQ(engine->runRight(), 20);
    engine->stop(); // "СТОП" after ten questions
    EXPECT_EQ(app.Stats.TicketStatus[0], 0);

    prompter.queueYesNo(false); // all 20 right, "Нет" to the next ticket
    start(RunRequest::learnTicket(2));
    for (int i = 0; i < 20; ++i) {
        answer(true);
        answer(true);
    }
    ASSERT_EQ(prompter.questions().size(), 1);
    EXPECT_EQ(engine->runRight(), 40);
    EXPECT_EQ(window.closes, 2);
    EXPECT_EQ(app.Stats.TicketStatus[1], 4);

    app.Config.AlwaysShowComment = false; // a wrong answer made good again still counts
    prompter.queueYesNo(false);
    start(RunRequest::learnTicket(3));
    answer(false);
    for (int i = 0; i < 20; ++i)
        answer(true);
    EXPECT_EQ(window.closes, 3);
    EXPECT_EQ(app.Stats.TicketStatus[2], 4);

    start(RunRequest::learnTicket(4)); // right answers given twice do not make up for a missing one
    for (int i = 0; i < 19; ++i)
        answer(true);
    engine->showItem(0);
    answer(true);
    ASSERT_EQ(engine->runRight(), 20);
    engine->stop();
    EXPECT_EQ(app.Stats.TicketStatus[3], 0);
}

TEST_F(StudyEngineTest, ThemeCompletionWrapsFromTheLastTheme) {
    start(RunRequest::learnTheme(26));
    const int count = engine->runCount();
    for (int i = 0; i < count; ++i)
        answer(true);
    EXPECT_EQ(
        prompter.questions(),
        QStringList{QStringLiteral("Вы ответили на все вопросы темы,\n\rперейти к следующей? ")});
    EXPECT_EQ(engine->run().Theme, 1);
    EXPECT_EQ(engine->runListAt(1), 1);
    for (int t = 0; t < TicketCount; ++t)
        EXPECT_EQ(app.Stats.TicketStatus[t], 0);
}

TEST_F(StudyEngineTest, PreparationCompletionDrawsAgain) {
    start(RunRequest::preparation(1u << 4));
    for (int i = 0; i < 40; ++i)
        answer(true);
    EXPECT_EQ(prompter.questions(), QStringList{QStringLiteral("Повторить подготовку?")});
    EXPECT_EQ(engine->runCount(), 40);
    EXPECT_EQ(engine->runRight(), 0);
}

TEST_F(StudyEngineTest, CompleteListRunStopsTheSecondsWithoutAPrompt) {
    start(RunRequest::statisticsList(2, {10, 20}, QStringLiteral("всех тем")));
    answer(true);
    answer(true);
    EXPECT_TRUE(prompter.questions().isEmpty());
    EXPECT_EQ(engine->state(), StudyState::Complete);
    EXPECT_FALSE(engine->secondsTimerOn());
    answer(true); // no second prompt, the window stays
    EXPECT_TRUE(prompter.questions().isEmpty());
    EXPECT_EQ(window.closes, 0);
    engine->stop();
    EXPECT_EQ(statSaves, 1);
    for (int t = 0; t < TicketCount; ++t)
        EXPECT_EQ(app.Stats.TicketStatus[t], 0);
}

TEST_F(StudyEngineTest, SearchRunFollowsTheResultsCountsInLearningAndNeverTouchesTickets) {
    start(RunRequest::searchResults({7, 0, 412, 801, 13}, QStringLiteral("обгон знак"), 1));
    EXPECT_EQ(engine->runType(), RunType::SearchResults);
    ASSERT_EQ(engine->runCount(), 3); // numbers outside 1..800 are dropped
    EXPECT_EQ(engine->runListAt(2), 412);
    EXPECT_EQ(engine->currentNumber(), 412); // starts at the chosen result
    EXPECT_EQ(engine->windowCaption(), QStringLiteral("Билетория DER UZIRI - Поиск: обгон знак"));
    EXPECT_EQ(engine->runCaption(), QStringLiteral("Режим обучения"));
    answer(true);
    answer(false);
    EXPECT_EQ(app.Stats.question(412).Right[ChannelLearning], 1);
    EXPECT_EQ(app.Stats.question(13).Wrong[ChannelLearning], 1);
    answer(true);
    answer(true);
    answer(true);
    EXPECT_TRUE(prompter.questions().isEmpty()); // a complete list run asks for no next ticket
    EXPECT_EQ(engine->state(), StudyState::Complete);
    engine->stop();
    EXPECT_EQ(statSaves, 1);
    for (int t = 0; t < TicketCount; ++t)
        EXPECT_EQ(app.Stats.TicketStatus[t], 0);
}

// --- Moving a question, the traffic light, help, program hooks -------------------------------

TEST_F(StudyEngineTest, MovingAQuestionOutOfAThemeRun) {
    for (int n = 1; n <= QuestionCount; ++n)
        app.Themes.theme(n) = n <= 12 ? 5 : 9;
    start(RunRequest::learnTheme(5, 3));
    answer(false);
    ASSERT_EQ(engine->currentNumber(), 4);
    window.themeAnswer = 7;
    engine->moveToTheme();
    EXPECT_EQ(window.themePrompt,
              QStringLiteral("Укажите в какую тему перенести вопрос №4 билета №1"));
    EXPECT_EQ(window.themePreselected, 5);
    EXPECT_EQ(app.Themes.theme(4), 7);
    EXPECT_EQ(themeSaves, 1);
    EXPECT_EQ(engine->runCount(), 11);
    EXPECT_EQ(engine->run().StartItem, 3);
    EXPECT_EQ(window.selected, 3);
    EXPECT_EQ(engine->currentNumber(), 5);
    EXPECT_EQ(engine->mark(3), MarkUnanswered);

    // The last item: StartItem stays, the shrunken list shows its last item.
    engine->showItem(10);
    engine->moveToTheme();
    EXPECT_EQ(engine->runCount(), 10);
    EXPECT_EQ(engine->run().StartItem, 3);
    EXPECT_EQ(engine->currentNumber(), 5);

    window.themeAnswer = -1; // close box: nothing
    engine->moveToTheme();
    EXPECT_EQ(engine->runCount(), 10);
    EXPECT_EQ(themeSaves, 2);
}

TEST_F(StudyEngineTest, MovingDoesNothingOutsideListRunsOrForTheLastQuestion) {
    window.themeAnswer = 3;
    start(RunRequest::learnTicket(5));
    engine->moveToTheme();
    EXPECT_TRUE(window.themePrompt.isEmpty());
    start(RunRequest::statisticsList(0, {30}, QStringLiteral("всех тем")));
    engine->moveToTheme();
    EXPECT_TRUE(window.themePrompt.isEmpty());
    EXPECT_EQ(app.Themes.theme(30), 4);
}

TEST_F(StudyEngineTest, TrafficLightMarksByHeightAndSavesAtOnce) {
    start(RunRequest::learnTicket(5));
    const std::pair<int, int> clicks[] = {{19, 1}, {20, 0}, {38, 0}, {39, 2}, {0, 1}, {59, 2}};
    int saves = 0;
    for (auto [y, mark] : clicks) {
        engine->markByLight(y);
        EXPECT_EQ(engine->currentMark(), mark) << y;
        EXPECT_EQ(app.Themes.mark(81), mark) << y;
        EXPECT_EQ(themeSaves, ++saves);
    }
}

TEST_F(StudyEngineTest, HelpRequestsAndSkipMinimize) {
    app.Themes.HelpLinks[80][0] = {QStringLiteral("Пункт 8.1"), QStringLiteral("pdd8.html#p8.1")};
    start(RunRequest::learnTicket(5));
    const auto captions = engine->helpLinkCaptions();
    EXPECT_EQ(app.Launch.SkipMinimize, 0); // the menu is the program's own
    ASSERT_EQ(captions.size(), size_t(MaxHelpLinks));
    EXPECT_EQ(captions[0], QStringLiteral("Пункт 8.1"));
    EXPECT_TRUE(captions[1].isEmpty());
    engine->openHelpLink(0);
    engine->openHelpLink(1);
    engine->openHelp();
    EXPECT_EQ(help.requests, (QStringList{QStringLiteral("biltor.chm::/pdd8.html#p8.1>popup"),
                                          QStringLiteral("biltor.chm::/h2.html>main")}));
    // Help in the program's own windows takes no focus away: the next switch minimises.
    app.Config.HideOnFocusLoss = true;
    EXPECT_EQ(app.Launch.SkipMinimize, 0);
    engine->programDeactivated();
    EXPECT_EQ(window.minimized, 1);
    // A page handed to the browser takes the focus: that one loss alone is spared.
    app.Launch.SkipMinimize = 1;
    engine->programDeactivated();
    EXPECT_EQ(window.minimized, 1);
    EXPECT_EQ(app.Launch.SkipMinimize, 0);
    engine->programDeactivated();
    EXPECT_EQ(window.minimized, 2);
    app.Config.HideOnFocusLoss = false;
    engine->programDeactivated();
    EXPECT_EQ(window.minimized, 2);
}

TEST_F(StudyEngineTest, MinimisePausesAndRestoreResumesTheTimers) {
    start(RunRequest::training(5));
    engine->countdownSecond();
    engine->programMinimized();
    EXPECT_FALSE(engine->countdownOn());
    EXPECT_FALSE(engine->secondsTimerOn());
    engine->countdownSecond();
    engine->questionSecond();
    EXPECT_EQ(engine->timeLeft(), 599);
    EXPECT_EQ(app.Stats.question(81).Seconds[2], 0);
    engine->programActivated();
    EXPECT_TRUE(engine->countdownOn());
    EXPECT_TRUE(engine->secondsTimerOn());
    engine->countdownSecond();
    EXPECT_EQ(engine->timeLeft(), 598);

    engine->stop();
    engine->programActivated(); // closed: nothing comes back
    EXPECT_FALSE(engine->countdownOn());
    EXPECT_FALSE(engine->secondsTimerOn());
}

TEST_F(StudyEngineTest, SaveFailuresAreReportedOnceAndTheWindowStillCloses) {
    bool diskFull = true;
    int themeWrites = 0;
    StudyIo io;
    io.loadQuestion = [](int n) -> Result<TQuestion> { return MakeQuestion(n); };
    io.saveStats = [&diskFull] {
        return diskFull ? Status::Error(QStringLiteral("Ошибка записи stat.dat")) : Status::Ok();
    };
    io.saveThemes = [&diskFull, &themeWrites] {
        ++themeWrites;
        return diskFull ? Status::Error(QStringLiteral("Ошибка записи tema4.dat")) : Status::Ok();
    };
    StudyEngine e(app, io, window);
    window.engine = &e;
    e.startRun(RunRequest::learnTicket(2));
    e.markByLight(5); // mark the question hard: the theme file cannot be written
    e.markByLight(50);
    e.stop();
    EXPECT_EQ(window.closes, 1);
    ASSERT_EQ(prompter.messages().size(), 2);
    EXPECT_TRUE(prompter.messages()[0].contains(QStringLiteral("Ошибка записи tema4.dat")));
    EXPECT_TRUE(prompter.messages()[1].contains(QStringLiteral("Ошибка записи stat.dat")));
    EXPECT_EQ(themeWrites, 3); // two marks and the retry at the close

    // Still failing: the learner already knows, nothing more is shown.
    e.startRun(e.run());
    e.stop();
    EXPECT_EQ(window.closes, 2);
    EXPECT_EQ(prompter.messages().size(), 2);

    // Space freed: the close writes both files and the failures are over.
    diskFull = false;
    e.startRun(e.run());
    e.stop();
    EXPECT_EQ(themeWrites, 5);
    EXPECT_FALSE(app.Saves.Stats.failing());
    EXPECT_FALSE(app.Saves.Themes.failing());
    EXPECT_EQ(app.Themes.mark(21), 2);
}

TEST(StudyFonts, FontTableByWindowWidth) {
    QuestionFonts f;
    ASSERT_TRUE(QuestionFontSizes(1000, f));
    EXPECT_EQ((std::array<int, 3>{f.Question, f.Answers, f.Comment}),
              (std::array<int, 3>{18, 16, 14}));
    ASSERT_TRUE(QuestionFontSizes(1001, f));
    EXPECT_EQ((std::array<int, 3>{f.Question, f.Answers, f.Comment}),
              (std::array<int, 3>{20, 18, 16}));
    ASSERT_TRUE(QuestionFontSizes(730, f));
    EXPECT_EQ(f.Question, 14);
    ASSERT_TRUE(QuestionFontSizes(3000, f));
    EXPECT_EQ(f.Comment, 20);
    EXPECT_FALSE(QuestionFontSizes(3001, f));
}

// --- The answer journal ----------------------------------------------------------------------

// Every judged answer is journaled with its flags: the first of the run unseen is a review; one
// given with the comment on screen, or again in the same run, is not; Kom's revealing click is
// the judgement, its confirming click no second record.
TEST_F(StudyEngineTest, JudgedAnswersAreJournaledWithWhatTheLearnerHadSeen) {
    test::RecordingSink sink;
    app.services.answers = &sink;
    test::StepClock clock;
    app.services.clock = &clock;
    start(RunRequest::learnTicket(5));
    engine->questionSecond();
    engine->questionSecond();
    const int wrongButton = wrong();
    answer(false); // 81 wrong, the comment shows
    answer(true);  // 81 right with the comment on screen
    answer(true);  // 82 right
    engine->showItem(0);
    answer(true); // 81 again in the same run
    ASSERT_EQ(sink.entries.size(), 4u);
    const JournalEntry& first = sink.entries[0];
    EXPECT_EQ(first.Question, 81);
    EXPECT_FALSE(first.Right);
    EXPECT_EQ(first.Chosen, wrongButton);
    EXPECT_EQ(first.Seconds, 2);
    EXPECT_EQ(first.Channel, ChannelLearning);
    EXPECT_EQ(first.Time, clock.nowUtc().toSecsSinceEpoch());
    EXPECT_EQ(first.Flags, FirstInRun);
    EXPECT_EQ(sink.entries[1].Flags, AfterReveal);
    EXPECT_EQ(sink.entries[2].Question, 82);
    EXPECT_TRUE(sink.entries[2].isReview());
    EXPECT_FALSE(sink.entries[3].isReview());

    engine->close();
    EXPECT_EQ(sink.flushes, 1);

    app.Config.AlwaysShowComment = true;
    start(RunRequest::learnTicket(5)); // a new run: 81 is first again
    answer(true);
    answer(true);
    ASSERT_EQ(sink.entries.size(), 5u);
    EXPECT_TRUE(sink.entries[4].isReview());
    EXPECT_TRUE(sink.entries[4].Right);
}
