#include "engine/edit_session.h"

#include "editing/note_gestures.h"
#include "editing/note_list.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"
#include "model/segmentation.h"
#include "persistence/chunk_format.h"

#include <algorithm>
#include <type_traits>

EditSession::EditSession(TakeModel& model, EditLock& lock, AutomaticCut& automaticCut)
    : model(model)
    , lock(lock)
    , automaticCut(automaticCut)
{
}

template <typename Change> auto EditSession::edit(Change change)
{
    // The lock is held for the change and the copies of the edit around it;
    // the comparison that makes the step runs after it is released.
    const bool ownStep = gestureDepth == 0;
    auto locked = [&] {
        EditGuard guard(lock);
        if (ownStep)
            captureBefore();
        if constexpr (std::is_void_v<decltype(change(model))>) {
            change(model);
            if (ownStep)
                captureAfter();
        } else {
            auto result = change(model);
            if (ownStep)
                captureAfter();
            return result;
        }
    };
    if constexpr (std::is_void_v<decltype(change(model))>) {
        locked();
        if (ownStep)
            history.record(before, after);
    } else {
        auto result = locked();
        if (ownStep)
            history.record(before, after);
        return result;
    }
}

void EditSession::captureBefore()
{
    rowsInUse = std::max(rowsInUse, model.noteCount);
    before.capture(model, formantMode(), rowsInUse);
}

void EditSession::captureAfter()
{
    // Rows the change used for the first time held what they hold since the
    // model was made.
    rowsInUse = std::max(rowsInUse, model.noteCount);
    before.extendWithUnusedRows(rowsInUse);
    after.capture(model, formantMode(), rowsInUse);
}

void EditSession::transfer()
{
    edit([this](TakeModel& m) {
        segmentNotes(m);
        automaticCut.active = false; // the user's table from now on
    });
}

void EditSession::tuneSelectedNotes()
{
    edit([](TakeModel& m) { ::tuneSelectedNotes(m); });
}

void EditSession::setScale(int mode, int scaleRoot)
{
    edit([&](TakeModel& m) { ::setScale(m, mode, scaleRoot); });
}

void EditSession::togglePitchClass(int pitchClass)
{
    edit([&](TakeModel& m) { ::togglePitchClass(m, pitchClass); });
}

void EditSession::deleteNote(int note)
{
    edit([&](TakeModel& m) { ::deleteNote(m, note); });
}

void EditSession::deleteSelectedNotes()
{
    edit([](TakeModel& m) { ::deleteSelectedNotes(m); });
}

void EditSession::duplicateSelectedNotes()
{
    edit([](TakeModel& m) { ::duplicateSelectedNotes(m); });
}

void EditSession::selectAllNotes()
{
    edit([](TakeModel& m) { ::selectAllNotes(m); });
}

void EditSession::clearSelection()
{
    edit([](TakeModel& m) { ::clearSelection(m); });
}

void EditSession::selectNotes(int first, int count)
{
    edit([&](TakeModel& m) {
        count = std::clamp(count, 0, kMaxSelection);
        for (int j = 0; j < count; ++j)
            m.selection[static_cast<std::size_t>(j)] = first + j;
        m.selectionCount = count;
    });
}

void EditSession::selectNotesInBand(int first, int last)
{
    edit([&](TakeModel& m) { ::selectNotesInBand(m, first, last); });
}

bool EditSession::grabNote(int note, float* sliderValues)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, note)) {
            m.selectionCount = 0;
            return false;
        }
        if (sliderValues)
            for (int s = 0; s < kNoteSliderValues; ++s)
                sliderValues[s] = noteSettingSliderValue(m, note, static_cast<NoteSetting>(s));
        if (!isSelected(m, note)) {
            m.selection[0] = note;
            m.selectionCount = 1;
        }
        return true;
    });
}

void EditSession::setNoteSetting(NoteSetting setting, float value)
{
    edit([&](TakeModel& m) { setSelectedNotesAttribute(m, setting, value); });
}

void EditSession::measureNotes()
{
    edit([](TakeModel& m) {
        for (int n = 0; n < m.noteCount; ++n) {
            // Measuring also splits the sung pitch into pitch and fine tune.
            const float pitch = m.pitch[n];
            const float fineTune = m.fineTune[n];
            measureSourcePitch(m, n);
            if (pitch != kPitchUnset) {
                m.pitch[n] = pitch;
                m.fineTune[n] = fineTune;
            }
        }
    });
}

void EditSession::transposeAllNotes(int semitones)
{
    edit([&](TakeModel& m) {
        for (int note = 0; note < m.noteCount; ++note) {
            m.pitch[note] += static_cast<float>(semitones);
            noteChanged(m, note);
        }
    });
}

bool EditSession::shiftSelectedPitches(int grabbed, int semitones)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, grabbed))
            return false;
        if (semitones != 0)
            ::shiftSelectedPitches(m, semitones);
        refreshSelectedNotes(m);
        return true;
    });
}

bool EditSession::shiftSelectedNotesInTime(int grabbed, float dx)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, grabbed))
            return false;
        ::shiftSelectedNotesInTime(m, dx);
        refreshSelectedNotes(m);
        return true;
    });
}

int EditSession::splitNoteAt(int frame)
{
    return edit([&](TakeModel& m) { return ::splitNoteAt(m, frame); });
}

int EditSession::joinNoteAt(int frame)
{
    return edit([&](TakeModel& m) { return ::joinNoteAt(m, frame); });
}

bool EditSession::stretchNote(int note, int zone, float dx, bool trim)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, note) || m.selectionCount > 1)
            return false;
        if (trim)
            trimNote(m, note, zone, dx);
        else
            ::stretchNote(m, note, zone, dx);
        noteChanged(m, note);
        return true;
    });
}

bool EditSession::drawContour(int note, int a, int b, float pitch)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, note))
            return false;
        ensureMeasuredPitch(m, note);
        writeContourSpan(m, note, a, b, drawnContourValue(m, note, pitch));
        return true;
    });
}

bool EditSession::eraseContour(int note, int a, int b)
{
    return edit([&](TakeModel& m) {
        if (!isNoteIndex(m, note))
            return false;
        ensureMeasuredPitch(m, note);
        writeContourSpan(m, note, a, b, kPitchUnset);
        return true;
    });
}

bool EditSession::restoreChunk(const unsigned char* data, std::size_t size)
{
    if (size == 0) {
        {
            EditGuard guard(lock);
            clearNoteTable(model);
            history.clear();
        }
        model.noteEditorRedrawRequested.store(true);
        return true;
    }
    // The host's bytes are checked before the lock is taken; only the copy
    // into the model holds it.
    std::optional<ChunkLayout> layout = inspectChunk(data, size);
    if (!layout)
        return false;
    {
        EditGuard guard(lock);
        applyChunk(model, data, *layout);
        storeFormantMode(
            layout->settings.formantMode == kChunkFormantsKept ? kFormantsKept : kFormantsMove);
        automaticCut.active = false; // a restored table is never cut again
        history.clear();
    }
    model.noteEditorRedrawRequested.store(true);
    return true;
}

void EditSession::setFormantMode(int mode)
{
    edit([&](TakeModel&) { storeFormantMode(mode); });
}

void EditSession::storeFormantMode(int mode)
{
    formants.store(
        mode == kFormantsKept ? kFormantsKept : kFormantsMove, std::memory_order_relaxed);
}

void EditSession::setTransportMode(int mode)
{
    model.transportMode.store(mode, std::memory_order_relaxed);
    model.editorPlaying.store(false, std::memory_order_relaxed);
    model.requestedTakePosition.store(0, std::memory_order_relaxed);
}

void EditSession::play()
{
    model.transportMode.store(kAutoMode, std::memory_order_relaxed);
    model.requestedTakePosition.store(
        model.viewStartFrame * kFrameLength, std::memory_order_relaxed);
    model.editorPlaying.store(true, std::memory_order_relaxed);
}

void EditSession::stop() { model.editorPlaying.store(false, std::memory_order_relaxed); }

void EditSession::setEditTool(int tool) { model.editTool = tool; }

void EditSession::setStandardPitchControl(float value) { model.standardPitchControl = value; }

void EditSession::setViewState(float framesPerBeat, int viewStartFrame)
{
    model.framesPerBeat = framesPerBeat;
    if (viewStartFrame != kNone)
        model.viewStartFrame = viewStartFrame;
}

EditSession::RedrawRequests EditSession::takeRedrawRequests()
{
    RedrawRequests requests;
    requests.noteEditor
        = model.noteEditorRedrawRequested.exchange(false, std::memory_order_relaxed);
    requests.scanView = model.scanViewRedrawRequested.exchange(false, std::memory_order_relaxed);
    return requests;
}

void EditSession::requestNoteEditorRedraw()
{
    model.noteEditorRedrawRequested.store(true, std::memory_order_relaxed);
}

void EditSession::requestScanViewRedraw()
{
    model.scanViewRedrawRequested.store(true, std::memory_order_relaxed);
}

bool EditSession::stepThroughHistory(bool backwards)
{
    if (gestureDepth > 0 || !(backwards ? history.canUndo() : history.canRedo()))
        return false;
    // Only the copies out of and into the model hold the lock; the step is
    // applied to the copy in between. Nothing else changes the edit
    // meanwhile: this is the only thread that does.
    {
        EditGuard guard(lock);
        captureBefore();
    }
    if (backwards)
        history.undo(before);
    else
        history.redo(before);
    {
        EditGuard guard(lock);
        storeFormantMode(before.restore(model));
        automaticCut.active = false; // the table is the user's
    }
    model.noteEditorRedrawRequested.store(true, std::memory_order_relaxed);
    return true;
}

bool EditSession::undo() { return stepThroughHistory(true); }

bool EditSession::redo() { return stepThroughHistory(false); }

void EditSession::beginGesture()
{
    if (gestureDepth++ > 0)
        return;
    EditGuard guard(lock);
    captureBefore();
}

void EditSession::endGesture()
{
    if (gestureDepth == 0 || --gestureDepth > 0)
        return;
    {
        EditGuard guard(lock);
        captureAfter();
    }
    history.record(before, after);
}
