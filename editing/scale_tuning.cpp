#include "editing/scale_tuning.h"

#include "editing/note_list.h"
#include "model/segmentation.h"

#include <algorithm>
#include <cmath>

namespace {

// Semitones of the major scale above its root.
constexpr std::array<int, kPitchClasses> kMajorPattern = {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1};
// Natural minor is the major pattern read from its sixth degree.
constexpr int kMinorPatternShift = 9;
// The search reaches 6.5 semitones either way, which covers every class.
constexpr double kSearchStep = 0.5;
constexpr int kSearchSteps = 14;

int floorModulo(int value, int divisor) { return ((value % divisor) + divisor) % divisor; }

void tuneNote(TakeModel& model, int note)
{
    if (model.pitch[note] == kPitchUnset)
        measureSourcePitch(model, note);
    if (model.pitch[note] == kPitchUnset)
        return;
    double target = static_cast<double>(model.pitch[note]) + model.fineTune[note];
    model.fineTune[note] = 0.0f;
    if (std::isfinite(target)) {
        for (int step = 0; step < kSearchSteps; ++step) {
            double distance = kSearchStep * step;
            double up = nearestSemitone(target + distance);
            double down = nearestSemitone(target - distance);
            if (model.scaleMask[pitchClassOf(up)] == 0) {
                model.pitch[note] = static_cast<float>(up);
                break;
            }
            if (model.scaleMask[pitchClassOf(down)] == 0) {
                model.pitch[note] = static_cast<float>(down);
                break;
            }
        }
    }
    noteChanged(model, note);
}

} // namespace

int pitchClassOf(double wholePitch)
{
    double octaves = std::floor(wholePitch / kPitchClasses);
    int pc = static_cast<int>(wholePitch - octaves * kPitchClasses);
    return std::clamp(pc, 0, kPitchClasses - 1);
}

double nearestSemitone(double x) { return std::floor(x + 0.5); }

void setScale(TakeModel& model, int mode, int scaleRoot)
{
    int root = floorModulo(scaleRoot, kPitchClasses);
    for (int k = 0; k < kPitchClasses; ++k) {
        int& excluded = model.scaleMask[(root + k) % kPitchClasses];
        switch (mode) {
        case kMajorScale: excluded = 1 - kMajorPattern[k]; break;
        case kMinorScale:
            excluded = 1 - kMajorPattern[(k + kMinorPatternShift) % kPitchClasses];
            break;
        case kAllowAllClasses: excluded = 0; break;
        default: return;
        }
    }
}

void togglePitchClass(TakeModel& model, int pc)
{
    if (pc < 0 || pc >= kPitchClasses)
        return;
    model.scaleMask[pc] = model.scaleMask[pc] != 0 ? 0 : 1;
}

void tuneSelectedNotes(TakeModel& model)
{
    for (int k = 0; k < model.selectionCount; ++k)
        if (isNoteIndex(model, model.selection[k]))
            tuneNote(model, model.selection[k]);
}
