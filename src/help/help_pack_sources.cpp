// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_pack_sources.h"

#include "data/dbv_import.h"
#include "help/help_request.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace bil {

namespace {

QString JsonError(const QJsonParseError& error) {
    return QStringLiteral("%1 (позиция %2)").arg(error.errorString()).arg(error.offset);
}

// A text field; numbers are taken as their text, anything else as empty.
QString Field(const QJsonObject& object, QLatin1StringView key) {
    const QJsonValue value = object.value(key);
    if (value.isString())
        return value.toString().trimmed();
    if (value.isDouble())
        return QString::number(value.toDouble());
    return {};
}

int Chapter(const QString& dotted) {
    return dotted.section(u'.', 0, 0).toInt();
}

} // namespace

bool IsDottedNumber(const QString& number) {
    if (number.isEmpty() || number.size() > 16)
        return false;
    bool digitBefore = false;
    for (const QChar c : number) {
        if (c >= u'0' && c <= u'9') {
            digitBefore = true;
        } else if (c == u'.' && digitBefore) {
            digitBefore = false;
        } else {
            return false;
        }
    }
    return digitBefore;
}

bool DottedLess(const QString& a, const QString& b) {
    const QStringList pa = a.split(u'.');
    const QStringList pb = b.split(u'.');
    for (qsizetype i = 0; i < std::min(pa.size(), pb.size()); ++i) {
        const qlonglong x = pa[i].toLongLong();
        const qlonglong y = pb[i].toLongLong();
        if (x != y)
            return x < y;
        if (pa[i] != pb[i]) // "01" and "1": any fixed order
            return pa[i] < pb[i];
    }
    return pa.size() < pb.size();
}

Result<SignCatalogue> ReadSignCatalogue(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Status::Error(QStringLiteral("не JSON: %1").arg(JsonError(error)));
    SignCatalogue out;
    if (doc.isArray() && doc.array().isEmpty())
        return out; // an empty list: no entries at all
    if (!doc.isObject())
        return Status::Error(QStringLiteral("ожидался объект с группами"));

    QSet<QString> seen;
    const QJsonObject groups = doc.object();
    for (auto g = groups.begin(); g != groups.end(); ++g) {
        if (!g.value().isObject()) {
            return Status::Error(QStringLiteral("группа «%1» — не объект с записями").arg(g.key()));
        }
        SignGroup group;
        group.Name = g.key().trimmed();
        const QJsonObject entries = g.value().toObject();
        for (auto e = entries.begin(); e != entries.end(); ++e) {
            const QJsonObject object = e.value().toObject();
            SignEntry entry;
            entry.Number = Field(object, QLatin1StringView("number"));
            if (!IsDottedNumber(entry.Number))
                entry.Number = e.key().trimmed();
            if (!e.value().isObject() || !IsDottedNumber(entry.Number) ||
                seen.contains(entry.Number)) {
                ++out.Skipped;
                continue;
            }
            seen.insert(entry.Number);
            entry.Title = Field(object, QLatin1StringView("title"));
            entry.Image = Field(object, QLatin1StringView("image"));
            entry.Description = Field(object, QLatin1StringView("description"));
            group.Entries.push_back(std::move(entry));
        }
        if (group.Entries.empty())
            continue;
        std::sort(
            group.Entries.begin(), group.Entries.end(),
            [](const SignEntry& a, const SignEntry& b) { return DottedLess(a.Number, b.Number); });
        out.Groups.push_back(std::move(group));
    }
    std::stable_sort(out.Groups.begin(), out.Groups.end(),
                     [](const SignGroup& a, const SignGroup& b) {
                         return DottedLess(a.Entries.front().Number, b.Entries.front().Number);
                     });
    return out;
}

Result<std::vector<Fine>> ReadFines(const QByteArray& jsonLines) {
    std::vector<Fine> fines;
    const QList<QByteArray> lines = jsonLines.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError)
            return Status::Error(
                QStringLiteral("строка %1: не JSON: %2").arg(i + 1).arg(JsonError(error)));
        if (doc.isArray() && doc.array().isEmpty())
            continue;
        const QJsonObject object = doc.object();
        Fine fine;
        fine.ArticlePart = Field(object, QLatin1StringView("article_part"));
        fine.Text = Field(object, QLatin1StringView("text"));
        fine.Penalty = Field(object, QLatin1StringView("penalty"));
        if (!doc.isObject() || fine.ArticlePart.isEmpty())
            return Status::Error(QStringLiteral("строка %1: нет статьи (article_part)").arg(i + 1));
        fines.push_back(std::move(fine));
    }
    return fines;
}

Result<std::vector<TicketQuestion>> ReadTicketQuestions(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return Status::Error(QStringLiteral("не JSON: %1").arg(JsonError(error)));
    if (!doc.isArray())
        return Status::Error(QStringLiteral("ожидался список вопросов"));
    std::vector<TicketQuestion> out;
    for (const QJsonValue& value : doc.array()) {
        const QJsonObject object = value.toObject();
        TicketQuestion q;
        q.Ticket = DataSetNumber(object.value(QLatin1StringView("ticket_number")));
        q.Position = DataSetNumber(object.value(QLatin1StringView("title")));
        if (q.Ticket < 1 || q.Ticket > 40 || q.Position < 1 || q.Position > 20)
            continue;
        q.Text = DataSetLine(object.value(QLatin1StringView("question")).toString());
        q.Comment = DataSetLine(object.value(QLatin1StringView("answer_tip")).toString());
        out.push_back(std::move(q));
    }
    return out;
}

// --- Descriptions ----------------------------------------------------------------------------

namespace {

// A lead-in ending with ':' is shown as a heading only when it is this short: a long text that
// happens to end with a colon is an ordinary paragraph.
constexpr qsizetype MaxLeadIn = 80;
// Starts the part of a sign's description that lists the fines for breaking it.
constexpr QStringView PenaltyLeadIn = u"Наказание за нарушение";

// Length of a list marker ("а)", "12)") at i, 0 when there is none.
qsizetype ListMarkerAt(const QString& s, qsizetype i) {
    const qsizetype n = s.size();
    qsizetype j = i;
    if (j < n && s[j] >= u'а' && s[j] <= u'я') {
        ++j;
    } else {
        while (j < n && j - i < 2 && s[j].isDigit())
            ++j;
        if (j == i)
            return 0;
    }
    if (j >= n || s[j] != u')')
        return 0;
    ++j;
    if (j < n && !s[j].isSpace() && !s[j].isLetter() && s[j] != u'«')
        return 0;
    return j - i;
}

// The last character before i that is not a blank; a null character at the start.
QChar PreviousMark(const QString& s, qsizetype i) {
    while (i > 0 && s[i - 1].isSpace())
        --i;
    return i > 0 ? s[i - 1] : QChar();
}

void SplitRunTogether(const QString& line, std::vector<TextBlock>& out) {
    auto push = [&out](QString piece) {
        piece = piece.simplified();
        if (piece.isEmpty())
            return;
        TextBlock block;
        block.text = piece;
        if (ListMarkerAt(piece, 0) > 0)
            block.kind = TextBlock::Kind::ListItem;
        else if (piece.endsWith(u':') && piece.size() < MaxLeadIn)
            block.kind = TextBlock::Kind::Heading;
        out.push_back(std::move(block));
    };
    const qsizetype n = line.size();
    qsizetype start = 0;
    // The penalty part: its lead-in, then each article of the offences code on a line of its own.
    bool inPenalty = false;
    bool penaltyLeadIn = false;
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        if (!inPenalty && c == u'Н' && QStringView(line).mid(i).startsWith(PenaltyLeadIn)) {
            push(line.mid(start, i - start));
            start = i;
            inPenalty = penaltyLeadIn = true;
            continue;
        }
        if (penaltyLeadIn && c == u':') {
            push(line.mid(start, i + 1 - start));
            start = i + 1;
            penaltyLeadIn = false;
            continue;
        }
        if (inPenalty && !penaltyLeadIn && c == u'К' && i > start &&
            QStringView(line).mid(i).startsWith(u"КоАП")) {
            const QChar before = PreviousMark(line, i);
            if (before == u'.' || before == u';' || before == u':') {
                push(line.mid(start, i - start));
                start = i;
                continue;
            }
        }
        // "…знака:КоАП", "…руб.КоАП", "…;Наказание": the blank between the parts was lost.
        if ((c == u'.' || c == u':' || c == u';' || c == u'!' || c == u'?') && i + 1 < n &&
            line[i + 1].isUpper()) {
            push(line.mid(start, i + 1 - start));
            start = i + 1;
            continue;
        }
        // "Запрещается:а) …;б) …": a marker after a colon, semicolon or full stop opens an item.
        if (i > start && !line[i - 1].isLetterOrNumber() && ListMarkerAt(line, i) > 0) {
            const QChar before = PreviousMark(line, i);
            if (before == u':' || before == u';' || before == u'.') {
                push(line.mid(start, i - start));
                start = i;
            }
        }
    }
    push(line.mid(start));
}

} // namespace

std::vector<TextBlock> SplitDescription(const QString& text) {
    std::vector<TextBlock> blocks;
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    for (const QString& line : normal.split(u'\n'))
        SplitRunTogether(line, blocks);
    return blocks;
}

// --- Rules text ------------------------------------------------------------------------------

namespace {

const QHash<QString, QChar>& NamedEntities() {
    static const QHash<QString, QChar> entities = {
        {QStringLiteral("amp"), u'&'},    {QStringLiteral("lt"), u'<'},
        {QStringLiteral("gt"), u'>'},     {QStringLiteral("quot"), u'"'},
        {QStringLiteral("apos"), u'\''},  {QStringLiteral("nbsp"), u' '},
        {QStringLiteral("laquo"), u'«'},  {QStringLiteral("raquo"), u'»'},
        {QStringLiteral("mdash"), u'—'},  {QStringLiteral("ndash"), u'–'},
        {QStringLiteral("hellip"), u'…'}, {QStringLiteral("bdquo"), u'„'},
        {QStringLiteral("ldquo"), u'“'},  {QStringLiteral("rdquo"), u'”'},
        {QStringLiteral("bull"), u'•'},   {QStringLiteral("deg"), u'°'},
        {QStringLiteral("sect"), u'§'},   {QStringLiteral("numero"), u'№'},
        {QStringLiteral("shy"), QChar()},
    };
    return entities;
}

// Decodes the entity at s[i] == '&' into out; returns the index after it.
qsizetype DecodeEntity(const QString& s, qsizetype i, QString& out) {
    const qsizetype semi = s.indexOf(u';', i + 1);
    if (semi < 0 || semi - i > 10) {
        out += u'&';
        return i + 1;
    }
    const QString name = s.mid(i + 1, semi - i - 1);
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.startsWith(QStringLiteral("#x"), Qt::CaseInsensitive)
                              ? name.mid(2).toUInt(&ok, 16)
                              : name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
            const char32_t c = code;
            out += QString::fromUcs4(&c, 1);
            return semi + 1;
        }
    } else if (const auto it = NamedEntities().constFind(name); it != NamedEntities().constEnd()) {
        if (!it->isNull())
            out += *it;
        return semi + 1;
    }
    out += u'&';
    return i + 1;
}

bool LooksLikeHtml(const QString& text) {
    static const QRegularExpression tag(QStringLiteral("<(html|body|p|div|br|h[1-6])[\\s>/]"),
                                        QRegularExpression::CaseInsensitiveOption);
    return tag.match(QStringView(text).left(65536)).hasMatch();
}

const QSet<QString>& BlockTags() {
    static const QSet<QString> tags = {
        QStringLiteral("p"),    QStringLiteral("div"),     QStringLiteral("br"),
        QStringLiteral("li"),   QStringLiteral("tr"),      QStringLiteral("h1"),
        QStringLiteral("h2"),   QStringLiteral("h3"),      QStringLiteral("h4"),
        QStringLiteral("h5"),   QStringLiteral("h6"),      QStringLiteral("table"),
        QStringLiteral("ul"),   QStringLiteral("ol"),      QStringLiteral("blockquote"),
        QStringLiteral("pre"),  QStringLiteral("title"),   QStringLiteral("dd"),
        QStringLiteral("dt"),   QStringLiteral("section"), QStringLiteral("article"),
        QStringLiteral("body"), QStringLiteral("hr"),
    };
    return tags;
}

QStringList Lines(const QString& text) {
    QString normal = text;
    normal.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    return normal.split(u'\n');
}

} // namespace

QString HtmlText(const QString& html) {
    QString out;
    out.reserve(html.size());
    const qsizetype n = html.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = html[i];
        if (c == u'&') {
            i = DecodeEntity(html, i, out);
            continue;
        }
        if (c != u'<') {
            out += c;
            ++i;
            continue;
        }
        if (html.mid(i, 4) == QLatin1String("<!--")) {
            const qsizetype end = html.indexOf(QStringLiteral("-->"), i + 4);
            i = end < 0 ? n : end + 3;
            continue;
        }
        const qsizetype close = html.indexOf(u'>', i + 1);
        if (close < 0)
            break;
        qsizetype nameStart = i + 1;
        if (nameStart < close && html[nameStart] == u'/')
            ++nameStart;
        qsizetype nameEnd = nameStart;
        while (nameEnd < close && html[nameEnd].isLetterOrNumber())
            ++nameEnd;
        const QString name = html.mid(nameStart, nameEnd - nameStart).toLower();
        i = close + 1;
        if ((name == QLatin1String("script") || name == QLatin1String("style") ||
             name == QLatin1String("head")) &&
            html[i - 2] != u'/' && html[nameStart - 1] != u'/') {
            // Their content is no text of the page.
            const QString end = QStringLiteral("</") + name;
            const qsizetype at = html.indexOf(end, i, Qt::CaseInsensitive);
            i = at < 0 ? n : at;
            continue;
        }
        if (BlockTags().contains(name))
            out += u'\n';
    }
    return out;
}

QStringList TextParagraphs(const QByteArray& bytes) {
    const QString decoded = DecodeHelpPage(bytes);
    const bool html = LooksLikeHtml(decoded);
    const QStringList lines = Lines(html ? HtmlText(decoded) : decoded);
    QStringList paragraphs;
    if (html) {
        for (const QString& line : lines)
            if (QString p = line.simplified(); !p.isEmpty())
                paragraphs << p;
        return paragraphs;
    }
    // A plain text that leaves blank lines between paragraphs wraps them over several lines.
    int blank = 0;
    int filled = 0;
    for (const QString& line : lines)
        (line.trimmed().isEmpty() ? blank : filled) += 1;
    const bool wrapped = filled > 0 && blank * 3 >= filled;
    QString current;
    for (const QString& line : lines) {
        const QString p = line.simplified();
        if (!wrapped) {
            if (!p.isEmpty())
                paragraphs << p;
            continue;
        }
        if (p.isEmpty()) {
            if (!current.isEmpty())
                paragraphs << current;
            current.clear();
        } else {
            current = current.isEmpty() ? p : current + u' ' + p;
        }
    }
    if (!current.isEmpty())
        paragraphs << current;
    return paragraphs;
}

RulesText SplitRulesText(const QStringList& paragraphs) {
    static const QRegularExpression item(
        QStringLiteral("^(\\d{1,2}(?:\\.\\d{1,2}){1,2})\\.?(?:\\s|$)"));
    static const QRegularExpression chapter(QStringLiteral("^(\\d{1,2})\\.\\s+\\D"));
    static const QRegularExpression appendix(QStringLiteral("^Приложени[ея](?:\\s|$)"),
                                             QRegularExpression::CaseInsensitiveOption);

    RulesText out;
    QHash<int, QString> pendingHeading; // the latest heading seen for each chapter number
    QSet<int> chaptersTaken;
    QSet<QString> seen;
    RuleItem* current = nullptr;
    for (const QString& p : paragraphs) {
        if (!out.Items.empty() && appendix.match(p).hasMatch())
            break;
        if (const auto m = item.match(p); m.hasMatch()) {
            const QString number = m.captured(1);
            current = nullptr;
            if (seen.contains(number))
                continue; // a later text with the same number (a note, a table) is not the item
            seen.insert(number);
            const int ch = Chapter(number);
            if (!chaptersTaken.contains(ch) && pendingHeading.contains(ch)) {
                chaptersTaken.insert(ch);
                out.Chapters.push_back({ch, pendingHeading.value(ch)});
            }
            out.Items.push_back({number, {p}});
            current = &out.Items.back();
            continue;
        }
        if (const auto m = chapter.match(p); m.hasMatch()) {
            // The decree before the rules numbers its points too: the heading that counts is
            // the last one before the chapter's first item.
            pendingHeading.insert(m.captured(1).toInt(), p);
            current = nullptr;
            continue;
        }
        if (current && !p.startsWith(QStringLiteral("(в ред.")) &&
            !p.startsWith(QStringLiteral("(введен")))
            current->Paragraphs << p;
    }
    return out;
}

} // namespace bil
