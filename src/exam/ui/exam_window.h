// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "exam/exam_engine.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QTimer;

namespace bil {

struct AppState;
class TFrame2;
class TForm94;
class TForm4;

// The exam window: the block title and clock on top, the tiles of the current block in a grid
// of five columns, the database title below.
class TForm91 : public QWidget, public ExamFrontEnd {
    Q_OBJECT
public:
    explicit TForm91(AppState& app, QWidget* parent = nullptr);
    ~TForm91() override;

    // Called when the window closes, whatever the reason (shows the main window again).
    void setShowMainWindow(std::function<void()> f) { m_showMain = std::move(f); }
    // Shows the study window modally for the review of the exam.
    void setShowStudyModal(StudyLauncher f) { m_showStudy = std::move(f); }

    // A new exam: ExamStage 1 and the window shown maximised.
    void startExam();

    ExamEngine& engine() { return *m_engine; }
    const ExamEngine& engine() const { return *m_engine; }
    TFrame2* tile(int index) const { return m_tiles[index]; }
    TForm94* questionWindow() const { return m_question; }
    TForm4* resultDialog() const { return m_result; }

    // Shows the question of tile index in the exam question window and handles its return.
    void openQuestion(int index);

    void FormShow();
    void FormResize();
    void Timer1Timer();

    QFrame* Panel1 = nullptr; // top: block title and clock
    QFrame* Panel2 = nullptr; // bottom: database title
    QFrame* Panel4 = nullptr; // the tiles
    QLabel* Label1 = nullptr; // time left
    QLabel* Label2 = nullptr; // block title
    QLabel* Label3 = nullptr; // database title
    QTimer* Timer1 = nullptr;
    static constexpr int Columns = ExamEngine::Columns;

    // ExamFrontEnd
    void stageStarted(bool newExam) override;
    void tilesChanged() override;
    void clockChanged() override;
    void timerChanged(bool running) override;
    void closeQuestion() override;
    bool showVerdict(const ExamVerdict& verdict) override;
    void showReview(const RunRequest& review) override;
    void closeWindow() override;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void layoutPanels();
    void rebuildTiles();

    AppState& m_app;
    std::unique_ptr<ExamEngine> m_engine;
    std::array<TFrame2*, ExamEngine::SlotCount> m_tiles{};
    TForm94* m_question = nullptr;
    TForm4* m_result = nullptr;
    std::function<void()> m_showMain;
    StudyLauncher m_showStudy;
    bool m_inShow = false;
};

} // namespace bil
