// Text layout: where each byte of a text lands, compared with drawing the
// expected characters one by one.

#include <cfloat>
#include <climits>
#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support.h"

namespace glyphar_test {
namespace {

struct Placed {
    char c;
    int x, y;
};

struct LayoutCase {
    const char *name;
    std::string text;
    _rect box;
    float size;
    std::vector<Placed> expected;  // empty: nothing drawn
};

void PrintTo(const LayoutCase &tc, std::ostream *os)
{
    *os << tc.name;
}

class Layout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, PlacesEachByteInItsCell)
{
    const LayoutCase &tc = GetParam();
    const _color fg = {250, 250, 0}, bg = {0, 0, 200};
    SurfacePtr got = MakeSurface(240, 120), want = MakeSurface(240, 120);
    Fill(got.get(), kCanvas);
    Fill(want.get(), kCanvas);
    Glyphar(got.get(), tc.text.c_str(), tc.box, tc.size, fg, bg);
    for (const Placed &p : tc.expected)
        GlypharCarac(want.get(), static_cast<unsigned char>(p.c), p.x, p.y, tc.size, fg, bg);
    EXPECT_EQ(Pixels(got.get()), Pixels(want.get()));
    EXPECT_EQ(ExtentOfPixelsOtherThan(got.get(), kCanvas).empty(), tc.expected.empty());
}

const _rect kWide = {0, 0, 240, 120};

INSTANTIATE_TEST_SUITE_P(
    Cases, Layout,
    ::testing::Values(
        LayoutCase{"Row", "ab", kWide, 1.0f, {{'a', 0, 0}, {'b', 6, 0}}},
        LayoutCase{"Offset", "ab", {7, 3, 240, 120}, 1.0f, {{'a', 7, 3}, {'b', 13, 3}}},
        LayoutCase{"Empty", "", kWide, 1.0f, {}},
        LayoutCase{"LeadingNewline", "\nab", kWide, 1.0f, {{'a', 0, 9}, {'b', 6, 9}}},
        LayoutCase{"DoubleNewline", "a\n\nb", kWide, 1.0f, {{'a', 0, 0}, {'b', 0, 18}}},
        LayoutCase{"TrailingNewline", "a\n", kWide, 1.0f, {{'a', 0, 0}}},
        LayoutCase{"WrapAfterLastColPlusOne", "abcdefgh", {0, 0, 30, 120}, 1.0f,
                   {{'a', 0, 0}, {'b', 6, 0}, {'c', 12, 0}, {'d', 18, 0}, {'e', 24, 0},
                    {'f', 30, 0}, {'g', 0, 9}, {'h', 6, 9}}},
        LayoutCase{"SpaceKeptAtRowStart", "ab cd", {0, 0, 6, 120}, 1.0f,
                   {{'a', 0, 0}, {'b', 6, 0}, {' ', 0, 9}, {'c', 6, 9}, {'d', 0, 18}}},
        LayoutCase{"CutOffPastLastRow", "a\nb\nc", {0, 0, 240, 9}, 1.0f, {{'a', 0, 0}, {'b', 0, 9}}},
        LayoutCase{"WrapCutOff", "abcd", {0, 0, 6, 0}, 1.0f, {{'a', 0, 0}, {'b', 6, 0}}},
        LayoutCase{"CarriageReturnAndTabAreCells", "a\r\tb", kWide, 1.0f,
                   {{'a', 0, 0}, {'\r', 6, 0}, {'\t', 12, 0}, {'b', 18, 0}}},
        LayoutCase{"NarrowerThanACell", "abc", {2, 1, 5, 120}, 1.0f,
                   {{'a', 2, 1}, {'b', 2, 10}, {'c', 2, 19}}},
        LayoutCase{"LowerThanACell", "ab\ncd", {0, 0, 240, 8}, 1.0f, {{'a', 0, 0}, {'b', 6, 0}}},
        LayoutCase{"ZeroBox", "abc", {4, 4, 0, 0}, 1.0f, {{'a', 4, 4}}},
        // A negative width leaves no column at all: every byte, the first
        // one included, breaks to a new row.
        LayoutCase{"NegativeWidth", "abc", {0, 0, -20, 30}, 1.0f,
                   {{'a', 0, 9}, {'b', 0, 18}, {'c', 0, 27}}},
        LayoutCase{"NegativeBoxDrawsNothing", "ab", {3, 3, -50, -50}, 1.0f, {}},
        LayoutCase{"OverlappingCellsAtOnePointFive", "ab\ncd", kWide, 1.5f,
                   {{'a', 0, 0}, {'b', 9, 0}, {'c', 0, 13}, {'d', 9, 13}}},
        LayoutCase{"DoubleLigneAtFour", "Do\nSu", {5, 45, 800, 600}, 4.0f,
                   {{'D', 5, 45}, {'o', 29, 45}, {'S', 5, 81}, {'u', 29, 81}}},
        LayoutCase{"NegativeSize", "abc", kWide, -1.0f, {}},
        LayoutCase{"NaNSize", "abc", kWide, NAN, {}},
        LayoutCase{"InfiniteSize", "abc", kWide, INFINITY, {}},
        LayoutCase{"CellZeroWide", "abc", kWide, 0.16f, {}},
        LayoutCase{"CellZeroHigh", "abc", kWide, 0.1f, {}},
        LayoutCase{"JustBelowOneSixth", "abc", kWide, std::nextafter(1.0f / 6, 0.0f), {}},
        LayoutCase{"OneSixthMakesOnePixelCells", "abc", {0, 0, 1, 120}, 1.0f / 6,
                   {{'a', 0, 0}, {'b', 1, 0}, {'c', 0, 1}}},
        LayoutCase{"HugeSizeDrawsTheFirstByteOnly", "BA", kWide, FLT_MAX, {{'B', 0, 0}}}),
    [](const ::testing::TestParamInfo<LayoutCase> &info) { return info.param.name; });

TEST(LayoutEdges, CellsAtTheIntegerLimitsDrawNothingAndDoNotOverflow)
{
    const _rect boxes[] = {
        {INT_MIN, 0, INT_MAX, INT_MAX}, {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {INT_MAX - 3, 0, INT_MAX, 100}, {0, INT_MAX - 3, 100, INT_MAX},
        {INT_MIN, INT_MIN, INT_MIN, INT_MIN},
    };
    for (const _rect &box : boxes) {
        SurfacePtr s = MakeSurface(50, 50);
        Fill(s.get(), kCanvas);
        Glyphar(s.get(), "abc\ndef", box, 1.0f, kWhite, kBlack);
        EXPECT_TRUE(ExtentOfPixelsOtherThan(s.get(), kCanvas).empty())
            << box.x << "," << box.y << "," << box.w << "," << box.h;
    }
}

// At size 4 in an 800-pixel box a row holds 34 cells: the 34th byte at
// column 33 (x + 792), the 35th at column 0 of the next row. Drawn from
// x = -792, only column 33 lies on the surface, and it must hold 'B' alone:
// a break one cell early or late would move 'B' away or bring 'c' in.
TEST(LayoutEdges, ThirtyFiveBytesAtSizeFourWrapAfterThirtyFour)
{
    std::string text(33, 'a');
    text += "Bc";
    SurfacePtr got = MakeSurface(60, 80), want = MakeSurface(60, 80);
    Fill(got.get(), kCanvas);
    Fill(want.get(), kCanvas);
    Glyphar(got.get(), text.c_str(), {-792, 0, 800, 600}, 4.0f, kWhite, kBlack);
    GlypharCarac(want.get(), 'B', 0, 0, 4.0f, kWhite, kBlack);
    EXPECT_EQ(Pixels(got.get()), Pixels(want.get()));
}

// The first call of the process fills the glyph table even for an empty
// text; until then characters draw blank. Run in a fresh process so no other
// test has filled the table before.
void ExitWithTableFilledByEmptyText()
{
    SurfacePtr s = MakeSurface(6, 9);
    Fill(s.get(), kCanvas);
    GlypharCarac(s.get(), 'A', 0, 0, 1.0f, kWhite, kTransparent);
    const bool blankBefore = ExtentOfPixelsOtherThan(s.get(), kCanvas).empty();
    Glyphar(s.get(), "", {0, 0, 6, 9}, 1.0f, kWhite, kTransparent);
    const bool blankAfterEmptyText = ExtentOfPixelsOtherThan(s.get(), kCanvas).empty();
    GlypharCarac(s.get(), 'A', 0, 0, 1.0f, kWhite, kTransparent);
    const bool drawnAfter = !ExtentOfPixelsOtherThan(s.get(), kCanvas).empty();
    std::exit(blankBefore && blankAfterEmptyText && drawnAfter ? 0 : 1);
}

TEST(GlyphTableDeathTest, FirstTextCallFillsTheTable)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(ExitWithTableFilledByEmptyText(), ::testing::ExitedWithCode(0), "");
}

TEST(GlyphTable, LaterInitCallsLeaveTheTableAlone)
{
    GlypharInit();
    const Bitmap before = GlyphBitmap('g');
    GlypharInit();
    GlypharInit();
    EXPECT_EQ(GlyphBitmap('g'), before);
    EXPECT_EQ(before[8], "011100");
}

}  // namespace
}  // namespace glyphar_test
