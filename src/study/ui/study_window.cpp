// SPDX-License-Identifier: GPL-3.0-or-later
#include "study/ui/study_window.h"

#include "app/ui/line_breaks.h"
#include "app/ui/program_windows.h"
#include "data/jpeg.h"
#include "data/picture.h"
#include "data/themes.h"
#include "data/ui/picture_image.h"
#include "data/ui/picture_window.h"
#include "data/ui/pictures.h"
#include "stats/stat_file.h"
#include "study/ui/move_dialog.h"
#include "ui/measure_text.h"
#include "ui/result_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

namespace bil {

// --- Window ----------------------------------------------------------------------------------

TForm1::TForm1(AppState& app, QWidget* parent, StudyIo io)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      m_app(app) {
    if (!io.loadQuestion)
        io.loadQuestion = [&app](int n) { return app.Db.LoadQuestion(n); };
    if (!io.saveStats)
        io.saveStats = [&app] { return SaveStats(StatFilePath(app.AppDataDir), app.Stats); };
    if (!io.saveThemes)
        io.saveThemes = [&app] { return SaveThemeFile(app.Themes, app.AppDataDir); };
    m_engine = std::make_unique<StudyEngine>(app, std::move(io), *this);
    m_fitter = std::make_unique<PictureFitter>();
    m_form4 = new TForm4(this);
    m_form9 = new TForm9(this);

    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QStringLiteral("Билетория DER UZIRI 2023"));
    setMinimumSize(730, 548);
    resize(730, 548);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::black);
    setPalette(pal);

    m_imageList1 = {QIcon(TextIcon(QStringLiteral("?"), QColor(255, 255, 160), Qt::blue)),
                    QIcon(StarIcon(QColor(230, 0, 0))), QIcon(StarIcon(QColor(0, 190, 0)))};
    // Answered, right or wrong unknown: a plain grey dot that reads as neither.
    const QIcon answered(TextIcon(QStringLiteral("•"), QColor(200, 200, 200), QColor(90, 90, 90)));
    m_imageList2 = {m_imageList1[0], answered, answered};
    const TForm3 holder(devicePixelRatioF());
    m_lights = {holder.IZel(), holder.Ikr(), holder.ISel()};

    buildControls();

    // Program-wide: the program minimised, restored, or left for another program.
    m_program = new ProgramWindows({[this] { m_engine->programMinimized(); },
                                    [this] { m_engine->programActivated(); },
                                    [this] { m_engine->programDeactivated(); }},
                                   this);
}

TForm1::~TForm1() = default;

QIcon TForm1::itemIcon(int mark) const {
    const auto& set = m_engine->iconSet() == IconsHidden ? m_imageList2 : m_imageList1;
    return set[std::clamp(mark, 0, 2)];
}

// --- Drawing the engine's state --------------------------------------------------------------

void TForm1::listRebuilt() {
    const QSignalBlocker block(ListView1);
    const int count = m_engine->runCount();
    if (ListView1->count() != count) {
        ListView1->clear();
        for (int k = 1; k <= count; ++k)
            ListView1->addItem(QStringLiteral("Вопрос №") + QString::number(k));
    }
    for (int i = 0; i < count; ++i)
        ListView1->item(i)->setIcon(itemIcon(m_engine->mark(i)));
    // Every caption whole, "Вопрос №800" too: the list is as wide as its longest item.
    const int needed = count > 0 ? ListView1->sizeHintForColumn(0) + 2 * ListView1->frameWidth() +
                                       ListView1->verticalScrollBar()->sizeHint().width() + 4
                                 : 0;
    const int width = std::max(StudyListWidth, needed);
    if (width != m_listWidth) {
        m_listWidth = width;
        placeControls();
    }
}

void TForm1::marksChanged(int index) {
    if (index >= 0 && index < ListView1->count()) {
        ListView1->item(index)->setIcon(itemIcon(m_engine->mark(index)));
        return;
    }
    for (int i = 0; i < ListView1->count(); ++i)
        ListView1->item(i)->setIcon(itemIcon(m_engine->mark(i)));
}

void TForm1::selectListItem(int index) {
    const QSignalBlocker block(ListView1);
    ListView1->setCurrentRow(index);
    if (QListWidgetItem* item = ListView1->item(index)) {
        item->setSelected(true);
        ListView1->scrollToItem(item);
    }
    ListView1->setFocus(Qt::OtherFocusReason);
}

void TForm1::applyButtons() {
    for (int b = 1; b <= MaxAnswers; ++b) {
        QPushButton* button = BitBtn[b - 1];
        button->setText(m_engine->buttonCaption(b));
        button->setFixedWidth(button->text().isEmpty()
                                  ? AnswerButtonWidth
                                  : std::max(AnswerButtonWidth, button->sizeHint().width()));
        button->setVisible(m_engine->buttonVisible(b));
        button->setEnabled(m_engine->buttonEnabled(b));
    }
    Label4->setVisible(m_engine->commentVisible());
}

void TForm1::fitScrollContents() {
    // The white area grows with what it shows and scrolls; the width a scroll bar takes away
    // is given back to the texts by laying them out again.
    int bottom = 0;
    for (const QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Label2),
                             static_cast<QWidget*>(Label3), static_cast<QWidget*>(Label4)})
        if (w->isVisibleTo(ScrollContents))
            bottom = std::max(bottom, w->geometry().bottom() + 1);
    const bool scrolls = bottom + 10 > ScrollBox1->height();
    ScrollContents->setMinimumHeight(scrolls ? bottom + 10 : 0);
    const Qt::ScrollBarPolicy policy = scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (ScrollBox1->verticalScrollBarPolicy() != policy) {
        ScrollBox1->setVerticalScrollBarPolicy(policy);
        if (m_engine->currentNumber() != 0)
            LayoutQuestion();
    }
}

void TForm1::questionShown() {
    Label1->setText(m_engine->heading());
    Label2->setText(DisplayLines(m_engine->questionText()));
    Label3->setText(DisplayLines(m_engine->answersText()));
    Label4->setText(DisplayLines(m_engine->commentText()));
    applyButtons();
    Image1->setVisible(m_engine->currentQuestion().HasPicture);
    lightChanged();
    statInformerChanged();
    LayoutQuestion();
}

void TForm1::answerStateChanged() {
    applyButtons();
    fitScrollContents();
}

void TForm1::statInformerChanged() {
    Chart1->setCounts(m_engine->pieRight(), m_engine->pieWrong());
    Chart1->setVisible(m_engine->statInformerVisible());
    Label7->setText(m_engine->counterText());
    Label7->setVisible(m_engine->statInformerVisible() && m_engine->counterVisible());
}

void TForm1::lightChanged() {
    Image2->setVisible(m_engine->lightVisible());
    const int mark = m_engine->currentMark();
    if (mark != m_lightTag) { // replaced only when the tag differs
        m_lightTag = mark;
        Image2->setPixmap(m_lights[std::clamp(mark, 0, 2)]);
    }
}

void TForm1::captionsChanged() {
    setWindowTitle(m_engine->windowCaption());
    Label5->setText(m_engine->runCaption());
    const Rgb c = m_engine->runCaptionColor();
    Label5->setStyleSheet(QStringLiteral("color: rgb(%1, %2, %3);").arg(c.r).arg(c.g).arg(c.b));
}

void TForm1::timeChanged() {
    Label6->setText(m_engine->timeText());
    Label6->setVisible(m_engine->timeVisible());
}

void TForm1::timersChanged() {
    auto follow = [](QTimer* t, bool on) {
        if (on && !t->isActive())
            t->start();
        else if (!on && t->isActive())
            t->stop();
    };
    follow(SpTimer, m_engine->secondsTimerOn());
    follow(Timer1, m_engine->countdownOn());
}

void TForm1::closeWindow() {
    close();
}

void TForm1::setResultDialog(TForm4* dialog) {
    if (dialog)
        m_form4 = dialog;
}

int TForm1::showVerdict(const StudyVerdict& v) {
    return m_form4->showVerdict(v.Headline, v.First, v.Second, v.Time, true);
}

int TForm1::chooseTheme(const QString& prompt, int preselected) {
    return m_form9->choose(prompt, preselected);
}

void TForm1::minimizeApplication() {
    m_program->minimizeAll();
}

void TForm1::runEnded() {
    m_zoom->close(); // window-modal: left open it would block the next run's answers
}

// --- Layout ----------------------------------------------------------------------------------

void TForm1::LayoutQuestion() {
    if (m_fonts.Question == 0) // the design's sizes until the table first chooses
        m_fonts = {Label2->font().pointSize(), Label3->font().pointSize(),
                   Label4->font().pointSize()};
    QuestionFontSizes(frameGeometry().width(), m_fonts);
    // Set on every pass, so that the smaller texts of a crowded picture start from these sizes
    // and never compound where the table leaves the sizes as they were.
    auto sized = [](QLabel* l, int points) {
        QFont f = l->font();
        f.setPointSize(points);
        l->setFont(f);
    };
    sized(Label2, m_fonts.Question);
    sized(Label3, m_fonts.Answers);
    sized(Label4, m_fonts.Comment);
    placeControls();
    const TQuestion& q = m_engine->currentQuestion();
    QuestionSizes area;
    area.Width = ScrollBox1->viewport()->width();
    area.PieTop = ScrollBox1->height() + Chart1->y();
    area.HasPicture = q.HasPicture;
    if (q.HasPicture) {
        // The picture's own size, from its header only.
        const auto info = ReadJpegInfo(reinterpret_cast<const uint8_t*>(q.Picture.constData()),
                                       size_t(q.Picture.size()));
        if (info)
            area.Picture = QSize(info->Width, info->Height);
    }
    const auto smaller = [](const QLabel& label, bool shrink) {
        QFont font = label.font();
        if (shrink)
            font.setPointSize(std::max(font.pointSize() - 2, 1));
        return font;
    };
    const auto height = [&](const QLabel& label, int width, bool shrink) {
        return MeasureTextHeight(smaller(label, shrink), width, label.alignment(), label.wordWrap(),
                                 label.text());
    };
    const QuestionLayout l = LayoutQuestionArea(
        area, {[&](int width) { return MeasureTextHeight(*Label2, width); },
               [&](int width, bool shrink) { return height(*Label3, width, shrink); },
               [&](int width, bool shrink) { return height(*Label4, width, shrink); }});
    if (l.SmallerTexts) {
        Label3->setFont(smaller(*Label3, true));
        Label4->setFont(smaller(*Label4, true));
    }
    Label3->setFixedWidth(l.TextWidth);
    Label4->setFixedWidth(l.TextWidth);
    if (q.HasPicture) {
        Image1->setGeometry(l.Image1);
        // A fresh white area of the control's size, the picture fitted into it, centred.
        QImage picture(l.Image1.size(), QImage::Format_RGB32);
        if (!FitJpegToImage(*m_fitter, q.Picture, picture, Qt::white))
            picture.fill(Qt::white); // a damaged picture leaves the area blank
        Image1->setPixmap(QPixmap::fromImage(picture));
    }
    Label2->setGeometry(l.Label2);
    Label3->setGeometry(l.Label3);
    Label4->setGeometry(l.Label4);
    if (QListWidgetItem* item = ListView1->currentItem())
        ListView1->scrollToItem(item);
    fitScrollContents();
}

// --- Events ----------------------------------------------------------------------------------

void TForm1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return; // a restore, not a launch
    if (QScreen* screen = this->screen()) {
        const QRect avail = screen->availableGeometry();
        move(avail.center() - rect().center());
    }
    m_engine->startRun(m_next);
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!m_engine->close()) {
        event->ignore(); // turned into the review of the training
        return;
    }
    setResult(1);
    event->accept();
    QDialog::hide();
    if (m_closed)
        m_closed();
}

void TForm1::reject() {
    close();
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_engine->currentNumber() != 0)
        LayoutQuestion();
    else
        placeControls();
    Label2->update();
    Label3->update();
    Label4->update();
}

bool TForm1::listKey(QKeyEvent* key) {
    const int k = key->key();
    if (k >= Qt::Key_1 && k <= Qt::Key_5 && !(key->modifiers() & Qt::ControlModifier)) {
        const int b = k - Qt::Key_0;
        if (m_engine->buttonVisible(b) && m_engine->buttonEnabled(b))
            BitBtn[b - 1]->click();
        return true;
    }
    if (k == Qt::Key_Return || k == Qt::Key_Enter) {
        if (const int b = m_engine->firstEnabledButton())
            BitBtn[b - 1]->setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (k == Qt::Key_F5 && key->modifiers() == Qt::ControlModifier) {
        m_engine->moveToTheme();
        return true;
    }
    return false;
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != this)
        return false;
    // The picture at full size; the study timers keep counting meanwhile.
    if (watched == Image1 && type == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        m_zoom->showJpeg(m_engine->currentQuestion().Picture, Image1->size());
        return true;
    }

    if (type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == ListView1)
            return listKey(key);
        // Any key first takes the focus to the list; a focused button still takes Enter/Space.
        // Keys the list let through reach the window itself and end there (Escape: "СТОП").
        if (watched == ListView1->viewport() || watched == this)
            return false;
        ListView1->setFocus(Qt::OtherFocusReason);
        const bool buttonKey = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ||
                               key->key() == Qt::Key_Space;
        if (buttonKey && qobject_cast<QPushButton*>(watched))
            return false;
        if (key->key() == Qt::Key_Escape)
            return false;
        QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
        QApplication::sendEvent(ListView1, &copy);
        return true;
    }
    if (type == QEvent::MouseButtonDblClick) {
        if (watched == ListView1->viewport()) {
            m_engine->switchIconSet();
            return false;
        }
        if (watched == ScrollContents || watched == BottomRow) {
            m_engine->showComment();
            return true;
        }
    }
    if (type == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == Image2) {
            m_engine->markByLight(int(mouse->position().y()));
            return true;
        }
        if (watched == Label7) {
            m_engine->toggleCounter();
            return true;
        }
        if (watched == Label4) {
            showPopupMenu();
            return true;
        }
    }
    return false;
}

void TForm1::showPopupMenu() {
    const std::vector<QString> captions = m_engine->helpLinkCaptions();
    const auto items = PopupMenu1->actions();
    // At most the question's nine links; a question without links opens an empty menu.
    for (int i = 0; i < items.size(); ++i) {
        const bool shown = i < MaxHelpLinks && i < int(captions.size()) && !captions[i].isEmpty();
        items[i]->setText(shown ? captions[i] : QString());
        items[i]->setVisible(shown);
    }
    PopupMenu1->popup(QCursor::pos());
}

} // namespace bil
