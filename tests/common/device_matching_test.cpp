#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/device_enumeration.h"
#include "scripted_machine.h"

namespace {

using namespace scripted;

constexpr FWMATCH_TYPE IGN = FWMT_IGNORE_INPUT;
constexpr FWMATCH_TYPE PRE = FWMT_PRESERVE_INPUT;
constexpr FWMATCH_TYPE CLO = FWMT_CLOSEST_TO_INPUT;

// Input settings: windowed or full screen at a size, everything else zero.
FWDeviceSettings Input(bool windowed, UINT width = 0, UINT height = 0) {
    FWDeviceSettings s{};
    s.pp.Windowed = windowed;
    s.pp.BackBufferWidth = width;
    s.pp.BackBufferHeight = height;
    return s;
}

void ExpectSameSettings(const FWDeviceSettings& a, const FWDeviceSettings& b) {
    EXPECT_EQ(a.AdapterOrdinal, b.AdapterOrdinal);
    EXPECT_EQ(a.DeviceType, b.DeviceType);
    EXPECT_EQ(a.AdapterFormat, b.AdapterFormat);
    EXPECT_EQ(a.BehaviorFlags, b.BehaviorFlags);
    EXPECT_EQ(a.pp.BackBufferWidth, b.pp.BackBufferWidth);
    EXPECT_EQ(a.pp.BackBufferHeight, b.pp.BackBufferHeight);
    EXPECT_EQ(a.pp.BackBufferFormat, b.pp.BackBufferFormat);
    EXPECT_EQ(a.pp.BackBufferCount, b.pp.BackBufferCount);
    EXPECT_EQ(a.pp.MultiSampleType, b.pp.MultiSampleType);
    EXPECT_EQ(a.pp.MultiSampleQuality, b.pp.MultiSampleQuality);
    EXPECT_EQ(a.pp.SwapEffect, b.pp.SwapEffect);
    EXPECT_EQ(a.pp.hDeviceWindow, b.pp.hDeviceWindow);
    EXPECT_EQ(a.pp.Windowed, b.pp.Windowed);
    EXPECT_EQ(a.pp.EnableAutoDepthStencil, b.pp.EnableAutoDepthStencil);
    EXPECT_EQ(a.pp.AutoDepthStencilFormat, b.pp.AutoDepthStencilFormat);
    EXPECT_EQ(a.pp.Flags, b.pp.Flags);
    EXPECT_EQ(a.pp.FullScreen_RefreshRateInHz, b.pp.FullScreen_RefreshRateInHz);
    EXPECT_EQ(a.pp.PresentationInterval, b.pp.PresentationInterval);
}

// A device type whose combinations use the same format for adapter and back buffer.
ScriptedDeviceType SameFormatDevice(std::vector<D3DFORMAT> formats) {
    ScriptedDeviceType t = Device(D3DDEVTYPE_HAL, {}, {});
    for (D3DFORMAT f : formats)
        for (bool windowed : {false, true}) t.combos.push_back({f, f, windowed});
    return t;
}

char g_windowedToken, g_fullScreenToken;
HWND const kWindowed = reinterpret_cast<HWND>(&g_windowedToken);
HWND const kFullScreen = reinterpret_cast<HWND>(&g_fullScreenToken);

class MatchTest : public ScriptedEnumerationTest {
protected:
    void Load(const ScriptedSystem& s) { ASSERT_EQ(Enumerate(s), S_OK); }

    HRESULT Match(const FWDeviceSettings& in, const FWMatchOptions& options) {
        m_out = FWDeviceSettings{};
        return FWFindValidDeviceSettingsIn(Context(), &m_out, &in, &options);
    }

    FWMatchContext Context() { return FWMatchContext{m_d3d, &m_enum, kWindowed, kFullScreen}; }

    FWDeviceSettings m_out{};
};

// Every setting gets the rule: a field added to the record and missed here
// would silently mean "ignore".
TEST(MatchOptions, AllMatchOptionsSetsEverySetting) {
    for (FWMATCH_TYPE rule : {IGN, PRE, CLO}) {
        const FWMatchOptions options = AllMatchOptions(rule);
        FWMATCH_TYPE fields[15];
        static_assert(sizeof(options) == sizeof(fields));
        std::memcpy(fields, &options, sizeof(fields));
        for (FWMATCH_TYPE field : fields) EXPECT_EQ(field, rule);
    }
}

TEST_F(MatchTest, AllIgnoreOnTheTypicalMachine) {
    Load(MakeTypicalScriptedSystem());
    // A null options record and a null input mean "ignore everything".
    FWDeviceSettings out{};
    ASSERT_EQ(FWFindValidDeviceSettingsIn(Context(), &out, nullptr, nullptr), S_OK);
    EXPECT_EQ(out.AdapterOrdinal, 0u);
    EXPECT_EQ(out.DeviceType, D3DDEVTYPE_HAL);
    EXPECT_EQ(out.AdapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(out.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_TRUE(out.pp.Windowed);
    EXPECT_EQ(out.pp.hDeviceWindow, kWindowed);
    EXPECT_EQ(out.pp.BackBufferWidth, 640u);
    EXPECT_EQ(out.pp.BackBufferHeight, 480u);
    EXPECT_EQ(out.pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(out.pp.BackBufferCount, 2u);
    EXPECT_EQ(out.pp.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(out.pp.MultiSampleQuality, 0u);
    EXPECT_EQ(out.pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_TRUE(out.pp.EnableAutoDepthStencil);
    EXPECT_EQ(out.pp.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(out.pp.Flags, D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL);
    EXPECT_EQ(out.pp.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(out.pp.PresentationInterval, D3DPRESENT_INTERVAL_DEFAULT);

    // The same through an explicit all-ignore record, with the input as output.
    FWDeviceSettings same = Input(false, 123, 456);
    const FWMatchOptions ignore = AllMatchOptions(IGN);
    ASSERT_EQ(FWFindValidDeviceSettingsIn(Context(), &same, &same, &ignore), S_OK);
    ExpectSameSettings(same, out);
}

TEST_F(MatchTest, ArgumentsAndEmptyEnumeration) {
    Load(MakeTypicalScriptedSystem());
    const FWDeviceSettings in = Input(true);
    const FWMatchOptions o = AllMatchOptions(IGN);
    EXPECT_EQ(FWFindValidDeviceSettingsIn(Context(), nullptr, &in, &o), E_INVALIDARG);
    FWDeviceSettings out{};
    EXPECT_EQ(FWFindValidDeviceSettingsIn(FWMatchContext{nullptr, &m_enum, nullptr, nullptr}, &out, &in, &o),
              FWERR_NODIRECT3D);
    EXPECT_EQ(FWFindValidDeviceSettingsIn(FWMatchContext{m_d3d, nullptr, nullptr, nullptr}, &out, &in, &o),
              E_INVALIDARG);
    m_enum.ClearAdapterInfoList();
    EXPECT_EQ(FWFindValidDeviceSettingsIn(Context(), &out, &in, &o), FWERR_NOCOMPATIBLEDEVICES);
}

// --- resolution ------------------------------------------------------------------

TEST_F(MatchTest, Resolution) {
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device()}, Mode(1024, 768)));
    s.adapters[0].modes.push_back(Mode(1280, 1024, 60, D3DFMT_R5G6B5));  // another format, never taken
    Load(s);
    struct Case {
        const char* name;
        bool windowed;
        FWMATCH_TYPE rule;
        UINT w, h;
        HRESULT hr;
        UINT expectW, expectH;
    };
    const Case cases[] = {
        {"full screen exact", false, CLO, 800, 600, S_OK, 800, 600},
        {"full screen nearest: 810x600 is 10 from 800x600", false, CLO, 810, 600, S_OK, 800, 600},
        {"full screen nearest upward", false, CLO, 1000, 700, S_OK, 1024, 768},
        {"full screen tie: first smallest", false, CLO, 720, 540, S_OK, 640, 480},
        {"full screen zero size: the smallest mode", false, CLO, 0, 0, S_OK, 640, 480},
        {"full screen huge size does not overflow", false, CLO, 0xFFFFFFFF, 0xFFFFFFFF, S_OK, 1024, 768},
        {"full screen ignore: the desktop size", false, IGN, 800, 600, S_OK, 1024, 768},
        {"full screen: only modes in the adapter format", false, CLO, 1280, 1024, S_OK, 1024, 768},
        {"windowed keeps any closest size", true, CLO, 810, 600, S_OK, 810, 600},
        {"windowed ignore: 640x480", true, IGN, 810, 600, S_OK, 640, 480},
        {"preserve an offered size", true, PRE, 800, 600, S_OK, 800, 600},
        {"preserve a size no mode has, even windowed", true, PRE, 810, 600, FWERR_NOCOMPATIBLEDEVICES, 0, 0},
        {"preserve a size no mode has, full screen", false, PRE, 1280, 1024, FWERR_NOCOMPATIBLEDEVICES, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eWindowed = PRE;
        o.eResolution = c.rule;
        ASSERT_EQ(Match(Input(c.windowed, c.w, c.h), o), c.hr);
        if (c.hr != S_OK) continue;
        EXPECT_EQ(m_out.pp.Windowed != FALSE, c.windowed);
        EXPECT_EQ(m_out.pp.BackBufferWidth, c.expectW);
        EXPECT_EQ(m_out.pp.BackBufferHeight, c.expectH);
    }
}

TEST_F(MatchTest, PreservedResolutionSelectsTheAdapterFormatThatHasIt) {
    // 1280x1024 exists only in R5G6B5: every X8R8G8B8 combination, windowed
    // ones included, is excluded.
    ScriptedSystem s;
    std::vector<D3DDISPLAYMODE> modes = StandardModes();
    modes.push_back(Mode(1280, 1024, 60, D3DFMT_R5G6B5));
    s.adapters.push_back(Adapter(modes, {SameFormatDevice({D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})}));
    Load(s);
    FWMatchOptions o = AllMatchOptions(IGN);
    o.eResolution = PRE;
    ASSERT_EQ(Match(Input(true, 1280, 1024), o), S_OK);
    EXPECT_FALSE(m_out.pp.Windowed);
    EXPECT_EQ(m_out.AdapterFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(m_out.pp.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(m_out.pp.BackBufferWidth, 1280u);
    EXPECT_EQ(m_out.pp.BackBufferHeight, 1024u);
}

// --- filter and ranking ------------------------------------------------------------

TEST_F(MatchTest, WindowedOnlyInTheDesktopFormat) {
    // Windowed combinations exist only in R5G6B5 while the desktop is X8R8G8B8:
    // the matcher goes full screen even though windowed is preferred.
    ScriptedDeviceType hal = Device(D3DDEVTYPE_HAL, {}, {});
    hal.combos = {{D3DFMT_R5G6B5, D3DFMT_R5G6B5, true}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}};
    ScriptedSystem s;
    std::vector<D3DDISPLAYMODE> modes = StandardModes();
    modes.push_back(Mode(1024, 768, 60, D3DFMT_R5G6B5));
    s.adapters.push_back(Adapter(modes, {hal}, Mode(1024, 768, 60, D3DFMT_X8R8G8B8)));
    Load(s);
    ASSERT_NE(m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_R5G6B5, TRUE), nullptr);

    ASSERT_EQ(Match(Input(true), AllMatchOptions(IGN)), S_OK);
    EXPECT_FALSE(m_out.pp.Windowed);
    EXPECT_EQ(m_out.pp.hDeviceWindow, kFullScreen);
    EXPECT_EQ(m_out.AdapterFormat, D3DFMT_X8R8G8B8);

    FWMatchOptions o = AllMatchOptions(IGN);
    o.eWindowed = PRE;
    EXPECT_EQ(Match(Input(true), o), FWERR_NOCOMPATIBLEDEVICES);
}

TEST_F(MatchTest, EqualRanksKeepTheFirstEnumerated) {
    // Two adapters alike in everything; asking for an adapter that does not
    // exist ranks them equally, and the first one wins.
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device()}));
    s.adapters.push_back(Adapter(StandardModes(), {Device()}));
    Load(s);
    FWMatchOptions o = AllMatchOptions(IGN);
    o.eAdapterOrdinal = CLO;
    FWDeviceSettings in = Input(true);
    in.AdapterOrdinal = 5;
    ASSERT_EQ(Match(in, o), S_OK);
    EXPECT_EQ(m_out.AdapterOrdinal, 0u);

    // Within one adapter: full screen in X1R5G5B5 and in R5G6B5 rank alike
    // against an X8R8G8B8 target; X1R5G5B5 comes first in the adapter-format order.
    ScriptedSystem t;
    std::vector<D3DDISPLAYMODE> modes = StandardModes(D3DFMT_R5G6B5);
    for (const D3DDISPLAYMODE& m : StandardModes(D3DFMT_X1R5G5B5)) modes.push_back(m);
    t.adapters.push_back(
        Adapter(modes, {SameFormatDevice({D3DFMT_R5G6B5, D3DFMT_X1R5G5B5})}, Mode(1024, 768, 60, D3DFMT_X8R8G8B8)));
    Load(t);
    FWMatchOptions full = AllMatchOptions(IGN);
    full.eWindowed = PRE;
    full.eAdapterFormat = CLO;
    full.eBackBufferFormat = CLO;
    FWDeviceSettings fin = Input(false);
    fin.AdapterFormat = D3DFMT_X8R8G8B8;
    fin.pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(Match(fin, full), S_OK);
    EXPECT_EQ(m_out.AdapterFormat, D3DFMT_X1R5G5B5);
    EXPECT_EQ(m_out.pp.BackBufferFormat, D3DFMT_X1R5G5B5);
}

TEST_F(MatchTest, RankingPrefersTheTarget) {
    // Adapter 0: HAL without hardware T&L; adapter 1: HAL with it. Adapter
    // ordinal, device type and formats all rank alike.
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {WithoutHardwareTnL(Device())}));
    s.adapters.push_back(Adapter(StandardModes(), {Device(D3DDEVTYPE_REF), Device(D3DDEVTYPE_HAL)}));
    Load(s);
    struct Case {
        const char* name;
        FWMATCH_TYPE ordinalRule, typeRule;
        UINT ordinal;
        D3DDEVTYPE type;
        UINT expectOrdinal;
        D3DDEVTYPE expectType;
    };
    const Case cases[] = {
        {"the wanted adapter outweighs hardware T&L", CLO, IGN, 0, D3DDEVTYPE_HAL, 0, D3DDEVTYPE_HAL},
        {"no wanted adapter: hardware T&L decides", CLO, IGN, 9, D3DDEVTYPE_HAL, 1, D3DDEVTYPE_HAL},
        {"the wanted device type outweighs HAL", CLO, CLO, 1, D3DDEVTYPE_REF, 1, D3DDEVTYPE_REF},
        {"ignored type means HAL", CLO, IGN, 1, D3DDEVTYPE_REF, 1, D3DDEVTYPE_HAL},
        {"preserved type", IGN, PRE, 0, D3DDEVTYPE_REF, 1, D3DDEVTYPE_REF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eAdapterOrdinal = c.ordinalRule;
        o.eDeviceType = c.typeRule;
        FWDeviceSettings in = Input(true);
        in.AdapterOrdinal = c.ordinal;
        in.DeviceType = c.type;
        ASSERT_EQ(Match(in, o), S_OK);
        EXPECT_EQ(m_out.AdapterOrdinal, c.expectOrdinal);
        EXPECT_EQ(m_out.DeviceType, c.expectType);
    }
}

TEST_F(MatchTest, FullScreenPrefersTheDesktopFormatAndExactBackBuffer) {
    ScriptedSystem s;
    std::vector<D3DDISPLAYMODE> modes = StandardModes();
    for (const D3DDISPLAYMODE& m : StandardModes(D3DFMT_R5G6B5)) modes.push_back(m);
    s.adapters.push_back(Adapter(modes,
                                 {Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5},
                                         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})},
                                 Mode(1024, 768, 60, D3DFMT_R5G6B5)));
    Load(s);
    FWMatchOptions o = AllMatchOptions(IGN);
    o.eWindowed = PRE;
    // A 16-bit desktop: full screen aims at X8R8G8B8 and its own back-buffer format.
    ASSERT_EQ(Match(Input(false), o), S_OK);
    EXPECT_EQ(m_out.AdapterFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(m_out.pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(m_out.pp.AutoDepthStencilFormat, D3DFMT_D32);
    // Windowed follows the desktop.
    ASSERT_EQ(Match(Input(true), o), S_OK);
    EXPECT_EQ(m_out.AdapterFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(m_out.pp.BackBufferFormat, D3DFMT_R5G6B5);
    // 16 colour bits: the depth target is 20 bits, D16 and D24X8 tie, the first listed wins.
    EXPECT_EQ(m_out.pp.AutoDepthStencilFormat, D3DFMT_D16);
}

// Each ranking term in turn decides between otherwise equal combinations; the
// first enumerated one wins without it.
TEST_F(MatchTest, EveryRankingTermCounts) {
    struct Case {
        const char* name;
        ScriptedSystem script;
        FWDeviceSettings in;
        FWMatchOptions options;
        UINT expectOrdinal;
        D3DDEVTYPE expectType;
        D3DFORMAT expectAdapterFormat, expectBackBufferFormat;
    };
    // Two adapters; the options ask for an adapter that does not exist so
    // neither gets the adapter points.
    auto twoAdapters = [](ScriptedAdapter a, ScriptedAdapter b) {
        ScriptedSystem s;
        s.adapters = {std::move(a), std::move(b)};
        return s;
    };
    auto noAdapter = [](FWMatchOptions o) {
        o.eAdapterOrdinal = CLO;
        return o;
    };
    auto in = [](bool windowed, auto&& edit) {
        FWDeviceSettings s = Input(windowed);
        s.AdapterOrdinal = 9;
        edit(s);
        return s;
    };
    auto none = [](FWDeviceSettings&) {};
    const FWMatchOptions ign = AllMatchOptions(IGN);
    FWMatchOptions fullScreen = ign;
    fullScreen.eWindowed = PRE;

    std::vector<Case> cases;
    {
        FWMatchOptions o = noAdapter(ign);
        o.eDeviceType = CLO;  // asks for SW, which nobody has
        cases.push_back({"HAL", twoAdapters(Adapter(StandardModes(), {Device(D3DDEVTYPE_REF)}),
                                            Adapter(StandardModes(), {Device(D3DDEVTYPE_HAL)})),
                         in(true, [](FWDeviceSettings& s) { s.DeviceType = D3DDEVTYPE_SW; }), o, 1, D3DDEVTYPE_HAL,
                         D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        FWMatchOptions o = noAdapter(ign);
        o.eDeviceType = CLO;
        // Hardware vertex processing wanted: hardware T&L is worth more than HAL.
        cases.push_back({"hardware vertex processing", twoAdapters(Adapter(StandardModes(), {WithoutHardwareTnL(Device(D3DDEVTYPE_HAL))}),
                                                                   Adapter(StandardModes(), {Device(D3DDEVTYPE_REF)})),
                         in(true, [](FWDeviceSettings& s) { s.DeviceType = D3DDEVTYPE_SW; }), o, 1, D3DDEVTYPE_REF,
                         D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
        // Software vertex processing wanted: hardware T&L still counts a little.
        o.eVertexProcessing = CLO;
        cases.push_back({"hardware T&L", twoAdapters(Adapter(StandardModes(), {WithoutHardwareTnL(Device(D3DDEVTYPE_REF))}),
                                                     Adapter(StandardModes(), {Device(D3DDEVTYPE_REF)})),
                         in(true,
                            [](FWDeviceSettings& s) {
                                s.DeviceType = D3DDEVTYPE_SW;
                                s.BehaviorFlags = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
                            }),
                         o, 1, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        // The desktop's format for full screen, when the formats themselves are no guide.
        FWMatchOptions o = fullScreen;
        o.eAdapterFormat = CLO;
        o.eBackBufferFormat = CLO;
        std::vector<D3DDISPLAYMODE> modes = StandardModes();
        for (const D3DDISPLAYMODE& m : StandardModes(D3DFMT_A2R10G10B10)) modes.push_back(m);
        ScriptedSystem s;
        s.adapters.push_back(Adapter(modes, {SameFormatDevice({D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10})},
                                     Mode(1024, 768, 60, D3DFMT_A2R10G10B10)));
        cases.push_back({"desktop format", s, Input(false), o, 0, D3DDEVTYPE_HAL, D3DFMT_A2R10G10B10,
                         D3DFMT_A2R10G10B10});
    }
    {
        // Back buffer: 4 wanted colour bits; R5G6B5 (1 off, 0.7) beats
        // A2R10G10B10 (6 off, nothing).
        FWMatchOptions o = ign;
        o.eBackBufferFormat = CLO;
        ScriptedSystem s;
        s.adapters.push_back(Adapter(StandardModes(), {Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8},
                                                              {D3DFMT_A2R10G10B10, D3DFMT_R5G6B5})}));
        cases.push_back({"colour bits nearer", s,
                         in(true, [](FWDeviceSettings& x) { x.pp.BackBufferFormat = D3DFMT_A4R4G4B4; }), o, 0,
                         D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5});
        // With no wanted colour bits both are too far off: no negative points,
        // so the first listed wins.
        cases.push_back({"colour bits never below zero", s, in(true, none), o, 0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8,
                         D3DFMT_A2R10G10B10});
        // 5 wanted bits: A8R8G8B8 and X8R8G8B8 are 3 off; X8R8G8B8 matches the adapter format.
        ScriptedSystem t;
        t.adapters.push_back(Adapter(StandardModes(), {Device()}));
        cases.push_back({"back buffer in the adapter format", t,
                         in(true, [](FWDeviceSettings& x) { x.pp.BackBufferFormat = D3DFMT_R5G6B5; }), o, 0,
                         D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        FWMatchOptions o = noAdapter(fullScreen);
        o.eResolution = CLO;
        std::vector<D3DDISPLAYMODE> more = StandardModes();
        more.push_back(Mode(1280, 1024));
        cases.push_back({"resolution", twoAdapters(Adapter(StandardModes(), {Device()}), Adapter(more, {Device()})),
                         in(false,
                            [](FWDeviceSettings& x) {
                                x.pp.BackBufferWidth = 1280;
                                x.pp.BackBufferHeight = 1024;
                            }),
                         o, 1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        FWMatchOptions o = noAdapter(ign);
        o.eMultiSample = CLO;
        ScriptedDeviceType ms = Device();
        ms.multiSample.push_back({D3DMULTISAMPLE_4_SAMPLES, 2});
        cases.push_back({"multisample", twoAdapters(Adapter(StandardModes(), {Device()}), Adapter(StandardModes(), {ms})),
                         in(true,
                            [](FWDeviceSettings& x) {
                                x.pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
                                x.pp.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
                                x.pp.MultiSampleQuality = 1;
                            }),
                         o, 1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        ScriptedDeviceType d16 = Device();
        d16.depthStencilFormats = {D3DFMT_D16};
        ScriptedDeviceType d16d32 = Device();
        d16d32.depthStencilFormats = {D3DFMT_D16, D3DFMT_D32};
        FWMatchOptions o = noAdapter(ign);
        o.eDepthFormat = CLO;
        o.eStencilFormat = CLO;
        cases.push_back({"depth-stencil",
                         twoAdapters(Adapter(StandardModes(), {d16}), Adapter(StandardModes(), {d16d32})),
                         in(true, [](FWDeviceSettings& x) { x.pp.AutoDepthStencilFormat = D3DFMT_D32; }), o, 1,
                         D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        FWMatchOptions o = noAdapter(fullScreen);
        o.eRefreshRate = CLO;
        std::vector<D3DDISPLAYMODE> more = StandardModes();
        more.push_back(Mode(800, 600, 85));
        cases.push_back({"refresh rate", twoAdapters(Adapter(StandardModes(), {Device()}), Adapter(more, {Device()})),
                         in(false, [](FWDeviceSettings& x) { x.pp.FullScreen_RefreshRateInHz = 85; }), o, 1,
                         D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }
    {
        FWMatchOptions o = noAdapter(ign);
        o.ePresentInterval = CLO;
        ScriptedDeviceType defaultOnly = Device();
        defaultOnly.caps.PresentationIntervals = 0;
        cases.push_back({"presentation interval",
                         twoAdapters(Adapter(StandardModes(), {defaultOnly}), Adapter(StandardModes(), {Device()})),
                         in(true, [](FWDeviceSettings& x) { x.pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE; }),
                         o, 1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8});
    }

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Load(c.script);
        ASSERT_EQ(Match(c.in, c.options), S_OK);
        EXPECT_EQ(m_out.AdapterOrdinal, c.expectOrdinal);
        EXPECT_EQ(m_out.DeviceType, c.expectType);
        EXPECT_EQ(m_out.AdapterFormat, c.expectAdapterFormat);
        EXPECT_EQ(m_out.pp.BackBufferFormat, c.expectBackBufferFormat);
    }
}

// --- vertex processing --------------------------------------------------------------

TEST_F(MatchTest, VertexProcessing) {
    ScriptedSystem withTnL = OneHalAdapter();
    ScriptedSystem withoutTnL;
    withoutTnL.adapters.push_back(Adapter(StandardModes(), {WithoutHardwareTnL(Device())}));
    const DWORD SW = D3DCREATE_SOFTWARE_VERTEXPROCESSING, HW = D3DCREATE_HARDWARE_VERTEXPROCESSING,
                MIX = D3DCREATE_MIXED_VERTEXPROCESSING, PURE = D3DCREATE_PUREDEVICE, MT = D3DCREATE_MULTITHREADED;
    struct Case {
        bool tnl;
        FWMATCH_TYPE rule;
        DWORD in;
        HRESULT hr;
        DWORD expected;
    };
    const Case cases[] = {
        {true, IGN, SW, S_OK, HW},
        {false, IGN, HW, S_OK, SW},
        {true, CLO, SW, S_OK, SW},
        {true, CLO, HW | PURE, S_OK, HW | PURE},
        {false, CLO, HW, S_OK, SW},
        {false, CLO, MIX, S_OK, SW},
        {false, CLO, HW | PURE, S_OK, SW | PURE},
        {true, CLO, MT, S_OK, MT | HW},
        {false, CLO, MT, S_OK, MT | SW},
        {true, PRE, HW | PURE, S_OK, HW | PURE},
        {false, PRE, SW, S_OK, SW},
        {false, PRE, HW, FWERR_NOCOMPATIBLEDEVICES, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "tnl " << c.tnl << " rule " << c.rule << " in 0x" << std::hex << c.in);
        Load(c.tnl ? withTnL : withoutTnL);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eVertexProcessing = c.rule;
        FWDeviceSettings in = Input(true);
        in.BehaviorFlags = c.in;
        ASSERT_EQ(Match(in, o), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(m_out.BehaviorFlags, c.expected);
        }
    }
}

// --- back buffers, multisampling, swap effect -------------------------------------------

TEST_F(MatchTest, BackBufferCount) {
    Load(OneHalAdapter());
    struct Case {
        FWMATCH_TYPE rule;
        UINT in, expected;
    };
    const Case cases[] = {{CLO, 0, 1}, {CLO, 1, 1}, {CLO, 3, 3}, {CLO, 5, 3}, {PRE, 5, 5}, {IGN, 5, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule << " in " << c.in);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eBackBufferCount = c.rule;
        FWDeviceSettings in = Input(true);
        in.pp.BackBufferCount = c.in;
        ASSERT_EQ(Match(in, o), S_OK);
        EXPECT_EQ(m_out.pp.BackBufferCount, c.expected);
    }
}

TEST_F(MatchTest, Multisample) {
    ScriptedDeviceType hal = Device();
    hal.multiSample = {{D3DMULTISAMPLE_NONE, 1}, {D3DMULTISAMPLE_2_SAMPLES, 4}, {D3DMULTISAMPLE_4_SAMPLES, 2}};
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {hal}));
    Load(s);
    struct Case {
        const char* name;
        FWMATCH_TYPE rule;
        D3DSWAPEFFECT swap;
        D3DMULTISAMPLE_TYPE type;
        DWORD quality;
        HRESULT hr;
        D3DMULTISAMPLE_TYPE expectType;
        DWORD expectQuality;
    };
    const Case cases[] = {
        {"closest 3 among 0, 2, 4: 2 (4 is not strictly closer)", CLO, D3DSWAPEFFECT_DISCARD,
         D3DMULTISAMPLE_3_SAMPLES, 0, S_OK, D3DMULTISAMPLE_2_SAMPLES, 0},
        {"closest quality is capped at the highest level", CLO, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_2_SAMPLES, 7,
         S_OK, D3DMULTISAMPLE_2_SAMPLES, 3},
        {"closest 8: 4", CLO, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_8_SAMPLES, 1, S_OK, D3DMULTISAMPLE_4_SAMPLES, 1},
        {"closest without discard: none", CLO, D3DSWAPEFFECT_COPY, D3DMULTISAMPLE_4_SAMPLES, 1, S_OK,
         D3DMULTISAMPLE_NONE, 0},
        {"closest with flip: none", CLO, D3DSWAPEFFECT_FLIP, D3DMULTISAMPLE_2_SAMPLES, 0, S_OK, D3DMULTISAMPLE_NONE,
         0},
        {"preserve a valid quality", PRE, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_4_SAMPLES, 1, S_OK,
         D3DMULTISAMPLE_4_SAMPLES, 1},
        {"preserve: quality 2 of a type with 2 levels does not exist", PRE, D3DSWAPEFFECT_DISCARD,
         D3DMULTISAMPLE_4_SAMPLES, 2, FWERR_NOCOMPATIBLEDEVICES, D3DMULTISAMPLE_NONE, 0},
        {"preserve an unlisted type", PRE, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_8_SAMPLES, 0,
         FWERR_NOCOMPATIBLEDEVICES, D3DMULTISAMPLE_NONE, 0},
        {"ignore", IGN, D3DSWAPEFFECT_DISCARD, D3DMULTISAMPLE_4_SAMPLES, 1, S_OK, D3DMULTISAMPLE_NONE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eMultiSample = c.rule;
        FWDeviceSettings in = Input(true);
        in.pp.SwapEffect = c.swap;
        in.pp.MultiSampleType = c.type;
        in.pp.MultiSampleQuality = c.quality;
        ASSERT_EQ(Match(in, o), c.hr);
        if (c.hr != S_OK) continue;
        EXPECT_EQ(m_out.pp.MultiSampleType, c.expectType);
        EXPECT_EQ(m_out.pp.MultiSampleQuality, c.expectQuality);
    }
}

TEST_F(MatchTest, SwapEffect) {
    Load(OneHalAdapter());
    struct Case {
        FWMATCH_TYPE rule;
        UINT in, expected;
    };
    const Case cases[] = {{IGN, D3DSWAPEFFECT_COPY, D3DSWAPEFFECT_DISCARD},
                          {CLO, D3DSWAPEFFECT_FLIP, D3DSWAPEFFECT_FLIP},
                          {CLO, D3DSWAPEFFECT_COPY, D3DSWAPEFFECT_COPY},
                          {CLO, 0, D3DSWAPEFFECT_DISCARD},
                          {CLO, 7, D3DSWAPEFFECT_DISCARD},
                          {PRE, D3DSWAPEFFECT_COPY, D3DSWAPEFFECT_COPY}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "rule " << c.rule << " in " << c.in);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eSwapEffect = c.rule;
        FWDeviceSettings in = Input(true);
        in.pp.SwapEffect = static_cast<D3DSWAPEFFECT>(c.in);
        ASSERT_EQ(Match(in, o), S_OK);
        EXPECT_EQ(static_cast<UINT>(m_out.pp.SwapEffect), c.expected);
    }
}

// --- depth-stencil and present flags ---------------------------------------------------

TEST_F(MatchTest, DepthStencil) {
    struct Case {
        const char* name;
        std::vector<D3DFORMAT> offered;
        FWMATCH_TYPE depthRule, stencilRule;
        D3DFORMAT in;
        HRESULT hr;
        D3DFORMAT expected;
    };
    const std::vector<D3DFORMAT> all = {D3DFMT_D16, D3DFMT_D15S1, D3DFMT_D24X8, D3DFMT_D24S8, D3DFMT_D24X4S4, D3DFMT_D32};
    const Case cases[] = {
        {"ignore: D32 when offered", all, IGN, IGN, D3DFMT_UNKNOWN, S_OK, D3DFMT_D32},
        {"ignore: nearest 32 bits, fewest stencil bits", {D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D24X8}, IGN, IGN,
         D3DFMT_UNKNOWN, S_OK, D3DFMT_D24X8},
        {"ignore: a tie goes to the earlier listed", {D3DFMT_D16, D3DFMT_D24S8}, IGN, IGN, D3DFMT_UNKNOWN, S_OK,
         D3DFMT_D16},
        {"closest: the input itself", all, CLO, CLO, D3DFMT_D24S8, S_OK, D3DFMT_D24S8},
        {"closest: nearest depth and stencil", {D3DFMT_D16, D3DFMT_D24S8}, CLO, CLO, D3DFMT_D15S1, S_OK,
         D3DFMT_D16},
        {"closest to unknown: the fewest bits", all, CLO, CLO, D3DFMT_UNKNOWN, S_OK, D3DFMT_D16},
        {"preserve depth, ignore stencil: no stencil", all, PRE, IGN, D3DFMT_D24S8, S_OK, D3DFMT_D24X8},
        {"preserve stencil, closest depth", all, CLO, PRE, D3DFMT_D24S8, S_OK, D3DFMT_D24S8},
        {"preserve both", {D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24S8}, PRE, PRE, D3DFMT_D24S8, S_OK, D3DFMT_D24S8},
        {"preserve both: unlisted format excludes", {D3DFMT_D16, D3DFMT_D24S8}, PRE, PRE, D3DFMT_D32,
         FWERR_NOCOMPATIBLEDEVICES, D3DFMT_UNKNOWN},
        {"preserve depth bits nobody has", {D3DFMT_D16, D3DFMT_D24S8}, PRE, IGN, D3DFMT_D32,
         FWERR_NOCOMPATIBLEDEVICES, D3DFMT_UNKNOWN},
        {"preserve stencil bits nobody has", {D3DFMT_D16, D3DFMT_D24S8}, IGN, PRE, D3DFMT_D24X4S4,
         FWERR_NOCOMPATIBLEDEVICES, D3DFMT_UNKNOWN},
        {"preserve unknown: no check", {D3DFMT_D16}, PRE, PRE, D3DFMT_UNKNOWN, S_OK, D3DFMT_D16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceType hal = Device();
        hal.depthStencilFormats = c.offered;
        ScriptedSystem s;
        s.adapters.push_back(Adapter(StandardModes(), {hal}));
        Load(s);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eDepthFormat = c.depthRule;
        o.eStencilFormat = c.stencilRule;
        FWDeviceSettings in = Input(true);
        in.pp.AutoDepthStencilFormat = c.in;
        ASSERT_EQ(Match(in, o), c.hr);
        if (c.hr != S_OK) continue;
        EXPECT_TRUE(m_out.pp.EnableAutoDepthStencil);
        EXPECT_EQ(m_out.pp.AutoDepthStencilFormat, c.expected);
    }
}

TEST_F(MatchTest, PresentFlagsFollowTheDepthStencil) {
    ScriptedDeviceType noDepth = Device();
    noDepth.depthStencilFormats.clear();
    ScriptedSystem without;
    without.adapters.push_back(Adapter(StandardModes(), {noDepth}));
    const DWORD LOCK = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER, DISCARD = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    struct Case {
        bool depth;
        FWMATCH_TYPE rule;
        DWORD in, expected;
    };
    const Case cases[] = {
        {true, IGN, LOCK, DISCARD}, {false, IGN, LOCK, 0},  {true, CLO, LOCK, LOCK | DISCARD},
        {false, CLO, LOCK, LOCK},   {true, PRE, LOCK, LOCK}, {false, PRE, DISCARD, DISCARD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "depth " << c.depth << " rule " << c.rule);
        Load(c.depth ? OneHalAdapter() : without);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.ePresentFlags = c.rule;
        FWDeviceSettings in = Input(true);
        in.pp.Flags = c.in;
        ASSERT_EQ(Match(in, o), S_OK);
        EXPECT_EQ(m_out.pp.Flags, c.expected);
        EXPECT_EQ(m_out.pp.EnableAutoDepthStencil != FALSE, c.depth);
        if (!c.depth) {
            EXPECT_EQ(m_out.pp.AutoDepthStencilFormat, D3DFMT_UNKNOWN);
        }
    }
}

// --- refresh rate and presentation interval ---------------------------------------------

TEST_F(MatchTest, RefreshRate) {
    ScriptedSystem s;
    s.adapters.push_back(Adapter({Mode(800, 600, 60), Mode(800, 600, 72), Mode(800, 600, 85), Mode(1024, 768, 60),
                                  Mode(1024, 768, 75), Mode(1280, 1024, 100, D3DFMT_R5G6B5)},
                                 {Device()}, Mode(1024, 768, 75)));
    Load(s);
    struct Case {
        const char* name;
        bool windowed;
        FWMATCH_TYPE rule;
        UINT w, h, hz;
        HRESULT hr;
        UINT expected;
    };
    const Case cases[] = {
        {"windowed: 0", true, CLO, 800, 600, 85, S_OK, 0},
        {"windowed preserve still 0", true, PRE, 800, 600, 85, S_OK, 0},
        {"ignore: the desktop rate at the desktop size", false, IGN, 1024, 768, 0, S_OK, 75},
        {"ignore: nearest the desktop rate at another size", false, IGN, 800, 600, 0, S_OK, 72},
        {"closest upward", false, CLO, 800, 600, 80, S_OK, 85},
        {"closest tie: first (lowest) wins", false, CLO, 800, 600, 66, S_OK, 60},
        {"closest 0: 0", false, CLO, 800, 600, 0, S_OK, 0},
        {"preserve an offered rate", false, PRE, 800, 600, 85, S_OK, 85},
        {"preserve: a rate only another adapter format has", false, PRE, 800, 600, 100, FWERR_NOCOMPATIBLEDEVICES, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eWindowed = PRE;
        o.eResolution = CLO;
        o.eRefreshRate = c.rule;
        FWDeviceSettings in = Input(c.windowed, c.w, c.h);
        in.pp.FullScreen_RefreshRateInHz = c.hz;
        ASSERT_EQ(Match(in, o), c.hr);
        if (c.hr != S_OK) continue;
        EXPECT_EQ(m_out.pp.FullScreen_RefreshRateInHz, c.expected);
    }
}

TEST_F(MatchTest, PresentInterval) {
    Load(OneHalAdapter());  // intervals offered: immediate and one (windowed and full screen)
    struct Case {
        const char* name;
        FWMATCH_TYPE rule;
        bool windowed;
        UINT in;
        HRESULT hr;
        UINT expected;
    };
    const Case cases[] = {
        {"ignore: default", IGN, true, D3DPRESENT_INTERVAL_IMMEDIATE, S_OK, D3DPRESENT_INTERVAL_DEFAULT},
        {"closest: listed", CLO, true, D3DPRESENT_INTERVAL_IMMEDIATE, S_OK, D3DPRESENT_INTERVAL_IMMEDIATE},
        {"closest: unlisted gives default", CLO, false, D3DPRESENT_INTERVAL_TWO, S_OK, D3DPRESENT_INTERVAL_DEFAULT},
        {"preserve: listed", PRE, false, D3DPRESENT_INTERVAL_ONE, S_OK, D3DPRESENT_INTERVAL_ONE},
        {"preserve: unlisted excludes", PRE, true, D3DPRESENT_INTERVAL_TWO, FWERR_NOCOMPATIBLEDEVICES, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FWMatchOptions o = AllMatchOptions(IGN);
        o.eWindowed = PRE;
        o.ePresentInterval = c.rule;
        FWDeviceSettings in = Input(c.windowed);
        in.pp.PresentationInterval = c.in;
        ASSERT_EQ(Match(in, o), c.hr);
        if (c.hr == S_OK) {
            EXPECT_EQ(m_out.pp.PresentationInterval, c.expected);
        }
    }
}

// --- the framework's own requests ----------------------------------------------------

TEST_F(MatchTest, CreateDeviceAndToggleRequests) {
    Load(MakeTypicalScriptedSystem());
    // The first device: adapter 0 and windowed kept, a 640x480 client area.
    FWMatchOptions create = AllMatchOptions(IGN);
    create.eAdapterOrdinal = PRE;
    create.eWindowed = PRE;
    create.eResolution = CLO;
    ASSERT_EQ(Match(Input(true, 640, 480), create), S_OK);
    const FWDeviceSettings windowed = m_out;
    EXPECT_TRUE(windowed.pp.Windowed);
    EXPECT_EQ(windowed.pp.BackBufferWidth, 640u);

    // Full-screen toggle without a remembered size: the desktop mode.
    FWMatchOptions toggle = AllMatchOptions(CLO);
    toggle.eAdapterOrdinal = PRE;
    toggle.eWindowed = PRE;
    toggle.eAdapterFormat = IGN;
    toggle.eBackBufferFormat = IGN;
    toggle.eRefreshRate = IGN;
    toggle.eResolution = IGN;
    FWDeviceSettings in = windowed;
    in.pp.Windowed = FALSE;
    ASSERT_EQ(Match(in, toggle), S_OK);
    EXPECT_FALSE(m_out.pp.Windowed);
    EXPECT_EQ(m_out.pp.hDeviceWindow, kFullScreen);
    EXPECT_EQ(m_out.pp.BackBufferWidth, 1280u);
    EXPECT_EQ(m_out.pp.BackBufferHeight, 1024u);
    EXPECT_EQ(m_out.pp.FullScreen_RefreshRateInHz, 60u);
    EXPECT_EQ(m_out.pp.BackBufferCount, 2u);
    EXPECT_EQ(m_out.pp.AutoDepthStencilFormat, D3DFMT_D32);

    // Switching to REF where there is none finds nothing.
    FWMatchOptions ref = AllMatchOptions(CLO);
    ref.eAdapterOrdinal = PRE;
    ref.eDeviceType = PRE;
    in = windowed;
    in.DeviceType = D3DDEVTYPE_REF;
    EXPECT_EQ(Match(in, ref), FWERR_NOCOMPATIBLEDEVICES);
}

}  // namespace
