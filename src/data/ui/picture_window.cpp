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

QSize PictureWindow::ShownSize(QSize picture, QSize screen) {
    const int maxW = screen.width() * 9 / 10, maxH = screen.height() * 9 / 10;
    if (picture.width() <= maxW && picture.height() <= maxH)
        return picture;
    const FitGeometry fit = FittedSize(picture.width(), picture.height(), maxW, maxH);
    return {std::max(fit.Width, 1), std::max(fit.Height, 1)};
}

bool PictureWindow::showJpeg(const QByteArray& jpeg) {
    Result<Bitmap> decoded =
        DecodeJpeg(reinterpret_cast<const uint8_t*>(jpeg.constData()), std::size_t(jpeg.size()));
    if (!decoded || decoded->Width < 1 || decoded->Height < 1)
        return false;
    return present(ImageOf(*decoded));
}

bool PictureWindow::showPicture(const QImage& picture) {
    if (picture.isNull())
        return false;
    return present(picture);
}

bool PictureWindow::present(const QImage& full) {
    const QScreen* screen =
        parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QSize area = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    const QSize size = ShownSize(full.size(), area);
    if (size == full.size()) {
        m_shown = full;
    } else {
        m_shown = QImage(size, QImage::Format_RGB32);
        if (!FitPictureToImage(*m_fitter, full, m_shown, Qt::white))
            m_shown = full.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
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
