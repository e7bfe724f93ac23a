// A painter that keeps the lines and points a note view draws, so tests can
// look for them by position and colour.
#pragma once

#include "editor/note_view_scene.h"

#include <vector>

struct PaintedLine {
    int x0, y0, x1, y1;
    CColor colour;
};

struct PaintedPoint {
    int x, y;
    CColor colour;
};

class RecordingPainter : public NotePainter {
public:
    void setPenColour(CColor c) override { colour = c; }
    void moveTo(int x, int y) override
    {
        penX = x;
        penY = y;
        ++moves;
    }
    void lineTo(int x, int y) override
    {
        lines.push_back({penX, penY, x, y, colour});
        penX = x;
        penY = y;
    }
    void drawPoint(int x, int y, CColor c) override { points.push_back({x, y, c}); }

    // One-pixel steps from x - 1 to x: a contour arriving at x.
    std::vector<PaintedLine> stepsInto(int x) const
    {
        std::vector<PaintedLine> found;
        for (const PaintedLine& line : lines)
            if (line.x0 == x - 1 && line.x1 == x)
                found.push_back(line);
        return found;
    }
    // Vertical lines at x in the given colour.
    std::vector<PaintedLine> verticalsAt(int x, CColor c) const
    {
        std::vector<PaintedLine> found;
        for (const PaintedLine& line : lines)
            if (line.x0 == x && line.x1 == x && line.colour == c)
                found.push_back(line);
        return found;
    }

    std::vector<PaintedLine> lines;
    std::vector<PaintedPoint> points;
    int moves = 0;

private:
    CColor colour {0, 0, 0, 0};
    int penX = 0, penY = 0;
};
