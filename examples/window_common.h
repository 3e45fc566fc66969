/* What the window examples share, on SDL2 and SDL3: their messages, the
 * events they answer, and the offscreen copy of their picture, which the
 * end-to-end tests compare with the window. */
#ifndef GLYPHAR_EXAMPLES_WINDOW_COMMON_H
#define GLYPHAR_EXAMPLES_WINDOW_COMMON_H

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "offscreen.h"

static const char *program_name = "glyphar-example";

static inline int Fail(const char *what)
{
    fprintf(stderr, "%s: %s failed: %s\n", program_name, what, SDL_GetError());
    return 1;
}

#if SDL_MAJOR_VERSION >= 3
#define INIT_OK(call) (call)
#define CALL_OK(call) (call)
#else
#define INIT_OK(call) ((call) == 0)
#define CALL_OK(call) ((call) == 0)
#endif

static inline int IsQuit(const SDL_Event *e)
{
#if SDL_MAJOR_VERSION >= 3
    return e->type == SDL_EVENT_QUIT;
#else
    return e->type == SDL_QUIT;
#endif
}

/* The window shows nothing it can keep: show the picture again. */
static inline int IsExposed(const SDL_Event *e)
{
#if SDL_MAJOR_VERSION >= 3
    return e->type == SDL_EVENT_WINDOW_EXPOSED || e->type == SDL_EVENT_WINDOW_RESIZED;
#else
    return e->type == SDL_WINDOWEVENT && (e->window.event == SDL_WINDOWEVENT_EXPOSED ||
                                          e->window.event == SDL_WINDOWEVENT_SIZE_CHANGED);
#endif
}

static inline int IsKeyDown(const SDL_Event *e)
{
#if SDL_MAJOR_VERSION >= 3
    return e->type == SDL_EVENT_KEY_DOWN;
#else
    return e->type == SDL_KEYDOWN;
#endif
}

static inline SDL_Window *OpenWindow(const char *title, int w, int h)
{
#if SDL_MAJOR_VERSION >= 3
    return SDL_CreateWindow(title, w, h, 0);
#else
    return SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, w, h, 0);
#endif
}

/* The format a window shows pixels drawn in `drawn` in, exactly: SDL3 shows
 * its window surface (and the software renderer's) as it is; SDL2 converts it
 * to the window's own format, which at 16 bits drops bits. */
static inline Uint32 ShownFormat(SDL_Window *window, Uint32 drawn)
{
#if SDL_MAJOR_VERSION >= 3
    (void)window;
    return drawn;
#else
    (void)drawn;
    return SDL_GetWindowPixelFormat(window);
#endif
}

/* Says the format the window's pixels are drawn in, for the tests. */
static inline void SayFormat(Uint32 format)
{
    printf("pixel format %u (%s)\n", (unsigned)format, SDL_GetPixelFormatName(format));
    fflush(stdout);
}

/* Each channel's bits as they are, left-aligned in a byte: what a capture of
 * the window gives. */
static inline Uint8 Channel(Uint32 value, Uint32 mask)
{
    int shift = 0, bits = 0;
    if (mask == 0)
        return 0;
    while (!((mask >> shift) & 1))
        ++shift;
    while ((mask >> (shift + bits)) & 1)
        ++bits;
    return (Uint8)(((value & mask) >> shift) << (8 - bits));
}

static inline int WritePpm(const SDL_Surface *s, const char *path)
{
#if SDL_MAJOR_VERSION >= 3
    const SDL_PixelFormatDetails *f = SDL_GetPixelFormatDetails(s->format);
    const int bytes = f->bytes_per_pixel;
    const Uint32 masks[3] = {f->Rmask, f->Gmask, f->Bmask};
#else
    const int bytes = s->format->BytesPerPixel;
    const Uint32 masks[3] = {s->format->Rmask, s->format->Gmask, s->format->Bmask};
#endif
    FILE *out = fopen(path, "wb");
    int x, y, k;
    if (out == NULL) {
        fprintf(stderr, "%s: cannot write %s\n", program_name, path);
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", s->w, s->h);
    for (y = 0; y < s->h; ++y)
        for (x = 0; x < s->w; ++x) {
            const Uint8 *p = (const Uint8 *)s->pixels + y * s->pitch + x * bytes;
            Uint32 value = 0;
            Uint8 rgb[3];
            memcpy(&value, p, (size_t)bytes);
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
            value >>= 8 * (4 - bytes);
#endif
            for (k = 0; k < 3; ++k)
                rgb[k] = Channel(value, masks[k]);
            fwrite(rgb, 1, 3, out);
        }
    return fclose(out) == 0 ? 0 : 1;
}

/* Draws the picture with draw on an offscreen surface of FORMAT (the number
 * the example printed) and saves it as PPM. */
static inline int DrawOffscreen(void (*draw)(SDL_Surface *), int w, int h, const char *format_number,
                         const char *path)
{
    const Uint32 format = (Uint32)strtoul(format_number, NULL, 10);
    int status;
#if SDL_MAJOR_VERSION >= 3
    SDL_Surface *s = SDL_CreateSurface(w, h, (SDL_PixelFormat)format);
#else
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, w, h, SDL_BITSPERPIXEL(format), format);
#endif
    if (s == NULL)
        return Fail("making the offscreen surface");
    draw(s);
    status = WritePpm(s, path);
    FreeSurface(s);
    return status;
}

#endif /* GLYPHAR_EXAMPLES_WINDOW_COMMON_H */
