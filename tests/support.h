// Offscreen surfaces and pixel helpers shared by the renderer's tests.
#ifndef GLYPHAR_TESTS_SUPPORT_H
#define GLYPHAR_TESTS_SUPPORT_H

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>


#include "Glyphar.h"
#include "GlypharWriters.h"
#include "sdl_compat.h"

namespace glyphar_test {

struct SurfaceDeleter {
    void operator()(SDL_Surface *s) const { SDL_FreeSurface(s); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

enum class Format { k565, k555 };

inline SurfacePtr MakeSurface(int w, int h, Format format = Format::k565)
{
    if (format == Format::k555)
        return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0x7C00, 0x03E0, 0x001F, 0));
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0));
}

inline Uint16 Mapped(SDL_Surface *s, _color c)
{
    return static_cast<Uint16>(MapSurface(s, static_cast<Uint8>(c.r), static_cast<Uint8>(c.g),
                                          static_cast<Uint8>(c.b)));
}

inline Uint16 PixelAt(const SDL_Surface *s, int x, int y)
{
    return static_cast<const Uint16 *>(s->pixels)[y * (s->pitch / 2) + x];
}

inline void Fill(SDL_Surface *s, Uint16 value)
{
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            static_cast<Uint16 *>(s->pixels)[y * (s->pitch / 2) + x] = value;
}

// Runs body(name) once with each set of pixel writers this build and CPU
// can run, then goes back to the best.
template <class Body>
void ForEachWriters(Body body)
{
    for (int path : {GLYPHAR_WRITERS_PORTABLE, GLYPHAR_WRITERS_AVX2, GLYPHAR_WRITERS_AVX512,
                     GLYPHAR_WRITERS_NEON})
        if (GlypharWriterPaths() & (1 << path)) {
            GlypharUseWriters(path);
            body(std::string(GlypharWritersName(path)));
        }
    GlypharUseWriters(-1);
}

// The pixels of a surface row by row, without any pitch padding.
inline std::vector<Uint16> Pixels(const SDL_Surface *s)
{
    std::vector<Uint16> out;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x)
            out.push_back(PixelAt(s, x, y));
    return out;
}

// Pixels that differ from value: the smallest box holding them all.
struct Extent {
    int left = -1, right = -1, top = -1, bottom = -1;
    bool empty() const { return left < 0; }
};

inline Extent ExtentOfPixelsOtherThan(const SDL_Surface *s, Uint16 value, int top = 0,
                                      int bottom = -1)
{
    if (bottom < 0)
        bottom = s->h - 1;
    Extent e;
    for (int y = top; y <= bottom; ++y)
        for (int x = 0; x < s->w; ++x) {
            if (PixelAt(s, x, y) == value)
                continue;
            if (e.empty()) {
                e = {x, x, y, y};
                continue;
            }
            e.left = std::min(e.left, x);
            e.right = std::max(e.right, x);
            e.top = std::min(e.top, y);
            e.bottom = std::max(e.bottom, y);
        }
    return e;
}

constexpr _color kWhite = {255, 255, 255};
constexpr _color kBlack = {0, 0, 0};
constexpr _color kTransparent = {-1, -1, -1};
// A canvas colour no test draws with, so untouched pixels stand out.
constexpr Uint16 kCanvas = 0x5A5A;

// A glyph as the renderer draws it at size 1: nine rows of six '0'/'1'.
using Bitmap = std::array<std::string, 9>;

// What draw(surface) draws white on black in a 6 x 9 surface, as a Bitmap.
template <class Draw>
Bitmap DrawnBitmap(Draw draw)
{
    SurfacePtr s = MakeSurface(6, 9);
    draw(s.get());
    Bitmap bitmap;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x)
            bitmap[y] += PixelAt(s.get(), x, y) == Mapped(s.get(), kWhite) ? '1' : '0';
    return bitmap;
}

inline Bitmap GlyphBitmap(unsigned char c)
{
    GlypharInit();
    return DrawnBitmap([c](SDL_Surface *s) { GlypharCarac(s, c, 0, 0, 1.0f, kWhite, kBlack); });
}

}  // namespace glyphar_test

#endif  // GLYPHAR_TESTS_SUPPORT_H
