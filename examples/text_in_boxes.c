/* text_in_boxes: draws a centred title, a wrapped paragraph on a panel sized
 * by measuring it first, and a long text paged over three boxes, all on an
 * offscreen surface, and saves the picture as a BMP.
 *
 *   glyphar-example-boxes OUT.bmp
 */
#include <stdio.h>

#include "offscreen.h"

static const _color kInk = {20, 24, 40};
static const _color kPaper = {250, 246, 232};
static const _color kPanel = {222, 232, 245};
static const _color kNoBackground = {-1, -1, -1};

/* A title centred in the width of the surface. */
static void DrawTitle(SDL_Surface *s)
{
    const _rect line = {0, 12, s->w, 30};
    GlypharEx(s, "Text in boxes", line, 3.0f, kInk, kNoBackground, GLYPHAR_ALIGN_CENTER);
}

/* A paragraph wrapped between words; measured first, so that the panel
 * behind it is exactly as large as the text. */
static void DrawParagraph(SDL_Surface *s)
{
    static const char text[] =
        "glyphar breaks rows between words and centres them when asked. "
        "GlypharMesure lays the text out the same way and says how much room it takes.";
    const _rect box = {24, 62, 300, 80};
    const int flags = GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER;
    _rect painted;
    GlypharMesure(text, box, 1.5f, flags, &painted);
    painted.x -= 6;
    painted.y -= 6;
    painted.w += 12;
    painted.h += 12;
    FillBox(s, painted, kPanel);
    GlypharEx(s, text, box, 1.5f, kInk, kNoBackground, flags);
}

/* A long text over three boxes: each page starts where the last one ended.
 * A box w pixels wide holds w / cellWidth + 1 cells in a row, and h pixels
 * high h / cellHeight + 1 rows; the frames show the cells the box holds. */
static void DrawPages(SDL_Surface *s)
{
    static const char text[] =
        "A long text does not fit in one box. GlypharMesure returns how many bytes "
        "of it the box holds, so the next box starts there: no word is drawn twice, "
        "and none is lost between two pages. The last page takes what is left.";
    const char *page = text;
    int i;
    for (i = 0; i < 3 && *page != '\0'; ++i) {
        const _rect box = {24 + 150 * i, 166, 120, 27};
        const _rect frame = {box.x - 6, box.y - 6, (box.w / 6 + 1) * 6 + 12, (box.h / 9 + 1) * 9 + 12};
        FillBox(s, frame, kPanel);
        GlypharEx(s, page, box, 1.0f, kInk, kPanel, GLYPHAR_WRAP_WORDS);
        page += GlypharMesure(page, box, 1.0f, GLYPHAR_WRAP_WORDS, NULL);
    }
}

int main(int argc, char *argv[])
{
    SDL_Surface *s;
    if (argc != 2) {
        fprintf(stderr, "usage: glyphar-example-boxes OUT.bmp\n");
        return 2;
    }
    s = NewSurface(480, 240);
    if (s == NULL) {
        fprintf(stderr, "glyphar-example-boxes: cannot make a surface: %s\n", SDL_GetError());
        return 1;
    }
    FillBox(s, (_rect){0, 0, s->w, s->h}, kPaper);
    DrawTitle(s);
    DrawParagraph(s);
    DrawPages(s);
    if (SaveBMP(s, argv[1]) != 0) {
        fprintf(stderr, "glyphar-example-boxes: cannot write %s: %s\n", argv[1], SDL_GetError());
        FreeSurface(s);
        return 1;
    }
    FreeSurface(s);
    return 0;
}
