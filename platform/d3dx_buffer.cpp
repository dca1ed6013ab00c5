#include "platform/d3dx_buffer.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/d3dx_internal.h"
#include "platform/system.h"

namespace {

class Buffer final : public ID3DXBuffer {
public:
    Buffer(unsigned char* bytes, DWORD size) : m_bytes(bytes), m_size(size) {}
    ~Buffer() override { delete[] m_bytes; }
    void* GetBufferPointer() override { return m_bytes; }
    DWORD GetBufferSize() override { return m_size; }

private:
    unsigned char* m_bytes;
    DWORD m_size;
};

}  // namespace

HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer) {
    if (!buffer) return D3DERR_INVALIDCALL;
    *buffer = nullptr;
    // One byte at least, so an empty buffer still has a valid pointer.
    auto* bytes = new (std::nothrow) unsigned char[numBytes ? numBytes : 1]();
    if (!bytes) return E_OUTOFMEMORY;
    auto* b = new (std::nothrow) Buffer(bytes, numBytes);
    if (!b) {
        delete[] bytes;
        return E_OUTOFMEMORY;
    }
    *buffer = b;
    return S_OK;
}

namespace d3dx {

void Trace(const char* what, const std::string& message, HRESULT hr) {
    char code[32];
    std::snprintf(code, sizeof code, " (hr=0x%08x)\n", static_cast<unsigned>(hr));
    std::string line = std::string(what) + ": " + message + code;
    OutputDebugStringW(Utf8ToWide(line).c_str());
}

ID3DXBuffer* TextBuffer(const std::string& text) {
    ID3DXBuffer* b = nullptr;
    if (FAILED(D3DXCreateBuffer(static_cast<DWORD>(text.size() + 1), &b))) return nullptr;
    std::memcpy(b->GetBufferPointer(), text.c_str(), text.size() + 1);
    return b;
}

}  // namespace d3dx
