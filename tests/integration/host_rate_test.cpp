// A host at another rate than 44,100 Hz: the plug-in reports its round trip
// as the initial delay, every mode comes out that late, how the host cuts its
// blocks changes nothing, a take holds 119 seconds, and the notes found (and
// so their times in the chunk) are those a 44.1 kHz session finds.
#include "engine/rate_converter.h"
#include "model/pitch_units.h"
#include "support/signals.h"
#include "support/singing_voice.h"
#include "test_host.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

constexpr double kTimeBase = 44100.0;
constexpr int kFrame = 512;
constexpr int kUsualBlock = 512;
constexpr float kRightGain = 0.5f; // the right input differs from the left

using BlockPlan = std::function<int()>;

BlockPlan fixedBlocks(int size)
{
    return [size] { return size; };
}

BlockPlan randomBlocks(uint32_t seed)
{
    auto engine = std::make_shared<std::mt19937>(seed);
    return [engine] { return std::uniform_int_distribution<int>(1, 3000)(*engine); };
}

struct Output {
    std::vector<float> left;
    std::vector<float> right;
};

struct Session {
    explicit Session(double rate)
        : rate(rate)
    {
        effect = host.createInstance(static_cast<float>(rate), kUsualBlock);
    }
    ~Session()
    {
        if (effect)
            host.closeInstance(effect);
    }

    // The input through processReplacing from host position 0, in blocks of
    // the plan's sizes, with the transport playing or stopped.
    Output run(const std::vector<float>& input, bool playing, const BlockPlan& plan)
    {
        Output out {std::vector<float>(input.size()), std::vector<float>(input.size())};
        std::vector<float> right(input.size());
        for (std::size_t i = 0; i < input.size(); ++i)
            right[i] = kRightGain * input[i];
        for (std::size_t at = 0; at < input.size();) {
            const int frames = static_cast<int>(
                std::min<std::size_t>(static_cast<std::size_t>(plan()), input.size() - at));
            host.setTransport(static_cast<double>(at), playing);
            float* inputs[2] = {const_cast<float*>(input.data() + at), right.data() + at};
            float* outputs[2] = {out.left.data() + at, out.right.data() + at};
            host.process(effect, inputs, outputs, frames);
            at += static_cast<std::size_t>(frames);
        }
        return out;
    }

    // Records the input in Auto mode, then plays the take over silence.
    Output recordAndPlay(const std::vector<float>& input, const BlockPlan& plan)
    {
        run(input, true, plan);
        return run(std::vector<float>(input.size(), 0.0f), true, plan);
    }

    std::vector<unsigned char> chunk()
    {
        void* data = nullptr;
        const auto size
            = static_cast<std::size_t>(TestHost::dispatch(effect, effGetChunk, 0, 0, &data));
        const auto* bytes = static_cast<const unsigned char*>(data);
        return bytes ? std::vector<unsigned char>(bytes, bytes + size)
                     : std::vector<unsigned char> {};
    }

    double rate;
    TestHost host;
    AEffect* effect = nullptr;
};

// Note times (frames) and pitches as the chunk carries them.
struct ChunkNote {
    float start;
    float end;
    float pitch;
};

std::vector<ChunkNote> notesOf(const std::vector<unsigned char>& chunk)
{
    constexpr std::size_t kHeader = 56;
    constexpr std::size_t kContourBytes = 1600;
    constexpr std::size_t kBlockBytes = 60;
    constexpr std::size_t kPitchAttribute = 5;
    std::vector<ChunkNote> notes;
    if (chunk.size() < kHeader)
        return notes;
    int32_t count = 0;
    std::memcpy(&count, chunk.data() + kHeader - 4, 4);
    const std::size_t blocks = kHeader + kContourBytes * static_cast<std::size_t>(count);
    auto attribute = [&](int note, std::size_t k) {
        float v;
        std::memcpy(
            &v, chunk.data() + blocks + kBlockBytes * static_cast<std::size_t>(note) + 4 * k, 4);
        return v;
    };
    for (int n = 0; n < count; ++n)
        notes.push_back({attribute(n, 0), attribute(n, 1), attribute(n, kPitchAttribute)});
    return notes;
}

// The lag of `output` behind `input` (0 to maxLag) with the largest
// correlation over a window from `from`.
int lagOf(const std::vector<float>& input, const std::vector<float>& output, std::size_t from,
    std::size_t window, int maxLag)
{
    int best = -1;
    double bestScore = 0.0;
    for (int lag = 0; lag <= maxLag; ++lag) {
        double score = 0.0;
        for (std::size_t i = from; i < from + window; ++i)
            score += static_cast<double>(input[i]) * output[i + static_cast<std::size_t>(lag)];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

// The lag of output's loudness behind input's (from -range to maxLag), in
// samples: resynthesis keeps the voice's loudness over time but not its
// waveform, so playback is measured by its envelope.
int envelopeLagOf(
    const std::vector<float>& input, const std::vector<float>& output, double rate, int maxLag)
{
    constexpr double kEnvelopeSeconds = 0.01;
    constexpr double kSkipSeconds = 0.1;
    auto envelope = [&](const std::vector<float>& x) {
        const auto width = static_cast<std::size_t>(rate * kEnvelopeSeconds);
        std::vector<double> e(x.size());
        double sum = 0.0;
        for (std::size_t i = 0; i < x.size(); ++i) {
            sum += static_cast<double>(x[i]) * x[i];
            if (i >= width)
                sum -= static_cast<double>(x[i - width]) * x[i - width];
            e[i] = sum;
        }
        double mean = 0.0;
        for (double v : e)
            mean += v;
        mean /= static_cast<double>(e.size());
        for (double& v : e)
            v -= mean;
        return e;
    };
    const std::vector<double> in = envelope(input);
    const std::vector<double> out = envelope(output);
    const auto skip = static_cast<std::ptrdiff_t>(rate * kSkipSeconds);
    const auto size = static_cast<std::ptrdiff_t>(in.size());
    int best = 0;
    double bestScore = -1.0e300;
    for (int lag = -static_cast<int>(skip); lag <= maxLag; ++lag) {
        double score = 0.0;
        for (std::ptrdiff_t i = skip; i + maxLag < size; i += 3)
            score += in[static_cast<std::size_t>(i)] * out[static_cast<std::size_t>(i + lag)];
        if (score > bestScore) {
            bestScore = score;
            best = lag;
        }
    }
    return best;
}

std::vector<float> shortVoice(double rate, int notes)
{
    TestVoice voice = testVoices(rate).front();
    voice.melody.resize(static_cast<std::size_t>(notes));
    return singMelody(voice.melody, voice.settings).samples;
}

class HostRateTest : public ::testing::TestWithParam<double> { };

TEST_P(HostRateTest, ReportedDelayIsTheOffsetOfOutputInEveryMode)
{
    const double rate = GetParam();
    Session session(rate);
    ASSERT_NE(session.effect, nullptr);
    const int delay = session.effect->initialDelay;
    EXPECT_GT(delay, 0);
    EXPECT_GE(session.host.countCalls(audioMasterIOChanged), 1);

    const std::vector<float> voice = shortVoice(rate, 6);
    const std::size_t from = voice.size() / 3;
    const std::size_t window = static_cast<std::size_t>(rate / 4);

    // Pass-through (stopped) and recording (playing over an empty take) give
    // the input back exactly, `delay` samples later, on both channels.
    for (bool playing : {false, true}) {
        const Output out = session.run(voice, playing, fixedBlocks(kUsualBlock));
        for (std::size_t i = 0; i + static_cast<std::size_t>(delay) < voice.size(); i += 97) {
            ASSERT_EQ(out.left[i + static_cast<std::size_t>(delay)], voice[i]) << i;
            ASSERT_EQ(out.right[i + static_cast<std::size_t>(delay)], kRightGain * voice[i]) << i;
        }
        EXPECT_EQ(lagOf(voice, out.left, from, window, 3 * delay), delay);
    }

    // Playback of the take over silence lines up with what was sung as it
    // does at 44.1 kHz (where resynthesis itself lags the voice a little),
    // `delay` samples later.
    const Output played
        = session.run(std::vector<float>(voice.size(), 0.0f), true, fixedBlocks(kUsualBlock));
    EXPECT_EQ(played.left, played.right);
    // The 44.1 kHz session hears the same voice, so that it cuts the same notes.
    Session base(kTimeBase);
    const std::vector<float> baseVoice = resampledOnce(voice.data(), voice.size(), rate, kTimeBase,
        static_cast<std::size_t>(std::llround(voice.size() * kTimeBase / rate)));
    const Output basePlayed = base.recordAndPlay(baseVoice, fixedBlocks(kUsualBlock));
    constexpr double kEnvelopeToleranceSeconds = 0.001;
    constexpr double kSearchSeconds = 0.05;
    const double baseLag = envelopeLagOf(baseVoice, basePlayed.left, kTimeBase,
                               static_cast<int>(kTimeBase * kSearchSeconds))
        / kTimeBase;
    const double lag
        = (envelopeLagOf(voice, played.left, rate, delay + static_cast<int>(rate * kSearchSeconds))
              - delay)
        / rate;
    EXPECT_NEAR(lag, baseLag, kEnvelopeToleranceSeconds);
}

TEST_P(HostRateTest, BlockSizesGiveTheSameOutput)
{
    const double rate = GetParam();
    const std::vector<float> voice = shortVoice(rate, 5);
    Session reference(rate);
    const Output expected = reference.recordAndPlay(voice, fixedBlocks(kUsualBlock));
    const std::vector<std::pair<const char*, BlockPlan>> plans = {{"1", fixedBlocks(1)},
        {"7", fixedBlocks(7)}, {"8192", fixedBlocks(8192)}, {"random", randomBlocks(5)}};
    for (const auto& [name, plan] : plans) {
        Session session(rate);
        const Output out = session.recordAndPlay(voice, plan);
        EXPECT_EQ(out.left, expected.left) << "blocks of " << name;
        EXPECT_EQ(out.right, expected.right) << "blocks of " << name;
        EXPECT_EQ(session.chunk(), reference.chunk()) << "blocks of " << name;
    }
}

// The root mean square of samples [from, from + count).
double rms(const std::vector<float>& x, std::size_t from, std::size_t count)
{
    double sum = 0.0;
    for (std::size_t i = from; i < from + count; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return std::sqrt(sum / static_cast<double>(count));
}

TEST_P(HostRateTest, TakeOf119SecondsIsRecordedWholeAndPlaysToItsEnd)
{
    constexpr double kSeconds = 119.0;
    constexpr double kNoteSeconds = 0.75;
    const double rate = GetParam();
    std::vector<ToneSegment> notes;
    for (int n = 0; n * kNoteSeconds < kSeconds; ++n)
        notes.push_back({frequencyOfPitch(n % 5 == 4 ? -120.0 : 3.0 + 2 * (n % 5)),
            static_cast<int>(kNoteSeconds * rate)});
    ToneShape shape;
    shape.harmonics = 4;
    shape.sampleRate = rate;
    shape.vibratoDepth = 0.2;
    std::vector<float> song = makeToneSequence(notes, shape);
    song.resize(static_cast<std::size_t>(kSeconds * rate), 0.0f);

    // The host plays the track again over the recorded take: where the take
    // holds audio the blocks play it instead of passing the input through.
    Session session(rate);
    session.run(song, true, fixedBlocks(kUsualBlock));
    const Output played = session.run(song, true, fixedBlocks(kUsualBlock));
    const std::size_t delay = static_cast<std::size_t>(session.effect->initialDelay);
    const auto second = static_cast<std::size_t>(rate);
    constexpr double kAnalysedSeconds = 115.0; // notes are cut up to 116 s
    auto differenceFromInput = [&](std::size_t from, std::size_t count) {
        double largest = 0.0;
        for (std::size_t i = from; i < from + count; ++i)
            largest = std::max(
                largest, std::fabs(static_cast<double>(played.left[i + delay]) - song[i]));
        return largest;
    };
    for (std::size_t s = 1; s < static_cast<std::size_t>(kSeconds); s += s < 109 ? 9 : 4) {
        const std::size_t from = s * second;
        const std::size_t count = second - delay;
        EXPECT_GT(differenceFromInput(from, count), 0.1) << "second " << s;
        if (static_cast<double>(s) < kAnalysedSeconds) {
            EXPECT_GT(rms(played.left, from + delay, count), 0.3 * rms(song, from, count))
                << "second " << s;
        }
    }

    // The notes are cut up to the end of the analysed part, 116 s in.
    const std::vector<ChunkNote> found = notesOf(session.chunk());
    ASSERT_FALSE(found.empty());
    EXPECT_GT(found.back().end * kFrame / kTimeBase, 115.0);
}

// Sung notes whose steady middle lies in a found note within kCloseCents of
// what was sung.
int wellFoundNotes(const SungTake& take, const std::vector<ChunkNote>& found)
{
    constexpr double kCloseSemitones = 0.5;
    int count = 0;
    for (const SungNoteTruth& note : take.notes) {
        const double middle = 0.5 * (note.steadyStart + note.end) / take.sampleRate;
        const double frame = middle * kTimeBase / kFrame;
        for (const ChunkNote& n : found)
            if (n.start <= frame && frame < n.end
                && std::fabs(n.pitch - note.centre) < kCloseSemitones)
                ++count;
    }
    return count;
}

SungTake lowVoiceAt(double rate)
{
    for (const TestVoice& voice : testVoices(rate))
        if (voice.name == "low")
            return singMelody(voice.melody, voice.settings);
    return {};
}

TEST_P(HostRateTest, LowVoiceIsFoundAsAt44100AndItsChunkRestoresThere)
{
    const double rate = GetParam();
    const SungTake baseTake = lowVoiceAt(kTimeBase);
    Session base(kTimeBase);
    base.recordAndPlay(baseTake.samples, fixedBlocks(kUsualBlock));
    const SungTake take = lowVoiceAt(rate);
    Session other(rate);
    other.recordAndPlay(take.samples, fixedBlocks(kUsualBlock));

    const int expected = wellFoundNotes(baseTake, notesOf(base.chunk()));
    const std::vector<unsigned char> saved = other.chunk();
    // How well the analysis itself does on a bass is not this test's matter;
    // a floor keeps the comparison from being one of empty tables.
    EXPECT_GE(expected, static_cast<int>(baseTake.notes.size()) / 3);
    EXPECT_GE(wellFoundNotes(take, notesOf(saved)), expected - 1);

    // The chunk means the same in a 44.1 kHz session: its notes still lie
    // where the voice sang them.
    Session restored(kTimeBase);
    std::vector<unsigned char> copy = saved;
    ASSERT_EQ(TestHost::dispatch(restored.effect, effSetChunk, 0,
                  static_cast<VstIntPtr>(copy.size()), copy.data()),
        static_cast<VstIntPtr>(copy.size()));
    EXPECT_EQ(restored.chunk(), saved);
    EXPECT_EQ(
        wellFoundNotes(baseTake, notesOf(restored.chunk())), wellFoundNotes(take, notesOf(saved)));
}

// At 44,100 Hz the host's buffers go to the engine as they are; a change of
// rate sets the delay and tells the host, and a change back removes it.
TEST(HostRateChangeTest, DelayFollowsTheRateAndTheHostIsTold)
{
    Session session(kTimeBase);
    ASSERT_NE(session.effect, nullptr);
    EXPECT_EQ(session.effect->initialDelay, 0);
    EXPECT_EQ(session.host.countCalls(audioMasterIOChanged), 0);
    const std::vector<float> voice = shortVoice(kTimeBase, 2);
    EXPECT_EQ(session.run(voice, false, randomBlocks(3)).left, voice);

    TestHost::dispatch(session.effect, effSetSampleRate, 0, 0, nullptr, 96000.0f);
    EXPECT_GT(session.effect->initialDelay, 0);
    EXPECT_EQ(session.host.countCalls(audioMasterIOChanged), 1);

    TestHost::dispatch(session.effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    EXPECT_EQ(session.effect->initialDelay, 0);
    EXPECT_EQ(session.host.countCalls(audioMasterIOChanged), 2);
    EXPECT_EQ(session.run(voice, false, randomBlocks(4)).left, voice);
}

INSTANTIATE_TEST_SUITE_P(Rates, HostRateTest,
    ::testing::Values(48000.0, 88200.0, 96000.0, 192000.0),
    [](const ::testing::TestParamInfo<double>& info) {
        return std::to_string(static_cast<int>(info.param));
    });

} // namespace
