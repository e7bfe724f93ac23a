// A small VST 2.4 host for tests: loads CantiloVST.so with dlopen, creates
// instances through VSTPluginMain, records every host callback and answers the
// ones the plug-in uses (version, time info, canDo, file selector, idle).
#pragma once

#include "vst/vst24.h"

#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TestHost {
public:
    struct Call {
        AEffect* effect;
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        std::string text; // the query string of audioMasterCanDo
    };

    explicit TestHost(const std::string& modulePath = CANTILO_PLUGIN_PATH);
    ~TestHost();
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    bool loaded() const { return module != nullptr; }
    AEffect* (*vstPluginMain)(audioMasterCallback) = nullptr;
    AEffect* (*mainEntry)(audioMasterCallback) = nullptr;

    // A new instance through VSTPluginMain, opened and switched on as hosts do
    // (effOpen, sample rate, block size, effMainsChanged 1). Null when the
    // plug-in refused.
    AEffect* createInstance(float sampleRate = 44100.0f, VstInt32 blockSize = 512);
    AEffect* createInstanceRaw(); // VSTPluginMain only
    void closeInstance(AEffect* effect);

    static VstIntPtr dispatch(AEffect* effect, VstInt32 opcode, VstInt32 index = 0,
        VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f);

    // One block through processReplacing with the transport as set below.
    void process(AEffect* effect, float** inputs, float** outputs, VstInt32 frames);

    // Plays a mono signal through both inputs in whole blocks, the transport
    // running from 0; the left output, silent past the last whole block.
    std::vector<float> playMono(AEffect* effect, const std::vector<float>& input, VstInt32 block);

    // Host state the callback answers from.
    VstIntPtr versionAnswer = 2400;
    bool timeInfoAvailable = true;
    VstTimeInfo timeInfo {};
    bool offersFileSelector = false;
    std::function<bool(VstFileSelect*)> fileSelector;
    std::function<void()> onIdle;

    std::vector<Call> calls() const;
    int countCalls(VstInt32 opcode) const;
    void clearCalls();

    // Transport helpers.
    void setTransport(double samplePos, bool playing, double tempo = 120.0);

private:
    static VstIntPtr callback(
        AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(
        AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    void* module = nullptr;
    mutable std::mutex callsMutex;
    std::vector<Call> recorded;
};
