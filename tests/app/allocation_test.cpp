// The mix and the frame move run without touching the heap. This program
// replaces the global allocation functions to count their calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "app/sequencer.h"
#include "model_fixture.h"

namespace {
std::atomic<long> g_allocations{0};

void* CountedAllocate(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace model_test {
namespace {

using AllocationTest = CubeModelTest;

TEST_F(AllocationTest, CountingWorks) {
    const long before = g_allocations.load();
    delete new int(3);
    EXPECT_EQ(g_allocations.load() - before, 1);
}

TEST_F(AllocationTest, MixAndFrameMovesAllocateNothing) {
    // A sequence runs, so frame moves include completions, commits and the
    // sequencer starting the next turn; a mix lands in the middle.
    StartSequence(9);
    const long before = g_allocations.load();
    for (int frame = 0; frame < 200; ++frame) OnFrameMove(nullptr, frame / 60.0, 1.0f / 60, nullptr);
    MixCube();
    for (int frame = 0; frame < 200; ++frame) OnFrameMove(nullptr, frame / 60.0, 1.0f / 60, nullptr);
    const long after = g_allocations.load();
    const bool stillPlaying = g_bTurning;
    EXPECT_TRUE(stillPlaying);
    EXPECT_EQ(after - before, 0);
}

}  // namespace
}  // namespace model_test
