// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/progress_transfer.h"

#include "app/release_update.h"
#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/file_commit.h"
#include "data/release_diff.h"
#include "data/themes.h"
#include "stats/answer_journal.h"
#include "stats/stat_file.h"

#include <QFile>

#include <algorithm>

namespace bil {

namespace {

// The journal as the sink has it, else as the data folder holds it, else an empty one.
QByteArray JournalNow(AppState& app) {
    QByteArray bytes = app.services.answers ? app.services.answers->journalBytes() : QByteArray();
    if (bytes.isEmpty()) {
        QFile disk(JournalFilePath(app.AppDataDir));
        if (disk.open(QIODevice::ReadOnly) && disk.size() <= ProgressMaxJournal)
            bytes = disk.readAll();
    }
    return bytes.startsWith(JournalMagic) ? bytes : JournalBytes({});
}

} // namespace

ProgressFile CollectProgress(AppState& app, const QDateTime& now) {
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
    if (const Result<QuestionPrints> prints = app.Prints.prints(app.Db)) {
        p.Prints = *prints;
        p.SetPrint = SetFingerprint(*prints);
    }
    p.Journal = JournalNow(app);
    return p;
}

ProgressMatch MatchProgress(const ProgressFile& progress, const Result<QuestionPrints>& open) {
    ProgressMatch match;
    if (!progress.Prints || !open || SetFingerprint(*open) == progress.SetPrint)
        return match;
    match.Pairing = PairReleases(*progress.Prints, *open);
    match.Restored = match.Pairing.Unchanged + match.Pairing.Moved;
    match.Unmatched = QuestionCount - match.Restored;
    match.What = match.Restored > 0 ? ProgressMatch::Kind::ByPrint : ProgressMatch::Kind::Foreign;
    return match;
}

ProgressFile MapProgress(const ProgressFile& progress, const ProgressMatch& match) {
    // The same rule as the import of a new release carries the learner's progress by.
    std::array<uint8_t, QuestionCount> themes{}, marks{};
    std::copy_n(progress.ThemeBytes.constData(), QuestionCount, themes.begin());
    std::copy_n(progress.ThemeBytes.constData() + QuestionCount, QuestionCount, marks.begin());
    const CarriedProgress carried =
        CarryProgress(match.Pairing, ParseStats(progress.StatBytes), themes, marks);
    ProgressFile mapped = progress;
    mapped.StatBytes = SerializeStats(carried.Stats) + progress.StatBytes.mid(StatRecordSize);
    mapped.ThemeBytes =
        QByteArray(reinterpret_cast<const char*>(carried.Themes.data()), QuestionCount) +
        QByteArray(reinterpret_cast<const char*>(carried.Marks.data()), QuestionCount);
    return mapped;
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
    if (progress.Journal)
        if (Result<int> journal = files.addFile(JournalFilePath(app.AppDataDir), *progress.Journal);
            !journal)
            return journal.status();

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
    // The journal in place is the restored one; one that cannot be opened again keeps new
    // records in memory and says so at its next save point, as at start-up.
    if (progress.Journal && app.services.answers)
        (void)app.services.answers->reload();
    return Status::Ok();
}

} // namespace bil
