#include "engine/contour_lookup.h"
#include "engine/resynthesis.h"
#include "model/pitch_units.h"
#include "model/segmentation.h"
#include "scan_reference_helpers.h"
#include "support/note_table_helpers.h"
#include "support/pitch_measure.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <tuple>
#include <vector>

namespace {

constexpr float kRate = 44100.0f;

std::vector<float> play(TakeModel& model, Resynthesis& resynthesis, int first, int last,
    ResynthesisSettings settings = {})
{
    std::vector<float> out;
    for (int p = first; p < last; ++p) {
        if (p % kMidiRetuneInterval == 0)
            resynthesis.midiRetune(model, p);
        out.push_back(resynthesis.outputSampleAt(model, p, settings));
    }
    return out;
}

// A take of one steady tone with the matching pitch track.
void steadyTake(TakeModel& model, int frames, float pitch)
{
    setTrack(model, 0, frames, pitch);
    recordTone(model, 0, frames * kFrameLength, pitch);
}

// A DC take over unvoiced frames: the output is the gain applied to it.
void dcTake(TakeModel& model, int samples)
{
    for (int i = 0; i < samples; ++i) {
        model.recordBuffer[i] = 1.0f;
        model.markRecorded(i);
    }
    setTrack(model, 0, samples / kFrameLength + 2, 200.0f, 0.0f);
}

double outputFrequency(const std::vector<float>& out, std::size_t from, std::size_t count)
{
    return measureFrequency(out.data() + from, count, kRate);
}

} // namespace

TEST(ReadTakeTest, InterpolatesInsideAndStaysInsideTheBuffer)
{
    auto model = makeModel();
    model->recordBuffer[10] = 1.0f;
    model->recordBuffer[11] = 3.0f;
    model->recordBuffer[kTakeLength - 1] = 0.75f;
    EXPECT_EQ(readTake(*model, 10.0), 1.0f);
    EXPECT_EQ(readTake(*model, 10.25), 1.5f);
    EXPECT_EQ(readTake(*model, -0.5), 0.0f);
    EXPECT_EQ(readTake(*model, -2646.0), 0.0f);
    EXPECT_EQ(readTake(*model, kTakeLength - 0.5), 0.75f); // the last sample repeated
    EXPECT_EQ(readTake(*model, kTakeLength), 0.0f);
    EXPECT_EQ(readTake(*model, 1.0e12), 0.0f);
    EXPECT_EQ(readTake(*model, std::nan("")), 0.0f);
}

TEST(ResynthesisTest, UnstretchedNoteAtItsMeasuredPitchPlaysTheTakeBitExact)
{
    auto model = makeModel();
    steadyTake(*model, 60, 9.0f);
    addNote(*model, 0.0f, 60.0f);
    Resynthesis resynthesis;
    ResynthesisSettings settings {kRate, 2.0f}; // has no effect at rate 1
    std::vector<float> out = play(*model, resynthesis, 0, 60 * kFrameLength, settings);
    for (int p = kEdgeRampLength; p < 60 * kFrameLength - kEdgeRampLength; ++p)
        ASSERT_EQ(out[p], model->recordBuffer[p]) << p;
    EXPECT_EQ(model->voiceOffset[0], 0.0f);
    EXPECT_EQ(model->playCursor.load(), 59.0f);
}

TEST(ResynthesisTest, StretchedToTwiceItsLengthKeepsThePitch)
{
    auto model = makeModel();
    steadyTake(*model, 100, 9.0f); // 220 Hz
    int n = addNote(*model, 0.0f, 200.0f, 0.0f, 100.0f);
    Resynthesis resynthesis;
    play(*model, resynthesis, 0, 1);
    // Rate 1.5: the offset grows by 0.5 and jumps back by three periods at once.
    const double period = kRate / frequencyOfPitch(9.0) * 3.0;
    EXPECT_NEAR(model->voiceOffset[0], 0.5 - period, 1e-3);
    EXPECT_EQ(model->voiceFadeCount[0], kCrossfadeLength - 1.0f);
    std::vector<float> out = play(*model, resynthesis, 1, 150 * kFrameLength);
    EXPECT_EQ(model->voiceNote[0], n);
    double f = outputFrequency(out, 40000, 8192);
    EXPECT_NEAR(centsBetween(frequencyOfPitch(9.0), f), 0.0, 5.0);
}

TEST(ResynthesisTest, TwelveSemitonesUpReadsAtRateTwoWithThreePeriodJumps)
{
    auto model = makeModel();
    steadyTake(*model, 100, 0.0f); // 130.8 Hz
    int n = addNote(*model, 0.0f, 100.0f);
    model->pitch[n] = 12.0f;
    model->sourcePitch[n] = 0.0f;
    Resynthesis resynthesis;
    const double period = kRate / frequencyOfPitch(0.0) * 3.0;
    // The offset advances one sample per output sample and wraps at 0.
    std::vector<float> out = play(*model, resynthesis, 0, 1);
    EXPECT_NEAR(model->voiceOffset[0], 1.0 - period, 1e-3);
    int jumps = 0;
    for (int p = 1; p < 90 * kFrameLength; ++p) {
        float before = model->voiceOffset[0];
        out.push_back(resynthesis.outputSampleAt(*model, p, {}));
        if (model->voiceOffset[0] < before) {
            ++jumps;
            ASSERT_EQ(model->voiceFadeCount[0], kCrossfadeLength - 1.0f);
            ASSERT_NEAR(before + 1.0 - model->voiceOffset[0], period, 1e-2);
        }
    }
    EXPECT_NEAR(jumps, 90 * kFrameLength / period, 2.0);
    double f = outputFrequency(out, 20000, 8192);
    EXPECT_NEAR(centsBetween(frequencyOfPitch(12.0), f), 0.0, 5.0);
}

// A shifted voice holds its rate for a few samples; a note the voice has not
// played before (a hand-over, a voice set free and taken again) reads at its
// own rate from its first sample, even within the samples of a held rate.
TEST(ResynthesisTest, ANoteNewToAVoiceReadsAtItsOwnRateAtOnce)
{
    auto model = makeModel();
    steadyTake(*model, 40, 0.0f);
    const int octave = addNote(*model, 0.0f, 40.0f);
    const int third = addNote(*model, 0.0f, 40.0f);
    model->pitch[octave] = 12.0f;
    model->pitch[third] = 4.0f;
    model->sourcePitch[octave] = model->sourcePitch[third] = 0.0f;
    NoteFrameTerms octaveTerms;
    NoteFrameTerms thirdTerms;
    ASSERT_TRUE(noteFrameTerms(*model, octave, 10, {}, octaveTerms));
    ASSERT_TRUE(noteFrameTerms(*model, third, 10, {}, thirdTerms));
    // Far enough behind the stretched position that neither rate jumps here.
    const int first = 10 * kFrameLength + 1;
    auto advanceOf = [&](const NoteFrameTerms& terms, int position) {
        const float before = model->voiceOffset[0];
        voiceSample(*model, 0, terms, position);
        return static_cast<double>(model->voiceOffset[0]) - before;
    };
    model->voiceOffset[0] = -300.0f;
    EXPECT_NEAR(advanceOf(octaveTerms, first), 1.0, 1e-3); // rate 2
    EXPECT_NEAR(advanceOf(thirdTerms, first + 1), std::exp2(4.0 / 12.0) - 1.0, 1e-3);
    resetVoices(*model);
    model->voiceOffset[0] = -300.0f;
    EXPECT_NEAR(advanceOf(thirdTerms, first + 2), std::exp2(4.0 / 12.0) - 1.0, 1e-3);
    EXPECT_NEAR(advanceOf(octaveTerms, first + 3), 1.0, 1e-3);
}

TEST(ResynthesisTest, ShiftOfTwentySemitonesIsNotApplied)
{
    auto model = makeModel();
    steadyTake(*model, 40, 0.0f);
    int limit = addNote(*model, 0.0f, 40.0f);
    model->pitch[limit] = 20.0f;
    model->sourcePitch[limit] = 0.0f;
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 30 * kFrameLength);
    EXPECT_EQ(model->voiceOffset[0], 0.0f);
    EXPECT_EQ(out[5000], model->recordBuffer[5000]);
    // Just inside the limit the shift applies and the offset moves.
    model->pitch[limit] = 19.5f;
    noteChanged(*model, limit);
    resynthesis.invalidate();
    play(*model, resynthesis, 30 * kFrameLength, 30 * kFrameLength + 10);
    EXPECT_NE(model->voiceOffset[0], 0.0f);
}

TEST(ResynthesisTest, UnvoicedSourceFreezesTheOffsetAndStartsNoCrossfade)
{
    auto model = makeModel();
    steadyTake(*model, 40, 0.0f);
    int n = addNote(*model, 0.0f, 40.0f);
    model->pitch[n] = 4.0f;
    model->sourcePitch[n] = 0.0f;
    setTrack(*model, 20, 30, 0.0f, 0.0f);
    Resynthesis resynthesis;
    play(*model, resynthesis, 0, 20 * kFrameLength);
    const float offset = model->voiceOffset[0];
    ASSERT_NE(offset, 0.0f);
    // Let a running crossfade finish, then nothing moves.
    std::vector<float> out = play(*model, resynthesis, 20 * kFrameLength, 30 * kFrameLength);
    EXPECT_EQ(model->voiceOffset[0], offset);
    EXPECT_EQ(model->voiceFadeCount[0], 0.0f);
    const int p = 29 * kFrameLength;
    EXPECT_FLOAT_EQ(out[p - 20 * kFrameLength], readTake(*model, p + static_cast<double>(offset)));
}

TEST(ResynthesisTest, LinkedSuccessorTakesTheVoiceWithoutARampAtTheSeam)
{
    auto model = makeModel();
    steadyTake(*model, 40, 9.0f);
    int a = addNote(*model, 0.0f, 10.0f);
    int b = addNote(*model, 10.0f, 20.0f);
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 20 * kFrameLength - 1);
    EXPECT_EQ(model->voiceNote[0], b);
    EXPECT_EQ(model->voiceNote[1], kNone);
    EXPECT_EQ(linkedPrevious(*model, b), a);
    // Unshifted and unstretched: across the seam the output is the take itself.
    for (int p = 10 * kFrameLength - 900; p < 10 * kFrameLength + 900; ++p)
        ASSERT_EQ(out[p], model->recordBuffer[p]) << p;
}

TEST(ResynthesisTest, UnlinkedNeighboursRampToSilenceAtTheSeam)
{
    auto model = makeModel();
    dcTake(*model, 40 * kFrameLength);
    addNote(*model, 0.0f, 10.0f, 0.0f, 10.0f);
    addNote(*model, 10.0f, 20.0f, 20.0f, 30.0f);
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 20 * kFrameLength);
    const int seam = 10 * kFrameLength;
    EXPECT_FLOAT_EQ(out[seam - 1], 1.0f / kEdgeRampLength);
    EXPECT_FLOAT_EQ(out[seam], 0.0f);
    EXPECT_FLOAT_EQ(out[seam + 500], 0.5f);
}

TEST(ResynthesisTest, VolumeRampsAtTheEdgesOfAnUnlinkedNote)
{
    auto model = makeModel();
    dcTake(*model, 20 * kFrameLength);
    // 3,000 samples: 375 / 64 frames.
    int n = addNote(*model, 0.0f, 3000.0f / kFrameLength);
    model->volume[n] = 0.5f;
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 6 * kFrameLength);
    EXPECT_FLOAT_EQ(out[500], 0.125f); // (0.5 x 500 / 1000) x 0.5
    EXPECT_FLOAT_EQ(out[1000], 0.5f);
    EXPECT_FLOAT_EQ(out[1999], 0.5f);
    EXPECT_FLOAT_EQ(out[2500], 0.25f);
    EXPECT_FLOAT_EQ(out[2999], 0.0005f);
    // The rest of the note's last frame stays silent rather than inverted.
    for (int p = 3000; p < 6 * kFrameLength; ++p)
        ASSERT_EQ(out[p], 0.0f) << p;
}

TEST(ResynthesisTest, BothRampsMultiplyInAShortNote)
{
    auto model = makeModel();
    dcTake(*model, 20 * kFrameLength);
    addNote(*model, 0.0f, 1500.0f / kFrameLength);
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 1500);
    EXPECT_FLOAT_EQ(out[750], 0.75f * 0.75f);
    EXPECT_FLOAT_EQ(out[400], 0.4f); // end ramp only from sample 500 on: b = 1100
    EXPECT_FLOAT_EQ(out[1200], 0.3f);
}

TEST(ResynthesisTest, AFifthActiveNoteGetsNoVoice)
{
    auto model = makeModel();
    dcTake(*model, 20 * kFrameLength);
    for (int i = 0; i < 5; ++i)
        addNote(*model, 0.0f, 10.0f);
    Resynthesis resynthesis;
    std::vector<float> out = play(*model, resynthesis, 0, 3000);
    EXPECT_FLOAT_EQ(out[2000], 4.0f);
    for (int v = 0; v < kVoiceCount; ++v)
        EXPECT_EQ(model->voiceNote[v], v);
}

TEST(ResynthesisTest, VoicesOfNotesThatStoppedAreReleased)
{
    auto model = makeModel();
    steadyTake(*model, 40, 0.0f);
    int n = addNote(*model, 0.0f, 10.0f);
    model->pitch[n] = 3.0f;
    model->sourcePitch[n] = 0.0f;
    Resynthesis resynthesis;
    play(*model, resynthesis, 0, 10 * kFrameLength);
    EXPECT_EQ(model->voiceNote[0], n);
    play(*model, resynthesis, 10 * kFrameLength, 10 * kFrameLength + 1);
    EXPECT_EQ(model->voiceNote[0], kNone);
    EXPECT_EQ(model->voiceOffset[0], 0.0f);
    EXPECT_EQ(model->voiceFadeOffset[0], 0.0f);
    EXPECT_EQ(model->voiceFadeCount[0], 0.0f);
}

TEST(MidiRetuneTest, ASoundingNoteGlidesTowardsTheHeldKey)
{
    auto model = makeModel();
    int n = addNote(*model, 0.0f, 100.0f);
    model->pitch[n] = 30.0f;
    model->sourcePitch[n] = 30.0f;
    model->heldNotes[0] = 84; // pitch 36 with the key offset of 48
    Resynthesis resynthesis;
    resynthesis.midiRetune(*model, 10 * kFrameLength);
    EXPECT_EQ(model->pitch[n], 31.0f);
    EXPECT_NEAR(model->fineTune[n], 0.2f, 1e-5f);
    for (int i = 0; i < 4; ++i)
        resynthesis.midiRetune(*model, 10 * kFrameLength);
    EXPECT_EQ(model->pitch[n], 36.0f);
    EXPECT_NEAR(model->fineTune[n], 0.0f, 1e-4f);
}

TEST(MidiRetuneTest, ANoteAboutToStartJumpsToTheKey)
{
    auto model = makeModel();
    int soon = addNote(*model, 15.0f, 40.0f);
    int later = addNote(*model, 20.0f, 40.0f); // ten frames ahead: untouched
    int gone = addNote(*model, 0.0f, 10.0f); // ended at the play frame
    for (int n : {soon, later, gone}) {
        model->pitch[n] = 30.0f;
        model->sourcePitch[n] = 30.0f;
    }
    model->heldNotes[0] = 84;
    model->contour[soon][0] = 30.0f;
    Resynthesis resynthesis;
    resynthesis.midiRetune(*model, 10 * kFrameLength);
    EXPECT_EQ(model->pitch[soon], 36.0f);
    EXPECT_EQ(model->fineTune[soon], 0.0f);
    EXPECT_EQ(model->contour[soon][0], kPitchUnset); // noteChanged ran
    EXPECT_EQ(model->pitch[later], 30.0f);
    EXPECT_EQ(model->pitch[gone], 30.0f);
}

TEST(MidiRetuneTest, UnmeasuredNotesAreMeasuredBeforeTheyMove)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 2.0f);
    int n = addNote(*model, 0.0f, 100.0f);
    model->heldNotes[0] = 84;
    Resynthesis resynthesis;
    resynthesis.midiRetune(*model, 20 * kFrameLength);
    EXPECT_EQ(model->sourcePitch[n], 2.0f);
    EXPECT_FLOAT_EQ(model->pitch[n] + model->fineTune[n], 3.2f);
    // Without a held key nothing moves.
    model->heldNotes[0] = kNone;
    resynthesis.midiRetune(*model, 20 * kFrameLength);
    EXPECT_FLOAT_EQ(model->pitch[n] + model->fineTune[n], 3.2f);
}

// A take cut by segmentation, then edited the ways the editor edits it.
void editedTake(TakeModel& model, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    int frame = 0;
    while (frame < 600) {
        int length = 20 + static_cast<int>(unit(random) * 40);
        float pitch = std::floor(unit(random) * 14.0f) - 2.0f;
        for (int f = frame; f < frame + length; ++f)
            setTrack(model, f, f + 1, pitch + 0.3f * std::sin(0.7f * f));
        recordTone(model, frame * kFrameLength, (frame + length) * kFrameLength, pitch);
        frame += length;
    }
    segmentNotes(model);
    for (int n = 0; n < model.noteCount; ++n) {
        lookupNotePitch(model, n, 0.0f);
        float roll = unit(random);
        if (roll < 0.2f) {
            model.pitch[n] += std::floor(unit(random) * 9.0f) - 4.0f;
        } else if (roll < 0.35f) {
            float length = model.targetEnd[n] - model.targetStart[n];
            model.targetEnd[n] = model.targetStart[n] + length * (0.5f + unit(random));
        } else if (roll < 0.5f) {
            model.vibratoAmplitude[n] = unit(random);
            model.fineContourDamping[n] = unit(random);
        } else if (roll < 0.6f) {
            model.volume[n] = 2.0f * unit(random);
        }
        noteChanged(model, n);
    }
    // Stacked copies so that more than four notes sound at once somewhere.
    for (int copy = 0; copy < 5 && model.noteCount < kMaxNotes; ++copy) {
        int m = addNote(model, 200.0f, 240.0f, 100.0f + copy, 130.0f + copy);
        model.pitch[m] = static_cast<float>(copy);
        noteChanged(model, m);
    }
}

TEST(ResynthesisTest, PerFramePlanIsBitIdenticalToTheFullScan)
{
    auto planned = makeModel();
    auto scanned = makeModel();
    editedTake(*planned, 7);
    editedTake(*scanned, 7);
    ASSERT_GT(planned->noteCount, 10);
    planned->heldNotes[0] = scanned->heldNotes[0] = 60;
    Resynthesis resynthesis;
    Resynthesis retuneOnly;
    ResynthesisSettings settings {48000.0f, 1.3f};
    const int end = 620 * kFrameLength;
    int sounding = 0;
    for (int p = 0; p < end; ++p) {
        // A new key pulls the sounding notes in steps of 1.2 semitones inside
        // frames; later the key is released.
        if (p == 150 * kFrameLength)
            planned->heldNotes[0] = scanned->heldNotes[0] = 50;
        if (p == 300 * kFrameLength)
            planned->heldNotes[0] = scanned->heldNotes[0] = kNone;
        if (p % kMidiRetuneInterval == 0) {
            resynthesis.midiRetune(*planned, p);
            retuneOnly.midiRetune(*scanned, p);
        }
        float a = resynthesis.outputSampleAt(*planned, p, settings);
        float b = referenceOutputSampleAt(*scanned, p, settings);
        ASSERT_EQ(std::memcmp(&a, &b, sizeof a), 0) << "sample " << p << ": " << a << " vs " << b;
        ASSERT_TRUE(std::isfinite(a));
        sounding += a != 0.0f;
    }
    EXPECT_GT(sounding, end / 2);
}

TEST(ResynthesisTest, AnyNoteTableGivesFiniteOutput)
{
    auto model = makeModel();
    steadyTake(*model, 200, 5.0f);
    std::mt19937 random(11);
    const float specials[] = {std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(), -1.0e30f,
        1.0e30f, -5.0f, 0.0f, 12000.0f, kPitchUnset};
    std::uniform_int_distribution<int> pick(0, 8);
    std::uniform_real_distribution<float> plain(-20.0f, 220.0f);
    auto value = [&] { return random() % 3 == 0 ? specials[pick(random)] : plain(random); };
    Resynthesis resynthesis;
    for (int round = 0; round < 20; ++round) {
        model->noteCount = 40;
        for (int n = 0; n < model->noteCount; ++n) {
            NoteArray* fields[]
                = {&model->targetStart, &model->targetEnd, &model->sourceStart, &model->sourceEnd,
                    &model->pitch, &model->fineTune, &model->volume, &model->sourcePitch,
                    &model->rawContourDamping, &model->fineContourDamping, &model->vibratoAmplitude,
                    &model->vibratoRate, &model->vibratoAttack, &model->blending};
            for (NoteArray* field : fields)
                (*field)[n] = value();
            model->sourceRow[n] = static_cast<int>(random() % 9) - 2;
            model->prevNote[n] = kLinkUnresolved;
            model->nextNote[n] = kLinkUnresolved;
            for (int j = 0; j < kContourLength; j += 37)
                model->contour[n][j] = value();
        }
        model->heldNotes[0] = round % 2 ? 60 : kNone;
        resynthesis.invalidate();
        for (int p = 0; p < 100 * kFrameLength; p += 97) {
            if (p % 3 == 0)
                resynthesis.midiRetune(*model, p);
            float s = resynthesis.outputSampleAt(*model, p, {kRate, value()});
            ASSERT_TRUE(std::isfinite(s)) << round << " " << p;
        }
    }
}

TEST(ResynthesisTest, RenderTakesTheVoicesAndPostsItsFinalPosition)
{
    auto model = makeModel();
    steadyTake(*model, 40, 0.0f);
    int n = addNote(*model, 0.0f, 40.0f);
    model->pitch[n] = 5.0f;
    model->sourcePitch[n] = 0.0f;
    Resynthesis resynthesis;
    play(*model, resynthesis, 0, 3000);
    ASSERT_EQ(model->voiceNote[0], n);
    resynthesis.beginRender(*model);
    EXPECT_EQ(model->voiceNote[0], kNone);
    EXPECT_EQ(model->voiceOffset[0], 0.0f);
    play(*model, resynthesis, 0, 2000);
    resynthesis.endRender(*model, 2000);
    EXPECT_EQ(model->voiceNote[0], kNone);
    EXPECT_EQ(model->requestedTakePosition.load(), 2000);
}

// Rendering a span at once against outputSampleAt sample by sample, on an
// edited take with more than four notes at once, linked notes, retunes inside
// frames and both ways of sounding a note; spans of one sample, across frame
// edges, of a whole frame and of the longest a playing block renders.
class SpanRenderTest : public ::testing::TestWithParam<std::tuple<bool, int>> { };

TEST_P(SpanRenderTest, IsBitIdenticalToSampleBySample)
{
    const auto [keepFormants, spanLength] = GetParam();
    auto spans = makeModel();
    auto samples = makeModel();
    editedTake(*spans, 5);
    editedTake(*samples, 5);
    spans->heldNotes[0] = samples->heldNotes[0] = 57;
    Resynthesis bySpan;
    Resynthesis bySample;
    const ResynthesisSettings settings {44100.0f, 1.0f, keepFormants};
    const int end = 620 * kFrameLength;
    std::vector<float> out(static_cast<std::size_t>(kMidiRetuneInterval));
    int sounding = 0;
    for (int p = 0; p < end;) {
        if (p == 250 * kFrameLength)
            spans->heldNotes[0] = samples->heldNotes[0] = kNone;
        if (p % kMidiRetuneInterval == 0) {
            bySpan.midiRetune(*spans, p);
            bySample.midiRetune(*samples, p);
        }
        const int length = std::min(spanLength, kMidiRetuneInterval - p % kMidiRetuneInterval);
        bySpan.render(*spans, p, length, settings, out.data());
        for (int i = 0; i < length; ++i) {
            const float expected = bySample.outputSampleAt(*samples, p + i, settings);
            const float got = out[static_cast<std::size_t>(i)];
            ASSERT_EQ(std::memcmp(&got, &expected, sizeof got), 0)
                << "sample " << p + i << ": " << got << " vs " << expected;
            sounding += got != 0.0f;
        }
        ASSERT_EQ(spans->playCursor.load(), samples->playCursor.load());
        p += length;
    }
    EXPECT_GT(sounding, end / 2);
    for (int v = 0; v < kVoiceCount; ++v) {
        EXPECT_EQ(spans->voiceNote[v], samples->voiceNote[v]);
        EXPECT_EQ(spans->voiceOffset[v], samples->voiceOffset[v]);
    }
}

INSTANTIATE_TEST_SUITE_P(Spans, SpanRenderTest,
    ::testing::Combine(::testing::Bool(), ::testing::Values(1, 97, kFrameLength, 1000)));
