// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/ui/stats_charts.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QLabel>
#include <QPieSeries>
#include <QPieSlice>
#include <QStackedBarSeries>
#include <QTest>
#include <QValueAxis>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;

namespace {

BarChart NumberedChart(int count, QAbstractBarSeries* series, int sets, bool percent) {
    std::vector<QBarSet*> made;
    for (int s = 0; s < sets; ++s)
        made.push_back(MakeSet(QStringLiteral("set %1").arg(s), ChartColour::Red));
    return MakeBarChart(nullptr, QStringLiteral("t"), QStringLiteral("x"), QStringLiteral("y"),
                        series, made, XAxis{count, {}}, percent, QStringLiteral("НЕТ ДАННЫХ"));
}

QList<qreal> Values(const QBarSet* set) {
    QList<qreal> values;
    for (int i = 0; i < set->count(); ++i)
        values << set->at(i);
    return values;
}

} // namespace

// A narrow chart shows fewer numbers rather than cut ones; each stays under its own bar.
TEST(StatsCharts, NumberAxisThinsOutAsTheChartNarrows) {
    const BarChart c = NumberedChart(40, new QBarSeries, 1, false);
    std::unique_ptr<QWidget> owner(c.view);
    auto* axis = qobject_cast<QCategoryAxis*>(c.axisX);
    ASSERT_NE(axis, nullptr);
    int previous = 41;
    for (const int width : {1400, 700, 420, 260}) {
        c.view->resize(width, 300);
        c.view->show();
        QCoreApplication::processEvents();
        const QStringList labels = axis->categoriesLabels();
        SCOPED_TRACE(width);
        ASSERT_FALSE(labels.isEmpty());
        EXPECT_EQ(labels.first(), QStringLiteral("1"));
        EXPECT_LE(labels.size(), previous);
        for (const QString& label : labels)
            EXPECT_EQ(axis->endValue(label), label.toInt() - 1);
        previous = int(labels.size());
    }
    EXPECT_LT(previous, 40); // the narrowest no longer has room for all
    EXPECT_EQ(NumberLabels(40, 1).size(), 40);
    EXPECT_EQ(NumberLabels(40, 2).last(), QStringLiteral("39"));
    EXPECT_EQ(NumberLabels(40, 5),
              QStringList({"1", "5", "10", "15", "20", "25", "30", "35", "40"}));
}

// The "no data" text follows the bars, the value axis grows with them unless it is the fixed
// percentage one, and a shorter list of values replaces a longer one whole.
TEST(StatsCharts, ShowBarsFillsSetsRangesAxisAndShowsNoData) {
    const BarChart counts = NumberedChart(3, new QBarSeries, 2, false);
    std::unique_ptr<QWidget> owner(counts.view);
    ShowBars(counts, {{0, 0, 0}, {0, 0, 0}});
    EXPECT_FALSE(counts.noData()->isHidden());
    EXPECT_EQ(counts.noData()->text(), QStringLiteral("НЕТ ДАННЫХ"));
    EXPECT_EQ(counts.axisY->min(), 0);
    EXPECT_GE(counts.axisY->max(), 10);

    ShowBars(counts, {{1, 0, 2}, {0, 37, 0}});
    EXPECT_TRUE(counts.noData()->isHidden());
    EXPECT_EQ(Values(counts.sets[0]), QList<qreal>({1, 0, 2}));
    EXPECT_EQ(Values(counts.sets[1]), QList<qreal>({0, 37, 0}));
    EXPECT_EQ(counts.axisY->min(), 0);
    EXPECT_GE(counts.axisY->max(), 37);
    EXPECT_LE(counts.axisY->max(), 50);

    ShowBars(counts, {{5}, {}});
    EXPECT_EQ(Values(counts.sets[0]), QList<qreal>({5}));
    EXPECT_EQ(counts.sets[1]->count(), 0);

    const BarChart percent = NumberedChart(2, new QBarSeries, 1, true);
    std::unique_ptr<QWidget> owner2(percent.view);
    ShowBars(percent, {{12.5, 0}});
    EXPECT_TRUE(percent.noData()->isHidden());
    EXPECT_EQ(percent.axisY->max(), 100);
}

// Each stacked bar stands in the set of its colour alone; no bars at all shows "no data".
TEST(StatsCharts, ColouredBarsPutEachBarInOneSet) {
    const BarChart c = NumberedChart(4, new QStackedBarSeries, 3, true);
    std::unique_ptr<QWidget> owner(c.view);
    ShowColouredBars(c, {50, 100, 20, 80}, {0, 1, 2, 0});
    EXPECT_EQ(Values(c.sets[0]), QList<qreal>({50, 0, 0, 80}));
    EXPECT_EQ(Values(c.sets[1]), QList<qreal>({0, 100, 0, 0}));
    EXPECT_EQ(Values(c.sets[2]), QList<qreal>({0, 0, 20, 0}));
    EXPECT_TRUE(c.noData()->isHidden());

    ShowColouredBars(c, {}, {});
    for (const QBarSet* s : c.sets)
        EXPECT_EQ(s->count(), 0);
    EXPECT_FALSE(c.noData()->isHidden());
}

// The pie's slices and percentage follow the level; an empty slice carries no label.
TEST(StatsCharts, LevelPieShowsLevelAndShortfall) {
    const LevelPie pie = MakeLevelPie(nullptr, QStringLiteral("Уровень"));
    std::unique_ptr<QWidget> owner(pie.view);
    SetLevelPie(pie, 0.8);
    EXPECT_EQ(pie.percent()->text(), QStringLiteral("80%"));
    ASSERT_EQ(pie.series->count(), 2);
    EXPECT_DOUBLE_EQ(pie.series->slices()[0]->value(), 0.8);
    EXPECT_NEAR(pie.series->slices()[1]->value(), 0.2, 1e-12);
    SetLevelPie(pie, 1.0);
    EXPECT_TRUE(pie.series->slices()[0]->isLabelVisible());
    EXPECT_FALSE(pie.series->slices()[1]->isLabelVisible());
}
