// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace bil {

// The help pack: HTML pages built from the open data set, in <APPDATA>/help/ (see
// docs/help-pack.md for the layout).
inline const QString PackManifestName = QStringLiteral("pack.json");
inline const QString PackContentsPage = QStringLiteral("contents.html");
inline const QString PackFinesPage = QStringLiteral("shtraf.html");
constexpr int PackFormat = 1;

// Folder of the help pack in the application-data folder.
QString HelpPackFolder(const QString& appDataDir);

// Every entry of a page sits between these two markers, so a popup can show it alone.
QString EntryStart(const QString& anchor); // "<!--entry z3.20-->"
inline const QString EntryEnd = QStringLiteral("<!--/entry-->");

// Whether a page, anchor or picture path may be opened inside the pack: relative, segments of
// Latin letters, digits, '.', '_' and '-', no "." or ".." segment.
bool IsSafePackPath(const QString& path);
bool IsSafeAnchor(const QString& anchor);

// The HTML of the entry `anchor` of a page; nothing when the page has no such entry.
std::optional<QString> ExtractEntry(const QString& page, const QString& anchor);

// What a popup shows for `anchor` of a pack page: the entry itself; when the page lacks it, every
// entry numbered under it ("z8.4.3" -> z8.4.3.1, z8.4.3.2, …) together, else the nearest
// shorter number ("z1.4.1" -> z1.4), each after a line naming what is shown instead. Nothing
// when the page has none of these.
std::optional<QString> PopupEntryHtml(const QString& page, const QString& anchor);

// Bytes of a file of the pack; nothing for an unsafe path or a file missing, unreadable or
// over 16 MB.
std::optional<QByteArray> ReadPackFile(const QString& folder, const QString& path);

// One line of the contents: a title, the page (and anchor) it opens, an optional picture.
struct PackNode {
    QString Title;
    QString Topic;   // "zn3.html#z3.20"; empty for a heading that opens nothing
    QString Picture; // "images/signs/<hex>.svg"; empty when there is none
    std::vector<PackNode> Children;
};

struct PackContents {
    QString Source; // where the data set came from
    QString Built;  // ISO date and time of the build
    std::vector<PackNode> Nodes;
};

// Reads pack.json. Refuses another format, a node without a title, an unsafe topic or picture,
// nesting deeper than 4 levels and more than 20000 nodes.
Result<PackContents> ReadPackContents(const QByteArray& json);

// The page and the anchor of a topic: "zn3.html#z3.20" -> {"zn3.html", "z3.20"}.
struct PackTopic {
    QString Page;
    QString Anchor;
};
std::optional<PackTopic> SplitPackTopic(const QString& topic);

} // namespace bil
