// The analysis and the note cutting on sung voices: five voices from bass to
// soprano, every vowel, vibrato, glides, consonants, short notes and steps
// sung less than a semitone apart, at two host rates.
#include "model/pitch_detector.h"
#include "model/segmentation.h"
#include "support/singing_voice.h"
#include "support/sung_take_score.h"
#include "support/take_recorder.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr double kFarCents = 50.0;
constexpr double kCloseCents = 10.0;

struct Analysed {
    SungTake take;
    std::unique_ptr<TakeModel> model = std::make_unique<TakeModel>();
};

Analysed analyse(const TestVoice& voice)
{
    Analysed result;
    result.take = singMelody(voice.melody, voice.settings);
    auto detector = std::make_unique<PitchDetector>();
    AnalysisSettings settings;
    settings.sampleRate = static_cast<float>(voice.settings.sampleRate);
    recordSignal(*result.model, *detector, settings, result.take.samples);
    segmentNotes(*result.model);
    return result;
}

std::vector<FoundNote> foundNotes(TakeModel& model)
{
    std::vector<FoundNote> notes;
    for (int n = 0; n < model.noteCount; ++n) {
        measureSourcePitch(model, n);
        notes.push_back({model.targetStart[n], model.targetEnd[n], model.sourcePitch[n]});
    }
    return notes;
}

// Sung centre against the note's source pitch, in cents: the frames that
// hold a note's level give its pitch.
constexpr double kMaxSourceCents = 15.0;
constexpr double kMaxFarShare = 0.005;
constexpr int kNotesPerSplit = 50; // at most one split in so many notes

class SungVoiceAccuracyTest : public ::testing::TestWithParam<double> { };

} // namespace

TEST_P(SungVoiceAccuracyTest, AcceptedFramesStayOnTheSungPitchAndEverySungNoteIsOneNote)
{
    for (const TestVoice& voice : testVoices(GetParam())) {
        SCOPED_TRACE(voice.name);
        Analysed a = analyse(voice);
        const int frames = static_cast<int>(a.take.samples.size() / kFrameLength);
        const FrameScore f = scoreFrames(a.take, a.model->framePitch[0].data(),
            a.model->frameVoicing[0].data(), frames, kFarCents, kCloseCents);
        ASSERT_GT(f.accepted, frames / 2);
        EXPECT_LT(f.farOff, kMaxFarShare * f.accepted) << f.farOff << " of " << f.accepted;

        const std::vector<FoundNote> found = foundNotes(*a.model);
        const NoteScore n = scoreNotes(a.take, found);
        const int sung = static_cast<int>(a.take.notes.size());
        EXPECT_EQ(n.merged, 0) << n.detail;
        EXPECT_LE(n.split, sung / kNotesPerSplit) << n.detail;
        EXPECT_EQ(n.wrongSemitone, 0) << n.detail;
        // Each sung note's middle lies in a note whose source pitch is the
        // sung one.
        for (const SungNoteTruth& note : a.take.notes) {
            const double middle = 0.5 * (note.steadyStart + note.end) / kFrameLength;
            for (const FoundNote& m : found) {
                if (m.start <= middle && middle < m.end) {
                    EXPECT_LE(100.0 * std::fabs(m.pitch - note.centre), kMaxSourceCents)
                        << "sung " << note.centre;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HostRates, SungVoiceAccuracyTest, ::testing::Values(44100.0, 48000.0));
