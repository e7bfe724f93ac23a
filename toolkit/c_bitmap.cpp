#include "toolkit/c_bitmap.h"

#include "toolkit/c_draw_context.h"
#include "toolkit/image_decoders.h"
#include "toolkit/resource_section.h"

#include <cairo.h>
#include <map>
#include <mutex>
#include <utility>

namespace {

// The surface of an image decoded into cairo's pixel layout, or null.
cairo_surface_t* makeSurface(const DecodedImage& image)
{
    if (image.empty())
        return nullptr;
    bool blended = image.premultiplied;
    cairo_format_t format = blended ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24;
    cairo_surface_t* made = cairo_image_surface_create(format, image.width, image.height);
    if (cairo_surface_status(made) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(made);
        return nullptr;
    }
    cairo_surface_flush(made);
    unsigned char* data = cairo_image_surface_get_data(made);
    int stride = cairo_image_surface_get_stride(made);
    for (int y = 0; y < image.height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + size_t(y) * stride);
        for (int x = 0; x < image.width; ++x) {
            const uint8_t* p = image.pixel(x, y);
            uint32_t alpha = blended ? p[3] : 255;
            row[x] = alpha << 24 | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
        }
    }
    cairo_surface_mark_dirty(made);
    return made;
}

std::shared_ptr<cairo_surface_t> owned(cairo_surface_t* surface)
{
    if (!surface)
        return nullptr;
    return std::shared_ptr<cairo_surface_t>(surface, cairo_surface_destroy);
}

cairo_surface_t* decodeResource(const ResourceSection& resources, long resourceId)
{
    DecodedImage image;
    if (ResourceBytes png = resources.find(ResourceType::png, resourceId))
        if (decodePng(png.data, png.size, image))
            return makeSurface(image);
    if (ResourceBytes dib = resources.find(ResourceType::bitmap, resourceId))
        if (decodeDib(dib.data, dib.size, image))
            return makeSurface(image);
    return nullptr;
}

// The decoded resources by module and id, kept until the module is unloaded:
// every editor of every instance draws the same few images, so each is
// decoded once, under the lock, however many editors ask for it at once.
std::shared_ptr<cairo_surface_t> sharedResource(long resourceId)
{
    static std::mutex mutex;
    static std::map<std::pair<const ResourceSection*, long>, std::shared_ptr<cairo_surface_t>>
        cache;
    const ResourceSection& resources = currentResources();
    std::lock_guard<std::mutex> guard(mutex);
    std::shared_ptr<cairo_surface_t>& entry = cache[{&resources, resourceId}];
    if (entry)
        return entry;
    std::shared_ptr<cairo_surface_t> made = owned(decodeResource(resources, resourceId));
    if (made)
        entry = made;
    else
        cache.erase({&resources, resourceId});
    return made;
}

} // namespace

CBitmap::CBitmap(long resourceId)
    : resourceId(resourceId)
{
    share(sharedResource(resourceId));
}

CBitmap::CBitmap(const DecodedImage& image) { share(owned(makeSurface(image))); }

CBitmap::~CBitmap()
{
    if (maskedSurface)
        cairo_surface_destroy(maskedSurface);
}

void CBitmap::share(std::shared_ptr<cairo_surface_t> image)
{
    if (!image)
        return;
    pixels = std::move(image);
    surface = pixels.get();
    blended = cairo_image_surface_get_format(surface) == CAIRO_FORMAT_ARGB32;
    width = cairo_image_surface_get_width(surface);
    height = cairo_image_surface_get_height(surface);
}

void CBitmap::setTransparentColor(CColor color)
{
    if (color == transparentColor)
        return;
    transparentColor = color;
    if (maskedSurface) {
        cairo_surface_destroy(maskedSurface);
        maskedSurface = nullptr;
    }
}

CColor CBitmap::getPixel(int x, int y) const
{
    if (!surface || x < 0 || y < 0 || x >= width || y >= height)
        return kBlackCColor;
    const unsigned char* row = cairo_image_surface_get_data(surface)
        + size_t(y) * cairo_image_surface_get_stride(surface);
    uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
    uint8_t alpha = blended ? uint8_t(pixel >> 24) : 255;
    return CColor {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), alpha};
}

cairo_surface_t* CBitmap::transparentSurface()
{
    if (maskedSurface)
        return maskedSurface;
    // The pixels of the transparent colour (red, green and blue compared)
    // become fully transparent; everything else stays opaque.
    cairo_surface_t* made = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(made) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(made);
        return nullptr;
    }
    uint32_t key = uint32_t(transparentColor.red) << 16 | uint32_t(transparentColor.green) << 8
        | transparentColor.blue;
    const unsigned char* in = cairo_image_surface_get_data(surface);
    int inStride = cairo_image_surface_get_stride(surface);
    unsigned char* out = cairo_image_surface_get_data(made);
    int outStride = cairo_image_surface_get_stride(made);
    for (int y = 0; y < height; ++y) {
        auto* source = reinterpret_cast<const uint32_t*>(in + size_t(y) * inStride);
        auto* target = reinterpret_cast<uint32_t*>(out + size_t(y) * outStride);
        for (int x = 0; x < width; ++x) {
            uint32_t rgb = source[x] & 0xFFFFFF;
            target[x] = rgb == key ? 0 : (0xFF000000u | rgb);
        }
    }
    cairo_surface_mark_dirty(made);
    maskedSurface = made;
    return maskedSurface;
}

void CBitmap::paint(CDrawContext* context, cairo_surface_t* source, const CRect& rect,
    const CPoint& offset, double opacity)
{
    if (!context || !source || rect.isEmpty())
        return;
    cairo_t* cr = context->getCairo();
    CPoint origin = context->getOffset();
    int left = rect.left + origin.h;
    int top = rect.top + origin.v;
    cairo_save(cr);
    cairo_rectangle(cr, left, top, rect.width(), rect.height());
    cairo_clip(cr);
    // Only the bitmap's own pixels are drawn: the region is cut at its edges.
    cairo_rectangle(cr, left - offset.h, top - offset.v, width, height);
    cairo_clip(cr);
    cairo_set_source_surface(cr, source, left - offset.h, top - offset.v);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (opacity >= 1.0)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, opacity);
    cairo_restore(cr);
}

void CBitmap::draw(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    paint(context, surface, rect, offset, 1.0);
}

void CBitmap::drawTransparent(CDrawContext* context, const CRect& rect, const CPoint& offset)
{
    if (!surface)
        return;
    paint(context, blended ? surface : transparentSurface(), rect, offset, 1.0);
}

void CBitmap::drawAlphaBlend(
    CDrawContext* context, const CRect& rect, const CPoint& offset, unsigned char alpha)
{
    if (!surface)
        return;
    paint(context, surface, rect, offset, alpha / 255.0);
}
