// Font loading, private to the renderer: PSF 1 and 2, plain or gzip-
// compressed, from a file or from memory. Every failure gives nullptr and
// one line saying what is wrong and where.
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

}  // namespace glyphar

#endif  // GLYPHAR_FONT_LOAD_H
