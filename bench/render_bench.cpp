// glyphar-render-bench: text through an SDL_Renderer (SDL2 and SDL3 builds).
// Each frame is an 800 x 600 screen of size-1 text, rendered and read back
// (SDL_RenderReadPixels waits for the renderer to finish), in a window on
// SDL's software renderer and on OpenGL (Mesa's llvmpipe under Xvfb in `make
// bench`), or on the software renderer over an offscreen surface where there
// is no display. Against:
// - the streaming-texture way: the screen's text drawn by GlypharFontDraw
//   into a locked streaming texture of the screen, then copied;
// - SDL3's SDL_RenderDebugText, 8 x 8 cells, and SDL2_gfx's stringRGBA (its
//   8 x 8 font, a texture per character), compared per character drawn.
//
//   glyphar-render-bench [--markdown=FILE]
//
// Cases run interleaved, seven rounds; each figure is the median round.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "Glyphar.h"

#ifdef GLYPHAR_BENCH_SDL2_GFX
#include <SDL2_gfxPrimitives.h>
#endif

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kRounds = 7;
constexpr double kRoundSeconds = 0.25;

struct Case {
    std::string name;
    double characters;  // drawn per frame
    std::function<void()> frame;
    std::vector<double> perFrame = {};  // seconds, one a round
    double median() const
    {
        std::vector<double> v = perFrame;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

// A screen of text in cells of width x height: rows of printable ASCII.
std::string ScreenText(int width, int height, int *characters)
{
    const int columns = kWidth / width + (kWidth % width != 0), rows = kHeight / height + 1;
    std::string text;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            text += static_cast<char>('!' + (r * 7 + c) % 94);
        text += '\n';
    }
    *characters = columns * rows;
    return text;
}

#if SDL_MAJOR_VERSION >= 3
constexpr SDL_PixelFormat kFormat = SDL_PIXELFORMAT_XRGB8888;
void ReadBack(SDL_Renderer *r)
{
    SDL_Surface *pixels = SDL_RenderReadPixels(r, nullptr);
    SDL_DestroySurface(pixels);
}
void CopyWhole(SDL_Renderer *r, SDL_Texture *t)
{
    SDL_RenderTexture(r, t, nullptr, nullptr);
}
SDL_Window *MakeWindow()
{
    return SDL_CreateWindow("glyphar-render-bench", kWidth, kHeight, 0);
}
SDL_Renderer *MakeRenderer(SDL_Window *w, const char *name)
{
    return SDL_CreateRenderer(w, name);
}
const char *NameOf(SDL_Renderer *r)
{
    return SDL_GetRendererName(r);
}
#else
constexpr Uint32 kFormat = SDL_PIXELFORMAT_RGB888;
std::vector<uint8_t> readBack(kWidth *kHeight * 4);
void ReadBack(SDL_Renderer *r)
{
    SDL_RenderReadPixels(r, nullptr, kFormat, readBack.data(), kWidth * 4);
}
void CopyWhole(SDL_Renderer *r, SDL_Texture *t)
{
    SDL_RenderCopy(r, t, nullptr, nullptr);
}
SDL_Window *MakeWindow()
{
    return SDL_CreateWindow("glyphar-render-bench", SDL_WINDOWPOS_UNDEFINED,
                            SDL_WINDOWPOS_UNDEFINED, kWidth, kHeight, 0);
}
SDL_Renderer *MakeRenderer(SDL_Window *w, const char *name)
{
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, name);
    return SDL_CreateRenderer(w, -1, 0);
}
const char *NameOf(SDL_Renderer *r)
{
    static SDL_RendererInfo info;
    return SDL_GetRendererInfo(r, &info) == 0 ? info.name : "?";
}
#endif

void Clear(SDL_Renderer *r)
{
    SDL_SetRenderDrawColor(r, 0, 0, 40, 255);
    SDL_RenderClear(r);
}

// The cases on one renderer, for `label`.
std::vector<Case> CasesFor(SDL_Renderer *r, const std::string &label, SDL_Texture *streaming)
{
    static int glypharCharacters = 0, debugCharacters = 0;
    static const std::string glypharText = ScreenText(6, 9, &glypharCharacters);
    static const std::string debugText = ScreenText(8, 8, &debugCharacters);
    const _rect screen{0, 0, kWidth, kHeight};
    const _color ink{255, 255, 255}, paper{0, 0, 0}, none{-1, -1, -1};
    std::vector<Case> cases;
    cases.push_back({label + ": empty frame (clear, read back)", 0, [=] {
                         Clear(r);
                         ReadBack(r);
                     }});
    cases.push_back({label + ": GlypharRender, opaque", double(glypharCharacters), [=] {
                         Clear(r);
                         GlypharRender(r, nullptr, glypharText.c_str(), screen, 1, ink, paper, 0);
                         ReadBack(r);
                     }});
    cases.push_back({label + ": GlypharRender, transparent", double(glypharCharacters), [=] {
                         Clear(r);
                         GlypharRender(r, nullptr, glypharText.c_str(), screen, 1, ink, none, 0);
                         ReadBack(r);
                     }});
    cases.push_back(
        {label + ": streaming texture + GlypharFontDraw", double(glypharCharacters), [=] {
             Clear(r);
             SDL_Surface *s = nullptr;
#if SDL_MAJOR_VERSION >= 3
             if (!SDL_LockTextureToSurface(streaming, nullptr, &s))
                 return;
#else
                         if (SDL_LockTextureToSurface(streaming, nullptr, &s) != 0)
                             return;
#endif
             GlypharFontDraw(s, nullptr, glypharText.c_str(), screen, 1, ink, paper, 0);
             SDL_UnlockTexture(streaming);
             CopyWhole(r, streaming);
             ReadBack(r);
         }});
#if SDL_MAJOR_VERSION >= 3
    cases.push_back({label + ": SDL_RenderDebugText", double(debugCharacters), [=] {
                         Clear(r);
                         SDL_SetRenderDrawColor(r, 255, 255, 255, 255);
                         size_t start = 0;
                         for (int row = 0; start < debugText.size(); ++row) {
                             const size_t end = debugText.find('\n', start);
                             const std::string line = debugText.substr(start, end - start);
                             SDL_RenderDebugText(r, 0, static_cast<float>(8 * row), line.c_str());
                             start = end + 1;
                         }
                         ReadBack(r);
                     }});
#endif
#ifdef GLYPHAR_BENCH_SDL2_GFX
    cases.push_back({label + ": SDL2_gfx stringRGBA", double(debugCharacters), [=] {
                         Clear(r);
                         size_t start = 0;
                         for (int row = 0; start < debugText.size(); ++row) {
                             const size_t end = debugText.find('\n', start);
                             const std::string line = debugText.substr(start, end - start);
                             stringRGBA(r, 0, static_cast<Sint16>(8 * row), line.c_str(), 255, 255,
                                        255, 255);
                             start = end + 1;
                         }
                         ReadBack(r);
                     }});
#endif
    return cases;
}

void Run(std::vector<Case> &cases)
{
    for (Case &c : cases)
        for (int warm = 0; warm < 3; ++warm)
            c.frame();
    for (int round = 0; round < kRounds; ++round)
        for (Case &c : cases) {
            int frames = 0;
            const auto start = std::chrono::steady_clock::now();
            double elapsed = 0;
            do {
                c.frame();
                ++frames;
                elapsed =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            } while (elapsed < kRoundSeconds);
            c.perFrame.push_back(elapsed / frames);
        }
}

// The cases on SDL's software renderer over an offscreen surface, and on a
// window's OpenGL renderer where there is a display.
// The cases on one of SDL's renderers in a window of its own: the window's
// format for the streaming texture, as a program would choose it.
void MeasureOn(const char *driver, std::vector<Case> *all)
{
    SDL_Window *window = MakeWindow();
    SDL_Renderer *r = window != nullptr ? MakeRenderer(window, driver) : nullptr;
    if (r == nullptr) {
        std::fprintf(stderr, "glyphar-render-bench: no %s renderer (%s): left out\n", driver,
                     SDL_GetError());
    } else {
        const auto format = SDL_GetWindowPixelFormat(window);
        std::fprintf(stderr, "glyphar-render-bench: %s renderer, window format %s\n", NameOf(r),
                     SDL_GetPixelFormatName(format));
        SDL_Texture *streaming =
            SDL_CreateTexture(r, format, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight);
        std::vector<Case> cases = CasesFor(r, driver, streaming);
        Run(cases);
#ifdef GLYPHAR_BENCH_SDL2_GFX
        // SDL2_gfx keeps its characters' textures, made on the renderer it
        // first drew on, until the font is set: dropped while it lives.
        gfxPrimitivesSetFont(nullptr, 8, 8);
#endif
        all->insert(all->end(), cases.begin(), cases.end());
        GlypharRenderForget(r);
        SDL_DestroyRenderer(r);
    }
    if (window != nullptr)
        SDL_DestroyWindow(window);
}

// The software renderer over an offscreen surface, where there is no display.
void MeasureOffscreen(std::vector<Case> *all)
{
#if SDL_MAJOR_VERSION >= 3
    SDL_Surface *target = SDL_CreateSurface(kWidth, kHeight, kFormat);
#else
    SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 32, kFormat);
#endif
    SDL_Renderer *software = SDL_CreateSoftwareRenderer(target);
    SDL_Texture *streaming =
        SDL_CreateTexture(software, kFormat, SDL_TEXTUREACCESS_STREAMING, kWidth, kHeight);
    std::vector<Case> cases = CasesFor(software, "software (offscreen)", streaming);
    Run(cases);
    all->insert(all->end(), cases.begin(), cases.end());
    GlypharRenderForget(software);
    SDL_DestroyRenderer(software);
}

std::vector<Case> Measure(bool video)
{
    std::vector<Case> all;
    if (!video) {
        MeasureOffscreen(&all);
        return all;
    }
    MeasureOn("software", &all);
    MeasureOn("opengl", &all);
    return all;
}

// A case's cost, and its cost over the empty frame on the same renderer:
// what drawing the text adds.
const Case *Find(const std::vector<Case> &cases, const std::string &name)
{
    for (const Case &c : cases)
        if (c.name == name)
            return &c;
    return nullptr;
}

void Report(const std::vector<Case> &cases, FILE *out)
{
    std::fprintf(out,
                 "| SDL %d, frame of 800 x 600 | ms a frame | over the empty frame, ms | "
                 "characters | ns a character, over the empty frame |\n",
                 SDL_MAJOR_VERSION);
    std::fprintf(out, "|---|---:|---:|---:|---:|\n");
    for (const Case &c : cases) {
        const std::string renderer = c.name.substr(0, c.name.find(':'));
        const Case *empty = Find(cases, renderer + ": empty frame (clear, read back)");
        const double added = c.median() - (empty != nullptr ? empty->median() : 0);
        if (c.characters == 0)
            std::fprintf(out, "| %s | %.3f | | | |\n", c.name.c_str(), c.median() * 1e3);
        else
            std::fprintf(out, "| %s | %.3f | %.3f | %.0f | %.1f |\n", c.name.c_str(),
                         c.median() * 1e3, added * 1e3, c.characters, added / c.characters * 1e9);
    }
}

}  // namespace

int main(int argc, char **argv)
{
    const char *markdown = nullptr;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--markdown=", 11) == 0)
            markdown = argv[i] + 11;
#if SDL_MAJOR_VERSION >= 3
    const bool video = SDL_Init(SDL_INIT_VIDEO);
#else
    const bool video = SDL_Init(SDL_INIT_VIDEO) == 0;
#endif
    if (!video)
        std::fprintf(stderr, "glyphar-render-bench: no video (%s): software renderer only\n",
                     SDL_GetError());
    const std::vector<Case> cases = Measure(video);
    Report(cases, stdout);
    if (markdown != nullptr) {
        FILE *out = std::fopen(markdown, "a");
        if (out == nullptr) {
            std::fprintf(stderr, "glyphar-render-bench: cannot write %s\n", markdown);
            return 1;
        }
        std::fprintf(out, "\n");
        Report(cases, out);
        std::fclose(out);
    }
    SDL_Quit();
    return 0;
}
