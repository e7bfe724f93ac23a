// The one entry point for every change of the edit. The editor, the command
// line and the host's chunk calls go through it; it takes the edit lock for
// exactly the time a change needs and keeps the undo history.
//
// Every operation that changes the edit is one undo step. Between
// beginGesture and endGesture (a mouse or slider drag) the operations add up
// to a single step, however many there are. Transport requests (mode, play,
// stop) and view state are not steps. A chunk restored by the host starts a
// new history.
//
// User-interface thread only, like the lock's blocking side.
#pragma once

#include "editing/note_settings.h"
#include "engine/edit_history.h"
#include "engine/edit_lock.h"
#include "engine/processing_cycle.h"
#include "engine/resynthesis.h"
#include "model/take_model.h"

#include <atomic>
#include <cstddef>

// Reads of the edit that fill the contour memo on the way, each call one
// short hold of the edit lock.
class MemoReader {
public:
    MemoReader(TakeModel& model, EditLock& lock)
        : model(model)
        , lock(lock)
    {
    }

    // Runs look(TakeModel&) under the edit lock and returns its result.
    template <typename Look> auto operator()(Look look) const
    {
        EditGuard guard(lock);
        return look(model);
    }

    // What needs no lock: the recorded rows and the cursors.
    const TakeModel& unlocked() const { return model; }

private:
    TakeModel& model;
    EditLock& lock;
};

class EditSession {
public:
    EditSession(TakeModel& model, EditLock& lock, AutomaticCut& automaticCut);

    // Runs read(const TakeModel&) under the edit lock and returns its result.
    template <typename Read> auto read(Read read) const
    {
        EditGuard guard(lock);
        return read(static_cast<const TakeModel&>(model));
    }

    // The model to read without the lock: its atomics, and the view state
    // only this thread writes.
    const TakeModel& takeModel() const { return model; }
    // A note view's capture: it fills the contour memo (a cache of the edit,
    // not a change) in many short looks under the lock.
    MemoReader memoReader() { return MemoReader(model, lock); }

    // The note table and selection.
    void transfer(); // cuts the analysed take into notes, selecting them
    void tuneSelectedNotes();
    void setScale(int mode, int scaleRoot);
    void togglePitchClass(int pitchClass);
    void deleteNote(int note);
    void deleteSelectedNotes();
    void duplicateSelectedNotes();
    void selectAllNotes();
    void clearSelection();
    // Selects count notes from first on (the command line's batches).
    void selectNotes(int first, int count);
    // Selects the notes overlapping frames (first, last).
    void selectNotesInBand(int first, int last);
    // Takes note as the note a drag works on: it becomes the selection unless
    // it is selected already; any other value empties the selection. True
    // when it is a note; sliderValues (kNoteSliderValues entries, may be
    // null) then receive its settings as the sliders show them.
    bool grabNote(int note, float* sliderValues);
    void setNoteSetting(NoteSetting setting, float value);
    // Measures the sung pitch of every note that has none yet; a note that
    // has its pitch keeps it (the command line's report).
    void measureNotes();
    // Moves every note of the table by whole semitones.
    void transposeAllNotes(int semitones);

    // The note editor's gestures; each is refused while note is not a note.
    // Moves the selected notes, then refreshes them; refused while the
    // grabbed note is not a note.
    bool shiftSelectedPitches(int grabbed, int semitones);
    bool shiftSelectedNotesInTime(int grabbed, float dx);
    int splitNoteAt(int frame);
    int joinNoteAt(int frame);
    // Stretch (or trim) one edge of note; refused with more than one note selected.
    bool stretchNote(int note, int zone, float dx, bool trim);
    // Draws contour points at pitch (semitones, the view's scale) over
    // offsets [min(a, b), max(a, b)), or erases drawn points there.
    bool drawContour(int note, int a, int b, float pitch);
    bool eraseContour(int note, int a, int b);

    // The host's chunk: false (nothing changed) when it is refused; size 0
    // empties the table. Either way a restore starts a new history.
    bool restoreChunk(const unsigned char* data, std::size_t size);

    int formantMode() const { return formants.load(std::memory_order_relaxed); }
    void setFormantMode(int mode); // an undo step, as the menu entry toggles it
    // The same outside the history, as an instance setting the host or a
    // program gives (no allocation, no lock: the mode is an atomic).
    void applyFormantMode(int mode) { storeFormantMode(mode); }

    // Transport requests, applied by the audio thread at its next block.
    void setTransportMode(int mode);
    int transportMode() const { return model.transportMode.load(std::memory_order_relaxed); }
    void play();
    void stop();

    // View and control state kept in the model, not part of the edit.
    void setEditTool(int tool);
    void setStandardPitchControl(float value);
    // The beat spacing a view drew with and the frame at its left edge
    // (kNone keeps the frame).
    void setViewState(float framesPerBeat, int viewStartFrame);

    // The views to redraw: the audio thread and the edits raise the requests,
    // the editor's idle takes them (also while it is closed, so that an old
    // request does not linger).
    struct RedrawRequests {
        bool noteEditor = false;
        bool scanView = false;
    };
    RedrawRequests takeRedrawRequests();
    void requestNoteEditorRedraw();
    void requestScanViewRedraw();

    // Undo and redo one step; false when there is none.
    bool undo();
    bool redo();
    bool canUndo() const { return history.canUndo(); }
    bool canRedo() const { return history.canRedo(); }
    const EditHistory& editHistory() const { return history; }

    // A drag: the changes until the matching endGesture are one step.
    void beginGesture();
    void endGesture();

private:
    // Runs change(TakeModel&) under the lock as one step (or as part of the
    // open gesture's step); returns what change returns.
    template <typename Change> auto edit(Change change);

    void captureBefore();
    void captureAfter();
    void storeFormantMode(int mode);
    bool stepThroughHistory(bool backwards);

    TakeModel& model;
    EditLock& lock;
    AutomaticCut& automaticCut;
    std::atomic<int> formants {kFormantsMove};
    EditHistory history;
    EditImage before;
    EditImage after;
    int gestureDepth = 0;
    // Note rows the table has used so far; the rows after them still hold
    // what the model was made with.
    int rowsInUse = 0;
};

constexpr int kNoteSliderValues = kNoteSettingCount;
