// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dbv_writer.h"

#include "data/cp1251.h"
#include "data/database.h"
#include "data/file_commit.h"

#include <QtEndian>

#include <cstring>

namespace bil {

namespace {

Status QuestionError(int number, const QString& reason) {
    return Status::Error(QStringLiteral("Вопрос %1: %2").arg(number).arg(reason));
}

// A line break or NUL inside a field would split it into other lines on reading.
bool HasBreak(const QString& s) {
    return s.contains(QLatin1Char('\r')) || s.contains(QLatin1Char('\n')) ||
           s.contains(QChar(u'\0'));
}

// One line of the text blob, encoded; what names the field in an error.
Status AddLine(int number, const QString& what, const QString& text, bool replace,
               QByteArray& blob) {
    if (HasBreak(text))
        return QuestionError(number, QStringLiteral("%1 содержит перевод строки").arg(what));
    Result<QByteArray> bytes = EncodeCp1251(text, replace);
    if (!bytes)
        return QuestionError(number, QStringLiteral("%1: %2").arg(what, bytes.error()));
    if (!blob.isEmpty())
        blob.append("\r\n");
    blob.append(*bytes);
    return Status::Ok();
}

Result<QByteArray> TextBlob(int number, const QuestionSource& q, bool replace) {
    const int count = int(q.Answers.size());
    if (count < 2 || count > MaxAnswers)
        return QuestionError(number,
                             QStringLiteral("ответов %1, а должно быть от 2 до 5").arg(count));
    if (q.Correct < 1 || q.Correct > count)
        return QuestionError(
            number, QStringLiteral("верный ответ %1 вне ответов 1..%2").arg(q.Correct).arg(count));
    if (q.Text.isEmpty())
        return QuestionError(number, QStringLiteral("пустой текст вопроса"));

    QByteArray blob = QByteArray::number(q.Correct);
    if (Status s = AddLine(number, QStringLiteral("текст вопроса"), q.Text, replace, blob); !s)
        return s;
    for (int k = 0; k < count; ++k) {
        const QString& answer = q.Answers[std::size_t(k)];
        const QString what = QStringLiteral("ответ %1").arg(k + 1);
        // A bare "*" would end the answers on reading.
        if (answer == QLatin1String("*"))
            return QuestionError(number, QStringLiteral("%1 равен «*»").arg(what));
        if (Status s = AddLine(number, what, answer, replace, blob); !s)
            return s;
    }
    blob.append("\r\n*");
    if (Status s = AddLine(number, QStringLiteral("комментарий"),
                           CommentPrefix + QLatin1Char(' ') + q.Comment, replace, blob);
        !s)
        return s;
    return blob;
}

void PutU32(char* at, uint32_t value) {
    qToLittleEndian<uint32_t>(value, at);
}

} // namespace

Result<QByteArray> BuildDatabase(const QString& title, const std::vector<QuestionSource>& questions,
                                 bool replace) {
    if (title.size() > Database::MaxTitle)
        return Status::Error(QStringLiteral("Название базы длиннее %1 символов: %2")
                                 .arg(Database::MaxTitle)
                                 .arg(title.size()));
    if (questions.size() != std::size_t(QuestionCount))
        return Status::Error(QStringLiteral("В базе должно быть %1 вопросов, а не %2")
                                 .arg(QuestionCount)
                                 .arg(questions.size()));
    Result<QByteArray> titleBytes = EncodeCp1251(title, replace);
    if (!titleBytes)
        return Status::Error(QStringLiteral("Название базы: %1").arg(titleBytes.error()));

    QByteArray out(Database::BlobAreaOffset, '\0');
    out[0] = char(titleBytes->size());
    std::memcpy(out.data() + 1, titleBytes->constData(), std::size_t(titleBytes->size()));

    for (int k = 0; k < QuestionCount; ++k) {
        const int number = k + 1;
        const QuestionSource& q = questions[std::size_t(k)];
        Result<QByteArray> text = TextBlob(number, q, replace);
        if (!text)
            return text.status();
        if (uint32_t(text->size()) > Database::MaxTextBlob)
            return QuestionError(number, QStringLiteral("текст занимает %1 байт, больше %2")
                                             .arg(text->size())
                                             .arg(Database::MaxTextBlob));
        if (uint32_t(q.Jpeg.size()) > Database::MaxPictureBlob)
            return QuestionError(number, QStringLiteral("рисунок занимает %1 байт, больше %2")
                                             .arg(q.Jpeg.size())
                                             .arg(Database::MaxPictureBlob));
        TQuestionEntry entry;
        entry.TextOffset = uint32_t(out.size());
        entry.TextSize = uint32_t(text->size());
        out.append(*text);
        if (!q.Jpeg.isEmpty()) {
            entry.PictureOffset = uint32_t(out.size());
            entry.PictureSize = uint32_t(q.Jpeg.size());
            out.append(q.Jpeg);
        }
        char* e = out.data() + Database::IndexOffset + 16 * k;
        PutU32(e, entry.TextOffset);
        PutU32(e + 4, entry.TextSize);
        PutU32(e + 8, entry.PictureOffset);
        PutU32(e + 12, entry.PictureSize);
    }
    return out;
}

Status WriteDatabase(const QString& path, const QString& title,
                     const std::vector<QuestionSource>& questions, bool replace) {
    Result<QByteArray> bytes = BuildDatabase(title, questions, replace);
    if (!bytes)
        return bytes.status();
    return WriteFileAtomically(path, *bytes);
}

} // namespace bil
