// Pixel writers, private to the renderer: one per pixel size, chosen once
// per text row, and the tables of the vector ones (AVX2, AVX-512, NEON),
// each built in a file of its own for its instruction set. Every writer
// draws the same pixels from the same words of bits, 64 pixels a word, bit 0
// leftmost, and none reads the surface.
#ifndef GLYPHAR_WRITE_H
#define GLYPHAR_WRITE_H

#include "Glyphar.h"
#include "GlypharFonts.h"
#include "GlypharInline.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(_MSC_VER)
#include <intrin.h>
#endif

// SSE2, which every x86-64 CPU has: the portable code uses it where plain
// words would do half as much a step.
#if defined(__SSE2__) && !defined(GLYPHAR_NO_VECTOR)
#include <emmintrin.h>
#define GLYPHAR_SSE2 1
#endif

namespace glyphar {

// Asks for the cache lines of [at, at + bytes) of two runs a compare is
// about to read, where the compiler has a way to.
inline void PrefetchBoth(const uint8_t *a, const uint8_t *b, int64_t at, int64_t bytes)
{
#if defined(__GNUC__)
    for (int64_t line = 0; line < bytes; line += 64) {
        __builtin_prefetch(a + at + line);
        __builtin_prefetch(b + at + line);
    }
#else
    (void)a, (void)b, (void)at, (void)bytes;
#endif
}

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

// The index of the highest set bit of a nonzero word.
inline int HighestBit(uint64_t word)
{
#if defined(__GNUC__)
    return 63 - __builtin_clzll(word);
#elif defined(_MSC_VER) && defined(_WIN64)
    unsigned long at;
    _BitScanReverse64(&at, word);
    return static_cast<int>(at);
#else
    int at = 63;
    for (; !(word >> 63); word <<= 1)
        --at;
    return at;
#endif
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
        GLYPHAR_UNROLL(4)
        for (int w = 0; w < Bytes; ++w)
            words[w] = lane * (~uint64_t{0} / static_cast<Lane>(~Lane{0}));
    }
}

// The 64 pixels of a row of bits from pixel p on, for stores that start
// where the row's words do not; p may be negative (down to -63), and then
// the first -p pixels are none.
inline uint64_t BitsFrom(const uint64_t *bits, int64_t p)
{
    if (p < 0)
        return bits[0] << -p;
    const uint64_t *w = bits + (p >> 6);
    const int shift = static_cast<int>(p & 63);
    return shift == 0 ? w[0] : w[0] >> shift | w[1] << (64 - shift);
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

// The widest window a row is drawn in. 18 words, 192 of the built-in
// font's cells at size 1: every window of a row that starts on a cell then
// starts on one, where the vector gathers take whole words at once.
constexpr int64_t kWindow = 1152;
static_assert(kWindow % 64 == 0, "windows hold whole words");

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


enum WriterPath { kPortable = 0, kAvx2 = 1, kAvx512 = 2, kNeon = 3, kWriterPaths = 4 };

// A window's rows of pixels, from its bit rows.
using RowsWriter = void (*)(uint8_t *dst, int64_t pitch, const RowRuns &runs, const RowSpan &span,
                            uint32_t fg, uint32_t bg);
// One narrow character's rows.
using CellWriter = void (*)(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                            uint32_t bg);
// Whole words of 64 opaque pixels of one row.
using WordsWriter = void (*)(uint8_t *dst, const uint64_t *bits, int64_t words, uint32_t fg,
                             uint32_t bg);
// A window's rows with a colour per pixel (a character grid's cells each
// have their own): fg and bg hold the window's pixels in each colour, as the
// surface stores them, with 64 bytes to spare past the window; a null bg
// leaves unlit pixels alone.
using ColouredRowsWriter = void (*)(uint8_t *dst, int64_t pitch, const RowRuns &runs,
                                    const RowSpan &span, const uint8_t *fg, const uint8_t *bg);
// A format without a palette, little-endian, as a character grid maps its
// cells' colours: each channel's top bits at its place, the alpha, and the
// mask of the pixel's bytes.
struct ChannelRule {
    int loss[3], shift[3];
    uint32_t alpha, mask;
    // The same as moves: channel c shifted right by right[c] and kept where
    // keep[c] is set. In the usual formats every channel moves right or
    // stays (allRight), and vectors map it so in two operations.
    int right[3];
    uint32_t keep[3];
    bool allRight;
};

// What GridCellsWriter finds of all of a grid's cells together.
constexpr uint32_t kAnyShape = 1, kAnyTransparent = 2, kAllShapes = 4, kAllTransparent = 8;
constexpr uint32_t kAllLatin1 = 16;  // every code point below U+0100 and none a C1 control

inline uint32_t CellsSummary(bool anyShape, bool anyTransparent, bool allShapes,
                             bool allTransparent, bool allLatin1)
{
    return (anyShape ? kAnyShape : 0u) | (anyTransparent ? kAnyTransparent : 0u) |
           (allShapes ? kAllShapes : 0u) | (allTransparent ? kAllTransparent : 0u) |
           (allLatin1 ? kAllLatin1 : 0u);
}

// A run of a grid's cells made ready for drawing: each one's colours as
// stored, whether it is a shape (1) and transparent (2), and its code
// point's low byte; returns the summary.
using GridCellsWriter = uint32_t (*)(const GlypharCell *cells, int64_t count,
                                     const ChannelRule &rule, uint32_t *fg, uint32_t *bg,
                                     uint8_t *kind, uint8_t *low);
// A line of pixels for `count` cells `pitch` (1 to 8) pixels apart: pixel i
// takes the colour of cell i / pitch, and up to 8 pixels past the last
// cell's pitch that of the last cell; what lies further may be written too.
using CellsLineWriter = void (*)(uint8_t *line, const uint32_t *pixel, int64_t count,
                                 int64_t pitch);
// Where two runs of bytes first differ (bytes where they do not): how a
// grid's update finds the cells that changed.
using FirstDifferenceFinder = int64_t (*)(const uint8_t *a, const uint8_t *b, int64_t bytes);
// The built-in font's gather at size 1 (see GlypharGather.h).
using UnscaledGather = void (*)(uint64_t *rows, int64_t stride, const uint8_t (*font)[16],
                                const unsigned char *cells, int64_t count, int64_t at,
                                int64_t window);

// AVX2's, for x86-64 CPUs with AVX2 or AVX-512.
void GatherUnscaledX86(uint64_t *rows, int64_t stride, const uint8_t (*font)[16],
                       const unsigned char *cells, int64_t count, int64_t at, int64_t window);

// Glyphs at pens of their own, at size 1, of glyph rows of 1 or 2 bytes:
// rows [first, end) of their boxes, glyph i's starting at pen + origin in a
// window of `window` pixels (see GatherPlaced in GlypharGather.h).
struct PlacedGlyph {
    int64_t pen, block;   // its block: ceil(advance * size) wide
    uint32_t glyph;
    bool shape, inkOnly;  // a shape has no glyph; ink only: its block is not painted
};

// What such a gather takes: placed glyphs, or a run of a row's glyphs side
// by side at size 1, none a shape, each pen the one before moved on by that
// glyph's advance (which spares placing them one by one).
struct GatherGlyphs {
    const PlacedGlyph *placed;  // nullptr for a run
    const uint32_t *run;
    const GlyphExtent *extents;
    int64_t pen;  // the run's first
    int count;
};

// Gathers read either one glyph at a time: its index and pen; a shape has
// no rows to gather. A run goes on past the window; gathers stop at the first
// pen past it.
struct GatherStep {
    uint32_t glyph;
    int64_t pen;
    bool shape;
};

struct PlacedSource {
    const PlacedGlyph *at;

    GLYPHAR_ALWAYS_INLINE GatherStep Next()
    {
        const PlacedGlyph &placed = *at++;
        return {placed.glyph, placed.pen, placed.shape};
    }
};

struct RunSource {
    const uint32_t *at;
    const GlyphExtent *extents;
    int64_t pen;

    GLYPHAR_ALWAYS_INLINE GatherStep Next()
    {
        const uint32_t glyph = *at++;
        const GatherStep step{glyph, pen, false};
        pen += extents[glyph].advance;
        return step;
    }
};

// The vector gathers' shift counts for a glyph at bit b of a 32-bit word:
// b, then 32 - b (what passes into the next word), 32 entries apart, for
// broadcasting from memory.
struct PenShifts {
    int32_t count[64];
    constexpr PenShifts() : count()
    {
        for (int b = 0; b < 32; ++b) {
            count[b] = b;
            count[32 + b] = 32 - b;
        }
    }
};
inline constexpr PenShifts kPenShifts{};

// The vector gathers' column of 32-pixel words: a margin, then a window's
// 64-bit words and the one past it, two each. Every glyph a gather is given
// reaches into the window, and its box is at most 16 pixels wide, so it
// begins in the margin at the furthest: one begun left of the window needs
// no case of its own.
constexpr int64_t kColumnMargin = 1;
constexpr int64_t kColumnWords = kColumnMargin + 2 * (kWindow / 64 + 1);

using PlacedGather = void (*)(uint64_t *rows, int64_t stride, const uint8_t *font,
                              int64_t glyphStride, const GatherGlyphs &glyphs, int64_t origin,
                              int64_t window, int first, int end);

// A set of vector writers, by transparent (0) or opaque (1), then bytes per
// pixel less one; nullptr where the portable writer does the work.
struct VectorWriters {
    RowsWriter rows[2][4];
    CellWriter cells[2][4];
    WordsWriter opaqueWords[4];
    UnscaledGather gatherUnscaled;
    PlacedGather gatherPlaced[2];  // glyph rows of 1 and 2 bytes
    ColouredRowsWriter coloured[2][4];
    GridCellsWriter gridCells;
    FirstDifferenceFinder firstDifference;
    CellsLineWriter cellsLine[4];
    bool built;  // false for a set this build leaves out: then all is nullptr
};

// Each vector file's set, and the set of each path (none for the portable
// one): a look in a table, for a single character's sake.
extern const VectorWriters kAvx2Writers, kAvx512Writers, kNeonWriters;
inline constexpr const VectorWriters *kVectorWriterSets[kWriterPaths] = {
    nullptr, &kAvx2Writers, &kAvx512Writers, &kNeonWriters};

inline const VectorWriters *VectorWritersOf(int path)
{
    return kVectorWriterSets[path];
}

// The writers drawing uses: the best the CPU has, unless a test or a
// benchmark has asked for others (GlypharUseWriters); -1 until the first
// drawing or choice.
extern std::atomic<int> drawingPath;
int FirstWriterPath();

// 3-byte pixels always go the portable way.
inline int WriterPathFor(int bytesPerPixel)
{
    if (bytesPerPixel == 3)
        return kPortable;
    const int path = drawingPath.load(std::memory_order_relaxed);
    return path >= 0 ? path : FirstWriterPath();
}

inline const VectorWriters *VectorWritersFor(int bytesPerPixel)
{
    return VectorWritersOf(WriterPathFor(bytesPerPixel));
}

// Copies `Pixels` pixels of `Bytes` bytes to pixel offset k for each bit k
// set in `starts`. Four a step: a quarter of the loop's branches, and a
// step's stores go out together. The highest start is kept as a floor under
// the lookups, so a step with fewer than four left stores it again, with no
// branch on how many are left: only those pixels are written, some twice.
template <int Bytes, int Pixels>
inline void StoreAtEach(uint8_t *dst, uint64_t starts, const uint8_t *pixels)
{
    if (starts == 0)
        return;
    const uint64_t last = uint64_t{1} << HighestBit(starts);
    do {
        // Offsets as full words, so that each store's address is one
        // scaled index rather than a multiply and a widening.
        size_t at[4];
        GLYPHAR_UNROLL(4)
        for (int k = 0; k < 4; ++k) {
            at[k] = static_cast<size_t>(LowestBit(starts | last));
            starts &= starts - 1;
        }
        GLYPHAR_UNROLL(4)
        for (int k = 0; k < 4; ++k)
            std::memcpy(dst + at[k] * Bytes, pixels, Pixels * Bytes);
    } while (starts != 0);
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
    RowsWriter vectorRows;    // a vector path's whole window, or nullptr
    WordsWriter vectorWords;  // a vector path's whole words of a row, or nullptr

    // The eights are made where they are used: a vector path needs none.
    explicit OpaqueWriter(const Ink &ink) : bg(), diff(), fgPixel(ink.fg), bgPixel(ink.bg)
    {
        const VectorWriters *vector = VectorWritersFor(Bytes);
        vectorRows = vector != nullptr ? vector->rows[1][Bytes - 1] : nullptr;
        vectorWords = vector != nullptr ? vector->opaqueWords[Bytes - 1] : nullptr;
    }

    // The eight pixels of the low byte of bits, as Bytes words.
    struct Eight {
        uint64_t word[Bytes];
    };

    Eight PixelsOf(uint64_t bits) const
    {
        const uint8_t *mask = kByteMasks<Bytes>.mask[bits & 0xFF];
        Eight pixels;
        GLYPHAR_UNROLL(4)
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
        if (vectorRows != nullptr)
            vectorRows(dst, pitch, runs, span, fgPixel, bgPixel);
        else
            RowsOneByOne(WithEights(), dst, pitch, runs, span);
    }

    // A single character's rows, one by one.
    GLYPHAR_ALWAYS_INLINE void Cell(uint8_t *dst, int64_t pitch, const CellRows &cell) const
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
        if (vectorWords != nullptr) {
            vectorWords(dst, bits, span.words, fgPixel, bgPixel);
            Partial(dst + span.words * 64 * Bytes, bits + span.words, span);
            return;
        }
        for (int64_t w = 0; w < span.words; ++w)
            GLYPHAR_UNROLL(8)
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
    RowsWriter vectorRows;       // a vector path's whole window, or nullptr
    uint8_t fgTwice[2 * Bytes];  // two pixels, for a lit pair

    explicit StrokeWriter(const Ink &ink) : fg(ink.fg)
    {
        const VectorWriters *vector = VectorWritersFor(Bytes);
        vectorRows = vector != nullptr ? vector->rows[0][Bytes - 1] : nullptr;
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
        if (vectorRows != nullptr)
            vectorRows(dst, pitch, runs, span, fg, fg);
        else
            RowsOneByOne(*this, dst, pitch, runs, span);
    }

    // A single character's rows, one by one.
    GLYPHAR_ALWAYS_INLINE void Cell(uint8_t *dst, int64_t pitch, const CellRows &cell) const
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

// Rows with a colour per pixel, from lines of pixels (see
// ColouredRowsWriter): opaque eight at a time as OpaqueWriter, with the
// eight's own colours; transparent one lit pixel at a time.
template <int Bytes>
struct ColouredWriter {
    const uint8_t *fg, *bg;  // bg nullptr: transparent
    const uint8_t *diff = nullptr;  // fg ^ bg over the span's whole words, or nullptr
    ColouredRowsWriter vectorRows;

    ColouredWriter(const uint8_t *fgLine, const uint8_t *bgLine) : fg(fgLine), bg(bgLine)
    {
        const VectorWriters *vector = VectorWritersFor(Bytes);
        vectorRows = vector != nullptr ? vector->coloured[bg != nullptr][Bytes - 1] : nullptr;
    }

    // Opaque rows blend as bg ^ ((fg ^ bg) & lit): the line of differences
    // is made once for all of a window's rows, which then load two lines,
    // not three.
    void Rows(uint8_t *dst, int64_t pitch, const RowRuns &runs, const RowSpan &span) const
    {
        if (vectorRows != nullptr) {
            vectorRows(dst, pitch, runs, span, fg, bg);
            return;
        }
        if (bg == nullptr || span.words == 0 || span.words * 64 > kWindow) {
            RowsOneByOne(*this, dst, pitch, runs, span);
            return;
        }
        alignas(16) uint8_t differences[kWindow * Bytes];
        for (int64_t k = 0; k < span.words * 64 * Bytes; k += 8) {
            uint64_t f, b;
            std::memcpy(&f, fg + k, 8);
            std::memcpy(&b, bg + k, 8);
            f ^= b;
            std::memcpy(differences + k, &f, 8);
        }
        ColouredWriter withDifferences = *this;
        withDifferences.diff = differences;
        RowsOneByOne(withDifferences, dst, pitch, runs, span);
    }

    static bool Lit(const uint64_t *bits, int64_t p) { return (bits[p >> 6] >> (p & 63)) & 1; }

    // Opaque pixels [p, p + 8) from the low byte of bits: from the fg line,
    // or through the line of differences (pixels of whole words only).
    template <bool Differences = false>
    void Eight(uint8_t *dst, int64_t p, uint64_t bits) const
    {
        const uint8_t *mask = kByteMasks<Bytes>.mask[bits & 0xFF];
        const uint8_t *ink = Differences ? diff : fg;
#if defined(GLYPHAR_SSE2)
        if constexpr (Bytes % 2 == 0) {  // 16 bytes a step
            GLYPHAR_UNROLL(2)
            for (int w = 0; w < Bytes / 2; ++w) {
                const int64_t at = p * Bytes + 16 * w;
                const __m128i m = _mm_loadu_si128(reinterpret_cast<const __m128i *>(mask + 16 * w));
                const __m128i i = _mm_loadu_si128(reinterpret_cast<const __m128i *>(ink + at));
                const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(bg + at));
                _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + at),
                                 Differences ? _mm_xor_si128(b, _mm_and_si128(i, m))
                                             : _mm_or_si128(_mm_and_si128(m, i),
                                                            _mm_andnot_si128(m, b)));
            }
            return;
        }
#endif
        GLYPHAR_UNROLL(4)
        for (int w = 0; w < Bytes; ++w) {
            uint64_t m, i, b;
            std::memcpy(&m, mask + 8 * w, 8);
            std::memcpy(&i, ink + p * Bytes + 8 * w, 8);
            std::memcpy(&b, bg + p * Bytes + 8 * w, 8);
            b ^= (Differences ? i : i ^ b) & m;
            std::memcpy(dst + p * Bytes + 8 * w, &b, 8);
        }
    }

    void Row(uint8_t *dst, const uint64_t *bits, const RowSpan &span) const
    {
        const int64_t pixels = 64 * span.words + span.partialPixels();
        if (bg == nullptr) {
            for (int64_t w = 0; 64 * w < pixels; ++w) {
                uint64_t lit = bits[w];
                if (pixels - 64 * w < 64)
                    lit &= (uint64_t{1} << (pixels - 64 * w)) - 1;
                for (; lit != 0; lit &= lit - 1) {
                    const int64_t at = (64 * w + LowestBit(lit)) * Bytes;
                    std::memcpy(dst + at, fg + at, Bytes);
                }
            }
            return;
        }
        int64_t p = 0;
        if (diff != nullptr) {
            for (; p + 64 <= pixels; p += 64) {  // a word of bits at a time
                const uint64_t word = bits[p >> 6];
                GLYPHAR_UNROLL(8)
                for (int k = 0; k < 8; ++k)
                    Eight<true>(dst, p + 8 * k, word >> 8 * k);
            }
        }
        for (; p + 64 <= pixels; p += 64) {
            const uint64_t word = bits[p >> 6];
            GLYPHAR_UNROLL(8)
            for (int k = 0; k < 8; ++k)
                Eight(dst, p + 8 * k, word >> 8 * k);
        }
        for (; p + 8 <= pixels; p += 8)
            Eight(dst, p, bits[p >> 6] >> (p & 63));
        for (; p < pixels; ++p)
            std::memcpy(dst + p * Bytes, (Lit(bits, p) ? fg : bg) + p * Bytes, Bytes);
    }
};

// The portable cell writers, by transparent or opaque and bytes per pixel.
extern const CellWriter kPortableCells[2][4];

// One narrow character's writer: a character grid draws one per call, so
// the choice is a look in a table rather than the writers' own.
inline CellWriter CellWriterFor(int bytesPerPixel, bool opaque)
{
    const VectorWriters *vector = VectorWritersFor(bytesPerPixel);
    const CellWriter own = vector != nullptr ? vector->cells[opaque][bytesPerPixel - 1] : nullptr;
    return own != nullptr ? own : kPortableCells[opaque][bytesPerPixel - 1];
}

}  // namespace glyphar

#endif  // GLYPHAR_WRITE_H
