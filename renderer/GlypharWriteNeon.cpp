// NEON pixel writers and the built-in font's size-1 gather, 64-bit ARM
// (little-endian) only, where every CPU has NEON. They draw exactly the
// pixels of the portable writers, from the same words of bits.

#include "GlypharWrite.h"

#if defined(__aarch64__) && defined(__ARM_NEON) && !defined(__AARCH64EB__) && !defined(GLYPHAR_NO_VECTOR)

#include <arm_neon.h>

namespace glyphar {

namespace {

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
        GLYPHAR_UNROLL(8)
        for (int k = 0; k < 8; ++k)
            c[k] = vld1q_u8(i + k < count ? font[cells[i + k]] : kBlank);
        uint16x8_t a[4], h[4];
        GLYPHAR_UNROLL(4)
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
        GLYPHAR_UNROLL(5)
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
            GLYPHAR_UNROLL(5)
            for (int k = 0; k < 5; ++k)
                current[k] = vshlq_u64(packed[k], up);
            pos += 48;
            continue;
        }
        GLYPHAR_UNROLL(5)
        for (int k = 0; k < 5; ++k)
            current[k] = vorrq_u64(current[k], vshlq_u64(packed[k], up));
        if (pos + 48 < 64) {
            pos += 48;
            continue;
        }
        GLYPHAR_UNROLL(5)
        for (int k = 0; k < 5; ++k) {
            rows[2 * k * stride + index] = vgetq_lane_u64(current[k], 0);
            rows[(2 * k + 1) * stride + index] = vgetq_lane_u64(current[k], 1);
            current[k] = vshlq_u64(packed[k], down);  // nothing when pos is 0
        }
        ++index;
        pos -= 16;
    }
    if (index < words)
        GLYPHAR_UNROLL(5)
        for (int k = 0; k < 5; ++k) {
            rows[2 * k * stride + index] = vgetq_lane_u64(current[k], 0);
            rows[(2 * k + 1) * stride + index] = vgetq_lane_u64(current[k], 1);
        }
}

// NEON has no masked store: transparent rows, and a row's last partial
// word, stay with the portable writers, which hand it whole opaque words.

}  // namespace

extern const VectorWriters kNeonWriters = {
    {{nullptr, nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr, nullptr}},
    {{nullptr, nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr, nullptr}},
    {OpaqueWordsNeon<1>, OpaqueWordsNeon<2>, nullptr, OpaqueWordsNeon<4>},
    GatherUnscaled,
    {nullptr, nullptr},
    {{nullptr, nullptr, nullptr, nullptr}, {nullptr, nullptr, nullptr, nullptr}},
    nullptr,
    nullptr,
    {nullptr, nullptr, nullptr, nullptr},
    true,
};

}  // namespace glyphar

#else

// Left out of this build: nothing, and never chosen.
extern const glyphar::VectorWriters glyphar::kNeonWriters = {};

#endif
