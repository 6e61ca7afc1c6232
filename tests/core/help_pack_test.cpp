// SPDX-License-Identifier: GPL-3.0-or-later
// The help pack: readers of the data set's help material, the split of run-together
// descriptions and of the rules text, and the pack built from a fixture data set.

#include "data/cp1251.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "help/help_pack.h"
#include "help/help_pack_html.h"
#include "help/help_pack_read.h"
#include "help/help_pack_sources.h"
#include "help/help_search.h"
#include "help/help_topics.h"
#include "help/svg_size.h"
#include "help_dataset.h"
#include "test_dataset.h"
#include "test_db.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <csignal>

namespace bil {
namespace {

using test::TempDir;

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QStringList Numbers(const SignGroup& group) {
    QStringList out;
    for (const SignEntry& e : group.Entries)
        out << e.Number;
    return out;
}

// --- Readers ---------------------------------------------------------------------------------

TEST(HelpSources, SignGroupsAndEntriesComeInNumberOrderWhateverTheKeyOrder) {
    const QByteArray json = R"({
        "Запрещающие знаки": {"3.20": {"number": "3.20", "title": "Обгон запрещен",
                                       "image": "./images/signs/a.svg", "description": "Текст"}},
        "Предупреждающие знаки": {
            "1.10": {"number": "1.10", "title": "Десятый"},
            "1.2": {"number": "1.2", "title": "Второй"},
            "1.1.1": {"title": "Без поля number"},
            "x": {"title": "Без номера"},
            "1.3": "не объект"},
        "Пустая группа": {}
    })";
    const auto read = ReadSignCatalogue(json);
    ASSERT_TRUE(read.ok()) << read.error().toStdString();
    ASSERT_EQ(read->Groups.size(), 2u);
    EXPECT_EQ(read->Groups[0].Name, "Предупреждающие знаки");
    EXPECT_EQ(Numbers(read->Groups[0]), QStringList({"1.1.1", "1.2", "1.10"}));
    EXPECT_EQ(read->Skipped, 2);
    const SignEntry& sign = read->Groups[1].Entries[0];
    EXPECT_EQ(sign.Title, "Обгон запрещен");
    EXPECT_EQ(sign.Image, "./images/signs/a.svg");
    EXPECT_EQ(sign.Description, "Текст");
}

TEST(HelpSources, DamagedSignFilesFailWithTheReason) {
    EXPECT_TRUE(ReadSignCatalogue("{\"a\": ").error().startsWith("не JSON"));
    EXPECT_EQ(ReadSignCatalogue("[1, 2]").error(), "ожидался объект с группами");
    // An empty list is no entries, not damage.
    EXPECT_TRUE(ReadSignCatalogue("[]")->Groups.empty());
    EXPECT_TRUE(ReadFines("[]\n")->empty());
    EXPECT_EQ(ReadSignCatalogue(R"({"Знаки": [1]})").error(),
              "группа «Знаки» — не объект с записями");
}

TEST(HelpSources, FinesAreJsonLinesAndABrokenLineIsNamed) {
    const auto fines =
        ReadFines("{\"article_part\": \"12.9 ч. 2\", \"text\": \"Скорость\", "
                  "\"penalty\": \"500\"}\r\n\n  \n{\"article_part\": \"12.16 ч. 1\"}");
    ASSERT_TRUE(fines.ok()) << fines.error().toStdString();
    ASSERT_EQ(fines->size(), 2u);
    EXPECT_EQ(fines->at(0).ArticlePart, "12.9 ч. 2");
    EXPECT_EQ(fines->at(0).Penalty, "500");
    EXPECT_EQ(fines->at(1).Text, "");

    EXPECT_TRUE(
        ReadFines("{\"article_part\": \"1\"}\n\n{oops}").error().startsWith("строка 3: не JSON"));
    EXPECT_EQ(ReadFines("{\"text\": \"без статьи\"}").error(),
              "строка 1: нет статьи (article_part)");
    EXPECT_EQ(ReadFines("[{\"article_part\": \"1\"}]").error(),
              "строка 1: нет статьи (article_part)");
    // The whole file as one JSON array is not the published shape either.
    EXPECT_TRUE(ReadFines("").value().empty());
}

TEST(HelpSources, TicketQuestionsKeepTheirPlaceAndOneLineTexts) {
    const auto read = ReadTicketQuestions(R"([
        {"title": "Вопрос 7", "ticket_number": "Билет 12", "question": "Текст\r\nвопроса",
         "answer_tip": "п. 9.10\nПДД"},
        {"title": "Вопрос 21", "ticket_number": "Билет 1", "question": "вне билета"},
        {"title": "Вопрос 1", "ticket_number": null, "question": "из тем"},
        {"title": "Вопрос 3", "ticket_number": "Билет 100012", "question": "не билет 12"},
        7
    ])");
    ASSERT_TRUE(read.ok());
    ASSERT_EQ(read->size(), 1u);
    EXPECT_EQ(read->at(0).Ticket, 12);
    EXPECT_EQ(read->at(0).Position, 7);
    EXPECT_EQ(read->at(0).Text, "Текст вопроса");
    EXPECT_EQ(read->at(0).Comment, "п. 9.10 ПДД");
    EXPECT_EQ(ReadTicketQuestions("{}").error(), "ожидался список вопросов");
}

TEST(HelpSources, DottedNumbersAndTheirOrder) {
    for (const char* good : {"1", "3.20", "5.19.1", "12.4.10"})
        EXPECT_TRUE(IsDottedNumber(QString::fromUtf8(good))) << good;
    for (const char* bad : {"", ".1", "1.", "1..2", "3.20a", "8.1p8.2", "1-2", "1.2.3.4.5.6.7.8.9"})
        EXPECT_FALSE(IsDottedNumber(QString::fromUtf8(bad))) << bad;
    EXPECT_TRUE(DottedLess("1.2", "1.10"));
    EXPECT_TRUE(DottedLess("1.14", "1.14.1"));
    EXPECT_TRUE(DottedLess("9.10", "10.1"));
    EXPECT_FALSE(DottedLess("2.1", "2.1"));
}

// --- Descriptions -----------------------------------------------------------------------------

TEST(HelpDescriptions, RunTogetherPartsBecomeParagraphsLeadInsAndLists) {
    const auto blocks = SplitDescription(
        "Запрещается обгон всех транспортных средств.Разрешается:а) обгон тихоходных;б) обгон "
        "повозок.Наказание за нарушение требований знака:КоАП РФ 12.15 ч. 4 - штраф 5000 руб.КоАП "
        "РФ 12.15 ч. 5 - лишение права.");
    using K = TextBlock::Kind;
    const std::vector<std::pair<K, QString>> expected = {
        {K::Paragraph, "Запрещается обгон всех транспортных средств."},
        {K::Heading, "Разрешается:"},
        {K::ListItem, "а) обгон тихоходных;"},
        {K::ListItem, "б) обгон повозок."},
        {K::Heading, "Наказание за нарушение требований знака:"},
        {K::Paragraph, "КоАП РФ 12.15 ч. 4 - штраф 5000 руб."},
        {K::Paragraph, "КоАП РФ 12.15 ч. 5 - лишение права."},
    };
    ASSERT_EQ(blocks.size(), expected.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i].kind, expected[i].first) << i;
        EXPECT_EQ(blocks[i].text, expected[i].second) << i;
    }
}

TEST(HelpDescriptions, OnlyAShortLeadInIsAHeadingAndThePenaltyPartStandsApart) {
    using K = TextBlock::Kind;
    using Blocks = std::vector<std::pair<K, QString>>;
    auto kinds = [](const QString& text) {
        Blocks out;
        for (const TextBlock& b : SplitDescription(text))
            out.emplace_back(b.kind, b.text);
        return out;
    };
    const QString rule = "Запрещается движение транспортных средств, масса которых превышает "
                         "указанную на знаке.";
    EXPECT_EQ(
        kinds(rule + " Наказание за нарушение требований знака:"),
        (Blocks{{K::Paragraph, rule}, {K::Heading, "Наказание за нарушение требований знака:"}}));
    EXPECT_EQ(kinds(rule + " Наказание за нарушение требований знака: КоАП РФ 12.16 ч. 1 - штраф "
                           "500 руб. КоАП РФ 12.21.1 ч. 1 - штраф 5000 руб."),
              (Blocks{{K::Paragraph, rule},
                      {K::Heading, "Наказание за нарушение требований знака:"},
                      {K::Paragraph, "КоАП РФ 12.16 ч. 1 - штраф 500 руб."},
                      {K::Paragraph, "КоАП РФ 12.21.1 ч. 1 - штраф 5000 руб."}}));
    // A long sentence that ends with a colon is no heading.
    const QString longLeadIn = "Знак устанавливают перед участком дороги, где действуют следующие "
                               "особые условия движения:";
    EXPECT_EQ(kinds(longLeadIn), (Blocks{{K::Paragraph, longLeadIn}}));
}

TEST(HelpDescriptions, OrdinaryPunctuationIsLeftAlone) {
    // Numbers, abbreviations, a letter in brackets inside a sentence, blanks after stops.
    const QString text = "Действие знака 3.20 (см. п. 3.2 а) распространяется т.е. до перекрёстка. "
                         "Далее: обычный порядок.";
    const auto blocks = SplitDescription(text);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].text, text);
    // Existing line breaks stay, empty lines go.
    EXPECT_EQ(SplitDescription("Первая строка\r\n\r\nВторая 1) не пункт").size(), 2u);
    EXPECT_TRUE(SplitDescription("").empty());
}

TEST(HelpDescriptions, HtmlIsEscapedAndListsAreClosed) {
    const QString html = DescriptionHtml("Можно:а) <b>это</b> & то");
    EXPECT_EQ(html, "<p class=\"lead\">Можно:</p>\n<ul style=\"list-style-type:none\">\n"
                    "<li>а) &lt;b&gt;это&lt;/b&gt; &amp; то</li>\n</ul>\n");
}

TEST(HelpDescriptions, OnlyTheCitedNumberIsHighlighted) {
    const QString html = HighlightNumber("п. 9.1 и 9.10, 19.1, 9.1.2 <и> 9.1.", "9.1");
    EXPECT_EQ(html.count("background-color"), 2);
    EXPECT_TRUE(html.contains("п. <span style=\"background-color:#ffe58a\">9.1</span> и 9.10"));
    EXPECT_TRUE(html.contains("&lt;и&gt; <span"));
    EXPECT_EQ(HighlightNumber("нет ссылки", "9.1"), "нет ссылки");
}

// --- Rules text -------------------------------------------------------------------------------

TEST(HelpRules, ItemsAreFoundByTheirNumberAtTheStartOfAParagraph) {
    const RulesText rules = SplitRulesText(TextParagraphs(test::RulesFixture()));
    QStringList numbers;
    for (const RuleItem& item : rules.Items)
        numbers << item.Number;
    EXPECT_EQ(numbers, QStringList({"1.1", "1.2", "2.1.1", "9.10", "10.1"}));
    // The definitions belong to 1.2, the edit note does not; the list item belongs to 9.10;
    // the appendix's "1.1 «…»" is no second item 1.1.
    EXPECT_EQ(rules.Items[1].Paragraphs,
              QStringList({"1.2. В правилах используются такие понятия:",
                           "«Дорога» — полоса, приспособленная для движения."}));
    EXPECT_EQ(rules.Items[3].Paragraphs.size(), 2);
    EXPECT_EQ(rules.Items[4].Paragraphs,
              QStringList({"10.1. Водитель едет не быстрее установленного."}));
    // The decree's own points are no chapters of the rules.
    ASSERT_EQ(rules.Chapters.size(), 4u);
    EXPECT_EQ(rules.Chapters[0].Number, 1);
    EXPECT_EQ(rules.Chapters[0].Heading, "1. Общие положения");
    EXPECT_EQ(rules.Chapters[2].Heading, "9. Расположение на проезжей части");
}

TEST(HelpRules, HtmlAndCp1251AndWrappedPlainTextGiveTheSameParagraphs) {
    const QByteArray html =
        EncodeCp1251(
            "<html><head><meta charset=\"windows-1251\"><title>Правила</title>"
            "<style>p { color: red }</style><script>var x = '9.9. не пункт';</script></head><body>"
            "<h2>9. Расположение</h2><p>9.10.&nbsp;Водитель&nbsp;держит <b>дистанцию</b> &amp; "
            "интервал &#8212; &laquo;всегда&raquo;.</p><!-- 9.11. в комментарии --><br>"
            "<div>а) сбоку&#x21;</div></body></html>")
            .value();
    const QStringList fromHtml = TextParagraphs(html);
    EXPECT_EQ(fromHtml,
              QStringList({"9. Расположение",
                           "9.10. Водитель держит дистанцию & интервал — «всегда».", "а) сбоку!"}));

    const QByteArray wrapped = "9. Расположение\n\n9.10. Водитель держит\nдистанцию & интервал"
                               " — «всегда».\n\nа) сбоку!\n";
    EXPECT_EQ(TextParagraphs(wrapped), fromHtml);
    const RulesText rules = SplitRulesText(fromHtml);
    ASSERT_EQ(rules.Items.size(), 1u);
    EXPECT_EQ(rules.Items[0].Paragraphs.size(), 2);
}

// --- The pack ---------------------------------------------------------------------------------

class HelpPackTest : public ::testing::Test {
protected:
    void SetUp() override { test::WriteHelpDataSet(data.path()); }
    Result<HelpPackSummary> build(const QString& rules = {}) {
        HelpPackOptions options;
        options.Root = data.path();
        options.RulesFile = rules;
        return BuildHelpPack(options, pack());
    }
    QString pack() const { return out.file("help"); }
    QString page(const QString& name) const { return ReadText(pack() + "/" + name); }
    // The entry a topic opens, or nothing.
    std::optional<QString> entry(const QString& topic) const {
        const auto split = SplitPackTopic(topic);
        if (!split)
            return std::nullopt;
        return ExtractEntry(page(split->Page), split->Anchor);
    }

    TempDir data;
    TempDir out;
};

TEST_F(HelpPackTest, EverySignAndMarkingOpensItsEntryByTheTopicRule) {
    const auto built = build();
    ASSERT_TRUE(built.ok()) << built.error().toStdString();
    EXPECT_EQ(built->Signs, 7);
    EXPECT_EQ(built->Markings, 4);
    EXPECT_EQ(built->WithoutPicture, 1);
    EXPECT_EQ(built->Fines, 3);
    EXPECT_EQ(built->Questions, 6);

    for (const char* sign : {"1.1", "1.2", "1.10", "3.20", "5.19.1", "7.1", "8.2.1"}) {
        const QString caption = QStringLiteral("Знак ") + sign;
        const auto html = entry(TopicFromCode(CodeFromCaption(caption)));
        ASSERT_TRUE(html) << sign;
        EXPECT_TRUE(
            html->contains(QStringLiteral("<h3><a name=\"z%1\"></a>%2").arg(sign, caption)));
    }
    for (const char* marking : {"1.1", "1.2", "1.14.1", "2.1"}) {
        const auto html =
            entry(TopicFromCode(CodeFromCaption(QStringLiteral("Разметка ") + marking)));
        ASSERT_TRUE(html) << marking;
        EXPECT_TRUE(html->contains(QStringLiteral("Разметка %1").arg(marking)));
        EXPECT_TRUE(html->contains("<img src=\"images/markup/"));
    }
    EXPECT_TRUE(QFileInfo(pack() + "/zn3.html").isFile());
    EXPECT_TRUE(QFileInfo(pack() + "/raz1.html").isFile());
    EXPECT_TRUE(QFileInfo(pack() + "/raz2.html").isFile());
    // A sign of chapter 1 has its page named after its group.
    EXPECT_TRUE(page("zn1.html").contains("<title>Предупреждающие знаки</title>"));
    EXPECT_LT(page("zn1.html").indexOf("z1.2\""), page("zn1.html").indexOf("z1.10\""));
    // Nothing opens for a sign the data set lacks.
    EXPECT_FALSE(entry("zn4.html#z4.1"));
}

TEST_F(HelpPackTest, EntriesShowPicturesEscapedTitlesAndSplitDescriptions) {
    ASSERT_TRUE(build().ok());
    const QString sign = *entry("zn3.html#z3.20");
    EXPECT_TRUE(sign.contains("Знак 3.20 «Обгон запрещен»"));
    const QRegularExpression img("<img src=\"(images/signs/[0-9a-f]{32}\\.svg)\" width=\"120\" "
                                 "height=\"120\"");
    const auto match = img.match(sign);
    ASSERT_TRUE(match.hasMatch()) << sign.toStdString();
    EXPECT_EQ(ReadText(pack() + "/" + match.captured(1)).toUtf8(), test::SignSvg("#0000ff"));
    EXPECT_TRUE(sign.contains("<p class=\"lead\">Разрешается:</p>"));
    EXPECT_TRUE(sign.contains("<li>б) обгон гужевых повозок.</li>"));
    EXPECT_TRUE(sign.contains("<p>КоАП РФ 12.15 ч. 5 - лишение права управления на 1 год.</p>"));

    // The sign whose picture file is missing is shown without one.
    const QString noPicture = *entry("zn7.html#z7.1");
    EXPECT_TRUE(noPicture.contains("Пункт медицинской помощи"));
    EXPECT_FALSE(noPicture.contains("<img"));

    const QString tricky = *entry("zn8.html#z8.2.1");
    EXPECT_TRUE(tricky.contains("Зона &lt;b&gt;действия&lt;/b&gt; &amp; &quot;табличка&quot;"));
    EXPECT_TRUE(tricky.contains("&lt;протяжённость&gt;"));
    EXPECT_FALSE(tricky.contains("<b>действия"));
}

TEST_F(HelpPackTest, RuleItemsListTheQuestionsThatCiteThem) {
    ASSERT_TRUE(build().ok());
    const QString item = *entry("pdd9.html#p9.10");
    EXPECT_TRUE(item.contains("Пункт 9.10"));
    EXPECT_TRUE(item.contains("Текст правил не загружен"));
    EXPECT_TRUE(item.contains("Вопросы билетов со ссылкой на этот пункт: 2"));
    // The same question in both sets is listed once with both places.
    EXPECT_TRUE(item.contains("<b>A,B: билет 1, вопрос 1; C,D: билет 1, вопрос 1</b>"));
    EXPECT_TRUE(item.contains("<b>C,D: билет 1, вопрос 5</b>"));
    EXPECT_TRUE(item.contains("Можно ли &lt;обогнать&gt; грузовик?"));
    EXPECT_TRUE(
        item.contains("Согласно п. <span style=\"background-color:#ffe58a\">9.10</span> ПДД"));

    // Every rule reference of the fixture's comments, through the links the program builds.
    int links = 0;
    for (const QString& comment :
         {test::CommentCiting910, QStringLiteral("Пункт 10.1 ПДД и разметка 1.1: скорость"),
          QStringLiteral("Согласно п. 2.1.1 ПДД документы.")})
        for (const HelpLink& link : BuildHelpLinks(comment))
            if (link.LinkTopic.startsWith("pdd")) {
                ++links;
                EXPECT_TRUE(entry(link.LinkTopic)) << link.LinkTopic.toStdString();
            }
    EXPECT_EQ(links, 3);
    EXPECT_TRUE(entry("pdd2.html#p2.1.1")->contains("A,B: билет 1, вопрос 3"));
}

TEST_F(HelpPackTest, ArticlesOfOtherLawsAndChaptersTheRulesLackMakeNoItems) {
    test::WriteTicketComments(data.path(), "A_B", 2,
                              {"Пункт 22.2(1) ПДД.", "ст. 11.1 ФЗ об ОСАГО",
                               "согласно статьи 12.10", "п. 9.10 ПДД, ст. 31.2 КоАП",
                               "п. 26.1 и п. 32.1"});
    ASSERT_TRUE(build().ok());
    const auto manifest = ReadPackContents(ReadText(pack() + "/" + PackManifestName).toUtf8());
    ASSERT_TRUE(manifest.ok());
    QStringList chapters;
    for (const PackNode& node : manifest->Nodes[2].Children)
        chapters << node.Topic;
    EXPECT_EQ(chapters, QStringList({"pdd2.html", "pdd9.html", "pdd10.html", "pdd22.html"}));
    EXPECT_TRUE(entry("pdd22.html#p22.2"));
    EXPECT_FALSE(QFileInfo(pack() + "/pdd11.html").exists());
}

TEST_F(HelpPackTest, WithTheRulesTextEachItemStartsWithItsOwnText) {
    test::WriteDataFile(data.file("rules.txt"), test::RulesFixture());
    const auto built = build(data.file("rules.txt"));
    ASSERT_TRUE(built.ok()) << built.error().toStdString();
    EXPECT_EQ(built->RuleTexts, 5);
    EXPECT_EQ(built->RuleItems, 5); // 1.1, 1.2 from the text only; 2.1.1, 9.10, 10.1 both
    const QString item = *entry("pdd9.html#p9.10");
    const qsizetype text = item.indexOf("<p class=\"rule\">9.10. Водитель держит дистанцию");
    ASSERT_GT(text, 0);
    EXPECT_LT(text, item.indexOf("Вопросы билетов"));
    EXPECT_FALSE(item.contains("Текст правил не загружен"));
    EXPECT_TRUE(entry("pdd1.html#p1.1")->contains("Эти правила задают"));
    EXPECT_TRUE(page("pdd9.html").contains("<title>9. Расположение на проезжей части</title>"));

    // A file without a single item is refused, and the pack is not written.
    test::WriteDataFile(data.file("empty.txt"), "Просто текст без пунктов.\n");
    const auto refused = build(data.file("empty.txt"));
    EXPECT_TRUE(refused.error().contains("не найдено ни одного пункта правил"));
    EXPECT_TRUE(build(data.file("absent.txt")).error().contains("файл не читается"));
}

TEST_F(HelpPackTest, FinesContentsAndTheManifest) {
    ASSERT_TRUE(build().ok());
    const QString fines = page(PackFinesPage);
    EXPECT_TRUE(fines.contains("<a name=\"f12.9.2\"></a>КоАП РФ, статья 12.9 ч. 2"));
    EXPECT_TRUE(fines.contains("<b>Наказание:</b> Штраф 5000 руб."));
    EXPECT_TRUE(ExtractEntry(fines, "f12.16.1"));

    const auto manifest = ReadPackContents(ReadText(pack() + "/" + PackManifestName).toUtf8());
    ASSERT_TRUE(manifest.ok()) << manifest.error().toStdString();
    EXPECT_EQ(manifest->Source, data.path());
    QStringList sections;
    for (const PackNode& node : manifest->Nodes)
        sections << node.Title;
    EXPECT_EQ(sections, QStringList({"Знаки", "Разметка", "Пункты правил", "Штрафы"}));
    const PackNode& warning = manifest->Nodes[0].Children[0];
    EXPECT_EQ(warning.Title, "Предупреждающие знаки");
    ASSERT_EQ(warning.Children.size(), 3u);
    EXPECT_EQ(warning.Children[0].Title, "1.1 «Железнодорожный переезд со шлагбаумом»");
    EXPECT_EQ(warning.Children[0].Topic, "zn1.html#z1.1");
    EXPECT_TRUE(QFileInfo(pack() + "/" + warning.Children[0].Picture).isFile());
    // Every topic of the contents opens a page of the pack, every anchor an entry.
    std::function<void(const std::vector<PackNode>&)> check = [&](const auto& nodes) {
        for (const PackNode& node : nodes) {
            if (!node.Topic.isEmpty()) {
                const auto topic = SplitPackTopic(node.Topic);
                ASSERT_TRUE(topic);
                EXPECT_TRUE(QFileInfo(pack() + "/" + topic->Page).isFile())
                    << node.Topic.toStdString();
                if (!topic->Anchor.isEmpty() && topic->Page != PackContentsPage) {
                    EXPECT_TRUE(entry(node.Topic)) << node.Topic.toStdString();
                }
            }
            check(node.Children);
        }
    };
    check(manifest->Nodes);
    EXPECT_TRUE(page(PackContentsPage).contains("знаков 7, разметки 4"));
}

TEST_F(HelpPackTest, EveryPageNamesTheDataSetItWasBuiltFrom) {
    HelpPackOptions options;
    options.Root = data.path();
    options.Source = "https://example.org/data/<v2026.11>.zip";
    ASSERT_TRUE(BuildHelpPack(options, pack()).ok());
    const QString line = "Источник данных: https://example.org/data/&lt;v2026.11&gt;.zip; справка "
                         "собрана " +
                         QDate::currentDate().toString("dd.MM.yyyy") + ".";
    const QStringList pages = QDir(pack()).entryList({"*.html"}, QDir::Files);
    EXPECT_TRUE(pages.contains(PackFinesPage));
    EXPECT_TRUE(pages.contains(PackContentsPage));
    for (const QString& name : pages)
        EXPECT_TRUE(page(name).contains(line)) << name.toStdString();
}

TEST_F(HelpPackTest, MissingPartsAreNotedDamagedOnesFailAndKeepTheOldPack) {
    ASSERT_TRUE(build().ok());
    const QString before = page("zn3.html");

    QFile::remove(data.file("penalties/penalties.json"));
    QDir(data.file("questions/C_D")).removeRecursively();
    const auto partial = build();
    ASSERT_TRUE(partial.ok());
    EXPECT_EQ(partial->Fines, 0);
    EXPECT_TRUE(partial->Notes.contains("нет файла penalties/penalties.json"));
    EXPECT_TRUE(partial->Notes.contains("нет папки questions/C_D/tickets"));
    EXPECT_FALSE(QFileInfo(pack() + "/" + PackFinesPage).exists()); // the whole folder was replaced

    test::WriteDataFile(data.file("signs/signs.json"), "{\"Знаки\": ");
    EXPECT_TRUE(build().error().startsWith("signs/signs.json: не JSON"));
    test::WriteDataFile(data.file("questions/A_B/tickets/Билет 2.json"), "{}");
    test::WriteDataFile(data.file("signs/signs.json"), "{}");
    EXPECT_EQ(build().error(), "questions/A_B/tickets/Билет 2.json: ожидался список вопросов");
    EXPECT_EQ(page("zn3.html"), before);

    TempDir empty;
    HelpPackOptions options;
    options.Root = empty.path();
    EXPECT_TRUE(BuildHelpPack(options, pack()).error().contains("нет данных для справки"));
    options.Root = empty.file("absent");
    EXPECT_TRUE(BuildHelpPack(options, pack()).error().startsWith("Нет папки с данными"));
    EXPECT_EQ(page("zn3.html"), before);
    // No half-built folder is left beside the pack.
    EXPECT_EQ(QDir(out.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"help"}));
}

#ifdef BILETORIA_DBV_TOOL
// The maintainers' command: the pack written, its notes and failures on standard error.
TEST_F(HelpPackTest, ToolBuildsThePackAndReportsFailures) {
    test::WriteDataFile(data.file("rules.txt"), test::RulesFixture());
    QFile::remove(data.file("penalties/penalties.json"));
    auto run = [](const QStringList& args, QByteArray* err) {
        QProcess p;
        p.start(QStringLiteral(BILETORIA_DBV_TOOL), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        *err = p.readAllStandardError();
        return p.exitCode();
    };
    QByteArray err;
    ASSERT_EQ(
        run({"help", "--json", data.path(), "-o", pack(), "--rules", data.file("rules.txt")}, &err),
        0)
        << err.toStdString();
    const QString log = QString::fromUtf8(err);
    EXPECT_TRUE(log.contains("Замечание: нет файла penalties/penalties.json"));
    EXPECT_TRUE(
        log.contains("Справка: знаков 7, разметки 4, пунктов правил 5, штрафов 0, с текстом "
                     "правил 5, без картинки 1"));
    EXPECT_TRUE(entry("pdd10.html#p10.1")->contains("10.1. Водитель едет"));

    EXPECT_EQ(run({"help", "--json", data.file("absent"), "-o", out.file("other")}, &err), 1);
    EXPECT_TRUE(QString::fromUtf8(err).startsWith("Справка не создана:\nНет папки "));
    EXPECT_FALSE(QFileInfo::exists(out.file("other")));
    EXPECT_EQ(run({"help", "--json", data.path()}, &err), 1);
    EXPECT_TRUE(QString::fromUtf8(err).contains("biletoria-dbv help --json"));

    // The data set as an archive with one top folder, as the repository hands it out.
    test::DataSetFiles files;
    QDirIterator it(data.path(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        files.emplace_back(QDir(data.path()).relativeFilePath(path), file.readAll());
    }
    const QString zip = out.file("pdd_russia-master.zip");
    test::WriteDataFile(zip,
                        test::MakeArchive(test::ArchiveFormat::Zip, files, "pdd_russia-master/"));
    ASSERT_EQ(run({"help", "--json", zip, "-o", pack()}, &err), 0) << err.toStdString();
    EXPECT_TRUE(entry("zn3.html#z3.20")->contains("<img src=\"images/signs/"));
    EXPECT_TRUE(entry("pdd9.html#p9.10")->contains("C,D: билет 1, вопрос 5"));
    EXPECT_EQ(ReadPackContents(ReadText(pack() + "/" + PackManifestName).toUtf8())->Source, zip);
}
#endif

// --- Reading the pack back ----------------------------------------------------------------

TEST(HelpPackRead, PathsTopicsAndEntries) {
    for (const char* good : {"zn3.html", "images/signs/ab_c-1.svg", "pdd.html"})
        EXPECT_TRUE(IsSafePackPath(QString::fromUtf8(good))) << good;
    for (const char* bad : {"", "/etc/passwd", "../x.html", "a/../../b", "a//b", "./a",
                            "http://x/y", "знак.html", "a\\b", "a b"})
        EXPECT_FALSE(IsSafePackPath(QString::fromUtf8(bad))) << bad;
    EXPECT_EQ(SplitPackTopic("zn3.html#z3.20")->Anchor, "z3.20");
    EXPECT_EQ(SplitPackTopic("shtraf.html")->Anchor, "");
    EXPECT_FALSE(SplitPackTopic("zn3.html#z3.20\"><script>"));
    EXPECT_FALSE(SplitPackTopic("../zn3.html#z3.20"));

    const QString page = "<p>до</p><!--entry z1.1-->A<!--/entry--><!--entry z1.10-->B<!--/entry-->"
                         "<!--entry z2.1-->без конца";
    EXPECT_EQ(ExtractEntry(page, "z1.1"), "A");
    EXPECT_EQ(ExtractEntry(page, "z1.10"), "B");
    EXPECT_FALSE(ExtractEntry(page, "z1"));
    EXPECT_FALSE(ExtractEntry(page, "z2.1"));
    EXPECT_FALSE(ExtractEntry(page, "z1.1-->A<!--/entry--><!--entry z1.10"));
}

TEST(HelpPackRead, APopupForAMissingNumberShowsTheEntriesUnderItElseTheNearestShorterOne) {
    QString page;
    for (const char* n : {"z1.4", "z8.4.3.1", "z8.4.3.2", "z8.4.3.3", "z8.4.30"})
        page += EntryStart(n) + QStringLiteral("[%1]").arg(n) + EntryEnd;
    EXPECT_EQ(PopupEntryHtml(page, "z1.4"), "[z1.4]");

    const QString under = PopupEntryHtml(page, "z8.4.3").value_or("");
    EXPECT_TRUE(under.startsWith("<p class=\"note\"><i>Статьи «Знак 8.4.3» в наборе данных нет; "
                                 "показаны статьи «Знак 8.4.3.1», «Знак 8.4.3.2», «Знак 8.4.3.3»."))
        << under.toStdString();
    EXPECT_TRUE(under.endsWith("[z8.4.3.1][z8.4.3.2][z8.4.3.3]"));

    // Parts are dropped until a number is there.
    const QString shorter = PopupEntryHtml(page, "z1.4.1.2").value_or("");
    EXPECT_TRUE(shorter.contains("Статьи «Знак 1.4.1.2» в наборе данных нет; показана статья "
                                 "«Знак 1.4»."))
        << shorter.toStdString();
    EXPECT_TRUE(shorter.endsWith("[z1.4]"));
    EXPECT_FALSE(PopupEntryHtml(page, "z8.5"));
    EXPECT_FALSE(PopupEntryHtml(page, "z2"));
}

TEST(HelpPackRead, ManifestIsCheckedBeforeTheWindowTrustsIt) {
    const auto good = ReadPackContents(
        R"({"format": 1, "source": "s", "contents": [{"title": "Знаки", "topic": "contents.html#signs",
            "children": [{"title": "3.20", "topic": "zn3.html#z3.20", "picture": "images/signs/a.svg"}]}]})");
    ASSERT_TRUE(good.ok()) << good.error().toStdString();
    EXPECT_EQ(good->Nodes[0].Children[0].Picture, "images/signs/a.svg");

    EXPECT_EQ(ReadPackContents(R"({"format": 2, "contents": []})").error(),
              "неизвестный формат справки");
    EXPECT_EQ(ReadPackContents(R"({"format": 1})").error(), "нет содержания");
    EXPECT_EQ(ReadPackContents(R"({"format": 1, "contents": [{"topic": "a.html"}]})").error(),
              "строка содержания без названия");
    EXPECT_EQ(
        ReadPackContents(R"({"format": 1, "contents": [{"title": "x", "topic": "../a.html"}]})")
            .error(),
        "недопустимая ссылка «../a.html»");
    EXPECT_EQ(
        ReadPackContents(R"({"format": 1, "contents": [{"title": "x", "picture": "/etc/a.svg"}]})")
            .error(),
        "недопустимая картинка «/etc/a.svg»");
    EXPECT_EQ(
        ReadPackContents(R"({"format": 1, "contents": [{"title": "x", "children": 5}]})").error(),
        "«children» — не список");
    QByteArray deep = R"({"title": "x"})";
    for (int i = 0; i < 4; ++i)
        deep = R"({"title": "x", "children": [)" + deep + "]}";
    EXPECT_EQ(ReadPackContents(R"({"format": 1, "contents": [)" + deep + "]}").error(),
              "содержание вложено глубже 4 уровней");
}

TEST(HelpSearch, EntriesOfAPageAreFoundByAllTheirWordsTitlesFirst) {
    const QString page =
        "<html><head><title>Знаки</title><style>p {}</style></head><body>" + EntryStart("z3.20") +
        "<h3>Знак 3.20 «Обгон запрещен»</h3><p>Обгон всех ТС.</p>" + EntryEnd +
        EntryStart("z3.21") + "<h3>Знак 3.21</h3><p>Конец зоны, где обгон&nbsp;запрещён.</p>" +
        EntryEnd + "</body></html>";
    std::vector<HelpSearchEntry> entries =
        SearchEntriesOfPage(page, "pack:///zn3.html", "zn3.html");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].Title, "Знак 3.21");
    EXPECT_EQ(entries[1].Url, "pack:///zn3.html#z3.21");
    EXPECT_EQ(entries[1].Text, "знак 3.21 конец зоны, где обгон запрещен.");
    // A page without entries is one entry named by its title.
    const auto own =
        SearchEntriesOfPage("<title>Окно</title><p>Тренировка на время</p>", "qrc:/a", "a");
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].Title, "Окно");
    entries.insert(entries.end(), own.begin(), own.end());

    using Found = std::vector<size_t>;
    EXPECT_EQ(SearchHelp(entries, "ЗАПРЕЩЁН обгон"), Found({0, 1})); // title match first
    EXPECT_EQ(SearchHelp(entries, "конец запрещен"), Found({1}));
    EXPECT_EQ(SearchHelp(entries, "время"), Found({2}));
    EXPECT_EQ(SearchHelp(entries, "обгон", 1), Found({0}));
    EXPECT_TRUE(SearchHelp(entries, "  ").empty());
    EXPECT_TRUE(SearchHelp(entries, "style").empty()); // no style sheet text is searched
}

// --- Replacing the folder -------------------------------------------------------------------

class ReplaceFolderTest : public ::testing::Test {
protected:
    Status replace(const QByteArray& content) {
        return ReplaceFolder(target(), [&](const QString& folder) {
            return WriteWholeFile(folder + "/sub/page.html", content);
        });
    }
    QString target() const { return dir.file("help"); }
    QString content() const { return ReadText(target() + "/sub/page.html"); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    TempDir dir;
};

TEST_F(ReplaceFolderTest, NewFolderReplacesTheOldWholeAndFailuresLeaveItAlone) {
    ASSERT_TRUE(replace("первая").ok());
    EXPECT_EQ(content(), "первая");
    test::WriteDataFile(target() + "/old-only.html", "старое");
    ASSERT_TRUE(replace("вторая").ok());
    EXPECT_EQ(content(), "вторая");
    EXPECT_FALSE(QFileInfo::exists(target() + "/old-only.html"));
    EXPECT_EQ(entries(), QStringList({"help"}));

    const Status failed = ReplaceFolder(target(), [](const QString& folder) {
        EXPECT_TRUE(WriteWholeFile(folder + "/half.html", "половина").ok());
        return Status::Error("сбой посередине");
    });
    EXPECT_EQ(failed.message(), "сбой посередине");
    EXPECT_EQ(content(), "вторая");
    EXPECT_EQ(entries(), QStringList({"help"}));
}

TEST_F(ReplaceFolderTest, LeftoversOfAKilledReplacementAreCleared) {
    ASSERT_TRUE(replace("первая").ok());
    // A fresh folder of a replacement killed long ago, and one that may still be running.
    test::WriteDataFile(dir.file(".help.new-aaaaaa/x"), "x");
    test::WriteDataFile(dir.file(".help.new-bbbbbb/x"), "x");
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    const utimbuf times{old.toSecsSinceEpoch(), old.toSecsSinceEpoch()};
    ASSERT_EQ(utime(QFile::encodeName(dir.file(".help.new-aaaaaa")).constData(), &times), 0);
    ASSERT_TRUE(replace("вторая").ok());
    EXPECT_EQ(entries(), QStringList({".help.new-bbbbbb", "help"}));

    // Killed between the two renames: the parked old folder gets its name back.
    ASSERT_TRUE(QDir().rename(target(), dir.file(".help.old-cccccc")));
    ASSERT_TRUE(ReplaceFolder(target(), [](const QString&) {
                    return Status::Error("нет");
                }).message() == "нет");
    EXPECT_EQ(content(), "вторая");
}

TEST_F(ReplaceFolderTest, AFullDiskLeavesTheOldFolder) {
    ASSERT_TRUE(replace("первая").ok());
    const pid_t pid = fork();
    if (pid == 0) {
        // Writes past 64 KiB fail as on a full disk instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{65536, 65536};
        setrlimit(RLIMIT_FSIZE, &limit);
        const Status s = replace(QByteArray(200000, 'x'));
        _exit(!s.ok() && s.message().contains("page.html") ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(content(), "первая");
    EXPECT_EQ(entries(), QStringList({"help"}));
}

TEST_F(ReplaceFolderTest, AFileInTheWayIsNotReplaced) {
    test::WriteDataFile(target(), "файл");
    EXPECT_TRUE(replace("x").message().contains("не папка"));
    EXPECT_EQ(ReadText(target()), "файл");
}

// A sign picture's own size, however large or odd, gives a shown size inside the page's box;
// one no number can scale (infinite) gives none instead of an undefined conversion.
TEST(SvgSize, AnySizeFitsTheBoxOrGivesNone) {
    EXPECT_EQ(FitSignPicture(*SvgSize("<svg width=\"300px\" height=\"100\"/>")), QSize(200, 67));
    EXPECT_EQ(FitSignPicture(*SvgSize("<svg viewBox=\"0 0 50 100\"/>")), QSize(60, 120));
    EXPECT_EQ(FitSignPicture(QSizeF(1e300, 1e-300)), QSize(200, 1));
    const double infinite = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(FitSignPicture(QSizeF(infinite, 1)).isEmpty());
    EXPECT_TRUE(FitSignPicture(QSizeF(std::nan(""), 1)).isEmpty());
    const auto huge = SvgSize("<svg width=\"1" + QByteArray(400, '0') + "\" height=\"1\"/>");
    ASSERT_TRUE(huge);
    const QSize shown = FitSignPicture(*huge);
    EXPECT_TRUE(shown.isEmpty() || (shown.width() <= 200 && shown.height() >= 1));
    EXPECT_FALSE(SvgSize("<html/>"));
}

} // namespace
} // namespace bil
