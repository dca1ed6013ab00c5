// Vector, matrix, quaternion and colour maths.
//
// Conventions (used everywhere in the program):
// - left-handed coordinates;
// - row vectors: a point p is transformed as p * M, the translation sits in the
//   fourth row (_41, _42, _43), and A * B applies A first, then B;
// - a rotation by a positive angle about Z takes +X towards +Y, about X takes
//   +Y towards +Z, about Y takes +Z towards +X;
// - matrix elements are named _11 ... _44, row first;
// - quaternions are (x, y, z, w); the product of q1 and q2 is the rotation q1
//   followed by the rotation q2.
// All arithmetic is single precision unless a function says otherwise.
#pragma once

#include <cstdint>

constexpr float D3DX_PI = 3.141592654f;
constexpr float D3DXToRadian(float degree) { return degree * (D3DX_PI / 180.0f); }

struct D3DXVECTOR2 {
    float x, y;
    D3DXVECTOR2() = default;
    constexpr D3DXVECTOR2(float fx, float fy) : x(fx), y(fy) {}
};

struct D3DXVECTOR3 {
    float x, y, z;
    D3DXVECTOR3() = default;
    constexpr D3DXVECTOR3(float fx, float fy, float fz) : x(fx), y(fy), z(fz) {}

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    D3DXVECTOR3& operator*=(float f) { x *= f; y *= f; z *= f; return *this; }
    D3DXVECTOR3& operator/=(float f) { float inv = 1.0f / f; x *= inv; y *= inv; z *= inv; return *this; }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return {x + v.x, y + v.y, z + v.z}; }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return {x - v.x, y - v.y, z - v.z}; }
    D3DXVECTOR3 operator-() const { return {-x, -y, -z}; }
    D3DXVECTOR3 operator*(float f) const { return {x * f, y * f, z * f}; }
    D3DXVECTOR3 operator/(float f) const { float inv = 1.0f / f; return {x * inv, y * inv, z * inv}; }
    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
};
inline D3DXVECTOR3 operator*(float f, const D3DXVECTOR3& v) { return v * f; }

struct D3DXVECTOR4 {
    float x, y, z, w;
    D3DXVECTOR4() = default;
    constexpr D3DXVECTOR4(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}
    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
};

struct D3DXQUATERNION {
    float x, y, z, w;
    D3DXQUATERNION() = default;
    constexpr D3DXQUATERNION(float fx, float fy, float fz, float fw) : x(fx), y(fy), z(fz), w(fw) {}
    bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
};

struct D3DXMATRIX {
    union {
        struct {
            float _11, _12, _13, _14;
            float _21, _22, _23, _24;
            float _31, _32, _33, _34;
            float _41, _42, _43, _44;
        };
        float m[4][4];
    };
    D3DXMATRIX() = default;
    constexpr D3DXMATRIX(float a11, float a12, float a13, float a14, float a21, float a22, float a23, float a24,
                         float a31, float a32, float a33, float a34, float a41, float a42, float a43, float a44)
        : _11(a11), _12(a12), _13(a13), _14(a14), _21(a21), _22(a22), _23(a23), _24(a24), _31(a31), _32(a32),
          _33(a33), _34(a34), _41(a41), _42(a42), _43(a43), _44(a44) {}

    float& operator()(int row, int col) { return m[row][col]; }
    float operator()(int row, int col) const { return m[row][col]; }
    D3DXMATRIX operator*(const D3DXMATRIX& b) const;
    D3DXMATRIX& operator*=(const D3DXMATRIX& b);
    bool operator==(const D3DXMATRIX& b) const;
};

// Four float channels, each 0..1 for displayable colours.
struct D3DXCOLOR {
    float r, g, b, a;
    D3DXCOLOR() = default;
    constexpr D3DXCOLOR(float fr, float fg, float fb, float fa) : r(fr), g(fg), b(fb), a(fa) {}
    // From a packed 0xAARRGGBB colour: each channel times 1/255.
    explicit D3DXCOLOR(uint32_t argb);
    // To a packed 0xAARRGGBB colour: each channel clamped to 0..1, 1 or more
    // gives 255, 0 or less gives 0, anything between trunc(v * 255 + 0.5).
    uint32_t ToARGB() const;
    bool operator==(const D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
};

// --- vectors ---------------------------------------------------------------
float D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b);
D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b);
float D3DXVec3Length(const D3DXVECTOR3* v);
float D3DXVec3LengthSq(const D3DXVECTOR3* v);
// A zero vector stays zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// (x, y, z, 1) * M, divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 0) * M: directions, no translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 1) * M as a 4-vector.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m);
float D3DXVec4Dot(const D3DXVECTOR4* a, const D3DXVECTOR4* b);

// --- matrices --------------------------------------------------------------
D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
bool D3DXMatrixIsIdentity(const D3DXMATRIX* m);
// out = a * b (a first). out may be a or b.
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
// Returns null (and leaves out unchanged) when m is singular. det may be null.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, float* det, const D3DXMATRIX* m);
float D3DXMatrixDeterminant(const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, float x, float y, float z);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, float sx, float sy, float sz);
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, float angle);
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, float angle);
// Rotation of a unit quaternion.
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
// Left-handed view matrix looking from eye at at, with up as the rough up.
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at,
                               const D3DXVECTOR3* up);
// Left-handed perspective projection; clip depth runs from 0 (near) to 1 (far).
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, float fovy, float aspect, float zn, float zf);
// Left-handed orthographic projection of the box l..r, b..t, zn..zf; depth 0..1.
D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, float l, float r, float b, float t, float zn, float zf);

// --- quaternions -----------------------------------------------------------
D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out);
// out = q1 followed by q2 (as a Hamilton product: q2 q1). out may alias.
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* q1, const D3DXQUATERNION* q2);
// The rotation part of m (its upper 3x3 block must be a rotation).
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m);
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, float angle);
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q);
float D3DXQuaternionLength(const D3DXQUATERNION* q);
