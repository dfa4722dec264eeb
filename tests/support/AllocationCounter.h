// Counts the allocator calls the calling thread makes while a counter is alive: malloc, calloc,
// realloc, the aligned allocations and the release of a block, and so every operator new and
// delete. A test program that links this replaces the C allocator's entry points with counting
// forwarders to glibc's own; code under test is left as it is. For checking that a real-time
// path never allocates.
#pragma once

#include <cstdint>

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    uint64_t count() const;

private:
    uint64_t startCount;
};
