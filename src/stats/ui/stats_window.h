// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/run_request.h"
#include "stats/statistics.h"
#include "stats/ui/stats_charts.h"

#include <QDialog>

#include <array>
#include <functional>

class QBarSet;
class QButtonGroup;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTreeWidget;

namespace bil {

class ReadinessPage;

// The statistics window: charts of time, answers, rating and themes, the overall level and the
// lists of questions that need work, from which it starts study runs. It only reads the record.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(AppState& app, QWidget* parent = nullptr);
    ~TForm5() override;

    // Shows the study window modally for a run; returns when it closed.
    void setStudyLauncher(StudyLauncher launcher) { m_showStudy = std::move(launcher); }

    // Opens (or raises) the window on a page; ticketIndex >= 0 selects that ticket of ListView3.
    void showPage(int page, int ticketIndex = -1);
    // The main window turns the window back to its first page whenever it is shown itself, and
    // an open window recomputes its figures then.
    void firstPage();

    // The recomputation of every figure, chart and list.
    void FormShow();
    // The charts of the ticket selected in ListView3.
    void refreshTicketDetail();
    // The lists of the analysis page.
    void refreshAnalysis();

    // Statistics channel chosen by rb1..rb4 (AllChannels for "Общая").
    int channel() const;
    Criterion criterion() const;
    // Ticket 1..40 selected in ListView3; 0 when none.
    int selectedTicket() const;
    void selectTicket(int ticket);

    // Controls, named as in the design.
    QLabel* Label1 = nullptr; // heading above the tabs
    QToolButton* SpeedButton1 = nullptr;
    QTabWidget* PageControl1 = nullptr;
    std::array<QLabel*, 4> TabText{}; // text labels of pages 0..3
    BarChart Chart4;                  // rating (sets: plain, best, worst; stacked)
    BarChart Chart2;                  // time per ticket
    BarChart Chart3;                  // answers per ticket (wrong, right)
    QTreeWidget* ListView3 = nullptr;
    BarChart Chart5; // time per question
    BarChart Chart1; // answers per question (right, wrong)
    BarChart Chart6; // themes (wrong %, right %)
    QListWidget* ListBox1 = nullptr;
    QListWidget* ListBox2 = nullptr; // hard (red)
    QListWidget* ListBox3 = nullptr; // easy (green)
    QListWidget* ListBox4 = nullptr; // undetermined (yellow)
    QListWidget* ListBox5 = nullptr; // difficult by the criterion
    QListWidget* ListBox6 = nullptr; // rules to repeat
    QLabel* CountRed = nullptr;
    QLabel* CountYellow = nullptr;
    QLabel* CountGreen = nullptr;
    QLabel* CountHard = nullptr;
    QLabel* NoneRed = nullptr;
    QLabel* NoneYellow = nullptr;
    QLabel* NoneGreen = nullptr;
    QLabel* NoneHard = nullptr;
    QLabel* NoneTheory = nullptr;
    QPushButton* RepeatRed = nullptr;
    QPushButton* RepeatYellow = nullptr;
    QPushButton* RepeatGreen = nullptr;
    QPushButton* RepeatHard = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    LevelPie Chart7;
    LevelPie Chart8;
    LevelPie Chart9;
    ReadinessPage* Readiness = nullptr; // page «Готовность»
    QRadioButton* rb1 = nullptr;
    QRadioButton* rb2 = nullptr;
    QRadioButton* rb3 = nullptr;
    QRadioButton* rb4 = nullptr;
    QPushButton* OkButton = nullptr;
    QPushButton* ChangedButton = nullptr; // «Изменённые вопросы» of the last release update

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The pages and the channel bar, built once (stats_pages.cpp).
    QWidget* ticketChartPage(int tab, const QString& explanation, const BarChart& chart);
    QWidget* buildRatingPage();
    QWidget* buildTimePage();
    QWidget* buildTicketsPage();
    QWidget* buildQuestionsPage();
    QWidget* buildThemesPage();
    QWidget* buildAnalysisPage();
    QWidget* buildResultsPage();
    QWidget* buildChannelBar();

    void ticketBarClicked(int index);
    // A left click on a question's bar learns that question; false for another button.
    bool questionBarLaunched(int index, Qt::MouseButton button);
    // An information message through the prompter.
    void inform(const QString& caption, const QString& text);
    void questionTimeClicked(QBarSet* set, int index, Qt::MouseButton button);
    void questionAnswersClicked(QBarSet* set, int index, Qt::MouseButton button);
    void themeBarClicked(QBarSet* set, int index, Qt::MouseButton button);
    void questionListClicked(QListWidgetItem* item);
    void repeatClicked(int runMode, QListWidget* list);
    void theoryClicked(QListWidgetItem* item);
    void helpClicked();
    void pageChanged(int page);
    void launchStudy(const RunRequest& request);

    AppState& m_app;
    StudyLauncher m_showStudy;
    TicketFigures m_figures; // working values of the last recomputation
};

} // namespace bil
