// A pixel position: h grows to the right, v grows downwards.
#pragma once

struct CPoint {
    int h = 0;
    int v = 0;

    constexpr CPoint() = default;
    constexpr CPoint(int h, int v)
        : h(h)
        , v(v)
    {
    }

    CPoint& offset(int dh, int dv)
    {
        h += dh;
        v += dv;
        return *this;
    }
    constexpr bool operator==(const CPoint&) const = default;
    constexpr CPoint operator+(const CPoint& other) const { return {h + other.h, v + other.v}; }
    constexpr CPoint operator-(const CPoint& other) const { return {h - other.h, v - other.v}; }
};
