// cantilo tune, analyse and --preset from the outside: synthesised singers
// detuned by 20 to 45 cents, the files the program writes read back with
// libsndfile, the pitch of the result measured by autocorrelation (not by the
// plug-in's own analysis), and the preset loaded into the plug-in module.
#include "cli/sung_melody.h"
#include "cli/take_plan.h"
#include "program_runner.h"
#include "sound_files.h"
#include "sustained_pitch.h"
#include "test_host.h"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sndfile.h>
#include <sstream>

namespace {

// Notes long enough to hold whole vibrato cycles after the vibrato has set in
// and before the transition into the next note.
std::vector<SungNote> detunedMelody()
{
    return {{0, 32.0f, 1.6}, {4, -41.0f, 1.6}, {7, 24.0f, 1.6}, {5, -28.0f, 1.6}, {9, 45.0f, 1.6},
        {2, -20.0f, 1.6}};
}

// Mean pitch over whole vibrato cycles in the middle of a note.
double sustainedPitch(
    const std::vector<float>& signal, const SungSpan& span, int rate, const VoiceSettings& voice)
{
    const long from = span.start + static_cast<long>(0.6 * rate);
    const long cycles
        = static_cast<long>((span.end - from - 0.3 * rate) * voice.vibratoHertz / rate);
    const long to = from + static_cast<long>(cycles * rate / voice.vibratoHertz) + 2048;
    return meanPitch(signal, from, to, rate);
}

struct TuneCase {
    int rate;
    int channels;
    int format;
    const char* extension;
};

class CantiloTuneEndToEndTest : public ::testing::TestWithParam<TuneCase> { };

} // namespace

TEST_P(CantiloTuneEndToEndTest, EverySustainedNoteEndsWithinFiveCentsOfItsSemitone)
{
    const TuneCase c = GetParam();
    const std::vector<SungNote> melody = detunedMelody();
    VoiceSettings voice;
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, c.rate, voice, &spans);
    const std::string tag = std::to_string(c.rate) + "_" + std::to_string(c.channels);
    const std::string input = scratchPath("sung_" + tag + c.extension);
    const std::string output = scratchPath("tuned_" + tag + c.extension);
    writeSound(input, sung, c.rate, c.channels, c.format);

    ProgramRun run = runCantiloProgram({"tune", input, "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("tuned to the nearest semitone"), std::string::npos) << run.out;

    SoundFile tuned = readSound(output);
    EXPECT_EQ(tuned.info.frames, static_cast<sf_count_t>(sung.size()));
    EXPECT_EQ(tuned.info.samplerate, c.rate);
    EXPECT_EQ(tuned.info.channels, c.channels);
    EXPECT_EQ(tuned.info.format, c.format);
    const std::vector<float> left = channel(tuned, 0);
    ASSERT_EQ(left.size(), sung.size());
    if (c.channels == 2) {
        EXPECT_EQ(channel(tuned, 1), left);
    }

    for (std::size_t n = 0; n < melody.size(); ++n) {
        const double before = sustainedPitch(sung, spans[n], c.rate, voice);
        const double after = sustainedPitch(left, spans[n], c.rate, voice);
        // The input really was off: the measurement would see a failed correction.
        EXPECT_GT(std::fabs(before - melody[n].semitone), 0.18) << "note " << n;
        EXPECT_NEAR(after, melody[n].semitone, 0.05) << "note " << n << " sung at " << before;
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
}

INSTANTIATE_TEST_SUITE_P(RatesChannelsAndFormats, CantiloTuneEndToEndTest,
    ::testing::Values(TuneCase {44100, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16, ".wav"},
        TuneCase {44100, 2, SF_FORMAT_WAV | SF_FORMAT_FLOAT, ".wav"},
        TuneCase {44100, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ".flac"},
        TuneCase {44100, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_24, ".flac"},
        TuneCase {48000, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_24, ".wav"},
        TuneCase {48000, 2, SF_FORMAT_WAV | SF_FORMAT_PCM_16, ".wav"},
        TuneCase {48000, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ".flac"},
        TuneCase {48000, 2, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, ".flac"}),
    [](const ::testing::TestParamInfo<TuneCase>& info) {
        const TuneCase& c = info.param;
        return std::to_string(c.rate) + (c.channels == 1 ? "Mono" : "Stereo") + (c.extension + 1);
    });

TEST(CantiloLongInputEndToEndTest, TwoHundredSecondsAreTwoTakesJoinedWithoutAJump)
{
    constexpr int kRate = 44100;
    // The melody again and again, without a pause longer than a breath.
    std::vector<SungNote> melody;
    while (melody.size() * 1.68 < 200.0)
        for (const SungNote& note : detunedMelody())
            melody.push_back(note);
    VoiceSettings voice;
    std::vector<SungSpan> spans;
    std::vector<float> sung = synthesiseMelody(melody, kRate, voice, &spans);
    sung.resize(200 * kRate);
    const std::string input = scratchPath("long.wav");
    const std::string output = scratchPath("long-tuned.wav");
    writeSound(input, sung, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT);

    ProgramRun run = runCantiloProgram({"tune", input, "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("processed as 2 takes"), std::string::npos) << run.err;
    SoundFile tuned = readSound(output);
    ASSERT_EQ(tuned.info.frames, static_cast<sf_count_t>(sung.size()));
    const std::vector<float> out = channel(tuned, 0);

    // The same cut the program made.
    std::vector<TakeSpan> takes = planTakes(sung, kRate);
    ASSERT_EQ(takes.size(), 2u);
    const long cut = takes[1].keepFrom;
    auto largestStep = [&](long from, long to) {
        float step = 0.0f;
        for (long i = from; i + 1 < to; ++i)
            step = std::max(step,
                std::fabs(out[static_cast<std::size_t>(i + 1)] - out[static_cast<std::size_t>(i)]));
        return step;
    };
    const float signalOwn = largestStep(kRate, cut - kRate);
    const float atJoint = largestStep(cut - 4096, cut + kJoinCrossfade + 4096);
    EXPECT_GT(signalOwn, 0.0f);
    EXPECT_LE(atJoint, signalOwn);
    // No gap: the output sounds on both sides of the joint wherever the input does.
    for (const SungSpan& span : spans) {
        if (span.end < cut - kRate || span.start > cut + kRate
            || span.end > static_cast<long>(sung.size()))
            continue;
        double energy = 0.0;
        for (long i = span.start + 4410; i < span.end - 4410; ++i)
            energy += out[static_cast<std::size_t>(i)] * out[static_cast<std::size_t>(i)];
        EXPECT_GT(energy / static_cast<double>(span.end - span.start), 1e-4)
            << "note at " << span.start;
    }
    // Notes on both sides of the joint are tuned.
    for (std::size_t n = 0; n < spans.size(); ++n) {
        if (spans[n].end >= static_cast<long>(sung.size())
            || std::labs(spans[n].start - cut) > 5 * kRate)
            continue;
        EXPECT_NEAR(sustainedPitch(out, spans[n], kRate, voice), melody[n].semitone, 0.05)
            << "note " << n;
    }
    std::remove(input.c_str());
    std::remove(output.c_str());
}

TEST(CantiloPresetEndToEndTest, ProgramFileRestoresTheSameNotesIntoAFreshInstance)
{
    const std::vector<float> sung = synthesiseMelody(detunedMelody(), 44100);
    const std::string input = scratchPath("preset-in.wav");
    const std::string output = scratchPath("preset-out.wav");
    const std::string preset = scratchPath("take.fxp");
    writeSound(input, sung, 44100, 1, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
    ProgramRun run = runCantiloProgram({"tune", input, "-o", output, "--key", "C", "--scale",
        "major", "--transpose", "2", "--preset", preset});
    ASSERT_EQ(run.exitCode, 0) << run.err;

    std::ifstream in(preset, std::ios::binary);
    std::vector<uint8_t> file(
        (std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(file.size(), 60u + 56u);
    auto bigEndian = [&](std::size_t at) {
        return (uint32_t {file[at]} << 24) | (uint32_t {file[at + 1]} << 16)
            | (uint32_t {file[at + 2]} << 8) | uint32_t {file[at + 3]};
    };
    EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "CcnK");
    EXPECT_EQ(bigEndian(4), file.size() - 8);
    EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "FPCh");
    const std::vector<uint8_t> chunk(file.begin() + 60, file.end());
    ASSERT_EQ(bigEndian(56), chunk.size());

    TestHost host;
    ASSERT_TRUE(host.loaded());
    AEffect* effect = host.createInstance();
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(bigEndian(16), static_cast<uint32_t>(effect->uniqueID));
    EXPECT_EQ(bigEndian(20), static_cast<uint32_t>(effect->version));
    EXPECT_EQ(bigEndian(24), static_cast<uint32_t>(effect->numParams));
    std::vector<uint8_t> copy = chunk;
    EXPECT_EQ(TestHost::dispatch(
                  effect, effSetChunk, 1, static_cast<VstIntPtr>(copy.size()), copy.data()),
        static_cast<VstIntPtr>(copy.size()));
    void* restored = nullptr;
    VstIntPtr size = TestHost::dispatch(effect, effGetChunk, 1, 0, &restored);
    ASSERT_EQ(size, static_cast<VstIntPtr>(chunk.size()));
    const auto* bytes = static_cast<const uint8_t*>(restored);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + size), chunk);
    // The melody's notes are in it: at least one note per sung note, and the
    // C major scale (C allowed, C# excluded).
    const uint32_t noteCount = uint32_t {chunk[52]} | uint32_t {chunk[53]} << 8;
    EXPECT_GE(noteCount, detunedMelody().size());
    EXPECT_EQ(chunk[4], 0);
    EXPECT_EQ(chunk[8], 1);
    // Formants kept, the command line's default: version 2 with mode 1 last.
    EXPECT_EQ(chunk[0], 2);
    EXPECT_EQ(chunk[chunk.size() - 4], 1);
    host.closeInstance(effect);
    for (const std::string& path : {input, output, preset})
        std::remove(path.c_str());
}

TEST(CantiloAnalyseEndToEndTest, ListsEachSungNoteWithItsDeviation)
{
    const std::vector<SungNote> melody = detunedMelody();
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, 44100, VoiceSettings {}, &spans);
    const std::string input = scratchPath("analyse.flac");
    writeSound(input, sung, 44100, 1, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    ProgramRun run = runCantiloProgram({"analyse", input, "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line, "start,end,note,cents");
    static const char* const kNames[]
        = {"C3", "C#3", "D3", "D#3", "E3", "F3", "F#3", "G3", "G#3", "A3"};
    std::size_t matched = 0;
    while (std::getline(lines, line)) {
        double start = 0, end = 0, cents = 0;
        char name[8] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%7[^,],%lf", &start, &end, name, &cents), 4)
            << line;
        for (std::size_t n = 0; n < melody.size(); ++n) {
            const double middle = (spans[n].start + spans[n].end) / 2.0 / 44100.0;
            if (start <= middle && middle < end) {
                EXPECT_EQ(std::string(name), kNames[melody[n].semitone]) << line;
                EXPECT_NEAR(cents, melody[n].detuneCents, 5.0) << line;
                ++matched;
            }
        }
    }
    EXPECT_EQ(matched, melody.size()) << run.out;
    std::remove(input.c_str());
}

// Breaths between the notes: a short one, and pauses longer than the second
// a later take is recorded before its cut (that second is then silent).
class CantiloSeveralTakesTest : public ::testing::TestWithParam<double> { };

TEST_P(CantiloSeveralTakesTest, AnalyseListsEverySungNoteOfEveryTakeOnce)
{
    // About 130 s at 44.1 kHz: two takes; the note sung right after the cut is
    // the first note of the second take.
    constexpr int kRate = 44100;
    VoiceSettings voice;
    voice.breathSeconds = GetParam();
    std::vector<SungNote> melody;
    while (melody.size() * (1.6 + voice.breathSeconds) < 130.0)
        for (const SungNote& note : detunedMelody())
            melody.push_back(note);
    std::vector<SungSpan> spans;
    const std::vector<float> sung = synthesiseMelody(melody, kRate, voice, &spans);
    ASSERT_EQ(planTakes(sung, kRate).size(), 2u);
    const std::string input = scratchPath("two-takes.wav");
    writeSound(input, sung, kRate, 1, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ProgramRun run = runCantiloProgram({"analyse", input, "--csv"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("processed as 2 takes"), std::string::npos) << run.err;

    std::istringstream lines(run.out);
    std::string line;
    std::getline(lines, line);
    ASSERT_EQ(line, "start,end,note,cents") << "stdout holds only the CSV";
    std::vector<int> listed(spans.size(), 0);
    int rows = 0;
    while (std::getline(lines, line)) {
        double start = 0, end = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,", &start, &end), 2) << line;
        ++rows;
        for (std::size_t n = 0; n < spans.size(); ++n) {
            const double middle = (spans[n].start + spans[n].end) / 2.0 / kRate;
            listed[n] += start <= middle && middle < end;
        }
    }
    for (std::size_t n = 0; n < spans.size(); ++n)
        EXPECT_EQ(listed[n], 1) << "note " << n << " sung at " << spans[n].start / double(kRate);
    EXPECT_EQ(rows, static_cast<int>(spans.size())) << run.out;
    std::remove(input.c_str());
}

INSTANTIATE_TEST_SUITE_P(Breaths, CantiloSeveralTakesTest, ::testing::Values(0.08, 1.5, 3.0),
    [](const ::testing::TestParamInfo<double>& info) {
        return "Breath" + std::to_string(static_cast<int>(info.param * 1000)) + "ms";
    });
