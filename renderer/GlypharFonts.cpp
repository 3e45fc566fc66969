// Fonts: the built-in font's tables, and the glyphs and code point map of a
// loaded font (the loaders hand them their bitmaps).

#include "GlypharFonts.h"

#include "GlypharFontData.h"
#include "GlypharShapes.h"
#include "GlypharUtf8.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace glyphar {

//----------------------------------------------------------------------------
// The built-in font. The glyph table keeps each glyph as nine NUL-terminated
// row strings of six cells; drawing reads the same rows as bits, cell 0
// lowest. Entries the set leaves out stay zero and draw blank, because only
// a '1' byte is lit.
//----------------------------------------------------------------------------

alignas(kMaskStride) FontMasks RowMask;
alignas(kMaskStride) FontMasks WholeFont;

namespace {

// The glyph table: each byte's glyph as nine row strings, from which the
// masks above are made.
char TableCar[256][kGlyphRows][kGlyphCols + 1];

// Windows-1252 at 0x80 to 0x9F; 0 where it has no character.
constexpr uint16_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

uint8_t MaskOf(const char *cells)
{
    uint8_t mask = 0;
    for (int col = 0; col < kGlyphCols; ++col)
        mask |= static_cast<uint8_t>(cells[col] == '1') << col;
    return mask;
}

void FillTables()
{
    for (const auto &glyph : glyphar_font::kGlyphSet)
        for (int row = 0; row < kGlyphRows; ++row)
            std::strcpy(TableCar[glyph.code][row], glyph.rows[row]);
    for (int c = 0; c < 256; ++c)
        for (int row = 0; row < kGlyphRows; ++row)
            RowMask[c][row] = WholeFont[c][row] = MaskOf(TableCar[c][row]);
    for (const auto &glyph : glyphar_font::kExtraGlyphs)
        for (int row = 0; row < kGlyphRows; ++row)
            WholeFont[SlotOf(glyph.codepoint)][row] =
                MaskOf(glyph.rows + row * (kGlyphCols + 1));
}

// The tables' state: filled once, from whichever thread calls first. Plain
// atomics, so that C programs linking the static library need no C++
// runtime.
enum { kEmpty, kFilling, kFilled };
std::atomic<int> filled{kEmpty};

}  // namespace

uint8_t SlotBeyondLatin1(uint32_t codepoint)
{
    if (IsShape(codepoint))
        return kShapeSlot;
    for (int k = 0; k < 32; ++k)
        if (kWindows1252[k] == codepoint)
            return static_cast<uint8_t>(0x80 + k);
    return kReplacementSlot;
}

void FillBuiltinFont()
{
    // The other threads wait the few microseconds until the tables are whole.
    if (filled.load(std::memory_order_acquire) == kFilled)
        return;
    int expected = kEmpty;
    if (filled.compare_exchange_strong(expected, kFilling, std::memory_order_acquire)) {
        FillTables();
        filled.store(kFilled, std::memory_order_release);
        return;
    }
    while (filled.load(std::memory_order_acquire) != kFilled) {
    }
}

bool BuiltinHasGlyph(uint32_t codepoint)
{
    const uint8_t slot = SlotOf(codepoint);
    if (slot == kShapeSlot)
        return true;
    if (slot == kReplacementSlot)
        return codepoint == kReplacementCharacter;
    return slot >= 0x20 && slot != kBlankSlot;  // controls have none
}

int BuiltinGlyphCount()
{
    // The byte set's control-free glyphs, the space among them, and the rest.
    return static_cast<int>(sizeof glyphar_font::kGlyphSet / sizeof glyphar_font::kGlyphSet[0] +
                            sizeof glyphar_font::kExtraGlyphs /
                                sizeof glyphar_font::kExtraGlyphs[0]);
}

//----------------------------------------------------------------------------
// Loaded fonts.
//----------------------------------------------------------------------------

namespace {

constexpr uint32_t kUnset = ~uint32_t{0};

int RowBytesFor(int width)
{
    return width <= 8 ? 1 : width <= 16 ? 2 : width <= 32 ? 4 : 8;
}

void StoreRow(uint8_t *at, int rowBytes, uint64_t bits)
{
    switch (rowBytes) {
    case 1: { const uint8_t v = static_cast<uint8_t>(bits); std::memcpy(at, &v, 1); break; }
    case 2: { const uint16_t v = static_cast<uint16_t>(bits); std::memcpy(at, &v, 2); break; }
    case 4: { const uint32_t v = static_cast<uint32_t>(bits); std::memcpy(at, &v, 4); break; }
    default: std::memcpy(at, &bits, 8); break;
    }
}

// A row of a PSF-style bitmap, leftmost pixel in the top bit of the first
// byte, as bits with column c in bit c.
uint64_t RowBits(const uint8_t *row, int width)
{
    uint64_t bits = 0;
    for (int c = 0; c < width; ++c)
        bits |= static_cast<uint64_t>(row[c >> 3] >> (7 - (c & 7)) & 1) << c;
    return bits;
}

uint8_t *GlyphRows(GlypharFont *font, uint32_t glyph)
{
    return font->storage + glyph * font->face.glyphStride;
}

// The replacement of the program's own: a hollow box inside the cell, or
// the whole cell where it is too small for one. A font with advances has
// its grid's cell at the pen and the row's top, somewhere in its box.
void DrawBox(GlypharFont *font, uint32_t glyph)
{
    const bool advances = font->extents != nullptr;
    const int w = advances ? font->cellWidth : font->face.width;
    const int h = advances ? font->ascent + font->descent : font->face.height;
    const int x0 = advances ? -font->boxLeft : 0, y0 = advances ? -font->boxTop : 0;
    const bool hollow = w >= 4 && h >= 4;
    const int left = x0 + (hollow ? 1 : 0), right = x0 + (hollow ? w - 2 : w - 1);
    const int top = y0 + (hollow ? 1 : 0), bottom = y0 + (hollow ? h - 2 : h - 1);
    const uint64_t span = ((right == 63 ? ~uint64_t{0} : (uint64_t{1} << (right + 1)) - 1) >>
                           left) << left;
    const uint64_t sides = uint64_t{1} << left | uint64_t{1} << right;
    uint8_t *rows = GlyphRows(font, glyph);
    for (int r = top; r <= bottom; ++r)
        StoreRow(rows + r * font->face.rowBytes, font->face.rowBytes,
                 r == top || r == bottom || !hollow ? span : sides);
}

// Each glyph's inked rows, so that a row of text draws only the rows its
// glyphs ink (a box holds the ink of every glyph: accents, tall symbols).
void FindInkRows(GlypharFont *font)
{
    const int rowBytes = font->face.rowBytes, height = font->face.height;
    for (int g = 0; g < font->glyphs + 2; ++g) {
        const uint8_t *rows = GlyphRows(font, static_cast<uint32_t>(g));
        const auto blank = [&](int r) {
            for (int b = 0; b < rowBytes; ++b)
                if (rows[r * rowBytes + b] != 0)
                    return false;
            return true;
        };
        int first = 0, end = height;
        while (first < end && blank(first))
            ++first;
        while (end > first && blank(end - 1))
            --end;
        font->extents[g].inkFrom = static_cast<uint8_t>(first);
        font->extents[g].inkTo = static_cast<uint8_t>(end);
    }
}

// A new page of unset entries; 0 where memory runs out.
int AddPage(GlypharFont *font)
{
    const int count = font->pageCount;
    if ((count & (count - 1)) == 0) {  // full: twice the room
        void *more = std::realloc(font->pages, sizeof *font->pages * 2 * static_cast<size_t>(count));
        if (more == nullptr)
            return 0;
        font->pages = static_cast<uint32_t(*)[256]>(more);
    }
    for (uint32_t &entry : font->pages[count])
        entry = kUnset;
    font->pageCount = count + 1;
    return count;
}

}  // namespace

namespace {

// A font of `count` blank glyphs of width x height, and the blank and the
// replacement after them; nullptr where memory runs out.
GlypharFont *AllocateFont(int width, int height, int count)
{
    GlypharFont *font = static_cast<GlypharFont *>(std::calloc(1, sizeof(GlypharFont)));
    if (font == nullptr)
        return nullptr;
    const int rowBytes = RowBytesFor(width);
    font->face = FontFace{width, height, rowBytes, int64_t{height + 1} * rowBytes, nullptr};
    font->glyphs = count;
    font->blank = static_cast<uint32_t>(count);
    font->replacement = static_cast<uint32_t>(count) + 1;
    // The font's glyphs, then the blank, then the box; row `height` of each
    // stays blank. Gathers read a little past a glyph's rows (kGlyphPadding).
    font->storage = static_cast<uint8_t *>(std::calloc(
        (static_cast<size_t>(count) + 2) * static_cast<size_t>(font->face.glyphStride) +
            kGlyphPadding, 1));
    font->pages = static_cast<uint32_t(*)[256]>(std::malloc(sizeof *font->pages));
    font->pageCount = 1;
    if (font->storage == nullptr || font->pages == nullptr) {
        FreeFont(font);
        return nullptr;
    }
    for (uint32_t &entry : font->pages[0])
        entry = kUnset;
    font->face.glyphs = font->storage;
    return font;
}

}  // namespace

GlypharFont *NewFont(int width, int height, int count, const uint8_t *bits, size_t rowStride,
                     size_t glyphStride)
{
    GlypharFont *font = AllocateFont(width, height, count);
    if (font == nullptr)
        return nullptr;
    const int rowBytes = font->face.rowBytes;
    for (int g = 0; g < count; ++g)
        for (int r = 0; r < height; ++r)
            StoreRow(GlyphRows(font, static_cast<uint32_t>(g)) + r * rowBytes, rowBytes,
                     RowBits(bits + g * glyphStride + r * rowStride, width));
    return font;
}

FontBox BoxOf(int ascent, int descent, const GlyphMetrics *glyphs, int count)
{
    const int line = ascent + descent;
    bool cells = count > 0;
    int widest = 0, narrowest = 0;
    for (int g = 0; g < count; ++g) {
        const GlyphMetrics &m = glyphs[g];
        widest = std::max(widest, m.advance);
        if (m.advance > 0 && (narrowest == 0 || m.advance < narrowest))
            narrowest = m.advance;
        const bool ink = m.width > 0 && m.height > 0;
        cells = cells && m.advance == glyphs[0].advance &&
                (!ink || (m.left >= 0 && m.left + m.width <= m.advance && ascent - m.top >= 0 &&
                          ascent - m.top + m.height <= line));
    }
    if (cells && widest > 0)
        return FontBox{true, widest, line, 0, 0, widest, widest};
    // A font of two widths, as Unifont's halfwidth and fullwidth, has the
    // narrow one's grid; any other, its widest advance's.
    bool twoWidths = narrowest > 0;
    for (int g = 0; g < count; ++g)
        twoWidths = twoWidths && (glyphs[g].advance == 0 || glyphs[g].advance == narrowest ||
                                  glyphs[g].advance == 2 * narrowest);
    const int cellWidth = twoWidths ? narrowest : std::max(widest, 1);
    int left = 0, right = cellWidth, top = 0, bottom = line;
    for (int g = 0; g < count; ++g) {
        const GlyphMetrics &m = glyphs[g];
        if (m.width <= 0 || m.height <= 0)
            continue;
        left = std::min(left, m.left);
        right = std::max(right, m.left + m.width);
        top = std::min(top, ascent - m.top);
        bottom = std::max(bottom, ascent - m.top + m.height);
    }
    return FontBox{false, right - left, bottom - top, left, top, cellWidth, widest};
}

GlypharFont *NewBoxFont(const FontBox &box, int ascent, int descent, const GlyphMetrics *glyphs,
                        int count)
{
    GlypharFont *font = AllocateFont(box.width, box.height, count);
    if (font == nullptr)
        return nullptr;
    font->ascent = ascent;
    font->descent = descent;
    font->boxLeft = box.left;
    font->boxTop = box.top;
    font->cellWidth = box.cellWidth;
    font->widest = box.widest;
    if (box.cells)
        return font;
    font->extents = static_cast<GlyphExtent *>(
        std::malloc((static_cast<size_t>(count) + 2) * sizeof *font->extents));
    if (font->extents == nullptr) {
        FreeFont(font);
        return nullptr;
    }
    for (int g = 0; g < count; ++g)
        font->extents[g].advance = static_cast<uint16_t>(glyphs[g].advance);
    // Controls and the replacement take a grid's cell.
    font->extents[font->blank].advance = font->extents[font->replacement].advance =
        static_cast<uint16_t>(box.cellWidth);
    return font;
}

void PutGlyphRow(GlypharFont *font, uint32_t g, const GlyphMetrics &m, int r, uint64_t bits)
{
    // A glyph without width has no ink, and the box need not hold its rows.
    if (m.width <= 0 || r < 0 || r >= m.height)
        return;
    const int row = font->ascent - m.top + r - font->boxTop;
    const int shift = m.left - font->boxLeft;
    StoreRow(GlyphRows(font, g) + row * font->face.rowBytes, font->face.rowBytes, bits << shift);
}

bool MapCodePoint(GlypharFont *font, uint32_t codepoint, uint32_t glyph)
{
    if (codepoint > kLastCodePoint || (codepoint >= 0xD800 && codepoint <= 0xDFFF))
        return true;  // no character: nothing to map
    uint16_t &page = font->pageOf[codepoint >> 8];
    if (page == 0) {
        const int added = AddPage(font);
        if (added == 0)
            return false;
        page = static_cast<uint16_t>(added);
    }
    uint32_t &entry = font->pages[page][codepoint & 0xFF];
    if (entry == kUnset)  // the first glyph to claim a code point keeps it
        entry = glyph | kOwnGlyph;
    return true;
}

bool FinishFont(GlypharFont *font, uint32_t fallback)
{
    if (font->pageOf[0] == 0) {  // controls need a page of their own
        const int added = AddPage(font);
        if (added == 0)
            return false;
        font->pageOf[0] = static_cast<uint16_t>(added);
    }
    const uint32_t own = EntryOf(*font, kReplacementCharacter);
    if (own != kUnset && (own & kOwnGlyph))
        font->replacement = own & kGlyphIndex;
    else if (fallback < static_cast<uint32_t>(font->glyphs))
        font->replacement = fallback;
    else
        DrawBox(font, font->replacement);
    for (int p = 0; p < font->pageCount; ++p)
        for (uint32_t &entry : font->pages[p])
            if (entry == kUnset)
                entry = font->replacement;
    // Controls draw blank whatever the font gives them.
    for (uint32_t c = 0; c < 0xA0; ++c)
        if (IsControl(c))
            font->pages[font->pageOf[0]][c] = font->blank;
    if (font->extents != nullptr)
        FindInkRows(font);
    return true;
}

void FreeFont(GlypharFont *font)
{
    if (font == nullptr)
        return;
    std::free(font->storage);
    std::free(font->pages);
    std::free(font->extents);
    std::free(font);
}

}  // namespace glyphar
