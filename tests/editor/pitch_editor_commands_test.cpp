// The commands of the editor's controls, driven offscreen through real clicks
// on the controls (scripted pointer, popup choices and save-dialog answers)
// or through the listener call a control makes.
#include "editing/note_settings.h"
#include "editor/note_scroll_view.h"
#include "editor/panel_button.h"
#include "editor/pitch_editor.h"
#include "editor/render_file_select.h"
#include "engine/edit_lock.h"
#include "melody_helpers.h"
#include "persistence/wave_render.h"
#include "persistence/wave_writer.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_option_menu.h"
#include "toolkit/c_slider.h"
#include "toolkit/mouse_buttons.h"
#include "toolkit/offscreen_platform.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr long kVolumeSliderTag = 29;

// The host side: answers canDo for the file selector when it offers one and
// remembers the request it was handed, as it was at the call.
struct SelectorHost {
    bool offersSelector = false;
    std::function<bool(VstFileSelect*)> choose;
    VstFileSelect seen {};
    VstFileType seenType {};
    char seenPathByte = 'x';
    int opened = 0;
    std::function<void()> onIdle;
};
SelectorHost* activeHost = nullptr;

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float)
{
    SelectorHost& host = *activeHost;
    switch (opcode) {
    case audioMasterCanDo:
        return host.offersSelector
                && (std::strcmp(static_cast<const char*>(ptr), "openFileSelector") == 0
                    || std::strcmp(static_cast<const char*>(ptr), "closeFileSelector") == 0)
            ? 1
            : 0;
    case audioMasterOpenFileSelector: {
        auto* request = static_cast<VstFileSelect*>(ptr);
        ++host.opened;
        host.seen = *request;
        if (request->fileTypes)
            host.seenType = request->fileTypes[0];
        if (request->returnPath)
            host.seenPathByte = request->returnPath[0];
        return host.choose && host.choose(request) ? 1 : 0;
    }
    case audioMasterCloseFileSelector: return 1;
    case audioMasterIdle:
        if (host.onIdle)
            host.onIdle();
        return 0;
    default: return 0;
    }
}

// Remembers, at every change of the "Volume" slider, its value and the
// volume of each note, right after the editor has handled the change.
class RecordingEditor : public PitchEditor {
public:
    using PitchEditor::PitchEditor;

    struct VolumeChange {
        float slider;
        std::array<float, 4> volume;
    };

    void valueChanged(CDrawContext* context, CControl* control) override
    {
        PitchEditor::valueChanged(context, control);
        if (control->getTag() != kVolumeSliderTag)
            return;
        const TakeModel& model = pitchEffect()->takeModel();
        volumeChanges.push_back({control->getValue(),
            {model.volume[0], model.volume[1], model.volume[2], model.volume[3]}});
    }

    std::vector<VolumeChange> volumeChanges;
};

// What a command may change in the take model, for "changes nothing" checks.
std::vector<float> modelState(const TakeModel& model)
{
    std::vector<float> state {float(model.noteCount), float(model.selectionCount),
        float(model.transportMode.load()), float(model.editorPlaying.load()),
        float(model.requestedTakePosition.load()), float(model.editTool)};
    for (int n = 0; n < model.noteCount; ++n)
        for (float field : {model.targetStart[n], model.targetEnd[n], model.pitch[n],
                 model.fineTune[n], model.volume[n]})
            state.push_back(field);
    for (int s = 0; s < model.selectionCount; ++s)
        state.push_back(float(model.selection[s]));
    for (int mask : model.scaleMask)
        state.push_back(float(mask));
    return state;
}

// The allowed pitch classes of the scale mask (a zero entry allows a class).
std::vector<int> allowedClasses(const TakeModel& model)
{
    std::vector<int> allowed;
    for (int pc = 0; pc < kPitchClasses; ++pc)
        if (model.scaleMask[pc] == 0)
            allowed.push_back(pc);
    return allowed;
}

CPoint centreOf(const CRect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

class PitchEditorCommandsTest : public ::testing::Test {
protected:
    PitchEditorCommandsTest()
    {
        activeHost = &host;
        effect = std::make_unique<PitchEffect>(hostCallback);
        editor = new RecordingEditor(effect.get(), &platform); // the effect owns it
        folder = fs::temp_directory_path()
            / ("cantilo-commands-"
                + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    ~PitchEditorCommandsTest() override
    {
        effect.reset();
        activeHost = nullptr;
        fs::remove_all(folder);
    }

    void open()
    {
        ASSERT_TRUE(editor->open(&platform));
        window = platform.lastWindow();
        editor->idle();
    }

    CControl* control(long tag) const
    {
        CFrame* frame = editor->getFrame();
        for (int i = 0; i < frame->getNbViews(); ++i)
            if (auto* c = dynamic_cast<CControl*>(frame->getView(i)); c && c->getTag() == tag)
                return c;
        ADD_FAILURE() << "no control with tag " << tag;
        return nullptr;
    }
    PanelButton* button(long tag) const { return dynamic_cast<PanelButton*>(control(tag)); }

    // A press at where with buttons held, the pointer states a tracking loop
    // reads after it, and the idle that delivers it.
    void press(const CPoint& where, long buttons, const std::vector<PointerState>& states = {})
    {
        window->setPointer(where, buttons);
        for (const PointerState& state : states)
            window->scriptPointer(state.where, state.buttons);
        window->postMouseDown(where, buttons);
        editor->idle();
        EXPECT_EQ(window->pendingPointerStates(), 0u); // the loop read every state
        window->setPointer(where, 0);
    }
    // A click without movement: buttons and menus read the live state once.
    void click(long tag, long buttons = kLButton)
    {
        press(centreOf(control(tag)->getViewSize()), buttons);
    }
    // A menu entry chosen by clicking the menu.
    void choose(COptionMenu* menu, int entry)
    {
        platform.menus.choices.push_back(entry);
        click(menu->getTag());
    }
    // The listener call a control makes when it takes value v.
    void send(CControl* c, float v)
    {
        c->setValue(v);
        editor->valueChanged(nullptr, c);
    }

    void recordMelody()
    {
        recordAndSegmentMelody(*effect, testMelody());
        ASSERT_EQ(effect->takeModel().noteCount, 4);
    }
    bool lockIsFree()
    {
        if (!editLockOf(*effect).tryLock())
            return false;
        editLockOf(*effect).unlock();
        return true;
    }
    std::string answerPath(const char* name) const { return (folder / name).string(); }
    std::vector<std::string> filesWritten() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    }

    SelectorHost host;
    OffscreenPlatform platform;
    std::unique_ptr<PitchEffect> effect;
    RecordingEditor* editor;
    OffscreenWindow* window = nullptr;
    fs::path folder;
};

TEST_F(PitchEditorCommandsTest, HeadingEntriesChangeNothingButResetTheirMenuAndRedraw)
{
    recordMelody();
    open();
    const TakeModel& model = effect->takeModel();
    const std::vector<float> before = modelState(model);
    for (COptionMenu* menu : {editor->noteMenu, editor->selectMenu}) {
        // As if the menu still showed another entry: the heading resets it.
        menu->setValue(2.0f);
        editor->idle();
        ASSERT_FALSE(editor->noteEditorScrollView->isDirty());
        send(menu, 0.0f);
        EXPECT_EQ(menu->getCurrent(), 0) << menu->getTag();
        EXPECT_TRUE(editor->noteEditorScrollView->isDirty()) << menu->getTag();
        // The same through a click on the menu.
        choose(menu, 0);
        EXPECT_EQ(platform.menus.lastItems.size(), menu == editor->noteMenu ? 5u : 3u);
        EXPECT_EQ(modelState(model), before) << menu->getTag();
    }
}

TEST_F(PitchEditorCommandsTest, NoteAndSelectMenusRunTheirCommandAndReturnToTheHeading)
{
    recordMelody();
    open();
    TakeModel& model = modelOf(*effect);

    choose(editor->selectMenu, 2); // "select none"
    EXPECT_EQ(model.selectionCount, 0);
    EXPECT_EQ(editor->selectMenu->getCurrent(), 0);
    choose(editor->noteMenu, 1); // "delete notes" with nothing selected
    EXPECT_EQ(model.noteCount, 4);

    choose(editor->selectMenu, 1); // "select all notes"
    EXPECT_EQ(model.selectionCount, 4);
    model.pitch[1] = 4.0f;
    model.fineTune[1] = 0.7f;
    // "tune notes": 4.7 goes to f (e is outside the initial scale), the fine
    // tune is cleared.
    choose(editor->noteMenu, 3);
    EXPECT_FLOAT_EQ(model.pitch[1], 5.0f);
    EXPECT_FLOAT_EQ(model.fineTune[1], 0.0f);
    EXPECT_EQ(editor->noteMenu->getCurrent(), 0);

    choose(editor->noteMenu, 2); // "duplicate notes"
    EXPECT_EQ(model.noteCount, 8);
    EXPECT_EQ(editor->noteMenu->getCurrent(), 0);
    // The same command twice in a row works: the menu is back at its heading.
    choose(editor->noteMenu, 1); // "delete notes"
    choose(editor->selectMenu, 1);
    choose(editor->noteMenu, 1);
    EXPECT_EQ(model.noteCount, 0);
    EXPECT_EQ(editor->selectMenu->getCurrent(), 0);
}

// "keep formants" toggles the instance's mode, shows it as a check mark and
// leaves the menu at its heading; a mode restored from a chunk shows at the
// next idle.
TEST_F(PitchEditorCommandsTest, KeepFormantsTogglesTheModeAndItsCheckMark)
{
    recordMelody();
    open();
    const std::vector<float> before = modelState(modelOf(*effect));
    auto keepFormantsChecked = [&] {
        choose(editor->noteMenu, 0); // the heading: only shows the popup
        return platform.menus.lastItems.at(4).checked;
    };
    EXPECT_EQ(effect->formantMode(), kFormantsMove);
    EXPECT_FALSE(keepFormantsChecked());
    choose(editor->noteMenu, 4);
    EXPECT_EQ(platform.menus.lastItems.at(4).text, "keep formants");
    EXPECT_EQ(effect->formantMode(), kFormantsKept);
    EXPECT_EQ(editor->noteMenu->getCurrent(), 0);
    EXPECT_TRUE(keepFormantsChecked());
    choose(editor->noteMenu, 4);
    EXPECT_EQ(effect->formantMode(), kFormantsMove);
    EXPECT_FALSE(keepFormantsChecked());
    EXPECT_EQ(modelState(modelOf(*effect)), before);

    effect->setFormantMode(kFormantsKept); // as a restored chunk does
    editor->idle();
    EXPECT_TRUE(keepFormantsChecked());
}

TEST_F(PitchEditorCommandsTest, RightClickOnCThenMinorGivesNaturalMinorOnC)
{
    open();
    editor->scaleRoot = 7;
    PanelButton* c = button(14);
    ASSERT_STREQ(c->label, "C");
    platform.menus.choices.push_back(2); // the third entry
    click(14, kRButton);
    EXPECT_EQ(editor->scaleRoot, 0);
    EXPECT_EQ(allowedClasses(modelOf(*effect)), (std::vector<int> {0, 2, 3, 5, 7, 8, 10}));

    // Exactly the four entries, the check at "Free selection", the popup
    // below the key it was moved onto.
    ASSERT_EQ(platform.menus.shown, 1);
    const auto& items = platform.menus.lastItems;
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "Free selection");
    EXPECT_EQ(items[1].text, "c dur (major)");
    EXPECT_EQ(items[2].text, "c moll (minor)");
    EXPECT_EQ(items[3].text, "allow all");
    for (size_t i = 0; i < items.size(); ++i)
        EXPECT_EQ(items[i].checked, i == 0) << i;
    EXPECT_EQ(platform.menus.lastWhere, CPoint(403, 368));

    // Afterwards the menu is a 1 x 1 pixel again and still only clickable there.
    CRect area;
    EXPECT_EQ(editor->scaleMenu->getViewSize(), CRect(0, 0, 1, 1));
    EXPECT_EQ(editor->scaleMenu->getMouseableArea(area), CRect(0, 0, 1, 1));
}

TEST_F(PitchEditorCommandsTest, RightClickOnAThenMajorGivesAMajorAndRedrawsTheKey)
{
    open();
    PanelButton* a = button(23);
    ASSERT_STREQ(a->label, "A");
    platform.menus.choices.push_back(1);
    editor->idle();
    ASSERT_FALSE(a->isDirty());
    send(a, 2.0f);
    EXPECT_EQ(editor->scaleRoot, 9);
    EXPECT_EQ(platform.menus.lastItems[1].text, "a dur (major)");
    EXPECT_EQ(platform.menus.lastItems[2].text, "a moll (minor)");
    EXPECT_EQ(allowedClasses(modelOf(*effect)), (std::vector<int> {1, 2, 4, 6, 8, 9, 11}));
    EXPECT_EQ(editor->scaleMenu->getViewSize(), CRect(0, 0, 1, 1));
    EXPECT_TRUE(a->isDirty());
    EXPECT_TRUE(editor->scanScrollView->isDirty());
    EXPECT_TRUE(editor->noteEditorScrollView->isDirty());

    // Another key's popup names its own class.
    platform.menus.choices.push_back(-1);
    click(20, kRButton); // fis
    EXPECT_EQ(platform.menus.lastItems[2].text, "fis moll (minor)");
}

TEST_F(PitchEditorCommandsTest, CancelledPopupChangesOnlyTheScaleRoot)
{
    open();
    send(button(16), 1.0f); // exclude d first, so the mask is not the default
    const std::vector<float> before = modelState(modelOf(*effect));
    editor->scaleRoot = 5;
    click(23, kRButton); // no choice queued: the popup is cancelled
    EXPECT_EQ(platform.menus.shown, 1);
    EXPECT_EQ(editor->scaleRoot, 9);
    EXPECT_EQ(modelState(modelOf(*effect)), before);
    EXPECT_EQ(editor->scaleMenu->getViewSize(), CRect(0, 0, 1, 1));

    // "Free selection" keeps the scale too but still redraws both views.
    platform.menus.choices.push_back(0);
    editor->idle();
    send(button(14), 2.0f);
    EXPECT_EQ(editor->scaleRoot, 0);
    EXPECT_EQ(modelState(modelOf(*effect)), before);
    EXPECT_TRUE(editor->scanScrollView->isDirty());
    EXPECT_TRUE(editor->noteEditorScrollView->isDirty());
}

TEST_F(PitchEditorCommandsTest, LeftClickingAKeyTwiceRestoresTheScale)
{
    open();
    TakeModel& model = modelOf(*effect);
    const auto mask = model.scaleMask;
    click(18); // e
    EXPECT_NE(model.scaleMask[4], mask[4]);
    for (int pc = 0; pc < kPitchClasses; ++pc)
        if (pc != 4) {
            EXPECT_EQ(model.scaleMask[pc], mask[pc]) << pc;
        }
    editor->idle();
    send(button(18), 1.0f);
    EXPECT_EQ(model.scaleMask, mask);
    EXPECT_TRUE(editor->scanScrollView->isDirty());
    EXPECT_TRUE(editor->noteEditorScrollView->isDirty());
    EXPECT_EQ(platform.menus.shown, 0);
}

TEST_F(PitchEditorCommandsTest, ClicksWithAModifierOrTheMiddleButtonDoNothing)
{
    recordMelody();
    open();
    const TakeModel& model = effect->takeModel();
    const std::vector<float> before = modelState(model);
    for (long buttons :
        {kLButton | kShift, kRButton | kShift, kLButton | kControl, long(kMButton)}) {
        click(10, buttons); // a tool button
        click(14, buttons); // the C key
        click(2, buttons); // "render"
        EXPECT_EQ(modelState(model), before) << buttons;
    }
    EXPECT_TRUE(editor->toolButtons[0]->selected);
    EXPECT_FALSE(editor->toolButtons[2]->selected);
    EXPECT_EQ(platform.menus.shown, 0);
    EXPECT_EQ(platform.dialog.shown, 0);
    EXPECT_TRUE(filesWritten().empty());
}

TEST_F(PitchEditorCommandsTest, ToolButtonsChooseTheToolAndCarryTheOnlySelectedOutline)
{
    open();
    const std::pair<long, long> clicks[]
        = {{10, kLButton}, {11, kRButton}, {8, kLButton}, {9, kLButton}};
    for (auto [tag, buttons] : clicks) {
        click(tag, buttons);
        EXPECT_EQ(effect->takeModel().editTool, tag - 8);
        for (int t = 0; t < kToolButtonCount; ++t)
            EXPECT_EQ(editor->toolButtons[t]->selected, t == tag - 8) << tag << " " << t;
    }
    // Every tool button is redrawn, not only the two whose outline changed.
    editor->idle();
    send(editor->toolButtons[1], 1.0f);
    for (PanelButton* tool : editor->toolButtons)
        EXPECT_TRUE(tool->isDirty());
}

TEST_F(PitchEditorCommandsTest, PlayInForceScanSwitchesToAutoModeFromTheNoteEditorsLeftEdge)
{
    open();
    TakeModel& model = modelOf(*effect);
    choose(editor->modeMenu, 1);
    EXPECT_EQ(model.transportMode.load(), kForceScan);
    EXPECT_EQ(editor->modeMenu->getCurrent(), 1);
    model.viewStartFrame = 37;
    click(5);
    EXPECT_EQ(model.transportMode.load(), kAutoMode);
    EXPECT_EQ(editor->modeMenu->getCurrent(), 0);
    EXPECT_STREQ(editor->modeMenu->getEntry(editor->modeMenu->getCurrent()), "Auto mode");
    EXPECT_TRUE(model.editorPlaying.load());
    // The position is only posted; the audio thread takes it at its next block.
    EXPECT_EQ(model.requestedTakePosition.load(), 37 * 512);
    EXPECT_EQ(model.takePosition, 0);
    processSilentBlock(*effect, 512);
    EXPECT_EQ(model.takePosition, 38 * 512);

    click(6); // stop
    EXPECT_FALSE(model.editorPlaying.load());
    EXPECT_EQ(model.transportMode.load(), kAutoMode);

    // A mode from the menu stops the editor's playback and rewinds.
    click(5);
    choose(editor->modeMenu, 1);
    EXPECT_FALSE(model.editorPlaying.load());
    EXPECT_EQ(model.requestedTakePosition.load(), 0);
    choose(editor->modeMenu, 0);
    EXPECT_EQ(model.transportMode.load(), kAutoMode);
}

TEST_F(PitchEditorCommandsTest, LiveIntonationScrollsTheScanViewToItsStart)
{
    open();
    NoteScrollView* scan = editor->scanScrollView;
    const CPoint start = scan->getScrollOffset();
    scan->scrollToFrame(900);
    ASSERT_NE(scan->getScrollOffset(), start);
    const CPoint noteEditor = editor->noteEditorScrollView->getScrollOffset();
    choose(editor->modeMenu, 1); // "Force scan" leaves the view where it is
    EXPECT_NE(scan->getScrollOffset(), start);
    choose(editor->modeMenu, 2);
    EXPECT_EQ(effect->takeModel().transportMode.load(), kLiveIntonation);
    EXPECT_EQ(scan->getScrollOffset(), start);
    EXPECT_EQ(editor->noteEditorScrollView->getScrollOffset(), noteEditor);
}

TEST_F(PitchEditorCommandsTest, VolumeDragUpdatesEverySelectedNoteOnEveryChange)
{
    recordMelody();
    open();
    TakeModel& model = modelOf(*effect);
    model.selection[0] = 0;
    model.selection[1] = 1;
    model.selection[2] = 3;
    model.selectionCount = 3;
    const float unselected = model.volume[2];

    CSlider* volume = editor->noteSliders[1];
    ASSERT_EQ(volume->getTag(), kVolumeSliderTag);
    const CRect r = volume->getViewSize();
    const int y = (r.top + r.bottom) / 2;
    press(CPoint(r.left + 20, y), kLButton,
        {{CPoint(r.left + 40, y), kLButton}, {CPoint(r.left + 60, y), kLButton},
            {CPoint(r.left + 80, y), kLButton}, {CPoint(r.left + 80, y), 0}});

    const auto& changes = editor->volumeChanges;
    ASSERT_GE(changes.size(), 3u);
    for (size_t i = 0; i < changes.size(); ++i) {
        if (i > 0) {
            EXPECT_GT(changes[i].slider, changes[i - 1].slider) << i;
        }
        for (int note : {0, 1, 3}) {
            // The stored volume is the slider's mapping: full scale doubles.
            EXPECT_FLOAT_EQ(changes[i].volume[note], 2.0f * changes[i].slider) << i << " " << note;
        }
        EXPECT_EQ(changes[i].volume[2], unselected) << i;
    }
    EXPECT_FLOAT_EQ(model.volume[3], 2.0f * volume->getValue());
}

TEST_F(PitchEditorCommandsTest, StandardPitchSliderStoresTwiceItsValue)
{
    open();
    const std::vector<float> before = modelState(modelOf(*effect));
    send(control(27), 0.25f);
    EXPECT_FLOAT_EQ(effect->takeModel().standardPitchControl, 0.5f);
    send(control(27), 0.0f);
    EXPECT_FLOAT_EQ(effect->takeModel().standardPitchControl, 0.0f);
    EXPECT_EQ(modelState(modelOf(*effect)), before);
    // A slider at 0 still acts (the other settings are stored at 0 as well).
    recordMelody();
    send(editor->noteSliders[4], 0.0f);
    EXPECT_FLOAT_EQ(effect->takeModel().vibratoAmplitude[0], 0.0f);
    send(editor->noteSliders[4], 0.5f);
    for (int n = 0; n < 4; ++n)
        EXPECT_NEAR(
            noteSettingSliderValue(modelOf(*effect), n, NoteSetting::vibratoAmplitude), 0.5f, 1e-6f)
            << n;
}

TEST_F(PitchEditorCommandsTest, TransferCutsTheRecordedTakeIntoSelectedNotes)
{
    recordMelody();
    TakeModel& model = modelOf(*effect);
    {
        EditGuard guard(editLockOf(*effect));
        model.noteCount = 0;
        model.selectionCount = 0;
    }
    open();
    click(7);
    ASSERT_EQ(model.noteCount, 4);
    EXPECT_EQ(model.selectionCount, 4);
    for (int n = 1; n < 4; ++n)
        EXPECT_GT(model.targetStart[n], model.targetEnd[n - 1] - 1.0f) << n;
    EXPECT_TRUE(lockIsFree());
}

TEST_F(PitchEditorCommandsTest, RenderWritesWhatTheResynthesisGives)
{
    recordMelody();
    open();
    platform.dialog.answers.push_back(answerPath("take"));
    click(2);
    ASSERT_EQ(platform.dialog.shown, 1);
    EXPECT_EQ(platform.dialog.lastRequest.title, kRenderSelectTitle);
    ASSERT_EQ(platform.dialog.lastRequest.filters.size(), 1u);
    EXPECT_EQ(platform.dialog.lastRequest.filters[0].pattern, "*.wav");
    EXPECT_EQ(filesWritten(), std::vector<std::string> {"take.wav"});

    std::ifstream file(answerPath("take.wav"), std::ios::binary);
    const std::vector<unsigned char> bytes {std::istreambuf_iterator<char>(file), {}};
    std::vector<int16_t> expected;
    effect->withRenderSource([&](const RenderSource& source) {
        const uint32_t count = renderSampleCount(source.model);
        ASSERT_GT(count, 200u * 512u);
        renderSamples(source, count, [&](float s) {
            expected.push_back(waveSampleValue(s));
            return true;
        });
    });
    ASSERT_EQ(bytes.size(), 44 + 4 * expected.size());
    size_t loud = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        const unsigned char* pair = &bytes[44 + 4 * i];
        const auto left = int16_t(pair[0] | pair[1] << 8);
        const auto right = int16_t(pair[2] | pair[3] << 8);
        ASSERT_EQ(left, expected[i]) << i;
        ASSERT_EQ(right, expected[i]) << i;
        loud += std::abs(left) > 1000;
    }
    EXPECT_GT(loud, expected.size() / 4); // the melody, not silence
    EXPECT_TRUE(lockIsFree());
}

TEST_F(PitchEditorCommandsTest, RenderWithoutAPathOrToAnUncreatableFileWritesNothing)
{
    recordMelody();
    open();
    const std::vector<float> before = modelState(modelOf(*effect));
    platform.dialog.answers.push_back(""); // cancelled
    click(2);
    platform.dialog.answers.push_back(answerPath("missing/folder/take"));
    click(2);
    EXPECT_EQ(platform.dialog.shown, 2);
    EXPECT_TRUE(filesWritten().empty());
    EXPECT_EQ(modelState(modelOf(*effect)), before);
    EXPECT_TRUE(lockIsFree());
}

TEST_F(PitchEditorCommandsTest, TheHostsSelectorSeesTheRenderRequest)
{
    open();
    host.offersSelector = true;
    const std::string chosen = answerPath("mix");
    host.choose = [&](VstFileSelect* request) {
        std::strcpy(request->returnPath, chosen.c_str());
        return true;
    };
    send(button(2), 2.0f); // a right click renders as well
    ASSERT_EQ(host.opened, 1);
    EXPECT_EQ(platform.dialog.shown, 0);
    EXPECT_EQ(filesWritten(), std::vector<std::string> {"mix.wav"});
    EXPECT_EQ(fs::file_size(folder / "mix.wav"), 44u + 512u * 4u); // no notes: one frame

    const VstFileSelect& seen = host.seen;
    EXPECT_EQ(seen.command, kVstFileSave);
    EXPECT_EQ(seen.type, kVstFileType);
    EXPECT_EQ(seen.macCreator, 0);
    EXPECT_EQ(seen.nbFileTypes, 1);
    EXPECT_STREQ(seen.title, "Render output to wave file (GUI will freeze)");
    EXPECT_EQ(seen.initialPath, nullptr);
    EXPECT_NE(seen.returnPath, nullptr);
    EXPECT_EQ(host.seenPathByte, 0); // handed over empty
    EXPECT_EQ(seen.sizeReturnPath, 1024);
    EXPECT_EQ(seen.returnMultiplePaths, nullptr);
    EXPECT_EQ(seen.nbReturnPath, 0);
    EXPECT_EQ(seen.reserved, 0);
    EXPECT_EQ(seen.future[0], 1);
    for (size_t i = 1; i < sizeof seen.future; ++i)
        ASSERT_EQ(seen.future[i], 0) << i;
    for (size_t i = std::strlen(seen.title); i < sizeof seen.title; ++i)
        ASSERT_EQ(seen.title[i], 0) << i;
    EXPECT_STREQ(host.seenType.name, "Wave File");
    EXPECT_STREQ(host.seenType.macType, "WAVE");
    EXPECT_STREQ(host.seenType.dosType, "wav");
    EXPECT_STREQ(host.seenType.unixType, "wav");
    EXPECT_STREQ(host.seenType.mimeType1, "audio/wav");
    EXPECT_STREQ(host.seenType.mimeType2, "audio/x-wav");

    // A host that fills the whole buffer without a terminator: the path is
    // cut inside it, never read past it.
    host.choose = [](VstFileSelect* request) {
        std::memset(request->returnPath, 'a', size_t(request->sizeReturnPath));
        return true;
    };
    send(button(2), 1.0f);
    EXPECT_EQ(host.opened, 2);
    EXPECT_EQ(filesWritten().size(), 1u); // far too long a name to create
}

TEST_F(PitchEditorCommandsTest, AnInstanceDeletedWhileThePopupOrTheSaveDialogWaitsIsLeftAlone)
{
    recordMelody();
    open();
    host.onIdle = [&] { effect.reset(); };
    // The host deletes its instance (and with it the editor) from the idle
    // that the popup gives it; the choice then reaches nobody.
    CControl* key = control(14);
    key->remember();
    platform.menus.choices.push_back(2);
    send(key, 2.0f);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(platform.menus.shown, 1);
    key->forget();

    activeHost = &host;
    effect = std::make_unique<PitchEffect>(hostCallback);
    editor = new RecordingEditor(effect.get(), &platform);
    recordMelody();
    open();
    CControl* render = control(2);
    render->remember();
    platform.dialog.answers.push_back(answerPath("take"));
    send(render, 1.0f);
    EXPECT_EQ(effect, nullptr);
    EXPECT_EQ(platform.dialog.shown, 1);
    EXPECT_TRUE(filesWritten().empty());
    render->forget();
}

} // namespace

// A slider drag is one undo step, however many values it sends; "undo" and
// "redo" stand at the end of the "manipulate..." menu only while there is
// something to undo or redo, and choosing them walks the history.
TEST_F(PitchEditorCommandsTest, ASliderDragIsOneStepThatTheUndoAndRedoEntriesWalk)
{
    recordMelody();
    open();
    TakeModel& model = modelOf(*effect);
    model.selection[0] = 1;
    model.selection[1] = 2;
    model.selectionCount = 2;
    const std::vector<float> before = modelState(model);
    auto entries = [&] {
        choose(editor->noteMenu, 0); // the heading: only shows the popup
        std::vector<std::string> texts;
        for (const auto& item : platform.menus.lastItems)
            texts.push_back(item.text);
        return texts;
    };
    const std::vector<std::string> heading = entries();
    ASSERT_EQ(heading.size(), 5u);

    const CRect r = editor->noteSliders[1]->getViewSize();
    const int y = (r.top + r.bottom) / 2;
    press(CPoint(r.left + 10, y), kLButton,
        {{CPoint(r.left + 30, y), kLButton}, {CPoint(r.left + 50, y), kLButton},
            {CPoint(r.left + 70, y), kLButton}, {CPoint(r.left + 70, y), 0}});
    ASSERT_GE(editor->volumeChanges.size(), 3u);
    const std::vector<float> dragged = modelState(model);
    ASSERT_NE(dragged, before);
    EXPECT_EQ(effect->session().editHistory().stepCount(), 1u);

    std::vector<std::string> withUndo = heading;
    withUndo.push_back("undo");
    EXPECT_EQ(entries(), withUndo);
    choose(editor->noteMenu, 5);
    EXPECT_EQ(modelState(model), before);
    std::vector<std::string> withRedo = heading;
    withRedo.push_back("redo");
    EXPECT_EQ(entries(), withRedo);
    choose(editor->noteMenu, 5);
    EXPECT_EQ(modelState(model), dragged);
    EXPECT_EQ(entries(), withUndo);
    EXPECT_EQ(editor->noteMenu->getCurrent(), 0);
}
