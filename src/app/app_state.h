// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/settings.h"
#include "data/database.h"
#include "data/fingerprint.h"
#include "data/question_search.h"
#include "data/themes.h"
#include "stats/release_history.h"
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
class AnswerSink;

// Values shared between the windows that start runs and the exam; the study window's runs come
// as a RunRequest (app/run_request.h) instead.
struct RunLaunch {
    uint8_t ExamStage = 0;                           // 1 a new exam, 2 and 3 an additional block
    std::array<uint8_t, TicketCount> DrawnTickets{}; // tickets drawn by training since start
    int SkipMinimize = 0;                            // 1 = the next loss of focus does not minimise
};

// Services the rules need from outside; tests pass scripted ones.
struct Services {
    Prompter* prompter = nullptr;
    RandomSource* random = nullptr;
    HelpEngine* help = nullptr;
    SettingsStore* store = nullptr;
    Clock* clock = nullptr;        // null: the system clock (see ClockOf)
    AnswerSink* answers = nullptr; // the answer journal; null: answers are not journaled
};

// Choices other windows keep for the runs they start.
struct RunSources {
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
    // Without a trailing separator. Before start-up: the folder the program entry asks for
    // (empty: the default place); start-up makes it and keeps its full path.
    QString AppDataDir;
    QString ProgramDir; // folder of the executable
    Services services;
    SaveGuards Saves; // warn once per run of failed saves of each file
    // The open database's texts, folded for the search window.
    SearchIndex Search;
    // The open database's question fingerprints, computed when first needed.
    PrintCache Prints;
    // The releases the progress was carried across (releases.dat).
    ReleaseHistory Releases;
};

} // namespace bil
