// The program's vertex layout for the cube's meshes: position, normal and one
// texture coordinate, 32 bytes a vertex. Header only, on the declaration
// types alone, so the fuzz target's parser-only build can use it as well.
#pragma once

#include "platform/device_types.h"

namespace test_support {

inline constexpr D3DVERTEXELEMENT9 kSceneDecl[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END(),
};

}  // namespace test_support
