// Filling the host's file-type record for a file selector request.
#pragma once

#include "vst/vst24.h"

// A file type with each text copied and cut to its field (127 characters for
// the name and the MIME types, 7 for the three type codes), always
// zero-terminated; a null text is taken as empty.
VstFileType makeVstFileType(const char* name, const char* macType, const char* dosType,
    const char* unixType, const char* mimeType1 = nullptr, const char* mimeType2 = nullptr);
