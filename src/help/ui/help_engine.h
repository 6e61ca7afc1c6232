#pragma once

#include "app/platform.h"
#include "help/help_request.h"
#include "help/ui/chm_file.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QAction;

namespace bil {

struct AppState;

// Opens a web address outside the program (the user's browser); tests record the calls.
using UrlOpener = std::function<void(const QUrl&)>;

// Scheme of the pages read from the help file: "chm:///pdd5.html#p5.1".
inline const QString ChmScheme = QStringLiteral("chm");
// Folder of the program's own help pages among the Qt resources.
inline const QString OwnPagesRoot = QStringLiteral("qrc:/help/pages/");

// Shows pages of the help file (chm:) and the program's own pages (qrc:); fetches nothing
// from the network, hands external links to the opener when clicked.
class HelpBrowser : public QTextBrowser {
public:
    explicit HelpBrowser(QWidget* parent = nullptr);
    void setFile(std::shared_ptr<ChmFile> file) { m_file = std::move(file); }
    const std::shared_ptr<ChmFile>& file() const { return m_file; }
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    QVariant loadResource(int type, const QUrl& name) override;

protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

private:
    std::shared_ptr<ChmFile> m_file;
    UrlOpener m_openUrl;
};

// The one full help window: the page with back, forward and home; owned by no other window.
class HelpWindow : public QWidget {
public:
    HelpWindow();
    HelpBrowser* browser() const { return m_browser; }
    // Shows `page` and makes the home button lead to `home`.
    void showPage(const QUrl& page, const QUrl& home);

private:
    void updateTitle();
    HelpBrowser* m_browser;
    QAction* m_back;
    QAction* m_forward;
    QUrl m_home;
};

// The small frameless popup with one rule; closes on Escape, a click outside or when the
// program loses the focus.
class HelpPopup : public QWidget {
public:
    HelpPopup();
    HelpBrowser* browser() const { return m_browser; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HelpBrowser* m_browser;
};

// Shows help requests from the help file found next to the database, the program or in the
// application-data folder; without it, from the program's own pages. Never fails, never blocks.
class ChmHelpEngine : public HelpEngine {
public:
    // Folders to search for the help file, asked again at every request.
    using FolderSource = std::function<QStringList()>;
    explicit ChmHelpEngine(FolderSource folders);
    // Searches next to the database in use, the program and in the application-data folder.
    explicit ChmHelpEngine(const AppState& app);
    ~ChmHelpEngine() override;

    void showHelp(const QString& request) override;
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // The full help window once a main request was shown; the popup while it is open.
    HelpWindow* window() const { return m_window.get(); }
    HelpPopup* popup() const { return m_popup.data(); }

private:
    std::shared_ptr<ChmFile> currentFile(const QString& name);
    void showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file);
    void showPopup(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                   bool fileFound);

    FolderSource m_folders;
    UrlOpener m_openUrl;
    QString m_filePath;
    qint64 m_fileStamp = 0;
    std::shared_ptr<ChmFile> m_file;
    std::unique_ptr<HelpWindow> m_window;
    QPointer<HelpPopup> m_popup;
};

} // namespace bil
