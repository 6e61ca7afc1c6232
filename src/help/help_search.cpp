// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_search.h"

#include "data/question_search.h"
#include "help/help_pack_read.h"
#include "help/help_pack_sources.h"

#include <QRegularExpression>

namespace bil {

namespace {

QString TitleOf(const QString& html, QLatin1StringView tag) {
    const QString open = QLatin1Char('<') + tag;
    const qsizetype at = html.indexOf(open, 0, Qt::CaseInsensitive);
    if (at < 0)
        return {};
    const qsizetype begin = html.indexOf(u'>', at);
    const qsizetype end = html.indexOf(QStringLiteral("</") + tag, begin, Qt::CaseInsensitive);
    if (begin < 0 || end < 0)
        return {};
    return HtmlPlainText(html.mid(begin + 1, end - begin - 1)).simplified();
}

} // namespace

QString HtmlPlainText(const QString& html) {
    QStringList lines;
    for (const QString& line : HtmlText(html).split(u'\n'))
        if (QString l = line.simplified(); !l.isEmpty())
            lines << l;
    return lines.join(u'\n');
}

std::vector<HelpSearchEntry> SearchEntriesOfPage(const QString& html, const QString& url,
                                                 const QString& fallbackTitle) {
    std::vector<HelpSearchEntry> entries;
    static const QRegularExpression marker(QStringLiteral("<!--entry ([A-Za-z0-9._-]+)-->"));
    for (auto it = marker.globalMatch(html); it.hasNext();) {
        const auto match = it.next();
        const QString anchor = match.captured(1);
        const std::optional<QString> entry = ExtractEntry(html, anchor);
        if (!entry)
            continue;
        QString title = TitleOf(*entry, QLatin1StringView("h3"));
        if (title.isEmpty())
            title = anchor;
        entries.push_back(
            {title, url + u'#' + anchor, FoldForSearch(HtmlPlainText(*entry).simplified())});
    }
    if (!entries.empty())
        return entries;
    QString title = TitleOf(html, QLatin1StringView("title"));
    if (title.isEmpty())
        title = fallbackTitle;
    entries.push_back({title, url, FoldForSearch(HtmlPlainText(html).simplified())});
    return entries;
}

std::vector<size_t> SearchHelp(const std::vector<HelpSearchEntry>& entries, const QString& query,
                               size_t limit) {
    const QStringList words = SearchWords(query);
    if (words.isEmpty())
        return {};
    auto holdsAll = [&words](const QString& text) {
        for (const QString& word : words)
            if (!text.contains(word))
                return false;
        return true;
    };
    std::vector<size_t> inTitle;
    std::vector<size_t> inText;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (holdsAll(FoldForSearch(entries[i].Title)))
            inTitle.push_back(i);
        else if (holdsAll(entries[i].Text))
            inText.push_back(i);
    }
    inTitle.insert(inTitle.end(), inText.begin(), inText.end());
    if (inTitle.size() > limit)
        inTitle.resize(limit);
    return inTitle;
}

} // namespace bil
