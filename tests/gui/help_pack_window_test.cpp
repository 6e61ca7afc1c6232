// SPDX-License-Identifier: GPL-3.0-or-later
// Popups and the help window over a help pack built from a fixture data set: the entry a
// reference names, its picture drawn, the popup's size, the contents pane, the search, and no
// address outside the program ever fetched.

#include "data/themes.h"
#include "help/help_pack.h"
#include "help/help_pack_read.h"
#include "help/help_topics.h"
#include "help/ui/help_engine.h"
#include "help_dataset.h"
#include "test_db.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTcpServer>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace bil;

namespace {

// Pixels of the widget drawn close to `colour`.
int PixelsOf(QWidget* widget, QColor colour) {
    const QImage image = widget->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) < 40 &&
                std::abs(c.green() - colour.green()) < 40 &&
                std::abs(c.blue() - colour.blue()) < 40)
                ++count;
        }
    return count;
}

class HelpPackWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_data = std::make_unique<test::TempDir>();
        s_app = std::make_unique<test::TempDir>();
        test::WriteHelpDataSet(s_data->path());
        test::WriteDataFile(s_data->file("rules.txt"), test::RulesFixture());
        HelpPackOptions options;
        options.Root = s_data->path();
        options.RulesFile = s_data->file("rules.txt");
        const auto built = BuildHelpPack(options, HelpPackFolder(s_app->path()));
        ASSERT_TRUE(built.ok()) << built.error().toStdString();
    }
    static void TearDownTestSuite() {
        s_data.reset();
        s_app.reset();
    }
    void SetUp() override { makeEngine(HelpPackFolder(s_app->path())); }
    void TearDown() override {
        if (engine && engine->window())
            engine->window()->hide();
    }
    void makeEngine(const QString& pack) {
        engine =
            std::make_unique<ChmHelpEngine>([] { return QStringList(); }, [pack] { return pack; });
        engine->setUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }
    QString popupText(const QString& topic) {
        engine->showHelp(HelpRequestPopup(topic));
        EXPECT_NE(engine->popup(), nullptr);
        return engine->popup() ? engine->popup()->browser()->toPlainText() : QString();
    }

    static inline std::unique_ptr<test::TempDir> s_data;
    static inline std::unique_ptr<test::TempDir> s_app;
    std::unique_ptr<ChmHelpEngine> engine;
    std::vector<QUrl> opened;
};

TEST_F(HelpPackWindowTest, APopupShowsTheSignEntryAloneWithItsPictureDrawn) {
    const QString text = popupText("zn3.html#z3.20");
    EXPECT_TRUE(text.contains("Знак 3.20 «Обгон запрещен»"));
    EXPECT_TRUE(text.contains("Разрешается:"));
    EXPECT_TRUE(text.contains("б) обгон гужевых повозок."));
    EXPECT_FALSE(text.contains("Железнодорожный")); // no other entry of the page
    HelpPopup* popup = engine->popup();
    ASSERT_TRUE(popup->isVisible());
    // The blue sign is drawn (a broken picture would leave a small grey box).
    QApplication::processEvents();
    EXPECT_GT(PixelsOf(popup->browser()->viewport(), QColor(0, 0, 255)), 120 * 120 / 2);

    // A sign without a picture file shows its text without a picture.
    EXPECT_TRUE(popupText("zn7.html#z7.1").contains("Пункт медицинской помощи"));
    EXPECT_EQ(PixelsOf(engine->popup()->browser()->viewport(), QColor(255, 0, 0)), 0);
    // An escaped title shows as written.
    EXPECT_TRUE(popupText("zn8.html#z8.2.1").contains(test::TrickyTitle));
}

TEST_F(HelpPackWindowTest, EveryReferenceOfTheFixtureOpensItsEntry) {
    // The statistics list's path: caption back to code, then the topic rule.
    for (const char* caption : {"Знак 1.1", "Знак 1.10", "Знак 5.19.1", "Разметка 1.14.1",
                                "Разметка 2.1", "Пункт 9.10", "Пункт 2.1.1"}) {
        const QString topic = TopicFromCode(CodeFromCaption(QString::fromUtf8(caption)));
        EXPECT_TRUE(popupText(topic).startsWith(QString::fromUtf8(caption))) << caption;
    }
    // The study window's path: the stored topics of a comment's links.
    const std::vector<HelpLink> links = BuildHelpLinks(test::CommentCiting910);
    ASSERT_EQ(links.size(), 2u);
    const QString item = popupText(links[0].LinkTopic);
    EXPECT_TRUE(item.startsWith("Пункт 9.10"));
    EXPECT_TRUE(item.contains("9.10. Водитель держит дистанцию до идущего впереди."));
    EXPECT_TRUE(item.contains("A,B: билет 1, вопрос 1; C,D: билет 1, вопрос 1"));
    EXPECT_TRUE(popupText(links[1].LinkTopic).startsWith("Знак 3.20"));
    // A question of the list opens nothing.
    EXPECT_EQ(engine->popup()->browser()->document()->toHtml().count("<a href"), 0);
}

TEST_F(HelpPackWindowTest, AMissingEntryIsNamedAndSaidToBeAbsentFromTheDataSet) {
    const QString text = popupText("zn4.html#z4.1");
    EXPECT_TRUE(text.startsWith("Знак 4.1"));
    EXPECT_TRUE(text.contains("нет статьи «Знак 4.1»: в наборе данных её нет"));
    EXPECT_TRUE(popupText("raz1.html#r1.99").contains("нет статьи «Разметка 1.99»"));

    // Without a pack and without the help file the popup says how to get one.
    test::TempDir empty;
    makeEngine(HelpPackFolder(empty.path()));
    const QString none = popupText("zn3.html#z3.20");
    EXPECT_TRUE(none.contains("файл справки biltor.chm не найден"));
    EXPECT_TRUE(none.contains("«Загрузить билеты ПДД…»"));
}

TEST_F(HelpPackWindowTest, PopupIsAsTallAsItsTextUpToALimitAndScrollsBeyond) {
    test::TempDir app;
    const QString pack = HelpPackFolder(app.path());
    QString longEntry;
    for (int i = 0; i < 120; ++i)
        longEntry += QStringLiteral("<p>Строка длинной статьи номер %1.</p>").arg(i);
    test::WriteDataFile(pack + "/pdd5.html",
                        ("<html><body>" + EntryStart("p5.1") + "<h3>Пункт 5.1</h3><p>Коротко.</p>" +
                         EntryEnd + EntryStart("p5.2") + "<h3>Пункт 5.2</h3>" + longEntry +
                         EntryEnd + "</body></html>")
                            .toUtf8());
    test::WriteDataFile(pack + "/" + PackManifestName, R"({"format": 1, "contents": []})");
    makeEngine(pack);

    EXPECT_EQ(popupText("pdd5.html#p5.1"), "Пункт 5.1\nКоротко.");
    QApplication::processEvents(); // the layout settles: the size stays
    HelpPopup* popup = engine->popup();
    const int shortHeight = popup->height();
    EXPECT_LT(shortHeight, 140);
    EXPECT_EQ(popup->browser()->verticalScrollBar()->maximum(), 0);

    popupText("pdd5.html#p5.2");
    popup = engine->popup();
    EXPECT_EQ(popup->height(), HelpPopup::maxHeight());
    EXPECT_GT(popup->browser()->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(popup->width(), HelpPopup::FitWidth);
}

TEST_F(HelpPackWindowTest, NothingOutsideTheProgramIsFetched) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const QString remote =
        QStringLiteral("http://127.0.0.1:%1/remote.svg").arg(server.serverPort());
    test::TempDir app;
    const QString pack = HelpPackFolder(app.path());
    const QString page = "<html><body>" + EntryStart("z1.1") + "<h3>Знак 1.1</h3><p><img src=\"" +
                         remote + "\"><img src=\"file:///etc/hostname\"><img src=\"../" +
                         PackManifestName + "\"></p>" + EntryEnd + "</body></html>";
    test::WriteDataFile(pack + "/zn1.html", page.toUtf8());
    test::WriteDataFile(pack + "/" + PackManifestName, R"({"format": 1, "contents": []})");
    makeEngine(pack);

    popupText("zn1.html#z1.1");
    engine->showHelp(HelpRequestMain("zn1.html"));
    ASSERT_NE(engine->window(), nullptr);
    EXPECT_TRUE(engine->window()->browser()->toPlainText().contains("Знак 1.1"));
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 300)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_FALSE(server.hasPendingConnections());
    EXPECT_FALSE(server.waitForNewConnection(0));
    HelpBrowser* browser = engine->window()->browser();
    EXPECT_FALSE(browser->loadResource(QTextDocument::ImageResource, QUrl(remote)).isValid());
    EXPECT_FALSE(
        browser->loadResource(QTextDocument::HtmlResource, QUrl("pack:///../../etc/hostname"))
            .isValid());
    EXPECT_TRUE(opened.empty());
}

TEST_F(HelpPackWindowTest, MainRequestsOpenPackPagesAndTheOwnPagesAsBefore) {
    engine->showHelp(HelpRequestMain("zn3.html"));
    HelpWindow* window = engine->window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Запрещающие знаки");
    EXPECT_EQ(window->browser()->source(), QUrl("pack:///zn3.html"));
    engine->showHelp(HelpRequestMain(HelpPageStudy));
    EXPECT_EQ(window->windowTitle(), "Билетория: окно обучения");
    engine->showHelp(HelpRequestMain(HelpPageStats));
    EXPECT_EQ(window->windowTitle(), "Билетория: статистика");
    // Links between pack pages stay in the pack.
    window->browser()->setSource(QUrl("pack:///contents.html"));
    EXPECT_EQ(window->windowTitle(), "Справка по ПДД");
    window->browser()->setSource(QUrl("pdd9.html#p9.10"));
    EXPECT_EQ(window->browser()->source(), QUrl("pack:///pdd9.html#p9.10"));
    EXPECT_TRUE(opened.empty());
}

QTreeWidgetItem* Child(QTreeWidgetItem* item, const QString& title) {
    for (int i = 0; item && i < item->childCount(); ++i)
        if (item->child(i)->text(0) == title)
            return item->child(i);
    return nullptr;
}

TEST_F(HelpPackWindowTest, ContentsListOwnPagesSignsByGroupWithPicturesMarkingsAndFines) {
    engine->showHelp(HelpRequestMain(HelpPageMain));
    HelpWindow* window = engine->window();
    QTreeWidget* contents = window->contents();
    ASSERT_EQ(contents->topLevelItemCount(), 2);
    QTreeWidgetItem* own = contents->topLevelItem(0);
    EXPECT_EQ(own->text(0), "Билетория");
    ASSERT_EQ(own->childCount(), 3);
    QTreeWidgetItem* pack = contents->topLevelItem(1);
    EXPECT_EQ(pack->text(0), "Справка по ПДД");
    QStringList sections;
    for (int i = 0; i < pack->childCount(); ++i)
        sections << pack->child(i)->text(0);
    EXPECT_EQ(sections, QStringList({"Знаки", "Разметка", "Пункты правил", "Штрафы"}));

    QTreeWidgetItem* warning = Child(Child(pack, "Знаки"), "Предупреждающие знаки");
    ASSERT_NE(warning, nullptr);
    ASSERT_EQ(warning->childCount(), 3);
    EXPECT_TRUE(warning->child(0)->icon(0).isNull()); // drawn when the group is opened
    warning->setExpanded(true);
    for (int i = 0; i < warning->childCount(); ++i)
        EXPECT_FALSE(warning->child(i)->icon(0).isNull()) << i;
    const QImage icon = warning->child(0)->icon(0).pixmap(24, 24).toImage();
    EXPECT_EQ(icon.pixelColor(12, 12), QColor(255, 0, 0));
    QTreeWidgetItem* service = Child(Child(pack, "Знаки"), "Знаки сервиса");
    service->setExpanded(true);
    EXPECT_TRUE(service->child(0)->icon(0).isNull()); // its picture file is missing

    contents->setCurrentItem(warning->child(2));
    EXPECT_EQ(window->browser()->source(), QUrl("pack:///zn1.html#z1.10"));
    EXPECT_EQ(window->windowTitle(), "Предупреждающие знаки");
    contents->setCurrentItem(Child(pack, "Штрафы"));
    EXPECT_TRUE(window->browser()->toPlainText().contains("КоАП РФ, статья 12.15 ч. 4"));
    contents->setCurrentItem(own->child(1));
    EXPECT_EQ(window->windowTitle(), "Билетория: окно обучения");
}

TEST_F(HelpPackWindowTest, SearchFindsEntriesOfAllPagesAndMarksTheWords) {
    engine->showHelp(HelpRequestMain(HelpPageMain));
    HelpWindow* window = engine->window();
    window->searchField()->setText("Обгон запрещён"); // "ё" finds "е"
    QListWidget* results = window->searchResults();
    EXPECT_TRUE(results->isVisible());
    EXPECT_FALSE(window->contents()->isVisible());
    ASSERT_GE(results->count(), 1);
    EXPECT_EQ(results->item(0)->text(), "Знак 3.20 «Обгон запрещен»");
    results->setCurrentRow(0);
    EXPECT_EQ(window->browser()->source(), QUrl("pack:///zn3.html#z3.20"));
    EXPECT_FALSE(window->browser()->extraSelections().isEmpty());

    // Rule items by their text and questions, and the program's own pages.
    window->searchField()->setText("дистанцию");
    QStringList titles;
    for (int i = 0; i < results->count(); ++i)
        titles << results->item(i)->text();
    EXPECT_TRUE(titles.contains("Пункт 9.10"));
    window->searchField()->setText("тренировка");
    EXPECT_GE(results->count(), 1);
    EXPECT_TRUE(results->item(0)->data(Qt::UserRole).toUrl().scheme() == "qrc");

    window->searchField()->setText("несуществующее слово");
    ASSERT_EQ(results->count(), 1);
    EXPECT_EQ(results->item(0)->text(), "Ничего не найдено");
    window->searchField()->clear();
    EXPECT_FALSE(results->isVisible());
    EXPECT_TRUE(window->contents()->isVisible());
    EXPECT_TRUE(window->browser()->extraSelections().isEmpty());
}

TEST_F(HelpPackWindowTest, ARebuiltPackIsReadAgain) {
    test::TempDir data;
    test::TempDir app;
    test::WriteHelpDataSet(data.path());
    HelpPackOptions options;
    options.Root = data.path();
    const QString pack = HelpPackFolder(app.path());
    ASSERT_TRUE(BuildHelpPack(options, pack).ok());
    makeEngine(pack);
    engine->showHelp(HelpRequestMain("zn3.html"));
    EXPECT_TRUE(popupText("pdd9.html#p9.10").contains("Текст правил не загружен"));

    test::WriteDataFile(data.file("rules.txt"), test::RulesFixture());
    options.RulesFile = data.file("rules.txt");
    ASSERT_TRUE(BuildHelpPack(options, pack).ok());
    EXPECT_TRUE(popupText("pdd9.html#p9.10").contains("9.10. Водитель держит"));
    engine->showHelp(HelpRequestMain("pdd1.html"));
    EXPECT_TRUE(engine->window()->browser()->toPlainText().contains("1.1. Эти правила"));
    QTreeWidgetItem* rules = Child(engine->window()->contents()->topLevelItem(1), "Пункты правил");
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(rules->child(0)->text(0), "1. Общие положения");
}

} // namespace
