#include "WindowPlacement.h"

#include <algorithm>

namespace qb {

int ExplainWindowWidth(int longestPixelWidth) {
    return std::clamp(longestPixelWidth + 35, 50, 400);
}

TPlacement PlaceInputWindowsCalc(const TPlacementInput& in) {
    TPlacement out;
    int x = in.caretX;
    const int y = in.caretY + 24;
    if (in.screenW < x + in.widthB + in.widthL + 5) x = in.screenW - in.widthL - in.widthB - 5;
    if (in.followSource) {
        out.moveP = true;
        out.leftP = x - 100;
        out.topP = y - in.heightP - 50;
        if (out.leftP < 0) out.leftP = 0;
        if (in.screenW < out.leftP + in.widthP) out.leftP = in.screenW - in.widthP - 5;
    }
    if (in.smartFollow && in.followSource) {
        out.leftB = x;
        out.topB = out.topP + 60 + 20 * in.stepOffset;
        out.topL = out.topB;
        out.leftL = out.leftB + in.widthB + 5;
    } else {
        out.leftB = x;
        out.topB = in.screenH < in.heightL + y ? in.screenH - in.heightL : y;
        out.topL = out.topB;
        out.leftL = x + in.widthB + 5;
    }
    return out;
}

TPoint2 PlaceExplainCalc(int caretX, int caretY, int width, int screenW) {
    TPoint2 p;
    p.y = caretY + 24;
    p.x = caretX;
    if (screenW < width + p.x) p.x = screenW - width - 20;
    return p;
}

} // namespace qb
