// glyphar's interface: the C functions of Glyphar.h, each checking its
// arguments and handing the work down the pipeline: layout (GlypharLayout.h)
// -> geometry (GlypharGeometry.h) -> gather (GlypharGather.h) -> writers
// (GlypharWrite.h), through drawing (GlypharDraw.cpp), on the surface
// (GlypharSurface.h), in the built-in font or a loaded one
// (GlypharFonts.cpp, GlypharFontLoad.cpp).

#include "Glyphar.h"

#include "GlypharDraw.h"
#include "GlypharFontLoad.h"
#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharLayout.h"
#include "GlypharShapes.h"
#include "GlypharSurface.h"
#include "GlypharWrite.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

using namespace glyphar;

namespace {

// A grid's rows that reach into the clip rectangle, and whether any
// neighbouring blocks overlap.
struct GridPlace {
    const CellGeometry *g;
    int64_t pitchX, pitchY;
    int64_t firstRow, lastRow, firstColumn, lastColumn;
    bool overlap;
};

bool GridFits(int columns, int rows, float size)
{
    return columns >= 1 && rows >= 1 &&
           static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows) <=
               SIZE_MAX / sizeof(GlypharCell) &&
           size > 0;
}

bool PlaceGrid(const Target &t, const GlypharFont *font, int columns, int rows, int x, int y,
               float size, GridPlace *place)
{
    if (!GridFits(columns, rows, size))
        return false;
    place->pitchX = CellPitch(CellWidthOf(font), size);
    place->pitchY = CellPitch(CellHeightOf(font), size);
    if (place->pitchX == 0 || place->pitchY == 0)
        return false;
    place->g = &GeometryFor(size, CellWidthOf(font), CellHeightOf(font));
    const int64_t height = place->g->rows.extent();
    place->firstRow = std::max<int64_t>(0, FloorDiv(t.top - height - y, place->pitchY) + 1);
    place->lastRow = std::min<int64_t>(rows - 1, FloorDiv(t.bottom - 1 - y, place->pitchY));
    const int64_t width = place->g->cols.extent();
    place->firstColumn = std::max<int64_t>(0, FloorDiv(t.left - width - x, place->pitchX) + 1);
    place->lastColumn = std::min<int64_t>(columns - 1, FloorDiv(t.right - 1 - x, place->pitchX));
    place->overlap = width > place->pitchX || height > place->pitchY;
    return place->firstRow <= place->lastRow && place->firstColumn <= place->lastColumn;
}

bool SameCell(const GlypharCell &a, const GlypharCell &b)
{
    return a.codepoint == b.codepoint && a.fg == b.fg && a.bg == b.bg;
}

// Where two runs of bytes first differ, without vectors of our own: the C
// library's memcmp skips equal stretches 128 bytes at a time, words search
// the block that differs.
int64_t FirstDifferencePortable(const uint8_t *a, const uint8_t *b, int64_t bytes)
{
    int64_t k = 0;
    while (k + 128 <= bytes && std::memcmp(a + k, b + k, 128) == 0)
        k += 128;
    for (; k + 8 <= bytes; k += 8) {
        uint64_t x, y;
        std::memcpy(&x, a + k, 8);
        std::memcpy(&y, b + k, 8);
        if (x != y)
            break;
    }
    while (k < bytes && a[k] == b[k])
        ++k;
    return k;
}

// The first cell from `from` on (up to `to`) that differs, or `to`: by the
// vector writers' byte compare where they have one.
int64_t NextChanged(const GlypharCell *now, const GlypharCell *before, int64_t from, int64_t to)
{
    if (from >= to)
        return to;
    const VectorWriters *vector = VectorWritersOf(WriterPathFor(4));
    const auto firstDifference = vector != nullptr && vector->firstDifference != nullptr
                                     ? vector->firstDifference
                                     : FirstDifferencePortable;
    const int64_t at = firstDifference(reinterpret_cast<const uint8_t *>(now + from),
                                       reinterpret_cast<const uint8_t *>(before + from),
                                       (to - from) * static_cast<int64_t>(sizeof *now));
    return from + at / static_cast<int64_t>(sizeof *now);
}

// A grid in a font with advances, a cell at a time as GlypharFontCodePoint
// draws it: a glyph twice a cell's width covers the next cell too, whose code
// point is then ignored. A row with a changed cell is drawn whole.
void DrawAdvanceGrid(const Target &t, const GlypharFont &font, const GlypharCell *cells,
                     const GlypharCell *previous, int columns, int rows, int x, int y,
                     float size)
{
    const CellGeometry &g = FaceGeometry(&font, size);
    const int64_t pitchX = CellPitch(font.cellWidth, size);
    const int64_t pitchY = CellPitch(font.ascent + font.descent, size);
    const int64_t wide = 2 * int64_t{font.cellWidth};
    if (pitchX == 0 || pitchY == 0)
        return;
    // The rows whose blocks or ink reach the clip rectangle.
    const int64_t above = std::max<int64_t>(0, -g.rows.origin);
    const int64_t below = std::max(ClampFar(std::ceil((font.ascent + font.descent) *
                                                      static_cast<double>(size))),
                                   g.rows.origin + g.rows.extent());
    const int64_t firstRow = std::max<int64_t>(0, FloorDiv(t.top - below - y, pitchY) + 1);
    const int64_t lastRow = std::min<int64_t>(rows - 1, FloorDiv(t.bottom - 1 + above - y, pitchY));
    CellColours colours(t);
    for (int64_t r = firstRow; r <= lastRow; ++r) {
        const GlypharCell *row = cells + r * columns;
        if (previous != nullptr &&
            std::memcmp(row, previous + r * columns, sizeof *row * static_cast<size_t>(columns)) == 0)
            continue;
        for (int64_t c = 0; c < columns; ++c) {
            const GlypharCell &cell = row[c];
            const int64_t cellX = x + c * pitchX;
            if (cellX - std::max<int64_t>(0, -g.cols.origin) >= t.right)
                break;
            const bool opaque = cell.bg != GLYPHAR_TRANSPARENT;
            const uint32_t fg = colours.Map(cell.fg);
            DrawCodePoint(t, g, &font, cell.codepoint,
                          Ink{fg, opaque ? colours.Map(cell.bg) : fg, opaque}, cellX,
                          y + r * pitchY);
            if (!IsShape(cell.codepoint) &&
                font.extents[GlyphOf(font, cell.codepoint)].advance == wide)
                ++c;
        }
    }
}

}  // namespace

extern "C" {

void GlypharInit(void)
{
    FillBuiltinFont();
}

void GlypharPoint(SDL_Surface *surface, int x, int y, _color color)
{
    Target t;
    if (!OpenTarget(surface, &t))
        return;
    if (x < t.left || x >= t.right || y < t.top || y >= t.bottom)
        return;
    const uint32_t pixel = MapColor(t, color);
    std::memcpy(PixelAddress(t, x, y), &pixel, static_cast<size_t>(t.bytesPerPixel));
}

void GlypharCarac(SDL_Surface *surface, unsigned char c, int x, int y, float size, _color fg,
                  _color bg)
{
    Target t;
    if (!(size > 0) || !OpenTarget(surface, &t))
        return;
    DrawBuiltinCharacter(t, GeometryFor(size, kGlyphCols, kGlyphRows), MakeInk(t, fg, bg), RowMask,
                         c, x, y);
}

void GlypharFontCodePoint(SDL_Surface *surface, const GlypharFont *font, uint32_t codepoint,
                          int x, int y, float size, _color fg, _color bg)
{
    GlypharInit();
    Target t;
    if (!(size > 0) || !OpenTarget(surface, &t))
        return;
    DrawCodePoint(t, FaceGeometry(font, size), font, codepoint, MakeInk(t, fg, bg), x, y);
}

void GlypharCodePoint(SDL_Surface *surface, uint32_t codepoint, int x, int y, float size,
                      _color fg, _color bg)
{
    GlypharFontCodePoint(surface, nullptr, codepoint, x, y, size, fg, bg);
}

int GlypharFontHasGlyph(const GlypharFont *font, uint32_t codepoint)
{
    if (font == nullptr)
        return BuiltinHasGlyph(codepoint);
    if (IsShape(codepoint))
        return 1;
    return !IsControl(codepoint) && (EntryOf(*font, codepoint) & kOwnGlyph) != 0;
}

int GlypharHasGlyph(uint32_t codepoint)
{
    return GlypharFontHasGlyph(nullptr, codepoint);
}

void GlypharFontDraw(SDL_Surface *surface, const GlypharFont *font, const char *text, _rect box,
                     float size, _color fg, _color bg, int flags)
{
    GlypharInit();
    Target t;
    Grid grid;
    // A negative size lays out cells but draws none of them.
    if (text == nullptr || !(size > 0) ||
        !MakeGrid(box, size, flags, CellWidthOf(font), CellHeightOf(font), &grid, font) ||
        !OpenTarget(surface, &t))
        return;
    const CellGeometry &g = FaceGeometry(font, size);
    // Rows only go down: once one starts below the clip rectangle (and its
    // ink, where a font's reaches above the row), no later character can show.
    const int64_t above = std::max<int64_t>(0, -g.rows.origin);
    const int64_t lastVisibleRow = FloorDiv(t.bottom - 1 + above - box.y, grid.cellHeight);
    if (lastVisibleRow < 0)
        return;
    const Ink ink = MakeInk(t, fg, bg);
    const bool utf8 = (flags & GLYPHAR_UTF8) != 0;
    const auto *bytes = reinterpret_cast<const unsigned char *>(text);
    const int64_t rowLimit = std::min(grid.lastRow, lastVisibleRow);
    const auto place = [&](const TextRow &row, int64_t *x, int64_t *y) {
        *x = box.x + row.shift;
        *y = box.y + row.index * grid.cellHeight;
    };
    if (grid.advances != nullptr) {
        LayOut<true>(bytes, grid, rowLimit, [&](const TextRow &row) {
            int64_t x, y;
            place(row, &x, &y);
            DrawAdvanceRow(t, g, ink, grid, row, x, y);
        });
        return;
    }
    if (font != nullptr) {
        LayOut(bytes, grid, rowLimit, [&](const TextRow &row) {
            int64_t x, y;
            place(row, &x, &y);
            DrawFontRow(t, g, ink, *font, row, utf8, grid.cellWidth, x, y);
        });
        return;
    }
    LayOut<true>(bytes, grid, rowLimit, [&](const TextRow &row) {
        int64_t x, y;
        place(row, &x, &y);
        if (utf8)
            DrawBuiltinUtf8Row(t, g, ink, row, grid.cellWidth, x, y);
        else
            DrawBuiltinCells(t, g, ink, RowMask, row.cells, row.count, grid.cellWidth, x, y);
    });
}

void GlypharEx(SDL_Surface *surface, const char *text, _rect box, float size, _color fg,
               _color bg, int flags)
{
    GlypharFontDraw(surface, nullptr, text, box, size, fg, bg, flags);
}

void Glyphar(SDL_Surface *surface, const char *text, _rect box, float size, _color fg,
             _color bg)
{
    GlypharEx(surface, text, box, size, fg, bg, 0);
}

void GlypharGrid(SDL_Surface *surface, const GlypharFont *font, const GlypharCell *cells,
                 int columns, int rows, int x, int y, float size)
{
    GlypharGridUpdate(surface, font, cells, nullptr, columns, rows, x, y, size);
}

void GlypharGridUpdate(SDL_Surface *surface, const GlypharFont *font, const GlypharCell *cells,
                       const GlypharCell *previous, int columns, int rows, int x, int y, float size)
{
    GlypharInit();
    Target t;
    GridPlace place;
    if (cells == nullptr || !OpenTarget(surface, &t))
        return;
    if (HasAdvances(font)) {
        if (GridFits(columns, rows, size))
            DrawAdvanceGrid(t, *font, cells, previous, columns, rows, x, y, size);
        return;
    }
    if (!PlaceGrid(t, font, columns, rows, x, y, size, &place))
        return;
    CellColours colours(t);
    const auto rowAt = [&](int64_t r) { return cells + r * columns; };
    const auto drawRow = [&](const Target &on, int64_t r, int64_t first, int64_t last) {
        DrawGridRow(on, *place.g, font, rowAt(r), first, last, place.pitchX, x,
                    y + r * place.pitchY, colours);
    };
    for (int64_t r = place.firstRow; r <= place.lastRow; ++r) {
        if (previous == nullptr) {
            drawRow(t, r, place.firstColumn, place.lastColumn);
            continue;
        }
        const GlypharCell *now = rowAt(r), *before = previous + r * columns;
        for (int64_t c = place.firstColumn, end; c <= place.lastColumn; c = end + 1) {
            c = NextChanged(now, before, c, place.lastColumn + 1);
            if (c > place.lastColumn)
                break;
            for (end = c; end + 1 <= place.lastColumn && !SameCell(now[end + 1], before[end + 1]);)
                ++end;
            if (!place.overlap) {
                drawRow(t, r, c, end);
                continue;
            }
            // Where blocks overlap, the changed cells' blocks are drawn anew
            // from every cell that reaches into them, in the grid's order.
            Target cut = t;
            cut.left = std::max(t.left, x + c * place.pitchX);
            cut.right = std::min(t.right, x + end * place.pitchX + place.g->cols.extent());
            cut.top = std::max(t.top, y + r * place.pitchY);
            cut.bottom = std::min(t.bottom, y + r * place.pitchY + place.g->rows.extent());
            if (cut.left >= cut.right || cut.top >= cut.bottom)
                continue;
            for (int64_t n = std::max<int64_t>(0, r - 1); n <= std::min<int64_t>(rows - 1, r + 1);
                 ++n)
                drawRow(cut, n, std::max<int64_t>(0, c - 1),
                        std::min<int64_t>(columns - 1, end + 1));
        }
    }
}

size_t GlypharFontMeasure(const GlypharFont *font, const char *text, _rect box, float size,
                          int flags, _rect *painted)
{
    const TextArea area = MeasureText(font, text, box, size, flags);
    if (painted != nullptr) {
        if (area.left > area.right) {
            *painted = {box.x, box.y, 0, 0};
        } else {
            const auto saturate = [](int64_t v) {
                return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
            };
            *painted = {static_cast<int32_t>(area.left), static_cast<int32_t>(area.top),
                        saturate(area.right - area.left), saturate(area.bottom - area.top)};
        }
    }
    return area.used;
}

size_t GlypharMesure(const char *text, _rect box, float size, int flags, _rect *painted)
{
    return GlypharFontMeasure(nullptr, text, box, size, flags, painted);
}

GlypharFont *GlypharFontLoad(const char *path, char *why, size_t why_size)
{
    return LoadFontFile(path, Reason{why, why_size});
}

GlypharFont *GlypharFontLoadMemory(const void *data, size_t size, char *why, size_t why_size)
{
    return LoadFontMemory(static_cast<const uint8_t *>(data), size, Reason{why, why_size});
}

void GlypharFontFree(GlypharFont *font)
{
    FreeFont(font);
}

GlypharFontMetrics GlypharFontGetMetrics(const GlypharFont *font)
{
    if (font == nullptr)
        return GlypharFontMetrics{kGlyphCols, kGlyphRows, BuiltinGlyphCount()};
    if (HasAdvances(font))
        return GlypharFontMetrics{font->widest, font->ascent + font->descent, font->glyphs};
    return GlypharFontMetrics{font->face.width, font->face.height, font->glyphs};
}

}  // extern "C"
