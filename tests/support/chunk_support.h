// The chunk an effect hands its host, copied out of the effect's buffer.
#pragma once

#include <vector>

class PitchEffect;

std::vector<unsigned char> savedChunk(PitchEffect& effect);
