// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/platform.h"
#include "app/ui/qt_prompter.h"
#include "data/ui/picture_window.h"
#include "exam/exam_engine.h"
#include "exam/ui/exam_tile.h"
#include "exam/ui/exam_window.h"
#include "exam/ui/question_window.h"
#include "scripted_prompter.h"
#include "scripted_random.h"
#include "stats/stat_file.h"
#include "study/study_engine.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "test_jpeg.h"
#include "ui/measure_text.h"
#include "ui/result_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>

namespace bil {
namespace {

// Acts on whichever modal window is on top, from the event loop of that window.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> act) : m_act(std::move(act)) {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || !w->isVisible() || m_busy)
                return;
            // Acting later lets this timer fire again inside any window the action opens.
            m_busy = true;
            QPointer<QWidget> target(w);
            QTimer::singleShot(0, [this, target] {
                m_busy = false;
                if (target && target->isVisible())
                    m_act(target);
            });
        });
        m_timer.start();
    }

private:
    std::function<void(QWidget*)> m_act;
    QTimer m_timer;
    bool m_busy = false;
};

class ExamWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QByteArray jpeg = test::MakeTestJpeg(320, 240, 7);
        const QString path = test::WriteTestDatabase(dir.path(), test::MakeQuestions(jpeg, 3));
        ASSERT_TRUE(app.Db.OpenDatabase(path).ok());
        app.AppDataDir = dir.path();
        app.services.random = &random;
        app.services.prompter = &prompter;
        app.Config.ExamTime = 600;
    }

    // Answers the open question: right unless its slot is listed as wrong.
    void answerOpenQuestion(TForm91& w, TForm94& q) {
        const int slot = w.engine().openTile() + 1;
        const bool wrong = wrongSlots.count(slot) != 0;
        int k = q.Correct;
        if (wrong)
            k = q.Correct == 1 ? 2 : 1;
        q.BitBtn[k - 1]->click();
    }

    test::TempDir dir;
    AppState app;
    test::ScriptedRandom random;
    test::ScriptedPrompter prompter;
    std::set<int> wrongSlots;
};

bool OnlyNavyBits(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() != 0 || c.green() != 0 || (c.blue() != 0 && c.blue() != 128))
                return false;
        }
    return true;
}

TEST_F(ExamWindowTest, FullExamWithOneErrorPassesThroughTheAdditionalBlock) {
    random.values = {2, 5, 9, 30, 4};
    wrongSlots = {7};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000); // the tests tick the clock themselves
    int mainShown = 0;
    w.setShowMainWindow([&] { ++mainShown; });
    QStringList verdict;
    ModalDriver driver([&](QWidget* modal) {
        if (auto* q = qobject_cast<TForm94*>(modal))
            answerOpenQuestion(w, *q);
        else if (auto* r = qobject_cast<TForm4*>(modal)) {
            verdict << r->Label1->text() << r->Label2->text() << r->Label3->text()
                    << r->Label4->text();
            EXPECT_TRUE(r->BitBtn2->isVisible());
            r->BitBtn1->click();
        }
    });

    w.startExam();
    ASSERT_TRUE(w.isVisible());
    EXPECT_TRUE(w.Timer1->isActive());
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Основной блок вопросов"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("00:10:00"));
    EXPECT_EQ(w.Label3->text(), test::TestTitle);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(w.tile(i)->isVisible(), i < 20) << i;
    // Five columns, four rows.
    EXPECT_EQ(w.tile(1)->x(), w.tile(0)->x() + w.tile(0)->width());
    EXPECT_EQ(w.tile(5)->x(), 1);
    EXPECT_EQ(w.tile(5)->y(), w.tile(0)->y() + w.tile(0)->height());
    EXPECT_EQ(w.tile(0)->width(), w.width() / 5 - 2);
    EXPECT_EQ(w.tile(0)->height(), w.Panel4->height() / 4);
    EXPECT_EQ(w.tile(0)->frameColour(), 255);
    EXPECT_EQ(w.tile(1)->frameColour(), 91);
    EXPECT_EQ(w.engine().slotQuestion(7), 5 * 20 + 7);

    // The mouse makes a tile current and opens it; then Enter follows the current tile.
    QTest::mouseMove(w.tile(3), QPoint(10, 10));
    EXPECT_EQ(w.engine().currentTile(), 3);
    EXPECT_EQ(w.tile(3)->frameColour(), 255);
    EXPECT_EQ(w.tile(0)->frameColour(), 91);
    QTest::mouseClick(w.tile(3), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(w.engine().slot(3).Answered, 1);
    EXPECT_EQ(w.engine().currentTile(), 4);
    EXPECT_TRUE(OnlyNavyBits(w.tile(3)->grab().toImage()));
    EXPECT_FALSE(OnlyNavyBits(w.tile(4)->grab().toImage()));
    // An answered tile is neither made current nor opened by the mouse.
    QTest::mouseMove(w.tile(3), QPoint(12, 12));
    EXPECT_EQ(w.engine().currentTile(), 4);

    for (int n = 0; n < 19; ++n)
        QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_EQ(w.engine().examStage(), 2);
    EXPECT_TRUE(verdict.isEmpty());
    EXPECT_EQ(w.Label2->text(), QStringLiteral("Дополнительный блок вопросов"));
    EXPECT_EQ(w.Label1->text(), QStringLiteral("00:05:00"));
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(w.tile(i)->isVisible(), i >= 20 && i < 25) << i;
    EXPECT_EQ(w.tile(20)->pos(), QPoint(1, 1));
    EXPECT_EQ(w.tile(20)->frameColour(), 255);
    EXPECT_EQ(w.engine().slotQuestion(21), 9 * 20 + 6);
    EXPECT_EQ(w.tile(20)->text(), test::TestQuestionText(9 * 20 + 6));

    w.Timer1Timer();
    EXPECT_EQ(w.Label1->text(), QStringLiteral("00:04:59"));
    for (int n = 0; n < 5; ++n)
        QTest::keyClick(&w, Qt::Key_Return);
    ASSERT_EQ(verdict.size(), 4);
    EXPECT_EQ(verdict[0], QStringLiteral("Поздравляем! Вы сдали экзамен!"));
    EXPECT_EQ(verdict[1], QStringLiteral("Допущено ошибок: 1"));
    EXPECT_EQ(verdict[2], QString());
    EXPECT_EQ(verdict[3], QStringLiteral("Время ответа: 00:00:01"));
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_EQ(mainShown, 1);

    int right = 0, wrong = 0;
    for (const TQuestionStat& q : app.Stats.QuestionStats) {
        right += q.Right[ChannelExam];
        wrong += q.Wrong[ChannelExam];
        EXPECT_EQ(q.Right[ChannelLearning] + q.Wrong[ChannelLearning], 0);
    }
    EXPECT_EQ(right, 24);
    EXPECT_EQ(wrong, 1);
    EXPECT_EQ(app.Stats.question(107).Wrong[ChannelExam], 1);
}

// The exam's answers and seconds are on disk when it ends, whether by its verdict or by an early
// close with its charge: closing the program straight after loses nothing.
TEST_F(ExamWindowTest, ExamCountsReachTheFileAtTheVerdictAndAtAnEarlyClose) {
    random.values = {0, 0, 0, 0, 1, 1, 1, 1};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    ModalDriver driver([&](QWidget* modal) {
        if (auto* q = qobject_cast<TForm94*>(modal)) {
            q->Timer1Timer(); // one second on the question
            answerOpenQuestion(w, *q);
        } else if (auto* verdict = qobject_cast<TForm4*>(modal)) {
            verdict->BitBtn1->click(); // "OK"
        }
    });
    const auto saved = [this] {
        Result<LoadedStats> loaded = LoadStats(StatFilePath(dir.path()));
        EXPECT_TRUE(loaded.ok());
        return loaded ? loaded->Record : TStatRecord{};
    };

    w.startExam();
    for (int n = 0; n < 20; ++n)
        QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    TStatRecord record = saved();
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(record.question(n).Right[ChannelExam], 1) << n;
        EXPECT_EQ(record.question(n).Seconds[ChannelExam], 1) << n;
    }

    w.startExam(); // ticket 2 in every group; two answers, then Escape
    for (int n = 0; n < 2; ++n)
        QTest::keyClick(&w, Qt::Key_Return);
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_FALSE(w.isVisible());
    record = saved();
    for (int n = 21; n <= 40; ++n) {
        EXPECT_EQ(record.question(n).Right[ChannelExam], n <= 22 ? 1 : 0) << n;
        EXPECT_EQ(record.question(n).Wrong[ChannelExam], 1) << n; // the early close's charge
        EXPECT_EQ(record.question(n).Seconds[ChannelExam], n <= 22 ? 1 : 0) << n;
    }
    EXPECT_TRUE(prompter.shown().empty());
}

TEST_F(ExamWindowTest, QuestionWindowButtonsKeysConfirmationAndSeconds) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000); // the tests tick the clock themselves
    w.startExam();
    TForm94& q = *w.questionWindow();
    // Question 2 has three answers and no picture; question 3 has a picture.
    ASSERT_EQ(test::TestAnswerCount(2), 3);
    ASSERT_TRUE(w.engine().openQuestion(1));
    const ExamSlot& slot = w.engine().slot(1);
    q.setQuestion(w.tile(1)->picture(),
                  QStringLiteral("\n\r") + slot.Q.Text + QStringLiteral("\n\r"), slot.AnswerList,
                  slot.Q.HasPicture, slot.Q.Correct, slot.Q.Ticket, slot.Q.InTicket,
                  slot.Q.AnswerCount);
    q.show();
    EXPECT_TRUE(q.BitBtn[2]->isVisible());
    EXPECT_FALSE(q.BitBtn[3]->isVisible());
    EXPECT_FALSE(q.BitBtn[4]->isVisible());
    EXPECT_FALSE(q.Panel2->isVisible());
    EXPECT_EQ(q.Panel1->y(), 0);
    EXPECT_EQ(q.Panel1->height(), q.height());
    EXPECT_TRUE(q.Label2->text().startsWith(QStringLiteral("1. ")));
    EXPECT_TRUE(q.Timer1->isActive());
    q.Timer1Timer();
    q.Timer1Timer();
    EXPECT_EQ(app.Stats.question(2).Seconds[ChannelExam], 2);

    QTest::keyClick(&q, Qt::Key_4);
    EXPECT_TRUE(q.isVisible());
    QTest::keyClick(&q, Qt::Key_Escape);
    EXPECT_TRUE(q.isVisible());

    app.Config.ConfirmChoice = true;
    prompter.queueYesNo(false);
    QTest::keyClick(&q, Qt::Key_1);
    EXPECT_TRUE(q.isVisible());
    EXPECT_TRUE(prompter.showed(QStringLiteral("Вы уверены?")));
    EXPECT_EQ(w.engine().correctCount() + w.engine().errorCount(), 0);

    // With the comment always shown no confirmation is asked.
    app.Config.AlwaysShowComment = true;
    prompter.clear();
    const int k = slot.Q.Correct;
    QTest::keyClick(&q, Qt::Key(Qt::Key_0 + k));
    EXPECT_FALSE(q.isVisible());
    EXPECT_FALSE(q.Timer1->isActive());
    EXPECT_TRUE(prompter.shown().empty());
    EXPECT_EQ(q.result(), QDialog::Accepted);
    EXPECT_EQ(w.engine().correctCount(), 1);
    w.engine().questionClosed(true);
    EXPECT_EQ(w.engine().slot(1).Answered, 1);

    // A pictured question: the picture panel on top takes the picture's height when the text fits.
    ASSERT_TRUE(w.engine().openQuestion(2));
    const ExamSlot& pictured = w.engine().slot(2);
    ASSERT_TRUE(pictured.Q.HasPicture);
    ASSERT_FALSE(w.tile(2)->picture().isNull());
    q.setQuestion(w.tile(2)->picture(), QStringLiteral("\n\rx\n\r"), pictured.AnswerList, true,
                  pictured.Q.Correct, pictured.Q.Ticket, pictured.Q.InTicket,
                  pictured.Q.AnswerCount);
    q.resize(953, 702);
    q.show();
    EXPECT_TRUE(q.Panel2->isVisible());
    EXPECT_EQ(q.Panel2->y(), 0);
    EXPECT_EQ(q.Panel2->height(), qRound(q.width() / (320.0 / 240.0)) > q.height() - 200
                                      ? q.Panel2->height()
                                      : qRound(q.width() / (320.0 / 240.0)));
    EXPECT_EQ(q.Panel1->y(), q.Panel2->height());
    EXPECT_EQ(q.Panel1->y() + q.Panel1->height(), q.height());
    EXPECT_EQ(q.fittedPicture().size(), q.Panel2->size());
    q.close();
    EXPECT_EQ(q.result(), QDialog::Rejected);
    w.engine().questionClosed(false);
    EXPECT_EQ(w.engine().slot(2).Answered, 0);
}

TEST_F(ExamWindowTest, TilePartsFollowTheTileSizeAndThePictureRatio) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    w.startExam();
    const double ratio = (320.0 - 5.0) / 240.0;
    ASSERT_DOUBLE_EQ(w.engine().pictureRatio(), ratio);

    TFrame2& plain = *w.tile(0); // question 1: no picture
    plain.resize(200, 150);
    EXPECT_EQ(plain.Shape1, QRect(0, 0, 199, 149));
    EXPECT_EQ(plain.Label1, QRect(3, 3, 194, 144));
    EXPECT_TRUE(plain.Label1Alignment & Qt::AlignVCenter);

    TFrame2& pictured = *w.tile(2); // question 3: a picture
    pictured.resize(200, 300);
    const int imageHeight = int(std::lround(200 / ratio)) - 3;
    EXPECT_EQ(pictured.Image1, QRect(3, 3, 194, imageHeight));
    // Two thirds of the height lie below the picture: the label starts under the picture.
    EXPECT_EQ(pictured.Label1, QRect(3, imageHeight + 3, 194, 300 - imageHeight - 6));
    // Otherwise at two thirds of the height, over the picture's lower part.
    pictured.resize(200, 160);
    EXPECT_EQ(pictured.Label1, QRect(3, 106, 194, 51));

    // Text that does not fit starts at the top of the label.
    plain.resize(40, 40);
    EXPECT_TRUE(plain.Label1Alignment & Qt::AlignTop);
}

// A long question on a tile of the smallest exam window: the lines that fit, the last one ended
// with "…" instead of cut through, and the whole text in the tooltip; a roomy tile shows it all.
TEST_F(ExamWindowTest, LongTileTextEndsWithAnEllipsisOnTheLastWholeLine) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    w.startExam();
    TFrame2& tile = *w.tile(2); // a picture above the text
    const QString text =
        QStringLiteral("Разрешается ли водителю выполнить обгон грузового автомобиля в данной "
                       "ситуации, если за перекрёстком начинается зона действия знака?\r\n"
                       "Вторая строка вопроса.");
    tile.setText(text);
    tile.resize(144, 96); // a 730 × 486 window: four rows of five
    const QString shown = tile.shownText();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Разрешается ли")));
    EXPECT_LE(
        MeasureTextHeight(tile.Label1Font, tile.Label1.width(), Qt::AlignHCenter, true, shown),
        tile.Label1.height());
    // Every shown line but the last is a whole line of the question.
    const QStringList lines = shown.split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 1);
    const QString plain = QString(text).remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), ' ');
    for (qsizetype i = 0; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(plain.contains(lines[i])) << lines[i].toStdString();
    EXPECT_EQ(tile.toolTip(), QString(text).remove(QLatin1Char('\r')));

    tile.resize(400, 600);
    EXPECT_EQ(tile.shownText(), QString(text).remove(QLatin1Char('\r')));
    EXPECT_TRUE(tile.toolTip().isEmpty());
    EXPECT_TRUE(tile.Label1Alignment & Qt::AlignVCenter);

    // Room for less than a line still shows the start of the text, never nothing.
    tile.resize(60, 20);
    EXPECT_FALSE(tile.shownText().isEmpty());
}

TEST_F(ExamWindowTest, LongAnswersOnASmallWindowTakeTheirHeightFromThePicture) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    w.startExam();
    TForm94& q = *w.questionWindow();
    ASSERT_TRUE(w.engine().openQuestion(2));
    const ExamSlot& slot = w.engine().slot(2);
    QString answers;
    for (int k = 1; k <= 5; ++k)
        answers += QStringLiteral("%1. ").arg(k) +
                   QString(QStringLiteral("длинный ответ ")).repeated(8) + QStringLiteral("\n\r");
    q.setQuestion(w.tile(2)->picture(), QStringLiteral("\n\rВопрос\n\r"), answers, true,
                  slot.Q.Correct, slot.Q.Ticket, slot.Q.InTicket, 5);
    q.resize(400, 400);
    q.show();
    EXPECT_TRUE(q.Panel2->isVisible());
    EXPECT_GE(q.Panel1->height(), 200);
    EXPECT_LT(q.Panel2->height(), qRound(400 / (320.0 / 240.0)));
    EXPECT_EQ(q.Panel2->height() + q.Panel1->height(), q.height());
    EXPECT_EQ(q.Panel1->y(), q.Panel2->height());
    // The buttons stay inside the window.
    EXPECT_LE(q.Panel1->y() + q.Panel3->y() + q.Panel3->height(), q.height());
    q.close();
    w.engine().questionClosed(false);
}

TEST_F(ExamWindowTest, TimeOutWithAQuestionOpenClosesItAndFailsTheExam) {
    random.values = {0, 1, 2, 3};
    app.Config.ExamTime = 5;
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000); // the tests tick the clock themselves
    int mainShown = 0;
    w.setShowMainWindow([&] { ++mainShown; });
    QStringList verdict;
    bool questionSeen = false;
    ModalDriver driver([&](QWidget* modal) {
        if (qobject_cast<TForm94*>(modal)) {
            questionSeen = true;
            for (int i = 0; i < 5; ++i)
                w.Timer1Timer();
        } else if (auto* r = qobject_cast<TForm4*>(modal)) {
            verdict << r->Label1->text() << r->Label2->text() << r->Label3->text()
                    << r->Label4->text();
            r->BitBtn1->click();
        }
    });
    w.startExam();
    QTest::keyClick(&w, Qt::Key_Return);
    EXPECT_TRUE(questionSeen);
    EXPECT_FALSE(w.questionWindow()->isVisible());
    ASSERT_EQ(verdict.size(), 4);
    EXPECT_EQ(verdict[0], QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"));
    EXPECT_EQ(verdict[2], QStringLiteral("Все ответы признаны ошибками."));
    EXPECT_EQ(verdict[3], QStringLiteral("Время закончилось: 00:00:05"));
    EXPECT_EQ(w.engine().slot(0).Answered, 0);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(mainShown, 1);
    for (int s = 1; s <= 20; ++s)
        EXPECT_EQ(app.Stats.question(w.engine().slotQuestion(s)).Wrong[ChannelExam], 1) << s;
}

// "Вы уверены?" on screen when the time runs out, with the real message box: the box closes
// with the question window, whether the time-out fails the exam or moves it on, and the
// answer given in it counts nowhere.
TEST_F(ExamWindowTest, ConfirmationOpenAtATimeOutClosesAndCountsNothing) {
    QtPrompter real;
    app.services.prompter = &real;
    app.Config.ConfirmChoice = true;
    app.Config.ExamTime = 5;
    random.values = {0, 0, 0, 0, 0, 1, 2, 3, 5, 6};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    int verdicts = 0;
    bool timeOutInBox = false, timedOut = false, boxStayed = false;
    ModalDriver driver([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            if (timeOutInBox && !timedOut) {
                timedOut = true;
                for (int i = 0; i < 5; ++i)
                    w.Timer1Timer();
                return;
            }
            boxStayed = boxStayed || timedOut;
            box->button(QMessageBox::Yes)->click();
        } else if (auto* q = qobject_cast<TForm94*>(modal)) {
            answerOpenQuestion(w, *q);
        } else if (auto* verdict = qobject_cast<TForm4*>(modal)) {
            ++verdicts;
            verdict->BitBtn1->click(); // "OK"
        }
    });
    const auto openBoxes = [] {
        int n = 0;
        for (QWidget* top : QApplication::topLevelWidgets())
            n += qobject_cast<QMessageBox*>(top) && top->isVisible();
        return n;
    };

    // The exam fails by time.
    w.startExam();
    QTest::keyClick(&w, Qt::Key_Return); // slot 1, confirmed
    EXPECT_EQ(w.engine().correctCount(), 1);
    timeOutInBox = true;
    QTest::keyClick(&w, Qt::Key_Return); // slot 2: the time runs out in its box
    EXPECT_TRUE(timedOut);
    EXPECT_FALSE(boxStayed);
    EXPECT_EQ(openBoxes(), 0);
    EXPECT_EQ(verdicts, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.engine().correctCount(), 1);
    EXPECT_EQ(app.Stats.question(2).Right[ChannelExam], 0);

    // The time-out moves the exam on: 18 right, two missing in different groups.
    timeOutInBox = timedOut = false;
    w.startExam();
    for (int i = 0; i < 20; ++i)
        if (i != 3 && i != 8)
            QTest::mouseClick(w.tile(i), Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_EQ(w.engine().correctCount(), 18);
    timeOutInBox = true;
    QTest::mouseClick(w.tile(8), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(timedOut);
    EXPECT_FALSE(boxStayed);
    EXPECT_EQ(openBoxes(), 0);
    EXPECT_FALSE(w.questionWindow()->isVisible());
    EXPECT_EQ(w.engine().examStage(), 3);
    EXPECT_EQ(w.engine().correctCount(), 18);
    EXPECT_EQ(w.engine().slot(8).AnsweredRight, 0);
    EXPECT_EQ(app.Stats.question(20 + 9).Right[ChannelExam], 0);
    EXPECT_EQ(verdicts, 1);
    EXPECT_TRUE(w.isVisible());
    w.close();
}

TEST_F(ExamWindowTest, EscapeFailsTheExamAndTheReviewShowsTheStars) {
    random.values = {0, 1, 2, 3};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000); // the tests tick the clock themselves
    TForm1 study(app);
    RunRequest review;
    w.setShowStudyModal([&](const RunRequest& request) {
        review = request;
        study.setRun(request);
        study.exec();
    });
    int mainShown = 0;
    w.setShowMainWindow([&] { ++mainShown; });
    wrongSlots = {2};
    int answered = 0;
    QStringList verdict;
    std::vector<int> marks;
    int studyItems = 0;
    ModalDriver driver([&](QWidget* modal) {
        if (auto* q = qobject_cast<TForm94*>(modal)) {
            answerOpenQuestion(w, *q);
            ++answered;
        } else if (auto* r = qobject_cast<TForm4*>(modal)) {
            verdict << r->Label1->text() << r->Label2->text();
            r->BitBtn2->click();
        } else if (modal == &study) {
            studyItems = study.ListView1->count();
            for (int i = 0; i < study.engine().runCount(); ++i)
                marks.push_back(study.engine().mark(i));
            study.close();
        }
    });
    w.startExam();
    for (int n = 0; n < 3; ++n)
        QTest::keyClick(&w, Qt::Key_Return);
    ASSERT_EQ(answered, 3);
    QTest::keyClick(&w, Qt::Key_Escape);
    ASSERT_EQ(verdict.size(), 2);
    EXPECT_EQ(verdict[0], QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"));
    EXPECT_EQ(verdict[1], QStringLiteral("Допущено ошибок: 20"));
    EXPECT_EQ(review.Type, RunType::ExamReview);
    EXPECT_EQ(studyItems, 20);
    ASSERT_EQ(marks.size(), 20u);
    EXPECT_EQ(marks[0], MarkRight);
    EXPECT_EQ(marks[1], MarkWrong);
    EXPECT_EQ(marks[2], MarkRight);
    EXPECT_EQ(marks[3], MarkWrong); // never answered
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(mainShown, 1);
    EXPECT_EQ(app.Stats.question(w.engine().slotQuestion(1)).Wrong[ChannelExam], 1);
    EXPECT_EQ(app.Stats.question(w.engine().slotQuestion(2)).Wrong[ChannelExam], 2);
}

// Enter opens the current tile; the Return that follows (a double press, key repeat) must not
// answer, whatever has the focus. The question window shows the exam's time left all along.
TEST_F(ExamWindowTest, ReturnNeverAnswersAndTheTimeLeftIsShown) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000); // the tests tick the clock themselves
    TForm94& q = *w.questionWindow();
    int opened = 0;
    QStringList times;
    ModalDriver driver([&](QWidget* modal) {
        if (modal != &q)
            return;
        ++opened;
        times << q.Label5->text() << w.Label1->text();
        QTest::keyClick(q.focusWidget() ? q.focusWidget() : &q, Qt::Key_Return);
        QTest::keyClick(&q, Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(q.BitBtn[0], Qt::Key_Return);
        EXPECT_TRUE(q.isVisible());
        w.Timer1Timer();
        times << q.Label5->text() << w.Label1->text();
        q.close();
    });
    w.startExam();
    QTest::keyClick(&w, Qt::Key_Return);
    ASSERT_EQ(opened, 1);
    EXPECT_EQ(w.engine().correctCount() + w.engine().errorCount(), 0);
    EXPECT_EQ(w.engine().slot(0).Answered, 0);
    ASSERT_EQ(times.size(), 4);
    EXPECT_EQ(times[0], QStringLiteral("00:10:00"));
    EXPECT_EQ(times[0], times[1]);
    EXPECT_EQ(times[2], QStringLiteral("00:09:59"));
    EXPECT_EQ(times[2], times[3]);
    EXPECT_TRUE(q.Label5->isVisibleTo(&q));
}

// Five long answers on a small window: the picture keeps its 200 px while the window allows it,
// and the text scrolls to its last answer above the buttons.
TEST_F(ExamWindowTest, LongAnswersScrollAndThePictureKeepsItsMinimum) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.Timer1->setInterval(3600 * 1000);
    w.startExam();
    TForm94& q = *w.questionWindow();
    ASSERT_TRUE(w.engine().openQuestion(2));
    const ExamSlot& slot = w.engine().slot(2);
    QString answers;
    for (int k = 1; k <= 5; ++k)
        answers += QStringLiteral("%1. Водитель обязан уступить дорогу транспортным средствам, "
                                  "движущимся по пересекаемой дороге справа, и пешеходам.")
                       .arg(k) +
                   QStringLiteral("\n\r");
    q.setQuestion(w.tile(2)->picture(), QStringLiteral("\n\rЧто означает знак на рисунке?\n\r"),
                  answers, true, slot.Q.Correct, slot.Q.Ticket, slot.Q.InTicket, 5);
    for (QSize size : {QSize(600, 450), QSize(370, 370)}) {
        q.resize(size);
        q.show();
        ASSERT_EQ(q.size(), size);
        const int picture = std::min(200, size.height() - 200);
        EXPECT_EQ(q.Panel2->height(), picture) << size.width();
        EXPECT_EQ(q.Panel2->height() + q.Panel1->height(), q.height());
        EXPECT_EQ(q.fittedPicture().size(), q.Panel2->size());
        QScrollBar* bar = q.TextArea->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0) << size.width();
        bar->setValue(bar->maximum());
        const QPoint end = q.Label2->mapTo(&q, QPoint(0, q.Label2->height()));
        const QPoint buttons = q.Panel3->mapTo(&q, QPoint(0, 0));
        EXPECT_LE(end.y(), buttons.y()) << size.width(); // the last answer can be read
        EXPECT_GE(q.Label2->height(), MeasureTextHeight(q.Label2->font(), q.Label2->width(),
                                                        Qt::AlignLeft, true, q.Label2->text()));
        EXPECT_LE(buttons.y() + q.Panel3->height(), q.height());
        q.hide();
    }
    w.engine().questionClosed(false);
}

} // namespace
} // namespace bil

namespace bil {
namespace {

TEST_F(ExamWindowTest, AClickOnTheQuestionPictureEnlargesItAndTheClocksGoOn) {
    random.values = {0, 0, 0, 0};
    TForm91 w(app);
    w.startExam();
    TForm94& q = *w.questionWindow();
    ASSERT_TRUE(w.engine().openQuestion(2));
    const ExamSlot& pictured = w.engine().slot(2);
    ASSERT_TRUE(pictured.Q.HasPicture);
    q.setQuestion(w.tile(2)->picture(), QStringLiteral("\n\rx\n\r"), pictured.AnswerList, true,
                  pictured.Q.Correct, pictured.Q.Ticket, pictured.Q.InTicket,
                  pictured.Q.AnswerCount);
    q.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&q));
    QTest::mouseClick(q.Image1, Qt::LeftButton);
    PictureWindow& zoom = q.pictureWindow();
    ASSERT_TRUE(zoom.isVisible());
    const QSize picture = w.tile(2)->picture().size();
    EXPECT_EQ(zoom.shown().size(),
              PictureWindow::ShownSize(picture, q.Image1->size(),
                                       q.screen()->availableGeometry().size()));
    EXPECT_GT(zoom.shown().width(), picture.width());
    EXPECT_TRUE(w.Timer1->isActive()); // the exam clock
    EXPECT_TRUE(q.Timer1->isActive()); // the question's seconds
    QTest::mouseClick(zoom.findChild<QLabel*>(QStringLiteral("Image1")), Qt::LeftButton);
    EXPECT_FALSE(zoom.isVisible());
    EXPECT_TRUE(q.isVisible());

    // A time-out or a close of the question takes its enlarged picture along.
    QTest::mouseClick(q.Image1, Qt::LeftButton);
    ASSERT_TRUE(zoom.isVisible());
    w.closeQuestion();
    EXPECT_FALSE(zoom.isVisible());
    w.hide();
}

} // namespace
} // namespace bil
