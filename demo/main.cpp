// glyphar-demo: draws eight sample texts into an 800 x 600 16-bit window once,
// then idles until the window is closed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <SDL.h>

#include "Glyphar.h"
#include "samples.h"

extern "C" int SDL_main(int argc, char *argv[]);

// Suspends the calling thread; the event loop polls instead of blocking.
void TempWait(unsigned int milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

namespace {

int Fail(const char *what)
{
    std::fprintf(stderr, "glyphar-demo: %s failed: %s\n", what, SDL_GetError());
    return 1;
}

// Without a window system SDL falls back to video drivers that show no
// window: libcaca's text art in the terminal, SDL2's offscreen surfaces. The
// demo would then run on unseen, so it takes them only when SDL_VIDEODRIVER
// asks for them by name.
bool FellBackToWindowlessDriver(char *name, int size)
{
    static const char *const kWindowless[] = {"caca", "aalib", "offscreen", "dummy"};
    if (std::getenv("SDL_VIDEODRIVER") != nullptr || SDL_VideoDriverName(name, size) == nullptr)
        return false;
    for (const char *windowless : kWindowless)
        if (std::strcmp(name, windowless) == 0)
            return true;
    return false;
}

}  // namespace

extern "C" int SDL_main(int argc, char *argv[])
{
    (void)argc;
    (void)argv;

    SDL_Init(SDL_INIT_VIDEO);  // a failure shows up as SDL_SetVideoMode's
    std::atexit(SDL_Quit);

    char driver[32];
    if (FellBackToWindowlessDriver(driver, sizeof driver)) {
        std::fprintf(stderr,
                     "glyphar-demo: no display: SDL fell back to its '%s' video driver, which "
                     "opens no window (set DISPLAY, or SDL_VIDEODRIVER=%s to use it anyway)\n",
                     driver, driver);
        return 1;
    }

    SDL_Surface *screen = SDL_SetVideoMode(800, 600, 16, SDL_DOUBLEBUF);
    if (screen == nullptr)
        return Fail("SDL_SetVideoMode");

    const bool mustLock = SDL_MUSTLOCK(screen);
    if (mustLock && SDL_LockSurface(screen) < 0)
        return Fail("SDL_LockSurface");
    DrawSamples(screen);
    if (mustLock)
        SDL_UnlockSurface(screen);
    SDL_Flip(screen);

    int quit = 0;
    while (!quit) {
        TempWait(10);
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type == SDL_QUIT)
                quit = 1;
    }
    return 0;
}

// SDL 1.2 on Linux has no start-up glue of its own; where its header has not
// renamed main to SDL_main, this entry stands in for it.
#ifndef main
int main(int argc, char *argv[])
{
    return SDL_main(argc, argv);
}
#endif
