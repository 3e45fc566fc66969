// Drawing, private to the renderer: a text row of cells or a single
// character, in any font, written through the gather and the writers, only
// what lies in the clip rectangle.
#ifndef GLYPHAR_DRAW_H
#define GLYPHAR_DRAW_H

#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharLayout.h"
#include "GlypharSurface.h"
#include "GlypharWrite.h"

#include <cstdint>

namespace glyphar {

inline Ink MakeInk(const Target &t, _color fg, _color bg)
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

// One character of the built-in font (GlypharCarac, GlypharCodePoint).
void DrawBuiltinCharacter(const Target &t, const CellGeometry &g, const Ink &ink,
                          const FontMasks &font, unsigned char glyph, int64_t x, int64_t y);

// A laid-out row of a loaded font: UTF-8, or a byte per code point.
void DrawFontRow(const Target &t, const CellGeometry &g, const Ink &ink, const GlypharFont &font,
                 const TextRow &row, bool utf8, int64_t pitch, int64_t x, int64_t y);

// One glyph of a loaded font.
void DrawFontCharacter(const Target &t, const CellGeometry &g, const Ink &ink,
                       const GlypharFont &font, uint32_t glyph, int64_t x, int64_t y);

}  // namespace glyphar

#endif  // GLYPHAR_DRAW_H
