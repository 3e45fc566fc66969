// Text in boxes: word wrap, alignment, measuring and paging.

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

constexpr _color kInk = {250, 250, 0}, kPaper = {0, 0, 200};

struct Placed {
    std::string cells;
    int shift;  // pixels right of box.x
};

struct BoxCase {
    const char *name;
    std::string text;
    int flags;
    std::vector<Placed> rows;  // row i at box.y + 9 i; "" for an empty row
};

void PrintTo(const BoxCase &tc, std::ostream *os)
{
    *os << tc.name;
}

class Boxes : public ::testing::TestWithParam<BoxCase> {};

// Box width 60 at size 1: rows of 11 cells.
TEST_P(Boxes, RowsAndShiftsAreTheExamples)
{
    const BoxCase &tc = GetParam();
    const _rect box = {2, 3, 60, 200};
    SurfacePtr got = MakeSurface(70, 120), want = MakeSurface(70, 120);
    Fill(got.get(), kCanvas);
    Fill(want.get(), kCanvas);
    GlypharInit();
    GlypharEx(got.get(), tc.text.c_str(), box, 1.0f, kInk, kPaper, tc.flags);
    int left = 70, right = 0, top = -1, bottom = 0;
    for (size_t row = 0; row < tc.rows.size(); ++row) {
        const Placed &p = tc.rows[row];
        for (size_t k = 0; k < p.cells.size(); ++k)
            ModelCarac(want.get(), static_cast<unsigned char>(p.cells[k]),
                       box.x + p.shift + 6 * static_cast<int>(k), box.y + 9 * static_cast<int>(row),
                       1.0f, kInk, kPaper);
        if (!p.cells.empty()) {
            left = std::min(left, box.x + p.shift);
            right = std::max(right, box.x + p.shift + 6 * static_cast<int>(p.cells.size()));
            bottom = box.y + 9 * static_cast<int>(row + 1);
            if (top < 0)
                top = box.y + 9 * static_cast<int>(row);
        }
    }
    EXPECT_EQ(Pixels(got.get()), Pixels(want.get()));

    _rect painted;
    EXPECT_EQ(GlypharMesure(tc.text.c_str(), box, 1.0f, tc.flags, &painted), tc.text.size());
    EXPECT_EQ(painted.x, left);
    EXPECT_EQ(painted.y, top);
    EXPECT_EQ(painted.w, right - left);
    EXPECT_EQ(painted.h, bottom - top);
}

const char kFox[] = "the quick brown fox jumps over the lazy dog";

INSTANTIATE_TEST_SUITE_P(
    Examples, Boxes,
    ::testing::Values(
        BoxCase{"Words", kFox, GLYPHAR_WRAP_WORDS,
                {{"the quick", 0}, {"brown fox", 0}, {"jumps over", 0}, {"the lazy", 0}, {"dog", 0}}},
        BoxCase{"InnerSpacesStay", "aaa   bbbb cc", GLYPHAR_WRAP_WORDS,
                {{"aaa   bbbb", 0}, {"cc", 0}}},
        BoxCase{"LongWordBreaksAsBytes", "  indented verylongwordthatbreaks here",
                GLYPHAR_WRAP_WORDS,
                {{"  indented", 0}, {"verylongwor", 0}, {"dthatbreaks", 0}, {"here", 0}}},
        BoxCase{"Centred", kFox, GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER,
                {{"the quick", 3}, {"brown fox", 3}, {"jumps over", 0}, {"the lazy", 6}, {"dog", 21}}},
        BoxCase{"BothFlagsCentre", "ab\ncde", GLYPHAR_ALIGN_CENTER | GLYPHAR_ALIGN_RIGHT,
                {{"ab", 24}, {"cde", 21}}},
        BoxCase{"RightWithoutWrapKeepsSpaces", "ab \ncde", GLYPHAR_ALIGN_RIGHT,
                {{"ab ", 42}, {"cde", 42}}},
        BoxCase{"SpacesThatFindTheRowFullAreDropped", "aaaaaaaaaaa   bb", GLYPHAR_WRAP_WORDS,
                {{"aaaaaaaaaaa", 0}, {"bb", 0}}},
        BoxCase{"IndentationAfterANewlineStays", "a\n  b", GLYPHAR_WRAP_WORDS, {{"a", 0}, {"  b", 0}}},
        BoxCase{"ARowOfSpacesLeftByAWordStaysEmpty", "\n     bbbbbbbbb", GLYPHAR_WRAP_WORDS,
                {{"", 0}, {"", 0}, {"bbbbbbbbb", 0}}},
        BoxCase{"AWordAsLongAsARowStartsOne", "ab cdefghijklm", GLYPHAR_WRAP_WORDS,
                {{"ab", 0}, {"cdefghijklm", 0}}},
        BoxCase{"UnknownFlagsAreIgnored", "ab cd", ~15, {{"ab cd", 0}}}),
    [](const ::testing::TestParamInfo<BoxCase> &info) { return info.param.name; });

// Words of one to eight letters, separated by one to three spaces and now
// and then a newline.
std::string RandomWords(std::mt19937 &random, int words)
{
    std::string text;
    for (int i = 0; i < words; ++i) {
        text += std::string(random() % 8 + 1, static_cast<char>('a' + random() % 26));
        text += random() % 9 == 0 ? std::string("\n") : std::string(random() % 3 + 1, ' ');
    }
    return text;
}

std::vector<std::string> WordsOf(const std::string &text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

TEST(Measure, AgreesWithTheDrawingOnRandomWords)
{
    GlypharInit();
    std::mt19937 random(10);
    // Sizes where 6 x size is not whole too: blocks overhang their pitch.
    const float sizes[] = {1.0f, 1.5f, 2.0f, 2.5f, 1.7f, 2.2f, 0.45f};
    for (int round = 0; round < 150; ++round) {
        const std::string text = RandomWords(random, static_cast<int>(random() % 30));
        const float size = sizes[random() % 7];
        const _rect box = {40 + static_cast<int>(random() % 20), 30 + static_cast<int>(random() % 10),
                           48 + static_cast<int>(random() % 120), static_cast<int>(random() % 90)};
        const int flags = static_cast<int>(random() % 8);
        const std::string label = "\"" + text + "\" size " + std::to_string(size) + " flags " +
                                  std::to_string(flags) + " box " + std::to_string(box.w) + "x" +
                                  std::to_string(box.h);

        _rect painted;
        const size_t used = GlypharMesure(text.c_str(), box, size, flags, &painted);
        ASSERT_EQ(used, ModelLayOut(text, box, size, flags).used) << label;

        // The rectangle is exactly what an opaque drawing changes.
        SurfacePtr all = MakeSurface(360, 240);
        Fill(all.get(), kCanvas);
        GlypharEx(all.get(), text.c_str(), box, size, kInk, kPaper, flags);
        const Extent e = ExtentOfPixelsOtherThan(all.get(), kCanvas);
        if (e.empty()) {
            EXPECT_TRUE(painted.x == box.x && painted.y == box.y && painted.w == 0 &&
                        painted.h == 0) << label;
        } else {
            EXPECT_EQ(painted.x, e.left) << label;
            EXPECT_EQ(painted.y, e.top) << label;
            EXPECT_EQ(painted.w, e.right - e.left + 1) << label;
            EXPECT_EQ(painted.h, e.bottom - e.top + 1) << label;
        }

        // What the layout did not use draws nothing.
        SurfacePtr cut = MakeSurface(360, 240);
        Fill(cut.get(), kCanvas);
        GlypharEx(cut.get(), text.substr(0, used).c_str(), box, size, kInk, kPaper, flags);
        ASSERT_EQ(Pixels(cut.get()), Pixels(all.get())) << label;
    }
}

// Paging through text + n: each page fits its box whole, and the pages
// hold every word once, in order.
TEST(Measure, PagesCoverEveryWordOnce)
{
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        const std::string text = RandomWords(random, 60);
        const _rect box = {0, 0, 60 + static_cast<int>(random() % 60), 9 * static_cast<int>(random() % 4)};
        const int flags = GLYPHAR_WRAP_WORDS | static_cast<int>(random() % 2) * GLYPHAR_ALIGN_CENTER;
        std::vector<std::string> paged;
        for (size_t at = 0; at < text.size();) {
            const size_t n = GlypharMesure(text.c_str() + at, box, 1.0f, flags, nullptr);
            ASSERT_GT(n, 0u) << "stuck at byte " << at << " of \"" << text << "\"";
            const std::string page = text.substr(at, n);
            EXPECT_EQ(ModelLayOut(page, box, 1.0f, flags).used, page.size()) << page;
            for (const std::string &w : WordsOf(page))
                paged.push_back(w);
            at += n;
        }
        EXPECT_EQ(paged, WordsOf(text)) << text;
    }
}

TEST(Measure, SizesThatDrawNothingMeasureNothing)
{
    for (float size : {0.0f, -1.0f, NAN, INFINITY, 0.1f}) {
        _rect painted = {1, 2, 3, 4};
        EXPECT_EQ(GlypharMesure("abc", {7, 8, 100, 100}, size, 0, &painted), 0u) << size;
        EXPECT_TRUE(painted.x == 7 && painted.y == 8 && painted.w == 0 && painted.h == 0) << size;
    }
    _rect painted;
    EXPECT_EQ(GlypharMesure(nullptr, {7, 8, 100, 100}, 1.0f, 0, &painted), 0u);
    EXPECT_TRUE(painted.x == 7 && painted.y == 8 && painted.w == 0 && painted.h == 0);
}

// Cells 1.8e8 x 2.7e8 pixels in the largest box: 12 x 8 of them cover more
// than 32 bits can describe, and the rectangle saturates.
TEST(Measure, HugeRectanglesSaturate)
{
    _rect painted;
    const std::string text(100, 'a');
    EXPECT_EQ(GlypharMesure(text.c_str(), {-5, -6, INT32_MAX, INT32_MAX}, 3e7f, 0, &painted), 96u);
    EXPECT_EQ(painted.x, -5);
    EXPECT_EQ(painted.y, -6);
    EXPECT_EQ(painted.w, INT32_MAX);
    EXPECT_EQ(painted.h, INT32_MAX);
}

}  // namespace
}  // namespace glyphar_test
