// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dbv_import.h"

#include "data/cp1251.h"
#include "data/database.h"
#include "data/jpeg.h"
#include "data/jpeg_encode.h"
#include "data/numbering.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <optional>

namespace bil {

namespace {

// Errors past this many are only counted, so a wrong folder does not flood the terminal.
constexpr int MaxListedErrors = 30;

QString Where(int ticket, int position) {
    return QStringLiteral("билет %1, вопрос %2").arg(ticket).arg(position);
}

struct Collector {
    QStringList Errors;
    int Dropped = 0;
    void add(const QString& message) {
        if (Errors.size() < MaxListedErrors)
            Errors << message;
        else
            ++Dropped;
    }
    bool empty() const { return Errors.isEmpty(); }
    Status status() const {
        QString text = Errors.join(QLatin1Char('\n'));
        if (Dropped > 0)
            text += QStringLiteral("\n… и ещё ошибок: %1").arg(Dropped);
        return Status::Error(text);
    }
};

class PictureStore {
public:
    PictureStore(const QString& root, CategorySet set)
        : m_root(QDir::cleanPath(root)), m_set(set) {}

    // The JPEG to store for an image path of the data set; empty for the placeholder.
    Result<QByteArray> picture(const QString& imagePath) {
        QString rel = imagePath.trimmed();
        if (rel.isEmpty() || IsNoImage(rel))
            return QByteArray();
        const auto cached = m_cache.constFind(rel);
        if (cached != m_cache.constEnd())
            return cached.value();
        auto made = load(rel);
        if (made)
            m_cache.insert(rel, made.value());
        return made;
    }
    int converted() const { return m_converted; }

private:
    static Status Damaged(const QString& rel, const QString& why) {
        return Status::Error(QStringLiteral("картинка %1 повреждена: %2").arg(rel, why));
    }

    static bool IsNoImage(const QString& rel) {
        return QFileInfo(rel).completeBaseName().compare(QLatin1String("no_image"),
                                                         Qt::CaseInsensitive) == 0;
    }

    Result<QByteArray> load(const QString& rel) {
        auto found = FindDataSetPicture(m_root, m_set, rel);
        if (!found)
            return found.status();
        auto read = ReadDataSetFile(found.value(), rel);
        if (!read)
            return read.status();
        const QByteArray bytes = read.value();
        const ImageFormat format = DetectImageFormat(bytes);
        if (format == ImageFormat::Jpeg) {
            auto info = ReadJpegInfo(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                     std::size_t(bytes.size()));
            if (!info)
                return Damaged(rel, info.error());
            if (bytes.size() <= qsizetype(Database::MaxPictureBlob)) {
                auto decoded = DecodeJpeg(reinterpret_cast<const uint8_t*>(bytes.constData()),
                                          std::size_t(bytes.size()), 1, JpegDamage::Refuse);
                if (!decoded)
                    return Damaged(rel, decoded.error());
                return bytes;
            }
            auto rgb = DecodeJpegRgb(bytes);
            if (!rgb)
                return Damaged(rel, rgb.error());
            return encode(rel, std::move(rgb.value()));
        }
        if (format == ImageFormat::Webp) {
            auto rgb = DecodeWebp(bytes);
            if (!rgb)
                return Damaged(rel, rgb.error());
            return encode(rel, std::move(rgb.value()));
        }
        return Status::Error(QStringLiteral("картинка %1 в формате %2 не поддерживается")
                                 .arg(rel, QString::fromUtf8(ImageFormatName(format))));
    }

    Result<QByteArray> encode(const QString& rel, RgbImage image) {
        auto jpeg = EncodeJpegWithin(std::move(image), int(Database::MaxPictureBlob));
        if (!jpeg)
            return Status::Error(QStringLiteral("картинка %1: %2").arg(rel, jpeg.error()));
        ++m_converted;
        return jpeg;
    }

    QString m_root;
    CategorySet m_set;
    QHash<QString, QByteArray> m_cache;
    int m_converted = 0;
};

// A text field; a number is taken as its text, anything else (null, missing) as empty.
QString TextOf(const QJsonValue& value) {
    if (value.isDouble())
        return QString::number(value.toDouble());
    return value.toString();
}

// The text fields of one question, checked against cp1251 unless replacing; with a count to
// fill, each character cp1251 lacks is counted instead of refused.
void CheckEncodable(const QString& where, const QString& field, const QString& text,
                    const JsonImportOptions& options, Collector& errors) {
    if (options.Replace)
        return;
    auto encoded = EncodeCp1251(text, false);
    if (encoded)
        return;
    if (!options.Unencodable) {
        errors.add(QStringLiteral("%1: %2 — %3 (запустите с --replace, чтобы заменить такие "
                                  "символы на «?»)")
                       .arg(where, field, encoded.error()));
        return;
    }
    for (const char32_t c : text.toUcs4()) {
        const QString one = QString::fromUcs4(&c, 1);
        if (!EncodeCp1251(one, false))
            ++(*options.Unencodable)[c];
    }
}

} // namespace

Result<QByteArray> ReadDataSetFile(const QString& path, const QString& shown) {
    const auto tooBig = [&] {
        return Status::Error(QStringLiteral("%1: файл больше %2 МБ, в наборе таких не бывает; "
                                            "не прочитан")
                                 .arg(shown)
                                 .arg(MaxDataSetFile / (1024 * 1024)));
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(
            QStringLiteral("%1: файл не читается (%2)").arg(shown, file.errorString()));
    if (file.size() > MaxDataSetFile)
        return tooBig();
    QByteArray bytes = file.read(MaxDataSetFile + 1); // a file growing meanwhile stops here
    if (bytes.size() > MaxDataSetFile)
        return tooBig();
    return bytes;
}

Result<QString> FindDataSetPicture(const QString& root, CategorySet set, const QString& imagePath) {
    const QString base = QDir::cleanPath(root);
    const QString rel = imagePath.trimmed();
    const QString path = QDir::cleanPath(base + QLatin1Char('/') + rel);
    if (rel.isEmpty() || QDir::isAbsolutePath(rel) || !path.startsWith(base + QLatin1Char('/')))
        return Status::Error(QStringLiteral("путь к картинке вне папки данных: %1").arg(rel));
    if (QFileInfo(path).isFile())
        return path;
    const QString name = QFileInfo(rel).fileName();
    const QString byName =
        base + QStringLiteral("/images/") + CategoryFolder(set) + QLatin1Char('/') + name;
    // A name of "." or ".." would climb out of images/<set>.
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") ||
        !QFileInfo(byName).isFile())
        return Status::Error(QStringLiteral("нет файла картинки %1 (нет и %2)")
                                 .arg(rel, QDir(base).relativeFilePath(byName)));
    return byName;
}

int DataSetNumber(const QJsonValue& value) {
    if (value.isDouble())
        return value.toInt();
    static const QRegularExpression digits(QStringLiteral("(\\d+)\\s*$"));
    const auto match = digits.match(value.toString());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

QString DataSetLine(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    s.replace(QLatin1Char('\r'), QLatin1Char(' '));
    s.replace(QLatin1Char('\n'), QLatin1Char(' '));
    s.replace(QChar(0), QLatin1Char(' '));
    return s.trimmed();
}

QString CategoryFolder(CategorySet set) {
    return set == CategorySet::AB ? QStringLiteral("A_B") : QStringLiteral("C_D");
}

QString DefaultImportTitle(CategorySet set) {
    return set == CategorySet::AB ? QStringLiteral("Билеты ПДД, категории A и B")
                                  : QStringLiteral("Билеты ПДД, категории C и D");
}

Result<ImportedDatabase> ImportJsonDataSet(const JsonImportOptions& options) {
    auto progress = [&](const QString& line) {
        if (options.Progress)
            options.Progress(line);
    };
    const QString folder =
        QDir(options.Root)
            .filePath(QStringLiteral("questions/%1/tickets").arg(CategoryFolder(options.Set)));
    QDir dir(folder);
    if (!dir.exists())
        return Status::Error(QStringLiteral("Нет папки с билетами: %1").arg(folder));
    const QStringList files =
        dir.entryList({QStringLiteral("*.json")}, QDir::Files | QDir::Readable, QDir::Name);
    if (files.isEmpty())
        return Status::Error(QStringLiteral("В папке %1 нет файлов билетов (*.json)").arg(folder));

    std::vector<std::optional<QuestionSource>> found(QuestionCount);
    PictureStore pictures(options.Root, options.Set);
    int read = 0;
    Collector errors;

    for (const QString& name : files) {
        const auto bytes = ReadDataSetFile(dir.filePath(name), name);
        if (!bytes) {
            errors.add(bytes.error());
            continue;
        }
        QJsonParseError parseError;
        const QJsonDocument doc = QJsonDocument::fromJson(bytes.value(), &parseError);
        if (parseError.error != QJsonParseError::NoError || !doc.isArray()) {
            errors.add(QStringLiteral("%1: не список вопросов в JSON (%2)")
                           .arg(name, parseError.errorString()));
            continue;
        }
        const QJsonArray items = doc.array();
        progress(QStringLiteral("%1: вопросов %2").arg(name).arg(items.size()));
        for (qsizetype k = 0; k < items.size(); ++k) {
            if (options.Cancel && options.Cancel->load())
                return Status::Error(ImportCancelledMessage);
            if (options.QuestionRead)
                options.QuestionRead(read);
            ++read;
            const QJsonObject obj = items.at(k).toObject();
            const int ticket = DataSetNumber(obj.value(QStringLiteral("ticket_number")));
            const int position = DataSetNumber(obj.value(QStringLiteral("title")));
            if (ticket < 1 || ticket > TicketCount || position < 1 || position > TicketSize) {
                errors.add(QStringLiteral("%1, запись %2: нет номера билета 1..%3 и вопроса 1..%4")
                               .arg(name)
                               .arg(k + 1)
                               .arg(TicketCount)
                               .arg(TicketSize));
                continue;
            }
            const QString where = Where(ticket, position);
            auto& slot = found[std::size_t(NumberOf(ticket, position) - 1)];
            if (slot) {
                errors.add(QStringLiteral("%1: вопрос встречается дважды (%2)").arg(where, name));
                continue;
            }
            const std::size_t before = std::size_t(errors.Errors.size() + errors.Dropped);

            QuestionSource q;
            q.Text = DataSetLine(TextOf(obj.value(QStringLiteral("question"))));
            // A blank question or answer would show as an empty line or button, even a right one.
            if (q.Text.isEmpty())
                errors.add(QStringLiteral("%1: нет текста вопроса").arg(where));
            q.Comment = DataSetLine(obj.value(QStringLiteral("answer_tip")).toString());
            const QJsonArray answers = obj.value(QStringLiteral("answers")).toArray();
            int rightCount = 0;
            for (qsizetype a = 0; a < answers.size(); ++a) {
                const QJsonObject answer = answers.at(a).toObject();
                QString text = DataSetLine(TextOf(answer.value(QStringLiteral("answer_text"))));
                if (text.isEmpty())
                    errors.add(QStringLiteral("%1: у ответа %2 нет текста").arg(where).arg(a + 1));
                if (text == QLatin1String("*"))
                    errors.add(QStringLiteral("%1: ответ %2 состоит из одной «*», а она "
                                              "закрывает список ответов")
                                   .arg(where)
                                   .arg(a + 1));
                if (answer.value(QStringLiteral("is_correct")).toBool()) {
                    ++rightCount;
                    q.Correct = int(a) + 1;
                }
                CheckEncodable(where, QStringLiteral("ответ %1").arg(a + 1), text, options, errors);
                q.Answers.push_back(std::move(text));
            }
            if (answers.size() < 2 || answers.size() > MaxAnswers)
                errors.add(QStringLiteral("%1: ответов %2, а должно быть от 2 до %3")
                               .arg(where)
                               .arg(answers.size())
                               .arg(MaxAnswers));
            if (rightCount != 1)
                errors.add(QStringLiteral("%1: правильных ответов %2, а должен быть ровно один")
                               .arg(where)
                               .arg(rightCount));
            CheckEncodable(where, QStringLiteral("текст вопроса"), q.Text, options, errors);
            CheckEncodable(where, QStringLiteral("комментарий"), q.Comment, options, errors);

            auto jpeg = pictures.picture(obj.value(QStringLiteral("image")).toString());
            if (!jpeg)
                errors.add(QStringLiteral("%1: %2").arg(where, jpeg.error()));
            else
                q.Jpeg = jpeg.value();

            if (std::size_t(errors.Errors.size() + errors.Dropped) == before)
                slot = std::move(q);
            else
                slot = QuestionSource{}; // seen, but broken: not reported as missing too
        }
    }

    if (options.QuestionRead)
        options.QuestionRead(read);
    for (int n = 1; n <= QuestionCount; ++n)
        if (!found[std::size_t(n - 1)])
            errors.add(
                QStringLiteral("%1: вопроса нет в данных").arg(Where(TicketOf(n), PositionOf(n))));
    if (!errors.empty())
        return errors.status();

    progress(QStringLiteral("Вопросов: %1, картинок пересжато: %2")
                 .arg(QuestionCount)
                 .arg(pictures.converted()));
    ImportedDatabase out;
    out.Title = options.Title.isEmpty() ? DefaultImportTitle(options.Set) : options.Title;
    out.Questions.reserve(QuestionCount);
    for (auto& slot : found)
        out.Questions.push_back(std::move(*slot));
    return out;
}

Status BuildDatabaseFromJson(const JsonImportOptions& options, const QString& outPath) {
    auto imported = ImportJsonDataSet(options);
    if (!imported)
        return imported.status();
    QDir().mkpath(QFileInfo(outPath).absolutePath());
    return WriteDatabase(outPath, imported->Title, imported->Questions, options.Replace);
}

} // namespace bil
