// The core creates its editor through a factory that the plug-in module
// installs; tools and tests built on the core alone get no editor.
#pragma once

class AEffEditor;
class PitchEffect;

using EditorFactory = AEffEditor* (*)(PitchEffect& effect);

void installEditorFactory(EditorFactory factory);

// The editor for effect, or null when no factory is installed. The editor
// registers itself with the effect as it is constructed.
AEffEditor* createEditor(PitchEffect& effect);
