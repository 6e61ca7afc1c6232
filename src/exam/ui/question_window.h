// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QImage>

#include <array>
#include <cstdint>
#include <memory>

class QLabel;
class QPushButton;
class QScrollArea;
class QTimer;

namespace bil {

struct AppState;
class ExamEngine;
class PictureFitter;

// The exam question window: the picture above, the question and its numbered answers below, one
// button per answer. Closes with Accepted only after an answer was accepted and counted.
class PictureWindow;

class TForm94 : public QDialog {
    Q_OBJECT
public:
    TForm94(AppState& app, ExamEngine& engine, QWidget* parent = nullptr);
    ~TForm94() override;

    // What the tile hands over before showing the window.
    void setQuestion(const QImage& picture, const QString& header, const QString& answers,
                     bool hasPicture, int correct, int ticket, int inTicket, int answerCount);

    uint8_t HasPicture = 0;
    int Correct = 0;
    int Ticket = 0;
    int InTicket = 0;

    QWidget* Panel1 = nullptr;       // text panel
    QWidget* Panel2 = nullptr;       // picture panel
    QWidget* Panel3 = nullptr;       // the answer buttons and the time left
    QScrollArea* TextArea = nullptr; // header and answers; scrolls when they need more room
    QWidget* TextContents = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr; // question header
    QLabel* Label2 = nullptr; // numbered answers
    QLabel* Label3 = nullptr; // left margin
    QLabel* Label4 = nullptr; // right margin
    QLabel* Label5 = nullptr; // time left of the exam, as the exam window's clock shows it
    std::array<QPushButton*, 5> BitBtn{};
    QTimer* Timer1 = nullptr;

    const QImage& picture() const { return m_picture; }
    // The picture as drawn into Image1 (Panel2's size).
    const QImage& fittedPicture() const { return m_fitted; }

    // The exam's time left, shown beside the buttons: the exam window's clock may be covered.
    void setTimeLeft(const QString& text);

    // Answer button k (1..5) was pressed.
    void BitBtn1Click(int k);
    void Timer1Timer();
    void FormResize();

    static constexpr int ButtonPanelHeight = 42;
    static constexpr int Margin = 32;
    static constexpr int MinPanelHeight = 200;

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

public:
    // The enlarged picture a click on Image1 opens.
    PictureWindow& pictureWindow() { return *m_zoom; }

    void done(int result) override;

private:
    void layoutPanels(bool onShow);
    void placeTextPanel(int top, int height);
    // Heights the header and the answers need at a text width.
    int headerHeight(int width) const;
    int answersHeight(int width) const;

    AppState& m_app;
    ExamEngine& m_engine;
    QImage m_picture;
    QImage m_fitted;
    std::unique_ptr<PictureFitter> m_fitter; // keeps its buffers between questions
    PictureWindow* m_zoom = nullptr;
    QString m_header;
    QString m_answers;
    bool m_accepted = false;
};

} // namespace bil
