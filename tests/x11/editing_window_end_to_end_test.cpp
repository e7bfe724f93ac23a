// The whole road of a take through the real window: a host loads the .so,
// records a detuned melody through its transport, and a second client plays
// the user with injected clicks and a drag: "transfer >>", "tune notes",
// "select none", one note dragged up a semitone with the arrow tool. The host
// plays the region again and every note is measured; then "render" writes
// the same resynthesis to the file the host's selector names.
#include "editor/note_geometry.h"
#include "editor/note_scroll_view.h"
#include "editor/pitch_editor.h"
#include "host/test_host.h"
#include "model/pitch_units.h"
#include "shell/pitch_effect.h"
#include "support/effect_internals.h"
#include "support/pitch_measure.h"
#include "x11_display.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512; // one frame
constexpr auto kIdlePeriod = milliseconds(33); // a host idling at 30 Hz
constexpr int kBlocksPerIdle = 3; // about 30 Hz of audio time between idles
constexpr auto kPatience = seconds(15); // per step of the user, on a loaded machine

// Sung notes, each between 20 and 40 cents off a semitone of the initial
// scale (C natural minor), with breaths between them.
struct SungNote {
    double pitch; // semitones, 0 = C at 130.81 Hz
    int semitone; // the allowed semitone "tune notes" must choose
};
const std::vector<SungNote> kMelody = {{7.30, 7}, {11.75, 12}, {3.35, 3}, {9.70, 10}, {5.25, 5}};
constexpr int kDragged = 2; // index in kMelody of the note dragged up
constexpr int kLeadInFrames = 12;
constexpr int kNoteFrames = 60;
constexpr int kBreathFrames = 8;
constexpr int kTailFrames = 16;
constexpr int kHarmonics = 6;
constexpr double kVibratoDepth = 0.15; // semitones, peak
constexpr double kVibratoRate = 5.5; // Hz
constexpr int kFadeSamples = 441; // 10 ms edges, so no click splits a note
constexpr double kTwoPi = 6.283185307179586;

// Where the editor's controls lie in its window (centres of their rectangles).
constexpr int kNoteEditorLeft = 422;
constexpr int kNoteEditorTop = 56;
const CPoint kTransferButton {354, 413};
const CPoint kNoteMenu {470, 413};
const CPoint kSelectMenu {577, 413};
const CPoint kRenderButton {737, 413};
const CPoint kNeutralPoint {150, 460}; // the fixed text field: no gesture

int noteStartFrame(int index) { return kLeadInFrames + index * (kNoteFrames + kBreathFrames); }
int melodyFrames() { return noteStartFrame(int(kMelody.size())) - kBreathFrames + kTailFrames; }
int noteMiddleFrame(int index) { return noteStartFrame(index) + kNoteFrames / 2; }

// A voice-like tone per note: falling harmonics, a vibrato running through
// the whole take, faded edges and silence between the notes.
std::vector<float> singMelody()
{
    std::vector<float> take(size_t(melodyFrames()) * kBlock, 0.0f);
    for (size_t n = 0; n < kMelody.size(); ++n) {
        const int start = noteStartFrame(int(n)) * kBlock;
        const int length = kNoteFrames * kBlock;
        double phase = 0.0;
        for (int i = 0; i < length; ++i) {
            const int t = start + i;
            const double pitch
                = kMelody[n].pitch + kVibratoDepth * std::sin(kTwoPi * kVibratoRate * t / kRate);
            phase += kTwoPi * frequencyOfPitch(pitch) / kRate;
            double s = 0.0;
            for (int h = 1; h <= kHarmonics; ++h)
                s += std::sin(h * phase) / h;
            const double edge = std::fmin(1.0, std::fmin(i, length - 1 - i) / double(kFadeSamples));
            take[size_t(t)] = float(0.25 * edge * s);
        }
    }
    return take;
}

// Pitch in cents against the frequency of reference, measured over two
// vibrato periods centred on the middle of sung note index.
double centsAt(const std::vector<float>& signal, int index, double reference)
{
    constexpr int kWindow = int(2.0 * kRate / kVibratoRate);
    const size_t at = size_t(noteMiddleFrame(index)) * kBlock - kWindow / 2;
    const double f = measureFrequency(signal.data() + at, kWindow, kRate);
    return f > 0.0 ? centsBetween(frequencyOfPitch(reference), f) : 1.0e9;
}

PitchEffect* effectOf(AEffect* effect)
{
    return static_cast<PitchEffect*>(AudioEffect::fromAeffect(effect));
}

// The note whose target span holds frame, or -1.
int noteAtFrame(const TakeModel& model, int frame)
{
    for (int i = 0; i < model.noteCount; ++i)
        if (model.targetStart[i] <= frame && frame < model.targetEnd[i])
            return i;
    return -1;
}

// The render's sample conversion, as a WAV file stores a float sample.
int16_t waveValue(float sample)
{
    const float scaled = sample * 32767.0f;
    if (scaled <= -32767.0f)
        return -32767;
    if (scaled >= 32767.0f)
        return 32767;
    return int16_t(std::trunc(scaled));
}

uint32_t littleEndian(const std::vector<unsigned char>& bytes, size_t at, int size)
{
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | bytes[at + size_t(i)];
    return v;
}

// The user, on a connection of its own: injects input and waits for what it
// expects to see, while the test's thread idles the editor like a host.
class User {
public:
    User(PitchEffect& core, const std::atomic<int>& hostIdles, const std::atomic<int>& masterIdles,
        CPoint origin)
        : core(core)
        , hostIdles(hostIdles)
        , masterIdles(masterIdles)
        , origin(origin)
        , display(XOpenDisplay(nullptr))
    {
    }
    ~User()
    {
        if (display) {
            // Never leave a button held or a popup waiting.
            if (held)
                releaseButton(display);
            if (findPopup(display))
                pressKey(display, XK_Escape);
            XCloseDisplay(display);
        }
    }

    bool ok() const { return display && failure.empty(); }

    // Waits until done() holds (read under the edit lock), or records why not.
    bool waitFor(const char* what, const std::function<bool(const TakeModel&)>& done,
        Clock::duration patience = kPatience)
    {
        const auto deadline = Clock::now() + patience;
        while (Clock::now() < deadline) {
            {
                EditGuard guard(editLockOf(core));
                if (done(modelOf(core)))
                    return true;
            }
            std::this_thread::sleep_for(milliseconds(5));
        }
        return fail(what);
    }
    // Waits until counter has gone past its value now by at least steps.
    bool waitForCount(const char* what, const std::atomic<int>& counter, int steps = 1)
    {
        const int target = counter.load() + steps;
        const auto deadline = Clock::now() + kPatience;
        while (counter.load() < target) {
            if (Clock::now() > deadline)
                return fail(what);
            std::this_thread::sleep_for(milliseconds(2));
        }
        return true;
    }
    // Two whole host idles: the editor has read the pointer where it is now.
    bool settle() { return waitForCount("the host to idle the editor", hostIdles, 2); }

    void moveTo(CPoint p) { movePointer(display, origin.h + p.h, origin.v + p.v); }
    void press()
    {
        pressButton(display);
        held = true;
    }
    void release()
    {
        releaseButton(display);
        held = false;
    }

    // A panel button sends its value from the live button state: held until
    // its command is seen, then released.
    bool pushButton(CPoint p, const char* what, const std::function<bool(const TakeModel&)>& done)
    {
        moveTo(p);
        if (!settle())
            return false;
        press();
        const bool seen = waitFor(what, done);
        release();
        return seen && settle();
    }

    // Opens the menu at p and picks entry of count equal rows.
    bool chooseFromMenu(CPoint p, int entry, int count)
    {
        moveTo(p);
        if (!settle())
            return false;
        clickAt(display, origin.h + p.h, origin.v + p.v);
        PopupGeometry popup;
        if (!waitForPopup(display, popup, kPatience))
            return fail("the popup menu to appear");
        const int row = popup.height / count;
        clickAt(display, popup.x + popup.width / 2, popup.y + entry * row + row / 2);
        const auto deadline = Clock::now() + kPatience;
        while (findPopup(display)) {
            if (Clock::now() > deadline)
                return fail("the popup menu to close");
            std::this_thread::sleep_for(milliseconds(5));
        }
        return settle();
    }

    bool fail(const char* what)
    {
        if (failure.empty())
            failure = std::string("timed out waiting for ") + what;
        return false;
    }

    PitchEffect& core;
    const std::atomic<int>& hostIdles;
    const std::atomic<int>& masterIdles;
    CPoint origin; // the editor window's corner on the screen
    Display* display;
    bool held = false;
    std::string failure;
};

class EditingWindowEndToEndTest : public X11Display {
protected:
    void SetUp() override
    {
        // Without a display there is no window to drive (ctest gives one).
        const char* name = std::getenv("DISPLAY");
        Display* probe = name && *name ? XOpenDisplay(nullptr) : nullptr;
        if (!probe)
            GTEST_SKIP() << "no X display";
        int event, error, major, minor;
        const bool xtest = XTestQueryExtension(probe, &event, &error, &major, &minor);
        XCloseDisplay(probe);
        if (!xtest)
            GTEST_SKIP() << "no XTest extension";
        X11Display::SetUp();
        char pattern[] = "/tmp/cantilo-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
    }
    void TearDown() override
    {
        if (!folder.empty()) {
            std::remove(renderedPath().c_str());
            rmdir(folder.c_str());
        }
        X11Display::TearDown();
    }

    std::string renderedPath() const { return folder + "/take.wav"; }

    // Idles the open editor at the host's rate until done (or the patience
    // runs out); modal loops inside an idle are the user's to end.
    bool idleUntil(AEffect* effect, const std::function<bool()>& done, Clock::duration patience)
    {
        const auto deadline = Clock::now() + patience;
        while (!done()) {
            if (Clock::now() > deadline)
                return false;
            TestHost::dispatch(effect, effEditIdle);
            ++hostIdles;
            std::this_thread::sleep_for(kIdlePeriod);
        }
        return true;
    }

    // Plays the user's part on another thread while this one idles the editor.
    void actAsUser(AEffect* effect, const std::function<void(User&)>& part)
    {
        std::atomic<bool> finished {false};
        std::string failure;
        std::thread user([&] {
            {
                User u(*effectOf(effect), hostIdles, masterIdles, origin);
                if (u.display)
                    part(u);
                else
                    u.failure = "no second connection to the display";
                failure = u.failure;
            }
            finished = true;
        });
        // The user's own waits are bounded; this bound only catches a hang.
        const bool ended = idleUntil(
            effect, [&] { return finished.load(); }, seconds(120));
        user.join();
        EXPECT_TRUE(ended);
        EXPECT_EQ(failure, "");
    }

    // The host's transport runs from 0 over the whole melody, one block after
    // the other with an idle every few blocks; the output of channel 0.
    std::vector<float> runTransport(
        TestHost& host, AEffect* effect, const std::vector<float>& input)
    {
        std::vector<float> output(input.size(), 0.0f), right(kBlock);
        for (size_t at = 0; at + kBlock <= input.size(); at += kBlock) {
            host.setTransport(double(at), true);
            float* inputs[2] = {const_cast<float*>(&input[at]), const_cast<float*>(&input[at])};
            float* outputs[2] = {&output[at], right.data()};
            host.process(effect, inputs, outputs, kBlock);
            for (int i = 0; i < kBlock; ++i)
                bothChannelsEqual = bothChannelsEqual && right[size_t(i)] == output[at + size_t(i)];
            if ((at / kBlock) % kBlocksPerIdle == 0) {
                TestHost::dispatch(effect, effEditIdle);
                ++hostIdles;
            }
        }
        host.setTransport(double(input.size()), false);
        return output;
    }

    std::atomic<int> hostIdles {0}; // effEditIdle calls returned
    std::atomic<int> masterIdles {0}; // audioMasterIdle calls from the modal loops
    CPoint origin;
    std::string folder;
    bool bothChannelsEqual = true;
};

TEST_F(EditingWindowEndToEndTest, RecordTuneDragPlayAndRenderThroughTheWindow)
{
    TestHost host;
    ASSERT_TRUE(host.loaded());
    host.onIdle = [this] { ++masterIdles; };
    AEffect* effect = host.createInstance(float(kRate), kBlock);
    ASSERT_NE(effect, nullptr);
    // Closed on every way out, a failed assertion included.
    struct Closer {
        TestHost& host;
        AEffect* effect;
        ~Closer()
        {
            TestHost::dispatch(effect, effEditClose);
            host.closeInstance(effect);
        }
    } closer {host, effect};
    PitchEffect* core = effectOf(effect);
    ASSERT_EQ(core->takeModel().transportMode.load(), kAutoMode);

    Window hostWindow = makeHostWindow(0, 0, kEditorWidth, kEditorHeight);
    ASSERT_EQ(
        TestHost::dispatch(effect, effEditOpen, 0, 0, reinterpret_cast<void*>(hostWindow)), 1);
    ASSERT_TRUE(idleUntil(
        effect,
        [&] {
            std::vector<Window> inside = children(hostWindow);
            return !inside.empty() && isViewable(inside.front());
        },
        seconds(10)));
    {
        Window child = 0;
        XTranslateCoordinates(
            dpy, hostWindow, DefaultRootWindow(dpy), 0, 0, &origin.h, &origin.v, &child);
    }
    auto* editor = static_cast<PitchEditor*>(core->getEditor());
    ASSERT_NE(editor, nullptr);
    ASSERT_NE(editor->noteEditorScrollView, nullptr);
    const NoteView* noteView = editor->noteEditorScrollView->noteView;
    const float rowH = rowHeight(noteView->getViewSize().height());

    // 1. The host records: over an empty take every block records and passes
    // the input through.
    const std::vector<float> melody = singMelody();
    const std::vector<float> recorded = runTransport(host, effect, melody);
    EXPECT_EQ(recorded, melody);
    ASSERT_EQ(core->takeModel().noteCount, 0);
    // Recording moved no note editor: frame f is at x = 422 + f.
    ASSERT_EQ(editor->noteEditorScrollView->getScrollOffset().h, 0);

    // 2. "transfer >>" cuts the notes and selects them all.
    actAsUser(effect, [](User& u) {
        u.pushButton(kTransferButton, "the notes of \"transfer >>\"",
            [](const TakeModel& m) { return m.noteCount > 0; });
    });
    std::vector<int> noteOf(kMelody.size());
    {
        EditGuard guard(editLockOf(*core));
        const TakeModel& m = core->takeModel();
        ASSERT_GE(m.noteCount, int(kMelody.size()));
        EXPECT_EQ(m.selectionCount, m.noteCount);
        for (size_t n = 0; n < kMelody.size(); ++n) {
            noteOf[n] = noteAtFrame(m, noteMiddleFrame(int(n)));
            ASSERT_GE(noteOf[n], 0) << "sung note " << n;
            // One note holds the middle half of the sung note.
            EXPECT_EQ(noteAtFrame(m, noteStartFrame(int(n)) + kNoteFrames / 4), noteOf[n]);
            EXPECT_EQ(noteAtFrame(m, noteStartFrame(int(n)) + 3 * kNoteFrames / 4), noteOf[n]);
            if (n > 0) {
                ASSERT_NE(noteOf[n], noteOf[n - 1]);
            }
        }
    }

    // 3. "tune notes" puts every selected note on its semitone of the scale.
    actAsUser(effect, [](User& u) {
        u.chooseFromMenu(kNoteMenu, 3, 6); // five entries and "undo" after the transfer
        u.waitFor("the tuned notes", [](const TakeModel& m) {
            for (int i = 0; i < m.noteCount; ++i)
                if (m.fineTune[i] != 0.0f)
                    return false;
            return true;
        });
    });
    std::vector<float> tunedPitch;
    {
        EditGuard guard(editLockOf(*core));
        const TakeModel& m = core->takeModel();
        for (size_t n = 0; n < kMelody.size(); ++n) {
            EXPECT_EQ(m.pitch[noteOf[n]], float(kMelody[n].semitone)) << "sung note " << n;
            EXPECT_EQ(m.fineTune[noteOf[n]], 0.0f);
            // The measured pitch the tuning started from: the sung one.
            EXPECT_NEAR(m.sourcePitch[noteOf[n]], kMelody[n].pitch, 0.05) << "sung note " << n;
        }
        tunedPitch.assign(m.pitch.begin(), m.pitch.begin() + m.noteCount);
    }

    // 4. "select none".
    actAsUser(effect, [](User& u) {
        u.chooseFromMenu(kSelectMenu, 2, 3);
        u.waitFor("the empty selection", [](const TakeModel& m) { return m.selectionCount == 0; });
    });

    // 5. The arrow tool (the default) drags one note up by one row: the press
    // selects it alone, the drag moves it a semitone.
    ASSERT_EQ(core->takeModel().editTool, 0);
    const int dragged = noteOf[kDragged];
    const CPoint onNote {kNoteEditorLeft + noteMiddleFrame(kDragged),
        kNoteEditorTop + pitchY(tunedPitch[size_t(dragged)], rowH)};
    const int rowPixels = int(std::lround(rowH)); // between half a row and one and a half
    actAsUser(effect, [&](User& u) {
        u.moveTo(onNote);
        if (!u.settle()) // the hover has taken the note
            return;
        u.press();
        if (!u.waitFor("the press to select the note", [&](const TakeModel& m) {
                return m.selectionCount == 1 && m.selection[0] == dragged;
            }))
            return;
        // One pass of the tracking loop has seen the pointer at the press
        // point, which anchors the drag.
        if (!u.waitForCount("the tracking loop", u.masterIdles))
            return;
        u.moveTo(CPoint(onNote.h, onNote.v - rowPixels));
        u.waitFor("the note to move",
            [&](const TakeModel& m) { return m.pitch[dragged] != tunedPitch[size_t(dragged)]; });
        u.release();
        u.settle();
        u.moveTo(kNeutralPoint);
        u.settle();
    });
    {
        EditGuard guard(editLockOf(*core));
        const TakeModel& m = core->takeModel();
        ASSERT_EQ(m.noteCount, int(tunedPitch.size()));
        EXPECT_EQ(m.selectionCount, 1);
        EXPECT_EQ(m.selection[0], dragged);
        for (int i = 0; i < m.noteCount; ++i)
            EXPECT_EQ(m.pitch[i], tunedPitch[size_t(i)] + (i == dragged ? 1.0f : 0.0f))
                << "note " << i;
    }

    // 6. The host plays the region again: every note on its semitone, the
    // dragged one a semitone higher.
    const int silencedBefore = core->silencedBlockCount();
    const std::vector<float> silence(melody.size(), 0.0f);
    const std::vector<float> played = runTransport(host, effect, silence);
    EXPECT_EQ(core->silencedBlockCount(), silencedBefore);
    EXPECT_TRUE(bothChannelsEqual);
    for (size_t n = 0; n < kMelody.size(); ++n) {
        // The measurement itself reads the sung pitch.
        EXPECT_NEAR(centsAt(melody, int(n), kMelody[n].pitch), 0.0, 1.0) << "sung note " << n;
        const double expected = kMelody[n].semitone + (int(n) == kDragged ? 1 : 0);
        EXPECT_NEAR(centsAt(played, int(n), expected), 0.0, 5.0) << "played note " << n;
    }

    // 7. "render" through the host's file selector writes what was played.
    VstFileSelect asked {};
    std::string askedType;
    std::atomic<bool> selectorShown {false};
    host.offersFileSelector = true;
    const std::string answer = folder + "/take"; // the writer adds ".wav"
    host.fileSelector = [&](VstFileSelect* request) {
        asked = *request;
        if (request->nbFileTypes >= 1 && request->fileTypes)
            askedType = request->fileTypes[0].name;
        selectorShown = true;
        if (!request->returnPath)
            return false;
        std::memcpy(request->returnPath, answer.c_str(), answer.size() + 1);
        return true;
    };
    actAsUser(effect, [&](User& u) {
        u.moveTo(kRenderButton);
        if (!u.settle())
            return;
        u.press();
        // The render runs inside the press; the idle returns once it is written.
        const auto deadline = Clock::now() + kPatience;
        while (!selectorShown.load() && Clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(5));
        if (!selectorShown.load())
            u.fail("the host's file selector");
        else
            u.waitForCount("the render to end", u.hostIdles);
        u.release();
        u.settle();
    });
    ASSERT_TRUE(selectorShown.load());
    EXPECT_EQ(asked.command, kVstFileSave);
    EXPECT_EQ(asked.nbFileTypes, 1);
    EXPECT_EQ(askedType, "Wave File");
    EXPECT_STREQ(asked.title, "Render output to wave file (GUI will freeze)");

    std::ifstream file(renderedPath(), std::ios::binary);
    ASSERT_TRUE(file.good()) << renderedPath();
    const std::vector<unsigned char> wave {
        std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    ASSERT_GE(wave.size(), 44u);
    const size_t samples = size_t(melodyFrames()) * kBlock; // the last note ends there
    EXPECT_EQ(std::memcmp(wave.data(), "RIFF", 4), 0);
    EXPECT_EQ(littleEndian(wave, 4, 4), 36 + 4 * samples);
    EXPECT_EQ(std::memcmp(wave.data() + 8, "WAVEfmt ", 8), 0);
    EXPECT_EQ(littleEndian(wave, 22, 2), 2u);
    EXPECT_EQ(littleEndian(wave, 24, 4), 44100u);
    EXPECT_EQ(littleEndian(wave, 34, 2), 16u);
    EXPECT_EQ(std::memcmp(wave.data() + 36, "data", 4), 0);
    ASSERT_EQ(littleEndian(wave, 40, 4), 4 * samples);
    ASSERT_EQ(wave.size(), 44 + 4 * samples);
    // Both start from free voices at sample 0 and run the same resynthesis of
    // the same notes: the file holds the played samples exactly.
    size_t differing = 0, firstDifference = samples;
    for (size_t i = 0; i < samples; ++i) {
        const auto left = int16_t(littleEndian(wave, 44 + 4 * i, 2));
        const auto right = int16_t(littleEndian(wave, 46 + 4 * i, 2));
        if (left != waveValue(played[i]) || right != left) {
            if (!differing)
                firstDifference = i;
            ++differing;
        }
    }
    EXPECT_EQ(differing, 0u) << "first at sample " << firstDifference;
}

} // namespace
