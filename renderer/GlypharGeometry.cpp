// Sampling geometry: the runs of pixel offsets that sample each glyph
// column and row at a size, and the lit pixels of a narrow character's rows.

#include "GlypharGeometry.h"

#include <algorithm>
#include <cmath>

namespace glyphar {

namespace {

// The first offset k with k / size >= cell (cells left of the pen or above
// the row's top are negative). Division by a fixed divisor is monotonic, so
// the rounded guess is corrected by stepping with the very same division the
// per-pixel rule would use.
int64_t FirstOffsetOfCell(int cell, double size)
{
    if (cell == 0)
        return 0;  // 0 * size is NaN for an infinite size
    int64_t k = ClampFar(std::ceil(cell * size));
    if (k >= kFar || k <= -kFar)
        return k;
    while ((cell < 0 || k > 0) && static_cast<double>(k - 1) / size >= cell)
        --k;
    while (static_cast<double>(k) / size < cell)
        ++k;
    return k;
}

// Cells first to first + cells - 1, from the first one's first offset.
AxisRuns MakeAxisRuns(int first, int cells, double size)
{
    AxisRuns runs;
    runs.cells = cells;
    runs.origin = FirstOffsetOfCell(first, size);
    // Offsets k < (first + cells) * size.
    const int64_t extent = ClampFar(std::ceil((first + cells) * size)) - runs.origin;
    for (int g = 0; g <= cells; ++g)
        runs.start[g] = std::min(FirstOffsetOfCell(first + g, size) - runs.origin, extent);
    runs.start[cells + 1] = extent;
    return runs;
}

int LowestBit(unsigned word)
{
    int at = 0;
    for (; !(word & 1); word >>= 1)
        ++at;
    return at;
}

void MakeCellGeometry(CellGeometry &g, float size, int width, int height, int left, int top)
{
    g.size = size;
    g.width = width;
    g.height = height;
    g.left = left;
    g.top = top;
    g.cols = MakeAxisRuns(left, width, size);
    g.rows = MakeAxisRuns(top, height, size);
    const int64_t extent = g.cols.extent();
    g.narrow = extent <= kNarrow && g.rows.extent() <= kNarrowRows;
    g.unscaled = extent == width;
    for (int col = 0; col <= width; ++col)
        g.unscaled = g.unscaled && g.cols.start[col] == col;
    for (auto &table : g.litOffsets)
        table[0] = 0;
    if (!g.narrow)
        return;
    g.block = extent == 64 ? ~uint64_t{0} : (uint64_t{1} << extent) - 1;
    for (int b = 0; 8 * b < width; ++b) {
        const int cols = std::min(8, width - 8 * b);
        uint64_t offsetsOfCol[8] = {};
        for (int c = 0; c < cols; ++c)
            for (int64_t j = g.cols.start[8 * b + c]; j < g.cols.start[8 * b + c + 1]; ++j)
                offsetsOfCol[c] |= uint64_t{1} << j;
        uint64_t *lit = g.litOffsets[b];
        for (unsigned mask = 1; mask < (1u << cols); ++mask)  // each from a smaller one
            lit[mask] = lit[mask & (mask - 1)] | offsetsOfCol[LowestBit(mask)];
    }
    for (int row = 0; row <= height; ++row)
        for (int64_t k = g.rows.start[row]; k < g.rows.start[row + 1]; ++k)
            g.rowOfPixel[k] = static_cast<uint8_t>(row);
}

}  // namespace

GLYPHAR_NOINLINE void Refill(GeometryCache &cache, float size, int width, int height, int left,
                             int top)
{
    MakeCellGeometry(cache.geometry, size, width, height, left, top);
    cache.held = &cache.geometry;
}

}  // namespace glyphar
