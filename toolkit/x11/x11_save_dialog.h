// A small save dialog of our own for desktops without zenity or kdialog: a
// window with the title, an editable path and the file type; Enter saves,
// Escape (or closing the window) cancels.
#pragma once

#include "toolkit/platform.h"

class X11SaveDialog : public SaveDialog {
public:
    bool run(const SaveDialogRequest& request, std::string& path,
        const std::function<void()>& idle) override;
};

// The dialog's window title, so that tests and window managers can find it.
constexpr const char* kSaveDialogClass = "CantiloSaveDialog";
