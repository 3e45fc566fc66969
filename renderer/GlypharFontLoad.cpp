// Font loading: the format told by its first bytes, PSF version 1 and 2 (the
// Linux console's format) here, BDF, .hex and PCF in files of their own;
// plain or gzip-compressed (through zlib where the build has it). Every
// size, count and offset is checked against the data before it is used,
// with 64-bit arithmetic; nothing is read outside the data, and nothing
// allocated past the limits.

#include "GlypharFontLoad.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#if defined(GLYPHAR_HAVE_ZLIB)
#include <zlib.h>
#endif

namespace glyphar {

void Say(Reason why, const char *format, ...)
{
    if (why.text == nullptr || why.size == 0)
        return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(why.text, why.size, format, args);
    va_end(args);
}

GlypharFont *OutOfMemory(Reason why, const char *where)
{
    Say(why, "%sout of memory", where);
    return nullptr;
}

GlypharFont *HandOver(GlypharFont *font, Reason why, const char *where, uint32_t fallback)
{
    if (!FinishFont(font, fallback)) {
        FreeFont(font);
        return OutOfMemory(why, where);
    }
    return font;
}

//----------------------------------------------------------------------------
// Fonts whose glyphs have metrics of their own.
//----------------------------------------------------------------------------

GlyphList::~GlyphList()
{
    std::free(metrics);
    std::free(codepoints);
    std::free(bitmaps);
}

bool GlyphList::Add(const GlyphMetrics &m, uint32_t codepoint, size_t bitmap)
{
    if (count == room) {
        const int more = room == 0 ? 256 : 2 * room;
        const size_t n = static_cast<size_t>(more);
        void *a = std::realloc(metrics, n * sizeof *metrics);
        if (a != nullptr)
            metrics = static_cast<GlyphMetrics *>(a);
        void *b = std::realloc(codepoints, n * sizeof *codepoints);
        if (b != nullptr)
            codepoints = static_cast<uint32_t *>(b);
        void *c = std::realloc(bitmaps, n * sizeof *bitmaps);
        if (c != nullptr)
            bitmaps = static_cast<size_t *>(c);
        if (a == nullptr || b == nullptr || c == nullptr)
            return false;
        room = more;
    }
    metrics[count] = m;
    codepoints[count] = codepoint;
    bitmaps[count] = bitmap;
    ++count;
    return true;
}

namespace {

// Far enough for any glyph of a font within the limits, near enough that
// sums of them never overflow.
constexpr int kMaxOffset = 1 << 16;
constexpr int kMaxAdvance = 0xFFFF;  // a font keeps its advances in 16 bits

bool Within(int v, int low, int high)
{
    return v >= low && v <= high;
}

}  // namespace

bool MetricsFit(const GlyphMetrics &m, Reason why, const char *where, const char *glyph)
{
    const char *bad = !Within(m.advance, 0, kMaxAdvance)          ? "advance"
                      : !Within(m.width, 0, kMaxCellWidth)        ? "width"
                      : !Within(m.height, 0, kMaxCellHeight)      ? "height"
                      : !Within(m.left, -kMaxOffset, kMaxOffset)  ? "left offset"
                      : !Within(m.top, -kMaxOffset, kMaxOffset)   ? "top"
                                                                  : nullptr;
    if (bad == nullptr)
        return true;
    Say(why, "%s%s: ink box %d x %d at (%d, %d), advance %d: its %s is past glyphar's limits "
        "(%d x %d pixels, advances up to %d, offsets up to %d)", where, glyph, m.width, m.height,
        m.left, m.top, m.advance, bad, kMaxCellWidth, kMaxCellHeight, kMaxAdvance, kMaxOffset);
    return false;
}

GlypharFont *FontOfList(const GlyphList &list, int ascent, int descent, Reason why,
                        const char *where, const char *format)
{
    if (list.count < 1) {
        Say(why, "%s%s font without a glyph glyphar can use", where, format);
        return nullptr;
    }
    if (!Within(ascent, -kMaxOffset, kMaxOffset) || !Within(descent, -kMaxOffset, kMaxOffset) ||
        !Within(ascent + descent, 1, kMaxCellHeight)) {
        Say(why, "%s%s font: ascent %d and descent %d make a line of %d pixels, not 1 to %d",
            where, format, ascent, descent, ascent + descent, kMaxCellHeight);
        return nullptr;
    }
    const FontBox box = BoxOf(ascent, descent, list.metrics, list.count);
    if (box.width > kMaxCellWidth || box.height > kMaxCellHeight) {
        Say(why, "%s%s font: its glyphs' ink and cell take a box of %d x %d pixels, past "
            "glyphar's limit of %d x %d", where, format, box.width, box.height, kMaxCellWidth,
            kMaxCellHeight);
        return nullptr;
    }
    GlypharFont *font = NewBoxFont(box, ascent, descent, list.metrics, list.count);
    if (font == nullptr)
        return OutOfMemory(why, where);
    for (int g = 0; g < list.count; ++g)
        if (!MapCodePoint(font, list.codepoints[g], static_cast<uint32_t>(g))) {
            FreeFont(font);
            return OutOfMemory(why, where);
        }
    return font;
}

namespace {

// Text from a font, cut to `size` bytes with its control characters as '?'.
void Printable(const char *text, char *out, size_t size)
{
    size_t n = 0;
    for (; text[n] != '\0' && n + 1 < size; ++n) {
        const unsigned char c = static_cast<unsigned char>(text[n]);
        out[n] = c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
    out[n] = '\0';
}

// Registry names compare without regard to case, as X11 compares them.
bool SameName(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) !=
            std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}

}  // namespace

bool EncodingsAreCodePoints(const char *registry, const char *encoding, Reason why,
                            const char *where)
{
    if (registry == nullptr || *registry == '\0')
        return true;
    const char *enc = encoding != nullptr ? encoding : "";
    if ((SameName(registry, "ISO10646") && SameName(enc, "1")) ||
        (SameName(registry, "ISO8859") && SameName(enc, "1")) ||
        (SameName(registry, "ISO646.1991") && SameName(enc, "IRV")))
        return true;
    // The names come from the font: shown without their control characters,
    // so that the reason stays one line.
    char shownRegistry[64], shownEncoding[64];
    Printable(registry, shownRegistry, sizeof shownRegistry);
    Printable(enc, shownEncoding, sizeof shownEncoding);
    Say(why, "%sfont of registry %s-%s: glyphar reads fonts of Unicode (ISO10646-1) and Latin-1 "
        "(ISO8859-1); use the font's ISO10646-1 variant", where, shownRegistry, shownEncoding);
    return false;
}

namespace {

// Bytes the loader owns, freed when it returns.
struct Buffer {
    uint8_t *data = nullptr;
    size_t size = 0;

    Buffer() = default;
    Buffer(const Buffer &) = delete;
    Buffer &operator=(const Buffer &) = delete;
    ~Buffer() { std::free(data); }

    // Room for `room` bytes in all; false where memory runs out.
    bool Reserve(size_t room)
    {
        void *more = std::realloc(data, room);
        if (more == nullptr)
            return false;
        data = static_cast<uint8_t *>(more);
        return true;
    }
};

uint32_t Le32(const uint8_t *p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Code page 437 in its graphic form (controls as the VGA draws them): the
// order of a console font without a Unicode table.
constexpr uint16_t kCp437[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, 0x0020,
    0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B,
    0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036,
    0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x0040, 0x0041,
    0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C,
    0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057,
    0x0058, 0x0059, 0x005A, 0x005B, 0x005C, 0x005D, 0x005E, 0x005F, 0x0060, 0x0061, 0x0062,
    0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D,
    0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077, 0x0078,
    0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302, 0x00C7, 0x00FC, 0x00E9, 0x00E2,
    0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4,
    0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6,
    0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1,
    0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551,
    0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C,
    0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568,
    0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588,
    0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5,
    0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1,
    0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F,
    0x00B2, 0x25A0, 0x00A0,
};

//----------------------------------------------------------------------------
// PSF. Version 1: a 4-byte header (magic 36 04, mode, glyph height), 256 or
// 512 glyphs 8 pixels wide, then, where the mode says so, a Unicode table of
// 16-bit little-endian code points, each glyph's list ended by FFFF, with
// sequences (FFFE, then code points) to skip. Version 2: a 32-byte header of
// little-endian words (magic 72 B5 4A 86, version, header size, flags,
// glyph count, bytes per glyph, height, width), the glyphs at the header
// size, rows padded to whole bytes, then, where flag 1 is set, a table of
// UTF-8 code points, each glyph's list ended by FF, sequences led by FE.
// Pixels go from the top bit of a row's first byte.
//----------------------------------------------------------------------------

constexpr uint8_t kPsf1Magic[2] = {0x36, 0x04};
constexpr uint8_t kPsf2Magic[4] = {0x72, 0xB5, 0x4A, 0x86};

// Frees a font that memory ran out for.
GlypharFont *Dropped(GlypharFont *font, Reason why, const char *where)
{
    FreeFont(font);
    return OutOfMemory(why, where);
}

// A font without a Unicode table, in code page 437's order.
GlypharFont *WithCp437(GlypharFont *font, int glyphs, Reason why, const char *where)
{
    for (int g = 0; g < glyphs && g < 256; ++g)
        if (!MapCodePoint(font, kCp437[g], static_cast<uint32_t>(g)))
            return Dropped(font, why, where);
    return HandOver(font, why, where);
}

GlypharFont *LoadPsf1(const uint8_t *data, size_t size, Reason why, const char *where)
{
    if (size < 4) {
        Say(why, "%sPSF1 header ends at byte %zu of 4", where, size);
        return nullptr;
    }
    const int mode = data[2], height = data[3];
    if (height < 1 || height > kMaxCellHeight) {
        Say(why, "%sPSF1 header: glyph height %d at byte 3 is not 1 to %d", where, height,
            kMaxCellHeight);
        return nullptr;
    }
    const int glyphs = mode & 0x01 ? 512 : 256;
    const uint64_t end = 4 + static_cast<uint64_t>(glyphs) * height;
    if (size < end) {
        Say(why, "%sPSF1 header: %d glyphs (mode %d, byte 2) of %d bytes (byte 3) end at byte "
            "%llu, past the data's %zu", where, glyphs, mode, height, static_cast<unsigned long long>(end), size);
        return nullptr;
    }
    GlypharFont *font = NewFont(8, height, glyphs, data + 4, 1, static_cast<size_t>(height));
    if (font == nullptr)
        return OutOfMemory(why, where);
    if (!(mode & 0x06))
        return WithCp437(font, glyphs, why, where);
    // The table: a truncated one gives the glyphs it reaches.
    size_t at = static_cast<size_t>(end);
    for (int g = 0; g < glyphs && at + 1 < size; ++g) {
        bool sequence = false;
        for (; at + 1 < size; at += 2) {
            const uint32_t value = data[at] | static_cast<uint32_t>(data[at + 1]) << 8;
            if (value == 0xFFFF) {
                at += 2;
                break;
            }
            if (value == 0xFFFE)
                sequence = true;
            else if (!sequence && !MapCodePoint(font, value, static_cast<uint32_t>(g)))
                return Dropped(font, why, where);
        }
    }
    return HandOver(font, why, where);
}

// One UTF-8 character of the table, at most `left` bytes; length 0 for an
// ill-formed one.
struct TableChar {
    uint32_t codepoint;
    int length;
};

TableChar TableUtf8(const uint8_t *p, size_t left)
{
    const unsigned lead = p[0];
    if (lead < 0x80)
        return {lead, 1};
    int follow;
    uint32_t value;
    if (lead >= 0xC2 && lead <= 0xDF)
        follow = 1, value = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF)
        follow = 2, value = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4)
        follow = 3, value = lead & 0x07;
    else
        return {0, 0};
    if (left < static_cast<size_t>(follow) + 1)
        return {0, 0};
    for (int k = 1; k <= follow; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return {0, 0};
        value = value << 6 | (p[k] & 0x3F);
    }
    const uint32_t least[4] = {0, 0x80, 0x800, 0x10000};
    if (value < least[follow] || value > kLastCodePoint || (value >= 0xD800 && value <= 0xDFFF))
        return {0, 0};
    return {value, follow + 1};
}

GlypharFont *LoadPsf2(const uint8_t *data, size_t size, Reason why, const char *where)
{
    if (size < 32) {
        Say(why, "%sPSF2 header ends at byte %zu of 32", where, size);
        return nullptr;
    }
    const uint32_t headerSize = Le32(data + 8), flags = Le32(data + 12);
    const uint32_t glyphs = Le32(data + 16), glyphBytes = Le32(data + 20);
    const uint32_t height = Le32(data + 24), width = Le32(data + 28);
    if (headerSize < 32 || headerSize > size) {
        Say(why, "%sPSF2 header: header size %u at byte 8 is not 32 to the data's %zu", where,
            headerSize, size);
        return nullptr;
    }
    if (width < 1 || width > kMaxCellWidth) {
        Say(why, "%sPSF2 header: width %u at byte 28 is not 1 to %d", where, width, kMaxCellWidth);
        return nullptr;
    }
    if (height < 1 || height > kMaxCellHeight) {
        Say(why, "%sPSF2 header: height %u at byte 24 is not 1 to %d", where, height,
            kMaxCellHeight);
        return nullptr;
    }
    if (glyphs < 1 || glyphs > kMaxGlyphs) {
        Say(why, "%sPSF2 header: glyph count %u at byte 16 is not 1 to %d", where, glyphs,
            kMaxGlyphs);
        return nullptr;
    }
    const uint32_t rowBytes = (width + 7) / 8;
    if (glyphBytes < height * rowBytes) {
        Say(why, "%sPSF2 header: %u bytes per glyph at byte 20, fewer than the %u that %u rows of "
            "%u pixels take", where, glyphBytes, height * rowBytes, height, width);
        return nullptr;
    }
    const uint64_t end = headerSize + uint64_t{glyphs} * glyphBytes;
    if (end > size) {
        Say(why, "%sPSF2 header: %u glyphs (byte 16) of %u bytes (byte 20) from byte %u end at "
            "byte %llu, past the data's %zu", where, glyphs, glyphBytes, headerSize,
            static_cast<unsigned long long>(end), size);
        return nullptr;
    }
    GlypharFont *font = NewFont(static_cast<int>(width), static_cast<int>(height),
                                static_cast<int>(glyphs), data + headerSize, rowBytes, glyphBytes);
    if (font == nullptr)
        return OutOfMemory(why, where);
    if (!(flags & 0x01))
        return WithCp437(font, static_cast<int>(glyphs), why, where);
    // The table: a truncated one gives the glyphs it reaches.
    size_t at = static_cast<size_t>(end);
    for (uint32_t g = 0; g < glyphs && at < size; ++g) {
        bool sequence = false;
        while (at < size) {
            if (data[at] == 0xFF) {
                ++at;
                break;
            }
            if (data[at] == 0xFE) {
                sequence = true;
                ++at;
                continue;
            }
            const TableChar c = TableUtf8(data + at, size - at);
            if (c.length == 0) {
                FreeFont(font);
                Say(why, "%sPSF2 Unicode table: ill-formed UTF-8 (byte 0x%02X) at byte %zu, in the "
                    "entry of glyph %u", where, data[at], at, g);
                return nullptr;
            }
            if (!sequence && !MapCodePoint(font, c.codepoint, g))
                return Dropped(font, why, where);
            at += static_cast<size_t>(c.length);
        }
    }
    return HandOver(font, why, where);
}

// Unifont's .hex has no magic: its first line is a code point in hex and a
// colon.
bool LooksLikeHex(const uint8_t *data, size_t size)
{
    size_t k = 0;
    while (k < size && k < 8 && std::isxdigit(data[k]))
        ++k;
    return k >= 4 && k < size && data[k] == ':';
}

GlypharFont *LoadUncompressed(const uint8_t *data, size_t size, Reason why, const char *where)
{
    if (size >= 4 && std::memcmp(data, kPsf2Magic, 4) == 0)
        return LoadPsf2(data, size, why, where);
    if (size >= 2 && std::memcmp(data, kPsf1Magic, 2) == 0)
        return LoadPsf1(data, size, why, where);
    if (size >= 4 && std::memcmp(data, "\1fcp", 4) == 0)
        return LoadPcf(data, size, why, where);
    if (size >= 9 && std::memcmp(data, "STARTFONT", 9) == 0)
        return LoadBdf(data, size, why, where);
    if (LooksLikeHex(data, size))
        return LoadHex(data, size, why, where);
    Say(why, "%snot a font glyphar reads: no PSF1 (36 04), PSF2 (72 B5 4A 86), PCF (01 'fcp') "
        "or BDF (STARTFONT) magic at byte 0, nor a .hex line", where);
    return nullptr;
}

//----------------------------------------------------------------------------
// gzip, through zlib. The output grows as it is needed and never past the
// limit, which is checked as it inflates: a small file that would inflate to
// gigabytes is refused once it passes 64 MiB.
//----------------------------------------------------------------------------

bool IsGzip(const uint8_t *data, size_t size)
{
    return size >= 2 && data[0] == 0x1F && data[1] == 0x8B;
}

#if defined(GLYPHAR_HAVE_ZLIB)

bool Inflate(const uint8_t *data, size_t size, Buffer *out, Reason why, const char *where)
{
    z_stream z;
    std::memset(&z, 0, sizeof z);
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) {
        OutOfMemory(why, where);
        return false;
    }
    size_t room = std::min<size_t>(kMaxFontData + 1, size * 4 + 65536);
    bool ok = out->Reserve(room);
    if (!ok)
        OutOfMemory(why, where);
    const uint8_t *in = data;
    size_t inLeft = size;
    while (ok) {
        // zlib counts in unsigned ints: feed and take at most 1 GiB a step.
        z.next_in = const_cast<Bytef *>(in);
        z.avail_in = static_cast<uInt>(std::min<size_t>(inLeft, size_t{1} << 30));
        z.next_out = out->data + out->size;
        z.avail_out = static_cast<uInt>(room - out->size);
        const uInt inBefore = z.avail_in, outBefore = z.avail_out;
        const int status = inflate(&z, Z_NO_FLUSH);
        in += inBefore - z.avail_in;
        inLeft -= inBefore - z.avail_in;
        out->size += outBefore - z.avail_out;
        if (out->size > kMaxFontData) {
            Say(why, "%sgzip data inflates past the limit of %zu MiB of font data", where,
                kMaxFontData >> 20);
            ok = false;
        } else if (status == Z_STREAM_END) {
            if (!IsGzip(in, inLeft))  // another member follows, or the end
                break;
            inflateReset(&z);
        } else if (status == Z_DATA_ERROR || status == Z_NEED_DICT) {
            Say(why, "%sgzip data is corrupt at byte %zu: %s", where,
                static_cast<size_t>(in - data), z.msg != nullptr ? z.msg : "bad data");
            ok = false;
        } else if (status == Z_MEM_ERROR) {
            OutOfMemory(why, where);
            ok = false;
        } else if (z.avail_out == 0) {  // the output is full: twice the room
            room = std::min<size_t>(kMaxFontData + 1, room * 2);
            ok = out->Reserve(room);
            if (!ok)
                OutOfMemory(why, where);
        } else if (inLeft == 0 || status == Z_BUF_ERROR) {
            Say(why, "%sgzip data ends early, after %zu bytes", where, size);
            ok = false;
        }
    }
    inflateEnd(&z);
    return ok;
}

#else

bool Inflate(const uint8_t *, size_t, Buffer *, Reason why, const char *where)
{
    Say(why, "%sgzip-compressed, and this glyphar was built without zlib: decompress the font "
        "first (gunzip) or build glyphar with zlib", where);
    return false;
}

#endif

GlypharFont *Load(const uint8_t *data, size_t size, Reason why, const char *where)
{
    if (!IsGzip(data, size)) {
        if (size > kMaxFontData) {
            Say(why, "%s%zu bytes, past the limit of %zu MiB of font data", where, size,
                kMaxFontData >> 20);
            return nullptr;
        }
        return LoadUncompressed(data, size, why, where);
    }
    Buffer inflated;
    if (!Inflate(data, size, &inflated, why, where))
        return nullptr;
    if (IsGzip(inflated.data, inflated.size)) {
        Say(why, "%sgzip data holds more gzip data, not a font", where);
        return nullptr;
    }
    return LoadUncompressed(inflated.data, inflated.size, why, where);
}

}  // namespace

GlypharFont *LoadFontMemory(const uint8_t *data, size_t size, Reason why)
{
    if (data == nullptr) {
        Say(why, "no data (a NULL pointer)");
        return nullptr;
    }
    return Load(data, size, why, "");
}

GlypharFont *LoadFontFile(const char *path, Reason why)
{
    if (path == nullptr) {
        Say(why, "no path (a NULL pointer)");
        return nullptr;
    }
    std::FILE *file = std::fopen(path, "rb");
    if (file == nullptr) {
        Say(why, "cannot open '%s': %s", path, std::strerror(errno));
        return nullptr;
    }
    // Read up to one byte past the limit, to tell a file past it.
    Buffer bytes;
    size_t room = 0;
    bool failed = false;
    int error = 0;
    for (;;) {
        if (bytes.size == room) {
            if (room > kMaxFontData)
                break;
            room = std::min(kMaxFontData + 1, room == 0 ? size_t{65536} : room * 2);
            if (!bytes.Reserve(room)) {
                failed = true;
                error = ENOMEM;
                break;
            }
        }
        const size_t got = std::fread(bytes.data + bytes.size, 1, room - bytes.size, file);
        bytes.size += got;
        if (got == 0) {
            if (std::ferror(file)) {
                failed = true;
                error = errno;
            }
            break;
        }
    }
    std::fclose(file);
    if (failed) {
        Say(why, "cannot read '%s': %s", path, std::strerror(error));
        return nullptr;
    }
    if (bytes.size > kMaxFontData) {
        Say(why, "'%s' is past the limit of %zu MiB of font data", path, kMaxFontData >> 20);
        return nullptr;
    }
    // A reason names the file it is about.
    char where[512];
    std::snprintf(where, sizeof where, "'%s': ", path);
    return Load(bytes.data, bytes.size, why, where);
}

}  // namespace glyphar
