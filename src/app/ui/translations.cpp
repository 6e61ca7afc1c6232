// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace bil {

QTranslator* InstallQtTranslations(QCoreApplication& app) {
    // Dates, numbers and file types in the dialogs follow the default locale, not only the
    // translator: without this an unset LANG gives English dates beside Russian buttons.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    auto* translator = new QTranslator(&app);
    // qtbase_ru.qm comes with qt6-translations-l10n; without it Qt keeps its English texts.
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return nullptr;
    }
    return translator;
}

} // namespace bil
