#include "persistence/chunk_format.h"
#include "shell/pitch_effect.h"
#include "support/chunk_support.h"
#include "support/effect_internals.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

std::unique_ptr<PitchEffect> makeEffect() { return std::make_unique<PitchEffect>(nullptr); }

// Three notes with distinct values in every attribute and contour rows that
// mix uncomputed, computed and drawn points.
void fillThreeNotes(TakeModel& model)
{
    model.scaleMask = {1, 0, 1, 0, 0, 1, 0, 0, 1, 0, 1, 1};
    model.noteCount = 3;
    for (int i = 0; i < 3; ++i) {
        float base = 100.0f * static_cast<float>(i);
        model.targetStart[i] = base + 0.25f;
        model.targetEnd[i] = base + 40.75f;
        model.sourceStart[i] = base + 1.5f;
        model.sourceEnd[i] = base + 39.125f;
        model.sourceRow[i] = i;
        model.pitch[i] = static_cast<float>(i - 7);
        model.fineTune[i] = 0.1f * static_cast<float>(i) - 0.3f;
        model.volume[i] = 0.7f + 0.4f * static_cast<float>(i);
        model.sourcePitch[i] = -6.83f + static_cast<float>(i);
        model.rawContourDamping[i] = 0.11f * static_cast<float>(i + 1);
        model.fineContourDamping[i] = 0.13f * static_cast<float>(i + 1);
        model.vibratoAmplitude[i] = 0.17f * static_cast<float>(i + 1);
        model.vibratoRate[i] = 0.19f * static_cast<float>(i + 1);
        model.vibratoAttack[i] = 0.23f * static_cast<float>(i + 1);
        model.blending[i] = 0.29f * static_cast<float>(i + 1);
        for (int j = 0; j < kContourLength; ++j) {
            float value = kPitchUnset;
            if (j % 3 == 1)
                value = -6.5f + 0.001f * static_cast<float>(j + i);
            else if (j % 3 == 2)
                value = kDrawnPointBase + 0.01f * static_cast<float>(j - 200);
            model.contour[i][j] = value;
        }
    }
}

VstInt32 restore(PitchEffect& effect, std::vector<unsigned char> chunk)
{
    return effect.setChunk(chunk.data(), static_cast<VstInt32>(chunk.size()), false);
}

int32_t int32At(const std::vector<unsigned char>& bytes, std::size_t offset)
{
    return static_cast<int32_t>(uint32_t {bytes[offset]} | uint32_t {bytes[offset + 1]} << 8
        | uint32_t {bytes[offset + 2]} << 16 | uint32_t {bytes[offset + 3]} << 24);
}

// Builds chunks value by value, least significant byte first.
class ChunkBuilder {
public:
    ChunkBuilder& int32(int32_t value)
    {
        auto bits = static_cast<uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<unsigned char>(bits >> shift));
        return *this;
    }
    ChunkBuilder& real(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return int32(static_cast<int32_t>(bits));
    }
    ChunkBuilder& mask(const std::array<int, kPitchClasses>& mask)
    {
        for (int excluded : mask)
            int32(excluded);
        return *this;
    }
    ChunkBuilder& contourRow(float value)
    {
        for (int j = 0; j < kContourLength; ++j)
            real(value);
        return *this;
    }
    // One note block: attributes 0..13, and blending when withBlending.
    ChunkBuilder& block(
        float targetStart, int32_t sourceRow, float pitch, bool withBlending, float blending = 0.8f)
    {
        real(targetStart).real(targetStart + 10).real(targetStart).real(targetStart + 10);
        int32(sourceRow);
        real(pitch).real(0.2f).real(1.5f).real(pitch + 0.2f);
        real(0.1f).real(0.2f).real(0.3f).real(0.4f).real(0.5f);
        if (withBlending)
            real(blending);
        return *this;
    }
    std::vector<unsigned char> bytes;
};

constexpr std::array<int, kPitchClasses> kMajorOnD = {1, 0, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0};

std::vector<unsigned char> versionOneChunk(int notes)
{
    ChunkBuilder chunk;
    chunk.int32(1).mask(kMajorOnD).int32(notes);
    for (int i = 0; i < notes; ++i)
        chunk.contourRow(-3.0f + static_cast<float>(i));
    for (int i = 0; i < notes; ++i)
        chunk.block(20.0f * static_cast<float>(i), 0, static_cast<float>(i), true);
    return chunk.bytes;
}

// Everything a restore may touch, to show that a refused chunk touched nothing.
struct EditSnapshot {
    explicit EditSnapshot(const TakeModel& model)
        : noteCount(model.noteCount)
        , selectionCount(model.selectionCount)
        , selection(model.selection)
        , scaleMask(model.scaleMask)
        , prevNote(model.prevNote)
        , nextNote(model.nextNote)
        , targetStart(model.targetStart)
        , pitch(model.pitch)
        , blending(model.blending)
        , sourceRow(model.sourceRow)
        , contour(model.contour.begin(), model.contour.end())
    {
    }
    bool operator==(const EditSnapshot&) const = default;

    int noteCount, selectionCount;
    std::array<int, kMaxSelection> selection;
    std::array<int, kPitchClasses> scaleMask;
    std::array<int, kMaxNotes> prevNote, nextNote;
    NoteArray targetStart, pitch, blending;
    std::array<int, kMaxNotes> sourceRow;
    std::vector<ContourRow> contour;
};

// An instance holding the three notes, two of them selected and linked.
std::unique_ptr<PitchEffect> effectWithEdit()
{
    auto effect = makeEffect();
    fillThreeNotes(modelOf(*effect));
    modelOf(*effect).selection[0] = 2;
    modelOf(*effect).selection[1] = 0;
    modelOf(*effect).selectionCount = 2;
    modelOf(*effect).prevNote[1] = 0;
    modelOf(*effect).nextNote[0] = 1;
    return effect;
}

} // namespace

TEST(ChunkFormatTest, ThreeNoteChunkHasItsSizeVersionAndCount)
{
    auto effect = makeEffect();
    fillThreeNotes(modelOf(*effect));
    std::vector<unsigned char> chunk = savedChunk(*effect);
    ASSERT_EQ(chunk.size(), 5036u);
    EXPECT_EQ(int32At(chunk, 0), 1);
    EXPECT_EQ(int32At(chunk, 4), 1); // scaleMask[0]
    EXPECT_EQ(int32At(chunk, 8), 0);
    EXPECT_EQ(int32At(chunk, 52), 3);
    // The first attribute block follows the three contour rows; its fifth
    // value is the source row as an integer.
    EXPECT_EQ(int32At(chunk, 56 + 3 * 1600 + 60 + 16), 1);
    EXPECT_EQ(chunkSize(1000), 1660056u);
}

TEST(ChunkFormatTest, ThreeNoteChunkRoundTripsBitExactlyThroughAFreshInstance)
{
    auto source = makeEffect();
    fillThreeNotes(modelOf(*source));
    std::vector<unsigned char> chunk = savedChunk(*source);

    auto target = makeEffect();
    ASSERT_EQ(restore(*target, chunk), 5036);
    const TakeModel& a = source->takeModel();
    const TakeModel& b = target->takeModel();
    EXPECT_EQ(b.scaleMask, a.scaleMask);
    ASSERT_EQ(b.noteCount, 3);
    auto sameBits = [](const auto& x, const auto& y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(sameBits(a.targetStart[i], b.targetStart[i]));
        EXPECT_TRUE(sameBits(a.targetEnd[i], b.targetEnd[i]));
        EXPECT_TRUE(sameBits(a.sourceStart[i], b.sourceStart[i]));
        EXPECT_TRUE(sameBits(a.sourceEnd[i], b.sourceEnd[i]));
        EXPECT_EQ(a.sourceRow[i], b.sourceRow[i]);
        EXPECT_TRUE(sameBits(a.pitch[i], b.pitch[i]));
        EXPECT_TRUE(sameBits(a.fineTune[i], b.fineTune[i]));
        EXPECT_TRUE(sameBits(a.volume[i], b.volume[i]));
        EXPECT_TRUE(sameBits(a.sourcePitch[i], b.sourcePitch[i]));
        EXPECT_TRUE(sameBits(a.rawContourDamping[i], b.rawContourDamping[i]));
        EXPECT_TRUE(sameBits(a.fineContourDamping[i], b.fineContourDamping[i]));
        EXPECT_TRUE(sameBits(a.vibratoAmplitude[i], b.vibratoAmplitude[i]));
        EXPECT_TRUE(sameBits(a.vibratoRate[i], b.vibratoRate[i]));
        EXPECT_TRUE(sameBits(a.vibratoAttack[i], b.vibratoAttack[i]));
        EXPECT_TRUE(sameBits(a.blending[i], b.blending[i]));
        EXPECT_TRUE(sameBits(a.contour[i], b.contour[i])) << "contour row " << i;
    }
    EXPECT_EQ(savedChunk(*target), chunk);
}

TEST(ChunkFormatTest, SecondGetChunkReportsTheBytesItWroteForTheCurrentTable)
{
    auto effect = makeEffect();
    fillThreeNotes(modelOf(*effect));
    void* first = nullptr;
    ASSERT_EQ(effect->getChunk(&first, false), 5036);
    modelOf(*effect).noteCount = 1;
    void* second = nullptr;
    ASSERT_EQ(effect->getChunk(&second, true), 56 + 1660);
    std::vector<unsigned char> bytes(
        static_cast<unsigned char*>(second), static_cast<unsigned char*>(second) + 1716);
    EXPECT_EQ(int32At(bytes, 52), 1);
}

TEST(ChunkFormatTest, ByteSizeZeroEmptiesTheTableKeepsTheScaleAndAnswersOne)
{
    auto effect = effectWithEdit();
    std::array<int, kPitchClasses> mask = modelOf(*effect).scaleMask;
    unsigned char unused = 0;
    EXPECT_EQ(effect->setChunk(&unused, 0, false), 1);
    EXPECT_EQ(effect->takeModel().noteCount, 0);
    EXPECT_EQ(effect->takeModel().scaleMask, mask);
    EXPECT_EQ(effect->takeModel().selectionCount, 0);
    EXPECT_EQ(effect->takeModel().prevNote[1], kLinkUnresolved);
    EXPECT_EQ(effect->takeModel().nextNote[0], kLinkUnresolved);
}

TEST(ChunkFormatTest, EmptyTableChunkRestoresTheScaleAndNoNotes)
{
    auto source = makeEffect();
    modelOf(*source).scaleMask = kMajorOnD;
    std::vector<unsigned char> chunk = savedChunk(*source);
    ASSERT_EQ(chunk.size(), 56u);

    auto target = effectWithEdit();
    EXPECT_EQ(restore(*target, chunk), 56);
    EXPECT_EQ(target->takeModel().noteCount, 0);
    EXPECT_EQ(target->takeModel().scaleMask, kMajorOnD);
    EXPECT_EQ(target->takeModel().selectionCount, 0);
}

TEST(ChunkFormatTest, RestoreUnresolvesEveryLinkAndEmptiesTheSelection)
{
    auto target = effectWithEdit();
    EXPECT_EQ(restore(*target, versionOneChunk(2)), 56 + 2 * 1660);
    EXPECT_EQ(target->takeModel().noteCount, 2);
    EXPECT_EQ(target->takeModel().selectionCount, 0);
    for (int i = 0; i < kMaxNotes; ++i) {
        ASSERT_EQ(target->takeModel().prevNote[i], kLinkUnresolved) << i;
        ASSERT_EQ(target->takeModel().nextNote[i], kLinkUnresolved) << i;
    }
    EXPECT_TRUE(target->takeModel().noteEditorRedrawRequested.load());
}

TEST(ChunkFormatTest, VersionZeroRestoresBlendingOneHalfAndKeepsTheScale)
{
    for (int32_t version : {0, -1, -70000}) {
        ChunkBuilder chunk;
        chunk.int32(version).int32(2).contourRow(3.0f).contourRow(kDrawnPointBase + 0.5f);
        chunk.block(0.0f, 1, 5.0f, false).block(30.0f, 0, 7.0f, false);
        auto effect = effectWithEdit();
        std::array<int, kPitchClasses> mask = modelOf(*effect).scaleMask;
        ASSERT_EQ(restore(*effect, chunk.bytes), 8 + 2 * 1656) << version;
        const TakeModel& model = effect->takeModel();
        ASSERT_EQ(model.noteCount, 2);
        EXPECT_EQ(model.scaleMask, mask);
        EXPECT_EQ(model.blending[0], 0.5f);
        EXPECT_EQ(model.blending[1], 0.5f);
        EXPECT_EQ(model.sourceRow[0], 1);
        EXPECT_EQ(model.pitch[1], 7.0f);
        EXPECT_EQ(model.vibratoAttack[1], 0.5f);
        EXPECT_EQ(model.targetEnd[1], 40.0f);
        EXPECT_EQ(model.contour[0][399], 3.0f);
        EXPECT_EQ(model.contour[1][0], kDrawnPointBase + 0.5f);
    }
}

TEST(ChunkFormatTest, TrailingBytesShorterThanABlockAreIgnored)
{
    auto source = makeEffect();
    fillThreeNotes(modelOf(*source));
    std::vector<unsigned char> chunk = savedChunk(*source);
    chunk.push_back(0x7f);
    auto target = makeEffect();
    EXPECT_EQ(restore(*target, chunk), 5037);
    EXPECT_EQ(target->takeModel().noteCount, 3);
    EXPECT_EQ(target->takeModel().blending[2], modelOf(*source).blending[2]);

    // Cut 56 to 59 bytes into the last version 1 block: that block is a
    // remainder, the notes before it stay.
    for (std::size_t cut = 56; cut < 60; ++cut) {
        std::vector<unsigned char> shortened = versionOneChunk(2);
        shortened.resize(shortened.size() - 60 + cut);
        auto effect = makeEffect();
        EXPECT_EQ(restore(*effect, shortened), static_cast<VstInt32>(shortened.size())) << cut;
        EXPECT_EQ(effect->takeModel().noteCount, 1) << cut;
    }
}

TEST(ChunkFormatTest, BlocksNotStoredCountDecideTheNotes)
{
    // The count says one note, two blocks follow its contour row: two notes,
    // the second without stale points in its row.
    ChunkBuilder chunk;
    chunk.int32(1).mask(kMajorOnD).int32(1).contourRow(2.0f);
    chunk.block(0.0f, 0, 1.0f, true).block(40.0f, 3, 2.0f, true, 0.25f);
    auto effect = effectWithEdit();
    modelOf(*effect).contour[1].fill(-4.0f);
    ASSERT_EQ(restore(*effect, chunk.bytes), static_cast<VstInt32>(chunk.bytes.size()));
    EXPECT_EQ(effect->takeModel().noteCount, 2);
    EXPECT_EQ(effect->takeModel().sourceRow[1], 3);
    EXPECT_EQ(effect->takeModel().blending[1], 0.25f);
    EXPECT_EQ(effect->takeModel().contour[0][17], 2.0f);
    EXPECT_EQ(effect->takeModel().contour[1][17], kPitchUnset);
}

TEST(ChunkFormatTest, AnyNonZeroMaskEntryRestoresAsAnExcludedClass)
{
    std::vector<unsigned char> chunk = versionOneChunk(0);
    chunk[4 + 4 * 3] = 7; // class 3
    chunk[4 + 4 * 5 + 3] = 0x80; // class 5: INT32_MIN
    auto effect = makeEffect();
    ASSERT_EQ(restore(*effect, chunk), 56);
    EXPECT_EQ(effect->takeModel().scaleMask[3], 1);
    EXPECT_EQ(effect->takeModel().scaleMask[5], 1);
    EXPECT_EQ(effect->takeModel().scaleMask[1], 0);
}

TEST(ChunkFormatTest, ChunksThatDoNotFitAnswerZeroAndChangeNothing)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"version 2", ChunkBuilder().int32(2).mask(kMajorOnD).int32(0).bytes});
    {
        std::vector<unsigned char> v2 = versionOneChunk(2);
        v2[0] = 2;
        cases.push_back({"version 2 with notes", v2});
    }
    cases.push_back({"one byte", {1}});
    cases.push_back({"three bytes", {1, 0, 0}});
    cases.push_back({"version only", ChunkBuilder().int32(1).bytes});
    cases.push_back({"scale mask cut", ChunkBuilder().int32(1).int32(0).int32(1).bytes});
    cases.push_back({"count missing", ChunkBuilder().int32(1).mask(kMajorOnD).bytes});
    cases.push_back({"count cut", ChunkBuilder().int32(1).mask(kMajorOnD).int32(0).bytes});
    cases.back().bytes.pop_back();
    cases.push_back({"version 0 count missing", ChunkBuilder().int32(0).bytes});
    cases.push_back({"count 1001", ChunkBuilder().int32(1).mask(kMajorOnD).int32(1001).bytes});
    cases.push_back({"count -1", ChunkBuilder().int32(1).mask(kMajorOnD).int32(-1).bytes});
    cases.push_back(
        {"count INT32_MIN", ChunkBuilder().int32(0).int32(std::numeric_limits<int>::min()).bytes});
    {
        std::vector<unsigned char> rowsCut = versionOneChunk(3);
        rowsCut.resize(56 + 2 * 1600 + 1599);
        cases.push_back({"contour rows past the end", rowsCut});
    }
    cases.push_back(
        {"contour row without its block", ChunkBuilder().int32(0).int32(2).contourRow(1).bytes});
    {
        ChunkBuilder many;
        many.int32(0).int32(0);
        for (int i = 0; i < 1001; ++i)
            many.block(static_cast<float>(i), 0, 0.0f, false);
        cases.push_back({"1001 blocks", many.bytes});
    }
    cases.push_back({"source row 4",
        ChunkBuilder().int32(1).mask(kMajorOnD).int32(0).block(0, 4, 0, true).bytes});
    cases.push_back(
        {"source row -1", ChunkBuilder().int32(0).int32(0).block(0, -1, 0, false).bytes});
    cases.push_back({"NaN pitch",
        ChunkBuilder().int32(1).mask(kMajorOnD).int32(0).block(0, 0, nan, true).bytes});
    cases.push_back(
        {"infinite start", ChunkBuilder().int32(0).int32(0).block(-inf, 0, 1, false).bytes});
    cases.push_back({"NaN blending",
        ChunkBuilder()
            .int32(1)
            .mask(kMajorOnD)
            .int32(0)
            .block(0, 0, 1, true)
            .block(9, 0, 1, true, nan)
            .bytes});
    cases.push_back({"NaN contour point",
        ChunkBuilder().int32(0).int32(1).contourRow(nan).block(0, 0, 1, false).bytes});

    for (const Case& c : cases) {
        auto effect = effectWithEdit();
        EditSnapshot before(modelOf(*effect));
        EXPECT_EQ(restore(*effect, c.bytes), 0) << c.name;
        EXPECT_TRUE(EditSnapshot(modelOf(*effect)) == before) << c.name;
    }

    auto effect = effectWithEdit();
    EditSnapshot before(modelOf(*effect));
    std::vector<unsigned char> valid = versionOneChunk(1);
    EXPECT_EQ(effect->setChunk(valid.data(), -5, false), 0);
    EXPECT_TRUE(EditSnapshot(modelOf(*effect)) == before);
}

TEST(ChunkFormatTest, FullTableRoundTripsAndOneNoteMoreIsRefused)
{
    auto source = makeEffect();
    TakeModel& model = modelOf(*source);
    model.noteCount = kMaxNotes;
    for (int i = 0; i < kMaxNotes; ++i) {
        model.targetStart[i] = static_cast<float>(i);
        model.sourceRow[i] = i % kAnalysisRows;
        model.contour[i].fill(static_cast<float>(i) * 0.01f);
    }
    std::vector<unsigned char> chunk = savedChunk(*source);
    ASSERT_EQ(chunk.size(), 1660056u);
    auto target = makeEffect();
    ASSERT_EQ(restore(*target, chunk), 1660056);
    EXPECT_EQ(target->takeModel().noteCount, kMaxNotes);
    EXPECT_EQ(target->takeModel().targetStart[999], 999.0f);
    EXPECT_EQ(target->takeModel().sourceRow[998], 2);
    EXPECT_EQ(target->takeModel().contour[999][399], 9.99f);

    // A thousand and first block past a full table.
    chunk.resize(chunk.size() + 60, 0);
    EXPECT_EQ(restore(*target, chunk), 0);
}

TEST(ChunkFormatTest, FormantsKeptWriteVersionTwoThatRestoresInAFreshInstance)
{
    auto effect = effectWithEdit();
    std::vector<unsigned char> versionOne = savedChunk(*effect);
    effect->setFormantMode(kFormantsKept);
    std::vector<unsigned char> chunk = savedChunk(*effect);
    const std::size_t settingsAt = 56 + 3 * 1660;
    ASSERT_EQ(chunk.size(), settingsAt + 8);
    EXPECT_EQ(int32At(chunk, 0), 2);
    EXPECT_TRUE(std::equal(versionOne.begin() + 4, versionOne.end(), chunk.begin() + 4));
    EXPECT_EQ(int32At(chunk, settingsAt), 4);
    EXPECT_EQ(int32At(chunk, settingsAt + 4), 1);

    auto fresh = makeEffect();
    ASSERT_EQ(restore(*fresh, chunk), static_cast<VstInt32>(chunk.size()));
    EXPECT_EQ(fresh->formantMode(), kFormantsKept);
    EXPECT_EQ(savedChunk(*fresh), chunk);

    // Back to formants moving, the instance writes exactly its version 1 chunk.
    fresh->setFormantMode(kFormantsMove);
    EXPECT_EQ(savedChunk(*fresh), versionOne);
}

TEST(ChunkFormatTest, SettingsBlockFieldsAreReadWhenKnownAndSkippedOtherwise)
{
    auto edit = [](int32_t version) {
        ChunkBuilder chunk;
        chunk.int32(version).mask(kMajorOnD).int32(2).contourRow(1.0f).contourRow(2.0f);
        return chunk.block(0, 0, 3, true).block(20, 0, 5, true);
    };
    struct Case {
        const char* name;
        std::vector<unsigned char> bytes;
        int mode; // expected after the restore
    };
    std::vector<Case> cases;
    cases.push_back({"mode 1", edit(2).int32(4).int32(1).bytes, kFormantsKept});
    cases.push_back({"mode 0", edit(2).int32(4).int32(0).bytes, kFormantsMove});
    cases.push_back({"later fields skipped", edit(2).int32(12).int32(1).int32(7).int32(-3).bytes,
        kFormantsKept});
    cases.push_back({"unknown mode", edit(2).int32(4).int32(5).bytes, kFormantsMove});
    cases.push_back({"no fields", edit(2).int32(0).bytes, kFormantsMove});
    cases.push_back({"field cut by the length", edit(2).int32(3).int32(1).bytes, kFormantsMove});
    {
        std::vector<unsigned char> trailing = edit(2).int32(4).int32(1).bytes;
        trailing.push_back(0x5a);
        cases.push_back({"trailing byte", trailing, kFormantsKept});
    }
    cases.push_back({"version 1", edit(1).bytes, kFormantsMove});
    cases.push_back({"version 0", versionOneChunk(0), kFormantsMove});
    cases.back().bytes[0] = 0;
    cases.back().bytes.erase(cases.back().bytes.begin() + 4, cases.back().bytes.begin() + 52);

    for (const Case& c : cases) {
        auto effect = makeEffect();
        effect->setFormantMode(kFormantsKept);
        EXPECT_EQ(restore(*effect, c.bytes), static_cast<VstInt32>(c.bytes.size())) << c.name;
        EXPECT_EQ(effect->formantMode(), c.mode) << c.name;
        EXPECT_EQ(effect->takeModel().noteCount, int32At(c.bytes, 0) >= 1 ? 2 : 0) << c.name;
    }
}

TEST(ChunkFormatTest, BrokenSettingsBlocksAreRefusedAndKeepTheMode)
{
    std::vector<unsigned char> kept = versionOneChunk(2);
    kept[0] = 2;
    std::vector<std::pair<const char*, std::vector<unsigned char>>> cases;
    auto with = [&](std::initializer_list<int32_t> values) {
        ChunkBuilder chunk;
        chunk.bytes = kept;
        for (int32_t v : values)
            chunk.int32(v);
        return chunk.bytes;
    };
    cases.emplace_back("length past the end", with({8, 1}));
    cases.emplace_back("negative length", with({-4, 1}));
    cases.emplace_back("length cut", std::vector<unsigned char>(kept.begin(), kept.end()));
    cases.back().second.push_back(4);
    {
        std::vector<unsigned char> blockMissing = with({4, 1});
        blockMissing[52] = 3; // three notes stored, two blocks before the settings
        std::vector<unsigned char> row(1600, 0);
        blockMissing.insert(blockMissing.begin() + 56, row.begin(), row.end());
        cases.emplace_back("block missing before the settings", blockMissing);
    }
    cases.emplace_back("version 3", with({4, 1}));
    cases.back().second[0] = 3;

    for (const auto& [name, bytes] : cases) {
        auto effect = effectWithEdit();
        effect->setFormantMode(kFormantsKept);
        EditSnapshot before(modelOf(*effect));
        EXPECT_EQ(restore(*effect, bytes), 0) << name;
        EXPECT_TRUE(EditSnapshot(modelOf(*effect)) == before) << name;
        EXPECT_EQ(effect->formantMode(), kFormantsKept) << name;
    }
}
