// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

namespace bil {

// The dictionary forms of Russian words, from a Hunspell dictionary. Safe to use from several
// threads (the stemmer is not, so its calls take turns).
class WordForms {
public:
    // The dictionary of the two files, or null when either is missing or unreadable.
    static std::unique_ptr<WordForms> Open(const QString& affPath, const QString& dicPath);
    // The Russian dictionary the system has installed (ru_RU in the usual Hunspell folders), or
    // null without one.
    static std::unique_ptr<WordForms> OpenInstalled();

    ~WordForms();
    WordForms(const WordForms&) = delete;
    WordForms& operator=(const WordForms&) = delete;

    // The dictionary forms of a word, as the dictionary writes them; empty when it does not
    // know the word. A word written in lower case is also tried capitalised, so that names
    // typed in lower case are found.
    QStringList forms(const QString& word) const;

private:
    struct Impl;
    explicit WordForms(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace bil
