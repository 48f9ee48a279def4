#pragma once

// What the program and quorvane-cli do at start so that secrets do not outlive their use.
namespace Hardening {

// No core file (the limit is 0, soft and hard) and, on Linux, a process that cannot be dumped
// or attached to by other processes of the same user.
void noCoreFiles();

// Freed memory is overwritten at once (glibc's M_PERTURB), so that a phrase or password that a
// widget, the clipboard or the toolkit copied and then released does not linger in the heap.
void wipeFreedMemory();

// glibc keeps small freed blocks in a per-thread cache that M_PERTURB never overwrites: whether
// a released copy is wiped then depends on how full that cache is. The cache can only be turned
// off before the process starts (GLIBC_TUNABLES), so this starts the program again with it off,
// first thing in main(), unless it already is. Without /proc the program carries on as it is.
void uncacheFreedBlocks(char **argv);

}
