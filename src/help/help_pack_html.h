// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "help/help_pack_sources.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace bil {

// Style of the pack's pages; popups showing one entry use it too.
extern const QString PackStyleSheet;

// A whole page: title, style sheet, the body.
QString PackPage(const QString& title, const QString& body);

// A description as escaped paragraphs, lead-ins and lists.
QString DescriptionHtml(const QString& description);

// `text` escaped, every standalone occurrence of the reference number `number` highlighted
// ("9.1" is found in "п. 9.1 ПДД", not in "9.10" or "19.1").
QString HighlightNumber(const QString& text, const QString& number);

// A picture of the pack with the size it is shown at (0 when unknown).
struct PackPicture {
    QString Path; // "images/signs/<name>.svg"
    int Width = 0;
    int Height = 0;
};

// The entry of a sign or marking: heading, picture when there is one, description.
QString SignEntryHtml(const QString& anchor, const QString& heading, const PackPicture* picture,
                      const QString& description);

// A question citing a rule item, with every place it has in the imported tickets
// ("A,B: билет 5, вопрос 3").
struct CitingQuestion {
    QStringList Places;
    QString Text;
    QString Comment;
};

// The entry of a rule item: its text when the rules were given, then the citing questions.
QString RuleItemHtml(const QString& anchor, const QString& number, const RuleItem* rule,
                     const std::vector<CitingQuestion>& questions);

// The entry of one fine.
QString FineEntryHtml(const QString& anchor, const Fine& fine);

} // namespace bil
