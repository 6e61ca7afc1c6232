// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "help/ui/help_browser.h"

#include <QWidget>

namespace bil {

// The small frameless popup with one rule; closes on Escape, a click outside or when the
// program loses the focus.
class HelpPopup : public QWidget {
public:
    HelpPopup();
    HelpBrowser* browser() const { return m_browser; }

    // Shows `html` read as from `base`, the popup as tall as its text up to a limit (it scrolls
    // beyond), near the mouse pointer and on its screen.
    void showText(const QString& html, const QUrl& base = {});
    // Shows a page of the help file scrolled to its anchor, at the fixed popup size.
    void showPage(const QUrl& page);

    // The popup's width and its greatest height.
    static constexpr int FitWidth = 460;
    static int maxHeight();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeNearCursor();
    HelpBrowser* m_browser;
};

} // namespace bil
