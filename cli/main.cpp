// cantilo: the plug-in's engine as a command-line pitch corrector.
#include "cli/commands.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return runCantilo(arguments);
}
