// Fonts: text lands in the rectangle where the format puts it, DT_CALCRECT
// measures it, clipping keeps it inside, any character draws, sizes follow
// the height and width asked, faces resolve through fontconfig, and text
// joins a sprite's batch.
#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>

#include <string>

#include "platform/d3dx_font.h"
#include "platform/d3dx_sprite.h"
#include "support/d3dx_fixture.h"

namespace {

bool FamilyInstalled(const char* family) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(nullptr, pattern, objects);
    const bool found = set && set->nfont > 0;
    if (set) FcFontSetDestroy(set);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    return found;
}

ID3DXFont* MakeFont(IDirect3DDevice9* device, INT height, UINT width = 0, UINT weight = FW_NORMAL,
                    const wchar_t* face = L"DejaVu Sans") {
    ID3DXFont* font = nullptr;
    EXPECT_EQ(D3DXCreateFont(device, height, width, weight, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face, &font),
              S_OK);
    return font;
}

constexpr Rgb kBlack{0, 0, 0};

class FontTest : public GlHelpersTest {
protected:
    void SetUp() override {
        GlHelpersTest::SetUp();
        if (!device) return;
        font = MakeFont(device, 20);
        ASSERT_NE(font, nullptr);
    }
    void TearDown() override {
        if (font) font->Release();
        GlHelpersTest::TearDown();
    }
    RECT Measure(ID3DXFont* f, const wchar_t* text, DWORD format = 0) {
        RECT r = {10, 10, 10, 10};
        f->DrawTextW(nullptr, text, -1, &r, format | DT_CALCRECT, 0xFFFFFFFF);
        return {0, 0, r.right - r.left, r.bottom - r.top};
    }
    ID3DXFont* font = nullptr;
};

TEST_F(FontTest, FormatPlacesTheTextInTheRectangle) {
    const RECT size = Measure(font, L"Mg");
    const int w = size.right, h = size.bottom;
    ASSERT_EQ(h, 20);
    ASSERT_GT(w, 15);
    const RECT box = {20, 20, 140, 100};
    struct Case {
        DWORD format;
        int x0, y0;  // where the text's cell starts
    } const cases[] = {
        {DT_LEFT | DT_TOP, 20, 20},
        {DT_CENTER | DT_TOP, 20 + (120 - w) / 2, 20},
        {DT_RIGHT | DT_TOP, 140 - w, 20},
        {DT_LEFT | DT_VCENTER, 20, 20 + (80 - h) / 2},
        {DT_CENTER | DT_VCENTER, 20 + (120 - w) / 2, 20 + (80 - h) / 2},
        {DT_RIGHT | DT_VCENTER, 140 - w, 20 + (80 - h) / 2},
        {DT_LEFT | DT_BOTTOM, 20, 100 - h},
        {DT_CENTER | DT_BOTTOM, 20 + (120 - w) / 2, 100 - h},
        {DT_RIGHT | DT_BOTTOM | DT_SINGLELINE, 140 - w, 100 - h},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "format 0x" << std::hex << c.format);
        Clear(0xFF000000);
        RECT r = box;
        const INT drawn = font->DrawTextW(nullptr, L"Mg", -1, &r, c.format, 0xFFFFFFFF);
        EXPECT_EQ(drawn, c.y0 - 20 + h);
        EXPECT_EQ(r, box) << "the rectangle is left alone";
        Read();
        const RECT ink = InkBounds(kBlack);
        // 'M' starts within a few pixels of the cell's left side, 'g' ends at
        // its right; the capital's top is in the upper half of the cell, the
        // descender's bottom in the lower.
        EXPECT_GE(ink.left, c.x0);
        EXPECT_LE(ink.left, c.x0 + 3);
        EXPECT_LE(ink.right, c.x0 + w + 1);
        EXPECT_GE(ink.right, c.x0 + w - 4);
        EXPECT_GE(ink.top, c.y0);
        EXPECT_LT(ink.top, c.y0 + h / 2);
        EXPECT_GT(ink.bottom, c.y0 + h / 2);
        EXPECT_LE(ink.bottom, c.y0 + h);
    }
}

TEST_F(FontTest, CalcRectMeasuresLinesWithoutDrawing) {
    Clear(0xFF000000);
    RECT r = {30, 40, 31, 41};
    const INT height = font->DrawTextW(nullptr, L"Mg\nMMMM\r\nM", -1, &r, DT_CALCRECT, 0xFFFFFFFF);
    EXPECT_EQ(height, 60);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    EXPECT_EQ(r.bottom, 100);
    EXPECT_EQ(r.right - r.left, Measure(font, L"MMMM").right) << "the widest line";
    Read();
    EXPECT_EQ(CountNear(kBlack), kWidth * kHeight);
    // One line when line breaks are ordinary characters; a count cuts the text.
    EXPECT_EQ(Measure(font, L"Mg\nMg", DT_SINGLELINE).bottom, 20);
    RECT cut = {0, 0, 0, 0};
    font->DrawTextW(nullptr, L"MMMM", 2, &cut, DT_CALCRECT, 0xFFFFFFFF);
    EXPECT_EQ(cut.right, Measure(font, L"MM").right);
    // Word breaks at spaces where the line would pass the right side.
    RECT narrow = {0, 0, Measure(font, L"MMM MM").right, 0};
    EXPECT_EQ(font->DrawTextW(nullptr, L"MMM MM MMM", -1, &narrow, DT_CALCRECT | DT_WORDBREAK, 0xFFFFFFFF), 40);
    EXPECT_EQ(narrow.right, Measure(font, L"MMM MM").right);
}

TEST_F(FontTest, TextIsClippedToTheRectangleUnlessNoClip) {
    const RECT box = {40, 50, 70, 62};
    for (const bool noClip : {false, true}) {
        SCOPED_TRACE(noClip ? "DT_NOCLIP" : "clipped");
        Clear(0xFF000000);
        RECT r = box;
        font->DrawTextW(nullptr, L"MMMMMMMM", -1, &r, DT_LEFT | DT_VCENTER | (noClip ? DT_NOCLIP : 0), 0xFFFFFFFF);
        Read();
        const RECT ink = InkBounds(kBlack);
        if (noClip) {
            EXPECT_GT(ink.right, box.right + 40);
            EXPECT_LT(ink.top, box.top);
        } else {
            EXPECT_GE(ink.left, box.left);
            EXPECT_GE(ink.top, box.top);
            EXPECT_LE(ink.right, box.right);
            EXPECT_LE(ink.bottom, box.bottom);
            EXPECT_GE(ink.right, box.right - 1) << "cut at the side, not dropped";
        }
    }
}

TEST_F(FontTest, HudLinesDrawFromTheirCornerInTheirColour) {
    // The head-up display's call: a 1 x 1 rectangle at the corner, no clipping.
    Clear(0xFF000000);
    RECT r = {15, 62, 1, 1};
    EXPECT_EQ(font->DrawTextW(nullptr, L"moves: 12", -1, &r, DT_NOCLIP, 0xFFFF0000), 20);
    Read();
    const RECT ink = InkBounds(kBlack);
    EXPECT_GE(ink.left, 15);
    EXPECT_LE(ink.left, 17);
    EXPECT_GE(ink.top, 62);
    EXPECT_LE(ink.bottom, 82);
    EXPECT_GT(ink.right - ink.left, 60);
    EXPECT_GT(CountNear({255, 0, 0}, 8), 20) << "solid red inside the glyphs";
    EXPECT_EQ(CountNear({0, 255, 0}, 60) + CountNear({0, 0, 255}, 60), 0);
}

TEST_F(FontTest, AnyCharacterDrawsMissingOnesAsTheFacesMissingGlyph) {
    const wchar_t* texts[] = {L"Grüße", L"Привет", L"αβγ ★", L"\U0010FFFD\U0010FFFD"};
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(::testing::Message() << "text of " << wcslen(text) << " characters");
        Clear(0xFF000000);
        RECT r = {10, 10, 150, 40};
        EXPECT_EQ(font->DrawTextW(nullptr, text, -1, &r, DT_LEFT | DT_TOP, 0xFFFFFFFF), 20);
        Read();
        const RECT ink = InkBounds(kBlack);
        EXPECT_GT(ink.right - ink.left, 8);
        EXPECT_GT(Measure(font, text).right, 8);
    }
    // Control characters take no room.
    EXPECT_EQ(Measure(font, L"M\x01\x02M").right, Measure(font, L"MM").right);
}

TEST_F(FontTest, HeightIsTheCellAndWidthTheAverageCharacter) {
    TEXTMETRICW tm{};
    ASSERT_TRUE(font->GetTextMetricsW(&tm));
    EXPECT_EQ(tm.tmHeight, 20);
    EXPECT_EQ(tm.tmAscent + tm.tmDescent, 20);
    EXPECT_GT(tm.tmAscent, tm.tmDescent);
    EXPECT_GT(tm.tmAveCharWidth, 5);

    // Negative: the em size, so the cell comes out taller.
    ID3DXFont* em = MakeFont(device, -20);
    TEXTMETRICW emTm{};
    em->GetTextMetricsW(&emTm);
    EXPECT_GT(emTm.tmHeight, 20);
    EXPECT_LT(emTm.tmHeight, 28);
    EXPECT_EQ(Measure(em, L"M\nM").bottom, 2 * emTm.tmHeight);
    em->Release();

    // A width twice the natural average draws text twice as wide.
    ID3DXFont* wide = MakeFont(device, 20, UINT(2 * tm.tmAveCharWidth));
    const double ratio = double(Measure(wide, L"MMMMMMMM").right) / Measure(font, L"MMMMMMMM").right;
    EXPECT_NEAR(ratio, 2.0, 0.2);
    TEXTMETRICW wideTm{};
    wide->GetTextMetricsW(&wideTm);
    EXPECT_EQ(wideTm.tmHeight, 20);
    EXPECT_EQ(wideTm.tmAveCharWidth, 2 * tm.tmAveCharWidth);
    wide->Release();

    D3DXFONT_DESCW desc{};
    ASSERT_EQ(font->GetDescW(&desc), S_OK);
    EXPECT_EQ(desc.Height, 20);
    EXPECT_EQ(std::wstring(desc.FaceName), L"DejaVu Sans");
}

TEST_F(FontTest, BoldDrawsHeavierStrokes) {
    ID3DXFont* bold = MakeFont(device, 20, 0, FW_BOLD);
    int ink[2];
    for (int i = 0; i < 2; ++i) {
        Clear(0xFF000000);
        RECT r = {5, 5, 155, 40};
        (i ? bold : font)->DrawTextW(nullptr, L"lllll", -1, &r, 0, 0xFFFFFFFF);
        Read();
        ink[i] = kWidth * kHeight - CountNear(kBlack, 60);
    }
    EXPECT_GT(ink[1], ink[0] * 5 / 4);
    EXPECT_EQ(bold->GetFaceMatch().style, "Bold");
    bold->Release();
}

TEST(FontFaces, NamesResolveThroughFontconfig) {
    struct Case {
        const wchar_t* face;
        UINT weight;
        const char* family;  // expected when installed
        const char* style;
    } const cases[] = {
        {L"Arial", FW_NORMAL, "Liberation Sans", "Regular"},
        {L"Arial", FW_BOLD, "Liberation Sans", "Bold"},
        {L"Comic Sans MS", FW_BOLD, "Comic Neue", "Bold"},
        {L"Comic Sans MS", FW_NORMAL, "Comic Neue", "Regular"},
        {L"No Such Face At All", FW_NORMAL, "DejaVu Sans", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.family);
        if (!FamilyInstalled(c.family)) {
            std::printf("skipped: %s is not installed\n", c.family);
            continue;
        }
        FontFaceMatch match;
        ASSERT_TRUE(FontMatchFace(c.face, c.weight, FALSE, &match));
        EXPECT_EQ(match.family, c.family);
        if (c.style) {
            EXPECT_EQ(match.style, c.style);
        }
        EXPECT_FALSE(match.syntheticBold) << "the family has its own bold face";
        EXPECT_FALSE(match.file.empty());
    }
}

TEST_F(FontTest, FontsMadeAsTheProgramMakesThemUseTheMatchedFace) {
    ID3DXFont* hud = MakeFont(device, 480 / 8, 640 / 40, FW_BOLD, L"Comic Sans MS");
    ID3DXFont* gui = MakeFont(device, 15, 0, FW_NORMAL, L"Arial");
    FontFaceMatch expected;
    ASSERT_TRUE(FontMatchFace(L"Comic Sans MS", FW_BOLD, FALSE, &expected));
    EXPECT_EQ(hud->GetFaceMatch().file, expected.file);
    TEXTMETRICW tm{};
    hud->GetTextMetricsW(&tm);
    EXPECT_EQ(tm.tmHeight, 60);
    EXPECT_EQ(tm.tmAveCharWidth, 16);
    Clear(0xFF000000);
    RECT r = {4, 4, 1, 1};
    EXPECT_EQ(hud->DrawTextW(nullptr, L"time: 7.3s", -1, &r, DT_NOCLIP, 0xFF6464FF), 60);
    RECT right = {0, 80, 150, 110};
    EXPECT_EQ(gui->DrawTextW(nullptr, L"Adapter:", -1, &right, DT_RIGHT | DT_VCENTER, 0xFFFFFFFF),
              15 + (30 - 15) / 2);
    Read();
    const RECT ink = InkBounds(kBlack);
    EXPECT_GT(ink.right - ink.left, 100);
    EXPECT_GE(ink.bottom, 88);
    hud->Release();
    gui->Release();
}

TEST(FontCreation, BadArgumentsFail) {
    ID3DXFont* font = reinterpret_cast<ID3DXFont*>(uintptr_t{1});
    EXPECT_EQ(D3DXCreateFont(nullptr, 20, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH, L"Arial", &font),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(font, nullptr);
}

using FontBatchTest = ScriptedHelpersTest;

TEST_F(FontBatchTest, TextJoinsTheSpritesBatchOrDrawsOnItsOwn) {
    ID3DXFont* font = MakeFont(device, 14);
    ID3DXSprite* sprite = nullptr;
    ASSERT_EQ(D3DXCreateSprite(device, &sprite), S_OK);
    ASSERT_EQ(font->PreloadTextW(L"Hello, world", -1), S_OK);
    int before = Draws();
    ASSERT_EQ(sprite->Begin(D3DXSPRITE_DONOTSAVESTATE), S_OK);
    RECT r = {0, 0, 200, 20};
    EXPECT_EQ(font->DrawTextW(sprite, L"Hello, world", -1, &r, DT_LEFT | DT_VCENTER, 0xFFFFFFFF), 17);
    RECT r2 = {0, 20, 200, 40};
    EXPECT_EQ(font->DrawTextW(sprite, L"world, hello", -1, &r2, DT_CENTER, 0xFFFFFFFF), 14);
    EXPECT_EQ(Draws(), before);
    ASSERT_EQ(sprite->End(), S_OK);
    EXPECT_EQ(Draws() - before, 1) << "all glyphs on one atlas page: one draw";

    before = Draws();
    EXPECT_EQ(font->DrawTextW(nullptr, L"Hello", -1, &r, 0, 0xFFFFFFFF), 14);
    EXPECT_EQ(font->DrawTextW(nullptr, L"world", -1, &r, 0, 0xFFFFFFFF), 14);
    EXPECT_EQ(Draws() - before, 2);
    // A sprite outside Begin / End cannot take the text.
    EXPECT_EQ(font->DrawTextW(sprite, L"Hello", -1, &r, 0, 0xFFFFFFFF), 0);
    EXPECT_EQ(font->OnLostDevice(), S_OK);
    EXPECT_EQ(font->OnResetDevice(), S_OK);
    sprite->Release();
    font->Release();
}

TEST_F(FontBatchTest, SizesBeyondTheLimitAreRefused) {
    ID3DXFont* font = nullptr;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(D3DXCreateFont(device, 5000, 0, FW_NORMAL, 1, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH, L"Arial", &font),
              D3DERR_INVALIDCALL);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("D3DXCreateFont"), std::string::npos);
    EXPECT_EQ(font, nullptr);
}

}  // namespace
