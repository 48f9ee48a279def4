#include "sha512.h"

#include <openssl/evp.h>

#include <new>

Sha512::Sha512()
    : context(EVP_MD_CTX_new()), digest(EVP_MD_fetch(nullptr, "SHA512", nullptr))
{
    if (!context || !digest)
        throw std::bad_alloc();
}

Sha512::~Sha512()
{
    EVP_MD_free(digest);
    EVP_MD_CTX_free(context);
}

void Sha512::hash(const void *data, std::size_t length, unsigned char out[size])
{
    EVP_DigestInit_ex(context, digest, nullptr);
    EVP_DigestUpdate(context, data, length);
    EVP_DigestFinal_ex(context, out, nullptr);
}

QByteArray Sha512::hash(const QByteArray &data)
{
    QByteArray out(size, Qt::Uninitialized);
    hash(data.constData(), std::size_t(data.size()), reinterpret_cast<unsigned char *>(out.data()));
    return out;
}
