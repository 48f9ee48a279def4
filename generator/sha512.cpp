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
    unsigned int written = 0;
    if (EVP_DigestInit_ex(context, digest, nullptr) != 1 || EVP_DigestUpdate(context, data, length) != 1
        || EVP_DigestFinal_ex(context, out, &written) != 1 || written != unsigned(size))
        throw Failure();
}

QByteArray Sha512::hash(const QByteArray &data)
{
    QByteArray out(size, Qt::Uninitialized);
    hash(data.constData(), std::size_t(data.size()), reinterpret_cast<unsigned char *>(out.data()));
    return out;
}
