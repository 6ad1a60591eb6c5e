#include "fp_render/number_format.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace {

std::string printf_fixed(double value, int decimals) {
  char buffer[400];
  std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
  return buffer;
}

TEST(FormatFixed, ExactCases) {
  struct Case {
    double value;
    int decimals;
    const char* want;
  } cases[] = {
      {0, 3, "0.000"},
      {-0.0, 3, "-0.000"},
      {-0.0004, 3, "-0.000"},
      {1.0005, 3, "1.000"},  // the binary value lies below the tie
      {0.0005, 3, "0.001"},  // ... and here above it
      {0.125, 2, "0.12"},    // exact tie: to even
      {0.375, 2, "0.38"},
      {-2.5, 0, "-2"},
      {12.34567, 4, "12.3457"},
      {1e20, 3, "100000000000000000000.000"},
      {-90, 3, "-90.000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(format_fixed(c.value, c.decimals), c.want)
        << c.value << " at " << c.decimals;
    EXPECT_EQ(format_fixed(c.value, c.decimals),
              printf_fixed(c.value, c.decimals));
  }
}

TEST(FormatFixed, MatchesPrintfOnRandomValues) {
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  std::uniform_int_distribution<int> eighths(-80000, 80000);
  for (int i = 0; i < 20000; ++i) {
    double values[] = {wide(random), eighths(random) / 8.0,
                       eighths(random) / 2000.0,
                       std::ldexp(wide(random), -static_cast<int>(i % 60))};
    for (double v : values) {
      for (int decimals : {2, 3, 4}) {
        ASSERT_EQ(format_fixed(v, decimals), printf_fixed(v, decimals))
            << v << " at " << decimals;
      }
    }
  }
  double largest = std::numeric_limits<double>::max();
  EXPECT_EQ(format_fixed(-largest, 3), printf_fixed(-largest, 3));
}

TEST(FormatFixed, NonFiniteValuesPrintAsZero) {
  for (double v : {std::numeric_limits<double>::quiet_NaN(),
                   std::numeric_limits<double>::infinity(),
                   -std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(format_fixed(v, 3), "0.000") << v;
  }
}

}  // namespace
