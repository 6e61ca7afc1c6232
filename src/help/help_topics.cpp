// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_topics.h"

namespace bil {

QString TopicFromCode(QStringView code) {
    if (code.isEmpty())
        return {};
    const QChar kind = code[0] == u'l' ? QChar(u'r') : code[0];

    QStringView chapter;
    if (code.size() > 2 && code[2] == u'.')
        chapter = code.mid(1, 1);
    else if (code.size() > 3 && code[3] == u'.')
        chapter = code.mid(1, 2);

    QStringView prefix;
    switch (kind.unicode()) {
    case u'p':
        prefix = u"pdd";
        break;
    case u'z':
        prefix = u"zn";
        break;
    case u'r':
        prefix = u"raz";
        break;
    default:
        return {};
    }
    QString topic;
    topic.reserve(prefix.size() + chapter.size() + 6 + code.size());
    topic.append(prefix).append(chapter).append(u".html#").append(kind).append(code.mid(1));
    return topic;
}

QString CodeFromCaption(const QString& caption) {
    if (caption.startsWith(u'З'))
        return QStringLiteral("z") + caption.mid(5);
    if (caption.startsWith(u'П'))
        return QStringLiteral("p") + caption.mid(6);
    if (caption.startsWith(u'Р'))
        return QStringLiteral("l") + caption.mid(9);
    return caption;
}

QString HelpRequestMain(const QString& page) {
    return HelpFile + QStringLiteral("::/") + page + QStringLiteral(">main");
}

QString HelpRequestPopup(const QString& topic) {
    return HelpFile + QStringLiteral("::/") + topic + QStringLiteral(">popup");
}

} // namespace bil
