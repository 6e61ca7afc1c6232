// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/status.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace bil {

// One sign or marking of the data set: "3.20", "Обгон запрещен", "./images/signs/<hex>.svg".
struct SignEntry {
    QString Number;
    QString Title; // empty for markings, which have none
    QString Image; // as written in the file; empty when there is none
    QString Description;
};

// A named group of signs or markings, in number order.
struct SignGroup {
    QString Name;
    std::vector<SignEntry> Entries;
};

// Groups read from signs/signs.json or markup/markup.json, with what was left out.
struct SignCatalogue {
    std::vector<SignGroup> Groups; // ordered by the chapter of their first entry
    int Skipped = 0;               // entries without a usable number
};

// One line of penalties/penalties.json: "12.9 ч. 2", the offence, the penalty.
struct Fine {
    QString ArticlePart;
    QString Text;
    QString Penalty;
};

// One question of a ticket file, the fields the help pages show.
struct TicketQuestion {
    int Ticket = 0;   // 1..40
    int Position = 0; // 1..20
    QString Text;
    QString Comment; // one line, as the import stores it
};

// A JSON object of groups, each an object of entries keyed by number. A number must be digits
// joined by dots ("5.19.1"); an entry without one is skipped and counted. The JSON key order
// is not kept: groups and entries are sorted by number.
Result<SignCatalogue> ReadSignCatalogue(const QByteArray& json);

// One JSON object per line; blank lines are skipped. A line that is not an object with an
// article fails the whole file, naming the line.
Result<std::vector<Fine>> ReadFines(const QByteArray& jsonLines);

// A ticket file: a JSON array of questions with "ticket_number", "title", "question" and
// "answer_tip". Entries without a ticket 1..40 and a question 1..20 are skipped.
Result<std::vector<TicketQuestion>> ReadTicketQuestions(const QByteArray& json);

// Whether `number` is digits joined by single dots: "3.20", "1.14.1", "12".
bool IsDottedNumber(const QString& number);

// Orders dotted numbers by their parts as numbers: 1.2 < 1.10 < 2.1.
bool DottedLess(const QString& a, const QString& b);

// Kinds of the readable pieces of a run-together description.
struct TextBlock {
    enum class Kind { Paragraph, Heading, ListItem };
    Kind kind = Kind::Paragraph;
    QString text;
};

// Splits a description whose parts were run together ("Запрещается:а) …;б) …",
// "…знака:КоАП РФ …") into paragraphs, lead-ins ending with ':' and list items.
std::vector<TextBlock> SplitDescription(const QString& text);

// The text of an HTML page or fragment: tags, comments, scripts and styles dropped, entities
// decoded, a line break for every block element.
QString HtmlText(const QString& html);

// Paragraphs of a text given as plain text or HTML (cp1251 or UTF-8): one per line or block
// element, blanks collapsed, tags, scripts and styles dropped, entities decoded.
QStringList TextParagraphs(const QByteArray& bytes);

// Items of the rules text, found by their number at the start of a paragraph
// ("9.10. Водитель должен …"), each with the paragraphs that follow it up to the next item or
// chapter heading; reading stops at the first appendix. Chapters keep their headings.
struct RuleItem {
    QString Number;         // "9.10"
    QStringList Paragraphs; // the first starts with the number
};
struct RuleChapter {
    int Number = 0;
    QString Heading; // "9. Расположение транспортных средств на проезжей части"
};
struct RulesText {
    std::vector<RuleChapter> Chapters;
    std::vector<RuleItem> Items; // in text order, each number once (the first)
};
RulesText SplitRulesText(const QStringList& paragraphs);

} // namespace bil
