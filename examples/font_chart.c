/* font_chart: draws every glyph of the whole font at size 4 on its cell,
 * sixteen to a row, each labelled with its code point, on an offscreen
 * surface, and saves the picture as a BMP. The glyphs come from
 * GlypharHasGlyph, so the chart shows exactly what the font holds.
 *
 *   glyphar-example-font-chart OUT.bmp
 */
#include <stdint.h>
#include <stdio.h>

#include "offscreen.h"

static const _color kInk = {20, 24, 40};
static const _color kPaper = {250, 246, 232};
static const _color kCell = {222, 232, 245};
static const _color kLabel = {90, 96, 120};
static const _color kNoBackground = {-1, -1, -1};

enum { kColumns = 16, kPitchX = 48, kPitchY = 60, kMarginX = 16, kTop = 40 };

/* Every code point below U+2200 with a glyph of its own, and U+FFFD. */
static int CodePoints(uint32_t *out, int room)
{
    int n = 0;
    uint32_t cp;
    for (cp = 0; cp < 0x2200 && n < room; ++cp)
        if (GlypharHasGlyph(cp))
            out[n++] = cp;
    if (n < room)
        out[n++] = 0xFFFD;
    return n;
}

static void DrawEntry(SDL_Surface *s, uint32_t cp, int x, int y)
{
    char label[16];
    const _rect line = {x, y + 40, kPitchX - 6, 9};
    GlypharCodePoint(s, cp, x + 9, y, 4.0f, kInk, kCell);
    snprintf(label, sizeof label, "U+%04X", (unsigned)cp);
    GlypharEx(s, label, line, 1.0f, kLabel, kNoBackground, 0);
}

int main(int argc, char *argv[])
{
    uint32_t points[256];
    const int count = CodePoints(points, 256);
    const int rows = (count + kColumns - 1) / kColumns;
    const _rect title = {0, 12, kColumns * kPitchX + 2 * kMarginX, 18};
    SDL_Surface *s;
    int i;
    if (argc != 2) {
        fprintf(stderr, "usage: glyphar-example-font-chart OUT.bmp\n");
        return 2;
    }
    s = NewSurface(title.w, kTop + rows * kPitchY);
    if (s == NULL) {
        fprintf(stderr, "glyphar-example-font-chart: cannot make a surface: %s\n", SDL_GetError());
        return 1;
    }
    FillBox(s, (_rect){0, 0, s->w, s->h}, kPaper);
    GlypharEx(s, "glyphar \xE2\x80\x94 the whole font", title, 2.0f, kInk, kNoBackground,
              GLYPHAR_ALIGN_CENTER | GLYPHAR_UTF8);
    for (i = 0; i < count; ++i)
        DrawEntry(s, points[i], kMarginX + i % kColumns * kPitchX, kTop + i / kColumns * kPitchY);
    if (SaveBMP(s, argv[1]) != 0) {
        fprintf(stderr, "glyphar-example-font-chart: cannot write %s: %s\n", argv[1],
                SDL_GetError());
        FreeSurface(s);
        return 1;
    }
    FreeSurface(s);
    return 0;
}
