// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// For window tests only: needs QtWidgets, which the test support library does not link.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace bil::test {

// A modal dialog the code under test is about to open and block in: once a visible window of
// type Dialog with this title is on screen, act runs on it from the dialog's own event loop
// (act must close it). A dialog of another type or title is left alone. The test fails when the
// expected dialog has not come by the time this object ends, or after waitMs of event loop
// (then the modal window on top is closed so that the test does not hang).
template <class Dialog> class ExpectDialog {
public:
    ExpectDialog(QString title, std::function<void(Dialog&)> act, int waitMs = 10000)
        : m_title(std::move(title)), m_act(std::move(act)), m_roundsLeft(waitMs / PollMs) {
        m_poll.setInterval(PollMs);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start();
    }
    ~ExpectDialog() {
        if (!m_came)
            ADD_FAILURE() << "the dialog \"" << m_title.toStdString() << "\" never came";
    }
    ExpectDialog(const ExpectDialog&) = delete;
    ExpectDialog& operator=(const ExpectDialog&) = delete;

    bool came() const { return m_came; }

private:
    static constexpr int PollMs = 5;

    void poll() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = dynamic_cast<Dialog*>(w);
            if (dialog && w->isVisible() && w->windowTitle() == m_title) {
                m_poll.stop();
                m_came = true;
                m_act(*dialog);
                return;
            }
        }
        if (--m_roundsLeft > 0)
            return;
        m_poll.stop();
        ADD_FAILURE() << "waited in vain for the dialog \"" << m_title.toStdString() << "\"";
        m_came = true; // reported once
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    }

    QString m_title;
    std::function<void(Dialog&)> m_act;
    int m_roundsLeft;
    bool m_came = false;
    QTimer m_poll;
};

} // namespace bil::test
