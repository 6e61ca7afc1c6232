// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bil {

class Database;
class PictureBox;

// The About box: name, logo, terms of use and the path of the database in use.
class TForm7 : public QDialog {
public:
    explicit TForm7(const Database& db, QWidget* parent = nullptr);

    PictureBox* Image1 = nullptr;
    QLabel* Label2 = nullptr;        // program name
    QPlainTextEdit* Memo1 = nullptr; // terms of use
    QLabel* Label3 = nullptr;        // database path
    QPushButton* Button1 = nullptr;  // "ОК"

    // Shows the path of the database open now (also after a switch).
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    const Database& m_db;
};

} // namespace bil
