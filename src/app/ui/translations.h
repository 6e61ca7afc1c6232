// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QCoreApplication;
class QTranslator;

namespace bil {

// Qt's own texts (standard buttons, file dialog, context menus) in Russian, whatever the
// system's language, and Russian as the default locale: the whole interface of the program is
// Russian. Returns the installed
// translator, owned by app, or nullptr when Qt's Russian catalogue is not installed.
QTranslator* InstallQtTranslations(QCoreApplication& app);

} // namespace bil
