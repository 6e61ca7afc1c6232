// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/ui/picture_window.h"

#include "data/jpeg.h"
#include "data/picture.h"
#include "data/ui/picture_image.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace bil {

PictureWindow::PictureWindow(QWidget* parent)
    : QDialog(parent), m_fitter(std::make_unique<PictureFitter>()) {
    setObjectName(QStringLiteral("PictureWindow"));
    setWindowTitle(QStringLiteral("Рисунок к вопросу"));
    setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("Image1"));
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setToolTip(QStringLiteral("Щелчок или Esc — закрыть"));
    layout->addWidget(m_label);
}

PictureWindow::~PictureWindow() = default;

QSize PictureWindow::ShownSize(QSize picture, QSize onScreen, QSize screen) {
    const auto fitted = [&picture](int w, int h) {
        const FitGeometry fit = FittedSize(picture.width(), picture.height(), w, h);
        return QSize(std::max(fit.Width, 1), std::max(fit.Height, 1));
    };
    const QSize large = fitted(screen.width() * 9 / 10, screen.height() * 9 / 10);
    const QSize below = onScreen.isValid() ? fitted(onScreen.width(), onScreen.height()) : picture;
    if (large.width() * 2 >= below.width() * 3)
        return large;
    // A picture already large on screen: half as large again, if the screen holds that.
    return fitted(std::min(below.width() * 3 / 2, screen.width()),
                  std::min(below.height() * 3 / 2, screen.height()));
}

bool PictureWindow::showJpeg(const QByteArray& jpeg, QSize onScreen) {
    Result<Bitmap> decoded =
        DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()), std::size_t(jpeg.size()));
    if (!decoded || decoded->Width < 1 || decoded->Height < 1)
        return false;
    return present(ImageOf(*decoded), onScreen);
}

bool PictureWindow::showPicture(const QImage& picture, QSize onScreen) {
    if (picture.isNull())
        return false;
    return present(picture, onScreen);
}

bool PictureWindow::present(const QImage& full, QSize onScreen) {
    const QScreen* screen =
        parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    const QSize size = ShownSize(full.size(), onScreen, area);
    m_shown = QImage(size, QImage::Format_RGB32);
    // Only a picture under 2 x 2 pixels is beyond the resampler: it is shown as it is.
    if (size == full.size() || !FitPictureToImage(*m_fitter, full, m_shown, Qt::white))
        m_shown = full;
    m_label->setPixmap(QPixmap::fromImage(m_shown));
    setFixedSize(m_shown.size());
    if (screen)
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    show();
    raise();
    activateWindow();
    return true;
}

void PictureWindow::mousePressEvent(QMouseEvent* event) {
    QDialog::mousePressEvent(event);
    close();
}

} // namespace bil
