// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/themes.h"
#include "help/help_topics.h"

#include <QStringView>

#include <algorithm>
#include <string>
#include <string_view>

namespace bil {

namespace {

constexpr qsizetype MaxLinkText = 20;

bool IsDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The first letters of the marker words; any other letter is skipped at once.
bool MayStartMarker(QChar c) {
    switch (c.unicode()) {
    case u'п':
    case u'П':
    case u'З':
    case u'з':
    case u'Л':
    case u'л':
    case u'Р':
    case u'р':
    case u'Т':
    case u'т':
    case u'с':
    case u'С':
        return true;
    default:
        return false;
    }
}

// The words that announce a reference, each with its marker letter, matched case and all. The
// word written out ("пункта 8.1", "Пункты 1.2 и 1.3") announces items as "п." does.
struct MarkerWord {
    std::u16string_view Word;
    char16_t Marker;
};
constexpr MarkerWord MarkerWords[] = {
    {u"п.", u'p'},     {u"пп.", u'p'},    {u"Пункт", u'p'},  {u"пункт", u'p'},
    {u"Знак", u'z'},   {u"знак", u'z'},   {u"Лини", u'l'},   {u"лини", u'l'},
    {u"Размет", u'l'}, {u"размет", u'l'}, {u"Таблич", u'z'}, {u"таблич", u'z'},
};

// The marker word at position i, nullptr when none starts there.
const MarkerWord* MarkerAt(QStringView text, qsizetype i) {
    const char16_t* at = text.utf16() + i;
    const qsizetype left = text.size() - i;
    for (const MarkerWord& m : MarkerWords)
        if (m.Word[0] == at[0] && left >= qsizetype(m.Word.size()) &&
            std::equal(m.Word.begin() + 1, m.Word.end(), at + 1))
            return &m;
    return nullptr;
}

// Whether the words at i name an article of another law ("ст. 12.10 КоАП", "статьи 11.1
// ФЗ"): its numbers are no traffic-rule references. "ст." counts only as a word of its own.
bool ArticleAt(QStringView text, qsizetype i) {
    const char16_t* at = text.utf16() + i;
    const qsizetype left = text.size() - i;
    if (left < 3 || at[1] != u'т')
        return false;
    if (at[0] == u'с' && at[2] == u'.')
        return i == 0 || at[-1] == u' ' || at[-1] == u'(';
    return left >= 5 && (at[0] == u'с' || at[0] == u'С') && at[2] == u'а' && at[3] == u'т' &&
           at[4] == u'ь';
}

// First pass: keeps digits, dots before digits, blanks, commas and hyphens, and turns the words
// that announce a reference into one marker letter: p rule item, z sign or plate, l marking,
// x an article of another law. Brackets end a reference as a blank does ("22.2(1)").
std::u16string CompactReferences(QStringView c) {
    std::u16string k;
    k.reserve(c.size());
    const qsizetype n = c.size();
    qsizetype i = 0;
    // Every character counts, the last one too: a reference may end the comment.
    while (i < n) {
        const QChar ch = c[i];
        if (ch == u' ' || ch == u',' || ch == u'-' || IsDigit(ch)) {
            k += ch.unicode();
            i += 1;
        } else if (ch == u'(' || ch == u')') {
            k += u' ';
            i += 1;
        } else if (ch == u'.' && i + 1 < n && IsDigit(c[i + 1])) {
            k += u'.';
            i += 1;
        } else if (!MayStartMarker(ch)) {
            i += 1;
        } else if (const MarkerWord* m = MarkerAt(c, i)) {
            k += m->Marker;
            i += qsizetype(m->Word.size());
        } else if (ArticleAt(c, i)) {
            k += u'x';
            i += 3;
        } else {
            i += 1;
        }
    }
    return k;
}

QString CaptionPrefix(char16_t marker) {
    switch (marker) {
    case u'p':
        return QStringLiteral("Пункт ");
    case u'z':
        return QStringLiteral("Знак ");
    default:
        return QStringLiteral("Разметка ");
    }
}

// Whether the chapter of `number` ("8.1" -> 8) exists: rule items 1..24, signs 1..8,
// markings 1..2. Other numbers are misread dates, laws or typing slips.
bool ChapterExists(char16_t marker, std::u16string_view number) {
    int chapter = 0;
    for (size_t q = 0; q < number.size() && IsDigit(number[q]); ++q)
        chapter = chapter * 10 + (number[q] - u'0');
    const int last = marker == u'p' ? 24 : marker == u'z' ? 8 : 2;
    return chapter >= 1 && chapter <= last;
}

} // namespace

std::vector<HelpLink> BuildHelpLinks(const QString& comment) {
    const std::u16string k = CompactReferences(comment);
    const size_t m = k.size();
    auto digitAt = [&](size_t q) { return q < m && IsDigit(k[q]); };
    auto dotAt = [&](size_t q) { return q < m && k[q] == u'.'; };

    std::vector<HelpLink> links;
    char16_t marker = 0; // none until the first marker: a bare number refers to nothing
    size_t j = 0;
    // Second pass: a marker stays in force for every following number until the next marker.
    while (j < m && links.size() < MaxHelpLinks) {
        const char16_t ch = k[j];
        if (ch == u'p' || ch == u'z' || ch == u'l') {
            marker = ch;
            j += 1;
        } else if (ch == u'x') {
            marker = 0; // an article of another law: its numbers are no references
            j += 1;
        } else if (digitAt(j) && ((dotAt(j + 1) && digitAt(j + 2)) ||
                                  (digitAt(j + 1) && dotAt(j + 2) && digitAt(j + 3)))) {
            size_t stop = j;
            while (stop < m && k[stop] != u' ' && k[stop] != u',' && k[stop] != u'-')
                ++stop;
            if (marker != 0 && ChapterExists(marker, std::u16string_view(k).substr(j, stop - j))) {
                // The code is the marker and the number: "p8.1".
                std::u16string code(1, marker);
                code.append(k, j, stop - j);
                const QStringView number = QStringView(code).mid(1);
                HelpLink link;
                link.LinkCaption = CaptionPrefix(marker);
                link.LinkCaption.append(number.left(MaxLinkText - link.LinkCaption.size()));
                link.LinkTopic = TopicFromCode(code);
                link.LinkTopic.truncate(MaxLinkText);
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
