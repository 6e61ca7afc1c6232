// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/help_engine.h"

#include "app/app_state.h"
#include "help/help_pack_read.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <utility>

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

// A small help file is read in a few milliseconds. Waiting that long (windows drawn and clocks
// ticking meanwhile) lets the first request open straight from the file rather than show the
// program's own page and replace it under the learner's eyes. A file that takes longer must
// not hold help back: its request is shown from the next source at once and switches to the
// file when the answer comes.
constexpr int64_t ProbeWaitMs = 500;
// How often the wait looks at the clock.
constexpr int ProbeWaitPollMs = 10;

} // namespace

ChmHelpEngine::ChmHelpEngine(FolderSource folders, PackSource pack, std::unique_ptr<ChmProbe> probe,
                             const Clock* clock)
    : m_folders(std::move(folders)), m_pack(std::move(pack)),
      m_openUrl([](const QUrl& url) { QDesktopServices::openUrl(url); }),
      m_probe(probe ? std::move(probe) : std::make_unique<ChildChmProbe>()),
      m_clock(clock ? *clock : ClockOf(Services())) {
    InitHelpResources();
    QObject::connect(m_probe.get(), &ChmProbe::answered, m_probe.get(),
                     [this](const QString& path, bool usable) { probeAnswered(path, usable); });
}

ChmHelpEngine::ChmHelpEngine(const AppState& app)
    : ChmHelpEngine([&app] { return HelpFolders(app.Db.DbPath(), app.ProgramDir, app.AppDataDir); },
                    [&app] { return HelpPackFolder(app.AppDataDir); }, {}, &ClockOf(app.services)) {
}

ChmHelpEngine::~ChmHelpEngine() {
    delete m_popup.data();
}

void ChmHelpEngine::lookForFile(const QString& name) {
    // Only a bare file name is looked for, whatever the request says.
    const QString path =
        FindHelpFile(m_folders ? m_folders() : QStringList(), QFileInfo(name).fileName());
    if (path.isEmpty()) {
        m_filePath.clear();
        m_file.reset();
        m_probing = false;
        return;
    }
    const QFileInfo info(path);
    const qint64 stamp = info.lastModified().toMSecsSinceEpoch() ^ (info.size() << 20);
    if (path == m_filePath && stamp == m_fileStamp && (m_file || m_probing))
        return;
    m_filePath = path;
    m_fileStamp = stamp;
    m_file.reset();
    m_probing = true;
    m_waitedForProbe = false;
    m_probe->start(path);
}

void ChmHelpEngine::probeAnswered(const QString& path, bool usable) {
    if (!m_probing || path != m_filePath)
        return; // about a file no longer in use
    m_probing = false;
    m_file = usable ? ChmFile::openChecked(path) : nullptr;
    if (m_waiting)
        return; // the waiting request reads the answer itself
    // What the learner still looks at is shown again where it is, without taking the focus.
    if (const std::optional<HelpRequest> main = std::exchange(m_mainWhileProbing, std::nullopt);
        main && m_window && m_window->isVisible() && m_window->browser()->source() == m_mainSource)
        showMain(*main, m_file, m_pack ? m_pack() : QString(), false);
    if (const std::optional<HelpRequest> popup = std::exchange(m_popupWhileProbing, std::nullopt);
        popup && m_popup && m_popup->isVisible()) {
        const QPoint at = m_popup->pos();
        show(*popup);
        m_popup->move(at);
    }
}

void ChmHelpEngine::showHelp(const QString& request) {
    HelpRequest parsed;
    if (!ParseHelpRequest(request, parsed))
        return;
    m_latest = parsed;
    if (m_waiting)
        return; // the wait under way shows the latest request when it ends
    lookForFile(parsed.file);
    if (m_probing && !m_waitedForProbe) {
        // Once per probe: further requests go to the next source at once.
        m_waitedForProbe = true;
        m_waiting = true;
        waitForProbe();
        m_waiting = false;
    }
    const HelpRequest latest = *m_latest;
    m_latest.reset();
    show(latest);
}

void ChmHelpEngine::waitForProbe() {
    const int64_t until = m_clock.ticksMs() + ProbeWaitMs;
    QEventLoop wait;
    QTimer poll;
    poll.setInterval(ProbeWaitPollMs);
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (m_clock.ticksMs() >= until)
            wait.quit();
    });
    QObject::connect(m_probe.get(), &ChmProbe::answered, &wait, &QEventLoop::quit);
    poll.start();
    // Input waits in the queue: a click must not start other work under this request.
    wait.exec(QEventLoop::ExcludeUserInputEvents);
}

void ChmHelpEngine::show(const HelpRequest& request) {
    const QString pack = m_pack ? m_pack() : QString();
    const bool popup = request.window == HelpRequest::Window::Popup;
    if (popup)
        showPopup(request, m_file, !m_filePath.isEmpty(), pack);
    else
        showMain(request, m_file, pack, true);
    std::optional<HelpRequest>& whileProbing = popup ? m_popupWhileProbing : m_mainWhileProbing;
    whileProbing.reset();
    if (m_probing) {
        whileProbing = request;
        if (!popup)
            m_mainSource = m_window->browser()->source();
    }
}

void ChmHelpEngine::showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                             const QString& pack, bool toFront) {
    if (!m_window)
        m_window = std::make_unique<HelpWindow>();
    HelpBrowser* browser = m_window->browser();
    browser->setUrlOpener(m_openUrl);
    const bool fileChanged = browser->file() != file;
    browser->setFile(file);
    m_window->setPackFolder(PackInstalled(pack) ? pack : QString());
    QUrl page;
    QUrl home = OwnPageUrl(OwnPages[0].File);
    if (HasPage(file, request.page)) {
        page = ChmUrl(request.page, request.anchor);
        home = ChmUrl(HasPage(file, OwnPages[0].File) ? OwnPages[0].File : request.page);
    } else if (PackInstalled(pack) && PackHasPage(pack, request.page)) {
        page = PackUrl(request.page, request.anchor);
    } else {
        page = OwnPageUrl(request.page);
    }
    if (toFront)
        m_window->showPage(page, home);
    else
        m_window->replacePage(page, home);
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
        // An entry filed under a neighbouring number ("Знак 1.4.1" under 1.4) is shown with a
        // line saying so.
        const std::optional<QString> entry =
            page ? PopupEntryHtml(QString::fromUtf8(*page), request.anchor) : std::nullopt;
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
        if (m_probing)
            text += Paragraph(QStringLiteral("Файл справки %1 ещё читается: статья появится здесь, "
                                             "как только он будет прочитан.")
                                  .arg(fileName));
        else if (!fileFound)
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
