#include "download/DottedVersion.h"

#include <gtest/gtest.h>

namespace {
struct OrderCase {
    const char* a;
    const char* b;
    const char* order;  // "<", "=", ">" or "none" (not both dotted numeric)
};

void PrintTo(const OrderCase& c, std::ostream* os) {
    *os << '"' << c.a << "\" vs \"" << c.b << '"';
}

std::string OrderText(std::optional<std::strong_ordering> order) {
    if (!order) return "none";
    return *order < 0 ? "<" : *order > 0 ? ">" : "=";
}

class DottedOrder : public testing::TestWithParam<OrderCase> {};

TEST_P(DottedOrder, ComparesComponentsNumerically) {
    const OrderCase& c = GetParam();
    EXPECT_EQ(OrderText(CompareDottedVersions(c.a, c.b)), c.order);
    // The order is the same read from the other side.
    const std::string mirrored = c.order == std::string("<")   ? ">"
                                 : c.order == std::string(">") ? "<"
                                                               : c.order;
    EXPECT_EQ(OrderText(CompareDottedVersions(c.b, c.a)), mirrored);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, DottedOrder,
    testing::Values(OrderCase{"1.10", "1.9", ">"}, OrderCase{"1.2", "1.2.0", "="},
                    OrderCase{"1.2.0.0", "1.2", "="}, OrderCase{"0", "0.0", "="},
                    OrderCase{"1.02", "1.2", "="}, OrderCase{"1.2", "1.2.1", "<"},
                    OrderCase{"2", "1.99.99", ">"}, OrderCase{"1.0.10", "1.0.9", ">"},
                    OrderCase{"18446744073709551615", "18446744073709551614", ">"},
                    OrderCase{"18446744073709551616", "1", "none"}, OrderCase{"", "1", "none"},
                    OrderCase{"1.", "1", "none"}, OrderCase{".1", "1", "none"},
                    OrderCase{"1..2", "1.2", "none"}, OrderCase{"v1", "1", "none"},
                    OrderCase{"-1", "1", "none"}, OrderCase{"+1", "1", "none"},
                    OrderCase{" 1", "1", "none"}, OrderCase{"1.2-beta", "1.2", "none"},
                    OrderCase{"1.2", "1,2", "none"}));
}  // namespace
