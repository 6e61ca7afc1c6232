// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/ui/exam_window.h"

#include "data/ui/picture_image.h"

#include "app/app_state.h"
#include "app/line_break.h"
#include "exam/stage_pictures.h"
#include "exam/ui/exam_tile.h"
#include "exam/ui/question_window.h"
#include "stats/save_guard.h"
#include "ui/measure_text.h"
#include "ui/result_dialog.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QShowEvent>
#include <QTimer>

#include <cstring>

namespace bil {

namespace {

QFrame* BlackPanel(QWidget* parent, const QString& name) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setAutoFillBackground(true);
    QPalette pal = panel->palette();
    pal.setColor(QPalette::Window, Qt::black);
    panel->setPalette(pal);
    return panel;
}

constexpr int TopPanelHeight = 50;
constexpr int BottomPanelHeight = 51;

} // namespace

TForm91::TForm91(AppState& app, QWidget* parent) : QWidget(parent, Qt::Window), m_app(app) {
    setObjectName(QStringLiteral("TForm91"));
    setWindowTitle(QStringLiteral("Билетория DER UZIRI 2023"));
    setMinimumSize(730, 486);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setFocusPolicy(Qt::StrongFocus);

    Panel1 = BlackPanel(this, QStringLiteral("Panel1"));
    Label2 = new QLabel(Panel1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(PixelFont(QStringLiteral("Times New Roman"), 24, true));
    Label2->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Label1 = new QLabel(QStringLiteral("00:00:00"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(PixelFont(QStringLiteral("Arial"), 24, true));
    Label1->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    Panel2 = BlackPanel(this, QStringLiteral("Panel2"));
    Label3 = new QLabel(Panel2);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setFont(PixelFont(QStringLiteral("Times New Roman"), 20, true));
    Label3->setStyleSheet(QStringLiteral("color: rgb(255, 255, 255);"));
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Panel4 = BlackPanel(this, QStringLiteral("Panel4"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm91::Timer1Timer);

    m_engine = std::make_unique<ExamEngine>(
        app, *this, [this](int n) { return m_app.Db.LoadQuestion(n); }, DecodeStagePictures,
        [this] { return SaveStatsGuarded(m_app); });
    m_question = new TForm94(app, *m_engine, this);
    m_result = new TForm4(this);
    resize(953, 702);
    layoutPanels();
}

TForm91::~TForm91() = default;

void TForm91::startExam() {
    m_app.Launch.ExamStage = 1;
    if (isVisible())
        FormShow();
    else
        showMaximized();
}

void TForm91::layoutPanels() {
    const int w = width();
    const int h = height();
    Panel1->setGeometry(0, 0, w, TopPanelHeight);
    Label2->setGeometry(8, 0, w / 2, TopPanelHeight);
    Label1->setGeometry(w / 2, 0, w / 2 - 8, TopPanelHeight);
    Panel2->setGeometry(0, h - BottomPanelHeight, w, BottomPanelHeight);
    Label3->setGeometry(8, 0, w - 16, BottomPanelHeight);
    Panel4->setGeometry(0, TopPanelHeight, w, std::max(0, h - TopPanelHeight - BottomPanelHeight));
}

void TForm91::rebuildTiles() {
    for (TFrame2*& t : m_tiles) {
        if (t) {
            t->hide();
            t->deleteLater();
        }
        t = nullptr;
    }
    for (int i = 0; i < ExamEngine::SlotCount; ++i) {
        m_tiles[i] = new TFrame2(*this, i, Panel4);
        m_tiles[i]->hide();
    }
}

void TForm91::FormShow() {
    m_engine->formShow();
}

void TForm91::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Restoring from the task bar is not a new exam.
    if (!event->spontaneous()) {
        m_inShow = true;
        FormShow();
        m_inShow = false;
    }
}

void TForm91::stageStarted(bool newExam) {
    if (newExam)
        rebuildTiles();
    const ExamEngine& e = *m_engine;
    Label3->setText(e.dbTitle());
    Label2->setText(e.blockTitle());
    Label1->setText(e.clockText());
    for (int s = e.firstSlot(); s <= e.lastSlot(); ++s) {
        const ExamSlot& slot = e.slot(s - 1);
        TFrame2* t = m_tiles[s - 1];
        t->setPicture(ImageOf(slot.Picture));
        t->setText(slot.Q.Text);
    }
    for (int i = 0; i < e.firstSlot() - 1; ++i)
        m_tiles[i]->hide();
    FormResize();
    tilesChanged();
}

void TForm91::FormResize() {
    const ExamEngine& e = *m_engine;
    if (!m_tiles[0])
        return;
    const int tileWidth = width() / Columns - 2;
    const int tileHeight = Panel4->height() / 4;
    int left = 1;
    int prevWidth = 0;
    for (int i = 0; i <= e.lastSlot() - e.firstSlot(); ++i) {
        TFrame2* t = m_tiles[e.firstSlot() - 1 + i];
        left = i % Columns == 0 ? 1 : left + prevWidth;
        prevWidth = tileWidth;
        t->setGeometry(left, (i / Columns) * tileHeight + 1, tileWidth, tileHeight);
        t->FrameResize(); // the picture ratio may have changed with the stage
        t->setEnabled(true);
        t->show();
    }
}

void TForm91::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutPanels();
    FormResize();
}

void TForm91::Timer1Timer() {
    m_engine->tick();
}

void TForm91::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const int current = m_engine->currentTile();
        if (m_engine->timerOn() && m_tiles[current])
            m_tiles[current]->OpenQuestion();
        return;
    }
    case Qt::Key_Escape:
        close();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

void TForm91::closeEvent(QCloseEvent* event) {
    m_engine->formClose();
    event->accept();
    if (m_showMain)
        m_showMain();
}

void TForm91::openQuestion(int index) {
    if (!m_engine->openQuestion(index))
        return;
    const ExamSlot& slot = m_engine->slot(index);
    const QString header = LineBreak + m_tiles[index]->text() + LineBreak;
    m_question->setQuestion(m_tiles[index]->picture(), header, slot.AnswerList, slot.Q.HasPicture,
                            slot.Q.Correct, slot.Q.Ticket, slot.Q.InTicket, slot.Q.AnswerCount);
    m_question->setTimeLeft(m_engine->clockText());
    const int result = m_question->exec();
    m_engine->questionClosed(result == QDialog::Accepted);
}

void TForm91::tilesChanged() {
    for (TFrame2* t : m_tiles)
        if (t && t->isVisible())
            t->update();
}

void TForm91::clockChanged() {
    Label1->setText(m_engine->clockText());
    if (m_question)
        m_question->setTimeLeft(m_engine->clockText());
}

void TForm91::timerChanged(bool running) {
    if (running)
        Timer1->start();
    else
        Timer1->stop();
}

void TForm91::closeQuestion() {
    if (m_question->isVisible())
        m_question->reject();
}

bool TForm91::showVerdict(const ExamVerdict& v) {
    const int result =
        m_result->showVerdict(v.Headline, v.FirstLine, v.SecondLine, v.TimeLine, v.ReviewOffered);
    return result == TForm4::ResultReview;
}

void TForm91::showReview(const RunRequest& review) {
    if (m_showStudy)
        m_showStudy(review);
}

void TForm91::closeWindow() {
    // A stage that fails to load while the window is being shown closes it once it is up.
    if (m_inShow)
        QTimer::singleShot(0, this, [this] { close(); });
    else
        close();
}

} // namespace bil
