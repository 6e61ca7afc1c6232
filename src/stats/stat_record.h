#pragma once

#include "data/numbering.h"
#include "data/status.h"

#include <QString>

#include <array>
#include <cstdint>

namespace bil {

// Channel of a count: 0 learning family, 1 exam, 2 training.
enum StatChannel : int { ChannelLearning = 0, ChannelExam = 1, ChannelTraining = 2 };
constexpr int ChannelCount = 3;

// Per-question counters, 20 bytes on disk.
struct TQuestionStat {
    std::array<uint8_t, ChannelCount> Right{};
    std::array<uint8_t, ChannelCount> Wrong{};
    std::array<uint8_t, 2> Reserved{};
    std::array<int32_t, ChannelCount> Seconds{};
};

// The learner's whole progress; stat.dat holds exactly this record (16176 bytes, little-endian).
struct TStatRecord {
    std::array<int32_t, 2> Reserved0{};
    std::array<int32_t, TicketCount> TicketStatus{}; // index t-1: 0 not done, 1 passed, 2 failed, 4 learned
    int32_t Reserved168 = 0;                         // never touched by any operation
    int32_t PrepPositions = 0;                       // bit p-1: position p chosen; 0 = all
    std::array<TQuestionStat, QuestionCount> QuestionStats{}; // index n-1

    TQuestionStat& question(int number) { return QuestionStats[number - 1]; }
    const TQuestionStat& question(int number) const { return QuestionStats[number - 1]; }
};

constexpr int StatRecordSize = 16176;

} // namespace bil
