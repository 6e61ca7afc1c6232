// SPDX-License-Identifier: GPL-3.0-or-later
// The search window's cost per keystroke over the 800 questions: the look-up of the query's word
// forms in the index, and the whole keystroke in the window (search, list refill). Target: under
// 5 ms. The index is built once per database, away from the keystrokes.
#include "app/app_state.h"
#include "app/ui/search_window.h"
#include "data/database.h"
#include "data/dbv_writer.h"
#include "data/question_search.h"

#include "test_db.h"

#include <QLineEdit>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>

using namespace bil;

namespace {

// Texts of realistic length: a question of one or two sentences, answers of a line, comments
// of 200..600 characters, as in the official set.
std::vector<QuestionSource> RealisticQuestions() {
    static const QString questions[] = {
        QStringLiteral("Разрешено ли Вам выполнить обгон на перекрёстке в данной ситуации, если "
                       "главная дорога меняет направление?"),
        QStringLiteral("Какие из указанных знаков запрещают стоянку транспортных средств по "
                       "нечётным числам месяца?"),
        QStringLiteral("В каком случае водитель должен уступить дорогу пешеходам, переходящим "
                       "проезжую часть дороги, на которую он поворачивает?"),
        QStringLiteral("Где Вам разрешено остановиться на этом участке дороги с разметкой 1.4?"),
    };
    static const QString comments[] = {
        QStringLiteral("Согласно п. 8.1 перед началом движения, перестроением, поворотом "
                       "(разворотом) и остановкой водитель обязан подавать сигналы световыми "
                       "указателями поворота соответствующего направления."),
        QStringLiteral("Пункт 10.1 требует вести транспортное средство со скоростью, не "
                       "превышающей установленного ограничения, учитывая интенсивность движения."),
        QStringLiteral("Знак 2.4 «Уступите дорогу» обязывает уступить дорогу транспортным "
                       "средствам, движущимся по пересекаемой дороге."),
        QStringLiteral("Остановка запрещена ближе 5 м от пешеходного перехода (п. 12.4), а "
                       "знак 3.27 «Остановка запрещена» действует до ближайшего перекрёстка."),
    };
    std::vector<QuestionSource> q = test::MakeQuestions();
    for (int n = 1; n <= QuestionCount; ++n) {
        QuestionSource& s = q[std::size_t(n - 1)];
        s.Text = QStringLiteral("%1 (%2)").arg(questions[n % 4]).arg(n);
        for (QString& a : s.Answers)
            a = QStringLiteral("Разрешено только при отсутствии встречных транспортных средств.");
        QString comment;
        for (int i = 0; i < 2 + n % 3; ++i)
            comment += comments[(n + i) % 4] + QLatin1Char(' ');
        s.Comment = comment;
    }
    return q;
}

const QString& BenchDatabase() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.path() + QStringLiteral("/dataAB.dbv");
        if (!WriteDatabase(file, test::TestTitle, RealisticQuestions()).ok())
            std::abort();
        return file;
    }();
    return path;
}

// Queries as they grow while typed: a common word (hundreds of results), two words, a rare one.
const QString Queries[] = {QStringLiteral("обгон"), QStringLiteral("обгон перекрёсток"),
                           QStringLiteral("знак 2.4 дорогу"), QStringLiteral("нечётным")};

void BM_SearchIndexBuild(benchmark::State& state) {
    Database db;
    if (!db.OpenDatabase(BenchDatabase()).ok())
        std::abort();
    SearchIndex index;
    for (auto _ : state)
        index.build(db);
}
BENCHMARK(BM_SearchIndexBuild)->Unit(benchmark::kMillisecond);

void BM_SearchKeystroke(benchmark::State& state) {
    Database db;
    if (!db.OpenDatabase(BenchDatabase()).ok())
        std::abort();
    SearchIndex index;
    index.build(db);
    const QString& query = Queries[state.range(0)];
    std::size_t hits = 0;
    for (auto _ : state)
        hits = index.find(query).size();
    state.counters["hits"] = double(hits);
}
BENCHMARK(BM_SearchKeystroke)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

// The whole keystroke in the window: the search and the refill of the result list.
void BM_SearchWindowKeystroke(benchmark::State& state) {
    AppState app;
    if (!app.Db.OpenDatabase(BenchDatabase()).ok())
        std::abort();
    SearchWindow window(app);
    const QString& query = Queries[state.range(0)];
    for (auto _ : state)
        window.runQuery(query);
    state.counters["hits"] = double(window.hits().size());
}
BENCHMARK(BM_SearchWindowKeystroke)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

} // namespace
