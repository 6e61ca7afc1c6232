// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/database.h"
#include "data/themes.h"

#include <memory>

namespace bil {

Status LoadThemeTable(ThemeTable& table, const Database& db, const QString& appDataDir) {
    // Built aside (the table is large) and moved in whole, so a failure leaves the old one.
    auto fresh = std::make_unique<ThemeTable>();
    if (Status loaded = LoadThemeFile(*fresh, appDataDir); !loaded)
        return loaded;
    BuildAllHelpLinks(*fresh, [&db](int number) { return db.LoadComment(number); });
    table = std::move(*fresh);
    return Status::Ok();
}

} // namespace bil
