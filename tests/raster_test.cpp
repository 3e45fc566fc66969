// Drawing one character and one point: sampling at real sizes, backgrounds,
// colour components, clipping, surface formats and malformed input.

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

// The picture a character must make, built from its size-1 bitmap and the
// glyph row and column each pixel offset samples.
std::vector<std::string> Expected(const Bitmap &glyph, const std::string &rowMap,
                                  const std::string &colMap)
{
    std::vector<std::string> picture;
    for (char row : rowMap) {
        std::string line;
        for (char col : colMap)
            line += glyph[row - '0'][col - '0'];
        picture.push_back(line);
    }
    return picture;
}

struct SamplingCase {
    float size;
    const char *rowMap;  // glyph row sampled by each pixel row
    const char *colMap;  // glyph column sampled by each pixel column
};

void PrintTo(const SamplingCase &tc, std::ostream *os)
{
    *os << "size " << tc.size;
}

class Sampling : public ::testing::TestWithParam<SamplingCase> {};

TEST_P(Sampling, EveryGlyphIsTheSizeOneBitmapResampled)
{
    const SamplingCase &tc = GetParam();
    const int w = static_cast<int>(std::strlen(tc.colMap));
    const int h = static_cast<int>(std::strlen(tc.rowMap));
    const int margin = 2;
    for (int c = 0; c < 256; ++c) {
        const Bitmap glyph = GlyphBitmap(static_cast<unsigned char>(c));
        SurfacePtr s = MakeSurface(w + 2 * margin, h + 2 * margin);
        Fill(s.get(), kCanvas);
        GlypharCarac(s.get(), static_cast<unsigned char>(c), margin, margin, tc.size, kWhite,
                     kBlack);
        const std::vector<std::string> want = Expected(glyph, tc.rowMap, tc.colMap);
        for (int y = 0; y < s->h; ++y)
            for (int x = 0; x < s->w; ++x) {
                const bool inside = x >= margin && x < margin + w && y >= margin && y < margin + h;
                Uint16 expected = kCanvas;
                if (inside)
                    expected = Mapped(s.get(), want[y - margin][x - margin] == '1' ? kWhite : kBlack);
                ASSERT_EQ(PixelAt(s.get(), x, y), expected)
                    << "byte " << c << " size " << tc.size << " at " << x << "," << y;
            }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, Sampling,
    ::testing::Values(
        SamplingCase{1.0f, "012345678", "012345"},
        SamplingCase{1.5f, "00122344566788", "001223445"},
        SamplingCase{2.5f, "00011222334445566677888", "000112223344455"},
        SamplingCase{4.0f, "000011112222333344445555666677778888", "000011112222333344445555"},
        SamplingCase{0.5f, "02468", "024"}),
    [](const ::testing::TestParamInfo<SamplingCase> &info) {
        std::ostringstream out;
        out << "Size" << info.param.size;
        std::string name = out.str();
        for (char &ch : name)
            if (ch == '.')
                ch = '_';
        return name;
    });

// A byte without a glyph, or the space, with an opaque and a transparent
// background: the whole block in bg, or nothing at all.
TEST(Background, BlankCellsPaintTheBlockOrNothing)
{
    const struct {
        _color bg;
        bool opaque;
    } cases[] = {
        {{0, 0, 0}, true},    {{10, 20, 30}, true}, {{0, 0, -1}, false},
        {{-1, 0, 0}, false},  {{0, -1, 0}, false},  {{-1, -1, -1}, false},
        {{-2, 0, 0}, true},   {{255, 255, 255}, true},
    };
    for (unsigned char c : {0x21, 0x3F, 0x0A, 0xE9, 0x20})  // ! ? newline e-acute space
        for (const auto &tc : cases) {
            SurfacePtr s = MakeSurface(20, 24);
            Fill(s.get(), kCanvas);
            GlypharCarac(s.get(), c, 3, 4, 2.0f, kWhite, tc.bg);
            const Extent e = ExtentOfPixelsOtherThan(s.get(), kCanvas);
            if (!tc.opaque) {
                EXPECT_TRUE(e.empty()) << "byte " << int(c);
                continue;
            }
            EXPECT_EQ(e.left, 3);
            EXPECT_EQ(e.right, 14);
            EXPECT_EQ(e.top, 4);
            EXPECT_EQ(e.bottom, 21);
            EXPECT_EQ(PixelAt(s.get(), 10, 10), Mapped(s.get(), {tc.bg.r & 255, tc.bg.g & 255,
                                                                 tc.bg.b & 255}));
        }
}

TEST(Background, TransparentLeavesUnlitPixelsAndPaintsStrokes)
{
    SurfacePtr s = MakeSurface(6, 9);
    Fill(s.get(), kCanvas);
    GlypharInit();
    GlypharCarac(s.get(), '0', 0, 0, 1.0f, kWhite, {0, 0, -1});
    const Bitmap zero = GlyphBitmap('0');
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(PixelAt(s.get(), x, y),
                      zero[y][x] == '1' ? Mapped(s.get(), kWhite) : kCanvas);
}

// Only the low 8 bits of a component reach the surface; the foreground is
// never transparent.
TEST(Colour, ComponentsKeepTheirLowByte)
{
    const struct {
        _color given;
        _color drawn;
    } cases[] = {
        {{256, 0, 0}, {0, 0, 0}},        {{-1, 0, 0}, {255, 0, 0}},
        {{-1, -1, -1}, {255, 255, 255}}, {{0x1FF, 0x180, 0x17F}, {255, 128, 127}},
        {{INT_MIN, INT_MAX, -256}, {0, 255, 0}},
    };
    for (const auto &tc : cases) {
        SurfacePtr s = MakeSurface(4, 4);
        Fill(s.get(), kCanvas);
        GlypharPoint(s.get(), 1, 2, tc.given);
        EXPECT_EQ(PixelAt(s.get(), 1, 2), Mapped(s.get(), tc.drawn));

        Fill(s.get(), kCanvas);
        GlypharInit();
        GlypharCarac(s.get(), 'T', 0, 0, 1.0f, tc.given, kTransparent);
        EXPECT_EQ(PixelAt(s.get(), 0, 0), Mapped(s.get(), tc.drawn));
    }
}

TEST(Point, DrawsOnlyOnTheSurface)
{
    const struct {
        int x, y;
        bool drawn;
    } cases[] = {
        {0, 0, true},   {9, 0, true},     {0, 6, true},        {9, 6, true},
        {-1, 0, false}, {10, 0, false},   {0, -1, false},      {0, 7, false},
        {INT_MIN, 0, false}, {INT_MAX, 0, false}, {0, INT_MIN, false}, {0, INT_MAX, false},
    };
    for (const auto &tc : cases) {
        SurfacePtr s = MakeSurface(10, 7);
        Fill(s.get(), kCanvas);
        GlypharPoint(s.get(), tc.x, tc.y, kWhite);
        const Extent e = ExtentOfPixelsOtherThan(s.get(), kCanvas);
        EXPECT_EQ(!e.empty(), tc.drawn) << tc.x << "," << tc.y;
        if (tc.drawn) {
            EXPECT_EQ(e.left, tc.x);
            EXPECT_EQ(e.top, tc.y);
            EXPECT_EQ(e.right, tc.x);
        }
    }
}

// A surface whose rows sit inside a larger buffer: guard bytes before the
// first row, in each row's pitch padding and after the last row.
struct GuardedSurface {
    static constexpr Uint8 kGuard = 0xA5;
    std::vector<Uint8> buffer;
    size_t offset;
    SurfacePtr surface;

    GuardedSurface(int w, int h, int pitch, Format format = Format::k565)
        : buffer(static_cast<size_t>(pitch) * h + 64, kGuard), offset(32)
    {
        const bool is555 = format == Format::k555;
        surface.reset(SDL_CreateRGBSurfaceFrom(buffer.data() + offset, w, h, 16, pitch,
                                               is555 ? 0x7C00 : 0xF800, is555 ? 0x03E0 : 0x07E0,
                                               0x001F, 0));
        Fill(surface.get(), kCanvas);
    }

    bool GuardsIntact() const
    {
        const int rowBytes = surface->w * 2;
        for (size_t i = 0; i < buffer.size(); ++i) {
            const bool beforeOrAfter =
                i < offset || i >= offset + static_cast<size_t>(surface->pitch) * surface->h;
            const bool padding = !beforeOrAfter && (i - offset) % surface->pitch >=
                                                       static_cast<size_t>(rowBytes);
            if ((beforeOrAfter || padding) && buffer[i] != kGuard)
                return false;
        }
        return true;
    }
};

// Drawing across an edge shows exactly the part of the character that a
// larger surface would show there.
TEST(Clipping, EachEdgeDropsWhatLiesBeyondIt)
{
    const int w = 30, h = 24, margin = 40;
    const struct {
        const char *edge;
        int x, y;
    } cases[] = {
        {"left", -5, 6},       {"right", 25, 6},      {"top", 8, -7},
        {"bottom", 8, 19},     {"top-left", -9, -13}, {"bottom-right", 22, 15},
        {"beyond right", 30, 0}, {"beyond bottom", 0, 24}, {"far left", -12, 0},
    };
    for (const _color bg : {_color{200, 0, 0}, kTransparent})
    for (float size : {1.0f, 1.5f, 2.0f, 12.0f})
        for (const auto &tc : cases) {
            GlypharInit();
            GuardedSurface clipped(w, h, w * 2 + 6);
            GlypharCarac(clipped.surface.get(), 'M', tc.x, tc.y, size, kWhite, bg);

            SurfacePtr large = MakeSurface(w + 2 * margin, h + 2 * margin);
            Fill(large.get(), kCanvas);
            GlypharCarac(large.get(), 'M', tc.x + margin, tc.y + margin, size, kWhite, bg);

            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    ASSERT_EQ(PixelAt(clipped.surface.get(), x, y),
                              PixelAt(large.get(), x + margin, y + margin))
                        << tc.edge << " size " << size << " at " << x << "," << y;
            EXPECT_TRUE(clipped.GuardsIntact()) << tc.edge << " size " << size;
        }
}

// The same text on 5-6-5, on 5-5-5 and with a wide pitch: the same pixels
// lit, each in its own format's encoding, and no byte of padding touched.
TEST(Formats, SamePictureInEveryLayout)
{
    const _color fg = {255, 128, 0}, bg = {0, 64, 255};
    SurfacePtr reference = MakeSurface(60, 20);
    Fill(reference.get(), kCanvas);
    Glyphar(reference.get(), "Aq;9", {1, 1, 60, 20}, 2.0f, fg, bg);

    const struct {
        Format format;
        int pitch;
    } cases[] = {{Format::k565, 120}, {Format::k555, 120}, {Format::k565, 134},
                 {Format::k555, 200}, {Format::k565, 256}};
    for (const auto &tc : cases) {
        GuardedSurface g(60, 20, tc.pitch, tc.format);
        SDL_Surface *s = g.surface.get();
        Glyphar(s, "Aq;9", {1, 1, 60, 20}, 2.0f, fg, bg);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 60; ++x) {
                const Uint16 ref = PixelAt(reference.get(), x, y);
                Uint16 expected = kCanvas;
                if (ref == Mapped(reference.get(), fg))
                    expected = Mapped(s, fg);
                else if (ref == Mapped(reference.get(), bg))
                    expected = Mapped(s, bg);
                ASSERT_EQ(PixelAt(s, x, y), expected) << "pitch " << tc.pitch << " at " << x
                                                      << "," << y;
            }
        EXPECT_TRUE(g.GuardsIntact()) << "pitch " << tc.pitch;
    }
}

// Surfaces that cannot be written safely, and NULL pointers: no function
// writes anything.
TEST(Rejected, NothingIsWrittenWhereTheRendererHasNoBusiness)
{
    const auto drawAll = [](SDL_Surface *s) {
        Glyphar(s, "Abc", {0, 0, 40, 20}, 1.0f, kWhite, kBlack);
        GlypharEx(s, "Abc", {0, 0, 40, 20}, 2.0f, kWhite, kBlack, GLYPHAR_ALIGN_CENTER);
        GlypharCarac(s, 'A', 0, 0, 2.0f, kWhite, kBlack);
        GlypharPoint(s, 1, 1, kWhite);
    };
    const auto bytesOf = [](const SDL_Surface *s) {
        const Uint8 *p = static_cast<const Uint8 *>(s->pixels);
        return std::vector<Uint8>(p, p + static_cast<size_t>(s->pitch) * s->h);
    };
    // Packed bitmaps have no byte per pixel, at any width; an empty clip
    // rectangle shows nothing; a pitch shorter than the width would run into
    // the next row.
    std::vector<std::pair<std::string, int>> cases;  // what, width
    for (int w = 1; w <= 41; w += 5)
        for (const char *packed : {"1 bit", "4 bits"})
            cases.push_back({packed, w});
    cases.push_back({"empty clip", 40});
    cases.push_back({"short pitch", 40});
    for (const auto &[label, width] : cases) {
        const char *what = label.c_str();
        const int bpp = what[0] == '1' ? 1 : what[0] == '4' ? 4 : 16;
        SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, width, 20, bpp, 0, 0, 0, 0));
        ASSERT_NE(s, nullptr);
        std::memset(s->pixels, 0x3C, static_cast<size_t>(s->pitch) * s->h);
        const std::vector<Uint8> before = bytesOf(s.get());
        SDL_Rect empty = {5, 5, 0, 0};
        if (std::strcmp(what, "empty clip") == 0)
            SDL_SetClipRect(s.get(), &empty);
        const int w = s->w;
        if (std::strcmp(what, "short pitch") == 0)
            s->w = s->pitch / 2 + 1;  // malformed on purpose
        drawAll(s.get());
        s->w = w;
        EXPECT_EQ(bytesOf(s.get()), before) << what << ", " << width << " wide";
    }

    SurfacePtr s = MakeSurface(10, 10);
    void *pixels = s->pixels;
    s->pixels = nullptr;
    drawAll(s.get());
    s->pixels = pixels;
    const auto format = s->format;
#if SDL_MAJOR_VERSION >= 3
    s->format = SDL_PIXELFORMAT_UNKNOWN;
#else
    s->format = nullptr;
#endif
    drawAll(s.get());
    s->format = format;

    Fill(s.get(), kCanvas);
    drawAll(nullptr);
    Glyphar(s.get(), nullptr, {0, 0, 10, 10}, 1.0f, kWhite, kBlack);
    GlypharEx(s.get(), nullptr, {0, 0, 10, 10}, 1.0f, kWhite, kBlack, 0);
    EXPECT_TRUE(ExtentOfPixelsOtherThan(s.get(), kCanvas).empty());
}

// A size far below zero is turned away before the text is read: this text
// has no terminating NUL, which the sanitizers and valgrind would report.
TEST(Rejected, NegativeSizeReturnsBeforeReadingTheText)
{
    SurfacePtr s = MakeSurface(10, 10);
    Fill(s.get(), kCanvas);
    const std::vector<char> unterminated(64, 'a');
    for (float size : {-FLT_MAX, -INFINITY, -1.0f, NAN})
        Glyphar(s.get(), unterminated.data(), {0, 0, 10, 10}, size, kWhite, kBlack);
    EXPECT_TRUE(ExtentOfPixelsOtherThan(s.get(), kCanvas).empty());
}

// Sizes far beyond the surface cost only the pixels that land on it; each
// pixel then samples glyph cell (0, 0).
TEST(HugeSizes, CoverTheSurfaceFromTheOrigin)
{
    for (float size : {1e6f, 3e9f, FLT_MAX, INFINITY}) {
        SurfacePtr s = MakeSurface(50, 40);
        Fill(s.get(), kCanvas);
        GlypharInit();
        GlypharCarac(s.get(), 'A', 7, 3, size, kWhite, kBlack);  // 'A' cell (0, 0) is unlit
        const Extent e = ExtentOfPixelsOtherThan(s.get(), kCanvas);
        EXPECT_EQ(e.left, 7) << size;
        EXPECT_EQ(e.top, 3) << size;
        EXPECT_EQ(e.right, 49) << size;
        EXPECT_EQ(e.bottom, 39) << size;
        EXPECT_EQ(PixelAt(s.get(), 49, 39), Mapped(s.get(), kBlack)) << size;

        Fill(s.get(), kCanvas);
        // From INT_MIN the block reaches the surface once 9 * size passes 2^31;
        // the pixel there samples cell (0, 0) of 'B', which is lit.
        GlypharCarac(s.get(), 'B', INT_MIN, INT_MIN, size, kWhite, kBlack);
        const bool reaches = 9.0 * size > 2147483648.0;
        EXPECT_EQ(PixelAt(s.get(), 0, 0), reaches ? Mapped(s.get(), kWhite) : kCanvas) << size;
    }
}

TEST(Sizes, ZeroNegativeAndNaNDrawNothing)
{
    for (float size : {0.0f, -0.0f, -1.0f, -4.0f, NAN, -INFINITY, -FLT_MAX}) {
        SurfacePtr s = MakeSurface(30, 30);
        Fill(s.get(), kCanvas);
        GlypharInit();
        GlypharCarac(s.get(), 'A', 2, 2, size, kWhite, kBlack);
        EXPECT_TRUE(ExtentOfPixelsOtherThan(s.get(), kCanvas).empty()) << size;
    }
}

// The drawing path, whatever shortcuts it takes, matches the rule stated
// pixel by pixel: offset (j, i) exists while j < 6 * size and i < 9 * size,
// samples glyph cell (trunc(i / size), trunc(j / size)) and is plotted
// through GlypharPoint.
void PlotPixelByPixel(SDL_Surface *s, unsigned char c, int x, int y, float size, _color fg,
                      _color bg)
{
    const bool transparent = bg.r == -1 || bg.g == -1 || bg.b == -1;
    for (int i = 0; i < 9.0 * size; ++i)
        for (int j = 0; j < 6.0 * size; ++j) {
            const int row = static_cast<int>(i / static_cast<double>(size));
            const int col = static_cast<int>(j / static_cast<double>(size));
            if (ModelLit(c, row, col))
                GlypharPoint(s, x + j, y + i, fg);
            else if (!transparent)
                GlypharPoint(s, x + j, y + i, bg);
        }
}

TEST(FastPath, MatchesPlottingEachPointOnRandomInput)
{
    GlypharInit();
    std::mt19937 random(20261208);
    std::uniform_real_distribution<float> sizes(0.05f, 14.0f);  // narrow and wide paths
    std::uniform_int_distribution<int> bytes(0, 255), positions(-50, 90), components(-2, 300);
    for (int round = 0; round < 2000; ++round) {
        const unsigned char c = static_cast<unsigned char>(bytes(random));
        const float size = round % 10 == 0 ? static_cast<float>(1 + round % 7) / 2 : sizes(random);
        const int x = positions(random), y = positions(random);
        const _color fg = {components(random), components(random), components(random)};
        const _color bg = round % 3 == 0 ? _color{0, -1, 0}
                                         : _color{components(random), components(random),
                                                  components(random)};
        SurfacePtr fast = MakeSurface(64, 48), slow = MakeSurface(64, 48);
        Fill(fast.get(), kCanvas);
        Fill(slow.get(), kCanvas);
        GlypharCarac(fast.get(), c, x, y, size, fg, bg);
        PlotPixelByPixel(slow.get(), c, x, y, size, fg, bg);
        ASSERT_EQ(Pixels(fast.get()), Pixels(slow.get()))
            << std::setprecision(9)
            << "byte " << int(c) << " size " << size << " at " << x << "," << y << " fg " << fg.r
            << "," << fg.g << "," << fg.b << " bg " << bg.r << "," << bg.g << "," << bg.b;
    }
}

}  // namespace
}  // namespace glyphar_test
