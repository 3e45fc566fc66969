// The gather, private to the renderer: a window of a text row (up to
// kWindow pixels wide) becomes one bit row per glyph row, one bit per pixel,
// 64 pixels a word, holding the lit pixels of all the row's cells. Cells are
// gathered left to right, so where blocks overlap the later cell wins: an
// opaque cell owns its whole block, a transparent one only its lit pixels.
#ifndef GLYPHAR_GATHER_H
#define GLYPHAR_GATHER_H

#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharWrite.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__aarch64__) && defined(__ARM_NEON)
#include <arm_neon.h>
#endif

namespace glyphar {

// A bit row's words: the window's, and two more that a gather of whole
// bytes may write past it (a cell left of the window, a block of 16).
constexpr int64_t kRowWords = kWindow / 64 + 2;

struct BitRows {
    uint64_t word[kMaxCellHeight + 1][kRowWords];

    void Put(int row, int64_t index, uint64_t bits) { word[row][index] = bits; }

    // Word by word: GCC makes a memset of a row a `rep stos`, whose start
    // costs more than the stores.
    void Clear(int row)
    {
        GLYPHAR_UNROLL(32)
        for (int64_t w = 0; w < kRowWords; ++w)
            word[row][w] = 0;
    }
};

// A text row's glyphs: cell i shows glyph cells[i] of a face whose glyph
// rows are Row integers.
template <class Cell, class Row>
struct Glyphs {
    using RowType = Row;
    const uint8_t *font;
    int64_t stride;
    const Cell *cells;

    const Row *RowsOf(int64_t i) const
    {
        return reinterpret_cast<const Row *>(font + stride * static_cast<int64_t>(cells[i]));
    }
};

// The built-in font's cells: bytes or slots of its 16-byte glyphs.
using BuiltinGlyphs = Glyphs<unsigned char, uint8_t>;

// The cells that reach into a span of pixels.
template <class Source>
struct CellRun {
    Source glyphs;
    int64_t first, last;  // inclusive
    int64_t x;            // the first cell's left edge, relative to the span
    int64_t pitch;
};

template <class Source>
CellRun<Source> CellsInSpan(const Source &glyphs, int64_t count, int64_t pitch, int64_t x,
                            int64_t width, int64_t spanLeft, int64_t spanWidth)
{
    CellRun<Source> run{glyphs, 0, count - 1, x - spanLeft, pitch};
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
template <bool Owns, int Rows, bool Scaled, class Source>
void GatherNarrowBand(BitRows &bits, int band, const CellRun<Source> &run, int64_t window,
                      const CellGeometry &g)
{
    using Row = typename Source::RowType;
    // Locals: stores into the bit rows could otherwise alias them.
    const Source glyphs = run.glyphs;
    const int64_t last = run.last, pitch = run.pitch;
    const uint64_t block = g.block;
    const int width = static_cast<int>(g.cols.extent());
    uint64_t current[Rows], next[Rows];
    // The first cell starts at or left of the window's edge: bit 0 is its
    // offset -at, and nothing of it spills into the next word.
    int64_t at = run.x + run.first * pitch;
    const Row *rows = glyphs.RowsOf(run.first) + band;
    GLYPHAR_UNROLL(5)
    for (int r = 0; r < Rows; ++r) {
        current[r] = LitPixels<Scaled>(g, rows[r]) >> -at;
        next[r] = 0;
    }
    int64_t index = 0;  // the word `current` holds
    at += pitch;
    for (int64_t i = run.first + 1; i <= last; ++i, at += pitch) {
        rows = glyphs.RowsOf(i) + band;
        const int64_t word = at >> 6;
        if (word != index) {  // no later cell reaches back into `current`
            GLYPHAR_UNROLL(5)
            for (int r = 0; r < Rows; ++r) {
                bits.Put(band + r, index, current[r]);
                current[r] = next[r];
                next[r] = 0;
            }
            index = word;
        }
        const int shift = static_cast<int>(at & 63);
        if (shift <= 64 - width) {  // the cell lies within the word
            GLYPHAR_UNROLL(5)
            for (int r = 0; r < Rows; ++r) {
                if (Owns)
                    current[r] &= ~(block << shift);
                current[r] |= LitPixels<Scaled>(g, rows[r]) << shift;
            }
            continue;
        }
        GLYPHAR_UNROLL(5)
        for (int r = 0; r < Rows; ++r) {  // the cell straddles two words
            const uint64_t lit = LitPixels<Scaled>(g, rows[r]);
            if (Owns) {
                current[r] &= ~(block << shift);
                next[r] &= ~(block >> (64 - shift));
            }
            current[r] |= lit << shift;
            next[r] |= lit >> (64 - shift);
        }
    }
    // The cells cover the window: nothing lies past these two words.
    GLYPHAR_UNROLL(5)
    for (int r = 0; r < Rows; ++r)
        bits.Put(band + r, index, current[r]);
    if (64 * (index + 1) < window)
        GLYPHAR_UNROLL(5)
        for (int r = 0; r < Rows; ++r)
            bits.Put(band + r, index + 1, next[r]);
}

template <bool Owns, bool Scaled, class Source>
void GatherNarrowRows(BitRows &bits, int first, int end, const CellRun<Source> &run,
                      int64_t window, const CellGeometry &g)
{
    // Bands of four, the last of up to five: nine rows go in two passes.
    for (int row = first; row < end;) {
        const int left = end - row;
        switch (left > 5 ? 4 : left) {
        case 1: GatherNarrowBand<Owns, 1, Scaled>(bits, row, run, window, g); break;
        case 2: GatherNarrowBand<Owns, 2, Scaled>(bits, row, run, window, g); break;
        case 3: GatherNarrowBand<Owns, 3, Scaled>(bits, row, run, window, g); break;
        case 4: GatherNarrowBand<Owns, 4, Scaled>(bits, row, run, window, g); break;
        default: GatherNarrowBand<Owns, 5, Scaled>(bits, row, run, window, g); break;
        }
        row += left > 5 ? 4 : left;
    }
}

// Sets or clears bits [from, to) of a window's bit row, clipped to [0, limit).
inline void SetRange(uint64_t *bits, int64_t from, int64_t to, int64_t limit, bool value)
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
// lit glyph column.
template <class Source>
void GatherWide(uint64_t *bits, int64_t window, const CellRun<Source> &run, int row,
                const CellGeometry &g, bool opaque)
{
    std::memset(bits, 0, static_cast<size_t>((window + 63) / 64) * sizeof *bits);
    for (int64_t i = run.first; i <= run.last; ++i) {
        uint64_t lit = static_cast<uint64_t>(run.glyphs.RowsOf(i)[row]);
        const int64_t at = run.x + i * run.pitch;
        if (opaque)
            SetRange(bits, at, at + g.cols.extent(), window, false);
        for (; lit != 0; lit &= lit - 1) {
            const int col = LowestBit(lit);
            SetRange(bits, at + g.cols.start[col], at + g.cols.start[col + 1], window, true);
        }
    }
}

// A placed glyph's rows [first, end) put in at bit `shift` of the words
// `current` holds, what passes their end going into `next`.
template <class Row, bool Scaled>
GLYPHAR_ALWAYS_INLINE void OrPlacedRows(uint64_t *current, uint64_t *next, const Row *rows,
                                        const CellGeometry &g, int first, int end, int shift)
{
    for (int r = first; r < end; ++r) {
        const uint64_t lit = LitPixels<Scaled>(g, rows[r]);
        current[r] |= lit << shift;
        next[r] |= lit >> 1 >> (63 - shift);
    }
}

//----------------------------------------------------------------------------
// At size 1, glyph rows of one or two bytes in 128-bit registers where there
// are some (SSE2, NEON): as the AVX2 gather, a row to a 32-bit lane, four
// rows a register, or-ed at the glyphs' pens into a column of 32-pixel
// words, which become the rows' 64-bit words at the end. One shift count
// serves all of a glyph's rows.
//----------------------------------------------------------------------------
#if defined(GLYPHAR_SSE2)
#define GLYPHAR_FOUR_ROWS 1
using FourRows = __m128i;
inline FourRows NoRows() { return _mm_setzero_si128(); }
inline FourRows OrRows(FourRows a, FourRows b) { return _mm_or_si128(a, b); }
inline FourRows RowsLeft(FourRows a, int n) { return _mm_sll_epi32(a, _mm_cvtsi32_si128(n)); }
inline FourRows RowsRight(FourRows a, int n) { return _mm_srl_epi32(a, _mm_cvtsi32_si128(n)); }
inline void StoreRows(uint32_t *lanes, FourRows a)
{
    _mm_store_si128(reinterpret_cast<__m128i *>(lanes), a);
}

// Sixteen rows of a glyph, widened to a lane each.
template <class Row>
inline void SixteenRows(const Row *rows, FourRows *out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i *at = reinterpret_cast<const __m128i *>(rows);
    __m128i half[2];  // eight rows of 16 bits each
    if constexpr (sizeof(Row) == 1) {
        const __m128i bytes = _mm_loadu_si128(at);
        half[0] = _mm_unpacklo_epi8(bytes, zero);
        half[1] = _mm_unpackhi_epi8(bytes, zero);
    } else {
        half[0] = _mm_loadu_si128(at);
        half[1] = _mm_loadu_si128(at + 1);
    }
    GLYPHAR_UNROLL(2)
    for (int k = 0; k < 2; ++k) {
        out[2 * k] = _mm_unpacklo_epi16(half[k], zero);
        out[2 * k + 1] = _mm_unpackhi_epi16(half[k], zero);
    }
}
#elif defined(__aarch64__) && defined(__ARM_NEON) && !defined(__AARCH64EB__) && \
    !defined(GLYPHAR_NO_VECTOR)
#define GLYPHAR_FOUR_ROWS 1
using FourRows = uint32x4_t;
inline FourRows NoRows() { return vdupq_n_u32(0); }
inline FourRows OrRows(FourRows a, FourRows b) { return vorrq_u32(a, b); }
inline FourRows RowsLeft(FourRows a, int n) { return vshlq_u32(a, vdupq_n_s32(n)); }
inline FourRows RowsRight(FourRows a, int n) { return vshlq_u32(a, vdupq_n_s32(-n)); }
inline void StoreRows(uint32_t *lanes, FourRows a) { vst1q_u32(lanes, a); }

template <class Row>
inline void SixteenRows(const Row *rows, FourRows *out)
{
    uint16x8_t half[2];  // eight rows of 16 bits each
    if constexpr (sizeof(Row) == 1) {
        const uint8x16_t bytes = vld1q_u8(rows);
        half[0] = vmovl_u8(vget_low_u8(bytes));
        half[1] = vmovl_u8(vget_high_u8(bytes));
    } else {
        half[0] = vld1q_u16(rows);
        half[1] = vld1q_u16(rows + 8);
    }
    GLYPHAR_UNROLL(2)
    for (int k = 0; k < 2; ++k) {
        out[2 * k] = vmovl_u16(vget_low_u16(half[k]));
        out[2 * k + 1] = vmovl_u16(vget_high_u16(half[k]));
    }
}
#endif

#if defined(GLYPHAR_FOUR_ROWS)
// Box rows [first, first + 4K) (those below end) of the glyphs over a
// window: the column's words 2q and 2q + 1 make word q of each row. The
// loads may read rows past a glyph's box: a font's glyphs are padded for it.
template <class Row, int K, class Source>
void GatherColumnPass(BitRows &bits, const uint8_t *font, int64_t stride, Source glyphs,
                      int count, int64_t origin, int64_t window, int first, int end)
{
    // The window's words and the one past it (which a writer may read),
    // after the margin.
    const int64_t words = (window + 63) / 64 + 1;
    alignas(16) uint32_t column[kColumnWords][4 * K];
    std::memset(column, 0, sizeof column[0] * (kColumnMargin + 2 * words));
    FourRows current[K], next[K];
    GLYPHAR_UNROLL(4)
    for (int k = 0; k < K; ++k)
        current[k] = next[k] = NoRows();
    int64_t index = 0;  // the word `current` holds
    for (int i = 0; i < count; ++i) {
        const GatherStep step = glyphs.Next();
        if (step.shape)
            continue;
        const int64_t at = step.pen + origin + 32 * kColumnMargin;
        if (at >= window + 32 * kColumnMargin)
            break;
        FourRows lit[4];
        SixteenRows(reinterpret_cast<const Row *>(font + stride * step.glyph) + first, lit);
        if (at >> 5 != index) {  // no later glyph reaches back into `current`
            GLYPHAR_UNROLL(4)
            for (int k = 0; k < K; ++k) {
                StoreRows(column[index] + 4 * k, current[k]);
                if (at >> 5 != index + 1) {
                    StoreRows(column[index + 1] + 4 * k, next[k]);
                    next[k] = NoRows();
                }
                current[k] = next[k];
                next[k] = NoRows();
            }
            index = at >> 5;
        }
        const int shift = static_cast<int>(at & 31);
        GLYPHAR_UNROLL(4)
        for (int k = 0; k < K; ++k) {
            current[k] = OrRows(current[k], RowsLeft(lit[k], shift));
            next[k] = OrRows(next[k], RowsRight(lit[k], 32 - shift));
        }
    }
    GLYPHAR_UNROLL(4)
    for (int k = 0; k < K; ++k) {
        StoreRows(column[index] + 4 * k, current[k]);
        StoreRows(column[index + 1] + 4 * k, next[k]);
    }
    const int n = std::min(4 * K, end - first);
    const uint32_t(*inWindow)[4 * K] = column + kColumnMargin;
    for (int64_t q = 0; q < words; ++q)
        for (int r = 0; r < n; ++r)
            bits.word[first + r][q] = inWindow[2 * q][r] | uint64_t{inWindow[2 * q + 1][r]} << 32;
}

template <class Row, class Source>
void GatherColumns(BitRows &bits, const uint8_t *font, int64_t stride, Source glyphs, int count,
                   int64_t origin, int64_t window, int first, int end)
{
    for (int chunk = first; chunk < end; chunk += 16) {
        const auto pass = [&](auto rows) {
            GatherColumnPass<Row, decltype(rows)::value>(bits, font, stride, glyphs, count,
                                                         origin, window, chunk, end);
        };
        switch ((std::min(16, end - chunk) + 3) / 4) {
        case 1: pass(std::integral_constant<int, 1>{}); break;
        case 2: pass(std::integral_constant<int, 2>{}); break;
        case 3: pass(std::integral_constant<int, 3>{}); break;
        default: pass(std::integral_constant<int, 4>{}); break;
        }
    }
}
#endif

// Box rows [first, end) of placed glyphs over a window whose left edge is
// at `left`: as the narrow cells' gather, each row's word and the next kept
// while the glyphs move past them, all rows of a glyph at once; words no
// glyph reaches are blank.
template <class Row, bool Scaled, class Source>
void GatherPlaced(BitRows &bits, const uint8_t *font, int64_t stride, Source glyphs, int count,
                  int64_t left, int64_t window, const CellGeometry &g, int first, int end)
{
    const int64_t words = (window + 63) / 64, origin = g.cols.origin - left;
#if defined(GLYPHAR_FOUR_ROWS)
    if constexpr (!Scaled && sizeof(Row) <= 2) {
        GatherColumns<Row>(bits, font, stride, glyphs, count, origin, window, first, end);
        return;
    }
#endif
    uint64_t current[kMaxCellHeight], next[kMaxCellHeight];
    for (int r = first; r < end; ++r)
        current[r] = next[r] = 0;
    int64_t index = 0;  // the word `current` holds
    for (int i = 0; i < count; ++i) {
        const GatherStep step = glyphs.Next();
        if (step.shape)
            continue;
        const Row *rows = reinterpret_cast<const Row *>(font + stride * step.glyph);
        const int64_t at = step.pen + origin;
        if (at >= window)
            break;
        if (at < 0) {  // begun left of the window: its right part, if any
            if (at > -64)
                for (int r = first; r < end; ++r)
                    current[r] |= LitPixels<Scaled>(g, rows[r]) >> -at;
            continue;
        }
        const int64_t word = at >> 6;
        if (word != index) {  // no later glyph reaches back into `current`
            for (int r = first; r < end; ++r) {
                bits.word[r][index] = current[r];
                if (word != index + 1) {
                    bits.word[r][index + 1] = next[r];
                    for (int64_t w = index + 2; w < word; ++w)
                        bits.word[r][w] = 0;
                    next[r] = 0;
                }
                current[r] = next[r];
                next[r] = 0;
            }
            index = word;
        }
        OrPlacedRows<Row, Scaled>(current, next, rows, g, first, end, static_cast<int>(at & 63));
    }
    // The last two words, and blank ones to the window's end.
    for (int r = first; r < end; ++r) {
        bits.word[r][index] = current[r];
        bits.word[r][index + 1] = next[r];
        for (int64_t w = index + 2; w < words; ++w)
            bits.word[r][w] = 0;
    }
}

// The same for boxes more than a word across: a glyph row's bits in runs,
// one per lit glyph column.
template <class Row>
void GatherPlacedWide(BitRows &bits, const uint8_t *font, int64_t stride,
                      const PlacedGlyph *glyphs, int count, int64_t left, int64_t window,
                      const CellGeometry &g, int first, int end)
{
    for (int r = first; r < end; ++r) {
        uint64_t *row = bits.word[r];
        std::memset(row, 0, static_cast<size_t>((window + 63) / 64) * sizeof *row);
        for (int i = 0; i < count; ++i) {
            if (glyphs[i].shape)
                continue;
            const int64_t at = glyphs[i].pen + g.cols.origin - left;
            const Row *rows = reinterpret_cast<const Row *>(font + stride * glyphs[i].glyph);
            for (uint64_t lit = static_cast<uint64_t>(rows[r]); lit != 0; lit &= lit - 1) {
                const int col = LowestBit(lit);
                SetRange(row, at + g.cols.start[col], at + g.cols.start[col + 1], window, true);
            }
        }
    }
}

// At size 1, cells 8, 16, 32 or 64 pixels wide side by side are whole bytes
// of the bit rows: each glyph row is copied in place, then the rows move by
// the bits the first cell starts left of the window. On a little-endian
// machine only, where a word's first byte holds its first eight pixels.
constexpr bool kLittleEndian = SDL_BYTEORDER == SDL_LIL_ENDIAN;

#if defined(GLYPHAR_SSE2)
// Pairs of rows interleaved in units of Unit bytes: their low halves, or
// their high ones.
template <int Unit, bool High>
GLYPHAR_ALWAYS_INLINE __m128i Interleave(__m128i a, __m128i b)
{
    if constexpr (Unit == 1)
        return High ? _mm_unpackhi_epi8(a, b) : _mm_unpacklo_epi8(a, b);
    else if constexpr (Unit == 2)
        return High ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b);
    else if constexpr (Unit == 4)
        return High ? _mm_unpackhi_epi32(a, b) : _mm_unpacklo_epi32(a, b);
    else
        return High ? _mm_unpackhi_epi64(a, b) : _mm_unpacklo_epi64(a, b);
}

// n = 16 / Bytes rows of n elements of Bytes bytes, transposed: element j of
// row i goes to element i of row j. Each stage interleaves rows `apart`
// apart in units twice as wide as the stage before, from Bytes to halves.
template <int Bytes, int Unit = Bytes>
GLYPHAR_ALWAYS_INLINE void Transpose(__m128i v[16 / Bytes])
{
    constexpr int kRows = 16 / Bytes, kApart = Unit / Bytes;
    __m128i t[kRows];
    GLYPHAR_UNROLL(16)
    for (int block = 0; block < kRows; block += 2 * kApart)
        GLYPHAR_UNROLL(8)
        for (int j = 0; j < kApart; ++j) {
            t[block + 2 * j] = Interleave<Unit, false>(v[block + j], v[block + j + kApart]);
            t[block + 2 * j + 1] = Interleave<Unit, true>(v[block + j], v[block + j + kApart]);
        }
    GLYPHAR_UNROLL(16)
    for (int k = 0; k < kRows; ++k)
        v[k] = t[k];
    if constexpr (Unit < 8)
        Transpose<Bytes, 2 * Unit>(v);
}
#endif

template <class Source>
void CopyWholeBytes(BitRows &bits, const CellRun<Source> &run, int64_t cells, int first, int end)
{
    using Row = typename Source::RowType;
    constexpr int64_t kRowBytes = kRowWords * 8;
    uint8_t *const base = reinterpret_cast<uint8_t *>(bits.word[0]);
    int64_t i = 0;
#if defined(GLYPHAR_SSE2)
    // n = 16 / sizeof(Row) cells by n glyph rows at once: each cell's rows
    // one load (the font's glyphs are padded for the last one's), each glyph
    // row's cells one store.
    constexpr int kBlock = 16 / static_cast<int>(sizeof(Row));
    for (; i < cells; i += kBlock) {
        const int64_t n = std::min<int64_t>(kBlock, cells - i);
        for (int r = first; r < end; r += kBlock) {
            __m128i v[kBlock];
            GLYPHAR_UNROLL(16)
            for (int k = 0; k < kBlock; ++k)
                v[k] = k < n ? _mm_loadu_si128(reinterpret_cast<const __m128i *>(
                                   run.glyphs.RowsOf(run.first + i + k) + r))
                             : _mm_setzero_si128();
            Transpose<sizeof(Row)>(v);
            const int rows = std::min(kBlock, end - r);
            for (int k = 0; k < rows; ++k)
                _mm_storeu_si128(reinterpret_cast<__m128i *>(base + (r + k) * kRowBytes +
                                                             i * static_cast<int64_t>(sizeof(Row))),
                                 v[k]);
        }
    }
    return;
#endif
    for (; i < cells; ++i) {
        const Row *rows = run.glyphs.RowsOf(run.first + i);
        uint8_t *dst = base + first * kRowBytes + i * static_cast<int64_t>(sizeof(Row));
        for (int r = first; r < end; ++r, dst += kRowBytes)
            std::memcpy(dst, rows + r, sizeof(Row));
    }
}

template <class Source>
void GatherWholeBytes(BitRows &bits, const CellRun<Source> &run, int64_t window, int first,
                      int end)
{
    using Row = typename Source::RowType;
    constexpr int64_t kWidth = 8 * sizeof(Row);
    const int64_t at = run.x + run.first * run.pitch;  // -kWidth < at <= 0
    const int64_t cells = std::min(run.last - run.first + 1, (window - at + kWidth - 1) / kWidth);
    // The word the last cell ends in is written whole.
    const int64_t written = (cells * static_cast<int64_t>(sizeof(Row)) + 7) / 8;
    for (int r = first; r < end; ++r)
        bits.word[r][written - 1] = 0;
    CopyWholeBytes(bits, run, cells, first, end);
    if (at == 0)
        return;
    const int shift = static_cast<int>(-at);
    const int64_t words = (window + 63) / 64;
    for (int r = first; r < end; ++r) {
        uint64_t *w = bits.word[r];
        for (int64_t j = 0; j < words; ++j)
            w[j] = w[j] >> shift | (j + 1 < written ? w[j + 1] << (64 - shift) : 0);
    }
}

// Glyph rows first to last (the last may be the blank row past the grid)
// of a window's cells.
template <class Source>
GLYPHAR_NOINLINE void GatherWindow(BitRows &bits, const CellRun<Source> &run, int64_t window,
                                   const CellGeometry &g, int first, int last, bool owns,
                                   bool opaque)
{
    const int end = std::min(last, g.height - 1) + 1;
    if constexpr (kLittleEndian && !std::is_same_v<Source, BuiltinGlyphs>) {
        using Row = typename Source::RowType;
        if (g.unscaled && g.width == 8 * static_cast<int>(sizeof(Row)) && run.pitch == g.width) {
            GatherWholeBytes(bits, run, window, first, end);
            if (last == g.height)
                bits.Clear(last);
            return;
        }
    }
    if (!g.narrow) {
        for (int row = first; row < end; ++row)
            GatherWide(bits.word[row], window, run, row, g, opaque);
    } else if (g.unscaled) {  // each glyph row is its own lit pixels
        if (owns)
            GatherNarrowRows<true, false>(bits, first, end, run, window, g);
        else
            GatherNarrowRows<false, false>(bits, first, end, run, window, g);
    } else if (owns) {
        GatherNarrowRows<true, true>(bits, first, end, run, window, g);
    } else {
        GatherNarrowRows<false, true>(bits, first, end, run, window, g);
    }
    if (last == g.height)  // past the grid: blank in every glyph
        bits.Clear(last);
}

}  // namespace glyphar

#endif  // GLYPHAR_GATHER_H
