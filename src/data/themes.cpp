// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/themes.h"

#include "data/file_commit.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace bil {

namespace {

constexpr qsizetype ThemeFileSize = 2 * QuestionCount;

Status WriteThemeFile(const QString& appDataDir, const std::array<uint8_t, QuestionCount>& themes,
                      const std::array<uint8_t, QuestionCount>& marks) {
    QByteArray bytes;
    bytes.reserve(ThemeFileSize);
    bytes.append(reinterpret_cast<const char*>(themes.data()), QuestionCount);
    bytes.append(reinterpret_cast<const char*>(marks.data()), QuestionCount);
    return WriteFileAtomically(ThemeFilePath(appDataDir), bytes);
}

} // namespace

const QString& ThemeNames(int theme) {
    static const std::array<QString, ThemeCount> names = {
        QStringLiteral("Положения"),
        QStringLiteral("Обязанности"),
        QStringLiteral("Знаки"),
        QStringLiteral("Разметка"),
        QStringLiteral("Спецсигналы"),
        QStringLiteral("Светофоры"),
        QStringLiteral("Аварийные"),
        QStringLiteral("Движение"),
        QStringLiteral("Расположение"),
        QStringLiteral("Скорость"),
        QStringLiteral("Обгон"),
        QStringLiteral("Остановка"),
        QStringLiteral("Перекрестки"),
        QStringLiteral("Переходы"),
        QStringLiteral("Ж/Д пути"),
        QStringLiteral("Магистрали"),
        QStringLiteral("Жилые зоны"),
        QStringLiteral("Маршрутные ТС"),
        QStringLiteral("Световые приборы"),
        QStringLiteral("Буксировка"),
        QStringLiteral("Учебная езда"),
        QStringLiteral("Перевозка"),
        QStringLiteral("Неисправности"),
        QStringLiteral("Безопасность"),
        QStringLiteral("Медпомощь"),
        QStringLiteral("Ответственность"),
    };
    static const QString none;
    if (theme < 1 || theme > ThemeCount)
        return none;
    return names[theme - 1];
}

QString ThemeFilePath(const QString& appDataDir) {
    return QDir(appDataDir).filePath(QStringLiteral("tema4.dat"));
}

Status SaveThemeFile(const ThemeTable& table, const QString& appDataDir) {
    return WriteThemeFile(appDataDir, table.QuestionTheme, table.DifficultyMark);
}

Status LoadThemeFile(ThemeTable& table, const QString& appDataDir) {
    const QString path = ThemeFilePath(appDataDir);
    std::array<uint8_t, QuestionCount> themes{};
    std::array<uint8_t, QuestionCount> marks{};

    if (!QFile::exists(path)) {
        for (int n = 1; n <= QuestionCount; ++n)
            themes[n - 1] = DefaultThemeOf(n);
        if (Status saved = WriteThemeFile(appDataDir, themes, marks); !saved)
            return saved;
    } else {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return Status::Error(QStringLiteral("Не удалось прочитать файл %1: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        const QByteArray bytes = file.read(ThemeFileSize);
        if (bytes.isEmpty() && file.error() != QFileDevice::NoError)
            return Status::Error(QStringLiteral("Не удалось прочитать файл %1: %2")
                                     .arg(QDir::toNativeSeparators(path), file.errorString()));
        // A short file fills what it holds; the rest stays 0 (no theme, undetermined).
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto value = static_cast<uint8_t>(bytes[i]);
            // A value no reader knows is treated as "none" rather than indexing past a table.
            if (i < QuestionCount)
                themes[i] = value <= ThemeCount ? value : 0;
            else
                marks[i - QuestionCount] = value <= 2 ? value : 0;
        }
    }
    table.QuestionTheme = themes;
    table.DifficultyMark = marks;
    return Status::Ok();
}

void BuildAllHelpLinks(ThemeTable& table, const CommentSource& commentOf) {
    for (int n = 1; n <= QuestionCount; ++n) {
        auto& pairs = table.HelpLinks[n - 1];
        pairs.fill(HelpLink{});
        table.HelpLinkCount[n - 1] = 0;
        // A damaged text blob costs only this question its links.
        const Result<QString> comment = commentOf(n);
        if (!comment)
            continue;
        const std::vector<HelpLink> links = BuildHelpLinks(*comment);
        for (size_t k = 0; k < links.size() && k < pairs.size(); ++k)
            pairs[k] = links[k];
        table.HelpLinkCount[n - 1] = static_cast<int>(std::min(links.size(), pairs.size()));
    }
}

} // namespace bil
