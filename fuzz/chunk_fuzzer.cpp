// libFuzzer target for the chunk a host hands back: any bytes must either be
// refused with nothing changed or restore a table that fits the model and
// writes back to a chunk that restores to itself.
#include "persistence/chunk_format.h"
#include "shell/pitch_effect.h"
#include "tests/support/effect_internals.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

std::vector<unsigned char> currentChunk(PitchEffect& effect)
{
    void* data = nullptr;
    VstInt32 size = effect.getChunk(&data, false);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static PitchEffect* effect = new PitchEffect(nullptr);
    if (size > static_cast<size_t>(INT32_MAX))
        return 0;
    TakeModel& model = modelOf(*effect);
    std::vector<unsigned char> before = currentChunk(*effect);

    auto byteSize = static_cast<VstInt32>(size);
    VstInt32 answer = effect->setChunk(const_cast<uint8_t*>(data), byteSize, false);
    require(model.noteCount >= 0 && model.noteCount <= kMaxNotes);
    if (answer == 0) {
        require(currentChunk(*effect) == before);
        return 0;
    }
    require(answer == (size == 0 ? 1 : byteSize));
    require(model.selectionCount == 0);
    for (int i = 0; i < kMaxNotes; ++i)
        require(model.prevNote[i] == kLinkUnresolved && model.nextNote[i] == kLinkUnresolved);
    for (int i = 0; i < model.noteCount; ++i)
        require(model.sourceRow[i] >= 0 && model.sourceRow[i] < kAnalysisRows);

    std::vector<unsigned char> written = currentChunk(*effect);
    ChunkSettings settings;
    settings.formantMode
        = effect->formantMode() == kFormantsKept ? kChunkFormantsKept : kChunkFormantsMove;
    require(written.size() == chunkSize(model.noteCount, settings));
    require(effect->setChunk(written.data(), static_cast<VstInt32>(written.size()), false)
        == static_cast<VstInt32>(written.size()));
    require(currentChunk(*effect) == written);
    return 0;
}
