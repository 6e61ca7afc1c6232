#include "help/ui/help_engine.h"

#include "app/app_state.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScreen>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

// Resources of a static library are linked in only when something refers to them.
static void InitHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace bil {

namespace {

const QString OwnPages[] = {QStringLiteral("index.html"), QStringLiteral("h2.html"),
                            QStringLiteral("h8.html")};

// Links written for the help engine of the original platform ("ms-its:biltor.chm::/a.html")
// point into the same file.
QUrl MapChmLink(const QUrl& url) {
    if (url.scheme() == ChmScheme || url.isRelative())
        return url;
    const QString text = url.toString();
    const qsizetype at = text.indexOf(QStringLiteral("::/"));
    if (at < 0)
        return url;
    return QUrl(ChmScheme + QStringLiteral("://") + text.mid(at + 2));
}

bool IsTextResource(int type) {
    return type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource;
}

QUrl ChmUrl(const QString& page, const QString& anchor = {}) {
    QUrl url(ChmScheme + QStringLiteral(":///") + page);
    if (!anchor.isEmpty())
        url.setFragment(anchor);
    return url;
}

// The program's own page standing in for `page`: the page of the same name, else the index.
QUrl OwnPage(const QString& page) {
    for (const QString& own : OwnPages)
        if (page.compare(own, Qt::CaseInsensitive) == 0)
            return QUrl(OwnPagesRoot + own);
    return QUrl(OwnPagesRoot + OwnPages[0]);
}

// A page counts only when it can be read whole; a damaged file may still list it.
bool HasPage(const std::shared_ptr<ChmFile>& file, const QString& page) {
    return file && file->read(page).has_value();
}

} // namespace

// --- HelpBrowser ---------------------------------------------------------------------------

HelpBrowser::HelpBrowser(QWidget* parent) : QTextBrowser(parent) {
    setOpenExternalLinks(false);
    setOpenLinks(true);
}

QVariant HelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = MapChmLink(name.isRelative() ? source().resolved(name) : name);
    std::optional<QByteArray> bytes;
    if (url.scheme() == ChmScheme) {
        if (m_file)
            bytes = m_file->read(url.path());
    } else if (url.scheme() == QStringLiteral("qrc")) {
        QFile file(QLatin1Char(':') + url.path());
        if (file.open(QIODevice::ReadOnly))
            bytes = file.readAll();
    }
    // Anything else, remote images above all, is not fetched.
    if (!bytes)
        return {};
    if (IsTextResource(type))
        return DecodeHelpPage(*bytes);
    return *bytes;
}

void HelpBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
    const QUrl url = MapChmLink(name);
    if (!url.isRelative() && url.scheme() != ChmScheme && url.scheme() != QStringLiteral("qrc")) {
        if (m_openUrl)
            m_openUrl(url);
        return;
    }
    QTextBrowser::doSetSource(url, type);
}

// --- HelpWindow ----------------------------------------------------------------------------

HelpWindow::HelpWindow() : QWidget(nullptr, Qt::Window) {
    setObjectName(QStringLiteral("HelpWindow"));
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

    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    layout->addWidget(m_browser);

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(home, &QAction::triggered, this, [this] { m_browser->setSource(m_home); });
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::sourceChanged, this, [this] { updateTitle(); });
    resize(780, 580);
}

void HelpWindow::showPage(const QUrl& page, const QUrl& home) {
    m_home = home;
    m_browser->setSource(page);
    updateTitle();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void HelpWindow::updateTitle() {
    const QString title = m_browser->documentTitle().trimmed();
    setWindowTitle(title.isEmpty() ? QStringLiteral("Справка") : title);
}

// --- HelpPopup -----------------------------------------------------------------------------

HelpPopup::HelpPopup() : QWidget(nullptr, Qt::Popup) {
    setObjectName(QStringLiteral("HelpPopup"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_browser = new HelpBrowser(this);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->installEventFilter(this);
    layout->addWidget(m_browser);
    resize(460, 260);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    close();
            });
}

bool HelpPopup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void HelpPopup::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape)
        close();
    else
        QWidget::keyPressEvent(event);
}

// --- ChmHelpEngine -------------------------------------------------------------------------

ChmHelpEngine::ChmHelpEngine(FolderSource folders)
    : m_folders(std::move(folders)),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    InitHelpResources();
}

ChmHelpEngine::ChmHelpEngine(const AppState& app)
    : ChmHelpEngine(
          [&app] { return HelpFolders(app.Db.DbPath(), app.ProgramDir, app.AppDataDir); }) {}

ChmHelpEngine::~ChmHelpEngine() {
    delete m_popup.data();
}

std::shared_ptr<ChmFile> ChmHelpEngine::currentFile(const QString& name) {
    // Only a bare file name is looked for, whatever the request says.
    const QString path =
        FindHelpFile(m_folders ? m_folders() : QStringList(), QFileInfo(name).fileName());
    if (path.isEmpty()) {
        m_filePath.clear();
        m_file.reset();
        return nullptr;
    }
    const QFileInfo info(path);
    const qint64 stamp = info.lastModified().toMSecsSinceEpoch() ^ (info.size() << 20);
    if (path != m_filePath || stamp != m_fileStamp || !m_file) {
        m_filePath = path;
        m_fileStamp = stamp;
        m_file = ChmFile::open(path);
    }
    return m_file;
}

void ChmHelpEngine::showHelp(const QString& request) {
    HelpRequest parsed;
    if (!ParseHelpRequest(request, parsed))
        return;
    std::shared_ptr<ChmFile> file = currentFile(parsed.file);
    if (parsed.window == HelpRequest::Window::Popup)
        showPopup(parsed, file, !m_filePath.isEmpty());
    else
        showMain(parsed, file);
}

void ChmHelpEngine::showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file) {
    if (!m_window)
        m_window = std::make_unique<HelpWindow>();
    HelpBrowser* browser = m_window->browser();
    browser->setUrlOpener(m_openUrl);
    const bool fileChanged = browser->file() != file;
    browser->setFile(file);
    if (HasPage(file, request.page)) {
        const QString home = HasPage(file, OwnPages[0]) ? OwnPages[0] : request.page;
        m_window->showPage(ChmUrl(request.page, request.anchor), ChmUrl(home));
    } else {
        m_window->showPage(OwnPage(request.page), OwnPage(OwnPages[0]));
    }
    // The same address in a replaced help file must be read again.
    if (fileChanged)
        browser->reload();
}

void ChmHelpEngine::showPopup(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                              bool fileFound) {
    delete m_popup.data();
    m_popup = new HelpPopup();
    HelpBrowser* browser = m_popup->browser();
    browser->setUrlOpener([this, opener = m_openUrl](const QUrl& url) {
        if (m_popup)
            m_popup->close();
        opener(url);
    });
    browser->setFile(file);

    // Near the mouse pointer, kept on its screen.
    const QPoint cursor = QCursor::pos();
    QScreen* screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    QPoint at = cursor + QPoint(12, 12);
    if (screen) {
        const QRect area = screen->availableGeometry();
        at.setX(std::clamp(at.x(), area.left(),
                           std::max(area.left(), area.right() - m_popup->width())));
        at.setY(std::clamp(at.y(), area.top(),
                           std::max(area.top(), area.bottom() - m_popup->height())));
    }
    m_popup->move(at);
    m_popup->show();

    if (HasPage(file, request.page)) {
        browser->setSource(ChmUrl(request.page, request.anchor));
        if (!request.anchor.isEmpty())
            browser->scrollToAnchor(request.anchor);
        return;
    }
    const QString reference =
        request.anchor.isEmpty() ? request.page : ReferenceFromAnchor(request.anchor);
    QString why;
    if (!fileFound)
        why = QStringLiteral("Текст правил не установлен: файл справки %1 не найден.");
    else if (!file)
        why = QStringLiteral("Текст правил недоступен: файл справки %1 повреждён.");
    else
        why = QStringLiteral("Текст правил не найден в файле справки %1.");
    browser->setHtml(QStringLiteral("<p><b>%1</b></p><p>%2</p>")
                         .arg(reference.toHtmlEscaped(),
                              why.arg(QFileInfo(request.file).fileName()).toHtmlEscaped()));
}

} // namespace bil
