/* renderer_texture: glyphar for programs that draw with an SDL_Renderer, on
 * SDL2 or SDL3. A streaming texture as large as the window, in a format the
 * window shows exactly, is locked as a surface, a page of text is drawn into it
 * with glyphar, and it is unlocked and presented. The page is drawn again
 * only when its text changes (a key press counts); an exposed window is
 * presented again from the texture as it is.
 *
 *   glyphar-example-renderer-sdl2 (or -sdl3)   the window; prints the
 *                                              texture's pixel format
 *   glyphar-example-renderer-sdl2 --offscreen FORMAT OUT.ppm
 *                                              the first page drawn on an
 *                                              offscreen surface of FORMAT
 */
#include "window_common.h"

enum { kWidth = 640, kHeight = 360 };

static const _color kInk = {236, 240, 250};
static const _color kNight = {24, 28, 44};
static const _color kGold = {250, 200, 60};
static const _color kCoral = {240, 110, 90};
static const _color kPanel = {52, 60, 92};
static const _color kNoBackground = {-1, -1, -1};

static int presses = 0;  /* what the page says changes with it */

static void DrawPage(SDL_Surface *s)
{
    static const char paragraph[] =
        "A streaming texture is locked as a surface, glyphar writes the text "
        "into its pixels, and the renderer presents it: the same exact pixels "
        "as on any surface, at any size, with no font file and no texture per "
        "string. The page is drawn again only when its text changes.";
    char counter[64];
    const _rect whole = {0, 0, s->w, s->h};
    _rect panel;
    FillBox(s, whole, kNight);
    GlypharEx(s, "On an SDL_Renderer", (_rect){0, 14, whole.w, 40}, 4.0f, kGold, kNoBackground,
              GLYPHAR_ALIGN_CENTER);
    Glyphar(s, "Size 2.5: glyphar", (_rect){20, 70, whole.w, 30}, 2.5f, kInk, kNoBackground);
    Glyphar(s, "Size 1.5: 0123456789", (_rect){20, 100, whole.w, 20}, 1.5f, kCoral, kNoBackground);
    GlypharMesure(paragraph, (_rect){60, 140, 520, 140}, 2.0f,
                  GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER, &panel);
    panel.x -= 8;
    panel.y -= 8;
    panel.w += 16;
    panel.h += 16;
    FillBox(s, panel, kPanel);
    GlypharEx(s, paragraph, (_rect){60, 140, 520, 140}, 2.0f, kInk, kNoBackground,
              GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER);
    snprintf(counter, sizeof counter, "Keys pressed: %d", presses);
    GlypharEx(s, counter, (_rect){0, 330, whole.w - 20, 20}, 1.0f, kInk, kNoBackground,
              GLYPHAR_ALIGN_RIGHT);
}

/* Draws the page into the texture's pixels. */
static int DrawIntoTexture(SDL_Texture *texture)
{
    SDL_Surface *s = NULL;
    if (!CALL_OK(SDL_LockTextureToSurface(texture, NULL, &s)))
        return Fail("SDL_LockTextureToSurface");
    DrawPage(s);
    SDL_UnlockTexture(texture);
    return 0;
}

static int Show(SDL_Renderer *renderer, SDL_Texture *texture)
{
#if SDL_MAJOR_VERSION >= 3
    if (!SDL_RenderTexture(renderer, texture, NULL, NULL))
        return Fail("SDL_RenderTexture");
#else
    if (SDL_RenderCopy(renderer, texture, NULL, NULL) != 0)
        return Fail("SDL_RenderCopy");
#endif
    SDL_RenderPresent(renderer);
    return 0;
}

/* The texture format to draw in, which the window then shows exactly: on
 * SDL3 the one the renderer lists first (it presents from it without
 * converting), on SDL2 the window's own. */
static Uint32 TextureFormat(SDL_Window *window, SDL_Renderer *renderer)
{
#if SDL_MAJOR_VERSION >= 3
    const SDL_PixelFormat *formats = (const SDL_PixelFormat *)SDL_GetPointerProperty(
        SDL_GetRendererProperties(renderer), SDL_PROP_RENDERER_TEXTURE_FORMATS_POINTER, NULL);
    (void)window;
    return formats != NULL && formats[0] != SDL_PIXELFORMAT_UNKNOWN ? (Uint32)formats[0]
                                                                      : SDL_PIXELFORMAT_XRGB8888;
#else
    (void)renderer;
    return SDL_GetWindowPixelFormat(window);
#endif
}

static int RunLoop(SDL_Window *window, SDL_Renderer *renderer)
{
    const Uint32 format = TextureFormat(window, renderer);
    SDL_Texture *texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING,
                                             kWidth, kHeight);
    SDL_Event event;
    int status;
    if (texture == NULL)
        return Fail("SDL_CreateTexture");
    status = DrawIntoTexture(texture);
    if (status == 0)
        status = Show(renderer, texture);
    if (status == 0)
        SayFormat(format);
    while (status == 0 && SDL_WaitEvent(&event)) {
        if (IsQuit(&event))
            break;
        if (IsKeyDown(&event)) {
            ++presses;
            status = DrawIntoTexture(texture);
        }
        if (status == 0 && (IsKeyDown(&event) || IsExposed(&event)))
            status = Show(renderer, texture);
    }
    SDL_DestroyTexture(texture);
    return status;
}

static int RunWindow(void)
{
    SDL_Window *window;
    SDL_Renderer *renderer;
    int status;
    if (!INIT_OK(SDL_Init(SDL_INIT_VIDEO)))
        return Fail("SDL_Init");
    window = OpenWindow("glyphar on an SDL_Renderer", kWidth, kHeight);
#if SDL_MAJOR_VERSION >= 3
    renderer = window != NULL ? SDL_CreateRenderer(window, NULL) : NULL;
#else
    renderer = window != NULL ? SDL_CreateRenderer(window, -1, 0) : NULL;
#endif
    status = window == NULL ? Fail("SDL_CreateWindow")
             : renderer == NULL ? Fail("SDL_CreateRenderer")
                                : RunLoop(window, renderer);
    if (renderer != NULL)
        SDL_DestroyRenderer(renderer);
    if (window != NULL)
        SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

int main(int argc, char *argv[])
{
    program_name = SDL_MAJOR_VERSION >= 3 ? "glyphar-example-renderer-sdl3"
                                          : "glyphar-example-renderer-sdl2";
    if (argc == 1)
        return RunWindow();
    if (argc == 4 && strcmp(argv[1], "--offscreen") == 0)
        return DrawOffscreen(DrawPage, kWidth, kHeight, argv[2], argv[3]);
    fprintf(stderr, "usage: %s [--offscreen FORMAT OUT.ppm]\n", program_name);
    return 2;
}
