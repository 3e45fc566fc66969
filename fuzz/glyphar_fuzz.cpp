// libFuzzer target: any surface, text, box, size and colours that a caller
// can pass. The surface's pixel rows lie inside a larger buffer; whatever the
// calls do, the guard bytes around and between the rows must stay as they
// were, and a surface that is not 16 bits per pixel must not change at all.

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
    bool sixteenBits = false;

    ~FuzzSurface() { SDL_FreeSurface(surface); }

    uint8_t *Rows() { return buffer.data() + kGuardBytes; }
    size_t RowsSize() const { return static_cast<size_t>(surface->pitch) * surface->h; }
};

// 5-6-5 and 5-5-5 most of the time; now and then 8, 24 or 32 bits.
bool MakeSurface(FuzzedDataProvider &in, FuzzSurface *fs)
{
    const int w = in.ConsumeIntegralInRange(1, 200);
    const int h = in.ConsumeIntegralInRange(1, 200);
    const int kind = in.ConsumeIntegralInRange(0, 8);
    int bpp = 16;
    Uint32 r = 0xF800, g = 0x07E0, b = 0x001F;
    if (kind >= 3 && kind <= 5) {
        r = 0x7C00, g = 0x03E0, b = 0x001F;
    } else if (kind == 6) {
        bpp = 8, r = g = b = 0;
    } else if (kind == 7) {
        bpp = 24, r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
    } else if (kind == 8) {
        bpp = 32, r = 0xFF0000, g = 0x00FF00, b = 0x0000FF;
    }
    fs->sixteenBits = bpp == 16;
    fs->rowBytes = static_cast<size_t>(w) * (bpp / 8);
    // 16-bit rows are addressed in 16-bit units, so their pitch stays even.
    const size_t padding = static_cast<size_t>(in.ConsumeIntegralInRange(0, 16)) * (bpp == 16 ? 2 : 1);
    const size_t pitch = fs->rowBytes + padding;
    fs->buffer.assign(kGuardBytes + pitch * h + kGuardBytes, kGuard);
    uint8_t *rows = fs->buffer.data() + kGuardBytes;
    for (int y = 0; y < h; ++y)
        std::memset(rows + y * pitch, 0x3C + y, fs->rowBytes);
    fs->surface = SDL_CreateRGBSurfaceFrom(rows, w, h, bpp, static_cast<int>(pitch), r, g, b, 0);
    return fs->surface != nullptr;
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    FuzzSurface fs;
    if (!MakeSurface(in, &fs))
        return 0;
    const std::vector<uint8_t> before = fs.buffer;
    SDL_Surface *target = in.ConsumeIntegralInRange(0, 30) == 0 ? nullptr : fs.surface;

    const int calls = in.ConsumeIntegralInRange(1, 6);
    for (int i = 0; i < calls; ++i) {
        switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            GlypharInit();
            break;
        case 1: {
            const int x = ConsumeCoordinate(in, fs.surface->w);
            const int y = ConsumeCoordinate(in, fs.surface->h);
            GlypharPoint(target, x, y, ConsumeColor(in));
            break;
        }
        case 2: {
            const unsigned char c = in.ConsumeIntegral<unsigned char>();
            const int x = ConsumeCoordinate(in, fs.surface->w);
            const int y = ConsumeCoordinate(in, fs.surface->h);
            const float s = ConsumeSize(in);
            const _color fg = ConsumeColor(in), bg = ConsumeColor(in);
            GlypharCarac(target, c, x, y, s, fg, bg);
            break;
        }
        default: {
            const _rect box = {ConsumeCoordinate(in, fs.surface->w),
                               ConsumeCoordinate(in, fs.surface->h), ConsumeInt(in), ConsumeInt(in)};
            const float s = ConsumeSize(in);
            const _color fg = ConsumeColor(in), bg = ConsumeColor(in);
            const bool noText = in.ConsumeIntegralInRange(0, 30) == 0;
            const std::string text = ConsumeText(in);
            Glyphar(target, noText ? nullptr : text.c_str(), box, s, fg, bg);
            break;
        }
        }
    }

    if (!fs.sixteenBits) {
        Check(fs.buffer == before, "a surface of another depth was written to");
        return 0;
    }
    const size_t pitch = fs.surface->pitch;
    for (size_t i = 0; i < fs.buffer.size(); ++i) {
        const bool inRows = i >= kGuardBytes && i < kGuardBytes + fs.RowsSize();
        const bool inPixels = inRows && (i - kGuardBytes) % pitch < fs.rowBytes;
        if (!inPixels)
            Check(fs.buffer[i] == kGuard, "a byte outside the pixel rows was written to");
    }
    return 0;
}
