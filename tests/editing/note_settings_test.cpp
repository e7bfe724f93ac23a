#include "editing/editing_helpers.h"
#include "editing/note_settings.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

NoteArray TakeModel::*attributeOf(int tag)
{
    switch (tag) {
    case kFineTuningTag: return &TakeModel::fineTune;
    case kVolumeTag: return &TakeModel::volume;
    case kRawContoursTag: return &TakeModel::rawContourDamping;
    case kFineContoursTag: return &TakeModel::fineContourDamping;
    case kVibratoAmplitudeTag: return &TakeModel::vibratoAmplitude;
    case kVibratoRateTag: return &TakeModel::vibratoRate;
    case kVibratoAttackTag: return &TakeModel::vibratoAttack;
    default: return &TakeModel::blending;
    }
}

} // namespace

TEST(NoteSettingsTest, SliderMappingsAtZeroHalfAndOne)
{
    struct Case {
        int tag;
        float atZero, atHalf, atOne;
    };
    const Case cases[] = {
        {kFineTuningTag, -0.5f, 0.0f, 0.5f},
        {kVolumeTag, 0.0f, 1.0f, 2.0f},
        {kRawContoursTag, 1.0f, 0.5f, 0.0f},
        {kFineContoursTag, 1.0f, 0.5f, 0.0f},
        {kVibratoAmplitudeTag, 0.0f, 0.5f, 1.0f},
        {kVibratoRateTag, 0.0f, 0.5f, 1.0f},
        {kVibratoAttackTag, 0.0f, 0.5f, 1.0f},
        {kBlendingTag, 0.0f, 0.5f, 1.0f},
    };
    for (const Case& c : cases) {
        auto model = modelWithNotes(2);
        select(*model, {1});
        NoteArray& values = (*model).*attributeOf(c.tag);
        float untouched = values[0];
        setSelectedNotesAttribute(*model, c.tag, 0.0f);
        EXPECT_EQ(values[1], c.atZero) << c.tag;
        setSelectedNotesAttribute(*model, c.tag, 0.5f);
        EXPECT_EQ(values[1], c.atHalf) << c.tag;
        EXPECT_EQ(noteSettingSliderValue(*model, 1, c.tag), 0.5f) << c.tag;
        setSelectedNotesAttribute(*model, c.tag, 1.0f);
        EXPECT_EQ(values[1], c.atOne) << c.tag;
        EXPECT_EQ(noteSettingSliderValue(*model, 1, c.tag), 1.0f) << c.tag;
        EXPECT_EQ(values[0], untouched) << c.tag; // not selected
    }
}

TEST(NoteSettingsTest, WritesAndRefreshesEverySelectedNote)
{
    auto model = modelWithNotes(7);
    select(*model, {6, 0, 2, 4, 5});
    setSelectedNotesAttribute(*model, kVibratoAmplitudeTag, 0.3f);
    for (int note : {0, 2, 4, 5, 6}) {
        EXPECT_EQ(model->vibratoAmplitude[note], 0.3f) << note;
        EXPECT_EQ(model->contour[note][0], kPitchUnset) << note;
    }
    EXPECT_EQ(model->vibratoAmplitude[1], 0.0f);
    EXPECT_EQ(model->vibratoAmplitude[3], 0.0f);
}

TEST(NoteSettingsTest, AnEmptySelectionChangesNoNote)
{
    auto model = modelWithNotes(3);
    setSelectedNotesAttribute(*model, kVolumeTag, 0.9f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model->volume[i], 1.0f);
        EXPECT_EQ(model->contour[i][0], 100.0f + static_cast<float>(i));
    }
}

TEST(NoteSettingsTest, OutOfRangeValuesAreClampedAndUnknownTagsOrNaNIgnored)
{
    auto model = modelWithNotes(2);
    select(*model, {0, 5}); // 5 names no note
    setSelectedNotesAttribute(*model, kVolumeTag, 4.0f);
    EXPECT_EQ(model->volume[0], 2.0f);
    setSelectedNotesAttribute(*model, kFineTuningTag, -3.0f);
    EXPECT_EQ(model->fineTune[0], -0.5f);
    setSelectedNotesAttribute(*model, kVolumeTag, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(model->volume[0], 2.0f);
    model->contour[0].fill(3.0f);
    for (int tag : {27, 36, 0, -28}) {
        setSelectedNotesAttribute(*model, tag, 0.25f);
        EXPECT_EQ(model->contour[0][0], 3.0f) << tag;
    }
    EXPECT_EQ(noteSettingSliderValue(*model, 0, 27), 0.0f);
    EXPECT_EQ(noteSettingSliderValue(*model, 2, kVolumeTag), 0.0f);
}
