// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/main_window.h"

#include "app/menu_commands.h"
#include "app/platform.h"
#include "app/progress_commands.h"
#include "app/readiness_commands.h"
#include "app/settings_store.h"
#include "app/ui/import_dialog.h"
#include "app/ui/main_menu.h"
#include "data/demo_database.h"
#include "data/themes.h"
#include "data/ui/pictures.h"
#include "help/help_topics.h"
#include "help/open_help.h"
#include "help/ui/about_box.h"
#include "stats/save_guard.h"
#include "stats/ui/prep_dialog.h"
#include "ui/measure_text.h"

#include <QAction>
#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>

#include <utility>

namespace bil {

TForm2::TForm2(AppState& state, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      m_state(state) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Билетория DER UZIRI 2023"));
    setFixedSize(722, 448);
    setFont(PixelFont(QStringLiteral("Liberation Sans"), 12));
    for (int i = 0; i < CatalogueIconCount; ++i)
        m_icons[i] = TForm3::Icon(i);
    buildLayout();
    BuildSettingsMenu(*this);
    syncMenuFromSettings();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm2::syncMenuFromSettings() {
    SyncSettingsMenu(*this, m_state.Config);
}

StartupResult TForm2::FormCreate() {
    const StartupResult result = RunStartup(m_state);
    syncMenuFromSettings();
    if (result == StartupResult::Continue)
        showDatabaseTitle();
    return result;
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the task bar is no new appearance.
    if (!event->spontaneous())
        FormShow();
}

void TForm2::closeEvent(QCloseEvent* event) {
    FormClose();
    QWidget::closeEvent(event);
    // The program ends with its main window, even while the help window is still open.
    if (event->isAccepted())
        QCoreApplication::quit();
}

void TForm2::FormClose() {
    // Exams and the per-question seconds change the record between save points; nothing of
    // that may be lost when the program ends; a failure now is told even within a run of them.
    SaveAtClose(m_state);
}

void TForm2::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (std::exchange(m_chanceStale, false))
        QTimer::singleShot(0, this, &TForm2::refreshChance);
}

void TForm2::refreshChance() {
    m_chanceStale = false;
    const ChanceLine line = CurrentChanceLine(m_state);
    Label10->setText(line.Text);
    Label10->setToolTip(line.Tip);
}

void TForm2::FormShow() {
    if (m_links.statisticsFirstPage)
        m_links.statisticsFirstPage();
    const int page = PageControl1->currentIndex();
    PageControl1->setCurrentIndex(0);
    refreshTicketIcons();
    PageControl1->setCurrentIndex(ThemePage);
    refreshThemeCatalogue();
    PageControl1->setCurrentIndex(page);
    refreshProgress();
    m_chanceStale = true;
    update();
    const uint32_t checks = PrepChecksFromMask(m_state.Stats.PrepPositions);
    m_state.Sources.PrepChecks = checks;
    if (m_prep)
        m_prep->setChecks(checks);
}

void TForm2::refreshTicketIcons() {
    for (int t = 1; t <= TicketCount; ++t) {
        const int status = m_state.Stats.TicketStatus[t - 1];
        m_ticketIcons[t - 1] = status;
        QListWidgetItem* item = ListView1->item(t - 1);
        const bool known = status >= 0 && status < StatusIconCount;
        item->setIcon(known ? m_icons[status] : QIcon());
        item->setToolTip(StatusTooltip(status));
    }
}

void TForm2::refreshThemeCatalogue() {
    ListView2->clear();
    const auto statuses = ThemeStatuses(m_state.Stats, m_state.Themes);
    for (int k = 1; k <= ThemeCount; ++k) {
        const int status = statuses[k - 1];
        auto* item = new QListWidgetItem(m_icons[status], ThemeNames(k), ListView2);
        item->setToolTip(StatusTooltip(status));
    }
    if (m_links.refreshMoveThemeList)
        m_links.refreshMoveThemeList();
}

void TForm2::refreshProgress() {
    m_progress = ComputeProgress(m_state.Stats);
    Image1->update();
    if (m_progress.Congratulate) {
        m_blink.LabelVisible = !Label6->isHidden();
        m_blink.start();
        Timer1->start();
    } else {
        Timer1->stop();
        m_blink.stop();
        Label6->hide();
    }
}

void TForm2::Timer1Timer() {
    m_blink.tick();
    Label6->setVisible(m_blink.LabelVisible);
    if (!m_blink.Enabled)
        Timer1->stop();
}

int TForm2::selectedRow(const QListWidget* list) const {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.first());
}

bool TForm2::themePageActive() const {
    return PageControl1->currentIndex() == ThemePage;
}

void TForm2::startRun(const std::function<void()>& show) {
    if (!show)
        return;
    show();
    hide();
}

void TForm2::startStudy(const RunRequest& request) {
    if (m_links.showStudy)
        startRun([this, &request] { m_links.showStudy(request); });
}

void TForm2::warn(const QString& text) {
    if (m_state.services.prompter)
        m_state.services.prompter->warn(text);
}

void TForm2::saveStats() {
    SaveStatsGuarded(m_state); // warns once per run of failures; memory stays authoritative
}

void TForm2::BitBtn1Click() {
    const bool themes = themePageActive();
    RunRequest request;
    const QString hint = LearningRun(themes, selectedRow(themes ? ListView2 : ListView1), request);
    if (!hint.isEmpty()) {
        if (m_state.services.prompter)
            m_state.services.prompter->inform(hint);
        return;
    }
    startStudy(request);
}

void TForm2::BitBtn4Click() {
    startStudy(RunRequest::preparation(m_state.Sources.PrepChecks));
}

void TForm2::BitBtn3Click() {
    if (!m_state.services.random)
        return;
    startStudy(TrainingRun(m_ticketIcons, m_state.Launch, *m_state.services.random));
}

void TForm2::BitBtn2Click() {
    LaunchExam(m_state.Launch);
    startRun(m_links.showExam);
}

void TForm2::SpeedButton1Click() {
    PopupMenu1->popup(QCursor::pos() - QPoint(0, 60));
}

void TForm2::SpeedButton2Click() {
    if (m_links.showStatistics)
        m_links.showStatistics(-1, -1);
}

void TForm2::SpeedButton3Click() {
    OpenHelp(m_state, HelpRequestMain(HelpPageMain));
}

void TForm2::SpeedButton4Click() {
    RunRequest request;
    if (const QString hint = ReviewRun(m_state, request); !hint.isEmpty()) {
        if (m_state.services.prompter)
            m_state.services.prompter->inform(hint);
        return;
    }
    startStudy(request);
}

void TForm2::SearchButtonClick() {
    if (!m_links.showSearch)
        return;
    m_links.showSearch();
    FormShow();
}

bool TForm2::CatalogueKeyPress(QListWidget* list, int key, const QString& text) {
    switch (CatalogueKeyCommand(key, text)) {
    case CatalogueCommand::None:
        return false;
    case CatalogueCommand::Learning:
        BitBtn1Click();
        break;
    case CatalogueCommand::Preparation:
        BitBtn4Click();
        break;
    case CatalogueCommand::Training:
        BitBtn3Click();
        break;
    case CatalogueCommand::Exam:
        BitBtn2Click();
        break;
    case CatalogueCommand::Review:
        SpeedButton4Click();
        break;
    case CatalogueCommand::OtherPage:
        PageControl1->setCurrentIndex(list == ListView1 ? ThemePage : 0);
        break;
    case CatalogueCommand::Statistics:
        SpeedButton2Click();
        break;
    case CatalogueCommand::Settings:
        SpeedButton1Click();
        break;
    case CatalogueCommand::Help:
        SpeedButton3Click();
        break;
    }
    return true;
}

void TForm2::ListViewClick(QListWidget* list) {
    if (list->selectedItems().isEmpty() && list->count() > 0)
        list->setCurrentRow(0);
}

void TForm2::ListView1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers) {
    if (button == Qt::RightButton) {
        if (m_links.showStatistics)
            m_links.showStatistics(StatisticsQuestionsPage, selectedRow(ListView1));
        return;
    }
    const auto mods = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (button != Qt::LeftButton || mods != (Qt::ShiftModifier | Qt::ControlModifier))
        return;
    if (const int row = selectedRow(ListView1); row >= 0)
        ResetTicketCommand(m_state, row + 1, commandViews());
}

void TForm2::Label9MouseEnter() {
    Label9->setText(QStringLiteral("____________"));
}

void TForm2::Label9MouseLeave() {
    Label9->clear();
}

void TForm2::Label9Click() {
    if (m_links.openUrl)
        m_links.openUrl(QUrl(ProductSiteUrl));
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Label9) {
        switch (event->type()) {
        case QEvent::Enter:
            Label9MouseEnter();
            break;
        case QEvent::Leave:
            Label9MouseLeave();
            break;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                Label9Click();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TForm2::SettingItemClick(SettingItem item, bool checked) {
    if (Status s = SetSetting(*m_state.services.store, m_state.Config, item, checked); !s)
        warn(s.message());
}

void TForm2::ExamTimeItemClick(int k) {
    ExamTimeItems[k - 1]->setChecked(true);
    if (Status s = ChooseExamTime(*m_state.services.store, m_state.Config, k); !s)
        warn(s.message());
}

CommandViews TForm2::commandViews() {
    return {[this] { FormShow(); }, [this] { showDatabaseTitle(); }};
}

void TForm2::N3Click() {
    ResetAllCommand(m_state, commandViews());
}

void TForm2::N7Click() {
    ChooseDatabaseCommand(m_state, commandViews());
}

bool TForm2::SwitchToDatabase(const QString& path) {
    return SwitchDatabaseCommand(m_state, path, commandViews());
}

void TForm2::N18Click() {
    ImportDialog dialog(m_state, this);
    if (dialog.exec() == QDialog::Accepted)
        SwitchAfterImportCommand(m_state, dialog.chosenDatabase(), dialog.carry(), commandViews(),
                                 m_links.showStudy);
}

void TForm2::showDatabaseTitle() {
    Label5->setText(m_state.Db.DbTitle());
    Label5->setToolTip(m_state.Db.DbTitle() == DemoTitle ? DemoDatabaseHint : QString());
}

void TForm2::N21Click() {
    SaveProgressCommand(m_state);
}

void TForm2::N22Click() {
    if (!RestoreProgressCommand(m_state))
        return;
    syncMenuFromSettings();
    FormShow();
}

void TForm2::N15Click() {
    if (m_prep)
        m_prep->exec();
}

void TForm2::N4Click() {
    if (m_about)
        m_about->exec();
}

void TForm2::N23Click() {
    if (ChooseExamDateCommand(m_state))
        refreshChance();
}

void TForm2::N24Click() {
    ChooseDailyGoalCommand(m_state);
}

} // namespace bil
