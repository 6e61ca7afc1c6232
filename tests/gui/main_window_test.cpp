// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "data/themes.h"
#include "data/ui/pictures.h"
#include "help/ui/about_box.h"
#include "memory_settings_store.h"
#include "recording_sink.h"
#include "scripted_prompter.h"
#include "scripted_random.h"
#include "stats/stat_file.h"
#include "stats/ui/prep_dialog.h"
#include "step_clock.h"
#include "test_db.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;
using bil::test::ScriptedPrompter;

namespace {

QImage Render(QSize size, const std::function<void(QPainter&, const QRectF&)>& paint) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size)));
    return img;
}

bool IsReddish(QColor c) {
    return c.red() > 180 && c.green() < 120 && c.blue() < 120;
}

// A program folder, an application-data folder and a settings file, all temporary.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        store = std::make_unique<QSettingsStore>(config.file(QStringLiteral("VRK.ini")));
        state = std::make_unique<AppState>();
        state->ProgramDir = program.path();
        state->AppDataDir = appData.path();
        state->services.prompter = &prompter;
        state->services.random = &random;
        state->services.store = store.get();
    }
    void TearDown() override { form.reset(); }

    // The main window after a successful start-up on dataAB.dbv in the program folder.
    void startWithDatabase() {
        test::WriteTestDatabase(program.path());
        ASSERT_EQ(startup(), StartupResult::Continue) << prompter.texts().join("|").toStdString();
        ASSERT_EQ(LoadThemesAtStartup(*state), StartupResult::Continue);
        prep = std::make_unique<TForm8>(*state);
        about = std::make_unique<TForm7>(state->Db);
        form->setPrepDialog(prep.get());
        form->setAboutBox(about.get());
        WindowLinks links;
        links.showStudy = [this](const RunRequest& request) {
            ++studyShown;
            studyRun = request;
        };
        links.showExam = [this] { ++examShown; };
        links.showStatistics = [this](int page, int ticket) {
            statistics.push_back({page, ticket});
        };
        links.openUrl = [this](const QUrl& url) { opened.push_back(url); };
        form->setLinks(links);
        form->show();
    }

    StartupResult startup() {
        form = std::make_unique<TForm2>(*state);
        return form->FormCreate();
    }

    QString statPath() const { return appData.file(QStringLiteral("stat.dat")); }

    void key(QWidget* target, int qtKey, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier, text);
        QApplication::sendEvent(target, &press);
    }

    void clickTicket(int row, Qt::MouseButton button, Qt::KeyboardModifiers mods) {
        const QRect r = form->ListView1->visualItemRect(form->ListView1->item(row));
        QTest::mouseClick(form->ListView1->viewport(), button, mods, r.center());
    }

    test::TempDir program, appData, config;
    ScriptedPrompter prompter;
    test::ScriptedRandom random;
    std::unique_ptr<QSettingsStore> store;
    std::unique_ptr<AppState> state;
    std::unique_ptr<TForm2> form;
    std::unique_ptr<TForm8> prep;
    std::unique_ptr<TForm7> about;
    int studyShown = 0;
    RunRequest studyRun; // the run of the last study window shown
    int examShown = 0;
    std::vector<std::pair<int, int>> statistics;
    std::vector<QUrl> opened;

private:
};

} // namespace

TEST_F(MainWindowTest, FirstRunFindsDatabaseInProgramFolderAndCreatesStatFile) {
    test::WriteTestDatabase(program.path(), test::MakeQuestions(), QStringLiteral("dataCD.dbv"),
                            QStringLiteral("C и D"));
    startWithDatabase(); // writes dataAB.dbv too: it wins
    EXPECT_TRUE(prompter.shown().empty()) << prompter.texts().join("|").toStdString();
    EXPECT_EQ(store->readString(QStringLiteral("Bas")),
              QDir(program.path()).filePath(QStringLiteral("dataAB.dbv")));
    EXPECT_EQ(form->Label5->text(), test::TestTitle);
    EXPECT_EQ(random.reseeds, 1);
    QFile stat(statPath());
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    EXPECT_EQ(stat.readAll(), QByteArray(StatRecordSize, '\0'));
    // First run: ten minutes, and the menu mirrors the stored values.
    EXPECT_EQ(state->Config.ExamTime, 600);
    EXPECT_TRUE(form->ExamTimeItems[3]->isChecked());
    EXPECT_TRUE(form->N6->isChecked());
    EXPECT_TRUE(form->N12->isChecked());
    EXPECT_FALSE(form->N17->isChecked());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Билетория DER UZIRI 2023"));
}

TEST_F(MainWindowTest, MissingDatabaseAsksAndCancelEndsTheProgram) {
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    ASSERT_EQ(prompter.shown().size(), 3u);
    const auto& warn = prompter.shown()[0];
    EXPECT_EQ(warn.text, startup_text::MissingDatabase);
    EXPECT_EQ(warn.caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(warn.icon, Prompter::Icon::Warning);
    const auto& dialog = prompter.shown()[1];
    EXPECT_EQ(dialog.kind, ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(dialog.text, QStringLiteral("Открыть базу вопросов"));
    EXPECT_EQ(dialog.filter, QStringLiteral("База вопросов (*.dbv)"));
    EXPECT_EQ(dialog.folder, program.path()); // first run: the program folder
    EXPECT_EQ(prompter.shown()[2].text, startup_text::DatabaseFailure);

    // The next start knows the key: the dialog opens in the default folder. A chosen file
    // that does not exist ends the program too.
    prompter.clear();
    prompter.queueFile(program.file(QStringLiteral("gone.dbv")));
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    ASSERT_EQ(prompter.shown().size(), 3u);
    EXPECT_TRUE(prompter.shown()[1].folder.isEmpty());
    EXPECT_EQ(prompter.shown()[2].text, startup_text::NoDataFile);
}

TEST_F(MainWindowTest, ChosenDatabaseIsStoredAndUsed) {
    test::TempDir elsewhere;
    const QString path = test::WriteTestDatabase(elsewhere.path(), test::MakeQuestions(),
                                                 QStringLiteral("mine.dbv"));
    prompter.queueFile(path);
    EXPECT_EQ(startup(), StartupResult::Continue);
    EXPECT_EQ(store->readString(QStringLiteral("Bas")), path);
    EXPECT_EQ(state->Db.DbPath(), path);

    // A chosen file that cannot be read as a database ends the program; Bas stays.
    test::DbvBytes bad;
    bad.setTitleLength(200);
    const QString badPath = bad.save(elsewhere.file(QStringLiteral("bad.dbv")));
    store->writeString(QStringLiteral("Bas"), QString());
    prompter.clear();
    prompter.queueFile(badPath);
    state = std::make_unique<AppState>();
    state->ProgramDir = program.path();
    state->AppDataDir = appData.path();
    state->services = {&prompter, &random, nullptr, store.get()};
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    EXPECT_EQ(prompter.texts().last(), startup_text::DatabaseFailure);
    EXPECT_TRUE(store->readString(QStringLiteral("Bas")).isEmpty());
}

TEST_F(MainWindowTest, DamagedDatabaseClearsBasSoTheNextStartAsks) {
    test::DbvBytes bad;
    bad.setTitleLength(200);
    const QString path = bad.save(program.file(QStringLiteral("dataAB.dbv")));
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text, startup_text::DamagedDatabase);
    EXPECT_EQ(prompter.shown()[0].icon, Prompter::Icon::Warning);
    EXPECT_TRUE(store->hasValue(QStringLiteral("Bas")));
    EXPECT_TRUE(store->readString(QStringLiteral("Bas")).isEmpty());
    EXPECT_TRUE(QFile::exists(path));

    prompter.clear();
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    EXPECT_EQ(prompter.texts().first(), startup_text::MissingDatabase);
}

TEST_F(MainWindowTest, ShortStatFileWarnsNamingItAndWritesNothing) {
    test::WriteTestDatabase(program.path());
    const QByteArray shortRecord(StatRecordSize - 1, '\x07');
    test::WriteBytes(statPath(), shortRecord);
    EXPECT_EQ(startup(), StartupResult::EndProgram);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(prompter.shown()[0].icon, Prompter::Icon::Warning);
    EXPECT_TRUE(prompter.shown()[0].text.contains(QStringLiteral("stat.dat")));
    QFile stat(statPath());
    ASSERT_TRUE(stat.open(QIODevice::ReadOnly));
    EXPECT_EQ(stat.readAll(), shortRecord);
}

TEST_F(MainWindowTest, LayoutAndScreenshot) {
    startWithDatabase();
    EXPECT_EQ(form->size(), QSize(722, 448));
    EXPECT_EQ(form->BitBtn2->geometry(), QRect(400, 232, 121, 25));
    EXPECT_EQ(form->BitBtn2->text(), QStringLiteral("Экзамен"));
    EXPECT_EQ(form->BitBtn1->toolTip(), QStringLiteral("Enter или 1"));
    EXPECT_EQ(form->Label7->text(),
              QStringLiteral("Начальное изучение выбранного  из каталога билета или темы."));
    EXPECT_EQ(form->SpeedButton1->geometry(), QRect(200, 416, 89, 22));
    EXPECT_EQ(form->PageControl1->tabText(0), QStringLiteral("Каталог билетов"));
    EXPECT_EQ(form->ListView1->count(), TicketCount);
    EXPECT_EQ(form->ListView1->item(0)->text(), QStringLiteral("Билет №01"));
    EXPECT_EQ(form->ListView2->count(), ThemeCount);
    EXPECT_EQ(form->ListView2->item(2)->text(), QStringLiteral("Знаки"));
    EXPECT_EQ(form->ListView1->item(0)->toolTip(), QStringLiteral("Не пройден"));
    EXPECT_FALSE(form->BitBtn1->focusPolicy() & Qt::TabFocus);

    QCoreApplication::processEvents(); // the lists lay out their entries lazily
    const QImage shot = form->grab().toImage();
    EXPECT_EQ(shot.size(), QSize(722, 448) * shot.devicePixelRatio());
    EXPECT_EQ(shot.pixelColor(390, 440), QColor(Qt::black));
    const QByteArray dir = qgetenv("BILETORIA_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        const QDir out(QString::fromLocal8Bit(dir));
        shot.save(out.filePath(QStringLiteral("main_window.png")));
        form->PageControl1->setCurrentIndex(1);
        QCoreApplication::processEvents();
        form->grab().save(out.filePath(QStringLiteral("main_window_themes.png")));
        prep->show();
        QCoreApplication::processEvents();
        prep->grab().save(out.filePath(QStringLiteral("prep_dialog.png")));
        about->FormShow();
        about->grab().save(out.filePath(QStringLiteral("about_box.png")));
    }
}

TEST_F(MainWindowTest, CatalogueKeysInBothLayouts) {
    startWithDatabase();
    QListWidget* tickets = form->ListView1;

    key(tickets, Qt::Key_4, QStringLiteral("4"));
    EXPECT_EQ(state->Launch.ExamStage, 1);
    EXPECT_EQ(examShown, 1);
    EXPECT_FALSE(form->isVisible()); // a run hides the main window
    form->show();

    key(tickets, 0, QStringLiteral("я"));
    key(tickets, Qt::Key_Z, QStringLiteral("z"));
    ASSERT_EQ(statistics.size(), 2u);
    EXPECT_EQ(statistics[0], std::make_pair(-1, -1));

    state->Launch.SkipMinimize = 1;
    key(tickets, Qt::Key_H, QStringLiteral("р"));
    EXPECT_EQ(state->Launch.SkipMinimize, 0); // help in the program takes no focus away

    // Enter without a selection asks for a ticket and starts nothing.
    key(tickets, Qt::Key_Return, QStringLiteral("\r"));
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].caption, QStringLiteral("БИЛЕТОРИЯ DER UZIRI"));
    EXPECT_EQ(prompter.shown()[0].icon, Prompter::Icon::Information);
    EXPECT_EQ(studyShown, 0);

    tickets->setCurrentRow(4);
    key(tickets, Qt::Key_1, QStringLiteral("1"));
    EXPECT_EQ(studyShown, 1);
    EXPECT_EQ(studyRun.Type, RunType::TicketLearning);
    EXPECT_EQ(studyRun.Ticket, 5);
    form->show();

    // Esc switches page; on the theme page learning needs a theme (none after a refresh).
    key(tickets, Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(form->PageControl1->currentIndex(), 1);
    key(form->ListView2, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(prompter.shown().back().text,
              QStringLiteral("Для работы в этом режиме необходимо выбрать тему из каталога..."));
    form->ListView2->setCurrentRow(2);
    key(form->ListView2, Qt::Key_Return, QStringLiteral("\r"));
    EXPECT_EQ(studyRun.Type, RunType::ThemeLearning);
    EXPECT_EQ(studyRun.Theme, 3);
    form->show();
    EXPECT_EQ(form->PageControl1->currentIndex(), 1); // the page survives the refresh
    EXPECT_TRUE(form->ListView2->selectedItems().isEmpty());
    key(form->ListView2, Qt::Key_Escape, QStringLiteral("\x1b"));
    EXPECT_EQ(form->PageControl1->currentIndex(), 0);

    // Training draws among tickets that are neither passed nor drawn.
    random.values = {0};
    key(tickets, Qt::Key_3, QStringLiteral("3"));
    EXPECT_EQ(studyRun.Ticket, 1);
    EXPECT_EQ(studyRun.Type, RunType::Training);
    EXPECT_EQ(state->Launch.DrawnTickets[0], 1);
}

TEST_F(MainWindowTest, PerTicketResetAsksAndResetsOnlyOnYes) {
    startWithDatabase();
    state->Stats.TicketStatus[2] = 2;
    state->Stats.TicketStatus[3] = 1;
    state->Stats.question(41).Right[0] = 3;
    state->Stats.question(41).Seconds[2] = 90;
    state->Themes.mark(41) = 1;
    form->FormShow();
    EXPECT_EQ(form->ListView1->item(2)->toolTip(), QStringLiteral("Допущены ошибки"));

    clickTicket(2, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text,
              QStringLiteral("Вы действительно хотите обнулить результаты \n\r и статистику "
                             "по выбранному билету?"));
    EXPECT_EQ(prompter.shown()[0].kind, ScriptedPrompter::Kind::YesNo);
    EXPECT_EQ(state->Stats.TicketStatus[2], 2); // No

    // With Alt also held nothing is asked.
    clickTicket(2, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    EXPECT_EQ(prompter.shown().size(), 1u);

    prompter.queueYesNo(true);
    clickTicket(2, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(state->Stats.TicketStatus[2], 0);
    EXPECT_EQ(state->Stats.question(41).Right[0], 0);
    EXPECT_EQ(state->Stats.question(41).Seconds[2], 0);
    EXPECT_EQ(state->Stats.TicketStatus[3], 1); // other tickets untouched
    EXPECT_EQ(state->Themes.mark(41), 1);
    EXPECT_EQ(form->ListView1->item(2)->toolTip(), QStringLiteral("Не пройден"));
    Result<LoadedStats> saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.TicketStatus[3], 1);
    EXPECT_EQ(saved->Record.TicketStatus[2], 0);

    // A right click opens the statistics on its questions page at the clicked ticket.
    clickTicket(6, Qt::RightButton, Qt::NoModifier);
    ASSERT_EQ(statistics.size(), 1u);
    EXPECT_EQ(statistics[0], std::make_pair(StatisticsQuestionsPage, 6));
}

TEST_F(MainWindowTest, RefreshAfterARunShowsNewResults) {
    startWithDatabase();
    EXPECT_EQ(form->progressPicture(), 0);
    const QImage before = form->grab().toImage();

    // A run changed Stats, then hands back the main window.
    form->hide();
    state->Stats.TicketStatus.fill(1);
    for (int n = 1; n <= QuestionCount; ++n)
        if (state->Themes.theme(n) == 3)
            state->Stats.question(n).Right[ChannelLearning] = 1;
    form->show();
    EXPECT_EQ(form->ListView1->item(0)->toolTip(), QStringLiteral("Сдано при экзамене"));
    EXPECT_EQ(form->ListView2->item(2)->toolTip(), QStringLiteral("Пройден при обучении"));
    EXPECT_EQ(form->ListView2->item(0)->toolTip(), QStringLiteral("Не пройден"));
    EXPECT_EQ(form->progressPicture(), 20);
    EXPECT_NE(form->grab().toImage(), before);

    // 100 %: the congratulation blinks for 51 ticks and stays shown.
    EXPECT_TRUE(form->Timer1->isActive());
    int ticks = 0;
    while (form->Timer1->isActive() && ticks < 100) {
        form->Timer1Timer();
        ++ticks;
    }
    EXPECT_EQ(ticks, 51);
    EXPECT_FALSE(form->Label6->isHidden());

    state->Stats.TicketStatus.fill(0);
    form->FormShow();
    EXPECT_FALSE(form->Timer1->isActive());
    EXPECT_TRUE(form->Label6->isHidden());
}

TEST_F(MainWindowTest, SettingsMenuWritesEveryChangeAtOnce) {
    startWithDatabase();
    ASSERT_EQ(form->N1->title(), QStringLiteral("Время экзамена"));
    ASSERT_EQ(form->N9->text(), QStringLiteral("При ошибке показывать комментарий"));
    const bool n9 = form->N9->isChecked();
    form->N9->trigger();
    EXPECT_EQ(form->N9->isChecked(), !n9);
    EXPECT_EQ(state->Config.TrainingCommentOnError, !n9);
    EXPECT_EQ(store->readInt(QStringLiteral("Tre")), n9 ? 1 : 0); // stored inverted
    form->N17->trigger();
    EXPECT_TRUE(state->Config.ConfirmChoice);
    EXPECT_EQ(store->readInt(QStringLiteral("Pov")), 1);

    form->ExamTimeItems[5]->trigger();
    EXPECT_EQ(state->Config.ExamTime, 1200);
    EXPECT_EQ(store->readInt(QStringLiteral("Tim")), 6);
    EXPECT_FALSE(form->ExamTimeItems[3]->isChecked());
    form->ExamTimeItems[5]->trigger(); // the checked item again keeps its value
    EXPECT_TRUE(form->ExamTimeItems[5]->isChecked());
    EXPECT_EQ(state->Config.ExamTime, 1200);

    // The next start shows the stored choices.
    auto second = std::make_unique<AppState>();
    second->ProgramDir = program.path();
    second->AppDataDir = appData.path();
    second->services = state->services;
    TForm2 again(*second);
    ASSERT_EQ(again.FormCreate(), StartupResult::Continue);
    EXPECT_TRUE(again.ExamTimeItems[5]->isChecked());
    EXPECT_EQ(again.N9->isChecked(), !n9);
    EXPECT_TRUE(again.N17->isChecked());
}

TEST_F(MainWindowTest, ResetAllAsksAndKeepsPreparationChoice) {
    startWithDatabase();
    state->Stats.TicketStatus[0] = 1;
    state->Stats.PrepPositions = 5;
    state->Stats.question(7).Wrong[1] = 4;
    state->Themes.mark(7) = 2;
    ASSERT_TRUE(SaveThemeFile(state->Themes, appData.path()));
    const auto storedMark = [this] {
        ThemeTable stored;
        EXPECT_TRUE(LoadThemeFile(stored, appData.path()));
        return int(stored.mark(7));
    };
    form->N3->trigger(); // No
    EXPECT_EQ(prompter.shown().back().text,
              QStringLiteral("Вы хотите обнулить результаты и статистику?"));
    EXPECT_EQ(prompter.shown().back().caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(state->Stats.TicketStatus[0], 1);
    EXPECT_EQ(state->Themes.mark(7), 2);
    EXPECT_EQ(storedMark(), 2);

    prompter.queueYesNo(true);
    form->N3->trigger();
    // The cleared marks are on disk at once, not only at the next mark or theme change.
    EXPECT_EQ(storedMark(), 0);
    EXPECT_EQ(state->Stats.TicketStatus[0], 0);
    EXPECT_EQ(state->Stats.question(7).Wrong[1], 0);
    EXPECT_EQ(state->Stats.PrepPositions, 5);
    EXPECT_EQ(state->Themes.mark(7), 0);
    EXPECT_EQ(prep->checks(), 5u);
    Result<LoadedStats> saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.PrepPositions, 5);
}

TEST_F(MainWindowTest, DatabaseSwitchAndItsFailures) {
    startWithDatabase();
    const QString oldPath = state->Db.DbPath();
    test::TempDir other;
    std::vector<QuestionSource> cdQuestions = test::MakeQuestions();
    cdQuestions[0].Comment = QStringLiteral("Смотрите знак 5.19.1 и п. 14.1 Правил.");
    const QString cd = test::WriteTestDatabase(
        other.path(), cdQuestions, QStringLiteral("dataCD.dbv"), QStringLiteral("Билеты C и D"));
    const auto captions = [this](int n) {
        QStringList list;
        for (const HelpLink& link : state->Themes.HelpLinks[n - 1])
            if (!link.LinkCaption.isEmpty())
                list << link.LinkCaption + QLatin1Char('=') + link.LinkTopic;
        return list;
    };
    const QStringList oldLinks = captions(1);
    ASSERT_NE(oldLinks, QStringList({QStringLiteral("Знак 5.19.1=zn5.html#z5.19.1"),
                                     QStringLiteral("Пункт 14.1=pdd14.html#p14.1")}));
    // Cancelled dialog: nothing.
    form->N7->trigger();
    EXPECT_EQ(prompter.shown().back().kind, ScriptedPrompter::Kind::OpenFile);
    EXPECT_EQ(state->Db.DbPath(), oldPath);

    // Missing file.
    prompter.queueFile(other.file(QStringLiteral("none.dbv")));
    form->N7->trigger();
    EXPECT_EQ(prompter.shown().back().text, startup_text::NoDataFile);

    // A damaged file: the reset question comes first, the switch fails, the old one works.
    test::DbvBytes bad;
    bad.setTitleLength(99);
    prompter.queueFile(bad.save(other.file(QStringLiteral("bad.dbv"))));
    form->N7->trigger();
    EXPECT_EQ(prompter.shown().back().text, startup_text::SwitchFailure);
    EXPECT_EQ(state->Db.DbPath(), oldPath);
    EXPECT_TRUE(state->Db.LoadQuestion(1).ok());
    EXPECT_EQ(store->readString(QStringLiteral("Bas")), oldPath);
    EXPECT_EQ(form->Label5->text(), test::TestTitle);
    EXPECT_EQ(captions(1), oldLinks);

    // A good file, reset declined: the switch still happens.
    state->Stats.TicketStatus[0] = 1;
    prompter.queueFile(cd);
    form->N7->trigger();
    EXPECT_EQ(state->Db.DbPath(), cd);
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Билеты C и D"));
    EXPECT_EQ(store->readString(QStringLiteral("Bas")), cd);
    EXPECT_EQ(state->Stats.TicketStatus[0], 1);
    // The comments' help links now come from the new database.
    EXPECT_EQ(captions(1), QStringList({QStringLiteral("Знак 5.19.1=zn5.html#z5.19.1"),
                                        QStringLiteral("Пункт 14.1=pdd14.html#p14.1")}));
    EXPECT_EQ(state->Themes.HelpLinkCount[0], 2);

    // The About box shows the path in use.
    about->FormShow();
    EXPECT_EQ(about->Label3->text().remove(QChar(0x200B)), QDir::toNativeSeparators(cd));
    EXPECT_EQ(about->windowTitle(), QStringLiteral("О программе Билетория DER UZIRI"));
}

// The new database opens but Bas cannot be written: it stays in use, and the learner hears
// that the next start will open the old one, not that the switch failed.
TEST_F(MainWindowTest, SwitchWhoseBasCannotBeWrittenWarnsThatItIsNotRemembered) {
    startWithDatabase();
    test::TempDir other;
    const QString cd =
        test::WriteTestDatabase(other.path(), test::MakeQuestions(), QStringLiteral("dataCD.dbv"),
                                QStringLiteral("Билеты C и D"));
    MemorySettingsStore failing;
    failing.setFailWrites(true);
    state->services.store = &failing;
    prompter.clear();
    prompter.queueFile(cd);
    form->N7->trigger();
    EXPECT_EQ(state->Db.DbPath(), cd);
    EXPECT_EQ(form->Label5->text(), QStringLiteral("Билеты C и D"));
    EXPECT_FALSE(prompter.showed(startup_text::SwitchFailure));
    const auto& last = prompter.shown().back();
    EXPECT_EQ(last.caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(last.icon, Prompter::Icon::Warning);
    EXPECT_TRUE(last.text.startsWith(startup_text::DatabaseNotRemembered))
        << last.text.toStdString();
    EXPECT_EQ(store->readString(QStringLiteral("Bas")), state->ProgramDir + "/dataAB.dbv");
    state->services.store = store.get();
}

// Counts made since the last save point (an exam, the seconds of a question) reach the disk
// when the main window closes.
TEST_F(MainWindowTest, ClosingTheMainWindowSavesTheStatistics) {
    startWithDatabase();
    state->Stats.question(45).Right[1] = 3;
    state->Stats.question(45).Seconds[1] = 42;
    form->close();
    Result<LoadedStats> saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.question(45).Right[1], 3);
    EXPECT_EQ(saved->Record.question(45).Seconds[1], 42);
    EXPECT_TRUE(prompter.shown().empty());
}

// stat.dat that cannot be created at start-up: the program starts without a word, the next
// save point reports it once, and the first save that works creates the file.
TEST_F(MainWindowTest, StatFileThatCannotBeCreatedIsReportedOnceAtTheNextSavePoint) {
    // A link into a folder that does not exist: the file is missing and cannot be made.
    ASSERT_TRUE(QFile::link(appData.file(QStringLiteral("gone/stat.dat")), statPath()));
    startWithDatabase();
    EXPECT_TRUE(prompter.shown().empty()) << prompter.texts().join("|").toStdString();
    state->Stats.TicketStatus[4] = 1;

    prompter.queueYesNo(true);
    clickTicket(2, Qt::LeftButton, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_EQ(prompter.shown().size(), 2u);
    EXPECT_EQ(prompter.shown()[1].caption, QStringLiteral("Внимание!"));
    EXPECT_TRUE(
        prompter.shown()[1].text.startsWith(QStringLiteral("Не удалось сохранить статист")));
    EXPECT_TRUE(prompter.shown()[1].text.contains(QStringLiteral("stat.dat")));
    // The close save is the last chance: the run was reported, but the changes still only in
    // memory are told about again.
    form->FormClose();
    ASSERT_EQ(prompter.shown().size(), 3u);
    EXPECT_TRUE(prompter.shown()[2].text.startsWith(
        QStringLiteral("Не удалось сохранить статистику при закрытии программы.")));
    EXPECT_TRUE(form->isVisible());

    ASSERT_TRUE(QDir(appData.path()).mkdir(QStringLiteral("gone")));
    form->FormClose();
    EXPECT_EQ(prompter.shown().size(), 3u);
    Result<LoadedStats> saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.TicketStatus[4], 1);
}

TEST_F(MainWindowTest, PreparationDialogNothingTickedAndMaskStorage) {
    startWithDatabase();
    EXPECT_EQ(prep->windowTitle(), QStringLiteral("Выбор вопросов подготовки"));
    EXPECT_EQ(prep->checks(), AllPrepPositions); // mask 0: all ticked
    EXPECT_EQ(prep->ListView1->item(19)->text(), QStringLiteral("Вопрос №20"));
    EXPECT_EQ(prep->ListView1->item(17)->toolTip(), QStringLiteral("Допуск к эксплуатации ТС"));

    prep->show();
    prep->SpeedButton2Click();
    EXPECT_EQ(prep->checks(), 0u);
    prep->BitBtn1Click();
    EXPECT_TRUE(prep->isVisible()); // stays open
    EXPECT_EQ(prep->checks(), AllPrepPositions);
    EXPECT_EQ(state->Stats.PrepPositions, int32_t(AllPrepPositions));
    Result<LoadedStats> saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.PrepPositions, 0); // not written

    prep->SpeedButton2Click();
    prep->ListView1->item(0)->setCheckState(Qt::Checked);
    prep->ListView1->item(2)->setCheckState(Qt::Checked);
    EXPECT_EQ(state->Sources.PrepChecks, 5u);
    prep->BitBtn1Click();
    EXPECT_FALSE(prep->isVisible());
    EXPECT_EQ(prep->result(), QDialog::Accepted);
    EXPECT_EQ(state->Stats.PrepPositions, 5);
    saved = LoadStats(statPath());
    ASSERT_TRUE(saved.ok());
    EXPECT_EQ(saved->Record.PrepPositions, 5);

    // The main window's refresh sets the ticks from the record.
    state->Stats.PrepPositions = 0x80000;
    form->FormShow();
    EXPECT_EQ(prep->checks(), 0x80000u);
    EXPECT_EQ(state->Sources.PrepChecks, 0x80000u);
}

TEST_F(MainWindowTest, LinkAreaUnderlinesAndOpensTheSite) {
    startWithDatabase();
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(form->Label9, &enter);
    EXPECT_EQ(form->Label9->text(), QStringLiteral("____________"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(form->Label9, &leave);
    EXPECT_TRUE(form->Label9->text().isEmpty());
    QTest::mouseClick(form->Label9, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(ProductSiteUrl));
}

TEST(Pictures, SpeedometerNeedleMovesWithTheIndex) {
    TForm3 holder;
    QImage first = holder.Image(1).toImage();
    EXPECT_EQ(first.size(), SpeedometerSize);
    for (int i = 2; i <= SpeedometerCount; ++i) {
        QImage next = holder.Image(i).toImage();
        EXPECT_NE(next, first) << "picture " << i;
        first = next;
    }
    // Needle at 0 points to the lower left of the dial, at 105 to the right.
    const QImage zero =
        Render(SpeedometerSize, [](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, 0); });
    const QImage top =
        Render(SpeedometerSize, [](QPainter& p, const QRectF& r) { PaintSpeedometer(p, r, 21); });
    int leftRed = 0, rightRed = 0;
    for (int y = 60; y < 130; ++y) {
        for (int x = 20; x < 60; ++x)
            leftRed += IsReddish(zero.pixelColor(x, y)) ? 1 : 0;
        for (int x = 75; x < 115; ++x)
            rightRed += IsReddish(top.pixelColor(x, y)) ? 1 : 0;
    }
    EXPECT_GT(leftRed, 10);
    EXPECT_GT(rightRed, 10);
}

TEST(Pictures, TrafficLightLightsOneLampAndScalesSharp) {
    TForm3 holder(2.0);
    const QImage red = holder.Ikr().toImage();
    EXPECT_EQ(red.size(), TrafficLightSize * 2);
    const QImage none = holder.INet().toImage();
    const QImage green = holder.ISel().toImage();
    const QImage yellow = holder.IZel().toImage();
    EXPECT_GT(red.pixelColor(23, 21).red(), 200);
    EXPECT_LT(none.pixelColor(23, 21).red(), 150);
    EXPECT_GT(green.pixelColor(23, 99).green(), 180);
    EXPECT_LT(green.pixelColor(23, 21).red(), 150);
    EXPECT_GT(yellow.pixelColor(23, 60).green(), 150);
    EXPECT_GT(yellow.pixelColor(23, 60).red(), 200);
}

TEST(Pictures, SevenDistinctCatalogueIcons) {
    std::vector<QImage> icons;
    for (int i = 0; i < 7; ++i) {
        const QImage img = TForm3::Icon(i).pixmap(16, 16).toImage();
        ASSERT_FALSE(img.isNull());
        int opaque = 0;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                opaque += img.pixelColor(x, y).alpha() > 0 ? 1 : 0;
        EXPECT_GT(opaque, 40) << "icon " << i;
        for (const QImage& other : icons)
            EXPECT_NE(img, other) << "icon " << i;
        icons.push_back(img);
    }
    EXPECT_FALSE(TForm3::Icon(3).pixmap(64, 64).isNull());
}

TEST_F(MainWindowTest, SearchOpensFromItsButtonAndCtrlFAndTheCataloguesFollow) {
    startWithDatabase();
    int searches = 0;
    WindowLinks links;
    links.showSearch = [&] {
        ++searches;
        state->Stats.TicketStatus[4] = 1; // what a run started from the search could change
    };
    form->setLinks(links);
    ASSERT_NE(form->SearchButton, nullptr);
    EXPECT_EQ(form->SearchButton->text(), QStringLiteral("Поиск"));
    form->SearchButton->click();
    EXPECT_EQ(searches, 1);
    EXPECT_EQ(form->ticketIcons()[4], 1); // refreshed after the search window closed
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(searches, 2);
}

// The chance line follows the journal after the window's paint, takes the exam day from its
// dialog and fits its place; «Повторение» starts from its key, or says why there is nothing.
TEST_F(MainWindowTest, ChanceLineAndReviewRun) {
    test::StepClock clock(QDateTime(QDate(2026, 1, 15), QTime(9, 0), QTimeZone::utc()));
    test::RecordingSink journal;
    state->services.clock = &clock;
    state->services.answers = &journal;
    startWithDatabase();
    form->refreshChance();
    EXPECT_EQ(form->Label10->text(), QStringLiteral("Шанс сдать экзамен: пока нет ответов"));
    key(form->ListView1, Qt::Key_5, QStringLiteral("5"));
    EXPECT_EQ(studyShown, 0);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_TRUE(prompter.shown()[0].text.startsWith(QStringLiteral("Сейчас повторять нечего")));

    const Fingerprint set = state->Prints.setPrint(state->Db);
    for (int n = 1; n <= QuestionCount; ++n) {
        journal.entries.push_back({.Time = clock.nowUtc().toSecsSinceEpoch() - 86400,
                                   .Set = set,
                                   .Question = n,
                                   .Right = n != 42,
                                   .Flags = FirstInRun});
    }
    form->FormShow(); // as after a run: recomputed once the window has been painted
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Label10->text().contains(u'%'); }, 5000));
    EXPECT_TRUE(form->Label10->text().startsWith(QStringLiteral("Шанс сдать экзамен сегодня: ")));
    EXPECT_FALSE(form->Label10->toolTip().isEmpty());

    prompter.queueDate({true, QDate(2026, 12, 28)});
    form->N23->trigger();
    EXPECT_EQ(state->Config.ExamDate, QDate(2026, 12, 28));
    EXPECT_TRUE(form->Label10->text().contains(QStringLiteral("28.12.2026 — ")));
    EXPECT_LE(form->Label10->fontMetrics().horizontalAdvance(form->Label10->text()),
              form->Label10->width());
    EXPECT_LE(form->Label10->geometry().bottom(), form->Image2->geometry().bottom());

    prompter.queueNumber(3);
    form->N24->trigger();
    key(form->ListView1, Qt::Key_5, QStringLiteral("5"));
    ASSERT_EQ(studyShown, 1);
    EXPECT_EQ(studyRun.Type, RunType::Review);
    ASSERT_EQ(studyRun.Questions.size(), 3u);
    EXPECT_EQ(studyRun.Questions[0], 42); // the one answered wrong is due
}
