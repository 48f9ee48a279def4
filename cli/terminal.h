#pragma once

#include <QByteArray>
#include <QString>

// quorvane-cli's standard streams: the phrase comes in on standard input (from a terminal
// without echo), results go out on standard output, and a failure to write them is reported.
namespace Terminal {

// Makes a write to a closed pipe fail with an error instead of ending the process silently.
void ignoreBrokenPipes();

bool inputIsTerminal();
bool outputIsTerminal();

enum class ReadResult { Read, Failed, TooLong };

// One line typed at the terminal after the prompt ("Secret phrase: ") on standard error, with
// echo off; the line end is not part of it. The terminal's settings come back however the
// prompt ends, by a signal (interrupt, quit, termination, hang-up, suspension) included.
// TooLong, with what was read wiped, when the line goes on past `limit` bytes.
ReadResult readHiddenLine(QByteArray *line, QString *error, int limit, const char *prompt = "Secret phrase: ");

// All of standard input, or TooLong (nothing kept) as soon as it passes `limit` bytes: endless
// input such as /dev/zero is refused rather than read until memory runs out.
ReadResult readAll(QByteArray *data, QString *error, int limit);

// UTF-8 onto standard output or standard error; output is buffered until flushOutput. Control
// characters (escape sequences among them) reach a terminal only as visible escapes ("\x1B"),
// so that a name read from a file cannot drive the terminal; a line break stays one. Standard
// output that is no terminal gets the text as it is.
void writeOutput(const QString &text);
void writeError(const QString &text);
// Sends what was written to standard output on its way; false when any of it could not be
// written (a full disk, a closed pipe or a closed standard output).
bool flushOutput();
// Whether standard output failed because its reader had gone (a closed pipe).
bool outputPipeClosed();

// The text with every control character but the line break and the tab written as "\xNN".
QString printable(const QString &text);

}
