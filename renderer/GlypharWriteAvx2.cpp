// AVX2 pixel writers and the built-in font's size-1 gather, x86-64 only,
// each function built for AVX2 (with BMI1 and BMI2) and chosen at run time
// where the CPU has it. They draw exactly the pixels of the portable
// writers, from the same words of bits, and only store.

#include "GlypharWrite.h"

#if defined(__x86_64__) && defined(__GNUC__) && !defined(GLYPHAR_NO_VECTOR)

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace glyphar {

#define GLYPHAR_AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace {

//----------------------------------------------------------------------------
// AVX2: 32 bytes a store (32, 16 or 8 pixels), each lane's mask made from
// its bit. Opaque words are blended from fg and bg; transparent words of
// 4-byte pixels go through a masked store, and 2-byte ones through it in
// pairs (AVX2 has none for smaller lanes; 1-byte transparent rows are the
// portable writer's, which stores lit pixels one by one).
//----------------------------------------------------------------------------

template <int Bytes>
GLYPHAR_AVX2 __m256i Broadcast256(uint32_t pixel)
{
    return Bytes == 1   ? _mm256_set1_epi8(static_cast<char>(pixel))
           : Bytes == 2 ? _mm256_set1_epi16(static_cast<short>(pixel))
                        : _mm256_set1_epi32(static_cast<int>(pixel));
}

// All ones in each lane whose bit is set, lane k taking bit k of `bits`.
template <int Bytes>
GLYPHAR_AVX2 inline __m256i LaneMasks256(uint32_t bits)
{
    if (Bytes == 4) {
        const __m256i lanes = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        return _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), lanes),
                                  lanes);
    }
    if (Bytes == 2) {
        const __m256i lanes = _mm256_setr_epi16(1, 2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048,
                                                4096, 8192, 16384, -32768);
        return _mm256_cmpeq_epi16(_mm256_and_si256(_mm256_set1_epi16(static_cast<short>(bits)), lanes),
                                  lanes);
    }
    // Each byte lane takes the byte of `bits` that holds its bit.
    const __m256i spread = _mm256_shuffle_epi8(
        _mm256_set1_epi32(static_cast<int>(bits)),
        _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3,
                         3, 3, 3, 3, 3, 3, 3));
    const __m256i lanes = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
    return _mm256_cmpeq_epi8(_mm256_and_si256(spread, lanes), lanes);
}

// Stores the first n (fewer than 32) bytes of v.
GLYPHAR_AVX2 inline void StoreFirstBytes256(uint8_t *dst, __m256i v, int n)
{
    __m128i half = _mm256_castsi256_si128(v);
    if (n & 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), half);
        half = _mm256_extracti128_si256(v, 1);
        dst += 16;
    }
    uint64_t low = static_cast<uint64_t>(_mm_cvtsi128_si64(half));
    if (n & 8) {
        std::memcpy(dst, &low, 8);
        low = static_cast<uint64_t>(_mm_extract_epi64(half, 1));
        dst += 8;
    }
    StoreFirstBytes(dst, low, n & 7);
}

// Transparent 2-byte pixels: the masked store has 4-byte lanes, so lit
// pixels with a lit neighbour go through it in pairs, twice (pairs from even
// offsets, then, one pixel on, pairs from odd ones); only lone lit pixels
// are stored one by one.
// The pairs among sixteen pixels from offset k.
GLYPHAR_AVX2 inline void PairsFrom256(uint8_t *dst, uint64_t even, uint64_t odd, int k,
                                      __m256i fg)
{
    const uint32_t evenHere = static_cast<uint32_t>(even >> k) & 0xFFFF;
    const uint32_t oddHere = static_cast<uint32_t>(odd >> k) & 0xFFFF;
    // A lane's mask is its top bit: the second pixel of the pair.
    _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + 2 * k), LaneMasks256<2>(evenHere << 1),
                           fg);
    _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + 2 * k + 2), LaneMasks256<2>(oddHere), fg);
}

GLYPHAR_AVX2 inline void PairsWord256(uint8_t *dst, uint64_t word,
                                      __m256i fg, uint32_t fgPixel)
{
    const uint64_t both = word & (word >> 1);  // pixel k and k + 1 lit
    const uint64_t even = both & 0x5555555555555555u, odd = both & 0xAAAAAAAAAAAAAAAAu;
    // Sixteen pixels a step, unrolled by hand, up to the last with a pair.
    if (GLYPHAR_LIKELY(both != 0)) {
        PairsFrom256(dst, even, odd, 0, fg);
        if (both >> 16 != 0) {
            PairsFrom256(dst, even, odd, 16, fg);
            if (both >> 32 != 0) {
                PairsFrom256(dst, even, odd, 32, fg);
                if (both >> 48 != 0)
                    PairsFrom256(dst, even, odd, 48, fg);
            }
        }
    }
    StoreAtEach<2, 1>(dst, word & ~(both | both << 1), reinterpret_cast<const uint8_t *>(&fgPixel));
}

// `bytes` bytes of pixels from a word of bits (all 64 pixels' worth, or the
// fewer of a row's last word, whose unused bits are clear), 32 a store.
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 inline void Word256(uint8_t *dst, uint64_t word, int bytes,
                                 __m256i fg, __m256i bg)
{
    if (!Opaque && Bytes == 2) {
        PairsWord256(dst, word, fg, static_cast<uint32_t>(_mm256_extract_epi32(fg, 0)));
        return;
    }
    constexpr int kPixels = 32 / Bytes;  // a store's pixels
    constexpr uint64_t kLow = (uint64_t{1} << kPixels) - 1;
    for (; bytes > 0; bytes -= 32, dst += 32, word >>= kPixels % 64) {
        const __m256i lit = LaneMasks256<Bytes>(static_cast<uint32_t>(word & kLow));
        if (!Opaque) {  // 4-byte lanes: unlit and unused lanes are masked off
            if ((word & kLow) != 0)
                _mm256_maskstore_epi32(reinterpret_cast<int *>(dst), lit, fg);
        } else if (bytes >= 32) {
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), _mm256_blendv_epi8(bg, fg, lit));
        } else {
            StoreFirstBytes256(dst, _mm256_blendv_epi8(bg, fg, lit), bytes);
        }
    }
}

// 32 bytes of pixels under `bits`: fg where lit and bg elsewhere (opaque),
// or only the lit ones (transparent, 4-byte lanes). Opaque 4-byte lanes take
// their masks from the byte-mask table, one load in place of the four
// instructions that make them: on a surface that fits the caches, the
// instructions set the pace.
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 inline void Store32Bytes256(uint8_t *dst, uint32_t bits, __m256i fg, __m256i bg)
{
    if (Opaque && Bytes == 4) {
        const __m256i lit = _mm256_loadu_si256(
            reinterpret_cast<const __m256i *>(kByteMasks<4>.mask[bits]));
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), _mm256_blendv_epi8(bg, fg, lit));
        return;
    }
    const __m256i lit = LaneMasks256<Bytes>(bits);
    if (!Opaque) {
        if (bits != 0)
            _mm256_maskstore_epi32(reinterpret_cast<int *>(dst), lit, fg);
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst), _mm256_blendv_epi8(bg, fg, lit));
    }
}

// Store k's bits of a word: 32 bytes of pixels each.
template <int Bytes>
GLYPHAR_AVX2 inline uint32_t StoreBits256(uint64_t word, int k)
{
    constexpr int kPixels = 32 / Bytes;
    constexpr uint64_t kLow = (uint64_t{1} << kPixels) - 1;
    return static_cast<uint32_t>(word >> (k * kPixels % 64) & kLow);
}

// A whole word, 64 pixels: its stores unrolled, whatever the optimizer.
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 inline void WholeWord256(uint8_t *dst, uint64_t word, __m256i fg, __m256i bg)
{
    if (!Opaque && Bytes == 2) {
        PairsWord256(dst, word, fg, static_cast<uint32_t>(_mm256_extract_epi32(fg, 0)));
        return;
    }
    if (!Opaque && Bytes == 4) {
        if (word == 0)
            return;
        GLYPHAR_UNROLL(8)
        for (int k = 0; k < 8; ++k)
            _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + 32 * k),
                                   LaneMasks256<4>(StoreBits256<4>(word, k)), fg);
        return;
    }
    GLYPHAR_UNROLL(8)
    for (int k = 0; k < 2 * Bytes; ++k)
        Store32Bytes256<Bytes, Opaque>(dst + 32 * k, StoreBits256<Bytes>(word, k), fg, bg);
}

// An opaque row of `pixels` (at least eight) 4-byte pixels in stores that
// each fill half of an aligned cache line, none split across two: the first
// from the row's start, the rest from the next 32-byte boundary on (where
// the two overlap, both store the same pixels). Past the caches, split
// stores cost memory time. (Transparent rows, through masked stores, and
// 2-byte pixels, at a shift a word, were slower so.)
GLYPHAR_AVX2 inline void AlignedRow256(uint8_t *dst, const uint64_t *bits, int64_t pixels,
                                       __m256i fg, __m256i bg)
{
    const int before = static_cast<int>(reinterpret_cast<uintptr_t>(dst) & 31) / 4;
    int64_t p = 0;
    if (before != 0) {
        Store32Bytes256<4, true>(dst, StoreBits256<4>(bits[0], 0), fg, bg);
        p = 8 - before;
    }
    for (; p + 64 <= pixels; p += 64)
        WholeWord256<4, true>(dst + p * 4, BitsFrom(bits, p), fg, bg);
    if (p < pixels) {
        const int left = static_cast<int>(pixels - p);
        Word256<4, true>(dst + p * 4, BitsFrom(bits, p) & ((uint64_t{1} << left) - 1),
                         left * 4, fg, bg);
    }
}

template <int Bytes, bool Opaque>
GLYPHAR_AVX2 void Rows256(uint8_t *dst, int64_t pitch, const RowRuns &runs,
                          const RowSpan &span, uint32_t fgPixel,
                          uint32_t bgPixel)
{
    const __m256i fg = Broadcast256<Bytes>(fgPixel), bg = Broadcast256<Bytes>(bgPixel);
    const int64_t words = span.words;
    const uint64_t partial = span.partialWord() ? span.partialMask() : 0;
    const int partialBytes = span.partialPixels() * Bytes;
    const int64_t pixels = 64 * words + span.partialPixels();
    const RowRuns local = runs;  // which the stores cannot alias
    for (int r = local.first; r <= local.last; ++r) {
        const uint64_t *bits = local.BitsOf(r);
        const uint64_t last = partial != 0 ? bits[words] & partial : 0;
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch) {
            if (Opaque && Bytes == 4 && reinterpret_cast<uintptr_t>(dst) % 4 == 0 &&
                pixels >= 8) {
                AlignedRow256(dst, bits, pixels, fg, bg);
                continue;
            }
            uint8_t *at = dst;
            for (int64_t w = 0; w < words; ++w, at += 64 * Bytes)
                WholeWord256<Bytes, Opaque>(at, bits[w], fg, bg);
            Word256<Bytes, Opaque>(at, last, partialBytes, fg, bg);
        }
    }
}

// The rows of a small opaque character of n (1 to 16) bytes, each in two
// stores of Size bytes, the largest power of two not above n: one from the
// start, one ending at n. Where they overlap, both write the same pixels.
template <int Bytes, int Size>
GLYPHAR_AVX2 void SmallCell256(uint8_t *dst, int64_t pitch, const CellRows &cell,
                               __m128i fg, __m128i bg, int n)
{
    // Moves bytes n - Size to n - 1 to the front.
    const __m128i end = _mm_add_epi8(_mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
                                                   14, 15),
                                     _mm_set1_epi8(static_cast<char>(n - Size)));
    const CellRows local = cell;  // which the stores cannot alias
    for (int64_t k = 0, rows = cell.rows; k < rows; ++k, dst += pitch) {
        const __m128i pixels = _mm_blendv_epi8(
            bg, fg,
            _mm256_castsi256_si128(LaneMasks256<Bytes>(static_cast<uint32_t>(local.Word(k)))));
        const __m128i tail = _mm_shuffle_epi8(pixels, end);
        if constexpr (Size == 16) {
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), pixels);
        } else if constexpr (Size == 8) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(dst), pixels);
            _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + n - 8), tail);
        } else {
            const uint32_t head = static_cast<uint32_t>(_mm_cvtsi128_si32(pixels));
            const uint32_t back = static_cast<uint32_t>(_mm_cvtsi128_si32(tail));
            std::memcpy(dst, &head, Size);  // the machine's order: the first bytes
            std::memcpy(dst + n - Size, &back, Size);
        }
    }
}

// A single narrow character: one word a row.
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 void Cell256(uint8_t *dst, int64_t pitch, const CellRows &cell,
                          uint32_t fgPixel, uint32_t bgPixel)
{
    const __m256i fg = Broadcast256<Bytes>(fgPixel), bg = Broadcast256<Bytes>(bgPixel);
    const uint64_t shown = cell.width == 64 ? ~uint64_t{0} : (uint64_t{1} << cell.width) - 1;
    const int bytes = static_cast<int>(cell.width) * Bytes;
    const CellRows local = cell;  // which the stores cannot alias
    const int64_t rows = cell.rows;
    if (Opaque && bytes <= 16) {
        const __m128i fg16 = _mm256_castsi256_si128(fg), bg16 = _mm256_castsi256_si128(bg);
        if (bytes == 16)
            SmallCell256<Bytes, 16>(dst, pitch, cell, fg16, bg16, bytes);
        else if (bytes >= 8)
            SmallCell256<Bytes, 8>(dst, pitch, cell, fg16, bg16, bytes);
        else if (bytes >= 4)
            SmallCell256<Bytes, 4>(dst, pitch, cell, fg16, bg16, bytes);
        else if (bytes >= 2)
            SmallCell256<Bytes, 2>(dst, pitch, cell, fg16, bg16, bytes);
        else
            SmallCell256<Bytes, 1>(dst, pitch, cell, fg16, bg16, bytes);
        return;
    }
    if (bytes < 32 && (Opaque || Bytes == 4)) {
        for (int64_t k = 0; k < rows; ++k, dst += pitch) {
            const uint64_t lit = local.Word(k) & shown;
            const __m256i mask = LaneMasks256<Bytes>(static_cast<uint32_t>(lit));
            if (Opaque)
                StoreFirstBytes256(dst, _mm256_blendv_epi8(bg, fg, mask), bytes);
            else if (lit != 0)
                _mm256_maskstore_epi32(reinterpret_cast<int *>(dst), mask, fg);
        }
        return;
    }
    for (int64_t k = 0; k < rows; ++k, dst += pitch)
        Word256<Bytes, Opaque>(dst, local.Word(k) & shown, bytes, fg, bg);
}

//----------------------------------------------------------------------------
// The gather at size 1, where a glyph row's six cells are its six pixels: the
// rows of eight cells are loaded whole, transposed so that each glyph row's
// eight masks sit side by side, packed into 48 bits (pairs, then quads, then
// the two halves joined), and shifted into place, every glyph row at once.
//----------------------------------------------------------------------------

// Glyph rows 0 to 9 of sixteen cells (blank past the `left` that remain),
// each eight's rows packed into 48 bits: rows 2k and 2k + 1 of the first
// eight in the two halves of first[k], of the second eight in second[k].
// The eights go through the transpose side by side, one to a 128-bit lane.
GLYPHAR_AVX2 GLYPHAR_ALWAYS_INLINE void PackSixteen(__m128i first[5], __m128i second[5],
                                                    const uint8_t (*font)[16],
                                                    const unsigned char *cells, int64_t left)
{
    alignas(16) static const uint8_t kBlank[16] = {};
    const __m256i pairs = _mm256_set1_epi16(0x4001);      // a + 64 * b
    const __m256i quads = _mm256_set1_epi32(0x10000001);  // a + 4096 * b
    const __m256i join = _mm256_broadcastsi128_si256(
        _mm_setr_epi8(0, 1, 2, 4, 5, 6, -128, -128, 8, 9, 10, 12, 13, 14, -128, -128));
    const auto glyph = [&](int k) {
        return reinterpret_cast<const __m128i *>(left >= 16 || k < left ? font[cells[k]] : kBlank);
    };
    __m256i c[8];
    GLYPHAR_UNROLL(8)
    for (int k = 0; k < 8; ++k)
        c[k] = _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(glyph(k))),
                                       _mm_load_si128(glyph(k + 8)), 1);
    const __m256i a0 = _mm256_unpacklo_epi8(c[0], c[1]), a1 = _mm256_unpacklo_epi8(c[2], c[3]);
    const __m256i a2 = _mm256_unpacklo_epi8(c[4], c[5]), a3 = _mm256_unpacklo_epi8(c[6], c[7]);
    const __m256i h0 = _mm256_unpackhi_epi8(c[0], c[1]), h1 = _mm256_unpackhi_epi8(c[2], c[3]);
    const __m256i h2 = _mm256_unpackhi_epi8(c[4], c[5]), h3 = _mm256_unpackhi_epi8(c[6], c[7]);
    const __m256i b0 = _mm256_unpacklo_epi16(a0, a1), b1 = _mm256_unpackhi_epi16(a0, a1);
    const __m256i b2 = _mm256_unpacklo_epi16(a2, a3), b3 = _mm256_unpackhi_epi16(a2, a3);
    const __m256i e0 = _mm256_unpacklo_epi16(h0, h1), e1 = _mm256_unpacklo_epi16(h2, h3);
    const __m256i rows[5] = {_mm256_unpacklo_epi32(b0, b2), _mm256_unpackhi_epi32(b0, b2),
                             _mm256_unpacklo_epi32(b1, b3), _mm256_unpackhi_epi32(b1, b3),
                             _mm256_unpacklo_epi32(e0, e1)};
    GLYPHAR_UNROLL(5)
    for (int k = 0; k < 5; ++k) {
        const __m256i packed = _mm256_shuffle_epi8(
            _mm256_madd_epi16(_mm256_maddubs_epi16(rows[k], pairs), quads), join);
        first[k] = _mm256_castsi256_si128(packed);
        second[k] = _mm256_extracti128_si256(packed, 1);
    }
}

// Word `index` of rows 0 to 9, from the halves of five registers.
GLYPHAR_AVX2 inline void StoreWords(uint64_t *rows, int64_t stride, int64_t index,
                                    const __m128i words[5])
{
    GLYPHAR_UNROLL(5)
    for (int k = 0; k < 5; ++k) {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(rows + 2 * k * stride + index), words[k]);
        _mm_storeh_pd(reinterpret_cast<double *>(rows + (2 * k + 1) * stride + index),
                      _mm_castsi128_pd(words[k]));
    }
}

// Thirty-two cells from a word's start fill three words whole: each eight's
// 48 bits go in at a shift known here, so no cell's place is worked out.
template <int Shift>
GLYPHAR_AVX2 inline void JoinEight(__m128i current[5], const __m128i packed[5])
{
    GLYPHAR_UNROLL(5)
    for (int k = 0; k < 5; ++k)
        current[k] = _mm_or_si128(current[k], _mm_slli_epi64(packed[k], Shift));
}

template <int Shift>
GLYPHAR_AVX2 inline void CarryEight(__m128i current[5], const __m128i packed[5])
{
    GLYPHAR_UNROLL(5)
    for (int k = 0; k < 5; ++k)
        current[k] = _mm_srli_epi64(packed[k], Shift);
}

// Glyph rows 0 to 9 of `count` cells, the first with its left edge at `at`
// (-5 to 0) in a window `window` pixels wide, into rows + r * stride. The
// cells cover the window; nothing is written past its last word.
GLYPHAR_AVX2 inline void GatherUnscaled(uint64_t *rows, int64_t stride,
                                        const uint8_t (*font)[16],
                                        const unsigned char *cells,
                                        int64_t count, int64_t at,
                                        int64_t window)
{
    const int64_t words = (window + 63) / 64;
    __m128i current[5] = {};  // rows 2k and 2k + 1, the word being filled
    __m128i packed[5];
    int64_t index = 0, i = 0;
    if (at == 0) {
        for (; i + 32 <= count && index + 3 <= words; i += 32, index += 3) {
            __m128i third[5];
            PackSixteen(current, packed, font, cells + i, 16);
            JoinEight<48>(current, packed);
            StoreWords(rows, stride, index, current);
            CarryEight<16>(current, packed);
            PackSixteen(packed, third, font, cells + i + 16, 16);
            JoinEight<32>(current, packed);
            StoreWords(rows, stride, index + 1, current);
            CarryEight<32>(current, packed);
            JoinEight<16>(current, third);
            StoreWords(rows, stride, index + 2, current);
        }
        std::fill(current, current + 5, _mm_setzero_si128());
    }
    int pos = static_cast<int>(at);  // where the next eight cells start in it
    for (; i < count && index < words; i += 8) {
        __m128i unused[5];
        PackSixteen(packed, unused, font, cells + i, std::min<int64_t>(count - i, 8));
        if (pos < 0) {  // the first cells start left of the window
            GLYPHAR_UNROLL(5)
            for (int k = 0; k < 5; ++k)
                current[k] = _mm_srl_epi64(packed[k], _mm_cvtsi32_si128(-pos));
            pos += 48;
            continue;
        }
        const __m128i up = _mm_cvtsi32_si128(pos), down = _mm_cvtsi32_si128(64 - pos);
        GLYPHAR_UNROLL(5)
        for (int k = 0; k < 5; ++k)
            current[k] = _mm_or_si128(current[k], _mm_sll_epi64(packed[k], up));
        if (pos + 48 < 64) {
            pos += 48;
            continue;
        }
        StoreWords(rows, stride, index, current);
        GLYPHAR_UNROLL(5)
        for (int k = 0; k < 5; ++k)
            current[k] = _mm_srl_epi64(packed[k], down);  // nothing when pos is 0
        ++index;
        pos -= 16;
    }
    if (index < words)
        StoreWords(rows, stride, index, current);
}

//----------------------------------------------------------------------------
// Glyphs at pens of their own, at size 1, up to sixteen rows a pass: a
// glyph's rows one to a 32-bit lane, or-ed at its pen into a column of
// 32-pixel words, each word's rows in K registers of eight (the word the
// glyphs are at and the next, kept while they move past). The column's
// words are then turned into the rows' 64-bit words. Half as many lanes to
// shift as with a 64-bit word a row. The loads may read rows past a glyph's
// box: a font's glyphs are padded for it.
//----------------------------------------------------------------------------

// Eight rows of a glyph, a row to a lane.
template <class Row>
GLYPHAR_AVX2 inline __m256i EightRows(const Row *rows)
{
    if constexpr (sizeof(Row) == 1)
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(rows)));
    else
        return _mm256_cvtepu16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(rows)));
}

// Rows [first, first + n) of the 64-bit words [0, words), from the column's
// 32-pixel words 2q and 2q + 1 for word q.
template <int K>
GLYPHAR_AVX2 inline void StoreColumnWords(uint64_t *rows, int64_t stride, int first, int n,
                                          int64_t words, const __m256i (*column)[K])
{
    for (int64_t q = 0; q < words; ++q) {
        alignas(32) uint64_t lanes[8 * K];
        GLYPHAR_UNROLL(2)
        for (int k = 0; k < K; ++k) {
            // Each 128-bit lane pairs up its rows (0, 1) and (2, 3).
            const __m256i pairsA = _mm256_unpacklo_epi32(column[2 * q][k], column[2 * q + 1][k]);
            const __m256i pairsB = _mm256_unpackhi_epi32(column[2 * q][k], column[2 * q + 1][k]);
            _mm256_store_si256(reinterpret_cast<__m256i *>(lanes + 8 * k),
                               _mm256_permute2x128_si256(pairsA, pairsB, 0x20));
            _mm256_store_si256(reinterpret_cast<__m256i *>(lanes + 8 * k + 4),
                               _mm256_permute2x128_si256(pairsA, pairsB, 0x31));
        }
        for (int r = 0; r < n; ++r)
            rows[(first + r) * stride + q] = lanes[r];
    }
}

template <class Row, int K, class Source>
GLYPHAR_AVX2 void GatherPlacedPass(uint64_t *rows, int64_t stride, const uint8_t *font,
                                   int64_t glyphStride, Source glyphs, int count,
                                   int64_t origin, int64_t window, int first, int n)
{
    // The window's words and the one past it (which a writer may read),
    // after the margin.
    const int64_t words = (window + 63) / 64 + 1;
    alignas(32) __m256i column[kColumnWords][K];
    const __m256i zero = _mm256_setzero_si256();
    for (int64_t w = 0; w < kColumnMargin + 2 * words; ++w)
        GLYPHAR_UNROLL(2)
        for (int k = 0; k < K; ++k)
            column[w][k] = zero;
    __m256i current[K], next[K];
    GLYPHAR_UNROLL(2)
    for (int k = 0; k < K; ++k)
        current[k] = next[k] = zero;
    int64_t index = 0;  // the word `current` holds
    for (int i = 0; i < count; ++i) {
        const GatherStep step = glyphs.Next();
        if (step.shape)
            continue;
        const Row *glyph =
            reinterpret_cast<const Row *>(font + glyphStride * step.glyph) + first;
        const int64_t at = step.pen + origin + 32 * kColumnMargin;
        if (at >= window + 32 * kColumnMargin)
            break;
        if (at >> 5 != index) {  // no later glyph reaches back into `current`
            GLYPHAR_UNROLL(2)
            for (int k = 0; k < K; ++k) {
                column[index][k] = current[k];
                if (at >> 5 != index + 1) {
                    column[index + 1][k] = next[k];
                    next[k] = zero;
                }
                current[k] = next[k];
                next[k] = zero;
            }
            index = at >> 5;
        }
        // The shifts' counts broadcast from memory, by the loads rather
        // than the shuffle port the glyph's rows take.
        const int32_t *counts = kPenShifts.count + (at & 31);
        const __m256i shift = _mm256_set1_epi32(counts[0]), back = _mm256_set1_epi32(counts[32]);
        GLYPHAR_UNROLL(2)
        for (int k = 0; k < K; ++k) {
            const __m256i lit = EightRows(glyph + 8 * k);
            current[k] = _mm256_or_si256(current[k], _mm256_sllv_epi32(lit, shift));
            next[k] = _mm256_or_si256(next[k], _mm256_srlv_epi32(lit, back));
        }
    }
    GLYPHAR_UNROLL(2)
    for (int k = 0; k < K; ++k) {
        column[index][k] = current[k];
        column[index + 1][k] = next[k];
    }
    StoreColumnWords<K>(rows, stride, first, n, words, column + kColumnMargin);
}

template <class Row, class Source>
GLYPHAR_AVX2 void GatherPlacedFrom(uint64_t *rows, int64_t stride, const uint8_t *font,
                                   int64_t glyphStride, Source glyphs, int count, int64_t origin,
                                   int64_t window, int first, int end)
{
    for (int chunk = first; chunk < end; chunk += 16) {
        const int n = std::min(16, end - chunk);
        if (n <= 8)
            GatherPlacedPass<Row, 1>(rows, stride, font, glyphStride, glyphs, count, origin,
                                     window, chunk, n);
        else
            GatherPlacedPass<Row, 2>(rows, stride, font, glyphStride, glyphs, count, origin,
                                     window, chunk, n);
    }
}

template <class Row>
GLYPHAR_AVX2 void GatherPlaced256(uint64_t *rows, int64_t stride, const uint8_t *font,
                                  int64_t glyphStride, const GatherGlyphs &glyphs, int64_t origin,
                                  int64_t window, int first, int end)
{
    if (glyphs.placed != nullptr)
        GatherPlacedFrom<Row>(rows, stride, font, glyphStride, PlacedSource{glyphs.placed},
                              glyphs.count, origin, window, first, end);
    else
        GatherPlacedFrom<Row>(rows, stride, font, glyphStride,
                              RunSource{glyphs.run, glyphs.extents, glyphs.pen}, glyphs.count,
                              origin, window, first, end);
}

}  // namespace

// The gather's entry, for this set and AVX-512's.
void GatherUnscaledX86(uint64_t *rows, int64_t stride, const uint8_t (*font)[16],
                       const unsigned char *cells, int64_t count, int64_t at, int64_t window)
{
    GatherUnscaled(rows, stride, font, cells, count, at, window);
}

namespace {

// A whole word, 64 pixels from pixel p of the lines, of a colour per pixel,
// in each of Rows rows (row r from dst[r], showing word[r]): its stores
// unrolled, each store's colours loaded once for all the rows (the rows of
// a band show the same lines). (A transparent row has no bg line.)
template <int Bytes, bool Opaque, int Rows>
GLYPHAR_AVX2 inline void ColouredWords256(uint8_t *const *dst, const uint64_t *word,
                                          const uint8_t *fgLine, const uint8_t *bgLine, int64_t p)
{
    GLYPHAR_UNROLL(8)
    for (int k = 0; k < 2 * Bytes; ++k) {
        const int64_t at = p * Bytes + 32 * k;
        const __m256i fg = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(fgLine + at));
        const __m256i bg =
            Opaque ? _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bgLine + at)) : fg;
        GLYPHAR_UNROLL(2)
        for (int r = 0; r < Rows; ++r)
            Store32Bytes256<Bytes, Opaque>(dst[r] + at, StoreBits256<Bytes>(word[r], k), fg, bg);
    }
}

// The whole words of Rows rows of a colour per pixel.
template <int Bytes, bool Opaque, int Rows>
GLYPHAR_AVX2 inline void ColouredWholeWords256(uint8_t *const *dst, const uint64_t *const *bits,
                                               int64_t whole, const uint8_t *fgLine,
                                               const uint8_t *bgLine)
{
    for (int64_t p = 0; p < whole; p += 64) {
        uint64_t word[Rows];
        GLYPHAR_UNROLL(2)
        for (int r = 0; r < Rows; ++r)
            word[r] = bits[r][p >> 6];
        ColouredWords256<Bytes, Opaque, Rows>(dst, word, fgLine, bgLine, p);
    }
}

// Pixels p to pixels - 1 of a row with a colour per pixel, fewer than 64
// from p on, 32 bytes a store (the last may be fewer).
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 inline void ColouredTail256(uint8_t *dst, const uint64_t *bits, int64_t p,
                                         int64_t pixels, const uint8_t *fgLine,
                                         const uint8_t *bgLine)
{
    constexpr int kPixels = 32 / Bytes;
    constexpr uint32_t kStore = kPixels == 32 ? ~0u : (1u << kPixels) - 1;  // its pixels' bits
    for (; p < pixels; p += kPixels) {
        // Bits past the store's pixels (past the row, never written) are
        // not looked at.
        const uint32_t word = static_cast<uint32_t>(BitsFrom(bits, p));
        const int64_t bytes = std::min<int64_t>(32, (pixels - p) * Bytes);
        const uint32_t shown = bytes == 32 ? kStore : (1u << (bytes / Bytes)) - 1;
        const __m256i lit = LaneMasks256<Bytes>(word & shown);
        const __m256i fg =
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(fgLine + p * Bytes));
        if (!Opaque) {
            if ((word & shown) != 0)
                _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + p * Bytes), lit, fg);
            continue;
        }
        const __m256i bg =
            _mm256_loadu_si256(reinterpret_cast<const __m256i *>(bgLine + p * Bytes));
        if (bytes == 32)
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(dst + p * Bytes),
                                _mm256_blendv_epi8(bg, fg, lit));
        else
            StoreFirstBytes256(dst + p * Bytes, _mm256_blendv_epi8(bg, fg, lit),
                               static_cast<int>(bytes));
    }
}

// An opaque 4-byte row of a colour per pixel in stores that each fill half
// of an aligned cache line, as AlignedRow256 (lines laid out at the row's
// offset within a cache line make their loads aligned too).
GLYPHAR_AVX2 inline void AlignedColouredRow256(uint8_t *dst, const uint64_t *bits, int64_t pixels,
                                               const uint8_t *fgLine, const uint8_t *bgLine)
{
    const int before = static_cast<int>(reinterpret_cast<uintptr_t>(dst) & 31) / 4;
    int64_t p = 0;
    if (before != 0) {
        ColouredTail256<4, true>(dst, bits, 0, 8, fgLine, bgLine);
        p = 8 - before;
    }
    for (; p + 64 <= pixels; p += 64) {
        const uint64_t word = BitsFrom(bits, p);
        ColouredWords256<4, true, 1>(&dst, &word, fgLine, bgLine, p);
    }
    ColouredTail256<4, true>(dst, bits, p, pixels, fgLine, bgLine);
}

// Rows with a colour per pixel, 32 bytes a store, each store's pixels
// loaded from the lines: whole words unrolled, two rows at a time, then the
// partial one. Transparent ones only with 4-byte lanes, which the masked
// store has.
template <int Bytes, bool Opaque>
GLYPHAR_AVX2 void Coloured256(uint8_t *dst, int64_t pitch, const RowRuns &runs, const RowSpan &span,
                              const uint8_t *fgLine, const uint8_t *bgLine)
{
    const int64_t whole = 64 * span.words, pixels = whole + span.partialPixels();
    const RowRuns local = runs;  // which the stores cannot alias
    uint8_t *rows[2];  // a row waiting for the next to pair with, then that one
    const uint64_t *rowBits[2];
    int held = 0;
    for (int r = local.first; r <= local.last; ++r) {
        const uint64_t *bits = local.BitsOf(r);
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch) {
            if (Opaque && Bytes == 4 && reinterpret_cast<uintptr_t>(dst) % 4 == 0 &&
                pixels >= 8) {
                AlignedColouredRow256(dst, bits, pixels, fgLine, bgLine);
                continue;
            }
            ColouredTail256<Bytes, Opaque>(dst, bits, whole, pixels, fgLine, bgLine);
            rows[held] = dst;
            rowBits[held] = bits;
            if (++held == 2) {
                ColouredWholeWords256<Bytes, Opaque, 2>(rows, rowBits, whole, fgLine, bgLine);
                held = 0;
            }
        }
    }
    if (held != 0)
        ColouredWholeWords256<Bytes, Opaque, 1>(rows, rowBits, whole, fgLine, bgLine);
}

// Lanes of `x` below `n`, as unsigned numbers: all ones where so.
GLYPHAR_AVX2 inline __m256i Below256(__m256i x, uint32_t n)
{
    return _mm256_cmpeq_epi32(_mm256_min_epu32(x, _mm256_set1_epi32(static_cast<int>(n - 1))), x);
}

GLYPHAR_AVX2 inline uint32_t LaneBits256(__m256i mask)
{
    return static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(mask)));
}

GLYPHAR_AVX2 inline __m256i MapChannels256(__m256i rgb, const ChannelRule &rule)
{
    const __m256i byteMask = _mm256_set1_epi32(0xFF);
    __m256i value = _mm256_set1_epi32(static_cast<int>(rule.alpha));
    GLYPHAR_UNROLL(3)
    for (int c = 0; c < 3; ++c) {
        __m256i channel = _mm256_and_si256(_mm256_srli_epi32(rgb, 16 - 8 * c), byteMask);
        channel = _mm256_srl_epi32(channel, _mm_cvtsi32_si128(rule.loss[c]));
        value = _mm256_or_si256(value, _mm256_sll_epi32(channel, _mm_cvtsi32_si128(rule.shift[c])));
    }
    return _mm256_and_si256(value, _mm256_set1_epi32(static_cast<int>(rule.mask)));
}

// A rule's moves (see ChannelRule), broadcast.
struct ChannelMoves256 {
    __m256i right[3], keep[3], alpha;
};

GLYPHAR_AVX2 inline ChannelMoves256 ChannelMovesOf(const ChannelRule &rule)
{
    ChannelMoves256 moves;
    for (int c = 0; c < 3; ++c) {
        moves.right[c] = _mm256_set1_epi32(std::max(rule.right[c], 0));
        moves.keep[c] = _mm256_set1_epi32(static_cast<int>(rule.keep[c]));
    }
    moves.alpha = _mm256_set1_epi32(static_cast<int>(rule.alpha & rule.mask));
    return moves;
}

// Where every channel moves right, a shift by vector (one operation, where
// by a register's count takes two) and an and each.
template <bool AllRight>
GLYPHAR_AVX2 inline __m256i MapColours256(__m256i rgb, const ChannelRule &rule,
                                          const ChannelMoves256 &moves)
{
    if (!AllRight)
        return MapChannels256(rgb, rule);
    __m256i value = moves.alpha;
    GLYPHAR_UNROLL(3)
    for (int c = 0; c < 3; ++c)
        value = _mm256_or_si256(
            value, _mm256_and_si256(_mm256_srlv_epi32(rgb, moves.right[c]), moves.keep[c]));
    return value;
}

// Eight bits as eight bytes, bit k in byte k.
struct SpreadBits {
    uint64_t of[256];

    constexpr SpreadBits() : of()
    {
        for (int bits = 0; bits < 256; ++bits)
            for (int k = 0; k < 8; ++k)
                of[bits] |= static_cast<uint64_t>((bits >> k) & 1) << 8 * k;
    }
};
constexpr SpreadBits kSpreadBits{};

// Eight whole cells' three words each, apart: three loads, and each word
// picked out by two blends and a permute.
GLYPHAR_AVX2 inline void WholeEightCells(const int *words, __m256i &cp, __m256i &fg, __m256i &bg)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(words));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(words + 8));
    const __m256i c = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(words + 16));
    // Word w of cell i is word 3i + w of the 24: lane (3i + w) % 8 of a, b
    // or c. Each blend takes every lane from where one of the words lies.
    const __m256i first = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x92), c, 0x24);
    const __m256i second = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x24), c, 0x49);
    const __m256i third = _mm256_blend_epi32(_mm256_blend_epi32(a, b, 0x49), c, 0x92);
    cp = _mm256_permutevar8x32_epi32(first, _mm256_setr_epi32(0, 3, 6, 1, 4, 7, 2, 5));
    fg = _mm256_permutevar8x32_epi32(second, _mm256_setr_epi32(1, 4, 7, 2, 5, 0, 3, 6));
    bg = _mm256_permutevar8x32_epi32(third, _mm256_setr_epi32(2, 5, 0, 3, 6, 1, 4, 7));
}

// Eight cells at a time, their three words loaded apart (gathered, for the
// last few).
template <bool AllRight>
GLYPHAR_AVX2 uint32_t GridCellsOf256(const GlypharCell *cells, int64_t count,
                                     const ChannelRule &rule, uint32_t *fg, uint32_t *bg,
                                     uint8_t *kind, uint8_t *low)
{
    const ChannelMoves256 moves = ChannelMovesOf(rule);
    static_assert(sizeof(GlypharCell) == 12, "three words a cell");
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i word = _mm256_setr_epi32(0, 3, 6, 9, 12, 15, 18, 21);
    const __m256i lowBytes = _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                              -1, -1, 0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1,
                                              -1, -1, -1, -1);
    uint32_t anyShape = 0, anyTransparent = 0, allShapes = 0xFF, allTransparent = 0xFF,
             allLatin1 = 0xFF;
    const auto *words = reinterpret_cast<const int *>(cells);
    for (int64_t k = 0; k < count; k += 8) {
        const int n = static_cast<int>(count - k < 8 ? count - k : 8);
        const __m256i in = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lanes);
        const uint32_t inBits = (1u << n) - 1;
        __m256i cp, f, b;
        if (n == 8) {
            WholeEightCells(words + 3 * k, cp, f, b);
        } else {
            const __m256i zero = _mm256_setzero_si256();
            cp = _mm256_mask_i32gather_epi32(zero, words + 3 * k, word, in, 4);
            f = _mm256_mask_i32gather_epi32(zero, words + 3 * k + 1, word, in, 4);
            b = _mm256_mask_i32gather_epi32(zero, words + 3 * k + 2, word, in, 4);
        }
        const uint32_t shape =
            LaneBits256(_mm256_or_si256(Below256(_mm256_sub_epi32(cp, _mm256_set1_epi32(0x2500)), 0xA0),
                                        Below256(_mm256_sub_epi32(cp, _mm256_set1_epi32(0x2800)), 0x100))) &
            inBits;
        const uint32_t transparent =
            LaneBits256(_mm256_cmpeq_epi32(b, _mm256_set1_epi32(-1))) & inBits;
        const uint32_t latin1 =
            LaneBits256(_mm256_andnot_si256(Below256(_mm256_sub_epi32(cp, _mm256_set1_epi32(0x80)), 0x20),
                                            Below256(cp, 0x100)));
        anyShape |= shape;
        anyTransparent |= transparent;
        allShapes &= shape | ~inBits;
        allTransparent &= transparent | ~inBits;
        allLatin1 &= latin1 | ~inBits;
        _mm256_maskstore_epi32(reinterpret_cast<int *>(fg + k), in,
                               MapColours256<AllRight>(f, rule, moves));
        _mm256_maskstore_epi32(reinterpret_cast<int *>(bg + k), in,
                               MapColours256<AllRight>(b, rule, moves));
        // Whole eights of bytes: the arrays hold a multiple of eight cells.
        const uint64_t kinds = kSpreadBits.of[shape] | kSpreadBits.of[transparent] << 1;
        std::memcpy(kind + k, &kinds, 8);
        const __m256i bytes = _mm256_shuffle_epi8(cp, lowBytes);
        const uint64_t lows =
            static_cast<uint32_t>(_mm256_cvtsi256_si32(bytes)) |
            static_cast<uint64_t>(static_cast<uint32_t>(_mm256_extract_epi32(bytes, 4))) << 32;
        std::memcpy(low + k, &lows, 8);
    }
    return CellsSummary(anyShape != 0, anyTransparent != 0, allShapes == 0xFF,
                        allTransparent == 0xFF, allLatin1 == 0xFF);
}

GLYPHAR_AVX2 uint32_t GridCells256(const GlypharCell *cells, int64_t count,
                                   const ChannelRule &rule, uint32_t *fg, uint32_t *bg,
                                   uint8_t *kind, uint8_t *low)
{
    return rule.allRight ? GridCellsOf256<true>(cells, count, rule, fg, bg, kind, low)
                         : GridCellsOf256<false>(cells, count, rule, fg, bg, kind, low);
}

// For eight cells `pitch` (1 to 8) pixels apart: by eight pixels of a line,
// the cell each one lies in (the last one past them).
struct CellOfLane8 {
    int32_t at[9][10][8];  // by pitch, eight pixels, lane

    constexpr CellOfLane8() : at()
    {
        for (int pitch = 1; pitch <= 8; ++pitch)
            for (int eight = 0; eight < 10; ++eight)
                for (int lane = 0; lane < 8; ++lane) {
                    const int cell = (eight * 8 + lane) / pitch;
                    at[pitch][eight][lane] = cell < 8 ? cell : 7;
                }
    }
};
alignas(32) constexpr CellOfLane8 kCellOfLane8{};

// Eight pixels of a line: each one the colour of its cell.
GLYPHAR_AVX2 inline __m256i SpreadEight256(__m256i colours, int64_t pitch, int64_t eight)
{
    return _mm256_permutevar8x32_epi32(
        colours, _mm256_load_si256(reinterpret_cast<const __m256i *>(
                     kCellOfLane8.at[pitch][eight < 10 ? eight : 9])));
}

// Whole eights of cells but the last, at a pitch known here: the lanes'
// tables load once, and each eight makes a fixed number of stores. (Two
// 2-byte pixels of a cell share a lane, as the pitch is even.) Returns the
// cells done.
template <int Bytes, int Pitch>
GLYPHAR_AVX2 int64_t WholeEights256(uint8_t *line, const uint32_t *pixel, int64_t count)
{
    static_assert(Pitch % 2 == 0 && 8 * Pitch * Bytes % 32 == 0, "stores of whole lanes");
    constexpr int kStores = 8 * Pitch * Bytes / 32, kLanePitch = Bytes == 2 ? Pitch / 2 : Pitch;
    __m256i at[kStores];
    GLYPHAR_UNROLL(8)
    for (int store = 0; store < kStores; ++store)
        at[store] = _mm256_load_si256(
            reinterpret_cast<const __m256i *>(kCellOfLane8.at[kLanePitch][store]));
    int64_t k = 0;
    for (; k + 8 < count; k += 8, line += 8 * Pitch * Bytes) {
        __m256i colours = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pixel + k));
        if (Bytes == 2)
            colours = _mm256_or_si256(colours, _mm256_slli_epi32(colours, 16));
        GLYPHAR_UNROLL(8)
        for (int store = 0; store < kStores; ++store)
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(line + store * 32),
                                _mm256_permutevar8x32_epi32(colours, at[store]));
    }
    return k;
}

// Eight cells at a time, their colours spread over the line by a permute
// each eight pixels; 2-byte pixels packed from two such. The built-in
// font's pitch at size 1 (6), and 8-pixel fonts', have loops of their own.
template <int Bytes>
GLYPHAR_AVX2 void CellsLine256(uint8_t *line, const uint32_t *pixel, int64_t count, int64_t pitch)
{
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    constexpr int kPixels = 32 / Bytes;  // a store's
    int64_t k = 0;
    if (pitch == 6)
        k = WholeEights256<Bytes, 6>(line, pixel, count);
    else if (pitch == 8)
        k = WholeEights256<Bytes, 8>(line, pixel, count);
    for (line += k * pitch * Bytes; k < count; k += 8, line += 8 * pitch * Bytes) {
        const int n = static_cast<int>(count - k < 8 ? count - k : 8);
        const __m256i in = _mm256_cmpgt_epi32(_mm256_set1_epi32(n), lanes);
        // Past the last cell, its colour again.
        const __m256i colours = _mm256_permutevar8x32_epi32(
            _mm256_maskload_epi32(reinterpret_cast<const int *>(pixel + k), in),
            _mm256_min_epi32(lanes, _mm256_set1_epi32(n - 1)));
        // The next eight's stores start where these cells end; the last
        // eight's run eight pixels on, past the last cell.
        const int64_t tail = k + 8 < count ? 0 : 8;
        const int64_t stores = (n * pitch + tail + kPixels - 1) / kPixels;
        for (int64_t store = 0; store < stores; ++store) {
            __m256i out;
            if (Bytes == 4)
                out = SpreadEight256(colours, pitch, store);
            else if (pitch % 2 == 0)  // both pixels of a pair in one cell: spread pairs
                out = SpreadEight256(_mm256_or_si256(colours, _mm256_slli_epi32(colours, 16)),
                                     pitch / 2, store);
            else  // pack pairs of eights; the pack works within halves
                out = _mm256_permute4x64_epi64(
                    _mm256_packus_epi32(SpreadEight256(colours, pitch, 2 * store),
                                        SpreadEight256(colours, pitch, 2 * store + 1)),
                    0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i *>(line + store * 32), out);
        }
    }
}

// One bit for each of 32 bytes that differ.
GLYPHAR_AVX2 uint32_t DifferingBytes256(const uint8_t *a, const uint8_t *b)
{
    return ~static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(a)),
                          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b)))));
}

// The differing bits of four 32-byte blocks, or-ed together; `a` aligned.
GLYPHAR_AVX2 __m256i Differences256(const uint8_t *a, const uint8_t *b)
{
    const auto *va = reinterpret_cast<const __m256i *>(a);
    const auto *vb = reinterpret_cast<const __m256i *>(b);
    __m256i d = _mm256_xor_si256(_mm256_load_si256(va), _mm256_loadu_si256(vb));
    for (int k = 1; k < 4; ++k)
        d = _mm256_or_si256(d, _mm256_xor_si256(_mm256_load_si256(va + k),
                                                _mm256_loadu_si256(vb + k)));
    return d;
}

// Where two runs of bytes first differ. Equal stretches, most of a grid's
// update, cost one test per 128 bytes, loaded aligned on one side (loads that
// split cache lines on both sides cost a third more); the differing block is
// then searched 32 bytes a compare.
GLYPHAR_AVX2 int64_t FirstDifference256(const uint8_t *a, const uint8_t *b, int64_t bytes)
{
    int64_t k = 0;
    if (bytes >= 160 && DifferingBytes256(a, b) == 0)
        for (k = 32 - static_cast<int64_t>(reinterpret_cast<uintptr_t>(a) & 31); k + 128 <= bytes;
             k += 128) {
            PrefetchBoth(a, b, k + 1024, 128);
            const __m256i d = Differences256(a + k, b + k);
            if (!_mm256_testz_si256(d, d))
                break;
        }
    for (; k + 32 <= bytes; k += 32)
        if (const uint32_t differ = DifferingBytes256(a + k, b + k); differ != 0)
            return k + LowestBit(differ);
    for (; k < bytes && a[k] == b[k];)
        ++k;
    return k;
}

// 3-byte pixels, and 1-byte and 2-byte transparent rows of a colour per
// pixel (no masked store of bytes or pairs of bytes), are the portable
// writers'; so are 1-byte transparent rows of one colour.

}  // namespace

#undef GLYPHAR_AVX2

extern const VectorWriters kAvx2Writers = {
    {{nullptr, Rows256<2, false>, nullptr, Rows256<4, false>},
     {Rows256<1, true>, Rows256<2, true>, nullptr, Rows256<4, true>}},
    {{nullptr, Cell256<2, false>, nullptr, Cell256<4, false>},
     {Cell256<1, true>, Cell256<2, true>, nullptr, Cell256<4, true>}},
    {nullptr, nullptr, nullptr, nullptr},
    GatherUnscaledX86,
    {GatherPlaced256<uint8_t>, GatherPlaced256<uint16_t>},
    {{nullptr, nullptr, nullptr, Coloured256<4, false>},
     {Coloured256<1, true>, Coloured256<2, true>, nullptr, Coloured256<4, true>}},
    GridCells256,
    FirstDifference256,
    {nullptr, CellsLine256<2>, nullptr, CellsLine256<4>},
    true,
};

}  // namespace glyphar

#else

// Left out of this build: nothing, and never chosen.
extern const glyphar::VectorWriters glyphar::kAvx2Writers = {};

#endif
