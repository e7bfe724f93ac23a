#include "cli/sung_melody.h"
#include "sustained_pitch.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// The middle of a note, over a whole number of vibrato cycles once the
// vibrato has fully set in.
struct Window {
    long from;
    long to;
};

Window steadyWindow(const SungSpan& span, int rate, const VoiceSettings& voice)
{
    long from = span.start + static_cast<long>(0.6 * rate);
    long cycles = static_cast<long>((span.end - from - 0.25 * rate) * voice.vibratoHertz / rate);
    long to = from + static_cast<long>(cycles * rate / voice.vibratoHertz) + 2048;
    return {from, to};
}

} // namespace

TEST(SungMelodyTest, EachNoteIsSungAsDetunedAsAsked)
{
    for (int rate : {44100, 48000}) {
        std::vector<SungNote> notes = {{0, 32.0f, 1.6}, {4, -41.0f, 1.6}, {9, 25.0f, 1.6}};
        VoiceSettings voice;
        std::vector<SungSpan> spans;
        std::vector<float> signal = synthesiseMelody(notes, rate, voice, &spans);
        ASSERT_EQ(spans.size(), notes.size());
        for (std::size_t n = 0; n < notes.size(); ++n) {
            Window window = steadyWindow(spans[n], rate, voice);
            double pitch = meanPitch(signal, window.from, window.to, rate);
            double expected = notes[n].semitone + notes[n].detuneCents / 100.0;
            EXPECT_NEAR(pitch, expected, 0.02) << "note " << n << " at " << rate;
        }
    }
}

TEST(SungMelodyTest, SpansBreathsAndLevel)
{
    VoiceSettings voice;
    std::vector<SungSpan> spans;
    std::vector<float> signal
        = synthesiseMelody({{0, 0.0f, 0.5}, {2, 0.0f, 0.25}}, 44100, voice, &spans);
    ASSERT_EQ(spans.size(), 2u);
    EXPECT_EQ(spans[0].start, 0);
    EXPECT_EQ(spans[0].end, 22050);
    const long breath = std::lround(voice.breathSeconds * 44100);
    EXPECT_EQ(spans[1].start, 22050 + breath);
    EXPECT_EQ(static_cast<long>(signal.size()), spans[1].end + breath);
    float peak = 0.0f;
    for (float s : signal) {
        ASSERT_TRUE(std::isfinite(s));
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_LE(peak, voice.level * 1.01);
    EXPECT_GT(peak, voice.level * 0.3);
    // The breath is near silence.
    for (long i = spans[0].end + 10; i < spans[1].start; ++i)
        EXPECT_LT(std::fabs(signal[static_cast<std::size_t>(i)]), 0.01f);
}

TEST(SungMelodyTest, DemoMelodyIsDetunedTwentyToFortyFiveCents)
{
    std::vector<SungNote> melody = demoMelody();
    ASSERT_GE(melody.size(), 6u);
    for (const SungNote& note : melody) {
        EXPECT_GE(std::fabs(note.detuneCents), 20.0f);
        EXPECT_LE(std::fabs(note.detuneCents), 45.0f);
    }
    // Notes less than a semitone apart as sung would be cut as one note.
    for (std::size_t n = 1; n < melody.size(); ++n) {
        double previous = melody[n - 1].semitone + melody[n - 1].detuneCents / 100.0;
        double current = melody[n].semitone + melody[n].detuneCents / 100.0;
        EXPECT_GT(std::fabs(current - previous), 1.0) << "notes " << n - 1 << " and " << n;
    }
}
