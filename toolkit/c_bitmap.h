// A reference-counted image, loaded from the module's resources by id: a
// "PNG" resource first (decoded to premultiplied RGBA and drawn alpha-blended),
// else a plain bitmap resource (drawn as a copy). A missing id gives a 0 x 0
// bitmap that draws nothing. Bitmaps of the same resource share one decoded
// surface, which is freed with the last of them; it is never written.
#pragma once

#include "toolkit/c_color.h"
#include "toolkit/c_rect.h"
#include "toolkit/c_reference_counter.h"
#include "toolkit/decoded_image.h"

#include <memory>

typedef struct _cairo_surface cairo_surface_t;

class CDrawContext;

class CBitmap : public CReferenceCounter {
public:
    explicit CBitmap(long resourceId);
    // From decoded pixels; blended when the image has alpha.
    explicit CBitmap(const DecodedImage& image);

    // Draws the region starting at offset into rect.
    void draw(CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // The same, skipping pixels equal to the transparent colour (blended for PNGs).
    void drawTransparent(
        CDrawContext* context, const CRect& rect, const CPoint& offset = CPoint(0, 0));
    // The same, at a constant opacity of alpha / 255 on top of the image's own.
    void drawAlphaBlend(CDrawContext* context, const CRect& rect,
        const CPoint& offset = CPoint(0, 0), unsigned char alpha = 128);

    int getWidth() const { return width; }
    int getHeight() const { return height; }
    bool isLoaded() const { return surface != nullptr; }
    long getResourceId() const { return resourceId; }
    // True for a decoded PNG: drawn with alpha blending.
    bool hasAlpha() const { return blended; }

    void setTransparentColor(CColor color);
    CColor getTransparentColor() const { return transparentColor; }

    // The stored pixel at (x, y) (premultiplied for PNGs); black outside.
    CColor getPixel(int x, int y) const;
    cairo_surface_t* getSurface() const { return surface; }

protected:
    ~CBitmap() override;

private:
    void share(std::shared_ptr<cairo_surface_t> image);
    cairo_surface_t* transparentSurface();
    void paint(CDrawContext* context, cairo_surface_t* source, const CRect& rect,
        const CPoint& offset, double opacity);

    long resourceId = -1;
    int width = 0;
    int height = 0;
    bool blended = false;
    std::shared_ptr<cairo_surface_t> pixels; // owns surface, shared by id
    cairo_surface_t* surface = nullptr;
    cairo_surface_t* maskedSurface = nullptr; // made for drawTransparent, on first use
    CColor transparentColor = kTransparentCColor;
};
