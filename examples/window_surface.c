/* window_surface: glyphar on a window's surface, on SDL2 or SDL3. Opens a
 * window, draws on its window surface (whatever depth SDL gives it) texts at
 * several sizes, a transparent text over an opaque one and a wrapped,
 * centred paragraph, and waits for the window to be closed.
 *
 *   glyphar-example-sdl2 (or -sdl3)         the window; prints the window
 *                                           surface's pixel format
 *   glyphar-example-sdl2 --offscreen FORMAT OUT.ppm
 *                                           the same picture drawn on an
 *                                           offscreen surface of FORMAT (the
 *                                           number printed), saved as PPM
 */
#include "window_common.h"

enum { kWidth = 640, kHeight = 360 };

static const _color kInk = {16, 24, 48};
static const _color kPaper = {248, 244, 230};
static const _color kBand = {200, 40, 40};
static const _color kWhite = {255, 255, 255};
static const _color kGreen = {20, 160, 60};
static const _color kNoBackground = {-1, -1, -1};

static void Draw(SDL_Surface *s)
{
    static const char paragraph[] =
        "The same renderer and the same calls as on SDL 1.2: only the library "
        "you link changes. This paragraph is wrapped between words and centred.";
    const _rect whole = {0, 0, s->w, s->h};
    FillBox(s, whole, kPaper);
    GlypharEx(s, SDL_MAJOR_VERSION >= 3 ? "glyphar on SDL3" : "glyphar on SDL2",
              (_rect){0, 12, whole.w, 40}, 4.0f, kInk, kNoBackground, GLYPHAR_ALIGN_CENTER);
    Glyphar(s, "Size 3: 0123456789", (_rect){16, 64, whole.w, 40}, 3.0f, kInk, kNoBackground);
    Glyphar(s, "Size 2: ABCDEFGHIJKLM", (_rect){16, 100, whole.w, 40}, 2.0f, kInk, kNoBackground);
    Glyphar(s, "Size 1.5: nopqrstuvwxyz", (_rect){16, 124, whole.w, 40}, 1.5f, kInk, kNoBackground);
    Glyphar(s, "Size 1: (+-*/:;,.)", (_rect){16, 144, whole.w, 40}, 1.0f, kInk, kNoBackground);
    /* A transparent text laid over an opaque one. */
    Glyphar(s, "Opaque band", (_rect){16, 170, whole.w, 60}, 3.0f, kWhite, kBand);
    Glyphar(s, "transparent", (_rect){120, 180, whole.w, 60}, 3.0f, kGreen, kNoBackground);
    GlypharEx(s, paragraph, (_rect){120, 230, 400, 120}, 2.0f, kInk, kNoBackground,
              GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER);
}

/* Draws on the window surface, locked where SDL says it must be; says the
 * surface's format the first time. */
static int Present(SDL_Window *window)
{
    static int said = 0;
    SDL_Surface *s = SDL_GetWindowSurface(window);
    if (s == NULL)
        return Fail("SDL_GetWindowSurface");
    if (SDL_MUSTLOCK(s) && !CALL_OK(SDL_LockSurface(s)))
        return Fail("SDL_LockSurface");
    Draw(s);
    if (SDL_MUSTLOCK(s))
        SDL_UnlockSurface(s);
    if (!CALL_OK(SDL_UpdateWindowSurface(window)))
        return Fail("SDL_UpdateWindowSurface");
#if SDL_MAJOR_VERSION >= 3
    if (!said)
        SayFormat(ShownFormat(window, (Uint32)s->format));
#else
    if (!said)
        SayFormat(ShownFormat(window, s->format->format));
#endif
    said = 1;
    return 0;
}

static int RunWindow(void)
{
    SDL_Window *window;
    SDL_Event event;
    int status;
    if (!INIT_OK(SDL_Init(SDL_INIT_VIDEO)))
        return Fail("SDL_Init");
    window = OpenWindow("glyphar on a window surface", kWidth, kHeight);
    if (window == NULL) {
        status = Fail("SDL_CreateWindow");
        SDL_Quit();
        return status;
    }
    status = Present(window);
    while (status == 0 && SDL_WaitEvent(&event)) {
        if (IsQuit(&event))
            break;
        /* A new or resized window surface must be drawn again. */
        if (IsExposed(&event))
            status = Present(window);
    }
    SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

int main(int argc, char *argv[])
{
    program_name = SDL_MAJOR_VERSION >= 3 ? "glyphar-example-sdl3" : "glyphar-example-sdl2";
    if (argc == 1)
        return RunWindow();
    if (argc == 4 && strcmp(argv[1], "--offscreen") == 0)
        return DrawOffscreen(Draw, kWidth, kHeight, argv[2], argv[3]);
    fprintf(stderr, "usage: %s [--offscreen FORMAT OUT.ppm]\n", program_name);
    return 2;
}
