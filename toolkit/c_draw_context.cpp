#include "toolkit/c_draw_context.h"

#include "toolkit/c_frame.h"

#include <cairo.h>
#include <cstdlib>
#include <fontconfig/fontconfig.h>
#include <map>
#include <string>

namespace {

constexpr FontInfo kFonts[kNumStandardFonts] = {
    {"Arial", 12, true},
    {"Arial", 18, false},
    {"Arial", 14, false},
    {"Arial", 12, false},
    {"Arial", 11, false},
    {"Arial", 10, false},
    {"Arial", 9, false},
    {"Symbol", 13, false},
};

// The installed family fontconfig picks for a face name (Arial resolves to the
// metric-compatible Liberation Sans). Resolved once per face.
const std::string& resolvedFamily(const char* face)
{
    static std::map<std::string, std::string> cache;
    auto it = cache.find(face);
    if (it != cache.end())
        return it->second;
    std::string family = face;
    if (FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(face))) {
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8* name = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name)
                family = reinterpret_cast<const char*>(name);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return cache.emplace(face, family).first->second;
}

double channel(uint8_t value) { return value / 255.0; }

} // namespace

FontInfo fontInfo(int fontId)
{
    if (fontId < 0 || fontId >= kNumStandardFonts)
        fontId = 0;
    return kFonts[fontId];
}

namespace {

// A context without a window draws into a single pixel that nobody sees.
cairo_surface_t* surfaceOrScratch(cairo_surface_t* surface, cairo_surface_t*& scratch)
{
    if (surface)
        return surface;
    scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    return scratch;
}

} // namespace

CDrawContext::CDrawContext(CFrame* frame, cairo_surface_t* surface)
    : frame(frame)
    , cr(cairo_create(surfaceOrScratch(surface, scratchSurface)))
    , surfaceWidth(cairo_image_surface_get_width(cairo_get_target(cr)))
    , surfaceHeight(cairo_image_surface_get_height(cairo_get_target(cr)))
    , clipRect(0, 0, surfaceWidth, surfaceHeight)
    , clipLimit(clipRect)
{
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    setFont(kSystemFont);
    applyClip();
}

CDrawContext::~CDrawContext()
{
    cairo_destroy(cr);
    if (scratchSurface)
        cairo_surface_destroy(scratchSurface);
}

std::string CDrawContext::latin1ToUtf8(const char* text)
{
    std::string out;
    if (!text)
        return out;
    for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
        if (*c < 0x80) {
            out += char(*c);
        } else {
            out += char(0xC0 | (*c >> 6));
            out += char(0x80 | (*c & 0x3F));
        }
    }
    return out;
}

void CDrawContext::applyClip()
{
    CRect clip = clipRect;
    clip.bound(clipLimit);
    cairo_reset_clip(cr);
    cairo_rectangle(cr, clip.left, clip.top, clip.width(), clip.height());
    cairo_clip(cr);
}

void CDrawContext::setClipRect(const CRect& rect)
{
    clipRect = rect;
    clipRect.offset(offset.h, offset.v);
    clipRect.bound(clipLimit);
    applyClip();
}

CRect& CDrawContext::getClipRect(CRect& rect) const
{
    rect = clipRect;
    return rect.offset(-offset.h, -offset.v);
}

void CDrawContext::resetClipRect()
{
    clipRect = clipLimit;
    applyClip();
}

void CDrawContext::setClipLimit(const CRect& limit)
{
    clipLimit = limit;
    clipLimit.bound(CRect(0, 0, surfaceWidth, surfaceHeight));
    clipRect.bound(clipLimit);
    applyClip();
}

void CDrawContext::setSourceColor(CColor color)
{
    cairo_set_source_rgb(cr, channel(color.red), channel(color.green), channel(color.blue));
}

void CDrawContext::moveTo(const CPoint& point) { penLocation = point; }

void CDrawContext::lineTo(const CPoint& point)
{
    drawLine(penLocation, point);
    penLocation = point;
}

void CDrawContext::drawLine(const CPoint& from, const CPoint& to)
{
    addLinePixels(from + offset, to + offset);
    setSourceColor(frameColor);
    cairo_fill(cr);
}

void CDrawContext::addLinePixels(CPoint from, CPoint to)
{
    // Bresenham from "from" up to, but not including, "to". Pixels of one
    // row are merged into runs, so that a long horizontal line is one rect.
    int dx = std::abs(to.h - from.h);
    int dy = -std::abs(to.v - from.v);
    int sx = from.h < to.h ? 1 : -1;
    int sy = from.v < to.v ? 1 : -1;
    int error = dx + dy;
    int x = from.h;
    int y = from.v;
    int half = lineWidth / 2;
    bool dotted = lineStyle == kLineOnOffDash;
    int runStart = 0;
    int runEnd = -1; // inclusive; empty while runEnd < runStart
    int runRow = 0;
    auto flush = [&] {
        if (runEnd >= runStart)
            cairo_rectangle(
                cr, runStart - half, runRow - half, runEnd - runStart + lineWidth, lineWidth);
        runEnd = runStart - 1;
    };
    for (int step = 0; x != to.h || y != to.v; ++step) {
        if (!dotted || step % 2 == 0) {
            bool extends
                = runEnd >= runStart && runRow == y && (x == runEnd + 1 || x == runStart - 1);
            if (extends) {
                if (x > runEnd)
                    runEnd = x;
                else
                    runStart = x;
            } else {
                flush();
                runStart = runEnd = x;
                runRow = y;
            }
        }
        int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
    flush();
}

void CDrawContext::drawRect(const CRect& rect, CDrawStyle style)
{
    if (style == kDrawFilled || style == kDrawFilledAndStroked)
        fillRect(rect);
    if (style == kDrawFilled)
        return;
    CPoint corners[5] = {{rect.left, rect.top}, {rect.right - 1, rect.top},
        {rect.right - 1, rect.bottom - 1}, {rect.left, rect.bottom - 1}, {rect.left, rect.top}};
    for (int i = 0; i < 4; ++i)
        addLinePixels(corners[i] + offset, corners[i + 1] + offset);
    setSourceColor(frameColor);
    cairo_fill(cr);
}

void CDrawContext::fillRect(const CRect& rect)
{
    if (rect.isEmpty())
        return;
    cairo_rectangle(cr, rect.left + offset.h, rect.top + offset.v, rect.width(), rect.height());
    setSourceColor(fillColor);
    cairo_fill(cr);
}

void CDrawContext::drawPoint(const CPoint& point, CColor color)
{
    cairo_rectangle(cr, point.h + offset.h, point.v + offset.v, 1, 1);
    setSourceColor(color);
    cairo_fill(cr);
}

CColor CDrawContext::getPoint(const CPoint& point)
{
    int x = point.h + offset.h;
    int y = point.v + offset.v;
    cairo_surface_t* surface = cairo_get_target(cr);
    if (x < 0 || y < 0 || x >= surfaceWidth || y >= surfaceHeight)
        return kBlackCColor;
    cairo_surface_flush(surface);
    const unsigned char* row = cairo_image_surface_get_data(surface)
        + size_t(y) * cairo_image_surface_get_stride(surface);
    uint32_t pixel = reinterpret_cast<const uint32_t*>(row)[x];
    return CColor {uint8_t(pixel >> 16), uint8_t(pixel >> 8), uint8_t(pixel), 255};
}

void CDrawContext::setFont(int id, int size, int style)
{
    FontInfo info = fontInfo(id);
    fontId = (id < 0 || id >= kNumStandardFonts) ? 0 : id;
    fontSize = size > 0 ? size : info.height;
    fontStyle = style;
}

void CDrawContext::selectFont()
{
    FontInfo info = fontInfo(fontId);
    bool bold = info.alwaysBold || (fontStyle & kBoldFace);
    cairo_select_font_face(cr, resolvedFamily(info.face).c_str(),
        (fontStyle & kItalicFace) ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
        bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, fontSize);
}

int CDrawContext::getStringWidth(const char* text)
{
    std::string utf8 = latin1ToUtf8(text);
    selectFont();
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    return static_cast<int>(extents.x_advance);
}

void CDrawContext::drawString(const char* text, const CRect& rect, bool opaque, CHoriTxtAlign align)
{
    std::string utf8 = latin1ToUtf8(text);
    CRect area = rect;
    area.offset(offset.h, offset.v);
    cairo_save(cr);
    cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
    cairo_clip(cr);
    if (opaque) {
        cairo_rectangle(cr, area.left, area.top, area.width(), area.height());
        setSourceColor(fillColor);
        cairo_fill(cr);
    }
    selectFont();
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_text_extents_t extents;
    cairo_text_extents(cr, utf8.c_str(), &extents);
    int textWidth = static_cast<int>(extents.x_advance);
    int baseline = area.top + static_cast<int>((area.height() + font.ascent - font.descent) / 2);
    int x = area.left + 1;
    if (align == kCenterText)
        x = area.left + (area.width() - textWidth) / 2;
    else if (align == kRightText)
        x = area.right - textWidth;
    setSourceColor(fontColor);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, utf8.c_str());
    if (fontStyle & kUnderlineFace) {
        int thickness = fontSize / 12 > 1 ? fontSize / 12 : 1;
        cairo_rectangle(cr, x, baseline + 1, textWidth, thickness);
        cairo_fill(cr);
    }
    cairo_restore(cr);
}

long CDrawContext::getMouseButtons() { return frame ? frame->getCurrentMouseButtons() : 0; }

void CDrawContext::getMouseLocation(CPoint& point)
{
    point = frame ? frame->getMousePosition() : CPoint();
    point = point - offset;
}
