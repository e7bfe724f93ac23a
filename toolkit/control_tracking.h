// Steps that the toolkit's controls share while they handle a click: handing
// a modifier click to the listener, and redrawing a control at once while a
// modal tracking loop holds the user-interface thread.
#pragma once

class CControl;
class CDrawContext;

// True when buttons hold a modifier and the control's listener took the click
// over (its controlModifierClicked returned nonzero).
bool modifierClickHandled(CDrawContext* context, CControl* control, long buttons);

// The buttons of a mouse-down: the state at the press when the caller passed
// one, else the live state.
long pressedButtons(CDrawContext* context, long buttons);

// The buttons of a mouse-down that control handles itself, or 0 when it
// does not: the control is not mouse-enabled, the listener took a modifier
// click over, or none of the buttons in accepted is down.
long acceptedClick(CDrawContext* context, CControl* control, long buttons, long accepted);

// Draws control into context (the coordinates of its parent) when it is dirty
// and shows the result on the screen.
void redrawNow(CDrawContext* context, CControl* control);

// One pass of a tracking loop: the frame's idle pacing.
void trackingPass(CControl* control);
