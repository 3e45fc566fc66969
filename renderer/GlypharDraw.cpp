// Drawing: a text row at a time, only what lies in the clip rectangle. For
// each glyph row, the lit pixels of all the row's cells make a bit row (the
// gather); then every row of pixels is written from the bit row of the
// glyph row it samples (the writers). A single character skips the bit rows:
// each of its rows of pixels looks up its glyph row's lit pixels as it is
// written.

#include "GlypharDraw.h"

#include "GlypharGather.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>
#include <utility>

namespace glyphar {

namespace {

// Draws a row of cells, the first with its top-left pixel at (x, y), each
// row of pixels by Writer. The built-in font at size 1 may have a vector
// gather of its own.
template <class Writer, class Source>
void DrawCellsWith(const Target &t, const CellGeometry &g, const Writer &writer, bool opaque,
                   const Source &glyphs, int64_t count, int64_t pitch, int64_t x, int64_t y,
                   UnscaledGather unscaled)
{
    const int64_t top = std::max(y, t.top);
    const int64_t bottom = std::min(y + g.rows.extent(), t.bottom);
    const int64_t width = g.cols.extent();
    const int64_t left = std::max(x, t.left);
    const int64_t right = std::min(x + (count - 1) * pitch + width, t.right);
    if (top >= bottom || left >= right)
        return;
    // The glyph rows that the rows of pixels shown sample.
    int firstRow = 0, lastRow = g.height;
    while (y + g.rows.start[firstRow + 1] <= top)
        ++firstRow;
    while (y + g.rows.start[lastRow] >= bottom)
        --lastRow;
    // Each row of pixels shows the bit row of the glyph row it samples.
    BitRows bits;
    int64_t height[kMaxCellHeight + 1];
    for (int64_t row = firstRow, from = top; row <= lastRow; ++row) {
        const int64_t end = std::min(y + g.rows.start[row + 1], bottom);
        height[row] = end - from;
        from = end;
    }
    const RowRuns runs{bits.word[0], kRowWords, height, firstRow, lastRow};
    const bool owns = opaque && width > pitch;
    for (int64_t windowLeft = left; windowLeft < right; windowLeft += kWindow) {
        const int64_t window = std::min(kWindow, right - windowLeft);
        const CellRun<Source> run = CellsInSpan(glyphs, count, pitch, x, width, windowLeft, window);
        bool gathered = false;
        if constexpr (std::is_same_v<Source, BuiltinGlyphs>) {
            if (unscaled != nullptr) {
                unscaled(bits.word[0], kRowWords,
                         reinterpret_cast<const uint8_t(*)[kMaskStride]>(glyphs.font),
                         glyphs.cells + run.first, run.last - run.first + 1,
                         run.x + run.first * pitch, window);
                gathered = true;
            }
        }
        if (!gathered)
            GatherWindow(bits, run, window, g, firstRow, lastRow, owns, opaque);
        writer.Rows(PixelAddress(t, windowLeft, top), t.pitch, runs,
                    RowSpan(window, t.bytesPerPixel));
    }
}

template <int Bytes, class Source>
void DrawCellsOf(const Target &t, const CellGeometry &g, const Ink &ink, const Source &glyphs,
                 int64_t count, int64_t pitch, int64_t x, int64_t y, UnscaledGather unscaled)
{
    if (ink.opaque)
        DrawCellsWith(t, g, OpaqueWriter<Bytes>(ink), true, glyphs, count, pitch, x, y, unscaled);
    else
        DrawCellsWith(t, g, StrokeWriter<Bytes>(ink), false, glyphs, count, pitch, x, y,
                      unscaled);
}

// Calls body with the pixel size as a constant (std::integral_constant).
template <class Body>
void WithPixelSize(int bytesPerPixel, const Body &body)
{
    switch (bytesPerPixel) {
    case 1: body(std::integral_constant<int, 1>{}); break;
    case 2: body(std::integral_constant<int, 2>{}); break;
    case 3: body(std::integral_constant<int, 3>{}); break;
    default: body(std::integral_constant<int, 4>{}); break;
    }
}

// The pixel size and the writer are chosen once per text row.
template <class Source>
void DrawCells(const Target &t, const CellGeometry &g, const Ink &ink, const Source &glyphs,
               int64_t count, int64_t pitch, int64_t x, int64_t y,
               UnscaledGather unscaled = nullptr)
{
    WithPixelSize(t.bytesPerPixel, [&](auto bytes) {
        DrawCellsOf<bytes>(t, g, ink, glyphs, count, pitch, x, y, unscaled);
    });
}

// The built-in font's cells side by side at size 1 (text, not a lone
// character) have a vector gather where the writers are vector ones.
UnscaledGather UnscaledGatherFor(const Target &t, const CellGeometry &g, int64_t count,
                                 int64_t pitch)
{
    if (!g.unscaled || pitch != kGlyphCols || count < 2)
        return nullptr;
    const VectorWriters *vector = VectorWritersFor(t.bytesPerPixel);
    return vector != nullptr ? vector->gatherUnscaled : nullptr;
}

// Draws a row of cells in one ink: how text is painted.
struct InkPaint {
    const Ink &ink;

    template <class Source>
    void operator()(const Target &t, const CellGeometry &g, const Source &glyphs, int64_t count,
                    int64_t pitch, int64_t x, int64_t y, UnscaledGather unscaled = nullptr) const
    {
        DrawCells(t, g, ink, glyphs, count, pitch, x, y, unscaled);
    }
};

// Draws a row of cells with a colour per pixel, from lines of pixels that
// start at pixel `left` of the surface's row: how a grid is painted.
struct LinePaint {
    const uint8_t *fg, *bg;  // bg nullptr: transparent
    int64_t left;

    template <class Source>
    void operator()(const Target &t, const CellGeometry &g, const Source &glyphs, int64_t count,
                    int64_t pitch, int64_t x, int64_t y, UnscaledGather unscaled = nullptr) const
    {
        // The writer's lines start where the drawing does.
        const int64_t offset = (std::max(x, t.left) - left) * t.bytesPerPixel;
        const uint8_t *f = fg + offset, *b = bg != nullptr ? bg + offset : nullptr;
        const bool opaque = b != nullptr;
        WithPixelSize(t.bytesPerPixel, [&](auto bytes) {
            DrawCellsWith(t, g, ColouredWriter<bytes>(f, b), opaque, glyphs, count, pitch, x, y,
                          unscaled);
        });
    }
};

// A laid-out row's cells a stretch of up to kRowSlots at a time, left to
// right, so that where blocks overlap the later cell still wins: each
// stretch decoded (UTF-8, or a byte per code point), its characters mapped
// by slotOf, and drawn as a row of its own by draw(slots, count, x, text),
// text where the stretch starts. The
// stretches past the clip rectangle's right edge are not decoded at all,
// those left of it not drawn.
template <class Slot, class SlotOf, class Draw>
void DrawInStretches(const Target &t, const TextRow &row, bool utf8, int64_t pitch,
                     int64_t width, int64_t x, SlotOf slotOf, Draw draw)
{
    Slot slots[kRowSlots];
    const unsigned char *p = row.cells;
    for (int64_t done = 0; done < row.count && x + done * pitch < t.right; done += kRowSlots) {
        const int64_t count = std::min(kRowSlots, row.count - done);
        const unsigned char *start = p;
        for (int64_t k = 0; k < count; ++k) {
            const Utf8Char c = utf8 ? NextChar(p) : Utf8Char{*p, 1};
            slots[k] = slotOf(c.codepoint);
            p += c.length;
        }
        if (x + (done + count - 1) * pitch + width > t.left)
            draw(slots, count, x + done * pitch, start);
    }
}

// Calls body with a value of the integer type a loaded font's glyph rows are.
template <class Body>
void WithRowTypeOf(const GlypharFont &font, const Body &body)
{
    switch (font.face.rowBytes) {
    case 1: body(uint8_t{}); break;
    case 2: body(uint16_t{}); break;
    case 4: body(uint32_t{}); break;
    default: body(uint64_t{}); break;
    }
}

//----------------------------------------------------------------------------
// Shapes (box drawing, blocks, Braille). Those of cells up to 64 x 128
// pixels are drawn at the cell's size into glyphs of a font of their own,
// each distinct one once per thread and cell, and go through the same gather
// and writers as any font's at size 1; larger cells go in tiles of that
// size, each cut to the cell.
//----------------------------------------------------------------------------

constexpr int64_t kTileWidth = kNarrow, kTileHeight = kMaxCellHeight;

// Plain data, zero until first used: a thread-local that needs no
// destructor, so that C programs linking the static library need no C++
// runtime.
struct ShapeFont {
    // Shapes by code point from U+2500 (U+25A0 to U+27FF unused), so that
    // finding one takes no branch.
    static constexpr int kCodePoints = 0x400;
    static constexpr int kPool = 24 * 1024;           // bytes of glyph rows
    // Room for each shape and each shade's parities in cells up to 12 rows
    // tall; in taller ones the font may fill, and is then emptied between
    // two stretches of cells.
    static constexpr int kGlyphs = 0xA0 + 0x100 + 3 * 3;
    static constexpr int kNarrowGlyphs = 256;  // slots the byte gather can name

    ShapeCell cell;
    GeometryCache geometry;  // size 1 of the cell, or of a tile
    int used;
    int64_t stride;                   // bytes a glyph: its rows, then the blank row past them
    uint16_t keyOf[kGlyphs];          // which shape each slot holds
    uint16_t slotOf[kCodePoints][4];  // by parity of the cell's corner (shades); 0: none
    // The glyph rows, padded so that a gather may read 16 bytes anywhere.
    alignas(16) uint8_t glyphs[kPool + 16];
    // The first glyphs again as the built-in font's are, a byte a row and 16
    // bytes a glyph, for its vector gather, where the cell is the built-in
    // font's at size 1.
    alignas(16) uint8_t bytes[kNarrowGlyphs][kMaskStride];

    static int IndexOf(uint32_t codepoint) { return static_cast<int>(codepoint - 0x2500); }

    void Clear()
    {
        for (int k = 0; k < used; ++k)
            std::memset(slotOf[keyOf[k]], 0, sizeof slotOf[0]);
        used = 0;
    }

    // Ready for cells of this size, drawn whole (small) or in tiles of
    // width x height.
    void Use(const ShapeCell &c, int64_t width, int64_t height)
    {
        if (!(cell == c) || stride != (height + 1) * 8) {
            Clear();
            cell = c;
            stride = (height + 1) * 8;
        }
        const CellGeometry &g = geometry.geometry;
        if (g.size != 1 || g.width != width || g.height != height)
            Refill(geometry, 1, static_cast<int>(width), static_cast<int>(height));
    }

    uint64_t *RowsOf(int slot) { return reinterpret_cast<uint64_t *>(glyphs + slot * stride); }

    bool BuiltinSized() const { return cell.width == kGlyphCols && cell.height == kGlyphRows; }

    // The slot of a shape in a cell whose corner is at (x, y); -1 when the
    // font is full.
    GLYPHAR_ALWAYS_INLINE int SlotOf(uint32_t codepoint, int64_t x, int64_t y)
    {
        const int parity = static_cast<int>((x & 1) | (y & 1) << 1) & -int{IsShade(codepoint)};
        const uint16_t entry = slotOf[IndexOf(codepoint)][parity];
        return entry != 0 ? entry - 1 : NewSlot(codepoint, parity, x, y);
    }

    // A shape not drawn yet at this size: its rows made once.
    GLYPHAR_NOINLINE int NewSlot(uint32_t codepoint, int parity, int64_t x, int64_t y)
    {
        uint16_t &entry = slotOf[IndexOf(codepoint)][parity];
        if (used == kGlyphs || (used + 1) * stride > kPool)
            return -1;
        const int slot = used++;
        keyOf[slot] = static_cast<uint16_t>(IndexOf(codepoint));
        uint64_t *rows = RowsOf(slot);
        ShapeRows(codepoint, cell, 0, 0, static_cast<int>(cell.height), x, y, rows);
        rows[cell.height] = 0;
        if (BuiltinSized() && slot < kNarrowGlyphs)
            for (int r = 0; r < kMaskStride; ++r)
                bytes[slot][r] = r < kGlyphRows ? static_cast<uint8_t>(rows[r]) : 0;
        entry = static_cast<uint16_t>(slot + 1);
        return slot;
    }
};

ShapeFont &ThreadShapeFont()
{
    thread_local ShapeFont font;
    return font;
}

using ShapeGlyphs = Glyphs<uint32_t, uint64_t>;

// A large cell's shape, tile by tile, each cut to the cell and the clip.
template <class Paint>
void DrawLargeShape(const Target &t, ShapeFont &shapes, const Paint &paint, uint32_t codepoint,
                    int64_t x, int64_t y)
{
    Target cut = t;
    cut.left = std::max(t.left, x);
    cut.right = std::min(t.right, x + shapes.cell.width);
    cut.top = std::max(t.top, y);
    cut.bottom = std::min(t.bottom, y + shapes.cell.height);
    if (cut.left >= cut.right || cut.top >= cut.bottom)
        return;
    const CellGeometry &g = shapes.geometry.geometry;
    uint64_t *rows = shapes.RowsOf(0);
    const uint32_t slot = 0;
    for (int64_t top = FloorDiv(cut.top - y, kTileHeight) * kTileHeight; y + top < cut.bottom;
         top += kTileHeight) {
        for (int64_t left = FloorDiv(cut.left - x, kTileWidth) * kTileWidth; x + left < cut.right;
             left += kTileWidth) {
            ShapeRows(codepoint, shapes.cell, left, top, static_cast<int>(kTileHeight), x, y, rows);
            rows[kTileHeight] = 0;
            paint(cut, g, ShapeGlyphs{shapes.glyphs, shapes.stride, &slot}, 1, kTileWidth, x + left,
                  y + top);
        }
    }
}

// A row of shape cells, painted by paint.
template <class Paint>
void DrawShapesWith(const Target &t, const ShapeCell &cell, const Paint &paint,
                    const uint32_t *cells, int64_t count, int64_t pitch, int64_t x, int64_t y)
{
    ShapeFont &shapes = ThreadShapeFont();
    if (count <= 0)
        return;
    // Only the cells that reach into the clip rectangle.
    int64_t first = 0, last = count - 1;
    if (count > 1) {
        first = std::max<int64_t>(0, FloorDiv(t.left - cell.width - x, pitch) + 1);
        last = std::min(last, FloorDiv(t.right - 1 - x, pitch));
    }
    if (first > last)
        return;
    if (cell.width > kTileWidth || cell.height > kTileHeight) {
        shapes.Use(cell, kTileWidth, kTileHeight);
        shapes.Clear();  // the tile's rows take the first slot
        for (int64_t i = first; i <= last; ++i)
            DrawLargeShape(t, shapes, paint, cells[i] & ~kShapeCell, x + i * pitch, y);
        return;
    }
    shapes.Use(cell, cell.width, cell.height);
    const CellGeometry &g = shapes.geometry.geometry;
    // The cells [from, to), their slots from `slots` (and, below 256, as
    // bytes in `narrow`).
    uint32_t slots[kRowSlots];
    unsigned char narrow[kRowSlots];
    const auto draw = [&](int64_t from, int64_t to, uint32_t highest) {
        const int64_t shown = to - from;
        const UnscaledGather unscaled = UnscaledGatherFor(t, g, shown, pitch);
        if (shapes.BuiltinSized() && unscaled != nullptr && highest < ShapeFont::kNarrowGlyphs) {
            // The built-in font's cells at size 1: its vector gather.
            paint(t, g, BuiltinGlyphs{&shapes.bytes[0][0], kMaskStride, narrow + from}, shown,
                  pitch, x + from * pitch, y, unscaled);
            return;
        }
        paint(t, g, ShapeGlyphs{shapes.glyphs, shapes.stride, slots + from}, shown, pitch,
              x + from * pitch, y);
    };
    int64_t from = first;
    uint32_t highest = 0;
    // Copies of what the loop reads, which stay in registers: draw() holds
    // the originals by reference.
    const int64_t left = x, top = y, step = pitch;
    for (int64_t i = first; i <= last; ++i) {
        const uint32_t codepoint = cells[i] & ~kShapeCell;
        int slot = shapes.SlotOf(codepoint, left + i * step, top);
        if (slot < 0) {  // the font is full: draw what it holds, then start again
            if (i > from)
                draw(from, i, highest);
            from = i;
            highest = 0;
            shapes.Clear();
            slot = shapes.SlotOf(codepoint, left + i * step, top);
        }
        slots[i] = static_cast<uint32_t>(slot);
        narrow[i] = static_cast<unsigned char>(slot);
        highest = std::max(highest, static_cast<uint32_t>(slot));
    }
    draw(from, last + 1, highest);
}

// Cells that are glyphs, or shapes marked kShapeCell, drawn in runs of one
// kind or the other, left to right: where blocks overlap, the later cell
// still wins. drawGlyphs(glyphs, count, x) draws a run of glyphs.
template <class DrawGlyphs>
void DrawMixedCells(const Target &t, const CellGeometry &g, const Ink &ink, const uint32_t *cells,
                    int64_t count, int64_t pitch, int64_t x, int64_t y, DrawGlyphs drawGlyphs)
{
    uint32_t any = 0;
    for (int64_t k = 0; k < count; ++k)
        any |= cells[k];
    if (!(any & kShapeCell)) {  // text without shapes: one run
        drawGlyphs(cells, count, x);
        return;
    }
    for (int64_t i = 0, end; i < count; i = end) {
        const uint32_t kind = cells[i] & kShapeCell;
        for (end = i + 1; end < count && (cells[end] & kShapeCell) == kind;)
            ++end;
        if (kind != 0)
            DrawShapeCells(t, ShapeCellOf(g), ink, cells + i, end - i, pitch, x + i * pitch, y);
        else
            drawGlyphs(cells + i, end - i, x + i * pitch);
    }
}

//----------------------------------------------------------------------------
// Fonts with advances. A row's glyphs sit at their pens. An opaque row paints
// every glyph's block (trunc-free: ceil(advance * size) wide, the line high)
// and all of the glyphs' ink over the blocks, as the X server's image text
// does: the opaque writer goes over the blocks from bit rows of all the ink,
// and the transparent one over ink outside them. Glyphs go a batch of up to
// kRowSlots at a time; those of one batch whose ink reaches into the next
// are drawn again with it, as ink only, so that its blocks do not cover them.
//----------------------------------------------------------------------------

// The shapes' cell.
ShapeCell AdvanceShapeCell(const GlypharFont &font, float size)
{
    const int line = font.ascent + font.descent;
    return ShapeCellFor(font.cellWidth, line, size,
                        ClampFar(std::ceil(font.cellWidth * static_cast<double>(size))),
                        ClampFar(std::ceil(line * static_cast<double>(size))));
}

// What a batch of placed glyphs covers, kept as they are placed so that
// drawing makes no pass of its own over them: the blocks to paint, the pens
// of the glyphs (not shapes) whose ink shows, the box rows that ink takes,
// and whether any shape is to be drawn.
struct PlacedSummary {
    int64_t spanLeft = INT64_MAX, spanRight = INT64_MIN;
    int64_t penLeft = INT64_MAX, penRight = INT64_MIN;
    int inkFrom = INT_MAX, inkTo = 0;
    bool shapes = false;

    GLYPHAR_ALWAYS_INLINE void Add(const GlypharFont &font, const PlacedGlyph &glyph)
    {
        if (!glyph.inkOnly) {
            spanLeft = std::min(spanLeft, glyph.pen);
            spanRight = std::max(spanRight, glyph.pen + glyph.block);
        }
        if (glyph.shape) {
            shapes = shapes || !glyph.inkOnly;
            return;
        }
        penLeft = std::min(penLeft, glyph.pen);
        penRight = std::max(penRight, glyph.pen);
        const GlyphExtent &extent = font.extents[glyph.glyph];
        inkFrom = std::min<int>(inkFrom, extent.inkFrom);
        inkTo = std::max<int>(inkTo, extent.inkTo);
    }
};

// A window's rows of pixels [from, to) (from the row's top) by one writer:
// those of the inked box rows [inkFrom, inkTo) from their bit rows, the rest
// from the blank row past the box, where the writer paints blank ones at all.
template <class Writer>
void WritePlacedRows(const Target &t, const CellGeometry &g, const Writer &writer, bool blanks,
                     const BitRows &bits, int64_t windowLeft, int64_t window, int64_t y,
                     int64_t from, int64_t to, int inkFrom, int inkTo)
{
    const int64_t boxTop = g.rows.origin + g.rows.start[inkFrom];
    const int64_t boxBottom = g.rows.origin + g.rows.start[inkTo];
    int64_t height[kMaxCellHeight + 1];
    const auto write = [&](int64_t a, int first, int last) {
        writer.Rows(PixelAddress(t, windowLeft, y + a), t.pitch,
                    RowRuns{bits.word[0], kRowWords, height, first, last},
                    RowSpan(window, t.bytesPerPixel));
    };
    const auto blank = [&](int64_t a, int64_t b) {
        if (blanks && a < b) {
            height[g.height] = b - a;
            write(a, g.height, g.height);
        }
    };
    blank(from, std::min(to, boxTop));
    const int64_t a = std::max(from, boxTop), b = std::min(to, boxBottom);
    if (a < b) {
        const int64_t origin = g.rows.origin;
        int first = inkFrom, last = inkTo - 1;
        while (origin + g.rows.start[first + 1] <= a)
            ++first;
        while (origin + g.rows.start[last] >= b)
            --last;
        for (int r = first; r <= last; ++r)
            height[r] = std::min(origin + g.rows.start[r + 1], b) -
                        std::max(origin + g.rows.start[r], a);
        write(a, first, last);
    }
    blank(std::max(from, boxBottom), to);
}

// The glyphs that may reach a window from windowLeft on, windows coming left
// to right: *first (and a run's *pen, its pen) moves past those whose ink
// ends left of it. Placed glyphs end before the first that starts past the
// window; a run goes on, and the gathers stop there.
GatherGlyphs GlyphsReaching(const CellGeometry &g, const GatherGlyphs &glyphs, int *first,
                            int64_t *pen, int64_t windowLeft, int64_t window)
{
    const int64_t inkWidth = g.cols.extent(), count = glyphs.count;
    if (glyphs.placed == nullptr) {
        while (*first < count && *pen + g.cols.origin + inkWidth <= windowLeft)
            *pen += glyphs.extents[glyphs.run[(*first)++]].advance;
        return {nullptr, glyphs.run + *first, glyphs.extents, *pen,
                static_cast<int>(count - *first)};
    }
    const PlacedGlyph *placed = glyphs.placed;
    while (*first < count && placed[*first].pen + g.cols.origin + inkWidth <= windowLeft)
        ++*first;
    int end = *first;
    if (placed[count - 1].pen + g.cols.origin < windowLeft + window)
        end = static_cast<int>(count);  // the last window, most often the only one
    while (end < count && placed[end].pen + g.cols.origin < windowLeft + window)
        ++end;
    return {placed + *first, nullptr, nullptr, 0, end - *first};
}

// Glyphs in pen order, their summary as above.
template <class Row>
void DrawPlacedOf(const Target &t, const CellGeometry &g, const Ink &ink, const GlypharFont &font,
                  const GatherGlyphs &glyphs, const PlacedSummary &summary, int64_t y)
{
    const float size = g.size;
    const int64_t inkWidth = g.cols.extent();
    // What the blocks cover, and what the ink reaches.
    const int64_t spanLeft = ink.opaque ? summary.spanLeft : INT64_MAX;
    const int64_t spanRight = ink.opaque ? summary.spanRight : INT64_MIN;
    const bool inked = summary.penLeft <= summary.penRight;
    const int64_t inkLeft = inked ? summary.penLeft + g.cols.origin : INT64_MAX;
    const int64_t inkRight = inked ? summary.penRight + g.cols.origin + inkWidth : INT64_MIN;
    const int inkFrom = std::min(summary.inkFrom, g.height);  // the box rows any glyph inks
    const int inkTo = std::max(summary.inkTo, inkFrom);
    const int64_t blockHeight =
        ink.opaque ? ClampFar(std::ceil((font.ascent + font.descent) * static_cast<double>(size)))
                   : 0;
    // The rows of pixels that show, from the row's top; the box rows they sample.
    const int64_t boxTop = g.rows.origin + g.rows.start[inkFrom];
    const int64_t boxBottom = g.rows.origin + g.rows.start[inkTo];
    const int64_t top = std::max(std::min<int64_t>(0, boxTop), t.top - y);
    const int64_t bottom = std::min(std::max(blockHeight, boxBottom), t.bottom - y);
    const int64_t left = std::max(std::min(spanLeft, inkLeft), t.left);
    const int64_t right = std::min(std::max(spanRight, inkRight), t.right);
    if (top < bottom && left < right) {
        int firstRow = inkFrom, endRow = inkTo;
        while (firstRow < endRow && g.rows.origin + g.rows.start[firstRow + 1] <= top)
            ++firstRow;
        while (endRow > firstRow && g.rows.origin + g.rows.start[endRow - 1] >= bottom)
            --endRow;
        BitRows bits;
        bits.Clear(g.height);
        // At size 1, rows of one or two bytes have a vector gather where the
        // writers are vector ones.
        const VectorWriters *vector = VectorWritersFor(t.bytesPerPixel);
        const PlacedGather placed = vector != nullptr && g.unscaled && sizeof(Row) <= 2
                                        ? vector->gatherPlaced[sizeof(Row) - 1]
                                        : nullptr;
        // Windows never straddle the blocks' edges: each is inside or outside.
        const int64_t spanFrom = std::clamp(spanLeft, left, right);
        const int64_t cuts[4] = {left, spanFrom, std::clamp(spanRight, spanFrom, right), right};
        int first = 0;
        int64_t pen = glyphs.pen;
        for (int piece = 0; piece < 3; ++piece)
            for (int64_t windowLeft = cuts[piece]; windowLeft < cuts[piece + 1];
                 windowLeft += kWindow) {
                const int64_t window = std::min(kWindow, cuts[piece + 1] - windowLeft);
                const GatherGlyphs reaching =
                    GlyphsReaching(g, glyphs, &first, &pen, windowLeft, window);
                const uint8_t *rows = font.face.glyphs;
                const int64_t stride = font.face.glyphStride;
                if (placed != nullptr)
                    placed(bits.word[0], kRowWords, rows, stride, reaching,
                           g.cols.origin - windowLeft, window, firstRow, endRow);
                else if (reaching.placed == nullptr)  // a run: narrow, at size 1
                    GatherPlaced<Row, false>(bits, rows, stride,
                                             RunSource{reaching.run, reaching.extents,
                                                       reaching.pen},
                                             reaching.count, windowLeft, window, g, firstRow,
                                             endRow);
                else if (!g.narrow)
                    GatherPlacedWide<Row>(bits, rows, stride, reaching.placed, reaching.count,
                                          windowLeft, window, g, firstRow, endRow);
                else if (g.unscaled)
                    GatherPlaced<Row, false>(bits, rows, stride, PlacedSource{reaching.placed},
                                             reaching.count, windowLeft, window, g, firstRow,
                                             endRow);
                else
                    GatherPlaced<Row, true>(bits, rows, stride, PlacedSource{reaching.placed},
                                            reaching.count, windowLeft, window, g, firstRow,
                                            endRow);
                const bool inBlocks = piece == 1;
                WithPixelSize(t.bytesPerPixel, [&](auto bytes) {
                    const StrokeWriter<bytes> stroke(ink);
                    const auto rowsBy = [&](const auto &writer, bool blanks, int64_t a,
                                            int64_t b) {
                        if (a < b)
                            WritePlacedRows(t, g, writer, blanks, bits, windowLeft, window, y, a,
                                            b, firstRow, endRow);
                    };
                    if (!inBlocks) {
                        rowsBy(stroke, false, top, bottom);
                        return;
                    }
                    const int64_t blockTop = std::clamp<int64_t>(0, top, bottom);
                    const int64_t blockBottom = std::clamp(blockHeight, blockTop, bottom);
                    rowsBy(stroke, false, top, blockTop);
                    rowsBy(OpaqueWriter<bytes>(ink), true, blockTop, blockBottom);
                    rowsBy(stroke, false, blockBottom, bottom);
                });
            }
    }
}

void DrawPlaced(const Target &t, const CellGeometry &g, const Ink &ink, const GlypharFont &font,
                const GatherGlyphs &glyphs, const PlacedSummary &summary, int64_t y)
{
    WithRowTypeOf(font, [&](auto row0) {
        DrawPlacedOf<decltype(row0)>(t, g, ink, font, glyphs, summary, y);
    });
    if (!summary.shapes)
        return;
    const ShapeCell shapeCell = AdvanceShapeCell(font, g.size);
    for (int i = 0; i < glyphs.count; ++i) {
        const PlacedGlyph &glyph = glyphs.placed[i];
        if (glyph.shape && !glyph.inkOnly)
            DrawShapeCells(t, shapeCell, ink, &glyph.glyph, 1, 0, glyph.pen, y);
    }
}

GatherGlyphs PlacedRun(const PlacedGlyph *placed, int count)
{
    return {placed, nullptr, nullptr, 0, count};
}

// Where a row's glyphs come from: the layout's record of them, or the text
// decoded again.
struct RecordedGlyphs {
    const uint32_t *at;

    GLYPHAR_ALWAYS_INLINE uint32_t Next() { return *at++; }
};

struct DecodedGlyphs {
    const GlypharFont *font;
    const unsigned char *p;
    bool utf8;

    GLYPHAR_ALWAYS_INLINE uint32_t Next()
    {
        const Utf8Char c = utf8 ? NextChar(p) : Utf8Char{*p, 1};
        p += c.length;
        return IsShape(c.codepoint) ? kShapeGlyph | c.codepoint : GlyphOf(*font, c.codepoint);
    }
};

// A row's glyphs from `glyphs`, its pen first at x, placed a batch at a
// time: those whose block or ink can show between left and right, up to the
// first that starts past right. At size 1 a glyph's block and pitch are its
// advance.
template <bool Unscaled, class Glyphs>
struct RowPlacer {
    const CellGeometry &g;
    const Grid &grid;
    Glyphs glyphs;
    int64_t remaining, pen, left, right;

    bool Done() const
    {
        return remaining == 0 || pen + std::min<int64_t>(0, g.cols.origin) >= right;
    }

    // Up to `room` more glyphs into `out`, added to *summary; how many.
    // Those whose block and ink lie left of the window are passed over;
    // from the first that may show on, every glyph is placed, in a loop
    // whose state stays in registers: the pens' and blocks' reach is
    // worked out from the glyphs placed, in pen order, afterwards.
    GLYPHAR_ALWAYS_INLINE int Place(PlacedGlyph *out, int room, PlacedSummary *summary)
    {
        const GlypharFont &font = *grid.advances;
        const GlyphExtent *extents = font.extents;
        // A shape inks no box row.
        const GlyphExtent shapeExtent{static_cast<uint16_t>(font.cellWidth), UINT8_MAX, 0};
        const int64_t inkReach = g.cols.origin + g.cols.extent();
        const int64_t end = right - std::min<int64_t>(0, g.cols.origin);  // pens past show nothing
        Glyphs source = glyphs;
        int64_t at = pen, unplaced = remaining;
        int count = 0;
        int inkFrom = summary->inkFrom, inkTo = summary->inkTo;
        int64_t spanRight = summary->spanRight;
        bool shapes = false;
        for (; count < room && unplaced > 0 && at < end; --unplaced) {
            uint32_t glyph = source.Next();
            const bool shape = (glyph & kShapeGlyph) != 0;
            glyph &= ~kShapeGlyph;
            const GlyphExtent &extent = shape ? shapeExtent : extents[glyph];
            const int advance = extent.advance;
            const int64_t block = Unscaled ? advance : grid.scale.Block(advance);
            const int64_t step = Unscaled ? advance : grid.scale.Pitch(advance);
            if (count == 0 && at + std::max(block, inkReach) <= left) {
                at += step;
                continue;
            }
            out[count++] = PlacedGlyph{at, block, glyph, shape, false};
            if (!Unscaled)  // at size 1 a block ends where the next pen is
                spanRight = std::max(spanRight, at + block);
            inkFrom = std::min<int>(inkFrom, extent.inkFrom);
            inkTo = std::max<int>(inkTo, extent.inkTo);
            shapes = shapes || shape;
            at += step;
        }
        glyphs = source;
        pen = at;
        remaining = unplaced;
        if (count == 0)
            return 0;
        summary->spanLeft = std::min(summary->spanLeft, out[0].pen);
        summary->spanRight = Unscaled ? std::max(summary->spanRight, at) : spanRight;
        summary->inkFrom = inkFrom;
        summary->inkTo = inkTo;
        summary->shapes = summary->shapes || shapes;
        for (int i = 0; i < count; ++i)
            if (!out[i].shape) {
                summary->penLeft = std::min(summary->penLeft, out[i].pen);
                break;
            }
        for (int i = count - 1; i >= 0; --i)
            if (!out[i].shape) {
                summary->penRight = std::max(summary->penRight, out[i].pen);
                break;
            }
        return count;
    }
};

// Calls use(placer) with a RowPlacer of the row's glyphs: the layout's
// record of them where the row has one, otherwise the text decoded again.
template <class Use>
void WithRowPlacer(const CellGeometry &g, const Grid &grid, const TextRow &row, int64_t x,
                   int64_t left, int64_t right, Use use)
{
    const auto with = [&](auto unscaled, auto glyphs) {
        RowPlacer<decltype(unscaled)::value, decltype(glyphs)> placer{
            g, grid, glyphs, row.count, x, left, right};
        use(placer);
    };
    const bool unscaled = grid.size == 1.0f;
    if (row.glyphs != nullptr && row.count <= kRowSlots) {
        const RecordedGlyphs recorded{row.glyphs};
        unscaled ? with(std::true_type{}, recorded) : with(std::false_type{}, recorded);
        return;
    }
    const DecodedGlyphs decoded{grid.advances, row.cells, (grid.flags & GLYPHAR_UTF8) != 0};
    unscaled ? with(std::true_type{}, decoded) : with(std::false_type{}, decoded);
}

//----------------------------------------------------------------------------
// Character grids: a colour pair per cell. A row goes in chunks of cells of
// one kind (glyphs or shapes) and one background (opaque or transparent),
// each within a window, painted from lines of pixels holding each cell's
// colours where it lies. A lone cell, and a transparent one where blocks
// overlap (a pixel may then show either cell's colour), is drawn as a
// single character.
//----------------------------------------------------------------------------

#if defined(GLYPHAR_SSE2)
// Which of four cells `pitch` pixels apart each 32-bit lane of a line's
// 16-byte store `store` lies in, as a shuffle's immediate.
constexpr int CellsOfLanes(int bytes, int pitch, int store)
{
    int cells = 0;
    for (int lane = 0; lane < 4; ++lane)
        cells |= (4 * store + lane) * 4 / bytes / pitch << 2 * lane;
    return cells;
}
template <int Bytes, int Pitch, size_t Store>
constexpr int kCellsOfLanes = CellsOfLanes(Bytes, Pitch, static_cast<int>(Store));

template <int Bytes, int Pitch, size_t... Store>
void StoreFour(uint8_t *line, __m128i lanes, std::index_sequence<Store...>)
{
    (_mm_storeu_si128(reinterpret_cast<__m128i *>(line + 16 * Store),
                      _mm_shuffle_epi32(lanes, (kCellsOfLanes<Bytes, Pitch, Store>))),
     ...);
}

// A line of cells of 2- or 4-byte pixels at a pitch of 6 or 8 (a 2-byte
// pixel pair never straddles two cells), four cells a step: their colours
// loaded together and each store's lanes picked out by a shuffle. Whole
// fours but the last; returns the cells done.
template <int Bytes, int Pitch>
int64_t SpreadFoursSse2(uint8_t *line, const uint32_t *pixel, int64_t count)
{
    constexpr size_t kStores = 4 * Pitch * Bytes / 16;
    int64_t k = 0;
    for (; k + 4 < count; k += 4, line += 4 * Pitch * Bytes) {
        __m128i lanes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(pixel + k));
        if (Bytes == 2)  // each lane a pair of the pixel
            lanes = _mm_or_si128(_mm_and_si128(lanes, _mm_set1_epi32(0xFFFF)),
                                 _mm_slli_epi32(lanes, 16));
        StoreFour<Bytes, Pitch>(line, lanes, std::make_index_sequence<kStores>{});
    }
    return k;
}

template <int Bytes>
int64_t SpreadFours(uint8_t *line, const uint32_t *pixel, int64_t count, int64_t pitch)
{
    if constexpr (Bytes == 2 || Bytes == 4) {
        if (pitch == 6)
            return SpreadFoursSse2<Bytes, 6>(line, pixel, count);
        if (pitch == 8)
            return SpreadFoursSse2<Bytes, 8>(line, pixel, count);
    }
    return 0;
}
#else
template <int Bytes>
int64_t SpreadFours(uint8_t *, const uint32_t *, int64_t, int64_t)
{
    return 0;
}
#endif

// The lines of a chunk's cells, [left, right) of the surface's row: each
// cell's colours over its block, later cells over earlier ones. Eight pixels
// a store: what a cell writes past its block, the next cell writes over,
// and past the last one nothing is read.
template <int Bytes>
void FillLines(uint8_t *fg, uint8_t *bg, const uint32_t *fgPixel, const uint32_t *bgPixel,
               int64_t count, int64_t pitch, int64_t width, int64_t x, int64_t left, int64_t right)
{
    // Cells cut by the window's edges, and cells wider than eight pixels, in
    // several stores; the others (most) in one a line.
    const auto cell = [&](int64_t k) {
        uint64_t f[Bytes], b[Bytes];
        RepeatEight<Bytes>(fgPixel[k], f);
        RepeatEight<Bytes>(bgPixel[k], b);
        const int64_t to = std::min(x + k * pitch + width, right) - left;
        for (int64_t p = std::max(x + k * pitch, left) - left; p < to; p += 8) {
            std::memcpy(fg + p * Bytes, f, sizeof f);
            if (bg != nullptr)
                std::memcpy(bg + p * Bytes, b, sizeof b);
        }
    };
    int64_t k = 0;
    for (; k < count && x + k * pitch < left; ++k)
        cell(k);
    const VectorWriters *vector = VectorWritersFor(Bytes);
    const CellsLineWriter spread = vector != nullptr ? vector->cellsLine[Bytes - 1] : nullptr;
    if (width <= 8 && pitch <= 8 && spread != nullptr) {
        const int64_t whole = std::min(count, FloorDiv(right - width - x, pitch) + 1);
        if (whole > k) {
            const int64_t at = (x + k * pitch - left) * Bytes;
            spread(fg + at, fgPixel + k, whole - k, pitch);
            if (bg != nullptr)
                spread(bg + at, bgPixel + k, whole - k, pitch);
            k = whole;
        }
    } else if (width <= 8) {
        const int64_t whole = std::min(count, FloorDiv(right - width - x, pitch) + 1);
        if (whole > k) {  // SSE2's spread where it has one
            const int64_t at = (x + k * pitch - left) * Bytes;
            const int64_t done = SpreadFours<Bytes>(fg + at, fgPixel + k, whole - k, pitch);
            if (bg != nullptr)
                SpreadFours<Bytes>(bg + at, bgPixel + k, whole - k, pitch);
            k += done;
        }
        uint8_t *f = fg + (x + k * pitch - left) * Bytes;
        if (bg == nullptr) {
            for (; k < whole; ++k, f += pitch * Bytes) {
                uint64_t eight[Bytes];
                RepeatEight<Bytes>(fgPixel[k], eight);
                std::memcpy(f, eight, sizeof eight);
            }
        } else {
            uint8_t *b = bg + (f - fg);
            for (; k < whole; ++k, f += pitch * Bytes, b += pitch * Bytes) {
                uint64_t eight[Bytes];
                RepeatEight<Bytes>(fgPixel[k], eight);
                std::memcpy(f, eight, sizeof eight);
                RepeatEight<Bytes>(bgPixel[k], eight);
                std::memcpy(b, eight, sizeof eight);
            }
        }
    }
    for (; k < count; ++k)
        cell(k);
}

// Cells of one kind (glyphs or shapes) and one background, their colours
// as stored, within a window.
void DrawGridChunk(const Target &t, const CellGeometry &g, const GlypharFont *font,
                   const GlypharCell *cells, const uint32_t *fgPixel, const uint32_t *bgPixel,
                   const uint8_t *latin1Slots, int64_t count, int64_t pitch, int64_t x, int64_t y)
{
    const bool opaque = cells[0].bg != GLYPHAR_TRANSPARENT;
    if (count == 1) {
        DrawCodePoint(t, g, font, cells[0].codepoint,
                     Ink{fgPixel[0], opaque ? bgPixel[0] : fgPixel[0], opaque}, x, y);
        return;
    }
    const int64_t width = g.cols.extent();
    const int64_t left = std::max(x, t.left);
    const int64_t right = std::min(x + (count - 1) * pitch + width, t.right);
    if (left >= right)
        return;
    // The window's pixels, and room for what the fill writes past them. The
    // lines start where the surface's row does within a cache line, so that
    // a vector writer's loads from them are aligned as its stores are.
    alignas(64) uint8_t fgPixels[(kWindow + 64) * 4], bgPixels[(kWindow + 64) * 4];
    const uintptr_t phase =
        reinterpret_cast<uintptr_t>(PixelAddress(t, left, std::max(y, t.top))) & 63;
    uint8_t *fg = fgPixels + phase, *bgOrNone = opaque ? bgPixels + phase : nullptr;
    WithPixelSize(t.bytesPerPixel, [&](auto bytes) {
        FillLines<bytes>(fg, bgOrNone, fgPixel, bgPixel, count, pitch, width, x, left, right);
    });
    const LinePaint paint{fg, bgOrNone, left};
    if (IsShape(cells[0].codepoint)) {
        uint32_t codepoints[kRowSlots];
        for (int64_t k = 0; k < count; ++k)
            codepoints[k] = cells[k].codepoint;
        DrawShapesWith(t, ShapeCellOf(g), paint, codepoints, count, pitch, x, y);
    } else if (font != nullptr) {
        uint32_t glyphs[kRowSlots];
        for (int64_t k = 0; k < count; ++k)
            glyphs[k] = GlyphOf(*font, cells[k].codepoint);
        WithRowTypeOf(*font, [&](auto row0) {
            using Row = decltype(row0);
            paint(t, g, Glyphs<uint32_t, Row>{font->face.glyphs, font->face.glyphStride, glyphs},
                  count, pitch, x, y);
        });
    } else {
        // Latin-1 code points are their own slots.
        unsigned char own[kRowSlots];
        const unsigned char *slots = latin1Slots;
        if (slots == nullptr) {
            for (int64_t k = 0; k < count; ++k)
                own[k] = SlotOf(cells[k].codepoint);
            slots = own;
        }
        paint(t, g, BuiltinGlyphs{&WholeFont[0][0], kMaskStride, slots}, count, pitch, x, y,
              UnscaledGatherFor(t, g, count, pitch));
    }
}

// What splits a grid row into chunks: a shape or a glyph, a transparent
// background or an opaque one.
constexpr uint8_t kShapeKind = 1, kTransparentKind = 2;

// What a run of a grid's cells holds, found as they are made ready.
struct CellKinds {
    uint8_t any = 0, all = 0xFF;
    bool latin1 = true;

    void Add(uint8_t kind)
    {
        any |= kind;
        all &= kind;
    }

    uint32_t Summary() const
    {
        return CellsSummary(any & kShapeKind, any & kTransparentKind, all & kShapeKind,
                            all & kTransparentKind, latin1);
    }
};

// How a format's pixels are made from 0xRRGGBB, for the vector code.
ChannelRule RuleOf(const CellColours &colours)
{
    ChannelRule rule;
    for (int c = 0; c < 3; ++c) {
        rule.loss[c] = colours.channels.loss[c];
        rule.shift[c] = colours.channels.shift[c];
    }
    rule.alpha = colours.channels.alpha;
    rule.mask = 0xFFFFFFFFu >> 8 * (4 - colours.t.bytesPerPixel);
    rule.allRight = true;
    for (int c = 0; c < 3; ++c) {
        rule.right[c] = 16 - 8 * c + rule.loss[c] - rule.shift[c];
        rule.keep[c] = (0xFFu >> rule.loss[c] << rule.shift[c]) & rule.mask;
        rule.allRight = rule.allRight && rule.right[c] >= 0;
    }
    return rule;
}

#if defined(GLYPHAR_SSE2)
// Lanes of `x` below `n`, as unsigned numbers: all ones where so. (SSE2
// compares signed ones: both sides are moved down by 2^31.)
inline __m128i Below128(__m128i x, uint32_t n)
{
    const __m128i flip = _mm_set1_epi32(INT32_MIN);
    return _mm_cmplt_epi32(_mm_xor_si128(x, flip),
                           _mm_xor_si128(_mm_set1_epi32(static_cast<int>(n)), flip));
}

// Four 0xRRGGBB colours as pixels of the rule's format: where every channel
// moves right, by its moves (see ChannelRule).
template <bool AllRight>
inline __m128i MapChannels128(__m128i rgb, const ChannelRule &rule)
{
    if (AllRight) {
        __m128i value = _mm_set1_epi32(static_cast<int>(rule.alpha & rule.mask));
        for (int c = 0; c < 3; ++c)
            value = _mm_or_si128(value,
                                 _mm_and_si128(_mm_srl_epi32(rgb, _mm_cvtsi32_si128(rule.right[c])),
                                               _mm_set1_epi32(static_cast<int>(rule.keep[c]))));
        return value;
    }
    const __m128i byteMask = _mm_set1_epi32(0xFF);
    __m128i value = _mm_set1_epi32(static_cast<int>(rule.alpha));
    for (int c = 0; c < 3; ++c) {
        __m128i channel = _mm_and_si128(_mm_srli_epi32(rgb, 16 - 8 * c), byteMask);
        channel = _mm_srl_epi32(channel, _mm_cvtsi32_si128(rule.loss[c]));
        value = _mm_or_si128(value, _mm_sll_epi32(channel, _mm_cvtsi32_si128(rule.shift[c])));
    }
    return _mm_and_si128(value, _mm_set1_epi32(static_cast<int>(rule.mask)));
}

// The low bytes of four lanes, as four bytes.
inline uint32_t LowBytes128(__m128i lanes)
{
    const __m128i low = _mm_and_si128(lanes, _mm_set1_epi32(0xFF));
    const __m128i halves = _mm_packs_epi32(low, low);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(halves, halves)));
}

// Four of a run's three-word cells: three loads, split into code points,
// fg and bg by shuffles.
struct FourCells {
    __m128i codepoint, fg, bg;

    explicit FourCells(const GlypharCell *cells)
    {
        static_assert(sizeof(GlypharCell) == 12, "three words a cell");
        const auto *words = reinterpret_cast<const float *>(cells);
        // a: cp0 fg0 bg0 cp1, b: fg1 bg1 cp2 fg2, c: bg2 cp3 fg3 bg3
        const __m128 a = _mm_loadu_ps(words), b = _mm_loadu_ps(words + 4),
                     c = _mm_loadu_ps(words + 8);
        codepoint = Words(_mm_shuffle_ps(a, _mm_shuffle_ps(b, c, _MM_SHUFFLE(1, 1, 2, 2)),
                                         _MM_SHUFFLE(2, 0, 3, 0)));
        fg = Words(_mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(0, 0, 1, 1)),
                                  _mm_shuffle_ps(b, c, _MM_SHUFFLE(2, 2, 3, 3)),
                                  _MM_SHUFFLE(2, 0, 2, 0)));
        bg = Words(_mm_shuffle_ps(_mm_shuffle_ps(a, b, _MM_SHUFFLE(1, 1, 2, 2)),
                                  _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 0, 0)),
                                  _MM_SHUFFLE(2, 0, 2, 0)));
    }

    static __m128i Words(__m128 v) { return _mm_castps_si128(v); }
};

// Cells [0, whole), whole a multiple of four, made ready four at a time,
// as the vector writers' gridCells makes them. What the cells are together
// is gathered in lanes, and told once at the end.
template <bool AllRight>
void PrepareFoursOf(const GlypharCell *cells, int64_t whole, const ChannelRule &rule,
                    uint32_t *fg, uint32_t *bg, uint8_t *kind, uint8_t *low, CellKinds &found)
{
    __m128i any = _mm_setzero_si128(), all = _mm_set1_epi32(-1), latin1 = all;
    for (int64_t k = 0; k < whole; k += 4) {
        const FourCells four(cells + k);
        const __m128i cp = four.codepoint;
        const __m128i shape =
            _mm_or_si128(Below128(_mm_sub_epi32(cp, _mm_set1_epi32(0x2500)), 0xA0),
                         Below128(_mm_sub_epi32(cp, _mm_set1_epi32(0x2800)), 0x100));
        const __m128i transparent = _mm_cmpeq_epi32(four.bg, _mm_set1_epi32(-1));
        const __m128i kinds =
            _mm_or_si128(_mm_and_si128(shape, _mm_set1_epi32(kShapeKind)),
                         _mm_and_si128(transparent, _mm_set1_epi32(kTransparentKind)));
        any = _mm_or_si128(any, kinds);
        all = _mm_and_si128(all, kinds);
        const __m128i c1Control = Below128(_mm_sub_epi32(cp, _mm_set1_epi32(0x80)), 0x20);
        latin1 = _mm_and_si128(latin1, _mm_andnot_si128(c1Control, Below128(cp, 0x100)));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(fg + k),
                         MapChannels128<AllRight>(four.fg, rule));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(bg + k),
                         MapChannels128<AllRight>(four.bg, rule));
        const uint32_t kindBytes = LowBytes128(kinds), lowBytes = LowBytes128(cp);
        std::memcpy(kind + k, &kindBytes, 4);
        std::memcpy(low + k, &lowBytes, 4);
    }
    const uint32_t anyBytes = LowBytes128(any), allBytes = LowBytes128(all);
    found.any |= static_cast<uint8_t>(anyBytes | anyBytes >> 8 | anyBytes >> 16 | anyBytes >> 24);
    found.all &= static_cast<uint8_t>(allBytes & allBytes >> 8 & allBytes >> 16 & allBytes >> 24);
    found.latin1 = found.latin1 && _mm_movemask_ps(_mm_castsi128_ps(latin1)) == 0xF;
}

void PrepareFoursSse2(const GlypharCell *cells, int64_t whole, const ChannelRule &rule,
                      uint32_t *fg, uint32_t *bg, uint8_t *kind, uint8_t *low, CellKinds &found)
{
    if (rule.allRight)
        PrepareFoursOf<true>(cells, whole, rule, fg, bg, kind, low, found);
    else
        PrepareFoursOf<false>(cells, whole, rule, fg, bg, kind, low, found);
}
#endif

// A run of a grid's cells made ready for drawing (see GridCellsWriter): by
// the vector writers where they have a way and the format has no palette,
// otherwise here (four at a time in SSE2 registers where the CPU has them),
// the rest by tables.
uint32_t PrepareCells(const GlypharCell *cells, int64_t count, CellColours &colours, uint32_t *fg,
                      uint32_t *bg, uint8_t *kind, uint8_t *low)
{
    const VectorWriters *vector = VectorWritersFor(colours.t.bytesPerPixel);
    const bool direct = colours.channels.direct && SDL_BYTEORDER == SDL_LIL_ENDIAN;
    if (direct && vector != nullptr && vector->gridCells != nullptr)
        return vector->gridCells(cells, count, RuleOf(colours), fg, bg, kind, low);
    CellKinds found;
    int64_t done = 0;
#if defined(GLYPHAR_SSE2)
    if (direct) {
        done = count - count % 4;
        PrepareFoursSse2(cells, done, RuleOf(colours), fg, bg, kind, low, found);
    }
#endif
    for (int64_t k = done; k < count; ++k) {
        const uint32_t cp = cells[k].codepoint;
        kind[k] = static_cast<uint8_t>(IsShape(cp) |
                                       (cells[k].bg == GLYPHAR_TRANSPARENT ? kTransparentKind : 0));
        low[k] = static_cast<uint8_t>(cp);
        found.latin1 = found.latin1 && cp < 0x100 && !(cp >= 0x80 && cp < 0xA0);
        found.Add(kind[k]);
    }
    if (count - done > 1 && colours.channels.direct && !colours.tabled)
        colours.MakeTables();
    if (colours.tabled) {
        for (int64_t k = done; k < count; ++k) {
            fg[k] = colours.Tabled(cells[k].fg);
            bg[k] = colours.Tabled(cells[k].bg);
        }
    } else {
        for (int64_t k = done; k < count; ++k) {
            fg[k] = colours.Map(cells[k].fg);
            bg[k] = kind[k] & kTransparentKind ? 0 : colours.Map(cells[k].bg);
        }
    }
    return found.Summary();
}

// Built-in UTF-8 text with shapes: its cells decoded again, slots for the
// glyphs.
void DrawBuiltinWithShapes(const Target &t, const CellGeometry &g, const Ink &ink,
                           const unsigned char *text, int64_t count, int64_t pitch, int64_t x,
                           int64_t y)
{
    uint32_t cells[kRowSlots];
    for (int64_t k = 0; k < count; ++k) {
        const Utf8Char c = NextChar(text);
        cells[k] = IsShape(c.codepoint) ? c.codepoint | kShapeCell : SlotOf(c.codepoint);
        text += c.length;
    }
    DrawMixedCells(t, g, ink, cells, count, pitch, x, y,
                   [&](const uint32_t *glyphs, int64_t n, int64_t at) {
                       unsigned char slots[kRowSlots];
                       for (int64_t k = 0; k < n; ++k)
                           slots[k] = static_cast<unsigned char>(glyphs[k]);
                       DrawBuiltinCells(t, g, ink, WholeFont, slots, n, pitch, at, y);
                   });
}

template <class Row>
void DrawFontRowOf(const Target &t, const CellGeometry &g, const Ink &ink,
                   const GlypharFont &font, const TextRow &row, bool utf8, int64_t pitch,
                   int64_t x, int64_t y)
{
    const auto drawGlyphs = [&](const uint32_t *glyphs, int64_t count, int64_t at) {
        DrawCells(t, g, ink, Glyphs<uint32_t, Row>{font.face.glyphs, font.face.glyphStride, glyphs},
                  count, pitch, at, y);
    };
    DrawInStretches<uint32_t>(
        t, row, utf8, pitch, g.cols.extent(), x,
        [&font](uint32_t codepoint) {
            return IsShape(codepoint) ? codepoint | kShapeCell : GlyphOf(font, codepoint);
        },
        [&](const uint32_t *cells, int64_t count, int64_t at, const unsigned char *) {
            DrawMixedCells(t, g, ink, cells, count, pitch, at, y, drawGlyphs);
        });
}

template <class Row>
void DrawFontCharacterOf(const Target &t, const CellGeometry &g, const Ink &ink,
                         const GlypharFont &font, uint32_t glyph, int64_t x, int64_t y)
{
    const Glyphs<uint32_t, Row> glyphs{font.face.glyphs, font.face.glyphStride, &glyph};
    if (!g.narrow) {
        DrawCells(t, g, ink, glyphs, 1, g.cols.extent(), x, y);
        return;
    }
    const Row *rows = glyphs.RowsOf(0);
    uint64_t words[kMaxCellHeight + 1];
    for (int row = 0; row <= g.height; ++row)
        words[row] = g.unscaled ? LitPixels<false>(g, rows[row]) : LitPixels<true>(g, rows[row]);
    DrawNarrowCell(t, g, ink, nullptr, words, x, y);
}

// The columns of a row in a font with advances, its pen first at x, added to
// the area: every glyph's block and the columns its ink can take.
void AddRowReach(TextArea *area, const CellGeometry &g, const Grid &grid, const TextRow &row,
                 int64_t x)
{
    const int64_t reachLeft = std::min<int64_t>(0, g.cols.origin);
    const int64_t inkReach = g.cols.origin + g.cols.extent();
    WithRowPlacer(g, grid, row, x, -kFar, kFar, [&](auto &placer) {
        PlacedGlyph placed[kRowSlots];
        while (!placer.Done()) {
            PlacedSummary summary;
            const int n = placer.Place(placed, kRowSlots, &summary);
            for (int i = 0; i < n; ++i) {
                area->left = std::min(area->left, placed[i].pen + reachLeft);
                area->right =
                    std::max(area->right, placed[i].pen + std::max(placed[i].block, inkReach));
            }
        }
    });
}

}  // namespace

void DrawBuiltinCells(const Target &t, const CellGeometry &g, const Ink &ink,
                      const FontMasks &font, const unsigned char *cells, int64_t count,
                      int64_t pitch, int64_t x, int64_t y)
{
    DrawCells(t, g, ink, BuiltinGlyphs{&font[0][0], kMaskStride, cells}, count, pitch, x, y,
              UnscaledGatherFor(t, g, count, pitch));
}

// A text row from UTF-8: the slots the layout recorded or, for a row too
// long for them, its characters decoded again a stretch at a time.
void DrawBuiltinUtf8Row(const Target &t, const CellGeometry &g, const Ink &ink,
                        const TextRow &row, int64_t pitch, int64_t x, int64_t y)
{
    // Slots for the glyphs; cells of shapes decoded again for their code
    // points.
    const auto draw = [&](const unsigned char *slots, int64_t count, int64_t at,
                          const unsigned char *text) {
        if (std::memchr(slots, kShapeSlot, static_cast<size_t>(count)) == nullptr)
            DrawBuiltinCells(t, g, ink, WholeFont, slots, count, pitch, at, y);
        else
            DrawBuiltinWithShapes(t, g, ink, text, count, pitch, at, y);
    };
    if (row.count <= kRowSlots)
        draw(row.slots, row.count, x, row.cells);
    else
        DrawInStretches<unsigned char>(t, row, true, pitch, g.cols.extent(), x, SlotOf, draw);
}

void DrawFontRow(const Target &t, const CellGeometry &g, const Ink &ink, const GlypharFont &font,
                 const TextRow &row, bool utf8, int64_t pitch, int64_t x, int64_t y)
{
    WithRowTypeOf(font, [&](auto row0) {
        DrawFontRowOf<decltype(row0)>(t, g, ink, font, row, utf8, pitch, x, y);
    });
}

void DrawFontCharacter(const Target &t, const CellGeometry &g, const Ink &ink,
                       const GlypharFont &font, uint32_t glyph, int64_t x, int64_t y)
{
    WithRowTypeOf(font, [&](auto row0) {
        DrawFontCharacterOf<decltype(row0)>(t, g, ink, font, glyph, x, y);
    });
}

// After a full batch is drawn: the glyphs whose ink reaches past its last
// pen, at most half a batch of them, kept to go again as ink only, so that
// the next batch's blocks do not cover them. Returns how many.
int CarryInk(const CellGeometry &g, const GlypharFont &font, PlacedGlyph *placed, int count,
             PlacedSummary *summary)
{
    const int64_t last = placed[count - 1].pen;
    int kept = 0;
    *summary = PlacedSummary{};
    for (int i = count / 2; i < count; ++i)
        if (!placed[i].shape && placed[i].pen + g.cols.origin + g.cols.extent() > last) {
            placed[kept] = placed[i];
            placed[kept].inkOnly = true;
            summary->Add(font, placed[kept++]);
        }
    return kept;
}

// At size 1, a row the layout recorded whole, of glyphs at most a word
// wide and no shapes, goes to the gather as it stands: its pens follow from
// the advances, its blocks make one span, and a pass over its glyphs finds
// the box rows their ink takes. False for any other row.
bool DrawRecordedRun(const Target &t, const CellGeometry &g, const Ink &ink, const Grid &grid,
                     const TextRow &row, int64_t x, int64_t y)
{
    if (!g.unscaled || !g.narrow || row.glyphs == nullptr || row.count > kRowSlots)
        return false;
    const GlypharFont &font = *grid.advances;
    PlacedSummary summary;
    for (int64_t i = 0; i < row.count; ++i) {
        if (row.glyphs[i] & kShapeGlyph)
            return false;
        const GlyphExtent extent = font.extents[row.glyphs[i]];
        summary.inkFrom = std::min<int>(summary.inkFrom, extent.inkFrom);
        summary.inkTo = std::max<int>(summary.inkTo, extent.inkTo);
    }
    // The last pen is at most the row's end, which does as the ink's reach.
    summary.spanLeft = summary.penLeft = x;
    summary.spanRight = summary.penRight = x + row.width;
    const GatherGlyphs run{nullptr, row.glyphs, font.extents, x, static_cast<int>(row.count)};
    DrawPlaced(t, g, ink, font, run, summary, y);
    return true;
}

void DrawAdvanceRow(const Target &t, const CellGeometry &g, const Ink &ink, const Grid &grid,
                    const TextRow &row, int64_t x, int64_t y)
{
    if (DrawRecordedRun(t, g, ink, grid, row, x, y))
        return;
    const GlypharFont &font = *grid.advances;
    WithRowPlacer(g, grid, row, x, t.left, t.right, [&](auto &placer) {
        PlacedGlyph placed[kRowSlots];
        PlacedSummary summary;
        int count = placer.Place(placed, kRowSlots, &summary);
        while (count == kRowSlots && !placer.Done()) {
            DrawPlaced(t, g, ink, font, PlacedRun(placed, count), summary, y);
            count = CarryInk(g, font, placed, count, &summary);
            count += placer.Place(placed + count, kRowSlots - count, &summary);
        }
        if (count > 0)
            DrawPlaced(t, g, ink, font, PlacedRun(placed, count), summary, y);
    });
}

void DrawCodePoint(const Target &t, const CellGeometry &g, const GlypharFont *font,
                   uint32_t codepoint, const Ink &ink, int64_t x, int64_t y)
{
    if (HasAdvances(font)) {
        const bool shape = IsShape(codepoint);
        const uint32_t index = shape ? codepoint : GlyphOf(*font, codepoint);
        const int advance = shape ? font->cellWidth : font->extents[index].advance;
        const PlacedGlyph glyph{x, AdvanceBlock(advance, g.size), index, shape, false};
        PlacedSummary summary;
        summary.Add(*font, glyph);
        DrawPlaced(t, g, ink, *font, PlacedRun(&glyph, 1), summary, y);
        return;
    }
    if (IsShape(codepoint))
        DrawShapeCells(t, ShapeCellOf(g), ink, &codepoint, 1, 0, x, y);
    else if (font == nullptr)
        DrawBuiltinCharacter(t, g, ink, WholeFont, SlotOf(codepoint), x, y);
    else
        DrawFontCharacter(t, g, ink, *font, GlyphOf(*font, codepoint), x, y);
}

void DrawShapeCells(const Target &t, const ShapeCell &cell, const Ink &ink, const uint32_t *cells,
                    int64_t count, int64_t pitch, int64_t x, int64_t y)
{
    DrawShapesWith(t, cell, InkPaint{ink}, cells, count, pitch, x, y);
}

void DrawGridRow(const Target &t, const CellGeometry &g, const GlypharFont *font,
                 const GlypharCell *cells, int64_t first, int64_t last, int64_t pitch, int64_t x,
                 int64_t y, CellColours &colours)
{
    const int64_t width = g.cols.extent();
    if (y >= t.bottom || y + g.rows.extent() <= t.top)
        return;
    first = std::max(first, FloorDiv(t.left - width - x, pitch) + 1);
    last = std::min(last, FloorDiv(t.right - 1 - x, pitch));
    if (first > last)
        return;
    if (first == last) {  // a lone cell, as a grid's update draws most
        const GlypharCell &cell = cells[first];
        const bool opaque = cell.bg != GLYPHAR_TRANSPARENT;
        const uint32_t fg = colours.Map(cell.fg);
        DrawCodePoint(t, g, font, cell.codepoint,
                     Ink{fg, opaque ? colours.Map(cell.bg) : fg, opaque}, x + first * pitch, y);
        return;
    }
    // The cells a window's lines hold; a transparent cell where blocks
    // overlap goes alone.
    const int64_t inWindow =
        width > kWindow ? 1 : std::min((kWindow - width) / pitch + 1, kRowSlots);
    const bool overlap = width > pitch;
    for (int64_t start = first; start <= last; start += inWindow) {
        const int64_t count = std::min(inWindow, last - start + 1);
        const GlypharCell *segment = cells + start;
        // Each cell's colours as stored, and its kind, in one pass.
        uint32_t fg[kRowSlots], bg[kRowSlots];
        uint8_t kind[kRowSlots], low[kRowSlots];
        const uint32_t summary = PrepareCells(segment, count, colours, fg, bg, kind, low);
        const uint8_t *slots = summary & kAllLatin1 ? low : nullptr;
        const bool oneKind = (!(summary & kAnyShape) || (summary & kAllShapes)) &&
                             (!(summary & kAnyTransparent) || (summary & kAllTransparent));
        if (oneKind && !(overlap && (summary & kAnyTransparent))) {
            DrawGridChunk(t, g, font, segment, fg, bg, slots, count, pitch, x + start * pitch, y);
            continue;
        }
        for (int64_t i = 0, end; i < count; i = end) {
            const bool alone = overlap && (kind[i] & kTransparentKind);
            for (end = i + 1; end < count && !alone && kind[end] == kind[i];)
                ++end;
            DrawGridChunk(t, g, font, segment + i, fg + i, bg + i,
                          slots != nullptr ? slots + i : nullptr, end - i, pitch,
                          x + (start + i) * pitch, y);
        }
    }
}

TextArea CharacterReach(const GlypharFont *font, float size)
{
    const CellGeometry &g = FaceGeometry(font, size);
    if (!HasAdvances(font))
        return TextArea{0, 0, g.cols.extent(), g.rows.extent(), true, 0};
    const double s = size;
    return TextArea{std::min<int64_t>(0, g.cols.origin), std::min<int64_t>(0, g.rows.origin),
                    std::max(ClampFar(std::ceil(std::max(font->widest, font->cellWidth) * s)),
                             g.cols.origin + g.cols.extent()),
                    std::max(ClampFar(std::ceil((font->ascent + font->descent) * s)),
                             g.rows.origin + g.rows.extent()),
                    false, 0};
}

TextArea MeasureText(const GlypharFont *font, const char *text, _rect box, float size, int flags)
{
    TextArea area{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN, true, 0};
    const int width = CellWidthOf(font), height = CellHeightOf(font);
    Grid grid;
    if (text == nullptr || !(size > 0) || !MakeGrid(box, size, flags, width, height, &grid, font)) {
        area.covered = false;
        return area;
    }
    if (grid.advances != nullptr) {
        // Every glyph's block and its box of ink; the ink may leave gaps.
        area.covered = false;
        const CellGeometry &g = FaceGeometry(font, size);
        const int64_t blockHeight = ClampFar(std::ceil(height * static_cast<double>(size)));
        const int64_t top = std::min<int64_t>(0, g.rows.origin);
        const int64_t bottom = std::max(blockHeight, g.rows.origin + g.rows.extent());
        area.used = LayOut(reinterpret_cast<const unsigned char *>(text), grid, grid.lastRow,
                           [&](const TextRow &row) {
                               const int64_t x = box.x + row.shift;
                               const int64_t y = box.y + row.index * grid.cellHeight;
                               AddRowReach(&area, g, grid, row, x);
                               area.top = std::min(area.top, y + top);
                               area.bottom = std::max(area.bottom, y + bottom);
                           });
        return area;
    }
    // A cell paints the block the drawing's geometry gives it; blocks are at
    // least a pitch large, so a row's cells, and rows that follow each
    // other, leave no gap. Rows of one start and length cover a rectangle.
    const CellGeometry &g = GeometryFor(size, width, height);
    const int64_t blockWidth = g.cols.extent(), blockHeight = g.rows.extent();
    int64_t lastIndex = -1;
    area.used = LayOut(reinterpret_cast<const unsigned char *>(text), grid, grid.lastRow,
                       [&](const TextRow &row) {
                           const int64_t x = box.x + row.shift;
                           const int64_t y = box.y + row.index * grid.cellHeight;
                           const int64_t right = x + (row.count - 1) * grid.cellWidth + blockWidth;
                           if (lastIndex >= 0 && (row.index != lastIndex + 1 ||
                                                  x != area.left || right != area.right))
                               area.covered = false;
                           lastIndex = row.index;
                           area.left = std::min(area.left, x);
                           area.top = std::min(area.top, y);
                           area.right = std::max(area.right, right);
                           area.bottom = std::max(area.bottom, y + blockHeight);
                       });
    area.covered = area.covered && lastIndex >= 0;
    return area;
}

}  // namespace glyphar
