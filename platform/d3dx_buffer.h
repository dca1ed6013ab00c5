// A block of bytes handed out by the helper library (adjacency, materials,
// error messages, remap tables), reference counted like every device object.
#pragma once

#include "platform/device.h"

class ID3DXBuffer : public RefCounted {
public:
    virtual void* GetBufferPointer() = 0;
    virtual DWORD GetBufferSize() = 0;
};

// A zero-filled buffer of numBytes bytes (0 is allowed: an empty buffer).
// E_OUTOFMEMORY when the bytes cannot be had, D3DERR_INVALIDCALL without out.
HRESULT D3DXCreateBuffer(DWORD numBytes, ID3DXBuffer** buffer);
