// The audio thread plays and records while the user-interface thread edits the
// note table under the edit lock, the way the editor, the chunk restore and
// "transfer >>" do. Run under ThreadSanitizer this shows there is no data race;
// in every build the output stays finite.
#include "engine/contour_lookup.h"
#include "model/segmentation.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"

#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 256;
constexpr int kBlocks = 4000;
constexpr int kSwitchEvery = 25; // blocks between playing and recording

void resetLinks(TakeModel& model)
{
    model.prevNote.fill(kLinkUnresolved);
    model.nextNote.fill(kLinkUnresolved);
}

void deleteNote(TakeModel& model, int note)
{
    for (int i = note; i + 1 < model.noteCount; ++i) {
        NoteArray* fields[] = {&model.targetStart, &model.targetEnd, &model.sourceStart,
            &model.sourceEnd, &model.pitch, &model.fineTune, &model.volume, &model.sourcePitch,
            &model.rawContourDamping, &model.fineContourDamping, &model.vibratoAmplitude,
            &model.vibratoRate, &model.vibratoAttack, &model.blending};
        for (NoteArray* field : fields)
            (*field)[i] = (*field)[i + 1];
        model.sourceRow[i] = model.sourceRow[i + 1];
        model.contour[i] = model.contour[i + 1];
    }
    --model.noteCount;
    model.selectionCount = 0;
    resetLinks(model);
}

void duplicateNote(TakeModel& model, int note)
{
    if (model.noteCount >= kMaxNotes)
        return;
    int m = addNote(model, model.targetStart[note] + 5.0f, model.targetEnd[note] + 5.0f,
        model.sourceStart[note], model.sourceEnd[note]);
    model.pitch[m] = model.pitch[note];
    model.fineTune[m] = model.fineTune[note];
    noteChanged(model, m);
}

// What a chunk restore does: a whole new table and contour rows.
void replaceTable(TakeModel& model, std::mt19937& random)
{
    model.noteCount = 0;
    float start = 0.0f;
    int notes = 5 + static_cast<int>(random() % 40);
    for (int n = 0; n < notes; ++n) {
        float length = 5.0f + static_cast<float>(random() % 60);
        int m = addNote(model, start, start + length);
        model.pitch[m] = static_cast<float>(random() % 20) - 5.0f;
        model.sourcePitch[m] = model.pitch[m] - 0.5f;
        if (random() % 4 == 0)
            model.contour[m][3] = 1000.5f;
        start += length;
    }
    model.selectionCount = 0;
    resetLinks(model);
}

void editOnce(PitchEffect& effect, std::mt19937& random)
{
    TakeModel& model = modelOf(effect);
    EditGuard guard(editLockOf(effect));
    int note = model.noteCount > 0 ? static_cast<int>(random() % model.noteCount) : -1;
    switch (random() % 9) {
    case 0:
        if (note >= 0 && model.noteCount > 1)
            deleteNote(model, note);
        break;
    case 1:
        if (note >= 0)
            duplicateNote(model, note);
        break;
    case 2: // retune
        if (note >= 0) {
            model.pitch[note] = std::round(model.pitch[note] + 1.0f);
            noteChanged(model, note);
        }
        break;
    case 3: // move in time
        if (note >= 0) {
            model.targetStart[note] += 3.0f;
            model.targetEnd[note] += 3.0f;
            noteChanged(model, note);
        }
        break;
    case 4: // attributes
        if (note >= 0) {
            model.vibratoAmplitude[note] = 0.5f;
            model.volume[note] = 1.5f;
            model.blending[note] = 0.9f;
            noteChanged(model, note);
        }
        break;
    case 5: replaceTable(model, random); break;
    case 6:
        if (random() % 8 == 0)
            segmentNotes(model);
        break;
    default: // what a note view copies for drawing
        for (int n = 0; n < model.noteCount && n < 20; ++n)
            for (float x = 0.0f; x < 30.0f; x += 1.0f)
                notePitchAt(model, n, x);
        break;
    }
}

} // namespace

TEST(ConcurrencyStressTest, PlayingAndRecordingWhileTheNoteTableIsEdited)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    TakeModel& model = modelOf(*effect);
    setTrack(model, 0, 3000, 4.0f);
    recordTone(model, 0, 600 * kFrameLength, 4.0f);
    std::atomic<bool> audioDone {false};
    std::atomic<int> nonFinite {0};
    std::atomic<long> sounding {0};

    std::thread audio([&] {
        std::vector<float> in0(kBlock), in1(kBlock), out0(kBlock), out1(kBlock);
        for (int i = 0; i < kBlock; ++i)
            in0[i] = in1[i] = 0.3f * std::sin(0.05f * i);
        float* inputs[2] = {in0.data(), in1.data()};
        float* outputs[2] = {out0.data(), out1.data()};
        for (int block = 0; block < kBlocks; ++block) {
            bool playing = (block / kSwitchEvery) % 2 == 0;
            model.editorPlaying.store(playing);
            model.transportMode.store(playing ? kAutoMode : kForceScan);
            model.heldNotes[0] = (block / 100) % 3 == 0 ? 62 : kNone;
            effect->processReplacing(inputs, outputs, kBlock);
            for (int i = 0; i < kBlock; ++i) {
                nonFinite += !std::isfinite(out0[i]) || !std::isfinite(out1[i]);
                sounding += playing && out0[i] != 0.0f;
            }
        }
        audioDone = true;
    });

    std::mt19937 random(3);
    int edits = 0;
    while (!audioDone.load()) {
        editOnce(*effect, random);
        ++edits;
        if (edits % 50 == 0) // the mode menu and the play command post positions
            model.requestedTakePosition.store(static_cast<int>(random() % 200000));
        // The scan view reads the analysis without the lock.
        float sum = 0.0f;
        for (int f = 0; f < 100; ++f)
            sum += loadRelaxed(model.framePitch[0][f]) + loadRelaxed(model.frameVoicing[0][f]);
        (void)model.playCursor.load();
        (void)model.recordCursor.load();
        model.noteEditorRedrawRequested.exchange(false);
        model.scanViewRedrawRequested.exchange(false);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    audio.join();

    EXPECT_EQ(nonFinite.load(), 0);
    EXPECT_GT(edits, 10);
    EXPECT_GT(sounding.load(), 0);
    EXPECT_LT(effect->silencedBlockCount(), kBlocks / 2);
}
