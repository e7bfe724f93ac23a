// Counts heap allocations made through operator new while a scope is open.
// The test programs replace the global operator new with one that counts only
// while some AllocationCounter is alive, and otherwise just allocates.
#pragma once

class AllocationCounter {
public:
    AllocationCounter();
    ~AllocationCounter();
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // Allocations since this counter was made, on any thread.
    long count() const;

private:
    long start;
};
