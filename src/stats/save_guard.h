// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QString>

#include <functional>

namespace bil {

class Prompter;
struct AppState;

// Saves of one file the program writes. The learner hears once about a run of failed saves
// (a full disk fails every save until space is freed); the data stay in memory meanwhile and
// every save writes them whole, so the next save that succeeds catches up and ends the run.
class SaveGuard {
public:
    // what: the data in the warning's first line, e.g. "статистику".
    explicit SaveGuard(QString what) : m_what(std::move(what)) {}

    // Runs write. A failure is warned about through prompter (may be null) unless this run of
    // failures was already reported, and is returned either way.
    Status save(const std::function<Status()>& write, Prompter* prompter);
    // The program's last save: a failure is warned about even within a reported run, since the
    // changes still only in memory go with the program.
    Status saveAtClose(const std::function<Status()>& write, Prompter* prompter);
    // The last save failed: the file is older than the data in memory.
    bool failing() const { return m_failing; }
    // The file was written by other means with what memory holds.
    void markSaved() { m_failing = false; }
    // The warning for a failure whose reason is the given message.
    QString warning(const QString& reason) const;

private:
    QString m_what;
    bool m_failing = false;
};

// The guards of stat.dat and tema4.dat, shared by every window that saves.
struct SaveGuards {
    SaveGuard Stats{QStringLiteral("статистику")};
    SaveGuard Themes{QStringLiteral("темы и отметки сложности вопросов")};
};

// A statistics save point: a theme file whose last save failed gets another chance first,
// then the statistics are written. Either writer may be empty (nothing to write).
Status SaveAtStatsPoint(SaveGuards& guards, const std::function<Status()>& writeStats,
                        const std::function<Status()>& writeThemes, Prompter* prompter);

// The save points' calls: write stat.dat (or tema4.dat) from the shared state through its guard.
// A statistics save point also retries a theme file whose last save failed.
Status SaveStatsGuarded(AppState& app);
Status SaveThemesGuarded(AppState& app);
// The save when the program closes: a theme file still failing, then the statistics, each
// failure warned about whether or not its run was.
Status SaveAtClose(AppState& app);

} // namespace bil
