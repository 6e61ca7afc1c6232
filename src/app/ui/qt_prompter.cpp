#include "app/ui/qt_prompter.h"

#include "app/ui/line_breaks.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

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
    return QFileDialog::getSaveFileName(m_parent, title, proposed, filter);
}

} // namespace bil
