// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/progress_commands.h"

#include "app/line_break.h"
#include "app/platform.h"
#include "app/progress_transfer.h"
#include "stats/progress_file.h"

#include <QDir>
#include <QLocale>

namespace bil {

namespace {

const QString Filter = QStringLiteral("Файлы прогресса Билетории (*.biletoria);;Все файлы (*)");

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// "9 декабря 2026 г. 15:04" in the learner's time zone; empty when the file had no date.
QString SavedWhen(const QDateTime& saved) {
    if (!saved.isValid())
        return QString();
    return QLocale(QLocale::Russian)
        .toString(saved.toLocalTime(), QStringLiteral("d MMMM yyyy г. HH:mm"));
}

} // namespace

QString ProposedProgressPath(const QString& folder, const QDateTime& now) {
    return QDir(folder).filePath(QStringLiteral("Прогресс Билетории ") +
                                 now.toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) +
                                 ProgressFileSuffix);
}

void SaveProgressCommand(AppState& app, const QDateTime& now) {
    Prompter* prompter = app.services.prompter;
    if (!prompter)
        return;
    QString path = prompter->chooseSaveFile(QStringLiteral("Сохранить прогресс в файл"),
                                            ProposedProgressPath(QDir::homePath(), now), Filter);
    if (path.isEmpty())
        return;
    if (!path.endsWith(ProgressFileSuffix, Qt::CaseInsensitive))
        path += ProgressFileSuffix;
    if (Status s = SaveProgressFile(path, CollectProgress(app, now)); !s) {
        prompter->warn(QStringLiteral("Прогресс не сохранён.\n") + s.message());
        return;
    }
    prompter->inform(QStringLiteral("Прогресс сохранён в файл\n") + Shown(path) +
                     QStringLiteral("\n\nЕго можно восстановить на этом или другом компьютере "
                                    "командой «Восстановить прогресс из файла…»."));
}

bool RestoreProgressCommand(AppState& app) {
    Prompter* prompter = app.services.prompter;
    if (!prompter)
        return false;
    const QString path = prompter->chooseOpenFile(QStringLiteral("Восстановить прогресс из файла"),
                                                  QDir::homePath(), Filter);
    if (path.isEmpty())
        return false;
    const Result<ProgressFile> read = LoadProgressFile(path);
    if (!read) {
        prompter->warn(read.error() + QStringLiteral("\n\nНичего не изменено."));
        return false;
    }
    const ProgressMatch match = MatchProgress(*read, app.Prints.prints(app.Db));
    if (match.What == ProgressMatch::Kind::Foreign) {
        // Counts restored by number would belong to other questions: not by habit.
        YesNoQuestion question;
        question.Caption = QStringLiteral("Внимание!");
        question.Text =
            QStringLiteral("Файл сохранён для другой базы вопросов: «%1». Ни один вопрос в нём не "
                           "совпадает с вопросами открытой базы «%2».")
                .arg(read->DatabaseTitle, app.Db.DbTitle()) +
            LineBreak +
            QStringLiteral("Если ответить «Да», результаты, статистика, темы и отметки сложности "
                           "будут восстановлены по номерам вопросов и достанутся другим вопросам, "
                           "настройки тоже будут заменены. Восстановить прогресс из этого файла?");
        question.DefaultYes = false;
        if (!prompter->ask(question))
            return false;
    } else {
        QString origin;
        if (const QString when = SavedWhen(read->Saved); !when.isEmpty())
            origin += QStringLiteral("Файл сохранён ") + when + QStringLiteral(".");
        if (!read->DatabaseTitle.isEmpty())
            origin +=
                QStringLiteral(" База вопросов: «") + read->DatabaseTitle + QStringLiteral("».");
        if (match.What == ProgressMatch::Kind::ByPrint)
            origin += QStringLiteral(" Это другой выпуск базы: результаты перейдут к тем же "
                                     "вопросам, где бы они ни стояли. Вопросов, найденных в "
                                     "файле: %1, без совпадения (начнутся с нуля): %2.")
                          .arg(match.Restored)
                          .arg(match.Unmatched);
        if (!prompter->confirm(
                QStringLiteral("Заменить результаты, статистику, темы и отметки сложности "
                               "вопросов и настройки сохранёнными в файле?") +
                (origin.isEmpty() ? QString() : LineBreak + origin.trimmed())))
            return false;
    }
    const ProgressFile progress =
        match.What == ProgressMatch::Kind::ByPrint ? MapProgress(*read, match) : *read;
    if (Status restored = RestoreProgress(app, progress); !restored) {
        prompter->warn(QStringLiteral("Прогресс не восстановлен.\n") + restored.message() +
                       QStringLiteral("\n\nНичего не изменено."));
        return false;
    }
    QString done = QStringLiteral("Прогресс восстановлен из файла\n") + Shown(path);
    if (match.What == ProgressMatch::Kind::ByPrint)
        done += QStringLiteral("\n\nВосстановлены результаты вопросов: %1. Без совпадения в "
                               "файле: %2.")
                    .arg(match.Restored)
                    .arg(match.Unmatched);
    prompter->inform(done);
    return true;
}

} // namespace bil
