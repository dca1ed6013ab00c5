// The sprite: textured, coloured rectangles drawn in back-buffer pixels, in
// batches.
//
// Between Begin and End, Draw queues a rectangle of a texture; every run of
// rectangles with the same texture becomes one draw of the device's
// pre-transformed path (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, triangle
// list), issued when the texture changes, at Flush and at End. The batch
// buffer is kept and reused, so steady drawing allocates nothing.
//
// Where a rectangle lands: its corners (0, 0) ... (w, h) (the source
// rectangle's size), minus the centre (or nothing), plus the position (or
// nothing), are multiplied by the sprite transform (row vectors, as every
// matrix of the program; identity after creation) to give back-buffer pixels
// from the top-left; z becomes the depth (0 when no position is given),
// clamped to 0..1. Texel (i, j) of the source rectangle covers the pixel
// (i, j) from the rectangle's corner under an identity transform. The colour
// multiplies the texture (colour and alpha).
//
// Begin(flags) sets what sprites need (unless D3DXSPRITE_DONOTMODIFY_RENDERSTATE):
// culling off, depth test and depth writes off, solid fill, texture stage 0
// modulating texture and diffuse (colour and alpha), stage 1 off, sampler 0
// clamped with linear filtering and no mip filter. D3DXSPRITE_ALPHABLEND also
// switches on blending (source alpha, inverse source alpha, add) and the
// alpha test (alpha > 0); without it blending is left as the caller set it.
// Unless D3DXSPRITE_DONOTSAVESTATE, the device's state is recorded at Begin
// and put back at End. Sprites sorting flags are accepted and drawing keeps
// the order of the calls.
#pragma once

#include "platform/device.h"
#include "platform/maths.h"

constexpr DWORD D3DXSPRITE_DONOTSAVESTATE = 0x1;
constexpr DWORD D3DXSPRITE_DONOTMODIFY_RENDERSTATE = 0x2;
constexpr DWORD D3DXSPRITE_OBJECTSPACE = 0x4;
constexpr DWORD D3DXSPRITE_BILLBOARD = 0x8;
constexpr DWORD D3DXSPRITE_ALPHABLEND = 0x10;
constexpr DWORD D3DXSPRITE_SORT_TEXTURE = 0x20;
constexpr DWORD D3DXSPRITE_SORT_DEPTH_FRONTTOBACK = 0x40;
constexpr DWORD D3DXSPRITE_SORT_DEPTH_BACKTOFRONT = 0x80;
constexpr DWORD D3DXSPRITE_DO_NOT_ADDREF_TEXTURE = 0x100;

class ID3DXSprite : public RefCounted {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetTransform(D3DXMATRIX* transform) = 0;
    virtual HRESULT SetTransform(const D3DXMATRIX* transform) = 0;
    // D3DERR_INVALIDCALL when already begun.
    virtual HRESULT Begin(DWORD flags) = 0;
    // srcRect null: the whole texture; it is clipped to the texture. center
    // and position may be null. D3DERR_INVALIDCALL outside Begin/End or
    // without a texture of the sprite's device.
    virtual HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR3* center,
                         const D3DXVECTOR3* position, D3DCOLOR color) = 0;
    // Draws what is queued now (also a way to change device state between
    // sprites).
    virtual HRESULT Flush() = 0;
    virtual HRESULT End() = 0;
    // Around a device reset: drops / re-creates nothing but the saved-state
    // record (kept in the device's memory).
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite);
