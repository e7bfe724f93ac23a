#include "editing/editing_helpers.h"
#include "editing/note_list.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

// The notes of the table by their original index (note i starts at 10 i).
std::vector<int> originalIndices(const TakeModel& model)
{
    std::vector<int> indices;
    for (int i = 0; i < model.noteCount; ++i)
        indices.push_back(static_cast<int>(model.targetStart[i] / 10.0f));
    return indices;
}

void expectAllLinksUnresolved(const TakeModel& model)
{
    for (int i = 0; i < kMaxNotes; ++i) {
        ASSERT_EQ(model.prevNote[i], kLinkUnresolved) << i;
        ASSERT_EQ(model.nextNote[i], kLinkUnresolved) << i;
    }
}

std::vector<int> selectionOf(const TakeModel& model)
{
    return {model.selection.begin(), model.selection.begin() + model.selectionCount};
}

} // namespace

TEST(NoteListTest, DeletingSelectionTwoAndFiveOfEightKeepsTheOthersInOrder)
{
    for (auto selection : {std::vector<int> {2, 5}, std::vector<int> {5, 2}}) {
        auto model = modelWithNotes(8);
        model->prevNote[3] = 2;
        model->nextNote[6] = 7;
        model->selectionCount = 0;
        for (int note : selection)
            model->selection[model->selectionCount++] = note;
        deleteSelectedNotes(*model);
        EXPECT_EQ(originalIndices(*model), (std::vector<int> {0, 1, 3, 4, 6, 7}));
        EXPECT_EQ(model->selectionCount, 0);
        expectAllLinksUnresolved(*model);
        // Attributes and contour rows moved together.
        EXPECT_EQ(model->pitch[4], 6.0f);
        EXPECT_EQ(model->targetEnd[5], 80.0f);
        // The neighbours of the deleted notes were refreshed, the others not.
        EXPECT_EQ(model->contour[0][0], 100.0f);
        EXPECT_EQ(model->contour[1][0], kPitchUnset);
        EXPECT_EQ(model->contour[2][0], kPitchUnset);
        EXPECT_EQ(model->contour[5][0], 107.0f);
    }
}

TEST(NoteListTest, ARepeatedSelectionEntryDeletesItsNoteOnce)
{
    auto model = modelWithNotes(6);
    select(*model, {2, 4, 2, 9});
    deleteSelectedNotes(*model);
    EXPECT_EQ(originalIndices(*model), (std::vector<int> {0, 1, 3, 5}));
    EXPECT_EQ(model->selectionCount, 0);
}

TEST(NoteListTest, DeleteNoteOutOfRangeChangesNothing)
{
    auto model = modelWithNotes(4);
    select(*model, {1, 3});
    model->prevNote[2] = 1;
    for (int note : {-1, 4, 1000}) {
        deleteNote(*model, note);
        EXPECT_EQ(model->noteCount, 4);
        EXPECT_EQ(selectionOf(*model), (std::vector<int> {1, 3}));
        EXPECT_EQ(model->prevNote[2], 1);
        EXPECT_EQ(model->contour[1][0], 101.0f);
    }
}

TEST(NoteListTest, DeleteNoteOnItsOwnLeavesNoEntryForTheDeletedNoteOrPastTheTable)
{
    auto model = modelWithNotes(8);
    select(*model, {3, 5, 7, 12, -4, 5});
    deleteNote(*model, 5);
    EXPECT_EQ(originalIndices(*model), (std::vector<int> {0, 1, 2, 3, 4, 6, 7}));
    // 3 stays, 7 moved to 6, the entries for 5 and the stale ones are gone.
    EXPECT_EQ(selectionOf(*model), (std::vector<int> {3, 6}));
    expectAllLinksUnresolved(*model);

    deleteNote(*model, 6); // the last note
    EXPECT_EQ(model->noteCount, 6);
    EXPECT_EQ(selectionOf(*model), (std::vector<int> {3}));
}

TEST(NoteListTest, DeletingMovesDrawnPointsWithTheirRowAndKeepsTheFreedRow)
{
    auto model = modelWithNotes(3);
    model->contour[2][10] = kDrawnPointBase + 0.75f;
    deleteNote(*model, 0);
    EXPECT_EQ(model->contour[1][10], kDrawnPointBase + 0.75f);
    // The row that fell out of use keeps its old content.
    EXPECT_EQ(model->contour[2][10], kDrawnPointBase + 0.75f);
}

TEST(NoteListTest, DuplicateAddsAWholeToneHigherAtHalfVolumeOverTheSameFrames)
{
    auto model = modelWithNotes(2);
    model->pitch[1] = 4.0f;
    model->fineTune[1] = 0.3f;
    model->vibratoAmplitude[1] = 0.6f;
    model->sourceRow[1] = 2;
    select(*model, {1});
    duplicateSelectedNotes(*model);
    ASSERT_EQ(model->noteCount, 3);
    EXPECT_EQ(model->pitch[2], 6.0f);
    EXPECT_EQ(model->fineTune[2], 0.3f);
    EXPECT_EQ(model->volume[2], 0.5f);
    EXPECT_EQ(model->targetStart[2], model->targetStart[1]);
    EXPECT_EQ(model->targetEnd[2], model->targetEnd[1]);
    EXPECT_EQ(model->sourceStart[2], model->sourceStart[1]);
    EXPECT_EQ(model->sourceEnd[2], model->sourceEnd[1]);
    EXPECT_EQ(model->sourceRow[2], 2);
    EXPECT_EQ(model->vibratoAmplitude[2], 0.6f);
    EXPECT_EQ(model->volume[1], 1.0f);
    EXPECT_EQ(selectionOf(*model), (std::vector<int> {1}));
}

TEST(NoteListTest, DuplicatingTwiceCopiesTheSameSelectedNotesInSelectionOrder)
{
    auto model = modelWithNotes(5);
    select(*model, {4, 0, 2});
    duplicateSelectedNotes(*model);
    duplicateSelectedNotes(*model);
    ASSERT_EQ(model->noteCount, 11);
    const float expected[] = {6, 2, 4, 6, 2, 4};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(model->pitch[5 + i], expected[i]) << i;
}

TEST(NoteListTest, DuplicateKeepsDrawnPointsLeftInTheRowItTakes)
{
    auto model = modelWithNotes(2);
    model->contour[2].fill(7.0f); // computed, left by an older note
    model->contour[2][3] = kDrawnPointBase + 0.5f; // drawn
    select(*model, {0});
    duplicateSelectedNotes(*model);
    EXPECT_EQ(model->contour[2][3], kDrawnPointBase + 0.5f);
    EXPECT_EQ(model->contour[2][4], kPitchUnset);
}

TEST(NoteListTest, DuplicateAddsOnlyTheCopiesThatFitTheTable)
{
    auto model = modelWithNotes(kMaxNotes - 1);
    select(*model, {3, 4, 5});
    duplicateSelectedNotes(*model);
    EXPECT_EQ(model->noteCount, kMaxNotes);
    EXPECT_EQ(model->pitch[kMaxNotes - 1], 5.0f);
    duplicateSelectedNotes(*model);
    EXPECT_EQ(model->noteCount, kMaxNotes);
    EXPECT_EQ(model->pitch[kMaxNotes - 1], 5.0f);
}

TEST(NoteListTest, SelectAllSelectsAsManyNotesAsTheSelectionHolds)
{
    auto model = modelWithNotes(0);
    select(*model, {1, 2});
    selectAllNotes(*model);
    EXPECT_EQ(model->selectionCount, 0);

    model = modelWithNotes(3);
    selectAllNotes(*model);
    EXPECT_EQ(selectionOf(*model), (std::vector<int> {0, 1, 2}));
    clearSelection(*model);
    EXPECT_EQ(model->selectionCount, 0);
    EXPECT_EQ(model->noteCount, 3);

    model = modelWithNotes(700);
    selectAllNotes(*model);
    ASSERT_EQ(model->selectionCount, kMaxSelection);
    EXPECT_EQ(model->selection[0], 0);
    EXPECT_EQ(model->selection[499], 499);
}

TEST(NoteListTest, DuplicatingANoteWithoutPitchMeasuresItFirst)
{
    auto model = modelWithNotes(1);
    model->pitch[0] = kPitchUnset;
    model->sourcePitch[0] = 4.25f;
    select(*model, {0});
    duplicateSelectedNotes(*model);
    ASSERT_EQ(model->noteCount, 2);
    EXPECT_EQ(model->pitch[0], 4.0f);
    EXPECT_EQ(model->pitch[1], 6.0f); // never -998
    EXPECT_EQ(model->fineTune[1], 0.25f);
}
