// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/readiness.h"

#include "stats/answer_journal.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <cmath>
#include <numeric>

namespace bil {

namespace {

constexpr double DueRecall = 0.9;
constexpr int64_t SecondsPerDay = 86400;
// A question worth less than this to the chance to pass is worth nothing to the learner.
constexpr double NoValue = 1e-9;

// Indices 0..799 by falling value, ties by number.
std::vector<int> ByValue(const std::array<double, QuestionCount>& value) {
    std::vector<int> order(QuestionCount);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return value[size_t(a)] > value[size_t(b)]; });
    return order;
}

} // namespace

double ChanceToPass(const std::vector<JournalEntry>& entries, Fingerprint set, int64_t at) {
    return PassChance(RecallProbabilities(ReplayJournal(entries, set), at));
}

std::vector<int> ReviewQuestions(const MemoryStates& states, int64_t now, int goal) {
    const AnswerChances p = RecallProbabilities(states, now);
    std::vector<int> due;
    for (int i = 0; i < QuestionCount; ++i)
        if (states[size_t(i)].Reviews > 0 && p[size_t(i)] < DueRecall)
            due.push_back(i);
    std::stable_sort(due.begin(), due.end(),
                     [&](int a, int b) { return p[size_t(a)] < p[size_t(b)]; });
    std::vector<int> run;
    std::array<bool, QuestionCount> taken{};
    for (int i : due) {
        run.push_back(i + 1);
        taken[size_t(i)] = true;
    }
    // A question worth nothing to the chance (known for sure, or while every exam fails
    // whatever it gets) does not fill the goal: the run would only repeat for nothing.
    if (int(run.size()) < goal) {
        const std::array<double, QuestionCount> value = ChanceGains(p);
        for (int i : ByValue(value)) {
            if (int(run.size()) >= goal || value[size_t(i)] < NoValue)
                break;
            if (!taken[size_t(i)])
                run.push_back(i + 1);
        }
    }
    return run;
}

std::array<double, QuestionCount> ChanceGains(const AnswerChances& p) {
    const AnswerChances grad = PassChanceGradient(p);
    std::array<double, QuestionCount> gain{};
    for (int i = 0; i < QuestionCount; ++i)
        gain[size_t(i)] = grad[size_t(i)] * (1.0 - p[size_t(i)]);
    return gain;
}

std::vector<int> LargestGains(const std::array<double, QuestionCount>& gains, int count) {
    std::vector<int> best;
    for (int i : ByValue(gains)) {
        if (int(best.size()) >= count || gains[size_t(i)] < NoValue)
            break;
        best.push_back(i + 1);
    }
    return best;
}

std::vector<int> MostValuableQuestions(const AnswerChances& p, int count) {
    return LargestGains(ChanceGains(p), count);
}

int64_t LocalDay(int64_t time, int utcOffset) {
    const int64_t local = time + utcOffset;
    // Floor division: times before 1970 still fall on their own day.
    return local / SecondsPerDay - (local % SecondsPerDay < 0 ? 1 : 0);
}

std::vector<DayChance> ChanceByDay(const std::vector<JournalEntry>& entries, Fingerprint set,
                                   int64_t now, int utcOffset) {
    std::vector<const JournalEntry*> ofSet;
    for (const JournalEntry& e : entries)
        if (e.Set == set && e.Question >= 1 && e.Question <= QuestionCount)
            ofSet.push_back(&e);
    // A clock set back leaves records out of time order; days must still come in order.
    std::stable_sort(ofSet.begin(), ofSet.end(), [](const JournalEntry* a, const JournalEntry* b) {
        return a->Time < b->Time;
    });
    std::vector<DayChance> points;
    MemoryStates states{};
    for (std::size_t i = 0; i < ofSet.size();) {
        const int64_t day = LocalDay(ofSet[i]->Time, utcOffset);
        for (; i < ofSet.size() && LocalDay(ofSet[i]->Time, utcOffset) == day; ++i)
            if (ofSet[i]->isReview())
                Review(states[size_t(ofSet[i]->Question - 1)], ofSet[i]->Right, ofSet[i]->Time);
        const int64_t dayEnd = (day + 1) * SecondsPerDay - utcOffset;
        points.push_back({day, PassChance(RecallProbabilities(states, std::min(dayEnd, now)))});
    }
    return points;
}

std::vector<int> DueByDay(const MemoryStates& states, int64_t now, int utcOffset, int days) {
    std::vector<int> due(size_t(std::max(days, 0)), 0);
    const int64_t today = LocalDay(now, utcOffset);
    for (const MemoryState& s : states) {
        if (s.Reviews == 0)
            continue;
        // Recall falls to 0.9 exactly when the time since the review reaches the stability.
        const double at = double(s.Last) + s.Stability * double(SecondsPerDay);
        if (!(at <= double(now) + double(due.size() + 1) * SecondsPerDay))
            continue; // beyond the days counted (or no number at all)
        const int64_t day = at <= double(now) ? today : LocalDay(int64_t(std::ceil(at)), utcOffset);
        if (day - today < int64_t(due.size()))
            ++due[size_t(day - today)];
    }
    return due;
}

Result<AnswerChances> ParseAnswerChances(const QByteArray& text) {
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.back().trimmed().isEmpty())
        lines.removeLast();
    if (lines.size() != QuestionCount)
        return Status::Error(QStringLiteral("Нужно %1 строк с вероятностями, а в файле %2.")
                                 .arg(QuestionCount)
                                 .arg(lines.size()));
    AnswerChances p{};
    for (int i = 0; i < QuestionCount; ++i) {
        QByteArray line = lines[i].trimmed();
        line.replace(',', '.');
        bool ok = false;
        const double value = line.toDouble(&ok);
        if (!ok || !(value >= 0.0 && value <= 1.0))
            return Status::Error(QStringLiteral("Строка %1: «%2» — не вероятность от 0 до 1.")
                                     .arg(i + 1)
                                     .arg(QString::fromUtf8(lines[i].trimmed().left(40))));
        p[size_t(i)] = value;
    }
    return p;
}

} // namespace bil
