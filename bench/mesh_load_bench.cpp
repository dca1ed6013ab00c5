// Loading the program's 26 cubelet meshes on the CPU: parse the .x text,
// build the mesh, optimise it (compact, attribute sort, vertex cache) and
// clone it to the scene layout, as the mesh object does for each file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/mesh_data.h"
#include "platform/xfile.h"
#include "support/scene_layout.h"

namespace {

using test_support::kSceneDecl;

// A cubelet: a box whose six sides are n x n grids of quads (2 n^2 triangles
// per side), one material and one normal per side, texture coordinates, in a
// frame that moves it to its place. n = 5 gives 300 triangles.
std::string CubeletText(int index, int n) {
    std::string s = "xof 0302txt 0032\n";
    char buf[256];
    std::snprintf(buf, sizeof buf, "Frame Cubelet%d {\n FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, %d,%d,%d,1;; }\n",
                  index, index % 3 - 1, index / 3 % 3 - 1, index / 9 - 1);
    s += buf;
    const int perSide = (n + 1) * (n + 1);
    s += " Mesh {\n  " + std::to_string(6 * perSide) + ";\n";
    // Side k: axis k/2, sign by k%2; grid (i, j) over the other two axes.
    for (int k = 0; k < 6; ++k) {
        const int axis = k / 2;
        const float fixed = k % 2 ? 0.5f : -0.5f;
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                float p[3];
                p[axis] = fixed;
                p[(axis + 1) % 3] = -0.5f + static_cast<float>(i) / n;
                p[(axis + 2) % 3] = -0.5f + static_cast<float>(j) / n;
                std::snprintf(buf, sizeof buf, "  %.6f;%.6f;%.6f;%s\n", p[0], p[1], p[2],
                              k == 5 && j == n && i == n ? ";" : ",");
                s += buf;
            }
    }
    s += "  " + std::to_string(6 * n * n) + ";\n";
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j < n; ++j)
            for (int i = 0; i < n; ++i) {
                int a = k * perSide + j * (n + 1) + i;
                int b = a + 1, c = a + n + 1, d = c + 1;
                bool last = k == 5 && j == n - 1 && i == n - 1;
                if (k % 2)
                    std::snprintf(buf, sizeof buf, "  4;%d,%d,%d,%d;%s\n", a, b, d, c, last ? ";" : ",");
                else
                    std::snprintf(buf, sizeof buf, "  4;%d,%d,%d,%d;%s\n", a, c, d, b, last ? ";" : ",");
                s += buf;
            }
    s += "  MeshNormals {\n   6; 1;0;0;, -1;0;0;, 0;1;0;, 0;-1;0;, 0;0;1;, 0;0;-1;;\n   " + std::to_string(6 * n * n) + ";\n";
    for (int k = 0; k < 6; ++k)
        for (int q = 0; q < n * n; ++q) {
            int normal = 2 * (k / 2) + (k % 2 ? 0 : 1);
            std::snprintf(buf, sizeof buf, "   4;%d,%d,%d,%d;%s\n", normal, normal, normal, normal,
                          k == 5 && q == n * n - 1 ? ";" : ",");
            s += buf;
        }
    s += "  }\n  MeshTextureCoords {\n   " + std::to_string(6 * perSide) + ";\n";
    for (int k = 0; k < 6; ++k)
        for (int j = 0; j <= n; ++j)
            for (int i = 0; i <= n; ++i) {
                std::snprintf(buf, sizeof buf, "   %.4f;%.4f;%s\n", static_cast<float>(i) / n, static_cast<float>(j) / n,
                              k == 5 && j == n && i == n ? ";" : ",");
                s += buf;
            }
    s += "  }\n  MeshMaterialList {\n   6;\n   " + std::to_string(6 * n * n) + ";\n";
    for (int k = 0; k < 6; ++k)
        for (int q = 0; q < n * n; ++q) s += "   " + std::to_string(k) + (k == 5 && q == n * n - 1 ? ";;\n" : ",\n");
    const char* colours[6] = {"1.0;0.0;0.0", "1.0;0.5;0.0", "1.0;1.0;1.0", "1.0;1.0;0.0", "0.0;0.0;1.0", "0.0;0.6;0.0"};
    for (int k = 0; k < 6; ++k) {
        s += "   Material {\n    " + std::string(colours[k]) + ";1.0;;\n    20.0;\n    0.5;0.5;0.5;;\n    0.0;0.0;0.0;;\n";
        if (k == 0) s += "    TextureFilename { \"sticker.bmp\"; }\n";
        s += "   }\n";
    }
    s += "  }\n }\n}\n";
    return s;
}

void LoadCubelets(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> files;
    size_t bytes = 0;
    for (int i = 0; i < 26; ++i) {
        files.push_back(CubeletText(i, n));
        bytes += files.back().size();
    }
    size_t faces = 0;
    for (auto _ : state) {
        faces = 0;
        for (const std::string& text : files) {
            XFile file;
            std::string error;
            if (FAILED(XFileParse(text.data(), text.size(), &file, &error))) {
                state.SkipWithError(error.c_str());
                return;
            }
            MeshData mesh, scene;
            std::vector<XMaterial> materials;
            std::vector<DWORD> adjacency;
            if (FAILED(MeshFromXFile(file, D3DXMESH_MANAGED, &mesh, &materials, &adjacency, &error)) ||
                FAILED(MeshOptimize(&mesh, D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                                    adjacency.data(), nullptr, nullptr, nullptr)) ||
                FAILED(MeshClone(mesh, mesh.GetOptions(), kSceneDecl, &scene))) {
                state.SkipWithError("mesh building failed");
                return;
            }
            faces += scene.GetNumFaces();
            benchmark::DoNotOptimize(scene.VertexBytes());
        }
    }
    state.counters["faces_per_mesh"] = static_cast<double>(faces) / 26.0;
    state.counters["text_KiB"] = static_cast<double>(bytes) / 1024.0;
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}
// n = 5: 300 faces per cubelet; n = 8: 768.
BENCHMARK(LoadCubelets)->Arg(5)->Arg(8)->Unit(benchmark::kMillisecond);

}  // namespace
