#pragma once

#include <QByteArray>
#include <cstddef>

struct evp_md_ctx_st;
struct evp_md_st;

// SHA-512 through OpenSSL's libcrypto, which is about twice as fast as the toolkit's own
// implementation; one object reuses its context for a whole derivation.
class Sha512
{
public:
    static constexpr int size = 64;

    Sha512();
    ~Sha512();
    Sha512(const Sha512 &) = delete;
    Sha512 &operator=(const Sha512 &) = delete;

    void hash(const void *data, std::size_t length, unsigned char out[size]);
    QByteArray hash(const QByteArray &data);

private:
    evp_md_ctx_st *context;
    evp_md_st *digest;
};
