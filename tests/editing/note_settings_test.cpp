#include "editing/editing_helpers.h"
#include "editing/note_settings.h"

#include <gtest/gtest.h>
#include <limits>

TEST(NoteSettingsTest, SliderMappingsAtZeroHalfAndOne)
{
    struct Case {
        NoteSetting setting;
        NoteArray TakeModel::*attribute;
        float atZero, atHalf, atOne;
    };
    const Case cases[] = {
        {NoteSetting::fineTuning, &TakeModel::fineTune, -0.5f, 0.0f, 0.5f},
        {NoteSetting::volume, &TakeModel::volume, 0.0f, 1.0f, 2.0f},
        {NoteSetting::rawContours, &TakeModel::rawContourDamping, 1.0f, 0.5f, 0.0f},
        {NoteSetting::fineContours, &TakeModel::fineContourDamping, 1.0f, 0.5f, 0.0f},
        {NoteSetting::vibratoAmplitude, &TakeModel::vibratoAmplitude, 0.0f, 0.5f, 1.0f},
        {NoteSetting::vibratoRate, &TakeModel::vibratoRate, 0.0f, 0.5f, 1.0f},
        {NoteSetting::vibratoAttack, &TakeModel::vibratoAttack, 0.0f, 0.5f, 1.0f},
        {NoteSetting::blending, &TakeModel::blending, 0.0f, 0.5f, 1.0f},
    };
    for (const Case& c : cases) {
        auto model = modelWithNotes(2);
        select(*model, {1});
        NoteArray& values = (*model).*c.attribute;
        float untouched = values[0];
        setSelectedNotesAttribute(*model, c.setting, 0.0f);
        EXPECT_EQ(values[1], c.atZero) << static_cast<int>(c.setting);
        setSelectedNotesAttribute(*model, c.setting, 0.5f);
        EXPECT_EQ(values[1], c.atHalf) << static_cast<int>(c.setting);
        EXPECT_EQ(noteSettingSliderValue(*model, 1, c.setting), 0.5f)
            << static_cast<int>(c.setting);
        setSelectedNotesAttribute(*model, c.setting, 1.0f);
        EXPECT_EQ(values[1], c.atOne) << static_cast<int>(c.setting);
        EXPECT_EQ(noteSettingSliderValue(*model, 1, c.setting), 1.0f)
            << static_cast<int>(c.setting);
        EXPECT_EQ(values[0], untouched) << static_cast<int>(c.setting); // not selected
    }
}

TEST(NoteSettingsTest, WritesAndRefreshesEverySelectedNote)
{
    auto model = modelWithNotes(7);
    select(*model, {6, 0, 2, 4, 5});
    setSelectedNotesAttribute(*model, NoteSetting::vibratoAmplitude, 0.3f);
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
    setSelectedNotesAttribute(*model, NoteSetting::volume, 0.9f);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(model->volume[i], 1.0f);
        EXPECT_EQ(model->contour[i][0], 100.0f + static_cast<float>(i));
    }
}

TEST(NoteSettingsTest, OutOfRangeValuesAreClampedAndUnknownTagsOrNaNIgnored)
{
    auto model = modelWithNotes(2);
    select(*model, {0, 5}); // 5 names no note
    setSelectedNotesAttribute(*model, NoteSetting::volume, 4.0f);
    EXPECT_EQ(model->volume[0], 2.0f);
    setSelectedNotesAttribute(*model, NoteSetting::fineTuning, -3.0f);
    EXPECT_EQ(model->fineTune[0], -0.5f);
    setSelectedNotesAttribute(*model, NoteSetting::volume, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(model->volume[0], 2.0f);
    model->contour[0].fill(3.0f);
    for (int outside : {-1, kNoteSettingCount, 27, -28}) {
        setSelectedNotesAttribute(*model, static_cast<NoteSetting>(outside), 0.25f);
        EXPECT_EQ(model->contour[0][0], 3.0f) << outside;
    }
    EXPECT_EQ(noteSettingSliderValue(*model, 0, static_cast<NoteSetting>(kNoteSettingCount)), 0.0f);
    EXPECT_EQ(noteSettingSliderValue(*model, 2, NoteSetting::volume), 0.0f);
}
