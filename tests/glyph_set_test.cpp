// The font as drawn at size 1: which bytes have glyphs, the rules every glyph
// follows, and the glyphs whose exact shape matters.

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "support.h"

namespace glyphar_test {
namespace {

bool HasGlyph(int c)
{
    return c == ' ' || (c >= '(' && c <= ';') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool RowLit(const Bitmap &b, int row)
{
    return b[row].find('1') != std::string::npos;
}

int LitCount(const Bitmap &b)
{
    int n = 0;
    for (const std::string &row : b)
        for (char cell : row)
            n += cell == '1';
    return n;
}

int TopRow(const Bitmap &b)
{
    for (int row = 0; row < 9; ++row)
        if (RowLit(b, row))
            return row;
    return -1;
}

int BottomRow(const Bitmap &b)
{
    for (int row = 8; row >= 0; --row)
        if (RowLit(b, row))
            return row;
    return -1;
}

TEST(GlyphSet, ExactlyTheSeventyThreeCharactersDrawStrokes)
{
    int withStrokes = 0;
    for (int c = 0; c < 256; ++c) {
        const Bitmap b = GlyphBitmap(static_cast<unsigned char>(c));
        if (!HasGlyph(c) || c == ' ') {
            EXPECT_EQ(LitCount(b), 0) << "byte " << c;
        } else {
            EXPECT_GT(LitCount(b), 0) << "byte " << c;
        }
        withStrokes += LitCount(b) > 0;
    }
    EXPECT_EQ(withStrokes, 72);  // the space is the 73rd: defined, but blank
}

TEST(GlyphSet, ColumnFiveIsTheGapAndNeverLit)
{
    for (int c = 0; c < 256; ++c) {
        const Bitmap b = GlyphBitmap(static_cast<unsigned char>(c));
        for (int row = 0; row < 9; ++row)
            EXPECT_EQ(b[row][5], '0') << "byte " << c << " row " << row;
    }
}

// The rows each kind of character stands in, from the font's design rules.
struct RowSpan {
    const char *chars;
    int top;
    int bottom;
};

TEST(GlyphSet, CharactersStandInTheirRows)
{
    const RowSpan spans[] = {
        {"0123456789ABCDEFGHIJKLMNOPRSTUVWXYZ", 0, 6},
        {"Q", 0, 7},
        {"acemnorsuvwxz", 2, 6},
        {"bdfhklt", 0, 6},
        {"i", 0, 6},
        {"gpqy", 2, 8},
        {"j", 0, 8},
        {",", 6, 7},
        {";", 3, 7},
        {".", 6, 6},
        {":", 3, 6},
    };
    for (const RowSpan &span : spans)
        for (const char *p = span.chars; *p; ++p) {
            const Bitmap b = GlyphBitmap(static_cast<unsigned char>(*p));
            EXPECT_EQ(TopRow(b), span.top) << "'" << *p << "'";
            EXPECT_EQ(BottomRow(b), span.bottom) << "'" << *p << "'";
        }
}

TEST(GlyphSet, OnlyDescendersUseRowsSevenAndEight)
{
    for (int c = 0; c < 256; ++c) {
        const Bitmap b = GlyphBitmap(static_cast<unsigned char>(c));
        const bool reachesRow8 = std::strchr("gjpqy", c) != nullptr && c != 0;
        const bool reachesRow7 = reachesRow8 || (std::strchr("Q,;", c) != nullptr && c != 0);
        EXPECT_EQ(RowLit(b, 7), reachesRow7) << "byte " << c;
        EXPECT_EQ(RowLit(b, 8), reachesRow8) << "byte " << c;
    }
}

// Punctuation that stands in one column only.
TEST(GlyphSet, PunctuationColumns)
{
    const struct {
        char c;
        int column;
    } cases[] = {{':', 2}, {'.', 1}, {',', 1}, {';', 0}};
    for (const auto &tc : cases) {
        const Bitmap b = GlyphBitmap(static_cast<unsigned char>(tc.c));
        for (int row = 0; row < 9; ++row)
            for (int col = 0; col < 6; ++col)
                if (b[row][col] == '1') {
                    EXPECT_EQ(col, tc.column) << "'" << tc.c << "' row " << row;
                }
    }
}

TEST(GlyphSet, ZeroHasSeventeenCellsAndACentreDot)
{
    const Bitmap zero = GlyphBitmap('0');
    EXPECT_EQ(LitCount(zero), 17);
    EXPECT_EQ(zero[3], "101010");
    EXPECT_EQ(zero[7], "000000");
    EXPECT_EQ(zero[8], "000000");
}

TEST(GlyphSet, LookAlikesDifferOnlyWhereDrawnSo)
{
    const Bitmap O = GlyphBitmap('O'), Q = GlyphBitmap('Q');
    const Bitmap g = GlyphBitmap('g'), q = GlyphBitmap('q');
    for (int row = 0; row < 9; ++row) {
        if (row != 7) {
            EXPECT_EQ(O[row], Q[row]) << "row " << row;
        }
        if (row != 8) {
            EXPECT_EQ(g[row], q[row]) << "row " << row;
        }
    }
    EXPECT_EQ(Q[7], "000110");
    EXPECT_EQ(O[7], "000000");
    EXPECT_EQ(q[8], "000010");
    EXPECT_EQ(g[8], "011100");
}

TEST(GlyphSet, DotsOfIAndJStandApartFromTheStem)
{
    for (char c : {'i', 'j'}) {
        const Bitmap b = GlyphBitmap(static_cast<unsigned char>(c));
        EXPECT_EQ(b[0], "001000") << c;
        EXPECT_EQ(b[1], "000000") << c;
        EXPECT_EQ(b[2], "011000") << c;
    }
}

TEST(GlyphSet, CapitalTTopRow)
{
    EXPECT_EQ(GlyphBitmap('T')[0], "111110");
    EXPECT_EQ(GlyphBitmap('T')[1], "001000");
}

}  // namespace
}  // namespace glyphar_test
