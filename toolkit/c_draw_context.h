// Immediate-mode drawing into a frame's image: lines, rectangles, points,
// text and bitmaps, pixel-exact. A view draws in its parent container's
// coordinates; the context adds the offset of the enclosing containers.
#pragma once

#include "toolkit/c_color.h"
#include "toolkit/c_rect.h"
#include "toolkit/c_reference_counter.h"

#include <string>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

class CFrame;

enum CLineStyle { kLineSolid = 0, kLineOnOffDash };
// Or and xor have no cairo counterpart; nothing uses them: all modes draw as copy.
enum CDrawMode { kCopyMode = 0, kOrMode, kXorMode, kAntialias };
enum CDrawStyle { kDrawStroked = 0, kDrawFilled, kDrawFilledAndStroked };
enum CHoriTxtAlign { kLeftText = 0, kCenterText, kRightText };
enum CFont {
    kSystemFont = 0,
    kNormalFontVeryBig,
    kNormalFontBig,
    kNormalFont,
    kNormalFontSmall,
    kNormalFontSmaller,
    kNormalFontVerySmall,
    kSymbolFont,
    kNumStandardFonts
};
enum CTxtFace { kNormalFace = 0, kBoldFace = 1, kItalicFace = 2, kUnderlineFace = 4 };

// Face and default pixel height of a font id; ids outside 0..7 are 0.
struct FontInfo {
    const char* face;
    int height;
    bool alwaysBold;
};
FontInfo fontInfo(int fontId);

class CDrawContext : public CReferenceCounter {
public:
    // Draws into surface (an image surface; null draws nowhere); frame
    // answers mouse questions and may be null.
    CDrawContext(CFrame* frame, cairo_surface_t* surface);

    void moveTo(const CPoint& point);
    // A line from the current point to point, without the end pixel.
    void lineTo(const CPoint& point);
    void getLoc(CPoint& point) const { point = penLocation; }
    void drawLine(const CPoint& from, const CPoint& to);
    // Outline through (left, top)..(right-1, bottom-1), a fill of the whole
    // rect in the fill colour, or both.
    void drawRect(const CRect& rect, CDrawStyle style = kDrawStroked);
    void fillRect(const CRect& rect);
    void drawPoint(const CPoint& point, CColor color);
    CColor getPoint(const CPoint& point);

    void setLineStyle(CLineStyle style) { lineStyle = style; }
    CLineStyle getLineStyle() const { return lineStyle; }
    void setLineWidth(int width) { lineWidth = width < 1 ? 1 : width; }
    int getLineWidth() const { return lineWidth; }
    void setDrawMode(CDrawMode mode) { drawMode = mode; }
    CDrawMode getDrawMode() const { return drawMode; }

    void setFrameColor(CColor color) { frameColor = color; }
    CColor getFrameColor() const { return frameColor; }
    void setFillColor(CColor color) { fillColor = color; }
    CColor getFillColor() const { return fillColor; }
    void setFontColor(CColor color) { fontColor = color; }
    CColor getFontColor() const { return fontColor; }

    // Size 0 uses the id's default pixel height.
    void setFont(int fontId, int size = 0, int style = 0);
    int getFont() const { return fontId; }
    int getFontSize() const { return fontSize; }
    int getFontStyle() const { return fontStyle; }
    // Width in pixels of an ISO 8859-1 text in the current font.
    int getStringWidth(const char* text);
    // One line, vertically centred in rect and clipped to it.
    void drawString(const char* text, const CRect& rect, bool opaque = false,
        CHoriTxtAlign align = kCenterText);

    // Clip rectangle in the current coordinates. Setting it replaces the
    // previous one but never reaches outside the area the enclosing
    // containers allow.
    void setClipRect(const CRect& rect);
    CRect& getClipRect(CRect& rect) const;
    void resetClipRect();

    long getMouseButtons();
    // The mouse position in the current coordinates.
    void getMouseLocation(CPoint& point);

    // Offset from the current coordinates to window pixels.
    const CPoint& getOffset() const { return offset; }
    void setOffset(const CPoint& newOffset) { offset = newOffset; }
    // The area drawing may reach, in window pixels; containers narrow it
    // while their children draw.
    const CRect& getClipLimit() const { return clipLimit; }
    void setClipLimit(const CRect& limit);

    CFrame* getFrame() const { return frame; }
    cairo_t* getCairo() const { return cr; }
    int getSurfaceWidth() const { return surfaceWidth; }
    int getSurfaceHeight() const { return surfaceHeight; }

    // ISO 8859-1 to UTF-8, as cairo takes text.
    static std::string latin1ToUtf8(const char* text);

protected:
    ~CDrawContext() override;

private:
    void applyClip();
    void setSourceColor(CColor color);
    void selectFont();
    // Adds the pixels of a one-pixel-wide (or lineWidth square) line to the
    // path, end pixel excluded; coordinates are window pixels.
    void addLinePixels(CPoint from, CPoint to);

    CFrame* frame;
    cairo_surface_t* scratchSurface = nullptr; // declared before cr: made first
    cairo_t* cr;
    int surfaceWidth;
    int surfaceHeight;
    CPoint offset;
    CPoint penLocation;
    CRect clipRect; // window pixels
    CRect clipLimit; // window pixels
    CLineStyle lineStyle = kLineSolid;
    int lineWidth = 1;
    CDrawMode drawMode = kCopyMode;
    CColor frameColor = kBlackCColor;
    CColor fillColor = kWhiteCColor;
    CColor fontColor = kWhiteCColor;
    int fontId = kSystemFont;
    int fontSize = 12;
    int fontStyle = 0;
};
