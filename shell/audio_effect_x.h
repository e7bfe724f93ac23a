// The VST 2 extensions of the base layer: events, time info, identity strings,
// capability queries and the file selector calls, with their default answers.
#pragma once

#include "shell/audio_effect.h"

class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
        : AudioEffect(audioMaster, numPrograms, numParams)
    {
    }

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                         float opt) override;

    void resume() override;

    virtual VstInt32 processEvents(VstEvents* /*events*/) { return 0; }
    virtual bool getEffectName(char* /*name*/) { return false; }
    virtual bool getVendorString(char* /*text*/) { return false; }
    virtual bool getProductString(char* /*text*/) { return false; }
    virtual VstInt32 getVendorVersion() { return 0; }
    virtual VstInt32 canDo(const char* /*text*/) { return 0; }
    virtual VstInt32 getPlugCategory() { return kPlugCategUnknown; }
    virtual VstInt32 getVstVersion() { return kVstVersion; }
    virtual VstInt32 getGetTailSize() { return 0; }

    // Host services. getTimeInfo answers null without a host or when the host
    // has no transport to report.
    VstTimeInfo* getTimeInfo(VstInt32 filter);
    bool wantEvents(VstInt32 filter = 1);
    VstInt32 canHostDo(const char* text);
    bool openFileSelector(VstFileSelect* select);
    bool closeFileSelector(VstFileSelect* select);
};
