// The plug-in module as the loader reports it: recorded once when the module
// is loaded, read by the toolkit (resources, window class names).
#pragma once

struct ModuleHandle {
    void* handle = nullptr;     // what dlopen of the module's path returns
    const char* path = nullptr; // the module's file
};

void setModuleHandle(const ModuleHandle& module);
const ModuleHandle& moduleHandle();
