// Escaping names for display and the number parsers.
#include <gtest/gtest.h>

#include "platform/string_extras.h"

namespace tamarind::platform {
namespace {

TEST(EscapeControlBytes, EscapesOnlyControlBytes) {
  EXPECT_EQ(EscapeControlBytes("nl\nSuccess !\r\nfake.fxs"), "nl\\nSuccess !\\r\\nfake.fxs");
  EXPECT_EQ(EscapeControlBytes("\x1b[31mred\x7f\t"), "\\x1b[31mred\\x7f\\t");
  EXPECT_EQ(EscapeControlBytes("caf\xc3\xa9 \xff back\\slash"), "caf\xc3\xa9 \xff back\\slash");
}

TEST(ParseDecimal, DigitsOnlyWithinRange) {
  EXPECT_EQ(ParseDecimal("0"), 0);
  EXPECT_EQ(ParseDecimal("9223372036854775807"), INT64_MAX);
  for (std::string_view bad : {"", "-1", "+1", " 1", "1x", "9223372036854775808"})
    EXPECT_EQ(ParseDecimal(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace tamarind::platform
