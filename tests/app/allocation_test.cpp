// The mix and the frame move run without touching the heap, counted by the
// test programs' replaced allocation functions (tests/support).
#include <gtest/gtest.h>

#include <cstdint>
#include <new>

#include "app/sequencer.h"
#include "model_fixture.h"
#include "support/allocation_counter.h"

namespace model_test {
namespace {

using AllocationTest = CubeModelTest;

// Every form of the allocation functions is counted and its memory goes back
// through the matching release (the sanitizer build checks the pairs).
TEST_F(AllocationTest, CountingCoversEveryForm) {
    constexpr std::align_val_t kAlign{64};
    long count = 0;
    {
        test_support::AllocationCounter counter;
        ::operator delete(::operator new(16));
        ::operator delete[](::operator new[](16));
        ::operator delete(::operator new(16, std::nothrow), std::nothrow);
        ::operator delete[](::operator new[](16, std::nothrow), std::nothrow);
        ::operator delete(::operator new(24), std::size_t{24});
        ::operator delete[](::operator new[](24), std::size_t{24});
        void* aligned = ::operator new(100, kAlign);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(aligned) % 64, 0u);
        ::operator delete(aligned, kAlign);
        ::operator delete[](::operator new[](100, kAlign), kAlign);
        ::operator delete(::operator new(100, kAlign, std::nothrow), kAlign, std::nothrow);
        ::operator delete[](::operator new[](100, kAlign, std::nothrow), kAlign, std::nothrow);
        ::operator delete(::operator new(128, kAlign), std::size_t{128}, kAlign);
        ::operator delete[](::operator new[](128, kAlign), std::size_t{128}, kAlign);
        count = counter.Count();
    }
    EXPECT_EQ(count, 12);
}

TEST_F(AllocationTest, MixAndFrameMovesAllocateNothing) {
    // A sequence runs, so frame moves include completions, commits and the
    // sequencer starting the next turn; a mix lands in the middle.
    StartSequence(9);
    long allocations = 0;
    {
        test_support::AllocationCounter counter;
        for (int frame = 0; frame < 200; ++frame) OnFrameMove(nullptr, frame / 60.0, 1.0f / 60, nullptr);
        MixCube();
        for (int frame = 0; frame < 200; ++frame) OnFrameMove(nullptr, frame / 60.0, 1.0f / 60, nullptr);
        allocations = counter.Count();
    }
    const bool stillPlaying = g_bTurning;
    EXPECT_TRUE(stillPlaying);
    EXPECT_EQ(allocations, 0);
}

}  // namespace
}  // namespace model_test
