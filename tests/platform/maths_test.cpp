#include "platform/maths.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr float kEps = 1e-5f;

D3DXVECTOR3 Transform(const D3DXVECTOR3& v, const D3DXMATRIX& m) {
    D3DXVECTOR3 out;
    D3DXVec3TransformCoord(&out, &v, &m);
    return out;
}

void ExpectNear(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    EXPECT_NEAR(a.x, b.x, kEps);
    EXPECT_NEAR(a.y, b.y, kEps);
    EXPECT_NEAR(a.z, b.z, kEps);
}

void ExpectNear(const D3DXMATRIX& a, const D3DXMATRIX& b, float eps = kEps) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a(r, c), b(r, c), eps) << "element _" << r + 1 << c + 1;
}

// A positive quarter turn about each axis carries one axis onto the next, in
// the left-handed convention of the program.
struct AxisCase {
    D3DXMATRIX* (*rotate)(D3DXMATRIX*, float);
    D3DXVECTOR3 from, to;
};

TEST(Maths, PositiveRotationsTurnAxesTheProgramsWay) {
    const AxisCase cases[] = {
        {D3DXMatrixRotationZ, {1, 0, 0}, {0, 1, 0}},  // +X towards +Y
        {D3DXMatrixRotationX, {0, 1, 0}, {0, 0, 1}},  // +Y towards +Z
        {D3DXMatrixRotationY, {0, 0, 1}, {1, 0, 0}},  // +Z towards +X
    };
    for (const AxisCase& c : cases) {
        D3DXMATRIX m;
        c.rotate(&m, D3DX_PI / 2);
        ExpectNear(Transform(c.from, m), c.to);
    }
}

TEST(Maths, ProductAppliesLeftFactorFirstAndTranslationSitsInFourthRow) {
    D3DXMATRIX t, r;
    D3DXMatrixTranslation(&t, 1, 2, 3);
    EXPECT_EQ(t._41, 1.0f);
    EXPECT_EQ(t._42, 2.0f);
    EXPECT_EQ(t._43, 3.0f);
    D3DXMatrixRotationY(&r, D3DX_PI / 2);
    // Translate, then rotate: the origin goes to (1,2,3) and is then turned.
    ExpectNear(Transform({0, 0, 0}, t * r), Transform({1, 2, 3}, r));
    // Rotate, then translate: the origin stays and is then moved.
    ExpectNear(Transform({0, 0, 0}, r * t), {1, 2, 3});
}

TEST(Maths, InverseUndoesAndSingularFails) {
    D3DXMATRIX a, b, m, inv, id;
    const D3DXVECTOR3 axis(1, 2, 3);
    D3DXMatrixRotationAxis(&a, &axis, 0.7f);
    D3DXMatrixTranslation(&b, -4, 5, 0.5f);
    m = a * b;
    float det = 0;
    ASSERT_NE(D3DXMatrixInverse(&inv, &det, &m), nullptr);
    EXPECT_NEAR(det, 1.0f, kEps);
    ExpectNear(m * inv, *D3DXMatrixIdentity(&id));

    D3DXMATRIX singular;
    D3DXMatrixScaling(&singular, 1, 0, 1);
    D3DXMATRIX untouched = id;
    EXPECT_EQ(D3DXMatrixInverse(&untouched, &det, &singular), nullptr);
    EXPECT_EQ(det, 0.0f);
    EXPECT_EQ(untouched, id);
}

TEST(Maths, QuaternionProductIsFirstRotationThenSecond) {
    D3DXQUATERNION qx, qy, q;
    D3DXVECTOR3 xAxis(1, 0, 0), yAxis(0, 1, 0);
    D3DXQuaternionRotationAxis(&qx, &xAxis, 0.4f);
    D3DXQuaternionRotationAxis(&qy, &yAxis, 1.1f);
    D3DXQuaternionMultiply(&q, &qx, &qy);
    D3DXMATRIX mx, my, mq;
    D3DXMatrixRotationQuaternion(&mx, &qx);
    D3DXMatrixRotationQuaternion(&my, &qy);
    D3DXMatrixRotationQuaternion(&mq, &q);
    ExpectNear(mq, mx * my);
}

TEST(Maths, QuaternionAndMatrixAgreeWithAxisRotations) {
    D3DXMATRIX ry, fromQ;
    D3DXMatrixRotationY(&ry, 0.8f);
    D3DXQUATERNION q;
    D3DXQuaternionRotationMatrix(&q, &ry);
    EXPECT_NEAR(q.y, std::sin(0.4f), kEps);
    EXPECT_NEAR(q.w, std::cos(0.4f), kEps);
    ExpectNear(*D3DXMatrixRotationQuaternion(&fromQ, &q), ry);

    // Round trips through every branch of the conversion (large x, y, z, w).
    const D3DXVECTOR3 axes[] = {{1, 0.1f, 0.1f}, {0.1f, 1, 0.2f}, {0.2f, 0.1f, 1}, {1, 1, 1}};
    for (const D3DXVECTOR3& axis : axes) {
        D3DXMATRIX m, back;
        D3DXMatrixRotationAxis(&m, &axis, 3.0f);
        D3DXQuaternionRotationMatrix(&q, &m);
        ExpectNear(*D3DXMatrixRotationQuaternion(&back, &q), m);
    }
}

TEST(Maths, LookAtPutsTargetAheadOnPositiveZ) {
    D3DXMATRIX view;
    D3DXVECTOR3 eye(4, 4, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    ExpectNear(Transform(eye, view), {0, 0, 0});
    D3DXVECTOR3 target = Transform(at, view);
    EXPECT_NEAR(target.x, 0, kEps);
    EXPECT_NEAR(target.y, 0, kEps);
    EXPECT_NEAR(target.z, std::sqrt(132.0f), 1e-4f);
}

TEST(Maths, PerspectiveMapsNearToZeroAndFarToOne) {
    D3DXMATRIX proj;
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 4.0f / 3.0f, 0.1f, 1000.0f);
    EXPECT_NEAR(Transform({0, 0, 0.1f}, proj).z, 0.0f, kEps);
    EXPECT_NEAR(Transform({0, 0, 1000.0f}, proj).z, 1.0f, kEps);
    EXPECT_EQ(proj._34, 1.0f);
    EXPECT_EQ(proj._44, 0.0f);
}

TEST(Maths, ColourConversionRoundsAndClamps) {
    D3DXCOLOR c(0xC8808080u);
    EXPECT_FLOAT_EQ(c.a, 200.0f / 255.0f);
    EXPECT_FLOAT_EQ(c.r, 128.0f / 255.0f);
    EXPECT_EQ(c.ToARGB(), 0xC8808080u);
    EXPECT_EQ(D3DXCOLOR(2.0f, -1.0f, 0.5f, 1.0f).ToARGB(), 0xFFFF0080u);
}

}  // namespace
