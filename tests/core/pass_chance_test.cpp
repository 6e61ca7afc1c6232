// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/pass_chance.h"

#include "app/platform.h"
#include "exam/exam_engine.h"
#include "scripted_random.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace bil {
namespace {

AnswerChances Uniform(double q) {
    AnswerChances p;
    p.fill(q);
    return p;
}

TEST(PassChance, EqualChancesGiveTheClosedForm) {
    EXPECT_DOUBLE_EQ(PassChance(Uniform(1.0)), 1.0);
    EXPECT_DOUBLE_EQ(PassChance(Uniform(0.0)), 0.0);
    const double q = 0.9;
    const double a = std::pow(q, 5);
    const double b = 5 * std::pow(q, 4) * (1 - q) * a; // one error, then five right
    EXPECT_NEAR(PassChance(Uniform(q)), a * a * a * a + 4 * b * a * a * a + 6 * b * b * a * a,
                1e-12);
}

TEST(PassChance, GradientIsTheChangeOfOneQuestionsChance) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> d(0.6, 1.0);
    AnswerChances p;
    for (double& x : p)
        x = d(random);
    const AnswerChances grad = PassChanceGradient(p);
    for (int n : {1, 7, 20, 333, 800}) {
        AnswerChances q = p;
        q[size_t(n - 1)] = 1.0;
        const AnswerChances at1 = q;
        q[size_t(n - 1)] = 0.0;
        // The chance is at most quadratic in one p: its slope at p is bracketed by the chords.
        const double chord = PassChance(at1) - PassChance(q);
        EXPECT_GT(grad[size_t(n - 1)], 0.0) << n;
        EXPECT_NEAR(grad[size_t(n - 1)], chord, 0.5 * chord) << n;
    }
}

class VerdictFront final : public ExamFrontEnd {
public:
    bool passed = false;
    void stageStarted(bool) override {}
    void tilesChanged() override {}
    void clockChanged() override {}
    void timerChanged(bool) override {}
    void closeQuestion() override {}
    bool showVerdict(const ExamVerdict& v) override {
        passed = v.Headline == QStringLiteral("Поздравляем! Вы сдали экзамен!");
        return false;
    }
    void showReview(const RunRequest&) override {}
    void closeWindow() override {}
};

// Exams played through the engine by a learner who answers question n right with chance p[n-1]
// land within four standard errors of the computed chance.
TEST(PassChance, MatchesExamsPlayedThroughTheEngine) {
    std::vector<TQuestion> questions(QuestionCount);
    for (int n = 1; n <= QuestionCount; ++n) {
        TQuestion& q = questions[size_t(n - 1)];
        q.Number = n;
        q.Ticket = TicketOf(n);
        q.InTicket = PositionOf(n);
        q.Correct = 1;
        q.Answers[0] = QStringLiteral("Да");
        q.Answers[1] = QStringLiteral("Нет");
        q.AnswerCount = 2;
    }
    const auto load = [&](int n) -> Result<TQuestion> { return questions[size_t(n - 1)]; };
    const struct {
        const char* name;
        double low, high;
    } learners[] = {{"weak", 0.75, 0.95}, {"middling", 0.88, 0.99}, {"strong", 0.96, 1.0}};
    constexpr int Exams = 20000;
    unsigned seed = 20261209;
    for (const auto& learner : learners) {
        std::mt19937 answers(++seed);
        std::uniform_real_distribution<double> chance(learner.low, learner.high);
        AnswerChances p;
        for (double& x : p)
            x = chance(answers);

        AppState app;
        test::ScriptedRandom draws(++seed);
        app.services.random = &draws;
        app.Config.ExamTime = 20 * 60;
        VerdictFront front;
        ExamEngine engine(app, front, load, {});
        std::uniform_real_distribution<double> roll(0.0, 1.0);
        int passed = 0;
        for (int exam = 0; exam < Exams; ++exam) {
            app.Launch.ExamStage = 1;
            engine.formShow();
            front.passed = false;
            while (engine.phase() != ExamPhase::Finished) {
                for (int i = engine.firstSlot() - 1; i < engine.lastSlot(); ++i) {
                    if (engine.slot(i).Answered != 0 || engine.phase() == ExamPhase::Finished)
                        continue;
                    const int n = engine.slot(i).Question;
                    ASSERT_TRUE(engine.openQuestion(i));
                    engine.recordExamAnswer(roll(answers) < p[size_t(n - 1)] ? 1 : 2);
                    engine.questionClosed(true);
                }
            }
            passed += front.passed;
        }
        const double expected = PassChance(p);
        const double error = std::sqrt(expected * (1 - expected) / Exams);
        const double rate = double(passed) / Exams;
        EXPECT_NEAR(rate, expected, 4 * error) << learner.name;
        EXPECT_GT(expected, 0.01) << learner.name; // else the comparison proves little
        std::printf("[ exams    ] %s: played %.4f, computed %.4f\n", learner.name, rate, expected);
    }
}

} // namespace
} // namespace bil
