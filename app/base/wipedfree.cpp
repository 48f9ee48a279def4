// Every block the program gives back to the allocator is wiped first, so that a phrase or a
// password that a widget, the toolkit or the clipboard copied and released does not linger in
// the heap. glibc's own M_PERTURB (Hardening::wipeFreedMemory) skips the blocks it keeps in its
// per-thread cache; these definitions of free and realloc stand in front of the allocator for the
// whole process (the program's own symbols come first for every library), wipe the block's whole
// usable size, and hand it on. A growing realloc moves the block itself, so that the old one is
// wiped too; a shrinking one wipes the tail it gives back.
//
// The allocator handed on to is whichever defines free next in the lookup order: glibc's, or
// one preloaded in front of it (jemalloc, glibc's own checking allocator libc_malloc_debug), so
// that every block goes back to the allocator that made it, and its usable size is asked of that
// same allocator. One without malloc_usable_size still works; its blocks are just not wiped.
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

#include <atomic>
#include <dlfcn.h>
#include <sched.h>
#include <string.h>

namespace {

struct Allocator
{
    void (*free)(void *);
    void *(*malloc)(size_t);
    void *(*realloc)(void *, size_t);
    size_t (*usableSize)(void *);   // null where the allocator has none
};

Allocator next;
std::atomic<int> state{0};              // 0: not looked up, 1: being looked up, 2: found
thread_local bool lookingUp = false;    // this thread is inside the look-up (dlsym may free)

// The version this architecture's C library gives its allocator functions. glibc's checking
// allocator defines them only under it, a version a plain look-up passes by (the linker's own
// references ask for it, so they find them); jemalloc and others define them without a version,
// which only a plain look-up finds.
#if defined(__x86_64__)
constexpr const char *baseVersion = "GLIBC_2.2.5";
#elif defined(__aarch64__) || defined(__powerpc64__)
constexpr const char *baseVersion = "GLIBC_2.17";
#elif defined(__arm__)
constexpr const char *baseVersion = "GLIBC_2.4";
#elif defined(__riscv)
constexpr const char *baseVersion = "GLIBC_2.27";
#elif defined(__s390x__)
constexpr const char *baseVersion = "GLIBC_2.2";
#else
constexpr const char *baseVersion = "GLIBC_2.0";
#endif

const void *objectOf(void *function)
{
    Dl_info info{};
    return function && dladdr(function, &info) ? info.dli_fbase : nullptr;
}

// The next definition of `name` in `object` (the allocator's library), or, with no object
// given, the one in front of the C library's.
void *lookUp(const char *name, const void *object)
{
    void *candidates[2] = {dlsym(RTLD_NEXT, name), dlvsym(RTLD_NEXT, name, baseVersion)};
    if (object) {
        for (void *candidate : candidates) {
            if (objectOf(candidate) == object)
                return candidate;
        }
        return nullptr;
    }
    if (!candidates[0] || !candidates[1] || candidates[0] == candidates[1])
        return candidates[0] ? candidates[0] : candidates[1];
    // Two definitions: the C library's, and the one that stands in front of it.
    const void *libc = objectOf(dlsym(RTLD_DEFAULT, "gnu_get_libc_version"));
    return objectOf(candidates[0]) == libc ? candidates[1] : candidates[0];
}

// The allocator behind this file, found on first use; null while this very thread is finding
// it (a free from inside dlsym, which is left alone: a few bytes, once).
const Allocator *allocator()
{
    if (state.load(std::memory_order_acquire) == 2)
        return &next;
    if (lookingUp)
        return nullptr;
    int expected = 0;
    if (state.compare_exchange_strong(expected, 1, std::memory_order_acq_rel)) {
        lookingUp = true;
        void *free = lookUp("free", nullptr);
        // Every block goes back to the allocator that made it: all four from its library.
        const void *object = objectOf(free);
        next.free = reinterpret_cast<void (*)(void *)>(free);
        next.malloc = reinterpret_cast<void *(*)(size_t)>(lookUp("malloc", object));
        next.realloc = reinterpret_cast<void *(*)(void *, size_t)>(lookUp("realloc", object));
        next.usableSize = reinterpret_cast<size_t (*)(void *)>(lookUp("malloc_usable_size", object));
        lookingUp = false;
        state.store(2, std::memory_order_release);
        return &next;
    }
    // Another thread is finding it: a moment.
    while (state.load(std::memory_order_acquire) != 2)
        sched_yield();
    return &next;
}

size_t usable(const Allocator *a, void *block)
{
    return a->usableSize ? a->usableSize(block) : 0;
}

}

extern "C" {

void free(void *block) noexcept
{
    if (!block)
        return;
    const Allocator *a = allocator();
    if (!a)
        return;
    explicit_bzero(block, usable(a, block));
    a->free(block);
}

void *realloc(void *block, size_t size) noexcept
{
    const Allocator *a = allocator();
    if (!a)
        return nullptr;
    if (!block)
        return a->malloc(size);
    if (size == 0) {
        free(block);
        return nullptr;
    }
    const size_t have = usable(a, block);
    if (!a->usableSize)
        return a->realloc(block, size);   // nothing known to wipe
    if (size <= have) {
        explicit_bzero(static_cast<char *>(block) + size, have - size);
        return a->realloc(block, size);
    }
    void *grown = a->malloc(size);
    if (!grown)
        return nullptr;   // the old block stays, as realloc promises
    memcpy(grown, block, have);
    free(block);
    return grown;
}

}

#endif
