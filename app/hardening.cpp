#include "hardening.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#endif

namespace Hardening {

void noCoreFiles()
{
#ifdef Q_OS_UNIX
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
#ifdef Q_OS_LINUX
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

void wipeFreedMemory()
{
#if defined(__GLIBC__)
    // Any non-zero byte: freed blocks get it, new blocks its complement.
    mallopt(M_PERTURB, 0x5a);
#endif
}

void uncacheFreedBlocks(char **argv)
{
#if defined(__GLIBC__) && defined(Q_OS_LINUX)
    static const char setting[] = "glibc.malloc.tcache_count=0";
    const char *current = std::getenv("GLIBC_TUNABLES");
    if (current && std::strstr(current, setting))
        return;
    const std::string tunables = current && *current ? std::string(current) + ':' + setting : std::string(setting);
    // The program's own file by name, so that it keeps its name in process lists.
    char self[4096];
    const ssize_t size = readlink("/proc/self/exe", self, sizeof self - 1);
    if (size <= 0 || size >= ssize_t(sizeof self - 1) || setenv("GLIBC_TUNABLES", tunables.c_str(), 1) != 0)
        return;
    self[size] = '\0';
    execv(self, argv);
#else
    Q_UNUSED(argv);
#endif
}

}
