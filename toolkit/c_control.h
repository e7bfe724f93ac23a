// A view with a value that the user changes and a listener that hears of it.
// A control is dirty when its value differs from the value it last drew.
#pragma once

#include "toolkit/c_view.h"

class CControlListener;

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
        CBitmap* background = nullptr);

    // Stores the value without telling the listener; the next redraw shows it.
    virtual void setValue(float value) { this->value = value; }
    virtual float getValue() const { return value; }
    virtual void setMin(float v) { vmin = v; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float v) { vmax = v; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float v) { oldValue = v; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setWheelInc(float v) { wheelInc = v; }
    virtual float getWheelInc() const { return wheelInc; }
    virtual void setBackOffset(const CPoint& offset) { backOffset = offset; }
    const CPoint& getBackOffset() const { return backOffset; }
    // Clamps the value to minimum..maximum.
    virtual void bounceValue();

    void setTag(long tag) { this->tag = tag; }
    long getTag() const { return tag; }
    void setListener(CControlListener* listener) { this->listener = listener; }
    CControlListener* getListener() const { return listener; }

    // Around a user gesture: the frame passes them on to the host.
    virtual void beginEdit();
    virtual void endEdit();

    // False makes the old value equal the value; true forces a redraw.
    void setDirty(bool dirty = true) override;
    bool isDirty() const override;

protected:
    ~CControl() override = default;

    CControlListener* listener;
    long tag;
    float value = 0.0f;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float vmin = 0.0f;
    float vmax = 1.0f;
    float wheelInc = 0.1f;
    CPoint backOffset;
};
