// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Data sets with the help material of the open question set, in its published shapes: signs and
// markings as objects of groups keyed by number, fines as JSON lines, tickets as arrays. Built
// in the test; the texts are our own.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <ostream>

// Readable lists in test failure messages.
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{';
    for (const QString& s : list)
        *os << " \"" << s.toStdString() << '"';
    *os << " }";
}

namespace bil::test {

// A small plain SVG picture filled with `colour` ("#ff0000"), 100 × 100.
QByteArray SignSvg(const QString& colour);

// Writes `bytes` to `path`, making its folders; a test failure on error.
void WriteDataFile(const QString& path, const QByteArray& bytes);

// The small data set the help tests read, with the quirks of the real one:
// - signs 1.1, 1.2, 1.10 ("Предупреждающие знаки"), 3.20 with a long run-together description,
//   5.19.1 (three-level key, no "number" field), 7.1 whose picture file is missing, 8.2.1 whose
//   title needs escaping (TrickyTitle); the pictures are red SVGs, 3.20 is blue;
// - markings 1.1, 1.2, 1.14.1 (horizontal) and 2.1 (vertical);
// - three fines on JSON lines with a blank line between;
// - tickets 1 of A_B and C_D whose comments cite п. 9.10, пункт 10.1, п. 2.1.1, знак 3.20,
//   разметка 1.1, знак 4.1 (not in the data set) and разметка 1.14.1.
void WriteHelpDataSet(const QString& root);

inline const QString TrickyTitle = QStringLiteral("Зона <b>действия</b> & \"табличка\"");
// Comment of A_B ticket 1, question 1 (also C_D ticket 1, question 1).
inline const QString CommentCiting910 =
    QStringLiteral("Согласно п. 9.10 ПДД водитель должен соблюдать дистанцию, а знак 3.20 "
                   "запрещает обгон.");
// Writes questions/<set>/tickets/Билет <ticket>.json ("A_B", "C_D") with one question per
// comment, at positions 1, 2, …
void WriteTicketComments(const QString& root, const QString& set, int ticket,
                         const QStringList& comments);

// A rules text of our own writing: a decree with numbered points, chapters 1, 2, 9 and 10,
// items 1.1, 1.2 (with a definition paragraph and an edit note), 2.1.1, 9.10 (with a list item)
// and 10.1, then an appendix that numbers signs like items.
QByteArray RulesFixture();

// A data set of realistic size, generated: signs in 8 groups (missingPictures of them without
// a picture file), markings in 2 groups, fines, and 40 tickets of 20 questions for each of
// A_B and C_D whose comments cite rule items, signs and markings.
struct HelpDataSetSize {
    int Signs = 310;
    int Markings = 47;
    int Fines = 118;
    int MissingPictures = 22;
};
void WriteGeneratedHelpDataSet(const QString& root, const HelpDataSetSize& size = {});

} // namespace bil::test
