#include "platform/effect_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kTwoPasses[] = R"(// Scene effect: two passes
shared <<
uniform mat4 g_mWorldViewProjection;
>>

vertex VS_Scene <<
in vec3 in_Position;
void main() { gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection; }
>>

fragment PS_Solid <<
out vec4 out_Color;
void main() { out_Color = vec4(1.0); }
>>
/* the outline pass
   draws the back faces */
fragment PS_Outline <<   // trailing comment is fine
out vec4 out_Color;
void main() { out_Color = vec4(0.0, 0.0, 0.0, 1.0); }
  >>

technique RenderScene
{
    pass P0
    {
        vertex = VS_Scene;
        fragment = PS_Solid;
        ZEnable = TRUE;
        CullMode = CCW;
    }
    pass P1 {
        vertex = VS_Scene; fragment = PS_Outline;
        AlphaBlendEnable = true; SrcBlend = SRCALPHA; DestBlend = InvSrcAlpha;
        ZWriteEnable = FALSE; FillMode = WIREFRAME; CullMode = CW;
    }
}

technique Plain { pass Only { vertex = VS_Scene; fragment = PS_Solid; } }
)";

EffectFile ParseOk(const std::string& text) {
    EffectFile file;
    std::string error;
    EXPECT_EQ(EffectFileParse(text.data(), text.size(), &file, &error), S_OK) << error;
    return file;
}

TEST(EffectFile, TwoPassFileParsesIntoPassesAndStates) {
    EffectFile file = ParseOk(kTwoPasses);
    ASSERT_EQ(file.techniques.size(), 2u);
    EXPECT_EQ(file.techniques[0].name, "RenderScene");
    EXPECT_EQ(file.FindTechnique("Plain"), &file.techniques[1]);
    EXPECT_EQ(file.FindTechnique("Missing"), nullptr);
    ASSERT_EQ(file.blocks.size(), 3u);

    const EffectTechnique& t = file.techniques[0];
    ASSERT_EQ(t.passes.size(), 2u);
    EXPECT_EQ(t.passes[0].name, "P0");
    EXPECT_EQ(t.passes[0].vertexBlock, "VS_Scene");
    EXPECT_EQ(t.passes[0].fragmentBlock, "PS_Solid");
    ASSERT_EQ(t.passes[0].states.size(), 2u);
    EXPECT_EQ(t.passes[0].states[0].state, D3DRS_ZENABLE);
    EXPECT_EQ(t.passes[0].states[0].value, 1u);
    EXPECT_EQ(t.passes[0].states[1].state, D3DRS_CULLMODE);
    EXPECT_EQ(t.passes[0].states[1].value, static_cast<DWORD>(D3DCULL_CCW));

    const std::pair<D3DRENDERSTATETYPE, DWORD> p1[] = {
        {D3DRS_ALPHABLENDENABLE, 1},          {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA},
        {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA}, {D3DRS_ZWRITEENABLE, 0},
        {D3DRS_FILLMODE, D3DFILL_WIREFRAME},  {D3DRS_CULLMODE, D3DCULL_CW},
    };
    ASSERT_EQ(t.passes[1].states.size(), std::size(p1));
    for (size_t i = 0; i < std::size(p1); ++i) {
        EXPECT_EQ(t.passes[1].states[i].state, p1[i].first) << i;
        EXPECT_EQ(t.passes[1].states[i].value, p1[i].second) << i;
    }
    EXPECT_EQ(t.passes[1].states[0].line, 33);
}

TEST(EffectFile, CodeBlocksKeepTheirTextAndFirstLine) {
    EffectFile file = ParseOk(kTwoPasses);
    EXPECT_TRUE(file.hasShared);
    EXPECT_EQ(file.sharedCode, "uniform mat4 g_mWorldViewProjection;\n");
    EXPECT_EQ(file.sharedFirstLine, 3);
    const EffectCodeBlock* vs = file.FindBlock(EffectStage::Vertex, "VS_Scene");
    ASSERT_NE(vs, nullptr);
    EXPECT_EQ(vs->firstLine, 7);
    EXPECT_EQ(vs->code,
              "in vec3 in_Position;\n"
              "void main() { gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection; }\n");
    EXPECT_EQ(file.FindBlock(EffectStage::Fragment, "VS_Scene"), nullptr);  // names are per stage
    const EffectCodeBlock* outline = file.FindBlock(EffectStage::Fragment, "PS_Outline");
    ASSERT_NE(outline, nullptr);
    EXPECT_EQ(outline->firstLine, 18);
}

TEST(EffectFile, AssemblesEachStageWithVersionSharedBlockAndLineDirectives) {
    EffectFile file = ParseOk(kTwoPasses);
    EffectPassSources src;
    ASSERT_EQ(EffectAssemblePass(file, file.techniques[0].passes[1], EffectAssemblyHooks{}, &src), S_OK);
    EXPECT_EQ(src.vertex,
              "#version 330 core\n"
              "#line 3\n"
              "uniform mat4 g_mWorldViewProjection;\n"
              "#line 7\n"
              "in vec3 in_Position;\n"
              "void main() { gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection; }\n");
    EXPECT_EQ(src.fragment,
              "#version 330 core\n"
              "#line 3\n"
              "uniform mat4 g_mWorldViewProjection;\n"
              "#line 18\n"
              "out vec4 out_Color;\n"
              "void main() { out_Color = vec4(0.0, 0.0, 0.0, 1.0); }\n");
}

TEST(EffectFile, VertexEpilogueRunsAfterTheEffectsMain) {
    EffectFile file = ParseOk(kTwoPasses);
    EffectAssemblyHooks hooks;
    hooks.vertexPreamble = "uniform float u_flipY;";
    hooks.vertexEpilogue = "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;";
    hooks.fragmentPreamble = "precision highp float;\n";
    EffectPassSources src;
    ASSERT_EQ(EffectAssemblePass(file, file.techniques[0].passes[0], hooks, &src), S_OK);
    EXPECT_EQ(src.vertex,
              "#version 330 core\n"
              "uniform float u_flipY;\n"
              "#line 3\n"
              "uniform mat4 g_mWorldViewProjection;\n"
              "#define main effect_vertex_main\n"
              "#line 7\n"
              "in vec3 in_Position;\n"
              "void main() { gl_Position = vec4(in_Position, 1.0) * g_mWorldViewProjection; }\n"
              "#undef main\n"
              "#line 1 1\n"
              "void main()\n"
              "{\n"
              "    effect_vertex_main();\n"
              "    gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n"
              "}\n");
    EXPECT_EQ(src.fragment.rfind("#version 330 core\nprecision highp float;\n#line 3\n", 0), 0u);
    EXPECT_EQ(src.fragment.find("effect_vertex_main"), std::string::npos);
}

struct BadCase {
    const char* what;
    const char* text;
    int line;
    const char* excerpt;
};

TEST(EffectFile, ErrorsReportTheRightLine) {
    const BadCase cases[] = {
        {"no technique", "vertex V <<\nvoid main() {}\n>>\n", 4, "no technique"},
        {"empty file", "", 1, "no technique"},
        {"unknown item", "\n\nshader X <<\n", 3, "expected 'shared'"},
        {"unterminated block", "\nvertex V <<\nvoid main() {}\n> >\n", 2, "no closing '>>'"},
        {"text after <<", "vertex V << void main() {}\n>>\n", 1, "after '<<'"},
        {"missing name", "vertex <<\n>>\n", 1, "block name"},
        {"block defined twice", "vertex V <<\n>>\n\nvertex V <<\n>>\n", 4, "defined twice"},
        {"second shared", "shared <<\n>>\nshared <<\n>>\n", 3, "second shared"},
        {"unterminated comment", "\n/* open\n\n", 2, "'*/'"},
        {"missing semicolon",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T {\n pass P {\n  vertex = V\n  fragment = F;\n }\n}\n", 8,
         "expected ';'"},
        {"unknown state",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P { vertex = V; fragment = F;\n Lighting = TRUE; } }\n",
         6, "unknown render state 'Lighting'"},
        {"unknown value",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P { vertex = V; fragment = F;\n CullMode = BACK; } }\n",
         6, "unknown value 'BACK'"},
        {"pass without fragment", "vertex V <<\n>>\ntechnique T {\n pass P { vertex = V; }\n}\n", 4,
         "no fragment block"},
        {"technique without pass", "\ntechnique T { }\n", 2, "has no pass"},
        {"missing vertex block",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P {\n vertex = W;\n fragment = F; } }\n", 6,
         "vertex block 'W'"},
        {"missing fragment block",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P {\n vertex = V;\n fragment = V; } }\n", 7,
         "fragment block 'V'"},
        {"pass defined twice",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P { vertex = V; fragment = F; }\n"
         " pass P { vertex = V; fragment = F; } }\n",
         6, "defined twice"},
        {"technique defined twice",
         "vertex V <<\n>>\nfragment F <<\n>>\ntechnique T { pass P { vertex = V; fragment = F; } }\n"
         "technique T { pass P { vertex = V; fragment = F; } }\n",
         6, "defined twice"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        EffectFile file;
        std::string error;
        EXPECT_EQ(EffectFileParse(c.text, std::strlen(c.text), &file, &error), D3DXERR_INVALIDDATA);
        EXPECT_TRUE(file.techniques.empty());
        EXPECT_NE(error.find(c.excerpt), std::string::npos) << error;
        EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u) << error;
    }
}

TEST(EffectFile, BlocksMayFollowTheTechniqueThatNamesThem) {
    const char text[] =
        "technique T { pass P { vertex = V; fragment = F; } }\n"
        "vertex V <<\r\nvoid main() {}\r\n>>\r\n"
        "fragment F <<\nvoid main() {}\n>>";
    EffectFile file = ParseOk(text);
    ASSERT_EQ(file.techniques.size(), 1u);
    EXPECT_EQ(file.FindBlock(EffectStage::Vertex, "V")->code, "void main() {}\n");
    EXPECT_FALSE(file.hasShared);
    EffectPassSources src;
    ASSERT_EQ(EffectAssemblePass(file, file.techniques[0].passes[0], EffectAssemblyHooks{}, &src), S_OK);
    EXPECT_EQ(src.vertex, "#version 330 core\n#line 3\nvoid main() {}\n");
}

TEST(EffectFile, LoadReportsAMissingFileWithItsPath) {
    EffectFile file;
    std::string error;
    EXPECT_EQ(EffectFileLoad("/nonexistent/Data/shadowmap.fx", &file, &error), D3DXERR_INVALIDDATA);
    EXPECT_NE(error.find("/nonexistent/Data/shadowmap.fx"), std::string::npos) << error;
}

}  // namespace
