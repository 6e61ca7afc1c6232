// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/app_state.h"
#include "app/random.h"
#include "app/startup.h"
#include "app/ui/qt_prompter.h"
#include "app/ui/translations.h"
#include "expect_dialog.h"
#include "scripted_prompter.h"
#include "study/ui/study_window.h"
#include "test_db.h"
#include "ui/result_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace bil;

namespace {

// Runs act on the message box "Внимание!" that the next call opens, then closes it; the test
// fails if none came by the time the returned object ends.
[[nodiscard]] std::unique_ptr<test::ExpectDialog<QMessageBox>>
OnNextMessageBox(std::function<void(QMessageBox&)> act) {
    return std::make_unique<test::ExpectDialog<QMessageBox>>(
        QStringLiteral("Внимание!"), [act = std::move(act)](QMessageBox& box) {
            act(box);
            box.done(QMessageBox::Ok);
        });
}

// The engine breaks lines as LF CR: no label or message box may show the CR as a blank.
TEST(Texts, LineBreaksReachNoLabelOrMessageBox) {
    TForm4 dialog;
    test::ExpectDialog<TForm4> verdict(QStringLiteral("Билетория DER UZIRI"), [](TForm4& d) {
        EXPECT_EQ(d.Label2->text(),
                  QStringLiteral("В основном блоке ошибок: 1\nВ дополнительном блоке: 1"));
        d.BitBtn1->click();
    });
    dialog.showVerdict(QStringLiteral("ЭКЗАМЕН ПРОВАЛЕН!"),
                       QStringLiteral("В основном блоке ошибок: 1\n\rВ дополнительном блоке: 1"),
                       QString(), QStringLiteral("Время ответа: 00:03:10"), false);

    QtPrompter prompter;
    QString shown;
    auto box = OnNextMessageBox([&](QMessageBox& b) { shown = b.text(); });
    prompter.message(QStringLiteral("Внимание!"), QStringLiteral("ТРИ ОШИБКИ!!!\n\rВы уже"),
                     Prompter::Icon::Warning);
    EXPECT_EQ(shown, QStringLiteral("ТРИ ОШИБКИ!!!\nВы уже"));
    box = OnNextMessageBox([&](QMessageBox& b) { shown = b.text(); });
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
    {
        test::ExpectDialog<TForm4> shown(QStringLiteral("Билетория DER UZIRI"),
                                         [](TForm4& d) { d.BitBtn1->click(); });
        window.show();
        window.engine().countdownSecond();
    }
    ASSERT_FALSE(scripted.shown().empty());
    EXPECT_EQ(scripted.shown()[0].text, QStringLiteral("Время закончилось! "));
    EXPECT_EQ(scripted.shown()[0].caption, QStringLiteral("Внимание!"));
    EXPECT_EQ(scripted.shown()[0].icon, Prompter::Icon::Error);

    QtPrompter prompter;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    const auto box = OnNextMessageBox([&](QMessageBox& b) { icon = b.icon(); });
    prompter.message(QStringLiteral("Внимание!"), QStringLiteral("Время закончилось! "),
                     Prompter::Icon::Error);
    EXPECT_EQ(icon, QMessageBox::Critical);
}

// A save name typed without the extension: the overwrite question names the file with it, and
// that is the file chosen.
TEST(Texts, SaveDialogAddsTheExtensionBeforeAskingToOverwrite) {
    test::TempDir dir;
    const QString existing = dir.file(QStringLiteral("Мой прогресс.biletoria"));
    test::WriteBytes(existing, "старый");
    QString question;
    const QString title = QStringLiteral("Сохранить прогресс в файл");
    test::ExpectDialog<QFileDialog> save(title, [&](QFileDialog& dialog) {
        auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("Мой прогресс"));
        test::ExpectDialog<QMessageBox> overwrite(title, [&](QMessageBox& box) {
            question = box.text();
            box.button(QMessageBox::Yes)->click();
        });
        QMetaObject::invokeMethod(&dialog, "accept", Qt::DirectConnection);
    });
    QtPrompter prompter;
    const QString chosen = prompter.chooseSaveFile(
        title, dir.file(QStringLiteral("Новый.biletoria")),
        QStringLiteral("Файлы прогресса Билетории (*.biletoria);;Все файлы (*)"));
    EXPECT_TRUE(question.contains(QStringLiteral("Мой прогресс.biletoria")))
        << question.toStdString();
    EXPECT_EQ(chosen, existing);
}

// Start-up installs Qt's Russian texts whatever the system's language: the buttons Qt draws
// itself read "Отмена", not "Cancel", and dates in the file dialogs are Russian.
TEST(Texts, QtsOwnTextsAreRussianAfterStartUp) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QTranslator* translator = InstallQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_ru.qm (qt6-translations-l10n) is missing";
    EXPECT_EQ(QLocale().language(), QLocale::Russian);
    EXPECT_EQ(QLocale().standaloneMonthName(3), QStringLiteral("март"));
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

// "Выбрать базу вопросов" opens where the database in use is, with the hidden data folder in
// the side bar.
TEST(Texts, DatabaseDialogOpensBesideTheDatabaseWithTheDataFolderAtHand) {
    test::TempDir databases, data;
    QtPrompter prompter;
    QString folder;
    QList<QUrl> sideBar;
    test::ExpectDialog<QFileDialog> dialog(startup_text::OpenDialogTitle, [&](QFileDialog& d) {
        folder = d.directory().absolutePath();
        sideBar = d.sidebarUrls();
        d.reject();
    });
    EXPECT_TRUE(prompter
                    .chooseOpenFileWithPlaces(startup_text::OpenDialogTitle, databases.path(),
                                              startup_text::OpenDialogFilter, {data.path()})
                    .isEmpty());
    EXPECT_EQ(QDir(folder).canonicalPath(), QDir(databases.path()).canonicalPath());
    EXPECT_TRUE(sideBar.contains(QUrl::fromLocalFile(data.path())));
}

} // namespace
