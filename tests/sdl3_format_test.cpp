// SDL3's pixel formats, by value: every format of 8 to 32 bits per pixel is
// drawn as SDL_FillSurfaceRect of each pixel with the mapped colour would
// store it; packed, FOURCC, 10-bit and floating-point formats draw nothing.

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model.h"
#include "support.h"

#if SDL_MAJOR_VERSION >= 3

namespace glyphar_test {
namespace {

std::vector<Uint8> Bytes(const SDL_Surface *s)
{
    const Uint8 *p = static_cast<const Uint8 *>(s->pixels);
    return std::vector<Uint8>(p, p + static_cast<size_t>(s->pitch) * s->h);
}

TEST(Sdl3Formats, EveryWritableFormatMatchesTheModel)
{
    const SDL_PixelFormat formats[] = {
        SDL_PIXELFORMAT_INDEX8,   SDL_PIXELFORMAT_RGB332,   SDL_PIXELFORMAT_XRGB4444,
        SDL_PIXELFORMAT_XBGR4444, SDL_PIXELFORMAT_XRGB1555, SDL_PIXELFORMAT_XBGR1555,
        SDL_PIXELFORMAT_ARGB4444, SDL_PIXELFORMAT_RGBA4444, SDL_PIXELFORMAT_ABGR4444,
        SDL_PIXELFORMAT_BGRA4444, SDL_PIXELFORMAT_ARGB1555, SDL_PIXELFORMAT_RGBA5551,
        SDL_PIXELFORMAT_ABGR1555, SDL_PIXELFORMAT_BGRA5551, SDL_PIXELFORMAT_RGB565,
        SDL_PIXELFORMAT_BGR565,   SDL_PIXELFORMAT_RGB24,    SDL_PIXELFORMAT_BGR24,
        SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_RGBX8888, SDL_PIXELFORMAT_XBGR8888,
        SDL_PIXELFORMAT_BGRX8888, SDL_PIXELFORMAT_ARGB8888, SDL_PIXELFORMAT_RGBA8888,
        SDL_PIXELFORMAT_ABGR8888, SDL_PIXELFORMAT_BGRA8888,
    };
    std::mt19937 random(18);
    for (SDL_PixelFormat format : formats) {
        for (int round = 0; round < 8; ++round) {
            SurfacePtr got(SDL_CreateSurface(37, 23, format)), want(SDL_CreateSurface(37, 23, format));
            ASSERT_TRUE(got && want) << SDL_GetPixelFormatName(format);
            if (SDL_ISPIXELFORMAT_INDEXED(format)) {
                SDL_Color palette[256];
                for (SDL_Color &c : palette)
                    c = {static_cast<Uint8>(random()), static_cast<Uint8>(random()),
                         static_cast<Uint8>(random()), 255};
                SetPalette(got.get(), palette);
                SetPalette(want.get(), palette);
            }
            for (size_t k = 0; k < static_cast<size_t>(got->pitch) * got->h; ++k)
                static_cast<Uint8 *>(got->pixels)[k] = static_cast<Uint8 *>(want->pixels)[k] =
                    static_cast<Uint8>(random());
            const _color fg = {static_cast<int>(random() % 256), static_cast<int>(random() % 256), 7};
            const _color bg = round % 2 ? kTransparent : _color{9, static_cast<int>(random() % 256), 200};
            const _rect box = {static_cast<int>(random() % 9) - 4, static_cast<int>(random() % 9) - 4, 40, 30};
            const float size = round % 3 == 0 ? 1.5f : 1.0f;
            const std::string text = "Wg\xC3\xA9 e\nQj";
            GlypharEx(got.get(), text.c_str(), box, size, fg, bg, GLYPHAR_UTF8);
            ModelDrawRows(want.get(),
                          ModelLayOut(ModelCodePoints(ModelDecodeUtf8(text)), box, size, 0).rows,
                          box, size, fg, bg, 0);
            ASSERT_EQ(Bytes(got.get()), Bytes(want.get()))
                << SDL_GetPixelFormatName(format) << " round " << round;
        }
    }
}

TEST(Sdl3Formats, FormatsThatCannotBeWrittenDrawNothing)
{
    const SDL_PixelFormat formats[] = {
        SDL_PIXELFORMAT_INDEX1LSB,   SDL_PIXELFORMAT_INDEX1MSB,    SDL_PIXELFORMAT_INDEX2LSB,
        SDL_PIXELFORMAT_INDEX4LSB,   SDL_PIXELFORMAT_INDEX4MSB,    SDL_PIXELFORMAT_XRGB2101010,
        SDL_PIXELFORMAT_ARGB2101010, SDL_PIXELFORMAT_RGB48,        SDL_PIXELFORMAT_RGBA64,
        SDL_PIXELFORMAT_RGB48_FLOAT, SDL_PIXELFORMAT_RGBA128_FLOAT, SDL_PIXELFORMAT_YUY2,
        SDL_PIXELFORMAT_NV12,
    };
    for (SDL_PixelFormat format : formats) {
        SurfacePtr s(SDL_CreateSurface(40, 20, format));
        if (!s)
            continue;  // SDL cannot make this one here
        const size_t size = static_cast<size_t>(s->pitch) * s->h;
        std::memset(s->pixels, 0x3C, size);
        const std::vector<Uint8> before = Bytes(s.get());
        Glyphar(s.get(), "Wg", {0, 0, 40, 20}, 2.0f, kWhite, kBlack);
        GlypharCodePoint(s.get(), 'W', 3, 3, 1.0f, kWhite, kBlack);
        GlypharPoint(s.get(), 1, 1, kWhite);
        EXPECT_EQ(Bytes(s.get()), before) << SDL_GetPixelFormatName(format);
    }
}

}  // namespace
}  // namespace glyphar_test

#endif
