// glyphar-bench: glyphar against the cost of the pixels themselves (SDL's
// own fill) and against the libraries SDL 1.2 programs otherwise use for
// text, on 800 x 600 software surfaces of 16 and 32 bits.
//
// The machine is noisy, so the cases run interleaved and repeated, and the
// report compares medians taken in the same run:
//
//   glyphar-bench [--markdown=FILE] [Google Benchmark flags]

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <malloc.h>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <SDL.h>

#include "Glyphar.h"
#include "GlypharWriters.h"
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

constexpr int kWidth4k = 3840, kHeight4k = 2160;

SDL_Surface *MakeScreen(int bpp, int w = kWidth, int h = kHeight)
{
    if (bpp == 32)
        return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0);
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0);
}

SDL_Surface *Screen(int bpp = 16)
{
    static SDL_Surface *screen16 = MakeScreen(16);
    static SDL_Surface *screen32 = MakeScreen(32);
    return bpp == 32 ? screen32 : screen16;
}

// A 3840 x 2160 32-bit surface, past every cache.
SDL_Surface *Screen4k()
{
    static SDL_Surface *screen = MakeScreen(32, kWidth4k, kHeight4k);
    return screen;
}

void ClearScreen(int bpp = 16)
{
    SDL_FillRect(Screen(bpp), nullptr, SDL_MapRGB(Screen(bpp)->format, 255, 255, 255));
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

// The full-screen text as UTF-8 with one character in three accented: the
// same cells, a third of them two bytes long.
const std::string &FullScreenAccented()
{
    static const std::string text = [] {
        static const char *const kAccented[] = {"\xC3\xA9", "\xC3\xA0", "\xC3\xA7",
                                                "\xC3\xBC", "\xC3\x89", "\xC3\x96",
                                                "\xC3\xB1", "\xC3\x9F"};
        std::string all;
        const std::string &ascii = FullScreenText();
        for (size_t i = 0; i < ascii.size(); ++i)
            all += i % 3 == 1 ? std::string(kAccented[i / 3 % 8]) : std::string(1, ascii[i]);
        return all;
    }();
    return text;
}

// The floor: SDL's own fill of the whole surface with one colour.
void Floor(benchmark::State &state, int bpp)
{
    SDL_Surface *s = Screen(bpp);
    const Uint32 black = SDL_MapRGB(s->format, 0, 0, 0);
    for (auto _ : state) {
        SDL_FillRect(s, nullptr, black);
        benchmark::ClobberMemory();
    }
}

void BM_Floor16(benchmark::State &state) { Floor(state, 16); }
void BM_Floor32(benchmark::State &state) { Floor(state, 32); }

// The other floor: memset of the surface's bytes, all the memory a screen of
// text must write.
void Memset(benchmark::State &state, SDL_Surface *s)
{
    const size_t bytes = static_cast<size_t>(s->pitch) * s->h;
    for (auto _ : state) {
        std::memset(s->pixels, 0, bytes);
        benchmark::ClobberMemory();
    }
}

void BM_Memset16(benchmark::State &state) { Memset(state, Screen(16)); }
void BM_Memset32(benchmark::State &state) { Memset(state, Screen(32)); }
void BM_Memset4k32(benchmark::State &state) { Memset(state, Screen4k()); }

// The full-screen text, black on bg, once per iteration.
void DrawFullScreen(benchmark::State &state, int bpp, float size, _color bg,
                    const std::string &text = FullScreenText(), int flags = 0)
{
    ClearScreen(bpp);
    for (auto _ : state) {
        GlypharEx(Screen(bpp), text.c_str(), kScreenBox, size, kBlack, bg, flags);
        benchmark::ClobberMemory();
    }
}

void BM_Opaque16(benchmark::State &state) { DrawFullScreen(state, 16, 1.0f, kWhite); }
void BM_Transparent16(benchmark::State &state) { DrawFullScreen(state, 16, 1.0f, kTransparent); }
void BM_Opaque32(benchmark::State &state) { DrawFullScreen(state, 32, 1.0f, kWhite); }
void BM_Transparent32(benchmark::State &state) { DrawFullScreen(state, 32, 1.0f, kTransparent); }
void BM_Size2Opaque16(benchmark::State &state) { DrawFullScreen(state, 16, 2.0f, kWhite); }
void BM_Size4Opaque16(benchmark::State &state) { DrawFullScreen(state, 16, 4.0f, kWhite); }
void BM_Utf8Ascii16(benchmark::State &state)
{
    DrawFullScreen(state, 16, 1.0f, kWhite, FullScreenText(), GLYPHAR_UTF8);
}
void BM_Utf8Accented16(benchmark::State &state)
{
    DrawFullScreen(state, 16, 1.0f, kWhite, FullScreenAccented(), GLYPHAR_UTF8);
}

// A loaded console font, once per process; the bench stops where one is
// missing (console-setup-linux and fonts-spleen).
const GlypharFont *Font(const char *file)
{
    static std::map<std::string, GlypharFont *> fonts;
    GlypharFont *&font = fonts[file];
    if (font == nullptr) {
        char why[256];
        const std::string path =
            file[0] == '/' ? std::string(file) : std::string("/usr/share/consolefonts/") + file;
        font = GlypharFontLoad(path.c_str(), why, sizeof why);
        if (font == nullptr) {
            std::fprintf(stderr, "glyphar-bench: %s\n", why);
            std::exit(1);
        }
    }
    return font;
}

// A full screen of size-1 text in a loaded font: the same characters, as
// many rows as the screen holds.
void DrawFontScreen(benchmark::State &state, const char *file, int bpp, _color bg)
{
    const GlypharFont *font = Font(file);
    ClearScreen(bpp);
    for (auto _ : state) {
        GlypharFontDraw(Screen(bpp), font, FullScreenText().c_str(), kScreenBox, 1.0f, kBlack, bg,
                        0);
        benchmark::ClobberMemory();
    }
}

constexpr char kTerminus[] = "Lat15-Terminus16.psf.gz";
constexpr char kSpleen[] = "spleen-16x32.psfu.gz";

template <const char *File, int Bpp, bool Opaque>
void FontScreen(benchmark::State &state)
{
    DrawFontScreen(state, File, Bpp, Opaque ? kWhite : kTransparent);
}

// Fonts with advances of their own: a proportional face, and Unifont's
// Chinese, a screen of each.
constexpr char kHelvetica[] = "/usr/share/fonts/X11/75dpi/helvR12.pcf.gz";
constexpr char kUnifont[] = "/usr/share/unifont/unifont.hex";

// 38 rows of 50 Chinese characters, as UTF-8.
const std::string &ChineseScreenText()
{
    static const std::string text = [] {
        std::string all;
        for (uint32_t k = 0; k < 50 * 38; ++k) {
            const uint32_t c = 0x4E00 + (k * 37) % 0x5000;
            all += static_cast<char>(0xE0 | c >> 12);
            all += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            all += static_cast<char>(0x80 | (c & 0x3F));
        }
        return all;
    }();
    return text;
}

template <int Bpp, bool Opaque>
void HelveticaScreen(benchmark::State &state)
{
    DrawFontScreen(state, kHelvetica, Bpp, Opaque ? kWhite : kTransparent);
}

template <int Bpp, bool Opaque>
void UnifontScreen(benchmark::State &state)
{
    const GlypharFont *font = Font(kUnifont);
    ClearScreen(Bpp);
    for (auto _ : state) {
        GlypharFontDraw(Screen(Bpp), font, ChineseScreenText().c_str(), kScreenBox, 1.0f, kBlack,
                        Opaque ? kWhite : kTransparent, GLYPHAR_UTF8);
        benchmark::ClobberMemory();
    }
}

constexpr auto &BM_Helvetica16 = HelveticaScreen<16, true>;
constexpr auto &BM_HelveticaTransparent16 = HelveticaScreen<16, false>;
constexpr auto &BM_Helvetica32 = HelveticaScreen<32, true>;
constexpr auto &BM_HelveticaTransparent32 = HelveticaScreen<32, false>;
constexpr auto &BM_Unifont16 = UnifontScreen<16, true>;
constexpr auto &BM_UnifontTransparent16 = UnifontScreen<16, false>;
constexpr auto &BM_Unifont32 = UnifontScreen<32, true>;
constexpr auto &BM_UnifontTransparent32 = UnifontScreen<32, false>;

// Loading a font from its file, and freeing it.
void LoadFont(benchmark::State &state, const char *path)
{
    for (auto _ : state) {
        char why[256];
        GlypharFont *font = GlypharFontLoad(path, why, sizeof why);
        if (font == nullptr) {
            state.SkipWithError(why);
            return;
        }
        GlypharFontFree(font);
    }
}

void BM_LoadUnifont(benchmark::State &state) { LoadFont(state, kUnifont); }
void BM_LoadConsoleFont(benchmark::State &state)
{
    LoadFont(state, "/usr/share/consolefonts/Lat15-Terminus16.psf.gz");
}

constexpr auto &BM_Terminus16 = FontScreen<kTerminus, 16, true>;
constexpr auto &BM_TerminusTransparent16 = FontScreen<kTerminus, 16, false>;
constexpr auto &BM_Terminus32 = FontScreen<kTerminus, 32, true>;
constexpr auto &BM_TerminusTransparent32 = FontScreen<kTerminus, 32, false>;
constexpr auto &BM_Spleen16 = FontScreen<kSpleen, 16, true>;
constexpr auto &BM_SpleenTransparent16 = FontScreen<kSpleen, 16, false>;
constexpr auto &BM_Spleen32 = FontScreen<kSpleen, 32, true>;
constexpr auto &BM_SpleenTransparent32 = FontScreen<kSpleen, 32, false>;

// A 3840 x 2160 32-bit screen of size-1 text: 641 x 241 cells.
void DrawScreen4k(benchmark::State &state, _color bg)
{
    static const std::string text = [] {
        std::string all;
        while (all.size() < 641u * 241u)
            all += FullScreenText();
        return all;
    }();
    SDL_Surface *s = Screen4k();
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 255, 255, 255));
    for (auto _ : state) {
        Glyphar(s, text.c_str(), {0, 0, kWidth4k, kHeight4k}, 1.0f, kBlack, bg);
        benchmark::ClobberMemory();
    }
}

void BM_Opaque4k32(benchmark::State &state) { DrawScreen4k(state, kWhite); }
void BM_Transparent4k32(benchmark::State &state) { DrawScreen4k(state, kTransparent); }

// The size-1 screen as GlypharGrid cells: the full-screen text's characters
// (or, with boxes, box drawing and blocks), each cell with colours of its own.
std::vector<GlypharCell> GridCells(int columns, int rows, bool boxes)
{
    std::mt19937 random(26);
    const std::string &text = FullScreenText();
    std::vector<GlypharCell> cells(static_cast<size_t>(columns) * rows);
    for (size_t k = 0; k < cells.size(); ++k) {
        const unsigned char c = static_cast<unsigned char>(text[k % text.size()]);
        cells[k].codepoint = boxes ? 0x2500 + (c * 7 + k) % 0xA0 : c;
        cells[k].fg = random() & 0xFFFFFF;
        cells[k].bg = random() & 0xFFFFFF;
    }
    return cells;
}

void DrawGridCells(benchmark::State &state, const GlypharFont *font, int bpp, bool boxes)
{
    const GlypharFontMetrics m = GlypharFontGetMetrics(font);
    const int columns = (kWidth + m.width - 1) / m.width;
    const int rows = (kHeight + m.height - 1) / m.height;
    const std::vector<GlypharCell> cells = GridCells(columns, rows, boxes);
    ClearScreen(bpp);
    for (auto _ : state) {
        GlypharGrid(Screen(bpp), font, cells.data(), columns, rows, 0, 0, 1.0f);
        benchmark::ClobberMemory();
    }
}

void BM_Grid16(benchmark::State &state) { DrawGridCells(state, nullptr, 16, false); }
void BM_Grid32(benchmark::State &state) { DrawGridCells(state, nullptr, 32, false); }
void BM_GridTerminus16(benchmark::State &state)
{
    DrawGridCells(state, Font(kTerminus), 16, false);
}
void BM_GridBoxes16(benchmark::State &state) { DrawGridCells(state, nullptr, 16, true); }

// The same cells, one GlypharCodePoint each.
void BM_CodePointGrid16(benchmark::State &state)
{
    const std::vector<GlypharCell> cells = GridCells(kCols, kRows, false);
    const auto colour = [](uint32_t rgb) {
        return _color{static_cast<int32_t>(rgb >> 16), static_cast<int32_t>(rgb >> 8 & 0xFF),
                      static_cast<int32_t>(rgb & 0xFF)};
    };
    ClearScreen();
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row)
            for (int col = 0; col < kCols; ++col) {
                const GlypharCell &cell = cells[row * kCols + col];
                GlypharCodePoint(Screen(), cell.codepoint, col * 6, row * 9, 1.0f, colour(cell.fg),
                                 colour(cell.bg));
            }
        benchmark::ClobberMemory();
    }
}

// GlypharGridUpdate with 1 % of the cells changed each time, to and fro.
void BM_GridUpdate16(benchmark::State &state)
{
    const std::vector<GlypharCell> before = GridCells(kCols, kRows, false);
    std::vector<GlypharCell> after = before;
    std::mt19937 random(1);
    for (size_t k = 0; k < after.size() / 100; ++k)
        after[random() % after.size()].codepoint ^= 1;
    ClearScreen();
    GlypharGrid(Screen(), nullptr, before.data(), kCols, kRows, 0, 0, 1.0f);
    bool forth = true;
    for (auto _ : state) {
        GlypharGridUpdate(Screen(), nullptr, forth ? after.data() : before.data(),
                          forth ? before.data() : after.data(), kCols, kRows, 0, 0, 1.0f);
        forth = !forth;
        benchmark::ClobberMemory();
    }
}

// The size-1 screen as a character grid, one call of draw(surface, byte, x, y)
// per cell, the surface taken once, outside the measured loop.
template <class DrawCell>
void DrawGrid(benchmark::State &state, DrawCell draw)
{
    ClearScreen();
    SDL_Surface *s = Screen();
    const std::string &text = FullScreenText();
    for (auto _ : state) {
        for (int row = 0; row < kRows; ++row)
            for (int col = 0; col < kCols; ++col)
                draw(s, text[row * kCols + col], col * 6, row * 9);
        benchmark::ClobberMemory();
    }
}

// One GlypharCarac per cell, as terminals and roguelikes draw.
void BM_CaracGrid16(benchmark::State &state)
{
    DrawGrid(state, [](SDL_Surface *s, char c, int x, int y) {
        GlypharCarac(s, static_cast<unsigned char>(c), x, y, 1.0f, kBlack, kWhite);
    });
}

// What SDL itself pays for the same grid: one SDL_FillRect of each cell's
// 6 x 9 block.
void BM_FillCells16(benchmark::State &state)
{
    const Uint32 black = SDL_MapRGB(Screen()->format, 0, 0, 0);
    DrawGrid(state, [black](SDL_Surface *s, char, int x, int y) {
        SDL_Rect cell = {static_cast<Sint16>(x), static_cast<Sint16>(y), 6, 9};
        SDL_FillRect(s, &cell, black);
    });
}

void BM_DemoTexts16(benchmark::State &state)
{
    ClearScreen();
    for (auto _ : state) {
        DrawSamples(Screen());
        benchmark::ClobberMemory();
    }
}

// A 10 MB text whose rows run far below the screen: only the visible rows
// may cost more than their layout.
void BM_LongText16(benchmark::State &state)
{
    static const std::string text = [] {
        std::string all;
        while (all.size() < 10u << 20)
            all += FullScreenText();
        return all;
    }();
    ClearScreen();
    for (auto _ : state) {
        Glyphar(Screen(), text.c_str(), {0, 0, kWidth, 1 << 30}, 1.0f, kBlack, kWhite);
        benchmark::ClobberMemory();
    }
}

#ifdef GLYPHAR_BENCH_SDL_GFX
// SDL_gfx's 8 x 8 font, the same characters row by row (it draws strokes
// only, like a transparent background).
void BM_SdlGfxString16(benchmark::State &state)
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

#ifdef GLYPHAR_BENCH_SDL_GFX
// SDL_gfx's characterRGBA, one call per cell, as a character grid draws.
void BM_SdlGfxCharacter16(benchmark::State &state)
{
    DrawGrid(state, [](SDL_Surface *s, char c, int x, int y) {
        characterRGBA(s, static_cast<Sint16>(x), static_cast<Sint16>(y), c, 0, 0, 0, 255);
    });
}
#endif

#ifdef GLYPHAR_BENCH_SDL_TTF
// SDL_ttf: each line rendered solid (strokes only, on a colour key) and
// blitted, with DejaVu Sans Mono at 9 px.
void BM_SdlTtfSolid16(benchmark::State &state)
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

// Keeps the median of every case while printing as usual, by writers: a
// case named "BM_X@AVX2" is BM_X drawn with the AVX2 writers; one without
// '@' ran with the best writers (`best`).
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, std::map<std::string, double>> byWriters;  // µs of CPU time
    std::string best;
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
            {
                const std::string &name = run.run_name.function_name;
                const size_t at = name.find('@');
                const std::string writers = at == std::string::npos ? best : name.substr(at + 1);
                byWriters[writers][name.substr(0, at)] = run.GetAdjustedCPUTime();
            }
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

// The writers this build and CPU can run, best first.
std::vector<int> WriterPaths()
{
    std::vector<int> paths;
    for (int path : {GLYPHAR_WRITERS_AVX512, GLYPHAR_WRITERS_AVX2, GLYPHAR_WRITERS_NEON,
                     GLYPHAR_WRITERS_PORTABLE})
        if (GlypharWriterPaths() & (1 << path))
            paths.push_back(path);
    return paths;
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

// The cases that draw with glyphar's writers: each runs with every other
// path too, interleaved with the rest.
const struct {
    const char *name;
    void (*run)(benchmark::State &);
} kWriterCases[] = {
    {"BM_Opaque16", BM_Opaque16},           {"BM_Transparent16", BM_Transparent16},
    {"BM_Opaque32", BM_Opaque32},           {"BM_Transparent32", BM_Transparent32},
    {"BM_Size2Opaque16", BM_Size2Opaque16}, {"BM_Size4Opaque16", BM_Size4Opaque16},
    {"BM_Utf8Ascii16", BM_Utf8Ascii16},     {"BM_Utf8Accented16", BM_Utf8Accented16},
    {"BM_CaracGrid16", BM_CaracGrid16},
    {"BM_Terminus16", BM_Terminus16},       {"BM_TerminusTransparent16", BM_TerminusTransparent16},
    {"BM_Terminus32", BM_Terminus32},       {"BM_TerminusTransparent32", BM_TerminusTransparent32},
    {"BM_Spleen16", BM_Spleen16},           {"BM_SpleenTransparent16", BM_SpleenTransparent16},
    {"BM_Spleen32", BM_Spleen32},           {"BM_SpleenTransparent32", BM_SpleenTransparent32},
    {"BM_Helvetica16", BM_Helvetica16},     {"BM_HelveticaTransparent16", BM_HelveticaTransparent16},
    {"BM_Helvetica32", BM_Helvetica32},     {"BM_HelveticaTransparent32", BM_HelveticaTransparent32},
    {"BM_Unifont16", BM_Unifont16},         {"BM_UnifontTransparent16", BM_UnifontTransparent16},
    {"BM_Unifont32", BM_Unifont32},         {"BM_UnifontTransparent32", BM_UnifontTransparent32},
    {"BM_Opaque4k32", BM_Opaque4k32},       {"BM_Transparent4k32", BM_Transparent4k32},
    {"BM_Grid16", BM_Grid16},               {"BM_Grid32", BM_Grid32},
    {"BM_GridTerminus16", BM_GridTerminus16}, {"BM_GridBoxes16", BM_GridBoxes16},
    {"BM_CodePointGrid16", BM_CodePointGrid16}, {"BM_GridUpdate16", BM_GridUpdate16},
};

// Registers each writer case again for each path but the best.
void RegisterOtherWriters(const std::vector<int> &paths)
{
    for (size_t k = 1; k < paths.size(); ++k)
        for (const auto &c : kWriterCases) {
            const int path = paths[k];
            const auto run = c.run;
            benchmark::RegisterBenchmark(
                (std::string(c.name) + "@" + GlypharWritersName(path)).c_str(),
                [path, run](benchmark::State &state) {
                    GlypharUseWriters(path);
                    run(state);
                    GlypharUseWriters(-1);
                })
                ->Unit(benchmark::kMicrosecond);
        }
}

using Medians = std::map<std::string, std::map<std::string, double>>;  // by writers, case

// The medians of a run as lines of writers, case and microseconds, for the
// report of a build at another optimization level.
void WriteMedians(const MedianReporter &r, const std::string &path)
{
    std::ofstream out(path);
    for (const auto &[writers, cases] : r.byWriters)
        for (const auto &[name, median] : cases)
            out << writers << '\t' << name << '\t' << median << '\n';
}

Medians ReadMedians(const std::string &path)
{
    Medians medians;
    std::ifstream in(path);
    std::string writers, name;
    double median;
    while (std::getline(in, writers, '\t') && std::getline(in, name, '\t') && in >> median) {
        medians[writers][name] = median;
        in.ignore(1);
    }
    return medians;
}

// The head of a table with a column per set of writers and one of targets.
void TargetTableHead(std::FILE *out, const char *title, const std::vector<std::string> &writers)
{
    std::fprintf(out, "\n| %s |", title);
    for (const std::string &w : writers)
        std::fprintf(out, " %s |", w.c_str());
    std::fprintf(out, " target |\n|---|");
    for (size_t k = 0; k < writers.size(); ++k)
        std::fprintf(out, "---:|");
    std::fprintf(out, "---|\n");
}

// The heap a loaded font holds.
double HeldBytes(const char *path)
{
    const size_t before = mallinfo2().uordblks;
    char why[256];
    GlypharFont *font = GlypharFontLoad(path, why, sizeof why);
    const size_t after = mallinfo2().uordblks;
    GlypharFontFree(font);
    return font != nullptr ? static_cast<double>(after - before) : -1;
}

void WriteMarkdown(const MedianReporter &r, const Medians &o2, const std::vector<std::string> &writers,
                   const std::string &path)
{
    std::FILE *out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        std::fprintf(stderr, "glyphar-bench: cannot write %s\n", path.c_str());
        return;
    }
    // A case's median in a run with the given writers; the cases that do not
    // draw with them (the floors, the peers) ran once, with the first.
    const auto medianIn = [&](const Medians &run, const std::string &with, const char *name) {
        for (const std::string &w : {with, writers.front()}) {
            auto in = run.find(w);
            if (in == run.end())
                continue;
            auto it = in->second.find(name);
            if (it != in->second.end())
                return it->second;
        }
        return -1.0;
    };
    const auto median = [&](const std::string &with, const char *name) {
        return medianIn(r.byWriters, with, name);
    };
    std::fprintf(out, "# Benchmarks\n\n");
    std::fprintf(out, "Made by `make bench-docs` (`bench/report.sh`) on %s: %s, %s. ", Today().c_str(),
                 CpuModel().c_str(), r.cpu.c_str());
    std::fprintf(out,
                 "Every case draws on an 800 x 600 software surface, 16-bit 5-6-5 or 32-bit "
                 "8-8-8 (the 4k cases on 3840 x 2160, 32 bits); they ran interleaved in random "
                 "order, repeated, in one process; "
                 "glyphar's own cases ran once with each set of pixel writers this CPU has. "
                 "Times are medians of CPU time per frame; ratios are between medians of the "
                 "same run. The build is Release (-O3)%s.\n\n",
                 o2.empty() ? ""
                            : "; where a cell shows two times or two ratios, the second is "
                              "the same in a RelWithDebInfo build (-O2), run just before in a "
                              "process of its own");
    std::fprintf(out, "| case | what it draws |");
    for (const std::string &w : writers)
        std::fprintf(out, " %s (µs) |", w.c_str());
    std::fprintf(out, "\n|---|---|");
    for (size_t k = 0; k < writers.size(); ++k)
        std::fprintf(out, "---:|");
    std::fprintf(out, "\n");
    const struct {
        const char *name;
        const char *what;
    } cases[] = {
        {"BM_Floor16", "the floor: `SDL_FillRect` of the whole 16-bit surface"},
        {"BM_Floor32", "the floor: `SDL_FillRect` of the whole 32-bit surface"},
        {"BM_Memset16", "the other floor: `memset` of the 16-bit surface's bytes"},
        {"BM_Memset32", "the other floor: `memset` of the 32-bit surface's bytes"},
        {"BM_Opaque16", "134 x 67 cells at size 1, black on white, 16 bits"},
        {"BM_Transparent16", "the same, transparent background, 16 bits"},
        {"BM_Opaque32", "134 x 67 cells at size 1, black on white, 32 bits"},
        {"BM_Transparent32", "the same, transparent background, 32 bits"},
        {"BM_Size2Opaque16", "the same text at size 2 (67 x 34 cells), opaque, 16 bits"},
        {"BM_Size4Opaque16", "the same text at size 4 (34 x 17 cells), opaque, 16 bits"},
        {"BM_Utf8Ascii16", "134 x 67 cells at size 1, opaque, 16 bits, the same text as UTF-8"},
        {"BM_Utf8Accented16", "the same as UTF-8 with one character in three accented"},
        {"BM_Terminus16", "the same text in Lat15-Terminus16 (8 x 16), size 1, opaque, 16 bits"},
        {"BM_TerminusTransparent16", "the same, transparent, 16 bits"},
        {"BM_Terminus32", "the same, opaque, 32 bits"},
        {"BM_TerminusTransparent32", "the same, transparent, 32 bits"},
        {"BM_Spleen16", "the same text in spleen-16x32, size 1, opaque, 16 bits"},
        {"BM_SpleenTransparent16", "the same, transparent, 16 bits"},
        {"BM_Spleen32", "the same, opaque, 32 bits"},
        {"BM_SpleenTransparent32", "the same, transparent, 32 bits"},
        {"BM_Helvetica16", "the same text in Helvetica 12 (xfonts-75dpi, proportional), "
                           "42 rows of 14 pixels, opaque, 16 bits"},
        {"BM_HelveticaTransparent16", "the same, transparent, 16 bits"},
        {"BM_Helvetica32", "the same, opaque, 32 bits"},
        {"BM_HelveticaTransparent32", "the same, transparent, 32 bits"},
        {"BM_Unifont16", "38 rows of 50 Chinese characters in Unifont (16 x 16), opaque, 16 bits"},
        {"BM_UnifontTransparent16", "the same, transparent, 16 bits"},
        {"BM_Unifont32", "the same, opaque, 32 bits"},
        {"BM_UnifontTransparent32", "the same, transparent, 32 bits"},
        {"BM_LoadUnifont", "loading unifont.hex (57,000 glyphs) and freeing it"},
        {"BM_LoadConsoleFont", "loading Lat15-Terminus16.psf.gz and freeing it"},
        {"BM_Memset4k32", "`memset` of a 3840 x 2160 32-bit surface's bytes"},
        {"BM_Opaque4k32", "641 x 241 cells at size 1 on it, opaque"},
        {"BM_Transparent4k32", "the same, transparent"},
        {"BM_CaracGrid16", "the size-1 screen, one `GlypharCarac` per cell, opaque, 16 bits"},
        {"BM_FillCells16", "the same grid, one `SDL_FillRect` of each cell's 6 x 9 block"},
        {"BM_Grid16", "134 x 67 `GlypharGrid` cells, the same characters, colours of their "
                      "own, 16 bits"},
        {"BM_Grid32", "the same grid, 32 bits"},
        {"BM_GridTerminus16", "the same in Lat15-Terminus16: 100 x 38 cells, 16 bits"},
        {"BM_GridBoxes16", "134 x 67 cells of box drawing and blocks, 16 bits"},
        {"BM_CodePointGrid16", "the 134 x 67 cells, one `GlypharCodePoint` each"},
        {"BM_GridUpdate16", "`GlypharGridUpdate` of the grid with 1 % of its cells changed"},
        {"BM_DemoTexts16", "the demo's eight texts"},
        {"BM_LongText16", "a 10 MB text in a box far taller than the screen, size 1, opaque"},
        {"BM_SdlGfxString16", "SDL_gfx `stringRGBA`, the same characters, 67 rows"},
        {"BM_SdlGfxCharacter16", "SDL_gfx `characterRGBA`, one call per cell of the grid"},
        {"BM_SdlTtfSolid16", "SDL_ttf `TTF_RenderText_Solid` + `SDL_BlitSurface`, 67 lines, "
                             "DejaVu Sans Mono 9 px"},
    };
    for (const auto &c : cases) {
        if (median(writers.front(), c.name) < 0)
            continue;
        std::fprintf(out, "| %s | %s |", c.name + 3, c.what);
        for (const std::string &w : writers) {
            auto in = r.byWriters.find(w);
            const bool ran = in != r.byWriters.end() && in->second.count(c.name) > 0;
            const auto other = o2.find(w);
            const bool twice = ran && other != o2.end() && other->second.count(c.name) > 0;
            if (twice)
                std::fprintf(out, " %.0f / %.0f |", in->second.at(c.name),
                             other->second.at(c.name));
            else if (ran)
                std::fprintf(out, " %.0f |", in->second.at(c.name));
            else
                std::fprintf(out, " |");
        }
        std::fprintf(out, "\n");
    }
    const Ratio ratios[] = {
        {"opaque size 1, 16 bits / fill", "BM_Opaque16", "BM_Floor16",
         "at most 1.3; portable at most 2.0"},
        {"transparent size 1, 16 bits / fill", "BM_Transparent16", "BM_Floor16",
         "at most 1.3 with AVX-512, 1.6 without; portable at most 2.0"},
        {"opaque size 1, 32 bits / fill", "BM_Opaque32", "BM_Floor32", "at most 1.2"},
        {"transparent size 1, 32 bits / fill", "BM_Transparent32", "BM_Floor32", "at most 1.2"},
        {"opaque size 2, 16 bits / fill", "BM_Size2Opaque16", "BM_Floor16", "at most 1.0"},
        {"opaque size 4, 16 bits / fill", "BM_Size4Opaque16", "BM_Floor16", "at most 0.9"},
        {"UTF-8 text, ASCII / the same text as bytes", "BM_Utf8Ascii16", "BM_Opaque16",
         "at most 1.15"},
        {"UTF-8 text, one character in three accented / ASCII as bytes", "BM_Utf8Accented16",
         "BM_Opaque16", "at most 1.15"},
        {"opaque size 1, 16 bits / memset", "BM_Opaque16", "BM_Memset16", ""},
        {"opaque size 1, 32 bits / memset", "BM_Opaque32", "BM_Memset32", ""},
        {"Terminus 8 x 16, opaque 16 bits / built-in", "BM_Terminus16", "BM_Opaque16",
         "at most 1.2"},
        {"Terminus 8 x 16, transparent 16 bits / built-in", "BM_TerminusTransparent16",
         "BM_Transparent16", "at most 1.2"},
        {"Terminus 8 x 16, opaque 32 bits / built-in", "BM_Terminus32", "BM_Opaque32",
         "at most 1.2"},
        {"Terminus 8 x 16, transparent 32 bits / built-in", "BM_TerminusTransparent32",
         "BM_Transparent32", "at most 1.2"},
        {"Spleen 16 x 32, opaque 16 bits / built-in", "BM_Spleen16", "BM_Opaque16", "at most 1.2"},
        {"Spleen 16 x 32, transparent 16 bits / built-in", "BM_SpleenTransparent16",
         "BM_Transparent16", "at most 1.2"},
        {"Spleen 16 x 32, opaque 32 bits / built-in", "BM_Spleen32", "BM_Opaque32", "at most 1.2"},
        {"Spleen 16 x 32, transparent 32 bits / built-in", "BM_SpleenTransparent32",
         "BM_Transparent32", "at most 1.2"},
        {"Helvetica 12, opaque 16 bits / built-in", "BM_Helvetica16", "BM_Opaque16",
         "at most 1.3 (-O2)"},
        {"Helvetica 12, transparent 16 bits / built-in", "BM_HelveticaTransparent16",
         "BM_Transparent16", "at most 1.3 (-O2)"},
        {"Helvetica 12, opaque 32 bits / built-in", "BM_Helvetica32", "BM_Opaque32",
         "at most 1.3 (-O2)"},
        {"Helvetica 12, transparent 32 bits / built-in", "BM_HelveticaTransparent32",
         "BM_Transparent32", "at most 1.3 (-O2)"},
        {"Unifont Chinese, opaque 16 bits / built-in", "BM_Unifont16", "BM_Opaque16",
         "at most 1.3 (-O2)"},
        {"Unifont Chinese, transparent 16 bits / built-in", "BM_UnifontTransparent16",
         "BM_Transparent16", "at most 1.3 (-O2)"},
        {"Unifont Chinese, opaque 32 bits / built-in", "BM_Unifont32", "BM_Opaque32",
         "at most 1.3 (-O2)"},
        {"Unifont Chinese, transparent 32 bits / built-in", "BM_UnifontTransparent32",
         "BM_Transparent32", "at most 1.3 (-O2)"},
        {"3840 x 2160 opaque / memset", "BM_Opaque4k32", "BM_Memset4k32",
         "at most 1.2 (vector writers)"},
        {"3840 x 2160 transparent / memset", "BM_Transparent4k32", "BM_Memset4k32",
         "at most 1.2 (vector writers)"},
        {"one `GlypharCarac` per cell / one `SDL_FillRect` per cell", "BM_CaracGrid16",
         "BM_FillCells16", "at most 1.5"},
        {"grid, colours per cell / one colour, 16 bits", "BM_Grid16", "BM_Opaque16", "at most 1.5"},
        {"grid, colours per cell / one colour, 32 bits", "BM_Grid32", "BM_Opaque32", "at most 1.5"},
        {"one `GlypharCodePoint` per cell / grid", "BM_CodePointGrid16", "BM_Grid16", "at least 3"},
        {"grid in Terminus 8 x 16 / built-in grid", "BM_GridTerminus16", "BM_Grid16",
         "at most 1.5"},
        {"grid of box drawing / grid of letters", "BM_GridBoxes16", "BM_Grid16", "at most 1.5"},
        {"update, 1 % changed / whole grid", "BM_GridUpdate16", "BM_Grid16", "at most 0.05"},
        {"SDL_ttf / opaque size 1", "BM_SdlTtfSolid16", "BM_Opaque16", "at least 6"},
        {"SDL_gfx `stringRGBA` / transparent size 1", "BM_SdlGfxString16", "BM_Transparent16",
         "at least 25"},
        {"SDL_gfx `characterRGBA` per cell / `GlypharCarac` per cell", "BM_SdlGfxCharacter16",
         "BM_CaracGrid16", "at least 5"},
    };
    TargetTableHead(out, "ratio", writers);
    for (const Ratio &ratio : ratios) {
        if (median(writers.front(), ratio.numerator) < 0 ||
            median(writers.front(), ratio.denominator) <= 0)
            continue;
        std::fprintf(out, "| %s |", ratio.what);
        for (const std::string &w : writers) {
            std::fprintf(out, " %.2f", median(w, ratio.numerator) / median(w, ratio.denominator));
            // The same ratio in the -O2 run, where it has both cases.
            const double top = medianIn(o2, w, ratio.numerator);
            const double bottom = medianIn(o2, w, ratio.denominator);
            if (top >= 0 && bottom > 0)
                std::fprintf(out, " / %.2f", top / bottom);
            std::fprintf(out, " |");
        }
        std::fprintf(out, " %s |\n", ratio.target);
    }
    if (!o2.empty()) {
        // Each of glyphar's cases at -O2 against -O3, with the same writers.
        TargetTableHead(out, "-O2 / -O3", writers);
        for (const auto &c : kWriterCases) {
            std::fprintf(out, "| %s |", c.name + 3);
            for (const std::string &w : writers) {
                const auto in = r.byWriters.find(w);
                const auto other = o2.find(w);
                if (in == r.byWriters.end() || other == o2.end() || !in->second.count(c.name) ||
                    !other->second.count(c.name))
                    std::fprintf(out, " |");
                else
                    std::fprintf(out, " %.2f |",
                                 other->second.at(c.name) / in->second.at(c.name));
            }
            std::fprintf(out, " at most 1.15 |\n");
        }
    }
    std::fprintf(out, "\nMemory a font holds once loaded (the heap's growth): unifont.hex %.2f MiB "
                 "(target: at most 4 MiB), Lat15-Terminus16.psf.gz %.0f KiB.\n",
                 HeldBytes(kUnifont) / 1048576.0,
                 HeldBytes("/usr/share/consolefonts/Lat15-Terminus16.psf.gz") / 1024.0);
    std::fclose(out);
    std::printf("glyphar-bench: wrote %s\n", path.c_str());
}

}  // namespace

BENCHMARK(BM_Floor16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memset16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memset32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Memset4k32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Terminus16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TerminusTransparent16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Terminus32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TerminusTransparent32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spleen16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpleenTransparent16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spleen32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SpleenTransparent32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Helvetica16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HelveticaTransparent16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Helvetica32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HelveticaTransparent32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Unifont16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnifontTransparent16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Unifont32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnifontTransparent32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadUnifont)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadConsoleFont)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Opaque4k32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transparent4k32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Opaque16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transparent16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Opaque32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Transparent32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Size2Opaque16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Size4Opaque16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Utf8Ascii16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Utf8Accented16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CaracGrid16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Grid16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Grid32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridTerminus16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridBoxes16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CodePointGrid16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridUpdate16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FillCells16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DemoTexts16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LongText16)->Unit(benchmark::kMicrosecond);
#ifdef GLYPHAR_BENCH_SDL_GFX
BENCHMARK(BM_SdlGfxString16)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SdlGfxCharacter16)->Unit(benchmark::kMicrosecond);
#endif
#ifdef GLYPHAR_BENCH_SDL_TTF
BENCHMARK(BM_SdlTtfSolid16)->Unit(benchmark::kMicrosecond);
#endif

int main(int argc, char **argv)
{
    // Interleaved repetitions by default; flags on the command line win.
    std::vector<char *> args(argv, argv + argc);
    std::string markdown, mediansOut, otherMedians;
    args.erase(std::remove_if(args.begin() + 1, args.end(),
                              [&](char *a) {
                                  for (auto [flag, value] :
                                       {std::pair{"--markdown=", &markdown},
                                        std::pair{"--medians=", &mediansOut},
                                        std::pair{"--o2-medians=", &otherMedians}})
                                      if (std::strncmp(a, flag, std::strlen(flag)) == 0) {
                                          *value = a + std::strlen(flag);
                                          return true;
                                      }
                                  return false;
                              }),
               args.end());
    static char repetitions[] = "--benchmark_repetitions=15";
    static char interleave[] = "--benchmark_enable_random_interleaving=true";
    static char aggregates[] = "--benchmark_report_aggregates_only=true";
    static char minTime[] = "--benchmark_min_time=0.1";
    args.insert(args.begin() + 1, {repetitions, interleave, aggregates, minTime});
    int n = static_cast<int>(args.size());
    RegisterOtherWriters(WriterPaths());
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
    if (Screen(16) == nullptr || Screen(32) == nullptr) {
        std::fprintf(stderr, "glyphar-bench: SDL_CreateRGBSurface failed: %s\n", SDL_GetError());
        return 1;
    }
    MedianReporter reporter;
    std::vector<std::string> writers;
    for (int path : WriterPaths())
        writers.push_back(GlypharWritersName(path));
    reporter.best = writers.front();
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (!mediansOut.empty())
        WriteMedians(reporter, mediansOut);
    if (!markdown.empty())
        WriteMarkdown(reporter, ReadMedians(otherMedians), writers, markdown);
    benchmark::Shutdown();
    return 0;
}
