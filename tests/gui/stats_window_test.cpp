// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/platform.h"
#include "recording_help.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "stats/readiness.h"
#include "stats/stat_file.h"
#include "stats/statistics.h"
#include "stats/ui/readiness_page.h"
#include "stats/ui/stats_window.h"
#include "step_clock.h"
#include "test_db.h"

#include <QAbstractBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QPieSeries>
#include <QPieSlice>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

using namespace bil;

namespace {

class StatsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<AppState>();
        app->services.prompter = &prompter;
        app->services.help = &help;
        for (int n = 1; n <= QuestionCount; ++n)
            app->Themes.theme(n) = DefaultThemeOf(n);
        window = std::make_unique<TForm5>(*app);
        window->setStudyLauncher([this](const RunRequest& request) {
            launched.push_back(request);
            if (duringRun)
                duringRun();
        });
    }
    void TearDown() override { window->hide(); }

    void showWindow() {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    // Centre of a bar in the chart view's viewport: grouped sets sit side by side in the
    // default half-width category slot.
    static QPoint BarPoint(const BarChart& c, int index, int set = 0) {
        const int n = int(c.sets.size());
        const qreal x = index + (set - (n - 1) / 2.0) * 0.5 / n;
        const qreal value = c.sets[set]->at(index);
        const QPointF inChart = c.chart->mapToPosition(QPointF(x, value / 2), c.series);
        return c.view->mapFromScene(c.chart->mapToScene(inChart));
    }

    void clickBar(const BarChart& c, int index, int set, Qt::MouseButton button) {
        QTest::mouseClick(c.view->viewport(), button, {}, BarPoint(c, index, set));
    }

    test::ScriptedPrompter prompter;
    test::RecordingHelp help;
    std::unique_ptr<AppState> app;
    std::unique_ptr<TForm5> window;
    std::vector<RunRequest> launched; // what the window handed to the study window
    std::function<void()> duringRun;
};

} // namespace

TEST_F(StatsWindowTest, EmptyRecordShowsNoDataEverywhere) {
    // Answers journaled while no question could be read belong to no set: no data either.
    test::RecordingSink sink;
    sink.entries.resize(800, JournalEntry{.Question = 1, .Right = true, .Flags = FirstInRun});
    app->services.answers = &sink;
    showWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Статистика Билетория DER UZIRI"));
    const QStringList tabs = {"Рейтинг", "Время",  "Билеты",     "Вопросы",
                              "Темы",    "Анализ", "Результаты", "Готовность"};
    ASSERT_EQ(window->PageControl1->count(), tabs.size());
    for (int i = 0; i < tabs.size(); ++i)
        EXPECT_EQ(window->PageControl1->tabText(i), tabs[i]);
    EXPECT_EQ(window->Chart4.sets[0]->count(), 0); // no rating bars at all
    EXPECT_EQ(window->Chart4.noData()->text(), QStringLiteral("РЕЙТИНГ ОТСУТСТВУЕТ"));
    for (const BarChart* c : {&window->Chart4, &window->Chart2, &window->Chart3, &window->Chart6})
        EXPECT_FALSE(c->noData()->isHidden()) << c->chart->title().toStdString();
    EXPECT_EQ(window->Chart2.noData()->text(), QStringLiteral("СТАТИСТИКА ОТСУТСТВУЕТ"));
    for (const LevelPie* p : {&window->Chart7, &window->Chart8, &window->Chart9})
        EXPECT_EQ(p->percent()->text(), QStringLiteral("0%"));
    EXPECT_EQ(window->Chart7.view->toolTip(), LevelWaitText(60));
    EXPECT_EQ(window->CountYellow->text(), QStringLiteral("Всего: 800"));
    EXPECT_EQ(window->CountRed->text(), QStringLiteral("Всего: 0"));
    EXPECT_FALSE(window->NoneRed->isHidden());
    EXPECT_TRUE(window->NoneYellow->isHidden());
    EXPECT_FALSE(window->RepeatRed->isEnabled());
    EXPECT_TRUE(window->RepeatYellow->isEnabled());
    EXPECT_FALSE(window->RepeatHard->isEnabled());
    EXPECT_FALSE(window->NoneTheory->isHidden());
    EXPECT_EQ(window->ListBox1->count(), 27);
    EXPECT_EQ(window->ListBox1->currentRow(), 0);
    EXPECT_EQ(window->ListView3->topLevelItemCount(), 40);
    EXPECT_EQ(window->ListView3->topLevelItem(0)->text(0), QStringLiteral("Билет №01"));
    const ReadinessPage* ready = window->Readiness;
    EXPECT_FALSE(ready->ChanceChart.noData()->isHidden());
    EXPECT_FALSE(ready->DueChart.noData()->isHidden());
    EXPECT_FALSE(ready->NoneValuable->isHidden());
    EXPECT_FALSE(ready->LearnButton->isEnabled());
    EXPECT_TRUE(ready->ChanceText->text().startsWith(QStringLiteral("Ответов пока нет.")));
    app->services.answers = nullptr;
}

// Every question answered right six days ago, the first 100 wrong two days ago: everything is
// overdue today. The list learns its questions from the one clicked, and the run's answers show
// at once.
TEST_F(StatsWindowTest, ReadinessPageDrawsTheJournalAndLearnsTheListedQuestions) {
    test::TempDir dir;
    ASSERT_TRUE(app->Db.OpenDatabase(test::WriteTestDatabase(dir.path())));
    test::StepClock clock;
    test::RecordingSink sink;
    app->services.clock = &clock;
    app->services.answers = &sink;
    const Fingerprint set = app->Prints.setPrint(app->Db);
    const int64_t now = clock.nowUtc().toSecsSinceEpoch();
    const auto answer = [&](int n, bool right, int64_t at) {
        sink.entries.push_back(
            {.Time = at, .Set = set, .Question = n, .Right = right, .Flags = FirstInRun});
    };
    for (int n = 1; n <= QuestionCount; ++n)
        answer(n, true, now - 6 * 86400);
    for (int n = 1; n <= 100; ++n)
        answer(n, false, now - 2 * 86400);

    window->showPage(7);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const ReadinessPage* ready = window->Readiness;
    EXPECT_EQ(ready->ChanceChart.series->count(), 2);
    EXPECT_TRUE(ready->ChanceChart.noData()->isHidden());
    EXPECT_EQ(ready->DueChart.sets[0]->at(0), 800);
    EXPECT_EQ(ready->DueChart.sets[0]->sum(), 800);
    ASSERT_EQ(ready->ValuableList->count(), ReadinessPage::ListSize);
    const std::vector<int> listed = ready->listed();
    const QString first = ready->ValuableList->item(0)->text();
    EXPECT_TRUE(first.startsWith(QuestionTag(listed[0]) + QStringLiteral("  +")));
    EXPECT_TRUE(first.endsWith(QStringLiteral("%  ") + test::TestQuestionText(listed[0])));
    EXPECT_TRUE(ready->LearnButton->isEnabled());

    duringRun = [&] {
        for (int n = 1; n <= QuestionCount; ++n)
            answer(n, true, now);
    };
    QTest::mouseClick(ready->ValuableList->viewport(), Qt::LeftButton, {},
                      ready->ValuableList->visualItemRect(ready->ValuableList->item(2)).center());
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].Questions, listed);
    EXPECT_EQ(launched[0].StartItem, 2);
    EXPECT_TRUE(launched[0].Caption.contains(QStringLiteral("шанс сдать")));
    EXPECT_EQ(ready->ChanceChart.series->count(), 3);
    // Everything answered just now: a chance of one, or a hair under it, depending on rounding.
    EXPECT_TRUE(ready->ChanceText->text().contains(QStringLiteral(": >99\u00a0%.")) ||
                ready->ChanceText->text().contains(QStringLiteral(": 100\u00a0%.")))
        << ready->ChanceText->text().toStdString();
    EXPECT_EQ(ready->DueChart.sets[0]->at(0), 0); // all answered just now
    app->services.answers = nullptr;
    app->services.clock = nullptr;
}

TEST_F(StatsWindowTest, ChannelSwitchChangesTheBarsButNotTheResults) {
    TQuestionStat& q = app->Stats.question(NumberOf(2, 5));
    q.Right = {1, 57, 3};
    q.Wrong = {4, 3, 0};
    q.Seconds = {10, 600, 20};
    // More exam answers elsewhere, for the level (60 answers, 57 right, 600 s: 80%).
    showWindow();
    EXPECT_EQ(window->Chart2.sets[0]->at(1), 630);
    EXPECT_EQ(window->Chart3.sets[0]->at(1), 7);  // wrong
    EXPECT_EQ(window->Chart3.sets[1]->at(1), 61); // right
    EXPECT_EQ(window->Chart7.percent()->text(), QStringLiteral("80%"));
    EXPECT_EQ(window->Chart8.percent()->text(), QStringLiteral("60%"));
    EXPECT_EQ(window->Chart9.percent()->text(), QStringLiteral("100%"));

    window->rb4->click(); // training only
    EXPECT_EQ(window->Chart2.sets[0]->at(1), 20);
    EXPECT_EQ(window->Chart3.sets[0]->at(1), 0);
    EXPECT_EQ(window->Chart3.sets[1]->at(1), 3);
    EXPECT_EQ(window->Chart7.percent()->text(), QStringLiteral("80%"));
    EXPECT_EQ(window->Chart4.sets[0]->at(1), 100); // the only rating: plain colour
    EXPECT_EQ(window->Chart4.sets[1]->at(1), 0);

    window->rb2->click(); // learning: the balance is negative, no rating
    EXPECT_EQ(window->Chart2.sets[0]->at(1), 10);
    EXPECT_EQ(window->Chart4.sets[0]->count(), 0);
    EXPECT_FALSE(window->Chart4.noData()->isHidden());
    EXPECT_TRUE(window->Chart2.noData()->isHidden());
    // Theme of the question: 4 wrong of 5 answers.
    const int k = app->Themes.theme(NumberOf(2, 5));
    EXPECT_DOUBLE_EQ(window->Chart6.sets[0]->at(k - 1), 80.0);
    EXPECT_DOUBLE_EQ(window->Chart6.sets[1]->at(k - 1), 20.0);
    // With errors above right answers the question is listed as difficult.
    ASSERT_EQ(window->ListBox5->count(), 1);
    EXPECT_EQ(window->ListBox5->item(0)->text(), QStringLiteral("Б2 В5"));
    EXPECT_TRUE(window->NoneHard->isHidden());
    EXPECT_TRUE(window->RepeatHard->isEnabled());
    window->rb3->click(); // exam: 57 right, 3 wrong
    EXPECT_EQ(window->ListBox5->count(), 0);
    window->RadioButton3->click(); // any error
    EXPECT_EQ(window->ListBox5->count(), 1);
}

// The main window's refresh after a reset: an open window shows the emptied record at once.
TEST_F(StatsWindowTest, OpenWindowRecomputesWhenTheMainWindowRefreshes) {
    TQuestionStat& q = app->Stats.question(NumberOf(2, 5));
    q.Right = {1, 57, 3};
    q.Wrong = {4, 3, 0};
    q.Seconds = {10, 600, 20};
    showWindow();
    window->PageControl1->setCurrentIndex(2);
    EXPECT_EQ(window->Chart2.sets[0]->at(1), 630);
    EXPECT_EQ(window->Chart3.sets[1]->at(1), 61);
    EXPECT_EQ(window->Chart7.percent()->text(), QStringLiteral("80%"));
    EXPECT_TRUE(window->Chart7.view->toolTip().isEmpty()); // 60 exam answers: nothing missing

    ResetAllStats(app->Stats);
    window->firstPage();
    EXPECT_EQ(window->PageControl1->currentIndex(), 0);
    EXPECT_EQ(window->Chart2.sets[0]->at(1), 0);
    EXPECT_EQ(window->Chart3.sets[1]->at(1), 0);
    EXPECT_FALSE(window->Chart2.noData()->isHidden());
    EXPECT_EQ(window->Chart7.percent()->text(), QStringLiteral("0%"));
}

TEST_F(StatsWindowTest, BestAndWorstRatingBarsAreColoured) {
    for (int t : {3, 8, 20}) {
        TQuestionStat& q = app->Stats.question(NumberOf(t, 1));
        q.Right[0] = uint8_t(t);
        q.Seconds[0] = 10;
    }
    showWindow();
    EXPECT_DOUBLE_EQ(window->Chart4.sets[1]->at(19), 100.0); // best: green set
    EXPECT_DOUBLE_EQ(window->Chart4.sets[2]->at(2), 15.0);   // worst: red set
    EXPECT_DOUBLE_EQ(window->Chart4.sets[0]->at(7), 40.0);
    EXPECT_EQ(window->Chart4.sets[0]->at(19), 0.0);
    EXPECT_TRUE(window->Chart4.noData()->isHidden());
}

TEST_F(StatsWindowTest, TimeBarClickOpensTheTicketOnTheQuestionsPage) {
    app->Stats.question(NumberOf(17, 2)).Seconds[0] = 40;
    app->Stats.question(NumberOf(17, 3)).Seconds[2] = 15;
    showWindow();
    window->PageControl1->setCurrentIndex(1);
    QApplication::processEvents();
    clickBar(window->Chart2, 16, 0, Qt::RightButton); // any button
    EXPECT_EQ(window->PageControl1->currentIndex(), 3);
    EXPECT_EQ(window->selectedTicket(), 17);
    EXPECT_EQ(window->Chart5.sets[0]->at(1), 40);
    EXPECT_EQ(window->Chart5.sets[0]->at(2), 15);
    EXPECT_TRUE(window->Chart5.noData()->isHidden());
    EXPECT_FALSE(window->Chart1.noData()->isHidden());
    EXPECT_TRUE(launched.empty());
}

TEST_F(StatsWindowTest, QuestionBarsLaunchOnLeftAndExplainOnRight) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    TQuestionStat& q = app->Stats.question(NumberOf(7, 13));
    q.Seconds[0] = 25;
    q.Right[1] = 2;
    q.Wrong[2] = 3;
    showWindow();
    window->showPage(3, 6);
    QApplication::processEvents();
    ASSERT_EQ(window->selectedTicket(), 7);

    clickBar(window->Chart5, 12, 0, Qt::RightButton);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].caption, QStringLiteral("ВРЕМЯ"));
    EXPECT_EQ(prompter.shown()[0].text, QStringLiteral("На решение вопроса №13 затрачено 25 сек."));
    clickBar(window->Chart1, 12, 1, Qt::RightButton);
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[1].caption, QStringLiteral("Неправильные ответы"));
    EXPECT_EQ(prompter.shown()[1].text, QStringLiteral("При решении вопроса 13 сделано 3 ошибок."));
    EXPECT_TRUE(launched.empty());

    // A left click starts learning by ticket 7 at question 13; counts made in the run show.
    duringRun = [this] { app->Stats.question(NumberOf(7, 13)).Seconds[0] += 5; };
    clickBar(window->Chart5, 12, 0, Qt::LeftButton);
    ASSERT_EQ(launched.size(), 1u);
    const RunRequest& l = launched[0];
    EXPECT_EQ(l.Type, RunType::TicketLearning);
    EXPECT_EQ(l.Ticket, 7);
    EXPECT_EQ(l.StartItem, 12);
    EXPECT_EQ(window->Chart5.sets[0]->at(12), 30);

    // The theme chart answers the left button only, with two decimals.
    window->PageControl1->setCurrentIndex(4);
    QApplication::processEvents();
    const int k = app->Themes.theme(NumberOf(7, 13));
    prompter.clear();
    clickBar(window->Chart6, k - 1, 1, Qt::RightButton);
    EXPECT_TRUE(prompter.shown().empty());
    clickBar(window->Chart6, k - 1, 1, Qt::LeftButton);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].caption, QStringLiteral("Правильные ответы"));
    EXPECT_EQ(prompter.shown()[0].text,
              QStringLiteral("При решении темы \"") + ThemeNames(k) +
                  QStringLiteral("\" получено 40,00% правильных ответов."));
    QLocale::setDefault(QLocale::c());
}

TEST_F(StatsWindowTest, RepeatOfTheRedListRunsExactlyTheListedQuestions) {
    // Marked hard: two questions of built-in theme 3 (one moved away) and one of theme 1.
    const int a = NumberOf(1, 2), b = NumberOf(8, 9), other = NumberOf(1, 1);
    ASSERT_EQ(DefaultThemeOf(a), 3);
    ASSERT_EQ(DefaultThemeOf(b), 3);
    ASSERT_NE(DefaultThemeOf(other), 3);
    app->Themes.mark(a) = 1;
    app->Themes.mark(b) = 1;
    app->Themes.mark(other) = 1;
    app->Themes.theme(a) = 9;
    showWindow();
    window->PageControl1->setCurrentIndex(5);
    window->ListBox1->setCurrentRow(3);
    ASSERT_EQ(window->ListBox2->count(), 2);
    EXPECT_EQ(window->CountRed->text(), QStringLiteral("Всего: 2"));
    EXPECT_EQ(window->ListBox2->item(0)->text(), QStringLiteral("Б1 В2"));
    window->RepeatRed->click();
    ASSERT_EQ(launched.size(), 1u);
    const RunRequest& l = launched[0];
    EXPECT_EQ(l.Type, RunType::StatisticsList);
    EXPECT_EQ(l.StartItem, 0);
    EXPECT_EQ(l.Questions, (std::vector<int>{a, b}));
    EXPECT_EQ(l.Caption, QStringLiteral("Билетория ПДД - Повторение сложных вопросов из темы ") +
                             ThemeNames(3));

    // A click on an entry starts learning by its ticket at its position.
    window->ListBox2->clearSelection();
    const QRect r = window->ListBox2->visualItemRect(window->ListBox2->item(1));
    QTest::mouseClick(window->ListBox2->viewport(), Qt::LeftButton, {}, r.center());
    ASSERT_EQ(launched.size(), 2u);
    EXPECT_EQ(launched[1].Ticket, 8);
    EXPECT_EQ(launched[1].StartItem, 8);
    // A click below the items starts nothing.
    QTest::mouseClick(window->ListBox2->viewport(), Qt::LeftButton, {},
                      QPoint(5, window->ListBox2->viewport()->height() - 3));
    EXPECT_EQ(launched.size(), 2u);

    window->ListBox1->setCurrentRow(0);
    window->RepeatRed->click();
    ASSERT_EQ(launched.size(), 3u);
    EXPECT_EQ(launched[2].Questions, (std::vector<int>{other, a, b}));
    EXPECT_TRUE(launched[2].Caption.endsWith(QStringLiteral(" из всех тем")));
}

// Return in the statistics window never starts a repetition run; it is the window's OK.
TEST_F(StatsWindowTest, ReturnStartsNoRun) {
    app->Themes.mark(NumberOf(2, 3)) = 1;
    showWindow();
    window->PageControl1->setCurrentIndex(5);
    ASSERT_TRUE(window->RepeatRed->isEnabled());
    window->ListBox2->setFocus();
    QTest::keyClick(window->ListBox2, Qt::Key_Return);
    EXPECT_TRUE(launched.empty());
    window->RepeatRed->setFocus();
    QTest::keyClick(window->RepeatRed, Qt::Key_Return);
    EXPECT_TRUE(launched.empty());
    EXPECT_TRUE(window->OkButton->isDefault());
}

// Help shows in the program's own windows: no later switch to another program is spared.
TEST_F(StatsWindowTest, HelpRequestsLeaveSkipMinimizeClear) {
    const int n = NumberOf(4, 4);
    app->Themes.HelpLinks[n - 1][0].LinkCaption = QStringLiteral("Разметка 1.1");
    app->Themes.HelpLinks[n - 1][1].LinkCaption = QStringLiteral("Пункт 5.1");
    app->Stats.question(n).Wrong[0] = 1;
    showWindow();
    window->PageControl1->setCurrentIndex(5);
    app->Launch.SkipMinimize = 1;
    window->SpeedButton1->click();
    EXPECT_EQ(app->Launch.SkipMinimize, 0);
    app->Launch.SkipMinimize = 1;
    ASSERT_EQ(window->ListBox6->count(), 2);
    QTest::mouseClick(window->ListBox6->viewport(), Qt::LeftButton, {},
                      window->ListBox6->visualItemRect(window->ListBox6->item(1)).center());
    EXPECT_EQ(app->Launch.SkipMinimize, 0);
    EXPECT_EQ(help.requests, (QStringList{QStringLiteral("biltor.chm::/h8.html>main"),
                                          QStringLiteral("biltor.chm::/raz1.html#r1.1>popup")}));
}

TEST_F(StatsWindowTest, FullRecordRecomputeTiming) {
    // Every question answered in every channel; the figure is logged, not asserted.
    for (TQuestionStat& q : app->Stats.QuestionStats) {
        q.Right = {3, 5, 7};
        q.Wrong = {2, 1, 4};
        q.Seconds = {40, 30, 20};
    }
    for (int n = 1; n <= QuestionCount; n += 3)
        app->Themes.HelpLinks[n - 1][0].LinkCaption =
            QStringLiteral("Пункт %1.1").arg((n / 3) % 24);
    showWindow();
    QElapsedTimer clock;
    clock.start();
    window->FormShow();
    const QPixmap drawn = window->grab();
    const qint64 ms = clock.elapsed();
    std::fprintf(stderr, "statistics window: recompute and draw of a full record: %lld ms\n",
                 static_cast<long long>(ms));
    EXPECT_FALSE(drawn.isNull());
    EXPECT_EQ(window->ListBox5->count(), 0); // no question has more errors than right answers
    window->RadioButton3->click();
    EXPECT_EQ(window->ListBox5->count(), 800);
    EXPECT_EQ(window->ListBox6->count(), 24);
}

// The chart library shortens axis labels that do not fit to "..."; at the window's one size the
// 40 ticket numbers, the 20 question numbers and the theme names must all stay readable.
TEST_F(StatsWindowTest, NoChartLabelIsCutShort) {
    showWindow();
    struct Shown {
        int page;
        QChart* chart;
        const BarChart* numbered; // numbers under the bars
    };
    const ReadinessPage* ready = window->Readiness;
    const Shown charts[] = {
        {0, window->Chart4.chart, &window->Chart4}, {1, window->Chart2.chart, &window->Chart2},
        {2, window->Chart3.chart, &window->Chart3}, {3, window->Chart5.chart, &window->Chart5},
        {3, window->Chart1.chart, &window->Chart1}, {4, window->Chart6.chart, nullptr},
        {7, ready->ChanceChart.chart, nullptr},     {7, ready->DueChart.chart, nullptr}};
    for (const auto& [page, chart, numbered] : charts) {
        window->PageControl1->setCurrentIndex(page);
        QCoreApplication::processEvents();
        SCOPED_TRACE(chart->title().toStdString());
        QStringList shown;
        for (QGraphicsItem* item : chart->scene()->items())
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item); text && text->isVisible())
                shown << text->toPlainText();
        EXPECT_FALSE(shown.join('|').contains(QStringLiteral("...")) ||
                     shown.join('|').contains(QChar(0x2026)))
            << shown.join('|').toStdString();
        if (numbered) {
            auto* numbers = qobject_cast<QCategoryAxis*>(numbered->axisX);
            ASSERT_NE(numbers, nullptr);
            const QStringList labels = numbers->categoriesLabels();
            ASSERT_GE(labels.size(), 5);
            EXPECT_EQ(labels.first(), QStringLiteral("1"));
            // Each number sits under its own bar.
            for (const QString& label : labels)
                EXPECT_EQ(numbers->endValue(label), label.toInt() - 1);
            for (const QString& label : labels)
                EXPECT_TRUE(shown.contains(label)) << label.toStdString();
        }
    }
    // The question charts have room for every number.
    EXPECT_EQ(qobject_cast<QCategoryAxis*>(window->Chart5.axisX)->count(), 20);
}

TEST_F(StatsWindowTest, ChangedQuestionsOfTheLastReleaseUpdateRunFromTheListsPage) {
    test::TempDir dir;
    ASSERT_TRUE(app->Db.OpenDatabase(test::WriteTestDatabase(dir.path())));
    ReleaseStep step;
    step.Old = 1;
    step.New = app->Prints.setPrint(app->Db);
    for (int n = 1; n <= QuestionCount; ++n)
        step.KeptFrom[size_t(n - 1)] = uint16_t(n == 3 || n == 47 ? 0 : n);
    app->Releases = {step};
    showWindow();
    window->PageControl1->setCurrentIndex(5);
    ASSERT_TRUE(window->ChangedButton->isVisible());
    window->ChangedButton->click();
    ASSERT_EQ(launched.size(), 1u);
    EXPECT_EQ(launched[0].Type, RunType::ChangedQuestions);
    EXPECT_EQ(launched[0].Questions, (std::vector<int>{3, 47}));

    // Another database open (or no carry-over to it): nothing to offer.
    app->Releases[0].New = 2;
    window->FormShow();
    EXPECT_FALSE(window->ChangedButton->isVisible());
}
