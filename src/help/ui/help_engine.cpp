#include "help/ui/help_engine.h"

#include "app/app_state.h"
#include "help/help_pack_read.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

// Resources of a static library are linked in only when something refers to them.
static void InitHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace bil {

namespace {

// A page counts only when it can be read whole; a damaged file may still list it.
bool HasPage(const std::shared_ptr<ChmFile>& file, const QString& page) {
    return file && file->read(page).has_value();
}

bool PackHasPage(const QString& pack, const QString& page) {
    return IsSafePackPath(page) && QFileInfo(QDir(pack).filePath(page)).isFile();
}

// A pack counts once its manifest is there: it is the last file a build writes.
bool PackInstalled(const QString& pack) {
    return !pack.isEmpty() && QFileInfo(QDir(pack).filePath(PackManifestName)).isFile();
}

QString Paragraph(const QString& text, bool bold = false) {
    const QString escaped = text.toHtmlEscaped();
    return QStringLiteral("<p>") +
           (bold ? QStringLiteral("<b>") + escaped + QStringLiteral("</b>") : escaped) +
           QStringLiteral("</p>");
}

} // namespace

ChmHelpEngine::ChmHelpEngine(FolderSource folders, PackSource pack)
    : m_folders(std::move(folders)), m_pack(std::move(pack)),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }) {
    InitHelpResources();
}

ChmHelpEngine::ChmHelpEngine(const AppState& app)
    : ChmHelpEngine([&app] { return HelpFolders(app.Db.DbPath(), app.ProgramDir, app.AppDataDir); },
                    [&app] { return HelpPackFolder(app.AppDataDir); }) {}

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
    const QString pack = m_pack ? m_pack() : QString();
    if (parsed.window == HelpRequest::Window::Popup)
        showPopup(parsed, file, !m_filePath.isEmpty(), pack);
    else
        showMain(parsed, file, pack);
}

void ChmHelpEngine::showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                             const QString& pack) {
    if (!m_window)
        m_window = std::make_unique<HelpWindow>();
    HelpBrowser* browser = m_window->browser();
    browser->setUrlOpener(m_openUrl);
    const bool fileChanged = browser->file() != file;
    browser->setFile(file);
    m_window->setPackFolder(PackInstalled(pack) ? pack : QString());
    if (HasPage(file, request.page)) {
        const QString home = HasPage(file, OwnPages[0].File) ? OwnPages[0].File : request.page;
        m_window->showPage(ChmUrl(request.page, request.anchor), ChmUrl(home));
    } else if (PackInstalled(pack) && PackHasPage(pack, request.page)) {
        m_window->showPage(PackUrl(request.page, request.anchor), OwnPageUrl(OwnPages[0].File));
    } else {
        m_window->showPage(OwnPageUrl(request.page), OwnPageUrl(OwnPages[0].File));
    }
    // The same address in a replaced help file or pack must be read again.
    if (fileChanged || browser->source().scheme() == PackScheme)
        browser->reload();
}

void ChmHelpEngine::showPopup(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                              bool fileFound, const QString& pack) {
    delete m_popup.data();
    m_popup = new HelpPopup();
    HelpBrowser* browser = m_popup->browser();
    browser->setUrlOpener([this, opener = m_openUrl](const QUrl& url) {
        if (m_popup)
            m_popup->close();
        opener(url);
    });
    browser->setFile(file);

    if (HasPage(file, request.page)) {
        m_popup->showPage(ChmUrl(request.page, request.anchor));
        return;
    }
    const bool packThere = PackInstalled(pack);
    if (packThere) {
        browser->setPackFolder(pack);
        const std::optional<QByteArray> page = ReadPackFile(pack, request.page);
        const std::optional<QString> entry =
            page ? ExtractEntry(QString::fromUtf8(*page), request.anchor) : std::nullopt;
        if (entry) {
            m_popup->showText(*entry, PackUrl(request.page));
            return;
        }
    }

    const QString reference =
        request.anchor.isEmpty() ? request.page : ReferenceFromAnchor(request.anchor);
    const QString fileName = QFileInfo(request.file).fileName();
    QString text = Paragraph(reference, true);
    if (packThere) {
        text += Paragraph(QStringLiteral("В справке, собранной из открытых данных, нет статьи "
                                         "«%1»: в наборе данных её нет.")
                              .arg(reference));
    } else {
        if (!fileFound)
            text +=
                Paragraph(QStringLiteral("Текст правил не установлен: файл справки %1 не найден.")
                              .arg(fileName));
        else if (!file)
            text += Paragraph(QStringLiteral("Текст правил недоступен: файл справки %1 повреждён.")
                                  .arg(fileName));
        else
            text += Paragraph(
                QStringLiteral("Текст правил не найден в файле справки %1.").arg(fileName));
        text +=
            Paragraph(QStringLiteral("Статьи о знаках, разметке и пунктах правил появятся после "
                                     "загрузки билетов ПДД: кнопка «Настройка», команда "
                                     "«Загрузить билеты ПДД…»."));
    }
    m_popup->showText(text);
}

} // namespace bil
