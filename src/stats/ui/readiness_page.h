// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/run_request.h"
#include "stats/ui/stats_charts.h"

#include <QWidget>

#include <vector>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace bil {

// The statistics window's page «Готовность»: the chance to pass over the days with answers, the
// questions falling due in the next two weeks and the questions worth most to the chance, from
// which a run starts. Everything comes from the answer journal at the clock's time.
class ReadinessPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int DueDays = 14;
    static constexpr int ListSize = 20;

    ReadinessPage(AppState& app, StudyLauncher launch, QWidget* parent = nullptr);

    // Recomputes the chance, the charts and the list.
    void refresh();
    // Learns the listed questions, from list item startItem on.
    void learnListed(int startItem = 0);
    // Question numbers of the list, best first.
    const std::vector<int>& listed() const { return m_listed; }

    QLabel* ChanceText = nullptr; // the chance today in words
    DayChart ChanceChart;         // the chance at the end of each day with answers
    BarChart DueChart;            // questions falling due on each of the next days
    QListWidget* ValuableList = nullptr;
    QLabel* NoneValuable = nullptr;
    QPushButton* LearnButton = nullptr;

private:
    void itemClicked(QListWidgetItem* item);

    AppState& m_app;
    StudyLauncher m_launch;
    std::vector<int> m_listed;
};

} // namespace bil
