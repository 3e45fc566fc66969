// Fonts in text: BDF 2.1 (X11's interchange format, what font editors and
// pixel-font projects publish) and GNU Unifont's .hex. Both are read in two
// passes: the glyphs' metrics and where their bitmaps lie, then, once the
// font's box is known, the bitmaps.

#include "GlypharFontLoad.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace glyphar {

namespace {

// The longest line read, and the most BDF text.
constexpr size_t kMaxLine = size_t{1} << 20;
constexpr size_t kMaxBdfText = size_t{16} << 20;

struct Line {
    const char *text;
    size_t length;  // without the line end, CR LF or LF
    size_t offset;  // of its first byte in the data
};

// The data's lines, one after another; a NUL ends the data as its end does.
struct Lines {
    const char *data;
    size_t size, at = 0;

    bool Next(Line *line)
    {
        if (at >= size)
            return false;
        const char *start = data + at;
        const void *nl = std::memchr(start, '\n', size - at);
        size_t length = nl != nullptr ? static_cast<size_t>(static_cast<const char *>(nl) - start)
                                      : size - at;
        at += length + (nl != nullptr);
        if (length > 0 && start[length - 1] == '\r')
            --length;
        *line = Line{start, length, static_cast<size_t>(start - data)};
        return true;
    }
};

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// A line's words, separated by spaces and tabs.
struct Words {
    const char *p, *end;

    explicit Words(const Line &line) : p(line.text), end(line.text + line.length) {}

    void SkipBlanks()
    {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
    }

    // The next word; empty at the line's end.
    Line Word()
    {
        SkipBlanks();
        const char *start = p;
        while (p < end && *p != ' ' && *p != '\t')
            ++p;
        return Line{start, static_cast<size_t>(p - start), 0};
    }

    bool Is(const char *keyword)
    {
        const Line w = Word();
        return w.length == std::strlen(keyword) && std::memcmp(w.text, keyword, w.length) == 0;
    }

    // A decimal integer of up to +-2^31; false for none or a larger one.
    bool Int(int64_t *value)
    {
        const Line w = Word();
        size_t k = 0;
        const bool negative = w.length > 0 && (w.text[0] == '-' || w.text[0] == '+');
        const bool minus = negative && w.text[0] == '-';
        k += negative;
        if (k == w.length)
            return false;
        int64_t v = 0;
        for (; k < w.length; ++k) {
            if (w.text[k] < '0' || w.text[k] > '9' || v > (int64_t{1} << 31))
                return false;
            v = v * 10 + (w.text[k] - '0');
        }
        *value = minus ? -v : v;
        return v <= (int64_t{1} << 31);
    }

    // The rest of the line, without quotes, into out (cut to its size).
    void Text(char *out, size_t size)
    {
        SkipBlanks();
        const char *a = p, *b = end;
        if (b - a >= 2 && *a == '"' && b[-1] == '"')
            ++a, --b;
        const size_t n = std::min(static_cast<size_t>(b - a), size - 1);
        std::memcpy(out, a, n);
        out[n] = '\0';
    }
};

//----------------------------------------------------------------------------
// BDF. A header (FONTBOUNDINGBOX, properties between STARTPROPERTIES and
// ENDPROPERTIES), then each glyph from STARTCHAR to ENDCHAR: ENCODING,
// DWIDTH, BBX, and after BITMAP its rows, one line of hex digits each,
// leftmost pixel in the top bit, padded to whole bytes. Keywords and
// properties glyphar has no use for are skipped.
//----------------------------------------------------------------------------

struct BdfHeader {
    int64_t box[4] = {0, 0, 0, 0};  // FONTBOUNDINGBOX: width, height, x, y
    bool hasBox = false;
    int64_t ascent = 0, descent = 0, defaultChar = -1, fontAdvance = -1;
    bool hasAscent = false, hasDescent = false;
    char registry[64] = "", encoding[64] = "";
};

// Says what is wrong with a line; nullptr, for the loader to return.
GlypharFont *BadLine(Reason why, const char *where, const Line &line, const char *what)
{
    char shown[48];
    const size_t n = std::min(line.length, sizeof shown - 1);
    std::memcpy(shown, line.text, n);
    shown[n] = '\0';
    for (size_t k = 0; k < n; ++k)
        if (static_cast<unsigned char>(shown[k]) < 0x20 || shown[k] == 0x7F)
            shown[k] = '?';
    Say(why, "%sBDF: %s at byte %zu: '%s%s'", where, what, line.offset, shown,
        line.length > n ? "..." : "");
    return nullptr;
}

// A header line; false with the reason for a malformed one.
bool ReadBdfHeaderLine(const Line &line, BdfHeader *h, Reason why, const char *where)
{
    Words w(line);
    const Line keyword = w.Word();
    const auto is = [&](const char *k) {
        return keyword.length == std::strlen(k) && std::memcmp(keyword.text, k, keyword.length) == 0;
    };
    bool ok = true;
    if (is("FONTBOUNDINGBOX")) {
        for (int64_t &v : h->box)
            ok = ok && w.Int(&v);
        h->hasBox = ok;
    } else if (is("FONT_ASCENT")) {
        ok = h->hasAscent = w.Int(&h->ascent);
    } else if (is("FONT_DESCENT")) {
        ok = h->hasDescent = w.Int(&h->descent);
    } else if (is("DEFAULT_CHAR")) {
        ok = w.Int(&h->defaultChar);
    } else if (is("DWIDTH")) {
        ok = w.Int(&h->fontAdvance);
    } else if (is("CHARSET_REGISTRY")) {
        w.Text(h->registry, sizeof h->registry);
    } else if (is("CHARSET_ENCODING")) {
        w.Text(h->encoding, sizeof h->encoding);
    }
    if (!ok)
        BadLine(why, where, line, "a malformed number");
    return ok;
}

struct BdfGlyph {
    int64_t encoding = -1, advance = -1, box[4] = {0, 0, 0, 0};
    bool hasBox = false;
    size_t bitmap = 0;  // the offset of its first row
    bool hasBitmap = false;
};

bool Fits32(int64_t v)
{
    return v >= -(int64_t{1} << 30) && v <= (int64_t{1} << 30);
}

// A glyph's rows, from `at` to ENDCHAR; a row's missing digits are blank,
// digits past its width ignored, and rows past its height too.
bool ReadBdfRows(GlypharFont *font, uint32_t g, const GlyphMetrics &m, const char *text,
                 size_t size, size_t at, Reason why, const char *where)
{
    Lines lines{text, size, at};
    Line line;
    for (int r = 0; r < m.height && lines.Next(&line); ++r) {
        Words w(line);
        if (w.Is("ENDCHAR"))
            break;
        uint64_t bits = 0;
        const int digits = static_cast<int>(std::min<size_t>(line.length, (m.width + 7) / 8 * 2));
        for (int k = 0; k < digits; ++k) {
            const int d = HexDigit(line.text[k]);
            if (d < 0) {
                BadLine(why, where, line, "a bitmap row that is not hex digits");
                return false;
            }
            for (int b = 0; b < 4; ++b)
                if (d >> (3 - b) & 1 && 4 * k + b < m.width)
                    bits |= uint64_t{1} << (4 * k + b);
        }
        PutGlyphRow(font, g, m, r, bits);
    }
    return true;
}

}  // namespace

GlypharFont *LoadBdf(const uint8_t *data, size_t size, Reason why, const char *where)
{
    if (size > kMaxBdfText) {
        Say(why, "%sBDF text of %zu bytes, past the limit of %zu MiB", where, size,
            kMaxBdfText >> 20);
        return nullptr;
    }
    const char *text = reinterpret_cast<const char *>(data);
    Lines lines{text, size};
    BdfHeader h;
    GlyphList list;
    BdfGlyph glyph;
    bool inGlyph = false, inBitmap = false;
    Line line;
    while (lines.Next(&line)) {
        if (line.length > kMaxLine) {
            Say(why, "%sBDF: a line of %zu bytes at byte %zu, past the limit of %zu", where,
                line.length, line.offset, kMaxLine);
            return nullptr;
        }
        Words w(line);
        const Line keyword = w.Word();
        const auto is = [&](const char *k) {
            return keyword.length == std::strlen(k) &&
                   std::memcmp(keyword.text, k, keyword.length) == 0;
        };
        if (inBitmap && !is("ENDCHAR"))
            continue;
        if (is("ENDFONT"))
            break;
        if (is("STARTCHAR")) {
            glyph = BdfGlyph{};
            glyph.advance = h.fontAdvance;
            inGlyph = true;
            continue;
        }
        if (!inGlyph) {
            if (!ReadBdfHeaderLine(line, &h, why, where))
                return nullptr;
            continue;
        }
        bool ok = true;
        if (is("ENCODING")) {
            ok = w.Int(&glyph.encoding);
        } else if (is("DWIDTH")) {
            ok = w.Int(&glyph.advance);
        } else if (is("BBX")) {
            for (int64_t &v : glyph.box)
                ok = ok && w.Int(&v);
            glyph.hasBox = ok;
        } else if (is("BITMAP")) {
            glyph.bitmap = lines.at;
            glyph.hasBitmap = inBitmap = true;
        } else if (is("ENDCHAR")) {
            inGlyph = inBitmap = false;
            const int64_t *box = glyph.hasBox ? glyph.box : h.box;
            if (glyph.encoding < 0 || glyph.encoding > kLastCodePoint)
                continue;  // unencoded, or no character
            if (!Fits32(glyph.advance) || !Fits32(box[0]) || !Fits32(box[1]) ||
                !Fits32(box[2]) || !Fits32(box[3]))
                return BadLine(why, where, line, "a glyph's metrics past any font's, at its end");
            const GlyphMetrics m{static_cast<int>(std::max<int64_t>(glyph.advance, 0)),
                                 glyph.hasBitmap ? static_cast<int>(box[0]) : 0,
                                 glyph.hasBitmap ? static_cast<int>(box[1]) : 0,
                                 static_cast<int>(box[2]),
                                 static_cast<int>(box[1] + box[3])};
            char name[48];
            std::snprintf(name, sizeof name, "BDF glyph of encoding %lld",
                          static_cast<long long>(glyph.encoding));
            if (!MetricsFit(m, why, where, name))
                return nullptr;
            if (list.count == kMaxGlyphs) {
                Say(why, "%sBDF: more than %d glyphs", where, kMaxGlyphs);
                return nullptr;
            }
            if (!list.Add(m, static_cast<uint32_t>(glyph.encoding), glyph.bitmap))
                return OutOfMemory(why, where);
        }
        if (!ok)
            return BadLine(why, where, line, "a malformed number");
    }
    if (!EncodingsAreCodePoints(h.registry, h.encoding, why, where))
        return nullptr;
    if (!(h.hasAscent && h.hasDescent) && !h.hasBox) {
        Say(why, "%sBDF: neither FONT_ASCENT and FONT_DESCENT nor FONTBOUNDINGBOX", where);
        return nullptr;
    }
    const int64_t ascent = h.hasAscent ? h.ascent : h.box[1] + h.box[3];
    const int64_t descent = h.hasDescent ? h.descent : -h.box[3];
    if (!Fits32(ascent) || !Fits32(descent)) {
        Say(why, "%sBDF: ascent %lld and descent %lld past any font's", where,
            static_cast<long long>(ascent), static_cast<long long>(descent));
        return nullptr;
    }
    GlypharFont *font = FontOfList(list, static_cast<int>(ascent), static_cast<int>(descent),
                                   why, where, "BDF");
    if (font == nullptr)
        return nullptr;
    for (int g = 0; g < list.count; ++g)
        if (list.metrics[g].height > 0 &&
            !ReadBdfRows(font, static_cast<uint32_t>(g), list.metrics[g], text, size,
                         list.bitmaps[g], why, where)) {
            FreeFont(font);
            return nullptr;
        }
    uint32_t fallback = kNoFallback;
    if (h.defaultChar >= 0 && h.defaultChar <= kLastCodePoint &&
        (EntryOf(*font, static_cast<uint32_t>(h.defaultChar)) & kOwnGlyph) != 0)
        fallback = GlyphOf(*font, static_cast<uint32_t>(h.defaultChar));
    return HandOver(font, why, where, fallback);
}

//----------------------------------------------------------------------------
// Unifont's .hex: a glyph a line, its code point in hex, a colon, and its 16
// rows in hex, 2 digits a row for a glyph 8 pixels wide (32 in all) or 4
// for one 16 wide (64). Glyphs stand on a baseline two rows above their
// bottom, as Unifont's BDF has it.
//----------------------------------------------------------------------------

namespace {

constexpr int kHexRows = 16, kHexAscent = 14;

// A line's code point and the offset of its digits; false, with the reason,
// for a malformed line.
bool ReadHexLine(const Line &line, uint32_t *codepoint, size_t *digits, int *width, Reason why,
                 const char *where)
{
    size_t k = 0;
    uint32_t value = 0;
    for (; k < line.length && k < 8 && HexDigit(line.text[k]) >= 0; ++k)
        value = value << 4 | static_cast<uint32_t>(HexDigit(line.text[k]));
    const size_t count = line.length - k - 1;
    if (k == 0 || k == line.length || line.text[k] != ':' || value > kLastCodePoint) {
        Say(why, "%s.hex: line at byte %zu is not a code point (up to 10FFFF) and a colon",
            where, line.offset);
        return false;
    }
    if (count != 2 * kHexRows && count != 4 * kHexRows) {
        Say(why, "%s.hex: U+%04X at byte %zu has %zu digits, not 32 (8 x 16) or 64 (16 x 16)",
            where, value, line.offset, count);
        return false;
    }
    for (size_t d = k + 1; d < line.length; ++d)
        if (HexDigit(line.text[d]) < 0) {
            Say(why, "%s.hex: U+%04X at byte %zu: byte 0x%02X at byte %zu is not a hex digit",
                where, value, line.offset, static_cast<unsigned char>(line.text[d]),
                line.offset + d);
            return false;
        }
    *codepoint = value;
    *digits = line.offset + k + 1;
    *width = count == 2 * kHexRows ? 8 : 16;
    return true;
}

}  // namespace

GlypharFont *LoadHex(const uint8_t *data, size_t size, Reason why, const char *where)
{
    const char *text = reinterpret_cast<const char *>(data);
    Lines lines{text, size};
    GlyphList list;
    Line line;
    while (lines.Next(&line)) {
        if (line.length == 0 || line.text[0] == '#')
            continue;
        uint32_t codepoint;
        size_t digits;
        int width;
        if (!ReadHexLine(line, &codepoint, &digits, &width, why, where))
            return nullptr;
        if (list.count == kMaxGlyphs) {
            Say(why, "%s.hex: more than %d glyphs", where, kMaxGlyphs);
            return nullptr;
        }
        if (!list.Add(GlyphMetrics{width, width, kHexRows, 0, kHexAscent}, codepoint, digits))
            return OutOfMemory(why, where);
    }
    GlypharFont *font = FontOfList(list, kHexAscent, kHexRows - kHexAscent, why, where, ".hex");
    if (font == nullptr)
        return nullptr;
    for (int g = 0; g < list.count; ++g) {
        const GlyphMetrics &m = list.metrics[g];
        const char *p = text + list.bitmaps[g];
        const int perRow = m.width / 4;
        for (int r = 0; r < kHexRows; ++r, p += perRow) {
            uint64_t bits = 0;
            for (int k = 0; k < perRow; ++k) {
                const unsigned d = static_cast<unsigned>(HexDigit(p[k]));
                // The leftmost pixel is the digit's top bit: reversed into
                // columns 4k to 4k + 3.
                bits |= static_cast<uint64_t>((d >> 3 & 1) | (d >> 1 & 2) | (d << 1 & 4) |
                                              (d << 3 & 8))
                        << (4 * k);
            }
            PutGlyphRow(font, static_cast<uint32_t>(g), m, r, bits);
        }
    }
    return HandOver(font, why, where);
}

}  // namespace glyphar
