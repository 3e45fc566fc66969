// Font loading, private to the renderer: PSF 1 and 2, BDF, PCF and Unifont's
// .hex, plain or gzip-compressed, from a file or from memory. Every failure
// gives nullptr and one line saying what is wrong and where.
#ifndef GLYPHAR_FONT_LOAD_H
#define GLYPHAR_FONT_LOAD_H

#include "GlypharFonts.h"

#include <cstddef>
#include <cstdint>

namespace glyphar {

// The most font data loaded, after decompression.
constexpr size_t kMaxFontData = size_t{64} << 20;
constexpr int kMaxGlyphs = 65536;

// Where a failure's reason goes: `size` bytes at `text`, or nowhere.
struct Reason {
    char *text;
    size_t size;
};

GlypharFont *LoadFontFile(const char *path, Reason why);
GlypharFont *LoadFontMemory(const uint8_t *data, size_t size, Reason why);

//----------------------------------------------------------------------------
// What the loaders share. `where` leads every reason (the file's name, or
// nothing for memory).
//----------------------------------------------------------------------------

#if defined(__GNUC__)
__attribute__((format(printf, 2, 3)))
#endif
void Say(Reason why, const char *format, ...);

// Says that memory ran out; nullptr, for a loader to return.
GlypharFont *OutOfMemory(Reason why, const char *where);

// Fills in the map's gaps (FinishFont) and hands the font over; frees it
// and says so where memory runs out. fallback, where the font names one, is
// the glyph of characters it lacks when it has no U+FFFD.
GlypharFont *HandOver(GlypharFont *font, Reason why, const char *where,
                      uint32_t fallback = kNoFallback);

// The glyphs of a font whose glyphs each have their own metrics (BDF, PCF,
// .hex), gathered before the font is made: each one's metrics, code point
// and where its bitmap lies in the data.
struct GlyphList {
    GlyphMetrics *metrics = nullptr;
    uint32_t *codepoints = nullptr;
    size_t *bitmaps = nullptr;
    int count = 0, room = 0;

    GlyphList() = default;
    GlyphList(const GlyphList &) = delete;
    GlyphList &operator=(const GlyphList &) = delete;
    ~GlyphList();

    // False where memory runs out.
    bool Add(const GlyphMetrics &m, uint32_t codepoint, size_t bitmap);
};

// Whether a glyph's metrics lie within what glyphar draws; otherwise says
// which value of which glyph does not, for a loader to return nullptr.
bool MetricsFit(const GlyphMetrics &m, Reason why, const char *where, const char *glyph);

// Makes the font of a list's glyphs, its code points mapped and its glyphs
// blank, for the loader to fill with PutGlyphRow; nullptr, and why, where
// their box is past the limits or memory runs out. `format` names the
// format in reasons.
GlypharFont *FontOfList(const GlyphList &list, int ascent, int descent, Reason why,
                        const char *where, const char *format);

// X11's charset registry: fonts of ISO10646-1 (Unicode), ISO8859-1 (Latin-1)
// and ISO646.1991-IRV (ASCII) have code points for encodings, and so does
// a font that names none; others are refused with a reason.
bool EncodingsAreCodePoints(const char *registry, const char *encoding, Reason why,
                            const char *where);

GlypharFont *LoadBdf(const uint8_t *data, size_t size, Reason why, const char *where);
GlypharFont *LoadHex(const uint8_t *data, size_t size, Reason why, const char *where);
GlypharFont *LoadPcf(const uint8_t *data, size_t size, Reason why, const char *where);

}  // namespace glyphar

#endif  // GLYPHAR_FONT_LOAD_H
