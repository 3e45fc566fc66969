// The few SDL calls the tests make, on SDL 1.2, SDL2 and SDL3 alike. SDL3
// renamed or reshaped them; under it they are given their SDL2 forms here,
// and the calls that need the surface itself (mapping through its palette,
// its clip rectangle) are small helpers on every SDL.
#ifndef GLYPHAR_TESTS_SDL_COMPAT_H
#define GLYPHAR_TESTS_SDL_COMPAT_H

#include "Glyphar.h"

#if SDL_MAJOR_VERSION >= 3

constexpr Uint32 SDL_SWSURFACE = 0;

inline SDL_Surface *SDL_CreateRGBSurface(Uint32, int w, int h, int bpp, Uint32 r, Uint32 g,
                                         Uint32 b, Uint32 a)
{
    return SDL_CreateSurface(w, h, SDL_GetPixelFormatForMasks(bpp, r, g, b, a));
}

inline SDL_Surface *SDL_CreateRGBSurfaceFrom(void *pixels, int w, int h, int bpp, int pitch,
                                             Uint32 r, Uint32 g, Uint32 b, Uint32 a)
{
    return SDL_CreateSurfaceFrom(w, h, SDL_GetPixelFormatForMasks(bpp, r, g, b, a), pixels,
                                 pitch);
}

inline void SDL_FreeSurface(SDL_Surface *s)
{
    SDL_DestroySurface(s);
}

inline int SDL_FillRect(SDL_Surface *s, const SDL_Rect *r, Uint32 color)
{
    return SDL_FillSurfaceRect(s, r, color) ? 0 : -1;
}

inline void SDL_SetClipRect(SDL_Surface *s, const SDL_Rect *r)
{
    SDL_SetSurfaceClipRect(s, r);
}

inline int SDL_RenderFlush(SDL_Renderer *r)
{
    return SDL_FlushRenderer(r) ? 0 : -1;
}

inline int SDL_RenderSetScale(SDL_Renderer *r, float x, float y)
{
    return SDL_SetRenderScale(r, x, y) ? 0 : -1;
}

inline int SDL_RenderSetViewport(SDL_Renderer *r, const SDL_Rect *v)
{
    return SDL_SetRenderViewport(r, v) ? 0 : -1;
}

inline int SDL_RenderSetClipRect(SDL_Renderer *r, const SDL_Rect *c)
{
    return SDL_SetRenderClipRect(r, c) ? 0 : -1;
}

#endif

namespace glyphar_test {

// A colour as the surface maps it, through its palette where it has one.
inline Uint32 MapSurface(SDL_Surface *s, Uint8 r, Uint8 g, Uint8 b)
{
#if SDL_MAJOR_VERSION >= 3
    return SDL_MapSurfaceRGB(s, r, g, b);
#else
    return SDL_MapRGB(s->format, r, g, b);
#endif
}

inline void SurfaceRGB(SDL_Surface *s, Uint32 pixel, Uint8 *r, Uint8 *g, Uint8 *b)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_GetRGB(pixel, SDL_GetPixelFormatDetails(s->format), SDL_GetSurfacePalette(s), r, g, b);
#else
    SDL_GetRGB(pixel, s->format, r, g, b);
#endif
}

inline SDL_Rect ClipOf(SDL_Surface *s)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_Rect clip;
    SDL_GetSurfaceClipRect(s, &clip);
    return clip;
#else
    return s->clip_rect;
#endif
}

// Sets a palettised surface's 256 colours.
inline void SetPalette(SDL_Surface *s, const SDL_Color *colors)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_Palette *palette = SDL_GetSurfacePalette(s);
    if (palette == nullptr)
        palette = SDL_CreateSurfacePalette(s);
    SDL_SetPaletteColors(palette, colors, 0, 256);
#elif SDL_MAJOR_VERSION >= 2
    SDL_SetPaletteColors(s->format->palette, colors, 0, 256);
#else
    SDL_SetColors(s, const_cast<SDL_Color *>(colors), 0, 256);
#endif
}

}  // namespace glyphar_test

#endif  // GLYPHAR_TESTS_SDL_COMPAT_H
