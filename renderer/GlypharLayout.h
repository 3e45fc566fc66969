// Text layout, private to the renderer. A row is a run of the text's cells,
// a byte or a UTF-8 character each, placed from the box's left edge (moved
// right by alignment); rows are numbered from the top of the box. Drawing and
// measuring both walk the rows from here, for every font. A cell font's
// cells are all one pitch apart; a font with advances of its own moves the
// pen by each glyph's, and a glyph stays on a row while its pen lies within
// the box's width, which for cells is the same rule.
#ifndef GLYPHAR_LAYOUT_H
#define GLYPHAR_LAYOUT_H

#include "Glyphar.h"
#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharShapes.h"
#include "GlypharUtf8.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace glyphar {

// The cell pitch trunc(factor * size), or 0 where it cannot space cells (a
// size too small, NaN or infinite): the bounds would divide by it.
inline int64_t CellPitch(double factor, float size)
{
    const double pitch = std::trunc(factor * size);
    if (!std::isfinite(pitch))
        return 0;
    return ClampFar(pitch);
}

// How far a glyph's advance moves the pen at a size, trunc(advance * size),
// and how wide its block is, ceil(advance * size); the small advances' worked
// out once a call.
inline int64_t AdvancePitch(int advance, float size)
{
    return ClampFar(std::trunc(advance * static_cast<double>(size)));
}

inline int64_t AdvanceBlock(int advance, float size)
{
    return ClampFar(std::ceil(advance * static_cast<double>(size)));
}

constexpr int kScaledAdvances = 64;

struct AdvanceScale {
    float size;
    int64_t pitch[kScaledAdvances], block[kScaledAdvances];

    void Fill(float s)
    {
        size = s;
        for (int a = 0; a < kScaledAdvances; ++a) {
            pitch[a] = AdvancePitch(a, s);
            block[a] = AdvanceBlock(a, s);
        }
    }

    int64_t Pitch(int advance) const
    {
        return advance < kScaledAdvances ? pitch[advance] : AdvancePitch(advance, size);
    }

    int64_t Block(int advance) const
    {
        return advance < kScaledAdvances ? block[advance] : AdvanceBlock(advance, size);
    }
};

struct Grid {
    int64_t cellWidth, cellHeight;
    int64_t columns;  // cells a row holds: lastCol + 1, 0 or less for a negative width
    int64_t lastRow;
    int64_t boxWidth;
    int flags;
    const GlypharFont *advances;  // a font with advances of its own, or nullptr
    float size;
    AdvanceScale scale;  // for a font with advances
};

// False where the size cannot space cells.
inline bool MakeGrid(_rect box, float size, int flags, int cellWidth, int cellHeight, Grid *grid,
                     const GlypharFont *font = nullptr)
{
    grid->advances = HasAdvances(font) ? font : nullptr;
    grid->size = size;
    if (grid->advances != nullptr)
        grid->scale.Fill(size);
    grid->cellWidth = CellPitch(cellWidth, size);
    grid->cellHeight = CellPitch(cellHeight, size);
    // A font with advances only needs its rows apart.
    if ((grid->cellWidth == 0 && grid->advances == nullptr) || grid->cellHeight == 0)
        return false;
    grid->columns = grid->cellWidth > 0 ? box.w / grid->cellWidth + 1 : 0;
    grid->lastRow = box.h / grid->cellHeight;
    grid->boxWidth = box.w;
    grid->flags =
        flags & (GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER | GLYPHAR_ALIGN_RIGHT | GLYPHAR_UTF8);
    return true;
}

// A recorded glyph of a font with advances that is one of glyphar's shapes:
// its code point with this bit set.
constexpr uint32_t kShapeGlyph = 0x80000000u;

struct TextRow {
    const unsigned char *cells;  // where the first cell's byte or character starts
    const unsigned char *slots;  // the built-in font's slots of UTF-8 cells, or nullptr
    const uint32_t *glyphs;      // a font with advances: its first kRowSlots glyphs, or nullptr
    int64_t count;               // cells, at least 1
    int64_t index;  // 0 is the box's top row
    int64_t shift;  // pixels moved right by alignment
    int64_t width;  // the pen's move past all of the row's cells
};

inline int64_t AlignmentShift(const Grid &grid, int64_t width)
{
    const int64_t room = grid.boxWidth - width;
    if (grid.flags & GLYPHAR_ALIGN_CENTER)
        return std::max<int64_t>(0, room / 2);
    if (grid.flags & GLYPHAR_ALIGN_RIGHT)
        return std::max<int64_t>(0, room);
    return 0;
}

// The row being filled. used counts its cells and pen is where the next
// one goes; inked and inkedPen the same up to its last cell that is drawn
// (trailing spaces of a wrapped row take no width).
template <class EmitRow>
struct RowBuilder {
    const Grid &grid;
    int64_t rowLimit;  // the last row index the caller wants
    EmitRow &emit;
    const unsigned char *start;
    const unsigned char *slots;  // the cells' slots, where the layout records them
    const uint32_t *glyphs;      // the cells' glyphs, where the layout records them
    int64_t index = 0, used = 0, inked = 0, pen = 0, inkedPen = 0;

    void Flush()
    {
        if (inked > 0)
            emit(TextRow{start, slots, glyphs, inked, index, AlignmentShift(grid, inkedPen),
                         inkedPen});
    }

    // Ends the row and starts the next at next; false when no row is left.
    bool Break(const unsigned char *next)
    {
        Flush();
        if (index + 1 > rowLimit)
            return false;
        ++index;
        used = inked = pen = inkedPen = 0;
        start = next;
        return true;
    }
};

// What one cell takes of the text: a byte, or a UTF-8 character. Newlines,
// spaces and the NUL are single bytes either way, and no UTF-8 character
// contains one, so the layout can test a cell's first byte for them. Measure
// tells a cell's bytes and pitch; Take places a cell, and TakeRun as many as
// the row holds, stopping before a NUL or a newline (a row begun because the
// last one was full takes one at least); Fits tells whether the row takes
// another cell, and WordFits a word of `length` cells whose last lies
// `reach` pixels right of its first. For drawing, the UTF-8 layout records
// the slot of each of a row's first kRowSlots cells as it goes, so that each
// character is decoded once.
constexpr int64_t kRowSlots = 512;

struct TakenCells {
    const unsigned char *end;
    int64_t cells, width;
};

struct CellStep {
    int length;
    int64_t pitch;
};

// Cells of one pitch: what a row holds is a count of them.
struct EqualCells {
    template <class Row>
    static int64_t Room(const Row &row, bool forced)
    {
        return (forced ? std::max<int64_t>(row.grid.columns, 1) : row.grid.columns) - row.used;
    }

    template <class Row>
    static bool Fits(const Row &row)
    {
        return row.used < row.grid.columns;
    }

    template <class Row>
    static bool WordFits(const Row &row, int64_t used, int64_t, int64_t length, int64_t)
    {
        return length <= row.grid.columns - used;
    }
};

struct ByteCells : EqualCells {
    static constexpr int64_t kLongRun = 64;  // a row's room from which libc scans
    static constexpr const unsigned char *kSlots = nullptr;
    static constexpr const uint32_t *kGlyphs = nullptr;
    const Grid &grid;

    explicit ByteCells(const Grid &g) : grid(g) {}

    CellStep Measure(const unsigned char *) const { return {1, grid.cellWidth}; }
    CellStep Take(const unsigned char *p, int64_t) const { return Measure(p); }

    template <class Row>
    TakenCells TakeRun(const unsigned char *p, const Row &row, bool forced) const
    {
        const int64_t room = Room(row, forced);
        int64_t n = 0;
        if (room >= kLongRun) {
            // The C library's scans take 16 or more bytes a step: a bounded
            // one for the NUL, then one for a newline before it.
            n = static_cast<int64_t>(strnlen(reinterpret_cast<const char *>(p),
                                             static_cast<size_t>(room)));
            const void *newline = std::memchr(p, '\n', static_cast<size_t>(n));
            if (newline != nullptr)
                n = static_cast<const unsigned char *>(newline) - p;
        } else {
            for (; n < room && p[n] != '\0' && p[n] != '\n'; ++n) {
            }
        }
        return {p + n, n, n * grid.cellWidth};
    }
};

// How many of the 8 bytes from p (all within the text) lead with plain
// ASCII, 0x0B to 0x7F: each its own cell and slot. A byte past the newline
// and below 0x80 is one whose subtraction of 0x0B leaves its top bit clear;
// borrows only reach bytes after the first that fails, which do not count.
inline int AsciiLead8(const unsigned char *p)
{
    uint64_t word;
    std::memcpy(&word, p, 8);
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
    word = __builtin_bswap64(word);  // the first byte lowest, as below
#endif
    const uint64_t high = 0x8080808080808080u;
    const uint64_t fails = (word | ((word - 0x0B0B0B0B0B0B0B0Bu) & ~word)) & high;
    if (fails == 0)
        return 8;
#if defined(__GNUC__)
    return __builtin_ctzll(fails) / 8;
#else
    int lead = 0;
    for (; !(fails >> (8 * lead + 7) & 1); ++lead) {
    }
    return lead;
#endif
}

// A longer row's cells past the last slot are not recorded: drawing decodes
// such a row again.
template <bool Record>
struct Utf8Cells : EqualCells {
    const Grid &grid;
    unsigned char slots[Record ? kRowSlots : 1];
    const unsigned char *const kSlots = Record ? slots : nullptr;
    static constexpr const uint32_t *kGlyphs = nullptr;

    explicit Utf8Cells(const Grid &g) : grid(g) {}

    CellStep Measure(const unsigned char *p) const { return {NextChar(p).length, grid.cellWidth}; }

    CellStep Take(const unsigned char *p, int64_t cell)
    {
        const Utf8Char c = NextChar(p);
        if (Record && cell < kRowSlots)
            slots[cell] = SlotOf(c.codepoint);
        return {c.length, grid.cellWidth};
    }

    template <class Row>
    TakenCells TakeRun(const unsigned char *p, const Row &row, bool forced)
    {
        const int64_t used = row.used, room = Room(row, forced);
        if constexpr (!Record)
            return TakeStretch<false>(p, used, room);
        const int64_t recorded = std::max<int64_t>(std::min(kRowSlots - used, room), 0);
        const TakenCells head = TakeStretch<true>(p, used, recorded);
        if (head.cells < recorded)
            return head;
        const TakenCells tail = TakeStretch<false>(head.end, used + recorded, room - recorded);
        return {tail.end, recorded + tail.cells, (recorded + tail.cells) * grid.cellWidth};
    }

    // Most cells of most text are ASCII, which is its own slot, or one of
    // Latin-1's letters, two bytes led by C3: each goes through on a test or
    // two, and only other characters are decoded in full. One character
    // into slot n; false, with nothing taken, at a NUL or a newline.
    template <bool Store>
    static GLYPHAR_ALWAYS_INLINE bool TakeOne(const unsigned char *&p, unsigned char *slot,
                                              int64_t n)
    {
        const unsigned first = *p;
        if (first - 0x0Bu < 0x80u - 0x0Bu) {  // past the newline, below 0x80
            if (Store)
                slot[n] = static_cast<uint8_t>(first);
            ++p;
        } else if (first == 0xC3 && (p[1] & 0xC0u) == 0x80) {  // U+00C0 to U+00FF
            if (Store)
                slot[n] = static_cast<uint8_t>(p[1] + 0x40);
            p += 2;
        } else if (first == '\0' || first == '\n') {
            return false;
        } else {
            const Utf8Char c = NextChar(p);
            if (Store)
                slot[n] = SlotOf(c.codepoint);
            p += c.length;
        }
        return true;
    }

    // A long stretch that starts with 8 ASCII characters takes its runs of
    // ASCII 8 bytes a step (TakeSteps). Text that starts otherwise, as text
    // with many accents, goes a character at a time: steps would cost it
    // more than they save.
    template <bool Store>
    TakenCells TakeStretch(const unsigned char *p, int64_t used, int64_t room)
    {
        if (room >= ByteCells::kLongRun && strnlen(reinterpret_cast<const char *>(p), 8) == 8 &&
            AsciiLead8(p) == 8)
            return TakeSteps<Store>(p, used, room);
        unsigned char *slot = Store ? slots + used : nullptr;
        int64_t n = 0;
        for (; n < room && TakeOne<Store>(p, slot, n); ++n) {
        }
        return {p, n, n * grid.cellWidth};
    }

    // Steps of 8 bytes, within the bytes known to hold no NUL (the room, in
    // characters, of up to 4 bytes each); a step that meets other bytes
    // takes its ASCII lead, then a character the long way.
    template <bool Store>
    TakenCells TakeSteps(const unsigned char *p, int64_t used, int64_t room)
    {
        unsigned char *slot = Store ? slots + used : nullptr;
        const unsigned char *sure =
            p + strnlen(reinterpret_cast<const char *>(p), static_cast<size_t>(4 * room));
        int64_t n = 0;
        while (n < room) {
            if (p + 8 <= sure && n + 8 <= room) {
                const int lead = AsciiLead8(p);
                if (Store)  // all 8: the slots past the lead are written again
                    std::memcpy(slot + n, p, 8);
                p += lead, n += lead;
                if (lead == 8)
                    continue;
            }
            if (!TakeOne<Store>(p, slot, n))
                break;
            ++n;
        }
        return {p, n, n * grid.cellWidth};
    }
};

// A font with advances of its own: each cell's pitch is its glyph's
// advance, bytes or UTF-8. For drawing, the glyphs of a row's first
// kRowSlots cells are recorded as they are taken, as the built-in font's
// slots are.
template <bool Utf8, bool Record>
struct AdvanceCells {
    static constexpr const unsigned char *kSlots = nullptr;
    const Grid &grid;
    uint32_t glyphs[Record ? kRowSlots : 1];
    const uint32_t *const kGlyphs = Record ? glyphs : nullptr;

    // The map's first page (no shapes there), kept at hand for the bytes
    // and ASCII that most text is.
    const uint32_t *const firstPage;
    const GlyphExtent *const extents;

    explicit AdvanceCells(const Grid &g)
        : grid(g), firstPage(g.advances->pages[g.advances->pageOf[0]]),
          extents(g.advances->extents)
    {
    }

    struct Step {
        int length;
        uint32_t glyph;  // kShapeGlyph with a shape's code point
        int advance;
    };

    GLYPHAR_ALWAYS_INLINE Step Decode(const unsigned char *p) const
    {
        if (!Utf8 || *p < 0x80) {
            const uint32_t glyph = firstPage[*p] & kGlyphIndex;
            return {1, glyph, extents[glyph].advance};
        }
        const Utf8Char c = NextChar(p);
        const GlypharFont &font = *grid.advances;
        if (IsShape(c.codepoint))
            return {c.length, kShapeGlyph | c.codepoint, font.cellWidth};
        const uint32_t glyph = GlyphOf(font, c.codepoint);
        return {c.length, glyph, font.extents[glyph].advance};
    }

    GLYPHAR_ALWAYS_INLINE CellStep Measure(const unsigned char *p) const
    {
        const Step step = Decode(p);
        return {step.length, grid.scale.Pitch(step.advance)};
    }

    GLYPHAR_ALWAYS_INLINE CellStep Take(const unsigned char *p, int64_t cell)
    {
        const Step step = Decode(p);
        if (Record && cell < kRowSlots)
            glyphs[cell] = step.glyph;
        return {step.length, grid.scale.Pitch(step.advance)};
    }

    template <class Row>
    TakenCells TakeRun(const unsigned char *p, const Row &row, bool forced)
    {
        TakenCells run{p, 0, 0};
        while (*run.end != '\0' && *run.end != '\n' &&
               (row.pen + run.width <= grid.boxWidth || (forced && run.cells == 0))) {
            const CellStep step = Take(run.end, row.used + run.cells);
            run.end += step.length;
            run.width += step.pitch;
            ++run.cells;
        }
        return run;
    }

    template <class Row>
    bool Fits(const Row &row) const
    {
        return row.pen <= grid.boxWidth;
    }

    template <class Row>
    bool WordFits(const Row &, int64_t, int64_t pen, int64_t, int64_t reach) const
    {
        return pen + reach <= grid.boxWidth;
    }
};

// Glyphar's own rows: a cell that finds the row full starts the next row,
// where it takes the first cell even when rows hold no cells at all.
template <class Cells, class Builder>
size_t LayOutCells(const unsigned char *text, Cells &cells, Builder &row)
{
    const unsigned char *p = text;
    bool brokenByCell = false;
    for (;;) {
        const TakenCells run = cells.TakeRun(p, row, brokenByCell);
        p = run.end;
        row.used += run.cells;
        row.pen += run.width;
        row.inked = row.used;
        row.inkedPen = row.pen;
        if (*p == '\0') {
            row.Flush();
            return static_cast<size_t>(p - text);
        }
        const bool newline = *p == '\n';
        if (!row.Break(p + newline))
            return static_cast<size_t>(p + newline - text);
        p += newline;
        brokenByCell = !newline;
    }
}

inline bool IsWordCell(unsigned char first)
{
    return first != '\0' && first != ' ' && first != '\n';
}

// Rows broken between words; a word longer than a row is broken as cells.
template <class Cells, class Builder>
size_t LayOutWords(const unsigned char *text, Cells &cells, Builder &row)
{
    const unsigned char *p = text;
    for (;;) {
        if (*p == '\0') {
            row.Flush();
            return static_cast<size_t>(p - text);
        }
        if (*p == '\n') {
            if (!row.Break(p + 1))
                return static_cast<size_t>(p + 1 - text);
            ++p;
            continue;
        }
        if (*p == ' ') {
            if (cells.Fits(row)) {
                const CellStep step = cells.Take(p, row.used);
                p += step.length, ++row.used, row.pen += step.pitch;
                continue;
            }
            const unsigned char *next = p;  // the spaces that end a full row are dropped
            while (*next == ' ')
                ++next;
            if (!row.Break(next))
                return static_cast<size_t>(next - text);
            p = next;
            continue;
        }
        const unsigned char *end = p;
        int64_t length = 0, reach = 0, pitch = 0;
        for (; IsWordCell(*end); ++length) {
            const CellStep step = cells.Measure(end);
            reach += pitch;
            pitch = step.pitch;
            end += step.length;
        }
        if (!cells.WordFits(row, row.used, row.pen, length, reach) &&
            cells.WordFits(row, 0, 0, length, reach) && !row.Break(p))
            return static_cast<size_t>(p - text);
        while (p < end) {
            if (!cells.Fits(row) && !row.Break(p))
                return static_cast<size_t>(p - text);
            const CellStep step = cells.Take(p, row.used);
            p += step.length;
            row.inked = ++row.used;
            row.inkedPen = row.pen += step.pitch;
        }
    }
}

template <class Cells, class EmitRow>
size_t LayOutAs(const unsigned char *text, const Grid &grid, int64_t rowLimit, EmitRow &emit)
{
    Cells cells{grid};
    RowBuilder<EmitRow> row{grid, rowLimit, emit, text, cells.kSlots, cells.kGlyphs};
    // Words wrap in a box that takes a cell a row; a font with advances
    // takes the first glyph of a row in a box of width 0 or more.
    const bool wraps = grid.advances != nullptr ? grid.boxWidth >= 0 : grid.columns >= 1;
    if ((grid.flags & GLYPHAR_WRAP_WORDS) && wraps)
        return LayOutWords(text, cells, row);
    return LayOutCells(text, cells, row);
}

// Lays the text out, calling emit(TextRow) for every row with cells, and
// stops before any row past rowLimit. Returns the bytes used, which never
// end inside a character. Drawing asks for the slots of UTF-8 rows and the
// glyphs of a font with advances.
template <bool Slots = false, class EmitRow>
size_t LayOut(const unsigned char *text, const Grid &grid, int64_t rowLimit, EmitRow emit)
{
    if (grid.advances != nullptr) {
        if (grid.flags & GLYPHAR_UTF8)
            return LayOutAs<AdvanceCells<true, Slots>>(text, grid, rowLimit, emit);
        return LayOutAs<AdvanceCells<false, Slots>>(text, grid, rowLimit, emit);
    }
    if (grid.flags & GLYPHAR_UTF8)
        return LayOutAs<Utf8Cells<Slots>>(text, grid, rowLimit, emit);
    return LayOutAs<ByteCells>(text, grid, rowLimit, emit);
}

}  // namespace glyphar

#endif  // GLYPHAR_LAYOUT_H
