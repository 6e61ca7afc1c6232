// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/catalogue_list.h"

#include "data/ui/pictures.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace bil {

namespace {

// Underlines the entry under the mouse (hot tracking).
class HotTrackDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (option->state & QStyle::State_MouseOver)
            option->font.setUnderline(true);
    }
};

} // namespace

CatalogueList::CatalogueList(QWidget* parent) : QListWidget(parent) {
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setIconSize(CatalogueIconSize);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover, true);
    setItemDelegate(new HotTrackDelegate(this));
    setFrameShape(QFrame::NoFrame);
    // Both catalogues always fit their page; a scroll bar would only steal a column.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void CatalogueList::keyPressEvent(QKeyEvent* event) {
    if (onKey && onKey(event->key(), event->text())) {
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CatalogueList::mousePressEvent(QMouseEvent* event) {
    const auto mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (event->button() == Qt::LeftButton && mods == (Qt::ShiftModifier | Qt::ControlModifier)) {
        // Select the entry under the mouse without the toggling Ctrl would do.
        if (QListWidgetItem* item = itemAt(event->position().toPoint()))
            setCurrentItem(item);
    } else {
        QListWidget::mousePressEvent(event);
    }
    if (onMouseDown)
        onMouseDown(event->button(), event->modifiers());
}

void CatalogueList::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (onClick)
        onClick();
}

void CatalogueList::mouseMoveEvent(QMouseEvent* event) {
    viewport()->setCursor(itemAt(event->position().toPoint()) ? Qt::PointingHandCursor
                                                              : Qt::ArrowCursor);
    QListWidget::mouseMoveEvent(event);
}

} // namespace bil
