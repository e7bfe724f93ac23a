#include "cli/effect_host.h"

#include <algorithm>
#include <array>

namespace {

constexpr double kTempo = 120.0;
constexpr int kBeatsPerBar = 4;

} // namespace

EffectHost::EffectHost(float sampleRate)
    : rate(sampleRate)
{
    timeInfo.sampleRate = sampleRate;
    timeInfo.tempo = kTempo;
    timeInfo.timeSigNumerator = kBeatsPerBar;
    timeInfo.timeSigDenominator = kBeatsPerBar;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid | kVstPpqPosValid;

    // The effect learns which host it belongs to only after construction; the
    // calls it makes while being constructed (version, MIDI request) are
    // answered without it.
    pitchEffect = new PitchEffect(callback);
    AEffect* record = pitchEffect->getAeffect();
    record->resvd1 = reinterpret_cast<VstIntPtr>(this);
    record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, sampleRate);
    record->dispatcher(record, effSetBlockSize, 0, kBlockLength, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
}

EffectHost::~EffectHost()
{
    AEffect* record = pitchEffect->getAeffect();
    record->dispatcher(record, effMainsChanged, 0, 0, nullptr, 0.0f);
    record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f); // deletes the effect
}

VstIntPtr EffectHost::callback(AEffect* effect, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion)
        return kHostVersion;
    auto* host = effect ? reinterpret_cast<EffectHost*>(effect->resvd1) : nullptr;
    return host ? host->answer(opcode) : 0;
}

VstIntPtr EffectHost::answer(VstInt32 opcode)
{
    switch (opcode) {
    case audioMasterGetTime: ++timeRequestCount; return reinterpret_cast<VstIntPtr>(&timeInfo);
    case audioMasterGetSampleRate: return static_cast<VstIntPtr>(rate);
    case audioMasterGetBlockSize: return kBlockLength;
    case audioMasterWantMidi: return 1;
    default: return 0;
    }
}

void EffectHost::play(
    const float* input, long count, float* output, const std::function<void(long)>& progress)
{
    std::array<float, kBlockLength> in {};
    std::array<float, kBlockLength> left {};
    std::array<float, kBlockLength> right {};
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {left.data(), right.data()};
    AEffect* record = aeffect();
    for (long done = 0; done < count;) {
        int length = static_cast<int>(std::min<long>(kBlockLength, count - done));
        std::copy_n(input + done, length, in.data());
        const double beatsPerSample = kTempo / 60.0 / rate;
        timeInfo.ppqPos = timeInfo.samplePos * beatsPerSample;
        record->processReplacing(record, inputs, outputs, length);
        if (output)
            std::copy_n(left.data(), length, output + done);
        timeInfo.samplePos += length;
        done += length;
        if (progress)
            progress(done);
    }
}
