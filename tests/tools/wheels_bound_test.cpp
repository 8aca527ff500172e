// Schönheim's bound on values worked by hand, and the covering a wheel amounts to.
#include <gtest/gtest.h>

#include "wheelcore/wheel.h"

TEST(WheelLowerBound, ValuesWorkedByHand) {
  // C(7,3,2): ceil(7/3 * ceil(6/2)) = ceil(7) = 7, met by the Fano plane.
  EXPECT_EQ(schonheimBound(7, 3, 2), 7u);
  // C(9,3,2): ceil(9/3 * ceil(8/2)) = 12.
  EXPECT_EQ(schonheimBound(9, 3, 2), 12u);
  // C(10,5,4): ceil(7/2)=4, ceil(8/3*4)=11, ceil(9/4*11)=25, ceil(10/5*25)=50.
  EXPECT_EQ(schonheimBound(10, 5, 4), 50u);
  // C(22,6,3): ceil(20/4)=5, ceil(21/5*5)=21, ceil(22/6*21)=77 (a Steiner system meets it).
  EXPECT_EQ(schonheimBound(22, 6, 3), 77u);
  // t = 1: ceil(v/k); t = k: every k-subset, C(49,6) = 13,983,816 without rounding drift.
  EXPECT_EQ(schonheimBound(10, 3, 1), 4u);
  EXPECT_EQ(schonheimBound(49, 6, 6), 13983816u);
  EXPECT_EQ(schonheimBound(8, 8, 3), 1u);
}

TEST(WheelLowerBound, KeyWheelsUseTheCoveringOfTheOtherPositions) {
  // Key "3 if 3 of 10", tickets of 6: the key plus a covering of pairs of the
  // other 9 positions by 5-sets: ceil(9/5 * ceil(8/4)) = 4.
  const WheelSpec key{6, WheelType::key, 3, 3, 10};
  ASSERT_TRUE(coveringOf(key).has_value());
  EXPECT_EQ(coveringOf(key)->v, 9);
  EXPECT_EQ(coveringOf(key)->k, 5);
  EXPECT_EQ(coveringOf(key)->t, 2);
  EXPECT_EQ(wheelLowerBound(key), 4u);
  // Key "2 if 2": cover the 9 other positions once by 5-sets.
  EXPECT_EQ(wheelLowerBound({6, WheelType::key, 2, 2, 10}), 2u);
  // Not a covering: no bound is claimed.
  EXPECT_FALSE(wheelLowerBound({6, WheelType::abbreviated, 3, 4, 10}).has_value());
}

TEST(WheelLowerBound, KnownExactValuesNeverUndercutTheBound) {
  for (int k = 5; k <= 7; ++k)
    for (int v = k; v <= 30; ++v)
      for (int t = 1; t <= k; ++t)
        if (const auto exact = knownCoveringSize(v, k, t)) {
          EXPECT_GE(*exact, schonheimBound(v, k, t)) << v << k << t;
        }
  EXPECT_EQ(knownCoveringSize(6, 5, 3), 4u);   // C(k+1, k, t) = t + 1
  EXPECT_EQ(knownCoveringSize(22, 6, 3), 77u);
  EXPECT_EQ(knownCoveringSize(9, 5, 5), 126u);  // every 5-subset
  EXPECT_FALSE(knownCoveringSize(20, 6, 4).has_value());
}
