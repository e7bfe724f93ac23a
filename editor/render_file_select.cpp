#include "editor/render_file_select.h"

#include <cstring>

VstFileSelect makeRenderFileSelect(VstFileType* waveType, char* returnPath, int pathCapacity)
{
    VstFileSelect request;
    std::memset(&request, 0, sizeof request);
    request.command = kVstFileSave;
    request.type = kVstFileType;
    request.nbFileTypes = 1;
    request.fileTypes = waveType;
    std::strncpy(request.title, kRenderSelectTitle, sizeof request.title - 1);
    request.initialPath = nullptr;
    request.returnPath = returnPath;
    request.sizeReturnPath = pathCapacity;
    request.future[0] = 1;
    return request;
}
