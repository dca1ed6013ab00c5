#include "platform/xfile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Two materials (the first textured), a quad and a triangle, normals with
// their own face lists, texture coordinates, comments of both kinds and the
// separators as real exporters vary them.
const char kTwoMaterials[] = R"(xof 0302txt 0032
// exported by hand
template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 [...]
}

Mesh Sample {
  5;
  0.0; 0.0; 0.0;,
  1.0; 0.0; 0.0;,
  1.0; 1.0; 0.0;,
  0.0; 1.0; 0.0;,
  2.0, 0.5, -1.5e0;;
  2;
  4; 0, 3, 2, 1;,
  3; 1, 2, 4;;
  # normals: one for the quad, one for the triangle
  MeshNormals {
    2;
    0.0; 0.0; -1.0;,
    0.0; 0.0; 1.0;;
    2;
    4; 0, 0, 0, 0;,
    3; 1, 1, 1;;
  }
  MeshTextureCoords {
    5;
    0.0; 1.0;,
    1.0; 1.0;,
    1.0; 0.0;,
    0.0; 0.0;,
    .5; +0.25;;
  }
  MeshMaterialList {
    2;
    2;
    1,
    0;;
    Material Blue {
      0.0; 0.0; 1.0; 0.5;;
      12.5;
      0.25; 0.5; 0.75;;
      0.1; 0.2; 0.3;;
      TextureFilename { "blue stripes.bmp"; }
    }
    Material {
      1.0; 0.0; 0.0; 1.0;;
      0.0;
      0.0; 0.0; 0.0;;
      0.0; 0.0; 0.0;;
    }
  }
}
)";

XFile ParseOk(const std::string& text) {
    XFile file;
    std::string error;
    HRESULT hr = XFileParse(text.data(), text.size(), &file, &error);
    EXPECT_EQ(hr, S_OK) << error;
    return file;
}

TEST(XFile, LoadsMeshWithMaterialsNormalsAndTextureCoordinates) {
    XFile file = ParseOk(kTwoMaterials);
    ASSERT_EQ(file.meshes.size(), 1u);
    const XMesh& m = file.meshes[0];
    EXPECT_EQ(m.name, "Sample");
    EXPECT_EQ(m.positions.size(), 5u);
    EXPECT_EQ(m.polygonCount, 2u);
    ASSERT_EQ(m.triangles.size(), 3u);  // the quad becomes two triangles
    EXPECT_FLOAT_EQ(m.positions[4].z, -1.5f);
    ASSERT_EQ(m.texCoords.size(), 5u);
    EXPECT_FLOAT_EQ(m.texCoords[4].x, 0.5f);
    EXPECT_FLOAT_EQ(m.texCoords[4].y, 0.25f);
    ASSERT_EQ(m.normals.size(), 2u);

    // Materials in file order, with every value where it belongs.
    ASSERT_EQ(m.materials.size(), 2u);
    const D3DMATERIAL9& blue = m.materials[0].material;
    EXPECT_EQ(m.materials[0].textureFilename, "blue stripes.bmp");
    EXPECT_EQ(blue.Diffuse, (D3DCOLORVALUE{0, 0, 1, 0.5f}));
    EXPECT_EQ(blue.Ambient, (D3DCOLORVALUE{0, 0, 0, 0}));
    EXPECT_EQ(blue.Specular, (D3DCOLORVALUE{0.25f, 0.5f, 0.75f, 1}));
    EXPECT_EQ(blue.Emissive, (D3DCOLORVALUE{0.1f, 0.2f, 0.3f, 1}));
    EXPECT_FLOAT_EQ(blue.Power, 12.5f);
    EXPECT_EQ(m.materials[1].textureFilename, "");
    EXPECT_EQ(m.materials[1].material.Diffuse, (D3DCOLORVALUE{1, 0, 0, 1}));

    // The quad (material 1) is fanned from its first corner; the triangle
    // keeps material 0 and its own normal.
    struct Expected {
        uint32_t p[3];
        uint32_t n;
        uint32_t material;
    };
    const Expected expected[] = {{{0, 3, 2}, 0, 1}, {{0, 2, 1}, 0, 1}, {{1, 2, 4}, 1, 0}};
    for (size_t t = 0; t < 3; ++t) {
        SCOPED_TRACE(t);
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(m.triangles[t].position[k], expected[t].p[k]);
            EXPECT_EQ(m.triangles[t].normal[k], expected[t].n);
        }
        EXPECT_EQ(m.triangles[t].material, expected[t].material);
    }
}

TEST(XFile, AcceptsTheOtherHeaders) {
    for (const char* header : {"xof 0303txt 0032", "xof 0302txt 0064"}) {
        std::string text = std::string(header) + "\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
        XFile file = ParseOk(text);
        ASSERT_EQ(file.meshes.size(), 1u) << header;
        EXPECT_EQ(file.meshes[0].triangles.size(), 1u);
    }
}

TEST(XFile, NestedFrameTransformsApplyInnermostFirst) {
    // Inner frame scales by 2, outer frame moves by +10 in x: (1,0,0) ends at
    // (12,0,0); the other order would give (22,0,0). The matrix may come after
    // the mesh inside its frame. A mesh outside the frames stays put.
    const char text[] = R"(xof 0302txt 0032
Frame Outer {
  FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 10,0,0,1;; }
  Frame Inner {
    Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;;
      MeshNormals { 1; 1;0;0;; 1; 3;0,0,0;; }
    }
    FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }
  }
}
Mesh Loose { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;; }
)";
    XFile file = ParseOk(text);
    ASSERT_EQ(file.meshes.size(), 2u);
    const XMesh& m = file.meshes[0];
    EXPECT_FLOAT_EQ(m.positions[0].x, 12.0f);
    EXPECT_FLOAT_EQ(m.positions[1].x, 10.0f);
    EXPECT_FLOAT_EQ(m.positions[1].y, 2.0f);
    EXPECT_FLOAT_EQ(m.positions[2].z, 2.0f);
    // Normals are turned, not moved or scaled.
    EXPECT_FLOAT_EQ(m.normals[0].x, 1.0f);
    EXPECT_FLOAT_EQ(m.normals[0].y, 0.0f);
    EXPECT_FLOAT_EQ(file.meshes[1].positions[0].x, 1.0f);
}

TEST(XFile, ReferencedMaterialsResolveInListOrder) {
    // References before and after the named material's definition, mixed
    // with an inline one; list order is kept.
    const char text[] = R"(xof 0302txt 0032
Material Red { 1;0;0;1;; 5; 1;1;1;; 0;0;0;; }
Mesh {
  3; 0;0;0;, 1;0;0;, 0;1;0;;
  1; 3;0,1,2;;
  MeshMaterialList {
    3; 1; 2;;
    { Green }
    Material { 0;0;1;1;; 0; 0;0;0;; 0;0;0;; }
    { Red }
  }
}
Material Green { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { "g.png"; } }
)";
    XFile file = ParseOk(text);
    ASSERT_EQ(file.meshes.size(), 1u);
    const XMesh& m = file.meshes[0];
    ASSERT_EQ(m.materials.size(), 3u);
    EXPECT_EQ(m.materials[0].material.Diffuse, (D3DCOLORVALUE{0, 1, 0, 1}));
    EXPECT_EQ(m.materials[0].textureFilename, "g.png");
    EXPECT_EQ(m.materials[1].material.Diffuse, (D3DCOLORVALUE{0, 0, 1, 1}));
    EXPECT_EQ(m.materials[2].material.Diffuse, (D3DCOLORVALUE{1, 0, 0, 1}));
    EXPECT_FLOAT_EQ(m.materials[2].material.Power, 5.0f);
    EXPECT_EQ(m.triangles[0].material, 2u);
}

TEST(XFile, ShortFaceIndexListRepeatsTheLastIndex) {
    const char text[] = R"(xof 0302txt 0032
Mesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;;
  3; 3;0,1,2;, 3;1,3,2;, 3;0,2,3;;
  MeshMaterialList { 2; 2; 0, 1;;
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }
    Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }
}
)";
    XFile file = ParseOk(text);
    const XMesh& m = file.meshes[0];
    EXPECT_EQ(m.triangles[0].material, 0u);
    EXPECT_EQ(m.triangles[1].material, 1u);
    EXPECT_EQ(m.triangles[2].material, 1u);
}

struct BadCase {
    const char* what;
    std::string text;
    int line;             // expected line in the message (0: do not check)
    const char* excerpt;  // expected part of the message
};

const std::string kHead = "xof 0302txt 0032\n";

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(XFile, MalformedFilesFailWithALineNumber) {
    const BadCase cases[] = {
        {"empty", "", 1, "not a .x file"},
        {"wrong magic", "xog 0302txt 0032\n", 1, "not a .x file"},
        {"wrong version", "xof 0201txt 0032\n", 1, "version"},
        {"binary", "xof 0302bin 0032\n", 1, "only text"},
        {"float size", "xof 0302txt 0016\n", 1, "float size"},
        {"vertex count beyond the data", kHead + "Mesh {\n 4;\n 0;0;0;, 1;0;0;, 0;1;0;;\n 1; 3;0,1,2;;\n}\n", 5,
         "at least 3"},
        {"huge vertex count", kHead + "Mesh {\n4000000000;\n0;0;0;;\n}\n", 3, "exceeds the data"},
        {"count beyond 32 bits", kHead + "Mesh {\n99999999999;\n}\n", 3, "whole number"},
        {"huge face count", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1000000000;\n 3;0,1,2;; }\n", 3,
         "exceeds the data"},
        {"vertex index out of range", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1;\n 3;0,1,3;; }\n", 4,
         "uses vertex 3"},
        {"face with two corners", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 1;\n 2;0,1;; }\n", 4, "at least 3"},
        {"negative count", kHead + "Mesh {\n -3; }\n", 3, "whole number"},
        {"fractional index", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1;\n 3;0,1.5,2;; }\n", 3, "whole number"},
        {"bad number", kHead + "Mesh { 3;\n 0;0;0;, 1;0-;0;, 0;1;0;; }\n", 3, "bad number"},
        {"number out of float range", kHead + "Mesh { 3;\n 0;0;1e39;, 1;0;0;, 0;1;0;; }\n", 3, "out of range"},
        {"truncated in a mesh", kHead + "Mesh { 3; 0;0;0;, 1;0;0;", 0, "end of file"},
        {"truncated in a skipped object", kHead + "\nHeader { 1; 0;\n", 4, "started at line 3"},
        {"unterminated string",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshMaterialList { 1; 1; 0;;\n"
                 " Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n TextureFilename { \"abc; } } } }\n",
         5, "unterminated string"},
        {"material index out of range",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshMaterialList { 1; 1;\n 1;;\n"
                 " Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }\n",
         4, "uses material 1"},
        {"fewer materials than declared",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshMaterialList {\n 2; 1; 0;;\n"
                 " Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }\n",
         4, "declares 2 materials but holds 1"},
        {"unknown material reference",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshMaterialList { 1; 1; 0;;\n { Nowhere } } }\n", 4,
         "unknown material 'Nowhere'"},
        {"normal faces do not match",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshNormals { 1; 0;0;1;;\n 2; 3;0,0,0;, 3;0,0,0;; } }\n",
         4, "normals list 2"},
        {"normal index out of range",
         kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshNormals { 1; 0;0;1;; 1;\n 3;0,1,0;; } }\n", 4,
         "uses normal 1"},
        {"texture coordinate count", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n MeshTextureCoords {\n 2; 0;0;, 1;1;; } }\n",
         4, "2 texture coordinates"},
        {"stray token", kHead + "\n\n}\n", 4, "expected a template"},
        {"number among a frame's objects", kHead + "Frame {\n { Ref }\n 5; }\n", 4,
         "expected a data object or '}' in a frame, found '5'"},
        {"number among a mesh's objects", kHead + "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n 7; }\n", 3,
         "expected a data object or '}' in a mesh, found '7'"},
        {"string among a material's objects", kHead + "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;;\n \"x\" }\n", 3,
         "expected a data object or '}' in a material, found '\"x\"'"},
        {"frames nested too deeply", kHead + Repeat("Frame {\n", 200),
         0, "too deeply"},
    };
    for (const BadCase& c : cases) {
        SCOPED_TRACE(c.what);
        XFile file;
        file.meshes.resize(1);  // must be cleared on failure
        std::string error;
        HRESULT hr = XFileParse(c.text.data(), c.text.size(), &file, &error);
        EXPECT_EQ(hr, D3DXERR_INVALIDDATA);
        EXPECT_TRUE(file.meshes.empty());
        EXPECT_NE(error.find(c.excerpt), std::string::npos) << error;
        if (c.line) {
            EXPECT_EQ(error.rfind("line " + std::to_string(c.line) + ":", 0), 0u) << error;
        }
    }
}

// Every prefix of a valid file is handled: the ones that cut into the
// header or the mesh fail cleanly (the sanitizer build checks that nothing is
// read out of bounds); cuts between objects leave a valid shorter file.
TEST(XFile, EveryTruncationFailsCleanly) {
    const std::string full = kTwoMaterials;
    const size_t meshStart = full.find("Mesh Sample");
    const size_t meshEnd = full.rfind('}');
    for (size_t n = 0; n < full.size(); ++n) {
        std::string cut = full.substr(0, n);
        XFile file;
        std::string error;
        HRESULT hr = XFileParse(cut.data(), cut.size(), &file, &error);
        if (n < 16 || (n > meshStart + 4 && n <= meshEnd)) {
            ASSERT_EQ(hr, D3DXERR_INVALIDDATA) << "prefix of " << n << " bytes";
            ASSERT_FALSE(error.empty());
            ASSERT_TRUE(file.meshes.empty());
        } else if (n > meshEnd) {
            ASSERT_EQ(hr, S_OK) << error;
            ASSERT_EQ(file.meshes.size(), 1u);
        }
    }
}

TEST(XFile, LoadReportsAMissingFileWithItsPath) {
    XFile file;
    std::string error;
    EXPECT_EQ(XFileLoad("/nonexistent/folder/c111.x", &file, &error), D3DXERR_INVALIDDATA);
    EXPECT_NE(error.find("/nonexistent/folder/c111.x"), std::string::npos) << error;
}

}  // namespace
