// UTF-8 decoding, private to the renderer. A character is one cell; an
// ill-formed sequence is one cell of the replacement character for each
// maximal subpart (the bytes up to the first one that cannot continue it), as
// the WHATWG decoder substitutes U+FFFD, so a bad byte never swallows the
// character after it. A NUL never continues a sequence, so nothing is read
// past the end of a NUL-terminated text.
#ifndef GLYPHAR_UTF8_H
#define GLYPHAR_UTF8_H

#include <cstdint>

#include "GlypharInline.h"

namespace glyphar {

constexpr uint32_t kReplacementCharacter = 0xFFFD;

struct Utf8Char {
    uint32_t codepoint;
    int length;  // bytes, 1 to 4
};

inline Utf8Char DecodeUtf8(const unsigned char *p)
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

// ASCII, two-byte characters (all of Latin-1) and the three-byte ones whose
// lead allows any continuation (U+1000 to U+FFFF but the surrogates and
// U+D000 to U+D7FF: CJK, kana, Hangul) without a call.
GLYPHAR_ALWAYS_INLINE Utf8Char NextChar(const unsigned char *p)
{
    if (p[0] < 0x80)
        return {p[0], 1};
    if (p[0] >= 0xC2 && p[0] <= 0xDF && (p[1] & 0xC0) == 0x80)
        return {(p[0] & 0x1Fu) << 6 | (p[1] & 0x3Fu), 2};
    if ((p[0] & 0xF0) == 0xE0 && p[0] != 0xE0 && p[0] != 0xED && (p[1] & 0xC0) == 0x80 &&
        (p[2] & 0xC0) == 0x80)
        return {(p[0] & 0x0Fu) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu), 3};
    return DecodeUtf8(p);
}

}  // namespace glyphar

#endif  // GLYPHAR_UTF8_H
