// Asks the user for a file: through the host's own selector when the host
// offers one, else through the platform's save dialog.
#pragma once

#include "vst/vst24.h"

class AudioEffect;
class Platform;

class CFileSelector {
public:
    // Without a platform the one of the effect's editor is used (the
    // default platform when the effect has no toolkit editor).
    explicit CFileSelector(AudioEffect* effect, Platform* platform = nullptr);

    // 1 with the chosen path in request->returnPath, 0 when the user
    // cancelled or the dialog failed.
    long run(VstFileSelect* request);

    // True when the host answers both "openFileSelector" and "closeFileSelector".
    bool hostOffersSelector() const;

private:
    long runHostSelector(VstFileSelect* request);
    long runPlatformDialog(VstFileSelect* request);

    AudioEffect* effect;
    Platform* platform;
};
