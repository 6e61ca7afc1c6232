// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up cost of the question data: opening the database and building the theme table
// (tema4.dat plus the help links of all 800 comments).

#include "data/database.h"
#include "data/dbv_writer.h"
#include "data/themes.h"

#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

using namespace bil;

// A comment of 200..600 characters, dense with rule, sign and marking references.
QString RealisticComment(int number) {
    static const QString pieces[] = {
        QStringLiteral("Согласно п. 8.1 ПДД перед началом движения водитель обязан подать "
                       "сигнал световыми указателями поворота. "),
        QStringLiteral("Знак 2.4 «Уступите дорогу» обязывает уступить дорогу транспортным "
                       "средствам, движущимся по пересекаемой дороге (пп. 13.9, 13.10). "),
        QStringLiteral("Пересекать сплошную линию разметки 1.1 запрещается, а прерывистую "
                       "линию 1.5 пересекать можно с любой стороны. "),
        QStringLiteral("Пункт 10.1 ПДД требует выбирать скорость с учетом интенсивности "
                       "движения, дорожных и метеорологических условий. "),
        QStringLiteral("Действие знаков 3.20 и 3.22 распространяется до ближайшего "
                       "перекрестка; табличка 8.2.1 указывает зону действия. "),
        QStringLiteral("Остановка запрещена ближе 5 м от края пересекаемой проезжей части "
                       "(п. 12.4), кроме случаев, указанных в п. 12.5. "),
        QStringLiteral("На регулируемом перекрестке водитель руководствуется сигналами "
                       "светофора (пп. 6.2-6.4) и знаками приоритета 2.1, 2.4. "),
    };
    const int count = int(std::size(pieces));
    QString comment;
    for (int k = 0; comment.size() < 200 + (number * 37) % 400; ++k)
        comment += pieces[(number + k) % count];
    return comment.left(600);
}

struct Fixture {
    QTemporaryDir dir;
    QString dbPath;

    Fixture() {
        std::vector<QuestionSource> questions(QuestionCount);
        for (int n = 1; n <= QuestionCount; ++n) {
            QuestionSource& q = questions[n - 1];
            q.Text =
                QStringLiteral("Вопрос %1: в каком случае водитель должен уступить дорогу?").arg(n);
            q.Answers = {QStringLiteral("Только пешеходам."),
                         QStringLiteral("Только транспортным средствам справа."),
                         QStringLiteral("Всем участникам движения.")};
            q.Correct = n % 3 + 1;
            q.Comment = RealisticComment(n);
        }
        dbPath = QDir(dir.path()).filePath(QStringLiteral("dataAB.dbv"));
        if (Status s = WriteDatabase(dbPath, QStringLiteral("Билеты АВ"), questions); !s)
            std::fprintf(stderr, "%s\n", qPrintable(s.message()));
    }
};

void BM_OpenDatabaseAndLoadThemeTable(benchmark::State& state) {
    Fixture fx;
    auto table = std::make_unique<ThemeTable>();
    int links = 0;
    for (auto _ : state) {
        Database db;
        if (!db.OpenDatabase(fx.dbPath)) {
            state.SkipWithError("database did not open");
            break;
        }
        if (!LoadThemeTable(*table, db, fx.dir.path())) {
            state.SkipWithError("theme table did not load");
            break;
        }
        links = table->HelpLinkCount[0];
        benchmark::DoNotOptimize(table.get());
    }
    state.counters["links_q1"] = links;
}
BENCHMARK(BM_OpenDatabaseAndLoadThemeTable)->Unit(benchmark::kMillisecond);

void BM_BuildHelpLinksOfAllComments(benchmark::State& state) {
    std::vector<QString> comments;
    for (int n = 1; n <= QuestionCount; ++n)
        comments.push_back(RealisticComment(n));
    for (auto _ : state) {
        for (const QString& c : comments)
            benchmark::DoNotOptimize(BuildHelpLinks(c));
    }
}
BENCHMARK(BM_BuildHelpLinksOfAllComments)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
