// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/numbering.h"
#include "data/status.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

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
    std::array<uint8_t, QuestionCount> QuestionTheme{}; // index n-1: theme 1..26 (0: none)
    std::array<uint8_t, QuestionCount>
        DifficultyMark{}; // index n-1: 0 undetermined, 1 hard, 2 easy
    std::array<std::array<HelpLink, MaxHelpLinks>, QuestionCount> HelpLinks{};
    std::array<int, QuestionCount> HelpLinkCount{};

    uint8_t& theme(int number) { return QuestionTheme[number - 1]; }
    uint8_t theme(int number) const { return QuestionTheme[number - 1]; }
    uint8_t& mark(int number) { return DifficultyMark[number - 1]; }
    uint8_t mark(int number) const { return DifficultyMark[number - 1]; }
};

// Name of theme 1..26 ("Знаки"); empty for any other number.
const QString& ThemeNames(int theme);

// Theme of every question of the official set: [ticket - 1][position - 1].
extern const std::array<std::array<uint8_t, TicketSize>, TicketCount> DefaultQuestionTheme;
// DefaultQuestionTheme of question 1..800.
inline uint8_t DefaultThemeOf(int number) {
    return DefaultQuestionTheme[TicketOf(number) - 1][PositionOf(number) - 1];
}

// Help links of one comment, at most MaxHelpLinks, in the order the references appear.
std::vector<HelpLink> BuildHelpLinks(const QString& comment);

// Comment of question 1..800, or why it cannot be read.
using CommentSource = std::function<Result<QString>(int number)>;

// Path of the theme file in the application-data folder.
QString ThemeFilePath(const QString& appDataDir);

// Fills themes and marks from tema4.dat; when the file is missing, takes the default themes
// with zero marks and writes the file at once. On failure the table is unchanged.
Status LoadThemeFile(ThemeTable& table, const QString& appDataDir);

// Replaces the help links of all 800 questions; a question whose comment cannot be read gets none.
void BuildAllHelpLinks(ThemeTable& table, const CommentSource& commentOf);

// The start-up build: theme file, then the help links of the open database's comments.
// On failure the table is unchanged.
Status LoadThemeTable(ThemeTable& table, const Database& db, const QString& appDataDir);

// Rewrites tema4.dat whole (800 theme bytes, then 800 mark bytes); a crash keeps the old file.
Status SaveThemeFile(const ThemeTable& table, const QString& appDataDir);

} // namespace bil
