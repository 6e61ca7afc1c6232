// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDialog>
#include <QImage>
#include <QSize>

#include <memory>

class QLabel;

namespace bil {

class PictureFitter;

// A question's picture enlarged in a window of its own: as large as 90 % of the screen allows,
// and at least half as large again as on screen, resampled with the Bell resampler. Escape or a
// click closes it, and so does the end of the run or stage it belongs to. It does not block:
// the timers of the window below keep counting while it is open.
class PictureWindow : public QDialog {
public:
    explicit PictureWindow(QWidget* parent = nullptr);
    ~PictureWindow() override;

    // Shows the picture enlarged from the one fitted into onScreen (the area it is drawn in on
    // the window below); false, and nothing is shown, when it cannot be decoded.
    bool showJpeg(const QByteArray& jpeg, QSize onScreen);
    bool showPicture(const QImage& picture, QSize onScreen);
    // The picture as shown.
    const QImage& shown() const { return m_shown; }

    // The size a picture is shown at, fitted into onScreen below, on a screen with the given
    // available size: the largest that fits 90 % of the screen, but at least 1.5 times the size
    // below as long as the whole screen holds that.
    static QSize ShownSize(QSize picture, QSize onScreen, QSize screen);

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool present(const QImage& full, QSize onScreen);

    std::unique_ptr<PictureFitter> m_fitter;
    QLabel* m_label = nullptr;
    QImage m_shown;
};

} // namespace bil
