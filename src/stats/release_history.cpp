// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/release_history.h"

#include "stats/answer_journal.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <map>

namespace bil {

namespace {

constexpr qsizetype StepSize = 8 + 8 + 2 * QuestionCount;
constexpr qsizetype HeadSize = 8 + 2; // magic, count

Status Damaged(const QString& what) {
    return Status::Error(QStringLiteral("Файл releases.dat повреждён: %1.").arg(what));
}

} // namespace

QString ReleaseHistoryPath(const QString& appDataDir) {
    return QDir(appDataDir).filePath(QStringLiteral("releases.dat"));
}

QByteArray ReleaseHistoryBytes(const ReleaseHistory& history) {
    QByteArray out = ReleaseHistoryMagic;
    const auto put = [&out](auto value) {
        char bytes[sizeof(value)];
        qToLittleEndian(value, bytes);
        out.append(bytes, sizeof(value));
    };
    put(uint16_t(history.size()));
    for (const ReleaseStep& step : history) {
        put(uint64_t(step.Old));
        put(uint64_t(step.New));
        for (const uint16_t from : step.KeptFrom)
            put(from);
    }
    put(Crc32c(out.constData(), std::size_t(out.size())));
    return out;
}

Result<ReleaseHistory> ParseReleaseHistory(const QByteArray& bytes) {
    if (!bytes.startsWith(ReleaseHistoryMagic))
        return Damaged(QStringLiteral("это не файл истории выпусков"));
    if (bytes.size() < HeadSize + 4)
        return Damaged(QStringLiteral("файл обрезан"));
    const char* data = bytes.constData();
    const int count = qFromLittleEndian<uint16_t>(data + 8);
    if (bytes.size() != HeadSize + count * StepSize + 4)
        return Damaged(QStringLiteral("длина не отвечает числу выпусков (%1)").arg(count));
    const qsizetype body = bytes.size() - 4;
    if (qFromLittleEndian<uint32_t>(data + body) != Crc32c(data, std::size_t(body)))
        return Damaged(QStringLiteral("контрольная сумма не сходится"));
    ReleaseHistory history(size_t(count), ReleaseStep{});
    const char* at = data + HeadSize;
    for (ReleaseStep& step : history) {
        step.Old = qFromLittleEndian<uint64_t>(at);
        step.New = qFromLittleEndian<uint64_t>(at + 8);
        at += 16;
        for (uint16_t& from : step.KeptFrom) {
            from = qFromLittleEndian<uint16_t>(at);
            at += 2;
            if (from > QuestionCount)
                return Damaged(
                    QStringLiteral("номер вопроса %1 вне 1..%2").arg(from).arg(QuestionCount));
        }
    }
    return history;
}

Result<ReleaseHistory> ReadReleaseHistory(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return ReleaseHistory{};
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(QStringLiteral("Не удалось прочитать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
    return ParseReleaseHistory(file.readAll());
}

ReleaseHistory WithStep(ReleaseHistory history, const ReleaseStep& step) {
    history.push_back(step);
    if (history.size() > size_t(ReleaseHistoryLimit))
        history.erase(history.begin(), history.end() - ReleaseHistoryLimit);
    return history;
}

std::vector<int> ChangedQuestions(const ReleaseHistory& history, Fingerprint set) {
    std::vector<int> out;
    if (history.empty() || history.back().New != set || set == 0)
        return out;
    for (int n = 1; n <= QuestionCount; ++n)
        if (history.back().KeptFrom[size_t(n - 1)] == 0)
            out.push_back(n);
    return out;
}

std::vector<JournalEntry> InRelease(const std::vector<JournalEntry>& entries, Fingerprint set,
                                    const ReleaseHistory& history) {
    // For every set that leads to `set`: its number -> the number in `set` (0: none). Newest
    // steps first, so a set met twice keeps its latest way; a way never leads through `set`.
    // Passes repeat while they find a new way (a learner may have gone back to an old release).
    using Numbers = std::array<uint16_t, QuestionCount>;
    std::map<Fingerprint, Numbers> toSet;
    for (bool found = true; found;) {
        found = false;
        for (auto step = history.rbegin(); step != history.rend(); ++step) {
            if (step->Old == set || toSet.count(step->Old))
                continue;
            Numbers onward{};
            if (step->New == set) {
                for (int n = 1; n <= QuestionCount; ++n)
                    onward[size_t(n - 1)] = uint16_t(n);
            } else if (auto known = toSet.find(step->New); known != toSet.end()) {
                onward = known->second;
            } else {
                continue;
            }
            Numbers numbers{};
            for (int n = 1; n <= QuestionCount; ++n)
                if (const int from = step->KeptFrom[size_t(n - 1)])
                    numbers[size_t(from - 1)] = onward[size_t(n - 1)];
            toSet.emplace(step->Old, numbers);
            found = true;
        }
    }
    std::vector<JournalEntry> out;
    out.reserve(entries.size());
    for (const JournalEntry& e : entries) {
        const auto way = toSet.find(e.Set);
        if (way == toSet.end() || e.Set == set) {
            out.push_back(e);
            continue;
        }
        if (e.Question < 1 || e.Question > QuestionCount)
            continue;
        if (const int now = way->second[size_t(e.Question - 1)]) {
            JournalEntry moved = e;
            moved.Set = set;
            moved.Question = now;
            out.push_back(moved);
        }
    }
    return out;
}

} // namespace bil
