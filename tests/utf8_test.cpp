// The whole font and UTF-8 text: every glyph against the test's copy, the
// font's design rules, and decoding, layout and paging against the test's
// own decoder on hostile and random bytes.

#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

constexpr _color kInk = {250, 250, 0}, kPaper = {0, 0, 200};

// The characters Windows-1252 adds at 0x80 to 0x9F.
const char32_t kWindows1252[] = {0x20AC, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x017D, 0x2018,
                                 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC,
                                 0x2122, 0x0161, 0x203A, 0x0153, 0x017E, 0x0178};

// The code points with a glyph of their own, from the list.
std::set<char32_t> Covered()
{
    std::set<char32_t> covered(std::begin(kWindows1252), std::end(kWindows1252));
    for (char32_t cp = 0x20; cp <= 0x7E; ++cp)
        covered.insert(cp);
    for (char32_t cp = 0xA0; cp <= 0xFF; ++cp)
        covered.insert(cp);
    covered.insert(0xFFFD);
    return covered;
}

Bitmap CodePointBitmap(char32_t cp)
{
    return DrawnBitmap(
        [cp](SDL_Surface *s) { GlypharCodePoint(s, cp, 0, 0, 1.0f, kWhite, kBlack); });
}

Bitmap ModelBitmap(char32_t cp)
{
    const char *rows = ModelCodePointRows(cp);
    Bitmap bitmap;
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 6; ++x)
            bitmap[y] += ModelRowsLit(rows, y, x) ? '1' : '0';
    return bitmap;
}

TEST(WholeFont, CoversTheListedCharactersAndNoOthers)
{
    const std::set<char32_t> covered = Covered();
    EXPECT_EQ(covered.size(), 219u);
    // Box drawing, blocks and Braille are drawn rather than taken from a glyph.
    const auto drawn = [](char32_t cp) {
        return (cp >= 0x2500 && cp <= 0x259F) || (cp >= 0x2800 && cp <= 0x28FF);
    };
    for (char32_t cp = 0; cp <= 0x110000; ++cp)
        if (GlypharHasGlyph(cp) != static_cast<int>(covered.count(cp) || drawn(cp))) {
            ADD_FAILURE() << std::hex << "U+" << cp << ": " << GlypharHasGlyph(cp);
            break;
        }
    EXPECT_EQ(GlypharHasGlyph(0xFFFFFFFFu), 0);
}

// The 73 included: UTF-8 text draws the byte set's glyphs unchanged.
TEST(WholeFont, EveryGlyphIsTheTestsCopy)
{
    std::vector<char32_t> points(std::begin(kWindows1252), std::end(kWindows1252));
    for (char32_t cp = 0; cp < 0x300; ++cp)
        points.push_back(cp);
    for (char32_t cp : {0xFFFDu, 0xFFFEu, 0xD800u, 0x1F600u, 0x10FFFFu, 0x110000u, 0xFFFFFFFFu})
        points.push_back(cp);
    for (char32_t cp : points)
        ASSERT_EQ(CodePointBitmap(cp), ModelBitmap(cp)) << std::hex << "U+" << cp;
}

TEST(WholeFont, FollowsTheDesignRules)
{
    // Glyphs that may be drawn alike.
    const std::set<std::pair<char32_t, char32_t>> alike = {
        {0x20, 0xA0}, {0x2D, 0xAD}, {0x2C, 0x201A}, {0x5E, 0x2C6}, {0x7E, 0x2DC}};
    std::map<Bitmap, char32_t> seen;
    for (char32_t cp : Covered()) {
        const Bitmap b = ModelBitmap(cp);
        for (int row = 0; row < 9; ++row)
            EXPECT_EQ(b[row][5], '0') << std::hex << "U+" << cp << " row " << row;
        const auto [at, fresh] = seen.emplace(b, cp);
        if (!fresh) {
            EXPECT_EQ(alike.count({at->second, cp}), 1u)
                << std::hex << "U+" << at->second << " and U+" << cp << " are alike";
        }
    }
    // A small letter's accent stands clear of it: row 1 is blank between
    // them (eth and thorn rise to row 0 themselves).
    for (char32_t cp = 0xE0; cp <= 0x17E; ++cp) {
        if ((cp > 0xFF && cp != 0x161 && cp != 0x17E) || cp == 0xF0 || cp == 0xFE)
            continue;
        const Bitmap b = ModelBitmap(cp);
        if (b[0].find('1') != std::string::npos) {
            EXPECT_EQ(b[1], "000000") << std::hex << "U+" << cp;
        }
    }
    // The replacement glyph is unlike any character and clearly visible.
    int lit = 0;
    for (const std::string &row : ModelBitmap(0xFFFD))
        for (char cell : row)
            lit += cell == '1';
    EXPECT_GT(lit, 25);
}

// Each case's cells, from Python's bytes.decode('utf-8', 'replace').
struct Hostile {
    const char *bytes;
    std::u32string cells;
};

const Hostile kHostile[] = {
    {"a\xC3(b", U"a\uFFFD(b"},
    {"\x80", U"\uFFFD"},
    {"\xBF\x80", U"\uFFFD\uFFFD"},
    {"\xC3", U"\uFFFD"},
    {"\xE2\x82", U"\uFFFD"},
    {"\xF0\x9F\x98", U"\uFFFD"},
    {"\xC0\xAF", U"\uFFFD\uFFFD"},
    {"\xC1\xBF", U"\uFFFD\uFFFD"},
    {"\xE0\x80\xAF", U"\uFFFD\uFFFD\uFFFD"},
    {"\xF0\x80\x80\xAF", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"\xED\xA0\x80", U"\uFFFD\uFFFD\uFFFD"},
    {"\xF4\x90\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"\xF5\x80\x80\x80", U"\uFFFD\uFFFD\uFFFD\uFFFD"},
    {"\xFE\xFF", U"\uFFFD\uFFFD"},
    {"\xE2\x28\xA1", U"\uFFFD(\uFFFD"},
    {"\xF0\x9F\x98(", U"\uFFFD("},
    {"\xC3\xA9\xC3", U"\u00E9\uFFFD"},
    {"\xE1\x80\xC3\xA9", U"\uFFFD\u00E9"},
    {"\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", U"\u20AC\U0001F600\U0010FFFF"},
    {"\x01\x1F\x7F\xC2\x80\xC2\x9F", U"\x01\x1F\x7F\u0080\u009F"},
};

// Drawn as the model draws the cells, and measured whole.
TEST(Utf8, HostileBytesAreCellsOfTheReplacementGlyph)
{
    const _rect box = {3, 2, 200, 40};
    for (const Hostile &tc : kHostile) {
        const std::string text = tc.bytes;
        EXPECT_EQ(ModelCodePoints(ModelDecodeUtf8(text)), tc.cells) << text;
        SurfacePtr got = MakeSurface(64, 24), want = MakeSurface(64, 24);
        Fill(got.get(), kCanvas);
        Fill(want.get(), kCanvas);
        GlypharEx(got.get(), text.c_str(), box, 1.0f, kInk, kPaper, GLYPHAR_UTF8);
        for (size_t k = 0; k < tc.cells.size(); ++k)
            ModelCell(want.get(), tc.cells[k], box.x + 6 * static_cast<int64_t>(k), box.y, 1.0f,
                      kInk, kPaper);
        EXPECT_EQ(Pixels(got.get()), Pixels(want.get())) << text;
        _rect painted;
        EXPECT_EQ(GlypharMesure(text.c_str(), box, 1.0f, GLYPHAR_UTF8, &painted), text.size());
        EXPECT_EQ(painted.w, 6 * static_cast<int>(tc.cells.size())) << text;
    }
}

// Words of letters, accented letters, no-break spaces, characters outside
// the font and ill-formed bytes; spaces, newlines; a text may end inside a
// sequence.
std::string RandomUtf8(std::mt19937 &random, int words)
{
    static const char *const kLetters[] = {"a", "Z", "q", "\xC3\xA9", "\xC3\x80", "\xC3\x9F",
                                           "\xC2\xA0", "\xE2\x82\xAC", "\xE2\x80\x94",
                                           "\xF0\x9F\x98\x80", "\xE4\xB8\xAD", "\x80", "\xC3",
                                           "\xE2\x82", "\xED\xA0\x80", "\xFF", "\xC2\x85"};
    std::string text;
    for (int i = 0; i < words; ++i) {
        for (int n = static_cast<int>(random() % 7) + 1; n > 0; --n)
            text += kLetters[random() % (sizeof kLetters / sizeof *kLetters)];
        text += random() % 9 == 0 ? std::string("\n") : std::string(random() % 3 + 1, ' ');
    }
    if (random() % 3 == 0)
        text += random() % 2 ? "\xF0\x9F\x98" : "\xE2";
    return text;
}

// The byte where the cell after the first `cells` starts.
size_t ByteOfCell(const std::vector<ModelChar> &chars, size_t cells, size_t total)
{
    return cells < chars.size() ? chars[cells].start : total;
}

TEST(Utf8, LayoutAndMeasureAgreeWithTheModel)
{
    GlypharInit();
    std::mt19937 random(16);
    const float sizes[] = {1.0f, 1.5f, 2.0f};
    for (int round = 0; round < 150; ++round) {
        const std::string text = RandomUtf8(random, static_cast<int>(random() % 20));
        const float size = sizes[random() % 3];
        const _rect box = {random() % 2 ? 4 : -3, 3, 30 + static_cast<int>(random() % 120),
                           static_cast<int>(random() % 80)};
        const int flags = GLYPHAR_UTF8 | static_cast<int>(random() % 8);
        const std::vector<ModelChar> chars = ModelDecodeUtf8(text);
        const auto layout = ModelLayOut(ModelCodePoints(chars), box, size, flags);
        const std::string label = "\"" + text + "\" flags " + std::to_string(flags);

        SurfacePtr got = MakeSurface(180, 100), want = MakeSurface(180, 100);
        Fill(got.get(), kCanvas);
        Fill(want.get(), kCanvas);
        GlypharEx(got.get(), text.c_str(), box, size, kInk, kPaper, flags);
        ModelDrawRows(want.get(), layout.rows, box, size, kInk, kPaper, flags);
        ASSERT_EQ(Pixels(got.get()), Pixels(want.get())) << label;
        EXPECT_EQ(GlypharMesure(text.c_str(), box, size, flags, nullptr),
                  ByteOfCell(chars, layout.used, text.size()))
            << label;
    }
}

// Rows of about as many cells as the layout keeps for drawing, and longer
// ones, which drawing decodes again.
TEST(Utf8, LongRowsAgreeWithTheModel)
{
    static const char *const kCells[] = {"a", "Z", "\xC3\xA9", "\xC3\x80", "\xC2\xA0",
                                         "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80"};
    std::mt19937 random(18);
    for (int flags : {GLYPHAR_UTF8, GLYPHAR_UTF8 | GLYPHAR_WRAP_WORDS})
        for (int cells : {511, 512, 513, 1030}) {
            std::string text;
            for (int k = 0; k < cells; ++k)
                text += kCells[random() % (sizeof kCells / sizeof *kCells)];
            const _rect box = {0, 0, 6 * cells, 9};
            const auto layout =
                ModelLayOut(ModelCodePoints(ModelDecodeUtf8(text)), box, 1.0f, flags);
            SurfacePtr got = MakeSurface(6 * cells, 9), want = MakeSurface(6 * cells, 9);
            Fill(got.get(), kCanvas);
            Fill(want.get(), kCanvas);
            GlypharEx(got.get(), text.c_str(), box, 1.0f, kInk, kPaper, flags);
            ModelDrawRows(want.get(), layout.rows, box, 1.0f, kInk, kPaper, flags);
            EXPECT_EQ(Pixels(got.get()), Pixels(want.get())) << cells << " cells, flags " << flags;
        }
}

// Paging through text + n: every page ends between two characters and fits
// its box whole.
TEST(Utf8, PagesTakeEveryCharacterOnce)
{
    std::mt19937 random(17);
    for (int round = 0; round < 60; ++round) {
        const std::string text = RandomUtf8(random, 40);
        const _rect box = {0, 0, 30 + static_cast<int>(random() % 60), 9 * static_cast<int>(random() % 3)};
        const int flags = GLYPHAR_UTF8 | static_cast<int>(random() % 2) * GLYPHAR_WRAP_WORDS;
        std::set<size_t> starts;
        for (const ModelChar &c : ModelDecodeUtf8(text))
            starts.insert(c.start);
        for (size_t at = 0; at < text.size();) {
            const size_t n = GlypharMesure(text.c_str() + at, box, 1.0f, flags, nullptr);
            ASSERT_GT(n, 0u) << "stuck at byte " << at << " of \"" << text << "\"";
            at += n;
            ASSERT_TRUE(at == text.size() || starts.count(at) == 1)
                << "a page ends inside a character at byte " << at << " of \"" << text << "\"";
            const std::u32string page = ModelCodePoints(ModelDecodeUtf8(text.substr(at - n, n)));
            EXPECT_EQ(ModelLayOut(page, box, 1.0f, flags).used, page.size()) << text;
        }
    }
}

}  // namespace
}  // namespace glyphar_test
