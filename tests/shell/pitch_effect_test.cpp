#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "shell/pitch_effect.h"
#include "support/effect_internals.h"

namespace {

// A list of MIDI events laid out as a host passes them.
class EventList {
public:
    void add(unsigned char status, unsigned char note, unsigned char velocity)
    {
        VstMidiEvent event{};
        event.type = kVstMidiType;
        event.byteSize = sizeof(VstMidiEvent) - 8;
        event.midiData[0] = static_cast<char>(status);
        event.midiData[1] = static_cast<char>(note);
        event.midiData[2] = static_cast<char>(velocity);
        midi.push_back(event);
    }
    void addNonMidi()
    {
        VstMidiEvent event{};
        event.type = kVstSysExType;
        event.midiData[0] = static_cast<char>(0x90);
        event.midiData[1] = 70;
        event.midiData[2] = 100;
        midi.push_back(event);
    }
    VstEvents* events()
    {
        storage.assign(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*), 0);
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(midi.size());
        VstEvent** slots = list->events;
        for (size_t i = 0; i < midi.size(); ++i)
            slots[i] = reinterpret_cast<VstEvent*>(&midi[i]);
        return list;
    }

private:
    std::vector<VstMidiEvent> midi;
    std::vector<unsigned char> storage;
};

std::unique_ptr<PitchEffect> makeEffect() { return std::make_unique<PitchEffect>(nullptr); }

}  // namespace

TEST(PitchEffectTest, LatestNoteOnTakesSlotZeroAndReleaseClearsIt)
{
    auto effect = makeEffect();
    EventList list;
    list.add(0x90, 60, 100);
    list.add(0x91, 64, 90);  // any channel
    effect->processEvents(list.events());
    EXPECT_EQ(effect->takeModel().heldNotes[0], 64);
    EXPECT_EQ(effect->takeModel().heldNotes[1], kNone);

    EventList release;
    release.add(0x80, 64, 0);
    effect->processEvents(release.events());
    // 60 is still down, but only slot 0 was ever used and it held 64.
    EXPECT_EQ(effect->takeModel().heldNotes[0], kNone);
}

TEST(PitchEffectTest, RepeatedNoteOnUsesNoOtherSlotAndVelocityZeroReleases)
{
    auto effect = makeEffect();
    EventList list;
    list.add(0x90, 60, 100);
    list.add(0x90, 60, 100);
    effect->processEvents(list.events());
    EXPECT_EQ(effect->takeModel().heldNotes[0], 60);
    for (int slot = 1; slot < kHeldKeySlots; ++slot)
        EXPECT_EQ(effect->takeModel().heldNotes[slot], kNone);

    EventList off;
    off.add(0x90, 60, 0);
    effect->processEvents(off.events());
    EXPECT_EQ(effect->takeModel().heldNotes[0], kNone);
}

TEST(PitchEffectTest, IgnoresNonMidiEventsAndOtherMessages)
{
    auto effect = makeEffect();
    EventList list;
    list.addNonMidi();
    list.add(0xB0, 7, 100);  // controller
    list.add(0xE0, 0, 64);   // pitch bend
    EXPECT_EQ(effect->processEvents(list.events()), 1);
    for (int slot : modelOf(*effect).heldNotes)
        EXPECT_EQ(slot, kNone);
}

TEST(PitchEffectTest, DataBytesAreMaskedToSevenBits)
{
    auto effect = makeEffect();
    EventList list;
    list.add(0x90, 0x80 | 60, 0x80 | 10);
    effect->processEvents(list.events());
    EXPECT_EQ(effect->takeModel().heldNotes[0], 60);
}

TEST(PitchEffectTest, CanDoAnswersExactlyTheThreeCapabilities)
{
    auto effect = makeEffect();
    EXPECT_EQ(effect->canDo("receiveVstEvents"), 1);
    EXPECT_EQ(effect->canDo("receiveVstMidiEvent"), 1);
    EXPECT_EQ(effect->canDo("receiveVstTimeInfo"), 1);
    EXPECT_EQ(effect->canDo("sendVstMidiEvent"), -1);
    EXPECT_EQ(effect->canDo("ReceiveVstEvents"), -1);
    EXPECT_EQ(effect->canDo(""), -1);
}

TEST(PitchEffectTest, SampleRateMustBeFiniteAndPositive)
{
    auto effect = makeEffect();
    EXPECT_EQ(effect->getSampleRate(), 44100.0f);
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, -44100.0f);
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    effect->dispatcher(effSetSampleRate, 0, 0, nullptr, std::numeric_limits<float>::infinity());
    EXPECT_EQ(effect->getSampleRate(), 48000.0f);
    // The analysis works at 44,100 Hz whatever the host's rate; the refused
    // values leave the 48 kHz resampling (and its latency) in place.
    EXPECT_EQ(effect->analysisSettings().sampleRate, 44100.0f);
    EXPECT_GT(effect->latency(), 0);
}

TEST(PitchEffectTest, WithoutAnEditorFactoryTheEditorOpcodesAnswerZero)
{
    auto effect = makeEffect();
    ERect* rect = nullptr;
    EXPECT_EQ(effect->getEditor(), nullptr);
    EXPECT_EQ(effect->getAeffect()->flags, effFlagsCanReplacing | effFlagsProgramChunks);
    EXPECT_EQ(effect->dispatcher(effEditGetRect, 0, 0, &rect, 0), 0);
    EXPECT_EQ(rect, nullptr);
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect->dispatcher(effSetEditKnobMode, 0, 1, nullptr, 0), 0);
    EXPECT_EQ(effect->dispatcher(effEditKeyDown, 'a', 0, nullptr, 0), 0);
}

TEST(PitchEffectTest, ParameterCallsGoThroughTheBlock)
{
    auto effect = makeEffect();
    effect->setParameter(3, 0.01f);
    EXPECT_EQ(effect->parameterValues().averagingCount, 1);
    effect->setParameter(-1, 0.5f);  // negative: nothing, the clamp still holds
    EXPECT_EQ(effect->parameterValues().averagingCount, 1);
    effect->setParameter(10, 0.5f);
    EXPECT_NEAR(effect->getParameter(10), 0.5f, 1e-6f);
    EXPECT_FLOAT_EQ(effect->parameterValues().pitchFactor, 1.0f);

    char text[32] = "keep";
    effect->getParameterDisplay(11, text);
    EXPECT_STREQ(text, "keep");
    effect->getParameterDisplay(9, text);
    EXPECT_STREQ(text, "440.0000");
    effect->getParameterDisplay(3, text);
    EXPECT_STREQ(text, "1.000000");
    effect->getParameterDisplay(7, text);
    EXPECT_STREQ(text, "0.009999");
    effect->getParameterDisplay(0, text);
    EXPECT_STREQ(text, "0.140000");
    effect->getParameterDisplay(6, text);
    EXPECT_STREQ(text, "40.00000");
}

TEST(PitchEffectTest, ParametersAndRateSetWhileProcessingStayConsistent)
{
    // A host may automate parameters on one thread while another processes;
    // the thread-sanitizer build checks that the two never race.
    auto effect = makeEffect();
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; i < 2000; ++i) {
            effect->setParameter(i % kParameterCount, static_cast<float>(i % 100) / 100.0f);
            effect->dispatcher(effSetSampleRate, 0, 0, nullptr, i % 2 ? 48000.0f : 44100.0f);
        }
        done = true;
    });
    std::vector<float> left(64, 0.25f), right(64, -0.25f), outLeft(64), outRight(64);
    float* inputs[] = {left.data(), right.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    while (!done) effect->processReplacing(inputs, outputs, 64);
    host.join();
    // Stopped host, Auto mode: the input passes through, as late as the
    // last rate's conversion delay, so play past that delay before looking.
    const int delay = effect->getAeffect()->initialDelay;
    for (int played = 0; played <= delay + 64; played += 64)
        effect->processReplacing(inputs, outputs, 64);
    EXPECT_EQ(outLeft[10], 0.25f);
    EXPECT_EQ(outRight[10], -0.25f);
    EXPECT_GE(effect->parameterValues().averagingCount, 1);
    EXPECT_LE(effect->parameterValues().averagingCount, kMaxAveragingCount);
}
