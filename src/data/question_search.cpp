// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/question_search.h"

#include "data/word_forms.h"

#include <QHash>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <mutex>

namespace bil {

namespace {

// Joins two parts of one word: "2.4", "1,5", "по-прежнему".
bool JoinsWord(QChar before, QChar c, QChar after) {
    if ((c == u'.' || c == u',') && before.isDigit() && after.isDigit())
        return true;
    return (c == u'-' || c == QChar(0x2011)) && before.isLetter() && after.isLetter();
}

bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c.isMark();
}

// The keys a word is looked up under: its dictionary forms, folded, or the word itself when
// the dictionary does not know it (or there is none).
QStringList FormKeys(const WordForms* forms, const QString& folded) {
    QStringList keys;
    if (forms)
        for (const QString& f : forms->forms(folded)) {
            const QString key = FoldForSearch(f);
            if (!keys.contains(key))
                keys << key;
        }
    if (keys.isEmpty())
        keys << folded;
    return keys;
}

// The installed dictionary, opened once for the program: it takes a while to read.
std::shared_ptr<const WordForms> InstalledForms() {
    static std::mutex lock;
    static std::shared_ptr<const WordForms> forms;
    static bool opened = false;
    std::lock_guard guard(lock);
    if (!opened) {
        forms = WordForms::OpenInstalled();
        opened = true;
    }
    return forms;
}

} // namespace

struct SearchIndex::Data {
    // A word of a question text and where its form ids sit in FormIds.
    struct Word {
        int Start = 0;
        int Length = 0;
        int FirstForm = 0;
        int FormCount = 0;
    };

    QString DbPath;
    std::array<TQuestionEntry, QuestionCount> DbIndex{};
    std::shared_ptr<const WordForms> Forms;
    std::array<QString, QuestionCount> Text; // the question text as read
    QHash<QString, int> Ids;                 // form -> id
    std::vector<std::vector<int>> Anywhere;  // id -> numbers of the questions holding it
    std::vector<std::vector<int>> InText;    // id -> the same, question text only
    std::array<std::vector<Word>, QuestionCount> TextWords;
    std::array<std::vector<int>, QuestionCount> TextForms;

    int intern(const QString& form) {
        const auto it = Ids.constFind(form);
        if (it != Ids.constEnd())
            return it.value();
        const int id = int(Anywhere.size());
        Ids.insert(form, id);
        Anywhere.emplace_back();
        InText.emplace_back();
        return id;
    }

    // The ids a query word matches; forms no question holds are left out.
    std::vector<int> queryIds(const QString& word) const {
        std::vector<int> ids;
        for (const QString& key : FormKeys(Forms.get(), word)) {
            const auto it = Ids.constFind(key);
            if (it != Ids.constEnd())
                ids.push_back(it.value());
        }
        return ids;
    }
};

namespace {

void AddPosting(std::vector<int>& list, int number) {
    if (list.empty() || list.back() != number)
        list.push_back(number);
}

// Null when cancelled.
std::unique_ptr<SearchIndex::Data> BuildData(const Database& db,
                                             std::shared_ptr<const WordForms> forms,
                                             const std::atomic<bool>* cancel = nullptr) {
    auto data = std::make_unique<SearchIndex::Data>();
    data->Forms = std::move(forms);
    // Most words recur across the 800 questions: each is looked up in the dictionary once.
    QHash<QString, std::vector<int>> known;
    auto idsOf = [&](const QString& word) -> const std::vector<int>& {
        auto it = known.find(word);
        if (it == known.end()) {
            std::vector<int> ids;
            for (const QString& key : FormKeys(data->Forms.get(), word))
                ids.push_back(data->intern(key));
            it = known.insert(word, std::move(ids));
        }
        return it.value();
    };
    for (int n = 1; n <= QuestionCount; ++n) {
        if (cancel && cancel->load())
            return nullptr;
        const Result<TQuestion> q = db.LoadQuestionText(n);
        if (!q)
            continue;
        data->Text[n - 1] = q->Text;
        QStringList parts{q->Text};
        for (int k = 0; k < q->AnswerCount; ++k)
            parts << q->Answers[k];
        parts << q->Comment;
        for (int part = 0; part < parts.size(); ++part) {
            const QString folded = FoldForSearch(parts[part]);
            for (const TextRange& r : WordRanges(folded)) {
                const std::vector<int>& ids = idsOf(folded.mid(r.Start, r.Length));
                for (int id : ids) {
                    AddPosting(data->Anywhere[std::size_t(id)], n);
                    if (part == 0)
                        AddPosting(data->InText[std::size_t(id)], n);
                }
                if (part == 0) {
                    std::vector<int>& flat = data->TextForms[n - 1];
                    data->TextWords[n - 1].push_back(
                        {r.Start, r.Length, int(flat.size()), int(ids.size())});
                    flat.insert(flat.end(), ids.begin(), ids.end());
                }
            }
        }
    }
    data->DbPath = db.DbPath();
    data->DbIndex = db.DbIndex();
    return data;
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

std::vector<TextRange> WordRanges(const QString& text) {
    std::vector<TextRange> words;
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        while (i < size && !IsWordChar(text[i]))
            ++i;
        if (i == size)
            break;
        const qsizetype start = i;
        while (i < size) {
            if (IsWordChar(text[i]))
                ++i;
            else if (i + 1 < size && JoinsWord(text[i - 1], text[i], text[i + 1]))
                i += 2;
            else
                break;
        }
        words.push_back({int(start), int(i - start)});
    }
    return words;
}

QStringList SearchWords(const QString& query) {
    const QString folded = FoldForSearch(query);
    QStringList words;
    for (const TextRange& r : WordRanges(folded))
        words << folded.mid(r.Start, r.Length);
    return words;
}

SearchIndex::SearchIndex() = default;
SearchIndex::~SearchIndex() {
    // The program is ending: a build still running has no use any more.
    m_cancel->store(true);
    if (m_pending.valid())
        m_pending.wait();
}

void SearchIndex::setWordForms(std::shared_ptr<const WordForms> forms) {
    adopt();
    m_forms = std::move(forms);
    m_formsChosen = true;
    m_data.reset();
}

void SearchIndex::build(const Database& db) {
    adopt();
    if (!m_formsChosen) {
        m_forms = InstalledForms();
        m_formsChosen = true;
    }
    m_data = BuildData(db, m_forms);
}

void SearchIndex::buildInBackground(const Database& db) {
    adopt();
    if (!db.isOpen())
        return;
    const QString path = db.DbPath();
    const auto index = db.DbIndex();
    const bool chosen = m_formsChosen;
    std::shared_ptr<const WordForms> forms = m_forms;
    m_pending = std::async(std::launch::async, [path, index, chosen, forms, cancel = m_cancel] {
        // The open file belongs to this thread's caller: read a copy of our own.
        Database copy;
        if (!copy.OpenDatabase(path) || copy.DbIndex() != index)
            return std::unique_ptr<Data>();
        return BuildData(copy, chosen ? forms : InstalledForms(), cancel.get());
    });
}

void SearchIndex::adopt() {
    if (!m_pending.valid())
        return;
    std::unique_ptr<Data> data = m_pending.get();
    if (!data)
        return;
    if (!m_formsChosen) {
        m_forms = data->Forms;
        m_formsChosen = true;
    }
    m_data = std::move(data);
}

void SearchIndex::invalidate() {
    adopt();
    m_data.reset();
}

bool SearchIndex::built() {
    adopt();
    return m_data != nullptr;
}

bool SearchIndex::upToDate(const Database& db) {
    adopt();
    return m_data && m_data->DbPath == db.DbPath() && m_data->DbIndex == db.DbIndex();
}

void SearchIndex::ensureBuilt(const Database& db) {
    if (!upToDate(db))
        build(db);
}

const QString& SearchIndex::questionText(int number) {
    static const QString none;
    adopt();
    if (!m_data || number < 1 || number > QuestionCount)
        return none;
    return m_data->Text[number - 1];
}

std::vector<SearchHit> SearchIndex::find(const QString& query) {
    std::vector<SearchHit> hits;
    adopt();
    const QStringList words = SearchWords(query);
    if (!m_data || words.isEmpty())
        return hits;
    const Data& d = *m_data;
    std::bitset<QuestionCount> all;
    all.set();
    std::vector<std::bitset<QuestionCount>> inText(std::size_t(words.size()));
    std::vector<int> matching; // ids of every query word, for the highlights
    for (qsizetype w = 0; w < words.size(); ++w) {
        std::bitset<QuestionCount> anywhere;
        for (int id : d.queryIds(words[w])) {
            matching.push_back(id);
            for (int n : d.Anywhere[std::size_t(id)])
                anywhere.set(std::size_t(n - 1));
            for (int n : d.InText[std::size_t(id)])
                inText[std::size_t(w)].set(std::size_t(n - 1));
        }
        all &= anywhere;
    }
    std::sort(matching.begin(), matching.end());
    for (int n = 1; n <= QuestionCount; ++n) {
        if (!all.test(std::size_t(n - 1)))
            continue;
        SearchHit hit{n, 0, {}};
        for (const auto& bits : inText)
            hit.InText += bits.test(std::size_t(n - 1)) ? 1 : 0;
        const std::vector<int>& forms = d.TextForms[n - 1];
        for (const Data::Word& word : d.TextWords[n - 1]) {
            const auto first = forms.begin() + word.FirstForm;
            if (std::any_of(first, first + word.FormCount, [&](int id) {
                    return std::binary_search(matching.begin(), matching.end(), id);
                }))
                hit.Highlights.push_back({word.Start, word.Length});
        }
        hits.push_back(std::move(hit));
    }
    std::stable_sort(hits.begin(), hits.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.InText > b.InText; });
    return hits;
}

} // namespace bil
