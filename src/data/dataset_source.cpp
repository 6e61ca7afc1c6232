// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/dataset_source.h"

#include "app/platform.h"
#include "data/download_gate.h"
#include "data/http_fetch.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>

#include <optional>
#include <vector>

namespace bil {

DataSetRoot::DataSetRoot(QString path, std::unique_ptr<QTemporaryDir> temp)
    : m_path(std::move(path)), m_temp(std::move(temp)) {}
DataSetRoot::DataSetRoot(DataSetRoot&&) noexcept = default;
DataSetRoot& DataSetRoot::operator=(DataSetRoot&&) noexcept = default;
DataSetRoot::~DataSetRoot() = default;

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

bool Cancelled(const DataSetSourceOptions& options) {
    return options.Cancel && options.Cancel->load();
}

void Report(const DataSetSourceOptions& options, SourceProgress::Stage phase, qint64 done,
            qint64 total) {
    if (options.Progress)
        options.Progress(SourceProgress{phase, done, total});
}

QString Megabytes(qint64 bytes) {
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', bytes % (1024 * 1024) ? 1 : 0);
}

bool IsUrl(const QString& source) {
    return source.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           source.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

// The entry's path inside the archive with "." parts dropped; empty when it would leave the
// archive (absolute, a drive letter, "..").
std::optional<QString> SafeRelativePath(const QString& raw) {
    QString name = raw;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (name.startsWith(QLatin1Char('/')) ||
        (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter()))
        return std::nullopt;
    QStringList parts;
    for (const QString& part : name.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String(".."))
            return std::nullopt;
        parts << part;
    }
    return parts.join(QLatin1Char('/'));
}

// The entry's name as UTF-8 when libarchive knows the encoding, else its raw bytes (archives
// of the data set name their files in UTF-8 either way).
QString EntryName(archive_entry* entry) {
    if (const char* utf8 = archive_entry_pathname_utf8(entry))
        return QString::fromUtf8(utf8);
    if (const char* raw = archive_entry_pathname(entry))
        return QString::fromUtf8(raw);
    return QString();
}

// libarchive converts entry names through the thread's locale; under the plain C locale a
// UTF-8 name ("Билет 1.json") fails and comes back empty. A UTF-8 locale for this thread only.
class Utf8Names {
public:
    Utf8Names() : m_utf8(newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr))) {
        if (m_utf8)
            m_previous = uselocale(m_utf8);
    }
    ~Utf8Names() {
        if (m_utf8) {
            uselocale(m_previous);
            freelocale(m_utf8);
        }
    }
    Utf8Names(const Utf8Names&) = delete;
    Utf8Names& operator=(const Utf8Names&) = delete;

private:
    locale_t m_utf8;
    locale_t m_previous = nullptr;
};

// Bytes that open as no archive at all (as opposed to an archive damaged further on).
Status NotAnArchive(const QString& shown) {
    return Status::Error(
        QStringLiteral("Файл %1 — не архив zip или tar.gz (или он повреждён).").arg(shown));
}

// Whether libarchive decompresses with its own code (ARCHIVE_OK) rather than through an outside
// program (ARCHIVE_WARN) or not at all.
bool FilterIsBuiltIn(int (*support)(archive*)) {
    archive* probe = archive_read_new();
    const bool own = support(probe) == ARCHIVE_OK;
    archive_read_free(probe);
    return own;
}

// The parts of the data set not found in an unpacked folder (or its one top folder), as
// "; в нём нет signs/, markup/", or empty when all are there.
QString MissingPartsText(const QString& unpacked) {
    QDir root(unpacked);
    const QStringList top = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (top.size() == 1 && !QFileInfo(root.filePath(QStringLiteral("questions"))).isDir())
        root.setPath(root.filePath(top.front()));
    QStringList missing;
    for (const char* part :
         {"questions/A_B/tickets/", "questions/C_D/tickets/", "signs/", "markup/"})
        if (!QFileInfo(root.filePath(QLatin1String(part))).isDir())
            missing << QLatin1String(part);
    return missing.isEmpty()
               ? QString()
               : QStringLiteral("; в нём нет %1").arg(missing.join(QStringLiteral(", ")));
}

Status TooBigUnpacked(const QString& shown, const DataSetSourceOptions& options) {
    return Status::Error(
        QStringLiteral("Архив %1 распаковывается больше чем в %2 МБ; распаковка остановлена.")
            .arg(shown, Megabytes(options.MaxUnpackedBytes)));
}

class ArchiveReader {
public:
    ArchiveReader() : m_archive(archive_read_new()) {}
    ~ArchiveReader() { archive_read_free(m_archive); }
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;
    archive* get() const { return m_archive; }
    QString error() const {
        const char* text = archive_error_string(m_archive);
        return text ? QString::fromLocal8Bit(text) : QStringLiteral("неизвестная ошибка");
    }

private:
    archive* m_archive;
};

} // namespace

SourceKind ClassifySource(const QString& source) {
    if (IsUrl(source))
        return SourceKind::Url;
    const QFileInfo info(source);
    if (info.isDir())
        return SourceKind::Folder;
    if (info.isFile())
        return SourceKind::Archive;
    const QString lower = source.toLower();
    for (const char* suffix : {".zip", ".tar", ".tar.gz", ".tgz", ".tar.bz2", ".tar.xz"})
        if (lower.endsWith(QLatin1String(suffix)))
            return SourceKind::Archive;
    return SourceKind::Folder;
}

Status UnpackArchive(const QString& archivePath, const QString& into,
                     const DataSetSourceOptions& options, const QString& shownName) {
    const QString shown = shownName.isEmpty() ? Native(archivePath) : shownName;
    const Utf8Names names;
    ArchiveReader reader;
    archive* a = reader.get();
    // Only the compressions the data set comes in, and only where libarchive does them itself:
    // for others it would run whatever program of that name it finds along PATH.
    for (const auto support : {archive_read_support_filter_gzip, archive_read_support_filter_bzip2,
                               archive_read_support_filter_xz, archive_read_support_filter_zstd})
        if (FilterIsBuiltIn(support))
            support(a);
    archive_read_support_format_zip(a);
    archive_read_support_format_tar(a);
    if (archive_read_open_filename(a, QFile::encodeName(archivePath).constData(), 1 << 16) !=
        ARCHIVE_OK) {
        // A file that reads but does not open as an archive holds something else.
        if (QFile probe(archivePath); probe.open(QIODevice::ReadOnly))
            return NotAnArchive(shown);
        return Status::Error(
            QStringLiteral("Не удалось открыть архив %1: %2").arg(shown, reader.error()));
    }
    const qint64 archiveSize = QFileInfo(archivePath).size();
    const QDir target(into);
    qint64 written = 0;
    qint64 entries = 0;
    QSet<QString> files;     // regular files so far
    QString lastName;        // of the last regular file
    la_int64_t entryEnd = 0; // where the last entry ended in the unpacked stream
    std::vector<char> buffer(1 << 16);
    Report(options, SourceProgress::Stage::Unpack, 0, archiveSize);

    for (;;) {
        if (Cancelled(options))
            return Status::Error(DataSetCancelledMessage);
        archive_entry* entry = nullptr;
        entryEnd = archive_filter_bytes(a, 0);
        const int next = archive_read_next_header(a, &entry);
        if (next == ARCHIVE_EOF) {
            // A tar ends in blocks of zeros; one that stops right after a file was cut there,
            // and whatever followed (whole folders) would be missing without a word.
            if (entries > 0 &&
                (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR &&
                archive_filter_bytes(a, 0) - entryEnd < 512)
                return Status::Error(
                    QStringLiteral("Архив %1 оборван: после «%2» он кончается без признака конца "
                                   "архива%3; архив не распакован.")
                        .arg(shown, lastName, MissingPartsText(into)));
            break;
        }
        if (next < ARCHIVE_WARN) {
            // Nothing read yet means the bytes are no archive at all.
            if (entries == 0)
                return NotAnArchive(shown);
            return Status::Error(
                QStringLiteral("Архив %1 повреждён: %2").arg(shown, reader.error()));
        }
        if (++entries > options.MaxEntries)
            return Status::Error(
                QStringLiteral("В архиве %1 больше %2 файлов; распаковка остановлена.")
                    .arg(shown)
                    .arg(options.MaxEntries));
        const QString name = EntryName(entry);
        if (name.isEmpty())
            return Status::Error(
                QStringLiteral("В архиве %1 есть файл с нечитаемым именем; архив не распакован.")
                    .arg(shown));
        const std::optional<QString> rel = SafeRelativePath(name);
        if (!rel)
            return Status::Error(QStringLiteral("В архиве %1 есть файл с путём вне архива "
                                                "«%2»; архив не распакован.")
                                     .arg(shown, name));
        const mode_t type = archive_entry_filetype(entry);
        if (rel->isEmpty())
            continue;
        if (type == AE_IFDIR) {
            if (!target.mkpath(*rel))
                return Status::Error(QStringLiteral("Не удалось создать папку %1")
                                         .arg(Native(target.filePath(*rel))));
            continue;
        }
        // Links could point anywhere; the data set has none.
        if (type != AE_IFREG || archive_entry_hardlink(entry) != nullptr)
            continue;
        lastName = name;
        // With two entries of one name the last would win without a word.
        if (files.contains(*rel))
            return Status::Error(
                QStringLiteral("В архиве %1 файл «%2» встречается дважды; архив не распакован.")
                    .arg(shown, *rel));
        files.insert(*rel);
        if (archive_entry_size_is_set(entry) &&
            archive_entry_size(entry) > options.MaxUnpackedBytes - written)
            return TooBigUnpacked(shown, options);
        const QString path = target.filePath(*rel);
        if (!target.mkpath(QFileInfo(*rel).path()))
            return Status::Error(
                QStringLiteral("Не удалось создать папку %1").arg(Native(QFileInfo(path).path())));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return Status::Error(QStringLiteral("Не удалось распаковать %1: %2")
                                     .arg(Native(path), file.errorString()));
        for (;;) {
            if (Cancelled(options))
                return Status::Error(DataSetCancelledMessage);
            const la_ssize_t got = archive_read_data(a, buffer.data(), buffer.size());
            if (got == 0)
                break;
            if (got < 0)
                return Status::Error(
                    QStringLiteral("Архив %1 повреждён (%2): %3").arg(shown, name, reader.error()));
            written += got;
            if (written > options.MaxUnpackedBytes)
                return TooBigUnpacked(shown, options);
            if (file.write(buffer.data(), got) != got)
                return Status::Error(QStringLiteral("Не удалось распаковать %1: %2")
                                         .arg(Native(path), file.errorString()));
        }
        if (!file.flush())
            return Status::Error(QStringLiteral("Не удалось распаковать %1: %2")
                                     .arg(Native(path), file.errorString()));
        Report(options, SourceProgress::Stage::Unpack, archive_filter_bytes(a, -1), archiveSize);
    }
    if (entries == 0)
        return Status::Error(QStringLiteral("Архив %1 пуст.").arg(shown));
    Report(options, SourceProgress::Stage::Unpack, archiveSize, archiveSize);
    return Status::Ok();
}

Result<QString> FindDataSetRoot(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists())
        return Status::Error(QStringLiteral("Нет папки %1").arg(Native(folder)));
    auto holdsQuestions = [](const QDir& d) {
        return QFileInfo(d.filePath(QStringLiteral("questions"))).isDir();
    };
    if (holdsQuestions(dir))
        return QDir::cleanPath(dir.absolutePath());
    const QStringList subfolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (subfolders.size() == 1) {
        const QDir top(dir.filePath(subfolders.front()));
        if (holdsQuestions(top))
            return QDir::cleanPath(top.absolutePath());
    }
    return Status::Error(QStringLiteral("Нет папки questions с билетами в %1 (ни в ней самой, ни "
                                        "в её единственной вложенной папке).")
                             .arg(Native(folder)));
}

Status DownloadToFile(const QString& url, const QString& filePath,
                      const DataSetSourceOptions& options) {
    const QUrl address(url.trimmed(), QUrl::TolerantMode);
    if (!address.isValid() || address.host().isEmpty() ||
        (address.scheme() != QLatin1String("http") && address.scheme() != QLatin1String("https")))
        return Status::Error(QStringLiteral("Неверный адрес: %1").arg(url));
    if (!QCoreApplication::instance())
        return Status::Error(QStringLiteral("Загрузка невозможна: программа не запущена."));
    QFile out(filePath);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Status::Error(QStringLiteral("Не удалось создать файл %1: %2")
                                 .arg(Native(filePath), out.errorString()));

    static const SystemClock systemClock;
    DownloadLimits limits;
    limits.MaxBytes = options.MaxDownloadBytes;
    limits.WindowMs = options.SlowWindowMs;
    limits.MinBytesPerWindow = options.MinBytesPerWindow;
    DownloadGate gate(url, out, options.WindowClock ? *options.WindowClock : systemClock, limits,
                      options.Cancel);

    Report(options, SourceProgress::Stage::Download, 0, -1);
    const FetchOutcome fetched = FetchIntoGate(address, gate, [&] {
        Report(options, SourceProgress::Stage::Download, gate.received(), gate.expected());
    });
    Status result = gate.finish(fetched.Error, fetched.Reason);
    const bool flushed = out.flush();
    out.close();
    if (result && !flushed)
        result = Status::Error(QStringLiteral("Не удалось записать загруженный архив в %1: %2")
                                   .arg(Native(filePath), out.errorString()));
    if (!result)
        QFile::remove(filePath);
    return result;
}

Result<DataSetRoot> OpenDataSetSource(const QString& source, const DataSetSourceOptions& options) {
    const QString trimmed = source.trimmed();
    if (trimmed.isEmpty())
        return Status::Error(QStringLiteral("Не указан источник билетов."));
    const SourceKind kind = ClassifySource(trimmed);
    if (kind == SourceKind::Folder) {
        auto root = FindDataSetRoot(trimmed);
        if (!root)
            return root.status();
        return DataSetRoot(root.value(), nullptr);
    }
    if (kind == SourceKind::Archive && !QFileInfo(trimmed).isFile())
        return Status::Error(QStringLiteral("Нет файла %1").arg(Native(trimmed)));

    const QString parent = options.TempParent.isEmpty() ? QDir::tempPath() : options.TempParent;
    auto temp = std::make_unique<QTemporaryDir>(parent + QStringLiteral("/biletoria-XXXXXX"));
    if (!temp->isValid())
        return Status::Error(QStringLiteral("Не удалось создать временную папку в %1: %2")
                                 .arg(Native(parent), temp->errorString()));
    QString archivePath = trimmed;
    if (kind == SourceKind::Url) {
        archivePath = temp->filePath(QStringLiteral("download"));
        if (Status got = DownloadToFile(trimmed, archivePath, options); !got)
            return got;
    }
    const QString unpacked = temp->filePath(QStringLiteral("data"));
    if (!QDir().mkpath(unpacked))
        return Status::Error(QStringLiteral("Не удалось создать папку %1").arg(Native(unpacked)));
    // A download is named by its address: the temporary file's name means nothing to anyone.
    Status opened = UnpackArchive(archivePath, unpacked, options,
                                  kind == SourceKind::Url ? trimmed : QString());
    if (kind == SourceKind::Url)
        QFile::remove(archivePath); // the unpacked copy is all that is needed from here on
    if (!opened)
        return opened;
    auto root = FindDataSetRoot(unpacked);
    if (!root)
        return Status::Error(
            QStringLiteral("В архиве нет набора билетов: ни в нём, ни в его единственной папке "
                           "нет папки questions."));
    return DataSetRoot(root.value(), std::move(temp));
}

} // namespace bil
