// quorvane-cli: derives passwords and manages saved profiles from scripts and terminals.
// The secret phrase is read from standard input only, never from the command line.

#include "derivation.h"
#include "platform.h"
#include "profilefile.h"
#include "utf8.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include <sodium.h>
#include <termios.h>
#include <unistd.h>

namespace {

enum Exit { Ok = 0, Refused = 1, Usage = 2, Failure = 3 };

const char usageText[] =
    "Usage:\n"
    "  quorvane-cli derive [--scheme=strong|compatible] [--identifier=TEXT] [--length=N] [--exact]\n"
    "  quorvane-cli profiles list\n"
    "  quorvane-cli profiles add --identifier=TEXT --length=N [--scheme=strong|compatible]\n"
    "  quorvane-cli profiles remove --identifier=TEXT --length=N [--scheme=strong|compatible]\n"
    "  quorvane-cli --help | --version\n"
    "\n"
    "derive        Reads the secret phrase from standard input and prints the password.\n"
    "              On a terminal it asks for one line without echo; otherwise it reads\n"
    "              everything and drops one final line end unless --exact is given.\n"
    "profiles      Lists, adds or removes saved profiles (identifier, length, scheme)\n"
    "              in the same profile file as the program.\n"
    "\n"
    "Options:\n"
    "  -i, --identifier=TEXT   password identifier, UTF-8, without \"|\" (default: empty)\n"
    "  -l, --length=N          password length, 4 to 32 (default: 32)\n"
    "      --scheme=NAME       strong (default) or compatible, the original program's scheme\n"
    "      --exact             keep a final line end of the phrase\n"
    "\n"
    "Exit codes: 0 success; 1 profile already saved, or no such profile; 2 refused input or\n"
    "wrong usage; 3 the profile file cannot be read or written, or the password cannot be made.\n"
    "\n"
    "Profile file: zavdata.txt in the folder Quorvane of the user's documents folder.\n";

const char emptySecretText[] = "The Secret Phrase field is empty.  Please enter a secret phrase.";
const char barText[] = "The Password Identifier field cannot contain the symbol \"|\".  Please choose another character.";
const char invalidIdentifierText[] =
    "The Password Identifer field is empty or contains the \"|\" symbol.                 Please enter a valid entry for this field";
const char savedAlreadyText[] = "The profile already is already saved.  Please enter a new identifier.";

int fail(int code, const QString &message)
{
    std::fprintf(stderr, "quorvane-cli: %s\n", message.toUtf8().constData());
    return code;
}

int usageError(const QString &message)
{
    fail(Usage, message);
    std::fputs("Try 'quorvane-cli --help'.\n", stderr);
    return Usage;
}

void printLine(const QString &text)
{
    const QByteArray bytes = Utf8::encode(text);
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fputc('\n', stdout);
}

struct Options
{
    std::map<std::string, QString> values;
    bool exact = false;
    QString error;
};

// Accepts "--name=value", "--name value", "-i value" and "-l value" for the allowed names.
Options parseOptions(int argc, char **argv, int first, const std::map<std::string, std::string> &allowed, bool exactAllowed)
{
    Options options;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (exactAllowed && arg == "--exact") {
            options.exact = true;
            continue;
        }
        std::string name;
        std::string value;
        bool hasValue = false;
        if (arg.rfind("--", 0) == 0) {
            const std::size_t eq = arg.find('=');
            name = arg.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                hasValue = true;
            }
        } else if (arg.size() >= 2 && arg[0] == '-') {
            for (const auto &entry : allowed) {
                if (!entry.second.empty() && arg.compare(0, 2, entry.second) == 0)
                    name = entry.first;
            }
            if (name.empty()) {
                options.error = QStringLiteral("unknown option: %1").arg(QString::fromLocal8Bit(argv[i]));
                return options;
            }
            if (arg.size() > 2) {
                value = arg.substr(2);
                hasValue = true;
            }
        } else {
            options.error = QStringLiteral("unexpected argument: %1").arg(QString::fromLocal8Bit(argv[i]));
            return options;
        }
        if (!allowed.count(name)) {
            options.error = QStringLiteral("unknown option: %1").arg(QString::fromLocal8Bit(argv[i]));
            return options;
        }
        if (!hasValue) {
            if (i + 1 >= argc) {
                options.error = QStringLiteral("option --%1 needs a value").arg(QString::fromStdString(name));
                return options;
            }
            value = argv[++i];
        }
        QString text;
        if (!Utf8::decodeStrict(QByteArray::fromStdString(value), &text)) {
            options.error = QStringLiteral("the value of --%1 is not valid UTF-8").arg(QString::fromStdString(name));
            return options;
        }
        options.values[name] = text;
    }
    return options;
}

bool parseLength(const Options &options, bool required, int *length, QString *error)
{
    const auto it = options.values.find("length");
    if (it == options.values.end()) {
        if (required)
            *error = QStringLiteral("--length is required");
        return !required;
    }
    bool ok = false;
    const QString &text = it->second;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(QLatin1Char('+')) || !Derivation::isValidLength(value)) {
        *error = QStringLiteral("the length must be a whole number from 4 to 32");
        return false;
    }
    *length = value;
    return true;
}

bool parseScheme(const Options &options, Scheme *scheme, QString *error)
{
    const auto it = options.values.find("scheme");
    if (it == options.values.end())
        return true;
    if (!Derivation::schemeFromName(it->second, scheme)) {
        *error = QStringLiteral("unknown scheme \"%1\"; use strong or compatible").arg(it->second);
        return false;
    }
    return true;
}

QByteArray readAll(FILE *in)
{
    QByteArray data;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0)
        data.append(buffer, int(n));
    return data;
}

// One line typed at the terminal, with echo off; the line end is not part of the phrase.
QByteArray readFromTerminal()
{
    std::fputs("Secret phrase: ", stderr);
    std::fflush(stderr);
    termios saved{};
    const bool canHide = tcgetattr(STDIN_FILENO, &saved) == 0;
    if (canHide) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    QByteArray line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.append(char(c));
    if (canHide)
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

int derive(int argc, char **argv)
{
    const Options options = parseOptions(argc, argv, 2,
        {{"identifier", "-i"}, {"length", "-l"}, {"scheme", ""}}, true);
    if (!options.error.isEmpty())
        return usageError(options.error);
    int length = 32;
    Scheme scheme = Scheme::Strong;
    QString error;
    if (!parseLength(options, false, &length, &error) || !parseScheme(options, &scheme, &error))
        return usageError(error);
    const auto id = options.values.find("identifier");
    const QString identifier = id == options.values.end() ? QString() : id->second;

    QByteArray input = isatty(STDIN_FILENO) ? readFromTerminal() : readAll(stdin);
    if (!isatty(STDIN_FILENO) && !options.exact) {
        if (input.endsWith("\r\n"))
            input.chop(2);
        else if (input.endsWith('\n'))
            input.chop(1);
    }
    QString phrase;
    const bool valid = Utf8::decodeStrict(input, &phrase);
    sodium_memzero(input.data(), std::size_t(input.size()));
    if (!valid)
        return fail(Usage, QStringLiteral("the secret phrase is not valid UTF-8"));
    if (phrase.isEmpty())
        return fail(Usage, QString::fromUtf8(emptySecretText));
    if (identifier.contains(QLatin1Char('|')))
        return fail(Usage, QString::fromUtf8(barText));

    const QString password = Derivation::derive(scheme, phrase, identifier, length);
    if (password.isNull())
        return fail(Failure, QStringLiteral("the password could not be made: not enough free memory"));
    printLine(password);
    return Ok;
}

QString profileFilePath()
{
    return Platform::dataFolderPath(Platform::userName()) + ProfileFile::fileName;
}

int listProfiles(int argc)
{
    if (argc > 3)
        return usageError(QStringLiteral("profiles list takes no options"));
    const QString path = profileFilePath();
    QStringList lines;
    if (!ProfileFile::readLines(path, &lines) && QFileInfo::exists(path))
        return fail(Failure, QStringLiteral("cannot read the profile file %1").arg(path));
    for (const QString &row : ProfileFile::rows(lines))
        printLine(row);
    return Ok;
}

int changeProfiles(int argc, char **argv, bool add)
{
    const Options options = parseOptions(argc, argv, 3,
        {{"identifier", "-i"}, {"length", "-l"}, {"scheme", ""}}, false);
    if (!options.error.isEmpty())
        return usageError(options.error);
    const auto id = options.values.find("identifier");
    if (id == options.values.end())
        return usageError(QStringLiteral("--identifier is required"));
    int length = 0;
    Scheme scheme = Scheme::Strong;
    QString error;
    if (!parseLength(options, true, &length, &error) || !parseScheme(options, &scheme, &error))
        return usageError(error);
    const QString path = profileFilePath();

    if (add) {
        switch (ProfileFile::save(path, id->second, length, scheme)) {
        case ProfileFile::SaveResult::Saved:
            return Ok;
        case ProfileFile::SaveResult::InvalidIdentifier:
            return fail(Usage, QString::fromUtf8(invalidIdentifierText));
        case ProfileFile::SaveResult::InvalidLength:
            return fail(Usage, QStringLiteral("the length must be a whole number from 4 to 32"));
        case ProfileFile::SaveResult::AlreadySaved:
            return fail(Refused, QString::fromUtf8(savedAlreadyText));
        case ProfileFile::SaveResult::Failed:
            break;
        }
        return fail(Failure, QStringLiteral("the profile could not be saved: cannot write %1").arg(path));
    }

    const QString line = ProfileFile::line(id->second, length, scheme);
    switch (ProfileFile::remove(path, line)) {
    case ProfileFile::RemoveResult::Removed:
        return Ok;
    case ProfileFile::RemoveResult::NotFound:
        return fail(Refused, QStringLiteral("no such profile: %1").arg(line));
    case ProfileFile::RemoveResult::Failed:
        break;
    }
    return fail(Failure, QStringLiteral("the profile could not be deleted: cannot rewrite %1; it was left as it was").arg(path));
}

}

int main(int argc, char **argv)
{
    if (argc < 2)
        return usageError(QStringLiteral("a command is required"));
    const std::string command = argv[1];
    bool helpAsked = command == "help";
    for (int i = 1; i < argc; ++i)
        helpAsked = helpAsked || std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
    if (helpAsked) {
        std::fputs(usageText, stdout);
        return Ok;
    }
    if (command == "--version") {
        std::printf("quorvane-cli %s\n", QUORVANE_VERSION);
        return Ok;
    }
    if (command == "derive")
        return derive(argc, argv);
    if (command == "profiles") {
        const std::string sub = argc > 2 ? argv[2] : "";
        if (sub == "list")
            return listProfiles(argc);
        if (sub == "add" || sub == "remove")
            return changeProfiles(argc, argv, sub == "add");
        return usageError(QStringLiteral("profiles needs list, add or remove"));
    }
    return usageError(QStringLiteral("unknown command: %1").arg(QString::fromLocal8Bit(argv[1])));
}
