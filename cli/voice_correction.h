// A whole recording through the effect: split into takes when it is longer
// than one, each take recorded, cut into notes and (for tuning) corrected and
// rendered, and the takes' results put back together.
#pragma once

#include "cli/fxp_program.h"
#include "cli/progress.h"
#include "cli/take_corrector.h"
#include "cli/take_plan.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct CorrectionResult {
    std::vector<float> output; // as long as the input
    std::vector<TakeSpan> takes;
    std::vector<FoundNote> notes; // positions in the whole input, in time order
    std::vector<uint8_t> chunk; // the edit, when asked for (one take only)
    FxpIdentity identity; // the effect that made the chunk
};

class PitchEffect;

// Looks at each take's effect once the take is tuned and rendered: the take's
// index, the effect and the take's length in samples. Takes run side by side
// on several threads, so the calls come one at a time but in any order.
using TakeInspector = std::function<void(std::size_t take, PitchEffect& effect, long samples)>;

// Tunes `input`; `wantChunk` keeps the edit of a single take for a preset.
std::optional<Failure> correctVoice(const std::vector<float>& input, int sampleRate,
    const CorrectionSettings& settings, bool wantChunk, CorrectionResult& result,
    Progress* progress = nullptr, const TakeInspector& inspect = {});

// The notes of `input` as the effect finds them, measured, untuned; `threads`
// as in CorrectionSettings.
std::vector<FoundNote> analyseVoice(const std::vector<float>& input, int sampleRate,
    std::vector<TakeSpan>* takes = nullptr, Progress* progress = nullptr, int threads = 0);

// How many threads `takes` takes get when `requested` are asked for (0: one
// per core this process may run on): at least one, at most one per take.
int takeThreads(int requested, std::size_t takes);
