// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ui/qt_prompter.h"

#include "app/ui/line_breaks.h"

#include <QAbstractButton>
#include <QCalendarWidget>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextEdit>
#include <QUrl>
#include <QVBoxLayout>

namespace bil {

namespace {

QMessageBox::Icon toQt(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The box's own button for the details, named as the learner is told. The box puts Qt's words
// (English without its translations) on it at each click, in its handler of the button row's
// clicks, which this one follows.
void NameDetailsButton(QMessageBox& box) {
    const QTextEdit* list = box.findChild<QTextEdit*>();
    auto* row = box.findChild<QDialogButtonBox*>();
    for (QAbstractButton* details : box.buttons()) {
        if (box.buttonRole(details) != QMessageBox::ActionRole)
            continue;
        const auto name = [details, list, &box] {
            details->setText(list && list->isVisibleTo(&box) ? QStringLiteral("Скрыть подробности")
                                                             : QStringLiteral("Подробнее…"));
        };
        name();
        if (row)
            QObject::connect(row, &QDialogButtonBox::clicked, &box,
                             [details, name](QAbstractButton* clicked) {
                                 if (clicked == details)
                                     name();
                             });
    }
}

} // namespace

bool QtPrompter::askYesNo(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, DisplayLines(text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(QMessageBox::Yes);
    m_questions.emplace_back(&box);
    const int answer = box.exec();
    std::erase_if(m_questions, [&box](const QPointer<QMessageBox>& q) { return !q || q == &box; });
    return answer == QMessageBox::Yes;
}

bool QtPrompter::ask(const YesNoQuestion& question) {
    QMessageBox box(QMessageBox::Question, question.Caption, DisplayLines(question.Text),
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Да"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Нет"));
    box.setDefaultButton(question.DefaultYes ? QMessageBox::Yes : QMessageBox::No);
    if (!question.Details.isEmpty()) {
        box.setDetailedText(question.Details);
        NameDetailsButton(box);
    }
    m_questions.emplace_back(&box);
    const int answer = box.exec();
    std::erase_if(m_questions, [&box](const QPointer<QMessageBox>& q) { return !q || q == &box; });
    return answer == QMessageBox::Yes;
}

void QtPrompter::closeQuestions() {
    for (const QPointer<QMessageBox>& box : m_questions)
        if (box && box->isVisible())
            box->done(QMessageBox::No);
}

void QtPrompter::message(const QString& caption, const QString& text, Icon icon) {
    QMessageBox box(toQt(icon), caption, DisplayLines(text), QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtPrompter::chooseOpenFile(const QString& title, const QString& folder,
                                   const QString& filter) {
    return QFileDialog::getOpenFileName(m_parent, title, folder, filter);
}

QString QtPrompter::chooseOpenFileWithPlaces(const QString& title, const QString& folder,
                                             const QString& filter, const QStringList& places) {
    QFileDialog dialog(m_parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    // The side bar is Qt's own dialog's: a desktop's dialog would not list the added folders.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    QList<QUrl> sideBar = dialog.sidebarUrls();
    for (const QString& place : places) {
        const QUrl url = QUrl::fromLocalFile(place);
        if (!place.isEmpty() && !sideBar.contains(url))
            sideBar << url;
    }
    dialog.setSidebarUrls(sideBar);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

QString QtPrompter::chooseFolder(const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(m_parent, title, folder);
}

QString QtPrompter::chooseSaveFile(const QString& title, const QString& proposed,
                                   const QString& filter) {
    const QFileInfo start(proposed);
    QFileDialog dialog(m_parent, title, start.absolutePath(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A name typed without the extension gets the filter's one before the overwrite question,
    // so that the question names the file that would be replaced. Qt's own dialog does this in
    // that order on every desktop; a native one may ask about the name as typed.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    static const QRegularExpression firstPattern(QStringLiteral("\\*\\.([A-Za-z0-9]+)"));
    if (const QRegularExpressionMatch m = firstPattern.match(filter); m.hasMatch())
        dialog.setDefaultSuffix(m.captured(1));
    dialog.selectFile(start.fileName());
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

Prompter::DateChoice QtPrompter::chooseDate(const QString& title, const QString& text,
                                            const QDate& current, const QDate& earliest) {
    QDialog dialog(m_parent);
    dialog.setWindowTitle(title);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(DisplayLines(text), &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* calendar = new QCalendarWidget(&dialog);
    calendar->setObjectName(QStringLiteral("ExamCalendar"));
    calendar->setGridVisible(true);
    calendar->setFirstDayOfWeek(Qt::Monday);
    if (earliest.isValid())
        calendar->setMinimumDate(earliest);
    calendar->setSelectedDate(current.isValid() ? current : earliest);
    layout->addWidget(calendar);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QStringLiteral("ОК"), QDialogButtonBox::AcceptRole);
    QPushButton* clear =
        buttons->addButton(QStringLiteral("Без даты"), QDialogButtonBox::ResetRole);
    buttons->addButton(QStringLiteral("Отмена"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);
    bool cleared = false;
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    QObject::connect(clear, &QPushButton::clicked, &dialog, [&dialog, &cleared] {
        cleared = true;
        dialog.accept();
    });
    // A double click on a day chooses it.
    QObject::connect(calendar, &QCalendarWidget::activated, &dialog, &QDialog::accept);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return {true, cleared ? QDate() : calendar->selectedDate()};
}

std::optional<int> QtPrompter::chooseNumber(const QString& title, const QString& text, int current,
                                            int min, int max) {
    bool ok = false;
    const int value =
        QInputDialog::getInt(m_parent, title, DisplayLines(text), current, min, max, 1, &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace bil
