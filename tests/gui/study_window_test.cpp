// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/random.h"
#include "app/settings_store.h"
#include "app/startup.h"
#include "app/ui/main_window.h"
#include "app/ui/window_links.h"
#include "data/themes.h"
#include "expect_dialog.h"
#include "jpeg_samples.h"
#include "scripted_prompter.h"
#include "stats/stat_file.h"
#include "study/ui/move_dialog.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "ui/result_dialog.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace bil;

namespace {

using test::ReadAll;

const QString MoveTitle = QStringLiteral("Перенос вопроса в другую тему");
const QString VerdictTitle = QStringLiteral("Билетория DER UZIRI");

bool SameIcon(const QIcon& a, const QIcon& b) {
    return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
}

// A study window over a test database without pictures, in a temporary data folder.
class StudyWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const QString db = test::WriteTestDatabase(dir.path(), test::MakeQuestions());
        ASSERT_TRUE(app.Db.OpenDatabase(db).ok());
        app.AppDataDir = dir.path();
        app.services.prompter = &prompter;
        app.services.random = &random;
        app.Config.HideOnFocusLoss = false;
        app.Config.ShuffleAnswers = false;
        for (int n = 1; n <= QuestionCount; ++n)
            app.Themes.theme(n) = DefaultThemeOf(n);
        window = std::make_unique<TForm1>(app);
        window->setClosedHandler([this] { ++closedCalls; });
    }
    void TearDown() override {
        if (window && window->isVisible())
            window->hide();
    }
    void launchTicket(int ticket) { window->setRun(RunRequest::learnTicket(ticket)); }

    test::TempDir dir;
    AppState app;
    test::ScriptedPrompter prompter;
    SystemRandom random;
    std::unique_ptr<TForm1> window;
    int closedCalls = 0;
};

} // namespace

TEST_F(StudyWindowTest, TicketFiveAnsweredByDigitKeyThenClosed) {
    launchTicket(5);
    window->show();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Билетория DER UZIRI"));
    EXPECT_EQ(window->ListView1->count(), 20);
    EXPECT_EQ(window->ListView1->item(19)->text(), QStringLiteral("Вопрос №20"));
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Билет №5 Вопрос №1"));
    EXPECT_EQ(window->Label2->text(), test::TestQuestionText(81));
    EXPECT_EQ(window->Label5->text(), QStringLiteral("Режим обучения"));
    const int count = test::TestAnswerCount(81);
    for (int b = 1; b <= MaxAnswers; ++b)
        EXPECT_EQ(window->BitBtn[b - 1]->isVisibleTo(window.get()), b <= count) << b;
    EXPECT_TRUE(window->SpTimer->isActive());
    EXPECT_FALSE(window->Timer1->isActive());
    EXPECT_TRUE(window->Image2->isVisibleTo(window.get()));
    EXPECT_FALSE(window->Label4->isVisibleTo(window.get()));

    const int right = test::TestCorrect(81);
    QTest::keyClick(window->ListView1, Qt::Key(Qt::Key_0 + right));
    EXPECT_EQ(app.Stats.question(81).Right[0], 1);
    EXPECT_TRUE(SameIcon(window->ListView1->item(0)->icon(), window->itemIcon(MarkRight)));
    EXPECT_FALSE(SameIcon(window->itemIcon(MarkRight), window->itemIcon(MarkWrong)));
    EXPECT_EQ(window->ListView1->currentRow(), 1);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Билет №5 Вопрос №2"));

    // A wrong answer by key shows the comment and stays.
    const int wrong = test::TestCorrect(82) == 1 ? 2 : 1;
    QTest::keyClick(window->ListView1, Qt::Key(Qt::Key_0 + wrong));
    EXPECT_TRUE(window->Label4->isVisibleTo(window.get()));
    EXPECT_EQ(window->Label4->text(),
              QStringLiteral("Комментарий к вопросу: ") + test::TestComment(82));
    EXPECT_EQ(window->ListView1->currentRow(), 1);

    // Arrow keys walk the list and show each question.
    QTest::keyClick(window->ListView1, Qt::Key_Down);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Билет №5 Вопрос №3"));

    // Escape is "СТОП": the window closes, the statistics reach stat.dat.
    QTest::keyClick(window->ListView1, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closedCalls, 1);
    EXPECT_FALSE(window->SpTimer->isActive());
    const QByteArray saved = ReadAll(StatFilePath(dir.path()));
    ASSERT_EQ(saved.size(), StatRecordSize);
    EXPECT_EQ(ParseStats(saved).question(81).Right[0], 1);
    EXPECT_EQ(ParseStats(saved).question(82).Wrong[0], 1);
}

TEST_F(StudyWindowTest, FontsFollowTheWindowWidth) {
    launchTicket(1);
    window->show();
    const int frame = window->frameGeometry().width() - window->width();
    window->resize(1000 - frame, 700);
    ASSERT_EQ(window->frameGeometry().width(), 1000);
    EXPECT_EQ(window->Label2->font().pointSize(), 18);
    EXPECT_EQ(window->Label3->font().pointSize(), 16);
    EXPECT_EQ(window->Label4->font().pointSize(), 14);
    EXPECT_EQ(window->Label2->font().family(), QStringLiteral("Liberation Serif"));
    window->resize(1001 - frame, 700);
    EXPECT_EQ(window->Label2->font().pointSize(), 20);
    EXPECT_EQ(window->Label3->font().pointSize(), 18);
    EXPECT_EQ(window->Label4->font().pointSize(), 16);
    // Without a picture the question runs across the area and the answers follow it.
    EXPECT_EQ(window->Label2->x(), 8);
    EXPECT_EQ(window->Label3->y(), window->Label2->geometry().bottom() + 1);
    EXPECT_EQ(window->Label4->y(), window->Label3->geometry().bottom() + 11);
    window->resize(500, 300);
    EXPECT_EQ(window->size(), QSize(730, 548));
}

TEST_F(StudyWindowTest, CtrlF5MovesAQuestionOutOfAThemeRun) {
    for (int n = 1; n <= QuestionCount; ++n)
        app.Themes.theme(n) = n <= 12 ? 5 : 9;
    window->setRun(RunRequest::learnTheme(5, 3));
    window->show();
    ASSERT_EQ(window->ListView1->count(), 12);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Билет №1 Вопрос №4"));
    EXPECT_TRUE(window->windowTitle().endsWith(ThemeNames(5)));

    QString prompt;
    {
        test::ExpectDialog<TForm9> move(MoveTitle, [&](TForm9& d) {
            EXPECT_EQ(&d, &window->moveDialog());
            prompt = d.Label1->text();
            EXPECT_EQ(d.ListView2->currentRow(), 4);
            d.ListView2->setCurrentRow(6);
            d.BitBtn1->click();
        });
        QTest::keyClick(window->ListView1, Qt::Key_F5, Qt::ControlModifier);
    }
    EXPECT_EQ(prompt, QStringLiteral("Укажите в какую тему перенести вопрос №4 билета №1"));
    EXPECT_EQ(app.Themes.theme(4), 7);
    EXPECT_EQ(window->ListView1->count(), 11);
    EXPECT_EQ(window->ListView1->currentRow(), 3);
    EXPECT_EQ(window->Label1->text(), QStringLiteral("Билет №1 Вопрос №5"));
    const QByteArray file = ReadAll(ThemeFilePath(dir.path()));
    ASSERT_EQ(file.size(), 1600);
    EXPECT_EQ(uint8_t(file[3]), 7);

    // Shift+Ctrl+F5 is not the command.
    QTest::keyClick(window->ListView1, Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(window->ListView1->count(), 11);
}

TEST_F(StudyWindowTest, TrafficLightMarksByClickHeight) {
    launchTicket(2);
    window->show();
    const int q = 21;
    const std::pair<int, int> clicks[] = {{19, 1}, {20, 0}, {38, 0}, {39, 2}};
    for (auto [y, mark] : clicks) {
        QTest::mouseClick(window->Image2, Qt::LeftButton, {}, QPoint(11, y));
        EXPECT_EQ(app.Themes.mark(q), mark) << y;
        const QByteArray file = ReadAll(ThemeFilePath(dir.path()));
        ASSERT_EQ(file.size(), 1600);
        EXPECT_EQ(uint8_t(file[800 + q - 1]), mark) << y;
    }
    QTest::mouseClick(window->Image2, Qt::RightButton, {}, QPoint(11, 5));
    EXPECT_EQ(app.Themes.mark(q), 1);
}

TEST_F(StudyWindowTest, TrainingVerdictOffersTheReviewInTheSameWindow) {
    app.Config.ExamTime = 60;
    window->setRun(RunRequest::training(3));
    window->show();
    EXPECT_TRUE(window->Timer1->isActive());
    EXPECT_TRUE(window->Label6->isVisibleTo(window.get()));
    EXPECT_EQ(window->Label6->text(), QStringLiteral("00:01:00"));
    EXPECT_EQ(window->Label5->text(), QStringLiteral("Режим тренировки"));
    EXPECT_FALSE(window->Image2->isVisibleTo(window.get()));

    QString headline;
    {
        test::ExpectDialog<TForm4> verdict(VerdictTitle, [&](TForm4& d) {
            EXPECT_EQ(&d, &window->resultDialog());
            headline = d.Label1->text();
            EXPECT_EQ(d.focusWidget(), d.BitBtn2);
            d.BitBtn2->click();
        });
        window->BitBtn7->click();
    }
    EXPECT_EQ(headline, QStringLiteral("К сожалению экзамен не сдан!"));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->Label5->text(), QStringLiteral("Режим обучения"));
    EXPECT_EQ(closedCalls, 0);
    EXPECT_EQ(app.Stats.TicketStatus[2], 2);
    window->BitBtn7->click(); // the review ends without a second verdict
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(closedCalls, 1);
}

TEST(ResultDialog, ButtonsAndFocus) {
    TForm4 dialog;
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowSystemMenuHint);
    EXPECT_EQ(dialog.size(), QSize(362, 189));

    bool reviewFocused = false;
    {
        test::ExpectDialog<TForm4> shown(VerdictTitle, [&](TForm4& d) {
            reviewFocused = d.focusWidget() == d.BitBtn2;
            QTest::keyClick(d.focusWidget(), Qt::Key_Return);
        });
        EXPECT_EQ(dialog.showVerdict(QStringLiteral("Поздравляем вы сдали экзамен!"),
                                     QStringLiteral("Вы отвечали на билет №4"), QString(),
                                     QStringLiteral("Время ответа: 00:03:10"), true),
                  TForm4::ResultReview);
    }
    EXPECT_TRUE(reviewFocused);
    EXPECT_TRUE(dialog.Label3->text().isEmpty());

    test::ExpectDialog<TForm4> shown(VerdictTitle, [&](TForm4& d) {
        QTest::keyClick(&d, Qt::Key_Escape); // no way out but the buttons
        EXPECT_TRUE(d.isVisible());
        d.close();
        EXPECT_TRUE(d.isVisible());
        QTest::keyClick(d.focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(dialog.showVerdict(QStringLiteral("К сожалению экзамен не сдан!"), QString(),
                                 QString(), QString(), false),
              TForm4::ResultOk);
    EXPECT_TRUE(dialog.BitBtn2->isHidden());
}

// The whole road of one event through the real windows: the main window starts learning of
// ticket 5, every answer is given by its digit key, the run ends and the main window shows the
// ticket as learned.
TEST(StudyRoad, MainWindowTicketFiveLearnedByDigitKeys) {
    test::TempDir program, appData, config;
    test::WriteTestDatabase(program.path());
    QSettingsStore store(config.file(QStringLiteral("VRK.ini")));
    test::ScriptedPrompter prompter; // answers No: no next ticket
    SystemRandom random;
    AppState state;
    state.ProgramDir = program.path();
    state.AppDataDir = appData.path();
    state.services.prompter = &prompter;
    state.services.random = &random;
    state.services.store = &store;

    TForm2 form2(state);
    ASSERT_EQ(form2.FormCreate(), StartupResult::Continue);
    TForm1 form1(state);
    ASSERT_EQ(LoadThemesAtStartup(state), StartupResult::Continue);
    state.Config.HideOnFocusLoss = false; // no other program takes the focus here
    int closed = 0;
    form1.setClosedHandler([&] {
        ++closed;
        form2.show();
    });
    WindowLinks links;
    links.showStudy = [&form1](const RunRequest& request) {
        form1.setRun(request);
        form1.show();
    };
    form2.setLinks(links);
    form2.show();

    form2.ListView1->setCurrentRow(4);
    form2.BitBtn1->click();
    ASSERT_TRUE(form1.isVisible());
    EXPECT_FALSE(form2.isVisible());
    EXPECT_EQ(form1.Label1->text(), QStringLiteral("Билет №5 Вопрос №1"));
    EXPECT_EQ(form1.engine().currentNumber(), 81);

    for (int k = 0; k < 20; ++k) {
        const int right = form1.engine().rightButton();
        QTest::keyClick(form1.ListView1, Qt::Key(Qt::Key_0 + right));
        if (k < 19) {
            EXPECT_TRUE(SameIcon(form1.ListView1->item(k)->icon(), form1.itemIcon(MarkRight)));
            EXPECT_EQ(form1.ListView1->currentRow(), k + 1);
        }
    }
    EXPECT_EQ(prompter.texts(),
              QStringList{QStringLiteral(
                  "Вы ответили на все вопросы билета,\n\rперейти к следующему билету? ")});
    EXPECT_FALSE(form1.isVisible());
    EXPECT_EQ(closed, 1);
    EXPECT_TRUE(form2.isVisible());
    EXPECT_EQ(state.Stats.TicketStatus[4], 4);
    EXPECT_EQ(form2.ticketIcons()[4], 4);
    EXPECT_EQ(form2.ListView1->item(4)->toolTip(), QStringLiteral("Пройден при обучении"));
    EXPECT_EQ(state.Stats.question(81).Right[ChannelLearning], 1);
    const QByteArray saved = ReadAll(StatFilePath(state.AppDataDir));
    ASSERT_EQ(saved.size(), StatRecordSize);
    EXPECT_EQ(ParseStats(saved).TicketStatus[4], 4);
}

// Pictures: the question text beside the fitted picture, the answers below both; a picture
// with less than 137 px of room gets 137 px and smaller answer and comment fonts.
TEST(StudyPictureLayout, PictureBesideTheQuestionAndTheSmallAreaRule) {
    test::TempDir dir;
    const std::vector<uint8_t> jpeg = test::EncodeJpeg(test::PhotoLikeBitmap(604, 225, 5), 85);
    auto questions = test::MakeQuestions(
        QByteArray(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size())), 1);
    QuestionSource& crowded = questions[81]; // question 82: five long answers, long comment
    crowded.Answers.clear();
    for (int k = 1; k <= 5; ++k)
        crowded.Answers.push_back(QStringLiteral("Очень длинный вариант ответа ").repeated(6));
    crowded.Comment = QStringLiteral("Длинное пояснение к вопросу. ").repeated(20);
    questions[83].Comment = QStringLiteral("Очень длинное пояснение к вопросу. ").repeated(300);
    AppState app;
    ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path(), questions)).ok());
    SystemRandom random;
    app.services.random = &random;
    app.AppDataDir = dir.path();
    app.Config.HideOnFocusLoss = false;
    TForm1 window(app);
    window.setRun(RunRequest::learnTicket(5));
    window.resize(1024, 700);
    window.show();

    ASSERT_TRUE(window.Image1->isVisibleTo(&window));
    const QRect img = window.Image1->geometry();
    EXPECT_EQ(img.topLeft(), QPoint(8, 8));
    EXPECT_NEAR(img.height(), img.width() * 225.0 / 604.0, 1.0);
    EXPECT_EQ(window.Image1->pixmap().size(), img.size());
    const QImage shown = window.Image1->pixmap().toImage();
    EXPECT_NE(shown.pixelColor(img.width() / 2, img.height() / 2), QColor(Qt::white));
    EXPECT_EQ(window.Label2->x(), img.right() + 1 + 10);
    EXPECT_EQ(window.Label2->y(), 8);
    EXPECT_EQ(window.Label3->y(),
              std::max(img.bottom(), window.Label2->geometry().bottom()) + 1 + 10);
    EXPECT_EQ(window.Label4->y(), window.Label3->geometry().bottom() + 1 + 10);
    EXPECT_EQ(window.Label3->font().pointSize(), 18);

    // Resizing fits the picture again.
    window.resize(1300, 800);
    EXPECT_GT(window.Image1->width(), img.width());
    EXPECT_EQ(window.Image1->pixmap().size(), window.Image1->size());

    window.resize(730, 548);
    window.ListView1->setCurrentRow(1);
    EXPECT_EQ(window.Label3->font().pointSize(), 10);
    EXPECT_EQ(window.Label4->font().pointSize(), 8);
    EXPECT_EQ(window.Label3->y(),
              std::max(window.Image1->geometry().bottom(), window.Label2->geometry().bottom()) + 1 +
                  10);
    // The next question starts again from the fonts of the table.
    window.ListView1->setCurrentRow(2);
    EXPECT_EQ(window.Label3->font().pointSize(), 12);

    // Wider than the table reaches, the fonts stay those last chosen: a crowded picture makes
    // them smaller once, not once more on every layout pass.
    window.resize(1100, 548);
    window.ListView1->setCurrentRow(3);
    window.resize(3100, 548);
    ASSERT_GT(window.frameGeometry().width(), 3000);
    const int answers = window.Label3->font().pointSize();
    const int comment = window.Label4->font().pointSize();
    for (int h = 549; h < 560; ++h)
        window.resize(3100, h);
    EXPECT_EQ(window.Label3->font().pointSize(), answers);
    EXPECT_EQ(window.Label4->font().pointSize(), comment);
    EXPECT_GE(answers, 16);
}
