#include "support/chunk_support.h"

#include "shell/pitch_effect.h"

std::vector<unsigned char> savedChunk(PitchEffect& effect)
{
    void* data = nullptr;
    VstInt32 size = effect.getChunk(&data, false);
    const auto* bytes = static_cast<const unsigned char*>(data);
    return {bytes, bytes + size};
}
