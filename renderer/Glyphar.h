/*
 * glyphar: a self-contained bitmap text renderer for SDL software surfaces.
 *
 * The font (6 x 9 cells) is built in; text is laid out in a box and written
 * straight into the surface's pixels, at 8, 15, 16, 24 or 32 bits per pixel.
 * By default a text is bytes, one per cell, drawn with the original 73
 * glyphs; with GLYPHAR_UTF8 it is UTF-8, one character per cell, drawn with
 * the whole font of 219 glyphs (see GlypharCodePoint).
 *
 *   Glyphar(screen, "Hello", box, 2.0f, white, red);
 *
 * Lock the surface first when SDL_MUSTLOCK says so, and present it afterwards.
 * Every call is safe with any input: a NULL surface or text, a surface that
 * cannot be written safely, or a size that gives empty cells draws nothing,
 * and pixels outside the surface's clip rectangle are never written.
 *
 * The same header serves SDL 1.2, SDL2 and SDL3 (the glyphar, glyphar-sdl2
 * and glyphar-sdl3 builds). It compiles as C99 and as C++; the functions have
 * C linkage.
 */
#ifndef GLYPHAR_H
#define GLYPHAR_H

#include <stddef.h>
#include <stdint.h>

/* SDL3 keeps its headers under SDL3/; the glyphar-sdl3 package defines
 * GLYPHAR_SDL3 for its users. */
#if defined(GLYPHAR_SDL3)
#include <SDL3/SDL.h>
#else
#include <SDL.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A layout box in pixels. x, y is the top-left corner of the first cell; w and
 * h bound how many columns and rows are used. They do not clip the drawing:
 * the surface's clip rectangle does. */
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
 * h / trunc(9 * size) + 1 rows (the first row is always used). A size of 1
 * gives 6 x 9-pixel cells; a size below 1/6, or not positive and finite,
 * draws nothing. */
void Glyphar(SDL_Surface *surface, const char *text, _rect box, float size,
             _color fg, _color bg);

/* Flags for GlypharEx and GlypharMesure. */
#define GLYPHAR_WRAP_WORDS   1 /* break rows between words where one fits */
#define GLYPHAR_ALIGN_CENTER 2 /* centre each row in the box's width */
#define GLYPHAR_ALIGN_RIGHT  4 /* move each row to the box's right edge */
#define GLYPHAR_UTF8         8 /* the text is UTF-8: one cell per character, the whole font */

/* Glyphar with flags: GlypharEx(..., 0) draws exactly what Glyphar draws.
 * Other bits are ignored. With GLYPHAR_UTF8, rows, wrapping (a word is a run
 * of characters other than the space and the newline; U+00A0 joins words)
 * and alignment count characters where they count bytes otherwise. */
void GlypharEx(SDL_Surface *surface, const char *text, _rect box, float size,
               _color fg, _color bg, int flags);

/* Lays the text out exactly as GlypharEx would, drawing nothing. Returns how
 * many bytes of the text the rows took (strlen(text) when all of it fits), so
 * text + n starts the next page; with GLYPHAR_UTF8 a page never ends inside
 * a character. If painted is not NULL it receives the
 * smallest rectangle holding every pixel an opaque drawing paints, unclipped;
 * {box.x, box.y, 0, 0} when no cell is placed. */
size_t GlypharMesure(const char *text, _rect box, float size, int flags,
                     _rect *painted);

/* Fills the glyph table on its first call; later calls return at once. */
void GlypharInit(void);

/* Draws one character with its top-left pixel at (x, y): a block of
 * ceil(6 * size) x ceil(9 * size) pixels for any positive size, lit cells in
 * fg, the rest in bg unless bg is transparent. Bytes without a glyph draw as
 * blank cells, and so does every byte until GlypharInit (or a first Glyphar)
 * has filled the table. */
void GlypharCarac(SDL_Surface *surface, unsigned char c, int x, int y,
                  float size, _color fg, _color bg);

/* The whole font, drawn from code points: all of printable ASCII and
 * Latin-1 (U+0020 to U+007E, U+00A0 to U+00FF), the 27 characters that
 * Windows-1252 adds (euro sign, curly quotes, dashes, ...) and U+FFFD, the
 * replacement glyph. GLYPHAR_UTF8 text draws from it: a character the font
 * lacks, and each maximal subpart of an ill-formed sequence, draws the
 * replacement glyph; control characters draw blank.
 *
 * GlypharCodePoint draws one character as GlypharCarac draws a byte; it
 * fills the glyph table itself. GlypharHasGlyph returns 1 when the whole font
 * has a glyph of its own for the code point (U+FFFD included), 0 for
 * controls and for characters drawn with the replacement glyph. Box
 * drawing, block elements and Braille are drawn too (see GlypharGrid). */
void GlypharCodePoint(SDL_Surface *surface, uint32_t codepoint, int x, int y,
                      float size, _color fg, _color bg);
int GlypharHasGlyph(uint32_t codepoint);

/* Writes one pixel in color if (x, y) lies inside the surface's clip
 * rectangle. */
void GlypharPoint(SDL_Surface *surface, int x, int y, _color color);

/* Your own bitmap fonts: PSF (versions 1 and 2, the Linux console's fonts,
 * /usr/share/consolefonts on Debian), BDF, PCF (X11's, /usr/share/fonts/X11)
 * and GNU Unifont's .hex (/usr/share/unifont), plain or gzip-compressed, of
 * any cell (or box holding every glyph's ink) up to 64 x 128 pixels and up to
 * 65,536 glyphs. BDF and PCF fonts of registry ISO10646-1, ISO8859-1 or
 * ISO646.1991-IRV (or none) are read; others are refused with a reason. A font is immutable once
 * loaded and may be used from any number of threads at once; freeing it
 * while another thread still draws with it is the caller's error.
 *
 *   char why[256];
 *   GlypharFont *font = GlypharFontLoad("Lat15-Terminus16.psf.gz", why, sizeof why);
 *   if (font == NULL) fprintf(stderr, "%s\n", why);
 *   GlypharFontDraw(screen, font, "Hello", box, 1.0f, ink, paper, GLYPHAR_UTF8);
 *
 * Every call taking a font takes NULL for the built-in one, and then does
 * exactly what the calls above do (GlypharFontDraw(s, NULL, ...) is
 * GlypharEx(s, ...)). A loaded font reads its text as UTF-8 with
 * GLYPHAR_UTF8 and, without it, each byte as the code point of the same
 * value (Latin-1). A cell font's cells are trunc(width * size) x
 * trunc(height * size) apart and ceil(width * size) x ceil(height * size)
 * large, as the built-in font's are with 6 and 9. A font whose glyphs have
 * advances of their own (proportional, or 8 and 16 wide) moves the pen by
 * trunc(advance * size), its rows trunc(line * size) apart, each glyph's ink
 * where the X server puts it (it may reach past its block, ceil(advance *
 * size) x ceil(line * size)); an opaque background paints a row's blocks,
 * then its ink. A character the font lacks draws its U+FFFD (a BDF or PCF
 * font's DEFAULT_CHAR where it has none), or a hollow box; control
 * characters draw blank. */
typedef struct GlypharFont GlypharFont;
typedef struct GlypharFontMetrics {
    int width, height; /* the cell, in pixels at size 1; or the widest advance and the line */
    int glyphs;        /* the font's own glyphs */
} GlypharFontMetrics;

/* NULL when the font cannot be loaded, with one line in why (when not NULL,
 * always NUL-terminated, cut to why_size bytes) saying what is wrong and
 * where: the path and the system's reason for a file that cannot be read,
 * the field, its value and the byte offset for a malformed font. The
 * library prints nothing. */
GlypharFont *GlypharFontLoad(const char *path, char *why, size_t why_size);
GlypharFont *GlypharFontLoadMemory(const void *data, size_t size, char *why, size_t why_size);
/* Frees a loaded font; NULL is ignored. */
void GlypharFontFree(GlypharFont *font);
/* 6, 9 and 219 for the built-in font. */
GlypharFontMetrics GlypharFontGetMetrics(const GlypharFont *font);

void GlypharFontDraw(SDL_Surface *surface, const GlypharFont *font, const char *text, _rect box,
                     float size, _color fg, _color bg, int flags);
size_t GlypharFontMeasure(const GlypharFont *font, const char *text, _rect box, float size,
                          int flags, _rect *painted);
void GlypharFontCodePoint(SDL_Surface *surface, const GlypharFont *font, uint32_t codepoint,
                          int x, int y, float size, _color fg, _color bg);
/* 1 when the font has a glyph of its own for the code point; 0 for control
 * characters and for characters drawn with the replacement. */
int GlypharFontHasGlyph(const GlypharFont *font, uint32_t codepoint);

/* Box drawing (U+2500 to U+257F: light, heavy and double lines, dashes,
 * rounded corners, diagonals), block elements (U+2580 to U+259F: halves,
 * eighths, quadrants, shades) and Braille patterns (U+2800 to U+28FF) are
 * drawn by glyphar itself in every font, the built-in one included, at the
 * size each cell is drawn: lines meet at the cell's centre lines and run to
 * its edges, light strokes max(1, round(width * size / 8)) pixels wide and
 * heavy ones twice that, so that neighbouring cells join at any size;
 * complementary blocks split the cell on the same lines, and shades are
 * patterns on the surface's own pixel grid, so they tile. A font's own
 * glyphs for them are not used, and the HasGlyph calls return 1 for them. */

/* Terminal grids: a screen of cells, each with its own character and
 * colours, in one call. Colours are 0xRRGGBB (the top byte is ignored); a
 * bg of GLYPHAR_TRANSPARENT leaves the pixels under the cell's unlit ones. */
typedef struct GlypharCell {
    uint32_t codepoint; /* 0: an empty cell, its background only */
    uint32_t fg, bg;
} GlypharCell;

#define GLYPHAR_TRANSPARENT 0xFFFFFFFFu

/* Draws columns x rows cells, row by row (cells[r * columns + c]): cell
 * (c, r) exactly as GlypharFontCodePoint draws its code point at
 * (x + c * trunc(width * size), y + r * trunc(height * size)), in order, so
 * that where blocks overlap at fractional sizes the later cell wins. NULL
 * pointers, a dimension below 1, a grid whose size in bytes overflows or a
 * size that gives empty cells draw nothing. */
void GlypharGrid(SDL_Surface *surface, const GlypharFont *font, const GlypharCell *cells,
                 int columns, int rows, int x, int y, float size);

/* Draws only what changed since `previous` (the grid the surface shows, of
 * the same dimensions): the cells that differ from it and, where blocks
 * overlap, the parts of their neighbours over them, leaving exactly the
 * pixels GlypharGrid would. A NULL previous draws the whole grid. */
void GlypharGridUpdate(SDL_Surface *surface, const GlypharFont *font, const GlypharCell *cells,
                       const GlypharCell *previous, int columns, int rows, int x, int y,
                       float size);

#if SDL_MAJOR_VERSION >= 2
/* Through an SDL_Renderer (SDL2 and SDL3 builds): the same arguments as the
 * surface calls, drawn into the renderer's current target inside its
 * viewport and clip rectangle, in one draw call per text or grid. Each text
 * is drawn by the surface calls into a streaming texture of the renderer's
 * own and copied texel for pixel, so at a render scale of 1 (and no logical
 * presentation) the pixels are those the surface calls write into a surface
 * of the target's size; at an integer scale k (render scale, or an
 * integer-scaled logical presentation) those they write at size k * size,
 * at k * (x, y); at any other scale the text is drawn at the logical size
 * and the renderer scales it, nearest pixel. Draw colour, blend mode and
 * target are left as they were; fg, and bg where it is not transparent,
 * cover what is under them whatever the blend mode. */
void GlypharRender(SDL_Renderer *renderer, const GlypharFont *font, const char *text, _rect box,
                   float size, _color fg, _color bg, int flags);
void GlypharRenderCodePoint(SDL_Renderer *renderer, const GlypharFont *font, uint32_t codepoint,
                            int x, int y, float size, _color fg, _color bg);
void GlypharRenderGrid(SDL_Renderer *renderer, const GlypharFont *font, const GlypharCell *cells,
                       int columns, int rows, int x, int y, float size);
/* Releases the texture glyphar keeps for a renderer; the next call makes it
 * anew. On SDL2 call it before SDL_DestroyRenderer, which glyphar cannot
 * see; on SDL3 the renderer releases it itself when destroyed. NULL and
 * renderers glyphar never drew on are ignored. */
void GlypharRenderForget(SDL_Renderer *renderer);
#endif

#ifdef __cplusplus
}
#endif

#endif /* GLYPHAR_H */
