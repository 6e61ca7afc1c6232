// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/settings.h"
#include "data/status.h"

#include <QString>

#include <cstdint>
#include <utility>
#include <vector>

namespace bil {

class SettingsStore;

// The yes/no items of the settings menu.
enum class SettingItem {
    ShuffleAnswers,         // N6, Rnd
    ShowStatInformer,       // N5, Sta
    ShowAnswerOnError,      // N13, Err
    AlwaysShowComment,      // N16, Kom
    TrainingCommentOnError, // N9, Tre (stored inverted)
    TrainingMarksAtEnd,     // N14, Otv (stored inverted)
    ConfirmChoice,          // N17, Pov
    HideOnFocusLoss,        // N12, Mas
};

constexpr int ExamTimeItemCount = 6;
constexpr int DefaultDailyGoal = 40;
constexpr int MaxDailyGoal = 800;      // every question once
constexpr int DefaultExamTimeItem = 4; // N101, 10 minutes

// Name of the stored value behind an item ("Rnd", "Tre", ...).
QString SettingValueName(SettingItem item);
// Seconds of exam time item k (1..6): 60, 180, 300, 600, 900, 1200; 0 for any other k.
int ExamSecondsForItem(int k);

// What loading found besides the settings themselves.
struct SettingsLoad {
    bool FirstRun = false;             // the key did not exist and was created with defaults
    QString DbPath;                    // the stored Bas; empty when none
    Status StoreStatus = Status::Ok(); // first failed write, if any; the settings still apply
};

// Reads the settings into settings (which holds the items' initial states), creating the key
// with the defaults on the first run. On the first run Bas is the database found by
// FindFirstRunDatabase(programDir). Missing Kom/Pov/Mas/Err/Tre/Otv are written as 0 and
// leave the item as it was; a missing Rnd or Sta, and a Tim missing or outside 1..6, take the
// first-run default (Rnd/Sta 1, Tim 4) and are written back.
SettingsLoad LoadSettings(SettingsStore& store, Settings& settings, const QString& programDir);

// The user set the item to checked (or not): the live setting follows and the value is
// written (Tre/Otv inverted). A failed write leaves the live setting changed.
Status SetSetting(SettingsStore& store, Settings& settings, SettingItem item, bool checked);

// The user chose exam time item k (1..6): ExamTime follows and Tim := k is written.
// Any other k changes nothing.
Status ChooseExamTime(SettingsStore& store, Settings& settings, int k);

// The learner set the exam day (an invalid date clears it): ExamDate follows and Ekz is written
// ("yyyy-MM-dd", empty for none).
Status SetExamDate(SettingsStore& store, Settings& settings, const QDate& date);

// The learner set the daily review goal, limited to 1..800: DailyGoal follows and Vop is written.
Status SetDailyGoal(SettingsStore& store, Settings& settings, int goal);

// The database a first run uses: "dataAB.dbv" in the folder, else "dataCD.dbv", else empty.
QString FindDatabaseInFolder(const QString& folder);

// The database a first run uses: the one in the program folder, else the one installed in
// ../share/biletoria relative to it; empty when neither holds one.
QString FindFirstRunDatabase(const QString& programDir);

// The integer values of the store for the live settings, by name ("Rnd" .. "Mas", Tre and Otv
// inverted, then "Tim"): what a progress file carries.
std::vector<std::pair<QString, int32_t>> StoredSettingValues(const Settings& settings);

// Writes the given integer values (names as above; unknown names are skipped) in one flush and
// lets the live settings follow them as the loader would read them. The live settings follow
// even when the flush fails, as they do after a failed write of a menu item.
Status RestoreSettingValues(SettingsStore& store, Settings& settings,
                            const std::vector<std::pair<QString, int32_t>>& values);

// Stores the database path (Bas): the chosen database, or empty after a damaged one.
Status StoreDatabasePath(SettingsStore& store, const QString& path);

} // namespace bil
