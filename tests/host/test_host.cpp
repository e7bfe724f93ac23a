#include "test_host.h"

#include <cstring>
#include <dlfcn.h>

namespace {
TestHost* currentHost = nullptr;
}

TestHost::TestHost(const std::string& modulePath)
{
    currentHost = this;
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    module = dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module)
        return;
    vstPluginMain
        = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    mainEntry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "main"));
}

TestHost::~TestHost()
{
    if (module)
        dlclose(module);
    if (currentHost == this)
        currentHost = nullptr;
}

AEffect* TestHost::createInstanceRaw() { return vstPluginMain ? vstPluginMain(callback) : nullptr; }

AEffect* TestHost::createInstance(float sampleRate, VstInt32 blockSize)
{
    AEffect* effect = createInstanceRaw();
    if (!effect)
        return nullptr;
    dispatch(effect, effOpen);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, sampleRate);
    dispatch(effect, effSetBlockSize, 0, blockSize);
    dispatch(effect, effMainsChanged, 0, 1);
    timeInfo.sampleRate = sampleRate;
    return effect;
}

void TestHost::closeInstance(AEffect* effect)
{
    if (!effect)
        return;
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
}

VstIntPtr TestHost::dispatch(
    AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

void TestHost::process(AEffect* effect, float** inputs, float** outputs, VstInt32 frames)
{
    effect->processReplacing(effect, inputs, outputs, frames);
}

std::vector<float> TestHost::playMono(
    AEffect* effect, const std::vector<float>& input, VstInt32 block)
{
    std::vector<float> output(input.size(), 0.0f);
    std::vector<float> right(static_cast<std::size_t>(block));
    const auto length = static_cast<std::size_t>(block);
    for (std::size_t at = 0; at + length <= input.size(); at += length) {
        setTransport(static_cast<double>(at), true);
        float* inputs[2]
            = {const_cast<float*>(input.data() + at), const_cast<float*>(input.data() + at)};
        float* outputs[2] = {output.data() + at, right.data()};
        process(effect, inputs, outputs, block);
    }
    return output;
}

void TestHost::setTransport(double samplePos, bool playing, double tempo)
{
    timeInfo.samplePos = samplePos;
    timeInfo.tempo = tempo;
    timeInfo.flags = kVstTempoValid | (playing ? kVstTransportPlaying : 0);
}

std::vector<TestHost::Call> TestHost::calls() const
{
    std::lock_guard<std::mutex> guard(callsMutex);
    return recorded;
}

int TestHost::countCalls(VstInt32 opcode) const
{
    std::lock_guard<std::mutex> guard(callsMutex);
    int count = 0;
    for (const Call& call : recorded)
        count += call.opcode == opcode;
    return count;
}

void TestHost::clearCalls()
{
    std::lock_guard<std::mutex> guard(callsMutex);
    recorded.clear();
}

VstIntPtr TestHost::callback(
    AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt)
{
    return currentHost ? currentHost->answer(effect, opcode, index, value, ptr, opt) : 0;
}

VstIntPtr TestHost::answer(
    AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float /*opt*/)
{
    {
        std::lock_guard<std::mutex> guard(callsMutex);
        std::string text;
        if (opcode == audioMasterCanDo && ptr)
            text = static_cast<const char*>(ptr);
        recorded.push_back(Call {effect, opcode, index, value, text});
    }
    switch (opcode) {
    case audioMasterVersion: return versionAnswer;
    case audioMasterGetTime: return timeInfoAvailable ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterIdle:
        if (onIdle)
            onIdle();
        return 0;
    case audioMasterCanDo:
        if (ptr && offersFileSelector
            && (std::strcmp(static_cast<const char*>(ptr), "openFileSelector") == 0
                || std::strcmp(static_cast<const char*>(ptr), "closeFileSelector") == 0))
            return 1;
        return 0;
    case audioMasterOpenFileSelector:
        if (offersFileSelector && fileSelector && ptr)
            return fileSelector(static_cast<VstFileSelect*>(ptr)) ? 1 : 0;
        return 0;
    case audioMasterCloseFileSelector: return offersFileSelector ? 1 : 0;
    default: return 0;
    }
}
