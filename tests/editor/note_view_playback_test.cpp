// Drawing the note editor while the audio thread plays the same notes.
#include "editor/note_view_scene.h"
#include "melody_helpers.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kBlockPeriod = std::chrono::microseconds(11610); // 512 samples at 44.1 kHz

class NullPainter : public NotePainter {
public:
    void setPenColour(CColor) override { }
    void moveTo(int, int) override { }
    void lineTo(int, int) override { }
    void drawPoint(int, int, CColor) override { }
};

// The audio thread runs blocks at the pace of a real device while the
// interface thread redraws the visible notes at a host's idle rate,
// starting with a cold contour memo. No block may be silenced.
TEST(NoteViewPlaybackTest, RedrawingDuringPlaybackSilencesNoBlock)
{
    auto effect = std::make_unique<PitchEffect>(nullptr);
    recordAndSegmentMelody(*effect, testMelody());
    ASSERT_GT(effect->takeModel().noteCount, 2);
    modelOf(*effect).takePosition = 0;
    modelOf(*effect).editorPlaying = true;

    std::atomic<bool> stop {false};
    std::thread audio([&] {
        auto next = Clock::now();
        for (int block = 0; block < 250 && !stop; ++block) {
            processSilentBlock(*effect);
            next += kBlockPeriod;
            std::this_thread::sleep_until(next);
        }
        stop = true;
    });

    auto scene = std::make_unique<NoteViewScene>();
    NullPainter painter;
    NoteViewState state;
    state.bottom = 330;
    int draws = 0;
    while (!stop) {
        // Scroll across the take so that cold parts of the memo come into view.
        state.left = -(draws * 7 % 300);
        captureNoteView(*scene, effect->session().memoReader(), state, engineContourLookup());
        paintNoteView(*scene, painter);
        ++draws;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    audio.join();
    EXPECT_GT(draws, 50);
#if !defined(__SANITIZE_THREAD__)
    // Under the thread sanitizer every access is instrumented and a redraw's
    // short holds of the lock outlast the audio thread's brief retry; there
    // the test shows only that drawing and playing share the notes safely.
    EXPECT_EQ(effect->silencedBlockCount(), 0);
#endif
}

} // namespace
