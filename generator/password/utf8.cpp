#include "utf8.h"

namespace Utf8 {

namespace {

bool fail(int at, int *badByte)
{
    if (badByte)
        *badByte = at;
    return false;
}

}

bool decodeStrict(const QByteArray &bytes, QString *text)
{
    return decodeStrict(bytes, text, nullptr);
}

bool decodeStrict(const QByteArray &bytes, QString *text, int *badByte)
{
    const auto *in = reinterpret_cast<const uchar *>(bytes.constData());
    const int size = bytes.size();
    QString out;
    out.reserve(size);
    int i = 0;
    while (i < size) {
        const uchar lead = in[i];
        if (lead < 0x80) {
            out.append(QChar(lead));
            ++i;
            continue;
        }
        int need;
        uint value;
        uint smallest;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1; value = lead & 0x1F; smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2; value = lead & 0x0F; smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3; value = lead & 0x07; smallest = 0x10000;
        } else {
            return fail(i, badByte);
        }
        if (i + need >= size)
            return fail(i, badByte);
        for (int j = 1; j <= need; ++j) {
            const uchar c = in[i + j];
            if ((c & 0xC0) != 0x80)
                return fail(i, badByte);
            value = (value << 6) | (c & 0x3F);
        }
        if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
            return fail(i, badByte);
        if (value >= 0x10000) {
            out.append(QChar(ushort(0xD800 + ((value - 0x10000) >> 10))));
            out.append(QChar(ushort(0xDC00 + ((value - 0x10000) & 0x3FF))));
        } else {
            out.append(QChar(ushort(value)));
        }
        i += need + 1;
    }
    *text = out;
    return true;
}

QByteArray encode(const QString &text)
{
    const ushort *src = text.utf16();
    const int size = text.size();
    QByteArray out;
    out.reserve(size * 3);
    for (int i = 0; i < size; ++i) {
        uint u = src[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < size && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        if (u < 0x80) {
            out.append(char(u));
        } else if (u < 0x800) {
            out.append(char(0xC0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3F)));
        } else if (u < 0x10000) {
            out.append(char(0xE0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        } else {
            out.append(char(0xF0 | (u >> 18)));
            out.append(char(0x80 | ((u >> 12) & 0x3F)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        }
    }
    return out;
}

qint64 encodedSize(QStringView text)
{
    qint64 bytes = 0;
    const ushort *src = reinterpret_cast<const ushort *>(text.utf16());
    for (int i = 0; i < text.size(); ++i) {
        const ushort u = src[i];
        if (u < 0x80)
            bytes += 1;
        else if (u < 0x800)
            bytes += 2;
        else if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF)
            bytes += 4, ++i;
        else
            bytes += 3;   // the rest of the first plane, and U+FFFD for a lone surrogate
    }
    return bytes;
}

bool hasLoneSurrogate(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            return true;
    }
    return false;
}

}
