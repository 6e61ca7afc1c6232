// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/numbering.h"
#include "data/themes.h"
#include "stats/stat_record.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

namespace bil {

struct RunLaunch;
struct RunSources;

// Which counts the statistics window uses: the sum of the three channels or one of them.
constexpr int AllChannels = -1;

// Right, wrong and seconds of one question (or a sum of questions) by the channel selection.
struct Figures {
    int64_t Right = 0;
    int64_t Wrong = 0;
    int64_t Seconds = 0;
};

// R(q), W(q), S(q): channel 0..2, or AllChannels for the sum of the three.
Figures QuestionFigures(const TStatRecord& stats, int number, int channel);

// Colour role of a rating bar.
enum class RatingRole { Plain, Best, Worst };

// Everything the charts of tickets and themes draw, rebuilt from the record at each show.
struct TicketFigures {
    std::array<Figures, TicketCount> Ticket{}; // index t-1
    std::array<double, TicketCount> Rating{};  // (R-W)/S, 0 when S is 0 or the balance negative
    int Best = 0;                              // ticket 1..40 with the greatest rating; 0 none
    int Worst = 0;                             // ticket with the smallest non-zero rating; 0 none
    std::array<int64_t, ThemeCount> ThemeRight{}; // index k-1, by the current theme
    std::array<int64_t, ThemeCount> ThemeWrong{};

    double bestRating() const { return Best ? Rating[Best - 1] : 0.0; }
    // Bars of the rating chart: rating / best * 100 per ticket; empty when there is no best.
    std::vector<double> ratingBars() const;
    // Colour of ticket t's rating bar; a ticket both best and worst keeps the plain colour.
    RatingRole ratingRole(int ticket) const;
    // Wrong and right percentages of theme k; both 0 for a theme without answers.
    double themeWrongPercent(int theme) const;
    double themeRightPercent(int theme) const;
};

TicketFigures ComputeTicketFigures(const TStatRecord& stats, const ThemeTable& themes, int channel);

// The overall level of preparation, always from the exam channel.
struct PreparationLevel {
    double Quality = 0;
    double Speed = 0;
    double Level = 0;
    int AnswersMissing = 0; // exam answers still needed before a level is given
};

// Minimum exam answers before a level is given.
constexpr int LevelMinAnswers = 60;

PreparationLevel ComputeLevel(const TStatRecord& stats);

// Why the level is still 0 %: how many exam answers are missing; empty when none is.
QString LevelWaitText(int answersMissing);

// A pie's label: value * 100 rounded to the nearest integer, halves to even, then "%".
QString PercentLabel(double value);

// Criteria of the "hard by statistics" list.
enum class Criterion {
    Trouble = 0,  // more errors than right answers
    Hard = 1,     // errors at least as many as right answers, and some errors
    WithError = 2 // any error
};

bool CriterionPicks(Criterion criterion, int64_t right, int64_t wrong);

// The lists of the analysis tab, as question numbers in ticket and position order.
struct AnalysisLists {
    std::vector<int> Hard;         // mark 1 (red)
    std::vector<int> Undetermined; // mark 0 (yellow)
    std::vector<int> Easy;         // mark 2 (green)
    std::vector<int> Difficult;    // picked by the criterion
    QStringList Theory;            // help-link captions of the difficult ones, sorted, unique
};

// theme: 0 for every question, else 1..26 compared with the built-in theme of each question
// (a question the learner moved still counts where the official set puts it).
AnalysisLists BuildAnalysis(const TStatRecord& stats, const ThemeTable& themes, int channel,
                            int theme, Criterion criterion);

// "Б12 В3" for ticket 12, position 3.
QString QuestionTag(int number);
// The question number of a tag, or 0 when the text is not a tag of a question 1..800.
int ParseQuestionTag(const QString& tag);
// Question numbers of tags in order; texts that are not tags are left out.
std::vector<int> ParseQuestionTags(const QStringList& tags);

// Scope text of a repetition run's caption: "всех тем" for theme 0, else "темы " + name.
QString RepeatScope(int theme);

// printf-like number forms with the locale's decimal separator: %g (shortest, up to 15
// significant digits) and %f (fixed, two decimals).
QString FormatGeneral(double value, const QLocale& locale);
QString FormatFixed2(double value, const QLocale& locale);

// Texts of the chart clicks; index1 is the 1-based question position.
QString QuestionTimeMessage(int index1, double seconds, const QLocale& locale);
QString QuestionRightMessage(int index1, double count, const QLocale& locale);
QString QuestionWrongMessage(int index1, double count, const QLocale& locale);
QString ThemeRightMessage(const QString& theme, double percent, const QLocale& locale);
QString ThemeWrongMessage(const QString& theme, double percent, const QLocale& locale);

} // namespace bil
