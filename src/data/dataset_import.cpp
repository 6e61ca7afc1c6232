#include "data/dataset_import.h"

#include "data/atomic_file.h"
#include "data/dbv_check.h"
#include "data/dbv_import.h"
#include "data/dbv_writer.h"
#include "data/numbering.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <array>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include <unistd.h>

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
    for (const ImportStep& step : steps) {
        if (context.cancelled())
            return Status::Error(DataSetCancelledMessage);
        if (Status prepared = step.Prepare(*root, context); !prepared)
            return prepared;
    }
    if (context.cancelled())
        return Status::Error(DataSetCancelledMessage);
    if (context.BeforeCommit)
        if (Status agreed = context.BeforeCommit(); !agreed)
            return agreed;
    context.report(ImportProgress::Stage::Install, QStringLiteral("Запись файлов"), 0, 1);
    for (std::size_t k = 0; k < steps.size(); ++k)
        if (steps[k].Commit)
            if (Status committed = steps[k].Commit(); !committed) {
                for (std::size_t j = k; j-- > 0;)
                    if (steps[j].Undo)
                        steps[j].Undo();
                return committed;
            }
    context.report(ImportProgress::Stage::Install, QStringLiteral("Готово"), 1, 1);
    return Status::Ok();
}

namespace {

// A database written beside its target under a temporary name, waiting to be renamed over it.
struct PreparedFile {
    QString Target;
    std::unique_ptr<QTemporaryFile> Temp;
};

Status WriteChecked(const QString& target, const QByteArray& bytes, PreparedFile& prepared) {
    const QString shown = QDir::toNativeSeparators(target);
    // A save killed before its rename leaves target.XXXXXX behind; the next one tidies up.
    RemoveStaleTemporaries(target);
    auto temp = std::make_unique<QTemporaryFile>(target + QStringLiteral(".XXXXXX"));
    if (!temp->open())
        return Status::Error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(shown, temp->errorString()));
    // A full disk can report every byte as written; the flush and the size tell the truth.
    if (temp->write(bytes) != bytes.size() || !temp->flush() || ::fsync(temp->handle()) != 0 ||
        temp->size() != bytes.size())
        return Status::Error(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(shown, temp->error() != QFileDevice::NoError
                                                 ? temp->errorString()
                                                 : QStringLiteral("записаны не все данные")));
    temp->close();
    auto report = CheckDbvFile(temp->fileName());
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
    prepared = PreparedFile{target, std::move(temp)};
    return Status::Ok();
}

struct DatabasesWork {
    QString Folder;
    std::array<PreparedFile, 2> Files;
};

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
                         std::shared_ptr<std::array<QString, 2>> prepared) {
    auto work = std::make_shared<DatabasesWork>();
    work->Folder = folder;
    ImportStep step;
    step.Prepare = [work, replace, ask, prepared](const DataSetRoot& root,
                                                  const ImportContext& context) -> Status {
        if (!QDir().mkpath(work->Folder))
            return Status::Error(QStringLiteral("Не удалось создать папку %1")
                                     .arg(QDir::toNativeSeparators(work->Folder)));
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
            const QString target = QDir(work->Folder).filePath(names[k]);
            return WriteChecked(target, *bytes, work->Files[k]);
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
        if (Status written = both(writeOne); !written)
            return written;
        if (prepared)
            for (std::size_t k = 0; k < 2; ++k)
                (*prepared)[k] = work->Files[k].Temp ? work->Files[k].Temp->fileName() : QString();
        return Status::Ok();
    };
    step.Commit = [work]() -> Status {
        // Each old database stays under a second name until both new ones are in place, so
        // that a rename failing for the second puts the first back: both new or both old.
        struct Replaced {
            QByteArray Target, Backup; // Backup empty: there was no old file
        };
        std::vector<Replaced> done;
        const auto undo = [&done] {
            for (auto it = done.rbegin(); it != done.rend(); ++it)
                if (it->Backup.isEmpty())
                    ::unlink(it->Target.constData());
                else
                    std::rename(it->Backup.constData(), it->Target.constData());
        };
        for (PreparedFile& file : work->Files) {
            if (!file.Temp)
                continue;
            const QByteArray from = QFile::encodeName(file.Temp->fileName());
            const QByteArray to = QFile::encodeName(file.Target);
            const QString shown = QDir::toNativeSeparators(file.Target);
            QByteArray backup;
            if (QFileInfo::exists(file.Target)) {
                backup = to + ".previous";
                ::unlink(backup.constData()); // left by an import killed here
                // A second link costs no copy; a file system without links gets a copy.
                if (::link(to.constData(), backup.constData()) != 0 &&
                    !QFile::copy(file.Target, QFile::decodeName(backup))) {
                    undo();
                    return Status::Error(QStringLiteral("Не удалось заменить файл %1").arg(shown));
                }
            }
            // rename(2) replaces the old file in one step; QFile::rename would refuse.
            if (std::rename(from.constData(), to.constData()) != 0) {
                if (!backup.isEmpty())
                    ::unlink(backup.constData());
                undo();
                return Status::Error(QStringLiteral("Не удалось заменить файл %1").arg(shown));
            }
            file.Temp->setAutoRemove(false); // it is the target now
            file.Temp.reset();
            done.push_back({to, backup});
        }
        for (const Replaced& r : done)
            if (!r.Backup.isEmpty())
                ::unlink(r.Backup.constData());
        return Status::Ok();
    };
    return step;
}

} // namespace bil
