// Tables larger than the selection: every note is tuned and set, a
// selection of at most 500 notes at a time.
#include "cli/sung_melody.h"
#include "cli/take_corrector.h"
#include "support/effect_internals.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// Short notes alternating a minor third apart, each sung 30 cents sharp:
// `count` notes that segmentation cuts one by one.
std::vector<float> manyShortNotes(int count, int rate)
{
    std::vector<SungNote> notes;
    for (int n = 0; n < count; ++n)
        notes.push_back({n % 2 == 0 ? 0 : 3, 30.0f, 0.15});
    VoiceSettings voice;
    voice.vibratoCents = 0.0;
    voice.breathSeconds = 0.0;
    return synthesiseMelody(notes, rate, voice);
}

} // namespace

TEST(TakeBatchesEndToEndTest, TablesOverFiveHundredNotesAreTunedAndSetInBatches)
{
    constexpr int kRate = 44100;
    const std::vector<float> sung = manyShortNotes(640, kRate);
    TakeCorrector take(kRate);
    take.record(sung.data(), static_cast<long>(sung.size()));
    const int noteCount = take.transferNotes();
    ASSERT_GT(noteCount, kMaxSelection + 50);
    CorrectionSettings settings;
    settings.contour = 0.25f;
    settings.detail = 0.5f;
    settings.vibrato = VibratoSetting {0.4f, 3.0f};
    ASSERT_FALSE(take.correct(settings));

    const TakeModel& model = modelOf(take.host().effect());
    const float rateSetting = TakeCorrector::vibratoRateSetting(3.0, kRate);
    for (int n = 0; n < noteCount; ++n) {
        ASSERT_EQ(model.fineTune[n], 0.0f) << "note " << n;
        ASSERT_EQ(model.pitch[n], std::round(model.pitch[n])) << "note " << n;
        ASSERT_FLOAT_EQ(model.rawContourDamping[n], 0.75f) << "note " << n;
        ASSERT_FLOAT_EQ(model.fineContourDamping[n], 0.5f) << "note " << n;
        ASSERT_FLOAT_EQ(model.vibratoAmplitude[n], 0.4f) << "note " << n;
        ASSERT_FLOAT_EQ(model.vibratoRate[n], rateSetting) << "note " << n;
    }
    // Notes past the first selection were tuned from their own sung pitch.
    for (const FoundNote& note : take.notes()) {
        if (note.voicedFrames > 3) {
            EXPECT_EQ(note.targetPitch, std::round(note.measuredPitch));
        }
    }
}
