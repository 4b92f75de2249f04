#include "services/text.h"

#include <gtest/gtest.h>

namespace tessaly::testing {
namespace {

TEST(VariantTest, ConvertsToText) {
  EXPECT_EQ(ToText(Variant(Text(u"C:\\x.txt"))), Text(u"C:\\x.txt"));
  EXPECT_EQ(ToText(Variant(std::int32_t{-12})), Text(u"-12"));
  EXPECT_EQ(ToText(Variant()), Text());
}

}  // namespace
}  // namespace tessaly::testing
