#include "platform/d3dx_effect.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/d3dx_internal.h"
#include "platform/effect_file.h"
#include "platform/file_read.h"
#include "platform/gl_device.h"
#include "platform/system.h"

using namespace glapi;

namespace {

// --- uniform declarations --------------------------------------------------------

enum class ParamKind { Float, Int, Bool, Sampler };

struct ParamType {
    ParamKind kind;
    UINT rows, columns;
};

bool TypeOf(const std::string& word, ParamType* type) {
    static const struct {
        const char* name;
        ParamType type;
    } kTypes[] = {
        {"float", {ParamKind::Float, 1, 1}}, {"vec2", {ParamKind::Float, 1, 2}}, {"vec3", {ParamKind::Float, 1, 3}},
        {"vec4", {ParamKind::Float, 1, 4}},  {"mat4", {ParamKind::Float, 4, 4}}, {"int", {ParamKind::Int, 1, 1}},
        {"bool", {ParamKind::Bool, 1, 1}},   {"sampler2D", {ParamKind::Sampler, 1, 1}},
    };
    for (const auto& t : kTypes)
        if (word == t.name) {
            *type = t.type;
            return true;
        }
    return false;
}

struct Declaration {
    std::string name;
    ParamType type;
    UINT elements;  // 0: not an array
    int line;
};

// Finds "uniform TYPE NAME[, NAME...];" declarations in GLSL code (comments
// skipped). Declarations of other types and uniform blocks are not
// parameters and are passed over.
void ScanUniforms(const std::string& code, int firstLine, std::vector<Declaration>* out) {
    struct Token {
        std::string text;
        int line;
    };
    std::vector<Token> tokens;
    int line = firstLine;
    for (size_t i = 0; i < code.size();) {
        const char c = code[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '/') {
            while (i < code.size() && code[i] != '\n') ++i;
        } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '*') {
            i += 2;
            while (i + 1 < code.size() && !(code[i] == '*' && code[i + 1] == '/')) {
                if (code[i] == '\n') ++line;
                ++i;
            }
            i += 2;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_') {
            size_t j = i;
            while (j < code.size() && (std::isalnum(static_cast<unsigned char>(code[j])) || code[j] == '_')) ++j;
            tokens.push_back({code.substr(i, j - i), line});
            i = j;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else {
            tokens.push_back({std::string(1, c), line});
            ++i;
        }
    }
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].text != "uniform") continue;
        size_t k = i + 1;
        while (k < tokens.size() && (tokens[k].text == "lowp" || tokens[k].text == "mediump" ||
                                     tokens[k].text == "highp"))
            ++k;
        if (k >= tokens.size()) break;
        ParamType type;
        if (!TypeOf(tokens[k].text, &type)) continue;
        for (++k; k < tokens.size();) {
            const Token& name = tokens[k];
            if (name.text.empty() || !(std::isalpha(static_cast<unsigned char>(name.text[0])) || name.text[0] == '_'))
                break;
            UINT elements = 0;
            ++k;
            if (k + 2 < tokens.size() && tokens[k].text == "[" && tokens[k + 2].text == "]") {
                elements = static_cast<UINT>(std::strtoul(tokens[k + 1].text.c_str(), nullptr, 10));
                k += 3;
            }
            out->push_back({name.text, type, elements, name.line});
            if (k < tokens.size() && tokens[k].text == ",") {
                ++k;
                continue;
            }
            break;
        }
    }
}

// --- the effect ----------------------------------------------------------------------

struct Param {
    std::string name;
    ParamType type;
    UINT elements;
    std::vector<uint32_t> words;  // the value: floats or 32-bit ints, row-major for matrices
    IDirect3DBaseTexture9* texture = nullptr;
    uint64_t version = 0;         // 0: never set
    UINT Count() const { return elements ? elements : 1; }
    UINT Components() const { return type.rows * type.columns; }
};

struct Program {
    GLuint program = 0;
    std::vector<GLint> location;     // per parameter, -1 when the program does not use it
    std::vector<int> unit;           // per sampler parameter: its texture unit, else -1
    std::vector<uint64_t> uploaded;  // per parameter: the version the program holds
};

struct Pass {
    std::string name;
    Program program;
    std::vector<EffectRenderState> states;
};

struct Technique {
    std::string name;
    std::vector<Pass> passes;
};

class Effect final : public ID3DXEffect {
public:
    explicit Effect(IDirect3DDevice9* device) : m_device(device), m_gl(GlIsDevice(device)) { m_device->AddRef(); }
    ~Effect() override {
        if (m_inPass) GlSetUserProgram(m_device, 0);
        for (Param& p : m_params)
            if (p.texture) p.texture->Release();
        if (m_gl && GlMakeCurrent(m_device)) {
            for (Technique& t : m_techniques)
                for (Pass& p : t.passes)
                    if (p.program.program) glDeleteProgram(p.program.program);
        }
        m_device->Release();
    }

    // Builds everything from the parsed file; on failure *error says why.
    HRESULT Build(const EffectFile& file, const std::string& defines, const std::string& source, std::string* error);

    HRESULT GetDevice(IDirect3DDevice9** device) override { return ReferenceDeviceTo(m_device, device); }
    HRESULT GetDesc(D3DXEFFECT_DESC* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        desc->Parameters = static_cast<UINT>(m_params.size());
        desc->Techniques = static_cast<UINT>(m_techniques.size());
        return S_OK;
    }
    D3DXHANDLE GetParameterByName(D3DXHANDLE parent, const char* name) override {
        if (parent || !name) return nullptr;
        Param* p = Find(name);
        return p ? p->name.c_str() : nullptr;
    }
    D3DXHANDLE GetParameter(D3DXHANDLE parent, UINT index) override {
        if (parent || index >= m_params.size()) return nullptr;
        return m_params[index].name.c_str();
    }
    HRESULT GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) override;
    D3DXHANDLE GetTechniqueByName(const char* name) override {
        const Technique* t = FindTechnique(name);
        return t ? t->name.c_str() : nullptr;
    }
    D3DXHANDLE GetTechnique(UINT index) override {
        return index < m_techniques.size() ? m_techniques[index].name.c_str() : nullptr;
    }
    D3DXHANDLE GetCurrentTechnique() override { return m_techniques[m_current].name.c_str(); }
    HRESULT SetTechnique(D3DXHANDLE technique) override {
        const Technique* t = FindTechnique(technique);
        if (!t || m_inBegin) return D3DERR_INVALIDCALL;
        m_current = static_cast<size_t>(t - m_techniques.data());
        return S_OK;
    }

    HRESULT SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) override;
    HRESULT GetValue(D3DXHANDLE parameter, void* data, UINT bytes) override;
    HRESULT SetBool(D3DXHANDLE parameter, BOOL value) override { return SetInt(parameter, value ? 1 : 0); }
    HRESULT SetInt(D3DXHANDLE parameter, INT value) override;
    HRESULT SetFloat(D3DXHANDLE parameter, FLOAT value) override {
        const D3DXVECTOR4 v(value, 0.0f, 0.0f, 0.0f);
        return SetFloats(parameter, &v.x, 1);
    }
    HRESULT GetFloat(D3DXHANDLE parameter, FLOAT* value) override;
    HRESULT SetVector(D3DXHANDLE parameter, const D3DXVECTOR4* vector) override {
        if (!vector) return D3DERR_INVALIDCALL;
        return SetFloats(parameter, &vector->x, 4);
    }
    HRESULT GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) override;
    HRESULT SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) override;
    HRESULT GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) override;
    HRESULT SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) override;

    HRESULT Begin(UINT* passes, DWORD flags) override;
    HRESULT BeginPass(UINT pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;
    HRESULT OnLostDevice() override { return S_OK; }
    HRESULT OnResetDevice() override { return S_OK; }

private:
    Param* Find(D3DXHANDLE name) {
        if (!name) return nullptr;
        for (Param& p : m_params)
            if (p.name.c_str() == name) return &p;  // a handle this effect gave out
        for (Param& p : m_params)
            if (p.name == name) return &p;
        return nullptr;
    }
    const Technique* FindTechnique(D3DXHANDLE name) const {
        if (!name) return nullptr;
        for (const Technique& t : m_techniques)
            if (t.name.c_str() == name || t.name == name) return &t;
        return nullptr;
    }
    void Changed(Param* p) { p->version = ++m_clock; }
    HRESULT SetFloats(D3DXHANDLE parameter, const float* values, UINT count);
    HRESULT BuildProgram(const EffectFile& file, const EffectPass& pass, const EffectAssemblyHooks& hooks,
                         const std::string& source, const std::string& context, Program* program,
                         std::string* error);
    // Uploads what changed since the program last received it; with
    // allTextures, binds every texture of the program (a pass begins).
    HRESULT Upload(Program& program, bool allTextures);

    IDirect3DDevice9* m_device;
    bool m_gl;
    std::vector<Param> m_params;
    std::vector<Technique> m_techniques;
    size_t m_current = 0;
    uint64_t m_clock = 0;
    bool m_inBegin = false, m_inPass = false;
    bool m_saveState = true;
    size_t m_pass = 0;
    std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> m_saved;  // render states to put back at EndPass
    uint32_t m_unitsUsed = 0;  // texture units the technique's programs bind
};

// "0:35(12): error: ..." -> 35 for source string 0 (the effect's own lines).
int LineOfLog(const std::string& log) {
    for (size_t i = 0; i + 1 < log.size(); ++i) {
        if (log[i] != '0' || log[i + 1] != ':' || (i > 0 && std::isdigit(static_cast<unsigned char>(log[i - 1]))))
            continue;
        size_t j = i + 2;
        int line = 0;
        bool digits = false;
        while (j < log.size() && std::isdigit(static_cast<unsigned char>(log[j]))) {
            line = line * 10 + (log[j] - '0');
            digits = true;
            ++j;
        }
        if (digits && j < log.size() && (log[j] == '(' || log[j] == ':')) return line;
    }
    return 0;
}

HRESULT Effect::BuildProgram(const EffectFile& file, const EffectPass& pass, const EffectAssemblyHooks& hooks,
                             const std::string& source, const std::string& context, Program* program,
                             std::string* error) {
    const std::string where = source + "(" + std::to_string(pass.line) + ")";
    EffectPassSources sources;
    HRESULT hr = EffectAssemblePass(file, pass, hooks, &sources);
    if (FAILED(hr)) {
        *error = where + ": " + context + ": the pass's code cannot be assembled";
        return hr;
    }
    program->location.assign(m_params.size(), -1);
    program->unit.assign(m_params.size(), -1);
    program->uploaded.assign(m_params.size(), 0);
    if (!m_gl) return S_OK;
    if (!GlMakeCurrent(m_device)) {
        *error = where + ": " + context + ": the device cannot draw now";
        return D3DERR_DEVICELOST;
    }
    std::string log;
    program->program = GlBuildProgram(sources.vertex.c_str(), sources.fragment.c_str(), &log);
    if (!program->program) {
        while (!log.empty() && (log.back() == '\n' || log.back() == '\0')) log.pop_back();
        // Compiler messages name the effect file's own lines.
        const int line = LineOfLog(log);
        *error = (line > 0 ? source + "(" + std::to_string(line) + ")" : where) + ": " + context + ": " + log;
        return D3DXERR_INVALIDDATA;
    }
    GlUseProgram(m_device, program->program);
    int unit = 0;
    for (size_t i = 0; i < m_params.size(); ++i) {
        const GLint location = glGetUniformLocation(program->program, m_params[i].name.c_str());
        program->location[i] = location;
        if (location >= 0 && m_params[i].type.kind == ParamKind::Sampler) {
            if (unit >= 16) {
                *error = where + ": " + context + ": more than 16 textures";
                return D3DXERR_INVALIDDATA;
            }
            program->unit[i] = unit;
            glUniform1i(location, unit);
            m_unitsUsed |= 1u << unit;
            ++unit;
        }
    }
    GlUseProgram(m_device, 0);
    return S_OK;
}

HRESULT Effect::Build(const EffectFile& file, const std::string& defines, const std::string& source,
                      std::string* error) {
    // Parameters: every uniform declared, in the order of first declaration.
    std::vector<Declaration> decls;
    if (file.hasShared) ScanUniforms(file.sharedCode, file.sharedFirstLine, &decls);
    for (const EffectCodeBlock& block : file.blocks) ScanUniforms(block.code, block.firstLine, &decls);
    for (const Declaration& d : decls) {
        Param* existing = Find(d.name.c_str());
        if (existing) {
            if (existing->type.kind != d.type.kind || existing->type.rows != d.type.rows ||
                existing->type.columns != d.type.columns || existing->elements != d.elements) {
                *error = source + "(" + std::to_string(d.line) + "): uniform " + d.name +
                         " is declared with two different types";
                return D3DXERR_INVALIDDATA;
            }
            continue;
        }
        Param p;
        p.name = d.name;
        p.type = d.type;
        p.elements = d.elements;
        if (d.elements > 4096) {
            *error = source + "(" + std::to_string(d.line) + "): uniform " + d.name + " is too large an array";
            return D3DXERR_INVALIDDATA;
        }
        if (d.type.kind != ParamKind::Sampler) p.words.assign(static_cast<size_t>(p.Count()) * p.Components(), 0);
        m_params.push_back(std::move(p));
    }

    EffectAssemblyHooks hooks;
    hooks.vertexPreamble = defines;
    hooks.fragmentPreamble = defines;
    // The device's clip space (depth 0..1) to OpenGL's (-w..w), as the
    // device's own programs do.
    hooks.vertexEpilogue = "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n";
    size_t maxStates = 0;
    for (const EffectTechnique& t : file.techniques) {
        Technique technique;
        technique.name = t.name;
        for (const EffectPass& p : t.passes) {
            Pass pass;
            pass.name = p.name;
            pass.states = p.states;
            maxStates = std::max(maxStates, p.states.size());
            HRESULT hr = BuildProgram(file, p, hooks, source, "technique " + t.name + ", pass " + p.name,
                                      &pass.program, error);
            if (FAILED(hr)) {
                technique.passes.push_back(std::move(pass));  // deleted with the others
                m_techniques.push_back(std::move(technique));
                return hr;
            }
            technique.passes.push_back(std::move(pass));
        }
        m_techniques.push_back(std::move(technique));
    }
    m_saved.reserve(maxStates);
    return S_OK;
}

HRESULT Effect::GetParameterDesc(D3DXHANDLE parameter, D3DXPARAMETER_DESC* desc) {
    Param* p = Find(parameter);
    if (!p || !desc) return D3DERR_INVALIDCALL;
    desc->Name = p->name.c_str();
    desc->Rows = p->type.rows;
    desc->Columns = p->type.columns;
    desc->Elements = p->elements;
    switch (p->type.kind) {
        case ParamKind::Float:
            desc->Type = D3DXPT_FLOAT;
            desc->Class = p->type.rows > 1 ? D3DXPC_MATRIX_ROWS : p->type.columns > 1 ? D3DXPC_VECTOR : D3DXPC_SCALAR;
            break;
        case ParamKind::Int:
            desc->Type = D3DXPT_INT;
            desc->Class = D3DXPC_SCALAR;
            break;
        case ParamKind::Bool:
            desc->Type = D3DXPT_BOOL;
            desc->Class = D3DXPC_SCALAR;
            break;
        case ParamKind::Sampler:
            desc->Type = D3DXPT_SAMPLER2D;
            desc->Class = D3DXPC_OBJECT;
            break;
    }
    desc->Bytes = static_cast<UINT>(p->words.size() * 4);
    return S_OK;
}

HRESULT Effect::SetValue(D3DXHANDLE parameter, const void* data, UINT bytes) {
    Param* p = Find(parameter);
    if (!p || !data) return D3DERR_INVALIDCALL;
    if (p->type.kind == ParamKind::Sampler) {
        if (bytes != sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture;
        std::memcpy(&texture, data, sizeof texture);
        return SetTexture(parameter, texture);
    }
    if (bytes > p->words.size() * 4) return D3DERR_INVALIDCALL;
    std::memcpy(p->words.data(), data, bytes);
    Changed(p);
    return S_OK;
}

HRESULT Effect::GetValue(D3DXHANDLE parameter, void* data, UINT bytes) {
    Param* p = Find(parameter);
    if (!p || !data) return D3DERR_INVALIDCALL;
    if (p->type.kind == ParamKind::Sampler) {
        if (bytes != sizeof(IDirect3DBaseTexture9*)) return D3DERR_INVALIDCALL;
        std::memcpy(data, &p->texture, sizeof p->texture);  // no reference added, as for raw values
        return S_OK;
    }
    if (bytes > p->words.size() * 4) return D3DERR_INVALIDCALL;
    std::memcpy(data, p->words.data(), bytes);
    return S_OK;
}

HRESULT Effect::SetInt(D3DXHANDLE parameter, INT value) {
    Param* p = Find(parameter);
    if (!p) return D3DERR_INVALIDCALL;
    if (p->type.kind == ParamKind::Float) {
        const float f = static_cast<float>(value);
        return SetFloats(parameter, &f, 1);
    }
    if (p->type.kind == ParamKind::Sampler) return D3DERR_INVALIDCALL;
    const int32_t v = p->type.kind == ParamKind::Bool ? (value != 0) : value;
    std::memcpy(p->words.data(), &v, 4);
    Changed(p);
    return S_OK;
}

HRESULT Effect::SetFloats(D3DXHANDLE parameter, const float* values, UINT count) {
    Param* p = Find(parameter);
    if (!p || p->type.kind != ParamKind::Float || p->type.rows != 1) return D3DERR_INVALIDCALL;
    const UINT n = std::min(count, p->type.columns);
    std::memcpy(p->words.data(), values, static_cast<size_t>(n) * 4);
    Changed(p);
    return S_OK;
}

HRESULT Effect::GetFloat(D3DXHANDLE parameter, FLOAT* value) {
    Param* p = Find(parameter);
    if (!p || !value || p->type.kind != ParamKind::Float) return D3DERR_INVALIDCALL;
    std::memcpy(value, p->words.data(), 4);
    return S_OK;
}

HRESULT Effect::GetVector(D3DXHANDLE parameter, D3DXVECTOR4* vector) {
    Param* p = Find(parameter);
    if (!p || !vector || p->type.kind != ParamKind::Float || p->type.rows != 1) return D3DERR_INVALIDCALL;
    float v[4] = {0, 0, 0, 0};
    std::memcpy(v, p->words.data(), static_cast<size_t>(p->type.columns) * 4);
    *vector = D3DXVECTOR4(v[0], v[1], v[2], v[3]);
    return S_OK;
}

HRESULT Effect::SetMatrix(D3DXHANDLE parameter, const D3DXMATRIX* matrix) {
    Param* p = Find(parameter);
    if (!p || !matrix || p->type.kind != ParamKind::Float || p->type.rows != 4) return D3DERR_INVALIDCALL;
    std::memcpy(p->words.data(), &matrix->_11, 64);
    Changed(p);
    return S_OK;
}

HRESULT Effect::GetMatrix(D3DXHANDLE parameter, D3DXMATRIX* matrix) {
    Param* p = Find(parameter);
    if (!p || !matrix || p->type.kind != ParamKind::Float || p->type.rows != 4) return D3DERR_INVALIDCALL;
    std::memcpy(&matrix->_11, p->words.data(), 64);
    return S_OK;
}

HRESULT Effect::SetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9* texture) {
    Param* p = Find(parameter);
    if (!p || p->type.kind != ParamKind::Sampler) return D3DERR_INVALIDCALL;
    if (p->texture != texture) {
        if (texture) texture->AddRef();
        if (p->texture) p->texture->Release();
        p->texture = texture;
    }
    Changed(p);
    return S_OK;
}

HRESULT Effect::GetTexture(D3DXHANDLE parameter, IDirect3DBaseTexture9** texture) {
    Param* p = Find(parameter);
    if (!p || !texture || p->type.kind != ParamKind::Sampler) return D3DERR_INVALIDCALL;
    *texture = p->texture;
    if (p->texture) p->texture->AddRef();
    return S_OK;
}

HRESULT Effect::Upload(Program& program, bool allTextures) {
    HRESULT result = S_OK;
    const bool gl = m_gl && program.program != 0;
    for (size_t i = 0; i < m_params.size(); ++i) {
        Param& p = m_params[i];
        if (program.uploaded[i] == p.version && !(allTextures && program.unit[i] >= 0)) continue;
        const GLint location = program.location[i];
        if (location >= 0 && gl) {
            const auto count = static_cast<GLsizei>(p.Count());
            const auto* floats = reinterpret_cast<const GLfloat*>(p.words.data());
            switch (p.type.kind) {
                case ParamKind::Float:
                    if (p.type.rows == 4)
                        glUniformMatrix4fv(location, count, GL_TRUE, floats);
                    else if (p.type.columns == 1)
                        glUniform1fv(location, count, floats);
                    else if (p.type.columns == 2)
                        glUniform2fv(location, count, floats);
                    else if (p.type.columns == 3)
                        glUniform3fv(location, count, floats);
                    else
                        glUniform4fv(location, count, floats);
                    break;
                case ParamKind::Int:
                case ParamKind::Bool:
                    glUniform1iv(location, count, reinterpret_cast<const GLint*>(p.words.data()));
                    break;
                case ParamKind::Sampler:
                    break;
            }
        }
        if (program.unit[i] >= 0) {
            HRESULT hr = m_device->SetTexture(static_cast<DWORD>(program.unit[i]), p.texture);
            if (FAILED(hr)) result = hr;
        }
        program.uploaded[i] = p.version;
    }
    return result;
}

HRESULT Effect::Begin(UINT* passes, DWORD flags) {
    if (m_inBegin) return D3DERR_INVALIDCALL;
    m_inBegin = true;
    m_saveState = !(flags & D3DXFX_DONOTSAVESTATE);
    if (passes) *passes = static_cast<UINT>(m_techniques[m_current].passes.size());
    return S_OK;
}

HRESULT Effect::BeginPass(UINT index) {
    Technique& t = m_techniques[m_current];
    if (!m_inBegin || m_inPass || index >= t.passes.size()) return D3DERR_INVALIDCALL;
    Pass& pass = t.passes[index];
    m_saved.clear();
    for (const EffectRenderState& s : pass.states) {
        DWORD old = 0;
        if (m_saveState && SUCCEEDED(m_device->GetRenderState(s.state, &old))) m_saved.emplace_back(s.state, old);
        m_device->SetRenderState(s.state, s.value);
    }
    m_inPass = true;
    m_pass = index;
    if (m_gl && pass.program.program) GlUseProgram(m_device, pass.program.program);
    HRESULT hr = Upload(pass.program, true);
    GlSetUserProgram(m_device, pass.program.program);
    return hr;
}

HRESULT Effect::CommitChanges() {
    if (!m_inPass) return D3DERR_INVALIDCALL;
    Program& program = m_techniques[m_current].passes[m_pass].program;
    if (m_gl && program.program) GlUseProgram(m_device, program.program);
    return Upload(program, false);
}

HRESULT Effect::EndPass() {
    if (!m_inPass) return D3DERR_INVALIDCALL;
    for (size_t i = m_saved.size(); i-- > 0;) m_device->SetRenderState(m_saved[i].first, m_saved[i].second);
    m_saved.clear();
    GlSetUserProgram(m_device, 0);
    m_inPass = false;
    return S_OK;
}

HRESULT Effect::End() {
    if (!m_inBegin) return D3DERR_INVALIDCALL;
    if (m_inPass) EndPass();
    for (DWORD unit = 0; unit < 16; ++unit)
        if (m_unitsUsed & (1u << unit)) m_device->SetTexture(unit, nullptr);
    m_inBegin = false;
    return S_OK;
}

std::string DefinesText(const D3DXMACRO* defines) {
    std::string text;
    for (const D3DXMACRO* d = defines; d && d->Name; ++d) {
        text += "#define ";
        text += d->Name;
        if (d->Definition && *d->Definition) {
            text += ' ';
            text += d->Definition;
        }
        text += '\n';
    }
    return text;
}

HRESULT Fail(const std::string& message, HRESULT hr, const char* what, ID3DXBuffer** errors) {
    d3dx::Trace(what, message, hr);
    if (errors) *errors = d3dx::TextBuffer(message);
    return hr;
}

HRESULT CreateEffect(const char* what, IDirect3DDevice9* device, const uint8_t* data, size_t size,
                     const std::string& source, const D3DXMACRO* defines, ID3DXEffect** effect,
                     ID3DXBuffer** errors) {
    EffectFile file;
    std::string error;
    HRESULT hr = EffectFileParse(reinterpret_cast<const char*>(data), size, &file, &error);
    if (FAILED(hr)) {
        // "line N: message" -> "<source>(N): message"
        if (error.compare(0, 5, "line ") == 0) {
            const size_t colon = error.find(':');
            if (colon != std::string::npos)
                error = source + "(" + error.substr(5, colon - 5) + ")" + error.substr(colon);
        } else {
            error = source + ": " + error;
        }
        return Fail(error, hr, what, errors);
    }
    auto* e = new (std::nothrow) Effect(device);
    if (!e) return Fail(source + ": out of memory", E_OUTOFMEMORY, what, errors);
    try {
        hr = e->Build(file, DefinesText(defines), source, &error);
    } catch (const std::bad_alloc&) {
        hr = E_OUTOFMEMORY;
        error = source + ": out of memory";
    }
    if (FAILED(hr)) {
        e->Release();
        return Fail(error, hr, what, errors);
    }
    *effect = e;
    return S_OK;
}

}  // namespace

HRESULT D3DXCreateEffectFromFile(IDirect3DDevice9* device, const wchar_t* path, const D3DXMACRO* defines,
                                 ID3DXInclude* include, DWORD /*flags*/, ID3DXEffectPool* pool, ID3DXEffect** effect,
                                 ID3DXBuffer** errors) {
    constexpr const char* kWhat = "D3DXCreateEffectFromFile";
    if (effect) *effect = nullptr;
    if (errors) *errors = nullptr;
    if (!device || !path || !effect || include || pool)
        return Fail("invalid argument", D3DERR_INVALIDCALL, kWhat, errors);
    const std::string native = PlatformNativePath(path);
    std::vector<uint8_t> bytes;
    std::string error;
    HRESULT hr = ReadFileBytes(native, &bytes, &error);
    if (FAILED(hr)) return Fail(error, hr, kWhat, errors);
    return CreateEffect(kWhat, device, bytes.data(), bytes.size(), native, defines, effect, errors);
}

HRESULT D3DXCreateEffect(IDirect3DDevice9* device, const void* data, UINT size, const D3DXMACRO* defines,
                         ID3DXInclude* include, DWORD /*flags*/, ID3DXEffectPool* pool, ID3DXEffect** effect,
                         ID3DXBuffer** errors) {
    constexpr const char* kWhat = "D3DXCreateEffect";
    if (effect) *effect = nullptr;
    if (errors) *errors = nullptr;
    if (!device || !data || !effect || include || pool)
        return Fail("invalid argument", D3DERR_INVALIDCALL, kWhat, errors);
    return CreateEffect(kWhat, device, static_cast<const uint8_t*>(data), size, "effect", defines, effect, errors);
}
