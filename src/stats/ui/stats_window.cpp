// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/ui/stats_window.h"

#include "app/platform.h"
#include "help/help_topics.h"
#include "help/open_help.h"
#include "stats/release_history.h"
#include "stats/ui/readiness_page.h"

#include <QBarSet>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace bil {

// --- Construction ------------------------------------------------------------------------------

TForm5::TForm5(AppState& app, QWidget* parent) : QDialog(parent), m_app(app) {
    setWindowTitle(QStringLiteral("Статистика Билетория DER UZIRI"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);

    auto* root = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    Label1 = new QLabel(QStringLiteral("Выберите вид и тип интересующей Вас статистики"), this);
    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setText(QStringLiteral("?"));
    SpeedButton1->setToolTip(QStringLiteral("Справка"));
    top->addWidget(Label1, 1);
    top->addWidget(SpeedButton1);
    root->addLayout(top);

    PageControl1 = new QTabWidget(this);
    PageControl1->addTab(buildRatingPage(), QStringLiteral("Рейтинг"));
    PageControl1->addTab(buildTimePage(), QStringLiteral("Время"));
    PageControl1->addTab(buildTicketsPage(), QStringLiteral("Билеты"));
    PageControl1->addTab(buildQuestionsPage(), QStringLiteral("Вопросы"));
    PageControl1->addTab(buildThemesPage(), QStringLiteral("Темы"));
    PageControl1->addTab(buildAnalysisPage(), QStringLiteral("Анализ"));
    PageControl1->addTab(buildResultsPage(), QStringLiteral("Результаты"));
    Readiness = new ReadinessPage(
        m_app, [this](const RunRequest& request) { launchStudy(request); }, PageControl1);
    PageControl1->addTab(Readiness, QStringLiteral("Готовность"));
    root->addWidget(PageControl1, 1);
    root->addWidget(buildChannelBar());

    connect(SpeedButton1, &QToolButton::clicked, this, &TForm5::helpClicked);
    connect(PageControl1, &QTabWidget::currentChanged, this, &TForm5::pageChanged);

    setFixedSize(920, 660);
}

TForm5::~TForm5() = default;

// --- Selection state ---------------------------------------------------------------------------

int TForm5::channel() const {
    if (rb2->isChecked())
        return ChannelLearning;
    if (rb3->isChecked())
        return ChannelExam;
    if (rb4->isChecked())
        return ChannelTraining;
    return AllChannels;
}

Criterion TForm5::criterion() const {
    if (RadioButton2->isChecked())
        return Criterion::Hard;
    if (RadioButton3->isChecked())
        return Criterion::WithError;
    return Criterion::Trouble;
}

int TForm5::selectedTicket() const {
    const QList<QTreeWidgetItem*> items = ListView3->selectedItems();
    if (items.isEmpty())
        return 0;
    return ListView3->indexOfTopLevelItem(items.first()) + 1;
}

void TForm5::selectTicket(int ticket) {
    QTreeWidgetItem* item = ListView3->topLevelItem(ticket - 1);
    if (!item)
        return;
    ListView3->setCurrentItem(item);
    item->setSelected(true);
}

// --- Showing -----------------------------------------------------------------------------------

void TForm5::showPage(int page, int ticketIndex) {
    if (page >= 0 && page < PageControl1->count())
        PageControl1->setCurrentIndex(page);
    if (ticketIndex >= 0)
        selectTicket(ticketIndex + 1);
    if (isVisible()) {
        FormShow();
    } else {
        show();
    }
    raise();
    activateWindow();
}

void TForm5::firstPage() {
    PageControl1->setCurrentIndex(0);
    // The main window refreshes after runs and resets: an open window must not keep old figures.
    if (isVisible())
        FormShow();
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // a restore, not a show
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TForm5::pageChanged(int page) {
    if (page == 3 && selectedTicket() == 0)
        selectTicket(1);
}

// --- Recomputation -----------------------------------------------------------------------------

void TForm5::FormShow() {
    const int ch = channel();
    m_figures = ComputeTicketFigures(m_app.Stats, m_app.Themes, ch);
    const TicketFigures& f = m_figures;

    QList<qreal> seconds, wrong, right;
    for (const Figures& t : f.Ticket) {
        seconds << qreal(t.Seconds);
        wrong << qreal(t.Wrong);
        right << qreal(t.Right);
    }
    ShowBars(Chart2, {seconds});
    ShowBars(Chart3, {wrong, right});

    // Rating: the best ticket green, the worst red, the others blue.
    const std::vector<double> bars = f.ratingBars();
    std::vector<int> roles;
    for (int t = 1; t <= int(bars.size()); ++t)
        roles.push_back(int(f.ratingRole(t)));
    ShowColouredBars(Chart4, bars, roles);

    const PreparationLevel level = ComputeLevel(m_app.Stats);
    SetLevelPie(Chart7, level.Level);
    // 0 % for want of exam answers says so, rather than look like a poor result.
    Chart7.view->setToolTip(LevelWaitText(level.AnswersMissing));
    SetLevelPie(Chart8, level.Quality);
    SetLevelPie(Chart9, level.Speed);

    QList<qreal> themeWrong, themeRight;
    for (int k = 1; k <= ThemeCount; ++k) {
        themeWrong << f.themeWrongPercent(k);
        themeRight << f.themeRightPercent(k);
    }
    ShowBars(Chart6, {themeWrong, themeRight});

    if (PageControl1->currentIndex() == 3)
        ListView3->setFocus(Qt::OtherFocusReason);
    refreshTicketDetail();
    refreshAnalysis();
    Readiness->refresh();
}

void TForm5::refreshTicketDetail() {
    const int t = selectedTicket();
    if (t == 0)
        return;
    if (QTreeWidgetItem* item = ListView3->topLevelItem(t - 1))
        ListView3->scrollToItem(item);
    const int ch = channel();
    QList<qreal> seconds, right, wrong;
    for (int p = 1; p <= TicketSize; ++p) {
        const Figures q = QuestionFigures(m_app.Stats, NumberOf(t, p), ch);
        seconds << qreal(q.Seconds);
        right << qreal(q.Right);
        wrong << qreal(q.Wrong);
    }
    ShowBars(Chart5, {seconds});
    ShowBars(Chart1, {right, wrong});
}

void TForm5::refreshAnalysis() {
    const int theme = std::max(ListBox1->currentRow(), 0);
    const AnalysisLists a = BuildAnalysis(m_app.Stats, m_app.Themes, channel(), theme, criterion());
    const auto fill = [](QListWidget* list, const std::vector<int>& numbers, QLabel* count,
                         QLabel* none, QPushButton* button) {
        QStringList tags;
        tags.reserve(qsizetype(numbers.size()));
        for (int n : numbers)
            tags << QuestionTag(n);
        list->clear();
        list->addItems(tags);
        count->setText(QStringLiteral("Всего: ") + QString::number(list->count()));
        none->setVisible(list->count() == 0);
        button->setEnabled(list->count() != 0);
    };
    fill(ListBox2, a.Hard, CountRed, NoneRed, RepeatRed);
    fill(ListBox4, a.Undetermined, CountYellow, NoneYellow, RepeatYellow);
    fill(ListBox3, a.Easy, CountGreen, NoneGreen, RepeatGreen);
    fill(ListBox5, a.Difficult, CountHard, NoneHard, RepeatHard);
    ListBox6->clear();
    ListBox6->addItems(a.Theory);
    NoneTheory->setVisible(ListBox6->count() == 0);
    // Only while the open database is the release the progress was last carried to.
    ChangedButton->setVisible(
        !ChangedQuestions(m_app.Releases, m_app.Prints.setPrint(m_app.Db)).empty());
}

// --- Clicks ------------------------------------------------------------------------------------

void TForm5::ticketBarClicked(int index) {
    PageControl1->setCurrentIndex(3);
    selectTicket(index + 1);
    ListView3->setFocus(Qt::OtherFocusReason);
}

bool TForm5::questionBarLaunched(int index, Qt::MouseButton button) {
    const int t = selectedTicket();
    if (t == 0)
        return true; // no ticket, nothing to tell either
    if (button != Qt::LeftButton)
        return false;
    launchStudy(RunRequest::learnTicket(t, index));
    return true;
}

void TForm5::inform(const QString& caption, const QString& text) {
    if (Prompter* p = m_app.services.prompter)
        p->message(caption, text, Prompter::Icon::Information);
}

void TForm5::questionTimeClicked(QBarSet* set, int index, Qt::MouseButton button) {
    if (!questionBarLaunched(index, button))
        inform(QStringLiteral("ВРЕМЯ"), QuestionTimeMessage(index + 1, set->at(index), QLocale()));
}

void TForm5::questionAnswersClicked(QBarSet* set, int index, Qt::MouseButton button) {
    if (questionBarLaunched(index, button))
        return;
    if (set == Chart1.sets[0])
        inform(QStringLiteral("Правильные ответы"),
               QuestionRightMessage(index + 1, set->at(index), QLocale()));
    else
        inform(QStringLiteral("Неправильные ответы"),
               QuestionWrongMessage(index + 1, set->at(index), QLocale()));
}

void TForm5::themeBarClicked(QBarSet* set, int index, Qt::MouseButton button) {
    if (button != Qt::LeftButton)
        return;
    const QString name = ThemeNames(index + 1);
    if (set == Chart6.sets[1])
        inform(QStringLiteral("Правильные ответы"),
               ThemeRightMessage(name, set->at(index), QLocale()));
    else
        inform(QStringLiteral("Неправильные ответы"),
               ThemeWrongMessage(name, set->at(index), QLocale()));
}

void TForm5::questionListClicked(QListWidgetItem* item) {
    // A click beside the items (or on a stale one) starts nothing.
    const int n = item ? ParseQuestionTag(item->text()) : 0;
    if (n == 0)
        return;
    launchStudy(RunRequest::learnTicket(TicketOf(n), PositionOf(n) - 1));
}

void TForm5::repeatClicked(int runMode, QListWidget* list) {
    QStringList tags;
    for (int i = 0; i < list->count(); ++i)
        tags << list->item(i)->text();
    const std::vector<int> numbers = ParseQuestionTags(tags);
    if (numbers.empty())
        return;
    launchStudy(RunRequest::statisticsList(runMode - 3, numbers,
                                           RepeatScope(std::max(ListBox1->currentRow(), 0))));
}

void TForm5::theoryClicked(QListWidgetItem* item) {
    if (!item)
        return;
    const QString topic = TopicFromCode(CodeFromCaption(item->text()));
    OpenHelp(m_app, HelpRequestPopup(topic));
}

void TForm5::helpClicked() {
    OpenHelp(m_app, HelpRequestMain(HelpPageStats));
}

void TForm5::launchStudy(const RunRequest& request) {
    if (m_showStudy)
        m_showStudy(request);
    FormShow(); // counts made in the run appear at once
}

} // namespace bil
