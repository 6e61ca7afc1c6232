// SPDX-License-Identifier: GPL-3.0-or-later
// The enlarged picture: opened by a click on the question's picture in the study window and
// the exam question window, as large as 90 % of the screen allows and at least half as large
// again as on screen, drawn by the Bell resampler, closed by Escape, a click or the end of its
// run, never blocking the timers below it.

#include "app/app_state.h"
#include "data/jpeg.h"
#include "data/themes.h"
#include "data/ui/picture_image.h"
#include "data/ui/picture_window.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "test_jpeg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bil;

namespace {

QSize ScreenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry().size();
}

TEST(PictureWindow, ShownAsLargeAsNinetyPercentOfTheScreenAndLargerThanBelow) {
    const QSize screen(1280, 1024);
    const QSize below(300, 200); // the area the picture is drawn in on the window below
    EXPECT_EQ(PictureWindow::ShownSize({320, 240}, below, screen), QSize(1152, 864));
    EXPECT_EQ(PictureWindow::ShownSize({604, 225}, below, screen), QSize(1152, 429));
    EXPECT_EQ(PictureWindow::ShownSize({3000, 1000}, below, screen), QSize(1152, 384));
    EXPECT_EQ(PictureWindow::ShownSize({1000, 4000}, below, screen), QSize(230, 921));
    // Already large below: half as large again, up to the whole screen.
    EXPECT_EQ(PictureWindow::ShownSize({604, 225}, {800, 400}, screen), QSize(1200, 447));
    EXPECT_EQ(PictureWindow::ShownSize({400, 300}, {800, 600}, screen), QSize(1200, 900));
    EXPECT_EQ(PictureWindow::ShownSize({400, 300}, {1200, 900}, screen), QSize(1280, 960));
}

TEST(PictureWindow, TheBellResamplerDrawsItAndEscapeOrAClickCloses) {
    const QSize area = ScreenArea();
    const QByteArray jpeg = test::MakeTestJpeg(area.width() * 2, area.height() * 3 / 2, 3);
    PictureWindow w;
    ASSERT_TRUE(w.showJpeg(jpeg, QSize(200, 150)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_EQ(w.size(), w.shown().size());
    EXPECT_LE(w.width(), area.width() * 9 / 10);
    EXPECT_LE(w.height(), area.height() * 9 / 10);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());

    // A small picture grows, pixel for pixel as the program's own resampler draws it.
    const QByteArray small = test::MakeTestJpeg(60, 40, 1);
    ASSERT_TRUE(w.showJpeg(small, QSize(60, 40)));
    EXPECT_GE(w.shown().width(), 90);
    const auto decoded =
        DecodeJpeg(reinterpret_cast<const uint8_t*>(small.constData()), std::size_t(small.size()));
    ASSERT_TRUE(decoded);
    PictureFitter bell;
    QImage expected(w.shown().size(), QImage::Format_RGB32);
    ASSERT_TRUE(FitPictureToImage(bell, ImageOf(*decoded), expected, Qt::white));
    EXPECT_EQ(w.shown().convertToFormat(QImage::Format_RGB32), expected);
    QTest::mouseClick(w.findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

TEST(PictureWindow, APictureThatCannotBeDecodedOpensNothing) {
    PictureWindow w;
    EXPECT_FALSE(w.showJpeg(QByteArray("\xFF\xD8 not really a picture"), QSize(100, 100)));
    EXPECT_FALSE(w.showJpeg(QByteArray(), QSize(100, 100)));
    EXPECT_FALSE(w.showPicture(QImage(), QSize(100, 100)));
    EXPECT_FALSE(w.isVisible());
}

class StudyPictureTest : public ::testing::Test {
protected:
    void open(const QByteArray& jpeg) {
        const QString db = test::WriteTestDatabase(dir.path(), test::MakeQuestions(jpeg, 1));
        ASSERT_TRUE(app.Db.OpenDatabase(db).ok());
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.Config.HideOnFocusLoss = false;
        app.Config.ShuffleAnswers = false;
        for (int n = 1; n <= QuestionCount; ++n)
            app.Themes.theme(n) = DefaultThemeOf(n);
        window = std::make_unique<TForm1>(app);
        window->setRun(RunRequest::learnTicket(2));
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        if (window)
            window->hide();
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    AppState app;
    std::unique_ptr<TForm1> window;
};

TEST_F(StudyPictureTest, AClickEnlargesThePictureWhileTheSecondsCountAndTheRunEndClosesIt) {
    open(test::MakeTestJpeg(320, 240, 5));
    ASSERT_TRUE(window->Image1->isVisible());
    QTest::mouseClick(window->Image1, Qt::LeftButton);
    PictureWindow& zoom = window->pictureWindow();
    ASSERT_TRUE(zoom.isVisible());
    EXPECT_GE(zoom.shown().width() * 2, window->Image1->width() * 3);
    EXPECT_TRUE(window->SpTimer->isActive());
    const int before = app.Stats.question(21).Seconds[0];
    window->engine().questionSecond(); // what the timer does while the picture is open
    EXPECT_EQ(app.Stats.question(21).Seconds[0], before + 1);
    QTest::keyClick(&zoom, Qt::Key_Escape);
    EXPECT_FALSE(zoom.isVisible());
    EXPECT_TRUE(window->isVisible()); // Escape closed the picture, not the run

    // The run ends with the picture open (СТОП, the time): the picture goes with it and the
    // next run's window takes clicks.
    QTest::mouseClick(window->Image1, Qt::LeftButton);
    ASSERT_TRUE(zoom.isVisible());
    window->BitBtn7->click();
    EXPECT_FALSE(window->isVisible());
    EXPECT_FALSE(zoom.isVisible());
    window->setRun(RunRequest::learnTicket(2));
    window->show();
    EXPECT_FALSE(QApplication::activeModalWidget() == &zoom);
}

TEST_F(StudyPictureTest, ADamagedPictureOpensNothing) {
    open(QByteArray("\xFF\xD8\xFF\xE0 broken", 12));
    QTest::mouseClick(window->Image1, Qt::LeftButton);
    EXPECT_FALSE(window->pictureWindow().isVisible());
    EXPECT_TRUE(window->isVisible());
}

} // namespace
