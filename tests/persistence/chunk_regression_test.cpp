// Replays the inputs kept in fuzz/regressions: chunks that once crashed or
// that would crash a reader trusting the chunk. A file named "refused-..."
// must answer 0 and change nothing; "restores-..." must answer its size.
#include "persistence/chunk_format.h"
#include "shell/pitch_effect.h"
#include "support/chunk_support.h"
#include "support/effect_internals.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

} // namespace

TEST(ChunkRegressionTest, EveryKeptInputIsRefusedOrRestoredAsItsNameSays)
{
    fs::path folder = fs::path(CANTILO_SOURCE_DIR) / "fuzz" / "regressions";
    int replayed = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        bool refused = name.starts_with("refused-");
        if (!refused && !name.starts_with("restores-"))
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<unsigned char> bytes {
            std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        ASSERT_FALSE(bytes.empty()) << name;

        auto effect = std::make_unique<PitchEffect>(nullptr);
        modelOf(*effect).noteCount = 2;
        modelOf(*effect).pitch[1] = 4.0f;
        modelOf(*effect).scaleMask.fill(1);
        std::vector<unsigned char> before = savedChunk(*effect);
        VstInt32 answer
            = effect->setChunk(bytes.data(), static_cast<VstInt32>(bytes.size()), false);
        if (refused) {
            EXPECT_EQ(answer, 0) << name;
            EXPECT_EQ(savedChunk(*effect), before) << name;
        } else {
            EXPECT_EQ(answer, static_cast<VstInt32>(bytes.size())) << name;
            EXPECT_LE(effect->takeModel().noteCount, kMaxNotes) << name;
        }
        ++replayed;
    }
    EXPECT_GE(replayed, 6);
}
