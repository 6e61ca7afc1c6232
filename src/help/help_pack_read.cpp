// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_pack_read.h"

#include "help/help_request.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace bil {

namespace {

constexpr qint64 MaxPackFile = 16 * 1024 * 1024;
constexpr int MaxDepth = 4;
constexpr int MaxNodes = 20000;

bool IsSafeSegmentChar(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'.' || c == u'_' || c == u'-';
}

Status ReadNodes(const QJsonArray& array, int depth, int& count, std::vector<PackNode>& out) {
    if (depth > MaxDepth)
        return Status::Error(QStringLiteral("содержание вложено глубже %1 уровней").arg(MaxDepth));
    for (const QJsonValue& value : array) {
        if (++count > MaxNodes)
            return Status::Error(QStringLiteral("в содержании больше %1 строк").arg(MaxNodes));
        if (!value.isObject())
            return Status::Error(QStringLiteral("строка содержания — не объект"));
        const QJsonObject object = value.toObject();
        PackNode node;
        node.Title = object.value(QLatin1StringView("title")).toString().trimmed();
        node.Topic = object.value(QLatin1StringView("topic")).toString();
        node.Picture = object.value(QLatin1StringView("picture")).toString();
        if (node.Title.isEmpty())
            return Status::Error(QStringLiteral("строка содержания без названия"));
        if (!node.Topic.isEmpty() && !SplitPackTopic(node.Topic))
            return Status::Error(QStringLiteral("недопустимая ссылка «%1»").arg(node.Topic));
        if (!node.Picture.isEmpty() && !IsSafePackPath(node.Picture))
            return Status::Error(QStringLiteral("недопустимая картинка «%1»").arg(node.Picture));
        const QJsonValue children = object.value(QLatin1StringView("children"));
        if (!children.isUndefined() && !children.isArray())
            return Status::Error(QStringLiteral("«children» — не список"));
        if (Status read = ReadNodes(children.toArray(), depth + 1, count, node.Children); !read)
            return read;
        out.push_back(std::move(node));
    }
    return Status::Ok();
}

} // namespace

QString HelpPackFolder(const QString& appDataDir) {
    return appDataDir + QStringLiteral("/help");
}

QString EntryStart(const QString& anchor) {
    return QStringLiteral("<!--entry ") + anchor + QStringLiteral("-->");
}

bool IsSafePackPath(const QString& path) {
    if (path.isEmpty() || path.size() > 200)
        return false;
    for (const QString& segment : path.split(u'/')) {
        if (segment.isEmpty() || segment == QLatin1String(".") || segment == QLatin1String(".."))
            return false;
        for (const QChar c : segment)
            if (!IsSafeSegmentChar(c))
                return false;
    }
    return true;
}

bool IsSafeAnchor(const QString& anchor) {
    if (anchor.isEmpty() || anchor.size() > 64)
        return false;
    for (const QChar c : anchor)
        if (!IsSafeSegmentChar(c))
            return false;
    return true;
}

std::optional<PackTopic> SplitPackTopic(const QString& topic) {
    PackTopic out;
    const qsizetype hash = topic.indexOf(u'#');
    out.Page = hash < 0 ? topic : topic.left(hash);
    out.Anchor = hash < 0 ? QString() : topic.mid(hash + 1);
    if (!IsSafePackPath(out.Page) || (hash >= 0 && !IsSafeAnchor(out.Anchor)))
        return std::nullopt;
    return out;
}

std::optional<QString> ExtractEntry(const QString& page, const QString& anchor) {
    if (!IsSafeAnchor(anchor))
        return std::nullopt;
    const QString start = EntryStart(anchor);
    const qsizetype at = page.indexOf(start);
    if (at < 0)
        return std::nullopt;
    const qsizetype begin = at + start.size();
    const qsizetype end = page.indexOf(EntryEnd, begin);
    if (end < 0)
        return std::nullopt;
    return page.mid(begin, end - begin);
}

std::optional<QString> PopupEntryHtml(const QString& page, const QString& anchor) {
    if (std::optional<QString> exact = ExtractEntry(page, anchor))
        return exact;
    if (!IsSafeAnchor(anchor))
        return std::nullopt;
    const QString missing = ReferenceFromAnchor(anchor).toHtmlEscaped();
    auto note = [&](const QString& shown) {
        return QStringLiteral("<p class=\"note\"><i>Статьи «%1» в наборе данных нет; %2.</i></p>\n")
            .arg(missing, shown);
    };

    // The entries numbered under the reference, in page order.
    const QString opening = EntryStart(QString()).chopped(3); // "<!--entry "
    const QString head = opening + anchor + u'.';
    QStringList names;
    QString entries;
    for (qsizetype at = page.indexOf(head); at >= 0; at = page.indexOf(head, at + head.size())) {
        const qsizetype nameStart = at + opening.size();
        const qsizetype close = page.indexOf(QStringLiteral("-->"), nameStart);
        if (close < 0)
            break;
        const QString sub = page.mid(nameStart, close - nameStart);
        const QStringView below = QStringView(sub).mid(anchor.size() + 1);
        if (below.isEmpty() || !below.front().isDigit())
            continue;
        if (const std::optional<QString> entry = ExtractEntry(page, sub)) {
            names << QStringLiteral("«%1»").arg(ReferenceFromAnchor(sub).toHtmlEscaped());
            entries += *entry;
        }
    }
    if (!names.isEmpty())
        return note((names.size() == 1 ? QStringLiteral("показана статья ")
                                       : QStringLiteral("показаны статьи ")) +
                    names.join(QStringLiteral(", "))) +
               entries;

    // Else the nearest shorter number: 1.4.1, then 1.4.
    for (QString shorter = anchor; shorter.count(u'.') > 0;) {
        shorter.truncate(shorter.lastIndexOf(u'.'));
        if (std::optional<QString> entry = ExtractEntry(page, shorter))
            return note(QStringLiteral("показана статья «%1»")
                            .arg(ReferenceFromAnchor(shorter).toHtmlEscaped())) +
                   *entry;
    }
    return std::nullopt;
}

std::optional<QByteArray> ReadPackFile(const QString& folder, const QString& path) {
    if (folder.isEmpty() || !IsSafePackPath(path))
        return std::nullopt;
    QFile file(QDir(folder).filePath(path));
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxPackFile)
        return std::nullopt;
    QByteArray bytes = file.read(MaxPackFile + 1);
    if (bytes.size() > MaxPackFile)
        return std::nullopt;
    return bytes;
}

Result<PackContents> ReadPackContents(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Status::Error(QStringLiteral("не JSON: %1").arg(error.errorString()));
    const QJsonObject root = doc.object();
    if (!doc.isObject() || root.value(QLatin1StringView("format")).toInt() != PackFormat)
        return Status::Error(QStringLiteral("неизвестный формат справки"));
    PackContents out;
    out.Source = root.value(QLatin1StringView("source")).toString();
    out.Built = root.value(QLatin1StringView("built")).toString();
    const QJsonValue nodes = root.value(QLatin1StringView("contents"));
    if (!nodes.isArray())
        return Status::Error(QStringLiteral("нет содержания"));
    int count = 0;
    if (Status read = ReadNodes(nodes.toArray(), 1, count, out.Nodes); !read)
        return read;
    return out;
}

} // namespace bil
