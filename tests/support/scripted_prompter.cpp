// SPDX-License-Identifier: GPL-3.0-or-later
#include "scripted_prompter.h"

#include <utility>

namespace bil::test {

bool ScriptedPrompter::askYesNo(const QString& caption, const QString& text) {
    m_shown.push_back({Kind::YesNo, caption, text, Icon::Question, {}, {}, {}, {}, true});
    if (m_during) {
        const std::function<void()> action = std::exchange(m_during, {});
        m_asking = true;
        m_closing = false;
        action();
        m_asking = false;
        m_closedQuestions += m_closing;
    }
    if (m_answers.empty())
        return m_whenEmpty;
    const bool yes = m_answers.front();
    m_answers.pop_front();
    return yes;
}

bool ScriptedPrompter::ask(const YesNoQuestion& question) {
    const bool yes = askYesNo(question.Caption, question.Text);
    m_shown.back().details = question.Details;
    m_shown.back().defaultYes = question.DefaultYes;
    return yes;
}

void ScriptedPrompter::message(const QString& caption, const QString& text, Icon icon) {
    m_shown.push_back({Kind::Message, caption, text, icon, {}, {}, {}, {}, true});
}

QString ScriptedPrompter::chooseSaveFile(const QString& title, const QString& proposed,
                                         const QString& filter) {
    return chooseOpenFile(title, proposed, filter);
}

QString ScriptedPrompter::chooseOpenFile(const QString& title, const QString& folder,
                                         const QString& filter) {
    m_shown.push_back({Kind::OpenFile, {}, title, Icon::Question, folder, filter, {}, {}, true});
    if (m_files.empty())
        return {};
    QString path = m_files.front();
    m_files.pop_front();
    return path;
}

QString ScriptedPrompter::chooseOpenFileWithPlaces(const QString& title, const QString& folder,
                                                   const QString& filter,
                                                   const QStringList& places) {
    const QString path = chooseOpenFile(title, folder, filter);
    m_shown.back().places = places;
    return path;
}

QString ScriptedPrompter::chooseFolder(const QString& title, const QString& folder) {
    m_shown.push_back({Kind::Folder, {}, title, Icon::Question, folder, {}, {}, {}, true});
    if (m_files.empty())
        return {};
    QString path = m_files.front();
    m_files.pop_front();
    return path;
}

Prompter::DateChoice ScriptedPrompter::chooseDate(const QString& title, const QString& text,
                                                  const QDate& current, const QDate&) {
    m_shown.push_back(
        {Kind::Date, title, text, Icon::Question, current.toString(Qt::ISODate), {}, {}, {}, true});
    if (m_dates.empty())
        return {};
    const DateChoice choice = m_dates.front();
    m_dates.pop_front();
    return choice;
}

std::optional<int> ScriptedPrompter::chooseNumber(const QString& title, const QString& text,
                                                  int current, int, int) {
    m_shown.push_back(
        {Kind::Number, title, text, Icon::Question, QString::number(current), {}, {}, {}, true});
    if (m_numbers.empty())
        return std::nullopt;
    const int number = m_numbers.front();
    m_numbers.pop_front();
    return number;
}

QStringList ScriptedPrompter::texts() const {
    QStringList list;
    for (const Shown& s : m_shown)
        list << s.text;
    return list;
}

QStringList ScriptedPrompter::textsOf(Kind kind) const {
    QStringList list;
    for (const Shown& s : m_shown) {
        if (s.kind == kind)
            list << s.text;
    }
    return list;
}

QStringList ScriptedPrompter::questions() const {
    return textsOf(Kind::YesNo);
}

QStringList ScriptedPrompter::messages() const {
    return textsOf(Kind::Message);
}

bool ScriptedPrompter::showed(const QString& text) const {
    for (const Shown& s : m_shown) {
        if (s.text == text)
            return true;
    }
    return false;
}

} // namespace bil::test
