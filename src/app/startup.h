// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"

namespace bil {

// How the start-up ended: go on to the windows, or end the program after its message.
enum class StartupResult { Continue, EndProgram };

// The main window's start-up: random seed, settings, question database (asking for it when
// it is missing), application-data folder, statistics file. Every failure has been shown
// through state.services.prompter when EndProgram is returned.
StartupResult RunStartup(AppState& state);

// The image holder's part of the start-up: the theme table from tema4.dat and the comments of
// the open database. A failure is shown and ends the program.
StartupResult LoadThemesAtStartup(AppState& state);

// Texts and names the start-up and the database switch use.
namespace startup_text {
inline const QString DamagedDatabase =
    QStringLiteral("Файл с данными поврежден! Переустановите базу данных!");
inline const QString MissingDatabase =
    QStringLiteral("Отсутствует база вопросов, укажите ее местоположение! ");
inline const QString DatabaseFailure =
    QStringLiteral("Сбой базы вопросов, переустановите базу данных! ");
inline const QString NoDataFile =
    QStringLiteral("Нет файла с данными! Переустановите базу данных! ");
inline const QString SwitchFailure =
    QStringLiteral("Сбой базы вопросов, необходимо выбрать другую базу! ");
inline const QString DatabaseNotRemembered =
    QStringLiteral("Новая база вопросов открыта, но запомнить ее не удалось: при следующем "
                   "запуске программа откроет прежнюю базу.");
inline const QString OpenDialogTitle = QStringLiteral("Открыть базу вопросов");
inline const QString OpenDialogFilter = QStringLiteral("База вопросов (*.dbv)");
} // namespace startup_text

} // namespace bil
