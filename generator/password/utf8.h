#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

// Standard UTF-8, independent of the toolkit's own conversions, for input that must be
// checked (the command line, profile files) and for the strong scheme's input bytes.
namespace Utf8 {

// Decodes well-formed UTF-8 exactly (a byte-order mark stays U+FEFF). Returns false, leaving
// *text untouched, when the bytes are not well-formed UTF-8.
bool decodeStrict(const QByteArray &bytes, QString *text);
// The same, with the offset of the first byte that is not well-formed in *badByte on failure.
bool decodeStrict(const QByteArray &bytes, QString *text, int *badByte);

// Standard UTF-8 of the text; an unpaired surrogate is encoded as U+FFFD.
QByteArray encode(const QString &text);

// The number of bytes encode(text) gives, without making them.
qint64 encodedSize(QStringView text);

// Whether the text holds a surrogate without its pair, which UTF-8 has no form for.
bool hasLoneSurrogate(const QString &text);

}
