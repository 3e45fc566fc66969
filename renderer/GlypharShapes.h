// Box drawing (U+2500 to U+257F), block elements (U+2580 to U+259F) and
// Braille patterns (U+2800 to U+28FF), private to the renderer. glyphar
// draws these itself, in every font, at the size a cell is drawn rather than
// by sampling a glyph: lines are placed by the pitch cells tile at, so that a
// line meets its neighbour's across the shared edge at every size.
#ifndef GLYPHAR_SHAPES_H
#define GLYPHAR_SHAPES_H

#include <cstdint>

namespace glyphar {

inline bool IsShape(uint32_t codepoint)
{
    return codepoint - 0x2500u < 0xA0u || codepoint - 0x2800u < 0x100u;
}

// Shades are patterns on the surface's pixel grid: a shade cell depends on
// the parity of its top-left pixel.
inline bool IsShade(uint32_t codepoint)
{
    return codepoint - 0x2591u < 3u;
}

// The cell a shape fills: the block drawn, the pitch cells tile at, and the
// light stroke's width (heavy is twice that).
struct ShapeCell {
    int64_t width, height;
    int64_t pitchX, pitchY;
    int64_t stroke;

    bool operator==(const ShapeCell &o) const
    {
        return width == o.width && height == o.height && pitchX == o.pitchX && pitchY == o.pitchY &&
               stroke == o.stroke;
    }
};

// The shape cell of a font of cell fontWidth x fontHeight at a size, whose
// characters are drawn blockWidth x blockHeight.
ShapeCell ShapeCellFor(int fontWidth, int fontHeight, float size, int64_t blockWidth,
                       int64_t blockHeight);

// Rows [top, top + rows) of a shape's columns [left, left + 64): bit j of
// out[r] is column left + j of row top + r, clear past the block. (originX,
// originY) is the cell's top-left pixel on the surface, for the shades.
void ShapeRows(uint32_t codepoint, const ShapeCell &cell, int64_t left, int64_t top, int rows,
               int64_t originX, int64_t originY, uint64_t *out);

}  // namespace glyphar

#endif  // GLYPHAR_SHAPES_H
