// Debian's console fonts as the tests load them: through the library where
// it reads compressed fonts, otherwise from the bytes the tests inflate
// themselves, so that a build without zlib tests the same fonts.
#ifndef GLYPHAR_TESTS_CONSOLE_FONTS_H
#define GLYPHAR_TESTS_CONSOLE_FONTS_H

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Glyphar.h"
#include "support.h"

namespace glyphar_test {

inline const std::string kFontDir = "/usr/share/consolefonts";

// The whole of a file, through zlib's reader, which reads plain files as
// they are.
inline std::vector<uint8_t> ReadFile(const std::string &path)
{
    std::vector<uint8_t> out;
    gzFile file = gzopen(path.c_str(), "rb");
    if (file == nullptr)
        return out;
    uint8_t chunk[65536];
    for (int got; (got = gzread(file, chunk, sizeof chunk)) > 0;)
        out.insert(out.end(), chunk, chunk + got);
    gzclose(file);
    return out;
}

struct FontDeleter {
    void operator()(GlypharFont *f) const { GlypharFontFree(f); }
};
using FontPtr = std::unique_ptr<GlypharFont, FontDeleter>;

inline FontPtr Load(const std::string &path, std::string *why = nullptr)
{
    char reason[300] = "";
    FontPtr font(GlypharFontLoad(path.c_str(), reason, sizeof reason));
    if (why != nullptr)
        *why = reason;
    return font;
}

inline FontPtr LoadBytes(const std::vector<uint8_t> &bytes, std::string *why = nullptr)
{
    char reason[300] = "";
    FontPtr font(GlypharFontLoadMemory(bytes.data(), bytes.size(), reason, sizeof reason));
    if (why != nullptr)
        *why = reason;
    return font;
}

// Whether the library was built with zlib: without it, a console font is
// loaded from the bytes the test inflates itself.
#if defined(GLYPHAR_TESTS_INFLATE)
constexpr bool kLibraryInflates = true;
#else
constexpr bool kLibraryInflates = false;
#endif

inline FontPtr LoadConsoleFont(const std::string &name, std::string *why = nullptr)
{
    if (kLibraryInflates)
        return Load(kFontDir + "/" + name, why);
    return LoadBytes(ReadFile(kFontDir + "/" + name), why);
}

// Whether a load fails with one line of reason, or gives a font that draws
// (the sanitizers watch the drawing): what a hostile font may get.
inline void ExpectDefined(const std::vector<uint8_t> &bytes, const std::string &what)
{
    std::string why;
    const FontPtr font = LoadBytes(bytes, &why);
    if (font == nullptr) {
        EXPECT_FALSE(why.empty()) << what;
        EXPECT_EQ(why.find('\n'), std::string::npos) << what;
        return;
    }
    SurfacePtr s = MakeSurface(64, 64);
    GlypharFontDraw(s.get(), font.get(), "Az\xC3\xA9\xE2\x82\xAC \xE4\xBD\xA0!", {-3, -2, 64, 64},
                    1.5f, {255, 255, 255}, {0, 0, 0}, GLYPHAR_UTF8 | GLYPHAR_WRAP_WORDS);
}

}  // namespace glyphar_test

#endif  // GLYPHAR_TESTS_CONSOLE_FONTS_H
