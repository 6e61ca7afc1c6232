// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/result_dialog.h"

#include "app/ui/line_breaks.h"
#include "ui/measure_text.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace bil {

namespace {

// The fixed 192 x 192 picture beside the lines: a gold cup on a light ground.
QPixmap VerdictPicture() {
    QPixmap pm(192, 192);
    pm.fill(QColor(255, 255, 230));
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 80, 0), 4));
    p.setBrush(QColor(240, 190, 30));
    QPainterPath cup;
    cup.moveTo(52, 30);
    cup.lineTo(140, 30);
    cup.cubicTo(140, 100, 120, 118, 96, 120);
    cup.cubicTo(72, 118, 52, 100, 52, 30);
    p.drawPath(cup);
    p.setBrush(Qt::NoBrush);
    p.drawArc(24, 40, 40, 44, 90 * 16, 180 * 16);
    p.drawArc(128, 40, 40, 44, 270 * 16, 180 * 16);
    p.setBrush(QColor(240, 190, 30));
    p.drawRect(86, 120, 20, 28);
    p.drawRoundedRect(60, 148, 72, 18, 4, 4);
    return pm;
}

} // namespace

TForm4::TForm4(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TForm4"));
    setWindowTitle(QStringLiteral("Билетория DER UZIRI"));
    setFixedSize(362, 189);
    setModal(true);

    Label1 = new QLabel(QStringLiteral("Поздравляем! Вы сдали экзамен!"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 345, 20);
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(PixelFont(QStringLiteral("Liberation Sans"), 17, true));
    Label1->setStyleSheet(QStringLiteral("color: rgb(255, 0, 0);"));

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Box);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(8, 40, 109, 108);
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(10, 42, 105, 104);
    Image1->setScaledContents(true);
    Image1->setPixmap(VerdictPicture());

    const QFont bold = PixelFont(QStringLiteral("Liberation Sans"), 13, true);
    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(128, 44, 225, 33);
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setFont(bold);
    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(128, 84, 225, 16);
    Label3->setFont(bold);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(128, 108, 225, 16);
    Label4->setFont(bold);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(128, 150, 65, 30);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Проверить результаты"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(200, 150, 153, 30);
    BitBtn2->hide();

    connect(BitBtn1, &QPushButton::clicked, this, &TForm4::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm4::BitBtn2Click);
}

int TForm4::showVerdict(const QString& headline, const QString& first, const QString& second,
                        const QString& time, bool offerReview) {
    Label1->setText(DisplayLines(headline));
    Label2->setText(DisplayLines(first));
    Label3->setText(DisplayLines(second));
    Label4->setText(DisplayLines(time));
    BitBtn2->setVisible(offerReview);
    return exec();
}

void TForm4::BitBtn1Click() {
    done(ResultOk);
}

void TForm4::BitBtn2Click() {
    done(ResultReview);
}

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // With the review on offer, Enter on a fresh dialog asks for it.
    if (!BitBtn2->isHidden())
        BitBtn2->setFocus(Qt::OtherFocusReason);
    else
        BitBtn1->setFocus(Qt::OtherFocusReason);
}

void TForm4::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the like: the dialog is closed only by its buttons (done() sends no close event).
    event->ignore();
}

} // namespace bil
