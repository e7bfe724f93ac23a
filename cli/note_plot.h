// The note editor's picture of a tuned recording, drawn by the plug-in's own
// note view offscreen: each take in a band of its own, one above the other,
// each band as wide as the longest take, window after window of the view's
// visible width.
#pragma once

#include "cli/take_corrector.h"

#include <optional>
#include <string>

typedef struct _cairo_surface cairo_surface_t;
class PitchEffect;

constexpr int kPlotBandHeight = 344; // the note editor's height in the editor window

class NotePlot {
public:
    // A picture for `takes` takes, the longest `longestTake` samples.
    NotePlot(int takes, long longestTake);
    ~NotePlot();
    NotePlot(const NotePlot&) = delete;
    NotePlot& operator=(const NotePlot&) = delete;

    // Draws band `take` from the effect's notes and analysis, `samples` long.
    void drawTake(int take, PitchEffect& effect, long samples);
    std::optional<Failure> writePng(const std::string& path) const;

    int width() const;
    int height() const;

    // The picture's width for a take of `samples` samples: whole windows.
    static int widthFor(long samples);

private:
    cairo_surface_t* surface;
};
