// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/save_guard.h"

#include "app/app_state.h"
#include "app/platform.h"
#include "data/themes.h"
#include "stats/answer_journal.h"
#include "stats/stat_file.h"

namespace bil {

Status SaveGuard::save(const std::function<Status()>& write, Prompter* prompter) {
    Status st = write ? write() : Status::Ok();
    if (st) {
        m_failing = false;
        return st;
    }
    if (!m_failing && prompter)
        prompter->warn(warning(st.message()));
    m_failing = true;
    return st;
}

Status SaveGuard::saveAtClose(const std::function<Status()>& write, Prompter* prompter) {
    Status st = write ? write() : Status::Ok();
    m_failing = !st.ok();
    if (!st && prompter)
        prompter->warn(QStringLiteral("Не удалось сохранить %1 при закрытии программы.\n%2\n\n"
                                      "Изменения после последнего удачного сохранения будут "
                                      "потеряны. Проверьте, есть ли место на диске и разрешена "
                                      "ли запись в папку.")
                           .arg(m_what, st.message()));
    return st;
}

QString SaveGuard::warning(const QString& reason) const {
    return QStringLiteral("Не удалось сохранить %1.\n%2\n\nПрограмма продолжит работу: "
                          "изменения остаются в памяти и будут записаны при следующем сохранении. "
                          "Проверьте, есть ли место на диске и разрешена ли запись в папку.")
        .arg(m_what, reason);
}

Status SaveAtStatsPoint(SaveGuards& guards, const std::function<Status()>& writeStats,
                        const std::function<Status()>& writeThemes, Prompter* prompter) {
    if (guards.Themes.failing() && writeThemes)
        guards.Themes.save(writeThemes, prompter);
    if (!writeStats)
        return Status::Ok();
    return guards.Stats.save(writeStats, prompter);
}

Status SaveStatsGuarded(AppState& app) {
    Status saved = SaveAtStatsPoint(
        app.Saves, [&app] { return SaveStats(StatFilePath(app.AppDataDir), app.Stats); },
        [&app] { return SaveThemeFile(app.Themes, app.AppDataDir); }, app.services.prompter);
    // The journal's answers reach the disk with the counts they belong to.
    FlushJournal(app);
    return saved;
}

Status SaveAtClose(AppState& app) {
    if (app.Saves.Themes.failing())
        app.Saves.Themes.saveAtClose([&app] { return SaveThemeFile(app.Themes, app.AppDataDir); },
                                     app.services.prompter);
    return app.Saves.Stats.saveAtClose(
        [&app] { return SaveStats(StatFilePath(app.AppDataDir), app.Stats); },
        app.services.prompter);
}

Status SaveThemesGuarded(AppState& app) {
    return app.Saves.Themes.save([&app] { return SaveThemeFile(app.Themes, app.AppDataDir); },
                                 app.services.prompter);
}

} // namespace bil
