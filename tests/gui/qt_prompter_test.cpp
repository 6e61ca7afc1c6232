// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/release_update.h"
#include "app/ui/qt_prompter.h"
#include "expect_dialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <functional>

using namespace bil;

namespace {

// A new release where one question moved and one changed.
ReleasePlan TwoChanges() {
    ReleasePlan plan;
    plan.Title = QStringLiteral("Билеты АВ");
    plan.Diff.Items = {{QuestionDiff::Kind::Moved, 3, 25, 0},
                       {QuestionDiff::Kind::Changed, 40, 40, PartText}};
    plan.Diff.Unchanged = 798;
    plan.Diff.Moved = 1;
    plan.Diff.Changed = 1;
    return plan;
}

QAbstractButton* ButtonReading(QMessageBox& box, const QString& text) {
    for (QAbstractButton* button : box.buttons())
        if (button->text() == text)
            return button;
    return nullptr;
}

} // namespace

// «Подробнее…» opens the list of changes below the question and closes it again, under the
// same words both times, and the box stays open for the answer.
TEST(QtPrompterDetails, TheButtonShowsAndHidesTheListOfChanges) {
    const ReleasePlan plan = TwoChanges();
    QString text, details, shownLabel, hiddenLabel;
    bool shownAfterClick = false, hiddenAfterSecond = false, openAfterClicks = false;
    test::ExpectDialog<QMessageBox> box(
        QStringLiteral("Новый выпуск билетов"), [&](QMessageBox& b) {
            text = b.text();
            QAbstractButton* more = ButtonReading(b, QStringLiteral("Подробнее…"));
            ASSERT_NE(more, nullptr);
            auto* list = b.findChild<QTextEdit*>();
            ASSERT_NE(list, nullptr);
            EXPECT_FALSE(list->isVisible());
            more->click();
            shownAfterClick = list->isVisible();
            details = list->toPlainText();
            shownLabel = more->text();
            more->click();
            hiddenAfterSecond = !list->isVisible();
            hiddenLabel = more->text();
            openAfterClicks = b.isVisible();
            b.button(QMessageBox::No)->click();
        });
    QtPrompter prompter;
    EXPECT_FALSE(AskReleaseUpdate(prompter, plan));
    EXPECT_EQ(text, QStringLiteral("Загружается новый выпуск билетов «Билеты АВ».\nИзменилось "
                                   "вопросов: 1, переставлено: 1; результаты по остальным 798 "
                                   "сохранятся.\nЗаменить прежние билеты новыми? Изменённые "
                                   "вопросы можно будет пройти отдельно: «Изменённые вопросы»."));
    EXPECT_TRUE(shownAfterClick);
    EXPECT_EQ(details, ReleaseDetailsText(plan.Diff));
    EXPECT_TRUE(hiddenAfterSecond);
    EXPECT_TRUE(openAfterClicks);
    EXPECT_EQ(shownLabel, QStringLiteral("Скрыть подробности"));
    EXPECT_EQ(hiddenLabel, QStringLiteral("Подробнее…"));
}

// The answer leaves the screen with the box: Enter takes the careful «Нет», Escape too, «Да»
// says yes.
TEST(QtPrompterDetails, TheBoxClosesWithTheAnswerGiven) {
    const ReleasePlan plan = TwoChanges();
    QtPrompter prompter;
    const auto answer = [&](std::function<void(QMessageBox&)> act) {
        test::ExpectDialog<QMessageBox> box(QStringLiteral("Новый выпуск билетов"), act);
        const bool yes = AskReleaseUpdate(prompter, plan);
        for (QWidget* w : QApplication::topLevelWidgets())
            EXPECT_FALSE(qobject_cast<QMessageBox*>(w) && w->isVisible());
        return yes;
    };
    EXPECT_FALSE(answer([](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Return); }));
    EXPECT_FALSE(answer([](QMessageBox& b) { QTest::keyClick(&b, Qt::Key_Escape); }));
    EXPECT_TRUE(answer([](QMessageBox& b) {
        ButtonReading(b, QStringLiteral("Подробнее…"))->click();
        b.button(QMessageBox::Yes)->click();
    }));
}
