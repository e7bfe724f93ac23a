// A host callback for tests that create the effect directly: it answers the
// version and the time information from a record the test moves itself, and
// allocates nothing on the way (the audio path's allocation tests use it).
#pragma once

#include "vst/vst24.h"

// The time the quiet host reports; tests set its flags and position.
inline VstTimeInfo hostTime {};

inline VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    constexpr VstIntPtr kHostVersion = 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<VstIntPtr>(&hostTime);
    if (opcode == audioMasterVersion)
        return kHostVersion;
    return 0;
}
