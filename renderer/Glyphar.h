/*
 * glyphar: a self-contained bitmap text renderer for SDL 1.2 software surfaces.
 *
 * The font (73 characters on a 6 x 9 grid) is built in; text is laid out in a
 * box, one byte per cell, and written pixel by pixel into a 16-bit surface.
 *
 *   Glyphar(screen, "Hello", box, 2.0f, white, red);
 *
 * Lock the surface first when SDL_MUSTLOCK says so, and present it afterwards.
 * Every call is safe with any input: a NULL surface or text, a surface that is
 * not 16 bits per pixel, or a size that gives empty cells draws nothing, and
 * pixels that fall outside the surface are dropped.
 *
 * The header compiles as C99 and as C++; the functions have C linkage.
 */
#ifndef GLYPHAR_H
#define GLYPHAR_H

#include <stdint.h>

#include <SDL.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A layout box in pixels. x, y is the top-left corner of the first cell; w and
 * h bound how many columns and rows are used. They do not clip the drawing. */
typedef struct _rect {
    int32_t x, y, w, h;
} _rect;

/* A colour. Only the low 8 bits of each component reach the surface. As a
 * background, a colour with any component equal to -1 is transparent. */
typedef struct _color {
    int32_t r, g, b;
} _color;

/* Draws a NUL-terminated text in the box: rows break at '\n' and after
 * w / trunc(6 * size) + 1 cells; the text stops where it would need more than
 * h / trunc(9 * size) + 1 rows. A size of 1 gives 6 x 9-pixel cells. */
void Glyphar(SDL_Surface *surface, const char *text, _rect box, float size,
             _color fg, _color bg);

/* Fills the glyph table on its first call; later calls return at once. */
void GlypharInit(void);

/* Draws one character with its top-left pixel at (x, y): a block of
 * ceil(6 * size) x ceil(9 * size) pixels, lit cells in fg, the rest in bg
 * unless bg is transparent. Bytes without a glyph draw as blank cells, and so
 * does every byte until GlypharInit (or a first Glyphar) has filled the table. */
void GlypharCarac(SDL_Surface *surface, unsigned char c, int x, int y,
                  float size, _color fg, _color bg);

/* Writes one pixel in color if (x, y) lies on the surface. */
void GlypharPoint(SDL_Surface *surface, int x, int y, _color color);

#ifdef __cplusplus
}
#endif

#endif /* GLYPHAR_H */
