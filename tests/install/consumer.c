/* A C99 program that uses an installed glyphar: draws a 'T' and checks that
 * its top bar is lit and the gap column after it is not, and that a font
 * that is not there gives a reason. */
#include <stdio.h>

#include "Glyphar.h"

static Uint16 pixel_at(const SDL_Surface *s, int x, int y)
{
    return ((const Uint16 *)s->pixels)[y * (s->pitch / 2) + x];
}

/* The same calls under each SDL's own names. */
#if SDL_MAJOR_VERSION >= 3
#define NEW_SURFACE_565(w, h) SDL_CreateSurface(w, h, SDL_PIXELFORMAT_RGB565)
#define MAP_RGB(s, r, g, b) SDL_MapSurfaceRGB(s, r, g, b)
#define FREE_SURFACE(s) SDL_DestroySurface(s)
#else
#define NEW_SURFACE_565(w, h) \
    SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0)
#define MAP_RGB(s, r, g, b) SDL_MapRGB((s)->format, r, g, b)
#define FREE_SURFACE(s) SDL_FreeSurface(s)
#endif

int main(int argc, char *argv[])
{
    const _rect box = {0, 0, 32, 16};
    const _color white = {255, 255, 255};
    const _color black = {0, 0, 0};
    SDL_Surface *s = NEW_SURFACE_565(32, 16);
    int ok;
    (void)argc;
    (void)argv;
    if (s == NULL) {
        fprintf(stderr, "consumer: cannot make a surface: %s\n", SDL_GetError());
        return 1;
    }
    char why[128] = "";
    Glyphar(s, "T", box, 1.0f, white, black);
    ok = pixel_at(s, 0, 0) == MAP_RGB(s, 255, 255, 255) && pixel_at(s, 5, 0) == MAP_RGB(s, 0, 0, 0);
    ok = ok && GlypharFontLoad("/nonexistent.psf.gz", why, sizeof why) == NULL && why[0] != '\0';
    FREE_SURFACE(s);
    if (!ok) {
        fprintf(stderr, "consumer: the text was not drawn as expected\n");
        return 1;
    }
    puts("consumer (C): ok");
    return 0;
}
