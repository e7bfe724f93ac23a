#include "support/singing_voice.h"

#include "model/pitch_units.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kPi = std::numbers::pi;

constexpr int kFormantCount = 5;
constexpr int kMaxHarmonics = 120;
constexpr double kTopPartialShare = 0.45; // of the sample rate: partials stay below Nyquist
constexpr int kGainUpdateSamples = 32; // partial gains follow the pitch this often
constexpr double kAttackSeconds = 0.03;
constexpr double kReleaseSeconds = 0.04;
constexpr double kConsonantLevel = 0.12; // fricative noise against the voice's level
constexpr double kMinStepSemitones = 0.6; // closest two neighbouring notes are sung
constexpr double kMinDetuneCents = 10.0;
constexpr double kMinGlideSeconds = 0.04;
constexpr double kMaxGlideSeconds = 0.08;
constexpr double kMinConsonantSeconds = 0.04;
constexpr double kMaxConsonantSeconds = 0.1;
constexpr double kConsonantShare = 1.0 / 3.0;

struct Formant {
    double centre; // Hz
    double bandwidth; // Hz
};
using FormantSet = std::array<Formant, kFormantCount>;

// Resonances of an adult vocal tract for each vowel.
constexpr std::array<FormantSet, 5> kVowelFormants = {{
    {{{730, 90}, {1090, 110}, {2440, 170}, {3400, 250}, {4200, 300}}}, // a
    {{{530, 70}, {1840, 100}, {2480, 160}, {3500, 250}, {4200, 300}}}, // e
    {{{270, 60}, {2290, 100}, {3010, 170}, {3600, 250}, {4300, 300}}}, // i
    {{{570, 80}, {840, 90}, {2410, 160}, {3400, 250}, {4200, 300}}}, // o
    {{{300, 60}, {870, 90}, {2240, 160}, {3300, 250}, {4200, 300}}}, // u
}};

// Gain of a cascade of two-pole resonators at a frequency, 1 at 0 Hz.
double tractGain(const FormantSet& formants, double scale, double hertz)
{
    double gain = 1.0;
    for (const Formant& formant : formants) {
        double centre = formant.centre * scale;
        double bandwidth = formant.bandwidth * scale;
        double detune = centre * centre - hertz * hertz;
        gain
            *= centre * centre / std::sqrt(detune * detune + hertz * hertz * bandwidth * bandwidth);
    }
    return gain;
}

// Raised-cosine step from 0 to 1 over [0, length].
double smoothStep(double t, double length)
{
    if (length <= 0.0 || t >= length)
        return 1.0;
    if (t <= 0.0)
        return 0.0;
    return 0.5 - 0.5 * std::cos(kPi * t / length);
}

// The additive glottal source with its per-period jitter and shimmer.
class Glottis {
public:
    Glottis(const SingerSettings& settings, std::mt19937& random)
        : settings(settings)
        , random(random)
        , normal(0.0, 1.0)
    {
    }

    double next(double pitch, const FormantSet& formants)
    {
        const double rate = settings.sampleRate;
        if (sinceUpdate-- <= 0) {
            updateGains(frequencyOfPitch(pitch), formants);
            sinceUpdate = kGainUpdateSamples - 1;
        }
        phase += frequencyOfPitch(pitch) * periodFactor / rate;
        if (phase >= 1.0) {
            // A new glottal period: its length and strength vary a little.
            phase -= 1.0;
            periodFactor = 1.0 + settings.jitter * std::clamp(normal(random), -3.0, 3.0);
            amplitudeFactor = 1.0 + settings.shimmer * std::clamp(normal(random), -3.0, 3.0);
        }
        // Every partial's phase is a multiple of the fundamental's:
        // sin((h + 1) x) = 2 cos x sin(h x) - sin((h - 1) x).
        const double x = kTwoPi * phase;
        const double twiceCosine = 2.0 * std::cos(x);
        double previous = 0.0;
        double current = std::sin(x);
        double sum = 0.0;
        for (int h = 0; h < harmonics; ++h) {
            sum += gains[static_cast<std::size_t>(h)] * current;
            const double following = twiceCosine * current - previous;
            previous = current;
            current = following;
        }
        return amplitudeFactor * sum;
    }

private:
    void updateGains(double hertz, const FormantSet& formants)
    {
        harmonics = std::clamp(
            static_cast<int>(kTopPartialShare * settings.sampleRate / hertz), 1, kMaxHarmonics);
        double total = 0.0;
        for (int h = 0; h < harmonics; ++h) {
            double gain = tractGain(formants, settings.formantScale, hertz * (h + 1))
                / std::pow(h + 1.0, settings.tilt);
            gains[static_cast<std::size_t>(h)] = gain;
            total += gain;
        }
        for (int h = 0; h < harmonics; ++h)
            gains[static_cast<std::size_t>(h)] /= total;
    }

    const SingerSettings& settings;
    std::mt19937& random;
    std::normal_distribution<double> normal;
    std::array<double, kMaxHarmonics> gains {};
    int harmonics = 1;
    int sinceUpdate = 0;
    double phase = 0.0; // turns
    double periodFactor = 1.0;
    double amplitudeFactor = 1.0;
};

// White noise through a first difference: the hiss of breath and fricatives.
class Hiss {
public:
    explicit Hiss(std::mt19937& random)
        : random(random)
        , uniform(-1.0, 1.0)
    {
    }
    double next()
    {
        double white = uniform(random);
        double out = 0.5 * (white - last);
        last = white;
        return out;
    }

private:
    std::mt19937& random;
    std::uniform_real_distribution<double> uniform;
    double last = 0.0;
};

bool releasesBefore(const std::vector<SungVoiceNote>& melody, std::size_t i)
{
    return i + 1 == melody.size() || melody[i + 1].consonantSeconds > 0.0;
}

} // namespace

SungTake singMelody(const std::vector<SungVoiceNote>& melody, const SingerSettings& settings)
{
    const double rate = settings.sampleRate;
    SungTake take;
    take.sampleRate = rate;
    std::mt19937 random(settings.seed);
    Glottis glottis(settings, random);
    Hiss hiss(random);

    auto silence = [&](double seconds, double noiseLevel) {
        const long length = std::lround(seconds * rate);
        for (long i = 0; i < length; ++i) {
            // A fricative swells and fades over its length.
            double swell = std::sin(kPi * (i + 0.5) / length);
            take.samples.push_back(
                static_cast<float>(noiseLevel * settings.level * swell * hiss.next()));
            take.truePitch.push_back(kUnsungPitch);
        }
    };

    silence(settings.leadInSeconds, 0.0);
    double previousCentre = melody.empty() ? 0.0 : melody.front().pitch;
    for (std::size_t n = 0; n < melody.size(); ++n) {
        const SungVoiceNote& note = melody[n];
        const bool legato = n > 0 && note.consonantSeconds <= 0.0;
        if (!legato)
            silence(note.consonantSeconds, n > 0 ? kConsonantLevel : 0.0);
        const FormantSet& formants = kVowelFormants[static_cast<std::size_t>(note.vowel)];
        const long length = std::lround(note.seconds * rate);
        const bool releases = releasesBefore(melody, n);
        const double glide = legato ? note.glideSeconds : 0.0;

        SungNoteTruth truth;
        truth.start = static_cast<long>(take.samples.size());
        truth.steadyStart = truth.start + std::lround((legato ? glide : kAttackSeconds) * rate);
        truth.end = truth.start + length;
        truth.centre = note.pitch;
        take.notes.push_back(truth);

        for (long i = 0; i < length; ++i) {
            const double t = i / rate;
            double base = previousCentre + (note.pitch - previousCentre) * smoothStep(t, glide);
            double sinceDelay = t - settings.vibratoDelay;
            double vibrato = 0.0;
            if (sinceDelay > 0.0)
                vibrato = smoothStep(sinceDelay, settings.vibratoFadeSeconds)
                    * settings.vibratoCents / 100.0
                    * std::sin(kTwoPi * settings.vibratoHertz * sinceDelay);
            const double pitch = base + vibrato;
            double envelope = legato ? 1.0 : std::min(1.0, t / kAttackSeconds);
            if (releases)
                envelope = std::min(envelope, (note.seconds - t) / kReleaseSeconds);
            envelope = std::clamp(envelope, 0.0, 1.0);

            double voice = glottis.next(pitch, formants);
            double sample = settings.level * envelope * (voice + settings.breath * hiss.next());
            take.samples.push_back(static_cast<float>(sample));
            take.truePitch.push_back(envelope > 0.0 ? static_cast<float>(pitch) : kUnsungPitch);
        }
        previousCentre = note.pitch;
    }
    silence(settings.tailSeconds, 0.0);
    return take;
}

double truePitchAround(const SungTake& take, long centre, long halfWidth)
{
    const long first = centre - halfWidth;
    const long last = centre + halfWidth;
    if (first < 0 || last >= static_cast<long>(take.truePitch.size()))
        return kUnsungPitch;
    double sum = 0.0;
    for (long i = first; i <= last; ++i) {
        float pitch = take.truePitch[static_cast<std::size_t>(i)];
        if (pitch == kUnsungPitch)
            return kUnsungPitch;
        sum += pitch;
    }
    return sum / static_cast<double>(last - first + 1);
}

std::vector<SungVoiceNote> makeSungMelody(const MelodyShape& shape)
{
    std::mt19937 random(shape.seed);
    auto uniform = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(random);
    };
    std::vector<SungVoiceNote> melody;
    int semitone = (shape.lowest + shape.highest) / 2;
    double sign = 1.0;
    double previousPitch = 0.0;
    constexpr std::array<int, 6> kSteps = {1, 1, 2, 2, 3, 4};
    for (int n = 0; n < shape.count; ++n) {
        if (n > 0) {
            int step
                = kSteps[std::uniform_int_distribution<std::size_t>(0, kSteps.size() - 1)(random)];
            int direction = (random() & 1) ? 1 : -1;
            if (semitone + direction * step > shape.highest
                || semitone + direction * step < shape.lowest)
                direction = -direction;
            semitone = std::clamp(semitone + direction * step, shape.lowest, shape.highest);
        }
        double detune = sign * uniform(kMinDetuneCents, shape.maxDetuneCents) / 100.0;
        sign = -sign;
        double pitch = semitone + detune;
        if (n > 0 && std::fabs(pitch - previousPitch) < kMinStepSemitones) {
            double direction = semitone >= previousPitch ? 1.0 : -1.0;
            pitch = previousPitch + direction * kMinStepSemitones;
        }
        SungVoiceNote note;
        note.pitch = pitch;
        note.seconds = uniform(shape.shortest, shape.longest);
        note.vowel = static_cast<Vowel>(n % 5);
        if (n > 0 && uniform(0.0, 1.0) < kConsonantShare)
            note.consonantSeconds = uniform(kMinConsonantSeconds, kMaxConsonantSeconds);
        note.glideSeconds = uniform(kMinGlideSeconds, kMaxGlideSeconds);
        melody.push_back(note);
        previousPitch = pitch;
    }
    return melody;
}

std::vector<TestVoice> testVoices(double sampleRate, VoiceTake take)
{
    // Seeds of another take: far enough apart that no two takes share a
    // melody or a noise.
    const auto melodySeed = static_cast<uint32_t>(100 * take.melody);
    const auto noiseSeed = static_cast<uint32_t>(37 * take.melody);
    SingerSettings base;
    base.sampleRate = sampleRate;
    if (take.rough)
        base.shimmer *= 2.0;
    auto sing = [&](const MelodyShape& shape) {
        MelodyShape taken = shape;
        taken.seed += melodySeed;
        return makeSungMelody(taken);
    };
    std::vector<TestVoice> voices;

    // A tenor's usual range, C3 to G4 (131 to 392 Hz).
    MelodyShape usual;
    usual.lowest = 0;
    usual.highest = 19;
    usual.seed = 11;
    voices.push_back({"usual", sing(usual), base});

    // Many short notes, 0.15 to 0.3 s, where vibrato has no time to set in.
    MelodyShape quick;
    quick.count = 50;
    quick.lowest = 4;
    quick.highest = 16;
    quick.shortest = 0.15;
    quick.longest = 0.3;
    quick.seed = 12;
    SingerSettings quickVoice = base;
    quickVoice.seed = 2;
    voices.push_back({"short notes", sing(quick), quickVoice});

    // Long notes with wide vibrato, +-60 cents.
    MelodyShape held;
    held.count = 16;
    held.lowest = 2;
    held.highest = 14;
    held.shortest = 0.8;
    held.longest = 1.5;
    held.seed = 13;
    SingerSettings wide = base;
    wide.vibratoCents = 60.0;
    wide.vibratoDelay = 0.2;
    wide.seed = 3;
    voices.push_back({"wide vibrato", sing(held), wide});

    // A bass, 70 to 140 Hz: its strongest partials are high harmonics.
    MelodyShape bass;
    bass.lowest = -10;
    bass.highest = 1;
    bass.seed = 14;
    SingerSettings low = base;
    low.seed = 4;
    voices.push_back({"low", sing(bass), low});

    // A soprano, 415 to 750 Hz, with the shorter tract's higher formants.
    MelodyShape soprano;
    soprano.lowest = 20;
    soprano.highest = 29;
    soprano.seed = 15;
    SingerSettings high = base;
    high.formantScale = 1.2;
    high.tilt = 1.3;
    high.seed = 5;
    voices.push_back({"high", sing(soprano), high});
    for (TestVoice& voice : voices) {
        voice.settings.seed += noiseSeed;
        if (take.slowVibrato) {
            voice.settings.vibratoCents = 60.0;
            voice.settings.vibratoHertz = 4.0;
        }
    }
    return voices;
}
