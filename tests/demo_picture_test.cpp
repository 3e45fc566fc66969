// The demo's eight texts on an 800 x 600 surface: where each one's cells lie,
// which colours it uses, and how the transparent text crosses the first.

#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "samples.h"
#include "support.h"

namespace glyphar_test {
namespace {

// First and last column and row of each text's cells, inclusive; text 3 has
// two rows of cells of different lengths.
struct CellBand {
    int left, right, top, bottom;
};

struct PictureRow {
    int sample;  // index into kSamples
    std::vector<CellBand> bands;
};

const PictureRow kPicture[] = {
    {0, {{5, 460, 5, 40}}},
    {1, {{300, 683, 25, 60}}},
    {2, {{5, 292, 45, 80}, {5, 412, 81, 116}}},
    {3, {{5, 382, 125, 151}}},
    {4, {{5, 349, 155, 177}}},
    {5, {{5, 256, 180, 197}}},
    {6, {{5, 211, 200, 213}}},
    {7, {{5, 130, 215, 223}}},
};

// A text's cells are what it paints with an opaque background.
TEST(DemoPicture, EachTextsCellsSpanItsBand)
{
    const _color probe = {1, 2, 3};
    for (const PictureRow &row : kPicture) {
        const SampleText &s = kSamples[row.sample];
        SurfacePtr screen = MakeSurface(800, 600);
        Fill(screen.get(), kCanvas);
        Glyphar(screen.get(), s.text, s.box, s.size, s.fg, probe);
        for (const CellBand &band : row.bands) {
            const Extent e =
                ExtentOfPixelsOtherThan(screen.get(), kCanvas, band.top, band.bottom);
            EXPECT_EQ(e.left, band.left) << "text " << row.sample + 1;
            EXPECT_EQ(e.right, band.right) << "text " << row.sample + 1;
            EXPECT_EQ(e.top, band.top) << "text " << row.sample + 1;
            EXPECT_EQ(e.bottom, band.bottom) << "text " << row.sample + 1;
        }
        const Extent all = ExtentOfPixelsOtherThan(screen.get(), kCanvas);
        EXPECT_EQ(all.top, row.bands.front().top) << "text " << row.sample + 1;
        EXPECT_EQ(all.bottom, row.bands.back().bottom) << "text " << row.sample + 1;
    }
}

// Drawn with its own colours, a text shows its stroke colour, its background
// colour where opaque, and nothing outside its bands.
TEST(DemoPicture, EachTextUsesOnlyItsColoursInsideItsBands)
{
    for (const PictureRow &row : kPicture) {
        const SampleText &s = kSamples[row.sample];
        SurfacePtr screen = MakeSurface(800, 600);
        Fill(screen.get(), kCanvas);
        Glyphar(screen.get(), s.text, s.box, s.size, s.fg, s.bg);
        const bool opaque = s.bg.r != -1;
        std::set<Uint16> seen;
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                const Uint16 p = PixelAt(screen.get(), x, y);
                bool inBand = false;
                for (const CellBand &b : row.bands)
                    inBand |= x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
                if (!inBand) {
                    ASSERT_EQ(p, kCanvas) << "text " << row.sample + 1 << " at " << x << "," << y;
                    continue;
                }
                seen.insert(p);
            }
        std::set<Uint16> expected = {Mapped(screen.get(), s.fg),
                                     opaque ? Mapped(screen.get(), s.bg) : kCanvas};
        EXPECT_EQ(seen, expected) << "text " << row.sample + 1;
    }
}

// Text 2 crosses the lower right of text 1 (columns 300-460, rows 25-40):
// green strokes with text 1's red background and white strokes between them.
TEST(DemoPicture, TransparentTextShowsTheFirstTextBetweenItsStrokes)
{
    SurfacePtr screen = MakeSurface(800, 600);
    Fill(screen.get(), kCanvas);
    DrawSamples(screen.get());

    SurfacePtr firstOnly = MakeSurface(800, 600);
    Fill(firstOnly.get(), kCanvas);
    const SampleText &first = kSamples[0];
    Glyphar(firstOnly.get(), first.text, first.box, first.size, first.fg, first.bg);

    const Uint16 green = Mapped(screen.get(), {0, 255, 0});
    std::set<Uint16> seen;
    int greens = 0, fromFirst = 0;
    for (int y = 25; y <= 40; ++y)
        for (int x = 300; x <= 460; ++x) {
            const Uint16 p = PixelAt(screen.get(), x, y);
            seen.insert(p);
            if (p == green)
                ++greens;
            else if (p == PixelAt(firstOnly.get(), x, y))
                ++fromFirst;
        }
    EXPECT_EQ(seen, (std::set<Uint16>{green, Mapped(screen.get(), {255, 0, 0}),
                                      Mapped(screen.get(), kSampleWhite)}));
    EXPECT_EQ(greens + fromFirst, 16 * 161);  // every other pixel is text 1's own
    EXPECT_GT(greens, 0);
}

// Outside the union of the bands the demo draws nothing.
TEST(DemoPicture, NothingOutsideTheTexts)
{
    SurfacePtr screen = MakeSurface(800, 600);
    Fill(screen.get(), kCanvas);
    DrawSamples(screen.get());
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            bool inBand = false;
            for (const PictureRow &row : kPicture)
                for (const CellBand &b : row.bands)
                    inBand |= x >= b.left && x <= b.right && y >= b.top && y <= b.bottom;
            if (!inBand) {
                ASSERT_EQ(PixelAt(screen.get(), x, y), kCanvas) << x << "," << y;
            }
        }
}

}  // namespace
}  // namespace glyphar_test
