#pragma once

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <QString>

// OpenSSL's libcrypto, loaded the first time a derivation needs it rather than at every start
// of every program: it is the largest library the programs use, and most starts (--version, a
// profile list, the browser host's lookups) never need it.
namespace LibCrypto {

struct Functions
{
    decltype(&EVP_MD_CTX_new) mdContextNew;
    decltype(&EVP_MD_CTX_free) mdContextFree;
    decltype(&EVP_MD_fetch) mdFetch;
    decltype(&EVP_MD_free) mdFree;
    decltype(&EVP_DigestInit_ex) digestInit;
    decltype(&EVP_DigestUpdate) digestUpdate;
    decltype(&EVP_DigestFinal_ex) digestFinal;
    decltype(&EVP_sha256) sha256;
    decltype(&PKCS5_PBKDF2_HMAC) pbkdf2;
    decltype(&HMAC) hmac;
};

// The functions, or null when the library (libcrypto.so.3) cannot be loaded.
const Functions *functions();

// Why a derivation made nothing, for a message: the library that cannot be loaded, else the
// only other cause, too little memory.
QString failureReason();

}
