// Loaded fonts: every console font Debian ships loads, and draws what the
// test's own PSF reader says, laid out and sampled by the model with the
// font's own cell; bad files give NULL and a reason.

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "console_fonts.h"
#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

// The test's PSF reader: glyph bitmaps as the file has them, and the first
// glyph each code point of the Unicode table names.
struct PsfModel {
    int width = 0, height = 0, rowBytes = 0;
    std::vector<std::vector<uint8_t>> glyphs;
    std::map<char32_t, int> glyphOf;

    bool Lit(int glyph, int64_t row, int64_t col) const
    {
        if (glyph < 0 || row >= height || col >= width)
            return false;
        return glyphs[glyph][row * rowBytes + col / 8] >> (7 - col % 8) & 1;
    }

    // The glyph a character draws: -1 for blank, -2 for the program's own
    // replacement.
    int Draws(char32_t c) const
    {
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            return -1;
        auto it = glyphOf.find(c);
        if (it != glyphOf.end())
            return it->second;
        it = glyphOf.find(0xFFFD);
        return it != glyphOf.end() ? it->second : -2;
    }
};

uint32_t Word(const std::vector<uint8_t> &d, size_t at)
{
    return d[at] | d[at + 1] << 8 | d[at + 2] << 16 | static_cast<uint32_t>(d[at + 3]) << 24;
}

PsfModel ReadPsf(const std::vector<uint8_t> &d)
{
    PsfModel f;
    size_t at, count;
    bool table;
    if (d.size() >= 32 && Word(d, 0) == 0x864AB572) {
        f.width = static_cast<int>(Word(d, 28));
        f.height = static_cast<int>(Word(d, 24));
        count = Word(d, 16);
        at = Word(d, 8);
        table = Word(d, 12) & 1;
        const size_t bytes = Word(d, 20);
        f.rowBytes = (f.width + 7) / 8;
        for (size_t g = 0; g < count; ++g, at += bytes)
            f.glyphs.emplace_back(d.begin() + at, d.begin() + at + bytes);
        for (int g = 0; table && g < static_cast<int>(count) && at < d.size(); ++g) {
            bool sequence = false;
            while (at < d.size() && d[at] != 0xFF) {
                if (d[at] == 0xFE) {
                    sequence = true;
                    ++at;
                    continue;
                }
                const int n = d[at] < 0x80 ? 1 : d[at] < 0xE0 ? 2 : d[at] < 0xF0 ? 3 : 4;
                char32_t c = n == 1 ? d[at] : d[at] & (0x7F >> n);
                for (int k = 1; k < n; ++k)
                    c = c << 6 | (d[at + k] & 0x3F);
                if (!sequence)
                    f.glyphOf.emplace(c, g);
                at += n;
            }
            ++at;
        }
        return f;
    }
    f.width = 8;
    f.height = d[3];
    f.rowBytes = 1;
    count = d[2] & 1 ? 512 : 256;
    table = d[2] & 6;
    at = 4;
    for (size_t g = 0; g < count; ++g, at += f.height)
        f.glyphs.emplace_back(d.begin() + at, d.begin() + at + f.height);
    for (int g = 0; table && g < static_cast<int>(count) && at + 1 < d.size(); ++g) {
        bool sequence = false;
        for (; at + 1 < d.size(); at += 2) {
            const char32_t c = d[at] | d[at + 1] << 8;
            if (c == 0xFFFF)
                break;
            if (c == 0xFFFE)
                sequence = true;
            else if (!sequence)
                f.glyphOf.emplace(c, g);
        }
        at += 2;
    }
    return f;
}

std::vector<std::string> ConsoleFonts()
{
    std::vector<std::string> names;
    if (DIR *dir = opendir(kFontDir.c_str())) {
        while (const dirent *e = readdir(dir)) {
            const std::string name = e->d_name;
            if (name.find(".psf") != std::string::npos)
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST(Fonts, EveryConsoleFontLoadsWithTheCellAndGlyphsItsFileSays)
{
    const std::vector<std::string> names = ConsoleFonts();
    ASSERT_GE(names.size(), 400u) << "console-setup-linux and fonts-spleen are missing";
    for (const std::string &name : names) {
        std::string why;
        const FontPtr font = LoadConsoleFont(name, &why);
        ASSERT_NE(font, nullptr) << name << ": " << why;
        const PsfModel model = ReadPsf(ReadFile(kFontDir + "/" + name));
        const GlypharFontMetrics m = GlypharFontGetMetrics(font.get());
        EXPECT_EQ(m.width, model.width) << name;
        EXPECT_EQ(m.height, model.height) << name;
        EXPECT_EQ(m.glyphs, static_cast<int>(model.glyphs.size())) << name;
        for (const auto &[c, glyph] : model.glyphOf) {
            if (c >= 0xA0 || (c >= 0x20 && c < 0x7F)) {
                ASSERT_TRUE(GlypharFontHasGlyph(font.get(), c)) << name << " U+" << std::hex << c;
            }
        }
        EXPECT_FALSE(GlypharFontHasGlyph(font.get(), '\n'));
    }
}

TEST(Fonts, TheBuiltInFontIsTheNullFont)
{
    const GlypharFontMetrics m = GlypharFontGetMetrics(nullptr);
    EXPECT_EQ(m.width, 6);
    EXPECT_EQ(m.height, 9);
    EXPECT_EQ(m.glyphs, 219);
    EXPECT_EQ(GlypharFontHasGlyph(nullptr, 0xE9), 1);
    EXPECT_EQ(GlypharFontHasGlyph(nullptr, 0x416), 0);
}

struct Depth {
    int bpp;
    Uint32 r, g, b;
};
const Depth kDepths[] = {{16, 0xF800, 0x07E0, 0x001F},
                         {24, 0xFF0000, 0x00FF00, 0x0000FF},
                         {32, 0x0000FF, 0x00FF00, 0xFF0000}};

// Random text from a font's own characters, with spaces, newlines and, where
// the font has a U+FFFD to show for them, characters it lacks.
// Box drawing, blocks and Braille: glyphar draws them, whatever the font has.
bool IsDrawnShape(char32_t c)
{
    return (c >= 0x2500 && c <= 0x259F) || (c >= 0x2800 && c <= 0x28FF);
}

std::u32string RandomText(const PsfModel &font, std::mt19937 &random, bool latin1)
{
    std::vector<char32_t> chars;
    for (const auto &[c, glyph] : font.glyphOf)
        if (c >= 0x20 && !(c >= 0x7F && c < 0xA0) && (!latin1 || c < 0x100) && !IsDrawnShape(c))
            chars.push_back(c);
    if (font.glyphOf.count(0xFFFD))
        chars.insert(chars.end(), {latin1 ? char32_t{0xFF} : char32_t{0x4E00}, 0x1F600});
    std::u32string text;
    const int length = static_cast<int>(random() % 120);
    for (int k = 0; k < length && !chars.empty(); ++k) {
        const unsigned pick = random() % 16;
        text += pick == 0 ? U'\n' : pick < 4 ? U' ' : chars[random() % chars.size()];
    }
    if (latin1)
        for (char32_t &c : text)
            if (c > 0xFF || font.Draws(c) == -2)
                c = U' ';
    return text;
}

void ExpectFontDrawsTheModel(const std::string &name, const GlypharFont *font,
                             const PsfModel &model, std::mt19937 &random, int rounds)
{
    const float sizes[] = {1.0f, 2.0f, 0.5f, 1.5f, 3.0f, 0.75f};
    for (int round = 0; round < rounds; ++round) {
        const Depth &d = kDepths[random() % 3];
        const float size = sizes[random() % 6];
        const bool latin1 = random() % 4 == 0;
        const int flags = (latin1 ? 0 : GLYPHAR_UTF8) | static_cast<int>(random() % 8);
        const std::u32string text = RandomText(model, random, latin1);
        std::string bytes;
        for (char32_t c : text)
            bytes += static_cast<char>(c);
        const std::string encoded = latin1 ? bytes : Utf8Of(text);
        const _rect box{static_cast<int32_t>(random() % 60) - 20,
                        static_cast<int32_t>(random() % 40) - 10,
                        static_cast<int32_t>(random() % 260), static_cast<int32_t>(random() % 160)};
        const _color fg{static_cast<int32_t>(random() % 256), 40, 200};
        const _color bg = random() % 2 ? _color{-1, -1, -1} : _color{250, 240, 10};
        SDL_Rect clip;
        clip.x = static_cast<decltype(clip.x)>(random() % 40);
        clip.y = static_cast<decltype(clip.y)>(random() % 30);
        clip.w = static_cast<decltype(clip.w)>(random() % 220);
        clip.h = static_cast<decltype(clip.h)>(random() % 140);
        ForEachWriters([&](const std::string &writers) {
            SurfacePtr drawn(SDL_CreateRGBSurface(0, 200, 130, d.bpp, d.r, d.g, d.b, 0));
            SurfacePtr expected(SDL_CreateRGBSurface(0, 200, 130, d.bpp, d.r, d.g, d.b, 0));
            for (SDL_Surface *s : {drawn.get(), expected.get()}) {
                SDL_FillRect(s, nullptr, MapSurface(s, 1, 2, 3));
                SDL_SetClipRect(s, &clip);
            }
            GlypharFontDraw(drawn.get(), font, encoded.c_str(), box, size, fg, bg, flags);
            const auto layout = ModelLayOut(text, box, size, flags, model.width, model.height);
            ModelDrawRows(expected.get(), layout.rows, box, size, fg, bg, flags, model.width,
                          model.height,
                          [&](SDL_Surface *s, char32_t c, int64_t x, int64_t y, float sz,
                              _color f, _color b) {
                              const int glyph = model.Draws(c);
                              ModelSampledAt(
                                  s,
                                  [&](int64_t row, int64_t col) {
                                      return model.Lit(glyph, row, col);
                                  },
                                  model.width, model.height, x, y, sz, f, b);
                          });
            const size_t rowBytes = static_cast<size_t>(200 * ((d.bpp + 7) / 8));
            for (int y = 0; y < 130; ++y)
                ASSERT_EQ(std::memcmp(static_cast<uint8_t *>(drawn->pixels) + y * drawn->pitch,
                                      static_cast<uint8_t *>(expected->pixels) +
                                          y * expected->pitch,
                                      rowBytes),
                          0)
                    << name << " with " << writers << ", " << d.bpp << " bits, size " << size
                    << ", flags " << flags << ", row " << y << ", text \"" << encoded << "\"";
        });
        // Measuring lays out what drawing did.
        EXPECT_EQ(GlypharFontMeasure(font, encoded.c_str(), box, size, flags, nullptr),
                  latin1 ? ModelLayOut(bytes, box, size, flags, model.width, model.height).used
                         : Utf8Of(text.substr(0, ModelLayOut(text, box, size, flags, model.width,
                                                             model.height)
                                                     .used))
                               .size())
            << name;
    }
}

TEST(Fonts, ASampleOfTheConsoleFontsDrawsTheModelsPixels)
{
    const std::vector<std::string> names = ConsoleFonts();
    ASSERT_FALSE(names.empty());
    std::mt19937 random(23);
    // Every cell size among them, and a spread of the rest.
    std::map<std::pair<int, int>, bool> seen;
    for (size_t k = 0; k < names.size(); ++k) {
        const std::vector<uint8_t> bytes = ReadFile(kFontDir + "/" + names[k]);
        const PsfModel model = ReadPsf(bytes);
        const bool newCell = !seen[{model.width, model.height}];
        if (!newCell && k % 40 != 0)
            continue;
        seen[{model.width, model.height}] = true;
        const FontPtr font = LoadConsoleFont(names[k]);
        ASSERT_NE(font, nullptr) << names[k];
        ExpectFontDrawsTheModel(names[k], font.get(), model, random, 3);
    }
}

// A PSF2 font made here: `count` glyphs of w x h, glyph g's pixel (r, c) lit
// where (g + r + c) % 3 == 0, and a table giving glyph g code point
// first + g.
std::vector<uint8_t> MakePsf2(uint32_t w, uint32_t h, uint32_t count, char32_t first,
                              bool table = true)
{
    const uint32_t rowBytes = (w + 7) / 8;
    std::vector<uint8_t> d(32);
    const uint32_t header[8] = {0x864AB572, 0, 32, table ? 1u : 0u, count, rowBytes * h, h, w};
    for (int k = 0; k < 8; ++k)
        for (int b = 0; b < 4; ++b)
            d[4 * k + b] = static_cast<uint8_t>(header[k] >> 8 * b);
    for (uint32_t g = 0; g < count; ++g)
        for (uint32_t r = 0; r < h; ++r)
            for (uint32_t b = 0; b < rowBytes; ++b) {
                uint8_t byte = 0;
                for (uint32_t c = 8 * b; c < 8 * b + 8 && c < w; ++c)
                    byte |= ((g + r + c) % 3 == 0) << (7 - c % 8);
                d.push_back(byte);
            }
    for (uint32_t g = 0; table && g < count; ++g) {
        const std::string c = Utf8Of(std::u32string(1, first + g));
        d.insert(d.end(), c.begin(), c.end());
        d.push_back(0xFF);
    }
    return d;
}

TEST(Fonts, CellsOfEveryRowWidthDrawTheModelsPixels)
{
    std::mt19937 random(5);
    for (uint32_t w : {1u, 7u, 8u, 9u, 16u, 17u, 32u, 33u, 64u})
        for (uint32_t h : {1u, 13u, 128u}) {
            std::vector<uint8_t> bytes = MakePsf2(w, h, 96, 0x20);
            const std::string c = Utf8Of(U"\uFFFD");  // glyph 95 is also the replacement
            bytes.insert(bytes.end() - 1, c.begin(), c.end());
            const FontPtr font = LoadBytes(bytes);
            ASSERT_NE(font, nullptr) << w << " x " << h;
            ExpectFontDrawsTheModel(std::to_string(w) + " x " + std::to_string(h), font.get(),
                                    ReadPsf(bytes), random, 2);
        }
}

TEST(Fonts, WithoutATableGlyphsAreInCodePage437sOrder)
{
    const FontPtr font = LoadBytes(MakePsf2(8, 8, 256, 0, false));
    ASSERT_NE(font, nullptr);
    // 0x82 is é in code page 437, 0xE0 α, 0xFB the square root.
    for (const auto &[c, glyph] : std::map<char32_t, int>{{0xE9, 0x82}, {0x3B1, 0xE0},
                                                         {0x221A, 0xFB}, {'A', 'A'}}) {
        EXPECT_TRUE(GlypharFontHasGlyph(font.get(), c));
        SurfacePtr drawn = MakeSurface(8, 8), expected = MakeSurface(8, 8);
        GlypharFontCodePoint(drawn.get(), font.get(), c, 0, 0, 1.0f, {255, 255, 255}, {0, 0, 0});
        for (int r = 0; r < 8; ++r)
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(PixelAt(drawn.get(), k, r) != 0, (glyph + r + k) % 3 == 0)
                    << std::hex << c;
    }
    EXPECT_FALSE(GlypharFontHasGlyph(font.get(), 0x4E00));
}

TEST(Fonts, ACharacterTheFontLacksIsNeverABlankCell)
{
    const FontPtr font = LoadBytes(MakePsf2(8, 16, 3, 'a'));  // a, b and c only
    ASSERT_NE(font, nullptr);
    for (char32_t c : {char32_t{'z'}, char32_t{0xFFFD}, char32_t{0x10FFFF}, char32_t{0x110000}}) {
        EXPECT_FALSE(GlypharFontHasGlyph(font.get(), c));
        SurfacePtr s = MakeSurface(8, 16);
        Fill(s.get(), 0);
        GlypharFontCodePoint(s.get(), font.get(), c, 0, 0, 1.0f, {255, 255, 255}, {-1, -1, -1});
        EXPECT_NE(ExtentOfPixelsOtherThan(s.get(), 0).right, -1) << std::hex << c;
    }
    // Controls are blank, even where a font gives them a glyph.
    SurfacePtr s = MakeSurface(8, 16);
    Fill(s.get(), 0);
    GlypharFontCodePoint(s.get(), font.get(), '\t', 0, 0, 1.0f, {255, 255, 255}, {-1, -1, -1});
    EXPECT_EQ(ExtentOfPixelsOtherThan(s.get(), 0).right, -1);
}

TEST(FontFiles, EveryTruncationOfASmallFontFailsWithAReasonOrDraws)
{
    std::vector<uint8_t> packed(1 << 16);
    std::FILE *file = std::fopen((kFontDir + "/Lat15-VGA8.psf.gz").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    packed.resize(std::fread(packed.data(), 1, packed.size(), file));
    std::fclose(file);
    const std::vector<uint8_t> psf1 = ReadFile(kFontDir + "/Lat15-VGA8.psf.gz");
    const std::vector<uint8_t> psf2 = MakePsf2(5, 7, 40, 0x41);
    const std::vector<uint8_t> *const wholes[] = {&psf1, &psf2, &packed};
    for (const std::vector<uint8_t> *whole : wholes)
        for (size_t n = 0; n < whole->size(); ++n)
            ExpectDefined(std::vector<uint8_t>(whole->begin(), whole->begin() + n),
                          "the first " + std::to_string(n) + " bytes");
}

TEST(FontFiles, HeaderFieldsAtTheirExtremesFailWithTheFieldAndItsPlace)
{
    const std::vector<uint8_t> good = MakePsf2(8, 8, 16, 0x41);
    // header size, flags, glyph count, bytes per glyph, height, width
    for (size_t field : {8u, 12u, 16u, 20u, 24u, 28u})
        for (uint32_t value : {0u, 1u, 0x80000000u, 0xFFFFFFFFu}) {
            std::vector<uint8_t> bytes = good;
            for (int b = 0; b < 4; ++b)
                bytes[field + b] = static_cast<uint8_t>(value >> 8 * b);
            std::string why;
            const FontPtr font = LoadBytes(bytes, &why);
            if (font == nullptr)
                EXPECT_NE(why.find("byte "), std::string::npos)
                    << field << " = " << value << ": " << why;
            else
                ExpectDefined(bytes, "field " + std::to_string(field));
        }
}

TEST(FontFiles, AnIllFormedTableIsRefusedAndAnUnendedOneKeepsWhatItSays)
{
    std::vector<uint8_t> bytes = MakePsf2(8, 8, 2, 0x41);  // table: 'A' FF 'B' FF
    bytes[bytes.size() - 2] = 0xC3;                        // a lead byte without its tail
    std::string why;
    EXPECT_EQ(LoadBytes(bytes, &why), nullptr);
    EXPECT_NE(why.find("UTF-8"), std::string::npos) << why;
    bytes = MakePsf2(8, 8, 2, 0x41);
    bytes.pop_back();  // the last entry has no end marker
    const FontPtr font = LoadBytes(bytes, &why);
    ASSERT_NE(font, nullptr) << why;
    EXPECT_TRUE(GlypharFontHasGlyph(font.get(), 'B'));
}

TEST(FontFiles, UnreadablePathsNameThePathAndTheSystemsReason)
{
    for (const std::string &path : {std::string("/nonexistent/font.psf"), std::string("/tmp")}) {
        std::string why;
        EXPECT_EQ(Load(path, &why), nullptr);
        EXPECT_NE(why.find(path), std::string::npos) << why;
    }
    char small[8];
    EXPECT_EQ(GlypharFontLoad("/nonexistent/font.psf", small, sizeof small), nullptr);
    EXPECT_EQ(std::strlen(small), sizeof small - 1);  // cut, and ended
    EXPECT_EQ(GlypharFontLoad(nullptr, nullptr, 0), nullptr);
    EXPECT_EQ(GlypharFontLoadMemory(nullptr, 10, nullptr, 0), nullptr);
    const std::vector<uint8_t> text = {'h', 'e', 'l', 'l', 'o'};
    std::string why;
    EXPECT_EQ(LoadBytes(text, &why), nullptr);
    EXPECT_NE(why.find("magic"), std::string::npos) << why;
}

TEST(FontFiles, WithoutZlibACompressedFontIsRefusedWithAReasonThatSaysSo)
{
    if (kLibraryInflates)
        GTEST_SKIP() << "this glyphar reads compressed fonts";
    std::string why;
    EXPECT_EQ(Load(kFontDir + "/Lat15-VGA8.psf.gz", &why), nullptr);
    EXPECT_NE(why.find("zlib"), std::string::npos) << why;
}

TEST(FontFiles, ACompressedBombIsRefusedWithoutInflatingIt)
{
    if (!kLibraryInflates)
        GTEST_SKIP() << "this glyphar reads no compressed fonts";
    // A megabyte of zeros as a gzip member, a hundred times over: 100 MiB.
    std::vector<uint8_t> member(1 << 16);
    z_stream z{};
    ASSERT_EQ(deflateInit2(&z, 9, Z_DEFLATED, 16 + MAX_WBITS, 9, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> zeros(1 << 20);
    z.next_in = zeros.data();
    z.avail_in = static_cast<uInt>(zeros.size());
    z.next_out = member.data();
    z.avail_out = static_cast<uInt>(member.size());
    ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    member.resize(z.total_out);
    deflateEnd(&z);
    std::vector<uint8_t> bomb;
    for (int k = 0; k < 100; ++k)
        bomb.insert(bomb.end(), member.begin(), member.end());
    std::string why;
    EXPECT_EQ(LoadBytes(bomb, &why), nullptr);
    EXPECT_NE(why.find("64 MiB"), std::string::npos) << why;
    // Corrupt gzip data says so.
    std::vector<uint8_t> font = ReadFile(kFontDir + "/spleen-8x16.psfu.gz");
    std::FILE *file = std::fopen((kFontDir + "/spleen-8x16.psfu.gz").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::vector<uint8_t> packed(1 << 20);
    packed.resize(std::fread(packed.data(), 1, packed.size(), file));
    std::fclose(file);
    packed[packed.size() / 2] ^= 0xFF;
    EXPECT_EQ(LoadBytes(packed, &why), nullptr);
    EXPECT_NE(why.find("gzip"), std::string::npos) << why;
    packed.resize(packed.size() / 2);
    EXPECT_EQ(LoadBytes(packed, &why), nullptr);
    EXPECT_NE(why.find("gzip"), std::string::npos) << why;
}

}  // namespace
}  // namespace glyphar_test
