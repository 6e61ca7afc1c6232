// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/answer_journal.h"

#include "app/app_state.h"
#include "app/platform.h"
#include "data/file_commit.h"
#include "stats/stat_file.h"
#include "stats/stat_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace bil {

namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CrcTable = MakeCrcTable();

// Smallest payload (kind byte and fields) of each known kind; longer ones carry fields a newer
// program added, which this one ignores.
constexpr int AnswerPayload = 1 + 8 + 8 + 2 + 1 + 1 + 1 + 1 + 4 + 1;
constexpr int ChargePayload = 1 + 8 + 8 + 2 + 1;
constexpr int SeedPayload = 1 + 8 + 8 + 2 + 1;

void Put(QByteArray& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(char((value >> (8 * i)) & 0xFF));
}

uint64_t Get(const char* p, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint64_t(uint8_t(p[i])) << (8 * i);
    return value;
}

// Reads the fields of a whole frame's payload; false for a kind this program cannot use.
bool DecodePayload(const char* p, int size, JournalEntry& e) {
    const auto kind = JournalKind(uint8_t(p[0]));
    const int need = kind == JournalKind::Answer   ? AnswerPayload
                     : kind == JournalKind::Charge ? ChargePayload
                     : kind == JournalKind::Seed   ? SeedPayload
                                                   : 0;
    if (need == 0 || size < need)
        return false;
    e = JournalEntry{};
    e.Kind = kind;
    e.Time = int64_t(Get(p + 1, 8));
    e.Set = Get(p + 9, 8);
    e.Question = int(Get(p + 17, 2));
    if (e.Question < 1 || e.Question > QuestionCount)
        return false;
    const char* f = p + 19;
    switch (kind) {
    case JournalKind::Answer:
        e.Channel = uint8_t(f[0]);
        e.Run = uint8_t(f[1]);
        e.Chosen = uint8_t(f[2]);
        e.Right = f[3] != 0;
        e.Seconds = int(Get(f + 4, 4) & 0x7FFFFFFF);
        e.Flags = uint8_t(f[8]);
        return e.Channel < ChannelCount;
    case JournalKind::Charge:
        e.Channel = ChannelExam;
        e.Reason = ChargeReason(uint8_t(f[0]));
        return true;
    case JournalKind::Seed:
        e.Right = f[0] != 0;
        return true;
    }
    return false;
}

QString Shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString Errno() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

uint32_t Crc32c(const char* data, std::size_t size, uint32_t crc) {
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i)
        crc = CrcTable[(crc ^ uint8_t(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QByteArray EncodeJournalEntry(const JournalEntry& e) {
    QByteArray payload;
    payload.reserve(AnswerPayload);
    Put(payload, uint8_t(e.Kind), 1);
    Put(payload, uint64_t(e.Time), 8);
    Put(payload, e.Set, 8);
    Put(payload, uint16_t(e.Question), 2);
    switch (e.Kind) {
    case JournalKind::Answer:
        Put(payload, uint8_t(e.Channel), 1);
        Put(payload, uint8_t(e.Run), 1);
        Put(payload, uint8_t(e.Chosen), 1);
        Put(payload, e.Right ? 1 : 0, 1);
        Put(payload, uint32_t(std::max(e.Seconds, 0)), 4);
        Put(payload, e.Flags, 1);
        break;
    case JournalKind::Charge:
        Put(payload, uint8_t(e.Reason), 1);
        break;
    case JournalKind::Seed:
        Put(payload, e.Right ? 1 : 0, 1);
        break;
    }
    QByteArray frame;
    frame.reserve(JournalFrameHead + payload.size());
    Put(frame, uint16_t(payload.size()), 2);
    const uint32_t crc =
        Crc32c(payload.constData(), std::size_t(payload.size()), Crc32c(frame.constData(), 2));
    Put(frame, crc, 4);
    frame += payload;
    return frame;
}

Result<JournalContents> ParseJournal(const QByteArray& bytes) {
    JournalContents c;
    if (bytes.size() < JournalMagic.size()) {
        // A header cut short by a kill while the file was being created.
        if (!JournalMagic.startsWith(bytes))
            return Status::Error(QStringLiteral("Это не журнал ответов Билетории."));
        c.SkippedBytes = bytes.size();
        return c;
    }
    if (!bytes.startsWith(JournalMagic))
        return Status::Error(QStringLiteral("Это не журнал ответов Билетории или он записан "
                                            "другой версией программы."));
    const char* data = bytes.constData();
    const qint64 size = bytes.size();
    qint64 at = JournalMagic.size();
    c.GoodEnd = at;
    while (at + JournalFrameHead <= size) {
        const int length = int(Get(data + at, 2));
        const qint64 end = at + JournalFrameHead + length;
        if (length >= 1 && length <= JournalMaxPayload && end <= size &&
            Crc32c(data + at + JournalFrameHead, std::size_t(length), Crc32c(data + at, 2)) ==
                uint32_t(Get(data + at + 2, 4))) {
            JournalEntry e;
            if (DecodePayload(data + at + JournalFrameHead, length, e))
                c.Entries.push_back(e);
            else
                ++c.UnknownRecords;
            at = end;
            c.GoodEnd = end;
            continue;
        }
        // A damaged frame: look for the next whole one a byte further on.
        ++c.SkippedBytes;
        ++at;
    }
    c.SkippedBytes += size - at;
    return c;
}

QString JournalFilePath(const QString& appDataDir) {
    return appDataDir + QStringLiteral("/answers.log");
}

Result<JournalContents> ReadJournalFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return JournalContents{};
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(
            QStringLiteral("Не удалось открыть файл %1: %2").arg(Shown(path), file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Status::Error(QStringLiteral("Не удалось прочитать файл %1: %2")
                                 .arg(Shown(path), file.errorString()));
    Result<JournalContents> read = ParseJournal(bytes);
    if (!read)
        return Status::Error(read.error() + QStringLiteral("\n") + Shown(path));
    return read;
}

std::vector<JournalEntry> SeedEntries(const TStatRecord& stats, Fingerprint set, int64_t when) {
    std::vector<JournalEntry> seeds;
    for (int n = 1; n <= QuestionCount; ++n) {
        const TQuestionStat& q = stats.question(n);
        int right = 0, wrong = 0;
        for (int c = 0; c < ChannelCount; ++c) {
            right += q.Right[size_t(c)];
            wrong += q.Wrong[size_t(c)];
        }
        if (right + wrong == 0)
            continue;
        JournalEntry e;
        e.Kind = JournalKind::Seed;
        e.Time = when;
        e.Set = set;
        e.Question = n;
        e.Right = right > wrong;
        seeds.push_back(e);
    }
    return seeds;
}

QByteArray JournalBytes(const std::vector<JournalEntry>& entries) {
    QByteArray bytes = JournalMagic;
    for (const JournalEntry& e : entries)
        bytes += EncodeJournalEntry(e);
    return bytes;
}

AnswerJournal::~AnswerJournal() {
    close();
}

void AnswerJournal::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

Status AnswerJournal::open(const QString& path, const std::vector<JournalEntry>& seeds) {
    close();
    m_path = path;
    m_entries.clear();
    m_written = 0;
    m_error = Status::Ok();
    Result<JournalContents> read = ReadJournalFile(path);
    if (!read) {
        // Someone else's file or one from another version: kept aside whole, a new one started.
        const QString aside = path + QStringLiteral(".bad");
        QFile::remove(aside);
        if (!QFile::rename(path, aside))
            return read.status();
        read = JournalContents{};
    }
    if (read->GoodEnd == 0) {
        // A new journal (or a header cut short): written whole, then appended to.
        if (Status s = WriteFileAtomically(path, JournalBytes(seeds)); !s)
            return s;
        read = ReadJournalFile(path);
        if (!read)
            return read.status();
    }
    m_entries = std::move(read->Entries);
    m_written = m_entries.size();
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (m_fd < 0)
        return Status::Error(
            QStringLiteral("Не удалось открыть файл %1: %2").arg(Shown(path), Errno()));
    // A record torn by a kill is cut off, so the next one follows the last whole record.
    if (::ftruncate(m_fd, read->GoodEnd) != 0 || ::lseek(m_fd, read->GoodEnd, SEEK_SET) < 0) {
        const QString reason = Errno();
        close();
        return Status::Error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(Shown(path), reason));
    }
    m_end = read->GoodEnd;
    return Status::Ok();
}

Status AnswerJournal::writePending() {
    if (m_written == m_entries.size())
        return Status::Ok();
    if (m_fd < 0)
        return Status::Error(QStringLiteral("Журнал ответов не открыт."));
    QByteArray frames;
    for (std::size_t i = m_written; i < m_entries.size(); ++i)
        frames += EncodeJournalEntry(m_entries[i]);
    const ssize_t done = ::write(m_fd, frames.constData(), std::size_t(frames.size()));
    if (done != ssize_t(frames.size())) {
        const QString reason = done < 0 ? Errno() : QStringLiteral("записаны не все данные");
        // A part of a frame left behind would be damage; the records stay in memory.
        if (::ftruncate(m_fd, m_end) != 0 || ::lseek(m_fd, m_end, SEEK_SET) < 0) {
            close();
        }
        return Status::Error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(Shown(m_path), reason));
    }
    m_end += frames.size();
    m_written = m_entries.size();
    return Status::Ok();
}

void AnswerJournal::record(const JournalEntry& entry) {
    m_entries.push_back(entry);
    // Records a failed write left behind go with this one.
    Status s = writePending();
    if (!s && m_error.ok())
        m_error = s;
    else if (s)
        m_error = Status::Ok();
}

Status AnswerJournal::flush() {
    if (Status s = writePending(); !s) {
        m_error = s;
        return s;
    }
    if (m_fd >= 0 && ::fdatasync(m_fd) != 0)
        return Status::Error(
            QStringLiteral("Не удалось записать файл %1: %2").arg(Shown(m_path), Errno()));
    m_error = Status::Ok();
    return Status::Ok();
}

Status AnswerJournal::replace(const QByteArray& bytes) {
    close();
    if (Status s = WriteFileAtomically(m_path, bytes); !s) {
        (void)open(m_path);
        return s;
    }
    return open(m_path);
}

QByteArray AnswerJournal::journalBytes() {
    (void)writePending(); // what still fails to reach the file comes from memory
    return fileBytes();
}

QByteArray AnswerJournal::fileBytes() const {
    if (m_written == m_entries.size() && m_fd >= 0) {
        QFile file(m_path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray bytes = file.read(m_end);
            if (bytes.size() == m_end)
                return bytes;
        }
    }
    return JournalBytes(m_entries);
}

namespace {

// A record of the open set stamped now; the caller fills in what its kind carries.
JournalEntry StampedEntry(AppState& app, JournalKind kind, int question) {
    JournalEntry e;
    e.Kind = kind;
    e.Time = ClockOf(app.services).nowUtc().toSecsSinceEpoch();
    e.Set = app.Prints.setPrint(app.Db);
    e.Question = question;
    return e;
}

} // namespace

void JournalAnswer(AppState& app, int question, int channel, int run, int chosen, bool right,
                   int seconds, uint8_t flags) {
    AnswerSink* sink = app.services.answers;
    if (!sink)
        return;
    JournalEntry e = StampedEntry(app, JournalKind::Answer, question);
    e.Channel = channel;
    e.Run = run;
    e.Chosen = chosen;
    e.Right = right;
    e.Seconds = seconds;
    e.Flags = flags;
    sink->record(e);
}

const std::vector<JournalEntry>& RecordedAnswers(const AppState& app) {
    static const std::vector<JournalEntry> none;
    return app.services.answers ? app.services.answers->recorded() : none;
}

void JournalCharge(AppState& app, int question, ChargeReason reason) {
    AnswerSink* sink = app.services.answers;
    if (!sink)
        return;
    JournalEntry e = StampedEntry(app, JournalKind::Charge, question);
    e.Channel = ChannelExam;
    e.Reason = reason;
    sink->record(e);
}

Status OpenAnswerJournal(AppState& app, AnswerJournal& journal) {
    const QString path = JournalFilePath(app.AppDataDir);
    std::vector<JournalEntry> seeds;
    if (!QFile::exists(path)) {
        const QFileInfo stats(StatFilePath(app.AppDataDir));
        const int64_t when = stats.exists() ? stats.lastModified().toSecsSinceEpoch()
                                            : ClockOf(app.services).nowUtc().toSecsSinceEpoch();
        seeds = SeedEntries(app.Stats, app.Prints.setPrint(app.Db), when);
    }
    app.services.answers = &journal;
    return journal.open(path, seeds);
}

Status FlushJournal(AppState& app) {
    return app.services.answers ? app.services.answers->flush() : Status::Ok();
}

} // namespace bil
