#include "shell/pitch_effect.h"

#include "engine/processing_cycle.h"
#include "persistence/chunk_format.h"
#include "shell/editor_factory.h"
#include "shell/float_to_string.h"

#include <cstring>
#include <thread>

namespace {

constexpr VstInt32 kInputCount = 2;
constexpr VstInt32 kOutputCount = 2;
constexpr const char* kEffectName = "Cantilo VST";
constexpr const char* kVendorName = "Helmvard";
constexpr const char* kProductName = "Cantilo VST";
constexpr int kDisplayLength = 8;

constexpr int kMidiStatusMask = 0xF0;
constexpr int kMidiNoteOn = 0x90;
constexpr int kMidiNoteOff = 0x80;
constexpr int kMidiDataMask = 0x7F;

bool isParameterIndex(VstInt32 index)
{
    return static_cast<uint32_t>(index) < static_cast<uint32_t>(kParameterCount);
}

} // namespace

PitchEffect::PitchEffect(audioMasterCallback audioMaster)
    : AudioEffectX(audioMaster, 0, 0)
{
    setNumInputs(kInputCount);
    setNumOutputs(kOutputCount);
    createEditor(*this); // registers itself as the base layer's editor
    setUniqueID(kCantiloUniqueId);
    programsAreChunks(true);
    canProcessReplacing(true);
    resume();
    // The detector, the parameter block and the take model start at their
    // initial values as members.
}

PitchEffect::~PitchEffect() { delete converter.exchange(nullptr); }

void PitchEffect::resume()
{
    AudioEffectX::resume();
    replaceConverter();
}

void PitchEffect::setSampleRate(float rate)
{
    AudioEffectX::setSampleRate(rate);
    replaceConverter();
}

void PitchEffect::replaceConverter()
{
    std::unique_ptr<RateConverter> fresh = RateConverter::create(getSampleRate());
    const VstInt32 delay = fresh ? fresh->delay() : 0;
    RateConverter* old = converter.exchange(fresh.release());
    const unsigned epoch = processEpoch.load();
    if (epoch % 2 != 0)
        while (processEpoch.load() == epoch)
            std::this_thread::yield();
    delete old;
    if (cEffect.initialDelay != delay) {
        cEffect.initialDelay = delay;
        callHost(audioMasterIOChanged);
    }
}

void PitchEffect::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames)
{
    processEpoch.fetch_add(1);
    ProcessingContext context {model, pitchDetector, resynthesis, editLock, silencedBlocks,
        analysisSettings(), synthesisSettings(), &automaticCut};
    if (RateConverter* active = converter.load())
        active->process(context, getTimeInfo(0), inputs, outputs, sampleFrames);
    else
        processBlock(context, getTimeInfo(0), inputs, outputs, sampleFrames);
    processEpoch.fetch_add(1);
}

void PitchEffect::setParameter(VstInt32 index, float value)
{
    ParameterBlock values = loadParameters(parameters);
    setNormalisedParameter(values, isParameterIndex(index) ? index : -1, value);
    storeParameters(parameters, values);
}

float PitchEffect::getParameter(VstInt32 index)
{
    return normalisedParameter(loadParameters(parameters), index);
}

void PitchEffect::getParameterLabel(VstInt32 index, char* text)
{
    std::strcpy(text, parameterLabel(index));
}

void PitchEffect::getParameterDisplay(VstInt32 index, char* text)
{
    if (!isParameterIndex(index))
        return;
    // A value the display cannot show (huge or not finite) leaves it empty
    // rather than the host's buffer as it was.
    text[0] = 0;
    float2string(storedParameter(loadParameters(parameters), index), text, kDisplayLength);
}

void PitchEffect::getParameterName(VstInt32 index, char* text)
{
    if (const char* name = parameterName(index))
        std::strcpy(text, name);
}

VstInt32 PitchEffect::processEvents(VstEvents* events)
{
    for (VstInt32 e = 0; e < events->numEvents; ++e) {
        const VstEvent* event = events->events[e];
        if (!event || event->type != kVstMidiType)
            continue;
        const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
        int status = static_cast<unsigned char>(midi->midiData[0]) & kMidiStatusMask;
        if (status != kMidiNoteOn && status != kMidiNoteOff)
            continue;
        int note = midi->midiData[1] & kMidiDataMask;
        int velocity = midi->midiData[2] & kMidiDataMask;
        std::array<int, kHeldKeySlots>& held = model.heldNotes;
        if (status == kMidiNoteOn && velocity > 0) {
            bool alreadyHeld = false;
            for (int slot : held)
                alreadyHeld = alreadyHeld || slot == note;
            if (!alreadyHeld)
                held[0] = note;
        } else {
            for (int& slot : held)
                if (slot == note)
                    slot = kNone;
        }
    }
    return 1;
}

bool PitchEffect::getEffectName(char* name)
{
    std::strcpy(name, kEffectName);
    return true;
}

bool PitchEffect::getVendorString(char* text)
{
    std::strcpy(text, kVendorName);
    return true;
}

bool PitchEffect::getProductString(char* text)
{
    std::strcpy(text, kProductName);
    return true;
}

VstInt32 PitchEffect::canDo(const char* text)
{
    static const char* const kCapabilities[]
        = {"receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo"};
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0)
            return 1;
    return -1;
}

VstInt32 PitchEffect::getChunk(void** data, bool /*isPreset*/)
{
    // The buffer is sized outside the lock so that the audio thread is never
    // kept waiting on an allocation; if the table changed meanwhile, size again.
    ChunkSettings settings;
    settings.formantMode = formantMode() == kFormantsKept ? kChunkFormantsKept : kChunkFormantsMove;
    for (;;) {
        int noteCount;
        {
            EditGuard guard(editLock);
            noteCount = model.noteCount;
        }
        std::size_t size = chunkSize(noteCount, settings);
        auto buffer = std::make_unique_for_overwrite<unsigned char[]>(size + kChunkSpareBytes);
        EditGuard guard(editLock);
        if (model.noteCount != noteCount)
            continue;
        writeChunk(model, settings, buffer.get());
        chunkBuffer = std::move(buffer);
        *data = chunkBuffer.get();
        return static_cast<VstInt32>(size);
    }
}

VstInt32 PitchEffect::setChunk(void* data, VstInt32 byteSize, bool /*isPreset*/)
{
    if (byteSize < 0)
        return 0;
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (!editSession.restoreChunk(bytes, static_cast<std::size_t>(byteSize)))
        return 0;
    return byteSize == 0 ? 1 : byteSize;
}

bool PitchEffect::renderTake(const char* path)
{
    return ::renderTake(
        RenderSource {model, resynthesis, synthesisSettings()}, editLock, getSampleRate(), path);
}
