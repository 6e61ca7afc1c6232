// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>

#include <functional>

namespace bil {

// A catalogue of the main window: small icons arranged from the left, keyboard commands, a hand
// over entries, the entry under the mouse underlined.
class CatalogueList final : public QListWidget {
public:
    // A key; true when the catalogue took it as a command.
    std::function<bool(int key, const QString& text)> onKey;
    std::function<void()> onClick;
    // A button went down, after the selection followed it.
    std::function<void(Qt::MouseButton, Qt::KeyboardModifiers)> onMouseDown;

    explicit CatalogueList(QWidget* parent);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
};

} // namespace bil
