// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "help/help_pack_read.h"
#include "help/help_search.h"
#include "help/ui/help_browser.h"

#include <QUrl>
#include <QWidget>

#include <vector>

class QAction;
class QLineEdit;
class QListWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace bil {

// The one full help window: a contents pane with a search field beside the page, with back,
// forward and home; owned by no other window.
class HelpWindow : public QWidget {
public:
    HelpWindow();
    HelpBrowser* browser() const { return m_browser; }
    QTreeWidget* contents() const { return m_contents; }
    QLineEdit* searchField() const { return m_search; }
    QListWidget* searchResults() const { return m_results; }

    // Shows `page` and makes the home button lead to `home`.
    void showPage(const QUrl& page, const QUrl& home);
    // The same without showing or raising the window: its content is replaced where it is.
    void replacePage(const QUrl& page, const QUrl& home);
    // The help pack the contents list and the search read; read again when it was rebuilt.
    void setPackFolder(const QString& folder);

protected:
    bool event(QEvent* event) override;

private:
    // Rides on the topmost modal window, so that no modal run or message makes help unusable.
    void followModal();
    void updateTitle();
    void rebuildContents();
    void addPackNodes(QTreeWidgetItem* parent, const std::vector<PackNode>& nodes);
    void drawIcons(QTreeWidgetItem* item);
    void search(const QString& query);
    void openUrl(const QUrl& url);
    void markQuery();

    HelpBrowser* m_browser;
    QTreeWidget* m_contents;
    QLineEdit* m_search;
    QListWidget* m_results;
    QAction* m_back;
    QAction* m_forward;
    QUrl m_home;
    QString m_packFolder;
    QString m_packStamp; // of the manifest the contents were built from
    std::vector<HelpSearchEntry> m_index;
    bool m_indexed = false;
};

} // namespace bil
