#pragma once

#include "data/database.h"
#include "data/numbering.h"

#include <QString>
#include <QStringList>

#include <array>
#include <utility>
#include <vector>

namespace bil {

// A highlighted stretch of a question's text: start and length in UTF-16 units.
struct TextRange {
    int Start = 0;
    int Length = 0;
    bool operator==(const TextRange&) const = default;
};

// One question that holds every word of the query.
struct SearchHit {
    int Number = 0;                    // 1..800
    std::vector<TextRange> Highlights; // in the question text, ascending, not overlapping
};

// Lower case, "ё" as "е": the form both the texts and the query are compared in. Keeps the
// length, so a position in the folded text is the same position in the original.
QString FoldForSearch(const QString& text);
// The words of a query, folded; blanks separate them and punctuation around a word is dropped
// ("знак," finds "знак"), punctuation inside it stays ("2.4").
QStringList SearchWords(const QString& query);

// The texts of the open database's questions, decoded and folded once, so that each keystroke
// only scans memory. Built on first use and again whenever the database changes.
class SearchIndex {
public:
    // Reads question, answers and comment of the 800 questions; a question that cannot be read
    // is left out (it cannot be shown either).
    void build(const Database& db);
    // Forgets the texts; the next search builds them again.
    void invalidate() { m_built = false; }
    // Built from this database as it is open now (same file, same index).
    bool upToDate(const Database& db) const;
    // Builds when not up to date with db.
    void ensureBuilt(const Database& db);
    bool built() const { return m_built; }

    // Questions holding every word of the query anywhere in question, answers or comment, in
    // question-number order; the words found in the question text are highlighted. An empty
    // query finds nothing.
    std::vector<SearchHit> find(const QString& query) const;
    // The question text as read (empty for a question left out).
    const QString& questionText(int number) const { return m_text[number - 1]; }

private:
    bool m_built = false;
    QString m_dbPath;
    std::array<TQuestionEntry, QuestionCount> m_dbIndex{};
    std::array<QString, QuestionCount> m_text;     // the question text as read
    std::array<QString, QuestionCount> m_folded;   // folded question text
    std::array<QString, QuestionCount> m_haystack; // folded text, answers and comment
};

} // namespace bil
