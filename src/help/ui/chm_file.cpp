#include "help/ui/chm_file.h"

#include <QFile>

#include <chm_lib.h>

namespace bil {

namespace {

// Larger objects are taken for a damaged directory entry rather than allocated.
constexpr LONGUINT64 MaxObjectSize = 64u * 1024u * 1024u;

QByteArray ObjectPath(const QString& path) {
    QByteArray bytes = path.toUtf8();
    if (!bytes.startsWith('/'))
        bytes.prepend('/');
    return bytes;
}

} // namespace

std::shared_ptr<ChmFile> ChmFile::open(const QString& path) {
    if (path.isEmpty())
        return nullptr;
    chmFile* handle = chm_open(QFile::encodeName(path).constData());
    if (!handle)
        return nullptr;
    return std::shared_ptr<ChmFile>(new ChmFile(handle));
}

ChmFile::~ChmFile() {
    chm_close(m_handle);
}

std::optional<QByteArray> ChmFile::read(const QString& path) const {
    chmUnitInfo info{};
    if (chm_resolve_object(m_handle, ObjectPath(path).constData(), &info) != CHM_RESOLVE_SUCCESS)
        return std::nullopt;
    if (info.length > MaxObjectSize)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(info.length), Qt::Uninitialized);
    if (info.length == 0)
        return bytes;
    const LONGINT64 got =
        chm_retrieve_object(m_handle, &info, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                            static_cast<LONGINT64>(info.length));
    if (got != static_cast<LONGINT64>(info.length))
        return std::nullopt;
    return bytes;
}

} // namespace bil
