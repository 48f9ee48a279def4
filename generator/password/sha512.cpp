#include "sha512.h"

#include "libcrypto.h"

#include <new>

Sha512::Sha512() : crypto(LibCrypto::functions())
{
    if (!crypto)
        throw Failure();
    context = crypto->mdContextNew();
    digest = crypto->mdFetch(nullptr, "SHA512", nullptr);
    if (!context || !digest) {
        crypto->mdFree(digest);
        crypto->mdContextFree(context);
        throw std::bad_alloc();
    }
}

Sha512::~Sha512()
{
    crypto->mdFree(digest);
    crypto->mdContextFree(context);
}

void Sha512::hash(const void *data, std::size_t length, unsigned char out[size])
{
    unsigned int written = 0;
    if (crypto->digestInit(context, digest, nullptr) != 1 || crypto->digestUpdate(context, data, length) != 1
        || crypto->digestFinal(context, out, &written) != 1 || written != unsigned(size))
        throw Failure();
}

QByteArray Sha512::hash(const QByteArray &data)
{
    QByteArray out(size, Qt::Uninitialized);
    hash(data.constData(), std::size_t(data.size()), reinterpret_cast<unsigned char *>(out.data()));
    return out;
}
