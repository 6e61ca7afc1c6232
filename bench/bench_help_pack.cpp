// SPDX-License-Identifier: GPL-3.0-or-later
// The help pack: building it from a data set archive of the published size (310 signs, 47
// markings, 118 fines, 1600 questions; unpacking included), and opening a popup from it the way
// a click on a reference does (reading the page, cutting out the entry, laying it out, drawing
// its picture).

#include "data/dataset_import.h"
#include "help/help_pack.h"
#include "help/help_pack_read.h"
#include "help/help_topics.h"
#include "help/ui/help_engine.h"
#include "help_dataset.h"
#include "test_dataset.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

using namespace bil;

// A generated data set of the published size as a zip archive with one top folder.
struct Archive {
    QTemporaryDir dir;
    QString root;
    QString zip;
    Archive() {
        root = dir.filePath(QStringLiteral("data"));
        test::WriteGeneratedHelpDataSet(root);
        test::DataSetFiles files;
        QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                std::abort();
            files.emplace_back(QDir(root).relativeFilePath(path), file.readAll());
        }
        zip = dir.filePath(QStringLiteral("pdd_russia-master.zip"));
        QFile out(zip);
        const QByteArray bytes = test::MakeArchive(test::ArchiveFormat::Zip, files,
                                                   QStringLiteral("pdd_russia-master/"));
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
            std::abort();
    }
};

const Archive& TheArchive() {
    static const Archive archive;
    return archive;
}

void BM_BuildPackFromArchive(benchmark::State& state) {
    const Archive& archive = TheArchive();
    QTemporaryDir out;
    const QString pack = HelpPackFolder(out.path());
    auto report = std::make_shared<HelpPackReport>();
    for (auto _ : state) {
        const Status built = RunDataSetImport(
            archive.zip, {HelpPackStep(pack, QString(), archive.zip, report)}, ImportContext{});
        if (!built)
            state.SkipWithError(built.message().toUtf8().constData());
    }
    state.counters["signs"] = report->Summary.Signs;
    state.counters["markings"] = report->Summary.Markings;
    state.counters["fines"] = report->Summary.Fines;
    state.counters["questions"] = report->Summary.Questions;
    state.counters["rule_items"] = report->Summary.RuleItems;
}
BENCHMARK(BM_BuildPackFromArchive)->Unit(benchmark::kMillisecond)->Iterations(5);

// The same from the unpacked folder: the build alone.
void BM_BuildPackFromFolder(benchmark::State& state) {
    const Archive& archive = TheArchive();
    QTemporaryDir out;
    HelpPackOptions options;
    options.Root = archive.root;
    for (auto _ : state) {
        const auto built = BuildHelpPack(options, HelpPackFolder(out.path()));
        if (!built)
            state.SkipWithError(built.error().toUtf8().constData());
    }
}
BENCHMARK(BM_BuildPackFromFolder)->Unit(benchmark::kMillisecond)->Iterations(5);

// One pack for the popups, built once.
struct Pack {
    QTemporaryDir app;
    QString folder;
    Pack() : folder(HelpPackFolder(app.path())) {
        const Status built = RunDataSetImport(
            TheArchive().zip, {HelpPackStep(folder, QString(), {})}, ImportContext{});
        if (!built)
            std::abort();
    }
};

const Pack& ThePack() {
    static const Pack pack;
    return pack;
}

void OpenPopups(benchmark::State& state, const QString& caption) {
    const QString folder = ThePack().folder;
    ChmHelpEngine engine([] { return QStringList(); }, [folder] { return folder; });
    const QString request = HelpRequestPopup(TopicFromCode(CodeFromCaption(caption)));
    for (auto _ : state) {
        engine.showHelp(request);
        // Laid out and painted once, as on screen.
        benchmark::DoNotOptimize(engine.popup()->browser()->viewport()->grab());
    }
    if (!engine.popup() || !engine.popup()->browser()->toPlainText().startsWith(caption))
        state.SkipWithError("the popup does not show the entry");
}

void BM_OpenSignPopup(benchmark::State& state) {
    OpenPopups(state, QStringLiteral("Знак 3.20"));
}
BENCHMARK(BM_OpenSignPopup)->Unit(benchmark::kMillisecond);

void BM_OpenRuleItemPopup(benchmark::State& state) {
    OpenPopups(state, QStringLiteral("Пункт 9.10"));
}
BENCHMARK(BM_OpenRuleItemPopup)->Unit(benchmark::kMillisecond);

} // namespace
