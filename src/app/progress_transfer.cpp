#include "app/progress_transfer.h"

#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/atomic_file.h"
#include "data/themes.h"
#include "stats/stat_file.h"

#include <QFile>

#include <algorithm>

namespace bil {

ProgressFile CollectProgress(const AppState& app, const QDateTime& now) {
    ProgressFile p;
    p.StatBytes = SerializeStats(app.Stats);
    QFile disk(StatFilePath(app.AppDataDir));
    if (disk.open(QIODevice::ReadOnly) && disk.size() > StatRecordSize &&
        disk.size() <= StatRecordSize + ProgressMaxStatTail && disk.seek(StatRecordSize))
        p.StatBytes += disk.readAll();
    p.ThemeBytes.reserve(2 * QuestionCount);
    p.ThemeBytes.append(reinterpret_cast<const char*>(app.Themes.QuestionTheme.data()),
                        QuestionCount);
    p.ThemeBytes.append(reinterpret_cast<const char*>(app.Themes.DifficultyMark.data()),
                        QuestionCount);
    p.Settings = StoredSettingValues(app.Config);
    p.ProgramVersion = QStringLiteral(BILETORIA_VERSION);
    p.DatabaseTitle = app.Db.DbTitle();
    p.Saved = now.toUTC();
    return p;
}

RestoreReport RestoreProgress(AppState& app, const ProgressFile& progress) {
    RestoreReport report;
    Prompter* prompter = app.services.prompter;

    app.Stats = ParseStats(progress.StatBytes);
    // The whole file as saved, tail included, the way the statistics file keeps its tail.
    const QString statPath = StatFilePath(app.AppDataDir);
    report.Stats = app.Saves.Stats.save(
        [&] { return WriteFileAtomically(statPath, progress.StatBytes); }, prompter);

    std::copy_n(progress.ThemeBytes.constData(), QuestionCount, app.Themes.QuestionTheme.begin());
    std::copy_n(progress.ThemeBytes.constData() + QuestionCount, QuestionCount,
                app.Themes.DifficultyMark.begin());
    report.Themes = SaveThemesGuarded(app);

    if (app.services.store)
        report.Settings = RestoreSettingValues(*app.services.store, app.Config, progress.Settings);
    else
        report.Settings = Status::Error(QStringLiteral("Нет хранилища настроек"));
    return report;
}

} // namespace bil
