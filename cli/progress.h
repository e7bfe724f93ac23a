// Progress on standard error: shown only when standard error is a terminal and
// only once the work has taken more than a second, redrawn in place at most ten
// times a second, and cleared when the work is done.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

class Progress {
public:
    // `stream` is shown to only when it is a terminal.
    explicit Progress(std::FILE* stream = stderr);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The current step and how much of it is done, 0 to 1.
    void update(const std::string& step, double fraction);

    // Clears the line, if one was drawn.
    void finish();

    bool enabled() const { return terminal; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuietPeriod {1000};
    static constexpr std::chrono::milliseconds kRedrawInterval {100};

    std::FILE* stream;
    bool terminal;
    Clock::time_point started;
    Clock::time_point lastDrawn;
    bool drawn = false;
};
