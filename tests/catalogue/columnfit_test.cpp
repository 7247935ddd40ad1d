#include "catalogue/columnfit.h"

#include <gtest/gtest.h>

namespace kd {
namespace {

struct FitCase {
    const char* what;
    std::vector<int> wanted;
    std::vector<int> shares;
    int available;
    std::vector<int> widths;
};

class FitColumns : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitColumns, EveryColumnFitsWhenItCan) {
    const FitCase& c = GetParam();
    EXPECT_EQ(fitColumns(c.wanted, c.shares, c.available, 40), c.widths);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FitColumns,
    ::testing::Values(
        FitCase{"all fit", {90, 300, 50}, {0, 1, 0}, 440, {90, 300, 50}},
        FitCase{"one long column gives way", {90, 300, 50}, {0, 1, 0}, 400, {90, 260, 50}},
        // The narrow column keeps its width; the two wide ones share the rest.
        FitCase{"a common cap", {80, 400, 60, 300}, {0, 1, 1, 1}, 500, {80, 180, 60, 180}},
        FitCase{"by their shares", {80, 400, 60, 300}, {0, 2, 1, 1}, 500, {80, 240, 60, 120}},
        FitCase{"never below the minimum", {300, 200, 200}, {0, 1, 1}, 350, {300, 40, 40}},
        FitCase{"nothing may shrink", {300, 300}, {0, 0}, 100, {300, 300}}),
    [](const auto& info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
} // namespace kd
