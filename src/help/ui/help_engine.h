#pragma once

#include "app/platform.h"
#include "help/help_request.h"
#include "help/ui/chm_file.h"
#include "help/ui/help_browser.h"
#include "help/ui/help_popup.h"
#include "help/ui/help_window.h"

#include <QPointer>

#include <functional>
#include <memory>

namespace bil {

struct AppState;

// Shows help requests. Every topic, main or popup, is looked for in the compiled help file
// found next to the database, the program or in the application-data folder; then in the help
// pack built from the open data set; then among the program's own pages. Never fails, never
// blocks.
class ChmHelpEngine : public HelpEngine {
public:
    // Folders to search for the help file, asked again at every request.
    using FolderSource = std::function<QStringList()>;
    // The help pack's folder, asked again at every request.
    using PackSource = std::function<QString()>;
    explicit ChmHelpEngine(FolderSource folders, PackSource pack = {});
    // Searches next to the database in use, the program and in the application-data folder;
    // the pack in <application-data folder>/help.
    explicit ChmHelpEngine(const AppState& app);
    ~ChmHelpEngine() override;

    void showHelp(const QString& request) override;
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // The full help window once a main request was shown; the popup while it is open.
    HelpWindow* window() const { return m_window.get(); }
    HelpPopup* popup() const { return m_popup.data(); }

private:
    std::shared_ptr<ChmFile> currentFile(const QString& name);
    void showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                  const QString& pack);
    void showPopup(const HelpRequest& request, const std::shared_ptr<ChmFile>& file, bool fileFound,
                   const QString& pack);

    FolderSource m_folders;
    PackSource m_pack;
    UrlOpener m_openUrl;
    QString m_filePath;
    qint64 m_fileStamp = 0;
    std::shared_ptr<ChmFile> m_file;
    std::unique_ptr<HelpWindow> m_window;
    QPointer<HelpPopup> m_popup;
};

} // namespace bil
