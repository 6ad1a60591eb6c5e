#include "base/error.h"

#include <cerrno>

#include <gtest/gtest.h>

namespace {

Result<int> parse_digit(char c) {
  if (c < '0' || c > '9') return Error(std::string("not a digit: ") + c);
  return c - '0';
}

Result<int> sum_digits(const std::string& text) {
  int total = 0;
  for (char c : text) {
    ASSIGN_OR_RETURN(int digit, parse_digit(c).context("reading digit"));
    total += digit;
  }
  return total;
}

Status check_sum(const std::string& text) {
  RETURN_IF_ERROR(sum_digits(text).context("summing " + text));
  return {};
}

TEST(ErrorTest, ContextIsPrependedOutermostFirst) {
  Status status = check_sum("1x");
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().messages(),
            (std::vector<std::string>{"summing 1x", "reading digit", "not a digit: x"}));
  EXPECT_EQ(status.error().message(), "summing 1x: reading digit: not a digit: x");
}

TEST(ErrorTest, ValuesPassThroughContext) {
  Result<int> sum = sum_digits("123").context("unused");
  ASSERT_TRUE(sum.ok());
  EXPECT_EQ(*sum, 6);
  EXPECT_TRUE(check_sum("42").ok());
}

TEST(ErrorTest, OsErrorCarriesTheSystemMessage) {
  EXPECT_EQ(os_error(ENOENT).message(), "No such file or directory");
}

}  // namespace
