// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/run_request.h"
#include "data/numbering.h"
#include "data/themes.h"
#include "stats/stat_record.h"

#include <QString>

#include <array>
#include <cstdint>

namespace bil {

class RandomSource;

// Result status of a catalogue entry; it is also the entry's icon index.
enum CatalogueStatus : int {
    StatusNotDone = 0,
    StatusExamPass = 1,
    StatusErrors = 2,
    StatusTrainingPass = 3,
    StatusLearned = 4,
};
constexpr int StatusIconCount = 5;
constexpr int TicketTabIcon = 5; // icon of the ticket catalogue's tab
constexpr int ThemeTabIcon = 6;  // icon of the theme catalogue's tab
constexpr int CatalogueIconCount = 7;

// Tooltip of a status ("Не пройден" ...); empty for a value that is no status.
QString StatusTooltip(int status);
// "Билет №01" .. "Билет №40".
QString TicketCaption(int ticket);

// Status of theme 1..26 from the three channel scores of its questions. A theme without any
// question reaches every score and so shows "Сдано при экзамене" (1).
int ThemeStatus(const TStatRecord& stats, const ThemeTable& themes, int theme);
std::array<int, ThemeCount> ThemeStatuses(const TStatRecord& stats, const ThemeTable& themes);

// The progress picture: percentage from the ticket statuses and the picture index 0..21.
struct Progress {
    double Percent = 0.0;
    int Picture = 0;
    bool Congratulate = false; // 100 % reached: the congratulation label blinks
};
Progress ComputeProgress(const TStatRecord& stats);

// The congratulation blink: 51 ticks of 100 ms, each toggling the label.
struct CongratulationBlink {
    static constexpr int LastTick = 51;
    bool Enabled = false;
    int Ticks = 0;
    bool LabelVisible = false;

    void start() {
        Enabled = true;
        Ticks = 0;
    }
    void stop() {
        Enabled = false;
        LabelVisible = false;
    }
    void tick() {
        if (!Enabled)
            return;
        ++Ticks;
        if (Ticks >= LastTick)
            Enabled = false;
        LabelVisible = !LabelVisible;
    }
};

// Draws the training ticket among the tickets not passed (icon other than 1) and not yet
// drawn; when none is left, clears every drawn flag and draws from all 40. Marks it drawn.
int DrawTrainingTicket(const std::array<int, TicketCount>& ticketIcons,
                       std::array<uint8_t, TicketCount>& drawn, RandomSource& random);

// Check marks of the 20 preparation positions (bit p-1 = position p) for a stored mask; a mask
// without any of the 20 positions means all of them, so a run never has an empty selection.
uint32_t PrepChecksFromMask(int32_t prepPositions);
// The mask stored for a set of check marks (0 when nothing is ticked).
int32_t PrepMaskFromChecks(uint32_t checks);
constexpr uint32_t AllPrepPositions = 0xFFFFF;

// Commands of the catalogue keyboard.
enum class CatalogueCommand {
    None,
    Learning,
    Preparation,
    Training,
    Exam,
    Review, // «Повторение», key 5
    OtherPage,
    Statistics,
    Settings,
    Help,
};
// The command of a key press (Qt key code and its text), in the Latin or the Russian layout.
CatalogueCommand CatalogueKeyCommand(int key, const QString& text);

// The learning button's run over the selected theme or ticket (selectedRow -1 for none); without
// a selection, the hint to show instead (and request is left as it was).
QString LearningRun(bool themePage, int selectedRow, RunRequest& request);
// The training button's run over a ticket drawn as DrawTrainingTicket does.
RunRequest TrainingRun(const std::array<int, TicketCount>& ticketIcons, RunLaunch& launch,
                       RandomSource& random);
// The exam button: a new exam.
void LaunchExam(RunLaunch& launch);

} // namespace bil
