// The browser host's reader: any bytes as its standard input. Every message the framing gives
// is read as a request or refused with a reason; a request read names a known type and carries
// the texts it needs; a message framed again reads back the same.
#include "frames.h"
#include "fuzzsupport.h"
#include "recipe.h"
#include "requests.h"

#include <QJsonObject>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    qint64 at = 0;
    const Frames::Source source = [&](char *into, qint64 wanted) {
        const qint64 n = qMin<qint64>(wanted, input.size() - at);
        std::memcpy(into, input.constData() + at, size_t(n));
        at += n;
        return n;
    };
    for (;;) {
        QByteArray message;
        const Frames::Read read = Frames::next(source, &message);
        if (read != Frames::Read::Message) {
            FUZZ_ASSERT(message.isEmpty(), "a framing fault gives no message");
            return 0;
        }
        FUZZ_ASSERT(message.size() <= int(Frames::maximumSize), "no message past the limit");
        QByteArray again;
        qint64 from = 0;
        const QByteArray framed = Frames::frame(message);
        Frames::next([&](char *into, qint64 wanted) {
            const qint64 n = qMin<qint64>(wanted, framed.size() - from);
            std::memcpy(into, framed.constData() + from, size_t(n));
            from += n;
            return n;
        }, &again);
        FUZZ_ASSERT(again == message, "a message framed again reads back");
        Requests::Request request;
        QString problem;
        if (Requests::read(message, &request, &problem)) {
            FUZZ_ASSERT(QStringList({"version", "lookup", "derive", "fingerprint", "save", "compose", "next", "replace", "moved"}).contains(request.type),
                        "a request read is one the host knows");
            if (request.type == QLatin1String("compose")) {
                // A new profile's line reads back as itself, or the form's problem is said.
                const QJsonObject reply = Requests::answer(request);
                const QString line = reply.value(QLatin1String("line")).toString();
                FUZZ_ASSERT(!line.isEmpty() || !reply.value(QLatin1String("error")).toString().isEmpty(),
                            "a composed profile has a line or a reason");
                Recipe recipe;
                FUZZ_ASSERT(line.isEmpty() || (Recipe::fromLine(line, &recipe) && recipe.line() == line),
                            "a composed line reads back as itself");
            }
        } else {
            FUZZ_ASSERT(!problem.isEmpty(), "a refused message says why");
        }
    }
}
