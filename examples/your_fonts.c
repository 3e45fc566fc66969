/* your_fonts: a page in seven of Debian's fonts, each at sizes 1 and 2, on
 * an offscreen surface, saved as a BMP: console fonts (Latin, Cyrillic and
 * Greek, 8 x 16 to 12 x 24 pixels), X11's proportional Helvetica and Times
 * (PCF), and Chinese and Japanese in GNU Unifont (.hex). The fonts come from
 * console-setup-linux, fonts-spleen, xfonts-75dpi and unifont; SHARE_DIR
 * says where those lie (/usr/share).
 *
 *   glyphar-example-fonts OUT.bmp [SHARE_DIR]
 */
#include <stdio.h>

#include "offscreen.h"

static const _color kInk = {20, 24, 40};
static const _color kPaper = {250, 246, 232};
static const _color kBand = {222, 232, 245};
static const _color kLabel = {90, 96, 120};
static const _color kNoBackground = {-1, -1, -1};

struct Sample {
    const char *file;
    const char *text; /* UTF-8 */
};

static const struct Sample kSamples[] = {
    {"consolefonts/Lat15-Terminus16.psf.gz",
     "Voix ambigu\xC3\xAB d'un c\xC5\x93ur qui, au z\xC3\xA9phyr, pr\xC3\xA9" "f\xC3\xA8re les jattes de kiwis."},
    {"consolefonts/CyrSlav-Terminus20x10.psf.gz",
     "\xD0\xA1\xD1\x8A\xD0\xB5\xD1\x88\xD1\x8C \xD0\xB6\xD0\xB5 \xD0\xB5\xD1\x89\xD1\x91 "
     "\xD1\x8D\xD1\x82\xD0\xB8\xD1\x85 \xD0\xBC\xD1\x8F\xD0\xB3\xD0\xBA\xD0\xB8\xD1\x85 "
     "\xD1\x84\xD1\x80\xD0\xB0\xD0\xBD\xD1\x86\xD1\x83\xD0\xB7\xD1\x81\xD0\xBA\xD0\xB8\xD1\x85 "
     "\xD0\xB1\xD1\x83\xD0\xBB\xD0\xBE\xD0\xBA."},
    {"consolefonts/Greek-Terminus16.psf.gz",
     "\xCE\x9E\xCE\xB5\xCF\x83\xCE\xBA\xCE\xB5\xCF\x80\xCE\xAC\xCE\xB6\xCF\x89 \xCF\x84\xCE\xB7\xCE\xBD "
     "\xCF\x88\xCF\x85\xCF\x87\xCE\xBF\xCF\x86\xCE\xB8\xCF\x8C\xCF\x81\xCE\xB1 "
     "\xCE\xB2\xCE\xB4\xCE\xB5\xCE\xBB\xCF\x85\xCE\xB3\xCE\xBC\xCE\xAF\xCE\xB1."},
    {"consolefonts/spleen-12x24.psfu.gz", "Spleen 12x24: {fn main() -> 0x2A; /* 42 */}"},
    {"fonts/X11/75dpi/helvR12.pcf.gz",
     "Helvetica 12 draws each glyph with its own advance: illicit WWW, minimum, \xC3\x86sop's "
     "fables, na\xC3\xAFve caf\xC3\xA9s."},
    {"fonts/X11/75dpi/timBI14.pcf.gz",
     "Times Bold Italic 14: its ink leans past the advances, fffjjj."},
    {"unifont/unifont.hex",
     "\xE5\xA4\xA9\xE5\x9C\xB0\xE7\x8E\x84\xE9\xBB\x84\xEF\xBC\x8C\xE5\xAE\x87\xE5\xAE\x99"
     "\xE6\xB4\xAA\xE8\x8D\x92\xE3\x80\x82 \xE3\x81\x84\xE3\x82\x8D\xE3\x81\xAF\xE3\x81\xAB"
     "\xE3\x81\xBB\xE3\x81\xB8\xE3\x81\xA8 \xE3\x81\xA1\xE3\x82\x8A\xE3\x81\xAC\xE3\x82\x8B"
     "\xE3\x82\x92 (Unifont, 8 and 16 wide)"},
};
enum { kSampleCount = sizeof kSamples / sizeof kSamples[0] };
enum { kWidth = 880, kMargin = 16 };

/* Draws one sample: its label, then its text at sizes 1 and 2; returns the
 * height it took. */
static int DrawSample(SDL_Surface *s, const GlypharFont *font, const struct Sample *sample,
                      int top)
{
    const GlypharFontMetrics m = GlypharFontGetMetrics(font);
    const _rect label = {kMargin, top + 6, kWidth - 2 * kMargin, 9};
    const int flags = GLYPHAR_UTF8 | GLYPHAR_WRAP_WORDS;
    _rect box = {kMargin, top + 22, kWidth - 2 * kMargin, 4 * m.height};
    _rect painted;
    char text[160];
    int size;
    snprintf(text, sizeof text, "%s, %d x %d, %d glyphs, at sizes 1 and 2", sample->file,
             m.width, m.height, m.glyphs);
    /* m.width is the widest advance of a font whose glyphs have their own. */
    GlypharEx(s, text, label, 1.0f, kLabel, kNoBackground, 0);
    for (size = 1; size <= 2; ++size) {
        /* A row holds box.w / cell + 1 cells: one cell less keeps the margin. */
        box.w = kWidth - 2 * kMargin - m.width * size;
        GlypharFontMeasure(font, sample->text, box, (float)size, flags, &painted);
        FillBox(s, painted, kBand);
        GlypharFontDraw(s, font, sample->text, box, (float)size, kInk, kNoBackground, flags);
        box.y += painted.h + 6;
    }
    return box.y - top;
}

int main(int argc, char *argv[])
{
    const char *dir = argc > 2 ? argv[2] : "/usr/share";
    GlypharFont *fonts[kSampleCount];
    SDL_Surface *s;
    int i, top = 0, status = 0;
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: glyphar-example-fonts OUT.bmp [SHARE_DIR]\n");
        return 2;
    }
    for (i = 0; i < kSampleCount; ++i) {
        char path[1024], why[256];
        snprintf(path, sizeof path, "%s/%s", dir, kSamples[i].file);
        fonts[i] = GlypharFontLoad(path, why, sizeof why);
        if (fonts[i] == NULL) {
            fprintf(stderr, "glyphar-example-fonts: %s\n", why);
            status = 1;
        }
    }
    s = status == 0 ? NewSurface(kWidth, 830) : NULL;
    if (status == 0 && s == NULL) {
        fprintf(stderr, "glyphar-example-fonts: cannot make a surface: %s\n", SDL_GetError());
        status = 1;
    }
    if (status == 0) {
        FillBox(s, (_rect){0, 0, s->w, s->h}, kPaper);
        for (i = 0; i < kSampleCount; ++i)
            top += DrawSample(s, fonts[i], &kSamples[i], top);
        if (SaveBMP(s, argv[1]) != 0) {
            fprintf(stderr, "glyphar-example-fonts: cannot write %s: %s\n", argv[1],
                    SDL_GetError());
            status = 1;
        }
        FreeSurface(s);
    }
    for (i = 0; i < kSampleCount; ++i)
        GlypharFontFree(fonts[i]);
    return status;
}
