// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/word_forms.h"

#include <QFile>

#include <hunspell.hxx>

#include <iconv.h>

#include <cctype>

#include <mutex>
#include <string>

namespace bil {

namespace {

// Converts between UTF-8 and the dictionary's own encoding (its SET line); an impossible
// conversion gives an empty string.
class Recoder {
public:
    Recoder(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Recoder() {
        if (valid())
            iconv_close(m_cd);
    }
    Recoder(const Recoder&) = delete;
    Recoder& operator=(const Recoder&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }

    std::string operator()(const std::string& in) const {
        if (!valid())
            return {};
        iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 8, '\0');
        char* inPtr = const_cast<char*>(in.data());
        char* outPtr = out.data();
        size_t inLeft = in.size(), outLeft = out.size();
        if (iconv(m_cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1))
            return {};
        out.resize(out.size() - outLeft);
        return out;
    }

private:
    iconv_t m_cd;
};

bool IsUtf8(std::string name) {
    for (char& c : name)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return name == "UTF-8" || name == "UTF8";
}

} // namespace

struct WordForms::Impl {
    Impl(const QByteArray& aff, const QByteArray& dic) : speller(aff.constData(), dic.constData()) {
        const std::string encoding = speller.get_dict_encoding();
        if (!IsUtf8(encoding)) {
            toDictionary = std::make_unique<Recoder>(encoding.c_str(), "UTF-8");
            fromDictionary = std::make_unique<Recoder>("UTF-8", encoding.c_str());
        }
    }

    std::string encode(const QString& word) const {
        const std::string utf8 = word.toStdString();
        return toDictionary ? (*toDictionary)(utf8) : utf8;
    }
    QString decode(const std::string& word) const {
        return QString::fromStdString(fromDictionary ? (*fromDictionary)(word) : word);
    }
    QStringList stem(const QString& word) {
        QStringList out;
        const std::string encoded = encode(word);
        if (encoded.empty())
            return out; // a letter the dictionary's encoding lacks: not a word it knows
        for (const std::string& s : speller.stem(encoded)) {
            const QString form = decode(s);
            if (!form.isEmpty() && !out.contains(form))
                out << form;
        }
        return out;
    }

    Hunspell speller;
    std::unique_ptr<Recoder> toDictionary, fromDictionary; // null for a UTF-8 dictionary
    std::mutex lock;
};

WordForms::WordForms(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
WordForms::~WordForms() = default;

std::unique_ptr<WordForms> WordForms::Open(const QString& affPath, const QString& dicPath) {
    // Hunspell reports missing files only on stderr and then knows no word.
    if (!QFile::exists(affPath) || !QFile::exists(dicPath))
        return nullptr;
    auto impl = std::make_unique<Impl>(QFile::encodeName(affPath), QFile::encodeName(dicPath));
    if (impl->toDictionary && (!impl->toDictionary->valid() || !impl->fromDictionary->valid()))
        return nullptr; // an encoding iconv does not know
    return std::unique_ptr<WordForms>(new WordForms(std::move(impl)));
}

std::unique_ptr<WordForms> WordForms::OpenInstalled() {
    for (const char* dir : {"/usr/share/hunspell", "/usr/local/share/hunspell",
                            "/usr/share/myspell/dicts", "/usr/share/myspell"}) {
        const QString base = QString::fromLatin1(dir) + QStringLiteral("/ru_RU");
        if (auto forms = Open(base + QStringLiteral(".aff"), base + QStringLiteral(".dic")))
            return forms;
    }
    return nullptr;
}

QStringList WordForms::forms(const QString& word) const {
    if (word.isEmpty())
        return {};
    std::lock_guard guard(m_impl->lock);
    QStringList out = m_impl->stem(word);
    if (out.isEmpty() && word[0].isLower())
        out = m_impl->stem(word.left(1).toUpper() + word.mid(1));
    return out;
}

} // namespace bil
