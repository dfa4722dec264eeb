#include "Zelvar_BlockPool.h"

#include <cstdlib>
#include <new>

Zelvar_BlockPool::~Zelvar_BlockPool() {
    // Blocks still out belong to objects their owners destroy before the pool.
    ::operator delete[](storage, std::align_val_t(alignof(Header)));
}

void Zelvar_BlockPool::reserve(size_t size, int count) {
    if (storage != nullptr || count <= 0)
        return;
    const size_t align = alignof(Header);
    blockSize = (size + align - 1) / align * align;
    stride = sizeof(Header) + blockSize;
    storage = static_cast<unsigned char*>(
        ::operator new[](stride* size_t(count), std::align_val_t(align)));
    freeCount = count;
    // Threaded in address order, so the first blocks handed out are the first in memory.
    freeList = nullptr;
    for (int i = count - 1; i >= 0; --i) {
        auto* header = new (storage + stride * size_t(i)) Header{this, freeList};
        freeList = header;
    }
}

void* Zelvar_BlockPool::allocateFromSystem(size_t size) noexcept {
    void* memory = std::malloc(sizeof(Header) + size);
    if (memory == nullptr)
        return nullptr;
    auto* header = new (memory) Header{nullptr, nullptr};
    return header + 1;
}

void* Zelvar_BlockPool::allocate(size_t size) noexcept {
    if (storage == nullptr)
        return allocateFromSystem(size);
    if (freeList == nullptr || size > blockSize)
        return nullptr;
    Header* header = freeList;
    freeList = header->nextFree;
    header->nextFree = nullptr;
    --freeCount;
    return header + 1;
}

void Zelvar_BlockPool::release(void* block) noexcept {
    if (block == nullptr)
        return;
    Header* header = static_cast<Header*>(block) - 1;
    Zelvar_BlockPool* pool = header->pool;
    if (pool == nullptr) {
        std::free(header);
        return;
    }
    header->nextFree = pool->freeList;
    pool->freeList = header;
    ++pool->freeCount;
}
