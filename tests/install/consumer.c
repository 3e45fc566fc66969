/* A C99 program that uses an installed glyphar: draws a 'T' and checks that
 * its top bar is lit and the gap column after it is not. */
#include <stdio.h>

#include "Glyphar.h"

static Uint16 pixel_at(const SDL_Surface *s, int x, int y)
{
    return ((const Uint16 *)s->pixels)[y * (s->pitch / 2) + x];
}

int main(int argc, char *argv[])
{
    const _rect box = {0, 0, 32, 16};
    const _color white = {255, 255, 255};
    const _color black = {0, 0, 0};
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 16, 16, 0xF800, 0x07E0, 0x001F, 0);
    int ok;
    (void)argc;
    (void)argv;
    if (s == NULL) {
        fprintf(stderr, "consumer: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
        return 1;
    }
    Glyphar(s, "T", box, 1.0f, white, black);
    ok = pixel_at(s, 0, 0) == SDL_MapRGB(s->format, 255, 255, 255) &&
         pixel_at(s, 5, 0) == SDL_MapRGB(s->format, 0, 0, 0);
    SDL_FreeSurface(s);
    if (!ok) {
        fprintf(stderr, "consumer: the text was not drawn as expected\n");
        return 1;
    }
    puts("consumer (C): ok");
    return 0;
}
