#include "common/device_enumeration.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <set>
#include <thread>
#include <vector>

#include "scripted_machine.h"

namespace {

using namespace scripted;

using EnumerationTest = ScriptedEnumerationTest;

TEST_F(EnumerationTest, NeedsAnAdapterObject) {
    EXPECT_EQ(m_enum.Enumerate(nullptr), FWERR_NODIRECT3D);
    EXPECT_EQ(AdapterCount(), 0);
}

// --- display modes ---------------------------------------------------------------

struct ModeFilterCase {
    const char* name;
    UINT minW, minH, maxW, maxH, minHz, maxHz;
    std::vector<D3DDISPLAYMODE> expected;
};

TEST_F(EnumerationTest, DisplayModesAreFilteredAndSorted) {
    // Deliberately unsorted, with modes below 640x480 in either direction and
    // a mode in a format that is no adapter format.
    const std::vector<D3DDISPLAYMODE> offered = {
        Mode(1024, 768, 75),       Mode(320, 240),           Mode(800, 600, 85, D3DFMT_R5G6B5),
        Mode(640, 400),            Mode(600, 480),           Mode(800, 600, 60),
        Mode(640, 480, 60),        Mode(1024, 768, 60),      Mode(800, 600, 60, D3DFMT_R5G6B5),
        Mode(800, 600, 72),        Mode(1280, 1024, 60, D3DFMT_A8R8G8B8),
    };
    const ModeFilterCase cases[] = {
        {"defaults: at least 640x480",
         640, 480, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0xFFFFFFFF,
         {Mode(640, 480, 60), Mode(800, 600, 60), Mode(800, 600, 72), Mode(800, 600, 60, D3DFMT_R5G6B5),
          Mode(800, 600, 85, D3DFMT_R5G6B5), Mode(1024, 768, 60), Mode(1024, 768, 75)}},
        {"size window", 800, 600, 800, 600, 0, 0xFFFFFFFF,
         {Mode(800, 600, 60), Mode(800, 600, 72), Mode(800, 600, 60, D3DFMT_R5G6B5),
          Mode(800, 600, 85, D3DFMT_R5G6B5)}},
        {"refresh window", 640, 480, 0xFFFFFFFF, 0xFFFFFFFF, 70, 80, {Mode(800, 600, 72), Mode(1024, 768, 75)}},
        {"no lower limit", 0, 0, 700, 0xFFFFFFFF, 0, 0xFFFFFFFF,
         {Mode(320, 240), Mode(600, 480), Mode(640, 400), Mode(640, 480)}},
    };
    for (const ModeFilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSystem s;
        s.adapters.push_back(Adapter(offered, {Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5})}));
        m_enum.SetResolutionMinMax(c.minW, c.minH, c.maxW, c.maxH);
        m_enum.SetRefreshMinMax(c.minHz, c.maxHz);
        ASSERT_EQ(Enumerate(s), S_OK);
        ASSERT_EQ(AdapterCount(), 1);
        EXPECT_EQ(ToVector(AdapterAt(0)->displayModeList), c.expected);
    }
}

TEST_F(EnumerationTest, AdapterFormatsComeFromKeptModesAndTheDesktop) {
    struct Case {
        const char* name;
        std::vector<D3DDISPLAYMODE> modes;
        D3DFORMAT desktop;
        std::vector<ScriptedCombo> combos;
        std::vector<ScriptedCombo> expected;  // (adapter format, back buffer, windowed) in order
    };
    const Case cases[] = {
        {"a desktop format outside the four still serves windowed combinations",
         StandardModes(),
         D3DFMT_A8R8G8B8,
         {{D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, true}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true},
          {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}},
         {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true},
          {D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8, true}}},
        {"a format whose modes are all too small is no adapter format",
         {Mode(320, 240, 60, D3DFMT_R5G6B5), Mode(800, 600)},
         D3DFMT_X8R8G8B8,
         {{D3DFMT_R5G6B5, D3DFMT_R5G6B5, false}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}},
         {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}}},
        {"without any display mode only windowed combinations remain",
         {Mode(320, 240)},
         D3DFMT_X8R8G8B8,
         {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true}},
         {{D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, true}}},
        {"adapter formats in the fixed order, back buffers in theirs",
         {Mode(800, 600, 60, D3DFMT_A2R10G10B10), Mode(800, 600, 60, D3DFMT_R5G6B5), Mode(800, 600)},
         D3DFMT_X8R8G8B8,
         {{D3DFMT_A2R10G10B10, D3DFMT_A2R10G10B10, false}, {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, false},
          {D3DFMT_R5G6B5, D3DFMT_R5G6B5, false}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false},
          {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, false}},
         {{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, false}, {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, false},
          {D3DFMT_R5G6B5, D3DFMT_R5G6B5, false}, {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, false},
          {D3DFMT_A2R10G10B10, D3DFMT_A2R10G10B10, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceType hal = Device();
        hal.combos = c.combos;
        ScriptedSystem s;
        s.adapters.push_back(Adapter(c.modes, {hal}, Mode(1024, 768, 60, c.desktop)));
        ASSERT_EQ(Enumerate(s), S_OK);
        std::vector<CD3DEnumDeviceSettingsCombo*> combos = AllCombos();
        ASSERT_EQ(combos.size(), c.expected.size());
        for (size_t i = 0; i < combos.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(combos[i]->AdapterFormat, c.expected[i].adapterFormat);
            EXPECT_EQ(combos[i]->BackBufferFormat, c.expected[i].backBufferFormat);
            EXPECT_EQ(combos[i]->Windowed != FALSE, c.expected[i].windowed);
        }
    }
}

// --- descriptions ----------------------------------------------------------------

TEST_F(EnumerationTest, UniqueDescriptions) {
    const std::string longName(150, 'x');
    struct Case {
        const char* name;
        std::vector<std::string> descriptions;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {"a single card keeps its description", {"Radeon 9800"}, {L"Radeon 9800"}},
        {"two different cards keep theirs", {"Radeon 9800", "GeForce 6800"}, {L"Radeon 9800", L"GeForce 6800"}},
        {"two identical cards are numbered", {"GeForce 6800", "GeForce 6800"},
         {L"GeForce 6800 (#0)", L"GeForce 6800 (#1)"}},
        {"equal ignoring case counts as identical; every card is then numbered",
         {"Radeon 9800", "GEFORCE 6800", "geforce 6800"},
         {L"Radeon 9800 (#0)", L"GEFORCE 6800 (#1)", L"geforce 6800 (#2)"}},
        {"UTF-8 is decoded", {"Grafikkarte \xC3\x9C" "ber"}, {L"Grafikkarte \u00DCber"}},
        {"malformed UTF-8 becomes replacement characters", {"a\xFF" "b\xC3"}, {L"a\uFFFDb\uFFFD"}},
        {"at most 100 characters of the description", {longName}, {std::wstring(100, L'x')}},
        {"the number follows the cut description", {longName, longName},
         {std::wstring(100, L'x') + L" (#0)", std::wstring(100, L'x') + L" (#1)"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedSystem s;
        for (const std::string& d : c.descriptions)
            s.adapters.push_back(Adapter(StandardModes(), {Device()}, Mode(1024, 768), d));
        ASSERT_EQ(Enumerate(s), S_OK);
        ASSERT_EQ(AdapterCount(), static_cast<int>(c.expected.size()));
        for (int i = 0; i < AdapterCount(); ++i) EXPECT_EQ(std::wstring(AdapterAt(i)->szUniqueDescription), c.expected[i]);
    }
}

TEST_F(EnumerationTest, DroppedAdaptersKeepTheirOrdinalsOutOfTheNumbering) {
    // Adapter 1 offers nothing; 0 and 2 share a description and keep their own ordinals.
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device()}, Mode(1024, 768), "Twin"));
    s.adapters.push_back(Adapter(StandardModes(), {}, Mode(1024, 768), "Twin"));
    s.adapters.push_back(Adapter(StandardModes(), {Device()}, Mode(1024, 768), "Twin"));
    ASSERT_EQ(Enumerate(s), S_OK);
    ASSERT_EQ(AdapterCount(), 2);
    EXPECT_EQ(AdapterAt(0)->AdapterOrdinal, 0u);
    EXPECT_EQ(AdapterAt(1)->AdapterOrdinal, 2u);
    EXPECT_STREQ(AdapterAt(1)->szUniqueDescription, L"Twin (#2)");
    EXPECT_EQ(m_enum.GetAdapterInfo(1), nullptr);
    EXPECT_EQ(m_enum.GetAdapterInfo(2), AdapterAt(1));
    EXPECT_STREQ(AdapterAt(1)->AdapterIdentifier.Description, "Twin");
}

// --- device types ----------------------------------------------------------------

TEST_F(EnumerationTest, DeviceTypesThatDoNotExistAreSkipped) {
    struct Case {
        const char* name;
        HRESULT swCreate, refCreate;
        bool listSw, listRef;
        std::vector<D3DDEVTYPE> expected;
    };
    const Case cases[] = {
        {"all three, in the order HAL, SW, REF", S_OK, S_OK, true, true,
         {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF}},
        {"SW and REF not available", D3DERR_NOTAVAILABLE, D3DERR_NOTAVAILABLE, true, true, {D3DDEVTYPE_HAL}},
        {"only 'not available' rules a type out", D3DERR_OUTOFVIDEOMEMORY, E_FAIL, true, true,
         {D3DDEVTYPE_HAL, D3DDEVTYPE_SW, D3DDEVTYPE_REF}},
        {"no capabilities, no type", S_OK, S_OK, false, true, {D3DDEVTYPE_HAL, D3DDEVTYPE_REF}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<ScriptedDeviceType> types = {Device(D3DDEVTYPE_HAL)};
        if (c.listSw) {
            types.push_back(Device(D3DDEVTYPE_SW));
            types.back().createResult = c.swCreate;
        }
        if (c.listRef) {
            types.push_back(Device(D3DDEVTYPE_REF));
            types.back().createResult = c.refCreate;
        }
        ScriptedSystem s;
        s.adapters.push_back(Adapter(StandardModes(), types));
        ASSERT_EQ(Enumerate(s), S_OK);
        ASSERT_EQ(AdapterCount(), 1);
        std::vector<D3DDEVTYPE> got;
        for (int i = 0; i < AdapterAt(0)->deviceInfoList.GetSize(); ++i) {
            CD3DEnumDeviceInfo* info = AdapterAt(0)->deviceInfoList[i];
            got.push_back(info->DeviceType);
            EXPECT_EQ(info->Caps.DeviceType, info->DeviceType);
            EXPECT_EQ(m_enum.GetDeviceInfo(0, info->DeviceType), info);
        }
        EXPECT_EQ(got, c.expected);
    }
}

TEST_F(EnumerationTest, TestDevicesAreWindowedOnePixelInTheFirstDesktopFormatAndReleasedAtOnce) {
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device()}, Mode(1024, 768, 60, D3DFMT_X8R8G8B8)));
    s.adapters.push_back(Adapter(StandardModes(D3DFMT_R5G6B5), {Device(D3DDEVTYPE_HAL, {D3DFMT_R5G6B5})},
                                 Mode(1024, 768, 60, D3DFMT_R5G6B5)));
    ASSERT_EQ(Enumerate(s), S_OK);
    const ScriptedDeviceLog& log = PlatformScriptedLog();
    EXPECT_EQ(log.devicesCreated, 2);
    EXPECT_EQ(log.devicesAlive, 0);
    // The last test device was the second adapter's, in the first adapter's desktop format.
    EXPECT_EQ(log.lastCreation.AdapterOrdinal, 1u);
    EXPECT_EQ(log.lastCreation.BehaviorFlags, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    EXPECT_TRUE(log.lastPresentParameters.Windowed);
    EXPECT_EQ(log.lastPresentParameters.BackBufferWidth, 1u);
    EXPECT_EQ(log.lastPresentParameters.BackBufferHeight, 1u);
    EXPECT_EQ(log.lastPresentParameters.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(log.lastPresentParameters.BackBufferCount, 1u);
    EXPECT_EQ(log.lastPresentParameters.SwapEffect, D3DSWAPEFFECT_COPY);
}

TEST_F(EnumerationTest, TypesAndAdaptersWithoutCombinationsAreDropped) {
    ScriptedDeviceType refWithoutCombos = Device(D3DDEVTYPE_REF);
    refWithoutCombos.combos.clear();
    ScriptedDeviceType halWithoutMultisample = Device(D3DDEVTYPE_HAL);
    halWithoutMultisample.multiSample.clear();  // not even "none": every combination goes
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {halWithoutMultisample, refWithoutCombos}));
    s.adapters.push_back(Adapter(StandardModes(), {Device(D3DDEVTYPE_HAL), refWithoutCombos}));
    ASSERT_EQ(Enumerate(s), S_OK);
    ASSERT_EQ(AdapterCount(), 1);
    EXPECT_EQ(AdapterAt(0)->AdapterOrdinal, 1u);
    ASSERT_EQ(AdapterAt(0)->deviceInfoList.GetSize(), 1);
    EXPECT_EQ(m_enum.GetDeviceInfo(1, D3DDEVTYPE_REF), nullptr);
}

// --- combinations ----------------------------------------------------------------

struct AcceptContext {
    int calls = 0;
    bool sawCaps = true;
};

bool AcceptOnlyX8R8G8B8(D3DCAPS9* caps, D3DFORMAT, D3DFORMAT backBufferFormat, bool, void* context) {
    auto* ctx = static_cast<AcceptContext*>(context);
    ++ctx->calls;
    if (caps == nullptr || (caps->DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) == 0) ctx->sawCaps = false;
    return backBufferFormat == D3DFMT_X8R8G8B8;
}

TEST_F(EnumerationTest, AcceptabilityCallbackDecides) {
    ScriptedSystem s;
    s.adapters.push_back(
        Adapter(StandardModes(), {Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8},
                                         {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_A2R10G10B10})}));
    AcceptContext ctx;
    ASSERT_EQ(Enumerate(s, AcceptOnlyX8R8G8B8, &ctx), S_OK);
    EXPECT_EQ(ctx.calls, 6);  // three back-buffer formats, full screen and windowed
    EXPECT_TRUE(ctx.sawCaps);
    std::vector<CD3DEnumDeviceSettingsCombo*> combos = AllCombos();
    ASSERT_EQ(combos.size(), 2u);
    for (CD3DEnumDeviceSettingsCombo* c : combos) EXPECT_EQ(c->BackBufferFormat, D3DFMT_X8R8G8B8);

    // Enumerating again without the callback accepts everything again.
    ASSERT_EQ(Enumerate(s), S_OK);
    EXPECT_EQ(AllCombos().size(), 6u);
}

TEST_F(EnumerationTest, PostPixelShaderBlendingRequirement) {
    ScriptedDeviceType hal = Device();
    hal.blendableTextureFormats = {D3DFMT_X8R8G8B8};
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {hal}));

    ASSERT_EQ(Enumerate(s), S_OK);
    for (CD3DEnumDeviceSettingsCombo* c : AllCombos()) EXPECT_EQ(c->BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(AllCombos().size(), 2u);

    m_enum.SetRequirePostPixelShaderBlending(false);
    ASSERT_EQ(Enumerate(s), S_OK);
    EXPECT_EQ(AllCombos().size(), 4u);
}

TEST_F(EnumerationTest, PresentationIntervals) {
    const UINT all = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_TWO |
                     D3DPRESENT_INTERVAL_THREE | D3DPRESENT_INTERVAL_FOUR;
    struct Case {
        const char* name;
        DWORD caps;
        bool windowed;
        std::vector<UINT> expected;
    };
    const Case cases[] = {
        {"full screen lists all the device offers", all, false,
         {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT, D3DPRESENT_INTERVAL_ONE,
          D3DPRESENT_INTERVAL_TWO, D3DPRESENT_INTERVAL_THREE, D3DPRESENT_INTERVAL_FOUR}},
        {"windowed never two, three or four", all, true,
         {D3DPRESENT_INTERVAL_IMMEDIATE, D3DPRESENT_INTERVAL_DEFAULT, D3DPRESENT_INTERVAL_ONE}},
        {"default is always there", 0, false, {D3DPRESENT_INTERVAL_DEFAULT}},
        {"only what the caps list", D3DPRESENT_INTERVAL_TWO, false,
         {D3DPRESENT_INTERVAL_DEFAULT, D3DPRESENT_INTERVAL_TWO}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedDeviceType hal = Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8});
        hal.caps.PresentationIntervals = c.caps;
        ScriptedSystem s;
        s.adapters.push_back(Adapter(StandardModes(), {hal}));
        ASSERT_EQ(Enumerate(s), S_OK);
        CD3DEnumDeviceSettingsCombo* combo =
            m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, c.windowed);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(ToVector(combo->presentIntervalList), c.expected);
    }
}

TEST_F(EnumerationTest, DepthStencilMultisampleAndConflicts) {
    ScriptedDeviceType hal = Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8});
    hal.depthStencilFormats = {D3DFMT_D32, D3DFMT_D24S8, D3DFMT_D16, D3DFMT_D24FS8};  // D24FS8 is never asked for
    hal.multiSample = {{D3DMULTISAMPLE_4_SAMPLES, 3},
                       {D3DMULTISAMPLE_NONE, 1},
                       {D3DMULTISAMPLE_2_SAMPLES, 8},
                       {D3DMULTISAMPLE_NONMASKABLE, 0x20000}};
    hal.depthConflicts = {{D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES}, {D3DFMT_D16, D3DMULTISAMPLE_2_SAMPLES}};
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {hal}));

    struct Case {
        const char* name;
        UINT qualityMax;
        std::vector<DWORD> expectedLevels;  // for none, non-maskable, 2, 4
    };
    const Case cases[] = {
        {"default cap 0xFFFF", 0xFFFF, {1, 0x10000, 8, 3}},
        {"cap 4 gives at most 5 levels", 4, {1, 5, 5, 3}},
        {"cap 0 gives one level", 0, {1, 1, 1, 1}},
        {"the largest cap does not wrap to zero", 0xFFFFFFFF, {1, 0x20000, 8, 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_enum.SetMultisampleQualityMax(c.qualityMax);
        ASSERT_EQ(Enumerate(s), S_OK);
        CD3DEnumDeviceSettingsCombo* combo =
            m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE);
        ASSERT_NE(combo, nullptr);
        EXPECT_EQ(ToVector(combo->depthStencilFormatList),
                  (std::vector<D3DFORMAT>{D3DFMT_D16, D3DFMT_D24S8, D3DFMT_D32}));
        EXPECT_EQ(ToVector(combo->multiSampleTypeList),
                  (std::vector<D3DMULTISAMPLE_TYPE>{D3DMULTISAMPLE_NONE, D3DMULTISAMPLE_NONMASKABLE,
                                                    D3DMULTISAMPLE_2_SAMPLES, D3DMULTISAMPLE_4_SAMPLES}));
        EXPECT_EQ(ToVector(combo->multiSampleQualityList), c.expectedLevels);
        std::vector<std::pair<D3DFORMAT, D3DMULTISAMPLE_TYPE>> conflicts;
        for (const CD3DEnumDSMSConflict& k : ToVector(combo->DSMSConflictList))
            conflicts.emplace_back(k.DSFormat, k.MSType);
        EXPECT_EQ(conflicts, (std::vector<std::pair<D3DFORMAT, D3DMULTISAMPLE_TYPE>>{
                                 {D3DFMT_D16, D3DMULTISAMPLE_2_SAMPLES}, {D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES}}));
        EXPECT_EQ(combo->pAdapterInfo, AdapterAt(0));
        EXPECT_EQ(combo->pDeviceInfo, AdapterAt(0)->deviceInfoList[0]);
    }
}

TEST_F(EnumerationTest, PossibleListsCanBeNarrowed) {
    ScriptedDeviceType hal = Device(D3DDEVTYPE_HAL, {D3DFMT_X8R8G8B8}, {D3DFMT_X8R8G8B8});
    hal.multiSample = {{D3DMULTISAMPLE_NONE, 1}, {D3DMULTISAMPLE_2_SAMPLES, 2}};
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {hal}));

    m_enum.GetPossibleDepthStencilFormatList()->RemoveAll();
    m_enum.GetPossibleDepthStencilFormatList()->Add(D3DFMT_D24S8);
    m_enum.GetPossibleMultisampleTypeList()->Remove(0);  // no "none" any more
    ASSERT_EQ(Enumerate(s), S_OK);
    CD3DEnumDeviceSettingsCombo* combo = AllCombos().at(0);
    EXPECT_EQ(ToVector(combo->depthStencilFormatList), std::vector<D3DFORMAT>{D3DFMT_D24S8});
    EXPECT_EQ(ToVector(combo->multiSampleTypeList), std::vector<D3DMULTISAMPLE_TYPE>{D3DMULTISAMPLE_2_SAMPLES});
}

// --- lookups and options -----------------------------------------------------------

TEST_F(EnumerationTest, Lookups) {
    ScriptedSystem s;
    s.adapters.push_back(Adapter(StandardModes(), {Device(D3DDEVTYPE_HAL), Device(D3DDEVTYPE_REF)}));
    ASSERT_EQ(Enumerate(s), S_OK);

    CD3DEnumDeviceSettingsCombo* windowed =
        m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE);
    ASSERT_NE(windowed, nullptr);
    EXPECT_EQ(windowed->DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(windowed->BackBufferFormat, D3DFMT_A8R8G8B8);
    EXPECT_TRUE(windowed->Windowed);
    // Any non-zero windowed flag means windowed.
    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, 2), windowed);

    FWDeviceSettings settings{};
    settings.AdapterOrdinal = 0;
    settings.DeviceType = D3DDEVTYPE_REF;
    settings.AdapterFormat = D3DFMT_X8R8G8B8;
    settings.pp.BackBufferFormat = D3DFMT_A8R8G8B8;
    settings.pp.Windowed = TRUE;
    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(&settings), windowed);
    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(nullptr), nullptr);

    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_SW, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE), nullptr);
    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(0, D3DDEVTYPE_HAL, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8, TRUE), nullptr);
    EXPECT_EQ(m_enum.GetDeviceSettingsCombo(1, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE), nullptr);
    EXPECT_EQ(m_enum.GetDeviceInfo(0, D3DDEVTYPE_SW), nullptr);
    EXPECT_EQ(m_enum.GetAdapterInfo(3), nullptr);
}

TEST_F(EnumerationTest, VertexProcessingList) {
    bool sw = false, hw = false, pure = false, mixed = true;
    m_enum.GetPossibleVertexProcessingList(&sw, &hw, &pure, &mixed);
    EXPECT_TRUE(sw && hw && pure);
    EXPECT_FALSE(mixed);
    m_enum.SetPossibleVertexProcessingList(false, true, false, true);
    m_enum.GetPossibleVertexProcessingList(&sw, &hw, &pure, &mixed);
    EXPECT_FALSE(sw || pure);
    EXPECT_TRUE(hw && mixed);
}

TEST_F(EnumerationTest, EnumeratingAgainReplacesTheResult) {
    ScriptedSystem two;
    two.adapters.push_back(Adapter(StandardModes(), {Device()}));
    two.adapters.push_back(Adapter(StandardModes(), {Device()}));
    ASSERT_EQ(Enumerate(two), S_OK);
    ASSERT_EQ(AdapterCount(), 2);
    ASSERT_EQ(Enumerate(OneHalAdapter()), S_OK);
    EXPECT_EQ(AdapterCount(), 1);
    EXPECT_STREQ(AdapterAt(0)->szUniqueDescription, L"Scripted Adapter");
    m_enum.ClearAdapterInfoList();
    EXPECT_EQ(AdapterCount(), 0);
}

TEST(EnumerationObject, OneObjectEvenWhenThreadsAskFirstTogether) {
    std::vector<CD3DEnumeration*> seen(8, nullptr);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = FWGetEnumeration(); });
    for (std::thread& t : threads) t.join();
    for (CD3DEnumeration* p : seen) {
        EXPECT_NE(p, nullptr);
        EXPECT_EQ(p, seen[0]);
    }
    EXPECT_EQ(FWGetEnumeration(), seen[0]);
}

TEST(FormatBits, Tables) {
    struct Case {
        D3DFORMAT format;
        UINT colour, depth, stencil;
    };
    const Case cases[] = {
        {D3DFMT_X8R8G8B8, 8, 0, 0},    {D3DFMT_A8B8G8R8, 8, 0, 0},     {D3DFMT_X8B8G8R8, 0, 0, 0},
        {D3DFMT_R5G6B5, 5, 0, 0},      {D3DFMT_A4R4G4B4, 4, 0, 0},     {D3DFMT_A8R3G3B2, 2, 0, 0},
        {D3DFMT_A2B10G10R10, 10, 0, 0}, {D3DFMT_A16B16G16R16, 16, 0, 0}, {D3DFMT_D16_LOCKABLE, 0, 16, 0},
        {D3DFMT_D32F_LOCKABLE, 0, 32, 0}, {D3DFMT_D15S1, 0, 15, 1},    {D3DFMT_D24X4S4, 0, 24, 4},
        {D3DFMT_D24FS8, 0, 24, 8},     {D3DFMT_D24X8, 0, 24, 0},       {D3DFMT_UNKNOWN, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<unsigned>(c.format));
        EXPECT_EQ(FWColorChannelBits(c.format), c.colour);
        EXPECT_EQ(FWDepthBits(c.format), c.depth);
        EXPECT_EQ(FWStencilBits(c.format), c.stencil);
    }
}

}  // namespace
