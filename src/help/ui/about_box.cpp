// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/about_box.h"

#include "data/database.h"
#include "data/ui/pictures.h"
#include "ui/measure_text.h"

#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace bil {

namespace {

const char* const TermsOfUse =
    "Билетория — тренажёр для самостоятельной подготовки к теоретической части экзамена "
    "на право управления транспортными средствами.\n\n"
    "Программа предоставляется «как есть». Вопросы, ответы и комментарии берутся из базы "
    "вопросов; их соответствие действующим правилам дорожного движения проверяйте по "
    "официальным источникам. Результаты тренировок не заменяют экзамен и не дают никаких "
    "прав.\n\n"
    "Программу можно свободно устанавливать и использовать для личного обучения.";

} // namespace

TForm7::TForm7(const Database& db, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_db(db) {
    setObjectName(QStringLiteral("Form7"));
    setWindowTitle(QStringLiteral("О программе Билетория DER UZIRI"));
    setFixedSize(382, 285);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    setFont(PixelFont(QStringLiteral("Liberation Sans"), 12));

    Image1 = new PictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(8, 8, 33, 33);
    Image1->setPicture(
        [](QPainter& p, const QRectF& r) { PaintLogo(p, QRectF(r.topLeft(), QSizeF(LogoSize))); });

    Label2 = new QLabel(QStringLiteral("Билетория DER UZIRI 2023"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(PixelFont(QStringLiteral("Liberation Serif"), 19, true));
    Label2->move(56, 8);
    Label2->adjustSize();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 48, 366, 160);
    Memo1->setReadOnly(true);
    Memo1->setPlainText(QString::fromUtf8(TermsOfUse));

    Label3 = new QLabel(this);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(8, 216, 361, 41);
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label3->setTextFormat(Qt::PlainText);
    QPalette grey = Label3->palette();
    grey.setColor(QPalette::WindowText, QColor(64, 64, 64));
    Label3->setPalette(grey);

    Button1 = new QPushButton(QStringLiteral("ОК"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(144, 256, 75, 25);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TForm7::FormShow() {
    // A path has no blanks to break at; allow a break after every separator.
    QString path = QDir::toNativeSeparators(m_db.DbPath());
    path.replace(QDir::separator(), QString(QDir::separator()) + QChar(0x200B));
    Label3->setText(path);
}

void TForm7::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

} // namespace bil
