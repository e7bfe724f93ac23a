// A push button drawn from a bitmap: the region at the offset while the value
// is 0, the region one image height further down while it is not. It is 1
// while the mouse holds it down inside and 0 again after the release.
#pragma once

#include "toolkit/c_control.h"

class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, int heightOfOneImage,
        CBitmap* background, const CPoint& offset = CPoint(0, 0));

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where, long buttons = -1) override;

    int getHeightOfOneImage() const { return heightOfOneImage; }
    const CPoint& getOffset() const { return offset; }

protected:
    ~CKickButton() override = default;

    int heightOfOneImage;
    CPoint offset;
};
