// Character grids against the model, one GlypharFontCodePoint per cell in
// the grid's order; updates against whole draws; and the drawn box
// characters: lines that join across cells, blocks that tile.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "console_fonts.h"
#include "support.h"

namespace glyphar_test {
namespace {

// The built-in font (null), and two console fonts of 8 x 16 and 6 x 12.
std::vector<FontPtr> Fonts()
{
    std::vector<FontPtr> fonts;
    fonts.emplace_back(nullptr);
    for (const char *name : {"Lat15-Terminus16.psf.gz", "Lat15-Terminus12x6.psf.gz"}) {
        std::string why;
        FontPtr font = LoadConsoleFont(name, &why);
        EXPECT_NE(font, nullptr) << why;
        if (font != nullptr)
            fonts.push_back(std::move(font));
    }
    return fonts;
}

SurfacePtr MakeDepth(int bpp, int w, int h)
{
    switch (bpp) {
    case 8: return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 8, 0, 0, 0, 0));
    case 24:
        return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF0000, 0xFF00, 0xFF, 0));
    case 32:
        return SurfacePtr(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0xFF00, 0xFF, 0));
    default: return MakeSurface(w, h);
    }
}

std::vector<uint8_t> Bytes(const SDL_Surface *s)
{
    const auto *p = static_cast<const uint8_t *>(s->pixels);
    return std::vector<uint8_t>(p, p + s->pitch * s->h);
}

// Where two surfaces of the same size first differ, or "" where they do not.
std::string FirstDifference(const SDL_Surface *a, const SDL_Surface *b)
{
    const std::vector<uint8_t> x = Bytes(a), y = Bytes(b);
    for (size_t k = 0; k < x.size(); ++k)
        if (x[k] != y[k])
            return "first differing pixel " +
                   std::to_string(k % a->pitch / ((a->pitch + a->w - 1) / a->w)) + ", " +
                   std::to_string(k / a->pitch);
    return "";
}

_color ColorOf(uint32_t rgb)
{
    return {static_cast<int32_t>(rgb >> 16 & 0xFF), static_cast<int32_t>(rgb >> 8 & 0xFF),
            static_cast<int32_t>(rgb & 0xFF)};
}

// What a grid must draw: each cell as a lone character, row by row.
void ModelGrid(SDL_Surface *s, const GlypharFont *font, const std::vector<GlypharCell> &cells,
               int columns, int rows, int x, int y, float size)
{
    const GlypharFontMetrics m = GlypharFontGetMetrics(font);
    const int pitchX = static_cast<int>(m.width * size), pitchY = static_cast<int>(m.height * size);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const GlypharCell &cell = cells[r * columns + c];
            GlypharFontCodePoint(s, font, cell.codepoint, x + c * pitchX, y + r * pitchY, size,
                                 ColorOf(cell.fg),
                                 cell.bg == GLYPHAR_TRANSPARENT ? kTransparent : ColorOf(cell.bg));
        }
}

GlypharCell RandomCell(std::mt19937 &random, bool fewColours)
{
    static const char32_t kSome[] = {'A', 'g', '#', ' ', 0xE9, 0, 0x07, 0x4E00, 0xFFFD, 0x2588};
    GlypharCell cell;
    const unsigned pick = random() % 4;
    cell.codepoint = pick == 0   ? kSome[random() % 10]
                     : pick == 1 ? 0x2500 + random() % 0xA0
                     : pick == 2 ? 0x2800 + random() % 0x100
                                 : 0x21 + random() % 0x5E;
    cell.fg = fewColours ? 0xFFFFFF * (random() % 2) : random() & 0xFFFFFF;
    cell.bg = random() % 4 == 0 ? GLYPHAR_TRANSPARENT : fewColours ? 0x0000FF : random() & 0xFFFFFF;
    return cell;
}

TEST(Grids, DrawWhatEachCellDrawsAloneInOrder)
{
    const std::vector<FontPtr> fonts = Fonts();
    std::mt19937 random(26);
    ForEachWriters([&](const std::string &writers) {
        for (const FontPtr &font : fonts)
            for (float size : {1.0f, 1.25f, 1.5f, 2.0f, 2.7f, 3.0f, 0.6f, 12.0f})
                for (int bpp : {8, 16, 24, 32}) {
                    const int columns = 1 + random() % 40, rows = 1 + random() % 12;
                    const int x = static_cast<int>(random() % 40) - 20,
                              y = static_cast<int>(random() % 30) - 15;
                    std::vector<GlypharCell> cells(columns * rows);
                    // Runs of a cell's kind and background, as terminals have;
                    // or a whole grid of opaque letters, or of opaque shapes.
                    const bool fewColours = random() % 2 == 0;
                    const unsigned uniform = random() % 3;
                    for (GlypharCell &cell : cells) {
                        cell = random() % 3 == 0
                                   ? cells[&cell - cells.data() > 0 ? &cell - cells.data() - 1 : 0]
                                   : RandomCell(random, fewColours);
                        if (uniform != 0) {
                            cell.codepoint =
                                uniform == 1 ? 0x21 + random() % 0x5E : 0x2500 + random() % 0xA0;
                            cell.bg = random() & 0xFFFFFF;
                        }
                    }
                    SurfacePtr grid = MakeDepth(bpp, 220, 160), model = MakeDepth(bpp, 220, 160);
                    SDL_Rect clip;
                    clip.x = static_cast<Sint16>(random() % 30);
                    clip.y = static_cast<Sint16>(random() % 30);
                    clip.w = static_cast<Uint16>(100 + random() % 120);
                    clip.h = static_cast<Uint16>(80 + random() % 80);
                    for (SDL_Surface *s : {grid.get(), model.get()}) {
                        SDL_FillRect(s, nullptr, 0x5A);
                        SDL_SetClipRect(s, &clip);
                    }
                    GlypharGrid(grid.get(), font.get(), cells.data(), columns, rows, x, y, size);
                    ModelGrid(model.get(), font.get(), cells, columns, rows, x, y, size);
                    ASSERT_EQ(FirstDifference(grid.get(), model.get()), "")
                        << writers << ", font "
                        << (font ? GlypharFontGetMetrics(font.get()).width : 6) << ", size " << size
                        << ", " << bpp << " bits, " << columns << " x " << rows;
                }
    });
}

TEST(Grids, AnUpdateLeavesWhatTheWholeGridWould)
{
    const std::vector<FontPtr> fonts = Fonts();
    std::mt19937 random(2026);
    ForEachWriters([&](const std::string &writers) {
        for (const FontPtr &font : fonts)
            for (float size : {1.0f, 1.5f, 2.0f, 2.7f}) {
                const int columns = 30, rows = 10;
                std::vector<GlypharCell> before(columns * rows), after;
                for (GlypharCell &cell : before)
                    cell = RandomCell(random, false);
                after = before;
                for (int k = 0; k < 12; ++k)
                    after[random() % after.size()] = RandomCell(random, false);
                SurfacePtr updated = MakeDepth(32, 260, 200), whole = MakeDepth(32, 260, 200);
                for (SDL_Surface *s : {updated.get(), whole.get()}) {
                    SDL_FillRect(s, nullptr, 0x5A5A5A);
                    GlypharGrid(s, font.get(), before.data(), columns, rows, 3, 2, size);
                }
                GlypharGridUpdate(updated.get(), font.get(), after.data(), before.data(), columns,
                                  rows, 3, 2, size);
                GlypharGrid(whole.get(), font.get(), after.data(), columns, rows, 3, 2, size);
                ASSERT_EQ(FirstDifference(updated.get(), whole.get()), "")
                    << writers << ", size " << size;
            }
    });
}

TEST(Grids, BadDimensionsAndPointersDrawNothing)
{
    SurfacePtr s = MakeSurface(40, 40);
    Fill(s.get(), kCanvas);
    const std::vector<Uint16> before = Pixels(s.get());
    GlypharCell cell = {'A', 0xFFFFFF, 0};
    for (const auto &[columns, rows] :
         std::vector<std::pair<int, int>>{{0, 1}, {1, 0}, {-1, 5}, {5, -1}})
        GlypharGrid(s.get(), nullptr, &cell, columns, rows, 0, 0, 1.0f);
    GlypharGrid(s.get(), nullptr, nullptr, 1, 1, 0, 0, 1.0f);
    GlypharGrid(nullptr, nullptr, &cell, 1, 1, 0, 0, 1.0f);
    GlypharGrid(s.get(), nullptr, &cell, 1, 1, 0, 0, 0.0f);
    GlypharGrid(s.get(), nullptr, &cell, 1, 1, 0, 0, 0.1f);  // cells less than a pixel apart
    if (sizeof(size_t) == 8)  // 2^62 cells: more bytes than there are
        GlypharGrid(s.get(), nullptr, &cell, INT32_MAX, INT32_MAX, 0, 0, 1.0f);
    EXPECT_EQ(Pixels(s.get()), before);
}

//----------------------------------------------------------------------------
// Box characters, drawn white on black at a size as text.
//----------------------------------------------------------------------------

struct Drawn {
    SurfacePtr s;
    int pitchX, pitchY;
    bool Lit(int x, int y) const { return PixelAt(s.get(), x, y) == Mapped(s.get(), kWhite); }
};

Drawn DrawText(const GlypharFont *font, const char *utf8, float size)
{
    const GlypharFontMetrics m = GlypharFontGetMetrics(font);
    Drawn d{MakeSurface(400, 400), static_cast<int>(m.width * size),
            static_cast<int>(m.height * size)};
    GlypharFontDraw(d.s.get(), font, utf8, {0, 0, 400, 400}, size, kWhite, kBlack, GLYPHAR_UTF8);
    return d;
}

const float kSizes[] = {1.0f, 1.25f, 1.5f, 2.0f, 2.7f, 3.0f};

TEST(BoxDrawing, LinesThatMeetCarryOnAcrossTheEdge)
{
    // Pairs side by side whose lines meet, then pairs one over the other.
    const char *across[] = {"──", "┌─", "─┐", "├┤", "┼─", "━━", "┏━", "━┫", "╺━", "═══", "╔═",
                            "═╗", "╠╣", "╚╩", "╦═", "╭─", "─╮", "╰─", "─╯", "╒═", "╟─"};
    const char *down[] = {"│\n│", "┌\n│", "│\n└", "┬\n┴", "┃\n┃", "┏\n┃", "║\n║", "╔\n║",
                          "║\n╚", "╦\n╩", "╭\n│", "│\n╰", "╮\n╯", "╓\n╨", "╽\n╿"};
    const std::vector<FontPtr> fonts = Fonts();
    for (const FontPtr &font : fonts)
        for (float size : kSizes) {
            for (const char *pair : across) {
                const Drawn d = DrawText(font.get(), pair, size);
                std::string left, right;  // the lit rows either side of the edge
                for (int y = 0; y < d.pitchY; ++y) {
                    left += d.Lit(d.pitchX - 1, y) ? '1' : '0';
                    right += d.Lit(d.pitchX, y) ? '1' : '0';
                }
                EXPECT_NE(left.find('1'), std::string::npos) << pair << " at " << size;
                EXPECT_EQ(left, right) << pair << " at " << size;
            }
            for (const char *pair : down) {
                const Drawn d = DrawText(font.get(), pair, size);
                std::string above, below;
                for (int x = 0; x < d.pitchX; ++x) {
                    above += d.Lit(x, d.pitchY - 1) ? '1' : '0';
                    below += d.Lit(x, d.pitchY) ? '1' : '0';
                }
                EXPECT_NE(above.find('1'), std::string::npos) << pair << " at " << size;
                EXPECT_EQ(above, below) << pair << " at " << size;
            }
        }
}

TEST(BoxDrawing, ComplementaryBlocksTileTheCell)
{
    const char *pairs[][2] = {{"▀", "▄"}, {"▌", "▐"}, {"▔", "▇"}, {"▉", "▕"}, {"▘", "▟"},
                              {"▝", "▙"}, {"▖", "▜"}, {"▗", "▛"}, {"▚", "▞"}};
    const std::vector<FontPtr> fonts = Fonts();
    for (const FontPtr &font : fonts)
        for (float size : kSizes)
            for (const auto &pair : pairs) {
                const Drawn a = DrawText(font.get(), pair[0], size);
                const Drawn b = DrawText(font.get(), pair[1], size);
                for (int y = 0; y < a.pitchY; ++y)
                    for (int x = 0; x < a.pitchX; ++x)
                        ASSERT_NE(a.Lit(x, y), b.Lit(x, y))
                            << pair[0] << pair[1] << " at " << size << ", pixel " << x << ", " << y;
            }
}

TEST(BoxDrawing, ShadesArePatternsOfTheSurfacesGrid)
{
    for (float size : kSizes)
        for (const char *shade : {"░░░\n░░░", "▒▒▒\n▒▒▒", "▓▓▓\n▓▓▓"}) {
            const Drawn d = DrawText(nullptr, shade, size);
            // A pixel's shade depends only on the parity of its position.
            for (int y = 0; y + 2 < 2 * d.pitchY; ++y)
                for (int x = 0; x + 2 < 3 * d.pitchX; ++x) {
                    ASSERT_EQ(d.Lit(x, y), d.Lit(x + 2, y)) << shade << " at " << size;
                    ASSERT_EQ(d.Lit(x, y), d.Lit(x, y + 2)) << shade << " at " << size;
                }
        }
}

TEST(BoxDrawing, EveryShapeDrawsInsideItsBlockInEveryFont)
{
    const std::vector<FontPtr> fonts = Fonts();
    for (const FontPtr &font : fonts)
        for (char32_t cp = 0x2500; cp <= 0x28FF; cp = cp == 0x259F ? 0x2800 : cp + 1) {
            EXPECT_EQ(GlypharFontHasGlyph(font.get(), cp), 1);
            for (float size : {1.0f, 2.5f}) {
                const GlypharFontMetrics m = GlypharFontGetMetrics(font.get());
                SurfacePtr s = MakeSurface(80, 80);
                Fill(s.get(), kCanvas);
                GlypharFontCodePoint(s.get(), font.get(), cp, 10, 10, size, kWhite, kTransparent);
                const Extent e = ExtentOfPixelsOtherThan(s.get(), kCanvas);
                if (cp == 0x2800) {  // the blank pattern
                    EXPECT_TRUE(e.empty());
                    continue;
                }
                ASSERT_FALSE(e.empty()) << std::hex << "U+" << cp;
                EXPECT_GE(e.left, 10);
                EXPECT_GE(e.top, 10);
                EXPECT_LT(e.right, 10 + static_cast<int>(std::ceil(m.width * size)));
                EXPECT_LT(e.bottom, 10 + static_cast<int>(std::ceil(m.height * size)));
            }
        }
}

}  // namespace
}  // namespace glyphar_test
