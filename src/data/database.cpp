// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/database.h"

#include "data/cp1251.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace bil {

struct Database::File {
    int fd = -1;
    explicit File(int f) : fd(f) {}
    ~File() {
        if (fd >= 0)
            ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;
};

namespace {

QString SystemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

Status Damaged(int number, const QString& reason) {
    return Status::Error(
        QStringLiteral("База вопросов повреждена: вопрос %1, %2.").arg(number).arg(reason));
}

// Reads up to size bytes at offset; returns the count read (short at end of file) or -1.
qsizetype ReadAt(int fd, char* buffer, std::size_t size, uint64_t offset) {
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, buffer + got, size - got, off_t(offset + got));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (n == 0)
            break;
        got += std::size_t(n);
    }
    return qsizetype(got);
}

// Splits text into lines: CR, LF and CR LF each end one line; a NUL ends the text.
class LineCursor {
public:
    LineCursor(const char* data, std::size_t size) : m_pos(data), m_end(data + size) {
        if (const void* nul = std::memchr(data, 0, size))
            m_end = static_cast<const char*>(nul);
    }

    bool next(std::string_view& line) {
        if (m_pos >= m_end)
            return false;
        const char* start = m_pos;
        while (m_pos < m_end && *m_pos != '\r' && *m_pos != '\n')
            ++m_pos;
        line = std::string_view(start, std::size_t(m_pos - start));
        if (m_pos < m_end && *m_pos == '\r') {
            if (++m_pos < m_end && *m_pos == '\n')
                ++m_pos;
        } else if (m_pos < m_end) {
            ++m_pos; // LF
        }
        return true;
    }

private:
    const char* m_pos;
    const char* m_end;
};

QString Decode(std::string_view bytes) {
    return DecodeCp1251(bytes.data(), qsizetype(bytes.size()));
}

// The comment line without its three-character prefix and then one leading blank.
QString CommentOf(std::string_view line) {
    line.remove_prefix(std::min<std::size_t>(3, line.size()));
    if (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    return Decode(line);
}

} // namespace

QString TQuestion::DisplayAnswer(int k) const {
    if (k < 1 || k > MaxAnswers)
        return QString();
    return QString::number(k) + QStringLiteral(". ") + Answers[std::size_t(k - 1)];
}

Database::Database() = default;
Database::~Database() = default;

bool Database::isOpen() const {
    return m_file != nullptr;
}

void Database::swap(Database& other) noexcept {
    std::swap(m_file, other.m_file);
    std::swap(m_fileSize, other.m_fileSize);
    std::swap(m_path, other.m_path);
    std::swap(m_title, other.m_title);
    std::swap(m_index, other.m_index);
}

Status Database::OpenDatabase(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return Status::Error(QStringLiteral("Не удалось открыть базу вопросов %1: %2")
                                 .arg(shown, SystemError(error)));
    }
    auto file = std::make_unique<File>(fd);

    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        return Status::Error(QStringLiteral("Не удалось прочитать базу вопросов %1: %2")
                                 .arg(shown, SystemError(error)));
    }

    // Header and index in one read; what a short file lacks stays zero, never stale.
    char head[HeaderSize + IndexSize] = {};
    if (ReadAt(fd, head, sizeof head, 0) < 0) {
        const int error = errno;
        return Status::Error(QStringLiteral("Не удалось прочитать базу вопросов %1: %2")
                                 .arg(shown, SystemError(error)));
    }

    const int titleLength = uchar(head[0]);
    if (titleLength > MaxTitle)
        return Status::Error(
            QStringLiteral("База вопросов повреждена: длина названия %1 больше %2 (%3).")
                .arg(titleLength)
                .arg(MaxTitle)
                .arg(shown));

    std::array<TQuestionEntry, QuestionCount> index;
    for (int k = 0; k < QuestionCount; ++k) {
        const char* e = head + IndexOffset + 16 * k;
        index[std::size_t(k)] = {qFromLittleEndian<uint32_t>(e), qFromLittleEndian<uint32_t>(e + 4),
                                 qFromLittleEndian<uint32_t>(e + 8),
                                 qFromLittleEndian<uint32_t>(e + 12)};
    }

    m_file = std::move(file);
    m_fileSize = uint64_t(info.st_size);
    m_path = path;
    m_title = DecodeCp1251(head + 1, titleLength);
    m_index = index;
    return Status::Ok();
}

void Database::CloseDatabase() {
    m_file.reset();
    m_fileSize = 0;
    m_path.clear();
    m_title.clear();
    m_index = {};
}

Status Database::readBlob(int number, uint32_t offset, uint32_t size, uint32_t limit, bool text,
                          QByteArray& out) const {
    const QString what = text ? QStringLiteral("текст") : QStringLiteral("рисунок");
    if (size > limit)
        return Damaged(
            number,
            QStringLiteral("%1 занимает %2 байт, больше %3").arg(what).arg(size).arg(limit));
    // Blobs live after the index; anything else is a damaged entry, not a question.
    if (offset < BlobAreaOffset || uint64_t(offset) + size > m_fileSize)
        return Damaged(number, QStringLiteral("%1 вне файла").arg(what));
    out.resize(qsizetype(size));
    const qsizetype got = ReadAt(m_file->fd, out.data(), size, offset);
    if (got < 0) {
        const int error = errno;
        return Status::Error(QStringLiteral("Не удалось прочитать вопрос %1 из базы вопросов: %2")
                                 .arg(number)
                                 .arg(SystemError(error)));
    }
    if (got != qsizetype(size)) // the file shrank after it was opened
        return Damaged(number, QStringLiteral("файл обрезан"));
    return Status::Ok();
}

Status Database::readTextBlob(int number, QByteArray& blob) const {
    if (number < 1 || number > QuestionCount)
        return Status::Error(QStringLiteral("Нет вопроса с номером %1").arg(number));
    if (!m_file)
        return Status::Error(QStringLiteral("База вопросов не открыта"));
    const TQuestionEntry& entry = m_index[std::size_t(number - 1)];
    return readBlob(number, entry.TextOffset, entry.TextSize, MaxTextBlob, true, blob);
}

Result<TQuestion> Database::LoadQuestion(int number) const {
    return loadQuestion(number, true);
}

Result<TQuestion> Database::LoadQuestionText(int number) const {
    return loadQuestion(number, false);
}

Result<TQuestion> Database::loadQuestion(int number, bool picture) const {
    QByteArray blob;
    if (Status s = readTextBlob(number, blob); !s)
        return s;
    const TQuestionEntry& entry = m_index[std::size_t(number - 1)];

    LineCursor lines(blob.constData(), std::size_t(blob.size()));
    std::string_view line;
    if (!lines.next(line) || line.empty() || line.front() < '1' || line.front() > '5')
        return Damaged(number, QStringLiteral("первая строка не начинается с цифры от 1 до 5"));
    TQuestion q;
    q.Number = number;
    q.Ticket = TicketOf(number);
    q.InTicket = PositionOf(number);
    q.Correct = line.front() - '0';

    if (!lines.next(line) || line.empty())
        return Damaged(number, QStringLiteral("пустой текст вопроса"));
    q.Text = Decode(line);

    bool star = false;
    while (lines.next(line)) {
        if (line == "*") {
            star = true;
            break;
        }
        if (q.AnswerCount == MaxAnswers)
            return Damaged(number, QStringLiteral("больше пяти ответов"));
        q.Answers[std::size_t(q.AnswerCount++)] = Decode(line);
    }
    if (!star)
        return Damaged(number, QStringLiteral("нет строки «*» после ответов"));
    if (q.AnswerCount < 2)
        return Damaged(number, QStringLiteral("меньше двух ответов"));
    if (q.Correct > q.AnswerCount)
        return Damaged(
            number,
            QStringLiteral("верный ответ %1, а ответов %2").arg(q.Correct).arg(q.AnswerCount));
    if (lines.next(line))
        q.Comment = CommentOf(line);

    if (entry.PictureOffset != 0 && !picture) {
        q.HasPicture = true;
    } else if (entry.PictureOffset != 0) {
        if (entry.PictureSize == 0)
            return Damaged(number, QStringLiteral("рисунок пустой"));
        if (Status s = readBlob(number, entry.PictureOffset, entry.PictureSize, MaxPictureBlob,
                                false, q.Picture);
            !s)
            return s;
        q.HasPicture = true;
    }
    return q;
}

Result<QString> Database::LoadComment(int number) const {
    QByteArray blob;
    if (Status s = readTextBlob(number, blob); !s)
        return s;

    LineCursor lines(blob.constData(), std::size_t(blob.size()));
    std::string_view line;
    // Lines 0 and 1 are the right answer and the question; the "*" search starts at line 2.
    for (int skip = 0; skip < 2; ++skip)
        if (!lines.next(line))
            return Damaged(number, QStringLiteral("нет строки «*» после ответов"));
    while (lines.next(line)) {
        if (line == "*")
            return lines.next(line) ? CommentOf(line) : QString();
    }
    return Damaged(number, QStringLiteral("нет строки «*» после ответов"));
}

Status SwitchDatabase(Database& db, const QString& path) {
    Database fresh;
    if (Status s = fresh.OpenDatabase(path); !s)
        return s;
    db.swap(fresh); // the old file closes with fresh
    return Status::Ok();
}

} // namespace bil
