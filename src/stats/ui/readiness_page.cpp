// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/ui/readiness_page.h"

#include "app/platform.h"
#include "app/readiness_commands.h"
#include "stats/answer_journal.h"
#include "stats/readiness.h"
#include "stats/release_history.h"
#include "stats/statistics.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QTimeZone>
#include <QVBoxLayout>

namespace bil {

namespace {

const QString NoAnswers = QStringLiteral("ОТВЕТОВ ПОКА НЕТ");

// What knowing a question adds to the chance, in percent: "+0,12%"; "<0,01%" for less (one
// question among 800 rarely adds more than a few tenths).
QString GainText(double gain) {
    const double points = gain * 100.0;
    if (points < 0.005)
        return QStringLiteral("<0,01%");
    return u'+' + QLocale(QLocale::Russian).toString(points, 'f', 2) + u'%';
}

} // namespace

ReadinessPage::ReadinessPage(AppState& app, StudyLauncher launch, QWidget* parent)
    : QWidget(parent), m_app(app), m_launch(std::move(launch)) {
    auto* h = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    ChanceText = new QLabel(this);
    ChanceText->setWordWrap(true);
    left->addWidget(ChanceText);
    ChanceChart = MakeDayChart(this, QStringLiteral("Шанс сдать экзамен по дням занятий"),
                               QStringLiteral("Шанс сдать %"), ChartColour::Blue, NoAnswers);
    left->addWidget(ChanceChart.view, 1);
    DueChart =
        MakeBarChart(this, QStringLiteral("Вопросы к повторению на ближайшие дни"),
                     QStringLiteral("Числа месяца"), QStringLiteral("Количество вопросов"),
                     new QBarSeries, {MakeSet(QStringLiteral("К повторению"), ChartColour::Navy)},
                     XAxis{0, QStringList()}, false, NoAnswers);
    left->addWidget(DueChart.view, 1);
    h->addLayout(left, 1);

    auto* right = new QWidget(this);
    auto* v = new QVBoxLayout(right);
    v->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(
        QStringLiteral("Вопросы, знание которых больше всего поднимет шанс сдать экзамен:"), right);
    caption->setWordWrap(true);
    v->addWidget(caption);
    ValuableList = new QListWidget(right);
    // One line per question, its text cut at the list's edge; the whole text on hovering.
    ValuableList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ValuableList->setTextElideMode(Qt::ElideRight);
    ValuableList->setWordWrap(false);
    v->addWidget(ValuableList, 1);
    NoneValuable = NoneOverlay(ValuableList);
    LearnButton = new QPushButton(QStringLiteral("Учить эти вопросы"), right);
    LearnButton->setToolTip(QStringLiteral("Пройти все вопросы списка в режиме обучения"));
    // A run starts only when asked for: Return never becomes this button by default.
    LearnButton->setAutoDefault(false);
    v->addWidget(LearnButton);
    right->setFixedWidth(330);
    h->addWidget(right);

    connect(ValuableList, &QListWidget::itemClicked, this, &ReadinessPage::itemClicked);
    connect(LearnButton, &QPushButton::clicked, this, [this] { learnListed(0); });
}

void ReadinessPage::refresh() {
    const QDateTime nowUtc = ClockOf(m_app.services).nowUtc();
    const int64_t now = nowUtc.toSecsSinceEpoch();
    const int offset = QTimeZone::systemTimeZone().offsetFromUtc(nowUtc);
    const Fingerprint set = m_app.Prints.setPrint(m_app.Db);
    // Without readable questions there is no set: its answers would not be told apart. Answers
    // given under earlier releases count for their questions at today's numbers.
    const std::vector<JournalEntry> entries =
        set != 0 ? InRelease(RecordedAnswers(m_app), set, m_app.Releases)
                 : std::vector<JournalEntry>{};

    const std::vector<DayChance> days = ChanceByDay(entries, set, now, offset);
    std::vector<std::pair<QDate, qreal>> points;
    for (const DayChance& d : days)
        points.emplace_back(QDate(1970, 1, 1).addDays(d.Day), d.Chance * 100.0);
    ShowDays(ChanceChart, points);

    const MemoryStates states = ReplayJournal(entries, set);
    const std::vector<int> due = DueByDay(states, now, offset, DueDays);
    QList<qreal> counts;
    QStringList dates;
    const QDate today = QDate(1970, 1, 1).addDays(LocalDay(now, offset));
    for (int d = 0; d < DueDays; ++d) {
        counts << qreal(due[size_t(d)]);
        dates << QString::number(today.addDays(d).day()); // dates would not fit under the bars
    }
    auto* axis = static_cast<QBarCategoryAxis*>(DueChart.axisX);
    if (axis->categories() != dates)
        axis->setCategories(dates);
    ShowBars(DueChart, {counts});
    // Nothing due yet is not a lack of answers.
    DueChart.noData()->setVisible(days.empty());

    const AnswerChances p = RecallProbabilities(states, now);
    const std::array<double, QuestionCount> gains = ChanceGains(p);
    m_listed = days.empty() ? std::vector<int>{} : LargestGains(gains, ListSize);
    ValuableList->clear();
    for (int n : m_listed) {
        // The tag, the gain and the start of the text on one line; the whole text on hovering.
        const QString gain = GainText(gains[size_t(n - 1)]);
        QString line = QuestionTag(n) + QStringLiteral("  ") + gain;
        QString tip = QStringLiteral("Знание этого вопроса добавит к шансу сдать %1.").arg(gain);
        if (const Result<TQuestion> q = m_app.Db.LoadQuestionText(n)) {
            line += QStringLiteral("  ") + q.value().Text.simplified();
            tip = q.value().Text.simplified() + u'\n' + tip;
        }
        new QListWidgetItem(line, ValuableList);
        ValuableList->item(ValuableList->count() - 1)->setToolTip(tip);
    }
    NoneValuable->setVisible(m_listed.empty());
    LearnButton->setEnabled(!m_listed.empty());

    if (days.empty()) {
        ChanceText->setText(QStringLiteral("Ответов пока нет. Шанс сдать экзамен появится здесь, "
                                           "когда Вы начнете отвечать на вопросы."));
        return;
    }
    QString text = QStringLiteral("Шанс сдать экзамен сегодня: %1. Он считается по каждому "
                                  "Вашему ответу: как быстро забывается каждый вопрос и как "
                                  "экзамен выбирает билеты.")
                       .arg(ChancePercent(PassChance(p)));
    if (m_listed.empty())
        text += QStringLiteral(" Пока ни один вопрос в отдельности не поднимет шанс: "
                               "пройдите все билеты хотя бы по разу.");
    ChanceText->setText(text);
}

void ReadinessPage::learnListed(int startItem) {
    if (m_listed.empty() || !m_launch)
        return;
    m_launch(RunRequest::questionList(
        RunType::StatisticsList, m_listed,
        StudyAppCaption + QStringLiteral(" - Вопросы, которые больше всего поднимут шанс сдать"),
        startItem));
}

void ReadinessPage::itemClicked(QListWidgetItem* item) {
    // A click beside the items (or on a stale one) starts nothing.
    const int row = item ? ValuableList->row(item) : -1;
    if (row >= 0 && row < int(m_listed.size()))
        learnListed(row);
}

} // namespace bil
