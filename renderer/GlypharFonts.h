// Fonts as drawing reads them, private to the renderer: the built-in font's
// two tables (the 73 glyphs of byte text and the whole font of UTF-8 text),
// fonts loaded from files, and the map from code points to glyphs.
#ifndef GLYPHAR_FONTS_H
#define GLYPHAR_FONTS_H

#include <cstddef>
#include <cstdint>

namespace glyphar {

// The largest cell a font may have, in glyph columns and rows.
constexpr int kMaxCellWidth = 64;
constexpr int kMaxCellHeight = 128;

// Bytes past a loaded font's last glyph that gathers may read: 16 from any
// row (the cells' gather), 32 from any row (the placed glyphs' vector
// gather, sixteen rows of two bytes), with room to spare.
constexpr size_t kGlyphPadding = 32 * 8;

// A font's glyphs as drawing reads them. Glyph g's row r is an unsigned
// integer of rowBytes bytes (1, 2, 4 or 8), column c its bit c, at
// glyphs + g * glyphStride + r * rowBytes. Row `height`, just past the grid,
// is blank in every glyph: the sampling rule may reach it.
struct FontFace {
    int width, height;  // the cell, in glyph columns and rows
    int rowBytes;
    int64_t glyphStride;
    const uint8_t *glyphs;
};

//----------------------------------------------------------------------------
// The built-in font: 6 x 9 cells, a glyph row a byte, 16 bytes a glyph, so
// that a vector gather loads a glyph whole.
//----------------------------------------------------------------------------

constexpr int kGlyphCols = 6;
constexpr int kGlyphRows = 9;
constexpr int kMaskStride = 16;
using FontMasks = uint8_t[256][kMaskStride];

// The 73 glyphs, indexed by byte; every other byte is blank.
extern FontMasks RowMask;
// The whole font, indexed by slot (SlotOf).
extern FontMasks WholeFont;

// Fills the tables once, from whichever thread calls first.
void FillBuiltinFont();

inline FontFace BuiltinFace(const FontMasks &table)
{
    return FontFace{kGlyphCols, kGlyphRows, 1, kMaskStride, &table[0][0]};
}

// The whole font's slots: a code point below U+0100 is its own slot, except
// the C1 controls; Windows-1252's characters take the slots it gives them
// at 0x80 to 0x9F, and the replacement glyph one of the slots it leaves
// unused.
constexpr uint8_t kBlankSlot = 0x7F;        // DEL: controls draw blank
constexpr uint8_t kReplacementSlot = 0x81;  // unused by Windows-1252
// Box drawing, blocks and Braille are drawn by glyphar, not from a slot: the
// layout marks their cells with a slot Windows-1252 leaves unused, blank in
// the table.
constexpr uint8_t kShapeSlot = 0x8D;

uint8_t SlotBeyondLatin1(uint32_t codepoint);

// Latin-1 without a branch that text mixing ASCII and accents would
// mispredict: only the C1 controls move, to the blank slot.
inline uint8_t Latin1Slot(uint32_t codepoint)
{
    return codepoint - 0x80 < 0x20 ? kBlankSlot : static_cast<uint8_t>(codepoint);
}

inline uint8_t SlotOf(uint32_t codepoint)
{
    return codepoint < 0x100 ? Latin1Slot(codepoint) : SlotBeyondLatin1(codepoint);
}

bool BuiltinHasGlyph(uint32_t codepoint);

// The whole font's glyphs, the replacement glyph among them.
int BuiltinGlyphCount();

//----------------------------------------------------------------------------
// Loaded fonts. The code point map is two levels, pages of 256 code points:
// a font of a few hundred glyphs over a few scripts takes a few pages. An
// entry is the glyph a code point draws, with kOwnGlyph set where the font
// has a glyph of its own for it; others draw the replacement or the blank.
//----------------------------------------------------------------------------

// A glyph of a font with advances: its advance at size 1, in pixels, and
// the box rows it inks, [inkFrom, inkTo): what placing it on a row needs,
// in one load.
struct GlyphExtent {
    uint16_t advance;
    uint8_t inkFrom, inkTo;
};

constexpr uint32_t kLastCodePoint = 0x10FFFF;
constexpr int kPages = (kLastCodePoint + 1) >> 8;
constexpr uint32_t kOwnGlyph = 0x80000000u;
constexpr uint32_t kGlyphIndex = ~kOwnGlyph;

}  // namespace glyphar

// A loaded font; the interface's GlypharFont. Immutable once loaded.
struct GlypharFont {
    glyphar::FontFace face;
    int glyphs;                // the font's own glyphs; two more follow them
    uint32_t blank;            // the glyph of control characters
    uint32_t replacement;      // the glyph of characters the font lacks
    uint16_t pageOf[glyphar::kPages];   // 0: a page without glyphs
    uint32_t (*pages)[256];    // page 0 maps everything to the replacement
    int pageCount;
    uint8_t *storage;          // the glyph rows
    // Fonts whose glyphs have advances of their own, or ink outside a cell
    // (extents not null): the face is a box holding every glyph's ink,
    // placed boxLeft columns right of the pen and boxTop rows below the
    // row's top. A cell font's face is its cell, at the pen and the top.
    glyphar::GlyphExtent *extents;  // by glyph
    int ascent, descent;       // the line: ascent + descent rows, baseline below ascent
    int boxLeft, boxTop;
    int cellWidth;             // a grid's cell, and a shape's advance
    int widest;                // the widest advance
};

namespace glyphar {

inline bool IsControl(uint32_t codepoint)
{
    return codepoint < 0x20 || (codepoint >= 0x7F && codepoint < 0xA0);
}

// The map's entry for a code point (any value).
inline uint32_t EntryOf(const GlypharFont &font, uint32_t codepoint)
{
    if (codepoint > kLastCodePoint)
        return font.replacement;
    return font.pages[font.pageOf[codepoint >> 8]][codepoint & 0xFF];
}

// A font's cell at size 1: the built-in font's (null), or a loaded one's;
// a font with advances of its own has a grid's cell and its line's height.
inline int CellWidthOf(const GlypharFont *font)
{
    return font == nullptr ? kGlyphCols : font->extents != nullptr ? font->cellWidth
                                                                   : font->face.width;
}

inline int CellHeightOf(const GlypharFont *font)
{
    return font == nullptr ? kGlyphRows : font->extents != nullptr
                                              ? font->ascent + font->descent
                                              : font->face.height;
}

inline bool HasAdvances(const GlypharFont *font)
{
    return font != nullptr && font->extents != nullptr;
}

inline uint32_t GlyphOf(const GlypharFont &font, uint32_t codepoint)
{
    return EntryOf(font, codepoint) & kGlyphIndex;
}

// A glyph's place at size 1, in pixels: its advance, and its ink box
// (width x height, its left column `left` right of the pen, its top row
// `top` above the baseline).
struct GlyphMetrics {
    int advance, width, height, left, top;
};

// The face a font of these glyphs needs: its cell where every advance is the
// same and all ink lies in the cell, otherwise a box holding every glyph's
// ink and the cell of a grid.
struct FontBox {
    bool cells;
    int width, height, left, top;  // left and top as GlypharFont's boxLeft and boxTop
    int cellWidth, widest;
};

FontBox BoxOf(int ascent, int descent, const GlyphMetrics *glyphs, int count);

// A font of `count` blank glyphs in that box, for PutGlyphRow to fill; the
// map as for NewFont. Returns nullptr where memory runs out.
GlypharFont *NewBoxFont(const FontBox &box, int ascent, int descent, const GlyphMetrics *glyphs,
                        int count);
// Puts row r of glyph g's ink box, column c in bit c, in its place.
void PutGlyphRow(GlypharFont *font, uint32_t g, const GlyphMetrics &m, int r, uint64_t bits);

// Builds a font from glyph bitmaps: `count` glyphs of width x height, each
// row rowStride bytes with the leftmost pixel in the top bit of its first
// byte (PSF's layout), glyph g at bits + g * glyphStride. The map is filled
// afterwards with MapCodePoint and finished with FinishFont. Returns nullptr
// where memory runs out.
GlypharFont *NewFont(int width, int height, int count, const uint8_t *bits, size_t rowStride,
                    size_t glyphStride);
// Gives glyph the code point unless another glyph has it; false where memory
// runs out.
bool MapCodePoint(GlypharFont *font, uint32_t codepoint, uint32_t glyph);
// Sets the replacement (the font's U+FFFD, else the fallback glyph where
// there is one, else a hollow box of the program's own) and the blank of
// control characters; false where memory runs out.
constexpr uint32_t kNoFallback = ~uint32_t{0};
bool FinishFont(GlypharFont *font, uint32_t fallback = kNoFallback);
void FreeFont(GlypharFont *font);

}  // namespace glyphar

#endif  // GLYPHAR_FONTS_H
