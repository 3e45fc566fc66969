/* terminal_grid: a small text-mode screen as a character grid (panels in
 * single, heavy and double lines, a bar chart of block elements, a Braille
 * plot, coloured text), drawn with GlypharGrid at sizes 1, 1.5 and 2 on an
 * offscreen surface and saved as a BMP. Then the clock of the largest
 * changes, and GlypharGridUpdate redraws only its two cells.
 *
 *   glyphar-example-grid OUT.bmp
 */
#include <math.h>
#include <stdio.h>
#include <string.h>

#include "offscreen.h"

enum { kColumns = 48, kRows = 14 };

static const uint32_t kPaper = 0x101820, kText = 0xD8DEE9, kDim = 0x6B7488;
static const uint32_t kSingle = 0x88C0D0, kHeavy = 0xEBCB8B, kDouble = 0xA3BE8C;

static GlypharCell grid[kRows][kColumns];

static void Put(int column, int row, uint32_t codepoint, uint32_t fg)
{
    if (column >= 0 && column < kColumns && row >= 0 && row < kRows) {
        grid[row][column].codepoint = codepoint;
        grid[row][column].fg = fg;
    }
}

/* Writes UTF-8 text from (column, row) on. */
static void Write(int column, int row, const char *text, uint32_t fg)
{
    const unsigned char *p = (const unsigned char *)text;
    while (*p != 0) {
        uint32_t c = *p++;
        int more = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (more > 0)
            c &= 0x3F >> more;
        for (; more > 0 && (*p & 0xC0) == 0x80; --more)
            c = c << 6 | (*p++ & 0x3F);
        Put(column++, row, c, fg);
    }
}

/* A panel: corners and edges from a line style, "┌┐└┘─│" and the like,
 * with its title on the top edge. */
static void Panel(int left, int top, int right, int bottom, const uint32_t style[6],
                  const char *title, uint32_t colour)
{
    int k;
    for (k = left + 1; k < right; ++k) {
        Put(k, top, style[4], colour);
        Put(k, bottom, style[4], colour);
    }
    for (k = top + 1; k < bottom; ++k) {
        Put(left, k, style[5], colour);
        Put(right, k, style[5], colour);
    }
    Put(left, top, style[0], colour);
    Put(right, top, style[1], colour);
    Put(left, bottom, style[2], colour);
    Put(right, bottom, style[3], colour);
    Write(left + 2, top, title, kText);
}

/* Bars of eighths of a cell, `height` cells tall at most, from the bottom row
 * up. */
static void Bars(int left, int bottom, int height, const int *values, int count)
{
    int k, r;
    for (k = 0; k < count; ++k) {
        int eighths = values[k] * height * 8 / 100;
        const uint32_t colour = values[k] > 75 ? 0xBF616A : values[k] > 40 ? 0xEBCB8B : 0xA3BE8C;
        for (r = 0; r < height && eighths > 0; ++r, eighths -= 8)
            Put(left + k, bottom - r, eighths >= 8 ? 0x2588 : 0x2580 + (uint32_t)eighths, colour);
    }
}

/* A curve in Braille dots: two columns and four rows of dots a cell. */
static void Plot(int left, int top, int columns, int rows)
{
    static const int kDot[4][2] = {{0x01, 0x08}, {0x02, 0x10}, {0x04, 0x20}, {0x40, 0x80}};
    int x, c, r;
    for (r = 0; r < rows; ++r)
        for (c = 0; c < columns; ++c)
            Put(left + c, top + r, 0x2800, kSingle);
    for (x = 0; x < 2 * columns; ++x) {
        const double v = sin(x * 0.21) * exp(-x * 0.012);
        const int y = (int)((1 - v) / 2 * (4 * rows - 1) + 0.5);
        GlypharCell *cell = &grid[top + y / 4][left + x / 2];
        cell->codepoint |= (uint32_t)kDot[y % 4][x % 2];
    }
}

static void BuildScreen(void)
{
    static const uint32_t kSingleLines[6] = {0x250C, 0x2510, 0x2514, 0x2518, 0x2500, 0x2502};
    static const uint32_t kHeavyLines[6] = {0x250F, 0x2513, 0x2517, 0x251B, 0x2501, 0x2503};
    static const uint32_t kDoubleLines[6] = {0x2554, 0x2557, 0x255A, 0x255D, 0x2550, 0x2551};
    static const int kLoad[] = {12, 30, 55, 80, 64, 38, 20, 95, 70, 45, 25, 60, 85, 50};
    int r, c;
    for (r = 0; r < kRows; ++r)
        for (c = 0; c < kColumns; ++c) {
            grid[r][c].codepoint = ' ';
            grid[r][c].fg = kText;
            grid[r][c].bg = kPaper;
        }
    Panel(0, 0, 19, 6, kSingleLines, "System", kSingle);
    Write(2, 2, "cpu", kDim);
    Write(7, 2, "4 cores", kText);
    Write(2, 3, "mem", kDim);
    Write(7, 3, "61 %", 0xEBCB8B);
    Write(2, 4, "net", kDim);
    Write(7, 4, "+12 kB/s", 0xA3BE8C);
    Panel(20, 0, 47, 6, kHeavyLines, "Load", kHeavy);
    Bars(22, 5, 4, kLoad, (int)(sizeof kLoad / sizeof kLoad[0]));
    Write(37, 2, "\xE2\x96\x91\xE2\x96\x92\xE2\x96\x93\xE2\x96\x88", 0x81A1C1);
    Write(37, 4, "14 jobs", kText);
    Panel(0, 7, 29, 12, kDoubleLines, "Signal", kDouble);
    Plot(2, 8, 26, 4);
    Write(31, 8, "\xE2\x95\xAD\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x95\xAE", kDim);
    Write(31, 9, "\xE2\x94\x82    \xE2\x94\x82", kDim);
    Write(33, 9, "ok", 0xA3BE8C);
    Write(31, 10, "\xE2\x95\xB0\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x94\x80\xE2\x95\xAF", kDim);
    for (c = 0; c < kColumns; ++c) {
        grid[13][c].bg = 0x3B4252;
        grid[13][c].fg = kText;
    }
    Write(1, 13, "F1 help  F2 sort  F10 quit", kText);
    Write(40, 13, "12:00", 0xEBCB8B);
}

int main(int argc, char **argv)
{
    static const float kSizes[3] = {1.0f, 1.5f, 2.0f};
    static const int kAt[3][2] = {{16, 16}, {320, 16}, {16, 240}};
    const _color canvas = {24, 28, 36};
    const _rect whole = {0, 0, 800, 520};
    SDL_Surface *s;
    int k;
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUT.bmp\n", argv[0]);
        return 2;
    }
    s = NewSurface(whole.w, whole.h);
    if (s == NULL) {
        fprintf(stderr, "%s: no surface: %s\n", argv[0], SDL_GetError());
        return 1;
    }
    FillBox(s, whole, canvas);
    BuildScreen();
    for (k = 0; k < 3; ++k)
        GlypharGrid(s, NULL, &grid[0][0], kColumns, kRows, kAt[k][0], kAt[k][1], kSizes[k]);
    {
        /* One cell changes: only it is drawn again. */
        static GlypharCell before[kRows][kColumns];
        memcpy(before, grid, sizeof grid);
        Write(43, 13, "01", 0xEBCB8B);
        GlypharGridUpdate(s, NULL, &grid[0][0], &before[0][0], kColumns, kRows, kAt[2][0],
                          kAt[2][1], kSizes[2]);
    }
    if (SaveBMP(s, argv[1]) != 0) {
        fprintf(stderr, "%s: cannot write %s: %s\n", argv[0], argv[1], SDL_GetError());
        FreeSurface(s);
        return 1;
    }
    FreeSurface(s);
    return 0;
}
