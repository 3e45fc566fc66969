// The end-to-end tests compare the demo's window with a golden image; this
// checks that image itself against the picture the demo must make, so that
// regenerating it cannot carry a fault in unnoticed.

#include <cstdio>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "samples.h"
#include "support.h"

namespace glyphar_test {
namespace {

// A colour as a 16-bit 5-6-5 screen holds it, the way captures store it.
struct Rgb {
    int r, g, b;
    bool operator==(const Rgb &o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator<(const Rgb &o) const { return std::tie(r, g, b) < std::tie(o.r, o.g, o.b); }
};

Rgb Quantized(int r, int g, int b)
{
    return {r & 0xF8, g & 0xFC, b & 0xF8};
}

const Rgb kBlackRgb = Quantized(0, 0, 0);
const Rgb kWhiteRgb = Quantized(255, 255, 255);
const Rgb kRedRgb = Quantized(255, 0, 0);
const Rgb kGreenRgb = Quantized(0, 255, 0);
const Rgb kBlueRgb = Quantized(0, 0, 255);

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    Rgb At(int x, int y) const
    {
        const size_t i = (static_cast<size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

bool ReadPpm(const char *path, Image *image)
{
    std::FILE *in = std::fopen(path, "rb");
    if (in == nullptr)
        return false;
    int maxval = 0;
    bool ok = std::fscanf(in, "P6 %d %d %d", &image->width, &image->height, &maxval) == 3 &&
              maxval == 255 && std::fgetc(in) != EOF;
    if (ok) {
        image->rgb.resize(static_cast<size_t>(image->width) * image->height * 3);
        ok = std::fread(image->rgb.data(), 1, image->rgb.size(), in) == image->rgb.size();
    }
    std::fclose(in);
    return ok;
}

struct Box {
    int left, right, top, bottom;
};

// Where the pixels of one colour lie inside a search area.
Box ExtentOf(const Image &image, Rgb colour, Box area)
{
    Box e = {-1, -1, -1, -1};
    for (int y = area.top; y <= area.bottom; ++y)
        for (int x = area.left; x <= area.right; ++x) {
            if (!(image.At(x, y) == colour))
                continue;
            if (e.left < 0) {
                e = {x, x, y, y};
                continue;
            }
            e = {std::min(e.left, x), std::max(e.right, x), std::min(e.top, y),
                 std::max(e.bottom, y)};
        }
    return e;
}

class Golden : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(ReadPpm(GLYPHAR_GOLDEN_IMAGE, &image)); }
    Image image;
};

TEST_F(Golden, IsTheWholeWindow)
{
    EXPECT_EQ(image.width, 800);
    EXPECT_EQ(image.height, 600);
}

// The opaque texts' backgrounds fill their cells exactly: text 1's red band
// and the white bands of the five size lines.
TEST_F(Golden, OpaqueBandsCoverTheirCells)
{
    const struct {
        int text;
        Rgb background;
        Box cells;
    } bands[] = {
        {1, kRedRgb, {5, 460, 5, 40}},      {4, kWhiteRgb, {5, 382, 125, 151}},
        {5, kWhiteRgb, {5, 349, 155, 177}}, {6, kWhiteRgb, {5, 256, 180, 197}},
        {7, kWhiteRgb, {5, 211, 200, 213}}, {8, kWhiteRgb, {5, 130, 215, 223}},
    };
    for (const auto &band : bands) {
        const Box area = {0, 799, band.cells.top, band.cells.bottom};
        const Box e = ExtentOf(image, band.background, area);
        EXPECT_EQ(e.left, band.cells.left) << "text " << band.text;
        EXPECT_EQ(e.right, band.cells.right) << "text " << band.text;
        EXPECT_EQ(e.top, band.cells.top) << "text " << band.text;
        EXPECT_EQ(e.bottom, band.cells.bottom) << "text " << band.text;
        // Strokes of the size lines are black, inside the band only.
        if (band.text >= 4) {
            std::set<Rgb> seen;
            for (int y = band.cells.top; y <= band.cells.bottom; ++y)
                for (int x = band.cells.left; x <= band.cells.right; ++x)
                    seen.insert(image.At(x, y));
            EXPECT_EQ(seen, (std::set<Rgb>{kBlackRgb, kWhiteRgb})) << "text " << band.text;
        }
    }
}

// The transparent texts show only their strokes, inside their cells, from
// the first cell's left edge and top row on.
TEST_F(Golden, TransparentTextsStrokesStayInTheirCells)
{
    const Box green = ExtentOf(image, kGreenRgb, {0, 799, 0, 599});
    EXPECT_EQ(green.left, 300);
    EXPECT_EQ(green.top, 25);
    EXPECT_LE(green.right, 683);
    EXPECT_EQ(green.bottom, 60);  // the descender of 'p'

    const Box blueFirst = ExtentOf(image, kBlueRgb, {0, 799, 45, 80});
    const Box blueSecond = ExtentOf(image, kBlueRgb, {0, 799, 81, 116});
    EXPECT_EQ(blueFirst.left, 5);
    EXPECT_EQ(blueFirst.top, 45);
    EXPECT_LE(blueFirst.right, 292);
    EXPECT_GT(blueFirst.right, 292 - 24);  // the last cell, 'e', has strokes
    EXPECT_EQ(blueSecond.left, 5);
    EXPECT_LE(blueSecond.right, 412);
    EXPECT_GT(blueSecond.right, 412 - 24);
    EXPECT_LE(blueSecond.bottom, 116);
    const Box blueAll = ExtentOf(image, kBlueRgb, {0, 799, 0, 599});
    EXPECT_EQ(blueAll.top, 45);
    EXPECT_LE(blueAll.bottom, 116);
}

// Text 2 crosses the lower right of text 1: green strokes, with text 1's red
// background and white strokes showing between them.
TEST_F(Golden, TransparentTextCrossesTheFirst)
{
    std::set<Rgb> seen;
    for (int y = 25; y <= 40; ++y)
        for (int x = 300; x <= 460; ++x)
            seen.insert(image.At(x, y));
    EXPECT_EQ(seen, (std::set<Rgb>{kGreenRgb, kRedRgb, kWhiteRgb}));
}

// And it is, pixel for pixel, what the renderer draws offscreen, so the
// picture tests of the offscreen drawing (nothing outside the texts among
// them) hold for it too.
TEST_F(Golden, MatchesTheOffscreenDrawing)
{
    SurfacePtr screen = MakeSurface(800, 600);
    Fill(screen.get(), 0);
    DrawSamples(screen.get());
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            Uint8 r, g, b;
            SurfaceRGB(screen.get(), PixelAt(screen.get(), x, y), &r, &g, &b);
            ASSERT_EQ(image.At(x, y), Quantized(r, g, b)) << x << "," << y;
        }
}

}  // namespace
}  // namespace glyphar_test
