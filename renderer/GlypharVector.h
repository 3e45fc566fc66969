// glyphar's vector pixel writers, private to the renderer and included by
// Glyphar.cpp inside its namespace, after RowSpan. Each draws exactly the
// pixels the portable writers draw, from the same words of bits (64 pixels a
// word, bit 0 leftmost); they only store, never read the surface, so
// write-combined memory (a locked streaming texture, video memory) stays
// fast. Chosen at run time on x86-64 with GCC or Clang; NEON on 64-bit ARM,
// where every CPU has it; GLYPHAR_NO_VECTOR leaves them out.
#ifndef GLYPHAR_VECTOR_H
#define GLYPHAR_VECTOR_H

enum WriterPath { kPortable = 0, kAvx2 = 1, kAvx512 = 2, kNeon = 3, kWriterPaths = 4 };

#if defined(__x86_64__) && defined(__GNUC__) && !defined(GLYPHAR_NO_VECTOR)

// What each path's functions are built for; CpuWriterPaths asks the CPU for
// the same.
#define GLYPHAR_AVX512 __attribute__((target("avx512bw,avx512vl,bmi,bmi2")))
#define GLYPHAR_AVX2 __attribute__((target("avx2,bmi,bmi2")))

// The paths this CPU can run, a bit each.
inline int CpuWriterPaths()
{
    // The vector writers find lit pixels with BMI's bit instructions, which
    // every CPU with AVX2 has in practice; one without them stays portable.
    const bool bits = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    int paths = 1 << kPortable;
    if (bits && __builtin_cpu_supports("avx2"))
        paths |= 1 << kAvx2;
    if (bits && __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"))
        paths |= 1 << kAvx512;
    return paths;
}

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
    for (int k = 0; k < Bytes && stored != 0; ++k, dst += 64, lit >>= kShift, stored >>= kShift) {
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
GLYPHAR_AVX2 inline void PairsWord256(uint8_t *dst, uint64_t word,
                                      __m256i fg, uint32_t fgPixel)
{
    const uint64_t both = word & (word >> 1);  // pixel k and k + 1 lit
    const uint64_t even = both & 0x5555555555555555u, odd = both & 0xAAAAAAAAAAAAAAAAu;
    for (int k = 0; k < 64 && both >> k != 0; k += 16) {
        const uint32_t evenHere = static_cast<uint32_t>(even >> k) & 0xFFFF;
        const uint32_t oddHere = static_cast<uint32_t>(odd >> k) & 0xFFFF;
        // A lane's mask is its top bit: the second pixel of the pair.
        if (evenHere != 0)
            _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + 2 * k),
                                   LaneMasks256<2>(evenHere << 1), fg);
        if (oddHere != 0)
            _mm256_maskstore_epi32(reinterpret_cast<int *>(dst + 2 * k + 2),
                                   LaneMasks256<2>(oddHere), fg);
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

template <int Bytes, bool Opaque>
GLYPHAR_AVX2 void Rows256(uint8_t *dst, int64_t pitch, const RowRuns &runs,
                          const RowSpan &span, uint32_t fgPixel,
                          uint32_t bgPixel)
{
    const __m256i fg = Broadcast256<Bytes>(fgPixel), bg = Broadcast256<Bytes>(bgPixel);
    const int64_t words = span.words;
    const uint64_t partial = span.partialWord() ? span.partialMask() : 0;
    const int partialBytes = span.partialPixels() * Bytes;
    const RowRuns local = runs;  // which the stores cannot alias
    for (int r = local.first; r <= local.last; ++r) {
        const uint64_t *bits = local.BitsOf(r);
        const uint64_t last = partial != 0 ? bits[words] & partial : 0;
        for (int64_t n = local.height[r]; n > 0; --n, dst += pitch) {
            uint8_t *at = dst;
            for (int64_t w = 0; w < words; ++w, at += 64 * Bytes)
                Word256<Bytes, Opaque>(at, bits[w], 64 * Bytes, fg, bg);
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

// Glyph rows 0 to 9 of `count` cells, the first with its left edge at `at`
// (-5 to 0) in a window `window` pixels wide, into rows + r * stride. The
// cells cover the window; nothing is written past its last word.
GLYPHAR_AVX2 inline void GatherUnscaled(uint64_t *rows, int64_t stride,
                                        const uint8_t (*font)[16],
                                        const unsigned char *cells,
                                        int64_t count, int64_t at,
                                        int64_t window)
{
    alignas(16) static const uint8_t kBlank[16] = {};
    const __m128i pairs = _mm_set1_epi16(0x4001);       // a + 64 * b
    const __m128i quads = _mm_set1_epi32(0x10000001);   // a + 4096 * b
    const __m128i join = _mm_setr_epi8(0, 1, 2, 4, 5, 6, -128, -128, 8, 9, 10, 12, 13, 14, -128,
                                       -128);
    const int64_t words = (window + 63) / 64;
    __m128i current[5] = {};  // rows 2k and 2k + 1, the word being filled
    int64_t index = 0;
    int pos = static_cast<int>(at);  // where the next eight cells start in it
    for (int64_t i = 0; i < count && index < words; i += 8) {
        __m128i c[8];
        for (int k = 0; k < 8; ++k)
            c[k] = _mm_load_si128(
                reinterpret_cast<const __m128i *>(i + k < count ? font[cells[i + k]] : kBlank));
        const __m128i a0 = _mm_unpacklo_epi8(c[0], c[1]), a1 = _mm_unpacklo_epi8(c[2], c[3]);
        const __m128i a2 = _mm_unpacklo_epi8(c[4], c[5]), a3 = _mm_unpacklo_epi8(c[6], c[7]);
        const __m128i h0 = _mm_unpackhi_epi8(c[0], c[1]), h1 = _mm_unpackhi_epi8(c[2], c[3]);
        const __m128i h2 = _mm_unpackhi_epi8(c[4], c[5]), h3 = _mm_unpackhi_epi8(c[6], c[7]);
        const __m128i b0 = _mm_unpacklo_epi16(a0, a1), b1 = _mm_unpackhi_epi16(a0, a1);
        const __m128i b2 = _mm_unpacklo_epi16(a2, a3), b3 = _mm_unpackhi_epi16(a2, a3);
        const __m128i e0 = _mm_unpacklo_epi16(h0, h1), e1 = _mm_unpacklo_epi16(h2, h3);
        __m128i packed[5] = {_mm_unpacklo_epi32(b0, b2), _mm_unpackhi_epi32(b0, b2),
                             _mm_unpacklo_epi32(b1, b3), _mm_unpackhi_epi32(b1, b3),
                             _mm_unpacklo_epi32(e0, e1)};
        for (__m128i &p : packed)
            p = _mm_shuffle_epi8(_mm_madd_epi16(_mm_maddubs_epi16(p, pairs), quads), join);
        if (pos < 0) {  // the first cells start left of the window
            for (int k = 0; k < 5; ++k)
                current[k] = _mm_srl_epi64(packed[k], _mm_cvtsi32_si128(-pos));
            pos += 48;
            continue;
        }
        const __m128i up = _mm_cvtsi32_si128(pos), down = _mm_cvtsi32_si128(64 - pos);
        for (int k = 0; k < 5; ++k)
            current[k] = _mm_or_si128(current[k], _mm_sll_epi64(packed[k], up));
        if (pos + 48 < 64) {
            pos += 48;
            continue;
        }
        for (int k = 0; k < 5; ++k) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(rows + 2 * k * stride + index), current[k]);
            _mm_storeh_pd(reinterpret_cast<double *>(rows + (2 * k + 1) * stride + index),
                          _mm_castsi128_pd(current[k]));
            current[k] = _mm_srl_epi64(packed[k], down);  // nothing when pos is 0
        }
        ++index;
        pos -= 16;
    }
    if (index < words)
        for (int k = 0; k < 5; ++k) {
            _mm_storel_epi64(reinterpret_cast<__m128i *>(rows + 2 * k * stride + index), current[k]);
            _mm_storeh_pd(reinterpret_cast<double *>(rows + (2 * k + 1) * stride + index),
                          _mm_castsi128_pd(current[k]));
        }
}

#undef GLYPHAR_AVX512
#undef GLYPHAR_AVX2

#else

template <int Bytes, bool Opaque>
void Rows512(uint8_t *, int64_t, const RowRuns &, const RowSpan &, uint32_t, uint32_t)
{
}

template <int Bytes, bool Opaque>
void Rows256(uint8_t *, int64_t, const RowRuns &, const RowSpan &, uint32_t, uint32_t)
{
}

template <int Bytes, bool Opaque>
void Cell512(uint8_t *, int64_t, const CellRows &, uint32_t, uint32_t)
{
}

template <int Bytes, bool Opaque>
void Cell256(uint8_t *, int64_t, const CellRows &, uint32_t, uint32_t)
{
}

#if defined(__aarch64__) && defined(__ARM_NEON) && !defined(__AARCH64EB__) && !defined(GLYPHAR_NO_VECTOR)
inline int CpuWriterPaths()
{
    return 1 << kPortable | 1 << kNeon;
}
#else
inline int CpuWriterPaths()
{
    return 1 << kPortable;
}
#endif

#endif

#if defined(__aarch64__) && defined(__ARM_NEON) && !defined(__AARCH64EB__) && !defined(GLYPHAR_NO_VECTOR)

//----------------------------------------------------------------------------
// NEON: 16 bytes a store (16, 8 or 4 pixels) for opaque words, each lane's
// mask made from its bit, fg and bg selected under it. NEON has no masked
// store, so transparent rows stay with the portable writer, which stores lit
// pixels one by one. Whole words only, as for AVX2.
//----------------------------------------------------------------------------

template <int Bytes>
inline void OpaqueWordsNeon(uint8_t *dst, const uint64_t *bits, int64_t words, uint32_t fgPixel,
                            uint32_t bgPixel)
{
    constexpr int kPixels = 16 / Bytes;  // a store's pixels
    for (int64_t w = 0; w < words; ++w) {
        uint64_t word = bits[w];
        for (int k = 0; k < 4 * Bytes; ++k, dst += 16, word >>= kPixels) {
            if constexpr (Bytes == 1) {
                static const uint8_t kLanes[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                                   1, 2, 4, 8, 16, 32, 64, 128};
                const uint8x16_t spread = vcombine_u8(vdup_n_u8(static_cast<uint8_t>(word)),
                                                      vdup_n_u8(static_cast<uint8_t>(word >> 8)));
                const uint8x16_t lit = vtstq_u8(spread, vld1q_u8(kLanes));
                vst1q_u8(dst, vbslq_u8(lit, vdupq_n_u8(static_cast<uint8_t>(fgPixel)),
                                       vdupq_n_u8(static_cast<uint8_t>(bgPixel))));
            } else if constexpr (Bytes == 2) {
                static const uint16_t kLanes[8] = {1, 2, 4, 8, 16, 32, 64, 128};
                const uint16x8_t lit =
                    vtstq_u16(vdupq_n_u16(static_cast<uint16_t>(word & 0xFF)), vld1q_u16(kLanes));
                const uint16x8_t pixels = vbslq_u16(lit, vdupq_n_u16(static_cast<uint16_t>(fgPixel)),
                                                    vdupq_n_u16(static_cast<uint16_t>(bgPixel)));
                vst1q_u8(dst, vreinterpretq_u8_u16(pixels));
            } else {
                static const uint32_t kLanes[4] = {1, 2, 4, 8};
                const uint32x4_t lit =
                    vtstq_u32(vdupq_n_u32(static_cast<uint32_t>(word & 0xF)), vld1q_u32(kLanes));
                const uint32x4_t pixels = vbslq_u32(lit, vdupq_n_u32(fgPixel), vdupq_n_u32(bgPixel));
                vst1q_u8(dst, vreinterpretq_u8_u32(pixels));
            }
        }
    }
}

// The size-1 gather as on x86 (see above): glyphs transposed by zips,
// packed by shift-and-insert, shifted into place by signed lane shifts.
inline void GatherUnscaled(uint64_t *rows, int64_t stride, const uint8_t (*font)[16],
                           const unsigned char *cells, int64_t count, int64_t at, int64_t window)
{
    static const uint8_t kBlank[16] = {};
    const int64_t words = (window + 63) / 64;
    uint64x2_t current[5];
    for (uint64x2_t &c : current)
        c = vdupq_n_u64(0);
    int64_t index = 0;
    int pos = static_cast<int>(at);
    for (int64_t i = 0; i < count && index < words; i += 8) {
        uint8x16_t c[8];
        for (int k = 0; k < 8; ++k)
            c[k] = vld1q_u8(i + k < count ? font[cells[i + k]] : kBlank);
        uint16x8_t a[4], h[4];
        for (int k = 0; k < 4; ++k) {
            a[k] = vreinterpretq_u16_u8(vzip1q_u8(c[2 * k], c[2 * k + 1]));
            h[k] = vreinterpretq_u16_u8(vzip2q_u8(c[2 * k], c[2 * k + 1]));
        }
        const uint32x4_t b0 = vreinterpretq_u32_u16(vzip1q_u16(a[0], a[1]));
        const uint32x4_t b1 = vreinterpretq_u32_u16(vzip2q_u16(a[0], a[1]));
        const uint32x4_t b2 = vreinterpretq_u32_u16(vzip1q_u16(a[2], a[3]));
        const uint32x4_t b3 = vreinterpretq_u32_u16(vzip2q_u16(a[2], a[3]));
        const uint32x4_t e0 = vreinterpretq_u32_u16(vzip1q_u16(h[0], h[1]));
        const uint32x4_t e1 = vreinterpretq_u32_u16(vzip1q_u16(h[2], h[3]));
        const uint32x4_t rowsOf[5] = {vzip1q_u32(b0, b2), vzip2q_u32(b0, b2), vzip1q_u32(b1, b3),
                                      vzip2q_u32(b1, b3), vzip1q_u32(e0, e1)};
        uint64x2_t packed[5];
        for (int k = 0; k < 5; ++k) {
            uint16x8_t p16 = vreinterpretq_u16_u32(rowsOf[k]);
            p16 = vsliq_n_u16(p16, vshrq_n_u16(p16, 8), 6);
            uint32x4_t p32 = vreinterpretq_u32_u16(p16);
            p32 = vsliq_n_u32(p32, vshrq_n_u32(p32, 16), 12);
            uint64x2_t p64 = vreinterpretq_u64_u32(p32);
            packed[k] = vsliq_n_u64(p64, vshrq_n_u64(p64, 32), 24);
        }
        const int64x2_t up = vdupq_n_s64(pos), down = vdupq_n_s64(pos - 64);
        if (pos < 0) {  // the first cells start left of the window
            for (int k = 0; k < 5; ++k)
                current[k] = vshlq_u64(packed[k], up);
            pos += 48;
            continue;
        }
        for (int k = 0; k < 5; ++k)
            current[k] = vorrq_u64(current[k], vshlq_u64(packed[k], up));
        if (pos + 48 < 64) {
            pos += 48;
            continue;
        }
        for (int k = 0; k < 5; ++k) {
            rows[2 * k * stride + index] = vgetq_lane_u64(current[k], 0);
            rows[(2 * k + 1) * stride + index] = vgetq_lane_u64(current[k], 1);
            current[k] = vshlq_u64(packed[k], down);  // nothing when pos is 0
        }
        ++index;
        pos -= 16;
    }
    if (index < words)
        for (int k = 0; k < 5; ++k) {
            rows[2 * k * stride + index] = vgetq_lane_u64(current[k], 0);
            rows[(2 * k + 1) * stride + index] = vgetq_lane_u64(current[k], 1);
        }
}

#else

template <int Bytes>
void OpaqueWordsNeon(uint8_t *, const uint64_t *, int64_t, uint32_t, uint32_t)
{
}

#endif

#if !defined(GLYPHAR_NO_VECTOR) && ((defined(__x86_64__) && defined(__GNUC__)) ||                \
                                    (defined(__aarch64__) && defined(__ARM_NEON) &&             \
                                     !defined(__AARCH64EB__)))
constexpr bool kVectorGather = true;
#else
constexpr bool kVectorGather = false;

inline void GatherUnscaled(uint64_t *, int64_t, const uint8_t (*)[16], const unsigned char *,
                           int64_t, int64_t, int64_t)
{
}
#endif

#endif  // GLYPHAR_VECTOR_H
