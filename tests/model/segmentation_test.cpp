#include "engine/contour_lookup.h"
#include "model/pitch_detector.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <numbers>
#include <vector>

namespace {

// Row 0 of the analysis written directly, as the detector would leave it.
void setFrame(TakeModel& model, int frame, float pitch, float voicing = 1.0f)
{
    model.framePitch[0][frame] = pitch;
    model.frameVoicing[0][frame] = voicing;
}

void fillFrames(TakeModel& model, int first, int last, float pitch, float voicing = 1.0f)
{
    for (int f = first; f < last; ++f)
        setFrame(model, f, pitch, voicing);
}

void setRecordedFrames(TakeModel& model, int frames)
{
    model.recordedLength.store(frames * kFrameLength);
}

std::unique_ptr<TakeModel> freshModel() { return std::make_unique<TakeModel>(); }

} // namespace

TEST(SegmentationTest, NoVoicedFramesGiveOneSelectedNoteFromFrameZero)
{
    auto model = freshModel();
    setRecordedFrames(*model, 250);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 1);
    EXPECT_EQ(model->targetStart[0], 0.0f);
    EXPECT_EQ(model->sourceStart[0], 0.0f);
    // Closed at the end of the recorded audio, not left one frame long.
    EXPECT_EQ(model->targetEnd[0], 250.0f);
    EXPECT_EQ(model->sourceEnd[0], 250.0f);
    // No usable frame: the source pitch is 0, never a division by zero.
    EXPECT_EQ(model->sourcePitch[0], 0.0f);
    EXPECT_EQ(model->pitch[0], 0.0f);
    EXPECT_EQ(model->fineTune[0], 0.0f);
    ASSERT_EQ(model->selectionCount, 1);
    EXPECT_EQ(model->selection[0], 0);
}

TEST(SegmentationTest, NewNotesStartWithTheSegmentationDefaults)
{
    auto model = freshModel();
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 1);
    EXPECT_EQ(model->sourceRow[0], 0);
    EXPECT_EQ(model->volume[0], 1.0f);
    EXPECT_EQ(model->rawContourDamping[0], 0.0f);
    EXPECT_EQ(model->fineContourDamping[0], 0.0f);
    EXPECT_EQ(model->vibratoAmplitude[0], 0.0f);
    EXPECT_EQ(model->vibratoRate[0], 0.4f);
    EXPECT_EQ(model->vibratoAttack[0], 0.0f);
    EXPECT_EQ(model->blending[0], 0.5f);
    // Nothing recorded: the note still lasts one frame.
    EXPECT_EQ(model->targetEnd[0], 1.0f);
    EXPECT_TRUE(model->noteEditorRedrawRequested.load());
}

TEST(SegmentationTest, VibratoWithinASemitoneStaysOneNote)
{
    auto model = freshModel();
    constexpr int kFrames = 1000;
    constexpr double kPi = 3.14159265358979323846;
    for (int f = 0; f < kFrames; ++f)
        setFrame(*model, f, static_cast<float>(5.0 + 0.45 * std::sin(2.0 * kPi * f / 13.0)));
    setRecordedFrames(*model, kFrames);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 1);
    EXPECT_EQ(model->targetEnd[0], static_cast<float>(kFrames));
    EXPECT_EQ(model->pitch[0], 5.0f);
    EXPECT_NEAR(model->fineTune[0], 0.0f, 0.05f);
}

// A steady pitch at `level` for frames 0..149, then a steady 8.2 up to 300.
void buildStep(TakeModel& model, float level)
{
    fillFrames(model, 0, 150, level);
    fillFrames(model, 150, 300, 8.2f);
    setRecordedFrames(model, 300);
}

TEST(SegmentationTest, StepClosesTheNoteWhereThePitchCrossesBetweenTheLevels)
{
    auto model = freshModel();
    buildStep(*model, 4.3f);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    // The first frame past the middle of 4.3 and 8.2 is the first at 8.2.
    EXPECT_EQ(model->targetEnd[0], 150.0f);
    EXPECT_EQ(model->sourceEnd[0], 150.0f);
    EXPECT_EQ(model->targetStart[1], 150.0f);
    EXPECT_EQ(model->sourceStart[1], 150.0f);
    EXPECT_EQ(model->targetEnd[1], 300.0f);
    EXPECT_EQ(model->sourcePitch[0], 4.3f);
    EXPECT_EQ(model->pitch[0], 4.0f);
    EXPECT_NEAR(model->fineTune[0], 0.3f, 1e-6f);
    EXPECT_EQ(model->sourcePitch[1], 8.2f);
    EXPECT_EQ(model->pitch[1], 8.0f);
    EXPECT_EQ(model->prevNote[1], 0);
    EXPECT_EQ(linkedNext(*model, 0), 1);
    ASSERT_EQ(model->selectionCount, 2);
    EXPECT_EQ(model->selection[0], 0);
    EXPECT_EQ(model->selection[1], 1);
}

TEST(SegmentationTest, MeanOnAHalfSemitoneRoundsUp)
{
    auto model = freshModel();
    buildStep(*model, 4.5f);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->pitch[0], 5.0f);
    EXPECT_EQ(model->fineTune[0], -0.5f);
}

TEST(SegmentationTest, SingleFrameExtremesCutNoNoteOfTheirOwn)
{
    auto model = freshModel();
    fillFrames(*model, 0, 40, 0.0f);
    setFrame(*model, 7, 3.0f);
    setFrame(*model, 20, 0.5f);
    setFrame(*model, 40, 3.0f); // a zig-zag into the step to 2.0
    setFrame(*model, 41, 1.0f);
    setFrame(*model, 42, 3.0f);
    fillFrames(*model, 43, 100, 2.0f);
    setRecordedFrames(*model, 100);
    segmentNotes(*model);

    ASSERT_EQ(model->noteCount, 2);
    EXPECT_GE(model->targetEnd[0], 40.0f);
    EXPECT_LE(model->targetEnd[0], 43.0f);
    // The strays lie off the level the note holds, and its pitch is that level.
    EXPECT_EQ(model->sourcePitch[0], 0.0f);
    EXPECT_EQ(model->sourcePitch[1], 2.0f);
}

TEST(SegmentationTest, FramesAlternatingAtTheStartHoldNoLevelOfTheirOwn)
{
    auto model = freshModel();
    // Extremes three semitones apart on every frame up to 6: none holds a
    // level of its own.
    for (int f = 0; f <= 6; ++f)
        setFrame(*model, f, f % 2 == 0 ? 0.0f : 3.0f);
    fillFrames(*model, 7, 100, 0.0f);
    setRecordedFrames(*model, 100);
    segmentNotes(*model);
    EXPECT_EQ(model->noteCount, 1);
}

// A level of `length` frames a given step above a steady pitch, and back.
struct ShortNoteCase {
    int length;
    float step;
    int notes;
};

class ShortNoteTest : public ::testing::TestWithParam<ShortNoteCase> { };

TEST_P(ShortNoteTest, ANoteThatHoldsItsLevelForSixFramesIsANoteOfItsOwn)
{
    const ShortNoteCase c = GetParam();
    auto model = freshModel();
    fillFrames(*model, 0, 60, 3.0f);
    fillFrames(*model, 60, 60 + c.length, 3.0f + c.step);
    fillFrames(*model, 60 + c.length, 140, 3.0f);
    setRecordedFrames(*model, 140);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, c.notes);
    if (c.notes == 3) {
        EXPECT_EQ(model->targetStart[1], 60.0f);
        EXPECT_EQ(model->targetEnd[1], 60.0f + c.length);
        EXPECT_EQ(model->sourcePitch[1], 3.0f + c.step);
    }
}

// Nine frames are the shortest level the 17-frame level track keeps between
// two neighbours on the same side (0.1 s); a note of 0.15 s has thirteen.
INSTANTIATE_TEST_SUITE_P(Lengths, ShortNoteTest,
    ::testing::Values(ShortNoteCase {13, 0.6f, 3}, ShortNoteCase {9, 1.0f, 3},
        ShortNoteCase {9, -0.5f, 3}, ShortNoteCase {8, 1.0f, 1}, ShortNoteCase {4, 3.0f, 1},
        ShortNoteCase {30, 0.45f, 1}));

// A glide of `glide` frames from level 2 to 2 + step, starting after frame
// 99: the cut lies where the glide begins, at its first frame past 15 % of
// the step, so that a sung note's glide belongs to it as it was sung and
// its transition from the note before plays over the glide, not over what
// it holds.
struct GlideCase {
    float step;
    int glide;
    int cut;
};

class GlideStartTest : public ::testing::TestWithParam<GlideCase> { };

TEST_P(GlideStartTest, TheCutLiesWhereTheGlideLeavesTheOldLevel)
{
    const GlideCase c = GetParam();
    constexpr float kLevel = 2.0f;
    constexpr int kGlideStart = 100;
    constexpr int kFrames = 200;
    auto model = freshModel();
    for (int f = 0; f < kFrames; ++f) {
        const float along
            = std::clamp(static_cast<float>(f - kGlideStart + 1) / (c.glide + 1), 0.0f, 1.0f);
        setFrame(*model, f, kLevel + c.step * along);
    }
    setRecordedFrames(*model, kFrames);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->targetEnd[0], static_cast<float>(c.cut));
    EXPECT_EQ(model->targetStart[1], static_cast<float>(c.cut));
}

// Glides of 25 to 95 ms up and down, into steps of 0.6 to 3 semitones.
INSTANTIATE_TEST_SUITE_P(Glides, GlideStartTest,
    ::testing::Values(GlideCase {1.0f, 6, 101}, GlideCase {-0.6f, 4, 100}, GlideCase {3.0f, 8, 101},
        GlideCase {-2.0f, 2, 100}));

// Steps and vibrato on a frame track: a step of `step` semitones at frame 100
// of a 200-frame track with sine vibrato of `depth` semitones peak at 16
// frames a cycle (5.4 Hz) and a glide of `glide` frames into the new level.
struct LevelCase {
    float step;
    float depth;
    int glide;
    int notes;
};

class LevelChangeTest : public ::testing::TestWithParam<LevelCase> { };

TEST_P(LevelChangeTest, HalfASemitoneHeldIsANewNoteAndVibratoIsNot)
{
    const LevelCase c = GetParam();
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kCycleFrames = 16.0;
    auto model = freshModel();
    for (int f = 0; f < 200; ++f) {
        double along = std::clamp((f - 100.0) / std::max(c.glide, 1), 0.0, 1.0);
        double vibrato = c.depth * std::sin(2.0 * kPi * f / kCycleFrames);
        setFrame(*model, f, static_cast<float>(2.0 + c.step * along + vibrato));
    }
    setRecordedFrames(*model, 200);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, c.notes);
    if (c.notes == 2) {
        // The cut lies in the glide, and each note has its own level.
        EXPECT_GE(model->targetEnd[0], 100.0f - 3.0f);
        EXPECT_LE(model->targetEnd[0], 100.0f + c.glide + 3.0f);
        EXPECT_NEAR(model->sourcePitch[0], 2.0f, 0.05f);
        EXPECT_NEAR(model->sourcePitch[1], 2.0f + c.step, 0.05f);
    }
}

INSTANTIATE_TEST_SUITE_P(Tracks, LevelChangeTest,
    ::testing::Values(LevelCase {0.6f, 0.0f, 5, 2}, LevelCase {-0.6f, 0.4f, 5, 2},
        LevelCase {0.6f, 0.4f, 1, 2}, LevelCase {1.0f, 0.4f, 1, 2}, LevelCase {0.4f, 0.0f, 5, 1},
        LevelCase {0.0f, 0.6f, 1, 1}, LevelCase {0.3f, 0.3f, 5, 1}));

// A note sung into from the note before: the voice holds level A, moves to
// B = A + step along a raised-cosine glide of `glide` frames (or, with glide
// 0, breaks off for a consonant and comes back in with the detector's
// back-filled frames and an attack that reads high), holds B for `held`
// frames with the few cents of wobble a voice has, and fades out, reading
// low while it fades. A quiet voice's frames are voiced little more than
// the back-filled ones.
struct EnteredNoteCase {
    float step;
    int glide;
    int held;
    float voicing;
};

class EnteredNoteTest : public ::testing::TestWithParam<EnteredNoteCase> { };

TEST_P(EnteredNoteTest, SourcePitchIsTheLevelHeldNotTheWayIn)
{
    const EnteredNoteCase c = GetParam();
    constexpr float kLevelA = 3.0f;
    constexpr int kEntry = 40; // first frame after note A
    constexpr int kGap = 6; // unvoiced frames of a consonant
    constexpr int kBackFilled = 3;
    constexpr int kSilentTail = 20;
    constexpr float kAttackOffset = 0.15f;
    constexpr float kAttackVoicing = 0.6f; // of the held frames'
    constexpr float kCloseEnough = 0.015f; // semitones: the wobble moves the median this much
    constexpr float kWobble[]
        = {0.02f, -0.03f, 0.01f, 0.04f, -0.02f, -0.01f, 0.03f, -0.04f, 0.0f, 0.02f, -0.03f};
    constexpr std::size_t kWobbleLength = std::size(kWobble);
    struct Fading {
        float voicing; // of the held frames'
        float offset;
    };
    constexpr Fading kFade[] = {{0.45f, -0.06f}, {0.2f, -0.1f}, {0.05f, -0.15f}};
    const float levelB = kLevelA + c.step;
    auto wobble = [&](int f) { return kWobble[static_cast<std::size_t>(f) % kWobbleLength]; };

    auto model = freshModel();
    for (int f = 0; f < kEntry; ++f)
        setFrame(*model, f, kLevelA + wobble(f), c.voicing);
    int f = kEntry;
    if (c.glide > 0) {
        for (int g = 1; g <= c.glide; ++g, ++f) {
            double along = 0.5 - 0.5 * std::cos(std::numbers::pi * g / (c.glide + 1));
            setFrame(*model, f, static_cast<float>(kLevelA + c.step * along), c.voicing);
        }
    } else {
        fillFrames(*model, f, f + kGap, kUnvoicedPitch, 0.0f);
        f += kGap;
        // The frames held back while the pitch settled, filled in with the
        // pitch of the attack that was accepted.
        fillFrames(*model, f, f + kBackFilled, levelB + kAttackOffset, kBackFillVoicing);
        f += kBackFilled;
        setFrame(*model, f++, levelB + kAttackOffset, kAttackVoicing * c.voicing);
    }
    const int heldFrom = f;
    for (int h = 0; h < c.held; ++h, ++f)
        setFrame(*model, f, levelB + wobble(f), c.voicing);
    for (const Fading& fade : kFade)
        setFrame(*model, f++, levelB + fade.offset, fade.voicing * c.voicing);
    fillFrames(*model, f, f + kSilentTail, kUnvoicedPitch, 0.0f);
    setRecordedFrames(*model, f + kSilentTail);
    segmentNotes(*model);

    ASSERT_EQ(model->noteCount, 2);
    EXPECT_LE(model->targetStart[1], static_cast<float>(heldFrom));
    EXPECT_NEAR(model->sourcePitch[1], levelB, kCloseEnough);
    EXPECT_NEAR(model->sourcePitch[0], kLevelA, kCloseEnough);
}

// Steps up and down after glides of 35 to 80 ms and after a consonant, into
// notes of 0.15 to 0.3 s, from a loud and a quiet voice.
INSTANTIATE_TEST_SUITE_P(Entries, EnteredNoteTest,
    ::testing::Values(EnteredNoteCase {1.0f, 6, 13, 1.0f}, EnteredNoteCase {-1.0f, 4, 13, 1.0f},
        EnteredNoteCase {2.0f, 7, 16, 0.15f}, EnteredNoteCase {-3.0f, 5, 20, 1.0f},
        EnteredNoteCase {0.6f, 3, 13, 1.0f}, EnteredNoteCase {4.0f, 7, 26, 0.15f},
        EnteredNoteCase {2.0f, 0, 13, 1.0f}, EnteredNoteCase {-1.0f, 0, 13, 0.15f}));

// Frames the detector read from four short notes of a take sung at 48 kHz
// (after the host's rate converter): a note a semitone above the one before
// it, sung for 0.15 s after a glide whose first pitch the detector filled in
// three times, a consonant, then notes 0.63 semitone down and 0.61 up, and a
// glide down into a fifth note. The 17-frame level windows of the first
// short note reach into the note before it and into its filled-in glide, and
// read it a fifth of a semitone low, closer than half a semitone to the note
// after it; its own steady frames hold it where it was sung.
TEST(SegmentationTest, AShortNoteIsMeasuredByItsOwnFramesAgainstTheNextLevel)
{
    struct Frame {
        float pitch;
        float voicing;
    };
    constexpr Frame kSung[]
        = {{14.9814f, 1.220f}, {14.9739f, 1.219f}, {14.9756f, 1.235f}, {14.9449f, 1.242f},
            {14.9470f, 1.259f}, {14.9076f, 1.280f}, {14.9214f, 1.246f}, {14.9588f, 1.232f},
            {14.9631f, 1.230f}, {14.9602f, 1.216f}, {14.9658f, 1.228f}, {14.9460f, 1.240f},
            {14.9588f, 1.218f}, {14.9212f, 1.119f}, {0.0000f, 0.000f}, {15.4454f, 0.100f},
            {15.4454f, 0.100f}, {15.4454f, 0.100f}, {15.4454f, 0.413f}, {15.6126f, 0.433f},
            {15.7491f, 0.443f}, {15.8361f, 0.456f}, {15.8451f, 0.458f}, {15.8347f, 0.429f},
            {15.8514f, 0.354f}, {15.8575f, 0.241f}, {15.8095f, 0.122f}, {15.7540f, 0.032f},
            {15.7850f, 0.002f}, {200.0000f, 0.000f}, {200.0000f, 0.000f}, {200.0000f, 0.000f},
            {200.0000f, 0.000f}, {200.0000f, 0.000f}, {15.3463f, 0.100f}, {15.3463f, 0.100f},
            {15.3463f, 0.100f}, {15.3463f, 0.976f}, {15.2864f, 1.284f}, {15.2339f, 1.353f},
            {15.1907f, 1.358f}, {15.1961f, 1.383f}, {15.2039f, 1.391f}, {15.1996f, 1.394f},
            {15.1962f, 1.412f}, {15.2113f, 1.436f}, {15.2502f, 1.415f}, {15.2569f, 1.372f},
            {15.2723f, 1.392f}, {15.2828f, 1.402f}, {15.2692f, 1.377f}, {15.3518f, 1.055f},
            {0.0000f, 0.000f}, {15.8093f, 0.100f}, {15.8093f, 0.100f}, {15.8093f, 0.100f},
            {15.8093f, 0.270f}, {15.8488f, 0.263f}, {15.8718f, 0.268f}, {15.8665f, 0.279f},
            {15.8854f, 0.270f}, {15.9052f, 0.270f}, {15.8691f, 0.275f}, {15.8543f, 0.275f},
            {15.8385f, 0.280f}, {15.8352f, 0.278f}, {15.8449f, 0.271f}, {15.8632f, 0.294f},
            {15.8534f, 0.427f}, {15.6888f, 0.556f}, {15.4440f, 0.489f}, {15.0055f, 0.445f},
            {14.6427f, 0.460f}, {14.4366f, 0.460f}, {14.4067f, 0.466f}, {14.4286f, 0.468f}};
    constexpr int kLeadIn = 30; // frames of the note before, as its sung frames read
    constexpr int kTail = 30; // frames of the last note after its glide
    constexpr float kBefore = 14.96f;
    constexpr float kAfter = 14.43f;
    constexpr float kVoicing = 1.2f;
    // What was sung: each note's centre, and how closely its pitch is measured.
    constexpr float kCentres[] = {14.954f, 15.865f, 15.234f, 15.844f, 14.441f};
    constexpr float kCloseEnough = 0.05f;

    auto model = freshModel();
    fillFrames(*model, 0, kLeadIn, kBefore, kVoicing);
    int f = kLeadIn;
    for (const Frame& frame : kSung)
        setFrame(*model, f++, frame.pitch, frame.voicing);
    fillFrames(*model, f, f + kTail, kAfter, kVoicing);
    setRecordedFrames(*model, f + kTail);
    segmentNotes(*model);

    ASSERT_EQ(model->noteCount, static_cast<int>(std::size(kCentres)));
    for (int n = 0; n < model->noteCount; ++n)
        EXPECT_NEAR(model->sourcePitch[n], kCentres[n], kCloseEnough) << "note " << n;
}

// A note of 0.15 s sung a semitone above the one before it, as the detector
// read it at 48 kHz: the last frames of the glide into it already lie near
// its level, all below it, and its steady frames are only seven. The
// glide's frames stay out of its source pitch. Sung downwards (mirrored
// about the note) the same holds.
class GlideIntoShortNoteTest : public ::testing::TestWithParam<float> { };

TEST_P(GlideIntoShortNoteTest, SourcePitchLeavesOutTheGlidesLastFrames)
{
    struct Frame {
        float pitch;
        float voicing;
    };
    constexpr Frame kSung[] = {{15.1239f, 0.350f}, {15.1502f, 0.337f}, {15.2951f, 0.360f},
        {15.4610f, 0.404f}, {15.6161f, 0.441f}, {15.7663f, 0.468f}, {15.8261f, 0.474f},
        {15.8107f, 0.454f}, {15.8148f, 0.433f}, {15.8619f, 0.402f}, {15.8997f, 0.320f},
        {15.9005f, 0.202f}, {15.8860f, 0.087f}, {15.8785f, 0.018f}};
    constexpr float kCentre = 15.865f; // what was sung
    constexpr float kBefore = 14.865f;
    constexpr float kVoicing = 0.35f;
    constexpr int kLeadIn = 30;
    constexpr int kSilentTail = 20;
    constexpr float kCloseEnough = 0.03f; // semitones
    const float direction = GetParam();
    auto sung = [&](float pitch) { return kCentre + direction * (pitch - kCentre); };

    auto model = freshModel();
    fillFrames(*model, 0, kLeadIn, sung(kBefore), kVoicing);
    int f = kLeadIn;
    for (const Frame& frame : kSung)
        setFrame(*model, f++, sung(frame.pitch), frame.voicing);
    fillFrames(*model, f, f + kSilentTail, kUnvoicedPitch, 0.0f);
    setRecordedFrames(*model, f + kSilentTail);
    segmentNotes(*model);

    ASSERT_EQ(model->noteCount, 2);
    EXPECT_NEAR(model->sourcePitch[0], sung(kBefore), kCloseEnough);
    EXPECT_NEAR(model->sourcePitch[1], kCentre, kCloseEnough);
}

INSTANTIATE_TEST_SUITE_P(Directions, GlideIntoShortNoteTest, ::testing::Values(1.0f, -1.0f));

TEST(SegmentationTest, APauseBetweenTwoLevelsIsCutInItsMiddle)
{
    auto model = freshModel();
    fillFrames(*model, 0, 140, 4.0f);
    fillFrames(*model, 140, 160, kUnvoicedPitch, 0.0f);
    fillFrames(*model, 160, 300, 8.0f);
    // One unvoiced frame inside the second note cuts nothing.
    setFrame(*model, 203, 8.0f, 0.0f);
    setRecordedFrames(*model, 300);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->targetEnd[0], 150.0f);
    EXPECT_EQ(model->sourcePitch[1], 8.0f);
}

TEST(SegmentationTest, FramesThatAreNotNumbersCutNothingAndGiveNoPitch)
{
    auto model = freshModel();
    buildStep(*model, 4.3f);
    for (int f = 60; f < 80; ++f)
        setFrame(*model, f, f % 2 == 0 ? std::nanf("") : INFINITY);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->targetEnd[0], 150.0f);
    EXPECT_EQ(model->sourcePitch[0], 4.3f);
    EXPECT_EQ(model->sourcePitch[1], 8.2f);
}

TEST(SegmentationTest, SelectionHoldsTheFirstFiveHundredNotes)
{
    auto model = freshModel();
    // Segments of 10 frames alternating between 0 and 5 semitones, each with
    // one stray frame: every segment is a note of its own.
    constexpr int kSegments = 700;
    for (int k = 0; k < kSegments; ++k) {
        float base = (k % 2) * 5.0f;
        fillFrames(*model, 10 * k, 10 * k + 10, base);
        setFrame(*model, 10 * k + 5, base + 0.2f);
    }
    setRecordedFrames(*model, 10 * kSegments);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, kSegments);
    ASSERT_EQ(model->selectionCount, kMaxSelection);
    for (int s = 0; s < kMaxSelection; ++s)
        ASSERT_EQ(model->selection[s], s);
    EXPECT_EQ(model->targetStart[1], 10.0f);
    EXPECT_EQ(model->targetStart[kSegments - 1], 10.0f * (kSegments - 1));
}

TEST(SegmentationTest, FullTableExtendsTheLastNoteOverTheRest)
{
    auto model = freshModel();
    // Segments of 9 frames alternating between 0 and 5 up to segment 1,010,
    // then a steady 7 to the end of the analysed range: 1,011 notes would
    // be found, only 1,000 are made.
    constexpr int kSegment = 9;
    constexpr int kAlternating = 1011;
    for (int k = 0; k < kAlternating; ++k)
        fillFrames(*model, kSegment * k, kSegment * k + kSegment, (k % 2) * 5.0f);
    fillFrames(*model, kSegment * kAlternating, kAnalysedFrames, 7.0f);
    setRecordedFrames(*model, kTakeFrames);
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, kMaxNotes);
    const int last = kMaxNotes - 1;
    EXPECT_EQ(model->targetStart[last], static_cast<float>(kSegment * last));
    // The recorded take runs past the analysed range: the note ends at 10,000.
    EXPECT_EQ(model->targetEnd[last], static_cast<float>(kAnalysedFrames));
    // Its source pitch is measured over all it spans: the steady 7 holds
    // most of it.
    EXPECT_EQ(model->sourcePitch[last], 7.0f);
}

TEST(SegmentationTest, LastNoteIsAtLeastOneFrameLong)
{
    auto model = freshModel();
    buildStep(*model, 4.3f);
    setRecordedFrames(*model, 100); // recorded less far than the last note's start
    segmentNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->targetEnd[1], 151.0f);
}

TEST(SegmentationTest, LastNoteEndsOnThePartlyRecordedFrame)
{
    auto model = freshModel();
    model->recordedLength.store(10 * kFrameLength + 1);
    segmentNotes(*model);
    EXPECT_EQ(model->targetEnd[0], 11.0f);
}

struct SourceFramesCase {
    std::vector<float> pitches; // frames 10, 11, ...; 200 is unvoiced
    float sourcePitch;
};

class SourcePitchFramesTest : public ::testing::TestWithParam<SourceFramesCase> { };

TEST_P(SourcePitchFramesTest, TheLevelOfTheUsableFramesFromMinusThirtyToTheTopOfTheVoice)
{
    const SourceFramesCase c = GetParam();
    auto model = freshModel();
    for (std::size_t i = 0; i < c.pitches.size(); ++i) {
        float p = c.pitches[i];
        setFrame(*model, 10 + static_cast<int>(i), p, p == kUnvoicedPitch ? 0.0f : 1.0f);
    }
    setFrame(*model, 10 + static_cast<int>(c.pitches.size()), 9.0f); // beyond sourceEnd
    model->noteCount = 1;
    model->sourceStart[0] = 10.7f; // truncated to frame 10
    model->sourceEnd[0] = 10.0f + static_cast<float>(c.pitches.size());
    model->sourcePitch[0] = kPitchUnset;
    measureSourcePitch(*model, 0);
    EXPECT_EQ(model->sourcePitch[0], c.sourcePitch);
    EXPECT_EQ(model->pitch[0] + model->fineTune[0], c.sourcePitch);
}

INSTANTIATE_TEST_SUITE_P(Frames, SourcePitchFramesTest,
    ::testing::Values(SourceFramesCase {{-30.0f, -30.0f}, -30.0f}, // counted
        SourceFramesCase {{31.4f}, 31.4f}, // a soprano's 790 Hz counts
        SourceFramesCase {{31.5f, kUnvoicedPitch}, 0.0f}, // above the voice, unvoiced
        // The median 6.25 and the frames within 0.75 of it; the octave stray
        // and the end of a glide stay out.
        SourceFramesCase {{6.0f, 6.5f, -6.0f, 6.0f, 6.5f, 7.5f}, 6.25f}));

// However loud or faint the frames are said to be, the measure ends, and
// frames voiced far below the rest are left out once enough are steady.
TEST(MeasureSourcePitchTest, VoicingOfAnyStrengthGivesTheLevelHeld)
{
    auto model = freshModel();
    const float pitches[] = {5.02f, 4.97f, 5.01f, 4.99f, 5.6f, 5.4f};
    const float voicings[] = {INFINITY, 1.0f, INFINITY, 1.0f, 0.2f, 0.1f};
    for (int f = 0; f < 6; ++f)
        setFrame(*model, f, pitches[f], voicings[f]);
    model->noteCount = 1;
    model->sourceStart[0] = 0.0f;
    model->sourceEnd[0] = 6.0f;
    model->sourcePitch[0] = kPitchUnset;
    measureSourcePitch(*model, 0);
    EXPECT_FLOAT_EQ(model->sourcePitch[0], 5.0f);
}

TEST(MeasureSourcePitchTest, AMeasuredPitchIsOnlySplitAgain)
{
    auto model = freshModel();
    fillFrames(*model, 0, 20, 10.0f);
    model->noteCount = 1;
    model->sourceStart[0] = 0.0f;
    model->sourceEnd[0] = 20.0f;
    model->sourcePitch[0] = -2.5f;
    measureSourcePitch(*model, 0);
    EXPECT_EQ(model->sourcePitch[0], -2.5f);
    EXPECT_EQ(model->pitch[0], -2.0f); // halves round up
    EXPECT_EQ(model->fineTune[0], -0.5f);
}

TEST(MeasureSourcePitchTest, SpansOutsideTheAnalysisReadOnlyTheAnalysedFrames)
{
    auto model = freshModel();
    fillFrames(*model, 0, 2, 3.0f);
    fillFrames(*model, kAnalysedFrames, kAnalysedFrames + 20, 20.0f); // never analysed
    model->noteCount = 3;
    model->sourceStart[0] = -50.0f;
    model->sourceEnd[0] = 2.0f;
    model->sourceStart[1] = 9990.0f;
    model->sourceEnd[1] = 1.0e9f;
    model->sourceStart[2] = 30.0f; // reversed
    model->sourceEnd[2] = 20.0f;
    for (int n = 0; n < 3; ++n) {
        model->sourcePitch[n] = kPitchUnset;
        measureSourcePitch(*model, n);
    }
    EXPECT_EQ(model->sourcePitch[0], 3.0f);
    EXPECT_EQ(model->sourcePitch[1], 0.0f);
    EXPECT_EQ(model->sourcePitch[2], 0.0f);
    // A source pitch that is not a number is measured again rather than split.
    model->sourcePitch[0] = std::nanf("");
    measureSourcePitch(*model, 0);
    EXPECT_EQ(model->pitch[0], 3.0f);
}

TEST(SmoothedFramePitchTest, RadiusTenAveragesTwentyOneFrames)
{
    auto model = freshModel();
    for (int f = 90; f <= 110; ++f)
        setFrame(*model, f, 0.5f * (f - 90)); // 0 .. 10, mean 5
    setFrame(*model, 89, 20.0f); // one frame too far
    setFrame(*model, 111, 20.0f);
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 100.0f, 10.0f), 5.0f);
    // The nearest frame is the centre: 99.6 rounds to 100.
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 99.6f, 10.0f), 5.0f);
}

TEST(SmoothedFramePitchTest, LeavesOutImplausibleAndUnvoicedNeighbours)
{
    auto model = freshModel();
    fillFrames(*model, 0, 200, 2.0f);
    setFrame(*model, 101, 24.0f);
    setFrame(*model, 99, -24.0f);
    setFrame(*model, 102, 50.0f, 0.0f);
    setFrame(*model, 98, 8.0f);
    // Centre 2 plus 98 (8) only: (2 + 8) / 2.
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 100.0f, 2.0f), 5.0f);
}

TEST(SmoothedFramePitchTest, TheCentreCountsEvenWhenUnvoiced)
{
    auto model = freshModel();
    fillFrames(*model, 0, 200, 2.0f);
    setFrame(*model, 100, 200.0f, 0.0f);
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 100.0f, 1.0f), (200.0f + 2.0f + 2.0f) / 3.0f);
    EXPECT_EQ(smoothedFramePitch(*model, 0, 100.0f, 0.0f), 200.0f);
}

TEST(SmoothedFramePitchTest, OutsideTheAnalysedRangeReadsZero)
{
    auto model = freshModel();
    fillFrames(*model, 0, kAnalysedFrames + 10, 7.0f);
    // An enormous radius stays bounded by the analysed range.
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 5000.0f, 1.0e30f), 7.0f);
    EXPECT_EQ(smoothedFramePitch(*model, 0, -0.1f, 3.0f), 0.0f);
    EXPECT_EQ(smoothedFramePitch(*model, 0, 10000.0f, 3.0f), 0.0f);
    EXPECT_EQ(smoothedFramePitch(*model, 0, std::nanf(""), 3.0f), 0.0f);
    EXPECT_EQ(smoothedFramePitch(*model, 4, 50.0f, 3.0f), 0.0f);
    EXPECT_EQ(smoothedFramePitch(*model, -1, 50.0f, 3.0f), 0.0f);
    // Frames from 10,000 on are not neighbours; at the low edge only the
    // frames above count.
    setFrame(*model, 9999, 1.0f);
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 9999.0f, 5.0f), (1.0f + 5 * 7.0f) / 6.0f);
    setFrame(*model, 0, 1.0f);
    EXPECT_FLOAT_EQ(smoothedFramePitch(*model, 0, 0.0f, 5.0f), (1.0f + 5 * 7.0f) / 6.0f);
}

TEST(NoteChangedTest, ClearsComputedPointsOfTheNoteAndItsTargetNeighbours)
{
    auto model = freshModel();
    model->noteCount = 3;
    const float starts[] = {0.0f, 10.0f, 20.0f};
    for (int n = 0; n < 3; ++n) {
        model->targetStart[n] = starts[n];
        model->targetEnd[n] = starts[n] + 10.0f;
        model->contour[n][0] = 3.0f; // computed
        model->contour[n][1] = 1002.0f; // drawn
        model->contour[n][2] = 900.0f; // drawn at the threshold
    }
    model->contour[1][399] = -150.0f;
    model->noteEditorRedrawRequested.store(false);
    noteChanged(*model, 1);
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(model->contour[n][0], kPitchUnset) << n;
        EXPECT_EQ(model->contour[n][1], 1002.0f) << n;
        EXPECT_EQ(model->contour[n][2], 900.0f) << n;
    }
    EXPECT_EQ(model->contour[1][399], kPitchUnset);
    EXPECT_EQ(model->prevNote[1], 0);
    EXPECT_EQ(model->nextNote[1], 2);
    // The neighbours' own links are left alone.
    EXPECT_EQ(model->nextNote[0], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[2], kLinkUnresolved);
    EXPECT_TRUE(model->noteEditorRedrawRequested.load());
}

TEST(NoteChangedTest, LinksTheHighestIndexAndLeavesOthersAlone)
{
    auto model = freshModel();
    model->noteCount = 4;
    for (int n = 0; n < 4; ++n) {
        model->targetStart[n] = 0.0f;
        model->targetEnd[n] = 5.0f;
        model->contour[n][0] = 3.0f;
    }
    model->targetStart[3] = 5.0f;
    model->targetEnd[3] = 8.0f;
    model->targetStart[2] = 50.0f; // touches nothing
    model->targetEnd[2] = 60.0f;
    noteChanged(*model, 3);
    EXPECT_EQ(model->prevNote[3], 1); // notes 0 and 1 end at 5: the higher wins
    EXPECT_EQ(model->nextNote[3], kNone);
    EXPECT_EQ(model->contour[1][0], kPitchUnset);
    EXPECT_EQ(model->contour[0][0], 3.0f);
    EXPECT_EQ(model->contour[2][0], 3.0f);
}

TEST(NoteChangedTest, NeighboursLinkedToTheNoteBeforeOrAfterLookTheirLinkUpAgain)
{
    auto model = freshModel();
    model->noteCount = 3;
    for (int n = 0; n < 3; ++n) {
        model->targetStart[n] = model->sourceStart[n] = 10.0f * n;
        model->targetEnd[n] = model->sourceEnd[n] = 10.0f * n + 10.0f;
        model->contour[n][0] = 3.0f;
    }
    // Note 1 was linked to both neighbours, and has moved away.
    model->nextNote[0] = 1;
    model->prevNote[2] = 1;
    model->prevNote[1] = 0;
    model->nextNote[1] = 2;
    model->targetStart[1] = 100.0f;
    model->targetEnd[1] = 110.0f;
    noteChanged(*model, 1);
    EXPECT_EQ(model->nextNote[0], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[2], kLinkUnresolved);
    EXPECT_EQ(model->contour[0][0], kPitchUnset); // its exit towards note 1 is redone
    EXPECT_EQ(model->contour[2][0], kPitchUnset);
    EXPECT_EQ(model->prevNote[1], kNone);

    // Moved back between them, the neighbours' cached "no link" is dropped too.
    model->nextNote[0] = kNone;
    model->prevNote[2] = kNone;
    model->targetStart[1] = 10.0f;
    model->targetEnd[1] = 20.0f;
    noteChanged(*model, 1);
    EXPECT_EQ(model->nextNote[0], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[2], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[1], 0);
    EXPECT_EQ(model->nextNote[1], 2);
}

TEST(NoteChangedTest, IgnoresIndicesOutsideTheTable)
{
    auto model = freshModel();
    model->noteCount = 1;
    model->contour[1][0] = 3.0f;
    noteChanged(*model, 1);
    noteChanged(*model, -1);
    noteChanged(*model, kMaxNotes);
    EXPECT_EQ(model->contour[1][0], 3.0f);
    EXPECT_FALSE(model->noteEditorRedrawRequested.load());
}
