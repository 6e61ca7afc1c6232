// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/cp1251.h"
#include "help/help_pack.h"
#include "help/help_pack_read.h"
#include "help/ui/chm_file.h"
#include "help/ui/chm_probe.h"
#include "help/ui/help_engine.h"
#include "help_dataset.h"
#include "step_clock.h"
#include "test_db.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <optional>

#include <unistd.h>

using namespace bil;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A page in cp1251, as help files usually are.
QByteArray Page(const QString& title, const QString& body) {
    return EncodeCp1251(QStringLiteral("<html><head><meta http-equiv=\"Content-Type\" "
                                       "content=\"text/html; charset=windows-1251\">"
                                       "<title>%1</title></head><body>%2</body></html>")
                            .arg(title, body))
        .value();
}

// Compiles the pages into `folder`/biltor.chm; empty when the compiler is not installed.
QString BuildHelpFile(const QString& folder, const QString& indexText) {
    const QString compiler = QStandardPaths::findExecutable(QStringLiteral("chmcmd"));
    if (compiler.isEmpty())
        return {};
    const QString src = folder + QStringLiteral("/src");
    QDir().mkpath(src);
    WriteFile(src + "/index.html",
              Page("Главная страница",
                   "<p>" + indexText +
                       "</p><p><img src=\"img/red.png\"></p>"
                       "<p><a href=\"ms-its:biltor.chm::/pdd5.html#p5.1\">Пункт 5.1</a></p>"
                       "<p><a href=\"http://example.com/site\">сайт</a>"
                       "<img src=\"http://example.com/remote.png\"></p>"));
    QString rules;
    for (int i = 1; i <= 9; ++i) {
        rules += QStringLiteral("<h3><a name=\"p5.%1\"></a>Пункт 5.%1</h3>").arg(i);
        for (int k = 0; k < 12; ++k)
            rules += QStringLiteral("<p>Текст пункта 5.%1, строка %2.</p>").arg(i).arg(k);
    }
    WriteFile(src + "/pdd5.html", Page("Раздел 5", rules));
    QDir().mkpath(src + "/img");
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    EXPECT_TRUE(image.save(src + "/img/red.png"));
    WriteFile(src + "/help.hhp", "[OPTIONS]\r\nCompiled file=../biltor.chm\r\n"
                                 "Default topic=index.html\r\nTitle=Test\r\n\r\n"
                                 "[FILES]\r\nindex.html\r\npdd5.html\r\nimg/red.png\r\n");
    QProcess process;
    process.setWorkingDirectory(src);
    process.start(compiler, {QStringLiteral("help.hhp")});
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const QString chm = folder + QStringLiteral("/biltor.chm");
    EXPECT_TRUE(QFile::exists(chm));
    return chm;
}

class HelpEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = std::make_unique<test::TempDir>();
        s_chm = BuildHelpFile(s_dir->path(), QStringLiteral("Оглавление справки"));
    }
    static void TearDownTestSuite() { s_dir.reset(); }

    void SetUp() override {
        if (s_chm.isEmpty())
            GTEST_SKIP() << "chmcmd is not installed";
    }
    void TearDown() override {
        if (engine && engine->window())
            engine->window()->hide();
    }
    // An engine that searches `folders` and records the links handed to the browser.
    void makeEngine(QStringList folders) {
        engine = std::make_unique<ChmHelpEngine>([folders] { return folders; });
        engine->setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    QString text() const { return engine->window()->browser()->toPlainText(); }
    QString popupText() const { return engine->popup()->browser()->toPlainText(); }
    // The popup text for a rule when `file` is the only help file there is.
    QString popupFor(const QByteArray& file) {
        test::TempDir folder;
        WriteFile(folder.file("biltor.chm"), file);
        makeEngine({folder.path()});
        engine->showHelp("biltor.chm::/pdd5.html#p5.3>popup");
        return popupText();
    }

    static inline std::unique_ptr<test::TempDir> s_dir;
    static inline QString s_chm;
    test::TempDir other;
    std::unique_ptr<ChmHelpEngine> engine;
    std::vector<QUrl> opened;
};

TEST_F(HelpEngineTest, MainTopicShowsThePageItsImageAndLinksFromTheFile) {
    makeEngine({other.path(), s_dir->path()});
    engine->showHelp("biltor.chm::/index.html>main");
    HelpWindow* window = engine->window();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->parentWidget(), nullptr);
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), "Главная страница");
    EXPECT_TRUE(text().contains("Оглавление справки"));

    HelpBrowser* browser = window->browser();
    const QVariant image = browser->loadResource(QTextDocument::ImageResource, QUrl("img/red.png"));
    ASSERT_EQ(image.typeId(), QMetaType::QByteArray);
    EXPECT_EQ(QImage::fromData(image.toByteArray()).size(), QSize(4, 3));
    // Nothing is fetched from elsewhere.
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::ImageResource, QUrl("http://example.com/remote.png"))
            .isValid());
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::HtmlResource, QUrl("file:///etc/passwd")).isValid());

    // A link in the form of the original help engine stays in the file; back and forward work.
    browser->setSource(QUrl("ms-its:biltor.chm::/pdd5.html#p5.1"));
    EXPECT_EQ(window->windowTitle(), "Раздел 5");
    EXPECT_TRUE(text().contains("Текст пункта 5.9"));
    QAction* back = window->findChild<QAction*>("Back");
    ASSERT_NE(back, nullptr);
    EXPECT_TRUE(back->isEnabled());
    back->trigger();
    EXPECT_EQ(window->windowTitle(), "Главная страница");

    // An external link goes to the user's browser only when clicked, the page stays.
    EXPECT_TRUE(opened.empty());
    browser->setSource(QUrl("http://example.com/site"));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl("http://example.com/site"));
    EXPECT_EQ(window->windowTitle(), "Главная страница");

    // The window is reused by the next request.
    engine->showHelp("biltor.chm::/pdd5.html>main");
    EXPECT_EQ(engine->window(), window);
    EXPECT_EQ(window->windowTitle(), "Раздел 5");
}

TEST_F(HelpEngineTest, PopupShowsTheRuleScrolledToItsAnchorAndClosesOnEscape) {
    makeEngine({s_dir->path()});
    engine->showHelp("biltor.chm::/pdd5.html#p5.1>popup");
    ASSERT_NE(engine->popup(), nullptr);
    EXPECT_EQ(engine->window(), nullptr);
    const int topValue = engine->popup()->browser()->verticalScrollBar()->value();

    engine->showHelp("biltor.chm::/pdd5.html#p5.8>popup");
    HelpPopup* popup = engine->popup();
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_TRUE(popup->windowFlags().testFlag(Qt::Popup));
    EXPECT_EQ(popup->parentWidget(), nullptr);
    EXPECT_TRUE(popupText().contains("Текст пункта 5.8"));
    EXPECT_GT(popup->browser()->verticalScrollBar()->value(), topValue);

    QTest::keyClick(popup->browser(), Qt::Key_Escape);
    EXPECT_FALSE(popup->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(engine->popup(), nullptr);
}

TEST_F(HelpEngineTest, WithoutTheFileOwnPagesAndAPlainPopup) {
    makeEngine({other.path()});
    engine->showHelp("biltor.chm::/index.html>main");
    ASSERT_NE(engine->window(), nullptr);
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: главное окно");
    engine->showHelp("biltor.chm::/h2.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: окно обучения");
    engine->showHelp("biltor.chm::/h8.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: статистика");
    // Own pages link to each other.
    engine->window()->browser()->setSource(QUrl("index.html"));
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: главное окно");

    engine->showHelp("biltor.chm::/pdd10.html#p10.1>popup");
    ASSERT_NE(engine->popup(), nullptr);
    EXPECT_TRUE(popupText().contains("Пункт 10.1"));
    EXPECT_TRUE(popupText().contains("файл справки biltor.chm не найден"));
    engine->showHelp("biltor.chm::/raz1.html#r1.1>popup");
    EXPECT_TRUE(popupText().contains("Разметка 1.1"));
    engine->showHelp("biltor.chm::/zn3.html#z3.20>popup");
    EXPECT_TRUE(popupText().contains("Знак 3.20"));

    // Requests that name nothing are ignored.
    engine->showHelp("");
    engine->showHelp("biltor.chm::/>popup");
}

TEST_F(HelpEngineTest, MissingTopicFallsBackToOwnPages) {
    makeEngine({s_dir->path()});
    engine->showHelp("biltor.chm::/h8.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: статистика");
    engine->showHelp("biltor.chm::/nothing.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: главное окно");
    engine->showHelp("biltor.chm::/pdd99.html#p99.1>popup");
    EXPECT_TRUE(popupText().contains("Пункт 99.1"));
    EXPECT_TRUE(popupText().contains("не найден в файле справки"));
}

TEST_F(HelpEngineTest, FileIsLookedForAtEveryRequestInFolderOrder) {
    test::TempDir first;
    makeEngine({first.path(), s_dir->path()});
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_TRUE(text().contains("Оглавление справки"));

    // A help file appearing in an earlier folder (another database) is taken next time.
    ASSERT_FALSE(BuildHelpFile(first.path(), "Другая справка").isEmpty());
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_TRUE(text().contains("Другая справка"));
    QFile::remove(first.file("biltor.chm"));
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_TRUE(text().contains("Оглавление справки"));
}

TEST_F(HelpEngineTest, DamagedFileFallsBackWithoutCrashing) {
    const QByteArray whole = ReadFile(s_chm);
    ASSERT_GT(whole.size(), 1000);
    for (const qsizetype size :
         {qsizetype(0), qsizetype(40), qsizetype(120), qsizetype(600), whole.size() / 3,
          whole.size() / 2, whole.size() - 700, whole.size() - 1}) {
        SCOPED_TRACE(size);
        test::TempDir broken;
        WriteFile(broken.file("biltor.chm"), whole.left(size));
        makeEngine({broken.path()});
        engine->showHelp("biltor.chm::/index.html>main");
        ASSERT_NE(engine->window(), nullptr);
        EXPECT_FALSE(text().isEmpty());
        engine->window()->browser()->setSource(QUrl("pdd5.html"));
        engine->showHelp("biltor.chm::/pdd5.html#p5.3>popup");
        ASSERT_NE(engine->popup(), nullptr);
        EXPECT_FALSE(popupText().isEmpty());
        engine->window()->hide();
    }
    // A compression window the decompressor cannot make is refused before any page is read.
    QByteArray badWindow = whole;
    const qsizetype lzxc = badWindow.indexOf("LZXC");
    ASSERT_GT(lzxc, 0);
    // Reset interval 2^21 and window 2^22 (in units of 32 KiB): consistent, but too large.
    badWindow[lzxc + 8] = '\x40';
    badWindow[lzxc + 12] = '\x80';
    EXPECT_TRUE(popupFor(badWindow).contains("повреждён"));

    // A zero window would make the reader divide by zero while opening the file.
    QByteArray zeroWindow = whole;
    zeroWindow.replace(lzxc + 12, 4, QByteArray(4, '\0'));
    EXPECT_TRUE(popupFor(zeroWindow).contains("повреждён"));

    // A directory block of 4 GiB named by the header is refused before the reader allocates it.
    QByteArray hugeBlock = whole;
    const qsizetype itsp = qsizetype(qFromLittleEndian<quint64>(hugeBlock.constData() + 0x48));
    ASSERT_EQ(hugeBlock.mid(itsp, 4), QByteArray("ITSP"));
    hugeBlock.replace(itsp + 0x10, 4, QByteArray(4, '\xFF'));
    EXPECT_TRUE(popupFor(hugeBlock).contains("повреждён"));

    // Garbage of the right size is no help file either.
    EXPECT_TRUE(popupFor(QByteArray(whole.size(), '\x5A')).contains("повреждён"));
}

TEST_F(HelpEngineTest, TheFileComesFirstThenTheHelpPackThenOwnPages) {
    test::TempDir data;
    test::WriteHelpDataSet(data.path());
    // The pack holds an entry for p5.1 too: the help file's page wins.
    test::WriteDataFile(data.file("questions/A_B/tickets/Билет 2.json"),
                        R"([{"title": "Вопрос 1", "ticket_number": "Билет 2", "question": "В",
                             "answer_tip": "п. 5.1 ПДД"}])");
    HelpPackOptions options;
    options.Root = data.path();
    const QString pack = HelpPackFolder(other.path());
    ASSERT_TRUE(BuildHelpPack(options, pack).ok());
    engine = std::make_unique<ChmHelpEngine>([] { return QStringList{s_dir->path()}; },
                                             [pack] { return pack; });

    engine->showHelp("biltor.chm::/pdd5.html#p5.1>popup");
    EXPECT_TRUE(popupText().contains("Текст пункта 5.1"));
    EXPECT_FALSE(popupText().contains("Вопросы билетов"));
    engine->showHelp("biltor.chm::/zn3.html#z3.20>popup");
    EXPECT_TRUE(popupText().startsWith("Знак 3.20 «Обгон запрещен»"));
    engine->showHelp("biltor.chm::/zn3.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Запрещающие знаки");
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Главная страница");
    engine->showHelp("biltor.chm::/h8.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: статистика");
    // Missing from both: the pack's message, which names the reference.
    engine->showHelp("biltor.chm::/pdd99.html#p99.1>popup");
    EXPECT_TRUE(popupText().contains("нет статьи «Пункт 99.1»"));
}

// Real comments cite numbers the data set files under a neighbour: "Знак 3.20.1" under 3.20,
// "Разметка 1.14" as 1.14.1. The popup shows those, saying so, instead of "нет статьи".
TEST(HelpPackPopup, AMissingNumberShowsTheEntryTheDataSetHasNearIt) {
    test::TempDir data;
    test::TempDir out;
    test::WriteHelpDataSet(data.path());
    HelpPackOptions options;
    options.Root = data.path();
    const QString pack = HelpPackFolder(out.path());
    ASSERT_TRUE(BuildHelpPack(options, pack).ok());
    ChmHelpEngine engine([] { return QStringList(); }, [pack] { return pack; });
    auto popupText = [&] { return engine.popup()->browser()->toPlainText(); };

    engine.showHelp("biltor.chm::/zn3.html#z3.20.1>popup");
    EXPECT_TRUE(popupText().startsWith(
        "Статьи «Знак 3.20.1» в наборе данных нет; показана статья «Знак 3.20»."));
    EXPECT_TRUE(popupText().contains("Знак 3.20 «Обгон запрещен»"));
    engine.showHelp("biltor.chm::/raz1.html#r1.14>popup");
    EXPECT_TRUE(popupText().contains("показана статья «Разметка 1.14.1»"));
    EXPECT_TRUE(popupText().contains("Обозначает пешеходный переход."));
    engine.showHelp("biltor.chm::/zn4.html#z4.1>popup");
    EXPECT_TRUE(popupText().contains("нет статьи «Знак 4.1»"));
}

namespace {

// A probe the test answers itself; with answerAtOnce it answers as soon as events run.
class ScriptedProbe final : public ChmProbe {
public:
    void start(const QString& path) override {
        started << path;
        if (answerAtOnce)
            QTimer::singleShot(0, this, [this, path] { emit answered(path, *answerAtOnce); });
    }
    void answer(bool usable) { emit answered(started.last(), usable); }

    QStringList started;
    std::optional<bool> answerAtOnce;
};

} // namespace

class HelpProbeTest : public HelpEngineTest {
protected:
    void SetUp() override {
        HelpEngineTest::SetUp();
        QObject::connect(&stepper, &QTimer::timeout, [this] {
            ++turns;
            clock.advanceMs(stepMs);
        });
        stepper.start(1);
    }
    // An engine on the test help file whose probe the test answers, waiting on the test's clock.
    void makeProbedEngine() {
        auto scripted = std::make_unique<ScriptedProbe>();
        probe = scripted.get();
        engine = std::make_unique<ChmHelpEngine>([] { return QStringList{s_dir->path()}; },
                                                 ChmHelpEngine::PackSource(), std::move(scripted),
                                                 &clock);
    }
    ScriptedProbe* probe = nullptr;
    test::StepClock clock;
    QTimer stepper;    // moves the clock by stepMs whenever events run
    int stepMs = 1000; // by default a wait ends at its first look at the clock
    int turns = 0;     // times the stepper ran
};

// A probe that does not answer holds help back for the wait only, with the clocks and windows
// going on meanwhile; then the program's own page is shown, and the late answer brings the file.
TEST_F(HelpProbeTest, ASlowProbeBlocksNothingAndItsLateAnswerSwitchesToTheFile) {
    makeProbedEngine();
    stepMs = 50;
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_GE(clock.ticksMs(), 500); // the whole wait, events running
    ASSERT_EQ(probe->started.size(), 1);
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: главное окно");

    // Further requests neither wait nor probe again while the answer is out.
    const int before = turns;
    engine->showHelp("biltor.chm::/h2.html>main");
    EXPECT_EQ(turns, before);
    EXPECT_EQ(probe->started.size(), 1);
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: окно обучения");

    probe->answer(true);
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: окно обучения"); // no such page
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Главная страница");
    EXPECT_EQ(probe->started.size(), 1);
}

TEST_F(HelpProbeTest, TheLateAnswerReplacesWhatIsStillOnScreen) {
    makeProbedEngine();
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: главное окно");
    probe->answer(true);
    EXPECT_EQ(engine->window()->windowTitle(), "Главная страница");
    EXPECT_TRUE(text().contains("Оглавление справки"));

    // The learner went on to another page meanwhile: it stays.
    makeProbedEngine();
    engine->showHelp("biltor.chm::/index.html>main");
    engine->window()->browser()->setSource(QUrl("h8.html"));
    probe->answer(true);
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: статистика");

    // A popup says the file is still being read, then shows what the answer allows, where it
    // was; the help window under it follows too.
    makeProbedEngine();
    engine->showHelp("biltor.chm::/index.html>main");
    engine->showHelp("biltor.chm::/pdd5.html#p5.3>popup");
    EXPECT_TRUE(popupText().contains("ещё читается"));
    const QPoint at = engine->popup()->pos() + QPoint(7, 5);
    engine->popup()->move(at);
    probe->answer(true);
    EXPECT_TRUE(popupText().contains("Текст пункта 5.3"));
    EXPECT_EQ(engine->popup()->pos(), at);
    EXPECT_EQ(engine->window()->windowTitle(), "Главная страница");

    // No (damaged, or read too long): the popup tells so.
    makeProbedEngine();
    engine->showHelp("biltor.chm::/pdd5.html#p5.3>popup");
    probe->answer(false);
    EXPECT_TRUE(popupText().contains("повреждён"));
    // An answer about a file no longer in use is ignored.
    emit probe->answered(other.file("biltor.chm"), true);
    EXPECT_TRUE(popupText().contains("повреждён"));
}

// An answer within the wait: the request opens straight from the file (or its refusal), the
// wait ending with the answer, long before its time.
TEST_F(HelpProbeTest, AnAnswerWithinTheWaitIsUsedAtOnce) {
    stepMs = 1;
    makeProbedEngine();
    probe->answerAtOnce = true;
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_LT(clock.ticksMs(), 500);
    EXPECT_EQ(engine->window()->windowTitle(), "Главная страница");

    makeProbedEngine();
    probe->answerAtOnce = false;
    const int64_t start = clock.ticksMs();
    engine->showHelp("biltor.chm::/pdd5.html#p5.3>popup");
    EXPECT_LT(clock.ticksMs() - start, 500);
    EXPECT_TRUE(popupText().contains("повреждён"));
}

// A request made while another waits (from a timer: input waits in the queue) is the one shown.
TEST_F(HelpProbeTest, ARequestDuringTheWaitIsShownWhenItEnds) {
    makeProbedEngine();
    stepMs = 0; // the wait lasts until the request below has come
    QTimer::singleShot(10, &stepper, [this] {
        engine->showHelp("biltor.chm::/h8.html>main");
        stepMs = 1000;
    });
    engine->showHelp("biltor.chm::/index.html>main");
    EXPECT_EQ(engine->window()->windowTitle(), "Билетория: статистика");
    EXPECT_EQ(probe->started.size(), 1);
}

// The damaged-file guard: whatever chmlib does in the child, the program learns it in time.
TEST(FinishesInChild, TellsAFinishedChildFromACrashedOrStuckOne) {
    EXPECT_TRUE(FinishesInChild([] {}, 2000));
    EXPECT_FALSE(FinishesInChild([] { std::raise(SIGFPE); }, 2000));
    EXPECT_FALSE(FinishesInChild([] { std::raise(SIGSEGV); }, 2000));
    EXPECT_FALSE(FinishesInChild([] { std::abort(); }, 2000));
    EXPECT_FALSE(FinishesInChild([] { _exit(3); }, 2000));

    EXPECT_FALSE(FinishesInChild(
        [] {
            for (;;)
                pause();
        },
        300));
}

} // namespace
