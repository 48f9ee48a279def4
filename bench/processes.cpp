// quorvane-bench-processes: the programs as a user or a browser meets them, whole processes,
// one line per benchmark: "name<TAB>median nanoseconds" (or "<TAB>... KiB" for memory).
//   startup-*        start and end: quorvane-cli --version against a bare QCoreApplication
//                    program built the same way (quorvane-bench-bare)
//   cli-derive-*     quorvane-cli derive, one scheme each, against the scheme's key function
//                    alone in this process and in a program of its own (quorvane-bench-kdf)
//   host-*           one request through a running quorvane-browser-host, and its memory
//                    after 1,000 and 10,000 mixed requests
//   cli-export-*     quorvane-cli export of 1,000 strong profiles (KeePass XML), once: minutes
// Usage: quorvane-bench-processes [--quick]; the programs are looked for beside it.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <sodium.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

double median(int rounds, const std::function<void()> &operation)
{
    operation();   // warm-up
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        operation();
        times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void print(const char *name, double value)
{
    std::printf("%s\t%.0f\n", name, value);
    std::fflush(stdout);
}

QString beside(const char *program)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(program);
}

// Starts the program and waits for it, with the input on its standard input and its output
// thrown away; posix_spawn, so that only the program's own start is measured.
void runProcess(const QString &program, const QStringList &arguments, const QByteArray &input = QByteArray())
{
    std::vector<QByteArray> words{QFile::encodeName(program)};
    for (const QString &argument : arguments)
        words.push_back(argument.toUtf8());
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int in[2];
    if (pipe(in) != 0)
        return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_addclose(&actions, in[1]);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    if (!input.isEmpty() && write(in[1], input.constData(), size_t(input.size())) != input.size())
        std::fprintf(stderr, "%s: input not written\n", qPrintable(program));
    close(in[1]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s failed\n", qPrintable(program));
}

QByteArray frame(const QJsonObject &request)
{
    const QByteArray json = QJsonDocument(request).toJson(QJsonDocument::Compact);
    const quint32 size = quint32(json.size());
    QByteArray out(4, Qt::Uninitialized);
    std::memcpy(out.data(), &size, 4);
    return out + json;
}

QByteArray replyOf(QProcess &host)
{
    while (host.bytesAvailable() < 4 && host.waitForReadyRead(60000)) {
    }
    quint32 size = 0;
    host.read(reinterpret_cast<char *>(&size), 4);
    while (host.bytesAvailable() < size && host.waitForReadyRead(60000)) {
    }
    return host.read(size);
}

qint64 residentKiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (sodium_init() < 0)
        return 1;
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int rounds = quick ? 3 : 41;
    const QString cli = beside("quorvane-cli");

    const double bare = median(rounds, [&] { runProcess(beside("quorvane-bench-bare"), QStringList()); });
    const double version = median(rounds, [&] { runProcess(cli, {QStringLiteral("--version")}); });
    print("startup-bare-qcoreapplication", bare);
    print("startup-cli-version", version);
    std::printf("startup-ratio\t%.2fx\n", version / bare);

    // Each scheme through the whole command against its key function alone; the second ratio
    // leaves out what starting any program costs on this machine (the bare program's start).
    const QByteArray phrase("password");
    const int kdfRounds = quick ? 1 : 15;
    // The third figure: the same key function in a program of its own, started as the command is.
    auto compare = [&](const char *scheme, const char *kdfName, double command, double kdf) {
        const char *bareKdf = std::strcmp(scheme, "lesspass") == 0 ? "pbkdf2"
                            : std::strcmp(scheme, "spectre") == 0 ? "scrypt" : "argon2id";
        const double floor = median(kdfRounds, [&] { runProcess(beside("quorvane-bench-kdf"), {QString::fromLatin1(bareKdf)}); });
        std::printf("cli-derive-%s\t%.0f\n%s\t%.0f\nkdf-program-%s\t%.0f\n"
                    "cli-derive-%s-ratio\t%.2fx the key function, %.2fx a program computing it\n",
                    scheme, command, kdfName, kdf, bareKdf, floor, scheme, command / kdf, command / floor);
        std::fflush(stdout);
    };
    compare("lesspass", "kdf-pbkdf2-100k",
            median(kdfRounds, [&] { runProcess(cli, {"derive", "--scheme=lesspass", "-i", "example.org"}, phrase); }),
            median(kdfRounds, [&] {
                unsigned char out[32];
                PKCS5_PBKDF2_HMAC(phrase.constData(), phrase.size(), reinterpret_cast<const unsigned char *>("example.org1"),
                                  12, 100000, EVP_sha256(), 32, out);
            }));
    compare("spectre", "kdf-scrypt-32768-8-2",
            median(kdfRounds, [&] {
                runProcess(cli, {"derive", "--scheme=spectre", "-i", "example.org", "--user-name=Robert Lee Mitchell"}, phrase);
            }),
            median(kdfRounds, [&] {
                uint8_t out[64];
                if (crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t *>(phrase.constData()),
                                                          size_t(phrase.size()),
                                                          reinterpret_cast<const uint8_t *>("com.lyndir.masterpassword0000x"),
                                                          30, 32768, 8, 2, out, sizeof out) != 0)
                    std::fprintf(stderr, "scrypt failed\n");
            }));
    compare("strong", "kdf-argon2id-64m-3",
            median(kdfRounds, [&] { runProcess(cli, {"derive", "-i", "example.org"}, phrase); }),
            median(kdfRounds, [&] {
                unsigned char key[48];
                const unsigned char salt[16] = {1};
                if (crypto_pwhash(key, sizeof key, phrase.constData(), size_t(phrase.size()), salt, 3, 67108864,
                                  crypto_pwhash_ALG_ARGON2ID13) != 0)
                    std::fprintf(stderr, "argon2id failed\n");
            }));

    // The browser host with a profile file of 10,000 lines.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    QDir().mkpath(home.path() + QStringLiteral("/Documents/Quorvane"));
    QFile profiles(home.path() + QStringLiteral("/Documents/Quorvane/zavdata.txt"));
    profiles.open(QIODevice::WriteOnly);
    for (int i = 0; i < 10000; ++i)
        profiles.write(QStringLiteral("site%1.example.com|16|strong\r\n").arg(i).toUtf8());
    profiles.write("login.example.com|20|strong|aA9!|1\r\nexample.com|16|strong\r\n");
    profiles.close();
    QProcess host;
    host.start(beside("quorvane-browser-host"), QStringList());
    host.waitForStarted();
    const QByteArray lookup = frame({{"type", "lookup"}, {"url", "https://login.example.com/"}});
    print("host-lookup-10k-profiles", median(quick ? 5 : 201, [&] {
        host.write(lookup);
        replyOf(host);
    }));
    const QByteArray derive = frame({{"type", "derive"}, {"line", "example.com|16|strong"}, {"phrase", "password"}});
    print("host-derive-strong", median(kdfRounds, [&] {
        host.write(derive);
        replyOf(host);
    }));
    const QList<QByteArray> mixed{frame({{"type", "version"}}), lookup, QByteArray("\x05\x00\x00\x00[1,2]", 9),
                                  frame({{"type", "save"}, {"line", "example.com|16|strong"}})};
    for (int total : {1000, 10000}) {
        for (int i = total == 1000 ? 0 : 1000; i < total; ++i) {
            host.write(mixed.at(i % mixed.size()));
            replyOf(host);
        }
        std::printf("host-resident-after-%d-requests\t%lld KiB\n", total, residentKiB(host.processId()));
    }
    host.closeWriteChannel();
    host.waitForFinished();

    // An export of 1,000 strong profiles: every password made, on every processor (Batch).
    if (!quick) {
        profiles.open(QIODevice::WriteOnly | QIODevice::Truncate);
        for (int i = 0; i < 1000; ++i)
            profiles.write(QStringLiteral("site%1.example.com|16|strong\r\n").arg(i).toUtf8());
        profiles.close();
        const auto start = Clock::now();
        runProcess(beside("quorvane-cli"), {"export", "--format=keepass-xml", "--output=" + home.path() + "/export.xml"},
                   "password");
        print("cli-export-1000-strong", std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    return 0;
}
