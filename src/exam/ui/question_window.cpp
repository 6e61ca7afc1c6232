// SPDX-License-Identifier: GPL-3.0-or-later
#include "exam/ui/question_window.h"

#include "data/ui/picture_window.h"

#include "app/app_state.h"
#include "app/platform.h"
#include "app/ui/line_breaks.h"
#include "data/picture.h"
#include "data/ui/picture_image.h"
#include "exam/exam_engine.h"
#include "ui/measure_text.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace bil {

namespace {

// The 16 x 16 digit picture of an answer button.
QPixmap DigitGlyph(int digit) {
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setFont(PixelFont(QStringLiteral("Arial"), 14, true));
    p.setPen(QColor(0, 0, 128));
    p.drawText(pm.rect(), Qt::AlignCenter, QString::number(digit));
    return pm;
}

} // namespace

TForm94::TForm94(AppState& app, ExamEngine& engine, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_app(app), m_engine(engine), m_fitter(std::make_unique<PictureFitter>()) {
    setObjectName(QStringLiteral("TForm94"));
    setWindowTitle(QStringLiteral("Билетория DER UZIRI 2023"));
    setMinimumSize(370, 370);
    resize(953, 702);
    setModal(true);

    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Image1 = new QLabel(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setToolTip(QStringLiteral("Щелчок — увеличить рисунок"));
    Image1->installEventFilter(this);
    m_zoom = new PictureWindow(this);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    TextArea = new QScrollArea(Panel1);
    TextArea->setObjectName(QStringLiteral("TextArea"));
    TextArea->setFrameShape(QFrame::NoFrame);
    TextArea->setWidgetResizable(false);
    TextArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    TextArea->setFocusPolicy(Qt::NoFocus);
    TextContents = new QWidget;
    TextContents->setObjectName(QStringLiteral("TextContents"));
    TextArea->setWidget(TextContents);
    TextArea->viewport()->setAutoFillBackground(false);
    Label1 = new QLabel(TextContents);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(PixelFont(QStringLiteral("Arial"), 21, true));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setAutoFillBackground(true);
    QPalette headerPalette = Label1->palette();
    headerPalette.setColor(QPalette::Window, Qt::black);
    headerPalette.setColor(QPalette::WindowText, Qt::white);
    Label1->setPalette(headerPalette);
    Label3 = new QLabel(TextContents);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label4 = new QLabel(TextContents);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label2 = new QLabel(TextContents);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(PixelFont(QStringLiteral("Arial"), 19, true));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    Panel3 = new QWidget(Panel1);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    for (int k = 1; k <= 5; ++k) {
        auto* b = new QPushButton(Panel3);
        b->setObjectName(QStringLiteral("BitBtn%1").arg(k));
        b->setIcon(DigitGlyph(k));
        b->setIconSize(QSize(16, 16));
        b->setGeometry(4 + (k - 1) * 72, (ButtonPanelHeight - 23) / 2, 68, 23);
        // Return never answers: after Enter opened the question a repeat would answer 1 unasked.
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, k] { BitBtn1Click(k); });
        BitBtn[k - 1] = b;
    }
    Label5 = new QLabel(Panel3);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setFont(PixelFont(QStringLiteral("Arial"), 20, true));
    Label5->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));
    Label5->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label5->setToolTip(QStringLiteral("Оставшееся время"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm94::Timer1Timer);
}

void TForm94::setQuestion(const QImage& picture, const QString& header, const QString& answers,
                          bool hasPicture, int correct, int ticket, int inTicket, int answerCount) {
    m_picture = picture;
    m_header = header;
    m_answers = answers;
    HasPicture = hasPicture ? 1 : 0;
    Correct = correct;
    Ticket = ticket;
    InTicket = inTicket;
    Label1->setText(DisplayLines(header));
    Label2->setText(DisplayLines(answers));
    if (answerCount >= 1 && answerCount <= 5)
        for (int k = 1; k <= 5; ++k)
            BitBtn[k - 1]->setVisible(k <= answerCount);
}

void TForm94::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    m_accepted = false;
    // A picture that could not be decoded leaves the whole window to the text.
    Panel2->setVisible(HasPicture != 0 && !m_picture.isNull());
    layoutPanels(true);
    Timer1->start();
    BitBtn[0]->setFocus(Qt::OtherFocusReason);
}

void TForm94::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TForm94::FormResize() {
    layoutPanels(false);
}

void TForm94::setTimeLeft(const QString& text) {
    Label5->setText(text);
}

int TForm94::headerHeight(int width) const {
    return MeasureTextHeight(Label1->font(), width, Qt::AlignCenter, true, Label1->text());
}

int TForm94::answersHeight(int width) const {
    return MeasureTextHeight(Label2->font(), std::max(0, width - 2 * Margin), Qt::AlignLeft, true,
                             Label2->text());
}

void TForm94::placeTextPanel(int top, int height) {
    const int w = width();
    Panel1->setGeometry(0, top, w, height);
    // The buttons stay at the bottom; header and answers scroll above them when they must.
    const int buttonsTop = std::max(0, height - ButtonPanelHeight);
    Panel3->setGeometry(0, buttonsTop, w, ButtonPanelHeight);
    Label5->setGeometry(std::max(0, w - 160), 0, 152, ButtonPanelHeight);
    TextArea->setGeometry(0, 0, w, buttonsTop);
    const bool scrolls = headerHeight(w) + answersHeight(w) > buttonsTop;
    TextArea->setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    const int cw = scrolls ? std::max(0, w - TextArea->verticalScrollBar()->sizeHint().width()) : w;
    const int header = headerHeight(cw);
    const int contents = std::max(buttonsTop, header + answersHeight(cw));
    TextContents->resize(cw, contents);
    Label1->setGeometry(0, 0, cw, header);
    const int textHeight = contents - header;
    Label3->setGeometry(0, header, Margin, textHeight);
    Label4->setGeometry(std::max(0, cw - Margin), header, Margin, textHeight);
    Label2->setGeometry(Margin, header, std::max(0, cw - 2 * Margin), textHeight);
}

void TForm94::layoutPanels(bool onShow) {
    (void)onShow;
    const int w = width();
    const int clientHeight = height();
    if (Panel2->isVisibleTo(this) && m_picture.width() > 0 && m_picture.height() > 0) {
        const int need = headerHeight(w) + answersHeight(w) + ButtonPanelHeight;
        const int p = int(std::lround(w / (double(m_picture.width()) / m_picture.height())));
        int pictureHeight = p;
        if (need > clientHeight - p) {
            // The text gets what it needs and the picture the rest, but never less than the
            // picture's minimum while the text panel keeps its own: the text scrolls instead.
            const int keep = std::min(MinPanelHeight, clientHeight - MinPanelHeight);
            pictureHeight = std::max({clientHeight - need, keep, 0});
        }
        const int textHeight = clientHeight - pictureHeight;
        Panel2->setGeometry(0, 0, w, pictureHeight);
        Image1->setGeometry(0, 0, w, pictureHeight);
        placeTextPanel(pictureHeight, textHeight);

        m_fitted = QImage(std::max(1, w), std::max(1, pictureHeight), QImage::Format_RGB32);
        if (pictureHeight <= 0 || !FitPictureToImage(*m_fitter, m_picture, m_fitted, Qt::white))
            m_fitted.fill(Qt::white); // a picture too small to resample leaves the area blank
        Image1->setPixmap(QPixmap::fromImage(m_fitted));
    } else {
        placeTextPanel(0, clientHeight);
    }
}

void TForm94::keyPressEvent(QKeyEvent* event) {
    const QString t = event->text();
    if (t.size() == 1 && t[0] >= QLatin1Char('1') && t[0] <= QLatin1Char('5')) {
        const int k = t[0].unicode() - '0';
        if (BitBtn[k - 1]->isVisible() && BitBtn[k - 1]->isEnabled())
            BitBtn[k - 1]->click();
        return;
    }
    // The window has no cancel button: Escape leaves the question open.
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}

void TForm94::BitBtn1Click(int k) {
    if (!m_engine.chooseAnswer(k))
        return;
    m_accepted = true;
    accept();
}

void TForm94::done(int result) {
    Timer1->stop();
    m_zoom->close(); // the enlarged picture belongs to this question
    // Only an accepted answer closes with OK; any other close means no answer.
    QDialog::done(result == QDialog::Accepted && m_accepted ? QDialog::Accepted
                                                            : QDialog::Rejected);
}

void TForm94::Timer1Timer() {
    m_engine.questionSecond();
}

TForm94::~TForm94() = default;

bool TForm94::eventFilter(QObject* watched, QEvent* event) {
    // The picture at full size; the exam clock and the question's seconds keep counting.
    if (watched == Image1 && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton && HasPicture != 0) {
        m_zoom->showPicture(m_picture, Image1->size());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace bil
