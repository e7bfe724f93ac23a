#include "editing/edit_commands.h"

#include "editing/note_list.h"
#include "editing/note_settings.h"
#include "editing/scale_tuning.h"

namespace {

template <typename Change> void underEditLock(PitchEffect& effect, Change change)
{
    EditGuard guard(effect.editLock);
    change(effect.model);
}

} // namespace

void setScale(PitchEffect& effect, int mode, int scaleRoot)
{
    underEditLock(effect, [&](TakeModel& model) { setScale(model, mode, scaleRoot); });
}

void togglePitchClass(PitchEffect& effect, int pc)
{
    underEditLock(effect, [&](TakeModel& model) { togglePitchClass(model, pc); });
}

void tuneSelectedNotes(PitchEffect& effect)
{
    underEditLock(effect, [](TakeModel& model) { tuneSelectedNotes(model); });
}

void deleteNote(PitchEffect& effect, int note)
{
    underEditLock(effect, [&](TakeModel& model) { deleteNote(model, note); });
}

void deleteSelectedNotes(PitchEffect& effect)
{
    underEditLock(effect, [](TakeModel& model) { deleteSelectedNotes(model); });
}

void duplicateSelectedNotes(PitchEffect& effect)
{
    underEditLock(effect, [](TakeModel& model) { duplicateSelectedNotes(model); });
}

void selectAllNotes(PitchEffect& effect)
{
    underEditLock(effect, [](TakeModel& model) { selectAllNotes(model); });
}

void clearSelection(PitchEffect& effect)
{
    underEditLock(effect, [](TakeModel& model) { clearSelection(model); });
}

void setSelectedNotesAttribute(PitchEffect& effect, int tag, float v)
{
    underEditLock(effect, [&](TakeModel& model) { setSelectedNotesAttribute(model, tag, v); });
}
