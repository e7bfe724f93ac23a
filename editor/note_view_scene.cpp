#include "editor/note_view_scene.h"

#include "editor/note_geometry.h"
#include "engine/contour_lookup.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kCursorTop = 1;
constexpr int kGridLeft = 1;

void paintGrid(const NoteViewScene& scene, NotePainter& painter)
{
    // Line p lies on pitch class 12 - p; the scale decides its shade.
    for (int p = 1; p <= kPitchClasses; ++p) {
        bool allowed = scene.scaleMask[kPitchClasses - p] == 0; // non-zero: excluded
        painter.setPenColour(allowed ? kAllowedClassColour : kExcludedClassColour);
        int y = static_cast<int>(scene.top + p * scene.rowH);
        painter.moveTo(kGridLeft, y);
        painter.lineTo(kLastDrawnX, y);
    }

    // Beat lines fall on frames k * framesPerBeat of the take, k = 1, 2, ...
    painter.setPenColour(kBeatColour);
    float x = static_cast<float>(scene.left);
    for (int count = 0; x < kLastDrawnX;) {
        x += scene.framesPerBeat;
        if (++count > kMaxBeatLines)
            break;
        if (x > 0.0f && x < kVisibleFrames) {
            int lineX = static_cast<int>(x);
            painter.moveTo(lineX, scene.top);
            painter.lineTo(lineX, scene.bottom);
        }
    }
}

void paintCursor(const NoteViewScene& scene, NotePainter& painter)
{
    if (!scene.showCursor || !(scene.cursorX >= 2.0f && scene.cursorX <= kLastDrawnX))
        return;
    int x = static_cast<int>(scene.cursorX);
    painter.setPenColour(kBeatColour);
    painter.moveTo(x, kCursorTop);
    painter.lineTo(x, kLastDrawnX);
}

uint8_t grey(float voicing)
{
    int g = static_cast<int>(voicing * 255.0f);
    return static_cast<uint8_t>(g < 0 ? 0 : g > 255 ? 255 : g);
}

// The measured pitch, one pixel per frame; unvoiced stretches are gaps and a
// jump of two semitones or more starts a new stroke.
void paintCurve(const NoteViewScene& scene, NotePainter& painter)
{
    painter.setPenColour(kWhiteCColor);
    painter.moveTo(1, foldedPitchY(scene.curvePitch[1], scene.rowH));
    float previous = 0.0f;
    for (int x = 2; x <= kLastDrawnX; ++x) {
        float voicing = scene.curveVoicing[x];
        uint8_t g = grey(voicing);
        float current = scene.curvePitch[x];
        painter.setPenColour(CColor {g, g, g, 255});
        int y = foldedPitchY(current, scene.rowH);
        if (x > 2 && std::fabs(current - previous) < 2.0f && g > 0
            && scene.curveVoicing[x - 1] > 0.0f)
            painter.lineTo(x, y);
        else
            painter.moveTo(x, y);
        previous = current;
    }
}

void paintTick(const NoteViewScene& scene, NotePainter& painter, int x, float basePitch)
{
    painter.setPenColour(kBlackCColor);
    painter.moveTo(x, foldedPitchY(basePitch, scene.rowH, -kTickHalfLength));
    painter.lineTo(x, foldedPitchY(basePitch, scene.rowH, kTickHalfLength));
}

void paintNotes(const NoteViewScene& scene, NotePainter& painter)
{
    float current = 0.0f;
    for (const SceneNote& note : scene.notes) {
        bool first = true;
        int targetPitchY = pitchY(note.targetPitch, scene.rowH);
        for (int k = 0; k < note.frameCount; ++k) {
            int f = note.firstFrame + k;
            int x = f - scene.scroll;
            float previous = current;
            current = scene.notePitch[note.valueIndex + k];
            float voiced = scene.noteVoicing[note.valueIndex + k];
            painter.setPenColour(note.colour);
            bool atStart = static_cast<float>(f) == note.targetStart;
            if (atStart && note.linkedIn) {
                // Continue from the last point of the linked predecessor.
                previous = note.linkedInPitch;
                painter.moveTo(x - 1, foldedPitchY(previous, scene.rowH));
                first = false;
            }
            int y = foldedPitchY(current, scene.rowH);
            if (std::fabs(current - previous) < 2.0f && voiced > 0.0f && !first)
                painter.lineTo(x, y);
            else
                painter.moveTo(x, y);
            first = false;
            painter.drawPoint(x, targetPitchY, kTargetPitchColour);
            if (atStart) {
                paintTick(scene, painter, x, note.basePitch);
                painter.moveTo(x, y);
            }
            if (static_cast<float>(f) == note.targetEnd - 1.0f)
                paintTick(scene, painter, x + 1, note.basePitch);
        }
    }
}

void paintBand(const NoteViewScene& scene, NotePainter& painter)
{
    int left = scene.bandLeft - scene.scroll;
    int right = scene.bandRight - scene.scroll;
    painter.setPenColour(kBandColour);
    painter.moveTo(left, scene.bandTop);
    painter.lineTo(right, scene.bandTop);
    painter.lineTo(right, scene.bandBottom);
    painter.lineTo(left, scene.bandBottom);
    painter.lineTo(left, scene.bandTop);
}

float finiteOr(float value, float fallback) { return std::isfinite(value) ? value : fallback; }

void captureCurve(NoteViewScene& scene, const TakeModel& model)
{
    const FrameRow& pitches = model.framePitch[static_cast<std::size_t>(scene.row)];
    const FrameRow& voicings = model.frameVoicing[static_cast<std::size_t>(scene.row)];
    for (int x = 0; x <= kLastDrawnX; ++x) {
        int f = scene.scroll + x;
        bool inRow = f >= 0 && f < kFrameCapacity;
        float pitch = inRow ? loadRelaxed(pitches[static_cast<std::size_t>(f)]) : kUnvoicedPitch;
        float voicing = inRow ? loadRelaxed(voicings[static_cast<std::size_t>(f)]) : 0.0f;
        scene.curvePitch[static_cast<std::size_t>(x)] = foldToOctave(pitch);
        scene.curveVoicing[static_cast<std::size_t>(x)] = finiteOr(voicing, 0.0f);
    }
}

// Frames of one note looked up per hold of the edit lock. A playing audio
// block gives up on the lock after a short bounded retry and goes out
// silent, so every hold here stays far shorter than that retry, even with a
// cold memo.
constexpr int kFramesPerHold = 4;

struct NoteSpan {
    float start, end;
};

// Appends note i when part of its target span is visible, with the folded
// pitch and the voicing the lookup reports at every visible frame.
void captureNote(NoteViewScene& scene, const MemoReader& reader, const ContourLookup& lookup, int i,
    NoteSpan span, CColor colour)
{
    int visibleEnd = scene.scroll + kVisibleFrames;
    if (!(span.start < visibleEnd && span.end > scene.scroll))
        return;
    int first = span.start < scene.scroll + 1 ? scene.scroll + 1 : static_cast<int>(span.start);
    SceneNote note;
    note.note = i;
    note.targetStart = span.start;
    note.targetEnd = span.end;
    note.firstFrame = first;
    note.valueIndex = static_cast<int>(scene.notePitch.size());
    note.colour = colour;
    for (int f = first; f < span.end && f < visibleEnd;) {
        // Looked up into locals and stored after the hold, so that the first
        // touch of the scene's pages never happens while the lock is held.
        float pitches[kFramesPerHold];
        float voicings[kFramesPerHold];
        int count = 0;
        reader([&](TakeModel& model) {
            for (; count < kFramesPerHold && f < span.end && f < visibleEnd; ++count, ++f) {
                voicings[count] = 0.0f; // a lookup that reports nothing counts as unvoiced
                pitches[count] = lookup.pitchAt(
                    model, i, static_cast<float>(f) - span.start, &voicings[count]);
            }
        });
        for (int k = 0; k < count; ++k) {
            scene.notePitch.push_back(foldToOctave(pitches[k]));
            scene.noteVoicing.push_back(finiteOr(voicings[k], 0.0f));
        }
        note.frameCount += count;
    }
    if (note.frameCount == 0)
        return;
    reader([&](TakeModel& model) {
        // The first lookup measures a fresh note's pitch, so read it only now.
        note.basePitch = foldToOctave(model.pitch[static_cast<std::size_t>(i)]);
        note.targetPitch = model.pitch[static_cast<std::size_t>(i)]
            + model.fineTune[static_cast<std::size_t>(i)];
        if (static_cast<float>(first) != span.start)
            return;
        int k = lookup.linkedPrevious(model, i);
        if (k >= 0 && k < model.noteCount) {
            float length = model.targetEnd[static_cast<std::size_t>(k)]
                - model.targetStart[static_cast<std::size_t>(k)];
            float unused = 0.0f;
            note.linkedIn = true;
            note.linkedInPitch = foldToOctave(lookup.pitchAt(model, k, length - 1.0f, &unused));
        }
    });
    scene.notes.push_back(note);
}

void captureNotes(
    NoteViewScene& scene, const MemoReader& reader, const ContourLookup& lookup, int hoverNote)
{
    std::array<bool, kMaxNotes> selected {};
    std::array<NoteSpan, kMaxNotes> spans;
    int noteCount = 0;
    reader([&](const TakeModel& model) {
        int selectionCount = std::clamp(model.selectionCount, 0, kMaxSelection);
        for (int s = 0; s < selectionCount; ++s) {
            int note = model.selection[static_cast<std::size_t>(s)];
            if (note >= 0 && note < kMaxNotes)
                selected[static_cast<std::size_t>(note)] = true;
        }
        noteCount = std::clamp(model.noteCount, 0, kMaxNotes);
        for (int i = 0; i < noteCount; ++i)
            spans[static_cast<std::size_t>(i)] = {model.targetStart[static_cast<std::size_t>(i)],
                model.targetEnd[static_cast<std::size_t>(i)]};
    });
    for (int i = 0; i < noteCount; ++i) {
        CColor colour = i == hoverNote ? kHoverNoteColour : kNoteColour;
        if (selected[static_cast<std::size_t>(i)])
            colour = kSelectedNoteColour;
        captureNote(scene, reader, lookup, i, spans[static_cast<std::size_t>(i)], colour);
    }
}

float engineNotePitch(TakeModel& model, int note, float offset, float* voicing)
{
    return notePitchAt(model, note, offset, voicing, false);
}

} // namespace

const ContourLookup& engineContourLookup()
{
    static constexpr ContourLookup lookup {engineNotePitch, linkedPrevious};
    return lookup;
}

void captureNoteView(NoteViewScene& scene, const MemoReader& reader, const NoteViewState& view,
    const ContourLookup& lookup)
{
    const TakeModel& model = reader.unlocked();
    scene.row = view.row;
    scene.left = view.left;
    scene.top = view.top;
    scene.bottom = view.bottom;
    scene.scroll = -view.left;
    scene.rowH = rowHeight(view.bottom - view.top);
    scene.framesPerBeat = view.framesPerBeat;
    scene.notes.clear();
    scene.notePitch.clear();
    scene.noteVoicing.clear();

    float cursor = -1.0f;
    if (view.row == 0)
        cursor = model.recordCursor.load(std::memory_order_relaxed);
    else if (view.row == kNoteEditorRow)
        cursor = model.playCursor.load(std::memory_order_relaxed);
    scene.showCursor = cursor > -1.0f && std::isfinite(cursor);
    scene.cursorX = scene.showCursor ? cursor - static_cast<float>(scene.scroll) : 0.0f;

    scene.showBand = view.row == kNoteEditorRow && view.bandLeft >= 0;
    scene.bandLeft = view.bandLeft;
    scene.bandRight = view.bandRight;
    scene.bandTop = view.bandTop;
    scene.bandBottom = view.bandBottom;

    // The recorded rows are written by the audio thread alone and read
    // through relaxed atomics; they need no lock.
    if (view.row >= 0 && view.row < kAnalysisRows)
        captureCurve(scene, model);

    reader([&](const TakeModel& locked) { scene.scaleMask = locked.scaleMask; });
    if (view.row == kNoteEditorRow && lookup.pitchAt && lookup.linkedPrevious)
        captureNotes(scene, reader, lookup, view.hoverNote);
}

NoteViewScene::NoteViewScene()
{
    notes.reserve(kMaxNotes);
    notePitch.reserve(static_cast<std::size_t>(kMaxNotes) * kVisibleFrames);
    noteVoicing.reserve(static_cast<std::size_t>(kMaxNotes) * kVisibleFrames);
}

void paintNoteView(const NoteViewScene& scene, NotePainter& painter)
{
    paintGrid(scene, painter);
    paintCursor(scene, painter);
    if (scene.row == kNoteEditorRow)
        paintNotes(scene, painter);
    else
        paintCurve(scene, painter);
    if (scene.showBand)
        paintBand(scene, painter);
}
