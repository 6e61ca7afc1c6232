// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/catalogue.h"

#include "app/platform.h"

#include <Qt>

#include <cmath>
#include <vector>

namespace bil {

QString StatusTooltip(int status) {
    switch (status) {
    case StatusNotDone:
        return QStringLiteral("Не пройден");
    case StatusExamPass:
        return QStringLiteral("Сдано при экзамене");
    case StatusErrors:
        return QStringLiteral("Допущены ошибки");
    case StatusTrainingPass:
        return QStringLiteral("Сдано при тренировке");
    case StatusLearned:
        return QStringLiteral("Пройден при обучении");
    default:
        return {};
    }
}

QString TicketCaption(int ticket) {
    return QStringLiteral("Билет №%1").arg(ticket, 2, 10, QLatin1Char('0'));
}

int ThemeStatus(const TStatRecord& stats, const ThemeTable& themes, int theme) {
    int count = 0;
    std::array<int, ChannelCount> score{};
    for (int n = 1; n <= QuestionCount; ++n) {
        if (themes.theme(n) != theme)
            continue;
        ++count;
        const TQuestionStat& q = stats.question(n);
        for (int c = 0; c < ChannelCount; ++c) {
            if (q.Right[c] == 0 && q.Wrong[c] == 0)
                continue;
            score[c] += q.Wrong[c] <= q.Right[c] ? 1 : -1;
        }
    }
    // Later rules override earlier ones.
    int status = StatusNotDone;
    if (score[ChannelLearning] >= count)
        status = StatusLearned;
    if (score[ChannelExam] >= count)
        status = StatusTrainingPass;
    if (score[ChannelTraining] >= count)
        status = StatusExamPass;
    return status;
}

std::array<int, ThemeCount> ThemeStatuses(const TStatRecord& stats, const ThemeTable& themes) {
    std::array<int, ThemeCount> result{};
    for (int k = 1; k <= ThemeCount; ++k)
        result[k - 1] = ThemeStatus(stats, themes, k);
    return result;
}

Progress ComputeProgress(const TStatRecord& stats) {
    double p = 0.0;
    for (int32_t status : stats.TicketStatus) {
        if (status == StatusExamPass)
            p += 1.0;
        else if (status == StatusErrors)
            p -= 2.0;
    }
    p = p / TicketCount * 100.0;
    if (p < 0)
        p = 0;
    // Nearest integer with halves to the even neighbour.
    const double q = p / 5.0;
    const double lower = std::floor(q);
    const double frac = q - lower;
    int i = static_cast<int>(lower);
    if (frac > 0.5 || (frac == 0.5 && i % 2 != 0))
        ++i;
    if (i > 21) {
        p = 105;
        i = 21;
    }
    return Progress{p, i, p >= 100.0};
}

int DrawTrainingTicket(const std::array<int, TicketCount>& ticketIcons,
                       std::array<uint8_t, TicketCount>& drawn, RandomSource& random) {
    std::vector<int> candidates;
    for (int t = 1; t <= TicketCount; ++t) {
        if (ticketIcons[t - 1] != StatusExamPass && drawn[t - 1] == 0)
            candidates.push_back(t);
    }
    int ticket;
    if (!candidates.empty()) {
        ticket = candidates[random.below(static_cast<int>(candidates.size()))];
    } else {
        drawn.fill(0);
        ticket = random.below(TicketCount) + 1;
    }
    drawn[ticket - 1] = 1;
    return ticket;
}

uint32_t PrepChecksFromMask(int32_t prepPositions) {
    const uint32_t checks = static_cast<uint32_t>(prepPositions) & AllPrepPositions;
    return checks == 0 ? AllPrepPositions : checks;
}

int32_t PrepMaskFromChecks(uint32_t checks) {
    return static_cast<int32_t>(checks & AllPrepPositions);
}

CatalogueCommand CatalogueKeyCommand(int key, const QString& text) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        return CatalogueCommand::Learning;
    if (key == Qt::Key_Escape)
        return CatalogueCommand::OtherPage;
    if (text.size() != 1)
        return CatalogueCommand::None;
    switch (text.at(0).unicode()) {
    case u'1':
        return CatalogueCommand::Learning;
    case u'2':
        return CatalogueCommand::Preparation;
    case u'3':
        return CatalogueCommand::Training;
    case u'4':
        return CatalogueCommand::Exam;
    case u'5':
        return CatalogueCommand::Review;
    case u'z':
    case u'Z':
    case u'я':
    case u'Я':
        return CatalogueCommand::Statistics;
    case u'x':
    case u'X':
    case u'ч':
    case u'Ч':
        return CatalogueCommand::Settings;
    case u'h':
    case u'H':
    case u'р':
    case u'Р':
        return CatalogueCommand::Help;
    default:
        return CatalogueCommand::None;
    }
}

QString LearningRun(bool themePage, int selectedRow, RunRequest& request) {
    if (selectedRow < 0)
        return themePage ? QStringLiteral(
                               "Для работы в этом режиме необходимо выбрать тему из каталога...")
                         : QStringLiteral(
                               "Для работы в этом режиме необходимо выбрать билет из каталога...");
    request = themePage ? RunRequest::learnTheme(selectedRow + 1)
                        : RunRequest::learnTicket(selectedRow + 1);
    return {};
}

RunRequest TrainingRun(const std::array<int, TicketCount>& ticketIcons, RunLaunch& launch,
                       RandomSource& random) {
    return RunRequest::training(DrawTrainingTicket(ticketIcons, launch.DrawnTickets, random));
}

void LaunchExam(RunLaunch& launch) {
    launch.ExamStage = 1;
}

} // namespace bil
