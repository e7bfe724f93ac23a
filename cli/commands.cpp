#include "cli/commands.h"

#include <cstdio>

namespace {

constexpr const char* kVersionText = "cantilo 1.0 (Cantilo VST engine)\n";

int report(const std::optional<Failure>& failure)
{
    if (!failure)
        return kExitOk;
    std::fprintf(stderr, "cantilo: %s\n", failure->message.c_str());
    return failure->exitCode;
}

} // namespace

std::optional<Failure> runTune(const TuneOptions&)
{
    return Failure {"tune: not available in this build", kExitProcessing};
}

std::optional<Failure> runAnalyse(const AnalyseOptions&)
{
    return Failure {"analyse: not available in this build", kExitProcessing};
}

std::optional<Failure> runDemo(const DemoOptions&)
{
    return Failure {"demo: not available in this build", kExitProcessing};
}

int runCantilo(const std::vector<std::string>& arguments)
{
    ParsedCommandLine parsed;
    if (auto failure = parseCommandLine(arguments, parsed))
        return report(failure);
    if (parsed.helpRequested || parsed.command == Command::kHelp) {
        std::fputs(
            parsed.helpRequested ? commandHelp(parsed.command).c_str() : generalHelp().c_str(),
            stdout);
        return kExitOk;
    }
    switch (parsed.command) {
    case Command::kVersion: std::fputs(kVersionText, stdout); return kExitOk;
    case Command::kTune: return report(runTune(parsed.tune));
    case Command::kAnalyse: return report(runAnalyse(parsed.analyse));
    case Command::kDemo: return report(runDemo(parsed.demo));
    default: return kExitOk;
    }
}
