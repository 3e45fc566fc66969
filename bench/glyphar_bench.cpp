// glyphar-bench: glyphar against the cost of the pixels themselves and
// against the libraries SDL 1.2 programs otherwise use for text, all on one
// 800 x 600 16-bit 5-6-5 software surface.
//
// The machine is noisy, so the cases run interleaved and repeated, and the
// report compares medians taken in the same run:
//
//   glyphar-bench [--markdown=FILE] [Google Benchmark flags]

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <SDL.h>

#include "Glyphar.h"
#include "samples.h"

#ifdef GLYPHAR_BENCH_SDL_GFX
#include <SDL_gfxPrimitives.h>
#endif
#ifdef GLYPHAR_BENCH_SDL_TTF
#include <SDL_ttf.h>
#endif

namespace {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kCols = 134, kRows = 67;  // size-1 cells on the screen
constexpr _color kBlack = {0, 0, 0}, kWhite = {255, 255, 255};
constexpr _color kTransparent = {-1, -1, -1};
constexpr _rect kScreenBox = {0, 0, kWidth, kHeight};

SDL_Surface *Screen()
{
    static SDL_Surface *screen =
        SDL_CreateRGBSurface(SDL_SWSURFACE, kWidth, kHeight, 16, 0xF800, 0x07E0, 0x001F, 0);
    return screen;
}

void ClearScreen()
{
    SDL_FillRect(Screen(), nullptr, SDL_MapRGB(Screen()->format, 255, 255, 255));
}

// One row of a full screen: the glyph set in a mixed order, and some bytes
// without a glyph, which draw as blank cells.
std::string Row(int row)
{
    static const char kMix[] = "Taille 0123456789 : +-*/;,. () ABCDEFGHIJKLMNOPQRSTUVWXYZ "
                               "abcdefghijklmnopqrstuvwxyz ! Le renard brun saute.";
    const size_t n = sizeof kMix - 1;
    std::string text;
    for (int col = 0; col < kCols; ++col)
        text += kMix[(static_cast<size_t>(row) * 7 + col) % n];
    return text;
}

// The whole screen as one text: rows of 134 cells wrap by themselves.
const std::string &FullScreenText()
{
    static const std::string text = [] {
        std::string all;
        for (int row = 0; row < kRows; ++row)
            all += Row(row);
        return all;
    }();
    return text;
}

void BM_Floor(benchmark::State &state)
{
    SDL_Surface *s = Screen();
    ClearScreen();
    Uint16 *pixels = static_cast<Uint16 *>(s->pixels);
    const int stride = s->pitch / 2;
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                pixels[y * stride + x] = static_cast<Uint16>(SDL_MapRGB(s->format, 0, 0, 0));
        benchmark::ClobberMemory();
    }
}

// The full-screen text, black on bg, once per iteration.
void DrawFullScreen(benchmark::State &state, float size, _color bg)
{
    ClearScreen();
    for (auto _ : state) {
        Glyphar(Screen(), FullScreenText().c_str(), kScreenBox, size, kBlack, bg);
        benchmark::ClobberMemory();
    }
}

void BM_GlypharOpaque(benchmark::State &state)
{
    DrawFullScreen(state, 1.0f, kWhite);
}

void BM_GlypharTransparent(benchmark::State &state)
{
    DrawFullScreen(state, 1.0f, kTransparent);
}

void BM_GlypharSize4(benchmark::State &state)
{
    DrawFullScreen(state, 4.0f, kWhite);
}

void BM_GlypharDemoTexts(benchmark::State &state)
{
    ClearScreen();
    for (auto _ : state) {
        DrawSamples(Screen());
        benchmark::ClobberMemory();
    }
}

#ifdef GLYPHAR_BENCH_SDL_GFX
// SDL_gfx's 8 x 8 font, the same characters row by row (it draws strokes
// only, like a transparent background).
void BM_SdlGfxString(benchmark::State &state)
{
    ClearScreen();
    std::vector<std::string> rows;
    for (int row = 0; row < kRows; ++row)
        rows.push_back(Row(row));
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row)
            stringRGBA(Screen(), 0, static_cast<Sint16>(row * 9), rows[row].c_str(), 0, 0, 0, 255);
        benchmark::ClobberMemory();
    }
}
#endif

#ifdef GLYPHAR_BENCH_SDL_TTF
// SDL_ttf: each line rendered solid (strokes only, on a colour key) and
// blitted, with DejaVu Sans Mono at 9 px.
void BM_SdlTtfSolid(benchmark::State &state)
{
    TTF_Font *font = TTF_OpenFont(GLYPHAR_BENCH_FONT, 9);
    if (font == nullptr) {
        state.SkipWithError("cannot open DejaVu Sans Mono");
        return;
    }
    ClearScreen();
    std::vector<std::string> rows;
    for (int row = 0; row < kRows; ++row)
        rows.push_back(Row(row));
    const SDL_Color black = {0, 0, 0, 0};
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row) {
            SDL_Surface *line = TTF_RenderText_Solid(font, rows[row].c_str(), black);
            SDL_Rect at = {0, static_cast<Sint16>(row * 9), 0, 0};
            SDL_BlitSurface(line, nullptr, Screen(), &at);
            SDL_FreeSurface(line);
        }
        benchmark::ClobberMemory();
    }
    TTF_CloseFont(font);
}
#endif

// Keeps the median of every case while printing as usual.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;  // microseconds of CPU time
    std::string cpu;

    bool ReportContext(const Context &context) override
    {
        cpu = std::to_string(context.cpu_info.num_cpus) + " cores at " +
              std::to_string(static_cast<int>(context.cpu_info.cycles_per_second / 1e6)) + " MHz";
        return ConsoleReporter::ReportContext(context);
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medians[run.run_name.function_name] = run.GetAdjustedCPUTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string CpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown CPU";
}

std::string Today()
{
    char buf[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(buf, sizeof buf, "%Y-%m-%d", std::gmtime(&now));
    return buf;
}

struct Ratio {
    const char *what;
    const char *numerator;
    const char *denominator;
    const char *target;
};

void WriteMarkdown(const MedianReporter &r, const std::string &path)
{
    std::FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "glyphar-bench: cannot write %s\n", path.c_str());
        return;
    }
    std::fprintf(out, "# Benchmarks\n\n");
    std::fprintf(out, "Made by `make bench-docs` (`bench/report.sh`) on %s: %s, %s.\n", Today().c_str(),
                 CpuModel().c_str(), r.cpu.c_str());
    std::fprintf(out,
                 "All cases draw on one 800 x 600 16-bit 5-6-5 software surface; they ran "
                 "interleaved in random order, repeated, in one process. Times are medians of "
                 "CPU time per frame; ratios are between medians of the same run.\n\n");
    std::fprintf(out, "| case | what it draws | median (µs) |\n|---|---|---:|\n");
    const struct {
        const char *name;
        const char *what;
    } cases[] = {
        {"BM_Floor", "one `SDL_MapRGB` and one 16-bit store per pixel, 800 x 600"},
        {"BM_GlypharOpaque", "134 x 67 cells at size 1, black on white"},
        {"BM_GlypharTransparent", "the same, transparent background"},
        {"BM_GlypharSize4", "the same text at size 4 (34 x 17 cells), opaque"},
        {"BM_GlypharDemoTexts", "the demo's eight texts"},
        {"BM_SdlGfxString", "SDL_gfx `stringRGBA`, the same characters, 67 rows"},
        {"BM_SdlTtfSolid", "SDL_ttf `TTF_RenderText_Solid` + `SDL_BlitSurface`, 67 lines, "
                           "DejaVu Sans Mono 9 px"},
    };
    for (const auto &c : cases) {
        auto it = r.medians.find(c.name);
        if (it != r.medians.end())
            std::fprintf(out, "| %s | %s | %.0f |\n", c.name + 3, c.what, it->second);
    }
    const Ratio ratios[] = {
        {"opaque text against the floor", "BM_GlypharOpaque", "BM_Floor", "at most 1.15"},
        {"SDL_gfx against transparent text", "BM_SdlGfxString", "BM_GlypharTransparent",
         "at least 3"},
        {"SDL_ttf against transparent text", "BM_SdlTtfSolid", "BM_GlypharTransparent",
         "about 1 or more"},
    };
    std::fprintf(out, "\n| ratio | value | target |\n|---|---:|---|\n");
    for (const Ratio &ratio : ratios) {
        auto n = r.medians.find(ratio.numerator), d = r.medians.find(ratio.denominator);
        if (n != r.medians.end() && d != r.medians.end() && d->second > 0)
            std::fprintf(out, "| %s | %.2f | %s |\n", ratio.what, n->second / d->second, ratio.target);
    }
    std::fclose(out);
    std::printf("glyphar-bench: wrote %s\n", path.c_str());
}

}  // namespace

BENCHMARK(BM_Floor)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlypharOpaque)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlypharTransparent)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlypharSize4)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GlypharDemoTexts)->Unit(benchmark::kMicrosecond);
#ifdef GLYPHAR_BENCH_SDL_GFX
BENCHMARK(BM_SdlGfxString)->Unit(benchmark::kMicrosecond);
#endif
#ifdef GLYPHAR_BENCH_SDL_TTF
BENCHMARK(BM_SdlTtfSolid)->Unit(benchmark::kMicrosecond);
#endif

int main(int argc, char **argv)
{
    // Interleaved repetitions by default; flags on the command line win.
    std::vector<char *> args(argv, argv + argc);
    std::string markdown;
    args.erase(std::remove_if(args.begin() + 1, args.end(),
                              [&](char *a) {
                                  if (std::strncmp(a, "--markdown=", 11) != 0)
                                      return false;
                                  markdown = a + 11;
                                  return true;
                              }),
               args.end());
    static char repetitions[] = "--benchmark_repetitions=15";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    static char minTime[] = "--benchmark_min_time=0.1";
    args.insert(args.begin() + 1, {repetitions, interleave, aggregates, minTime});
    int n = static_cast<int>(args.size());
    benchmark::Initialize(&n, args.data());
    if (benchmark::ReportUnrecognizedArguments(n, args.data()))
        return 1;

    GlypharInit();
#ifdef GLYPHAR_BENCH_SDL_TTF
    if (TTF_Init() < 0) {
        std::fprintf(stderr, "glyphar-bench: TTF_Init failed: %s\n", SDL_GetError());
        return 1;
    }
#endif
    if (Screen() == nullptr) {
        std::fprintf(stderr, "glyphar-bench: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
        return 1;
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!markdown.empty())
        WriteMarkdown(reporter, markdown);
    benchmark::Shutdown();
    return 0;
}
