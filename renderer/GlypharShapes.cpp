// Box drawing, block elements and Braille patterns as rectangles (and, for
// the rounded corners, diagonals and shades, a few ranges a row), placed in
// the cell by its pitch: a line's position depends on the pitch and the
// stroke alone, so cells that tile carry their lines on across the edge.

#include "GlypharShapes.h"

#include "GlypharGeometry.h"
#include "GlypharLayout.h"

#include <algorithm>
#include <cmath>

namespace glyphar {

namespace {

// The lines of U+2500 to U+257F, four characters each: the weight of the
// left, right, up and down arms (0 none, 1 light, 2 heavy, 3 double), or
// "." for the dashes, rounded corners and diagonals, drawn otherwise.
// clang-format off
constexpr char kArms[] =
    "1100" "2200" "0011" "0022" "...." "...." "...." "...."  // 2500
    "...." "...." "...." "...." "0101" "0201" "0102" "0202"  // 2508
    "1001" "2001" "1002" "2002" "0110" "0210" "0120" "0220"  // 2510
    "1010" "2010" "1020" "2020" "0111" "0211" "0121" "0112"  // 2518
    "0122" "0221" "0212" "0222" "1011" "2011" "1021" "1012"  // 2520
    "1022" "2021" "2012" "2022" "1101" "2101" "1201" "2201"  // 2528
    "1102" "2102" "1202" "2202" "1110" "2110" "1210" "2210"  // 2530
    "1120" "2120" "1220" "2220" "1111" "2111" "1211" "2211"  // 2538
    "1121" "1112" "1122" "2121" "1221" "2112" "1212" "2221"  // 2540
    "2212" "2122" "1222" "2222" "...." "...." "...." "...."  // 2548
    "3300" "0033" "0301" "0103" "0303" "3001" "1003" "3003"  // 2550
    "0310" "0130" "0330" "3010" "1030" "3030" "0311" "0133"  // 2558
    "0333" "3011" "1033" "3033" "3301" "1103" "3303" "3310"  // 2560
    "1130" "3330" "3311" "1133" "3333" "...." "...." "...."  // 2568
    "...." "...." "...." "...." "1000" "0010" "0100" "0001"  // 2570
    "2000" "0020" "0200" "0002" "1200" "0012" "2100" "0021";  // 2578
// clang-format on
static_assert(sizeof kArms == 128 * 4 + 1, "four characters for each of 128 lines");

// The quadrants of U+2596 to U+259F: upper left 1, upper right 2, lower
// left 4, lower right 8.
constexpr uint8_t kQuadrants[10] = {4,         8,         1, 1 | 4 | 8, 1 | 8,
                                    1 | 2 | 4, 1 | 2 | 8, 2, 2 | 4,     2 | 4 | 8};

struct Span {
    int64_t from, to;  // [from, to)
};

struct Rect {
    int64_t left, top, right, bottom;
};

// A shape: up to 12 rectangles, and what a row adds to them.
struct Shape {
    enum Extra { kNone, kShade, kArc, kDiagonals };
    Rect rects[12];
    int count = 0;
    Extra extra = kNone;
    int shade = 0;     // 1 light, 2 medium, 3 dark
    int quadrant = 0;  // of the rounded corner: 0 down-right, 1 down-left, 2 up-left, 3 up-right
    double cx = 0, cy = 0, radius = 0;
    Rect arcArea{};  // where the arc is drawn
    bool rising = false, falling = false;

    void Add(int64_t left, int64_t top, int64_t right, int64_t bottom)
    {
        if (left < right && top < bottom && count < 12)
            rects[count++] = Rect{left, top, right, bottom};
    }
};

// A stroke of width w centred in a period.
Span Centred(int64_t w, int64_t period)
{
    w = std::min(w, std::max<int64_t>(period, 1));
    const int64_t from = std::max<int64_t>(0, (period - w) / 2);
    return Span{from, from + w};
}

// The two strokes of a double line, a light stroke apart.
void DoubleStrokes(int64_t t, int64_t period, Span *first, Span *second)
{
    const int64_t from = std::max<int64_t>(0, (period - 3 * t) / 2);
    *first = Span{from, from + t};
    *second = Span{from + 2 * t, from + 3 * t};
}

Span Union(Span a, Span b)
{
    return Span{std::min(a.from, b.from), std::max(a.to, b.to)};
}

struct Lines {
    const ShapeCell &cell;
    int l, r, u, d;  // the arms' weights

    int64_t WidthOf(int weight) const { return weight == 2 ? 2 * cell.stroke : cell.stroke; }
    Span Col(int weight) const { return Centred(WidthOf(weight), cell.pitchX); }
    Span Row(int weight) const { return Centred(WidthOf(weight), cell.pitchY); }

    // Light and heavy arms: each runs from its edge over the strokes of the
    // arms across it, so that corners and joins are filled.
    void Single(Shape &s) const
    {
        const int64_t w = cell.width, h = cell.height;
        const int across = std::max(u, d), along = std::max(l, r);
        Span cols = Col(across != 0 ? across : along), rows = Row(along != 0 ? along : across);
        if (u != 0 && d != 0)
            cols = Union(Col(u), Col(d));
        if (l != 0 && r != 0)
            rows = Union(Row(l), Row(r));
        if (l != 0)
            s.Add(0, Row(l).from, cols.to, Row(l).to);
        if (r != 0)
            s.Add(cols.from, Row(r).from, w, Row(r).to);
        if (u != 0)
            s.Add(Col(u).from, 0, Col(u).to, rows.to);
        if (d != 0)
            s.Add(Col(d).from, rows.from, Col(d).to, h);
    }

    // Double lines both ways: each pair of strokes turns into the other
    // pair's, the outer into the outer, the inner into the inner.
    void BothDouble(Shape &s) const
    {
        const int64_t w = cell.width, h = cell.height;
        Span top, bottom, left, right;
        DoubleStrokes(cell.stroke, cell.pitchY, &top, &bottom);
        DoubleStrokes(cell.stroke, cell.pitchX, &left, &right);
        const auto horizontal = [&](Span row, bool meets) {  // meets: an arm on its side
            if (l != 0)
                s.Add(0, row.from, meets ? left.to : r != 0 ? w : right.to, row.to);
            if (r != 0)
                s.Add(meets ? right.from : l != 0 ? 0 : left.from, row.from, w, row.to);
        };
        horizontal(top, u != 0);
        horizontal(bottom, d != 0);
        const auto vertical = [&](Span col, bool meets) {
            if (u != 0)
                s.Add(col.from, 0, col.to, meets ? top.to : d != 0 ? h : bottom.to);
            if (d != 0)
                s.Add(col.from, meets ? bottom.from : u != 0 ? 0 : top.from, col.to, h);
        };
        vertical(left, l != 0);
        vertical(right, r != 0);
    }

    // Double arms one way meeting single ones the other way: worked out
    // for double horizontal arms, and for vertical ones with the axes
    // swapped. Along the double arms `a` runs, across them `b`.
    void DoubleMeetsSingle(Shape &s, bool horizontal) const
    {
        const int nearA = horizontal ? l : u, farA = horizontal ? r : d;  // the double arms
        const int nearB = horizontal ? u : l, farB = horizontal ? d : r;  // the single ones
        const int64_t lengthA = horizontal ? cell.width : cell.height;
        const int64_t lengthB = horizontal ? cell.height : cell.width;
        const auto add = [&](int64_t a0, int64_t b0, int64_t a1, int64_t b1) {
            if (horizontal)
                s.Add(a0, b0, a1, b1);
            else
                s.Add(b0, a0, b1, a1);
        };
        Span first, second;
        DoubleStrokes(cell.stroke, horizontal ? cell.pitchY : cell.pitchX, &first, &second);
        const bool single = nearB != 0 || farB != 0;
        const int weight = std::max(std::max(nearB, farB), 1);
        const Span across = horizontal ? Col(weight) : Row(weight);
        for (const Span stroke : {first, second}) {
            if (nearA != 0)
                add(0, stroke.from, single ? across.to : farA != 0 ? lengthA : across.to, stroke.to);
            if (farA != 0)
                add(single ? across.from : nearA != 0 ? 0 : across.from, stroke.from, lengthA,
                    stroke.to);
        }
        const bool through = nearA != 0 && farA != 0;  // single lines stop at the nearer stroke
        if (nearB != 0 && farB != 0)
            add(across.from, 0, across.to, lengthB);
        else if (nearB != 0)
            add(across.from, 0, across.to, through ? first.to : second.to);
        else if (farB != 0)
            add(across.from, through ? second.from : first.from, across.to, lengthB);
    }

    void Draw(Shape &s)
    {
        // A double line needs three light strokes of room; where the cell
        // has less, it is drawn single.
        if (3 * cell.stroke > cell.pitchY) {
            l = l == 3 ? 1 : l;
            r = r == 3 ? 1 : r;
        }
        if (3 * cell.stroke > cell.pitchX) {
            u = u == 3 ? 1 : u;
            d = d == 3 ? 1 : d;
        }
        const bool doubleAcross = l == 3 || r == 3, doubleAlong = u == 3 || d == 3;
        if (doubleAcross && doubleAlong)
            BothDouble(s);
        else if (doubleAcross || doubleAlong)
            DoubleMeetsSingle(s, doubleAcross);
        else
            Single(s);
    }
};

// Dashed lines: the pitch cut into `dashes` equal parts, each lit over its
// first half, so that the dashes go on evenly from cell to cell.
void Dashes(Shape &s, const ShapeCell &cell, bool vertical, int weight, int dashes)
{
    const Lines lines{cell, 0, 0, 0, 0};
    const int64_t period = vertical ? cell.pitchY : cell.pitchX;
    const Span across = vertical ? lines.Col(weight) : lines.Row(weight);
    for (int k = 0; k < dashes; ++k) {
        const int64_t from = k * period / dashes, to = (k + 1) * period / dashes;
        if (to == from)
            continue;
        const int64_t end = from + std::max<int64_t>(1, (to - from + 1) / 2);
        if (vertical)
            s.Add(across.from, from, across.to, end);
        else
            s.Add(from, across.from, end, across.to);
    }
}

// A rounded corner: light lines from two edges joined by a quarter circle
// whose centre lies inside the cell, so that the straight ends meet the
// neighbours' lines.
void RoundedCorner(Shape &s, const ShapeCell &cell, int quadrant)
{
    const Lines lines{cell, 0, 0, 0, 0};
    const Span col = lines.Col(1), row = lines.Row(1);
    const double t = static_cast<double>(col.to - col.from);
    const double xc = static_cast<double>(col.from) + t / 2,
                 yc = static_cast<double>(row.from) + t / 2;
    const double px = static_cast<double>(cell.pitchX), py = static_cast<double>(cell.pitchY);
    const double radius = std::max(0.0, std::min(std::min(xc, px - xc), std::min(yc, py - yc)));
    const bool right = quadrant == 0 || quadrant == 3, down = quadrant < 2;
    s.extra = Shape::kArc;
    s.quadrant = quadrant;
    s.radius = radius;
    s.cx = right ? xc + radius : xc - radius;
    s.cy = down ? yc + radius : yc - radius;
    const int64_t splitX = static_cast<int64_t>(right ? std::floor(s.cx) : std::ceil(s.cx));
    const int64_t splitY = static_cast<int64_t>(down ? std::floor(s.cy) : std::ceil(s.cy));
    if (down)
        s.Add(col.from, splitY, col.to, cell.height);
    else
        s.Add(col.from, 0, col.to, splitY);
    if (right)
        s.Add(splitX, row.from, cell.width, row.to);
    else
        s.Add(0, row.from, splitX, row.to);
    s.arcArea = Rect{right ? 0 : splitX, down ? 0 : splitY, right ? splitX : cell.width,
                     down ? splitY : cell.height};
}

// The eighth k of a period, rounded: block elements split cells there.
int64_t Eighth(int k, int64_t period)
{
    return (k * period + 4) / 8;
}

void Blocks(Shape &s, const ShapeCell &cell, uint32_t codepoint)
{
    const int64_t w = cell.width, h = cell.height, px = cell.pitchX, py = cell.pitchY;
    if (codepoint == 0x2580)
        s.Add(0, 0, w, Eighth(4, py));
    else if (codepoint <= 0x2588)  // lower eighths, the full block last
        s.Add(0, Eighth(0x2588 - static_cast<int>(codepoint), py), w, h);
    else if (codepoint <= 0x258F)  // left eighths, seven down to one
        s.Add(0, 0, Eighth(0x2590 - static_cast<int>(codepoint), px), h);
    else if (codepoint == 0x2590)
        s.Add(Eighth(4, px), 0, w, h);
    else if (IsShade(codepoint)) {
        s.extra = Shape::kShade;
        s.shade = static_cast<int>(codepoint - 0x2590);
    } else if (codepoint == 0x2594)
        s.Add(0, 0, w, Eighth(1, py));
    else if (codepoint == 0x2595)
        s.Add(Eighth(7, px), 0, w, h);
    else {
        const uint8_t quadrants = kQuadrants[codepoint - 0x2596];
        const int64_t midX = Eighth(4, px), midY = Eighth(4, py);
        if (quadrants & 1)
            s.Add(0, 0, midX, midY);
        if (quadrants & 2)
            s.Add(midX, 0, w, midY);
        if (quadrants & 4)
            s.Add(0, midY, midX, h);
        if (quadrants & 8)
            s.Add(midX, midY, w, h);
    }
}

// Braille: eight dots, two columns of four, each a square centred in its
// part of the pitch.
void Braille(Shape &s, const ShapeCell &cell, uint32_t codepoint)
{
    const int64_t dot = std::max<int64_t>(1, std::min(cell.pitchX / 4, cell.pitchY / 8));
    static constexpr uint8_t kColumn[8] = {0, 0, 0, 1, 1, 1, 0, 1};
    static constexpr uint8_t kRow[8] = {0, 1, 2, 0, 1, 2, 3, 3};
    for (int k = 0; k < 8; ++k) {
        if (!((codepoint >> k) & 1))
            continue;
        const int64_t left = std::max<int64_t>(0, (2 * kColumn[k] + 1) * cell.pitchX / 4 - dot / 2);
        const int64_t top = std::max<int64_t>(0, (2 * kRow[k] + 1) * cell.pitchY / 8 - dot / 2);
        s.Add(left, top, left + dot, top + dot);
    }
}

Shape MakeShape(uint32_t codepoint, const ShapeCell &cell)
{
    Shape s;
    if (codepoint >= 0x2800) {
        Braille(s, cell, codepoint);
        return s;
    }
    if (codepoint >= 0x2580) {
        Blocks(s, cell, codepoint);
        return s;
    }
    const char *arms = kArms + 4 * (codepoint - 0x2500);
    if (arms[0] != '.') {
        Lines lines{cell, arms[0] - '0', arms[1] - '0', arms[2] - '0', arms[3] - '0'};
        lines.Draw(s);
    } else if (codepoint <= 0x250B || (codepoint >= 0x254C && codepoint <= 0x254F)) {
        // 2504 to 250B: triple, then quadruple dashes, horizontal light and
        // heavy, then vertical; 254C to 254F: double dashes, likewise.
        const int k =
            static_cast<int>(codepoint >= 0x254C ? codepoint - 0x254C : (codepoint - 0x2504) % 4);
        const int dashes = codepoint >= 0x254C ? 2 : codepoint <= 0x2507 ? 3 : 4;
        Dashes(s, cell, k >= 2, k % 2 + 1, dashes);
    } else if (codepoint <= 0x2570) {
        RoundedCorner(s, cell, static_cast<int>(codepoint - 0x256D));
    } else {
        s.extra = Shape::kDiagonals;
        s.rising = codepoint != 0x2572;
        s.falling = codepoint != 0x2571;
    }
    return s;
}

// Bits [from - left, to - left) of a 64-bit word, clipped to it.
uint64_t BitsBetween(int64_t from, int64_t to, int64_t left)
{
    from = std::max<int64_t>(from - left, 0);
    to = std::min<int64_t>(to - left, 64);
    if (from >= to)
        return 0;
    const uint64_t upTo = to == 64 ? ~uint64_t{0} : (uint64_t{1} << to) - 1;
    return upTo & ~((uint64_t{1} << from) - 1);
}

// The columns whose centres lie in [a, b), or the one holding the middle
// where none does, so that a thin line has no gap.
Span CentresIn(double a, double b)
{
    const double from = std::ceil(a - 0.5), to = std::ceil(b - 0.5);
    if (from < to)
        return Span{static_cast<int64_t>(from), static_cast<int64_t>(to)};
    const double middle = std::floor((a + b) / 2);
    return Span{static_cast<int64_t>(middle), static_cast<int64_t>(middle) + 1};
}

// The arc's columns on row y: the pixels whose centres lie within half a
// stroke of the circle, on the quadrant's side of its centre.
Span ArcColumns(const Shape &s, const ShapeCell &cell, int64_t y)
{
    if (y < s.arcArea.top || y >= s.arcArea.bottom)
        return Span{0, 0};
    const double half = static_cast<double>(cell.stroke) / 2;
    const double dy = std::fabs(static_cast<double>(y) + 0.5 - s.cy);
    const double outer2 = (s.radius + half) * (s.radius + half) - dy * dy;
    if (outer2 <= 0)
        return Span{0, 0};
    const double inner2 = (s.radius - half) * (s.radius - half) - dy * dy;
    const double outer = std::sqrt(outer2);
    const double inner = s.radius > half && inner2 > 0 ? std::sqrt(inner2) : 0;
    const bool right = s.quadrant == 0 || s.quadrant == 3;
    Span cols = right ? CentresIn(s.cx - outer, s.cx - inner + 1e-9)
                      : CentresIn(s.cx + inner, s.cx + outer + 1e-9);
    cols.from = std::max(cols.from, s.arcArea.left);
    cols.to = std::min(cols.to, s.arcArea.right);
    return cols;
}

// A diagonal's columns on row y: corner to corner of the pitch, a stroke
// wide across its slope.
Span DiagonalColumns(const ShapeCell &cell, int64_t y, bool rising)
{
    if (cell.pitchY <= 0)
        return Span{0, 0};
    const double px = static_cast<double>(cell.pitchX), py = static_cast<double>(cell.pitchY);
    const double along = (static_cast<double>(y) + 0.5) / py;
    const double x = px * (rising ? 1 - along : along);
    const double half = static_cast<double>(cell.stroke) * std::hypot(px, py) / (2 * py);
    return CentresIn(x - half, x + half);
}

uint64_t ShadeBits(int shade, int64_t x, int64_t y)
{
    constexpr uint64_t kEven = 0x5555555555555555u;  // the columns of even x
    const uint64_t even = (x & 1) == 0 ? kEven : ~kEven;
    const bool evenRow = (y & 1) == 0;
    switch (shade) {
    case 1: return evenRow ? even : 0;
    case 2: return evenRow ? even : ~even;
    default: return evenRow ? ~uint64_t{0} : even;
    }
}

}  // namespace

ShapeCell ShapeCellFor(int fontWidth, int fontHeight, float size, int64_t blockWidth,
                       int64_t blockHeight)
{
    ShapeCell cell;
    cell.width = blockWidth;
    cell.height = blockHeight;
    cell.pitchX = CellPitch(fontWidth, size);
    cell.pitchY = CellPitch(fontHeight, size);
    const double stroke = std::round(static_cast<double>(fontWidth) * size / 8);
    cell.stroke = std::isfinite(stroke) ? std::max<int64_t>(1, ClampFar(stroke)) : 1;
    return cell;
}

void ShapeRows(uint32_t codepoint, const ShapeCell &cell, int64_t left, int64_t top, int rows,
               int64_t originX, int64_t originY, uint64_t *out)
{
    const Shape s = MakeShape(codepoint, cell);
    const uint64_t block = BitsBetween(0, cell.width, left);
    for (int k = 0; k < rows; ++k) {
        const int64_t y = top + k;
        uint64_t bits = 0;
        for (int i = 0; i < s.count; ++i) {
            const Rect &r = s.rects[i];
            if (y >= r.top && y < r.bottom)
                bits |= BitsBetween(r.left, r.right, left);
        }
        if (s.extra == Shape::kShade) {
            bits = ShadeBits(s.shade, originX + left, originY + y);
        } else if (s.extra == Shape::kArc) {
            const Span cols = ArcColumns(s, cell, y);
            bits |= BitsBetween(cols.from, cols.to, left);
        } else if (s.extra == Shape::kDiagonals) {
            for (const bool rising : {true, false}) {
                if (rising ? s.rising : s.falling) {
                    const Span cols = DiagonalColumns(cell, y, rising);
                    bits |= BitsBetween(cols.from, cols.to, left);
                }
            }
        }
        out[k] = y < cell.height ? bits & block : 0;
    }
}

}  // namespace glyphar
