// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/ui/stats_charts.h"

#include "stats/statistics.h"

#include <QAbstractBarSeries>
#include <QBarCategoryAxis>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QDateTimeAxis>
#include <QFontMetrics>
#include <QLabel>
#include <QLineSeries>
#include <QListWidget>
#include <QMouseEvent>
#include <QPieSeries>
#include <QPieSlice>
#include <QValueAxis>

#include <algorithm>

namespace bil {

namespace {

qreal Largest(const QList<qreal>& values) {
    qreal m = 0;
    for (qreal v : values)
        m = std::max(m, v);
    return m;
}

} // namespace

// --- ClickChartView ----------------------------------------------------------------------------

ClickChartView::ClickChartView(QChart* chart, QWidget* parent) : QChartView(chart, parent) {
    m_overlay = new QLabel(this);
    m_overlay->setAlignment(Qt::AlignCenter);
    m_overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_overlay->hide();
}

void ClickChartView::watch(QBarSet* set) {
    connect(set, &QBarSet::pressed, this, [this, set](int index) {
        m_pressedSet = set;
        m_pressedIndex = index;
    });
}

void ClickChartView::mousePressEvent(QMouseEvent* event) {
    m_lastButton = event->button();
    m_pressedSet = nullptr;
    QChartView::mousePressEvent(event);
}

void ClickChartView::mouseReleaseEvent(QMouseEvent* event) {
    QChartView::mouseReleaseEvent(event);
    // The bars report presses only; a click is a press on a bar released over the chart.
    QBarSet* set = std::exchange(m_pressedSet, nullptr);
    if (set && event->button() == m_lastButton && rect().contains(event->position().toPoint()))
        emit barClicked(set, m_pressedIndex, m_lastButton);
}

void ClickChartView::resizeEvent(QResizeEvent* event) {
    QChartView::resizeEvent(event);
    m_overlay->setGeometry(rect());
}

// --- Bar charts --------------------------------------------------------------------------------

QStringList NumberLabels(int count, int step) {
    QStringList labels;
    for (int n = 1; n <= count; ++n)
        if (step == 1 || (step == 2 ? n % 2 == 1 : n == 1 || n % step == 0))
            labels << QString::number(n);
    return labels;
}

// The chart library shortens a label to "..." once its share of the axis is too narrow, which
// 40 ticket numbers are in a small window. So every number is shown when there is room, else 1
// and every second, fifth or tenth.
QCategoryAxis* NumberAxis(QChart* chart, int count) {
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setRange(-0.5, count - 0.5);
    const auto relabel = [axis, count](const QRectF& plot) {
        const QFontMetrics fm(axis->labelsFont());
        const int widest = fm.horizontalAdvance(QString::number(count)) + 2;
        QStringList wanted;
        for (const int step : {1, 2, 5, 10}) {
            wanted = NumberLabels(count, step);
            // The library gives each label the axis width over labels + 1, less 5 px each side.
            if (plot.width() / (wanted.size() + 1) - 12 >= widest)
                break;
        }
        if (axis->categoriesLabels() == wanted)
            return;
        for (const QString& label : axis->categoriesLabels())
            axis->remove(label);
        for (const QString& label : wanted)
            axis->append(label, label.toInt() - 1);
    };
    relabel(QRectF());
    QObject::connect(chart, &QChart::plotAreaChanged, axis, relabel);
    return axis;
}

QBarSet* MakeSet(const QString& name, const QColor& colour) {
    auto* set = new QBarSet(name);
    set->setColor(colour);
    set->setBorderColor(colour.darker(130));
    return set;
}

BarChart MakeBarChart(QWidget* parent, const QString& title, const QString& xTitle,
                      const QString& yTitle, QAbstractBarSeries* series, std::vector<QBarSet*> sets,
                      const XAxis& x, bool percentAxis, const QString& noDataText) {
    BarChart c;
    c.chart = new QChart;
    c.chart->setTitle(title);
    c.chart->legend()->hide();
    c.chart->setAnimationOptions(QChart::NoAnimation);
    c.chart->setMargins(QMargins(4, 4, 4, 4));
    c.series = series;
    c.sets = std::move(sets);
    c.percentAxis = percentAxis;
    for (QBarSet* s : c.sets)
        series->append(s);
    c.chart->addSeries(series);
    if (x.Numbers > 0) {
        c.axisX = NumberAxis(c.chart, x.Numbers);
    } else {
        auto* names = new QBarCategoryAxis;
        names->append(x.Names);
        c.axisX = names;
    }
    c.axisX->setTitleText(xTitle);
    c.axisY = new QValueAxis;
    c.axisY->setTitleText(yTitle);
    c.axisY->setLabelFormat(QStringLiteral("%g"));
    if (percentAxis) {
        c.axisY->setRange(0, 100);
        c.axisY->setTickCount(11);
    } else {
        c.axisY->setRange(0, 10);
    }
    c.chart->addAxis(c.axisX, Qt::AlignBottom);
    c.chart->addAxis(c.axisY, Qt::AlignLeft);
    series->attachAxis(c.axisX);
    series->attachAxis(c.axisY);
    c.view = new ClickChartView(c.chart, parent);
    for (QBarSet* s : c.sets)
        c.view->watch(s);
    c.view->setRenderHint(QPainter::Antialiasing, false);
    c.noData()->setText(noDataText);
    c.noData()->setStyleSheet(
        QStringLiteral("color: #c00000; font-weight: bold; font-size: 16px;"));
    return c;
}

QLabel* Legend(const std::vector<std::pair<QString, QColor>>& entries, QWidget* parent) {
    QString html;
    for (const auto& [text, colour] : entries) {
        if (!html.isEmpty())
            html += QStringLiteral("&nbsp;&nbsp;&nbsp;");
        html += QStringLiteral("<span style=\"color:%1\">&#9632;</span>&nbsp;%2")
                    .arg(colour.name(), text.toHtmlEscaped());
    }
    auto* label = new QLabel(html, parent);
    label->setTextFormat(Qt::RichText);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel* NoneOverlay(QListWidget* list) {
    auto* none = new QLabel(QStringLiteral("НЕТ"), list->viewport());
    none->setAlignment(Qt::AlignCenter);
    none->setAttribute(Qt::WA_TransparentForMouseEvents);
    none->setStyleSheet(QStringLiteral("color: #808080; font-weight: bold;"));
    none->setGeometry(0, 0, 200, 60);
    return none;
}

void SetValues(QBarSet* set, const QList<qreal>& values) {
    if (set->count() == values.size()) {
        for (int i = 0; i < values.size(); ++i)
            if (set->at(i) != values[i])
                set->replace(i, values[i]);
        return;
    }
    set->remove(0, set->count());
    set->append(values);
}

void ShowBars(const BarChart& chart, const std::vector<QList<qreal>>& values) {
    qreal largest = 0;
    for (std::size_t s = 0; s < values.size() && s < chart.sets.size(); ++s) {
        SetValues(chart.sets[s], values[s]);
        largest = std::max(largest, Largest(values[s]));
    }
    if (!chart.percentAxis) {
        chart.axisY->setRange(0, largest > 0 ? largest : 10);
        chart.axisY->applyNiceNumbers();
    }
    chart.noData()->setVisible(largest == 0);
}

void ShowColouredBars(const BarChart& chart, const std::vector<double>& values,
                      const std::vector<int>& setOf) {
    std::vector<QList<qreal>> sets(chart.sets.size());
    for (std::size_t i = 0; i < values.size() && i < setOf.size(); ++i)
        for (std::size_t s = 0; s < sets.size(); ++s)
            sets[s] << (int(s) == setOf[i] ? values[i] : 0.0);
    ShowBars(chart, sets);
}

// --- Points over days ------------------------------------------------------------------------

DayChart MakeDayChart(QWidget* parent, const QString& title, const QString& yTitle,
                      const QColor& colour, const QString& noDataText) {
    DayChart c;
    c.chart = new QChart;
    c.chart->setTitle(title);
    c.chart->legend()->hide();
    c.chart->setAnimationOptions(QChart::NoAnimation);
    c.chart->setMargins(QMargins(4, 4, 4, 4));
    c.series = new QLineSeries;
    QPen pen(colour);
    pen.setWidth(2);
    c.series->setPen(pen);
    c.series->setPointsVisible(true);
    c.series->setMarkerSize(6);
    c.chart->addSeries(c.series);
    c.axisX = new QDateTimeAxis;
    c.axisX->setFormat(QStringLiteral("dd.MM"));
    c.axisY = new QValueAxis;
    c.axisY->setTitleText(yTitle);
    c.axisY->setLabelFormat(QStringLiteral("%g"));
    c.axisY->setRange(0, 100);
    c.axisY->setTickCount(6); // a line's chart is short: every 20 %
    c.chart->addAxis(c.axisX, Qt::AlignBottom);
    c.chart->addAxis(c.axisY, Qt::AlignLeft);
    c.series->attachAxis(c.axisX);
    c.series->attachAxis(c.axisY);
    c.view = new ClickChartView(c.chart, parent);
    c.view->setRenderHint(QPainter::Antialiasing);
    c.noData()->setText(noDataText);
    c.noData()->setStyleSheet(
        QStringLiteral("color: #c00000; font-weight: bold; font-size: 16px;"));
    ShowDays(c, {});
    return c;
}

void ShowDays(const DayChart& chart, const std::vector<std::pair<QDate, qreal>>& points) {
    QList<QPointF> line;
    for (const auto& [date, value] : points)
        line << QPointF(qreal(date.startOfDay().toMSecsSinceEpoch()), value);
    chart.series->replace(line);
    const QDate today = QDate::currentDate();
    const QDate first = (points.empty() ? today : points.front().first).addDays(-1);
    const QDate last = (points.empty() ? today : points.back().first).addDays(1);
    // Marks every step days from the first, with at most eight marks: they fall on midnights, so
    // each date stands under its own point.
    constexpr int MostMarks = 8;
    const int span = int(first.daysTo(last));
    const int step = (span + MostMarks - 2) / (MostMarks - 1);
    const int marks = (span + step - 1) / step;
    chart.axisX->setRange(first.startOfDay(), first.addDays(marks * step).startOfDay());
    chart.axisX->setTickCount(marks + 1);
    chart.noData()->setVisible(points.empty());
}

// --- Result pies -------------------------------------------------------------------------------

LevelPie MakeLevelPie(QWidget* parent, const QString& title) {
    LevelPie pie;
    pie.chart = new QChart;
    pie.chart->setTitle(title);
    pie.chart->legend()->hide();
    pie.chart->setAnimationOptions(QChart::NoAnimation);
    pie.series = new QPieSeries;
    pie.series->setHoleSize(0.45);
    pie.series->setPieSize(0.75);
    QPieSlice* level = pie.series->append(QStringLiteral("Ваш уровень"), 0);
    level->setColor(ChartColour::Green);
    QPieSlice* rest = pie.series->append(QStringLiteral("Недостатки"), 1);
    rest->setColor(ChartColour::Red);
    pie.chart->addSeries(pie.series);
    pie.view = new ClickChartView(pie.chart, parent);
    pie.view->setRenderHint(QPainter::Antialiasing);
    pie.percent()->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 22px;"));
    pie.percent()->show();
    return pie;
}

void SetLevelPie(const LevelPie& pie, double value) {
    const QList<QPieSlice*> slices = pie.series->slices();
    slices[0]->setValue(value);
    slices[1]->setValue(1.0 - value);
    for (QPieSlice* s : slices)
        s->setLabelVisible(s->value() > 0);
    pie.percent()->setText(PercentLabel(value));
}

} // namespace bil
