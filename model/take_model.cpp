#include "model/take_model.h"

void TakeModel::reset()
{
    recordBuffer.clear();
    framePitch.clear();
    frameVoicing.clear();
    recordMap.clear();
    recordedLength.store(0, std::memory_order_relaxed);

    noteCount = 0;
    for (ContourRow& row : contour)
        row.fill(kPitchUnset);
    prevNote.fill(kLinkUnresolved);
    nextNote.fill(kLinkUnresolved);

    selectionCount = 0;
    scaleMask = kInitialScaleMask;

    transportMode.store(kAutoMode);
    editTool = 0;
    standardPitchControl = 1.0f;
    takePosition = 0;
    analysisFrame = 0;
    editorPlaying.store(false);
    framesPerBeat = 30.0f;
    viewStartFrame = 0;
    voiceOffset.fill(0.0f);
    voiceFadeOffset.fill(0.0f);
    voiceFadeCount.fill(0.0f);
    voiceNote.fill(kNone);
    voiceRateNote.fill(kNone);
    heldNotes.fill(kNone);
    recordCursor.store(-1.0f);
    playCursor.store(-1.0f);
    lastAnalysedFrame = 0;

    requestedTakePosition.store(kNoPositionRequest);
    noteEditorRedrawRequested.store(false);
    scanViewRedrawRequested.store(false);
}
