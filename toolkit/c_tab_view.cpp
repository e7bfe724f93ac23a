#include "toolkit/c_tab_view.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_frame.h"
#include "toolkit/c_tab_button.h"

namespace {

// A page that goes out of sight takes the keyboard focus with it: the keys
// must not reach a control that is no longer shown.
void releaseFocusWithin(CView* page)
{
    CFrame* frame = page->getParentFrame();
    CView* focus = frame ? frame->getFocusView() : nullptr;
    for (CView* view = focus; view; view = view->getParentView())
        if (view == page) {
            frame->setFocusView(nullptr);
            return;
        }
}

} // namespace

CTabView::CTabView(const CRect& size, CFrame* frame, CBitmap* tabBitmap, CBitmap* background,
    int tabPosition, int style)
    : CViewContainer(size, frame, background)
    , tabBitmap(tabBitmap)
    , tabPosition(tabPosition)
    , style(style)
    , tabWidth(tabBitmap ? tabBitmap->getWidth() : 0)
    , tabHeight(tabBitmap ? tabBitmap->getHeight() / 2 : 0)
{
    if (tabBitmap)
        tabBitmap->remember();
}

CTabView::~CTabView()
{
    // The attached page goes with the container's children; the others are ours.
    for (int i = 0; i < getNbTabs(); ++i)
        if (i != currentTab)
            tabs[size_t(i)].page->forget();
    if (tabBitmap)
        tabBitmap->forget();
}

bool CTabView::addTab(CView* view, const char* name, CBitmap* buttonBitmap)
{
    if (!view)
        return false;
    for (const Tab& tab : tabs)
        if (tab.page == view)
            return false;
    CBitmap* bitmap = buttonBitmap ? buttonBitmap : tabBitmap;
    const int width = bitmap ? bitmap->getWidth() : tabWidth;
    const int height = bitmap ? bitmap->getHeight() / 2 : tabHeight;
    const int index = getNbTabs();
    CRect place(width * index, 0, width * (index + 1), height);
    auto* button = new CTabButton(place, this, kFirstTabTag + index, bitmap, name);
    button->setTransparency(true);
    CViewContainer::addView(button);
    tabs.push_back({view, button});
    if (currentTab < 0)
        selectTab(0);
    return true;
}

bool CTabView::selectTab(int index)
{
    if (index < 0 || index >= getNbTabs())
        return false;
    if (index == currentTab)
        return true;
    if (currentTab >= 0) {
        Tab& old = tabs[size_t(currentTab)];
        releaseFocusWithin(old.page);
        CViewContainer::removeView(old.page, false);
        old.button->setValue(0.0f);
    }
    currentTab = index;
    Tab& now = tabs[size_t(index)];
    CViewContainer::addView(now.page);
    now.button->setValue(1.0f);
    setDirty(true);
    return true;
}

CView* CTabView::getTabPage(int index) const
{
    return index >= 0 && index < getNbTabs() ? tabs[size_t(index)].page : nullptr;
}

CTabButton* CTabView::getTabButton(int index) const
{
    return index >= 0 && index < getNbTabs() ? tabs[size_t(index)].button : nullptr;
}

CRect& CTabView::getTabViewSize(CRect& rect) const
{
    rect = size;
    rect.moveTo(0, 0);
    rect.top += tabHeight;
    return rect;
}

void CTabView::valueChanged(CDrawContext* /*context*/, CControl* control)
{
    const long index = control->getTag() - kFirstTabTag;
    if (index >= 0 && index < getNbTabs() && tabs[size_t(index)].button == control)
        selectTab(int(index));
}
