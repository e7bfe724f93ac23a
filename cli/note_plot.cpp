#include "cli/note_plot.h"

#include "editor/note_view.h"
#include "shell/pitch_effect.h"
#include "toolkit/c_draw_context.h"

#include <algorithm>
#include <cairo.h>

namespace {

// The view's picture of one window, drawn on a surface of the view's size
// so that nothing spills into the neighbouring windows.
void drawWindow(NoteView& view, cairo_surface_t* window, int firstFrame)
{
    cairo_t* cr = cairo_create(window);
    cairo_set_source_rgb(
        cr, kGreyCColor.red / 255.0, kGreyCColor.green / 255.0, kGreyCColor.blue / 255.0);
    cairo_paint(cr);
    cairo_destroy(cr);
    // Frame firstFrame at x 0: the view's left edge lies that far to the left.
    view.setViewSize(CRect(-firstFrame, 0, kTakeFrames - firstFrame, kPlotBandHeight));
    auto* context = new CDrawContext(nullptr, window);
    view.draw(context);
    context->forget();
    cairo_surface_flush(window);
}

} // namespace

NotePlot::NotePlot(int takes, long longestTake)
    : surface(cairo_image_surface_create(
        CAIRO_FORMAT_RGB24, widthFor(longestTake), std::max(takes, 1) * kPlotBandHeight))
{
}

NotePlot::~NotePlot() { cairo_surface_destroy(surface); }

int NotePlot::widthFor(long samples)
{
    const long frames
        = std::clamp<long>((samples + kFrameLength - 1) / kFrameLength, 1, kTakeFrames);
    return static_cast<int>((frames + kVisibleFrames - 1) / kVisibleFrames) * kVisibleFrames;
}

int NotePlot::width() const { return cairo_image_surface_get_width(surface); }
int NotePlot::height() const { return cairo_image_surface_get_height(surface); }

void NotePlot::drawTake(int take, PitchEffect& effect, long samples)
{
    auto* view = new NoteView(CRect(0, 0, kTakeFrames, kPlotBandHeight));
    view->effect = &effect;
    cairo_surface_t* window
        = cairo_image_surface_create(CAIRO_FORMAT_RGB24, kVisibleFrames, kPlotBandHeight);
    cairo_t* cr = cairo_create(surface);
    const int bandWidth = widthFor(samples);
    for (int first = 0; first < bandWidth; first += kVisibleFrames) {
        drawWindow(*view, window, first);
        cairo_set_source_surface(cr, window, first, take * kPlotBandHeight);
        cairo_rectangle(cr, first, take * kPlotBandHeight, kVisibleFrames, kPlotBandHeight);
        cairo_fill(cr);
    }
    cairo_destroy(cr);
    cairo_surface_destroy(window);
    view->forget();
}

std::optional<Failure> NotePlot::writePng(const std::string& path) const
{
    cairo_surface_flush(surface);
    const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        return Failure {
            "cannot write " + path + ": " + cairo_status_to_string(status), kExitOutput};
    return std::nullopt;
}
