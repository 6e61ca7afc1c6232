// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/help_popup.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace bil {

namespace {

QScreen* CursorScreen() {
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

HelpPopup::HelpPopup() : QWidget(nullptr, Qt::Popup) {
    setObjectName(QStringLiteral("HelpPopup"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->installEventFilter(this);
    layout->addWidget(m_browser);
    resize(FitWidth, 260);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    close();
            });
}

int HelpPopup::maxHeight() {
    // Most of a small screen, never more than a comfortable reading height.
    const QScreen* screen = CursorScreen();
    const int available = screen ? screen->availableGeometry().height() : 768;
    return std::clamp(available * 2 / 3, 120, 560);
}

void HelpPopup::showText(const QString& html, const QUrl& base) {
    m_browser->showHtml(html, base);
    const int frame = 2 * m_browser->frameWidth();
    // Measured on a copy laid out at the width the text has beside a scroll bar, so that it
    // fits either way; the browser's own document follows the widget's size only once shown.
    const int textWidth = FitWidth - frame - m_browser->verticalScrollBar()->sizeHint().width();
    const std::unique_ptr<QTextDocument> probe(m_browser->document()->clone(m_browser));
    probe->setTextWidth(textWidth);
    const int wanted = int(std::ceil(probe->size().height())) + frame + 2;
    resize(FitWidth, std::clamp(wanted, 60, maxHeight()));
    placeNearCursor();
    show();
}

void HelpPopup::showPage(const QUrl& page) {
    resize(FitWidth, 260);
    placeNearCursor();
    show();
    m_browser->setSource(page);
    if (page.hasFragment())
        m_browser->scrollToAnchor(page.fragment());
}

void HelpPopup::placeNearCursor() {
    QPoint at = QCursor::pos() + QPoint(12, 12);
    if (const QScreen* screen = CursorScreen()) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - width())));
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - height())));
    }
    move(at);
}

bool HelpPopup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HelpPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

} // namespace bil
