// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/fingerprint.h"

#include "data/prints_file.h"

#include <QCryptographicHash>

#include <cstring>

namespace bil {

namespace {

// Fields are framed by their length so that moving text between them changes the print.
void AddField(QCryptographicHash& hash, const QByteArray& bytes) {
    const quint32 size = quint32(bytes.size());
    unsigned char frame[4] = {uchar(size), uchar(size >> 8), uchar(size >> 16), uchar(size >> 24)};
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(frame), 4));
    hash.addData(bytes);
}

Fingerprint First8(const QByteArray& digest) {
    Fingerprint out = 0;
    for (int i = 0; i < 8; ++i)
        out = (out << 8) | uchar(digest[i]);
    return out;
}

} // namespace

QString NormaliseForPrint(const QString& text) {
    QString out;
    out.reserve(text.size());
    bool blank = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += QLatin1Char(' ');
        blank = false;
        out += c;
    }
    return out;
}

Fingerprint QuestionFingerprint(const TQuestion& question) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    AddField(hash, NormaliseForPrint(question.Text).toUtf8());
    AddField(hash, QByteArray::number(question.AnswerCount));
    for (int k = 0; k < question.AnswerCount && k < MaxAnswers; ++k)
        AddField(hash, NormaliseForPrint(question.Answers[k]).toUtf8());
    AddField(hash, QByteArray::number(question.Correct));
    AddField(hash, question.HasPicture ? question.Picture : QByteArray());
    return First8(hash.result());
}

Fingerprint SetFingerprint(const QuestionPrints& prints) {
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const Fingerprint print : prints) {
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i)
            bytes[i] = uchar(print >> (56 - 8 * i));
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(bytes), 8));
    }
    return First8(hash.result());
}

QString FingerprintText(Fingerprint print) {
    return QStringLiteral("%1").arg(print, 16, 16, QLatin1Char('0'));
}

Result<QuestionPrints> ComputeQuestionPrints(const Database& db) {
    QuestionPrints prints{};
    for (int n = 1; n <= QuestionCount; ++n) {
        Result<TQuestion> question = db.LoadQuestion(n);
        if (!question)
            return question.status();
        prints[n - 1] = QuestionFingerprint(*question);
    }
    return prints;
}

Result<QuestionPrints> PrintCache::prints(const Database& db) {
    if (!m_valid || m_dbPath != db.DbPath() || m_dbIndex != db.DbIndex()) {
        Result<QuestionPrints> computed = ReadPrintsFile(db);
        if (!computed) {
            computed = ComputeQuestionPrints(db);
            if (!computed)
                return computed.status();
            (void)WritePrintsFile(db, *computed); // a read-only folder only costs time later
        }
        m_prints = *computed;
        m_set = SetFingerprint(m_prints);
        m_dbPath = db.DbPath();
        m_dbIndex = db.DbIndex();
        m_valid = true;
    }
    return m_prints;
}

Fingerprint PrintCache::setPrint(const Database& db) {
    return prints(db) ? m_set : 0;
}

} // namespace bil
