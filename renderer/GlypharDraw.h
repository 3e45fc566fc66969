// Drawing, private to the renderer: a text row of cells or a single
// character, in any font, written through the gather and the writers, only
// what lies in the clip rectangle.
#ifndef GLYPHAR_DRAW_H
#define GLYPHAR_DRAW_H

#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharLayout.h"
#include "GlypharShapes.h"
#include "GlypharSurface.h"
#include "GlypharWrite.h"

#include <algorithm>
#include <cstdint>

namespace glyphar {

// The colours a call draws with, mapped once.
GLYPHAR_ALWAYS_INLINE Ink MakeInk(const Target &t, _color fg, _color bg)
{
    Ink ink;
    ink.opaque = !IsTransparent(bg);
    ink.fg = MapColor(t, fg);
    ink.bg = ink.opaque ? MapColor(t, bg) : ink.fg;
    return ink;
}

// A row of the built-in font's cells (bytes, or slots of the whole font),
// `pitch` pixels apart, the first with its top-left pixel at (x, y).
void DrawBuiltinCells(const Target &t, const CellGeometry &g, const Ink &ink,
                      const FontMasks &font, const unsigned char *cells, int64_t count,
                      int64_t pitch, int64_t x, int64_t y);

// A laid-out row of UTF-8 text in the built-in font's whole font.
void DrawBuiltinUtf8Row(const Target &t, const CellGeometry &g, const Ink &ink,
                        const TextRow &row, int64_t pitch, int64_t x, int64_t y);

// A laid-out row of a loaded font: UTF-8, or a byte per code point.
void DrawFontRow(const Target &t, const CellGeometry &g, const Ink &ink, const GlypharFont &font,
                 const TextRow &row, bool utf8, int64_t pitch, int64_t x, int64_t y);

// One glyph of a loaded font.
void DrawFontCharacter(const Target &t, const CellGeometry &g, const Ink &ink,
                       const GlypharFont &font, uint32_t glyph, int64_t x, int64_t y);

// A laid-out row of a font with advances, its pen starting at x on a row
// whose top is y; g is the font's FaceGeometry.
void DrawAdvanceRow(const Target &t, const CellGeometry &g, const Ink &ink, const Grid &grid,
                    const TextRow &row, int64_t x, int64_t y);

// One character by code point, as GlypharFontCodePoint draws it: a shape,
// or a glyph of the font (null: the built-in one), with FaceGeometry's g.
void DrawCodePoint(const Target &t, const CellGeometry &g, const GlypharFont *font,
                   uint32_t codepoint, const Ink &ink, int64_t x, int64_t y);

// A row's cell that holds a shape (box drawing, a block, Braille) rather
// than a glyph: its code point with this bit set.
constexpr uint32_t kShapeCell = 0x80000000u;

// The shape cell of characters drawn with a geometry.
inline ShapeCell ShapeCellOf(const CellGeometry &g)
{
    return ShapeCellFor(g.width, g.height, g.size, g.cols.extent(), g.rows.extent());
}

// A row of shape cells (code points, kShapeCell set or not), `pitch` pixels
// apart, the first with its top-left pixel at (x, y); at most kRowSlots.
void DrawShapeCells(const Target &t, const ShapeCell &cell, const Ink &ink, const uint32_t *cells,
                    int64_t count, int64_t pitch, int64_t x, int64_t y);

//----------------------------------------------------------------------------
// Character grids.
//----------------------------------------------------------------------------

// A grid's colours (0xRRGGBB) as the surface stores them: worked out where
// the format has no palette, otherwise mapped by SDL with the last few kept
// (cells mostly share their colours with others).
struct CellColours {
    static constexpr int kKept = 64;
    const Target &t;
    const Channels channels;
    uint32_t rgb[kKept];
    uint32_t pixel[kKept];
    // For many cells of a format without a palette: each channel's value as
    // stored, by its byte, made on first use.
    bool tabled = false;
    uint32_t byChannel[3][256];

    explicit CellColours(const Target &target)
        : t(target), channels(ChannelsOf(target)), rgb(), pixel()
    {
        for (uint32_t &key : rgb)
            key = ~0u;  // no colour: a key has its top byte clear
    }

    // Colours of a format without a palette, by table.
    uint32_t Tabled(uint32_t colour)
    {
        return byChannel[0][(colour >> 16) & 0xFF] | byChannel[1][(colour >> 8) & 0xFF] |
               byChannel[2][colour & 0xFF];
    }

    void MakeTables()
    {
        // Storing is a mask and a shift, so the channels' parts may be
        // stored apart and joined; the alpha goes with red.
        for (int c = 0; c < 3; ++c)
            for (uint32_t v = 0; v < 256; ++v)
                byChannel[c][v] = StoredPixel(t, (v >> channels.loss[c]) << channels.shift[c] |
                                                     (c == 0 ? channels.alpha : 0));
        tabled = true;
    }

    uint32_t Map(uint32_t colour)
    {
        colour &= 0xFFFFFF;
        if (channels.direct)
            return MapDirect(t, channels, colour);
        const uint32_t k = (colour * 0x9E3779B1u) >> 26;
        if (rgb[k] != colour) {
            rgb[k] = colour;
            pixel[k] = MapColor(t, _color{static_cast<int32_t>(colour >> 16),
                                          static_cast<int32_t>((colour >> 8) & 0xFF),
                                          static_cast<int32_t>(colour & 0xFF)});
        }
        return pixel[k];
    }
};

// Cells [first, last] of a grid's row, `pitch` pixels apart, cell 0's top-left
// pixel at (x, y), each as GlypharFontCodePoint draws it, left to right.
void DrawGridRow(const Target &t, const CellGeometry &g, const GlypharFont *font,
                 const GlypharCell *cells, int64_t first, int64_t last, int64_t pitch, int64_t x,
                 int64_t y, CellColours &colours);

//----------------------------------------------------------------------------
// A single narrow character, inline for a character grid's sake.
//----------------------------------------------------------------------------

// The row numbers 0 to kMaxCellHeight, for a character whose rows' words
// are worked out beforehand: row k's word is then words[k].
struct RowNumbers {
    uint8_t row[kMaxCellHeight + 1];

    constexpr RowNumbers() : row()
    {
        for (int k = 0; k <= kMaxCellHeight; ++k)
            row[k] = static_cast<uint8_t>(k);
    }
};
inline constexpr RowNumbers kRowNumbers{};

// One narrow cell: each row of pixels shown takes the lit pixels of the
// glyph row it samples, from the left edge shown. `words`, when given,
// holds each glyph row's lit pixels; otherwise masks index the geometry's
// table, as the built-in font's rows do.
GLYPHAR_ALWAYS_INLINE void DrawNarrowCell(const Target &t, const CellGeometry &g, const Ink &ink,
                                          const uint8_t *masks, uint64_t *words, int64_t x,
                                          int64_t y)
{
    const int64_t left = std::max(x, t.left), right = std::min(x + g.cols.extent(), t.right);
    const int64_t top = std::max(y, t.top), bottom = std::min(y + g.rows.extent(), t.bottom);
    if (top >= bottom || left >= right)
        return;
    CellRows cell{masks, g.litOffsets[0], g.rowOfPixel + (top - y), bottom - top, right - left};
    // Cut at the left: each glyph row's own lit pixels, moved to the edge.
    uint64_t shown[kGlyphRows + 1];
    if (words == nullptr && left > x) {
        for (int row = 0; row <= kGlyphRows; ++row)
            shown[row] = g.litOffsets[0][masks[row]] >> (left - x);
        words = shown;
    } else if (words != nullptr && left > x) {
        for (int row = 0; row <= g.height; ++row)
            words[row] >>= left - x;
    }
    if (words != nullptr) {
        cell.masks = kRowNumbers.row;
        cell.litOffsets = words;
    }
    CellWriterFor(t.bytesPerPixel, ink.opaque)(PixelAddress(t, left, top), t.pitch, cell, ink.fg,
                                               ink.bg);
}

// One character of the built-in font (GlypharCarac, GlypharCodePoint): a
// narrow one without the machinery of a row of cells, which costs more than
// its pixels.
GLYPHAR_ALWAYS_INLINE void DrawBuiltinCharacter(const Target &t, const CellGeometry &g,
                                                const Ink &ink, const FontMasks &font,
                                                unsigned char glyph, int64_t x, int64_t y)
{
    if (!g.narrow) {
        DrawBuiltinCells(t, g, ink, font, &glyph, 1, g.cols.extent(), x, y);
        return;
    }
    DrawNarrowCell(t, g, ink, font[glyph], nullptr, x, y);
}

// What a text's opaque drawing paints: the smallest rectangle holding every
// cell's block (half-open; empty, left > right, where no cell is placed),
// whether the blocks cover all of it, and the bytes the rows took.
struct TextArea {
    int64_t left, top, right, bottom;
    bool covered;
    size_t used;
};

TextArea MeasureText(const GlypharFont *font, const char *text, _rect box, float size, int flags);

// What one character may paint, from its top-left corner (a cell font's) or
// its pen and row's top (a font with advances, whose ink may reach past its
// block): covered where the block is all of it.
TextArea CharacterReach(const GlypharFont *font, float size);

}  // namespace glyphar

#endif  // GLYPHAR_DRAW_H
