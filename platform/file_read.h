// Reading a whole file into memory, for the parsers and decoders of the
// helper library (meshes, effects, images).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/result.h"

// The largest file the helpers read (256 MiB): a larger one is refused.
constexpr size_t kMaxHelperFileBytes = size_t{256} << 20;

// Reads the file at a native (UTF-8, '/'-separated) path. Fails with
// D3DXERR_INVALIDDATA when the file is missing, unreadable, not a regular file
// or larger than maxBytes, and E_OUTOFMEMORY when the buffer cannot be had;
// *error then says why, naming the path.
HRESULT ReadFileBytes(const std::string& path, std::vector<uint8_t>* out, std::string* error,
                      size_t maxBytes = kMaxHelperFileBytes);
