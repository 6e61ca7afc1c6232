// SPDX-License-Identifier: GPL-3.0-or-later
// biletoria-dbv: builds, checks and inspects .dbv question databases.
#include "data/database.h"
#include "data/dataset_import.h"
#include "data/dataset_source.h"
#include "data/dbv_check.h"
#include "data/dbv_import.h"
#include "data/demo_database.h"
#include "data/file_commit.h"
#include "data/fingerprint.h"
#include "data/question_search.h"
#include "data/release_diff.h"
#include "help/help_pack.h"
#include "stats/answer_journal.h"
#include "stats/readiness.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <array>
#include <cstdio>

#include <unistd.h>

namespace {

void Print(FILE* to, const QString& line) {
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), to);
    std::fputc('\n', to);
}

int Fail(const QString& message) {
    Print(stderr, message);
    return 1;
}

constexpr const char* Usage =
    "Использование:\n"
    "  biletoria-dbv check ФАЙЛ\n"
    "  biletoria-dbv dump ФАЙЛ [НОМЕР]\n"
    "  biletoria-dbv build --json ИСТОЧНИК --set AB|CD -o ФАЙЛ.dbv "
    "[--title НАЗВАНИЕ] [--replace]\n"
    "  biletoria-dbv build --json ИСТОЧНИК --out-dir ПАПКА [--replace]\n"
    "  biletoria-dbv help --json ИСТОЧНИК -o ПАПКА_СПРАВКИ [--rules ФАЙЛ]\n"
    "    ИСТОЧНИК: папка набора билетов, его архив .zip или .tar.gz "
    "или адрес http(s):// такого архива\n"
    "  biletoria-dbv diff СТАРАЯ.dbv НОВАЯ.dbv\n"
    "  biletoria-dbv search ФАЙЛ \"СЛОВА\"\n"
    "    номера вопросов со всеми словами в любой форме, по строке, в порядке окна поиска\n"
    "  biletoria-dbv demo -o ФАЙЛ.dbv\n"
    "  biletoria-dbv forecast --probabilities ФАЙЛ\n"
    "    ФАЙЛ: 800 строк, вероятность верного ответа на вопросы 1..800\n"
    "  biletoria-dbv forecast --journal answers.log --db ФАЙЛ.dbv [--at ГГГГ-ММ-ДД]";

int Check(const QStringList& args) {
    if (args.size() != 1)
        return Fail(QString::fromUtf8(Usage));
    auto report = bil::CheckDbvFile(args.at(0));
    if (!report)
        return Fail(report.error());
    for (const bil::DbvProblem& p : report->Problems)
        Print(stdout, p.Number > 0 ? QStringLiteral("Вопрос %1: %2").arg(p.Number).arg(p.Reason)
                                   : QStringLiteral("Файл: %1").arg(p.Reason));
    Print(stdout, report->summary());
    return report->ok() ? 0 : 1;
}

int Dump(const QStringList& args) {
    if (args.isEmpty() || args.size() > 2)
        return Fail(QString::fromUtf8(Usage));
    bil::Database db;
    if (bil::Status opened = db.OpenDatabase(args.at(0)); !opened)
        return Fail(opened.message());
    if (args.size() == 2) {
        bool ok = false;
        const int number = args.at(1).toInt(&ok);
        if (!ok || number < 1 || number > bil::QuestionCount)
            return Fail(
                QStringLiteral("Номер вопроса должен быть от 1 до %1").arg(bil::QuestionCount));
        auto q = bil::DumpQuestion(db, number);
        if (!q)
            return Fail(q.error());
        Print(stdout, QString::fromUtf8(QJsonDocument(q.value()).toJson(QJsonDocument::Indented)));
        return 0;
    }
    QJsonArray all;
    int failures = 0;
    for (int n = 1; n <= bil::QuestionCount; ++n) {
        auto q = bil::DumpQuestion(db, n);
        if (q) {
            all.append(q.value());
        } else {
            ++failures;
            Print(stderr, q.error());
        }
    }
    Print(stdout, QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented)));
    return failures == 0 ? 0 : 1;
}

// The search window's search from a terminal: the numbers of the questions found, one a line,
// in the window's order.
int Search(const QStringList& args) {
    if (args.size() < 2)
        return Fail(QString::fromUtf8(Usage));
    bil::Database db;
    if (bil::Status opened = db.OpenDatabase(args.at(0)); !opened)
        return Fail(opened.message());
    bil::SearchIndex index;
    index.build(db);
    for (const bil::SearchHit& hit : index.find(args.mid(1).join(QLatin1Char(' '))))
        Print(stdout, QString::number(hit.Number));
    return 0;
}

// One progress line, rewritten in place; only on a terminal, so logs stay clean.
class TerminalProgress {
public:
    TerminalProgress() : m_on(isatty(fileno(stderr)) == 1) {}
    ~TerminalProgress() { finish(); }
    void show(const bil::ImportProgress& p) {
        if (!m_on)
            return;
        QString line = p.Caption;
        if (p.Phase != bil::ImportProgress::Stage::Download && p.Total > 0)
            line += QStringLiteral(": %1%").arg(p.Done * 100 / p.Total);
        if (line == m_last)
            return;
        m_last = line;
        const QByteArray bytes = ("\r\033[K" + line).toUtf8();
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
        std::fflush(stderr);
    }
    void finish() {
        if (m_on && !m_last.isEmpty())
            std::fputc('\n', stderr);
        m_last.clear();
    }

private:
    bool m_on;
    QString m_last;
};

int Build(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"), QString(), QStringLiteral("source"));
    const QCommandLineOption set(QStringLiteral("set"), QString(), QStringLiteral("set"));
    const QCommandLineOption out(QStringLiteral("o"), QString(), QStringLiteral("file"));
    const QCommandLineOption outDir(QStringLiteral("out-dir"), QString(), QStringLiteral("dir"));
    const QCommandLineOption title(QStringLiteral("title"), QString(), QStringLiteral("text"));
    const QCommandLineOption replace(QStringLiteral("replace"));
    parser.addOptions({json, set, out, outDir, title, replace});
    if (!parser.parse(arguments))
        return Fail(parser.errorText() + QLatin1Char('\n') + QString::fromUtf8(Usage));
    const bool oneFile = parser.isSet(set) && parser.isSet(out) && !parser.isSet(outDir);
    const bool both =
        parser.isSet(outDir) && !parser.isSet(set) && !parser.isSet(out) && !parser.isSet(title);
    if (!parser.isSet(json) || !(oneFile || both) || !parser.positionalArguments().isEmpty())
        return Fail(QString::fromUtf8(Usage));

    TerminalProgress progress;
    bil::ImportContext context;
    context.Progress = [&](const bil::ImportProgress& p) { progress.show(p); };
    std::vector<bil::ImportStep> steps;
    QString written;
    if (both) {
        // An earlier build killed between its renames is finished (or undone) first.
        if (bil::Status recovered = bil::RecoverFileSets(parser.value(outDir)); !recovered)
            return Fail(recovered.message());
        steps.push_back(bil::DatabasesStep(parser.value(outDir), parser.isSet(replace)));
        written = QDir(parser.value(outDir)).filePath(bil::DatabaseFileAB) + QStringLiteral(", ") +
                  QDir(parser.value(outDir)).filePath(bil::DatabaseFileCD);
    } else {
        bil::JsonImportOptions options;
        const QString which = parser.value(set).toUpper();
        if (which == QLatin1String("AB"))
            options.Set = bil::CategorySet::AB;
        else if (which == QLatin1String("CD"))
            options.Set = bil::CategorySet::CD;
        else
            return Fail(
                QStringLiteral("--set принимает AB или CD, а не «%1»").arg(parser.value(set)));
        options.Title = parser.value(title);
        options.Replace = parser.isSet(replace);
        const QString target = parser.value(out);
        written = target;
        bil::ImportStep step;
        step.Prepare = [options, target](const bil::DataSetRoot& root,
                                         const bil::ImportContext& ctx) mutable {
            options.Root = root.path();
            options.Cancel = ctx.Cancel;
            options.QuestionRead = [&ctx](int read) {
                ctx.report(bil::ImportProgress::Stage::Build, QStringLiteral("Вопросы и картинки"),
                           read, bil::QuestionCount);
            };
            return bil::BuildDatabaseFromJson(options, target);
        };
        steps.push_back(std::move(step));
    }
    const bil::Status built = bil::RunDataSetImport(parser.value(json), steps, context);
    progress.finish();
    if (!built)
        return Fail(QStringLiteral("База не создана:\n") + built.message());
    Print(stderr, QStringLiteral("Записано: %1").arg(written));
    return 0;
}

// The help pages from the data set's signs, markings, fines and the questions that cite rule
// items; with --rules, the items' own text too.
int Help(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"), QString(), QStringLiteral("source"));
    const QCommandLineOption out(QStringLiteral("o"), QString(), QStringLiteral("dir"));
    const QCommandLineOption rules(QStringLiteral("rules"), QString(), QStringLiteral("file"));
    parser.addOptions({json, out, rules});
    if (!parser.parse(arguments))
        return Fail(parser.errorText() + QLatin1Char('\n') + QString::fromUtf8(Usage));
    if (!parser.isSet(json) || !parser.isSet(out) || !parser.positionalArguments().isEmpty())
        return Fail(QString::fromUtf8(Usage));
    TerminalProgress progress;
    bil::ImportContext context;
    context.Progress = [&](const bil::ImportProgress& p) { progress.show(p); };
    if (bil::Status recovered = bil::RecoverFileSets(QFileInfo(parser.value(out)).absolutePath());
        !recovered)
        return Fail(recovered.message());
    auto report = std::make_shared<bil::HelpPackReport>();
    const bil::Status built = bil::RunDataSetImport(
        parser.value(json),
        {bil::HelpPackStep(parser.value(out), parser.value(rules), parser.value(json), report)},
        context);
    progress.finish();
    if (!built)
        return Fail(QStringLiteral("Справка не создана:\n") + built.message());
    for (const QString& note : report->Summary.Notes)
        Print(stderr, QStringLiteral("Замечание: ") + note);
    Print(stderr, QStringLiteral("Справка: ") + bil::DescribeHelpPack(report->Summary));
    Print(stderr, QStringLiteral("Записано: %1").arg(parser.value(out)));
    return 0;
}

// What changed from one release of the questions to the next, question by question (the
// pairing rule is PairReleases'). Exit code 0 whatever the differences, 1 when a file fails.
int Diff(const QStringList& args) {
    if (args.size() != 2)
        return Fail(QString::fromUtf8(Usage));
    std::array<bil::Database, 2> dbs;
    std::array<bil::QuestionPrints, 2> prints{};
    for (std::size_t k = 0; k < 2; ++k) {
        if (bil::Status opened = dbs[k].OpenDatabase(args.at(int(k))); !opened)
            return Fail(opened.message());
        bil::PrintCache cache;
        auto computed = cache.prints(dbs[k]);
        if (!computed)
            return Fail(computed.error());
        prints[k] = *computed;
    }
    auto diff = bil::DiffReleases(dbs[0], prints[0], dbs[1], prints[1]);
    if (!diff)
        return Fail(diff.error());
    for (const QString& line : diff->lines())
        Print(stdout, line);
    return 0;
}

int Demo(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption out(QStringLiteral("o"), QString(), QStringLiteral("file"));
    parser.addOption(out);
    if (!parser.parse(arguments) || !parser.isSet(out) || !parser.positionalArguments().isEmpty())
        return Fail(QString::fromUtf8(Usage));
    if (bil::Status written = bil::WriteDemoDatabase(parser.value(out)); !written)
        return Fail(written.message());
    return 0;
}

QFile::FileError ReadWhole(const QString& path, QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.error();
    bytes = file.readAll();
    return file.error();
}

// The chance to pass the exam, from given answer chances or from a learner's journal.
int Forecast(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption probabilities(QStringLiteral("probabilities"), QString(),
                                           QStringLiteral("file"));
    const QCommandLineOption journal(QStringLiteral("journal"), QString(), QStringLiteral("file"));
    const QCommandLineOption dbOption(QStringLiteral("db"), QString(), QStringLiteral("file"));
    const QCommandLineOption at(QStringLiteral("at"), QString(), QStringLiteral("date"));
    parser.addOptions({probabilities, journal, dbOption, at});
    if (!parser.parse(arguments) || !parser.positionalArguments().isEmpty() ||
        parser.isSet(probabilities) == parser.isSet(journal) ||
        parser.isSet(probabilities) == parser.isSet(dbOption) ||
        (parser.isSet(probabilities) && parser.isSet(at)))
        return Fail(QString::fromUtf8(Usage));
    const auto printChance = [](double chance) {
        Print(stdout, QString::number(chance, 'f', 9));
        return 0;
    };
    if (parser.isSet(probabilities)) {
        const QString path = parser.value(probabilities);
        QByteArray text;
        if (ReadWhole(path, text) != QFile::NoError)
            return Fail(QStringLiteral("Не удалось прочитать файл %1").arg(path));
        const bil::Result<bil::AnswerChances> p = bil::ParseAnswerChances(text);
        if (!p)
            return Fail(path + QStringLiteral(": ") + p.error());
        return printChance(bil::PassChance(*p));
    }
    // The exam day is taken at noon UTC; without a date, now.
    int64_t when = QDateTime::currentSecsSinceEpoch();
    if (parser.isSet(at)) {
        const QDate date = QDate::fromString(parser.value(at), Qt::ISODate);
        if (!date.isValid())
            return Fail(QStringLiteral("Дата «%1» не в виде ГГГГ-ММ-ДД").arg(parser.value(at)));
        when = QDateTime(date, QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    }
    bil::Database db;
    if (bil::Status opened = db.OpenDatabase(parser.value(dbOption)); !opened)
        return Fail(opened.message());
    const bil::Result<bil::QuestionPrints> prints = bil::ComputeQuestionPrints(db);
    if (!prints)
        return Fail(prints.error());
    if (!QFile::exists(parser.value(journal)))
        return Fail(QStringLiteral("Нет файла %1").arg(parser.value(journal)));
    const bil::Result<bil::JournalContents> read = bil::ReadJournalFile(parser.value(journal));
    if (!read)
        return Fail(read.error());
    return printChance(bil::ChanceToPass(read->Entries, bil::SetFingerprint(*prints), when));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    if (args.size() < 2)
        return Fail(QString::fromUtf8(Usage));
    const QString command = args.at(1);
    // The option parser expects the program name first; drop only the subcommand.
    QStringList rest = args;
    rest.removeAt(1);
    if (command == QLatin1String("check"))
        return Check(rest.mid(1));
    if (command == QLatin1String("dump"))
        return Dump(rest.mid(1));
    if (command == QLatin1String("build"))
        return Build(rest);
    if (command == QLatin1String("search"))
        return Search(rest.mid(1));
    if (command == QLatin1String("demo"))
        return Demo(rest);
    if (command == QLatin1String("diff"))
        return Diff(rest.mid(1));
    if (command == QLatin1String("help"))
        return Help(rest);
    if (command == QLatin1String("forecast"))
        return Forecast(rest);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        Print(stdout, QString::fromUtf8(Usage));
        return 0;
    }
    return Fail(QStringLiteral("Неизвестная команда «%1»\n").arg(command) +
                QString::fromUtf8(Usage));
}
