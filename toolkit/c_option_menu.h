// A text display showing the current entry of a list, which pops up the list
// as a native menu when clicked. The value is the current entry's 0-based
// index (-1 when there is no current entry).
#pragma once

#include "toolkit/c_param_display.h"

#include <string>
#include <vector>

class COptionMenu : public CParamDisplay {
public:
    static constexpr int kMaxEntries = 1024;
    static constexpr int kMaxEntryLength = 255; // characters; longer texts are cut

    COptionMenu(const CRect& size, CControlListener* listener, long tag,
        CBitmap* background = nullptr, CBitmap* backgroundWhenClicked = nullptr, int style = 0);

    // Appends text, or inserts it before position index when 0 <= index <= the
    // number of entries. False, with nothing added, for a null text or when
    // the menu already holds kMaxEntries entries.
    bool addEntry(const char* text, int index = -1);
    // Deletes every entry; no entry is current afterwards.
    void removeAllEntry();
    int getNbEntries() const { return static_cast<int>(entries.size()); }
    // The text of entry index, or null outside the list.
    const char* getEntry(int index) const;

    // A check mark shown beside entry index in the popup, whatever entry is
    // current; marks the menu dirty when it changes. Out of range: ignored.
    void setEntryChecked(int index, bool checked);
    bool isEntryChecked(int index) const;

    // Makes entry index current and marks the menu dirty. The menu holds no
    // separators, so both ways of counting give the same entry.
    bool setCurrent(int index, bool countSeparator = true);
    int getCurrent() const { return currentIndex; }

    // Makes entry trunc(value) current when it exists; anything else
    // (negative, too large, not a number) is ignored.
    void setValue(float value) override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    // Pops the menu up from code. A choice sets the value and tells the
    // listener before this returns.
    using CParamDisplay::takeFocus;
    void takeFocus(CDrawContext* context);

    // True while the popup is open.
    bool isPoppedUp() const { return poppedUp; }

protected:
    ~COptionMenu() override;

private:
    // Shows the popup; true when the user chose an entry.
    bool popup(CDrawContext* context);

    std::vector<std::string> entries;
    std::vector<bool> checkedEntries; // beside entries, one flag each
    int currentIndex = -1;
    CBitmap* backgroundWhenClicked;
    bool poppedUp = false;
};
