#include "frames.h"

#include <cstring>

namespace Frames {

namespace {

// Reads exactly `size` bytes unless the input ends first; returns how many came.
qint64 readFully(const Source &source, char *into, qint64 size)
{
    qint64 got = 0;
    while (got < size) {
        const qint64 n = source(into + got, size - got);
        if (n <= 0)
            break;
        got += n;
    }
    return got;
}

}

Read next(const Source &source, QByteArray *body)
{
    body->clear();
    char head[4];
    const qint64 got = readFully(source, head, sizeof head);
    if (got == 0)
        return Read::End;
    if (got < qint64(sizeof head))
        return Read::Truncated;
    quint32 size = 0;
    std::memcpy(&size, head, sizeof size);
    if (size > maximumSize)
        return Read::TooLong;
    body->resize(int(size));
    if (readFully(source, body->data(), size) < qint64(size)) {
        body->clear();
        return Read::Truncated;
    }
    return Read::Message;
}

QByteArray frame(const QByteArray &json)
{
    const quint32 size = quint32(json.size());
    QByteArray out(int(sizeof size), Qt::Uninitialized);
    std::memcpy(out.data(), &size, sizeof size);
    return out + json;
}

}
