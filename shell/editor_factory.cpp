#include "shell/editor_factory.h"

#include <atomic>

namespace {
std::atomic<EditorFactory> installedFactory{nullptr};
}

void installEditorFactory(EditorFactory factory) { installedFactory.store(factory); }

AEffEditor* createEditor(PitchEffect& effect)
{
    EditorFactory factory = installedFactory.load();
    return factory ? factory(effect) : nullptr;
}
