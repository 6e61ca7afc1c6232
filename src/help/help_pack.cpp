// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/help_pack.h"

#include "data/dbv_import.h"
#include "data/file_commit.h"
#include "data/themes.h"
#include "help/help_pack_html.h"
#include "help/help_pack_read.h"
#include "help/help_pack_sources.h"
#include "help/help_topics.h"
#include "help/svg_size.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QSizeF>
#include <QXmlStreamReader>

#include <algorithm>
#include <map>
#include <optional>

namespace bil {

namespace {

constexpr qint64 MaxSourceFile = 64 * 1024 * 1024;
constexpr qint64 MaxPicture = 2 * 1024 * 1024;

Result<QByteArray> ReadSource(const QString& path, const QString& shownName) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(
            QStringLiteral("%1: файл не читается (%2)").arg(shownName, file.errorString()));
    if (file.size() > MaxSourceFile)
        return Status::Error(QStringLiteral("%1: файл больше %2 МБ")
                                 .arg(shownName)
                                 .arg(MaxSourceFile / (1024 * 1024)));
    return file.readAll();
}

// A page of the pack being assembled: its title and entries in order.
struct PageDraft {
    QString Title;
    QString Body;
};

struct Draft {
    std::map<QString, PageDraft> Pages;     // by file name
    std::map<QString, QByteArray> Pictures; // by path in the pack
    QJsonArray Contents;
    QString ContentsBody;
    HelpPackSummary Summary;
    const CancelFlag* Cancel = nullptr;

    PageDraft& page(const QString& name, const QString& title) {
        PageDraft& p = Pages[name];
        if (p.Title.isEmpty())
            p.Title = title;
        return p;
    }
};

QJsonObject Node(const QString& title, const QString& topic, const QString& picture = {}) {
    QJsonObject node{{QStringLiteral("title"), title}};
    if (!topic.isEmpty())
        node.insert(QStringLiteral("topic"), topic);
    if (!picture.isEmpty())
        node.insert(QStringLiteral("picture"), picture);
    return node;
}

// Copies pictures of one kind ("signs", "markup") into images/<kind>/ of the pack.
class PictureCopier {
public:
    PictureCopier(QString root, QString jsonDir, QString kind, Draft& draft)
        : m_root(std::move(root)), m_jsonDir(std::move(jsonDir)), m_kind(std::move(kind)),
          m_draft(draft) {}

    // The picture named in the data set, copied; nothing when it is missing or unusable.
    std::optional<PackPicture> copy(const QString& image) {
        static const QRegularExpression safeName(
            QStringLiteral("^[A-Za-z0-9_-]{1,80}\\.(svg|png|jpe?g|gif)$"),
            QRegularExpression::CaseInsensitiveOption);
        const QString name = QFileInfo(image).fileName();
        if (image.isEmpty() || !safeName.match(name).hasMatch())
            return std::nullopt;
        const QString packPath = QStringLiteral("images/%1/%2").arg(m_kind, name);
        if (const auto known = m_known.constFind(packPath); known != m_known.constEnd())
            return *known;
        std::optional<PackPicture> picture = load(image, name, packPath);
        if (picture)
            m_known.insert(packPath, *picture);
        return picture;
    }

private:
    std::optional<PackPicture> load(const QString& image, const QString& name,
                                    const QString& packPath) {
        // As written from the root, as written from the JSON file's folder, by name in
        // images/<kind>/; never outside the data set.
        const QString candidates[] = {m_root + u'/' + image, m_jsonDir + u'/' + image,
                                      m_root + QStringLiteral("/images/") + m_kind + u'/' + name};
        for (const QString& candidate : candidates) {
            const QString path = QDir::cleanPath(candidate);
            const QFileInfo info(path);
            if (QDir::isAbsolutePath(image) || !path.startsWith(m_root + u'/') || !info.isFile() ||
                info.size() > MaxPicture)
                continue;
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = file.readAll();
            PackPicture picture;
            picture.Path = packPath;
            if (name.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
                const std::optional<QSizeF> size = SvgSize(bytes);
                if (!size)
                    return std::nullopt; // not an SVG picture at all
                fit(picture, *size);
            }
            m_draft.Pictures[packPath] = bytes;
            return picture;
        }
        return std::nullopt;
    }

    static void fit(PackPicture& picture, QSizeF size) {
        const QSize shown = FitSignPicture(size);
        if (shown.isEmpty())
            return;
        picture.Width = shown.width();
        picture.Height = shown.height();
    }

    QString m_root;
    QString m_jsonDir;
    QString m_kind;
    Draft& m_draft;
    QHash<QString, PackPicture> m_known;
};

struct SignKind {
    QString File;    // "signs/signs.json"
    QString Kind;    // "signs"
    QChar Letter;    // 'z'
    QString Word;    // "Знак"
    QString Section; // "Знаки"
    QString Anchor;  // anchor of the section on the contents page
};

Status AddSigns(const QString& root, const SignKind& kind, Draft& draft, int& count) {
    const QString path = root + u'/' + kind.File;
    if (!QFileInfo(path).isFile()) {
        draft.Summary.Notes << QStringLiteral("нет файла %1").arg(kind.File);
        return Status::Ok();
    }
    auto bytes = ReadDataSetFile(path, kind.File);
    if (!bytes)
        return bytes.status();
    auto catalogue = ReadSignCatalogue(*bytes);
    if (!catalogue)
        return Status::Error(QStringLiteral("%1: %2").arg(kind.File, catalogue.error()));
    if (catalogue->Skipped > 0)
        draft.Summary.Notes << QStringLiteral("%1: пропущено записей без номера: %2")
                                   .arg(kind.File)
                                   .arg(catalogue->Skipped);

    PictureCopier pictures(root, QFileInfo(path).absolutePath(), kind.Kind, draft);
    QJsonArray groups;
    QString contents =
        QStringLiteral("<h3><a name=\"%1\"></a>%2</h3>\n").arg(kind.Anchor, kind.Section);
    for (const SignGroup& group : catalogue->Groups) {
        QJsonArray entries;
        QString links;
        QString groupTopic;
        for (const SignEntry& entry : group.Entries) {
            const QString code = kind.Letter + entry.Number;
            const auto topic = SplitPackTopic(TopicFromCode(code));
            if (!topic)
                continue;
            const QString label = entry.Title.isEmpty()
                                      ? entry.Number
                                      : QStringLiteral("%1 «%2»").arg(entry.Number, entry.Title);
            const std::optional<PackPicture> picture = pictures.copy(entry.Image);
            if (!picture)
                ++draft.Summary.WithoutPicture;
            PageDraft& page = draft.page(topic->Page, group.Name);
            page.Body += SignEntryHtml(topic->Anchor, kind.Word + u' ' + label,
                                       picture ? &*picture : nullptr, entry.Description);
            const QString full = topic->Page + u'#' + topic->Anchor;
            if (groupTopic.isEmpty())
                groupTopic = topic->Page;
            entries.append(Node(label, full, picture ? picture->Path : QString()));
            links += QStringLiteral("<a href=\"%1\">%2</a><br>\n").arg(full, label.toHtmlEscaped());
            ++count;
        }
        if (entries.isEmpty())
            continue;
        QJsonObject node = Node(group.Name, groupTopic);
        node.insert(QStringLiteral("children"), entries);
        groups.append(node);
        contents += QStringLiteral("<p class=\"lead\">%1</p>\n<p>%2</p>\n")
                        .arg(group.Name.toHtmlEscaped(), links);
    }
    if (groups.isEmpty())
        return Status::Ok();
    QJsonObject section = Node(kind.Section, PackContentsPage + u'#' + kind.Anchor);
    section.insert(QStringLiteral("children"), groups);
    draft.Contents.append(section);
    draft.ContentsBody += contents;
    return Status::Ok();
}

struct ItemDraft {
    const RuleItem* Rule = nullptr;
    std::vector<CitingQuestion> Questions;
    QHash<QString, size_t> ByText; // question text and comment -> index in Questions
};

Status ReadQuestions(const QString& root,
                     std::map<QString, ItemDraft, decltype(&DottedLess)>& items, Draft& draft) {
    const std::pair<QString, QString> sets[] = {{QStringLiteral("A_B"), QStringLiteral("A,B")},
                                                {QStringLiteral("C_D"), QStringLiteral("C,D")}};
    for (const auto& [folder, label] : sets) {
        const QString relative = QStringLiteral("questions/%1/tickets").arg(folder);
        QDir dir(root + u'/' + relative);
        if (!dir.exists()) {
            draft.Summary.Notes << QStringLiteral("нет папки %1").arg(relative);
            continue;
        }
        const QStringList files =
            dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
        for (const QString& name : files) {
            if (draft.Cancel && draft.Cancel->load())
                return Status::Error(DataSetCancelledMessage);
            const QString shown = relative + u'/' + name;
            auto bytes = ReadDataSetFile(dir.filePath(name), shown);
            if (!bytes)
                return bytes.status();
            auto questions = ReadTicketQuestions(*bytes);
            if (!questions)
                return Status::Error(QStringLiteral("%1: %2").arg(shown, questions.error()));
            for (const TicketQuestion& q : *questions) {
                ++draft.Summary.Questions;
                const QString place = QStringLiteral("%1: билет %2, вопрос %3")
                                          .arg(label)
                                          .arg(q.Ticket)
                                          .arg(q.Position);
                for (const HelpLink& link : BuildHelpLinks(q.Comment)) {
                    const auto topic = SplitPackTopic(link.LinkTopic);
                    if (!topic || !topic->Anchor.startsWith(u'p'))
                        continue;
                    const QString number = topic->Anchor.mid(1);
                    if (!IsDottedNumber(number))
                        continue;
                    ItemDraft& item = items[number];
                    const QString key = q.Text + QChar(0) + q.Comment;
                    auto known = item.ByText.constFind(key);
                    if (known == item.ByText.constEnd()) {
                        known = item.ByText.insert(key, item.Questions.size());
                        item.Questions.push_back({{}, q.Text, q.Comment});
                    }
                    QStringList& places = item.Questions[*known].Places;
                    if (!places.contains(place))
                        places << place;
                }
            }
        }
    }
    return Status::Ok();
}

Status AddRuleItems(const QString& root, const RulesText* rules, Draft& draft) {
    std::map<QString, ItemDraft, decltype(&DottedLess)> items(&DottedLess);
    if (Status read = ReadQuestions(root, items, draft); !read)
        return read;
    if (rules)
        for (const RuleItem& rule : rules->Items)
            items[rule.Number].Rule = &rule;
    if (items.empty())
        return Status::Ok();

    QHash<int, QString> headings;
    if (rules)
        for (const RuleChapter& chapter : rules->Chapters)
            headings.insert(chapter.Number, chapter.Heading);

    QJsonArray chapters;
    QString links;
    QString lastPage;
    for (const auto& [number, item] : items) {
        const auto topic = SplitPackTopic(TopicFromCode(u'p' + number));
        if (!topic)
            continue;
        const int chapter = number.section(u'.', 0, 0).toInt();
        const QString title =
            topic->Page == QLatin1String("pdd.html")
                ? QStringLiteral("Пункты правил")
                : headings.value(chapter, QStringLiteral("Раздел %1").arg(chapter));
        draft.page(topic->Page, title).Body +=
            RuleItemHtml(topic->Anchor, number, item.Rule, item.Questions);
        ++draft.Summary.RuleItems;
        if (item.Rule)
            ++draft.Summary.RuleTexts;
        if (topic->Page != lastPage) {
            lastPage = topic->Page;
            chapters.append(Node(title, topic->Page));
            links += QStringLiteral("<a href=\"%1\">%2</a><br>\n")
                         .arg(topic->Page, title.toHtmlEscaped());
        }
    }
    QJsonObject section =
        Node(QStringLiteral("Пункты правил"), PackContentsPage + QStringLiteral("#rules"));
    section.insert(QStringLiteral("children"), chapters);
    draft.Contents.append(section);
    draft.ContentsBody +=
        QStringLiteral("<h3><a name=\"rules\"></a>Пункты правил</h3>\n<p>%1</p>\n").arg(links);
    return Status::Ok();
}

// "12.9 ч. 2" -> "f12.9.2": the article's numbers, unique within the page.
QString FineAnchor(const Fine& fine, QSet<QString>& taken) {
    static const QRegularExpression digits(QStringLiteral("\\d+"));
    QStringList parts;
    for (auto it = digits.globalMatch(fine.ArticlePart); it.hasNext();)
        parts << it.next().captured();
    QString anchor = QStringLiteral("f") + parts.join(u'.').left(40);
    const QString base = anchor;
    for (int k = 2; taken.contains(anchor); ++k)
        anchor = base + QStringLiteral("-%1").arg(k);
    taken.insert(anchor);
    return anchor;
}

Status AddFines(const QString& root, Draft& draft) {
    const QString relative = QStringLiteral("penalties/penalties.json");
    const QString path = root + u'/' + relative;
    if (!QFileInfo(path).isFile()) {
        draft.Summary.Notes << QStringLiteral("нет файла %1").arg(relative);
        return Status::Ok();
    }
    auto bytes = ReadDataSetFile(path, relative);
    if (!bytes)
        return bytes.status();
    auto fines = ReadFines(*bytes);
    if (!fines)
        return Status::Error(QStringLiteral("%1: %2").arg(relative, fines.error()));
    if (fines->empty())
        return Status::Ok();
    QSet<QString> taken;
    PageDraft& page = draft.page(PackFinesPage, QStringLiteral("Штрафы за нарушения ПДД"));
    for (const Fine& fine : *fines)
        page.Body += FineEntryHtml(FineAnchor(fine, taken), fine);
    draft.Summary.Fines = int(fines->size());
    draft.Contents.append(Node(QStringLiteral("Штрафы"), PackFinesPage));
    draft.ContentsBody += QStringLiteral("<h3><a href=\"%1\">Штрафы</a></h3>\n<p>Статьи КоАП РФ о "
                                         "нарушениях правил: %2.</p>\n")
                              .arg(PackFinesPage)
                              .arg(fines->size());
    return Status::Ok();
}

Status WritePack(const QString& folder, const Draft& draft, const HelpPackOptions& options) {
    const QString source = options.Source.isEmpty() ? options.Root : options.Source;
    const QDateTime built = QDateTime::currentDateTimeUtc();
    // Every page says where its texts and fines come from, so a page read alone is dated.
    const QString origin =
        QStringLiteral("<p class=\"source\">Источник данных: %1; справка собрана %2.</p>\n")
            .arg(source.toHtmlEscaped(),
                 built.toLocalTime().toString(QStringLiteral("dd.MM.yyyy")));
    for (const auto& [name, page] : draft.Pages)
        if (Status written = WriteWholeFile(folder + u'/' + name,
                                            PackPage(page.Title, origin + page.Body).toUtf8());
            !written)
            return written;
    for (const auto& [path, bytes] : draft.Pictures)
        if (Status written = WriteWholeFile(folder + u'/' + path, bytes); !written)
            return written;
    const QString intro =
        origin + QStringLiteral("<p>Страницы собраны из открытых данных: %1.</p>\n")
                     .arg(DescribeHelpPack(draft.Summary).toHtmlEscaped());
    if (Status written = WriteWholeFile(
            folder + u'/' + PackContentsPage,
            PackPage(QStringLiteral("Справка по ПДД"), intro + draft.ContentsBody).toUtf8());
        !written)
        return written;
    const QJsonObject manifest{
        {QStringLiteral("format"), PackFormat},
        {QStringLiteral("source"), source},
        {QStringLiteral("built"), built.toString(Qt::ISODate)},
        {QStringLiteral("contents"), draft.Contents},
    };
    return WriteWholeFile(folder + u'/' + PackManifestName,
                          QJsonDocument(manifest).toJson(QJsonDocument::Indented));
}

} // namespace

QString DescribeHelpPack(const HelpPackSummary& s) {
    QString text = QStringLiteral("знаков %1, разметки %2, пунктов правил %3, штрафов %4")
                       .arg(s.Signs)
                       .arg(s.Markings)
                       .arg(s.RuleItems)
                       .arg(s.Fines);
    if (s.RuleTexts > 0)
        text += QStringLiteral(", с текстом правил %1").arg(s.RuleTexts);
    if (s.WithoutPicture > 0)
        text += QStringLiteral(", без картинки %1").arg(s.WithoutPicture);
    return text;
}

Result<HelpPackSummary> PrepareHelpPack(const HelpPackOptions& options, const QString& outDir,
                                        FileSet& into, bool optional) {
    auto cancelled = [&] { return options.Cancel && options.Cancel->load(); };
    auto progress = [&](const QString& line) {
        if (options.Progress)
            options.Progress(line);
    };
    const QString root = QDir::cleanPath(QFileInfo(options.Root).absoluteFilePath());
    if (options.Root.isEmpty() || !QFileInfo(root).isDir())
        return Status::Error(
            QStringLiteral("Нет папки с данными: %1").arg(QDir::toNativeSeparators(options.Root)));

    std::optional<RulesText> rules;
    if (!options.RulesFile.isEmpty()) {
        progress(QStringLiteral("Справка: текст правил"));
        const QString shown = QDir::toNativeSeparators(options.RulesFile);
        auto bytes = ReadSource(options.RulesFile, shown);
        if (!bytes)
            return bytes.status();
        rules = SplitRulesText(TextParagraphs(*bytes));
        if (rules->Items.empty())
            return Status::Error(QStringLiteral("%1: не найдено ни одного пункта правил (абзаца, "
                                                "который начинается с номера, как «9.10. Водитель "
                                                "должен…»)")
                                     .arg(shown));
    }

    Draft draft;
    draft.Cancel = options.Cancel;
    progress(QStringLiteral("Справка: знаки"));
    const SignKind signs{QStringLiteral("signs/signs.json"),
                         QStringLiteral("signs"),
                         u'z',
                         QStringLiteral("Знак"),
                         QStringLiteral("Знаки"),
                         QStringLiteral("signs")};
    if (Status added = AddSigns(root, signs, draft, draft.Summary.Signs); !added)
        return added;
    progress(QStringLiteral("Справка: разметка"));
    const SignKind markup{
        QStringLiteral("markup/markup.json"), QStringLiteral("markup"),   u'r',
        QStringLiteral("Разметка"),           QStringLiteral("Разметка"), QStringLiteral("markup")};
    if (Status added = AddSigns(root, markup, draft, draft.Summary.Markings); !added)
        return added;
    if (cancelled())
        return Status::Error(DataSetCancelledMessage);
    progress(QStringLiteral("Справка: пункты правил"));
    if (Status added = AddRuleItems(root, rules ? &*rules : nullptr, draft); !added)
        return added;
    if (Status added = AddFines(root, draft); !added)
        return added;
    if (draft.Pages.empty())
        return Status::Error(QStringLiteral("В папке %1 нет данных для справки: ни знаков "
                                            "(signs/signs.json), ни разметки (markup/markup.json), "
                                            "ни штрафов (penalties/penalties.json), ни билетов "
                                            "(questions/)")
                                 .arg(QDir::toNativeSeparators(root)));

    if (cancelled())
        return Status::Error(DataSetCancelledMessage);
    progress(QStringLiteral("Справка: запись"));
    Result<int> staged = into.addFolder(
        outDir, [&](const QString& folder) { return WritePack(folder, draft, options); }, optional);
    if (!staged)
        return staged.status();
    return draft.Summary;
}

Result<HelpPackSummary> BuildHelpPack(const HelpPackOptions& options, const QString& outDir) {
    FileSet files;
    auto prepared = PrepareHelpPack(options, outDir, files);
    if (!prepared)
        return prepared;
    if (Status committed = files.commit(); !committed)
        return committed;
    if (options.Progress)
        options.Progress(QStringLiteral("Справка: ") + DescribeHelpPack(*prepared));
    return prepared;
}

ImportStep HelpPackStep(const QString& folder, const QString& rulesFile, const QString& source,
                        std::shared_ptr<HelpPackReport> report, bool optional) {
    if (!report)
        report = std::make_shared<HelpPackReport>();
    ImportStep step;
    step.Prepare = [=](const DataSetRoot& root, const ImportContext& context) -> Status {
        HelpPackOptions options;
        options.Root = root.path();
        options.RulesFile = rulesFile;
        options.Source = source;
        options.Cancel = context.Cancel;
        options.Progress = [&context](const QString& caption) {
            context.report(ImportProgress::Stage::Build, caption, 0, -1);
        };
        report->Entry = -1;
        auto prepared = PrepareHelpPack(options, folder, *context.Files, optional);
        if (prepared) {
            report->Summary = *prepared;
            report->Built = Status::Ok();
            report->Entry = int(context.Files->size()) - 1;
            return Status::Ok();
        }
        report->Built = prepared.status();
        if (optional && !context.cancelled())
            return Status::Ok();
        return Status::Error(QStringLiteral("Справка не собрана:\n") + prepared.error());
    };
    step.Committed = [report](const FileSet& files) {
        // An optional pack that could not take its place: the old one stays.
        if (report->Entry >= 0)
            if (Status placed = files.outcome(report->Entry); !placed)
                report->Built = placed;
    };
    return step;
}

} // namespace bil
