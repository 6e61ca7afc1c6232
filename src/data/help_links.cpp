#include "data/themes.h"
#include "help/help_topics.h"

#include <QStringView>

namespace bil {

namespace {

constexpr qsizetype MaxLinkText = 20;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

bool At(QStringView text, qsizetype i, QStringView word) {
    return text.mid(i).startsWith(word);
}

// First pass: keeps digits, dots before digits, blanks, commas and hyphens, and turns the words
// that announce a reference into one marker letter: p rule item, z sign or plate, l marking.
QString CompactReferences(QStringView c) {
    QString k;
    k.reserve(c.size());
    const qsizetype n = c.size();
    qsizetype i = 0;
    // Every character counts, the last one too: a reference may end the comment.
    while (i < n) {
        const QChar ch = c[i];
        if (ch == u' ' || ch == u',' || ch == u'-' || IsDigit(ch)) {
            k += ch;
            i += 1;
        } else if (ch == u'.' && i + 1 < n && IsDigit(c[i + 1])) {
            k += u'.';
            i += 1;
        } else if (At(c, i, u"п.")) {
            k += u'p';
            i += 2;
        } else if (At(c, i, u"пп.")) {
            k += u'p';
            i += 3;
        } else if (At(c, i, u"Пункт") || At(c, i, u"пункт")) {
            // The word written out ("пункта 8.1", "Пункты 1.2 и 1.3") announces items as "п." does.
            k += u'p';
            i += 5;
        } else if (At(c, i, u"Знак") || At(c, i, u"знак")) {
            k += u'z';
            i += 4;
        } else if (At(c, i, u"Лини") || At(c, i, u"лини")) {
            k += u'l';
            i += 4;
        } else if (At(c, i, u"Размет") || At(c, i, u"размет")) {
            k += u'l';
            i += 6;
        } else if (At(c, i, u"Таблич") || At(c, i, u"таблич")) {
            k += u'z';
            i += 6;
        } else {
            i += 1;
        }
    }
    return k;
}

QString CaptionPrefix(QChar marker) {
    switch (marker.unicode()) {
    case u'p':
        return QStringLiteral("Пункт ");
    case u'z':
        return QStringLiteral("Знак ");
    default:
        return QStringLiteral("Разметка ");
    }
}

} // namespace

std::vector<HelpLink> BuildHelpLinks(const QString& comment) {
    const QString k = CompactReferences(comment);
    const qsizetype m = k.size();
    auto digitAt = [&](qsizetype q) { return q < m && IsDigit(k[q]); };
    auto dotAt = [&](qsizetype q) { return q < m && k[q] == u'.'; };

    std::vector<HelpLink> links;
    QChar marker; // null until the first marker: a bare number refers to nothing
    qsizetype j = 0;
    // Second pass: a marker stays in force for every following number until the next marker.
    while (j < m && links.size() < MaxHelpLinks) {
        const QChar ch = k[j];
        if (ch == u'p' || ch == u'z' || ch == u'l') {
            marker = ch;
            j += 1;
        } else if (digitAt(j) && ((dotAt(j + 1) && digitAt(j + 2)) ||
                                  (digitAt(j + 1) && dotAt(j + 2) && digitAt(j + 3)))) {
            qsizetype stop = j;
            while (stop < m && k[stop] != u' ' && k[stop] != u',' && k[stop] != u'-')
                ++stop;
            if (!marker.isNull()) {
                const QString number = k.mid(j, stop - j);
                HelpLink link;
                link.LinkCaption = (CaptionPrefix(marker) + number).left(MaxLinkText);
                link.LinkTopic = TopicFromCode(QString(marker) + number).left(MaxLinkText);
                links.push_back(std::move(link));
            }
            j = stop;
        } else {
            j += 1;
        }
    }
    return links;
}

} // namespace bil
