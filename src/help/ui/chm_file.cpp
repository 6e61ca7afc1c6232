// SPDX-License-Identifier: GPL-3.0-or-later
#include "help/ui/chm_file.h"

#include <QFile>
#include <QtEndian>

#include <chm_lib.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

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

// Sizes chmlib allocates without a check, straight from the file: a directory block (ITSP
// header) and a decompressed block (reset table). Real files use 4 KiB to 64 KiB.
constexpr quint64 MaxBlockLength = 2u * 1024u * 1024u;

// The file's header names a directory block chmlib can allocate; read before chmlib sees the
// file, because opening it already allocates one such block.
bool DirectoryHeaderUsable(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    unsigned char itsf[0x58] = {};
    if (file.read(reinterpret_cast<char*>(itsf), sizeof itsf) != qint64(sizeof itsf) ||
        std::memcmp(itsf, "ITSF", 4) != 0)
        return false;
    const quint64 directory = qFromLittleEndian<quint64>(itsf + 0x48);
    unsigned char itsp[0x20] = {};
    if (directory > quint64(file.size()) || !file.seek(qint64(directory)) ||
        file.read(reinterpret_cast<char*>(itsp), sizeof itsp) != qint64(sizeof itsp) ||
        std::memcmp(itsp, "ITSP", 4) != 0)
        return false;
    const quint32 blockLength = qFromLittleEndian<quint32>(itsp + 0x10);
    return blockLength > 0 && blockLength <= MaxBlockLength;
}

// The reset table names the size of a decompressed block, allocated at the first compressed
// page read.
bool ResetTableUsable(chmFile* handle) {
    chmUnitInfo info{};
    if (chm_resolve_object(handle,
                           "::DataSpace/Storage/MSCompressed/Transform/"
                           "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable",
                           &info) != CHM_RESOLVE_SUCCESS)
        return true; // without it chmlib reads no compressed pages at all
    unsigned char table[40] = {};
    if (info.length < sizeof table ||
        chm_retrieve_object(handle, &info, table, 0, sizeof table) != LONGINT64(sizeof table))
        return false;
    const quint64 blockLength = qFromLittleEndian<quint64>(table + 32);
    return blockLength > 0 && blockLength <= MaxBlockLength;
}

// chmlib dereferences a null decompressor when the file asks for a window size it cannot
// make (any but 2^15..2^21 bytes), so such a file is refused before any page is read.
bool CompressionUsable(chmFile* handle) {
    chmUnitInfo info{};
    if (chm_resolve_object(handle, "::DataSpace/Storage/MSCompressed/ControlData", &info) !=
        CHM_RESOLVE_SUCCESS)
        return true; // without it chmlib reads no compressed pages at all
    unsigned char data[24] = {};
    if (info.length < sizeof data ||
        chm_retrieve_object(handle, &info, data, 0, sizeof data) != LONGINT64(sizeof data))
        return false;
    if (std::memcmp(data + 4, "LZXC", 4) != 0)
        return true; // chmlib turns compression off itself
    quint64 window = qFromLittleEndian<quint32>(data + 16);
    if (qFromLittleEndian<quint32>(data + 8) == 2)
        window *= 0x8000;
    for (int bits = 15; bits <= 21; ++bits)
        if ((window & ((quint64(1) << (bits + 1)) - 1)) == (quint64(1) << bits))
            return ResetTableUsable(handle);
    return false;
}

// Reads every page once, as the help windows would.
int ReadEveryObject(chmFile* handle, chmUnitInfo* info, void*) {
    if (info->length == 0 || info->length > MaxObjectSize)
        return CHM_ENUMERATOR_CONTINUE;
    std::vector<unsigned char> bytes(info->length);
    chm_retrieve_object(handle, info, bytes.data(), 0, LONGINT64(info->length));
    return CHM_ENUMERATOR_CONTINUE;
}

// Long enough to read a whole real help file on a slow disk; a damaged file that sends chmlib
// round in circles must not freeze the program.
constexpr int ReadTimeoutMs = 5000;

} // namespace

bool FinishesInChild(const std::function<void()>& work, int timeoutMs) {
    const pid_t child = fork();
    if (child < 0)
        return true; // no way to try: take the chance rather than lose the help
    if (child == 0) {
        // The child's death is an answer, not a fault: no crash handler of the program (or of
        // a sanitizer) may report it.
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP})
            std::signal(sig, SIG_DFL);
        work();
        _exit(0);
    }
    int status = 0;
    for (int waited = 0;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (waited >= timeoutMs) {
            kill(child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        // Short steps first: a small file is read in a few milliseconds.
        const int step = waited < 50 ? 1 : 10;
        usleep(useconds_t(step) * 1000);
        waited += step;
    }
}

namespace {

// chmlib trusts the file's header fields, and some damaged files make it divide by zero, follow
// a null pointer or loop. The file is therefore opened and read whole in a child process first;
// only a file that child finishes in time is opened here.
bool SurvivesReading(const QByteArray& path) {
    if (!DirectoryHeaderUsable(path))
        return false;
    return FinishesInChild(
        [&path] {
            if (chmFile* handle = chm_open(path.constData())) {
                if (CompressionUsable(handle))
                    chm_enumerate(handle, CHM_ENUMERATE_NORMAL, ReadEveryObject, nullptr);
                chm_close(handle);
            }
        },
        ReadTimeoutMs);
}

} // namespace

std::shared_ptr<ChmFile> ChmFile::open(const QString& path) {
    return survivesReading(path) ? openChecked(path) : nullptr;
}

bool ChmFile::survivesReading(const QString& path) {
    return !path.isEmpty() && SurvivesReading(QFile::encodeName(path));
}

std::shared_ptr<ChmFile> ChmFile::openChecked(const QString& path) {
    if (path.isEmpty())
        return nullptr;
    const QByteArray name = QFile::encodeName(path);
    chmFile* handle = chm_open(name.constData());
    if (!handle)
        return nullptr;
    if (!CompressionUsable(handle)) {
        chm_close(handle);
        return nullptr;
    }
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
