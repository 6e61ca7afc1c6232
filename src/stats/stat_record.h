// SPDX-License-Identifier: GPL-3.0-or-later
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
    std::array<int32_t, TicketCount>
        TicketStatus{};        // index t-1: 0 not done, 1 passed, 2 failed, 4 learned
    int32_t Reserved168 = 0;   // never touched by any operation
    int32_t PrepPositions = 0; // bit p-1: position p chosen; 0 = all
    std::array<TQuestionStat, QuestionCount> QuestionStats{}; // index n-1

    TQuestionStat& question(int number) { return QuestionStats[number - 1]; }
    const TQuestionStat& question(int number) const { return QuestionStats[number - 1]; }
};

// Byte layout of the record in stat.dat; the file code reads and writes these offsets
// explicitly, so the in-memory layout never has to match.
constexpr int StatReserved0Offset = 0;
constexpr int StatTicketStatusOffset = 8; // ticket t at 8 + 4(t-1)
constexpr int StatReserved168Offset = 168;
constexpr int StatPrepPositionsOffset = 172;
constexpr int StatQuestionsOffset = 176; // question n at 176 + 20(n-1)
constexpr int StatQuestionSize = 20;
constexpr int StatRightOffset = 0; // within a question entry, one byte per channel
constexpr int StatWrongOffset = 3;
constexpr int StatSecondsOffset = 8; // int32 per channel
constexpr int StatRecordSize = 16176;
constexpr int StatCounterMax = 255; // Right/Wrong are single bytes on disk

static_assert(StatTicketStatusOffset == StatReserved0Offset + 2 * 4);
static_assert(StatReserved168Offset == StatTicketStatusOffset + TicketCount * 4);
static_assert(StatPrepPositionsOffset == StatReserved168Offset + 4);
static_assert(StatQuestionsOffset == StatPrepPositionsOffset + 4);
static_assert(StatWrongOffset == StatRightOffset + ChannelCount);
static_assert(StatSecondsOffset + ChannelCount * 4 == StatQuestionSize);
static_assert(StatQuestionsOffset + QuestionCount * StatQuestionSize == StatRecordSize);
// The memory record mirrors the file on every supported compiler; nothing depends on it.
static_assert(sizeof(TQuestionStat) == StatQuestionSize);
static_assert(sizeof(TStatRecord) == StatRecordSize);

} // namespace bil
