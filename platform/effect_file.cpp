#include "platform/effect_file.h"

#include <cstring>
#include <new>

#include "platform/ascii.h"
#include "platform/file_read.h"

namespace {

struct ParseError {
    int line;
    std::string message;
};

enum class Tok { End, Name, Open /* << */, LBrace, RBrace, Equals, Semicolon, Other };

struct Token {
    Tok kind = Tok::End;
    std::string text;
    int line = 0;

    std::string Describe() const { return kind == Tok::End ? "end of file" : QuotedExcerpt(text); }
};

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v'; }

class Lexer {
public:
    Lexer(const char* text, size_t size) : m_p(text), m_end(text + size) {
        if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) m_p += 3;
    }

    Token Next() {
        SkipSpaceAndComments();
        Token t;
        t.line = m_line;
        if (m_p >= m_end) return t;
        const char* b = m_p;
        char c = *m_p;
        if (IsNameStart(c)) {
            while (m_p < m_end && IsNameChar(*m_p)) ++m_p;
            t.kind = Tok::Name;
        } else if (c == '<' && m_p + 1 < m_end && m_p[1] == '<') {
            m_p += 2;
            t.kind = Tok::Open;
        } else if (c == '{') {
            ++m_p;
            t.kind = Tok::LBrace;
        } else if (c == '}') {
            ++m_p;
            t.kind = Tok::RBrace;
        } else if (c == '=') {
            ++m_p;
            t.kind = Tok::Equals;
        } else if (c == ';') {
            ++m_p;
            t.kind = Tok::Semicolon;
        } else {
            // One character, or a run of name characters (e.g. "1abc") for a readable message.
            ++m_p;
            while (m_p < m_end && IsNameChar(*m_p) && IsNameChar(c)) ++m_p;
            t.kind = Tok::Other;
        }
        t.text.assign(b, m_p);
        return t;
    }

    // After "<<": the rest of the line must be blank (or a // comment); the
    // block runs to the first line whose only non-blank text is ">>".
    std::string CodeBlock(int openLine, int* firstLine) {
        const char* p = m_p;
        while (p < m_end && IsBlank(*p)) ++p;
        if (p < m_end && *p != '\n' && !(*p == '/' && p + 1 < m_end && p[1] == '/'))
            throw ParseError{openLine, "unexpected text after '<<' (the code starts on the next line)"};
        while (p < m_end && *p != '\n') ++p;
        if (p >= m_end) throw ParseError{openLine, "code block has no closing '>>'"};
        ++p;
        ++m_line;
        *firstLine = m_line;
        std::string code;
        for (;;) {
            if (p >= m_end) throw ParseError{openLine, "code block has no closing '>>'"};
            const char* lineEnd = static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(m_end - p)));
            const char* e = lineEnd ? lineEnd : m_end;
            const char* s = p;
            while (s < e && IsBlank(*s)) ++s;
            const char* t = e;
            while (t > s && IsBlank(t[-1])) --t;
            if (t - s == 2 && s[0] == '>' && s[1] == '>') {
                m_p = e;  // the newline (if any) is consumed by the next token scan
                return code;
            }
            const char* content = e;
            if (content > p && content[-1] == '\r') --content;
            code.append(p, content);
            code.push_back('\n');
            if (!lineEnd) throw ParseError{openLine, "code block has no closing '>>'"};
            p = lineEnd + 1;
            ++m_line;
        }
    }

private:
    void SkipSpaceAndComments() {
        for (;;) {
            while (m_p < m_end && (IsBlank(*m_p) || *m_p == '\n')) {
                if (*m_p == '\n') ++m_line;
                ++m_p;
            }
            if (m_p + 1 < m_end && m_p[0] == '/' && m_p[1] == '/') {
                while (m_p < m_end && *m_p != '\n') ++m_p;
                continue;
            }
            if (m_p + 1 < m_end && m_p[0] == '/' && m_p[1] == '*') {
                int start = m_line;
                m_p += 2;
                for (;;) {
                    if (m_p + 1 >= m_end) throw ParseError{start, "comment has no closing '*/'"};
                    if (m_p[0] == '*' && m_p[1] == '/') {
                        m_p += 2;
                        break;
                    }
                    if (*m_p == '\n') ++m_line;
                    ++m_p;
                }
                continue;
            }
            return;
        }
    }

    const char* m_p;
    const char* m_end;
    int m_line = 1;
};

struct StateName {
    const char* name;
    D3DRENDERSTATETYPE state;
    int kind;  // 0 boolean, 1 blend, 2 cull, 3 fill
};
constexpr StateName kStates[] = {
    {"ZEnable", D3DRS_ZENABLE, 0},        {"ZWriteEnable", D3DRS_ZWRITEENABLE, 0},
    {"AlphaBlendEnable", D3DRS_ALPHABLENDENABLE, 0}, {"SrcBlend", D3DRS_SRCBLEND, 1},
    {"DestBlend", D3DRS_DESTBLEND, 1},    {"CullMode", D3DRS_CULLMODE, 2},
    {"FillMode", D3DRS_FILLMODE, 3},
};
struct ValueName {
    const char* name;
    DWORD value;
};
constexpr ValueName kBooleans[] = {{"TRUE", 1}, {"FALSE", 0}};
constexpr ValueName kBlends[] = {
    {"ZERO", D3DBLEND_ZERO},           {"ONE", D3DBLEND_ONE},
    {"SRCALPHA", D3DBLEND_SRCALPHA},   {"INVSRCALPHA", D3DBLEND_INVSRCALPHA},
    {"SRCCOLOR", D3DBLEND_SRCCOLOR},   {"INVSRCCOLOR", D3DBLEND_INVSRCCOLOR},
    {"DESTALPHA", D3DBLEND_DESTALPHA}, {"INVDESTALPHA", D3DBLEND_INVDESTALPHA},
    {"DESTCOLOR", D3DBLEND_DESTCOLOR}, {"INVDESTCOLOR", D3DBLEND_INVDESTCOLOR},
};
constexpr ValueName kCulls[] = {{"NONE", D3DCULL_NONE}, {"CW", D3DCULL_CW}, {"CCW", D3DCULL_CCW}};
constexpr ValueName kFills[] = {{"SOLID", D3DFILL_SOLID}, {"WIREFRAME", D3DFILL_WIREFRAME}};

template <size_t N>
bool LookUp(const ValueName (&table)[N], const std::string& text, DWORD* value) {
    for (const ValueName& v : table)
        if (EqualIgnoringAsciiCase(text, v.name)) {
            *value = v.value;
            return true;
        }
    return false;
}

class Parser {
public:
    Parser(const char* text, size_t size) : m_lex(text, size) {}

    void Run(EffectFile* out) {
        m_out = out;
        int endLine = 1;
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::End) {
                endLine = t.line;
                break;
            }
            if (t.kind == Tok::Name && t.text == "shared") {
                if (out->hasShared) Fail(t, "a second shared block");
                Expect(Tok::Open, "'<<' after 'shared'");
                out->hasShared = true;
                out->sharedCode = m_lex.CodeBlock(m_last.line, &out->sharedFirstLine);
            } else if (t.kind == Tok::Name && (t.text == "vertex" || t.text == "fragment")) {
                EffectCodeBlock block;
                block.stage = t.text == "vertex" ? EffectStage::Vertex : EffectStage::Fragment;
                Token name = ExpectName("a block name after '" + t.text + "'");
                block.name = name.text;
                if (out->FindBlock(block.stage, block.name))
                    Fail(name, t.text + " block '" + block.name + "' is defined twice");
                Expect(Tok::Open, "'<<' after the block name");
                block.code = m_lex.CodeBlock(m_last.line, &block.firstLine);
                out->blocks.push_back(std::move(block));
            } else if (t.kind == Tok::Name && t.text == "technique") {
                Technique(t);
            } else {
                Fail(t, "expected 'shared', 'vertex', 'fragment' or 'technique', found " + t.Describe());
            }
        }
        if (out->techniques.empty()) throw ParseError{endLine, "the file has no technique"};
        // Passes may name blocks defined further down: check them at the end.
        for (const EffectTechnique& tech : out->techniques)
            for (const EffectPass& pass : tech.passes) {
                if (!out->FindBlock(EffectStage::Vertex, pass.vertexBlock))
                    throw ParseError{pass.vertexLine, "pass '" + pass.name + "' names vertex block '" +
                                                          pass.vertexBlock + "', which the file does not define"};
                if (!out->FindBlock(EffectStage::Fragment, pass.fragmentBlock))
                    throw ParseError{pass.fragmentLine, "pass '" + pass.name + "' names fragment block '" +
                                                            pass.fragmentBlock + "', which the file does not define"};
            }
    }

private:
    [[noreturn]] static void Fail(const Token& t, const std::string& message) { throw ParseError{t.line, message}; }

    Token Expect(Tok kind, const std::string& what) {
        m_last = m_lex.Next();
        if (m_last.kind != kind) Fail(m_last, "expected " + what + ", found " + m_last.Describe());
        return m_last;
    }
    Token ExpectName(const std::string& what) { return Expect(Tok::Name, what); }

    void Technique(const Token& start) {
        EffectTechnique tech;
        Token name = ExpectName("a technique name");
        tech.name = name.text;
        tech.line = start.line;
        if (m_out->FindTechnique(tech.name)) Fail(name, "technique '" + tech.name + "' is defined twice");
        Expect(Tok::LBrace, "'{' after the technique name");
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::RBrace) break;
            if (t.kind != Tok::Name || t.text != "pass") Fail(t, "expected 'pass' or '}', found " + t.Describe());
            Pass(t, &tech);
        }
        if (tech.passes.empty()) Fail(start, "technique '" + tech.name + "' has no pass");
        m_out->techniques.push_back(std::move(tech));
    }

    void Pass(const Token& start, EffectTechnique* tech) {
        EffectPass pass;
        Token name = ExpectName("a pass name");
        pass.name = name.text;
        pass.line = start.line;
        for (const EffectPass& p : tech->passes)
            if (p.name == pass.name) Fail(name, "pass '" + pass.name + "' is defined twice in technique '" + tech->name + "'");
        Expect(Tok::LBrace, "'{' after the pass name");
        int vertexLine = 0, fragmentLine = 0;
        for (;;) {
            Token key = m_lex.Next();
            if (key.kind == Tok::RBrace) break;
            if (key.kind != Tok::Name) Fail(key, "expected a state name or '}', found " + key.Describe());
            Expect(Tok::Equals, "'=' after '" + key.text + "'");
            Token value = ExpectName("a value for '" + key.text + "'");
            Expect(Tok::Semicolon, "';' after the value of '" + key.text + "'");
            if (key.text == "vertex" || key.text == "fragment") {
                bool vertex = key.text == "vertex";
                int& line = vertex ? vertexLine : fragmentLine;
                if (line) Fail(key, "pass '" + pass.name + "' names its " + key.text + " block twice");
                line = key.line;
                (vertex ? pass.vertexBlock : pass.fragmentBlock) = value.text;
                continue;
            }
            const StateName* state = nullptr;
            for (const StateName& s : kStates)
                if (EqualIgnoringAsciiCase(key.text, s.name)) state = &s;
            if (!state) Fail(key, "unknown render state '" + key.text + "'");
            DWORD v = 0;
            bool ok = state->kind == 0   ? LookUp(kBooleans, value.text, &v)
                      : state->kind == 1 ? LookUp(kBlends, value.text, &v)
                      : state->kind == 2 ? LookUp(kCulls, value.text, &v)
                                         : LookUp(kFills, value.text, &v);
            if (!ok) Fail(value, "unknown value '" + value.text + "' for " + state->name);
            pass.states.push_back(EffectRenderState{state->state, v, key.line});
        }
        if (!vertexLine) Fail(start, "pass '" + pass.name + "' names no vertex block");
        if (!fragmentLine) Fail(start, "pass '" + pass.name + "' names no fragment block");
        pass.vertexLine = vertexLine;
        pass.fragmentLine = fragmentLine;
        tech->passes.push_back(std::move(pass));
    }

    Lexer m_lex;
    Token m_last;
    EffectFile* m_out = nullptr;
};

}  // namespace

const EffectCodeBlock* EffectFile::FindBlock(EffectStage stage, const std::string& name) const {
    for (const EffectCodeBlock& b : blocks)
        if (b.stage == stage && b.name == name) return &b;
    return nullptr;
}

const EffectTechnique* EffectFile::FindTechnique(const std::string& name) const {
    for (const EffectTechnique& t : techniques)
        if (t.name == name) return &t;
    return nullptr;
}

HRESULT EffectFileParse(const char* text, size_t size, EffectFile* out, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    *out = EffectFile{};
    if (!text && size > 0) {
        message = "no data";
        return E_INVALIDARG;
    }
    try {
        Parser parser(text, size);
        parser.Run(out);
    } catch (const ParseError& e) {
        *out = EffectFile{};
        message = "line " + std::to_string(e.line) + ": " + e.message;
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        *out = EffectFile{};
        message = "out of memory";
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT EffectFileLoad(const std::string& path, EffectFile* out, std::string* error) {
    std::vector<uint8_t> bytes;
    *out = EffectFile{};
    if (HRESULT hr = ReadFileBytes(path, &bytes, error); FAILED(hr)) return hr;
    std::string message;
    HRESULT hr = EffectFileParse(reinterpret_cast<const char*>(bytes.data()), bytes.size(), out, &message);
    if (FAILED(hr) && error) *error = path + ": " + message;
    return hr;
}

HRESULT EffectAssemblePass(const EffectFile& file, const EffectPass& pass, const EffectAssemblyHooks& hooks,
                           EffectPassSources* out) {
    const EffectCodeBlock* vs = file.FindBlock(EffectStage::Vertex, pass.vertexBlock);
    const EffectCodeBlock* fs = file.FindBlock(EffectStage::Fragment, pass.fragmentBlock);
    if (!vs || !fs || !out) return E_INVALIDARG;
    auto assemble = [&](const EffectCodeBlock& block, const std::string& preamble, const std::string& epilogue) {
        std::string s = "#version 330 core\n";
        if (!preamble.empty()) {
            s += preamble;
            if (s.back() != '\n') s += '\n';
        }
        if (file.hasShared) {
            s += "#line " + std::to_string(file.sharedFirstLine) + "\n";
            s += file.sharedCode;
        }
        if (!epilogue.empty()) s += "#define main effect_vertex_main\n";
        s += "#line " + std::to_string(block.firstLine) + "\n";
        s += block.code;
        if (!epilogue.empty()) {
            s += "#undef main\n#line 1 1\nvoid main()\n{\n    effect_vertex_main();\n";
            s += epilogue;
            if (s.back() != '\n') s += '\n';
            s += "}\n";
        }
        return s;
    };
    try {
        EffectPassSources r;
        r.vertex = assemble(*vs, hooks.vertexPreamble, hooks.vertexEpilogue);
        r.fragment = assemble(*fs, hooks.fragmentPreamble, std::string());
        *out = std::move(r);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
