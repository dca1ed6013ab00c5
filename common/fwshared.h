// Shared header of the framework: the growable array used by the framework,
// the GUI toolkit, the enumeration and the mesh code.
#pragma once

#include <cassert>
#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "platform/result.h"
#include "platform/types.h"

// Debug consistency check that names the failed condition, the file and line.
void FWAssertFailed(const char* condition, const char* file, int line);
#ifndef NDEBUG
#define FW_ASSERT(cond)                                                  \
    do {                                                                 \
        if (!(cond)) FWAssertFailed(#cond, __FILE__, __LINE__);          \
    } while (0)
#else
#define FW_ASSERT(cond) ((void)0)
#endif

// A growable array of bitwise-copyable elements. Size and capacity are
// 32-bit signed. Growing to n elements: n < 0 fails with E_INVALIDARG; n == 0
// frees the buffer; otherwise, when the capacity is below n, the new capacity
// is twice the old one (16 when it was 0), raised to n if still smaller. A
// failed allocation keeps the old buffer and returns E_OUTOFMEMORY.
template <typename TYPE>
class CGrowableArray {
    static_assert(std::is_trivially_copyable_v<TYPE>, "elements are copied bitwise");

public:
    CGrowableArray() = default;
    CGrowableArray(const CGrowableArray& a) { CopyFrom(a); }
    CGrowableArray& operator=(const CGrowableArray& a) {
        if (this != &a) {
            RemoveAll();
            CopyFrom(a);
        }
        return *this;
    }
    ~CGrowableArray() { RemoveAll(); }

    const TYPE& operator[](int32_t nIndex) const { return GetAt(nIndex); }
    TYPE& operator[](int32_t nIndex) { return GetAt(nIndex); }

    // Reserves room for nNewMaxSize elements (the size stays).
    HRESULT SetSize(int32_t nNewMaxSize) {
        if (nNewMaxSize < 0) return E_INVALIDARG;
        int32_t nOldSize = m_nSize;
        if (nOldSize > nNewMaxSize) {
            // Shrinking: drop the elements past the new size.
            m_nSize = nNewMaxSize;
        }
        HRESULT hr = SetSizeInternal(nNewMaxSize);
        if (FAILED(hr)) m_nSize = nOldSize;
        return hr;
    }

    HRESULT Add(const TYPE& value) {
        if (m_nSize == INT32_MAX) return E_OUTOFMEMORY;
        HRESULT hr = SetSizeInternal(m_nSize + 1);
        if (FAILED(hr)) return hr;
        std::memcpy(static_cast<void*>(&m_pData[m_nSize]), &value, sizeof(TYPE));
        ++m_nSize;
        return S_OK;
    }

    // nIndex may be 0 ... size.
    HRESULT Insert(int32_t nIndex, const TYPE& value) {
        if (nIndex < 0 || nIndex > m_nSize) return E_INVALIDARG;
        if (m_nSize == INT32_MAX) return E_OUTOFMEMORY;
        HRESULT hr = SetSizeInternal(m_nSize + 1);
        if (FAILED(hr)) return hr;
        std::memmove(static_cast<void*>(&m_pData[nIndex + 1]), &m_pData[nIndex],
                     sizeof(TYPE) * static_cast<size_t>(m_nSize - nIndex));
        std::memcpy(static_cast<void*>(&m_pData[nIndex]), &value, sizeof(TYPE));
        ++m_nSize;
        return S_OK;
    }

    HRESULT SetAt(int32_t nIndex, const TYPE& value) {
        if (nIndex < 0 || nIndex >= m_nSize) return E_INVALIDARG;
        std::memcpy(static_cast<void*>(&m_pData[nIndex]), &value, sizeof(TYPE));
        return S_OK;
    }

    TYPE& GetAt(int32_t nIndex) const {
        FW_ASSERT(nIndex >= 0 && nIndex < m_nSize);
        return m_pData[nIndex];
    }

    int32_t GetSize() const { return m_nSize; }
    TYPE* GetData() { return m_pData; }
    const TYPE* GetData() const { return m_pData; }
    bool Contains(const TYPE& value) const { return -1 != IndexOf(value); }

    int32_t IndexOf(const TYPE& value) const { return IndexOf(value, 0, m_nSize); }
    int32_t IndexOf(const TYPE& value, int32_t iStart) const {
        if (iStart < 0 || iStart >= m_nSize) return -1;
        return IndexOf(value, iStart, m_nSize - iStart);
    }
    // First index in [iStart, iStart + nNumElements) whose element equals value
    // (bitwise for types without ==), or -1. A range that does not lie inside
    // the array finds nothing.
    int32_t IndexOf(const TYPE& value, int32_t iStart, int32_t nNumElements) const {
        if (iStart < 0 || iStart >= m_nSize || nNumElements < 0 ||
            static_cast<int64_t>(iStart) + nNumElements > m_nSize)
            return -1;
        for (int32_t i = iStart; i < iStart + nNumElements; ++i)
            if (Equal(m_pData[i], value)) return i;
        return -1;
    }

    // nIndex may be 0 ... size - 1.
    HRESULT Remove(int32_t nIndex) {
        if (nIndex < 0 || nIndex >= m_nSize) return E_INVALIDARG;
        std::memmove(static_cast<void*>(&m_pData[nIndex]), &m_pData[nIndex + 1],
                     sizeof(TYPE) * static_cast<size_t>(m_nSize - (nIndex + 1)));
        --m_nSize;
        return S_OK;
    }

    void RemoveAll() { SetSize(0); }

    int32_t GetCapacity() const { return m_nMaxSize; }

private:
    static bool Equal(const TYPE& a, const TYPE& b) {
        if constexpr (requires { a == b; })
            return a == b;
        else
            return std::memcmp(&a, &b, sizeof(TYPE)) == 0;
    }

    void CopyFrom(const CGrowableArray& a) {
        for (int32_t i = 0; i < a.m_nSize; ++i) Add(a.m_pData[i]);
    }

    HRESULT SetSizeInternal(int32_t nNewMaxSize) {
        if (nNewMaxSize < 0) return E_INVALIDARG;
        if (nNewMaxSize == 0) {
            std::free(m_pData);
            m_pData = nullptr;
            m_nMaxSize = 0;
            m_nSize = 0;
            return S_OK;
        }
        if (m_pData == nullptr || nNewMaxSize > m_nMaxSize) {
            int64_t nGrowBy = (m_nMaxSize == 0) ? 16 : m_nMaxSize;
            int64_t nNewCapacity = static_cast<int64_t>(m_nMaxSize) + nGrowBy;
            if (nNewCapacity < nNewMaxSize) nNewCapacity = nNewMaxSize;
            if (nNewCapacity > INT32_MAX) nNewCapacity = INT32_MAX;
            if (static_cast<uint64_t>(nNewCapacity) > SIZE_MAX / sizeof(TYPE)) return E_OUTOFMEMORY;
            void* pNew = std::realloc(m_pData, sizeof(TYPE) * static_cast<size_t>(nNewCapacity));
            if (pNew == nullptr) return E_OUTOFMEMORY;
            m_pData = static_cast<TYPE*>(pNew);
            m_nMaxSize = static_cast<int32_t>(nNewCapacity);
        }
        return S_OK;
    }

    TYPE* m_pData = nullptr;
    int32_t m_nSize = 0;
    int32_t m_nMaxSize = 0;
};
