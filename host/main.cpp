// quorvane-browser-host: Quorvane's end of the browsers' native messaging (PROTOCOL.md). The
// browser starts it for our extension and writes requests to its standard input; it answers each
// with one reply on its standard output, in order, until the input ends. Nothing else ever
// reaches its standard output, and nothing at all its standard error.

#include "frames.h"
#include "hardening.h"
#include "requests.h"

#include <QCoreApplication>
#include <QJsonDocument>

#include <sodium.h>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

qint64 readInput(char *into, qint64 size)
{
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, into, std::size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        return n;
    }
}

bool writeReply(const QJsonObject &reply)
{
    QByteArray json = QJsonDocument(reply).toJson(QJsonDocument::Compact);
    if (json.size() > Requests::longestReply) {
        // The browser would take a reply over its limit as a broken host: say what happened.
        sodium_memzero(json.data(), std::size_t(json.size()));
        json = QJsonDocument(Requests::error(QStringLiteral("the reply would be longer than %1 KiB, more than the "
                                                            "browser takes").arg(Requests::longestReply / 1024)))
                   .toJson(QJsonDocument::Compact);
    }
    QByteArray out = Frames::frame(json);
    qint64 written = 0;
    while (written < out.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, out.constData() + written, std::size_t(out.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += n;
    }
    // A reply may hold a password.
    sodium_memzero(json.data(), std::size_t(json.size()));
    sodium_memzero(out.data(), std::size_t(out.size()));
    return written == out.size();
}

void silent(QtMsgType, const QMessageLogContext &, const QString &)
{
}

}

int main(int argc, char **argv)
{
    Hardening::noCoreFiles();
    Hardening::failWritesPastFileLimit();
    Hardening::wipeFreedMemory();
    std::signal(SIGPIPE, SIG_IGN);
    qInstallMessageHandler(silent);
    // The browser passes the extension's origin or the manifest's path: nothing the host reads.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-browser-host"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    for (;;) {
        QByteArray message;
        switch (Frames::next(readInput, &message)) {
        case Frames::Read::End:
            return 0;
        case Frames::Read::TooLong:
            writeReply(Requests::error(QStringLiteral("the message is longer than 64 KiB")));
            return 1;
        case Frames::Read::Truncated:
            writeReply(Requests::error(QStringLiteral("the message ended before its length said")));
            return 1;
        case Frames::Read::Message:
            break;
        }
        Requests::Request request;
        QString problem;
        const QJsonObject reply = Requests::read(message, &request, &problem) ? Requests::answer(request)
                                                                             : Requests::error(problem);
        // What held the phrase goes before the reply leaves.
        sodium_memzero(message.data(), std::size_t(message.size()));
        request.phrase.fill(QChar(0));
        if (!writeReply(reply))
            return 1;
    }
}
