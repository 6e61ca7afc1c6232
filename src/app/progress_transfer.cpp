// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/progress_transfer.h"

#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/file_commit.h"
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

Status RestoreProgress(AppState& app, const ProgressFile& progress) {
    if (!app.services.store)
        return Status::Error(QStringLiteral("Нет хранилища настроек"));
    SettingsStore& store = *app.services.store;

    // Both new files lie complete beside the old ones before anything changes: a full disk
    // shows here. The statistics file is the whole file as saved, the tail included.
    FileSet files(app.AppDataDir);
    if (Result<int> stats = files.addFile(StatFilePath(app.AppDataDir), progress.StatBytes); !stats)
        return stats.status();
    if (Result<int> themes = files.addFile(ThemeFilePath(app.AppDataDir), progress.ThemeBytes);
        !themes)
        return themes.status();

    const Settings oldConfig = app.Config;
    const auto putSettingsBack = [&] {
        RestoreSettingValues(store, app.Config, StoredSettingValues(oldConfig));
        app.Config = oldConfig;
    };
    if (Status settings = RestoreSettingValues(store, app.Config, progress.Settings); !settings) {
        putSettingsBack();
        return settings;
    }
    if (Status placed = files.commit(); !placed) {
        putSettingsBack();
        return placed;
    }

    app.Stats = ParseStats(progress.StatBytes);
    std::copy_n(progress.ThemeBytes.constData(), QuestionCount, app.Themes.QuestionTheme.begin());
    std::copy_n(progress.ThemeBytes.constData() + QuestionCount, QuestionCount,
                app.Themes.DifficultyMark.begin());
    // Both files now hold what memory holds.
    app.Saves.Stats.markSaved();
    app.Saves.Themes.markSaved();
    return Status::Ok();
}

} // namespace bil
