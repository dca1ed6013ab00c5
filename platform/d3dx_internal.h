// Shared by the helper library's units (textures, sprites, fonts, effects,
// meshes): the trace of failures on the debugger output and small buffers.
#pragma once

#include <string>

#include "platform/d3dx_buffer.h"
#include "platform/result.h"

namespace d3dx {

// Writes "<what>: <message> (hr=0x########)" and a line end to the debugger
// output.
void Trace(const char* what, const std::string& message, HRESULT hr);

// A buffer holding text and its terminating NUL (error messages); null when it
// cannot be had.
ID3DXBuffer* TextBuffer(const std::string& text);

}  // namespace d3dx
