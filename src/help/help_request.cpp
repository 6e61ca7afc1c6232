// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_request.h"

#include "data/cp1251.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>

#include <cctype>

namespace bil {

bool ParseHelpRequest(const QString& request, HelpRequest& out) {
    const qsizetype sep = request.indexOf(QStringLiteral("::"));
    if (sep <= 0)
        return false;
    HelpRequest r;
    r.file = request.left(sep);

    QString topic = request.mid(sep + 2);
    const qsizetype gt = topic.lastIndexOf(u'>');
    if (gt >= 0) {
        if (topic.mid(gt + 1).compare(QStringLiteral("popup"), Qt::CaseInsensitive) == 0)
            r.window = HelpRequest::Window::Popup;
        topic.truncate(gt);
    }
    while (topic.startsWith(u'/'))
        topic.remove(0, 1);
    const qsizetype hash = topic.indexOf(u'#');
    if (hash >= 0) {
        r.anchor = topic.mid(hash + 1);
        topic.truncate(hash);
    }
    if (topic.isEmpty())
        return false;
    r.page = topic;
    out = r;
    return true;
}

QString ReferenceFromAnchor(const QString& anchor) {
    if (anchor.size() < 2)
        return anchor;
    const QString number = anchor.mid(1);
    switch (anchor[0].unicode()) {
    case u'p':
        return QStringLiteral("Пункт ") + number;
    case u'z':
        return QStringLiteral("Знак ") + number;
    case u'r':
    case u'l':
        return QStringLiteral("Разметка ") + number;
    default:
        return anchor;
    }
}

QStringList HelpFolders(const QString& databasePath, const QString& programDir,
                        const QString& appDataDir) {
    QStringList folders;
    auto add = [&folders](const QString& folder) {
        if (folder.isEmpty())
            return;
        const QString clean = QDir::cleanPath(folder);
        if (!folders.contains(clean))
            folders.append(clean);
    };
    if (!databasePath.isEmpty())
        add(QFileInfo(databasePath).absolutePath());
    add(programDir);
    add(appDataDir);
    return folders;
}

QString FindHelpFile(const QStringList& folders, const QString& name) {
    for (const QString& folder : folders) {
        const QFileInfo info(QDir(folder), name);
        if (info.isFile() && info.isReadable())
            return info.absoluteFilePath();
    }
    return {};
}

namespace {

// The charset a page declares in its first kilobyte ("charset=windows-1251"), lower case.
QByteArray DeclaredCharset(const QByteArray& bytes) {
    const QByteArray head = bytes.left(1024).toLower();
    const qsizetype at = head.indexOf("charset=");
    if (at < 0)
        return {};
    qsizetype begin = at + 8;
    while (begin < head.size() && (head[begin] == '"' || head[begin] == '\'' || head[begin] == ' '))
        ++begin;
    qsizetype end = begin;
    while (end < head.size() && (std::isalnum(static_cast<unsigned char>(head[end])) ||
                                 head[end] == '-' || head[end] == '_'))
        ++end;
    return head.mid(begin, end - begin);
}

} // namespace

QString DecodeHelpPage(const QByteArray& bytes) {
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(bytes.mid(3));
    const QByteArray charset = DeclaredCharset(bytes);
    if (charset == "utf-8" || charset == "utf8")
        return QString::fromUtf8(bytes);
    if (charset.isEmpty()) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = utf8.decode(bytes);
        if (!utf8.hasError())
            return text;
    }
    return DecodeCp1251(bytes);
}

} // namespace bil
