#include "shell/audio_effect.h"

#include <cmath>
#include <cstring>

#include "shell/aeff_editor.h"

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms,
                         VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams)
{
    std::memset(&cEffect, 0, sizeof(cEffect));
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEffect;
    cEffect.process = processIgnored;
    cEffect.setParameter = setParameterEffect;
    cEffect.getParameter = getParameterEffect;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEffect;
    cEffect.processDoubleReplacing = processDoubleIgnored;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor)
{
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state)
{
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setSampleRate(float rate)
{
    // Later stages divide by the rate: a host value that is not a positive
    // finite number keeps the rate in force.
    if (std::isfinite(rate) && rate > 0.0f)
        storeRelaxed(sampleRate, rate);
}

void AudioEffect::setProgram(VstInt32 program)
{
    if (program < numPrograms)
        curProgram = program;
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt)
{
    if (!audioMaster)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::beginEdit(VstInt32 index)
{
    // Hosts index their parameter tables with the tag: only real parameters go out.
    if (index >= 0 && index < numParams)
        callHost(audioMasterBeginEdit, index);
}

void AudioEffect::endEdit(VstInt32 index)
{
    if (index >= 0 && index < numParams)
        callHost(audioMasterEndEdit, index);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt)
{
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr)
            setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr)
            getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr)
            getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr)
            getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr)
            getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (editor && ptr)
            return editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
        return 0;
    case effEditOpen:
        if (editor)
            return editor->open(ptr) ? 1 : 0;
        return 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify:
        return CCONST('N', 'v', 'E', 'f');
    case effGetChunk:
        if (!ptr)
            return 0;
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        if (!ptr)
            return 0;
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

VstIntPtr AudioEffect::dispatchEffect(AEffect* e, VstInt32 opcode, VstInt32 index,
                                      VstIntPtr value, void* ptr, float opt)
{
    AudioEffect* effect = fromAeffect(e);
    if (!effect)
        return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void AudioEffect::processIgnored(AEffect*, float**, float**, VstInt32) {}

void AudioEffect::processDoubleIgnored(AEffect*, double**, double**, VstInt32) {}

void AudioEffect::processReplacingEffect(AEffect* e, float** inputs, float** outputs,
                                         VstInt32 sampleFrames)
{
    if (AudioEffect* effect = fromAeffect(e))
        effect->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::setParameterEffect(AEffect* e, VstInt32 index, float value)
{
    if (AudioEffect* effect = fromAeffect(e))
        effect->setParameter(index, value);
}

float AudioEffect::getParameterEffect(AEffect* e, VstInt32 index)
{
    AudioEffect* effect = fromAeffect(e);
    return effect ? effect->getParameter(index) : 0.0f;
}
