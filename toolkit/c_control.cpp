#include "toolkit/c_control.h"

#include "toolkit/c_frame.h"

CControl::CControl(const CRect& size, CControlListener* listener, long tag, CBitmap* background)
    : CView(size)
    , listener(listener)
    , tag(tag)
{
    if (background)
        setBackground(background);
    bDirty = false;
}

void CControl::bounceValue()
{
    if (value > vmax)
        value = vmax;
    else if (value < vmin)
        value = vmin;
}

void CControl::beginEdit()
{
    if (pParentFrame)
        pParentFrame->beginEdit(tag);
}

void CControl::endEdit()
{
    if (pParentFrame)
        pParentFrame->endEdit(tag);
}

void CControl::setDirty(bool dirty)
{
    CView::setDirty(dirty);
    if (!dirty)
        oldValue = value;
}

bool CControl::isDirty() const { return bDirty || value != oldValue; }
