#include "hardening.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
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

void failWritesPastFileLimit()
{
#ifdef Q_OS_UNIX
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

void wipeFreedMemory()
{
#if defined(__GLIBC__)
    // Any non-zero byte: freed blocks get it, new blocks its complement.
    mallopt(M_PERTURB, 0x5a);
#endif
}

}
