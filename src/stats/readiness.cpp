// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/readiness.h"

#include "stats/answer_journal.h"

#include <QList>
#include <QString>

#include <algorithm>
#include <numeric>

namespace bil {

namespace {

constexpr double DueRecall = 0.9;

// Indices 0..799 by falling ∂P/∂p_i · (1 − p_i), ties by number.
std::vector<int> ByValue(const AnswerChances& p) {
    const AnswerChances grad = PassChanceGradient(p);
    std::array<double, QuestionCount> value{};
    for (int i = 0; i < QuestionCount; ++i)
        value[size_t(i)] = grad[size_t(i)] * (1.0 - p[size_t(i)]);
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
    if (int(run.size()) < goal)
        for (int i : ByValue(p)) {
            if (int(run.size()) >= goal)
                break;
            if (!taken[size_t(i)])
                run.push_back(i + 1);
        }
    return run;
}

std::vector<int> MostValuableQuestions(const AnswerChances& p, int count) {
    std::vector<int> order = ByValue(p);
    order.resize(size_t(std::clamp(count, 0, QuestionCount)));
    for (int& i : order)
        ++i;
    return order;
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
