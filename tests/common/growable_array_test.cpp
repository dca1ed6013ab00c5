#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "common/fwshared.h"

namespace {

template <typename T>
std::vector<T> Contents(const CGrowableArray<T>& a) {
    return std::vector<T>(a.GetData(), a.GetData() + a.GetSize());
}

TEST(CGrowableArray, CapacityDoublesFromSixteenOrJumpsToTheRequest) {
    CGrowableArray<int> a;
    struct Step {
        int addsTo;
        int capacity;
    };
    for (const Step s : {Step{1, 16}, Step{16, 16}, Step{17, 32}, Step{33, 64}, Step{65, 128}}) {
        while (a.GetSize() < s.addsTo) ASSERT_EQ(a.Add(a.GetSize()), S_OK);
        EXPECT_EQ(a.GetCapacity(), s.capacity) << s.addsTo << " elements";
    }
    for (int i = 0; i < a.GetSize(); ++i) EXPECT_EQ(a[i], i);

    CGrowableArray<int> b;
    EXPECT_EQ(b.SetSize(100), S_OK);  // more than double: the request
    EXPECT_EQ(b.GetCapacity(), 100);
    EXPECT_EQ(b.GetSize(), 0) << "SetSize reserves";
    for (int i = 0; i < 101; ++i) b.Add(i);
    EXPECT_EQ(b.GetCapacity(), 200);
}

TEST(CGrowableArray, SizeZeroFreesAndNegativeSizesFail) {
    CGrowableArray<int> a;
    for (int i = 0; i < 5; ++i) a.Add(i);
    EXPECT_EQ(a.SetSize(-1), E_INVALIDARG);
    EXPECT_EQ(Contents(a), std::vector<int>({0, 1, 2, 3, 4}));
    EXPECT_EQ(a.SetSize(3), S_OK);
    EXPECT_EQ(Contents(a), std::vector<int>({0, 1, 2}));
    a.RemoveAll();
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetCapacity(), 0);
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(CGrowableArray, AnUnallocatableSizeFailsAndKeepsTheArray) {
    struct Huge {
        char bytes[1ull << 34];
    };
    CGrowableArray<Huge> a;
    EXPECT_EQ(a.SetSize(INT32_MAX), E_OUTOFMEMORY);
    EXPECT_EQ(a.GetSize(), 0);
    EXPECT_EQ(a.GetCapacity(), 0);
    EXPECT_EQ(a.GetData(), nullptr);
}

TEST(CGrowableArray, IndicesOutsideTheElementsAreRefused) {
    CGrowableArray<int> a;
    for (int i = 0; i < 3; ++i) a.Add(10 * i);
    struct Case {
        const char* op;
        int index;
        HRESULT result;
    };
    const Case cases[] = {{"Insert", -1, E_INVALIDARG}, {"Insert", 4, E_INVALIDARG}, {"SetAt", -1, E_INVALIDARG},
                          {"SetAt", 3, E_INVALIDARG},   {"Remove", -1, E_INVALIDARG}, {"Remove", 3, E_INVALIDARG}};
    for (const Case& c : cases) {
        const std::string op = c.op;
        const HRESULT hr = op == "Insert" ? a.Insert(c.index, 99) : op == "SetAt" ? a.SetAt(c.index, 99) : a.Remove(c.index);
        EXPECT_EQ(hr, c.result) << c.op << " " << c.index;
    }
    EXPECT_EQ(Contents(a), std::vector<int>({0, 10, 20}));

    EXPECT_EQ(a.Insert(3, 30), S_OK);  // at the end
    EXPECT_EQ(a.Insert(0, -10), S_OK);
    EXPECT_EQ(a.SetAt(2, 11), S_OK);
    EXPECT_EQ(a.Remove(3), S_OK);
    EXPECT_EQ(Contents(a), std::vector<int>({-10, 0, 11, 30}));
#ifndef NDEBUG
    EXPECT_DEATH(a.GetAt(4), "nIndex >= 0 && nIndex < m_nSize");
    EXPECT_DEATH(a.GetAt(-1), "nIndex >= 0 && nIndex < m_nSize");
#endif
}

TEST(CGrowableArray, IndexOfFindsTheFirstEqualElementInsideTheRange) {
    CGrowableArray<int> a;
    for (int v : {5, 7, 5, 9, 7}) a.Add(v);
    struct Case {
        int value, start, count, index;
    };
    const Case cases[] = {
        {7, 0, 5, 1},  {7, 2, 3, 4},  {5, 1, 1, -1}, {5, 1, 2, 2},         {9, 3, 1, 3},
        {8, 0, 5, -1}, {5, -1, 2, -1}, {5, 5, 0, -1}, {7, 0, 6, -1},       {7, 4, 0, -1},
        {7, 1, -1, -1}, {7, 2, INT32_MAX, -1}, {7, INT32_MAX, 1, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(a.IndexOf(c.value, c.start, c.count), c.index) << c.value << " " << c.start << " " << c.count;
    EXPECT_EQ(a.IndexOf(7), 1);
    EXPECT_EQ(a.IndexOf(7, 2), 4);
    EXPECT_EQ(a.IndexOf(7, 5), -1);
    EXPECT_EQ(a.IndexOf(7, INT32_MIN), -1);
    EXPECT_TRUE(a.Contains(9));
    EXPECT_FALSE(a.Contains(6));
    EXPECT_EQ(CGrowableArray<int>().IndexOf(0), -1);
}

TEST(CGrowableArray, CopiesAreIndependent) {
    CGrowableArray<int> a;
    for (int i = 0; i < 20; ++i) a.Add(i);
    CGrowableArray<int> b(a);
    b.SetAt(0, 100);
    CGrowableArray<int> c;
    c = b;
    c.Remove(1);
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(b[0], 100);
    EXPECT_EQ(b.GetSize(), 20);
    EXPECT_EQ(c.GetSize(), 19);
    EXPECT_EQ(c[1], 2);
}

}  // namespace
