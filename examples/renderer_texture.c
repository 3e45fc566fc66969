/* renderer_texture: glyphar drawing straight through an SDL_Renderer, on SDL2
 * or SDL3. Every frame draws moving shapes with the renderer, a label that
 * follows each, a heads-up line with the frame count and a wrapped panel,
 * each text one GlypharRender call where it goes: no texture of the program's
 * own, no surface.
 *
 *   glyphar-example-renderer-sdl2 (or -sdl3) [--scale K] [--still]
 *       the window, K times as large and drawn at render scale K (default 1);
 *       --still holds the first frame. Once it shows, prints the window's
 *       pixel format and the renderer's name. SDL_RENDER_DRIVER chooses the
 *       renderer (software, opengl, opengles2, ...).
 *   glyphar-example-renderer-sdl2 --offscreen FORMAT OUT.ppm [--scale K]
 *       the first frame, drawn by SDL's software renderer on an offscreen
 *       surface of FORMAT, saved as PPM
 */
#include "window_common.h"

enum { kWidth = 640, kHeight = 360 };

static const _color kInk = {236, 240, 250};
static const _color kGold = {250, 200, 60};
static const _color kHud = {16, 18, 30};
static const _color kNoBackground = {-1, -1, -1};

struct Shape {
    const char *name;
    int w, h, speedX, speedY;
    Uint8 r, g, b;
};

static const struct Shape kShapes[] = {
    {"coral square", 48, 48, 3, 2, 240, 110, 90},
    {"teal bar", 120, 24, -2, 3, 60, 190, 170},
    {"violet block", 64, 40, 4, -3, 150, 110, 230},
};

/* Back and forth between 0 and span: a triangle wave of the frame. */
static int Bounce(int frame, int speed, int phase, int span)
{
    int at = (phase + frame * (speed < 0 ? -speed : speed)) % (2 * span);
    if (at < 0)
        at += 2 * span;
    return at <= span ? at : 2 * span - at;
}

static void FillRect(SDL_Renderer *r, int x, int y, int w, int h)
{
#if SDL_MAJOR_VERSION >= 3
    const SDL_FRect area = {(float)x, (float)y, (float)w, (float)h};
#else
    const SDL_Rect area = {x, y, w, h};
#endif
    SDL_RenderFillRect(r, &area);
}

/* A framed status box as a terminal grid, one GlypharRenderGrid call: box
 * drawing joins across cells; the bar fills with the frame count. */
static void DrawStatusGrid(SDL_Renderer *r, int frame)
{
    enum { kColumns = 24, kRows = 3 };
    static const char label[] = "frames";
    GlypharCell cells[kColumns * kRows];
    const int filled = frame % 13;
    int c, row;
    for (row = 0; row < kRows; ++row)
        for (c = 0; c < kColumns; ++c) {
            GlypharCell *cell = &cells[row * kColumns + c];
            const int edgeX = c == 0 || c == kColumns - 1, edgeY = row == 0 || row == kRows - 1;
            cell->fg = 0x8CA0D0;
            cell->bg = 0x101424;
            if (edgeX && edgeY)
                cell->codepoint =
                    row == 0 ? (c == 0 ? 0x256D : 0x256E) : (c == 0 ? 0x2570 : 0x256F);
            else if (edgeY)
                cell->codepoint = 0x2500;
            else if (edgeX)
                cell->codepoint = 0x2502;
            else if (c >= 2 && c < 2 + (int)sizeof label - 1)
                cell->codepoint = (uint32_t)label[c - 2];
            else if (c >= 9 && c < 9 + 13)
                cell->codepoint = c - 9 <= filled ? 0x2588 : 0x2591;
            else
                cell->codepoint = ' ';
            if (cell->codepoint == 0x2588 || cell->codepoint == 0x2591)
                cell->fg = 0xFAC83C;
        }
    GlypharRenderGrid(r, NULL, cells, kColumns, kRows, 380, 150, 1.5f);
}

static void DrawFrame(SDL_Renderer *r, int frame)
{
    static const char panel_text[] =
        "Each text here is one GlypharRender call: glyphar draws it into a texture "
        "of the renderer's own and copies it where it goes, texel for pixel, so "
        "the pixels are exactly those its surface calls draw.";
    const _rect panel_box = {150, 250, 340, 90};
    char hud[96];
    _rect panel;
    size_t i;
    SDL_SetRenderDrawColor(r, 24, 28, 44, 255);
    SDL_RenderClear(r);
    for (i = 0; i < sizeof kShapes / sizeof kShapes[0]; ++i) {
        const struct Shape *s = &kShapes[i];
        const int x = 10 + Bounce(frame, s->speedX, 70 * (int)i, kWidth - 20 - s->w);
        const int y = 40 + Bounce(frame, s->speedY, 50 * (int)i, 190 - s->h);
        SDL_SetRenderDrawColor(r, s->r, s->g, s->b, 255);
        FillRect(r, x, y, s->w, s->h);
        GlypharRender(r, NULL, s->name, (_rect){x, y + s->h + 3, 200, 10}, 1.0f, kInk,
                      kNoBackground, GLYPHAR_UTF8);
    }
    GlypharFontMeasure(NULL, panel_text, panel_box, 1.5f,
                       GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER | GLYPHAR_UTF8, &panel);
    SDL_SetRenderDrawColor(r, 52, 60, 92, 255);
    FillRect(r, panel.x - 8, panel.y - 8, panel.w + 16, panel.h + 16);
    GlypharRender(r, NULL, panel_text, panel_box, 1.5f, kInk, kNoBackground,
                  GLYPHAR_WRAP_WORDS | GLYPHAR_ALIGN_CENTER | GLYPHAR_UTF8);
    DrawStatusGrid(r, frame);
    snprintf(hud, sizeof hud, " glyphar through an SDL_Renderer  frame %d ", frame);
    GlypharRender(r, NULL, hud, (_rect){0, 4, kWidth, 20}, 2.0f, kGold, kHud,
                  GLYPHAR_ALIGN_CENTER | GLYPHAR_UTF8);
}

#if SDL_MAJOR_VERSION >= 3
#define SetScale(r, k) SDL_SetRenderScale((r), (float)(k), (float)(k))
#define FlushRenderer(r) SDL_FlushRenderer(r)
#else
#define SetScale(r, k) SDL_RenderSetScale((r), (float)(k), (float)(k))
#define FlushRenderer(r) SDL_RenderFlush(r)
#endif

static const char *RendererName(SDL_Renderer *r)
{
#if SDL_MAJOR_VERSION >= 3
    return SDL_GetRendererName(r);
#else
    SDL_RendererInfo info;
    return SDL_GetRendererInfo(r, &info) == 0 ? info.name : "unknown";
#endif
}

/* The format the window shows what the renderer draws in, exactly: on SDL3
 * the one its renderer lists first (it draws and presents in it), on SDL2
 * the window's own. */
static Uint32 ShownRendererFormat(SDL_Window *window, SDL_Renderer *renderer)
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

static int RunLoop(SDL_Window *window, SDL_Renderer *renderer, int still)
{
    int frame = 0, shown = 0;
    SDL_Event event;
    for (;;) {
        while (SDL_PollEvent(&event))
            if (IsQuit(&event))
                return 0;
        DrawFrame(renderer, frame);
        SDL_RenderPresent(renderer);
        if (!shown) {
            shown = 1;
            SayFormat(ShownRendererFormat(window, renderer));
            printf("renderer %s\n", RendererName(renderer));
            fflush(stdout);
        }
        if (still)
            SDL_WaitEventTimeout(NULL, 100);
        else
            ++frame;
        SDL_Delay(still ? 0 : 16);
    }
}

static int RunWindow(int scale, int still)
{
    SDL_Window *window;
    SDL_Renderer *renderer;
    int status;
    if (!INIT_OK(SDL_Init(SDL_INIT_VIDEO)))
        return Fail("SDL_Init");
    window = OpenWindow("glyphar through an SDL_Renderer", kWidth * scale, kHeight * scale);
#if SDL_MAJOR_VERSION >= 3
    renderer = window != NULL ? SDL_CreateRenderer(window, NULL) : NULL;
#else
    renderer = window != NULL ? SDL_CreateRenderer(window, -1, 0) : NULL;
#endif
    if (renderer != NULL)
        SetScale(renderer, scale);
    status = window == NULL     ? Fail("SDL_CreateWindow")
             : renderer == NULL ? Fail("SDL_CreateRenderer")
                                : RunLoop(window, renderer, still);
    if (renderer != NULL) {
        GlypharRenderForget(renderer); /* SDL2 cannot tell glyphar itself */
        SDL_DestroyRenderer(renderer);
    }
    if (window != NULL)
        SDL_DestroyWindow(window);
    SDL_Quit();
    return status;
}

/* The first frame through SDL's software renderer on a surface of FORMAT. */
static int DrawOffscreenFrame(const char *format_number, const char *path, int scale)
{
    const Uint32 format = (Uint32)strtoul(format_number, NULL, 10);
    SDL_Renderer *renderer;
    int status;
#if SDL_MAJOR_VERSION >= 3
    SDL_Surface *s = SDL_CreateSurface(kWidth * scale, kHeight * scale, (SDL_PixelFormat)format);
#else
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormat(0, kWidth * scale, kHeight * scale,
                                                    SDL_BITSPERPIXEL(format), format);
#endif
    if (s == NULL)
        return Fail("making the offscreen surface");
    renderer = SDL_CreateSoftwareRenderer(s);
    if (renderer == NULL) {
        FreeSurface(s);
        return Fail("SDL_CreateSoftwareRenderer");
    }
    SetScale(renderer, scale);
    DrawFrame(renderer, 0);
    FlushRenderer(renderer);
    status = WritePpm(s, path);
    GlypharRenderForget(renderer);
    SDL_DestroyRenderer(renderer);
    FreeSurface(s);
    return status;
}

static int Usage(void)
{
    fprintf(stderr, "usage: %s [--scale K] [--still] | --offscreen FORMAT OUT.ppm [--scale K]\n",
            program_name);
    return 2;
}

int main(int argc, char *argv[])
{
    int scale = 1, still = 0, i;
    const char *format = NULL, *out = NULL;
    program_name =
        SDL_MAJOR_VERSION >= 3 ? "glyphar-example-renderer-sdl3" : "glyphar-example-renderer-sdl2";
    for (i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--scale") == 0 && i + 1 < argc) {
            scale = atoi(argv[++i]);
            if (scale < 1 || scale > 4)
                return Usage();
        } else if (strcmp(argv[i], "--still") == 0) {
            still = 1;
        } else if (strcmp(argv[i], "--offscreen") == 0 && i + 2 < argc) {
            format = argv[++i];
            out = argv[++i];
        } else {
            return Usage();
        }
    }
    if (format != NULL)
        return DrawOffscreenFrame(format, out, scale);
    return RunWindow(scale, still);
}
