// libFuzzer target for the font loaders: any bytes, plain or gzip-compressed,
// given to GlypharFontLoadMemory (one target a format, each from its own
// seeds). A font that loads must draw, measure and answer for code points;
// one that does not must say why in one line.
// Sanitizers catch any read outside the data.

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "Glyphar.h"

#if SDL_MAJOR_VERSION >= 3
#define FreeSurface SDL_DestroySurface
#else
#define FreeSurface SDL_FreeSurface
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    char why[128];
    std::memset(why, 'x', sizeof why);
    GlypharFont *font = GlypharFontLoadMemory(data, size, why, sizeof why);
    if (font == nullptr) {
        // The reason is always ended, within its room, and one line.
        if (std::memchr(why, '\0', sizeof why) == nullptr || std::strchr(why, '\n') != nullptr)
            std::abort();
        return 0;
    }
    const GlypharFontMetrics m = GlypharFontGetMetrics(font);
    // A font whose glyphs all have no advance is 0 wide.
    if (m.width < 0 || m.height < 1 || m.height > 128 || m.glyphs < 1)
        std::abort();
#if SDL_MAJOR_VERSION >= 3
    SDL_Surface *s = SDL_CreateSurface(96, 64, SDL_PIXELFORMAT_RGB565);
#else
    SDL_Surface *s = SDL_CreateRGBSurface(0, 96, 64, 16, 0xF800, 0x07E0, 0x001F, 0);
#endif
    const char *text = "Az \xC3\xA9\xE2\x82\xAC\n\xD0\x96\xCE\xB1\xEF\xBF\xBD\x01";
    _rect painted;
    GlypharFontMeasure(font, text, {0, 0, 96, 64}, 1.5f, GLYPHAR_UTF8 | GLYPHAR_WRAP_WORDS,
                       &painted);
    GlypharFontDraw(s, font, text, {-3, 2, 96, 64}, 1.0f, {255, 255, 255}, {0, 0, 0},
                    GLYPHAR_UTF8);
    GlypharFontDraw(s, font, text, {5, 9, 40, 64}, 2.5f, {255, 0, 0}, {-1, -1, -1}, 0);
    for (uint32_t cp : {0x20u, 0x41u, 0xFFFDu, 0x10FFFFu, 0x110000u}) {
        GlypharFontCodePoint(s, font, cp, 90, 60, 1.0f, {1, 2, 3}, {4, 5, 6});
        (void)GlypharFontHasGlyph(font, cp);
    }
    FreeSurface(s);
    GlypharFontFree(font);
    return 0;
}
