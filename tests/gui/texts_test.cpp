#include "app/app_state.h"
#include "app/random.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/translations.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "ui/result_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include <gtest/gtest.h>

#include <functional>

using namespace bil;

namespace {

// Runs act on the message box that the next call opens, then closes it.
void OnNextMessageBox(std::function<void(QMessageBox&)> act) {
    QTimer::singleShot(0, [act = std::move(act)] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(*box);
        box->done(QMessageBox::Ok);
    });
}

// The engine breaks lines as LF CR: no label or message box may show the CR as a blank.
TEST(Texts, LineBreaksReachNoLabelOrMessageBox) {
    TForm4 dialog;
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(dialog.Label2->text(),
                  QStringLiteral("В основном блоке ошибок: 1\nВ дополнительном блоке: 1"));
        dialog.BitBtn1->click();
    });
    dialog.showVerdict(QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"),
                       QStringLiteral("В основном блоке ошибок: 1\n\rВ дополнительном блоке: 1"),
                       QString(), QStringLiteral("Время ответа: 00:03:10"), false);

    QtPrompter prompter;
    QString shown;
    OnNextMessageBox([&](QMessageBox& box) { shown = box.text(); });
    prompter.message(QStringLiteral("Внимание!"), QStringLiteral("ТРИ ОШИБКИ!!!\n\rВы уже"),
                     Prompter::Icon::Warning);
    EXPECT_EQ(shown, QStringLiteral("ТРИ ОШИБКИ!!!\nВы уже"));
    OnNextMessageBox([&](QMessageBox& box) { shown = box.text(); });
    prompter.message(QStringLiteral("Внимание!"), QStringLiteral("a\r\nb\rc\n\r\n\rd"),
                     Prompter::Icon::Warning);
    EXPECT_EQ(shown, QStringLiteral("a\nb\nc\n\nd"));
}

// The training's time-out is an error, with the error icon of the message box.
TEST(Texts, TimeOutMessageShowsTheErrorIcon) {
    test::TempDir dir;
    AppState app;
    ASSERT_TRUE(app.Db.OpenDatabase(test::WriteTestDatabase(dir.path())).ok());
    app.AppDataDir = dir.path();
    test::ScriptedPrompter scripted;
    SystemRandom random;
    app.services.prompter = &scripted;
    app.services.random = &random;
    app.Config.HideOnFocusLoss = false;
    app.Config.ExamTime = 1;
    TForm1 window(app);
    window.setRun(RunRequest::training(2));
    TForm4 verdict;
    window.setResultDialog(&verdict);
    QTimer::singleShot(0, [&] { verdict.BitBtn1->click(); });
    window.show();
    window.engine().countdownSecond();
    ASSERT_FALSE(scripted.shown().empty());
    EXPECT_EQ(scripted.shown()[0].text, QStringLiteral("Время закончилось! "));
    EXPECT_EQ(scripted.shown()[0].caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(scripted.shown()[0].icon, Prompter::Icon::Error);

    QtPrompter prompter;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextMessageBox([&](QMessageBox& box) { icon = box.icon(); });
    prompter.message(QStringLiteral("Внимание!"), QStringLiteral("Время закончилось! "),
                     Prompter::Icon::Error);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

// Start-up installs Qt's Russian texts whatever the system's language: the buttons Qt draws
// itself read "Отмена", not "Cancel".
TEST(Texts, QtsOwnTextsAreRussianAfterStartUp) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTranslator* translator = InstallQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_ru.qm (qt6-translations-l10n) is missing";
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Yes | QDialogButtonBox::No);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("Отмена"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::Yes)->text().remove(QLatin1Char('&')),
              QStringLiteral("Да"));
    EXPECT_EQ(buttons.button(QDialogButtonBox::No)->text().remove(QLatin1Char('&')),
              QStringLiteral("Нет"));
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(QLocale::system());
}

} // namespace
