// PCF, the X server's compiled fonts (what Debian installs for X11): a table
// of contents, then the tables it names, each opening with its own format
// word (byte order, bit order, row padding, scan unit, compressed metrics).
// glyphar reads the properties, metrics, bitmaps and encodings tables, and
// an accelerator table where the properties lack the ascent and descent.
// Every offset, count and size is checked against its table, and every
// table against the data, with 64-bit arithmetic.

#include "GlypharFontLoad.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace glyphar {

namespace {

enum PcfTable : uint32_t {
    kProperties = 1,
    kAccelerators = 2,
    kMetrics = 4,
    kBitmaps = 8,
    kEncodings = 32,
    kBdfAccelerators = 256,
};

constexpr uint32_t kCompressedMetrics = 0x100;
constexpr uint32_t kFormatMask = 0xFFFFFF00u;

// A table's bytes and its format: integers in its byte order.
struct Table {
    const uint8_t *data = nullptr;
    uint64_t size = 0;
    uint32_t format = 0;

    bool bigEndian() const { return (format & 4) != 0; }
    bool Has(uint64_t at, uint64_t bytes) const { return at <= size && bytes <= size - at; }

    uint32_t U32(uint64_t at) const
    {
        const uint8_t *p = data + at;
        return bigEndian() ? uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]
                           : uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
    }
    int32_t I32(uint64_t at) const { return static_cast<int32_t>(U32(at)); }
    uint16_t U16(uint64_t at) const
    {
        const uint8_t *p = data + at;
        return static_cast<uint16_t>(bigEndian() ? p[0] << 8 | p[1] : p[1] << 8 | p[0]);
    }
    int16_t I16(uint64_t at) const { return static_cast<int16_t>(U16(at)); }
};

struct Pcf {
    const uint8_t *data;
    size_t size;
    Reason why;
    const char *where;

    bool Fail(const char *what, uint32_t type, uint64_t at)
    {
        Say(why, "%sPCF table %u: %s, at byte %llu of the table", where, type, what,
            static_cast<unsigned long long>(at));
        return false;
    }
};

uint32_t Le32At(const uint8_t *p)
{
    return uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
}

// The table of a type from the table of contents: found false where there
// is none, and false with the reason where the file lies about it.
bool FindTable(Pcf &pcf, uint32_t type, Table *table, bool *found)
{
    *found = false;
    if (pcf.size < 8)
        return pcf.Fail("the table of contents ends early", 0, pcf.size);
    const uint64_t count = Le32At(pcf.data + 4);
    if (count > (pcf.size - 8) / 16) {
        Say(pcf.why, "%sPCF: %llu tables at byte 4 need more than the data's %zu bytes",
            pcf.where, static_cast<unsigned long long>(count), pcf.size);
        return false;
    }
    for (uint64_t k = 0; k < count; ++k) {
        const uint8_t *entry = pcf.data + 8 + 16 * k;
        if (Le32At(entry) != type)
            continue;
        // Compilers have written a last table's size past the data's end:
        // such a table ends where the data does.
        const uint64_t offset = Le32At(entry + 12);
        const uint64_t size = std::min<uint64_t>(Le32At(entry + 8), pcf.size - std::min<uint64_t>(offset, pcf.size));
        if (offset > pcf.size || size < 4) {
            Say(pcf.why, "%sPCF: table %u at byte %llu lies outside the data's %zu bytes",
                pcf.where, type, static_cast<unsigned long long>(offset), pcf.size);
            return false;
        }
        table->data = pcf.data + offset;
        table->size = size;
        table->format = Le32At(table->data);  // a table's format word is little-endian
        if (table->format != Le32At(entry + 4)) {
            Say(pcf.why, "%sPCF: table %u at byte %llu has format 0x%X, its entry says 0x%X",
                pcf.where, type, static_cast<unsigned long long>(offset), table->format,
                Le32At(entry + 4));
            return false;
        }
        *found = true;
        return true;
    }
    return true;
}

bool NeedTable(Pcf &pcf, uint32_t type, const char *name, Table *table)
{
    bool found;
    if (!FindTable(pcf, type, table, &found))
        return false;
    if (!found)
        Say(pcf.why, "%sPCF: no %s table", pcf.where, name);
    return found;
}

// The properties glyphar uses.
struct PcfProperties {
    bool hasAscent = false, hasDescent = false;
    int64_t ascent = 0, descent = 0;
    char registry[64] = "", encoding[64] = "";
};

bool ReadProperties(Pcf &pcf, const Table &t, PcfProperties *p)
{
    if (!t.Has(4, 4))
        return pcf.Fail("no property count", kProperties, 4);
    const uint64_t count = t.U32(4);
    const uint64_t entries = 8, padded = entries + count * 9 + (count % 4 ? 4 - count % 4 : 0);
    if (count > t.size / 9 || !t.Has(padded, 4))
        return pcf.Fail("properties past the table's end", kProperties, entries);
    const uint64_t stringsSize = t.U32(padded), strings = padded + 4;
    if (!t.Has(strings, stringsSize))
        return pcf.Fail("property strings past the table's end", kProperties, padded);
    // A string of the table, NUL-terminated within it; nullptr otherwise.
    const auto text = [&](uint64_t offset) -> const char * {
        if (offset >= stringsSize)
            return nullptr;
        const char *s = reinterpret_cast<const char *>(t.data + strings + offset);
        return std::memchr(s, '\0', stringsSize - offset) != nullptr ? s : nullptr;
    };
    for (uint64_t k = 0; k < count; ++k) {
        const uint64_t at = entries + 9 * k;
        const char *name = text(t.U32(at));
        const bool isString = t.data[at + 4] != 0;
        const int32_t value = t.I32(at + 5);
        if (name == nullptr)
            continue;
        if (isString) {
            const char *s = text(static_cast<uint32_t>(value));
            char *into = std::strcmp(name, "CHARSET_REGISTRY") == 0   ? p->registry
                         : std::strcmp(name, "CHARSET_ENCODING") == 0 ? p->encoding
                                                                      : nullptr;
            if (into != nullptr && s != nullptr) {
                const size_t n = std::min(std::strlen(s), sizeof p->registry - 1);
                std::memcpy(into, s, n);
                into[n] = '\0';
            }
        } else if (std::strcmp(name, "FONT_ASCENT") == 0) {
            p->ascent = value, p->hasAscent = true;
        } else if (std::strcmp(name, "FONT_DESCENT") == 0) {
            p->descent = value, p->hasDescent = true;
        }
    }
    return true;
}

// The ascent and descent of an accelerator table: they follow its format
// word and eight bytes of flags, at byte 12.
bool ReadAccelerators(Pcf &pcf, PcfProperties *p)
{
    for (uint32_t type : {kBdfAccelerators, kAccelerators}) {
        Table t;
        bool found;
        if (!FindTable(pcf, type, &t, &found))
            return false;
        if (!found)
            continue;
        if (!t.Has(12, 8))
            return pcf.Fail("the ascent and descent past the table's end", type, 12);
        if (!p->hasAscent)
            p->ascent = t.I32(12), p->hasAscent = true;
        if (!p->hasDescent)
            p->descent = t.I32(16), p->hasDescent = true;
        return true;
    }
    Say(pcf.why, "%sPCF: no FONT_ASCENT and FONT_DESCENT properties, and no accelerator table",
        pcf.where);
    return false;
}

// Glyph g's metrics, from either form of the table.
bool MetricsOf(Pcf &pcf, const Table &t, uint64_t g, GlyphMetrics *m)
{
    int lsb, rsb, width, ascent, descent;
    if (t.format & kCompressedMetrics) {
        const uint64_t at = 6 + 5 * g;
        const uint8_t *p = t.data + at;
        lsb = p[0] - 0x80, rsb = p[1] - 0x80, width = p[2] - 0x80;
        ascent = p[3] - 0x80, descent = p[4] - 0x80;
    } else {
        const uint64_t at = 8 + 12 * g;
        lsb = t.I16(at), rsb = t.I16(at + 2), width = t.I16(at + 4);
        ascent = t.I16(at + 6), descent = t.I16(at + 8);
    }
    if (rsb < lsb || ascent + descent < 0) {
        Say(pcf.why, "%sPCF metrics of glyph %llu: bearings %d to %d and ascent %d, descent %d "
            "make no box", pcf.where, static_cast<unsigned long long>(g), lsb, rsb, ascent,
            descent);
        return false;
    }
    *m = GlyphMetrics{std::max(width, 0), rsb - lsb, ascent + descent, lsb, ascent};
    return true;
}

bool ReadMetricsCount(Pcf &pcf, const Table &t, uint64_t *count)
{
    const bool compressed = (t.format & kCompressedMetrics) != 0;
    if ((t.format & kFormatMask & ~kCompressedMetrics) != 0)
        return pcf.Fail("an unknown metrics format", kMetrics, 0);
    if (!t.Has(4, compressed ? 2 : 4))
        return pcf.Fail("no glyph count", kMetrics, 4);
    *count = compressed ? t.U16(4) : t.U32(4);
    const uint64_t first = compressed ? 6 : 8, each = compressed ? 5 : 12;
    if (*count > kMaxGlyphs || !t.Has(first, *count * each))
        return pcf.Fail("more glyphs than the table holds or glyphar takes", kMetrics, 4);
    return true;
}

// The encodings table: each glyph's code point, kNone for a glyph without.
constexpr uint32_t kNone = ~uint32_t{0};

bool ReadEncodings(Pcf &pcf, const Table &t, uint64_t glyphs, uint32_t *codepointOf,
                   int64_t *defaultGlyph)
{
    if (!t.Has(4, 10))
        return pcf.Fail("no encoding ranges", kEncodings, 4);
    const int firstCol = t.I16(4), lastCol = t.I16(6), firstRow = t.I16(8), lastRow = t.I16(10);
    const int defaultChar = t.U16(12);
    if (firstCol < 0 || lastCol > 255 || firstRow < 0 || lastRow > 255 || firstCol > lastCol ||
        firstRow > lastRow)
        return pcf.Fail("encoding ranges outside 0 to 255", kEncodings, 4);
    const uint64_t cols = static_cast<uint64_t>(lastCol - firstCol + 1);
    const uint64_t entries = cols * static_cast<uint64_t>(lastRow - firstRow + 1);
    if (!t.Has(14, entries * 2))
        return pcf.Fail("glyph indices past the table's end", kEncodings, 14);
    for (uint64_t k = 0; k < entries; ++k) {
        const uint16_t glyph = t.U16(14 + 2 * k);
        const uint32_t code = static_cast<uint32_t>((firstRow + k / cols) * 256 + firstCol + k % cols);
        if (glyph != 0xFFFF && glyph < glyphs && codepointOf[glyph] == kNone)
            codepointOf[glyph] = code;
        if (static_cast<int>(code) == defaultChar && glyph != 0xFFFF && glyph < glyphs)
            *defaultGlyph = glyph;
    }
    return true;
}

// A glyph's rows from the bitmaps table, as the format lays them: rows
// padded to 1, 2, 4 or 8 bytes, bytes swapped within scan units of 2 or 4
// where the byte order is not the bit order, and bits from the top or the
// bottom of each byte.
struct BitmapLayout {
    uint32_t format;

    uint64_t RowBytes(int width) const
    {
        const uint64_t pad = uint64_t{1} << (format & 3);
        return (static_cast<uint64_t>(width) + 8 * pad - 1) / (8 * pad) * pad;
    }

    uint64_t Row(const uint8_t *row, int width) const
    {
        const bool msbFirst = (format & 8) != 0;
        const bool swap = ((format >> 2) & 1) != ((format >> 3) & 1);
        const uint64_t unit = uint64_t{1} << ((format >> 4) & 3);
        uint64_t bits = 0;
        for (int c = 0; c < width; ++c) {
            uint64_t byte = static_cast<uint64_t>(c) >> 3;
            if (swap && unit > 1)
                byte = byte / unit * unit + (unit - 1 - byte % unit);
            const int bit = msbFirst ? 7 - (c & 7) : c & 7;
            bits |= static_cast<uint64_t>(row[byte] >> bit & 1) << c;
        }
        return bits;
    }
};

bool ReadBitmaps(Pcf &pcf, const Table &t, GlypharFont *font, const GlyphList &list,
                 const uint32_t *glyphOfEntry)
{
    if (!t.Has(4, 4))
        return pcf.Fail("no glyph count", kBitmaps, 4);
    const uint64_t count = t.U32(4);
    if (count > kMaxGlyphs || !t.Has(8, count * 4 + 16))
        return pcf.Fail("more glyph offsets than the table holds", kBitmaps, 4);
    const uint64_t data = 8 + count * 4 + 16;
    const uint64_t dataSize = t.U32(8 + count * 4 + 4 * (t.format & 3));
    if (!t.Has(data, dataSize))
        return pcf.Fail("bitmap data past the table's end", kBitmaps, 8 + count * 4);
    const BitmapLayout layout{t.format};
    for (int k = 0; k < list.count; ++k) {
        const uint64_t g = glyphOfEntry[k];
        const GlyphMetrics &m = list.metrics[k];
        if (m.height == 0 || m.width == 0)
            continue;
        if (g >= count)
            return pcf.Fail("a glyph without a bitmap", kBitmaps, 4);
        const uint64_t offset = t.U32(8 + 4 * g), rowBytes = layout.RowBytes(m.width);
        if (offset > dataSize || rowBytes * static_cast<uint64_t>(m.height) > dataSize - offset)
            return pcf.Fail("a glyph's bitmap past the bitmap data", kBitmaps, 8 + 4 * g);
        const uint8_t *rows = t.data + data + offset;
        for (int r = 0; r < m.height; ++r)
            PutGlyphRow(font, static_cast<uint32_t>(k), m,  r,
                        layout.Row(rows + static_cast<uint64_t>(r) * rowBytes, m.width));
    }
    return true;
}

// Owned arrays of the loader.
template <class T>
struct Owned {
    T *p = nullptr;
    explicit Owned(size_t n) : p(static_cast<T *>(std::malloc(std::max<size_t>(n, 1) * sizeof(T))))
    {
    }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    ~Owned() { std::free(p); }
};

}  // namespace

GlypharFont *LoadPcf(const uint8_t *data, size_t size, Reason why, const char *where)
{
    Pcf pcf{data, size, why, where};
    Table properties, metrics, bitmaps, encodings;
    PcfProperties props;
    if (!NeedTable(pcf, kProperties, "properties", &properties) ||
        !ReadProperties(pcf, properties, &props) ||
        !EncodingsAreCodePoints(props.registry, props.encoding, why, where))
        return nullptr;
    if ((!props.hasAscent || !props.hasDescent) && !ReadAccelerators(pcf, &props))
        return nullptr;
    uint64_t count;
    if (!NeedTable(pcf, kMetrics, "metrics", &metrics) || !ReadMetricsCount(pcf, metrics, &count) ||
        !NeedTable(pcf, kBitmaps, "bitmaps", &bitmaps) ||
        !NeedTable(pcf, kEncodings, "encodings", &encodings))
        return nullptr;
    Owned<uint32_t> codepointOf(count), glyphOfEntry(count);
    if (codepointOf.p == nullptr || glyphOfEntry.p == nullptr)
        return OutOfMemory(why, where);
    std::fill(codepointOf.p, codepointOf.p + count, kNone);
    int64_t defaultGlyph = -1;
    if (!ReadEncodings(pcf, encodings, count, codepointOf.p, &defaultGlyph))
        return nullptr;
    // The encoded glyphs, in the font's order.
    GlyphList list;
    int64_t defaultEntry = -1;
    for (uint64_t g = 0; g < count; ++g) {
        if (codepointOf.p[g] == kNone)
            continue;
        GlyphMetrics m;
        char name[32];
        std::snprintf(name, sizeof name, "PCF glyph %llu", static_cast<unsigned long long>(g));
        if (!MetricsOf(pcf, metrics, g, &m) || !MetricsFit(m, why, where, name))
            return nullptr;
        if (static_cast<int64_t>(g) == defaultGlyph)
            defaultEntry = list.count;
        glyphOfEntry.p[list.count] = static_cast<uint32_t>(g);
        if (!list.Add(m, codepointOf.p[g], 0))
            return OutOfMemory(why, where);
    }
    if (props.ascent < -(int64_t{1} << 20) || props.ascent > (int64_t{1} << 20) ||
        props.descent < -(int64_t{1} << 20) || props.descent > (int64_t{1} << 20)) {
        Say(why, "%sPCF: ascent %lld and descent %lld past any font's", where,
            static_cast<long long>(props.ascent), static_cast<long long>(props.descent));
        return nullptr;
    }
    GlypharFont *font = FontOfList(list, static_cast<int>(props.ascent),
                                   static_cast<int>(props.descent), why, where, "PCF");
    if (font == nullptr)
        return nullptr;
    if (!ReadBitmaps(pcf, bitmaps, font, list, glyphOfEntry.p)) {
        FreeFont(font);
        return nullptr;
    }
    return HandOver(font, why, where,
                    defaultEntry >= 0 ? static_cast<uint32_t>(defaultEntry) : kNoFallback);
}

}  // namespace glyphar
