// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/random.h"
#include "data/themes.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <gtest/gtest.h>

#include <cstring>

using namespace bil;

namespace {

// A study window over a test database; questions can be given long texts first.
class StudyKeysLayoutTest : public ::testing::Test {
protected:
    void open(std::vector<QuestionSource> questions = test::MakeQuestions()) {
        const QString db = test::WriteTestDatabase(dir.path(), questions);
        ASSERT_TRUE(app.Db.OpenDatabase(db).ok());
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.services.random = &random;
        app.Config.HideOnFocusLoss = false;
        app.Config.ShuffleAnswers = false;
        for (int n = 1; n <= QuestionCount; ++n)
            app.Themes.theme(n) = DefaultThemeOf(n);
        window = std::make_unique<TForm1>(app);
    }
    void TearDown() override {
        if (window && window->isVisible())
            window->hide();
    }
    void launch(RunRequest request) { window->setRun(std::move(request)); }
    int answersCounted(int n) const {
        const auto& q = app.Stats.question(n);
        return q.Right[0] + q.Wrong[0] + q.Right[2] + q.Wrong[2];
    }
    bool anyAnswerButtonLive() const {
        for (QPushButton* b : window->BitBtn)
            if (b->isVisibleTo(window.get()) && b->isEnabled())
                return true;
        return false;
    }

    test::TempDir dir;
    AppState app;
    test::ScriptedPrompter prompter;
    SystemRandom random;
    std::unique_ptr<TForm1> window;
};

// Enter moves the focus to an answer button; a second Return (double press, key repeat) must
// not record that answer. Digits still answer.
TEST_F(StudyKeysLayoutTest, ReturnNeverAnswersAQuestion) {
    open();
    for (int runKind : {0, 2}) {
        const int ticket = runKind == 0 ? 3 : 4;
        launch(runKind == 0 ? RunRequest::learnTicket(ticket) : RunRequest::training(ticket));
        window->show();
        const int n = (ticket - 1) * 20 + 1;
        QTest::keyClick(window->ListView1, Qt::Key_Return);
        QWidget* focused = window->focusWidget();
        ASSERT_EQ(focused, window->BitBtn[0]) << runKind;
        QTest::keyClick(focused, Qt::Key_Return);
        QTest::keyClick(focused, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(window.get(), Qt::Key_Return);
        EXPECT_EQ(answersCounted(n), 0) << runKind;
        EXPECT_EQ(window->engine().mark(0), MarkUnanswered) << runKind;
        EXPECT_EQ(window->ListView1->currentRow(), 0) << runKind;

        QTest::keyClick(window->ListView1, Qt::Key(Qt::Key_0 + test::TestCorrect(n)));
        EXPECT_EQ(answersCounted(n), 1) << runKind;
        window->hide(); // no verdict
    }
}

// A long comment at the minimum size: the white area scrolls down to the comment's end, and the
// answer buttons stay on screen below it instead of covering it.
TEST_F(StudyKeysLayoutTest, LongCommentScrollsAndTheButtonsStayInReach) {
    auto questions = test::MakeQuestions();
    questions[20].Comment = QStringLiteral("Подробное пояснение к этому вопросу. ").repeated(100);
    open(questions);
    launch(RunRequest::learnTicket(2));
    window->resize(window->minimumSize());
    window->show();
    ASSERT_EQ(window->size(), QSize(730, 548));
    const int wrong = test::TestCorrect(21) == 1 ? 2 : 1;
    QTest::keyClick(window->ListView1, Qt::Key(Qt::Key_0 + wrong));
    ASSERT_TRUE(window->Label4->isVisibleTo(window.get()));

    QScrollBar* bar = window->ScrollBox1->verticalScrollBar();
    EXPECT_TRUE(bar->isVisibleTo(window.get()));
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(bar->maximum());
    const QRect comment(window->Label4->mapTo(window.get(), QPoint(0, 0)), window->Label4->size());
    const QRect viewport(window->ScrollBox1->viewport()->mapTo(window.get(), QPoint(0, 0)),
                         window->ScrollBox1->viewport()->size());
    EXPECT_LE(comment.bottom(), viewport.bottom()); // the whole comment can be read
    for (int b = 1; b <= test::TestAnswerCount(21); ++b) {
        QPushButton* button = window->BitBtn[b - 1];
        const QRect r(button->mapTo(window.get(), QPoint(0, 0)), button->size());
        EXPECT_TRUE(window->rect().contains(r)) << b;
        EXPECT_FALSE(r.intersects(viewport)) << b;
    }

    // A short question needs no scroll bar, and its texts get the full width back.
    window->ListView1->setCurrentRow(2);
    EXPECT_FALSE(bar->isVisibleTo(window.get()));
    EXPECT_EQ(window->Label3->width(), window->ScrollBox1->width() - 16);
}

// A theme run over a theme that no question belongs to any more shows no question and nothing
// that can be answered.
TEST_F(StudyKeysLayoutTest, EmptyRunShowsAnEmptyQuestionArea) {
    open();
    launch(RunRequest::learnTheme(5));
    window->show();
    ASSERT_GT(window->ListView1->count(), 0);
    ASSERT_FALSE(window->Label2->text().isEmpty());
    window->close();

    for (int n = 1; n <= QuestionCount; ++n)
        if (app.Themes.theme(n) == 6)
            app.Themes.theme(n) = 7;
    launch(RunRequest::learnTheme(6));
    window->show();
    EXPECT_EQ(window->ListView1->count(), 0);
    EXPECT_TRUE(window->Label2->text().isEmpty());
    EXPECT_TRUE(window->Label3->text().isEmpty());
    EXPECT_FALSE(window->Label4->isVisibleTo(window.get()));
    EXPECT_FALSE(window->Image1->isVisibleTo(window.get()));
    EXPECT_FALSE(window->Image2->isVisibleTo(window.get()));
    EXPECT_FALSE(anyAnswerButtonLive());
    const TStatRecord before = app.Stats;
    for (Qt::Key k : {Qt::Key_1, Qt::Key_2, Qt::Key_Return})
        QTest::keyClick(window->ListView1, k);
    EXPECT_EQ(std::memcmp(&before, &app.Stats, sizeof before), 0);
}

// Exam review: the widened "Ваш выбор" button pushes the next ones aside.
TEST_F(StudyKeysLayoutTest, ReviewButtonsDoNotOverlap) {
    open();
    std::vector<int> numbers;
    std::vector<ReviewedAnswer> answers(20, {true, 0});
    for (int k = 0; k < 20; ++k)
        numbers.push_back(81 + k);
    ASSERT_GE(test::TestAnswerCount(84), 4);
    answers[3] = {false, 2}; // question 84, second answer chosen wrongly
    launch(RunRequest::examReview(numbers, answers));
    window->show();
    window->ListView1->setCurrentRow(3);
    ASSERT_EQ(window->BitBtn[1]->text(), QStringLiteral("Ваш выбор 2       "));
    ASSERT_GT(window->BitBtn[1]->width(), 81);
    for (int b = 1; b < test::TestAnswerCount(84); ++b)
        EXPECT_LT(window->BitBtn[b - 1]->geometry().right(), window->BitBtn[b]->x()) << b;
}

// Hidden results of a training: one answered icon for right and wrong, in no colour at all.
TEST_F(StudyKeysLayoutTest, HiddenResultsUseANeutralAnsweredIcon) {
    open();
    app.Config.TrainingMarksAtEnd = true;
    launch(RunRequest::training(4));
    window->show();
    const QImage answered = window->itemIcon(MarkRight).pixmap(16, 16).toImage();
    EXPECT_EQ(answered, window->itemIcon(MarkWrong).pixmap(16, 16).toImage());
    EXPECT_NE(answered, window->itemIcon(MarkUnanswered).pixmap(16, 16).toImage());
    int opaque = 0;
    for (int y = 0; y < answered.height(); ++y)
        for (int x = 0; x < answered.width(); ++x) {
            const QColor c = answered.pixelColor(x, y);
            if (c.alpha() < 128)
                continue;
            ++opaque;
            EXPECT_LE(std::abs(c.red() - c.green()) + std::abs(c.green() - c.blue()), 6)
                << x << "," << y;
        }
    EXPECT_GT(opaque, 60);
}

// The comment's help menu: a question without links opens an empty menu, and a question with
// all nine links shows those nine and never the tenth item.
TEST_F(StudyKeysLayoutTest, HelpLinkMenuShowsTheQuestionsLinksOnly) {
    open();
    launch(RunRequest::learnTicket(1));
    window->show();
    auto& links = app.Themes.HelpLinks;
    links[0] = {};
    for (int k = 0; k < MaxHelpLinks; ++k)
        links[1][k] = {QStringLiteral("Пункт %1.1").arg(k + 1),
                       QStringLiteral("pdd%1.html").arg(k)};
    auto visibleItems = [this] {
        int n = 0;
        for (QAction* a : window->PopupMenu1->actions())
            n += a->isVisible() ? 1 : 0;
        return n;
    };
    auto clickComment = [this](int answerItem) {
        window->ListView1->setCurrentRow(answerItem);
        const int n = answerItem + 1;
        QTest::keyClick(window->ListView1,
                        Qt::Key(Qt::Key_0 + (test::TestCorrect(n) == 1 ? 2 : 1)));
        EXPECT_TRUE(window->Label4->isVisibleTo(window.get()));
        QTest::mouseClick(window->Label4, Qt::LeftButton);
    };

    clickComment(0);
    EXPECT_TRUE(window->PopupMenu1->isVisible());
    EXPECT_EQ(visibleItems(), 0);
    window->PopupMenu1->hide();

    clickComment(1);
    EXPECT_TRUE(window->PopupMenu1->isVisible());
    EXPECT_EQ(visibleItems(), MaxHelpLinks);
    EXPECT_FALSE(window->PopupMenu1->actions().last()->isVisible());
    EXPECT_EQ(window->PopupMenu1->actions()[8]->text(), QStringLiteral("Пункт 9.1"));
    window->PopupMenu1->hide();
}

// Every list caption is shown whole, "Вопрос №127" as much as "Вопрос №1", at every size.
TEST_F(StudyKeysLayoutTest, LongRunsShowEveryListCaptionWhole) {
    open();
    for (int n = 1; n <= 127; ++n)
        app.Themes.theme(n) = 3;
    for (int n = 128; n <= QuestionCount; ++n)
        if (app.Themes.theme(n) == 3)
            app.Themes.theme(n) = 4;
    launch(RunRequest::learnTheme(3));
    for (QSize size : {QSize(730, 548), QSize(1200, 800)}) {
        window->resize(size);
        window->show();
        ASSERT_EQ(window->ListView1->count(), 127);
        QListWidget* list = window->ListView1;
        const int viewportWidth = list->viewport()->width();
        for (int i : {0, 8, 9, 99, 126}) {
            const QModelIndex index = list->model()->index(i, 0);
            const QRect shown = list->visualRect(index);
            EXPECT_GE(shown.width(), list->sizeHintForIndex(index).width()) << i;
            EXPECT_LE(shown.left() + list->sizeHintForIndex(index).width(), viewportWidth) << i;
        }
        window->close();
    }
}

} // namespace
