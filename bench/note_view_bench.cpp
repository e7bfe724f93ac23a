// A full redraw of the note editor with 1,000 notes, of which the visible ones
// fill the view, and of the "SCAN" view with a voiced pitch track; the
// contour memo is warm (the first draw fills it).
#include "editor/note_scroll_view.h"
#include "editor/pitch_editor.h"
#include "shell/pitch_effect.h"
#include "tests/support/effect_internals.h"
#include "toolkit/c_frame.h"
#include "toolkit/offscreen_platform.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

namespace {

constexpr int kNoteFrames = 10; // 1,000 notes of 10 frames cover the take's 10,000

struct OpenEditor {
    OpenEditor()
        : effect(std::make_unique<PitchEffect>(nullptr))
        , editor(new PitchEditor(effect.get(), &platform))
    {
        TakeModel& model = modelOf(*effect);
        for (int f = 0; f < kAnalysedFrames; ++f) {
            model.framePitch[0][f] = 5.0f + 0.4f * std::sin(0.3f * f);
            model.frameVoicing[0][f] = 0.7f;
        }
        for (int i = 0; i < kMaxNotes; ++i) {
            float start = static_cast<float>(i * kNoteFrames);
            model.targetStart[i] = model.sourceStart[i] = start;
            model.targetEnd[i] = model.sourceEnd[i] = start + kNoteFrames;
            model.sourceRow[i] = 0;
            model.pitch[i] = model.sourcePitch[i] = kPitchUnset;
            model.volume[i] = 1.0f;
            model.vibratoRate[i] = 0.4f;
            model.blending[i] = 0.5f;
            model.prevNote[i] = model.nextNote[i] = kLinkUnresolved;
        }
        model.noteCount = kMaxNotes;
        editor->open(&platform);
        editor->idle(); // first paint; fills the memo of the visible notes
        editor->noteEditorScrollView->scrollToFrame(5000);
        editor->scanScrollView->scrollToFrame(5000);
        editor->idle();
    }
    ~OpenEditor() { editor->close(); }

    OffscreenPlatform platform;
    std::unique_ptr<PitchEffect> effect;
    PitchEditor* editor; // owned by the effect
};

void BM_NoteEditorFullDraw(benchmark::State& state)
{
    OpenEditor open;
    for (auto _ : state) {
        open.editor->noteEditorScrollView->setDirty(true);
        open.editor->idle();
    }
    state.SetLabel("1,000 notes, the visible ones filling the view");
}
BENCHMARK(BM_NoteEditorFullDraw)->Unit(benchmark::kMillisecond);

void BM_ScanViewFullDraw(benchmark::State& state)
{
    OpenEditor open;
    for (auto _ : state) {
        open.editor->scanScrollView->setDirty(true);
        open.editor->idle();
    }
}
BENCHMARK(BM_ScanViewFullDraw)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
