// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_data.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace bil {

QString AppDataFolderFromEnvironment() {
    return qEnvironmentVariable("APPDATA");
}

Result<QString> AppDataFolder(const QString& wanted) {
    return AppDataFolder(wanted,
                         QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

Result<QString> AppDataFolder(const QString& appDataEnv, const QString& fallbackBase) {
    QString folder = appDataEnv.trimmed();
    if (folder.isEmpty())
        folder = QDir(fallbackBase).filePath(QStringLiteral("biletoria"));
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return Status::Error(
            QStringLiteral("Не удалось создать папку данных пользователя %1. Проверьте права "
                           "доступа или задайте другую папку переменной окружения APPDATA.")
                .arg(QDir::toNativeSeparators(folder)));
    return folder;
}

} // namespace bil
