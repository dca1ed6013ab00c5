// Parser of effect files (the format is described in platform/effect_format.md)
// and assembly of each pass's GLSL sources.
//
// Parsing checks the whole structure (blocks, techniques, passes, render
// states, references between them) without a GPU; compiling and linking the
// assembled sources is the effect object's job.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/device_types.h"
#include "platform/result.h"

enum class EffectStage { Vertex, Fragment };

struct EffectCodeBlock {
    EffectStage stage = EffectStage::Vertex;
    std::string name;
    std::string code;    // the lines between "<<" and ">>", each ending in '\n'
    int firstLine = 0;   // file line of the block's first code line
};

struct EffectRenderState {
    D3DRENDERSTATETYPE state;  // D3DRS_ZENABLE, D3DRS_CULLMODE, ...
    DWORD value;               // the device's value (TRUE = 1, D3DBLEND_*, D3DCULL_*, D3DFILL_*)
    int line = 0;
};

struct EffectPass {
    std::string name;
    int line = 0;
    std::string vertexBlock;    // names of the code blocks
    std::string fragmentBlock;
    int vertexLine = 0;         // lines of the "vertex =" and "fragment =" statements
    int fragmentLine = 0;
    std::vector<EffectRenderState> states;  // in file order; a state set twice appears twice
};

struct EffectTechnique {
    std::string name;
    int line = 0;
    std::vector<EffectPass> passes;
};

struct EffectFile {
    bool hasShared = false;
    std::string sharedCode;
    int sharedFirstLine = 0;
    std::vector<EffectCodeBlock> blocks;        // in file order
    std::vector<EffectTechnique> techniques;    // in file order; the first is the default

    const EffectCodeBlock* FindBlock(EffectStage stage, const std::string& name) const;
    const EffectTechnique* FindTechnique(const std::string& name) const;
};

// Parses an effect file held in memory. Besides syntax, it fails when a pass
// lacks its vertex or fragment block or names one that does not exist, a name
// is defined twice, a render state or value is unknown, a technique has no
// pass, or the file has no technique. Failures are D3DXERR_INVALIDDATA with
// "line N: message" in *error (when given).
HRESULT EffectFileParse(const char* text, size_t size, EffectFile* out, std::string* error);
// Reads and parses the file at a native path; messages start with the path.
HRESULT EffectFileLoad(const std::string& path, EffectFile* out, std::string* error);

// Hooks of the drawing layer into the assembled sources.
struct EffectAssemblyHooks {
    // Declarations put into every vertex stage after the #version line,
    // before the shared block (e.g. a uniform the epilogue needs).
    std::string vertexPreamble;
    // Statements run after the effect's vertex main() returns, with
    // gl_Position set: the place to turn the device's clip space (depth 0..1)
    // into the drawing API's (-1..1) and to flip y if needed. When not empty,
    // the effect's main is renamed (by "#define main effect_vertex_main")
    // and a new main calls it and then runs these statements (numbered as
    // source string 1 in compiler messages).
    std::string vertexEpilogue;
    // Declarations put into every fragment stage after the #version line.
    std::string fragmentPreamble;
};

struct EffectPassSources {
    std::string vertex;
    std::string fragment;
};

// The complete GLSL of one pass: "#version 330 core", the preamble, the
// shared block, then the stage's block, each introduced by a "#line" directive
// so compiler messages give the effect file's own line numbers. E_INVALIDARG
// when the pass names a block the file does not have.
HRESULT EffectAssemblePass(const EffectFile& file, const EffectPass& pass, const EffectAssemblyHooks& hooks,
                           EffectPassSources* out);
