// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <cstdint>

class QListWidget;
class QPushButton;
class QToolButton;

namespace bil {

struct AppState;

// The choice of question positions for preparation runs; its ticks mirror PrepPositions.
class TForm8 : public QDialog {
public:
    explicit TForm8(AppState& state, QWidget* parent = nullptr);

    // Ticks (bit p-1 = position p); the study window reads them through the shared state.
    void setChecks(uint32_t checks);
    uint32_t checks() const;

    // Info tip of item 0..19; empty for any other index.
    static QString ItemTip(int item);

    QListWidget* ListView1 = nullptr;
    QToolButton* SpeedButton1 = nullptr; // "Выбрать все"
    QToolButton* SpeedButton2 = nullptr; // "Отменить весь выбор"
    QPushButton* BitBtn1 = nullptr;      // "ОК"

    void SpeedButton1Click();
    void SpeedButton2Click();
    void BitBtn1Click();

protected:
    // Only "ОК" closes the dialog, so the ticks always match what was stored.
    void reject() override {}

private:
    void publishChecks();

    AppState& m_state;
    bool m_updating = false;
};

} // namespace bil
