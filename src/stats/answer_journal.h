// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/fingerprint.h"
#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace bil {

struct AppState;
struct TStatRecord;

// CRC-32C (Castagnoli, reflected, as iSCSI and ext4 use it) of bytes, continuing from crc.
uint32_t Crc32c(const char* data, std::size_t size, uint32_t crc = 0);

// Kinds of journal records; a reader skips kinds it does not know.
enum class JournalKind : uint8_t {
    Answer = 1, // a judged answer
    Charge = 2, // the exam counted a question wrong without an answer (time-out, early close)
    Seed = 3,   // the last known outcome from stat.dat counts, for learners older than the journal
};

// Why the exam charged a question.
enum class ChargeReason : uint8_t { TimeOut = 1, EarlyClose = 2 };

// Run types of the journal: the study engine's run types, then the exam's stages.
enum JournalRun : uint8_t { JournalExamMain = 16, JournalExamExtra = 17 };

// Bits of JournalEntry::Flags.
enum JournalFlag : uint8_t {
    FirstInRun = 1,  // the question's first answer in its run
    AfterReveal = 2, // the comment or the right answer was on screen before this answer
};

// One record of answers.log.
struct JournalEntry {
    JournalKind Kind = JournalKind::Answer;
    int64_t Time = 0;                            // UTC seconds
    Fingerprint Set = 0;                         // the question set answered
    int Question = 0;                            // 1..800
    int Channel = 0;                             // 0 learning, 1 exam, 2 training (Answer)
    int Run = 0;                                 // run type (Answer)
    int Chosen = 0;                              // answer 1..5 (Answer)
    bool Right = false;                          // Answer, Seed
    int Seconds = 0;                             // seconds spent on the question (Answer)
    uint8_t Flags = 0;                           // JournalFlag bits (Answer)
    ChargeReason Reason = ChargeReason::TimeOut; // Charge

    // An answer the memory model takes as a review: the first of its run, given unseen.
    bool isReview() const {
        return Kind == JournalKind::Seed ||
               (Kind == JournalKind::Answer && (Flags & FirstInRun) && !(Flags & AfterReveal));
    }
    bool operator==(const JournalEntry&) const = default;
};

inline const QByteArray JournalMagic = QByteArrayLiteral("BILJRNL\x01");
constexpr int JournalFrameHead = 6;    // length u16, CRC-32C u32
constexpr int JournalMaxPayload = 255; // kind and fields; a longer length field is damage

// What a reading found.
struct JournalContents {
    std::vector<JournalEntry> Entries;
    qint64 GoodEnd = 0;      // offset just past the last whole record (or the header)
    qint64 SkippedBytes = 0; // damaged bytes passed over, the torn tail included
    int UnknownRecords = 0;  // whole records of kinds this program does not know
};

// The frame of one record: length, CRC-32C, kind and fields.
QByteArray EncodeJournalEntry(const JournalEntry& entry);
// Reads journal bytes. Empty bytes (or a header cut short) are an empty journal; anything that
// does not start with the journal's header is an error. Damaged frames are skipped up to the
// next whole one; a torn tail ends the reading.
Result<JournalContents> ParseJournal(const QByteArray& bytes);
// "<folder>/answers.log".
QString JournalFilePath(const QString& appDataDir);
// Reads the file; a missing file is an empty journal.
Result<JournalContents> ReadJournalFile(const QString& path);

// Records of one seed per question with counts: right when it has more right than wrong answers
// over all channels, dated at when (the statistics file's time).
std::vector<JournalEntry> SeedEntries(const TStatRecord& stats, Fingerprint set, int64_t when);
// A whole journal file holding the given records.
QByteArray JournalBytes(const std::vector<JournalEntry>& entries);

// Where judged answers go; the program appends them to answers.log, tests watch them.
class AnswerSink {
public:
    virtual ~AnswerSink() = default;
    virtual void record(const JournalEntry& entry) = 0;
    // A save point: what was recorded reaches the disk.
    virtual Status flush() = 0;
    // Every record so far, in order: what the forecasts read.
    virtual const std::vector<JournalEntry>& recorded() const = 0;
    // The journal file's bytes with every record so far (for the progress file); empty: this
    // sink keeps no file.
    virtual QByteArray journalBytes() { return {}; }
    // The file was replaced underneath (a restored progress file): read it anew, append there.
    virtual Status reload() { return Status::Ok(); }
};

// answers.log: its records in memory, each new one appended to the file with one write.
class AnswerJournal final : public AnswerSink {
public:
    AnswerJournal() = default;
    ~AnswerJournal() override;
    AnswerJournal(const AnswerJournal&) = delete;
    AnswerJournal& operator=(const AnswerJournal&) = delete;

    // Reads the file at path. A torn tail is cut off here, before anything is appended. A new
    // file starts with seeds from the statistics when they hold counts.
    Status open(const QString& path, const std::vector<JournalEntry>& seeds = {});
    // Appends one record: one write to the file. A failed write keeps the record in memory and
    // reports once through lastError.
    void record(const JournalEntry& entry) override;
    Status flush() override;
    const std::vector<JournalEntry>& recorded() const override { return m_entries; }
    // What fileBytes gives once the records waiting for a write were tried again.
    QByteArray journalBytes() override;
    Status reload() override { return m_path.isEmpty() ? Status::Ok() : open(m_path); }
    // Replaces the file with the given bytes (a restored progress file) and reads it anew.
    Status replace(const QByteArray& bytes);

    const std::vector<JournalEntry>& entries() const { return m_entries; }
    const QString& path() const { return m_path; }
    // The file's bytes as they are now (for the progress file).
    QByteArray fileBytes() const;
    // The first failed write since the last successful one; Ok when none.
    const Status& lastError() const { return m_error; }

private:
    void close();
    // Appends the records not yet in the file with one write.
    Status writePending();

    QString m_path;
    int m_fd = -1;
    qint64 m_end = 0; // the file's length up to its last whole record
    std::vector<JournalEntry> m_entries;
    std::size_t m_written = 0; // records in the file; the rest wait for the next write
    Status m_error = Status::Ok();
};

// Records an answer judged now in the shared state's sink (nothing when none is set): time from
// the clock, the open set's fingerprint.
void JournalAnswer(AppState& app, int question, int channel, int run, int chosen, bool right,
                   int seconds, uint8_t flags);
// The records of the shared state's sink; none when no sink is set.
const std::vector<JournalEntry>& RecordedAnswers(const AppState& app);
// Records an exam charge of a question.
void JournalCharge(AppState& app, int question, ChargeReason reason);
// Opens <AppDataDir>/answers.log at start-up (a new one seeded from the statistics, dated at
// the time of stat.dat) and makes it the shared state's sink, whatever the outcome: a journal
// that cannot be written keeps its records in memory.
Status OpenAnswerJournal(AppState& app, AnswerJournal& journal);
// A save point of the journal: flushes the sink when there is one.
Status FlushJournal(AppState& app);

} // namespace bil
