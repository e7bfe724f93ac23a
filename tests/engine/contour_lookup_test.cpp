#include "engine/contour_lookup.h"
#include "model/segmentation.h"
#include "support/note_table_helpers.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// A flat note: both dampings at 1 remove every movement of the track.
void flatten(TakeModel& model, int note)
{
    model.rawContourDamping[note] = 1.0f;
    model.fineContourDamping[note] = 1.0f;
}

} // namespace

TEST(ContourLookupTest, FirstUseFillsPitchAndSourcePitchWhateverTheOffset)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 4.3f);
    int n = addNote(*model, 10.0f, 50.0f);
    PitchLookup outside = lookupNotePitch(*model, n, -3.0f);
    EXPECT_FALSE(outside.found);
    EXPECT_EQ(outside.pitch, 0.0f);
    EXPECT_EQ(model->sourcePitch[n], 4.3f);
    EXPECT_EQ(model->pitch[n], 4.0f);
    EXPECT_NEAR(model->fineTune[n], 0.3f, 1e-6f);
}

TEST(ContourLookupTest, ASetPitchWithoutSourcePitchMeasuresAroundTheMiddle)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 2.0f);
    setTrack(*model, 30, 31, 8.0f); // the middle frame of the source span
    int n = addNote(*model, 20.0f, 41.0f);
    model->pitch[n] = 7.0f;
    lookupNotePitch(*model, n, 0.0f);
    // Frames 15..45 around frame 30: 30 frames at 2, one at 8.
    EXPECT_FLOAT_EQ(model->sourcePitch[n], (30 * 2.0f + 8.0f) / 31.0f);
    EXPECT_EQ(model->pitch[n], 7.0f);
}

TEST(ContourLookupTest, UndampedNoteFollowsTheRawTrackAndDampedOneIsFlat)
{
    auto model = makeModel();
    for (int f = 0; f < 200; ++f)
        setTrack(*model, f, f + 1, 3.0f + 0.4f * std::sin(0.3f * f));
    int raw = addNote(*model, 20.0f, 180.0f);
    int flat = addNote(*model, 20.0f, 180.0f);
    flatten(*model, flat);
    for (float x : {20.0f, 57.0f, 130.0f}) {
        int frame = 20 + static_cast<int>(x);
        EXPECT_FLOAT_EQ(notePitchAt(*model, raw, x), model->framePitch[0][frame]) << x;
        float flatPitch = notePitchAt(*model, flat, x);
        EXPECT_FLOAT_EQ(flatPitch, model->pitch[flat] + model->fineTune[flat]) << x;
    }
}

TEST(ContourLookupTest, VibratoWithoutAttackHasFullDepthFromTheStart)
{
    auto model = makeModel();
    setTrack(*model, 0, 1000, 5.0f);
    int n = addNote(*model, 0.0f, 900.0f);
    flatten(*model, n);
    model->vibratoAmplitude[n] = 0.5f;
    model->vibratoRate[n] = 0.4f;
    // sin(x * rate / 2): a quarter period at x = pi / 0.2.
    EXPECT_NEAR(notePitchAt(*model, n, 8.0f), 5.0f + 0.5f * std::sin(1.6f), 1e-5f);
    model->vibratoAttack[n] = 2.0f; // 300 frames of fade-in
    noteChanged(*model, n);
    EXPECT_NEAR(notePitchAt(*model, n, 150.0f), 5.0f + 0.25f * std::sin(30.0f), 1e-5f);
    EXPECT_NEAR(notePitchAt(*model, n, 600.0f), 5.0f + 0.5f * std::sin(120.0f), 1e-5f);
}

TEST(ContourLookupTest, DrawnPointFollowsTheNoteWhenRetuned)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 5.25f);
    int n = addNote(*model, 0.0f, 60.0f);
    model->pitch[n] = 5.0f;
    model->fineTune[n] = 0.25f;
    model->sourcePitch[n] = 5.25f;
    model->contour[n][30] = 1003.5f;
    EXPECT_EQ(notePitchAt(*model, n, 30.0f), 8.75f);
    model->pitch[n] = 6.0f;
    noteChanged(*model, n);
    EXPECT_EQ(model->contour[n][30], 1003.5f);
    EXPECT_EQ(notePitchAt(*model, n, 30.0f), 9.75f);
}

TEST(ContourLookupTest, ShortNotesAreNeverMemoised)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 2.0f);
    // Default blending 0.5: 20 x 0.5 + 2 = 12 frames or less is never stored.
    int shortNote = addNote(*model, 0.0f, 12.0f);
    int longNote = addNote(*model, 40.0f, 53.0f);
    notePitchAt(*model, shortNote, 6.0f);
    notePitchAt(*model, longNote, 6.0f);
    EXPECT_EQ(model->contour[shortNote][6], kPitchUnset);
    EXPECT_EQ(model->contour[longNote][6], 2.0f);
}

TEST(ContourLookupTest, MemoIsReadBackAndOffsetsFromFourHundredAreRecomputed)
{
    auto model = makeModel();
    setTrack(*model, 0, 1000, 2.0f);
    int n = addNote(*model, 0.0f, 600.0f);
    EXPECT_EQ(notePitchAt(*model, n, 100.0f), 2.0f);
    EXPECT_EQ(notePitchAt(*model, n, 450.0f), 2.0f);
    // The track changes without noteChanged: only the uncached offset sees it.
    setTrack(*model, 0, 1000, 3.0f);
    EXPECT_EQ(notePitchAt(*model, n, 100.0f), 2.0f);
    EXPECT_EQ(notePitchAt(*model, n, 450.0f), 3.0f);
    // 399.4 rounds to slot 399, the last one stored.
    notePitchAt(*model, n, 399.4f);
    EXPECT_EQ(model->contour[n][399], 3.0f);
    // A memo hit still reports the source frame's voicing.
    float voicing = -1.0f;
    model->frameVoicing[0][100] = 0.7f;
    notePitchAt(*model, n, 100.0f, &voicing);
    EXPECT_EQ(voicing, 0.7f);
}

TEST(ContourLookupTest, EntryTransitionMeetsTheLeftNeighbourHalfway)
{
    auto model = makeModel();
    setTrack(*model, 0, 200, 0.0f);
    setTrack(*model, 100, 200, 4.0f);
    int left = addNote(*model, 50.0f, 100.0f);
    int right = addNote(*model, 100.0f, 150.0f);
    flatten(*model, left);
    flatten(*model, right);
    // Zone 10 frames: the pull of half the jump (4) fades out over x < 5.
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 0.0f), 2.0f);
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 4.0f), 4.0f - 2.0f * (1.0f - 4.0f / 5.0f));
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 5.0f), 4.0f);
}

TEST(ContourLookupTest, TransitionsReachAQuarterIntoAShortNote)
{
    auto model = makeModel();
    setTrack(*model, 0, 200, 0.0f);
    setTrack(*model, 100, 114, 4.0f);
    int left = addNote(*model, 50.0f, 100.0f);
    int shortNote = addNote(*model, 100.0f, 114.0f);
    int right = addNote(*model, 114.0f, 164.0f);
    for (int n : {left, shortNote, right})
        flatten(*model, n);
    noteChanged(*model, left);
    noteChanged(*model, shortNote);
    // 14 frames: each seam still meets halfway, but the pulls fade out over
    // 3.5 frames instead of half a zone (5), so offsets 4 to 10 hold the note.
    const float reach = 14.0f / 4.0f;
    EXPECT_FLOAT_EQ(notePitchAt(*model, shortNote, 0.0f), 2.0f);
    EXPECT_FLOAT_EQ(notePitchAt(*model, shortNote, 3.0f), 4.0f - 2.0f * (1.0f - 3.0f / reach));
    for (float x : {4.0f, 7.0f, 10.0f})
        EXPECT_FLOAT_EQ(notePitchAt(*model, shortNote, x), 4.0f) << x;
    EXPECT_FLOAT_EQ(notePitchAt(*model, shortNote, 13.0f), 4.0f - 2.0f * (1.0f - 1.0f / reach));
    // The long neighbours keep their half zones.
    EXPECT_FLOAT_EQ(notePitchAt(*model, left, 46.0f), 2.0f * (1.0f - 4.0f / 5.0f));
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 4.0f), 2.0f * (1.0f - 4.0f / 5.0f));
}

TEST(ContourLookupTest, ExitTransitionNeedsTheSuccessorInNextNote)
{
    auto model = makeModel();
    setTrack(*model, 0, 200, 0.0f);
    setTrack(*model, 150, 200, 4.0f);
    // Adjacent in the target, not in the source.
    int early = addNote(*model, 0.0f, 20.0f, 0.0f, 20.0f);
    int late = addNote(*model, 20.0f, 40.0f, 150.0f, 170.0f);
    flatten(*model, early);
    flatten(*model, late);
    // Resolved by linkedNext: no source link, so no exit transition.
    EXPECT_FLOAT_EQ(notePitchAt(*model, early, 19.0f), 0.0f);
    EXPECT_EQ(model->nextNote[early], kNone);
    // noteChanged links by target adjacency; the late note's blending (zone 10)
    // then shapes the exit: half the jump of 4, at L - x = 1 of 5.
    noteChanged(*model, early);
    EXPECT_EQ(model->nextNote[early], late);
    EXPECT_FLOAT_EQ(notePitchAt(*model, early, 19.0f), 2.0f * (1.0f - 1.0f / 5.0f));
    // The later note blends its entry towards the earlier one either way.
    EXPECT_FLOAT_EQ(notePitchAt(*model, late, 0.0f), 2.0f);
}

TEST(ContourLookupTest, UnvoicedLeftNeighbourGivesNoEntryTransition)
{
    auto model = makeModel();
    setTrack(*model, 0, 200, 0.0f);
    setTrack(*model, 99, 100, 0.0f, 0.0f); // the left note's last frame
    setTrack(*model, 100, 200, 4.0f);
    int left = addNote(*model, 50.0f, 100.0f);
    int right = addNote(*model, 100.0f, 150.0f);
    flatten(*model, left);
    flatten(*model, right);
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 0.0f), 4.0f);
}

// Two flat notes meeting at frame 100 (pitch 0, then 4), the earlier linked
// to the later: each side is pulled half the jump towards the other unless a
// frame at the seam is unvoiced, on either side.
struct SeamCase {
    int unvoicedFrame; // -1: both voiced
    float entryAtSeam; // the later note at offset 0
    float exitAtSeam; // the earlier note at offset 49 (L - x = 1 of a half zone of 5)
};

class ContourLookupSeamTest : public ::testing::TestWithParam<SeamCase> { };

TEST_P(ContourLookupSeamTest, AnUnvoicedFrameAtTheSeamGivesNoTransitionOnEitherSide)
{
    const SeamCase& c = GetParam();
    auto model = makeModel();
    setTrack(*model, 0, 100, 0.0f);
    setTrack(*model, 100, 200, 4.0f);
    if (c.unvoicedFrame >= 0)
        setTrack(*model, c.unvoicedFrame, c.unvoicedFrame + 1, 0.0f, 0.0f);
    int left = addNote(*model, 50.0f, 100.0f);
    int right = addNote(*model, 100.0f, 150.0f);
    flatten(*model, left);
    flatten(*model, right);
    noteChanged(*model, left);
    EXPECT_FLOAT_EQ(notePitchAt(*model, right, 0.0f), c.entryAtSeam);
    EXPECT_FLOAT_EQ(notePitchAt(*model, left, 49.0f), c.exitAtSeam);
}

INSTANTIATE_TEST_SUITE_P(Seams, ContourLookupSeamTest,
    ::testing::Values(SeamCase {-1, 2.0f, 2.0f * (1.0f - 1.0f / 5.0f)},
        SeamCase {99, 4.0f, 0.0f}, // the earlier note's last frame
        SeamCase {100, 4.0f, 0.0f})); // the later note's first frame

TEST(ContourLookupTest, PitchZeroIsARealPitch)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 0.0f);
    int n = addNote(*model, 0.0f, 50.0f);
    PitchLookup at = lookupNotePitch(*model, n, 25.0f);
    EXPECT_TRUE(at.found);
    EXPECT_EQ(at.pitch, 0.0f);
}

TEST(ContourLookupTest, OutOfRangeRequestsHaveNoPitch)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 3.0f);
    int n = addNote(*model, 10.0f, 30.0f);
    EXPECT_FALSE(lookupNotePitch(*model, n, 20.0f).found); // offset at the length
    EXPECT_TRUE(lookupNotePitch(*model, n, 19.0f).found);
    EXPECT_FALSE(lookupNotePitch(*model, kMaxNotes, 1.0f).found);
    EXPECT_FALSE(lookupNotePitch(*model, -1, 1.0f).found);
    EXPECT_FALSE(lookupNotePitch(*model, n, std::nanf("")).found);
    int reversed = addNote(*model, 40.0f, 60.0f, 30.0f, 20.0f);
    int empty = addNote(*model, 40.0f, 60.0f, 30.0f, 30.0f);
    EXPECT_FALSE(lookupNotePitch(*model, reversed, 5.0f).found);
    EXPECT_FALSE(lookupNotePitch(*model, empty, 5.0f).found);
    int broken = addNote(*model, 40.0f, 60.0f, 30.0f, 50.0f);
    model->pitch[broken] = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(lookupNotePitch(*model, broken, 5.0f).found);
    EXPECT_EQ(model->contour[broken][5], kPitchUnset);
}

TEST(ContourLookupTest, SourcesOutsideTheAnalysisReadAsUnvoiced)
{
    auto model = makeModel();
    setTrack(*model, 0, 100, 3.0f);
    int badRow = addNote(*model, 0.0f, 50.0f);
    model->sourceRow[badRow] = 7;
    model->pitch[badRow] = 5.0f;
    model->sourcePitch[badRow] = 3.0f;
    float voicing = -1.0f;
    EXPECT_EQ(notePitchAt(*model, badRow, 25.0f, &voicing), 5.0f); // the flat target
    EXPECT_EQ(voicing, 0.0f);
    int late = addNote(*model, 0.0f, 50.0f, 20000.0f, 20050.0f);
    model->pitch[late] = 5.0f;
    voicing = -1.0f;
    PitchLookup far = lookupNotePitch(*model, late, 25.0f, &voicing);
    EXPECT_EQ(far.pitch, 5.0f);
    EXPECT_EQ(voicing, 0.0f);
}
