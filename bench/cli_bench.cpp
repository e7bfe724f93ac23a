// cantilo end to end (read, record and analyse, cut, tune, render, write) on a
// three-minute vocal file, as a multiple of real time, next to
// `rubberband -p 1` (Debian's rubberband-cli) on the same file in the same run;
// and `cantilo tune --transpose 4` (formants kept) on a 91-second vocal file.
// The programs run pinned to one core; cantilo runs once more on two cores,
// where it corrects separate takes side by side.
#include "cli/audio_file.h"
#include "cli/sung_melody.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sndfile.h>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 180.0;
constexpr double kTransposeSeconds = 91.0;

std::string scratch(const char* name)
{
    return "/tmp/cantilo_bench_" + std::to_string(getpid()) + "_" + name;
}

// seconds of the synthetic singer in a 16-bit WAV file.
std::string writeSungFile(double seconds, const char* name)
{
    std::vector<SungNote> melody;
    while (melody.size() * 1.0 < seconds)
        for (const SungNote& note : demoMelody())
            melody.push_back(note);
    std::vector<float> sung = synthesiseMelody(melody, kRate);
    sung.resize(static_cast<std::size_t>(seconds * kRate));
    std::string file = scratch(name);
    WriteReport report;
    writeAudioFile(file, sung, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, report);
    return file;
}

// A three-minute take of the synthetic singer, written once.
const std::string& threeMinuteFile()
{
    static const std::string path = writeSungFile(kSeconds, "input.wav");
    return path;
}

// One take's worth, 91 seconds, written once.
const std::string& oneTakeFile()
{
    static const std::string path = writeSungFile(kTransposeSeconds, "take.wav");
    return path;
}

struct CommandTime {
    double wall = -1.0; // negative when the command failed
    double cpu = 0.0; // user + system time of the processes it started
};

double childrenCpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Wall and processor time of one shell command. On a busy machine the
// processor time is the fairer measure of what one core spends.
CommandTime timeCommand(const std::string& command)
{
    const double cpuBefore = childrenCpuSeconds();
    auto start = std::chrono::steady_clock::now();
    int status = std::system(command.c_str());
    CommandTime time;
    time.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    time.cpu = childrenCpuSeconds() - cpuBefore;
    if (status != 0)
        time.wall = -1.0;
    return time;
}

bool haveTaskset() { return std::system("command -v taskset >/dev/null 2>&1") == 0; }

void BM_CantiloTuneNextToRubberband(benchmark::State& state)
{
    const std::string& input = threeMinuteFile();
    const std::string pin = haveTaskset() ? "taskset -c 0 " : "";
    const std::string cantilo = pin + CANTILO_PROGRAM_PATH + " tune " + input + " -o "
        + scratch("tuned.wav") + " >/dev/null 2>&1";
    const std::string cantiloTwoCores = (haveTaskset() ? "taskset -c 0,1 " : "")
        + std::string(CANTILO_PROGRAM_PATH) + " tune " + input + " -o " + scratch("tuned2.wav")
        + " >/dev/null 2>&1";
    const std::string rubberband
        = pin + "rubberband -q -p 1 " + input + " " + scratch("shifted.wav") + " >/dev/null 2>&1";
    const bool haveRubberband = std::system("command -v rubberband >/dev/null 2>&1") == 0;
    CommandTime ours {0.0, 0.0}, theirs {0.0, 0.0}, twoCores {0.0, 0.0};
    for (auto _ : state) {
        CommandTime run = timeCommand(cantilo);
        if (run.wall < 0.0) {
            state.SkipWithError("cantilo tune failed");
            break;
        }
        ours.wall += run.wall;
        ours.cpu += run.cpu;
        CommandTime both = timeCommand(cantiloTwoCores);
        twoCores.wall += both.wall;
        twoCores.cpu += both.cpu;
        if (haveRubberband) {
            CommandTime shifted = timeCommand(rubberband);
            theirs.wall += shifted.wall;
            theirs.cpu += shifted.cpu;
        }
        state.SetIterationTime(run.wall);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["cantilo_x_realtime_wall"] = kSeconds / (ours.wall / runs);
    state.counters["cantilo_x_realtime_cpu"] = kSeconds / (ours.cpu / runs);
    state.counters["cantilo_2cores_x_realtime_wall"] = kSeconds / (twoCores.wall / runs);
    state.counters["cantilo_2cores_x_realtime_cpu"] = kSeconds / (twoCores.cpu / runs);
    if (haveRubberband && theirs.wall > 0.0) {
        state.counters["rubberband_x_realtime_wall"] = kSeconds / (theirs.wall / runs);
        state.counters["rubberband_x_realtime_cpu"] = kSeconds / (theirs.cpu / runs);
        state.counters["cantilo_over_rubberband_wall"] = theirs.wall / ours.wall;
        state.counters["cantilo_over_rubberband_cpu"] = theirs.cpu / ours.cpu;
        state.counters["cantilo_2cores_over_rubberband_wall"] = theirs.wall / twoCores.wall;
    } else {
        state.SetLabel("rubberband not installed (scripts/setup installs rubberband-cli)");
    }
    std::remove(scratch("tuned.wav").c_str());
    std::remove(scratch("shifted.wav").c_str());
    std::remove(scratch("tuned2.wav").c_str());
}
BENCHMARK(BM_CantiloTuneNextToRubberband)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

void BM_CantiloTransposeFour(benchmark::State& state)
{
    const std::string pin = haveTaskset() ? "taskset -c 0 " : "";
    const std::string command = pin + CANTILO_PROGRAM_PATH + " tune " + oneTakeFile() + " -o "
        + scratch("transposed.wav") + " --transpose 4 >/dev/null 2>&1";
    CommandTime total {0.0, 0.0};
    for (auto _ : state) {
        CommandTime run = timeCommand(command);
        if (run.wall < 0.0) {
            state.SkipWithError("cantilo tune --transpose 4 failed");
            break;
        }
        total.wall += run.wall;
        total.cpu += run.cpu;
        state.SetIterationTime(run.wall);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["x_realtime_wall"] = kTransposeSeconds / (total.wall / runs);
    state.counters["x_realtime_cpu"] = kTransposeSeconds / (total.cpu / runs);
    std::remove(scratch("transposed.wav").c_str());
}
BENCHMARK(BM_CantiloTransposeFour)->UseManualTime()->Iterations(3)->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::remove(threeMinuteFile().c_str());
    std::remove(oneTakeFile().c_str());
    return 0;
}
