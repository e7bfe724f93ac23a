#include "editor/note_scroll_view.h"

#include "toolkit/c_scrollbar.h"

namespace {

constexpr CColor kScrollerColour {50, 0, 0, 255};

} // namespace

float scrollValueForFrame(int frame, int viewWidth)
{
    int range = kNoteContentWidth - viewWidth;
    if (range <= 0 || frame > range)
        return -1.0f;
    if (frame < 0)
        frame = 0;
    return static_cast<float>(frame) / static_cast<float>(range);
}

NoteScrollView::NoteScrollView(const CRect& size, CFrame* frame)
    : CScrollView(size, CRect(0, 0, kNoteContentWidth, kNoteContentHeight), frame,
        kHorizontalScrollbar, kNoteScrollbarWidth)
{
    if (CScrollbar* scrollbar = getHScrollbar())
        scrollbar->setScrollerColor(kScrollerColour);
    setTransparency(true);
    setDirty(true);
    noteView = new NoteView(CRect(0, 0, kNoteContentWidth, size.height() - kNoteScrollbarWidth));
    noteView->scroller = this;
    addView(noteView);
}

NoteScrollView::~NoteScrollView() = default;

void NoteScrollView::scrollToFrame(int frame)
{
    CScrollbar* scrollbar = getHScrollbar();
    if (!scrollbar)
        return;
    float value = scrollValueForFrame(frame, size.width());
    if (value < 0.0f)
        return;
    scrollbar->setValue(value);
    valueChanged(nullptr, scrollbar);
}
