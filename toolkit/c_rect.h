// A pixel rectangle whose right and bottom edges are exclusive.
#pragma once

#include "toolkit/c_point.h"

struct CRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    constexpr CRect() = default;
    // Orders each pair, so that left <= right and top <= bottom.
    constexpr CRect(int l, int t, int r, int b)
        : left(l < r ? l : r)
        , top(t < b ? t : b)
        , right(l < r ? r : l)
        , bottom(t < b ? b : t)
    {
    }

    CRect& set(int l, int t, int r, int b) { return *this = CRect(l, t, r, b); }

    constexpr int width() const { return right - left; }
    constexpr int height() const { return bottom - top; }
    constexpr int getWidth() const { return width(); }
    constexpr int getHeight() const { return height(); }
    constexpr bool isEmpty() const { return right <= left || bottom <= top; }
    constexpr CPoint topLeft() const { return {left, top}; }

    CRect& setWidth(int w)
    {
        right = left + w;
        return *this;
    }
    CRect& setHeight(int h)
    {
        bottom = top + h;
        return *this;
    }

    // Moves the top-left corner to (x, y), keeping the size.
    CRect& moveTo(int x, int y)
    {
        int w = width();
        int h = height();
        left = x;
        top = y;
        right = x + w;
        bottom = y + h;
        return *this;
    }
    CRect& offset(int dx, int dy)
    {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    CRect& inset(int dx, int dy)
    {
        left += dx;
        right -= dx;
        top += dy;
        bottom -= dy;
        return *this;
    }

    constexpr bool pointInside(const CPoint& p) const
    {
        return p.h >= left && p.h < right && p.v >= top && p.v < bottom;
    }
    constexpr bool rectOverlap(const CRect& r) const
    {
        return r.left < right && r.right > left && r.top < bottom && r.bottom > top;
    }

    // Intersection with r; an empty result collapses to a zero-size rect.
    CRect& bound(const CRect& r)
    {
        left = left > r.left ? left : r.left;
        top = top > r.top ? top : r.top;
        right = right < r.right ? right : r.right;
        bottom = bottom < r.bottom ? bottom : r.bottom;
        if (right < left)
            right = left;
        if (bottom < top)
            bottom = top;
        return *this;
    }
    // Smallest rect holding both; an empty rect adds nothing.
    CRect& unite(const CRect& r)
    {
        if (r.isEmpty())
            return *this;
        if (isEmpty())
            return *this = r;
        left = left < r.left ? left : r.left;
        top = top < r.top ? top : r.top;
        right = right > r.right ? right : r.right;
        bottom = bottom > r.bottom ? bottom : r.bottom;
        return *this;
    }

    constexpr bool operator==(const CRect&) const = default;
};
