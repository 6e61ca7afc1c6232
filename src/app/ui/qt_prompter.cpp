#include "app/ui/qt_prompter.h"

#include "app/ui/line_breaks.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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
        // The box's own button for the details, named as the learner is told.
        for (QAbstractButton* button : box.buttons())
            if (box.buttonRole(button) == QMessageBox::ActionRole)
                button->setText(QStringLiteral("Подробнее…"));
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

QString QtPrompter::chooseFolder(const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(m_parent, title, folder);
}

QString QtPrompter::chooseSaveFile(const QString& title, const QString& proposed,
                                   const QString& filter) {
    return QFileDialog::getSaveFileName(m_parent, title, proposed, filter);
}

} // namespace bil
