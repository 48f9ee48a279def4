// The floors of whole derivations (bench/processes.cpp): a QCoreApplication program that
// computes one scheme's key function once ("pbkdf2", "scrypt" or "argon2id"), so that the
// floor includes starting a program and the key function's library too.
#include <QCoreApplication>

#include <openssl/evp.h>
#include <sodium.h>

#include <cstring>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    // As every program of libsodium's must; it also picks the implementation the others use.
    if (sodium_init() < 0)
        return 1;
    const char *kdf = argc > 1 ? argv[1] : "";
    const char phrase[] = "password";
    if (std::strcmp(kdf, "pbkdf2") == 0) {
        unsigned char out[32];
        return PKCS5_PBKDF2_HMAC(phrase, 8, reinterpret_cast<const unsigned char *>("example.org1"), 12, 100000,
                                 EVP_sha256(), 32, out) == 1 ? 0 : 1;
    }
    if (std::strcmp(kdf, "scrypt") == 0) {
        uint8_t out[64];
        return crypto_pwhash_scryptsalsa208sha256_ll(reinterpret_cast<const uint8_t *>(phrase), 8,
                                                     reinterpret_cast<const uint8_t *>("com.lyndir.masterpassword0000x"),
                                                     30, 32768, 8, 2, out, sizeof out);
    }
    if (std::strcmp(kdf, "argon2id") == 0) {
        unsigned char key[48];
        const unsigned char salt[16] = {1};
        return crypto_pwhash(key, sizeof key, phrase, 8, salt, 3, 67108864, crypto_pwhash_ALG_ARGON2ID13);
    }
    return 0;
}
