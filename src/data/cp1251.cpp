// SPDX-License-Identifier: GPL-3.0-or-later
#include "data/cp1251.h"

#include <QtEndian>

#include <array>
#include <cerrno>
#include <iconv.h>

namespace bil {

namespace {

constexpr char16_t Replacement = 0xFFFD;

// Owns one iconv descriptor; an invalid one reports every conversion as failed.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (valid())
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }
    void reset() const { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

// cp1251 is one byte per character, so the whole mapping is 256 iconv conversions made once;
// decoding then never calls iconv again. Bytes iconv leaves undefined become U+FFFD.
std::array<char16_t, 256> BuildDecodeTable() {
    std::array<char16_t, 256> table{};
    Converter cd("UTF-16LE", "CP1251");
    for (int b = 0; b < 256; ++b) {
        table[b] = b < 0x80 ? char16_t(b) : Replacement;
        if (b < 0x80 || !cd.valid())
            continue;
        char in = char(b);
        char out[4] = {};
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        cd.reset();
        if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1) &&
            sizeof out - outLeft == 2)
            table[b] = qFromLittleEndian<char16_t>(out);
    }
    return table;
}

const std::array<char16_t, 256>& DecodeTable() {
    static const std::array<char16_t, 256> table = BuildDecodeTable();
    return table;
}

QString CharName(char32_t c) {
    QString shown = QString::fromUcs4(&c, 1);
    const QString code = QStringLiteral("%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    return QStringLiteral("«%1» (U+%2)").arg(shown, code);
}

} // namespace

QString DecodeCp1251(const char* data, qsizetype size) {
    if (size <= 0)
        return QString();
    const auto& table = DecodeTable();
    QString text(size, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < size; ++i)
        out[i] = table[uchar(data[i])];
    return text;
}

Result<QByteArray> EncodeCp1251(const QString& text, bool replace) {
    if (text.isEmpty())
        return QByteArray();
    // One descriptor per thread: iconv descriptors carry state and are not thread-safe.
    thread_local Converter cd("CP1251", "UTF-16LE");
    if (!cd.valid())
        return Status::Error(QStringLiteral("Кодировка cp1251 недоступна"));
    cd.reset();

    QByteArray utf16(text.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        qToLittleEndian<char16_t>(text.at(i).unicode(), utf16.data() + 2 * i);

    QByteArray result(text.size(), Qt::Uninitialized); // one byte per character at most
    char* inPtr = utf16.data();
    size_t inLeft = size_t(utf16.size());
    char* outPtr = result.data();
    size_t outLeft = size_t(result.size());
    while (inLeft > 0) {
        if (iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) != size_t(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            return Status::Error(QStringLiteral("Ошибка перекодировки в cp1251"));
        // inPtr stops at the character cp1251 cannot hold (or a lone surrogate).
        const qsizetype at = (inPtr - utf16.data()) / 2;
        qsizetype units = 1;
        char32_t c = text.at(at).unicode();
        if (text.at(at).isHighSurrogate() && at + 1 < text.size() &&
            text.at(at + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(at), text.at(at + 1));
            units = 2;
        }
        if (!replace)
            return Status::Error(
                QStringLiteral("Символ %1 нельзя записать в кодировке cp1251").arg(CharName(c)));
        if (outLeft == 0)
            return Status::Error(QStringLiteral("Ошибка перекодировки в cp1251"));
        *outPtr++ = '?';
        --outLeft;
        inPtr += 2 * units;
        inLeft -= size_t(2 * units);
        cd.reset();
    }
    result.truncate(outPtr - result.data());
    return result;
}

} // namespace bil
