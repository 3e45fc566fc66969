// Text through an SDL_Renderer, on SDL2 and SDL3: the renderer path, the
// one place besides GlypharSurface.h that calls SDL.
//
// A text is drawn by the surface calls into a streaming ARGB8888 texture the
// renderer keeps for glyphar (cleared to alpha 0, so only painted pixels are
// opaque), just the part of it that can show, and copied to where it goes
// with one copy, blended: alpha is 0 or 255 only, so each pixel is either the
// one the surface call wrote or the one already there, on every backend. A
// text that paints all of its rectangle needs neither the clearing nor the
// blending, and goes through a second texture, in the target's own format
// where it can be, copied as it is. The copy places texels on pixels 1:1 at
// integer corners with nearest sampling, which every backend draws exactly
// (pixel centres fall on texel centres). At an integer scale k the texture
// holds the text drawn at k times the size, in the target's own pixels, so
// the copy is still 1:1.

#include "Glyphar.h"

#if SDL_MAJOR_VERSION >= 2

#include "GlypharDraw.h"
#include "GlypharFonts.h"
#include "GlypharGeometry.h"
#include "GlypharLayout.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <mutex>

using namespace glyphar;

namespace {

// A texture a renderer keeps for glyphar, grown as texts need.
struct Slot {
    SDL_Texture *texture;
    Uint32 format;
    int width, height;
    unsigned resets;  // deviceResets when the texture was made
};

// Two per renderer: one with alpha, blended, for texts that leave pixels
// under them; one in the target's own format where it can be, copied as it
// is, for texts that cover their rectangle.
struct RenderCache {
    SDL_Renderer *renderer;
    Slot blended, solid;
    RenderCache *next;
};

// Renderers with a cache. A list: a program has few renderers.
std::mutex cachesLock;
RenderCache *caches = nullptr;
// Device resets seen (SDL's "all textures need to be recreated"): a cache
// whose texture is older makes it anew.
std::atomic<unsigned> deviceResets{0};

// Pixel rectangles, half-open, in 64 bits: scaled boxes may pass int's range.
struct Span {
    int64_t left, top, right, bottom;
    bool empty() const { return left >= right || top >= bottom; }
};

Span Intersect(Span a, Span b)
{
    return Span{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

Span SpanOf(const SDL_Rect &r)
{
    return Span{r.x, r.y, int64_t{r.x} + r.w, int64_t{r.y} + r.h};
}

bool FitsInt(int64_t v)
{
    return v >= INT32_MIN && v <= INT32_MAX;
}

#if SDL_MAJOR_VERSION >= 3

constexpr const char *kCacheProperty = "glyphar.render.cache";

bool SDLCALL WatchResets(void *, SDL_Event *event)
{
    if (event->type == SDL_EVENT_RENDER_DEVICE_RESET)
        deviceResets.fetch_add(1);
    return true;
}

void StopWatchingResets()
{
    SDL_RemoveEventWatch(WatchResets, nullptr);
}

void SetNearest(SDL_Texture *texture)
{
    SDL_SetTextureScaleMode(texture, SDL_SCALEMODE_NEAREST);
}

int MaxTextureSize(SDL_Renderer *renderer)
{
    return static_cast<int>(SDL_GetNumberProperty(SDL_GetRendererProperties(renderer),
                                                  SDL_PROP_RENDERER_MAX_TEXTURE_SIZE_NUMBER, 0));
}

// The render scale, times the logical presentation's where there is one: how
// many of the target's pixels a unit of the renderer's coordinates spans.
void OutputScale(SDL_Renderer *renderer, float *sx, float *sy)
{
    if (!SDL_GetRenderScale(renderer, sx, sy))
        *sx = *sy = 1;
    int w = 0, h = 0;
    SDL_RendererLogicalPresentation mode = SDL_LOGICAL_PRESENTATION_DISABLED;
    SDL_FRect shown;
    if (SDL_GetRenderLogicalPresentation(renderer, &w, &h, &mode) &&
        mode != SDL_LOGICAL_PRESENTATION_DISABLED && w > 0 && h > 0 &&
        SDL_GetRenderLogicalPresentationRect(renderer, &shown)) {
        *sx *= shown.w / static_cast<float>(w);
        *sy *= shown.h / static_cast<float>(h);
    }
}

// The viewport's size and the clip rectangle within it, in the renderer's
// coordinates.
void ViewOf(SDL_Renderer *renderer, SDL_Rect *viewport, SDL_Rect *clip, bool *clipped)
{
    if (!SDL_GetRenderViewport(renderer, viewport))
        *viewport = SDL_Rect{0, 0, 0, 0};
    *clipped = SDL_RenderClipEnabled(renderer) && SDL_GetRenderClipRect(renderer, clip);
}

// The format of the target texture, or the first the renderer lists: on
// SDL3 the one it draws in (a software renderer's surface, say).
Uint32 TargetFormat(SDL_Renderer *renderer)
{
    if (SDL_Texture *target = SDL_GetRenderTarget(renderer))
        return target->format;
    const auto *formats = static_cast<const SDL_PixelFormat *>(SDL_GetPointerProperty(
        SDL_GetRendererProperties(renderer), SDL_PROP_RENDERER_TEXTURE_FORMATS_POINTER, nullptr));
    return formats != nullptr ? formats[0] : 0;
}

bool TakesFormat(SDL_Renderer *renderer, Uint32 format)
{
    const auto *formats = static_cast<const SDL_PixelFormat *>(SDL_GetPointerProperty(
        SDL_GetRendererProperties(renderer), SDL_PROP_RENDERER_TEXTURE_FORMATS_POINTER, nullptr));
    for (; formats != nullptr && *formats != SDL_PIXELFORMAT_UNKNOWN; ++formats)
        if (*formats == format)
            return true;
    return false;
}

bool LockToSurface(SDL_Texture *texture, const SDL_Rect &area, bool clear, SDL_Surface **surface)
{
    if (!SDL_LockTextureToSurface(texture, &area, surface))
        return false;
    if (clear)
        SDL_FillSurfaceRect(*surface, nullptr, 0);
    return true;
}

void Copy(SDL_Renderer *renderer, SDL_Texture *texture, const SDL_Rect &from, const SDL_Rect &to)
{
    const SDL_FRect src{static_cast<float>(from.x), static_cast<float>(from.y),
                        static_cast<float>(from.w), static_cast<float>(from.h)};
    const SDL_FRect dst{static_cast<float>(to.x), static_cast<float>(to.y),
                        static_cast<float>(to.w), static_cast<float>(to.h)};
    SDL_RenderTexture(renderer, texture, &src, &dst);
}

bool ForgetWhenDestroyed(RenderCache *cache);

#else

int SDLCALL WatchResets(void *, SDL_Event *event)
{
    if (event->type == SDL_RENDER_DEVICE_RESET)
        deviceResets.fetch_add(1);
    return 1;
}

void StopWatchingResets()
{
    SDL_DelEventWatch(WatchResets, nullptr);
}

void SetNearest(SDL_Texture *texture)
{
    SDL_SetTextureScaleMode(texture, SDL_ScaleModeNearest);
}

int MaxTextureSize(SDL_Renderer *renderer)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0)
        return 0;
    return std::min(info.max_texture_width, info.max_texture_height);
}

// SDL2 keeps a logical size as the render scale itself.
void OutputScale(SDL_Renderer *renderer, float *sx, float *sy)
{
    SDL_RenderGetScale(renderer, sx, sy);
}

void ViewOf(SDL_Renderer *renderer, SDL_Rect *viewport, SDL_Rect *clip, bool *clipped)
{
    SDL_RenderGetViewport(renderer, viewport);
    *clipped = SDL_RenderIsClipEnabled(renderer) == SDL_TRUE;
    if (*clipped)
        SDL_RenderGetClipRect(renderer, clip);
}

// The format of the target texture, or of the window: SDL2 tells no other.
Uint32 TargetFormat(SDL_Renderer *renderer)
{
    Uint32 format = 0;
    if (SDL_Texture *target = SDL_GetRenderTarget(renderer))
        SDL_QueryTexture(target, &format, nullptr, nullptr, nullptr);
    else if (SDL_Window *window = SDL_RenderGetWindow(renderer))
        format = SDL_GetWindowPixelFormat(window);
    return format;
}

bool TakesFormat(SDL_Renderer *renderer, Uint32 format)
{
    SDL_RendererInfo info;
    if (SDL_GetRendererInfo(renderer, &info) != 0)
        return false;
    for (Uint32 i = 0; i < info.num_texture_formats; ++i)
        if (info.texture_formats[i] == format)
            return true;
    return false;
}

bool LockToSurface(SDL_Texture *texture, const SDL_Rect &area, bool clear, SDL_Surface **surface)
{
    if (SDL_LockTextureToSurface(texture, &area, surface) != 0)
        return false;
    if (clear)
        SDL_FillRect(*surface, nullptr, 0);
    return true;
}

void Copy(SDL_Renderer *renderer, SDL_Texture *texture, const SDL_Rect &from, const SDL_Rect &to)
{
    SDL_RenderCopy(renderer, texture, &from, &to);
}

#endif

// The renderer's cache, where it has one.
RenderCache *FindCache(SDL_Renderer *renderer)
{
    std::lock_guard<std::mutex> hold(cachesLock);
    for (RenderCache *c = caches; c != nullptr; c = c->next)
        if (c->renderer == renderer)
            return c;
    return nullptr;
}

// The renderer's cache, made on its first use; nullptr where none can be.
RenderCache *CacheFor(SDL_Renderer *renderer)
{
    if (RenderCache *found = FindCache(renderer))
        return found;
    auto *cache = static_cast<RenderCache *>(std::calloc(1, sizeof(RenderCache)));
    if (cache == nullptr)
        return nullptr;
    cache->renderer = renderer;
    {
        std::lock_guard<std::mutex> hold(cachesLock);
        if (caches == nullptr)
            SDL_AddEventWatch(WatchResets, nullptr);
        cache->next = caches;
        caches = cache;
    }
#if SDL_MAJOR_VERSION >= 3
    // Where SDL cannot keep the property it has run the cleanup already.
    if (!ForgetWhenDestroyed(cache))
        return nullptr;
#endif
    return cache;
}

// Unlinks a cache and frees it; its textures are the caller's to release.
void DropCache(RenderCache *cache)
{
    std::lock_guard<std::mutex> hold(cachesLock);
    for (RenderCache **link = &caches; *link != nullptr; link = &(*link)->next) {
        if (*link == cache) {
            *link = cache->next;
            break;
        }
    }
    if (caches == nullptr)
        StopWatchingResets();
    std::free(cache);
}

#if SDL_MAJOR_VERSION >= 3

// A destroyed renderer releases its textures, ours among them, itself:
// only the cache is left to free.
void SDLCALL ReleaseCache(void *, void *value)
{
    DropCache(static_cast<RenderCache *>(value));
}

bool ForgetWhenDestroyed(RenderCache *cache)
{
    return SDL_SetPointerPropertyWithCleanup(SDL_GetRendererProperties(cache->renderer),
                                             kCacheProperty, cache, ReleaseCache, nullptr);
}

#endif

// Sizes grow in steps, so that texts of slowly growing length do not make a
// texture each.
int GrownSize(int need, int had, int limit)
{
    constexpr int kStep = 256;
    const int64_t grown = (int64_t{std::max(need, had)} + kStep - 1) / kStep * kStep;
    return static_cast<int>(std::min<int64_t>(grown, limit));
}

// A texture of at least width x height in `format`, sampled nearest.
bool MakeRoom(SDL_Renderer *renderer, Slot &slot, Uint32 format, SDL_BlendMode blend, int width,
              int height, int limit)
{
    const unsigned resets = deviceResets.load();
    const bool same = slot.resets == resets && slot.format == format;
    if (slot.texture != nullptr && same && slot.width >= width && slot.height >= height)
        return true;
    const int w = GrownSize(width, same ? slot.width : 0, limit);
    const int h = GrownSize(height, same ? slot.height : 0, limit);
    if (slot.texture != nullptr)
        SDL_DestroyTexture(slot.texture);
#if SDL_MAJOR_VERSION >= 3
    const auto pixelFormat = static_cast<SDL_PixelFormat>(format);
#else
    const Uint32 pixelFormat = format;
#endif
    slot.texture = SDL_CreateTexture(renderer, pixelFormat, SDL_TEXTUREACCESS_STREAMING, w, h);
    slot.format = format;
    slot.width = slot.texture != nullptr ? w : 0;
    slot.height = slot.texture != nullptr ? h : 0;
    slot.resets = resets;
    if (slot.texture == nullptr)
        return false;
    SDL_SetTextureBlendMode(slot.texture, blend);
    SetNearest(slot.texture);
    return true;
}

void Release(Slot &slot)
{
    if (slot.texture != nullptr)
        SDL_DestroyTexture(slot.texture);
    slot = Slot{};
}

// The target's format where a texture in it copies exactly (4 bytes, 8 bits a
// channel, one the renderer takes): the copy is then a plain one. ARGB8888
// otherwise.
Uint32 SolidFormat(SDL_Renderer *renderer)
{
    const Uint32 format = TargetFormat(renderer);
    const bool plain = format != 0 && !SDL_ISPIXELFORMAT_FOURCC(format) &&
                       !SDL_ISPIXELFORMAT_INDEXED(format) && SDL_BYTESPERPIXEL(format) == 4 &&
                       (SDL_PIXELLAYOUT(format) == SDL_PACKEDLAYOUT_8888);
    return plain && TakesFormat(renderer, format) ? format : Uint32{SDL_PIXELFORMAT_ARGB8888};
}

// Where drawing lands: k target pixels a unit of the renderer's coordinates
// (1 where the scale is not a whole number: the renderer scales the copy),
// and the part of the viewport that shows, in those pixels.
struct View {
    int k;
    Span visible;
};

bool ViewFor(SDL_Renderer *renderer, View *view)
{
    constexpr float kLargestScale = 1024;
    float sx = 1, sy = 1;
    OutputScale(renderer, &sx, &sy);
    view->k = sx == sy && sx >= 1 && sx <= kLargestScale && sx == std::floor(sx)
                  ? static_cast<int>(sx)
                  : 1;
    SDL_Rect viewport, clip;
    bool clipped = false;
    ViewOf(renderer, &viewport, &clip, &clipped);
    Span visible{0, 0, viewport.w, viewport.h};
    if (clipped)
        visible = Intersect(visible, SpanOf(clip));
    const int64_t k = view->k;
    view->visible = Span{visible.left * k, visible.top * k, visible.right * k, visible.bottom * k};
    return !view->visible.empty();
}

// Draws whatever `paint` puts on a surface whose origin is at (left, top) of
// the target's pixels, for the part of `painted` that shows, then copies it
// to the target: once, unless the part is larger than a texture can be.
// Where the drawing covers all of `painted` (opaque text whose rows fill
// it), the texture needs no clearing and the copy no blending.
template <class Paint>
void DrawThroughTexture(SDL_Renderer *renderer, const View &view, Span painted, bool covered,
                        Paint paint)
{
    const Span shown = Intersect(painted, view.visible);
    if (shown.empty())
        return;
    // The copy's corners must fall on whole units of the renderer's
    // coordinates: the extra pixels are clear.
    const int64_t k = view.k;
    const Span area{FloorDiv(shown.left, k) * k, FloorDiv(shown.top, k) * k,
                    -FloorDiv(-shown.right, k) * k, -FloorDiv(-shown.bottom, k) * k};
    covered = covered && area.left == shown.left && area.top == shown.top &&
              area.right == shown.right && area.bottom == shown.bottom;
    RenderCache *cache = CacheFor(renderer);
    if (cache == nullptr)
        return;
    constexpr int kUnlimited = 16384;
    const int maxSize = MaxTextureSize(renderer);
    // Tiles a multiple of 2k, with a pixel to spare: see the pad below.
    const int64_t limit = maxSize > 0 ? std::min(maxSize, kUnlimited) : kUnlimited;
    const int64_t tile = (limit - 1) / (2 * k) * (2 * k);
    if (tile <= 0)
        return;
    Slot &slot = covered ? cache->solid : cache->blended;
    const Uint32 format = covered ? SolidFormat(renderer) : Uint32{SDL_PIXELFORMAT_ARGB8888};
    const SDL_BlendMode blend = covered ? SDL_BLENDMODE_NONE : SDL_BLENDMODE_BLEND;
    for (int64_t top = area.top; top < area.bottom; top += tile) {
        for (int64_t left = area.left; left < area.right; left += tile) {
            const int w = static_cast<int>(std::min(tile, area.right - left));
            const int h = static_cast<int>(std::min(tile, area.bottom - top));
            // Shades keep their pattern's phase (2 x 2 pixels) on the
            // viewport's pixels: the surface starts a pixel early where the
            // part starts on an odd one, and that pixel is not copied.
            const int padX = static_cast<int>(left & 1), padY = static_cast<int>(top & 1);
            SDL_Surface *surface = nullptr;
            if (!MakeRoom(renderer, slot, format, blend, w + padX, h + padY,
                          static_cast<int>(limit)) ||
                !LockToSurface(slot.texture, SDL_Rect{0, 0, w + padX, h + padY}, !covered,
                               &surface))
                return;
            paint(surface, left - padX, top - padY);
            SDL_UnlockTexture(slot.texture);
            Copy(renderer, slot.texture, SDL_Rect{padX, padY, w, h},
                 SDL_Rect{static_cast<int>(left / k), static_cast<int>(top / k),
                          static_cast<int>(w / k), static_cast<int>(h / k)});
        }
    }
}

}  // namespace

extern "C" {

void GlypharRender(SDL_Renderer *renderer, const GlypharFont *font, const char *text, _rect box,
                   float size, _color fg, _color bg, int flags)
{
    View view;
    if (renderer == nullptr || text == nullptr || !(size > 0) || !ViewFor(renderer, &view))
        return;
    const int64_t k = view.k;
    const int64_t x = box.x * k, y = box.y * k, w = box.w * k, h = box.h * k;
    if (!FitsInt(x) || !FitsInt(y) || !FitsInt(w) || !FitsInt(h))
        return;
    const float scaled = size * static_cast<float>(k);
    const _rect at{static_cast<int32_t>(x), static_cast<int32_t>(y), static_cast<int32_t>(w),
                   static_cast<int32_t>(h)};
    const TextArea area = MeasureText(font, text, at, scaled, flags);
    DrawThroughTexture(renderer, view, Span{area.left, area.top, area.right, area.bottom},
                       !IsTransparent(bg) && area.covered,
                       [&](SDL_Surface *surface, int64_t left, int64_t top) {
                           if (!FitsInt(x - left) || !FitsInt(y - top))
                               return;
                           _rect moved = at;
                           moved.x = static_cast<int32_t>(x - left);
                           moved.y = static_cast<int32_t>(y - top);
                           GlypharFontDraw(surface, font, text, moved, scaled, fg, bg, flags);
                       });
}

void GlypharRenderCodePoint(SDL_Renderer *renderer, const GlypharFont *font, uint32_t codepoint,
                            int x, int y, float size, _color fg, _color bg)
{
    View view;
    if (renderer == nullptr || !(size > 0) || !ViewFor(renderer, &view))
        return;
    const int64_t k = view.k;
    const float scaled = size * static_cast<float>(k);
    const TextArea reach = CharacterReach(font, scaled);
    const int64_t left = x * k, top = y * k;
    const Span block{left + reach.left, top + reach.top, left + reach.right, top + reach.bottom};
    DrawThroughTexture(
        renderer, view, block, reach.covered && !IsTransparent(bg),
        [&](SDL_Surface *surface, int64_t l, int64_t t) {
            if (FitsInt(left - l) && FitsInt(top - t))
                GlypharFontCodePoint(surface, font, codepoint, static_cast<int>(left - l),
                                     static_cast<int>(top - t), scaled, fg, bg);
        });
}

void GlypharRenderGrid(SDL_Renderer *renderer, const GlypharFont *font, const GlypharCell *cells,
                       int columns, int rows, int x, int y, float size)
{
    View view;
    if (renderer == nullptr || cells == nullptr || columns < 1 || rows < 1 ||
        static_cast<uint64_t>(columns) * static_cast<uint64_t>(rows) >
            SIZE_MAX / sizeof(GlypharCell) ||
        !(size > 0) || !ViewFor(renderer, &view))
        return;
    const int64_t k = view.k;
    const float scaled = size * static_cast<float>(k);
    const int64_t pitchX = CellPitch(CellWidthOf(font), scaled);
    const int64_t pitchY = CellPitch(CellHeightOf(font), scaled);
    if (pitchX == 0 || pitchY == 0)
        return;
    const TextArea reach = CharacterReach(font, scaled);
    const int64_t left = x * k, top = y * k;
    // Pitches reach up to 2^40: a grid that far across is clamped there.
    const auto across = [](int64_t count, int64_t pitch) {
        return pitch > kFar / count ? kFar : (count - 1) * pitch;
    };
    const Span grid{left + reach.left, top + reach.top,
                    left + across(columns, pitchX) + reach.right,
                    top + across(rows, pitchY) + reach.bottom};
    // Opaque cells cover the grid's whole area, overlapping or not.
    const size_t count = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    const bool opaque = reach.covered && std::none_of(cells, cells + count, [](const GlypharCell &cell) {
        return cell.bg == GLYPHAR_TRANSPARENT;
    });
    DrawThroughTexture(
        renderer, view, grid, opaque, [&](SDL_Surface *surface, int64_t l, int64_t t) {
            if (FitsInt(left - l) && FitsInt(top - t))
                GlypharGrid(surface, font, cells, columns, rows, static_cast<int>(left - l),
                            static_cast<int>(top - t), scaled);
        });
}

void GlypharRenderForget(SDL_Renderer *renderer)
{
    RenderCache *cache = renderer != nullptr ? FindCache(renderer) : nullptr;
    if (cache == nullptr)
        return;
    Release(cache->blended);
    Release(cache->solid);
#if SDL_MAJOR_VERSION >= 3
    // Clearing the property frees the cache through its cleanup.
    SDL_ClearProperty(SDL_GetRendererProperties(renderer), kCacheProperty);
#else
    DropCache(cache);
#endif
}

}  // extern "C"

#endif  // SDL_MAJOR_VERSION >= 2
