#pragma once

#include <vector>

namespace kd {

// Column widths for a table that should show every column in `available`
// pixels. Each column gets the width it wants when they all fit. Otherwise the
// columns with a share (> 0) give way: they share what the others leave, each
// capped at its share of one common unit (never below `minimum`), so that one
// long column cannot push the rest out of view; a share of 0 keeps its width.
std::vector<int> fitColumns(const std::vector<int>& wanted, const std::vector<int>& shares,
                            int available, int minimum);

} // namespace kd
