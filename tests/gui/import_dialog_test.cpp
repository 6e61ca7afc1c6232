// SPDX-License-Identifier: GPL-3.0-or-later
// "Загрузить билеты ПДД…" driven as a learner would: the dialog over the main window, a data set
// served from 127.0.0.1 or chosen on disk, progress, cancel, and the switch that follows.
#include "app/settings_store.h"
#include "app/ui/import_dialog.h"
#include "app/ui/main_window.h"
#include "data/demo_database.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "expect_dialog.h"
#include "help/help_pack_read.h"
#include "help_dataset.h"
#include "loopback_http.h"
#include "scripted_prompter.h"
#include "step_clock.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <utime.h>

using namespace bil;
using bil::test::ScriptedPrompter;

namespace {

using test::ReadAll;

const QByteArray& DataSetZip() {
    static const QByteArray zip =
        test::MakeArchive(test::ArchiveFormat::Zip, test::MakePublishedDataSet(),
                          QStringLiteral("pdd_russia-master/"));
    return zip;
}

// The installed program on its demo database, with a data folder of its own.
class ImportDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteDemoDatabase(program.file(QStringLiteral("dataAB.dbv"))));
        store = std::make_unique<QSettingsStore>(config.file(QStringLiteral("VRK.ini")));
        state = std::make_unique<AppState>();
        state->ProgramDir = program.path();
        state->AppDataDir = appData.path();
        state->services.prompter = &prompter;
        state->services.store = store.get();
        form = std::make_unique<TForm2>(*state);
        ASSERT_EQ(form->FormCreate(), StartupResult::Continue)
            << prompter.texts().join('|').toStdString();
        ASSERT_EQ(LoadThemesAtStartup(*state), StartupResult::Continue);
        form->show();
        m_demoPath = state->Db.DbPath();
        prompter.clear();
    }
    void TearDown() override { form.reset(); }

    // Chooses the menu command and hands its dialog to drive() while it is open.
    void withDialog(const std::function<void(ImportDialog&)>& drive) {
        {
            test::ExpectDialog<ImportDialog> dialog(QStringLiteral("Загрузка билетов ПДД"), drive);
            form->N18->trigger();
        }
        EXPECT_EQ(form->findChild<ImportDialog*>(), nullptr); // gone with its command
    }
    // The dialog is at work while its start button is off.
    static bool Working(const ImportDialog& dialog) { return !dialog.StartButton->isEnabled(); }
    // Starts the import from source and waits for it to end.
    static void run(ImportDialog& dialog, const QString& source, bool cd) {
        dialog.SourceEdit->setText(source);
        (cd ? dialog.CategoryCD : dialog.CategoryAB)->setChecked(true);
        QTest::mouseClick(dialog.StartButton, Qt::LeftButton);
        EXPECT_TRUE(Working(dialog));
        EXPECT_FALSE(dialog.SourceEdit->isEnabled());
        EXPECT_TRUE(QTest::qWaitFor([&] { return !Working(dialog); }, 60000));
    }
    void expectNothingChanged(const QByteArray& oldAB) {
        EXPECT_EQ(state->Db.DbPath(), m_demoPath);
        EXPECT_TRUE(state->Db.LoadQuestion(1).ok());
        EXPECT_EQ(form->Label5->text(), DemoTitle);
        EXPECT_EQ(ReadAll(appData.file(DatabaseFileAB)), oldAB);
        EXPECT_FALSE(QFile::exists(appData.file(DatabaseFileCD)));
        EXPECT_EQ(QDir(appData.path()).entryList({QStringLiteral("*.dbv*")}, QDir::Files).size(),
                  oldAB.isEmpty() ? 0 : 1);
    }

    test::TempDir program, appData, config;
    ScriptedPrompter prompter;
    std::unique_ptr<QSettingsStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<TForm2> form;
    test::LoopbackHttp http;

private:
    QString m_demoPath;
};

} // namespace

TEST_F(ImportDialogTest, MenuCommandAfterTheDatabaseSwitchAndTheDemoTooltip) {
    const QList<QAction*> items = form->PopupMenu1->actions();
    const auto at = items.indexOf(form->N7);
    ASSERT_GE(at, 0);
    ASSERT_LT(at + 1, items.size());
    EXPECT_EQ(items[at + 1], form->N18);
    EXPECT_EQ(form->N18->text(), QStringLiteral("Загрузить билеты ПДД…"));
    EXPECT_EQ(form->Label5->toolTip(), DemoDatabaseHint);
    EXPECT_TRUE(DemoDatabaseHint.contains(QStringLiteral("«Загрузить билеты ПДД…»")));

    withDialog([](ImportDialog& dialog) {
        EXPECT_EQ(dialog.SourceEdit->text(), DataSetDefaultUrl);
        EXPECT_TRUE(dialog.CategoryAB->isChecked());
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton); // closes when idle
    });
}

TEST_F(ImportDialogTest, DownloadWithoutLengthBuildsBothAndSwitchesToTheChosenCategory) {
    test::HttpReply generated{200, DataSetZip()};
    generated.SendLength = false; // as archives made on the fly come
    generated.ChunkBytes = 64 * 1024;
    generated.ChunkIntervalMs = 5;
    http.route(QStringLiteral("/archive/refs/heads/master.zip"), generated);
    state->Stats.TicketStatus[0] = 4;
    prompter.queueYesNo(true); // the switch's reset question: reset

    bool busyWithBytes = false;
    int lastValue = -1, lastMaximum = -1;
    withDialog([&](ImportDialog& dialog) {
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout, [&] {
            busyWithBytes |= dialog.ProgressBar->maximum() == 0 &&
                             dialog.ProgressLabel->text().contains(QStringLiteral(" КБ"));
        });
        sample.start(2);
        run(dialog, http.url(QStringLiteral("/archive/refs/heads/master.zip")), true);
        lastValue = dialog.ProgressBar->value();
        lastMaximum = dialog.ProgressBar->maximum();
    });
    EXPECT_TRUE(busyWithBytes);
    EXPECT_GT(lastMaximum, 0);
    EXPECT_EQ(lastValue, lastMaximum);
    EXPECT_TRUE(prompter.showed(QStringLiteral("Вы хотите обнулить результаты и статистику?")));
    EXPECT_EQ(state->Stats.TicketStatus[0], 0);
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileCD));
    EXPECT_EQ(store->readString(QStringLiteral("Bas")), appData.file(DatabaseFileCD));
    EXPECT_EQ(form->Label5->text(), DefaultImportTitle(CategorySet::CD));
    EXPECT_TRUE(form->Label5->toolTip().isEmpty());
    EXPECT_EQ(state->Db.LoadQuestion(5)->Text, test::ExpectedQuestion(CategorySet::CD, 5).Text);
    EXPECT_TRUE(QFile::exists(appData.file(DatabaseFileAB)));
    // Help links come from the new comments ("п. 8.1 и знак 2.4").
    EXPECT_EQ(state->Themes.HelpLinkCount[0], 2);
}

TEST_F(ImportDialogTest, ArchiveChosenOnDiskReplacesAnOlderImport) {
    const QString zip = test::WriteBytes(config.file(QStringLiteral("pdd.zip")), DataSetZip());
    test::WriteBytes(appData.file(DatabaseFileAB), "older");
    prompter.queueFile(zip);
    withDialog([&](ImportDialog& dialog) {
        QTest::mouseClick(dialog.ArchiveButton, Qt::LeftButton);
        EXPECT_EQ(dialog.SourceEdit->text(), QDir::toNativeSeparators(zip));
        run(dialog, dialog.SourceEdit->text(), false);
    });
    EXPECT_EQ(prompter.shown().front().kind, ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileAB));
    EXPECT_EQ(form->Label5->text(), DefaultImportTitle(CategorySet::AB));
    EXPECT_NE(ReadAll(appData.file(DatabaseFileAB)), "older");
}

TEST_F(ImportDialogTest, FailuresWarnAndLeaveTheOpenDatabaseAndTheDataFolder) {
    test::WriteBytes(appData.file(DatabaseFileAB), "older");
    http.route(QStringLiteral("/page.zip"), {200, "<html>не архив</html>"});
    withDialog([&](ImportDialog& dialog) {
        run(dialog, http.url(QStringLiteral("/missing.zip")), false);
        ASSERT_FALSE(prompter.shown().empty());
        EXPECT_EQ(prompter.shown().back().caption, QStringLiteral("Внимание!"));
        EXPECT_EQ(prompter.shown().back().icon, Prompter::Icon::Warning);
        EXPECT_TRUE(prompter.shown().back().text.startsWith(
            QStringLiteral("Билеты не загружены.\nСервер ответил ошибкой 404")))
            << prompter.shown().back().text.toStdString();
        // The dialog stays for another try.
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.StartButton->isEnabled());
        EXPECT_EQ(dialog.ProgressBar->value(), 0);
        run(dialog, http.url(QStringLiteral("/page.zip")), false);
        EXPECT_TRUE(prompter.shown().back().text.contains(QStringLiteral("не архив zip")));
        run(dialog, program.path(), true); // a folder, but no data set in it
        EXPECT_TRUE(prompter.shown().back().text.contains(QStringLiteral("Нет папки questions")));
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    });
    EXPECT_EQ(prompter.shown().size(), 3u); // no reset question: nothing to switch to
    expectNothingChanged("older");
}

// Characters the databases cannot hold: the dialog asks, naming each and its places; "Да"
// replaces them with "?" and loads, "Нет" loads nothing.
TEST_F(ImportDialogTest, CharactersOutsideTheDatabaseCodeAreReplacedWhenTheLearnerAgrees) {
    test::DataSetFiles files = test::MakePublishedDataSet();
    for (auto& [rel, bytes] : files) {
        const QString one = QStringLiteral("questions/A_B/tickets/Билет 1.json");
        if (rel == one || rel == QStringLiteral("questions/C_D/tickets/Билет 2.json")) {
            QJsonArray ticket = QJsonDocument::fromJson(bytes).array();
            QJsonObject q = ticket.at(0).toObject();
            q.insert(QStringLiteral("question"),
                     rel == one ? QStringLiteral("Знак ǎ и ǎ?") : QStringLiteral("Знак ǎ и ☺?"));
            ticket.replace(0, q);
            bytes = QJsonDocument(ticket).toJson();
        }
    }
    test::TempDir source;
    ASSERT_TRUE(test::WriteDataSetFolder(source.path(), files));
    const QString question =
        QStringLiteral("В наборе билетов есть символы, которых нет в кодировке баз программы "
                       "(cp1251):\n«ǎ» (U+01CE) — 3 места;\n«☺» (U+263A) — 1 место.\nЗаменить их "
                       "на «?» и продолжить?");
    withDialog([&](ImportDialog& dialog) {
        prompter.queueYesNo(false);
        run(dialog, source.path(), false);
        ASSERT_EQ(prompter.shown().size(), 2u);
        EXPECT_EQ(prompter.shown().front().kind, ScriptedPrompter::Kind::YesNo);
        EXPECT_EQ(prompter.shown().front().text, question);
        EXPECT_TRUE(prompter.shown().back().text.startsWith(QStringLiteral("Билеты не загружены")));
        EXPECT_FALSE(QFile::exists(appData.file(DatabaseFileAB)));

        prompter.queueYesNo(true);
        run(dialog, source.path(), false);
    });
    EXPECT_EQ(prompter.shown().at(2).text, question);
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileAB));
    EXPECT_EQ(state->Db.LoadQuestion(1)->Text, QStringLiteral("Знак ? и ??"));
}

TEST_F(ImportDialogTest, CancelStopsTheDownloadAtOnce) {
    test::HttpReply slow{200, DataSetZip()};
    slow.ChunkBytes = 2048;
    slow.ChunkIntervalMs = 20;
    http.route(QStringLiteral("/slow.zip"), slow);
    withDialog([&](ImportDialog& dialog) {
        dialog.SourceEdit->setText(http.url(QStringLiteral("/slow.zip")));
        QTest::mouseClick(dialog.StartButton, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const QString text = dialog.ProgressLabel->text();
                return text.startsWith(QStringLiteral("Загрузка:")) &&
                       text.contains(QStringLiteral(" из "));
            },
            10000));
        EXPECT_GT(dialog.ProgressBar->maximum(), 0); // the length is known: a real bar
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible()); // the first "Отмена" stops the work, not the dialog
        // The whole archive takes minutes to come.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Working(dialog); }, 5000));
        EXPECT_EQ(prompter.shown().back().text, DataSetCancelledMessage);
        QTest::mouseClick(dialog.CancelButton, Qt::LeftButton);
    });
    expectNothingChanged({});
}

// The help pages come with the questions: signs, markings and fines of the same data set, and
// the rules text when the learner gives it ("Текст ПДД…").
TEST_F(ImportDialogTest, TheImportBuildsTheHelpPagesWithTheRulesText) {
    const QString folder = config.file(QStringLiteral("pdd"));
    ASSERT_TRUE(test::WriteDataSetFolder(folder, test::MakePublishedDataSet()));
    test::TempDir help;
    test::WriteHelpDataSet(help.path());
    for (const QString& part :
         {QStringLiteral("signs"), QStringLiteral("markup"), QStringLiteral("penalties"),
          QStringLiteral("images/signs"), QStringLiteral("images/markup")})
        for (const QString& name : QDir(help.file(part)).entryList(QDir::Files))
            test::WriteDataFile(folder + "/" + part + "/" + name,
                                ReadAll(help.file(part + "/" + name)));
    const QString rules = config.file(QStringLiteral("pdd.txt"));
    test::WriteDataFile(rules, test::RulesFixture());
    prompter.queueFile(rules);
    withDialog([&](ImportDialog& dialog) {
        QTest::mouseClick(dialog.RulesButton, Qt::LeftButton);
        EXPECT_EQ(dialog.RulesEdit->text(), QDir::toNativeSeparators(rules));
        run(dialog, folder, false);
    });
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileAB));
    EXPECT_EQ(prompter.texts().filter(QStringLiteral("справка")).size(), 0);
    const QString pack = HelpPackFolder(appData.path());
    auto entry = [&](const QString& page, const QString& anchor) {
        return ExtractEntry(QString::fromUtf8(ReadAll(pack + "/" + page)), anchor);
    };
    ASSERT_TRUE(entry("zn3.html", "z3.20"));
    EXPECT_TRUE(entry("zn3.html", "z3.20")->contains("<img src=\"images/signs/"));
    // The published set's comments cite п. 8.1: its entry lists them under the rule's text.
    ASSERT_TRUE(entry("pdd8.html", "p8.1"));
    EXPECT_TRUE(entry("pdd8.html", "p8.1")->contains("A,B: билет 1, вопрос 1"));
    EXPECT_TRUE(entry("pdd9.html", "p9.10")->contains("9.10. Водитель держит дистанцию"));
    EXPECT_EQ(ReadPackContents(ReadAll(pack + "/" + PackManifestName))->Source, folder);
}

// The help pack cannot take its place (a file stands where its folder goes): the databases,
// good, stay loaded and the message says so, and why the help is missing.
TEST_F(ImportDialogTest, HelpThatCannotBePutInPlaceDoesNotUndoTheQuestions) {
    const QString folder = config.file(QStringLiteral("pdd"));
    ASSERT_TRUE(test::WriteDataSetFolder(folder, test::MakePublishedDataSet()));
    const QString pack = HelpPackFolder(appData.path());
    test::WriteDataFile(pack, "не папка справки");
    withDialog([&](ImportDialog& dialog) { run(dialog, folder, false); });
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileAB));
    EXPECT_TRUE(QFile::exists(appData.file(DatabaseFileCD)));
    EXPECT_TRUE(prompter.texts().filter(QStringLiteral("Билеты не загружены")).isEmpty());
    const QStringList warnings = prompter.texts().filter("справка к ним не собрана");
    ASSERT_EQ(warnings.size(), 1) << prompter.texts().join('|').toStdString();
    EXPECT_TRUE(warnings.front().startsWith("Билеты загружены"));
    EXPECT_TRUE(warnings.front().contains("не папка")) << warnings.front().toStdString();
    EXPECT_EQ(ReadAll(pack), "не папка справки");
    EXPECT_EQ(
        QDir(appData.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList{DatabaseFileAB, DatabaseFileCD, QStringLiteral("help"),
                     QStringLiteral("stat.dat"), QStringLiteral("tema4.dat")}));
}

// An import killed between the renames of its two databases: the next start finishes it before
// any database is opened, and removes what killed writes left, once it is a minute old by the
// program's clock.
TEST_F(ImportDialogTest, StartUpFinishesAnImportKilledBetweenItsRenames) {
    const QDir data(appData.path());
    auto put = [&](const QString& name, const QByteArray& bytes) {
        test::WriteDataFile(data.filePath(name), bytes);
    };
    put(DatabaseFileAB, "новая AB");       // renamed before the kill
    put("dataAB.dbv.Sav001", "старая AB"); // its old content, kept for undoing
    put(DatabaseFileCD, "старая CD");
    put("dataCD.dbv.Sav002", "старая CD");
    put("dataCD.dbv.New002", "новая CD"); // not renamed yet
    auto line = [&](const QString& target, const QString& staged, const QString& saved) {
        return "file\trequired\t" + QFile::encodeName(data.filePath(target)) + "\t" +
               QFile::encodeName(data.filePath(staged)) + "\t" +
               QFile::encodeName(data.filePath(saved)) + "\n";
    };
    put(FileSetJournalName, "biletoria-commit 1\ncommit\n" +
                                line(DatabaseFileAB, "dataAB.dbv.New001", "dataAB.dbv.Sav001") +
                                line(DatabaseFileCD, "dataCD.dbv.New002", "dataCD.dbv.Sav002") +
                                "end\n");
    put("dataAB.dbv.previous", "от прежней версии");
    put(".help.new-aaaaaa/page.html", "брошенная");
    put(".help.new-bbbbbb/page.html", "пишется сейчас");
    put("stat.dat.Ab12Cd", "брошенный");
    const qint64 later = QDateTime::currentSecsSinceEpoch() + 600;
    const utimbuf times{later, later};
    ASSERT_EQ(utime(QFile::encodeName(data.filePath(".help.new-bbbbbb")).constData(), &times), 0);

    test::StepClock clock(QDateTime::currentDateTimeUtc());
    clock.advanceMs(120000);
    AppState again;
    again.ProgramDir = program.path();
    again.AppDataDir = appData.path();
    again.services.prompter = &prompter;
    again.services.store = store.get();
    again.services.clock = &clock;
    TForm2 second(again);
    ASSERT_EQ(second.FormCreate(), StartupResult::Continue);
    EXPECT_EQ(ReadAll(data.filePath(DatabaseFileAB)), "новая AB");
    EXPECT_EQ(ReadAll(data.filePath(DatabaseFileCD)), "новая CD");
    QStringList left = data.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    left.removeAll(QStringLiteral("stat.dat"));
    left.removeAll(QStringLiteral("tema4.dat"));
    EXPECT_EQ(left, (QStringList{".help.new-bbbbbb", DatabaseFileAB, DatabaseFileCD}));
}

TEST_F(ImportDialogTest, HelpThatCannotBeBuiltDoesNotCostTheQuestions) {
    const QString folder = config.file(QStringLiteral("pdd"));
    ASSERT_TRUE(test::WriteDataSetFolder(folder, test::MakePublishedDataSet()));
    const QString pack = HelpPackFolder(appData.path());
    test::WriteDataFile(pack + "/" + PackManifestName, "старая справка");
    const QString noItems = config.file(QStringLiteral("notes.txt"));
    test::WriteDataFile(noItems, "Заметки без единого пункта.");
    withDialog([&](ImportDialog& dialog) {
        // A rules file that is not there is named before anything starts.
        dialog.RulesEdit->setText(config.file(QStringLiteral("absent.txt")));
        QTest::mouseClick(dialog.StartButton, Qt::LeftButton);
        EXPECT_FALSE(Working(dialog));
        EXPECT_TRUE(prompter.shown().back().text.startsWith("Нет файла с текстом ПДД"));
        dialog.RulesEdit->setText(noItems);
        run(dialog, folder, false);
    });
    EXPECT_EQ(state->Db.DbPath(), appData.file(DatabaseFileAB));
    const QStringList warnings = prompter.texts().filter("справка к ним не собрана");
    ASSERT_EQ(warnings.size(), 1);
    const QString warning = warnings.front();
    EXPECT_TRUE(warning.startsWith("Билеты загружены, но справка к ним не собрана.\n"));
    EXPECT_TRUE(warning.contains("не найдено ни одного пункта правил")) << warning.toStdString();
    EXPECT_EQ(ReadAll(pack + "/" + PackManifestName), "старая справка");
}
