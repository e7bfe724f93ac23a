// An in-process host for one PitchEffect: it creates the effect as the entry
// point does, answers the host callbacks the effect asks for (version and a
// running transport), and feeds audio through processReplacing block by block,
// exactly as a DAW plays a track through the plug-in.
#pragma once

#include "shell/pitch_effect.h"
#include "vst/vst24.h"

#include <functional>
#include <memory>

class EffectHost {
public:
    static constexpr int kBlockLength = 512;
    static constexpr VstIntPtr kHostVersion = 2400;

    // A new effect, opened, told the rate and block size and switched on.
    explicit EffectHost(float sampleRate);
    ~EffectHost();
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    PitchEffect& effect() { return *pitchEffect; }
    AEffect* aeffect() { return pitchEffect->getAeffect(); }
    float sampleRate() const { return rate; }

    // Plays `count` samples through processReplacing with the host transport
    // running from the current position; the same mono signal goes to both
    // inputs, as hosts feed a mono track. `output` (channel 0) may be null.
    // `progress` is told how many samples are done after every block.
    void play(const float* input, long count, float* output = nullptr,
        const std::function<void(long)>& progress = {});

    // The host transport position, in samples.
    double transportPosition() const { return timeInfo.samplePos; }

    // How often the effect asked for the time and got an answer.
    long timeRequests() const { return timeRequestCount; }

private:
    static VstIntPtr callback(
        AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    VstIntPtr answer(VstInt32 opcode);

    float rate;
    PitchEffect* pitchEffect = nullptr; // owned: closed with effClose, which deletes it
    VstTimeInfo timeInfo {};
    long timeRequestCount = 0;
};
