/* The few SDL calls the examples share, on SDL 1.2, SDL2 and SDL3: a 32-bit
 * surface, a filled rectangle, the picture saved as a BMP. */
#ifndef GLYPHAR_EXAMPLES_OFFSCREEN_H
#define GLYPHAR_EXAMPLES_OFFSCREEN_H

#include "Glyphar.h"

static inline SDL_Surface *NewSurface(int w, int h)
{
#if SDL_MAJOR_VERSION >= 3
    return SDL_CreateSurface(w, h, SDL_PIXELFORMAT_XRGB8888);
#else
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
#endif
}

static inline void FreeSurface(SDL_Surface *s)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_DestroySurface(s);
#else
    SDL_FreeSurface(s);
#endif
}

static inline void FillBox(SDL_Surface *s, _rect r, _color c)
{
    SDL_Rect area;
    area.x = r.x;
    area.y = r.y;
    area.w = r.w;
    area.h = r.h;
#if SDL_MAJOR_VERSION >= 3
    SDL_FillSurfaceRect(s, &area, SDL_MapSurfaceRGB(s, (Uint8)c.r, (Uint8)c.g, (Uint8)c.b));
#else
    SDL_FillRect(s, &area, SDL_MapRGB(s->format, (Uint8)c.r, (Uint8)c.g, (Uint8)c.b));
#endif
}

/* 0 on success, as SDL2 says it. */
static inline int SaveBMP(SDL_Surface *s, const char *path)
{
#if SDL_MAJOR_VERSION >= 3
    return SDL_SaveBMP(s, path) ? 0 : -1;
#else
    return SDL_SaveBMP(s, path);
#endif
}

#endif /* GLYPHAR_EXAMPLES_OFFSCREEN_H */
