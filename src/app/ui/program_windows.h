// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace bil {

// The program as the learner sees it: one program however many windows it shows. It is
// minimised and restored as a whole, counts as down only when none of its windows is on
// screen, and reports when another program took the focus, whatever window is modal.
class ProgramWindows : public QObject {
public:
    struct Hooks {
        std::function<void()> minimized;   // the whole program went off screen
        std::function<void()> restored;    // some window of it is back on screen
        std::function<void()> deactivated; // another program has the focus for good
    };
    // Windows with this property set to true minimise on their own (the help window).
    static constexpr const char* MinimizesAlone = "bil.minimizesAlone";
    // How long the focus must stay away: passing it between two of our windows is no loss.
    static constexpr int FocusLossDelayMs = 150;

    explicit ProgramWindows(Hooks hooks, QObject* parent = nullptr);
    ~ProgramWindows() override;

    // Minimises every window of the program that is on screen.
    void minimizeAll();
    // True while no window of the program is on screen.
    bool down() const { return m_down; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static bool isProgramWindow(const QWidget* w);
    void windowStateChanged(QWidget* w, bool wasMinimized);
    void restoreAll();
    void scheduleCheck();
    void check();

    Hooks m_hooks;
    QList<QPointer<QWidget>> m_minimized; // minimised with the program, restored with it
    bool m_down = false;
    bool m_busy = false; // minimising or restoring the program: no echo of our own changes
    bool m_checkDue = false;
};

// Shows a window again in the normal state (the main window after a run). A window once
// minimised with the program keeps the window system's "start minimised" hint even after the
// learner restored it, and a plain show() would map it minimised.
void ShowRestored(QWidget& window);

} // namespace bil
