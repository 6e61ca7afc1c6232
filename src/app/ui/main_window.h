// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/catalogue.h"
#include "app/menu_commands.h"
#include "app/settings_loader.h"
#include "app/startup.h"
#include "app/ui/window_links.h"

#include <QIcon>
#include <QWidget>

#include <array>

class QAction;
class QActionGroup;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;

namespace bil {

class PictureBox;
class TForm7;
class TForm8;

// The product web site the link area opens.
inline const QString ProductSiteUrl = QStringLiteral("https://biletoria.example.org");

// The main window: catalogues, progress picture, mode buttons and the settings menu.
class TForm2 : public QWidget {
public:
    explicit TForm2(AppState& state, QWidget* parent = nullptr);

    // The start-up sequence; on EndProgram the caller ends the program before showing anything.
    StartupResult FormCreate();
    // The refresh sequence: runs whenever the window is shown and after the resets.
    void FormShow();

    void setLinks(WindowLinks links) { m_links = std::move(links); }
    void setAboutBox(TForm7* about) { m_about = about; }
    void setPrepDialog(TForm8* prep) { m_prep = prep; }

    // Controls.
    PictureBox* Image2 = nullptr; // header
    QLabel* Label9 = nullptr;     // link area
    QLabel* Label10 = nullptr;    // the chance to pass; its tool tip says what it means
    PictureBox* Image1 = nullptr; // progress picture
    QLabel* Label6 = nullptr;     // congratulation
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;
    QWidget* TabSheet2 = nullptr;
    QListWidget* ListView1 = nullptr; // tickets
    QListWidget* ListView2 = nullptr; // themes
    QPushButton* BitBtn1 = nullptr;   // "Обучение"
    QPushButton* BitBtn2 = nullptr;   // "Экзамен"
    QPushButton* BitBtn3 = nullptr;   // "Тренировка"
    QPushButton* BitBtn4 = nullptr;   // "Подготовка"
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label7 = nullptr;
    QPushButton* SpeedButton1 = nullptr; // "Настройка"
    QPushButton* SpeedButton2 = nullptr; // "Статистика"
    QPushButton* SpeedButton3 = nullptr; // "Справка"
    QPushButton* SpeedButton4 = nullptr; // "Повторение"
    QPushButton* SearchButton = nullptr; // "Поиск", beside the catalogue tabs; Ctrl+F
    QLabel* Label5 = nullptr;            // database title
    QTimer* Timer1 = nullptr;

    // The settings menu.
    QMenu* PopupMenu1 = nullptr;
    QMenu* N1 = nullptr;  // "Время экзамена"
    QMenu* N8 = nullptr;  // "В режиме тренировки"
    QMenu* N2 = nullptr;  // "В режиме обучения и подготовки"
    QMenu* N10 = nullptr; // "Дополнительные настройки"
    std::array<QAction*, ExamTimeItemCount> ExamTimeItems{}; // N11, N31, N51, N101, N151, N201
    QActionGroup* ExamTimeGroup = nullptr;
    QAction* N14 = nullptr;
    QAction* N9 = nullptr;
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QAction* N13 = nullptr;
    QAction* N16 = nullptr;
    QAction* N15 = nullptr; // "Выбрать вопросы подготовки"
    QAction* N12 = nullptr;
    QAction* N17 = nullptr;
    QAction* N23 = nullptr; // "Дата экзамена…"
    QAction* N24 = nullptr; // "Вопросов в день…"
    QAction* N3 = nullptr;  // "Обнулить результаты и статистику"
    QAction* N7 = nullptr;  // "Выбрать базу вопросов"
    QAction* N18 = nullptr; // "Загрузить билеты ПДД…"
    QAction* N21 = nullptr; // "Сохранить прогресс в файл…"
    QAction* N22 = nullptr; // "Восстановить прогресс из файла…"
    QAction* N4 = nullptr;  // "О программе"

    // Handlers.
    void BitBtn1Click(); // learning
    void BitBtn2Click(); // exam
    void BitBtn3Click(); // training
    void BitBtn4Click(); // preparation
    void SpeedButton1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click(); // «Повторение», or why there is nothing to review
    void SearchButtonClick(); // the search window; the catalogues follow what was learned there
    // A key in a catalogue; false when it is no command of the catalogue.
    bool CatalogueKeyPress(QListWidget* list, int key, const QString& text);
    void ListViewClick(QListWidget* list);
    // A mouse button went down in the ticket catalogue (after the selection followed it).
    void ListView1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void Label9MouseEnter();
    void Label9MouseLeave();
    void Label9Click();
    void Timer1Timer();
    void N3Click();  // reset all results (asks first)
    void N7Click();  // switch the database
    void N18Click(); // load the open question data set, then switch to it
    void N21Click(); // save the progress to a file
    void N22Click(); // restore the progress from a file (asks first), then refresh
    // The menu's switch from its reset question on: asks about the reset, opens path in place
    // of the open database, rebuilds the help links, shows the title and remembers it as Bas,
    // telling the learner about any failure. False when the old database stays in use.
    bool SwitchToDatabase(const QString& path);
    // The main window closes and the program ends: the counts of the last runs reach the disk.
    void FormClose();
    void N15Click();
    void N4Click();
    void N23Click(); // the exam day
    void N24Click(); // the daily review goal
    // Label10 from the journal now. The refresh asks for it after its paint, so that reading
    // the journal never delays the window's appearance.
    void refreshChance();
    void SettingItemClick(SettingItem item, bool checked);
    void ExamTimeItemClick(int k);

    // State of the last refresh, for the windows that read it.
    int progressPicture() const { return m_progress.Picture; }
    const Progress& progress() const { return m_progress; }
    const CongratulationBlink& blink() const { return m_blink; }
    const std::array<int, TicketCount>& ticketIcons() const { return m_ticketIcons; }
    // The menu's check marks follow the live settings.
    void syncMenuFromSettings();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static constexpr int ThemePage = 1; // the theme catalogue's tab

    // The controls at their places (main_layout.cpp).
    void buildLayout();
    // The refreshes the reset and switch commands ask for.
    CommandViews commandViews();
    void refreshTicketIcons();
    void refreshThemeCatalogue();
    void refreshProgress();
    int selectedRow(const QListWidget* list) const;
    bool themePageActive() const;
    // Shows a run window and hides this one; nothing when the window is not there.
    void startRun(const std::function<void()>& show);
    // Shows the study window for a run and hides this one.
    void startStudy(const RunRequest& request);
    void warn(const QString& text);
    // Label5: the database title; the demo database tells how to load the real questions.
    void showDatabaseTitle();
    void saveStats();

    AppState& m_state;
    WindowLinks m_links;
    TForm7* m_about = nullptr;
    TForm8* m_prep = nullptr;
    std::array<QIcon, CatalogueIconCount> m_icons;
    std::array<int, TicketCount> m_ticketIcons{};
    Progress m_progress;
    CongratulationBlink m_blink;
    bool m_chanceStale = false; // Label10 waits for the next paint to be recomputed
};

} // namespace bil
