// The module's entry point and load hook: what a host finds when it loads
// CantiloVST.so.
#include "editor/pitch_editor.h"
#include "shell/editor_factory.h"
#include "shell/module_handle.h"
#include "shell/pitch_effect.h"
#include "toolkit/x11/x11_platform.h"

#include <dlfcn.h>
#include <exception>

#define CANTILO_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Inside a host the editor's frames are child windows of the host's X11 window.
AEffEditor* makePitchEditor(PitchEffect& effect)
{
    return new PitchEditor(&effect, &x11Platform());
}

// Runs when the loader maps the module: remember where it came from and let
// every effect of this module create its editor.
__attribute__((constructor)) void onModuleLoad()
{
    Dl_info info {};
    if (dladdr(reinterpret_cast<void*>(&onModuleLoad), &info) && info.dli_fname) {
        void* handle = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
        if (handle)
            dlclose(handle); // NOLOAD took a reference; the module stays loaded
        setModuleHandle(ModuleHandle {handle, info.dli_fname});
    }
    installEditorFactory(makePitchEditor);
}

} // namespace

CANTILO_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    if (!audioMaster || audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        return (new PitchEffect(audioMaster))->getAeffect();
    } catch (const std::exception&) {
        return nullptr;
    }
}

// Older hosts look the entry point up under this name.
CANTILO_EXPORT AEffect* vstMainEntry(audioMasterCallback audioMaster) __asm__("main");
CANTILO_EXPORT AEffect* vstMainEntry(audioMasterCallback audioMaster)
{
    return VSTPluginMain(audioMaster);
}
