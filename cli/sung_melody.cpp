#include "cli/sung_melody.h"

#include "cli/note_names.h"
#include "model/pitch_units.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr int kMaxHarmonics = 40;
constexpr double kAttackSeconds = 0.04;
constexpr double kReleaseSeconds = 0.06;
constexpr double kVibratoFadeSeconds = 0.3;
constexpr double kNoiseLevel = 0.002;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The vowel "ah": three resonances (centre hertz, bandwidth hertz, gain).
struct Formant {
    double centre;
    double bandwidth;
    double gain;
};
constexpr Formant kFormants[] = {{730.0, 90.0, 1.5}, {1090.0, 110.0, 0.9}, {2440.0, 170.0, 0.4}};
// The glottal source falls a little faster than 6 dB an octave, so that the
// fundamental stays the strongest partial even where a formant lifts a
// harmonic, as in a chest voice.
constexpr double kSourceTilt = 1.2;

// Gain of the vocal tract at a frequency: the resonance peaks over a flat floor.
double formantGain(double hertz)
{
    double gain = 1.0;
    for (const Formant& formant : kFormants) {
        double x = (hertz - formant.centre) / (0.5 * formant.bandwidth);
        gain += formant.gain / (1.0 + x * x);
    }
    return gain;
}

double envelope(double t, double length)
{
    double attack = std::min(1.0, t / kAttackSeconds);
    double release = std::min(1.0, (length - t) / kReleaseSeconds);
    return std::clamp(std::min(attack, release), 0.0, 1.0);
}

} // namespace

std::vector<float> synthesiseMelody(const std::vector<SungNote>& notes, int sampleRate,
    const VoiceSettings& voice, std::vector<SungSpan>* spans)
{
    const double rate = sampleRate;
    std::vector<float> signal;
    std::mt19937 noise(voice.noiseSeed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    if (spans)
        spans->clear();

    for (const SungNote& note : notes) {
        const long length = std::lround(note.seconds * rate);
        const long start = static_cast<long>(signal.size());
        const double centre = note.semitone + note.detuneCents / 100.0;
        const double fundamental = frequencyOfPitch(centre);
        const int harmonics
            = std::clamp(static_cast<int>(0.45 * rate / fundamental), 1, kMaxHarmonics);
        // Harmonic gains follow the formants at the note's centre frequency;
        // the vibrato moves the harmonics across them only slightly.
        std::vector<double> gains(static_cast<std::size_t>(harmonics));
        double total = 0.0;
        for (int h = 0; h < harmonics; ++h) {
            gains[static_cast<std::size_t>(h)]
                = formantGain(fundamental * (h + 1)) / std::pow(h + 1.0, kSourceTilt);
            total += gains[static_cast<std::size_t>(h)];
        }
        for (double& gain : gains)
            gain /= total;
        double phase = 0.0;

        for (long i = 0; i < length; ++i) {
            const double t = i / rate;
            double vibratoShare
                = std::clamp((t - voice.vibratoDelay) / kVibratoFadeSeconds, 0.0, 1.0);
            double vibrato = vibratoShare * voice.vibratoCents / 100.0
                * std::sin(kTwoPi * voice.vibratoHertz * std::max(0.0, t - voice.vibratoDelay));
            const double hertz = frequencyOfPitch(centre + vibrato);
            // Every harmonic's phase is a multiple of the fundamental's:
            // sin((h + 1) x) = 2 cos x sin(h x) - sin((h - 1) x).
            phase += kTwoPi * hertz / rate;
            if (phase > kTwoPi)
                phase -= kTwoPi;
            const double twiceCosine = 2.0 * std::cos(phase);
            double previous = 0.0;
            double current = std::sin(phase);
            double sample = 0.0;
            for (int h = 0; h < harmonics; ++h) {
                sample += gains[static_cast<std::size_t>(h)] * current;
                const double next = twiceCosine * current - previous;
                previous = current;
                current = next;
            }
            sample = voice.level * envelope(t, note.seconds) * sample;
            sample += kNoiseLevel * voice.level * uniform(noise);
            signal.push_back(static_cast<float>(sample));
        }
        if (spans)
            spans->push_back({start, start + length});
        const long breath = std::lround(voice.breathSeconds * rate);
        for (long i = 0; i < breath; ++i)
            signal.push_back(static_cast<float>(kNoiseLevel * voice.level * uniform(noise)));
    }
    return signal;
}

std::vector<SungNote> demoMelody()
{
    // C3 D3 E3 G3 A3 G3 E3 C3, alternately sharp and flat. Neighbouring notes
    // stay more than a semitone apart as sung, so that each is a note of its own.
    return {{0, 32.0f, 0.9}, {2, -24.0f, 0.9}, {4, 41.0f, 0.9}, {7, -37.0f, 1.2}, {9, 26.0f, 0.9},
        {7, -43.0f, 0.9}, {4, 22.0f, 0.9}, {0, -30.0f, 1.5}};
}
