// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace bil {

struct AppState;

// Hands a help request to the help engine. Help shows in the program's own windows, which take
// no focus from the program, so no later loss of focus is spared from minimising: the flag
// (SkipMinimize) is set only where help hands a page to a program outside (the browser).
void OpenHelp(AppState& app, const QString& request);

} // namespace bil
