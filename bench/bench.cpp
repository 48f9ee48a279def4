// quorvane-bench: one line per benchmark, "name<TAB>median nanoseconds per operation".

#include "derivation.h"
#include "legacyutf8.h"
#include "derivation.h"
#include "recipe.h"
#include "phrasestrength.h"
#include "profilefile.h"
#include "rule.h"
#include "sha512.h"
#include "sitelist.h"
#include "deletions.h"
#include "sync.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <sodium.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Runs the operation `rounds` times after one warm-up and prints the median.
void measure(const char *name, int rounds, const std::function<void()> &operation,
             const std::function<void()> &prepare = {})
{
    if (prepare)
        prepare();
    operation();
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        if (prepare)
            prepare();
        const auto start = Clock::now();
        operation();
        times.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%s\t%.0f\n", name, times[times.size() / 2]);
    std::fflush(stdout);
}

// The byte strings the compatible chain hashes for one derivation, to time hashing alone.
std::vector<QByteArray> chainInputs(const QString &phrase, const QString &identifier)
{
    std::vector<QByteArray> inputs{LegacyUtf8::encode(phrase), LegacyUtf8::encode(identifier)};
    Sha512 sha;
    auto text = [&](const QByteArray &digest) {
        const int zero = digest.indexOf('\0');
        return LegacyUtf8::decode(digest.constData(), zero < 0 ? digest.size() : zero);
    };
    QString working = text(sha.hash(inputs[0])) + text(sha.hash(inputs[1]));
    for (int i = 0; i < 1000; ++i) {
        inputs.push_back(LegacyUtf8::encode(working));
        working = text(sha.hash(inputs.back()));
    }
    return inputs;
}

void writeProfiles(const QString &path, int count)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray data;
    for (int i = 0; i < count; ++i)
        data += "account-" + QByteArray::number((i * 7919) % count) + "|" + QByteArray::number(4 + i % 29) + "\r\n";
    file.write(data);
}

}

int main(int argc, char **argv)
{
    const bool quick = argc > 1 && QByteArray(argv[1]) == "--quick";
    const int rounds = quick ? 5 : 201;
    const QString phrase = QStringLiteral("Mind my own words");
    const QString identifier = QStringLiteral("citi-account");

    measure("compatible-derive", rounds, [&] { Derivation::compatible(phrase, identifier, 32); });

    const std::vector<QByteArray> inputs = chainInputs(phrase, identifier);
    measure("sha512-x1002", rounds, [&] {
        Sha512 sha;
        unsigned char out[Sha512::size];
        for (const QByteArray &in : inputs)
            sha.hash(in.constData(), std::size_t(in.size()), out);
    });
    measure("openssl-sha512-x1002", rounds, [&] {
        unsigned char out[64];
        for (const QByteArray &in : inputs)
            EVP_Digest(in.constData(), std::size_t(in.size()), out, nullptr, EVP_sha512(), nullptr);
    });
    measure("qt-sha512-x1002", rounds, [&] {
        for (const QByteArray &in : inputs)
            QCryptographicHash::hash(in, QCryptographicHash::Sha512);
    });

    measure("strong-derive", quick ? 1 : 11, [&] { Derivation::strong(phrase, identifier, 32); });
    // aA9! at length 4 redraws most: about one word in fifteen holds all four classes.
    Rule symbols;
    Rule::parse(QStringLiteral("aA9!"), &symbols);
    measure("strong-derive-rule", quick ? 1 : 11, [&] { Derivation::strong(phrase, identifier, 4, symbols, 1); });
    unsigned char key[48] = {1, 2, 3};
    int keyNumber = 0;
    measure("rule-stream", quick ? 3 : 2001, [&] {
        key[47] = uchar(++keyNumber);   // another key each time, so redraws vary as they do for users
        Derivation::drawWithRule(key, symbols, 4);
    });

    // The peers' schemes against their key functions alone: the rest should cost next to nothing.
    Recipe lesspass = Recipe::defaults(Scheme::LessPass);
    lesspass.identifier = QStringLiteral("example.org");
    measure("lesspass-derive", quick ? 1 : 21, [&] { lesspass.derive(phrase); });
    measure("openssl-pbkdf2-100k", quick ? 1 : 21, [&] {
        unsigned char out[32];
        PKCS5_PBKDF2_HMAC("password", 8, reinterpret_cast<const unsigned char *>("example.org1"), 12, 100000,
                          EVP_sha256(), 32, out);
    });
    Recipe spectre = Recipe::defaults(Scheme::Spectre);
    spectre.identifier = QStringLiteral("example.org");
    spectre.userName = QStringLiteral("Robert Lee Mitchell");
    measure("spectre-derive", quick ? 1 : 21, [&] { spectre.derive(phrase); });
    measure("sodium-scrypt-32768-8-2", quick ? 1 : 21, [&] {
        uint8_t out[64];
        if (crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t *>("password"), 8,
                                              reinterpret_cast<const uint8_t *>("com.lyndir.masterpassword0000x"), 30,
                                              32768, 8, 2, out, sizeof out) != 0)
            std::fprintf(stderr, "scrypt failed\n");
    });

    // The window's strength meter runs on every keystroke.
    measure("phrase-strength-40", quick ? 3 : 201, [&] { PhraseStrength::of(QStringLiteral("Mind my own words, said the owl at nine")); });
    measure("phrase-strength-200", quick ? 3 : 51, [&] { PhraseStrength::of(QString(QStringLiteral("Mind my own words, said the owl at nine ")).repeated(5)); });

    // Site rules: the count runs whenever the rule text or the length changes.
    Rule fourClasses;
    Rule::parse(QStringLiteral("required: lower; required: upper; required: digit; required: special;"), &fourClasses);
    measure("siterule-count-4class-32", quick ? 3 : 2001, [&] { fourClasses.siteRule().bits(32); });
    Rule runs;
    Rule::parse(QStringLiteral("required: lower; required: upper; required: digit; required: special; max-consecutive: 2;"),
                &runs);
    measure("siterule-count-runs-32", quick ? 3 : 201, [&] { runs.siteRule().bits(32); });
    measure("siterule-parse-canonical", quick ? 3 : 2001, [&] {
        Rule parsed;
        Rule::parse(QStringLiteral("minlength: 8; maxlength: 20; required: upper,lower; required: digit; allowed: [!#$%&*@^];"),
                    &parsed);
        parsed.text();
    });
    // Firefox's archive, when this machine has one: the first lookup reads it whole.
    const QStringList archives = SiteList::candidates().filter(QStringLiteral("omni.ja"));
    const auto firefox = std::find_if(archives.begin(), archives.end(), [](const QString &p) { return QFile::exists(p); });
    if (firefox != archives.end()) {
        measure("sitelist-first-lookup-firefox", quick ? 1 : 11,
                [&] { SiteList::firstReadable({*firefox}).match(QStringLiteral("https://www.apple.com/")); });
        const SiteList list = SiteList::firstReadable({*firefox});
        measure("sitelist-later-lookup", quick ? 3 : 2001, [&] { list.match(QStringLiteral("https://id.www.apple.com/")); });
    } else {
        std::fprintf(stderr, "no Firefox archive on this machine: site-list lookups not measured\n");
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(ProfileFile::fileName);
    const int profiles = 100000;
    writeProfiles(path, profiles);
    const int fileRounds = quick ? 3 : 21;
    measure("profiles-list-100k", fileRounds, [&] {
        QStringList lines;
        ProfileFile::readLines(path, &lines);
        ProfileFile::rows(lines);
    });
    measure("profiles-add-100k", fileRounds,
            [&] {
                Recipe account;
                account.identifier = QStringLiteral("new-account");
                ProfileFile::save(path, account);
            },
            [&] { writeProfiles(path, profiles); });
    measure("profiles-remove-100k", fileRounds,
            [&] { ProfileFile::remove(path, QStringLiteral("account-0|4")); },
            [&] { writeProfiles(path, profiles); });

    // Two machines' records of 60,000 deletes each meet: the merge under the lock.
    QTemporaryDir syncDir;
    const QString syncPath = syncDir.filePath(ProfileFile::fileName);
    const auto writeRecords = [&](const QString &file, const char *prefix) {
        QFile out(file);
        out.open(QIODevice::WriteOnly | QIODevice::Truncate);
        QByteArray data;
        for (int i = 0; i < 60000; ++i)
            data += "2026-12-09T10:00:00.000Z\t" + QByteArray(prefix) + QByteArray::number(i) + "|16|strong\r\n";
        out.write(data);
    };
    measure("sync-merge-records-60k+60k", quick ? 3 : 11, [&] { Sync::mergeCopies(syncPath); }, [&] {
        QDir(syncDir.path()).removeRecursively();
        QDir().mkpath(syncDir.path());
        writeProfiles(syncPath, 1000);
        writeRecords(Deletions::path(syncPath), "a");
        writeRecords(syncDir.filePath(QStringLiteral("deletions.sync-conflict-20261209-101530-ABCDEFG.txt")), "b");
        writeProfiles(syncDir.filePath(QStringLiteral("zavdata.sync-conflict-20261209-101530-ABCDEFG.txt")), 1001);
    });
    return 0;
}
