// Every depth SDL gives a software surface, compared with the model drawing
// point by point: random texts, sizes, positions, colours, clip rectangles,
// padded pitches, misaligned pixel pointers and prefilled pixels.

#include <cfloat>
#include <cmath>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

struct PixelFormat {
    const char *name;
    int bpp;
    Uint32 r, g, b, a;
};

const PixelFormat kFormats[] = {
    {"8-bit palette", 8, 0, 0, 0, 0},
    {"15-bit 5-5-5", 15, 0x7C00, 0x03E0, 0x001F, 0},
    {"16-bit 5-6-5", 16, 0xF800, 0x07E0, 0x001F, 0},
    {"16-bit 5-6-5 BGR", 16, 0x001F, 0x07E0, 0xF800, 0},
    {"24-bit RGB", 24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {"24-bit BGR", 24, 0x0000FF, 0x00FF00, 0xFF0000, 0},
    {"32-bit XRGB", 32, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {"32-bit ABGR", 32, 0x0000FF, 0x00FF00, 0xFF0000, 0xFF000000},
};

// A surface whose pixels sit inside a larger buffer of random bytes: before
// the first row, in each row's padding and after the last row.
struct BufferSurface {
    std::vector<Uint8> buffer;
    SurfacePtr surface;

    BufferSurface(const PixelFormat &f, int w, int h, int padding, int misalign,
                  std::mt19937 &random)
    {
        const int pitch = w * ((f.bpp + 7) / 8) + padding;
        buffer.resize(static_cast<size_t>(pitch) * h + 64);
        for (Uint8 &byte : buffer)
            byte = static_cast<Uint8>(random());
        surface.reset(SDL_CreateRGBSurfaceFrom(buffer.data() + 16 + misalign, w, h, f.bpp, pitch,
                                               f.r, f.g, f.b, f.a));
    }
};

struct Call {
    int kind;  // 0 Glyphar, 1 GlypharEx, 2 GlypharCarac, 3 GlypharPoint, 4 GlypharCodePoint
    std::string text;
    _rect box;
    float size;
    _color fg, bg;
    int flags;

    std::string Describe() const
    {
        std::ostringstream out;
        out.precision(9);
        out << "call " << kind << " text \"" << text << "\" box " << box.x << "," << box.y << ","
            << box.w << "," << box.h << " size " << size << " flags " << flags << " fg " << fg.r
            << "," << fg.g << "," << fg.b << " bg " << bg.r << "," << bg.g << "," << bg.b;
        return out.str();
    }
};

// Sizes on both sides of every threshold the drawing has: the smallest
// cells, whole and fractional sizes, and characters just within and just
// past 64 pixels wide or high, and glyph columns 64 pixels wide and more.
float RandomSize(std::mt19937 &random)
{
    static const float kEdges[] = {1.0f / 6, 0.25f, 0.5f, 1.0f, 1.5f, 2.0f, 2.5f, 3.0f,
                                   4.0f, 7.1f, 7.12f, 10.6f, 10.67f, 10.7f, 10.84f, 11.0f,
                                   11.1f, 64.0f, 70.5f};
    if (random() % 2)
        return kEdges[random() % (sizeof kEdges / sizeof *kEdges)];
    return std::uniform_real_distribution<float>(0.1f, 12.0f)(random);
}

// Bytes, and now and then a UTF-8 character, well-formed or not.
std::string RandomText(std::mt19937 &random, size_t maxLength)
{
    static const char kBytes[] = "ABCMQWgjpqy019 ;:,.()+-*/  \n!?\t\xE9";
    static const char *const kPieces[] = {"\xC3\xA9", "\xC3\x87", "\xE2\x82\xAC",
                                          "\xC2\xA0", "\xF0\x9F\x98\x80", "\xE2\x82",
                                          "\xED\xA0\x80", "\x7F", "@{~}"};
    std::string text;
    const size_t n = random() % (maxLength + 1);
    for (size_t i = 0; i < n; ++i) {
        if (random() % 6 == 0)
            text += kPieces[random() % (sizeof kPieces / sizeof *kPieces)];
        else
            text += kBytes[random() % (sizeof kBytes - 1)];
    }
    return text;
}

_color RandomColor(std::mt19937 &random)
{
    std::uniform_int_distribution<int> component(-2, 300);
    return {component(random), component(random), component(random)};
}

void Draw(SDL_Surface *s, const Call &c, bool model)
{
    const unsigned char byte = c.text.empty() ? 'W' : static_cast<unsigned char>(c.text[0]);
    switch (c.kind) {
    case 0:
        if (model)
            ModelDrawRows(s, ModelLayOut(c.text, c.box, c.size, 0).rows, c.box, c.size, c.fg,
                          c.bg, 0);
        else
            Glyphar(s, c.text.c_str(), c.box, c.size, c.fg, c.bg);
        break;
    case 1:
        if (model && (c.flags & GLYPHAR_UTF8))
            ModelDrawRows(s,
                          ModelLayOut(ModelCodePoints(ModelDecodeUtf8(c.text)), c.box, c.size,
                                      c.flags).rows,
                          c.box, c.size, c.fg, c.bg, c.flags);
        else if (model)
            ModelDrawRows(s, ModelLayOut(c.text, c.box, c.size, c.flags).rows, c.box, c.size,
                          c.fg, c.bg, c.flags);
        else
            GlypharEx(s, c.text.c_str(), c.box, c.size, c.fg, c.bg, c.flags);
        break;
    case 2:
        if (model)
            ModelCarac(s, byte, c.box.x, c.box.y, c.size, c.fg, c.bg);
        else
            GlypharCarac(s, byte, c.box.x, c.box.y, c.size, c.fg, c.bg);
        break;
    case 4: {
        const char32_t cp = c.text.empty() ? static_cast<char32_t>(c.flags) * 0x1111
                                           : ModelDecodeUtf8(c.text)[0].cp;
        if (model)
            ModelCell(s, cp, c.box.x, c.box.y, c.size, c.fg, c.bg);
        else
            GlypharCodePoint(s, cp, c.box.x, c.box.y, c.size, c.fg, c.bg);
        break;
    }
    default:
        if (model)
            ModelPoint(s, c.box.x, c.box.y, c.fg);
        else
            GlypharPoint(s, c.box.x, c.box.y, c.fg);
    }
}

// Where the random rounds reach beyond small surfaces: rows wider than the
// renderer's 1024-pixel window, many rows tall, with cells placed exactly on
// a window's edge or one pixel either side; and characters 64 pixels wide
// and more, several to a row.
struct Round {
    bool wide;
    float size;
    int w, h;
};

Round RandomRound(std::mt19937 &random, int round)
{
    static const float kWideSizes[] = {1.0f, 1.5f, 2.0f, 4.0f};
    Round r;
    r.wide = round % 25 == 7;
    r.size = r.wide ? kWideSizes[random() % 4] : RandomSize(random);
    const bool broad = !r.wide && r.size > 10;
    r.w = r.wide ? 1030 + static_cast<int>(random() % 1100)
                 : broad ? 200 + static_cast<int>(random() % 300) : 1 + static_cast<int>(random() % 150);
    r.h = r.wide ? 1 + static_cast<int>(random() % 40) : 1 + static_cast<int>(random() % 90);
    return r;
}

// A box whose cells land on the first window edge (x 1024 of the row shown
// from x 0), or one pixel either side of it.
int32_t OnTheWindowEdge(std::mt19937 &random, float size)
{
    const int pitch = static_cast<int>(6.0 * size);
    const int cells = 1024 / pitch + 1 + static_cast<int>(random() % 3);
    return 1024 - pitch * cells + static_cast<int>(random() % 3) - 1;
}

TEST(Depths, EveryCallMatchesTheModelOnEveryDepth)
{
    GlypharInit();
    ForEachWriters([](const std::string &writers) {
    std::mt19937 random(9);
    for (int round = 0; round < 1200; ++round) {
        const PixelFormat &f = kFormats[round % (sizeof kFormats / sizeof *kFormats)];
        const Round r = RandomRound(random, round);
        const int w = r.w, h = r.h;
        const int padding = static_cast<int>(random() % 3) * static_cast<int>(random() % 9);
        const int misalign = static_cast<int>(random() % 4);
        const uint32_t seed = static_cast<uint32_t>(random());
        std::mt19937 fill(seed), fillAgain(seed);
        BufferSurface got(f, w, h, padding, misalign, fill), want(f, w, h, padding, misalign, fillAgain);
        ASSERT_TRUE(got.surface && want.surface) << f.name;
        if (f.bpp == 8) {
            SDL_Color palette[256];
            for (SDL_Color &c : palette)
                c = {static_cast<Uint8>(random()), static_cast<Uint8>(random()),
                     static_cast<Uint8>(random()), 0};
            SetPalette(got.surface.get(), palette);
            SetPalette(want.surface.get(), palette);
        }
        if (!r.wide && random() % 3 != 0) {
            std::uniform_int_distribution<int> x(-10, w + 10), y(-10, h + 10);
            const int left = x(random), top = y(random);
            SDL_Rect clip;
            clip.x = static_cast<decltype(clip.x)>(left);
            clip.y = static_cast<decltype(clip.y)>(top);
            clip.w = static_cast<decltype(clip.w)>(std::max(0, x(random) - left));
            clip.h = static_cast<decltype(clip.h)>(std::max(0, y(random) - top));
            SDL_SetClipRect(got.surface.get(), &clip);
            SDL_SetClipRect(want.surface.get(), &clip);
#if SDL_MAJOR_VERSION < 3
            // A clip rectangle written by hand, reaching beyond the surface:
            // still nothing outside the pixels may be written.
            if (random() % 4 == 0)
                for (SDL_Surface *s : {got.surface.get(), want.surface.get()}) {
                    s->clip_rect.x = static_cast<decltype(clip.x)>(-7);
                    s->clip_rect.y = static_cast<decltype(clip.y)>(-5);
                    s->clip_rect.w = static_cast<decltype(clip.w)>(w + 20);
                    s->clip_rect.h = static_cast<decltype(clip.h)>(h + 15);
                }
#endif
        }

        Call c;
        c.kind = r.wide ? static_cast<int>(random() % 2) : static_cast<int>(random() % 5);
        c.text = RandomText(random, r.wide ? 600 : 14);
        const float size = r.size;
        const int span = static_cast<int>(12 * size) + 10;
        std::uniform_int_distribution<int> px(-span, w + 5), py(-span, h + 5);
        c.box = {px(random), py(random), static_cast<int32_t>(random() % (w + 40)) - 10,
                 static_cast<int32_t>(random() % (h + 40)) - 10};
        if (r.wide) {
            c.box.x = OnTheWindowEdge(random, size);
            c.box.y = -static_cast<int32_t>(random() % 10);
            c.box.w = w + 1200;
            c.box.h = h + 40;
        }
        c.size = size;
        c.fg = RandomColor(random);
        c.bg = random() % 3 == 0 ? _color{0, -1, 0} : RandomColor(random);
        c.flags = static_cast<int>(random() % 16);
        if (c.kind == 3) {
            std::uniform_int_distribution<int> qx(-2, w + 1), qy(-2, h + 1);
            c.box.x = qx(random);
            c.box.y = qy(random);
        }

        Draw(got.surface.get(), c, false);
        Draw(want.surface.get(), c, true);
        ASSERT_EQ(got.buffer, want.buffer)
            << writers << " writers, " << f.name << " " << w << "x" << h << " pitch "
            << got.surface->pitch << " misalign " << misalign << " clip "
            << ClipOf(got.surface.get()).x << "," << ClipOf(got.surface.get()).y << ","
            << ClipOf(got.surface.get()).w << "," << ClipOf(got.surface.get()).h << " "
            << c.Describe();
    }
    });
}

// The font drawn at size 1 is the test's own copy of it, byte for byte.
TEST(Depths, GlyphsMatchTheTestsCopyOfTheFont)
{
    GlypharInit();
    for (int c = 0; c < 256; ++c) {
        const Bitmap drawn = GlyphBitmap(static_cast<unsigned char>(c));
        for (int row = 0; row < 9; ++row)
            for (int col = 0; col < 6; ++col)
                EXPECT_EQ(drawn[row][col] == '1', ModelLit(static_cast<unsigned char>(c), row, col))
                    << "byte " << c << " row " << row << " col " << col;
    }
}

}  // namespace
}  // namespace glyphar_test
