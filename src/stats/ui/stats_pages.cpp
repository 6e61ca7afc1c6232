// SPDX-License-Identifier: GPL-3.0-or-later
// The statistics window's pages, built once: their charts, lists and buttons and the handlers
// these are connected to.
#include "stats/ui/stats_window.h"

#include "stats/release_history.h"

#include <QBarSeries>
#include <QBarSet>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedBarSeries>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace bil {

namespace {

using namespace ChartColour;

const QString NoStatistics = QStringLiteral("СТАТИСТИКА ОТСУТСТВУЕТ");
const QString NoRating = QStringLiteral("РЕЙТИНГ ОТСУТСТВУЕТ");

QLabel* TextLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

// A titled list with its count and "Повторить" button under it (either may be left out).
QWidget* ListColumn(const QString& title, QListWidget* list, QLabel* count, QPushButton* button,
                    QWidget* parent) {
    auto* box = new QWidget(parent);
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->addWidget(new QLabel(title, box));
    v->addWidget(list, 1);
    if (count)
        v->addWidget(count);
    if (button)
        v->addWidget(button);
    return box;
}

} // namespace

// A page of an explanation above one chart of the 40 tickets; a bar opens its ticket.
QWidget* TForm5::ticketChartPage(int tab, const QString& explanation, const BarChart& chart) {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    TabText[tab] = TextLabel(explanation, page);
    v->addWidget(TabText[tab]);
    v->addWidget(chart.view, 1);
    if (chart.legend)
        v->addWidget(chart.legend);
    connect(chart.view, &ClickChartView::barClicked, this,
            [this](QBarSet*, int index) { ticketBarClicked(index); });
    return page;
}

QWidget* TForm5::buildRatingPage() {
    // Three stacked sets so that single bars can be green or red.
    Chart4 = MakeBarChart(
        nullptr, QStringLiteral("Рейтинг билетов"), QStringLiteral("Номера билетов"),
        QStringLiteral("Уровень рейтинга %"), new QStackedBarSeries,
        {MakeSet(QStringLiteral("Рейтинг"), Blue), MakeSet(QStringLiteral("Лучший"), Green),
         MakeSet(QStringLiteral("Худший"), Red)},
        XAxis{TicketCount, {}}, true, NoRating);
    return ticketChartPage(
        0,
        QStringLiteral("Рейтинг билетов показывает уровень знаний для каждого билета. Зеленым "
                       "цветом отмечается самый лучший, а красным цветом - самый худший билет. "
                       "Уровень рейтинга оценивается в процентах от показателя самого лучшего "
                       "билета."),
        Chart4);
}

QWidget* TForm5::buildTimePage() {
    Chart2 = MakeBarChart(nullptr, QStringLiteral("Общее время ответа на билеты"),
                          QStringLiteral("Номера билетов"), QStringLiteral("Время в секундах"),
                          new QBarSeries, {MakeSet(QStringLiteral("Время"), Navy)},
                          XAxis{TicketCount, {}}, false, NoStatistics);
    return ticketChartPage(
        1,
        QStringLiteral("Диаграмма показывает затраты времени в секундах на просмотр вопросов в "
                       "билетах. При нажатии на столбики диаграммы левой кнопкой мыши будет "
                       "показано уточнение затрат времени в секундах для выбранного билета. "),
        Chart2);
}

QWidget* TForm5::buildTicketsPage() {
    Chart3 = MakeBarChart(
        nullptr, QStringLiteral("Количество ответов на вопросы билетов"),
        QStringLiteral("Номера билетов"), QStringLiteral("Количество ответов"), new QBarSeries,
        {MakeSet(QStringLiteral("Неправильно"), Red), MakeSet(QStringLiteral("Правильно"), Green)},
        XAxis{TicketCount, {}}, false, NoStatistics);
    Chart3.legend = Legend(
        {{QStringLiteral("Неправильно"), Red}, {QStringLiteral("Правильно"), Green}}, nullptr);
    return ticketChartPage(
        2,
        QStringLiteral("В диаграмме представлено соотношение количества правильных и "
                       "неправильных ответов на вопросы билетов. После нажатия левой кнопки мыши "
                       "на столбике диаграммы будет показано уточнение количества ответов для "
                       "выбранного билета."),
        Chart3);
}

QWidget* TForm5::buildQuestionsPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    TabText[3] = TextLabel(
        QStringLiteral("Диаграммы детализируют статистику по каждому вопросу. После нажатия левой "
                       "кнопки мыши на столбике диаграммы будет показано уточнение количества "
                       "ответов для выбранного вопроса. Номер билета можно изменить выбрав его в "
                       "списке слева."),
        page);
    v->addWidget(TabText[3]);
    auto* h = new QHBoxLayout;
    ListView3 = new QTreeWidget(page);
    ListView3->setColumnCount(1);
    ListView3->setHeaderLabels({QStringLiteral("Список билетов")});
    ListView3->setRootIsDecorated(false);
    ListView3->setFixedWidth(130);
    for (int t = 1; t <= TicketCount; ++t)
        new QTreeWidgetItem(ListView3,
                            {QStringLiteral("Билет №%1").arg(t, 2, 10, QLatin1Char('0'))});
    h->addWidget(ListView3);
    auto* charts = new QVBoxLayout;
    Chart5 = MakeBarChart(page, QStringLiteral("Время ответа на вопросы"),
                          QStringLiteral("Номера вопросов"), QStringLiteral("Время в секундах"),
                          new QBarSeries, {MakeSet(QStringLiteral("Время"), Navy)},
                          XAxis{TicketSize, {}}, false, NoStatistics);
    Chart1 = MakeBarChart(
        page, QStringLiteral("Количество ответов на вопросы билета"),
        QStringLiteral("Номера вопросов"), QStringLiteral("Количество ответов"), new QBarSeries,
        {MakeSet(QStringLiteral("Правильно"), Green), MakeSet(QStringLiteral("Неправильно"), Red)},
        XAxis{TicketSize, {}}, false, NoStatistics);
    Chart1.legend =
        Legend({{QStringLiteral("Неправильно"), Red}, {QStringLiteral("Правильно"), Green}}, page);
    charts->addWidget(Chart5.view, 1);
    charts->addWidget(Chart1.view, 1);
    charts->addWidget(Chart1.legend);
    h->addLayout(charts, 1);
    v->addLayout(h, 1);

    connect(ListView3, &QTreeWidget::itemSelectionChanged, this, &TForm5::refreshTicketDetail);
    connect(ListView3, &QTreeWidget::itemClicked, this, [this] {
        if (selectedTicket() == 0)
            selectTicket(1);
    });
    connect(Chart5.view, &ClickChartView::barClicked, this, &TForm5::questionTimeClicked);
    connect(Chart1.view, &ClickChartView::barClicked, this, &TForm5::questionAnswersClicked);
    return page;
}

QWidget* TForm5::buildThemesPage() {
    auto* page = new QWidget;
    auto* v = new QVBoxLayout(page);
    QStringList names;
    for (int k = 1; k <= ThemeCount; ++k)
        names << ThemeNames(k);
    Chart6 = MakeBarChart(
        page, QStringLiteral("Процент правильных и неправильных ответов на вопросы по темам"),
        QStringLiteral("Названия тем и их номера"), QStringLiteral("Процент ответов"),
        new QBarSeries,
        {MakeSet(QStringLiteral("Неправильно"), Red), MakeSet(QStringLiteral("Правильно"), Green)},
        XAxis{0, names}, true, NoStatistics);
    Chart6.axisX->setLabelsAngle(-90);
    Chart6.legend =
        Legend({{QStringLiteral("Правильно"), Green}, {QStringLiteral("Неправильно"), Red}}, page);
    v->addWidget(Chart6.view, 1);
    v->addWidget(Chart6.legend);
    connect(Chart6.view, &ClickChartView::barClicked, this, &TForm5::themeBarClicked);
    return page;
}

QWidget* TForm5::buildAnalysisPage() {
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);

    ListBox1 = new QListWidget(page);
    ListBox1->addItem(QStringLiteral("По всем"));
    for (int k = 1; k <= ThemeCount; ++k)
        ListBox1->addItem(ThemeNames(k));
    ListBox1->setCurrentRow(0);
    auto* filter = new QWidget(page);
    auto* fv = new QVBoxLayout(filter);
    fv->setContentsMargins(0, 0, 0, 0);
    fv->addWidget(new QLabel(QStringLiteral("Отбирать по теме:"), filter));
    fv->addWidget(ListBox1, 1);
    ChangedButton = new QPushButton(QStringLiteral("Изменённые вопросы"), filter);
    ChangedButton->setToolTip(
        QStringLiteral("Пройти вопросы, изменённые или добавленные в новом выпуске билетов"));
    ChangedButton->setAutoDefault(false);
    fv->addWidget(ChangedButton);
    filter->setFixedWidth(160);
    h->addWidget(filter);

    const auto count = [page](const QColor& colour) {
        auto* label = new QLabel(QStringLiteral("Всего: 0"), page);
        label->setStyleSheet(QStringLiteral("color: %1;").arg(colour.name()));
        return label;
    };
    const auto repeat = [page](const QString& hint) {
        auto* b = new QPushButton(QStringLiteral("Повторить"), page);
        b->setToolTip(hint);
        // A run starts only when asked for: Return never becomes "Повторить" by default.
        b->setAutoDefault(false);
        return b;
    };

    // The lists show the questions in the order the analysis gives them (no sorting).
    ListBox2 = new QListWidget(page);
    ListBox4 = new QListWidget(page);
    ListBox3 = new QListWidget(page);
    ListBox5 = new QListWidget(page);
    ListBox6 = new QListWidget(page);
    CountRed = count(Red);
    CountYellow = count(Yellow);
    CountGreen = count(Green);
    CountHard = count(Qt::black);
    NoneRed = NoneOverlay(ListBox2);
    NoneYellow = NoneOverlay(ListBox4);
    NoneGreen = NoneOverlay(ListBox3);
    NoneHard = NoneOverlay(ListBox5);
    NoneTheory = NoneOverlay(ListBox6);
    RepeatRed = repeat(QStringLiteral("Повторить вопросы, отмеченные красным"));
    RepeatYellow = repeat(QStringLiteral("Повторить вопросы, отмеченные желтым"));
    RepeatGreen = repeat(QStringLiteral("Повторить вопросы, отмеченные зеленым"));
    RepeatHard = repeat(QStringLiteral("Повторить трудные вопросы"));

    auto* lights = new QGroupBox(QStringLiteral("Анализ светофоров, отмеченных Вами"), page);
    auto* lh = new QHBoxLayout(lights);
    lh->addWidget(ListColumn(QStringLiteral("Сложные:"), ListBox2, CountRed, RepeatRed, lights));
    lh->addWidget(
        ListColumn(QStringLiteral("Не отмечены:"), ListBox4, CountYellow, RepeatYellow, lights));
    lh->addWidget(ListColumn(QStringLiteral("Легкие:"), ListBox3, CountGreen, RepeatGreen, lights));
    h->addWidget(lights, 3);

    auto* informer = new QGroupBox(QStringLiteral("Анализ статинформера"), page);
    auto* iv = new QVBoxLayout(informer);
    RadioButton1 = new QRadioButton(QStringLiteral("Есть затруднения"), informer);
    RadioButton1->setToolTip(
        QStringLiteral("Отобрать вопросы, в которых ошибок больше правильных ответов"));
    RadioButton2 = new QRadioButton(QStringLiteral("Сложные вопросы"), informer);
    RadioButton2->setToolTip(
        QStringLiteral("Отобрать вопросы, в которых ошибок не меньше правильных ответов"));
    RadioButton3 = new QRadioButton(QStringLiteral("Вопросы с ошибкой"), informer);
    RadioButton3->setToolTip(QStringLiteral("Отобрать вопросы, в которых были допушены ошибки"));
    RadioButton1->setChecked(true);
    auto* criteria = new QButtonGroup(this);
    criteria->addButton(RadioButton1, int(Criterion::Trouble));
    criteria->addButton(RadioButton2, int(Criterion::Hard));
    criteria->addButton(RadioButton3, int(Criterion::WithError));
    iv->addWidget(RadioButton1);
    iv->addWidget(RadioButton2);
    iv->addWidget(RadioButton3);
    auto* ih = new QHBoxLayout;
    ih->addWidget(
        ListColumn(QStringLiteral("Трудные вопросы"), ListBox5, CountHard, RepeatHard, informer));
    ih->addWidget(
        ListColumn(QStringLiteral("Повторите теорию"), ListBox6, nullptr, nullptr, informer));
    iv->addLayout(ih, 1);
    h->addWidget(informer, 2);

    connect(criteria, &QButtonGroup::idClicked, this, [this] { FormShow(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { refreshAnalysis(); });
    for (QListWidget* list : {ListBox2, ListBox3, ListBox4, ListBox5})
        connect(list, &QListWidget::itemClicked, this, &TForm5::questionListClicked);
    connect(ListBox6, &QListWidget::itemClicked, this, &TForm5::theoryClicked);
    connect(RepeatRed, &QPushButton::clicked, this, [this] { repeatClicked(3, ListBox2); });
    connect(RepeatYellow, &QPushButton::clicked, this, [this] { repeatClicked(4, ListBox4); });
    connect(RepeatGreen, &QPushButton::clicked, this, [this] { repeatClicked(5, ListBox3); });
    connect(RepeatHard, &QPushButton::clicked, this, [this] { repeatClicked(6, ListBox5); });
    connect(ChangedButton, &QPushButton::clicked, this, [this] {
        const std::vector<int> changed =
            ChangedQuestions(m_app.Releases, m_app.Prints.setPrint(m_app.Db));
        if (!changed.empty())
            launchStudy(RunRequest::changedQuestions(changed));
    });
    return page;
}

QWidget* TForm5::buildResultsPage() {
    auto* page = new QWidget;
    auto* h = new QHBoxLayout(page);
    Chart7 = MakeLevelPie(page, QStringLiteral("ОБЩИЙ УРОВЕНЬ ПОДГОТОВКИ"));
    Chart8 = MakeLevelPie(page, QStringLiteral("Качество<br>Правильность"));
    Chart9 = MakeLevelPie(page, QStringLiteral("Уверенность<br>Скорость"));
    h->addWidget(Chart7.view, 1);
    h->addWidget(Chart8.view, 1);
    h->addWidget(Chart9.view, 1);
    return page;
}

QWidget* TForm5::buildChannelBar() {
    auto* bar = new QWidget(this);
    auto* h = new QHBoxLayout(bar);
    h->setContentsMargins(0, 0, 0, 0);
    h->addWidget(new QLabel(QStringLiteral("Показывать статистику только   для   режимов:"), bar));
    rb1 = new QRadioButton(QStringLiteral("Общая"), bar);
    rb1->setToolTip(QStringLiteral("Показывать общую статистику"));
    rb2 = new QRadioButton(QStringLiteral("Обучение"), bar);
    rb2->setToolTip(QStringLiteral("Показывать статистику по режиму обучения"));
    rb3 = new QRadioButton(QStringLiteral("Экзамен"), bar);
    rb3->setToolTip(QStringLiteral("Показывать статистику по режиму экзамена"));
    rb4 = new QRadioButton(QStringLiteral("Тренировка"), bar);
    rb4->setToolTip(QStringLiteral("Показывать статистику по режиму тренировки"));
    rb1->setChecked(true);
    auto* group = new QButtonGroup(this);
    int id = 0;
    for (QRadioButton* rb : {rb1, rb2, rb3, rb4}) {
        group->addButton(rb, id++);
        h->addWidget(rb);
    }
    h->addStretch(1);
    OkButton = new QPushButton(QStringLiteral("OK"), bar);
    OkButton->setDefault(true);
    h->addWidget(OkButton);
    connect(group, &QButtonGroup::idClicked, this, [this] { FormShow(); });
    connect(OkButton, &QPushButton::clicked, this, &QDialog::close);
    return bar;
}

} // namespace bil
