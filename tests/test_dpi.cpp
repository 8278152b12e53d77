#include <gtest/gtest.h>

#include "core/dpi.h"

// A width kept for 96 dpi, shown at another DPI and read back from the list, is the width it
// was: a settings file written on one screen means the same on every other, at every scale the
// system offers (and at 96 dpi nothing moves).
TEST(Dpi, WidthsSurviveTheTripToTheScreenAndBack)
{
    const int dpis[] = {96, 120, 144, 168, 192, 240, 288};
    for (int dpi : dpis)
        for (int width = 0; width <= 2000; ++width)
            ASSERT_EQ(ScaleTo96(ScaleFrom96(width, dpi), dpi), width) << width << " at " << dpi;
    EXPECT_EQ(ScaleFrom96(45, 96), 45);
    EXPECT_EQ(ScaleFrom96(45, 144), 68); // 67.5: halves round up, never clip
    EXPECT_EQ(ScaleFrom96(-3, 144), -5);
    EXPECT_EQ(ScaleFrom96(65535, 192), 131070); // no overflow on the largest stored width
    EXPECT_EQ(ScaleFrom96(100, 0), 100);        // an unknown DPI leaves lengths alone
    EXPECT_EQ(ScaleTo96(100, 0), 100);

    // A DPI no screen has is taken within reason, and a step never shrinks to nothing.
    EXPECT_EQ(ClampDpi(3), kMinDpi);
    EXPECT_EQ(ClampDpi(0), kMinDpi);
    EXPECT_EQ(ClampDpi(65535), kMaxDpi);
    EXPECT_EQ(ClampDpi(144), 144);
    EXPECT_EQ(ScaleStep(12, 3), 6);
    EXPECT_EQ(ScaleStep(1, 48), 1);
    EXPECT_EQ(ScaleStep(12, 65535), 120);
    EXPECT_EQ(ScaleStep(0, 96), 1);

    // Images: the smallest drawn size at least as large as needed, else the largest drawn.
    const int sizes[] = {16, 24, 32};
    EXPECT_EQ(NearestImageSize(sizes, 3, 16), 16);
    EXPECT_EQ(NearestImageSize(sizes, 3, 20), 24); // 125%: enlarged art rather than cut art
    EXPECT_EQ(NearestImageSize(sizes, 3, 24), 24);
    EXPECT_EQ(NearestImageSize(sizes, 3, 28), 32);
    EXPECT_EQ(NearestImageSize(sizes, 3, 48), 32);
    EXPECT_EQ(NearestImageSize(sizes, 3, 8), 16);
}
