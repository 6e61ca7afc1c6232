// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/platform.h"
#include "app/ui/search_window.h"
#include "data/themes.h"
#include "scripted_prompter.h"
#include "stats/stat_file.h"
#include "study/ui/study_window.h"
#include "test_db.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;

namespace {

class SearchWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto q = test::MakeQuestions();
        q[NumberOf(3, 7) - 1].Text = QStringLiteral("Разрешён ли обгон на Перекрёстке?");
        q[NumberOf(9, 1) - 1].Comment = QStringLiteral("Обгон на перекрестке запрещен.");
        q[NumberOf(40, 20) - 1].Answers[0] = QStringLiteral("Обгон на ПЕРЕКРЕСТКЕ разрешён.");
        q[NumberOf(5, 2) - 1].Text = QStringLiteral("Велосипедисты едут, велосипедиста не видно?");
        q[NumberOf(6, 3) - 1].Text = QStringLiteral("Кого пропустить: мопеды или велосипедистов?");
        ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path(), q)).ok());
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.Config.HideOnFocusLoss = false;
        app.Config.ShuffleAnswers = false;
        for (int n = 1; n <= QuestionCount; ++n)
            app.Themes.theme(n) = DefaultThemeOf(n);
        window = std::make_unique<SearchWindow>(app);
        window->setStudyLauncher([this](const RunRequest& request) {
            launched.push_back(request);
            if (duringRun)
                duringRun();
        });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override { window->hide(); }

    // Types text into the field one key at a time, as a learner does.
    void type(const QString& text) {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(window->Edit1, &press);
        }
    }
    void pressEnter(QWidget* target) { QTest::keyClick(target, Qt::Key_Return); }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    AppState app;
    std::unique_ptr<SearchWindow> window;
    std::vector<RunRequest> launched;
    std::function<void()> duringRun;
};

TEST_F(SearchWindowTest, ResultsFollowTypingWithTicketThemeAndHighlights) {
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Поиск вопросов"));
    EXPECT_FALSE(app.Search.built()); // an empty field opens without reading the texts
    type(QStringLiteral("перекрёстке"));
    EXPECT_EQ(window->ListBox1->count(), 3);
    type(QStringLiteral(" ОБГОН"));
    ASSERT_EQ(window->ListBox1->count(), 3);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Найдено вопросов: 3"));
    const int first = window->ListBox1->item(0)->data(SearchWindow::NumberRole).toInt();
    EXPECT_EQ(first, NumberOf(3, 7));
    const QString html = window->ListBox1->item(0)->data(SearchWindow::HtmlRole).toString();
    EXPECT_TRUE(html.contains(QStringLiteral("Билет 3, вопрос 7"))) << html.toStdString();
    EXPECT_TRUE(html.contains(ThemeNames(DefaultThemeOf(NumberOf(3, 7)))));
    EXPECT_TRUE(html.contains(QStringLiteral(">обгон</span>")));
    EXPECT_TRUE(html.contains(QStringLiteral(">Перекрёстке</span>")));
    EXPECT_EQ(window->ListBox1->item(0)->toolTip(),
              QStringLiteral("Разрешён ли обгон на Перекрёстке?"));
    // Found in a comment or an answer: listed, the question text without highlights.
    const QString viaComment = window->ListBox1->item(1)->data(SearchWindow::HtmlRole).toString();
    EXPECT_FALSE(viaComment.contains(QStringLiteral("<span")));

    type(QStringLiteral(" тягач"));
    EXPECT_EQ(window->ListBox1->count(), 0);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Ничего не найдено."));
    pressEnter(window->Edit1);
    EXPECT_TRUE(launched.empty()); // nothing to learn
}

TEST_F(SearchWindowTest, AnyFormOfTheWordIsFoundAndHighlighted) {
    type(QStringLiteral("велосипедист"));
    ASSERT_EQ(window->ListBox1->count(), 2);
    EXPECT_EQ(window->ListBox1->item(1)->data(SearchWindow::NumberRole).toInt(), NumberOf(6, 3));
    const QString html = window->ListBox1->item(0)->data(SearchWindow::HtmlRole).toString();
    EXPECT_TRUE(html.contains(QStringLiteral(">Велосипедисты</span>"))) << html.toStdString();
    EXPECT_TRUE(html.contains(QStringLiteral(">велосипедиста</span>")));
}

TEST_F(SearchWindowTest, EnterAndDoubleClickStartLearningAtTheChosenResult) {
    type(QStringLiteral("обгон перекресток"));
    ASSERT_EQ(window->ListBox1->count(), 3);
    QTest::keyClick(window->Edit1, Qt::Key_Down); // the arrows walk the results from the field
    EXPECT_EQ(window->ListBox1->currentRow(), 1);
    pressEnter(window->Edit1);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].Type, RunType::SearchResults);
    EXPECT_EQ(launched[0].StartItem, 1);
    EXPECT_EQ(launched[0].Questions,
              (std::vector<int>{NumberOf(3, 7), NumberOf(9, 1), NumberOf(40, 20)}));
    EXPECT_EQ(launched[0].Caption,
              QStringLiteral("Билетория DER UZIRI - Поиск: обгон перекресток"));

    QListWidget* list = window->ListBox1;
    const QRect r = list->visualItemRect(list->item(2));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center()); // a click starts nothing
    EXPECT_EQ(launched.size(), 1u);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[1].StartItem, 2);
}

TEST_F(SearchWindowTest, TheRunInTheStudyWindowCountsInLearning) {
    TForm1 study(app);
    duringRun = [&] {
        study.setRun(launched.back());
        study.show();
        EXPECT_EQ(study.windowTitle(),
                  QStringLiteral("Билетория DER UZIRI - Поиск: обгон перекрёсток"));
        EXPECT_EQ(study.ListView1->count(), 3);
        EXPECT_EQ(study.engine().currentNumber(), NumberOf(40, 20));
        study.engine().answer(study.engine().rightButton());
        study.close();
    };
    type(QStringLiteral("  обгон   перекрёсток "));
    window->ListBox1->setCurrentRow(2);
    pressEnter(window->ListBox1);
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(app.Stats.question(NumberOf(40, 20)).Right[ChannelLearning], 1);
    // The close saved the statistics.
    const Result<LoadedStats> saved = LoadStats(StatFilePath(dir.path()));
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.question(NumberOf(40, 20)).Right[ChannelLearning], 1);
}

TEST_F(SearchWindowTest, ASwitchedDatabaseIsSearchedWhenTheWindowOpensAgain) {
    type(QStringLiteral("тягач"));
    EXPECT_EQ(window->ListBox1->count(), 0);
    window->hide();
    auto q = test::MakeQuestions();
    q[5].Text = QStringLiteral("Можно ли буксировать тягач?");
    ASSERT_TRUE(SwitchDatabase(
        app.Db, test::WriteTestDatabase(dir.path(), q, QStringLiteral("dataCD.dbv"))));
    window->show();
    ASSERT_EQ(window->ListBox1->count(), 1);
    EXPECT_EQ(window->ListBox1->item(0)->data(SearchWindow::NumberRole).toInt(), 6);
}

} // namespace
