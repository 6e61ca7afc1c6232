// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/ui/prep_dialog.h"

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/platform.h"
#include "data/ui/pictures.h"
#include "stats/save_guard.h"
#include "stats/stat_file.h"
#include "ui/measure_text.h"

#include <QGuiApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace bil {

namespace {

constexpr int PositionCount = 20;

// A list that shows a hand cursor over its items.
class HandList final : public QListWidget {
public:
    using QListWidget::QListWidget;

protected:
    void mouseMoveEvent(QMouseEvent* event) override {
        viewport()->setCursor(indexAt(event->position().toPoint()).isValid()
                                  ? Qt::PointingHandCursor
                                  : Qt::ArrowCursor);
        QListWidget::mouseMoveEvent(event);
    }
};

} // namespace

QString TForm8::ItemTip(int item) {
    static const char* const Tips[PositionCount] = {
        "ПДД главы № 1, 2, 4, 5",
        "ПДД приложение № 1",
        "ПДД приложение № 1",
        "ПДД приложение № 1",
        "ПДД приложение № 2",
        "ПДД главы № 3, 6",
        "ПДД главы № 7, 8",
        "ПДД главы № 7, 8",
        "ПДД главы № 7, 8, 9, 10",
        "ПДД главы № 9, 10",
        "ПДД глава № 11",
        "ПДД глава № 12",
        "ПДД глава № 13",
        "ПДД глава № 13",
        "ПДД глава № 13",
        "ПДД главы № 14 - 18",
        "ПДД главы № 19 - 24",
        "Допуск к эксплуатации ТС",
        "Безопасность",
        "Медицина, ответственность",
    };
    if (item < 0 || item >= PositionCount)
        return {};
    return QString::fromUtf8(Tips[item]);
}

TForm8::TForm8(AppState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(state) {
    setObjectName(QStringLiteral("Form8"));
    setWindowTitle(QStringLiteral("Выбор вопросов подготовки"));
    setFont(PixelFont(QStringLiteral("Liberation Sans"), 12));
    setFixedSize(272, 256);

    ListView1 = new HandList(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setGeometry(8, 8, 220, 208);
    // Two columns of ten always fit: no scroll bars to push an entry into a third.
    ListView1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListView1->setViewMode(QListView::ListMode);
    ListView1->setFlow(QListView::TopToBottom);
    ListView1->setWrapping(true);
    ListView1->setMovement(QListView::Static);
    ListView1->setResizeMode(QListView::Adjust);
    ListView1->setGridSize(QSize(104, 20));
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setMouseTracking(true);
    ListView1->viewport()->setAttribute(Qt::WA_Hover, true);
    for (int i = 0; i < PositionCount; ++i) {
        auto* item = new QListWidgetItem(QStringLiteral("Вопрос №%1").arg(i + 1), ListView1);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Checked);
        item->setToolTip(ItemTip(i));
    }
    connect(ListView1, &QListWidget::itemChanged, this, [this] {
        if (!m_updating)
            publishChecks();
    });

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(236, 8, 28, 28);
    SpeedButton1->setToolTip(QStringLiteral("Выбрать все"));
    SpeedButton1->setIcon(TForm3::Icon(StatusExamPass));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm8::SpeedButton1Click);

    SpeedButton2 = new QToolButton(this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setGeometry(236, 40, 28, 28);
    SpeedButton2->setToolTip(QStringLiteral("Отменить весь выбор"));
    SpeedButton2->setIcon(TForm3::Icon(StatusErrors));
    SpeedButton2->setAutoRaise(true);
    SpeedButton2->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm8::SpeedButton2Click);

    BitBtn1 = new QPushButton(QStringLiteral("ОК"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(98, 224, 75, 25);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm8::BitBtn1Click);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm8::setChecks(uint32_t checks) {
    m_updating = true;
    for (int i = 0; i < PositionCount; ++i)
        ListView1->item(i)->setCheckState((checks >> i) & 1u ? Qt::Checked : Qt::Unchecked);
    m_updating = false;
    publishChecks();
}

uint32_t TForm8::checks() const {
    uint32_t checks = 0;
    for (int i = 0; i < PositionCount; ++i) {
        if (ListView1->item(i)->checkState() == Qt::Checked)
            checks |= 1u << i;
    }
    return checks;
}

void TForm8::publishChecks() {
    m_state.Sources.PrepChecks = checks();
}

void TForm8::SpeedButton1Click() {
    setChecks(AllPrepPositions);
}

void TForm8::SpeedButton2Click() {
    setChecks(0);
}

void TForm8::BitBtn1Click() {
    const int32_t mask = PrepMaskFromChecks(checks());
    m_state.Stats.PrepPositions = mask;
    if (mask == 0) {
        // Nothing ticked: all positions again, in memory only, and the dialog stays open.
        m_state.Stats.PrepPositions = int32_t(AllPrepPositions);
        setChecks(AllPrepPositions);
        return;
    }
    SaveStatsGuarded(m_state);
    done(QDialog::Accepted);
}

} // namespace bil
