// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"
#include "help/help_request.h"
#include "help/ui/chm_file.h"
#include "help/ui/chm_probe.h"
#include "help/ui/help_browser.h"
#include "help/ui/help_popup.h"
#include "help/ui/help_window.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

namespace bil {

struct AppState;

// Shows help requests. Every topic, main or popup, is looked for in the compiled help file
// found next to the database, the program or in the application-data folder; then in the help
// pack built from the open data set; then among the program's own pages. Never fails, never
// blocks: a help file is probed off the user-interface thread before it is read (ChmProbe).
class ChmHelpEngine : public HelpEngine {
public:
    // Folders to search for the help file, asked again at every request.
    using FolderSource = std::function<QStringList()>;
    // The help pack's folder, asked again at every request.
    using PackSource = std::function<QString()>;
    // Without a probe, help files are read in a child process (ChildChmProbe); without a
    // clock, the wait for the probe runs on the system's.
    explicit ChmHelpEngine(FolderSource folders, PackSource pack = {},
                           std::unique_ptr<ChmProbe> probe = {}, const Clock* clock = nullptr);
    // Searches next to the database in use, the program and in the application-data folder;
    // the pack in <application-data folder>/help; waits on the services' clock.
    explicit ChmHelpEngine(const AppState& app);
    ~ChmHelpEngine() override;

    void showHelp(const QString& request) override;
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }

    // The full help window once a main request was shown; the popup while it is open.
    HelpWindow* window() const { return m_window.get(); }
    HelpPopup* popup() const { return m_popup.data(); }

private:
    // Finds the help file; a new or changed one is probed before it is opened.
    void lookForFile(const QString& name);
    void probeAnswered(const QString& path, bool usable);
    // Runs events (input aside) until the probe answers or the wait's time has passed.
    void waitForProbe();
    void show(const HelpRequest& request);
    // toFront: shown and raised; else only its content is replaced.
    void showMain(const HelpRequest& request, const std::shared_ptr<ChmFile>& file,
                  const QString& pack, bool toFront);
    void showPopup(const HelpRequest& request, const std::shared_ptr<ChmFile>& file, bool fileFound,
                   const QString& pack);

    FolderSource m_folders;
    PackSource m_pack;
    UrlOpener m_openUrl;
    std::unique_ptr<ChmProbe> m_probe;
    const Clock& m_clock;
    QString m_filePath;
    qint64 m_fileStamp = 0;
    std::shared_ptr<ChmFile> m_file;
    bool m_probing = false;        // m_filePath is being probed; m_file stays null until the answer
    bool m_waitedForProbe = false; // a request has waited for this probe already
    bool m_waiting = false;        // a request waits for the probe
    std::optional<HelpRequest> m_latest; // the request to show when the wait ends
    // Shown from another source while the probe ran: shown again once it answers, if the
    // learner still looks at it (m_mainSource: the help window's page then).
    std::optional<HelpRequest> m_mainWhileProbing;
    std::optional<HelpRequest> m_popupWhileProbing;
    QUrl m_mainSource;
    std::unique_ptr<HelpWindow> m_window;
    QPointer<HelpPopup> m_popup;
};

} // namespace bil
