// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's controls at their fixed places.
#include "app/ui/catalogue_list.h"
#include "app/ui/main_window.h"
#include "data/ui/pictures.h"
#include "ui/measure_text.h"

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace bil {

namespace {

void SetTextColour(QWidget* w, const QColor& colour) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::WindowText, colour);
    w->setPalette(pal);
}

} // namespace

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

    // The chance to pass, under the header's texts and left of the road.
    Label10 = new QLabel(this);
    Label10->setObjectName(QStringLiteral("Label10"));
    Label10->setGeometry(18, 189, 300, 17);
    Label10->setFont(PixelFont(QStringLiteral("Liberation Sans"), 11, true));
    Label10->setTextFormat(Qt::PlainText);
    SetTextColour(Label10, QColor(255, 214, 90));

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
    SpeedButton4 =
        smallButton("SpeedButton4", QStringLiteral("Повторение"), QStringLiteral("5"), 296);
    SpeedButton1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(SpeedButton1, &QPushButton::clicked, this, &TForm2::SpeedButton1Click);
    connect(SpeedButton1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint&) { SpeedButton1Click(); });
    connect(SpeedButton2, &QPushButton::clicked, this, &TForm2::SpeedButton2Click);
    connect(SpeedButton3, &QPushButton::clicked, this, &TForm2::SpeedButton3Click);
    connect(SpeedButton4, &QPushButton::clicked, this, &TForm2::SpeedButton4Click);

    Label5 = new QLabel(this);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(392, 419, 320, 19);
    Label5->setFont(PixelFont(QStringLiteral("Liberation Serif"), 16, true));
    Label5->setTextFormat(Qt::PlainText);
    SetTextColour(Label5, QColor(255, 0, 0));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    connect(Timer1, &QTimer::timeout, this, &TForm2::Timer1Timer);

    ListView1->setFocus();
}

} // namespace bil
