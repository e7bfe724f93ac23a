#include "toolkit/external_save_dialog.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kPollMilliseconds = 50; // how often the host is served while the dialog runs

} // namespace

bool finishChosenPath(std::string chosen, const SaveDialogRequest& request, std::string& path)
{
    size_t newline = chosen.find('\n');
    if (newline != std::string::npos)
        chosen.resize(newline);
    if (chosen.empty())
        return false;
    size_t slash = chosen.rfind('/');
    std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
    if (name.empty())
        return false; // a folder, not a file
    if (!request.defaultExtension.empty() && name.find('.') == std::string::npos)
        chosen += "." + request.defaultExtension;
    if (chosen.size() > request.maxPathLength)
        return false;
    path = chosen;
    return true;
}

std::vector<std::string> ExternalSaveDialog::zenityArguments(const SaveDialogRequest& request)
{
    // Without --confirm-overwrite zenity asks nothing when the file exists.
    std::vector<std::string> arguments = {"--file-selection", "--save"};
    if (!request.title.empty())
        arguments.push_back("--title=" + request.title);
    if (!request.initialPath.empty())
        arguments.push_back("--filename=" + request.initialPath);
    for (const SaveDialogFilter& filter : request.filters)
        arguments.push_back("--file-filter=" + filter.label + " | " + filter.pattern);
    return arguments;
}

std::vector<std::string> ExternalSaveDialog::kdialogArguments(const SaveDialogRequest& request)
{
    std::vector<std::string> arguments;
    if (!request.title.empty())
        arguments.insert(arguments.end(), {"--title", request.title});
    std::string filters;
    for (const SaveDialogFilter& filter : request.filters) {
        if (!filters.empty())
            filters += "\n";
        filters += filter.pattern + "|" + filter.label;
    }
    arguments.push_back("--getsavefilename");
    arguments.push_back(request.initialPath.empty() ? "." : request.initialPath);
    if (!filters.empty())
        arguments.push_back(filters);
    return arguments;
}

std::string ExternalSaveDialog::findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path)
        return "";
    std::string folders = path;
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (!folder.empty()) {
            std::string candidate = folder + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return "";
}

bool ExternalSaveDialog::runProgram(const std::string& program,
    const std::vector<std::string>& arguments, std::string& output,
    const std::function<void()>& idle)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, "LD_LIBRARY_PATH=", 16) != 0)
            envp.push_back(*entry);
    envp.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    pid_t child = 0;
    int spawned = posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        return false;
    }
    output.clear();
    char buffer[512];
    for (;;) {
        pollfd ready {pipeEnds[0], POLLIN, 0};
        int n = poll(&ready, 1, kPollMilliseconds);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            if (idle)
                idle();
            continue;
        }
        ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, size_t(got));
    }
    close(pipeEnds[0]);
    int status = 0;
    pid_t reaped;
    while ((reaped = waitpid(child, &status, 0)) < 0 && errno == EINTR) { }
    // A host that reaps children itself leaves no status: the output decides.
    if (reaped < 0)
        return !output.empty();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ExternalSaveDialog::run(
    const SaveDialogRequest& request, std::string& path, const std::function<void()>& idle)
{
    std::string output;
    if (std::string zenity = findOnPath("zenity"); !zenity.empty())
        return runProgram(zenity, zenityArguments(request), output, idle)
            && finishChosenPath(output, request, path);
    if (std::string kdialog = findOnPath("kdialog"); !kdialog.empty())
        return runProgram(kdialog, kdialogArguments(request), output, idle)
            && finishChosenPath(output, request, path);
    return fallback && fallback->run(request, path, idle);
}
