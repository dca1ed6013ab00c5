// What the layer's helpers (effects, sprites, fonts, textures from images,
// meshes) need of the OpenGL device beyond IDirect3DDevice9. Nothing above the
// platform layer includes this file.
//
// Conventions of the device (the same on every path, handled once here):
// - Pixel coordinates run from the top-left corner of the back buffer to the
//   right and down. Pixel (i, j) covers [i, i+1) x [j, j+1); its centre is at
//   (i + 0.5, j + 0.5). A pre-transformed quad from (x0, y0) to (x1, y1) with
//   texture coordinates 0..1 maps a (x1 - x0) x (y1 - y0) texture one texel to
//   one pixel (no half-pixel shift is needed).
// - Clip space: x and y from -1 to 1 with y up (+1 is the top row), depth
//   from 0 (near) to 1 (far). Matrices are row-vector (v * M) on the
//   application side; upload them with glUniformMatrix4fv(..., GL_TRUE, &m._11)
//   (row-major), so GLSL code writes the same product `v * M`.
// - Texture rows are top-down: texture coordinate v = 0 is the first row
//   written through LockRect. GL textures are uploaded in that order, so GLSL
//   code samples with the same (u, v) as the application uses.
// - Cull modes are as seen on screen: D3DCULL_CCW removes triangles whose
//   vertices run counter-clockwise on screen.
// - Vertex inputs are bound by usage to fixed attribute locations (below);
//   colours (D3DDECLTYPE_D3DCOLOR) arrive as 0..1 RGBA.
// - The fragment output is `out vec4 out_Color` at location 0.
#pragma once

#include <cstdint>
#include <string>

#include "platform/device.h"
#include "platform/gl_api.h"

// Attribute locations of the vertex inputs.
constexpr GLuint kGlAttribPosition = 0;   // in_Position  (POSITION / POSITIONT)
constexpr GLuint kGlAttribNormal = 1;     // in_Normal    (NORMAL)
constexpr GLuint kGlAttribTexCoord0 = 2;  // in_TexCoord0 (TEXCOORD 0)
constexpr GLuint kGlAttribColor = 3;      // in_Color     (COLOR 0), opaque white when absent
constexpr GLuint kGlAttribTangent = 4;    // in_Tangent   (TANGENT)
constexpr GLuint kGlAttribBinormal = 5;   // in_Binormal  (BINORMAL)
constexpr GLuint kGlAttribTexCoord1 = 6;  // in_TexCoord1 (TEXCOORD 1)
constexpr int kGlAttribCount = 7;

// Binds the input names above to their locations and out_Color to fragment
// output 0. Call between attaching the shaders and glLinkProgram.
void GlBindStandardLocations(GLuint program);

// Text put before the code of every fragment shader: the version line.
extern const char kGlFragmentPrologue[];
// Text put before the code of every vertex shader: the version line and a
// rename of the code's main().
extern const char kGlVertexPrologue[];
// Text put after the code of every vertex shader: the real main(), which runs
// the code's main() and then converts its clip-space position (depth 0..1) to
// what OpenGL expects (depth -w..w). Shaders built this way see only the
// device's conventions.
extern const char kGlVertexEpilogue[];

// True for devices of this system's OpenGL (false for scripted devices).
bool GlIsDevice(IDirect3DDevice9* device);

// Makes the device's context current. False for a scripted device or when the
// device's window is gone (then no GL call may be made).
bool GlMakeCurrent(IDirect3DDevice9* device);

// The GL texture of a texture of an OpenGL device (0 for none / other kinds).
// Pending uploads are done first.
GLuint GlTextureName(IDirect3DBaseTexture9* texture);

// The program the device uses for draws whose vertices are not
// pre-transformed (DrawPrimitive, DrawIndexedPrimitive, DrawPrimitiveUP
// without D3DFVF_XYZRHW / POSITIONT). 0: none; such draws then fail with
// D3DERR_INVALIDCALL. Pre-transformed vertices always use the device's
// built-in shader. Texture unit i holds the texture set with SetTexture(i),
// sampled with sampler i's states; the caller points its sampler uniforms at
// those units.
void GlSetUserProgram(IDirect3DDevice9* device, GLuint program);

// Makes the device's context current and `program` the current program, so
// that glUniform* calls reach it. Use this instead of glUseProgram: the device
// keeps track of the current program.
bool GlUseProgram(IDirect3DDevice9* device, GLuint program);

// Call after changing GL state behind the device's back (bindings of
// textures, buffers, vertex arrays, framebuffers, enables): the device sets
// all of its state again before its next draw.
void GlInvalidateState(IDirect3DDevice9* device);

// Compiles and links a program from complete sources (prologue and epilogue
// included), with the standard locations bound. 0 on failure, with the
// compiler's or linker's message in *log (if given).
GLuint GlBuildProgram(const char* vertexSource, const char* fragmentSource, std::string* log);
