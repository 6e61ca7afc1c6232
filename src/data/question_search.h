// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/database.h"
#include "data/numbering.h"

#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <future>
#include <memory>
#include <vector>

namespace bil {

class WordForms;

// A highlighted stretch of a question's text: start and length in UTF-16 units.
struct TextRange {
    int Start = 0;
    int Length = 0;
    bool operator==(const TextRange&) const = default;
};

// One question that holds every word of the query.
struct SearchHit {
    int Number = 0;                    // 1..800
    int InText = 0;                    // how many query words the question text itself holds
    std::vector<TextRange> Highlights; // in the question text, ascending, not overlapping
};

// Lower case, "ё" as "е": the form both the texts and the query are compared in. Keeps the
// length, so a position in the folded text is the same position in the original.
QString FoldForSearch(const QString& text);
// Where the words of a text are: any space separates them, punctuation around a word is not
// part of it ("знак," is "знак"), a point or comma between digits and a hyphen between letters
// are ("2.4", "по-прежнему").
std::vector<TextRange> WordRanges(const QString& text);
// The words of a query, folded.
QStringList SearchWords(const QString& query);

// The words of the open database's questions under their dictionary forms, so that each
// keystroke only looks up memory. Built once per database, on a worker thread or on first use.
class SearchIndex {
public:
    SearchIndex();
    ~SearchIndex();
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    // The dictionary the next build uses: without one (null) words are only matched as written
    // (folded). Unless set, the first build opens the installed Russian dictionary.
    void setWordForms(std::shared_ptr<const WordForms> forms);

    // Reads question, answers and comment of the 800 questions; a question that cannot be read
    // is left out (it cannot be shown either).
    void build(const Database& db);
    // The same on a worker thread, from the database's file opened a second time; the next
    // use waits for it when it has not finished.
    void buildInBackground(const Database& db);
    // Forgets the texts; the next search builds them again.
    void invalidate();
    // Built from this database as it is open now (same file, same index).
    bool upToDate(const Database& db);
    // Builds when not up to date with db.
    void ensureBuilt(const Database& db);
    bool built();

    // Questions whose words match every word of the query (a word matches when the two share a
    // dictionary form; a word the dictionary does not know only itself) anywhere in question,
    // answers or comment: first those holding more of the query words in the question text,
    // then by number. The matching words of the question text are highlighted. An empty query
    // finds nothing.
    std::vector<SearchHit> find(const QString& query);
    // The question text as read (empty for a question left out).
    const QString& questionText(int number);

    struct Data;

private:
    // Takes over a finished background build.
    void adopt();

    std::shared_ptr<const WordForms> m_forms;
    bool m_formsChosen = false;
    std::unique_ptr<Data> m_data;
    std::future<std::unique_ptr<Data>> m_pending;
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
};

} // namespace bil
