// Every object made on a device, the device's own resources and the helper
// library's, hands out a counted reference to that device.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/d3dx.h"
#include "support/d3dx_fixture.h"

namespace {

const char kPlainEffect[] = R"FX(
vertex VS <<
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position, 1.0); }
>>
fragment PS <<
out vec4 out_Color;
void main() { out_Color = vec4(1.0); }
>>
technique T { pass P { vertex = VS; fragment = PS; } }
)FX";

using DeviceReferenceTest = GlHelpersTest;

TEST_F(DeviceReferenceTest, GetDeviceAddsAReferenceAndRefusesANullOut) {
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(4, 4, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH, &surface, nullptr), S_OK);
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vertices, nullptr), S_OK);
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(64, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), S_OK);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), S_OK);
    ID3DXFont* font = nullptr;
    ASSERT_EQ(D3DXCreateFont(device, 16, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"DejaVu Sans", &font),
              S_OK);
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED, D3DFVF_XYZ, device, &mesh), S_OK);
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, kPlainEffect, UINT(std::strlen(kPlainEffect)), nullptr, nullptr, 0, nullptr,
                               &effect, nullptr),
              S_OK);

    struct Case {
        const char* what;
        std::function<HRESULT(IDirect3DDevice9**)> getDevice;
    };
    const Case cases[] = {
        {"texture", [&](IDirect3DDevice9** d) { return texture->GetDevice(d); }},
        {"surface", [&](IDirect3DDevice9** d) { return surface->GetDevice(d); }},
        {"vertex buffer", [&](IDirect3DDevice9** d) { return vertices->GetDevice(d); }},
        {"index buffer", [&](IDirect3DDevice9** d) { return indices->GetDevice(d); }},
        {"sprite", [&](IDirect3DDevice9** d) { return sprite->GetDevice(d); }},
        {"font", [&](IDirect3DDevice9** d) { return font->GetDevice(d); }},
        {"mesh", [&](IDirect3DDevice9** d) { return mesh->GetDevice(d); }},
        {"effect", [&](IDirect3DDevice9** d) { return effect->GetDevice(d); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        device->AddRef();
        const ULONG references = device->Release();
        EXPECT_EQ(c.getDevice(nullptr), D3DERR_INVALIDCALL);
        IDirect3DDevice9* owner = nullptr;
        ASSERT_EQ(c.getDevice(&owner), S_OK);
        EXPECT_EQ(owner, device);
        EXPECT_EQ(owner->Release(), references) << "GetDevice added exactly one reference";
    }
    effect->Release();
    mesh->Release();
    font->Release();
    sprite->Release();
    indices->Release();
    vertices->Release();
    surface->Release();
    texture->Release();
}

}  // namespace
