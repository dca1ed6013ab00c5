// Effects: techniques of passes, each pass a GLSL program with render
// states, and named parameters (the programs' uniforms). The file format is
// described in platform/effect_format.md.
//
// Creation parses the file, assembles every pass's sources with the device's
// clip-space conversion, compiles and links them (vertex inputs bound to the
// device's attribute locations). A file that cannot be read, a syntax error
// and a compile or link error fail with D3DXERR_INVALIDDATA; the message
// names the file and the line ("<file>(<line>): ...", with the compiler's own
// message for GLSL errors) and goes to the debugger output and, when asked,
// into the errors buffer (NUL-terminated text). On a device that is not an
// OpenGL device (the scripted devices of tests) the file is parsed and
// checked but nothing is compiled: parameters, techniques and passes work,
// drawing through the effect does not reach any program.
//
// Handles (D3DXHANDLE) are names: every call that takes a handle accepts the
// name itself, and GetParameterByName / GetTechniqueByName return a pointer to
// the effect's own copy of the name (null for an unknown name).
//
// Parameters are every uniform the file declares (in the shared block or in
// any code block, "uniform TYPE NAME;" with TYPE float, vec2, vec3, vec4,
// int, bool, mat3, mat4 or sampler2D, arrays allowed), used by a pass or not.
// Values are kept by the effect and uploaded to a pass's program when the pass
// begins and at CommitChanges, each only when it changed since that program
// last received it; setting a parameter inside a pass takes effect at the next
// CommitChanges, as usual. Matrices keep the program's row-vector convention
// (uploaded so that GLSL writes v * M). A texture parameter is bound to a
// texture unit of its own in each program (units in the order of the
// declarations) and set with the device's SetTexture, so the device's sampler
// states of that unit apply; the effect holds a reference to each texture set.
// An unknown parameter name, a value of the wrong kind (a matrix for a vector,
// a texture for a float, ...) and a null handle fail with D3DERR_INVALIDCALL;
// SetFloat and SetVector accept any float-based parameter (the components it
// has are taken), SetInt / SetBool int, bool and float parameters.
//
// Drawing: Begin(&passes, flags) gives the current technique's pass count;
// BeginPass(i) makes pass i's program the device's program for transformed
// vertices (DrawIndexedPrimitive and friends, and so ID3DXMesh::DrawSubset),
// applies the pass's render states (remembering what they were) and uploads
// the parameters; EndPass puts the render states back (not with
// D3DXFX_DONOTSAVESTATE) and leaves the device without a program; End unbinds
// the textures the effect set. Calls out of order fail with
// D3DERR_INVALIDCALL. OnLostDevice / OnResetDevice have nothing to do: the
// programs survive a reset.
#pragma once

#include "platform/d3dx_buffer.h"
#include "platform/device.h"
#include "platform/maths.h"

using D3DXHANDLE = const char*;

// Creation flags (accepted; nothing changes).
constexpr DWORD D3DXSHADER_DEBUG = 0x1;
constexpr DWORD D3DXSHADER_SKIPVALIDATION = 0x2;
constexpr DWORD D3DXSHADER_SKIPOPTIMIZATION = 0x4;
constexpr DWORD D3DXFX_NOT_CLONEABLE = 0x800;
// Begin flags.
constexpr DWORD D3DXFX_DONOTSAVESTATE = 0x1;
constexpr DWORD D3DXFX_DONOTSAVESHADERSTATE = 0x2;
constexpr DWORD D3DXFX_DONOTSAVESAMPLERSTATE = 0x4;

// A preprocessor definition put in front of every stage ("#define Name Definition").
struct D3DXMACRO {
    const char* Name;
    const char* Definition;
};
// Not used on this platform (the effect format has no includes and no shared
// pools); pass null.
class ID3DXInclude;
class ID3DXEffectPool;

enum D3DXPARAMETER_CLASS : uint32_t {
    D3DXPC_SCALAR = 0,
    D3DXPC_VECTOR = 1,
    D3DXPC_MATRIX_ROWS = 2,
    D3DXPC_OBJECT = 4,
};
enum D3DXPARAMETER_TYPE : uint32_t {
    D3DXPT_BOOL = 1,
    D3DXPT_INT = 2,
    D3DXPT_FLOAT = 3,
    D3DXPT_TEXTURE2D = 7,
    D3DXPT_SAMPLER2D = 12,
};

struct D3DXPARAMETER_DESC {
    const char* Name;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;
    UINT Columns;
    UINT Elements;  // 0 for a single value, else the array length
    UINT Bytes;     // size of the value (SetValue / GetValue)
};

struct D3DXEFFECT_DESC {
    UINT Parameters;
    UINT Techniques;
};

class ID3DXEffect : public RefCounted {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetDesc(D3DXEFFECT_DESC* desc) = 0;

    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) = 0;
    virtual D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) = 0;
    virtual HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) = 0;
    virtual D3DXHANDLE GetTechniqueByName(const char* name) = 0;
    virtual D3DXHANDLE GetTechnique(UINT index) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;
    virtual HRESULT SetTechnique(D3DXHANDLE technique) = 0;

    virtual HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) = 0;
    virtual HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) = 0;
    virtual HRESULT SetBool(D3DXHANDLE parameter, BOOL value) = 0;
    virtual HRESULT SetInt(D3DXHANDLE parameter, INT value) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) = 0;
    virtual HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) = 0;
    virtual HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) = 0;
    // The texture set (with a reference for the caller), null when none.
    virtual HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) = 0;

    virtual HRESULT Begin(UINT* passes, DWORD flags) = 0;
    virtual HRESULT BeginPass(UINT pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// path: the program's wide path. defines: null or an array ended by a null
// Name. include and pool: must be null. errors (may be null): receives the
// message on failure (null on success).
HRESULT D3DXCreateEffectFromFile(IDirect3DDevice9* device, const wchar_t* path, const D3DXMACRO* defines,
                                 ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool, ID3DXEffect** effect,
                                 ID3DXBuffer** errors);
// The same from the text of an effect file in memory; messages name the file
// "effect".
HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO* defines,
                         ID3DXInclude* include, DWORD flags, ID3DXEffectPool* pool, ID3DXEffect** effect,
                         ID3DXBuffer** errors);
