#include "terminal.h"

#include "utf8.h"

#include <sodium.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <termios.h>
#include <unistd.h>

namespace Terminal {

namespace {

// The terminal's settings while the prompt hides the echo; read by the signal handler.
termios savedSettings;
termios quietSettings;
volatile sig_atomic_t echoHidden = 0;

const int promptSignals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGTSTP};
constexpr int promptSignalCount = int(sizeof promptSignals / sizeof promptSignals[0]);
struct sigaction previousActions[promptSignalCount];

void restoreAndRaise(int signal)
{
    const int saved = errno;
    if (echoHidden)
        tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
    struct sigaction ours{};
    sigaction(signal, nullptr, &ours);
    std::signal(signal, SIG_DFL);
    // The signal is blocked while its handler runs; let the default action happen now.
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
    // Only a suspension returns here, once the user continues the program: hide the echo
    // again and go on reading.
    sigaction(signal, &ours, nullptr);
    if (echoHidden)
        tcsetattr(STDIN_FILENO, TCSANOW, &quietSettings);
    errno = saved;
}

void catchPromptSignals()
{
    struct sigaction action{};
    action.sa_handler = restoreAndRaise;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < promptSignalCount; ++i)
        sigaction(promptSignals[i], &action, &previousActions[i]);
}

void releasePromptSignals()
{
    for (int i = 0; i < promptSignalCount; ++i)
        sigaction(promptSignals[i], &previousActions[i], nullptr);
}

QString readError()
{
    return QStringLiteral("cannot read the secret phrase from standard input: %1")
        .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

bool outputFailed = false;
bool pipeClosed = false;

void noteOutputFailure()
{
    outputFailed = true;
    if (errno == EPIPE)
        pipeClosed = true;
}

// Whether a stream is a terminal, asked once per stream: a stream does not change what it is
// while the program runs, and a list of 100,000 profiles would otherwise ask 100,000 times.
bool isTerminal(int descriptor)
{
    static const bool standard[3] = {isatty(STDIN_FILENO) == 1, isatty(STDOUT_FILENO) == 1,
                                      isatty(STDERR_FILENO) == 1};
    return descriptor >= 0 && descriptor < 3 && standard[descriptor];
}

void writeTo(FILE *stream, const QString &text)
{
    // Messages are for people: written out where they could drive a terminal, whatever reads them.
    const bool toTerminal = stream == stderr || isTerminal(STDOUT_FILENO);
    QByteArray bytes = Utf8::encode(toTerminal ? printable(text) : text);
    if (std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream) != std::size_t(bytes.size())
        && stream == stdout)
        noteOutputFailure();
    sodium_memzero(bytes.data(), std::size_t(bytes.size()));
}

}

void ignoreBrokenPipes()
{
    std::signal(SIGPIPE, SIG_IGN);
}

bool inputIsTerminal()
{
    return isTerminal(STDIN_FILENO);
}

bool outputIsTerminal()
{
    return isTerminal(STDOUT_FILENO);
}

ReadResult readHiddenLine(QByteArray *line, QString *error, int limit, const char *prompt)
{
    line->clear();
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    if (tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
        quietSettings = savedSettings;
        quietSettings.c_lflag &= ~tcflag_t(ECHO);
        catchPromptSignals();
        echoHidden = 1;
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quietSettings);
    }
    ReadResult result = ReadResult::Read;
    for (;;) {
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = readError();
            result = ReadResult::Failed;
            break;
        }
        if (n == 0 || c == '\n')
            break;
        if (line->size() > limit) {
            // Read on to the line's end, so that the rest is not taken as the next command.
            result = ReadResult::TooLong;
            continue;
        }
        line->append(c);
    }
    if (echoHidden) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
        echoHidden = 0;
        releasePromptSignals();
    }
    std::fputc('\n', stderr);
    if (line->endsWith('\r'))
        line->chop(1);
    if (result == ReadResult::Read && line->size() > limit)
        result = ReadResult::TooLong;
    if (result != ReadResult::Read) {
        sodium_memzero(line->data(), std::size_t(line->size()));
        line->clear();
    }
    return result;
}

ReadResult readAll(QByteArray *data, QString *error, int limit)
{
    data->clear();
    char buffer[4096];
    for (;;) {
        if (data->size() > limit) {
            sodium_memzero(data->data(), std::size_t(data->size()));
            data->clear();
            sodium_memzero(buffer, sizeof buffer);
            return ReadResult::TooLong;
        }
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            *error = readError();
            sodium_memzero(buffer, sizeof buffer);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        data->append(buffer, int(n));
    }
    sodium_memzero(buffer, sizeof buffer);
    return ReadResult::Read;
}

void writeOutput(const QString &text)
{
    writeTo(stdout, text);
}

void writeError(const QString &text)
{
    writeTo(stderr, text);
    std::fflush(stderr);
}

bool flushOutput()
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        noteOutputFailure();
    return !outputFailed;
}

bool outputPipeClosed()
{
    return pipeClosed;
}

QString printable(const QString &text)
{
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if ((u < 0x20 && u != '\n' && u != '\t') || (u >= 0x7F && u < 0xA0))
            shown += QStringLiteral("\\x") + QString::number(u, 16).toUpper().rightJustified(2, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

}
