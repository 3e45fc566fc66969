// Drawing through an SDL_Renderer (SDL2 and SDL3 builds): SDL's software
// renderer over a surface must end up with exactly the pixels the surface
// calls write, at scale 1 and at integer scales, inside viewports and clip
// rectangles; in one copy per text; leaving the renderer's state as it was.
// The draw calls and texture creations are counted by wrapping SDL's own
// functions at link time (tests/CMakeLists.txt).

#include "Glyphar.h"

#if SDL_MAJOR_VERSION >= 2

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_fonts.h"
#include "support.h"

#if SDL_MAJOR_VERSION >= 3
#define COPY_CALL SDL_RenderTexture
using CopyRect = SDL_FRect;
using CopyResult = bool;
#else
#define COPY_CALL SDL_RenderCopy
using CopyRect = SDL_Rect;
using CopyResult = int;
#endif

#define WRAP(f) GLYPHAR_CAT(__wrap_, f)
#define REAL(f) GLYPHAR_CAT(__real_, f)
#define GLYPHAR_CAT(a, b) GLYPHAR_CAT2(a, b)
#define GLYPHAR_CAT2(a, b) a##b

namespace {
int copies = 0, texturesMade = 0;
}

extern "C" {
CopyResult REAL(COPY_CALL)(SDL_Renderer *, SDL_Texture *, const CopyRect *, const CopyRect *);
CopyResult WRAP(COPY_CALL)(SDL_Renderer *r, SDL_Texture *t, const CopyRect *from,
                           const CopyRect *to)
{
    ++copies;
    return REAL(COPY_CALL)(r, t, from, to);
}

SDL_Texture *__real_SDL_CreateTexture(SDL_Renderer *, Uint32, int, int, int);
SDL_Texture *__wrap_SDL_CreateTexture(SDL_Renderer *r, Uint32 format, int access, int w, int h)
{
    ++texturesMade;
    return __real_SDL_CreateTexture(r, format, access, w, h);
}
}

namespace glyphar_test {
namespace {

void Flush(SDL_Renderer *r)
{
    SDL_RenderFlush(r);
}

void SetScale(SDL_Renderer *r, float k)
{
    SDL_RenderSetScale(r, k, k);
}

// An integer-scaled logical presentation, centred in the target.
void SetLogical(SDL_Renderer *r, int w, int h)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_SetRenderLogicalPresentation(r, w, h, SDL_LOGICAL_PRESENTATION_INTEGER_SCALE);
#else
    SDL_RenderSetLogicalSize(r, w, h);
    SDL_RenderSetIntegerScale(r, SDL_TRUE);
#endif
}

const SDL_BlendMode kBlendModes[] = {SDL_BLENDMODE_NONE, SDL_BLENDMODE_BLEND, SDL_BLENDMODE_ADD,
                                     SDL_BLENDMODE_MOD};

SurfacePtr MakeTarget(int bpp, int w, int h)
{
    if (bpp == 16)
        return MakeSurface(w, h);
    return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
}

void FillNoise(SDL_Surface *s, std::mt19937 &random)
{
    auto *p = static_cast<uint8_t *>(s->pixels);
    for (int i = 0; i < s->pitch * s->h; ++i)
        p[i] = static_cast<uint8_t>(random());
}

// The colour bits only: SDL's blitter may fill a 32-bit target's unused
// byte where the surface calls leave it.
bool SamePixels(const SDL_Surface *a, const SDL_Surface *b)
{
    const uint32_t colour = a->pitch / a->w >= 4 ? 0x00FFFFFF : 0xFFFF;
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x) {
            uint32_t p = 0, q = 0;
            const int bytes = colour == 0xFFFF ? 2 : 4;
            std::memcpy(&p, static_cast<const uint8_t *>(a->pixels) + y * a->pitch + x * bytes,
                        bytes);
            std::memcpy(&q, static_cast<const uint8_t *>(b->pixels) + y * b->pitch + x * bytes,
                        bytes);
            if ((p & colour) != (q & colour)) {
                ADD_FAILURE() << "pixel " << x << ", " << y << ": " << std::hex << p << " for "
                              << q;
                return false;
            }
        }
    return true;
}

struct Renderer {
    SDL_Renderer *r;
    explicit Renderer(SDL_Surface *s) : r(SDL_CreateSoftwareRenderer(s)) {}
    ~Renderer()
    {
        GlypharRenderForget(r);
        SDL_DestroyRenderer(r);
    }
};

std::string RandomText(std::mt19937 &random)
{
    static const char *const kPieces[] = {"Hello",   " ",   "  ",   "\n",         "glyphar",
                                          "wrap me", "é",   "€",    "─┼─",        "▀▄",
                                          "⣿",       "░▒▓", "\xFF", "0123456789", "gjpqy"};
    std::string text;
    for (unsigned n = random() % 24; n > 0; --n)
        text += kPieces[random() % (sizeof kPieces / sizeof *kPieces)];
    return text;
}

_color RandomColor(std::mt19937 &random)
{
    return {static_cast<int32_t>(random() % 256), static_cast<int32_t>(random() % 256),
            static_cast<int32_t>(random() % 256)};
}

// One random drawing through the renderer, and what the surface calls must
// make of it: the renderer's coordinates scaled by k and moved to the
// viewport's corner in the target's pixels, clipped to the viewport and the
// clip rectangle.
struct Case {
    int kind;  // 0 text, 1 code point, 2 grid
    const GlypharFont *font;
    std::string text;
    uint32_t codepoint;
    std::vector<GlypharCell> cells;
    int columns, rows;
    _rect box;
    float size;
    _color fg, bg;
    int flags;

    void Render(SDL_Renderer *r) const
    {
        switch (kind) {
        case 0: GlypharRender(r, font, text.c_str(), box, size, fg, bg, flags); break;
        case 1: GlypharRenderCodePoint(r, font, codepoint, box.x, box.y, size, fg, bg); break;
        default: GlypharRenderGrid(r, font, cells.data(), columns, rows, box.x, box.y, size);
        }
    }

    void Draw(SDL_Surface *s, int k, int originX, int originY) const
    {
        _rect at{originX + k * box.x, originY + k * box.y, k * box.w, k * box.h};
        const float scaled = size * static_cast<float>(k);
        switch (kind) {
        case 0: GlypharFontDraw(s, font, text.c_str(), at, scaled, fg, bg, flags); break;
        case 1: GlypharFontCodePoint(s, font, codepoint, at.x, at.y, scaled, fg, bg); break;
        default: GlypharGrid(s, font, cells.data(), columns, rows, at.x, at.y, scaled);
        }
    }
};

Case RandomCase(std::mt19937 &random, const GlypharFont *font)
{
    static const float kSizes[] = {1, 2, 1.5f, 0.75f, 2.25f, 3, 1.2f};
    Case c{};
    c.kind = static_cast<int>(random() % 3);
    c.font = font;
    c.text = RandomText(random);
    // Rows of one length, which an opaque background covers without a gap.
    if (random() % 4 == 0) {
        c.text.clear();
        for (int row = 0, rows = 1 + static_cast<int>(random() % 4); row < rows; ++row)
            c.text += (row > 0 ? "\n" : "") + std::string(4, static_cast<char>('a' + row));
    }
    c.codepoint = random() % 2 ? 0x20 + random() % 0x60 : 0x2500 + random() % 0xA0;
    c.columns = 1 + static_cast<int>(random() % 12);
    c.rows = 1 + static_cast<int>(random() % 5);
    for (int i = 0; i < c.columns * c.rows; ++i)
        c.cells.push_back(
            {static_cast<uint32_t>(random() % 2 ? 0x21 + random() % 0x5E
                                                : 0x2500 + random() % 0xA0),
             static_cast<uint32_t>(random() & 0xFFFFFF),
             random() % 3 ? static_cast<uint32_t>(random() & 0xFFFFFF) : GLYPHAR_TRANSPARENT});
    c.box = {static_cast<int32_t>(random() % 80) - 20, static_cast<int32_t>(random() % 60) - 15,
             static_cast<int32_t>(random() % 100), static_cast<int32_t>(random() % 60)};
    c.size = kSizes[random() % (sizeof kSizes / sizeof *kSizes)];
    c.fg = RandomColor(random);
    c.bg = random() % 2 ? RandomColor(random) : _color{-1, -1, -1};
    c.flags = static_cast<int>(random() % 16);
    return c;
}

std::vector<FontPtr> Fonts()
{
    std::vector<FontPtr> fonts;
    fonts.emplace_back(nullptr);
    std::string why;
    FontPtr terminus = LoadConsoleFont("Lat15-Terminus16.psf.gz", &why);
    EXPECT_NE(terminus, nullptr) << why;
    if (terminus != nullptr)
        fonts.push_back(std::move(terminus));
    // A proportional face, whose italic ink leaves its blocks.
    FontPtr italic = LoadBytes(ReadFile("/usr/share/fonts/X11/75dpi/timBI14.pcf.gz"), &why);
    EXPECT_NE(italic, nullptr) << why;
    if (italic != nullptr)
        fonts.push_back(std::move(italic));
    return fonts;
}

TEST(Render, SoftwareRendererDrawsTheSurfacePixels)
{
    const std::vector<FontPtr> fonts = Fonts();
    std::mt19937 random(25);
    for (int trial = 0; trial < 400; ++trial) {
        const int bpp = trial % 2 ? 32 : 16;
        const int k = 1 + static_cast<int>(random() % 3);
        const bool logical = k == 2 && random() % 2;
        // A logical presentation is centred in the margin. Shades keep their
        // phase on the viewport's pixels: it starts on even ones.
        const int marginX = logical ? 4 * static_cast<int>(random() % 4) : 0;
        const int marginY = logical ? 4 * static_cast<int>(random() % 3) : 0;
        const int w = 160 / k * k + marginX, h = 96 / k * k + marginY;
        SurfacePtr through = MakeTarget(bpp, w, h), expected = MakeTarget(bpp, w, h);
        FillNoise(through.get(), random);
        std::memcpy(expected->pixels, through->pixels, static_cast<size_t>(through->pitch) * h);
        const Case c = RandomCase(random, fonts[random() % fonts.size()].get());

        Renderer renderer(through.get());
        ASSERT_NE(renderer.r, nullptr) << SDL_GetError();
        SDL_SetRenderDrawBlendMode(renderer.r, kBlendModes[random() % 4]);
        if (logical) {
            SetLogical(renderer.r, (w - marginX) / k, (h - marginY) / k);
            Flush(renderer.r);  // SDL 3.2 leaves out the margin until it flushes once
        } else
            SetScale(renderer.r, static_cast<float>(k));
        // Viewport and clip in the renderer's units; the clip is relative to
        // the viewport.
        const int units = (w - marginX) / k, unitsHigh = (h - marginY) / k;
        SDL_Rect viewport{0, 0, units, unitsHigh}, clip{0, 0, units, unitsHigh};
        // (SDL2 and SDL3 place a viewport set under a logical presentation
        // differently: it is tried without one.)
        if (!logical && random() % 2) {
            viewport = {2 * static_cast<int>(random() % 10), 2 * static_cast<int>(random() % 8),
                        static_cast<int>(20 + random() % 60), static_cast<int>(10 + random() % 40)};
            SDL_RenderSetViewport(renderer.r, &viewport);
        }
        const bool clipped = random() % 2;
        if (clipped) {
            clip = {static_cast<int>(random() % 30) - 5, static_cast<int>(random() % 20) - 5,
                    static_cast<int>(random() % 70), static_cast<int>(random() % 40)};
            SDL_RenderSetClipRect(renderer.r, &clip);
        }
        c.Render(renderer.r);
        Flush(renderer.r);

        const int originX = marginX / 2 + k * viewport.x, originY = marginY / 2 + k * viewport.y;
        SDL_Rect shows{originX, originY, k * viewport.w, k * viewport.h};
        if (clipped) {
            const SDL_Rect within{originX + k * clip.x, originY + k * clip.y, k * clip.w,
                                  k * clip.h};
            const int right = std::min(shows.x + shows.w, within.x + within.w);
            const int bottom = std::min(shows.y + shows.h, within.y + within.h);
            shows.x = std::max(shows.x, within.x);
            shows.y = std::max(shows.y, within.y);
            shows.w = right - shows.x;
            shows.h = bottom - shows.y;
        }
        if (shows.w > 0 && shows.h > 0) {
            SDL_SetClipRect(expected.get(), &shows);
            c.Draw(expected.get(), k, originX, originY);
        }
        ASSERT_TRUE(SamePixels(through.get(), expected.get()))
            << "trial " << trial << ": kind " << c.kind << ", " << bpp << " bits, scale " << k
            << (logical ? " (logical)" : "") << ", size " << c.size << ", text \"" << c.text
            << "\"";
    }
}

// Opaque texts whose rows fill their rectangle are copied without blending;
// rows of other lengths, starts or gaps leave what is under them.
TEST(Render, OpaqueRowsOfEveryShapeOverNoise)
{
    const char *const kTexts[] = {"abcd\nabcd\nabcd", "ab\nabcdef",       "abcdef\nab",
                                  "abc\n\nabc",       "wrap these words", "x"};
    std::mt19937 random(11);
    for (const char *text : kTexts)
        for (int flags : {0, GLYPHAR_ALIGN_CENTER, GLYPHAR_ALIGN_RIGHT, GLYPHAR_WRAP_WORDS})
            for (float size : {1.0f, 1.5f}) {
                SurfacePtr through = MakeTarget(32, 64, 48), expected = MakeTarget(32, 64, 48);
                FillNoise(through.get(), random);
                std::memcpy(expected->pixels, through->pixels,
                            static_cast<size_t>(through->pitch) * through->h);
                const _rect box{1, 1, 40, 40};
                Renderer renderer(through.get());
                GlypharRender(renderer.r, nullptr, text, box, size, {250, 250, 250}, {10, 20, 30},
                              flags);
                Flush(renderer.r);
                GlypharFontDraw(expected.get(), nullptr, text, box, size, {250, 250, 250},
                                {10, 20, 30}, flags);
                EXPECT_TRUE(SamePixels(through.get(), expected.get()))
                    << text << ", flags " << flags << ", size " << size;
            }
}

TEST(Render, OneCopyPerTextGridOrCharacter)
{
    SurfacePtr target = MakeTarget(32, 640, 400);
    Renderer renderer(target.get());
    std::string page;
    for (int i = 0; i < 3000; ++i)
        page += i % 97 == 96 ? '\n' : static_cast<char>(' ' + i % 95);
    std::vector<GlypharCell> screen(80 * 25, GlypharCell{'#', 0xFFFFFF, 0x000080});
    struct {
        const char *what;
        int expected;
        void (*draw)(SDL_Renderer *, const std::string &, const std::vector<GlypharCell> &);
    } const kDraws[] = {
        {"a page of text", 1,
         [](SDL_Renderer *r, const std::string &p, const std::vector<GlypharCell> &) {
             GlypharRender(r, nullptr, p.c_str(), {0, 0, 640, 400}, 1, {255, 255, 255}, {0, 0, 0},
                           GLYPHAR_WRAP_WORDS);
         }},
        {"a grid", 1,
         [](SDL_Renderer *r, const std::string &, const std::vector<GlypharCell> &s) {
             GlypharRenderGrid(r, nullptr, s.data(), 80, 25, 0, 0, 1);
         }},
        {"a character", 1,
         [](SDL_Renderer *r, const std::string &, const std::vector<GlypharCell> &) {
             GlypharRenderCodePoint(r, nullptr, 0x2554, 10, 10, 3, {255, 255, 255}, {-1, -1, -1});
         }},
        {"text outside the target", 0,
         [](SDL_Renderer *r, const std::string &p, const std::vector<GlypharCell> &) {
             GlypharRender(r, nullptr, p.c_str(), {-5000, 0, 100, 400}, 1, {255, 255, 255},
                           {0, 0, 0}, 0);
         }},
    };
    for (const auto &d : kDraws) {
        copies = 0;
        d.draw(renderer.r, page, screen);
        Flush(renderer.r);
        EXPECT_EQ(copies, d.expected) << d.what;
    }
}

// Into a target texture, which the renderer draws on in the texture's own
// format: read back, the pixels the surface calls write on a surface of it.
TEST(Render, IntoATargetTexture)
{
    SurfacePtr screen = MakeTarget(32, 8, 8);
    Renderer renderer(screen.get());
    std::mt19937 random(3);
    for (int bpp : {32, 16}) {
        SurfacePtr expected = MakeTarget(bpp, 96, 40), through = MakeTarget(bpp, 96, 40);
        FillNoise(expected.get(), random);
#if SDL_MAJOR_VERSION >= 3
        const SDL_PixelFormat format = expected->format;
#else
        const Uint32 format = expected->format->format;
#endif
        SDL_Texture *target =
            SDL_CreateTexture(renderer.r, format, SDL_TEXTUREACCESS_TARGET, 96, 40);
        ASSERT_NE(target, nullptr) << SDL_GetError();
        SDL_UpdateTexture(target, nullptr, expected->pixels, expected->pitch);
        SDL_SetRenderTarget(renderer.r, target);
        const _color ink{240, 200, 40}, paper{20, 40, 160};
        GlypharRender(renderer.r, nullptr, "covered\nrow\u2591\u2591\u2591\u2591", {3, 2, 90, 40},
                      1.5f, ink, paper, GLYPHAR_UTF8);
        GlypharRender(renderer.r, nullptr, "over it", {20, 20, 90, 40}, 1, ink, {-1, -1, -1}, 0);
        GlypharFontDraw(expected.get(), nullptr, "covered\nrow\u2591\u2591\u2591\u2591",
                        {3, 2, 90, 40}, 1.5f, ink, paper, GLYPHAR_UTF8);
        GlypharFontDraw(expected.get(), nullptr, "over it", {20, 20, 90, 40}, 1, ink, {-1, -1, -1},
                        0);
#if SDL_MAJOR_VERSION >= 3
        SDL_Surface *read = SDL_RenderReadPixels(renderer.r, nullptr);
        ASSERT_NE(read, nullptr) << SDL_GetError();
        SDL_Surface *converted = SDL_ConvertSurface(read, format);
        std::memcpy(through->pixels, converted->pixels, static_cast<size_t>(through->pitch) * 40);
        SDL_DestroySurface(converted);
        SDL_DestroySurface(read);
#else
        ASSERT_EQ(
            SDL_RenderReadPixels(renderer.r, nullptr, format, through->pixels, through->pitch), 0)
            << SDL_GetError();
#endif
        SDL_SetRenderTarget(renderer.r, nullptr);
        SDL_DestroyTexture(target);
        EXPECT_TRUE(SamePixels(through.get(), expected.get())) << bpp << " bits";
    }
}

TEST(Render, LeavesTheRenderersStateAsItWas)
{
    SurfacePtr target = MakeTarget(32, 200, 100);
    Renderer renderer(target.get());
    SDL_SetRenderDrawColor(renderer.r, 1, 2, 3, 4);
    SDL_SetRenderDrawBlendMode(renderer.r, SDL_BLENDMODE_ADD);
    GlypharRender(renderer.r, nullptr, "state", {5, 5, 100, 20}, 2, {9, 9, 9}, {-1, -1, -1}, 0);
    Uint8 r = 0, g = 0, b = 0, a = 0;
    SDL_BlendMode mode = SDL_BLENDMODE_NONE;
    SDL_GetRenderDrawColor(renderer.r, &r, &g, &b, &a);
    SDL_GetRenderDrawBlendMode(renderer.r, &mode);
    EXPECT_EQ((std::vector<int>{r, g, b, a}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(mode, SDL_BLENDMODE_ADD);
}

// A device reset makes the texture anew; forgetting a renderer releases it,
// and the next text makes it again. Pixels stay those of the surface calls.
TEST(Render, TextureMadeAgainAfterResetOrForget)
{
    ASSERT_TRUE(SDL_InitSubSystem(SDL_INIT_EVENTS) == (SDL_MAJOR_VERSION >= 3 ? 1 : 0))
        << SDL_GetError();
    SurfacePtr target = MakeTarget(32, 120, 40), expected = MakeTarget(32, 120, 40);
    Renderer renderer(target.get());
    const _color ink{200, 100, 50}, paper{0, 0, 90};
    const auto drawBoth = [&](const char *text) {
        GlypharRender(renderer.r, nullptr, text, {2, 2, 120, 40}, 1.5f, ink, paper, 0);
        Flush(renderer.r);
        GlypharFontDraw(expected.get(), nullptr, text, {2, 2, 120, 40}, 1.5f, ink, paper, 0);
        EXPECT_TRUE(SamePixels(target.get(), expected.get())) << text;
    };
    texturesMade = 0;
    drawBoth("first");
    drawBoth("second");
    EXPECT_EQ(texturesMade, 1);
    SDL_Event reset{};
#if SDL_MAJOR_VERSION >= 3
    reset.type = SDL_EVENT_RENDER_DEVICE_RESET;
#else
    reset.type = SDL_RENDER_DEVICE_RESET;
#endif
    SDL_PushEvent(&reset);
    drawBoth("after a reset");
    EXPECT_EQ(texturesMade, 2);
    GlypharRenderForget(renderer.r);
    GlypharRenderForget(renderer.r);  // twice: the second finds nothing
    GlypharRenderForget(nullptr);
    drawBoth("after forgetting");
    EXPECT_EQ(texturesMade, 3);
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
}

#if SDL_MAJOR_VERSION >= 3
// SDL3 releases glyphar's texture and record with the renderer: under
// memcheck and LeakSanitizer, a leak here fails.
TEST(Render, ReleasedWithTheRenderer)
{
    SurfacePtr target = MakeTarget(32, 64, 32);
    SDL_Renderer *r = SDL_CreateSoftwareRenderer(target.get());
    GlypharRender(r, nullptr, "kept", {0, 0, 64, 32}, 1, {255, 255, 255}, {0, 0, 0}, 0);
    SDL_DestroyRenderer(r);
    SDL_Renderer *again = SDL_CreateSoftwareRenderer(target.get());
    texturesMade = 0;
    GlypharRender(again, nullptr, "anew", {0, 0, 64, 32}, 1, {255, 255, 255}, {0, 0, 0}, 0);
    EXPECT_EQ(texturesMade, 1);
    SDL_DestroyRenderer(again);
}
#endif

TEST(Render, BadInputDrawsNothingAndSetsNoError)
{
    SurfacePtr target = MakeTarget(32, 64, 32), before = MakeTarget(32, 64, 32);
    std::mt19937 random(7);
    FillNoise(target.get(), random);
    std::memcpy(before->pixels, target->pixels, static_cast<size_t>(target->pitch) * 32);
    Renderer renderer(target.get());
    const GlypharCell cell{'A', 0xFFFFFF, 0};
    const _color ink{255, 255, 255}, paper{0, 0, 0};
    SDL_ClearError();
    GlypharRender(nullptr, nullptr, "text", {0, 0, 64, 32}, 1, ink, paper, 0);
    GlypharRender(renderer.r, nullptr, nullptr, {0, 0, 64, 32}, 1, ink, paper, 0);
    // (A lone character has a block at any positive size, infinite too.)
    for (float size : {0.0f, -1.0f, NAN, 0.1f, INFINITY}) {
        GlypharRender(renderer.r, nullptr, "text", {0, 0, 64, 32}, size, ink, paper, 0);
        GlypharRenderGrid(renderer.r, nullptr, &cell, 1, 1, 0, 0, size);
        if (!(size > 0))
            GlypharRenderCodePoint(renderer.r, nullptr, 'A', 0, 0, size, ink, paper);
    }
    GlypharRenderGrid(renderer.r, nullptr, nullptr, 1, 1, 0, 0, 1);
    GlypharRenderGrid(renderer.r, nullptr, &cell, 0, 1, 0, 0, 1);
    GlypharRenderGrid(renderer.r, nullptr, &cell, INT32_MAX, INT32_MAX, INT32_MIN, 0, 1);
    GlypharRender(renderer.r, nullptr, "far", {INT32_MAX, INT32_MAX, INT32_MAX, 5}, 1, ink, paper,
                  0);
    Flush(renderer.r);
    EXPECT_STREQ(SDL_GetError(), "");
    EXPECT_TRUE(SamePixels(target.get(), before.get()));
}

// At a scale that is not a whole number the renderer scales the copy: only
// that it stays inside the viewport and clip is promised.
TEST(Render, FractionalScaleStaysInsideTheClip)
{
    SurfacePtr target = MakeTarget(16, 150, 90);
    Fill(target.get(), 0x1234);
    Renderer renderer(target.get());
    SetScale(renderer.r, 1.5f);
    const SDL_Rect clip{10, 10, 40, 20};  // pixels 15..75 x 15..45
    SDL_RenderSetClipRect(renderer.r, &clip);
    GlypharRender(renderer.r, nullptr, "Scaled by 1.5 through the renderer", {0, 0, 100, 60}, 1,
                  {255, 255, 255}, {0, 0, 0}, GLYPHAR_WRAP_WORDS);
    Flush(renderer.r);
    const Extent changed = ExtentOfPixelsOtherThan(target.get(), 0x1234);
    ASSERT_FALSE(changed.empty());
    EXPECT_GE(changed.left, 15);
    EXPECT_GE(changed.top, 15);
    EXPECT_LT(changed.right, 75);
    EXPECT_LT(changed.bottom, 45);
}

}  // namespace
}  // namespace glyphar_test

#endif  // SDL_MAJOR_VERSION >= 2
