// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace bil {

class TForm2;
struct Settings;

// Builds the main window's settings menu (PopupMenu1 with N1 … N22) and connects every item to
// its handler on the window.
void BuildSettingsMenu(TForm2& form);

// The menu's check marks show settings.
void SyncSettingsMenu(TForm2& form, const Settings& settings);

} // namespace bil
