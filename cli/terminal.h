#pragma once

#include <QByteArray>
#include <QString>

// quorvane-cli's standard streams: the phrase comes in on standard input (from a terminal
// without echo), results go out on standard output, and a failure to write them is reported.
namespace Terminal {

// Makes a write to a closed pipe fail with an error instead of ending the process silently.
void ignoreBrokenPipes();

bool inputIsTerminal();

enum class ReadResult { Read, Failed };

// One line typed at the terminal after the prompt "Secret phrase: " on standard error, with
// echo off; the line end is not part of it. The terminal's settings come back however the
// prompt ends, by a signal (interrupt, termination, hang-up, suspension) included.
ReadResult readHiddenLine(QByteArray *line, QString *error);

// All of standard input.
ReadResult readAll(QByteArray *data, QString *error);

// UTF-8 onto standard output or standard error; output is buffered until flushOutput.
void writeOutput(const QString &text);
void writeError(const QString &text);
// Sends what was written to standard output on its way; false when any of it could not be
// written (a full disk, a closed pipe or a closed standard output).
bool flushOutput();
// Whether standard output failed because its reader had gone (a closed pipe).
bool outputPipeClosed();

}
