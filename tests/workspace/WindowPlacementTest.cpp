// The pop-ups' places at the screen edges.
#include "WindowPlacement.h"

#include <gtest/gtest.h>

namespace qb::test {
namespace {

TEST(Explanation, WidthBounds) {
    EXPECT_EQ(ExplainWindowWidth(0), 50);
    EXPECT_EQ(ExplainWindowWidth(14), 50);
    EXPECT_EQ(ExplainWindowWidth(100), 135);
    EXPECT_EQ(ExplainWindowWidth(365), 400);
    EXPECT_EQ(ExplainWindowWidth(366), 400);
}

TEST(Explanation, PlacementAtTheRightEdge) {
    EXPECT_EQ(PlaceExplainCalc(100, 200, 150, 1024).x, 100);
    EXPECT_EQ(PlaceExplainCalc(100, 200, 150, 1024).y, 224);
    EXPECT_EQ(PlaceExplainCalc(950, 200, 150, 1024).x, 1024 - 150 - 20);
}

class Placement : public testing::Test {
protected:
    TPlacementInput in;
    void SetUp() override {
        in.caretX = 300;
        in.caretY = 400;
        in.screenW = 1024;
        in.screenH = 768;
        in.widthP = 313;
        in.heightP = 60;
        in.widthB = 120;
        in.heightB = 30;
        in.widthL = 150;
        in.heightL = 200;
        in.followSource = true;
    }
};

TEST_F(Placement, BelowTheCaret) {
    TPlacement p = PlaceInputWindowsCalc(in);
    EXPECT_EQ(p.leftB, 300);
    EXPECT_EQ(p.topB, 424);
    EXPECT_EQ(p.leftL, 425);
    EXPECT_EQ(p.topL, 424);
    EXPECT_EQ(p.leftP, 200);
    EXPECT_EQ(p.topP, 424 - 60 - 50);
}

TEST_F(Placement, RightEdgePullsBothLeft) {
    in.caretX = 900;
    TPlacement p = PlaceInputWindowsCalc(in);
    EXPECT_EQ(p.leftB, 1024 - 150 - 120 - 5);
    EXPECT_EQ(p.leftL + 150, 1024); // B, 5 pixels, L: both fit
}

TEST_F(Placement, BottomEdgeLiftsTheCandidateWindow) {
    in.caretY = 700;
    TPlacement p = PlaceInputWindowsCalc(in);
    EXPECT_EQ(p.topB, 768 - 200);
    EXPECT_EQ(p.topL, 768 - 200);
}

TEST_F(Placement, FloatingWindowStaysOnTheScreen) {
    in.caretX = 50;
    EXPECT_EQ(PlaceInputWindowsCalc(in).leftP, 0);
    in.caretX = 1000;
    in.widthB = in.widthL = 0;
    in.widthP = 313;
    EXPECT_EQ(PlaceInputWindowsCalc(in).leftP, 1024 - 313 - 5);
}

TEST_F(Placement, SmartFollowStepsTwentyPixels) {
    in.smartFollow = true;
    TPlacement p0 = PlaceInputWindowsCalc(in);
    EXPECT_EQ(p0.topB, p0.topP + 60);
    in.stepOffset = 2;
    EXPECT_EQ(PlaceInputWindowsCalc(in).topB, p0.topP + 100);
    in.stepOffset = -1;
    EXPECT_EQ(PlaceInputWindowsCalc(in).topB, p0.topP + 40);
    in.followSource = false; // smart follow needs the floating window
    TPlacement p = PlaceInputWindowsCalc(in);
    EXPECT_FALSE(p.moveP);
    EXPECT_EQ(p.topB, 424);
}

} // namespace
} // namespace qb::test
