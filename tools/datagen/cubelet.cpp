#include "tools/datagen/cubelet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <stdexcept>

namespace datagen {

namespace {

constexpr double kPi = 3.14159265358979323846;

// The classic colour scheme: white top, yellow bottom, green front, blue
// back, red right, orange left. Slot order: +X, −Z, −Y, +Z, −X, +Y.
constexpr XMaterial kFaceMaterials[kSlotCount] = {
    {0.780f, 0.060f, 0.090f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // +X right: red
    {0.000f, 0.600f, 0.280f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // -Z front: green
    {1.000f, 0.830f, 0.000f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // -Y bottom: yellow
    {0.000f, 0.300f, 0.720f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // +Z back: blue
    {1.000f, 0.420f, 0.000f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // -X left: orange
    {0.950f, 0.950f, 0.950f, 1.0f, 40.0f, 0.5f, 0.5f, 0.5f, 0.0f, 0.0f, 0.0f},  // +Y top: white
};
constexpr const char* kFaceColourNames[kSlotCount] = {"red", "green", "yellow", "blue", "orange", "white"};
constexpr XMaterial kBodyColour = {0.050f, 0.050f, 0.060f, 1.0f, 20.0f, 0.3f, 0.3f, 0.3f, 0.0f, 0.0f, 0.0f};

constexpr int kSlotDirections[kSlotCount][3] = {{1, 0, 0}, {0, 0, -1}, {0, -1, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}};

Vec3 ToVec(const std::array<int, 3>& a) { return {double(a[0]), double(a[1]), double(a[2])}; }

// A frame on one face of a cubelet: n points out of the face, u and v span it.
struct FaceFrame {
    Vec3 centre;  // the cubelet's centre
    Vec3 n, u, v;
};

FaceFrame MakeFaceFrame(const Vec3& centre, int slot) {
    FaceFrame f;
    f.centre = centre;
    f.n = ToVec(SlotDirection(slot));
    // u is the next axis after the normal's, v completes the frame.
    Vec3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    int axis = f.n.x != 0 ? 0 : (f.n.y != 0 ? 1 : 2);
    f.u = axes[(axis + 1) % 3];
    f.v = Cross(f.n, f.u);
    return f;
}

// A point at (a, b) on the face plane, h above the body's face.
Vec3 FacePoint(const FaceFrame& f, double a, double b, double h) {
    return f.centre + f.n * (kBodyHalf + h) + f.u * a + f.v * b;
}

// Collects vertices (merging equal ones) and faces.
class MeshBuilder {
public:
    explicit MeshBuilder(XMesh& mesh) : m_mesh(mesh) {}

    uint32_t Vertex(const Vec3& p, const Vec3& n, const Vec2& uv) {
        std::array<long long, 8> key = {Key(p.x), Key(p.y), Key(p.z), Key(n.x), Key(n.y), Key(n.z), Key(uv.x), Key(uv.y)};
        auto it = m_index.find(key);
        if (it != m_index.end()) return it->second;
        uint32_t index = uint32_t(m_mesh.positions.size());
        m_mesh.positions.push_back(p);
        m_mesh.normals.push_back(n);
        m_mesh.texcoords.push_back(uv);
        m_index.emplace(key, index);
        return index;
    }

    // Adds a planar convex polygon, wound so that it faces `outward`
    // (clockwise when seen from that side, as the device culls).
    void Polygon(std::vector<uint32_t> indices, uint32_t material, const Vec3& outward) {
        const auto& p = m_mesh.positions;
        Vec3 area;
        for (size_t i = 1; i + 1 < indices.size(); ++i)
            area += Cross(p[indices[i]] - p[indices[0]], p[indices[i + 1]] - p[indices[0]]);
        if (Dot(area, outward) < 0) std::reverse(indices.begin() + 1, indices.end());
        m_mesh.faces.push_back(std::move(indices));
        m_mesh.faceMaterials.push_back(material);
    }

private:
    static long long Key(double v) { return std::llround(v * 1e9); }

    XMesh& m_mesh;
    std::map<std::array<long long, 8>, uint32_t> m_index;
};

// Texture coordinates: the face mapped onto the unit square.
Vec2 FaceUV(const FaceFrame& f, const Vec3& p) {
    Vec3 d = p - f.centre;
    return {0.5 + Dot(d, f.u), 0.5 - Dot(d, f.v)};
}

// One point of the sticker's rounded outline: the centre of its corner arc
// and the outward direction (in face coordinates).
struct OutlinePoint {
    double cx, cy;  // centre of the corner arc
    double mx, my;  // outward direction
};

// Twelve points: four corners, each sampled at 0°, 45° and 90° of its arc,
// counter-clockwise in (u, v).
std::vector<OutlinePoint> StickerOutline() {
    std::vector<OutlinePoint> out;
    const double c = kStickerHalf - kStickerRadius;
    const double signs[4][2] = {{1, 1}, {-1, 1}, {-1, -1}, {1, -1}};
    for (int corner = 0; corner < 4; ++corner) {
        for (int step = 0; step < 3; ++step) {
            double angle = (corner * 90 + step * 45) * kPi / 180.0;
            double mx = step == 1 ? std::cos(angle) : std::round(std::cos(angle));
            double my = step == 1 ? std::sin(angle) : std::round(std::sin(angle));
            out.push_back({signs[corner][0] * c, signs[corner][1] * c, mx, my});
        }
    }
    return out;
}

void AddFace(MeshBuilder& builder, const FaceFrame& f, uint32_t stickerMaterial) {
    const std::vector<OutlinePoint> outline = StickerOutline();
    const size_t count = outline.size();
    const double q = kBodyHalf - kBodyBevel;  // half width of the flat part of the body's face

    auto vertex = [&](double a, double b, double h, const Vec3& normal) {
        Vec3 p = FacePoint(f, a, b, h);
        return builder.Vertex(p, normal, FaceUV(f, p));
    };

    // The sticker's profile: rings from its foot on the body to the flat top,
    // each inset from the outline, raised, and with its normal tilted from the
    // outline's outward direction towards the face normal.
    struct Ring {
        double inset, height, outwardWeight;
    };
    const Ring rings[3] = {{0.0, 0.0, 1.0 / 0.35}, {0.005, 0.011, 1.0}, {0.016, kStickerHeight, 0.0}};
    std::vector<uint32_t> ringIndex[3];
    for (int r = 0; r < 3; ++r) {
        for (const OutlinePoint& o : outline) {
            double radius = kStickerRadius - rings[r].inset;
            Vec3 outward = f.u * o.mx + f.v * o.my;
            Vec3 normal = Normalize(outward * rings[r].outwardWeight + f.n);
            ringIndex[r].push_back(vertex(o.cx + o.mx * radius, o.cy + o.my * radius, rings[r].height, normal));
        }
    }
    for (int r = 0; r < 2; ++r) {
        for (size_t k = 0; k < count; ++k) {
            size_t next = (k + 1) % count;
            const OutlinePoint& o = outline[k];
            Vec3 outward = Normalize(f.u * (o.mx + outline[next].mx) + f.v * (o.my + outline[next].my) + f.n);
            builder.Polygon({ringIndex[r][k], ringIndex[r][next], ringIndex[r + 1][next], ringIndex[r + 1][k]},
                            stickerMaterial, outward);
        }
    }
    builder.Polygon(ringIndex[2], stickerMaterial, f.n);

    // The body's face around the sticker: from the sticker's foot out to the
    // flat part's edge, where the rounded edges begin.
    std::vector<uint32_t> inner, outer;
    for (const OutlinePoint& o : outline) {
        inner.push_back(vertex(o.cx + o.mx * kStickerRadius, o.cy + o.my * kStickerRadius, 0.0, f.n));
        double a = std::abs(o.mx) > 0.9 ? o.mx * q : (std::abs(o.my) > 0.9 ? o.cx : (o.mx > 0 ? q : -q));
        double b = std::abs(o.my) > 0.9 ? o.my * q : (std::abs(o.mx) > 0.9 ? o.cy : (o.my > 0 ? q : -q));
        outer.push_back(vertex(a, b, 0.0, f.n));
    }
    for (size_t k = 0; k < count; ++k) {
        size_t next = (k + 1) % count;
        builder.Polygon({outer[k], outer[next], inner[next], inner[k]}, kBodyMaterial, f.n);
    }
}

}  // namespace

const std::array<int, 26>& CubeletCodes() {
    static const std::array<int, 26> codes = [] {
        std::array<int, 26> c{};
        size_t k = 0;
        for (int x = 1; x <= 3; ++x)
            for (int y = 1; y <= 3; ++y)
                for (int z = 1; z <= 3; ++z)
                    if (x != 2 || y != 2 || z != 2) c[k++] = x * 100 + y * 10 + z;
        return c;
    }();
    return codes;
}

std::array<int, 3> CubeletCell(int code) {
    return {code / 100 - 2, 2 - (code / 10) % 10, code % 10 - 2};
}

std::array<int, 3> SlotDirection(int slot) {
    if (slot < 0 || slot >= kSlotCount) throw std::out_of_range("face slot");
    return {kSlotDirections[slot][0], kSlotDirections[slot][1], kSlotDirections[slot][2]};
}

bool SlotIsOutward(int code, int slot) {
    std::array<int, 3> cell = CubeletCell(code), dir = SlotDirection(slot);
    return cell[0] * dir[0] + cell[1] * dir[1] + cell[2] * dir[2] == 1;
}

const XMaterial& FaceMaterial(int slot) {
    if (slot < 0 || slot >= kSlotCount) throw std::out_of_range("face slot");
    return kFaceMaterials[slot];
}

const XMaterial& BodyMaterial() { return kBodyColour; }

const char* FaceColourName(int slot) {
    if (slot < 0 || slot >= kSlotCount) throw std::out_of_range("face slot");
    return kFaceColourNames[slot];
}

XMaterial CubeletMaterial(int code, int j) {
    if (j == kBodyMaterial) return kBodyColour;
    return SlotIsOutward(code, j) ? FaceMaterial(j) : kBodyColour;
}

std::string CubeletFileName(int code) { return "c" + std::to_string(code) + ".x"; }

XMesh BuildCubelet(int code) {
    XMesh mesh;
    mesh.name = "Cubelet" + std::to_string(code);
    for (int j = 0; j < kMaterialCount; ++j) mesh.materials.push_back(CubeletMaterial(code, j));

    const Vec3 centre = ToVec(CubeletCell(code));
    MeshBuilder builder(mesh);
    for (int slot = 0; slot < kSlotCount; ++slot) AddFace(builder, MakeFaceFrame(centre, slot), uint32_t(slot));

    // Rounded edges: a strip between every two neighbouring faces whose
    // normals turn from one face's to the other's. It meets each face's edge
    // at the same points as that face (its corners and the two points level
    // with the sticker's corners), so the surface has no cracks.
    const double q = kBodyHalf - kBodyBevel;
    const double stops[4] = {-q, -(kStickerHalf - kStickerRadius), kStickerHalf - kStickerRadius, q};
    auto corner = [&](int slot, const Vec3& p) {
        FaceFrame f = MakeFaceFrame(centre, slot);
        return builder.Vertex(p, f.n, FaceUV(f, p));
    };
    for (int a = 0; a < kSlotCount; ++a) {
        for (int b = a + 1; b < kSlotCount; ++b) {
            Vec3 na = ToVec(SlotDirection(a)), nb = ToVec(SlotDirection(b));
            if (Dot(na, nb) != 0) continue;
            Vec3 w = Cross(na, nb);
            for (int k = 0; k < 3; ++k) {
                Vec3 a1 = centre + na * kBodyHalf + nb * q + w * stops[k];
                Vec3 a2 = centre + na * kBodyHalf + nb * q + w * stops[k + 1];
                Vec3 b1 = centre + nb * kBodyHalf + na * q + w * stops[k];
                Vec3 b2 = centre + nb * kBodyHalf + na * q + w * stops[k + 1];
                builder.Polygon({corner(a, a1), corner(a, a2), corner(b, b2), corner(b, b1)}, kBodyMaterial,
                                Normalize(na + nb));
            }
        }
    }
    // Rounded corners: a triangle where three faces meet.
    for (int sx = -1; sx <= 1; sx += 2) {
        for (int sy = -1; sy <= 1; sy += 2) {
            for (int sz = -1; sz <= 1; sz += 2) {
                Vec3 nx{double(sx), 0, 0}, ny{0, double(sy), 0}, nz{0, 0, double(sz)};
                auto slotOf = [](const Vec3& n) {
                    for (int j = 0; j < kSlotCount; ++j)
                        if (ToVec(SlotDirection(j)) == n) return j;
                    return -1;
                };
                Vec3 px = centre + nx * kBodyHalf + ny * q + nz * q;
                Vec3 py = centre + ny * kBodyHalf + nx * q + nz * q;
                Vec3 pz = centre + nz * kBodyHalf + nx * q + ny * q;
                builder.Polygon({corner(slotOf(nx), px), corner(slotOf(ny), py), corner(slotOf(nz), pz)},
                                kBodyMaterial, Normalize(nx + ny + nz));
            }
        }
    }
    return mesh;
}

namespace {

// Fixed six decimals; a negative zero is written as zero.
void AppendNumber(std::string& out, double v) {
    if (v == 0) v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    out += buf;
}

void AppendFaces(std::string& out, const std::vector<std::vector<uint32_t>>& faces) {
    out += "  " + std::to_string(faces.size()) + ";\n";
    for (size_t i = 0; i < faces.size(); ++i) {
        out += "  " + std::to_string(faces[i].size()) + ";";
        for (size_t k = 0; k < faces[i].size(); ++k) {
            if (k) out += ",";
            out += std::to_string(faces[i][k]);
        }
        out += i + 1 < faces.size() ? ";,\n" : ";;\n";
    }
}

void AppendVectors(std::string& out, const std::vector<Vec3>& vs, const char* indent) {
    out += indent + std::to_string(vs.size()) + ";\n";
    for (size_t i = 0; i < vs.size(); ++i) {
        out += indent;
        AppendNumber(out, vs[i].x);
        out += ";";
        AppendNumber(out, vs[i].y);
        out += ";";
        AppendNumber(out, vs[i].z);
        out += i + 1 < vs.size() ? ";,\n" : ";;\n";
    }
}

}  // namespace

std::string WriteXFile(const XMesh& mesh) {
    std::string out = "xof 0302txt 0032\n";
    out += "// Trevolia cubelet. Materials 0-5 colour the face slots +X, -Z, -Y, +Z, -X, +Y; material 6 is the body.\n\n";
    out += "Mesh " + mesh.name + " {\n";
    AppendVectors(out, mesh.positions, "  ");
    AppendFaces(out, mesh.faces);

    out += "\n  MeshNormals {\n";
    AppendVectors(out, mesh.normals, "  ");
    AppendFaces(out, mesh.faces);
    out += "  }\n";

    out += "\n  MeshTextureCoords {\n";
    out += "  " + std::to_string(mesh.texcoords.size()) + ";\n";
    for (size_t i = 0; i < mesh.texcoords.size(); ++i) {
        out += "  ";
        AppendNumber(out, mesh.texcoords[i].x);
        out += ";";
        AppendNumber(out, mesh.texcoords[i].y);
        out += i + 1 < mesh.texcoords.size() ? ";,\n" : ";;\n";
    }
    out += "  }\n";

    out += "\n  MeshMaterialList {\n";
    out += "  " + std::to_string(mesh.materials.size()) + ";\n";
    out += "  " + std::to_string(mesh.faceMaterials.size()) + ";\n";
    for (size_t i = 0; i < mesh.faceMaterials.size(); ++i) {
        out += "  " + std::to_string(mesh.faceMaterials[i]);
        out += i + 1 < mesh.faceMaterials.size() ? ",\n" : ";\n";
    }
    for (const XMaterial& m : mesh.materials) {
        out += "\n    Material {\n      ";
        for (float c : {m.r, m.g, m.b, m.a}) AppendNumber(out, c), out += ";";
        out += ";\n      ";
        AppendNumber(out, m.power);
        out += ";\n      ";
        for (float c : {m.sr, m.sg, m.sb}) AppendNumber(out, c), out += ";";
        out += ";\n      ";
        for (float c : {m.er, m.eg, m.eb}) AppendNumber(out, c), out += ";";
        out += ";\n    }\n";
    }
    out += "  }\n}\n";
    return out;
}

MeshSurvey SurveyMesh(const XMesh& mesh) {
    MeshSurvey s;
    const size_t vertexCount = mesh.positions.size();
    if (mesh.normals.size() != vertexCount || mesh.texcoords.size() != vertexCount ||
        mesh.faceMaterials.size() != mesh.faces.size())
        s.indicesValid = false;
    bool first = true;
    for (const Vec3& p : mesh.positions) {
        if (first) {
            s.boundsMin = s.boundsMax = p;
            first = false;
        }
        s.boundsMin = {std::min(s.boundsMin.x, p.x), std::min(s.boundsMin.y, p.y), std::min(s.boundsMin.z, p.z)};
        s.boundsMax = {std::max(s.boundsMax.x, p.x), std::max(s.boundsMax.y, p.y), std::max(s.boundsMax.z, p.z)};
    }
    for (const Vec3& n : mesh.normals) s.worstNormalLength = std::max(s.worstNormalLength, std::abs(Length(n) - 1.0));

    for (size_t f = 0; f < mesh.faces.size(); ++f) {
        const auto& face = mesh.faces[f];
        uint32_t material = f < mesh.faceMaterials.size() ? mesh.faceMaterials[f] : ~0u;
        bool valid = face.size() >= 3 && material < mesh.materials.size() && material < kMaterialCount;
        for (uint32_t i : face) valid = valid && i < vertexCount && i < mesh.normals.size();
        if (!valid) {
            s.indicesValid = false;
            continue;
        }
        Vec3 area, centroid;
        for (size_t i = 1; i + 1 < face.size(); ++i) {
            const Vec3 &a = mesh.positions[face[0]], &b = mesh.positions[face[i]], &c = mesh.positions[face[i + 1]];
            Vec3 t = Cross(b - a, c - a) * 0.5;
            area += t;
            centroid += (a + b + c) * (Length(t) / 3.0);
            ++s.triangleCount;
        }
        double size = Length(area);
        s.area[material] += size;
        s.meanNormal[material] += area;
        s.centroid[material] += centroid;
        Vec3 geometric = Normalize(area);
        for (uint32_t i : face)
            s.worstNormalAgreement = std::min(s.worstNormalAgreement, Dot(geometric, Normalize(mesh.normals[i])));
    }
    for (int m = 0; m < kMaterialCount; ++m) {
        if (s.area[m] > 0) {
            s.meanNormal[m] = Normalize(s.meanNormal[m]);
            s.centroid[m] = s.centroid[m] * (1.0 / s.area[m]);
        }
    }
    return s;
}

}  // namespace datagen
