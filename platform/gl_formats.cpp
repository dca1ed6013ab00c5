// Format tables of the OpenGL device (see gl_formats.h).
#include "platform/gl_formats.h"

namespace {

constexpr GLint R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, ONE = GL_ONE, ZERO = GL_ZERO;

const GlTextureFormat kTextureFormats[] = {
    {D3DFMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {R, G, B, A}, true},
    {D3DFMT_X8R8G8B8, GL_RGB8, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, {R, G, B, ONE}, true},
    {D3DFMT_A8B8G8R8, GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, true},
    {D3DFMT_X8B8G8R8, GL_RGB8, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, ONE}, true},
    {D3DFMT_R8G8B8, GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, {R, G, B, ONE}, false},
    {D3DFMT_R5G6B5, GL_RGB8, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, {R, G, B, ONE}, true},
    {D3DFMT_X1R5G5B5, GL_RGB5, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {R, G, B, ONE}, true},
    {D3DFMT_A1R5G5B5, GL_RGB5_A1, GL_BGRA, GL_UNSIGNED_SHORT_1_5_5_5_REV, {R, G, B, A}, true},
    {D3DFMT_A4R4G4B4, GL_RGBA4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {R, G, B, A}, true},
    {D3DFMT_X4R4G4B4, GL_RGB4, GL_BGRA, GL_UNSIGNED_SHORT_4_4_4_4_REV, {R, G, B, ONE}, false},
    {D3DFMT_R3G3B2, GL_R3_G3_B2, GL_RGB, GL_UNSIGNED_BYTE_3_3_2, {R, G, B, ONE}, false},
    {D3DFMT_A2R10G10B10, GL_RGB10_A2, GL_BGRA, GL_UNSIGNED_INT_2_10_10_10_REV, {R, G, B, A}, true},
    {D3DFMT_A2B10G10R10, GL_RGB10_A2, GL_RGBA, GL_UNSIGNED_INT_2_10_10_10_REV, {R, G, B, A}, true},
    {D3DFMT_A8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {ZERO, ZERO, ZERO, R}, false},
    {D3DFMT_L8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {R, R, R, ONE}, false},
    {D3DFMT_A8L8, GL_RG8, GL_RG, GL_UNSIGNED_BYTE, {R, R, R, G}, false},
    {D3DFMT_L16, GL_R16, GL_RED, GL_UNSIGNED_SHORT, {R, R, R, ONE}, false},
    {D3DFMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, {R, G, ONE, ONE}, true},
    {D3DFMT_A16B16G16R16, GL_RGBA16, GL_RGBA, GL_UNSIGNED_SHORT, {R, G, B, A}, true},
    {D3DFMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, {R, ONE, ONE, ONE}, true},
    {D3DFMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, {R, G, ONE, ONE}, true},
    {D3DFMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {R, G, B, A}, true},
    {D3DFMT_R32F, GL_R32F, GL_RED, GL_FLOAT, {R, ONE, ONE, ONE}, true},
    {D3DFMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, {R, G, ONE, ONE}, true},
    {D3DFMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, {R, G, B, A}, true},
};

}  // namespace

const D3DFORMAT kGlBackBufferFormats[6] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10,
                                           D3DFMT_R5G6B5,   D3DFMT_A1R5G5B5, D3DFMT_X1R5G5B5};
const D3DFORMAT kGlDepthFormats[4] = {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D32};

const GlTextureFormat* GlTextureFormatOf(D3DFORMAT format) {
    for (const GlTextureFormat& f : kTextureFormats)
        if (f.format == format) return &f;
    return nullptr;
}

GLenum GlColorBufferFormat(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8: return GL_RGBA8;
        case D3DFMT_X8R8G8B8: return GL_RGB8;
        case D3DFMT_A2R10G10B10: return GL_RGB10_A2;
        case D3DFMT_R5G6B5: return GL_RGB565;
        case D3DFMT_A1R5G5B5: return GL_RGB5_A1;
        case D3DFMT_X1R5G5B5: return GL_RGB5;
        default: return 0;
    }
}

GLenum GlDepthBufferFormat(D3DFORMAT format, int* depthBits, int* stencilBits) {
    int d = 0, s = 0;
    GLenum gl = 0;
    switch (format) {
        case D3DFMT_D16: d = 16; gl = GL_DEPTH_COMPONENT16; break;
        case D3DFMT_D24X8: d = 24; gl = GL_DEPTH_COMPONENT24; break;
        case D3DFMT_D24S8: d = 24; s = 8; gl = GL_DEPTH24_STENCIL8; break;
        case D3DFMT_D32: d = 32; gl = GL_DEPTH_COMPONENT32; break;
        default: break;  // D15S1, D24X4S4, lockable and float formats have no GL match
    }
    if (depthBits) *depthBits = d;
    if (stencilBits) *stencilBits = s;
    return gl;
}
