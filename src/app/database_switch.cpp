// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/database_switch.h"

#include "app/settings_loader.h"
#include "app/settings_store.h"
#include "data/themes.h"

namespace bil {

SwitchResult SwitchOpenDatabase(AppState& state, const QString& path) {
    if (Status opened = SwitchDatabase(state.Db, path); !opened)
        return {SwitchOutcome::Failed, opened};
    const Database& db = state.Db;
    BuildAllHelpLinks(state.Themes, [&db](int number) { return db.LoadComment(number); });
    state.Search.invalidate(); // the search reads the new database's texts when next used
    state.Prints.invalidate();
    if (!state.services.store)
        return {SwitchOutcome::NotRemembered,
                Status::Error(QStringLiteral("Нет хранилища настроек"))};
    if (Status stored = StoreDatabasePath(*state.services.store, db.DbPath()); !stored)
        return {SwitchOutcome::NotRemembered, stored};
    return {SwitchOutcome::Switched, Status::Ok()};
}

} // namespace bil
