// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/platform.h"

#include <QMessageBox>
#include <QPointer>

#include <vector>

class QWidget;

namespace bil {

// Message boxes and the file dialogs of the program.
class QtPrompter final : public Prompter {
public:
    // Dialogs are centred over parent when given (it may change later through setParent).
    explicit QtPrompter(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }

    bool askYesNo(const QString& caption, const QString& text) override;
    bool ask(const YesNoQuestion& question) override;
    void message(const QString& caption, const QString& text, Icon icon) override;
    QString chooseOpenFile(const QString& title, const QString& folder,
                           const QString& filter) override;
    QString chooseOpenFileWithPlaces(const QString& title, const QString& folder,
                                     const QString& filter, const QStringList& places) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    QString chooseSaveFile(const QString& title, const QString& proposed,
                           const QString& filter) override;
    // A calendar with «ОК», «Без даты» and «Отмена».
    DateChoice chooseDate(const QString& title, const QString& text, const QDate& current,
                          const QDate& earliest) override;
    std::optional<int> chooseNumber(const QString& title, const QString& text, int current, int min,
                                    int max) override;
    void closeQuestions() override;

private:
    QWidget* m_parent;
    std::vector<QPointer<QMessageBox>> m_questions; // Yes/No boxes open now, innermost last
};

} // namespace bil
