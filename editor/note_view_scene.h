// What one draw of a note view shows, and how it is painted.
//
// A draw happens in two steps. First the view copies everything it is about
// to show into a NoteViewScene: the scale, the notes' contours (from the memo
// of the contour lookup), the cursor and, for an analysis view, the visible
// part of its pitch row. Only that copy runs under the edit lock. Then
// paintNoteView turns the scene into lines and points without any lock, so
// the audio thread is never kept waiting while pixels are drawn.
#pragma once

#include "engine/edit_session.h"
#include "model/take_model.h"
#include "toolkit/c_color.h"

#include <array>
#include <cstdint>
#include <vector>

constexpr int kVisibleFrames = 390; // frames a note view shows, x 0 to 389
constexpr int kLastDrawnX = 388; // most steps draw from x 1 or 2 to here
constexpr int kCursorFollowX = 300; // a cursor beyond this scrolls the view along
constexpr int kMaxBeatLines = 1000;
constexpr int kTickHalfLength = 8; // start and end ticks reach 8 pixels above and below
constexpr int kNoteEditorRow = -1; // analysisRow of the note editor

constexpr CColor kExcludedClassColour {120, 30, 30, 0};
constexpr CColor kAllowedClassColour {180, 70, 80, 0};
constexpr CColor kBeatColour {160, 60, 60, 0};
constexpr CColor kNoteColour {230, 200, 200, 255};
constexpr CColor kHoverNoteColour {255, 255, 255, 255};
constexpr CColor kSelectedNoteColour {0, 0, 0, 255};
constexpr CColor kTargetPitchColour {255, 0, 0, 255};
constexpr CColor kBandColour {0, 0, 0, 0};

// One visible note: the frames of its target span inside the view and the
// folded pitch and source voicing at each of them.
struct SceneNote {
    int note = kNone;
    float targetStart = 0.0f;
    float targetEnd = 0.0f;
    int firstFrame = 0; // first drawn frame
    int frameCount = 0; // frames drawn from firstFrame on
    int valueIndex = 0; // where this note's frames start in the scene's value arrays
    float basePitch = 0.0f; // folded pitch, where the ticks sit
    float targetPitch = 0.0f; // pitch + fineTune, where the red bar sits
    bool linkedIn = false; // the contour continues from a linked predecessor
    float linkedInPitch = 0.0f; // folded last pitch of that predecessor
    CColor colour = kNoteColour;
};

struct NoteViewScene {
    NoteViewScene();

    int row = kNoteEditorRow;
    int left = 0; // the view's left coordinate, minus the scroll position
    int top = 0;
    int bottom = 0;
    int scroll = 0; // frame at x 0
    float rowH = 0.0f;
    std::array<int, kPitchClasses> scaleMask {};
    float framesPerBeat = 30.0f;

    bool showCursor = false;
    float cursorX = 0.0f; // cursor frame minus scroll, before any follow scroll

    // Analysis rows: folded pitch and voicing of frame scroll + x, x 0..388.
    std::array<float, kLastDrawnX + 1> curvePitch {};
    std::array<float, kLastDrawnX + 1> curveVoicing {};

    // Note editor: visible notes in index order, their per-frame values.
    std::vector<SceneNote> notes;
    std::vector<float> notePitch; // folded
    std::vector<float> noteVoicing;

    bool showBand = false;
    int bandLeft = 0, bandRight = 0, bandTop = 0, bandBottom = 0;
};

// The drawing calls a scene is made of; the note view forwards them to its
// draw context, tests record them.
class NotePainter {
public:
    virtual ~NotePainter() = default;
    virtual void setPenColour(CColor colour) = 0;
    virtual void moveTo(int x, int y) = 0;
    virtual void lineTo(int x, int y) = 0;
    virtual void drawPoint(int x, int y, CColor colour) = 0;
};

void paintNoteView(const NoteViewScene& scene, NotePainter& painter);

// Where a note's pitch comes from: the memoised contour lookup and the linked
// neighbour, the same ones playback uses.
struct ContourLookup {
    float (*pitchAt)(TakeModel& model, int note, float offset, float* voicing) = nullptr;
    int (*linkedPrevious)(TakeModel& model, int note) = nullptr;
};

// The engine's lookups, as playback uses them.
const ContourLookup& engineContourLookup();

// The view's own state that a draw depends on.
struct NoteViewState {
    int row = kNoteEditorRow;
    int left = 0, top = 0, bottom = 0;
    float framesPerBeat = 30.0f;
    int hoverNote = kNone;
    int bandLeft = -1, bandRight = 0, bandTop = 0, bandBottom = 0;
};

// Fills scene from the model. The edit lock is held only while the scale and
// the notes are copied, in holds of a few lookups each, so that a playing
// audio block never finds it taken for long; the analysis rows and cursors
// are atomics. The notes of one draw may therefore mix two moments of an edit
// made by the audio thread (the MIDI retune), never a half-written lookup.
void captureNoteView(NoteViewScene& scene, const MemoReader& reader, const NoteViewState& view,
    const ContourLookup& lookup);
