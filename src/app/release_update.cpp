// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/release_update.h"

#include "app/line_break.h"
#include "app/platform.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "stats/stat_file.h"

#include <QFile>
#include <QStringList>

#include <set>

namespace bil {

namespace {

// The category letters a title names, Cyrillic look-alikes read as Latin.
QString CategoryLetters(const QString& title) {
    std::set<QChar> letters;
    const auto isLetter = [&](qsizetype i) {
        return i >= 0 && i < title.size() && title[i].isLetter();
    };
    for (qsizetype i = 0; i < title.size(); ++i) {
        if (!title[i].isLetter() || isLetter(i - 1) || isLetter(i + 1))
            continue;
        QChar c = title[i].toUpper();
        if (c == QChar(0x0410))
            c = QLatin1Char('A');
        else if (c == QChar(0x0412))
            c = QLatin1Char('B');
        else if (c == QChar(0x0421))
            c = QLatin1Char('C');
        if (c >= QLatin1Char('A') && c <= QLatin1Char('D'))
            letters.insert(c);
    }
    QString out;
    for (const QChar c : letters)
        out += c;
    return out;
}

QString WithoutDigits(const QString& title) {
    QString out;
    for (const QChar c : NormaliseForPrint(title))
        if (!c.isDigit())
            out += c.toLower();
    return out.simplified();
}

QString Place(int number) {
    return QStringLiteral("Билет %1, вопрос %2").arg(TicketOf(number)).arg(PositionOf(number));
}

QString PartsInRussian(unsigned parts) {
    QStringList out;
    if (parts & PartText)
        out << QStringLiteral("текст");
    if (parts & PartAnswers)
        out << QStringLiteral("ответы");
    if (parts & PartRight)
        out << QStringLiteral("правильный ответ");
    if (parts & PartPicture)
        out << QStringLiteral("картинка");
    if (parts & PartComment)
        out << QStringLiteral("пояснение");
    return out.join(QStringLiteral(", "));
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray ThemeBytes(const std::array<uint8_t, QuestionCount>& themes,
                      const std::array<uint8_t, QuestionCount>& marks) {
    QByteArray bytes(reinterpret_cast<const char*>(themes.data()), QuestionCount);
    bytes.append(reinterpret_cast<const char*>(marks.data()), QuestionCount);
    return bytes;
}

} // namespace

bool SameTitleFamily(const QString& a, const QString& b) {
    const QString la = CategoryLetters(a), lb = CategoryLetters(b);
    if (!la.isEmpty() || !lb.isEmpty())
        return la == lb;
    return WithoutDigits(a) == WithoutDigits(b);
}

CarriedProgress CarryProgress(const ReleaseDiff& diff, const TStatRecord& stats,
                              const std::array<uint8_t, QuestionCount>& themes,
                              const std::array<uint8_t, QuestionCount>& marks) {
    CarriedProgress out;
    out.Stats = stats;
    for (int n = 1; n <= QuestionCount; ++n) {
        const int from = diff.KeptFrom[n - 1];
        out.Stats.question(n) = from ? stats.question(from) : TQuestionStat{};
        out.Themes[n - 1] = from ? themes[from - 1] : DefaultThemeOf(n);
        out.Marks[n - 1] = from ? marks[from - 1] : 0;
    }
    for (int t = 1; t <= TicketCount; ++t)
        for (int p = 1; p <= TicketSize; ++p)
            if (diff.KeptFrom[NumberOf(t, p) - 1] != NumberOf(t, p)) {
                out.Stats.TicketStatus[t - 1] = 0;
                break;
            }
    return out;
}

ReleaseBase CaptureReleaseBase(AppState& state) {
    ReleaseBase base;
    base.DbPath = state.Db.DbPath();
    base.Title = state.Db.DbTitle();
    if (Result<QuestionPrints> prints = state.Prints.prints(state.Db))
        base.Prints = *prints;
    base.Stats = state.Stats;
    base.Themes = state.Themes.QuestionTheme;
    base.Marks = state.Themes.DifficultyMark;
    base.History = state.Releases;
    return base;
}

Result<std::optional<ReleasePlan>> PlanReleaseUpdate(const ReleaseBase& base,
                                                     const QString& newDbPath) {
    if (base.DbPath.isEmpty() || !base.Prints)
        return std::optional<ReleasePlan>();
    Database fresh;
    if (Status opened = fresh.OpenDatabase(newDbPath); !opened)
        return opened;
    if (!SameTitleFamily(base.Title, fresh.DbTitle()))
        return std::optional<ReleasePlan>();
    Result<QuestionPrints> prints = ComputeQuestionPrints(fresh);
    if (!prints)
        return prints.status();
    if (SetFingerprint(*prints) == SetFingerprint(*base.Prints))
        return std::optional<ReleasePlan>();
    Database old;
    if (Status opened = old.OpenDatabase(base.DbPath); !opened)
        return opened;
    Result<ReleaseDiff> diff = DiffReleases(old, *base.Prints, fresh, *prints);
    if (!diff)
        return diff.status();
    // Not one question in common: another set under a similar title, not a release of it.
    if (diff->Unchanged + diff->Moved == 0)
        return std::optional<ReleasePlan>();
    ReleasePlan plan;
    plan.Title = fresh.DbTitle();
    plan.Diff = *diff;
    plan.Progress = CarryProgress(plan.Diff, base.Stats, base.Themes, base.Marks);
    plan.Step.Old = SetFingerprint(*base.Prints);
    plan.Step.New = SetFingerprint(*prints);
    for (int n = 1; n <= QuestionCount; ++n)
        plan.Step.KeptFrom[size_t(n - 1)] = uint16_t(plan.Diff.KeptFrom[size_t(n - 1)]);
    return std::optional<ReleasePlan>(std::move(plan));
}

QString ReleaseSummaryText(const ReleaseDiff& diff) {
    return QStringLiteral("Изменилось вопросов: %1, переставлено: %2; результаты по остальным %3 "
                          "сохранятся")
        .arg(diff.Changed + diff.Added)
        .arg(diff.Moved)
        .arg(diff.Unchanged);
}

QString ReleaseDetailsText(const ReleaseDiff& diff) {
    QStringList lines;
    for (const QuestionDiff& d : diff.Items) {
        switch (d.What) {
        case QuestionDiff::Kind::Moved:
            lines << Place(d.Now) + QStringLiteral(": переставлен сюда (был: ") +
                         Place(d.Old).toLower() + QStringLiteral("), результаты перенесены");
            break;
        case QuestionDiff::Kind::Changed:
            lines << Place(d.Now) + QStringLiteral(": изменено — ") + PartsInRussian(d.Parts) +
                         (d.Parts == PartComment ? QStringLiteral(", результаты сохранятся")
                                                 : QStringLiteral(", результаты с нуля"));
            break;
        case QuestionDiff::Kind::New:
            lines << Place(d.Now) + QStringLiteral(": новый вопрос, результаты с нуля");
            break;
        case QuestionDiff::Kind::Gone:
            lines << Place(d.Old) + QStringLiteral(": прежний вопрос убран из билетов");
            break;
        }
    }
    return lines.join(QLatin1Char('\n'));
}

bool AskReleaseUpdate(Prompter& prompter, const ReleasePlan& plan) {
    YesNoQuestion question;
    question.Caption = QStringLiteral("Новый выпуск билетов");
    question.Text = QStringLiteral("Загружается новый выпуск билетов «") + plan.Title +
                    QStringLiteral("».") + LineBreak + ReleaseSummaryText(plan.Diff) +
                    QStringLiteral(".") + LineBreak +
                    QStringLiteral("Заменить прежние билеты новыми? Изменённые вопросы можно "
                                   "будет пройти отдельно: «Изменённые вопросы».");
    question.Details = ReleaseDetailsText(plan.Diff);
    question.DefaultYes = false;
    return prompter.ask(question);
}

namespace {

// Stages the carried statistics (the bytes the file holds past the record kept), the theme file
// and the history of releases into the import's set, so that they take their places together
// with the databases.
Status StageCarriedProgress(FileSet& files, const QString& appDataDir, const ReleasePlan& plan,
                            const ReleaseHistory& history) {
    const CarriedProgress& progress = plan.Progress;
    const QString statPath = StatFilePath(appDataDir);
    const QByteArray oldStat = ReadWhole(statPath);
    const QByteArray stat =
        SerializeStats(progress.Stats) +
        (oldStat.size() > StatRecordSize ? oldStat.mid(StatRecordSize) : QByteArray());
    if (Result<int> staged = files.addFile(statPath, stat); !staged)
        return staged.status();
    if (Result<int> staged =
            files.addFile(ThemeFilePath(appDataDir), ThemeBytes(progress.Themes, progress.Marks));
        !staged)
        return staged.status();
    if (Result<int> staged = files.addFile(ReleaseHistoryPath(appDataDir),
                                           ReleaseHistoryBytes(WithStep(history, plan.Step)));
        !staged)
        return staged.status();
    return Status::Ok();
}

} // namespace

ReleaseImport MakeReleaseImport(const ReleaseBase& base, const QString& appDataDir,
                                const QString& folder, bool cd,
                                std::function<bool(const ReleasePlan&)> ask,
                                AskReplace askReplace) {
    ReleaseImport out;
    out.Carry = std::make_shared<ReleaseCarry>();
    auto staged = std::make_shared<std::array<QString, 2>>();
    out.Steps.push_back(DatabasesStep(folder, false, std::move(askReplace), staged));
    ImportStep carry;
    // After the databases are staged and checked, before anything takes its place: the new
    // database of the chosen categories is compared with the open one.
    carry.Prepare = [base, staged, cd, appDataDir, ask = std::move(ask),
                     plan = out.Carry](const DataSetRoot&, const ImportContext& context) -> Status {
        const QString fresh = (*staged)[cd ? 1 : 0];
        if (fresh.isEmpty())
            return Status::Ok();
        Result<std::optional<ReleasePlan>> found = PlanReleaseUpdate(base, fresh);
        if (!found)
            return Status::Error(QStringLiteral("Новые билеты не удалось сравнить с прежними:\n") +
                                 found.error());
        if (!*found)
            return Status::Ok();
        if (!ask || !ask(**found))
            return Status::Error(ReleaseDeclinedMessage);
        if (Status s = StageCarriedProgress(*context.Files, appDataDir, **found, base.History); !s)
            return s;
        plan->Plan = std::move(**found);
        return Status::Ok();
    };
    out.Steps.push_back(std::move(carry));
    return out;
}

void AdoptCarriedProgress(AppState& state, const ReleasePlan& plan) {
    state.Stats = plan.Progress.Stats;
    state.Themes.QuestionTheme = plan.Progress.Themes;
    state.Themes.DifficultyMark = plan.Progress.Marks;
    state.Releases = WithStep(state.Releases, plan.Step);
    // The import wrote both files with what memory now holds.
    state.Saves.Stats.markSaved();
    state.Saves.Themes.markSaved();
}

} // namespace bil
