// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace bil {

// A Yes/No question with more to it than askYesNo: the answer Enter gives, and a list the
// learner can open ("Подробнее").
struct YesNoQuestion {
    QString Caption;
    QString Text;
    QString Details;        // empty: none
    bool DefaultYes = true; // false for a step the learner should not take by habit
};

// Every question to the learner and every file dialog goes through this; tests script it.
class Prompter {
public:
    enum class Icon { Information, Warning, Question, Error };
    virtual ~Prompter() = default;
    // Yes/No question with the question icon; true for Yes.
    virtual bool askYesNo(const QString& caption, const QString& text) = 0;
    // The question as described; prompters without their own ask it through askYesNo.
    virtual bool ask(const YesNoQuestion& question) {
        return askYesNo(question.Caption, question.Text);
    }
    // Modal message with an OK button.
    virtual void message(const QString& caption, const QString& text, Icon icon) = 0;
    // Open-file dialog; empty string when cancelled.
    virtual QString chooseOpenFile(const QString& title, const QString& folder,
                                   const QString& filter) = 0;
    // The open-file dialog with more folders in its side bar (the program's hidden data folder).
    // Prompters without a side bar ask as chooseOpenFile does.
    virtual QString chooseOpenFileWithPlaces(const QString& title, const QString& folder,
                                             const QString& filter, const QStringList& places) {
        (void)places;
        return chooseOpenFile(title, folder, filter);
    }
    // Save-file dialog starting at the proposed path; empty string when cancelled. Prompters
    // without one cancel.
    virtual QString chooseSaveFile(const QString& title, const QString& proposed,
                                   const QString& filter) {
        (void)title;
        (void)proposed;
        (void)filter;
        return QString();
    }
    // Folder dialog; empty string when cancelled. Prompters without one cancel.
    virtual QString chooseFolder(const QString& title, const QString& folder) {
        (void)title;
        (void)folder;
        return QString();
    }

    // What a date dialog gave: nothing (cancelled), a date, or the date cleared.
    struct DateChoice {
        bool Accepted = false; // false: cancelled, nothing changes
        QDate Date;            // invalid when the learner cleared the date
    };
    // Date dialog starting at current (or at the first allowed day when it is invalid), no day
    // before earliest, with a button that clears the date. Prompters without one cancel.
    virtual DateChoice chooseDate(const QString& title, const QString& text, const QDate& current,
                                  const QDate& earliest) {
        (void)title;
        (void)text;
        (void)current;
        (void)earliest;
        return {};
    }
    // Whole-number dialog within min..max starting at current; nothing when cancelled.
    // Prompters without one cancel.
    virtual std::optional<int> chooseNumber(const QString& title, const QString& text, int current,
                                            int min, int max) {
        (void)title;
        (void)text;
        (void)current;
        (void)min;
        (void)max;
        return std::nullopt;
    }

    // Closes every Yes/No question still open, which then answers No: what it asked about has
    // ended (a run timed out). The asker still checks, once the question returns, that its run
    // is the one it asked about, since an answer may already be on its way.
    virtual void closeQuestions() {}

    void warn(const QString& text) { message(QStringLiteral("Внимание!"), text, Icon::Warning); }
    void inform(const QString& text) {
        message(QStringLiteral("БИЛЕТОРИЯ DER UZIRI"), text, Icon::Information);
    }
    bool confirm(const QString& text) { return askYesNo(QStringLiteral("Внимание!"), text); }
};

// Uniform random draws; seeded by the owner, replaced by a script in tests.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Uniform integer in 0..n-1 (n >= 1).
    virtual int below(int n) = 0;
    // Reseed from the clock (the program does this when study and exam windows are shown).
    virtual void reseed() = 0;
};

// Wall time and a monotonic tick count; the program reads the system clock, tests step one.
class Clock {
public:
    virtual ~Clock() = default;
    // The current time, UTC.
    virtual QDateTime nowUtc() const = 0;
    // Milliseconds on a clock that only moves forward (for waits and elapsed times).
    virtual int64_t ticksMs() const = 0;
};

// The system's clock.
class SystemClock final : public Clock {
public:
    QDateTime nowUtc() const override;
    int64_t ticksMs() const override;
};

// Hands a help request ("biltor.chm::/topic>main" or ">popup") to whatever shows help.
class HelpEngine {
public:
    virtual ~HelpEngine() = default;
    virtual void showHelp(const QString& request) = 0;
};

} // namespace bil
