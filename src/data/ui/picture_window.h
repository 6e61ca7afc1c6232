#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QSize>

#include <memory>

class QLabel;

namespace bil {

class PictureFitter;

// A question's picture enlarged in a window of its own: at its full size, or fitted into 90 %
// of the screen with the Bell resampler when it is larger. Escape or a click closes it. It does
// not block: the timers of the window below keep counting while it is open.
class PictureWindow : public QDialog {
public:
    explicit PictureWindow(QWidget* parent = nullptr);
    ~PictureWindow() override;

    // Shows the picture; false, and nothing is shown, when it cannot be decoded.
    bool showJpeg(const QByteArray& jpeg);
    bool showPicture(const QImage& picture);
    // The picture as shown.
    const QImage& shown() const { return m_shown; }

    // The size a picture is shown at on a screen with the given available size.
    static QSize ShownSize(QSize picture, QSize screen);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool present(const QImage& full);

    std::unique_ptr<PictureFitter> m_fitter;
    QLabel* m_label = nullptr;
    QImage m_shown;
};

} // namespace bil
