#include "data/question_search.h"

#include <QRegularExpression>

#include <algorithm>

namespace bil {

namespace {

// Punctuation a learner types around a word that the texts do not hold glued to it.
bool IsEdgePunctuation(QChar c) {
    return c.isPunct() || c.isSymbol();
}

// Appends every occurrence of word in text as a range.
void CollectRanges(const QString& text, const QString& word, std::vector<TextRange>& out) {
    for (qsizetype at = text.indexOf(word); at >= 0; at = text.indexOf(word, at + word.size()))
        out.push_back({int(at), int(word.size())});
}

// Sorted ranges with overlapping or touching ones joined.
std::vector<TextRange> Merged(std::vector<TextRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const TextRange& a, const TextRange& b) { return a.Start < b.Start; });
    std::vector<TextRange> out;
    for (const TextRange& r : ranges) {
        if (!out.empty() && r.Start <= out.back().Start + out.back().Length) {
            const int end = std::max(out.back().Start + out.back().Length, r.Start + r.Length);
            out.back().Length = end - out.back().Start;
        } else {
            out.push_back(r);
        }
    }
    return out;
}

} // namespace

QString FoldForSearch(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        // One unit for one unit: Cyrillic and Latin letters lower in place; a letter whose
        // lower case needs a surrogate pair keeps its case rather than shifting positions.
        const QChar lower = c.toLower();
        c = lower.isSurrogate() ? c : lower;
        if (c == QChar(0x0451)) // ё
            c = QChar(0x0435);  // е
    }
    return folded;
}

QStringList SearchWords(const QString& query) {
    QStringList words;
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    for (const QString& part : FoldForSearch(query).split(blanks, Qt::SkipEmptyParts)) {
        qsizetype from = 0, to = part.size();
        while (from < to && IsEdgePunctuation(part[from]))
            ++from;
        while (to > from && IsEdgePunctuation(part[to - 1]))
            --to;
        if (to > from)
            words << part.mid(from, to - from);
    }
    return words;
}

void SearchIndex::build(const Database& db) {
    for (int n = 1; n <= QuestionCount; ++n) {
        QString& text = m_text[n - 1];
        QString& folded = m_folded[n - 1];
        QString& haystack = m_haystack[n - 1];
        const Result<TQuestion> q = db.LoadQuestionText(n);
        if (!q) {
            text.clear();
            folded.clear();
            haystack.clear();
            continue;
        }
        text = q->Text;
        folded = FoldForSearch(text);
        QString all = text;
        for (int k = 0; k < q->AnswerCount; ++k)
            all += QLatin1Char('\n') + q->Answers[k];
        all += QLatin1Char('\n') + q->Comment;
        haystack = FoldForSearch(all);
    }
    m_dbPath = db.DbPath();
    m_dbIndex = db.DbIndex();
    m_built = true;
}

bool SearchIndex::upToDate(const Database& db) const {
    return m_built && m_dbPath == db.DbPath() && m_dbIndex == db.DbIndex();
}

void SearchIndex::ensureBuilt(const Database& db) {
    if (!upToDate(db))
        build(db);
}

std::vector<SearchHit> SearchIndex::find(const QString& query) const {
    std::vector<SearchHit> hits;
    if (!m_built)
        return hits;
    const QStringList words = SearchWords(query);
    if (words.isEmpty())
        return hits;
    for (int n = 1; n <= QuestionCount; ++n) {
        const QString& haystack = m_haystack[n - 1];
        const bool all = std::all_of(words.begin(), words.end(),
                                     [&](const QString& w) { return haystack.contains(w); });
        if (!all)
            continue;
        std::vector<TextRange> ranges;
        for (const QString& w : words)
            CollectRanges(m_folded[n - 1], w, ranges);
        hits.push_back({n, Merged(std::move(ranges))});
    }
    return hits;
}

} // namespace bil
