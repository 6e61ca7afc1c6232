// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/run_request.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;

namespace bil {

// "Поиск вопросов": the results follow every keystroke; Enter or a double click starts learning
// over them in the study window, at the chosen result.
class SearchWindow : public QDialog {
public:
    explicit SearchWindow(AppState& app, QWidget* parent = nullptr);

    // Shows the study window modally for a run and returns after it closed.
    void setStudyLauncher(StudyLauncher launch) { m_launchStudy = std::move(launch); }

    // Runs the query and fills the list.
    void runQuery(const QString& query);
    // Starts learning over the results at result row (0-based); nothing without results.
    void startLearning(int row);
    const std::vector<SearchHit>& hits() const { return m_hits; }

    QLineEdit* Edit1 = nullptr;      // the query
    QLabel* Label1 = nullptr;        // how many were found
    QListWidget* ListBox1 = nullptr; // the results

    // Item roles: the question number, and the result drawn as rich text.
    static constexpr int NumberRole = Qt::UserRole + 1;
    static constexpr int HtmlRole = Qt::UserRole + 2;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppState& m_app;
    StudyLauncher m_launchStudy;
    std::vector<SearchHit> m_hits;
    QString m_query;
};

// The rich text of one result: "Билет N, вопрос M", the theme name, the question text with the
// ranges highlighted.
QString SearchResultHtml(int number, const QString& themeName, const QString& text,
                         const std::vector<TextRange>& highlights);

} // namespace bil
