#include "help/help_topics.h"

namespace bil {

QString TopicFromCode(const QString& code) {
    if (code.isEmpty())
        return {};
    QString ref = code;
    if (ref[0] == u'l')
        ref[0] = u'r';

    QString chapter;
    if (ref.size() > 2 && ref[2] == u'.')
        chapter = ref.mid(1, 1);
    else if (ref.size() > 3 && ref[3] == u'.')
        chapter = ref.mid(1, 2);

    QString prefix;
    switch (ref[0].unicode()) {
    case u'p':
        prefix = QStringLiteral("pdd");
        break;
    case u'z':
        prefix = QStringLiteral("zn");
        break;
    case u'r':
        prefix = QStringLiteral("raz");
        break;
    default:
        return {};
    }
    return prefix + chapter + QStringLiteral(".html#") + ref;
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
