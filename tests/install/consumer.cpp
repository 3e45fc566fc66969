// A C++17 program that uses an installed glyphar through find_package: draws
// a 'T' at size 2 and checks that its top bar is lit and its gap is not.
#include <cstdio>
#include <memory>

#include "Glyphar.h"

// The same calls under each SDL's own names.
#if SDL_MAJOR_VERSION >= 3
SDL_Surface *NewSurface565(int w, int h)
{
    return SDL_CreateSurface(w, h, SDL_PIXELFORMAT_RGB565);
}
Uint32 MapRGB(SDL_Surface *s, Uint8 r, Uint8 g, Uint8 b)
{
    return SDL_MapSurfaceRGB(s, r, g, b);
}
void FreeSurface(SDL_Surface *s)
{
    SDL_DestroySurface(s);
}
#else
SDL_Surface *NewSurface565(int w, int h)
{
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
}
Uint32 MapRGB(SDL_Surface *s, Uint8 r, Uint8 g, Uint8 b)
{
    return SDL_MapRGB(s->format, r, g, b);
}
void FreeSurface(SDL_Surface *s)
{
    SDL_FreeSurface(s);
}
#endif

int main()
{
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface *)> s(NewSurface565(32, 32), FreeSurface);
    if (!s) {
        std::fprintf(stderr, "consumer: cannot make a surface: %s\n", SDL_GetError());
        return 1;
    }
    Glyphar(s.get(), "T", _rect{0, 0, 32, 32}, 2.0f, _color{255, 255, 255}, _color{0, 0, 0});
    const Uint16 *pixels = static_cast<const Uint16 *>(s->pixels);
    const int stride = s->pitch / 2;
    const bool ok = pixels[1 * stride + 9] == MapRGB(s.get(), 255, 255, 255) &&
                    pixels[1 * stride + 10] == MapRGB(s.get(), 0, 0, 0);
    if (!ok) {
        std::fprintf(stderr, "consumer: the text was not drawn as expected\n");
        return 1;
    }
    std::puts("consumer (C++): ok");
    return 0;
}
