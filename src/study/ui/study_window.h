// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "study/study_engine.h"
#include "study/ui/study_drawing.h"
#include "study/ui/study_layout.h"

#include <QDialog>
#include <QIcon>
#include <QPixmap>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QListWidget;
class QMenu;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;

namespace bil {

class PictureFitter;
class PictureWindow;
class ProgramWindows;
class TForm4;
class TForm9;

// The study window: learning, preparation, training, the repetition lists and the reviews.
// It draws the engine's state and passes every command to it.
class TForm1 : public QDialog, public StudyFrontEnd {
    Q_OBJECT
public:
    // io: the question reader and the two savers; the window fills in the real ones when empty.
    explicit TForm1(AppState& app, QWidget* parent = nullptr, StudyIo io = {});
    ~TForm1() override;

    // Called after every close that ended a run (the main window shows itself again).
    void setClosedHandler(std::function<void()> handler) { m_closed = std::move(handler); }
    StudyEngine& engine() { return *m_engine; }
    // The run the window's next show starts (show() from the main window, exec() when modal).
    void setRun(RunRequest request) { m_next = std::move(request); }
    TForm9& moveDialog() { return *m_form9; }
    TForm4& resultDialog() { return *m_form4; }
    // Shares the program's one result dialog (the exam uses it too) instead of a window's own.
    void setResultDialog(TForm4* dialog);

    // Controls, named as in the design.
    QLabel* Label1 = nullptr; // heading
    QLabel* Label5 = nullptr; // run caption
    QLabel* Label6 = nullptr; // training time
    QToolButton* SpeedButton1 = nullptr;
    QListWidget* ListView1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* ScrollContents = nullptr;
    QWidget* BottomRow = nullptr; // answer buttons, pie and light under the scroll box
    QLabel* Image1 = nullptr;
    QLabel* Label2 = nullptr;                      // question
    QLabel* Label3 = nullptr;                      // answers
    QLabel* Label4 = nullptr;                      // comment
    std::array<QPushButton*, MaxAnswers> BitBtn{}; // BitBtn1 .. BitBtn5
    QLabel* Image2 = nullptr;                      // traffic light
    StatPie* Chart1 = nullptr;
    QLabel* Label7 = nullptr; // seconds
    QMenu* PopupMenu1 = nullptr;
    QPushButton* BitBtn7 = nullptr; // "СТОП"
    QTimer* SpTimer = nullptr;
    QTimer* Timer1 = nullptr;

    PictureWindow& pictureWindow() { return *m_zoom; }
    static constexpr int BottomRowHeight = StudyBottomRowHeight;

    // Fonts and layout of the question for the current size.
    void LayoutQuestion();
    // The question list's icon for a mark in the current icon set.
    QIcon itemIcon(int mark) const;

    // StudyFrontEnd
    void listRebuilt() override;
    void marksChanged(int index) override;
    void selectListItem(int index) override;
    void questionShown() override;
    void answerStateChanged() override;
    void statInformerChanged() override;
    void lightChanged() override;
    void captionsChanged() override;
    void timeChanged() override;
    void timersChanged() override;
    void closeWindow() override;
    int showVerdict(const StudyVerdict& verdict) override;
    int chooseTheme(const QString& prompt, int preselected) override;
    void minimizeApplication() override;
    void runEnded() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override; // Escape: "СТОП"

private:
    // The controls, made once and placed by the window's size (study_controls.cpp).
    void buildControls();
    void placeControls();
    void applyButtons();
    // Sizes the scroll box's contents to the labels and shows its scroll bar when needed.
    void fitScrollContents();
    void showPopupMenu();
    bool listKey(QKeyEvent* key);

    AppState& m_app;
    std::unique_ptr<StudyEngine> m_engine;
    RunRequest m_next;
    QuestionFonts m_fonts; // the question texts' sizes before a crowded picture shrinks them
    std::unique_ptr<PictureFitter> m_fitter; // keeps its buffers from one question to the next
    PictureWindow* m_zoom = nullptr;         // the picture enlarged, opened by a click on it
    TForm4* m_form4 = nullptr;
    TForm9* m_form9 = nullptr;
    std::function<void()> m_closed;
    std::array<QIcon, 3> m_imageList1;
    std::array<QIcon, 3> m_imageList2;
    std::array<QPixmap, 3> m_lights; // by mark: 0 yellow, 1 red, 2 green
    int m_lightTag = -1;
    int m_listWidth = StudyListWidth;    // follows the longest caption of the list
    ProgramWindows* m_program = nullptr; // minimise, restore and focus loss of the program
};

} // namespace bil
