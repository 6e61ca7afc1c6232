// The enlarged picture: opened by a click on the question's picture in the study window and
// the exam question window, at full size or fitted to 90 % of the screen, closed by Escape or a
// click, never blocking the timers below it.

#include "app/app_state.h"
#include "data/themes.h"
#include "data/ui/picture_window.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "test_jpeg.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace bil;

namespace {

QSize ScreenArea() {
    return QGuiApplication::primaryScreen()->availableGeometry().size();
}

TEST(PictureWindow, ShownAtFullSizeOrFittedToNinetyPercentOfTheScreen) {
    const QSize screen(1280, 1024);
    EXPECT_EQ(PictureWindow::ShownSize({320, 240}, screen), QSize(320, 240));
    EXPECT_EQ(PictureWindow::ShownSize({1152, 921}, screen), QSize(1152, 921)); // just fits
    EXPECT_EQ(PictureWindow::ShownSize({3000, 1000}, screen), QSize(1152, 384));
    EXPECT_EQ(PictureWindow::ShownSize({1000, 4000}, screen), QSize(230, 921));
}

TEST(PictureWindow, ALargePictureIsResampledIntoTheScreenAndEscapeOrAClickCloses) {
    const QSize area = ScreenArea();
    const QSize big(area.width() * 2, area.height() * 3 / 2);
    PictureWindow w;
    ASSERT_TRUE(w.showJpeg(test::MakeTestJpeg(big.width(), big.height(), 3)));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QSize expected = PictureWindow::ShownSize(big, area);
    EXPECT_EQ(w.shown().size(), expected);
    EXPECT_EQ(w.size(), expected);
    EXPECT_LE(w.width(), area.width() * 9 / 10);
    EXPECT_LE(w.height(), area.height() * 9 / 10);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());

    ASSERT_TRUE(w.showJpeg(test::MakeTestJpeg(40, 30, 1)));
    EXPECT_EQ(w.shown().size(), QSize(40, 30));
    QTest::mouseClick(w.findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
}

TEST(PictureWindow, APictureThatCannotBeDecodedOpensNothing) {
    PictureWindow w;
    EXPECT_FALSE(w.showJpeg(QByteArray("\xFF\xD8 not really a picture")));
    EXPECT_FALSE(w.showJpeg(QByteArray()));
    EXPECT_FALSE(w.showPicture(QImage()));
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

TEST_F(StudyPictureTest, AClickOnThePictureShowsItAtFullSizeWhileTheSecondsCount) {
    open(test::MakeTestJpeg(320, 240, 5));
    ASSERT_TRUE(window->Image1->isVisible());
    QTest::mouseClick(window->Image1, Qt::LeftButton);
    PictureWindow& zoom = window->pictureWindow();
    ASSERT_TRUE(zoom.isVisible());
    EXPECT_EQ(zoom.shown().size(), QSize(320, 240));
    EXPECT_TRUE(window->SpTimer->isActive());
    const int before = app.Stats.question(21).Seconds[0];
    window->engine().questionSecond(); // what the timer does while the picture is open
    EXPECT_EQ(app.Stats.question(21).Seconds[0], before + 1);
    QTest::keyClick(&zoom, Qt::Key_Escape);
    EXPECT_FALSE(zoom.isVisible());
    EXPECT_TRUE(window->isVisible()); // Escape closed the picture, not the run
}

TEST_F(StudyPictureTest, ADamagedPictureOpensNothing) {
    open(QByteArray("\xFF\xD8\xFF\xE0 broken", 12));
    QTest::mouseClick(window->Image1, Qt::LeftButton);
    EXPECT_FALSE(window->pictureWindow().isVisible());
    EXPECT_TRUE(window->isVisible());
}

} // namespace
