// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/main_window.h"

#include "app/menu_commands.h"
#include "app/platform.h"
#include "app/progress_commands.h"
#include "app/settings_store.h"
#include "app/ui/catalogue_list.h"
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
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace bil {

namespace {

constexpr int ThemePage = 1;

void SetTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

} // namespace

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

void TForm2::buildLayout() {
    Image2 = new PictureBox(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 0, 588, 209);
    Image2->setPicture(PaintHeader);

    Label9 = new QLabel(this);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->setGeometry(16, 56, 145, 29);
    Label9->setFont(PixelFont(QStringLiteral("Liberation Sans"), 24, true));
    SetTextColour(Label9, QColor(0, 0, 255));
    Label9->setCursor(Qt::PointingHandCursor);
    Label9->setAttribute(Qt::WA_Hover, true);
    Label9->installEventFilter(this);

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(588, 0, 133, 209);
    Image1->setToolTip(
        QStringLiteral("Скорость, которая Вам разрешена при управлении автомобилем"));
    Image1->setPicture(
        [this](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, m_progress.Picture); });

    Label6 = new QLabel(QStringLiteral("Поздравляем! Отличный результат!"), this);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setGeometry(560, 16, 161, 41);
    Label6->setFont(PixelFont(QStringLiteral("Liberation Sans"), 16, true));
    Label6->setAlignment(Qt::AlignCenter);
    Label6->setWordWrap(true);
    SetTextColour(Label6, QColor(255, 0, 0));
    Label6->hide();

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 209, 385, 207);
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl1->setDocumentMode(true);
    PageControl1->setStyleSheet(QStringLiteral(
        "QTabWidget::pane { border: none; }"
        "QTabBar::tab { background: #d4d0c8; color: black; border: 2px outset #f4f2ee;"
        " padding: 2px 8px; margin: 2px 2px 1px 2px; }"
        "QTabBar::tab:selected { background: #bcb8b0; border-style: inset; }"));

    auto makeList = [this](QWidget* page, const char* name, QColor background, QSize grid) {
        auto* list = new CatalogueList(page);
        list->setObjectName(QLatin1String(name));
        QPalette pal = list->palette();
        pal.setColor(QPalette::Base, background);
        pal.setColor(QPalette::Text, Qt::black);
        list->setPalette(pal);
        list->setGridSize(grid);
        list->setFont(PixelFont(QStringLiteral("Liberation Sans"), 11));
        list->onKey = [this, list](int key, const QString& text) {
            return CatalogueKeyPress(list, key, text);
        };
        list->onClick = [this, list] { ListViewClick(list); };
        return list;
    };
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    ListView1 = makeList(TabSheet1, "ListView1", QColor(254, 239, 207), QSize(88, 17));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    ListView2 = makeList(TabSheet2, "ListView2", QColor(255, 255, 206), QSize(127, 17));
    static_cast<CatalogueList*>(ListView1)->onMouseDown =
        [this](Qt::MouseButton b, Qt::KeyboardModifiers m) { ListView1MouseDown(b, m); };
    for (QWidget* page : {TabSheet1, TabSheet2}) {
        QListWidget* list = page == TabSheet1 ? ListView1 : ListView2;
        page->setAutoFillBackground(true);
        QPalette pal = page->palette();
        pal.setColor(QPalette::Window, list->palette().color(QPalette::Base));
        page->setPalette(pal);
        auto* fill = new QVBoxLayout(page); // the list fills its page
        fill->setContentsMargins(0, 0, 0, 0);
        fill->addWidget(list);
    }
    PageControl1->addTab(TabSheet1, m_icons[TicketTabIcon], QStringLiteral("Каталог билетов"));
    PageControl1->addTab(TabSheet2, m_icons[ThemeTabIcon], QStringLiteral("Каталог тем"));
    for (int t = 1; t <= TicketCount; ++t) {
        auto* item = new QListWidgetItem(m_icons[StatusNotDone], TicketCaption(t), ListView1);
        item->setToolTip(StatusTooltip(StatusNotDone));
    }
    SearchButton = new QPushButton(QStringLiteral("Поиск"), PageControl1);
    SearchButton->setObjectName(QStringLiteral("SearchButton"));
    SearchButton->setToolTip(QStringLiteral("Поиск вопросов (Ctrl+F)"));
    SearchButton->setFocusPolicy(Qt::NoFocus);
    SearchButton->setStyleSheet(QStringLiteral( // drawn like the page tabs beside it
        "QPushButton { background: #d4d0c8; color: black; border: 2px outset #f4f2ee;"
        " padding: 2px 8px; margin: 2px 2px 1px 2px; }"
        "QPushButton:pressed { border-style: inset; }"));
    PageControl1->setCornerWidget(SearchButton, Qt::TopRightCorner);
    connect(SearchButton, &QPushButton::clicked, this, &TForm2::SearchButtonClick);
    auto* searchKey = new QShortcut(QKeySequence::Find, this);
    connect(searchKey, &QShortcut::activated, this, &TForm2::SearchButtonClick);
    connect(PageControl1, &QTabWidget::currentChanged, this,
            [this](int page) { (page == ThemePage ? ListView2 : ListView1)->setFocus(); });

    // Mode buttons with their descriptions, each pair in a raised frame.
    struct Mode {
        QPushButton** button;
        const char* buttonName;
        QString caption;
        QString hint;
        QLabel** label;
        const char* labelName;
        QString text;
        QColor colour;
        int top;
    };
    const Mode modes[] = {
        {&BitBtn2, "BitBtn2", QStringLiteral("Экзамен"), QStringLiteral("4"), &Label4, "Label4",
         QStringLiteral("Повторяет теоретический экзамен по правилам дорожного движения."),
         QColor(255, 0, 0), 232},
        {&BitBtn3, "BitBtn3", QStringLiteral("Тренировка"), QStringLiteral("3"), &Label3, "Label3",
         QStringLiteral("Проверка знаний по билетам, случайно выбранным из каталога."),
         QColor(255, 255, 0), 280},
        {&BitBtn4, "BitBtn4", QStringLiteral("Подготовка"), QStringLiteral("2"), &Label2, "Label2",
         QStringLiteral("Обучение по случайно выбранному списку вопросов из всех билетов."),
         QColor(0, 255, 0), 328},
        {&BitBtn1, "BitBtn1", QStringLiteral("Обучение"), QStringLiteral("Enter или 1"), &Label7,
         "Label7", QStringLiteral("Начальное изучение выбранного  из каталога билета или темы."),
         QColor(0, 255, 255), 376},
    };
    for (const Mode& m : modes) {
        auto* frame = new QFrame(this);
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        frame->setLineWidth(1);
        QPalette fp = frame->palette();
        fp.setColor(QPalette::Light, QColor(150, 150, 150));
        fp.setColor(QPalette::Dark, QColor(48, 48, 48));
        frame->setPalette(fp);
        frame->setGeometry(392, m.top - 6, 326, 38);

        auto* button = new QPushButton(m.caption, this);
        button->setObjectName(QLatin1String(m.buttonName));
        button->setGeometry(400, m.top, 121, 25);
        button->setToolTip(m.hint);
        button->setFocusPolicy(Qt::NoFocus);
        *m.button = button;

        auto* label = new QLabel(m.text, this);
        label->setObjectName(QLatin1String(m.labelName));
        label->setGeometry(528, m.top - 4, 186, 34);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        label->setFont(PixelFont(QStringLiteral("Liberation Sans"), 11));
        SetTextColour(label, m.colour);
        *m.label = label;
    }
    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm2::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm2::BitBtn4Click);

    auto smallButton = [this](const char* name, const QString& caption, const QString& hint,
                              int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(left, 416, 89, 22);
        b->setToolTip(hint);
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    SpeedButton3 = smallButton("SpeedButton3", QStringLiteral("Справка"), QStringLiteral("H"), 8);
    SpeedButton2 =
        smallButton("SpeedButton2", QStringLiteral("Статистика"), QStringLiteral("Z"), 104);
    SpeedButton1 =
        smallButton("SpeedButton1", QStringLiteral("Настройка"), QStringLiteral("X"), 200);
    SpeedButton1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm2::SpeedButton1Click);
    connect(SpeedButton1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint&) { SpeedButton1Click(); });
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm2::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TForm2::SpeedButton3Click);

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(304, 419, 408, 19);
    Label5->setFont(PixelFont(QStringLiteral("Liberation Serif"), 16, true));
    Label5->setTextFormat(Qt::PlainText);
    SetTextColour(Label5, QColor(255, 0, 0));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);

    ListView1->setFocus();
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

} // namespace bil
