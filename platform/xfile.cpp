#include "platform/xfile.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <map>
#include <new>

#include "platform/ascii.h"
#include "platform/file_read.h"

namespace {

constexpr int kMaxFrameDepth = 128;

enum class Tok {
    End,
    Name,
    Number,
    String,
    Guid,
    LBrace,
    RBrace,
    Separator,  // ',' or ';'
    Other,      // '[', ']', and anything else a template may hold
};

struct Token {
    Tok kind = Tok::End;
    const char* begin = nullptr;
    size_t length = 0;
    int line = 0;

    std::string Text() const {
        return kind == Tok::End ? "end of file" : QuotedExcerpt(std::string_view(begin, length));
    }
    bool Is(const char* word) const { return kind == Tok::Name && length == std::strlen(word) && std::memcmp(begin, word, length) == 0; }
    bool IsNoCase(const char* word) const {
        return kind == Tok::Name && EqualIgnoringAsciiCase(std::string_view(begin, length), word);
    }
};

// Thrown inside the parser only; turned into a result code at the boundary.
struct ParseError {
    int line;
    std::string message;
};

bool IsNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool IsNameChar(char c) { return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

class Lexer {
public:
    Lexer(const char* data, size_t size) : m_p(data), m_end(data + size) {}

    const Token& Peek() {
        if (!m_hasPeek) {
            m_peek = Scan();
            m_hasPeek = true;
        }
        return m_peek;
    }
    Token Next() {
        Token t = Peek();
        m_hasPeek = false;
        return t;
    }
    // Bytes not yet consumed: the bound for every count read from the file.
    size_t Remaining() const { return static_cast<size_t>(m_end - m_p); }
    int Line() const { return m_hasPeek ? m_peek.line : m_line; }
    void SkipLine() {
        while (m_p < m_end && *m_p != '\n') ++m_p;
    }

private:
    Token Scan() {
        for (;;) {
            while (m_p < m_end && (*m_p == ' ' || *m_p == '\t' || *m_p == '\r' || *m_p == '\n' || *m_p == '\f' ||
                                   *m_p == '\v')) {
                if (*m_p == '\n') ++m_line;
                ++m_p;
            }
            if (m_p >= m_end) return Token{Tok::End, m_end, 0, m_line};
            if (*m_p == '#' || (*m_p == '/' && m_p + 1 < m_end && m_p[1] == '/')) {
                SkipLine();
                continue;
            }
            break;
        }
        Token t;
        t.begin = m_p;
        t.line = m_line;
        char c = *m_p;
        if (IsNameStart(c)) {
            while (m_p < m_end && IsNameChar(*m_p)) ++m_p;
            t.kind = Tok::Name;
        } else if (IsDigit(c) || c == '-' || c == '+' || c == '.') {
            ++m_p;
            while (m_p < m_end && (IsDigit(*m_p) || *m_p == '.' || *m_p == 'e' || *m_p == 'E' ||
                                   ((*m_p == '-' || *m_p == '+') && (m_p[-1] == 'e' || m_p[-1] == 'E'))))
                ++m_p;
            t.kind = Tok::Number;
        } else if (c == '"') {
            SkipDelimited('"', t.line, "unterminated string");
            t.kind = Tok::String;
        } else if (c == '<') {
            SkipDelimited('>', t.line, "unterminated <identifier>");
            t.kind = Tok::Guid;
        } else if (c == '{') {
            ++m_p;
            t.kind = Tok::LBrace;
        } else if (c == '}') {
            ++m_p;
            t.kind = Tok::RBrace;
        } else if (c == ',' || c == ';') {
            ++m_p;
            t.kind = Tok::Separator;
        } else {
            ++m_p;
            t.kind = Tok::Other;
        }
        t.length = static_cast<size_t>(m_p - t.begin);
        return t;
    }

    // From an opening character past its closing one, which must stand on
    // the same line.
    void SkipDelimited(char close, int line, const char* unterminated) {
        ++m_p;
        while (m_p < m_end && *m_p != close && *m_p != '\n') ++m_p;
        if (m_p >= m_end || *m_p != close) throw ParseError{line, unterminated};
        ++m_p;
    }

    const char* m_p;
    const char* m_end;
    int m_line = 1;
    Token m_peek;
    bool m_hasPeek = false;
};

struct PendingReference {
    size_t mesh;
    size_t material;
    std::string name;
    int line;
};

class Parser {
public:
    Parser(const char* data, size_t size) : m_lex(data, size) {}

    void Run(XFile* out) {
        m_out = out;
        for (;;) {
            Token t = NextSkippingSeparators();
            if (t.kind == Tok::End) break;
            if (t.kind == Tok::LBrace) {
                SkipBody(t);  // a top-level reference
                continue;
            }
            if (t.kind != Tok::Name) Fail(t, "expected a template or data object, found " + t.Text());
            if (t.Is("template")) {
                SkipTemplate(t);
                continue;
            }
            DataObject(t, 0);
        }
        ResolveReferences();
    }

private:
    [[noreturn]] static void Fail(const Token& t, const std::string& message) { throw ParseError{t.line, message}; }

    Token NextSkippingSeparators() {
        while (m_lex.Peek().kind == Tok::Separator) m_lex.Next();
        return m_lex.Next();
    }
    const Token& PeekSkippingSeparators() {
        while (m_lex.Peek().kind == Tok::Separator) m_lex.Next();
        return m_lex.Peek();
    }

    void Expect(Tok kind, const char* what) {
        Token t = NextSkippingSeparators();
        if (t.kind != kind) Fail(t, std::string("expected ") + what + ", found " + t.Text());
    }

    // After an object's type: optional name, '{', optional identifier.
    std::string ObjectHeader(const Token& type) {
        std::string name;
        Token t = m_lex.Next();
        if (t.kind == Tok::Name) {
            name.assign(t.begin, t.length);
            t = m_lex.Next();
        }
        if (t.kind != Tok::LBrace)
            Fail(t, "expected '{' after " + type.Text() + ", found " + t.Text());
        if (m_lex.Peek().kind == Tok::Guid) m_lex.Next();
        return name;
    }

    // Skips to the '}' that closes a block whose '{' was just read.
    void SkipBody(const Token& start) {
        size_t depth = 1;
        for (;;) {
            Token t = m_lex.Next();
            if (t.kind == Tok::End)
                Fail(t, "unexpected end of file inside the block started at line " + std::to_string(start.line));
            if (t.kind == Tok::LBrace) ++depth;
            if (t.kind == Tok::RBrace && --depth == 0) return;
        }
    }

    void SkipObject(const Token& type) {
        ObjectHeader(type);
        SkipBody(type);
    }

    void SkipTemplate(const Token& t) {
        Token name = m_lex.Next();
        if (name.kind != Tok::Name) Fail(name, "expected a template name, found " + name.Text());
        Token brace = m_lex.Next();
        if (brace.kind != Tok::LBrace) Fail(brace, "expected '{' after template " + name.Text());
        SkipBody(t);
    }

    // The next token, which must be a number, converted into *value; *whole
    // tells whether the conversion took all of its text.
    template <class T>
    Token NumberToken(const char* what, T* value, bool* whole) {
        Token t = NextSkippingSeparators();
        if (t.kind != Tok::Number) Fail(t, std::string("expected ") + what + ", found " + t.Text());
        const char* b = t.begin;
        const char* e = t.begin + t.length;
        if (*b == '+') ++b;  // from_chars takes no plus sign
        auto r = std::from_chars(b, e, *value);
        *whole = r.ec == std::errc() && r.ptr == e;
        return t;
    }
    double Number(const char* what) {
        double v = 0;
        bool whole = false;
        const Token t = NumberToken(what, &v, &whole);
        if (!whole || !std::isfinite(v)) Fail(t, "bad number " + t.Text());
        return v;
    }
    float Float(const char* what) {
        double v = Number(what);
        if (std::fabs(v) > 3.0e38) throw ParseError{m_lex.Line(), std::string(what) + " out of range"};
        return static_cast<float>(v);
    }
    uint32_t Count(const char* what, int* line = nullptr) {
        uint32_t v = 0;
        bool whole = false;
        const Token t = NumberToken(what, &v, &whole);
        if (line) *line = t.line;
        if (!whole) Fail(t, std::string("expected ") + what + " (a whole number), found " + t.Text());
        return v;
    }
    // A count of items of itemNumbers numbers each: no more than the rest of
    // the input can hold.
    void CheckCount(uint64_t count, uint64_t itemNumbers, int line, const char* what) {
        if (count * itemNumbers > m_lex.Remaining())
            throw ParseError{line, std::string(what) + " count " + std::to_string(count) + " exceeds the data in the file"};
    }
    // The next data object inside a block, into *t; false at the '}' that
    // closes the block. References ("{ Name }") among them are skipped.
    bool NextChild(const char* where, Token* t) {
        for (;;) {
            *t = NextSkippingSeparators();
            if (t->kind == Tok::RBrace) return false;
            if (t->kind != Tok::LBrace) break;
            SkipBody(*t);
        }
        if (t->kind != Tok::Name)
            Fail(*t, std::string("expected a data object or '}' in ") + where + ", found " + t->Text());
        return true;
    }
    void CloseObject(const char* what) {
        Token t = NextSkippingSeparators();
        if (t.kind != Tok::RBrace) Fail(t, std::string("expected '}' to end ") + what + ", found " + t.Text());
    }

    // Any data object after its type name.
    void DataObject(const Token& type, int depth) {
        if (type.Is("Frame")) {
            ObjectHeader(type);
            Frame(type, depth + 1);
        } else if (type.Is("Mesh")) {
            std::string name = ObjectHeader(type);
            Mesh(type, name);
        } else if (type.Is("Material")) {
            std::string name = ObjectHeader(type);
            XMaterial m = Material(type);
            if (!name.empty()) m_namedMaterials[name] = m;
        } else {
            SkipObject(type);
        }
    }

    void Frame(const Token& start, int depth) {
        if (depth > kMaxFrameDepth) Fail(start, "frames nested too deeply");
        size_t firstMesh = m_out->meshes.size();
        D3DXMATRIX local;
        D3DXMatrixIdentity(&local);
        for (Token t; NextChild("a frame", &t);) {
            if (t.Is("FrameTransformMatrix")) {
                ObjectHeader(t);
                for (int i = 0; i < 16; ++i) local.m[i / 4][i % 4] = Float("a matrix element");
                CloseObject("FrameTransformMatrix");
            } else {
                DataObject(t, depth);
            }
        }
        if (D3DXMatrixIsIdentity(&local)) return;
        D3DXMATRIX normalMatrix = local;
        D3DXMATRIX inverse;
        if (D3DXMatrixInverse(&inverse, nullptr, &local)) D3DXMatrixTranspose(&normalMatrix, &inverse);
        for (size_t i = firstMesh; i < m_out->meshes.size(); ++i) {
            XMesh& mesh = m_out->meshes[i];
            for (D3DXVECTOR3& p : mesh.positions) {
                D3DXVECTOR3 q;
                D3DXVec3TransformCoord(&q, &p, &local);
                p = q;
            }
            for (D3DXVECTOR3& n : mesh.normals) {
                D3DXVECTOR3 q;
                D3DXVec3TransformNormal(&q, &n, &normalMatrix);
                D3DXVec3Normalize(&n, &q);
            }
        }
    }

    void Mesh(const Token& start, const std::string& name) {
        XMesh mesh;
        mesh.name = name;
        mesh.line = start.line;
        int line = 0;
        uint32_t vertexCount = Count("the vertex count", &line);
        CheckCount(vertexCount, 3, line, "vertex");
        mesh.positions.resize(vertexCount);
        for (D3DXVECTOR3& p : mesh.positions) {
            p.x = Float("a vertex coordinate");
            p.y = Float("a vertex coordinate");
            p.z = Float("a vertex coordinate");
        }
        uint32_t faceCount = Count("the face count", &line);
        CheckCount(faceCount, 4, line, "face");
        mesh.polygonCount = faceCount;
        // Polygon sizes, for the normals' face lists and the material list.
        std::vector<uint32_t> polygonSizes(faceCount);
        std::vector<uint32_t> polygonFirstTriangle(faceCount);
        for (uint32_t f = 0; f < faceCount; ++f) {
            uint32_t n = Count("a face's corner count", &line);
            if (n < 3) throw ParseError{line, "face " + std::to_string(f) + " has " + std::to_string(n) + " corners; at least 3 are needed"};
            CheckCount(n, 1, line, "face corner");
            polygonSizes[f] = n;
            polygonFirstTriangle[f] = static_cast<uint32_t>(mesh.triangles.size());
            uint32_t first = 0, previous = 0;
            for (uint32_t k = 0; k < n; ++k) {
                uint32_t v = Count("a vertex index", &line);
                if (v >= vertexCount)
                    throw ParseError{line, "face " + std::to_string(f) + " uses vertex " + std::to_string(v) +
                                               ", but the mesh has " + std::to_string(vertexCount) + " vertices"};
                if (k == 0) first = v;
                if (k >= 2) mesh.triangles.push_back(XTriangle{{first, previous, v}, {0, 0, 0}, 0});
                previous = v;
            }
        }

        bool haveNormals = false, haveTexCoords = false, haveMaterials = false;
        for (Token t; NextChild("a mesh", &t);) {
            if (t.Is("MeshNormals")) {
                if (haveNormals) Fail(t, "a second MeshNormals in one mesh");
                haveNormals = true;
                ObjectHeader(t);
                Normals(&mesh, polygonSizes, polygonFirstTriangle);
            } else if (t.Is("MeshTextureCoords")) {
                if (haveTexCoords) Fail(t, "a second MeshTextureCoords in one mesh");
                haveTexCoords = true;
                ObjectHeader(t);
                uint32_t count = Count("the texture coordinate count", &line);
                if (count != vertexCount)
                    throw ParseError{line, "the mesh has " + std::to_string(vertexCount) + " vertices but " +
                                               std::to_string(count) + " texture coordinates"};
                mesh.texCoords.resize(count);
                for (D3DXVECTOR2& uv : mesh.texCoords) {
                    uv.x = Float("a texture coordinate");
                    uv.y = Float("a texture coordinate");
                }
                CloseObject("MeshTextureCoords");
            } else if (t.Is("MeshMaterialList")) {
                if (haveMaterials) Fail(t, "a second MeshMaterialList in one mesh");
                haveMaterials = true;
                ObjectHeader(t);
                MaterialList(&mesh, polygonSizes, polygonFirstTriangle);
            } else {
                SkipObject(t);  // vertex colours, skin data, ...
            }
        }
        m_out->meshes.push_back(std::move(mesh));
    }

    void Normals(XMesh* mesh, const std::vector<uint32_t>& polygonSizes,
                 const std::vector<uint32_t>& polygonFirstTriangle) {
        int line = 0;
        uint32_t count = Count("the normal count", &line);
        CheckCount(count, 3, line, "normal");
        mesh->normals.resize(count);
        for (D3DXVECTOR3& n : mesh->normals) {
            n.x = Float("a normal coordinate");
            n.y = Float("a normal coordinate");
            n.z = Float("a normal coordinate");
        }
        uint32_t faces = Count("the normal face count", &line);
        if (faces != polygonSizes.size())
            throw ParseError{line, "the mesh has " + std::to_string(polygonSizes.size()) + " faces but its normals list " +
                                       std::to_string(faces)};
        for (uint32_t f = 0; f < faces; ++f) {
            uint32_t n = Count("a normal face's corner count", &line);
            if (n != polygonSizes[f])
                throw ParseError{line, "normal face " + std::to_string(f) + " has " + std::to_string(n) +
                                           " corners, the mesh face has " + std::to_string(polygonSizes[f])};
            uint32_t first = 0, previous = 0;
            for (uint32_t k = 0; k < n; ++k) {
                uint32_t v = Count("a normal index", &line);
                if (v >= count)
                    throw ParseError{line, "normal face " + std::to_string(f) + " uses normal " + std::to_string(v) +
                                               ", but there are " + std::to_string(count) + " normals"};
                if (k == 0) first = v;
                if (k >= 2) {
                    XTriangle& tri = mesh->triangles[polygonFirstTriangle[f] + k - 2];
                    tri.normal[0] = first;
                    tri.normal[1] = previous;
                    tri.normal[2] = v;
                }
                previous = v;
            }
        }
        CloseObject("MeshNormals");
        if (count == 0 && faces > 0) throw ParseError{line, "MeshNormals has faces but no normals"};
    }

    void MaterialList(XMesh* mesh, const std::vector<uint32_t>& polygonSizes,
                      const std::vector<uint32_t>& polygonFirstTriangle) {
        int line = 0;
        uint32_t materialCount = Count("the material count", &line);
        CheckCount(materialCount, 2, line, "material");
        uint32_t indexCount = Count("the face index count", &line);
        if (indexCount > polygonSizes.size())
            throw ParseError{line, "the material list has " + std::to_string(indexCount) + " face indices for " +
                                       std::to_string(polygonSizes.size()) + " faces"};
        uint32_t last = 0;
        for (uint32_t f = 0; f < polygonSizes.size(); ++f) {
            if (f < indexCount) {
                last = Count("a material index", &line);
                if (last >= materialCount)
                    throw ParseError{line, "face " + std::to_string(f) + " uses material " + std::to_string(last) +
                                               ", but the list has " + std::to_string(materialCount) + " materials"};
            } else if (materialCount == 0) {
                throw ParseError{line, "the mesh's faces have no material to use"};
            }
            uint32_t end = f + 1 < polygonSizes.size() ? polygonFirstTriangle[f + 1]
                                                        : static_cast<uint32_t>(mesh->triangles.size());
            for (uint32_t t = polygonFirstTriangle[f]; t < end; ++t) mesh->triangles[t].material = last;
        }
        size_t meshIndex = m_out->meshes.size();  // the mesh is appended after its body
        for (;;) {
            Token t = NextSkippingSeparators();
            if (t.kind == Tok::RBrace) break;
            if (t.kind == Tok::LBrace) {
                Token ref = m_lex.Next();
                if (ref.kind != Tok::Name) Fail(ref, "expected a material name in a reference, found " + ref.Text());
                if (m_lex.Peek().kind == Tok::Guid) m_lex.Next();
                Token close = m_lex.Next();
                if (close.kind != Tok::RBrace) Fail(close, "expected '}' after a material reference, found " + close.Text());
                m_pending.push_back({meshIndex, mesh->materials.size(), std::string(ref.begin, ref.length), ref.line});
                mesh->materials.push_back(XMaterial{});
                continue;
            }
            if (t.Is("Material")) {
                std::string name = ObjectHeader(t);
                XMaterial m = Material(t);
                if (!name.empty()) m_namedMaterials[name] = m;
                mesh->materials.push_back(std::move(m));
                continue;
            }
            if (t.kind != Tok::Name) Fail(t, "expected a material or '}' in a material list, found " + t.Text());
            SkipObject(t);
        }
        if (mesh->materials.size() != materialCount)
            throw ParseError{line, "the material list declares " + std::to_string(materialCount) + " materials but holds " +
                                       std::to_string(mesh->materials.size())};
    }

    XMaterial Material(const Token& start) {
        (void)start;
        XMaterial m{};
        D3DMATERIAL9& d = m.material;
        d.Diffuse.r = Float("the face colour");
        d.Diffuse.g = Float("the face colour");
        d.Diffuse.b = Float("the face colour");
        d.Diffuse.a = Float("the face colour");
        d.Power = Float("the specular power");
        d.Specular.r = Float("the specular colour");
        d.Specular.g = Float("the specular colour");
        d.Specular.b = Float("the specular colour");
        d.Specular.a = 1.0f;
        d.Emissive.r = Float("the emissive colour");
        d.Emissive.g = Float("the emissive colour");
        d.Emissive.b = Float("the emissive colour");
        d.Emissive.a = 1.0f;
        d.Ambient = D3DCOLORVALUE{0, 0, 0, 0};
        for (Token t; NextChild("a material", &t);) {
            if (t.IsNoCase("TextureFilename")) {
                ObjectHeader(t);
                Token s = NextSkippingSeparators();
                if (s.kind != Tok::String) Fail(s, "expected a quoted texture file name, found " + s.Text());
                m.textureFilename.assign(s.begin + 1, s.length - 2);
                CloseObject("TextureFilename");
            } else {
                SkipObject(t);
            }
        }
        return m;
    }

    void ResolveReferences() {
        for (const PendingReference& r : m_pending) {
            auto it = m_namedMaterials.find(r.name);
            if (r.mesh >= m_out->meshes.size() || r.material >= m_out->meshes[r.mesh].materials.size())
                throw ParseError{r.line, "internal error resolving material '" + r.name + "'"};
            if (it == m_namedMaterials.end())
                throw ParseError{r.line, "the material list refers to an unknown material '" + r.name + "'"};
            m_out->meshes[r.mesh].materials[r.material] = it->second;
        }
    }

    Lexer m_lex;
    XFile* m_out = nullptr;
    std::map<std::string, XMaterial> m_namedMaterials;
    std::vector<PendingReference> m_pending;
};

HRESULT CheckHeader(const char* p, size_t size, std::string* message) {
    if (size < 16 || std::memcmp(p, "xof ", 4) != 0) {
        *message = "line 1: not a .x file (no \"xof \" header)";
        return D3DXERR_INVALIDDATA;
    }
    if (std::memcmp(p + 4, "0302", 4) != 0 && std::memcmp(p + 4, "0303", 4) != 0) {
        *message = "line 1: unsupported .x version \"" + std::string(p + 4, 4) + "\"";
        return D3DXERR_INVALIDDATA;
    }
    if (std::memcmp(p + 8, "txt ", 4) != 0) {
        *message = "line 1: only text .x files are supported (format \"" + std::string(p + 8, 4) + "\")";
        return D3DXERR_INVALIDDATA;
    }
    if (std::memcmp(p + 12, "0032", 4) != 0 && std::memcmp(p + 12, "0064", 4) != 0) {
        *message = "line 1: bad float size \"" + std::string(p + 12, 4) + "\" in the header";
        return D3DXERR_INVALIDDATA;
    }
    return S_OK;
}

}  // namespace

HRESULT XFileParse(const void* data, size_t size, XFile* out, std::string* error) {
    std::string ignored;
    std::string& message = error ? *error : ignored;
    out->meshes.clear();
    if (!data && size > 0) {
        message = "no data";
        return E_INVALIDARG;
    }
    const char* p = static_cast<const char*>(data);
    if (HRESULT hr = CheckHeader(p, size, &message); FAILED(hr)) return hr;
    try {
        Parser parser(p + 16, size - 16);
        parser.Run(out);
    } catch (const ParseError& e) {
        out->meshes.clear();
        message = "line " + std::to_string(e.line) + ": " + e.message;
        return D3DXERR_INVALIDDATA;
    } catch (const std::bad_alloc&) {
        out->meshes.clear();
        message = "out of memory";
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT XFileLoad(const std::string& path, XFile* out, std::string* error) {
    std::vector<uint8_t> bytes;
    out->meshes.clear();
    if (HRESULT hr = ReadFileBytes(path, &bytes, error); FAILED(hr)) return hr;
    std::string message;
    HRESULT hr = XFileParse(bytes.data(), bytes.size(), out, &message);
    if (FAILED(hr) && error) *error = path + ": " + message;
    return hr;
}
