// SPDX-License-Identifier: GPL-3.0-or-later
// The study window's controls: made once with their looks and handlers, then placed by the
// sizes of the window.
#include "study/ui/study_window.h"

#include "data/ui/picture_window.h"
#include "ui/measure_text.h"

#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>

namespace bil {

void TForm1::buildControls() {
    auto named = [](QWidget* w, const char* name) { w->setObjectName(QLatin1String(name)); };

    Label6 = new QLabel(QStringLiteral("ВРЕМЯ"), this);
    named(Label6, "Label6");
    QFont timeFont(QStringLiteral("Liberation Sans"));
    timeFont.setPixelSize(24);
    timeFont.setBold(true);
    Label6->setFont(timeFont);
    Label6->setStyleSheet(QStringLiteral("color: yellow;"));
    Label6->hide();

    Label1 = new QLabel(QStringLiteral("Билет №1 Вопрос №1"), this);
    named(Label1, "Label1");
    QFont headFont = DesignFont(QStringLiteral("Arial"), 14, true);
    headFont.setUnderline(true);
    Label1->setFont(headFont);
    Label1->setStyleSheet(QStringLiteral("color: white;"));

    Label5 = new QLabel(this);
    named(Label5, "Label5");
    Label5->setFont(DesignFont(QStringLiteral("Arial"), 12, true));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    SpeedButton1 = new QToolButton(this);
    named(SpeedButton1, "SpeedButton1");
    SpeedButton1->setText(QStringLiteral("?"));
    SpeedButton1->setToolTip(QStringLiteral("Справка"));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { m_engine->openHelp(); });

    ListView1 = new QListWidget(this);
    named(ListView1, "ListView1");
    ListView1->setToolTip(QStringLiteral("Список вопросов"));
    ListView1->setViewMode(QListView::ListMode);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->installEventFilter(this);
    ListView1->viewport()->installEventFilter(this);
    connect(ListView1, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0)
            m_engine->showItem(row);
    });

    BitBtn7 = new QPushButton(QStringLiteral("СТОП"), this);
    named(BitBtn7, "BitBtn7");
    BitBtn7->setToolTip(QStringLiteral("Закончить решение билета"));
    BitBtn7->setAutoDefault(false);
    BitBtn7->installEventFilter(this);
    connect(BitBtn7, &QPushButton::clicked, this, [this] { m_engine->stop(); });

    ScrollBox1 = new QScrollArea(this);
    named(ScrollBox1, "ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    ScrollContents = new QWidget;
    named(ScrollContents, "ScrollContents");
    ScrollContents->setAutoFillBackground(true);
    QPalette white = ScrollContents->palette();
    white.setColor(QPalette::Window, Qt::white);
    ScrollContents->setPalette(white);
    ScrollContents->installEventFilter(this);
    ScrollBox1->setWidget(ScrollContents);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The answer buttons, the pie and the light stay below the scrolling question, always in reach.
    BottomRow = new QWidget(this);
    named(BottomRow, "BottomRow");
    BottomRow->setAutoFillBackground(true);
    BottomRow->setPalette(white);
    BottomRow->installEventFilter(this);

    Image1 = new QLabel(ScrollContents);
    named(Image1, "Image1");
    Image1->move(PictureLeft, PictureTop);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("Щелчок — увеличить рисунок"));
    Image1->installEventFilter(this);
    m_zoom = new PictureWindow(this);

    Label2 = new QLabel(ScrollContents);
    named(Label2, "Label2");
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setFont(DesignFont(QStringLiteral("Times New Roman"), 14, true));
    Label2->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128);"));

    Label3 = new QLabel(ScrollContents);
    named(Label3, "Label3");
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setFont(DesignFont(QStringLiteral("Times New Roman"), 12));
    Label3->setStyleSheet(QStringLiteral("color: black;"));

    Label4 = new QLabel(ScrollContents);
    named(Label4, "Label4");
    Label4->setWordWrap(true);
    Label4->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label4->setFont(DesignFont(QStringLiteral("Times New Roman"), 10));
    Label4->setStyleSheet(QStringLiteral("color: red;"));
    Label4->setCursor(Qt::PointingHandCursor);
    Label4->installEventFilter(this);
    Label4->hide();

    for (int b = 1; b <= MaxAnswers; ++b) {
        QPushButton* button = new QPushButton(BottomRow);
        button->setObjectName(QStringLiteral("BitBtn%1").arg(b));
        button->setIcon(QIcon(TextIcon(QString::number(b), QColor(70, 110, 200), Qt::white)));
        button->setFixedSize(AnswerButtonWidth, AnswerButtonHeight);
        button->setFocusPolicy(Qt::ClickFocus); // never reached with Tab
        // Return never answers: a key repeat after Enter would record an answer unasked.
        button->setAutoDefault(false);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, b] { m_engine->answer(b); });
        BitBtn[b - 1] = button;
    }

    Image2 = new QLabel(BottomRow);
    named(Image2, "Image2");
    Image2->setFixedSize(23, 60);
    Image2->installEventFilter(this);

    Chart1 = new StatPie(BottomRow);
    named(Chart1, "Chart1");
    Chart1->setFixedSize(65, 58);
    Chart1->onClick = [this] { m_engine->toggleCounter(); };

    Label7 = new QLabel(BottomRow);
    named(Label7, "Label7");
    Label7->setToolTip(QStringLiteral("Счетчик времени"));
    Label7->setFont(DesignFont(QStringLiteral("Arial"), 10, true));
    Label7->setStyleSheet(QStringLiteral("color: yellow;"));
    Label7->setAlignment(Qt::AlignCenter);
    Label7->installEventFilter(this);

    PopupMenu1 = new QMenu(this);
    named(PopupMenu1, "PopupMenu1");
    for (int i = 1; i <= 10; ++i) {
        QAction* item = PopupMenu1->addAction(QString());
        item->setObjectName(QStringLiteral("id%1").arg(i * 10 + 1));
        item->setVisible(false);
        connect(item, &QAction::triggered, this, [this, i] { m_engine->openHelpLink(i - 1); });
    }

    SpTimer = new QTimer(this);
    SpTimer->setInterval(1000);
    connect(SpTimer, &QTimer::timeout, this, [this] { m_engine->questionSecond(); });
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { m_engine->countdownSecond(); });

    placeControls();
}

void TForm1::placeControls() {
    StudyFrameSizes sizes;
    sizes.Client = size();
    sizes.ListWidth = m_listWidth;
    for (int b = 0; b < MaxAnswers; ++b)
        sizes.ButtonWidths[b] = BitBtn[b]->width();
    const StudyFrame f = PlaceStudyFrame(sizes);
    Label6->setGeometry(f.Label6);
    Label1->setGeometry(f.Label1);
    Label5->setGeometry(f.Label5);
    SpeedButton1->setGeometry(f.SpeedButton1);
    ListView1->setGeometry(f.ListView1);
    BitBtn7->setGeometry(f.BitBtn7);
    ScrollBox1->setGeometry(f.ScrollBox1);
    BottomRow->setGeometry(f.BottomRow);
    for (int b = 0; b < MaxAnswers; ++b)
        BitBtn[b]->move(f.BitBtn[b].topLeft());
    Image2->move(f.Image2.topLeft());
    Chart1->move(f.Chart1.topLeft());
    Label7->setGeometry(f.Label7);
    Label7->raise();
}

} // namespace bil
