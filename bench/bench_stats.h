// Summaries of the per-round figures every benchmark prints.
#ifndef VQ_BENCH_STATS_H
#define VQ_BENCH_STATS_H

#include <algorithm>
#include <vector>

namespace vqbench {

// The middle value (the mean of the two middle ones for an even count); v not empty.
inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The smallest value; v not empty.
inline double Min(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

}  // namespace vqbench

#endif
