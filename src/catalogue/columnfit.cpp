#include "catalogue/columnfit.h"

#include <algorithm>
#include <numeric>

namespace kd {

std::vector<int> fitColumns(const std::vector<int>& wanted, const std::vector<int>& shares,
                            int available, int minimum) {
    if (std::accumulate(wanted.begin(), wanted.end(), 0) <= available)
        return wanted;
    auto shareOf = [&](std::size_t i) {
        return i < shares.size() ? std::max(shares[i], 0) : 0;
    };
    int left = available;
    int totalShares = 0;
    std::vector<std::size_t> giving;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (shareOf(i) > 0) {
            giving.push_back(i);
            totalShares += shareOf(i);
        } else {
            left -= wanted[i];
        }
    }
    // Columns that want less than their share of the unit keep their width;
    // the unit is what the rest then share by their shares.
    std::sort(giving.begin(), giving.end(), [&](std::size_t a, std::size_t b) {
        return double(wanted[a]) / shareOf(a) < double(wanted[b]) / shareOf(b);
    });
    double unit = 0;
    for (std::size_t i : giving) {
        if (double(wanted[i]) / shareOf(i) * totalShares > left) {
            unit = double(std::max(left, 0)) / totalShares;
            break;
        }
        left -= wanted[i];
        totalShares -= shareOf(i);
    }
    std::vector<int> widths = wanted;
    for (std::size_t i : giving)
        widths[i] = std::min(wanted[i], std::max(int(unit * shareOf(i)), minimum));
    return widths;
}

} // namespace kd
