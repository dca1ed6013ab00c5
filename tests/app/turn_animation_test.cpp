// Panel turns through the view, and the frame-by-frame animation of a turn.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "app/sequencer.h"
#include "model_fixture.h"

namespace model_test {
namespace {

constexpr PanelCaption kAllCaptions[kPanelCaptionCount] = {
    PanelCaption::r1, PanelCaption::r2, PanelCaption::r3, PanelCaption::l1, PanelCaption::l2, PanelCaption::l3,
    PanelCaption::u1, PanelCaption::u2, PanelCaption::u3, PanelCaption::d1, PanelCaption::d2, PanelCaption::d3,
    PanelCaption::b1, PanelCaption::b2, PanelCaption::b3, PanelCaption::f1, PanelCaption::f2, PanelCaption::f3,
};

D3DXMATRIX Rotation(D3DXMATRIX* (*rotate)(D3DXMATRIX*, float), float angle) {
    D3DXMATRIX m;
    rotate(&m, angle);
    return m;
}

// The model turn that a panel button starts with the camera's world matrix
// w as the last frame rendered it; -1 when it starts none.
int32_t PanelTurnIn(const D3DXMATRIX& w, PanelCaption caption) {
    ResetGameState();
    SetViewOrientation(w);
    StartPanelTurn(caption);
    const int32_t k = RunningTurn();
    EXPECT_EQ(g_bTurning, k >= 0);
    return k;
}

using PanelTurnTest = CubeModelTest;

TEST_F(PanelTurnTest, WorkedResults) {
    const float q = D3DX_PI / 2;
    const std::vector<int32_t> none(kPanelCaptionCount, -1);
    struct Case {
        const char* view;
        D3DXMATRIX w;
        std::vector<int32_t> turns;  // r1 r2 r3 l1 l2 l3 u1 u2 u3 d1 d2 d3 b1 b2 b3 f1 f2 f3
    };
    const Case cases[] = {
        {"home", Identity(), {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}},
        {"+pi/2 about Y", Rotation(D3DXMatrixRotationY, q), {0, 1, 2, 3, 4, 5, 14, 13, 12, 17, 16, 15, 9, 10, 11, 6, 7, 8}},
        {"+pi/2 about X", Rotation(D3DXMatrixRotationX, q), {14, 13, 12, 17, 16, 15, 6, 7, 8, 9, 10, 11, 3, 4, 5, 0, 1, 2}},
        {"+pi/2 about Z", Rotation(D3DXMatrixRotationZ, q), {11, 10, 9, 8, 7, 6, 0, 1, 2, 3, 4, 5, 12, 13, 14, 15, 16, 17}},
        {"+pi/4 about Y", Rotation(D3DXMatrixRotationY, q / 2), none},
    };
    for (const Case& c : cases) {
        for (int32_t i = 0; i < kPanelCaptionCount; ++i)
            EXPECT_EQ(PanelTurnIn(c.w, kAllCaptions[i]), c.turns[i]) << c.view << ", caption " << i;
    }
}

// What each button does as the user sees it: the world axis about which the
// layer turns by +90 degrees, and the layer's world coordinate along that
// axis (world +X right, +Y up, +Z away from the viewer).
struct OnScreen {
    int worldAxis;  // 0 X, 1 Y, 2 Z
    int sense;
    int position;
};
OnScreen SeenOnScreen(PanelCaption caption) {
    const int i = static_cast<int>(caption), n = i % 3 + 1;
    switch (i / 3) {
        case 0: return {1, -1, 2 - n};  // r: row n from the top, front moves right
        case 1: return {1, +1, 2 - n};  // l: front moves left
        case 2: return {0, +1, n - 2};  // u: column n from the left, front moves up
        case 3: return {0, -1, n - 2};  // d: front moves down
        case 4: return {2, +1, 2 - n};  // b: slice n from the back, counter-clockwise
        default: return {2, -1, 2 - n};  // f: clockwise
    }
}

// The started model turn as a rotation in the world: its axis row of w
// times its sense, and its layer's position along that row.
void ExpectTurnMatchesScreen(const D3DXMATRIX& w, int32_t k, PanelCaption caption) {
    const ModelTurn& t = GetModelTurn(k);
    const int a = static_cast<int>(t.axis);
    const int position = a == 1 ? 2 - t.nLayer : t.nLayer - 2;
    const int sense = t.sense == TurnSense::Plus ? 1 : -1;
    const OnScreen want = SeenOnScreen(caption);
    const float along = w.m[a][want.worldAxis];  // model axis a's component along the world axis
    EXPECT_GT(sense * along * want.sense, 0.71f) << "caption " << static_cast<int>(caption) << " turn " << k;
    EXPECT_EQ(static_cast<int>(std::lround(position * along)), want.position)
        << "caption " << static_cast<int>(caption) << " turn " << k;
}

TEST_F(PanelTurnTest, EveryButtonTurnsWhatTheViewerSeesInAll24ViewsAndTiltedOnes) {
    // The 24 orientations in which every model axis lies on a world axis,
    // as they are and tilted by 20 degrees about an oblique world axis.
    const D3DXVECTOR3 tiltAxis(0.6f, 0.48f, 0.64f);
    D3DXMATRIX tilt;
    D3DXMatrixRotationAxis(&tilt, &tiltAxis, 20.0f * D3DX_PI / 180.0f);
    int views = 0;
    const int perms[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto& p : perms) {
        for (int signs = 0; signs < 8; ++signs) {
            D3DXMATRIX w = Identity();
            for (int r = 0; r < 3; ++r)
                for (int c = 0; c < 3; ++c) w.m[r][c] = (c == p[r]) ? ((signs >> r) & 1 ? -1.0f : 1.0f) : 0.0f;
            if (D3DXMatrixDeterminant(&w) < 0) continue;
            ++views;
            for (const D3DXMATRIX& view : {w, w * tilt}) {
                for (PanelCaption caption : kAllCaptions) {
                    const int32_t k = PanelTurnIn(view, caption);
                    ASSERT_GE(k, 0) << "caption " << static_cast<int>(caption);
                    ExpectTurnMatchesScreen(view, k, caption);
                }
            }
        }
    }
    EXPECT_EQ(views, 24);
}

TEST_F(PanelTurnTest, AxisThresholdIsStrictAndOnlyTheNeededAxesMatter) {
    // The model turned about the vertical so that model Z's depth is exactly
    // 0.71 (as a float) or just above it.
    auto aboutY = [](float depthOfZ) {
        const float s = std::sqrt(1.0f - depthOfZ * depthOfZ);
        return D3DXMATRIX(depthOfZ, 0, -s, 0, 0, 1, 0, 0, s, 0, depthOfZ, 0, 0, 0, 0, 1);
    };
    EXPECT_EQ(PanelTurnIn(aboutY(0.71f), PanelCaption::f3), -1);
    EXPECT_EQ(PanelTurnIn(aboutY(std::nextafter(0.71f, 1.0f)), PanelCaption::f3), 17);
    EXPECT_EQ(PanelTurnIn(aboutY(std::nextafter(0.71f, 1.0f)), PanelCaption::r1), 0);

    // Tipped towards the viewer by 45 degrees about X: the depth axis is
    // lost, so f and b work no more, and neither do the rows and columns,
    // which need it too.
    const D3DXMATRIX tipped = Rotation(D3DXMatrixRotationX, D3DX_PI / 4);
    EXPECT_EQ(PanelTurnIn(tipped, PanelCaption::f3), -1);
    EXPECT_EQ(PanelTurnIn(tipped, PanelCaption::r1), -1);
    EXPECT_EQ(PanelTurnIn(tipped, PanelCaption::u1), -1);

    // Turned 45 degrees about the line of sight: the depth axis is there, no
    // vertical one; f and b work, the rows and columns do not.
    const D3DXMATRIX rolled = Rotation(D3DXMatrixRotationZ, D3DX_PI / 4);
    EXPECT_EQ(PanelTurnIn(rolled, PanelCaption::b1), 12);
    EXPECT_EQ(PanelTurnIn(rolled, PanelCaption::l2), -1);
    EXPECT_EQ(PanelTurnIn(rolled, PanelCaption::d3), -1);
}

TEST_F(PanelTurnTest, CommandIdentifiersNameTheirCaptions) {
    struct Case {
        int32_t id;
        bool valid;
        PanelCaption caption;
    };
    const Case cases[] = {
        {101, true, PanelCaption::r1}, {203, true, PanelCaption::l3}, {302, true, PanelCaption::u2},
        {401, true, PanelCaption::d1}, {503, true, PanelCaption::b3}, {603, true, PanelCaption::f3},
        {100, false, {}},              {104, false, {}},              {701, false, {}},
        {1, false, {}},                {-101, false, {}},
    };
    for (const Case& c : cases) {
        PanelCaption got = PanelCaption::f1;
        EXPECT_EQ(PanelCaptionForCommand(c.id, &got), c.valid) << c.id;
        if (c.valid) {
            EXPECT_EQ(got, c.caption) << c.id;
        }
    }
}

using TurnAnimationTest = CubeModelTest;

// Frame moves at a constant elapsed time until the turn completes; returns
// the number of the frame move that completed it and checks every
// intermediate frame: the layer at the float-accumulated angle about the
// turn's axis, everything else at rest, the materials untouched.
int32_t FramesToComplete(int32_t k, float dt, std::vector<float>* shownAngles) {
    const ModelTurn& t = GetModelTurn(k);
    const CubeLayer& layer = GetCubeLayer(t.axis, t.nLayer);
    const Faces before = TakeFaces();
    StartModelTurn(k);
    float expected = 0.0f;
    for (int32_t frame = 1; frame <= 1000; ++frame) {
        OnFrameMove(nullptr, 0.0, dt, nullptr);
        expected = expected + dt * g_fTurnSpeed;
        if (!g_bTurning) return frame;
        shownAngles->push_back(expected);
        EXPECT_TRUE(TakeFaces() == before) << "frame " << frame;
        for (int32_t i = 0; i < kCubeletCount; ++i) {
            const CubeletPose& pose = g_CubeletPose[i];
            bool inLayer = false;
            for (int32_t n = 0; n < layer.nCount; ++n) inLayer |= layer.anCubelet[n] == i;
            const float want = inLayer ? (t.sense == TurnSense::Plus ? expected : -expected) : 0.0f;
            EXPECT_EQ(pose.fAngleX, t.axis == CubeAxis::X ? want : 0.0f) << "frame " << frame << " cubelet " << i;
            EXPECT_EQ(pose.fAngleY, t.axis == CubeAxis::Y ? want : 0.0f) << "frame " << frame << " cubelet " << i;
            EXPECT_EQ(pose.fAngleZ, t.axis == CubeAxis::Z ? want : 0.0f) << "frame " << frame << " cubelet " << i;
        }
    }
    return -1;
}

void ExpectCompletedAtRest(int32_t k, const Faces& before) {
    EXPECT_FALSE(g_bTurning);
    EXPECT_EQ(RunningTurn(), -1);
    for (const CubeletPose& pose : g_CubeletPose) {
        EXPECT_EQ(pose.fAngleX, 0.0f);
        EXPECT_EQ(pose.fAngleY, 0.0f);
        EXPECT_EQ(pose.fAngleZ, 0.0f);
    }
    const Faces after = TakeFaces();
    EXPECT_EQ(CommittedTurn(before, after), k);
}

TEST_F(TurnAnimationTest, SixtyAndThirtyFramesPerSecondAtDefaultSpeed) {
    struct Case {
        int32_t k;
        float dt;
        int32_t completingFrame;
    };
    const Case cases[] = {{0, 1.0f / 60, 32}, {8, 1.0f / 60, 32}, {14, 1.0f / 60, 32},
                          {3, 1.0f / 30, 16}, {10, 1.0f / 30, 16}, {17, 1.0f / 30, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "turn " << c.k << ", dt " << c.dt);
        ResetGameState();
        const Faces before = TakeFaces();
        std::vector<float> shown;
        EXPECT_EQ(FramesToComplete(c.k, c.dt, &shown), c.completingFrame);
        ASSERT_EQ(shown.size(), static_cast<size_t>(c.completingFrame - 1));
        const float perFrame = c.dt * 3.0f;
        for (size_t i = 0; i < shown.size(); ++i) EXPECT_NEAR(shown[i], perFrame * (i + 1), 1e-5f);
        ExpectCompletedAtRest(c.k, before);
    }
}

TEST_F(TurnAnimationTest, CompletionTestsTheFloatAngleAgainstTheQuarterInDouble) {
    const float quarter = static_cast<float>(kQuarterTurnAngle);
    ASSERT_EQ(static_cast<double>(quarter), kQuarterTurnAngle);
    g_fTurnSpeed = 1.0f;

    // One float below pi/2: still turning, shown at that angle.
    const Faces before = TakeFaces();
    StartModelTurn(0);
    OnFrameMove(nullptr, 0.0, std::nextafter(quarter, 0.0f), nullptr);
    EXPECT_TRUE(g_bTurning);
    EXPECT_EQ(g_CubeletPose[0].fAngleY, -std::nextafter(quarter, 0.0f));
    // The smallest further step that reaches pi/2 completes it.
    OnFrameMove(nullptr, 0.0, 1e-7f, nullptr);
    ExpectCompletedAtRest(0, before);
    EXPECT_EQ(g_fAngleY, quarter) << "the turn's angle keeps its last value";

    // A first elapsed time of at least pi/2 / speed completes at once, with
    // no intermediate angle.
    for (float dt : {quarter, 2.0f, 100.0f}) {
        ResetGameState();
        g_fTurnSpeed = 1.0f;
        const Faces start = TakeFaces();
        StartModelTurn(12);
        OnFrameMove(nullptr, 0.0, dt, nullptr);
        ExpectCompletedAtRest(12, start);
    }
    ResetGameState();
    const Faces start = TakeFaces();
    StartModelTurn(6);
    OnFrameMove(nullptr, 0.0, 1.0f, nullptr);  // 1 s at the default 3.0 rad/s
    ExpectCompletedAtRest(6, start);
}

TEST_F(TurnAnimationTest, StartWhileTurningIsIgnoredAndTheRunningTurnFinishes) {
    const Faces before = TakeFaces();
    StartModelTurn(0);
    for (int i = 0; i < 10; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    const float angle = g_fAngleY;
    for (int32_t k : {0, 3, 5, 9, 17}) StartModelTurn(k);
    StartPanelTurn(PanelCaption::f3);
    EXPECT_EQ(RunningTurn(), 0);
    EXPECT_EQ(g_fAngleY, angle) << "a refused start leaves the running angle alone";
    const Played played = PlayUntilIdle();
    EXPECT_EQ(played.turns, std::vector<int32_t>({0}));
    EXPECT_EQ(played.frames, 22);
    ExpectCompletedAtRest(0, before);  // compares with the faces after one turn 0
    StartModelTurn(-1);
    StartModelTurn(kModelTurnCount);
    EXPECT_FALSE(g_bTurning);
}

TEST_F(TurnAnimationTest, SpeedChangesDuringATurnApplyToItsRest) {
    StartModelTurn(2);
    for (int i = 0; i < 10; ++i) OnFrameMove(nullptr, 0.0, 1.0f / 60, nullptr);
    g_fTurnSpeed = 10.125f;
    // 0.5 rad turned; 1.0708 rad left at 10.125 rad/s is 7 frames of 1/60 s.
    EXPECT_EQ(PlayUntilIdle().frames, 7);
}

TEST_F(TurnAnimationTest, FrameMoveRebuildsWorldMatricesFromPosesAfterTheCamera) {
    std::vector<float> cameraSawAngle;
    static std::vector<float>* s_record;
    s_record = &cameraSawAngle;
    g_CubeModelHooks.pfnCameraFrameMove = [](float elapsed) {
        s_record->push_back(elapsed);
        s_record->push_back(g_fAngleX);
    };
    matWorld._12 = 5.0f;
    for (Cubelet& c : m_Cube) c.m_mWorld._43 = 7.0f;

    StartModelTurn(7);  // X +, the middle column
    OnFrameMove(nullptr, 12.5, 0.125f, nullptr);
    OnFrameMove(nullptr, 12.625, 0.125f, nullptr);

    EXPECT_EQ(cameraSawAngle, std::vector<float>({0.125f, 0.0f, 0.125f, 0.375f}))
        << "the camera moves first, before the turn advances";
    EXPECT_TRUE(matWorld == Identity());
    const CubeLayer& layer = GetCubeLayer(CubeAxis::X, 2);
    for (int32_t i = 0; i < kCubeletCount; ++i) {
        bool inLayer = false;
        for (int32_t n = 0; n < layer.nCount; ++n) inLayer |= layer.anCubelet[n] == i;
        const D3DXMATRIX want = inLayer ? Rotation(D3DXMatrixRotationX, 0.75f) : Identity();
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR(m_Cube[i].m_mWorld.m[r][c], want.m[r][c], 1e-6f) << "cubelet " << i << " _" << r + 1 << c + 1;
    }
}

TEST(ComposePoseMatrix, EqualsRotationYThenZThenXAndKeepsTheFourthRowAndColumn) {
    const D3DXMATRIX m(9, 9, 9, 0.5f, 9, 9, 9, 0.25f, 9, 9, 9, 0.125f, 3, -4, 5, 2);
    const float angles[][3] = {{0, 0, 0},       {0.7f, 0, 0},      {0, -1.2f, 0},        {0, 0, 1.5707963f},
                               {0.3f, 0.4f, 0.5f}, {-2.0f, 1.0f, -0.6f}, {3.1f, -2.9f, 0.05f}};
    for (const auto& a : angles) {
        CubeletPose pose{};
        pose.fAngleY = a[0];
        pose.fAngleX = a[1];
        pose.fAngleZ = a[2];
        const D3DXMATRIX got = ComposePoseMatrix(pose, m);
        const D3DXMATRIX want = Rotation(D3DXMatrixRotationY, a[0]) * Rotation(D3DXMatrixRotationZ, a[2]) *
                                Rotation(D3DXMatrixRotationX, a[1]);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(got.m[r][c], want.m[r][c], 2e-6f) << "_" << r + 1 << c + 1;
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(got.m[3][i], m.m[3][i]);
            EXPECT_EQ(got.m[i][3], m.m[i][3]);
        }
    }
}

TEST(ComposePoseMatrix, SinesAndCosinesAreDoublePrecisionRoundedToFloat) {
    for (float y : {0.05f, 1.0f, 1.55f, -0.7853982f, 3.0f, 0.0f, -0.0f}) {
        CubeletPose pose{};
        pose.fAngleY = y;
        const D3DXMATRIX got = ComposePoseMatrix(pose, Identity());
        const float c = static_cast<float>(std::cos(static_cast<double>(y)));
        const float s = static_cast<float>(std::sin(static_cast<double>(y)));
        EXPECT_EQ(got._11, c * 1.0f) << y;
        EXPECT_EQ(got._13, -s) << y;
        EXPECT_EQ(std::bit_cast<uint32_t>(got._31), std::bit_cast<uint32_t>(s)) << y;  // even the sign of 0
        EXPECT_EQ(got._33, c) << y;
        EXPECT_EQ(got._22, 1.0f) << y;
    }
}

}  // namespace
}  // namespace model_test
