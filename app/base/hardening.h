#pragma once

// What the program and quorvane-cli do at start so that secrets do not outlive their use.
namespace Hardening {

// No core file (the limit is 0, soft and hard) and, on Linux, a process that cannot be dumped
// or attached to by other processes of the same user.
void noCoreFiles();

// A write past the file size limit (ulimit -f, some quotas) fails with EFBIG instead of killing
// the process with SIGXFSZ: a killed export would leave its half-written temporary file with
// passwords in clear, a killed save its lock.
void failWritesPastFileLimit();

// Freed memory is overwritten at once (glibc's M_PERTURB), so that a phrase or password that a
// widget, the clipboard or the toolkit copied and then released does not linger in the heap;
// wipedfree.cpp does the same for the blocks M_PERTURB skips, with no call needed.
void wipeFreedMemory();


}
