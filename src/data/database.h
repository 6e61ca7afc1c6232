// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "data/numbering.h"
#include "data/status.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>

namespace bil {

// One 16-byte index entry, exactly as stored.
struct TQuestionEntry {
    uint32_t TextOffset = 0;
    uint32_t TextSize = 0;
    uint32_t PictureOffset = 0; // 0: no picture
    uint32_t PictureSize = 0;
    bool operator==(const TQuestionEntry&) const = default;
};

// One question as read from the database. Answers and Correct refer to the stored order.
struct TQuestion {
    int Number = 0;
    int Ticket = 0;
    int InTicket = 0;
    int Correct = 0;
    QString Text;
    std::array<QString, MaxAnswers> Answers; // slots above AnswerCount are empty
    int AnswerCount = 0;
    QString Comment;
    bool HasPicture = false;
    QByteArray Picture; // the JPEG bytes; empty without a picture

    // "k. answer" for the answer in stored slot k (1-based).
    QString DisplayAnswer(int k) const;
};

// The open question database: title and index in memory, blobs read on demand.
class Database {
public:
    static constexpr int HeaderSize = 51;
    static constexpr int MaxTitle = 50;
    static constexpr int IndexOffset = 51;
    static constexpr int IndexSize = QuestionCount * 16;
    static constexpr uint32_t MaxTextBlob = 30000;
    static constexpr uint32_t MaxPictureBlob = 300000;
    static constexpr uint32_t BlobAreaOffset = IndexOffset + IndexSize; // 12851

    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the file read-only and reads title and index; on failure this object is unchanged.
    // A file shorter than header and index still opens: the missing bytes read as zero.
    Status OpenDatabase(const QString& path);
    void CloseDatabase();
    bool isOpen() const;

    // Reads and parses question 1..800, picture bytes included. A blob outside the format is
    // an error "База вопросов повреждена: вопрос N, <reason>."
    Result<TQuestion> LoadQuestion(int number) const;
    // The same without reading the picture: Picture stays empty, HasPicture tells whether the
    // question has one. For readers of the texts only (the search).
    Result<TQuestion> LoadQuestionText(int number) const;
    // Reads only the text blob of a question and returns its comment; checks only that the
    // blob can be read and has a "*" line.
    Result<QString> LoadComment(int number) const;

    const QString& DbPath() const { return m_path; }
    const QString& DbTitle() const { return m_title; }
    const std::array<TQuestionEntry, QuestionCount>& DbIndex() const { return m_index; }

private:
    friend Status SwitchDatabase(Database& db, const QString& path);
    struct File;
    // Reads one blob of the question into a buffer; the checks common to both readers.
    // Checks the number and the open file, then reads the question's text blob.
    Status readTextBlob(int number, QByteArray& blob) const;
    Result<TQuestion> loadQuestion(int number, bool picture) const;
    Status readBlob(int number, uint32_t offset, uint32_t size, uint32_t limit, bool text,
                    QByteArray& out) const;
    void swap(Database& other) noexcept;

    std::unique_ptr<File> m_file;
    uint64_t m_fileSize = 0;
    QString m_path;
    QString m_title;
    std::array<TQuestionEntry, QuestionCount> m_index{};
};

// Replaces the open database by another file; on failure the previous one stays open and usable.
Status SwitchDatabase(Database& db, const QString& path);

} // namespace bil
