// Built with ThreadSanitizer: several threads make the process's first
// glyphar calls at the same moment, each on a surface of its own, some with
// one loaded font that they share; then each thread's picture must equal the
// one drawn again afterwards on one thread. Any data race is reported by the
// sanitizer and fails the run.

#include <atomic>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "Glyphar.h"
#include "sdl_compat.h"

namespace {

constexpr int kThreads = 8;
constexpr _color kInk = {255, 255, 255}, kPaper = {10, 20, 30};
GlypharFont *sharedFont = nullptr;  // loaded before the threads start

SDL_Surface *NewSurface(int bpp)
{
    if (bpp == 16)
        return SDL_CreateRGBSurface(SDL_SWSURFACE, 160, 40, 16, 0xF800, 0x07E0, 0x001F, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, 160, 40, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
}

// Each thread draws in its own way: text, wrapped text, or one character at
// a time, at a size of its own.
void Draw(SDL_Surface *s, int which)
{
    const float size = 1.0f + 0.5f * static_cast<float>(which % 4);
    if (which % 2 == 1) {
        GlypharFontDraw(s, sharedFont, "\xD0\x96 shared font \xCE\xB1", {0, 0, 160, 40},
                        size / 2, kInk, kPaper, GLYPHAR_UTF8 | GLYPHAR_WRAP_WORDS);
        GlypharFontCodePoint(s, sharedFont, 0x416, 100, 20, size, kInk, kPaper);
        return;
    }
    switch (which % 3) {
    case 0:
        Glyphar(s, "Fond transparent 0123", {0, 0, 160, 40}, size, kInk, kPaper);
        break;
    case 1:
        GlypharEx(s, "several words in a box", {0, 0, 100, 40}, size, kInk, kPaper,
                  GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER);
        break;
    default:
        GlypharInit();
        for (int i = 0; i < 10; ++i)
            GlypharCarac(s, static_cast<unsigned char>('A' + i), 8 * i, 0, size, kInk, kPaper);
    }
}

// A PSF2 font made here, 8 x 16, glyph g for code point g up to U+04FF.
std::vector<uint8_t> MakeFont()
{
    const uint32_t glyphs = 0x500;
    const uint32_t header[8] = {0x864AB572, 0, 32, 1, glyphs, 16, 16, 8};
    std::vector<uint8_t> font;
    for (uint32_t word : header)
        for (int b = 0; b < 4; ++b)
            font.push_back(static_cast<uint8_t>(word >> 8 * b));
    for (uint32_t g = 0; g < glyphs; ++g)
        for (uint32_t r = 0; r < 16; ++r)
            font.push_back(static_cast<uint8_t>(g * 7 + r * 13));
    for (uint32_t g = 0; g < glyphs; ++g) {
        if (g < 0x80) {
            font.push_back(static_cast<uint8_t>(g));
        } else {
            font.push_back(static_cast<uint8_t>(0xC0 | g >> 6));
            font.push_back(static_cast<uint8_t>(0x80 | (g & 0x3F)));
        }
        font.push_back(0xFF);
    }
    return font;
}

bool SamePixels(const SDL_Surface *a, const SDL_Surface *b)
{
    return std::memcmp(a->pixels, b->pixels, static_cast<size_t>(a->pitch) * a->h) == 0;
}

}  // namespace

int main()
{
    char why[256];
    const std::vector<uint8_t> font = MakeFont();
    sharedFont = GlypharFontLoadMemory(font.data(), font.size(), why, sizeof why);
    if (sharedFont == nullptr) {
        std::fprintf(stderr, "glyphar-threads: %s\n", why);
        return 1;
    }
    std::vector<SDL_Surface *> surfaces, again;
    for (int i = 0; i < kThreads; ++i) {
        surfaces.push_back(NewSurface(i % 2 ? 16 : 32));
        again.push_back(NewSurface(i % 2 ? 16 : 32));
        if (surfaces.back() == nullptr || again.back() == nullptr) {
            std::fprintf(stderr, "glyphar-threads: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
            return 1;
        }
    }

    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.emplace_back([&, i] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            Draw(surfaces[i], i);
        });
    for (std::thread &t : threads)
        t.join();

    int failures = 0;
    for (int i = 0; i < kThreads; ++i) {
        Draw(again[i], i);
        if (!SamePixels(surfaces[i], again[i])) {
            std::fprintf(stderr, "glyphar-threads: thread %d drew a different picture\n", i);
            ++failures;
        }
        SDL_FreeSurface(surfaces[i]);
        SDL_FreeSurface(again[i]);
    }
    GlypharFontFree(sharedFont);
    std::printf("glyphar-threads: %d threads, first calls at once: %s\n", kThreads,
                failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
