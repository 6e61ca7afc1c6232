// SPDX-License-Identifier: GPL-3.0-or-later
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

namespace {

// Values of the [Desktop Entry] group, key by key.
QStringList DesktopValues(const QString& key) {
    QFile file(QStringLiteral(BILETORIA_SOURCE_DIR "/packaging/biletoria.desktop"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList values;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char('=')))
            values << line.mid(key.size() + 1);
    return values;
}

// The menus show the program under its Russian name, whatever the desktop's language.
TEST(Packaging, DesktopEntryIsNamedInRussian) {
    EXPECT_EQ(DesktopValues(QStringLiteral("Name")), QStringList{QStringLiteral("Билетория")});
    EXPECT_EQ(DesktopValues(QStringLiteral("Name[en]")), QStringList{QStringLiteral("Biletoria")});
    EXPECT_EQ(DesktopValues(QStringLiteral("Exec")), QStringList{QStringLiteral("biletoria")});
}

} // namespace
