// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_dataset.h"

#include "data/jpeg_encode.h"
#include "data/numbering.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <locale.h>
#include <webp/encode.h>

namespace bil::test {

namespace {

QString SetLabel(CategorySet set) {
    return set == CategorySet::AB ? QStringLiteral("A,B") : QStringLiteral("C,D");
}

int AnswerCount(int n) {
    return 2 + n % 4;
}

QString Hex(CategorySet set, int n) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QStringLiteral("%1-%2").arg(SetLabel(set)).arg(n).toUtf8(),
                                 QCryptographicHash::Md5)
            .toHex());
}

int PictureStep(const DataSetShape& shape) {
    return shape.PicturesPerSet > 0 ? std::max(1, QuestionCount / shape.PicturesPerSet) : 0;
}

// Index among the set's pictures, or -1.
int PictureIndex(const DataSetShape& shape, int n) {
    const int step = PictureStep(shape);
    if (step == 0 || (n - 1) % step != 0 || (n - 1) / step >= shape.PicturesPerSet)
        return -1;
    return (n - 1) / step;
}

bool IsBig(const DataSetShape& shape, CategorySet set, int n) {
    return shape.BigJpeg && set == CategorySet::AB && n == 2;
}

QByteArray WebpPicture(const DataSetShape& shape, int seed) {
    const int w = shape.PictureWidth, h = shape.PictureHeight;
    std::vector<uint8_t> rgb(std::size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = rgb.data() + (std::size_t(y) * w + x) * 3;
            p[0] = uint8_t(x * 255 / w + seed);
            p[1] = uint8_t(y * 255 / h);
            p[2] = uint8_t(((x / 8 + y / 8 + seed) % 2) * 200);
        }
    uint8_t* out = nullptr;
    const std::size_t size = WebPEncodeRGB(rgb.data(), w, h, w * 3, 75, &out);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    WebPFree(out);
    return bytes;
}

// Smooth with fine grain: over 300000 bytes at high quality, quick to bring under the limit.
const QByteArray& BigJpeg() {
    static const QByteArray jpeg = [] {
        RgbImage image(3333, 1250);
        uint32_t state = 7;
        for (int y = 0; y < image.Height; ++y)
            for (int x = 0; x < image.Width; ++x) {
                state = state * 1664525u + 1013904223u;
                uint8_t* p = image.at(x, y);
                const uint8_t grain = uint8_t((state >> 24) & 31);
                p[0] = uint8_t(x * 200 / image.Width + grain);
                p[1] = uint8_t(y * 200 / image.Height + grain);
                p[2] = uint8_t(120 + grain);
            }
        return EncodeJpeg(image, 90).value();
    }();
    return jpeg;
}

QString ImagePathFor(const DataSetShape& shape, CategorySet set, int n) {
    const QString folder = CategoryFolder(set);
    if (IsBig(shape, set, n))
        return QStringLiteral("./tmp/images/%1/%2.jpg").arg(folder, Hex(set, n));
    const int k = PictureIndex(shape, n);
    if (k < 0)
        return NoImagePlaceholder;
    // Most ticket files use the wrong tmp/ form; the README's right form occurs too.
    return k % 3 == 1 ? QStringLiteral("./images/%1/%2.jpg").arg(folder, Hex(set, n))
                      : QStringLiteral("./tmp/images/%1/%2.jpg").arg(folder, Hex(set, n));
}

QJsonObject JsonQuestion(const DataSetShape& shape, CategorySet set, int ticket, int position,
                         bool inTicket) {
    const int n = NumberOf(ticket, position);
    const QuestionSource q = ExpectedQuestion(set, n);
    QJsonArray answers;
    for (std::size_t a = 0; a < q.Answers.size(); ++a)
        answers.append(QJsonObject{{QStringLiteral("answer_text"), q.Answers[a]},
                                   {QStringLiteral("is_correct"), int(a) + 1 == q.Correct}});
    return QJsonObject{
        {QStringLiteral("title"), QStringLiteral("Вопрос %1").arg(position)},
        {QStringLiteral("ticket_number"),
         inTicket ? QJsonValue(QStringLiteral("Билет %1").arg(ticket)) : QJsonValue()},
        {QStringLiteral("ticket_category"), SetLabel(set)},
        {QStringLiteral("image"), ImagePathFor(shape, set, n)},
        // The data set breaks some texts over lines; the database keeps one line.
        {QStringLiteral("question"),
         QStringLiteral("Вопрос %1 (%2):\nчто верно?").arg(n).arg(SetLabel(set))},
        {QStringLiteral("answers"), answers},
        {QStringLiteral("correct_answer"), QStringLiteral("Правильный ответ: %1").arg(q.Correct)},
        {QStringLiteral("answer_tip"),
         QStringLiteral("Смотрите п. 8.1 и знак 2.4 ПДД (%1,\r\n%2).").arg(SetLabel(set)).arg(n)},
        {QStringLiteral("topic"), QJsonArray{QStringLiteral("Общие положения")}},
        {QStringLiteral("id"), Hex(set, n)},
    };
}

// Names of entries in the thread's UTF-8 locale, as the reader does.
class Utf8Locale {
public:
    Utf8Locale() : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {
        if (m_utf8)
            m_previous = uselocale(m_utf8);
    }
    ~Utf8Locale() {
        if (m_utf8) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }

private:
    locale_t m_utf8;
    locale_t m_previous = nullptr;
};

la_ssize_t AppendToArray(archive*, void* data, const void* buffer, size_t length) {
    static_cast<QByteArray*>(data)->append(static_cast<const char*>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

} // namespace

QuestionSource ExpectedQuestion(CategorySet set, int n) {
    QuestionSource q;
    q.Text = QStringLiteral("Вопрос %1 (%2): что верно?").arg(n).arg(SetLabel(set));
    const int count = AnswerCount(n);
    for (int a = 1; a <= count; ++a)
        q.Answers.push_back(
            QStringLiteral("Ответ %1 на вопрос %2 %3").arg(a).arg(n).arg(SetLabel(set)));
    q.Correct = n % count + 1;
    q.Comment =
        QStringLiteral("Смотрите п. 8.1 и знак 2.4 ПДД (%1, %2).").arg(SetLabel(set)).arg(n);
    return q;
}

bool HasPicture(const DataSetShape& shape, CategorySet set, int number) {
    return IsBig(shape, set, number) || PictureIndex(shape, number) >= 0;
}

DataSetFiles MakePublishedDataSet(const DataSetShape& shape) {
    DataSetFiles files;
    for (CategorySet set : {CategorySet::AB, CategorySet::CD}) {
        const QString folder = CategoryFolder(set);
        for (int t = 1; t <= TicketCount; ++t) {
            QJsonArray items;
            for (int p = 1; p <= TicketSize; ++p)
                items.append(JsonQuestion(shape, set, t, p, true));
            files.emplace_back(
                QStringLiteral("questions/%1/tickets/Билет %2.json").arg(folder).arg(t),
                QJsonDocument(items).toJson());
        }
        // Topic files repeat questions without a ticket number; the import must not read them.
        QJsonArray topic;
        for (int p = 1; p <= 3; ++p)
            topic.append(JsonQuestion(shape, set, 1, p, false));
        files.emplace_back(QStringLiteral("questions/%1/topics/Общие положения.json").arg(folder),
                           QJsonDocument(topic).toJson());
        for (int n = 1; n <= QuestionCount; ++n) {
            if (!HasPicture(shape, set, n))
                continue;
            files.emplace_back(QStringLiteral("images/%1/%2.jpg").arg(folder, Hex(set, n)),
                               IsBig(shape, set, n)
                                   ? BigJpeg()
                                   : WebpPicture(shape, n + (set == CategorySet::CD ? 7 : 0)));
        }
    }
    files.emplace_back(QStringLiteral("signs/signs.json"), QByteArray("[]"));
    files.emplace_back(QStringLiteral("markup/markup.json"), QByteArray("[]"));
    files.emplace_back(QStringLiteral("penalties/penalties.json"), QByteArray("[]"));
    files.emplace_back(QStringLiteral("README.md"),
                       QByteArray("# Билеты\n\n\"image\": \"./images/A_B/<hex>.jpg\"\n"));
    return files;
}

bool WriteDataSetFolder(const QString& folder, const DataSetFiles& files, const QString& prefix) {
    const QDir root(prefix.isEmpty() ? folder : QDir(folder).filePath(prefix));
    for (const auto& [rel, bytes] : files) {
        const QString path = root.filePath(rel);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
            ADD_FAILURE() << "cannot write " << path.toStdString();
            return false;
        }
    }
    return true;
}

QByteArray MakeArchive(ArchiveFormat format, const DataSetFiles& files, const QString& prefix,
                       const QStringList& rawNames) {
    const Utf8Locale names;
    QByteArray out;
    archive* a = archive_write_new();
    if (format == ArchiveFormat::Zip) {
        archive_write_set_format_zip(a);
    } else {
        archive_write_set_format_pax_restricted(a);
        if (format == ArchiveFormat::TarGz)
            archive_write_add_filter_gzip(a);
    }
    archive_write_set_bytes_in_last_block(a, 1);
    if (archive_write_open(a, &out, nullptr, AppendToArray, nullptr) != ARCHIVE_OK) {
        ADD_FAILURE() << archive_error_string(a);
        archive_write_free(a);
        return {};
    }
    auto add = [&](const QByteArray& name, const QByteArray& bytes) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, name.constData());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, bytes.size());
        if (archive_write_header(a, e) != ARCHIVE_OK ||
            archive_write_data(a, bytes.constData(), std::size_t(bytes.size())) != bytes.size())
            ADD_FAILURE() << "archive entry " << name.toStdString() << ": "
                          << (archive_error_string(a) ? archive_error_string(a) : "");
        archive_entry_free(e);
    };
    if (!prefix.isEmpty()) {
        archive_entry* e = archive_entry_new();
        archive_entry_set_pathname_utf8(e, prefix.toUtf8().constData());
        archive_entry_set_filetype(e, AE_IFDIR);
        archive_entry_set_perm(e, 0755);
        archive_write_header(a, e);
        archive_entry_free(e);
    }
    for (const auto& [rel, bytes] : files)
        add((prefix + rel).toUtf8(), bytes);
    for (const QString& raw : rawNames)
        add(raw.toUtf8(), QByteArray("evil"));
    archive_write_close(a);
    archive_write_free(a);
    return out;
}

} // namespace bil::test

namespace bil::test {

namespace {

// Edits question n (1..800) of A,B in place among the ticket files.
void EditQuestion(DataSetFiles& files, int n, const std::function<void(QJsonObject&)>& edit) {
    const QString name = QStringLiteral("questions/A_B/tickets/Билет %1.json").arg(TicketOf(n));
    for (auto& [rel, bytes] : files) {
        if (rel != name)
            continue;
        QJsonArray items = QJsonDocument::fromJson(bytes).array();
        QJsonObject q = items[PositionOf(n) - 1].toObject();
        edit(q);
        items[PositionOf(n) - 1] = q;
        bytes = QJsonDocument(items).toJson();
        return;
    }
    ADD_FAILURE() << "no ticket file for question " << n;
}

QJsonObject QuestionAt(const DataSetFiles& files, int n) {
    const QString name = QStringLiteral("questions/A_B/tickets/Билет %1.json").arg(TicketOf(n));
    for (const auto& [rel, bytes] : files)
        if (rel == name)
            return QJsonDocument::fromJson(bytes).array()[PositionOf(n) - 1].toObject();
    return {};
}

} // namespace

DataSetFiles MakeNextRelease(const DataSetShape& shape) {
    DataSetFiles files = MakePublishedDataSet(shape);
    const QString q = QStringLiteral("question");
    const QString answers = QStringLiteral("answers");
    EditQuestion(files, 1, [&](QJsonObject& o) {
        o[q] = QStringLiteral("Вопрос 1 (A,B), заданный иначе: что верно?");
    });
    EditQuestion(files, 3, [&](QJsonObject& o) {
        QJsonArray a = o[answers].toArray();
        const QJsonValue first = a[0];
        a[0] = a[1];
        a[1] = first;
        o[answers] = a;
    });
    EditQuestion(files, 4, [&](QJsonObject& o) {
        QJsonArray a = o[answers].toArray();
        for (qsizetype k = 0; k < a.size(); ++k) {
            QJsonObject answer = a[k].toObject();
            answer[QStringLiteral("is_correct")] = !answer[QStringLiteral("is_correct")].toBool();
            a[k] = answer;
        }
        o[answers] = a;
        o[QStringLiteral("correct_answer")] = QStringLiteral("Правильный ответ: 2");
    });
    EditQuestion(files, 5, [&](QJsonObject& o) {
        o[QStringLiteral("answer_tip")] = QStringLiteral("Исправленное объяснение: п. 8.2 ПДД.");
    });
    const QJsonObject moving = QuestionAt(files, 21);
    EditQuestion(files, 45, [&](QJsonObject& o) {
        o = moving;
        o[QStringLiteral("ticket_number")] = QStringLiteral("Билет 3");
        o[QStringLiteral("title")] = QStringLiteral("Вопрос 5");
    });
    EditQuestion(files, 21, [&](QJsonObject& o) {
        o[q] = QStringLiteral("Новый вопрос этого выпуска: что верно?");
    });
    // The picture of 67 gets the bytes of another question's picture.
    const QString from = QStringLiteral("images/A_B/%1.jpg").arg(Hex(CategorySet::AB, 133));
    const QString to = QStringLiteral("images/A_B/%1.jpg").arg(Hex(CategorySet::AB, 67));
    QByteArray replacement;
    for (const auto& [rel, bytes] : files)
        if (rel == from)
            replacement = bytes;
    EXPECT_TRUE(HasPicture(shape, CategorySet::AB, 67) && !replacement.isEmpty());
    for (auto& [rel, bytes] : files)
        if (rel == to)
            bytes = replacement;
    return files;
}

QStringList NextReleaseDiffLines() {
    return {QStringLiteral("changed 1: text"),
            QStringLiteral("changed 3: answers"),
            QStringLiteral("changed 4: right"),
            QStringLiteral("changed 5: comment"),
            QStringLiteral("new 21"),
            QStringLiteral("moved 21 -> 45"),
            QStringLiteral("gone 45"),
            QStringLiteral("changed 67: picture"),
            QStringLiteral("unchanged 794, moved 1, changed 4, new 1, gone 1")};
}

} // namespace bil::test
