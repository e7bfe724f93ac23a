// What a control tells its owner: a value the user changed, and a click with a
// modifier held that the owner may take over.
#pragma once

class CControl;
class CDrawContext;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // Nonzero when the listener handled the click; the control then does nothing more.
    virtual long controlModifierClicked(
        CDrawContext* /*context*/, CControl* /*control*/, long /*buttons*/)
    {
        return 0;
    }
};
