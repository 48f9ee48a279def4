#pragma once

#include <QByteArray>
#include <QString>

// The UTF-8 conversions of the toolkit release that the original program was built with.
// Passwords of the compatible scheme decode every digest with these rules and encode the
// result again, so they must match that release exactly, malformed input included.
namespace LegacyUtf8 {

// Bytes to UTF-16 code units, as that release's QString::fromUtf8 did.
QString decode(const char *bytes, int size);

// UTF-16 code units to bytes, as that release's QString::toUtf8 did.
QByteArray encode(const QString &text);

// encode(decode(bytes)) in one pass without the text in between; `out` must hold three
// bytes for every input byte and one more. Returns the number of bytes written.
int reencode(const unsigned char *bytes, int size, unsigned char *out);

// Unicode non-characters as that release knew them: U+xxFFFE and U+xxFFFF in every plane and
// U+FDD0..U+FDDF.
bool isNonCharacter(uint codePoint);

}
