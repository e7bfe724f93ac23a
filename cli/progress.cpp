#include "cli/progress.h"

#include <algorithm>
#include <unistd.h>

Progress::Progress(std::FILE* stream)
    : stream(stream)
    , terminal(stream && isatty(fileno(stream)) == 1)
    , started(Clock::now())
{
}

Progress::~Progress() { finish(); }

void Progress::update(const std::string& step, double fraction)
{
    if (!terminal)
        return;
    Clock::time_point now = Clock::now();
    if (now - started < kQuietPeriod || (drawn && now - lastDrawn < kRedrawInterval))
        return;
    int percent = static_cast<int>(std::clamp(fraction, 0.0, 1.0) * 100.0);
    std::fprintf(stream, "\r\033[Kcantilo: %s %3d%%", step.c_str(), percent);
    std::fflush(stream);
    lastDrawn = now;
    drawn = true;
}

void Progress::finish()
{
    if (drawn) {
        std::fprintf(stream, "\r\033[K");
        std::fflush(stream);
        drawn = false;
    }
}
