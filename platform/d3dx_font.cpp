#include "platform/d3dx_font.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <cwchar>
#include <new>
#include <unordered_map>
#include <vector>

#include "platform/d3dx_internal.h"
#include "platform/system.h"

namespace {

// --- FreeType and fontconfig, shared by every font -------------------------------

// The FreeType library lives while any font uses it.
struct FreeTypeShared {
    FT_Library library = nullptr;
    int users = 0;
};
FreeTypeShared& FreeType() {
    static FreeTypeShared shared;
    return shared;
}
FT_Library AcquireFreeType() {
    FreeTypeShared& s = FreeType();
    if (!s.library && FT_Init_FreeType(&s.library) != 0) {
        s.library = nullptr;
        return nullptr;
    }
    ++s.users;
    return s.library;
}
void ReleaseFreeType() {
    FreeTypeShared& s = FreeType();
    if (--s.users == 0) {
        FT_Done_FreeType(s.library);
        s.library = nullptr;
    }
}

// The fontconfig configuration, loaded once and kept for the process.
FcConfig* FontConfig() {
    static FcConfig* config = FcInitLoadConfigAndFonts();
    return config;
}

bool MatchFace(const std::string& family, UINT weight, bool italic, FontFaceMatch* out, std::string* error) {
    FcConfig* config = FontConfig();
    if (!config) {
        *error = "fontconfig has no configuration";
        return false;
    }
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) {
        *error = "out of memory";
        return false;
    }
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    const int openTypeWeight = weight == 0 ? 400 : static_cast<int>(std::min<UINT>(weight, 1000));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(openTypeWeight));
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) {
        *error = "no font matches \"" + family + "\"";
        return false;
    }
    FcChar8* text = nullptr;
    FontFaceMatch m;
    if (FcPatternGetString(match, FC_FILE, 0, &text) == FcResultMatch) m.file = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_FAMILY, 0, &text) == FcResultMatch) m.family = reinterpret_cast<const char*>(text);
    if (FcPatternGetString(match, FC_STYLE, 0, &text) == FcResultMatch) m.style = reinterpret_cast<const char*>(text);
    int index = 0;
    if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) m.index = index;
    double matchedWeight = FC_WEIGHT_REGULAR;
    int intWeight = 0;
    if (FcPatternGetDouble(match, FC_WEIGHT, 0, &matchedWeight) != FcResultMatch) {
        if (FcPatternGetInteger(match, FC_WEIGHT, 0, &intWeight) == FcResultMatch) matchedWeight = intWeight;
    }
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match, FC_SLANT, 0, &slant);
    FcBool embolden = FcFalse;
    FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
    FcPatternDestroy(match);
    if (m.file.empty()) {
        *error = "the font found for \"" + family + "\" has no file";
        return false;
    }
    m.syntheticBold = embolden == FcTrue || (openTypeWeight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD);
    m.syntheticItalic = italic && slant == FC_SLANT_ROMAN;
    *out = std::move(m);
    return true;
}

// --- the font ------------------------------------------------------------------------

struct Glyph {
    bool known = false;
    int16_t page = -1;  // atlas page, -1 when nothing is drawn (blank or too large)
    uint16_t x = 0, y = 0, w = 0, h = 0;  // in the page
    int16_t left = 0, top = 0;            // bitmap corner from the pen: x + left, baseline - top
    int32_t advance = 0;                  // pixels
};

struct AtlasPage {
    IDirect3DTexture9* texture = nullptr;
    UINT size = 0;
    UINT penX = 1, penY = 1, shelf = 0;  // the shelf being filled and its height
};

struct Line {
    size_t start, end;
    int width;
};

constexpr UINT kMinPage = 256, kMaxPage = 1024, kLargestPage = 4096;
constexpr int kLargestSize = 2048;

int FloorDiv2(int v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); }

bool IsControl(uint32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

class Font final : public ID3DXFont {
public:
    Font(IDirect3DDevice9* device, FT_Library library) : m_device(device), m_library(library) {
        m_device->AddRef();
        m_lines.reserve(16);
    }
    ~Font() override {
        for (AtlasPage& p : m_pages)
            if (p.texture) p.texture->Release();
        if (m_sprite) m_sprite->Release();
        if (m_face) FT_Done_Face(m_face);
        ReleaseFreeType();
        m_device->Release();
    }

    HRESULT Init(const D3DXFONT_DESCW& desc, const std::string& family, const FontFaceMatch& match);

    HRESULT GetDevice(IDirect3DDevice9** device) override { return ReferenceDeviceTo(m_device, device); }
    HRESULT GetDescW(D3DXFONT_DESCW* desc) override {
        if (!desc) return D3DERR_INVALIDCALL;
        *desc = m_desc;
        return S_OK;
    }
    BOOL GetTextMetricsW(TEXTMETRICW* metrics) override {
        if (!metrics) return FALSE;
        *metrics = m_metrics;
        return TRUE;
    }
    const FontFaceMatch& GetFaceMatch() override { return m_match; }
    INT DrawTextW(ID3DXSprite* sprite, const wchar_t* text, INT count, RECT* rect, DWORD format,
                  D3DCOLOR color) override;
    HRESULT PreloadCharacters(UINT first, UINT last) override {
        if (last < first) return D3DERR_INVALIDCALL;
        for (uint64_t c = first; c <= last && c <= 0x10FFFF; ++c)
            if (!GlyphOf(static_cast<uint32_t>(c))) return E_OUTOFMEMORY;
        return S_OK;
    }
    HRESULT PreloadTextW(const wchar_t* text, INT count) override {
        if (!text) return D3DERR_INVALIDCALL;
        for (INT i = 0; (count < 0 || i < count) && text[i]; ++i)
            if (!GlyphOf(static_cast<uint32_t>(text[i]))) return E_OUTOFMEMORY;
        return S_OK;
    }
    HRESULT OnLostDevice() override { return m_sprite ? m_sprite->OnLostDevice() : S_OK; }
    HRESULT OnResetDevice() override { return m_sprite ? m_sprite->OnResetDevice() : S_OK; }

private:
    // The glyph of a character, rendered into the atlas on first use; null
    // only when memory runs out.
    const Glyph* GlyphOf(uint32_t c);
    bool Render(uint32_t c, Glyph* g);
    // Finds room for a w x h bitmap; the page index, or -1.
    int Place(UINT w, UINT h, UINT* x, UINT* y);
    int AddPage(UINT size);
    int Advance(uint32_t c) {
        if (c == '\t') c = ' ';
        if (IsControl(c)) return 0;
        const Glyph* g = GlyphOf(c);
        return g ? g->advance : 0;
    }
    int Width(const wchar_t* t, size_t start, size_t end) {
        int w = 0;
        for (size_t i = start; i < end; ++i) w += Advance(static_cast<uint32_t>(t[i]));
        return w;
    }
    void Layout(const wchar_t* t, size_t n, DWORD format, int maxWidth);
    void AddLine(const wchar_t* t, size_t start, size_t end, bool wrap, int maxWidth);

    IDirect3DDevice9* m_device;
    FT_Library m_library;
    FT_Face m_face = nullptr;
    FT_Int32 m_loadFlags = FT_LOAD_DEFAULT;
    FT_Render_Mode m_renderMode = FT_RENDER_MODE_NORMAL;
    D3DXFONT_DESCW m_desc{};
    TEXTMETRICW m_metrics{};
    FontFaceMatch m_match;
    ID3DXSprite* m_sprite = nullptr;
    UINT m_pageSize = kMinPage;
    std::vector<AtlasPage> m_pages;
    std::array<Glyph, 128> m_ascii{};
    std::unordered_map<uint32_t, Glyph> m_glyphs;
    std::vector<uint32_t> m_staging;  // one glyph's texels on their way into the atlas
    std::vector<Line> m_lines;
};

HRESULT Font::Init(const D3DXFONT_DESCW& desc, const std::string& family, const FontFaceMatch& match) {
    m_desc = desc;
    m_match = match;
    const std::string where = "\"" + family + "\" (" + match.file + ")";
    if (FT_New_Face(m_library, match.file.c_str(), match.index, &m_face) != 0 || !FT_IS_SCALABLE(m_face) ||
        m_face->units_per_EM == 0) {
        d3dx::Trace("D3DXCreateFont", where + ": the font file cannot be used", D3DXERR_INVALIDDATA);
        return D3DXERR_INVALIDDATA;
    }
    FT_Select_Charmap(m_face, FT_ENCODING_UNICODE);

    // Vertical measures in font units: the cell is the face's (Windows)
    // ascent plus descent.
    const double upem = m_face->units_per_EM;
    double ascent = 0, descent = 0, average = 0;
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(m_face, FT_SFNT_OS2));
    if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
        ascent = os2->usWinAscent;
        descent = os2->usWinDescent;
    } else {
        ascent = m_face->ascender;
        descent = -m_face->descender;
    }
    if (ascent + descent <= 0) {
        ascent = 0.8 * upem;
        descent = 0.2 * upem;
    }
    if (os2 && os2->version != 0xFFFF && os2->xAvgCharWidth > 0) average = os2->xAvgCharWidth;
    if (average <= 0 && FT_Load_Char(m_face, 'x', FT_LOAD_NO_SCALE) == 0) average = m_face->glyph->advance.x;
    if (average <= 0) average = 0.5 * upem;

    const double cellUnits = ascent + descent;
    double ppemY;
    int cell;
    if (desc.Height > 0) {
        cell = desc.Height;
        ppemY = desc.Height * upem / cellUnits;
    } else {
        ppemY = desc.Height < 0 ? -static_cast<double>(desc.Height) : 16.0 * upem / cellUnits;
        cell = std::max(1, static_cast<int>(std::lround(cellUnits * ppemY / upem)));
    }
    const int ascentPx = std::clamp(static_cast<int>(std::lround(ascent * ppemY / upem)), 0, cell);
    const double naturalAverage = average * ppemY / upem;
    const double ppemX = desc.Width ? ppemY * desc.Width / std::max(naturalAverage, 1e-3) : ppemY;
    const auto size26 = [](double px) { return static_cast<FT_F26Dot6>(std::clamp(std::lround(px * 64.0), 64L, 4096L * 64)); };
    if (FT_Set_Char_Size(m_face, size26(ppemX), size26(ppemY), 72, 72) != 0) {
        d3dx::Trace("D3DXCreateFont", where + ": the face cannot take this size", D3DXERR_INVALIDDATA);
        return D3DXERR_INVALIDDATA;
    }
    const bool mono = desc.Quality == NONANTIALIASED_QUALITY;
    m_loadFlags = FT_LOAD_NO_BITMAP | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_LIGHT);
    m_renderMode = mono ? FT_RENDER_MODE_MONO : FT_RENDER_MODE_NORMAL;

    m_metrics = {};
    m_metrics.tmHeight = cell;
    m_metrics.tmAscent = ascentPx;
    m_metrics.tmDescent = cell - ascentPx;
    m_metrics.tmInternalLeading = std::max(0, cell - static_cast<int>(std::lround(ppemY)));
    m_metrics.tmAveCharWidth = desc.Width ? static_cast<LONG>(desc.Width) : static_cast<LONG>(std::lround(naturalAverage));
    m_metrics.tmMaxCharWidth = static_cast<LONG>(std::lround(m_face->max_advance_width * ppemX / upem));
    m_metrics.tmWeight = static_cast<LONG>(desc.Weight ? desc.Weight : FW_NORMAL);
    m_metrics.tmDigitizedAspectX = m_metrics.tmDigitizedAspectY = 96;
    m_metrics.tmFirstChar = 0x20;
    m_metrics.tmLastChar = 0xFFFF;
    m_metrics.tmDefaultChar = 0x1F;
    m_metrics.tmBreakChar = 0x20;
    m_metrics.tmItalic = desc.Italic ? 1 : 0;
    m_metrics.tmPitchAndFamily = desc.PitchAndFamily;
    m_metrics.tmCharSet = desc.CharSet;

    UINT page = kMinPage;
    while (page < kMaxPage && page < static_cast<UINT>(cell) * 8) page *= 2;
    m_pageSize = page;

    HRESULT hr = D3DXCreateSprite(m_device, &m_sprite);
    if (FAILED(hr)) return hr;
    try {
        m_pages.reserve(4);
        m_glyphs.reserve(64);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

int Font::AddPage(UINT size) {
    IDirect3DTexture9* texture = nullptr;
    HRESULT hr = m_device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr);
    if (FAILED(hr)) {
        d3dx::Trace("ID3DXFont", "cannot create a glyph page of " + std::to_string(size) + " pixels", hr);
        return -1;
    }
    // Transparent white everywhere, so filtering at glyph edges blends towards
    // the text's own colour.
    D3DLOCKED_RECT lr{};
    if (SUCCEEDED(texture->LockRect(0, &lr, nullptr, 0))) {
        for (UINT y = 0; y < size; ++y) {
            auto* row = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(y) * lr.Pitch);
            std::fill(row, row + size, 0x00FFFFFFu);
        }
        texture->UnlockRect(0);
    }
    try {
        m_pages.push_back({texture, size, 1, 1, 0});
    } catch (const std::bad_alloc&) {
        texture->Release();
        return -1;
    }
    return static_cast<int>(m_pages.size() - 1);
}

int Font::Place(UINT w, UINT h, UINT* x, UINT* y) {
    // A gap of one transparent texel around every glyph.
    if (w + 2 > m_pageSize || h + 2 > m_pageSize) {
        // A glyph larger than a page gets a page of its own.
        UINT size = m_pageSize;
        while (size < kLargestPage && (size < w + 2 || size < h + 2)) size *= 2;
        if (size < w + 2 || size < h + 2) return -1;
        const int page = AddPage(size);
        if (page < 0) return -1;
        AtlasPage& p = m_pages[static_cast<size_t>(page)];
        p.penY = size;  // nothing else goes there
        *x = 1;
        *y = 1;
        return page;
    }
    for (int tries = 0; tries < 2; ++tries) {
        if (!m_pages.empty()) {
            AtlasPage& p = m_pages.back();
            if (p.size == m_pageSize) {
                if (p.penX + w + 1 > p.size) {
                    p.penY += p.shelf + 1;
                    p.penX = 1;
                    p.shelf = 0;
                }
                if (p.penY + h + 1 <= p.size) {
                    *x = p.penX;
                    *y = p.penY;
                    p.penX += w + 1;
                    p.shelf = std::max(p.shelf, h);
                    return static_cast<int>(m_pages.size() - 1);
                }
            }
        }
        if (AddPage(m_pageSize) < 0) return -1;
    }
    return -1;
}

bool Font::Render(uint32_t c, Glyph* g) {
    *g = Glyph{};
    g->known = true;
    const FT_UInt index = FT_Get_Char_Index(m_face, c);  // 0: the face's missing-glyph shape
    if (FT_Load_Glyph(m_face, index, m_loadFlags) != 0) return true;  // nothing to draw, no room taken
    FT_GlyphSlot slot = m_face->glyph;
    if (m_match.syntheticItalic) FT_GlyphSlot_Oblique(slot);
    if (m_match.syntheticBold) FT_GlyphSlot_Embolden(slot);
    g->advance = static_cast<int32_t>((slot->advance.x + 32) >> 6);
    if (FT_Render_Glyph(slot, m_renderMode) != 0) return true;
    const FT_Bitmap& bm = slot->bitmap;
    const UINT w = bm.width, h = bm.rows;
    if (w == 0 || h == 0) return true;
    UINT x = 0, y = 0;
    const int page = Place(w, h, &x, &y);
    if (page < 0) return true;  // drawn as blank, still advancing
    try {
        m_staging.resize(static_cast<size_t>(w) * h);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const int pitch = bm.pitch;
    for (UINT row = 0; row < h; ++row) {
        const uint8_t* src = bm.buffer + (pitch >= 0 ? static_cast<ptrdiff_t>(row) * pitch
                                                     : static_cast<ptrdiff_t>(h - 1 - row) * -pitch);
        uint32_t* dst = m_staging.data() + static_cast<size_t>(row) * w;
        for (UINT col = 0; col < w; ++col) {
            uint32_t coverage;
            if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
                coverage = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
            else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
                coverage = bm.num_grays > 1 ? src[col] * 255u / (bm.num_grays - 1u) : src[col];
            else
                coverage = 0;
            dst[col] = (coverage << 24) | 0x00FFFFFFu;
        }
    }
    IDirect3DTexture9* texture = m_pages[static_cast<size_t>(page)].texture;
    const RECT area = {static_cast<LONG>(x), static_cast<LONG>(y), static_cast<LONG>(x + w), static_cast<LONG>(y + h)};
    D3DLOCKED_RECT lr{};
    if (FAILED(texture->LockRect(0, &lr, &area, 0))) return true;
    for (UINT row = 0; row < h; ++row)
        std::memcpy(static_cast<uint8_t*>(lr.pBits) + static_cast<size_t>(row) * lr.Pitch,
                    m_staging.data() + static_cast<size_t>(row) * w, static_cast<size_t>(w) * 4);
    texture->UnlockRect(0);
    g->page = static_cast<int16_t>(page);
    g->x = static_cast<uint16_t>(x);
    g->y = static_cast<uint16_t>(y);
    g->w = static_cast<uint16_t>(w);
    g->h = static_cast<uint16_t>(h);
    g->left = static_cast<int16_t>(slot->bitmap_left);
    g->top = static_cast<int16_t>(slot->bitmap_top);
    return true;
}

const Glyph* Font::GlyphOf(uint32_t c) {
    if (c < m_ascii.size()) {
        Glyph& g = m_ascii[c];
        if (!g.known && !Render(c, &g)) {
            g = Glyph{};
            return nullptr;
        }
        return &g;
    }
    auto it = m_glyphs.find(c);
    if (it != m_glyphs.end()) return &it->second;
    Glyph g;
    if (!Render(c, &g)) return nullptr;
    try {
        return &m_glyphs.emplace(c, g).first->second;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void Font::AddLine(const wchar_t* t, size_t start, size_t end, bool wrap, int maxWidth) {
    if (!wrap) {
        m_lines.push_back({start, end, Width(t, start, end)});
        return;
    }
    constexpr size_t kNone = ~size_t{0};
    size_t lineStart = start, breakAt = kNone;
    int width = 0, widthAtBreak = 0;
    size_t i = start;
    while (i < end) {
        const wchar_t c = t[i];
        if (c == L' ') {
            if (i > lineStart && t[i - 1] != L' ') {
                breakAt = i;
                widthAtBreak = width;
            }
            width += Advance(' ');
            ++i;
            continue;
        }
        const int a = Advance(static_cast<uint32_t>(c));
        if (width + a > maxWidth && breakAt != kNone) {
            m_lines.push_back({lineStart, breakAt, widthAtBreak});
            size_t next = breakAt;
            while (next < end && t[next] == L' ') ++next;
            lineStart = i = next;
            width = 0;
            breakAt = kNone;
            continue;
        }
        width += a;
        ++i;
    }
    m_lines.push_back({lineStart, end, width});
}

void Font::Layout(const wchar_t* t, size_t n, DWORD format, int maxWidth) {
    m_lines.clear();
    if (n == 0) return;
    const bool single = (format & DT_SINGLELINE) != 0;
    const bool wrap = !single && (format & DT_WORDBREAK) && maxWidth > 0;
    size_t start = 0;
    for (size_t i = 0; i <= n; ++i) {
        if (i < n && (single || (t[i] != L'\n' && t[i] != L'\r'))) continue;
        AddLine(t, start, i, wrap, maxWidth);
        if (i + 1 < n && t[i] == L'\r' && t[i + 1] == L'\n') ++i;
        start = i + 1;
    }
}

INT Font::DrawTextW(ID3DXSprite* sprite, const wchar_t* text, INT count, RECT* rect, DWORD format, D3DCOLOR color) {
    if (!text) return 0;
    size_t n = 0;
    if (count < 0)
        n = std::wcslen(text);
    else
        while (n < static_cast<size_t>(count) && text[n]) ++n;
    RECT none = {0, 0, 0, 0};
    if (!rect) {
        if (format & DT_CALCRECT) return 0;
        rect = &none;
        format |= DT_NOCLIP;
    }
    try {
        Layout(text, n, format, rect->right - rect->left);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const int lineHeight = m_metrics.tmHeight;
    const int total = static_cast<int>(m_lines.size()) * lineHeight;
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const Line& line : m_lines) widest = std::max(widest, line.width);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int top = rect->top;
    if (format & DT_VCENTER)
        top = rect->top + FloorDiv2(rect->bottom - rect->top - total);
    else if (format & DT_BOTTOM)
        top = rect->bottom - total;
    const int result = (format & (DT_VCENTER | DT_BOTTOM)) ? top - rect->top + total : total;
    if (m_lines.empty()) return result;

    ID3DXSprite* s = sprite ? sprite : m_sprite;
    if (!sprite && FAILED(m_sprite->Begin(D3DXSPRITE_ALPHABLEND))) return 0;
    const bool clip = !(format & DT_NOCLIP);
    bool ok = true;
    for (size_t k = 0; k < m_lines.size() && ok; ++k) {
        const Line& line = m_lines[k];
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + FloorDiv2(rect->right - rect->left - line.width);
        else if (format & DT_RIGHT)
            x = rect->right - line.width;
        const int baseline = top + static_cast<int>(k) * lineHeight + m_metrics.tmAscent;
        for (size_t i = line.start; i < line.end; ++i) {
            uint32_t c = static_cast<uint32_t>(text[i]);
            if (c == '\t') c = ' ';
            if (IsControl(c)) continue;
            const Glyph* g = GlyphOf(c);
            if (!g) continue;
            if (g->page >= 0) {
                int gx = x + g->left, gy = baseline - g->top;
                RECT src = {g->x, g->y, g->x + g->w, g->y + g->h};
                bool visible = true;
                if (clip) {
                    const int x0 = std::max(gx, rect->left), y0 = std::max(gy, rect->top);
                    const int x1 = std::min(gx + g->w, rect->right), y1 = std::min(gy + g->h, rect->bottom);
                    visible = x1 > x0 && y1 > y0;
                    if (visible) {
                        src.left += x0 - gx;
                        src.top += y0 - gy;
                        src.right = src.left + (x1 - x0);
                        src.bottom = src.top + (y1 - y0);
                        gx = x0;
                        gy = y0;
                    }
                }
                if (visible) {
                    const D3DXVECTOR3 position(static_cast<float>(gx), static_cast<float>(gy), 0.0f);
                    if (FAILED(s->Draw(m_pages[static_cast<size_t>(g->page)].texture, &src, nullptr, &position,
                                       color))) {
                        ok = false;
                        break;
                    }
                }
            }
            x += g->advance;
        }
    }
    if (!sprite && FAILED(m_sprite->End())) ok = false;
    return ok ? result : 0;
}

}  // namespace

bool FontMatchFace(const wchar_t* face, UINT weight, BOOL italic, FontFaceMatch* match) {
    if (!match) return false;
    std::string family = face ? WideToUtf8(face) : std::string();
    if (family.empty()) family = "sans-serif";
    std::string error;
    if (!MatchFace(family, weight, italic != FALSE, match, &error)) {
        d3dx::Trace("FontMatchFace", error, D3DXERR_INVALIDDATA);
        return false;
    }
    return true;
}

HRESULT D3DXCreateFont(IDirect3DDevice9* device, INT height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                       DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                       const wchar_t* faceName, ID3DXFont** font) {
    if (font) *font = nullptr;
    if (!device || !font) return D3DERR_INVALIDCALL;
    if (height > kLargestSize || height < -kLargestSize || width > static_cast<UINT>(kLargestSize)) {
        d3dx::Trace("D3DXCreateFont", "height " + std::to_string(height) + " / width " + std::to_string(width) +
                                          " is beyond " + std::to_string(kLargestSize) + " pixels",
                    D3DERR_INVALIDCALL);
        return D3DERR_INVALIDCALL;
    }
    D3DXFONT_DESCW desc{};
    desc.Height = height;
    desc.Width = width;
    desc.Weight = weight;
    desc.MipLevels = mipLevels;
    desc.Italic = italic ? TRUE : FALSE;
    desc.CharSet = static_cast<BYTE>(charSet);
    desc.OutputPrecision = static_cast<BYTE>(outputPrecision);
    desc.Quality = static_cast<BYTE>(quality);
    desc.PitchAndFamily = static_cast<BYTE>(pitchAndFamily);
    if (faceName) {
        size_t i = 0;
        for (; i + 1 < static_cast<size_t>(LF_FACESIZE) && faceName[i]; ++i) desc.FaceName[i] = faceName[i];
        desc.FaceName[i] = 0;
    }

    std::string family = faceName ? WideToUtf8(faceName) : std::string();
    if (family.empty()) {
        const DWORD kind = pitchAndFamily & 0xF0;
        family = kind == FF_ROMAN                                        ? "serif"
                 : (kind == FF_MODERN || (pitchAndFamily & 3) == FIXED_PITCH) ? "monospace"
                                                                          : "sans-serif";
    }
    FontFaceMatch match;
    std::string error;
    if (!MatchFace(family, weight, italic != FALSE, &match, &error)) {
        d3dx::Trace("D3DXCreateFont", error, D3DXERR_INVALIDDATA);
        return D3DXERR_INVALIDDATA;
    }
    FT_Library library = AcquireFreeType();
    if (!library) {
        d3dx::Trace("D3DXCreateFont", "FreeType cannot start", E_FAIL);
        return E_FAIL;
    }
    auto* f = new (std::nothrow) Font(device, library);
    if (!f) {
        ReleaseFreeType();
        return E_OUTOFMEMORY;
    }
    HRESULT hr = f->Init(desc, family, match);
    if (FAILED(hr)) {
        f->Release();
        return hr;
    }
    *font = f;
    return S_OK;
}
