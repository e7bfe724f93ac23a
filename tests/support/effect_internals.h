// The effect's state as the audio thread and the host own it, for tests and
// benchmarks that set up a take, a note table or a held lock without
// recording through the host.
#pragma once

#include "shell/pitch_effect.h"

struct PitchEffectInternals {
    static TakeModel& model(PitchEffect& effect) { return effect.model; }
    static EditLock& editLock(PitchEffect& effect) { return effect.editLock; }
    static ParameterBlock& parameters(PitchEffect& effect) { return effect.parameters; }
    static Resynthesis& resynthesis(PitchEffect& effect) { return effect.resynthesis; }
};

inline TakeModel& modelOf(PitchEffect& effect) { return PitchEffectInternals::model(effect); }
inline EditLock& editLockOf(PitchEffect& effect) { return PitchEffectInternals::editLock(effect); }
