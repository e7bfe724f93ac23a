#include "shell/module_handle.h"

namespace {
ModuleHandle currentModule;
}

void setModuleHandle(const ModuleHandle& module) { currentModule = module; }

const ModuleHandle& moduleHandle() { return currentModule; }
