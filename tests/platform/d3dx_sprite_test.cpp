// The sprite: a rectangle of a texture lands at its position, tinted by its
// colour, scaled by the transform; runs of one texture are one device draw;
// the device state is saved and restored unless the caller says otherwise.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d3dx_sprite.h"
#include "support/d3dx_fixture.h"

namespace {

IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, UINT w, UINT h, const std::vector<uint32_t>& texels) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), S_OK);
    if (!texture) return nullptr;
    D3DLOCKED_RECT lr{};
    EXPECT_EQ(texture->LockRect(0, &lr, nullptr, 0), S_OK);
    for (UINT y = 0; y < h; ++y)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &texels[y * w], w * 4);
    texture->UnlockRect(0);
    return texture;
}

class SpriteTest : public GlHelpersTest {
protected:
    void SetUp() override {
        GlHelpersTest::SetUp();
        if (!device) return;
        // Red, green on the first row; blue, white below.
        texture = MakeTexture(device, 2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
        ASSERT_EQ(D3DXCreateSprite(device, &sprite), S_OK);
    }
    void TearDown() override {
        if (sprite) sprite->Release();
        if (texture) texture->Release();
        GlHelpersTest::TearDown();
    }
    IDirect3DTexture9* texture = nullptr;
    ID3DXSprite* sprite = nullptr;
};

TEST_F(SpriteTest, ATextureLandsAtItsPositionTintedByTheColour) {
    Clear(0xFF000000);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    const D3DXVECTOR3 at(10, 20, 0);
    ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, &at, 0xFF808080), S_OK);  // half brightness
    // The right column only, its corner (1, 1) at (50, 50).
    const RECT column = {1, 0, 2, 2};
    const D3DXVECTOR3 centre(1.0f, 1.0f, 0), at2(50, 50, 0);
    ASSERT_EQ(sprite->Draw(texture, &column, &centre, &at2, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite->End(), S_OK);
    Read();
    ExpectPixel(10, 20, {128, 0, 0});
    ExpectPixel(11, 20, {0, 128, 0});
    ExpectPixel(10, 21, {0, 0, 128});
    ExpectPixel(11, 21, {128, 128, 128});
    ExpectPixel(12, 20, {0, 0, 0});
    ExpectPixel(10, 22, {0, 0, 0});
    ExpectPixel(49, 49, {0, 255, 0});
    ExpectPixel(49, 50, {255, 255, 255});
    ExpectPixel(48, 49, {0, 0, 0});
    ExpectPixel(50, 49, {0, 0, 0});
    EXPECT_EQ(CountNear({0, 0, 0}), kWidth * kHeight - 6);
}

TEST_F(SpriteTest, TheTransformScalesAndMovesTheRectangle) {
    Clear(0xFF000000);
    D3DXMATRIX scale;
    D3DXMatrixScaling(&scale, 3.0f, 2.0f, 1.0f);
    ASSERT_EQ(sprite->SetTransform(&scale), S_OK);
    D3DXMATRIX back;
    ASSERT_EQ(sprite->GetTransform(&back), S_OK);
    EXPECT_EQ(back, scale);
    ASSERT_EQ(sprite->Begin(0), S_OK);
    // Sampler states set after Begin apply to the batch: whole texels here.
    device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
    // As the dialog stretches elements: the position is divided by the scale.
    const D3DXVECTOR3 at(30.0f / 3.0f, 40.0f / 2.0f, 0);
    ASSERT_EQ(sprite->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite->End(), S_OK);
    Read();
    // Each texel covers 3 x 2 pixels from (30, 40).
    ExpectPixel(30, 40, {255, 0, 0});
    ExpectPixel(32, 41, {255, 0, 0});
    ExpectPixel(33, 40, {0, 255, 0});
    ExpectPixel(35, 41, {0, 255, 0});
    ExpectPixel(30, 42, {0, 0, 255});
    ExpectPixel(35, 43, {255, 255, 255});
    EXPECT_EQ(CountNear({0, 0, 0}), kWidth * kHeight - 6 * 4);
}

TEST_F(SpriteTest, AlphaBlendingLetsTheBackgroundThrough) {
    IDirect3DTexture9* half = MakeTexture(device, 1, 1, {0x80FFFFFF});
    Clear(0xFF0000FF);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    const D3DXVECTOR3 at(5, 5, 0);
    ASSERT_EQ(sprite->Draw(half, nullptr, nullptr, &at, 0xFFFF0000), S_OK);  // half-transparent red
    ASSERT_EQ(sprite->End(), S_OK);
    Read();
    ExpectPixel(5, 5, {128, 0, 127}, 4);
    half->Release();
}

TEST_F(SpriteTest, DeviceStateIsRestoredUnlessTheCallerKeepsIt) {
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, D3DZB_FALSE);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    ASSERT_EQ(sprite->End(), S_OK);
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, D3DZB_TRUE);
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CW));
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));

    // As the dialog draws: blending set by the caller stays, nothing is put back.
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_DONOTSAVESTATE), S_OK);
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(TRUE));
    ASSERT_EQ(sprite->End(), S_OK);
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, D3DZB_FALSE);
}

TEST_F(SpriteTest, CallsOutOfOrderFail) {
    const D3DXVECTOR3 at(0, 0, 0);
    EXPECT_EQ(sprite->Draw(texture, nullptr, nullptr, &at, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->End(), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->Flush(), D3DERR_INVALIDCALL);
    ASSERT_EQ(sprite->Begin(0), S_OK);
    EXPECT_EQ(sprite->Begin(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(sprite->Draw(nullptr, nullptr, nullptr, &at, 0xFFFFFFFF), D3DERR_INVALIDCALL);
    // A source rectangle outside the texture draws nothing.
    const RECT outside = {5, 5, 9, 9};
    EXPECT_EQ(sprite->Draw(texture, &outside, nullptr, &at, 0xFFFFFFFF), S_OK);
    EXPECT_EQ(sprite->End(), S_OK);
}

using SpriteBatchTest = ScriptedHelpersTest;

TEST_F(SpriteBatchTest, OneDrawPerRunOfOneTexture) {
    IDirect3DTexture9* a = MakeTexture(device, 2, 2, {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
    IDirect3DTexture9* b = MakeTexture(device, 1, 1, {0xFF000000});
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), S_OK);

    int before = Draws();
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    for (int i = 0; i < 100; ++i) {
        const D3DXVECTOR3 at(float(i % 10) * 4, float(i / 10) * 4, 0);
        ASSERT_EQ(sprite->Draw(a, nullptr, nullptr, &at, 0xFFFFFFFF), S_OK);
    }
    EXPECT_EQ(Draws(), before) << "nothing is drawn before the batch ends";
    ASSERT_EQ(sprite->End(), S_OK);
    EXPECT_EQ(Draws() - before, 1);

    // Alternating textures: one draw per change; Flush draws what is queued.
    before = Draws();
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_ALPHABLEND), S_OK);
    for (int i = 0; i < 10; ++i) ASSERT_EQ(sprite->Draw(i % 2 ? b : a, nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite->Flush(), S_OK);
    EXPECT_EQ(Draws() - before, 10);
    ASSERT_EQ(sprite->Draw(a, nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    ASSERT_EQ(sprite->End(), S_OK);
    EXPECT_EQ(Draws() - before, 11);

    // A texture released by its owner while queued is kept until drawn.
    ASSERT_EQ(sprite->Begin(0), S_OK);
    ASSERT_EQ(sprite->Draw(b, nullptr, nullptr, nullptr, 0xFFFFFFFF), S_OK);
    b->Release();
    ASSERT_EQ(sprite->End(), S_OK);
    sprite->Release();
    a->Release();
}

}  // namespace
