// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/ui/move_dialog.h"

#include "data/numbering.h"
#include "data/themes.h"
#include "ui/measure_text.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace bil {

TForm9::TForm9(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TForm9"));
    setWindowTitle(QStringLiteral("Перенос вопроса в другую тему"));
    setFixedSize(422, 262);

    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 406, 20);

    ListView2 = new QListWidget(this);
    ListView2->setObjectName(QStringLiteral("ListView2"));
    ListView2->setGeometry(8, 32, 406, 186);
    ListView2->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView2->setFont(DesignFont(QStringLiteral("Liberation Mono"), 9));
    // The selection stays visible while the OK button has the focus.
    ListView2->setStyleSheet(
        QStringLiteral("QListWidget { background: rgb(255, 255, 206); }"
                       "QListWidget::item:selected:!active { background: palette(highlight); "
                       "color: palette(highlighted-text); }"));

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(172, 226, 75, 28);
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm9::BitBtn1Click);
    connect(ListView2, &QListWidget::itemDoubleClicked, this, [this] { BitBtn1Click(); });

    QStringList names;
    for (int t = 1; t <= ThemeCount; ++t)
        names << ThemeNames(t);
    fillThemes(names);
}

void TForm9::fillThemes(const QStringList& names) {
    ListView2->clear();
    ListView2->addItems(names);
}

int TForm9::choose(const QString& prompt, int preselected) {
    Label1->setText(prompt);
    ListView2->clearSelection();
    if (preselected >= 1 && preselected <= ListView2->count()) {
        ListView2->setCurrentRow(preselected - 1);
        ListView2->scrollToItem(ListView2->currentItem());
    }
    m_chosen = NoneChosen;
    ListView2->setFocus();
    return exec() == QDialog::Accepted ? m_chosen : Closed;
}

void TForm9::BitBtn1Click() {
    const auto selected = ListView2->selectedItems();
    m_chosen = selected.isEmpty() ? NoneChosen : ListView2->row(selected.front()) + 1;
    accept();
}

} // namespace bil
