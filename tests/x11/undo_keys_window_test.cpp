// Undo and redo as a user reaches them in the real window: a slider click
// changes the edit, Ctrl+Z typed over the editor takes it back byte for byte,
// and Ctrl+Shift+Z passed on by the host through effEditKeyDown brings it
// back again.
#include "editor/pitch_editor.h"
#include "host/test_host.h"
#include "persistence/chunk_format.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/note_table_helpers.h"
#include "toolkit/c_slider.h"
#include "x11_display.h"

#include <chrono>
#include <functional>
#include <vector>

namespace {

using std::chrono::seconds;

constexpr int kVolumeSlider = 1; // of the editor's note sliders
constexpr float kSliderClickFraction = 0.8f; // of the slider's width, from its left

// Notes of a short sung phrase, with breaths between some of them.
struct PhraseNote {
    float start;
    float end;
    float pitch;
};
constexpr PhraseNote kPhrase[]
    = {{12, 48, 7.0f}, {48, 70, 9.0f}, {80, 130, 5.0f}, {138, 150, 4.0f}};

std::vector<unsigned char> phraseChunk()
{
    auto model = makeModel();
    for (const PhraseNote& note : kPhrase) {
        const int n = addNote(*model, note.start, note.end);
        model->pitch[static_cast<std::size_t>(n)] = note.pitch;
    }
    std::vector<unsigned char> chunk(chunkSize(model->noteCount));
    writeChunk(*model, chunk.data());
    return chunk;
}

std::vector<unsigned char> hostChunk(AEffect* effect)
{
    void* data = nullptr;
    const auto size = TestHost::dispatch(effect, effGetChunk, 0, 0, &data);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return size > 0 && bytes ? std::vector<unsigned char>(bytes, bytes + size)
                             : std::vector<unsigned char> {};
}

class UndoKeysWindowTest : public X11Display {
protected:
    // Idles the editor until done holds or the patience runs out.
    bool idleUntil(AEffect* effect, const std::function<bool()>& done)
    {
        return within([&] { TestHost::dispatch(effect, effEditIdle); }, done);
    }
};

TEST_F(UndoKeysWindowTest, CtrlZOverTheEditorUndoesASliderClickAndTheHostsCtrlShiftZRedoesIt)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    std::vector<unsigned char> phrase = phraseChunk();
    ASSERT_EQ(TestHost::dispatch(
                  effect, effSetChunk, 0, static_cast<VstIntPtr>(phrase.size()), phrase.data()),
        static_cast<VstIntPtr>(phrase.size()));
    auto* core = static_cast<PitchEffect*>(AudioEffect::fromAeffect(effect));
    core->session().selectAllNotes();

    Window hostWindow = makeHostWindow(0, 0, kEditorWidth, kEditorHeight);
    ASSERT_EQ(
        TestHost::dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(hostWindow)), 1);
    ASSERT_TRUE(idleUntil(effect, [&] {
        std::vector<Window> inside = children(hostWindow);
        return !inside.empty() && isViewable(inside.front());
    }));
    auto* editor = static_cast<PitchEditor*>(core->getEditor());
    ASSERT_NE(editor->noteSliders[kVolumeSlider], nullptr);
    const CRect slider = editor->noteSliders[kVolumeSlider]->getViewSize();
    int originX = 0, originY = 0;
    Window child = 0;
    XTranslateCoordinates(
        dpy, hostWindow, DefaultRootWindow(dpy), 0, 0, &originX, &originY, &child);

    const std::vector<unsigned char> before = hostChunk(effect);
    clickAt(dpy, originX + slider.left + static_cast<int>(kSliderClickFraction * slider.width()),
        originY + (slider.top + slider.bottom) / 2);
    ASSERT_TRUE(idleUntil(effect, [&] { return hostChunk(effect) != before; }))
        << "the slider click changed nothing";
    const std::vector<unsigned char> after = hostChunk(effect);

    // Ctrl+Z with the pointer over the note editor.
    movePointer(dpy, originX + 600, originY + 200);
    const KeyCode control = XKeysymToKeycode(dpy, XK_Control_L);
    const KeyCode z = XKeysymToKeycode(dpy, XK_z);
    XTestFakeKeyEvent(dpy, control, True, 0);
    XTestFakeKeyEvent(dpy, z, True, 0);
    XTestFakeKeyEvent(dpy, z, False, 0);
    XTestFakeKeyEvent(dpy, control, False, 0);
    XSync(dpy, False);
    EXPECT_TRUE(idleUntil(effect, [&] { return hostChunk(effect) == before; }))
        << "Ctrl+Z did not restore the edit";

    // Ctrl+Shift+Z as a host passes it on; either Ctrl bit counts.
    EXPECT_EQ(TestHost::dispatch(effect, effEditKeyDown, 'z', 0, nullptr,
                  static_cast<float>(MODIFIER_CONTROL | MODIFIER_SHIFT)),
        1);
    EXPECT_EQ(hostChunk(effect), after);
    EXPECT_EQ(TestHost::dispatch(
                  effect, effEditKeyDown, 'z', 0, nullptr, static_cast<float>(MODIFIER_COMMAND)),
        1);
    EXPECT_EQ(hostChunk(effect), before);
    EXPECT_EQ(TestHost::dispatch(
                  effect, effEditKeyDown, 'y', 0, nullptr, static_cast<float>(MODIFIER_CONTROL)),
        1);
    EXPECT_EQ(hostChunk(effect), after);
    // A plain key is not taken.
    EXPECT_EQ(TestHost::dispatch(effect, effEditKeyDown, 'z', 0, nullptr, 0.0f), 0);
    EXPECT_EQ(hostChunk(effect), after);

    TestHost::dispatch(effect, effEditClose);
    host.closeInstance(effect);
}

} // namespace
