// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

namespace bil {

// The kinds of run the study window shows. A new run over a list of question numbers (a
// repetition chosen by the memory model, the questions changed by a new release) needs only its
// enum value and a named constructor that calls RunRequest::questionList: the study engine treats
// every kind it does not single out as a list run with its own window caption, counted in the
// learning channel, with no offer to go on to a next ticket or theme at its end.
enum class RunType {
    TicketLearning,   // the 20 questions of a ticket; also the review of a trained ticket
    ThemeLearning,    // every question of a theme, in number order
    Preparation,      // every question at the chosen positions once, in random order
    StatisticsList,   // one of the statistics window's four lists
    ExamReview,       // the slots of the last exam with their results
    SearchResults,    // the search window's results
    Training,         // a ticket against the clock, counted in the training channel
    ChangedQuestions, // the questions a new release changed or added (they start from zero)
    Review, // «Повторение»: what is being forgotten, then what the chance to pass needs
};

// An exam slot as its review shows it.
struct ReviewedAnswer {
    bool Right = false;
    int Chosen = 0; // answer button 1..5 chosen; 0 none
};

// What the study window is asked to run; built only through the named constructors.
struct RunRequest {
    RunType Type = RunType::TicketLearning;
    int Ticket = 0;               // ticket runs and training: ticket 1..40
    int Theme = 0;                // theme learning: theme 1..26
    int StartItem = 0;            // 0-based list item shown first
    bool KeepMarks = false;       // the list and its marks stay (the review of a trained ticket)
    uint32_t Positions = 0xFFFFF; // preparation: bit p-1 = position p chosen
    std::vector<int> Questions;   // list runs and the exam review: question numbers in list order
    std::vector<ReviewedAnswer> Answers; // exam review: one per entry of Questions
    QString Caption;                     // list runs: the window caption

    static RunRequest learnTicket(int ticket, int startItem = 0);
    static RunRequest learnTheme(int theme, int startItem = 0);
    static RunRequest preparation(uint32_t positions);
    static RunRequest training(int ticket);
    // The trained ticket again in learning mode, its list and marks kept.
    static RunRequest trainingReview(int ticket, int startItem);
    // List 0..3 of the statistics window (hard, undetermined, easy, difficult by statistics) over
    // scope ("всех тем" or "темы " + a theme name).
    static RunRequest statisticsList(int list, std::vector<int> numbers, const QString& scope);
    static RunRequest examReview(std::vector<int> numbers, std::vector<ReviewedAnswer> answers);
    // Learning over the search window's results for query, starting at result startItem.
    static RunRequest searchResults(std::vector<int> numbers, const QString& query, int startItem);
    // «Изменённые вопросы»: the questions of the last release update that start from zero.
    static RunRequest changedQuestions(std::vector<int> numbers);
    // «Повторение»: the day's review, its questions in the order they are to be asked.
    static RunRequest review(std::vector<int> numbers);
    // Any list run: the questions in list order under the given window caption.
    static RunRequest questionList(RunType type, std::vector<int> numbers, const QString& caption,
                                   int startItem = 0);

    // Statistics channel of the run's answers and seconds: 2 for training, 0 for the learning
    // family.
    int channel() const { return Type == RunType::Training ? 2 : 0; }
    // The run shows the positions of one ticket rather than a list of questions.
    bool byTicket() const { return Type == RunType::TicketLearning || Type == RunType::Training; }
    // The run's list is a list of questions the user may move to another theme.
    bool followsList() const { return !byTicket() && Type != RunType::Preparation; }
};

// Shows the study window for a run (modally or not, as the caller's owner decides).
using StudyLauncher = std::function<void(const RunRequest& request)>;

// The program's name at the start of the study window's captions.
extern const QString StudyAppCaption;

} // namespace bil
