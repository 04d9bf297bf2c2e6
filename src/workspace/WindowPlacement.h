// Where the main window's pop-ups go, as arithmetic over screen coordinates: the floating source
// window, the composition box and the candidate list beside the target caret, the explanation
// window below the source caret, each kept on the screen. MainSentence moves the windows with
// the results. No Qt, so the rules are tested without a screen.
#pragma once

namespace qb {

// Width of the explanation window from the pixel width of M: + 35, within 50 .. 400.
int ExplainWindowWidth(int longestPixelWidth);

// PlaceInputWindows, as arithmetic. P floating source window, B composition window,
// L candidate window; W, H screen size; caret = screen position of the target caret.
struct TPlacementInput {
    int caretX = 0, caretY = 0; // client-area screen position + caret position
    int screenW = 0, screenH = 0;
    int widthP = 0, heightP = 0;
    int widthB = 0, heightB = 0;
    int widthL = 0, heightL = 0;
    bool followSource = false;
    bool smartFollow = false;
    int stepOffset = 0;
};
struct TPlacement {
    bool moveP = false;
    int leftP = 0, topP = 0;
    int leftB = 0, topB = 0;
    int leftL = 0, topL = 0;
};
TPlacement PlaceInputWindowsCalc(const TPlacementInput& in);

// PlaceExplainWindow: left and top of the explanation window.
struct TPoint2 {
    int x = 0, y = 0;
};
TPoint2 PlaceExplainCalc(int caretX, int caretY, int width, int screenW);

} // namespace qb
