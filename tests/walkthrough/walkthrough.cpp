// SPDX-License-Identifier: GPL-3.0-or-later
#include "walkthrough.h"

#include "app/app_state.h"
#include "app/platform.h"
#include "app/settings_loader.h"
#include "app/ui/main_window.h"
#include "app/ui/search_window.h"
#include "data/jpeg.h"
#include "data/ui/picture_image.h"
#include "data/ui/picture_window.h"
#include "exam/ui/exam_window.h"
#include "exam/ui/question_window.h"
#include "help/ui/about_box.h"
#include "stats/answer_journal.h"
#include "stats/memory_model.h"
#include "stats/ui/prep_dialog.h"
#include "stats/ui/readiness_page.h"
#include "stats/ui/stats_window.h"
#include "study/ui/study_window.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

namespace bil {

namespace {

// Long enough for a window to lay itself out and paint; short enough for CI.
constexpr int StepDelayMs = 250;
// A tour that hangs (a window waiting for input nobody gives) ends the program.
constexpr int TourTimeoutMs = 120000;

void say(const QString& text) {
    std::fprintf(stderr, "walkthrough: %s\n", qPrintable(text));
}

// Five weeks of a learner's answers for the picture of the page «Готовность»: two new tickets a
// day until all are met, and each day what has fallen due, right about as often as the memory
// model expects. Kept apart from the tour's own journal, whose few answers of today say little.
class LearnerHistory final : public AnswerSink {
public:
    LearnerHistory(Fingerprint set, int64_t now) {
        constexpr int64_t Day = 86400;
        MemoryStates states{};
        uint32_t seed = 20260115;
        const auto draw = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return double(seed >> 8) / double(1u << 24);
        };
        const auto answer = [&](int n, bool right, int64_t at) {
            m_entries.push_back(
                {.Time = at, .Set = set, .Question = n, .Right = right, .Flags = FirstInRun});
            Review(states[size_t(n - 1)], right, at);
        };
        int next = 1; // the first question not met yet
        for (int d = 35; d >= 0; --d) {
            const int64_t at = now - d * Day - 3600;
            int reviews = 0;
            for (int n = 1; n < next && reviews < 120; ++n)
                if (const double r = RecallAt(states[size_t(n - 1)], at); r < 0.9) {
                    answer(n, draw() < r + 0.05, at);
                    ++reviews;
                }
            for (int k = 0; k < 2 * TicketSize && next <= QuestionCount; ++k, ++next)
                answer(next, draw() < 0.75, at);
        }
    }
    void record(const JournalEntry&) override {}
    Status flush() override { return Status::Ok(); }
    const std::vector<JournalEntry>& recorded() const override { return m_entries; }

private:
    std::vector<JournalEntry> m_entries;
};

} // namespace

bool TourPrompter::askYesNo(const QString& caption, const QString& text) {
    say(QStringLiteral("question \"%1\": %2 -> %3")
            .arg(caption, text, m_answer ? QStringLiteral("yes") : QStringLiteral("no")));
    return m_answer;
}

void TourPrompter::message(const QString& caption, const QString& text, Icon) {
    say(QStringLiteral("message \"%1\": %2").arg(caption, text));
}

QString TourPrompter::chooseOpenFile(const QString& title, const QString&, const QString&) {
    say(QStringLiteral("file dialog \"%1\" cancelled").arg(title));
    return {};
}

Walkthrough::Walkthrough(TourWindows windows, QString outDir)
    : m_w(windows), m_outDir(std::move(outDir)) {}

void Walkthrough::start() {
    QDir().mkpath(m_outDir);
    buildSteps();
    QTimer::singleShot(StepDelayMs, this, &Walkthrough::runNext);
    QTimer::singleShot(TourTimeoutMs, this, [this] {
        m_failures << QStringLiteral("the tour did not end in time");
        finish();
    });
}

void Walkthrough::runNext() {
    if (m_steps.isEmpty())
        return;
    const Step step = m_steps.takeFirst();
    // The next step is due before this one runs: a modal window it opens blocks right here.
    QTimer::singleShot(StepDelayMs, this, &Walkthrough::runNext);
    step();
}

void Walkthrough::shoot(QWidget* widget, const QString& name) {
    if (!widget || !widget->isVisible()) {
        m_failures << name + QStringLiteral(": window not shown");
        return;
    }
    const QString path = QDir(m_outDir).filePath(name + QStringLiteral(".png"));
    if (!widget->grab().save(path)) {
        m_failures << name + QStringLiteral(": cannot write ") + path;
        return;
    }
    m_taken << name;
    say(QStringLiteral("%1 (%2x%3)").arg(path).arg(widget->width()).arg(widget->height()));
}

void Walkthrough::shootModal(const QString& name, int result) {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) {
        m_failures << name + QStringLiteral(": no modal window open");
        return;
    }
    shoot(modal, name);
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->done(result);
    else
        modal->close();
}

QSet<QWidget*> Walkthrough::visibleWindows() const {
    QSet<QWidget*> shown;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !qobject_cast<QMenu*>(w))
            shown.insert(w);
    return shown;
}

void Walkthrough::closeModals() {
    for (int guard = 0; guard < 5; ++guard) {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        say(QStringLiteral("closing a window left open: ") + modal->windowTitle());
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->done(QDialog::Accepted);
        else
            modal->close();
    }
}

void Walkthrough::shootNewWindows(const QString& name) {
    if (!m_w.state->services.help)
        return;
    const QSet<QWidget*> now = visibleWindows();
    int n = 0;
    for (QWidget* w : now)
        if (!m_before.contains(w))
            shoot(w, name + (n++ ? QStringLiteral("-%1").arg(n) : QString()));
    if (n == 0)
        m_failures << name + QStringLiteral(": no help window appeared");
    for (QWidget* w : now)
        if (!m_before.contains(w))
            w->close();
}

void Walkthrough::buildSteps() {
    TForm2* main = m_w.main;
    TForm1* study = m_w.study;
    TForm91* exam = m_w.exam;
    AppState* state = m_w.state;

    add([=, this] {
        // No window may hide itself when the tour moves the focus around.
        main->SettingItemClick(SettingItem::HideOnFocusLoss, false);
        main->SettingItemClick(SettingItem::AlwaysShowComment, true);
        main->syncMenuFromSettings();
        shoot(main, QStringLiteral("01-main-first-start"));
    });

    // Learning on ticket 1: a right and a wrong answer, then a question with a picture.
    add([=] {
        main->PageControl1->setCurrentIndex(0);
        main->ListView1->setCurrentRow(0);
        main->BitBtn1Click();
    });
    add([=] {
        StudyEngine& e = study->engine();
        e.answer(e.rightButton());
    });
    add([=] {
        StudyEngine& e = study->engine();
        e.answer(e.rightButton() == 1 ? 2 : 1);
    });
    add([=] {
        StudyEngine& e = study->engine();
        for (int k = 1; k <= e.runCount(); ++k) {
            // A ticket run lists the ticket's questions in order.
            const auto q = state->Db.LoadQuestion((e.run().Ticket - 1) * 20 + k);
            if (q && q.value().HasPicture && k > 2) {
                // A wrong answer brings up the comment; the question is shown again with it.
                e.showItem(k - 1);
                e.answer(e.rightButton() == 1 ? 2 : 1);
                e.showItem(k - 1);
                break;
            }
        }
    });
    add([=, this] { shoot(study, QStringLiteral("02-study-learning-comment")); });
    // A click on the question's picture enlarges it in a window of its own.
    add([=] {
        const QPointF at(study->Image1->width() / 2.0, study->Image1->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, study->Image1->mapToGlobal(at),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(study->Image1, &press);
    });
    add([=, this] {
        PictureWindow& zoom = study->pictureWindow();
        shoot(&zoom, QStringLiteral("02a-study-picture-enlarged"));
        // Enlarged means larger than on screen: at least half as large again.
        if (zoom.shown().width() * 2 < study->Image1->width() * 3 &&
            zoom.shown().height() * 2 < study->Image1->height() * 3)
            m_failures << QStringLiteral("02a-study-picture-enlarged: %1x%2 is no larger than "
                                         "the picture on screen (%3x%4)")
                              .arg(zoom.shown().width())
                              .arg(zoom.shown().height())
                              .arg(study->Image1->width())
                              .arg(study->Image1->height());
        zoom.close();
    });
    // Question 5 has a long comment: at the smallest size the question area scrolls.
    add([=] {
        study->resize(study->minimumSize());
        StudyEngine& e = study->engine();
        e.showItem(4);
        e.answer(e.rightButton() == 1 ? 2 : 1);
    });
    add([=, this] { shoot(study, QStringLiteral("02b-study-long-comment-minimum-size")); });
    // A help popup from the comment's links, when the comment has any and help is there.
    add([=, this] {
        m_before = visibleWindows();
        StudyEngine& e = study->engine();
        if (!state->services.help) {
            say(QStringLiteral("help is not available in this build: no popup"));
            return;
        }
        if (!e.helpLinkCaptions().empty()) {
            e.openHelpLink(0);
            return;
        }
        e.openHelp();
    });
    add([=, this] { shootNewWindows(QStringLiteral("03-help-popup")); });
    add([=, this] {
        m_w.prompter->setAnswer(false);
        study->close();
    });
    add([=, this] { closeModals(); });

    // A theme run offers moving its question to another theme.
    add([=] {
        main->PageControl1->setCurrentIndex(1);
        main->ListView2->setCurrentRow(2);
        main->BitBtn1Click();
    });
    add([=] { study->engine().moveToTheme(); });
    add([=, this] { shootModal(QStringLiteral("04-move-to-theme"), QDialog::Rejected); });
    add([=, this] {
        m_w.prompter->setAnswer(false);
        study->close();
    });
    add([=, this] { closeModals(); });

    // Training: a random ticket against the clock, a few answers in.
    add([=] { main->BitBtn3Click(); });
    add([=] {
        StudyEngine& e = study->engine();
        e.answer(e.rightButton());
    });
    add([=] {
        StudyEngine& e = study->engine();
        e.answer(e.rightButton());
        for (int s = 0; s < 3; ++s)
            e.countdownSecond();
    });
    add([=, this] { shoot(study, QStringLiteral("05-study-training")); });
    add([=, this] {
        m_w.prompter->setAnswer(true);
        study->close();
    });
    add([=, this] {
        // Ending the training early gives its verdict in the result dialog.
        if (QApplication::activeModalWidget())
            shootModal(QStringLiteral("06-study-training-result"), QDialog::Accepted);
    });
    add([=, this] { closeModals(); });
    add([=] {
        if (study->isVisible())
            study->close();
    });
    add([=, this] { closeModals(); });

    // The exam: the main block, one question window, one error earning an additional block,
    // an error there failing the exam, the result dialog.
    add([=, this] {
        m_w.prompter->setAnswer(true);
        main->BitBtn2Click();
    });
    add([=] { exam->resize(1024, 740); });
    add([=, this] { shoot(exam, QStringLiteral("07-exam-main-block")); });
    add([=] { exam->openQuestion(0); });
    add([=, this] {
        TForm94* q = exam->questionWindow();
        shoot(q, QStringLiteral("08-exam-question"));
        q->BitBtn1Click(q->Correct);
    });
    // Question 22 has five long answers and a picture; shown on its own at 600 x 450.
    add([=] {
        const auto loaded = state->Db.LoadQuestion(22);
        if (!loaded)
            return;
        const TQuestion& question = loaded.value();
        QString answers;
        for (int k = 1; k <= question.AnswerCount; ++k)
            answers +=
                QStringLiteral("%1. ").arg(k) + question.Answers[k - 1] + QStringLiteral("\n\r");
        const auto* jpeg = reinterpret_cast<const uint8_t*>(question.Picture.constData());
        const auto picture = DecodeJpeg(jpeg, std::size_t(question.Picture.size()));
        TForm94* q = exam->questionWindow();
        q->setQuestion(picture ? ImageOf(picture.value()) : QImage(),
                       QStringLiteral("\n\r") + question.Text + QStringLiteral("\n\r"), answers,
                       question.HasPicture, question.Correct, question.Ticket, question.InTicket,
                       question.AnswerCount);
        q->resize(600, 450);
        q->exec(); // the next step takes the picture and closes it
    });
    add([=, this] {
        TForm94* q = exam->questionWindow();
        shoot(q, QStringLiteral("08b-exam-question-long-answers"));
        q->reject();
        q->resize(953, 702);
    });
    add([=] {
        ExamEngine& e = exam->engine();
        for (int i = 1; i < ExamEngine::MainSlots; ++i) {
            if (!e.openQuestion(i))
                continue;
            const int right = e.slot(i).Q.Correct;
            e.recordExamAnswer(i == 6 ? (right == 1 ? 2 : 1) : right);
            e.questionClosed(true);
        }
    });
    add([=] { exam->resize(exam->minimumSize()); });
    add([=, this] { shoot(exam, QStringLiteral("09-exam-additional-block-minimum-size")); });
    add([=] {
        ExamEngine& e = exam->engine();
        for (int s = e.firstSlot(); s <= e.lastSlot(); ++s) {
            if (!e.openQuestion(s - 1))
                continue;
            const int right = e.slot(s - 1).Q.Correct;
            e.recordExamAnswer(s == e.firstSlot() ? (right == 1 ? 2 : 1) : right);
            e.questionClosed(true);
        }
    });
    add([=, this] { shootModal(QStringLiteral("10-exam-result"), 1); });
    add([=, this] { closeModals(); });
    add([=] {
        if (exam->isVisible())
            exam->close();
    });

    // The statistics window, every page.
    add([=, this] {
        m_before = visibleWindows();
        main->SpeedButton2Click();
    });
    add([=, this] {
        QWidget* stats = QApplication::activeModalWidget();
        if (!stats) {
            for (QWidget* w : visibleWindows())
                if (!m_before.contains(w))
                    stats = w;
        }
        if (!stats) {
            say(QStringLiteral("no statistics window in this build"));
            return;
        }
        const auto tabs = stats->findChildren<QTabWidget*>();
        if (tabs.isEmpty()) {
            shoot(stats, QStringLiteral("11-statistics"));
        } else {
            QTabWidget* pages = tabs.first();
            for (int p = 0; p < pages->count(); ++p) {
                pages->setCurrentIndex(p);
                QCoreApplication::sendPostedEvents(); // layouts, without running the next step
                shoot(stats, QStringLiteral("11-statistics-page-%1").arg(p + 1));
            }
        }
        if (auto* dialog = qobject_cast<QDialog*>(stats))
            dialog->done(QDialog::Accepted);
        else
            stats->close();
    });

    // The page «Готовность» with a learner's five weeks of answers.
    add([=, this] {
        m_before = visibleWindows();
        main->SpeedButton2Click();
    });
    add([=, this] {
        TForm5* stats = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form = qobject_cast<TForm5*>(w); form && form->isVisible())
                stats = form;
        if (!stats) {
            m_failures << QStringLiteral("11b-statistics-readiness: no statistics window open");
            return;
        }
        AnswerSink* own = state->services.answers;
        LearnerHistory history(state->Prints.setPrint(state->Db),
                               ClockOf(state->services).nowUtc().toSecsSinceEpoch());
        state->services.answers = &history;
        stats->showPage(stats->PageControl1->indexOf(stats->Readiness));
        QCoreApplication::sendPostedEvents();
        if (stats->Readiness->listed().empty())
            m_failures << QStringLiteral("11b-statistics-readiness: no questions listed");
        shoot(stats, QStringLiteral("11b-statistics-readiness"));
        state->services.answers = own;
        stats->done(QDialog::Accepted);
    });

    add([=] { main->N15Click(); });
    add([=, this] { shootModal(QStringLiteral("12-preparation"), QDialog::Accepted); });
    add([=] { main->N4Click(); });
    add([=, this] { shootModal(QStringLiteral("13-about"), QDialog::Accepted); });
    add([=] { main->N18Click(); });
    add([=, this] { shootModal(QStringLiteral("13-load-questions"), QDialog::Rejected); });
    // The question search, with results for two words found in several questions.
    add([=] { main->SearchButtonClick(); });
    add([=, this] {
        auto* search = dynamic_cast<SearchWindow*>(QApplication::activeModalWidget());
        if (!search) {
            m_failures << QStringLiteral("13b-search-results: no search window open");
            return;
        }
        search->Edit1->setText(QStringLiteral("обгон направлении"));
        if (search->hits().empty())
            m_failures << QStringLiteral("13b-search-results: nothing found");
    });
    add([=, this] { shootModal(QStringLiteral("13b-search-results"), QDialog::Rejected); });
    // Words in other forms than typed: "перекрёсток знак" finds "Перекрестки" and "знаком".
    add([=] { main->SearchButtonClick(); });
    add([=, this] {
        auto* search = dynamic_cast<SearchWindow*>(QApplication::activeModalWidget());
        if (!search) {
            m_failures << QStringLiteral("13c-search-word-forms: no search window open");
            return;
        }
        search->Edit1->setText(QStringLiteral("перекрёсток знак"));
        if (search->hits().empty() || search->hits().front().Highlights.size() < 2)
            m_failures << QStringLiteral("13c-search-word-forms: the forms were not found");
    });
    add([=, this] { shootModal(QStringLiteral("13c-search-word-forms"), QDialog::Rejected); });

    // The main window again, now with results on both catalogues.
    add([=, this] {
        closeModals();
        if (!main->isVisible())
            main->show();
        main->FormShow();
        main->PageControl1->setCurrentIndex(0);
    });
    add([=, this] { shoot(main, QStringLiteral("14-main-with-results")); });
    add([=] { main->PageControl1->setCurrentIndex(1); });
    add([=, this] { shoot(main, QStringLiteral("15-main-themes")); });
    // The same learner's five weeks, with the exam three weeks ahead: the chance to pass today
    // and on the exam day, then the day's review.
    auto history = std::make_shared<std::unique_ptr<LearnerHistory>>();
    auto own = std::make_shared<AnswerSink*>(nullptr);
    add([=] {
        const QDateTime now = ClockOf(state->services).nowUtc();
        *history = std::make_unique<LearnerHistory>(state->Prints.setPrint(state->Db),
                                                    now.toSecsSinceEpoch());
        *own = state->services.answers;
        state->services.answers = history->get();
        SetExamDate(*state->services.store, state->Config, now.toLocalTime().date().addDays(21));
        main->PageControl1->setCurrentIndex(0);
        main->refreshChance();
    });
    add([=, this] {
        if (!main->Label10->text().contains(QLatin1Char('%')))
            m_failures << QStringLiteral("15a-main-chance: no chance shown: ") +
                              main->Label10->text();
        shoot(main, QStringLiteral("15a-main-chance"));
    });
    add([=] { main->SpeedButton4Click(); });
    add([=, this] {
        StudyEngine& e = study->engine();
        if (!study->isVisible() || e.run().Type != RunType::Review) {
            m_failures << QStringLiteral("15b-study-review: no review run");
            return;
        }
        e.answer(e.rightButton());
    });
    add([=, this] { shoot(study, QStringLiteral("15b-study-review")); });
    add([=, this] {
        m_w.prompter->setAnswer(false);
        study->close();
    });
    add([=, this] {
        closeModals();
        state->services.answers = *own;
        history->reset(); // the steps before hold it through this one
    });
    // The help window itself, from the main window's help button.
    add([=, this] {
        m_before = visibleWindows();
        main->SpeedButton3Click();
    });
    add([=, this] { shootNewWindows(QStringLiteral("16-help-window")); });
    add([=, this] { finish(); });
}

void Walkthrough::finish() {
    const QString list = QDir(m_outDir).filePath(QStringLiteral("screenshots.txt"));
    if (QFile f(list); f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write((m_taken.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    for (const QString& failure : m_failures)
        say(QStringLiteral("FAILED ") + failure);
    say(QStringLiteral("%1 screenshots, %2 failures").arg(m_taken.size()).arg(m_failures.size()));
    QCoreApplication::exit(m_failures.isEmpty() ? 0 : 1);
}

} // namespace bil
