// glyphar-demo: draws eight sample texts into an 800 x 600 16-bit window once,
// then idles until the window is closed.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#endif

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

bool IsSet(const char *name)
{
    const char *value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

// SDL tries its video drivers in turn and ends with ones that show no
// window: libcaca's and aalib's text art, which take the terminal over (and
// exit the process when it has no known type), and SDL2's offscreen and
// dummy drivers. The demo asks for the window system's driver by name, so
// that it either opens a window or says why not; SDL_VIDEODRIVER, when set,
// is the user's choice and stands. Returns false, having said why, when
// there is no display at all.
bool ChooseWindowDriver()
{
#if defined(_WIN32) || defined(__APPLE__)
    return true;  // SDL's first driver there is the window system's
#else
    if (IsSet("SDL_VIDEODRIVER"))
        return true;
    if (IsSet("DISPLAY")) {
        setenv("SDL_VIDEODRIVER", "x11", 1);
        return true;
    }
    if (IsSet("WAYLAND_DISPLAY")) {
        setenv("SDL_VIDEODRIVER", "wayland", 1);
        return true;
    }
    std::fprintf(stderr, "glyphar-demo: no display: DISPLAY is not set "
                         "(SDL_VIDEODRIVER may name another video driver)\n");
    return false;
#endif
}

// Starts SDL's video. Xlib writes its own lines on stderr when a server
// refuses the connection; they are held back, and the one line printed on
// failure gives SDL's reason instead.
bool StartVideo()
{
#if defined(_WIN32)
    const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
#else
    std::fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    const int quiet = open("/dev/null", O_WRONLY);
    if (saved >= 0 && quiet >= 0)
        dup2(quiet, STDERR_FILENO);
    const bool started = SDL_Init(SDL_INIT_VIDEO) == 0;
    if (saved >= 0 && quiet >= 0)
        dup2(saved, STDERR_FILENO);
    if (quiet >= 0)
        close(quiet);
    if (saved >= 0)
        close(saved);
#endif
    if (started)
        return true;
    const char *driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && std::strcmp(driver, "x11") == 0 && IsSet("DISPLAY"))
        std::fprintf(stderr, "glyphar-demo: cannot open the display '%s' that DISPLAY names: %s\n",
                     std::getenv("DISPLAY"), SDL_GetError());
    else
        std::fprintf(stderr, "glyphar-demo: cannot start SDL's video: %s\n", SDL_GetError());
    return false;
}

}  // namespace

extern "C" int SDL_main(int argc, char *argv[])
{
    (void)argc;
    (void)argv;

    if (!ChooseWindowDriver() || !StartVideo())
        return 1;
    std::atexit(SDL_Quit);

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
