#include "editing/editing_helpers.h"
#include "editing/scale_tuning.h"

#include <array>
#include <gtest/gtest.h>
#include <set>

namespace {

using Mask = std::array<int, kPitchClasses>;

// A mask allowing only the classes given.
Mask allowing(std::initializer_list<int> classes)
{
    Mask mask;
    mask.fill(1);
    for (int pc : classes)
        mask[pc] = 0;
    return mask;
}

std::set<int> allowedClasses(const TakeModel& model)
{
    std::set<int> allowed;
    for (int pc = 0; pc < kPitchClasses; ++pc)
        if (model.scaleMask[pc] == 0)
            allowed.insert(pc);
    return allowed;
}

// One selected note sounding at pitch + fineTune, tuned with the mask given.
struct Tuned {
    float pitch;
    float fineTune;
};

Tuned tune(float pitch, float fineTune, const Mask& mask)
{
    auto model = modelWithNotes(1);
    model->pitch[0] = pitch;
    model->fineTune[0] = fineTune;
    model->scaleMask = mask;
    select(*model, {0});
    tuneSelectedNotes(*model);
    return {model->pitch[0], model->fineTune[0]};
}

} // namespace

TEST(ScaleTuningTest, TunesToTheNearestAllowedSemitoneWithTiesGoingUp)
{
    struct Case {
        float pitch, fineTune;
        Mask mask;
        float expected;
    };
    const Case cases[] = {
        {4.0f, 0.3f, allowing({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}), 4.0f},
        {4.0f, 0.5f, allowing({4, 5}), 5.0f}, // an exact tie goes up
        {4.0f, 0.3f, allowing({3, 5}), 5.0f}, // 0.7 above beats 1.3 below
        {5.0f, -0.3f, allowing({4}), 4.0f}, // 4.7 with class 5 excluded
        {4.0f, -0.5f, allowing({3, 4}), 4.0f}, // 3.5: the tie goes up to 4
        {0.0f, 0.0f, allowing({6}), 6.0f}, // the far end of the search
        {0.0f, 0.0f, allowing({7}), -5.0f}, // reached going down
        {11.0f, 0.4f, allowing({0}), 12.0f}, // into the next octave
    };
    for (const Case& c : cases) {
        Tuned tuned = tune(c.pitch, c.fineTune, c.mask);
        EXPECT_EQ(tuned.pitch, c.expected) << c.pitch << " + " << c.fineTune;
        EXPECT_EQ(tuned.fineTune, 0.0f);
    }
}

TEST(ScaleTuningTest, EveryClassExcludedKeepsThePitchAndClearsTheFineTune)
{
    Tuned tuned = tune(4.0f, 0.3f, allowing({}));
    EXPECT_EQ(tuned.pitch, 4.0f);
    EXPECT_EQ(tuned.fineTune, 0.0f);
}

TEST(ScaleTuningTest, PitchesFarBelowAndAboveUseTheirTrueClass)
{
    // -75 is an a (class 9) seven octaves below; (p + 60) mod 12 would be -3.
    EXPECT_EQ(tune(-75.0f, 0.2f, allowing({9})).pitch, -75.0f);
    EXPECT_EQ(tune(-75.0f, 0.2f, allowing({10})).pitch, -74.0f);
    EXPECT_EQ(tune(-61.0f, -0.4f, allowing({11})).pitch, -61.0f);
    EXPECT_EQ(tune(-500.0f, 0.6f, allowing({0})).pitch, -504.0f);
    EXPECT_EQ(tune(1.0e6f, 0.0f, allowing({5})).pitch, 1.0e6f + 1.0f); // 1e6 is class 4
    EXPECT_EQ(pitchClassOf(-1.0), 11);
    EXPECT_EQ(pitchClassOf(-12.0), 0);
    EXPECT_EQ(pitchClassOf(-13.0), 11);
    EXPECT_EQ(pitchClassOf(25.0), 1);
}

TEST(ScaleTuningTest, TunesEverySelectedNoteAndOnlyThose)
{
    auto model = modelWithNotes(4);
    model->scaleMask = allowing({0, 2, 4, 5, 7, 9, 11});
    for (int i = 0; i < 4; ++i)
        model->pitch[i] = 1.0f; // c sharp: outside the scale
    model->fineTune[3] = 0.2f;
    select(*model, {3, 1});
    tuneSelectedNotes(*model);
    EXPECT_EQ(model->pitch[0], 1.0f);
    EXPECT_EQ(model->pitch[1], 2.0f); // tie between 0 and 2 goes up
    EXPECT_EQ(model->pitch[2], 1.0f);
    EXPECT_EQ(model->pitch[3], 2.0f);
    EXPECT_EQ(model->fineTune[3], 0.0f);
}

TEST(ScaleTuningTest, TuningRefreshesTheNoteButKeepsDrawnPoints)
{
    auto model = modelWithNotes(1);
    model->pitch[0] = 3.0f;
    model->fineTune[0] = 0.4f;
    model->contour[0][7] = kDrawnPointBase + 0.25f;
    model->scaleMask = allowing({3});
    select(*model, {0});
    tuneSelectedNotes(*model);
    EXPECT_EQ(model->contour[0][6], kPitchUnset);
    EXPECT_EQ(model->contour[0][7], kDrawnPointBase + 0.25f);
    EXPECT_TRUE(model->noteEditorRedrawRequested.load());
}

TEST(ScaleTuningTest, AnEmptySelectionOrStaleEntriesTuneNothing)
{
    auto model = modelWithNotes(3);
    model->fineTune[1] = 0.3f;
    model->scaleMask = allowing({5});
    tuneSelectedNotes(*model);
    select(*model, {3, -1, 999}); // no such notes
    tuneSelectedNotes(*model);
    EXPECT_EQ(model->pitch[1], 1.0f);
    EXPECT_EQ(model->fineTune[1], 0.3f);
    EXPECT_EQ(model->contour[1][0], 101.0f);
}

TEST(ScaleTest, MajorAndMinorFollowTheRoot)
{
    auto model = std::make_unique<TakeModel>();
    setScale(*model, kMajorScale, 0);
    EXPECT_EQ(allowedClasses(*model), (std::set<int> {0, 2, 4, 5, 7, 9, 11}));
    Mask majorOnC = model->scaleMask;
    setScale(*model, kMinorScale, 9);
    EXPECT_EQ(model->scaleMask, majorOnC); // a minor shares c major's classes
    setScale(*model, kMinorScale, 0);
    EXPECT_EQ(model->scaleMask, kInitialScaleMask);
    setScale(*model, kMajorScale, 7);
    EXPECT_EQ(allowedClasses(*model), (std::set<int> {7, 9, 11, 0, 2, 4, 6}));
    setScale(*model, kMajorScale, -5); // the same root, seven below c
    EXPECT_EQ(allowedClasses(*model), (std::set<int> {7, 9, 11, 0, 2, 4, 6}));
    setScale(*model, kAllowAllClasses, 4);
    EXPECT_EQ(allowedClasses(*model).size(), 12u);
}

TEST(ScaleTest, FreeSelectionAndUnknownModesChangeNothing)
{
    auto model = std::make_unique<TakeModel>();
    for (int mode : {static_cast<int>(kFreeSelection), 4, -1}) {
        setScale(*model, mode, 3);
        EXPECT_EQ(model->scaleMask, kInitialScaleMask) << mode;
    }
}

TEST(ScaleTest, TogglingAClassTwiceRestoresTheMask)
{
    auto model = std::make_unique<TakeModel>();
    togglePitchClass(*model, 4);
    EXPECT_EQ(model->scaleMask[4], 0);
    togglePitchClass(*model, 0);
    EXPECT_EQ(model->scaleMask[0], 1);
    togglePitchClass(*model, 4);
    togglePitchClass(*model, 0);
    EXPECT_EQ(model->scaleMask, kInitialScaleMask);
    togglePitchClass(*model, 12);
    togglePitchClass(*model, -1);
    EXPECT_EQ(model->scaleMask, kInitialScaleMask);
}

TEST(ScaleTest, NearestSemitoneRoundsHalvesUpOnBothSidesOfZero)
{
    EXPECT_EQ(nearestSemitone(4.5), 5.0);
    EXPECT_EQ(nearestSemitone(4.49), 4.0);
    EXPECT_EQ(nearestSemitone(-4.5), -4.0);
    EXPECT_EQ(nearestSemitone(-70.3), -70.0);
}

TEST(ScaleTuningTest, ANoteWithoutPitchIsMeasuredBeforeItIsTuned)
{
    auto model = modelWithNotes(2);
    model->pitch[1] = kPitchUnset;
    model->fineTune[1] = 0.0f;
    model->sourcePitch[1] = kPitchUnset;
    // Source frames 10..19 sung at 4.3 semitones.
    for (int frame = 10; frame < 20; ++frame) {
        model->framePitch[0][frame] = 4.3f;
        model->frameVoicing[0][frame] = 1.0f;
    }
    model->scaleMask = allowing({5});
    select(*model, {1});
    tuneSelectedNotes(*model);
    EXPECT_NEAR(model->sourcePitch[1], 4.3f, 1e-5f);
    EXPECT_EQ(model->pitch[1], 5.0f); // from 4.3, not from -1000
    EXPECT_EQ(model->fineTune[1], 0.0f);
}
