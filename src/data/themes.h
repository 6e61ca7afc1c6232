#pragma once

#include "data/numbering.h"
#include "data/status.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace bil {

class Database;

constexpr int MaxHelpLinks = 9;

// One rule reference of a comment: "Пункт 8.1" -> "pdd8.html#p8.1".
struct HelpLink {
    QString LinkCaption; // at most 20 characters
    QString LinkTopic;   // at most 20 characters
};

// Themes, difficulty marks (tema4.dat) and help links of the 800 questions.
struct ThemeTable {
    std::array<uint8_t, QuestionCount> QuestionTheme{};  // index n-1: theme 1..26 (0: none)
    std::array<uint8_t, QuestionCount> DifficultyMark{}; // index n-1: 0 undetermined, 1 hard, 2 easy
    std::array<std::array<HelpLink, MaxHelpLinks>, QuestionCount> HelpLinks{};
    std::array<int, QuestionCount> HelpLinkCount{};

    uint8_t& theme(int number) { return QuestionTheme[number - 1]; }
    uint8_t theme(int number) const { return QuestionTheme[number - 1]; }
    uint8_t& mark(int number) { return DifficultyMark[number - 1]; }
    uint8_t mark(int number) const { return DifficultyMark[number - 1]; }
};

} // namespace bil
