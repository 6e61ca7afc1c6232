// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <vector>

namespace bil {

// One place the help window's search can lead to: an entry of a pack page, or a whole page.
struct HelpSearchEntry {
    QString Title;
    QString Url;  // the page's address, with "#anchor" for an entry
    QString Text; // plain text in one line, folded for matching as the question search folds
};

// The text of an HTML page or fragment, without tags, scripts and styles, entities decoded.
QString HtmlPlainText(const QString& html);

// The search entries of a page at `url`: one per entry of a pack page (titled by its heading),
// else the page as a whole (titled by its <title>, else `fallbackTitle`).
std::vector<HelpSearchEntry> SearchEntriesOfPage(const QString& html, const QString& url,
                                                 const QString& fallbackTitle);

// Indices of the entries holding every word of `query`, those whose title holds them first, at
// most `limit`; nothing for a query without words.
std::vector<size_t> SearchHelp(const std::vector<HelpSearchEntry>& entries, const QString& query,
                               size_t limit = 200);

} // namespace bil
