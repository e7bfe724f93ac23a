#include "cli/take_corrector.h"

#include "cli/huge_pages.h"
#include "editing/edit_commands.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"
#include "model/segmentation.h"
#include "persistence/wave_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace {

// The largest transposition, two octaves, plus what a tuned note's fine
// tuning and its sung movement add to its shift.
constexpr float kTransposedShiftLimit = 26.0f;

// The added vibrato's phase advances by half the rate setting per frame.
constexpr double kVibratoRadiansPerFrame = 0.5;

int scaleMode(ScaleChoice scale)
{
    switch (scale) {
    case ScaleChoice::kMajor: return kMajorScale;
    case ScaleChoice::kMinor: return kMinorScale;
    default: return kAllowAllClasses;
    }
}

} // namespace

TakeCorrector::TakeCorrector(int sampleRate)
    : effectHost(static_cast<float>(sampleRate))
    , rate(sampleRate)
{
}

void TakeCorrector::record(const float* samples, long count, const ProgressCallback& progress)
{
    // The part of the take this recording fills, mapped before it is written.
    const auto& take = effectHost.effect().takeModel().recordBuffer;
    const long filled = std::clamp(count, 0L, static_cast<long>(take.size()));
    adviseHugePages(take.begin(), static_cast<std::size_t>(filled) * sizeof(float));
    effectHost.play(samples, count, nullptr, progress);
}

int TakeCorrector::transferNotes()
{
    EditSession& session = effectHost.effect().session();
    session.transfer();
    return session.read([](const TakeModel& model) { return model.noteCount; });
}

std::vector<FoundNote> TakeCorrector::notes()
{
    EditSession& session = effectHost.effect().session();
    session.measureNotes();
    return session.read([](const TakeModel& model) { return foundNotes(model); });
}

std::vector<FoundNote> TakeCorrector::foundNotes(const TakeModel& model)
{
    std::vector<FoundNote> found;
    for (int n = 0; n < model.noteCount; ++n) {
        FoundNote note;
        note.startSample = std::lround(model.targetStart[n] * kFrameLength);
        note.endSample = std::lround(model.targetEnd[n] * kFrameLength);
        note.measuredPitch = model.sourcePitch[n];
        note.targetPitch = model.pitch[n] + model.fineTune[n];
        const int firstFrame = std::max(0, static_cast<int>(model.targetStart[n]));
        const int endFrame = std::min(kAnalysedFrames, static_cast<int>(model.targetEnd[n]));
        note.firstVoicedSample = note.startSample;
        for (int f = firstFrame; f < endFrame; ++f) {
            if (loadRelaxed(model.frameVoicing[0][static_cast<std::size_t>(f)]) <= 0.0f)
                continue;
            if (note.voicedFrames++ == 0)
                note.firstVoicedSample = static_cast<long>(f) * kFrameLength;
        }
        found.push_back(note);
    }
    return found;
}

float TakeCorrector::vibratoRateSetting(double hertz, int sampleRate)
{
    double radiansPerFrame = 2.0 * std::numbers::pi * hertz * kFrameLength / sampleRate;
    return static_cast<float>(radiansPerFrame / kVibratoRadiansPerFrame);
}

double TakeCorrector::fastestVibrato(int sampleRate)
{
    return kVibratoRadiansPerFrame * sampleRate / (2.0 * std::numbers::pi * kFrameLength);
}

void TakeCorrector::selectBatch(int first, int count)
{
    effectHost.effect().session().selectNotes(first, count);
}

std::optional<Failure> TakeCorrector::correct(const CorrectionSettings& settings)
{
    float vibratoRate = 0.0f;
    if (settings.vibrato) {
        vibratoRate = vibratoRateSetting(settings.vibrato->frequency, rate);
        if (vibratoRate > 1.0f) {
            char message[160];
            std::snprintf(message, sizeof message,
                "--vibrato rate must be at most %.2f Hz at %d Hz, not %g Hz", fastestVibrato(rate),
                rate, settings.vibrato->frequency);
            return Failure {message, kExitUsage};
        }
    }
    EditSession& session = effectHost.effect().session();
    setScale(session, scaleMode(settings.scale), settings.keyRoot);
    int noteCount = 0;
    noteCount = session.read([](const TakeModel& model) { return model.noteCount; });
    // The selection holds 500 notes: larger tables are tuned a selection at a time.
    for (int first = 0; first < noteCount; first += kMaxSelection) {
        if (first == 0)
            selectAllNotes(session);
        else
            selectBatch(first, std::min(kMaxSelection, noteCount - first));
        tuneSelectedNotes(session);
        setSelectedNotesAttribute(session, NoteSetting::rawContours, settings.contour);
        setSelectedNotesAttribute(session, NoteSetting::fineContours, settings.detail);
        if (settings.vibrato) {
            setSelectedNotesAttribute(
                session, NoteSetting::vibratoAmplitude, settings.vibrato->amplitude);
            setSelectedNotesAttribute(session, NoteSetting::vibratoRate, vibratoRate);
        }
    }
    if (settings.transpose != 0)
        session.transposeAllNotes(settings.transpose);
    session.setFormantMode(settings.keepFormants ? kFormantsKept : kFormantsMove);
    return std::nullopt;
}

std::vector<uint8_t> TakeCorrector::programChunk()
{
    AEffect* record = effectHost.aeffect();
    void* data = nullptr;
    VstIntPtr size = record->dispatcher(record, effGetChunk, 1, 0, &data, 0.0f);
    if (size <= 0 || !data)
        return {};
    const auto* bytes = static_cast<const uint8_t*>(data);
    return std::vector<uint8_t>(bytes, bytes + size);
}

std::vector<float> TakeCorrector::render(long count, const ProgressCallback& progress)
{
    // Zeros past the take (count may exceed it); the render fills the rest.
    std::vector<float> output = hugeSampleVector(static_cast<std::size_t>(std::max(0L, count)));
    renderInBlocks(
        count,
        [&output](const float* samples, long first, long n) {
            std::copy_n(samples, n, output.data() + first);
        },
        progress);
    return output;
}

void TakeCorrector::renderInBlocks(
    long count, const BlockSink& sink, const ProgressCallback& progress)
{
    // The render button's loop, into memory at the take's own rate instead of
    // a 16-bit file at 44.1 kHz, for exactly the input's length (the button
    // renders up to the last note's last whole frame); past the take the
    // output is silent.
    const long length = std::clamp(count, 0L, static_cast<long>(kTakeLength));
    constexpr uint32_t kBlockLength = 65536; // also how often progress is told
    effectHost.effect().withRenderSource([&](const RenderSource& effectSource) {
        // The transposer moves notes up to two octaves, further than the
        // plug-in's shift limit: its render lets them through.
        RenderSource source = effectSource;
        source.settings.shiftLimit = kTransposedShiftLimit;
        renderBlocks(source, static_cast<uint32_t>(length), kBlockLength,
            [&](const float* samples, uint32_t first, uint32_t n) {
                sink(samples, static_cast<long>(first), static_cast<long>(n));
                if (progress)
                    progress(static_cast<long>(first + n));
            });
    });
    if (progress)
        progress(count);
}
