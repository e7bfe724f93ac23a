// A plain text label drawn straight onto what lies behind it: no background,
// no frame, font 4, left-aligned, clipped to its rectangle.
#pragma once

#include "toolkit/c_param_display.h"

constexpr int kValueDisplayTextLength = 256;

class ValueDisplay : public CParamDisplay {
public:
    ValueDisplay(const CRect& size, const char* text);

    void draw(CDrawContext* context) override;

    char text[kValueDisplayTextLength] {};

protected:
    ~ValueDisplay() override;
};
