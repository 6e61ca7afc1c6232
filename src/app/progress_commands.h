// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"

#include <QDateTime>
#include <QString>

namespace bil {

// The settings menu's "Сохранить прогресс в файл…": asks for a file name and writes the
// progress file; tells the learner how it went.
void SaveProgressCommand(AppState& app, const QDateTime& now = QDateTime::currentDateTimeUtc());

// "Восстановить прогресс из файла…": asks for the file, reads and checks all of it, asks
// Yes/No and only then replaces the stores. A file of another release of the open set is
// restored question by question (by fingerprint) and the learner told how many matched; one
// with no question in common is restored by number only on a «Да» that is not the default.
// True when the stores were replaced (the caller refreshes as after a reset); a damaged file,
// a «Нет» or a restore that fails changes nothing and says so.
bool RestoreProgressCommand(AppState& app);

// The name the save dialog proposes: "Прогресс Билетории 2026-12-09.biletoria" in folder.
QString ProposedProgressPath(const QString& folder, const QDateTime& now);

} // namespace bil
