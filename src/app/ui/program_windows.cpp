// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/program_windows.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QWindowStateChangeEvent>

namespace bil {

ProgramWindows::ProgramWindows(Hooks hooks, QObject* parent)
    : QObject(parent), m_hooks(std::move(hooks)) {
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive)
            return;
        QTimer::singleShot(FocusLossDelayMs, this, [this] {
            if (QGuiApplication::applicationState() != Qt::ApplicationActive && m_hooks.deactivated)
                m_hooks.deactivated();
        });
    });
}

ProgramWindows::~ProgramWindows() {
    if (qApp)
        qApp->removeEventFilter(this);
}

bool ProgramWindows::isProgramWindow(const QWidget* w) {
    if (!w->isWindow())
        return false;
    // Menus, popups and tooltips come and go with the windows they belong to.
    const Qt::WindowType type = w->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::Desktop &&
           type != Qt::SplashScreen;
}

void ProgramWindows::minimizeAll() {
    m_busy = true;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (isProgramWindow(w) && w->isVisible() && !w->isMinimized()) {
            m_minimized.append(w);
            w->setWindowState(w->windowState() | Qt::WindowMinimized);
        }
    m_busy = false;
    scheduleCheck();
}

void ProgramWindows::restoreAll() {
    m_busy = true;
    const auto windows = std::exchange(m_minimized, {});
    for (const QPointer<QWidget>& w : windows)
        if (w && w->isVisible() && w->isMinimized())
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    m_busy = false;
    scheduleCheck();
}

void ProgramWindows::windowStateChanged(QWidget* w, bool wasMinimized) {
    if (m_busy || !w->isVisible())
        return;
    if (w->isMinimized() && !wasMinimized) {
        if (!w->property(MinimizesAlone).toBool()) {
            m_minimized.append(w); // it comes back with the others
            minimizeAll();
        }
    } else if (!w->isMinimized() && wasMinimized) {
        restoreAll();
    }
}

bool ProgramWindows::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::WindowStateChange && type != QEvent::Show && type != QEvent::Hide)
        return false;
    if (!watched->isWidgetType() || !isProgramWindow(static_cast<QWidget*>(watched)))
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (type == QEvent::WindowStateChange) {
        const auto* change = static_cast<QWindowStateChangeEvent*>(event);
        windowStateChanged(w, change->oldState() & Qt::WindowMinimized);
    }
    scheduleCheck();
    return false;
}

void ProgramWindows::scheduleCheck() {
    // Decided once the event at hand is over: one window hiding as the next shows is no gap.
    if (std::exchange(m_checkDue, true))
        return;
    QTimer::singleShot(0, this, [this] {
        m_checkDue = false;
        check();
    });
}

void ProgramWindows::check() {
    bool onScreen = false;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (isProgramWindow(w) && w->isVisible() && !w->isMinimized())
            onScreen = true;
    if (onScreen == !m_down)
        return;
    m_down = !onScreen;
    const auto& hook = m_down ? m_hooks.minimized : m_hooks.restored;
    if (hook)
        hook();
}

void ShowRestored(QWidget& window) {
    // The hint lives with the native window: a hidden window gets a fresh one, which starts
    // normal. Qt itself counts the window as normal and would not tell the window system again.
    if (QWindow* handle = window.windowHandle(); handle && !window.isVisible())
        handle->destroy();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
}

} // namespace bil
