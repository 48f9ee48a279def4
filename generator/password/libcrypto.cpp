#include "libcrypto.h"

#include <dlfcn.h>

namespace LibCrypto {

namespace {

template<class F>
bool resolve(void *library, const char *name, F *function)
{
    *function = reinterpret_cast<F>(dlsym(library, name));
    return *function != nullptr;
}

}

const Functions *functions()
{
    static const Functions *loaded = []() -> const Functions * {
        void *library = dlopen("libcrypto.so.3", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static Functions f;
        const bool all = resolve(library, "EVP_MD_CTX_new", &f.mdContextNew)
                         && resolve(library, "EVP_MD_CTX_free", &f.mdContextFree)
                         && resolve(library, "EVP_MD_fetch", &f.mdFetch) && resolve(library, "EVP_MD_free", &f.mdFree)
                         && resolve(library, "EVP_DigestInit_ex", &f.digestInit)
                         && resolve(library, "EVP_DigestUpdate", &f.digestUpdate)
                         && resolve(library, "EVP_DigestFinal_ex", &f.digestFinal)
                         && resolve(library, "EVP_sha256", &f.sha256)
                         && resolve(library, "PKCS5_PBKDF2_HMAC", &f.pbkdf2) && resolve(library, "HMAC", &f.hmac);
        return all ? &f : nullptr;
    }();
    return loaded;
}

QString failureReason()
{
    if (!functions())
        return QStringLiteral("OpenSSL's libcrypto.so.3 cannot be loaded; install the package libssl3");
    return QStringLiteral("not enough free memory");
}

}
