// Sampling geometry, private to the renderer. Pixel offset k of a
// character samples glyph cell floor(k / size) and exists while
// k < extent * size, extent being the cell's width or height in glyph cells.
// A font with advances keeps its glyphs in a box that may start left of the
// pen or above the row's top: its offsets are counted from the box's first
// pixel, `origin` pixels from the pen or the top.
// Both depend on the size and the cell alone, so each axis is described once
// as runs of offsets that sample the same cell; no pixel needs a division.
#ifndef GLYPHAR_GEOMETRY_H
#define GLYPHAR_GEOMETRY_H

#include "GlypharFonts.h"
#include "GlypharInline.h"

#include <cstdint>

namespace glyphar {

// Beyond any surface: positions come from 32-bit integers, so nothing
// visible lies this far out.
constexpr int64_t kFar = int64_t{1} << 40;

inline int64_t ClampFar(double v)
{
    if (!(v < static_cast<double>(kFar)))  // NaN included: nothing to reach
        return kFar;
    if (v <= -static_cast<double>(kFar))
        return -kFar;
    return static_cast<int64_t>(v);
}

// Division rounding toward minus infinity.
inline int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

struct AxisRuns {
    // Offsets [start[g], start[g + 1]) sample cell g; the last run, from
    // start[cells] to the extent, lies past the grid and is never lit.
    int cells;
    int64_t origin;  // of offset 0, from the pen or the row's top: 0 for a cell
    int64_t start[kMaxCellHeight + 2];

    int64_t extent() const { return start[cells + 1]; }
};

// Characters up to 64 pixels wide keep each glyph row's lit pixels as one
// word, made from a table by each byte of the row (column 8b + c is bit c of
// byte b). Their rows of pixels, up to kNarrowRows, each know the glyph row
// they sample, for a character drawn alone.
constexpr int64_t kNarrow = 64;
constexpr int64_t kNarrowRows = 1024;
constexpr int kLitTables = 8;

struct CellGeometry {
    float size;
    int width, height;  // the font's cell, or its box
    int left, top;      // the box's first glyph column and row, from the pen and the top
    AxisRuns cols, rows;
    bool narrow;
    bool unscaled;   // each glyph column is one pixel
    uint64_t block;  // the character's width in low bits
    // By byte b of a glyph row: bit j is offset j. Tables past the font's
    // width hold only their entry 0, which is 0.
    uint64_t litOffsets[kLitTables][256];
    uint8_t rowOfPixel[kNarrowRows];  // the glyph row each row of pixels samples
};

// A glyph row's lit pixels in a narrow character. Row is the integer the
// font keeps a glyph row in; at size 1 the row itself is its pixels.
template <bool Scaled, class Row>
inline uint64_t LitPixels(const CellGeometry &g, Row row)
{
    if (!Scaled)
        return row;
    uint64_t lit = 0;
    GLYPHAR_UNROLL(8)
    for (unsigned b = 0; b < sizeof(Row); ++b)
        lit |= g.litOffsets[b][(static_cast<uint64_t>(row) >> (8 * b)) & 0xFF];
    return lit;
}

// Working out a size costs more than drawing a small character, and a
// program drawing a character grid calls with one size again and again: each
// thread keeps the last geometry, a pure function of the size and the cell.
struct GeometryCache {
    CellGeometry geometry;  // size 0 until the first: no size asks for it
    const CellGeometry *held;
};

void Refill(GeometryCache &cache, float size, int width, int height, int left = 0, int top = 0);

// Only for a positive size: other sizes draw nothing. The geometry is handed
// out through a pointer read from memory, so that callers hold a plain
// pointer: given the thread-local's own address, compilers find it again
// inside their loops, as a call to the runtime.
inline const CellGeometry &GeometryFor(float size, int width, int height, int left = 0,
                                      int top = 0)
{
    thread_local GeometryCache cache{};
    if (cache.geometry.size != size || cache.geometry.width != width ||
        cache.geometry.height != height || cache.geometry.left != left ||
        cache.geometry.top != top)
        Refill(cache, size, width, height, left, top);
    return *cache.held;
}

// The geometry a font's glyphs are drawn with: its cell's, or its box's.
inline const CellGeometry &FaceGeometry(const GlypharFont *font, float size)
{
    if (font == nullptr)
        return GeometryFor(size, kGlyphCols, kGlyphRows);
    if (font->extents == nullptr)
        return GeometryFor(size, font->face.width, font->face.height);
    return GeometryFor(size, font->face.width, font->face.height, font->boxLeft, font->boxTop);
}

}  // namespace glyphar

#endif  // GLYPHAR_GEOMETRY_H
