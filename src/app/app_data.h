// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QString>

namespace bil {

// The application-data folder the program is started with: APPDATA from the environment when
// set, else empty (the default place). Read at the program entry only.
QString AppDataFolderFromEnvironment();

// The user's application-data folder (stat.dat, tema4.dat), without a trailing separator: the
// wanted folder, or <generic data folder>/biletoria when it is empty. Created when missing; an
// error says which folder could not be made.
Result<QString> AppDataFolder(const QString& wanted);

// The same for a given APPDATA value (empty: not set) and fallback base folder.
Result<QString> AppDataFolder(const QString& appDataEnv, const QString& fallbackBase);

} // namespace bil
