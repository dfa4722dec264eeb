#include "AllocationCounter.h"

#include <cstddef>

// glibc's allocator under its internal names: the forwarders below call these.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace {

thread_local int countingDepth = 0;
thread_local uint64_t calls = 0;

inline void note() {
    if (countingDepth > 0)
        ++calls;
}

} // namespace

extern "C" {

void* malloc(size_t size) {
    note();
    return __libc_malloc(size);
}

void* calloc(size_t count, size_t size) {
    note();
    return __libc_calloc(count, size);
}

void* realloc(void* pointer, size_t size) {
    note();
    return __libc_realloc(pointer, size);
}

void free(void* pointer) {
    if (pointer != nullptr)
        note();
    __libc_free(pointer);
}

void* memalign(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}

void* aligned_alloc(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void** result, size_t alignment, size_t size) {
    note();
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0)
        return 22; // EINVAL
    void* pointer = __libc_memalign(alignment, size);
    if (pointer == nullptr && size != 0)
        return 12; // ENOMEM
    *result = pointer;
    return 0;
}

} // extern "C"

AllocationCounter::AllocationCounter() : startCount(calls) {
    ++countingDepth;
}

AllocationCounter::~AllocationCounter() {
    --countingDepth;
}

uint64_t AllocationCounter::count() const {
    return calls - startCount;
}
