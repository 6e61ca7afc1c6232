// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dataset_import.h"

#include "data/dbv_check.h"
#include "data/dbv_import.h"
#include "data/dbv_writer.h"
#include "data/file_commit.h"
#include "data/numbering.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace bil {

QString ByteCountText(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 КБ").arg((bytes + 1023) / 1024);
    return QStringLiteral("%1 МБ").arg(QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 1)
                                           .replace(QLatin1Char('.'), QLatin1Char(',')));
}

Status RunDataSetImport(const QString& source, const std::vector<ImportStep>& steps,
                        const ImportContext& context, DataSetSourceOptions sourceOptions) {
    if (!sourceOptions.Cancel)
        sourceOptions.Cancel = context.Cancel;
    if (!sourceOptions.Progress)
        sourceOptions.Progress = [&context](const SourceProgress& p) {
            if (p.Phase == SourceProgress::Stage::Download) {
                const QString caption =
                    p.Total > 0 ? QStringLiteral("Загрузка: %1 из %2")
                                      .arg(ByteCountText(p.Done), ByteCountText(p.Total))
                                : QStringLiteral("Загрузка: %1").arg(ByteCountText(p.Done));
                context.report(ImportProgress::Stage::Download, caption, p.Done, p.Total);
            } else {
                context.report(ImportProgress::Stage::Unpack, QStringLiteral("Распаковка архива"),
                               p.Done, p.Total);
            }
        };
    Result<DataSetRoot> root = OpenDataSetSource(source, sourceOptions);
    if (!root)
        return root.status();
    // Staged files not committed are removed with the set.
    FileSet files;
    ImportContext staging = context;
    staging.Files = &files;
    for (const ImportStep& step : steps) {
        if (context.cancelled())
            return Status::Error(DataSetCancelledMessage);
        if (Status prepared = step.Prepare(*root, staging); !prepared)
            return prepared;
    }
    if (context.cancelled())
        return Status::Error(DataSetCancelledMessage);
    context.report(ImportProgress::Stage::Install, QStringLiteral("Запись файлов"), 0, 1);
    if (Status committed = files.commit(); !committed)
        return committed;
    for (const ImportStep& step : steps)
        if (step.Committed)
            step.Committed(files);
    context.report(ImportProgress::Stage::Install, QStringLiteral("Готово"), 1, 1);
    return Status::Ok();
}

namespace {

// Stages the database beside its target and checks what reached the disk; returns where it lies
// until the commit.
Result<QString> StageChecked(const QString& target, const QByteArray& bytes, FileSet& files) {
    const QString shown = QDir::toNativeSeparators(target);
    Result<int> staged = files.addFile(target, bytes);
    if (!staged)
        return staged.status();
    auto report = CheckDbvFile(files.stagedPath(*staged));
    if (!report)
        return Status::Error(
            QStringLiteral("Записанная база %1 не читается: %2").arg(shown, report.error()));
    if (!report->ok()) {
        const DbvProblem& p = report->Problems.front();
        return Status::Error(QStringLiteral("Записанная база %1 не прошла проверку: вопрос %2, %3")
                                 .arg(shown)
                                 .arg(p.Number)
                                 .arg(p.Reason));
    }
    return files.stagedPath(*staged);
}

} // namespace

QString ReplaceQuestion(const UnencodableChars& found) {
    auto places = [](int n) {
        const int tens = n % 100;
        const int ones = n % 10;
        const char* word = (tens >= 11 && tens <= 14) ? "мест"
                           : ones == 1                ? "место"
                           : (ones >= 2 && ones <= 4) ? "места"
                                                      : "мест";
        return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(word));
    };
    QStringList listed;
    for (const auto& [c, count] : found) {
        if (listed.size() == 10) {
            listed << QStringLiteral("и ещё %1").arg(found.size() - 10);
            break;
        }
        listed << QStringLiteral("«%1» (U+%2) — %3")
                      .arg(QString::fromUcs4(&c, 1),
                           QString::number(uint(c), 16).toUpper().rightJustified(4, u'0'),
                           places(count));
    }
    return QStringLiteral("В наборе билетов есть символы, которых нет в кодировке баз программы "
                          "(cp1251):\n%1.\nЗаменить их на «?» и продолжить?")
        .arg(listed.join(QStringLiteral(";\n")));
}

ImportStep DatabasesStep(const QString& folder, bool replace, AskReplace ask,
                         std::shared_ptr<std::array<QString, 2>> staged) {
    ImportStep step;
    step.Prepare = [folder, replace, ask, staged](const DataSetRoot& root,
                                                  const ImportContext& context) -> Status {
        if (!QDir().mkpath(folder))
            return Status::Error(QStringLiteral("Не удалось создать папку %1")
                                     .arg(QDir::toNativeSeparators(folder)));
        const std::array<CategorySet, 2> sets = {CategorySet::AB, CategorySet::CD};
        const std::array<QString, 2> names = {DatabaseFileAB, DatabaseFileCD};
        const std::array<QString, 2> labels = {QStringLiteral("A,B"), QStringLiteral("C,D")};
        // The two sets share nothing: each gets a core of its own. Callers see one progress
        // at a time, and a failure of one set stops the other.
        std::mutex reporting;
        std::array<std::atomic<int>, 2> read{};
        CancelFlag stop{false};
        auto say = [&](ImportProgress::Stage stage, const QString& caption, qint64 done,
                       qint64 total) {
            const std::lock_guard<std::mutex> lock(reporting);
            context.report(stage, caption, done, total);
        };
        std::array<ImportedDatabase, 2> imported;
        std::array<UnencodableChars, 2> unencodable;
        auto importOne = [&](std::size_t k) -> Status {
            JsonImportOptions options;
            options.Root = root.path();
            options.Set = sets[k];
            options.Cancel = &stop;
            options.Replace = replace;
            if (ask)
                options.Unencodable = &unencodable[k];
            options.QuestionRead = [&, k](int count) {
                if (context.cancelled())
                    stop = true;
                read[k] = count;
                say(ImportProgress::Stage::Build, QStringLiteral("Билеты: вопросы и картинки"),
                    read[0] + read[1], 2 * QuestionCount);
            };
            auto got = ImportJsonDataSet(options);
            if (!got && got.error() == ImportCancelledMessage)
                return got.status();
            if (!got)
                return Status::Error(
                    QStringLiteral("Билеты %1 не собраны:\n%2").arg(labels[k], got.error()));
            imported[k] = std::move(got.value());
            return Status::Ok();
        };
        bool replacing = replace;
        auto writeOne = [&](std::size_t k) -> Status {
            auto bytes = BuildDatabase(imported[k].Title, imported[k].Questions, replacing);
            if (!bytes)
                return Status::Error(
                    QStringLiteral("Билеты %1 не собраны:\n%2").arg(labels[k], bytes.error()));
            if (stop || context.cancelled())
                return Status::Error(DataSetCancelledMessage);
            Result<QString> path =
                StageChecked(QDir(folder).filePath(names[k]), *bytes, *context.Files);
            if (path && staged)
                (*staged)[k] = *path;
            return path.status();
        };
        auto both = [&](const std::function<Status(std::size_t)>& one) -> Status {
            std::array<Status, 2> outcome = {Status::Ok(), Status::Ok()};
            auto runOne = [&](std::size_t k) {
                outcome[k] = one(k);
                if (!outcome[k])
                    stop = true;
            };
            std::thread second(runOne, 1);
            runOne(0);
            second.join();
            if (context.cancelled())
                return Status::Error(DataSetCancelledMessage);
            // The set that failed for itself, not the one stopped because of it.
            for (const Status& s : outcome)
                if (!s && s.message() != ImportCancelledMessage)
                    return s;
            for (const Status& s : outcome)
                if (!s)
                    return s;
            return Status::Ok();
        };
        if (Status read = both(importOne); !read)
            return read;
        UnencodableChars found = unencodable[0];
        for (const auto& [c, count] : unencodable[1])
            found[c] += count;
        if (!found.empty()) {
            if (!ask(found))
                return Status::Error(QStringLiteral("В наборе есть символы, которых нет в "
                                                    "кодировке баз (cp1251), и они не заменены."));
            replacing = true;
        }
        say(ImportProgress::Stage::Check, QStringLiteral("Проверка баз"), 0, -1);
        return both(writeOne);
    };
    return step;
}

} // namespace bil
