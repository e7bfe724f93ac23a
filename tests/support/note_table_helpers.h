// Small builders for tests: notes written straight into the table, a
// flat or moving pitch track, and recorded tones.
#pragma once

#include "model/take_model.h"

#include <memory>

std::unique_ptr<TakeModel> makeModel();

// Appends a note with segmentation's starting attributes and the given spans;
// returns its index.
int addNote(
    TakeModel& model, float targetStart, float targetEnd, float sourceStart, float sourceEnd);
int addNote(TakeModel& model, float start, float end);

// Row 0 frames [first, last) voiced at pitch.
void setTrack(TakeModel& model, int first, int last, float pitch, float voicing = 1.0f);

// Records a sine of the frequency of pitch over samples [first, last) and
// marks them recorded.
void recordTone(TakeModel& model, int first, int last, float pitch, float sampleRate = 44100.0f,
    float amplitude = 0.5f);
