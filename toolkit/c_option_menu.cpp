#include "toolkit/c_option_menu.h"

#include "toolkit/c_bitmap.h"
#include "toolkit/c_control_listener.h"
#include "toolkit/c_frame.h"
#include "toolkit/control_tracking.h"

#include <cmath>

COptionMenu::COptionMenu(const CRect& size, CControlListener* listener, long tag,
    CBitmap* background, CBitmap* backgroundWhenClicked, int style)
    : CParamDisplay(size, background, style)
    , backgroundWhenClicked(backgroundWhenClicked)
{
    this->listener = listener;
    this->tag = tag;
    if (backgroundWhenClicked)
        backgroundWhenClicked->remember();
}

COptionMenu::~COptionMenu()
{
    if (backgroundWhenClicked)
        backgroundWhenClicked->forget();
}

bool COptionMenu::addEntry(const char* text, int index)
{
    if (!text || getNbEntries() >= kMaxEntries)
        return false;
    std::string entry(text);
    if (entry.size() > size_t(kMaxEntryLength))
        entry.resize(kMaxEntryLength);
    if (index >= 0 && index <= getNbEntries()) {
        entries.insert(entries.begin() + index, std::move(entry));
        checkedEntries.insert(checkedEntries.begin() + index, false);
        // The current entry stays the same text.
        if (currentIndex >= index)
            ++currentIndex, value = float(currentIndex);
    } else {
        entries.push_back(std::move(entry));
        checkedEntries.push_back(false);
    }
    setMax(float(getNbEntries() - 1));
    setDirty(true);
    return true;
}

void COptionMenu::removeAllEntry()
{
    entries.clear();
    checkedEntries.clear();
    currentIndex = -1;
    value = -1.0f;
    setMax(0.0f);
    setDirty(true);
}

const char* COptionMenu::getEntry(int index) const
{
    return index >= 0 && index < getNbEntries() ? entries[size_t(index)].c_str() : nullptr;
}

void COptionMenu::setEntryChecked(int index, bool checked)
{
    if (index < 0 || index >= getNbEntries() || checkedEntries[size_t(index)] == checked)
        return;
    checkedEntries[size_t(index)] = checked;
    setDirty(true);
}

bool COptionMenu::isEntryChecked(int index) const
{
    return index >= 0 && index < getNbEntries() && checkedEntries[size_t(index)];
}

bool COptionMenu::setCurrent(int index, bool /*countSeparator*/)
{
    if (index < 0 || index >= getNbEntries())
        return false;
    currentIndex = index;
    value = float(index);
    setDirty(true);
    return true;
}

void COptionMenu::setValue(float newValue)
{
    // Written so that NaN fails the test as well.
    if (!(newValue >= 0.0f && newValue < float(getNbEntries())))
        return;
    currentIndex = static_cast<int>(newValue);
    value = float(currentIndex);
}

void COptionMenu::draw(CDrawContext* context)
{
    CBitmap* background = poppedUp && backgroundWhenClicked ? backgroundWhenClicked : pBackground;
    const char* text = getEntry(currentIndex);
    drawText(context, text ? text : "", background);
}

void COptionMenu::mouse(CDrawContext* context, CPoint& /*where*/, long buttons)
{
    if (!acceptedClick(context, this, buttons, kLButton | kRButton | kApple))
        return;
    beginEdit();
    popup(context);
    endEdit();
}

void COptionMenu::takeFocus(CDrawContext* context)
{
    // An edit gesture that code starts has no begin: so it gets no end
    // either, and the host never sees an end without its begin.
    popup(context);
}

bool COptionMenu::popup(CDrawContext* context)
{
    CFrame* frame = getParentFrame();
    PlatformWindow* window = frame ? frame->getPlatformWindow() : nullptr;
    if (!window || entries.empty())
        return false;

    std::vector<PopupMenuItem> items;
    items.reserve(entries.size());
    for (int i = 0; i < getNbEntries(); ++i)
        items.push_back({entries[size_t(i)],
            checkedEntries[size_t(i)] || ((style & kCheckStyle) && i == currentIndex), fontId});

    // Below the control, or over it with kPopupStyle, in window pixels.
    CPoint corner(size.left, (style & kPopupStyle) ? size.top : size.bottom);
    localToFrame(corner);

    // The frame and this menu stay alive while the popup waits, whatever the
    // idle calls in between do.
    frame->remember();
    remember();
    poppedUp = true;
    setDirty(true);
    const int chosen = frame->getPlatform().popupMenus().run(
        *window, corner, items, [frame] { frame->doIdleStuff(); });
    poppedUp = false;
    setDirty(true);
    const bool picked = chosen >= 0 && chosen < getNbEntries();
    if (picked) {
        setValue(float(chosen));
        if (listener)
            listener->valueChanged(context, this);
    }
    if (frame->getFocusView() == this)
        frame->setFocusView(nullptr);
    forget();
    frame->forget();
    return picked;
}
