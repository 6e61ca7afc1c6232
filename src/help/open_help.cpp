// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/open_help.h"

#include "app/app_state.h"
#include "app/platform.h"

namespace bil {

void OpenHelp(AppState& app, const QString& request) {
    app.Launch.SkipMinimize = 0;
    if (HelpEngine* help = app.services.help)
        help->showHelp(request);
}

} // namespace bil
