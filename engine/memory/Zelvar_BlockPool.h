// Fixed-size memory blocks reserved once, off the audio thread, and handed out and taken back
// there without calling the system allocator.
//
// Voices, note-list nodes and sequencer steps are created and destroyed on the audio thread;
// each owner keeps a pool of blocks of its object's size, reserved when the engine initialises.
// Every block carries a header naming the pool it came from, so a block always returns to its
// own pool: several engines, each rendering on its own thread, never share a pool.
//
// A reserved pool never calls the system allocator: when it is exhausted it refuses (a null
// block), and its owner drops what it was about to create. A pool that was never reserved hands
// out system memory, for units used on their own, outside an engine. The free list is touched
// by the owner's thread only (the audio thread of one engine), so there is no lock.
#pragma once

#include <cstddef>

class Zelvar_BlockPool {
public:
    Zelvar_BlockPool() = default;
    ~Zelvar_BlockPool();
    Zelvar_BlockPool(const Zelvar_BlockPool&) = delete;
    Zelvar_BlockPool& operator=(const Zelvar_BlockPool&) = delete;

    // Reserves `count` blocks of at least `size` bytes, aligned for any object. Once only.
    void reserve(size_t size, int count);
    // A block of at least `size` bytes, or null when the pool is reserved and exhausted or the
    // size does not fit its blocks. Unreserved: system memory (null if that fails).
    void* allocate(size_t size) noexcept;
    // System memory with the same header, for objects created without a pool.
    static void* allocateFromSystem(size_t size) noexcept;
    // Returns a block from allocate() or allocateFromSystem() to where it came from; null is
    // ignored.
    static void release(void* block) noexcept;

    bool isReserved() const { return storage != nullptr; }
    int getFreeCount() const { return freeCount; }
    size_t getBlockSize() const { return blockSize; }

private:
    // Precedes every block; its size keeps the block after it aligned for any object.
    struct alignas(alignof(std::max_align_t)) Header {
        Zelvar_BlockPool* pool; // null: the block is system memory
        Header* nextFree;
    };

    unsigned char* storage = nullptr;
    size_t blockSize = 0;
    size_t stride = 0;
    int freeCount = 0;
    Header* freeList = nullptr;
};
