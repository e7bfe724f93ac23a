// Undo and redo of the edit, one step per change. A step keeps only what it
// changed in a flat image of the edit: a header (scale, selection, formant
// mode, links) and one record per note row (attributes and contour row). Row
// by row it notes whether a row stayed, took its neighbour's content (every
// row after a deleted or inserted note) or changed, and of a changed row only
// the bytes that differ; so a step that moves one note, or deletes one,
// costs a few kilobytes, not a copy of the table. The oldest steps are
// dropped once the history outgrows its budget.
//
// The image holds the rows up to the highest one the table has used: rows
// past the note count keep what they held (a duplicate takes over the points
// drawn in its row), so an undo brings those back too.
//
// User-interface thread only; the caller holds the edit lock around capture
// and restore, which copy the edit between the model and an image.
#pragma once

#include "model/take_model.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

constexpr std::size_t kHistoryBudgetBytes = std::size_t {16} << 20; // per instance

// The flat image of everything a step may change.
class EditImage {
public:
    // Copies the model's edit (and the formant mode) into the image: the
    // header and the first rows note rows.
    void capture(const TakeModel& model, int formantMode, int rows);
    // Rows from the image's last one up to rows, as the model holds rows it
    // has never used.
    void extendWithUnusedRows(int rows);
    // Writes the image back into the model; returns the formant mode.
    int restore(TakeModel& model) const;

    int rows() const { return rowCount; }
    unsigned char* data() { return bytes.data(); }
    const unsigned char* data() const { return bytes.data(); }
    unsigned char* row(int index);
    const unsigned char* row(int index) const;

private:
    std::vector<unsigned char> bytes;
    int rowCount = 0;
};

class EditHistory {
public:
    explicit EditHistory(std::size_t budgetBytes = kHistoryBudgetBytes);

    // Records the step from before to after (images of the same rows);
    // nothing when they are equal. Drops what could be redone, then the
    // oldest steps beyond the budget.
    void record(const EditImage& before, const EditImage& after);

    bool canUndo() const { return !undoSteps.empty(); }
    bool canRedo() const { return !redoSteps.empty(); }
    // Turns image (the edit as it is now) into the edit before the newest
    // step; false when there is nothing to undo.
    bool undo(EditImage& image);
    // Turns image into the edit after the step last undone.
    bool redo(EditImage& image);

    void clear();

    std::size_t stepCount() const { return undoSteps.size(); }
    // Steps recorded since the history began, dropped ones included.
    std::size_t stepsRecorded() const { return recorded; }
    // Bytes the steps hold, undo and redo together.
    std::size_t bytesHeld() const { return held; }

private:
    // Where a row of one side comes from on the other side.
    enum class RowSource : uint8_t { same, following, preceding };
    struct Run {
        RowSource source;
        uint32_t rows;
    };
    struct Span {
        uint32_t offset; // in the image
        uint32_t length;
    };
    // How to make one side from the other: rows taken over as runs, then
    // the bytes that still differ written over them.
    struct Direction {
        std::vector<Run> runs;
        std::vector<Span> spans;
        std::vector<unsigned char> bytes;
        std::size_t cost() const;
    };
    struct Step {
        Direction backwards; // after -> before
        Direction forwards; // before -> after
        std::size_t cost() const { return sizeof(Step) + backwards.cost() + forwards.cost(); }
    };

    static Direction describe(const EditImage& from, const EditImage& to);
    void apply(const Direction& direction, EditImage& image);

    std::deque<Step> undoSteps;
    std::vector<Step> redoSteps;
    std::vector<unsigned char> scratch;
    std::size_t budget;
    std::size_t held = 0;
    std::size_t recorded = 0;
};
