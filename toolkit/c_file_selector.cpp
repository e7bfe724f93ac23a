#include "toolkit/c_file_selector.h"

#include "shell/audio_effect.h"
#include "toolkit/aeff_gui_editor.h"
#include "toolkit/c_frame.h"
#include "toolkit/platform.h"

#include <cstring>
#include <string>

namespace {

constexpr size_t kMaxPathLength = 1023;

// A fixed-size text field of a host record, read without running past it.
std::string fieldText(const char* field, size_t capacity)
{
    return std::string(field, strnlen(field, capacity));
}

AEffGUIEditor* guiEditorOf(AudioEffect* effect)
{
    return effect ? dynamic_cast<AEffGUIEditor*>(effect->getEditor()) : nullptr;
}

} // namespace

CFileSelector::CFileSelector(AudioEffect* effect, Platform* platform)
    : effect(effect)
    , platform(platform)
{
}

bool CFileSelector::hostOffersSelector() const
{
    if (!effect)
        return false;
    // A host answers 1 for yes, -1 for no and 0 when it does not know.
    auto canDo = [&](const char* what) {
        return effect->callHost(audioMasterCanDo, 0, 0, const_cast<char*>(what)) > 0;
    };
    return canDo("openFileSelector") && canDo("closeFileSelector");
}

long CFileSelector::run(VstFileSelect* request)
{
    if (!request)
        return 0;
    return hostOffersSelector() ? runHostSelector(request) : runPlatformDialog(request);
}

long CFileSelector::runHostSelector(VstFileSelect* request)
{
    VstIntPtr chosen = effect->callHost(audioMasterOpenFileSelector, 0, 0, request);
    if (chosen && request->returnPath && request->sizeReturnPath > 0)
        request->returnPath[request->sizeReturnPath - 1] = 0;
    effect->callHost(audioMasterCloseFileSelector, 0, 0, request);
    return chosen ? 1 : 0;
}

long CFileSelector::runPlatformDialog(VstFileSelect* request)
{
    // The path goes into the caller's buffer; without one there is nowhere
    // to put it.
    if (!request->returnPath)
        return 0;
    SaveDialogRequest dialog;
    dialog.title = fieldText(request->title, sizeof request->title);
    if (request->initialPath)
        dialog.initialPath = request->initialPath;
    for (VstInt32 i = 0; request->fileTypes && i < request->nbFileTypes; ++i) {
        const VstFileType& type = request->fileTypes[i];
        std::string extension = fieldText(type.dosType, sizeof type.dosType);
        if (extension.empty())
            extension = fieldText(type.unixType, sizeof type.unixType);
        std::string name = fieldText(type.name, sizeof type.name);
        dialog.filters.push_back({name + " (." + extension + ")", "*." + extension});
        if (i == 0)
            dialog.defaultExtension = extension;
    }
    dialog.maxPathLength = kMaxPathLength;
    if (request->sizeReturnPath > 0 && size_t(request->sizeReturnPath) - 1 < kMaxPathLength)
        dialog.maxPathLength = size_t(request->sizeReturnPath) - 1;

    AEffGUIEditor* editor = guiEditorOf(effect);
    Platform& dialogs = platform ? *platform : editor ? editor->getPlatform() : defaultPlatform();
    // While the dialog waits for the user, the host keeps being served. The
    // idle goes through the frame, kept alive here: the host may delete the
    // editor (with its instance) from inside that idle, and the frame then
    // idles on its own.
    CFrame* frame = editor ? editor->getFrame() : nullptr;
    if (frame)
        frame->remember();
    auto idle = [frame] {
        if (frame)
            frame->doIdleStuff();
    };
    std::string path;
    const bool chosen = dialogs.saveDialog().run(dialog, path, idle);
    if (frame)
        frame->forget();
    if (!chosen || path.empty() || path.size() > dialog.maxPathLength)
        return 0;
    std::memcpy(request->returnPath, path.c_str(), path.size() + 1);
    request->nbReturnPath = 1;
    return 1;
}
