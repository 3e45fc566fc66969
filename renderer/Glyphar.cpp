// glyphar: text layout, glyph table, character rasterizer and point plotter.
//
// One pipeline: the layout turns a text into rows of cells (the only place
// rows are decided, for drawing and measuring alike); the geometry of a size
// says which pixel offsets sample which glyph cell; each visible text row is
// gathered into bit rows, one per glyph row, holding the row's lit pixels;
// and one writer per pixel size stores them, row of pixels by row of pixels.
//
// Sections: the glyph table, UTF-8, surface access, sampling geometry, text
// layout, pixel writers, drawing, the interface. The font's data is in
// GlypharFont.h.

#include "Glyphar.h"
#include "GlypharFont.h"
#include "GlypharWriters.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__) && !defined(GLYPHAR_NO_VECTOR)
#include <immintrin.h>
#endif
#if defined(__aarch64__) && defined(__ARM_NEON) && !defined(__AARCH64EB__) && !defined(GLYPHAR_NO_VECTOR)
#include <arm_neon.h>
#endif
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#include <type_traits>

// Keeps a rarely taken path's frame out of a hot caller.
#if defined(__GNUC__)
#define GLYPHAR_NOINLINE __attribute__((noinline))
#elif defined(_MSC_VER)
#define GLYPHAR_NOINLINE __declspec(noinline)
#else
#define GLYPHAR_NOINLINE
#endif

namespace {

// The index of the lowest set bit of a nonzero word.
inline int LowestBit(uint64_t word)
{
#if defined(__GNUC__)
    return __builtin_ctzll(word);
#elif defined(_MSC_VER) && defined(_WIN64)
    unsigned long at;
    _BitScanForward64(&at, word);
    return static_cast<int>(at);
#else
    int at = 0;
    for (; !(word & 1); word >>= 1)
        ++at;
    return at;
#endif
}

//----------------------------------------------------------------------------
// Glyph table: one entry per byte value, nine NUL-terminated row strings of
// six cells. Entries the set leaves out stay zero and draw blank, because only
// a '1' byte is lit.
//----------------------------------------------------------------------------

using glyphar_font::kExtraGlyphs;
using glyphar_font::kGlyphSet;

constexpr int kGlyphCols = 6;
constexpr int kGlyphRows = 9;

char TableCar[256][kGlyphRows][kGlyphCols + 1];

// A font as drawing reads it: for each of 256 entries, the lit cells of each
// glyph row as bits, cell 0 lowest, so that a row's six cells are one load.
// Row 9, past the grid, and the rows after it stay blank: an entry is 16
// bytes, so that a vector gather loads a glyph whole.
constexpr int kMaskStride = 16;
using FontMasks = uint8_t[256][kMaskStride];

// The table's glyphs, for text drawn a byte per cell.
alignas(kMaskStride) FontMasks RowMask;

// The whole font, for text drawn from UTF-8, indexed by slot: a code point
// below U+0100 is its own slot, except the C1 controls; Windows-1252's
// characters take the slots it gives them at 0x80 to 0x9F, and the
// replacement glyph one of the slots it leaves unused.
alignas(kMaskStride) FontMasks WholeFont;

constexpr uint32_t kReplacementCharacter = 0xFFFD;
constexpr uint8_t kBlankSlot = 0x7F;        // DEL: controls draw blank
constexpr uint8_t kReplacementSlot = 0x81;  // unused by Windows-1252

// Windows-1252 at 0x80 to 0x9F; 0 where it has no character.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint8_t SlotBeyondLatin1(uint32_t codepoint)
{
    for (int k = 0; k < 32; ++k)
        if (kWindows1252[k] == codepoint)
            return static_cast<uint8_t>(0x80 + k);
    return kReplacementSlot;
}

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

uint8_t MaskOf(const char *cells)
{
    uint8_t mask = 0;
    for (int col = 0; col < kGlyphCols; ++col)
        mask |= static_cast<uint8_t>(cells[col] == '1') << col;
    return mask;
}

// The table's state: filled once, from whichever thread calls first.
enum { kEmpty, kFilling, kFilled };
std::atomic<int> init{kEmpty};

void FillTable()
{
    for (const auto &glyph : kGlyphSet)
        for (int row = 0; row < kGlyphRows; ++row)
            std::strcpy(TableCar[glyph.code][row], glyph.rows[row]);
    for (int c = 0; c < 256; ++c)
        for (int row = 0; row < kGlyphRows; ++row)
            RowMask[c][row] = WholeFont[c][row] = MaskOf(TableCar[c][row]);
    for (const auto &glyph : kExtraGlyphs)
        for (int row = 0; row < kGlyphRows; ++row)
            WholeFont[SlotOf(glyph.codepoint)][row] = MaskOf(glyph.rows + row * (kGlyphCols + 1));
}

//----------------------------------------------------------------------------
// UTF-8. A character is one cell; an ill-formed sequence is one cell of the
// replacement glyph for each maximal subpart (the bytes up to the first one
// that cannot continue it), as the WHATWG decoder substitutes U+FFFD, so a
// bad byte never swallows the character after it. A NUL never continues a
// sequence, so nothing is read past the end of the text.
//----------------------------------------------------------------------------

struct Utf8Char {
    uint32_t codepoint;
    int length;  // bytes, 1 to 4
};

Utf8Char DecodeUtf8(const unsigned char *p)
{
    const unsigned lead = p[0];
    if (lead < 0x80)
        return {lead, 1};
    // The continuation bytes a lead allows; the second byte's range also
    // shuts out overlong forms, surrogates and values past U+10FFFF.
    int follow;
    unsigned low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        follow = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        follow = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        follow = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return {kReplacementCharacter, 1};
    }
    uint32_t codepoint = lead & (0x3Fu >> follow);
    for (int length = 1; length <= follow; ++length) {
        const unsigned next = p[length];
        if (next < low || next > high)
            return {kReplacementCharacter, length};
        codepoint = codepoint << 6 | (next & 0x3F);
        low = 0x80;
        high = 0xBF;
    }
    return {codepoint, follow + 1};
}

// ASCII and two-byte characters (all of Latin-1) without a call.
inline Utf8Char NextChar(const unsigned char *p)
{
    if (p[0] < 0x80)
        return {p[0], 1};
    if (p[0] >= 0xC2 && p[0] <= 0xDF && (p[1] & 0xC0) == 0x80)
        return {(p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu), 2};
    return DecodeUtf8(p);
}

//----------------------------------------------------------------------------
// Surface access: the one place that reads an SDL_Surface or calls SDL.
// Everything the drawing needs is checked once per call; a surface that
// cannot be written safely yields nothing to draw on.
//----------------------------------------------------------------------------

struct Target {
    SDL_Surface *surface;  // for mapping colours
    uint8_t *pixels;
    int bytesPerPixel;  // 1 to 4
    int64_t pitch;      // bytes from one row to the next
    // The clip rectangle within the surface, half-open: nothing is written
    // outside it.
    int64_t left, top, right, bottom;
};

#if SDL_MAJOR_VERSION >= 3

// SDL3 describes a surface's format by value. Formats of 8 to 32 bits that
// store whole bytes per pixel are written; packed bitmaps, FOURCC (YUV)
// formats and 10-bit or floating-point channels, which SDL_MapSurfaceRGB
// cannot describe as one stored value, yield nothing to draw on.
int BytesPerPixelOf(const SDL_Surface *surface)
{
    const SDL_PixelFormat format = surface->format;
    if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_ISPIXELFORMAT_10BIT(format) ||
        SDL_ISPIXELFORMAT_FLOAT(format))
        return 0;
    const SDL_PixelFormatDetails *details = SDL_GetPixelFormatDetails(format);
    if (details == nullptr || details->bits_per_pixel < 8 || details->bits_per_pixel > 32 ||
        details->bytes_per_pixel != (details->bits_per_pixel + 7) / 8)
        return 0;
    return details->bytes_per_pixel;
}

SDL_Rect ClipRectOf(SDL_Surface *surface)
{
    SDL_Rect clip;
    if (!SDL_GetSurfaceClipRect(surface, &clip))
        clip = SDL_Rect{0, 0, 0, 0};
    return clip;
}

Uint32 MapRGB(SDL_Surface *surface, Uint8 r, Uint8 g, Uint8 b)
{
    return SDL_MapSurfaceRGB(surface, r, g, b);
}

#else

// Packed bitmaps (below 8 bits) have no byte per pixel to write; the byte
// count must be the one the depth implies, or rows would be misread.
int BytesPerPixelOf(const SDL_Surface *surface)
{
    const SDL_PixelFormat *format = surface->format;
    if (format == nullptr || format->BitsPerPixel < 8 || format->BitsPerPixel > 32 ||
        format->BytesPerPixel != (format->BitsPerPixel + 7) / 8)
        return 0;
    return format->BytesPerPixel;
}

SDL_Rect ClipRectOf(SDL_Surface *surface)
{
    return surface->clip_rect;
}

// SDL_MapRGB's own rule for formats without a palette, without the call:
// a character grid maps two colours per cell.
Uint32 MapRGB(SDL_Surface *surface, Uint8 r, Uint8 g, Uint8 b)
{
    const SDL_PixelFormat *f = surface->format;
    if (f->palette != nullptr)
        return SDL_MapRGB(f, r, g, b);
    return static_cast<Uint32>(r >> f->Rloss) << f->Rshift |
           static_cast<Uint32>(g >> f->Gloss) << f->Gshift |
           static_cast<Uint32>(b >> f->Bloss) << f->Bshift | f->Amask;
}

#endif

bool OpenTarget(SDL_Surface *surface, Target *t)
{
    if (surface == nullptr || surface->pixels == nullptr)
        return false;
    t->surface = surface;
    t->pixels = static_cast<uint8_t *>(surface->pixels);
    t->bytesPerPixel = BytesPerPixelOf(surface);
    t->pitch = surface->pitch;
    const int64_t width = surface->w, height = surface->h;
    // A pitch too short for the width would write into the next row and,
    // on the last one, past the buffer.
    if (t->bytesPerPixel == 0 || width <= 0 || height <= 0 || t->pitch < width * t->bytesPerPixel)
        return false;
    const SDL_Rect clip = ClipRectOf(surface);
    t->left = std::max<int64_t>(clip.x, 0);
    t->top = std::max<int64_t>(clip.y, 0);
    t->right = std::min<int64_t>(int64_t{clip.x} + clip.w, width);
    t->bottom = std::min<int64_t>(int64_t{clip.y} + clip.h, height);
    return t->left < t->right && t->top < t->bottom;
}

inline uint8_t *PixelAddress(const Target &t, int64_t x, int64_t y)
{
    return t.pixels + y * t.pitch + x * t.bytesPerPixel;
}

bool IsTransparent(_color c)
{
    return c.r == -1 || c.g == -1 || c.b == -1;
}

// A colour as SDL_FillRect stores it: the mapped value's low bytesPerPixel
// bytes in the machine's byte order. It is kept as a word whose first
// bytesPerPixel bytes in memory are the pixel's, so that storing a pixel is
// one copy of those bytes, whatever the byte order.
inline uint32_t MapColor(const Target &t, _color c)
{
    const Uint32 value = MapRGB(t.surface, static_cast<Uint8>(c.r & 0xFF),
                                static_cast<Uint8>(c.g & 0xFF), static_cast<Uint8>(c.b & 0xFF));
    const int unused = 8 * (4 - t.bytesPerPixel);
    const uint32_t pixel = value & (0xFFFFFFFFu >> unused);
    return SDL_BYTEORDER == SDL_LIL_ENDIAN ? pixel : pixel << unused;
}

//----------------------------------------------------------------------------
// Sampling geometry. Pixel offset k of a character samples glyph cell
// trunc(k / size) and exists while k < extent * size. Both depend on the size
// alone, so each axis is described once as runs of offsets that sample the
// same cell; no pixel ever needs a division.
//----------------------------------------------------------------------------

// Beyond any surface: positions come from 32-bit integers, so nothing
// visible lies this far out.
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
    // start[Cells] to the extent, lies past the grid and is never lit.
    int64_t start[Cells + 2];

    int64_t extent() const { return start[Cells + 1]; }
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

// Characters up to 64 pixels wide (sizes up to about 10.7, so at most 96
// rows of pixels high) keep each glyph row's lit pixels as one word, looked
// up by the row's six-cell mask.
constexpr int64_t kNarrow = 64;
constexpr int64_t kNarrowRows = 96;

struct CellGeometry {
    float size;
    AxisRuns<kGlyphCols> cols;
    AxisRuns<kGlyphRows> rows;
    bool narrow;
    bool unscaled;                         // each glyph column is one pixel, six in all
    uint64_t block;                        // the character's width in low bits
    uint64_t litOffsets[1 << kGlyphCols];  // by row mask; bit j is offset j
    uint8_t rowOfPixel[kNarrowRows];       // the glyph row each row of pixels samples
};

// Only for a positive size: other sizes draw nothing.
CellGeometry MakeCellGeometry(float size)
{
    CellGeometry g{size, MakeAxisRuns<kGlyphCols>(size), MakeAxisRuns<kGlyphRows>(size),
                   false, false, 0, {}, {}};
    const int64_t width = g.cols.extent();
    g.narrow = width <= kNarrow && g.rows.extent() <= kNarrowRows;
    g.unscaled = width == kGlyphCols;
    for (int col = 0; col <= kGlyphCols; ++col)
        g.unscaled = g.unscaled && g.cols.start[col] == col;
    if (!g.narrow)
        return g;
    g.block = width == 64 ? ~uint64_t{0} : (uint64_t{1} << width) - 1;
    uint64_t offsetsOfCol[kGlyphCols] = {};
    for (int col = 0; col < kGlyphCols; ++col)
        for (int64_t j = g.cols.start[col]; j < g.cols.start[col + 1]; ++j)
            offsetsOfCol[col] |= uint64_t{1} << j;
    for (unsigned mask = 1; mask < (1u << kGlyphCols); ++mask)  // each from a smaller one
        g.litOffsets[mask] = g.litOffsets[mask & (mask - 1)] |
                             offsetsOfCol[LowestBit(mask)];
    for (int row = 0; row <= kGlyphRows; ++row)
        for (int64_t k = g.rows.start[row]; k < g.rows.start[row + 1]; ++k)
            g.rowOfPixel[k] = static_cast<uint8_t>(row);
    return g;
}

// Working out a size costs more than drawing a small character, and a
// program drawing a character grid calls with one size again and again: each
// thread keeps the last size's geometry, a pure function of the size.
struct GeometryCache {
    CellGeometry geometry;  // size 0 until the first: no size asks for it
    const CellGeometry *held;
};

GLYPHAR_NOINLINE void Refill(GeometryCache &cache, float size)
{
    cache.geometry = MakeCellGeometry(size);
    cache.held = &cache.geometry;
}

// The geometry is handed out through a pointer read from memory, so that
// callers hold a plain pointer: given the thread-local's own address,
// compilers find it again inside their loops, as a call to the runtime.
inline const CellGeometry &GeometryFor(float size)
{
    thread_local GeometryCache cache{};
    if (cache.geometry.size != size)
        Refill(cache, size);
    return *cache.held;
}

//----------------------------------------------------------------------------
// Text layout. A row is a run of the text's cells, a byte or a UTF-8
// character each, placed from
// the box's left edge (moved right by alignment); rows are numbered from the
// top of the box. Drawing and measuring both walk the rows from here.
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

struct Grid {
    int64_t cellWidth, cellHeight;
    int64_t columns;  // cells a row holds: lastCol + 1, 0 or less for a negative width
    int64_t lastRow;
    int64_t boxWidth;
    int flags;
};

// False where the size cannot space cells.
bool MakeGrid(_rect box, float size, int flags, Grid *grid)
{
    grid->cellWidth = CellPitch(6.0, size);
    grid->cellHeight = CellPitch(9.0, size);
    if (grid->cellWidth == 0 || grid->cellHeight == 0)
        return false;
    grid->columns = box.w / grid->cellWidth + 1;
    grid->lastRow = box.h / grid->cellHeight;
    grid->boxWidth = box.w;
    grid->flags =
        flags & (GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER | GLYPHAR_ALIGN_RIGHT | GLYPHAR_UTF8);
    return true;
}

struct TextRow {
    const unsigned char *cells;  // where the first cell's byte or character starts
    const unsigned char *slots;  // UTF-8 decoded as it was laid out, or nullptr
    int64_t count;               // cells, at least 1
    int64_t index;  // 0 is the box's top row
    int64_t shift;  // pixels moved right by alignment
};

int64_t AlignmentShift(const Grid &grid, int64_t count)
{
    const int64_t room = grid.boxWidth - count * grid.cellWidth;
    if (grid.flags & GLYPHAR_ALIGN_CENTER)
        return std::max<int64_t>(0, room / 2);
    if (grid.flags & GLYPHAR_ALIGN_RIGHT)
        return std::max<int64_t>(0, room);
    return 0;
}

// The row being filled. used counts its cells; inked those up to its last
// cell that is drawn (trailing spaces of a wrapped row take no width).
template <class EmitRow>
struct RowBuilder {
    const Grid &grid;
    int64_t rowLimit;  // the last row index the caller wants
    EmitRow &emit;
    const unsigned char *start;
    const unsigned char *slots;  // the cells' slots, where the layout records them
    int64_t index = 0, used = 0, inked = 0;

    void Flush()
    {
        if (inked > 0)
            emit(TextRow{start, slots, inked, index, AlignmentShift(grid, inked)});
    }

    // Ends the row and starts the next at next; false when no row is left.
    bool Break(const unsigned char *next)
    {
        Flush();
        if (index + 1 > rowLimit)
            return false;
        ++index;
        used = inked = 0;
        start = next;
        return true;
    }
};

// What one cell takes of the text: a byte, or a UTF-8 character. Newlines,
// spaces and the NUL are single bytes either way, and no UTF-8 character
// contains one, so the layout can test a cell's first byte for them. Take
// places a cell, and TakeRun up to `room` cells, stopping before a NUL or a
// newline; for drawing, the UTF-8 layout records the slot of each of a row's
// first kRowSlots cells as it goes, so that each character is decoded once.
constexpr int64_t kRowSlots = 512;

struct TakenCells {
    const unsigned char *end;
    int64_t cells;
};

struct ByteCells {
    static constexpr const unsigned char *kSlots = nullptr;
    static int Length(const unsigned char *) { return 1; }
    static int Take(const unsigned char *, int64_t) { return 1; }

    static TakenCells TakeRun(const unsigned char *p, int64_t, int64_t room)
    {
        int64_t n = 0;
        for (; n < room && p[n] != '\0' && p[n] != '\n'; ++n) {
        }
        return {p + n, n};
    }
};

// A longer row's cells past the last slot are not recorded: drawing decodes
// such a row again.
template <bool Record>
struct Utf8Cells {
    unsigned char slots[Record ? kRowSlots : 1];
    const unsigned char *const kSlots = Record ? slots : nullptr;

    static int Length(const unsigned char *p) { return NextChar(p).length; }

    int Take(const unsigned char *p, int64_t cell)
    {
        const Utf8Char c = NextChar(p);
        if (Record && cell < kRowSlots)
            slots[cell] = SlotOf(c.codepoint);
        return c.length;
    }

    TakenCells TakeRun(const unsigned char *p, int64_t used, int64_t room)
    {
        if constexpr (!Record)
            return TakeStretch<false>(p, used, room);
        const int64_t recorded = std::max<int64_t>(std::min(kRowSlots - used, room), 0);
        const TakenCells head = TakeStretch<true>(p, used, recorded);
        if (head.cells < recorded)
            return head;
        const TakenCells tail = TakeStretch<false>(head.end, used + recorded, room - recorded);
        return {tail.end, recorded + tail.cells};
    }

    // Most cells of most text are ASCII, which is its own slot, or one of
    // Latin-1's letters, two bytes led by C3: each goes through on a test or
    // two, and only other characters are decoded in full.
    template <bool Store>
    TakenCells TakeStretch(const unsigned char *p, int64_t used, int64_t room)
    {
        unsigned char *slot = Store ? slots + used : nullptr;
        int64_t n = 0;
        for (; n < room; ++n) {
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
                break;
            } else {
                const Utf8Char c = NextChar(p);
                if (Store)
                    slot[n] = SlotOf(c.codepoint);
                p += c.length;
            }
        }
        return {p, n};
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
        const int64_t capacity = brokenByCell ? std::max<int64_t>(row.grid.columns, 1)
                                              : row.grid.columns;
        const TakenCells run = cells.TakeRun(p, row.used, capacity - row.used);
        p = run.end;
        row.used += run.cells;
        row.inked = row.used;
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

bool IsWordCell(unsigned char first)
{
    return first != '\0' && first != ' ' && first != '\n';
}

// Rows broken between words; a word longer than a row is broken as cells.
template <class Cells, class Builder>
size_t LayOutWords(const unsigned char *text, Cells &cells, Builder &row)
{
    const int64_t columns = row.grid.columns;
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
            if (row.used < columns) {
                p += cells.Take(p, row.used), ++row.used;
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
        int64_t length = 0;
        for (; IsWordCell(*end); ++length)
            end += Cells::Length(end);
        if (length > columns - row.used && length <= columns && !row.Break(p))
            return static_cast<size_t>(p - text);
        while (p < end) {
            if (row.used == columns && !row.Break(p))
                return static_cast<size_t>(p - text);
            p += cells.Take(p, row.used);
            row.inked = ++row.used;
        }
    }
}

template <class Cells, class EmitRow>
size_t LayOutAs(const unsigned char *text, const Grid &grid, int64_t rowLimit, EmitRow &emit)
{
    Cells cells;
    RowBuilder<EmitRow> row{grid, rowLimit, emit, text, cells.kSlots};
    if ((grid.flags & GLYPHAR_WRAP_WORDS) && grid.columns >= 1)
        return LayOutWords(text, cells, row);
    return LayOutCells(text, cells, row);
}

// Lays the text out, calling emit(TextRow) for every row with cells, and
// stops before any row past rowLimit. Returns the bytes used, which never
// end inside a character. Drawing asks for UTF-8 rows' slots.
template <bool Slots = false, class EmitRow>
size_t LayOut(const unsigned char *text, const Grid &grid, int64_t rowLimit, EmitRow emit)
{
    if (grid.flags & GLYPHAR_UTF8)
        return LayOutAs<Utf8Cells<Slots>>(text, grid, rowLimit, emit);
    return LayOutAs<ByteCells>(text, grid, rowLimit, emit);
}

//----------------------------------------------------------------------------
// Pixel writers, one per pixel size, chosen once per text row. A row of
// pixels is written from words of bits, 64 pixels a word, bit 0 leftmost.
// Opaque pixels go eight at a time: the pixels of a byte of bits are the
// background with the foreground's differing bits put back where a per-byte
// mask says lit, in whole 64-bit words, with no branch. Transparent rows
// touch only their lit pixels. Where the CPU can store under a mask, both
// kinds of row go 64 bytes a store instead.
//----------------------------------------------------------------------------

struct Ink {
    uint32_t fg, bg;  // as MapColor gives them; a transparent bg is fg
    bool opaque;
};

inline Ink MakeInk(const Target &t, _color fg, _color bg)
{
    Ink ink;
    ink.opaque = !IsTransparent(bg);
    ink.fg = MapColor(t, fg);
    ink.bg = ink.opaque ? MapColor(t, bg) : ink.fg;
    return ink;
}

// Eight copies of a pixel, as Bytes words. A pixel of 1, 2 or 4 bytes read
// as a number and multiplied repeats in every lane in the machine's own byte
// order; a 3-byte pixel straddles the words and goes byte by byte.
template <int Bytes>
void RepeatEight(uint32_t stored, uint64_t words[Bytes])
{
    if constexpr (Bytes == 3) {
        uint8_t pixel[4], eight[24];
        std::memcpy(pixel, &stored, 4);
        for (int k = 0; k < 24; ++k)
            eight[k] = pixel[k % 3];
        std::memcpy(words, eight, 24);
    } else {
        using Lane = std::conditional_t<Bytes == 1, uint8_t,
                                        std::conditional_t<Bytes == 2, uint16_t, uint32_t>>;
        Lane lane;
        std::memcpy(&lane, &stored, Bytes);
        for (int w = 0; w < Bytes; ++w)
            words[w] = lane * (~uint64_t{0} / static_cast<Lane>(~Lane{0}));
    }
}

// For each byte of bits, eight pixels of Bytes bytes: 0xFF where lit.
template <int Bytes>
struct ByteMasks {
    uint8_t mask[256][8 * Bytes];

    constexpr ByteMasks() : mask()
    {
        for (int bits = 0; bits < 256; ++bits)
            for (int k = 0; k < 8 * Bytes; ++k)
                mask[bits][k] = (bits >> (k / Bytes)) & 1 ? 0xFF : 0;
    }
};

template <int Bytes>
constexpr ByteMasks<Bytes> kByteMasks{};

// Stores the first `bytes` (fewer than 8) bytes of a word, in memory order.
inline void StoreFirstBytes(uint8_t *dst, uint64_t word, int bytes)
{
    const bool little = SDL_BYTEORDER == SDL_LIL_ENDIAN;
    if (bytes & 4) {
        const uint32_t piece = static_cast<uint32_t>(little ? word : word >> 32);
        std::memcpy(dst, &piece, 4);
        dst += 4;
        word = little ? word >> 32 : word << 32;
    }
    if (bytes & 2) {
        const uint16_t piece = static_cast<uint16_t>(little ? word : word >> 48);
        std::memcpy(dst, &piece, 2);
        dst += 2;
        word = little ? word >> 16 : word << 16;
    }
    if (bytes & 1)
        *dst = static_cast<uint8_t>(little ? word : word >> 56);
}

// How a row of a window's pixels splits: whole words of 64 pixels, whole
// bytes of eight in the word after them, then a tail of fewer than eight,
// which is tailWords whole 8-byte words and tailRest bytes of pixels.
// Worked out once per window, not per row of pixels.
struct RowSpan {
    int64_t words;
    int bytes, tail;
    int tailWords, tailRest;

    RowSpan(int64_t count, int bytesPerPixel)
        : words(count / 64), bytes(static_cast<int>(count % 64 / 8)),
          tail(static_cast<int>(count % 8)), tailWords(tail * bytesPerPixel / 8),
          tailRest(tail * bytesPerPixel % 8)
    {
    }

    bool partialWord() const { return bytes + tail > 0; }
    int partialPixels() const { return 8 * bytes + tail; }
    uint64_t partialMask() const { return (uint64_t{1} << (8 * bytes + tail)) - 1; }
};

// The rows of pixels a window writes, top to bottom: the bit row of glyph
// row r (stride words after that of row r - 1) on height[r] rows of pixels
// in turn, for r from first to last. A writer walks them all in one call, so
// that what it sets up (the colours in vector registers, its choice of path)
// is set up once per window.
struct RowRuns {
    const uint64_t *bits;
    int64_t stride;
    const int64_t *height;
    int first, last;

    const uint64_t *BitsOf(int r) const { return bits + r * stride; }
};

// A single narrow character's `rows` rows of pixels, `width` (at most 64)
// wide: row k shows Word(k), the lit pixels of the glyph row it samples.
// Writers take it apart from a row of cells because for one character their
// setup is most of the cost; each row's word is looked up as it is written,
// which costs less than working out all ten.
struct CellRows {
    const uint8_t *masks;        // the glyph's rows
    const uint64_t *litOffsets;  // by mask, from the left edge shown
    const uint8_t *rowOf;
    int64_t rows, width;

    uint64_t Word(int64_t k) const { return litOffsets[masks[rowOf[k]]]; }
};


// Copies `Pixels` pixels of `Bytes` bytes to pixel offset k for each bit k
// set in `starts`. Four a step: a quarter of the loop's branches, and a
// step's stores go out together. A step with fewer than four left stores its
// first again, so only those pixels are written, some twice.
template <int Bytes, int Pixels>
inline void StoreAtEach(uint8_t *dst, uint64_t starts, const uint8_t *pixels)
{
    while (starts != 0) {
        int at[4];
        at[0] = LowestBit(starts);
        starts &= starts - 1;
        for (int k = 1; k < 4; ++k) {
            at[k] = starts != 0 ? LowestBit(starts) : at[0];
            starts &= starts - 1;
        }
        for (int k = 0; k < 4; ++k)
            std::memcpy(dst + at[k] * Bytes, pixels, Pixels * Bytes);
    }
}

#include "GlypharVector.h"

// The writers drawing uses: the best the CPU has, unless a test or a
// benchmark has asked for others (GlypharUseWriters); -1 until the first
// drawing or choice. 3-byte pixels always go the portable way.
std::atomic<int> drawingPath{-1};

// Asked of the CPU once; 0 until then (the portable bit is always set).
// A plain atomic, not a function's static, so that C programs linking the
// static library need no C++ runtime.
std::atomic<int> cpuWriterPaths{0};

int AvailableWriterPaths()
{
    int paths = cpuWriterPaths.load(std::memory_order_relaxed);
    if (paths == 0) {
        paths = CpuWriterPaths();
        cpuWriterPaths.store(paths, std::memory_order_relaxed);
    }
    return paths;
}

int BestWriterPath()
{
    const int paths = AvailableWriterPaths();
    return paths & (1 << kAvx512) ? kAvx512
           : paths & (1 << kAvx2) ? kAvx2
           : paths & (1 << kNeon) ? kNeon
                                  : kPortable;
}

// The first drawing takes the best, unless a choice came first.
GLYPHAR_NOINLINE int FirstWriterPath()
{
    int path = -1;
    const int best = BestWriterPath();
    return drawingPath.compare_exchange_strong(path, best, std::memory_order_relaxed) ? best : path;
}

inline int WriterPathFor(int bytesPerPixel)
{
    if (bytesPerPixel == 3)
        return kPortable;
    const int path = drawingPath.load(std::memory_order_relaxed);
    return path >= 0 ? path : FirstWriterPath();
}

// The portable way through a window's rows: each row of pixels by the
// writer's Row, from copies the stores cannot alias, so that they stay in
// registers.
template <class Writer>
GLYPHAR_NOINLINE void RowsOneByOne(const Writer &writer, uint8_t *dst, int64_t pitch,
                                   const RowRuns &runs, const RowSpan &span)
{
    const Writer self = writer;
    const RowSpan localSpan = span;
    const RowRuns local = runs;
    for (int r = local.first; r <= local.last; ++r)
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch)
            self.Row(dst, local.BitsOf(r), localSpan);
}

// Opaque rows: every pixel in fg where lit, bg elsewhere, eight at a time.
template <int Bytes>
struct OpaqueWriter {
    uint64_t bg[Bytes], diff[Bytes];
    uint32_t fgPixel, bgPixel;
    int path;

    // The eights are made where they are used: a vector path needs none.
    explicit OpaqueWriter(const Ink &ink)
        : bg(), diff(), fgPixel(ink.fg), bgPixel(ink.bg), path(WriterPathFor(Bytes))
    {
    }

    // The eight pixels of the low byte of bits, as Bytes words.
    struct Eight {
        uint64_t word[Bytes];
    };

    Eight PixelsOf(uint64_t bits) const
    {
        const uint8_t *mask = kByteMasks<Bytes>.mask[bits & 0xFF];
        Eight pixels;
        for (int w = 0; w < Bytes; ++w) {
            uint64_t m;
            std::memcpy(&m, mask + 8 * w, 8);
            pixels.word[w] = bg[w] ^ (diff[w] & m);
        }
        return pixels;
    }

    static void Store(uint8_t *dst, const Eight &pixels)
    {
        std::memcpy(dst, pixels.word, sizeof pixels.word);
    }

    void Rows(uint8_t *dst, int64_t pitch, const RowRuns &runs, const RowSpan &span) const
    {
        if constexpr (Bytes != 3) {
            if (path == kAvx512) {
                Rows512<Bytes, true>(dst, pitch, runs, span, fgPixel, bgPixel);
                return;
            }
            if (path == kAvx2) {
                Rows256<Bytes, true>(dst, pitch, runs, span, fgPixel, bgPixel);
                return;
            }
        }
        RowsOneByOne(WithEights(), dst, pitch, runs, span);
    }

    // A single character's rows, one by one.
    void Cell(uint8_t *dst, int64_t pitch, const CellRows &cell) const
    {
        const OpaqueWriter self = *this;
        const RowSpan span(cell.width, Bytes);
        const CellRows local = cell;
        if (span.words == 0 && span.bytes == 0) {  // fewer than eight pixels
            for (int64_t k = 0; k < local.rows; ++k, dst += pitch)
                StoreTail(dst, self.PixelsOf(local.Word(k)), span);
            return;
        }
        for (int64_t k = 0; k < local.rows; ++k, dst += pitch) {
            const uint64_t word = local.Word(k);
            self.Row(dst, &word, span);
        }
    }

    OpaqueWriter WithEights() const
    {
        OpaqueWriter self = *this;
        RepeatEight<Bytes>(bgPixel, self.bg);
        RepeatEight<Bytes>(fgPixel ^ bgPixel, self.diff);
        return self;
    }

    void Row(uint8_t *dst, const uint64_t *bits, const RowSpan &span) const
    {
        if constexpr (Bytes != 3) {
            if (path == kNeon) {
                OpaqueWordsNeon<Bytes>(dst, bits, span.words, fgPixel, bgPixel);
                Partial(dst + span.words * 64 * Bytes, bits + span.words, span);
                return;
            }
        }
        for (int64_t w = 0; w < span.words; ++w)
            for (int k = 0; k < 8; ++k, dst += 8 * Bytes)
                Store(dst, PixelsOf(bits[w] >> 8 * k));
        Partial(dst, bits + span.words, span);
    }

    // The row's last word, when it is not whole.
    void Partial(uint8_t *dst, const uint64_t *last, const RowSpan &span) const
    {
        if (!span.partialWord())
            return;
        uint64_t word = *last;
        for (int k = 0; k < span.bytes; ++k, word >>= 8, dst += 8 * Bytes)
            Store(dst, PixelsOf(word));
        if (span.tail != 0)
            StoreTail(dst, PixelsOf(word), span);
    }

    // The first span.tail of eight pixels.
    static void StoreTail(uint8_t *dst, const Eight &pixels, const RowSpan &span)
    {
        uint64_t rest = pixels.word[0];
        for (int w = 1; w < Bytes && w <= span.tailWords; ++w, dst += 8) {
            std::memcpy(dst, &rest, 8);
            rest = pixels.word[w];
        }
        StoreFirstBytes(dst, rest, span.tailRest);
    }
};

// Transparent rows: only the lit pixels, each one copy of fg, found one by
// one. Where the CPU can store under a mask, whole words go at once instead.
template <int Bytes>
struct StrokeWriter {
    uint32_t fg;
    int path;
    uint8_t fgTwice[2 * Bytes];  // two pixels, for a lit pair

    explicit StrokeWriter(const Ink &ink) : fg(ink.fg), path(WriterPathFor(Bytes))
    {
        std::memcpy(fgTwice, &fg, Bytes);
        std::memcpy(fgTwice + Bytes, &fg, Bytes);
    }

    // Lit pixels in pairs where they can be: both pixels of a pair from an
    // even offset go in one store twice the size, the rest one by one.
    void Word(uint8_t *dst, uint64_t word) const
    {
        if constexpr (Bytes != 3) {
            const uint64_t pairs = word & (word >> 1) & 0x5555555555555555u;
            StoreAtEach<Bytes, 2>(dst, pairs, fgTwice);
            word &= ~(pairs | pairs << 1);
        }
        StoreAtEach<Bytes, 1>(dst, word, fgTwice);
    }

    void Rows(uint8_t *dst, int64_t pitch, const RowRuns &runs, const RowSpan &span) const
    {
        if constexpr (Bytes != 3) {
            if (path == kAvx512) {
                Rows512<Bytes, false>(dst, pitch, runs, span, fg, fg);
                return;
            }
            if (path == kAvx2 && Bytes != 1) {  // 4-byte lanes have a masked store
                Rows256<Bytes, false>(dst, pitch, runs, span, fg, fg);
                return;
            }
        }
        RowsOneByOne(*this, dst, pitch, runs, span);
    }

    // A single character's rows, one by one.
    void Cell(uint8_t *dst, int64_t pitch, const CellRows &cell) const
    {
        const StrokeWriter self = *this;
        const RowSpan span(cell.width, Bytes);
        const CellRows local = cell;
        for (int64_t k = 0; k < local.rows; ++k, dst += pitch) {
            const uint64_t word = local.Word(k);
            self.Row(dst, &word, span);
        }
    }

    void Row(uint8_t *dst, const uint64_t *bits, const RowSpan &span) const
    {
        for (int64_t w = 0; w < span.words; ++w, dst += 64 * Bytes)
            Word(dst, bits[w]);
        if (span.partialWord())
            Word(dst, bits[span.words] & span.partialMask());
    }
};

//----------------------------------------------------------------------------
// Drawing: a text row at a time, only what lies in the clip rectangle. For
// each glyph row, the lit pixels of all the row's cells make a bit row, 64
// pixels a word; then every pixel row is written from the bit row of the
// glyph row it samples. Cells are gathered left to right, so where blocks
// overlap the later cell wins: an opaque cell owns its whole block, a
// transparent one only its lit pixels.
//----------------------------------------------------------------------------

int64_t FloorDiv(int64_t a, int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// A window of a text row, up to kWindow pixels wide: for each glyph row,
// one bit per pixel, 64 pixels a word.
constexpr int64_t kWindow = 1024;
static_assert(kWindow % 64 == 0, "windows hold whole words");

struct BitRows {
    uint64_t word[kGlyphRows + 1][kWindow / 64];

    void Put(int row, int64_t index, uint64_t bits) { word[row][index] = bits; }
};

// The cells that reach into a span of pixels, and the font they index.
struct CellRun {
    const FontMasks &font;
    const unsigned char *cells;
    int64_t first, last;  // inclusive
    int64_t x;            // the first cell's left edge, relative to the span
    int64_t pitch;
};

CellRun CellsInSpan(const FontMasks &font, const unsigned char *cells, int64_t count,
                    int64_t pitch, int64_t x, int64_t width, int64_t spanLeft, int64_t spanWidth)
{
    CellRun run{font, cells, 0, count - 1, x - spanLeft, pitch};
    if (count > 1) {  // a single cell covers the span
        run.first = std::max<int64_t>(0, FloorDiv(spanLeft - width - x, pitch) + 1);
        run.last = std::min(count - 1, FloorDiv(spanLeft + spanWidth - 1 - x, pitch));
    }
    return run;
}

// Narrow cells: each cell's row is one word of lit pixels, shifted into the
// two words it straddles. Cells step right by at most 64 pixels, so those
// two words are kept in registers and stored as the cells move past them.
// A band of Rows glyph rows from `band` on is gathered in one pass over the
// cells, which shares each cell's load, position and step among the band's
// rows. Only where blocks overlap (Owns) must a cell clear what the one
// before it lit.
template <bool Owns, int Rows>
void GatherNarrowBand(BitRows &bits, int band, const CellRun &run, int64_t window,
                      const CellGeometry &g)
{
    // Locals: stores into the bit rows could otherwise alias them.
    const FontMasks &font = run.font;
    const unsigned char *const cells = run.cells;
    const int64_t last = run.last, pitch = run.pitch;
    const uint64_t block = g.block;
    const int width = static_cast<int>(g.cols.extent());
    uint64_t current[Rows], next[Rows];
    // The first cell starts at or left of the window's edge: bit 0 is its
    // offset -at, and nothing of it spills into the next word.
    int64_t at = run.x + run.first * pitch;
    const uint8_t *mask = font[cells[run.first]] + band;
    for (int r = 0; r < Rows; ++r) {
        current[r] = g.litOffsets[mask[r]] >> -at;
        next[r] = 0;
    }
    int64_t index = 0;  // the word `current` holds
    at += pitch;
    for (int64_t i = run.first + 1; i <= last; ++i, at += pitch) {
        mask = font[cells[i]] + band;
        const int64_t word = at >> 6;
        if (word != index) {  // no later cell reaches back into `current`
            for (int r = 0; r < Rows; ++r) {
                bits.Put(band + r, index, current[r]);
                current[r] = next[r];
                next[r] = 0;
            }
            index = word;
        }
        const int shift = static_cast<int>(at & 63);
        if (shift <= 64 - width) {  // the cell lies within the word
            for (int r = 0; r < Rows; ++r) {
                if (Owns)
                    current[r] &= ~(block << shift);
                current[r] |= g.litOffsets[mask[r]] << shift;
            }
            continue;
        }
        for (int r = 0; r < Rows; ++r) {  // the cell straddles two words
            const uint64_t lit = g.litOffsets[mask[r]];
            if (Owns) {
                current[r] &= ~(block << shift);
                next[r] &= ~(block >> (64 - shift));
            }
            current[r] |= lit << shift;
            next[r] |= lit >> (64 - shift);
        }
    }
    // The cells cover the window: nothing lies past these two words.
    for (int r = 0; r < Rows; ++r)
        bits.Put(band + r, index, current[r]);
    if (64 * (index + 1) < window)
        for (int r = 0; r < Rows; ++r)
            bits.Put(band + r, index + 1, next[r]);
}

// Sets or clears bits [from, to) of a window's bit row, clipped to [0, limit).
void SetRange(uint64_t *bits, int64_t from, int64_t to, int64_t limit, bool value)
{
    from = std::max<int64_t>(from, 0);
    to = std::min(to, limit);
    for (int64_t k = from; k < to;) {
        const int64_t n = std::min<int64_t>(64 - (k & 63), to - k);
        const uint64_t mask = (n == 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1) << (k & 63);
        bits[k >> 6] = value ? bits[k >> 6] | mask : bits[k >> 6] & ~mask;
        k += n;
    }
}

// Wide cells, more than a word across: a glyph row's bits in runs, one per
// glyph column.
void GatherWide(uint64_t *bits, int64_t window, const CellRun &run, int row,
                const CellGeometry &g, bool opaque)
{
    std::memset(bits, 0, static_cast<size_t>((window + 63) / 64) * sizeof *bits);
    for (int64_t i = run.first; i <= run.last; ++i) {
        const unsigned mask = run.font[run.cells[i]][row];
        const int64_t at = run.x + i * run.pitch;
        if (opaque)
            SetRange(bits, at, at + g.cols.extent(), window, false);
        for (int col = 0; col < kGlyphCols; ++col)
            if ((mask >> col) & 1)
                SetRange(bits, at + g.cols.start[col], at + g.cols.start[col + 1], window, true);
    }
}

// The cells of a text row: `count` glyphs of a font, `pitch` pixels apart.
struct CellRow {
    const FontMasks &font;
    const unsigned char *glyphs;
    int64_t count, pitch;
};

// One narrow character's rows, by the writer for a pixel size, an ink and
// a writer path. A character grid draws one per call, so the choice is one
// look in a table rather than the writers' own.
using CellWriter = void (*)(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                            uint32_t bg);

template <int Bytes>
GLYPHAR_NOINLINE void OpaqueCell(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                                 uint32_t bg)
{
    OpaqueWriter<Bytes>(Ink{fg, bg, true}).WithEights().Cell(dst, pitch, cell);
}

template <int Bytes>
GLYPHAR_NOINLINE void StrokeCell(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                                 uint32_t)
{
    StrokeWriter<Bytes>(Ink{fg, fg, false}).Cell(dst, pitch, cell);
}

// By path, then transparent or opaque, then bytes per pixel. 3-byte pixels
// are always the portable writers', and so are 1-byte transparent ones on
// AVX2, which has no masked store for them. On NEON the portable opaque
// writer hands whole words of 64 pixels to it by itself.
constexpr CellWriter kCellWriters[kWriterPaths][2][4] = {
    {{StrokeCell<1>, StrokeCell<2>, StrokeCell<3>, StrokeCell<4>},
     {OpaqueCell<1>, OpaqueCell<2>, OpaqueCell<3>, OpaqueCell<4>}},
    {{StrokeCell<1>, Cell256<2, false>, StrokeCell<3>, Cell256<4, false>},
     {Cell256<1, true>, Cell256<2, true>, OpaqueCell<3>, Cell256<4, true>}},
    {{Cell512<1, false>, Cell512<2, false>, StrokeCell<3>, Cell512<4, false>},
     {Cell512<1, true>, Cell512<2, true>, OpaqueCell<3>, Cell512<4, true>}},
    {{StrokeCell<1>, StrokeCell<2>, StrokeCell<3>, StrokeCell<4>},
     {OpaqueCell<1>, OpaqueCell<2>, OpaqueCell<3>, OpaqueCell<4>}},
};

constexpr uint8_t kRowNumbers[kGlyphRows + 1] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};

// One narrow cell, the whole of a character grid's GlypharCarac: each row of
// pixels shown takes the lit pixels of the glyph row it samples, from the
// left edge shown.
void DrawNarrowCell(const Target &t, const CellGeometry &g, const Ink &ink, const uint8_t *masks,
                    int64_t x, int64_t y)
{
    const int64_t left = std::max(x, t.left), right = std::min(x + g.cols.extent(), t.right);
    const int64_t top = std::max(y, t.top), bottom = std::min(y + g.rows.extent(), t.bottom);
    if (top >= bottom || left >= right)
        return;
    CellRows cell{masks, g.litOffsets, g.rowOfPixel + (top - y), bottom - top, right - left};
    // Cut at the left: each glyph row's own lit pixels, moved to the edge.
    uint64_t shown[kGlyphRows + 1];
    if (left > x) {
        for (int row = 0; row <= kGlyphRows; ++row)
            shown[row] = g.litOffsets[masks[row]] >> (left - x);
        cell.masks = kRowNumbers;
        cell.litOffsets = shown;
    }
    const CellWriter write =
        kCellWriters[WriterPathFor(t.bytesPerPixel)][ink.opaque][t.bytesPerPixel - 1];
    write(PixelAddress(t, left, top), t.pitch, cell, ink.fg, ink.bg);
}

// Draws a row of cells, the first with its top-left pixel at (x, y), each
// row of pixels by Writer.
template <class Writer>
void DrawCellsWith(const Target &t, const CellGeometry &g, const Writer &writer, bool opaque,
                   const CellRow &cells, int64_t x, int64_t y)
{
    const int64_t count = cells.count, pitch = cells.pitch;
    const int64_t top = std::max(y, t.top);
    const int64_t bottom = std::min(y + g.rows.extent(), t.bottom);
    const int64_t width = g.cols.extent();
    const int64_t left = std::max(x, t.left);
    const int64_t right = std::min(x + (count - 1) * pitch + width, t.right);
    if (top >= bottom || left >= right)
        return;
    // The glyph rows that the rows of pixels shown sample.
    int firstRow = 0, lastRow = kGlyphRows;
    while (y + g.rows.start[firstRow + 1] <= top)
        ++firstRow;
    while (y + g.rows.start[lastRow] >= bottom)
        --lastRow;
    const auto shows = [&](int first, int end) { return firstRow < end && lastRow >= first; };
    // Each row of pixels shows the bit row of the glyph row it samples.
    BitRows bits;
    int64_t height[kGlyphRows + 1];
    for (int64_t row = firstRow, from = top; row <= lastRow; ++row) {
        const int64_t end = std::min(y + g.rows.start[row + 1], bottom);
        height[row] = end - from;
        from = end;
    }
    const RowRuns runs{bits.word[0], kWindow / 64, height, firstRow, lastRow};
    const bool owns = opaque && width > pitch;
    // Cells side by side at size 1 (text, not a lone character) have a
    // vector gather where the writers are vector ones.
    const bool unscaled = kVectorGather && g.unscaled && pitch == kGlyphCols && count > 1 &&
                          writer.path != kPortable;
    for (int64_t windowLeft = left; windowLeft < right; windowLeft += kWindow) {
        const int64_t window = std::min(kWindow, right - windowLeft);
        const CellRun run =
            CellsInSpan(cells.font, cells.glyphs, count, pitch, x, width, windowLeft, window);
        if (unscaled) {
            GatherUnscaled(bits.word[0], kWindow / 64, cells.font, cells.glyphs + run.first,
                           run.last - run.first + 1, run.x + run.first * pitch, window);
        } else if (g.narrow) {
            if (shows(0, 5)) {
                if (owns)
                    GatherNarrowBand<true, 5>(bits, 0, run, window, g);
                else
                    GatherNarrowBand<false, 5>(bits, 0, run, window, g);
            }
            if (shows(5, kGlyphRows)) {
                if (owns)
                    GatherNarrowBand<true, 4>(bits, 5, run, window, g);
                else
                    GatherNarrowBand<false, 4>(bits, 5, run, window, g);
            }
            // Glyph row 9, past the grid, is blank in every glyph.
            if (shows(kGlyphRows, kGlyphRows + 1))
                std::memset(bits.word[kGlyphRows], 0, sizeof bits.word[kGlyphRows]);
        } else {
            for (int row = firstRow; row <= lastRow; ++row)
                GatherWide(bits.word[row], window, run, row, g, opaque);
        }
        writer.Rows(PixelAddress(t, windowLeft, top), t.pitch, runs,
                    RowSpan(window, t.bytesPerPixel));
    }
}

template <int Bytes>
void DrawCellsOf(const Target &t, const CellGeometry &g, const Ink &ink, const CellRow &cells,
                 int64_t x, int64_t y)
{
    if (ink.opaque)
        DrawCellsWith(t, g, OpaqueWriter<Bytes>(ink), true, cells, x, y);
    else
        DrawCellsWith(t, g, StrokeWriter<Bytes>(ink), false, cells, x, y);
}

// The pixel size and the writer are chosen once per text row.
void DrawCells(const Target &t, const CellGeometry &g, const Ink &ink, const CellRow &cells,
               int64_t x, int64_t y)
{
    switch (t.bytesPerPixel) {
    case 1: DrawCellsOf<1>(t, g, ink, cells, x, y); break;
    case 2: DrawCellsOf<2>(t, g, ink, cells, x, y); break;
    case 3: DrawCellsOf<3>(t, g, ink, cells, x, y); break;
    default: DrawCellsOf<4>(t, g, ink, cells, x, y); break;
    }
}

// One character (GlypharCarac, GlypharCodePoint): a narrow one without the
// machinery of a row of cells, which costs more than its pixels.
void DrawCharacter(const Target &t, const CellGeometry &g, const Ink &ink, const FontMasks &font,
                   unsigned char glyph, int64_t x, int64_t y)
{
    if (!g.narrow) {
        DrawCells(t, g, ink, CellRow{font, &glyph, 1, g.cols.extent()}, x, y);
        return;
    }
    DrawNarrowCell(t, g, ink, font[glyph], x, y);
}

// A text row from UTF-8: the slots the layout recorded, or, for a row too
// long for them, its characters decoded again a stretch at a time, each
// stretch drawn as a row of its own. Stretches go left to right, so where
// blocks overlap the later cell still wins, and the ones past the clip
// rectangle's right edge are not decoded at all.
void DrawUtf8Row(const Target &t, const CellGeometry &g, const Ink &ink, const TextRow &row,
                 int64_t pitch, int64_t x, int64_t y)
{
    if (row.count <= kRowSlots) {
        DrawCells(t, g, ink, CellRow{WholeFont, row.slots, row.count, pitch}, x, y);
        return;
    }
    unsigned char slots[kRowSlots];
    const unsigned char *p = row.cells;
    for (int64_t done = 0; done < row.count && x + done * pitch < t.right; done += kRowSlots) {
        const int64_t count = std::min(kRowSlots, row.count - done);
        for (int64_t k = 0; k < count; ++k) {
            const Utf8Char c = NextChar(p);
            slots[k] = SlotOf(c.codepoint);
            p += c.length;
        }
        DrawCells(t, g, ink, CellRow{WholeFont, slots, count, pitch}, x + done * pitch, y);
    }
}

}  // namespace

extern "C" {

void GlypharInit(void)
{
    // Filled exactly once, by whichever thread comes first; the others wait
    // the few microseconds until the table is whole. Plain atomics, so that
    // C programs linking the static library need no C++ runtime.
    if (init.load(std::memory_order_acquire) == kFilled)
        return;
    int expected = kEmpty;
    if (init.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
        FillTable();
        init.store(kFilled, std::memory_order_release);
        return;
    }
    while (init.load(std::memory_order_acquire) != kFilled) {
    }
}

int GlypharWriterPaths(void)
{
    return AvailableWriterPaths();
}

int GlypharUseWriters(int writers)
{
    if (writers != -1 && (writers < 0 || writers >= kWriterPaths ||
                          !(AvailableWriterPaths() & (1 << writers))))
        return 0;
    drawingPath.store(writers == -1 ? BestWriterPath() : writers, std::memory_order_relaxed);
    return 1;
}

const char *GlypharWritersName(int writers)
{
    static const char *const kNames[kWriterPaths] = {"portable", "AVX2", "AVX-512", "NEON"};
    return writers >= 0 && writers < kWriterPaths ? kNames[writers] : nullptr;
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

void GlypharCarac(SDL_Surface *surface, unsigned char c, int x, int y, float size,
                  _color fg, _color bg)
{
    Target t;
    if (!(size > 0) || !OpenTarget(surface, &t))
        return;
    DrawCharacter(t, GeometryFor(size), MakeInk(t, fg, bg), RowMask, c, x, y);
}

void GlypharCodePoint(SDL_Surface *surface, uint32_t codepoint, int x, int y, float size,
                      _color fg, _color bg)
{
    GlypharInit();
    Target t;
    if (!(size > 0) || !OpenTarget(surface, &t))
        return;
    DrawCharacter(t, GeometryFor(size), MakeInk(t, fg, bg), WholeFont, SlotOf(codepoint), x, y);
}

int GlypharHasGlyph(uint32_t codepoint)
{
    const uint8_t slot = SlotOf(codepoint);
    if (slot == kReplacementSlot)
        return codepoint == kReplacementCharacter;
    return slot >= 0x20 && slot != kBlankSlot;  // controls have none
}

void GlypharEx(SDL_Surface *surface, const char *text, _rect box, float size, _color fg,
               _color bg, int flags)
{
    GlypharInit();
    Target t;
    Grid grid;
    // A negative size lays out cells but draws none of them.
    if (text == nullptr || !(size > 0) || !MakeGrid(box, size, flags, &grid) ||
        !OpenTarget(surface, &t))
        return;
    // Rows only go down: once one starts below the clip rectangle, no later
    // byte can show.
    const int64_t lastVisibleRow = FloorDiv(t.bottom - 1 - box.y, grid.cellHeight);
    if (lastVisibleRow < 0)
        return;
    const CellGeometry &g = GeometryFor(size);
    const Ink ink = MakeInk(t, fg, bg);
    const bool utf8 = (flags & GLYPHAR_UTF8) != 0;
    LayOut<true>(reinterpret_cast<const unsigned char *>(text), grid,
                 std::min(grid.lastRow, lastVisibleRow), [&](const TextRow &row) {
               const int64_t x = box.x + row.shift, y = box.y + row.index * grid.cellHeight;
               if (utf8)
                   DrawUtf8Row(t, g, ink, row, grid.cellWidth, x, y);
               else
                   DrawCells(t, g, ink, CellRow{RowMask, row.cells, row.count, grid.cellWidth},
                             x, y);
           });
}

void Glyphar(SDL_Surface *surface, const char *text, _rect box, float size, _color fg,
             _color bg)
{
    GlypharEx(surface, text, box, size, fg, bg, 0);
}

size_t GlypharMesure(const char *text, _rect box, float size, int flags, _rect *painted)
{
    Grid grid;
    int64_t left = INT64_MAX, top = INT64_MAX, right = INT64_MIN, bottom = INT64_MIN;
    size_t used = 0;
    if (text != nullptr && size > 0 && MakeGrid(box, size, flags, &grid)) {
        // A cell paints the block the drawing's geometry gives it.
        const CellGeometry &g = GeometryFor(size);
        const int64_t blockWidth = g.cols.extent(), blockHeight = g.rows.extent();
        used = LayOut(reinterpret_cast<const unsigned char *>(text), grid, grid.lastRow,
                      [&](const TextRow &row) {
                          const int64_t x = box.x + row.shift;
                          const int64_t y = box.y + row.index * grid.cellHeight;
                          left = std::min(left, x);
                          top = std::min(top, y);
                          right = std::max(right, x + (row.count - 1) * grid.cellWidth + blockWidth);
                          bottom = std::max(bottom, y + blockHeight);
                      });
    }
    if (painted != nullptr) {
        if (left > right) {
            *painted = {box.x, box.y, 0, 0};
        } else {
            const auto saturate = [](int64_t v) {
                return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX));
            };
            *painted = {static_cast<int32_t>(left), static_cast<int32_t>(top),
                        saturate(right - left), saturate(bottom - top)};
        }
    }
    return used;
}

}  // extern "C"
