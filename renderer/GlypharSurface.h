// Surface access, private to the renderer: the one place that reads an
// SDL_Surface or calls SDL. Everything drawing needs is checked once per
// call; a surface that cannot be written safely yields nothing to draw on.
#ifndef GLYPHAR_SURFACE_H
#define GLYPHAR_SURFACE_H

#include "Glyphar.h"

#include <algorithm>
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

#if SDL_MAJOR_VERSION >= 3

// SDL3 describes a surface's format by value. Formats of 8 to 32 bits that
// store whole bytes per pixel are written; packed bitmaps, FOURCC (YUV)
// formats and 10-bit or floating-point channels, which SDL_MapSurfaceRGB
// cannot describe as one stored value, yield nothing to draw on.
inline int BytesPerPixelOf(const SDL_Surface *surface)
{
    const SDL_PixelFormat format = surface->format;
    if (SDL_ISPIXELFORMAT_FOURCC(format) || SDL_ISPIXELFORMAT_10BIT(format) ||
        SDL_ISPIXELFORMAT_FLOAT(format))
        return 0;
    const SDL_PixelFormatDetails *details = SDL_GetPixelFormatDetails(format);
    if (details == nullptr || details->bits_per_pixel < 8 || details->bits_per_pixel > 32 ||
        details->bytes_per_pixel != (details->bits_per_pixel + 7) / 8)
        return 0;
    return details->bytes_per_pixel;
}

inline SDL_Rect ClipRectOf(SDL_Surface *surface)
{
    SDL_Rect clip;
    if (!SDL_GetSurfaceClipRect(surface, &clip))
        clip = SDL_Rect{0, 0, 0, 0};
    return clip;
}

#else

// Packed bitmaps (below 8 bits) have no byte per pixel to write; the byte
// count must be the one the depth implies, or rows would be misread.
inline int BytesPerPixelOf(const SDL_Surface *surface)
{
    const SDL_PixelFormat *format = surface->format;
    if (format == nullptr || format->BitsPerPixel < 8 || format->BitsPerPixel > 32 ||
        format->BytesPerPixel != (format->BitsPerPixel + 7) / 8)
        return 0;
    return format->BytesPerPixel;
}

inline SDL_Rect ClipRectOf(SDL_Surface *surface)
{
    return surface->clip_rect;
}

#endif

// False, and nothing to draw on, for a NULL surface, one without pixels, a
// packed bitmap, a pitch too short for the width or an empty clip rectangle.
// Inline, as every call's first step: a single character costs little more.
inline bool OpenTarget(SDL_Surface *surface, Target *t)
{
    if (surface == nullptr || surface->pixels == nullptr)
        return false;
    t->surface = surface;
    t->pixels = static_cast<uint8_t *>(surface->pixels);
    t->bytesPerPixel = BytesPerPixelOf(surface);
    t->pitch = surface->pitch;
    const int64_t width = surface->w, height = surface->h;
    // A pitch too short for the width would write into the next row and,
    // on the last one, past the buffer.
    if (t->bytesPerPixel == 0 || width <= 0 || height <= 0 || t->pitch < width * t->bytesPerPixel)
        return false;
    const SDL_Rect clip = ClipRectOf(surface);
    t->left = std::max<int64_t>(clip.x, 0);
    t->top = std::max<int64_t>(clip.y, 0);
    t->right = std::min<int64_t>(int64_t{clip.x} + clip.w, width);
    t->bottom = std::min<int64_t>(int64_t{clip.y} + clip.h, height);
    return t->left < t->right && t->top < t->bottom;
}

inline uint8_t *PixelAddress(const Target &t, int64_t x, int64_t y)
{
    return t.pixels + y * t.pitch + x * t.bytesPerPixel;
}

inline bool IsTransparent(_color c)
{
    return c.r == -1 || c.g == -1 || c.b == -1;
}

#if SDL_MAJOR_VERSION >= 3

inline Uint32 MapRGB(SDL_Surface *surface, Uint8 r, Uint8 g, Uint8 b)
{
    return SDL_MapSurfaceRGB(surface, r, g, b);
}

#else

// SDL_MapRGB's own rule for formats without a palette, without the call:
// a character grid maps two colours per cell.
inline Uint32 MapRGB(SDL_Surface *surface, Uint8 r, Uint8 g, Uint8 b)
{
    const SDL_PixelFormat *f = surface->format;
    if (f->palette != nullptr)
        return SDL_MapRGB(f, r, g, b);
    return static_cast<Uint32>(r >> f->Rloss) << f->Rshift |
           static_cast<Uint32>(g >> f->Gloss) << f->Gshift |
           static_cast<Uint32>(b >> f->Bloss) << f->Bshift | f->Amask;
}

#endif

// A format's channels, for mapping many colours without a call each (a
// character grid maps two a cell): where the surface has no palette, SDL's
// own rule, each channel's top bits at its place and alpha opaque.
struct Channels {
    bool direct;  // false: map through SDL (a palette)
    uint8_t loss[3], shift[3];
    uint32_t alpha;
};

inline Channels ChannelsOf(const Target &t)
{
    Channels c{};
#if SDL_MAJOR_VERSION >= 3
    const SDL_PixelFormatDetails *f = SDL_GetPixelFormatDetails(t.surface->format);
    c.direct = f != nullptr && !SDL_ISPIXELFORMAT_INDEXED(t.surface->format);
    if (!c.direct)
        return c;
    const Uint8 bits[3] = {f->Rbits, f->Gbits, f->Bbits};
    for (int k = 0; k < 3; ++k)
        c.loss[k] = static_cast<uint8_t>(8 - bits[k]);
#else
    const SDL_PixelFormat *f = t.surface->format;
    c.direct = f->palette == nullptr;
    c.loss[0] = f->Rloss;
    c.loss[1] = f->Gloss;
    c.loss[2] = f->Bloss;
#endif
    c.shift[0] = f->Rshift;
    c.shift[1] = f->Gshift;
    c.shift[2] = f->Bshift;
    c.alpha = f->Amask;
    return c;
}

// A colour as SDL_FillRect stores it: the mapped value's low bytesPerPixel
// bytes in the machine's byte order, kept as a word whose first
// bytesPerPixel bytes in memory are the pixel's, so that storing a pixel is
// one copy of those bytes, whatever the byte order.
inline uint32_t StoredPixel(const Target &t, Uint32 value)
{
    const int unused = 8 * (4 - t.bytesPerPixel);
    const uint32_t pixel = value & (0xFFFFFFFFu >> unused);
    return SDL_BYTEORDER == SDL_LIL_ENDIAN ? pixel : pixel << unused;
}

inline uint32_t MapColor(const Target &t, _color c)
{
    return StoredPixel(t, MapRGB(t.surface, static_cast<Uint8>(c.r & 0xFF),
                                 static_cast<Uint8>(c.g & 0xFF), static_cast<Uint8>(c.b & 0xFF)));
}

// A colour 0xRRGGBB through a format without a palette.
inline uint32_t MapDirect(const Target &t, const Channels &c, uint32_t rgb)
{
    const uint32_t value = ((rgb >> 16 & 0xFF) >> c.loss[0]) << c.shift[0] |
                           ((rgb >> 8 & 0xFF) >> c.loss[1]) << c.shift[1] |
                           ((rgb & 0xFF) >> c.loss[2]) << c.shift[2] | c.alpha;
    return StoredPixel(t, value);
}

}  // namespace glyphar

#endif  // GLYPHAR_SURFACE_H
