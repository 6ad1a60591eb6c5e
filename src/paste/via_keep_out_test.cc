#include "paste/via_keep_out.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ViaKeepOutTest, GridOfTheChosenPad) {
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

// The constant-time look-up must agree with testing every via the renderer
// draws for the same pad.
TEST(ViaKeepOutTest, NearViaAgreesWithEveryDrawnVia) {
  const PasteAperture pads[] = {{0, 0, 5, 3.9, 0}, {0.3, 0.3, 1.8, 1.8, 0}, {5, -7, 9, 6, 0}};
  for (const PasteAperture& p : pads) {
    const ThermalViaGrid g = thermal_vias_for({p});
    const std::vector<GeoPoint> drawn = thermal_via_centres(p.x, p.y, p.width, p.height);
    ASSERT_EQ(size_t(g.nx * g.ny), drawn.size());
    for (double x = p.x - p.width; x < p.x + p.width; x += 0.0625) {
      for (double y = p.y - p.height; y < p.y + p.height; y += 0.0625) {
        bool near = false;
        for (const GeoPoint& v : drawn) {
          double dx = x - v.x, dy = y - v.y;
          near = near || std::sqrt(dx * dx + dy * dy) < kViaKeepOut;
        }
        ASSERT_EQ(g.near_via(x, y), near) << x << ", " << y;
      }
    }
  }
  EXPECT_FALSE(ThermalViaGrid{}.near_via(0, 0));
}

}  // namespace
