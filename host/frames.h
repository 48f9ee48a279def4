#pragma once

#include <QByteArray>

#include <functional>

// The browsers' native-messaging framing: each message is a 32-bit length in the machine's own
// byte order, then that many bytes of UTF-8 JSON. The reader takes its bytes from a function,
// so that a test can feed it a buffer and the host its standard input.
namespace Frames {

// No request of ours comes near it; the length is checked before anything is allocated.
constexpr quint32 maximumSize = 64 * 1024;

// Reads up to `size` bytes into `into`: how many came, 0 at the end of the input, less than 0
// on an error. It may wait for them.
using Source = std::function<qint64(char *into, qint64 size)>;

enum class Read {
    Message,     // *body holds one message
    End,         // the input ended between two messages
    TooLong,     // the length is over maximumSize
    Truncated,   // the input ended, or failed, inside a length or a message
};

// The next message of the input.
Read next(const Source &source, QByteArray *body);

// The message with its length in front.
QByteArray frame(const QByteArray &json);

}
