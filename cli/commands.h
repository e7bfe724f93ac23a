// The three commands of cantilo and the dispatch between them.
#pragma once

#include "cli/command_line.h"

#include <string>
#include <vector>

// Runs the command line (without the program name); messages go to standard
// output, warnings, progress and errors to standard error. Answers the exit code.
int runCantilo(const std::vector<std::string>& arguments);

std::optional<Failure> runTune(const TuneOptions& options);
std::optional<Failure> runAnalyse(const AnalyseOptions& options);
std::optional<Failure> runDemo(const DemoOptions& options);
