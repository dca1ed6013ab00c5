// Fonts: faces found through fontconfig, glyphs rendered by FreeType into
// atlas textures of the device, text drawn as sprites.
//
// Creation (D3DXCreateFont):
// - face: a family name matched through fontconfig with the weight and the
//   slant asked ("Arial" gives Liberation Sans, "Comic Sans MS" Comic Neue
//   where those fonts are installed; the system's default sans-serif face,
//   DejaVu Sans, when nothing matches). An empty face takes the family kind of
//   pitchAndFamily (FF_ROMAN serif, FF_MODERN or FIXED_PITCH monospace, else
//   sans-serif).
// - height, in pixels: positive = the cell height, the distance from the top
//   of the highest accent to the bottom of the lowest descender, which is also
//   the line spacing (TEXTMETRICW::tmHeight equals it exactly); negative =
//   the character height, the em size of the face (so the cell comes out a
//   little taller); 0 = a cell of 16 pixels. |height| at most 2048.
// - width, in pixels: 0 = the face's own proportions; otherwise the average
//   character width (tmAveCharWidth: the face's average advance, or the
//   advance of 'x' when the face states none): glyphs are scaled horizontally
//   so that the face's average advance becomes this width. At most 2048.
// - weight: asked of fontconfig as it stands (0 = 400, regular; FW_BOLD
//   gives a bold face); when the weight is 600 or more and the face found is
//   lighter than semi-bold, glyphs are emboldened synthetically. italic
//   likewise (an italic face, else sheared glyphs).
// - quality: NONANTIALIASED_QUALITY draws one-bit glyphs, everything else
//   grey-scale anti-aliased ones. mip levels, character set and output
//   precision are accepted and change nothing.
// Glyphs are rendered when first drawn (or preloaded) into atlas pages of
// 256 .. 1024 pixels square (A8R8G8B8: white, alpha = coverage, managed pool)
// and kept; drawing text whose glyphs are cached allocates nothing.
//
// Drawing (DrawTextW) lays out the text in the rectangle with the format:
// - DT_LEFT / DT_CENTER / DT_RIGHT: each line's horizontal place;
//   DT_TOP / DT_VCENTER / DT_BOTTOM: the block of lines' vertical place (any
//   number of lines), centring rounding up and left;
// - lines break at "\n", "\r\n" and "\r"; DT_SINGLELINE makes them ordinary
//   characters that draw nothing; DT_WORDBREAK also breaks lines at spaces
//   where they would pass the rectangle's right side (a word longer than the
//   width stays whole); other control characters draw nothing and take no
//   room, a tab takes the room of a space;
// - the text is clipped to the rectangle unless DT_NOCLIP;
// - DT_CALCRECT draws nothing and sets rect->right = left + width of the
//   widest line and rect->bottom = top + number of lines x line height;
// - a character the face lacks is drawn as the face's missing-glyph shape.
// Count is the number of characters, -1 for all up to the terminating NUL;
// a NUL ends the text in any case. The result is the height of the text (for
// DT_VCENTER and DT_BOTTOM: from the rectangle's top to the text's bottom),
// 0 on failure. Pen positions are whole pixels: the baseline of the first
// line lies tmAscent below the text's top, glyphs advance by their rounded
// advance width. The colour multiplies the glyphs (alpha included).
//
// With a sprite, the glyphs join its batch (the sprite must be between Begin
// and End, and its transform applies); without one the font draws with its
// own sprite, with alpha blending, saving and restoring the device state.
#pragma once

#include <string>

#include "platform/d3dx_sprite.h"
#include "platform/device.h"

// Text format flags.
constexpr DWORD DT_TOP = 0x0;
constexpr DWORD DT_LEFT = 0x0;
constexpr DWORD DT_CENTER = 0x1;
constexpr DWORD DT_RIGHT = 0x2;
constexpr DWORD DT_VCENTER = 0x4;
constexpr DWORD DT_BOTTOM = 0x8;
constexpr DWORD DT_WORDBREAK = 0x10;
constexpr DWORD DT_SINGLELINE = 0x20;
constexpr DWORD DT_EXPANDTABS = 0x40;
constexpr DWORD DT_NOCLIP = 0x100;
constexpr DWORD DT_CALCRECT = 0x400;

// Font creation values.
constexpr UINT FW_DONTCARE = 0;
constexpr UINT FW_THIN = 100;
constexpr UINT FW_LIGHT = 300;
constexpr UINT FW_NORMAL = 400;
constexpr UINT FW_MEDIUM = 500;
constexpr UINT FW_SEMIBOLD = 600;
constexpr UINT FW_BOLD = 700;
constexpr UINT FW_HEAVY = 900;
constexpr DWORD ANSI_CHARSET = 0;
constexpr DWORD DEFAULT_CHARSET = 1;
constexpr DWORD OUT_DEFAULT_PRECIS = 0;
constexpr DWORD DEFAULT_QUALITY = 0;
constexpr DWORD NONANTIALIASED_QUALITY = 3;
constexpr DWORD ANTIALIASED_QUALITY = 4;
constexpr DWORD DEFAULT_PITCH = 0;
constexpr DWORD FIXED_PITCH = 1;
constexpr DWORD VARIABLE_PITCH = 2;
constexpr DWORD FF_DONTCARE = 0x00;
constexpr DWORD FF_ROMAN = 0x10;
constexpr DWORD FF_SWISS = 0x20;
constexpr DWORD FF_MODERN = 0x30;
constexpr int LF_FACESIZE = 32;

struct D3DXFONT_DESCW {
    INT Height;
    UINT Width;
    UINT Weight;
    UINT MipLevels;
    BOOL Italic;
    BYTE CharSet;
    BYTE OutputPrecision;
    BYTE Quality;
    BYTE PitchAndFamily;
    WCHAR FaceName[LF_FACESIZE];  // as asked (cut to 31 characters)
};

// Measurements of a created font, in pixels.
struct TEXTMETRICW {
    LONG tmHeight;           // cell height = line spacing = tmAscent + tmDescent
    LONG tmAscent;           // from the cell's top to the baseline
    LONG tmDescent;          // from the baseline to the cell's bottom
    LONG tmInternalLeading;  // tmHeight - em size
    LONG tmExternalLeading;  // 0
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;  // as asked
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};

// The face a name resolved to.
struct FontFaceMatch {
    std::string family;  // e.g. "Liberation Sans"
    std::string style;   // e.g. "Bold"
    std::string file;    // the font file
    int index = 0;       // face index in the file
    bool syntheticBold = false;
    bool syntheticItalic = false;
};

// Resolves a face name, weight and slant as D3DXCreateFont does. False (and a
// trace line) when fontconfig finds no font at all.
bool FontMatchFace(const wchar_t* face, UINT weight, BOOL italic, FontFaceMatch* match);

class ID3DXFont : public RefCounted {
public:
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT GetDescW(D3DXFONT_DESCW* desc) = 0;
    virtual BOOL GetTextMetricsW(TEXTMETRICW* metrics) = 0;
    // The face this font draws with.
    virtual const FontFaceMatch& GetFaceMatch() = 0;
    virtual INT DrawTextW(ID3DXSprite* sprite, const wchar_t* text, INT count, RECT* rect, DWORD format,
                          D3DCOLOR color) = 0;
    // Renders glyphs ahead of drawing.
    virtual HRESULT PreloadCharacters(UINT first, UINT last) = 0;
    virtual HRESULT PreloadTextW(const wchar_t* text, INT count) = 0;
    virtual HRESULT OnLostDevice() = 0;
    virtual HRESULT OnResetDevice() = 0;
};

// D3DERR_INVALIDCALL for a missing device or out argument or a size beyond
// 2048; D3DXERR_INVALIDDATA (with a trace line) when no usable font file is
// found; E_OUTOFMEMORY. The atlas lives in the managed pool: the font needs
// nothing but OnLostDevice / OnResetDevice around a reset.
HRESULT D3DXCreateFont(IDirect3DDevice9* device, INT height, UINT width, UINT weight, UINT mipLevels, BOOL italic,
                       DWORD charSet, DWORD outputPrecision, DWORD quality, DWORD pitchAndFamily,
                       const wchar_t* faceName, ID3DXFont** font);
