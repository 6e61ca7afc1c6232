// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_db.h"

#include "data/file_commit.h"
#include "data/numbering.h"

#include <QDir>
#include <QtEndian>

#include <gtest/gtest.h>

namespace bil::test {

TempDir::TempDir() : m_path(m_dir.path()) {
    if (!m_dir.isValid())
        ADD_FAILURE() << "cannot create a temporary folder";
}

QString TempDir::file(const QString& name) const {
    return m_path + QLatin1Char('/') + name;
}

QString TestQuestionText(int number) {
    static const char16_t* const kinds[] = {
        u"Разрешено ли Вам обогнать грузовой автомобиль в данной ситуации?",
        u"Какой знак обозначает начало населённого пункта?",
        u"В каком случае водитель должен уступить дорогу пешеходам?",
        u"Где Вам разрешено остановиться на этом участке дороги?",
        u"Кто из водителей нарушил правила стоянки?",
    };
    return QStringLiteral("Вопрос %1. ").arg(number) + QString::fromUtf16(kinds[number % 5]);
}

QString TestAnswerText(int number, int k) {
    static const char16_t* const answers[] = {
        u"Разрешено",
        u"Запрещено",
        u"Разрешено, только если скорость не более 30 км/ч",
        u"Только водитель легкового автомобиля",
        u"Оба водителя",
    };
    return QString::fromUtf16(answers[(k - 1) % 5]) + QStringLiteral(" (%1/%2)").arg(number).arg(k);
}

QString TestComment(int number) {
    static const char16_t* const comments[] = {
        u"Согласно п. 8.1 перед началом движения, перестроением, поворотом (разворотом) и "
        u"остановкой водитель обязан подавать сигналы световыми указателями поворота.",
        u"Пункт 10.1 требует вести транспортное средство со скоростью, не превышающей "
        u"установленного ограничения, учитывая интенсивность движения и дорожные условия.",
        u"Знак 2.4 «Уступите дорогу» обязывает уступить дорогу транспортным средствам, "
        u"движущимся по пересекаемой дороге; см. также п. 13.9.",
        u"Сплошную линию разметка 1.1 пересекать запрещается (п. 9.1.1), поэтому обгон здесь "
        u"невозможен.",
        u"Остановка запрещена ближе 5 м от пешеходного перехода (п. 12.4); знак 3.27 также "
        u"запрещает остановку.",
        u"",
    };
    return QString::fromUtf16(comments[number % 6]);
}

int TestAnswerCount(int number) {
    return 2 + (number - 1) % 4;
}

int TestCorrect(int number) {
    return 1 + (number / 4) % TestAnswerCount(number);
}

std::vector<QuestionSource> MakeQuestions(const QByteArray& jpeg, int pictureEvery) {
    std::vector<QuestionSource> questions(QuestionCount);
    for (int n = 1; n <= QuestionCount; ++n) {
        QuestionSource& q = questions[std::size_t(n - 1)];
        q.Text = TestQuestionText(n);
        for (int k = 1; k <= TestAnswerCount(n); ++k)
            q.Answers.push_back(TestAnswerText(n, k));
        q.Correct = TestCorrect(n);
        q.Comment = TestComment(n);
        if (!jpeg.isEmpty() && pictureEvery > 0 && n % pictureEvery == 0)
            q.Jpeg = jpeg;
    }
    return questions;
}

QByteArray BuildTestDatabase(const std::vector<QuestionSource>& questions, const QString& title) {
    Result<QByteArray> bytes = BuildDatabase(title, questions);
    if (!bytes) {
        ADD_FAILURE() << "BuildDatabase: " << bytes.error().toStdString();
        return QByteArray();
    }
    return *bytes;
}

QString WriteTestDatabase(const QString& dir, const std::vector<QuestionSource>& questions,
                          const QString& fileName, const QString& title) {
    const QString path = dir + QLatin1Char('/') + fileName;
    if (Status s = WriteDatabase(path, title, questions); !s) {
        ADD_FAILURE() << "WriteDatabase: " << s.message().toStdString();
        return QString();
    }
    return path;
}

QString WriteBytes(const QString& path, const QByteArray& bytes) {
    if (Status s = WriteFileAtomically(path, bytes); !s) {
        ADD_FAILURE() << s.message().toStdString();
        return QString();
    }
    return path;
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

uint32_t DbvBytes::u32(qsizetype offset) const {
    char raw[4] = {};
    for (int i = 0; i < 4; ++i)
        if (offset + i < m_bytes.size())
            raw[i] = m_bytes[offset + i];
    return qFromLittleEndian<uint32_t>(raw);
}

void DbvBytes::setU32(qsizetype offset, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        setByte(offset + i, uint8_t(value >> (8 * i)));
}

TQuestionEntry DbvBytes::entry(int number) const {
    const qsizetype at = Database::IndexOffset + 16 * (number - 1);
    return {u32(at), u32(at + 4), u32(at + 8), u32(at + 12)};
}

void DbvBytes::setEntry(int number, const TQuestionEntry& entry) {
    const qsizetype at = Database::IndexOffset + 16 * (number - 1);
    setU32(at, entry.TextOffset);
    setU32(at + 4, entry.TextSize);
    setU32(at + 8, entry.PictureOffset);
    setU32(at + 12, entry.PictureSize);
}

QByteArray DbvBytes::textBlob(int number) const {
    const TQuestionEntry e = entry(number);
    return m_bytes.mid(qsizetype(e.TextOffset), qsizetype(e.TextSize));
}

void DbvBytes::setByte(qsizetype offset, uint8_t value) {
    if (offset >= m_bytes.size())
        m_bytes.append(QByteArray(offset + 1 - m_bytes.size(), '\0'));
    m_bytes[offset] = char(value);
}

uint32_t DbvBytes::append(const QByteArray& blob) {
    const uint32_t at = uint32_t(m_bytes.size());
    m_bytes.append(blob);
    return at;
}

void DbvBytes::replaceText(int number, const QByteArray& blob) {
    TQuestionEntry e = entry(number);
    e.TextOffset = append(blob);
    e.TextSize = uint32_t(blob.size());
    setEntry(number, e);
}

void DbvBytes::replacePicture(int number, const QByteArray& blob) {
    TQuestionEntry e = entry(number);
    e.PictureOffset = append(blob);
    e.PictureSize = uint32_t(blob.size());
    setEntry(number, e);
}

} // namespace bil::test
