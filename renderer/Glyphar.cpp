// glyphar: text layout, glyph table, character rasterizer and point plotter.
//
// Sections: the glyph set, the glyph table, surface access, sampling geometry,
// character drawing, text layout.

#include "Glyphar.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

//----------------------------------------------------------------------------
// Glyph set: 73 characters, nine rows of six cells each, row 0 at the top,
// '1' lit. Column 5 stays blank as the gap between characters; rows 7 and 8
// belong to descenders, so the line spacing is part of the cell.
//----------------------------------------------------------------------------

struct GlyphRows {
    unsigned char code;
    const char *rows[9];
};

const GlyphRows kGlyphSet[] = {
    {' ', {"000000", "000000", "000000", "000000", "000000", "000000", "000000", "000000", "000000"}},
    {'(', {"000010", "000100", "001000", "001000", "001000", "000100", "000010", "000000", "000000"}},
    {')', {"100000", "010000", "001000", "001000", "001000", "010000", "100000", "000000", "000000"}},
    {'*', {"000000", "000000", "000000", "010100", "001000", "010100", "000000", "000000", "000000"}},
    {'+', {"000000", "000000", "000000", "001000", "011100", "001000", "000000", "000000", "000000"}},
    {',', {"000000", "000000", "000000", "000000", "000000", "000000", "010000", "010000", "000000"}},
    {'-', {"000000", "000000", "000000", "000000", "011100", "000000", "000000", "000000", "000000"}},
    {'.', {"000000", "000000", "000000", "000000", "000000", "000000", "010000", "000000", "000000"}},
    {'/', {"000100", "000100", "001000", "001000", "001000", "010000", "010000", "000000", "000000"}},
    {'0', {"011100", "100010", "100010", "101010", "100010", "100010", "011100", "000000", "000000"}},
    {'1', {"001000", "011000", "001000", "001000", "001000", "001000", "011100", "000000", "000000"}},
    {'2', {"011100", "100010", "000010", "000100", "001000", "010000", "111110", "000000", "000000"}},
    {'3', {"011100", "100010", "000010", "001100", "000010", "100010", "011100", "000000", "000000"}},
    {'4', {"000100", "001000", "010000", "010000", "100100", "111110", "000100", "000000", "000000"}},
    {'5', {"111110", "100000", "100000", "111100", "000010", "100010", "011100", "000000", "000000"}},
    {'6', {"001100", "010000", "100000", "111100", "100010", "100010", "011100", "000000", "000000"}},
    {'7', {"111110", "000010", "000100", "000100", "001000", "001000", "001000", "000000", "000000"}},
    {'8', {"011100", "100010", "100010", "011100", "100010", "100010", "011100", "000000", "000000"}},
    {'9', {"011100", "100010", "100010", "011110", "000010", "000100", "011000", "000000", "000000"}},
    {':', {"000000", "000000", "000000", "001000", "000000", "000000", "001000", "000000", "000000"}},
    {';', {"000000", "000000", "000000", "100000", "000000", "000000", "100000", "100000", "000000"}},
    {'A', {"001000", "010100", "100010", "100010", "111110", "100010", "100010", "000000", "000000"}},
    {'B', {"111100", "100010", "100010", "111100", "100010", "100010", "111100", "000000", "000000"}},
    {'C', {"011100", "100010", "100000", "100000", "100000", "100010", "011100", "000000", "000000"}},
    {'D', {"111100", "100010", "100010", "100010", "100010", "100010", "111100", "000000", "000000"}},
    {'E', {"111110", "100000", "100000", "111100", "100000", "100000", "111110", "000000", "000000"}},
    {'F', {"111110", "100000", "100000", "111100", "100000", "100000", "100000", "000000", "000000"}},
    {'G', {"011100", "100010", "100000", "100110", "100010", "100010", "011100", "000000", "000000"}},
    {'H', {"100010", "100010", "100010", "111110", "100010", "100010", "100010", "000000", "000000"}},
    {'I', {"011100", "001000", "001000", "001000", "001000", "001000", "011100", "000000", "000000"}},
    {'J', {"000010", "000010", "000010", "000010", "000010", "100010", "011100", "000000", "000000"}},
    {'K', {"100010", "100100", "101000", "110000", "101000", "100100", "100010", "000000", "000000"}},
    {'L', {"100000", "100000", "100000", "100000", "100000", "100000", "111110", "000000", "000000"}},
    {'M', {"100010", "110110", "110110", "101010", "101010", "100010", "100010", "000000", "000000"}},
    {'N', {"100010", "110010", "110010", "101010", "100110", "100110", "100010", "000000", "000000"}},
    {'O', {"011100", "100010", "100010", "100010", "100010", "100010", "011100", "000000", "000000"}},
    {'P', {"111100", "100010", "100010", "111100", "100000", "100000", "100000", "000000", "000000"}},
    {'Q', {"011100", "100010", "100010", "100010", "100010", "100010", "011100", "000110", "000000"}},
    {'R', {"111100", "100010", "100010", "111100", "100010", "100010", "100010", "000000", "000000"}},
    {'S', {"011100", "100010", "100000", "011100", "000010", "100010", "011100", "000000", "000000"}},
    {'T', {"111110", "001000", "001000", "001000", "001000", "001000", "001000", "000000", "000000"}},
    {'U', {"100010", "100010", "100010", "100010", "100010", "100010", "011100", "000000", "000000"}},
    {'V', {"100010", "100010", "100010", "010100", "010100", "001000", "001000", "000000", "000000"}},
    {'W', {"100010", "100010", "100010", "101010", "101010", "010100", "010100", "000000", "000000"}},
    {'X', {"100010", "100010", "010100", "001000", "010100", "100010", "100010", "000000", "000000"}},
    {'Y', {"100010", "100010", "100010", "010100", "001000", "001000", "001000", "000000", "000000"}},
    {'Z', {"111110", "000010", "000100", "001000", "010000", "100000", "111110", "000000", "000000"}},
    {'a', {"000000", "000000", "011100", "000010", "011110", "100010", "011110", "000000", "000000"}},
    {'b', {"100000", "100000", "101100", "110010", "100010", "110010", "101100", "000000", "000000"}},
    {'c', {"000000", "000000", "011100", "100010", "100000", "100010", "011100", "000000", "000000"}},
    {'d', {"000010", "000010", "011010", "100110", "100010", "100110", "011010", "000000", "000000"}},
    {'e', {"000000", "000000", "011100", "100010", "111110", "100000", "011100", "000000", "000000"}},
    {'f', {"001100", "010010", "111000", "010000", "010000", "010000", "010000", "000000", "000000"}},
    {'g', {"000000", "000000", "011010", "100110", "100010", "100110", "011010", "000010", "011100"}},
    {'h', {"100000", "100000", "101100", "110010", "100010", "100010", "100010", "000000", "000000"}},
    {'i', {"001000", "000000", "011000", "001000", "001000", "001000", "011100", "000000", "000000"}},
    {'j', {"001000", "000000", "011000", "001000", "001000", "001000", "001000", "001000", "110000"}},
    {'k', {"100000", "100000", "100010", "100100", "111000", "100100", "100010", "000000", "000000"}},
    {'l', {"011000", "001000", "001000", "001000", "001000", "001000", "011100", "000000", "000000"}},
    {'m', {"000000", "000000", "110100", "101010", "101010", "101010", "101010", "000000", "000000"}},
    {'n', {"000000", "000000", "101100", "110010", "100010", "100010", "100010", "000000", "000000"}},
    {'o', {"000000", "000000", "011100", "100010", "100010", "100010", "011100", "000000", "000000"}},
    {'p', {"000000", "000000", "101100", "110010", "100010", "110010", "101100", "100000", "100000"}},
    {'q', {"000000", "000000", "011010", "100110", "100010", "100110", "011010", "000010", "000010"}},
    {'r', {"000000", "000000", "101100", "110010", "100000", "100000", "100000", "000000", "000000"}},
    {'s', {"000000", "000000", "011110", "100000", "011100", "000010", "111100", "000000", "000000"}},
    {'t', {"001000", "001000", "011100", "001000", "001000", "001000", "000110", "000000", "000000"}},
    {'u', {"000000", "000000", "100010", "100010", "100010", "100110", "011010", "000000", "000000"}},
    {'v', {"000000", "000000", "100010", "100010", "100010", "010100", "001000", "000000", "000000"}},
    {'w', {"000000", "000000", "101010", "101010", "101010", "101010", "010100", "000000", "000000"}},
    {'x', {"000000", "000000", "100010", "010100", "001000", "010100", "100010", "000000", "000000"}},
    {'y', {"000000", "000000", "100010", "100010", "100010", "010100", "001000", "001000", "110000"}},
    {'z', {"000000", "000000", "111110", "000100", "001000", "010000", "111110", "000000", "000000"}},
};

//----------------------------------------------------------------------------
// Glyph table: one entry per byte value, nine NUL-terminated row strings of
// six cells. Entries the set leaves out stay zero and draw blank, because only
// a '1' byte is lit.
//----------------------------------------------------------------------------

constexpr int kGlyphCols = 6;
constexpr int kGlyphRows = 9;

char TableCar[256][kGlyphRows][kGlyphCols + 1];
int init = 0;

// The lit cells of each table row as bits, cell 0 lowest, filled with the
// table: drawing reads a row's six cells with one load instead of six.
uint8_t RowMask[256][kGlyphRows + 1];  // row 9, past the grid, stays blank

uint8_t MaskOf(const char *cells)
{
    uint8_t mask = 0;
    for (int col = 0; col < kGlyphCols; ++col)
        mask |= static_cast<uint8_t>(cells[col] == '1') << col;
    return mask;
}

//----------------------------------------------------------------------------
// Surface access. Everything the drawing needs from an SDL_Surface, checked
// once: a surface that cannot be written safely yields nothing to draw on.
//----------------------------------------------------------------------------

struct Target {
    Uint16 *pixels;
    const SDL_PixelFormat *format;
    int64_t width;   // pixels per row that lie inside both w and the pitch
    int64_t height;
    int64_t stride;  // pitch in 16-bit units
};

bool OpenTarget(SDL_Surface *surface, Target *target)
{
    if (surface == nullptr || surface->pixels == nullptr || surface->format == nullptr)
        return false;
    if (surface->format->BitsPerPixel != 16)
        return false;
    if (reinterpret_cast<std::uintptr_t>(surface->pixels) % alignof(Uint16) != 0)
        return false;
    target->pixels = static_cast<Uint16 *>(surface->pixels);
    target->format = surface->format;
    target->stride = surface->pitch / 2;
    // A malformed surface whose w exceeds its pitch would write into the next
    // row and finally past the buffer; the pitch is the real row length.
    target->width = std::min<int64_t>(surface->w, target->stride);
    target->height = surface->h;
    return target->width > 0 && target->height > 0;
}

bool IsTransparent(_color c)
{
    return c.r == -1 || c.g == -1 || c.b == -1;
}

// The one place a pixel is written: a fresh SDL_MapRGB for every point, as
// the surface's format may map colours in any way it likes. Only the low 8
// bits of each component reach it.
inline void StorePixel(Uint16 *pixel, const SDL_PixelFormat *format, int32_t r, int32_t g,
                       int32_t b)
{
    const Uint32 value = SDL_MapRGB(format, static_cast<Uint8>(r & 0xFF),
                                    static_cast<Uint8>(g & 0xFF), static_cast<Uint8>(b & 0xFF));
    *pixel = static_cast<Uint16>(value & 0xFFFF);
}

//----------------------------------------------------------------------------
// Sampling geometry. Pixel offset k of a character samples glyph cell
// trunc(k / size) and exists while k < extent * size. Both depend on the size
// alone, so each axis is described once as runs of offsets that sample the
// same cell; the per-pixel divisions then never happen in the drawing loops.
//----------------------------------------------------------------------------

// Beyond any surface: SDL 1.2 pitches are 16-bit, and positions come from
// 32-bit integers, so nothing visible lies this far out.
constexpr int64_t kFar = int64_t{1} << 40;

int64_t ClampFar(double v)
{
    if (!(v < static_cast<double>(kFar)))  // NaN included: nothing to reach
        return kFar;
    if (v <= -static_cast<double>(kFar))
        return -kFar;
    return static_cast<int64_t>(v);
}

// The first offset k >= 0 with k / size >= cell. Division by a fixed divisor
// is monotonic, so the rounded guess is corrected by stepping with the very
// same division the per-pixel rule would use.
int64_t FirstOffsetOfCell(int cell, double size)
{
    if (cell == 0)
        return 0;  // 0 * size is NaN for an infinite size
    int64_t k = ClampFar(std::ceil(cell * size));
    if (k >= kFar)
        return kFar;
    while (k > 0 && static_cast<double>(k - 1) / size >= cell)
        --k;
    while (static_cast<double>(k) / size < cell)
        ++k;
    return k;
}

template <int Cells>
struct AxisRuns {
    // Offsets [start[g], start[g + 1]) sample cell g; the last run, from
    // start[Cells] to the extent, lies past the grid.
    int64_t start[Cells + 2];
};

template <int Cells>
AxisRuns<Cells> MakeAxisRuns(double size)
{
    AxisRuns<Cells> runs;
    const int64_t extent = ClampFar(std::ceil(Cells * size));  // offsets k < Cells * size
    for (int g = 0; g <= Cells; ++g)
        runs.start[g] = std::min(FirstOffsetOfCell(g, size), extent);
    runs.start[Cells + 1] = extent;
    return runs;
}

// Characters up to 64 pixels wide and high (sizes up to 7) are drawn from
// two tables instead: the glyph row that each pixel row samples, and, for
// each of the 64 patterns a glyph row's six cells can make, the pixel offsets
// that sample a lit cell, as the bits of one word. A pixel row's colours are
// then two loads away, with no loop over cells.
constexpr int64_t kNarrow = 64;

struct CellGeometry {
    AxisRuns<kGlyphCols> cols;
    AxisRuns<kGlyphRows> rows;
    bool narrow;
    // Opaque characters whose cells are all at least two pixels wide are
    // faster drawn run by run, each run in one colour.
    bool opaqueByRuns;
    int64_t width, height;                 // the character's pixels
    uint8_t rowOf[kNarrow];                // glyph row 9 lies past the grid
    uint64_t litOffsets[1 << kGlyphCols];  // by row mask; bit j is offset j
};

// Only for a positive size: other sizes draw nothing.
CellGeometry MakeCellGeometry(float size)
{
    CellGeometry g{MakeAxisRuns<kGlyphCols>(size), MakeAxisRuns<kGlyphRows>(size), false, true,
                   0, 0, {}, {}};
    g.width = g.cols.start[kGlyphCols + 1];
    g.height = g.rows.start[kGlyphRows + 1];
    g.narrow = g.width <= kNarrow && g.height <= kNarrow;
    if (!g.narrow)
        return g;
    for (int col = 0; col < kGlyphCols; ++col)
        g.opaqueByRuns &= g.cols.start[col + 1] - g.cols.start[col] >= 2;
    for (int row = 0; row <= kGlyphRows; ++row)
        for (int64_t i = g.rows.start[row]; i < g.rows.start[row + 1]; ++i)
            g.rowOf[i] = static_cast<uint8_t>(row);
    uint64_t offsetsOfCol[kGlyphCols] = {};
    for (int col = 0; col < kGlyphCols; ++col)
        for (int64_t j = g.cols.start[col]; j < g.cols.start[col + 1]; ++j)
            offsetsOfCol[col] |= uint64_t{1} << j;
    for (unsigned mask = 0; mask < (1u << kGlyphCols); ++mask)
        for (int col = 0; col < kGlyphCols; ++col)
            if ((mask >> col) & 1)
                g.litOffsets[mask] |= offsetsOfCol[col];
    return g;
}

// The runs moved to surface coordinates at origin and clipped to [0, limit).
template <int Cells>
AxisRuns<Cells> PlaceRuns(const AxisRuns<Cells> &runs, int64_t origin, int64_t limit)
{
    AxisRuns<Cells> placed;
    for (int g = 0; g < Cells + 2; ++g)
        placed.start[g] = std::clamp<int64_t>(origin + runs.start[g], 0, limit);
    return placed;
}

//----------------------------------------------------------------------------
// Character drawing.
//----------------------------------------------------------------------------

// What one character draws with, wherever it lands.
struct Brush {
    const SDL_PixelFormat *format;
    // Background and foreground components, indexed by a pixel's lit bit: a
    // pixel's colour is three indexed loads, without a branch.
    Uint8 red[2], green[2], blue[2];
    bool opaque;
};

inline void Paint(Uint16 *pixel, const Brush &brush, unsigned lit)
{
    StorePixel(pixel, brush.format, brush.red[lit], brush.green[lit], brush.blue[lit]);
}

// The part of a narrow character that lies on the surface.
struct Visible {
    int64_t left, right, top, bottom;  // surface coordinates, half-open
    int64_t shift, skip;               // offsets cut off on the left and at the top
};

// Narrow characters, opaque: every visible pixel of a row in turn, its colour
// picked by its bit. The loops' course depends on the size and the clipping
// alone, never on the glyph, so they run without mispredicted branches.
void PaintNarrowOpaque(const Target &t, const Visible &v, const uint8_t *rowOf,
                       const uint64_t bits[kGlyphRows + 1], const Brush &brush)
{
    const int64_t width = v.right - v.left;
    const uint8_t *row = rowOf + v.skip;
    for (int64_t py = v.top; py < v.bottom; ++py, ++row) {
        Uint16 *p = t.pixels + py * t.stride + v.left;
        uint64_t b = bits[*row];
        for (Uint16 *const end = p + width; p < end; ++p, b >>= 1)
            Paint(p, brush, b & 1);
    }
}

// Narrow characters, transparent: the lit pixels only.
void PaintNarrowStrokes(const Target &t, const Visible &v, const uint8_t *rowOf,
                        const uint64_t bits[kGlyphRows + 1], const Brush &brush)
{
    const uint8_t *row = rowOf + v.skip;
    for (int64_t py = v.top; py < v.bottom; ++py, ++row) {
        Uint16 *const p = t.pixels + py * t.stride + v.left;
        for (uint64_t b = bits[*row]; b != 0; b &= b - 1)
            Paint(p + __builtin_ctzll(b), brush, 1);
    }
}

void DrawNarrowGlyph(const Target &t, unsigned char c, int64_t x, int64_t y,
                     const CellGeometry &geometry, const Brush &brush)
{
    Visible v;
    v.left = std::clamp<int64_t>(x, 0, t.width);
    v.right = std::clamp<int64_t>(x + geometry.width, 0, t.width);
    v.top = std::clamp<int64_t>(y, 0, t.height);
    v.bottom = std::clamp<int64_t>(y + geometry.height, 0, t.height);
    if (v.left == v.right || v.top == v.bottom)
        return;
    v.shift = v.left - x;
    v.skip = v.top - y;
    // Bit 0 of each row is the leftmost pixel on the surface; bits past the
    // right edge are cleared, as the strokes loop visits every set bit.
    const int64_t width = v.right - v.left;
    const uint64_t onSurface = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    uint64_t bits[kGlyphRows + 1];
    for (int row = 0; row <= kGlyphRows; ++row)
        bits[row] = geometry.litOffsets[RowMask[c][row]] >> v.shift & onSurface;
    if (brush.opaque)
        PaintNarrowOpaque(t, v, geometry.rowOf, bits, brush);
    else
        PaintNarrowStrokes(t, v, geometry.rowOf, bits, brush);
}

// Wide characters, and opaque ones with long runs: runs of pixels that
// sample the same cell.
void PaintWide(Uint16 *pixels, int64_t stride, const AxisRuns<kGlyphCols> &cols,
               const AxisRuns<kGlyphRows> &rows, unsigned char c, const Brush &brush)
{
    for (int row = 0; row <= kGlyphRows; ++row)
        for (int64_t py = rows.start[row]; py < rows.start[row + 1]; ++py) {
            Uint16 *const line = pixels + py * stride;
            for (int col = 0; col <= kGlyphCols; ++col) {
                const bool lit = (RowMask[c][row] >> col) & 1;
                if (!brush.opaque && !lit)
                    continue;
                for (int64_t px = cols.start[col]; px < cols.start[col + 1]; ++px)
                    Paint(line + px, brush, lit);
            }
        }
}

// Every decision is taken once per character or pixel row, none per pixel:
// the pixel loops only pick a colour, map it and store it.
void DrawGlyph(const Target &t, unsigned char c, int64_t x, int64_t y,
               const CellGeometry &geometry, const Brush &brush)
{
    if (geometry.narrow && !(brush.opaque && geometry.opaqueByRuns)) {
        DrawNarrowGlyph(t, c, x, y, geometry, brush);
        return;
    }
    const AxisRuns<kGlyphCols> cols = PlaceRuns(geometry.cols, x, t.width);
    const AxisRuns<kGlyphRows> rows = PlaceRuns(geometry.rows, y, t.height);
    if (cols.start[0] != cols.start[kGlyphCols + 1])
        PaintWide(t.pixels, t.stride, cols, rows, c, brush);
}

Brush MakeBrush(const Target &t, _color fg, _color bg)
{
    const auto low = [](int32_t v) { return static_cast<Uint8>(v & 0xFF); };
    return {t.format,
            {low(bg.r), low(fg.r)},
            {low(bg.g), low(fg.g)},
            {low(bg.b), low(fg.b)},
            !IsTransparent(bg)};
}

//----------------------------------------------------------------------------
// Text layout.
//----------------------------------------------------------------------------

// The cell pitch trunc(factor * size), or 0 where it cannot space cells (a
// size too small, NaN or infinite): the bounds would divide by it.
int64_t CellPitch(double factor, float size)
{
    const double pitch = std::trunc(factor * size);
    if (!std::isfinite(pitch))
        return 0;
    return ClampFar(pitch);
}

}  // namespace

extern "C" {

void GlypharInit(void)
{
    if (init)
        return;
    for (const GlyphRows &glyph : kGlyphSet)
        for (int row = 0; row < kGlyphRows; ++row)
            std::strcpy(TableCar[glyph.code][row], glyph.rows[row]);
    for (int c = 0; c < 256; ++c)
        for (int row = 0; row < kGlyphRows; ++row)
            RowMask[c][row] = MaskOf(TableCar[c][row]);
    init = 1;
}

void GlypharPoint(SDL_Surface *surface, int x, int y, _color color)
{
    Target t;
    if (!OpenTarget(surface, &t))
        return;
    if (x >= 0 && x < t.width && y >= 0 && y < t.height)
        StorePixel(t.pixels + y * t.stride + x, t.format, color.r, color.g, color.b);
}

void GlypharCarac(SDL_Surface *surface, unsigned char c, int x, int y, float size,
                  _color fg, _color bg)
{
    Target t;
    if (!(size > 0) || !OpenTarget(surface, &t))
        return;
    DrawGlyph(t, c, x, y, MakeCellGeometry(size), MakeBrush(t, fg, bg));
}

void Glyphar(SDL_Surface *surface, const char *text, _rect box, float size, _color fg,
             _color bg)
{
    GlypharInit();
    Target t;
    if (text == nullptr || !OpenTarget(surface, &t))
        return;
    const int64_t cellWidth = CellPitch(6.0, size);
    const int64_t cellHeight = CellPitch(9.0, size);
    if (cellWidth == 0 || cellHeight == 0)
        return;
    // A negative size lays out cells but draws none of them.
    if (!(size > 0))
        return;
    const int64_t lastCol = box.w / cellWidth;
    const int64_t lastRow = box.h / cellHeight;
    const CellGeometry geometry = MakeCellGeometry(size);
    const Brush brush = MakeBrush(t, fg, bg);

    int64_t col = -1;
    int64_t row = 0;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p == '\n') {
            if (row + 1 > lastRow)
                return;
            ++row;
            col = -1;
            continue;
        }
        if (col + 1 > lastCol) {
            if (row + 1 > lastRow)
                return;
            ++row;
            col = 0;
        } else {
            ++col;
        }
        DrawGlyph(t, *p, box.x + col * cellWidth, box.y + row * cellHeight, geometry, brush);
    }
}

}  // extern "C"
