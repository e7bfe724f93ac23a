// The desktop's own save dialog, by the convention of Linux desktops: zenity
// or kdialog, whichever is installed, run as a child process; without either
// the fallback dialog runs.
#pragma once

#include "toolkit/platform.h"

#include <string>
#include <vector>

class ExternalSaveDialog : public SaveDialog {
public:
    // fallback may be null: then no dialog is a failed dialog.
    explicit ExternalSaveDialog(SaveDialog* fallback)
        : fallback(fallback)
    {
    }

    bool run(const SaveDialogRequest& request, std::string& path,
        const std::function<void()>& idle) override;

    static std::vector<std::string> zenityArguments(const SaveDialogRequest& request);
    static std::vector<std::string> kdialogArguments(const SaveDialogRequest& request);

    // Runs program with arguments, the environment without LD_LIBRARY_PATH
    // (the host's libraries are not the dialog's), calling idle while it
    // waits. True when it exited with 0; output is what it printed.
    static bool runProgram(const std::string& program, const std::vector<std::string>& arguments,
        std::string& output, const std::function<void()>& idle);
    // The executable of name on PATH, or "" when there is none.
    static std::string findOnPath(const std::string& name);

private:
    SaveDialog* fallback;
};

// The chosen path as a save dialog returns it: the first line of output,
// with the default extension added when the file name has none. False for
// an empty answer or one longer than maxLength.
bool finishChosenPath(std::string chosen, const SaveDialogRequest& request, std::string& path);
