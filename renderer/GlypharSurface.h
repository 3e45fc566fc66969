// Surface access, private to the renderer: the one place that reads an
// SDL_Surface or calls SDL. Everything drawing needs is checked once per
// call; a surface that cannot be written safely yields nothing to draw on.
#ifndef GLYPHAR_SURFACE_H
#define GLYPHAR_SURFACE_H

#include "Glyphar.h"

#include <cstdint>

namespace glyphar {

struct Target {
    SDL_Surface *surface;  // for mapping colours
    uint8_t *pixels;
    int bytesPerPixel;  // 1 to 4
    int64_t pitch;      // bytes from one row to the next
    // The clip rectangle within the surface, half-open: nothing is written
    // outside it.
    int64_t left, top, right, bottom;
};

// False, and nothing to draw on, for a NULL surface, one without pixels, a
// packed bitmap, a pitch too short for the width or an empty clip rectangle.
bool OpenTarget(SDL_Surface *surface, Target *t);

inline uint8_t *PixelAddress(const Target &t, int64_t x, int64_t y)
{
    return t.pixels + y * t.pitch + x * t.bytesPerPixel;
}

inline bool IsTransparent(_color c)
{
    return c.r == -1 || c.g == -1 || c.b == -1;
}

// A colour as SDL_FillRect stores it: the mapped value's low bytesPerPixel
// bytes in the machine's byte order, kept as a word whose first
// bytesPerPixel bytes in memory are the pixel's, so that storing a pixel is
// one copy of those bytes, whatever the byte order.
uint32_t MapColor(const Target &t, _color c);

}  // namespace glyphar

#endif  // GLYPHAR_SURFACE_H
