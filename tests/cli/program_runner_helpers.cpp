#include "program_runner.h"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string readWhole(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::string scratchPath(const std::string& name)
{
    return ::testing::TempDir() + "cantilo_" + std::to_string(getpid()) + "_" + name;
}

ProgramRun runCantiloProgram(const std::vector<std::string>& arguments)
{
    const std::string outPath = scratchPath("stdout.txt");
    const std::string errPath = scratchPath("stderr.txt");
    ProgramRun run;
    pid_t child = fork();
    if (child == 0) {
        // Standard error is a file here, never a terminal: no progress is drawn.
        if (!std::freopen(outPath.c_str(), "w", stdout)
            || !std::freopen(errPath.c_str(), "w", stderr))
            _exit(127);
        std::vector<char*> argv;
        std::string program = CANTILO_PROGRAM_PATH;
        argv.push_back(program.data());
        std::vector<std::string> copies = arguments;
        for (std::string& word : copies)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}
