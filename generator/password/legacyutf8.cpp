#include "legacyutf8.h"

#include <array>
#include <cstring>

namespace LegacyUtf8 {

bool isNonCharacter(uint codePoint)
{
    return (codePoint & 0xFFFE) == 0xFFFE || (codePoint >= 0xFDD0 && codePoint <= 0xFDDF);
}

namespace {

const ushort replacementCharacter = 0xFFFD;

bool skipsMark(const uchar *in, int size)
{
    // A leading byte-order mark is not part of the text.
    return size >= 3 && in[0] == 0xEF && in[1] == 0xBB && in[2] == 0xBF;
}

// The decoding rules for the piece that starts at in[i], written once: the sink receives what
// the decoder makes of it. Returns where the next piece starts.
template<class Sink>
inline int decodePiece(const uchar *in, int i, int size, Sink &sink)
{
    const uchar lead = in[i];
    if (lead < 0x80) {
        sink.ascii(lead);
        return i + 1;
    }
    int need;
    uint value;
    uint smallest;
    if (lead >= 0xC0 && lead <= 0xDF) {
        need = 1; value = lead & 0x1F; smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2; value = lead & 0x0F; smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        need = 3; value = lead & 0x07; smallest = 0x10000;
    } else {
        sink.replacement();
        return i + 1;
    }

    for (int j = 1; j <= need; ++j) {
        if (i + j == size) {
            // The input ends inside the sequence: one replacement per byte left.
            for (; i < size; ++i)
                sink.replacement();
            return size;
        }
        const uchar c = in[i + j];
        if ((c & 0xC0) != 0x80) {
            // One replacement for the lead; the bytes after it are read again on their own.
            sink.replacement();
            return i + 1;
        }
        value = (value << 6) | (c & 0x3F);
    }
    if (value < smallest || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF
        || isNonCharacter(value)) {
        sink.replacement();
    } else {
        sink.character(in + i, need + 1, value);
    }
    return i + need + 1;
}

struct UnitSink
{
    ushort *out;
    int n = 0;
    void ascii(uchar c) { out[n++] = c; }
    void replacement() { out[n++] = replacementCharacter; }
    void character(const uchar *, int, uint value)
    {
        if (value >= 0x10000) {
            out[n++] = ushort(0xD800 + ((value - 0x10000) >> 10));
            out[n++] = ushort(0xDC00 + ((value - 0x10000) & 0x3FF));
        } else {
            out[n++] = ushort(value);
        }
    }
};

// What the encoder makes of the decoder's units. A decoded text never holds a non-character or
// an unpaired surrogate, so every well-formed sequence encodes back to its own bytes.
struct ByteSink
{
    uchar *out;
    void ascii(uchar c) { *out++ = c; }
    void replacement()
    {
        // One four-byte store is cheaper than three single ones; the fourth byte is slack
        // that the next write covers.
        std::memcpy(out, "\xEF\xBF\xBD", 4);
        out += 3;
    }
    void character(const uchar *bytes, int count, uint)
    {
        std::memcpy(out, bytes, std::size_t(count));
        out += count;
    }
};

}

QString decode(const char *bytes, int size)
{
    QString out(size, Qt::Uninitialized);   // never more units than bytes
    const auto *in = reinterpret_cast<const uchar *>(bytes);
    UnitSink sink{reinterpret_cast<ushort *>(out.data())};
    for (int i = skipsMark(in, size) ? 3 : 0; i < size;)
        i = decodePiece(in, i, size, sink);
    out.truncate(sink.n);
    return out;
}

int reencode(const unsigned char *bytes, int size, unsigned char *out)
{
    // Digests are random bytes, so the branches of the general rules are hard to predict. A
    // byte that starts no sequence (below 0x80, 0x80..0xBF, 0xF8..0xFF) stands for itself or for
    // one replacement: a table gives its bytes without a branch; only leads take the rules.
    struct Single { uchar bytes[4]; int count; };
    static const auto singles = [] {
        std::array<Single, 256> table{};
        for (int b = 0; b < 256; ++b) {
            if (b < 0x80)
                table[b] = {{uchar(b), 0, 0, 0}, 1};
            else if (b < 0xC0 || b > 0xF7)
                table[b] = {{0xEF, 0xBF, 0xBD, 0}, 3};
        }
        return table;
    }();

    ByteSink sink{out};
    for (int i = skipsMark(bytes, size) ? 3 : 0; i < size;) {
        const Single &single = singles[bytes[i]];
        if (single.count) {
            std::memcpy(sink.out, single.bytes, 4);
            sink.out += single.count;
            ++i;
        } else {
            i = decodePiece(bytes, i, size, sink);
        }
    }
    return int(sink.out - out);
}

QByteArray encode(const QString &text)
{
    const ushort *src = text.utf16();
    const int size = text.size();
    QByteArray out;
    out.resize(size * 3);   // a unit never takes more than three bytes; a pair takes four
    auto *dst = reinterpret_cast<uchar *>(out.data());
    int n = 0;

    for (int i = 0; i < size; ++i) {
        uint u = src[i];
        if (u < 0x80) {
            dst[n++] = uchar(u);
            continue;
        }
        if (u >= 0xDC00 && u <= 0xDFFF)
            continue;   // a low surrogate without its high one vanishes
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 < size && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
                u = 0x10000 + ((u - 0xD800) << 10) + (src[i + 1] - 0xDC00);
                ++i;
            } else {
                ++i;   // an unpaired high surrogate takes the unit after it along
                continue;
            }
        }
        if (isNonCharacter(u)) {
            dst[n++] = '?';
        } else if (u < 0x800) {
            dst[n++] = uchar(0xC0 | (u >> 6));
            dst[n++] = uchar(0x80 | (u & 0x3F));
        } else if (u < 0x10000) {
            dst[n++] = uchar(0xE0 | (u >> 12));
            dst[n++] = uchar(0x80 | ((u >> 6) & 0x3F));
            dst[n++] = uchar(0x80 | (u & 0x3F));
        } else {
            dst[n++] = uchar(0xF0 | (u >> 18));
            dst[n++] = uchar(0x80 | ((u >> 12) & 0x3F));
            dst[n++] = uchar(0x80 | ((u >> 6) & 0x3F));
            dst[n++] = uchar(0x80 | (u & 0x3F));
        }
    }
    out.truncate(n);
    return out;
}

}
