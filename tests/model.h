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

#include <SDL.h>

#include "Glyphar.h"

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

// Whether cell (row, col) of byte c is lit; cells past the grid never are.
inline bool ModelLit(unsigned char c, int64_t row, int64_t col)
{
    if (row < 0 || row >= 9 || col < 0 || col >= 6)
        return false;
    for (const ModelGlyph &g : kModelFont)
        if (static_cast<unsigned char>(g.code) == c)
            return g.rows[row * 7 + col] == '1';
    return false;
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
    SDL_FillRect(s, &r, SDL_MapRGB(s->format, static_cast<Uint8>(c.r & 0xFF),
                                   static_cast<Uint8>(c.g & 0xFF), static_cast<Uint8>(c.b & 0xFF)));
}

// One character, offset by offset, as the sampling rule says. Only offsets
// that can land on the surface are visited.
inline void ModelCarac(SDL_Surface *s, unsigned char c, int64_t x, int64_t y, float size,
                       _color fg, _color bg)
{
    const double sz = size;
    for (int64_t i = std::max<int64_t>(0, -y); i < 9.0 * sz && y + i < s->h; ++i)
        for (int64_t j = std::max<int64_t>(0, -x); j < 6.0 * sz && x + j < s->w; ++j) {
            if (ModelLit(c, static_cast<int64_t>(i / sz), static_cast<int64_t>(j / sz)))
                ModelPoint(s, x + j, y + i, fg);
            else if (!ModelTransparent(bg))
                ModelPoint(s, x + j, y + i, bg);
        }
}

// A laid-out row: its cells' bytes and its index from the box's top.
struct ModelRow {
    std::string cells;
    int64_t index;
};

// A layout: the rows with cells, and how many bytes of the text they took.
struct ModelLayout {
    std::vector<ModelRow> rows;
    size_t used = 0;
};

// Glyphar's layout, byte by byte as its algorithm is written, for a
// positive size; a size whose cells have no pitch lays out nothing.
inline ModelLayout ModelLayOutBytes(const char *text, _rect box, float size)
{
    const int64_t cellWidth = static_cast<int64_t>(6.0 * size);
    const int64_t cellHeight = static_cast<int64_t>(9.0 * size);
    ModelLayout out;
    if (cellWidth == 0 || cellHeight == 0)
        return out;
    const int64_t lastCol = box.w / cellWidth, lastRow = box.h / cellHeight;
    int64_t col = -1, row = 0;
    const char *p = text;
    for (; *p; ++p) {
        if (*p == '\n') {
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
            out.rows.push_back({"", row});
        out.rows.back().cells += *p;
    }
    out.used = static_cast<size_t>(p - text);
    return out;
}

// The word-wrap rules, word by word over strings.
inline ModelLayout ModelLayOutWords(const std::string &text, _rect box, float size)
{
    const int64_t cellWidth = static_cast<int64_t>(6.0 * size);
    const int64_t cellHeight = static_cast<int64_t>(9.0 * size);
    ModelLayout out;
    if (cellWidth == 0 || cellHeight == 0)
        return out;
    const size_t columns = static_cast<size_t>(box.w / cellWidth + 1);
    const int64_t lastRow = box.h / cellHeight;
    std::string row;
    int64_t index = 0;
    const auto endRow = [&] {  // false when no row is left
        const size_t inked = row.find_last_not_of(' ');
        if (inked != std::string::npos)
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
                row += ' ';
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
            const size_t end = std::min(text.find_first_of(" \n", i), text.size());
            const std::string word = text.substr(i, end - i);
            if (word.size() > columns - row.size() && word.size() <= columns && !endRow()) {
                out.used = i;
                return out;
            }
            for (char c : word) {
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

inline ModelLayout ModelLayOut(const std::string &text, _rect box, float size, int flags)
{
    const int64_t cellWidth = static_cast<int64_t>(6.0 * size);
    if ((flags & GLYPHAR_WRAP_WORDS) && cellWidth > 0 && box.w / cellWidth + 1 >= 1)
        return ModelLayOutWords(text, box, size);
    return ModelLayOutBytes(text.c_str(), box, size);
}

inline void ModelDrawRows(SDL_Surface *s, const std::vector<ModelRow> &rows, const _rect &box,
                          float size, _color fg, _color bg, int flags)
{
    const int64_t cellWidth = static_cast<int64_t>(6.0 * size);
    const int64_t cellHeight = static_cast<int64_t>(9.0 * size);
    for (const ModelRow &row : rows) {
        const int64_t width = static_cast<int64_t>(row.cells.size()) * cellWidth;
        int64_t shift = 0;
        if (flags & GLYPHAR_ALIGN_CENTER)
            shift = std::max<int64_t>(0, (box.w - width) / 2);
        else if (flags & GLYPHAR_ALIGN_RIGHT)
            shift = std::max<int64_t>(0, box.w - width);
        for (size_t k = 0; k < row.cells.size(); ++k)
            ModelCarac(s, static_cast<unsigned char>(row.cells[k]),
                       box.x + shift + static_cast<int64_t>(k) * cellWidth,
                       box.y + row.index * cellHeight, size, fg, bg);
    }
}

}  // namespace glyphar_test

#endif  // GLYPHAR_TESTS_MODEL_H
