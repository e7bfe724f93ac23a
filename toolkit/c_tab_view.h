// A container with a row of tab buttons along its top edge and one page per
// tab. Only the selected tab's page is attached, so only it is drawn and
// receives the mouse; the other pages wait, owned by the tab view.
#pragma once

#include "toolkit/c_control_listener.h"
#include "toolkit/c_view_container.h"

#include <vector>

class CTabButton;

class CTabView : public CViewContainer, public CControlListener {
public:
    enum TabPosition { kPositionLeft = 0, kPositionRight, kPositionTop, kPositionBottom };
    static constexpr long kFirstTabTag = 20000;

    // The buttons are laid out along the top whatever tabPosition says: that
    // is the one layout the toolkit has.
    CTabView(const CRect& size, CFrame* frame, CBitmap* tabBitmap, CBitmap* background = nullptr,
        int tabPosition = kPositionTop, int style = 0);

    // Adds a tab showing name whose page is view (the tab view takes the
    // caller's reference). The first tab becomes the selected one. False for
    // a null view or a view already in a tab.
    bool addTab(CView* view, const char* name = nullptr, CBitmap* tabBitmap = nullptr);
    // Selects tab index: the old page is detached (kept), the new one attached.
    bool selectTab(int index);
    int getCurrentTab() const { return currentTab; }
    int getNbTabs() const { return static_cast<int>(tabs.size()); }
    CView* getTabPage(int index) const;
    CTabButton* getTabButton(int index) const;

    // The page area in the tab view's own coordinates: below the buttons.
    CRect& getTabViewSize(CRect& rect) const;

    void valueChanged(CDrawContext* context, CControl* control) override;

protected:
    ~CTabView() override;

private:
    struct Tab {
        CView* page;
        CTabButton* button;
    };

    CBitmap* tabBitmap;
    int tabPosition;
    int style;
    int tabWidth;
    int tabHeight;
    std::vector<Tab> tabs;
    int currentTab = -1;
};
