// Effects: a two-pass technique draws with the parameters set before and
// during its passes; render states of a pass are put back; broken files fail
// with the file, the line and the compiler's message; unknown parameters and
// calls out of order fail.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "platform/d3dx_effect.h"
#include "platform/d3dx_mesh.h"
#include "platform/system.h"
#include "support/d3dx_fixture.h"

namespace {

// Pass 0 draws the texture tinted by g_vTint; pass 1 adds g_fBlue of blue.
// Both place the quad with g_mWorldViewProjection.
const char kTwoPass[] = R"FX(// two passes
shared <<
uniform mat4 g_mWorldViewProjection;
uniform vec4 g_vTint;
uniform float g_fBlue;
uniform sampler2D g_txScene;
uniform int g_nUnused;
>>

vertex VS <<
in vec3 in_Position;
in vec2 in_TexCoord0;
out vec2 v_TexCoord;
void main()
{
    gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection;
    v_TexCoord = in_TexCoord0;
}
>>

fragment PS_Tint <<
in vec2 v_TexCoord;
out vec4 out_Color;
void main() { out_Color = texture(g_txScene, v_TexCoord) * g_vTint; }
>>

fragment PS_Blue <<
out vec4 out_Color;
void main() { out_Color = vec4(0.0, 0.0, g_fBlue, 1.0); }
>>

technique Other
{
    pass Only { vertex = VS; fragment = PS_Blue; }
}

technique RenderScene
{
    pass P0
    {
        vertex = VS;
        fragment = PS_Tint;
        ZEnable = FALSE;
        CullMode = NONE;
    }
    pass P1
    {
        vertex = VS;
        fragment = PS_Blue;
        ZEnable = FALSE;
        CullMode = NONE;
        AlphaBlendEnable = TRUE;
        SrcBlend = ONE;
        DestBlend = ONE;
    }
}
)FX";

struct QuadVertex {
    float x, y, z;
    float u, v;
};

class EffectTest : public GlHelpersTest {
protected:
    void SetUp() override {
        GlHelpersTest::SetUp();
        if (!device) return;
        ASSERT_EQ(D3DXCreateEffect(device, kTwoPass, UINT(std::strlen(kTwoPass)), nullptr, nullptr,
                                   D3DXFX_NOT_CLONEABLE | D3DXSHADER_DEBUG, nullptr, &effect, nullptr),
                  S_OK);
        // A quad over the left half of clip space (x -1..0, y -1..1).
        ASSERT_EQ(D3DXCreateMeshFVF(2, 4, D3DXMESH_MANAGED, D3DFVF_XYZ | D3DFVF_TEX1, device, &quad), S_OK);
        QuadVertex* v = nullptr;
        ASSERT_EQ(quad->LockVertexBuffer(0, reinterpret_cast<void**>(&v)), S_OK);
        v[0] = {-1, 1, 0.5f, 0, 0};
        v[1] = {0, 1, 0.5f, 1, 0};
        v[2] = {0, -1, 0.5f, 1, 1};
        v[3] = {-1, -1, 0.5f, 0, 1};
        quad->UnlockVertexBuffer();
        uint16_t* idx = nullptr;
        ASSERT_EQ(quad->LockIndexBuffer(0, reinterpret_cast<void**>(&idx)), S_OK);
        const uint16_t faces[6] = {0, 1, 2, 0, 2, 3};
        std::memcpy(idx, faces, sizeof faces);
        quad->UnlockIndexBuffer();
        ASSERT_EQ(device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &white, nullptr), S_OK);
        D3DLOCKED_RECT lr;
        white->LockRect(0, &lr, nullptr, 0);
        *static_cast<uint32_t*>(lr.pBits) = 0xFFFFFFFF;
        white->UnlockRect(0);
    }
    void TearDown() override {
        if (white) white->Release();
        if (quad) quad->Release();
        if (effect) effect->Release();
        GlHelpersTest::TearDown();
    }
    // Runs every pass of the current technique over the quad.
    void DrawAllPasses() {
        UINT passes = 0;
        ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
        for (UINT p = 0; p < passes; ++p) {
            ASSERT_EQ(effect->BeginPass(p), S_OK);
            ASSERT_EQ(quad->DrawSubset(0), S_OK);
            ASSERT_EQ(effect->EndPass(), S_OK);
        }
        ASSERT_EQ(effect->End(), S_OK);
    }
    ID3DXEffect* effect = nullptr;
    ID3DXMesh* quad = nullptr;
    IDirect3DTexture9* white = nullptr;
};

TEST_F(EffectTest, TwoPassesDrawWithTheParametersSetBeforeBegin) {
    ASSERT_EQ(effect->SetTechnique("RenderScene"), S_OK);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    ASSERT_EQ(effect->SetMatrix("g_mWorldViewProjection", &identity), S_OK);
    const D3DXVECTOR4 red(1, 0, 0, 1);
    ASSERT_EQ(effect->SetVector("g_vTint", &red), S_OK);
    ASSERT_EQ(effect->SetFloat("g_fBlue", 0.5f), S_OK);
    ASSERT_EQ(effect->SetTexture("g_txScene", white), S_OK);
    Clear(0xFF000000);
    DrawAllPasses();
    Read();
    // Red from pass 0 plus half blue from pass 1, on the left half only.
    ExpectPixel(10, 60, {255, 0, 128});
    ExpectPixel(79, 10, {255, 0, 128});
    ExpectPixel(80, 60, {0, 0, 0});
    EXPECT_EQ(CountNear({255, 0, 128}), kWidth * kHeight / 2);
    // The pass's render states were put back.
    DWORD value = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &value);
    EXPECT_EQ(value, DWORD(FALSE));
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(value, DWORD(D3DZB_TRUE));
    device->GetRenderState(D3DRS_CULLMODE, &value);
    EXPECT_EQ(value, DWORD(D3DCULL_CCW));

    // Moved to the right half by a translation set between frames: both
    // passes' programs receive it.
    D3DXMATRIX right;
    D3DXMatrixTranslation(&right, 1, 0, 0);
    ASSERT_EQ(effect->SetMatrix("g_mWorldViewProjection", &right), S_OK);
    Clear(0xFF000000);
    DrawAllPasses();
    Read();
    ExpectPixel(10, 60, {0, 0, 0});
    ExpectPixel(120, 60, {255, 0, 128});
}

TEST_F(EffectTest, ChangesInsideAPassTakeEffectAtCommit) {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    effect->SetMatrix("g_mWorldViewProjection", &identity);
    effect->SetTexture("g_txScene", white);
    const D3DXVECTOR4 green(0, 1, 0, 1), grey(0.5f, 0.5f, 0.5f, 1);
    effect->SetVector("g_vTint", &green);
    Clear(0xFF000000);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(passes, 1u) << "the first technique is current";
    ASSERT_EQ(effect->SetTechnique("RenderScene"), D3DERR_INVALIDCALL) << "not between Begin and End";
    ASSERT_EQ(effect->End(), S_OK);
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("RenderScene")), S_OK);
    ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(passes, 2u);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    quad->DrawSubset(0);  // green, left half
    D3DXMATRIX right;
    D3DXMatrixTranslation(&right, 1, 0, 0);
    effect->SetMatrix("g_mWorldViewProjection", &right);
    effect->SetVector("g_vTint", &grey);
    ASSERT_EQ(effect->CommitChanges(), S_OK);
    quad->DrawSubset(0);  // grey, right half
    ASSERT_EQ(effect->EndPass(), S_OK);
    ASSERT_EQ(effect->End(), S_OK);
    Read();
    ExpectPixel(20, 60, {0, 255, 0});
    ExpectPixel(140, 60, {128, 128, 128});
    D3DXVECTOR4 back;
    ASSERT_EQ(effect->GetVector("g_vTint", &back), S_OK);
    EXPECT_EQ(back, grey);
}

TEST_F(EffectTest, ParametersAreFoundByNameAndCheckedByKind) {
    D3DXEFFECT_DESC desc{};
    ASSERT_EQ(effect->GetDesc(&desc), S_OK);
    EXPECT_EQ(desc.Parameters, 5u);
    EXPECT_EQ(desc.Techniques, 2u);
    const char* names[] = {"g_mWorldViewProjection", "g_vTint", "g_fBlue", "g_txScene", "g_nUnused"};
    for (UINT i = 0; i < 5; ++i) {
        D3DXHANDLE h = effect->GetParameterByName(nullptr, names[i]);
        ASSERT_NE(h, nullptr) << names[i];
        EXPECT_STREQ(effect->GetParameter(nullptr, i), names[i]);
    }
    D3DXPARAMETER_DESC pd{};
    ASSERT_EQ(effect->GetParameterDesc("g_mWorldViewProjection", &pd), S_OK);
    EXPECT_EQ(pd.Class, D3DXPC_MATRIX_ROWS);
    EXPECT_EQ(pd.Bytes, 64u);

    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    const D3DXVECTOR4 v(1, 2, 3, 4);
    EXPECT_EQ(effect->GetParameterByName(nullptr, "g_mNoSuchMatrix"), nullptr);
    EXPECT_EQ(effect->SetMatrix("g_mNoSuchMatrix", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetVector("g_vNoSuchVector", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("g_fNoSuchFloat", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("g_txNoSuchTexture", white), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetMatrix(nullptr, &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTechnique("NoSuchTechnique"), D3DERR_INVALIDCALL);
    // Kinds: a matrix is no vector, a texture no float, and so on.
    EXPECT_EQ(effect->SetMatrix("g_vTint", &m), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetVector("g_mWorldViewProjection", &v), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetFloat("g_txScene", 1.0f), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->SetTexture("g_fBlue", white), D3DERR_INVALIDCALL);
    // A float takes the first component of a vector; an unused uniform is
    // still a parameter.
    EXPECT_EQ(effect->SetVector("g_fBlue", &v), S_OK);
    FLOAT f = 0;
    EXPECT_EQ(effect->GetFloat("g_fBlue", &f), S_OK);
    EXPECT_EQ(f, 1.0f);
    EXPECT_EQ(effect->SetInt("g_nUnused", 7), S_OK);
    // The effect keeps a reference to its texture.
    IDirect3DBaseTexture9* t = nullptr;
    ASSERT_EQ(effect->SetTexture("g_txScene", white), S_OK);
    ASSERT_EQ(effect->GetTexture("g_txScene", &t), S_OK);
    EXPECT_EQ(t, white);
    t->Release();
}

TEST_F(EffectTest, CallsOutOfOrderFail) {
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->CommitChanges(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->EndPass(), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), D3DERR_INVALIDCALL);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(effect->Begin(&passes, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->BeginPass(passes), D3DERR_INVALIDCALL);
    ASSERT_EQ(effect->BeginPass(0), S_OK);
    EXPECT_EQ(effect->BeginPass(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->End(), S_OK) << "ends the open pass too";
    // Outside a pass the device has no program for transformed vertices.
    EXPECT_EQ(quad->DrawSubset(0), D3DERR_INVALIDCALL);
    EXPECT_EQ(effect->OnLostDevice(), S_OK);
    EXPECT_EQ(effect->OnResetDevice(), S_OK);
}

// Creates an effect from text, returning the result, the errors buffer's
// text and what went to the debugger output.
struct Outcome {
    HRESULT hr;
    std::string errors;
    std::string trace;
};
Outcome Create(IDirect3DDevice9* device, const std::string& text) {
    ID3DXEffect* effect = nullptr;
    ID3DXBuffer* errors = nullptr;
    ::testing::internal::CaptureStderr();
    Outcome o;
    o.hr = D3DXCreateEffect(device, text.data(), UINT(text.size()), nullptr, nullptr, 0, nullptr, &effect, &errors);
    o.trace = ::testing::internal::GetCapturedStderr();
    if (errors) {
        o.errors = static_cast<const char*>(errors->GetBufferPointer());
        EXPECT_EQ(errors->GetBufferSize(), o.errors.size() + 1);
        errors->Release();
    }
    EXPECT_EQ(effect == nullptr, FAILED(o.hr));
    if (effect) effect->Release();
    return o;
}

TEST_F(EffectTest, BrokenFilesFailWithTheLineAndTheCompilersMessage) {
    // An undeclared name on line 17 of the file, in the vertex code.
    std::string compile = kTwoPass;
    compile.replace(compile.find("v_TexCoord = in_TexCoord0;"), 26, "v_TexCoord = in_NoSuchInput;");
    const int compileLine = 17;
    // A pass naming a fragment block that does not exist: a structural error
    // on the pass's lines (46-49).
    std::string structure = kTwoPass;
    structure.replace(structure.find("        fragment = PS_Blue;\n        ZEnable"), 28, "        fragment = PS_None;\n");
    struct Case {
        const char* name;
        std::string text;
        std::string expect;  // in the message
    } const cases[] = {
        {"GLSL error", compile, "effect(" + std::to_string(compileLine) + ")"},
        {"unknown block", structure, "effect(4"},
        {"syntax", "technique T { pass P { vertex = ; } }\n", "effect(1)"},
        {"no technique", "shared <<\n>>\n", "effect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome o = Create(device, c.text);
        EXPECT_EQ(o.hr, D3DXERR_INVALIDDATA);
        EXPECT_NE(o.errors.find(c.expect), std::string::npos) << o.errors;
        EXPECT_NE(o.trace.find(o.errors), std::string::npos) << "the trace carries the same message: " << o.trace;
        EXPECT_NE(o.trace.find("D3DXCreateEffect"), std::string::npos) << o.trace;
    }
    const Outcome glsl = Create(device, compile);
    EXPECT_NE(glsl.errors.find("in_NoSuchInput"), std::string::npos) << "the compiler's own words: " << glsl.errors;
    // The first pass compiled with that code names it.
    EXPECT_NE(glsl.errors.find("technique Other, pass Only"), std::string::npos) << glsl.errors;
}

TEST_F(EffectTest, FilesAreReadByTheProgramsPaths) {
    std::string dir = ::testing::TempDir();
    if (dir.back() != '/') dir += '/';
    const std::string path = dir + "trevolia_effect_test.fx";
    std::ofstream(path) << kTwoPass;
    std::wstring wide = Utf8ToWide(path);
    for (wchar_t& c : wide)
        if (c == L'/') c = L'\\';
    ID3DXEffect* fromFile = nullptr;
    ASSERT_EQ(D3DXCreateEffectFromFile(device, wide.c_str(), nullptr, nullptr, D3DXFX_NOT_CLONEABLE, nullptr,
                                       &fromFile, nullptr),
              S_OK);
    EXPECT_NE(fromFile->GetTechniqueByName("RenderScene"), nullptr);
    fromFile->Release();

    ID3DXBuffer* errors = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateEffectFromFile(device, L"\\no\\such\\effect.fx", nullptr, nullptr, 0, nullptr, &fromFile,
                                       &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("effect.fx"), std::string::npos);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("effect.fx"), std::string::npos);
    errors->Release();
    EXPECT_EQ(fromFile, nullptr);
}

TEST_F(EffectTest, DefinesReachEveryStage) {
    std::string text = kTwoPass;
    text.replace(text.find("out_Color = vec4(0.0, 0.0, g_fBlue, 1.0);"), 41, "out_Color = vec4(GREEN, 0.0, 1.0);");
    const D3DXMACRO defines[] = {{"GREEN", "0.0, 1.0"}, {nullptr, nullptr}};
    ID3DXEffect* e = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, text.data(), UINT(text.size()), defines, nullptr, 0, nullptr, &e, nullptr),
              S_OK);
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    e->SetMatrix("g_mWorldViewProjection", &identity);
    Clear(0xFF000000);
    UINT passes = 0;
    ASSERT_EQ(e->Begin(&passes, 0), S_OK);  // technique "Other": the green pass
    ASSERT_EQ(e->BeginPass(0), S_OK);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    ASSERT_EQ(quad->DrawSubset(0), S_OK);
    e->EndPass();
    e->End();
    Read();
    ExpectPixel(20, 60, {0, 255, 0});
    e->Release();
}

using ScriptedEffectTest = ScriptedHelpersTest;

TEST_F(ScriptedEffectTest, WithoutOpenGLTheFileIsCheckedAndParametersWork) {
    ID3DXEffect* effect = nullptr;
    ASSERT_EQ(D3DXCreateEffect(device, kTwoPass, UINT(std::strlen(kTwoPass)), nullptr, nullptr, 0, nullptr, &effect,
                               nullptr),
              S_OK);
    ASSERT_EQ(effect->SetTechnique("RenderScene"), S_OK);
    const D3DXVECTOR4 v(1, 2, 3, 4);
    EXPECT_EQ(effect->SetVector("g_vTint", &v), S_OK);
    EXPECT_EQ(effect->SetVector("g_vMissing", &v), D3DERR_INVALIDCALL);
    UINT passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), S_OK);
    EXPECT_EQ(passes, 2u);
    ASSERT_EQ(effect->BeginPass(1), S_OK);
    DWORD blend = 0;
    device->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, DWORD(TRUE));
    ASSERT_EQ(effect->EndPass(), S_OK);
    ASSERT_EQ(effect->End(), S_OK);
    effect->Release();
    // A structural error is found without a compiler.
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateEffect(device, "technique {", 11, nullptr, nullptr, 0, nullptr, &effect, nullptr),
              D3DXERR_INVALIDDATA);
    ::testing::internal::GetCapturedStderr();
}

}  // namespace
