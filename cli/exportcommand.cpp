#include "command.h"
#include "commands.h"

#include "batch.h"
#include "export.h"
#include "fingerprint.h"
#include "libcrypto.h"
#include "profilefile.h"
#include "terminal.h"

#include <QFileInfo>
#include <QMutex>

#include <sodium.h>

#include <atomic>

namespace Cli {

namespace {

const QCommandLineOption formatOption(
    QStringLiteral("format"),
    QStringLiteral("keepass-xml (KeePass 2 XML, which KeePassXC, KeePass and Bitwarden import), bitwarden-json, "
                   "bitwarden-csv, or lesspass-json (LessPass's own profiles file, its profiles only, no passwords)."),
    QStringLiteral("FORMAT"));
const QCommandLineOption outputOption(
    QStringLiteral("output"),
    QStringLiteral("Write a new file, mode 0600, whole or not at all; an existing file is refused. Standard output "
                   "by default."),
    QStringLiteral("FILE"));

}

ExportCommand::ExportCommand()
    : Command(QStringLiteral("export"),
              QStringLiteral("Writes every saved profile for another password manager: its name (the identifier),\n"
                             "address, user name, password and, as its notes, the profile line. The password is\n"
                             "exactly what \"derive --profile\" gives, made from the secret phrase read as derive\n"
                             "reads it. THE FILE HOLDS EVERY PASSWORD IN CLEAR: keep it only until it is imported."))
{
}

QList<QCommandLineOption> ExportCommand::options() const
{
    return {formatOption, outputOption, exactOption};
}

int ExportCommand::execute(const QCommandLineParser &parser)
{
    Export::Format format = Export::Format::KeePassXml;
    if (!parser.isSet(formatOption))
        return usageError(QStringLiteral("--format is required: %1").arg(Export::formatNames().join(QStringLiteral(", "))));
    if (!Export::formatFromName(parser.value(formatOption), &format))
        return usageError(QStringLiteral("--format: unknown format \"%1\"; use %2")
                              .arg(parser.value(formatOption), Export::formatNames().join(QStringLiteral(", "))));
    const QString output = parser.value(outputOption);
    if (parser.isSet(outputOption) && (QFileInfo::exists(output) || QFileInfo(output).isSymLink()))
        return fail(Usage, QStringLiteral("--output: %1 exists already; nothing was written (choose a new file)").arg(output));
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return fail(Failure, QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problemOf(path, status)));
    const QString refused = Export::refusal(path, lines, format);
    if (!refused.isEmpty())
        return fail(Refused, refused + QStringLiteral("; nothing was written"));
    QStringList skipped;
    QList<Export::Entry> entries = Export::entriesOf(lines, format, &skipped);
    for (const QString &reason : qAsConst(skipped))
        Terminal::writeError(QStringLiteral("quorvane-cli: skipped %1\n").arg(reason));
    for (const QString &note : Export::notes(format, entries))
        Terminal::writeError(QStringLiteral("quorvane-cli: %1\n").arg(note));

    if (Export::holdsPasswords(format) && !entries.isEmpty()) {
        QString phrase;
        const int read = readPhrase(parser, &phrase);
        if (read != Ok)
            return read;
        const bool terminal = Terminal::inputIsTerminal();
        if (terminal)
            Terminal::writeError(QStringLiteral("fingerprint: ") + Fingerprint::text(Fingerprint::of(phrase)) + QLatin1Char('\n'));
        QList<Recipe> recipes;
        for (const Export::Entry &entry : qAsConst(entries))
            recipes << entry.recipe;
        // On every processor, each derivation's memory at most 64 MiB (Batch); a progress line on
        // a terminal, as 1,000 strong profiles take minutes.
        QMutex done;
        int made = 0;
        bool failed = false;
        const std::atomic<bool> never{false};
        Batch::run(recipes, {phrase}, Batch::threads(), [&](int row, int, QString password) {
            const QMutexLocker lock(&done);
            failed = failed || password.isNull();
            entries[row].password = password;
            if (terminal && (++made % 10 == 0 || made == entries.size()))
                Terminal::writeError(QStringLiteral("\rmaking the passwords: %1 of %2").arg(made).arg(entries.size()));
        }, never);
        phrase.fill(QChar(0));
        if (terminal)
            Terminal::writeError(QStringLiteral("\n"));
        if (failed)
            return fail(Failure, QStringLiteral("the passwords could not be made (%1); nothing was written")
                                     .arg(LibCrypto::failureReason()));
    }
    QByteArray bytes = Export::write(format, entries);
    for (Export::Entry &entry : entries)
        entry.password.fill(QChar(0));
    int result = Ok;
    if (parser.isSet(outputOption)) {
        QString problem;
        switch (Export::writeNewFile(output, bytes, &problem)) {
        case Export::FileResult::Written:
            Terminal::writeError(QStringLiteral("quorvane-cli: wrote %1 entries to %2%3\n")
                                     .arg(entries.size())
                                     .arg(output, Export::holdsPasswords(format)
                                                      ? QStringLiteral("; it holds every password in clear: delete it "
                                                                       "once it is imported")
                                                      : QString()));
            break;
        case Export::FileResult::Exists:
            result = fail(Usage, QStringLiteral("--output: %1 exists already; nothing was written").arg(output));
            break;
        case Export::FileResult::Failed:
            result = fail(Failure, QStringLiteral("--output: cannot write %1 (%2); nothing was written").arg(output, problem));
            break;
        }
    } else {
        QString text = QString::fromUtf8(bytes);
        Terminal::writeOutput(text);
        text.fill(QChar(0));
        if (!Terminal::flushOutput())
            result = fail(Failure, QStringLiteral("the export could not be written to standard output"));
    }
    sodium_memzero(bytes.data(), std::size_t(bytes.size()));
    return result;
}

}
