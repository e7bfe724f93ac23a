#include "editor/pitch_editor.h"

#include "editing/edit_commands.h"
#include "editing/scale_tuning.h"
#include "editor/note_scroll_view.h"
#include "editor/note_view.h"
#include "editor/panel_button.h"
#include "editor/render_file_select.h"
#include "editor/value_display.h"
#include "editor/vst_file_type.h"
#include "model/segmentation.h"
#include "persistence/wave_render.h"
#include "shell/pitch_effect.h"
#include "toolkit/c_bitmap.h"
#include "toolkit/c_file_selector.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_option_menu.h"
#include "toolkit/c_slider.h"
#include "toolkit/c_tab_view.h"
#include "toolkit/control_styles.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <string>

namespace {

// Image ids.
constexpr int kTabBitmapId = 100;
constexpr int kToolIconsId = 20004;
constexpr int kSliderTrackId = 20002;
constexpr int kSliderHandleId = 10400;

constexpr int kButtonImageHeight = 200; // the pressed image lies 200 rows below
const CPoint kLabelButtonOffset {0, 200}; // behind "render" and "transfer >>"
const CPoint kSmallButtonOffset {0, 300}; // behind play, stop and the keys
constexpr int kToolIconSize = 16;

constexpr int kMenuStyle = kCheckStyle | k3DIn;
constexpr int kLabelFont = kNormalFontSmall;
constexpr int kTabPageExtraTop = 4; // pages start 4 pixels below the tab buttons
constexpr int kSliderMinimumOffset = 2;
const CPoint kSliderHandleOffset {0, 2};

enum Tag : long {
    kModeMenuTag = 0,
    kRenderTag = 2,
    kScaleMenuTag = 4,
    kPlayTag = 5,
    kStopTag = 6,
    kTransferTag = 7,
    kFirstToolTag = 8,
    kNoteMenuTag = 12,
    kSelectMenuTag = 13,
    kLowestKeyTag = 14,
    kHighestKeyTag = 25,
    kStandardPitchTag = 27,
    kFirstNoteSliderTag = 28,
    kLastNoteSliderTag = 35,
};

const CRect kScaleMenuSize {0, 0, 1, 1};
// The entries of the "manipulate..." menu; "undo" and "redo" follow them
// while there is a step to undo or redo.
enum NoteMenuEntry : int {
    kManipulateTitleEntry = 0,
    kDeleteNotesEntry = 1,
    kDuplicateNotesEntry = 2,
    kTuneNotesEntry = 3,
    kKeepFormantsEntry = 4,
};
const char* const kNoteMenuEntries[]
    = {"manipulate...", "delete notes", "duplicate notes", "tune notes", "keep formants"};
// The entries of the select menu after its title.
enum SelectMenuEntry : int { kSelectAllEntry = 1, kSelectNoneEntry = 2 };
// A button reports a plain left click as 1; the keys report a right click as 2.
constexpr float kClickValue = 1.0f;
constexpr float kRightClickValue = 2.0f;
constexpr const char* kUndoEntry = "undo";
constexpr const char* kRedoEntry = "redo";

bool isNoteSliderTag(long tag) { return tag >= kFirstNoteSliderTag && tag <= kLastNoteSliderTag; }

// Only the editor knows which slider shows which note setting.
NoteSetting noteSettingOfTag(long tag)
{
    return static_cast<NoteSetting>(tag - kFirstNoteSliderTag);
}

// Ctrl+Z undoes; Ctrl+Shift+Z and Ctrl+Y redo. Hosts mark Ctrl as either
// modifier bit.
enum class HistoryKey { none, undo, redo };

HistoryKey historyKeyOf(const VstKeyCode& key)
{
    if (!(key.modifier & (MODIFIER_CONTROL | MODIFIER_COMMAND)) || key.virt != 0)
        return HistoryKey::none;
    const int letter = std::tolower(static_cast<unsigned char>(key.character));
    const bool shift = key.modifier & MODIFIER_SHIFT;
    if (letter == 'z')
        return shift ? HistoryKey::redo : HistoryKey::undo;
    if (letter == 'y' && !shift)
        return HistoryKey::redo;
    return HistoryKey::none;
}

const char* const kTabNames[kAnalysisRows] = {"SCAN", "1", "2", "3"};
// Top to bottom, B down to C; the five sharps have no label.
const char* const kKeyLabels[kPitchClasses]
    = {"H", "", "A", "", "G", "", "F", "E", "", "D", "", "C"};
const char* const kNoteSliderLabels[kNoteSliderCount] = {"Fine-tuning", "Volume", "Raw contours",
    "Fine contours", "Vibrato ampl.", "Vibrato freq.", "Vibrato attack", "Frq. blending"};
constexpr const char* kStandardPitchLabel = "Standard pitch A";
constexpr const char* kHint = "Record a take, then press \"transfer >>\"";

constexpr int kKeyboardLeft = 403;
constexpr int kKeySize = 15;
constexpr float kKeySpacing = 25.4f;
constexpr float kKeyboardTop = 49.0f;

constexpr int kSliderRowTop = 430;
constexpr int kSliderRowStep = 19;

// The bitmaps several controls share, loaded for one build of the view tree.
struct SharedBitmaps {
    SharedBitmaps()
        : tabs(new CBitmap(kTabBitmapId))
        , panel(new CBitmap(kBackgroundBitmapId))
        , tools(new CBitmap(kToolIconsId))
        , sliderTrack(new CBitmap(kSliderTrackId))
        , sliderHandle(new CBitmap(kSliderHandleId))
    {
    }
    ~SharedBitmaps()
    {
        tabs->forget();
        panel->forget();
        tools->forget();
        sliderTrack->forget();
        sliderHandle->forget();
    }
    SharedBitmaps(const SharedBitmaps&) = delete;
    SharedBitmaps& operator=(const SharedBitmaps&) = delete;

    CBitmap* tabs;
    CBitmap* panel;
    CBitmap* tools;
    CBitmap* sliderTrack;
    CBitmap* sliderHandle;
};

COptionMenu* makeMenu(CFrame* frame, CControlListener* listener, const CRect& size, long tag,
    std::initializer_list<const char*> entries)
{
    auto* menu = new COptionMenu(size, listener, tag, nullptr, nullptr, kMenuStyle);
    menu->setFont(kLabelFont);
    menu->setFontColor(kWhiteCColor);
    menu->setBackColor(kBlackCColor);
    menu->setFrameColor(kBlackCColor);
    menu->setHoriAlign(kCenterText);
    for (const char* entry : entries)
        menu->addEntry(entry);
    menu->setCurrent(0); // every menu starts at its first entry
    frame->addView(menu);
    return menu;
}

PanelButton* makeButton(CFrame* frame, CControlListener* listener, const CRect& size, long tag,
    int imageHeight, CBitmap* bitmap, const CPoint& offset, const char* label, bool outline)
{
    auto* button = new PanelButton(size, listener, tag, imageHeight, bitmap, offset);
    std::strncpy(button->label, label, kPanelButtonLabelLength - 1);
    button->outline = outline;
    frame->addView(button);
    return button;
}

CSlider* makeSlider(CFrame* frame, CControlListener* listener, const SharedBitmaps& bitmaps,
    int left, int top, long tag)
{
    int trackWidth = bitmaps.sliderTrack->getWidth();
    int trackHeight = bitmaps.sliderTrack->getHeight();
    int handleWidth = bitmaps.sliderHandle->getWidth();
    CRect size(left, top, left + trackWidth, top + trackHeight);
    CPoint offset(0, 0);
    auto* slider = new CSlider(size, listener, tag, left + kSliderMinimumOffset,
        left + trackWidth - handleWidth, bitmaps.sliderHandle, bitmaps.sliderTrack, offset,
        kLeft | kHorizontal);
    slider->setOffsetHandle(kSliderHandleOffset);
    frame->addView(slider);
    return slider;
}

void addLabel(CFrame* frame, const CRect& size, const char* text)
{
    frame->addView(new ValueDisplay(size, text));
}

void markDirty(CView* view)
{
    if (view)
        view->setDirty(true);
}

} // namespace

PitchEditor::PitchEditor(PitchEffect* effect, Platform* platform)
    : AEffGUIEditor(effect, platform)
    , background(new CBitmap(kBackgroundBitmapId))
{
    rect = ERect {0, 0, kEditorHeight, kEditorWidth};
}

PitchEditor::~PitchEditor()
{
    // A modal loop (a popup, a slider drag) may keep the frame beyond this
    // editor when the host deletes its instance from inside an idle: its
    // controls must not report to the editor afterwards.
    if (frame)
        for (int i = 0; i < frame->getNbViews(); ++i)
            if (auto* control = dynamic_cast<CControl*>(frame->getView(i));
                control && control->getListener() == this)
                control->setListener(nullptr);
    forgetViews();
    // The base lets go of the frame, and tells it first that its editor is
    // gone, for a modal loop still running in it.
    background->forget();
}

PitchEffect* PitchEditor::pitchEffect() { return static_cast<PitchEffect*>(effect); }

bool PitchEditor::open(void* parentWindow)
{
    if (!AEffGUIEditor::open(parentWindow))
        return false;
    auto* newFrame = new CFrame(CRect(0, 0, kEditorWidth, kEditorHeight), parentWindow, this);
    if (!newFrame->isOpen()) {
        newFrame->forget();
        AEffGUIEditor::close();
        return false;
    }
    newFrame->setBackground(background);
    frame = newFrame;
    buildViews();
    modeMenu->setValue(static_cast<float>(pitchEffect()->session().transportMode()));
    return true;
}

void PitchEditor::close()
{
    if (deferClose())
        return;
    forgetViews();
    AEffGUIEditor::close();
}

void PitchEditor::forgetViews()
{
    noteEditorScrollView = nullptr;
    scanScrollView = nullptr;
    modeMenu = noteMenu = scaleMenu = selectMenu = nullptr;
    for (CSlider*& slider : noteSliders)
        slider = nullptr;
    for (PanelButton*& button : toolButtons)
        button = nullptr;
}

void PitchEditor::idle()
{
    applyRedrawRequests();
    showHistoryEntries();
    showFormantMode(); // a restored chunk or an undo may have changed it
    if (noteEditorScrollView && !isInIdleStuff())
        noteEditorScrollView->noteView->trackHover();
    AEffGUIEditor::idle();
}

// The audio thread and the note edits only raise flags; the views are marked
// here, on the thread that owns them, so the audio thread never touches a
// view and closing the editor while the host plays is safe. A flag is taken
// also while the editor is closed, so that an old request does not linger.
void PitchEditor::applyRedrawRequests()
{
    const EditSession::RedrawRequests requests = pitchEffect()->session().takeRedrawRequests();
    if (requests.noteEditor && noteEditorScrollView)
        noteEditorScrollView->setDirty(true);
    if (requests.scanView && scanScrollView)
        scanScrollView->setDirty(true);
}

// "undo" and "redo" stand at the end of the "manipulate..." menu only while
// there is a step to undo or redo.
void PitchEditor::showHistoryEntries()
{
    if (!noteMenu)
        return;
    const EditSession& session = pitchEffect()->session();
    const int shown = (session.canUndo() ? kUndoShown : 0) | (session.canRedo() ? kRedoShown : 0);
    if (shown == shownHistory)
        return;
    shownHistory = shown;
    const int current = noteMenu->getCurrent();
    noteMenu->removeAllEntry();
    for (const char* entry : kNoteMenuEntries)
        noteMenu->addEntry(entry);
    if (shown & kUndoShown)
        noteMenu->addEntry(kUndoEntry);
    if (shown & kRedoShown)
        noteMenu->addEntry(kRedoEntry);
    noteMenu->setCurrent(std::max(current, 0));
    showFormantMode(); // the rebuilt entries start unchecked
}

bool PitchEditor::onKeyDown(VstKeyCode& key)
{
    const HistoryKey command = historyKeyOf(key);
    if (command == HistoryKey::none)
        return AEffGUIEditor::onKeyDown(key);
    EditSession& session = pitchEffect()->session();
    if (command == HistoryKey::undo)
        session.undo();
    else
        session.redo();
    showHistoryEntries();
    showFormantMode();
    markDirty(noteEditorScrollView);
    return true;
}

void PitchEditor::noteGrabbed(const float* sliderValues)
{
    static_assert(kNoteSliderCount == kNoteSliderValues);
    for (int s = 0; s < kNoteSliderCount; ++s) {
        if (CSlider* slider = noteSliders[s]) {
            slider->setValue(sliderValues[s]);
            slider->setDirty(true);
        }
    }
}

void PitchEditor::beginEdit(VstInt32 index)
{
    // A slider drag is one step of the edit, however many values it sends.
    if (isNoteSliderTag(index))
        pitchEffect()->session().beginGesture();
    AEffGUIEditor::beginEdit(index);
}

void PitchEditor::endEdit(VstInt32 index)
{
    AEffGUIEditor::endEdit(index);
    if (isNoteSliderTag(index)) {
        pitchEffect()->session().endGesture();
        showHistoryEntries();
    }
}

void PitchEditor::showFormantMode()
{
    if (noteMenu)
        noteMenu->setEntryChecked(
            kKeepFormantsEntry, pitchEffect()->formantMode() == kFormantsKept);
}

// Every control reports here and runs the action of its tag. Sliders, menus
// and the scale popup act on any value; buttons send 0 for a click with a
// modifier or the middle button, which does nothing.
void PitchEditor::valueChanged(CDrawContext* context, CControl* control)
{
    if (!control)
        return;
    struct ControlAction {
        long firstTag;
        long lastTag;
        bool actsOnZero;
        void (PitchEditor::*action)(const ControlEvent&);
    };
    static constexpr ControlAction kActions[] = {
        {kStandardPitchTag, kStandardPitchTag, true, &PitchEditor::setStandardPitch},
        {kFirstNoteSliderTag, kLastNoteSliderTag, true, &PitchEditor::setNoteSetting},
        {kModeMenuTag, kModeMenuTag, true, &PitchEditor::chooseMode},
        {kNoteMenuTag, kNoteMenuTag, true, &PitchEditor::chooseNoteMenuEntry},
        {kSelectMenuTag, kSelectMenuTag, true, &PitchEditor::chooseSelectMenuEntry},
        {kScaleMenuTag, kScaleMenuTag, true, &PitchEditor::chooseScale},
        {kLowestKeyTag, kHighestKeyTag, false, &PitchEditor::clickKey},
        {kFirstToolTag, kFirstToolTag + kToolButtonCount - 1, false, &PitchEditor::chooseTool},
        {kPlayTag, kPlayTag, false, &PitchEditor::clickPlay},
        {kStopTag, kStopTag, false, &PitchEditor::clickStop},
        {kTransferTag, kTransferTag, false, &PitchEditor::clickTransfer},
        {kRenderTag, kRenderTag, false, &PitchEditor::clickRender},
    };
    const ControlEvent event {context, control, control->getValue(), control->getTag()};
    for (const ControlAction& entry : kActions) {
        if (event.tag < entry.firstTag || event.tag > entry.lastTag)
            continue;
        if (entry.actsOnZero || event.value != 0.0f)
            (this->*entry.action)(event);
        return;
    }
}

void PitchEditor::setStandardPitch(const ControlEvent& event)
{
    pitchEffect()->session().setStandardPitchControl(2.0f * event.value);
}

void PitchEditor::setNoteSetting(const ControlEvent& event)
{
    pitchEffect()->session().setNoteSetting(noteSettingOfTag(event.tag), event.value);
}

void PitchEditor::chooseMode(const ControlEvent& event)
{
    pitchEffect()->session().setTransportMode(static_cast<int>(event.value));
    if (event.value == static_cast<float>(kLiveIntonation) && scanScrollView)
        scanScrollView->scrollToFrame(0);
}

void PitchEditor::chooseNoteMenuEntry(const ControlEvent& event)
{
    EditSession& session = pitchEffect()->session();
    const float v = event.value;
    if (v == static_cast<float>(kDeleteNotesEntry))
        session.deleteSelectedNotes();
    else if (v == static_cast<float>(kDuplicateNotesEntry))
        session.duplicateSelectedNotes();
    else if (v == static_cast<float>(kTuneNotesEntry))
        session.tuneSelectedNotes();
    else if (v == static_cast<float>(kKeepFormantsEntry))
        session.setFormantMode(
            session.formantMode() == kFormantsKept ? kFormantsMove : kFormantsKept);
    else if (const char* entry = noteMenu ? noteMenu->getEntry(static_cast<int>(v)) : nullptr) {
        if (std::strcmp(entry, kUndoEntry) == 0)
            session.undo();
        else if (std::strcmp(entry, kRedoEntry) == 0)
            session.redo();
    }
    showHistoryEntries();
    showFormantMode();
    event.control->setValue(0.0f);
    markDirty(noteEditorScrollView);
}

void PitchEditor::chooseSelectMenuEntry(const ControlEvent& event)
{
    EditSession& session = pitchEffect()->session();
    if (event.value == static_cast<float>(kSelectAllEntry))
        session.selectAllNotes();
    else if (event.value == static_cast<float>(kSelectNoneEntry))
        session.clearSelection();
    event.control->setValue(0.0f);
    markDirty(noteEditorScrollView);
}

void PitchEditor::chooseScale(const ControlEvent& event)
{
    pitchEffect()->session().setScale(static_cast<int>(event.value), scaleRoot);
    markDirty(scanScrollView);
    markDirty(noteEditorScrollView);
}

void PitchEditor::clickKey(const ControlEvent& event)
{
    const int pc = static_cast<int>(event.tag - kLowestKeyTag);
    if (event.value == kClickValue) {
        pitchEffect()->session().togglePitchClass(pc);
        markDirty(scanScrollView);
        markDirty(noteEditorScrollView);
    } else if (event.value == kRightClickValue) {
        openScalePopup(event.context, event.control, pc);
    }
}

void PitchEditor::chooseTool(const ControlEvent& event)
{
    pitchEffect()->session().setEditTool(static_cast<int>(event.tag - kFirstToolTag));
    for (PanelButton* button : toolButtons) {
        if (!button)
            continue;
        button->selected = false;
        button->setDirty(true);
    }
    if (auto* clicked = dynamic_cast<PanelButton*>(event.control)) {
        clicked->selected = true;
        clicked->setDirty(true);
    }
}

void PitchEditor::clickPlay(const ControlEvent&)
{
    pitchEffect()->session().play();
    if (modeMenu)
        modeMenu->setValue(static_cast<float>(kAutoMode));
}

void PitchEditor::clickStop(const ControlEvent&) { pitchEffect()->session().stop(); }

void PitchEditor::clickTransfer(const ControlEvent&) { pitchEffect()->session().transfer(); }

void PitchEditor::clickRender(const ControlEvent&) { renderToWave(); }

// The scale popup of a right-clicked key: the menu takes the key's place,
// offers the scales on its pitch class and tells valueChanged (tag 4) of a
// choice before takeFocus returns.
void PitchEditor::openScalePopup(CDrawContext* context, CControl* key, int pc)
{
    scaleRoot = pc;
    COptionMenu* menu = scaleMenu;
    if (!menu)
        return;
    const std::string name = kPitchClassNames[static_cast<size_t>(pc)];
    menu->setViewSize(key->getViewSize()); // the mouseable area stays 1 x 1
    menu->removeAllEntry();
    menu->addEntry("Free selection");
    menu->addEntry((name + " dur (major)").c_str());
    menu->addEntry((name + " moll (minor)").c_str());
    menu->addEntry("allow all");
    menu->setCurrent(0, true);
    // Both stay alive whatever the idle calls of the popup do to the frame.
    menu->remember();
    key->remember();
    const std::shared_ptr<const bool> alive = lifeToken();
    menu->takeFocus(context);
    // Left on the key, the opaque menu would cover it at its next redraw.
    if (*alive && scaleMenu == menu) {
        menu->setViewSize(kScaleMenuSize);
        key->setDirty(true);
    }
    key->forget();
    menu->forget();
}

void PitchEditor::renderToWave()
{
    VstFileType waveType
        = makeVstFileType("Wave File", "WAVE", "wav", "wav", "audio/wav", "audio/x-wav");
    auto returnPath = std::make_unique<char[]>(kRenderPathCapacity); // zeroed
    VstFileSelect request = makeRenderFileSelect(&waveType, returnPath.get(), kRenderPathCapacity);
    CFileSelector selector(effect, &getPlatform());
    const std::shared_ptr<const bool> alive = lifeToken();
    // The host may delete its instance while the selector waits for the user.
    if (!selector.run(&request) || !*alive)
        return;
    // Only the buffer handed out is read and freed: a pointer the selector
    // put in its place belongs to whoever made it.
    returnPath[kRenderPathCapacity - 1] = '\0';
    if (returnPath[0] != '\0')
        pitchEffect()->renderTake(returnPath.get());
}

void PitchEditor::buildViews()
{
    frame->removeAll(true);
    SharedBitmaps bitmaps;
    PitchEffect* owner = pitchEffect();

    // 1: the analysis tabs, each page a scroll view of its analysis row.
    auto* tabView = new CTabView(
        CRect(10, 20, 400, 400), frame, bitmaps.tabs, nullptr, CTabView::kPositionTop, 0);
    tabView->setTransparency(true);
    CRect page;
    tabView->getTabViewSize(page);
    page.top += kTabPageExtraTop;
    for (int row = 0; row < kAnalysisRows; ++row) {
        auto* scroll = new NoteScrollView(page, frame);
        scroll->noteView->effect = owner;
        scroll->noteView->analysisRow = row;
        tabView->addTab(scroll, kTabNames[row]);
        if (row == 0)
            scanScrollView = scroll;
    }
    frame->addView(tabView);

    // 2: the note editor.
    noteEditorScrollView = new NoteScrollView(CRect(422, 56, 812, 400), frame);
    noteEditorScrollView->noteView->effect = owner;
    noteEditorScrollView->noteView->analysisRow = kNoteEditorRow;
    noteEditorScrollView->noteView->grabListener = this;
    frame->addView(noteEditorScrollView);

    // 3 to 6: the menus; the scale menu only ever appears as a popup.
    modeMenu = makeMenu(frame, this, CRect(11, 405, 100, 421), kModeMenuTag,
        {"Auto mode", "Force scan", "Live intonation"});
    noteMenu = makeMenu(frame, this, CRect(423, 405, 518, 421), kNoteMenuTag, {});
    shownHistory = kNoHistoryShown;
    showHistoryEntries();
    showFormantMode();
    selectMenu = makeMenu(frame, this, CRect(530, 405, 625, 421), kSelectMenuTag,
        {"select notes...", "select all notes", "select none"});
    scaleMenu = makeMenu(
        frame, this, kScaleMenuSize, kScaleMenuTag, {"Dur (major)", "Moll (minor)", "allow all"});

    // 7 to 10: render, transfer, play and stop.
    makeButton(frame, this, CRect(702, 405, 772, 421), kRenderTag, kButtonImageHeight,
        bitmaps.panel, kLabelButtonOffset, "render", false);
    makeButton(frame, this, CRect(309, 405, 399, 421), kTransferTag, kButtonImageHeight,
        bitmaps.panel, kLabelButtonOffset, "transfer >>", true);
    makeButton(frame, this, CRect(777, 405, 793, 421), kPlayTag, kButtonImageHeight, bitmaps.panel,
        kSmallButtonOffset, ">", true);
    makeButton(frame, this, CRect(796, 405, 812, 421), kStopTag, kButtonImageHeight, bitmaps.panel,
        kSmallButtonOffset, "", true);

    // 11: the keyboard, B at the top down to C at the bottom.
    for (int i = 0; i < kPitchClasses; ++i) {
        int y = static_cast<int>((i + 1) * kKeySpacing + kKeyboardTop);
        makeButton(frame, this, CRect(kKeyboardLeft, y, kKeyboardLeft + kKeySize, y + kKeySize),
            kHighestKeyTag - i, kButtonImageHeight, bitmaps.panel, kSmallButtonOffset,
            kKeyLabels[i], true);
    }

    // 12: the tool buttons, the first one selected.
    for (int tool = 0; tool < kToolButtonCount; ++tool) {
        int x = 739 + 19 * tool;
        CPoint icon(kToolIconSize * tool, 0);
        toolButtons[tool] = makeButton(frame, this, CRect(x, 30, x + kKeySize, 45),
            kFirstToolTag + tool, 0, bitmaps.tools, icon, "", true);
    }
    toolButtons[0]->selected = true;

    // 13 to 15: the sliders.
    makeSlider(frame, this, bitmaps, 11, 487, kStandardPitchTag);
    for (int s = 0; s < kNoteSliderCount; ++s) {
        int left = s < 4 ? 423 : 700;
        int top = kSliderRowTop + kSliderRowStep * (s % 4);
        noteSliders[s] = makeSlider(frame, this, bitmaps, left, top, kFirstNoteSliderTag + s);
    }

    // 16 to 19: the labels.
    for (int s = 0; s < kNoteSliderCount; ++s) {
        int left = s < 4 ? 539 : 629;
        int right = s < 4 ? 639 : 700;
        int top = kSliderRowTop + kSliderRowStep * (s % 4);
        addLabel(frame, CRect(left, top, right, top + 14), kNoteSliderLabels[s]);
    }
    addLabel(frame, CRect(11, 450, 300, 470), kHint);
    addLabel(frame, CRect(137, 487, 237, 501), kStandardPitchLabel);

    frame->setDirty(true);
}
