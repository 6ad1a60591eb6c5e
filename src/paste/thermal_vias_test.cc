#include "paste/thermal_vias.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ThermalViasTest, HeatsinkSize) {
  struct Case {
    double w, h;
    bool expected;
  };
  const Case cases[] = {
      {3, 3, true},     {1.8, 1.8, true}, {3, 1.7, false}, {4, 2, false},
      {1.67, 1, false}, {3, 5, true},     {3, 5.1, false}, {1.8, 3.0, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_heatsink_sized(c.w, c.h), c.expected) << c.w << " x " << c.h;
  }
}

TEST(ThermalViasTest, GridOfTheChosenPad) {
  struct Case {
    const char* name;
    std::vector<PasteAperture> apertures;
    ThermalViaGrid expected;
  };
  const Case cases[] = {
      {"none heat-sink sized", {{0, 0, 1, 1, 0}, {0, 0, 4, 2, 0}}, {0, 0, 0, 0}},
      {"1.8 mm: one via at the centre", {{1, 2, 1.8, 1.8, 0}}, {1, 2, 1, 1}},
      {"3 x 3: two by two", {{0, 0, 3, 3, 0}}, {-0.6, -0.6, 2, 2}},
      {"5 x 4.2 off centre", {{10, 20, 5, 4.2, 0}}, {10 - 1.8, 20 - 1.2, 4, 3}},
      {"rotation is ignored", {{0, 0, 3, 3, 45}}, {-0.6, -0.6, 2, 2}},
      {"last of equal areas", {{0, 0, 3, 3, 0}, {9, 9, 3, 3, 0}}, {8.4, 8.4, 2, 2}},
      {"larger first stays", {{0, 0, 4, 4, 0}, {9, 9, 3, 3, 0}}, {-1.2, -1.2, 3, 3}},
      {"100 km pad is capped at 100 per side", {{0, 0, 1e5, 1e5, 0}}, {-59.4, -59.4, 100, 100}},
  };
  for (const Case& c : cases) {
    ThermalViaGrid g = thermal_vias_for(c.apertures);
    EXPECT_NEAR(g.x0, c.expected.x0, 1e-12) << c.name;
    EXPECT_NEAR(g.y0, c.expected.y0, 1e-12) << c.name;
    EXPECT_EQ(g.nx, c.expected.nx) << c.name;
    EXPECT_EQ(g.ny, c.expected.ny) << c.name;
  }
}

// The constant-time look-up must agree with testing every via.
TEST(ThermalViasTest, NearViaAgreesWithFullScan) {
  const ThermalViaGrid grids[] = {{-1.8, -1.2, 4, 3}, {0.3, 0.3, 1, 1}, {5, -7, 7, 1}};
  for (const ThermalViaGrid& g : grids) {
    for (double x = g.x0 - 3; x < g.x0 + g.nx * kViaPitch + 3; x += 0.0625) {
      for (double y = g.y0 - 3; y < g.y0 + g.ny * kViaPitch + 3; y += 0.0625) {
        bool near = false;
        for (int64_t r = 0; r < g.ny; ++r) {
          for (int64_t c = 0; c < g.nx; ++c) {
            double dx = x - (g.x0 + c * kViaPitch), dy = y - (g.y0 + r * kViaPitch);
            near = near || std::sqrt(dx * dx + dy * dy) < kViaKeepOut;
          }
        }
        ASSERT_EQ(g.near_via(x, y), near) << x << ", " << y;
      }
    }
  }
  EXPECT_FALSE(ThermalViaGrid{}.near_via(0, 0));
}

}  // namespace
