// The host-facing base of every effect: the plug-in record handed to the host,
// the static callbacks that route the host's calls into the object, and the
// default answer of every opcode the effect does not handle itself.
#pragma once

#include <atomic>

#include "model/relaxed_atomic.h"
#include "vst/vst24.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    AEffect* getAeffect() { return &cEffect; }
    static AudioEffect* fromAeffect(AEffect* effect)
    {
        return effect ? static_cast<AudioEffect*>(effect->object) : nullptr;
    }

    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);

    virtual void open() {}
    virtual void close() {}
    virtual void suspend() {}
    virtual void resume() {}
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(VstInt32 size) { blockSize = size; }

    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);

    virtual void setParameter(VstInt32 /*index*/, float /*value*/) {}
    virtual float getParameter(VstInt32 /*index*/) { return 0.0f; }
    virtual void getParameterLabel(VstInt32 /*index*/, char* /*text*/) {}
    virtual void getParameterDisplay(VstInt32 /*index*/, char* /*text*/) {}
    virtual void getParameterName(VstInt32 /*index*/, char* /*text*/) {}

    virtual void setProgram(VstInt32 program);
    virtual VstInt32 getProgram() { return curProgram; }
    virtual void setProgramName(char* /*name*/) {}
    virtual void getProgramName(char* name) { name[0] = 0; }

    virtual VstInt32 getChunk(void** /*data*/, bool /*isPreset*/) { return 0; }
    virtual VstInt32 setChunk(void* /*data*/, VstInt32 /*byteSize*/, bool /*isPreset*/)
    {
        return 0;
    }

    // Registers the editor; the base layer owns it from now on and deletes it
    // with the effect.
    virtual void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() { return editor; }

    void setUniqueID(VstInt32 id) { cEffect.uniqueID = id; }
    void setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
    void setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
    void canProcessReplacing(bool state = true) { setFlag(effFlagsCanReplacing, state); }
    void programsAreChunks(bool state = true) { setFlag(effFlagsProgramChunks, state); }
    void isSynth(bool state = true) { setFlag(effFlagsIsSynth, state); }

    // The host may set the rate on another thread than the audio thread's.
    float getSampleRate() const
    {
        return loadRelaxed(sampleRate);
    }
    VstInt32 getBlockSize() const { return blockSize; }
    audioMasterCallback getAudioMaster() const { return audioMaster; }

    // Every host request goes through here; never calls a null callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    virtual void beginEdit(VstInt32 index);
    virtual void endEdit(VstInt32 index);

protected:
    void setFlag(VstInt32 flag, bool state);

    audioMasterCallback audioMaster;
    AEffEditor* editor = nullptr;
    float sampleRate = 44100.0f;
    VstInt32 blockSize = 1024;
    VstInt32 numPrograms;
    VstInt32 numParams;
    VstInt32 curProgram = 0;
    AEffect cEffect;

private:
    static VstIntPtr dispatchEffect(AEffect* e, VstInt32 opcode, VstInt32 index,
                                    VstIntPtr value, void* ptr, float opt);
    static void processIgnored(AEffect* e, float** inputs, float** outputs,
                               VstInt32 sampleFrames);
    static void processDoubleIgnored(AEffect* e, double** inputs, double** outputs,
                                     VstInt32 sampleFrames);
    static void processReplacingEffect(AEffect* e, float** inputs, float** outputs,
                                       VstInt32 sampleFrames);
    static void setParameterEffect(AEffect* e, VstInt32 index, float value);
    static float getParameterEffect(AEffect* e, VstInt32 index);
};
