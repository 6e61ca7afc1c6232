// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QString>

namespace bil {

// The user's application-data folder (stat.dat, tema4.dat), without a trailing separator:
// APPDATA from the environment when set, else <generic data folder>/biletoria. Created when
// missing; an error says which folder could not be made.
Result<QString> AppDataFolder();

// The same for a given APPDATA value (empty: not set) and fallback base folder.
Result<QString> AppDataFolder(const QString& appDataEnv, const QString& fallbackBase);

} // namespace bil
