// SPDX-License-Identifier: GPL-3.0-or-later
#include "stats/progress_file.h"

#include "data/file_commit.h"
#include "data/numbering.h"
#include "stats/answer_journal.h"
#include "stats/stat_record.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <archive.h>
#include <archive_entry.h>

#include <array>
#include <map>
#include <memory>

namespace bil {

namespace {

constexpr int ThemeFileSize = 2 * QuestionCount;
constexpr int MaxTheme = ThemeCount;
constexpr int MaxMark = 2;
constexpr int ExamTimeItems = 6;

const QString TimName = QStringLiteral("Tim");

struct ArchiveFree {
    void operator()(archive* a) const { archive_free(a); }
};
using ArchivePtr = std::unique_ptr<archive, ArchiveFree>;
struct EntryFree {
    void operator()(archive_entry* e) const { archive_entry_free(e); }
};

QString ArchiveError(archive* a) {
    const char* text = archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("неизвестная ошибка");
}

Status Damaged(const QString& why) {
    return Status::Error(QStringLiteral("Файл прогресса повреждён: %1.").arg(why));
}

// The largest an entry may unpack to; anything bigger is refused before it fills memory.
qint64 EntryLimit(const QString& name) {
    if (name == ProgressStatName)
        return StatRecordSize + ProgressMaxStatTail;
    if (name == ProgressThemeName)
        return ThemeFileSize;
    if (name == ProgressPrintsName)
        return ProgressPrintsSize;
    if (name == ProgressJournalName)
        return ProgressMaxJournal;
    return ProgressMaxTextEntry;
}

// A name that is not a plain file name at the top of the archive could be unpacked anywhere.
bool LeavesArchive(const QString& name) {
    return name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
           name.contains(QStringLiteral("..")) || name.contains(QLatin1Char(':'));
}

QByteArray SettingsText(const std::vector<std::pair<QString, int32_t>>& values) {
    QByteArray text;
    for (const auto& [name, value] : values)
        text += name.toUtf8() + '=' + QByteArray::number(value) + '\n';
    return text;
}

bool IsEntryName(const QString& name) {
    return name == ProgressManifestName || name == ProgressStatName || name == ProgressThemeName ||
           name == ProgressSettingsName || name == ProgressPrintsName ||
           name == ProgressJournalName;
}

QByteArray ManifestText(const ProgressFile& p) {
    auto oneLine = [](QString s) {
        s.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        return s.toUtf8();
    };
    QByteArray text = ProgressFormatLine + '\n' + "version=" + oneLine(p.ProgramVersion) + '\n' +
                      "database=" + oneLine(p.DatabaseTitle) + '\n' +
                      "saved=" + p.Saved.toUTC().toString(Qt::ISODate).toUtf8() + '\n';
    if (p.Prints)
        text += "set=" + FingerprintText(SetFingerprint(*p.Prints)).toUtf8() + '\n';
    return text;
}

// Each print as 8 bytes, most significant first.
QByteArray PrintsBytes(const QuestionPrints& prints) {
    QByteArray bytes;
    bytes.reserve(ProgressPrintsSize);
    for (const Fingerprint print : prints)
        for (int i = 7; i >= 0; --i)
            bytes.append(char((print >> (8 * i)) & 0xFF));
    return bytes;
}

QuestionPrints ParsePrintsBytes(const QByteArray& bytes) {
    QuestionPrints prints{};
    for (int n = 0; n < QuestionCount; ++n)
        for (int i = 0; i < 8; ++i)
            prints[size_t(n)] = (prints[size_t(n)] << 8) | uint8_t(bytes[8 * n + i]);
    return prints;
}

// The question set a file of format 2 names: the fingerprint in the manifest and prints.dat
// come together (a file saved while a question could not be read has neither) and agree.
Status ReadSet(const std::map<QString, QString>& manifest, std::map<QString, QByteArray>& parts,
               ProgressFile& p) {
    const auto set = manifest.find(QStringLiteral("set"));
    const bool hasPrints = parts.count(ProgressPrintsName) > 0;
    if (set == manifest.end() && !hasPrints)
        return Status::Ok();
    if (!hasPrints)
        return Damaged(QStringLiteral("нет части «%1»").arg(ProgressPrintsName));
    if (set == manifest.end())
        return Damaged(
            QStringLiteral("в %1 нет отпечатка набора вопросов").arg(ProgressManifestName));
    bool ok = false;
    const Fingerprint named = set->second.toULongLong(&ok, 16);
    if (!ok || set->second.size() != 16)
        return Damaged(QStringLiteral("в %1 недопустимый отпечаток набора вопросов «%2»")
                           .arg(ProgressManifestName, set->second));
    const QByteArray& bytes = parts[ProgressPrintsName];
    if (bytes.size() != ProgressPrintsSize)
        return Damaged(QStringLiteral("%1 занимает %2 байт вместо %3")
                           .arg(ProgressPrintsName)
                           .arg(bytes.size())
                           .arg(ProgressPrintsSize));
    const QuestionPrints prints = ParsePrintsBytes(bytes);
    if (SetFingerprint(prints) != named)
        return Damaged(QStringLiteral("отпечатки вопросов в %1 не сходятся с отпечатком набора "
                                      "в %2")
                           .arg(ProgressPrintsName, ProgressManifestName));
    p.Prints = prints;
    p.SetPrint = named;
    return Status::Ok();
}

// "key=value" lines; a line without "=" or a key given twice is damage.
Result<std::map<QString, QString>> ParseLines(const QByteArray& text, const QString& entry) {
    std::map<QString, QString> values;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.endsWith('\r') ? raw.chopped(1) : raw;
        if (line.isEmpty())
            continue;
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            return Damaged(QStringLiteral("в %1 строка без «=»").arg(entry));
        const QString key = QString::fromUtf8(line.left(eq));
        if (!values.emplace(key, QString::fromUtf8(line.mid(eq + 1))).second)
            return Damaged(QStringLiteral("в %1 дважды указано «%2»").arg(entry, key));
    }
    return values;
}

Status CheckThemes(const QByteArray& bytes) {
    if (bytes.size() != ThemeFileSize)
        return Damaged(QStringLiteral("%1 занимает %2 байт вместо %3")
                           .arg(ProgressThemeName)
                           .arg(bytes.size())
                           .arg(ThemeFileSize));
    for (int n = 1; n <= QuestionCount; ++n) {
        if (uint8_t(bytes[n - 1]) > MaxTheme)
            return Damaged(QStringLiteral("вопрос %1 отнесён к теме %2, а тем всего %3")
                               .arg(n)
                               .arg(uint8_t(bytes[n - 1]))
                               .arg(MaxTheme));
        if (uint8_t(bytes[QuestionCount + n - 1]) > MaxMark)
            return Damaged(QStringLiteral("у вопроса %1 отметка сложности %2, а бывают 0, 1 и 2")
                               .arg(n)
                               .arg(uint8_t(bytes[QuestionCount + n - 1])));
    }
    return Status::Ok();
}

Status CheckStats(const QByteArray& bytes) {
    if (bytes.size() < StatRecordSize)
        return Damaged(QStringLiteral("%1 занимает %2 байт, меньше записи статистики (%3)")
                           .arg(ProgressStatName)
                           .arg(bytes.size())
                           .arg(StatRecordSize));
    return Status::Ok();
}

Result<std::vector<std::pair<QString, int32_t>>> ParseSettings(const QByteArray& text) {
    Result<std::map<QString, QString>> lines = ParseLines(text, ProgressSettingsName);
    if (!lines)
        return lines.status();
    std::vector<std::pair<QString, int32_t>> values;
    for (const QString& name : ProgressSettingNames()) {
        const auto it = lines->find(name);
        if (it == lines->end())
            return Damaged(QStringLiteral("нет настройки %1").arg(name));
        bool ok = false;
        const int value = it->second.toInt(&ok);
        const bool inRange =
            name == TimName ? value >= 1 && value <= ExamTimeItems : value == 0 || value == 1;
        if (!ok || !inRange)
            return Damaged(
                QStringLiteral("у настройки %1 недопустимое значение «%2»").arg(name, it->second));
        values.emplace_back(name, int32_t(value));
        lines->erase(it);
    }
    if (!lines->empty())
        return Damaged(QStringLiteral("неизвестная настройка %1").arg(lines->begin()->first));
    return values;
}

// Appends what libarchive writes to a byte array.
la_ssize_t WriteToBytes(archive*, void* data, const void* buffer, size_t length) {
    static_cast<QByteArray*>(data)->append(static_cast<const char*>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

Status AddEntry(archive* a, const QString& name, const QByteArray& bytes, const QDateTime& when) {
    std::unique_ptr<archive_entry, EntryFree> entry(archive_entry_new());
    archive_entry_set_pathname(entry.get(), name.toUtf8().constData());
    archive_entry_set_size(entry.get(), bytes.size());
    archive_entry_set_filetype(entry.get(), AE_IFREG);
    archive_entry_set_perm(entry.get(), 0644);
    archive_entry_set_mtime(entry.get(), when.toSecsSinceEpoch(), 0);
    if (archive_write_header(a, entry.get()) != ARCHIVE_OK ||
        archive_write_data(a, bytes.constData(), size_t(bytes.size())) != la_ssize_t(bytes.size()))
        return Status::Error(
            QStringLiteral("Не удалось упаковать файл прогресса: %1").arg(ArchiveError(a)));
    return Status::Ok();
}

} // namespace

const std::vector<QString>& ProgressSettingNames() {
    static const std::vector<QString> names = {
        QStringLiteral("Rnd"), QStringLiteral("Sta"), QStringLiteral("Err"),
        QStringLiteral("Kom"), QStringLiteral("Tre"), QStringLiteral("Otv"),
        QStringLiteral("Pov"), QStringLiteral("Mas"), TimName};
    return names;
}

Result<QByteArray> WriteProgressArchive(const ProgressFile& p) {
    QByteArray out;
    ArchivePtr a(archive_write_new());
    // No padding to the tape block size: the file ends where the zip ends.
    if (!a || archive_write_set_format_zip(a.get()) != ARCHIVE_OK ||
        archive_write_set_bytes_in_last_block(a.get(), 1) != ARCHIVE_OK ||
        archive_write_open(a.get(), &out, nullptr, WriteToBytes, nullptr) != ARCHIVE_OK)
        return Status::Error(QStringLiteral("Не удалось упаковать файл прогресса: %1")
                                 .arg(a ? ArchiveError(a.get()) : QStringLiteral("нет памяти")));
    const QByteArray journal = p.Journal.value_or(JournalMagic);
    // The reader would refuse it: better no file than one that cannot be restored.
    if (journal.size() > ProgressMaxJournal)
        return Status::Error(QStringLiteral("Журнал ответов (%1 МБ) больше, чем может вместить "
                                            "файл прогресса (%2 МБ).")
                                 .arg(journal.size() >> 20)
                                 .arg(ProgressMaxJournal >> 20));
    const QDateTime when = p.Saved.isValid() ? p.Saved : QDateTime::currentDateTimeUtc();
    std::vector<std::pair<QString, QByteArray>> entries = {
        {ProgressManifestName, ManifestText(p)}, {ProgressStatName, p.StatBytes},
        {ProgressThemeName, p.ThemeBytes},       {ProgressSettingsName, SettingsText(p.Settings)},
        {ProgressJournalName, journal},
    };
    if (p.Prints)
        entries.emplace_back(ProgressPrintsName, PrintsBytes(*p.Prints));
    for (const auto& [name, bytes] : entries)
        if (Status s = AddEntry(a.get(), name, bytes, when); !s)
            return s;
    if (archive_write_close(a.get()) != ARCHIVE_OK)
        return Status::Error(
            QStringLiteral("Не удалось упаковать файл прогресса: %1").arg(ArchiveError(a.get())));
    return out;
}

Result<ProgressFile> ReadProgressArchive(const QByteArray& bytes) {
    if (bytes.size() > ProgressMaxFileSize)
        return Damaged(QStringLiteral("файл больше %1 МБ").arg(ProgressMaxFileSize >> 20));
    ArchivePtr a(archive_read_new());
    // Only the zip reader that starts from the central directory: a file cut short anywhere
    // loses that directory and is refused as a whole.
    if (!a || archive_read_support_format_zip_seekable(a.get()) != ARCHIVE_OK ||
        archive_read_open_memory(a.get(), bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK)
        return Status::Error(QStringLiteral("Это не файл прогресса Билетории (не удалось открыть "
                                            "его как архив zip)."));
    std::map<QString, QByteArray> parts;
    for (;;) {
        archive_entry* entry = nullptr;
        const int r = archive_read_next_header(a.get(), &entry);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK)
            return Damaged(ArchiveError(a.get()));
        const char* rawName = archive_entry_pathname(entry);
        const QString name = rawName ? QString::fromUtf8(rawName) : QString();
        if (LeavesArchive(name))
            return Damaged(QStringLiteral("путь «%1» выходит за пределы архива").arg(name));
        if (!IsEntryName(name))
            return Damaged(QStringLiteral("лишняя часть «%1»").arg(name));
        if (archive_entry_filetype(entry) != AE_IFREG)
            return Damaged(QStringLiteral("«%1» не обычный файл").arg(name));
        if (parts.count(name))
            return Damaged(QStringLiteral("«%1» встречается дважды").arg(name));
        const qint64 limit = EntryLimit(name);
        if (archive_entry_size_is_set(entry) && archive_entry_size(entry) > limit)
            return Damaged(QStringLiteral("«%1» занимает %2 байт, больше допустимых %3")
                               .arg(name)
                               .arg(archive_entry_size(entry))
                               .arg(limit));
        // The sizes written in the archive may lie: stop unpacking at the limit.
        QByteArray data;
        std::array<char, 16384> buffer;
        for (;;) {
            const la_ssize_t got = archive_read_data(a.get(), buffer.data(), buffer.size());
            if (got < 0)
                return Damaged(QStringLiteral("«%1»: %2").arg(name, ArchiveError(a.get())));
            if (got == 0)
                break;
            if (data.size() + got > limit)
                return Damaged(QStringLiteral("«%1» распаковывается больше чем в %2 байт")
                                   .arg(name)
                                   .arg(limit));
            data.append(buffer.data(), qsizetype(got));
        }
        parts.emplace(name, std::move(data));
    }

    if (!parts.count(ProgressManifestName))
        return Status::Error(QStringLiteral("Это не файл прогресса Билетории (в нём нет %1).")
                                 .arg(ProgressManifestName));
    const QByteArray& manifestText = parts[ProgressManifestName];
    const auto formatIs = [&](const QByteArray& line) {
        return manifestText.startsWith(line + '\n') || manifestText == line;
    };
    const int format = formatIs(ProgressFormatLine) ? 2 : formatIs(ProgressFormatLine1) ? 1 : 0;
    if (format == 0)
        return Status::Error(QStringLiteral("Это не файл прогресса Билетории или он записан "
                                            "другой версией программы."));
    for (const QString& name : {ProgressStatName, ProgressThemeName, ProgressSettingsName})
        if (!parts.count(name))
            return Damaged(QStringLiteral("нет части «%1»").arg(name));
    if (format == 1) {
        for (const QString& name : {ProgressPrintsName, ProgressJournalName})
            if (parts.count(name))
                return Damaged(QStringLiteral("лишняя часть «%1»").arg(name));
    } else if (!parts.count(ProgressJournalName)) {
        return Damaged(QStringLiteral("нет части «%1»").arg(ProgressJournalName));
    } else if (!parts[ProgressJournalName].startsWith(JournalMagic)) {
        return Damaged(QStringLiteral("%1 не журнал ответов Билетории").arg(ProgressJournalName));
    }

    Result<std::map<QString, QString>> manifest = ParseLines(manifestText, ProgressManifestName);
    if (!manifest)
        return manifest.status();
    ProgressFile p;
    p.Format = format;
    if (format == 2) {
        if (Status s = ReadSet(*manifest, parts, p); !s)
            return s;
        p.Journal = parts[ProgressJournalName];
    }
    p.StatBytes = parts[ProgressStatName];
    p.ThemeBytes = parts[ProgressThemeName];
    if (Status s = CheckStats(p.StatBytes); !s)
        return s;
    if (Status s = CheckThemes(p.ThemeBytes); !s)
        return s;
    Result<std::vector<std::pair<QString, int32_t>>> settings =
        ParseSettings(parts[ProgressSettingsName]);
    if (!settings)
        return settings.status();
    p.Settings = std::move(settings).value();
    auto field = [&](const char* key) {
        const auto it = manifest->find(QLatin1String(key));
        return it == manifest->end() ? QString() : it->second;
    };
    p.ProgramVersion = field("version");
    p.DatabaseTitle = field("database");
    p.Saved = QDateTime::fromString(field("saved"), Qt::ISODate);
    return p;
}

Status SaveProgressFile(const QString& path, const ProgressFile& progress) {
    Result<QByteArray> bytes = WriteProgressArchive(progress);
    if (!bytes)
        return bytes.status();
    return WriteFileAtomically(path, *bytes);
}

Result<ProgressFile> LoadProgressFile(const QString& path) {
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Error(
            QStringLiteral("Не удалось открыть файл %1: %2").arg(shown, file.errorString()));
    if (file.size() > ProgressMaxFileSize)
        return Status::Error(QStringLiteral("Файл %1 слишком велик для файла прогресса (%2 байт).")
                                 .arg(shown)
                                 .arg(file.size()));
    const QByteArray bytes = file.read(ProgressMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return Status::Error(
            QStringLiteral("Не удалось прочитать файл %1: %2").arg(shown, file.errorString()));
    Result<ProgressFile> read = ReadProgressArchive(bytes);
    if (!read)
        return Status::Error(read.error() + QStringLiteral("\n") + shown);
    return read;
}

} // namespace bil
