/* sdl2_window: glyphar on SDL2. Opens a window, draws on its window surface
 * (whatever depth SDL2 gives it) texts at several sizes, a transparent text
 * over an opaque one and a wrapped, centred paragraph, and waits for the
 * window to be closed.
 *
 *   glyphar-example-sdl2                    the window; prints the window
 *                                           surface's pixel format
 *   glyphar-example-sdl2 --offscreen FORMAT OUT.ppm
 *                                           the same picture drawn on an
 *                                           offscreen surface of FORMAT (the
 *                                           number printed), saved as PPM
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <SDL.h>

#include "Glyphar.h"

enum { kWidth = 640, kHeight = 360 };

static const _color kInk = {16, 24, 48};
static const _color kPaper = {248, 244, 230};
static const _color kBand = {200, 40, 40};
static const _color kWhite = {255, 255, 255};
static const _color kGreen = {20, 160, 60};
static const _color kNoBackground = {-1, -1, -1};

static void Draw(SDL_Surface *s)
{
    static const char paragraph[] =
        "The same renderer and the same calls as on SDL 1.2: only the library "
        "you link changes. This paragraph is wrapped between words and centred.";
    const _rect whole = {0, 0, s->w, s->h};
    SDL_FillRect(s, NULL, SDL_MapRGB(s->format, (Uint8)kPaper.r, (Uint8)kPaper.g, (Uint8)kPaper.b));
    GlypharEx(s, "glyphar on SDL2", (_rect){0, 12, whole.w, 40}, 4.0f, kInk, kNoBackground,
              GLYPHAR_ALIGN_CENTER);
    Glyphar(s, "Size 3: 0123456789", (_rect){16, 64, whole.w, 40}, 3.0f, kInk, kNoBackground);
    Glyphar(s, "Size 2: ABCDEFGHIJKLM", (_rect){16, 100, whole.w, 40}, 2.0f, kInk, kNoBackground);
    Glyphar(s, "Size 1.5: nopqrstuvwxyz", (_rect){16, 124, whole.w, 40}, 1.5f, kInk, kNoBackground);
    Glyphar(s, "Size 1: (+-*/:;,.)", (_rect){16, 144, whole.w, 40}, 1.0f, kInk, kNoBackground);
    /* A transparent text laid over an opaque one. */
    Glyphar(s, "Opaque band", (_rect){16, 170, whole.w, 60}, 3.0f, kWhite, kBand);
    Glyphar(s, "transparent", (_rect){120, 180, whole.w, 60}, 3.0f, kGreen, kNoBackground);
    GlypharEx(s, paragraph, (_rect){120, 230, 400, 120}, 2.0f, kInk, kNoBackground,
              GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER);
}

static int Fail(const char *what)
{
    fprintf(stderr, "glyphar-example-sdl2: %s failed: %s\n", what, SDL_GetError());
    return 1;
}

/* Draws on the window surface, locked where SDL says it must be. */
static int Present(SDL_Window *window)
{
    SDL_Surface *s = SDL_GetWindowSurface(window);
    if (s == NULL)
        return Fail("SDL_GetWindowSurface");
    if (SDL_MUSTLOCK(s) && SDL_LockSurface(s) != 0)
        return Fail("SDL_LockSurface");
    Draw(s);
    if (SDL_MUSTLOCK(s))
        SDL_UnlockSurface(s);
    if (SDL_UpdateWindowSurface(window) != 0)
        return Fail("SDL_UpdateWindowSurface");
    return 0;
}

static int RunWindow(void)
{
    SDL_Window *window;
    SDL_Event event;
    int status;
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return Fail("SDL_Init");
    window = SDL_CreateWindow("glyphar on SDL2", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                              kWidth, kHeight, 0);
    if (window == NULL) {
        status = Fail("SDL_CreateWindow");
        SDL_Quit();
        return status;
    }
    status = Present(window);
    if (status == 0) {
        printf("window surface format %u (%s)\n", (unsigned)SDL_GetWindowPixelFormat(window),
               SDL_GetPixelFormatName(SDL_GetWindowPixelFormat(window)));
        fflush(stdout);
    }
    while (status == 0 && SDL_WaitEvent(&event)) {
        if (event.type == SDL_QUIT)
            break;
        /* A new or resized window surface must be drawn again. */
        if (event.type == SDL_WINDOWEVENT && (event.window.event == SDL_WINDOWEVENT_EXPOSED ||
                                              event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED))
            status = Present(window);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

/* Each channel's bits as they are, left-aligned in a byte: what a capture of
 * the window gives. */
static Uint8 Channel(Uint32 value, Uint32 mask, Uint8 shift, Uint8 loss)
{
    return (Uint8)(((value & mask) >> shift) << loss);
}

static int WritePpm(const SDL_Surface *s, const char *path)
{
    const SDL_PixelFormat *f = s->format;
    FILE *out = fopen(path, "wb");
    int x, y;
    if (out == NULL) {
        fprintf(stderr, "glyphar-example-sdl2: cannot write %s\n", path);
        return 1;
    }
    fprintf(out, "P6\n%d %d\n255\n", s->w, s->h);
    for (y = 0; y < s->h; ++y)
        for (x = 0; x < s->w; ++x) {
            const Uint8 *p = (const Uint8 *)s->pixels + y * s->pitch + x * f->BytesPerPixel;
            Uint32 value = 0;
            Uint8 rgb[3];
            memcpy(&value, p, f->BytesPerPixel);
#if SDL_BYTEORDER == SDL_BIG_ENDIAN
            value >>= 8 * (4 - f->BytesPerPixel);
#endif
            rgb[0] = Channel(value, f->Rmask, f->Rshift, f->Rloss);
            rgb[1] = Channel(value, f->Gmask, f->Gshift, f->Gloss);
            rgb[2] = Channel(value, f->Bmask, f->Bshift, f->Bloss);
            fwrite(rgb, 1, 3, out);
        }
    return fclose(out) == 0 ? 0 : 1;
}

static int RunOffscreen(const char *format_number, const char *path)
{
    const Uint32 format = (Uint32)strtoul(format_number, NULL, 10);
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight,
                                                    SDL_BITSPERPIXEL(format), format);
    int status;
    if (s == NULL)
        return Fail("SDL_CreateRGBSurfaceWithFormat");
    Draw(s);
    status = WritePpm(s, path);
    SDL_FreeSurface(s);
    return status;
}

int main(int argc, char *argv[])
{
    if (argc == 1)
        return RunWindow();
    if (argc == 4 && strcmp(argv[1], "--offscreen") == 0)
        return RunOffscreen(argv[2], argv[3]);
    fprintf(stderr, "usage: glyphar-example-sdl2 [--offscreen FORMAT OUT.ppm]\n");
    return 2;
}
