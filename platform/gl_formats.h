// How the device's formats map to OpenGL formats.
#pragma once

#include "platform/device_types.h"
#include "platform/gl_api.h"

// A texture format: GL internal format, the client format and type of the
// device's memory layout (rows of little-endian texels, as the format's name
// reads from the high bits down), and the swizzle that gives the device's
// channel values when sampled (missing channels read 1, alpha of X formats 1).
struct GlTextureFormat {
    D3DFORMAT format;
    GLenum internalFormat;
    GLenum clientFormat;
    GLenum clientType;
    GLint swizzle[4];
    bool renderTarget;  // may be drawn into (and so blended)
};

// Null for formats that have no GL texture format.
const GlTextureFormat* GlTextureFormatOf(D3DFORMAT format);

// The renderbuffer format of a back-buffer format (0: not a back-buffer
// format of this device).
GLenum GlColorBufferFormat(D3DFORMAT format);

// The renderbuffer format of a depth-stencil format with its depth and
// stencil bits (0: refused).
GLenum GlDepthBufferFormat(D3DFORMAT format, int* depthBits, int* stencilBits);

// The back-buffer formats in the order the device checks them.
extern const D3DFORMAT kGlBackBufferFormats[6];
// The depth-stencil formats the device may offer.
extern const D3DFORMAT kGlDepthFormats[4];
