// Base of the objects the audio thread creates and destroys (voices, note-list nodes, sequencer
// steps): `new (&pool) T(...)` takes the memory from a block pool and yields null when the pool
// refuses; `delete` returns the block to the pool it came from. A plain `new T(...)` (units
// used on their own, in tests) takes system memory through the same header, so `delete` works
// alike for both.
#pragma once

#include "Zelvar_BlockPool.h"

#include <cstddef>
#include <new>

struct Zelvar_PoolAllocated {
    static void* operator new(std::size_t size, Zelvar_BlockPool* pool) noexcept {
        return pool != nullptr ? pool->allocate(size) : Zelvar_BlockPool::allocateFromSystem(size);
    }
    static void* operator new(std::size_t size) {
        void* block = operator new(size, nullptr);
        if (block == nullptr)
            throw std::bad_alloc();
        return block;
    }
    static void operator delete(void* block) noexcept { Zelvar_BlockPool::release(block); }
    // Called if a constructor throws after a pool allocation.
    static void operator delete(void* block, Zelvar_BlockPool*) noexcept {
        Zelvar_BlockPool::release(block);
    }
};
