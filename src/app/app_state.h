#pragma once

#include "app/settings.h"
#include "data/database.h"
#include "data/fingerprint.h"
#include "data/question_search.h"
#include "data/themes.h"
#include "stats/save_guard.h"
#include "stats/stat_record.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace bil {

class Prompter;
class RandomSource;
class HelpEngine;
class SettingsStore;
class Clock;

// Values a caller sets before showing the study or exam window; that window reads them.
struct RunLaunch {
    int TicketNo = 0;    // ticket 1..40 of the run
    int ThemeNo = 0;     // theme 1..26 of a theme run; 0 otherwise (1 for list runs)
    int RunKind = 0;     // 0 study run, 2 training; also the statistics channel
    int RunMode = 0;     // 0 learning, 1 preparation, 3..6 statistics lists, 7 exam review
    int RebuildList = 0; // 1 = the study window rebuilds its list
    int StartItem = 0;   // 0-based list item shown first
    uint8_t ExamStage = 0;
    std::array<uint8_t, TicketCount> DrawnTickets{}; // tickets drawn by training since start
    int SkipMinimize = 0;                            // 1 = the next loss of focus does not minimise
};

// Services the rules need from outside; tests pass scripted ones.
struct Services {
    Prompter* prompter = nullptr;
    RandomSource* random = nullptr;
    HelpEngine* help = nullptr;
    SettingsStore* store = nullptr;
    Clock* clock = nullptr; // null: the system clock (see ClockOf)
};

// What other windows hand to the study window for the runs they start.
struct RunSources {
    // The statistics window's lists for RunMode 3..6 (hard, undetermined, easy, difficult by
    // statistics), as question numbers in list order.
    std::array<std::vector<int>, 4> RepeatLists;
    QString RepeatScope = QStringLiteral("всех тем"); // "всех тем" or "темы " + theme name
    // The last exam, slot order: question numbers and whether each was answered right.
    int ExamLastSlot = 0; // 20, 25 or 30
    std::array<int, 30> ExamSlotNumber{};
    std::array<uint8_t, 30> ExamSlotRight{};
    std::array<uint8_t, 30> ExamSlotChosen{}; // answer button 1..5 chosen in the slot; 0 none
    // The search window's results for RunMode 8, question numbers in list order, and the query.
    std::vector<int> SearchList;
    QString SearchQuery;
    // The 20 position check marks of the preparation dialog (bit p-1 = position p ticked).
    uint32_t PrepChecks = 0xFFFFF;
};

// The clock of the services, or the system clock when none is set.
const Clock& ClockOf(const Services& services);

// The program's shared state, owned by the application and passed by reference.
struct AppState {
    Database Db;
    ThemeTable Themes;
    TStatRecord Stats{};
    Settings Config;
    RunLaunch Launch;
    RunSources Sources;
    QString AppDataDir; // without a trailing separator
    QString ProgramDir; // folder of the executable
    Services services;
    SaveGuards Saves; // warn once per run of failed saves of each file
    // The open database's texts, folded for the search window.
    SearchIndex Search;
    // The open database's question fingerprints, computed when first needed.
    PrintCache Prints;
};

} // namespace bil
