// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "data/dataset_import.h"
#include "data/release_diff.h"
#include "data/status.h"
#include "stats/stat_record.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace bil {

class Prompter;

// Whether two database titles are releases of one set: they name the same categories (single
// letters A..D, Latin or Cyrillic); titles that name none are compared without their digits.
bool SameTitleFamily(const QString& a, const QString& b);

// The learner's progress as it goes over to a new release.
struct CarriedProgress {
    TStatRecord Stats{};
    std::array<uint8_t, QuestionCount> Themes{};
    std::array<uint8_t, QuestionCount> Marks{};
};

// Counts of all three channels, the difficulty mark and the theme of a question go with it to
// its number in the new release; changed and new questions start from zero with the theme the
// built-in table gives their number. A ticket keeps its status only when its 20 questions are
// all unchanged at their places. The preparation choice and the reserved values stay.
CarriedProgress CarryProgress(const ReleaseDiff& diff, const TStatRecord& stats,
                              const std::array<uint8_t, QuestionCount>& themes,
                              const std::array<uint8_t, QuestionCount>& marks);

// What the learner had when an import began, taken on the program's thread so that the
// comparison can run on the import's.
struct ReleaseBase {
    QString DbPath;
    QString Title;
    std::optional<QuestionPrints> Prints; // none: the open database cannot be read whole
    TStatRecord Stats{};
    std::array<uint8_t, QuestionCount> Themes{};
    std::array<uint8_t, QuestionCount> Marks{};
    ReleaseHistory History;
};
ReleaseBase CaptureReleaseBase(AppState& state);

// The comparison of the open database with a new release of it, and the progress it leads to.
struct ReleasePlan {
    QString Title; // of the new release
    ReleaseDiff Diff;
    CarriedProgress Progress;
    ReleaseStep Step; // for the history of releases
};

// Compares the open database with the database file newDbPath. Nothing (no plan) when the new
// one is not another release of the same set: other categories, not one question in common,
// or the very same questions.
Result<std::optional<ReleasePlan>> PlanReleaseUpdate(const ReleaseBase& base,
                                                     const QString& newDbPath);

// «Изменилось вопросов: 12, переставлено: 3; результаты по остальным 785 сохранятся»
QString ReleaseSummaryText(const ReleaseDiff& diff);
// One line per question that is not the same at its place: ticket, position, what changed.
QString ReleaseDetailsText(const ReleaseDiff& diff);
// Asks whether to take the new release with the progress carried over; «Нет» is the default.
bool AskReleaseUpdate(Prompter& prompter, const ReleasePlan& plan);

// The learner declined the new release: the import ends and the old databases stay.
inline const QString ReleaseDeclinedMessage = QStringLiteral(
    "Новый выпуск билетов не загружен: остались прежние базы вопросов и результаты.");

// Between an import's preparing and its commit: the plan the learner agreed to, if any.
struct ReleaseCarry {
    std::optional<ReleasePlan> Plan;
};

// The program's import of the databases, to run with RunDataSetImport: the databases step, then
// a step that compares the new database of the chosen categories with the open one and, for a
// new release of it, asks through ask (called on the import's thread: the caller brings the
// question to the program's) and stages the carried statistics and theme file into the same
// set as the databases, so that a failure or a kill leaves all old or all new. Further steps
// (the help) may be appended.
struct ReleaseImport {
    std::vector<ImportStep> Steps;
    std::shared_ptr<ReleaseCarry> Carry; // the plan, once staged; used when the import succeeded
};
ReleaseImport MakeReleaseImport(const ReleaseBase& base, const QString& appDataDir,
                                const QString& folder, bool cd,
                                std::function<bool(const ReleasePlan&)> ask,
                                AskReplace askReplace = {});

// The program takes the new release in memory after its files were committed: the carried
// counts, themes and marks and the history of releases with the new step.
void AdoptCarriedProgress(AppState& state, const ReleasePlan& plan);

} // namespace bil
