// Counting the program's heap allocations, for the tests that check that a
// frame allocates nothing. Every test program links allocation_counter.cpp,
// which replaces all the global allocation and release functions.
#pragma once

namespace test_support {

// Counts the allocations made through operator new (every form, on every
// thread) from its construction until its destruction. One at a time.
class AllocationCounter {
public:
    AllocationCounter();   // starts counting from zero
    ~AllocationCounter();  // stops counting
    AllocationCounter(const AllocationCounter&) = delete;
    AllocationCounter& operator=(const AllocationCounter&) = delete;

    // The allocations counted so far.
    long Count() const;
};

}  // namespace test_support
