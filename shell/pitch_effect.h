// The plug-in's effect: one per instance, owner of the take model, the
// parameter block, the pitch detector, the chunk buffer and the editor.
#pragma once

#include "engine/edit_lock.h"
#include "engine/edit_session.h"
#include "engine/processing_cycle.h"
#include "engine/rate_converter.h"
#include "engine/resynthesis.h"
#include "model/pitch_detector.h"
#include "model/take_model.h"
#include "persistence/wave_render.h"
#include "shell/audio_effect_x.h"
#include "shell/parameter_block.h"

#include <atomic>
#include <memory>

constexpr VstInt32 kCantiloUniqueId = CCONST('C', 'n', 't', 'o');
constexpr VstInt32 kCantiloVendorVersion = 2476;

class PitchEffect : public AudioEffectX {
public:
    explicit PitchEffect(audioMasterCallback audioMaster);
    ~PitchEffect() override;

    void resume() override;
    void setSampleRate(float rate) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterLabel(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;

    VstInt32 processEvents(VstEvents* events) override;

    // The edit as the host stores it in its project; the buffer handed out
    // stays valid until the next getChunk or the effect's destruction.
    VstInt32 getChunk(void** data, bool isPreset) override;
    VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset) override;

    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override { return kCantiloVendorVersion; }
    VstInt32 canDo(const char* text) override;
    VstInt32 getPlugCategory() override { return kPlugCategEffect; }

    // Whether playback and the render keep the formants (kFormantsKept) or
    // let them move with the pitch (kFormantsMove, the start); stored in the
    // chunk. Set on the user-interface thread, read by each block; this
    // setter leaves the undo history alone (the editor's menu entry is a step).
    int formantMode() const { return editSession.formantMode(); }
    void setFormantMode(int mode) { editSession.applyFormantMode(mode); }

    ResynthesisSettings synthesisSettings() const
    {
        return {static_cast<float>(kTimeBaseRate), loadParameters(parameters).pitchFactor,
            formantMode() == kFormantsKept};
    }

    AnalysisSettings analysisSettings() const
    {
        ParameterBlock values = loadParameters(parameters);
        return {values.averagingCount, values.toneThreshold, static_cast<float>(kTimeBaseRate)};
    }

    // The round trip the host compensates, in host samples (0 at 44,100 Hz).
    VstInt32 latency() const { return cEffect.initialDelay; }

    // Every change of the edit, with its undo history.
    EditSession& session() { return editSession; }
    const EditSession& session() const { return editSession; }

    // The take model to read: its atomics (transport, cursors, redraw
    // requests, the recorded rows) at any time, the edit under
    // session().read(...).
    const TakeModel& takeModel() const { return model; }

    // The parameters as the host last set them.
    ParameterBlock parameterValues() const { return loadParameters(parameters); }

    // Playing blocks that were silent because the edit lock was held.
    int silencedBlockCount() const { return silencedBlocks.load(std::memory_order_relaxed); }

    // Writes the edited take to a WAV file at the host's rate, holding the
    // edit lock throughout (playback is silent meanwhile).
    bool renderTake(const char* path);

    // Runs render(const RenderSource&) with the edit lock held, for a render
    // into memory; returns what render returns.
    template <typename Render> auto withRenderSource(Render render)
    {
        EditGuard guard(editLock);
        return render(RenderSource {model, resynthesis, synthesisSettings()});
    }

private:
    // Tests and benchmarks set up the state the audio thread owns through it.
    friend struct PitchEffectInternals;

    // A converter for the rate in force replaces the one the audio thread
    // may be using; the old one is deleted once no block is inside it.
    void replaceConverter();

    TakeModel model;
    ParameterBlock parameters;
    PitchDetector pitchDetector;
    EditLock editLock;
    // The voices and the per-frame plan of playback, guarded by editLock.
    Resynthesis resynthesis;
    std::atomic<int> silencedBlocks {0};
    // The table playback cut by itself, audio thread only.
    AutomaticCut automaticCut;
    EditSession editSession {model, editLock, automaticCut};

    std::unique_ptr<unsigned char[]> chunkBuffer;
    std::atomic<RateConverter*> converter {nullptr};
    // Odd while processReplacing runs.
    std::atomic<unsigned> processEpoch {0};
};
