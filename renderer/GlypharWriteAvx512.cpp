// AVX-512 (BW, and VL for 16-byte stores) pixel writers, x86-64 only, each
// function built for that instruction set and chosen at run time where the
// CPU has it. They draw exactly the pixels of the portable writers, from the
// same words of bits, and only store: masked-off pixels are neither read nor
// written.

#include "GlypharWrite.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(GLYPHAR_NO_VECTOR)

#include <immintrin.h>

#include <algorithm>

namespace glyphar {

namespace {

#define GLYPHAR_AVX512 __attribute__((target("avx512bw,avx512vl,bmi,bmi2")))

//----------------------------------------------------------------------------
// AVX-512 (BW, and VL for 16-byte stores): a word's pixels under its bits as a mask, 64 bytes a store.
// Opaque words are blended from fg and bg; transparent ones store only the
// lit pixels, and masked-off pixels are neither read nor written.
//----------------------------------------------------------------------------

template <int Bytes>
GLYPHAR_AVX512 __m512i Broadcast512(uint32_t pixel)
{
    return Bytes == 1   ? _mm512_set1_epi8(static_cast<char>(pixel))
           : Bytes == 2 ? _mm512_set1_epi16(static_cast<short>(pixel))
                        : _mm512_set1_epi32(static_cast<int>(pixel));
}

// A word of bits as pixels, fg where lit and bg elsewhere (64, 32 or 16
// pixels a store); only the pixels that `stored` marks are written.
template <int Bytes>
GLYPHAR_AVX512 inline void Word512(uint8_t *dst, uint64_t lit,
                                   uint64_t stored, __m512i fg, __m512i bg)
{
    constexpr int kShift = 64 / Bytes % 64;
    if (stored == 0)
        return;
    GLYPHAR_UNROLL(4)
    for (int k = 0; k < Bytes; ++k, dst += 64, lit >>= kShift, stored >>= kShift) {
        if (Bytes == 1)
            _mm512_mask_storeu_epi8(dst, stored, _mm512_mask_blend_epi8(lit, bg, fg));
        else if (Bytes == 2)
            _mm512_mask_storeu_epi16(dst, static_cast<__mmask32>(stored),
                                     _mm512_mask_blend_epi16(static_cast<__mmask32>(lit), bg, fg));
        else
            _mm512_mask_storeu_epi32(dst, static_cast<__mmask16>(stored),
                                     _mm512_mask_blend_epi32(static_cast<__mmask16>(lit), bg, fg));
    }
}

template <int Bytes>
GLYPHAR_AVX512 __m128i Broadcast128(uint32_t pixel)
{
    return Bytes == 1   ? _mm_set1_epi8(static_cast<char>(pixel))
           : Bytes == 2 ? _mm_set1_epi16(static_cast<short>(pixel))
                        : _mm_set1_epi32(static_cast<int>(pixel));
}

// The first 16 bytes' worth of Word512, for a row that has no more.
template <int Bytes>
GLYPHAR_AVX512 inline void Store128(uint8_t *dst, uint64_t lit,
                                    uint64_t stored, __m128i fg,
                                    __m128i bg)
{
    if (Bytes == 1)
        _mm_mask_storeu_epi8(dst, static_cast<__mmask16>(stored),
                             _mm_mask_blend_epi8(static_cast<__mmask16>(lit), bg, fg));
    else if (Bytes == 2)
        _mm_mask_storeu_epi16(dst, static_cast<__mmask8>(stored),
                              _mm_mask_blend_epi16(static_cast<__mmask8>(lit), bg, fg));
    else
        _mm_mask_storeu_epi32(dst, static_cast<__mmask8>(stored),
                              _mm_mask_blend_epi32(static_cast<__mmask8>(lit), bg, fg));
}

// An opaque row of `pixels` pixels in whole cache lines: each store covers
// one aligned line, so none is split across two, and every line but the
// first and last is written whole. dst holds whole pixels from a line's
// start (its address a multiple of Bytes). (Streaming the whole lines past
// the caches, on a surface larger than them, was slower still.)
// The pixels of a line from bits: fg where lit, bg elsewhere.
template <int Bytes>
GLYPHAR_AVX512 inline __m512i Blend512(uint64_t lit, __m512i fg, __m512i bg)
{
    if (Bytes == 1)
        return _mm512_mask_blend_epi8(lit, bg, fg);
    if (Bytes == 2)
        return _mm512_mask_blend_epi16(static_cast<__mmask32>(lit), bg, fg);
    return _mm512_mask_blend_epi32(static_cast<__mmask16>(lit), bg, fg);
}

template <int Bytes>
GLYPHAR_AVX512 inline void StoreSome512(uint8_t *line, uint64_t keep, __m512i pixels)
{
    if (Bytes == 1)
        _mm512_mask_storeu_epi8(line, keep, pixels);
    else if (Bytes == 2)
        _mm512_mask_storeu_epi16(line, static_cast<__mmask32>(keep), pixels);
    else
        _mm512_mask_storeu_epi32(line, static_cast<__mmask16>(keep), pixels);
}

template <int Bytes>
GLYPHAR_AVX512 inline void AlignedRow512(uint8_t *dst, const uint64_t *bits, int64_t pixels,
                                         __m512i fg, __m512i bg)
{
    constexpr int kLanes = 64 / Bytes;
    constexpr uint64_t kAll = kLanes == 64 ? ~uint64_t{0} : (uint64_t{1} << kLanes) - 1;
    const int before = static_cast<int>(reinterpret_cast<uintptr_t>(dst) & 63) / Bytes;
    uint8_t *line = dst - before * Bytes;
    int64_t p = 0;
    if (before != 0) {  // the first line, from the row's start
        uint64_t keep = kAll << before & kAll;
        if (pixels < kLanes - before)
            keep &= (uint64_t{1} << (before + pixels)) - 1;
        StoreSome512<Bytes>(line, keep, Blend512<Bytes>(bits[0] << before, fg, bg));
        p = kLanes - before;
        line += 64;
    }
    for (; p + kLanes <= pixels; p += kLanes, line += 64)  // whole lines
        _mm512_store_si512(line, Blend512<Bytes>(BitsFrom(bits, p), fg, bg));
    if (p < pixels)  // the last line, to the row's end
        StoreSome512<Bytes>(line, (uint64_t{1} << (pixels - p)) - 1,
                            Blend512<Bytes>(BitsFrom(bits, p), fg, bg));
}

template <int Bytes, bool Opaque>
GLYPHAR_AVX512 void Rows512(uint8_t *dst, int64_t pitch,
                            const RowRuns &runs, const RowSpan &span,
                            uint32_t fgPixel, uint32_t bgPixel)
{
    const uint64_t unlitToo = Opaque ? ~uint64_t{0} : 0;
    const int64_t words = span.words;
    const uint64_t partial = span.partialWord() ? span.partialMask() : 0;
    const RowRuns local = runs;  // which the stores cannot alias
    const __m512i fg = Broadcast512<Bytes>(fgPixel), bg = Broadcast512<Bytes>(bgPixel);
    for (int r = local.first; r <= local.last; ++r) {
        const uint64_t *bits = local.BitsOf(r);
        const uint64_t last = partial != 0 ? bits[words] : 0;  // a whole row has no more
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch) {
            if (Opaque && reinterpret_cast<uintptr_t>(dst) % Bytes == 0) {
                AlignedRow512<Bytes>(dst, bits, 64 * words + span.partialPixels(), fg, bg);
                continue;
            }
            uint8_t *at = dst;
            for (int64_t w = 0; w < words; ++w, at += 64 * Bytes)
                Word512<Bytes>(at, bits[w], bits[w] | unlitToo, fg, bg);
            Word512<Bytes>(at, last, (last | unlitToo) & partial, fg, bg);
        }
    }
}

// A single narrow character: one word a row. Up to 16 bytes a row (most
// characters) go in one 16-byte store.
template <int Bytes, bool Opaque>
GLYPHAR_AVX512 void Cell512(uint8_t *dst, int64_t pitch,
                            const CellRows &cell, uint32_t fgPixel,
                            uint32_t bgPixel)
{
    const uint64_t unlitToo = Opaque ? ~uint64_t{0} : 0;
    const uint64_t shown = cell.width == 64 ? ~uint64_t{0} : (uint64_t{1} << cell.width) - 1;
    const CellRows local = cell;  // which the stores cannot alias
    const int64_t rows = cell.rows;
    if (cell.width * Bytes <= 16) {
        const __m128i fg = Broadcast128<Bytes>(fgPixel), bg = Broadcast128<Bytes>(bgPixel);
        for (int64_t k = 0; k < rows; ++k, dst += pitch) {
            const uint64_t lit = local.Word(k);
            Store128<Bytes>(dst, lit, (lit | unlitToo) & shown, fg, bg);
        }
        return;
    }
    const __m512i fg = Broadcast512<Bytes>(fgPixel), bg = Broadcast512<Bytes>(bgPixel);
    for (int64_t k = 0; k < rows; ++k, dst += pitch) {
        const uint64_t lit = local.Word(k);
        Word512<Bytes>(dst, lit, (lit | unlitToo) & shown, fg, bg);
    }
}

// A whole word, 64 pixels from pixel p of the lines, of a colour per pixel:
// Bytes stores, unrolled. (A transparent row has no bg line.)
template <int Bytes, bool Opaque>
GLYPHAR_AVX512 inline void ColouredWord512(uint8_t *dst, uint64_t word, const uint8_t *fgLine,
                                           const uint8_t *bgLine, int64_t p)
{
    constexpr int kLanes = 64 / Bytes;
    constexpr uint64_t kStore = kLanes == 64 ? ~uint64_t{0} : (uint64_t{1} << kLanes) - 1;
    GLYPHAR_UNROLL(4)
    for (int k = 0; k < Bytes; ++k) {
        const uint64_t lit = (kLanes == 64 ? word : word >> (k * kLanes)) & kStore;
        const int64_t at = p * Bytes + 64 * k;
        const __m512i fg = _mm512_loadu_si512(fgLine + at);
        if (Opaque)
            _mm512_storeu_si512(dst + 64 * k,
                                Blend512<Bytes>(lit, fg, _mm512_loadu_si512(bgLine + at)));
        else if (lit != 0)
            StoreSome512<Bytes>(dst + 64 * k, lit, fg);
    }
}

// The pixels of the lines that `keep` marks, 64 bytes from `from`; no other
// byte is read.
template <int Bytes>
GLYPHAR_AVX512 inline __m512i LoadSome512(uint64_t keep, const uint8_t *from)
{
    if (Bytes == 1)
        return _mm512_maskz_loadu_epi8(keep, from);
    if (Bytes == 2)
        return _mm512_maskz_loadu_epi16(static_cast<__mmask32>(keep), from);
    return _mm512_maskz_loadu_epi32(static_cast<__mmask16>(keep), from);
}

// The pixels of a line that `keep` marks, from the lines of colours.
template <int Bytes, bool Opaque>
GLYPHAR_AVX512 inline void ColouredLine512(uint8_t *dst, uint64_t lit, uint64_t keep,
                                           const uint8_t *fgLine, const uint8_t *bgLine)
{
    const __m512i fg = LoadSome512<Bytes>(keep, fgLine);
    if (Opaque)
        StoreSome512<Bytes>(dst, keep, Blend512<Bytes>(lit, fg, LoadSome512<Bytes>(keep, bgLine)));
    else
        StoreSome512<Bytes>(dst, lit & keep, fg);
}

// A row of a colour per pixel in whole cache lines, as AlignedRow512. The
// caller lays the lines out where the row starts within a cache line, so
// that their loads are aligned too; the first and last lines load only the
// pixels they store.
template <int Bytes, bool Opaque>
GLYPHAR_AVX512 inline void AlignedColouredRow512(uint8_t *dst, const uint64_t *bits,
                                                 int64_t pixels, const uint8_t *fgLine,
                                                 const uint8_t *bgLine)
{
    constexpr int kLanes = 64 / Bytes;
    constexpr uint64_t kAll = kLanes == 64 ? ~uint64_t{0} : (uint64_t{1} << kLanes) - 1;
    const int before = static_cast<int>(reinterpret_cast<uintptr_t>(dst) & 63) / Bytes;
    int64_t p = 0;
    if (before != 0) {  // the first line, from the row's start
        uint64_t keep = kAll << before & kAll;
        if (pixels < kLanes - before)
            keep &= (uint64_t{1} << (before + pixels)) - 1;
        const int64_t back = before * Bytes;
        ColouredLine512<Bytes, Opaque>(dst - back, bits[0] << before, keep, fgLine - back,
                                       Opaque ? bgLine - back : nullptr);
        p = kLanes - before;
    }
    for (; p + kLanes <= pixels; p += kLanes) {  // whole lines
        const uint64_t lit = BitsFrom(bits, p) & kAll;
        const __m512i fg = _mm512_loadu_si512(fgLine + p * Bytes);
        if (Opaque)
            _mm512_store_si512(dst + p * Bytes,
                               Blend512<Bytes>(lit, fg, _mm512_loadu_si512(bgLine + p * Bytes)));
        else
            StoreSome512<Bytes>(dst + p * Bytes, lit, fg);
    }
    if (p < pixels)  // the last line, to the row's end
        ColouredLine512<Bytes, Opaque>(dst + p * Bytes, BitsFrom(bits, p),
                                       (uint64_t{1} << (pixels - p)) - 1, fgLine + p * Bytes,
                                       Opaque ? bgLine + p * Bytes : nullptr);
}

// Rows with a colour per pixel: each store's pixels loaded from the lines;
// whole words unrolled, then the partial one.
template <int Bytes, bool Opaque>
GLYPHAR_AVX512 void Coloured512(uint8_t *dst, int64_t pitch, const RowRuns &runs,
                                const RowSpan &span, const uint8_t *fgLine, const uint8_t *bgLine)
{
    constexpr int kLanes = 64 / Bytes;
    constexpr uint64_t kAll = kLanes == 64 ? ~uint64_t{0} : (uint64_t{1} << kLanes) - 1;
    const int64_t whole = 64 * span.words, pixels = whole + span.partialPixels();
    const RowRuns local = runs;  // which the stores cannot alias
    for (int r = local.first; r <= local.last; ++r) {
        const uint64_t *bits = local.BitsOf(r);
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch) {
            if (reinterpret_cast<uintptr_t>(dst) % Bytes == 0) {
                AlignedColouredRow512<Bytes, Opaque>(dst, bits, pixels, fgLine, bgLine);
                continue;
            }
            for (int64_t p = 0; p < whole; p += 64)
                ColouredWord512<Bytes, Opaque>(dst + p * Bytes, bits[p >> 6], fgLine, bgLine, p);
            for (int64_t p = whole; p < pixels; p += kLanes) {
                const uint64_t lanes =
                    pixels - p >= kLanes ? kAll : (uint64_t{1} << (pixels - p)) - 1;
                const uint64_t lit = BitsFrom(bits, p) & lanes;
                const __m512i fg = _mm512_loadu_si512(fgLine + p * Bytes);
                if (Opaque) {
                    const __m512i bg = _mm512_loadu_si512(bgLine + p * Bytes);
                    StoreSome512<Bytes>(dst + p * Bytes, lanes, Blend512<Bytes>(lit, fg, bg));
                } else if (lit != 0) {
                    StoreSome512<Bytes>(dst + p * Bytes, lit, fg);
                }
            }
        }
    }
}

// Sixteen cells at a time: their three words apart by permutes, the
// colours through the channel rule in every lane at once.
// (Zero-masked shifts: GCC warns of the plain ones' undefined source.)
GLYPHAR_AVX512 inline __m512i MapChannels512(__m512i rgb, const ChannelRule &rule)
{
    const __mmask16 all = 0xFFFF;
    const __m512i byteMask = _mm512_set1_epi32(0xFF);
    __m512i value = _mm512_set1_epi32(static_cast<int>(rule.alpha));
    GLYPHAR_UNROLL(3)
    for (int c = 0; c < 3; ++c) {
        __m512i channel = _mm512_and_si512(
            _mm512_maskz_srli_epi32(all, rgb, static_cast<unsigned>(16 - 8 * c)), byteMask);
        channel = _mm512_maskz_srl_epi32(all, channel, _mm_cvtsi32_si128(rule.loss[c]));
        value = _mm512_or_si512(
            value, _mm512_maskz_sll_epi32(all, channel, _mm_cvtsi32_si128(rule.shift[c])));
    }
    return _mm512_and_si512(value, _mm512_set1_epi32(static_cast<int>(rule.mask)));
}

// A rule's moves (see ChannelRule), broadcast.
struct ChannelMoves512 {
    __m512i right[3], keep[3], alpha;
};

GLYPHAR_AVX512 inline ChannelMoves512 ChannelMovesOf(const ChannelRule &rule)
{
    ChannelMoves512 moves;
    for (int c = 0; c < 3; ++c) {
        moves.right[c] = _mm512_set1_epi32(std::max(rule.right[c], 0));
        moves.keep[c] = _mm512_set1_epi32(static_cast<int>(rule.keep[c]));
    }
    moves.alpha = _mm512_set1_epi32(static_cast<int>(rule.alpha & rule.mask));
    return moves;
}

// Where every channel moves right, a shift by vector and an and-or (one
// ternary operation) each.
template <bool AllRight>
GLYPHAR_AVX512 inline __m512i MapColours512(__m512i rgb, const ChannelRule &rule,
                                            const ChannelMoves512 &moves)
{
    if (!AllRight)
        return MapChannels512(rgb, rule);
    __m512i value = moves.alpha;
    GLYPHAR_UNROLL(3)
    for (int c = 0; c < 3; ++c)  // value | (moved & keep)
        value = _mm512_ternarylogic_epi32(
            value, _mm512_maskz_srlv_epi32(0xFFFF, rgb, moves.right[c]), moves.keep[c], 0xF8);
    return value;
}

template <bool AllRight>
GLYPHAR_AVX512 uint32_t GridCellsOf512(const GlypharCell *cells, int64_t count,
                                       const ChannelRule &rule, uint32_t *fg, uint32_t *bg,
                                       uint8_t *kind, uint8_t *low)
{
    const ChannelMoves512 moves = ChannelMovesOf(rule);
    static_assert(sizeof(GlypharCell) == 12, "three words a cell");
    // Word 3i + w of sixteen cells, from the first 32 words and the last 16.
    alignas(64) static const int32_t kFirst[3][16] = {
        {0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 0, 0, 0, 0, 0},
        {1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 0, 0, 0, 0, 0},
        {2, 5, 8, 11, 14, 17, 20, 23, 26, 29, 0, 0, 0, 0, 0, 0}};
    alignas(64) static const int32_t kThen[3][16] = {
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 17, 20, 23, 26, 29},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 18, 21, 24, 27, 30},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 16, 19, 22, 25, 28, 31}};
    __mmask16 anyShape = 0, anyTransparent = 0, allShapes = 0xFFFF, allTransparent = 0xFFFF,
              allLatin1 = 0xFFFF;
    const auto *words = reinterpret_cast<const int32_t *>(cells);
    for (int64_t k = 0; k < count; k += 16) {
        const int n = static_cast<int>(count - k < 16 ? count - k : 16);
        const __mmask16 lanes = static_cast<__mmask16>((1u << n) - 1);
        const uint64_t wordLanes = n == 16 ? ~uint64_t{0} : (uint64_t{1} << 3 * n) - 1;
        const __m512i a =
            _mm512_maskz_loadu_epi32(static_cast<__mmask16>(wordLanes), words + 3 * k);
        const __m512i b =
            _mm512_maskz_loadu_epi32(static_cast<__mmask16>(wordLanes >> 16), words + 3 * k + 16);
        const __m512i c =
            _mm512_maskz_loadu_epi32(static_cast<__mmask16>(wordLanes >> 32), words + 3 * k + 32);
        __m512i word[3];
        GLYPHAR_UNROLL(3)
        for (int w = 0; w < 3; ++w)
            word[w] = _mm512_permutex2var_epi32(
                _mm512_permutex2var_epi32(a, _mm512_load_si512(kFirst[w]), b),
                _mm512_load_si512(kThen[w]), c);
        const __m512i cp = word[0];
        const __mmask16 shape =
            _mm512_cmplt_epu32_mask(_mm512_sub_epi32(cp, _mm512_set1_epi32(0x2500)),
                                    _mm512_set1_epi32(0xA0)) |
            _mm512_cmplt_epu32_mask(_mm512_sub_epi32(cp, _mm512_set1_epi32(0x2800)),
                                    _mm512_set1_epi32(0x100));
        const __mmask16 transparent = _mm512_cmpeq_epi32_mask(word[2], _mm512_set1_epi32(-1));
        const __mmask16 latin1 =
            _mm512_cmplt_epu32_mask(cp, _mm512_set1_epi32(0x100)) &
            ~_mm512_cmplt_epu32_mask(_mm512_sub_epi32(cp, _mm512_set1_epi32(0x80)),
                                     _mm512_set1_epi32(0x20));
        anyShape |= shape & lanes;
        anyTransparent |= transparent & lanes;
        allShapes &= shape | ~lanes;
        allTransparent &= transparent | ~lanes;
        allLatin1 &= latin1 | ~lanes;
        _mm512_mask_storeu_epi32(fg + k, lanes, MapColours512<AllRight>(word[1], rule, moves));
        _mm512_mask_storeu_epi32(bg + k, lanes, MapColours512<AllRight>(word[2], rule, moves));
        const __m128i kinds =
            _mm_or_si128(_mm_maskz_set1_epi8(shape, 1), _mm_maskz_set1_epi8(transparent, 2));
        _mm_mask_storeu_epi8(kind + k, lanes, kinds);
        _mm512_mask_cvtepi32_storeu_epi8(low + k, lanes, cp);
    }
    return CellsSummary(anyShape != 0, anyTransparent != 0, allShapes == 0xFFFF,
                        allTransparent == 0xFFFF, allLatin1 == 0xFFFF);
}

GLYPHAR_AVX512 uint32_t GridCells512(const GlypharCell *cells, int64_t count,
                                     const ChannelRule &rule, uint32_t *fg, uint32_t *bg,
                                     uint8_t *kind, uint8_t *low)
{
    return rule.allRight ? GridCellsOf512<true>(cells, count, rule, fg, bg, kind, low)
                         : GridCellsOf512<false>(cells, count, rule, fg, bg, kind, low);
}

// For sixteen cells `pitch` (1 to 8) pixels apart: by store of a line, the
// cell each lane's pixel lies in (the last one past them).
template <int Lanes, class Index>
struct CellOfLane {
    Index at[9][8][Lanes];  // by pitch, store, lane

    constexpr CellOfLane() : at()
    {
        for (int pitch = 1; pitch <= 8; ++pitch)
            for (int store = 0; store < 8; ++store)
                for (int lane = 0; lane < Lanes; ++lane) {
                    const int cell = (store * Lanes + lane) / pitch;
                    at[pitch][store][lane] = static_cast<Index>(cell < 16 ? cell : 15);
                }
    }
};

alignas(64) constexpr CellOfLane<32, uint16_t> kCellOfLane16{};
alignas(64) constexpr CellOfLane<16, uint32_t> kCellOfLane32{};

// A line's lanes spread from sixteen cells' colours by the table `at`.
template <int Bytes>
GLYPHAR_AVX512 inline __m512i SpreadSixteen512(__m512i colours, __m512i at)
{
    return Bytes == 2 ? _mm512_maskz_permutexvar_epi16(~0u, at, colours)
                      : _mm512_maskz_permutexvar_epi32(0xFFFF, at, colours);
}

template <int Bytes>
GLYPHAR_AVX512 inline const void *CellOfLane512(int64_t pitch, int64_t store)
{
    return Bytes == 2 ? static_cast<const void *>(kCellOfLane16.at[pitch][store])
                      : static_cast<const void *>(kCellOfLane32.at[pitch][store]);
}

// Whole sixteens of cells but the last, at a pitch known here: the lanes'
// tables load once, and each sixteen makes a fixed number of stores.
// Returns the cells done.
template <int Bytes, int Pitch>
GLYPHAR_AVX512 int64_t WholeSixteens512(uint8_t *line, const uint32_t *pixel, int64_t count)
{
    static_assert(16 * Pitch * Bytes % 64 == 0, "stores of whole lanes");
    constexpr int kStores = 16 * Pitch * Bytes / 64;
    __m512i at[kStores];
    GLYPHAR_UNROLL(8)
    for (int store = 0; store < kStores; ++store)
        at[store] = _mm512_load_si512(CellOfLane512<Bytes>(Pitch, store));
    int64_t k = 0;
    for (; k + 16 < count; k += 16, line += 16 * Pitch * Bytes) {
        __m512i colours = _mm512_loadu_si512(pixel + k);
        if (Bytes == 2)
            colours = _mm512_castsi256_si512(_mm512_maskz_cvtepi32_epi16(0xFFFF, colours));
        GLYPHAR_UNROLL(8)
        for (int store = 0; store < kStores; ++store)
            _mm512_storeu_si512(line + store * 64, SpreadSixteen512<Bytes>(colours, at[store]));
    }
    return k;
}

// Sixteen cells at a time, their colours spread over the line by a permute
// a store. (Zero-masked forms throughout: GCC warns of the plain ones'
// undefined source.) The built-in font's pitch at size 1 (6), and 8-pixel
// fonts', have loops of their own.
template <int Bytes>
GLYPHAR_AVX512 void CellsLine512(uint8_t *line, const uint32_t *pixel, int64_t count, int64_t pitch)
{
    constexpr int kLanes = 64 / Bytes;
    const __m512i lanes = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    int64_t k = 0;
    if (pitch == 6)
        k = WholeSixteens512<Bytes, 6>(line, pixel, count);
    else if (pitch == 8)
        k = WholeSixteens512<Bytes, 8>(line, pixel, count);
    for (line += k * pitch * Bytes; k < count; k += 16, line += 16 * pitch * Bytes) {
        const int n = static_cast<int>(count - k < 16 ? count - k : 16);
        // Past the last cell, its colour again.
        __m512i colours = _mm512_maskz_permutexvar_epi32(
            0xFFFF, _mm512_maskz_min_epi32(0xFFFF, lanes, _mm512_set1_epi32(n - 1)),
            _mm512_maskz_loadu_epi32(static_cast<__mmask16>((1u << n) - 1), pixel + k));
        if (Bytes == 2)
            colours = _mm512_castsi256_si512(_mm512_maskz_cvtepi32_epi16(0xFFFF, colours));
        // The next sixteen's stores start where these cells end; the last
        // sixteen's run eight pixels on, past the last cell.
        const int64_t tail = k + 16 < count ? 0 : 8;
        const int64_t stores = (n * pitch + tail + kLanes - 1) / kLanes;
        for (int64_t store = 0; store < stores && store < 8; ++store)
            _mm512_storeu_si512(line + store * 64,
                                SpreadSixteen512<Bytes>(
                                    colours, _mm512_load_si512(CellOfLane512<Bytes>(pitch, store))));
    }
}

//----------------------------------------------------------------------------
// Glyphs at pens of their own, at size 1, sixteen rows a pass: a glyph's
// rows one to a 32-bit lane, or-ed at its pen into a column of 32-pixel
// words, each word's sixteen rows in one register (the word the glyphs are
// at and the next, kept while they move past). The column's words are then
// turned into the rows' 64-bit words. Half as many lanes to shift as with a
// 64-bit word a row. The loads may read rows past a glyph's box: a font's
// glyphs are padded for it.
//----------------------------------------------------------------------------

// The zero-masked forms below are the plain instructions: the unmasked
// intrinsics start from an undefined register, which GCC warns of.
constexpr __mmask16 kAllRows = 0xFFFF;

// Sixteen rows of a glyph, a row to a lane.
template <class Row>
GLYPHAR_AVX512 inline __m512i SixteenRows(const Row *rows)
{
    if constexpr (sizeof(Row) == 1)
        return _mm512_maskz_cvtepu8_epi32(
            kAllRows, _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows)));
    else
        return _mm512_maskz_cvtepu16_epi32(
            kAllRows, _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows)));
}

// Rows [first, first + n) of the 64-bit words [0, words), from the column's
// 32-pixel words 2q and 2q + 1 for word q.
GLYPHAR_AVX512 inline void StoreColumnWords512(uint64_t *rows, int64_t stride, int first, int n,
                                               int64_t words, const __m512i *column)
{
    // Each 128-bit lane pairs up its rows (0, 1) and (2, 3): the rows in order.
    const __m512i firstEight = _mm512_set_epi64(11, 10, 3, 2, 9, 8, 1, 0);
    const __m512i lastEight = _mm512_set_epi64(15, 14, 7, 6, 13, 12, 5, 4);
    for (int64_t q = 0; q < words; ++q) {
        const __m512i pairsA = _mm512_maskz_unpacklo_epi32(kAllRows, column[2 * q],
                                                           column[2 * q + 1]);
        const __m512i pairsB = _mm512_maskz_unpackhi_epi32(kAllRows, column[2 * q],
                                                           column[2 * q + 1]);
        alignas(64) uint64_t lanes[16];
        _mm512_store_si512(lanes, _mm512_permutex2var_epi64(pairsA, firstEight, pairsB));
        _mm512_store_si512(lanes + 8, _mm512_permutex2var_epi64(pairsA, lastEight, pairsB));
        for (int r = 0; r < n; ++r)
            rows[(first + r) * stride + q] = lanes[r];
    }
}

template <class Row, class Source>
GLYPHAR_AVX512 void GatherPlacedPass512(uint64_t *rows, int64_t stride, const uint8_t *font,
                                        int64_t glyphStride, Source glyphs, int count,
                                        int64_t origin, int64_t window, int first, int n)
{
    // The window's words and the one past it (which a writer may read),
    // after the margin.
    const int64_t words = (window + 63) / 64 + 1;
    alignas(64) __m512i column[kColumnWords];
    for (int64_t w = 0; w < kColumnMargin + 2 * words; ++w)
        column[w] = _mm512_setzero_si512();
    __m512i current = _mm512_setzero_si512(), next = current;
    int64_t index = 0;  // the word `current` holds
    for (int i = 0; i < count; ++i) {
        const GatherStep step = glyphs.Next();
        if (step.shape)
            continue;
        const __m512i lit =
            SixteenRows(reinterpret_cast<const Row *>(font + glyphStride * step.glyph) + first);
        const int64_t at = step.pen + origin + 32 * kColumnMargin;
        if (at >= window + 32 * kColumnMargin)
            break;
        if (at >> 5 != index) {
            column[index] = current;
            if (at >> 5 != index + 1) {
                column[index + 1] = next;
                next = _mm512_setzero_si512();
            }
            current = next;
            next = _mm512_setzero_si512();
            index = at >> 5;
        }
        // The shifts' counts broadcast from memory, by the loads rather
        // than the shuffle port the glyph's rows take.
        const int32_t *counts = kPenShifts.count + (at & 31);
        current = _mm512_or_si512(
            current, _mm512_maskz_sllv_epi32(kAllRows, lit, _mm512_set1_epi32(counts[0])));
        next = _mm512_or_si512(
            next, _mm512_maskz_srlv_epi32(kAllRows, lit, _mm512_set1_epi32(counts[32])));
    }
    column[index] = current;
    column[index + 1] = next;
    StoreColumnWords512(rows, stride, first, n, words, column + kColumnMargin);
}

template <class Row>
GLYPHAR_AVX512 void GatherPlaced512(uint64_t *rows, int64_t stride, const uint8_t *font,
                                    int64_t glyphStride, const GatherGlyphs &glyphs,
                                    int64_t origin, int64_t window, int first, int end)
{
    for (int chunk = first; chunk < end; chunk += 16) {
        const int n = std::min(16, end - chunk);
        if (glyphs.placed != nullptr)
            GatherPlacedPass512<Row>(rows, stride, font, glyphStride, PlacedSource{glyphs.placed},
                                     glyphs.count, origin, window, chunk, n);
        else
            GatherPlacedPass512<Row>(rows, stride, font, glyphStride,
                                     RunSource{glyphs.run, glyphs.extents, glyphs.pen},
                                     glyphs.count, origin, window, chunk, n);
    }
}

// The differing bits of four 64-byte blocks, or-ed together; `a` aligned.
GLYPHAR_AVX512 __m512i Differences512(const uint8_t *a, const uint8_t *b)
{
    __m512i d = _mm512_xor_si512(_mm512_load_si512(a), _mm512_loadu_si512(b));
    for (int k = 64; k < 256; k += 64)  // d | (a ^ b)
        d = _mm512_ternarylogic_epi64(d, _mm512_load_si512(a + k), _mm512_loadu_si512(b + k),
                                      0xF6);
    return d;
}

// Where two runs of bytes first differ. Equal stretches, most of a grid's
// update, cost one test per 256 bytes, loaded aligned on one side (loads that
// split cache lines on both sides cost half as much again); the differing
// block is then searched 64 bytes a compare.
GLYPHAR_AVX512 int64_t FirstDifference512(const uint8_t *a, const uint8_t *b, int64_t bytes)
{
    int64_t k = 0;
    if (bytes >= 320 && _mm512_cmpneq_epi8_mask(_mm512_loadu_si512(a), _mm512_loadu_si512(b)) == 0)
        for (k = 64 - static_cast<int64_t>(reinterpret_cast<uintptr_t>(a) & 63); k + 256 <= bytes;
             k += 256) {
            PrefetchBoth(a, b, k + 1024, 256);
            const __m512i d = Differences512(a + k, b + k);
            if (_mm512_test_epi64_mask(d, d) != 0)
                break;
        }
    for (; k < bytes; k += 64) {
        const uint64_t lanes = bytes - k >= 64 ? ~uint64_t{0} : (uint64_t{1} << (bytes - k)) - 1;
        const uint64_t differ = _mm512_mask_cmpneq_epi8_mask(
            lanes, _mm512_maskz_loadu_epi8(lanes, a + k), _mm512_maskz_loadu_epi8(lanes, b + k));
        if (differ != 0)
            return k + LowestBit(differ);
    }
    return bytes;
}

#undef GLYPHAR_AVX512

// 3-byte pixels are the portable writers'. The size-1 gathers are AVX2's:
// every CPU with AVX-512 has it.

}  // namespace

extern const VectorWriters kAvx512Writers = {
    {{Rows512<1, false>, Rows512<2, false>, nullptr, Rows512<4, false>},
     {Rows512<1, true>, Rows512<2, true>, nullptr, Rows512<4, true>}},
    {{Cell512<1, false>, Cell512<2, false>, nullptr, Cell512<4, false>},
     {Cell512<1, true>, Cell512<2, true>, nullptr, Cell512<4, true>}},
    {nullptr, nullptr, nullptr, nullptr},
    GatherUnscaledX86,
    {GatherPlaced512<uint8_t>, GatherPlaced512<uint16_t>},
    {{Coloured512<1, false>, Coloured512<2, false>, nullptr, Coloured512<4, false>},
     {Coloured512<1, true>, Coloured512<2, true>, nullptr, Coloured512<4, true>}},
    GridCells512,
    FirstDifference512,
    {nullptr, CellsLine512<2>, nullptr, CellsLine512<4>},
    true,
};

}  // namespace glyphar

#else

// Left out of this build: nothing, and never chosen.
extern const glyphar::VectorWriters glyphar::kAvx512Writers = {};

#endif
