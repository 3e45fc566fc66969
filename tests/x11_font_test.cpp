// X11's fonts and Unifont: every PCF font of Debian's xfonts-base,
// xfonts-75dpi and xfonts-terminus, and unifont.hex, loads (or names the
// registry glyphar does not map); text in them draws the pixels of a model
// that reads the fonts itself (BDF, made from the PCF files by Debian's
// pcf2bdf, and .hex), lays text out by each glyph's advance and draws it
// pixel by pixel; and BDF made from a PCF font draws what the PCF draws.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <map>
#include <random>
#include <sstream>

#include "console_fonts.h"
#include "model.h"
#include "support.h"

namespace glyphar_test {
namespace {

const std::string kX11Dir = "/usr/share/fonts/X11";
const std::string kUnifont = "/usr/share/unifont/unifont.hex";

//----------------------------------------------------------------------------
// The model's font: each glyph's advance, ink box and rows (column c in bit
// c), read from BDF or .hex.
//----------------------------------------------------------------------------

struct AdvanceGlyph {
    int advance, width, height, left, top;
    std::vector<uint64_t> rows;
};

struct AdvanceFont {
    int ascent = 0, descent = 0;
    std::map<char32_t, AdvanceGlyph> glyphs;
};

uint64_t HexRow(const std::string &digits, int width)
{
    uint64_t bits = 0;
    for (int c = 0; c < width && static_cast<size_t>(c / 4) < digits.size(); ++c) {
        const int d = std::stoi(digits.substr(static_cast<size_t>(c / 4), 1), nullptr, 16);
        bits |= static_cast<uint64_t>(d >> (3 - c % 4) & 1) << c;
    }
    return bits;
}

AdvanceFont ParseBdf(const std::string &text)
{
    AdvanceFont font;
    std::istringstream in(text);
    std::string line, key;
    AdvanceGlyph g{};
    long encoding = -1;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        words >> key;
        if (key == "FONT_ASCENT")
            words >> font.ascent;
        else if (key == "FONT_DESCENT")
            words >> font.descent;
        else if (key == "ENCODING")
            words >> encoding;
        else if (key == "DWIDTH")
            words >> g.advance;
        else if (key == "BBX") {
            words >> g.width >> g.height >> g.left >> g.top;
            g.top += g.height;  // the top row's height above the baseline
        } else if (key == "BITMAP") {
            g.rows.clear();
            for (int r = 0; r < g.height && std::getline(in, line); ++r)
                g.rows.push_back(HexRow(line, g.width));
            if (encoding >= 0)
                font.glyphs[static_cast<char32_t>(encoding)] = g;
        }
    }
    return font;
}

// The glyphs of the code points in `wanted`.
AdvanceFont ParseHex(const std::string &text, const std::u32string &wanted)
{
    AdvanceFont font;
    font.ascent = 14;
    font.descent = 2;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const size_t colon = line.find(':');
        if (wanted.find(static_cast<char32_t>(std::stoul(line.substr(0, colon), nullptr, 16))) ==
            std::u32string::npos)
            continue;
        const std::string digits = line.substr(colon + 1);
        const int width = static_cast<int>(digits.size()) / 16 * 4;  // 32 or 64 digits
        AdvanceGlyph g{width, width, 16, 0, 14, {}};
        for (int r = 0; r < 16; ++r)
            g.rows.push_back(HexRow(digits.substr(static_cast<size_t>(r * width / 4)), width));
        font.glyphs[static_cast<char32_t>(std::stoul(line.substr(0, colon), nullptr, 16))] = g;
    }
    return font;
}

std::string Slurp(FILE *file)
{
    std::string out;
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, file)) > 0;)
        out.append(chunk, got);
    return out;
}

// A PCF font as BDF, through Debian's pcf2bdf.
std::string BdfOf(const std::string &pcf)
{
    FILE *pipe = popen(("gzip -dc '" + pcf + "' | pcf2bdf").c_str(), "r");
    if (pipe == nullptr)
        return "";
    std::string out = Slurp(pipe);
    pclose(pipe);
    return out;
}

std::string ReadText(const std::string &path)
{
    const std::vector<uint8_t> bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

//----------------------------------------------------------------------------
// The model's layout and drawing, by the rules: pens move by
// trunc(advance * size), rows are trunc(line * size) apart, a glyph stays on
// a row while its pen lies within the box's width, wrapped words move whole
// to the next row where they fit on one, and an opaque row paints every
// block (ceil(advance * size) by ceil(line * size)) before all of its ink.
//----------------------------------------------------------------------------

struct AdvanceRow {
    std::u32string cells;
    int64_t index;
};

int64_t Trunc(double v)
{
    return static_cast<int64_t>(v);
}

std::vector<AdvanceRow> LayOutAdvances(const AdvanceFont &font, const std::u32string &text,
                                       _rect box, float size, int flags)
{
    const auto pitch = [&](char32_t c) { return Trunc(font.glyphs.at(c).advance * double{size}); };
    const int64_t rowPitch = Trunc((font.ascent + font.descent) * double{size});
    std::vector<AdvanceRow> rows;
    if (rowPitch == 0)
        return rows;  // no row to lay out
    const int64_t lastRow = box.h / rowPitch;
    std::u32string row;
    int64_t index = 0, pen = 0;
    const bool wrap = (flags & GLYPHAR_WRAP_WORDS) != 0;
    const auto endRow = [&] {
        // A wrapped row's trailing spaces take no room.
        const size_t inked = wrap ? row.find_last_not_of(U' ') : row.size() - 1;
        if (inked != std::u32string::npos)
            rows.push_back({row.substr(0, inked + 1), index});
        row.clear();
        pen = 0;
        return index + 1 <= lastRow ? (++index, true) : false;
    };
    const auto place = [&](char32_t c) {
        row += c;
        pen += pitch(c);
    };
    for (size_t i = 0; i < text.size();) {
        if (text[i] == U'\n') {
            ++i;
            if (!endRow())
                return rows;
        } else if (!wrap || text[i] != U' ') {
            size_t end = i + 1;
            while (wrap && end < text.size() && text[end] != U' ' && text[end] != U'\n')
                ++end;
            int64_t reach = 0;
            for (size_t k = i; k + 1 < end; ++k)
                reach += pitch(text[k]);
            if (wrap && pen + reach > box.w && reach <= box.w && !endRow())
                return rows;
            for (; i < end; ++i) {
                if (pen > box.w && !endRow())
                    return rows;
                place(text[i]);
            }
        } else if (pen <= box.w) {
            place(text[i++]);
        } else {
            while (i < text.size() && text[i] == U' ')
                ++i;
            if (!endRow())
                return rows;
        }
    }
    endRow();
    return rows;
}

// A cell font: every advance the same, and all ink inside the cell.
bool IsCellFont(const AdvanceFont &font)
{
    const int advance = font.glyphs.begin()->second.advance;
    for (const auto &[c, g] : font.glyphs)
        if (g.advance != advance || g.left < 0 || g.left + g.width > advance ||
            font.ascent - g.top < 0 || font.ascent - g.top + g.height > font.ascent + font.descent)
            return false;
    return true;
}

// Each glyph's block, then its ink; a font with advances paints all of a
// row's blocks before any ink, a cell font each cell whole in turn, so that
// where blocks overlap the later cell wins.
void DrawModel(SDL_Surface *s, const AdvanceFont &font, const std::u32string &text, _rect box,
               float size, _color fg, _color bg, int flags)
{
    const double sz = size;
    const int line = font.ascent + font.descent;
    const bool cells = IsCellFont(font);
    for (const AdvanceRow &row : LayOutAdvances(font, text, box, size, flags)) {
        int64_t width = 0;
        for (char32_t c : row.cells)
            width += Trunc(font.glyphs.at(c).advance * sz);
        const int64_t room = box.w - width;
        const int64_t shift = flags & GLYPHAR_ALIGN_CENTER  ? std::max<int64_t>(0, room / 2)
                              : flags & GLYPHAR_ALIGN_RIGHT ? std::max<int64_t>(0, room)
                                                            : 0;
        const int64_t y = box.y + row.index * Trunc(line * sz);
        // Pass 0 paints blocks (and a cell font's ink), pass 1 ink.
        const bool opaque = !ModelTransparent(bg);
        for (int pass = opaque ? 0 : 1; pass < (cells && opaque ? 1 : 2); ++pass) {
            int64_t pen = box.x + shift;
            for (char32_t c : row.cells) {
                const AdvanceGlyph &g = font.glyphs.at(c);
                if (pass == 0)
                    for (int64_t i = 0; i < std::ceil(line * sz); ++i)
                        for (int64_t j = 0; j < std::ceil(g.advance * sz); ++j)
                            ModelPoint(s, pen + j, y + i, bg);
                const int64_t top = font.ascent - g.top;
                const bool ink = pass == 1 || cells;
                for (int64_t i = Trunc(std::floor(top * sz)) - 1; ink && i <= (top + g.height) * sz; ++i)
                    for (int64_t j = Trunc(std::floor(g.left * sz)) - 1; j <= (g.left + g.width) * sz; ++j) {
                        const int64_t r = Trunc(std::floor(i / sz)) - top;
                        const int64_t col = Trunc(std::floor(j / sz)) - g.left;
                        if (r >= 0 && r < g.height && col >= 0 && col < g.width &&
                            (g.rows[static_cast<size_t>(r)] >> col & 1))
                            ModelPoint(s, pen + j, y + i, fg);
                    }
                pen += Trunc(g.advance * sz);
            }
        }
    }
}

// Random texts of the pool's characters in random boxes, sizes, flags and
// clip rectangles: the font draws the model's pixels.
// Long texts at a small size put hundreds of glyphs on a row.
void ExpectDrawsTheModel(const char *name, const GlypharFont *font, const AdvanceFont &model,
                         const std::u32string &pool, std::mt19937 &random, int runs,
                         bool longTexts = false)
{
    const float sizes[] = {1.0f, 2.0f, 1.5f, 0.75f, 2.7f, 1.25f, 0.3f};
    const int flagsOf[] = {0, GLYPHAR_WRAP_WORDS, GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER,
                           GLYPHAR_ALIGN_RIGHT};
    for (int run = 0; run < runs; ++run) {
        std::u32string text;
        for (int n = static_cast<int>(random() % (longTexts ? 3000 : 60)); n > 0; --n) {
            const char32_t c = pool[random() % pool.size()];
            text += longTexts && c == U'\n' ? U'x' : c;
        }
        const float size = sizes[longTexts ? 6 : random() % 6];
        const int flags = flagsOf[random() % 4];
        const _rect box{static_cast<int>(random() % 60) - 20, static_cast<int>(random() % 40) - 15,
                        static_cast<int>(random() % 260), static_cast<int>(random() % 150)};
        const bool opaque = random() % 2 == 0;
        const _color fg{250, 250, 250}, bg = opaque ? _color{0, 0, 200} : _color{-1, -1, -1};
        SurfacePtr got = MakeSurface(220, 130), want = MakeSurface(220, 130);
        for (SDL_Surface *s : {got.get(), want.get()}) {
            Fill(s, kCanvas);
            if (run % 3 == 2) {
                SDL_Rect clip{15, 10, 150, 90};
                SDL_SetClipRect(s, &clip);
            }
        }
        GlypharFontDraw(got.get(), font, Utf8Of(text).c_str(), box, size, fg, bg,
                        flags | GLYPHAR_UTF8);
        DrawModel(want.get(), model, text, box, size, fg, bg, flags);
        const std::vector<Uint16> a = Pixels(got.get()), b = Pixels(want.get());
        const size_t first = static_cast<size_t>(std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin());
        ASSERT_EQ(first, a.size())
            << "first differing pixel (" << first % 220 << ", " << first / 220 << ") " << name << " run " << run << " size " << size << " flags " << flags << " box "
            << box.x << "," << box.y << " " << box.w << "x" << box.h << " opaque " << opaque
            << " text '" << Utf8Of(text) << "'";
    }
}

std::vector<std::string> PcfFonts()
{
    std::vector<std::string> out;
    for (const char *dir : {"/misc", "/75dpi"}) {
        DIR *d = opendir((kX11Dir + dir).c_str());
        for (dirent *e; d != nullptr && (e = readdir(d)) != nullptr;) {
            const std::string name = e->d_name;
            if (name.size() > 7 && name.substr(name.size() - 7) == ".pcf.gz")
                out.push_back(kX11Dir + dir + "/" + name);
        }
        if (d != nullptr)
            closedir(d);
    }
    return out;
}

const std::u32string kLatin = U"The quick brown fox, jumps over 123 lazy dogs! \u00e9\u00fc\u00df \n  ";

TEST(X11Fonts, EveryPcfFontAndUnifontLoadOrNameTheirRegistry)
{
    const std::vector<std::string> fonts = PcfFonts();
    ASSERT_GE(fonts.size(), 900u) << "xfonts-base, xfonts-75dpi and xfonts-terminus";
    int loaded = 0;
    for (const std::string &path : fonts) {
        std::string why;
        const FontPtr font = kLibraryInflates ? Load(path, &why) : LoadBytes(ReadFile(path), &why);
        if (font == nullptr) {
            EXPECT_NE(why.find("font of registry "), std::string::npos) << why;
            EXPECT_EQ(why.find("registry ISO10646-1"), std::string::npos) << why;
            continue;
        }
        ++loaded;
        const GlypharFontMetrics m = GlypharFontGetMetrics(font.get());
        EXPECT_TRUE(m.width >= 1 && m.width <= 64 && m.height >= 1 && m.height <= 128) << path;
    }
    EXPECT_GE(loaded, 450);
    const std::string hex = ReadText(kUnifont);
    const FontPtr unifont = Load(kUnifont);
    ASSERT_NE(unifont, nullptr);
    const GlypharFontMetrics m = GlypharFontGetMetrics(unifont.get());
    EXPECT_EQ(m.glyphs, std::count(hex.begin(), hex.end(), '\n'));
    EXPECT_EQ(m.width, 16);
    EXPECT_EQ(m.height, 16);
}

TEST(X11Fonts, TextDrawsTheModelsPixels)
{
    std::mt19937 random(24);
    const FontPtr unifont = Load(kUnifont);
    ASSERT_NE(unifont, nullptr);
    const std::u32string pool =
        U"\u4f60\u597d\u4e16\u754c\u65e5\u672c\u8a9e \u3053\u3093\u306b\u3061\u306f Hello, world \n";
    const AdvanceFont unifontModel = ParseHex(ReadText(kUnifont), pool);
    // Every set of writers: each has a gather of its own for glyphs at pens.
    ForEachWriters([&](const std::string &writers) {
        SCOPED_TRACE(writers);
        // Proportional faces (an italic's ink leaves its advance), and cell fonts.
        for (const char *name : {"75dpi/helvR12.pcf.gz", "75dpi/timBI14.pcf.gz",
                                 "misc/6x13.pcf.gz", "misc/ter-u16b_unicode.pcf.gz"}) {
            const std::string path = kX11Dir + "/" + name;
            const std::string bdf = BdfOf(path);
            ASSERT_FALSE(bdf.empty()) << "pcf2bdf " << name;
            const FontPtr pcf = LoadBytes(ReadFile(path));
            const FontPtr fromBdf = LoadBytes(std::vector<uint8_t>(bdf.begin(), bdf.end()));
            ASSERT_NE(pcf, nullptr) << name;
            ASSERT_NE(fromBdf, nullptr) << name;
            const AdvanceFont model = ParseBdf(bdf);
            ExpectDrawsTheModel(name, pcf.get(), model, kLatin, random, 25);
            ExpectDrawsTheModel(name, fromBdf.get(), model, kLatin, random, 10);
            ExpectDrawsTheModel(name, pcf.get(), model, kLatin, random, 2, true);
        }
        ExpectDrawsTheModel("unifont.hex", unifont.get(), unifontModel, pool, random, 40);
    });
}

// Box drawing between a proportional font's glyphs, with every set of
// writers: the glyphs draw the model's ink and nothing more, however far the
// shapes set them apart; the shapes are lone characters.
TEST(X11Fonts, ShapesBetweenGlyphsAddNoInk)
{
    const std::string path = kX11Dir + "/75dpi/helvR12.pcf.gz";
    const FontPtr font = LoadBytes(ReadFile(path));
    ASSERT_NE(font, nullptr);
    const AdvanceFont model = ParseBdf(BdfOf(path));
    const int cell = GlypharFontGetMetrics(font.get()).width;
    const _color fg{250, 250, 250}, none{-1, -1, -1};
    ForEachWriters([&](const std::string &writers) {
        // The last letter before the gap passes a 32-pixel or a 64-pixel
        // word's end after some of the prefixes.
        for (const std::u32string prefix : {U"AB", U"ABCD", U"ABCDEFGH"})
            for (int n = 1; n <= 24; ++n) {
                std::string text(prefix.begin(), prefix.end());
                int pen = 3;
                for (const char32_t c : prefix)
                    pen += model.glyphs.at(c).advance;
                for (int k = 0; k < n; ++k)
                    text += "\xe2\x94\x80";
                text += "W";
                SurfacePtr got = MakeSurface(480, 20), want = MakeSurface(480, 20);
                for (SDL_Surface *s : {got.get(), want.get()})
                    Fill(s, kCanvas);
                GlypharFontDraw(got.get(), font.get(), text.c_str(), {3, 2, 480, 20}, 1.0f, fg,
                                none, GLYPHAR_UTF8);
                DrawModel(want.get(), model, prefix, {3, 2, 480, 20}, 1.0f, fg, none, 0);
                for (int k = 0; k < n; ++k)
                    GlypharFontCodePoint(want.get(), font.get(), 0x2500, pen + k * cell, 2, 1.0f,
                                         fg, none);
                DrawModel(want.get(), model, U"W", {pen + n * cell, 2, 480, 20}, 1.0f, fg, none,
                          0);
                ASSERT_TRUE(Pixels(got.get()) == Pixels(want.get()))
                    << writers << ", " << n << " shapes after " << prefix.size() << " letters";
            }
    });
}

// A font of the test's own whose ink leaves its blocks on every side, with
// glyphs of no advance: hundreds of glyphs on a row, each reaching past the
// next one's pen.
TEST(X11Fonts, InkOutsideTheBlocksAndGlyphsWithoutAnAdvance)
{
    const std::string bdf =
        "STARTFONT 2.1\nFONTBOUNDINGBOX 5 7 -2 -2\nSTARTPROPERTIES 2\nFONT_ASCENT 3\n"
        "FONT_DESCENT 1\nENDPROPERTIES\nCHARS 5\n"
        "STARTCHAR a\nENCODING 97\nDWIDTH 1 0\nBBX 5 7 -2 -2\nBITMAP\n"
        "88\n50\n20\n50\n88\n70\n08\nENDCHAR\n"
        "STARTCHAR b\nENCODING 98\nDWIDTH 0 0\nBBX 3 2 0 0\nBITMAP\nA0\n40\nENDCHAR\n"
        "STARTCHAR c\nENCODING 99\nDWIDTH 3 0\nBBX 2 3 1 0\nBITMAP\nC0\n40\nC0\nENDCHAR\n"
        "STARTCHAR d\nENCODING 100\nDWIDTH 1 0\nBBX 1 2 20 0\nBITMAP\n80\n80\nENDCHAR\n"
        "STARTCHAR space\nENCODING 32\nDWIDTH 2 0\nBBX 0 0 0 0\nBITMAP\nENDCHAR\nENDFONT\n";
    const FontPtr font = LoadBytes(std::vector<uint8_t>(bdf.begin(), bdf.end()));
    ASSERT_NE(font, nullptr);
    const AdvanceFont model = ParseBdf(bdf);
    std::mt19937 random(7);
    ExpectDrawsTheModel("own font", font.get(), model, U"aab cd \n", random, 30);
    ExpectDrawsTheModel("own font", font.get(), model, U"aabbbbbbcd", random, 6, true);
    // Ink twenty pixels right of each pen, and more glyphs than a batch.
    std::u32string text;
    for (int k = 0; k < 400; ++k)
        text += U"dbb";
    SurfacePtr got = MakeSurface(220, 30), want = MakeSurface(220, 30);
    for (SDL_Surface *s : {got.get(), want.get()})
        Fill(s, kCanvas);
    GlypharFontDraw(got.get(), font.get(), Utf8Of(text).c_str(), {0, 4, 1000, 20}, 1.0f,
                    {255, 255, 255}, {0, 0, 255}, GLYPHAR_UTF8);
    DrawModel(want.get(), model, text, {0, 4, 1000, 20}, 1.0f, {255, 255, 255}, {0, 0, 255}, 0);
    EXPECT_EQ(Pixels(got.get()), Pixels(want.get()));
}

// A grid in Unifont: cells 8 pixels wide, each drawn as the lone character
// it is, but where a glyph 16 wide covers its cell and the next, whose code
// point is then ignored.
TEST(X11Fonts, UnifontGridsGiveWideGlyphsTwoCells)
{
    const FontPtr font = Load(kUnifont);
    ASSERT_NE(font, nullptr);
    const char32_t some[] = {U'A', U'g', U' ', 0x4E00, 0x3053, 0x754C, 0x2500, 0x2588, 0};
    const AdvanceFont model = ParseHex(ReadText(kUnifont), std::u32string(some, 9));
    std::mt19937 random(26);
    for (float size : {1.0f, 1.5f, 2.0f, 0.75f}) {
        const int columns = 12, rows = 4;
        std::vector<GlypharCell> cells(columns * rows);
        for (GlypharCell &cell : cells)
            cell = {some[random() % 9], static_cast<uint32_t>(random() & 0xFFFFFF),
                    random() % 4 ? static_cast<uint32_t>(random() & 0xFFFFFF) : GLYPHAR_TRANSPARENT};
        SurfacePtr got = MakeSurface(200, 120), want = MakeSurface(200, 120);
        for (SDL_Surface *s : {got.get(), want.get()})
            Fill(s, kCanvas);
        GlypharGrid(got.get(), font.get(), cells.data(), columns, rows, 3, 5, size);
        const int pitchX = static_cast<int>(8 * size), pitchY = static_cast<int>(16 * size);
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < columns; ++c) {
                const GlypharCell &cell = cells[r * columns + c];
                const auto rgb = [](uint32_t v) {
                    return _color{static_cast<int32_t>(v >> 16), static_cast<int32_t>(v >> 8 & 0xFF),
                                  static_cast<int32_t>(v & 0xFF)};
                };
                GlypharFontCodePoint(want.get(), font.get(), cell.codepoint, 3 + c * pitchX,
                                     5 + r * pitchY, size, rgb(cell.fg),
                                     cell.bg == GLYPHAR_TRANSPARENT ? _color{-1, -1, -1}
                                                                    : rgb(cell.bg));
                // Controls (code point 0 is an empty cell) draw blank, and
                // shapes are glyphar's own, in one cell.
                const auto glyph = model.glyphs.find(cell.codepoint);
                if (glyph != model.glyphs.end() && glyph->second.advance == 16 &&
                    cell.codepoint >= 0x20 && (cell.codepoint < 0x2500 || cell.codepoint > 0x259F))
                    ++c;
            }
        EXPECT_EQ(Pixels(got.get()), Pixels(want.get())) << "size " << size;
    }
}

// Sets the 32-bit little-endian word at `at` (a PCF table of contents is
// little-endian whatever its tables are).
std::vector<uint8_t> WithWord(std::vector<uint8_t> bytes, size_t at, uint32_t value)
{
    for (int b = 0; b < 4; ++b)
        bytes[at + static_cast<size_t>(b)] = static_cast<uint8_t>(value >> 8 * b);
    return bytes;
}

TEST(X11FontFiles, TruncatedAndLyingFontsAreRefusedOrDrawWhatTheySay)
{
    const std::vector<uint8_t> pcf = ReadFile(kX11Dir + "/misc/micro.pcf.gz");
    ASSERT_GT(pcf.size(), 1000u);
    const std::string hex =
        "0041:0000000018242442427E424242420000\n4F60:" + std::string(64, '3') + "\n";
    const std::string bdf = BdfOf(kX11Dir + "/misc/micro.pcf.gz").substr(0, 4000);
    for (const std::string &text : {hex, bdf})
        for (size_t n = 0; n <= text.size(); n += 1 + n / 64)
            ExpectDefined(std::vector<uint8_t>(text.begin(), text.begin() + static_cast<long>(n)),
                                 "text cut at " + std::to_string(n));
    for (size_t n = 0; n <= pcf.size(); ++n)
        ExpectDefined(std::vector<uint8_t>(pcf.begin(), pcf.begin() + static_cast<long>(n)),
                             "PCF cut at " + std::to_string(n));
    // Every field of the table of contents at its extremes: counts, types,
    // formats, sizes and offsets past the end, or onto other tables.
    const uint32_t tables = pcf[4];
    for (size_t at = 4; at < 8 + 16 * tables; at += 4)
        for (uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu, static_cast<uint32_t>(pcf.size()),
                               static_cast<uint32_t>(pcf.size() - 3), 8u})
            ExpectDefined(WithWord(pcf, at, value), "word at " + std::to_string(at));
    // Every word of the tables themselves, as either byte order reads it.
    for (size_t at = 8 + 16 * tables; at + 4 <= pcf.size(); at += 4)
        for (uint32_t value : {0xFFFFFFFFu, 0x7FFF7FFFu, 0x00010000u})
            ExpectDefined(WithWord(pcf, at, value), "word at " + std::to_string(at));
}

TEST(X11FontFiles, MalformedLinesAreRefusedWithTheirPlace)
{
    const struct {
        std::string text, said;
    } cases[] = {
        {"0041:00FF\n", "has 4 digits, not 32"},
        {"0041:" + std::string(33, '0') + "\n", "has 33 digits"},
        {"0041:" + std::string(31, '0') + "G\n", "byte 0x47 at byte 36 is not a hex digit"},
        {"110000:" + std::string(32, '0') + "\n", "not a code point"},
        {"STARTFONT 2.1\nFONTBOUNDINGBOX 8 x 0 0\n", "a malformed number at byte 14"},
        {"STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 0\nCHARSET_REGISTRY \"KOI8\"\n"
         "CHARSET_ENCODING \"R\"\nENDFONT\n",
         "registry KOI8-R"},
        {"STARTFONT 2.1\nENDFONT\n", "neither FONT_ASCENT"},
        {"STARTFONT 2.1\nCHARSET_REGISTRY \"K\x01I\"\nENDFONT\n", "registry K?I-:"},
        {"STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 0\nSTARTCHAR a\nENCODING 97\nDWIDTH 8 0\n"
         "BBX 80 8 0 0\nBITMAP\nENDCHAR\n",
         "its width is past glyphar's limits"},
        {"STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 0\nSTARTCHAR a\nENCODING 97\nDWIDTH 65536 0\n"
         "BBX 8 8 0 0\nBITMAP\nENDCHAR\n",
         "its advance is past glyphar's limits"},
        {"STARTFONT 2.1\nFONTBOUNDINGBOX 8 8 0 0\nSTARTCHAR a\nENCODING 97\nDWIDTH 8 0\n"
         "BBX 8 2 0 0\nBITMAP\nFX\nENDCHAR\n",
         "a bitmap row that is not hex digits"},
    };
    for (const auto &c : cases) {
        std::string why;
        EXPECT_EQ(LoadBytes(std::vector<uint8_t>(c.text.begin(), c.text.end()), &why), nullptr)
            << c.text;
        EXPECT_NE(why.find(c.said), std::string::npos) << why;
    }
}

// A glyph's rows beyond its BBX's height are ignored, and rows it lacks are
// blank: the font draws only what its data says.
TEST(X11FontFiles, BdfRowsThatDisagreeWithTheBoxDrawWhatIsThere)
{
    const std::string head =
        "STARTFONT 2.1\nFONTBOUNDINGBOX 4 4 0 0\nSTARTPROPERTIES 2\nFONT_ASCENT 4\n"
        "FONT_DESCENT 0\nENDPROPERTIES\nSTARTCHAR a\nENCODING 97\nDWIDTH 4 0\n";
    for (const auto &[rows, lit] : {std::pair<std::string, int>{"BBX 4 4 0 0\nBITMAP\nF0\n90\n", 6},
                                    {"BBX 4 2 0 2\nBITMAP\nF0\n90\nF0\nF0\nF0\n", 6},
                                    {"BBX 4 1 0 3\nBITMAP\nFFFF\n", 4},
                                    {"BBX 0 3 0 -300\nBITMAP\nFF\nFF\nFF\n", 0}}) {
        const std::string bdf = head + rows + "ENDCHAR\nENDFONT\n";
        const FontPtr font = LoadBytes(std::vector<uint8_t>(bdf.begin(), bdf.end()));
        ASSERT_NE(font, nullptr) << bdf;
        SurfacePtr s = MakeSurface(4, 4);
        Fill(s.get(), 0);
        GlypharFontCodePoint(s.get(), font.get(), 'a', 0, 0, 1.0f, {255, 255, 255}, {-1, -1, -1});
        const std::vector<Uint16> pixels = Pixels(s.get());
        EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFF), lit) << rows;
    }
}

}  // namespace
}  // namespace glyphar_test
