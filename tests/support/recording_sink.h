// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "stats/answer_journal.h"

#include <vector>

namespace bil::test {

// Keeps what the engines journal, and counts the save points that flushed it.
class RecordingSink final : public AnswerSink {
public:
    std::vector<JournalEntry> entries;
    int flushes = 0;
    void record(const JournalEntry& entry) override { entries.push_back(entry); }
    Status flush() override {
        ++flushes;
        return Status::Ok();
    }
    const std::vector<JournalEntry>& recorded() const override { return entries; }
};

} // namespace bil::test
