// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/release_diff.h"

#include <algorithm>
#include <unordered_map>

namespace bil {

namespace {

using Kind = QuestionDiff::Kind;

int SortKey(const QuestionDiff& d) {
    return d.What == Kind::Gone ? d.Old : d.Now;
}

} // namespace

ReleaseDiff PairReleases(const QuestionPrints& oldPrints, const QuestionPrints& newPrints) {
    // Numbers (0-based) at which each print stands, ascending.
    std::unordered_map<Fingerprint, std::vector<int>> oldAt, newAt;
    for (int i = 0; i < QuestionCount; ++i) {
        oldAt[oldPrints[i]].push_back(i);
        newAt[newPrints[i]].push_back(i);
    }
    ReleaseDiff diff;
    std::array<bool, QuestionCount> taken{}; // old question already somebody's self
    for (int i = 0; i < QuestionCount; ++i)
        if (oldPrints[i] == newPrints[i]) {
            taken[i] = true;
            diff.KeptFrom[i] = i + 1;
        }
    auto movedAway = [&](int oldIndex) {
        // The old question's print stands at another number of the new release, not its own.
        if (oldPrints[oldIndex] == newPrints[oldIndex])
            return false;
        const auto found = newAt.find(oldPrints[oldIndex]);
        return found != newAt.end();
    };
    std::vector<QuestionDiff> items;
    for (int i = 0; i < QuestionCount; ++i) {
        if (diff.KeptFrom[i])
            continue;
        int from = -1;
        if (const auto found = oldAt.find(newPrints[i]); found != oldAt.end())
            for (const int m : found->second)
                if (!taken[m] && oldPrints[m] != newPrints[m]) {
                    from = m;
                    break;
                }
        if (from >= 0) {
            taken[from] = true;
            diff.KeptFrom[i] = from + 1;
            items.push_back({Kind::Moved, from + 1, i + 1, 0});
            ++diff.Moved;
        } else if (!taken[i] && !movedAway(i)) {
            taken[i] = true;
            items.push_back({Kind::Changed, i + 1, i + 1, 0});
            ++diff.Changed;
        } else {
            items.push_back({Kind::New, 0, i + 1, 0});
            ++diff.Added;
        }
    }
    for (int m = 0; m < QuestionCount; ++m)
        if (!taken[m]) {
            items.push_back({Kind::Gone, m + 1, 0, 0});
            ++diff.Gone;
        }
    diff.Unchanged = QuestionCount - diff.Moved - diff.Changed - diff.Added;
    std::stable_sort(items.begin(), items.end(), [](const QuestionDiff& a, const QuestionDiff& b) {
        return SortKey(a) < SortKey(b);
    });
    diff.Items = std::move(items);
    return diff;
}

unsigned ChangedParts(const TQuestion& before, const TQuestion& after) {
    unsigned parts = 0;
    if (NormaliseForPrint(before.Text) != NormaliseForPrint(after.Text))
        parts |= PartText;
    bool answers = before.AnswerCount != after.AnswerCount;
    for (int k = 0; !answers && k < before.AnswerCount && k < MaxAnswers; ++k)
        answers = NormaliseForPrint(before.Answers[k]) != NormaliseForPrint(after.Answers[k]);
    if (answers)
        parts |= PartAnswers;
    auto rightText = [](const TQuestion& q) {
        return q.Correct >= 1 && q.Correct <= MaxAnswers
                   ? NormaliseForPrint(q.Answers[q.Correct - 1])
                   : QString();
    };
    if (rightText(before) != rightText(after))
        parts |= PartRight;
    if (before.HasPicture != after.HasPicture || before.Picture != after.Picture)
        parts |= PartPicture;
    if (NormaliseForPrint(before.Comment) != NormaliseForPrint(after.Comment))
        parts |= PartComment;
    return parts;
}

QString PartsText(unsigned parts) {
    static const std::array<std::pair<unsigned, const char*>, 5> names = {
        {{PartText, "text"},
         {PartAnswers, "answers"},
         {PartRight, "right"},
         {PartPicture, "picture"},
         {PartComment, "comment"}}};
    QStringList out;
    for (const auto& [bit, name] : names)
        if (parts & bit)
            out << QString::fromLatin1(name);
    return out.join(QLatin1Char('|'));
}

Result<ReleaseDiff> DiffReleases(const Database& oldDb, const QuestionPrints& oldPrints,
                                 const Database& newDb, const QuestionPrints& newPrints) {
    ReleaseDiff diff = PairReleases(oldPrints, newPrints);
    for (QuestionDiff& item : diff.Items) {
        if (item.What != Kind::Changed)
            continue;
        Result<TQuestion> before = oldDb.LoadQuestion(item.Old);
        if (!before)
            return before.status();
        Result<TQuestion> after = newDb.LoadQuestion(item.Now);
        if (!after)
            return after.status();
        item.Parts = ChangedParts(*before, *after);
    }
    // Unchanged questions can differ only in the comment; the texts alone are read.
    std::vector<QuestionDiff> commentOnly;
    for (int n = 1; n <= QuestionCount; ++n) {
        if (diff.KeptFrom[n - 1] != n)
            continue;
        Result<QString> before = oldDb.LoadComment(n);
        if (!before)
            return before.status();
        Result<QString> after = newDb.LoadComment(n);
        if (!after)
            return after.status();
        if (NormaliseForPrint(*before) != NormaliseForPrint(*after))
            commentOnly.push_back({Kind::Changed, n, n, PartComment});
    }
    if (!commentOnly.empty()) {
        diff.Items.insert(diff.Items.end(), commentOnly.begin(), commentOnly.end());
        std::stable_sort(
            diff.Items.begin(), diff.Items.end(),
            [](const QuestionDiff& a, const QuestionDiff& b) { return SortKey(a) < SortKey(b); });
    }
    return diff;
}

std::vector<int> ReleaseDiff::freshNumbers() const {
    std::vector<int> out;
    for (int i = 0; i < QuestionCount; ++i)
        if (!KeptFrom[i])
            out.push_back(i + 1);
    return out;
}

QString ReleaseDiff::summary() const {
    return QStringLiteral("unchanged %1, moved %2, changed %3, new %4, gone %5")
        .arg(Unchanged)
        .arg(Moved)
        .arg(Changed)
        .arg(Added)
        .arg(Gone);
}

QStringList ReleaseDiff::lines() const {
    QStringList out;
    for (const QuestionDiff& d : Items) {
        switch (d.What) {
        case Kind::Moved:
            out << QStringLiteral("moved %1 -> %2").arg(d.Old).arg(d.Now);
            break;
        case Kind::Changed:
            out << QStringLiteral("changed %1: %2").arg(d.Now).arg(PartsText(d.Parts));
            break;
        case Kind::New:
            out << QStringLiteral("new %1").arg(d.Now);
            break;
        case Kind::Gone:
            out << QStringLiteral("gone %1").arg(d.Old);
            break;
        }
    }
    out << summary();
    return out;
}

} // namespace bil
