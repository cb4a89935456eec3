#include "console/logic/WindowPlacement.h"

#include <climits>
#include <gtest/gtest.h>

namespace quennel {
namespace {

const ScreenRect Primary{0, 0, 1920, 1080};
const ScreenRect Second{1920, 0, 1280, 1024};

ScreenRect Saved(int32_t left, int32_t top) {
    return {left, top, 700, 500};
}

TEST(WindowPlacementTest, TheDefaultIsTheFirstSizeCentredOnThePrimaryScreen) {
    EXPECT_EQ(DefaultWindowRect(Primary), (ScreenRect{629, 302, 662, 476}));
    EXPECT_EQ(DefaultWindowRect(Second), (ScreenRect{1920 + 309, 274, 662, 476}));
    EXPECT_EQ(DefaultWindowRect({0, 0, 640, 400}), (ScreenRect{0, 0, 662, 476}));
}

TEST(WindowPlacementTest, AWindowWithAGripOfItsTitleStripOnScreenStaysWhereItWas) {
    const std::vector<ScreenRect> screens{Primary};
    EXPECT_TRUE(IsWindowReachable(Saved(100, 100), screens));
    // 64 pixels of the title strip's width, 8 of its height.
    EXPECT_TRUE(IsWindowReachable(Saved(64 - 700, 100), screens));
    EXPECT_FALSE(IsWindowReachable(Saved(63 - 700, 100), screens));
    EXPECT_TRUE(IsWindowReachable(Saved(1920 - 64, 100), screens));
    EXPECT_FALSE(IsWindowReachable(Saved(1920 - 63, 100), screens));
    EXPECT_TRUE(IsWindowReachable(Saved(100, 1080 - 8), screens));
    EXPECT_FALSE(IsWindowReachable(Saved(100, 1080 - 7), screens));
    EXPECT_TRUE(IsWindowReachable(Saved(100, 8 - 24), screens));
    // The title bar above the screen cannot be grabbed, however much of the body shows.
    EXPECT_FALSE(IsWindowReachable(Saved(100, 7 - 24), screens));

    const ScreenRect partly = Saved(-300, 900);
    EXPECT_EQ(RestoredWindowRect(partly, screens, Primary), partly);
    EXPECT_EQ(RestoredWindowRect(Saved(3000, 200), screens, Primary), DefaultWindowRect(Primary));
}

TEST(WindowPlacementTest, EveryScreenCounts) {
    const ScreenRect onSecond = Saved(2500, 300);
    EXPECT_EQ(RestoredWindowRect(onSecond, {Primary, Second}, Primary), onSecond);
    EXPECT_EQ(RestoredWindowRect(onSecond, {Primary}, Primary), DefaultWindowRect(Primary));
    // Below the shorter second screen, though within the primary's height.
    EXPECT_EQ(RestoredWindowRect(Saved(2500, 1030), {Primary, Second}, Primary), DefaultWindowRect(Primary));
    // No screen list: the primary screen alone.
    EXPECT_EQ(RestoredWindowRect(Saved(10, 10), {}, Primary), Saved(10, 10));
    EXPECT_EQ(RestoredWindowRect(Saved(5000, 10), {}, Primary), DefaultWindowRect(Primary));
}

TEST(WindowPlacementTest, NonsenseFromAHandEditedFileGoesBackToTheDefault) {
    const std::vector<ScreenRect> screens{Primary};
    EXPECT_EQ(RestoredWindowRect({100, 100, 0, 476}, screens, Primary), DefaultWindowRect(Primary));
    EXPECT_EQ(RestoredWindowRect({100, 100, 662, -5}, screens, Primary), DefaultWindowRect(Primary));
    EXPECT_EQ(RestoredWindowRect({INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX}, screens, Primary),
              DefaultWindowRect(Primary));
    EXPECT_EQ(RestoredWindowRect({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, screens, Primary),
              DefaultWindowRect(Primary));
    // A tiny window needs only its own width on screen.
    EXPECT_TRUE(IsWindowReachable({1900, 100, 20, 20}, screens));
}

} // namespace
} // namespace quennel
