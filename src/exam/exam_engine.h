// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/app_state.h"
#include "app/duration_text.h"
#include "app/run_request.h"
#include "data/database.h"
#include "data/jpeg.h"
#include "data/status.h"
#include "stats/answer_journal.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <functional>
#include <vector>

namespace bil {

// One exam slot (slot s = index + 1): the question shown there and how it was answered.
struct ExamSlot {
    int Question = 0; // question number 1..800; 0 until its stage starts
    TQuestion Q;      // Ticket, InTicket, Correct, Text, Answers, AnswerCount, Comment, HasPicture
    QString AnswerList; // "k. answer" + LF CR per answer, in stored order
    Bitmap Picture;     // decoded at the stage start; 0 x 0 without a picture or when damaged
    int Answered = 0;   // 1 once answered (or counted as answered at a time-out)
    int AnsweredRight = 0;
    int Chosen = 0;  // answer button 1..5 accepted
    int Seconds = 0; // seconds its question window was open
};

// The four lines and the review button of the result dialog.
struct ExamVerdict {
    QString Headline;
    QString FirstLine;
    QString SecondLine;
    QString TimeLine;
    bool ReviewOffered = true;
};

// What the exam window does for the engine; tests record these calls.
class ExamFrontEnd {
public:
    virtual ~ExamFrontEnd() = default;
    // The questions of a stage are loaded: show the stage's tiles (all 30 rebuilt when newExam).
    virtual void stageStarted(bool newExam) = 0;
    // The current tile or an answered mark changed.
    virtual void tilesChanged() = 0;
    // The clock text changed.
    virtual void clockChanged() = 0;
    // The countdown timer is switched on or off.
    virtual void timerChanged(bool running) = 0;
    // Closes the exam question window without an answer when it is shown.
    virtual void closeQuestion() = 0;
    // Shows the verdict modally; true when the learner asked for the review.
    virtual bool showVerdict(const ExamVerdict& verdict) = 0;
    // Shows the study window modally for the review of the exam.
    virtual void showReview(const RunRequest& review) = 0;
    // Closes the exam window; its close then only shows the main window.
    virtual void closeWindow() = 0;
};

enum class ExamPhase {
    Idle,            // no exam yet
    MainBlock,       // stage 1 running
    AdditionalBlock, // stage 2 or 3 running
    Finished,        // verdict given, time-out failure or early close
};

// The official examination: stages, tickets drawn, answers, time-out and verdict rules.
class ExamEngine {
public:
    static constexpr int SlotCount = 30;
    static constexpr int MainSlots = 20;
    static constexpr int Columns = 5;
    static constexpr int GroupSize = 5;
    static constexpr int ExtraBlockSeconds = 5 * 60;
    // Reads one question of the database.
    using QuestionLoader = std::function<Result<TQuestion>(int number)>;
    // Decodes the given JPEGs (nullptr = no picture); a damaged one gives an empty bitmap.
    using PictureDecoder =
        std::function<std::vector<Bitmap>(const std::vector<const QByteArray*>& jpegs)>;

    // Writes the statistics record through its save guard (the window passes the real one).
    using StatsSaver = std::function<Status()>;

    ExamEngine(AppState& app, ExamFrontEnd& front, QuestionLoader load, PictureDecoder decode,
               StatsSaver save = {});

    // Builds the stage named by ExamStage: 1 starts a new exam, 2 and 3 an additional block.
    void formShow();
    // The 1-second countdown with the time-out rules.
    void tick();
    // The exam window closes: a running exam with unanswered questions fails.
    void formClose();

    // Mouse over tile index: it becomes current when unanswered.
    void hoverTile(int index);
    // The tile opens its question; false when it cannot (answered, outside the stage, not running).
    bool openQuestion(int index);
    // One second of the open question on screen.
    void questionSecond();
    // Answer button 1..5 pressed in the open question: asks "Вы уверены?" first when the settings
    // ask for a confirmation (and the comment is not always shown); true when the answer was
    // recorded, false when the learner said no or the stage moved on while the box was open.
    bool chooseAnswer(int chosen);
    // An accepted answer button 1..5 for the open question.
    void recordExamAnswer(int chosen);
    // The question window closed (accepted = with OK): mark, advance, then judge the block.
    void questionClosed(bool accepted);
    // Gives the verdict or starts an additional stage once every question of the block is answered.
    void finishBlockIfComplete();

    // Changes whenever a stage starts or the exam ends: an answer confirmed in a box that stayed
    // open across the change belongs to no question any more.
    unsigned stageId() const { return m_stageId; }
    ExamPhase phase() const { return m_phase; }
    bool timerOn() const {
        return m_phase == ExamPhase::MainBlock || m_phase == ExamPhase::AdditionalBlock;
    }
    int examStage() const { return m_app.Launch.ExamStage; }
    const ExamSlot& slot(int index) const { return m_slots[index]; }
    int slotQuestion(int s) const { return m_slots[s - 1].Question; }
    int firstSlot() const { return m_firstSlot; }
    int lastSlot() const { return m_lastSlot; }
    int groupTicket(int g) const { return m_groupTicket[g - 1]; }
    int extraTicket(int k) const { return m_extraTicket[k - 1]; }
    int currentTile() const { return m_currentTile; }
    int openTile() const { return m_openTile; }
    int correctCount() const { return m_correctCount; }
    int errorCount() const { return m_errorCount; }
    int mainErrors() const { return m_mainErrors; }
    int firstErrorSlot() const { return m_firstErrorSlot; }
    int secondErrorSlot() const { return m_secondErrorSlot; }
    int firstErrorGroup() const { return m_firstErrorGroup; }
    int secondErrorGroup() const { return m_secondErrorGroup; }
    bool examFailed() const { return m_examFailed; }
    int stageLimit() const { return m_stageLimit; }
    int remaining() const { return m_remaining; }
    int mainElapsed() const { return m_mainElapsed; }
    double pictureRatio() const { return m_pictureRatio; }
    const QString& blockTitle() const { return m_blockTitle; }
    const QString& dbTitle() const { return m_dbTitle; }
    QString clockText() const;

    // Group 1..4 of a main-block slot 1..20.
    static int GroupOf(int slot) { return (slot - 1) / GroupSize + 1; }
    // Ticket index of an additional block: the error group's ticket moved on by r (0..38).
    static int ExtraTicketIndex(int groupTicket, int r);

private:
    void startMainBlock();
    void startAdditionalBlock();
    bool loadStage();
    void setTimer(bool on);
    void moveToAdditionalStage();
    void giveVerdict(const QString& headline, const QString& firstLine);
    void failByTime();
    void showExamReview();
    void chargeErrors(ChargeReason reason);
    // Journals the accepted answer of the open tile.
    void journalAnswer(const ExamSlot& slot, bool right);
    void saveStats();
    // The stage or the exam ends: questions still asked about it are closed.
    void endStage();
    QString failedFirstLine() const;
    QString answerTimeLine() const;

    AppState& m_app;
    ExamFrontEnd& m_front;
    QuestionLoader m_load;
    PictureDecoder m_decode;
    StatsSaver m_save;

    ExamPhase m_phase = ExamPhase::Idle;
    unsigned m_stageId = 0;
    std::array<ExamSlot, SlotCount> m_slots;
    int m_firstSlot = 1;
    int m_lastSlot = MainSlots;
    std::array<int, 4> m_groupTicket{};
    std::array<int, 2> m_extraTicket{};
    int m_currentTile = 0;
    int m_openTile = -1;     // tile whose question window is shown; -1 none
    bool m_recorded = false; // the open question got an accepted answer
    int m_correctCount = 0;
    int m_errorCount = 0;
    int m_mainErrors = 0;
    int m_firstErrorSlot = 0;
    int m_secondErrorSlot = 0;
    int m_firstErrorGroup = 0;
    int m_secondErrorGroup = 0;
    bool m_examFailed = false;
    int m_stageLimit = 0; // seconds
    int m_remaining = 0;
    int m_mainElapsed = 0;
    double m_pictureRatio = 0.0;
    QString m_blockTitle;
    QString m_dbTitle;
};

} // namespace bil
