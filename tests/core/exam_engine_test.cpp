// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/exam_engine.h"

#include "app/platform.h"
#include "exam/stage_pictures.h"
#include "jpeg_samples.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "scripted_random.h"

#include <gtest/gtest.h>

#include <functional>

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace bil {
namespace {

// Records what the engine asks of its window, with the statistics as they were at each step.
class RecordingFront final : public ExamFrontEnd {
public:
    TStatRecord* stats = nullptr;
    std::vector<std::string> calls;
    std::vector<ExamVerdict> verdicts;
    std::vector<bool> stageNewExam;
    bool reviewAnswer = false;
    bool timer = false;
    RunRequest review;
    AppState* app = nullptr;
    int wrongAtClose = -1; // Wrong[1] of question 1 when the window was closed

    void stageStarted(bool newExam) override {
        calls.push_back("stage");
        stageNewExam.push_back(newExam);
    }
    void tilesChanged() override {}
    void clockChanged() override {}
    void timerChanged(bool running) override { timer = running; }
    void closeQuestion() override { calls.push_back("closeQuestion"); }
    bool showVerdict(const ExamVerdict& v) override {
        calls.push_back("verdict");
        verdicts.push_back(v);
        return reviewAnswer;
    }
    void showReview(const RunRequest& request) override {
        calls.push_back("review");
        review = request;
    }
    void closeWindow() override {
        calls.push_back("close");
        wrongAtClose = stats->question(1).Wrong[ChannelExam];
    }
};

// Question n: three answers, the right one is 2; every third question has a picture.
Result<TQuestion> FakeQuestion(int n) {
    TQuestion q;
    q.Number = n;
    q.Ticket = TicketOf(n);
    q.InTicket = PositionOf(n);
    q.Correct = 2;
    q.Text = QStringLiteral("Вопрос %1").arg(n);
    q.Answers[0] = QStringLiteral("Да");
    q.Answers[1] = QStringLiteral("Нет");
    q.Answers[2] = QStringLiteral("Иногда");
    q.AnswerCount = 3;
    q.HasPicture = n % 3 == 0;
    if (q.HasPicture)
        q.Picture = QByteArray::number(n);
    return q;
}

class ExamEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        random.strict = true;
        prompter.answerWhenEmpty(true);
        app.services.random = &random;
        app.services.prompter = &prompter;
        app.Config.ExamTime = 20 * 60;
        front.stats = &app.Stats;
        front.app = &app;
        engine = std::make_unique<ExamEngine>(app, front, loader, decoder);
    }

    // Starts an exam with the given four group tickets (indices 0..39).
    void start(std::vector<int> tickets) {
        for (int t : tickets)
            random.values.push_back(t);
        app.Launch.ExamStage = 1;
        engine->formShow();
    }
    // Answers the question of tile index through the tile's path.
    void answer(int index, bool right) {
        ASSERT_TRUE(engine->openQuestion(index)) << index;
        engine->recordExamAnswer(right ? 2 : 3);
        engine->questionClosed(true);
    }
    // Answers slots first..last, wrong exactly at the listed slots.
    void answerSlots(int first, int last, std::vector<int> wrongSlots = {}) {
        for (int s = first; s <= last; ++s) {
            bool wrong = false;
            for (int w : wrongSlots)
                wrong = wrong || w == s;
            answer(s - 1, !wrong);
        }
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            engine->tick();
    }
    int right1(int n) const { return app.Stats.question(n).Right[ChannelExam]; }
    int wrong1(int n) const { return app.Stats.question(n).Wrong[ChannelExam]; }

    AppState app;
    test::ScriptedRandom random;
    test::ScriptedPrompter prompter;
    RecordingFront front;
    ExamEngine::QuestionLoader loader = FakeQuestion;
    ExamEngine::PictureDecoder decoder = [](const std::vector<const QByteArray*>& jpegs) {
        // Picture "n" decodes to (100 + n) x 50; "0" is damaged.
        std::vector<Bitmap> out(jpegs.size());
        for (std::size_t i = 0; i < jpegs.size(); ++i)
            if (jpegs[i] && jpegs[i]->toInt() != 0) {
                out[i].Width = 100 + jpegs[i]->toInt();
                out[i].Height = 50;
            }
        return out;
    };
    std::unique_ptr<ExamEngine> engine;
};

TEST_F(ExamEngineTest, MainBlockTakesEachGroupFromItsOwnDrawnTicket) {
    start({3, 7, 7, 39});
    EXPECT_EQ(random.bounds, (std::vector<int>{40, 40, 40, 40}));
    EXPECT_EQ(random.reseeds, 1);
    EXPECT_EQ(engine->phase(), ExamPhase::MainBlock);
    EXPECT_TRUE(front.timer);
    EXPECT_EQ(engine->blockTitle(), QStringLiteral("Основной блок вопросов"));
    EXPECT_EQ(engine->clockText(), QStringLiteral("00:20:00"));
    EXPECT_EQ(engine->slotQuestion(1), 3 * 20 + 1);
    EXPECT_EQ(engine->slotQuestion(5), 3 * 20 + 5);
    EXPECT_EQ(engine->slotQuestion(6), 7 * 20 + 6);
    EXPECT_EQ(engine->slotQuestion(15), 7 * 20 + 15);
    EXPECT_EQ(engine->slotQuestion(20), 39 * 20 + 20);
    EXPECT_EQ(engine->slotQuestion(21), 0);
    EXPECT_EQ(engine->slot(0).AnswerList, QStringLiteral("1. Да\n\r2. Нет\n\r3. Иногда\n\r"));
    EXPECT_EQ(engine->slot(19).Q.Ticket, 40);
    EXPECT_EQ(engine->slot(19).Q.InTicket, 20);
    EXPECT_EQ(front.stageNewExam, std::vector<bool>{true});
}

TEST_F(ExamEngineTest, NoErrorPassesWithExamCountsOnly) {
    start({0, 1, 2, 3});
    ticks(65);
    answerSlots(1, 20);
    ASSERT_EQ(front.verdicts.size(), 1u);
    const ExamVerdict& v = front.verdicts[0];
    EXPECT_EQ(v.Headline, QStringLiteral("Поздравляем! Вы сдали экзамен!"));
    EXPECT_EQ(v.FirstLine, QStringLiteral("Допущено ошибок: 0"));
    EXPECT_EQ(v.SecondLine, QString());
    EXPECT_EQ(v.TimeLine, QStringLiteral("Время ответа: 00:01:05"));
    EXPECT_TRUE(v.ReviewOffered);
    EXPECT_EQ(front.calls, (std::vector<std::string>{"stage", "verdict", "close"}));
    EXPECT_FALSE(front.timer);
    EXPECT_EQ(engine->phase(), ExamPhase::Finished);
    for (int s = 1; s <= 20; ++s) {
        const int n = engine->slotQuestion(s);
        EXPECT_EQ(right1(n), 1) << n;
        EXPECT_EQ(app.Stats.question(n).Right[ChannelLearning], 0);
        EXPECT_EQ(app.Stats.question(n).Right[ChannelTraining], 0);
    }
    EXPECT_EQ(wrong1(1), 0);
    // The window's close after a verdict changes nothing.
    engine->formClose();
    EXPECT_EQ(front.verdicts.size(), 1u);
}

TEST_F(ExamEngineTest, OneErrorInSlot7EarnsFiveQuestionsOfItsGroupThenPasses) {
    start({10, 12, 14, 16});
    ticks(100);
    random.values.push_back(5);
    answerSlots(1, 20, {7});
    EXPECT_TRUE(front.verdicts.empty());
    EXPECT_EQ(engine->examStage(), 2);
    EXPECT_EQ(engine->phase(), ExamPhase::AdditionalBlock);
    EXPECT_EQ(engine->firstErrorSlot(), 7);
    EXPECT_EQ(engine->firstErrorGroup(), 2);
    EXPECT_EQ(engine->mainErrors(), 1);
    EXPECT_EQ(engine->mainElapsed(), 100);
    EXPECT_EQ(engine->stageLimit(), 300);
    EXPECT_EQ(engine->remaining(), 300);
    EXPECT_EQ(engine->firstSlot(), 21);
    EXPECT_EQ(engine->lastSlot(), 25);
    EXPECT_EQ(engine->currentTile(), 20);
    EXPECT_EQ(engine->blockTitle(), QStringLiteral("Дополнительный блок вопросов"));
    EXPECT_EQ(random.bounds.back(), 39);
    EXPECT_EQ(random.reseeds, 2);
    EXPECT_EQ(engine->extraTicket(1), 17);
    for (int s = 21; s <= 25; ++s)
        EXPECT_EQ(engine->slotQuestion(s), 17 * 20 + 6 + (s - 21));
    EXPECT_EQ(front.stageNewExam, (std::vector<bool>{true, false}));

    ticks(30);
    answerSlots(21, 25);
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].Headline, QStringLiteral("Поздравляем! Вы сдали экзамен!"));
    EXPECT_EQ(front.verdicts[0].FirstLine, QStringLiteral("Допущено ошибок: 1"));
    // The answer time adds the main block's time used to the additional block's.
    EXPECT_EQ(front.verdicts[0].TimeLine, QStringLiteral("Время ответа: 00:02:10"));
    EXPECT_EQ(wrong1(12 * 20 + 7), 1);
}

TEST_F(ExamEngineTest, ErrorsInTwoGroupsEarnTenQuestionsAndTenMinutes) {
    start({1, 2, 3, 4});
    random.values = {0, 38};
    answerSlots(1, 20, {3, 17});
    EXPECT_EQ(engine->examStage(), 3);
    EXPECT_EQ(engine->lastSlot(), 30);
    EXPECT_EQ(engine->stageLimit(), 600);
    EXPECT_EQ(engine->firstErrorGroup(), 1);
    EXPECT_EQ(engine->secondErrorGroup(), 4);
    // r = 0 keeps the error group's ticket; 4 + 38 = 42 moves back by 39 to 3.
    EXPECT_EQ(engine->extraTicket(1), 1);
    EXPECT_EQ(engine->extraTicket(2), 3);
    for (int s = 21; s <= 25; ++s)
        EXPECT_EQ(engine->slotQuestion(s), 1 * 20 + 1 + (s - 21));
    for (int s = 26; s <= 30; ++s)
        EXPECT_EQ(engine->slotQuestion(s), 3 * 20 + 16 + (s - 26));
    answerSlots(21, 30);
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].FirstLine, QStringLiteral("Допущено ошибок: 2"));
}

TEST_F(ExamEngineTest, ExtraTicketMovesBackBy39PastTheLastTicket) {
    EXPECT_EQ(ExamEngine::ExtraTicketIndex(5, 0), 5);
    EXPECT_EQ(ExamEngine::ExtraTicketIndex(39, 1), 1);
    EXPECT_EQ(ExamEngine::ExtraTicketIndex(39, 0), 39);
    EXPECT_EQ(ExamEngine::ExtraTicketIndex(1, 38), 39);
    EXPECT_EQ(ExamEngine::ExtraTicketIndex(2, 38), 1);

    start({39, 0, 0, 0});
    random.values.push_back(1);
    answerSlots(1, 20, {2});
    EXPECT_EQ(engine->extraTicket(1), 1);
    EXPECT_EQ(engine->slotQuestion(21), 1 * 20 + 1);
}

TEST_F(ExamEngineTest, TwoErrorsInOneGroupFailOnlyAfterTheLastAnswer) {
    start({0, 1, 2, 3});
    answerSlots(1, 19, {2, 4});
    EXPECT_TRUE(engine->examFailed());
    EXPECT_TRUE(front.verdicts.empty());
    EXPECT_TRUE(engine->timerOn());
    answer(19, true);
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].Headline, QStringLiteral("К сожалению экзамен НЕ СДАН!"));
    EXPECT_EQ(front.verdicts[0].FirstLine,
              QStringLiteral("В основном блоке вопросов\n\rдопущено ошибок: 2"));
    EXPECT_EQ(front.verdicts[0].SecondLine, QString());
    EXPECT_EQ(engine->examStage(), 1);
}

TEST_F(ExamEngineTest, ThirdErrorFailsEvenInThreeGroups) {
    start({0, 1, 2, 3});
    answerSlots(1, 20, {1, 6, 11});
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].Headline, QStringLiteral("К сожалению экзамен НЕ СДАН!"));
    EXPECT_EQ(front.verdicts[0].FirstLine,
              QStringLiteral("В основном блоке вопросов\n\rдопущено ошибок: 3"));
}

TEST_F(ExamEngineTest, ErrorInAdditionalBlockFailsWithBothCounts) {
    start({0, 1, 2, 3});
    answerSlots(1, 20, {20});
    answerSlots(21, 25, {23});
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].Headline, QStringLiteral("К сожалению экзамен НЕ СДАН!"));
    EXPECT_EQ(front.verdicts[0].FirstLine,
              QStringLiteral("В основном блоке ошибок: 1\n\rВ дополнительном блоке: 1"));
}

TEST_F(ExamEngineTest, TimeOutWithTwoMissingInDifferentGroupsStartsTenQuestions) {
    start({0, 1, 2, 3});
    for (int s = 1; s <= 20; ++s)
        if (s != 4 && s != 9)
            answer(s - 1, true);
    ASSERT_TRUE(engine->openQuestion(8));
    ticks(1199);
    EXPECT_EQ(engine->phase(), ExamPhase::MainBlock);
    engine->tick();
    EXPECT_EQ(engine->examStage(), 3);
    EXPECT_EQ(engine->errorCount(), 2);
    EXPECT_EQ(engine->mainErrors(), 2);
    EXPECT_EQ(engine->firstErrorSlot(), 4);
    EXPECT_EQ(engine->secondErrorSlot(), 9);
    EXPECT_EQ(engine->mainElapsed(), 1200);
    EXPECT_EQ(engine->slot(3).Answered, 1);
    EXPECT_EQ(engine->slot(3).AnsweredRight, 0);
    EXPECT_EQ(wrong1(4), 0); // counted as errors, but not in the statistics
    EXPECT_EQ(front.calls, (std::vector<std::string>{"stage", "closeQuestion", "stage"}));
    // The question window returns without an answer after the stage has changed.
    engine->questionClosed(false);
    EXPECT_TRUE(front.verdicts.empty());
    answerSlots(21, 30);
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].FirstLine, QStringLiteral("Допущено ошибок: 2"));
    EXPECT_EQ(front.verdicts[0].TimeLine, QStringLiteral("Время ответа: 00:20:00"));
}

TEST_F(ExamEngineTest, TimeOutWithTwoMissingInOneGroupFailsByTimeAndChargesEverySlot) {
    start({0, 1, 2, 3});
    for (int s = 1; s <= 20; ++s)
        if (s != 4 && s != 5)
            answer(s - 1, true);
    ASSERT_TRUE(engine->openQuestion(3));
    ticks(1200);
    ASSERT_EQ(front.verdicts.size(), 1u);
    const ExamVerdict& v = front.verdicts[0];
    EXPECT_EQ(v.Headline, QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"));
    EXPECT_EQ(v.FirstLine, QStringLiteral("В основном блоке вопросов\n\rдопущено ошибок: 2"));
    EXPECT_EQ(v.SecondLine, QStringLiteral("Все ответы признаны ошибками."));
    EXPECT_EQ(v.TimeLine, QStringLiteral("Время закончилось: 00:20:00"));
    EXPECT_EQ(front.calls,
              (std::vector<std::string>{"stage", "closeQuestion", "verdict", "close"}));
    // Without the review the window closes before the charge.
    EXPECT_EQ(front.wrongAtClose, 0);
    for (int s = 1; s <= 20; ++s) {
        EXPECT_EQ(wrong1(engine->slotQuestion(s)), 1) << s;
        EXPECT_EQ(engine->slot(s - 1).AnsweredRight, 0);
    }
    EXPECT_EQ(right1(1), 1); // the right answer before the time-out stays counted as well
    // Every tile now counts as answered; the late return of the question window judges nothing.
    engine->questionClosed(false);
    engine->formClose();
    EXPECT_EQ(front.verdicts.size(), 1u);
}

TEST_F(ExamEngineTest, TimeOutInAdditionalBlockShowsItsOwnLimitAndReviewsBeforeTheCharge) {
    start({0, 1, 2, 3});
    ticks(50);
    random.values.push_back(5);
    answerSlots(1, 20, {1});
    answerSlots(21, 22);
    front.reviewAnswer = true;
    ticks(300);
    ASSERT_EQ(front.verdicts.size(), 1u);
    EXPECT_EQ(front.verdicts[0].Headline, QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"));
    EXPECT_EQ(front.verdicts[0].FirstLine,
              QStringLiteral("В основном блоке ошибок: 1\n\rВ дополнительном блоке: 0"));
    EXPECT_EQ(front.verdicts[0].TimeLine, QStringLiteral("Время закончилось: 00:05:00"));
    EXPECT_EQ(front.calls, (std::vector<std::string>{"stage", "stage", "closeQuestion", "verdict",
                                                     "review", "close"}));
    // The review sees the answers as given; the charge follows it, before the window closes.
    ASSERT_EQ(front.review.Answers.size(), 25u);
    EXPECT_FALSE(front.review.Answers[0].Right);
    EXPECT_TRUE(front.review.Answers[1].Right);
    EXPECT_TRUE(front.review.Answers[20].Right);
    EXPECT_FALSE(front.review.Answers[22].Right);
    EXPECT_EQ(front.wrongAtClose, 2);
    EXPECT_EQ(wrong1(engine->slotQuestion(25)), 1);
    EXPECT_EQ(wrong1(engine->slotQuestion(21)), 1);
}

TEST_F(ExamEngineTest, ReviewHandsTheSlotsToTheStudyWindow) {
    start({4, 5, 6, 7});
    front.reviewAnswer = true;
    answerSlots(1, 20, {2, 5});
    ASSERT_EQ(front.calls, (std::vector<std::string>{"stage", "verdict", "review", "close"}));
    const RunRequest& r = front.review;
    EXPECT_EQ(r.Type, RunType::ExamReview);
    ASSERT_EQ(r.Questions.size(), 20u);
    ASSERT_EQ(r.Answers.size(), 20u);
    for (int s = 1; s <= 20; ++s) {
        EXPECT_EQ(r.Questions[s - 1], engine->slotQuestion(s));
        EXPECT_EQ(r.Answers[s - 1].Right, s != 2 && s != 5);
        EXPECT_EQ(r.Answers[s - 1].Chosen, (s == 2 || s == 5) ? 3 : 2);
    }
    EXPECT_EQ(r.StartItem, 0);
    EXPECT_FALSE(r.KeepMarks);
    EXPECT_EQ(engine->slot(1).Chosen, 3);
    EXPECT_EQ(engine->slot(0).Chosen, 2);
}

TEST_F(ExamEngineTest, EarlyCloseCountsEveryQuestionOfTheExam) {
    start({0, 1, 2, 3});
    ticks(40);
    random.values.push_back(10);
    answerSlots(1, 20, {12});
    ticks(20);
    answer(20, true);
    front.reviewAnswer = true;
    engine->formClose();
    ASSERT_EQ(front.verdicts.size(), 1u);
    const ExamVerdict& v = front.verdicts[0];
    EXPECT_EQ(v.Headline, QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"));
    EXPECT_EQ(v.FirstLine, QStringLiteral("Допущено ошибок: 25"));
    EXPECT_EQ(v.SecondLine, QStringLiteral("Все ответы признаны ошибками."));
    EXPECT_EQ(v.TimeLine, QStringLiteral("Время ответа: 00:01:00"));
    EXPECT_FALSE(front.timer);
    ASSERT_EQ(front.review.Answers.size(), 25u);
    EXPECT_TRUE(front.review.Answers[20].Right);
    for (int s = 1; s <= 25; ++s)
        EXPECT_EQ(wrong1(engine->slotQuestion(s)), s == 12 ? 2 : 1) << s;
    // The charge is made once; closing again adds nothing.
    engine->formClose();
    EXPECT_EQ(wrong1(engine->slotQuestion(1)), 1);
}

// Answers are journaled as judged, in the exam channel with their block; a question the
// additional block brings back is no first answer; the early close's charges are records of
// their own, flushed with the save.
TEST_F(ExamEngineTest, AnswersAndChargesAreJournaled) {
    test::RecordingSink sink;
    app.services.answers = &sink;
    start({0, 1, 2, 3});
    random.values.push_back(0); // the additional block repeats ticket 2's group 3: 51..55
    engine->openQuestion(0);
    engine->questionSecond();
    engine->questionSecond();
    engine->recordExamAnswer(2);
    engine->questionClosed(true);
    answerSlots(2, 20, {12});
    answerSlots(21, 22);
    ASSERT_EQ(sink.entries.size(), 22u);
    EXPECT_EQ(sink.entries[0].Seconds, 2);
    EXPECT_EQ(sink.entries[0].Chosen, 2);
    const JournalEntry& miss = sink.entries[11];
    EXPECT_EQ(miss.Question, 52);
    EXPECT_FALSE(miss.Right);
    EXPECT_EQ(miss.Chosen, 3);
    EXPECT_EQ(miss.Channel, ChannelExam);
    EXPECT_EQ(miss.Run, JournalExamMain);
    EXPECT_EQ(miss.Flags, FirstInRun);
    EXPECT_EQ(sink.entries[20].Run, JournalExamExtra);
    EXPECT_EQ(sink.entries[20].Question, 51);
    EXPECT_EQ(sink.entries[20].Flags, 0);
    EXPECT_EQ(sink.entries[21].Question, 52);
    EXPECT_EQ(sink.entries[21].Flags, 0);

    engine->formClose();
    ASSERT_EQ(sink.entries.size(), 22u + 25u);
    for (std::size_t i = 22; i < sink.entries.size(); ++i) {
        EXPECT_EQ(sink.entries[i].Kind, JournalKind::Charge);
        EXPECT_EQ(sink.entries[i].Reason, ChargeReason::EarlyClose);
    }
    EXPECT_EQ(sink.flushes, 1);
}

// Every way an exam ends saves the record once, after its verdict, review and error charge;
// a time-out that earns an additional block is no end.
TEST_F(ExamEngineTest, EveryEndOfAnExamSavesOnceAfterTheVerdictAndTheCharge) {
    int wrongAtSave = -1;
    engine = std::make_unique<ExamEngine>(app, front, loader, decoder, [this, &wrongAtSave] {
        front.calls.push_back("save");
        wrongAtSave = 0;
        for (const TQuestionStat& q : app.Stats.QuestionStats)
            wrongAtSave += q.Wrong[ChannelExam];
        return Status::Ok();
    });
    using Calls = std::vector<std::string>;

    start({0, 1, 2, 3}); // passed
    answerSlots(1, 20);
    EXPECT_EQ(front.calls, (Calls{"stage", "verdict", "close", "save"}));
    EXPECT_EQ(wrongAtSave, 0);

    front.calls.clear(); // failed by time, no review: the charge comes after the close
    start({0, 1, 2, 3});
    answerSlots(1, 3);
    ticks(1200);
    EXPECT_EQ(front.calls, (Calls{"stage", "closeQuestion", "verdict", "close", "save"}));
    EXPECT_EQ(wrongAtSave, 20);

    front.calls.clear(); // failed by time with the review
    front.reviewAnswer = true;
    start({0, 1, 2, 3});
    ticks(1200);
    EXPECT_EQ(front.calls, (Calls{"stage", "closeQuestion", "verdict", "review", "close", "save"}));
    EXPECT_EQ(wrongAtSave, 40);

    front.calls.clear(); // closed early: the charge, then the save
    start({0, 1, 2, 3});
    answerSlots(1, 2, {2});
    engine->formClose();
    EXPECT_EQ(front.calls, (Calls{"stage", "verdict", "review", "save"}));
    EXPECT_EQ(wrongAtSave, 40 + 1 + 20);
    engine->formClose(); // the window's close after a verdict saves nothing more
    EXPECT_EQ(front.calls.size(), 4u);

    front.calls.clear(); // two questions missing at the time-out: the exam goes on
    front.reviewAnswer = false;
    start({0, 1, 2, 3});
    for (int s = 1; s <= 20; ++s)
        if (s != 4 && s != 9)
            answer(s - 1, true);
    ticks(1200);
    EXPECT_EQ(front.calls, (Calls{"stage", "closeQuestion", "stage"}));
}

TEST_F(ExamEngineTest, CurrentTileFollowsTheMouseAndTheAnswers) {
    start({0, 1, 2, 3});
    engine->hoverTile(6);
    EXPECT_EQ(engine->currentTile(), 6);
    answer(6, true);
    EXPECT_EQ(engine->currentTile(), 7);
    engine->hoverTile(6); // answered: no change
    EXPECT_EQ(engine->currentTile(), 7);
    engine->hoverTile(25); // outside the stage
    EXPECT_EQ(engine->currentTile(), 7);
    EXPECT_FALSE(engine->openQuestion(6));

    // The search wraps from the stage's last tile to its first unanswered one.
    answer(0, true);
    engine->hoverTile(19);
    answer(19, true);
    EXPECT_EQ(engine->currentTile(), 1);

    // Answering a tile that is not current leaves the current tile where it is.
    answer(10, true);
    EXPECT_EQ(engine->currentTile(), 1);
    EXPECT_EQ(engine->slot(10).Answered, 1);

    // Closing without an answer leaves the tile unanswered and current.
    ASSERT_TRUE(engine->openQuestion(1));
    engine->questionClosed(false);
    EXPECT_EQ(engine->slot(1).Answered, 0);
    EXPECT_EQ(engine->currentTile(), 1);
    EXPECT_EQ(engine->correctCount(), 4);
}

TEST_F(ExamEngineTest, QuestionSecondsCountForTheOpenQuestionOnly) {
    start({0, 1, 2, 3});
    engine->questionSecond();
    ASSERT_TRUE(engine->openQuestion(2));
    engine->questionSecond();
    engine->questionSecond();
    engine->questionClosed(false);
    engine->questionSecond();
    EXPECT_EQ(app.Stats.question(3).Seconds[ChannelExam], 2);
    EXPECT_EQ(app.Stats.question(3).Seconds[ChannelLearning], 0);
}

TEST_F(ExamEngineTest, CountersStopAtTheirWidthOnDisk) {
    app.Stats.question(1).Right[ChannelExam] = 255;
    app.Stats.question(2).Wrong[ChannelExam] = 255;
    start({0, 0, 0, 0});
    answer(0, true);
    answer(1, false);
    EXPECT_EQ(right1(1), 255);
    EXPECT_EQ(wrong1(2), 255);
}

TEST_F(ExamEngineTest, PictureRatioComesFromTheLastDecodedPicture) {
    start({0, 0, 0, 0});
    // Questions 3, 6, ..., 18 have pictures; 18 is the last: (118 - 5) / 50.
    EXPECT_DOUBLE_EQ(engine->pictureRatio(), 113.0 / 50.0);
    EXPECT_EQ(engine->slot(2).Picture.Width, 103);
    EXPECT_EQ(engine->slot(0).Picture.Width, 0);

    decoder = [](const std::vector<const QByteArray*>& jpegs) {
        return std::vector<Bitmap>(jpegs.size()); // every picture damaged
    };
    engine = std::make_unique<ExamEngine>(app, front, loader, decoder);
    start({0, 0, 0, 0});
    EXPECT_EQ(engine->pictureRatio(), 0.0);
    EXPECT_EQ(engine->slot(2).Picture.Width, 0);
    EXPECT_EQ(engine->phase(), ExamPhase::MainBlock);
}

TEST_F(ExamEngineTest, UnreadableQuestionStopsTheExamWithAWarning) {
    loader = [](int n) -> Result<TQuestion> {
        if (n == 25)
            return Status::Error(QStringLiteral("База вопросов повреждена: вопрос 25."));
        return FakeQuestion(n);
    };
    engine = std::make_unique<ExamEngine>(app, front, loader, decoder);
    start({1, 1, 1, 1});
    EXPECT_EQ(prompter.messages(),
              QStringList{QStringLiteral("База вопросов повреждена: вопрос 25.")});
    EXPECT_FALSE(front.timer);
    EXPECT_EQ(front.calls, std::vector<std::string>{"close"});
    engine->formClose();
    EXPECT_TRUE(front.verdicts.empty());
    EXPECT_EQ(wrong1(21), 0);
}

TEST_F(ExamEngineTest, NewExamStartsFromScratch) {
    start({0, 1, 2, 3});
    answerSlots(1, 20, {1});
    answerSlots(21, 25);
    ASSERT_EQ(engine->phase(), ExamPhase::Finished);
    start({5, 5, 5, 5});
    EXPECT_EQ(engine->examStage(), 1);
    EXPECT_EQ(engine->errorCount(), 0);
    EXPECT_EQ(engine->mainElapsed(), 0);
    EXPECT_EQ(engine->slot(0).Answered, 0);
    EXPECT_EQ(engine->slot(20).Question, 0);
    EXPECT_EQ(engine->slotQuestion(1), 101);
}

TEST(StagePictures, DecodesEveryPictureInItsPlaceAndLeavesDamagedOnesEmpty) {
    std::vector<QByteArray> jpegs;
    for (int i = 0; i < 7; ++i) {
        const std::vector<uint8_t> bytes = test::SampleJpeg(40 + i, 30);
        jpegs.emplace_back(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    jpegs[4] = jpegs[4].left(20); // damaged
    std::vector<const QByteArray*> input;
    for (const QByteArray& j : jpegs)
        input.push_back(&j);
    input[2] = nullptr; // no picture
    const std::vector<Bitmap> out = DecodeStagePictures(input);
    ASSERT_EQ(out.size(), 7u);
    for (int i : {0, 1, 3, 5, 6}) {
        EXPECT_EQ(out[i].Width, 40 + i);
        EXPECT_EQ(out[i].Height, 30);
    }
    EXPECT_EQ(out[2].Width, 0);
    EXPECT_EQ(out[4].Width, 0);
    EXPECT_TRUE(DecodeStagePictures({}).empty());
}

TEST(FormatDuration, TwoDigitsEach) {
    EXPECT_EQ(FormatDuration(0), QStringLiteral("00:00:00"));
    EXPECT_EQ(FormatDuration(3 * 3600 + 4 * 60 + 5), QStringLiteral("03:04:05"));
    EXPECT_EQ(FormatDuration(-3), QStringLiteral("00:00:00"));
}

} // namespace
// "Вы уверены?" guards an answer only when the settings ask for it; a "Нет" or a time-out while
// the box is open leaves the question unanswered.
TEST_F(ExamEngineTest, ConfirmationGuardsTheAnswer) {
    test::ScriptedPrompter asking;
    app.services.prompter = &asking;
    app.Config.ConfirmChoice = true;
    app.Config.AlwaysShowComment = false;
    start({0, 1, 2, 3});

    asking.queueYesNo(false);
    ASSERT_TRUE(engine->openQuestion(0));
    EXPECT_FALSE(engine->chooseAnswer(2));
    EXPECT_EQ(asking.questions(), QStringList{QStringLiteral("Вы уверены?")});
    EXPECT_EQ(engine->correctCount(), 0);
    asking.answerWhenEmpty(true);
    EXPECT_TRUE(engine->chooseAnswer(2));
    EXPECT_EQ(engine->correctCount(), 1);
    engine->questionClosed(true);

    // The comment always shown, or no confirmation asked for: no box.
    app.Config.AlwaysShowComment = true;
    ASSERT_TRUE(engine->openQuestion(1));
    EXPECT_TRUE(engine->chooseAnswer(2));
    engine->questionClosed(true);
    app.Config.AlwaysShowComment = false;
    app.Config.ConfirmChoice = false;
    ASSERT_TRUE(engine->openQuestion(2));
    EXPECT_TRUE(engine->chooseAnswer(3));
    engine->questionClosed(true);
    EXPECT_EQ(asking.questions().size(), 2);
    EXPECT_EQ(engine->errorCount(), 1);

    // The exam time runs out while the box is open: the "Да" answers no question.
    app.Config.ConfirmChoice = true;
    ASSERT_TRUE(engine->openQuestion(3));
    asking.duringNextQuestion([this] { ticks(app.Config.ExamTime); });
    EXPECT_FALSE(engine->chooseAnswer(2));
    EXPECT_EQ(engine->correctCount(), 2);
}

} // namespace bil
