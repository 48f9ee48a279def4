// Every block the program gives back to the allocator is wiped first, so that a phrase or a
// password that a widget, the toolkit or the clipboard copied and released does not linger in
// the heap. glibc's own M_PERTURB (Hardening::wipeFreedMemory) skips the blocks it keeps in its
// per-thread cache; these definitions of free and realloc stand in front of glibc's for the whole
// process (the program's own symbols come first for every library), wipe the block's whole
// usable size, and hand it on to glibc. A growing realloc moves the block itself, so that the old
// one is wiped too; a shrinking one wipes the tail it gives back.
//
// Not in builds with AddressSanitizer, whose own allocator stands in front of glibc's.

#include <cstddef>   // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__)
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVANE_ALLOCATOR_OF_ITS_OWN
#endif
#endif
#endif

#if defined(__GLIBC__) && !defined(__SANITIZE_ADDRESS__) && !defined(QUORVANE_ALLOCATOR_OF_ITS_OWN)

#include <malloc.h>
#include <string.h>

extern "C" {

void *__libc_malloc(size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);

void free(void *block) noexcept
{
    if (block)
        explicit_bzero(block, malloc_usable_size(block));
    __libc_free(block);
}

void *realloc(void *block, size_t size) noexcept
{
    if (!block)
        return __libc_malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    const size_t usable = malloc_usable_size(block);
    if (size <= usable) {
        explicit_bzero(static_cast<char *>(block) + size, usable - size);
        return __libc_realloc(block, size);
    }
    void *grown = __libc_malloc(size);
    if (!grown)
        return nullptr;   // the old block stays, as realloc promises
    memcpy(grown, block, usable);
    free(block);
    return grown;
}

}

#endif
