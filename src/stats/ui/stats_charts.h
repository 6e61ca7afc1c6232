// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChartView>
#include <QColor>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

class QAbstractAxis;
class QAbstractBarSeries;
class QBarSet;
class QCategoryAxis;
class QDateTimeAxis;
class QLabel;
class QLineSeries;
class QListWidget;
class QPieSeries;
class QValueAxis;

namespace bil {

// The colours the statistics charts and lists use (Windows colour names).
namespace ChartColour {
inline const QColor Green(0, 128, 0);
inline const QColor Red(255, 0, 0);
inline const QColor Blue(0, 0, 255);
inline const QColor Navy(0, 0, 128);
inline const QColor Yellow(160, 140, 0);
} // namespace ChartColour

// A chart view that remembers which mouse button went down last: the bar click signals do not
// say which button was used.
class ClickChartView : public QChartView {
    Q_OBJECT
public:
    explicit ClickChartView(QChart* chart, QWidget* parent = nullptr);
    // Reports the bars of this set through barClicked.
    void watch(QBarSet* set);
    Qt::MouseButton lastButton() const { return m_lastButton; }
    // Centred overlay text ("СТАТИСТИКА ОТСУТСТВУЕТ", a pie's percentage).
    QLabel* overlay() const { return m_overlay; }

signals:
    // A bar was pressed and the button released again over this view.
    void barClicked(QBarSet* set, int index, Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    Qt::MouseButton m_lastButton = Qt::LeftButton;
    QBarSet* m_pressedSet = nullptr; // bar under the last press, if any
    int m_pressedIndex = -1;
    QLabel* m_overlay = nullptr;
};

// One chart of bars: the view, its axes and the sets in drawing order.
struct BarChart {
    QChart* chart = nullptr;
    ClickChartView* view = nullptr;
    QAbstractAxis* axisX = nullptr; // names under the bars, or numbers 1..n (NumberAxis)
    QValueAxis* axisY = nullptr;
    QAbstractBarSeries* series = nullptr;
    std::vector<QBarSet*> sets;
    QLabel* legend = nullptr; // set when the chart has a legend
    bool percentAxis = false; // the value axis stays at 0..100
    QLabel* noData() const { return view->overlay(); }
};

// A line through one point per day: the view, its axes and the line.
struct DayChart {
    QChart* chart = nullptr;
    ClickChartView* view = nullptr;
    QDateTimeAxis* axisX = nullptr;
    QValueAxis* axisY = nullptr; // fixed 0..100
    QLineSeries* series = nullptr;
    QLabel* noData() const { return view->overlay(); }
};

// One result pie: two slices and the percentage in the middle.
struct LevelPie {
    QChart* chart = nullptr;
    ClickChartView* view = nullptr;
    QPieSeries* series = nullptr;
    QLabel* percent() const { return view->overlay(); }
};

// What stands under the bars: the numbers 1..Numbers, or else Names.
struct XAxis {
    int Numbers = 0;
    QStringList Names;
};

// The numbers under the bars at one spacing: all of 1..count, the odd ones, or 1 and every
// fifth or tenth.
QStringList NumberLabels(int count, int step);

// Numbers 1..count under the bars, as many as fit uncut at the chart's current width.
QCategoryAxis* NumberAxis(QChart* chart, int count);

// A bar set of one colour, its border a little darker.
QBarSet* MakeSet(const QString& name, const QColor& colour);

// Bars of one chart with the "no data" text over it; value axis fixed 0..100 when asked.
BarChart MakeBarChart(QWidget* parent, const QString& title, const QString& xTitle,
                      const QString& yTitle, QAbstractBarSeries* series, std::vector<QBarSet*> sets,
                      const XAxis& x, bool percentAxis, const QString& noDataText);

// A legend line of coloured squares, in the order given.
QLabel* Legend(const std::vector<std::pair<QString, QColor>>& entries, QWidget* parent);

// The grey "НЕТ" over an empty list; the caller shows it while the list is empty.
QLabel* NoneOverlay(QListWidget* list);

// Replaces a set's values at once (one change notification instead of one per bar).
void SetValues(QBarSet* set, const QList<qreal>& values);

// Fills the chart's sets in order, shows its "no data" text when every bar is zero and, unless
// the value axis is the fixed percentage one, ranges it from 0 to a round number above the
// largest bar.
void ShowBars(const BarChart& chart, const std::vector<QList<qreal>>& values);

// Bars of a colour each on a stacked chart: bar i stands in set setOf[i] alone, the other sets
// hold 0 there; "no data" as for ShowBars.
void ShowColouredBars(const BarChart& chart, const std::vector<double>& values,
                      const std::vector<int>& setOf);

// Percentages over dates, each day's point marked, with the "no data" text over it.
DayChart MakeDayChart(QWidget* parent, const QString& title, const QString& yTitle,
                      const QColor& colour, const QString& noDataText);

// Shows one percentage per date, in date order; the date axis spans them with a day to spare on
// either side, its marks on whole days; "no data" when there is no point.
void ShowDays(const DayChart& chart, const std::vector<std::pair<QDate, qreal>>& points);

// A result pie: "Ваш уровень" in green against "Недостатки" in red, the percentage in its hole.
LevelPie MakeLevelPie(QWidget* parent, const QString& title);

// Shows a level 0..1 as the pie's two slices and its percentage text.
void SetLevelPie(const LevelPie& pie, double value);

} // namespace bil
