#include "NumberRule.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NumberCase {
    std::string Text;
    bool Converts;
    std::int32_t Value;
};

void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << '"' << c.Text << '"';
}

class NumberRuleTest : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberRuleTest, ConvertsOrFallsToZero) {
    const NumberCase& c = GetParam();
    std::int32_t value = 12345;
    EXPECT_EQ(TextToInt32(c.Text, value), c.Converts) << '"' << c.Text << '"';
    if (c.Converts) {
        EXPECT_EQ(value, c.Value) << '"' << c.Text << '"';
    }
    EXPECT_EQ(SpinEditValue(c.Text), c.Converts ? c.Value : 0) << '"' << c.Text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberRuleTest,
    ::testing::Values(
        NumberCase{"180", true, 180}, NumberCase{"   42", true, 42}, NumberCase{"+7", true, 7},
        NumberCase{"-5", true, -5}, NumberCase{"  -0", true, 0}, NumberCase{"$1F", true, 31},
        NumberCase{"x10", true, 16}, NumberCase{"X10", true, 16}, NumberCase{"0x1a", true, 26},
        NumberCase{"0XFF", true, 255}, NumberCase{"-$10", true, -16},
        NumberCase{"$FFFFFFFF", true, -1}, NumberCase{"2147483647", true, 2147483647},
        NumberCase{"-2147483648", true, INT32_MIN},
        NumberCase{std::string("12\0junk", 7), true, 12},
        // Everything below does not convert in full.
        NumberCase{"", false, 0}, NumberCase{"   ", false, 0}, NumberCase{"180 ", false, 0},
        NumberCase{"\t5", false, 0}, NumberCase{"1.5", false, 0}, NumberCase{"12a", false, 0},
        NumberCase{"+", false, 0}, NumberCase{"-", false, 0}, NumberCase{"$", false, 0},
        NumberCase{"0x", false, 0}, NumberCase{"+-1", false, 0}, NumberCase{"2147483648", false, 0},
        NumberCase{"-2147483649", false, 0}, NumberCase{"99999999999999999999", false, 0},
        NumberCase{"$100000000", false, 0}, NumberCase{"0x1g", false, 0},
        NumberCase{"ten", false, 0}));

} // namespace
