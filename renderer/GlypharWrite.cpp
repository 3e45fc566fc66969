// Pixel writers: which set drawing uses, and the portable writers of a
// single character.

#include "GlypharWrite.h"

#include "GlypharWriters.h"

namespace glyphar {

namespace {

// What the CPU can run, asked once; 0 until then (the portable bit is
// always set). A plain atomic, not a function's static, so that C programs
// linking the static library need no C++ runtime.
std::atomic<int> cpuWriterPaths{0};

int CpuWriterPaths()
{
    int paths = 1 << kPortable;
#if defined(__x86_64__) && defined(__GNUC__)
    // The vector writers find lit pixels with BMI's bit instructions, which
    // every CPU with AVX2 has in practice; one without them stays portable.
    const bool bits = __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2");
    if (kAvx2Writers.built && bits && __builtin_cpu_supports("avx2"))
        paths |= 1 << kAvx2;
    if (kAvx512Writers.built && bits && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl"))
        paths |= 1 << kAvx512;
#endif
    if (kNeonWriters.built)  // every 64-bit ARM CPU has NEON
        paths |= 1 << kNeon;
    return paths;
}

int AvailableWriterPaths()
{
    int paths = cpuWriterPaths.load(std::memory_order_relaxed);
    if (paths == 0) {
        paths = CpuWriterPaths();
        cpuWriterPaths.store(paths, std::memory_order_relaxed);
    }
    return paths;
}

int BestWriterPath()
{
    const int paths = AvailableWriterPaths();
    return paths & (1 << kAvx512) ? kAvx512
           : paths & (1 << kAvx2) ? kAvx2
           : paths & (1 << kNeon) ? kNeon
                                  : kPortable;
}

template <int Bytes>
GLYPHAR_NOINLINE void OpaqueCell(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                                 uint32_t bg)
{
    OpaqueWriter<Bytes>(Ink{fg, bg, true}).WithEights().Cell(dst, pitch, cell);
}

template <int Bytes>
GLYPHAR_NOINLINE void StrokeCell(uint8_t *dst, int64_t pitch, const CellRows &cell, uint32_t fg,
                                 uint32_t)
{
    StrokeWriter<Bytes>(Ink{fg, fg, false}).Cell(dst, pitch, cell);
}

}  // namespace

std::atomic<int> drawingPath{-1};

// The first drawing takes the best, unless a choice came first.
GLYPHAR_NOINLINE int FirstWriterPath()
{
    int path = -1;
    const int best = BestWriterPath();
    return drawingPath.compare_exchange_strong(path, best, std::memory_order_relaxed) ? best : path;
}

const CellWriter kPortableCells[2][4] = {
    {StrokeCell<1>, StrokeCell<2>, StrokeCell<3>, StrokeCell<4>},
    {OpaqueCell<1>, OpaqueCell<2>, OpaqueCell<3>, OpaqueCell<4>},
};

}  // namespace glyphar

using namespace glyphar;

extern "C" {

int GlypharWriterPaths(void)
{
    return AvailableWriterPaths();
}

int GlypharUseWriters(int writers)
{
    if (writers != -1 && (writers < 0 || writers >= kWriterPaths ||
                          !(AvailableWriterPaths() & (1 << writers))))
        return 0;
    drawingPath.store(writers == -1 ? BestWriterPath() : writers, std::memory_order_relaxed);
    return 1;
}

const char *GlypharWritersName(int writers)
{
    static const char *const kNames[kWriterPaths] = {"portable", "AVX2", "AVX-512", "NEON"};
    return writers >= 0 && writers < kWriterPaths ? kNames[writers] : nullptr;
}

}  // extern "C"
