// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QFrame;

namespace bil {

// The verdict box of an exam or a training ticket. It decides nothing: the caller fills the four
// lines, chooses whether the review may be asked for, and reads the modal result.
class TForm4 : public QDialog {
    Q_OBJECT
public:
    static constexpr int ResultOk = 1;     // "OK"
    static constexpr int ResultReview = 2; // "Проверить результаты"

    explicit TForm4(QWidget* parent = nullptr);

    // Fills the lines, shows or hides the review button and runs the dialog modally.
    int showVerdict(const QString& headline, const QString& first, const QString& second,
                    const QString& time, bool offerReview);

    QLabel* Label1 = nullptr; // headline
    QLabel* Label2 = nullptr; // first line (may hold a line break)
    QLabel* Label3 = nullptr; // second line
    QLabel* Label4 = nullptr; // time line
    QFrame* Bevel1 = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* BitBtn1 = nullptr; // "OK"
    QPushButton* BitBtn2 = nullptr; // "Проверить результаты"

    void BitBtn1Click();
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;
    // Only the two buttons close the dialog: no close box, and Escape does nothing.
    void reject() override {}
    void closeEvent(QCloseEvent* event) override;
};

} // namespace bil
