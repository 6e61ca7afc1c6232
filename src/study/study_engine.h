// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/duration_text.h"
#include "app/run_request.h"
#include "data/database.h"
#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace bil {

// Where the study window is in its life.
enum class StudyState {
    Hidden,   // before the first run and after every close
    Running,  // a run is open and counting seconds
    Complete, // a learning-family run whose every item is answered right; the seconds stop
};

// List marks of the question list, also the icon index.
enum ItemMark : uint8_t { MarkUnanswered = 0, MarkWrong = 1, MarkRight = 2 };

// Icon sets of the question list: 1 shows right and wrong, 2 hides which is which.
enum IconSet : int { IconsResults = 1, IconsHidden = 2 };

struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// The four lines of the verdict dialog after a training ticket.
struct StudyVerdict {
    bool Passed = false;
    QString Headline;
    QString First;
    QString Second;
    QString Time;
};

// Files and names the engine needs; the window passes the real ones, tests pass fakes.
struct StudyIo {
    std::function<Result<TQuestion>(int number)> loadQuestion;
    std::function<Status()> saveStats;  // writes the whole statistics record
    std::function<Status()> saveThemes; // rewrites tema4.dat from the theme table
};

// What the study window does for the engine. Every notice has a do-nothing default, so a test
// front end overrides only what it watches.
class StudyFrontEnd {
public:
    virtual ~StudyFrontEnd() = default;
    // The list was refilled: runCount() items "Вопрос №k", marks and icon set as the engine says.
    virtual void listRebuilt() {}
    // Mark of one item (or of all, index -1) or the icon set changed.
    virtual void marksChanged(int /*index*/) {}
    // Make item index the selected, focused and current item, scrolled into view; no selection
    // event may come back to the engine.
    virtual void selectListItem(int /*index*/) {}
    // A question was loaded: picture, texts, buttons, comment, statinformer, light; lay out.
    virtual void questionShown() {}
    // Buttons or comment visibility of the question on screen changed.
    virtual void answerStateChanged() {}
    // Pie, seconds counter or counter visibility changed.
    virtual void statInformerChanged() {}
    // The traffic light's mark changed.
    virtual void lightChanged() {}
    // Run caption, its colour or the window caption changed.
    virtual void captionsChanged() {}
    // The training time text or its visibility changed.
    virtual void timeChanged() {}
    // A timer was started or stopped: follow secondsTimerOn() and countdownOn().
    virtual void timersChanged() {}
    // "СТОП": close the window. Its close event must call StudyEngine::close().
    virtual void closeWindow() = 0;
    // The verdict dialog, modal; 1 for "OK", 2 for "Проверить результаты".
    virtual int showVerdict(const StudyVerdict& verdict) = 0;
    // The move-to-theme dialog, modal, with theme preselected: -1 closed by its close box, 0 OK
    // with no theme chosen, otherwise the chosen theme 1..26.
    virtual int chooseTheme(const QString& prompt, int preselected) = 0;
    // Minimise the whole program.
    virtual void minimizeApplication() {}
    // The run on screen ended or was replaced: close what belongs to it.
    virtual void runEnded() {}
};

// Point sizes of the question, answers and comment for a window of the given outer width;
// none above 3000 px, where the fonts stay as they are.
struct QuestionFonts {
    int Question = 0;
    int Answers = 0;
    int Comment = 0;
};
bool QuestionFontSizes(int windowWidth, QuestionFonts& fonts);

// The rules of the study window: building a run, showing and judging questions, timers,
// completion, verdicts and the close. It owns no widget; the window draws its state. Its
// definitions are one file per subject: study_run_build, study_question, study_judge,
// study_timing, study_completion, and the commands in study_engine.
class StudyEngine {
public:
    StudyEngine(AppState& app, StudyIo io, StudyFrontEnd& front);

    // Builds the run the request asks for and shows its question at StartItem; also run on the
    // open window to restart it.
    void startRun(RunRequest request);
    // Shows the question of list item index (0-based); the list's selection event.
    void showItem(int index);
    // Answer button 1..5 pressed; ignored unless it is visible and enabled.
    void answer(int button);
    // Enter in the list: the first enabled visible answer button, 0 when none.
    int firstEnabledButton() const;
    // Ctrl+F5 in the list: move the question on screen to another theme.
    void moveToTheme();
    // Double click on the list: switch the icon sets.
    void switchIconSet();
    // Double click on the empty area: show the comment (learning family).
    void showComment();
    // Click on the pie or the counter: toggle the counter.
    void toggleCounter();
    // Click on the traffic light at height y within it.
    void markByLight(int y);
    // Help topics of the comment: the menu captions (pair i at i).
    std::vector<QString> helpLinkCaptions();
    // Menu item i (0-based pair) of the comment's help menu.
    void openHelpLink(int pair);
    // Help button of the window.
    void openHelp();

    // One second of the question on screen (the seconds timer).
    void questionSecond();
    // One second of the training countdown.
    void countdownSecond();
    // "СТОП": asks the front end to close; the close event runs close().
    void stop();
    // Close rules; false when the close is turned into a training review (the window stays).
    bool close();

    // Program-wide hooks: minimised, restored or activated, focus lost to another program.
    void programMinimized();
    void programActivated();
    void programDeactivated();

    // State for the window and for tests.
    StudyState state() const { return m_state; }
    RunType runType() const { return m_run.Type; }
    // The run as started, with the ticket or theme it moved on to and the item to start at.
    const RunRequest& run() const { return m_run; }
    int ticket() const { return m_ticket; } // ticket of the question on screen
    int runCount() const { return m_runCount; }
    int runListAt(int k) const { return m_runList[k - 1]; } // entry k (1-based)
    int runPos() const { return m_runPos; }
    int posNo() const { return m_posNo; }
    int rightButton() const { return m_rightButton; }
    int runRight() const { return m_runRight; }
    int runWrong() const { return m_runWrong; }
    int rightItems() const { return m_rightItems; }
    int threeErrorsWarned() const { return m_threeErrorsWarned; }
    int swapSlot(int p) const { return m_swapSlot[p - 1]; } // list position p (1-based)
    int currentMark() const { return m_currentMark; }
    int timeLeft() const { return m_timeLeft; }    // seconds
    int currentNumber() const { return m_number; } // question on screen, 0 when none
    const TQuestion& currentQuestion() const { return m_question; }
    uint8_t mark(int index) const { return m_marks[index]; } // item 0-based
    int iconSet() const { return m_iconSet; }

    const QString& heading() const { return m_heading; }
    const QString& questionText() const { return m_question.Text; }
    const QString& answersText() const { return m_answers; }
    const QString& commentText() const { return m_comment; }
    bool commentVisible() const { return m_commentVisible; }
    bool buttonVisible(int b) const { return b <= m_question.AnswerCount; }
    bool buttonEnabled(int b) const { return m_enabled[b - 1]; }
    const QString& buttonCaption(int b) const { return m_captions[b - 1]; }
    bool statInformerVisible() const { return m_statVisible; }
    bool counterVisible() const { return m_counterVisible; }
    int pieRight() const { return m_pieRight; }
    int pieWrong() const { return m_pieWrong; }
    QString counterText() const { return QString::number(m_seconds); }
    bool lightVisible() const { return m_lightVisible; }

    const QString& runCaption() const { return m_runCaption; }
    Rgb runCaptionColor() const { return m_runCaptionColor; }
    const QString& windowCaption() const { return m_windowCaption; }
    QString timeText() const { return FormatDuration(m_timeLeft); }
    bool timeVisible() const { return m_timeVisible; }
    bool secondsTimerOn() const { return m_spOn; }
    bool countdownOn() const { return m_t1On; }

private:
    bool learningFamily() const { return m_run.Type != RunType::Training; }
    // Starts the open run again from its request (next ticket or theme, a moved question).
    void restart();
    void buildList();
    void setCaptions();
    void showQuestion(int index);
    void showNoQuestion();
    void swapAnswers();
    void refreshStatInformer();
    void revealComment();
    // Err: an answered question leaves only its right button to press.
    void enableOnlyRightButton();
    void moveOn();
    void completionRules();
    void setTimers(bool sp, bool t1);
    void saveThemes();
    // The open run is over (or replaced): questions still asked about it are closed, and their
    // answers, when they come back, are recognised by the changed run identity.
    void endRun();
    // Asks a Yes/No question about the open run; nothing when the run ended while it was open.
    // Without a prompter the answer is the given one.
    std::optional<bool> askAboutRun(const QString& question, bool withoutPrompter);
    Prompter* prompter() const { return m_app.services.prompter; }
    // Journals the judged answer of button b on the question on screen.
    void journalAnswer(int button, bool right);

    AppState& m_app;
    StudyIo m_io;
    StudyFrontEnd& m_front;

    StudyState m_state = StudyState::Hidden;
    unsigned m_runId = 0; // changes whenever a run starts or ends
    RunRequest m_run;
    int m_ticket = 0;
    std::vector<int> m_runList;
    int m_runCount = 0;
    std::vector<uint8_t> m_marks;
    std::array<uint8_t, QuestionCount> m_swapSlot{};
    int m_iconSet = IconsResults;
    int m_runPos = 0;
    int m_posNo = 0;
    int m_number = 0;
    int m_rightButton = 0;
    int m_runRight = 0;
    int m_runWrong = 0;
    int m_rightItems = 0;
    int m_threeErrorsWarned = 0;
    int m_currentMark = 0;
    int m_timeLeft = 0;
    TQuestion m_question;

    QString m_heading;
    QString m_answers;
    QString m_comment;
    bool m_commentVisible = false;
    std::array<bool, MaxAnswers> m_enabled{};
    std::array<QString, MaxAnswers> m_captions;
    bool m_statVisible = false;
    bool m_counterVisible = false;
    bool m_lightVisible = false;
    int m_pieRight = 0;
    int m_pieWrong = 0;
    int m_seconds = 0;
    int m_questionSeconds = 0; // seconds the question on screen has been shown this time
    // Questions answered in this run: only the first answer to each is a review.
    std::bitset<QuestionCount> m_answeredInRun;
    bool m_revealJournaled = false; // the comment-revealing click already journaled the answer

    QString m_runCaption;
    Rgb m_runCaptionColor;
    QString m_windowCaption = QStringLiteral("Билетория DER UZIRI 2023");
    bool m_timeVisible = false;

    // Timers: on now, and the running flag that a restore brings back.
    bool m_spOn = false, m_spFlag = false;
    bool m_t1On = false, m_t1Flag = false;
};

} // namespace bil
