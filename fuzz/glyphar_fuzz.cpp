// libFuzzer target: any surface, clip rectangle, text, box, size, colours,
// flags and grid of cells that a caller can pass. The surface's pixel rows lie inside a
// larger buffer; whatever the calls do, the guard bytes around and between
// the rows and every pixel outside the clip rectangle must stay as they
// were, and every pixel inside it must hold its old value or one of the
// colours the calls drew with.

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "Glyphar.h"

namespace {

constexpr size_t kGuardBytes = 64;
constexpr uint8_t kGuard = 0xA5;

struct FuzzSurface {
    std::vector<uint8_t> buffer;
    SDL_Surface *surface = nullptr;
    size_t rowBytes = 0;
    int bytesPerPixel = 0;

    ~FuzzSurface() { SDL_FreeSurface(surface); }

    size_t RowsSize() const { return static_cast<size_t>(surface->pitch) * surface->h; }
};

struct FuzzFormat {
    int bpp;
    Uint32 r, g, b;
};

// Every depth SDL gives a software surface, in both channel orders, and now
// and then a packed bitmap, which must be left alone.
const FuzzFormat kFormats[] = {
    {16, 0xF800, 0x07E0, 0x001F}, {16, 0x001F, 0x07E0, 0xF800}, {15, 0x7C00, 0x03E0, 0x001F},
    {8, 0, 0, 0},                 {24, 0xFF0000, 0x00FF00, 0x0000FF},
    {24, 0x0000FF, 0x00FF00, 0xFF0000}, {32, 0xFF0000, 0x00FF00, 0x0000FF},
    {32, 0x0000FF, 0x00FF00, 0xFF0000}, {1, 0, 0, 0},
};

bool MakeSurface(FuzzedDataProvider &in, FuzzSurface *fs)
{
    const int w = in.ConsumeIntegralInRange(1, 200);
    const int h = in.ConsumeIntegralInRange(1, 200);
    const FuzzFormat &f = in.PickValueInArray(kFormats);
    fs->bytesPerPixel = (f.bpp + 7) / 8;
    fs->rowBytes = f.bpp == 1 ? (static_cast<size_t>(w) + 7) / 8
                              : static_cast<size_t>(w) * fs->bytesPerPixel;
    // Any padding, and a pixels pointer at any byte: the writers need no
    // alignment.
    const size_t pitch = fs->rowBytes + in.ConsumeIntegralInRange(0, 16);
    const size_t misalign = in.ConsumeIntegralInRange(0, 3);
    fs->buffer.assign(kGuardBytes + misalign + pitch * h + kGuardBytes, kGuard);
    uint8_t *rows = fs->buffer.data() + kGuardBytes + misalign;
    for (int y = 0; y < h; ++y)
        std::memset(rows + y * pitch, 0x3C + y, fs->rowBytes);
    fs->surface = SDL_CreateRGBSurfaceFrom(rows, w, h, f.bpp, static_cast<int>(pitch), f.r, f.g,
                                           f.b, 0);
    if (fs->surface == nullptr)
        return false;
    if (in.ConsumeBool()) {
        SDL_Rect clip;
        clip.x = static_cast<decltype(clip.x)>(in.ConsumeIntegralInRange(-20, w + 20));
        clip.y = static_cast<decltype(clip.y)>(in.ConsumeIntegralInRange(-20, h + 20));
        clip.w = static_cast<decltype(clip.w)>(in.ConsumeIntegralInRange(0, w + 40));
        clip.h = static_cast<decltype(clip.h)>(in.ConsumeIntegralInRange(0, h + 40));
        SDL_SetClipRect(fs->surface, &clip);
    }
    return true;
}

int32_t ConsumeInt(FuzzedDataProvider &in);

// A position along an axis of the given extent: near one of its edges most
// often, since that is where clipping can go wrong.
int32_t ConsumeCoordinate(FuzzedDataProvider &in, int extent)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return in.ConsumeIntegralInRange(-3, 3);
    case 1:
        return extent + in.ConsumeIntegralInRange(-3, 3);
    case 2:
        return in.ConsumeIntegralInRange(-60, extent + 60);
    default:
        return ConsumeInt(in);
    }
}

int32_t ConsumeInt(FuzzedDataProvider &in)
{
    static const int32_t kSpecial[] = {INT_MIN, INT_MIN + 1, -65536, -256, -2, -1, 0, 1, 255, 256,
                                       65535, INT_MAX - 1, INT_MAX};
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return in.PickValueInArray(kSpecial);
    case 1:
        return in.ConsumeIntegralInRange(-300, 1000);
    default:
        return in.ConsumeIntegral<int32_t>();
    }
}

float ConsumeSize(FuzzedDataProvider &in)
{
    static const float kSpecial[] = {
        NAN, -NAN, INFINITY, -INFINITY, 0.0f, -0.0f, FLT_TRUE_MIN, -FLT_TRUE_MIN, FLT_MIN,
        1.0f / 9, std::nextafter(1.0f / 9, 0.0f), std::nextafter(1.0f / 9, 1.0f),
        1.0f / 6, std::nextafter(1.0f / 6, 0.0f), std::nextafter(1.0f / 6, 1.0f),
        -1.0f / 6, 0.5f, 1.0f, 1.5f, 2.5f, 3.0f, 4.0f, -1.0f, 1e6f, 3e9f, 1e30f, FLT_MAX,
        -FLT_MAX};
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return in.PickValueInArray(kSpecial);
    case 1:
        return in.ConsumeFloatingPointInRange(-8.0f, 8.0f);
    default: {
        const uint32_t bits = in.ConsumeIntegral<uint32_t>();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    }
}

_color ConsumeColor(FuzzedDataProvider &in)
{
    if (in.ConsumeBool())
        return {-1, in.ConsumeBool() ? -1 : 0, 0};
    return {ConsumeInt(in), ConsumeInt(in), ConsumeInt(in)};
}

// Any code point, box drawing, blocks and Braille often.
uint32_t ConsumeCodePoint(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0: return 0x2500 + in.ConsumeIntegralInRange(0, 0x9F);
    case 1: return 0x2800 + in.ConsumeIntegralInRange(0, 0xFF);
    case 2: return in.ConsumeIntegralInRange(0, 0xFF);
    default: return in.ConsumeIntegral<uint32_t>();
    }
}

// A grid cell's colour 0xRRGGBB as the other calls take colours.
_color ColorOf(uint32_t rgb)
{
    return {static_cast<int32_t>(rgb >> 16 & 0xFF), static_cast<int32_t>(rgb >> 8 & 0xFF),
            static_cast<int32_t>(rgb & 0xFF)};
}

GlypharCell ConsumeCell(FuzzedDataProvider &in)
{
    GlypharCell cell;
    cell.codepoint = ConsumeCodePoint(in);
    cell.fg = in.ConsumeIntegral<uint32_t>();
    cell.bg = in.ConsumeBool() ? GLYPHAR_TRANSPARENT : in.ConsumeIntegral<uint32_t>();
    return cell;
}

// Every byte value 1 to 255; NULs become newlines, so breaks are common.
std::string ConsumeText(FuzzedDataProvider &in)
{
    std::string text = in.ConsumeBytesAsString(in.ConsumeIntegralInRange<size_t>(0, 4096));
    for (char &c : text)
        if (c == '\0')
            c = '\n';
    return text;
}

void Check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "glyphar-fuzz: %s\n", what);
        std::abort();
    }
}

// The pixel values the calls may have stored, mapped as the surface maps them.
struct Inks {
    std::vector<uint32_t> values;

    void Add(const SDL_Surface *s, _color c)
    {
        values.push_back(SDL_MapRGB(s->format, static_cast<Uint8>(c.r), static_cast<Uint8>(c.g),
                                    static_cast<Uint8>(c.b)));
    }
};

uint32_t PixelAt(const uint8_t *p, int bytes)
{
    uint32_t v = 0;
    if (bytes == 1)
        v = *p;
    else if (bytes == 2) {
        Uint16 u;
        std::memcpy(&u, p, 2);
        v = u;
    } else if (bytes == 3) {
        v = SDL_BYTEORDER == SDL_LIL_ENDIAN ? p[0] | p[1] << 8 | p[2] << 16
                                            : p[2] | p[1] << 8 | p[0] << 16;
    } else {
        std::memcpy(&v, p, 4);
    }
    return v;
}

void CheckPixels(const FuzzSurface &fs, const std::vector<uint8_t> &before, const Inks &inks)
{
    const SDL_Surface *s = fs.surface;
    const size_t pitch = s->pitch;
    const size_t rows = static_cast<size_t>(static_cast<const uint8_t *>(s->pixels) - fs.buffer.data());
    for (size_t i = 0; i < fs.buffer.size(); ++i) {
        const bool inRows = i >= rows && i < rows + fs.RowsSize();
        if (!(inRows && (i - rows) % pitch < fs.rowBytes))
            Check(fs.buffer[i] == before[i], "a byte outside the pixel rows was written to");
    }
    if (s->format->BitsPerPixel < 8) {
        Check(fs.buffer == before, "a packed bitmap was written to");
        return;
    }
    const SDL_Rect &clip = s->clip_rect;
    const int bytes = fs.bytesPerPixel;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            const size_t at = rows + y * pitch + static_cast<size_t>(x) * bytes;
            if (std::memcmp(&fs.buffer[at], &before[at], bytes) == 0)
                continue;
            const bool inClip = x >= clip.x && x < clip.x + clip.w && y >= clip.y &&
                                y < clip.y + clip.h;
            Check(inClip, "a pixel outside the clip rectangle was written to");
            const uint32_t mask = bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * bytes)) - 1;
            const uint32_t value = PixelAt(&fs.buffer[at], bytes);
            bool known = false;
            for (uint32_t ink : inks.values)
                known |= (ink & mask) == value;
            Check(known, "a pixel holds a colour no call drew with");
        }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FuzzSurface fs;
    if (!MakeSurface(in, &fs))
        return 0;
    const std::vector<uint8_t> before = fs.buffer;
    SDL_Surface *target = in.ConsumeIntegralInRange(0, 30) == 0 ? nullptr : fs.surface;
    Inks inks;

    const int calls = in.ConsumeIntegralInRange(1, 6);
    for (int i = 0; i < calls; ++i) {
        switch (in.ConsumeIntegralInRange(0, 5)) {
        case 0:
            GlypharInit();
            break;
        case 1: {
            const int x = ConsumeCoordinate(in, fs.surface->w);
            const int y = ConsumeCoordinate(in, fs.surface->h);
            const _color c = ConsumeColor(in);
            inks.Add(fs.surface, c);
            GlypharPoint(target, x, y, c);
            break;
        }
        case 2: {
            const bool codepoint = in.ConsumeBool();
            const uint32_t c =
                codepoint ? ConsumeCodePoint(in) : in.ConsumeIntegral<unsigned char>();
            const int x = ConsumeCoordinate(in, fs.surface->w);
            const int y = ConsumeCoordinate(in, fs.surface->h);
            const float s = ConsumeSize(in);
            const _color fg = ConsumeColor(in), bg = ConsumeColor(in);
            inks.Add(fs.surface, fg);
            inks.Add(fs.surface, bg);
            if (codepoint)
                GlypharCodePoint(target, c, x, y, s, fg, bg);
            else
                GlypharCarac(target, static_cast<unsigned char>(c), x, y, s, fg, bg);
            break;
        }
        case 3: {
            // A grid, and now and then an update of it from another.
            const int columns = in.ConsumeIntegralInRange(-1, 40);
            const int rows = in.ConsumeIntegralInRange(-1, 12);
            const size_t count = columns > 0 && rows > 0 ? static_cast<size_t>(columns) * rows : 1;
            std::vector<GlypharCell> cells(count), previous(count);
            for (size_t k = 0; k < count; ++k) {
                cells[k] = ConsumeCell(in);
                previous[k] = in.ConsumeBool() ? cells[k] : ConsumeCell(in);
                for (const GlypharCell &cell : {cells[k], previous[k]}) {
                    inks.Add(fs.surface, ColorOf(cell.fg));
                    inks.Add(fs.surface, ColorOf(cell.bg));
                }
            }
            const int x = ConsumeCoordinate(in, fs.surface->w);
            const int y = ConsumeCoordinate(in, fs.surface->h);
            const float s = ConsumeSize(in);
            const GlypharCell *grid =
                in.ConsumeIntegralInRange(0, 30) == 0 ? nullptr : cells.data();
            if (in.ConsumeBool())
                GlypharGrid(target, nullptr, grid, columns, rows, x, y, s);
            else
                GlypharGridUpdate(target, nullptr, grid,
                                  in.ConsumeBool() ? previous.data() : nullptr, columns, rows, x, y,
                                  s);
            break;
        }
        default: {
            const _rect box = {ConsumeCoordinate(in, fs.surface->w),
                               ConsumeCoordinate(in, fs.surface->h), ConsumeInt(in), ConsumeInt(in)};
            const float s = ConsumeSize(in);
            const _color fg = ConsumeColor(in), bg = ConsumeColor(in);
            // Half the texts are UTF-8, whatever else the flags say.
            const int flags = ConsumeInt(in) | (in.ConsumeBool() ? GLYPHAR_UTF8 : 0);
            const bool noText = in.ConsumeIntegralInRange(0, 30) == 0;
            const bool measure = in.ConsumeBool();
            const std::string text = ConsumeText(in);
            const char *p = noText ? nullptr : text.c_str();
            inks.Add(fs.surface, fg);
            inks.Add(fs.surface, bg);
            if (measure) {
                _rect painted;
                const size_t used = GlypharMesure(p, box, s, flags, in.ConsumeBool() ? &painted : nullptr);
                Check(used <= text.size(), "GlypharMesure used more bytes than the text has");
            } else if (flags % 2 == 0) {
                Glyphar(target, p, box, s, fg, bg);
            } else {
                GlypharEx(target, p, box, s, fg, bg, flags);
            }
            break;
        }
        }
    }
    CheckPixels(fs, before, inks);
    return 0;
}
