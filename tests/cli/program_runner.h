// Runs the built cantilo program as a user would and collects what it says.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProgramRun runCantiloProgram(const std::vector<std::string>& arguments);

// A file name in the test's temporary folder.
std::string scratchPath(const std::string& name);
