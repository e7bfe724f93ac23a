// The plug-in as a host sees it: loaded with dlopen, created through
// VSTPluginMain, driven through its dispatcher.
#include "test_host.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>

namespace {

class PluginBoundaryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.loaded());
        effect = host.createInstance();
        ASSERT_NE(effect, nullptr);
    }
    void TearDown() override
    {
        if (effect)
            host.closeInstance(effect);
    }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
        void* ptr = nullptr, float opt = 0.0f)
    {
        return TestHost::dispatch(effect, opcode, index, value, ptr, opt);
    }

    TestHost host;
    AEffect* effect = nullptr;
};

} // namespace

TEST(PluginEntryTest, BothEntryPointsAreTheSameFunction)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    ASSERT_NE(host.vstPluginMain, nullptr);
    ASSERT_NE(host.mainEntry, nullptr);
    AEffect* viaMain = host.mainEntry(nullptr); // no host: no instance
    EXPECT_EQ(viaMain, nullptr);
    AEffect* effect = host.mainEntry([](AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*,
                                         float) -> VstIntPtr { return opcode == 1 ? 2400 : 0; });
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST(PluginEntryTest, HostAnsweringVersionZeroGetsNoInstance)
{
    TestHost host;
    host.versionAnswer = 0;
    EXPECT_EQ(host.createInstanceRaw(), nullptr);
    // Only the version query was made: nothing was constructed.
    auto calls = host.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].effect, nullptr);
}

TEST_F(PluginBoundaryTest, RecordDescribesThePlugin)
{
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->flags, 49);
    EXPECT_EQ(effect->uniqueID, CCONST('C', 'n', 't', 'o'));
    EXPECT_EQ(effect->uniqueID, 0x436E746F);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->numPrograms, 0);
    EXPECT_EQ(effect->numParams, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    EXPECT_NE(effect->process, nullptr);
    const char zeros[56] = {};
    EXPECT_EQ(std::memcmp(effect->future, zeros, sizeof zeros), 0);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->realQualities, 0);
}

TEST_F(PluginBoundaryTest, IdentityOpcodes)
{
    char text[256];
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_STREQ(text, "Cantilo VST");
    EXPECT_EQ(dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Helmvard");
    EXPECT_EQ(dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_STREQ(text, "Cantilo VST");
    EXPECT_EQ(dispatch(effGetVendorVersion), 2476);
    EXPECT_EQ(dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(dispatch(effIdentify), CCONST('N', 'v', 'E', 'f'));
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(effCanBeAutomated), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 12345), 12345);
}

TEST_F(PluginBoundaryTest, CanDoAnswersOneOrMinusOne)
{
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstTimeInfo")), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstEvents")), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("receiveVstMidiEvent")), 1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("sendVstMidiEvent")), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("")), -1);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(PluginBoundaryTest, ProgramsFollowTheSignedComparison)
{
    dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(effGetProgram), -1);

    char name[64] = "something";
    EXPECT_EQ(dispatch(effGetProgramName, 0, 0, name), 0);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(dispatch(effSetProgramName, 0, 0, name), 0);
}

TEST_F(PluginBoundaryTest, WantMidiIsSentAtConstructionAndOnEverySwitchOn)
{
    // createInstance: construction, then effMainsChanged 1.
    int wantMidi = 0;
    for (const auto& call : host.calls())
        if (call.opcode == audioMasterWantMidi) {
            EXPECT_EQ(call.value, 1);
            EXPECT_EQ(call.effect, effect);
            ++wantMidi;
        }
    EXPECT_EQ(wantMidi, 2);
    host.clearCalls();
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(host.countCalls(audioMasterWantMidi), 0);
    dispatch(effMainsChanged, 0, 1);
    dispatch(effMainsChanged, 0, 1);
    EXPECT_EQ(host.countCalls(audioMasterWantMidi), 2);
}

TEST_F(PluginBoundaryTest, ParameterStringsAndOutOfRangeIndices)
{
    char text[64];
    std::strcpy(text, "keep");
    dispatch(effGetParamName, 11, 0, text);
    EXPECT_STREQ(text, "keep");
    dispatch(effGetParamDisplay, 11, 0, text);
    EXPECT_STREQ(text, "keep");
    dispatch(effGetParamDisplay, -1, 0, text);
    EXPECT_STREQ(text, "keep");
    dispatch(effGetParamLabel, 11, 0, text);
    EXPECT_STREQ(text, "");
    dispatch(effGetParamLabel, 9, 0, text);
    EXPECT_STREQ(text, "Hz");
    dispatch(effGetParamName, 1, 0, text);
    EXPECT_STREQ(text, "Konturen gl\xE4tten");
    dispatch(effGetParamDisplay, 2, 0, text);
    EXPECT_STREQ(text, "50.00000");

    // The record's parameter callbacks reach the effect.
    effect->setParameter(effect, 3, 0.999f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, 3), 39.0f / 40.0f);
    EXPECT_EQ(effect->getParameter(effect, 12), 0.0f);
}

// Whatever value a host or an automation lane sets, the three strings of
// every parameter come back terminated inside the host's buffer.
TEST_F(PluginBoundaryTest, ParameterStringsAreTerminatedAfterAnyValue)
{
    constexpr int kParameters = 11;
    constexpr std::size_t kHostBuffer = 64;
    const float values[] = {0.5f, 1.0e30f, -1.0e30f, std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(), 0.0f};
    for (float value : values) {
        for (int index = 0; index < kParameters; ++index) {
            effect->setParameter(effect, index, value);
            for (VstInt32 opcode : {effGetParamDisplay, effGetParamName, effGetParamLabel}) {
                char text[kHostBuffer];
                std::memset(text, 'X', sizeof text);
                dispatch(opcode, index, 0, text);
                EXPECT_NE(std::memchr(text, 0, sizeof text), nullptr)
                    << "opcode " << opcode << ", parameter " << index << ", value " << value;
            }
        }
    }
}

TEST_F(PluginBoundaryTest, NullPointersAnswerZeroAndTouchNothing)
{
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effSetChunk, 0, 100, nullptr), 0);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetVendorString, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetProductString, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetParamName, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetParamDisplay, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetParamLabel, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetProgramName, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 0);
}

TEST_F(PluginBoundaryTest, UnknownAndInertOpcodesAnswerZero)
{
    const VstInt32 inert[] = {effString2Parameter, effGetProgramNameIndexed, effGetInputProperties,
        effGetOutputProperties, effOfflineNotify, effOfflinePrepare, effOfflineRun, effProcessVarIo,
        effSetSpeakerArrangement, effSetBypass, effGetParameterProperties,
        effHasMidiProgramsChanged, effGetMidiKeyName, effBeginSetProgram, effEndSetProgram,
        effSetPanLaw, effSetProcessPrecision, effGetMidiProgramName, effGetMidiProgramCategory,
        effShellGetNextPlugin, effStartProcess, effStopProcess, effBeginLoadBank,
        effBeginLoadProgram, effGetNumMidiInputChannels, effGetNumMidiOutputChannels,
        effVendorSpecific, effGetVu, effEditDraw, effEditTop, 80, 200, -5, 100000};
    char buffer[1024] = {};
    for (VstInt32 opcode : inert)
        EXPECT_EQ(dispatch(opcode, 0, 0, buffer), 0) << opcode;
    for (char c : buffer)
        ASSERT_EQ(c, 0);
    EXPECT_EQ(dispatch(effOpen), 0);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 256), 0);
}

TEST_F(PluginBoundaryTest, SpeakerArrangementPointersAreCleared)
{
    int dummy = 0;
    auto* in = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    auto* out = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

TEST_F(PluginBoundaryTest, EditorReportsItsRectangleButDoesNotOpenYet)
{
    ERect* rect = nullptr;
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 520);
    EXPECT_EQ(rect->right, 820);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(dispatch(effEditKeyDown, 'a', 0, nullptr, 0), 0);
}

TEST_F(PluginBoundaryTest, MidiEventsThroughTheDispatcherAnswerOne)
{
    VstMidiEvent noteOn {};
    noteOn.type = kVstMidiType;
    noteOn.byteSize = sizeof(VstMidiEvent) - 8;
    noteOn.midiData[0] = static_cast<char>(0x90);
    noteOn.midiData[1] = 60;
    noteOn.midiData[2] = 100;
    VstEvents events {};
    events.numEvents = 1;
    events.events[0] = reinterpret_cast<VstEvent*>(&noteOn);
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, &events), 1);
}

TEST(PluginLifetimeTest, ManyInstancesOpenAndCloseIndependently)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    AEffect* first = host.createInstance();
    AEffect* second = host.createInstance();
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first->object, second->object);
    TestHost::dispatch(first, effSetProgram, 0, -1);
    EXPECT_EQ(TestHost::dispatch(second, effGetProgram), 0);
    // effClose deletes the effect and answers 1; the sanitizer build checks
    // that nothing of it is left behind.
    EXPECT_EQ(TestHost::dispatch(first, effClose), 1);
    EXPECT_EQ(TestHost::dispatch(second, effClose), 1);
}

namespace {

long virtualKilobytes()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long kilobytes = -1;
    while (std::fgets(line, sizeof line, status))
        if (std::strncmp(line, "VmSize:", 7) == 0)
            kilobytes = std::atol(line + 7);
    std::fclose(status);
    return kilobytes;
}

} // namespace

TEST(PluginLifetimeTest, CloseReturnsTheTakeMemory)
{
    // The take's arrays are mapped pages the leak checker does not see: a
    // missed unmap would grow the address space by about 24 MB per instance.
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer's quarantine grows the address space by itself";
#endif
    TestHost host;
    ASSERT_TRUE(host.loaded());
    host.closeInstance(host.createInstance());
    long before = virtualKilobytes();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 10; ++i)
        host.closeInstance(host.createInstance());
    long after = virtualKilobytes();
    EXPECT_LT(after - before, 24 * 1024);
}
