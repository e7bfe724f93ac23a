// Where notes meet: the neighbour search, the links across a cut with their
// cache, the contour memo's entries, and the relinking after a change.
#include "model/note_links.h"
#include "support/note_table_helpers.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

} // namespace

TEST(LinkedNotesTest, CachedLinksAreReturnedWithoutScanning)
{
    auto model = makeModel();
    int a = addNote(*model, 0.0f, 10.0f, 0.0f, 10.0f);
    int b = addNote(*model, 10.5f, 20.0f, 10.0f, 20.0f); // within a frame, same source seam
    model->prevNote[b] = kNone;
    EXPECT_EQ(linkedPrevious(*model, b), kNone);
    model->prevNote[b] = kLinkUnresolved;
    EXPECT_EQ(linkedPrevious(*model, b), a);
    EXPECT_EQ(model->prevNote[b], a);
    EXPECT_EQ(linkedNext(*model, a), b);
    EXPECT_EQ(model->nextNote[a], b);
}

TEST(LinkedNotesTest, NeedsAnExactSourceSeamAndLessThanAFrameOfTargetGap)
{
    auto model = makeModel();
    int a = addNote(*model, 0.0f, 10.0f, 0.0f, 10.0f);
    int gap = addNote(*model, 11.0f, 20.0f, 10.0f, 20.0f); // a whole frame away
    int moved = addNote(*model, 10.0f, 20.0f, 10.25f, 20.0f); // source does not meet
    EXPECT_EQ(linkedPrevious(*model, gap), kNone);
    EXPECT_EQ(linkedPrevious(*model, moved), kNone);
    // Several candidates: the highest index wins.
    int first = addNote(*model, 10.0f, 20.0f, 10.0f, 20.0f);
    int second = addNote(*model, 10.0f, 20.0f, 10.0f, 20.0f);
    EXPECT_EQ(linkedNext(*model, a), second);
    EXPECT_EQ(linkedPrevious(*model, first), a);
    EXPECT_EQ(linkedNext(*model, -1), kNone);
    EXPECT_EQ(linkedNext(*model, kMaxNotes), kNone);
}

// Target spans that meet exactly are neighbours, whatever their source; a
// hair's gap is none, and of several the highest index is found.
TEST(NoteNeighboursTest, OnlyExactlyMeetingTargetSpansAreNeighbours)
{
    struct Case {
        const char* name;
        std::vector<std::pair<float, float>> others; // target spans after the note [10, 20)
        int left;
        int right;
    };
    const Case cases[] = {
        {"alone", {}, kNone, kNone},
        {"both sides", {{0.0f, 10.0f}, {20.0f, 35.0f}}, 1, 2},
        {"a hair apart", {{0.0f, 9.999f}, {20.001f, 30.0f}}, kNone, kNone},
        {"overlapping", {{0.0f, 12.0f}, {18.0f, 30.0f}}, kNone, kNone},
        {"two on the left", {{0.0f, 10.0f}, {5.0f, 10.0f}}, 2, kNone},
    };
    for (const Case& c : cases) {
        auto model = makeModel();
        const int note = addNote(*model, 10.0f, 20.0f, 40.0f, 50.0f); // source elsewhere
        for (auto [start, end] : c.others)
            addNote(*model, start, end);
        EXPECT_EQ(leftNeighbour(*model, note), c.left) << c.name;
        EXPECT_EQ(rightNeighbour(*model, note), c.right) << c.name;
    }
}

// A change forgets computed points and keeps drawn ones, the drawn-point
// threshold itself included; the memo reads only finite entries above its
// floor, and never stores a computed pitch that would read back as drawn.
TEST(ContourMemoTest, DrawnPointsFromTheThresholdOnSurviveAChange)
{
    struct Case {
        float entry;
        bool kept; // by a change
        bool set; // read from the memo
        bool memoisable; // as a computed pitch
    };
    const Case cases[] = {
        {kDrawnPointThreshold, true, true, false},
        {kDrawnPointBase + 3.0f, true, true, false},
        {std::nextafter(kDrawnPointThreshold, 0.0f), false, true, true},
        {5.0f, false, true, true},
        {std::nextafter(kMemoUnsetBelow, 0.0f), false, true, true},
        {kMemoUnsetBelow, false, false, true},
        {kPitchUnset, false, false, true},
        {kNaN, false, false, false},
        {kInfinity, true, false, false},
    };
    auto model = makeModel();
    const int note = addNote(*model, 0.0f, 20.0f);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        model->contour[note][i] = cases[i].entry;
    clearComputedContour(*model, note);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const float after = model->contour[note][i];
        if (cases[i].kept)
            EXPECT_EQ(after, cases[i].entry) << i;
        else
            EXPECT_EQ(after, kPitchUnset) << i;
        EXPECT_EQ(isMemoEntrySet(cases[i].entry), cases[i].set) << i;
        EXPECT_EQ(isMemoisablePitch(cases[i].entry), cases[i].memoisable) << i;
    }
}

// A note moved from one neighbour to another: the old neighbour looks its
// link up afresh and forgets its computed contour, the new one too, and the
// moved note links to its new neighbours; drawn points stay everywhere.
TEST(RelinkTest, AMovedNoteUnlinksItsOldNeighbourAndLinksTheNewOne)
{
    auto model = makeModel();
    const int a = addNote(*model, 0.0f, 10.0f);
    const int b = addNote(*model, 10.0f, 20.0f);
    const int c = addNote(*model, 30.0f, 40.0f);
    const int far = addNote(*model, 60.0f, 70.0f);
    model->nextNote[a] = b;
    model->prevNote[b] = a;
    model->prevNote[far] = kNone;
    for (int note : {a, b, c, far}) {
        model->contour[note][0] = 4.0f; // computed
        model->contour[note][1] = kDrawnPointBase; // drawn
    }
    // b moves to end where c begins.
    model->targetStart[b] = 20.0f;
    model->targetEnd[b] = 30.0f;
    relinkChangedNote(*model, b);

    EXPECT_EQ(model->nextNote[a], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[c], kLinkUnresolved);
    EXPECT_EQ(model->prevNote[b], kNone);
    EXPECT_EQ(model->nextNote[b], c);
    EXPECT_EQ(model->prevNote[far], kNone); // untouched
    for (int note : {a, c})
        EXPECT_EQ(model->contour[note][0], kPitchUnset) << note;
    EXPECT_EQ(model->contour[far][0], 4.0f);
    for (int note : {a, b, c, far})
        EXPECT_EQ(model->contour[note][1], kDrawnPointBase) << note;
}
