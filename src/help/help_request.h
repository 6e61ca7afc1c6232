// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace bil {

// One help request taken apart: "biltor.chm::/pdd5.html#p5.1>popup".
struct HelpRequest {
    enum class Window { Main, Popup };
    QString file;   // "biltor.chm"
    QString page;   // "pdd5.html"; never starts with '/'
    QString anchor; // "p5.1"; empty when the topic has none
    Window window = Window::Main;
};

// Parses a request string; false (and `out` untouched) when it names no file or no page.
// A window type other than "popup" opens the main window.
bool ParseHelpRequest(const QString& request, HelpRequest& out);

// The reference a popup anchor stands for: "p10.1" -> "Пункт 10.1", "z3.20" -> "Знак 3.20",
// "r1.1" (or "l1.1") -> "Разметка 1.1"; any other anchor is shown as it is.
QString ReferenceFromAnchor(const QString& anchor);

// Folders searched for the help file, in order: the question database's folder, the
// program's folder, the application-data folder. Empty and repeated folders are dropped.
QStringList HelpFolders(const QString& databasePath, const QString& programDir,
                        const QString& appDataDir);

// Full path of the first regular file `name` in `folders`; empty when there is none.
QString FindHelpFile(const QStringList& folders, const QString& name);

// Text of a help page or style sheet: UTF-8 when it carries a BOM, declares UTF-8 or is valid
// UTF-8 without declaring another charset; cp1251 otherwise (the usual help file encoding).
QString DecodeHelpPage(const QByteArray& bytes);

} // namespace bil
