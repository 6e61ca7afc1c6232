// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Test builders for question databases: valid questions, written files, and raw byte patches
// for deliberately broken files. Failures here fail the calling test (ADD_FAILURE).

#include "data/database.h"
#include "data/dbv_writer.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <ostream>
#include <vector>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

namespace bil::test {

// A temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    const QString& path() const { return m_path; }
    // Full path of a file in the folder (the file need not exist).
    QString file(const QString& name) const;

private:
    QTemporaryDir m_dir;
    QString m_path;
};

inline const QString TestTitle = QStringLiteral("Билеты категорий «A» и «B»");

// Predictable texts of the questions MakeQuestions builds.
QString TestQuestionText(int number);
QString TestAnswerText(int number, int k);
QString TestComment(int number);
int TestAnswerCount(int number); // 2,3,4,5,2,... by number
int TestCorrect(int number);     // 1..TestAnswerCount, varies

// 800 valid questions using the texts above; comments are realistic Russian text with rule
// references ("п. 8.1", "Пункт 10.1", "знак 2.4", "разметка 1.1"). With jpeg given, every
// question whose number is divisible by pictureEvery carries it as its picture.
std::vector<QuestionSource> MakeQuestions(const QByteArray& jpeg = {}, int pictureEvery = 3);

// The .dbv bytes of the questions (empty and a test failure when the writer refuses).
QByteArray BuildTestDatabase(const std::vector<QuestionSource>& questions = MakeQuestions(),
                             const QString& title = TestTitle);

// Writes dir/fileName and returns its full path (empty and a test failure on error).
QString WriteTestDatabase(const QString& dir,
                          const std::vector<QuestionSource>& questions = MakeQuestions(),
                          const QString& fileName = QStringLiteral("dataAB.dbv"),
                          const QString& title = TestTitle);

// Writes bytes to a file; returns the path (empty and a test failure on error).
QString WriteBytes(const QString& path, const QByteArray& bytes);
// The whole file; empty when it cannot be read.
QByteArray ReadAll(const QString& path);

// The raw bytes of a .dbv file, with patches for header and index entries.
class DbvBytes {
public:
    explicit DbvBytes(QByteArray bytes = BuildTestDatabase()) : m_bytes(std::move(bytes)) {}

    QByteArray& bytes() { return m_bytes; }
    const QByteArray& bytes() const { return m_bytes; }

    // Index entry of question 1..800 as stored (zero beyond the end of a short file).
    TQuestionEntry entry(int number) const;
    void setEntry(int number, const TQuestionEntry& entry);
    // The stored text blob of the question, exactly as its entry addresses it.
    QByteArray textBlob(int number) const;

    void setTitleLength(uint8_t length) { setByte(0, length); }
    // Sets one byte, growing the file with zeros if needed.
    void setByte(qsizetype offset, uint8_t value);
    // Appends bytes at the end of the file and returns their offset.
    uint32_t append(const QByteArray& blob);
    // Appends a new text blob and points the question's entry at it.
    void replaceText(int number, const QByteArray& blob);
    // Appends a new picture blob and points the question's entry at it.
    void replacePicture(int number, const QByteArray& blob);
    void truncate(qsizetype size) { m_bytes.truncate(size); }

    // Writes the bytes to path and returns it (empty and a test failure on error).
    QString save(const QString& path) const { return WriteBytes(path, m_bytes); }

private:
    uint32_t u32(qsizetype offset) const;
    void setU32(qsizetype offset, uint32_t value);

    QByteArray m_bytes;
};

} // namespace bil::test
