#include "platform/NativeName.h"

#include <cstring>

namespace pelandor {

namespace {

constexpr char16_t EscapeBase = 0xDC00;

bool isContinuation(uchar c)
{
    return (c & 0xC0) == 0x80;
}

// The length of the valid UTF-8 sequence at p[0..n), with its code point;
// 0 when the bytes there are not one (overlong forms, surrogates and values
// beyond U+10FFFF included).
int sequenceAt(const uchar *p, qsizetype n, char32_t *codePoint)
{
    const uchar lead = p[0];
    int length = 0;
    char32_t value = 0;
    char32_t smallest = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        smallest = 0x10000;
    } else {
        return 0;
    }
    if (n < length)
        return 0;
    for (int k = 1; k < length; ++k) {
        if (!isContinuation(p[k]))
            return 0;
        value = (value << 6) | (p[k] & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    *codePoint = value;
    return length;
}

} // namespace

QString NativeName::decode(const QByteArray &bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.constData());
    const qsizetype n = bytes.size();
    QString out;
    out.reserve(n);
    for (qsizetype i = 0; i < n;) {
        if (p[i] < 0x80) {
            out += QChar(char16_t(p[i]));
            ++i;
            continue;
        }
        char32_t codePoint = 0;
        const int length = sequenceAt(p + i, n - i, &codePoint);
        if (length == 0) {
            out += QChar(char16_t(EscapeBase + p[i]));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            out += QChar(QChar::highSurrogate(codePoint));
            out += QChar(QChar::lowSurrogate(codePoint));
        } else {
            out += QChar(char16_t(codePoint));
        }
        i += length;
    }
    return out;
}

QString NativeName::decode(const char *bytes)
{
    return bytes ? decode(QByteArray::fromRawData(bytes, qsizetype(std::strlen(bytes)))) : QString();
}

int NativeName::escapedByte(const QString &name, qsizetype index)
{
    const char16_t unit = name.at(index).unicode();
    if (unit < EscapeBase + 0x80 || unit > EscapeBase + 0xFF)
        return -1;
    // A low surrogate right after a high one is half of a real character.
    if (index > 0 && name.at(index - 1).isHighSurrogate())
        return -1;
    return unit - EscapeBase;
}

QByteArray NativeName::encode(const QString &name)
{
    QByteArray out;
    out.reserve(name.size());
    const qsizetype n = name.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t unit = name.at(i).unicode();
        if (unit < 0x80) {
            out += char(unit);
            continue;
        }
        char32_t codePoint = unit;
        if (QChar::isHighSurrogate(unit) && i + 1 < n && name.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(unit, name.at(i + 1).unicode());
            ++i;
        } else if (const int byte = escapedByte(name, i); byte >= 0) {
            out += char(byte);
            continue;
        } else if (QChar::isSurrogate(unit)) {
            codePoint = QChar::ReplacementCharacter; // half a character from elsewhere
        }
        if (codePoint < 0x800) {
            out += char(0xC0 | (codePoint >> 6));
        } else if (codePoint < 0x10000) {
            out += char(0xE0 | (codePoint >> 12));
            out += char(0x80 | ((codePoint >> 6) & 0x3F));
        } else {
            out += char(0xF0 | (codePoint >> 18));
            out += char(0x80 | ((codePoint >> 12) & 0x3F));
            out += char(0x80 | ((codePoint >> 6) & 0x3F));
        }
        out += char(0x80 | (codePoint & 0x3F));
    }
    return out;
}

QString NativeName::display(const QString &name)
{
    QString out = name;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (escapedByte(name, i) >= 0)
            out[i] = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

} // namespace pelandor
