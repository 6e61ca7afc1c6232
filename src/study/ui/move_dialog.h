// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QListWidget;
class QPushButton;

namespace bil {

// Asks for the theme a question moves to.
class TForm9 : public QDialog {
    Q_OBJECT
public:
    static constexpr int Closed = -1;    // closed with the close box
    static constexpr int NoneChosen = 0; // OK without a selected theme

    explicit TForm9(QWidget* parent = nullptr);

    // Refills the theme list (item i is theme i + 1).
    void fillThemes(const QStringList& names);
    // Shows the prompt with the theme preselected, modally: Closed, NoneChosen or a theme 1..26.
    int choose(const QString& prompt, int preselected);

    QLabel* Label1 = nullptr;
    QListWidget* ListView2 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    void BitBtn1Click();

private:
    int m_chosen = NoneChosen;
};

} // namespace bil
