// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace bil {

struct AppState;
class TForm1;
class TForm2;
class TForm7;
class TForm8;
class TForm91;

// Message boxes of a scripted tour: they never block, they are written to stderr and answered
// with the answer the tour set last.
class TourPrompter final : public Prompter {
public:
    void setAnswer(bool yes) { m_answer = yes; }
    bool askYesNo(const QString& caption, const QString& text) override;
    void message(const QString& caption, const QString& text, Icon icon) override;
    QString chooseOpenFile(const QString& title, const QString& folder,
                           const QString& filter) override;

private:
    bool m_answer = true;
};

// The windows the tour drives.
struct TourWindows {
    AppState* state = nullptr;
    TForm2* main = nullptr;
    TForm1* study = nullptr;
    TForm91* exam = nullptr;
    TForm7* about = nullptr;
    TForm8* prep = nullptr;
    TourPrompter* prompter = nullptr;
};

// A scripted tour of the running program: it opens every window in a meaningful state, saves a
// PNG of each into a folder and ends the program (exit code 0 when every expected picture was
// taken). Steps run from timers, so a modal window opened by one step is handled by the next.
class Walkthrough : public QObject {
public:
    Walkthrough(TourWindows windows, QString outDir);
    // Starts the tour once the event loop runs.
    void start();

    // The environment variable whose value, the output folder, turns the tour on.
    static constexpr const char* EnvironmentVariable = "BILETORIA_WALKTHROUGH";

private:
    using Step = std::function<void()>;
    void add(Step step) { m_steps.push_back(std::move(step)); }
    void runNext();
    void buildSteps();
    // Saves a picture of the widget as <name>.png; a failure is counted.
    void shoot(QWidget* widget, const QString& name);
    // Saves and closes the modal window now open; a missing one is counted as a failure.
    void shootModal(const QString& name, int result = 1);
    // Saves and closes the help windows that came up since m_before was taken.
    void shootNewWindows(const QString& name);
    // Top-level windows shown now.
    QSet<QWidget*> visibleWindows() const;
    // Closes every modal window still open (message boxes never come up in a tour).
    void closeModals();
    void finish();

    TourWindows m_w;
    QString m_outDir;
    QList<Step> m_steps;
    QStringList m_taken;
    QStringList m_failures;
    QSet<QWidget*> m_before; // windows shown before a step that opens an unknown window
};

} // namespace bil
