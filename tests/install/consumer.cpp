// A C++17 program that uses an installed glyphar through find_package: draws
// a 'T' at size 2 and checks that its top bar is lit and its gap is not.
#include <cstdio>
#include <memory>

#include "Glyphar.h"

int main()
{
    std::unique_ptr<SDL_Surface, void (*)(SDL_Surface *)> s(
        SDL_CreateRGBSurface(SDL_SWSURFACE, 32, 32, 16, 0xF800, 0x07E0, 0x001F, 0), SDL_FreeSurface);
    if (!s) {
        std::fprintf(stderr, "consumer: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
        return 1;
    }
    Glyphar(s.get(), "T", _rect{0, 0, 32, 32}, 2.0f, _color{255, 255, 255}, _color{0, 0, 0});
    const Uint16 *pixels = static_cast<const Uint16 *>(s->pixels);
    const int stride = s->pitch / 2;
    const bool ok = pixels[1 * stride + 9] == SDL_MapRGB(s->format, 255, 255, 255) &&
                    pixels[1 * stride + 10] == SDL_MapRGB(s->format, 0, 0, 0);
    if (!ok) {
        std::fprintf(stderr, "consumer: the text was not drawn as expected\n");
        return 1;
    }
    std::puts("consumer (C++): ok");
    return 0;
}
