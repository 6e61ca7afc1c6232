// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/help_window.h"

#include "app/ui/program_windows.h"
#include "data/question_search.h"
#include "help/help_request.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QSplitter>
#include <QStyle>
#include <QTextBlock>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace bil {

namespace {

constexpr int UrlRole = Qt::UserRole;
constexpr int PictureRole = Qt::UserRole + 1;
constexpr int IconSide = 24;

QString ManifestStamp(const QString& folder) {
    const QFileInfo info(QDir(folder).filePath(PackManifestName));
    if (!info.isFile())
        return {};
    return QString::number(info.lastModified().toMSecsSinceEpoch()) + u'/' +
           QString::number(info.size()) + u'/' + info.canonicalFilePath();
}

QTreeWidgetItem* Item(const QString& title, const QUrl& url) {
    auto* item = new QTreeWidgetItem(QStringList{title});
    item->setToolTip(0, title);
    if (!url.isEmpty())
        item->setData(0, UrlRole, url);
    return item;
}

} // namespace

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
    // Minimising help leaves the program on screen, and its clocks running.
    setProperty(ProgramWindows::MinimizesAlone, true);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        if (isVisible())
            followModal();
    });
    setWindowTitle(QStringLiteral("Справка"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Назад"));
    m_forward =
        bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Вперёд"));
    QAction* home =
        bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), QStringLiteral("Начало"));
    m_back->setObjectName(QStringLiteral("Back"));
    m_forward->setObjectName(QStringLiteral("Forward"));
    home->setObjectName(QStringLiteral("Home"));
    m_back->setEnabled(false);
    m_forward->setEnabled(false);
    layout->addWidget(bar);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    auto* pane = new QWidget(splitter);
    auto* paneLayout = new QVBoxLayout(pane);
    paneLayout->setContentsMargins(4, 4, 0, 4);
    m_search = new QLineEdit(pane);
    m_search->setObjectName(QStringLiteral("Search"));
    m_search->setPlaceholderText(QStringLiteral("Поиск по справке"));
    m_search->setClearButtonEnabled(true);
    m_contents = new QTreeWidget(pane);
    m_contents->setObjectName(QStringLiteral("Contents"));
    m_contents->setHeaderHidden(true);
    m_contents->setIconSize(QSize(IconSide, IconSide));
    m_results = new QListWidget(pane);
    m_results->setObjectName(QStringLiteral("SearchResults"));
    m_results->hide();
    paneLayout->addWidget(m_search);
    paneLayout->addWidget(m_contents);
    paneLayout->addWidget(m_results);

    m_browser = new HelpBrowser(splitter);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    splitter->addWidget(pane);
    splitter->addWidget(m_browser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({270, 690});
    layout->addWidget(splitter);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { m_browser->setSource(m_home); });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] {
        updateTitle();
        markQuery();
    });
    connect(m_contents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item && item->data(0, UrlRole).isValid())
            openUrl(item->data(0, UrlRole).toUrl());
    });
    connect(m_contents, &QTreeWidget::itemExpanded, this, &HelpWindow::drawIcons);
    connect(m_search, &QLineEdit::textChanged, this, &HelpWindow::search);
    connect(m_results, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
        if (item && item->data(UrlRole).isValid())
            openUrl(item->data(UrlRole).toUrl());
    });
    rebuildContents();
    resize(980, 640);
}

void HelpWindow::replacePage(const QUrl& page, const QUrl& home) {
    m_home = home;
    m_browser->setSource(page);
    updateTitle();
}

void HelpWindow::showPage(const QUrl& page, const QUrl& home) {
    replacePage(page, home);
    if (isMinimized())
        showNormal();
    else
        show();
    followModal();
    raise();
    activateWindow();
}

bool HelpWindow::event(QEvent* event) {
    if (event->type() == QEvent::WindowBlocked)
        QMetaObject::invokeMethod(this, &HelpWindow::followModal, Qt::QueuedConnection);
    return QWidget::event(event);
}

void HelpWindow::followModal() {
    // A modal window blocks every window but its own (transient) children: help becomes one.
    QWindow* own = windowHandle();
    QWindow* modal = QGuiApplication::modalWindow();
    if (own && modal != own && own->transientParent() != modal)
        own->setTransientParent(modal);
}

void HelpWindow::setPackFolder(const QString& folder) {
    m_browser->setPackFolder(folder);
    const QString stamp = ManifestStamp(folder);
    if (folder == m_packFolder && stamp == m_packStamp)
        return;
    m_packFolder = folder;
    m_packStamp = stamp;
    m_indexed = false;
    rebuildContents();
    if (!m_search->text().isEmpty())
        search(m_search->text());
}

void HelpWindow::updateTitle() {
    const QString title = m_browser->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
}

void HelpWindow::rebuildContents() {
    const QSignalBlocker quiet(m_contents);
    m_contents->clear();
    auto* own = Item(QStringLiteral("Билетория"), OwnPageUrl(OwnPages[0].File));
    for (const OwnPage& page : OwnPages)
        own->addChild(Item(page.Title, OwnPageUrl(page.File)));
    m_contents->addTopLevelItem(own);
    own->setExpanded(true);

    const std::optional<QByteArray> manifest = ReadPackFile(m_packFolder, PackManifestName);
    const Result<PackContents> pack =
        manifest ? ReadPackContents(*manifest) : Result<PackContents>(Status::Error({}));
    if (!pack)
        return;
    auto* root = Item(QStringLiteral("Справка по ПДД"), PackUrl(PackContentsPage));
    addPackNodes(root, pack->Nodes);
    m_contents->addTopLevelItem(root);
    root->setExpanded(true);
}

void HelpWindow::addPackNodes(QTreeWidgetItem* parent, const std::vector<PackNode>& nodes) {
    for (const PackNode& node : nodes) {
        QUrl url;
        if (const auto topic = SplitPackTopic(node.Topic))
            url = PackUrl(topic->Page, topic->Anchor);
        QTreeWidgetItem* item = Item(node.Title, url);
        if (!node.Picture.isEmpty())
            item->setData(0, PictureRole, node.Picture);
        addPackNodes(item, node.Children);
        parent->addChild(item);
    }
}

// Small pictures are drawn when their group is first opened: hundreds of signs stay cheap.
void HelpWindow::drawIcons(QTreeWidgetItem* item) {
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        const QString picture = child->data(0, PictureRole).toString();
        if (picture.isEmpty() || !child->icon(0).isNull())
            continue;
        const std::optional<QByteArray> bytes = ReadPackFile(m_packFolder, picture);
        if (!bytes)
            continue;
        const QVariant drawn = HelpPicture(*bytes, 2 * IconSide);
        QImage image = drawn.typeId() == QMetaType::QImage ? drawn.value<QImage>()
                                                           : QImage::fromData(drawn.toByteArray());
        if (!image.isNull())
            child->setIcon(0, QIcon(QPixmap::fromImage(image)));
    }
}

void HelpWindow::search(const QString& query) {
    const QSignalBlocker quiet(m_results);
    m_results->clear();
    const bool searching = !query.trimmed().isEmpty();
    m_contents->setVisible(!searching);
    m_results->setVisible(searching);
    if (!searching) {
        markQuery();
        return;
    }
    if (!m_indexed) {
        m_index.clear();
        for (const OwnPage& page : OwnPages) {
            QFile file(QLatin1Char(':') + OwnPageUrl(page.File).path());
            if (file.open(QIODevice::ReadOnly))
                for (HelpSearchEntry& e :
                     SearchEntriesOfPage(DecodeHelpPage(file.readAll()),
                                         OwnPageUrl(page.File).toString(), page.Title))
                    m_index.push_back(std::move(e));
        }
        const QStringList pages =
            m_packFolder.isEmpty()
                ? QStringList()
                : QDir(m_packFolder).entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        for (const QString& name : pages) {
            const std::optional<QByteArray> bytes = ReadPackFile(m_packFolder, name);
            if (!bytes || name == PackContentsPage)
                continue;
            for (HelpSearchEntry& e :
                 SearchEntriesOfPage(DecodeHelpPage(*bytes), PackUrl(name).toString(), name))
                m_index.push_back(std::move(e));
        }
        m_indexed = true;
    }
    const std::vector<size_t> found = SearchHelp(m_index, query);
    for (const size_t i : found) {
        auto* item = new QListWidgetItem(m_index[i].Title, m_results);
        item->setData(UrlRole, QUrl(m_index[i].Url));
        item->setToolTip(m_index[i].Title);
    }
    if (found.empty()) {
        auto* none = new QListWidgetItem(QStringLiteral("Ничего не найдено"), m_results);
        none->setFlags(Qt::NoItemFlags);
    }
}

void HelpWindow::openUrl(const QUrl& url) {
    if (m_browser->source() == url)
        markQuery();
    else
        m_browser->setSource(url);
}

// Highlights the words searched for on the page shown.
void HelpWindow::markQuery() {
    QList<QTextEdit::ExtraSelection> marks;
    const QStringList words = SearchWords(m_search->text());
    if (m_results->isVisible()) {
        QTextCharFormat format;
        format.setBackground(QColor(255, 229, 138));
        for (const QString& word : words) {
            QTextCursor at(m_browser->document());
            while (marks.size() < 1000) {
                at = m_browser->document()->find(word, at);
                if (at.isNull())
                    break;
                marks.append({at, format});
            }
        }
    }
    m_browser->setExtraSelections(marks);
}

} // namespace bil
