// The horizontally scrolling frame around a NoteView: 10,000 pixels of
// content, one per frame of the take, with a dark red scrollbar below.
#pragma once

#include "editor/note_view.h"
#include "toolkit/c_scroll_view.h"

constexpr int kNoteContentWidth = 10000;
constexpr int kNoteContentHeight = 500;
constexpr int kNoteScrollbarWidth = 14;

// The scrollbar value that puts frame at the left edge of a view of the given
// width, or -1 when the view cannot scroll that far (the request is dropped,
// not clamped). Frames before the start scroll to the start.
float scrollValueForFrame(int frame, int viewWidth);

class NoteScrollView : public CScrollView, public FrameScroller {
public:
    NoteScrollView(const CRect& size, CFrame* frame);

    void scrollToFrame(int frame) override;

    NoteView* noteView = nullptr; // owned by the scroll container

protected:
    ~NoteScrollView() override;
};
