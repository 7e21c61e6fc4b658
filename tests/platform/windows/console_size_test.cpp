// What the console window shows, from what the console reports: a report
// that cannot be true (the call failed, a window of no size or one reaching
// outside its buffer) gives nothing, and the demo then keeps the exact view.

#include "platform/windows/console_size.hpp"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

CONSOLE_SCREEN_BUFFER_INFO report(COORD buffer, SMALL_RECT window) {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  info.dwSize = buffer;
  info.srWindow = window;
  return info;
}

TEST(VisibleWindow, IsTheWindowTheConsoleReports) {
  const auto window = visibleWindowOf(true, report({80, 50}, {0, 0, 79, 23}));
  ASSERT_TRUE(window);
  EXPECT_EQ(window->columns, 80);
  EXPECT_EQ(window->rows, 24);
  const auto scrolled = visibleWindowOf(true, report({120, 300}, {10, 200, 89, 229}));
  ASSERT_TRUE(scrolled);
  EXPECT_EQ(scrolled->left, 10);
  EXPECT_EQ(scrolled->top, 200);
  EXPECT_EQ(scrolled->columns, 80);
  EXPECT_EQ(scrolled->rows, 30);
}

TEST(VisibleWindow, IsNothingWhenTheReportCannotBeTrue) {
  EXPECT_FALSE(visibleWindowOf(false, report({80, 50}, {0, 0, 79, 23})));
  EXPECT_FALSE(visibleWindowOf(true, report({0, 0}, {0, 0, 0, 0})));
  EXPECT_FALSE(visibleWindowOf(true, report({0, 0}, {0, 0, -1, -1})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 50}, {0, 0, -1, 49})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 50}, {0, 30, 79, 29})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 50}, {0, 0, 80, 49})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 50}, {0, 0, 79, 50})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 50}, {-1, 0, 78, 49})));
  EXPECT_FALSE(visibleWindowOf(true, report({80, 24}, {0, 0, 79, 49})));
}

}  // namespace
}  // namespace vantrel
