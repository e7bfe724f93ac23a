// Small note tables for the editing tests.
#pragma once

#include "model/take_model.h"

#include <memory>

// A model with count notes in a row: note i covers frames 10 i to 10 i + 10, so
// each ends where the next starts (they are neighbours),
// pitch i, and every contour point of its row is 100 + i (a computed point).
std::unique_ptr<TakeModel> modelWithNotes(int count);

// Selects the given notes, in that order.
void select(TakeModel& model, std::initializer_list<int> notes);
