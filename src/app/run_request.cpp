// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/run_request.h"

#include <algorithm>

namespace bil {

const QString StudyAppCaption = QStringLiteral("Билетория DER UZIRI");

RunRequest RunRequest::learnTicket(int ticket, int startItem) {
    RunRequest r;
    r.Type = RunType::TicketLearning;
    r.Ticket = ticket;
    r.StartItem = startItem;
    return r;
}

RunRequest RunRequest::learnTheme(int theme, int startItem) {
    RunRequest r;
    r.Type = RunType::ThemeLearning;
    r.Theme = theme;
    r.StartItem = startItem;
    return r;
}

RunRequest RunRequest::preparation(uint32_t positions) {
    RunRequest r;
    r.Type = RunType::Preparation;
    r.Positions = positions;
    return r;
}

RunRequest RunRequest::training(int ticket) {
    RunRequest r;
    r.Type = RunType::Training;
    r.Ticket = ticket;
    return r;
}

RunRequest RunRequest::trainingReview(int ticket, int startItem) {
    RunRequest r = learnTicket(ticket, startItem);
    r.KeepMarks = true;
    return r;
}

RunRequest RunRequest::statisticsList(int list, std::vector<int> numbers, const QString& scope) {
    static const QString prefixes[4] = {
        QStringLiteral("Билетория ПДД - Повторение сложных вопросов из "),
        QStringLiteral("Билетория ПДД - Обучение по вопросам неопределенной сложности из "),
        QStringLiteral("Билетория ПДД - Повторение легких вопросов из "),
        QStringLiteral("Билетория ПДД - Повторение трудных по статистике вопросов из "),
    };
    return questionList(RunType::StatisticsList, std::move(numbers),
                        prefixes[std::clamp(list, 0, 3)] + scope);
}

RunRequest RunRequest::changedQuestions(std::vector<int> numbers) {
    return questionList(RunType::ChangedQuestions, std::move(numbers),
                        StudyAppCaption + QStringLiteral(" - Изменённые вопросы"));
}

RunRequest RunRequest::examReview(std::vector<int> numbers, std::vector<ReviewedAnswer> answers) {
    RunRequest r;
    r.Type = RunType::ExamReview;
    answers.resize(numbers.size());
    r.Questions = std::move(numbers);
    r.Answers = std::move(answers);
    return r;
}

RunRequest RunRequest::searchResults(std::vector<int> numbers, const QString& query,
                                     int startItem) {
    return questionList(RunType::SearchResults, std::move(numbers),
                        StudyAppCaption + QStringLiteral(" - Поиск: ") + query, startItem);
}

RunRequest RunRequest::review(std::vector<int> numbers) {
    return questionList(RunType::Review, std::move(numbers),
                        StudyAppCaption + QStringLiteral(" - Повторение"));
}

RunRequest RunRequest::questionList(RunType type, std::vector<int> numbers, const QString& caption,
                                    int startItem) {
    RunRequest r;
    r.Type = type;
    r.Questions = std::move(numbers);
    r.Caption = caption;
    r.StartItem = startItem;
    return r;
}

} // namespace bil
