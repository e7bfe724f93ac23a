// The edit session's undo history: every operation is one step that undoes to
// the bytes from before and redoes to the bytes from after, a drag is one
// step, random histories match a replay from scratch, and the history keeps
// to its memory budget.
#include "editing/note_gestures.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"
#include "engine/edit_session.h"
#include "shell/pitch_effect.h"
#include "support/chunk_support.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"

#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A phrase as it is sung: notes of uneven length on a pitch track that glides
// into each note and wavers with vibrato, some notes joined seamlessly, some
// apart after a breath.
struct SungNote {
    float start;
    float end;
    float pitch;
};
constexpr SungNote kPhrase[] = {{10, 40, 2.0f}, {40, 52, 4.0f}, {52, 90, 5.0f}, {100, 118, 7.0f},
    {118, 170, 5.2f}, {180, 188, 9.0f}, {188, 240, 0.8f}};
constexpr float kVibratoDepth = 0.3f; // semitones
constexpr float kVibratoFramesPerCycle = 15.0f;
constexpr int kGlideFrames = 4;
constexpr float kDrawnOffset = 1.0f;

void singPhrase(TakeModel& model)
{
    float previous = kPhrase[0].pitch;
    for (const SungNote& note : kPhrase) {
        for (int f = static_cast<int>(note.start); f < static_cast<int>(note.end); ++f) {
            const float into = static_cast<float>(f) - note.start;
            const float glide = into < kGlideFrames
                ? (previous - note.pitch) * (1.0f - into / kGlideFrames)
                : 0.0f;
            const float vibrato
                = kVibratoDepth * std::sin(6.2831853f * into / kVibratoFramesPerCycle);
            setTrack(model, f, f + 1, note.pitch + glide + vibrato);
        }
        previous = note.pitch;
        addNote(model, note.start, note.end);
    }
    recordTone(model, 0, static_cast<int>(kPhrase[6].end) * kFrameLength, 2.0f);
}

std::unique_ptr<PitchEffect> sungEffect()
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    singPhrase(modelOf(*effect));
    // A few points drawn over note 3, for the eraser.
    for (int j = 2; j < 9; ++j)
        modelOf(*effect).contour[3][j] = kDrawnPointBase + kDrawnOffset;
    modelOf(*effect).selection[0] = 1;
    modelOf(*effect).selection[1] = 4;
    modelOf(*effect).selectionCount = 2;
    return effect;
}

// What an undo must give back: the chunk the host would save, and the
// selection, which the chunk does not hold.
std::vector<unsigned char> editBytes(PitchEffect& effect)
{
    std::vector<unsigned char> bytes = savedChunk(effect);
    const TakeModel& model = effect.takeModel();
    const auto* selection = reinterpret_cast<const unsigned char*>(model.selection.data());
    bytes.insert(bytes.end(), selection,
        selection + static_cast<std::size_t>(model.selectionCount) * sizeof(int));
    bytes.push_back(static_cast<unsigned char>(model.selectionCount));
    return bytes;
}

struct Operation {
    const char* name;
    std::function<void(EditSession&)> apply;
};

const Operation kOperations[] = {
    {"transfer", [](EditSession& s) { s.transfer(); }},
    {"tune", [](EditSession& s) { s.tuneSelectedNotes(); }},
    {"scale", [](EditSession& s) { s.setScale(kMajorScale, 2); }},
    {"toggleClass", [](EditSession& s) { s.togglePitchClass(3); }},
    {"deleteNote", [](EditSession& s) { s.deleteNote(2); }},
    {"deleteSelected", [](EditSession& s) { s.deleteSelectedNotes(); }},
    {"duplicate", [](EditSession& s) { s.duplicateSelectedNotes(); }},
    {"selectAll", [](EditSession& s) { s.selectAllNotes(); }},
    {"selectNone", [](EditSession& s) { s.clearSelection(); }},
    {"selectBatch", [](EditSession& s) { s.selectNotes(2, 3); }},
    {"selectBand", [](EditSession& s) { s.selectNotesInBand(45, 110); }},
    {"grab", [](EditSession& s) { s.grabNote(5, nullptr); }},
    {"noteSetting", [](EditSession& s) { s.setNoteSetting(NoteSetting::vibratoAmplitude, 0.7f); }},
    {"measure", [](EditSession& s) { s.measureNotes(); }},
    {"transpose", [](EditSession& s) { s.transposeAllNotes(-3); }},
    {"movePitch", [](EditSession& s) { s.shiftSelectedPitches(1, 2); }},
    {"moveTime", [](EditSession& s) { s.shiftSelectedNotesInTime(1, 6.0f); }},
    {"split", [](EditSession& s) { s.splitNoteAt(70); }},
    {"join", [](EditSession& s) { s.joinNoteAt(20); }},
    {"stretch",
        [](EditSession& s) {
            s.clearSelection();
            s.stretchNote(0, kRightEdgeZone, 3.0f, false);
        }},
    {"trim",
        [](EditSession& s) {
            s.clearSelection();
            s.stretchNote(6, kLeftEdgeZone, -2.0f, true);
        }},
    {"draw", [](EditSession& s) { s.drawContour(2, 5, 20, 6.5f); }},
    {"erase", [](EditSession& s) { s.eraseContour(3, 0, 12); }},
    {"formantMode", [](EditSession& s) { s.setFormantMode(kFormantsKept); }},
    {"chunkThenEdit",
        [](EditSession& s) {
            s.setNoteSetting(NoteSetting::volume, 0.2f);
            s.tuneSelectedNotes();
        }},
};

class OperationHistoryTest : public ::testing::TestWithParam<Operation> { };

// Operations of two calls ("stretch" after emptying the selection) are two
// steps; the table's last call is what undo and redo are checked against.
TEST_P(OperationHistoryTest, UndoGivesTheBytesFromBeforeAndRedoTheBytesFromAfter)
{
    auto effect = sungEffect();
    EditSession& session = effect->session();
    const Operation& operation = GetParam();
    operation.apply(session);
    ASSERT_TRUE(session.undo());
    const std::vector<unsigned char> before = editBytes(*effect);
    ASSERT_TRUE(session.redo());
    const std::vector<unsigned char> after = editBytes(*effect);
    ASSERT_NE(before, after) << operation.name << " changed nothing";

    EXPECT_TRUE(session.undo());
    EXPECT_EQ(editBytes(*effect), before);
    EXPECT_TRUE(session.redo());
    EXPECT_EQ(editBytes(*effect), after);
    EXPECT_FALSE(session.redo());
}

INSTANTIATE_TEST_SUITE_P(EveryKind, OperationHistoryTest, ::testing::ValuesIn(kOperations),
    [](const ::testing::TestParamInfo<Operation>& info) { return std::string(info.param.name); });

TEST(EditSessionTest, EachOperationIsOneStepAndUndoesToTheStartingBytes)
{
    auto effect = sungEffect();
    EditSession& session = effect->session();
    const std::vector<unsigned char> start = editBytes(*effect);
    session.deleteNote(0);
    session.tuneSelectedNotes();
    session.setFormantMode(kFormantsKept);
    EXPECT_EQ(session.editHistory().stepCount(), 3u);
    while (session.undo()) { }
    EXPECT_EQ(editBytes(*effect), start);
    EXPECT_EQ(effect->formantMode(), kFormantsMove);
}

TEST(EditSessionTest, ADragOfFiftyEventsIsOneStep)
{
    auto effect = sungEffect();
    EditSession& session = effect->session();
    const std::vector<unsigned char> start = editBytes(*effect);
    session.beginGesture();
    session.grabNote(4, nullptr);
    for (int event = 0; event < 50; ++event) {
        if (event % 2 == 0)
            session.shiftSelectedPitches(4, event % 4 == 0 ? 1 : -1);
        else
            session.setNoteSetting(NoteSetting::fineTuning, static_cast<float>(event) / 50.0f);
    }
    session.endGesture();
    const std::vector<unsigned char> dragged = editBytes(*effect);
    ASSERT_NE(dragged, start);
    EXPECT_EQ(session.editHistory().stepCount(), 1u);
    EXPECT_TRUE(session.undo());
    EXPECT_EQ(editBytes(*effect), start);
    EXPECT_FALSE(session.undo());
    EXPECT_TRUE(session.redo());
    EXPECT_EQ(editBytes(*effect), dragged);
}

TEST(EditSessionTest, UndoIsRefusedWhileADragRuns)
{
    auto effect = sungEffect();
    EditSession& session = effect->session();
    session.tuneSelectedNotes();
    session.beginGesture();
    session.shiftSelectedPitches(1, 2);
    EXPECT_FALSE(session.undo());
    session.endGesture();
    EXPECT_EQ(session.editHistory().stepCount(), 2u);
}

TEST(EditSessionTest, ANewChangeDropsTheRedoAndARestoredChunkStartsANewHistory)
{
    auto effect = sungEffect();
    EditSession& session = effect->session();
    session.tuneSelectedNotes();
    session.deleteNote(1);
    ASSERT_TRUE(session.undo());
    EXPECT_TRUE(session.canRedo());
    session.togglePitchClass(0);
    EXPECT_FALSE(session.canRedo());
    EXPECT_TRUE(session.canUndo());

    const std::vector<unsigned char> chunk = savedChunk(*effect);
    AEffect* aeffect = effect->getAeffect();
    aeffect->dispatcher(aeffect, effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()),
        const_cast<unsigned char*>(chunk.data()), 0.0f);
    EXPECT_FALSE(session.canUndo());
    EXPECT_FALSE(session.canRedo());
}

constexpr int kFewestNotes = 4; // below this, random edits delete no more notes
constexpr int kMostNotes = 60; // above this, they duplicate no more

// One random edit of the table as it is now; the same seed gives the same
// edit on the same table.
void randomEdit(EditSession& session, std::mt19937& random)
{
    const int notes = session.read([](const TakeModel& m) { return m.noteCount; });
    std::uniform_int_distribution<int> frame(0, 250);
    std::uniform_int_distribution<int> note(0, std::max(0, notes - 1));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    switch (std::uniform_int_distribution<int>(0, 19)(random)) {
    case 0: session.tuneSelectedNotes(); break;
    case 1: session.setScale(kMinorScale, note(random) % kPitchClasses); break;
    case 2: session.togglePitchClass(note(random) % kPitchClasses); break;
    case 3: session.deleteNote(notes > kFewestNotes ? note(random) : kNone); break;
    case 4:
    case 5:
        if (notes < kMostNotes)
            session.duplicateSelectedNotes();
        break;
    case 6: session.selectNotesInBand(frame(random) / 2, 125 + frame(random) / 2); break;
    case 7: session.grabNote(note(random), nullptr); break;
    case 8:
        session.setNoteSetting(
            static_cast<NoteSetting>(note(random) % kNoteSettingCount), unit(random));
        break;
    case 9: session.shiftSelectedPitches(note(random), note(random) % 5 - 2); break;
    case 10: session.shiftSelectedNotesInTime(note(random), unit(random) * 8.0f - 4.0f); break;
    case 11:
    case 12: session.splitNoteAt(frame(random)); break;
    case 13: session.joinNoteAt(notes > kFewestNotes ? frame(random) : kNone); break;
    case 14: {
        const int g = note(random);
        session.stretchNote(g, note(random) % 2 == 0 ? kLeftEdgeZone : kRightEdgeZone,
            unit(random) * 6.0f - 3.0f, unit(random) < 0.5f);
        break;
    }
    case 15: {
        const int a = frame(random) % 60;
        session.drawContour(note(random), a, a + 10, unit(random) * 12.0f);
        break;
    }
    case 16: session.eraseContour(note(random), 0, frame(random) % 40); break;
    case 17: session.selectAllNotes(); break;
    case 18: session.clearSelection(); break;
    default: session.setFormantMode(unit(random) < 0.5f ? kFormantsKept : kFormantsMove); break;
    }
}

TEST(EditSessionTest, RandomEditsUndosAndRedosMatchAReplayOfTheHistoryFromScratch)
{
    auto effect = sungEffect();
    const std::vector<unsigned char> startChunk = savedChunk(*effect);
    EditSession& session = effect->session();
    // Both start from the same restored chunk: no links, no selection.
    ASSERT_TRUE(session.restoreChunk(startChunk.data(), startChunk.size()));

    // The seeds of the edits the history holds now, and those undone.
    std::vector<unsigned> done;
    std::vector<unsigned> undone;
    std::mt19937 random(20261209);
    for (int step = 0; step < 500; ++step) {
        const int choice = std::uniform_int_distribution<int>(0, 9)(random);
        if (choice < 2 && session.canUndo()) {
            ASSERT_TRUE(session.undo());
            undone.push_back(done.back());
            done.pop_back();
        } else if (choice < 3 && session.canRedo()) {
            ASSERT_TRUE(session.redo());
            done.push_back(undone.back());
            undone.pop_back();
        } else {
            const unsigned seed = static_cast<unsigned>(random());
            const std::size_t steps = session.editHistory().stepsRecorded();
            std::mt19937 edit(seed);
            randomEdit(session, edit);
            if (session.editHistory().stepsRecorded() != steps) {
                done.push_back(seed);
                undone.clear();
            }
        }
        auto reference = sungEffect();
        EditSession& replay = reference->session();
        ASSERT_TRUE(replay.restoreChunk(startChunk.data(), startChunk.size()));
        for (unsigned seed : done) {
            std::mt19937 edit(seed);
            randomEdit(replay, edit);
        }
        ASSERT_EQ(editBytes(*effect), editBytes(*reference)) << "after step " << step;
    }
}

TEST(EditSessionTest, AThousandStepsOnAThousandNotesStayWithinTheBudget)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    TakeModel& model = modelOf(*effect);
    for (int n = 0; n < kMaxNotes; ++n) {
        addNote(model, static_cast<float>(8 * n), static_cast<float>(8 * n + 8));
        model.pitch[n] = static_cast<float>(n % 24);
        model.contour[n].fill(static_cast<float>(n % 24));
    }
    EditSession& session = effect->session();
    std::mt19937 random(1000);
    std::uniform_int_distribution<int> note(0, kMaxNotes - 1);
    std::size_t largestHeld = 0;
    for (int step = 0; step < 1000; ++step) {
        switch (step % 5) {
        case 0: session.grabNote(note(random), nullptr); break;
        case 1: session.shiftSelectedPitches(note(random), 1); break;
        case 2:
            session.setNoteSetting(NoteSetting::volume, static_cast<float>(step % 7) / 7.0f);
            break;
        case 3: session.tuneSelectedNotes(); break;
        // The costliest kind: every later note moves down by one.
        default: session.deleteNote(note(random) % 10); break;
        }
        largestHeld = std::max(largestHeld, session.editHistory().bytesHeld());
    }
    EXPECT_LE(largestHeld, kHistoryBudgetBytes);
    EXPECT_GE(session.editHistory().stepCount(), 200u);
}

} // namespace

// The editor's idle takes each redraw request once: what was asked, for the
// views it was asked for, and nothing on the next idle.
TEST(EditSessionTest, RedrawRequestsAreTakenOnceEach)
{
    struct Case {
        bool noteEditor;
        bool scanView;
    };
    const Case cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
    auto effect = std::make_unique<PitchEffect>(nullptr);
    addNote(modelOf(*effect), 10.0f, 40.0f);
    EditSession& session = effect->session();
    session.takeRedrawRequests();
    for (const Case& c : cases) {
        if (c.noteEditor)
            session.requestNoteEditorRedraw();
        if (c.scanView)
            session.requestScanViewRedraw();
        const EditSession::RedrawRequests taken = session.takeRedrawRequests();
        EXPECT_EQ(taken.noteEditor, c.noteEditor);
        EXPECT_EQ(taken.scanView, c.scanView);
        const EditSession::RedrawRequests again = session.takeRedrawRequests();
        EXPECT_FALSE(again.noteEditor || again.scanView);
    }
    // A change of the edit asks for the note editor by itself.
    session.transposeAllNotes(1);
    EXPECT_TRUE(session.takeRedrawRequests().noteEditor);
}
