// Drawing: a text row at a time, only what lies in the clip rectangle. For
// each glyph row, the lit pixels of all the row's cells make a bit row (the
// gather); then every row of pixels is written from the bit row of the
// glyph row it samples (the writers). A single character skips the bit rows:
// each of its rows of pixels looks up its glyph row's lit pixels as it is
// written.

#include "GlypharDraw.h"

#include "GlypharGather.h"

#include <algorithm>
#include <type_traits>

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

// The pixel size and the writer are chosen once per text row.
template <class Source>
void DrawCells(const Target &t, const CellGeometry &g, const Ink &ink, const Source &glyphs,
               int64_t count, int64_t pitch, int64_t x, int64_t y,
               UnscaledGather unscaled = nullptr)
{
    switch (t.bytesPerPixel) {
    case 1: DrawCellsOf<1>(t, g, ink, glyphs, count, pitch, x, y, unscaled); break;
    case 2: DrawCellsOf<2>(t, g, ink, glyphs, count, pitch, x, y, unscaled); break;
    case 3: DrawCellsOf<3>(t, g, ink, glyphs, count, pitch, x, y, unscaled); break;
    default: DrawCellsOf<4>(t, g, ink, glyphs, count, pitch, x, y, unscaled); break;
    }
}

// A laid-out row's cells a stretch of up to kRowSlots at a time, left to
// right, so that where blocks overlap the later cell still wins: each
// stretch decoded (UTF-8, or a byte per code point), its characters mapped
// by slotOf, and drawn as a row of its own by draw(slots, count, x). The
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
        for (int64_t k = 0; k < count; ++k) {
            const Utf8Char c = utf8 ? NextChar(p) : Utf8Char{*p, 1};
            slots[k] = slotOf(c.codepoint);
            p += c.length;
        }
        if (x + (done + count - 1) * pitch + width > t.left)
            draw(slots, count, x + done * pitch);
    }
}

// Calls body with a value of the integer type a loaded font's glyph rows are.
template <class Body>
void WithRowTypeOf(const GlypharFont &font, Body body)
{
    switch (font.face.rowBytes) {
    case 1: body(uint8_t{}); break;
    case 2: body(uint16_t{}); break;
    case 4: body(uint32_t{}); break;
    default: body(uint64_t{}); break;
    }
}

template <class Row>
void DrawFontRowOf(const Target &t, const CellGeometry &g, const Ink &ink,
                   const GlypharFont &font, const TextRow &row, bool utf8, int64_t pitch,
                   int64_t x, int64_t y)
{
    DrawInStretches<uint32_t>(
        t, row, utf8, pitch, g.cols.extent(), x,
        [&font](uint32_t codepoint) { return GlyphOf(font, codepoint); },
        [&](const uint32_t *glyphs, int64_t count, int64_t at) {
            DrawCells(t, g, ink,
                      Glyphs<uint32_t, Row>{font.face.glyphs, font.face.glyphStride, glyphs}, count,
                      pitch, at, y);
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

}  // namespace

void DrawBuiltinCells(const Target &t, const CellGeometry &g, const Ink &ink,
                      const FontMasks &font, const unsigned char *cells, int64_t count,
                      int64_t pitch, int64_t x, int64_t y)
{
    // Cells side by side at size 1 (text, not a lone character) have a
    // vector gather where the writers are vector ones.
    UnscaledGather unscaled = nullptr;
    if (g.unscaled && pitch == kGlyphCols && count > 1) {
        const VectorWriters *vector = VectorWritersFor(t.bytesPerPixel);
        unscaled = vector != nullptr ? vector->gatherUnscaled : nullptr;
    }
    DrawCells(t, g, ink, BuiltinGlyphs{&font[0][0], kMaskStride, cells}, count, pitch, x, y,
              unscaled);
}

// A text row from UTF-8: the slots the layout recorded or, for a row too
// long for them, its characters decoded again a stretch at a time.
void DrawBuiltinUtf8Row(const Target &t, const CellGeometry &g, const Ink &ink,
                        const TextRow &row, int64_t pitch, int64_t x, int64_t y)
{
    if (row.count <= kRowSlots) {
        DrawBuiltinCells(t, g, ink, WholeFont, row.slots, row.count, pitch, x, y);
        return;
    }
    DrawInStretches<unsigned char>(
        t, row, true, pitch, g.cols.extent(), x, SlotOf,
        [&](const unsigned char *slots, int64_t count, int64_t at) {
            DrawBuiltinCells(t, g, ink, WholeFont, slots, count, pitch, at, y);
        });
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

}  // namespace glyphar
