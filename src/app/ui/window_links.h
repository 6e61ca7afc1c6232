// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/run_request.h"

#include <QUrl>

#include <functional>

namespace bil {

// What the main window asks of the windows it does not own. main.cpp fills these once all
// windows exist; an empty function means the window is not there and the request is ignored.
struct WindowLinks {
    // Shows the study window (TForm1) non-modally for a run.
    StudyLauncher showStudy;
    // Shows the exam window (TForm91) non-modally; it reads ExamStage.
    std::function<void()> showExam;
    // Shows the statistics window (TForm5) non-modally; page >= 0 switches to that page and
    // ticketIndex >= 0 selects that entry of its ticket list.
    std::function<void(int page, int ticketIndex)> showStatistics;
    // Refresh step 1: the statistics window goes to its first page.
    std::function<void()> statisticsFirstPage;
    // Refresh step 2: the move-to-theme dialog (TForm9) rebuilds its theme list.
    std::function<void()> refreshMoveThemeList;
    // Shows the search window ("Поиск вопросов") modally.
    std::function<void()> showSearch;
    // Opens a web address in the user's browser.
    std::function<void(const QUrl&)> openUrl;
};

// The statistics window's page with the per-ticket question lists ("Вопросы").
constexpr int StatisticsQuestionsPage = 3;

} // namespace bil
