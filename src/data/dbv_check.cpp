// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dbv_check.h"

#include "data/jpeg.h"
#include "data/themes.h"

#include <QFileInfo>
#include <QJsonArray>

namespace bil {

namespace {

// The reader's message without its generic lead, so each line of a report names only the fault.
QString Reason(const QString& message, int number) {
    const QString lead = QStringLiteral("База вопросов повреждена: вопрос %1, ").arg(number);
    QString s = message;
    if (s.startsWith(lead))
        s = s.mid(lead.size());
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

// The one check the reader leaves to the windows: the picture must decode. Answer count and
// right answer are refused by the reader itself.
void CheckPicture(const TQuestion& q, std::vector<DbvProblem>& problems) {
    if (!q.HasPicture)
        return;
    const auto* data = reinterpret_cast<const uint8_t*>(q.Picture.constData());
    auto picture = DecodeJpeg(data, std::size_t(q.Picture.size()), 1, JpegDamage::Refuse);
    if (!picture)
        problems.push_back(
            {q.Number, QStringLiteral("картинка не декодируется: %1").arg(picture.error())});
}

} // namespace

QString DbvCheckReport::summary() const {
    return QStringLiteral(
               "«%1»: вопросов с картинками %2; самый длинный текст %3 байт (вопрос %4), "
               "самая большая картинка %5 байт (вопрос %6); повреждённых вопросов %7")
        .arg(Title)
        .arg(WithPicture)
        .arg(LargestText)
        .arg(LargestTextNumber)
        .arg(LargestPicture)
        .arg(LargestPictureNumber)
        .arg(Problems.size());
}

Result<DbvCheckReport> CheckDbvFile(const QString& path) {
    Database db;
    if (Status opened = db.OpenDatabase(path); !opened)
        return opened;
    DbvCheckReport report;
    report.Title = db.DbTitle();
    const qint64 fileSize = QFileInfo(path).size();
    if (fileSize < Database::IndexOffset + Database::IndexSize)
        report.Problems.push_back(
            {0, QStringLiteral("файл короче заголовка и индекса: %1 байт").arg(fileSize)});
    for (int n = 1; n <= QuestionCount; ++n) {
        const TQuestionEntry& e = db.DbIndex()[std::size_t(n - 1)];
        if (e.TextSize > report.LargestText) {
            report.LargestText = e.TextSize;
            report.LargestTextNumber = n;
        }
        if (e.PictureOffset != 0) {
            ++report.WithPicture;
            if (e.PictureSize > report.LargestPicture) {
                report.LargestPicture = e.PictureSize;
                report.LargestPictureNumber = n;
            }
        }
        auto q = db.LoadQuestion(n);
        if (!q) {
            report.Problems.push_back({n, Reason(q.error(), n)});
            continue;
        }
        CheckPicture(q.value(), report.Problems);
    }
    return report;
}

QJsonObject QuestionJson(const TQuestion& q) {
    QJsonObject o;
    o.insert(QStringLiteral("number"), q.Number);
    o.insert(QStringLiteral("ticket"), q.Ticket);
    o.insert(QStringLiteral("position"), q.InTicket);
    o.insert(QStringLiteral("text"), q.Text);
    QJsonArray answers;
    for (int k = 0; k < q.AnswerCount && k < MaxAnswers; ++k)
        answers.append(q.Answers[std::size_t(k)]);
    o.insert(QStringLiteral("answers"), answers);
    o.insert(QStringLiteral("correct"), q.Correct);
    o.insert(QStringLiteral("comment"), q.Comment);
    o.insert(QStringLiteral("has_picture"), q.HasPicture);
    if (q.HasPicture) {
        auto info = ReadJpegInfo(reinterpret_cast<const uint8_t*>(q.Picture.constData()),
                                 std::size_t(q.Picture.size()));
        o.insert(QStringLiteral("picture_bytes"), q.Picture.size());
        if (info) {
            o.insert(QStringLiteral("picture_width"), info->Width);
            o.insert(QStringLiteral("picture_height"), info->Height);
            o.insert(QStringLiteral("picture_progressive"), info->Progressive);
        } else {
            o.insert(QStringLiteral("picture_error"), info.error());
        }
    }
    const int theme = DefaultThemeOf(q.Number);
    o.insert(QStringLiteral("theme"), theme);
    o.insert(QStringLiteral("theme_name"), ThemeNames(theme));
    QJsonArray links;
    for (const HelpLink& link : BuildHelpLinks(q.Comment)) {
        QJsonObject l;
        l.insert(QStringLiteral("caption"), link.LinkCaption);
        l.insert(QStringLiteral("topic"), link.LinkTopic);
        links.append(l);
    }
    o.insert(QStringLiteral("help_links"), links);
    return o;
}

Result<QJsonObject> DumpQuestion(const Database& db, int number) {
    auto q = db.LoadQuestion(number);
    if (!q)
        return q.status();
    return QuestionJson(q.value());
}

} // namespace bil
