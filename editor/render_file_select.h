// The save request the "render" button hands to the file selector.
#pragma once

#include "vst/vst24.h"

constexpr int kRenderPathCapacity = 1024; // bytes of the buffer the chosen path goes to

constexpr const char* kRenderSelectTitle = "Render output to wave file (GUI will freeze)";

// A save request for one file type (waveType) with the render's title and no
// initial path; the chosen path goes into returnPath, a buffer of
// pathCapacity bytes that the caller owns. The capacity goes to the host as
// well, so that it cannot write past the buffer. Every other field is 0,
// apart from the first byte of future, which is 1.
VstFileSelect makeRenderFileSelect(VstFileType* waveType, char* returnPath, int pathCapacity);
