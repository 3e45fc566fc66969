// The test's own model of the renderer: a copy of the font, kept here so
// that a flipped cell in the renderer's table fails a test, and drawing by
// the rules point by point, each point through SDL_FillRect (which keeps to
// the surface's clip rectangle) of a colour mapped anew.
#ifndef GLYPHAR_TESTS_MODEL_H
#define GLYPHAR_TESTS_MODEL_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>


#include "Glyphar.h"
#include "sdl_compat.h"
#include "whole_font.h"

namespace glyphar_test {

// The 73 glyphs: nine rows of six cells, top row first, '1' lit.
struct ModelGlyph {
    char code;
    const char *rows;
};

inline constexpr ModelGlyph kModelFont[] = {
    {' ', "000000 000000 000000 000000 000000 000000 000000 000000 000000"},
    {'(', "000010 000100 001000 001000 001000 000100 000010 000000 000000"},
    {')', "100000 010000 001000 001000 001000 010000 100000 000000 000000"},
    {'*', "000000 000000 000000 010100 001000 010100 000000 000000 000000"},
    {'+', "000000 000000 000000 001000 011100 001000 000000 000000 000000"},
    {',', "000000 000000 000000 000000 000000 000000 010000 010000 000000"},
    {'-', "000000 000000 000000 000000 011100 000000 000000 000000 000000"},
    {'.', "000000 000000 000000 000000 000000 000000 010000 000000 000000"},
    {'/', "000100 000100 001000 001000 001000 010000 010000 000000 000000"},
    {'0', "011100 100010 100010 101010 100010 100010 011100 000000 000000"},
    {'1', "001000 011000 001000 001000 001000 001000 011100 000000 000000"},
    {'2', "011100 100010 000010 000100 001000 010000 111110 000000 000000"},
    {'3', "011100 100010 000010 001100 000010 100010 011100 000000 000000"},
    {'4', "000100 001000 010000 010000 100100 111110 000100 000000 000000"},
    {'5', "111110 100000 100000 111100 000010 100010 011100 000000 000000"},
    {'6', "001100 010000 100000 111100 100010 100010 011100 000000 000000"},
    {'7', "111110 000010 000100 000100 001000 001000 001000 000000 000000"},
    {'8', "011100 100010 100010 011100 100010 100010 011100 000000 000000"},
    {'9', "011100 100010 100010 011110 000010 000100 011000 000000 000000"},
    {':', "000000 000000 000000 001000 000000 000000 001000 000000 000000"},
    {';', "000000 000000 000000 100000 000000 000000 100000 100000 000000"},
    {'A', "001000 010100 100010 100010 111110 100010 100010 000000 000000"},
    {'B', "111100 100010 100010 111100 100010 100010 111100 000000 000000"},
    {'C', "011100 100010 100000 100000 100000 100010 011100 000000 000000"},
    {'D', "111100 100010 100010 100010 100010 100010 111100 000000 000000"},
    {'E', "111110 100000 100000 111100 100000 100000 111110 000000 000000"},
    {'F', "111110 100000 100000 111100 100000 100000 100000 000000 000000"},
    {'G', "011100 100010 100000 100110 100010 100010 011100 000000 000000"},
    {'H', "100010 100010 100010 111110 100010 100010 100010 000000 000000"},
    {'I', "011100 001000 001000 001000 001000 001000 011100 000000 000000"},
    {'J', "000010 000010 000010 000010 000010 100010 011100 000000 000000"},
    {'K', "100010 100100 101000 110000 101000 100100 100010 000000 000000"},
    {'L', "100000 100000 100000 100000 100000 100000 111110 000000 000000"},
    {'M', "100010 110110 110110 101010 101010 100010 100010 000000 000000"},
    {'N', "100010 110010 110010 101010 100110 100110 100010 000000 000000"},
    {'O', "011100 100010 100010 100010 100010 100010 011100 000000 000000"},
    {'P', "111100 100010 100010 111100 100000 100000 100000 000000 000000"},
    {'Q', "011100 100010 100010 100010 100010 100010 011100 000110 000000"},
    {'R', "111100 100010 100010 111100 100010 100010 100010 000000 000000"},
    {'S', "011100 100010 100000 011100 000010 100010 011100 000000 000000"},
    {'T', "111110 001000 001000 001000 001000 001000 001000 000000 000000"},
    {'U', "100010 100010 100010 100010 100010 100010 011100 000000 000000"},
    {'V', "100010 100010 100010 010100 010100 001000 001000 000000 000000"},
    {'W', "100010 100010 100010 101010 101010 010100 010100 000000 000000"},
    {'X', "100010 100010 010100 001000 010100 100010 100010 000000 000000"},
    {'Y', "100010 100010 100010 010100 001000 001000 001000 000000 000000"},
    {'Z', "111110 000010 000100 001000 010000 100000 111110 000000 000000"},
    {'a', "000000 000000 011100 000010 011110 100010 011110 000000 000000"},
    {'b', "100000 100000 101100 110010 100010 110010 101100 000000 000000"},
    {'c', "000000 000000 011100 100010 100000 100010 011100 000000 000000"},
    {'d', "000010 000010 011010 100110 100010 100110 011010 000000 000000"},
    {'e', "000000 000000 011100 100010 111110 100000 011100 000000 000000"},
    {'f', "001100 010010 111000 010000 010000 010000 010000 000000 000000"},
    {'g', "000000 000000 011010 100110 100010 100110 011010 000010 011100"},
    {'h', "100000 100000 101100 110010 100010 100010 100010 000000 000000"},
    {'i', "001000 000000 011000 001000 001000 001000 011100 000000 000000"},
    {'j', "001000 000000 011000 001000 001000 001000 001000 001000 110000"},
    {'k', "100000 100000 100010 100100 111000 100100 100010 000000 000000"},
    {'l', "011000 001000 001000 001000 001000 001000 011100 000000 000000"},
    {'m', "000000 000000 110100 101010 101010 101010 101010 000000 000000"},
    {'n', "000000 000000 101100 110010 100010 100010 100010 000000 000000"},
    {'o', "000000 000000 011100 100010 100010 100010 011100 000000 000000"},
    {'p', "000000 000000 101100 110010 100010 110010 101100 100000 100000"},
    {'q', "000000 000000 011010 100110 100010 100110 011010 000010 000010"},
    {'r', "000000 000000 101100 110010 100000 100000 100000 000000 000000"},
    {'s', "000000 000000 011110 100000 011100 000010 111100 000000 000000"},
    {'t', "001000 001000 011100 001000 001000 001000 000110 000000 000000"},
    {'u', "000000 000000 100010 100010 100010 100110 011010 000000 000000"},
    {'v', "000000 000000 100010 100010 100010 010100 001000 000000 000000"},
    {'w', "000000 000000 101010 101010 101010 101010 010100 000000 000000"},
    {'x', "000000 000000 100010 010100 001000 010100 100010 000000 000000"},
    {'y', "000000 000000 100010 100010 100010 010100 001000 001000 110000"},
    {'z', "000000 000000 111110 000100 001000 010000 111110 000000 000000"},
};

// The rows of byte c's glyph, or nullptr for a byte without one.
inline const char *ModelByteRows(unsigned char c)
{
    for (const ModelGlyph &g : kModelFont)
        if (static_cast<unsigned char>(g.code) == c)
            return g.rows;
    return nullptr;
}

// Whether cell (row, col) of a glyph's rows is lit; a missing glyph and
// cells past the grid never are.
inline bool ModelRowsLit(const char *rows, int64_t row, int64_t col)
{
    return rows != nullptr && row >= 0 && row < 9 && col >= 0 && col < 6 &&
           rows[row * 7 + col] == '1';
}

inline bool ModelLit(unsigned char c, int64_t row, int64_t col)
{
    return ModelRowsLit(ModelByteRows(c), row, col);
}

// The whole font: the 73 and the extras by code point; controls are blank,
// and every other character takes the replacement glyph's rows.
inline const char *ModelCodePointRows(char32_t cp)
{
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
        return nullptr;
    if (cp < 0x80 && ModelByteRows(static_cast<unsigned char>(cp)) != nullptr)
        return ModelByteRows(static_cast<unsigned char>(cp));
    for (const ModelExtraGlyph &g : kModelExtras)
        if (g.codepoint == cp)
            return g.rows;
    return ModelCodePointRows(0xFFFD);
}

inline bool ModelTransparent(_color c)
{
    return c.r == -1 || c.g == -1 || c.b == -1;
}

inline void ModelPoint(SDL_Surface *s, int64_t x, int64_t y, _color c)
{
    if (x < 0 || y < 0 || x >= s->w || y >= s->h)
        return;
    SDL_Rect r;
    r.x = static_cast<decltype(r.x)>(x);
    r.y = static_cast<decltype(r.y)>(y);
    r.w = 1;
    r.h = 1;
    SDL_FillRect(s, &r, MapSurface(s, static_cast<Uint8>(c.r & 0xFF),
                                   static_cast<Uint8>(c.g & 0xFF), static_cast<Uint8>(c.b & 0xFF)));
}

// One glyph of a cell of w x h, offset by offset, as the sampling rule
// says: lit(row, col) tells a lit glyph cell. Only offsets that can land on
// the surface are visited.
template <class Lit>
void ModelSampledAt(SDL_Surface *s, Lit lit, int w, int h, int64_t x, int64_t y, float size,
                    _color fg, _color bg)
{
    const double sz = size;
    for (int64_t i = std::max<int64_t>(0, -y); i < h * sz && y + i < s->h; ++i)
        for (int64_t j = std::max<int64_t>(0, -x); j < w * sz && x + j < s->w; ++j) {
            if (lit(static_cast<int64_t>(i / sz), static_cast<int64_t>(j / sz)))
                ModelPoint(s, x + j, y + i, fg);
            else if (!ModelTransparent(bg))
                ModelPoint(s, x + j, y + i, bg);
        }
}

inline void ModelGlyphAt(SDL_Surface *s, const char *rows, int64_t x, int64_t y, float size,
                         _color fg, _color bg)
{
    ModelSampledAt(
        s, [rows](int64_t row, int64_t col) { return ModelRowsLit(rows, row, col); }, 6, 9, x, y,
        size, fg, bg);
}

inline void ModelCarac(SDL_Surface *s, unsigned char c, int64_t x, int64_t y, float size,
                       _color fg, _color bg)
{
    ModelGlyphAt(s, ModelByteRows(c), x, y, size, fg, bg);
}

// A cell of a laid-out row: a byte of the 73, or a character of the whole font.
inline void ModelCell(SDL_Surface *s, char c, int64_t x, int64_t y, float size, _color fg,
                      _color bg)
{
    ModelCarac(s, static_cast<unsigned char>(c), x, y, size, fg, bg);
}

inline void ModelCell(SDL_Surface *s, char32_t c, int64_t x, int64_t y, float size, _color fg,
                      _color bg)
{
    ModelGlyphAt(s, ModelCodePointRows(c), x, y, size, fg, bg);
}

// UTF-8 as the WHATWG Encoding Standard's decoder reads it, byte by byte up
// to the NUL: each character, or U+FFFD for each maximal subpart of an
// ill-formed sequence, with the bytes it came from.
struct ModelChar {
    char32_t cp;
    size_t start, length;
};

inline std::vector<ModelChar> ModelDecodeUtf8(const std::string &bytes)
{
    std::vector<ModelChar> out;
    char32_t cp = 0;
    int needed = 0, seen = 0;
    unsigned lower = 0x80, upper = 0xBF;
    size_t start = 0;
    for (size_t i = 0;; ++i) {
        const unsigned b = i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
        if (b == 0) {  // end of stream
            if (needed != 0)
                out.push_back({0xFFFD, start, i - start});
            return out;
        }
        if (needed == 0) {
            start = i;
            if (b <= 0x7F) {
                out.push_back({b, i, 1});
            } else if (b >= 0xC2 && b <= 0xDF) {
                needed = 1;
                cp = b & 0x1F;
            } else if (b >= 0xE0 && b <= 0xEF) {
                lower = b == 0xE0 ? 0xA0 : lower;
                upper = b == 0xED ? 0x9F : upper;
                needed = 2;
                cp = b & 0xF;
            } else if (b >= 0xF0 && b <= 0xF4) {
                lower = b == 0xF0 ? 0x90 : lower;
                upper = b == 0xF4 ? 0x8F : upper;
                needed = 3;
                cp = b & 0x7;
            } else {
                out.push_back({0xFFFD, i, 1});
            }
            continue;
        }
        if (b < lower || b > upper) {  // the byte is read again as a start
            out.push_back({0xFFFD, start, i - start});
            cp = 0;
            needed = seen = 0;
            lower = 0x80;
            upper = 0xBF;
            --i;
            continue;
        }
        lower = 0x80;
        upper = 0xBF;
        cp = cp << 6 | (b & 0x3F);
        if (++seen == needed) {
            out.push_back({cp, start, i + 1 - start});
            cp = 0;
            needed = seen = 0;
        }
    }
}

// Code points as UTF-8.
inline std::string Utf8Of(const std::u32string &text)
{
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | c >> 12);
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | c >> 18);
            out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

inline std::u32string ModelCodePoints(const std::vector<ModelChar> &chars)
{
    std::u32string out;
    for (const ModelChar &c : chars)
        out += c.cp;
    return out;
}

// A laid-out row: its cells (bytes, or code points) and its index from the
// box's top.
template <class Str>
struct ModelRowOf {
    Str cells;
    int64_t index;
};

// A layout: the rows with cells, and how many cells of the text they took.
template <class Str>
struct ModelLayoutOf {
    std::vector<ModelRowOf<Str>> rows;
    size_t used = 0;
};

using ModelRow = ModelRowOf<std::string>;
using ModelLayout = ModelLayoutOf<std::string>;

// Glyphar's layout, cell by cell as its algorithm is written, up to the end
// or a NUL, for a positive size; a size whose cells have no pitch lays out
// nothing.
template <class Str>
ModelLayoutOf<Str> ModelLayOutCells(const Str &text, _rect box, float size, int cw = 6,
                                    int ch = 9)
{
    const int64_t cellWidth = static_cast<int64_t>(cw * static_cast<double>(size));
    const int64_t cellHeight = static_cast<int64_t>(ch * static_cast<double>(size));
    ModelLayoutOf<Str> out;
    if (cellWidth == 0 || cellHeight == 0)
        return out;
    const int64_t lastCol = box.w / cellWidth, lastRow = box.h / cellHeight;
    int64_t col = -1, row = 0;
    size_t p = 0;
    for (; p < text.size() && text[p] != 0; ++p) {
        if (text[p] == '\n') {
            if (row + 1 > lastRow) {
                ++p;
                break;
            }
            ++row;
            col = -1;
            continue;
        }
        if (col + 1 > lastCol) {
            if (row + 1 > lastRow)
                break;
            ++row;
            col = 0;
        } else {
            ++col;
        }
        if (col == 0 || out.rows.empty() || out.rows.back().index != row)
            out.rows.push_back({Str(), row});
        out.rows.back().cells += text[p];
    }
    out.used = p;
    return out;
}

// The word-wrap rules, word by word over strings.
template <class Str>
ModelLayoutOf<Str> ModelLayOutWords(const Str &text, _rect box, float size, int cw = 6,
                                    int ch = 9)
{
    using Char = typename Str::value_type;
    const Char breaks[] = {' ', '\n', 0};
    const int64_t cellWidth = static_cast<int64_t>(cw * static_cast<double>(size));
    const int64_t cellHeight = static_cast<int64_t>(ch * static_cast<double>(size));
    ModelLayoutOf<Str> out;
    if (cellWidth == 0 || cellHeight == 0)
        return out;
    const size_t columns = static_cast<size_t>(box.w / cellWidth + 1);
    const int64_t lastRow = box.h / cellHeight;
    Str row;
    int64_t index = 0;
    const auto endRow = [&] {  // false when no row is left
        const size_t inked = row.find_last_not_of(Char(' '));
        if (inked != Str::npos)
            out.rows.push_back({row.substr(0, inked + 1), index});
        row.clear();
        if (index + 1 > lastRow)
            return false;
        ++index;
        return true;
    };
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\n') {
            ++i;
            if (!endRow()) {
                out.used = i;
                return out;
            }
        } else if (text[i] == ' ') {
            if (row.size() < columns) {
                row += Char(' ');
                ++i;
                continue;
            }
            while (i < text.size() && text[i] == ' ')
                ++i;
            if (!endRow()) {
                out.used = i;
                return out;
            }
        } else {
            const size_t end = std::min(text.find_first_of(breaks, i), text.size());
            const Str word = text.substr(i, end - i);
            if (word.size() > columns - row.size() && word.size() <= columns && !endRow()) {
                out.used = i;
                return out;
            }
            for (Char c : word) {
                if (row.size() == columns && !endRow()) {
                    out.used = i;
                    return out;
                }
                row += c;
                ++i;
            }
        }
    }
    endRow();
    out.used = text.size();
    return out;
}

// The layout of bytes, or of code points; used counts the cells taken.
template <class Str>
ModelLayoutOf<Str> ModelLayOut(const Str &text, _rect box, float size, int flags, int cw = 6,
                               int ch = 9)
{
    const int64_t cellWidth = static_cast<int64_t>(cw * static_cast<double>(size));
    if ((flags & GLYPHAR_WRAP_WORDS) && cellWidth > 0 && box.w / cellWidth + 1 >= 1)
        return ModelLayOutWords(text, box, size, cw, ch);
    return ModelLayOutCells(text, box, size, cw, ch);
}

// Draws laid-out rows; cell(s, c, x, y) draws one cell, by default from the
// built-in font's model.
struct ModelBuiltinCell {
    template <class Char>
    void operator()(SDL_Surface *s, Char c, int64_t x, int64_t y, float size, _color fg,
                    _color bg) const
    {
        ModelCell(s, c, x, y, size, fg, bg);
    }
};

template <class Str, class Cell = ModelBuiltinCell>
void ModelDrawRows(SDL_Surface *s, const std::vector<ModelRowOf<Str>> &rows, const _rect &box,
                   float size, _color fg, _color bg, int flags, int cw = 6, int ch = 9,
                   Cell cell = Cell())
{
    const int64_t cellWidth = static_cast<int64_t>(cw * static_cast<double>(size));
    const int64_t cellHeight = static_cast<int64_t>(ch * static_cast<double>(size));
    for (const ModelRowOf<Str> &row : rows) {
        const int64_t width = static_cast<int64_t>(row.cells.size()) * cellWidth;
        int64_t shift = 0;
        if (flags & GLYPHAR_ALIGN_CENTER)
            shift = std::max<int64_t>(0, (box.w - width) / 2);
        else if (flags & GLYPHAR_ALIGN_RIGHT)
            shift = std::max<int64_t>(0, box.w - width);
        for (size_t k = 0; k < row.cells.size(); ++k)
            cell(s, row.cells[k], box.x + shift + static_cast<int64_t>(k) * cellWidth,
                 box.y + row.index * cellHeight, size, fg, bg);
    }
}

}  // namespace glyphar_test

#endif  // GLYPHAR_TESTS_MODEL_H
