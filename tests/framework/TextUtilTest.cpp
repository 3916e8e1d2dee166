#include "framework/TextUtil.h"

#include <gtest/gtest.h>

namespace tarq {

TEST(TextUtil, ReadsCIntegersAndIgnoresWhatFollowsInHeaderValues) {
  uint32_t value = 0;
  ASSERT_TRUE(ReadCIntegerPrefix("0x0012U", value));
  EXPECT_EQ(value, 18u);
  ASSERT_TRUE(ReadCIntegerPrefix("017", value));
  EXPECT_EQ(value, 15u);
  ASSERT_TRUE(ReadCIntegerPrefix("  42L", value));
  EXPECT_EQ(value, 42u);
  EXPECT_FALSE(ReadCIntegerPrefix("abc", value));
  EXPECT_FALSE(ReadCIntegerPrefix("", value));
  EXPECT_FALSE(ReadCIntegerPrefix("-1", value));
}

TEST(TextUtil, ExactIntegerRejectsTrailingTextAndWrapsNegatives) {
  uint32_t value = 0;
  ASSERT_TRUE(ReadCIntegerExact(" 0x100", value));
  EXPECT_EQ(value, 0x100u);
  ASSERT_TRUE(ReadCIntegerExact("-1", value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_FALSE(ReadCIntegerExact("12 ", value));
  EXPECT_FALSE(ReadCIntegerExact("12a", value));
  EXPECT_FALSE(ReadCIntegerExact("-", value));
}

TEST(TextUtil, FormatIsByteExactWithPrintf) {
  EXPECT_EQ(Format("0x%04XU", 0x12abu), "0x12ABU");
  EXPECT_EQ(Format("%.5f", 1.5), "1.50000");
  EXPECT_EQ(Format("%s", ""), "");
}

}  // namespace tarq
