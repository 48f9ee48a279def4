// An allocator in front of glibc's that has no malloc_usable_size, as some do: the programs must
// still run with it (their freed blocks are then not wiped). It hands every call on to glibc.
#include <cstddef>

extern "C" {

void *__libc_malloc(size_t size);
void *__libc_calloc(size_t count, size_t size);
void *__libc_realloc(void *block, size_t size);
void __libc_free(void *block);

void *malloc(size_t size) noexcept { return __libc_malloc(size); }
void *calloc(size_t count, size_t size) noexcept { return __libc_calloc(count, size); }
void *realloc(void *block, size_t size) noexcept { return __libc_realloc(block, size); }
void free(void *block) noexcept { __libc_free(block); }

}
